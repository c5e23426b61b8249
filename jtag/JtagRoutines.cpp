#include "jtag/JtagRoutines.h"

#include "host/DeviceFamilies.h"
#include "host/HostAccess.h"
#include "jtag/AlteraStatusChain.h"
#include "jtag/PinAccess.h"
#include "jtag/Progress.h"
#include "plugin/frame/SupportService.h"

#include <charconv>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <vector>

namespace arria5jtag {

namespace {

namespace ops {
constexpr int32_t BeginAccess = 503425;
constexpr int32_t EndAccess = 503426;
constexpr int32_t GetDeviceCount = 503578;
constexpr int32_t ResetChannel = 503581;
constexpr int32_t ScanDR = 503599;
constexpr int32_t ScanIR = 503601;
constexpr int32_t MoveTAPState = 503605;
constexpr int32_t GotoTAPState = 503607;
constexpr int32_t ClockTMS = 503608;
constexpr int32_t Driver_GetFamilyName = 503382;
constexpr int32_t DeviceManager_GetFamilyManager = 504014;
constexpr int32_t FamilyManager_GetFamily = 503996;
constexpr int32_t Family_GetParameterAsBoolean = 503984;
constexpr int32_t Family_GetParameterAsInteger = 503985;
constexpr int32_t Family_HasIntegerParameter = 503994;
} // namespace ops

constexpr int32_t kStartupClockPairs = 200;
constexpr int32_t kTrailerBits = 128;
constexpr int32_t kDefaultPreambleCycles = 175;

// Moves a channel through its TAP with the host's scan operations.
struct TChannel {
    const THostObject& Object;

    void Begin() const { Object.CallBool(ops::BeginAccess); }
    void End() const { Object.Call(ops::EndAccess); }
    void Goto(int32_t state) const { Object.Call(ops::GotoTAPState, {state}); }
    void Move(int32_t from, int32_t to) const { Object.Call(ops::MoveTAPState, {from, to}); }
    void ScanIR(int32_t instruction, int32_t position) const { Object.Call(ops::ScanIR, {instruction, position}); }
    int32_t ScanDR(int32_t value, int32_t bits, int32_t position) const
    {
        return Object.CallInt(ops::ScanDR, {value, bits, position});
    }
    void ClockTMS(int32_t tms) const { Object.Call(ops::ClockTMS, {tms}); }
};

// The startup sequence after configuration data: STARTUP, then 400 clocks in
// Run-Test/Idle with TDI alternating, starting low. Access is the caller's.
void RunStartupSequence(const TChannel& channel, TPinAccess& pins, int32_t position)
{
    channel.ScanIR(kInstructionStartup, position);
    for (int32_t i = 0; i < kStartupClockPairs; ++i) {
        pins.SetTDI(0);
        pins.Flush();
        channel.ClockTMS(0);
        pins.SetTDI(1);
        pins.Flush();
        channel.ClockTMS(0);
    }
    channel.Goto(kStateRunTestIdle);
}

std::vector<uint8_t> ReadWholeFile(const std::string& fileName)
{
    std::ifstream in(fileName, std::ios::binary | std::ios::ate);
    if (!in) throw std::runtime_error("Cannot open file \"" + fileName + "\"");
    const std::streamoff size = in.tellg();
    // The bit count travels as a signed 32-bit number.
    if (size < 0 || size > std::numeric_limits<int32_t>::max() / 8)
        throw std::runtime_error("\"" + fileName + "\" is too large to be a configuration file");
    std::vector<uint8_t> image(static_cast<size_t>(size));
    in.seekg(0);
    if (size > 0 && !in.read(reinterpret_cast<char*>(image.data()), size))
        throw std::runtime_error("Cannot read file \"" + fileName + "\"");
    return image;
}

THostObject FindFamily(const std::string& familyName)
{
    const THostObject manager = hostaccess::GetDeviceManager();
    const THostObject families = manager ? manager.CallObject(ops::DeviceManager_GetFamilyManager) : THostObject();
    THostObject family = families ? families.CallObject(ops::FamilyManager_GetFamily, {familyName}) : THostObject();
    if (!family) throw std::runtime_error("The host knows no device family \"" + familyName + "\"");
    return family;
}

} // namespace

void Delay(int32_t milliseconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

int32_t ReadJTagRegister(const THostObject& channelObject, int32_t position, int32_t instruction)
{
    if (!channelObject) return -1;
    const TChannel channel{channelObject};
    channel.Begin();
    int32_t value = 0;
    try {
        channel.Goto(kStateRunTestIdle);
        channel.ScanIR(instruction, position);
        value = channel.ScanDR(0, 32, position);
    } catch (...) {
        channel.End();
        throw;
    }
    channel.End();
    return value;
}

uint8_t ReadConfigDoneStatus(std::string_view baseName, const THostObject& channelObject, int32_t position)
{
    if (!channelObject) return 0;
    TPinAccess pins(channelObject);
    const TChannel channel{channelObject};
    channel.Begin();
    channel.ScanIR(kInstructionCheckStatus, position);
    channel.Move(kStateRunTestIdle, kStateShiftDR);
    int32_t n = 0, k = 0;
    if (!GetAlteraStatusChainInfo(baseName, n, k) || n == 0) {
        channel.End();
        return 0;
    }
    // Bit 3 x (N - K) + 1 of this device's status chain, behind the bypass bits
    // of the devices between it and TDO.
    const int64_t count = 3 * static_cast<int64_t>(n - k) + channelObject.CallInt(ops::GetDeviceCount) - position;
    for (int64_t i = 0; i < count; ++i) channel.ClockTMS(0);
    pins.Sample();
    const uint8_t level = pins.GetTDO() ? 1 : 0;
    channel.ClockTMS(1);
    channel.Move(kStateExit1DR, kStateRunTestIdle);
    channel.End();
    return level;
}

int32_t GetAlteraDeviceState(std::string_view baseName, const THostObject& channel, int32_t position)
{
    return ReadConfigDoneStatus(baseName, channel, position) ? kStateConfigured : kStateNotConfigured;
}

bool ResetAlteraDevice(std::string_view baseName, const THostObject& channelObject, int32_t position)
{
    if (!channelObject) return false;
    const TChannel channel{channelObject};
    channel.Begin();
    channel.Goto(kStateRunTestIdle);
    channel.ScanIR(kInstructionProgram, position);
    channel.Goto(kStateRunTestIdle);
    channel.End();
    return GetAlteraDeviceState(baseName, channelObject, position) == kStateNotConfigured;
}

int32_t ReadAlteraUserCode(const THostObject& channel, int32_t position)
{
    return ReadJTagRegister(channel, position, kInstructionUserCode);
}

int32_t GetAlteraPreambleCycles(const std::string& familyName)
{
    using tavrel::SameTextAny;
    if (SameTextAny(familyName, {"Cyclone", "Stratix", "StratixGX"})) return 175;
    if (SameTextAny(familyName, {"Cyclone2", "Stratix2", "Stratix2GX", "ArriaGX"})) return 300;
    if (SameTextAny(familyName, {"Cyclone3", "Cyclone4GX", "Cyclone4E"})) return 3181;
    if (tavrel::SameText(familyName, "Stratix3")) return 4436;
    std::string value;
    if (!hostaccess::GetValueFromExtensions(familyName, "Cycles", value, "ClockCore")) return kDefaultPreambleCycles;
    int32_t cycles = 0;
    auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), cycles);
    return ec == std::errc() && end == value.data() + value.size() ? cycles : -1;
}

