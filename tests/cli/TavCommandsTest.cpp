#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "cli/Cli.h"
#include "comm/TavBin.h"
#include "comm/TavServer.h"
#include "core/SettingsStore.h"
#include "formats/Cp1250Utf8.h"
#include "support/TestSupport.h"

extern char** environ;

namespace {

struct TCliRun {
  int Code;
  std::string Out, Err;
};

TCliRun Cli(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int code = RunCli(args, out, err);
  return {code, out.str(), err.str()};
}

// A throw-away profile and a companion server on a free loopback port serving Dir/root.
class TavCommandsTest : public ::testing::Test {
protected:
  TavCommandsTest()
      : Config("XDG_CONFIG_HOME", Dir.File("config").c_str()), System("XDG_CONFIG_DIRS", Dir.File("xdg").c_str()),
        Data("XDG_DATA_HOME", Dir.File("share").c_str()), Home("HOME", Dir.File("home").c_str()) {
    for (const char* folder : {"root/Cenik", "share", "home"})
      std::filesystem::create_directories(Dir.Path() / folder);
    TTavServerOptions options;
    options.Root = Dir.File("root");
    options.User = Cz("odběratel");
    options.Password = "heslo";
    options.Challenge = true;
    options.WaitMs = 5000;
    Server = std::make_unique<TTavServer>(options);
    Server->Start();
  }

  std::string Address() const { return "127.0.0.1:" + std::to_string(Server->Port()); }

  TempDir Dir;
  TEnvOverride Config, System, Data, Home;
  std::unique_ptr<TTavServer> Server;
};

TEST_F(TavCommandsTest, ConnectionFileGetAndPut) {
  const std::string conn = Dir.File("TAV.BIN");
  TCliRun r =
      Cli({"tav-bin", "--server", Address(), "--user", "odběratel", "--password", "heslo", "--challenge", conn});
  ASSERT_EQ(r.Code, 0) << r.Err;
  const TTavConnection c = ReadTavBin(conn);
  EXPECT_EQ(c.Host, "127.0.0.1");
  EXPECT_EQ(c.Port, Server->Port());
  EXPECT_EQ(c.User, Cz("odběratel"));
  EXPECT_TRUE(c.Challenge);

  WriteFileBytes(Dir.File("root/Cenik/CENIK.dbc"), "package");
  r = Cli({"tav", "get", "--conn", conn, "--alias", "Cenik", "CENIK.dbc", Dir.File("CENIK")});
  EXPECT_EQ(r.Code, 0) << r.Err;
  EXPECT_EQ(r.Out, "Hledání serveru 127.0.0.1\nNavázáno spojení s 127.0.0.1\nPřihlašování k serveru.\n"
                   "Načítání ceníku.\nSpojení s 127.0.0.1 ukončeno\n");
  EXPECT_EQ(r.Err, "");
  EXPECT_EQ(ReadFileBytes(Dir.File("CENIK")), "package");

  WriteFileBytes(Dir.File("OB.obx"), "order");
  r = Cli({"tav", "put", "--conn", conn, Dir.File("OB.obx")});
  EXPECT_EQ(r.Code, 0) << r.Err;
  EXPECT_EQ(r.Out, "Hledání serveru 127.0.0.1\nNavázáno spojení s 127.0.0.1\nPřihlašování k serveru.\n"
                   "Odesílá se hlavička souboru.\nOdesílání objednávky.\nSoubor přenesen v pořádku.\n"
                   "Spojení s 127.0.0.1 ukončeno\n");
  EXPECT_EQ(ReadFileBytes(Dir.File("root/incoming/OB.obx")), "order");
}

TEST_F(TavCommandsTest, FailedTransferExitsOneAndTheConnectionFileComesFromTheSettings) {
  const std::string conn = Dir.File("data/TAV.BIN");
  std::filesystem::create_directories(Dir.Path() / "data");
  TSettingsStore store("objednavky", Dir.File("config/T.V.X."), Dir.File("xdg/T.V.X."));
  store.WriteString("Files", "TAVBin", conn);
  store.Save();

  TCliRun r = Cli({"tav", "get", "--alias", "Cenik", "NONE.dbc", Dir.File("NONE")});
  EXPECT_EQ(r.Code, 1);
  EXPECT_EQ(r.Out, "Aplikace není nakonfigurována pro přenos dat přes TAV server\n");
  EXPECT_NE(r.Err.find("Chyba při přenosu dat přes internet (TAV)"), std::string::npos);

  ASSERT_EQ(
      Cli({"tav-bin", "--server", Address(), "--user", "odběratel", "--password", "heslo", "--challenge", conn}).Code,
      0);
  r = Cli({"tav", "get", "--alias", "Cenik", "NONE.dbc", Dir.File("NONE")});
  EXPECT_EQ(r.Code, 1);
  EXPECT_EQ(r.Out, "Hledání serveru 127.0.0.1\nNavázáno spojení s 127.0.0.1\nPřihlašování k serveru.\n"
                   "Načítání ceníku.\nSpojení s 127.0.0.1 ukončeno\n");
  EXPECT_FALSE(std::filesystem::exists(Dir.File("NONE")));
}

TEST_F(TavCommandsTest, WrongUsage) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"tav-bin", "--server", "nohost", "--user", "u", "--password", "p", "OUT"},
           {"tav-bin", "--server", "h:99999", "--user", "u", "--password", "p", "OUT"},
           {"tav-bin", "--user", "u", "--password", "p", "OUT"},
           {"tav-bin", "--server", "[::1]:2100", "--user", "u", "--password", "p", "OUT"},
           {"tav", "get", "NAME", "LOCAL"},
           {"tav", "put"},
           {"tav-server", "--listen", "127.0.0.1:1", "--root", "R", "--user", "u"}}) {
    SCOPED_TRACE(args[0] + " " + args[1]);
    const TCliRun r = Cli(args);
    EXPECT_EQ(r.Code, 2);
    EXPECT_NE(r.Err.find("usage:"), std::string::npos);
  }
}

