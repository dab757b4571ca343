#include "cryptomsg/store/StoreNames.h"

#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/store/CertStoreInternal.h"
#include "cryptomsg/store/StoreAdmin.h"
#include "cryptomsg/store/StoreFolder.h"

#include <strings.h>

namespace ordalis {

std::optional<std::string> KnownStoreName(const std::string& name)
{
    for (const char* known : {kPersonalStore, kAddressBookStore, kCaStore, kRootStore})
        if (::strcasecmp(name.c_str(), known) == 0)
            return std::string(known);
    return std::nullopt;
}

std::vector<X509Ptr> CertificatesOfEveryStore()
{
    // GOST public keys decode only while the engine is loaded.
    EnsureGostEngine();
    std::vector<X509Ptr> certificates;
    for (const char* name : {kPersonalStore, kAddressBookStore, kCaStore, kRootStore})
        for (StoreEntry& entry : ReadStoreContent(StoreFolderPath(name)).entries)
            certificates.push_back(std::move(entry.certificate));
    return certificates;
}

} // namespace ordalis
