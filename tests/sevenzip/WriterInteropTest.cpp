// The archive writer's operations through the real 7-Zip library, checked with
// the 7z command-line tool.

#include "common/ByteBuffer.h"
#include "common/Error.h"
#include "common/SystemError.h"
#include "sevenzip/RefCounted.h"
#include "sevenzip/SevenZip.h"
#include "sevenzip/T7zOutArchive.h"
#include "sevenzip/Utf16.h"
#include "tests/sevenzip/SevenZipTestSupport.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <set>

using namespace ordalis;
using namespace ordalis::sevenzip;
using ordalis::test::TempDir;
using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

namespace {

std::vector<std::string> Paths(const std::vector<std::map<std::string, std::string>>& items)
{
    std::vector<std::string> paths;
    for (const auto& item : items)
        paths.push_back(item.at("Path"));
    return paths;
}

std::vector<std::string> BatchPaths(const T7zOutArchive& writer)
{
    std::vector<std::string> paths;
    for (const T7zBatchItem& item : writer.batch())
        paths.push_back(Utf8FromUtf16(item.path));
    return paths;
}

std::unique_ptr<ByteBuffer> BufferOf(const std::string& text)
{
    auto buffer = std::make_unique<ByteBuffer>();
    buffer->write(text.data(), text.size());
    return buffer;
}

std::string RandomBytes(std::size_t size)
{
    std::mt19937 random(7);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

class SevenZipWriterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!test::HaveSevenZipTool())
            GTEST_SKIP() << "the 7z tool is not installed";
    }

    ComPtr<I7zArchiveWriter> newWriter() { return CreateOutArchive(CLSID_Format7z, test::kRealLibrary); }

    std::string file(const std::string& name, const std::string& content)
    {
        const std::string path = m_dir.file(name);
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        test::WriteFile(path, content);
        return path;
    }

    TempDir m_dir;
};

} // namespace

TEST_F(SevenZipWriterTest, AddFilesFindsBothMasksHiddenFilesAndSubfoldersUnderThePrefix)
{
    file("base/a.txt", "a");
    file("base/.hidden.txt", "hidden");
    file("base/b.doc", "b");
    file("base/c.bin", "not matched");
    file("base/sub/d.txt", "d");
    file("base/sub/deeper/e.doc", "e");
    file("base/.git/f.txt", "in a dot folder");
    std::filesystem::create_symlink(m_dir.file("base/sub"), m_dir.file("base/link"));

    const auto writer = MakeCom<T7zOutArchive>(test::kRealLibrary);
    writer->SetClassId(CLSID_Format7z);
    writer->AddFiles(m_dir.file("base"), "docs", "*.txt; *.doc", true);
    // Subfolders first (depth first), then the folder's own files mask by mask.
    const auto queued = BatchPaths(*writer.get());
    ASSERT_EQ(queued.size(), 5u);
    EXPECT_THAT(std::vector(queued.begin(), queued.begin() + 2),
                ElementsAre("docs/sub/deeper/e.doc", "docs/sub/d.txt"));
    EXPECT_THAT(std::vector(queued.begin() + 2, queued.begin() + 4),
                UnorderedElementsAre("docs/a.txt", "docs/.hidden.txt"));
    EXPECT_EQ(queued[4], "docs/b.doc");

    writer->SaveToFile(m_dir.file("files.7z"));
    TempDir out;
    ASSERT_TRUE(test::ExtractArchive(m_dir.file("files.7z"), out.path()));
    EXPECT_EQ(test::ReadFile(out.file("docs/sub/deeper/e.doc")), "e");
    EXPECT_EQ(test::ReadFile(out.file("docs/.hidden.txt")), "hidden");
    EXPECT_EQ(test::ListFolder(out.file("docs")), (std::vector<std::string>{".hidden.txt", "a.txt", "b.doc", "sub"}));
}

