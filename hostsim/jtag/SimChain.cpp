#include "hostsim/jtag/SimChain.h"

#include <stdexcept>

namespace hostsim::jtag {

TSimDevice& TSimChain::Add(std::unique_ptr<TSimDevice> device)
{
    if (!device) throw std::invalid_argument("no device to add");
    device->ResetTap();
    FDevices.push_back(std::move(device));
    return *FDevices.back();
}

std::vector<int32_t> TSimChain::IrLengths() const
{
    std::vector<int32_t> lengths;
    lengths.reserve(FDevices.size());
    for (const auto& device : FDevices) lengths.push_back(device->IrLength());
    return lengths;
}

void TSimChain::SetReset(bool trst, bool srst)
{
    FSrst = srst;
    FTrst = trst;
    if (trst)
        for (auto& device : FDevices) device->ResetTap();
}

} // namespace hostsim::jtag
