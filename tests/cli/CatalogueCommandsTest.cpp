#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "catalogue/KartyFixture.h"
#include "cli/Cli.h"
#include "support/TestSupport.h"

namespace {

struct CliResult {
  int Code;
  std::string Out;
  std::string Err;
};

// A throw-away profile and a small price list beside it.
class CatalogueCommandsTest : public ::testing::Test {
protected:
  CatalogueCommandsTest()
      : Home("XDG_CONFIG_HOME", Dir.File("config").c_str()), System("XDG_CONFIG_DIRS", Dir.File("xdg").c_str()),
        Data("XDG_DATA_HOME", Dir.File("data").c_str()) {
    WriteKarty(Karty, {{"Kod", 'C', 10}, {"Nazev", 'C', 30}, {"EAN", 'C', 13}, {"POZNAMKA", 'C', 20}},
               {{{"Kod", "1201"}, {"Nazev", "Černý čaj"}, {"POZNAMKA", "čaj zelený"}},
                {{"Kod", "1200"}, {"Nazev", "Zelený čaj sypaný"}, {"EAN", "8590000000017"}},
                {{"Kod", "Ž1200"}, {"Nazev", "Žluté víno"}},
                {{"Kod", "4500"}, {"Nazev", "Káva"}}});
  }

  CliResult Run(const std::vector<std::string>& args) {
    std::ostringstream out;
    std::ostringstream err;
    const int code = RunCli(args, out, err);
    return {code, out.str(), err.str()};
  }

  TempDir Dir;
  TEnvOverride Home;
  TEnvOverride System;
  TEnvOverride Data;
  std::string Karty = Dir.File("KARTY.DBF");
};

TEST_F(CatalogueCommandsTest, SearchPrintsTheCountTheExactHitAndTheCodes) {
  const struct {
    std::vector<std::string> Args;
    const char* Out;
  } cases[] = {
      // The name words in any order, lower case and diacritics as the user types them.
      {{"--mode", "1", "čaj zelený"}, "matched\t1\texact\t0\trow\t1\n1200\n"},
      // Mode 0 by default: the code holds the text; "1200" is also the exact code of the
      // first match in name order.
      {{"1200"}, "matched\t2\texact\t1\trow\t1\n1200\nŽ1200\n"},
      {{"--mode", "3", "8590000000017"}, "matched\t1\texact\t1\trow\t1\n1200\n"},
      {{"ž1200"}, "matched\t1\texact\t1\trow\t1\nŽ1200\n"},
      // Nothing found: no filter in force, every card has lost its mark.
      {{"--mode", "2", "xyz"}, "matched\t4\texact\t0\trow\t1\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"search", "--karty", Karty};
    args.insert(args.end(), c.Args.begin(), c.Args.end());
    SCOPED_TRACE(c.Args.back());
    const CliResult r = Run(args);
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Out, c.Out);
  }
}

TEST_F(CatalogueCommandsTest, SearchReadsThePriceListAndTheModeFromTheSettings) {
  ASSERT_EQ(Run({"settings", "set", "--program", "shop", "Files", "PriceList", Karty}).Code, 0);
  ASSERT_EQ(Run({"settings", "set", "--program", "shop", "Others", "SearchMode", "2"}).Code, 0);
  // Mode 2 searches codes only, so a name word finds nothing.
  EXPECT_EQ(Run({"search", "--program", "shop", "káva"}).Out, "matched\t4\texact\t0\trow\t1\n");
  EXPECT_EQ(Run({"search", "--program", "shop", "45"}).Out, "matched\t1\texact\t0\trow\t1\n4500\n");
}

TEST_F(CatalogueCommandsTest, SearchFailuresAreReported) {
  const CliResult missing = Run({"search", "--karty", Dir.File("none.dbf"), "x"});
  EXPECT_EQ(missing.Code, 1);
  EXPECT_NE(missing.Err.find("obsahující ceník nebyl nalezen"), std::string::npos) << missing.Err;

  WriteKarty(Karty, {{"Kod", 'C', 10}}, {{{"Kod", "A"}}});
  const CliResult noName = Run({"search", "--karty", Karty, "x"});
  EXPECT_EQ(noName.Code, 1);
  EXPECT_NE(noName.Err.find("nemá formát použitelný pro import ceníku"), std::string::npos) << noName.Err;

  EXPECT_EQ(Run({"search", "--karty", Karty}).Code, 2);
  EXPECT_EQ(Run({"search", "--mode", "5", "x"}).Code, 2);
}

} // namespace
