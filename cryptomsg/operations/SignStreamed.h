#pragma once

#include "cryptomsg/cryptoapi/CryptoApi.h"
#include "cryptomsg/messages/LongTermRequest.h"
#include "cryptomsg/messages/MessageCore.h"
#include "cryptomsg/operations/DesktopSeam.h"

#include <optional>
#include <string>

namespace ordalis {

struct StreamedSigning {
    bool attached = false;
    bool base64 = false;
    SignatureForm form = SignatureForm::NoAttributes;
    const LongTermRequest* longTerm = nullptr; // a detached signer raised before it is written
};

// Whether SignStreamed makes that signature: an attached signer is not raised
// further, as its signature is written only after its content.
bool SignsStreamed(const StreamedSigning& how);

// Signs the file by the certificate as it is read, in memory that does not grow
// with it, carrying the certificate: "<file>.sig" (a detached signature is the
// DER SignWithCore writes, an attached one BER with indefinite lengths) or, in
// Base64, "<file>.p7s", which appears only when complete. Returns its name, or
// nothing with the last error set when signing failed; throws file errors and
// what raising the signer throws.
std::optional<std::string> SignStreamed(PCCERT_CONTEXT certificate, EVP_PKEY* key, const std::string& source,
                                        const StreamedSigning& how, DesktopSeam& desktop);

} // namespace ordalis
