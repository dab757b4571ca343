// Packing a signed file as the library sees it. The real library orders the
// items by name itself, so only the recording stand-in shows what the writer
// hands over and in which order.

#include "sevenzip/PackSignedFile.h"
#include "tests/sevenzip/SevenZipTestSupport.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

using ordalis::test::FakeLibrary;
using ordalis::test::TempDir;
using ::testing::ElementsAre;

namespace {

std::vector<std::string> Matching(const std::vector<std::string>& lines, const std::string& part)
{
    std::vector<std::string> found;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(found),
                 [&](const std::string& line) { return line.find(part) != std::string::npos; });
    return found;
}

TEST(PackSignedFileRecord, LevelAndMethodArriveTogetherAndTheFileComesBeforeItsSignature)
{
    FakeLibrary fake(FAKE7Z_RECORDING);
    TempDir dir;
    // The signature's name sorts before the file's: only the writer's order puts the file first.
    ordalis::test::WriteFile(dir.file("zeta.txt"), "signed content");
    ordalis::test::WriteFile(dir.file("alpha.sig"), "signature bytes");
    const std::string archive = ordalis::PackSignedFile(dir.file("zeta.txt"), dir.file("alpha.sig"), fake.path());

    EXPECT_EQ(archive, dir.file("alpha.sig.7z"));
    EXPECT_EQ(ordalis::test::ReadFile(archive), "FAKE7Z");
    const auto lines = fake.record();
    const auto properties = Matching(lines, "SetProperties(");
    ASSERT_FALSE(properties.empty());
    EXPECT_EQ(properties.back(), "SetProperties(X=ui4 5, 0=bstr BZIP2)");
    EXPECT_THAT(Matching(lines, "UpdateItems"), ElementsAre("UpdateItems 2"));
    EXPECT_THAT(Matching(lines, " prop 3 "),
                ElementsAre("item 0 prop 3 bstr zeta.txt -> 0", "item 1 prop 3 bstr alpha.sig -> 0"));
    EXPECT_THAT(Matching(lines, " data "), ElementsAre("item 0 data signed content", "item 1 data signature bytes"));
}

} // namespace
