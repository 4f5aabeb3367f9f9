#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "core/DateTime.h"
#include "core/Log.h"
#include "formats/Cp1250Utf8.h"
#include "orders/Order.h"
#include "support/TestSupport.h"

namespace {

TPriceListItem Card(const char* code, double cena, double sazba, double baleni = 1) {
  TPriceListItem card;
  card.Kod = code;
  card.Cena = cena;
  card.SazbaDPH = sazba;
  card.Baleni = baleni;
  return card;
}

class OrderTest : public testing::Test {
protected:
  OrderTest() {
    order.SetClock([this] { return now; });
  }
  TDateTime now = EncodeDate(2026, 3, 4) + 0.25;
  TOrder order;
};

TEST_F(OrderTest, TotalsWithDeposits) {
  // 3 packages of 6 bottles at 10.00 with 21 % VAT; crate 100 and bottle 3, both with 21 %.
  TPriceListItem wine = Card("W", 10, 21, 6);
  wine.CENAPREPR = 100;
  wine.SAZBAPREPR = 21;
  wine.CENALAHEV = 3;
  wine.SAZBALAHEV = 21;
  order.Append(TOrderItem{0, 3, "W", &wine});
  order.Append(TOrderItem{5, 0, "GONE", nullptr}); // not in the price list: adds nothing
  order.RecalcTotals();
  EXPECT_DOUBLE_EQ(order.TotalNoVat, 180.00);
  EXPECT_DOUBLE_EQ(order.TotalWithVat, 217.80);
  EXPECT_DOUBLE_EQ(order.PackagingTotal, 428.34); // 3 * 121 + 18 * 3.63
}

TEST_F(OrderTest, TotalsRoundEachLineToCentsAndTheSumWithVatToTenths) {
  TPriceListItem a = Card("A", 1.005, 0); // 1.005 -> 1.01 per line
  TPriceListItem b = Card("B", 0.333, 21);
  order.Append(TOrderItem{1, 0, "A", &a});
  order.Append(TOrderItem{1, 0, "A", &a});
  order.Append(TOrderItem{1, 0, "B", &b}); // 0.333 -> 0.33; with VAT 0.40293 -> 0.40
  order.RecalcTotals();
  EXPECT_DOUBLE_EQ(order.TotalNoVat, 2.35);
  EXPECT_DOUBLE_EQ(order.TotalWithVat, 2.4); // 1.01 + 1.01 + 0.40 = 2.42
  // Recomputing starts from zero.
  order.Delete(2);
  order.RecalcTotals();
  EXPECT_DOUBLE_EQ(order.TotalNoVat, 2.02);
  EXPECT_DOUBLE_EQ(order.TotalWithVat, 2.0);
}

TEST_F(OrderTest, BottleDepositCountsWholeBottles) {
  struct Row {
    double Quantity, Packages, Baleni;
    double Deposit; // bottle 1.00 without VAT, crate 10.00 without VAT
  };
  const Row rows[] = {
      {2.3, 0, 1, 3},         // part of a bottle is a whole bottle
      {2.005, 0, 1, 2},       // within 0.01 of a whole number: that number
      {0, 2.999, 6, 30 + 18}, // crates rounded: 3; bottles 17.994 -> 18
      {0, 1.4, 6, 10 + 9},    // 1 crate; 8.4 bottles -> 9
      {-2.3, 0, 1, -3},       // a negative quantity rounds away from zero
      {0.5, 0.5, 1, 10 + 1},  // half a crate rounds to one; 1 bottle
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.Quantity << " + " << r.Packages << " x " << r.Baleni);
    TPriceListItem card = Card("X", 0, 0, r.Baleni);
    card.CENALAHEV = 1;
    card.CENAPREPR = 10;
    TOrder o;
    o.Append(TOrderItem{r.Quantity, r.Packages, "X", &card});
    o.RecalcTotals();
    EXPECT_DOUBLE_EQ(o.PackagingTotal, r.Deposit);
  }
}

TEST_F(OrderTest, MarkChangedStampsChangedAndCreatedOnce) {
  EXPECT_FALSE(order.Modified);
  order.MarkChanged();
  EXPECT_TRUE(order.Modified);
  EXPECT_EQ(order.Changed, now);
  EXPECT_EQ(order.Created, now);
  const TDateTime created = now;
  now += 1.5;
  order.MarkChanged();
  EXPECT_EQ(order.Changed, now);
  EXPECT_EQ(order.Created, created);
}

TEST_F(OrderTest, SetQuantityIgnoresNearlyEqualValues) {
  order.Append(TOrderItem{2, 1, "A", nullptr});
  order.SetQuantity(0, 2.0000000001);
  order.SetPackages(0, 1);
  EXPECT_FALSE(order.Modified);
  EXPECT_EQ(order.Line(0).Quantity, 2);
  order.SetQuantity(0, 2.5);
  EXPECT_TRUE(order.Modified);
  EXPECT_EQ(order.Line(0).Quantity, 2.5);
  order.Modified = false;
  order.SetPackages(0, 0);
  EXPECT_TRUE(order.Modified);
  EXPECT_EQ(order.Line(0).Packages, 0);
}

TEST_F(OrderTest, FindLineAndCountNonEmptyLines) {
  order.Append(TOrderItem{0, 0, "A", nullptr});
  order.Append(TOrderItem{1, 0, "B", nullptr});
  order.Append(TOrderItem{0, 2, "B", nullptr});
  order.Append(TOrderItem{0, 0, "a", nullptr});
  EXPECT_EQ(order.FindLine("B"), 1); // the first of two
  EXPECT_EQ(order.FindLine("a"), 3); // exact, case and all
  EXPECT_EQ(order.FindLine("B "), -1);
  EXPECT_EQ(order.FindLine("C"), -1);
  EXPECT_EQ(order.CountNonEmptyLines(), 2);
}

