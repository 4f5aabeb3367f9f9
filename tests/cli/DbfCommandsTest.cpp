#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "cli/CliTestSupport.h"
#include "formats/Cp1250Utf8.h"
#include "formats/DBFFile.h"
#include "support/TestSupport.h"

namespace {

class DbfCommandsTest : public ::testing::Test {
protected:
  void SetUp() override {
    TDBFFile table(Utf8ToCp1250(Path), TDBFConversion::Cp852);
    table.AddField("KOD", 'C', 6);
    table.AddField("NAZEV", 'C', 20);
    table.AddField("CENA", 'N', 8, 2);
    table.AddField("DATUM", 'D', 8);
    table.AddField("SKLAD", 'L', 1);
    table.CreateNew();
    const char* rows[][5] = {
        {"A1", "Žluťoučký kůň", "12,5", "29.2.2024", "ano"},
        {"B2", "smazaný", "0", "", "ne"},
        {"C\\3", "tab\there", "-3", "1.1.1999", "T"},
    };
    for (const auto& row : rows) {
      table.Append();
      for (int i = 0; i < 5; ++i)
        table.Fields(i + 1).SetAsString(Utf8ToCp1250(row[i]));
      if (std::string(row[0]) == "B2")
        table.Fields(0).SetAsString("*");
      table.Post();
    }
    table.Close();
  }

  TempDir Dir;
  std::string Path = Dir.File("ceník.dbf");
};

TEST_F(DbfCommandsTest, InfoListsHeaderAndFields) {
  const CliResult r = RunCliCommand({"dbf", "info", Path});
  EXPECT_EQ(r.Code, 0) << r.Err;
  EXPECT_EQ(r.Out, "records\t3\theader\t194\trecord\t44\n"
                   "KOD\tC\t6\t0\n"
                   "NAZEV\tC\t20\t0\n"
                   "CENA\tN\t8\t2\n"
                   "DATUM\tD\t8\t0\n"
                   "SKLAD\tL\t1\t0\n");
}

TEST_F(DbfCommandsTest, InfoShowsTheRecordLengthTheHeaderStates) {
  std::string bytes = ReadFileBytes(Path);
  bytes[10] = 40; // the fields still need 44
  WriteFileBytes(Path, bytes);
  const CliResult r = RunCliCommand({"dbf", "info", Path});
  EXPECT_EQ(r.Code, 0) << r.Err;
  EXPECT_EQ(r.Out.substr(0, r.Out.find('\n')), "records\t3\theader\t194\trecord\t40");
}

TEST_F(DbfCommandsTest, DumpWritesEveryRecordAsUtf8WithEscapes) {
  const CliResult r = RunCliCommand({"dbf", "dump", Path});
  EXPECT_EQ(r.Code, 0) << r.Err;
  EXPECT_EQ(r.Out, "DELFLAG\tKOD\tNAZEV\tCENA\tDATUM\tSKLAD\n"
                   "\tA1\tŽluťoučký kůň\t12.50\t29.02.2024\tT\n"
                   "*\tB2\tsmazaný\t0.00\t\tF\n"
                   "\tC\\\\3\ttab\\there\t-3.00\t01.01.1999\tT\n");
  EXPECT_EQ(r.Err, "");
}

TEST_F(DbfCommandsTest, BrokenFileFailsWithTheCzechMessage) {
  WriteFileBytes(Path, ReadFileBytes(Path).substr(0, 32));
  for (const char* command : {"info", "dump"}) {
    SCOPED_TRACE(command);
    const CliResult r = RunCliCommand({"dbf", command, Path});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Out, "");
    EXPECT_EQ(r.Err, "Soubor " + Path + " není platný DBF soubor\n");
  }
}

TEST_F(DbfCommandsTest, MissingFileFailsAndWrongUsageIsExitTwo) {
  EXPECT_EQ(RunCliCommand({"dbf", "dump", Dir.File("nic.dbf")}).Code, 1);
  EXPECT_EQ(RunCliCommand({"dbf", "info"}).Code, 2);
  EXPECT_EQ(RunCliCommand({"dbf", "dump", Path, Path}).Code, 2);
}

} // namespace
