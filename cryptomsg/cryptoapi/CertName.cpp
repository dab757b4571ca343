#include "common/ErrorCodes.h"
#include "cryptomsg/cryptoapi/CertNameText.h"
#include "cryptomsg/cryptoapi/CryptoApi.h"
#include "cryptomsg/cryptoapi/Ossl.h"
#include "cryptomsg/cryptoapi/OsslError.h"

#include <cstring>
#include <optional>

namespace ordalis {

namespace {

inline constexpr DWORD CERT_SIMPLE_NAME_STR = 1;
inline constexpr DWORD CERT_X500_NAME_STR = 3;

std::optional<NameStyle> StyleOf(DWORD strType)
{
    switch (strType) {
    case CERT_SIMPLE_NAME_STR: return NameStyle::ValuesOnly;
    case CERT_OID_NAME_STR: return NameStyle::Oid;
    case CERT_X500_NAME_STR: return NameStyle::ShortName;
    default: return std::nullopt;
    }
}

// Copies what fits, never splitting a UTF-8 sequence, and terminates it.
DWORD CopyOut(const std::string& text, char* out, DWORD capacity)
{
    std::size_t count = text.size();
    if (count + 1 > capacity) {
        count = capacity - 1;
        while (count > 0 && (static_cast<unsigned char>(text[count]) & 0xC0) == 0x80)
            --count;
    }
    std::memcpy(out, text.data(), count);
    out[count] = '\0';
    return static_cast<DWORD>(count + 1);
}

// A failed conversion still yields the empty text, as the callers size their buffer from the result.
DWORD Failed(bool decoding, char* out, DWORD capacity)
{
    if (decoding)
        FailFromOpenSsl(codes::Asn1Corrupt);
    else
        FailWith(codes::InvalidArg);
    if (out && capacity > 0)
        out[0] = '\0';
    return 1;
}

} // namespace

DWORD CertNameToStrA(DWORD encoding, const CERT_NAME_BLOB* name, DWORD strType, char* text, DWORD capacity)
{
    const std::optional<NameStyle> style = StyleOf(strType);
    if ((encoding & X509_ASN_ENCODING) == 0 || !name || (!name->pbData && name->cbData != 0) || !style)
        return Failed(false, text, capacity);
    const unsigned char* p = name->pbData;
    X509NamePtr decoded(p ? d2i_X509_NAME(nullptr, &p, static_cast<long>(name->cbData)) : nullptr);
    if (!decoded || p != name->pbData + name->cbData)
        return Failed(true, text, capacity);
    const std::string formatted = FormatName(decoded.get(), *style);
    if (!text || capacity == 0)
        return static_cast<DWORD>(formatted.size() + 1);
    return CopyOut(formatted, text, capacity);
}

} // namespace ordalis
