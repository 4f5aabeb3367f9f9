#include "core/FileTypes.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "formats/Cp1250Utf8.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

using TArgv = std::vector<std::string>;

// Every regular file below the folder, as paths relative to it, sorted.
std::vector<std::string> FilesBelow(const fs::path& folder) {
  std::vector<std::string> names;
  if (!fs::is_directory(folder))
    return names;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file())
      names.push_back(fs::relative(entry.path(), folder).string());
  std::sort(names.begin(), names.end());
  return names;
}

const std::string kObxXml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                            "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                            "  <mime-type type=\"application/x-obxfile\">\n"
                            "    <comment>Objednávka skladového systému Orvela</comment>\n"
                            "    <glob pattern=\"*.obx\"/>\n"
                            "  </mime-type>\n"
                            "</mime-info>\n";

const std::string kObxDesktopOpen = "[Desktop Entry]\n"
                                    "Type=Application\n"
                                    "Name=Objednávky\n"
                                    "Comment=Objednávka skladového systému Orvela\n"
                                    "Exec=\"/opt/obj/objednavky\" %f\n"
                                    "MimeType=application/x-obxfile;\n"
                                    "NoDisplay=true\n"
                                    "Terminal=false\n";

const std::string kObxDesktopEdit = kObxDesktopOpen + "Actions=edit;\n"
                                                      "\n"
                                                      "[Desktop Action edit]\n"
                                                      "Name=Upravit objednávku\n"
                                                      "Exec=\"/opt/obj/objednavky\" %f\n";

const std::string kDbcXml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                            "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                            "  <mime-type type=\"application/x-dbcfile\">\n"
                            "    <comment>Komprimovaný ceník ze systému Orvela</comment>\n"
                            "    <glob pattern=\"*.dbc\"/>\n"
                            "  </mime-type>\n"
                            "</mime-info>\n";

const std::string kDbcDesktop = "[Desktop Entry]\n"
                                "Type=Application\n"
                                "Name=Objednávky\n"
                                "Comment=Komprimovaný ceník ze systému Orvela\n"
                                "Exec=\"/opt/obj/objednavky\" %f\n"
                                "MimeType=application/x-dbcfile;\n"
                                "NoDisplay=true\n"
                                "Terminal=false\n";

class FileTypesTest : public ::testing::Test {
protected:
  FileTypesTest() {
    Env.DataHome = Data().string();
    Env.ProgramFile = "/opt/obj/objednavky";
    Env.RunTool = [this](const TArgv& argv) { Runs.push_back(argv); };
  }
  fs::path Data() const { return Dir.Path() / "share"; }
  std::string Read(const std::string& relative) const { return ReadFileBytes((Data() / relative).string()); }
  TArgv MimeRun() const { return {"update-mime-database", (Data() / "mime").string()}; }
  TArgv DesktopRun() const { return {"update-desktop-database", "-q", (Data() / "applications").string()}; }

  TempDir Dir;
  TFileTypeEnvironment Env;
  std::vector<TArgv> Runs;
};

TEST_F(FileTypesTest, OrdersWithOpenOnly) {
  RegisterFileTypes({1, ".obx", false, ".dbc"}, Env);
  EXPECT_EQ(FilesBelow(Data()), (std::vector<std::string>{"applications/objednavky-obxfile.desktop",
                                                          "mime/packages/objednavky-obxfile.xml"}));
  EXPECT_EQ(Read("mime/packages/objednavky-obxfile.xml"), kObxXml);
  EXPECT_EQ(Read("applications/objednavky-obxfile.desktop"), kObxDesktopOpen);
  EXPECT_EQ(Runs, (std::vector<TArgv>{MimeRun(), DesktopRun()}));
}

