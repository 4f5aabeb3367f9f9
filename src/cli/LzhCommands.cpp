#include "cli/CliSupport.h"

void AddLzhCommands(std::vector<CliCommand>& commands) { (void)commands; }
