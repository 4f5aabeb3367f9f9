#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <mutex>

#include "TavTestSupport.h"
#include "comm/TavProtocol.h"
#include "comm/TavServer.h"
#include "support/TestSupport.h"

using namespace tavtest;
using namespace std::string_literals;

namespace {

// The companion server against clients that misbehave: every case must end in a refusal or a
// closed connection, never in a hang, a crash or a file in the wrong place.
class TavServerTest : public ::testing::Test {
protected:
  void Start(bool challenge, int waitMs = kSafetyMs, int maxClients = 64) {
    std::filesystem::create_directories(Dir.Path() / "root" / "Cenik");
    TTavServerOptions options;
    options.Root = Dir.File("root");
    options.User = "u";
    options.Password = "p";
    options.Challenge = challenge;
    options.WaitMs = waitMs;
    options.MaxUploadSize = 1000;
    options.MaxClients = maxClients;
    options.Log = [this](const std::string& line) {
      const std::lock_guard<std::mutex> lock(LogLock);
      Log.push_back(line);
    };
    Server = std::make_unique<TTavServer>(options);
    Server->Start();
  }

  TTavSocket Connect() { return TTavSocket::Connect("127.0.0.1", Server->Port(), kSafetyMs); }

  TTavSocket LoggedIn() {
    TTavSocket s = Connect();
    s.SendAll("u"s);
    EXPECT_EQ(Receive(s), "OK\0"s);
    s.SendAll("p"s);
    EXPECT_EQ(Receive(s), "0\0"s);
    return s;
  }

  // Waits until the server has logged a line containing the text.
  bool Logged(const std::string& text) {
    for (int i = 0; i < kSafetyMs / 10; ++i) {
      {
        const std::lock_guard<std::mutex> lock(LogLock);
        for (const std::string& line : Log)
          if (line.find(text) != std::string::npos)
            return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  bool IncomingEmpty() const { return std::filesystem::is_empty(Dir.Path() / "root" / "incoming"); }

  TempDir Dir;
  std::mutex LogLock;
  std::vector<std::string> Log;
  std::unique_ptr<TTavServer> Server;
};

TEST_F(TavServerTest, ChallengeLoginRefusesAnythingElse) {
  Start(true);
  for (const std::string& first : {"u"s, "$$$LOGIN$$"s, "garbage\0\xFF"s}) {
    TTavSocket s = Connect();
    s.SendAll(first);
    EXPECT_EQ(Receive(s), "1\0"s);
    EXPECT_EQ(ReceiveUntilClosed(s), "");
  }
  // The right answer to the challenge, also when it arrives in two pieces.
  TTavSocket s = Connect();
  s.SendAll(kTavLoginRequest);
  const std::string challenge = Receive(s);
  EXPECT_EQ(challenge.size(), 16u);
  const std::string answer = Md5Digest(TavChallengeText(challenge, "u", "p"));
  s.SendAll(answer.substr(0, 5));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  s.SendAll(answer.substr(5));
  EXPECT_EQ(Receive(s), "0\0"s);
  // Each connection gets a challenge of its own.
  TTavSocket other = Connect();
  other.SendAll(kTavLoginRequest);
  EXPECT_NE(Receive(other), challenge);
}

TEST_F(TavServerTest, HostileUploadsAreRefusedAndLeaveNothing) {
  Start(false);
  const std::string kHeaders[] = {
      TavSendFileHeader(1001, "big.obx", 0),      // above the limit
      TavSendFileHeader(3, "../escape.obx", 294), // leaves the folder
      TavSendFileHeader(3, "..", 294),
      "SENDFILE: \tlots\tx\t1\t\0"s, // not a size
  };
  for (const std::string& header : kHeaders) {
    SCOPED_TRACE(header);
    TTavSocket s = LoggedIn();
    s.SendAll(header);
    EXPECT_EQ(Receive(s), "1\0"s);
  }
  // A body that ends early: no verdict and no file.
  TTavSocket s = LoggedIn();
  s.SendAll(TavSendFileHeader(100, "short.obx", 0));
  EXPECT_EQ(Receive(s), "0\0"s);
  s.SendAll("only ten b"s);
  s.Close();
  EXPECT_TRUE(Logged("SENDFILE short.obx 100 nedokončeno"));
  EXPECT_TRUE(IncomingEmpty());
  EXPECT_FALSE(std::filesystem::exists(Dir.File("escape.obx")));
}

TEST_F(TavServerTest, GarbageRequestAndSilentClientEndTheSession) {
  Start(false, 100);
  TTavSocket s = LoggedIn();
  s.SendAll("DELETE everything"s);
  EXPECT_EQ(ReceiveUntilClosed(s), "");
  // A client that says nothing is let go after the server's wait.
  TTavSocket silent = Connect();
  EXPECT_EQ(ReceiveUntilClosed(silent), "");
}

TEST_F(TavServerTest, LimitsClientsAndStopsWithClientsConnected) {
  Start(false, kSafetyMs, 2);
  TTavSocket a = Connect(), b = Connect();
  // Lets the accept loop take the first two before the third knocks.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  TTavSocket c = Connect();
  EXPECT_EQ(ReceiveUntilClosed(c), "");
  EXPECT_TRUE(Logged("příliš mnoho spojení"));
  // Stop does not wait for the idle clients' time-outs.
  const auto started = std::chrono::steady_clock::now();
  Server->Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(kSafetyMs / 2));
  EXPECT_EQ(ReceiveUntilClosed(a), "");
}

} // namespace
