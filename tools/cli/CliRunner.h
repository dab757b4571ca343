#pragma once

#include "tools/cli/TerminalDesktop.h"

#include <string>
#include <vector>

namespace ordalis::cli {

// Runs ordalis-cli with the arguments after the program name; returns the exit
// status: 0 every file succeeded, 1 a signature was invalid, 2 any other failure.
int RunCli(const std::vector<std::string>& args, Terminal& terminal);

} // namespace ordalis::cli
