// Small TCP helpers for the remote_bitbang server and client: an owned socket,
// a loopback listener, a connect with a deadline, and sends/receives that give
// up after a timeout instead of blocking forever.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace hostsim::rbb {

class TSocketError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TSocket {
public:
    TSocket() = default;
    explicit TSocket(int fd) : FFd(fd) {}
    TSocket(const TSocket&) = delete;
    TSocket& operator=(const TSocket&) = delete;
    TSocket(TSocket&& other) noexcept : FFd(other.Release()) {}
    TSocket& operator=(TSocket&& other) noexcept;
    ~TSocket() { Close(); }

    int Get() const { return FFd; }
    bool Valid() const { return FFd >= 0; }
    int Release();
    void Close();

private:
    int FFd = -1;
};

// Listens on 127.0.0.1:port (0 picks a free port); returns the port bound.
TSocket ListenLoopback(uint16_t port, uint16_t& boundPort);
// Connects to a numeric IPv4 address; throws TSocketError after the timeout.
TSocket ConnectTcp(const std::string& host, uint16_t port, std::chrono::milliseconds timeout);
void SetNonBlocking(int fd, bool on);
void SetNoDelay(int fd);
// Sends everything or throws (error or timeout).
void SendAll(int fd, const char* data, size_t size, std::chrono::milliseconds timeout);
// Receives at least one byte, at most size; returns 0 at end of stream; throws on
// error or when nothing came within the timeout.
size_t ReceiveSome(int fd, char* data, size_t size, std::chrono::milliseconds timeout);

} // namespace hostsim::rbb
