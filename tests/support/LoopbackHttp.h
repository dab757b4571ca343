#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <thread>

namespace ordalis::test {

// A small HTTP/1.0 server on 127.0.0.1 at a port the system picks, answering
// each request on a thread of its own until it is destroyed.
class LoopbackHttpServer {
public:
    struct Answer {
        std::string contentType;
        std::string body;
    };
    // Given the request's path and body; nothing keeps the connection open
    // without an answer until the server stops (a service that never answers).
    using Handler = std::function<std::optional<Answer>(const std::string& path, const std::string& body)>;

    explicit LoopbackHttpServer(Handler handler);
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;
    ~LoopbackHttpServer();

    int port() const { return m_port; }
    std::string url(const std::string& path = "/") const;

private:
    void serve();
    void answer(int connection);

    Handler m_handler;
    int m_listener = -1;
    int m_stopPipe[2] = {-1, -1};
    int m_port = 0;
    std::thread m_thread;
};

// A loopback URL where nothing listens: a port that was free a moment ago.
std::string UnusedLoopbackUrl(const std::string& path = "/");

} // namespace ordalis::test
