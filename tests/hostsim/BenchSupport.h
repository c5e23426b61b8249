// Shared pieces of the JTAG bench tests: a three-device chain, a channel on it,
// and the Altera JTAG routines written out call by call, the way a driver drives
// the host's channel (whole scans through Invoke, data bits through the pin
// interface).
#pragma once

#include "devices/arria5/DeviceTables.h"
#include "hostsim/jtag/Arria5Device.h"
#include "hostsim/jtag/JtagChannel.h"
#include "hostsim/jtag/SimChain.h"
#include "jtag/AlteraStatusChain.h"
#include "plugin/com/DispatchRef.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace benchtest {

using namespace hostsim::jtag;
using Ch = TJtagChannel;

// First kind of a base name in the kind table.
inline int32_t KindOfBase(const char* baseName)
{
    for (int32_t kind = 0; kind < arria5::kDeviceKindCount; ++kind)
        if (std::strcmp(arria5::BaseNames[arria5::DeviceKinds[kind].BaseName].Name, baseName) == 0) return kind;
    throw std::invalid_argument(std::string("no kind of base ") + baseName);
}

// The other device of the test chain: a 5-bit instruction register, IDCODE instruction 1.
inline constexpr uint32_t kOtherIdCode = 0x1BEEF0E1u;
inline constexpr int32_t kOtherIrLength = 5;
inline constexpr uint32_t kOtherIdCodeInstruction = 0x01;

// Position 0 (next to TDI): 5AGTFC7H3 (560 groups); position 1: the other device;
// position 2 (next to TDO): 5AGXBA1D4 (496 groups, the smallest die).
// configBits shrinks the Arria V configuration size so tests can program quickly.
struct TThreeDeviceChain {
    explicit TThreeDeviceChain(int64_t configBits = 0)
        : First(Chain.Emplace<TArria5Device>(KindOfBase("5AGTFC7H3"), TArria5Device::TOptions{nullptr, configBits})),
          Other(Chain.Emplace<TBypassDevice>("other", kOtherIrLength, kOtherIdCode, kOtherIdCodeInstruction)),
          Last(Chain.Emplace<TArria5Device>(KindOfBase("5AGXBA1D4"), TArria5Device::TOptions{nullptr, configBits}))
    {
    }
    TSimChain Chain;
    TArria5Device& First;
    TBypassDevice& Other;
    TArria5Device& Last;

    uint32_t IdCodeAt(int32_t position) const { return *Chain.Device(position).IdCode(); }
    uint32_t IdCodeInstructionAt(int32_t position) const
    {
        return position == 1 ? kOtherIdCodeInstruction : TArria5Device::eIdCode;
    }
};

// A channel object on a cable, with its dispatch and pin-level faces.
struct TChannelUnderTest {
    TChannelUnderTest(std::shared_ptr<TJtagCable> cable, std::vector<int32_t> irLengths)
        : Object(hostsim::MakeHostObject<TJtagChannel>(std::move(cable), std::move(irLengths))),
          Dispatch(static_cast<com::IDispatch*>(Object.Get()))
    {
        void* pins = nullptr;
        if (Object->QueryInterface(com::IID_IJTagPinAccess, &pins) != com::S_OK || !pins)
            throw std::runtime_error("the channel offers no pin-level interface");
        Pins = static_cast<com::IJTagPinAccess*>(pins);
    }
    ~TChannelUnderTest()
    {
        if (Pins) Pins->Release();
    }
    TChannelUnderTest(const TChannelUnderTest&) = delete;
    TChannelUnderTest& operator=(const TChannelUnderTest&) = delete;

    hostsim::THostPtr<TJtagChannel> Object;
    com::TDispatchRef Dispatch;
    com::IJTagPinAccess* Pins = nullptr;
};

// Pin calls whose status is tested, as a driver does.
inline void Check(com::HRESULT hr)
{
    if (hr != com::S_OK) throw std::runtime_error("pin-level call failed");
}

// ---- the routines ------------------------------------------------------------

inline int32_t ReadJTagRegister(const com::TDispatchRef& channel, int32_t position, int32_t instruction)
{
    channel.Call(Ch::kBeginAccess);
    try {
        channel.Call(Ch::kGotoTAPState, {2});
        channel.Call(Ch::kScanIR, {instruction, position});
        const int32_t value = channel.CallInt(Ch::kScanDR, {0, 32, position});
        channel.Call(Ch::kEndAccess);
        return value;
    } catch (...) {
        channel.Call(Ch::kEndAccess);
        throw;
    }
}

