#include "core/Startup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "core/AppContext.h"
#include "core/Errors.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "core/ReportMessage.h"
#include "core/TestAppContext.h"
#include "formats/Cp1250Utf8.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

using Calls = std::vector<std::string>;

TDateTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  TDateTime time = 0;
  EXPECT_TRUE(TryEncodeTime(hour, minute, second, 0, time));
  return EncodeDate(year, month, day) + time;
}

const char* IconName(TMsgIcon icon) {
  switch (icon) {
  case TMsgIcon::Warning:
    return "warning";
  case TMsgIcon::Error:
    return "error";
  case TMsgIcon::Question:
    return "question";
  case TMsgIcon::Information:
    return "information";
  case TMsgIcon::None:
    break;
  }
  return "no icon";
}

// The main window as the start-up sees it, and the message boxes: every call is recorded in
// order (texts in UTF-8); a call named in Failing throws.
class FakeHost : public IStartupHost, public IMessageSink {
public:
  Calls Recorded;
  std::set<std::string> Failing;
  int CardCount = 100;
  bool PriceListDialogOk = false;
  std::string EnteredName = "CENIK", EnteredAlias = "Cenik";
  bool SettingsDialogOk = false;
  std::function<void()> WhileSettingsDialog;
  bool Package = false;
  bool ImportEnabled = true;
  TDateTime Clock = At(2024, 3, 20, 12, 0, 0);
  TMsgResult Answer = TMsgResult::Cancel;

  void BeginCatalogueLoad() override { Call("BeginCatalogueLoad"); }
  void LoadPriceList() override { Call("LoadPriceList"); }
  void LoadGroups() override { Call("LoadGroups"); }
  void ShowGroupTree(bool visible) override { Call("ShowGroupTree " + Flag(visible)); }
  void RefreshPictureCache() override { Call("RefreshPictureCache"); }
  void EndCatalogueLoad(bool groupsCommandEnabled) override {
    Recorded.push_back("EndCatalogueLoad " + Flag(groupsCommandEnabled));
  }
  void SelectCurrentCells() override { Call("SelectCurrentCells"); }
  void EnableProgramUpdateCommand(bool enabled) override { Call("EnableProgramUpdateCommand " + Flag(enabled)); }
  void RebuildInfoTabs() override { Call("RebuildInfoTabs"); }
  int PriceListCardCount() override {
    Call("PriceListCardCount");
    return CardCount;
  }
  bool EditPriceListName(std::string& name, std::string& alias) override {
    Call("EditPriceListName " + name + "/" + alias);
    if (PriceListDialogOk) {
      name = EnteredName;
      alias = EnteredAlias;
    }
    return PriceListDialogOk;
  }
  void ImportPriceListOverInternet() override { Call("ImportPriceListOverInternet"); }
  bool ShowSettingsDialog(int page) override {
    Call("ShowSettingsDialog " + std::to_string(page));
    if (SettingsDialogOk && WhileSettingsDialog)
      WhileSettingsDialog();
    return SettingsDialogOk;
  }
  bool IsPriceListPackage(const std::string& fileName) override {
    Call("IsPriceListPackage " + Cp1250ToUtf8(fileName));
    return Package;
  }
  void InstallPackage(const std::string& fileName) override { Call("InstallPackage " + Cp1250ToUtf8(fileName)); }
  void OpenOrderFile(const std::string& fileName) override { Call("OpenOrderFile " + Cp1250ToUtf8(fileName)); }
  void ApplyPicturePreviews(bool smallImg, bool largeImg) override {
    Call("ApplyPicturePreviews " + Flag(smallImg) + Flag(largeImg));
  }
  bool FileImportCommandEnabled() override {
    Call("FileImportCommandEnabled");
    return ImportEnabled;
  }
  TDateTime Now() override { return Clock; }

  TMsgResult Show(const std::string& text, const std::string& caption, TMsgFlags flags) override {
    const bool okCancel = flags.Buttons == TMsgButtons::OKCancel;
    Recorded.push_back(std::string(okCancel ? "Ask" : "Show") + " [" + Cp1250ToUtf8(caption) + "|" +
                       IconName(flags.Icon) + "] " + Cp1250ToUtf8(text));
    return okCancel ? Answer : TMsgResult::OK;
  }

  bool Has(const std::string& call) const {
    return std::find(Recorded.begin(), Recorded.end(), call) != Recorded.end();
  }
  bool HasPrefix(const std::string& prefix) const {
    return std::any_of(Recorded.begin(), Recorded.end(), [&](const std::string& c) { return c.rfind(prefix, 0) == 0; });
  }

private:
  static std::string Flag(bool on) { return on ? "1" : "0"; }
  void Call(const std::string& name) {
    Recorded.push_back(name);
    if (Failing.count(name))
      throw Exception(name + " selhalo");
  }
};

