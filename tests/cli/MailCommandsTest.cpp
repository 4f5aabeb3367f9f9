#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "cli/Cli.h"
#include "comm/SmtpFakeServer.h"
#include "support/TestSupport.h"

namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::StartsWith;

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

class SendMailCommand : public ::testing::Test {
protected:
  SendMailCommand() {
    WriteFileBytes(Dir.File("body.txt"), "Příliš žluťoučký kůň\nx=1\n");
    WriteFileBytes(Dir.File("OB090105.obx"), std::string("ORDER\x00\x01\xFF", 8));
  }
  std::vector<std::string> Args(const TFakeSmtpServer& server) const {
    return {"send-mail",
            "--server",
            server.Address(),
            "--from",
            "jan@firma.cz",
            "--to",
            "obj@dodavatel.cz, sklad@dodavatel.cz",
            "--subject",
            "Objednávka zboží",
            "--body-file",
            Dir.File("body.txt")};
  }
  TempDir Dir;
};

TEST_F(SendMailCommand, SendsTheDialogsMessage) {
  TFakeSmtpServer server;
  std::vector<std::string> args = Args(server);
  args.insert(args.end(), {"--person", "Jan Novák", "--organization", "Potraviny Novák", "--attach",
                           Dir.File("OB090105.obx"), "--receipt"});
  const TRun run = Cli(args);
  ASSERT_EQ(run.Code, 0) << run.Err;
  EXPECT_EQ(run.Out, "");
  server.Stop();

  EXPECT_THAT(server.Commands(), Contains(StartsWith("MAIL FROM:<jan@firma.cz>")));
  EXPECT_THAT(server.Commands(), Contains("RCPT TO:<obj@dodavatel.cz>"));
  EXPECT_THAT(server.Commands(), Contains("RCPT TO:<sklad@dodavatel.cz>"));
  const std::string data = server.Data();
  EXPECT_THAT(data, StartsWith("Disposition-Notification-To: jan@firma.cz\r\n"
                               "From: =?UTF-8?Q?Jan_Nov=C3=A1k?= <jan@firma.cz>\r\n"
                               "Organization: =?UTF-8?Q?Potraviny_Nov=C3=A1k?=\r\n"
                               "To: obj@dodavatel.cz, sklad@dodavatel.cz\r\n"
                               "Subject: =?UTF-8?Q?Objedn=C3=A1vka_zbo=C5=BE=C3=AD?=\r\n"));
  EXPECT_THAT(data,
              HasSubstr("\r\n\r\nP=C5=99=C3=ADli=C5=A1 =C5=BElu=C5=A5ou=C4=8Dk=C3=BD k=C5=AF=C5=88\r\nx=3D1\r\n"));
  EXPECT_THAT(data, HasSubstr(" filename=\"OB090105.obx\"\r\n\r\nT1JERVIAAf8=\r\n"));
}

TEST_F(SendMailCommand, LogsInWithUserAndPassword) {
  TFakeSmtpScript script;
  script.OfferAuth = script.RequireAuth = true;
  TFakeSmtpServer server(script);
  std::vector<std::string> args = Args(server);
  args.insert(args.end(), {"--user", "user", "--password", "secret"});
  const TRun run = Cli(args);
  EXPECT_EQ(run.Code, 0) << run.Err;
  server.Stop();
  EXPECT_TRUE(server.Authenticated());
}

TEST_F(SendMailCommand, RefusalExitsWithTheMailError) {
  TFakeSmtpScript script;
  script.RefuseRecipient = "sklad@dodavatel.cz";
  TFakeSmtpServer server(script);
  const TRun run = Cli(Args(server));
  EXPECT_EQ(run.Code, 1);
  EXPECT_THAT(run.Err, StartsWith("Chyba při odesílání pošty"));
  server.Stop();
  EXPECT_EQ(server.Data(), "");
}

TEST_F(SendMailCommand, WrongUsageAndMissingFiles) {
  TFakeSmtpServer server;
  std::vector<std::string> noServer = Args(server);
  noServer.erase(noServer.begin() + 1, noServer.begin() + 3);
  EXPECT_EQ(Cli(noServer).Code, 2);
  std::vector<std::string> userOnly = Args(server);
  userOnly.insert(userOnly.end(), {"--user", "user"});
  EXPECT_EQ(Cli(userOnly).Code, 2);

  std::vector<std::string> noBody = Args(server);
  noBody.back() = Dir.File("missing.txt");
  const TRun missingBody = Cli(noBody);
  EXPECT_EQ(missingBody.Code, 1);
  EXPECT_THAT(missingBody.Err, HasSubstr("missing.txt"));

  std::vector<std::string> noAttachment = Args(server);
  noAttachment.insert(noAttachment.end(), {"--attach", Dir.File("gone.obx")});
  EXPECT_EQ(Cli(noAttachment).Code, 1);
  server.Stop();
  EXPECT_TRUE(server.Commands().empty()) << "nothing may be sent";
}

} // namespace
