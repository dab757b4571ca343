#include "tests/support/OtherUser.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ordalis::test {
namespace {

TEST(OtherUser, ChildRunsWithoutRootAndReportsBack)
{
    const OtherUser user = OtherUser::unprivileged();
    ORDALIS_SKIP_WITHOUT(user);
    const ChildResult result = user.run([] { return std::to_string(::geteuid()) + "/" + std::to_string(::getegid()); });
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.text, std::to_string(user.uid()) + "/" + std::to_string(user.gid()));
    EXPECT_NE(user.uid(), 0u);
}

TEST(OtherUser, PermissionsBindTheChild)
{
    const OtherUser user = OtherUser::unprivileged();
    ORDALIS_SKIP_WITHOUT(user);
    TempDir dir;
    WriteFile(dir.file("secret"), "x");
    ::mkdir(dir.file("locked").c_str(), 0700);
    ASSERT_TRUE(user.own(dir.path()));
    ASSERT_EQ(::chmod(dir.file("secret").c_str(), 0), 0);
    ASSERT_EQ(::chmod(dir.file("locked").c_str(), 0500), 0);

    const ChildResult result = user.run([&] {
        const bool reads = ::access(dir.file("secret").c_str(), R_OK) == 0;
        const bool writes = ::access(dir.file("locked").c_str(), W_OK) == 0;
        return std::string(reads ? "reads" : "-") + (writes ? "writes" : "-");
    });
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.text, "--");
}

TEST(OtherUser, ExceptionsAndCommandsComeBackWithTheirStatus)
{
    const OtherUser user = OtherUser::unprivileged();
    ORDALIS_SKIP_WITHOUT(user);
    const ChildResult thrown = user.run([]() -> std::string { throw std::runtime_error("refused"); });
    EXPECT_EQ(thrown.status, 1);
    EXPECT_EQ(thrown.text, "refused");

    const ChildResult command = user.runCommand("id -u; echo oops >&2; exit 3");
    EXPECT_EQ(command.status, 3);
    EXPECT_EQ(command.text, std::to_string(user.uid()) + "\noops\n");
}

TEST(OtherUser, DifferentAccountIsNeverTheCurrentOne)
{
    const OtherUser user = OtherUser::different();
    ORDALIS_SKIP_WITHOUT(user);
    EXPECT_NE(user.uid(), ::geteuid());
    EXPECT_EQ(user.runCommand("id -u").text, std::to_string(user.uid()) + "\n");
}

} // namespace
} // namespace ordalis::test
