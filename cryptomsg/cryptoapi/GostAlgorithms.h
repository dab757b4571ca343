#pragma once

// The GOST public-key algorithms, one row each, with everything that goes with
// a key of that algorithm: the digest it signs with, the signature algorithm
// that names the pair in certificates, the content cipher of envelopes sent to
// it, and the names a user is shown.

#include <span>

namespace ordalis {

struct GostAlgorithm {
    const char* keyOid;        // the certificate's public-key algorithm
    int keyNid;                // the same as OpenSSL numbers it
    const char* keyName;       // shown to the user
    const char* hashOid;       // the digest that signatures with this key use
    const char* hashName;      // the GOST engine's name for that digest
    const char* signatureOid;  // the digest and key together, as certificates name their signatures
    const char* signatureName; // shown to the user
    int contentCipherNid;      // the cipher of content encrypted for this key
};

// Every row: GOST R 34.10-2001, GOST R 34.10-2012 with 256 and with 512 bits.
std::span<const GostAlgorithm> GostAlgorithms();

// The row of a public-key algorithm given by its OID or its NID; null for a key that is not GOST.
const GostAlgorithm* GostAlgorithmForKey(const char* keyOid);
const GostAlgorithm* GostAlgorithmForKeyNid(int keyNid);

// The user's name of a GOST key or signature algorithm given by its OID; null for any other.
const char* GostAlgorithmName(const char* oid);

// Whether an OID lies in the Russian national arc, which every GOST algorithm
// and parameter set shares, those without a row included.
bool IsInGostArc(const char* oid);

} // namespace ordalis
