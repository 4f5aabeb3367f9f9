#include "ui/CellText.h"

#include <gtest/gtest.h>

#include "catalogue/PriceListItem.h"
#include "core/AppSettings.h"
#include "core/DateTime.h"
#include "formats/Cp1250Utf8.h"
#include "orders/OrderItem.h"

namespace {

TPriceListItem Card() {
  TPriceListItem c;
  c.Kod = "A-100";
  c.Nazev = Cz("Šroub zápustný");
  c.SearchName = "SROUB ZAPUSTNY";
  c.Cena = 1234.5;
  c.CenaSDPH = 1493.746;
  c.Baleni = 2.5;
  c.VeVrstve = 12;
  c.NaPalete = -3;
  c.SazbaDPH = 21;
  c.Jednotka = "ks";
  c.TYPKARTY = 2;
  c.HMOTNOST = 0.125;
  c.ZASOBA = 0;
  c.DATUMZMENY = EncodeDate(2026, 3, 5) + 0.75;
  c.NAKUPCENA = 1000;
  c.POPISSKP2 = Cz("Spojovací materiál");
  c.OBJPOCETB = 1e20;
  c.DopCenaDPH = -0.004;
  return c;
}

struct TCellCase {
  const char* Name;
  int ID;
  const char* Text; // UTF-8
  double Value;
};

class CardCellTest : public ::testing::TestWithParam<TCellCase> {};

TEST_P(CardCellTest, TextAndValueInACzechLocale) {
  const TCellCase& c = GetParam();
  const TPriceListItem card = Card();
  const Locale czech = Locale::Czech();
  TCellEnvironment env;
  env.Conventions = &czech;
  const TCellValue cell = ContentText(&card, nullptr, c.ID, false, env);
  EXPECT_EQ(Cp1250ToUtf8(cell.Text), c.Text);
  EXPECT_DOUBLE_EQ(cell.Value, c.Value);
}

INSTANTIATE_TEST_SUITE_P(
    Contents, CardCellTest,
    ::testing::Values(
        TCellCase{"Code", 2, "A-100", 0}, TCellCase{"Name", 3, "Šroub zápustný", 0},
        TCellCase{"Price", 4, " 1234,50", 1234.5}, TCellCase{"PriceWithVatRounded", 5, " 1493,75", 1493.746},
        TCellCase{"Package", 6, "2,5", 2.5}, TCellCase{"Integer", 7, "12", 12},
        TCellCase{"NegativeInteger", 8, "-3", -3}, TCellCase{"VatRate", 9, "21%", 21},
        TCellCase{"CardTypeIsANumber", 11, "2", 2}, TCellCase{"EmptyText", 12, "", 0},
        TCellCase{"Weight", 16, "0,125", 0.125}, TCellCase{"ZeroStockShowsZero", 23, "0", 0},
        TCellCase{"DateWithoutTime", 22, "05.03.2026", 0}, TCellCase{"GroupDescription", 27, "Spojovací materiál", 0},
        TCellCase{"PackagePrice", 29, " 3086,25", 3086.25}, TCellCase{"PurchasePriceAsAmount", 31, " 1000,00", 1000},
        TCellCase{"HugeNumberInGeneralForm", 39, "1E20", 1e20}, TCellCase{"ZeroAmountKeepsDecimals", 40, "    0,00", 0},
        TCellCase{"TinyNegativeAmountHasNoMinus", 41, "    0,00", -0.004}, TCellCase{"OrderedWithoutLine", 0, "", 0},
        TCellCase{"Blank", -1, "", 0}, TCellCase{"Beyond", 42, "", 0}),
    [](const auto& p) { return std::string(p.param.Name); });

TEST(CellTextTest, NameKeyOnlyWhenAsked) {
  const TPriceListItem card = Card();
  EXPECT_EQ(ContentText(&card, nullptr, 3, true, {}).Text, "SROUB ZAPUSTNY");
  EXPECT_EQ(ContentText(&card, nullptr, 2, true, {}).Text, "A-100");
}

TEST(CellTextTest, PackagePriceRule) {
  struct TCase {
    double Baleni, Cena, Expected;
  };
  for (const TCase& c : {TCase{6, 1.333, 8.0}, TCase{1, 1.333, 1.333}, TCase{0, 1.333, 1.333}, TCase{0.0001, 5, 5},
                         TCase{0.5, 3.333, 1.67}, TCase{-2, 7, 7}}) {
    SCOPED_TRACE(c.Baleni);
    TPriceListItem card;
    card.Baleni = c.Baleni;
    card.Cena = c.Cena;
    EXPECT_DOUBLE_EQ(ContentText(&card, nullptr, 29, false, {}).Value, c.Expected);
  }
  TPriceListItem card;
  card.Baleni = 6;
  card.Cena = 1.333;
  EXPECT_EQ(ContentText(&card, nullptr, 29, false, {}).Text, "    8,00");
}

TEST(CellTextTest, ForeignCurrencyDividesEveryAmount) {
  TPriceListItem card;
  card.Cena = 100;
  card.Baleni = 6;
  card.ZASOBA = 100;
  TAppSettings settings;
  settings.Company.Currency = "EUR";
  settings.Company.ExRate = 25;
  settings.ForeignCurrency = IsForeignCurrency(settings.Company);
  const TCellEnvironment eur = TCellEnvironment::FromSettings(settings);
  EXPECT_EQ(PriceListCellText(&card, 4, eur), "    4,00");
  EXPECT_EQ(PriceListCellText(&card, 29, eur), "   24,00");
  EXPECT_EQ(PriceListCellText(&card, 23, eur), "100"); // not an amount

  settings.Company.ExRate = 1;
  settings.ForeignCurrency = IsForeignCurrency(settings.Company);
  EXPECT_EQ(PriceListCellText(&card, 4, TCellEnvironment::FromSettings(settings)), "  100,00");

  Locale english = Locale::Czech();
  english.DecimalSeparator = '.';
  TCellEnvironment env = eur;
  env.Conventions = &english;
  EXPECT_EQ(PriceListCellText(&card, 4, env), "    4.00");
}

TEST(CellTextTest, PriceListCellsFindTheOrderLineByCode) {
  TPriceListItem card;
  card.Kod = "K1";
  TOrderItem line{2.5, 0, "K1", &card};
  std::vector<std::string> asked;
  TCellEnvironment env;
  env.FindOrderLine = [&](const std::string& code) -> const TOrderItem* {
    asked.push_back(code);
    return code == "K1" ? &line : nullptr;
  };
  EXPECT_EQ(PriceListCellText(&card, 0, env), "2,5");
  EXPECT_EQ(PriceListCellText(&card, 1, env), ""); // no packages ordered
  EXPECT_EQ(PriceListCellText(&card, 2, env), "K1");
  EXPECT_EQ(asked, (std::vector<std::string>{"K1", "K1"})); // only for the order-entry contents
  card.Kod = "K2";
  EXPECT_EQ(PriceListCellText(&card, 0, env), "");
  EXPECT_EQ(PriceListCellText(nullptr, 2, env), "");
  EXPECT_EQ(PriceListCellText(&card, 0, {}), ""); // no order open
}

TEST(CellTextTest, OrderCellsReadTheLine) {
  TPriceListItem card;
  card.Kod = "CARD";
  card.Nazev = "Matice";
  card.Cena = 2;
  const std::vector<TOrderItem> lines = {{12, 1.5, "LINE", &card}, {0, 0, "GONE", nullptr}};
  const TCellEnvironment env;
  struct TCase {
    int Index, ID;
    const char* Text;
  };
  for (const TCase& c : {TCase{0, 0, "12"}, TCase{0, 1, "1,5"}, TCase{0, 2, "LINE"}, TCase{0, 3, "Matice"},
                         TCase{0, 4, "    2,00"}, TCase{0, -1, ""}, TCase{1, 0, ""}, TCase{1, 2, "GONE"},
                         TCase{1, 3, ""}, TCase{1, 4, ""}, TCase{2, 2, ""}, TCase{-1, 2, ""}}) {
    SCOPED_TRACE(testing::Message() << c.Index << "/" << c.ID);
    EXPECT_EQ(OrderCellText(lines, c.Index, c.ID, env), c.Text);
  }
}

} // namespace
