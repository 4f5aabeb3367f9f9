// STARTTLS against a server that offers it: the login and the message must travel only
// inside TLS. The peer is a few lines of Python's standard library with a throw-away
// self-signed certificate; the test is skipped where python3 or openssl is missing.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "comm/SmtpClient.h"
#include "support/TestSupport.h"

namespace {

using ::testing::ElementsAre;

const char* const kServer = R"(import socket, ssl, sys
folder = sys.argv[1]
listener = socket.socket()
listener.bind(("127.0.0.1", 0))
listener.listen(1)
listener.settimeout(20)
print(listener.getsockname()[1], flush=True)
log = open(folder + "/transcript", "w")
conn, _ = listener.accept()
conn.settimeout(20)

def converse(sock, tls):
    f = sock.makefile("rwb")
    def reply(text):
        f.write(text.encode() + b"\r\n")
        f.flush()
    if not tls:
        reply("220 tls.test ESMTP")
    while True:
        line = f.readline().decode().rstrip("\r\n")
        if not line:
            return
        log.write(("tls " if tls else "plain ") + line.split(" ")[0] + "\n")
        log.flush()
        if line.startswith("EHLO"):
            reply("250-tls.test\r\n250 AUTH PLAIN" if tls else "250-tls.test\r\n250-AUTH PLAIN\r\n250 STARTTLS")
        elif line == "STARTTLS":
            reply("220 2.0.0 Ready to start TLS")
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            context.load_cert_chain(folder + "/cert.pem", folder + "/key.pem")
            return converse(context.wrap_socket(sock, server_side=True), True)
        elif line.startswith("AUTH PLAIN"):
            if line == "AUTH PLAIN":
                reply("334 ")
                f.readline()
            reply("235 2.7.0 Authentication successful")
        elif line.startswith("MAIL") or line.startswith("RCPT"):
            reply("250 2.1.0 Ok")
        elif line == "DATA":
            reply("354 go on")
            while f.readline().rstrip(b"\r\n") != b".":
                pass
            reply("250 2.0.0 queued")
        elif line == "QUIT":
            reply("221 2.0.0 Bye")
            return
        else:
            reply("502 5.5.2 unknown")

converse(conn, False)
)";

bool Have(const char* program) {
  return std::system((std::string("command -v ") + program + " >/dev/null 2>&1").c_str()) == 0;
}

struct TPipeCloser {
  void operator()(FILE* pipe) const { pclose(pipe); }
};

TEST(SmtpTls, LoginAndMessageTravelOnlyInsideStartTls) {
  if (!Have("python3") || !Have("openssl"))
    GTEST_SKIP() << "python3 or openssl missing";
  TempDir dir;
  const std::string folder = dir.Path().string();
  ASSERT_EQ(std::system(("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 1 "
                         "-subj /CN=127.0.0.1 -keyout '" +
                         folder + "/key.pem' -out '" + folder + "/cert.pem' >/dev/null 2>&1")
                            .c_str()),
            0);
  WriteFileBytes(dir.File("server.py"), kServer);
  std::unique_ptr<FILE, TPipeCloser> server(
      popen(("python3 '" + folder + "/server.py' '" + folder + "'").c_str(), "r"));
  ASSERT_TRUE(server);
  int port = 0;
  ASSERT_EQ(std::fscanf(server.get(), "%d", &port), 1);

  TCurlSmtpClient client;
  client.ReplyTimeoutSeconds = 10;
  TSmtpRequest request;
  request.Sender = "a@test.cz";
  request.Recipients = "b@test.cz";
  request.Server = "127.0.0.1:" + std::to_string(port);
  request.Message = "Subject: x\r\n\r\nbody\r\n";
  request.User = "user";
  request.Password = "secret";
  EXPECT_TRUE(client.Send(request)) << client.LastError();
  server.reset(); // waits for the server to finish

  std::vector<std::string> transcript;
  const std::string text = ReadFileBytes(dir.File("transcript"));
  for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    transcript.push_back(text.substr(start, end - start));
  EXPECT_THAT(transcript, ElementsAre("plain EHLO", "plain STARTTLS", "tls EHLO", "tls AUTH", "tls MAIL", "tls RCPT",
                                      "tls DATA", "tls QUIT"));
}

} // namespace
