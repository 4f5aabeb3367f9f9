#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <sys/wait.h>

#include "cli/Cli.h"
#include "cli/CliSupport.h"

namespace {

struct CliRun {
  int code;
  std::string out, err;
};

CliRun Cli(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int code = RunCli(args, out, err);
  return {code, out.str(), err.str()};
}

TEST(Cli, UnknownOrMissingCommandIsWrongUsage) {
  for (const auto& args : std::vector<std::vector<std::string>>{{}, {"nonsense"}, {"dbf"}, {"lzh", "nonsense"}}) {
    const CliRun r = Cli(args);
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("usage:"), std::string::npos);
    EXPECT_TRUE(r.out.empty());
  }
}

TEST(Cli, HelpOnEveryLevelListsTheCommandsBelowIt) {
  const CliRun top = Cli({"--help"});
  EXPECT_EQ(top.code, 0);
  EXPECT_NE(top.out.find("objednavky-cli dbf dump"), std::string::npos);
  EXPECT_NE(top.out.find("objednavky-cli lzh pack"), std::string::npos);

  const CliRun group = Cli({"lzh", "--help"});
  EXPECT_EQ(group.code, 0);
  EXPECT_NE(group.out.find("objednavky-cli lzh list"), std::string::npos);
  EXPECT_EQ(group.out.find("objednavky-cli dbf"), std::string::npos);

  const CliRun command = Cli({"dbf", "info", "--help"});
  EXPECT_EQ(command.code, 0);
  EXPECT_NE(command.out.find("objednavky-cli dbf info"), std::string::npos);
}

TEST(CliArgs, DoubleDashEndsOptions) {
  const CliArgs a = ParseCliArgs({"--karty", "K.DBF", "--", "--not-an-option", "x"}, {"karty"});
  EXPECT_EQ(a.Option("karty"), "K.DBF");
  EXPECT_EQ(a.Positional, (std::vector<std::string>{"--not-an-option", "x"}));
  EXPECT_THROW(ParseCliArgs({"--unknown"}, {"karty"}), UsageError);
  EXPECT_THROW(ParseCliArgs({"--karty"}, {"karty"}), UsageError);
}

TEST(CliArgs, EscapesControlCharactersOfFields) { EXPECT_EQ(EscapeField("a\\b\tc\rd\ne"), "a\\\\b\\tc\\rd\\ne"); }

#ifdef OBJ_CLI_PATH
TEST(CliProgram, ExitCodesReachTheShell) {
  auto exitCode = [](const std::string& args) {
    const int status = std::system((std::string(OBJ_CLI_PATH) + " " + args + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  EXPECT_EQ(exitCode("--help"), 0);
  EXPECT_EQ(exitCode("nonsense"), 2);
  EXPECT_EQ(exitCode("dbf info /nonexistent/file.dbf"), 1);
}
#endif

} // namespace
