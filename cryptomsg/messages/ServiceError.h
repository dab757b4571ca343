#pragma once

// The failures of a network service a long-term signature needs (a timestamp
// authority, an OCSP responder, a CRL distribution point), kept apart by kind so
// that each front-end can word them in its own language.

#include "common/Error.h"

#include <string>

namespace ordalis {

enum class ServiceFailure {
    BadAddress,  // the URL is not one the client can use
    NoAnswer,    // unreachable, timed out, or an HTTP error instead of an answer
    Refused,     // the service answered with a refusal (its status and text in detail)
    BadAnswer,   // the answer does not decode as what was asked for
    FailedCheck, // the answer decodes but fails a check (signature, nonce, imprint, authority)
};

class ServiceError : public Error {
public:
    ServiceError(ServiceFailure failure, std::string url, std::string detail);

    ServiceFailure failure() const { return m_failure; }
    const std::string& url() const { return m_url; }
    const std::string& detail() const { return m_detail; }

private:
    ServiceFailure m_failure;
    std::string m_url;
    std::string m_detail;
};

// OpenSSL's words for the failures in its error queue, which is left empty.
std::string DrainOpenSslWords();

} // namespace ordalis
