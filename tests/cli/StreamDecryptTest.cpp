// ordalis-cli encrypts and decrypts files as it reads them. Decryption reads the envelope as it goes: every length
// around the chunk it decrypts at a time, the definite (DER) and the indefinite-length, segmented (BER) forms, and
// envelopes that end early, say a wrong length or carry bytes after them, which are refused with nothing written.

#include "common/ErrorCodes.h"
#include "common/SystemError.h"
#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "tests/cli/CliRun.h"
#include "tests/support/OpenSslTool.h"
#include "tests/support/TestStore.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <sys/stat.h>

namespace ordalis::test {
namespace {

// The decryptor reads and decrypts a mebibyte at a time.
constexpr std::size_t kChunk = std::size_t{1} << 20;

std::string RandomBytes(std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(random());
    return bytes;
}

class StreamDecrypt : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::mkdir(store.path("").c_str(), 0700);
        store.add("me", KeyAlgorithm::Gost2012_256);
    }

    // The envelope of content made by openssl (flags e.g. "-stream"), as file.enc.
    void encryptWithOpenSsl(const std::string& content, const std::string& flags)
    {
        WriteFile(store.path("file"), content);
        std::string log;
        ASSERT_EQ(RunOpenSsl(store.path(""),
                             "cms -encrypt -binary -gost89 -outform DER " + flags + " -in file -out file.enc '" +
                                 store.get("me").certificateFile + "'",
                             &log),
                  0)
            << log;
        ::unlink(store.path("file").c_str());
    }

    void encryptWithOrdalis(const std::string& content)
    {
        WriteFile(store.path("file"), content);
        const CliRun run = RunCliCaptured({"encrypt", store.path("file"), "--cert", "me"});
        ASSERT_EQ(run.status, 0) << run.err;
        ::unlink(store.path("file").c_str());
    }

    CliRun decrypt() { return RunCliCaptured({"decrypt", store.path("file.enc")}); }

    // The envelope as it stands is refused, and the folder is left as it was.
    void expectRefused(const std::string& envelope, const std::string& why)
    {
        SCOPED_TRACE(why);
        WriteFile(store.path("file.enc"), envelope);
        const auto before = ListFolder(store.path(""));
        const CliRun run = decrypt();
        EXPECT_EQ(run.status, 2) << run.out;
        EXPECT_NE(run.err.find(" - "), std::string::npos) << run.err; // the Error report with its code
        EXPECT_EQ(ListFolder(store.path("")), before) << "nothing written, not even a temporary file";
    }

    const bool engine = EnsureGostEngine(); // before OpenSSL first names its algorithms
    TestStore store;
};

TEST_F(StreamDecrypt, RoundTripsAtEveryChunkBoundary)
{
    ASSERT_TRUE(engine);
    const std::size_t sizes[] = {0, 1, 7, 65535, 65537, kChunk - 1, kChunk, kChunk + 1, 3 * kChunk + 5};
    for (const std::size_t size : sizes) {
        SCOPED_TRACE(size);
        const std::string content = RandomBytes(size, static_cast<unsigned>(size));
        encryptWithOrdalis(content);
        const CliRun run = decrypt();
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, "Расшифрован\n");
        EXPECT_TRUE(ReadFile(store.path("file")) == content);
    }
}

TEST_F(StreamDecrypt, OpensOpenSslEnvelopesInDefiniteAndSegmentedForms)
{
    ASSERT_TRUE(engine);
    for (const std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{4097}, 2 * kChunk + 3}) {
        for (const std::string flags : {"", "-stream"}) {
            if (size == 0 && !flags.empty())
                continue; // openssl itself fails to stream nothing with the GOST engine
            SCOPED_TRACE(std::to_string(size) + " " + flags);
            const std::string content = RandomBytes(size, 7);
            encryptWithOpenSsl(content, flags);
            const CliRun run = decrypt();
            ASSERT_EQ(run.status, 0) << run.err;
            EXPECT_TRUE(ReadFile(store.path("file")) == content);
            ::unlink(store.path("file").c_str());
        }
    }
}

