#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "cli/Cli.h"
#include "cli/OrderSendCommands.h"
#include "comm/FakeSmtp.h"
#include "comm/SmtpClient.h"
#include "comm/TavBin.h"
#include "comm/TavServer.h"
#include "core/DateFormat.h"
#include "core/Errors.h"
#include "core/Paths.h"
#include "formats/Cp1250Utf8.h"
#include "orders/DeliveryDates.h"
#include "orders/Order.h"
#include "orders/OrderFile.h"
#include "support/TestSupport.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

namespace fs = std::filesystem;

// A throw-away profile (settings "obj", the log and the temporary folder inside the folder),
// a price list of one card behind a fake source, a stand-in for xdg-email that keeps what it
// was handed, and an order file of one line for a delivery day next week.
class OrderSendCommand : public ::testing::Test {
protected:
  OrderSendCommand()
      : FConfigHome("XDG_CONFIG_HOME", Dir.File("config").c_str()),
        FConfigDirs("XDG_CONFIG_DIRS", Dir.File("xdg").c_str()), FHome("HOME", Dir.File("home").c_str()),
        FDataHome("XDG_DATA_HOME", Dir.File("home/data").c_str()), FTmp("TMPDIR", Dir.File("tmp").c_str()) {
    fs::create_directories(Dir.File("config/T.V.X."));
    fs::create_directories(Dir.File("tmp"));
    WriteSettings("");
    Card.Kod = "V1";
    Card.Nazev = Cz("Zboží V1");
    Card.Jednotka = "ks";
    Card.Baleni = 6;
    WriteFileBytes(Tool(), "#!/bin/sh\nprintf '%s\\0' \"$@\" > '" + Dir.File("args") +
                               "'\nfor a; do last=$a; done\ncp \"$last\" '" + Dir.File("attached") + "'\nexit 0\n");
    chmod(Tool().c_str(), 0755);
    Channels.Mapi.ProgramPath = Tool();
    Delivery = NextDeliveryDay(Today() + 7, TDeliveryRules{});
    WriteOrder(0);
  }
  void WriteSettings(const std::string& others, const std::string& files = "") {
    WriteFileBytes(Dir.File("config/T.V.X./obj.ini"), "[Files]\nLOGfile=" + Dir.File("obj.log") + "\n" + files +
                                                          "[Supplier]\nE-Mail=obj@dodavatel.cz\n[Others]\n" +
                                                          "CopyIni=1\n" + others);
  }
  void WriteOrder(TDateTime sent, TDateTime delivery = -1) {
    const std::string stamp = sent == 0 ? "" : FormatDateTime("dd.mm.yyyy hh:nn", sent, Locale::Czech());
    WriteFileBytes(File(), Cz("[General]\r\nDeliveryDate=") +
                               FormatDateTime("dd.mm.yyyy", delivery < 0 ? Delivery : delivery, Locale::Czech()) +
                               "\r\nSent=" + stamp +
                               Cz("\r\nOrderID=AB1\r\n\r\n[OrderItems]\r\n1=V1|2|0|6|Zboží V1|ks\r\n"));
  }
  std::string File() const { return Dir.File("Pondělí.obx"); }
  std::string Tool() const { return Dir.File("xdg-email"); }
  bool ToolRan() const { return fs::exists(Dir.File("args")); }
  std::vector<std::string> TempFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(Dir.File("tmp")))
      names.push_back(entry.path().filename().string());
    return names;
  }
  TDateTime SentInFile() const {
    TOrder order;
    TOrderFileOptions options;
    const Locale czech = Locale::Czech();
    options.Conventions = &czech;
    ReadOrderFile(order, Cz(File()), options);
    return order.Sent;
  }

  int Run(std::vector<std::string> words, const std::string& input = "") {
    std::istringstream in(input);
    std::vector<CliCommand> commands;
    AddOrderSendCommands(
        commands,
        [this](const std::string&, const TAppSettings&) {
          return TCommandCards{[this](const std::string& code) { return code == "V1" ? &Card : nullptr; }, nullptr,
                               false};
        },
        in, Channels);
    Out.str("");
    Err.str("");
    words.insert(words.begin(), {"--program", "obj"});
    try {
      return commands.at(0).Run(ParseCliArgs(words, commands[0].ValueOptions, commands[0].FlagOptions), Out, Err);
    } catch (const Exception& e) { // as the dispatcher does
      Err << Cp1250ToUtf8(e.what()) << "\n";
      return 1;
    }
  }

  TempDir Dir;
  TPriceListItem Card;
  TOrderSendChannels Channels;
  TDateTime Delivery = 0;
  std::ostringstream Out, Err;

