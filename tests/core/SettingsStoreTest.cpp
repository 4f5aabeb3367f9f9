#include "core/SettingsStore.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>

#include "core/Errors.h"
#include "core/SettingsFile.h"
#include "formats/Cp1250Utf8.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> FilesIn(const fs::path& folder, const std::string& prefix) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().filename().string().rfind(prefix, 0) == 0)
      names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class SettingsStoreTest : public ::testing::Test {
public:
  SettingsStoreTest() {
    fs::create_directories(UserFolder());
    fs::create_directories(SystemFolder());
  }
  std::string UserFolder() const { return Dir.File("user"); }
  std::string SystemFolder() const { return Dir.File("sys"); }
  std::string UserFile() const { return UserFolder() + "/test.ini"; }
  std::string SystemFile() const { return SystemFolder() + "/test.ini"; }
  TSettingsStore Store() const { return TSettingsStore("test", UserFolder(), SystemFolder()); }
  TSettingsStore Loaded() const {
    TSettingsStore store = Store();
    store.Load();
    return store;
  }
  // Everything in the user's folder except the lock file.
  std::vector<std::string> UserFolderFiles() const {
    std::vector<std::string> names = FilesIn(UserFolder(), "");
    std::erase(names, "test.ini.lock");
    return names;
  }

  TempDir Dir;
};

// ---- Round trip ---------------------------------------------------------------------------

struct AwkwardText {
  const char* Name;
  std::string Text;
};

std::string AllBytes() {
  std::string s;
  for (int c = 0; c < 256; ++c)
    s += static_cast<char>(c);
  return s;
}

class SettingsRoundTripTest : public SettingsStoreTest, public ::testing::WithParamInterface<AwkwardText> {};

// Every text goes in as key and value (and the value once more under a plain key, so keys
// and values do not hide each other's faults), through the file, and must come back byte for byte.
TEST_P(SettingsRoundTripTest, KeyAndValueSurviveTheFile) {
  const std::string text = GetParam().Text;
  TSettingsStore store = Store();
  store.WriteString("Section", text, text);
  store.WriteString("Section", "plain", text);
  store.Save();

  const TSettingsStore again = Loaded();
  EXPECT_EQ(again.LoadProblem(), "");
  EXPECT_EQ(again.GetValueNames("Section"), (std::vector<std::string>{text, "plain"}));
  EXPECT_EQ(again.ReadString("Section", text, "<missing>"), text);
  EXPECT_EQ(again.ReadString("Section", "plain", "<missing>"), text);
}

INSTANTIATE_TEST_SUITE_P(
    Awkward, SettingsRoundTripTest,
    ::testing::Values(AwkwardText{"Empty", ""}, AwkwardText{"EqualsSign", "a=b=c"}, AwkwardText{"OnlyEquals", "="},
                      AwkwardText{"LeadingAndTrailingSpaces", "  x  "}, AwkwardText{"OnlySpaces", "   "},
                      AwkwardText{"CrLf", "one\r\ntwo\r"}, AwkwardText{"Tabs", "\tx\t"},
                      AwkwardText{"HeaderLike", "[Files]"}, AwkwardText{"CommentLike", ";x"},
                      AwkwardText{"HashComment", "# x"}, AwkwardText{"Backslashes", "C:\\Data\\"},
                      AwkwardText{"EscapeLookalikes", "\\n\\x41\\=%41"}, AwkwardText{"LoneBackslash", "\\"},
                      AwkwardText{"Nul", std::string("a\0b", 3)}, AwkwardText{"Czech", Cz("Žluťoučký kůň")},
                      AwkwardText{"EveryByte", AllBytes()}),
    [](const ::testing::TestParamInfo<AwkwardText>& p) { return std::string(p.param.Name); });

TEST_F(SettingsStoreTest, AwkwardSectionNamesSurviveTheFile) {
  const std::vector<std::string> sections = {"100%", "a]b", " spaced ",     std::string("ctl\n\x01\t", 4),
                                             "[x]",  "=",   Cz("Účty ščř"), "User:jan\\Grid"};
  TSettingsStore store = Store();
  for (const std::string& s : sections)
    store.WriteString(s, "k", s);
  store.Save();

  const TSettingsStore again = Loaded();
  EXPECT_EQ(again.LoadProblem(), "");
  EXPECT_EQ(again.GetSectionPaths(), sections);
  for (const std::string& s : sections)
    EXPECT_EQ(again.ReadString(s, "k"), s);
}

