#include "core/AppContext.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "catalogue/KartyFixture.h"
#include "core/Errors.h"
#include "core/Log.h"
#include "core/TestAppContext.h"
#include "formats/Cp1250Utf8.h"
#include "orders/Order.h"
#include "support/TestSupport.h"
#include "ui/ColumnLayouts.h"

namespace fs = std::filesystem;

namespace {

TDateTime At(int year, int month, int day, int hour, int minute, int second) {
  TDateTime time = 0;
  EXPECT_TRUE(TryEncodeTime(hour, minute, second, 0, time));
  return EncodeDate(year, month, day) + time;
}

// A machine of its own (see TestAppContextSetup) and a log of the context's own with a fixed
// clock.
class AppContextTest : public ::testing::Test {
protected:
  AppContextTest() {
    Log.SetClock([] { return At(2024, 3, 5, 9, 7, 3); });
  }

  TAppContextSetup Setup(std::vector<std::string> params = {}) {
    TAppContextSetup setup = TestAppContextSetup(Dir, std::move(params));
    setup.Log = &Log;
    return setup;
  }

  std::string ProgramFile() const { return Dir.File("program/objednavky"); }
  // Where the settings put the log by default: the data folder.
  std::string LogFile() const { return Dir.File("appdata/objednavky/objednavky.LOG"); }
  std::string LogText() const { return fs::exists(LogFile()) ? ReadFileBytes(LogFile()) : std::string(); }

  TSettingsStore Store() const { return TestSettingsStore(Dir); }
  void Stored(const std::string& section, const std::string& key, const std::string& value) const {
    StoreTestSetting(Dir, section, key, value);
  }

  TempDir Dir;
  TLog Log;
};

TEST_F(AppContextTest, StartAndEndLinesNameTheProgramAndEachParameterAfterOneSpace) {
  struct Case {
    std::vector<std::string> Params;
    std::string Shown;
  };
  const Case cases[] = {
      {{}, ""},
      {{"/BEZZASOB"}, " /BEZZASOB"},
      {{"objedn\xE1vka 1.obx", "", "/x"}, " objedn\xE1vka 1.obx  /x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Shown);
    fs::remove(LogFile());
    {
      AppContext app(Setup(c.Params));
      app.Open();
      EXPECT_EQ(Log.FileName(), LogFile());
      EXPECT_EQ(LogText(), "05.03.2024 09:07:03 : Start programu " + ProgramFile() + ", parametry:" + c.Shown + "\r\n");
    }
    EXPECT_EQ(LogText(), "05.03.2024 09:07:03 : Start programu " + ProgramFile() + ", parametry:" + c.Shown +
                             "\r\n05.03.2024 09:07:03 : " + Cz("Konec práce s programem ") + ProgramFile() + "\r\n");
  }
}

// Records the seams in the order the context reaches them, with what the log held then.
class RecordingLayouts : public IColumnLayoutStore {
public:
  explicit RecordingLayouts(std::vector<std::string>& events, bool fail = false) : FEvents(events), FFail(fail) {}
  void LoadColumnLayouts(const TSettingsStore&) override {
    FEvents.push_back("layouts loaded");
    if (FFail)
      throw Exception(Cz("Rozvržení sloupců nelze načíst"));
  }

private:
  std::vector<std::string>& FEvents;
  bool FFail;
};

TEST_F(AppContextTest, SettingsLoadThenHandlerThenStartLineAndAtTheEndTheEndLineThenHandlerRemoved) {
  std::vector<std::string> events;
  RecordingLayouts layouts(events);
  TAppContextSetup setup = Setup();
  setup.Layouts = &layouts;
  auto logLines = [&] {
    const std::string text = LogText();
    return std::to_string(std::count(text.begin(), text.end(), '\n')) + " lines";
  };
  TAppContextHooks hooks;
  hooks.InstallErrorHandler = [&] { events.push_back("handler installed, " + logLines()); };
  hooks.RemoveErrorHandler = [&] { events.push_back("handler removed, " + logLines()); };
  {
    AppContext app(setup, hooks);
    events.push_back("created, " + logLines());
    app.Open();
    events.push_back("opened, " + logLines());
  }
  EXPECT_EQ(events, (std::vector<std::string>{"created, 0 lines", "layouts loaded", "handler installed, 0 lines",
                                              "opened, 1 lines", "handler removed, 2 lines"}));
}

TEST_F(AppContextTest, AFailedLoadStillInstallsTheHandlerAndWritesTheStartLineThenPropagates) {
  std::vector<std::string> events;
  RecordingLayouts layouts(events, /*fail=*/true);
  TAppContextSetup setup = Setup({"/bezbaleni"});
  setup.Layouts = &layouts;
  TAppContextHooks hooks;
  hooks.InstallErrorHandler = [&] { events.push_back("handler installed"); };
  {
    AppContext app(setup, hooks);
    // The log file as the settings held it when the load stopped.
    app.Settings.LOGfile = LogFile();
    fs::create_directories(Dir.Path() / "appdata/objednavky");
    try {
      app.Open();
      FAIL() << "the load's failure must propagate";
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), Cz("Rozvržení sloupců nelze načíst"));
    }
    EXPECT_EQ(events, (std::vector<std::string>{"layouts loaded", "handler installed"}));
    EXPECT_EQ(LogText(), "05.03.2024 09:07:03 : Start programu " + ProgramFile() + ", parametry: /bezbaleni\r\n");
  }
  EXPECT_NE(LogText().find(Cz("Konec práce s programem")), std::string::npos);
}

