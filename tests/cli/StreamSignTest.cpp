// ordalis-cli signs and verifies files as it reads them: round trips at every
// length around the chunk it reads at a time, detached signatures in the same
// DER as a whole-file signature, attached ones in BER that openssl reads, and
// attached signatures that end early, say a wrong length, carry bytes after
// them or a changed content, which are refused with nothing extracted.

#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/cryptoapi/Ossl.h"
#include "tests/cli/CliRun.h"
#include "tests/support/OpenSslTool.h"
#include "tests/support/TestStore.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <sys/stat.h>

namespace ordalis::test {
namespace {

// Contents are read and digested a mebibyte at a time.
constexpr std::size_t kChunk = std::size_t{1} << 20;

std::string RandomBytes(std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(random());
    return bytes;
}

// Whether the bytes are one DER encoding: decoded and encoded again, they are the same.
bool IsDer(const std::string& bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    CmsPtr cms(d2i_CMS_ContentInfo(nullptr, &p, static_cast<long>(bytes.size())));
    unsigned char* der = nullptr;
    const int length = cms ? i2d_CMS_ContentInfo(cms.get(), &der) : -1;
    const bool same =
        length > 0 && std::string(reinterpret_cast<char*>(der), static_cast<std::size_t>(length)) == bytes;
    OPENSSL_free(der);
    return same;
}

class StreamSign : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::mkdir(store.path("").c_str(), 0700);
        store.add("me", KeyAlgorithm::Gost2012_256);
    }

    CliRun sign(const std::string& content, std::vector<std::string> flags = {})
    {
        WriteFile(store.path("file"), content);
        std::vector<std::string> args = {"sign", store.path("file"), "--cert", "me"};
        args.insert(args.end(), flags.begin(), flags.end());
        return RunCliCaptured(args);
    }

    CliRun verifyAttached(const std::string& signature)
    {
        return RunCliCaptured({"verify", signature, "--extract", store.path("out")});
    }

    // The attached signature as it stands is refused (exit status refusal),
    // and nothing is extracted, not even a temporary file.
    void expectNothingExtracted(const std::string& signature, int refusal, const std::string& why)
    {
        SCOPED_TRACE(why);
        WriteFile(store.path("held.sig"), signature);
        const auto before = ListFolder(store.path(""));
        const CliRun run = verifyAttached(store.path("held.sig"));
        EXPECT_EQ(run.status, refusal) << run.out << run.err;
        EXPECT_EQ(ListFolder(store.path("")), before);
    }

    std::string keyFile() const
    {
        return std::filesystem::path(store.get("me").certificateFile).replace_extension(".key").string();
    }

    const bool engine = EnsureGostEngine(); // before OpenSSL first names its algorithms
    TestStore store;
};

TEST_F(StreamSign, RoundTripsAtEveryChunkBoundary)
{
    ASSERT_TRUE(engine);
    const std::size_t sizes[] = {0, 1, 4095, kChunk - 1, kChunk, kChunk + 1, 3 * kChunk + 17};
    for (const std::size_t size : sizes) {
        SCOPED_TRACE(size);
        const std::string content = RandomBytes(size, static_cast<unsigned>(size));

        ASSERT_EQ(sign(content).status, 0);
        EXPECT_TRUE(IsDer(ReadFile(store.path("file.sig"))));
        EXPECT_EQ(RunCliCaptured({"verify", store.path("file"), store.path("file.sig")}).status, 0);

        const CliRun signing = sign(content, {"--attached", "--cades"});
        ASSERT_EQ(signing.status, 0) << signing.err;
        const CliRun verifying = verifyAttached(store.path("file.sig"));
        ASSERT_EQ(verifying.status, 0) << verifying.err;
        EXPECT_TRUE(ReadFile(store.path("out")) == content);
        ::unlink(store.path("out").c_str());
    }
}

// The detached signature of a file read as it goes is the DER a signature of
// the file held whole has: same structure and length (the values differ by
// the signature's randomness and time).
TEST_F(StreamSign, DetachedSignatureIsTheDerOfAWholeFileSignature)
{
    ASSERT_TRUE(engine);
    const std::string content = RandomBytes(kChunk + 3, 5);
    for (const std::vector<std::string>& form : {std::vector<std::string>{}, std::vector<std::string>{"--cades"}}) {
        SCOPED_TRACE(form.size());
        ASSERT_EQ(sign(content, form).status, 0);
        const std::string streamed = ReadFile(store.path("file.sig"));
        std::string log;
        ASSERT_EQ(RunOpenSsl(store.path(""),
                             "cms -sign -binary -outform DER -nosmimecap " +
                                 std::string(form.empty() ? "-noattr " : "-cades ") + "-in file -out theirs -signer '" +
                                 store.get("me").certificateFile + "' -inkey '" + keyFile() + "'",
                             &log),
                  0)
            << log;
        const std::string whole = ReadFile(store.path("theirs"));
        EXPECT_TRUE(IsDer(streamed));
        EXPECT_EQ(streamed.size(), whole.size());
        EXPECT_EQ(streamed.substr(0, 4), whole.substr(0, 4));
    }
}

