#include <exception>

#include "orders/Order.h"

void TOrder::SetColumn(int line, TQuantityColumn column, double x) {
  if (column == TQuantityColumn::Units)
    SetQuantity(line, x);
  else
    SetPackages(line, x);
}

std::string TOrder::EnterQuantity(TPriceListItem& card, TQuantityColumn column, std::string_view text,
                                  const TQuantityRules& rules) {
  try {
    if (FLines.empty()) {
      Created = CurrentTime();
      if (FObserver)
        FObserver->HeaderChanged();
    }
    std::string message;
    const double x = CheckTypedQuantity(&card, column, text, rules, message);
    const int line = FindLine(card.Kod);
    if (line >= 0) {
      SetColumn(line, column, x);
      const TOrderItem& item = Line(line);
      if (item.Quantity == 0 && item.Packages == 0) {
        Delete(line);
        MarkChanged();
      }
    } else if (x != 0) {
      Append(TOrderItem{0, 0, card.Kod, &card});
      SetColumn(Count() - 1, column, x);
    }
    RecalcTotals();
    return message;
  } catch (const std::exception&) {
    // Only allocation can fail here, before any line changed.
    return {};
  }
}

std::string TOrder::EnterLineQuantity(int line, TQuantityColumn column, std::string_view text,
                                      const TQuantityRules& rules) {
  if (line < 0 || line >= Count())
    return {};
  try {
    std::string message;
    const double x = CheckTypedQuantity(Line(line).Card, column, text, rules, message);
    SetColumn(line, column, x);
    RecalcTotals();
    return message;
  } catch (const std::exception&) {
    return {};
  }
}
