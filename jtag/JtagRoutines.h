// The Altera JTAG routines a driver runs over the host's channel: register
// reads, the configuration-status read, reset, user code and programming from
// a raw bit file. They take the channel (possibly empty) and the device's chain
// position; an empty channel makes each one return its nothing-done result
// without calling the host.
#pragma once

#include "plugin/frame/HostObject.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace arria5jtag {

using tavrel::THostObject;

// Instruction codes (10-bit instruction register).
inline constexpr int32_t kInstructionProgram = 2;
inline constexpr int32_t kInstructionStartup = 3;
inline constexpr int32_t kInstructionCheckStatus = 4;
inline constexpr int32_t kInstructionUserCode = 7;
inline constexpr int32_t kInstructionActiveDisengage = 720;

// TAP state codes of the host channel.
inline constexpr int32_t kStateRunTestIdle = 2;
inline constexpr int32_t kStateShiftDR = 5;
inline constexpr int32_t kStateExit1DR = 6;

// Device states as the host counts them.
inline constexpr int32_t kStateNotConfigured = 1;
inline constexpr int32_t kStateConfigured = 2;

// Waits the given milliseconds on the monotonic clock, giving up the processor between polls.
void Delay(int32_t milliseconds);

// The 32 bits captured from the data register the instruction selects; -1 for an empty channel.
int32_t ReadJTagRegister(const THostObject& channel, int32_t position, int32_t instruction);

// The configuration-done bit (0 or 1; 0 also when nothing could be read).
uint8_t ReadConfigDoneStatus(std::string_view baseName, const THostObject& channel, int32_t position);
int32_t GetAlteraDeviceState(std::string_view baseName, const THostObject& channel, int32_t position);
bool ResetAlteraDevice(std::string_view baseName, const THostObject& channel, int32_t position);
int32_t ReadAlteraUserCode(const THostObject& channel, int32_t position);

// Leading clocks before configuration data, by family name.
int32_t GetAlteraPreambleCycles(const std::string& familyName);

class TPinAccess;

// The data phase of programming: every byte from skip on, bit 0 first (with an
// extra low clock per bit behind other devices), one progress step per byte,
// then 128 trailer bits of 1.
void ClockConfigurationData(TPinAccess& pins, const uint8_t* image, size_t size, int64_t skip, int32_t position);

// Programs the raw bit file at pin level; returns the file's size in bits, 0
// when the channel is empty or the file does not exist.
int32_t ProgramAlteraDevice(const THostObject& driver, const std::string& fileName, const THostObject& channel,
                            int32_t position);

} // namespace arria5jtag