TEST_F(FileTypesTest, OrdersWithEditActionAndPackages) {
  RegisterFileTypes({2, ".obx", true, ".dbc"}, Env);
  EXPECT_EQ(
      FilesBelow(Data()),
      (std::vector<std::string>{"applications/objednavky-dbcfile.desktop", "applications/objednavky-obxfile.desktop",
                                "mime/packages/objednavky-dbcfile.xml", "mime/packages/objednavky-obxfile.xml"}));
  EXPECT_EQ(Read("mime/packages/objednavky-obxfile.xml"), kObxXml);
  EXPECT_EQ(Read("applications/objednavky-obxfile.desktop"), kObxDesktopEdit);
  EXPECT_EQ(Read("mime/packages/objednavky-dbcfile.xml"), kDbcXml);
  EXPECT_EQ(Read("applications/objednavky-dbcfile.desktop"), kDbcDesktop);
  // The databases are refreshed once for all types.
  EXPECT_EQ(Runs, (std::vector<TArgv>{MimeRun(), DesktopRun()}));
}

TEST_F(FileTypesTest, WhatTheSettingsSelect) {
  struct Case {
    const char* What;
    TFileTypeSettings Settings;
    std::vector<std::string> Files;
  };
  const Case cases[] = {
      {"nothing asked", {0, ".obx", false, ".dbc"}, {}},
      {"unknown RegisterOBX value", {3, ".obx", false, ".dbc"}, {}},
      {"negative RegisterOBX value", {-1, ".obx", false, ".dbc"}, {}},
      {"order extension without the dot", {1, "obx", false, ".dbc"}, {}},
      {"package extension without the dot", {0, ".obx", true, "dbc"}, {}},
      {"empty extensions", {2, "", true, ""}, {}},
      {"packages only",
       {0, ".obx", true, ".CNK"},
       {"applications/objednavky-cnkfile.desktop", "mime/packages/objednavky-cnkfile.xml"}},
      // The identifier takes at most nine characters of the extension.
      {"long extension",
       {1, ".objednavka1", false, ".dbc"},
       {"applications/objednavky-objednavkfile.desktop", "mime/packages/objednavky-objednavkfile.xml"}},
      // Names that would not be safe in a file name, a MIME type or a glob are not registered.
      {"slash in the extension", {1, ".ob/x", false, ".dbc"}, {}},
      {"glob characters", {1, ".*", false, ".dbc"}, {}},
      {"space", {1, ".o x", false, ".dbc"}, {}},
      {"letter with diacritics", {1, Cz(".obč"), false, ".dbc"}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    fs::remove_all(Data());
    Runs.clear();
    RegisterFileTypes(c.Settings, Env);
    EXPECT_EQ(FilesBelow(Data()), c.Files);
    EXPECT_EQ(Runs.empty(), c.Files.empty());
  }
}

TEST(FileTypeNamesTest, IdentifierAndMimeType) {
  EXPECT_EQ(FileTypeProgId(".obx"), "obxfile");
  EXPECT_EQ(FileTypeProgId(".0123456789ab"), "012345678file");
  EXPECT_EQ(FileTypeProgId("."), "file");
  EXPECT_EQ(FileTypeProgId(""), "file");
  EXPECT_EQ(FileTypeMimeType("OBXfile"), "application/x-obxfile");
}

TEST_F(FileTypesTest, UpperCaseExtensionKeepsItsGlobAndLowerCaseType) {
  RegisterFileTypes({1, ".OBX", false, ".dbc"}, Env);
  const std::string xml = Read("mime/packages/objednavky-obxfile.xml");
  EXPECT_NE(xml.find("<mime-type type=\"application/x-obxfile\">"), std::string::npos);
  EXPECT_NE(xml.find("<glob pattern=\"*.OBX\"/>"), std::string::npos);
}

TEST_F(FileTypesTest, UnchangedFilesAreNotRewrittenNorTheDatabasesRefreshed) {
  RegisterFileTypes({1, ".obx", true, ".dbc"}, Env);
  const auto stamp = fs::last_write_time(Data() / "mime/packages/objednavky-obxfile.xml");
  Runs.clear();
  RegisterFileTypes({1, ".obx", true, ".dbc"}, Env);
  EXPECT_TRUE(Runs.empty());
  EXPECT_EQ(fs::last_write_time(Data() / "mime/packages/objednavky-obxfile.xml"), stamp);

  // Switching to the edit action changes the desktop entry only.
  RegisterFileTypes({2, ".obx", true, ".dbc"}, Env);
  EXPECT_EQ(Runs, (std::vector<TArgv>{DesktopRun()}));
  EXPECT_EQ(Read("applications/objednavky-obxfile.desktop"), kObxDesktopEdit);
  // No temporary files are left behind.
  EXPECT_EQ(FilesBelow(Data()).size(), 4u);
}

TEST_F(FileTypesTest, SingleTypeWithItsOwnVerb) {
  RegisterFileType(".xyz", "XyzFile", Cz("Popis & <typ>"), "&Tisk && odeslat", "print", Env);
  EXPECT_EQ(Read("mime/packages/objednavky-xyzfile.xml"),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
            "  <mime-type type=\"application/x-xyzfile\">\n"
            "    <comment>Popis &amp; &lt;typ&gt;</comment>\n"
            "    <glob pattern=\"*.xyz\"/>\n"
            "  </mime-type>\n"
            "</mime-info>\n");
  const std::string desktop = Read("applications/objednavky-xyzfile.desktop");
  EXPECT_NE(desktop.find("Actions=print;\n\n[Desktop Action print]\nName=Tisk & odeslat\n"), std::string::npos);
  EXPECT_EQ(Runs, (std::vector<TArgv>{MimeRun(), DesktopRun()}));

  // A verb that cannot name an action registers nothing.
  fs::remove_all(Data());
  RegisterFileType(".xyz", "XyzFile", "x", "", "pri nt", Env);
  EXPECT_FALSE(fs::exists(Data()));
}

TEST_F(FileTypesTest, ProgramPathIsQuotedForExec) {
  // Inside the quotes '"', '`', '$' and '\' take a backslash, the value's own escaping then
  // doubles every backslash, and '%' is doubled so it is not a field code.
  Env.ProgramFile = "/opt/My Apps/100%/a\"b`c$d\\e/objednavky";
  RegisterFileTypes({2, ".obx", false, ".dbc"}, Env);
  const std::string expected = "Exec=\"/opt/My Apps/100%%/a\\\\\"b\\\\`c\\\\$d\\\\\\\\e/objednavky\" %f\n";
  const std::string desktop = Read("applications/objednavky-obxfile.desktop");
  const size_t first = desktop.find(expected);
  ASSERT_NE(first, std::string::npos) << desktop;
  EXPECT_NE(desktop.find(expected, first + 1), std::string::npos) << "the edit action starts the same";

  // A line break could smuggle in keys of its own: such a path registers nothing.
  fs::remove_all(Data());
  Env.ProgramFile = "/opt/obj\nExec=/bin/evil";
  RegisterFileTypes({1, ".obx", false, ".dbc"}, Env);
  EXPECT_FALSE(fs::exists(Data()));
}

TEST_F(FileTypesTest, NoPlaceToWriteMeansSilentlyNothing) {
  struct Case {
    const char* What;
    std::function<void()> Prepare;
    std::vector<std::string> Files; // what is there afterwards
  };
  const Case cases[] = {
      {"no data folder known", [this] { Env.DataHome.clear(); }, {}},
      {"no program file known", [this] { Env.ProgramFile.clear(); }, {}},
      {"data folder is a file", [this] { WriteFileBytes(Data().string(), "x"); }, {}},
      {"mime folder is a file",
       [this] {
         fs::create_directories(Data());
         WriteFileBytes((Data() / "mime").string(), "x");
         WriteFileBytes((Data() / "applications").string(), "x");
       },
       {"applications", "mime"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    fs::remove_all(Data());
    Env.DataHome = Data().string();
    Env.ProgramFile = "/opt/obj/objednavky";
    Runs.clear();
    c.Prepare();
    EXPECT_NO_THROW(RegisterFileTypes({2, ".obx", true, ".dbc"}, Env));
    EXPECT_TRUE(Runs.empty());
    EXPECT_EQ(FilesBelow(Data()), c.Files);
  }
  if (::geteuid() != 0) { // root writes into read-only folders anyway
    fs::remove_all(Data());
    fs::create_directories(Data());
    ::chmod(Data().c_str(), 0555);
    EXPECT_NO_THROW(RegisterFileTypes({2, ".obx", true, ".dbc"}, Env));
    EXPECT_TRUE(Runs.empty());
    EXPECT_TRUE(fs::is_empty(Data()));
    ::chmod(Data().c_str(), 0755);
  }
}

// The real runner: helper programs are found in PATH, get their arguments without a shell
// and a missing one is no error.
TEST_F(FileTypesTest, HelperProgramsRunFromPathOrNotAtAll) {
  const fs::path bin = Dir.Path() / "bin";
  fs::create_directories(bin);
  const std::string record = Dir.File("runs.txt");
  for (const char* tool : {"update-mime-database", "update-desktop-database"}) {
    const std::string script = "#!/bin/sh\necho \"$0|$*\" >>'" + record + "'\necho noise\necho noise >&2\n";
    WriteFileBytes((bin / tool).string(), script);
    ::chmod((bin / tool).c_str(), 0755);
  }
  Env.RunTool = nullptr;
  Env.DataHome = (Dir.Path() / "a b;$(touch x)").string();
  {
    TEnvOverride path("PATH", bin.c_str());
    RegisterFileTypes({1, ".obx", false, ".dbc"}, Env);
  }
  EXPECT_EQ(ReadFileBytes(record), (bin / "update-mime-database").string() + "|" + Env.DataHome + "/mime\n" +
                                       (bin / "update-desktop-database").string() + "|-q " + Env.DataHome +
                                       "/applications\n");
  EXPECT_FALSE(fs::exists(Dir.Path() / "x"));

  fs::remove_all(Env.DataHome);
  const fs::path empty = Dir.Path() / "empty";
  fs::create_directories(empty);
  TEnvOverride path("PATH", empty.c_str());
  EXPECT_NO_THROW(RegisterFileTypes({1, ".obx", false, ".dbc"}, Env));
  EXPECT_EQ(FilesBelow(Env.DataHome).size(), 2u);
}

// With the real shared-mime-info tool the package must compile into the database.
TEST_F(FileTypesTest, SharedMimeInfoAcceptsThePackage) {
  if (::access("/usr/bin/update-mime-database", X_OK) != 0)
    GTEST_SKIP() << "update-mime-database is not installed";
  Env.RunTool = nullptr;
  RegisterFileTypes({2, ".obx", true, ".dbc"}, Env);
  const std::string globs = Read("mime/globs2");
  EXPECT_NE(globs.find(":application/x-obxfile:*.obx"), std::string::npos) << globs;
  EXPECT_NE(globs.find(":application/x-dbcfile:*.dbc"), std::string::npos) << globs;
}

TEST(FileTypeEnvironmentTest, DataHomeFromXdgOrHome) {
  TEnvOverride home("HOME", "/home/jan");
  struct Case {
    const char* Xdg;
    std::string Expected;
  };
  const Case cases[] = {
      {"/data/share", "/data/share"},
      {nullptr, "/home/jan/.local/share"},
      {"", "/home/jan/.local/share"},
      {"relative/share", "/home/jan/.local/share"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Xdg ? c.Xdg : "(unset)");
    TEnvOverride xdg("XDG_DATA_HOME", c.Xdg);
    const TFileTypeEnvironment env = TFileTypeEnvironment::FromSystem("/opt/obj/objednavky");
    EXPECT_EQ(env.DataHome, c.Expected);
    EXPECT_EQ(env.ProgramFile, "/opt/obj/objednavky");
    EXPECT_EQ(env.ProgramName, "objednavky");
  }
}

} // namespace
