#pragma once

#include "cryptomsg/cryptoapi/CryptoApi.h"
#include "cryptomsg/cryptoapi/Ossl.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ordalis {

enum class KeyForm { Plain, EncryptedPkcs8, Pkcs12 };

// Where a certificate's private key is kept; it is read again each time it is acquired.
struct StoreKeyRef {
    std::string file;
    int block = -1; // the key's PEM block in the file; -1 for a PKCS#12 bundle
    KeyForm form = KeyForm::Plain;
    bool isProtected = false;
};

struct StoreEntry {
    X509Ptr certificate;
    std::string file; // where the certificate was read from
    std::optional<StoreKeyRef> key;
};

// A store folder as read at one moment: its certificates in a stable order (by
// file name, then by position in the file), each with its key when the folder
// holds one, its certificate revocation lists, and the files that could not be
// used, with the reason.
struct StoreContent {
    std::vector<StoreEntry> entries;
    std::vector<X509CrlPtr> crls;
    std::vector<std::string> problems;
};

StoreContent ReadStoreContent(const std::string& folder);

// An open store. The handle given out by CertOpenSystemStoreA owns one reference
// (dropped by CertCloseStore); every context enumerated from it owns another, so
// contexts stay valid after the store is closed.
struct CertStore : std::enable_shared_from_this<CertStore> {
    std::string name;
    std::string folder;
    StoreContent content;
    std::shared_ptr<CertStore> handleReference;
};

// A store held in memory only, as a signed message's certificates make one: no
// folder, no keys.
std::shared_ptr<CertStore> MemoryStore(std::vector<X509Ptr> certificates);

// The store entry behind a context enumerated from a store, or null.
const StoreEntry* FindStoreEntry(PCCERT_CONTEXT context);

} // namespace ordalis
