#include "cli/CliSupport.h"

void AddDbfCommands(std::vector<CliCommand>& commands) { (void)commands; }
