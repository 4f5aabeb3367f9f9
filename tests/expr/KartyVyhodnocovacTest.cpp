#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "catalogue/PriceList.h"
#include "core/DateTime.h"
#include "expr/KartyVyhodnocovac.h"
#include "formats/Cp1250Utf8.h"
#include "orders/Order.h"
#include "ui/CellText.h"

namespace {

// Opens the variable hooks to the tests.
class TProbe : public TKartyVyhodnocovac {
public:
  using TKartyVyhodnocovac::FindVariable;
  using TKartyVyhodnocovac::ReadVariable;
  using TKartyVyhodnocovac::TKartyVyhodnocovac;
};

// A card with a distinct value in every field.
std::unique_ptr<TPriceListItem> FullCard() {
  auto c = std::make_unique<TPriceListItem>();
  c->Kod = "A1";
  c->Nazev = Cz("Čaj zelený");
  c->Cena = 120.5;
  c->CenaSDPH = 145.81;
  c->Baleni = 6;
  c->VeVrstve = 4;
  c->NaPalete = 40;
  c->SazbaDPH = 21;
  c->Jednotka = "ks";
  c->TYPKARTY = 3;
  c->EAN = "8590000000017";
  c->SKUPINA1 = "0120";
  c->SKUPINA2 = "S2";
  c->SKUPINA3 = "S3";
  c->HMOTNOST = 0.25;
  c->ZARUKA = 24;
  c->KODLAHEV = "L1";
  c->CENALAHEV = 3;
  c->KODPREPR = "P1";
  c->CENAPREPR = 100;
  c->DATUMZMENY = EncodeDate(2024, 3, 15) + 0.5; // the time of day is not shown
  c->ZASOBA = 12.5;
  c->POZNAMKA = "akce";
  c->CISLOSHODA = "CS1";
  c->POPISSKP1 = "P-1";
  c->POPISSKP2 = "P-2";
  c->POPISSKP3 = "P-3";
  c->SKLMJ = "kar";
  c->NAKUPCENA = 99.99;
  c->OBRAZEK = "a1.jpg";
  c->DOSTUPNOST = "skladem";
  c->KLICSLOVA = Cz("zelený");
  c->DODAVATEL = "Dodavatel";
  c->VYROBCE = "Vyrobce";
  c->NSKUPINA2 = "N2";
  c->PRIZNAKY = 5;
  c->OBJPOCETB = 2;
  c->DopCena = 1;
  c->DopCenaDPH = 1.21;
  return c;
}

class KartyVyhodnocovacTest : public ::testing::Test {
protected:
  KartyVyhodnocovacTest() {
    List.Add(FullCard());
    Env.Conventions = &Czech;
    Env.FindOrderLine = [this](const std::string& code) -> const TOrderItem* {
      const int line = Order.FindLine(code);
      return line < 0 ? nullptr : &Order.Line(line);
    };
  }

  // Reads the variable of the first card: the type, the text and the number.
  struct TRead {
    bool Ok = false;
    std::uint8_t Type = 99;
    std::string Text;
    double Number = 0;
  };
  TRead Read(std::int32_t id, int index = 0, bool numberTexts = true) {
    TProbe probe(List, Env);
    probe.Index = index;
    probe.NumberTexts = numberTexts;
    probe.NumValue = -777;
    TRead read;
    read.Ok = probe.ReadVariable(id, read.Type);
    read.Text = probe.StrValue;
    read.Number = probe.NumValue;
    return read;
  }

