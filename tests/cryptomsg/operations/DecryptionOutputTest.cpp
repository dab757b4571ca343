// What decryption writes, and under which name: nothing at all for a damaged
// envelope, and the input's name less its last four characters otherwise.

#include "cryptomsg/operations/Operations.h"
#include "tests/cryptomsg/operations/TestTabs.h"
#include "tests/support/FakeDesktop.h"
#include "tests/support/OpenSslTool.h"
#include "tests/support/TestStore.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace ordalis;
using namespace ordalis::test;

namespace {

class DecryptionOutput : public ::testing::Test {
protected:
    void SetUp() override { ::mkdir(store.path("").c_str(), 0700); }

    OperationResult decrypt(const std::string& file)
    {
        TestDecryptTab tab;
        tab.file = file;
        return DecryptOperation(tab, desktop);
    }

    TestStore store;
    FakeDesktop desktop;
};

TEST_F(DecryptionOutput, NameLosesExactlyItsLastFourCharacters)
{
    store.addStandardSet();
    const struct {
        const char* input;
        const char* output;
    } cases[] = {
        {"notes_enc", "notes"}, {"x.enc", "x"}, {"report.pdf.enc", "report.pdf"}, {"archive.7z.xyz1", "archive.7z."}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        WriteFile(store.path("plain"), std::string("content for ") + c.input);
        std::string printed;
        ASSERT_EQ(RunOpenSsl(store.path(""),
                             "cms -encrypt -binary -gost89 -outform DER -in plain -out '" + std::string(c.input) +
                                 "' '" + store.get("gost2012_256").certificateFile + "'",
                             &printed),
                  0)
            << printed;
        const OperationResult result = decrypt(store.path(c.input));
        ASSERT_TRUE(result.succeeded) << (desktop.notices.empty() ? "" : desktop.notices.back());
        ASSERT_EQ(result.outputs.size(), 1u);
        EXPECT_EQ(result.outputs[0], store.path(c.output));
        EXPECT_EQ(ReadFile(store.path(c.output)), std::string("content for ") + c.input);
    }
}

// AES-CBC pads its last block, so damage there is seen when the padding is
// checked, after everything before it has been decrypted.
TEST_F(DecryptionOutput, DamagedLastBlockOfAPaddedCipherWritesNothing)
{
    // An EC key: openssl gives it a key-agreement entry.
    std::string printed;
    ASSERT_EQ(RunOpenSsl(store.path(""),
                         "req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout ec.key -subj /CN=EC "
                         "-days 2 -out ec.pem",
                         &printed, false),
              0)
        << printed;
    ::mkdir((store.dataHome() + "/ordalis").c_str(), 0700);
    ::mkdir((store.dataHome() + "/ordalis/certstore").c_str(), 0700);
    ::mkdir(store.folder().c_str(), 0700);
    WriteFile(store.folder() + "/ec.pem", ReadFile(store.path("ec.pem")) + ReadFile(store.path("ec.key")));
    const std::string content = std::string(5000, 'a') + "the end";
    WriteFile(store.path("data"), content);
    ASSERT_EQ(RunOpenSsl(store.path(""), "cms -encrypt -binary -aes-128-cbc -outform DER -in data -out data.enc ec.pem",
                         &printed, false),
              0)
        << printed;
    ASSERT_TRUE(decrypt(store.path("data.enc")).succeeded) << "the undamaged envelope opens";
    ASSERT_EQ(ReadFile(store.path("data")), content);
    ::unlink(store.path("data").c_str());

    // The content ends the envelope. In CBC a change to a ciphertext byte changes the
    // same byte of the next block's plaintext: here the last padding byte, which
    // becomes 33 to 48, never a valid padding length.
    std::string damaged = ReadFile(store.path("data.enc"));
    damaged[damaged.size() - 17] = static_cast<char>(damaged[damaged.size() - 17] ^ 0x20);
    WriteFile(store.path("data.enc"), damaged);
    const auto before = ListFolder(store.path(""));
    desktop = FakeDesktop{};
    EXPECT_FALSE(decrypt(store.path("data.enc")).succeeded);
    EXPECT_EQ(ListFolder(store.path("")), before) << "nothing written, not even a temporary file";
    ASSERT_EQ(desktop.notices.size(), 1u);
    EXPECT_NE(desktop.notices[0].find(" - "), std::string::npos) << desktop.notices[0];
    EXPECT_TRUE(desktop.folders.empty());
}

} // namespace
