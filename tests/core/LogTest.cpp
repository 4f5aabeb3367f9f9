#include "core/Log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "formats/Cp1250Utf8.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

TDateTime At(int year, int month, int day, int hour, int minute, int second, int msec = 0) {
  TDateTime time = 0;
  EXPECT_TRUE(TryEncodeTime(hour, minute, second, msec, time));
  return EncodeDate(year, month, day) + time;
}

TEST(LogLineTest, StampThenSpacedColonThenTextThenCrLf) {
  struct Case {
    TDateTime When;
    std::string Text;
    std::string Line;
  };
  const Case cases[] = {
      {At(2024, 3, 5, 9, 7, 3), Cz("Ceník"), "05.03.2024 09:07:03 : Cen\xEDk\r\n"},
      {At(2000, 1, 1, 0, 0, 0), "", "01.01.2000 00:00:00 : \r\n"},
      // Milliseconds are cut off, never rounded up into the next second or day.
      {At(2099, 12, 31, 23, 59, 59, 999), "x", "31.12.2099 23:59:59 : x\r\n"},
      // Line breaks inside the text are written as they stand.
      {At(2024, 3, 5, 9, 7, 3), "a\r\nb", "05.03.2024 09:07:03 : a\r\nb\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Line);
    EXPECT_EQ(FormatLogLine(c.When, c.Text), c.Line);
  }
}

class LogTest : public ::testing::Test {
protected:
  LogTest() {
    Log.SetClock([this] { return Clock; });
  }
  std::string LogFile() const { return Dir.File("objednavky.LOG"); }

  TempDir Dir;
  TDateTime Clock = At(2024, 3, 5, 9, 7, 3);
  TLog Log;
};

TEST_F(LogTest, AppendsToWhatIsThereAndCreatesAMissingFile) {
  Log.SetFileName(LogFile());
  Log.Write(Cz("Start programu"));
  Clock = At(2024, 3, 5, 9, 7, 4);
  Log.Write(Cz("Konec práce"));
  EXPECT_EQ(ReadFileBytes(LogFile()), "05.03.2024 09:07:03 : Start programu\r\n"
                                      "05.03.2024 09:07:04 : Konec pr\xE1\x63\x65\r\n");

  // An existing log, even one whose last line lacks its end, is continued, not replaced.
  WriteFileBytes(LogFile(), "old");
  Log.Write("new");
  EXPECT_EQ(ReadFileBytes(LogFile()), "old05.03.2024 09:07:04 : new\r\n");
}

TEST_F(LogTest, FileNameIsCp1250WithBackslashes) {
  // The settings hold "C:\..."-style names; on this system "\" is a folder separator and the
  // name reaches the file system as UTF-8.
  fs::create_directory(Dir.Path() / "logy");
  Log.SetFileName(Dir.Path().string() + "\\logy\\" + Cz("Deník.LOG"));
  Log.Write("x");
  EXPECT_EQ(ReadFileBytes((Dir.Path() / "logy" / "Deník.LOG").string()), "05.03.2024 09:07:03 : x\r\n");
}

TEST_F(LogTest, OffOrWithoutFileNameWritesNothing) {
  Log.Write("no file name yet");
  Log.SetFileName(LogFile());
  Log.SetEnabled(false);
  Log.Write("off");
  EXPECT_FALSE(fs::exists(LogFile()));
  Log.SetEnabled(true);
  Log.SetFileName("");
  Log.Write("empty name");
  EXPECT_TRUE(fs::is_empty(Dir.Path()));
}

TEST_F(LogTest, FailuresAreSilent) {
  WriteFileBytes(Dir.File("plain"), "");
  fs::create_directory(Dir.Path() / "folder");
  struct Case {
    const char* What;
    std::string FileName;
  };
  std::vector<Case> cases = {
      {"missing folder", Dir.File("missing/objednavky.LOG")},
      {"the name is a folder", Dir.File("folder")},
      {"a file stands where a folder should", Dir.File("plain/objednavky.LOG")},
      {"disk full", "/dev/full"},
  };
  // Root writes into read-only files and folders anyway.
  if (::geteuid() != 0) {
    fs::create_directory(Dir.Path() / "readonly");
    ::chmod(Dir.File("readonly").c_str(), 0555);
    WriteFileBytes(Dir.File("locked.LOG"), "kept");
    ::chmod(Dir.File("locked.LOG").c_str(), 0444);
    cases.push_back({"read-only folder", Dir.File("readonly/objednavky.LOG")});
    cases.push_back({"read-only file", Dir.File("locked.LOG")});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    Log.SetFileName(c.FileName);
    EXPECT_NO_THROW(Log.Write("lost"));
  }
  EXPECT_FALSE(fs::exists(Dir.Path() / "missing"));
  EXPECT_TRUE(fs::is_empty(Dir.Path() / "folder"));
  if (::geteuid() != 0) {
    EXPECT_TRUE(fs::is_empty(Dir.Path() / "readonly"));
    EXPECT_EQ(ReadFileBytes(Dir.File("locked.LOG")), "kept");
    ::chmod(Dir.File("readonly").c_str(), 0755);
  }
}

TEST_F(LogTest, AThrowingClockLosesTheLineOnly) {
  Log.SetFileName(LogFile());
  Log.SetClock([]() -> TDateTime { throw std::runtime_error("clock"); });
  EXPECT_NO_THROW(Log.Write("x"));
  EXPECT_FALSE(fs::exists(LogFile()));
}

TEST(StartEndLogTextTest, ExactTexts) {
  EXPECT_EQ(StartLogText("/opt/obj/objednavky", {}), "Start programu /opt/obj/objednavky, parametry:");
  EXPECT_EQ(StartLogText("/opt/obj/objednavky", {"/bezbaleni", Cz("Objednávka.obx")}),
            Cz("Start programu /opt/obj/objednavky, parametry: /bezbaleni Objednávka.obx"));
  EXPECT_EQ(EndLogText("/opt/obj/objednavky"), Cz("Konec práce s programem /opt/obj/objednavky"));
}

} // namespace