// What LoadCatalogue asks of the host with the default settings (groups read and shown, no
// program-update names).
const Calls kCatalogue = {
    "BeginCatalogueLoad",  "LoadPriceList",      "LoadGroups",         "ShowGroupTree 1",
    "RefreshPictureCache", "EndCatalogueLoad 1", "SelectCurrentCells", "EnableProgramUpdateCommand 0",
    "RebuildInfoTabs"};

// A started context of its own (settings, log, file types inside a TempDir) and the fake host
// installed as the message sink. By default it is not the first run and the company is filled
// in, so only the steps a test asks for do something.
class StartupTest : public ::testing::Test {
protected:
  StartupTest() : Sink(Host) {
    ProgramLog().SetClock([] { return At(2024, 3, 5, 9, 7, 3); });
    Stored("Others", "CopyIni", "1");
    Stored("Company", "Name1", "Firma");
    Stored("Company", "ICO", "12345678");
  }
  ~StartupTest() override {
    ProgramLog().SetFileName({});
    ProgramLog().SetEnabled(true);
    ProgramLog().SetClock({});
  }

  TSettingsStore Store() const { return TestSettingsStore(Dir); }
  void Stored(const std::string& section, const std::string& key, const std::string& value) const {
    StoreTestSetting(Dir, section, key, value);
  }
  void FirstRun() const {
    TSettingsStore store = Store();
    store.DeleteValue("Others", "CopyIni");
    store.Save();
  }

  // Opens a new context with these parameters. Its log is the process's, which ReportMessage
  // writes to.
  AppContext& Open(std::vector<std::string> params = {}) {
    App.emplace(TestAppContextSetup(Dir, std::move(params)));
    App->Open();
    return *App;
  }
  void Run() { RunDeferredStartup(*App, Host); }
  std::string LogText() const { return ReadFileBytes(ProgramLog().FileName()); }

  TempDir Dir;
  FakeHost Host;
  TMessageSinkScope Sink;
  std::optional<AppContext> App;
};

TEST_F(StartupTest, AnOrdinaryStartLoadsTheCatalogueAppliesTheViewAndChecksTheImportCommand) {
  Open();
  Run();
  Calls expected = kCatalogue;
  expected.insert(expected.end(), {"PriceListCardCount", "ApplyPicturePreviews 00", "FileImportCommandEnabled"});
  EXPECT_EQ(Host.Recorded, expected);
}

TEST_F(StartupTest, LoadCatalogueFollowsTheGroupSettingsAndReEnablesAfterAFailure) {
  struct Case {
    const char* Name;
    bool ReadGroups, GroupsVisible;
    std::string Failing;
    Calls Expected;
  };
  const Case cases[] = {
      {"groups read, tree hidden",
       true,
       false,
       "",
       {"BeginCatalogueLoad", "LoadPriceList", "LoadGroups", "ShowGroupTree 0", "RefreshPictureCache",
        "EndCatalogueLoad 1", "SelectCurrentCells", "EnableProgramUpdateCommand 0", "RebuildInfoTabs"}},
      {"groups not read",
       false,
       true,
       "",
       {"BeginCatalogueLoad", "LoadPriceList", "ShowGroupTree 0", "RefreshPictureCache", "EndCatalogueLoad 0",
        "SelectCurrentCells", "EnableProgramUpdateCommand 0", "RebuildInfoTabs"}},
      // The tree follows the setting also when the groups failed; the controls come back.
      {"groups fail",
       true,
       true,
       "LoadGroups",
       {"BeginCatalogueLoad", "LoadPriceList", "LoadGroups", "ShowGroupTree 1", "EndCatalogueLoad 1"}},
      {"price list fails", true, true, "LoadPriceList", {"BeginCatalogueLoad", "LoadPriceList", "EndCatalogueLoad 1"}},
  };
  Open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    App->Settings.ReadGroups = c.ReadGroups;
    App->Settings.GroupsVisible = c.GroupsVisible;
    Host.Recorded.clear();
    Host.Failing = {c.Failing};
    if (c.Failing.empty())
      LoadCatalogue(*App, Host);
    else
      EXPECT_THROW(LoadCatalogue(*App, Host), Exception);
    EXPECT_EQ(Host.Recorded, c.Expected);
  }
}

