#pragma once

#include <cstdint>

namespace ordalis {

// Well-known 32-bit result codes, so that a user who looks a code up finds its meaning.
namespace codes {
inline constexpr std::uint32_t ErrorMoreData = 234;
inline constexpr std::uint32_t Cancelled = 0x800704C7;
inline constexpr std::uint32_t InvalidArg = 0x80070057;
inline constexpr std::uint32_t InvalidPassword = 0x80070056; // ERROR_INVALID_PASSWORD as a result code
inline constexpr std::uint32_t OutOfMemory = 0x8007000E;
inline constexpr std::uint32_t NotImpl = 0x80004001;
inline constexpr std::uint32_t NoInterface = 0x80004002;
inline constexpr std::uint32_t Abort = 0x80004004;
inline constexpr std::uint32_t Fail = 0x80004005;
inline constexpr std::uint32_t ClassNotAvailable = 0x80040111;

inline constexpr std::uint32_t BadData = 0x80090005;           // NTE_BAD_DATA
inline constexpr std::uint32_t BadSignature = 0x80090006;      // NTE_BAD_SIGNATURE
inline constexpr std::uint32_t BadAlgId = 0x80090008;          // NTE_BAD_ALGID
inline constexpr std::uint32_t NoMemory = 0x8009000E;          // NTE_NO_MEMORY
inline constexpr std::uint32_t BadKeyset = 0x80090016;         // NTE_BAD_KEYSET
inline constexpr std::uint32_t ProviderNotFound = 0x8009001E;  // NTE_PROV_DLL_NOT_FOUND
inline constexpr std::uint32_t ProviderFail = 0x80090020;      // NTE_FAIL
inline constexpr std::uint32_t MsgError = 0x80091001;          // CRYPT_E_MSG_ERROR
inline constexpr std::uint32_t UnknownAlgo = 0x80091002;       // CRYPT_E_UNKNOWN_ALGO
inline constexpr std::uint32_t InvalidMsgType = 0x80091004;    // CRYPT_E_INVALID_MSG_TYPE
inline constexpr std::uint32_t HashValue = 0x80091007;         // CRYPT_E_HASH_VALUE
inline constexpr std::uint32_t InvalidIndex = 0x80091008;      // CRYPT_E_INVALID_INDEX
inline constexpr std::uint32_t SignerNotFound = 0x8009100E;    // CRYPT_E_SIGNER_NOT_FOUND
inline constexpr std::uint32_t NotFound = 0x80092004;          // CRYPT_E_NOT_FOUND
inline constexpr std::uint32_t UnexpectedMsgType = 0x8009200A; // CRYPT_E_UNEXPECTED_MSG_TYPE
inline constexpr std::uint32_t NoKeyProperty = 0x8009200B;     // CRYPT_E_NO_KEY_PROPERTY
inline constexpr std::uint32_t NoDecryptCert = 0x8009200C;     // CRYPT_E_NO_DECRYPT_CERT
inline constexpr std::uint32_t Asn1Corrupt = 0x80093100;       // CRYPT_E_ASN1_CORRUPT
inline constexpr std::uint32_t Asn1Eod = 0x80093102;           // CRYPT_E_ASN1_EOD
inline constexpr std::uint32_t Asn1BadTag = 0x8009310B;        // CRYPT_E_ASN1_BADTAG
} // namespace codes

} // namespace ordalis
