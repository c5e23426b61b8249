#include "hostsim/jtag/RemoteBitbangCable.h"

#include <algorithm>
#include <stdexcept>

namespace hostsim::jtag {

TRemoteBitbangCable::TRemoteBitbangCable(const std::string& host, uint16_t port, TOptions options)
    : FHost(host), FPort(port), FOptions(options), FSocket(rbb::ConnectTcp(host, port, options.Timeout))
{
    if (FOptions.BatchBytes == 0) FOptions.BatchBytes = 1;
    if (FOptions.MaxPendingReads == 0) FOptions.MaxPendingReads = 1;
    FOut.reserve(FOptions.BatchBytes + 8);
}

TRemoteBitbangCable::~TRemoteBitbangCable()
{
    try {
        if (FSocket.Valid()) Quit();
    } catch (...) {
    }
}

std::string TRemoteBitbangCable::Describe() const
{
    return "remote_bitbang " + FHost + ":" + std::to_string(FPort);
}

void TRemoteBitbangCable::CheckOpen() const
{
    if (!FSocket.Valid()) throw std::runtime_error(Describe() + ": connection closed");
}

void TRemoteBitbangCable::Write(bool tck, bool tms, bool tdi)
{
    Queue(static_cast<char>('0' + (tck ? 4 : 0) + (tms ? 2 : 0) + (tdi ? 1 : 0)));
}

bool TRemoteBitbangCable::ReadTdo()
{
    uint8_t level = 0;
    FOut.push_back('R');
    ++FPendingReads;
    Collect(&level);
    return level != 0;
}

void TRemoteBitbangCable::SetReset(bool trst, bool srst) { Queue(static_cast<char>('r' + (trst ? 2 : 0) + (srst ? 1 : 0))); }

void TRemoteBitbangCable::Blink(bool on) { Queue(on ? 'B' : 'b'); }

void TRemoteBitbangCable::Flush()
{
    if (!FOut.empty()) Send();
}

void TRemoteBitbangCable::Send()
{
    CheckOpen();
    if (FOut.empty()) return;
    rbb::SendAll(FSocket.Get(), FOut.data(), FOut.size(), FOptions.Timeout);
    FBytesSent += FOut.size();
    FOut.clear();
}

void TRemoteBitbangCable::Collect(uint8_t* into)
{
    Send();
    if (FPendingReads == 0) return;
    ++FRoundTrips;
    char reply[4096];
    size_t filled = 0;
    while (filled < FPendingReads) {
        const size_t want = std::min(sizeof reply, FPendingReads - filled);
        const size_t n = rbb::ReceiveSome(FSocket.Get(), reply, want, FOptions.Timeout);
        if (n == 0) {
            FSocket.Close();
            throw std::runtime_error(Describe() + ": server closed the connection");
        }
        for (size_t i = 0; i < n; ++i) {
            if (reply[i] != '0' && reply[i] != '1')
                throw std::runtime_error(Describe() + ": unexpected answer to a read");
            into[filled + i] = reply[i] == '1' ? 1 : 0;
        }
        filled += n;
    }
    FPendingReads = 0;
}

void TRemoteBitbangCable::ClockCycles(const uint8_t* tms, const uint8_t* tdi, uint8_t* tdo, size_t count)
{
    size_t collected = 0; // first cycle whose TDO answer is still outstanding
    for (size_t i = 0; i < count; ++i) {
        const int levels = (tms[i] ? 2 : 0) + (tdi[i] ? 1 : 0);
        FOut.push_back(static_cast<char>('0' + levels));
        if (tdo) {
            FOut.push_back('R');
            ++FPendingReads;
        }
        FOut.push_back(static_cast<char>('4' + levels));
        if (tdo && FPendingReads >= FOptions.MaxPendingReads) {
            Collect(tdo + collected);
            collected = i + 1;
        } else if (!tdo && FOut.size() >= FOptions.BatchBytes) {
            Send();
        }
    }
    if (count > 0) FOut.push_back(static_cast<char>('0' + (tms[count - 1] ? 2 : 0) + (tdi[count - 1] ? 1 : 0)));
    if (tdo) Collect(tdo + collected);
}

void TRemoteBitbangCable::Quit()
{
    if (!FSocket.Valid()) return;
    FOut.push_back('Q');
    try {
        Send();
    } catch (...) {
        FSocket.Close();
        throw;
    }
    FSocket.Close();
}

} // namespace hostsim::jtag
