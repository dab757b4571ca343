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

ProgressLine::~ProgressLine()
{
    if (m_shown)
        m_terminal.err << "\r\033[K" << std::flush;
}

} // namespace ordalis::cli
