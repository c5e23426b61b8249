#include "hostsim/rbb/RemoteBitbangServer.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

namespace hostsim::rbb {

TRemoteBitbangServer::TRemoteBitbangServer(jtag::TSimChain& chain, TOptions options)
    : FChain(chain), FOptions(options)
{
}

TRemoteBitbangServer::~TRemoteBitbangServer() { Stop(); }

void TRemoteBitbangServer::Start()
{
    if (FThread.joinable()) return;
    FListener = ListenLoopback(FOptions.Port, FPort);
    SetNonBlocking(FListener.Get(), true);
    if (::pipe2(FWake, O_CLOEXEC | O_NONBLOCK) < 0) throw TSocketError("pipe2 failed");
    FRunning = true;
    FThread = std::thread([this] { Loop(); });
}

void TRemoteBitbangServer::Stop()
{
    if (FThread.joinable()) {
        const char byte = 'x';
        [[maybe_unused]] const ssize_t n = ::write(FWake[1], &byte, 1);
        FThread.join();
    }
    for (int& fd : FWake) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
    FListener.Close();
    FRunning = false;
}

TRemoteBitbangServer::TStats TRemoteBitbangServer::Stats() const
{
    std::lock_guard lock(FStatsMutex);
    return FStats;
}

std::string TRemoteBitbangServer::LastError() const
{
    std::lock_guard lock(FStatsMutex);
    return FLastError;
}

void TRemoteBitbangServer::Loop()
{
    using Clock = std::chrono::steady_clock;
    TSocket client;
    auto lastActivity = Clock::now();
    std::vector<char> input(1 << 16);
    std::string answers;
    try {
        for (;;) {
            int timeout = -1;
            if (FOptions.IdleTimeout.count() > 0) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    lastActivity + FOptions.IdleTimeout - Clock::now());
                if (left.count() <= 0) break; // idle for too long: stop by ourselves
                timeout = static_cast<int>(left.count());
            }
            pollfd fds[2] = {{FWake[0], POLLIN, 0}, {client.Valid() ? client.Get() : FListener.Get(), POLLIN, 0}};
            const int n = ::poll(fds, 2, timeout);
            if (n < 0) {
                if (errno == EINTR) continue;
                throw TSocketError("poll failed");
            }
            if (fds[0].revents) break; // Stop()
            if (n == 0 || !fds[1].revents) continue;
            lastActivity = Clock::now();

            if (!client.Valid()) {
                TSocket accepted(::accept4(FListener.Get(), nullptr, nullptr, SOCK_CLOEXEC));
                if (!accepted.Valid()) continue;
                SetNoDelay(accepted.Get());
                client = std::move(accepted);
                std::lock_guard lock(FStatsMutex);
                ++FStats.Clients;
                continue;
            }

            const ssize_t got = ::recv(client.Get(), input.data(), input.size(), MSG_DONTWAIT);
            if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) continue;
            if (got <= 0) {
                client.Close();
                continue;
            }
            answers.clear();
            bool keep;
            {
                std::lock_guard lock(FChainMutex);
                keep = Process(input.data(), static_cast<size_t>(got), answers);
            }
            try {
                if (!answers.empty()) SendAll(client.Get(), answers.data(), answers.size(), FOptions.SendTimeout);
            } catch (const TSocketError&) {
                keep = false; // a client that stops reading is dropped
            }
            if (!keep) client.Close();
        }
    } catch (const std::exception& error) {
        std::lock_guard lock(FStatsMutex);
        FLastError = error.what();
    }
    client.Close();
    FListener.Close(); // nobody else may connect to a server that stopped
    FRunning = false;
}

bool TRemoteBitbangServer::Process(const char* data, size_t size, std::string& answers)
{
    uint64_t commands = 0, reads = 0;
    bool quit = false;
    bool led = false, ledChanged = false;
    for (size_t i = 0; i < size && !quit; ++i) {
        const char c = data[i];
        ++commands;
        if (c >= '0' && c <= '7') {
            const int v = c - '0';
            FChain.SetPins((v & 4) != 0, (v & 2) != 0, (v & 1) != 0);
        } else if (c == 'R') {
            answers.push_back(FChain.Tdo() ? '1' : '0');
            ++reads;
        } else if (c >= 'r' && c <= 'u') {
            const int v = c - 'r';
            FChain.SetReset((v & 2) != 0, (v & 1) != 0);
        } else if (c == 'B' || c == 'b') {
            led = c == 'B';
            ledChanged = true;
        } else if (c == 'Q') {
            quit = true;
        } else {
            --commands; // line breaks and commands of other transports are ignored
        }
    }
    std::lock_guard lock(FStatsMutex);
    FStats.Commands += commands;
    FStats.Reads += reads;
    if (quit) ++FStats.Quits;
    if (ledChanged) FStats.Led = led;
    return !quit;
}

} // namespace hostsim::rbb
