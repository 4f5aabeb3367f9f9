#include <algorithm>
#include <cmath>

#include "core/AppSettings.h"
#include "core/Format.h"
#include "core/Numbers.h"
#include "formats/Cp1250Utf8.h"
#include "orders/Order.h"

namespace {

constexpr int kWholePackageFlag = 1;
constexpr int kWholeUnitsFlag = 8;

// Nearest multiple of m, halves away from zero; a positive quantity never becomes nothing.
double RoundToMultiple(double a, double m) {
  double q = a >= 0 ? std::trunc(a / m + 0.50001) * m : std::trunc(a / m - 0.50001) * m;
  if (a > 0.00001 && q <= 0.00001)
    q = m;
  return q;
}

std::string AdjustedMessage(const TPriceListItem& card, double multiple, double quantity) {
  return Format(Cz("U karty %s %s\rlze objednat pouze po %g %s.\rObjednané množství bylo upraveno na %g %s."),
                {card.Kod, card.Nazev, multiple, card.Jednotka, quantity, card.Jednotka});
}

} // namespace

TQuantityRules QuantityRulesFrom(const TAppSettings& settings) {
  TQuantityRules rules;
  rules.MaxAmount = settings.MaxAmount;
  rules.EnableWholePackage = settings.EnableWholePackage;
  rules.NoPackages = settings.NoPackages || settings.NoPackagesSwitch;
  return rules;
}

TMultipleResult ApplyMultipleRule(double typed, double packageSize, double multiple) {
  TMultipleResult r{true, typed, multiple};
  if (multiple == 1 || multiple <= 0.00001)
    return r;
  r.Quantity = RoundToMultiple(typed, multiple);
  if (std::fabs(typed - r.Quantity) <= 0.001)
    return r;
  r.Acceptable = false;
  if (packageSize == 1 || packageSize <= 0.00001 || NearlyEqual(multiple, packageSize))
    return r;
  const double q2 = RoundToMultiple(typed, packageSize);
  if (std::fabs(typed - q2) <= 0.001)
    return {true, q2, packageSize};
  // On a tie the package size wins: it is the smaller step the customer actually meant.
  if (std::fabs(q2 - typed) <= std::fabs(r.Quantity - typed)) {
    r.Quantity = q2;
    r.Multiple = packageSize;
  }
  return r;
}

bool IsWholePackageCard(const TPriceListItem& card) {
  const double m = card.OBJPOCETB, b = card.Baleni;
  if ((card.PRIZNAKY & kWholePackageFlag) && (NearlyZero(m) || NearlyEqual(m, b)))
    return true;
  return !NearlyZero(m) && !NearlyEqual(m, 1) && NearlyEqual(m, b);
}

double CheckTypedQuantity(const TPriceListItem* card, TQuantityColumn column, std::string_view text,
                          const TQuantityRules& rules, std::string& message) {
  message.clear();
  double x = 0;
  if (!TextToNumber(text, x))
    x = 0;
  if (std::fabs(x) > std::max(rules.MaxAmount, 100.0)) {
    message = Cz("Hodnota je mimo povolený rozsah");
    x = 0;
  }
  if (column != TQuantityColumn::Units || !card)
    return x;
  const int enableWholePackage = rules.NoPackages ? 0 : rules.EnableWholePackage;
  if (enableWholePackage > 0 && !NearlyZero(card->OBJPOCETB)) {
    const TMultipleResult r = ApplyMultipleRule(x, card->Baleni, card->OBJPOCETB);
    if (!r.Acceptable) {
      message = AdjustedMessage(*card, r.Multiple, r.Quantity);
      return r.Quantity;
    }
  }
  if (card->PRIZNAKY & kWholeUnitsFlag) {
    const double whole = RoundToFactor(x, 1);
    if (!NearlyEqual(x, whole)) {
      message = AdjustedMessage(*card, 1.0, whole);
      return whole;
    }
  }
  return x;
}
