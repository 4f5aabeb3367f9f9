#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <stdexcept>

#include "cli/OrderCommands.h"
#include "formats/Cp1250Utf8.h"
#include "support/TestSupport.h"

namespace {

class OrderEnterTest : public testing::Test {
protected:
  OrderEnterTest() {
    // 6 bottles a crate at 10.00 + 21 %; crate 100 and bottle 3, both + 21 %; multiple 12.
    TPriceListItem& wine = Add("V1", Cz("Víno"), 10, 6);
    wine.SazbaDPH = wine.SAZBALAHEV = wine.SAZBAPREPR = 21;
    wine.CENAPREPR = 100;
    wine.CENALAHEV = 3;
    wine.OBJPOCETB = 12;
    TPriceListItem& cheese = Add(Cz("Č-7"), Cz("Sýr"), 2.5, 1);
    cheese.Jednotka = "kg";
    TPriceListItem& glass = Add("S1", "Sklo", 1, 1);
    glass.PRIZNAKY = 8;
  }
  TPriceListItem& Add(const std::string& code, const std::string& name, double price, double package) {
    TPriceListItem& card = Cards[code];
    card.Kod = code;
    card.Nazev = name;
    card.Jednotka = "ks";
    card.Cena = price;
    card.Baleni = package;
    return card;
  }
  TCardLookup Lookup() {
    return [this](const std::string& code) -> TPriceListItem* {
      auto it = Cards.find(code);
      return it == Cards.end() ? nullptr : &it->second;
    };
  }
  std::string Enter(const std::string& input) {
    std::istringstream in(input);
    std::ostringstream out;
    RunOrderEnter(Order, Lookup(), Rules, in, out);
    return out.str();
  }

  std::map<std::string, TPriceListItem> Cards;
  TOrder Order;
  TQuantityRules Rules;
};

TEST_F(OrderEnterTest, MessagesThenLinesThenTotals) {
  const std::string out = Enter("V1\t1\t3\n"        // 3 crates
                                "Č-7\t0\t1,25\r\n"  // CR LF input, decimal comma
                                "S1\t0\t2,5\n"      // whole units only
                                "V1\t0\t13\n"       // multiple 12 of package size 6
                                "Č-7\t0\t5000000\n" // beyond MaxAmount: the line goes again
                                "Č-7\t1\t0.5\n");   // and comes back at the end
  EXPECT_EQ(out, "\n"
                 "\n"
                 "U karty S1 Sklo\\rlze objednat pouze po 1 ks.\\rObjednané množství bylo upraveno na 3 ks.\n"
                 "U karty V1 Víno\\rlze objednat pouze po 6 ks.\\rObjednané množství bylo upraveno na 12 ks.\n"
                 "Hodnota je mimo povolený rozsah\n"
                 "\n"
                 "line\tV1\t12\t3\n"
                 "line\tS1\t3\t0\n"
                 "line\tČ-7\t0\t0.5\n"
                 // 300 + 3 + 1.25; 363 + 3 + 1.25 to tenths; 3 * 121 + 30 * 3.63
                 "totals\t304.25\t367.30\t471.90\n");
}

TEST_F(OrderEnterTest, NoInputGivesEmptyTotals) { EXPECT_EQ(Enter(""), "totals\t0.00\t0.00\t0.00\n"); }

TEST_F(OrderEnterTest, RulesFollowTheSettings) {
  Rules.EnableWholePackage = 0;
  EXPECT_EQ(Enter("V1\t0\t13\n"), "\nline\tV1\t13\t0\ntotals\t130.00\t157.30\t47.19\n");
}

TEST_F(OrderEnterTest, BadInputStopsWithTheLineNumberAndKeepsEarlierEntries) {
  const std::pair<const char*, const char*> cases[] = {
      {"V1 0 5", "line 2: expected CODE<TAB>COLUMN<TAB>TEXT"},  {"V1\t5", "line 2: expected CODE<TAB>COLUMN<TAB>TEXT"},
      {"V1\t2\t5", "line 2: COLUMN must be 0 or 1, not \"2\""}, {"V1\t\t5", "line 2: COLUMN must be 0 or 1, not \"\""},
      {"XX\t0\t5", "line 2: no card with the code \"XX\""},     {"", "line 2: expected CODE<TAB>COLUMN<TAB>TEXT"},
  };
  for (const auto& [bad, error] : cases) {
    SCOPED_TRACE(bad);
    TOrder order;
    std::istringstream in(std::string("S1\t0\t4\n") + bad + "\nS1\t0\t9\n");
    std::ostringstream out;
    try {
      RunOrderEnter(order, Lookup(), Rules, in, out);
      ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()), error);
    }
    ASSERT_EQ(order.Count(), 1);
    EXPECT_EQ(order.Line(0).Quantity, 4);
  }
}

// The registered command: settings of a throw-away profile, the price list from the source.
TEST_F(OrderEnterTest, CommandLoadsSettingsAndPassesTheCardFile) {
  TempDir dir;
  TEnvOverride configHome("XDG_CONFIG_HOME", dir.File("config").c_str());
  TEnvOverride configDirs("XDG_CONFIG_DIRS", dir.File("xdg").c_str());
  TEnvOverride home("HOME", dir.File("home").c_str());
  TEnvOverride dataHome("XDG_DATA_HOME", dir.File("home/data").c_str());
  std::filesystem::create_directories(dir.File("config/T.V.X."));
  WriteFileBytes(dir.File("config/T.V.X./obj.ini"), "[Others]\nCopyIni=1\nMaxAmount=150\nNoPackages=1\n");

  std::string askedFile;
  const TCommandCardSource source = [&](const std::string& karty, const TAppSettings&) {
    askedFile = karty;
    return TCommandCards{Lookup(), nullptr};
  };
  std::istringstream in("V1\t0\t13\nV1\t0\t151\nV1\t0\t150\n");
  std::vector<CliCommand> commands;
  AddOrderCommands(commands, source, in);
  ASSERT_EQ(commands.size(), 2u);
  const CliCommand& command = commands[0];
  EXPECT_EQ(command.Words, (std::vector<std::string>{"order", "enter"}));

  std::ostringstream out, err;
  const CliArgs args = ParseCliArgs({"--program", "obj", "--karty", "Karty Č.DBF"}, command.ValueOptions);
  EXPECT_EQ(command.Run(args, out, err), 0) << err.str();
  EXPECT_EQ(askedFile, Cz("Karty Č.DBF"));
  // No multiples in the no-packages mode; 150 is the largest quantity.
  EXPECT_EQ(out.str(), "\nHodnota je mimo povolený rozsah\n\nline\tV1\t150\t0\ntotals\t1500.00\t1815.00\t544.50\n");
}

} // namespace