// A file written or corrected by hand: blanks around everything, CR LF, comments, a byte-order
// mark, root values, a section given twice and a value given twice.
TEST_F(SettingsStoreTest, ReadsAFileEditedByHand) {
  WriteFileBytes(UserFile(), "\xEF\xBB\xBFtop = 1\r\n"
                             "; comment\r\n"
                             "  [Files]  \r\n"
                             "  Orders  =  /home/jan/Objedn\xC3\xA1vky  \r\n"
                             "# another\n"
                             "\n"
                             "[Other]\n"
                             "x=\n"
                             "[files]\n"
                             "Orders=second\n"
                             "Pictures=p\n"
                             "[]\n"
                             "=root default\n");
  const TSettingsStore store = Loaded();
  EXPECT_EQ(store.LoadProblem(), "");
  EXPECT_EQ(store.GetSectionPaths(), (std::vector<std::string>{"", "Files", "Other"}));
  EXPECT_EQ(store.GetValueNames(""), (std::vector<std::string>{"top", ""}));
  EXPECT_EQ(store.ReadString("", ""), "root default");
  EXPECT_EQ(store.GetValueNames("Files"), (std::vector<std::string>{"Orders", "Pictures"}));
  EXPECT_EQ(store.ReadString("Files", "Orders"), "second");
  EXPECT_EQ(store.ReadString("Other", "x", "default"), "");
}

// ---- Typed values -------------------------------------------------------------------------

TEST_F(SettingsStoreTest, IntegersAndBooleansDecodeOrFallBackToTheDefault) {
  struct Case {
    const char* Stored; // nullptr: no value
    int Integer;        // read with default 77
    bool BoolFromTrue;  // read with default true
    bool BoolFromFalse; // read with default false
  };
  const Case cases[] = {
      {"12", 12, true, true},
      {" 12", 12, true, true},
      {"12a", 77, true, false},
      {"", 77, true, false},
      {nullptr, 77, true, false},
      {"-3", -3, true, true},
      {"2147483647", INT_MAX, true, true},
      {"2147483648", 77, true, false},
      {"-2147483648", INT_MIN, true, true},
      {"-2147483649", 77, true, false},
      {"+7", 7, true, true},
      {"12 ", 77, true, false},
      {"0x10", 77, true, false},
      {"1.5", 77, true, false},
      {"0", 0, false, false},
      {"-", 77, true, false},
      {"99999999999999999999", 77, true, false},
  };
  TSettingsStore store = Store();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Stored ? std::string("\"") + c.Stored + "\"" : "missing");
    store.DeleteValue("Numbers", "v");
    if (c.Stored)
      store.WriteString("Numbers", "v", c.Stored);
    EXPECT_EQ(store.ReadInteger("Numbers", "v", 77), c.Integer);
    EXPECT_EQ(store.ReadBool("Numbers", "v", true), c.BoolFromTrue);
    EXPECT_EQ(store.ReadBool("Numbers", "v", false), c.BoolFromFalse);
  }
}

TEST_F(SettingsStoreTest, TypedValuesAreWrittenAsDecimalTextAndOneOrZero) {
  TSettingsStore store = Store();
  store.WriteInteger("S", "negative", -5);
  store.WriteInteger("S", "smallest", INT_MIN);
  store.WriteBool("S", "yes", true);
  store.WriteBool("S", "no", false);
  store.WriteString("S", "rate", "25,5");
  store.Save();
  EXPECT_EQ(ReadFileBytes(UserFile()), "[S]\nnegative=-5\nsmallest=-2147483648\nyes=1\nno=0\nrate=25,5\n");
  const TSettingsStore again = Loaded();
  EXPECT_EQ(again.ReadInteger("S", "smallest", 0), INT_MIN);
  EXPECT_DOUBLE_EQ(again.ReadNumber("S", "rate", 1), 25.5);
  EXPECT_DOUBLE_EQ(again.ReadNumber("S", "yes", 0), 1);
  EXPECT_DOUBLE_EQ(again.ReadNumber("S", "missing", 2.5), 2.5);
}

// ---- Sections and order -------------------------------------------------------------------