struct RemovalObserver : IOrderObserver {
  int Removed = 0;
  void LinesRemoved() override { ++Removed; }
};

TEST_F(OrderTest, RemoveEmptyLinesKeepsTheOrderAndNotifiesOnce) {
  RemovalObserver observer;
  order.SetObserver(&observer);
  const std::vector<TOrderItem> lines = {{0, 0, "A", nullptr}, {1, 0, "B", nullptr}, {0, 0, "C", nullptr},
                                         {0, 1, "D", nullptr}, {0, 0, "E", nullptr}, {-1, 0, "F", nullptr}};
  for (const TOrderItem& line : lines)
    order.Append(line);
  order.RemoveEmptyLines();
  ASSERT_EQ(order.Count(), 3);
  EXPECT_EQ(order.Line(0).Code, "B");
  EXPECT_EQ(order.Line(1).Code, "D");
  EXPECT_EQ(order.Line(2).Code, "F");
  EXPECT_EQ(observer.Removed, 1);
  EXPECT_TRUE(order.Modified);
  EXPECT_EQ(order.Changed, now);

  // Nothing to remove: no change, no notification.
  order.Modified = false;
  order.RemoveEmptyLines();
  EXPECT_EQ(observer.Removed, 1);
  EXPECT_FALSE(order.Modified);
  order.SetObserver(nullptr);
}

TEST_F(OrderTest, RelinkCardsByCodeAndUnlink) {
  std::map<std::string, TPriceListItem> list = {{"A", Card("A", 1, 0)}, {"B", Card("B", 2, 0)}};
  const TCardLookup lookup = [&list](const std::string& code) -> TPriceListItem* {
    auto it = list.find(code);
    return it == list.end() ? nullptr : &it->second;
  };
  TPriceListItem stale = Card("C", 0, 0);
  order.Append(TOrderItem{1, 0, "B", nullptr});
  order.Append(TOrderItem{1, 0, "C", &stale});
  order.Append(TOrderItem{1, 0, "A", nullptr});
  order.RelinkCards(lookup);
  EXPECT_EQ(order.Line(0).Card, &list["B"]);
  EXPECT_EQ(order.Line(1).Card, nullptr); // no longer in the price list; keeps its quantity
  EXPECT_EQ(order.Line(1).Quantity, 1);
  EXPECT_EQ(order.Line(2).Card, &list["A"]);
  order.RecalcTotals();
  EXPECT_DOUBLE_EQ(order.TotalNoVat, 3);

  order.RelinkCards(lookup, true);
  for (int i = 0; i < order.Count(); ++i)
    EXPECT_EQ(order.Line(i).Card, nullptr);
  order.RelinkCards(lookup);
  order.RelinkCards(TCardLookup{}); // no price list at all
  EXPECT_EQ(order.Line(0).Card, nullptr);
}

TEST_F(OrderTest, EnsureOrderIDDateAndFourCharacters) {
  std::vector<int> draws = {0, 35, 10, 9};
  size_t next = 0;
  std::vector<int> bounds;
  order.SetRandom([&](int bound) {
    bounds.push_back(bound);
    return draws[next++];
  });
  order.EnsureOrderID();
  EXPECT_EQ(order.OrderID, "2603040ZA9");
  EXPECT_EQ(bounds, std::vector<int>(4, 36));
  order.EnsureOrderID(); // kept once assigned
  EXPECT_EQ(order.OrderID, "2603040ZA9");
  EXPECT_EQ(next, 4u);

  // The process's own generator: the same shape.
  TOrder plain;
  plain.SetClock([] { return EncodeDate(2031, 12, 25); });
  plain.EnsureOrderID();
  ASSERT_EQ(plain.OrderID.size(), 10u);
  EXPECT_EQ(plain.OrderID.substr(0, 6), "311225");
  for (char c : plain.OrderID.substr(6))
    EXPECT_TRUE((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z')) << c;
}

TEST_F(OrderTest, NewOrderClearsEverythingAndLogs) {
  TempDir dir;
  const std::string logFile = dir.File("obj.log");
  ProgramLog().SetFileName(logFile);
  ProgramLog().SetClock([] { return EncodeDate(2026, 3, 4); });

  TPriceListItem card = Card("A", 10, 0);
  order.Append(TOrderItem{1, 0, "A", &card});
  order.RecalcTotals();
  order.DeliveryDate = order.LatestDeliveryDate = order.Sent = order.Changed = 5;
  order.FileName = "C:\\OBJ\\X.OBJ";
  order.OrderID = "2601010000";
  order.Note = {"poznámka"};
  order.NewOrder();

  EXPECT_EQ(order.Count(), 0);
  EXPECT_EQ(order.Created, now);
  EXPECT_EQ(order.DeliveryDate, 0);
  EXPECT_EQ(order.LatestDeliveryDate, 0);
  EXPECT_EQ(order.Sent, 0);
  EXPECT_EQ(order.Changed, 0);
  EXPECT_EQ(order.FileName, "");
  EXPECT_EQ(order.OrderID, "");
  EXPECT_TRUE(order.Note.empty());
  EXPECT_EQ(order.TotalNoVat, 0);
  EXPECT_EQ(ReadFileBytes(logFile), Cz("04.03.2026 00:00:00 : Založena nová objednávka\r\n"));

  ProgramLog().SetFileName("");
  ProgramLog().SetClock({});
}

} // namespace
