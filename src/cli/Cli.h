#pragma once

#include <ostream>
#include <string>
#include <vector>

// Runs the command-line companion with the arguments after the program name (UTF-8).
// Returns the exit code: 0 success, 1 failure (message on err), 2 wrong usage.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
