#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "comm/MailSendForm.h"
#include "comm/SmtpClient.h"
#include "comm/SmtpFakeServer.h"
#include "core/Errors.h"
#include "formats/Cp1250Utf8.h"

namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

struct TServerCase {
  const char* Name;
  const char* Text;
  bool Valid;
  const char* Host;
  int Port;
};

const TServerCase kServers[] = {
    {"HostOnly", "smtp.example.cz", true, "smtp.example.cz", 25},
    {"HostAndPort", "smtp.example.cz:2525", true, "smtp.example.cz", 2525},
    {"Trimmed", "  smtp.example.cz : 587 ", true, "smtp.example.cz", 587},
    {"Ipv4", "10.0.0.1:26", true, "10.0.0.1", 26},
    {"BracketedIpv6", "[::1]:2525", true, "::1", 2525},
    {"BareIpv6", "::1", true, "::1", 25},
    {"Empty", "   ", false, "", 0},
    {"NoHost", ":25", false, "", 0},
    {"PortNotNumber", "smtp:abc", false, "", 0},
    {"PortZero", "smtp:0", false, "", 0},
    {"PortTooLarge", "smtp:65536", false, "", 0},
    {"EmptyPort", "smtp:", false, "", 0},
};

class SmtpServerText : public ::testing::TestWithParam<TServerCase> {};

TEST_P(SmtpServerText, Parses) {
  const TServerCase& c = GetParam();
  TSmtpServerAddress address;
  ASSERT_EQ(ParseSmtpServer(c.Text, address), c.Valid);
  if (c.Valid) {
    EXPECT_EQ(address.Host, c.Host);
    EXPECT_EQ(address.Port, c.Port);
  }
}

INSTANTIATE_TEST_SUITE_P(Table, SmtpServerText, ::testing::ValuesIn(kServers),
                         [](const auto& p) { return std::string(p.param.Name); });

// A message with the awkward bits of the wire: a line that starts with a dot and a lone dot.
const std::string kMessage = "From: a@test.cz\r\nTo: b@test.cz\r\nSubject: x\r\n\r\nfirst\r\n.hidden\r\n.\r\nlast\r\n";

TSmtpRequest Request(const TFakeSmtpServer& server) {
  TSmtpRequest request;
  request.Sender = "a@test.cz";
  request.Recipients = "b@test.cz";
  request.Server = server.Address();
  request.Message = kMessage;
  return request;
}

TEST(SmtpClient, DeliversEnvelopeAndMessageUnchanged) {
  TFakeSmtpServer server;
  TCurlSmtpClient client;
  TSmtpRequest request = Request(server);
  request.Sender = "\"Jan Novak\" <jan@test.cz>";
  request.Recipients = "\"Dodavatel, s.r.o.\" <obj@dodavatel.cz>, sklad@dodavatel.cz";
  ASSERT_TRUE(client.Send(request)) << client.LastError();
  server.Stop();

  const std::vector<std::string> commands = server.Commands();
  ASSERT_FALSE(commands.empty());
  EXPECT_THAT(commands[0], StartsWith("EHLO "));
  EXPECT_THAT(commands, Contains(StartsWith("MAIL FROM:<jan@test.cz>")));
  EXPECT_THAT(commands, Contains("RCPT TO:<obj@dodavatel.cz>"));
  EXPECT_THAT(commands, Contains("RCPT TO:<sklad@dodavatel.cz>"));
  EXPECT_THAT(commands, Contains("DATA"));
  EXPECT_EQ(server.Data(), kMessage);
  EXPECT_FALSE(server.Authenticated());
}

TEST(SmtpClient, LogsInWhenAskedAndOffered) {
  TFakeSmtpScript script;
  script.OfferAuth = script.RequireAuth = true;
  TFakeSmtpServer server(script);
  TCurlSmtpClient client;
  TSmtpRequest request = Request(server);
  request.User = "user";
  request.Password = "secret";
  ASSERT_TRUE(client.Send(request)) << client.LastError();
  server.Stop();
  EXPECT_TRUE(server.Authenticated());
  EXPECT_EQ(server.Data(), kMessage);
}

TEST(SmtpClient, SkipsLoginTheServerDoesNotOffer) {
  TFakeSmtpServer server;
  TCurlSmtpClient client;
  TSmtpRequest request = Request(server);
  request.User = "user";
  request.Password = "secret";
  ASSERT_TRUE(client.Send(request)) << client.LastError();
  server.Stop();
  for (const std::string& command : server.Commands())
    EXPECT_THAT(command, ::testing::Not(StartsWith("AUTH")));
}

// Every refusal is a failure of the whole send, and the dialog's error says so.
struct TRefusalCase {
  const char* Name;
  TFakeSmtpScript Script;
  const char* User;
  const char* SeenCommand; // shows the refusal came where it was meant to
};

TFakeSmtpScript RefusingRecipient() {
  TFakeSmtpScript s;
  s.RefuseRecipient = "sklad@dodavatel.cz";
  return s;
}
TFakeSmtpScript RequiringLogin() {
  TFakeSmtpScript s;
  s.OfferAuth = s.RequireAuth = true;
  return s;
}
TFakeSmtpScript Silent() {
  TFakeSmtpScript s;
  s.SilentAfterMail = true;
  return s;
}

const TRefusalCase kRefusals[] = {
    {"SecondRecipientRefused", RefusingRecipient(), "", "RCPT TO:<sklad@dodavatel.cz>"},
    {"LoginRequiredButNotGiven", RequiringLogin(), "", "MAIL FROM:<a@test.cz>"},
    {"WrongPassword", RequiringLogin(), "intruder", "AUTH PLAIN"},
    {"ServerFallsSilent", Silent(), "", "MAIL FROM:<a@test.cz>"},
};

class SmtpRefusal : public ::testing::TestWithParam<TRefusalCase> {};

TEST_P(SmtpRefusal, FailsWithTheProgramsError) {
  const TRefusalCase& c = GetParam();
  TFakeSmtpServer server(c.Script);
  TCurlSmtpClient client;
  client.ReplyTimeoutSeconds = 1;
  TOrderMailFields fields;
  fields.Sender = "a@test.cz";
  fields.Recipients = "obj@dodavatel.cz, sklad@dodavatel.cz";
  fields.Server = server.Address();
  fields.User = c.User;
  fields.Password = "wrong";
  try {
    SendOrderMessage(client, fields, kMessage);
    FAIL() << "sent";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.Message(), Cz("Chyba při odesílání pošty"));
  }
  EXPECT_FALSE(client.LastError().empty());
  server.Stop();
  EXPECT_THAT(server.Commands(), Contains(StartsWith(c.SeenCommand)));
  EXPECT_EQ(server.Data(), "") << "no message may be taken";
}

INSTANTIATE_TEST_SUITE_P(Table, SmtpRefusal, ::testing::ValuesIn(kRefusals),
                         [](const auto& p) { return std::string(p.param.Name); });

TEST(SmtpClient, UnreachableServerAndBadServerTextFail) {
  int port = 0;
  {
    TFakeSmtpServer closed; // its port is free again once it is gone
    port = closed.Port();
  }
  TCurlSmtpClient client;
  TSmtpRequest request;
  request.Sender = "a@test.cz";
  request.Recipients = "b@test.cz";
  request.Message = kMessage;
  request.Server = "127.0.0.1:" + std::to_string(port);
  EXPECT_FALSE(client.Send(request));
  request.Server = "127.0.0.1:notaport";
  EXPECT_FALSE(client.Send(request));
  EXPECT_THAT(client.LastError(), HasSubstr("invalid server"));
}

} // namespace
