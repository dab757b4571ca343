#include "common/Error.h"
#include "common/ErrorBoxText.h"
#include "common/ErrorCodes.h"
#include "common/LastError.h"
#include "common/SystemError.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace ordalis;

TEST(ErrorText, InOutCodesFromErrno)
{
    test::TempDir dir;
    EXPECT_EQ(InOutCodeFromErrno(ENOENT, dir.file("missing")), 2);
    EXPECT_EQ(InOutCodeFromErrno(ENOENT, dir.file("no-folder/missing")), 3);
    EXPECT_EQ(InOutCodeFromErrno(EACCES, "x"), 5);
    EXPECT_EQ(InOutCodeFromErrno(EROFS, "x"), 5);
    EXPECT_EQ(InOutCodeFromErrno(EISDIR, "x"), 5);
    EXPECT_EQ(InOutCodeFromErrno(EMFILE, "x"), 4);
    EXPECT_EQ(InOutCodeFromErrno(EBADF, "x"), 6);
    EXPECT_EQ(InOutCodeFromErrno(EBUSY, "x"), 32);
    EXPECT_EQ(InOutCodeFromErrno(ENOSPC, "x"), 101);
    EXPECT_EQ(InOutCodeFromErrno(EIO, "x"), EIO);
}

TEST(ErrorText, RuntimeTexts)
{
    EXPECT_EQ(InOutErrorText(2), "File not found");
    EXPECT_EQ(InOutErrorText(3), "Invalid filename");
    EXPECT_EQ(InOutErrorText(4), "Too many open files");
    EXPECT_EQ(InOutErrorText(5), "File access denied");
    EXPECT_EQ(InOutErrorText(100), "Read beyond end of file");
    EXPECT_EQ(InOutErrorText(101), "Disk full");
    EXPECT_EQ(InOutErrorText(106), "Invalid numeric input");
    EXPECT_EQ(InOutErrorText(32), "I/O error 32");
    EXPECT_EQ(InOutError(6).what(), std::string("I/O error 6"));
}

TEST(ErrorText, ErrorReportShowsTheCodeUnsigned)
{
    EXPECT_EQ(ErrorReportText(codes::NoDecryptCert), SystemErrorText(codes::NoDecryptCert) + " - 2148081676");
    EXPECT_FALSE(SystemErrorText(codes::NoDecryptCert).empty());
    // A code without a text begins with the separator.
    EXPECT_EQ(ErrorReportText(0x80AB0001u), " - 2158690305");
}

TEST(ErrorText, PlatformErrorCheck)
{
    EXPECT_NO_THROW(Win32Check(true));
    SetLastError(0);
    try {
        Win32Check(false);
        FAIL();
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "A call to an OS function failed");
    }
    SetLastError(codes::UnknownAlgo);
    try {
        Win32Check(false);
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "System Error.  Code: -2146889726.\r\n" + SystemErrorText(codes::UnknownAlgo));
    }
}

TEST(ErrorText, SystemTextsAreTrimmed)
{
    for (int err : {ENOENT, EACCES, ENOSPC, EIO}) {
        const std::string text = ErrnoText(err);
        ASSERT_FALSE(text.empty());
        EXPECT_NE(text.back(), '.');
        EXPECT_NE(text.back(), ' ');
    }
    EXPECT_EQ(SystemErrorText(0x88000000u | ENOSPC), ErrnoText(ENOSPC));
}

TEST(ErrorBoxTextTest, AddsAFullStopOnlyAfterBytesThatSortAfterIt)
{
    const struct {
        const char* message;
        const char* shown;
    } cases[] = {
        {"File not found", "File not found."},
        {"I/O error 6", "I/O error 6."},
        {"Already ends.", "Already ends."},
        {"Ends in a blank ", "Ends in a blank "},
        {"Ends in a dash -", "Ends in a dash -"},    // '-' sorts before '.'
        {"Ends in a slash /", "Ends in a slash /."}, // '/' sorts after it
        {"Line\r\n", "Line\r\n"},
        {"Файл не найден", "Файл не найден."}, // UTF-8 bytes compare unsigned
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ErrorBoxText(c.message), c.shown) << c.message;
}
