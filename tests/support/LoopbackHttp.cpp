#include "tests/support/LoopbackHttp.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace ordalis::test {

namespace {

int BoundLoopbackSocket(int* port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("cannot bind a loopback socket");
    *port = ntohs(address.sin_port);
    return fd;
}

// Waits until fd is readable or the stop pipe is; false when stopping.
bool WaitReadable(int fd, int stop)
{
    pollfd watched[2] = {{fd, POLLIN, 0}, {stop, POLLIN, 0}};
    while (::poll(watched, 2, -1) < 0) {
    }
    return (watched[1].revents & POLLIN) == 0;
}

std::string ReadRequest(int connection, int stop, std::string* path)
{
    std::string data;
    char piece[4096];
    std::size_t headerEnd = std::string::npos, wanted = 0;
    while (true) {
        if (headerEnd != std::string::npos && data.size() >= headerEnd + 4 + wanted)
            break;
        if (!WaitReadable(connection, stop))
            return {};
        const ssize_t got = ::read(connection, piece, sizeof piece);
        if (got <= 0)
            break;
        data.append(piece, static_cast<std::size_t>(got));
        if (headerEnd == std::string::npos && (headerEnd = data.find("\r\n\r\n")) != std::string::npos) {
            const std::size_t length = data.find("Content-Length:");
            const std::size_t lower = data.find("content-length:");
            const std::size_t at = length != std::string::npos ? length : lower;
            wanted = at != std::string::npos && at < headerEnd ? std::stoul(data.substr(at + 15)) : 0;
        }
    }
    const std::size_t firstSpace = data.find(' ');
    const std::size_t secondSpace = data.find(' ', firstSpace + 1);
    if (firstSpace != std::string::npos && secondSpace != std::string::npos)
        *path = data.substr(firstSpace + 1, secondSpace - firstSpace - 1);
    return headerEnd == std::string::npos ? std::string() : data.substr(headerEnd + 4);
}

void WriteAll(int fd, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (put <= 0)
            return;
        done += static_cast<std::size_t>(put);
    }
}

} // namespace

LoopbackHttpServer::LoopbackHttpServer(Handler handler) : m_handler(std::move(handler))
{
    m_listener = BoundLoopbackSocket(&m_port);
    if (::listen(m_listener, 8) != 0 || ::pipe2(m_stopPipe, O_CLOEXEC) != 0)
        throw std::runtime_error("cannot listen on loopback");
    m_thread = std::thread([this] { serve(); });
}

LoopbackHttpServer::~LoopbackHttpServer()
{
    (void)!::write(m_stopPipe[1], "x", 1);
    m_thread.join();
    ::close(m_listener);
    ::close(m_stopPipe[0]);
    ::close(m_stopPipe[1]);
}

std::string LoopbackHttpServer::url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

void LoopbackHttpServer::serve()
{
    // One connection at a time: each client of the tests sends one request and waits.
    while (WaitReadable(m_listener, m_stopPipe[0])) {
        const int connection = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0)
            continue;
        answer(connection);
        ::close(connection);
    }
}

void LoopbackHttpServer::answer(int connection)
{
    std::string path;
    const std::string body = ReadRequest(connection, m_stopPipe[0], &path);
    std::optional<Answer> reply = m_handler(path, body);
    if (!reply) {
        // Held open and unanswered until the server stops.
        WaitReadable(m_stopPipe[0], m_stopPipe[0]);
        return;
    }
    WriteAll(connection, "HTTP/1.0 200 OK\r\nContent-Type: " + reply->contentType + "\r\nContent-Length: " +
                             std::to_string(reply->body.size()) + "\r\nConnection: close\r\n\r\n" + reply->body);
}

std::string UnusedLoopbackUrl(const std::string& path)
{
    int port = 0;
    const int fd = BoundLoopbackSocket(&port);
    ::close(fd);
    return "http://127.0.0.1:" + std::to_string(port) + path;
}

} // namespace ordalis::test
