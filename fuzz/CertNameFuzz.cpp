// The text of an arbitrary name in each style, whole and cut to a smaller buffer.

#include "cryptomsg/cryptoapi/CryptoApi.h"
#include "fuzz/FuzzSupport.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

using namespace ordalis;

namespace {

constexpr DWORD kSimpleName = 1;
constexpr DWORD kX500Name = 3;

void CheckStyle(const CERT_NAME_BLOB& name, DWORD style)
{
    const DWORD needed = CertNameToStrA(kEncodingType, &name, style, nullptr, 0);
    fuzz::Require(needed >= 1);
    std::vector<char> whole(needed, '\x7F');
    fuzz::Require(CertNameToStrA(kEncodingType, &name, style, whole.data(), needed) == needed);
    // Callers read the text up to its first zero: none may come before the end,
    // or the name shown would be shorter than the name.
    fuzz::Require(std::strlen(whole.data()) == needed - 1);

    // A short buffer gets a terminated prefix of the whole text.
    const DWORD capacity = 1 + needed / 2;
    std::vector<char> part(capacity, '\x7F');
    const DWORD written = CertNameToStrA(kEncodingType, &name, style, part.data(), capacity);
    fuzz::Require(written >= 1 && written <= capacity && part[written - 1] == '\0');
    fuzz::Require(std::memcmp(part.data(), whole.data(), written - 1) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The blob's pointer is not const in the record, but nothing writes through it.
    const CERT_NAME_BLOB name{static_cast<DWORD>(size), const_cast<BYTE*>(data)};
    for (const DWORD style : {kSimpleName, CERT_OID_NAME_STR, kX500Name})
        CheckStyle(name, style);
    return 0;
}
