// The order mail as a real mail program reads it: a small SMTP server written with Python's
// standard library receives it on loopback and takes it apart with the standard `email`
// parser; the test compares what the parser found. Skipped where python3 is missing.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "comm/MailSendForm.h"
#include "comm/SmtpClient.h"
#include "formats/Cp1250Utf8.h"
#include "support/TestSupport.h"

namespace {

const char* const kServer = R"(import socket, sys, email, email.policy
folder = sys.argv[1]
listener = socket.socket()
listener.bind(("127.0.0.1", 0))
listener.listen(1)
listener.settimeout(20)
print(listener.getsockname()[1], flush=True)
conn, _ = listener.accept()
conn.settimeout(20)
f = conn.makefile("rwb")
def reply(text):
    f.write(text.encode() + b"\r\n")
    f.flush()
reply("220 parse.test ESMTP")
sender, recipients, data = "", [], b""
while True:
    line = f.readline().decode().rstrip("\r\n")
    if not line:
        break
    if line.startswith("EHLO") or line.startswith("HELO"):
        reply("250 parse.test")
    elif line.startswith("MAIL FROM:"):
        sender = line[10:].split(" ")[0]
        reply("250 Ok")
    elif line.startswith("RCPT TO:"):
        recipients.append(line[8:].split(" ")[0])
        reply("250 Ok")
    elif line == "DATA":
        reply("354 go on")
        while True:
            chunk = f.readline()
            if chunk.rstrip(b"\r\n") == b".":
                break
            data += chunk[1:] if chunk.startswith(b"..") else chunk
        reply("250 queued")
    elif line == "QUIT":
        reply("221 Bye")
        break
    else:
        reply("502 unknown")
message = email.message_from_bytes(data, policy=email.policy.default)
out = open(folder + "/parsed", "w", encoding="utf-8")
def put(key, value):
    out.write(key + "=" + str(value).replace("\r", "\\r").replace("\n", "\\n") + "\n")
put("sender", sender)
put("recipients", " ".join(recipients))
for header in ["From", "To", "Subject", "Organization", "Disposition-Notification-To"]:
    put(header, message.get(header, "-"))
put("type", message.get_content_type())
parts = list(message.iter_parts())
put("parts", len(parts))
text = parts[0]
put("text.type", text.get_content_type())
put("text.charset", text.get_content_charset())
put("text", text.get_content())
attachment = parts[1]
put("attachment.name", attachment.get_filename())
open(folder + "/attachment.bin", "wb").write(attachment.get_payload(decode=True))
out.close()
)";

bool HavePython() { return std::system("command -v python3 >/dev/null 2>&1") == 0; }

struct TPipeCloser {
  void operator()(FILE* pipe) const { pclose(pipe); }
};

TEST(SmtpParsedMessage, AMailProgramReadsHeadersPartsCharsetAttachmentAndEnvelope) {
  if (!HavePython())
    GTEST_SKIP() << "python3 missing";
  TempDir dir;
  const std::string folder = dir.Path().string();
  WriteFileBytes(dir.File("server.py"), kServer);
  // Bytes that a text conversion would damage: NUL, CR LF, a lone LF, high bytes.
  const std::string attachment("[General]\r\nA=\xe8\0\n\xff\r\n.\r\n", 22);
  WriteFileBytes(dir.File("OB090105.obx"), attachment);
  std::unique_ptr<FILE, TPipeCloser> server(
      popen(("python3 '" + folder + "/server.py' '" + folder + "'").c_str(), "r"));
  ASSERT_TRUE(server);
  int port = 0;
  ASSERT_EQ(std::fscanf(server.get(), "%d", &port), 1);

  TOrderMailFields fields;
  fields.Sender = "obchod@example.cz";
  fields.Recipients = Cz("\"Novák, Jan\" <jan@example.cz>, objednavky@example.cz");
  fields.Person = Cz("Jiří Dvořák");
  fields.Organization = Cz("Pekařství U Mlýna");
  fields.Subject = Cz("Objednávka zboží na: pondělí 5.1.2009");
  fields.Server = "127.0.0.1:" + std::to_string(port);
  fields.TextLines = {Cz("Dobrý den,"), Cz("posíláme objednávku. Žluťoučký kůň = 100 %."), Cz(".tečka na začátku")};
  fields.AttachmentPath = dir.File("OB090105.obx");
  fields.ReadReceipt = true;
  TCurlSmtpClient client;
  client.ReplyTimeoutSeconds = 10;
  SendOrderMessage(client, fields, ComposeOrderMessage(fields, TMimeStamp::Now()));
  server.reset(); // waits for the server to finish

  std::map<std::string, std::string> parsed;
  const std::string text = ReadFileBytes(dir.File("parsed"));
  for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    const std::string line = text.substr(start, end - start);
    parsed[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
  }
  EXPECT_EQ(parsed["sender"], "<obchod@example.cz>");
  EXPECT_EQ(parsed["recipients"], "<jan@example.cz> <objednavky@example.cz>");
  EXPECT_EQ(parsed["From"], "Jiří Dvořák <obchod@example.cz>");
  EXPECT_EQ(parsed["To"], "\"Novák, Jan\" <jan@example.cz>, objednavky@example.cz");
  EXPECT_EQ(parsed["Subject"], "Objednávka zboží na: pondělí 5.1.2009");
  EXPECT_EQ(parsed["Organization"], "Pekařství U Mlýna");
  EXPECT_EQ(parsed["Disposition-Notification-To"], "obchod@example.cz");
  EXPECT_EQ(parsed["type"], "multipart/mixed");
  EXPECT_EQ(parsed["parts"], "2");
  EXPECT_EQ(parsed["text.type"], "text/plain");
  EXPECT_EQ(parsed["text.charset"], "utf-8");
  EXPECT_EQ(parsed["text"], "Dobrý den,\\r\\nposíláme objednávku. Žluťoučký kůň = 100 %.\\r\\n.tečka na začátku\\r\\n");
  EXPECT_EQ(parsed["attachment.name"], "OB090105.obx");
  EXPECT_EQ(ReadFileBytes(dir.File("attachment.bin")), attachment);
}

} // namespace
