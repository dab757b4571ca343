#include "common/InterruptCleanup.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <unistd.h>

namespace ordalis {

namespace {

// A signal handler may touch only what is async-signal-safe, so what it cleans
// up lives in fixed process-wide slots, armed and disarmed atomically.
struct PathSlot {
    std::atomic<int> state{0}; // 0 free, 1 being filled or emptied, 2 armed
    char path[PATH_MAX]{};
};

constexpr int kSlotCount = 32;
std::array<PathSlot, kSlotCount> g_paths;

struct TerminalSlot {
    std::atomic<bool> armed{false};
    int fd = -1;
    termios saved{};
};
TerminalSlot g_terminal;

constexpr int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void CleanUpAndEnd(int sig)
{
    const int savedErrno = errno;
    for (PathSlot& slot : g_paths)
        if (slot.state.load() == 2)
            ::unlink(slot.path);
    if (g_terminal.armed.load())
        ::tcsetattr(g_terminal.fd, TCSAFLUSH, &g_terminal.saved);
    errno = savedErrno;
    // The signal stays blocked until the handler returns; then its default action ends the process.
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

} // namespace

void InstallProcessSignalHandling()
{
    std::signal(SIGXFSZ, SIG_IGN);
    struct sigaction action {};
    action.sa_handler = CleanUpAndEnd;
    sigfillset(&action.sa_mask);
    for (int sig : kInterrupts) {
        struct sigaction previous {};
        // A signal ignored by whoever started us (nohup, a shell's background job) stays ignored.
        if (::sigaction(sig, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN)
            continue;
        ::sigaction(sig, &action, nullptr);
    }
}

RemoveOnInterrupt::RemoveOnInterrupt(const std::string& path) : m_slot(-1)
{
    if (path.size() >= PATH_MAX)
        return;
    for (int i = 0; i < kSlotCount; ++i) {
        int expected = 0;
        if (g_paths[i].state.compare_exchange_strong(expected, 1)) {
            std::memcpy(g_paths[i].path, path.c_str(), path.size() + 1);
            g_paths[i].state.store(2);
            m_slot = i;
            return;
        }
    }
}

RemoveOnInterrupt::~RemoveOnInterrupt()
{
    if (m_slot >= 0)
        g_paths[m_slot].state.store(0);
}

RestoreTerminalOnInterrupt::RestoreTerminalOnInterrupt(int fd, const termios& saved)
{
    g_terminal.armed.store(false);
    g_terminal.fd = fd;
    g_terminal.saved = saved;
    g_terminal.armed.store(true);
}

RestoreTerminalOnInterrupt::~RestoreTerminalOnInterrupt() { g_terminal.armed.store(false); }

} // namespace ordalis