// The configuration-done bit: CHECK_STATUS, then 3(N-K) + count - position clocks in Shift-DR.
// extraClocks moves the sampling point (0 for the routine itself).
inline int ReadConfigDoneStatus(const com::TDispatchRef& channel, com::IJTagPinAccess* pins, const char* baseName,
                                int32_t position, int32_t extraClocks = 0)
{
    channel.Call(Ch::kBeginAccess);
    channel.Call(Ch::kScanIR, {4, position});
    channel.Call(Ch::kMoveTAPState, {2, 5});
    int32_t n = 0, k = 0;
    if (!arria5jtag::GetAlteraStatusChainInfo(baseName, n, k) || n == 0) {
        channel.Call(Ch::kEndAccess);
        return 0;
    }
    const int32_t count = 3 * (n - k) + channel.CallInt(Ch::kGetDeviceCount) - position + extraClocks;
    for (int32_t i = 0; i < count; ++i) channel.Call(Ch::kClockTMS, {0});
    uint8_t level = 0;
    Check(pins->Sample());
    Check(pins->GetTDO(&level));
    channel.Call(Ch::kClockTMS, {1});
    channel.Call(Ch::kMoveTAPState, {6, 2});
    channel.Call(Ch::kEndAccess);
    return level;
}

inline int DeviceState(const com::TDispatchRef& channel, com::IJTagPinAccess* pins, const char* baseName,
                       int32_t position)
{
    return ReadConfigDoneStatus(channel, pins, baseName, position) != 0 ? 2 : 1;
}

// PROGRAM alone: clears the configuration.
inline void LoadProgram(const com::TDispatchRef& channel, int32_t position)
{
    channel.Call(Ch::kBeginAccess);
    channel.Call(Ch::kGotoTAPState, {2});
    channel.Call(Ch::kScanIR, {2, position});
    channel.Call(Ch::kGotoTAPState, {2});
    channel.Call(Ch::kEndAccess);
}

struct TProgramOptions {
    int32_t PreambleClocks = 175;
    int32_t BytesToIgnore = 0;
    bool ActiveDisengage = false;
};

// Clocks a raw bit file into the device at `position`: PROGRAM, leading clocks
// with TDI high, the file's bytes bit 0 first, 128 trailer bits, the startup
// sequence. Returns the file's size in bits.
inline int64_t ProgramBytes(const com::TDispatchRef& channel, com::IJTagPinAccess* pins,
                            const std::vector<uint8_t>& file, int32_t position, const TProgramOptions& options = {})
{
    auto clockLow = [&] {
        Check(pins->SetTCK(0));
        Check(pins->Flush());
    };
    auto clockHigh = [&] {
        Check(pins->SetTCK(1));
        Check(pins->Flush());
    };
    auto clockBit = [&](int bit) {
        Check(pins->SetTCK(0));
        Check(pins->SetTDI(bit));
        Check(pins->Flush());
    };

    channel.Call(Ch::kBeginAccess);
    channel.Call(Ch::kResetChannel);
    if (options.ActiveDisengage) {
        channel.Call(Ch::kGotoTAPState, {2});
        channel.Call(Ch::kScanIR, {720, position});
    }
    channel.Call(Ch::kGotoTAPState, {2});
    channel.Call(Ch::kScanIR, {2, position});
    Check(pins->SetTDI(1));
    Check(pins->Flush());
    channel.Call(Ch::kMoveTAPState, {2, 5});
    for (int32_t i = 0; i < options.PreambleClocks; ++i) {
        clockLow();
        clockHigh();
    }
    Check(pins->SetTDI(0));
    Check(pins->SetTMS(0));
    Check(pins->SetTCK(0));
    Check(pins->Flush());
    for (size_t i = static_cast<size_t>(options.BytesToIgnore); i < file.size(); ++i) {
        for (int k = 0; k < 8; ++k) {
            if (position >= 1) clockLow();
            clockBit((file[i] >> k) & 1);
            clockHigh();
        }
    }
    for (int i = 0; i < 128; ++i) {
        clockBit(1);
        clockHigh();
    }
    if (position == 0) clockLow();
    Check(pins->SetTDI(0));
    Check(pins->Flush());
    Check(pins->SetTCK(0));
    Check(pins->Flush());
    for (int32_t i = 0; i < position; ++i) channel.Call(Ch::kClockTMS, {0});
    channel.Call(Ch::kClockTMS, {1});
    channel.Call(Ch::kMoveTAPState, {6, 2});
    // Startup: STARTUP, then 400 clocks in Run-Test/Idle with TDI alternating.
    channel.Call(Ch::kScanIR, {3, position});
    for (int i = 0; i < 200; ++i) {
        Check(pins->SetTDI(0));
        Check(pins->Flush());
        channel.Call(Ch::kClockTMS, {0});
        Check(pins->SetTDI(1));
        Check(pins->Flush());
        channel.Call(Ch::kClockTMS, {0});
    }
    channel.Call(Ch::kGotoTAPState, {2});
    channel.Call(Ch::kEndAccess);
    return static_cast<int64_t>(file.size()) * 8;
}

} // namespace benchtest
