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
// A root certificate that came with the import is reported, never stored: trusting
// it is the user's own step.
struct ImportedItem {
    enum class Kind { Certificate, PrivateKey, RevocationList, RootNotStored };
    Kind kind = Kind::Certificate;
    bool alreadyThere = false;
    std::string label; // the certificate's subject, or the CRL's issuer
    std::string store; // where it went, when not into the store imported into
};

// Asked once, before anything is written, with the certificates an import would
// add (none already in the store); false refuses the whole import.
using ImportApproval = std::function<bool(const std::vector<CertificateToAdd>&)>;

// Adds the certificates and CRLs of a bundle to a store that holds no keys
// (AddressBook, CA, ROOT); CRLs go only to CA, and only complete lists signed by a
// certificate of ROOT, CA or the bundle (CrlImportCheck.h). Returns what was done, an item each.
std::vector<ImportedItem> ImportBundle(const std::string& path, CertificateBundle bundle, const std::string& storeName,
                                       const ImportApproval& approve);

} // namespace ordalis
