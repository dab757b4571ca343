#pragma once

// Which revocation lists a store takes. A CRL names its issuer by a name anyone
// can write, so one is taken only when the key of a certificate the user keeps
// as an authority (in ROOT or CA), or one the same file brings, signed it.

#include "cryptomsg/store/CertStoreInternal.h"
#include "cryptomsg/store/CertificateBundle.h"

#include <string>

namespace ordalis {

// Throws, naming the issuer, when any CRL of the bundle read from path is a
// delta CRL or was signed by none of the certificates of ROOT, of ca (the CA
// store as read for this import) or of the bundle itself.
void CheckCrlsToImport(const std::string& path, const CertificateBundle& bundle, const StoreContent& ca);

} // namespace ordalis
