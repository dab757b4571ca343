#pragma once

#include "cryptomsg/cryptoapi/CryptoApi.h"
#include "cryptomsg/cryptoapi/Ossl.h"

namespace ordalis {

// An acquired private key; HCRYPTPROV points to one.
struct KeyProvider {
    EvpPkeyPtr key;
};

// Wraps a key (taking ownership) in a provider handle that CryptReleaseContext frees.
HCRYPTPROV NewKeyProvider(EvpPkeyPtr key);

// The key of a provider (borrowed), or null.
EVP_PKEY* ProviderKey(HCRYPTPROV provider);

} // namespace ordalis
