#include <gtest/gtest.h>

#include <algorithm>

#include "catalogue/PriceList.h"
#include "formats/CodePages.h"
#include "formats/Cp1250Utf8.h"

namespace {

struct CardSpec {
  const char* Kod;
  const char* Nazev; // UTF-8
  const char* EAN = "";
  const char* Note = ""; // UTF-8
  double Cena = 0;
};

void Fill(TPriceList& list, const std::vector<CardSpec>& cards) {
  for (const CardSpec& s : cards) {
    auto card = std::make_unique<TPriceListItem>();
    card->Kod = Cz(s.Kod);
    card->Nazev = Cz(s.Nazev);
    card->SearchName = MakeSearchName(card->Nazev);
    card->EAN = s.EAN;
    card->POZNAMKA = Cz(s.Note);
    card->Cena = s.Cena;
    list.Add(std::move(card));
  }
}

TFilterOptions CodeMode() {
  TFilterOptions options;
  options.Mode = 2;
  return options;
}

std::string Shown(const TPriceList& list) {
  std::string codes;
  for (int row = 0; row < list.VisibleCount(); ++row)
    codes += (codes.empty() ? "" : " ") + list.Items(list.VisibleIndexToIndex(row)).Kod;
  return codes;
}

class PriceListFilterTest : public ::testing::Test {
protected:
  PriceListFilterTest() {
    Fill(List, {{"1200", "Zelený čaj sypaný", "8590000000017"},
                {"1201", "Černý čaj", "8590000000024", "čaj zelený v akci"},
                {"4500", "Káva zrnková", "1200"},
                {"A1200B", "Cukr"},
                {"9", "Med", "", "ZELENY CAJ"}});
  }
  TFilterResult Search(const char* utf8, int mode, TFilterOptions options = {}) {
    options.Mode = mode;
    return List.Filter(AnsiUpperCase(Cz(utf8)), options);
  }
  TPriceList List;
};

struct ModeCase {
  const char* Label;
  const char* Text;
  int Mode;
  const char* Shown; // "" when nothing matched
  bool Exact;
  int Row;
};

class FilterModeTest : public PriceListFilterTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(FilterModeTest, ShowsTheMatchingCards) {
  const ModeCase& c = GetParam();
  const TFilterResult r = Search(c.Text, c.Mode);
  EXPECT_EQ(r.Matched, *c.Shown != 0);
  EXPECT_EQ(r.ExactHit, c.Exact);
  EXPECT_EQ(r.Row, c.Row);
  if (r.Matched) {
    EXPECT_EQ(Shown(List), c.Shown);
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, FilterModeTest,
                         ::testing::Values(
                             // Name: words in any order, diacritics ignored against the name key.
                             ModeCase{"NameWordsAnyOrder", "čaj zelený", 1, "1200", false, 1},
                             // Mode 0 also looks into the note, which keeps its diacritics: "CAJ" is not in "ČAJ",
                             // while the note of card 9 is written without them.
                             ModeCase{"MarkedContentsNoteKeepsMarks", "čaj zelený", 0, "1200 9", false, 1},
                             ModeCase{"PartOfCodeMatchesEveryCodeHoldingIt", "1200", 2, "1200 A1200B", true, 1},
                             ModeCase{"FullCodeIsAnExactHitWithItsRow", "4500", 0, "4500", true, 1},
                             ModeCase{"ExactRowCountsTheMatchesBefore", "1200", 0, "1200 4500 A1200B", true, 1},
                             ModeCase{"ExactCodeRowLaterInTheList", "1201", 0, "1201", true, 1},
                             ModeCase{"EanWhole", "8590000000024", 3, "1201", true, 1},
                             ModeCase{"EanPart", "859000", 3, "1200 1201", false, 1},
                             ModeCase{"EanModeIgnoresNames", "CUKR", 3, "", false, 1},
                             ModeCase{"CodeModeIgnoresNames", "CUKR", 2, "", false, 1},
                             ModeCase{"EveryContentFindsThePrice", "KÁVA", 4, "4500", false, 1},
                             ModeCase{"NothingFound", "xyz", 0, "", false, 1},
                             ModeCase{"BlankTextMatchesAll", "  ", 1, "1200 1201 4500 A1200B 9", false, 1}),
                         [](const auto& param) { return param.param.Label; });

TEST_F(PriceListFilterTest, ExactHitRowIsTheRowAmongTheMatches) {
  // "A1200B" holds "1200" too, so both match; the exact card is the first of them.
  TFilterResult r = Search("1200", 2);
  EXPECT_TRUE(r.ExactHit);
  EXPECT_EQ(r.Row, 1);
  // The whole code of the last card: the only match, row 1.
  r = Search("A1200B", 0);
  EXPECT_TRUE(r.ExactHit);
  EXPECT_EQ(r.Row, 1);
  // "1200" as an EAN of card 4500 and as a code: the code hit comes first and keeps its row.
  r = Search("1200", 3);
  EXPECT_TRUE(r.ExactHit);
  EXPECT_EQ(Shown(List), "4500");
}

TEST_F(PriceListFilterTest, ExactHitInTheMiddleGivesItsRow) {
  TPriceList list;
  Fill(list, {{"X10", "a"}, {"X1", "b"}, {"X12", "c"}});
  const TFilterResult r = list.Filter("X1", {});
  EXPECT_TRUE(r.ExactHit);
  EXPECT_EQ(r.Row, 2);
  EXPECT_EQ(Shown(list), "X10 X1 X12");
}

TEST_F(PriceListFilterTest, CodeListModeMatchesCodePrefixes) {
  TFilterOptions options;
  options.CodeListMode = true;
  EXPECT_TRUE(List.Filter("12\t45\t \t", options).Matched);
  EXPECT_EQ(Shown(List), "1200 1201 4500");
  // The pieces are used as they stand: with a blank inside nothing starts that way.
  EXPECT_FALSE(List.Filter(" 12", options).Matched);
  // In word mode the same text searches the contents.
  EXPECT_TRUE(List.Filter("12", {}).Matched);
  EXPECT_EQ(Shown(List), "1200 1201 4500 A1200B");
}

TEST_F(PriceListFilterTest, NothingFoundClearsEveryCardButKeepsTheFlags) {
  Search("CUKR", 1);
  ASSERT_TRUE(List.Filtered);
  const TFilterResult r = Search("xyz", 1);
  EXPECT_FALSE(r.Matched);
  EXPECT_EQ(r.Row, 1);
  EXPECT_TRUE(List.Filtered);
  EXPECT_EQ(List.VisibleCount(), 0);
  EXPECT_EQ(List.VisibleIndexToIndex(0), -1);

  List.ClearFilter();
  EXPECT_FALSE(List.Filtered);
  EXPECT_EQ(List.VisibleCount(), 5);
  EXPECT_EQ(List.VisibleIndexToIndex(4), 4);
  EXPECT_EQ(List.VisibleIndexToIndex(5), -1);
  EXPECT_EQ(List.VisibleIndexToIndex(-1), -1);
}

TEST_F(PriceListFilterTest, SubsetIsStoredAndRestrictsLaterSearches) {
  TFilterOptions store;
  store.StoreSubset = true;
  ASSERT_TRUE(Search("čaj", 1, store).Matched);
  EXPECT_TRUE(List.SubsetActive);
  EXPECT_EQ(Shown(List), "1200 1201");

  TFilterOptions restrict;
  restrict.RestrictToSubset = true;
  restrict.Mode = 2;
  ASSERT_TRUE(List.Filter("1", restrict).Matched);
  EXPECT_EQ(Shown(List), "1200 1201");
  // Without the restriction the same search finds every code with a 1.
  ASSERT_TRUE(List.Filter("1", CodeMode()).Matched);
  EXPECT_EQ(Shown(List), "1200 1201 A1200B");
  // A failed subset search keeps the previous subset in force.
  EXPECT_FALSE(List.Filter("XYZ", store).Matched);
  EXPECT_TRUE(List.SubsetActive);

  List.ClearFilter();
  EXPECT_FALSE(List.SubsetActive);
}

TEST_F(PriceListFilterTest, EvaluatorDecidesInsteadOfTheText) {
  TFilterOptions options;
  int calls = 0;
  options.Evaluator = [this, &calls](const TPriceListItem& card, int index) {
    EXPECT_EQ(&List.Items(index), &card); // the card evaluator reads the card by its index
    ++calls;
    return card.Kod.size() == 4;
  };
  ASSERT_TRUE(List.Filter("ignored", options).Matched);
  EXPECT_EQ(calls, 5);
  EXPECT_EQ(Shown(List), "1200 1201 4500");
}

TEST_F(PriceListFilterTest, MarkedContentsComeFromTheSettings) {
  List.SearchedContents = {};
  List.SearchedContents[24] = true; // the note only
  ASSERT_TRUE(Search("akci", 0).Matched);
  EXPECT_EQ(Shown(List), "1201");
  EXPECT_FALSE(Search("cukr", 0).Matched);
}

TEST_F(PriceListFilterTest, AmountsAreSearchedAsTheGridShowsThem) {
  // The price of "4500" is 4500 (Fill below); in euros at 25 the grid shows " 180,00".
  List.Items(2).Cena = 4500;
  const Locale czech = Locale::Czech();
  TCellEnvironment env;
  env.Conventions = &czech;
  List.SetColumnModel(nullptr, &env);
  ASSERT_TRUE(Search("4500,00", 4).Matched);
  EXPECT_EQ(Shown(List), "4500");
  env.ForeignCurrency = true;
  env.ExRate = 25;
  List.InvalidateSearchIndex();
  EXPECT_FALSE(Search("4500,00", 4).Matched);
  ASSERT_TRUE(Search(" 180,00", 4).Matched);
  EXPECT_EQ(Shown(List), "4500");
  List.SetColumnModel(nullptr, nullptr);
}

TEST(PriceListLookupTest, LookupsTakeTheFirstCardInListOrder) {
  TPriceList list;
  Fill(list, {{"A", "first", "111"}, {"B", "b", "222"}, {"A", "second", "111"}, {"ABC", "c"}});
  EXPECT_EQ(list.IndexOfCode("A"), 0);
  EXPECT_EQ(list.IndexOfCode("a"), -1);
  EXPECT_EQ(list.IndexOfCode("AB"), -1);
  EXPECT_EQ(list.CodeByEAN("111"), "A");
  EXPECT_EQ(list.CodeByEAN("222"), "B");
  try {
    list.CodeByEAN("333");
    FAIL() << "no error";
  } catch (const ENotFound& e) {
    EXPECT_EQ(std::string(e.what()), Cz("Kód EAN 333  nebyl v ceníku nalezen."));
  }
  EXPECT_TRUE(list.HasCodePrefix("AB"));
  EXPECT_TRUE(list.HasCodePrefix(""));
  EXPECT_FALSE(list.HasCodePrefix("ABCD"));
  EXPECT_FALSE(list.HasCodePrefix("b"));
}

// --- Sort -----------------------------------------------------------------------------

std::string Codes(const TPriceList& list) {
  std::string codes;
  for (int i = 0; i < list.Count(); ++i)
    codes += (i ? " " : "") + list.Items(i).Kod;
  return codes;
}

// A grid layout with the name at 0 and the price at 1, sorted by the column at position.
TColumnList Layout(int position) {
  TColumnList columns;
  columns.Columns = {DefaultColumn(3), DefaultColumn(4), DefaultColumn(2)};
  columns.SortColumn = position;
  return columns;
}

TEST(PriceListSortTest, ByNameUsesTheNameKeyThenTheName) {
  TPriceList list;
  Fill(list, {{"1", "Žebřík"},
              {"2", "čaj"},
              {"3", "Cukr"},
              {"4", "Čaj"},
              {"5", "chléb"},
              {"6", "Hrách"},
              {"7", "ÁBC"},
              {"8", "abc"}});
  list.Sort(Layout(0), {});
  // Name key: ABC ABC CAJ CAJ CHLEB CUKR HRACH ZEBRIK; the key compares by the Czech
  // order, so CHLEB comes after HRACH; equal keys fall back to the name (lower case first,
  // the plain letter before the one with marks).
  EXPECT_EQ(Codes(list), "8 7 2 4 3 6 5 1");
  EXPECT_EQ(list.SortColumn, 0);
}

TEST(PriceListSortTest, ByPriceTiesGoByName) {
  TPriceList list;
  Fill(list, {{"1", "b", "", "", 10}, {"2", "a", "", "", 10}, {"3", "c", "", "", 2.5}, {"4", "d", "", "", -1}});
  list.SortByContent(4);
  EXPECT_EQ(Codes(list), "4 3 2 1");
  EXPECT_EQ(list.SortColumn, 0); // the convenience sort leaves the grid's position alone
  std::reverse(list.Items(0).Kod.begin(), list.Items(0).Kod.end());
  list.Sort(Layout(1), {});
  EXPECT_EQ(Codes(list), "4 3 2 1");
  EXPECT_EQ(list.SortColumn, 1);
}

TEST(PriceListSortTest, ByCodeInCzechOrder) {
  TPriceList list;
  Fill(list, {{"Č1", "x"}, {"D1", "x"}, {"C2", "x"}, {"CH1", "x"}, {"H9", "x"}, {"10", "x"}, {"9", "x"}});
  list.SortByContent(2);
  EXPECT_EQ(Codes(list), Cz("10 9 C2 Č1 D1 H9 CH1"));
  TColumnList rightAligned = Layout(2);
  rightAligned.Columns[2].Alignment = caRight; // codes then sort as numbers
  list.Sort(rightAligned, {});
  EXPECT_EQ(Codes(list), Cz("9 10 C2 Č1 D1 H9 CH1"));
}

TEST(PriceListSortTest, CardsKeepTheirAddressAndTheFilterFollowsThem) {
  TPriceList list;
  Fill(list, {{"1", "c"}, {"2", "b"}, {"3", "a"}});
  const TPriceListItem* first = &list.Items(0);
  ASSERT_TRUE(list.Filter("1", CodeMode()).Matched);
  list.Sort(Layout(0), {});
  EXPECT_EQ(&list.Items(2), first);
  EXPECT_EQ(list.VisibleCount(), 1);
  EXPECT_EQ(list.VisibleIndexToIndex(0), 2);
  // The search copies moved with the cards.
  ASSERT_TRUE(list.Filter("3", CodeMode()).Matched);
  EXPECT_EQ(list.VisibleIndexToIndex(0), 0);
}

} // namespace
