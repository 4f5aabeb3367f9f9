#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <sstream>

#include "cli/CliTestSupport.h"
#include "core/AppSettingsFields.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

// A throw-away profile: the user's and the administrator's settings folders in a TempDir.
class SettingsCommandsTest : public CliProfileTest {
protected:
  std::string UserFile(const std::string& program = "objednavky") const {
    return Dir.File("config/T.V.X./" + program + ".ini");
  }
  void WriteSystemFile(const std::string& text) const {
    fs::create_directories(Dir.File("xdg/T.V.X."));
    WriteFileBytes(Dir.File("xdg/T.V.X./objednavky.ini"), text);
  }
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

// settings effective needs the whole home: data and documents folders and no mail client.
class SettingsEffectiveTest : public SettingsCommandsTest {
protected:
  SettingsEffectiveTest()
      : HomeFolder("HOME", Dir.File("home").c_str()), DataHome("XDG_DATA_HOME", Dir.File("home/data").c_str()) {}

  // The NAME<TAB>VALUE lines of settings effective, by name.
  std::map<std::string, std::string> Effective(const std::vector<std::string>& extra = {}) {
    std::vector<std::string> args = {"settings", "effective"};
    args.insert(args.end(), extra.begin(), extra.end());
    const CliResult r = Run(args);
    EXPECT_EQ(r.Code, 0) << r.Err;
    std::map<std::string, std::string> fields;
    std::istringstream lines(r.Out);
    for (std::string line; std::getline(lines, line);) {
      const size_t tab = line.find('\t');
      EXPECT_NE(tab, std::string::npos) << line;
      EXPECT_TRUE(fields.emplace(line.substr(0, tab), line.substr(tab + 1)).second) << "twice: " << line;
    }
    return fields;
  }

  TEnvOverride HomeFolder;
  TEnvOverride DataHome;
};

TEST_F(SettingsEffectiveTest, FirstRunImportsTheIniOfTheSystemFolderAndListsEveryField) {
  // The first-run ini file is code page 1250 text: "Žluťoučký kůň" and "Zelí a\tkvašák".
  fs::create_directories(Dir.File("xdg"));
  WriteFileBytes(Dir.File("xdg/objednavky.ini"), "[Company]\r\n"
                                                 "Name1=\x8Elu\x9Dou\xE8k\xFD k\xF9\xF2\r\n"
                                                 "Currency=EUR\r\n"
                                                 "ExRate=25,5\r\n"
                                                 "[Others]\r\n"
                                                 "MaxAmount=1 500,5\r\n"
                                                 "Created=abc\r\n"
                                                 "[InfoText1]\r\n"
                                                 "1=Zel\xED a\tkva\x9A\xE1k\r\n"
                                                 "2=second\r\n");
  std::map<std::string, std::string> fields = Effective();
  EXPECT_EQ(fields["FirstRun"], "1");
  EXPECT_EQ(fields["CopyIni"], "1");
  EXPECT_EQ(fields["Company.Name1"], "Žluťoučký kůň");
  EXPECT_EQ(fields["Company.ExRate"], "25.5");
  EXPECT_EQ(fields["ForeignCurrency"], "1");
  EXPECT_EQ(fields["MaxAmount"], "1500.5");
  EXPECT_EQ(fields["CreatedHash"], "807794786");
  EXPECT_EQ(fields["InfoText1"], "Zelí a\\tkvašák\\nsecond");
  EXPECT_EQ(fields["Orders"], Dir.File("home/Documents/objednavky"));
  EXPECT_EQ(fields["LOGfile"], Dir.File("home/data/objednavky/objednavky.LOG"));
  EXPECT_EQ(fields["Colors.ActiveRow"], "-16777192");
  EXPECT_EQ(fields["Export.General_Created"], "Vytvořeno");
  EXPECT_EQ(fields["NoStockSwitch"], "0");
  EXPECT_EQ(fields["PriceListVerified"], "0");
  EXPECT_EQ(fields["Find.ID41"], "0");
  // Every field of the record, each once.
  EXPECT_EQ(fields.size(), AppSettingsFields().size());
  for (const TSettingsField& f : AppSettingsFields())
    EXPECT_TRUE(fields.count(f.Name)) << f.Name;

  // The import happened once: the values stay in the user's file.
  EXPECT_EQ(Run({"settings", "get", "Others", "CopyIni"}).Out, "1\n");
  EXPECT_EQ(Effective()["FirstRun"], "0");
}

TEST_F(SettingsEffectiveTest, ProgramSelectsTheSettingsAndTheIniFile) {
  ASSERT_EQ(Run({"settings", "set", "--program", "jiny", "Others", "CopyIni", "1"}).Code, 0);
  ASSERT_EQ(Run({"settings", "set", "--program", "jiny", "Others", "SMTPPassword", "017037"}).Code, 0);
  std::map<std::string, std::string> fields = Effective({"--program", "jiny"});
  EXPECT_EQ(fields["FirstRun"], "0");
  EXPECT_EQ(fields["SMTPPassword"], "A");
  EXPECT_EQ(fields["LOGfile"], Dir.File("home/data/jiny/jiny.LOG"));
  EXPECT_EQ(Effective()["FirstRun"], "1");
}

TEST_F(SettingsCommandsTest, ScrambleAndUnscramble) {
  const CliResult scrambled = Run({"settings", "scramble", "Heslo řeřicha"});
  EXPECT_EQ(scrambled.Code, 0);
  ASSERT_EQ(scrambled.Out.size(), 3 * 14 + 1);
  EXPECT_EQ(scrambled.Out.find_first_not_of("0123456789"), scrambled.Out.size() - 1);
  const CliResult back = Run({"settings", "unscramble", scrambled.Out.substr(0, scrambled.Out.size() - 1)});
  EXPECT_EQ(back.Code, 0);
  EXPECT_EQ(back.Out, "Heslo řeřicha\n");

  EXPECT_EQ(Run({"settings", "unscramble", "017037"}).Out, "A\n");
  EXPECT_EQ(Run({"settings", "unscramble", "1234567"}).Out, "\n");
  EXPECT_EQ(Run({"settings", "scramble", ""}).Out, "\n");
  EXPECT_EQ(Run({"settings", "scramble"}).Code, 2);
  EXPECT_EQ(Run({"settings", "unscramble", "a", "b"}).Code, 2);
  EXPECT_EQ(Run({"settings", "effective", "extra"}).Code, 2);
}

} // namespace
