#pragma once

#include "tests/support/LoopbackHttp.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace ordalis::test {

// An OCSP responder on loopback: OpenSSL's OCSP API answering, with the key
// and certificate given (PEM files), for the certificates of one issuer.
// A certificate it was not told about is good.
class TestOcsp {
public:
    enum class Status { Good, Revoked, Unknown };

    TestOcsp(const std::string& issuer, const std::string& signerCertificate, const std::string& signerKey);
    ~TestOcsp();

    std::string url() const { return m_server->url("/ocsp"); }
    // Serial number as `openssl x509 -serial` prints it.
    void setStatus(const std::string& serialHex, Status status);
    int requestsAnswered() const { return m_answered; }

private:
    std::string reply(const std::string& request);

    struct Keys;
    std::unique_ptr<Keys> m_keys;
    std::mutex m_mutex;
    std::map<std::string, Status> m_statuses;
    int m_answered = 0;
    std::unique_ptr<LoopbackHttpServer> m_server;
};

} // namespace ordalis::test
