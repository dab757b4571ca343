// Packing a signed file with its signature through the real 7-Zip library,
// checked with the 7z command-line tool.

#include "common/Error.h"
#include "sevenzip/PackSignedFile.h"
#include "tests/sevenzip/SevenZipTestSupport.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <random>
#include <sys/stat.h>

using namespace ordalis;
using ordalis::test::TempDir;

namespace {

constexpr long long kSourceTime = 1614834367;    // 2021-03-04 05:06:07 UTC
constexpr long long kSignatureTime = 1700000000; // 2023-11-14 22:13:20 UTC

std::string SomeBytes(std::size_t size)
{
    std::mt19937 random(42);
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i % 3 == 0 ? random() % 256 : 'a' + i % 7);
    return bytes;
}

class PackSignedFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!test::HaveSevenZipTool())
            GTEST_SKIP() << "the 7z tool is not installed";
        m_source = m_dir.file("report.pdf");
        test::WriteFile(m_source, SomeBytes(300000));
        ::chmod(m_source.c_str(), 0644);
        test::SetFileTime(m_source, kSourceTime);
    }

    std::string signature(const std::string& extension)
    {
        const std::string name = m_source + extension;
        test::WriteFile(name, "signature bytes " + extension);
        ::chmod(name.c_str(), 0644);
        test::SetFileTime(name, kSignatureTime);
        return name;
    }

    TempDir m_dir;
    std::string m_source;
};

} // namespace

TEST_F(PackSignedFileTest, TheArchiveHoldsTheFileThenItsSignatureUnderBareNames)
{
    const std::string sig = signature(".sig");
    const std::string archive = PackSignedFile(m_source, sig, test::kRealLibrary);
    EXPECT_EQ(archive, sig + ".7z");

    const auto items = test::ListArchive(archive);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].at("Path"), "report.pdf");
    EXPECT_EQ(items[1].at("Path"), "report.pdf.sig");
    EXPECT_EQ(items[0].at("Size"), "300000");
    EXPECT_EQ(items[1].at("Size"), std::to_string(test::ReadFile(sig).size()));
    EXPECT_EQ(items[0].at("Modified").substr(0, 19), "2021-03-04 05:06:07");
    EXPECT_EQ(items[1].at("Modified").substr(0, 19), "2023-11-14 22:13:20");
    for (const auto& item : items) {
        EXPECT_EQ(item.at("Method"), "BZip2");
        EXPECT_EQ(item.at("Attributes"), "A -rw-r--r--");
    }

    TempDir out;
    ASSERT_TRUE(test::ExtractArchive(archive, out.path()));
    EXPECT_EQ(test::ListFolder(out.path()), (std::vector<std::string>{"report.pdf", "report.pdf.sig"}));
    EXPECT_EQ(test::ReadFile(out.file("report.pdf")), test::ReadFile(m_source));
    EXPECT_EQ(test::ReadFile(out.file("report.pdf.sig")), test::ReadFile(sig));
}

TEST_F(PackSignedFileTest, AnArmouredSignatureStillComesAfterTheFile)
{
    const std::string sig = signature(".p7s");
    test::WriteFile(sig + ".7z", "an earlier archive of that name");
    const std::string archive = PackSignedFile(m_source, sig, test::kRealLibrary);
    const auto items = test::ListArchive(archive);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].at("Path"), "report.pdf");
    EXPECT_EQ(items[1].at("Path"), "report.pdf.p7s");
    EXPECT_EQ(test::ListFolder(m_dir.path()),
              (std::vector<std::string>{"report.pdf", "report.pdf.p7s", "report.pdf.p7s.7z"}));
}

TEST_F(PackSignedFileTest, WithoutTheLibraryNoArchiveIsWritten)
{
    const std::string sig = signature(".sig");
    try {
        PackSignedFile(m_source, sig, "no-such-7z.so");
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Error loading library no-such-7z.so");
    }
    EXPECT_EQ(test::ListFolder(m_dir.path()), (std::vector<std::string>{"report.pdf", "report.pdf.sig"}));
}
