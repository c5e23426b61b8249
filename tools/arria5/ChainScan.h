// Reads the IDCODE of every device on a chain through the channel's pin-level
// interface: after Test-Logic-Reset each device holds its IDCODE (a 1 in bit 0)
// or its bypass bit (a 0), which one data scan shifts out, last device first.
#pragma once

#include "plugin/com/ComTypes.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace arria5cli {

// One entry per device, position 0 (next to TDI) first; empty for a device
// that answers with its bypass bit. Throws when the pin interface fails or the
// chain does not end within maxDevices.
std::vector<std::optional<uint32_t>> ScanIdCodes(com::IJTagPinAccess& pins, int maxDevices = 64);

} // namespace arria5cli
