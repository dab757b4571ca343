#pragma once

// The certificates of the ROOT and CA stores as OpenSSL's verification takes
// them, for checking the answers of timestamp authorities and OCSP responders.

#include "cryptomsg/messages/LongTermOssl.h"

#include <span>

namespace ordalis {

// A store holding the roots of ROOT (and no CRLs); null only when out of memory.
CertStoreOsslPtr RootsStore();

// The certificates of CA, followed by extra ones, as intermediates to build paths through.
X509StackPtr CaCertificates(std::span<X509* const> extra = {});

} // namespace ordalis
