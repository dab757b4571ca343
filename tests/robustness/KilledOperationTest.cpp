// ordalis-cli killed with SIGKILL while it writes a large output leaves the
// folder as it was: the output has no name until it is complete. While it is
// written, only its owner may open it.

#include "tests/support/TempDir.h"
#include "tests/support/TestStore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace ordalis::test {
namespace {

constexpr std::size_t kLargeFile = 32 * 1024 * 1024;
constexpr const char* kCertificate = "gost2012_256";

// Starts ordalis-cli with arguments, its output thrown away.
pid_t StartCli(const std::vector<std::string>& arguments)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0), ::dup2(null, 1), ::dup2(null, 2);
        std::vector<char*> argv{const_cast<char*>(ORDALIS_CLI_BINARY)};
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        ::execv(ORDALIS_CLI_BINARY, argv.data());
        ::_exit(127);
    }
    return pid;
}

int Wait(pid_t pid)
{
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

// The text of a /proc file, empty when it has gone (the descriptor was
// closed). Plain read(2): a stream would throw on the ENOENT read then gives.
std::string ReadProcFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    char text[4096];
    const ssize_t n = ::read(fd, text, sizeof text);
    ::close(fd);
    return n > 0 ? std::string(text, static_cast<std::size_t>(n)) : std::string();
}

bool OpenForWriting(const std::string& fdinfo)
{
    const std::string info = ReadProcFile(fdinfo);
    const std::size_t at = info.find("flags:\t");
    return at != std::string::npos && (std::stoul(info.substr(at + 7), nullptr, 8) & O_ACCMODE) != O_RDONLY;
}

// The mode of a file that pid has open for writing in folder and that is not
// one of the names the folder held before; nothing when there is none yet.
// Descriptors come and go while this looks, so any of them may vanish midway.
std::optional<mode_t> OutputBeingWritten(pid_t pid, const std::string& folder)
{
    const std::string proc = "/proc/" + std::to_string(pid);
    const std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir((proc + "/fd").c_str()), ::closedir);
    if (!listing)
        return std::nullopt;
    std::optional<mode_t> found;
    while (const dirent* entry = ::readdir(listing.get())) {
        const std::string fd = proc + "/fd/" + entry->d_name;
        char target[4096];
        const ssize_t n = ::readlink(fd.c_str(), target, sizeof target - 1);
        if (n <= 0)
            continue;
        const std::string name(target, static_cast<std::size_t>(n));
        struct stat st {};
        if (name.rfind(folder + "/", 0) == 0 && OpenForWriting(proc + "/fdinfo/" + entry->d_name) &&
            ::stat(fd.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            found = st.st_mode;
    }
    return found;
}

std::string RandomBytes(std::size_t size)
{
    std::mt19937_64 random(20261209);
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i + 8 <= size; i += 8) {
        const std::uint64_t r = random();
        std::memcpy(bytes.data() + i, &r, 8);
    }
    return bytes;
}

class KilledOperation : public ::testing::Test {
protected:
    void SetUp() override
    {
        // ordalis-cli makes itself undumpable, which hands its /proc entries to root.
        if (::geteuid() != 0)
            GTEST_SKIP() << "only root can see which files ordalis-cli has open";
        store.add(kCertificate, KeyAlgorithm::Gost2012_256);
        std::filesystem::create_directories(folder());
        WriteFile(folder() + "/big.bin", RandomBytes(kLargeFile));
    }

    std::string folder() const { return scratch.file("work"); }
    std::string serial() const { return store.get(kCertificate).serialHex; }

    // Runs the command, kills it as soon as it has its output open, and checks
    // what it was writing was private and that the folder is as it was.
    // With after, the output looked for is the one written once that file is complete.
    void killWhileWriting(const std::vector<std::string>& arguments, std::vector<std::string> kept,
                          const std::string& after = {})
    {
        const std::vector<std::string> before = ListFolder(folder());
        const pid_t pid = StartCli(arguments);
        std::optional<mode_t> seen;
        int status = 0;
        for (;;) {
            seen =
                after.empty() || FileExists(folder() + "/" + after) ? OutputBeingWritten(pid, folder()) : std::nullopt;
            if (seen)
                break;
            if (::waitpid(pid, &status, WNOHANG) == pid)
                break;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        ASSERT_TRUE(seen.has_value()) << "the output was never seen being written; exit status " << status;
        ::kill(pid, SIGKILL);
        Wait(pid);
        EXPECT_EQ(*seen & 077, 0u) << "others could open the output while it was written";
        kept.insert(kept.end(), before.begin(), before.end());
        std::sort(kept.begin(), kept.end());
        kept.erase(std::unique(kept.begin(), kept.end()), kept.end());
        EXPECT_EQ(ListFolder(folder()), kept);
    }

    TestStore store;
    TempDir scratch;
};

TEST_F(KilledOperation, EncryptingLeavesNothing)
{
    killWhileWriting({"encrypt", folder() + "/big.bin", "--cert", serial()}, {});
}

TEST_F(KilledOperation, DecryptingLeavesNothing)
{
    const std::string staged = scratch.file("big.bin");
    std::filesystem::rename(folder() + "/big.bin", staged);
    ASSERT_EQ(WEXITSTATUS(Wait(StartCli({"encrypt", staged, "--cert", serial()}))), 0);
    std::filesystem::rename(staged + ".enc", folder() + "/big.bin.enc");
    killWhileWriting({"decrypt", folder() + "/big.bin.enc"}, {});
}

TEST_F(KilledOperation, SigningAttachedLeavesNothing)
{
    killWhileWriting({"sign", folder() + "/big.bin", "--cert", serial(), "--attached"}, {});
}

TEST_F(KilledOperation, ExtractingLeavesNothing)
{
    const std::string staged = scratch.file("big.bin");
    std::filesystem::rename(folder() + "/big.bin", staged);
    ASSERT_EQ(WEXITSTATUS(Wait(StartCli({"sign", staged, "--cert", serial(), "--attached"}))), 0);
    std::filesystem::rename(staged + ".sig", folder() + "/big.bin.sig");
    killWhileWriting({"verify", folder() + "/big.bin.sig", "--extract", folder() + "/big.bin"}, {});
}

TEST_F(KilledOperation, PackingLeavesOnlyTheFinishedSignature)
{
    killWhileWriting({"sign", folder() + "/big.bin", "--cert", serial(), "--pack"}, {"big.bin.sig"}, "big.bin.sig");
}

} // namespace
} // namespace ordalis::test
