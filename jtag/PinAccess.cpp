#include "jtag/PinAccess.h"

#include <cstdio>
#include <string>

namespace arria5jtag {

TPinAccess::TPinAccess(const tavrel::THostObject& channel)
{
    void* pins = nullptr;
    if (!channel || com::Failed(channel.Get()->QueryInterface(com::IID_IJTagPinAccess, &pins)) || !pins)
        throw std::runtime_error("The JTAG channel offers no pin-level access");
    FPins = static_cast<com::IJTagPinAccess*>(pins);
}

TPinAccess::~TPinAccess()
{
    if (FPins) FPins->Release();
}

void TPinAccess::Fail(com::HRESULT status, const char* operation)
{
    char text[96];
    std::snprintf(text, sizeof text, "JTAG pin operation %s failed (status 0x%08X)", operation,
                  static_cast<unsigned>(status));
    throw std::runtime_error(text);
}

} // namespace arria5jtag
