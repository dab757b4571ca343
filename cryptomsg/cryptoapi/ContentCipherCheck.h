#pragma once

#include "cryptomsg/cryptoapi/Ossl.h"

namespace ordalis {

// Whether an envelope's content-encryption algorithm comes with parameters the
// cipher can read. The GOST engine's ciphers read them without checking: absent
// parameters, or GOST 28147-89 parameters that are not an IV and a parameter
// set, crash the process when the content is decrypted; Magma and Kuznyechik
// in CTR-ACPKM mode whose parameters are not a UKM of their length decrypt
// wrongly without failing. False (last error Asn1Corrupt) for such a message;
// nothing is decrypted to tell.
bool ContentCipherParametersAreSound(CMS_ContentInfo* envelope);

// The same rule for one cipher algorithm (and its parameters).
bool CipherParametersAreSound(const X509_ALGOR* algorithm);

} // namespace ordalis
