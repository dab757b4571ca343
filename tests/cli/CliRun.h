#pragma once

// ordalis-cli run in the test's own process, on string streams.

#include "tools/cli/CliRunner.h"

#include <sstream>
#include <string>
#include <vector>

namespace ordalis::test {

struct CliRun {
    int status = -1;
    std::string out, err;
};

// Runs the command line with input as its standard input; interactive says
// whether that input is a terminal, and readSecret answers its hidden questions.
inline CliRun RunCliCaptured(const std::vector<std::string>& args, const std::string& input = "",
                             bool interactive = false, tools::Terminal::Ask readSecret = nullptr)
{
    std::istringstream in(input);
    std::ostringstream out, err;
    tools::Terminal terminal{in, out, err, interactive, std::move(readSecret), nullptr};
    CliRun run;
    run.status = cli::RunCli(args, terminal);
    run.out = out.str();
    run.err = err.str();
    return run;
}

} // namespace ordalis::test
