// A file's content is used in place when only its owner can change it, and
// copied when someone else could shorten it under a mapping.

#include "common/FileContent.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace ordalis;
using ordalis::test::TempDir;
using ordalis::test::WriteFile;

namespace {

std::string Text(const FileContent& content)
{
    return std::string(reinterpret_cast<const char*>(content.data()), content.length());
}

// Whether the process has path mapped.
bool IsMapped(const std::string& path)
{
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);)
        if (line.size() >= path.size() && line.compare(line.size() - path.size(), path.size(), path) == 0)
            return true;
    return false;
}

class FileContentTest : public ::testing::Test {
protected:
    std::string make(const std::string& text, mode_t mode)
    {
        const std::string path = folder.file("input.bin");
        WriteFile(path, text);
        EXPECT_EQ(::chmod(path.c_str(), mode), 0);
        return path;
    }

    TempDir folder;
};

TEST_F(FileContentTest, OwnPrivateFileIsUsedInPlaceUntilReleased)
{
    const std::string path = make(std::string(100000, 'x') + "end", 0644);
    {
        const FileContent content = FileContent::load(path);
        EXPECT_EQ(Text(content), std::string(100000, 'x') + "end");
        EXPECT_TRUE(IsMapped(path)) << "the content was copied";
    }
    EXPECT_FALSE(IsMapped(path)) << "the mapping outlived the content";
}

TEST_F(FileContentTest, MovedContentKeepsItsBytes)
{
    FileContent moved = FileContent::load(make("moved bytes", 0600));
    FileContent target;
    target = std::move(moved);
    EXPECT_EQ(Text(target), "moved bytes");
    EXPECT_EQ(moved.length(), 0u);
}

// Others who may write the file could shorten it while it is used; a mapping
// would then fault. The copy keeps its bytes whatever happens to the file.
class WritableByOthers : public FileContentTest, public ::testing::WithParamInterface<mode_t> {};

TEST_P(WritableByOthers, IsCopiedAndSurvivesTruncation)
{
    const std::string path = make("shared bytes", GetParam());
    const FileContent content = FileContent::load(path);
    EXPECT_FALSE(IsMapped(path));
    ASSERT_EQ(::truncate(path.c_str(), 0), 0);
    EXPECT_EQ(Text(content), "shared bytes");
}

INSTANTIATE_TEST_SUITE_P(Modes, WritableByOthers, ::testing::Values(0666, 0620, 0602));

TEST_F(FileContentTest, FileOfAnotherOwnerIsCopied)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give a file to another owner";
    const std::string path = make("their bytes", 0644);
    ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
    const FileContent content = FileContent::load(path);
    EXPECT_FALSE(IsMapped(path));
    EXPECT_EQ(Text(content), "their bytes");
}

TEST_F(FileContentTest, EmptyFileGivesNoBytes)
{
    const FileContent content = FileContent::load(make("", 0600));
    EXPECT_EQ(content.length(), 0u);
}

} // namespace
