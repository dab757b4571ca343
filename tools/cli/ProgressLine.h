#pragma once

#include "tools/cli/TerminalDesktop.h"

#include <string>

namespace ordalis::cli {

// A status line on a terminal's standard error while a large file is worked
// on, so that a long run does not look like a hang. Erased when done.
class ProgressLine {
public:
    static constexpr long long kThreshold = 8LL * 1024 * 1024;

    ProgressLine(Terminal& terminal, const std::string& file, bool enabled);
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;
    ~ProgressLine();

private:
    Terminal& m_terminal;
    bool m_shown = false;
};

} // namespace ordalis::cli
