#include "common/ProcessHardening.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ordalis {
namespace {

using test::WaitStatusOfChild;

TEST(ProcessHardening, NoCoreDumpAndNotDumpable)
{
    const int status = WaitStatusOfChild([] {
        const rlimit generous{RLIM_INFINITY, RLIM_INFINITY};
        ::setrlimit(RLIMIT_CORE, &generous);
        DisableCoreDumps();
        rlimit core{};
        if (::getrlimit(RLIMIT_CORE, &core) != 0 || core.rlim_cur != 0 || core.rlim_max != 0)
            return 1;
        return ::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0) == 0 ? 0 : 2;
    });
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: a core limit above zero, 2: still dumpable";
}

TEST(ProcessHardening, ACrashAfterwardsWritesNoCore)
{
    const test::TempDir folder;
    const int status = WaitStatusOfChild([&] {
        if (::chdir(folder.path().c_str()) != 0)
            return 3;
        DisableCoreDumps();
        // Even a limit raised again (root may) must not bring the dump back.
        const rlimit generous{RLIM_INFINITY, RLIM_INFINITY};
        ::setrlimit(RLIMIT_CORE, &generous);
        std::signal(SIGABRT, SIG_DFL);
        std::abort();
    });
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGABRT);
    EXPECT_FALSE(WCOREDUMP(status));
    EXPECT_TRUE(test::ListFolder(folder.path()).empty());
}

} // namespace
} // namespace ordalis