TEST_F(StreamSign, AttachedSignatureIsBerThatOpenSslVerifies)
{
    ASSERT_TRUE(engine);
    for (const std::size_t size : {std::size_t{1}, 2 * kChunk + 3}) {
        SCOPED_TRACE(size);
        const std::string content = RandomBytes(size, 9);
        ASSERT_EQ(sign(content, {"--attached"}).status, 0);
        EXPECT_EQ(ReadFile(store.path("file.sig")).substr(0, 2), "\x30\x80");
        std::string log;
        ASSERT_EQ(
            RunOpenSsl(store.path(""), "cms -verify -binary -inform DER -noverify -in file.sig -out theirs", &log), 0)
            << log;
        EXPECT_TRUE(ReadFile(store.path("theirs")) == content);
    }
}

TEST_F(StreamSign, AttachedBase64SignatureRoundTrips)
{
    ASSERT_TRUE(engine);
    const std::string content = RandomBytes(kChunk + 1, 4);
    ASSERT_EQ(sign(content, {"--attached", "--base64"}).status, 0);
    const CliRun run = verifyAttached(store.path("file.p7s"));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(ReadFile(store.path("out")) == content);
}

// openssl's own attached signatures, segmented with -stream or in DER, are read as they go.
TEST_F(StreamSign, VerifiesAndExtractsOpenSslAttachedSignatures)
{
    ASSERT_TRUE(engine);
    const std::string content = RandomBytes(2 * kChunk + 7, 6);
    WriteFile(store.path("file"), content);
    for (const std::string flags : {"", "-stream"}) {
        SCOPED_TRACE(flags);
        std::string log;
        ASSERT_EQ(RunOpenSsl(store.path(""),
                             "cms -sign -binary -nodetach -outform DER " + flags +
                                 " -in file -out theirs.sig -signer '" + store.get("me").certificateFile +
                                 "' -inkey '" + keyFile() + "'",
                             &log),
                  0)
            << log;
        const CliRun run = verifyAttached(store.path("theirs.sig"));
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_TRUE(ReadFile(store.path("out")) == content);
        ::unlink(store.path("out").c_str());
    }
}

TEST_F(StreamSign, AttachedSignatureCutShortFollowedOrChangedExtractsNothing)
{
    ASSERT_TRUE(engine);
    ASSERT_EQ(sign(RandomBytes(20000, 2), {"--attached", "--cades"}).status, 0);
    const std::string whole = ReadFile(store.path("file.sig"));
    ASSERT_EQ(whole.substr(whole.size() - 4), std::string(4, '\0')) << "ends with end-of-contents octets";

    expectNothingExtracted(whole.substr(0, whole.size() - 1), 2, "its last byte missing");
    expectNothingExtracted(whole.substr(0, whole.size() / 2), 2, "cut in the middle of the content");
    expectNothingExtracted(whole + "x", 2, "a byte after it");
    expectNothingExtracted(whole + whole, 2, "a second signature after it");
    std::string changed = whole;
    changed[whole.size() / 2] = static_cast<char>(changed[whole.size() / 2] ^ 1);
    expectNothingExtracted(changed, 1, "a byte of the content changed");
}

TEST_F(StreamSign, DefiniteAttachedSignatureWithAWrongLengthExtractsNothing)
{
    ASSERT_TRUE(engine);
    const std::string content = RandomBytes(5000, 3);
    WriteFile(store.path("file"), content);
    std::string log;
    ASSERT_EQ(RunOpenSsl(store.path(""),
                         "cms -sign -binary -nodetach -outform DER -in file -out theirs.sig -signer '" +
                             store.get("me").certificateFile + "' -inkey '" + keyFile() + "'",
                         &log),
              0)
        << log;
    const std::string whole = ReadFile(store.path("theirs.sig"));
    ASSERT_EQ(static_cast<unsigned char>(whole[1]), 0x82) << "a two-byte length";
    std::string longer = whole;
    longer[3] = static_cast<char>(longer[3] + 1);
    expectNothingExtracted(longer, 2, "its length one more than the file holds");
    std::string shorter = whole;
    shorter[3] = static_cast<char>(shorter[3] - 1);
    expectNothingExtracted(shorter, 2, "its length one less");
    // The content's octets: 04 82 13 88 and then the 5000 bytes.
    const std::size_t at = whole.find(std::string("\x04\x82\x13\x88", 4));
    ASSERT_NE(at, std::string::npos);
    std::string shortContent = whole;
    shortContent[at + 3] = '\x87';
    expectNothingExtracted(shortContent, 2, "the content's length one less");
}