TEST_F(SettingsStoreTest, ValuesKeepTheirOrderAndTheirFirstSpelling) {
  TSettingsStore store = Store();
  store.WriteString("Grid", "c", "1");
  store.WriteString("Grid", "a", "2");
  store.WriteString("Grid", "b", "3");
  store.WriteString("GRID", "A", "changed"); // names compare without case, as in the registry
  EXPECT_EQ(store.GetValueNames("grid"), (std::vector<std::string>{"c", "a", "b"}));
  EXPECT_EQ(store.ReadString("Grid", "a"), "changed");

  EXPECT_TRUE(store.DeleteValue("Grid", "A"));
  EXPECT_FALSE(store.DeleteValue("Grid", "a"));
  EXPECT_FALSE(store.ValueExists("Grid", "a"));
  store.WriteString("Grid", "a", "again");
  EXPECT_EQ(store.GetValueNames("Grid"), (std::vector<std::string>{"c", "b", "a"}));

  store.Save();
  EXPECT_EQ(Loaded().GetValueNames("Grid"), (std::vector<std::string>{"c", "b", "a"}));
}

TEST_F(SettingsStoreTest, CzechNamesCompareWithoutCase) {
  TSettingsStore store = Store();
  store.WriteString(Cz("Účty"), Cz("Šířka"), "1");
  EXPECT_EQ(store.ReadString(Cz("úČTY"), Cz("šíŘKA")), "1");
  EXPECT_FALSE(store.ValueExists(Cz("Ucty"), Cz("Sirka")));
}

TEST_F(SettingsStoreTest, NestedSectionsListAndEraseWithEverythingBelow) {
  TSettingsStore store = Store();
  store.WriteString("User:jan\\Grid", "w", "1");
  store.WriteString("AllUsers\\Colors", "bg", "2");
  store.WriteString("User:jan\\Columns", "n", "3");
  store.WriteString("User:jane\\Grid", "w", "4"); // shares the prefix "User:jan"
  store.WriteString("User:jan", "own", "5");
  store.WriteString("\\User:eva\\\\Grid\\", "w", "6"); // empty parts do not count

  EXPECT_EQ(store.GetSubsectionNames(""), (std::vector<std::string>{"User:jan", "AllUsers", "User:jane", "User:eva"}));
  EXPECT_EQ(store.GetSubsectionNames("user:JAN"), (std::vector<std::string>{"Grid", "Columns"}));
  EXPECT_EQ(store.ReadString("User:eva\\Grid", "w"), "6");
  EXPECT_TRUE(store.SectionExists("AllUsers")); // exists as the parent of "AllUsers\Colors"
  EXPECT_FALSE(store.SectionExists("User"));

  EXPECT_TRUE(store.EraseSection("User:jan"));
  EXPECT_FALSE(store.SectionExists("User:jan"));
  EXPECT_FALSE(store.ValueExists("User:jan\\Grid", "w"));
  EXPECT_EQ(store.ReadString("User:jane\\Grid", "w"), "4");
  EXPECT_FALSE(store.EraseSection("User:jan"));

  store.Save();
  EXPECT_EQ(Loaded().GetSectionPaths(),
            (std::vector<std::string>{"AllUsers\\Colors", "User:jane\\Grid", "User:eva\\Grid"}));
}

// ---- Bad files ----------------------------------------------------------------------------

struct BadFile {
  const char* Name;
  std::string Bytes;
};

class SettingsBadFileTest : public SettingsStoreTest, public ::testing::WithParamInterface<BadFile> {};

// The program goes on with defaults, the bad file is kept byte for byte under a new name, and
// the next save writes a fresh file without touching the kept one.
TEST_P(SettingsBadFileTest, ReadsAsEmptyAndIsKeptAside) {
  const std::string bad = GetParam().Bytes;
  WriteFileBytes(UserFile(), bad);
  WriteFileBytes(SystemFile(), "[Files]\nOrders=preset\n");

  TSettingsStore store = Store();
  store.Load();
  EXPECT_NE(store.LoadProblem(), "");
  EXPECT_EQ(store.UserData().Sections().size(), 0u);
  EXPECT_EQ(store.ReadString("Files", "Orders"), "preset");
  EXPECT_EQ(store.ReadInteger("Files", "Width", 250), 250);

  const std::vector<std::string> backups = FilesIn(UserFolder(), "test.ini.bad-");
  ASSERT_EQ(backups.size(), 1u);
  EXPECT_EQ(UserFolder() + "/" + backups[0], store.BackupFileName());
  EXPECT_NE(store.LoadProblem().find(Utf8ToCp1250(store.BackupFileName())), std::string::npos);
  EXPECT_FALSE(fs::exists(UserFile()));
  EXPECT_EQ(ReadFileBytes(store.BackupFileName()), bad);

  store.WriteString("Files", "Orders", "mine");
  store.Save();
  const TSettingsStore again = Loaded();
  EXPECT_EQ(again.LoadProblem(), "");
  EXPECT_EQ(again.ReadString("Files", "Orders"), "mine");
  EXPECT_EQ(ReadFileBytes(store.BackupFileName()), bad);
}

