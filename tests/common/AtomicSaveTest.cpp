#include "common/AtomicFileWriter.h"
#include "common/ByteBuffer.h"
#include "common/Error.h"
#include "common/FileStream.h"
#include "tests/support/OtherUser.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace ordalis;
using ordalis::test::ChildResult;
using ordalis::test::OtherUser;
using ordalis::test::TempDir;

namespace {

// Lowers the process's file-size limit while it lives.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit lowered = m_saved;
        lowered.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_saved); }

private:
    rlimit m_saved{};
};

ByteBuffer BufferOf(const std::string& text)
{
    ByteBuffer buffer;
    buffer.write(text.data(), text.size());
    return buffer;
}

} // namespace

TEST(AtomicSave, ReplacesAnExistingFileAndKeepsItsMode)
{
    TempDir dir;
    const std::string target = dir.file("report.sig");
    test::WriteFile(target, "old content that is longer");
    ::chmod(target.c_str(), 0640);
    BufferOf("new").saveToFile(target);
    EXPECT_EQ(test::ReadFile(target), "new");
    struct stat st {};
    ::stat(target.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(test::ListFolder(dir.path()), std::vector<std::string>{"report.sig"});
}

TEST(AtomicSave, FailedWriteKeepsTheOldFileAndLeavesNoTemporary)
{
    TempDir dir;
    const std::string target = dir.file("big.enc");
    test::WriteFile(target, "earlier file");
    {
        FileSizeLimit limit(4096);
        EXPECT_THROW(BufferOf(std::string(100000, 'z')).saveToFile(target), InOutError);
    }
    EXPECT_EQ(test::ReadFile(target), "earlier file");
    EXPECT_EQ(test::ListFolder(dir.path()), std::vector<std::string>{"big.enc"});
}

TEST(AtomicSave, UncommittedWriterLeavesNothing)
{
    TempDir dir;
    {
        AtomicFileWriter writer(dir.file("x.bin"));
        writer.stream().write("abc", 3);
    }
    EXPECT_TRUE(test::ListFolder(dir.path()).empty());
}

// Another user who planted a world-writable file under the output's name must
// find no way to the new content: while written, the file has no name in the
// folder and only its owner may open it.
TEST(AtomicSave, WhileWrittenTheFileHasNoNameAndIsPrivate)
{
    TempDir dir;
    const std::string target = dir.file("p.bin");
    test::WriteFile(target, "planted");
    ::chmod(target.c_str(), 04777);
    AtomicFileWriter writer(target);
    writer.stream().write("secret", 6);
    struct stat st {};
    ASSERT_EQ(::fstat(writer.stream().fd(), &st), 0);
    EXPECT_EQ(st.st_mode & 07077, 0u);
    EXPECT_EQ(test::ListFolder(dir.path()), std::vector<std::string>{"p.bin"});
    EXPECT_EQ(test::ReadFile(target), "planted");
}

namespace {

class Umask {
public:
    explicit Umask(mode_t mask) : m_saved(::umask(mask)) {}
    ~Umask() { ::umask(m_saved); }

private:
    mode_t m_saved;
};

mode_t ModeOf(const std::string& path)
{
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st.st_mode;
}

ino_t InodeOf(const std::string& path)
{
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st.st_ino;
}

} // namespace

TEST(AtomicSave, ModeComesOnlyFromARegularFileOfOursAndNeverWithSpecialBits)
{
    Umask mask(027);
    TempDir dir;
    const std::string target = dir.file("out.bin");

    test::WriteFile(target, "ours, setuid");
    ::chmod(target.c_str(), 06755);
    BufferOf("new").saveToFile(target);
    EXPECT_EQ(ModeOf(target) & 07777, 0755u);

    // A file of another owner lends nothing: the new one is made as if none stood there.
    ::chmod(target.c_str(), 0777);
    if (::chown(target.c_str(), 65534, 65534) != 0)
        GTEST_SKIP() << "only root can give a file to another owner; the rest of this case ran";
    BufferOf("new").saveToFile(target);
    EXPECT_EQ(ModeOf(target) & 07777, 0640u);
    struct stat st {};
    ::stat(target.c_str(), &st);
    EXPECT_EQ(st.st_uid, ::geteuid());
}

TEST(AtomicSave, APlantedSymbolicLinkIsReplacedNotFollowed)
{
    Umask mask(022);
    TempDir dir;
    const std::string victim = dir.file("passwd");
    test::WriteFile(victim, "the real program");
    ::chmod(victim.c_str(), 04755);
    const std::string target = dir.file("payload");
    ASSERT_EQ(::symlink(victim.c_str(), target.c_str()), 0);

    BufferOf("attacker's program").saveToFile(target);

    EXPECT_TRUE(S_ISREG(ModeOf(target)));
    EXPECT_EQ(ModeOf(target) & 07777, 0644u);
    EXPECT_EQ(test::ReadFile(target), "attacker's program");
    EXPECT_EQ(test::ReadFile(victim), "the real program");
    EXPECT_EQ(ModeOf(victim) & 07777, 04755u);
}

TEST(AtomicSave, OpenCopiesOfTheReplacedFileKeepTheOldContent)
{
    TempDir dir;
    const std::string target = dir.file("p.bin");
    test::WriteFile(target, "planted");
    const ino_t planted = InodeOf(target);
    FileStream heldOpen = FileStream::openRead(target);
    BufferOf("plaintext").saveToFile(target);
    EXPECT_NE(InodeOf(target), planted);
    char bytes[16] = {};
    EXPECT_EQ(heldOpen.read(bytes, sizeof bytes), 7u);
    EXPECT_EQ(std::string(bytes), "planted");
}

TEST(AtomicSave, OutputModesSetOrBoundTheFinalBits)
{
    Umask mask(022);
    TempDir dir;
    const std::string target = dir.file("key.pem");
    test::WriteFile(target, "old");
    ::chmod(target.c_str(), 0644);
    BufferOf("key").saveToFile(target, OutputMode::Exactly(0600));
    EXPECT_EQ(ModeOf(target) & 07777, 0600u);

    const std::string plain = dir.file("plain.bin");
    BufferOf("plaintext").saveToFile(plain, OutputMode::NoMoreThan(0740));
    EXPECT_EQ(ModeOf(plain) & 07777, 0640u);
}

TEST(AtomicSave, NamesAtTheFileSystemLimitCanBeWritten)
{
    TempDir dir;
    const std::string target = dir.file(std::string(255, 'n'));
    BufferOf("x").saveToFile(target);
    EXPECT_EQ(test::ReadFile(target), "x");
    EXPECT_EQ(test::ListFolder(dir.path()).size(), 1u);
}

TEST(AtomicSave, UncreatableTargetsGiveTheCreateMessage)
{
    // Root writes into read-only folders, so the save runs as an unprivileged user here.
    const OtherUser user = OtherUser::unprivileged();
    ORDALIS_SKIP_WITHOUT(user);
    TempDir dir;
    ASSERT_TRUE(user.own(dir.path()));
    ::chmod(dir.path().c_str(), 0500);
    const ChildResult result = user.run([&] {
        BufferOf("x").saveToFile(dir.file("out.sig"));
        return std::string("no error");
    });
    EXPECT_EQ(result.status, 1) << result.text;
    EXPECT_EQ(result.text.rfind("Cannot create file \"" + dir.file("out.sig") + "\". ", 0), 0u) << result.text;
    EXPECT_TRUE(test::ListFolder(dir.path()).empty());
}

TEST(AtomicSave, AFolderOfTheTargetNameIsRefused)
{
    TempDir dir;
    ::mkdir(dir.file("out.sig").c_str(), 0700);
    EXPECT_THROW(BufferOf("x").saveToFile(dir.file("out.sig")), Error);
    EXPECT_THROW(BufferOf("x").saveToFile(dir.file("no-such-folder/out.sig")), Error);
}
