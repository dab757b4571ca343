#pragma once

// Which CRL tells whether a certificate is revoked: of the lists its issuer's
// key signed, the latest current one; an out-of-date list only when there is
// no current one, so that an old list never hides a newer revocation and a
// list of someone else's never counts at all.

#include "cryptomsg/cryptoapi/Ossl.h"

#include <ctime>
#include <span>

namespace ordalis {

// The CRL of issuer to judge its certificates by at the given time (now when
// null); null when issuer signed none of crls. Delta CRLs are never chosen.
X509_CRL* ChooseCrl(std::span<const X509CrlPtr> crls, X509* issuer, const std::time_t* at);

} // namespace ordalis
