#pragma once

// The one HTTP exchange the long-term services need: a request and its answer,
// through OpenSSL's own HTTP client, with a time limit.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace ordalis {

struct HttpRequest {
    std::string url;         // http://host[:port]/path
    std::string contentType; // of body; an empty body makes it a GET
    std::span<const unsigned char> body;
    int timeoutSeconds = 30; // for the whole exchange
    std::size_t maxAnswerBytes = 16u << 20;
};

// The answer's body. Throws ServiceError (BadAddress, NoAnswer) with OpenSSL's words.
std::vector<unsigned char> HttpExchange(const HttpRequest& request);

} // namespace ordalis