// The command line's envelopes are written as the file is read: indefinite
// lengths, which openssl reads as well.
TEST_F(StreamDecrypt, EncryptWritesBerThatOpenSslOpens)
{
    ASSERT_TRUE(engine);
    const std::string certificate = store.get("me").certificateFile;
    for (const std::size_t size : {std::size_t{1}, std::size_t{4095}, 2 * kChunk + 3}) {
        SCOPED_TRACE(size);
        const std::string content = RandomBytes(size, 3);
        encryptWithOrdalis(content);
        const std::string envelope = ReadFile(store.path("file.enc"));
        ASSERT_GE(envelope.size(), 2u);
        EXPECT_EQ(envelope.substr(0, 2), "\x30\x80");
        std::string log;
        ASSERT_EQ(RunOpenSsl(store.path(""),
                             "cms -decrypt -binary -inform DER -in file.enc -out theirs -recip '" + certificate +
                                 "' -inkey '" + std::filesystem::path(certificate).replace_extension(".key").string() +
                                 "'",
                             &log),
                  0)
            << log;
        EXPECT_TRUE(ReadFile(store.path("theirs")) == content);
    }
}

TEST_F(StreamDecrypt, DefiniteEnvelopeCutShortLengthenedOrFollowedIsRefused)
{
    ASSERT_TRUE(engine);
    encryptWithOpenSsl(RandomBytes(5000, 1), "");
    const std::string whole = ReadFile(store.path("file.enc"));
    ASSERT_EQ(static_cast<unsigned char>(whole[0]), 0x30);
    ASSERT_EQ(static_cast<unsigned char>(whole[1]), 0x82) << "a two-byte length";

    expectRefused(whole.substr(0, whole.size() - 1), "the last byte missing");
    expectRefused(whole.substr(0, whole.size() / 2), "cut in the middle of the content");
    expectRefused(whole.substr(0, 40), "cut before the content");
    expectRefused(whole + std::string(1, '\0'), "a byte after it");
    expectRefused(whole + whole, "a second envelope after it");
    std::string longer = whole;
    longer[3] = static_cast<char>(longer[3] + 1);
    expectRefused(longer, "its length one more than the file holds");
    std::string shorter = whole;
    shorter[3] = static_cast<char>(shorter[3] - 1);
    expectRefused(shorter, "its content one byte past its length");
    // The content is the last element: 5000 octets after a header 80 82 13 88.
    const std::size_t contentLength = whole.size() - 5000 - 2;
    ASSERT_EQ(whole.substr(contentLength - 2, 4), "\x80\x82\x13\x88");
    std::string shortContent = whole;
    shortContent[contentLength + 1] = '\x87';
    expectRefused(shortContent, "a byte after the content inside its EncryptedContentInfo");
}

TEST_F(StreamDecrypt, SegmentedEnvelopeCutShortOrFollowedIsRefused)
{
    ASSERT_TRUE(engine);
    encryptWithOpenSsl(RandomBytes(20000, 2), "-stream");
    const std::string whole = ReadFile(store.path("file.enc"));
    ASSERT_EQ(whole.substr(whole.size() - 4), std::string(4, '\0')) << "ends with end-of-contents octets";

    expectRefused(whole.substr(0, whole.size() - 2), "its last end-of-contents missing");
    expectRefused(whole.substr(0, whole.size() - 8), "its content's end missing");
    expectRefused(whole.substr(0, whole.size() / 2), "cut in the middle of a segment");
    expectRefused(whole + "x", "a byte after it");
}

TEST_F(StreamDecrypt, AnEnvelopeForSomeoneElseWritesNothing)
{
    ASSERT_TRUE(engine);
    TestCertificateOptions keyless;
    keyless.withKey = false;
    const TestCertificate& other = store.add("other", KeyAlgorithm::Gost2012_256, keyless);
    WriteFile(store.path("file"), "secret");
    std::string log;
    ASSERT_EQ(RunOpenSsl(store.path(""),
                         "cms -encrypt -binary -gost89 -outform DER -stream -in file -out file.enc '" +
                             other.certificateFile + "'",
                         &log),
              0)
        << log;
    ::unlink(store.path("file").c_str());
    expectRefused(ReadFile(store.path("file.enc")), "no key of ours opens it");
}

// An envelope is read as it goes, so its size is no reason to refuse it: a
// file past the whole-file limit is read (and here found to be no envelope).
TEST_F(StreamDecrypt, ALargeFileIsReadNotRefusedForItsSize)
{
    ASSERT_TRUE(engine);
    const std::string large = store.path("large.enc");
    WriteFile(large, std::string("\x30\x80", 2));
    std::filesystem::resize_file(large, std::uintmax_t{5} << 30); // sparse: no disk is used
    const CliRun run = RunCliCaptured({"decrypt", large});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err.find("too large"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(ErrorReportText(codes::Asn1Corrupt)), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(store.path("large")));
}

} // namespace
} // namespace ordalis::test
