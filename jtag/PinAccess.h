// The channel's pin-level interface as the routines use it: every call's
// status is checked, and the clock primitives are built from single pin levels.
#pragma once

#include "plugin/frame/HostObject.h"

#include <stdexcept>

namespace arria5jtag {

class TPinAccess {
public:
    // Asks the channel for its pin-level interface; throws when it has none.
    explicit TPinAccess(const tavrel::THostObject& channel);
    TPinAccess(const TPinAccess&) = delete;
    TPinAccess& operator=(const TPinAccess&) = delete;
    ~TPinAccess();

    void SetTCK(int32_t level) { Check(FPins->SetTCK(level), "SetTCK"); }
    void SetTDI(int32_t level) { Check(FPins->SetTDI(level), "SetTDI"); }
    void SetTMS(int32_t level) { Check(FPins->SetTMS(level), "SetTMS"); }
    void Flush() { Check(FPins->Flush(), "Flush"); }
    void Sample() { Check(FPins->Sample(), "Sample"); }
    uint8_t GetTDO()
    {
        uint8_t level = 0;
        Check(FPins->GetTDO(&level), "GetTDO");
        return level;
    }

    void ClockLow()
    {
        SetTCK(0);
        Flush();
    }
    void ClockHigh()
    {
        SetTCK(1);
        Flush();
    }
    void ClockBit(int32_t bit)
    {
        SetTCK(0);
        SetTDI(bit);
        Flush();
    }

private:
    static void Check(com::HRESULT status, const char* operation)
    {
        if (com::Failed(status)) Fail(status, operation);
    }
    [[noreturn]] static void Fail(com::HRESULT status, const char* operation);

    com::IJTagPinAccess* FPins = nullptr;
};

} // namespace arria5jtag
