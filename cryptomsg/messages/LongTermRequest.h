#pragma once

// What a signer is raised to beyond CAdES-BES, and the services that takes.

#include "cryptomsg/messages/TimestampClient.h"

#include <optional>
#include <string>

namespace ordalis {

enum class LongTermLevel {
    T,      // CAdES-T: a signature timestamp
    XLong1, // CAdES-X Long Type 1: the timestamp, the references and values of the
            // certificates and revocation answers of the signer's path, and a
            // timestamp over them
};

struct LongTermRequest {
    TimestampService tsa;
    LongTermLevel level = LongTermLevel::T;
    // The OCSP responder to ask about every link, instead of the one each certificate names.
    std::optional<std::string> ocspUrl;
    // Fetch a link's CRL from its distribution points when the CA store has no current one.
    bool fetchCrls = false;
};

} // namespace ordalis
