#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "cli/Cli.h"
#include "cli/OrderCommands.h"
#include "core/DateFormat.h"
#include "core/Errors.h"
#include "formats/Cp1250Utf8.h"
#include "formats/LzhEntry.h"
#include "orders/OrderFileFormat.h"
#include "support/TestSupport.h"

namespace {

// A throw-away profile (settings "obj" and the log inside the folder) and a price list of
// two cards behind a fake source.
class OrderShowTest : public testing::Test {
protected:
  OrderShowTest()
      : FConfigHome("XDG_CONFIG_HOME", Dir.File("config").c_str()),
        FConfigDirs("XDG_CONFIG_DIRS", Dir.File("xdg").c_str()), FHome("HOME", Dir.File("home").c_str()),
        FDataHome("XDG_DATA_HOME", Dir.File("home/data").c_str()) {
    std::filesystem::create_directories(Dir.File("config/T.V.X."));
    WriteSettings("");
    for (const char* code : {"V1", "S2"}) {
      TPriceListItem& card = Cards[code];
      card.Kod = code;
      card.Nazev = Cz("Zboží ") + code;
      card.Jednotka = "ks";
      card.Cena = 10;
      card.Baleni = 6;
    }
  }
  void WriteSettings(const std::string& others) {
    WriteFileBytes(Dir.File("config/T.V.X./obj.ini"),
                   "[Files]\nLOGfile=" + Dir.File("obj.log") + "\n[Others]\nCopyIni=1\n" + others);
  }
  // Runs "order enter" or "order show" as registered, with the fake price list.
  int Run(const std::vector<std::string>& words, const std::string& input = "") {
    std::istringstream in(input);
    std::vector<CliCommand> commands;
    AddOrderCommands(
        commands,
        [this](const std::string&, const TAppSettings&) {
          return TCommandCards{[this](const std::string& code) -> TPriceListItem* {
                                 auto it = Cards.find(code);
                                 return it == Cards.end() ? nullptr : &it->second;
                               },
                               nullptr, Verified};
        },
        in);
    Out.str("");
    Err.str("");
    for (const CliCommand& command : commands) {
      if (!std::equal(command.Words.begin(), command.Words.end(), words.begin()))
        continue;
      std::vector<std::string> rest(words.begin() + 2, words.end());
      rest.insert(rest.begin(), {"--program", "obj"});
      try {
        return command.Run(ParseCliArgs(rest, command.ValueOptions, command.FlagOptions), Out, Err);
      } catch (const UsageError&) {
        return 2;
      } catch (const Exception& e) { // as the dispatcher does
        Err << Cp1250ToUtf8(e.what()) << "\n";
        return 1;
      }
    }
    return -1;
  }

