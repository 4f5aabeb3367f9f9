#include "ui/ColumnLayouts.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>

#include "core/AppSettings.h"
#include "core/SettingsStore.h"
#include "core/TestAppContext.h"
#include "formats/Cp1250Utf8.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

std::vector<int> IDs(const TColumnList& list) {
  std::vector<int> ids;
  for (const TdgColumn& column : list.Columns)
    ids.push_back(column.ID);
  return ids;
}

std::vector<int> DefaultIDs(const TContentModes& modes = {}) {
  TColumnList list;
  BuildDefaultLayout(list, modes);
  return IDs(list);
}

class ColumnLayoutsTest : public ::testing::Test {
protected:
  ColumnLayoutsTest() : Env(TestSettingsEnvironment(Dir)) {
    Stored({{"Others", "CopyIni", "1"}}); // not the first start
  }
  TSettingsStore OpenStore() const { return TestSettingsStore(Dir); }
  void Stored(const std::vector<std::array<std::string, 3>>& values) const {
    TSettingsStore store = OpenStore();
    for (const auto& [section, key, value] : values)
      store.WriteString(section, key, value);
    store.Save();
  }
  // The settings load of a start, with the column model behind the seam.
  TAppSettings Load(TColumnLayouts& layouts, bool noPackagesSwitch = false) const {
    TSettingsStore store = OpenStore();
    TAppSettings settings;
    TLoadSettingsOptions options;
    options.Layouts = &layouts;
    options.NoPackagesSwitch = noPackagesSwitch;
    layouts.Switches = [noPackagesSwitch] { return TContentModes{noPackagesSwitch, false}; };
    LoadSettings(settings, store, Env, options);
    return settings;
  }
  void Save(const TAppSettings& settings, const TColumnLayouts& layouts) const {
    TSettingsStore store = OpenStore();
    ASSERT_TRUE(SaveSettings(settings, store, &layouts));
  }

  TempDir Dir;
  TSettingsEnvironment Env;
};

TEST_F(ColumnLayoutsTest, NoStoredLayoutGivesTheDefaultInBothGrids) {
  TColumnLayouts layouts;
  int applied = 0;
  layouts.ApplyLayouts = [&] { ++applied; };
  Load(layouts);
  EXPECT_EQ(IDs(layouts.PriceListColumns), DefaultIDs());
  EXPECT_EQ(IDs(layouts.OrderColumns), DefaultIDs());
  EXPECT_EQ(layouts.PriceListColumns.SortColumn, 0);
  EXPECT_EQ(applied, 1);
}

TEST_F(ColumnLayoutsTest, ModesFromTheSwitchOrTheSetting) {
  TColumnLayouts layouts;
  Load(layouts, /*noPackagesSwitch=*/true);
  EXPECT_EQ(layouts.PriceListColumns.Count(), 40);
  EXPECT_EQ(IDs(layouts.OrderColumns), DefaultIDs({true, false}));

  Stored({{"Others", "NoStock", "1"}});
  Load(layouts);
  EXPECT_EQ(layouts.PriceListColumns.Count(), 41);
  EXPECT_EQ(IDs(layouts.PriceListColumns), DefaultIDs({false, true}));
  EXPECT_TRUE(layouts.Modes().NoStock);
  EXPECT_FALSE(layouts.Modes().NoPackages);
}

TEST_F(ColumnLayoutsTest, StoredEntriesLoadInNumberOrderAcrossGaps) {
  Stored({{"PriceListColumns", "ID0", "0"},
          {"PriceListColumns", "ID5", "5"},
          {"PriceListColumns", "Header5", Cz("Cena s daní")},
          {"PriceListColumns", "Alignment5", "2"},
          {"PriceListColumns", "Width5", "150"},
          {"PriceListColumns", "ID9", "7"},
          {"OrderColumns", "ID0", "2"},
          {"OrderColumns", "ID1", "3"},
          {"OrderColumns", "ID99", "4"}});
  TColumnLayouts layouts;
  Load(layouts);
  EXPECT_EQ(IDs(layouts.PriceListColumns), (std::vector<int>{0, 5, 7}));
  EXPECT_EQ(layouts.PriceListColumns.Columns[1], (TdgColumn{Cz("Cena s daní"), caCenter, 150, 5}));
  EXPECT_EQ(layouts.PriceListColumns.Columns[2], DefaultColumn(7)); // missing values: the table's
  EXPECT_EQ(layouts.PriceListColumns.SortColumn, 0);                // no "Název" column
  EXPECT_EQ(IDs(layouts.OrderColumns), (std::vector<int>{2, 3, 4}));
  EXPECT_EQ(layouts.OrderColumns.SortColumn, 1); // "Název" is the second column
}

TEST_F(ColumnLayoutsTest, BrokenEntriesAreSkippedOrRepaired) {
  Stored({{"PriceListColumns", "ID0", "4"},
          {"PriceListColumns", "Width0", "-5"}, // not a width
          {"PriceListColumns", "Alignment0", "7"},
          {"PriceListColumns", "ID1", "45"}, // no such content
          {"PriceListColumns", "ID2", "abc"},
          {"PriceListColumns", "ID3", "3"},
          {"PriceListColumns", "Width3", "wide"},
          {"PriceListColumns", "ID4", "3"}, // a content may be shown twice
          {"PriceListColumns", "Width4", "2000000"},
          {"PriceListColumns", "ID5", "6"},
          {"PriceListColumns", "SortBy", "x"},
          {"OrderColumns", "ID0", "-1"}, // a blank column is not stored as a column
          {"OrderColumns", "ID1", "42"},
          {"OrderColumns", "SortBy", "7"}});
  TColumnLayouts layouts;
  Load(layouts, /*noPackagesSwitch=*/true); // 6 is excluded
  EXPECT_EQ(IDs(layouts.PriceListColumns), (std::vector<int>{4, 3, 3}));
  EXPECT_EQ(layouts.PriceListColumns.Columns[0], DefaultColumn(4));
  EXPECT_EQ(layouts.PriceListColumns.Columns[1].Width, 153);
  EXPECT_EQ(layouts.PriceListColumns.Columns[2].Width, 153);
  EXPECT_EQ(layouts.PriceListColumns.SortColumn, 2); // the last "Název"
  // Nothing usable: the default layout; the stored sort position stays.
  EXPECT_EQ(IDs(layouts.OrderColumns), DefaultIDs({true, false}));
  EXPECT_EQ(layouts.OrderColumns.SortColumn, 7);
}

