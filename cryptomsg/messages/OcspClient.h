#pragma once

// Revocation answers from OCSP responders (RFC 6960): asked over HTTP with a
// nonce, and read from the values a signature holds. Every answer counts only
// once its signature holds and its responder is the issuer or one the issuer
// authorised, on a path to a root of ROOT.

#include "cryptomsg/messages/LongTermOssl.h"
#include "cryptomsg/messages/RevocationAnswers.h"

#include <ctime>
#include <optional>
#include <span>
#include <string>

namespace ordalis {

// The OCSP responder the certificate's Authority Information Access names.
std::optional<std::string> OcspUrlOf(X509* certificate);

struct OcspReply {
    RevocationAnswer answer; // its crl is always null
    OcspBasicPtr basic;      // the signed answer, to be kept as a revocation value
};

// Asks the responder at url about certificate, issued by issuer, and reads its
// answer as of when; extra are certificates to build the responder's path through. Throws ServiceError for
// a responder that cannot be reached, refuses, or whose answer fails a check
// (nonce, signature, authority, the certificate missing from it, times).
OcspReply AskOcsp(const std::string& url, X509* certificate, X509* issuer, std::span<X509* const> extra,
                  std::time_t when, int timeoutSeconds);

// What the held answers say about certificate at when: the first that holds
// and names it decides (revoked only at or before when).
RevocationAnswer OcspAnswerAt(X509* certificate, X509* issuer, std::span<OCSP_BASICRESP* const> answers,
                              std::span<X509* const> extra, std::time_t when);

} // namespace ordalis
