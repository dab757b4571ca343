// An interrupted program removes the named temporary files of its unfinished
// outputs and gives the terminal its echo back, then ends as the signal says.

#include "common/InterruptCleanup.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

using namespace ordalis;
using ordalis::test::TempDir;

namespace {

// Runs body in a child process and returns its wait status.
template <class Body>
int InChild(Body body)
{
    const pid_t child = ::fork();
    if (child == 0) {
        body();
        std::_Exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return status;
}

} // namespace

TEST(InterruptCleanup, ARegisteredTemporaryIsRemovedAndTheSignalEndsTheProcess)
{
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        TempDir dir;
        const std::string temporary = dir.file(".ordalis-half.tmp");
        const std::string kept = dir.file("kept.bin");
        const int status = InChild([&] {
            InstallProcessSignalHandling();
            test::WriteFile(temporary, "half of the plaintext");
            test::WriteFile(kept, "an unrelated file");
            RemoveOnInterrupt removal(temporary);
            std::raise(sig);
        });
        ASSERT_TRUE(WIFSIGNALED(status)) << sig;
        EXPECT_EQ(WTERMSIG(status), sig);
        EXPECT_EQ(test::ListFolder(dir.path()), std::vector<std::string>{"kept.bin"}) << sig;
    }
}

TEST(InterruptCleanup, AFinishedWriterIsNoLongerRemoved)
{
    TempDir dir;
    const std::string done = dir.file("done.bin");
    const int status = InChild([&] {
        InstallProcessSignalHandling();
        test::WriteFile(done, "complete");
        {
            RemoveOnInterrupt removal(done);
        }
        std::raise(SIGTERM);
    });
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_TRUE(test::FileExists(done));
}

TEST(InterruptCleanup, ThePasswordPromptsTerminalGetsItsEchoBack)
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const int terminal = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    termios before{};
    ASSERT_EQ(::tcgetattr(terminal, &before), 0);
    ASSERT_TRUE(before.c_lflag & ECHO);

    const int status = InChild([&] {
        InstallProcessSignalHandling();
        RestoreTerminalOnInterrupt restore(terminal, before);
        termios quiet = before;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(terminal, TCSAFLUSH, &quiet);
        std::raise(SIGINT);
    });
    EXPECT_TRUE(WIFSIGNALED(status));
    termios after{};
    ASSERT_EQ(::tcgetattr(terminal, &after), 0);
    EXPECT_TRUE(after.c_lflag & ECHO);
    ::close(terminal);
    ::close(master);
}
