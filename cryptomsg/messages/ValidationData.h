#pragma once

// The validation data of a CAdES-X Long Type 1 signer: the certificates of
// its path and of its timestamp authority's as they stood at the time its
// signature timestamp proves, the CRLs that cover that time for each, and the
// timestamp that seals their references.

#include "cryptomsg/messages/LongTermRequest.h"

#include <openssl/cms.h>

#include <vector>

namespace ordalis {

// Adds the references and values of the validation data of the signer (which
// must have its signature timestamp) and the timestamp over them. Throws
// Error, naming a certificate whose path or CRL is missing, or ServiceError.
void AddValidationData(CMS_ContentInfo* cms, CMS_SignerInfo* signer, const LongTermRequest& request);

// The bytes the validation-data timestamp stamps: the signature value, then
// the DER of the signature-time-stamp, complete-certificate-references and
// complete-revocation-references attributes, in that order. Empty when the
// signer lacks one of them.
std::vector<unsigned char> ValidationDataStampInput(CMS_SignerInfo* signer);

// The signer's certificate, found among the message's certificates when the
// signer does not hold it yet; null when it is not there.
X509* SignerCertificateOf(CMS_ContentInfo* cms, CMS_SignerInfo* signer);

} // namespace ordalis
