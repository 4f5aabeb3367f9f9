#include <cmath>

#include "core/Numbers.h"
#include "orders/Order.h"

namespace {

// Bottles are counted whole and rounded up, except that a count within 0.01 of a whole
// number is that number (so 17.999 from a decimal package size is 18, not 19).
double BottleCount(double units) {
  const double whole = RoundToFactor(units, 1);
  if (std::fabs(whole - units) <= 0.01)
    return whole;
  return units > 0 ? RoundToFactor(units + 0.5, 1) : RoundToFactor(units - 0.5, 1);
}

} // namespace

void TOrder::RecalcTotals() {
  double noVat = 0, withVat = 0, packaging = 0;
  for (const auto& item : FLines) {
    const TPriceListItem* card = item->Card;
    if (!card)
      continue;
    const double units = item->Packages * card->Baleni + item->Quantity;
    noVat += RoundToFactor(units * card->Cena, 100);
    withVat += RoundToFactor(units * card->Cena * (card->SazbaDPH / 100 + 1), 100);
    const double crates = RoundToFactor(item->Packages, 1);
    const double bottles = BottleCount(units);
    packaging += RoundToFactor(crates * card->CENAPREPR * (card->SAZBAPREPR / 100 + 1) +
                                   bottles * card->CENALAHEV * (card->SAZBALAHEV / 100 + 1),
                               100);
  }
  TotalNoVat = RoundToFactor(noVat, 100);
  TotalWithVat = RoundToFactor(withVat, 10);
  PackagingTotal = packaging;
}
