#pragma once

// Which of an envelope's recipient entries a certificate can open.

#include "cryptomsg/cryptoapi/Ossl.h"
#include "cryptomsg/messages/OriginatorName.h"

#include <optional>
#include <span>

namespace ordalis {

struct RecipientMatch {
    // For key agreement whose originator is named rather than given as a key:
    // the originator's certificate, which the key derivation needs.
    X509Ptr originator;
    // When that certificate could not be found: how the entry names it.
    std::optional<OriginatorName> missingOriginator;
};

// Whether a recipient entry of the envelope is addressed to the certificate and
// can be opened with its key. A key-agreement entry that names its originator
// needs the originator's certificate, looked for among the message's
// certificates and then among atHand, in order; without it the entry is
// refused: it cannot be opened safely.
bool FindRecipientFor(CMS_ContentInfo* cms, X509* certificate, std::span<X509* const> atHand, RecipientMatch& match);

} // namespace ordalis