TEST_F(ColumnLayoutsTest, SaveAndLoadAgainGivesTheSameLayouts) {
  TColumnLayouts layouts;
  TAppSettings settings = Load(layouts);
  TColumnList& prices = layouts.PriceListColumns;
  prices.Columns.resize(3);
  prices.Columns.push_back(TdgColumn{}); // a blank column
  prices.Columns[1].Header = Cz("Počet ks");
  prices.Columns[1].Alignment = caCenter;
  prices.SortColumn = 2;
  layouts.OrderColumns.Columns.resize(5);
  layouts.GridWidth = [](TGridKind grid, int position) { return grid == TGridKind::PriceList ? 100 + position : 70; };
  Save(settings, layouts);

  TSettingsStore store = OpenStore();
  EXPECT_EQ(store.ReadString("PriceListColumns", "ID3"), "-1");
  EXPECT_EQ(store.ReadString("PriceListColumns", "Width2"), "102"); // the grid's width
  EXPECT_FALSE(store.ValueExists("PriceListColumns", "ID4"));       // the longer layout is gone

  TColumnLayouts loaded;
  Load(loaded);
  std::vector<TdgColumn> expected(prices.Columns.begin(), prices.Columns.begin() + 3);
  for (int i = 0; i < 3; ++i)
    expected[static_cast<size_t>(i)].Width = 100 + i;
  EXPECT_EQ(loaded.PriceListColumns.Columns, expected);
  EXPECT_EQ(loaded.PriceListColumns.SortColumn, 2);
  EXPECT_EQ(IDs(loaded.OrderColumns), (std::vector<int>{3, 6, 1, 0, 10}));
  EXPECT_EQ(loaded.OrderColumns.Columns[0].Width, 70);
}

TEST_F(ColumnLayoutsTest, PresetEntriesBeyondTheSavedLayoutStayAway) {
  // An administrator's preset layout of three columns; the user keeps one.
  {
    TSettingsStore presets("objednavky", Dir.File("presets"), Dir.File("none"));
    presets.Load();
    for (int n = 0; n < 3; ++n)
      presets.WriteInteger("OrderColumns", "ID" + std::to_string(n), 10 + n);
    presets.Save();
  }
  TColumnLayouts layouts;
  TAppSettings settings = Load(layouts);
  EXPECT_EQ(IDs(layouts.OrderColumns), (std::vector<int>{10, 11, 12}));
  layouts.OrderColumns.Columns.resize(1);
  Save(settings, layouts);
  Load(layouts);
  EXPECT_EQ(IDs(layouts.OrderColumns), (std::vector<int>{10}));
}

TEST_F(ColumnLayoutsTest, FindMarksDefaultToTheTable) {
  Stored({{"Find", "ID2", "0"}, {"Find", "ID4", "1"}});
  TColumnLayouts layouts;
  TAppSettings settings = Load(layouts);
  for (int id = 0; id < kContentCount; ++id) {
    SCOPED_TRACE(id);
    const bool builtIn = id == 3 || id == 12 || id == 13 || id == 14 || id == 15 || id == 24 || id == 34;
    EXPECT_EQ(layouts.BuiltInSearched(id), builtIn || id == 2);
    EXPECT_EQ(settings.Find[static_cast<size_t>(id)], builtIn || id == 4);
  }
  EXPECT_FALSE(layouts.BuiltInSearched(-1));
  EXPECT_FALSE(layouts.BuiltInSearched(kContentCount));

  settings.Find[4] = false;
  Save(settings, layouts);
  EXPECT_EQ(OpenStore().ReadString("Find", "ID4"), "0");
}

} // namespace

namespace {

// The program's context owns both column lists, hands them this run's switches and reaches
// them in its settings load and save.
TEST(ColumnLayoutsContextTest, ContextLoadsAndSavesItsOwnLayouts) {
  TempDir dir;
  TAppContextSetup setup = TestAppContextSetup(dir, {"/BEZBALENI"});
  StoreTestSetting(dir, "Others", "CopyIni", "1");
  StoreTestSetting(dir, "OrderColumns", "ID0", "1"); // excluded by the switch
  StoreTestSetting(dir, "OrderColumns", "ID1", "4");
  AppContext context(setup);
  context.Open();
  TColumnLayouts& layouts = context.Columns();
  EXPECT_EQ(context.Layouts(), &layouts);
  EXPECT_EQ(layouts.PriceListColumns.Count(), 40);
  EXPECT_EQ(IDs(layouts.OrderColumns), (std::vector<int>{4}));
  EXPECT_TRUE(context.Settings.Find[3]);

  layouts.OrderColumns.Columns.push_back(DefaultColumn(3));
  context.SaveAppSettings();
  const TSettingsStore store = TestSettingsStore(dir);
  EXPECT_EQ(store.ReadString("OrderColumns", "ID1"), "3");
  EXPECT_EQ(store.ReadString("PriceListColumns", "ID0"), "3");
}

} // namespace
