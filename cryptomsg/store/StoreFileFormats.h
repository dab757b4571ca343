#pragma once

// The file forms a store folder holds: PEM blocks (certificates and PKCS#8 keys,
// plain or encrypted), DER certificates and PKCS#12 bundles.

#include "cryptomsg/cryptoapi/Ossl.h"

#include <openssl/crypto.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace ordalis {

// Memory that is wiped before it is given back: file bytes and blocks that may hold keys.
template <class T>
struct CleansingAllocator {
    using value_type = T;
    CleansingAllocator() = default;
    template <class U>
    CleansingAllocator(const CleansingAllocator<U>&) noexcept
    {
    }
    T* allocate(std::size_t n) { return std::allocator<T>().allocate(n); }
    void deallocate(T* p, std::size_t n) noexcept
    {
        OPENSSL_cleanse(p, n * sizeof(T));
        std::allocator<T>().deallocate(p, n);
    }
    template <class U>
    bool operator==(const CleansingAllocator<U>&) const noexcept
    {
        return true;
    }
};
using SecureBytes = std::vector<unsigned char, CleansingAllocator<unsigned char>>;

// Reads a whole file of at most maxSize bytes. False with errno set when it
// cannot be read (EFBIG when it is larger).
bool ReadSmallFile(const std::string& path, SecureBytes& bytes, std::size_t maxSize = 4u << 20);

struct PemBlock {
    std::string name;   // "CERTIFICATE", "PRIVATE KEY", "ENCRYPTED PRIVATE KEY", ...
    std::string header; // the encapsulated header lines, usually empty
    SecureBytes data;
};

// Whether the bytes hold PEM text at all.
bool LooksLikePem(std::span<const unsigned char> bytes);

// The PEM blocks in the bytes, in order (an unreadable block ends the list).
std::vector<PemBlock> ReadPemBlocks(std::span<const unsigned char> bytes);

enum class KeyBlockKind { NotAKey, Plain, Encrypted, Unsupported };
KeyBlockKind KeyBlockKindOf(const PemBlock& block);
bool IsCertificateBlock(const PemBlock& block);

// A whole DER certificate; null when the bytes are anything else.
X509Ptr DecodeCertificate(std::span<const unsigned char> der);
// A whole DER PKCS#12 bundle; null when the bytes are anything else.
Pkcs12Ptr DecodePkcs12(std::span<const unsigned char> der);

enum class KeyOpen { Ok, WrongPassword, Failed };

// Decodes an unencrypted key block; null on failure (the error queue is left for the caller).
EvpPkeyPtr DecodePlainKey(const PemBlock& block);
// Decrypts an "ENCRYPTED PRIVATE KEY" block. A stream cipher does not tell a
// wrong password from a right one, so any failure to decrypt or decode counts
// as a wrong password, except an algorithm this process does not know.
// A key whose iteration count is above kMaxPbeIterations fails without being tried.
KeyOpen DecryptKey(const PemBlock& block, const std::string& password, EvpPkeyPtr& key);
// The iteration count of an "ENCRYPTED PRIVATE KEY" block (0 when it has none).
std::int64_t KeyIterations(const PemBlock& block);

struct Pkcs12Content {
    EvpPkeyPtr key;
    X509Ptr certificate;
    X509StackPtr others;
};
// Opens a bundle with its password (an empty password also tries the absent one).
// A bundle with an iteration count above kMaxPbeIterations fails without being tried.
KeyOpen OpenPkcs12(PKCS12* bundle, const std::string& password, Pkcs12Content& content);

// What can be seen of a bundle without its password.
struct Pkcs12Outline {
    struct Certificate {
        X509Ptr certificate;
        std::vector<unsigned char> localKeyId;
    };
    std::vector<Certificate> certificates;
    bool hasKey = false;
    bool keyProtected = false; // false when the bundle opens with an empty password
    int keyCertificate = -1;   // the certificate the key belongs to, when known
};
// Checks the bundle's integrity with the empty password: refuse costly bundles (PbeIterations.h) first.
Pkcs12Outline OutlinePkcs12(PKCS12* bundle);

// PEM text of a certificate.
std::string CertificatePem(X509* certificate);
// PEM text of a private key as PKCS#8, encrypted when password is not empty:
// PBES2 with AES-256-CBC and PBKDF2-HMAC-SHA-256 over a 16-byte random salt, with
// the given iteration count kept between kMinStoreKeyIterations and kMaxPbeIterations.
SecureBytes PrivateKeyPem(EVP_PKEY* key, const std::string& password, std::int64_t iterations = 0);

} // namespace ordalis
