#include "tests/armour/CodecHelpers.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <string>
#include <vector>

using namespace ordalis;
using namespace ordalis::test;

namespace {

// OpenSSL's unbroken Base64, cut into lines of 76 with CR LF after each full one.
std::string ReferenceText(const std::string& bytes)
{
    std::vector<unsigned char> flat(4 * ((bytes.size() + 2) / 3) + 1);
    const int n = EVP_EncodeBlock(flat.data(), reinterpret_cast<const unsigned char*>(bytes.data()),
                                  static_cast<int>(bytes.size()));
    std::string text;
    for (int i = 0; i < n; i += 76) {
        text.append(reinterpret_cast<const char*>(flat.data()) + i, std::min(76, n - i));
        if (n - i >= 76)
            text += "\r\n";
    }
    return text;
}

struct Vector {
    const char* bytes;
    const char* text;
};

} // namespace

TEST(ArmourCodec, Rfc4648VectorsEncodeAndDecode)
{
    for (const Vector& v : std::vector<Vector>{{"", ""},
                                               {"f", "Zg=="},
                                               {"fo", "Zm8="},
                                               {"foo", "Zm9v"},
                                               {"foob", "Zm9vYg=="},
                                               {"fooba", "Zm9vYmE="},
                                               {"foobar", "Zm9vYmFy"}}) {
        EXPECT_EQ(Encode(v.bytes), v.text);
        EXPECT_EQ(Decode(v.text), v.bytes);
    }
}

TEST(ArmourCodec, EncodeGroupReadsOnlyTheCountedBytes)
{
    const unsigned char group[3] = {'A', 0xFF, 0xFF};
    for (const auto& [count, expected] :
         std::vector<std::pair<std::size_t, std::string>>{{1, "QQ=="}, {2, "Qf8="}, {3, "Qf//"}}) {
        char chars[4];
        EncodeGroup(group, count, chars);
        EXPECT_EQ(std::string(chars, 4), expected) << count;
    }
}

TEST(ArmourCodec, LinesHold76CharactersWithCrLfAfterEachFullOne)
{
    struct Layout {
        std::size_t bytes, textSize, lineBreaks;
        const char* ending;
    };
    for (const Layout& l : std::vector<Layout>{{57, 78, 1, "\r\n"},
                                               {58, 82, 1, "=="},
                                               {114, 156, 2, "\r\n"},
                                               // one byte past the first read chunk joins its unfinished line
                                               {511, 702, 9, "==\r\n"}}) {
        const std::string text = Encode(Pattern(l.bytes));
        EXPECT_EQ(text.size(), l.textSize) << l.bytes;
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), static_cast<long>(l.lineBreaks)) << l.bytes;
        EXPECT_TRUE(text.ends_with(l.ending)) << l.bytes;
        EXPECT_EQ(text, ReferenceText(Pattern(l.bytes)));
    }
}

TEST(ArmourCodec, EveryLengthUpTo2000EncodesAsReferenceAndDecodesBack)
{
    for (std::size_t n = 0; n <= 2000; ++n) {
        const std::string bytes = Pattern(n);
        const std::string text = Encode(bytes);
        ASSERT_EQ(text, ReferenceText(bytes)) << n;
        ASSERT_EQ(Decode(text), bytes) << n;
    }
}

TEST(ArmourCodec, StreamsDeliveringShortReadsGiveTheSameResults)
{
    const std::string bytes = Pattern(1500);
    const std::string text = Encode(bytes);
    for (std::size_t perRead : {1u, 7u, 100u}) {
        TrickleStream plain(bytes, perRead);
        ByteBuffer encoded;
        ArmourEncode(plain, encoded);
        EXPECT_EQ(TextOf(encoded), text) << perRead;

        TrickleStream armoured(text, perRead);
        ByteBuffer decoded;
        ArmourDecode(armoured, decoded);
        EXPECT_EQ(TextOf(decoded), bytes) << perRead;
    }
}

TEST(ArmourCodec, NeitherOperationRewindsItsStreams)
{
    for (const bool encoding : {true, false}) {
        const std::string payload = encoding ? Pattern(100) : Encode(Pattern(100));
        ByteBuffer in = BufferOf("skip" + payload);
        in.setPosition(4);
        ByteBuffer out = BufferOf("kept|overwritten");
        out.setPosition(5);

        (encoding ? ArmourEncode : ArmourDecode)(in, out);

        const std::string expected = encoding ? Encode(payload) : Pattern(100);
        EXPECT_EQ(in.position(), in.size());
        EXPECT_EQ(out.position(), static_cast<std::int64_t>(5 + expected.size()));
        EXPECT_EQ(TextOf(out), "kept|" + expected);
    }
}