#ifdef OBJ_CLI_PATH
// The server as a supplier runs it: its own process, one log line per request on stderr, a
// clean stop on SIGTERM.
TEST_F(TavCommandsTest, ServerProcessServesAndStopsOnSigterm) {
  std::filesystem::create_directories(Dir.Path() / "served" / "Cenik");
  WriteFileBytes(Dir.File("served/Cenik/CENIK.dbc"), "from the process");
  int outPipe[2], errPipe[2];
  ASSERT_EQ(pipe2(outPipe, O_CLOEXEC), 0);
  ASSERT_EQ(pipe2(errPipe, O_CLOEXEC), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
  std::vector<std::string> args{OBJ_CLI_PATH,       "tav-server", "--listen", "127.0.0.1:0", "--root",
                                Dir.File("served"), "--user",     "u",        "--password",  "p"};
  std::vector<char*> argv;
  for (std::string& a : args)
    argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, OBJ_CLI_PATH, &actions, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  close(outPipe[1]);
  close(errPipe[1]);

  // "listening 127.0.0.1:PORT"
  std::string first;
  pollfd p{outPipe[0], POLLIN, 0};
  char ch = 0;
  while (first.find('\n') == std::string::npos && poll(&p, 1, 5000) > 0 && read(outPipe[0], &ch, 1) == 1)
    first += ch;
  ASSERT_EQ(first.rfind("listening 127.0.0.1:", 0), 0u) << first;
  const int port = std::stoi(first.substr(20));

  TTavConnection c;
  c.Host = "127.0.0.1";
  c.Port = port;
  c.User = "u";
  c.Password = "p";
  WriteTavBin(Dir.File("TAV.BIN"), c);
  const TCliRun r = Cli({"tav", "get", "--conn", Dir.File("TAV.BIN"), "--alias", "Cenik", "CENIK.dbc", Dir.File("X")});
  EXPECT_EQ(r.Code, 0) << r.Out << r.Err;
  EXPECT_EQ(ReadFileBytes(Dir.File("X")), "from the process");

  kill(pid, SIGTERM);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  std::string log;
  char buffer[4096];
  for (ssize_t n; (n = read(errPipe[0], buffer, sizeof buffer)) > 0;)
    log.append(buffer, static_cast<std::size_t>(n));
  close(outPipe[0]);
  close(errPipe[0]);
  EXPECT_NE(log.find(" LOGIN u ok\n"), std::string::npos) << log;
  EXPECT_NE(log.find(" GETFILE Cenik/CENIK.dbc 16\n"), std::string::npos) << log;
  EXPECT_NE(log.find("stopped\n"), std::string::npos) << log;
}
#endif

} // namespace
