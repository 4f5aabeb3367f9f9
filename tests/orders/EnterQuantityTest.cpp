#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/Cp1250Utf8.h"
#include "orders/Order.h"

namespace {

TPriceListItem MakeCard(double baleni, double multiple, int flags, const char* unit = "ks") {
  TPriceListItem card;
  card.Kod = "1234";
  card.Nazev = Cz("Víno bílé");
  card.Jednotka = Cz(unit);
  card.Baleni = baleni;
  card.OBJPOCETB = multiple;
  card.PRIZNAKY = flags;
  card.Cena = 10;
  return card;
}

std::string Adjusted(const char* multiple, const char* quantity, const char* unit = "ks") {
  return std::string("U karty 1234 Víno bílé\rlze objednat pouze po ") + multiple + " " + unit +
         ".\rObjednané množství bylo upraveno na " + quantity + " " + unit + ".";
}

const char kRange[] = "Hodnota je mimo povolený rozsah";

enum class Rules { Default, NoMultiples, NoPackages, SmallMax };

TQuantityRules MakeRules(Rules which) {
  TQuantityRules rules;
  switch (which) {
  case Rules::Default:
    break;
  case Rules::NoMultiples:
    rules.EnableWholePackage = 0;
    break;
  case Rules::NoPackages:
    rules.NoPackages = true;
    rules.EnableWholePackage = 2; // the mode alone turns the multiples off
    break;
  case Rules::SmallMax:
    rules.MaxAmount = 50; // counts as 100
    break;
  }
  return rules;
}

struct EntryCase {
  const char* Name;
  double Baleni, Multiple;
  int Flags;
  TQuantityColumn Column;
  Rules Which;
  const char* Text;
  double Stored; // 0: the card has no line afterwards
  std::string Message;
  const char* Unit = "ks";
};

class EnterQuantityRules : public testing::TestWithParam<EntryCase> {};

// Typed in the price-list grid into an empty order.
TEST_P(EnterQuantityRules, StoresAdjustedQuantityWithItsMessage) {
  const EntryCase& c = GetParam();
  TPriceListItem card = MakeCard(c.Baleni, c.Multiple, c.Flags, c.Unit);
  TOrder order;
  const std::string message = order.EnterQuantity(card, c.Column, c.Text, MakeRules(c.Which));
  EXPECT_EQ(Cp1250ToUtf8(message), c.Message);
  if (c.Stored == 0) {
    EXPECT_EQ(order.Count(), 0);
    return;
  }
  ASSERT_EQ(order.Count(), 1);
  const TOrderItem& line = order.Line(0);
  EXPECT_EQ(line.Card, &card);
  EXPECT_EQ(line.Code, "1234");
  EXPECT_DOUBLE_EQ(c.Column == TQuantityColumn::Units ? line.Quantity : line.Packages, c.Stored);
  EXPECT_EQ(c.Column == TQuantityColumn::Units ? line.Packages : line.Quantity, 0);
}

constexpr TQuantityColumn U = TQuantityColumn::Units;
constexpr TQuantityColumn P = TQuantityColumn::Packages;

INSTANTIATE_TEST_SUITE_P(
    Table, EnterQuantityRules,
    testing::Values(
        // Package 6, ordering multiple 12.
        EntryCase{"MultipleOfTwelve", 6, 12, 0, U, Rules::Default, "24", 24, ""},
        EntryCase{"MultipleOfPackageSize", 6, 12, 0, U, Rules::Default, "18", 18, ""},
        EntryCase{"TieGoesToPackageSize", 6, 12, 0, U, Rules::Default, "13", 12, Adjusted("6", "12")},
        EntryCase{"NearerPackageMultiple", 6, 12, 0, U, Rules::Default, "5", 6, Adjusted("6", "6")},
        EntryCase{"FarFromBoth", 6, 12, 0, U, Rules::Default, "40", 42, Adjusted("6", "42")},
        EntryCase{"NegativeRoundsAwayFromZero", 6, 12, 0, U, Rules::Default, "-13", -12, Adjusted("6", "-12")},
        EntryCase{"WithinToleranceOfMultiple", 6, 12, 0, U, Rules::Default, "24,0005", 24.0005, ""},
        // Multiple equal to the package size: no second chance.
        EntryCase{"MultipleIsPackageSize", 6, 6, 0, U, Rules::Default, "8", 6, Adjusted("6", "6")},
        // Package size 1: no second chance either; a positive quantity never rounds to nothing.
        EntryCase{"PositiveNeverZero", 1, 10, 0, U, Rules::Default, "2", 10, Adjusted("10", "10")},
        EntryCase{"DecimalMultiple", 1, 0.5, 0, U, Rules::Default, "1,3", 1.5, Adjusted("0,5", "1,5", "kg"), "kg"},
        // Multiples 0 and 1 accept everything.
        EntryCase{"MultipleZero", 6, 0, 0, U, Rules::Default, "7", 7, ""},
        EntryCase{"MultipleOne", 6, 1, 0, U, Rules::Default, "2.5", 2.5, ""},
        // Whole units only.
        EntryCase{"WholeUnitsRoundsUp", 1, 0, 8, U, Rules::Default, "2,5", 3, Adjusted("1", "3")},
        EntryCase{"WholeUnitsRoundsDown", 1, 0, 8, U, Rules::Default, "2,4", 2, Adjusted("1", "2")},
        EntryCase{"WholeUnitsWhole", 1, 0, 8, U, Rules::Default, "2", 2, ""},
        EntryCase{"WholeUnitsWithMultipleOne", 6, 1, 8, U, Rules::Default, "2.5", 3, Adjusted("1", "3")},
        EntryCase{"WholeUnitsInNoPackagesMode", 6, 12, 8, U, Rules::NoPackages, "2,5", 3, Adjusted("1", "3")},
        // Multiple rule switched off.
        EntryCase{"EnableWholePackageZero", 6, 12, 0, U, Rules::NoMultiples, "13", 13, ""},
        EntryCase{"NoPackagesMode", 6, 12, 0, U, Rules::NoPackages, "13", 13, ""},
        // The packages column takes what is typed (only the range applies).
        EntryCase{"PackagesColumnNoMultiple", 6, 12, 0, P, Rules::Default, "13", 13, ""},
        EntryCase{"PackagesColumnNoWholeUnits", 1, 0, 8, P, Rules::Default, "2,5", 2.5, ""},
        EntryCase{"PackagesColumnRange", 6, 12, 0, P, Rules::Default, "1000001", 0, kRange},
        // Range and unreadable text.
        EntryCase{"BeyondMaxAmount", 6, 12, 0, U, Rules::Default, "2000000", 0, kRange},
        EntryCase{"NegativeBeyondMaxAmount", 1, 0, 0, U, Rules::Default, "-1000001", 0, kRange},
        EntryCase{"AtMaxAmount", 1, 0, 0, U, Rules::Default, "1000000", 1000000, ""},
        EntryCase{"MaxAmountBelowHundredCountsAsHundred", 1, 0, 0, U, Rules::SmallMax, "100", 100, ""},
        EntryCase{"BeyondRaisedMaxAmount", 1, 0, 0, U, Rules::SmallMax, "101", 0, kRange},
        EntryCase{"NotANumber", 6, 12, 0, U, Rules::Default, "abc", 0, ""},
        EntryCase{"Empty", 6, 12, 0, U, Rules::Default, "", 0, ""},
        EntryCase{"TrailingGarbage", 1, 0, 0, U, Rules::Default, "12abc", 0, ""},
        EntryCase{"NaNText", 6, 12, 8, U, Rules::Default, "nan", 0, ""},
        EntryCase{"OverflowingExponent", 6, 12, 0, U, Rules::Default, "1e999", 0, ""},
        EntryCase{"LargeExponent", 6, 12, 0, U, Rules::Default, "1e10", 0, kRange},
        EntryCase{"SpacesInNumber", 1, 0, 0, U, Rules::Default, "1 000,5", 1000.5, ""}),
    [](const testing::TestParamInfo<EntryCase>& p) { return std::string(p.param.Name); });

TEST(MultipleRule, ReportsTheMultipleUsed) {
  struct Row {
    double Typed, Baleni, Multiple;
    bool Acceptable;
    double Quantity, Used;
  };
  const Row rows[] = {
      {18, 6, 12, true, 18, 6},   // accepted on the second chance: the package size is reported
      {24, 6, 12, true, 24, 12},  // accepted on the multiple itself
      {13, 6, 12, false, 12, 6},  // tie
      {11, 4, 12, false, 12, 4},  // 12 either way: the package size is named
      {30, 4, 12, false, 32, 4},  // 32 (by 4) is nearer than 36 (by 12)
      {23, 5, 12, false, 24, 12}, // 24 (by 12) is nearer than 25 (by 5)
      {1, 6, 12, false, 6, 6},    // neither multiple rounds a positive quantity to nothing
      {0, 6, 12, true, 0, 12},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.Typed);
    const TMultipleResult got = ApplyMultipleRule(r.Typed, r.Baleni, r.Multiple);
    EXPECT_EQ(got.Acceptable, r.Acceptable);
    EXPECT_DOUBLE_EQ(got.Quantity, r.Quantity);
    EXPECT_DOUBLE_EQ(got.Multiple, r.Used);
  }
}

