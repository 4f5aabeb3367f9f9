#pragma once

#include <string>

struct TPriceListItem;

// One line of the open order. The line refers to its card without owning it; the reference
// is cleared before the price list is freed and set again by card code after a reload.
struct TOrderItem {
  double Quantity = 0; // in units
  double Packages = 0; // in packages
  std::string Code;    // the card code that identifies the line
  TPriceListItem* Card = nullptr;
};
