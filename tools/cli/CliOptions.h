#pragma once

#include "tools/cli/Verbs.h"
#include "tools/common/Arguments.h"

#include <string>
#include <vector>

namespace ordalis::cli {

using tools::UsageError;

// The command line of ordalis-cli: its verb, the files (the positional words)
// and the options given, by name.
struct CliOptions : tools::ParsedArguments {
    const Verb* verb = nullptr; // null when help was asked before any verb
    const std::vector<std::string>& files() const { return positional; }
};

// Parses the arguments after the program name. Throws UsageError.
CliOptions ParseCliOptions(const std::vector<std::string>& args);

// The help text of a verb (or of the program when verb names none).
std::string HelpText(const std::string& verb);

} // namespace ordalis::cli
