#include "cryptomsg/operations/MessageFileForm.h"

#include "cryptomsg/cryptoapi/Ossl.h"

#include <openssl/err.h>

#include <algorithm>
#include <climits>
#include <cstring>

namespace ordalis {

bool IsWholeContentInfo(std::span<const unsigned char> bytes)
{
    // A ContentInfo is a SEQUENCE; anything else needs no decoding to be told apart.
    if (bytes.empty() || bytes[0] != 0x30 || bytes.size() > static_cast<std::size_t>(LONG_MAX))
        return false;
    const unsigned char* p = bytes.data();
    CmsPtr message(d2i_CMS_ContentInfo(nullptr, &p, static_cast<long>(bytes.size())));
    ERR_clear_error();
    return message && p == bytes.data() + bytes.size();
}

bool BeginsAsPem(std::span<const unsigned char> bytes)
{
    static constexpr unsigned char kBom[] = {0xEF, 0xBB, 0xBF};
    static constexpr char kHeader[] = "-----BEGIN ";
    if (bytes.size() >= sizeof kBom && std::equal(std::begin(kBom), std::end(kBom), bytes.begin()))
        bytes = bytes.subspan(sizeof kBom);
    const auto text = std::find_if(bytes.begin(), bytes.end(), [](unsigned char c) {
        return c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '\v' && c != '\f';
    });
    const std::size_t rest = static_cast<std::size_t>(bytes.end() - text);
    return rest >= sizeof kHeader - 1 && std::memcmp(&*text, kHeader, sizeof kHeader - 1) == 0;
}

bool ReadsAsArmour(bool firstLineArmoured, std::span<const unsigned char> bytes)
{
    return firstLineArmoured && !IsWholeContentInfo(bytes);
}

} // namespace ordalis