TEST_F(AppContextTest, AProgramNameTheStoreCannotTakeFailsTheLoad) {
  TAppContextSetup setup = Setup();
  setup.ProgramName = "a/b";
  AppContext app(setup);
  EXPECT_THROW(app.Open(), Exception);
  EXPECT_THROW(app.Store(), Exception);
}

TEST_F(AppContextTest, WithLoggingOffNothingIsWrittenNotEvenTheStartLine) {
  Stored("Others", "LOGEnabled", "0");
  {
    AppContext app(Setup({"x"}));
    app.Open();
    EXPECT_FALSE(Log.Enabled());
  }
  EXPECT_FALSE(fs::exists(LogFile()));
}

TEST_F(AppContextTest, TheSwitchesOfTheCommandLineTurnTheModesOnAndTheFirstParameterStaysTheFile) {
  struct Case {
    std::vector<std::string> Params;
    bool NoPackages, NoStock;
  };
  const Case cases[] = {
      {{}, false, false},
      {{"/bezbaleni"}, true, false},
      {{"a.obx", "/BezZasob"}, false, true},
      {{"/BEZZASOB", "/BEZBALENI"}, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Params.empty() ? "none" : c.Params.front());
    AppContext app(Setup(c.Params));
    app.Open();
    EXPECT_EQ(app.Settings.NoPackagesSwitch, c.NoPackages);
    EXPECT_EQ(app.Settings.NoPackages, c.NoPackages);
    EXPECT_EQ(app.Settings.EnableWholePackage, c.NoPackages ? 0 : 1);
    EXPECT_EQ(app.Settings.NoStock, c.NoStock);
    EXPECT_EQ(app.CommandLine.FileParam(), c.Params.empty() ? "" : c.Params.front());
  }
}

TEST_F(AppContextTest, OpenLoadsTheSettingsWithTheFirstRunImportAndTheProgramFolder) {
  TAppContextSetup setup = Setup();
  WriteFileBytes(Dir.File("program/objednavky.ini"), "[Company]\r\nName1=Firma\r\n");
  AppContext app(setup);
  EXPECT_EQ(app.ProgramFolder(), Dir.File("program"));
  EXPECT_EQ(app.Environment().ProgramFolder, Dir.File("program"));
  app.Open();
  EXPECT_TRUE(app.Settings.FirstRun);
  EXPECT_EQ(app.Settings.Company.Name1, "Firma");
  EXPECT_TRUE(app.Store().ReadBool("Others", "CopyIni", false));
}

