#include "cryptomsg/messages/MessageSupport.h"

#include "common/ErrorCodes.h"
#include "common/LastError.h"
#include "cryptomsg/cryptoapi/CertContextInternal.h"
#include "cryptomsg/cryptoapi/KeyProviderInternal.h"
#include "cryptomsg/cryptoapi/OsslError.h"
#include "cryptomsg/store/StoreApi.h"

#include <openssl/err.h>

#include <algorithm>
#include <climits>
#include <new>

namespace ordalis {

bool ContentParts::assign(DWORD count, const BYTE* const parts[], const DWORD sizes[])
{
    m_parts.clear();
    if (count > 0 && (!parts || !sizes))
        return FailWith(codes::InvalidArg);
    std::size_t total = 0;
    for (DWORD i = 0; i < count; ++i) {
        if ((sizes[i] > 0 && !parts[i]) || sizes[i] > kMaxContentSize - total)
            return FailWith(codes::InvalidArg);
        total += sizes[i];
    }
    std::vector<std::span<const BYTE>> checked;
    // No exception leaves a call of the CryptoAPI shape.
    try {
        checked.reserve(count);
    } catch (const std::bad_alloc&) {
        return FailWith(codes::NoMemory);
    }
    for (DWORD i = 0; i < count; ++i)
        checked.push_back(sizes[i] == 0 ? std::span<const BYTE>() : std::span<const BYTE>(parts[i], sizes[i]));
    m_parts = std::move(checked);
    return true;
}

std::optional<std::size_t> ContentSize(std::span<const std::span<const BYTE>> parts)
{
    std::size_t total = 0;
    for (const std::span<const BYTE> part : parts) {
        if (part.size() > kMaxContentSize - total)
            return std::nullopt;
        total += part.size();
    }
    return total;
}

bool WriteThrough(BIO* chain, std::span<const BYTE> bytes)
{
    constexpr std::size_t kPiece = std::size_t{1} << 30;
    while (!bytes.empty()) {
        const std::size_t n = std::min(bytes.size(), kPiece);
        std::size_t written = 0;
        if (BIO_write_ex(chain, bytes.data(), n, &written) != 1 || written != n)
            return false;
        bytes = bytes.subspan(n);
    }
    return true;
}

BioPtr NewNullBio() { return BioPtr(BIO_new(BIO_s_null())); }

BorrowedContent::~BorrowedContent()
{
    // The bytes belong to the caller: take them back before the message frees
    // the string. ASN1_STRING_set0 would free them, so the fields are cleared.
    if (m_string) {
        m_string->data = nullptr;
        m_string->length = 0;
    }
}

bool BorrowedContent::attach(ASN1_OCTET_STRING** slot, std::span<const BYTE> bytes)
{
    if (!slot || m_string)
        return FailWith(codes::InvalidArg);
    ASN1_OCTET_STRING* string = ASN1_OCTET_STRING_new();
    if (!string)
        return FailFromOpenSsl(codes::NoMemory);
    ASN1_OCTET_STRING_free(*slot);
    *slot = string;
    // ASN1_STRING_set0 takes a non-const pointer; the string is only ever encoded from.
    ASN1_STRING_set0(string, const_cast<BYTE*>(bytes.data()), static_cast<int>(bytes.size()));
    m_string = string;
    return true;
}

long EncodedLength(const CMS_ContentInfo* cms)
{
    const int length = i2d_CMS_ContentInfo(cms, nullptr);
    if (length <= 0) {
        FailFromOpenSsl(codes::MsgError);
        return -1;
    }
    return length;
}

bool ReportSize(long length, DWORD* outSize)
{
    if (length < 0)
        return false;
    *outSize = static_cast<DWORD>(length) + kSizeSlack;
    return Succeed();
}

long EncodeInto(const CMS_ContentInfo* cms, BYTE* out, DWORD* outSize)
{
    const long length = EncodedLength(cms);
    if (length < 0)
        return -1;
    if (static_cast<unsigned long>(length) > *outSize) {
        *outSize = static_cast<DWORD>(length);
        FailWith(codes::ErrorMoreData);
        return -1;
    }
    BYTE* p = out;
    if (i2d_CMS_ContentInfo(cms, &p) != length) {
        FailFromOpenSsl(codes::MsgError);
        return -1;
    }
    *outSize = static_cast<DWORD>(length);
    return length;
}

CmsPtr DecodeMessage(std::span<const BYTE> bytes, int expectedType)
{
    if (bytes.empty()) {
        FailWith(codes::Asn1Eod);
        return nullptr;
    }
    const unsigned char* p = bytes.data();
    CmsPtr cms(d2i_CMS_ContentInfo(nullptr, &p, static_cast<long>(bytes.size())));
    if (!cms) {
        FailFromOpenSsl(codes::Asn1Corrupt);
        return nullptr;
    }
    // Bytes after the message are not covered by anything in it: a file with
    // them is not the message it claims to be.
    if (p != bytes.data() + bytes.size()) {
        FailWith(codes::Asn1Corrupt);
        return nullptr;
    }
    if (OBJ_obj2nid(CMS_get0_type(cms.get())) != expectedType) {
        FailWith(codes::UnexpectedMsgType);
        return nullptr;
    }
    return cms;
}

EvpPkeyPtr CertificateKey(PCCERT_CONTEXT certificate)
{
    if (EvpPkeyPtr cached = CertContextKey(certificate))
        return cached;
    HCRYPTPROV acquired = nullptr;
    DWORD keySpec = 0;
    if (!CryptAcquireCertificatePrivateKey(certificate, 0, nullptr, &acquired, &keySpec, nullptr))
        return nullptr;
    ProviderPtr provider(acquired);
    EVP_PKEY* key = ProviderKey(provider.get());
    if (!key) {
        FailWith(codes::NoKeyProperty);
        return nullptr;
    }
    EVP_PKEY_up_ref(key); // engine keys cannot be duplicated, only shared
    return EvpPkeyPtr(key);
}

BOOL Succeed()
{
    ERR_clear_error();
    return 1;
}

bool IsMessageEncoding(DWORD encoding) { return (encoding & PKCS_7_ASN_ENCODING) != 0; }

} // namespace ordalis
