// A JTAG chain of simulated devices, driven pin by pin. Position 0 is the device
// whose TDI is the chain's TDI; the TDO of device p feeds the TDI of device p+1
// and the TDO of the last device is the chain's TDO. An undriven TDO reads high
// (the pull-up of a board).
#pragma once

#include "hostsim/jtag/SimDevice.h"

#include <memory>
#include <utility>
#include <vector>

namespace hostsim::jtag {

class TSimChain {
public:
    TSimChain() = default;
    TSimChain(const TSimChain&) = delete;
    TSimChain& operator=(const TSimChain&) = delete;

    // Appends a device at the TDO end: the first device added has position 0.
    TSimDevice& Add(std::unique_ptr<TSimDevice> device);
    template <class T, class... A> T& Emplace(A&&... args)
    {
        auto device = std::make_unique<T>(std::forward<A>(args)...);
        T& added = *device;
        Add(std::move(device));
        return added;
    }

    int32_t DeviceCount() const { return static_cast<int32_t>(FDevices.size()); }
    TSimDevice& Device(int32_t position) const { return *FDevices.at(static_cast<size_t>(position)); }
    template <class T> T& DeviceAs(int32_t position) const { return dynamic_cast<T&>(Device(position)); }
    std::vector<int32_t> IrLengths() const;

    // Pin levels. A change of TCK is an edge for every device: rising edges
    // sample TMS and TDI, falling edges update TDO.
    void SetPins(bool tck, bool tms, bool tdi)
    {
        FTms = tms;
        FTdi = tdi;
        if (tck == FTck) return;
        FTck = tck;
        if (FTrst) return;
        if (tck) {
            ++FRisingEdges;
            bool in = tdi;
            for (auto& device : FDevices) {
                // Every device's TDO is still the one latched on the last falling edge.
                const bool next = device->TdoDriven() ? device->TdoLevel() : true;
                device->RisingEdge(tms, in);
                in = next;
            }
        } else {
            for (auto& device : FDevices) device->FallingEdge();
        }
    }
    bool Tdo() const
    {
        if (FDevices.empty()) return FTdi;
        const TSimDevice& last = *FDevices.back();
        return last.TdoDriven() ? last.TdoLevel() : true;
    }
    bool Tck() const { return FTck; }
    bool Tms() const { return FTms; }
    bool Tdi() const { return FTdi; }

    // TRST asserted holds every TAP in Test-Logic-Reset; SRST is recorded only.
    void SetReset(bool trst, bool srst);
    bool TrstAsserted() const { return FTrst; }
    bool SrstAsserted() const { return FSrst; }

    uint64_t RisingEdges() const { return FRisingEdges; }

private:
    std::vector<std::unique_ptr<TSimDevice>> FDevices;
    bool FTck = false;
    bool FTms = true;
    bool FTdi = true;
    bool FTrst = false;
    bool FSrst = false;
    uint64_t FRisingEdges = 0;
};

} // namespace hostsim::jtag