  TPriceList List;
  TOrder Order;
  Locale Czech = Locale::Czech();
  TCellEnvironment Env;
};

TEST_F(KartyVyhodnocovacTest, NamesAreFoundInAnyCaseOfTheLettersAToZ) {
  const struct {
    const char* Name; // UTF-8
    std::int32_t Id;
  } cases[] = {{"Objednano", 1},
               {"objednano", 1},
               {"OBJEDNANO", 1},
               {"oBjEdNaNo", 1},
               {"ObjBal", 2},
               {"kod", 3},
               {"NAZEV", 4},
               {"cenasdph", 6},
               {"SkUpInA1", 14},
               {"datumzmeny", 23},
               {"cenabal", 30},
               {"KLICSLOVA", 35},
               {"nskupina2", 38},
               {"objpocetb", 40},
               // Only "a" to "z" are folded: a letter with a diacritic is another name.
               {"Název", 0},
               {"Objednáno", 0},
               // Whole names only, and the grid's two extra amount columns have none.
               {"", 0},
               {"Objednan", 0},
               {"Objednano1", 0},
               {"DopCena", 0},
               {"Kod ", 0}};
  TProbe probe(List, Env);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(probe.FindVariable(Cz(c.Name)), c.Id);
  }
  for (std::int32_t id = 1; id <= kCardVariableCount; ++id)
    EXPECT_EQ(probe.FindVariable(CardVariableName(id)), id) << CardVariableName(id);
}

TEST_F(KartyVyhodnocovacTest, EveryVariableReadsWhatTheGridShows) {
  constexpr std::uint8_t N = kExprNumber, T = kExprText;
  const struct {
    std::int32_t Id;
    std::uint8_t Type;
    const char* Text; // UTF-8
    double Number;    // for numbers
  } cases[] = {
      {1, N, "", 0},               // Objednano without an order line
      {2, N, "", 0},               // ObjBal
      {3, T, "A1", 0},             // Kod
      {4, T, "Čaj zelený", 0},     // Nazev
      {5, N, "  120,50", 120.5},   // Cena
      {6, N, "  145,81", 145.81},  // CenaSDPH
      {7, N, "6", 6},              // Baleni
      {8, N, "4", 4},              // VeVrstve
      {9, N, "40", 40},            // NaPalete
      {10, N, "21%", 21},          // SazbaDPH
      {11, T, "ks", 0},            // Jednotka
      {12, N, "3", 3},             // TYPKARTY
      {13, T, "8590000000017", 0}, // EAN
      {14, T, "0120", 0},          // SKUPINA1
      {15, T, "S2", 0},            // SKUPINA2
      {16, T, "S3", 0},            // SKUPINA3
      {17, N, "0,25", 0.25},       // HMOTNOST
      {18, N, "24", 24},           // ZARUKA
      {19, T, "L1", 0},            // KODLAHEV
      {20, N, "    3,00", 3},      // CENALAHEV
      {21, T, "P1", 0},            // KODPREPR
      {22, N, "  100,00", 100},    // CENAPREPR
      {23, T, "15.03.2024", 0},    // DATUMZMENY
      {24, N, "12,5", 12.5},       // ZASOBA
      {25, T, "akce", 0},          // POZNAMKA
      {26, T, "CS1", 0},           // CISLOSHODA
      {27, T, "P-1", 0},           // POPISSKP1
      {28, T, "P-2", 0},           // POPISSKP2
      {29, T, "P-3", 0},           // POPISSKP3
      {30, N, "  723,00", 723},    // CenaBal: 6 x 120.50
      {31, T, "kar", 0},           // SKLMJ
      {32, N, "   99,99", 99.99},  // NAKUPCENA
      {33, T, "a1.jpg", 0},        // OBRAZEK
      {34, T, "skladem", 0},       // DOSTUPNOST
      {35, T, "zelený", 0},        // KlicSlova
      {36, T, "Dodavatel", 0},     // Dodavatel
      {37, T, "Vyrobce", 0},       // Vyrobce
      {38, T, "N2", 0},            // NSkupina2
      {39, N, "5", 5},             // Priznaky
      {40, N, "2", 2},             // ObjPocetB
      {41, N, "    1,00", 1},      // the grid's extra amounts, no name
      {42, N, "    1,21", 1.21},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Id);
    const TRead read = Read(c.Id);
    ASSERT_TRUE(read.Ok);
    EXPECT_EQ(read.Type, c.Type);
    EXPECT_EQ(CardVariableType(c.Id), c.Type);
    EXPECT_EQ(read.Text, Cz(c.Text));
    if (c.Type == N) {
      EXPECT_DOUBLE_EQ(read.Number, c.Number);
      // What the evaluation reads: the same number, no text formatted.
      const TRead plain = Read(c.Id, 0, false);
      EXPECT_EQ(plain.Type, N);
      EXPECT_DOUBLE_EQ(plain.Number, c.Number);
      EXPECT_EQ(plain.Text, "");
    } else {
      EXPECT_EQ(Read(c.Id, 0, false).Text, read.Text);
    }
  }
}

