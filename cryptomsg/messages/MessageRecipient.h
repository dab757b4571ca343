#pragma once

// Which of an envelope's recipient entries a certificate can open.

#include "cryptomsg/cryptoapi/Ossl.h"

namespace ordalis {

struct RecipientMatch {
    // For key agreement whose originator is named rather than given as a key:
    // the originator's certificate, which the key derivation needs.
    X509Ptr originator;
};

// Whether a recipient entry of the envelope is addressed to the certificate and
// can be opened with its key. A key-agreement entry whose originator's
// certificate is not in the message is refused: it cannot be opened safely.
bool FindRecipientFor(CMS_ContentInfo* cms, X509* certificate, RecipientMatch& match);

} // namespace ordalis
