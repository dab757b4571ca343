// Loading the library and the failures the library reports: each message the
// writer raises, checked with small stand-in libraries.

#include "common/AtomicFileWriter.h"
#include "common/Error.h"
#include "common/SystemError.h"
#include "sevenzip/SevenZip.h"
#include "tests/sevenzip/SevenZipTestSupport.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

using namespace ordalis;
using namespace ordalis::sevenzip;
using ordalis::test::FakeLibrary;
using ordalis::test::TempDir;

namespace {

std::string MessageOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const Error& e) {
        return e.what();
    }
    return "(no error)";
}

std::string CreateMessage(const std::string& library)
{
    return MessageOf([&] { CreateOutArchive(CLSID_Format7z, library); });
}

} // namespace

TEST(SevenZipLoading, ALibraryThatCannotBeLoadedIsNamedAsPassedIn)
{
    EXPECT_EQ(CreateMessage("no-such-7z-library.so"), "Error loading library no-such-7z-library.so");
    EXPECT_EQ(CreateMessage("/no/such/folder/7z.so"), "Error loading library /no/such/folder/7z.so");
    EXPECT_EQ(CreateMessage(""), "Error loading library ");
}

TEST(SevenZipLoading, ALibraryWithoutTheExpectedExportsIsRefused)
{
    EXPECT_EQ(CreateMessage(FAKE7Z_NO_CREATE_OBJECT), std::string(FAKE7Z_NO_CREATE_OBJECT) + " is not a 7z library");
    EXPECT_EQ(CreateMessage(FAKE7Z_NO_HANDLER_PROPERTY),
              std::string(FAKE7Z_NO_HANDLER_PROPERTY) + " is not a Format library");
    // The older interface layout would put the methods two slots further on.
    EXPECT_EQ(CreateMessage(FAKE7Z_OLD_LAYOUT),
              std::string(FAKE7Z_OLD_LAYOUT) + " is a 7z library of an unsupported older version");
}

TEST(SevenZipLoading, ARefusedClassIdFailsAtTheFirstPropertyWithItsSystemText)
{
    FakeConfig config;
    config.createObjectResult = static_cast<std::int32_t>(0x80040111u);
    FakeLibrary fake(FAKE7Z_RECORDING, config);
    const auto writer = CreateOutArchive(CLSID_Format7z, fake.path());
    EXPECT_EQ(MessageOf([&] { SetCompressionLevel(*writer.get(), 5); }), SystemErrorText(0x80040111u));
    EXPECT_FALSE(SystemErrorText(0x80040111u).empty());
}

TEST(SevenZipLoading, AnArchiveObjectWithoutPropertiesIsInterfaceNotSupported)
{
    FakeConfig config;
    config.answerSetProperties = false;
    FakeLibrary fake(FAKE7Z_RECORDING, config);
    const auto writer = CreateOutArchive(CLSID_Format7z, fake.path());
    EXPECT_EQ(MessageOf([&] { SetCompressionMethod(*writer.get(), 2); }), "Interface not supported");
}

TEST(SevenZipLoading, RejectedPropertiesAndUpdatesGiveTheSystemTextOfTheCode)
{
    FakeConfig config;
    config.setPropertiesResult = static_cast<std::int32_t>(0x80070057u);
    config.updateResult = static_cast<std::int32_t>(0x80004005u);
    FakeLibrary fake(FAKE7Z_RECORDING, config);
    const auto writer = CreateOutArchive(CLSID_Format7z, fake.path());
    EXPECT_EQ(MessageOf([&] { SetCompressionLevel(*writer.get(), 5); }), SystemErrorText(0x80070057u));
    ByteBuffer out;
    EXPECT_EQ(MessageOf([&] { writer->SaveToStream(out); }), SystemErrorText(0x80004005u));
}

TEST(SevenZipLoading, AFailedUpdateLeavesAnEarlierArchiveAndNoTemporaryFile)
{
    FakeConfig config;
    config.updateResult = static_cast<std::int32_t>(0x80004004u);
    FakeLibrary fake(FAKE7Z_RECORDING, config);
    TempDir dir;
    const std::string archive = dir.file("signed.sig.7z");
    test::WriteFile(archive, "earlier archive");
    const auto writer = CreateOutArchive(CLSID_Format7z, fake.path());
    EXPECT_EQ(MessageOf([&] { writer->SaveToFile(archive); }), SystemErrorText(0x80004004u));
    EXPECT_EQ(test::ReadFile(archive), "earlier archive");
    EXPECT_EQ(test::ListFolder(dir.path()), std::vector<std::string>{"signed.sig.7z"});
}

TEST(SevenZipLoading, AnArchiveThatCannotBeCreatedNamesItsFullPath)
{
    FakeLibrary fake(FAKE7Z_RECORDING);
    TempDir dir;
    const std::string archive = dir.file("missing-folder/out.7z");
    const auto writer = CreateOutArchive(CLSID_Format7z, fake.path());
    EXPECT_EQ(MessageOf([&] { writer->SaveToFile(archive); }), CannotCreateFileText(archive, ENOENT));
    EXPECT_EQ(MessageOf([&] { writer->SaveToFile(dir.path()); }), CannotCreateFileText(dir.path(), EISDIR));
}

TEST(SevenZipLoading, EveryCodeButZeroRaises)
{
    EXPECT_NO_THROW(CheckHResult(0));
    EXPECT_THROW(CheckHResult(1), Error);
    EXPECT_EQ(MessageOf([] { CheckHResult(static_cast<HRESULT>(0x80004004u)); }), "Операция прервана");
}
