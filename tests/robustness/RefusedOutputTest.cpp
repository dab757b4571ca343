// Each output (signature, archive, encrypted and decrypted file) refused by the
// system, by the process's file-size limit or by a full disk: the operation
// fails with an error for the user, claims no success, leaves an earlier file
// of the output's name as it was and no temporary file behind.

#include "common/Error.h"
#include "cryptomsg/operations/Operations.h"
#include "tests/cryptomsg/operations/TestTabs.h"
#include "tests/robustness/OutputOperations.h"
#include "tests/robustness/OutputRefusers.h"
#include "tests/support/FakeDesktop.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestStore.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <random>
#include <sys/stat.h>

namespace ordalis::test {
namespace {

enum class Refusal { FileSizeLimit, FullDisk };

// Incompressible, so the archive is as large as the file.
std::string Payload(std::size_t size)
{
    std::mt19937 random(20261208);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

// Larger than the file-size limit and than what the small disk has left.
constexpr std::size_t kPayloadSize = 40 * 1024;
constexpr rlim_t kFileSizeLimit = 16 * 1024;
constexpr std::size_t kDiskSize = 64 * 1024;
const std::string kEarlier = "an earlier file of the output's name\n";
constexpr const char* kCertificate = "gost2012_256";

class RefusedOutput : public ::testing::TestWithParam<std::tuple<Output, Refusal>> {
protected:
    void SetUp() override
    {
        store.addStandardSet();
        std::filesystem::create_directories(scratch.file("folder"));
        std::filesystem::create_directories(scratch.file("staging"));
    }

    Output output() const { return std::get<0>(GetParam()); }
    std::string folder() const { return scratch.file("folder"); }

    // The operation's input in the folder, and the names the folder should hold
    // afterwards; the earlier file is in place.
    std::string prepare(std::vector<std::string>& expected)
    {
        const std::string payload = Payload(kPayloadSize);
        std::string input = folder() + "/data.bin";
        if (output() == Output::Decrypted) {
            // Encrypted apart, as the small disk has no room for both.
            const std::string staged = scratch.file("staging/data.bin");
            WriteFile(staged, payload);
            FakeDesktop encrypting;
            encrypting.certificateAnswers.push_back(store.indexOf(kCertificate));
            TestEncryptTab tab;
            tab.file = staged;
            EXPECT_TRUE(EncryptOperation(tab, encrypting).succeeded);
            input += ".enc";
            std::filesystem::copy_file(staged + ".enc", input);
        } else {
            WriteFile(input, payload);
        }
        WriteFile(outputName(), kEarlier);
        expected = {std::filesystem::path(input).filename().string(),
                    std::filesystem::path(outputName()).filename().string()};
        if (output() == Output::Archive)
            expected.push_back("data.bin.sig"); // written before the archive, and small
        return input;
    }

    std::string outputName() const
    {
        const std::string input = folder() + "/data.bin";
        switch (output()) {
        case Output::Signature: return input + ".sig";
        case Output::Archive: return input + ".sig.7z";
        case Output::Encrypted: return input + ".enc";
        case Output::Decrypted: return input;
        }
        return {};
    }

    // Runs the operation on input; returns the error raised for the user, if any.
    // The signature is attached, so that it is as large as the file.
    std::optional<std::string> run(const std::string& input)
    {
        return RunOperationFor(output(), input, store.indexOf(kCertificate), desktop, output() == Output::Signature);
    }

    void expectRefusedCleanly(const std::optional<std::string>& error, const std::vector<std::string>& expected)
    {
        ASSERT_TRUE(error.has_value()) << "the operation reported no error";
        EXPECT_FALSE(error->empty());
        EXPECT_EQ(ReadFile(outputName()), kEarlier) << "the earlier file was changed";
        EXPECT_EQ(UnexpectedFiles(folder(), expected), std::vector<std::string>()) << "files left behind";
        EXPECT_TRUE(desktop.folders.empty()) << "a folder was opened as after success";
        for (const std::string& notice : desktop.notices) {
            EXPECT_EQ(notice.find("Создан архив"), std::string::npos);
            EXPECT_NE(notice, "Файл зашифрован");
            EXPECT_NE(notice, "Расшифрован");
        }
    }

    TestStore store;
    TempDir scratch;
    FakeDesktop desktop;
};

TEST_P(RefusedOutput, LeavesTheEarlierFileAndNoTemporaryFile)
{
    std::optional<SmallFileSystem> disk;
    if (std::get<1>(GetParam()) == Refusal::FullDisk) {
        disk.emplace(folder(), kDiskSize);
        if (!disk->mounted())
            GTEST_SKIP() << disk->reason() << "; the file-size limit cases still run";
    }
    std::vector<std::string> expected;
    const std::string input = prepare(expected);

    std::optional<std::string> error;
    if (std::get<1>(GetParam()) == Refusal::FileSizeLimit) {
        const FileSizeLimit limit(kFileSizeLimit);
        error = run(input);
    } else {
        error = run(input);
        if (error) {
            EXPECT_EQ(*error, InOutErrorText(101)) << "a full disk is named as such";
        }
    }
    expectRefusedCleanly(error, expected);
}

INSTANTIATE_TEST_SUITE_P(Outputs, RefusedOutput,
                         ::testing::Combine(::testing::Values(Output::Signature, Output::Archive, Output::Encrypted,
                                                              Output::Decrypted),
                                            ::testing::Values(Refusal::FileSizeLimit, Refusal::FullDisk)),
                         [](const auto& info) {
                             return std::string(NameOf(std::get<0>(info.param))) +
                                    (std::get<1>(info.param) == Refusal::FullDisk ? "OnAFullDisk"
                                                                                  : "OverTheFileSizeLimit");
                         });

} // namespace
} // namespace ordalis::test