TEST_F(SevenZipWriterTest, AddFilesWithoutRecursionTakesOnlyTheFolderAndQueuesDoubleMatchesTwice)
{
    file("base/a.txt", "a");
    file("base/sub/b.txt", "b");
    const auto writer = MakeCom<T7zOutArchive>(test::kRealLibrary);
    writer->AddFiles(m_dir.file("base") + "/", "", "*.txt;a.*", false);
    EXPECT_THAT(BatchPaths(*writer.get()), ElementsAre("a.txt", "a.txt"));
}

TEST_F(SevenZipWriterTest, OwnedAndReferencedStreamsArePackedWithTheirTimes)
{
    ByteBuffer referenced;
    referenced.write("referenced data", 15);
    const auto writer = newWriter();
    writer->AddStream(HeldStream::owned(BufferOf("owned data")), 0x20, FileTimeFromUnix(1000000000),
                      FileTimeFromUnix(1614834367), u"dir\\owned.txt", false, false);
    writer->AddStream(HeldStream::referenced(referenced), 0x20, FileTimeFromUnix(1000000000),
                      FileTimeFromUnix(1700000000), u"referenced.txt", false, false);
    writer->SaveToFile(m_dir.file("streams.7z"));

    const auto items = test::ListArchive(m_dir.file("streams.7z"));
    ASSERT_THAT(Paths(items), ElementsAre("dir/owned.txt", "referenced.txt"));
    EXPECT_EQ(items[0].at("Modified").substr(0, 19), "2021-03-04 05:06:07");
    EXPECT_EQ(items[1].at("Modified").substr(0, 19), "2023-11-14 22:13:20");
    TempDir out;
    ASSERT_TRUE(test::ExtractArchive(m_dir.file("streams.7z"), out.path()));
    EXPECT_EQ(test::ReadFile(out.file("dir/owned.txt")), "owned data");
    EXPECT_EQ(test::ReadFile(out.file("referenced.txt")), "referenced data");
}

TEST_F(SevenZipWriterTest, APasswordWithCyrillicAndAnAstralCharacterOpensTheArchive)
{
    const std::string password = "Пароль-\xF0\x9F\x94\x91";
    const auto writer = newWriter();
    writer->AddFile(file("secret.txt", "secret"), u"secret.txt");
    writer->SetPassword(Utf16FromUtf8(password));
    writer->SaveToFile(m_dir.file("secret.7z"));
    EXPECT_TRUE(test::TestArchive(m_dir.file("secret.7z"), password));
    EXPECT_FALSE(test::TestArchive(m_dir.file("secret.7z"), "Пароль-"));
    TempDir out;
    ASSERT_TRUE(test::ExtractArchive(m_dir.file("secret.7z"), out.path(), password));
    EXPECT_EQ(test::ReadFile(out.file("secret.txt")), "secret");
}

TEST_F(SevenZipWriterTest, ASecondSaveWithoutClearingWritesTheSameItems)
{
    ByteBuffer referenced;
    referenced.write("read twice", 10);
    const auto writer = newWriter();
    writer->AddFile(file("a.txt", "a"), u"a.txt");
    writer->AddStream(HeldStream::referenced(referenced), 0x20, {}, {}, u"s.txt", false, false);
    writer->SaveToFile(m_dir.file("first.7z"));
    writer->SaveToFile(m_dir.file("second.7z"));
    for (const char* name : {"first.7z", "second.7z"}) {
        TempDir out;
        ASSERT_TRUE(test::ExtractArchive(m_dir.file(name), out.path())) << name;
        EXPECT_EQ(test::ReadFile(out.file("a.txt")), "a");
        EXPECT_EQ(test::ReadFile(out.file("s.txt")), "read twice");
    }
}

