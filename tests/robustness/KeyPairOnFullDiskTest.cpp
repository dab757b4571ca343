// A new key pair whose certificate cannot be written, by a full disk or the
// file-size limit: the store is left without the key as well, never with a key
// that no certificate finds.

#include "common/Error.h"
#include "cryptomsg/store/StoreAdmin.h"
#include "tests/robustness/OutputRefusers.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestStore.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

namespace ordalis::test {
namespace {

enum class Refusal { FileSizeLimit, FullDisk };

class KeyPairRefused : public ::testing::TestWithParam<Refusal> {
protected:
    void SetUp() override { std::filesystem::create_directories(store.folder()); }

    TestStore store;
};

TEST_P(KeyPairRefused, LeavesNeitherFile)
{
    CertificateRequest request;
    request.algorithm = KeyAlgorithm::Gost2012_256;
    request.subject = "CN=No room,O=Ordalis Test";

    // A plain GOST key is a few hundred bytes in PEM, its certificate about three
    // times that: room for the key (written first) and not for the certificate.
    std::optional<FileSizeLimit> limit;
    std::optional<SmallFileSystem> disk;
    if (GetParam() == Refusal::FileSizeLimit) {
        limit.emplace(400);
    } else {
        disk.emplace(store.folder(), 4096);
        if (!disk->mounted())
            GTEST_SKIP() << disk->reason();
    }
    EXPECT_THROW(CreateSelfSigned(request, ""), Error);
    limit.reset();

    EXPECT_EQ(UnexpectedFiles(store.folder(), {}), std::vector<std::string>{});
    EXPECT_TRUE(ListStore().problems.empty()) << ListStore().problems.front();
}

INSTANTIATE_TEST_SUITE_P(Refusals, KeyPairRefused, ::testing::Values(Refusal::FileSizeLimit, Refusal::FullDisk),
                         [](const auto& info) {
                             return info.param == Refusal::FullDisk ? "FullDisk" : "FileSizeLimit";
                         });

} // namespace
} // namespace ordalis::test
