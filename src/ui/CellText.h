#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/Locale.h"

struct TAppSettings;
struct TPriceListItem;
struct TOrderItem;

// What cell texts depend on besides the card and the line.
struct TCellEnvironment {
  // Amounts are shown divided by ExRate (TAppSettings::ForeignCurrency and Company.ExRate).
  bool ForeignCurrency = false;
  double ExRate = 1;
  // Decimal separator and short date format; nullptr: CurrentLocale().
  const Locale* Conventions = nullptr;
  // The open order's first line whose code equals the given card code exactly, nullptr when
  // there is none. Empty: no order is open. The returned line must stay valid until the call
  // that asked for it returns.
  std::function<const TOrderItem*(const std::string& code)> FindOrderLine;

  // The currency of the settings; no order lookup.
  static TCellEnvironment FromSettings(const TAppSettings& settings);

  const Locale& Loc() const { return Conventions ? *Conventions : CurrentLocale(); }
  const TOrderItem* LineOf(const std::string& code) const { return FindOrderLine ? FindOrderLine(code) : nullptr; }
};

// The text a content shows and the number it sorts by (0 unless the content is numeric).
struct TCellValue {
  std::string Text; // code page 1250
  double Value = 0;
};

// The cell of content id for a card and an order line, either of which may be missing:
//   text contents: the card's field as it is; with useNameKey, "Název" gives SearchName;
//   whole numbers (7, 8, 11, 17, 38) in decimal; numbers (6, 16, 23, 39) in the shortest
//   general form, "%DPH" (9) followed by "%"; "Datum změny" (22) as the short date;
//   amounts (4, 5, 19, 21, 31, 40, 41 and the package price 29) as "%8.2f", divided by the
//   exchange rate in a foreign currency;
//   "Objednáno" (0) and "Obj.balení" (1): the line's quantity or packages, empty when 0.
// An ID without content (-1, or 0 and 1 without a line) gives an empty text.
TCellValue ContentText(const TPriceListItem* card, const TOrderItem* line, int id, bool useNameKey,
                       const TCellEnvironment& env);

// The price of one package of a card (content 29) before any exchange rate: the price when
// Baleni is at most 0.0001 or exactly 1, else Baleni × Cena rounded to cents.
double PackagePrice(const TPriceListItem& card);

// The price-list grid's cell: for "Objednáno" and "Obj.balení" the card's order line is
// looked up by its code. Empty for a missing card.
std::string PriceListCellText(const TPriceListItem* card, int id, const TCellEnvironment& env);

// The order grid's cell: "Kód" (2) shows the line's own code, so a line whose card is gone
// still shows it; every other content comes from the line's card (or none) and the line.
// Empty for a missing line.
std::string OrderCellText(const TOrderItem* line, int id, const TCellEnvironment& env);
// The same by the line's index in the order; empty for an index outside it.
std::string OrderCellText(const std::vector<TOrderItem>& lines, int index, int id, const TCellEnvironment& env);
