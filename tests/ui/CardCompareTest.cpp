#include "ui/CardCompare.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "catalogue/PriceListItem.h"
#include "formats/CodePages.h"
#include "formats/Cp1250Utf8.h"
#include "orders/OrderItem.h"
#include "ui/TextCompare.h"

namespace {

struct TTextCase {
  const char* Name;
  const char* Smaller; // UTF-8
  const char* Larger;
};

class LocaleTextTest : public ::testing::TestWithParam<TTextCase> {};

TEST_P(LocaleTextTest, OrdersBothWays) {
  const std::string a = Cz(GetParam().Smaller), b = Cz(GetParam().Larger);
  EXPECT_EQ(CompareLocaleText(a, b), -1);
  EXPECT_EQ(CompareLocaleText(b, a), 1);
  EXPECT_EQ(CompareLocaleText(a, a), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Czech, LocaleTextTest,
    ::testing::Values(TTextCase{"Prefix", "abc", "abcd"}, TTextCase{"CaseAfterLetters", "b", "Ba"},
                      TTextCase{"SmallBeforeCapital", "abc", "Abc"}, TTextCase{"CaronAfterBase", "cz", "ča"},
                      TTextCase{"ChAfterH", "hz", "cha"}, TTextCase{"ChBeforeI", "cha", "i"},
                      TTextCase{"RCaronAfterR", "rz", "řa"}, TTextCase{"SCaronAfterS", "sz", "ša"},
                      TTextCase{"ZCaronAfterZ", "zz", "ža"}, TTextCase{"AcuteIsSecondary", "áa", "ab"},
                      TTextCase{"AcuteAfterPlain", "a", "á"}, TTextCase{"DigitsBeforeLetters", "9", "a"},
                      TTextCase{"SpaceBeforeDigits", " 9", "10"}, TTextCase{"DigitByDigit", "10", "9"},
                      TTextCase{"HyphenPassedOver", "ab", "a-c"}, TTextCase{"HyphenLast", "ab", "a-b"},
                      TTextCase{"Empty", "", " "}, TTextCase{"EmptyBeforeLetter", "", "a"},
                      TTextCase{"SingleLetterCase", "a", "A"}, TTextCase{"CapitalBeforeAccentedSmall", "A", "á"},
                      TTextCase{"CapitalBeforeAccentedCapital", "E", "é"},
                      TTextCase{"AccentedBeforeNextLetter", "á", "b"}, TTextCase{"CaronLetterAlone", "cz", "č"},
                      TTextCase{"HBeforeCh", "h", "ch"}, TTextCase{"HzBeforeCh", "hz", "ch"},
                      TTextCase{"RzBeforeRCaron", "rz", "ř"}),
    [](const auto& p) { return std::string(p.param.Name); });

TEST(LocaleTextTest, JoinedTextEqualsTheJoin) {
  EXPECT_EQ(CompareLocaleText(TJoinedText{2, "c", "hb"}, TJoinedText{0, "  chb", ""}), 0);
  EXPECT_EQ(CompareLocaleText(TJoinedText{0, "ab", "c"}, TJoinedText{0, "a", "bd"}), -1);
  // The first level of the key too: pad, "ch" across the seam, the hyphen passed over.
  std::string joined, whole;
  AppendLocalePrimaryKey(TJoinedText{2, "c", "h-b"}, joined);
  AppendLocalePrimaryKey(TJoinedText{0, "  chb", ""}, whole);
  EXPECT_EQ(joined, whole);
  EXPECT_EQ(joined.size(), 4u);
}

TPriceListItem Card(const std::string& kod, const char* nazev, double cena) {
  TPriceListItem card;
  card.Kod = kod;
  card.Nazev = Cz(nazev);
  card.SearchName = AnsiUpperCase(RemoveDiacritics(card.Nazev));
  card.Cena = cena;
  return card;
}

// Sorts the cards as the price list does and gives their codes in the new order.
std::string SortedCodes(const std::vector<TPriceListItem>& original, const TColumnList& columns,
                        const TCellEnvironment& env = {}) {
  std::vector<TPriceListItem> cards = original;
  std::stable_sort(cards.begin(), cards.end(), [&](const TPriceListItem& a, const TPriceListItem& b) {
    return ComparePriceListCards(a, b, columns, env) < 0;
  });
  std::string codes;
  for (const TPriceListItem& card : cards)
    codes += (codes.empty() ? "" : " ") + card.Kod;
  // The order of the keys taken once is the same.
  std::string keyed;
  for (std::size_t index : PriceListSortOrder(
           cards.size(), [&](std::size_t i) -> const TPriceListItem& { return original[i]; }, columns, env))
    keyed += (keyed.empty() ? "" : " ") + original[index].Kod;
  EXPECT_EQ(keyed, codes);
  return codes;
}

TColumnList SortedBy(int id, int alignment = -1) {
  TColumnList columns;
  columns.Columns = {DefaultColumn(3), DefaultColumn(2), id < 0 ? TdgColumn{} : DefaultColumn(id)};
  if (alignment >= 0)
    columns.Columns[2].Alignment = static_cast<std::uint8_t>(alignment);
  columns.SortColumn = 2;
  return columns;
}

class PriceListSortTest : public ::testing::Test {
protected:
  std::vector<TPriceListItem> Cards = {Card("10", "Čep", 5), Card("9", "cihla", 5), Card("2", "Álej", 1),
                                       Card("1", "beton", 7), Card("3", "Chmel", 5)};
};

TEST_F(PriceListSortTest, ByNameWithTheNameKey) {
  // "Čep" and "Álej" sort by their keys CEP and ALEJ; "Chmel" after "cihla" (CH after H).
  TColumnList columns = SortedBy(3);
  EXPECT_EQ(SortedCodes(Cards, columns), "2 1 10 9 3");
  columns.SortColumn = 0;
  EXPECT_EQ(SortedCodes(Cards, columns), "2 1 10 9 3");
}

TEST_F(PriceListSortTest, ByPriceWithTiesInNameOrder) {
  // Equal prices by "Nazev" in Czech order: cihla, Čep (č after c), Chmel (ch after h).
  EXPECT_EQ(SortedCodes(Cards, SortedBy(4)), "2 9 10 3 1");
}

TEST_F(PriceListSortTest, CodesAsTextOrRightJustified) {
  // As text the code runs into the name: "10Čep" comes before "1beton".
  EXPECT_EQ(SortedCodes(Cards, SortedBy(2)), "10 1 2 3 9");
  EXPECT_EQ(SortedCodes(Cards, SortedBy(2, caRight)), "1 2 3 9 10");
  EXPECT_EQ(SortedCodes(Cards, SortedBy(2, caCenter)), "10 1 2 3 9"); // "Kód" is left in the table
}

TEST_F(PriceListSortTest, BlankOrMissingColumnSortsByName) {
  // Names as they are, not their keys: Álej, beton, cihla, Čep, Chmel.
  EXPECT_EQ(SortedCodes(Cards, SortedBy(-1)), "2 1 9 10 3");
  TColumnList outside = SortedBy(4);
  outside.SortColumn = 7;
  EXPECT_EQ(SortedCodes(Cards, outside), "2 1 9 10 3");
}

TEST_F(PriceListSortTest, OrderedQuantityWithTheOrderLines) {
  const std::vector<TOrderItem> lines = {{4, 0, "9", nullptr}, {0, 0, "3", nullptr}, {1, 2, "10", nullptr}};
  TCellEnvironment env;
  env.FindOrderLine = [&](const std::string& code) -> const TOrderItem* {
    for (const TOrderItem& line : lines)
      if (line.Code == code)
        return &line;
    return nullptr;
  };
  // Cards without a line or with 0 first, in name order; then by quantity.
  EXPECT_EQ(SortedCodes(Cards, SortedBy(0), env), "2 1 3 10 9");
  EXPECT_EQ(SortedCodes(Cards, SortedBy(1), env), "2 1 9 3 10");
}

TEST(OrderSortTest, LinesByValueTextAndMissingCards) {
  TPriceListItem a = Card("A", "Hřebík", 3), b = Card("B", "hrábě", 3), c = Card("C", "Zámek", 1);
  const TOrderItem la{5, 0, "A", &a}, lb{5, 1, "B", &b}, lc{1, 0, "C", &c}, gone{9, 0, "X", nullptr};
  const TCellEnvironment env;
  struct TCase {
    int ID;
    const TOrderItem *First, *Second;
    int Expected;
  };
  const TCase cases[] = {
      {0, &la, &lb, 0}, // equal quantities: no tie-break
      {0, &lc, &la, -1},   {0, &gone, &la, 1},  {4, &la, &lb, 0},
      {4, &lc, &la, -1},   {4, &gone, &lc, -1}, // no card: price 0
      {3, &lb, &la, -1},                        // name key: HRABE before HREBIK
      {3, &gone, &lc, -1},                      // no card: empty text first
      {2, &la, &lb, -1},   {1, &lb, &la, 1},
  };
  for (const TCase& t : cases) {
    SCOPED_TRACE(testing::Message() << t.ID << " " << t.First->Code << " " << t.Second->Code);
    TColumnList columns;
    columns.Columns = {DefaultColumn(t.ID)};
    EXPECT_EQ(CompareOrderLines(*t.First, *t.Second, columns, env), t.Expected);
    EXPECT_EQ(CompareOrderLines(*t.Second, *t.First, columns, env), -t.Expected);
  }
  TColumnList outside;
  outside.Columns = {DefaultColumn(4)};
  outside.SortColumn = 3; // no such column: all lines equal
  EXPECT_EQ(CompareOrderLines(la, lc, outside, env), 0);
}

} // namespace

namespace {

// The sort key orders every text as the comparison does: random texts over every byte, with
// the letters, digits, signs, "ch" and hyphens made frequent.
TEST(LocaleTextTest, SortKeysAgreeWithTheComparison) {
  const std::string frequent = Cz("aAáÁcCčČhHrRřŘsSšŠzZžŽeéě09 -'.") + std::string("\x00\xff", 2);
  unsigned x = 2024;
  auto next = [&x] { return x = x * 1103515245u + 12345u, x >> 8; };
  std::vector<std::string> texts;
  for (int i = 0; i < 400; ++i) {
    std::string text;
    for (unsigned n = next() % 6; n > 0; --n)
      text += next() % 4 ? frequent[next() % frequent.size()] : static_cast<char>(next() % 256);
    texts.push_back(text);
  }
  std::vector<std::string> keys, primaries;
  for (const std::string& text : texts) {
    keys.emplace_back();
    AppendLocaleSortKey(TJoinedText{0, text, {}}, keys.back());
    primaries.emplace_back();
    AppendLocalePrimaryKey(TJoinedText{0, text, {}}, primaries.back());
  }
  for (size_t i = 0; i < texts.size(); ++i)
    for (size_t j = 0; j < texts.size(); ++j) {
      const int byKey = keys[i].compare(keys[j]);
      const int direct = CompareLocaleText(texts[i], texts[j]);
      // The first level alone decides when it differs, and never contradicts the full key.
      if (const int byPrimary = primaries[i].compare(primaries[j])) {
        ASSERT_EQ(byPrimary < 0 ? -1 : 1, direct) << i << " " << j;
      }
      if (byKey != 0)
        ASSERT_EQ(byKey < 0 ? -1 : 1, direct) << i << " " << j;
      else
        ASSERT_EQ(direct, texts[i] == texts[j] ? 0 : (texts[i] < texts[j] ? -1 : 1)) << i << " " << j; // the bytes
    }
}

} // namespace
