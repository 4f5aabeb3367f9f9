#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <mutex>

#include "TavTestSupport.h"
#include "comm/TavProtocol.h"
#include "comm/TavServer.h"
#include "support/TestSupport.h"

using namespace tavtest;
using namespace std::string_literals;

namespace {

using TLines = std::vector<std::string>;

// The companion server on a free loopback port, serving Dir/root; the connection file
// Dir/TAV.BIN points at it.
class TavClientTest : public ::testing::Test {
protected:
  void StartServer(bool challenge, bool tamper = false, const std::string& password = "heslo") {
    std::filesystem::create_directories(Dir.Path() / "root" / "Cenik");
    TTavServerOptions options;
    options.Root = Dir.File("root");
    options.User = "odberatel";
    options.Password = "heslo";
    options.Challenge = challenge;
    options.WaitMs = kSafetyMs;
    options.TamperChecksum = tamper;
    options.Log = [this](const std::string& line) {
      const std::lock_guard<std::mutex> lock(LogLock);
      Log.push_back(line);
    };
    Server = std::make_unique<TTavServer>(options);
    Server->Start();
    WriteConnection(Connection(), Server->Port(), "odberatel", password, challenge);
  }

  std::string Connection() const { return Dir.File("TAV.BIN"); }

  TTavTransferRequest Get(const std::string& alias, const std::string& name, const std::string& local) const {
    TTavTransferRequest r;
    r.Kind = kTavDownloadPriceList;
    r.Alias = alias;
    r.RemoteFile = name;
    r.LocalFile = local;
    r.ConnectionFile = Connection();
    return r;
  }

  TTavTransferRequest Put(const std::string& file) const {
    TTavTransferRequest r;
    r.Kind = kTavUpload;
    r.RemoteFile = file;
    r.ConnectionFile = Connection();
    return r;
  }

