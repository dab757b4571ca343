#pragma once

#include "tools/cli/TerminalDesktop.h"

#include <cstdint>
#include <string>

namespace ordalis::cli {

// How far a long step has come, on the status line of a terminal's standard
// error: rewritten each time another mebibyte is done.
class TerminalProgress final : public StepProgress {
public:
    TerminalProgress(Terminal& terminal, std::string file, bool enabled);
    void setTotal(std::uint64_t total) override { m_total = total; }
    void setDone(std::uint64_t done) override;

private:
    Terminal& m_terminal;
    std::string m_file;
    bool m_enabled;
    std::uint64_t m_total = 0;
    std::uint64_t m_shownMiB = ~std::uint64_t{0};
};

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