private:
  TEnvOverride FConfigHome, FConfigDirs, FHome, FDataHome, FTmp;
};

TEST_F(OrderSendCommand, SendsThroughTheMailProgramAndKeepsTheStamp) {
  ASSERT_EQ(Run({"--karty", "k.dbf", "--yes", File()}), 0) << Err.str();
  EXPECT_THAT(Out.str(), HasSubstr("sent\t" + FormatDateTime("dd.mm.yyyy", Now(), Locale::Czech()) + " "));
  EXPECT_THAT(ReadFileBytes(Dir.File("args")), HasSubstr(Dir.File("tmp") + "/Pondělí.obx"));
  EXPECT_THAT(ReadFileBytes(Dir.File("attached")), HasSubstr("OrderID=AB1"));
  EXPECT_THAT(TempFiles(), IsEmpty());
  EXPECT_GT(SentInFile(), Now() - 1);
  EXPECT_THAT(Cp1250ToUtf8(ReadFileBytes(Dir.File("obj.log"))),
              HasSubstr("Objednávka připravena k odeslání (položek: 1)"));
}

TEST_F(OrderSendCommand, RepeatedSendIsAskedOnTheTerminal) {
  const TDateTime earlier = EncodeDate(2025, 3, 14) + 0.5;
  struct TCase {
    const char* Input;
    std::vector<std::string> Flags;
    int Exit;
  };
  const TCase kCases[] = {{"n\n", {}, 1}, {"", {}, 1}, {"y\n", {}, 0}, {"", {"--yes"}, 0}};
  for (const TCase& c : kCases) {
    SCOPED_TRACE(std::string(c.Input) + (c.Flags.empty() ? "" : " --yes"));
    WriteOrder(earlier);
    fs::remove(Dir.File("args"));
    std::vector<std::string> words = {"--karty", "k.dbf"};
    words.insert(words.end(), c.Flags.begin(), c.Flags.end());
    words.push_back(File());
    EXPECT_EQ(Run(words, c.Input), c.Exit) << Err.str();
    EXPECT_THAT(Err.str(), HasSubstr("Objednávka již byla odeslána 14.03.2025 12:00.\nPřejete si ji odeslat znovu ?"));
    EXPECT_EQ(ToolRan(), c.Exit == 0);
    if (c.Exit != 0) {
      EXPECT_EQ(SentInFile(), earlier); // the file stays as it was
    }
  }
}

TEST_F(OrderSendCommand, RefusalsEndWithoutSending) {
  // A Sunday fails the quick test, and there is no dialog to correct it.
  const TDateTime sunday = Delivery + (7 - DeliveryWeekday(Delivery));
  WriteOrder(0, sunday);
  EXPECT_EQ(Run({"--karty", "k.dbf", "--yes", File()}), 1);
  EXPECT_THAT(Err.str(), HasSubstr("delivery date refused: Nepovolený den dodání (neděle"));

  // Without a price list every line would be left out of the file.
  WriteOrder(0);
  EXPECT_EQ(Run({"--yes", File()}), 1);
  EXPECT_THAT(Err.str(), HasSubstr("no price list"));

  EXPECT_FALSE(ToolRan());
  EXPECT_THAT(TempFiles(), IsEmpty());
  EXPECT_EQ(SentInFile(), 0);
}