  TempDir Dir;
  std::mutex LogLock;
  std::vector<std::string> Log;
  std::unique_ptr<TTavServer> Server;
  TTavFlags Flags;
};

const TLines kPlainLogin = {"Hledání serveru 127.0.0.1", "Navázáno spojení s 127.0.0.1",
                            "Zahájení přihlášování k serveru", "Přihlášení k serveru"};
const TLines kChallengeLogin = {"Hledání serveru 127.0.0.1", "Navázáno spojení s 127.0.0.1", "Přihlašování k serveru."};
const std::string kClosing = "Spojení s 127.0.0.1 ukončeno";

TLines Concat(TLines a, const TLines& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST_F(TavClientTest, DownloadsAFileInBothLoginModes) {
  for (bool challenge : {false, true}) {
    SCOPED_TRACE(challenge ? "challenge" : "plain");
    StartServer(challenge);
    // Big enough to arrive in several reads.
    std::string content(300000, '\0');
    for (std::size_t i = 0; i < content.size(); ++i)
      content[i] = static_cast<char>(i * 7);
    WriteFileBytes(Dir.File("root/Cenik/CENIK.dbc"), content);
    const std::string local = Dir.File("CENIK");
    std::filesystem::remove(local);

    const TRun run = RunWorker(Get("Cenik", "CENIK.dbc", local), Flags);
    EXPECT_TRUE(run.Succeeded);
    EXPECT_FALSE(run.Running);
    EXPECT_EQ(run.Messages, Concat(challenge ? kChallengeLogin : kPlainLogin, {"Načítání ceníku.", kClosing}));
    EXPECT_EQ(ReadFileBytes(local), content);
    Server.reset();
    Flags.Succeeded = false;
  }
  // One log line per request, the peer's address first.
  const std::lock_guard<std::mutex> lock(LogLock);
  const auto served = std::count_if(Log.begin(), Log.end(), [](const std::string& line) {
    return line.rfind("127.0.0.1:", 0) == 0 && line.find(" GETFILE Cenik/CENIK.dbc 300000") != std::string::npos;
  });
  EXPECT_EQ(served, 2);
}

TEST_F(TavClientTest, InstallerDownloadHasItsOwnLine) {
  StartServer(false);
  WriteFileBytes(Dir.File("root/Cenik/setup.exe"), "MZ");
  TTavTransferRequest r = Get("Cenik", "setup.exe", Dir.File("setup.exe"));
  r.Kind = kTavDownloadInstaller;
  const TRun run = RunWorker(r, Flags);
  EXPECT_TRUE(run.Succeeded);
  EXPECT_EQ(run.Messages, Concat(kPlainLogin, {"Načítání instalačního programu nové verze.", kClosing}));
}

TEST_F(TavClientTest, MissingFileOrEscapingNameCreatesNothingAndKeepsTheOldFile) {
  StartServer(true);
  WriteFileBytes(Dir.File("secret.txt"), "outside the served folder");
  WriteFileBytes(Dir.File("root/incoming/OB.obx"), "another customer's order");
  ASSERT_EQ(mkfifo(Dir.File("root/Cenik/pipe.dbc").c_str(), 0600), 0);
  const std::string local = Dir.File("CENIK");
  WriteFileBytes(local, "the previous good price list");
  const struct {
    const char* Alias;
    const char* Name;
  } kCases[] = {{"Cenik", "NONE.dbc"},
                {"..", "secret.txt"},
                {"Cenik", "../../secret.txt"},
                {"Cenik", ".."},
                {"Cenik", "..\\..\\secret.txt"},
                {"/", "secret.txt"},
                {"incoming", "OB.obx"},
                {"", "Cenik"} /* a folder */,
                {"Cenik", "pipe.dbc"} /* a named pipe */};
  for (const auto& k : kCases) {
    SCOPED_TRACE(std::string(k.Alias) + " " + k.Name);
    const TRun run = RunWorker(Get(k.Alias, k.Name, local), Flags);
    EXPECT_FALSE(run.Succeeded);
    EXPECT_EQ(run.Messages, Concat(kChallengeLogin, {"Načítání ceníku.", kClosing}));
    EXPECT_EQ(ReadFileBytes(local), "the previous good price list");
  }
  // Only the local file and no temporary files are left beside it.
  std::size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(Dir.Path()))
    files += entry.is_regular_file();
  EXPECT_EQ(files, 3u); // TAV.BIN, secret.txt, CENIK
}

TEST_F(TavClientTest, UploadIsStoredWhenTheChecksumAgrees) {
  StartServer(false);
  const std::string order = Dir.File("OB090105.obx");
  WriteFileBytes(order, "abc");
  const TRun run = RunWorker(Put(order), Flags);
  EXPECT_TRUE(run.Succeeded);
  EXPECT_EQ(run.Messages, Concat(kPlainLogin, {"Odesílá se hlavička souboru.", "Odesílání objednávky.",
                                               "Soubor přenesen v pořádku.", kClosing}));
  EXPECT_EQ(ReadFileBytes(Dir.File("root/incoming/OB090105.obx")), "abc");

  // The same name again is kept beside the first; an empty file travels too.
  WriteFileBytes(order, "");
  EXPECT_TRUE(RunWorker(Put(order), Flags).Succeeded);
  EXPECT_EQ(ReadFileBytes(Dir.File("root/incoming/OB090105.obx.1")), "");
}

TEST_F(TavClientTest, UploadWithADifferentChecksumIsRefusedAndNotKept) {
  StartServer(true, /*tamper=*/true);
  const std::string order = Dir.File("OB.obx");
  WriteFileBytes(order, "abc");
  const TRun run = RunWorker(Put(order), Flags);
  EXPECT_FALSE(run.Succeeded);
  EXPECT_EQ(run.Messages,
            Concat(kChallengeLogin, {"Odesílá se hlavička souboru.", "Odesílání objednávky.",
                                     "Chyba při přenosu souboru. Nesouhlasí kontrolní součet.", kClosing}));
  EXPECT_TRUE(std::filesystem::is_empty(Dir.Path() / "root" / "incoming"));
}

TEST_F(TavClientTest, WrongPasswordIsRefusedInBothModes) {
  for (bool challenge : {false, true}) {
    SCOPED_TRACE(challenge);
    StartServer(challenge, false, "spatne");
    const TRun run = RunWorker(Get("Cenik", "CENIK.dbc", Dir.File("CENIK")), Flags);
    EXPECT_FALSE(run.Succeeded);
    EXPECT_EQ(run.Messages, Concat(challenge ? kChallengeLogin : kPlainLogin, {"Chybné jméno nebo heslo", kClosing}));
    Server.reset();
  }
}

TEST_F(TavClientTest, NoConnectionFileAndNoServer) {
  TTavTransferRequest r = Get("Cenik", "CENIK.dbc", Dir.File("CENIK"));
  for (const std::string& file : {std::string("  "), Dir.File("missing.bin")}) {
    r.ConnectionFile = file;
    const TRun run = RunWorker(r, Flags);
    EXPECT_EQ(run.Messages, TLines{"Aplikace není nakonfigurována pro přenos dat přes TAV server"});
    EXPECT_FALSE(run.Running);
  }
  // A port nobody listens on: the failure line, then the closing line.
  int port = 0;
  {
    TTavListener probe("127.0.0.1", 0);
    port = probe.Port();
  }
  WriteConnection(Connection(), port, "u", "p", false);
  r.ConnectionFile = Connection();
  EXPECT_EQ(RunWorker(r, Flags).Messages,
            (TLines{"Hledání serveru 127.0.0.1", "Spojení s 127.0.0.1 se nezdařilo", kClosing}));
  // A one-byte connection file: empty host.
  WriteFileBytes(Connection(), "\x01");
  EXPECT_EQ(RunWorker(r, Flags).Messages,
            (TLines{"Hledání serveru ", "Spojení s  se nezdařilo", "Spojení s  ukončeno"}));
}

TEST_F(TavClientTest, OtherKindLogsInAndTransfersNothing) {
  StartServer(false);
  TTavTransferRequest r = Get("Cenik", "CENIK.dbc", Dir.File("CENIK"));
  r.Kind = 7;
  const TRun run = RunWorker(r, Flags);
  EXPECT_FALSE(run.Succeeded);
  EXPECT_EQ(run.Messages, Concat(kPlainLogin, {kClosing}));
}

// Scripted peers: the replies the companion server never gives.
class TavScriptTest : public ::testing::Test {
protected:
  TTavTransferRequest Get(int port, const std::string& local) {
    WriteConnection(Dir.File("TAV.BIN"), port, "u", "p", false);
    TTavTransferRequest r;
    r.Alias = "Cenik";
    r.RemoteFile = "CENIK.dbc";
    r.LocalFile = local;
    r.ConnectionFile = Dir.File("TAV.BIN");
    return r;
  }

