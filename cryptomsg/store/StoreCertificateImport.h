#pragma once

#include "cryptomsg/store/CertificateBundle.h"

#include <functional>
#include <string>
#include <vector>

namespace ordalis {

// A certificate about to be added to a store, as the user is shown it before saying yes.
struct CertificateToAdd {
    std::string subject;
    std::string sha1Thumbprint;
};

// One thing an import put into a store, or found there already.
struct ImportedItem {
    enum class Kind { Certificate, PrivateKey, RevocationList };
    Kind kind = Kind::Certificate;
    bool alreadyThere = false;
    std::string label; // the certificate's subject, or the CRL's issuer
};

// Asked once, before anything is written, with the certificates an import would
// add (none already in the store); false refuses the whole import.
using ImportApproval = std::function<bool(const std::vector<CertificateToAdd>&)>;

// Adds the certificates and CRLs of a bundle to a store that holds no keys
// (AddressBook, CA, ROOT); CRLs go only to CA. Returns what was done, an item each.
std::vector<ImportedItem> ImportBundle(const std::string& path, CertificateBundle bundle, const std::string& storeName,
                                       const ImportApproval& approve);

} // namespace ordalis
