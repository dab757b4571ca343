#include "tools/cli/ProgressLine.h"

#include "tools/cli/CliTexts.h"

#include <ostream>
#include <sys/stat.h>

namespace ordalis::cli {

ProgressLine::ProgressLine(Terminal& terminal, const std::string& file, bool enabled) : m_terminal(terminal)
{
    struct stat st {};
    if (!enabled || !terminal.interactive || ::stat(file.c_str(), &st) != 0 || st.st_size < kThreshold)
        return;
    m_terminal.err << "\r" << tools::Say(texts::kWorkingOn, {file, std::to_string(st.st_size / (1024 * 1024))})
                   << std::flush;
    m_shown = true;
}

TerminalProgress::TerminalProgress(Terminal& terminal, std::string file, bool enabled)
    : m_terminal(terminal), m_file(std::move(file)), m_enabled(enabled && terminal.interactive)
{
}

void TerminalProgress::setDone(std::uint64_t done)
{
    constexpr std::uint64_t kMiB = 1024 * 1024;
    if (!m_enabled || done / kMiB == m_shownMiB)
        return;
    m_shownMiB = done / kMiB;
    m_terminal.err << "\r\033[K"
                   << tools::Say(texts::kBytesDone,
                                 {m_file, std::to_string(m_shownMiB), std::to_string(m_total / kMiB)})
                   << std::flush;
}

ProgressLine::~ProgressLine()
{
    if (m_shown)
        m_terminal.err << "\r\033[K" << std::flush;
}

} // namespace ordalis::cli