// A changed file fails a detached signature read as it goes, and a detached
// signature that carries another content as well is not valid for the file.
TEST_F(StreamSign, ChangedFileFailsItsDetachedSignature)
{
    ASSERT_TRUE(engine);
    const std::string content = RandomBytes(kChunk + 9, 8);
    ASSERT_EQ(sign(content).status, 0);
    std::string changed = content;
    changed[kChunk + 4] = static_cast<char>(changed[kChunk + 4] ^ 0x40);
    WriteFile(store.path("file"), changed);
    EXPECT_EQ(RunCliCaptured({"verify", store.path("file"), store.path("file.sig")}).status, 1);

    ASSERT_EQ(sign(content, {"--attached"}).status, 0);
    EXPECT_EQ(RunCliCaptured({"verify", store.path("file"), store.path("file.sig")}).status, 0);
    WriteFile(store.path("file"), changed);
    EXPECT_EQ(RunCliCaptured({"verify", store.path("file"), store.path("file.sig")}).status, 1);
    WriteFile(store.path("file"), content + "x");
    EXPECT_EQ(RunCliCaptured({"verify", store.path("file"), store.path("file.sig")}).status, 1);
    WriteFile(store.path("file"), content.substr(0, content.size() - 1));
    EXPECT_EQ(RunCliCaptured({"verify", store.path("file"), store.path("file.sig")}).status, 1);
}

// The file holds what the signature signs, but the content the signature
// carries has one byte more: the verdict would be about other bytes than it holds.
TEST_F(StreamSign, SignatureCarryingMoreThanTheFileIsNotValidForIt)
{
    ASSERT_TRUE(engine);
    const std::string content = RandomBytes(3000, 10);
    ASSERT_EQ(sign(content).status, 0);
    const std::string detached = ReadFile(store.path("file.sig"));
    const auto* p = reinterpret_cast<const unsigned char*>(detached.data());
    CmsPtr cms(d2i_CMS_ContentInfo(nullptr, &p, static_cast<long>(detached.size())));
    ASSERT_TRUE(cms);
    ASSERT_EQ(CMS_set_detached(cms.get(), 0), 1);
    const std::string carried = content + "x";
    ASN1_OCTET_STRING** held = CMS_get0_content(cms.get());
    ASSERT_TRUE(held && *held);
    ASSERT_EQ(ASN1_OCTET_STRING_set(*held, reinterpret_cast<const unsigned char*>(carried.data()),
                                    static_cast<int>(carried.size())),
              1);
    unsigned char* der = nullptr;
    const int length = i2d_CMS_ContentInfo(cms.get(), &der);
    ASSERT_GT(length, 0);
    WriteFile(store.path("file.sig"), std::string(reinterpret_cast<char*>(der), static_cast<std::size_t>(length)));
    OPENSSL_free(der);
    EXPECT_EQ(RunCliCaptured({"verify", store.path("file"), store.path("file.sig")}).status, 1);
}

// The file is opened before the key's password is asked for: a missing file
// is said at once, with no question first.
TEST_F(StreamSign, AMissingFileIsSaidBeforeThePasswordIsAsked)
{
    ASSERT_TRUE(engine);
    TestCertificateOptions locked;
    locked.password = "secret";
    store.add("locked", KeyAlgorithm::Gost2012_256, locked);
    int asked = 0;
    const CliRun run =
        RunCliCaptured({"sign", store.path("missing"), "--cert", "locked"}, "", true, [&asked](const std::string&) {
            ++asked;
            return std::optional<std::string>("secret");
        });
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(asked, 0);
    EXPECT_NE(run.err.find(store.path("missing")), std::string::npos) << run.err;
}

// Signing and verifying read as they go, so a file's size is no reason to refuse it.
TEST_F(StreamSign, ALargeSignatureIsReadNotRefusedForItsSize)
{
    ASSERT_TRUE(engine);
    const std::string large = store.path("large.sig");
    WriteFile(large, std::string("\x30\x80", 2));
    std::filesystem::resize_file(large, std::uintmax_t{5} << 30); // sparse: no disk is used
    const CliRun run = verifyAttached(large);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err.find("too large"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(store.path("out")));
}

} // namespace
} // namespace ordalis::test