std::string Oversized() {
  std::string s;
  while (s.size() <= 16u * 1024 * 1024)
    s += "key=value value value value value value value value value value value\n";
  return s;
}

INSTANTIATE_TEST_SUITE_P(Corrupt, SettingsBadFileTest,
                         ::testing::Values(BadFile{"InvalidUtf8", "[Files]\nOrders=\xFF\xFE\n"},
                                           BadFile{"Cp1250InsteadOfUtf8", "[Files]\nOrders=Objedn\xE1vky\n"},
                                           BadFile{"LineWithoutEquals", "[Files]\nOrders\n"},
                                           BadFile{"UnterminatedHeader", "[Files\nOrders=x\n"},
                                           BadFile{"NulByte", std::string("[Files]\nOrders=a\0b\n", 19)},
                                           BadFile{"BrokenHexEscape", "[Files]\nOrders=\\xZ1\n"},
                                           BadFile{"HexEscapeCutShort", "[Files]\nOrders=\\x4"},
                                           BadFile{"LoneBackslashAtEnd", "[Files]\nOrders=C:\\\n"},
                                           BadFile{"BinaryGarbage", std::string("\x1F\x8B\x08\x00\x00\x00", 6)},
                                           BadFile{"Oversized", Oversized()}),
                         [](const ::testing::TestParamInfo<BadFile>& p) { return std::string(p.param.Name); });

TEST_F(SettingsStoreTest, AFolderInPlaceOfTheFileIsMovedAsideToo) {
  fs::create_directories(UserFile() + "/inside");
  TSettingsStore store = Store();
  store.Load();
  EXPECT_NE(store.LoadProblem(), "");
  EXPECT_TRUE(fs::is_directory(store.BackupFileName() + "/inside"));
  store.WriteString("S", "k", "v");
  store.Save();
  EXPECT_EQ(Loaded().ReadString("S", "k"), "v");
}

TEST_F(SettingsStoreTest, ABadPresetFileIsIgnoredAndLeftAlone) {
  WriteFileBytes(UserFile(), "[S]\nk=user\n");
  WriteFileBytes(SystemFile(), "garbage\n");
  const TSettingsStore store = Loaded();
  EXPECT_EQ(store.LoadProblem(), "");
  EXPECT_EQ(store.ReadString("S", "k"), "user");
  EXPECT_EQ(ReadFileBytes(SystemFile()), "garbage\n");
  EXPECT_TRUE(FilesIn(SystemFolder(), "test.ini.bad").empty());
}

TEST_F(SettingsStoreTest, AMissingFileReadsAsEmptyAndCreatesNothing) {
  const TSettingsStore store = TSettingsStore("test", Dir.File("none/T.V.X."), Dir.File("nosys"));
  TSettingsStore loaded = store;
  loaded.Load();
  EXPECT_EQ(loaded.LoadProblem(), "");
  EXPECT_TRUE(loaded.UserData().Empty());
  EXPECT_EQ(loaded.ReadString("Files", "Orders", "default"), "default");
  EXPECT_FALSE(fs::exists(Dir.File("none")));

  loaded.WriteString("Files", "Orders", "x"); // the first save makes the folders
  loaded.Save();
  EXPECT_EQ(ReadFileBytes(Dir.File("none/T.V.X./test.ini")), "[Files]\nOrders=x\n");
}

// ---- Failed saves -------------------------------------------------------------------------

