#pragma once

// Where the certificates a PKCS#12 bundle carries beside its own belong. A
// bundle handed out with a key often brings the chain up to a root: the
// intermediate authorities help build paths from CA, while a root is trusted
// only when the user puts it into ROOT, never as a side effect of an import.

#include "cryptomsg/cryptoapi/Ossl.h"

#include <vector>

namespace ordalis {

struct Pkcs12Chain {
    std::vector<X509*> endEntities; // other certificates of no authority: kept with the user's own
    std::vector<X509*> authorities; // issuing authorities below a root
    std::vector<X509*> roots;       // self-signed: signed by their own key
};

// Sorts the bundle's other certificates (borrowed, in the bundle's order).
Pkcs12Chain SortPkcs12Chain(STACK_OF(X509) * others);

// Whether the certificate is signed by its own key.
bool IsSelfSigned(X509* certificate);

} // namespace ordalis
