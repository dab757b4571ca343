#pragma once

#include "tools/common/Terminal.h"

#include <string>
#include <vector>

namespace ordalis::tools {

// Runs one ordalis-store command line (without the program name).
// Returns the exit status: 0 on success, 2 on bad input or any failure.
int RunStoreCommand(const std::vector<std::string>& arguments, Terminal& terminal);

} // namespace ordalis::tools