// Runs fn in a child process, so limits and signal settings stay there; the child's exit code.
template <typename Fn> int InChild(Fn fn) {
  const pid_t pid = ::fork();
  if (pid == 0)
    ::_exit(fn());
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

TEST_F(SettingsStoreTest, AFailedSaveLeavesTheOldFileIntact) {
  const std::string old = "[Files]\nOrders=old\n";
  struct Case {
    const char* Name;
    std::function<void(SettingsStoreTest&)> Break;
  };
  std::vector<Case> cases = {
      // The lock cannot be taken: nothing may be written without it.
      {"LockFileIsAFolder", [](SettingsStoreTest& t) { fs::create_directories(t.UserFile() + ".lock"); }},
  };
  if (::geteuid() != 0) // root writes into read-only folders anyway
    cases.push_back({"FolderIsReadOnly", [](SettingsStoreTest& t) {
                       fs::permissions(t.UserFolder(), fs::perms::owner_read | fs::perms::owner_exec);
                     }});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    fs::remove_all(UserFolder());
    fs::create_directories(UserFolder());
    WriteFileBytes(UserFile(), old);
    TSettingsStore store = Loaded();
    store.WriteString("Files", "Orders", "new");
    c.Break(*this);
    EXPECT_THROW(store.Save(), EInOutError);
    fs::permissions(UserFolder(), fs::perms::owner_all);
    EXPECT_EQ(ReadFileBytes(UserFile()), old);
    EXPECT_EQ(UserFolderFiles(), std::vector<std::string>{"test.ini"});
    EXPECT_TRUE(store.Modified());
  }
}

// A full disk in the middle of writing (a file size limit stands in for it, which binds root
// as well): the save reports the failure, the old file is untouched, no temporary file stays.
TEST_F(SettingsStoreTest, ADiskFullWhileWritingLeavesTheOldFileIntact) {
  const std::string old = "[Files]\nOrders=old\n";
  WriteFileBytes(UserFile(), old);
  const int result = InChild([&] {
    TSettingsStore store = Loaded();
    store.WriteString("Files", "Orders", std::string(100000, 'x'));
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{50000, RLIM_INFINITY};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
      return 3;
    try {
      store.Save();
      return 1;
    } catch (const EInOutError& e) {
      return Cp1250ToUtf8(e.Message()).find("nelze uložit") == std::string::npos ? 2 : 0;
    }
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(ReadFileBytes(UserFile()), old);
  EXPECT_TRUE(FilesIn(UserFolder(), "test.ini.tmp").empty());
}

TEST_F(SettingsStoreTest, ASaveWhereTheFolderCannotBeMadeFails) {
  WriteFileBytes(Dir.File("blocked"), "a file, not a folder");
  TSettingsStore store("test", Dir.File("blocked/T.V.X."), SystemFolder());
  store.Load();
  EXPECT_EQ(store.LoadProblem(), "");
  store.WriteString("S", "k", "v");
  EXPECT_THROW(store.Save(), EInOutError);
  EXPECT_EQ(ReadFileBytes(Dir.File("blocked")), "a file, not a folder");
}

// ---- Presets ------------------------------------------------------------------------------

TEST_F(SettingsStoreTest, PresetsFillInWhatTheUsersFileLacksAndAreNeverWritten) {
  const std::string presets = "[Files]\nOrders=/srv/orders\nPictures=/srv/pictures\n[Company]\nCurrency=EUR\n";
  WriteFileBytes(SystemFile(), presets);
  WriteFileBytes(UserFile(), "[Files]\nPictures=/home/jan/pictures\nLOGfile=/home/jan/log\n");

  TSettingsStore store = Loaded();
  EXPECT_EQ(store.ReadString("Files", "Pictures"), "/home/jan/pictures"); // the user's own wins
  EXPECT_EQ(store.ReadString("Files", "Orders"), "/srv/orders");
  EXPECT_EQ(store.ReadString("Company", "Currency"), "EUR");
  EXPECT_EQ(store.ReadString("Company", "Missing", "default"), "default");
  EXPECT_EQ(store.GetValueNames("Files"), (std::vector<std::string>{"Pictures", "LOGfile", "Orders"}));
  EXPECT_EQ(store.GetSectionPaths(), (std::vector<std::string>{"Files", "Company"}));

  store.WriteString("Export", "Format", "1");
  EXPECT_FALSE(store.DeleteValue("Files", "Orders")); // only a preset: nothing of the user's to delete
  EXPECT_TRUE(store.DeleteValue("Files", "Pictures"));
  EXPECT_EQ(store.ReadString("Files", "Pictures"), "/srv/pictures"); // the preset shows through again
  store.Save();

  EXPECT_EQ(ReadFileBytes(SystemFile()), presets);
  EXPECT_EQ(ReadFileBytes(UserFile()), "[Files]\nLOGfile=/home/jan/log\n\n[Export]\nFormat=1\n");
}

// ---- Two instances ------------------------------------------------------------------------

// Two processes save over and over while this one keeps reading: every read sees a whole
// file, nothing is ever taken for a bad file, no temporary file stays behind, and the file
// ends with the last save of one of them.
TEST_F(SettingsStoreTest, InstancesSavingAtOnceNeverLeaveABrokenFile) {
  constexpr int kRounds = 150;
  std::vector<pid_t> children;
  for (int writer = 0; writer < 2; ++writer) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int code = 0;
      try {
        for (int round = 0; round < kRounds; ++round) {
          TSettingsStore store = Loaded();
          if (!store.LoadProblem().empty())
            code = 1;
          const std::string section = "Writer" + std::to_string(writer);
          store.WriteInteger(section, "Round", round);
          store.WriteString(section, "Payload", std::string(static_cast<size_t>(2000 + round * 7), 'a' + writer));
          store.Save();
        }
      } catch (...) {
        code = 2;
      }
      ::_exit(code);
    }
    children.push_back(pid);
  }
  int badReads = 0;
  for (int i = 0; i < 300; ++i) {
    const TSettingsStore store = Loaded();
    if (!store.LoadProblem().empty())
      ++badReads;
  }
  for (const pid_t pid : children) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "writer status " << status;
  }
  EXPECT_EQ(badReads, 0);
  EXPECT_EQ(UserFolderFiles(), std::vector<std::string>{"test.ini"});

  const TSettingsStore last = Loaded();
  EXPECT_EQ(last.LoadProblem(), "");
  const bool oneFinished = last.ReadInteger("Writer0", "Round", -1) == kRounds - 1 ||
                           last.ReadInteger("Writer1", "Round", -1) == kRounds - 1;
  EXPECT_TRUE(oneFinished);
}

