#include "hostsim/jtag/BoardModel.h"

namespace hostsim::jtag {

namespace {

uint32_t Mix(uint32_t x)
{
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    x ^= x >> 16;
    return x;
}

} // namespace

void TToggleBoardModel::Capture(uint64_t clocks, std::span<uint8_t> cells) const
{
    for (size_t cell = 0; cell < cells.size(); ++cell) {
        const int32_t group = static_cast<int32_t>(cell / 3);
        const uint32_t hash = Mix(static_cast<uint32_t>(group) + 0x9E37u);
        switch (cell % 3) {
        case 0: // input: the level at the ball
            cells[cell] = IsToggling(group) ? static_cast<uint8_t>((clocks / (TogglePeriod(group) / 2)) & 1u)
                                            : static_cast<uint8_t>(hash & 1u);
            break;
        case 1: cells[cell] = 1; break; // control: output buffer disabled
        default: cells[cell] = static_cast<uint8_t>((hash >> 1) & 1u); break; // output: last driven level
        }
    }
}

} // namespace hostsim::jtag
