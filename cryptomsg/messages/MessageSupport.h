#pragma once

// Pieces shared by the four message functions: the caller's content through
// BIO filters without copies, DER output into the caller's buffer, and
// decoding with strict checks.

#include "cryptomsg/cryptoapi/CryptoApi.h"
#include "cryptomsg/cryptoapi/Ossl.h"

#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace ordalis {

// The content parts a caller passes (arrays of pointers and sizes), checked once.
class ContentParts {
public:
    // False (last error InvalidArg) when a part is missing or the total exceeds what DER can carry here.
    bool assign(DWORD count, const BYTE* const parts[], const DWORD sizes[]);
    std::span<const std::span<const BYTE>> parts() const { return m_parts; }

private:
    std::vector<std::span<const BYTE>> m_parts;
};

// The total length of content given in parts, or nothing when it exceeds kMaxContentSize.
std::optional<std::size_t> ContentSize(std::span<const std::span<const BYTE>> parts);

// The largest content accepted: it must fit an int-sized DER length with room for the headers.
inline constexpr std::size_t kMaxContentSize = 0x7FF00000;

// Writes bytes through a BIO chain (a digest or cipher filter) in int-sized pieces.
bool WriteThrough(BIO* chain, std::span<const BYTE> bytes);

// A BIO that swallows what is written: the end of a filter chain whose output is not kept.
BioPtr NewNullBio();

// Points a message's content OCTET STRING at bytes the caller owns, without
// copying them, for as long as this lives; the string is emptied again before
// the message is freed. Declare it after the CmsPtr it borrows into.
class BorrowedContent {
public:
    BorrowedContent() = default;
    BorrowedContent(BorrowedContent&& other) noexcept : m_string(std::exchange(other.m_string, nullptr)) {}
    BorrowedContent& operator=(BorrowedContent&&) = delete;
    ~BorrowedContent();

    // Replaces *slot with a new string over bytes. False (last error set) on failure.
    bool attach(ASN1_OCTET_STRING** slot, std::span<const BYTE> bytes);

private:
    ASN1_OCTET_STRING* m_string = nullptr;
};

// Room added to a size pass's answer when the data pass may encode a few bytes
// more (a fresh signature or ephemeral key whose INTEGERs lose no leading zero).
inline constexpr DWORD kSizeSlack = 64;

// The size pass's answer: the length plus slack, stored in *outSize.
bool ReportSize(long length, DWORD* outSize);

// The data pass: encodes the message into out when *outSize leaves room
// (ERROR_MORE_DATA and the size needed otherwise). Returns the length written,
// or -1 with the last error set.
long EncodeInto(const CMS_ContentInfo* cms, BYTE* out, DWORD* outSize);

// The DER length of a message, or -1 with the last error set.
long EncodedLength(const CMS_ContentInfo* cms);

// Decodes exactly one message of the given content type from bytes: empty,
// truncated or damaged DER, trailing bytes and another content type fail with
// the last error set.
CmsPtr DecodeMessage(std::span<const BYTE> bytes, int expectedType);

// The private key for a certificate: the one already acquired for its context,
// or else acquired now (CryptAcquireCertificatePrivateKey). Null with the last error set.
EvpPkeyPtr CertificateKey(PCCERT_CONTEXT certificate);

// The end of a successful call: nothing another call could trip over is left
// in OpenSSL's error queue (some lookups queue errors they recover from).
BOOL Succeed();

// Whether the encoding type names PKCS #7 messages.
bool IsMessageEncoding(DWORD encoding);

} // namespace ordalis
