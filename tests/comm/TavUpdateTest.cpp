#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "comm/CenikDownload.h"
#include "comm/UpdateVersion.h"
#include "core/Errors.h"
#include "core/Log.h"
#include "formats/Cp1250Utf8.h"
#include "support/TestSupport.h"

namespace {

TEST(TavUpdate, VersionComparison) {
  const struct {
    const char* A;
    const char* B;
    int Result;
  } kCases[] = {
      {"1.2.3.4", "1.2.3.10", -1}, // numeric parts compare by value
      {"1.2.3.10", "1.2.3.4", 1},
      {"1.2", "1.2.0", -1}, // fewer parts is lower
      {"1.2.0", "1.2", 1},
      {"", "1.0.0.0", -1},
      {"", "", 0},
      {"2.0.0.0", "2.0.0.0", 0},
      {"10.0", "9.9", 1},
      {"1.a", "1.b", -1},                // parts that are not numbers compare as text
      {"1.b", "1.ab", -1},               // the shorter part gets the blanks, which sort first
      {"12345678901", "12345678902", 0}, // only the first 10 characters of a part count
      {"1..2", "1.0.2", -1},             // an empty part is ten blanks
  };
  for (const auto& k : kCases) {
    SCOPED_TRACE(std::string(k.A) + " vs " + k.B);
    EXPECT_EQ(CompareVersions(k.A, k.B), k.Result);
  }
  const std::string own = ProgramVersion();
  EXPECT_EQ(std::count(own.begin(), own.end(), '.'), 3);
}

TEST(TavUpdate, InstallerNames) {
  const struct {
    const char* Local;
    const char* Program;
  } kCases[] = {
      {"/orders/SETUP.EXE", "/orders/SETUP.EXE"}, {"/orders/setup.Exe", "/orders/setup.Exe"},
      {"/orders/setup.bin", "/orders/setup.exe"}, {"/orders/setup", "/orders/setup.exe"},
      {"/ord.ers/setup", "/ord.ers/setup.exe"},   {"C:\\Obj.d\\setup", "C:\\Obj.d\\setup.exe"},
      {"/orders/a.b.zip", "/orders/a.b.exe"},
  };
  for (const auto& k : kCases) {
    SCOPED_TRACE(k.Local);
    EXPECT_EQ(InstallerProgramName(k.Local), k.Program);
  }
}

TEST(TavUpdate, InstallerIsMovedOverAnOldProgram) {
  TempDir dir;
  WriteFileBytes(dir.File("setup.bin"), "new");
  WriteFileBytes(dir.File("setup.exe"), "old");
  EXPECT_TRUE(MoveInstallerInPlace(dir.File("setup.bin"), dir.File("setup.exe")));
  EXPECT_EQ(ReadFileBytes(dir.File("setup.exe")), "new");
  EXPECT_FALSE(std::filesystem::exists(dir.File("setup.bin")));
  // A name taken by something that cannot be deleted: the download stays where it is.
  WriteFileBytes(dir.File("x.bin"), "new");
  std::filesystem::create_directories(dir.Path() / "x.exe" / "inside");
  EXPECT_FALSE(MoveInstallerInPlace(dir.File("x.bin"), dir.File("x.exe")));
  EXPECT_EQ(ReadFileBytes(dir.File("x.bin")), "new");
}

TEST(TavUpdate, PriceListNameDialogRules) {
  EXPECT_TRUE(TTAVCenikFormRules::OkEnabled("Cenik", "CENIK"));
  EXPECT_FALSE(TTAVCenikFormRules::OkEnabled("  ", "CENIK"));
  EXPECT_FALSE(TTAVCenikFormRules::OkEnabled("Cenik", ""));
  EXPECT_TRUE(TTAVCenikFormRules::FocusJmenoCeniku(" "));
  EXPECT_FALSE(TTAVCenikFormRules::FocusJmenoCeniku(""));
}

// Records what the commands ask of the window and answers as told.
class TFakeHost : public ITavUpdateHost {
public:
  bool RunTransfer(const std::string& title, const TTavTransferRequest& request) override {
    Calls.push_back("transfer " + Cp1250ToUtf8(title) + " kind " + std::to_string(request.Kind) + " " +
                    Cp1250ToUtf8(request.Alias) + "/" + Cp1250ToUtf8(request.RemoteFile) + " -> " +
                    Cp1250ToUtf8(request.LocalFile) + " via " + request.ConnectionFile);
    if (TransferOK && request.Kind == kTavDownloadInstaller)
      WriteFileBytes(request.LocalFile, "installer");
    return TransferOK;
  }
  TImportResult ImportPriceList(const std::string& fileName, bool takeCompanyData) override {
    Calls.push_back("import " + fileName + (takeCompanyData ? " first run" : ""));
    if (ImportFails)
      throw Exception(Cz("Soubor je poškozen"));
    if (Settings)
      Settings->InstObjVersion = OfferedVersion;
    return ImportResult;
  }
  TMsgResult Ask(const std::string& text, const std::string& caption, TMsgIcon icon, bool defaultOK) override {
    Calls.push_back("ask " + Cp1250ToUtf8(caption) + (defaultOK ? " [OK]" : " [Cancel]") +
                    (icon == TMsgIcon::Question ? " ?" : "") + ": " + Cp1250ToUtf8(text));
    return Answer;
  }
  void StartProgram(const std::string& fileName, const std::string& workingFolder) override {
    Calls.push_back("start " + fileName + " in " + workingFolder);
  }
  void CloseMainWindow() override { Calls.push_back("close"); }

