// Base64 decoding of arbitrary text: never more than three bytes for four
// characters, and the decoded bytes survive encoding and decoding again.

#include "armour/Armour.h"
#include "common/ByteBuffer.h"
#include "fuzz/FuzzSupport.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

using namespace ordalis;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ByteBuffer text;
    text.write(data, size);
    text.setPosition(0);
    ByteBuffer decoded;
    ArmourDecode(text, decoded);
    fuzz::Require(decoded.length() * 4 <= size * 3);

    decoded.setPosition(0);
    ByteBuffer encoded;
    ArmourEncode(decoded, encoded);
    encoded.setPosition(0);
    ByteBuffer again;
    ArmourDecode(encoded, again);
    fuzz::Require(again.length() == decoded.length() &&
                  std::equal(again.data(), again.data() + again.length(), decoded.data()));
    return 0;
}
