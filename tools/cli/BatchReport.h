#pragma once

#include "tools/cli/TerminalDesktop.h"
#include "tools/cli/Verbs.h"

#include <string>
#include <vector>

namespace ordalis::cli {

enum class Outcome { Succeeded, Invalid, Failed };

struct FileResult {
    std::string file;
    Outcome outcome = Outcome::Failed;
    std::vector<std::string> outputs;
};

// The --json line of one file.
std::string JsonLine(const FileResult& result, const TerminalDesktop::FileLog& log);

// The counts of each outcome, and the summary line and exit status they make.
struct Tally {
    int succeeded = 0, invalid = 0, failed = 0;
    void add(Outcome outcome);
    std::string summary(const SummaryWords& words) const;
    int exitStatus() const { return failed > 0 ? 2 : invalid > 0 ? 1 : 0; }
};

} // namespace ordalis::cli