TEST_F(SevenZipWriterTest, NamesBeyondTheBasicPlaneSurviveTheRoundTrip)
{
    const std::string name = "отчёт-\xF0\x9F\x98\x80.txt";
    const auto writer = newWriter();
    writer->AddFile(file(name, "content"), Utf16FromUtf8(name));
    writer->SaveToFile(m_dir.file("names.7z"));
    EXPECT_THAT(Paths(test::ListArchive(m_dir.file("names.7z"))), ElementsAre(name));
    TempDir out;
    ASSERT_TRUE(test::ExtractArchive(m_dir.file("names.7z"), out.path()));
    EXPECT_EQ(test::ReadFile(out.file(name)), "content");
}

TEST_F(SevenZipWriterTest, LevelAndMethodAreBothKeptWhicheverComesFirst)
{
    // The dictionary the library picks shows the level: level 1 takes a smaller one than the default 5.
    const std::string data = file("data.bin", RandomBytes(1 << 20));
    const auto methodOf = [&](const std::function<void(I7zArchiveWriter&)>& settings) {
        const auto writer = newWriter();
        writer->AddFile(data, u"data.bin");
        settings(*writer.get());
        writer->SaveToFile(m_dir.file("level.7z"));
        return test::ListArchive(m_dir.file("level.7z")).at(0).at("Method");
    };
    const std::string defaultLevel = methodOf([](I7zArchiveWriter& w) { SetCompressionMethod(w, 1); });
    const std::string levelFirst = methodOf([](I7zArchiveWriter& w) {
        SetCompressionLevel(w, 1);
        SetCompressionMethod(w, 1);
    });
    const std::string methodFirst = methodOf([](I7zArchiveWriter& w) {
        SetCompressionMethod(w, 1);
        SetCompressionLevel(w, 1);
    });
    EXPECT_THAT(defaultLevel, ::testing::StartsWith("LZMA:"));
    EXPECT_THAT(levelFirst, ::testing::StartsWith("LZMA:"));
    EXPECT_NE(levelFirst, defaultLevel);
    EXPECT_EQ(methodFirst, levelFirst);
}

TEST_F(SevenZipWriterTest, AFailingItemStreamLeavesAnEarlierArchiveAndNoTemporaryFile)
{
    const std::string archive = m_dir.file("out.7z");
    const auto writer = newWriter();
    writer->AddFile(file("a.txt", "a"), u"a.txt");
    writer->SaveToFile(archive);
    const std::string earlier = test::ReadFile(archive);

    writer->AddStream(HeldStream::owned(std::make_unique<test::FailingStream>(RandomBytes(100000))), 0x20, {}, {},
                      u"broken.bin", false, false);
    try {
        writer->SaveToFile(archive);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "File access denied");
    }
    EXPECT_EQ(test::ReadFile(archive), earlier);
    EXPECT_EQ(test::ListFolder(m_dir.path()), (std::vector<std::string>{"a.txt", "out.7z"}));
}

TEST_F(SevenZipWriterTest, ProgressReportsTheTotalAndAnAbortStopsTheSave)
{
    struct Progress {
        std::uint64_t total = 0;
        std::atomic<int> steps{0};
        HRESULT answer = S_OK;
    } progress;
    const auto callback = [](void* sender, bool isTotal, std::uint64_t value) {
        auto* p = static_cast<Progress*>(sender);
        if (isTotal)
            p->total = value;
        else
            ++p->steps;
        return p->answer;
    };
    const auto writer = newWriter();
    writer->AddFile(file("a.bin", RandomBytes(300000)), u"a.bin");
    writer->AddFile(file("b.txt", "b"), u"b.txt");
    writer->SetProgressCallback(&progress, callback);
    writer->SaveToFile(m_dir.file("ok.7z"));
    EXPECT_EQ(progress.total, 300001u);
    EXPECT_GT(progress.steps.load(), 0);

    progress.answer = E_ABORT;
    try {
        writer->SaveToFile(m_dir.file("stopped.7z"));
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), SystemErrorText(0x80004004u));
    }
    EXPECT_FALSE(test::FileExists(m_dir.file("stopped.7z")));
}