TEST_F(StartupTest, TheProgramUpdateCommandNeedsAllThreeNames) {
  struct Case {
    std::string PriceList, InstAlias, InstName;
    bool Enabled;
  };
  const Case cases[] = {
      {"CENIK", "Inst", "OBJ", true}, {"", "Inst", "OBJ", false},     {"CENIK", "", "OBJ", false},
      {"CENIK", "Inst", "", false},   {"CENIK", " \t", "OBJ", false},
  };
  Open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.PriceList + "/" + c.InstAlias + "/" + c.InstName);
    App->Settings.TAVPriceList = c.PriceList;
    App->Settings.TAVInstAlias = c.InstAlias;
    App->Settings.TAVInstName = c.InstName;
    Host.Recorded.clear();
    LoadCatalogue(*App, Host);
    EXPECT_TRUE(Host.Has(std::string("EnableProgramUpdateCommand ") + (c.Enabled ? "1" : "0")));
  }
}

TEST_F(StartupTest, BezbaleniAsTheOnlyParameterTurnsTheModeOnAndIsReportedAsAMissingFile) {
  Open({"/bezbaleni"});
  EXPECT_TRUE(App->Settings.NoPackages);
  Run();
  Calls expected = kCatalogue;
  expected.insert(expected.end(), {"PriceListCardCount", "Show [|warning] Soubor /bezbaleni nebyl nalezen",
                                   "ApplyPicturePreviews 00", "FileImportCommandEnabled"});
  EXPECT_EQ(Host.Recorded, expected);
  EXPECT_NE(LogText().find("05.03.2024 09:07:03 : Soubor /bezbaleni nebyl nalezen\r\n"), std::string::npos);
}

