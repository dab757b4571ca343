#include "cryptomsg/messages/TrustAnchors.h"

#include "cryptomsg/store/CertStoreInternal.h"
#include "cryptomsg/store/StoreFolder.h"
#include "cryptomsg/store/StoreNames.h"

namespace ordalis {

CertStoreOsslPtr RootsStore()
{
    CertStoreOsslPtr store(X509_STORE_new());
    if (!store)
        return store;
    for (const StoreEntry& root : ReadStoreContent(StoreFolderPath(kRootStore)).entries)
        X509_STORE_add_cert(store.get(), root.certificate.get());
    return store;
}

X509StackPtr CaCertificates(std::span<X509* const> extra)
{
    X509StackPtr stack(sk_X509_new_null());
    if (!stack)
        return stack;
    for (const StoreEntry& entry : ReadStoreContent(StoreFolderPath(kCaStore)).entries)
        X509_add_cert(stack.get(), entry.certificate.get(), X509_ADD_FLAG_UP_REF);
    for (X509* certificate : extra)
        if (certificate)
            X509_add_cert(stack.get(), certificate, X509_ADD_FLAG_UP_REF);
    return stack;
}

} // namespace ordalis