  TempDir Dir;
  TTavFlags Flags;
};

TEST_F(TavScriptTest, SizeRepliesThatEndTheDownloadQuietly) {
  for (const std::string& reply : {"0"s, "-5"s, "abc"s, "12abc"s}) {
    SCOPED_TRACE(reply);
    TScriptedPeer peer([&](TTavSocket& s) {
      AcceptPlainLogin(s);
      Receive(s);
      s.SendAll(reply);
      ReceiveUntilClosed(s);
    });
    const TRun run = RunWorker(Get(peer.Port(), Dir.File("CENIK")), Flags);
    EXPECT_FALSE(run.Succeeded);
    EXPECT_EQ(run.Messages, Concat(kPlainLogin, {"Načítání ceníku.", kClosing}));
    EXPECT_FALSE(std::filesystem::exists(Dir.File("CENIK")));
  }
}

// The client says "OK" NUL once after the size and once after every read that returned bytes.
TEST_F(TavScriptTest, OkRhythmFollowsTheReads) {
  for (int pieces : {1, 10}) {
    SCOPED_TRACE(pieces);
    std::string afterSize;
    TRun run;
    {
      TScriptedPeer peer([&](TTavSocket& s) {
        AcceptPlainLogin(s);
        EXPECT_EQ(Receive(s), "GETFILE: \tCenik\tCENIK.dbc\t0");
        s.SendAll(std::to_string(pieces * 4) + "\0trailing"s); // bytes after the NUL do not count
        afterSize = Receive(s);
        for (int i = 0; i < pieces; ++i) {
          s.SendAll("abcd");
          // Waiting for the client's answer keeps the pieces in separate reads.
          afterSize += Receive(s);
        }
        afterSize += ReceiveUntilClosed(s);
      });
      run = RunWorker(Get(peer.Port(), Dir.File("CENIK")), Flags);
    }
    EXPECT_TRUE(run.Succeeded);
    std::string expectedOKs, expectedFile;
    for (int i = 0; i <= pieces; ++i)
      expectedOKs += "OK\0"s;
    for (int i = 0; i < pieces; ++i)
      expectedFile += "abcd";
    EXPECT_EQ(afterSize, expectedOKs);
    EXPECT_EQ(ReadFileBytes(Dir.File("CENIK")), expectedFile);
  }
}

TEST_F(TavScriptTest, PieceBeyondTheAnnouncedSizeIsWrittenWhole) {
  TScriptedPeer peer([&](TTavSocket& s) {
    AcceptPlainLogin(s);
    Receive(s);
    s.SendAll("3");
    Receive(s);
    s.SendAll("abcdef");
    ReceiveUntilClosed(s);
  });
  EXPECT_TRUE(RunWorker(Get(peer.Port(), Dir.File("CENIK")), Flags).Succeeded);
  EXPECT_EQ(ReadFileBytes(Dir.File("CENIK")), "abcdef");
}

TEST_F(TavScriptTest, VerdictMustBeZeroAndNul) {
  for (const std::string& verdict : {"0"s, "1\0"s, "00\0"s}) {
    SCOPED_TRACE(verdict);
    TScriptedPeer peer([&](TTavSocket& s) {
      Receive(s);
      s.SendAll("?");
      Receive(s);
      s.SendAll(verdict);
      ReceiveUntilClosed(s);
    });
    const TRun run = RunWorker(Get(peer.Port(), Dir.File("CENIK")), Flags);
    EXPECT_EQ(run.Messages, Concat(kPlainLogin, {"Chybné jméno nebo heslo", kClosing}));
  }
}

TEST_F(TavScriptTest, SilentServerRunsOutTheWaits) {
  TScriptedPeer peer([&](TTavSocket& s) { ReceiveUntilClosed(s); });
  const TRun run = RunWorker(Get(peer.Port(), Dir.File("CENIK")), Flags, TestTimeouts(100));
  EXPECT_EQ(run.Messages, Concat(kPlainLogin, {"Chybné jméno nebo heslo", kClosing}));
  EXPECT_FALSE(run.Running);
}

TEST_F(TavScriptTest, AbortWhileWaitingForAReply) {
  TScriptedPeer peer([&](TTavSocket& s) {
    AcceptPlainLogin(s);
    Receive(s);
    Flags.AbortRequested = true;
    ReceiveUntilClosed(s);
  });
  const TRun run = RunWorker(Get(peer.Port(), Dir.File("CENIK")), Flags);
  EXPECT_FALSE(run.Succeeded);
  EXPECT_EQ(run.Messages, Concat(kPlainLogin, {"Načítání ceníku.", "Operation aborted", kClosing}));
}

TEST_F(TavScriptTest, AbortOrBrokenConnectionDuringTheDownloadKeepsTheOldFile) {
  const std::string local = Dir.File("CENIK");
  const struct {
    const char* Name;
    bool Abort;
    const char* Line; // after "Načítání ceníku."
  } kCases[] = {{"abort", true, nullptr}, {"early close", false, "Server ukončil spojení před koncem souboru"}};
  for (const auto& k : kCases) {
    SCOPED_TRACE(k.Name);
    WriteFileBytes(local, "old");
    TRun run;
    {
      TScriptedPeer peer([&](TTavSocket& s) {
        AcceptPlainLogin(s);
        Receive(s);
        s.SendAll("9223372036854775807"); // a hostile size costs nothing up front
        Receive(s);
        s.SendAll("part");
        Receive(s);
        if (k.Abort) {
          Flags.AbortRequested = true;
          ReceiveUntilClosed(s);
        }
      });
      run = RunWorker(Get(peer.Port(), local), Flags);
    }
    EXPECT_FALSE(run.Succeeded);
    TLines expected = Concat(kPlainLogin, {"Načítání ceníku."});
    if (k.Line)
      expected.push_back(k.Line);
    expected.push_back(kClosing);
    EXPECT_EQ(run.Messages, expected);
    EXPECT_EQ(ReadFileBytes(local), "old");
    Flags.AbortRequested = false;
  }
  std::size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(Dir.Path()))
    files += entry.is_regular_file();
  EXPECT_EQ(files, 2u); // TAV.BIN and the old file; no temporary file left
}

