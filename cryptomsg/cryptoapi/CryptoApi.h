#pragma once

// The types of the classic CryptoAPI that every layer shares, and its
// certificate-context, name and key-provider functions, over OpenSSL and its
// GOST engine. The store functions are declared in cryptomsg/store/StoreApi.h,
// the message functions in cryptomsg/messages/MessageApi.h. A failed call
// returns false (or null) and sets the thread's last-error code (common/LastError.h).

#include "common/FileTime.h"

#include <cstdint>
#include <memory>

namespace ordalis {

using BOOL = int;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using BYTE = unsigned char;

inline constexpr DWORD X509_ASN_ENCODING = 0x00000001;
inline constexpr DWORD PKCS_7_ASN_ENCODING = 0x00010000;
inline constexpr DWORD kEncodingType = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING; // 65537
inline constexpr DWORD CERT_OID_NAME_STR = 2;

struct CRYPT_INTEGER_BLOB {
    DWORD cbData;
    BYTE* pbData;
};
using CRYPT_DATA_BLOB = CRYPT_INTEGER_BLOB;
using CRYPT_OBJID_BLOB = CRYPT_INTEGER_BLOB;
using CERT_NAME_BLOB = CRYPT_INTEGER_BLOB;

struct CRYPT_BIT_BLOB {
    DWORD cbData;
    BYTE* pbData;
    DWORD cUnusedBits;
};

struct CRYPT_ALGORITHM_IDENTIFIER {
    const char* pszObjId;
    CRYPT_OBJID_BLOB Parameters;
};

struct CERT_PUBLIC_KEY_INFO {
    CRYPT_ALGORITHM_IDENTIFIER Algorithm;
    CRYPT_BIT_BLOB PublicKey;
};

// A certificate's decoded fields. SerialNumber is stored least significant byte first.
struct CERT_INFO {
    DWORD dwVersion;
    CRYPT_INTEGER_BLOB SerialNumber;
    CRYPT_ALGORITHM_IDENTIFIER SignatureAlgorithm;
    CERT_NAME_BLOB Issuer;
    FILETIME NotBefore;
    FILETIME NotAfter;
    CERT_NAME_BLOB Subject;
    CERT_PUBLIC_KEY_INFO SubjectPublicKeyInfo;
};

struct CertStore;
using HCERTSTORE = CertStore*;

struct CERT_CONTEXT {
    DWORD dwCertEncodingType;
    BYTE* pbCertEncoded;
    DWORD cbCertEncoded;
    CERT_INFO* pCertInfo;
    HCERTSTORE hCertStore;
};
using PCCERT_CONTEXT = const CERT_CONTEXT*;

// A private key acquired for a certificate.
struct KeyProvider;
using HCRYPTPROV = KeyProvider*;

// --- Certificate contexts ---------------------------------------------------

PCCERT_CONTEXT CertCreateCertificateContext(DWORD encoding, const BYTE* encoded, DWORD length);
PCCERT_CONTEXT CertDuplicateCertificateContext(PCCERT_CONTEXT context);
BOOL CertFreeCertificateContext(PCCERT_CONTEXT context);
// -1 before the validity period, 0 inside it, +1 after it; time null means now.
LONG CertVerifyTimeValidity(const FILETIME* time, const CERT_INFO* info);
// Writes the name as text; returns the characters needed or written, the terminating zero included.
DWORD CertNameToStrA(DWORD encoding, const CERT_NAME_BLOB* name, DWORD strType, char* text, DWORD capacity);

// --- Keys -------------------------------------------------------------------

BOOL CryptReleaseContext(HCRYPTPROV provider, DWORD flags);

// --- Ownership --------------------------------------------------------------

struct CertContextFree {
    void operator()(PCCERT_CONTEXT c) const { CertFreeCertificateContext(c); }
};
struct ProviderRelease {
    void operator()(HCRYPTPROV p) const { CryptReleaseContext(p, 0); }
};
using CertContextPtr = std::unique_ptr<const CERT_CONTEXT, CertContextFree>;
using ProviderPtr = std::unique_ptr<KeyProvider, ProviderRelease>;

} // namespace ordalis