TEST_F(OrderSendCommand, ConnectedUploadSendsThroughTheServer) {
  WriteSettings("MailSendFormat=2\n");
  std::vector<std::string> uploaded;
  Channels.Upload = [&](const std::string& fileName) {
    uploaded.push_back(Cp1250ToUtf8(fileName));
    return fs::exists(NativeFileName(fileName));
  };
  ASSERT_EQ(Run({"--karty", "k.dbf", "--yes", File()}), 0) << Err.str();
  EXPECT_THAT(uploaded, ElementsAre(Dir.File("tmp") + "/Pondělí.obx"));
  EXPECT_THAT(Err.str(), HasSubstr("Objednávka odeslána přes komunikační server dodavatele\na server"));
  EXPECT_GT(SentInFile(), 0);
  EXPECT_THAT(TempFiles(), IsEmpty());
  EXPECT_FALSE(ToolRan());

  Channels.Upload = [](const std::string&) { return false; };
  WriteOrder(0);
  EXPECT_EQ(Run({"--karty", "k.dbf", "--yes", File()}), 1);
  EXPECT_THAT(Err.str(), HasSubstr("Chyba při odesílání dat přes internet (TAV)"));
  EXPECT_EQ(SentInFile(), 0);
}

// The companion server on loopback takes the order; a wrong password leaves it unsent.
TEST_F(OrderSendCommand, TavChannelUploadsToTheCompanionServer) {
  TTavServerOptions options;
  options.Root = Dir.File("root");
  options.User = "odberatel";
  options.Password = "heslo";
  options.WaitMs = 5000;
  TTavServer server(options);
  server.Start();
  TTavConnection connection;
  connection.Host = "127.0.0.1";
  connection.Port = server.Port();
  connection.User = options.User;
  connection.Password = options.Password;
  WriteTavBin(Dir.File("TAV.BIN"), connection);
  WriteSettings("MailSendFormat=2\n", "TAVBin=" + Dir.File("TAV.BIN") + "\n");

  ASSERT_EQ(Run({"--karty", "k.dbf", "--yes", File()}), 0) << Err.str();
  std::vector<std::string> received;
  for (const auto& entry : fs::directory_iterator(Dir.Path() / "root" / "incoming"))
    received.push_back(ReadFileBytes(entry.path().string()));
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].rfind("[General]\r\n", 0), 0u);
  EXPECT_THAT(Err.str(), HasSubstr("Objednávka odeslána přes komunikační server dodavatele"));
  EXPECT_GT(SentInFile(), 0);
  EXPECT_THAT(TempFiles(), IsEmpty());

  connection.Password = "jine";
  WriteTavBin(Dir.File("TAV.BIN"), connection);
  WriteOrder(0);
  EXPECT_EQ(Run({"--karty", "k.dbf", "--yes", File()}), 1);
  EXPECT_THAT(Err.str(), HasSubstr("Chyba při odesílání dat přes internet (TAV)"));
  EXPECT_EQ(SentInFile(), 0);
  EXPECT_THAT(TempFiles(), IsEmpty());
}

TEST_F(OrderSendCommand, SmtpChannelPressesSendOnce) {
  WriteSettings("MailSendFormat=1\nSMTPServer=smtp.firma.cz\n[Company]\ne-mail=jan@firma.cz\n");
  TFakeSmtp smtp;
  Channels.Smtp = &smtp;
  ASSERT_EQ(Run({"--karty", "k.dbf", File()}), 0) << Err.str();
  ASSERT_EQ(smtp.Sent.size(), 1u);
  EXPECT_EQ(smtp.Sent[0].Recipients, "obj@dodavatel.cz");
  EXPECT_THAT(smtp.Sent[0].Message, HasSubstr("filename*=UTF-8''Pond%C4%9Bl%C3%AD.obx"));
  EXPECT_GT(SentInFile(), 0);
  EXPECT_THAT(TempFiles(), IsEmpty());

  // A refusal names the server's reason; nothing is stamped.
  smtp.Accept = false;
  WriteOrder(0);
  EXPECT_EQ(Run({"--karty", "k.dbf", File()}), 1);
  EXPECT_THAT(Err.str(), HasSubstr("Chyba při odesílání pošty (554 no)"));
  EXPECT_EQ(SentInFile(), 0);
  EXPECT_THAT(TempFiles(), IsEmpty());
}

} // namespace
