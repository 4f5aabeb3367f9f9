#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>

#include "cli/Cli.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

struct CliResult {
  int Code;
  std::string Out;
  std::string Err;
};

// A throw-away profile: the user's and the administrator's settings folders in a TempDir.
class SettingsCommandsTest : public ::testing::Test {
protected:
  SettingsCommandsTest()
      : Home("XDG_CONFIG_HOME", Dir.File("config").c_str()), System("XDG_CONFIG_DIRS", Dir.File("xdg").c_str()) {}

  CliResult Run(const std::vector<std::string>& args) {
    std::ostringstream out;
    std::ostringstream err;
    const int code = RunCli(args, out, err);
    return {code, out.str(), err.str()};
  }
  std::string UserFile(const std::string& program = "objednavky") const {
    return Dir.File("config/T.V.X./" + program + ".ini");
  }
  void WriteSystemFile(const std::string& text) const {
    fs::create_directories(Dir.File("xdg/T.V.X."));
    WriteFileBytes(Dir.File("xdg/T.V.X./objednavky.ini"), text);
  }

  TempDir Dir;
  TEnvOverride Home;
  TEnvOverride System;
};

TEST_F(SettingsCommandsTest, SetThenGetGivesTheTextBack) {
  EXPECT_EQ(Run({"settings", "set", "Company", "Name1", "Žluťoučký kůň, s.r.o."}).Code, 0);
  EXPECT_EQ(Run({"settings", "set", "--", "User:jan\\Grid", "-width", "=x= "}).Code, 0);

  const CliResult name = Run({"settings", "get", "company", "NAME1"});
  EXPECT_EQ(name.Code, 0);
  EXPECT_EQ(name.Out, "Žluťoučký kůň, s.r.o.\n");
  EXPECT_EQ(name.Err, "");
  EXPECT_EQ(Run({"settings", "get", "--", "User:jan\\Grid", "-width"}).Out, "=x= \n");
  // The file holds UTF-8 with the escapes of the settings format.
  EXPECT_EQ(ReadFileBytes(UserFile()), "[Company]\nName1=Žluťoučký kůň, s.r.o.\n\n[User:jan\\Grid]\n-width==x=\\x20\n");
}

TEST_F(SettingsCommandsTest, GetOfAMissingValueExitsOneSilently) {
  WriteSystemFile("[Files]\nOrders=/srv/orders\n");
  ASSERT_EQ(Run({"settings", "set", "Files", "Pictures", "p"}).Code, 0);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"settings", "get", "Files", "LOGfile"},
        std::vector<std::string>{"settings", "get", "Nothing", "Orders"},
        std::vector<std::string>{"settings", "get", "--program", "other", "Files", "Pictures"}}) {
    SCOPED_TRACE(args[2] + " " + args[3]);
    const CliResult r = Run(args);
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Out, "");
    EXPECT_EQ(r.Err, "");
  }
  EXPECT_EQ(Run({"settings", "get", "Files", "Orders"}).Out, "/srv/orders\n"); // a preset counts
}

TEST_F(SettingsCommandsTest, DumpListsEveryValueInStoredOrderWithPresetsAfterwards) {
  fs::create_directories(Dir.File("config/T.V.X."));
  WriteFileBytes(UserFile(), "root=r\n"
                             "[Files]\n"
                             "Orders=/home/jan/Objednávky\n"
                             "LOGfile=C:\\\\LOG\\\\x.log\n"
                             "[AllUsers\\Colors]\n"
                             "Grid=255\n"
                             "Note=two\\nlines\\tand tab\n"
                             "[Empty]\n");
  WriteSystemFile("[Files]\nOrders=/srv\nPictures=/srv/pic\n[Company]\nCurrency=EUR\n");
  const CliResult r = Run({"settings", "dump"});
  EXPECT_EQ(r.Code, 0);
  EXPECT_EQ(r.Err, "");
  EXPECT_EQ(r.Out, "\troot\tr\n"
                   "Files\tOrders\t/home/jan/Objednávky\n"
                   "Files\tLOGfile\tC:\\\\LOG\\\\x.log\n"
                   "Files\tPictures\t/srv/pic\n"
                   "AllUsers\\Colors\tGrid\t255\n"
                   "AllUsers\\Colors\tNote\ttwo\\nlines\\tand tab\n"
                   "Company\tCurrency\tEUR\n");
}

TEST_F(SettingsCommandsTest, TheProgramOptionSelectsTheFile) {
  EXPECT_EQ(Run({"settings", "set", "--program", "jiny", "S", "k", "v"}).Code, 0);
  EXPECT_TRUE(fs::exists(UserFile("jiny")));
  EXPECT_FALSE(fs::exists(UserFile()));
  EXPECT_EQ(Run({"settings", "dump", "--program=jiny"}).Out, "S\tk\tv\n");
  EXPECT_EQ(Run({"settings", "dump"}).Out, "");
  EXPECT_EQ(Run({"settings", "dump", "--program", "../x"}).Code, 1);
}

TEST_F(SettingsCommandsTest, ABadFileIsReportedAndTheCommandGoesOn) {
  fs::create_directories(Dir.File("config/T.V.X."));
  WriteFileBytes(UserFile(), "not a settings file\n");
  const CliResult get = Run({"settings", "get", "Files", "Orders"});
  EXPECT_EQ(get.Code, 1);
  EXPECT_EQ(get.Out, "");
  EXPECT_NE(get.Err.find("je poškozený"), std::string::npos) << get.Err;

  EXPECT_EQ(Run({"settings", "set", "Files", "Orders", "o"}).Code, 0);
  EXPECT_EQ(Run({"settings", "dump"}).Out, "Files\tOrders\to\n");
  int backups = 0;
  for (const auto& entry : fs::directory_iterator(Dir.File("config/T.V.X.")))
    backups += entry.path().filename().string().rfind("objednavky.ini.bad-", 0) == 0;
  EXPECT_EQ(backups, 1);
}

TEST_F(SettingsCommandsTest, AFailedSetPrintsTheReasonAndExitsOne) {
  WriteFileBytes(Dir.File("config"), "a file where the folder should be");
  const CliResult r = Run({"settings", "set", "S", "k", "v"});
  EXPECT_EQ(r.Code, 1);
  EXPECT_EQ(r.Out, "");
  EXPECT_NE(r.Err.find("Nastavení nelze uložit do souboru " + UserFile()), std::string::npos) << r.Err;
}

TEST_F(SettingsCommandsTest, WrongArgumentCountsAreUsageErrors) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"settings", "get", "Files"}, std::vector<std::string>{"settings", "set", "S", "k"},
        std::vector<std::string>{"settings", "dump", "extra"},
        std::vector<std::string>{"settings", "get", "--program"}}) {
    SCOPED_TRACE(args.back());
    const CliResult r = Run(args);
    EXPECT_EQ(r.Code, 2);
    EXPECT_NE(r.Err.find("usage:"), std::string::npos);
  }
  EXPECT_FALSE(fs::exists(Dir.File("config")));
}

} // namespace
