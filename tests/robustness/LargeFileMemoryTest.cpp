// ordalis-cli works on a file much larger than the memory it is allowed: a
// 512 MiB file is encrypted and decrypted, and a 3 GiB file (past every 32-bit
// length) signed and verified, with the process's peak memory bounded (a bound,
// not a time: the suite stays within its minutes on a slow machine).

#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "tests/support/TestStore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace ordalis::test {
namespace {

constexpr std::uintmax_t kLargeFile = std::uintmax_t{512} << 20;
// Hashing it takes some 20 seconds each way with Streebog.
constexpr std::uintmax_t kSignedFile = std::uintmax_t{3} << 30;
// Far below the file, far above what a chunked reader needs (the program and
// its libraries alone take some 20 MiB).
constexpr long kPeakMemoryKiB = 64 * 1024;

struct Finished {
    int status = -1;
    long peakKiB = 0; // the child's largest resident set
};

Finished RunCli(const std::vector<std::string>& arguments)
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
    Finished finished;
    struct rusage usage {};
    ::wait4(pid, &finished.status, 0, &usage);
    finished.peakKiB = usage.ru_maxrss;
    return finished;
}

// Whether the file holds exactly size zero bytes, read a piece at a time.
bool AllZeros(const std::string& path, std::uintmax_t size)
{
    if (std::filesystem::file_size(path) != size)
        return false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    std::vector<char> piece(std::size_t{1} << 20);
    ssize_t n = 0;
    bool zeros = fd >= 0;
    while (zeros && (n = ::read(fd, piece.data(), piece.size())) > 0)
        zeros = std::all_of(piece.begin(), piece.begin() + n, [](char c) { return c == 0; });
    ::close(fd);
    return zeros && n == 0;
}

class LargeFile : public ::testing::Test {
protected:
    void SetUp() override
    {
#ifdef __SANITIZE_ADDRESS__
        // AddressSanitizer keeps freed memory in quarantine and slows hashing
        // severalfold: neither the bound nor the suite's minutes would mean anything.
        GTEST_SKIP() << "peak memory is not the program's own under AddressSanitizer";
#endif
        ::mkdir(store.path("").c_str(), 0700);
        store.add("me", KeyAlgorithm::Gost2012_256);
    }

    const bool engine = EnsureGostEngine(); // before OpenSSL first names its algorithms
    TestStore store;
};

TEST_F(LargeFile, EncryptsAndDecryptsHalfAGibibyteInBoundedMemory)
{
    ASSERT_TRUE(engine);
    // Sparse, so that making it costs no disk.
    const std::string plain = store.path("big.bin");
    std::ofstream(plain, std::ios::binary).close();
    std::filesystem::resize_file(plain, kLargeFile);
    const Finished encrypting = RunCli({"encrypt", plain, "--cert", "me"});
    ASSERT_TRUE(WIFEXITED(encrypting.status) && WEXITSTATUS(encrypting.status) == 0) << encrypting.status;
    EXPECT_LT(encrypting.peakKiB, kPeakMemoryKiB);
    RecordProperty("encrypt_peak_kib", std::to_string(encrypting.peakKiB));
    ::unlink(plain.c_str());

    const Finished decrypting = RunCli({"decrypt", store.path("big.bin.enc")});
    ASSERT_TRUE(WIFEXITED(decrypting.status) && WEXITSTATUS(decrypting.status) == 0) << decrypting.status;
    EXPECT_LT(decrypting.peakKiB, kPeakMemoryKiB);
    RecordProperty("decrypt_peak_kib", std::to_string(decrypting.peakKiB));
    EXPECT_TRUE(AllZeros(plain, kLargeFile));
}

TEST_F(LargeFile, SignsAndVerifiesThreeGibibytesInBoundedMemory)
{
    ASSERT_TRUE(engine);
    const std::string plain = store.path("big.bin");
    std::ofstream(plain, std::ios::binary).close();
    std::filesystem::resize_file(plain, kSignedFile);
    const Finished signing = RunCli({"sign", plain, "--cert", "me"});
    ASSERT_TRUE(WIFEXITED(signing.status) && WEXITSTATUS(signing.status) == 0) << signing.status;
    EXPECT_LT(signing.peakKiB, kPeakMemoryKiB);
    RecordProperty("sign_peak_kib", std::to_string(signing.peakKiB));

    const Finished verifying = RunCli({"verify", plain, plain + ".sig"});
    ASSERT_TRUE(WIFEXITED(verifying.status) && WEXITSTATUS(verifying.status) == 0) << verifying.status;
    EXPECT_LT(verifying.peakKiB, kPeakMemoryKiB);
    RecordProperty("verify_peak_kib", std::to_string(verifying.peakKiB));
}

} // namespace
} // namespace ordalis::test
