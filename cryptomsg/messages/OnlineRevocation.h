#pragma once

// Revocation answers asked for at verification time: each link of a
// certificate's path put to an OCSP responder, so that a verdict taken now
// need not rest on the CRLs the CA store happens to hold.

#include "cryptomsg/messages/LongTermOssl.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ordalis {

struct OnlineRevocation {
    std::optional<std::string> ocspUrl; // the responder for every link; else the one each certificate names
    int timeoutSeconds = 30;
};

// The answers about the links of certificate's path (built through extra and
// CA) that hold now. A link whose responder is unknown, cannot be reached or
// answers with something that fails a check gets none: its CRLs answer for it.
std::vector<OcspBasicPtr> AskOcspAlongPath(X509* certificate, std::span<X509* const> extra,
                                           const OnlineRevocation& online);

} // namespace ordalis
