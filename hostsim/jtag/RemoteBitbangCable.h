// Cable backend that is a remote_bitbang client: it drives whatever chain a
// remote_bitbang server (a board adapter, or our own server of a simulated chain)
// exposes over TCP. Protocol, one ASCII byte per command:
//   '0'..'7'  write TCK/TMS/TDI (value = TCK*4 + TMS*2 + TDI)
//   'R'       read TDO, answered with '0' or '1'
//   'r' 's' 't' 'u'  reset lines (TRST*2 + SRST added to 'r'; 1 = asserted)
//   'B' 'b'   blink the adapter's LED on / off
//   'Q'       quit (the server closes the connection)
// Writes are collected and sent in one batch when a read needs them, when the
// batch is full, or on Flush. Reads inside ClockCycles are pipelined: their
// answers are collected after the batch is sent, so a whole scan costs one
// round trip.
#pragma once

#include "hostsim/jtag/Cable.h"
#include "hostsim/rbb/Socket.h"

#include <chrono>
#include <string>
#include <vector>

namespace hostsim::jtag {

class TRemoteBitbangCable : public TJtagCable {
public:
    struct TOptions {
        std::chrono::milliseconds Timeout{10000}; // connect, and each send or receive
        size_t BatchBytes = 1 << 16;               // commands held back at most
        size_t MaxPendingReads = 4096;             // reads in flight before their answers are collected
    };

    TRemoteBitbangCable(const std::string& host, uint16_t port) : TRemoteBitbangCable(host, port, TOptions{}) {}
    TRemoteBitbangCable(const std::string& host, uint16_t port, TOptions options);
    // Sends 'Q' unless Quit was called; errors are swallowed.
    ~TRemoteBitbangCable() override;

    std::string Describe() const override;
    void Write(bool tck, bool tms, bool tdi) override;
    bool ReadTdo() override;
    void SetReset(bool trst, bool srst) override;
    void Flush() override;
    void ClockCycles(const uint8_t* tms, const uint8_t* tdi, uint8_t* tdo, size_t count) override;

    void Blink(bool on);
    // Sends 'Q' and closes the connection; the cable is unusable afterwards.
    void Quit();

    uint64_t BytesSent() const { return FBytesSent; }
    uint64_t RoundTrips() const { return FRoundTrips; }

private:
    void Queue(char command)
    {
        FOut.push_back(command);
        if (FOut.size() >= FOptions.BatchBytes && FPendingReads == 0) Send();
    }
    void Send();
    // Sends the batch and receives the answers of every pending read into `into`.
    void Collect(uint8_t* into);
    void CheckOpen() const;

    std::string FHost;
    uint16_t FPort;
    TOptions FOptions;
    rbb::TSocket FSocket;
    std::vector<char> FOut;
    size_t FPendingReads = 0;
    uint64_t FBytesSent = 0;
    uint64_t FRoundTrips = 0;
};

} // namespace hostsim::jtag
