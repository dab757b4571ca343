// Another local user plants something under the name an operation is about to
// write: a symbolic link to a setuid program, or a world-writable file of
// theirs. The output must take nothing from it (not its mode, owner or inode,
// not the link's target), and the other user must never get at the new content.

#include "common/Error.h"
#include "cryptomsg/operations/Operations.h"
#include "tests/cryptomsg/operations/TestTabs.h"
#include "tests/robustness/OutputOperations.h"
#include "tests/robustness/OutputRefusers.h"
#include "tests/support/FakeDesktop.h"
#include "tests/support/OtherUser.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestStore.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace ordalis::test {
namespace {

enum class Plant { LinkToSetuidProgram, WorldWritableFile };
enum class Folder { Sticky, Shared };

constexpr const char* kCertificate = "gost2012_256";
const std::string kProgram = "#!/bin/sh\necho the real program\n";
const std::string kPlanted = "planted by another user\n";
const std::string kContent = "the owner's confidential content\n";

struct Case {
    Output output;
    Plant plant;
    Folder folder;
};

std::string NameOf(const Case& c);

void PrintTo(const Case& c, std::ostream* out) { *out << NameOf(c); }

std::string NameOf(const Case& c)
{
    return std::string(NameOf(c.output)) +
           (c.plant == Plant::LinkToSetuidProgram ? "OverALinkToASetuidProgram" : "OverAWorldWritableFile") +
           (c.folder == Folder::Sticky ? "InAStickyFolder" : "InASharedFolder");
}

struct stat LinkStatus(const std::string& path)
{
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st;
}

class PlantedOutput : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override
    {
        ORDALIS_SKIP_WITHOUT(other);
        m_savedMask = ::umask(022);
        store.addStandardSet();
        ::chmod(scratch.path().c_str(), 0755);
        ::mkdir(folder().c_str(), GetParam().folder == Folder::Sticky ? 01777 : 0777);
        ::chmod(folder().c_str(), GetParam().folder == Folder::Sticky ? 01777 : 0777);
        WriteFile(program(), kProgram);
        ::chmod(program().c_str(), 04755);
    }
    void TearDown() override { ::umask(m_savedMask); }

    Output output() const { return GetParam().output; }
    std::string folder() const { return scratch.file("shared"); }
    std::string program() const { return scratch.file("passwd"); }
    std::string input() const { return folder() + (output() == Output::Decrypted ? "/data.bin.enc" : "/data.bin"); }
    std::string outputName() const { return OutputNameFor(output(), input()); }

    // The owner's input, private to them as a careful user keeps it.
    void writeInput()
    {
        WriteFile(folder() + "/data.bin", kContent);
        if (output() == Output::Decrypted) {
            FakeDesktop encrypting;
            encrypting.certificateAnswers.push_back(store.indexOf(kCertificate));
            TestEncryptTab tab;
            tab.file = folder() + "/data.bin";
            ASSERT_TRUE(EncryptOperation(tab, encrypting).succeeded);
            std::filesystem::remove(folder() + "/data.bin");
        }
        ::chmod(input().c_str(), 0600);
    }

    // The other user's move, as that user.
    void plant()
    {
        const std::string target = outputName();
        const std::string link = program();
        const bool asLink = GetParam().plant == Plant::LinkToSetuidProgram;
        const ChildResult planted = other.run([&] {
            if (asLink)
                return std::string(::symlink(link.c_str(), target.c_str()) == 0 ? "" : "symlink failed");
            WriteFile(target, kPlanted);
            return std::string(::chmod(target.c_str(), 0777) == 0 ? "" : "chmod failed");
        });
        ASSERT_EQ(planted.status, 0) << planted.text;
        ASSERT_EQ(planted.text, "");
    }

    std::optional<std::string> run()
    {
        return RunOperationFor(output(), input(), store.indexOf(kCertificate), desktop);
    }

    std::vector<std::string> expectedNames() const
    {
        std::vector<std::string> names = {std::filesystem::path(input()).filename().string(),
                                          std::filesystem::path(outputName()).filename().string()};
        if (output() == Output::Archive)
            names.push_back("data.bin.sig");
        return names;
    }

    OtherUser other = OtherUser::different();
    TestStore store;
    TempDir scratch;
    FakeDesktop desktop;

private:
    mode_t m_savedMask = 022;
};

TEST_P(PlantedOutput, LendsNothingToTheOutput)
{
    writeInput();
    plant();
    // The other user keeps the planted file open, hoping to read what goes into it.
    const int held = ::open(outputName().c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);

    const std::optional<std::string> error = run();

    EXPECT_EQ(ReadFile(program()), kProgram) << "the link's target was written";
    EXPECT_EQ(LinkStatus(program()).st_mode & 07777, 04755u);
    EXPECT_EQ(UnexpectedFiles(folder(), expectedNames()), std::vector<std::string>()) << "files left behind";
    // The victim here is root, whom a sticky folder does not stop from replacing
    // another user's entry: the output is written, as an entirely new file.
    ASSERT_FALSE(error.has_value()) << *error;
    const struct stat out = LinkStatus(outputName());
    EXPECT_TRUE(S_ISREG(out.st_mode));
    EXPECT_EQ(out.st_uid, ::geteuid());
    EXPECT_EQ(out.st_mode & 07777, output() == Output::Decrypted ? 0600u : 0644u);
    if (held >= 0) {
        char bytes[256] = {};
        const ssize_t n = ::read(held, bytes, sizeof bytes - 1);
        EXPECT_EQ(std::string(bytes, n > 0 ? static_cast<std::size_t>(n) : 0), kPlanted);
        ::close(held);
    }
    if (output() == Output::Decrypted && !error) {
        const std::string plaintext = outputName();
        const ChildResult peek = other.run([&] {
            const int fd = ::open(plaintext.c_str(), O_RDONLY);
            return std::string(fd >= 0 ? "read the plaintext" : "");
        });
        EXPECT_EQ(peek.text, "");
        EXPECT_EQ(ReadFile(plaintext), kContent);
    }
}

std::vector<Case> AllCases()
{
    std::vector<Case> cases;
    for (Output output : {Output::Signature, Output::Archive, Output::Encrypted, Output::Decrypted})
        for (Plant plant : {Plant::LinkToSetuidProgram, Plant::WorldWritableFile})
            for (Folder folder : {Folder::Sticky, Folder::Shared})
                cases.push_back({output, plant, folder});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Outputs, PlantedOutput, ::testing::ValuesIn(AllCases()),
                         [](const auto& info) { return NameOf(info.param); });

} // namespace
} // namespace ordalis::test
