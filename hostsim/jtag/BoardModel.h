// What the pins of a simulated device see on the board: the values its boundary
// cells capture (SAMPLE, EXTEST). Cells are numbered as in the device's boundary
// register, cell 0 being the cell at the TDO end; the register is made of groups
// of three cells (input, control, output) for group g at cells 3g, 3g+1, 3g+2.
// Which cell belongs to which pin is the business of the device's boundary-scan
// description; a board model only has to be deterministic.
#pragma once

#include <cstdint>
#include <span>

namespace hostsim::jtag {

class TBoardModel {
public:
    virtual ~TBoardModel() = default;
    // Fills cells (one byte per cell, 0 or 1) with what they capture after
    // `clocks` rising TCK edges of the device.
    virtual void Capture(uint64_t clocks, std::span<uint8_t> cells) const = 0;
};

// The default board: fixed levels from a hash of the group number, output cells
// disabled by their control cells, and the input cell of every eighth group
// (groups 5, 13, 21, ...) toggling with the TCK count, each with its own period
// (256, 512, 1024 or 2048 clocks).
class TToggleBoardModel : public TBoardModel {
public:
    void Capture(uint64_t clocks, std::span<uint8_t> cells) const override;

    static bool IsToggling(int32_t group) { return group % 8 == 5; }
    static uint64_t TogglePeriod(int32_t group) { return uint64_t{256} << (group / 8 % 4); }
};

} // namespace hostsim::jtag