  TempDir Dir;
  std::map<std::string, TPriceListItem> Cards;
  bool Verified = false;
  std::ostringstream Out, Err;

private:
  TEnvOverride FConfigHome, FConfigDirs, FHome, FDataHome;
};

TEST_F(OrderShowTest, ShowsAHandWrittenFileInBothForms) {
  const std::string text = Cz("[General]\r\n"
                              "Created=10.03.2025 09:15\r\n"
                              "Changed=\r\n"
                              "DeliveryDate=17.03.2025\r\n"
                              "Sent=bad\r\n"
                              "OrderID=250314AB12\r\n"
                              "[OrderItems]\r\n"
                              "1=V1|12|1,5|6|Zboží|ks\r\n"
                              "3=Č-7|0,25|x\r\n"
                              "[OrderMemo]\r\n"
                              "1=Ráno\tprosím\r\n");
  const std::string expected = "Created\t10.03.2025 09:15\n"
                               "Changed\t\n"
                               "DeliveryDate\t17.03.2025\n"
                               "LatestDeliveryDate\t\n"
                               "Sent\t\n"
                               "OrderID\t250314AB12\n"
                               "line\tV1\t12\t1.5\n"
                               "line\tČ-7\t0.25\t0\n"
                               "memo\tRáno\\tprosím\n"
                               "problem\t1\n";
  for (const bool packed : {false, true}) {
    SCOPED_TRACE(packed);
    WriteFileBytes(Dir.File("a.obx"), packed ? PackOrderFileText(text, "OBX.tmp", 0) : text);
    EXPECT_EQ(Run({"order", "show", Dir.File("a.obx")}), 0) << Err.str();
    EXPECT_EQ(Out.str(), expected);
    EXPECT_NE(Err.str().find("Při načítání objednávky se vyskytl problém"), std::string::npos);
  }
  EXPECT_EQ(Run({"order", "show", Dir.File("none.obx")}), 1);
}

TEST_F(OrderShowTest, EnterSavesWhatShowReads) {
  const std::string file = Dir.File("Objednávka.obx");
  ASSERT_EQ(Run({"order", "enter", "--delivery", "17.03.2025", "--latest", "20.3.2025", "--memo", "první", "--memo",
                 "druhá", "--save", file},
                "S2\t0\t3\nV1\t1\t2\n"),
            0)
      << Err.str();
  const std::string bytes = ReadFileBytes(file);
  EXPECT_EQ(bytes.rfind("[General]\r\n", 0), 0u);
  EXPECT_NE(bytes.find(Cz("FileName=") + Cz(file) + "\r\n"), std::string::npos);
  EXPECT_NE(bytes.find(Cz("[OrderItems]\r\n1=S2|3|0|6|Zboží S2|ks\r\n2=V1|0|2|6|Zboží V1|ks\r\n")), std::string::npos);
  const std::string log = Cp1250ToUtf8(ReadFileBytes(Dir.File("obj.log")));
  EXPECT_NE(log.find("Uloženo 2 položek objednávky"), std::string::npos);

  ASSERT_EQ(Run({"order", "show", file}), 0) << Err.str();
  const std::string out = Out.str();
  EXPECT_NE(out.find("DeliveryDate\t17.03.2025\nLatestDeliveryDate\t20.03.2025\nSent\t\nOrderID\t"), std::string::npos);
  EXPECT_NE(out.find("line\tS2\t3\t0\nline\tV1\t0\t2\nmemo\tprvní\nmemo\tdruhá\nproblem\t0\n"), std::string::npos);
}

TEST_F(OrderShowTest, CopyForSendingAsksUnlessThePriceListIsGood) {
  const std::string today = FormatDateTime("dd.mm.yyyy", Now());
  WriteSettings("PriceEnabled=1\nOrderEncrypt=1\nCreated=" + today + "\nCreatedTime=00:00\n");
  const std::string file = Dir.File("send.obx");
  // Not verified: the warning is asked; --no declines it and nothing is written.
  EXPECT_EQ(Run({"order", "enter", "--save", file, "--for-sending", "--no"}, "V1\t0\t6\n"), 1);
  EXPECT_NE(Err.str().find("Není načtený dostatečně aktuální ceník"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_EQ(Run({"order", "enter", "--save", file, "--for-sending"}, "V1\t0\t6\n"), 0);
  EXPECT_TRUE(IsPackedFile(file));
  std::string text;
  ASSERT_TRUE(UnpackOrderFile(ReadFileBytes(file), file, text));
  EXPECT_NE(text.find("PriceEnabled=0\r\n"), std::string::npos);

  // Verified and fresh: prices, no question.
  Verified = true;
  EXPECT_EQ(Run({"order", "enter", "--save", file, "--for-sending", "--no"}, "V1\t0\t6\n"), 0) << Err.str();
  EXPECT_EQ(Err.str(), "");
  ASSERT_TRUE(UnpackOrderFile(ReadFileBytes(file), file, text));
  EXPECT_NE(text.find("PriceEnabled=1\r\n"), std::string::npos);
  EXPECT_NE(text.find(Cz("1=V1|6|0|6|Zboží V1|ks||10\r\n")), std::string::npos);
}

TEST_F(OrderShowTest, Usage) {
  // A date that is none is the date fields' error, not a usage error.
  EXPECT_EQ(Run({"order", "enter", "--delivery", "someday"}), 1);
  EXPECT_NE(Err.str().find("'someday' není platné datum"), std::string::npos) << Err.str();
  EXPECT_EQ(Run({"order", "enter", "--for-sending"}), 2);
  EXPECT_EQ(Run({"order", "show"}), 2);
  // Registered with the dispatcher.
  std::ostringstream out, err;
  EXPECT_EQ(RunCli({"order", "--help"}, out, err), 0);
  EXPECT_NE(out.str().find("order show"), std::string::npos);
}

} // namespace
