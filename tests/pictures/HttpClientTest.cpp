#include <gtest/gtest.h>

#include "formats/Cp1250Utf8.h"
#include "pictures/HttpClient.h"
#include "pictures/HttpTestServer.h"
#include "pictures/HttpsTestServer.h"
#include "support/TestSupport.h"

namespace {

THttpOptions HttpOptions(long connectMs, long totalMs, std::size_t maxBodyBytes = 1024, std::string caFile = "") {
  THttpOptions options;
  options.ConnectTimeoutMs = connectMs;
  options.TotalTimeoutMs = totalMs;
  options.MaxBodyBytes = maxBodyBytes;
  options.CaFile = std::move(caFile);
  return options;
}

TEST(HttpClient, BytesAUrlCannotCarryAreSentEncoded) {
  const struct {
    std::string Address;
    std::string Wire;
  } cases[] = {
      {"http://h/a/b.jpg?id=5&x=%41", "http://h/a/b.jpg?id=5&x=%41"},
      {"http://h/a b.jpg", "http://h/a%20b.jpg"},
      {Utf8ToCp1250("http://h/Čaj.jpg"), "http://h/%C8aj.jpg"},
      {"http://h/a#1\"<>|.jpg", "http://h/a%231%22%3C%3E%7C.jpg"},
      {std::string("http://h/\x01\x7F.jpg"), "http://h/%01%7F.jpg"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Wire);
    EXPECT_EQ(EncodeUrlForRequest(c.Address), c.Wire);
  }
}

TEST(HttpClient, AnEncodedNameReachesTheServer) {
  THttpTestServer server;
  server.Set("/a%20%C8.jpg", {200, "x"});
  TCurlHttpClient client(HttpOptions(2000, 5000, 1024));
  const THttpReply reply = client.Get(server.Url() + Utf8ToCp1250("/a Č.jpg"));
  EXPECT_EQ(reply.Status, 200);
  EXPECT_EQ(reply.Body, "x");
  EXPECT_EQ(client.Get(server.Url() + "/none").Status, 404);
}

// Only http and https are spoken: a web folder must not read local files or reach other
// services. An https address gets as far as the TLS handshake (which the plain test server
// cannot answer).
TEST(HttpClient, OnlyHttpAndHttpsAreSpoken) {
  THttpTestServer server;
  TCurlHttpClient client(HttpOptions(1000, 500, 1024));
  const std::string hostPort = server.Url().substr(7);
  const struct {
    std::string Url;
    bool Supported;
  } cases[] = {
      {"file:///etc/hostname", false},
      {"ftp://" + hostPort + "/x", false},
      {"gopher://" + hostPort + "/x", false},
      {"https://" + hostPort + "/x", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Url);
    try {
      client.Get(c.Url);
      ADD_FAILURE() << "no error";
    } catch (const EHttpError& e) {
      const std::string text = Cp1250ToUtf8(e.what());
      EXPECT_EQ(text.rfind("Obrázek " + c.Url + " nelze stáhnout: ", 0), 0u) << text;
      EXPECT_EQ(text.find("not supported") == std::string::npos, c.Supported) << text;
    }
  }
}

TEST(HttpClient, HttpsFetchesFromATrustedServerAndRefusesAnUntrustedOne) {
  TempDir dir;
  THttpsTestServer server(dir.File("cert.pem"), "secure picture");
  TCurlHttpClient trusting(HttpOptions(2000, 5000, 1024, dir.File("cert.pem")));
  const THttpReply reply = trusting.Get(server.Url() + "/a.jpg");
  EXPECT_EQ(reply.Status, 200);
  EXPECT_EQ(reply.Body, "secure picture");

  // The certificate is checked: the system's store does not know the test's own.
  TCurlHttpClient plain(HttpOptions(2000, 5000));
  EXPECT_THROW(plain.Get(server.Url() + "/a.jpg"), EHttpError);
  EXPECT_EQ(server.Requests(), 1);
}

} // namespace
