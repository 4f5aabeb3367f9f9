#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <sys/wait.h>

#include "catalogue/KartyFixture.h"
#include "cli/CliTestSupport.h"
#include "support/TestSupport.h"

namespace {

// A throw-away profile and a small price list beside it.
class CatalogueCommandsTest : public CliProfileTest {
protected:
  CatalogueCommandsTest() {
    WriteKarty(Karty, {{"Kod", 'C', 10}, {"Nazev", 'C', 30}, {"EAN", 'C', 13}, {"POZNAMKA", 'C', 20}},
               {{{"Kod", "1201"}, {"Nazev", "Černý čaj"}, {"POZNAMKA", "čaj zelený"}},
                {{"Kod", "1200"}, {"Nazev", "Zelený čaj sypaný"}, {"EAN", "8590000000017"}},
                {{"Kod", "Ž1200"}, {"Nazev", "Žluté víno"}},
                {{"Kod", "4500"}, {"Nazev", "Káva"}}});
  }

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

TEST_F(CatalogueCommandsTest, CardsListsTheGridCellsInTheGridsOrder) {
  WriteKarty(Karty, {{"Kod", 'C', 10}, {"Nazev", 'C', 30}, {"Cena", 'N', 10, 2}, {"Baleni", 'N', 6}},
             {{{"Kod", "1201"}, {"Nazev", "Černý čaj"}, {"Cena", "12.5"}, {"Baleni", "6"}},
              {{"Kod", "1200"}, {"Nazev", "Zelený čaj"}, {"Cena", "100"}, {"Baleni", "1"}},
              {{"Kod", "4500"}, {"Nazev", "Káva"}, {"Cena", "7.25"}, {"Baleni", "12"}}});
  const struct {
    std::vector<std::string> Args;
    const char* Out;
  } cases[] = {
      // The default layout sorts by name (Č after C, before K), and shows code and name.
      {{}, "1201\tČerný čaj\n4500\tKáva\n1200\tZelený čaj\n"},
      // By the price column; price, the price of a package and the package size as the grid
      // shows them.
      {{"--sort", "4", "--columns", "2,4,29,6"},
       "4500\t    7,25\t   87,00\t12\n1201\t   12,50\t   75,00\t6\n1200\t  100,00\t  100,00\t1\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"cards", "--karty", Karty};
    args.insert(args.end(), c.Args.begin(), c.Args.end());
    const CliResult r = Run(args);
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Out, c.Out);
  }
  EXPECT_EQ(Run({"cards", "--karty", Karty, "--columns", "2,42"}).Code, 2);
  EXPECT_EQ(Run({"cards", "--karty", Karty, "--sort", "x"}).Code, 2);
  EXPECT_EQ(Run({"cards", "--karty", Dir.File("none.dbf")}).Code, 1);
}

#ifdef OBJ_CLI_PATH
// The registered command reads the program's standard input.
TEST_F(CatalogueCommandsTest, OrderEnterAppliesTheEntriesToThePriceListsCards) {
  WriteKarty(Karty, {{"Kod", 'C', 10}, {"Nazev", 'C', 30}, {"Cena", 'N', 10, 2}, {"SazbaDPH", 'N', 5, 1}},
             {{{"Kod", "1200"}, {"Nazev", "Čaj"}, {"Cena", "10"}, {"SazbaDPH", "21"}}});
  WriteFileBytes(Dir.File("in.txt"), "1200\t0\t3\nNOPE\t0\t1\n");
  const std::string command = std::string(OBJ_CLI_PATH) + " order enter --karty '" + Karty + "' < '" +
                              Dir.File("in.txt") + "' > '" + Dir.File("out.txt") + "' 2>/dev/null";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  // The unknown code stops the run after the first entry was applied.
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_EQ(ReadFileBytes(Dir.File("out.txt")), "\n");

  WriteFileBytes(Dir.File("in.txt"), "1200\t0\t3\n");
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(ReadFileBytes(Dir.File("out.txt")), "\nline\t1200\t3\t0\ntotals\t30.00\t36.30\t0.00\n");
}
#endif

} // namespace
