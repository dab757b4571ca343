#include "cryptomsg/store/CertStoreInternal.h"

#include "common/Error.h"
#include "common/ErrorCodes.h"
#include "common/LastError.h"
#include "cryptomsg/cryptoapi/CertContextInternal.h"
#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/cryptoapi/OsslError.h"
#include "cryptomsg/store/CertificateDescription.h"
#include "cryptomsg/store/StoreApi.h"
#include "cryptomsg/store/StoreFolder.h"

namespace ordalis {

namespace {

// The position of a context's certificate in its store, or -1.
long EntryIndex(const CertStore& store, PCCERT_CONTEXT context)
{
    const X509* certificate = CertContextX509(context);
    const auto& entries = store.content.entries;
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (entries[i].certificate.get() == certificate)
            return static_cast<long>(i);
    return -1;
}

} // namespace

const StoreEntry* FindStoreEntry(PCCERT_CONTEXT context)
{
    const std::shared_ptr<CertStore> store = CertContextStore(context);
    if (!store)
        return nullptr;
    const long index = EntryIndex(*store, context);
    return index < 0 ? nullptr : &store->content.entries[static_cast<std::size_t>(index)];
}

std::shared_ptr<CertStore> MemoryStore(std::vector<X509Ptr> certificates)
{
    auto store = std::make_shared<CertStore>();
    for (X509Ptr& certificate : certificates)
        if (certificate)
            store->content.entries.push_back({std::move(certificate), {}, std::nullopt});
    return store;
}

HCERTSTORE CertOpenSystemStoreA(HCRYPTPROV, const char* storeName)
{
    if (!storeName) {
        FailWith(codes::InvalidArg);
        return nullptr;
    }
    // GOST keys can be matched to their certificates only with the engine loaded;
    // without it the store still lists every certificate.
    EnsureGostEngine();
    auto store = std::make_shared<CertStore>();
    store->name = storeName;
    try {
        store->folder = StoreFolderPath(storeName);
        EnsureStoreFolder(store->folder);
    } catch (const Error& e) {
        if (store->folder.empty()) {
            FailWith(codes::InvalidArg);
            return nullptr;
        }
        // An empty store that says why is more use to the dialogs than no store.
        store->content.problems.push_back(e.what());
    }
    StoreContent content = ReadStoreContent(store->folder);
    content.problems.insert(content.problems.begin(), store->content.problems.begin(), store->content.problems.end());
    store->content = std::move(content);
    store->handleReference = store;
    return store.get();
}

BOOL CertCloseStore(HCERTSTORE store, DWORD)
{
    if (!store || !store->handleReference)
        return FailWith(codes::InvalidArg);
    // Contexts still enumerated from the store hold their own references, so
    // nothing is pending and the check flag has nothing to report.
    std::shared_ptr<CertStore> last = std::move(store->handleReference);
    return 1;
}

PCCERT_CONTEXT CertEnumCertificatesInStore(HCERTSTORE store, PCCERT_CONTEXT previous)
{
    CertContextPtr previousReference(previous);
    if (!store) {
        FailWith(codes::InvalidArg);
        return nullptr;
    }
    long next = 0;
    if (previous) {
        const long index = CertContextStore(previous).get() == store ? EntryIndex(*store, previous) : -1;
        if (index < 0) {
            FailWith(codes::InvalidArg);
            return nullptr;
        }
        next = index + 1;
    }
    if (static_cast<std::size_t>(next) >= store->content.entries.size()) {
        FailWith(codes::NotFound);
        return nullptr;
    }
    X509* certificate = store->content.entries[static_cast<std::size_t>(next)].certificate.get();
    X509_up_ref(certificate);
    return NewCertContext(X509Ptr(certificate), store->shared_from_this());
}

bool CertHasPrivateKey(PCCERT_CONTEXT certificate)
{
    const StoreEntry* entry = FindStoreEntry(certificate);
    return entry && entry->key.has_value();
}

} // namespace ordalis
