#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <sstream>
#include <sys/stat.h>
#include <utime.h>

#include "cli/Cli.h"
#include "formats/Cp1250Utf8.h"
#include "formats/LzhCodec.h"
#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

struct TRun {
  int Code;
  std::string Out;
  std::string Err;
};

TRun Cli(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int code = RunCli(args, out, err);
  return {code, out.str(), err.str()};
}

void WriteWithTime(const std::string& path, const std::string& bytes, int year, int month, int day, int hour,
                   int minute, int second) {
  WriteFileBytes(path, bytes);
  const std::time_t when = LocalUnixTime(year, month, day, hour, minute, second);
  struct utimbuf times {
    when, when
  };
  ASSERT_EQ(utime(path.c_str(), &times), 0);
}

std::string Compressed(const std::string& data) { return std::to_string(LzhEncodeBytes(data).size()); }

TEST(LzhCommands, PackListUnpackRoundTrip) {
  TempDir dir;
  const std::string karty(3000, 'K');
  const std::string popis = "Ceník zboží\r\n";
  WriteWithTime(dir.File("KARTY.DBF"), karty, 2024, 1, 31, 23, 59, 58);
  WriteWithTime(dir.File("Popis ceníku.txt"), popis, 2019, 3, 15, 10, 20, 30);
  const std::string package = dir.File("CENIK.LZH");

  TRun pack = Cli({"lzh", "pack", package, dir.File("KARTY.DBF"), dir.File("Popis ceníku.txt")});
  ASSERT_EQ(pack.Code, 0) << pack.Err;

  const std::string second = std::to_string(30 + 9 + LzhEncodeBytes(karty).size());
  const TRun list = Cli({"lzh", "list", package});
  ASSERT_EQ(list.Code, 0) << list.Err;
  EXPECT_EQ(list.Out, "0\tKARTY.DBF\t3000\t" + Compressed(karty) + "\t2024-01-31 23:59:58\n" + second +
                          "\tPopis ceníku.txt\t" + std::to_string(popis.size()) + "\t" + Compressed(popis) +
                          "\t2019-03-15 10:20:30\n");

  fs::create_directory(dir.Path() / "out");
  const TRun unpack = Cli({"lzh", "unpack", package, dir.File("out")});
  ASSERT_EQ(unpack.Code, 0) << unpack.Err;
  EXPECT_EQ(unpack.Out, "KARTY.DBF\nPopis ceníku.txt\n");
  EXPECT_EQ(ReadFileBytes(dir.File("out/KARTY.DBF")), karty);
  EXPECT_EQ(ReadFileBytes(dir.File("out/Popis ceníku.txt")), popis);
  struct stat original {
  }, restored{};
  ASSERT_EQ(stat(dir.File("KARTY.DBF").c_str(), &original), 0);
  ASSERT_EQ(stat(dir.File("out/KARTY.DBF").c_str(), &restored), 0);
  EXPECT_EQ(restored.st_mtime, original.st_mtime);
}

TEST(LzhCommands, DamagedPackageEndsTheListing) {
  TempDir dir;
  WriteFileBytes(dir.File("A"), "first");
  WriteFileBytes(dir.File("B"), "second");
  const std::string package = dir.File("P.LZH");
  ASSERT_EQ(Cli({"lzh", "pack", package, dir.File("A"), dir.File("B")}).Code, 0);
  std::string bytes = ReadFileBytes(package);
  const std::size_t second = 30 + 1 + LzhEncodeBytes("first").size();
  bytes[second] = 'X'; // signature of the second entry
  WriteFileBytes(package, bytes);

  const TRun list = Cli({"lzh", "list", package});
  EXPECT_EQ(list.Code, 1);
  EXPECT_EQ(list.Out.substr(0, 3), "0\tA");
  EXPECT_EQ(list.Out.find('\n'), list.Out.size() - 1);
  EXPECT_EQ(list.Err, "Soubor " + package + " nemá správný formát dat\n");

  fs::create_directory(dir.Path() / "out");
  const TRun unpack = Cli({"lzh", "unpack", package, dir.File("out")});
  EXPECT_EQ(unpack.Code, 1);
  EXPECT_TRUE(fs::is_empty(dir.Path() / "out"));
}

TEST(LzhCommands, StoredNamesNeverLeaveTheFolder) {
  for (const std::string name : {"../ESCAPE", "sub/FILE", "sub\\FILE", "C:FILE", ".."}) {
    SCOPED_TRACE(name);
    TempDir dir;
    const std::string stream = LzhEncodeBytes("evil");
    std::string entry("TVX.\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 18);
    for (std::uint32_t v : {static_cast<std::uint32_t>(stream.size()), 4u})
      for (int i = 0; i < 4; i++)
        entry += static_cast<char>(v >> (8 * i));
    entry += static_cast<char>(name.size());
    entry += std::string(3, '\0');
    WriteFileBytes(dir.File("evil.lzh"), entry + name + stream);
    fs::create_directories(dir.Path() / "out" / "sub");
    const TRun unpack = Cli({"lzh", "unpack", dir.File("evil.lzh"), dir.File("out")});
    EXPECT_EQ(unpack.Code, 1);
    EXPECT_EQ(unpack.Err, "Soubor " + dir.File("evil.lzh") + " nemá správný formát dat\n");
    EXPECT_FALSE(fs::exists(dir.Path() / "ESCAPE"));
    EXPECT_TRUE(fs::is_empty(dir.Path() / "out" / "sub"));
  }
}

TEST(LzhCommands, BareStreams) {
  TempDir dir;
  const std::string data = "dBase\x1a řádek 1\r\nřádek 2\r\n";
  WriteFileBytes(dir.File("in"), data);
  ASSERT_EQ(Cli({"lzh", "encode", dir.File("in"), dir.File("stream")}).Code, 0);
  EXPECT_EQ(ReadFileBytes(dir.File("stream")), LzhEncodeBytes(data));
  ASSERT_EQ(Cli({"lzh", "decode", dir.File("stream"), dir.File("out")}).Code, 0);
  EXPECT_EQ(ReadFileBytes(dir.File("out")), data);
}

TEST(LzhCommands, UsageAndMissingFiles) {
  TempDir dir;
  EXPECT_EQ(Cli({"lzh", "list"}).Code, 2);
  EXPECT_EQ(Cli({"lzh", "pack", dir.File("only-output")}).Code, 2);
  const TRun missing = Cli({"lzh", "pack", dir.File("P.LZH"), dir.File("NENI")});
  EXPECT_EQ(missing.Code, 1);
  EXPECT_EQ(missing.Err, "Soubor " + dir.File("NENI") + " nelze otevřít\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 0);
}

} // namespace
