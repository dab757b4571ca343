#include "common/AtomicFileWriter.h"
#include "common/ByteBuffer.h"
#include "common/Error.h"
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

TEST(AtomicSave, UncommittedWriterRemovesItsTemporary)
{
    TempDir dir;
    {
        AtomicFileWriter writer(dir.file("x.bin"));
        writer.stream().write("abc", 3);
        EXPECT_TRUE(test::FileExists(writer.temporaryPath()));
    }
    EXPECT_TRUE(test::ListFolder(dir.path()).empty());
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