TEST_F(TavScriptTest, UploadTranscriptAndVerdicts) {
  const std::string order = Dir.File("OB.obx");
  const struct {
    std::string Content, Header, Body, Line2, Line3;
  } kCases[] = {
      {"abc", "0\0"s, "0\0"s, "Odesílání objednávky.", "Soubor přenesen v pořádku."},
      {"", "0\0"s, "0\0"s, "Odesílání objednávky.", "Soubor přenesen v pořádku."},
      {"abc", "0\0"s, "2\0"s, "Odesílání objednávky.", "Při přenosu souboru došlo k chybě."},
      {"abc", "1\0"s, "", "Přenos toho typu souboru není na serveru povolen", ""},
      {"abc", "0"s, "", "Chyba při potvrzování hlavičky souboru.", ""},
  };
  for (const auto& k : kCases) {
    SCOPED_TRACE(k.Header + "/" + k.Body + "/" + k.Content);
    WriteFileBytes(order, k.Content);
    std::string header, body;
    TRun run;
    {
      TScriptedPeer peer([&](TTavSocket& s) {
        AcceptPlainLogin(s);
        header = Receive(s);
        s.SendAll(k.Header);
        if (k.Body.empty())
          return (void)ReceiveUntilClosed(s);
        if (!k.Content.empty())
          body = Receive(s);
        s.SendAll(k.Body);
        ReceiveUntilClosed(s);
      });
      TTavTransferRequest r;
      r.Kind = kTavUpload;
      r.RemoteFile = order;
      WriteConnection(Dir.File("TAV.BIN"), peer.Port(), "u", "p", false);
      r.ConnectionFile = Dir.File("TAV.BIN");
      run = RunWorker(r, Flags);
    }
    EXPECT_EQ(header, k.Content.empty() ? "SENDFILE: \t0\tOB.obx\t0\t\0"s : "SENDFILE: \t3\tOB.obx\t294\t\0"s);
    EXPECT_EQ(body, k.Body.empty() ? "" : k.Content);
    TLines expected = Concat(kPlainLogin, {"Odesílá se hlavička souboru.", k.Line2});
    if (!k.Line3.empty())
      expected.push_back(k.Line3);
    expected.push_back(kClosing);
    EXPECT_EQ(run.Messages, expected);
    EXPECT_EQ(run.Succeeded, k.Line3 == "Soubor přenesen v pořádku.");
    Flags.Succeeded = false;
  }
}

TEST_F(TavScriptTest, MissingUploadFileIsReported) {
  TScriptedPeer peer([&](TTavSocket& s) {
    AcceptPlainLogin(s);
    ReceiveUntilClosed(s);
  });
  TTavTransferRequest r;
  r.Kind = kTavUpload;
  r.RemoteFile = Dir.File("none.obx");
  WriteConnection(Dir.File("TAV.BIN"), peer.Port(), "u", "p", false);
  r.ConnectionFile = Dir.File("TAV.BIN");
  const TRun run = RunWorker(r, Flags);
  ASSERT_EQ(run.Messages.size(), kPlainLogin.size() + 3);
  EXPECT_NE(run.Messages[kPlainLogin.size() + 1].find("none.obx"), std::string::npos);
  EXPECT_EQ(run.Messages.back(), kClosing);
}

} // namespace
