#include "cryptomsg/messages/HttpExchange.h"

#include "cryptomsg/cryptoapi/Ossl.h"
#include "cryptomsg/messages/ServiceError.h"

#include <openssl/crypto.h>
#include <openssl/http.h>

namespace ordalis {

namespace {

struct FreeText {
    void operator()(char* p) const { OPENSSL_free(p); }
};
using TextPtr = std::unique_ptr<char, FreeText>;

struct UrlParts {
    TextPtr host, port, path;
};

UrlParts ParseUrl(const std::string& url)
{
    int ssl = 0;
    char *host = nullptr, *port = nullptr, *path = nullptr;
    const int parsed = OSSL_HTTP_parse_url(url.c_str(), &ssl, nullptr, &host, &port, nullptr, &path, nullptr, nullptr);
    UrlParts parts{TextPtr(host), TextPtr(port), TextPtr(path)};
    if (parsed != 1)
        throw ServiceError(ServiceFailure::BadAddress, url, DrainOpenSslWords());
    // TLS would need a trust setup of its own; the services here sign their answers anyway.
    if (ssl)
        throw ServiceError(ServiceFailure::BadAddress, url, "https:// is not supported, use http://");
    return parts;
}

std::vector<unsigned char> ReadAll(BIO* answer, std::size_t limit)
{
    std::vector<unsigned char> bytes;
    unsigned char piece[16384];
    int got = 0;
    while ((got = BIO_read(answer, piece, sizeof piece)) > 0) {
        bytes.insert(bytes.end(), piece, piece + got);
        if (bytes.size() > limit)
            break;
    }
    return bytes;
}

} // namespace

std::vector<unsigned char> HttpExchange(const HttpRequest& request)
{
    const UrlParts url = ParseUrl(request.url);
    BioPtr body;
    if (!request.body.empty()) {
        body.reset(BIO_new_mem_buf(request.body.data(), static_cast<int>(request.body.size())));
        if (!body)
            throw ServiceError(ServiceFailure::NoAnswer, request.url, DrainOpenSslWords());
    }
    // A null proxy lets OpenSSL take http_proxy and no_proxy from the environment, as other clients do.
    BioPtr answer(OSSL_HTTP_transfer(nullptr, url.host.get(), url.port.get(), url.path.get(), 0, nullptr, nullptr,
                                     nullptr, nullptr, nullptr, nullptr, 0, nullptr,
                                     body ? request.contentType.c_str() : nullptr, body.get(), nullptr, 1,
                                     request.maxAnswerBytes, request.timeoutSeconds, 0));
    if (!answer)
        throw ServiceError(ServiceFailure::NoAnswer, request.url, DrainOpenSslWords());
    std::vector<unsigned char> bytes = ReadAll(answer.get(), request.maxAnswerBytes);
    if (bytes.empty() || bytes.size() > request.maxAnswerBytes)
        throw ServiceError(ServiceFailure::BadAnswer, request.url, "empty or oversized answer");
    return bytes;
}

} // namespace ordalis
