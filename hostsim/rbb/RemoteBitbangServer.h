// Serves a simulated chain over the remote_bitbang protocol (see
// hostsim/jtag/RemoteBitbangCable.h for the commands), so that an independent
// JTAG tool can scan it. Listens on 127.0.0.1 only; port 0 takes a free port.
// One client at a time is served on a background thread; further clients wait
// in the listen queue until the current one quits ('Q') or disconnects.
//
// The chain belongs to the server thread while the server runs: other threads
// touch it only while holding ChainMutex(), which the server holds while it
// works through each batch of commands.
#pragma once

#include "hostsim/jtag/SimChain.h"
#include "hostsim/rbb/Socket.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace hostsim::rbb {

class TRemoteBitbangServer {
public:
    struct TOptions {
        uint16_t Port = 0;
        // The server stops by itself after this long without a command or a new
        // client (0: never). Tests use it so that no server outlives them.
        std::chrono::milliseconds IdleTimeout{0};
        // A client that does not take its answers within this time is dropped.
        std::chrono::milliseconds SendTimeout{5000};
    };
    struct TStats {
        uint64_t Clients = 0;
        uint64_t Commands = 0;
        uint64_t Reads = 0;
        uint64_t Quits = 0;
        bool Led = false;
    };

    explicit TRemoteBitbangServer(jtag::TSimChain& chain) : TRemoteBitbangServer(chain, TOptions{}) {}
    TRemoteBitbangServer(jtag::TSimChain& chain, TOptions options);
    TRemoteBitbangServer(const TRemoteBitbangServer&) = delete;
    TRemoteBitbangServer& operator=(const TRemoteBitbangServer&) = delete;
    ~TRemoteBitbangServer();

    // Binds and starts serving; throws TSocketError when the port cannot be bound.
    void Start();
    // Stops serving and waits for the thread; safe to call more than once.
    void Stop();

    uint16_t Port() const { return FPort; }
    bool Running() const { return FRunning.load(); }
    std::mutex& ChainMutex() { return FChainMutex; }
    TStats Stats() const;
    // The failure that ended the loop, if any.
    std::string LastError() const;

private:
    void Loop();
    // Runs a batch of commands; returns false when the client quit.
    bool Process(const char* data, size_t size, std::string& answers);

    jtag::TSimChain& FChain;
    TOptions FOptions;
    TSocket FListener;
    uint16_t FPort = 0;
    int FWake[2] = {-1, -1};
    std::thread FThread;
    std::atomic<bool> FRunning{false};
    std::mutex FChainMutex;
    mutable std::mutex FStatsMutex;
    TStats FStats;
    std::string FLastError;
};

} // namespace hostsim::rbb