// A selection reads every variable's field from all cards in advance: the values must be the
// ones a single read gives, for each card, in a foreign currency too.
TEST_F(KartyVyhodnocovacTest, ASelectionReadsTheSameValuesAsASingleRead) {
  auto second = FullCard();
  second->Kod = "B2";
  second->SKUPINA1 = "";
  second->Cena = 7.25;
  second->ZARUKA = -3;
  second->POZNAMKA = std::string(300, 'x'); // longer than any short-text buffer
  List.Add(std::move(second));
  Env.ForeignCurrency = true;
  Env.ExRate = 25;
  TOrderItem line;
  line.Code = "B2";
  line.Quantity = 4;
  Order.Append(line);
  for (std::int32_t id = 1; id <= kCardVariableCount; ++id) {
    SCOPED_TRACE(CardVariableName(id));
    TProbe probe(List, Env);
    ASSERT_EQ(probe.Compile(CardVariableName(id)), 0);
    probe.BeginSelection();
    for (const int index : {1, 0, 1}) {
      probe.Index = index;
      std::uint8_t type = 99;
      ASSERT_TRUE(probe.ReadVariable(id, type));
      const TRead single = Read(id, index, false);
      EXPECT_EQ(type, single.Type);
      EXPECT_EQ(probe.StrValue, single.Text);
      if (type == kExprNumber) {
        EXPECT_DOUBLE_EQ(probe.NumValue, single.Number);
      }
    }
    probe.EndSelection();
  }
  // After the selection the cards are read again as they are.
  TProbe probe(List, Env);
  ASSERT_EQ(probe.Compile("Kod"), 0);
  probe.BeginSelection();
  probe.EndSelection();
  List.Items(0).Kod = "C3";
  std::uint8_t type = 99;
  probe.Index = 0;
  ASSERT_TRUE(probe.ReadVariable(3, type));
  EXPECT_EQ(probe.StrValue, "C3");
}

TEST_F(KartyVyhodnocovacTest, ReadingFailsOutsideTheIdsAndTheCards) {
  for (const std::int32_t id : {-1, 0, 43, 1000})
    EXPECT_FALSE(Read(id).Ok) << id;
  for (const int index : {-1, 1, 5})
    EXPECT_FALSE(Read(3, index).Ok) << index;
}

TEST_F(KartyVyhodnocovacTest, AmountsAreInTheDisplayedCurrency) {
  Env.ForeignCurrency = true;
  Env.ExRate = 25;
  const struct {
    std::int32_t Id;
    const char* Text;
    double Number;
  } cases[] = {
      {5, "    4,82", 4.82},    // Cena 120.50 / 25
      {30, "   28,92", 28.92},  // CenaBal: rounded to 723.00 first, then divided
      {32, "    4,00", 3.9996}, // NAKUPCENA 99.99 / 25
      {7, "6", 6},              // a package size is no amount
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Id);
    const TRead read = Read(c.Id);
    EXPECT_EQ(read.Text, c.Text);
    EXPECT_DOUBLE_EQ(read.Number, c.Number);
    EXPECT_DOUBLE_EQ(Read(c.Id, 0, false).Number, c.Number);
  }
}

TEST_F(KartyVyhodnocovacTest, OrderedQuantitiesComeFromTheOpenOrdersLine) {
  TOrderItem line;
  line.Code = "A1";
  line.Quantity = 12;
  line.Packages = 2;
  Order.Append(line);
  EXPECT_EQ(Read(1).Text, "12");
  EXPECT_DOUBLE_EQ(Read(1, 0, false).Number, 12);
  EXPECT_DOUBLE_EQ(Read(1).Number, 12);
  EXPECT_DOUBLE_EQ(Read(2).Number, 2);
  // The values follow the order: the same evaluator reads the new quantity.
  Order.SetQuantity(0, 1.5);
  EXPECT_EQ(Read(1).Text, "1,5");
  EXPECT_DOUBLE_EQ(Read(1, 0, false).Number, 1.5);
  Order.SetPackages(0, 0);
  EXPECT_EQ(Read(2).Text, "");
}

