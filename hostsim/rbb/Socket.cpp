#include "hostsim/rbb/Socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace hostsim::rbb {

namespace {

[[noreturn]] void Fail(const std::string& what)
{
    throw TSocketError(what + ": " + std::strerror(errno));
}

int RemainingMs(std::chrono::steady_clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

// Waits for the events; false when the deadline passed first.
bool WaitFor(int fd, short events, std::chrono::steady_clock::time_point deadline)
{
    for (;;) {
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, RemainingMs(deadline));
        if (n > 0) return true;
        if (n == 0) return false;
        if (errno != EINTR) Fail("poll");
    }
}

} // namespace

TSocket& TSocket::operator=(TSocket&& other) noexcept
{
    if (this != &other) {
        Close();
        FFd = other.Release();
    }
    return *this;
}

int TSocket::Release()
{
    const int fd = FFd;
    FFd = -1;
    return fd;
}

void TSocket::Close()
{
    if (FFd >= 0) ::close(FFd);
    FFd = -1;
}

void SetNonBlocking(int fd, bool on)
{
    const int flags = ::fcntl(fd, F_GETFL, 0);
    if (flags < 0 || ::fcntl(fd, F_SETFL, on ? flags | O_NONBLOCK : flags & ~O_NONBLOCK) < 0) Fail("fcntl");
}

void SetNoDelay(int fd)
{
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

TSocket ListenLoopback(uint16_t port, uint16_t& boundPort)
{
    TSocket s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!s.Valid()) Fail("socket");
    const int one = 1;
    ::setsockopt(s.Get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(s.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) < 0)
        Fail("bind 127.0.0.1:" + std::to_string(port));
    if (::listen(s.Get(), 4) < 0) Fail("listen");
    socklen_t length = sizeof address;
    if (::getsockname(s.Get(), reinterpret_cast<sockaddr*>(&address), &length) < 0) Fail("getsockname");
    boundPort = ntohs(address.sin_port);
    return s;
}

TSocket ConnectTcp(const std::string& host, uint16_t port, std::chrono::milliseconds timeout)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (::inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1)
        throw TSocketError("'" + host + "' is not an IPv4 address");
    TSocket s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!s.Valid()) Fail("socket");
    SetNonBlocking(s.Get(), true);
    const std::string where = host + ":" + std::to_string(port);
    if (::connect(s.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) < 0) {
        if (errno != EINPROGRESS) Fail("connect " + where);
        if (!WaitFor(s.Get(), POLLOUT, std::chrono::steady_clock::now() + timeout))
            throw TSocketError("connect " + where + ": timed out");
        int error = 0;
        socklen_t length = sizeof error;
        ::getsockopt(s.Get(), SOL_SOCKET, SO_ERROR, &error, &length);
        if (error != 0) {
            errno = error;
            Fail("connect " + where);
        }
    }
    SetNoDelay(s.Get());
    return s;
}

void SendAll(int fd, const char* data, size_t size, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            data += n;
            size -= static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) Fail("send");
        if (!WaitFor(fd, POLLOUT, deadline)) throw TSocketError("send: timed out");
    }
}

size_t ReceiveSome(int fd, char* data, size_t size, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const ssize_t n = ::recv(fd, data, size, MSG_DONTWAIT);
        if (n >= 0) return static_cast<size_t>(n);
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) Fail("recv");
        if (!WaitFor(fd, POLLIN, deadline)) throw TSocketError("recv: timed out");
    }
}

} // namespace hostsim::rbb
