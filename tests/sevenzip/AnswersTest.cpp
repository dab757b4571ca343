// What the writer tells the library during a save and which settings reach it,
// seen from a stand-in library that logs every answer.

#include "common/ByteBuffer.h"
#include "common/Error.h"
#include "common/SystemError.h"
#include "sevenzip/SevenZip.h"
#include "sevenzip/T7zOutArchive.h"
#include "tests/sevenzip/SevenZipTestSupport.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

using namespace ordalis;
using namespace ordalis::sevenzip;
using ordalis::test::FakeLibrary;
using ordalis::test::TempDir;
using ::testing::ElementsAre;
using ::testing::IsSupersetOf;

namespace {

std::vector<std::string> Matching(const std::vector<std::string>& lines, const std::string& prefix)
{
    std::vector<std::string> found;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(found),
                 [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
    return found;
}

std::unique_ptr<ByteStream> StreamOf(const std::string& text)
{
    auto buffer = std::make_unique<ByteBuffer>();
    buffer->write(text.data(), text.size());
    return buffer;
}

struct Progress {
    std::vector<std::pair<bool, std::uint64_t>> calls;
    HRESULT answer = S_OK;

    static HRESULT Callback(void* sender, bool isTotal, std::uint64_t value)
    {
        auto* self = static_cast<Progress*>(sender);
        self->calls.emplace_back(isTotal, value);
        return self->answer;
    }
};

} // namespace

TEST(SevenZipAnswers, ItemsArePropertiesAndDataAsQueued)
{
    FakeLibrary fake(FAKE7Z_RECORDING);
    TempDir dir;
    test::WriteFile(dir.file("a.txt"), "file data");
    const auto writer = CreateOutArchive(CLSID_Format7z, fake.path());
    writer->AddStream(HeldStream::owned(StreamOf("stream data")), 0x20, FileTimeFromUnix(1), FileTimeFromUnix(2), u"",
                      false, true);
    writer->AddFile(dir.file("a.txt"), u"docs\\a.txt");
    ByteBuffer out;
    writer->SaveToStream(out);

    const auto lines = fake.record();
    EXPECT_THAT(Matching(lines, "item 0 "),
                ElementsAre("item 0 info 1 1 FFFFFFFF",
                            // An empty archive path gives no path property.
                            "item 0 prop 3 empty -> 0", "item 0 prop 6 bool 0 -> 0", "item 0 prop 7 ui8 11 -> 0",
                            "item 0 prop 9 ui4 32 -> 0", "item 0 prop 10 filetime 19DB1DED5D71680 -> 0",
                            "item 0 prop 11 empty -> 0", "item 0 prop 12 filetime 19DB1DED66FAD00 -> 0",
                            "item 0 prop 21 bool -1 -> 0", "item 0 prop 99 empty -> 0", "item 0 data stream data"));
    EXPECT_THAT(lines, IsSupersetOf({"item 1 prop 3 bstr docs/a.txt -> 0", "item 1 prop 7 ui8 9 -> 0",
                                     "item 1 prop 21 bool 0 -> 0", "item 1 data file data"}));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(out.data()), out.length()), "FAKE7Z");
}

TEST(SevenZipAnswers, ProgressGoesToTheCallbackExceptForANullCount)
{
    FakeLibrary fake(FAKE7Z_RECORDING);
    const auto writer = CreateOutArchive(CLSID_Format7z, fake.path());
    ByteBuffer out;
    writer->SaveToStream(out);
    EXPECT_THAT(Matching(fake.record(), "SetCompleted"),
                ElementsAre("SetCompleted(null) -> 0", "SetCompleted(500) -> 0"));

    Progress progress;
    progress.answer = 0x1234;
    writer->SetProgressCallback(&progress, &Progress::Callback);
    writer->SaveToStream(out);
    EXPECT_THAT(progress.calls,
                ElementsAre(std::pair{true, std::uint64_t{1000}}, std::pair{false, std::uint64_t{500}}));
    // The callback's answer goes back to the library unchanged.
    EXPECT_THAT(Matching(fake.record(), "Set"),
                IsSupersetOf({"SetTotal -> 1234", "SetCompleted(500) -> 1234", "SetCompleted(null) -> 0"}));
}

TEST(SevenZipAnswers, APasswordIsDefinedOnlyWhenSet)
{
    FakeLibrary fake(FAKE7Z_RECORDING);
    const auto writer = CreateOutArchive(CLSID_Format7z, fake.path());
    ByteBuffer out;
    writer->SaveToStream(out);
    EXPECT_THAT(Matching(fake.record(), "password"), ElementsAre("password defined 0, untouched"));

    // UTF-16 code units, one per wchar_t: a surrogate pair for the character beyond U+FFFF.
    writer->SetPassword(u"п1\U0001F600");
    writer->SaveToStream(out);
    EXPECT_THAT(Matching(fake.record(), "password"),
                ElementsAre("password defined 0, untouched", "password defined 1, \\u43F1\\uD83D\\uDE00"));
}

TEST(SevenZipAnswers, EveryPropertySetSoFarIsHandedOverAtEachCall)
{
    FakeLibrary fake(FAKE7Z_RECORDING);
    const auto writer = CreateOutArchive(CLSID_Format7z, fake.path());
    SetCompressionLevel(*writer.get(), 5);
    SetCompressionMethod(*writer.get(), 2);
    writer->SetProperty(u"s", T7zVariant(false));
    SetCompressionLevel(*writer.get(), 9);
    EXPECT_THAT(Matching(fake.record(), "SetProperties"),
                ElementsAre("SetProperties(X=ui4 5)", "SetProperties(X=ui4 5, 0=bstr BZIP2)",
                            "SetProperties(X=ui4 5, 0=bstr BZIP2, s=bool 0)",
                            "SetProperties(X=ui4 9, 0=bstr BZIP2, s=bool 0)"));
}

