#pragma once

// The cost of password-based protection: the iteration counts that PKCS#12
// bundles and encrypted PKCS#8 keys carry, and the bounds the store keeps to.

#include "cryptomsg/cryptoapi/Ossl.h"

#include <openssl/x509.h>

#include <cstdint>

namespace ordalis {

// A count above this would keep a key derivation busy for minutes or hours (a
// hostile file can ask for 2^31-1): such files are refused before any is tried.
inline constexpr std::int64_t kMaxPbeIterations = 10'000'000;

// A key the store encrypts itself gets at least this many PBKDF2-HMAC-SHA-256 iterations.
inline constexpr std::int64_t kMinStoreKeyIterations = 600'000;

// The iteration count of a password-based algorithm (PBES2 with PBKDF2, or a
// PKCS#12 or PKCS#5 v1 scheme); 0 when it names none; INT64_MAX when the count
// is too large to read.
std::int64_t PbeIterations(const X509_ALGOR* algorithm);

// The largest iteration count in a bundle: its integrity check, its shrouded
// keys and its encrypted parts, all readable without the password.
std::int64_t LargestPkcs12Iterations(PKCS12* bundle);

} // namespace ordalis
