#include "ui/ColumnInfos.h"

#include <gtest/gtest.h>

#include <set>

#include "formats/Cp1250Utf8.h"
#include "ui/Columns.h"

namespace {

struct TExpectedRow {
  const char* Caption; // UTF-8
  int Alignment, Width, Kind;
  bool Exported, Searched;
  int OrderPrintPos, PriceListPrintPos;
};

// The table as the grids, printouts, export and search expect it, one row per content ID.
const TExpectedRow kExpected[kContentCount] = {
    {"Objednáno", 1, 64, 1, true, false, 6, 5},
    {"Obj.balení", 1, 64, 1, true, false, 5, -1},
    {"Kód", 0, 81, 0, true, true, 1, 1},
    {"Název", 0, 153, 0, true, true, 2, 2},
    {"Cena", 1, 56, 2, true, false, -1, -1},
    {"Cena+DPH", 1, 66, 2, true, false, 7, 6},
    {"Balení", 1, 40, 1, true, false, 3, 3},
    {"Ve vrstvě", 1, 64, 1, false, false, -1, -1},
    {"Na paletě", 1, 59, 1, false, false, -1, -1},
    {"%DPH", 1, 41, 1, true, false, -1, -1},
    {"MJ", 0, 26, 0, true, false, 4, 4},
    {"Typ karty", 0, 64, 1, false, false, -1, -1},
    {"EAN", 0, 96, 0, true, true, -1, -1},
    {"Skupina1", 0, 64, 0, true, true, -1, -1},
    {"Skupina2", 0, 64, 0, true, true, -1, -1},
    {"Skupina3", 0, 64, 0, true, true, -1, -1},
    {"Hmotnost", 1, 64, 1, false, false, -1, -1},
    {"Záruka", 1, 64, 1, false, false, -1, -1},
    {"Kód-láhev", 0, 64, 0, false, false, -1, -1},
    {"Cena-láhev", 1, 68, 2, true, false, -1, -1},
    {"Kód-přepravka", 0, 89, 0, false, false, -1, -1},
    {"Cena-přepr.", 1, 68, 2, true, false, -1, -1},
    {"Datum změny", 0, 83, 0, false, false, -1, -1},
    {"Zásoba", 1, 54, 1, false, false, -1, -1},
    {"Poznámka", 0, 138, 0, false, true, -1, -1},
    {"Číslo shoda", 0, 86, 0, true, false, -1, -1},
    {"Popis skup. 1", 0, 100, 0, false, false, -1, -1},
    {"Popis skup. 2", 0, 100, 0, false, false, -1, -1},
    {"Popis skup. 3", 0, 100, 0, false, false, -1, -1},
    {"Cena/bal.", 1, 68, 2, false, false, -1, -1},
    {"Skl.MJ", 0, 32, 0, false, false, -1, -1},
    {"Nák.cena", 1, 56, 1, false, false, -1, -1},
    {"Obrázek", 0, 100, 0, false, false, -1, -1},
    {"Dostupnost", 0, 64, 0, false, false, -1, -1},
    {"Klíč.slova", 0, 100, 0, false, true, -1, -1},
    {"Dodavatel", 0, 64, 0, false, false, -1, -1},
    {"Výrobce", 0, 64, 0, false, false, -1, -1},
    {"NSkupina2", 0, 64, 0, false, false, -1, -1},
    {"Příznaky", 1, 64, 1, false, false, -1, -1},
    {"Obj.počet", 1, 40, 1, false, false, -1, -1},
    {"Dopor.cena", 1, 56, 2, false, false, -1, -1},
    {"Dop.cena+DPH", 1, 66, 2, false, false, -1, -1},
};

TEST(ColumnInfosTest, EveryRowOfTheTable) {
  for (int id = 0; id < kContentCount; ++id) {
    SCOPED_TRACE(id);
    const TColumnInfo& info = ColumnInfos()[static_cast<size_t>(id)];
    const TExpectedRow& row = kExpected[id];
    EXPECT_EQ(Cp1250ToUtf8(info.Caption), row.Caption);
    EXPECT_EQ(info.Alignment, row.Alignment);
    EXPECT_EQ(info.Width, row.Width);
    EXPECT_EQ(info.ValueKind, row.Kind);
    EXPECT_EQ(info.Exported, row.Exported);
    EXPECT_EQ(info.Searched, row.Searched);
    EXPECT_EQ(info.OrderPrintPos, row.OrderPrintPos);
    EXPECT_EQ(info.PriceListPrintPos, row.PriceListPrintPos);
  }
}

TEST(ColumnInfosTest, DefaultOrderHoldsEveryContentOnce) {
  const std::vector<int> head = {3,  6,  1,  0,  10, 4, 5,  9,  23, 8,  2,  12, 19, 21, 13,
                                 26, 14, 27, 15, 28, 7, 11, 16, 17, 18, 20, 22, 24, 25};
  std::vector<int> expected = head;
  for (int id = 29; id <= 41; ++id)
    expected.push_back(id);
  EXPECT_EQ(std::vector<int>(DefaultColumnOrder.begin(), DefaultColumnOrder.end()), expected);
}

struct TExclusionCase {
  const char* Name;
  TContentModes Modes;
  std::set<int> Excluded;
};

class ExclusionTest : public ::testing::TestWithParam<TExclusionCase> {};

TEST_P(ExclusionTest, ExcludedContentsAndTheDefaultLayout) {
  const TExclusionCase& c = GetParam();
  for (int id = -1; id <= kContentCount; ++id)
    EXPECT_EQ(IsContentExcluded(id, c.Modes), c.Excluded.count(id) == 1) << id;

  TColumnList list;
  list.SortColumn = 5;
  list.Columns.push_back(TdgColumn{"old", caCenter, 10, 7});
  BuildDefaultLayout(list, c.Modes);
  ASSERT_EQ(list.Count(), kContentCount - static_cast<int>(c.Excluded.size()));
  EXPECT_EQ(list.SortColumn, 5); // the caller decides about the sort position
  size_t next = 0;
  for (int id : DefaultColumnOrder) {
    if (c.Excluded.count(id))
      continue;
    const TdgColumn& column = list.Columns[next++];
    const TColumnInfo& info = ColumnInfos()[static_cast<size_t>(id)];
    EXPECT_EQ(column, (TdgColumn{info.Caption, info.Alignment, info.Width, id}));
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, ExclusionTest,
                         ::testing::Values(TExclusionCase{"None", {false, false}, {}},
                                           TExclusionCase{"NoPackages", {true, false}, {1, 6}},
                                           TExclusionCase{"NoStock", {false, true}, {23}},
                                           TExclusionCase{"Both", {true, true}, {1, 6, 23}}),
                         [](const auto& p) { return std::string(p.param.Name); });

} // namespace
