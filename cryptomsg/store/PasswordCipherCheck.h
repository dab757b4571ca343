#pragma once

#include <openssl/pkcs12.h>
#include <openssl/x509.h>

#include <string>

namespace ordalis {

// Whether a password-based encryption (PBES2) names a cipher whose parameters
// the cipher can read: the GOST engine reads GOST 28147-89 parameters without
// checking, and a key or bundle with broken ones crashes the process while it
// is decrypted (see ContentCipherCheck.h). Other schemes are OpenSSL's own and pass.
bool PasswordCipherIsSound(const X509_ALGOR* algorithm);

// The same for every encrypted part of a bundle and every encrypted key in it,
// including those inside parts encrypted with the password, which is used to
// open them (once their own cipher has passed).
bool Pkcs12CiphersAreSound(PKCS12* bundle, const std::string& password);

} // namespace ordalis