void ClockConfigurationData(TPinAccess& pins, const uint8_t* image, size_t size, int64_t skip, int32_t position)
{
    const bool behindOthers = position >= 1;
    for (size_t i = 0; i < size; ++i) {
        if (static_cast<int64_t>(i) >= skip) {
            const uint8_t byte = image[i];
            for (int bit = 0; bit < 8; ++bit) {
                if (behindOthers) pins.ClockLow();
                pins.ClockBit((byte >> bit) & 1);
                pins.ClockHigh();
            }
        }
        StepProgress();
    }
    for (int32_t i = 0; i < kTrailerBits; ++i) {
        pins.ClockBit(1);
        pins.ClockHigh();
    }
    if (position == 0) pins.ClockLow();
}

int32_t ProgramAlteraDevice(const THostObject& driver, const std::string& fileName, const THostObject& channelObject,
                            int32_t position)
{
    std::error_code ec;
    if (!channelObject || !std::filesystem::is_regular_file(fileName, ec)) return 0;
    TPinAccess pins(channelObject);
    std::vector<uint8_t> image = ReadWholeFile(fileName);
    const int32_t result = static_cast<int32_t>(image.size() * 8);
    const TChannel channel{channelObject};

    channel.Begin();
    channelObject.Call(ops::ResetChannel);
    Delay(40);
    const THostObject family = FindFamily(driver.CallString(ops::Driver_GetFamilyName));
    if (family.CallBool(ops::Family_GetParameterAsBoolean, {std::string("ND_ActiveDisengage")})) {
        channel.Goto(kStateRunTestIdle);
        channel.ScanIR(kInstructionActiveDisengage, position);
    }
    channel.Goto(kStateRunTestIdle);
    channel.ScanIR(kInstructionProgram, position);
    Delay(1000);
    pins.SetTDI(1);
    pins.Flush();
    channel.Move(kStateRunTestIdle, kStateShiftDR);
    const int32_t preamble = GetAlteraPreambleCycles(driver.CallString(ops::Driver_GetFamilyName));
    for (int32_t i = 0; i < preamble; ++i) {
        pins.ClockLow();
        pins.ClockHigh();
    }
    pins.SetTDI(0);
    pins.SetTMS(0);
    pins.SetTCK(0);
    pins.Flush();
    BeginProgress("Programming Device Via JTAG...", static_cast<int64_t>(image.size()));
    int64_t skip = 0;
    if (family.CallBool(ops::Family_HasIntegerParameter, {std::string("ND_ProgramBitsToIgnore")}))
        skip = family.CallInt(ops::Family_GetParameterAsInteger, {std::string("ND_ProgramBitsToIgnore")});
    ClockConfigurationData(pins, image.data(), image.size(), skip, position);
    pins.SetTDI(0);
    pins.Flush();
    pins.SetTCK(0);
    pins.Flush();
    for (int32_t i = 0; i < position; ++i) channel.ClockTMS(0);
    channel.ClockTMS(1);
    channel.Move(kStateExit1DR, kStateRunTestIdle);
    EndProgress();
    RunStartupSequence(channel, pins, position);
    channel.End();
    return result;
}

} // namespace arria5jtag
