#pragma once

// CRLs fetched from a certificate's CRL distribution points over HTTP.

#include "cryptomsg/cryptoapi/Ossl.h"

#include <string>
#include <vector>

namespace ordalis {

// The http:// URLs of the certificate's CRL distribution points.
std::vector<std::string> CrlDistributionUrls(X509* certificate);

// The CRLs at the certificate's distribution points that issuer's key signed;
// a point that cannot be reached or holds no such list is passed over. Each
// one is kept in the CA store when issuer is a certificate of ROOT or CA, so
// that a list nobody there signed never enters it.
std::vector<X509CrlPtr> FetchCrls(X509* certificate, X509* issuer, int timeoutSeconds);

} // namespace ordalis
