#include "cryptomsg/cryptoapi/KeyProviderInternal.h"

#include "common/ErrorCodes.h"
#include "cryptomsg/cryptoapi/OsslError.h"

namespace ordalis {

HCRYPTPROV NewKeyProvider(EvpPkeyPtr key)
{
    auto provider = std::make_unique<KeyProvider>();
    provider->key = std::move(key);
    return provider.release();
}

EVP_PKEY* ProviderKey(HCRYPTPROV provider) { return provider ? provider->key.get() : nullptr; }

BOOL CryptReleaseContext(HCRYPTPROV provider, DWORD flags)
{
    if (!provider || flags != 0)
        return FailWith(codes::InvalidArg);
    std::unique_ptr<KeyProvider> owned(provider);
    return 1;
}

} // namespace ordalis
