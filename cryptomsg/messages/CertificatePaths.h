#pragma once

// Paths from a certificate to a root of ROOT as OpenSSL builds them, through
// the certificates of CA and any given, with no revocation checks (those are
// made apart, at the time that matters).

#include "cryptomsg/cryptoapi/Ossl.h"

#include <ctime>
#include <optional>
#include <span>
#include <vector>

namespace ordalis {

struct BuiltPath {
    std::vector<X509Ptr> path; // the certificate first, as far as it was built
    int error = 0;             // X509_V_OK (0) when the path holds
    int errorDepth = -1;
    bool holds() const { return error == 0; }
};

// Builds and checks the path at when (now when not given).
BuiltPath BuildPath(X509* certificate, std::span<X509* const> extra, std::optional<std::time_t> when = std::nullopt);

} // namespace ordalis
