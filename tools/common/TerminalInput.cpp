#include "tools/common/TerminalInput.h"

#include "common/InterruptCleanup.h"
#include "common/UniqueFd.h"
#include "tools/common/Secret.h"

#include <openssl/crypto.h>

#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <termios.h>
#include <unistd.h>

namespace ordalis::tools {

namespace {

// Restores the terminal's echo however the read ends.
class EchoOff {
public:
    explicit EchoOff(int fd) : m_fd(fd)
    {
        m_saved = ::tcgetattr(fd, &m_previous) == 0;
        if (m_saved) {
            termios quiet = m_previous;
            quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            m_restoreOnInterrupt.emplace(fd, m_previous);
            ::tcsetattr(fd, TCSAFLUSH, &quiet);
        }
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;
    ~EchoOff()
    {
        if (m_saved)
            ::tcsetattr(m_fd, TCSAFLUSH, &m_previous);
    }

private:
    int m_fd;
    termios m_previous{};
    bool m_saved = false;
    std::optional<RestoreTerminalOnInterrupt> m_restoreOnInterrupt;
};

void WriteAll(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}

// Shows prompt on the controlling terminal and reads one line, without echo for a secret.
std::optional<std::string> ReadTerminalLine(const std::string& prompt, bool secret)
{
    UniqueFd tty(::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY));
    if (!tty)
        return std::nullopt;
    WriteAll(tty.get(), prompt);
    Secret line;
    bool ended = false;
    {
        std::optional<EchoOff> quiet;
        if (secret)
            quiet.emplace(tty.get());
        char c = 0;
        for (;;) {
            const ssize_t n = ::read(tty.get(), &c, 1);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                ended = true;
                break;
            }
            if (c == '\n')
                break;
            line.append(c);
        }
        OPENSSL_cleanse(&c, sizeof c);
    }
    if (secret)
        WriteAll(tty.get(), "\n");
    if (ended && line.text().empty())
        return std::nullopt;
    if (!line.text().empty() && line.text().back() == '\r')
        line.dropBack(1);
    return line.text();
}

} // namespace

std::optional<std::string> ReadSecretFromTerminal(const std::string& prompt) { return ReadTerminalLine(prompt, true); }

std::optional<std::string> ReadAnswerFromTerminal(const std::string& prompt) { return ReadTerminalLine(prompt, false); }

} // namespace ordalis::tools