TEST_F(StartupTest, AnExistingFileOpensAsAnOrderUnlessItIsAPackage) {
  const std::string file = Dir.File("objedn\xE1vka.obx");
  WriteFileBytes(NativeFileName(file), "order");
  struct Case {
    const char* Name;
    bool Package;
    TMsgResult Answer;
    Calls Expected;
  };
  const std::string shown = Cp1250ToUtf8(file);
  const std::string question = "Ask [|question] Přejete si aktualizovat ceník\r\nsouborem " + shown + " ?";
  const Case cases[] = {
      {"order", false, TMsgResult::OK, {"IsPriceListPackage " + shown, "OpenOrderFile " + shown}},
      {"package, OK", true, TMsgResult::OK, {"IsPriceListPackage " + shown, question, "InstallPackage " + shown}},
      {"package, Cancel", true, TMsgResult::Cancel, {"IsPriceListPackage " + shown, question}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    Open({file});
    Host.Recorded.clear();
    Host.Package = c.Package;
    Host.Answer = c.Answer;
    Run();
    const auto cards = std::find(Host.Recorded.begin(), Host.Recorded.end(), "PriceListCardCount");
    const auto view = std::find(cards, Host.Recorded.end(), "ApplyPicturePreviews 00");
    ASSERT_NE(view, Host.Recorded.end());
    EXPECT_EQ(Calls(cards + 1, view), c.Expected);
  }
}

TEST_F(StartupTest, TheCompanyPageOpensWhileTheCompanyIsIncompleteAndOkSavesAndReloads) {
  struct Case {
    const char* Name;
    std::string Name1, ICO;
    int Cards;
    bool Opens;
  };
  const Case cases[] = {
      {"complete", "Firma", "12345678", 100, false},
      {"no Name1", "", "12345678", 100, true},
      {"no ICO", "Firma", "", 100, true},
      {"no cards", "Firma", "12345678", 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    Stored("Company", "Name1", c.Name1);
    Stored("Company", "ICO", c.ICO);
    Host.CardCount = c.Cards;
    // Cancelled: asked again at the next start.
    for (int start = 0; start < 2; ++start) {
      Open();
      Host.Recorded.clear();
      Run();
      EXPECT_EQ(Host.Has("ShowSettingsDialog 3"), c.Opens);
      EXPECT_EQ(std::count(Host.Recorded.begin(), Host.Recorded.end(), "LoadPriceList"), 1);
    }
  }

  Stored("Company", "Name1", "");
  Host.CardCount = 100;
  Host.SettingsDialogOk = true;
  Host.WhileSettingsDialog = [&] { App->Settings.Company.Name1 = "Nova firma"; };
  Open();
  Host.Recorded.clear();
  Run();
  EXPECT_EQ(std::count(Host.Recorded.begin(), Host.Recorded.end(), "LoadPriceList"), 2);
  EXPECT_EQ(Store().ReadString("Company", "Name1"), "Nova firma");
  Host.Recorded.clear();
  Open();
  Run();
  EXPECT_FALSE(Host.Has("ShowSettingsDialog 3"));
}

TEST_F(StartupTest, FirstRunOverTheTavServerAsksForThePriceListNameThenImports) {
  struct Case {
    const char* Name;
    std::string PriceList, Alias;
    bool DialogOk;
    Calls Expected; // between the catalogue and the settings dialog
  };
  const Case cases[] = {
      {"placeholder, OK",
       kPriceListNamePlaceholder,
       "Cenik",
       true,
       {"EditPriceListName Zde_zadejte_jmeno_ceniku/Cenik", "ImportPriceListOverInternet"}},
      {"placeholder, Cancel",
       kPriceListNamePlaceholder,
       "Cenik",
       false,
       {"EditPriceListName Zde_zadejte_jmeno_ceniku/Cenik"}},
      {"no name, OK", "", "Cenik", true, {"EditPriceListName /Cenik", "ImportPriceListOverInternet"}},
      {"no alias, Cancel", "CENIK", "", false, {"EditPriceListName CENIK/"}},
      {"both given", "CENIK", "Cenik", false, {"ImportPriceListOverInternet"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    FirstRun();
    Stored("Others", "MailSendFormat", "2");
    Stored("Others", "TAVPriceList", c.PriceList);
    Stored("Others", "TAVAlias", c.Alias);
    Open();
    ASSERT_TRUE(App->Settings.FirstRun);
    Host.Recorded.clear();
    Host.PriceListDialogOk = c.DialogOk;
    Run();
    const auto first = Host.Recorded.begin() + static_cast<long>(kCatalogue.size());
    const auto dialog = std::find(first, Host.Recorded.end(), "ShowSettingsDialog 3");
    EXPECT_EQ(Calls(first, dialog), c.Expected);
    if (c.DialogOk) {
      EXPECT_EQ(App->Settings.TAVPriceList, "CENIK");
      EXPECT_EQ(App->Settings.TAVAlias, "Cenik");
    }
    // The first run opens the company page whatever the company, and offers no old-list update.
    EXPECT_NE(dialog, Host.Recorded.end());
    EXPECT_FALSE(Host.Has("FileImportCommandEnabled"));
    EXPECT_FALSE(App->Settings.FirstRun);
  }
}

TEST_F(StartupTest, ThePriceListNameIsAskedOnlyOnTheFirstRunOverTheTavServerWithoutParameters) {
  struct Case {
    const char* Name;
    bool FirstRun;
    int MailSendFormat;
    std::vector<std::string> Params;
  };
  const Case cases[] = {
      {"not the first run", false, 2, {}},
      {"e-mail", true, 0, {}},
      {"a parameter", true, 2, {"/BEZZASOB"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    if (c.FirstRun)
      FirstRun();
    Stored("Others", "MailSendFormat", std::to_string(c.MailSendFormat));
    Stored("Others", "TAVPriceList", "");
    Open(c.Params);
    Host.Recorded.clear();
    Run();
    EXPECT_FALSE(Host.HasPrefix("EditPriceListName"));
    EXPECT_FALSE(Host.Has("ImportPriceListOverInternet"));
  }
}

TEST_F(StartupTest, TheOldPriceListIsOfferedOnlyWhenEveryConditionHolds) {
  // Imported on 5 March 2024 at 10:00, ten days allowed: old from 15 March 10:00 on.
  struct Case {
    const char* Name;
    std::function<void(AppContext&, FakeHost&)> Change;
    bool Asked;
  };
  const Case cases[] = {
      {"all hold", [](AppContext&, FakeHost&) {}, true},
      {"import command disabled", [](AppContext&, FakeHost& h) { h.ImportEnabled = false; }, false},
      {"check off", [](AppContext& a, FakeHost&) { a.Settings.CheckOldPriceList = false; }, false},
      {"no price-list name", [](AppContext& a, FakeHost&) { a.Settings.TAVPriceList.clear(); }, false},
      {"exactly at the age", [](AppContext&, FakeHost& h) { h.Clock = At(2024, 3, 15, 10, 0, 0); }, false},
      {"a second later", [](AppContext&, FakeHost& h) { h.Clock = At(2024, 3, 15, 10, 0, 1); }, true},
      {"younger", [](AppContext&, FakeHost& h) { h.Clock = At(2024, 3, 10); }, false},
      {"longer age allowed", [](AppContext& a, FakeHost&) { a.Settings.MaxPriceListAge = 30; }, false},
      {"date only", [](AppContext& a, FakeHost&) { a.Settings.LastImportDate = "5.3.2024"; }, true},
      {"no date", [](AppContext& a, FakeHost&) { a.Settings.LastImportDate.clear(); }, false},
      {"unreadable date", [](AppContext& a, FakeHost&) { a.Settings.LastImportDate = "dnes"; }, false},
      {"first run", [](AppContext& a, FakeHost&) { a.Settings.FirstRun = true; }, false},
  };
  const std::string question =
      "Ask [|warning] Doporučujeme aktualizaci ceníku.\rPřejete si provést aktualizaci přes internet nyní ?";
  for (const Case& c : cases) {
    for (const TMsgResult answer : {TMsgResult::OK, TMsgResult::Cancel}) {
      SCOPED_TRACE(std::string(c.Name) + (answer == TMsgResult::OK ? ", OK" : ", Cancel"));
      Open();
      App->Settings.CheckOldPriceList = true;
      App->Settings.TAVPriceList = "CENIK";
      App->Settings.LastImportDate = "05.03.2024 10:00:00";
      App->Settings.MaxPriceListAge = 10;
      Host.ImportEnabled = true;
      Host.Clock = At(2024, 3, 20, 12, 0, 0);
      Host.Answer = answer;
      Host.SettingsDialogOk = false;
      c.Change(*App, Host);
      Host.Recorded.clear();
      Run();
      EXPECT_EQ(Host.Has(question), c.Asked);
      EXPECT_EQ(Host.Has("ImportPriceListOverInternet"), c.Asked && answer == TMsgResult::OK);
    }
  }
}

TEST_F(StartupTest, AFailedStepIsLoggedAndShownAndTheNextStepRuns) {
  const std::string file = Dir.File("a.obx");
  WriteFileBytes(file, "order");
  Host.Failing = {"LoadPriceList", "OpenOrderFile " + file};
  Open({file});
  Run();
  const Calls expected = {"BeginCatalogueLoad",      "LoadPriceList",
                          "EndCatalogueLoad 1",      "Show [Objednávky|error] LoadPriceList selhalo",
                          "PriceListCardCount",      "IsPriceListPackage " + file,
                          "OpenOrderFile " + file,   "Show [Objednávky|error] OpenOrderFile " + file + " selhalo",
                          "ApplyPicturePreviews 00", "FileImportCommandEnabled"};
  EXPECT_EQ(Host.Recorded, expected);
  const std::string log = LogText();
  EXPECT_NE(log.find(" : LoadPriceList selhalo\r\n"), std::string::npos);
  EXPECT_NE(log.find(" : OpenOrderFile " + file + " selhalo\r\n"), std::string::npos);
}

TEST_F(StartupTest, FailuresOfTheOldPriceListOfferAreIgnored) {
  Host.Failing = {"FileImportCommandEnabled"};
  Open();
  Run();
  EXPECT_FALSE(Host.HasPrefix("Show ["));
  EXPECT_FALSE(App->Settings.FirstRun);
}

TEST_F(StartupTest, TheFileTypesAreRegisteredAsTheSettingsSay) {
  Stored("Others", "RegisterOBX", "1");
  Open();
  Run();
  EXPECT_TRUE(fs::exists(Dir.Path() / "share/applications/objednavky-obxfile.desktop"));
  EXPECT_FALSE(fs::exists(Dir.Path() / "share/applications/objednavky-dbcfile.desktop"));
}

TEST(ImportDateTest, ReadsADateWithAnOptionalTime) {
  struct Case {
    std::string Text;
    bool Ok;
    TDateTime Expected;
  };
  const Case cases[] = {
      {"05.03.2024 10:00:00", true, At(2024, 3, 5, 10, 0, 0)},
      {"5.3.2024 9:07", true, At(2024, 3, 5, 9, 7, 0)},
      {"05.03.2024", true, At(2024, 3, 5)},
      {"05.03.2024  23:59:59 ", true, At(2024, 3, 5, 23, 59, 59)},
      {"", false, 0},
      {"dnes", false, 0},
      {"31.02.2024 10:00", false, 0},
      {"05.03.2024 24:00", false, 0},
      {"05.03.2024 10", false, 0},
      {"05.03.2024 10:00:00:00", false, 0},
      {"05.03.2024 10:00x", false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Text);
    TDateTime result = -1;
    EXPECT_EQ(TryReadImportDate(c.Text, result), c.Ok);
    if (c.Ok) {
      EXPECT_DOUBLE_EQ(result, c.Expected);
    }
  }
}

} // namespace