TEST(WholePackageCard, FlagAndMultipleRules) {
  struct Row {
    int Flags;
    double Multiple, Baleni;
    bool Whole;
  };
  const Row rows[] = {
      {1, 0, 6, true},   // flag, no multiple
      {1, 6, 6, true},   // flag, multiple is the package size
      {1, 12, 6, false}, // flag, but a multiple of its own
      {0, 6, 6, true},   // multiple equal to the package size
      {0, 1, 1, false},  // multiple 1 is no package rule
      {0, 0, 6, false},  {0, 12, 6, false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.Flags << " " << r.Multiple << " " << r.Baleni);
    TPriceListItem card = MakeCard(r.Baleni, r.Multiple, r.Flags);
    EXPECT_EQ(IsWholePackageCard(card), r.Whole);
  }
}

class EnterQuantityOrigins : public testing::Test {
protected:
  EnterQuantityOrigins() {
    order.SetClock([this] { return now; });
    card = MakeCard(6, 0, 0);
  }
  TDateTime now = 46000.5;
  TOrder order;
  TPriceListItem card;
  TQuantityRules rules;
};

TEST_F(EnterQuantityOrigins, PriceListGridKeepsOneLinePerCardAndDropsEmptyOnes) {
  order.EnterQuantity(card, TQuantityColumn::Units, "4", rules);
  now += 1;
  order.EnterQuantity(card, TQuantityColumn::Packages, "2", rules);
  ASSERT_EQ(order.Count(), 1);
  EXPECT_EQ(order.Line(0).Quantity, 4);
  EXPECT_EQ(order.Line(0).Packages, 2);
  EXPECT_DOUBLE_EQ(order.TotalNoVat, 160); // (2 * 6 + 4) * 10: totals follow every entry

  // The line stays while the other column holds something.
  order.EnterQuantity(card, TQuantityColumn::Units, "0", rules);
  ASSERT_EQ(order.Count(), 1);
  EXPECT_EQ(order.Line(0).Quantity, 0);
  now += 1;
  order.Modified = false;
  order.EnterQuantity(card, TQuantityColumn::Packages, "x", rules);
  EXPECT_EQ(order.Count(), 0);
  EXPECT_TRUE(order.Modified);
  EXPECT_EQ(order.Changed, now);
  EXPECT_EQ(order.TotalNoVat, 0);
}

