#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "support/TestSupport.h"

// What one run of the companion printed (UTF-8) and returned.
struct CliResult {
  int Code = 0;
  std::string Out;
  std::string Err;
};

inline CliResult RunCliCommand(const std::vector<std::string>& args) {
  std::ostringstream out;
  std::ostringstream err;
  const int code = RunCli(args, out, err);
  return {code, out.str(), err.str()};
}

// A throw-away profile for command tests: the user's settings, the system's settings and the
// data folder all inside Dir, so a command never reads or writes the real user's files.
class CliProfileTest : public ::testing::Test {
protected:
  CliProfileTest()
      : Home("XDG_CONFIG_HOME", Dir.File("config").c_str()), System("XDG_CONFIG_DIRS", Dir.File("xdg").c_str()),
        Data("XDG_DATA_HOME", Dir.File("data").c_str()) {}

  CliResult Run(const std::vector<std::string>& args) { return RunCliCommand(args); }

  TempDir Dir;
  TEnvOverride Home;
  TEnvOverride System;
  TEnvOverride Data;
};
