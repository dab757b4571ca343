#pragma once

// The signature-time-stamp of a CMS signer: a timestamp token over its
// signature value, as an unsigned attribute.

#include "cryptomsg/messages/TimestampClient.h"

#include <openssl/cms.h>

#include <vector>

namespace ordalis {

// The digest the signer signed with (its digest algorithm); null when unknown.
const EVP_MD* SignerDigestOf(CMS_SignerInfo* signer);

// The bytes of the signer's signature value (the OCTET STRING's contents).
std::span<const unsigned char> SignatureValueOf(CMS_SignerInfo* signer);

// Whether the signer already carries a signature timestamp.
bool HasSignatureTimestamp(CMS_SignerInfo* signer);

// Asks the authority for a timestamp over the signer's signature value, with
// the signer's own digest, and adds it to the signer. Throws ServiceError or Error.
void AddSignatureTimestamp(CMS_SignerInfo* signer, const TimestampService& tsa);

// Adds a DER value as one more unsigned attribute of type nid; throws Error.
void AddUnsignedAttribute(CMS_SignerInfo* signer, int nid, std::span<const unsigned char> der);

} // namespace ordalis