// ---- Where the files are ------------------------------------------------------------------

TEST_F(SettingsStoreTest, FoldersFollowTheXdgVariables) {
  {
    TEnvOverride home("XDG_CONFIG_HOME", Dir.File("cfg").c_str());
    const std::string dirs = "relative/ignored::" + Dir.File("sys1") + ":" + Dir.File("sys2");
    TEnvOverride system("XDG_CONFIG_DIRS", dirs.c_str());
    EXPECT_EQ(UserSettingsFolder(), Dir.File("cfg") + "/T.V.X.");
    EXPECT_EQ(SystemSettingsFolder(), Dir.File("sys1") + "/T.V.X.");

    fs::create_directories(Dir.File("cfg/T.V.X."));
    WriteFileBytes(Dir.File("cfg/T.V.X./objednavky.ini"), "[Files]\nOrders=o\n");
    const TSettingsStore store = OpenSettingsKey("objednavky");
    EXPECT_EQ(store.FileName(), Dir.File("cfg") + "/T.V.X./objednavky.ini");
    EXPECT_EQ(store.RootKey(), "Software\\T.V.X.\\objednavky");
    EXPECT_EQ(store.ReadString("Files", "Orders"), "o");
  }
  {
    TEnvOverride home("XDG_CONFIG_HOME", "relative");
    TEnvOverride user("HOME", Dir.File("home").c_str());
    TEnvOverride system("XDG_CONFIG_DIRS", nullptr);
    EXPECT_EQ(UserSettingsFolder(), Dir.File("home") + "/.config/T.V.X.");
    EXPECT_EQ(SystemSettingsFolder(), "/etc/xdg/T.V.X.");
  }
}

TEST_F(SettingsStoreTest, ProgramNamesThatAreNotPlainFileNamesAreRefused) {
  for (const std::string name : {"", ".", "..", "../evil", "a/b", "a\\b"}) {
    SCOPED_TRACE(name);
    EXPECT_THROW(TSettingsStore(name, UserFolder(), SystemFolder()), Exception);
  }
  EXPECT_EQ(TSettingsStore(Cz("Objednávky"), UserFolder(), SystemFolder()).FileName(),
            UserFolder() + "/Objednávky.ini");
}

} // namespace
