#pragma once

#include <string_view>

struct TPriceListItem;
struct TOrderItem;
struct TCellEnvironment;

// The raw pieces of a cell, shared by the cell texts and the sort comparisons so that sorting
// formats nothing it does not need.

// The card's text field of a text content (22, the date, is not one), with SearchName for
// "Název" when useNameKey. False for any other content.
bool CardTextField(const TPriceListItem& card, int id, bool useNameKey, std::string_view& text);

// The number of a numeric content of the card (whole numbers, numbers, amounts with the
// exchange rate applied). False for a text content, 22 and the order-entry contents.
bool CardNumber(const TPriceListItem& card, int id, const TCellEnvironment& env, double& value);

// The line's quantity (0) or packages (1). False for any other content.
bool LineNumber(const TOrderItem& line, int id, double& value);
