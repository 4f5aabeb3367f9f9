#include <gtest/gtest.h>

#include <sstream>

#include "catalogue/KartyFixture.h"
#include "catalogue/OkruhyFixture.h"
#include "cli/CliTestSupport.h"
#include "support/TestSupport.h"

namespace {

// A throw-away profile, four cards and a table of groups beside them.
class ExprCommandsTest : public CliProfileTest {
protected:
  ExprCommandsTest() {
    WriteKarty(Karty,
               {{"Kod", 'C', 10}, {"Nazev", 'C', 30}, {"Cena", 'N', 10, 2}, {"SKUPINA1", 'C', 10}, {"ZASOBA", 'N', 8}},
               {{{"Kod", "1001"}, {"Nazev", "Čaj zelený"}, {"Cena", "50"}, {"SKUPINA1", "0120"}, {"ZASOBA", "10"}},
                {{"Kod", "1002"}, {"Nazev", "Čaj černý"}, {"Cena", "150"}, {"SKUPINA1", "120"}, {"ZASOBA", "0"}},
                {{"Kod", "2001"}, {"Nazev", "Káva"}, {"Cena", "250"}, {"SKUPINA1", "0121"}, {"ZASOBA", "5"}},
                {{"Kod", "3001"}, {"Nazev", "Cukr"}, {"Cena", "20"}, {"SKUPINA1", "0300"}, {"ZASOBA", "1"}}});
    WriteOkruhy(Okruhy, {
                            {"", "1", "Nápoje", "", "1"},
                            {"1", "10", "Čaj"},
                            {"1", "20", "Čaj"},
                            {"", "", "Skupiny 0120/0121", "SKUPINA1='0120' OR SKUPINA1='0121'", "1"},
                            {"", "X", "Drahé skladem", "Cena>100 AND ZASOBA>0"},
                            {"", "3", "Špatný výraz", "Cena >"},
                        });
  }

  std::string Karty = Dir.File("KARTY.DBF");
  std::string Okruhy = Dir.File("OKRUHY.DBF");
};

TEST_F(ExprCommandsTest, GroupsPrintsTheTreeAndTheTabs) {
  const CliResult r = Run({"groups", "--karty", Karty, "--okruhy", Okruhy});
  EXPECT_EQ(r.Code, 0) << r.Err;
  EXPECT_EQ(r.Out, "0\tOkruhy zboží\t\t-\n"
                   "1\tNápoje\t1\t-\n"
                   "2\tČaj\t10+20\t-\n"
                   "1\tSkupiny 0120/0121\t\tSKUPINA1='0120' OR SKUPINA1='0121'\n"
                   "1\tDrahé skladem\tX\tCena>100 AND ZASOBA>0\n"
                   "1\tŠpatný výraz\t3\t-\n"
                   "tabs\tVše\tNápoje\tSkupiny 0120/0121\n");
}

TEST_F(ExprCommandsTest, GroupsSelectPrintsTheCardsTheGridShows) {
  const struct {
    const char* Node;
    const char* Out;
  } cases[] = {
      // In the order of the loaded list (sorted as the grid's default layout sorts).
      {"0", "1002\n1001\n3001\n2001\n"}, // the root shows every card
      {"2", "1002\n1001\n2001\n"},       // codes 10 and 20
      {"3", "1001\n2001\n"},             // SKUPINA1 '0120' or '0121'; 120 is another text
      {"4", "2001\n"},
      {"5", "3001\n"}, // the expression does not compile: the code prefix 3
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Node);
    const CliResult r = Run({"groups", "select", "--karty", Karty, "--okruhy", Okruhy, c.Node});
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Out, c.Out);
  }
}

TEST_F(ExprCommandsTest, GroupsReadTheFilesOfTheSettings) {
  ASSERT_EQ(Run({"settings", "set", "Files", "PriceList", Karty}).Code, 0);
  ASSERT_EQ(Run({"settings", "set", "Files", "Groups", Okruhy}).Code, 0);
  EXPECT_EQ(Run({"groups", "select", "4"}).Out, "2001\n");
  // Without a groups file only the root is left.
  EXPECT_EQ(Run({"groups", "--okruhy", Dir.File("NONE.DBF")}).Out, "0\tOkruhy zboží\t\t-\ntabs\tVše\n");
}

