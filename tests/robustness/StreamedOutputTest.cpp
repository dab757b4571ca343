// The command line's streamed encryption and decryption refused by the file-size
// limit part-way through: the operation fails, and neither the output nor a
// temporary file is left.

#include "common/Error.h"
#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/operations/Operations.h"
#include "tests/cryptomsg/operations/TestTabs.h"
#include "tests/robustness/OutputRefusers.h"
#include "tests/support/FakeDesktop.h"
#include "tests/support/TestStore.h"

#include <gtest/gtest.h>

#include <random>
#include <sys/stat.h>

namespace ordalis::test {
namespace {

// More than the limit, and more than one chunk of either direction.
constexpr std::size_t kPayloadSize = std::size_t{3} << 20;
constexpr rlim_t kFileSizeLimit = 256 * 1024;

struct StreamedDecryptTab : TestDecryptTab {
    bool decryptsStreamed() const override { return true; }
};

class StreamedOutput : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::mkdir(store.path("").c_str(), 0700);
        store.add("me", KeyAlgorithm::Gost2012_256);
        std::mt19937 random(20261210);
        std::string payload(kPayloadSize, '\0');
        for (char& c : payload)
            c = static_cast<char>(random());
        WriteFile(store.path("file"), payload);
    }

    // Whether the operation failed, by a thrown error or a failure notice.
    template <class Run>
    bool fails(Run run)
    {
        const FileSizeLimit limit(kFileSizeLimit);
        try {
            return !run().succeeded;
        } catch (const Error&) {
            return true;
        }
    }

    OperationResult encrypt()
    {
        TestEncryptTab tab;
        tab.file = store.path("file");
        const CertContextPtr me = store.context("me");
        const PCCERT_CONTEXT recipients[] = {me.get()};
        return EncryptOperationFor(tab, desktop, recipients);
    }

    const bool engine = EnsureGostEngine(); // before OpenSSL first names its algorithms
    TestStore store;
    FakeDesktop desktop;
};

TEST_F(StreamedOutput, EncryptionPastTheLimitLeavesNothing)
{
    ASSERT_TRUE(engine);
    const auto before = ListFolder(store.path(""));
    {
        const FileSizeLimit limit(kFileSizeLimit);
        // The file's own error, which says what to do, not a message failure.
        EXPECT_THROW(encrypt(), InOutError);
    }
    EXPECT_EQ(ListFolder(store.path("")), before);
}

TEST_F(StreamedOutput, DecryptionPastTheLimitLeavesNothing)
{
    ASSERT_TRUE(engine);
    ASSERT_TRUE(encrypt().succeeded);
    ::unlink(store.path("file").c_str());
    const auto before = ListFolder(store.path(""));
    EXPECT_TRUE(fails([&] {
        StreamedDecryptTab tab;
        tab.file = store.path("file.enc");
        return DecryptOperation(tab, desktop);
    }));
    EXPECT_EQ(ListFolder(store.path("")), before);
}

} // namespace
} // namespace ordalis::test
