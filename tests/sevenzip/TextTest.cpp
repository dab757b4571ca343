// Texts at the library's boundary: mask lists, UTF-16 code units in wchar_t,
// the BSTR block, and file attribute bits.

#include "sevenzip/FileInfo.h"
#include "sevenzip/FileSearch.h"
#include "sevenzip/PropVariant.h"
#include "sevenzip/Utf16.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sys/stat.h>

using namespace ordalis::sevenzip;

TEST(SevenZipText, MaskListsSplitAtSemicolonsAndBlanksOutsideQuotes)
{
    const struct {
        const char* masks;
        std::vector<std::string> expected;
    } cases[] = {
        {"*.txt;*.doc", {"*.txt", "*.doc"}},
        {"  *.txt ;\t*.doc  ", {"*.txt", "*.doc"}},
        {"*.txt *.doc", {"*.txt", "*.doc"}},
        {"\"my file?.txt\";*.c", {"my file?.txt", "*.c"}},
        {"pre\"fix *\"", {"prefix *"}},
        {";;", {}},
        {"", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitMasks(c.masks), c.expected) << c.masks;
}

TEST(SevenZipText, CharactersBeyondTheBasicPlaneBecomeSurrogatePairs)
{
    const std::u16string text = Utf16FromUtf8("Я\xF0\x9F\x98\x80!");
    EXPECT_EQ(text, (std::u16string{u'Я', 0xD83D, 0xDE00, u'!'}));
    EXPECT_EQ(Utf8FromUtf16(text), "Я\xF0\x9F\x98\x80!");
    // One code unit per wchar_t, never a whole code point.
    const std::wstring wide = WideFromUtf16(text);
    ASSERT_EQ(wide.size(), 4u);
    EXPECT_EQ(static_cast<std::uint32_t>(wide[1]), 0xD83Du);
    EXPECT_EQ(Utf16FromWide(wide.c_str()), text);
}

TEST(SevenZipText, BytesThatAreNotUtf8BecomeReplacementCharacters)
{
    // A stray continuation byte, a truncated sequence, an overlong "/" and an encoded surrogate.
    EXPECT_EQ(Utf16FromUtf8("a\x80"
                            "b\xE2\x82"),
              (std::u16string{u'a', 0xFFFD, u'b', 0xFFFD, 0xFFFD}));
    EXPECT_EQ(Utf16FromUtf8("\xC0\xAF"), (std::u16string{0xFFFD, 0xFFFD}));
    EXPECT_EQ(Utf16FromUtf8("\xED\xA0\x80").front(), 0xFFFD);
    EXPECT_EQ(Utf8FromUtf16(std::u16string{0xD800, u'x'}), "\xEF\xBF\xBDx");
}

TEST(SevenZipText, ABstrCarriesItsByteLengthAndAZeroAfterTheText)
{
    BSTR text = AllocBstr(u"ab\U0001F600");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(BstrByteLength(text), 4 * sizeof(wchar_t));
    EXPECT_EQ(text[0], L'a');
    EXPECT_EQ(static_cast<std::uint32_t>(text[3]), 0xDE00u);
    EXPECT_EQ(text[4], L'\0');
    FreeBstr(text);

    BSTR empty = AllocBstr(u"");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(BstrByteLength(empty), 0u);
    EXPECT_EQ(empty[0], L'\0');
    FreeBstr(empty);
}

TEST(SevenZipText, AttributesCarryWindowsBitsAndThePosixMode)
{
    const std::uint32_t file = FileAttributes(S_IFREG | 0644, "report.pdf");
    EXPECT_EQ(file & 0xFFFF, 0x8020u); // archive, Unix extension
    EXPECT_EQ(file >> 16, static_cast<std::uint32_t>(S_IFREG | 0644));
    EXPECT_EQ(FileAttributes(S_IFREG | 0444, ".hidden") & 0xFFFF, 0x8023u); // + read-only, hidden
    EXPECT_EQ(FileAttributes(S_IFDIR | 0755, "sub") & 0xFFFF, 0x8010u);
}
