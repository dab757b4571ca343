#pragma once

#include "tests/support/LoopbackHttp.h"

#include <atomic>
#include <memory>
#include <string>

namespace ordalis::test {

// A timestamp authority on loopback: OpenSSL's TS responder with a GOST key
// and certificate (PEM files), behind a LoopbackHttpServer.
class TestTsa {
public:
    enum class Mode {
        Grant,        // a proper answer
        Reject,       // status "rejection"
        WrongImprint, // stamps other bytes than asked
        WrongNonce,   // answers another nonce
        Silent,       // never answers
    };

    TestTsa(const std::string& certificate, const std::string& key);
    ~TestTsa();

    std::string url() const { return m_server->url("/tsa"); }
    void setMode(Mode mode) { m_mode = mode; }
    // The time the authority puts into its tokens, in seconds from now.
    void setClockOffset(long seconds) { m_clockOffset = seconds; }
    int requestsAnswered() const { return m_answered; }

private:
    std::string reply(const std::string& request);

    struct Keys;
    std::unique_ptr<Keys> m_keys;
    std::atomic<Mode> m_mode{Mode::Grant};
    std::atomic<long> m_clockOffset{0};
    std::atomic<int> m_answered{0};
    std::unique_ptr<LoopbackHttpServer> m_server;
};

} // namespace ordalis::test