TEST_F(AppContextTest, ClosingSavesTheSettingsOnlyWithAutoSaveAfterThePictureCache) {
  for (const bool autoSave : {true, false}) {
    SCOPED_TRACE(autoSave ? "AutoSaveSettings on" : "AutoSaveSettings off");
    Stored("Others", "AutoSaveSettings", autoSave ? "1" : "0");
    Stored("Company", "Name1", "");
    std::vector<std::string> events;
    TAppContextHooks hooks;
    hooks.SavePictureCache = [&] {
      events.push_back("picture cache, Name1=" + Store().ReadString("Company", "Name1"));
    };
    AppContext app(Setup(), hooks);
    app.Open();
    app.Settings.Company.Name1 = "Firma";
    app.Close();
    EXPECT_EQ(events, std::vector<std::string>{"picture cache, Name1="});
    EXPECT_EQ(Store().ReadString("Company", "Name1"), autoSave ? "Firma" : "");
  }
}

TEST_F(AppContextTest, ASaveThatCannotBeWrittenIsAnError) {
  AppContext app(Setup());
  app.Open();
  fs::remove_all(Dir.Path() / "user");
  WriteFileBytes(Dir.File("user"), "a file where the folder was");
  EXPECT_THROW(app.Close(), EInOutError);
}

TEST_F(AppContextTest, AReloadOfThePriceListRelinksTheOrderAndSortsByThePriceListGrid) {
  AppContext app(Setup());
  app.Open();
  const std::string karty = Dir.File("KARTY.DBF");
  WriteKarty(
      karty, KartyCodeAndName(),
      {{{"Kod", "A"}, {"Nazev", "Zámek"}}, {{"Kod", "B"}, {"Nazev", "Hřebík"}}, {{"Kod", "C"}, {"Nazev", "Čep"}}});
  app.Settings.PriceList = karty;
  TColumnList& columns = app.Columns().PriceListColumns;
  columns.SortColumn = static_cast<int>(
      std::find_if(columns.Columns.begin(), columns.Columns.end(), [](const TdgColumn& c) { return c.ID == 2; }) -
      columns.Columns.begin()); // by code
  ASSERT_TRUE(app.LoadPriceList());
  TPriceList& list = app.PriceList();
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Items(0).Kod + list.Items(1).Kod + list.Items(2).Kod, "ABC");
  EXPECT_EQ(list.SortColumn, columns.SortColumn);

  TOrder& order = app.Order();
  order.Append(TOrderItem{1, 0, "C", nullptr});
  order.Append(TOrderItem{2, 0, "X", nullptr});
  order.Append(TOrderItem{3, 0, "A", nullptr});
  app.PriceListHost().AttachOrder(list);
  EXPECT_EQ(order.Line(0).Card, &list.Items(2));
  EXPECT_EQ(order.Line(1).Card, nullptr);

  // "C" is gone and "X" has come: each line finds the card of its code among the new cards.
  WriteKarty(karty, KartyCodeAndName(), {{{"Kod", "X"}, {"Nazev", "Vrut"}}, {{"Kod", "A"}, {"Nazev", "Zámek"}}});
  columns.SortColumn = 0; // by name
  ASSERT_TRUE(app.LoadPriceList());
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Items(0).Kod, "X");
  EXPECT_EQ(order.Line(0).Card, nullptr);
  EXPECT_EQ(order.Line(1).Card, &list.Items(0));
  EXPECT_EQ(order.Line(2).Card, &list.Items(1));
}

TEST(AppTest, TheInstalledContextIsReachedAndTheScopeRestoresThePreviousOne) {
  EXPECT_THROW(App(), Exception);
  TAppContextSetup setup;
  setup.ProgramFile = "/opt/objednavky/objednavky";
  setup.Environment = TSettingsEnvironment{};
  AppContext outer(setup), inner(setup);
  {
    TAppScope outerScope(outer);
    {
      TAppScope innerScope(inner);
      EXPECT_EQ(&App(), &inner);
    }
    EXPECT_EQ(&App(), &outer);
  }
  EXPECT_THROW(App(), Exception);
}

} // namespace