  std::vector<std::string> Calls;
  bool TransferOK = true, ImportFails = false;
  TImportResult ImportResult = TImportResult::PackageInstalled;
  TMsgResult Answer = TMsgResult::OK;
  TAppSettings* Settings = nullptr;
  std::string OfferedVersion;
};

// Errors reach the message sink; the questions go to the host.
class TRecordingSink : public IMessageSink {
public:
  TMsgResult Show(const std::string& text, const std::string&, TMsgFlags flags) override {
    Shown.push_back(Cp1250ToUtf8(text) + (flags.Icon == TMsgIcon::Error ? " (error)" : ""));
    return TMsgResult::OK;
  }
  std::vector<std::string> Shown;
};

class TavUpdateCommandsTest : public ::testing::Test {
protected:
  TavUpdateCommandsTest() : Scope(Sink) {
    Settings.Orders = Dir.File("orders");
    std::filesystem::create_directories(Settings.Orders);
    Settings.TAVPriceList = "CENIK";
    Settings.TAVAlias = "Cenik";
    Settings.DBCExtension = ".dbc";
    Settings.TAVInstName = "setup.bin";
    Settings.TAVInstAlias = "Instalace";
    Host.Settings = &Settings;
  }

  TTavUpdateContext Context(const std::string& version = "1.0.0.0") {
    return TTavUpdateContext{Settings, "/etc/TAV.BIN", version, Host};
  }

