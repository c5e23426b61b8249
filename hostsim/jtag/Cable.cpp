#include "hostsim/jtag/Cable.h"

#include "hostsim/jtag/SimChain.h"

namespace hostsim::jtag {

void TJtagCable::ClockCycles(const uint8_t* tms, const uint8_t* tdi, uint8_t* tdo, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        Write(false, tms[i] != 0, tdi[i] != 0);
        if (tdo) tdo[i] = ReadTdo() ? 1 : 0;
        Write(true, tms[i] != 0, tdi[i] != 0);
    }
    if (count > 0) Write(false, tms[count - 1] != 0, tdi[count - 1] != 0);
}

void TSimCable::Write(bool tck, bool tms, bool tdi) { FChain.SetPins(tck, tms, tdi); }

bool TSimCable::ReadTdo() { return FChain.Tdo(); }

void TSimCable::SetReset(bool trst, bool srst) { FChain.SetReset(trst, srst); }

void TSimCable::ClockCycles(const uint8_t* tms, const uint8_t* tdi, uint8_t* tdo, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        FChain.SetPins(false, tms[i] != 0, tdi[i] != 0);
        if (tdo) tdo[i] = FChain.Tdo() ? 1 : 0;
        FChain.SetPins(true, tms[i] != 0, tdi[i] != 0);
    }
    if (count > 0) FChain.SetPins(false, tms[count - 1] != 0, tdi[count - 1] != 0);
}

} // namespace hostsim::jtag
