#include "tools/arria5/ChainScan.h"

#include <algorithm>
#include <stdexcept>

namespace arria5cli {

namespace {

class TPins {
public:
    explicit TPins(com::IJTagPinAccess& pins) : FPins(pins) {}

    // One TCK cycle; returns TDO as it was before the rising edge.
    bool Clock(bool tms, bool tdi)
    {
        Check(FPins.SetTCK(0));
        Check(FPins.SetTMS(tms ? 1 : 0));
        Check(FPins.SetTDI(tdi ? 1 : 0));
        Check(FPins.Flush());
        Check(FPins.Sample());
        uint8_t tdo = 0;
        Check(FPins.GetTDO(&tdo));
        Check(FPins.SetTCK(1));
        Check(FPins.Flush());
        return tdo != 0;
    }

private:
    static void Check(com::HRESULT status)
    {
        if (com::Failed(status)) throw std::runtime_error("the JTAG cable reported a failure");
    }
    com::IJTagPinAccess& FPins;
};

} // namespace

std::vector<std::optional<uint32_t>> ScanIdCodes(com::IJTagPinAccess& access, int maxDevices)
{
    TPins pins(access);
    for (int i = 0; i < 5; ++i) pins.Clock(true, true); // Test-Logic-Reset
    for (bool tms : {false, true, false, false}) pins.Clock(tms, true); // Run-Test/Idle .. Shift-DR
    std::vector<std::optional<uint32_t>> fromTdo;
    // Ones shifted in mark the end: a 32-bit word of ones is no IDCODE.
    while (true) {
        if (static_cast<int>(fromTdo.size()) > maxDevices)
            throw std::runtime_error("the chain did not end after " + std::to_string(maxDevices) + " devices");
        if (!pins.Clock(false, true)) {
            fromTdo.emplace_back(std::nullopt);
            continue;
        }
        uint32_t id = 1;
        for (int bit = 1; bit < 32; ++bit)
            if (pins.Clock(false, true)) id |= 1u << bit;
        if (id == 0xFFFFFFFFu) break;
        fromTdo.emplace_back(id);
    }
    for (bool tms : {true, true, false}) pins.Clock(tms, true); // Exit1-DR, Update-DR, Run-Test/Idle
    std::reverse(fromTdo.begin(), fromTdo.end());
    return fromTdo;
}

} // namespace arria5cli
