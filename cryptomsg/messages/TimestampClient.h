#pragma once

// RFC 3161 timestamps from a timestamp authority over HTTP.

#include <openssl/evp.h>

#include <span>
#include <string>
#include <vector>

namespace ordalis {

struct TimestampService {
    std::string url;
    int timeoutSeconds = 30;
};

// A timestamp token (DER ContentInfo of a SignedData) whose imprint is the md
// digest of data, asked for with a nonce and the authority's certificate. The
// answer is checked before it is returned: its status, nonce and imprint, and
// its signature by a certificate for timestamping that leads to a root of ROOT.
// Throws ServiceError.
std::vector<unsigned char> RequestTimestamp(const TimestampService& tsa, const EVP_MD* md,
                                            std::span<const unsigned char> data);

// The md digest of data; throws Error when the digest fails.
std::vector<unsigned char> DigestOf(const EVP_MD* md, std::span<const unsigned char> data);

} // namespace ordalis