// Cards for selections: code, group code 1, price, and the ordered quantity (-1: no line).
class KartySelectionTest : public ::testing::Test {
protected:
  KartySelectionTest() {
    const struct {
      const char* Kod;
      const char* Skupina;
      double Cena;
      double Ordered;
    } cards[] = {{"A", "0120", 50, 5}, {"B", "120", 150, 0}, {"C", "0121", 2000, -1}, {"D", "", 3000, -2}};
    for (const auto& c : cards) {
      auto card = std::make_unique<TPriceListItem>();
      card->Kod = c.Kod;
      card->SKUPINA1 = c.Skupina;
      card->Cena = c.Cena;
      List.Add(std::move(card));
      if (c.Ordered != -1) {
        TOrderItem line;
        line.Code = c.Kod;
        line.Quantity = c.Ordered;
        Order.Append(line);
      }
    }
    Env.Conventions = &Czech;
    Env.FindOrderLine = [this](const std::string& code) -> const TOrderItem* {
      const int line = Order.FindLine(code);
      return line < 0 ? nullptr : &Order.Line(line);
    };
  }

  // The codes of the cards the expression selects; "compile N" when it does not compile.
  std::string Selected(const char* expression) {
    TKartyVyhodnocovac evaluator(List, Env);
    const std::uint8_t code = evaluator.Compile(expression);
    if (code != 0)
      return "compile " + std::to_string(code);
    std::string codes;
    for (int i = 0; i < List.Count(); ++i)
      if (evaluator.Selects(i))
        codes += List.Items(i).Kod;
    return codes;
  }

  TPriceList List;
  TOrder Order;
  Locale Czech = Locale::Czech();
  TCellEnvironment Env;
};

TEST_F(KartySelectionTest, ACardIsSelectedByANumberThatIsNotNearlyZero) {
  const struct {
    const char* Expression;
    const char* Selected;
  } cases[] = {
      {"Objednano>0", "A"}, // a line with a positive quantity; B's line holds 0, D's -2
      {"objednano<>0", "AD"},
      {"OBJEDNANO=0", "BC"},
      {"SKUPINA1='0120'", "A"}, // texts: 120 is another text
      {"SKUPINA1='0120' OR SKUPINA1='0121'", "AC"},
      {"SKUPINA1=120", "B"}, // the number turned into the text 120
      {"Cena>100 AND Objednano=0", "BC"},
      {"Kod", ""}, // a text result selects nothing
      {"'1'", ""},
      {"1/Objednano", "AD"},          // division by zero is an error for B and C
      {"Cena/10000000000000000", ""}, // nearly zero
      {"Cena", "ABCD"},
      {"#kod='A' OR @Cena=3000", "AD"},
      {"#+1", "compile 19"},
      {"Název", "compile 15"},
      {"Cena > ", "compile 6"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Expression);
    EXPECT_EQ(Selected(c.Expression), c.Selected);
  }
}

TEST_F(KartySelectionTest, PricesAreComparedInTheDisplayedCurrency) {
  EXPECT_EQ(Selected("Cena>100"), "BCD");
  Env.ForeignCurrency = true;
  Env.ExRate = 25; // 2000 and 3000 become 80 and 120
  EXPECT_EQ(Selected("Cena>100"), "D");
}

TEST_F(KartySelectionTest, TheOrderedQuantityFollowsTheOrder) {
  TKartyVyhodnocovac evaluator(List, Env);
  ASSERT_EQ(evaluator.Compile("Objednano>0"), 0);
  EXPECT_FALSE(evaluator.Selects(1));
  Order.SetQuantity(Order.FindLine("B"), 3);
  EXPECT_TRUE(evaluator.Selects(1));
  // A position outside the list reads no card: the evaluation fails.
  EXPECT_FALSE(evaluator.Selects(4));
  EXPECT_EQ(evaluator.Evaluate().Code, 20);
}

} // namespace
