#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "catalogue/PackageTestSupport.h"
#include "cli/Cli.h"
#include "core/SettingsStore.h"
#include "formats/CodePages.h"
#include "formats/Cp1250Utf8.h"
#include "support/TestSupport.h"

using namespace packagetest;

namespace {

// A throw-away profile whose settings put the card table, the groups and the pictures in
// the TempDir.
class ImportCommandsTest : public ::testing::Test {
protected:
  ImportCommandsTest()
      : Config("XDG_CONFIG_HOME", Dir.File("config").c_str()), System("XDG_CONFIG_DIRS", Dir.File("xdg").c_str()),
        Data("XDG_DATA_HOME", Dir.File("share").c_str()), Home("HOME", Dir.File("home").c_str()) {
    for (const char* folder : {"data", "pics", "share", "home"})
      std::filesystem::create_directories(Dir.Path() / folder);
    TSettingsStore store = Store();
    store.WriteString("Others", "CopyIni", "1");
    store.WriteString("Files", "PriceList", Cards());
    store.WriteString("Files", "Groups", Dir.File("data/OKRUHY.DBF"));
    store.WriteString("Files", "Pictures", Dir.File("pics"));
    store.Save();

    TPackageBuilder p;
    p.Add("CENIK.INI", Cp1250ToCp852(Cz("[Company]\r\nNAME1=Žluťák\r\n")));
    p.Add("KARTY.DBF", "cards");
    p.Add("TXTEXA.TXT", "conditions");
    p.Write(Package());
  }

  TSettingsStore Store() const {
    return TSettingsStore("objednavky", Dir.File("config/T.V.X."), Dir.File("xdg/T.V.X."));
  }
  std::string Cards() const { return Dir.File("data/KARTY.DBF"); }
  std::string Package() const { return Dir.File("cenik.dbc"); }

  TempDir Dir;
  TEnvOverride Config, System, Data, Home;
};

TEST_F(ImportCommandsTest, YesInstallsThePackageAndPrintsTheLogLines) {
  std::ostringstream out, err;
  ASSERT_EQ(RunCli({"import", "--yes", "--take-company", Package()}, out, err), 0) << err.str();

  EXPECT_EQ(out.str(), "Přejete si aktualizovat ceník souborem " + Package() + " ? ano\n" +
                           "Import ceníku ze souboru " + Package() + "\n" + "Import ceníku. Soubor: InfoCenikIni\n" +
                           "Import ceníku. Soubor: " + Cards() + " 15.03.2026 10:20:30\n" +
                           "Import ceníku. Soubor: InfoText1\n");
  EXPECT_EQ(ReadFileBytes(Cards()), "cards");
  // The settings record was saved: the import's data and the package's company data.
  TSettingsStore store = Store();
  store.Load();
  EXPECT_EQ(store.ReadString("Others", "LastImportFileName"), Package());
  EXPECT_EQ(store.ReadString("Company", "Name1"), Cz("Žluťák"));
  EXPECT_EQ(store.ReadString("InfoText1", "L1"), "conditions");
}

TEST_F(ImportCommandsTest, BadPackageFailsWithItsMessage) {
  const std::string bytes = ReadFileBytes(Package());
  WriteFileBytes(Package(), bytes.substr(0, bytes.size() - 1)); // the last entry is cut short
  std::ostringstream out, err;
  EXPECT_EQ(RunCli({"import", "--yes", Package()}, out, err), 1);
  EXPECT_EQ(err.str(), "Soubor " + Package() + " nemá formát použitelný pro import ceníku\n");
  EXPECT_FALSE(std::filesystem::exists(Cards()));
}

#ifdef OBJ_CLI_PATH
// Without --yes the question is answered on the terminal.
TEST_F(ImportCommandsTest, QuestionIsAnsweredOnTheTerminal) {
  const auto run = [&](const std::string& answer) {
    const std::string command =
        "printf '" + answer + "\\n' | '" + std::string(OBJ_CLI_PATH) + "' import '" + Package() + "' >/dev/null 2>&1";
    return std::system(command.c_str());
  };
  EXPECT_NE(run("n"), 0);
  EXPECT_FALSE(std::filesystem::exists(Cards()));
  EXPECT_EQ(run("ano"), 0);
  EXPECT_EQ(ReadFileBytes(Cards()), "cards");
}
#endif

} // namespace
