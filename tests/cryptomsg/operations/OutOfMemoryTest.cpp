// Decrypting a valid envelope with too little memory to hold it twice: the
// user is told memory ran out, never that the file is damaged.

#include "cryptomsg/operations/Operations.h"
#include "tests/cryptomsg/operations/TestTabs.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/FakeDesktop.h"
#include "tests/support/TestStore.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace ordalis;
using namespace ordalis::test;

namespace {

// The address space the process has mapped now, in bytes.
rlim_t MappedBytes()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmSize:", 0) == 0)
            return static_cast<rlim_t>(std::stoull(line.substr(7))) * 1024;
    return 0;
}

// Decrypts in a child process whose address space has room for the envelope
// once and a little more, and returns what the user was told.
std::string DecryptWithLittleMemory(const std::string& envelope, std::size_t envelopeSize)
{
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return "pipe failed";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        std::string told;
        const rlim_t room = MappedBytes() + envelopeSize + (8u << 20);
        const rlimit limit{room, room};
        if (::setrlimit(RLIMIT_AS, &limit) != 0) {
            told = "setrlimit failed";
        } else {
            try {
                FakeDesktop desktop;
                TestDecryptTab tab;
                tab.file = envelope;
                const OperationResult result = DecryptOperation(tab, desktop);
                for (const std::string& notice : desktop.notices)
                    told += notice + "\n";
                if (result.succeeded)
                    told += "succeeded\n";
            } catch (const std::exception& e) {
                told += std::string("error: ") + e.what() + "\n";
            }
        }
        const ssize_t written = ::write(pipeEnds[1], told.data(), told.size());
        ::_exit(written == static_cast<ssize_t>(told.size()) ? 0 : 1);
    }
    ::close(pipeEnds[1]);
    std::string told;
    char buffer[512];
    for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        told.append(buffer, static_cast<std::size_t>(n));
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return told;
}

TEST(OutOfMemory, DecryptingSaysMemoryRanOutNotThatTheFileIsDamaged)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer's allocator ends the process when an address-space limit stops it, "
                    "so a failed allocation cannot reach the product here; the ordinary build runs this case";
#endif
    TestStore store;
    store.addStandardSet();
    ::mkdir(store.path("").c_str(), 0700);
    const std::string plain = store.path("large.bin");
    // Made in another process, so that this one holds no free memory of that size the decryption could reuse.
    const int made = WaitStatusOfChild([&] {
        WriteFile(plain, std::string(40u << 20, '\x6b'));
        FakeDesktop encrypting;
        encrypting.certificateAnswers.push_back(store.indexOf("gost2012_256"));
        TestEncryptTab tab;
        tab.file = plain;
        return EncryptOperation(tab, encrypting).succeeded ? 0 : 1;
    });
    ASSERT_TRUE(WIFEXITED(made) && WEXITSTATUS(made) == 0);
    ::unlink(plain.c_str());

    struct stat st {};
    ASSERT_EQ(::stat((plain + ".enc").c_str(), &st), 0);
    const std::string told = DecryptWithLittleMemory(plain + ".enc", static_cast<std::size_t>(st.st_size));
    // Whichever allocation fails first, OpenSSL's or the buffer's, the user is told memory ran out.
    EXPECT_TRUE(told == "Недостаточно памяти для завершения операции - 2147942414\n" ||
                told == "error: Out of memory while expanding memory stream\n")
        << told;
    EXPECT_FALSE(FileExists(plain)) << "no decrypted file from a failed decryption";
}

} // namespace