TEST_F(EnterQuantityOrigins, PriceListGridStampsCreatedOnTheFirstEntry) {
  struct Observer : IOrderObserver {
    int Header = 0;
    void HeaderChanged() override { ++Header; }
  } observer;
  order.SetObserver(&observer);
  order.Created = 1;
  order.EnterQuantity(card, TQuantityColumn::Units, "0", rules); // nothing stored, still stamped
  EXPECT_EQ(order.Created, now);
  EXPECT_EQ(order.Count(), 0);
  EXPECT_FALSE(order.Modified);
  order.EnterQuantity(card, TQuantityColumn::Units, "3", rules);
  const TDateTime first = now;
  now += 1;
  order.EnterQuantity(card, TQuantityColumn::Units, "5", rules);
  EXPECT_EQ(order.Created, first); // not restamped while the order has lines
  EXPECT_EQ(observer.Header, 2);
}

TEST_F(EnterQuantityOrigins, PriceListGridAddsNewCardsAtTheEnd) {
  TPriceListItem other = MakeCard(1, 0, 0);
  other.Kod = "0001";
  order.EnterQuantity(card, TQuantityColumn::Units, "1", rules);
  order.EnterQuantity(other, TQuantityColumn::Packages, "2", rules);
  ASSERT_EQ(order.Count(), 2);
  EXPECT_EQ(order.Line(1).Code, "0001");
  EXPECT_EQ(order.Line(1).Card, &other);
  EXPECT_EQ(order.Line(1).Packages, 2);
}

TEST_F(EnterQuantityOrigins, OrderGridKeepsZeroLinesAndEditsItsOwnRow) {
  // Two lines of one code, as read from a file: the edited row is the one changed.
  order.Append(TOrderItem{1, 0, card.Kod, &card});
  order.Append(TOrderItem{2, 0, card.Kod, &card});
  EXPECT_EQ(order.EnterLineQuantity(1, TQuantityColumn::Units, "0", rules), "");
  ASSERT_EQ(order.Count(), 2);
  EXPECT_EQ(order.Line(0).Quantity, 1);
  EXPECT_EQ(order.Line(1).Quantity, 0);
  EXPECT_TRUE(order.Modified);
  EXPECT_DOUBLE_EQ(order.TotalNoVat, 10);

  card.PRIZNAKY = 8;
  EXPECT_EQ(Cp1250ToUtf8(order.EnterLineQuantity(0, TQuantityColumn::Units, "1,5", rules)), Adjusted("1", "2"));
  EXPECT_EQ(order.Line(0).Quantity, 2);
}

TEST_F(EnterQuantityOrigins, OrderGridLineWithoutCardOnlyChecksTheRange) {
  order.Append(TOrderItem{1, 0, "GONE", nullptr});
  EXPECT_EQ(order.EnterLineQuantity(0, TQuantityColumn::Units, "2,5", rules), "");
  EXPECT_EQ(order.Line(0).Quantity, 2.5);
  EXPECT_EQ(Cp1250ToUtf8(order.EnterLineQuantity(0, TQuantityColumn::Units, "9999999", rules)), kRange);
  EXPECT_EQ(order.Line(0).Quantity, 0);
}

TEST_F(EnterQuantityOrigins, OrderGridRowOutOfRangeChangesNothing) {
  order.Append(TOrderItem{1, 0, card.Kod, &card});
  for (int row : {-1, 1, 1000}) {
    EXPECT_EQ(order.EnterLineQuantity(row, TQuantityColumn::Units, "5", rules), "");
  }
  EXPECT_EQ(order.Line(0).Quantity, 1);
  EXPECT_FALSE(order.Modified);
}

} // namespace