TEST_F(ExprCommandsTest, GroupsFailuresAreReported) {
  WriteOkruhy(Okruhy, {{"", "1", "Nápoje"}}, {"Okruh", "Podokruh"});
  CliResult r = Run({"groups", "--karty", Karty, "--okruhy", Okruhy});
  EXPECT_EQ(r.Code, 1);
  EXPECT_EQ(r.Err, "Soubor " + Okruhy + " nemá formát použitelný pro import okruhů\n");

  // Three nodes: the root, "Nápoje" and the merged "Čaj".
  WriteOkruhy(Okruhy, {{"", "1", "Nápoje"}, {"1", "10", "Čaj"}, {"1", "20", "Čaj"}});
  EXPECT_EQ(Run({"groups", "select", "--karty", Karty, "--okruhy", Okruhy, "2"}).Code, 0);
  for (const char* node : {"3", "x", "-1", "", "99999999999"}) {
    SCOPED_TRACE(node);
    r = Run({"groups", "select", "--karty", Karty, "--okruhy", Okruhy, "--", node});
    EXPECT_EQ(r.Code, 2);
  }
  EXPECT_EQ(Run({"groups", "select", "--karty", Karty}).Code, 2);
}

TEST_F(ExprCommandsTest, ExprEvaluatesEachExpressionForTheCard) {
  const CliResult r = Run({"expr", "--karty", Karty, "--card", "1002", "Kod", "Nazev", "Cena*2", "SKUPINA1='0120'",
                           "skupina1=120", "SETVAR('x', Cena)", "GETVAR('X')+1", "1/0", "'abc", "Název", "'a\tb\\c'"});
  EXPECT_EQ(r.Code, 0) << r.Err;
  EXPECT_EQ(r.Out, "text\t1002\n"
                   "text\tČaj černý\n"
                   "number\t300\n"
                   "number\t0\n"
                   "number\t1\n"
                   "text\t\n"
                   "number\t151\n"
                   "error\t25\n"
                   "compile\t12\n"
                   "compile\t15\n"
                   "text\ta\\tb\\\\c\n");
}

// Objednano and ObjBal read the line of the card in the order file, plain or packed alike.
TEST_F(ExprCommandsTest, ExprReadsTheOrderedQuantitiesFromTheOrderFile) {
  const std::string order = Dir.File("a.obx");
  WriteFileBytes(order, "[General]\r\nOrderID=X1\r\n\r\n[OrderItems]\r\n1=1002|12|2|6\r\n");
  const CliResult r =
      Run({"expr", "--karty", Karty, "--card", "1002", "--order", order, "Objednano", "ObjBal", "Objednano>0"});
  EXPECT_EQ(r.Code, 0) << r.Err;
  EXPECT_EQ(r.Out, "number\t12\nnumber\t2\nnumber\t1\n");
  const CliResult other = Run({"expr", "--karty", Karty, "--card", "1001", "--order", order, "Objednano"});
  EXPECT_EQ(other.Out, "number\t0\n");
}

TEST_F(ExprCommandsTest, ExprWithoutACardKnowsTheNamesButNotTheValues) {
  const CliResult r = Run({"expr", "1+1", "Kod", "objednano>0", "2.5", "1/3"});
  EXPECT_EQ(r.Code, 0) << r.Err;
  EXPECT_EQ(r.Out, "number\t2\nerror\t20\nerror\t20\nnumber\t2.5\nnumber\t0.33333\n");
}

TEST_F(ExprCommandsTest, ExprFailuresAreReported) {
  CliResult r = Run({"expr", "--karty", Karty, "--card", "9999", "Kod"});
  EXPECT_EQ(r.Code, 1);
  EXPECT_EQ(r.Err, "Karta 9999 nebyla v ceníku nalezena.\n");
  EXPECT_EQ(Run({"expr", "--karty", Karty, "Kod"}).Code, 2);
  EXPECT_EQ(Run({"expr"}).Code, 2);
}

} // namespace
