#include "tests/armour/CodecHelpers.h"

#include "common/Error.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace ordalis;
using namespace ordalis::test;

namespace {

std::string WithoutCrLf(const std::string& text)
{
    std::string flat;
    std::copy_if(text.begin(), text.end(), std::back_inserter(flat), [](char c) { return c != '\r' && c != '\n'; });
    return flat;
}

// Puts sep after every width characters of the flat text.
std::string Wrapped(const std::string& flat, std::size_t width, const std::string& sep)
{
    std::string text;
    for (std::size_t i = 0; i < flat.size(); i += width)
        text += flat.substr(i, width) + sep;
    return text;
}

} // namespace

TEST(ArmourDecode, IgnoresEveryByteOutsideTheSetWhereverItStands)
{
    const std::string bytes = Pattern(1000);
    const std::string flat = WithoutCrLf(Encode(bytes));
    const std::vector<std::pair<const char*, std::function<std::string()>>> layouts = {
        {"LF only", [&] { return Wrapped(flat, 76, "\n"); }},
        {"64-wide lines", [&] { return Wrapped(flat, 64, "\r\n"); }},
        {"one character a line", [&] { return Wrapped(flat, 1, "\n"); }},
        {"blanks and tabs inside groups", [&] { return Wrapped(flat, 3, " \t"); }},
        {"NUL, DEL and high bytes", [&] { return Wrapped(flat, 5, std::string("\0\x7f\x80\xff", 4)); }},
        {"long gaps across chunks", [&] { return Wrapped(flat, 75, std::string(200, ' ')); }},
        {"no breaks at all", [&] { return flat; }},
    };
    for (const auto& [name, layout] : layouts)
        EXPECT_EQ(Decode(layout()), bytes) << name;
}

TEST(ArmourDecode, JoinedEncodingsDecodeToTheirDataJoined)
{
    EXPECT_EQ(Decode("Zm8=Zm9vYmFy"), "fofoobar");
    // The pad of the first falls inside a chunk of the second.
    const std::string first = Pattern(58), second = Pattern(300);
    EXPECT_EQ(Decode(Encode(first) + "\r\n" + Encode(second)), first + second);
}

TEST(ArmourDecode, HeaderLinesAreReadAsBase64Characters)
{
    const std::string text = Encode(Pattern(200));
    const std::string decoded = Decode("-----BEGIN PKCS7-----\r\n" + text);
    EXPECT_NE(decoded, Pattern(200));
    EXPECT_EQ(decoded, Decode("BEGINPKCS7" + text));
}

TEST(ArmourDecode, ChunkOfExactly76CharactersAndWhatFollowsIt)
{
    const std::string full = WithoutCrLf(Encode(Pattern(57)));
    ASSERT_EQ(full.size(), 76u);
    EXPECT_EQ(Decode(full), Pattern(57));
    EXPECT_EQ(Decode(full + "\r\n \r\n"), Pattern(57));
    // What follows a full chunk is decoded on its own, without the chunk's leftovers.
    EXPECT_EQ(Decode(full + "Q"), Pattern(57));
    EXPECT_EQ(Decode(full + "QQ"), Pattern(57) + "A");
    EXPECT_EQ(Decode(full + "\r\nQUI"), Pattern(57) + "AB");
}

TEST(ArmourDecode, IncompleteOrOddlyPaddedGroupsYieldTheWholeBytesTheyCarry)
{
    for (const auto& [text, bytes] : std::vector<std::pair<std::string, std::string>>{{"Q", ""},
                                                                                      {"QQ", "A"},
                                                                                      {"QUI", "AB"},
                                                                                      {"QUJDRA", "ABCD"},
                                                                                      {"QUJDR", "ABC"},
                                                                                      {"QQ=", "A"},
                                                                                      {"QQ=A", "A"},
                                                                                      {"QQ=AQUJD", "AABC"},
                                                                                      {"QUI=", "AB"}})
        EXPECT_EQ(Decode(text), bytes) << text;
}

TEST(ArmourDecode, StreamErrorsPassThroughAndKeepWhatWasWritten)
{
    class FullAfterOneChunk : public ByteBuffer {
    public:
        std::size_t write(const void* data, std::size_t count) override
        {
            if (length() > 0)
                throw Error("Disk full");
            return ByteBuffer::write(data, count);
        }
    };
    ByteBuffer in = BufferOf(Encode(Pattern(1000)));
    FullAfterOneChunk out;
    try {
        ArmourDecode(in, out);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Disk full");
    }
    EXPECT_EQ(TextOf(out), Pattern(57));
}