TEST(SevenZipAnswers, ARejectedPropertyIsNotKept)
{
    FakeLibrary fake(FAKE7Z_RECORDING);
    const auto writer = CreateOutArchive(CLSID_Format7z, fake.path());
    SetCompressionLevel(*writer.get(), 5);
    FakeConfig rejecting;
    rejecting.setPropertiesResult = static_cast<std::int32_t>(0x80070057u);
    fake.configure(rejecting);
    EXPECT_THROW(SetCompressionMethod(*writer.get(), 4), Error);
    // The failed call reset the library's settings, so the kept ones are handed over again.
    EXPECT_THAT(Matching(fake.record(), "SetProperties"),
                ElementsAre("SetProperties(X=ui4 5, 0=bstr DEFLATE)", "SetProperties(X=ui4 5)"));
    fake.configure({});
    SetCompressionMethod(*writer.get(), 2);
    EXPECT_THAT(Matching(fake.record(), "SetProperties"), ElementsAre("SetProperties(X=ui4 5, 0=bstr BZIP2)"));
}

TEST(SevenZipAnswers, TheArchiveObjectIsMadeOnceForTheFirstClassId)
{
    FakeLibrary fake(FAKE7Z_RECORDING);
    const auto writer = CreateOutArchive(CLSID_Format7z, fake.path());
    EXPECT_EQ(writer->GetClassId(), CLSID_Format7z);
    SetCompressionLevel(*writer.get(), 5);
    GUID zip = CLSID_Format7z;
    zip.Data4[5] = 0x01;
    writer->SetClassId(zip);
    EXPECT_EQ(writer->GetClassId(), zip);
    ByteBuffer out;
    writer->SaveToStream(out);
    EXPECT_THAT(Matching(fake.record(), "CreateObject"), ElementsAre("CreateObject class 7"));
}

TEST(SevenZipAnswers, SavingAgainWritesTheSameItemsUntilTheBatchIsCleared)
{
    FakeLibrary fake(FAKE7Z_RECORDING);
    TempDir dir;
    test::WriteFile(dir.file("a.txt"), "a");
    const auto writer = CreateOutArchive(CLSID_Format7z, fake.path());
    writer->AddFile(dir.file("a.txt"), u"a.txt");
    // A missing name and a folder add nothing.
    writer->AddFile(dir.file("missing.txt"), u"missing.txt");
    writer->AddFile(dir.path(), u"folder");
    ByteBuffer out;
    writer->SaveToStream(out);
    writer->SaveToStream(out);
    writer->ClearBatch();
    writer->SaveToStream(out);
    EXPECT_THAT(Matching(fake.record(), "UpdateItems"), ElementsAre("UpdateItems 1", "UpdateItems 1", "UpdateItems 0"));
}

TEST(SevenZipAnswers, OwnedStreamsAreFreedWithTheBatchReferencedOnesNever)
{
    FakeLibrary fake(FAKE7Z_RECORDING);
    bool ownedFreed = false;
    bool referencedFreed = false;
    test::WatchedStream referenced("kept", referencedFreed);
    {
        const auto writer = CreateOutArchive(CLSID_Format7z, fake.path());
        writer->AddStream(HeldStream::owned(std::make_unique<test::WatchedStream>("owned", ownedFreed)), 0, {}, {},
                          u"owned", false, false);
        writer->AddStream(HeldStream::referenced(referenced), 0, {}, {}, u"referenced", false, false);
        ByteBuffer out;
        writer->SaveToStream(out);
        EXPECT_FALSE(ownedFreed);
        writer->ClearBatch();
        EXPECT_TRUE(ownedFreed);
    }
    EXPECT_FALSE(referencedFreed);
    // The library's archive object goes with the writer's last reference.
    EXPECT_EQ(fake.record().back(), "archive released");
}

TEST(SevenZipAnswers, AFailingItemStreamFailsTheSaveWithItsOwnMessage)
{
    FakeLibrary fake(FAKE7Z_RECORDING);
    TempDir dir;
    const auto writer = CreateOutArchive(CLSID_Format7z, fake.path());
    writer->AddStream(HeldStream::owned(std::make_unique<test::FailingStream>("first bytes")), 0, {}, {}, u"x", false,
                      false);
    ByteBuffer out;
    try {
        writer->SaveToStream(out);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "File access denied");
    }
    // A file that vanished after it was queued.
    test::WriteFile(dir.file("gone.txt"), "x");
    writer->ClearBatch();
    writer->AddFile(dir.file("gone.txt"), u"gone.txt");
    std::remove(dir.file("gone.txt").c_str());
    try {
        writer->SaveToStream(out);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), CannotOpenFileText(dir.file("gone.txt"), ENOENT));
    }
}

TEST(SevenZipAnswers, CompressionMethodsOutsideTheTableAreRefused)
{
    FakeLibrary fake(FAKE7Z_RECORDING);
    const auto writer = CreateOutArchive(CLSID_Format7z, fake.path());
    for (std::uint32_t method = 0; method < kCompressionMethods.size(); ++method)
        EXPECT_NO_THROW(SetCompressionMethod(*writer.get(), method));
    EXPECT_THROW(SetCompressionMethod(*writer.get(), 6), Error);
    EXPECT_THAT(Matching(fake.record(), "SetProperties").back(), ::testing::EndsWith("0=bstr DEFLATE64)"));
}