  TempDir Dir;
  TRecordingSink Sink;
  TMessageSinkScope Scope;
  TAppSettings Settings;
  TFakeHost Host;
};

const char kNewer[] = "ask Instalace nové verze [OK] ?: Na serveru poskytovatele dat je k dispozici novější verze "
                      "objednávkové aplikace.\rPřejete si ji stáhnout a nainstalovat ?";

TEST_F(TavUpdateCommandsTest, DownloadNamesAndImport) {
  Settings.FirstRun = true;
  Settings.AutoCheckAppUpdate = false;
  TTavUpdateContext ctx = Context();
  ImportPriceListOverTav(ctx);
  EXPECT_EQ(Host.Calls, (std::vector<std::string>{"transfer Načtení ceníku přes internet kind 0 Cenik/CENIK.dbc -> " +
                                                      Settings.Orders + "/CENIK via /etc/TAV.BIN",
                                                  "import " + Settings.Orders + "/CENIK first run"}));
  // A name with an extension is asked for unchanged.
  Settings.TAVPriceList = "CENIK.ZIP";
  Host.Calls.clear();
  Host.TransferOK = false;
  ImportPriceListOverTav(ctx);
  EXPECT_EQ(Host.Calls, (std::vector<std::string>{"transfer Načtení ceníku přes internet kind 0 Cenik/CENIK.ZIP -> " +
                                                  Settings.Orders + "/CENIK.ZIP via /etc/TAV.BIN"}));
}

TEST_F(TavUpdateCommandsTest, BlankNamesAreErrors) {
  Settings.TAVPriceList = "  ";
  TTavUpdateContext ctx = Context();
  ImportPriceListOverTav(ctx);
  InstallNewVersion(ctx);
  Settings.TAVPriceList = "CENIK";
  Settings.TAVInstAlias = " ";
  InstallNewVersion(ctx);
  EXPECT_TRUE(Host.Calls.empty());
  EXPECT_EQ(Sink.Shown, (std::vector<std::string>{
                            "Není nastaveno jméno ceníku pro import přes internet (error)",
                            "Není nastaveno jméno ceníku pro import přes internet (error)",
                            "Poskytovatel dat nemá nakonfigurovánou podporu instalace nových verzí (error)"}));
}

TEST_F(TavUpdateCommandsTest, OfferAfterTheImport) {
  const struct {
    const char* Name;
    std::string Offered;
    bool ImportFails;
    TImportResult Result;
    bool Offer;
  } kCases[] = {
      {"newer offered", "1.0.0.1", false, TImportResult::PackageInstalled, true},
      {"same version", "1.0.0.0", false, TImportResult::PackageInstalled, false},
      {"import declined still checks", "2.0", false, TImportResult::Cancelled, true},
      {"import failed skips the check", "2.0", true, TImportResult::Cancelled, false},
  };
  for (const auto& k : kCases) {
    SCOPED_TRACE(k.Name);
    Host.Calls.clear();
    Sink.Shown.clear();
    Host.OfferedVersion = k.Offered;
    Host.ImportFails = k.ImportFails;
    Host.ImportResult = k.Result;
    Host.Answer = TMsgResult::Cancel;
    TTavUpdateContext ctx = Context();
    ImportPriceListOverTav(ctx);
    ASSERT_EQ(Host.Calls.size(), k.Offer ? 3u : 2u);
    if (k.Offer) {
      EXPECT_EQ(Host.Calls[2], kNewer);
    }
    EXPECT_EQ(Sink.Shown,
              k.ImportFails ? std::vector<std::string>{"Soubor je poškozen (error)"} : std::vector<std::string>{});
  }
}

TEST_F(TavUpdateCommandsTest, NewVersionQuestionsFollowTheComparison) {
  Settings.InstObjVersion = "1.5.0.0";
  const struct {
    const char* Version;
    std::string Question;
  } kCases[] = {
      {"1.4.9.9", kNewer},
      {"1.5.0.0", "ask Instalace nové verze [Cancel] ?: Na serveru poskytovatele dat je k dispozici stejná verze "
                  "objednávkové aplikace jako právě používáte.\rPřejete si ji přesto stáhnout a nainstalovat ?"},
      {"1.10.0.0",
       "ask Instalace nové verze [Cancel] ?: Na serveru poskytovatele dat je k dispozici pouze starší verze "
       "objednávkové aplikace než právě používáte.\rDoporučujeme tuto verzi neinstalovat!\rPřejete si "
       "ji přesto stáhnout a nainstalovat ?"},
  };
  Host.Answer = TMsgResult::Cancel;
  for (const auto& k : kCases) {
    SCOPED_TRACE(k.Version);
    Host.Calls.clear();
    TTavUpdateContext ctx = Context(k.Version);
    InstallNewVersion(ctx);
    EXPECT_EQ(Host.Calls, std::vector<std::string>{k.Question});
  }
}

TEST_F(TavUpdateCommandsTest, InstallerIsRenamedStartedInTheOrdersFolderAndTheWindowCloses) {
  Settings.InstObjVersion = "9.0";
  TTavUpdateContext ctx = Context();
  InstallNewVersion(ctx);
  const std::string orders = Settings.Orders;
  EXPECT_EQ(Host.Calls,
            (std::vector<std::string>{kNewer,
                                      "transfer Načtení nové verze přes internet kind 2 Instalace/setup.bin -> " +
                                          orders + "/setup.bin via /etc/TAV.BIN",
                                      "start " + orders + "/setup.exe in " + orders, "close"}));
  EXPECT_EQ(ReadFileBytes(orders + "/setup.exe"), "installer");
  EXPECT_FALSE(std::filesystem::exists(orders + "/setup.bin"));

  // A failed transfer starts nothing.
  Host.Calls.clear();
  Host.TransferOK = false;
  EXPECT_FALSE(InstallNewVersionDownload(ctx));
  EXPECT_EQ(Host.Calls.size(), 1u);
}

TEST_F(TavUpdateCommandsTest, CommandsAreEnabledByTheirConditions) {
  EXPECT_TRUE(NewVersionCommandEnabled(Settings));
  Settings.TAVInstName = " ";
  EXPECT_FALSE(NewVersionCommandEnabled(Settings));
  EXPECT_FALSE(TavDownloadCommandEnabled(Dir.File("TAV.BIN")));
  WriteFileBytes(Dir.File("TAV.BIN"), "x");
  EXPECT_TRUE(TavDownloadCommandEnabled(Dir.File("TAV.BIN")));
}

} // namespace

namespace {

// The installer is handed to the desktop's opener with the orders folder as working folder.
TEST(TavUpdate, HeadlessStartUsesXdgOpenInTheWorkingFolder) {
  TempDir dir;
  std::filesystem::create_directories(dir.Path() / "bin");
  std::filesystem::create_directories(dir.Path() / "orders");
  const std::string record = dir.File("record.txt");
  WriteFileBytes(dir.File("bin/xdg-open"), "#!/bin/sh\npwd > '" + record + ".tmp'\necho \"$1\" >> '" + record +
                                               ".tmp'\nmv '" + record + ".tmp' '" + record + "'\n");
  std::filesystem::permissions(dir.File("bin/xdg-open"), std::filesystem::perms::owner_all);
  const std::string path = dir.File("bin") + ":" + (std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin");
  TEnvOverride pathOverride("PATH", path.c_str());

  const std::string orders = dir.File("orders");
  WriteFileBytes(orders + "/setup.exe", "MZ");
  StartWithDesktopOpener(orders + "/setup.exe", orders);
  for (int i = 0; i < 500 && !std::filesystem::exists(record); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(ReadFileBytes(record), orders + "\n" + orders + "/setup.exe\n");
}

} // namespace
