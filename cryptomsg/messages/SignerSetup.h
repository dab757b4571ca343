#pragma once

// What making a new signer takes, shared by signing and co-signing.

#include "cryptomsg/messages/MessageCore.h"

namespace ordalis {

// The CMS flags of a signer of the given form over binary content.
unsigned SignerFlags(SignatureForm form);
// The same for a signer added to an existing message.
unsigned CosignerFlags(SignatureForm form);

// The digest a signer signs content with (options.digest, else that of its GOST
// key algorithm), once signer, key and content are given, the key is found to be
// the certificate's and the GOST engine is ready. Null with the last error set.
const EVP_MD* SignerDigest(X509* signer, EVP_PKEY* key, ContentView content, const SignatureOptions& options);

} // namespace ordalis
