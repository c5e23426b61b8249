#include "hostsim/jtag/JtagChannel.h"

#include <stdexcept>

namespace hostsim::jtag {

namespace {

constexpr const char* kOpNames[] = {
    "BeginAccess",   "EndAccess", "GetDeviceCount", "GetDevice", "ResetChannel", "ScanIR", "MoveTAPState",
    "GotoTAPState",  "ClockTMS",  "ShiftDR",        "ShiftDRRead", "ShiftDRString", "ScanDR", "GetPort",
    "SetTCK",        "SetTDI",    "SetTMS",         "GetTDO",    "Flush",        "Sample"};

uint32_t Bit(TJtagOp op) { return 1u << static_cast<uint32_t>(op); }

TTapState CheckedState(int32_t code)
{
    if (!IsTapState(code)) throw std::invalid_argument("no TAP state " + std::to_string(code));
    return static_cast<TTapState>(code);
}

int32_t BitsToInt(const std::vector<uint8_t>& bits)
{
    uint32_t value = 0;
    for (size_t i = 0; i < bits.size() && i < 32; ++i) value |= static_cast<uint32_t>(bits[i] & 1u) << i;
    return static_cast<int32_t>(value);
}

std::vector<uint8_t> IntToBits(int32_t value, int32_t count)
{
    if (count < 0) throw std::invalid_argument("negative bit count " + std::to_string(count));
    std::vector<uint8_t> bits(static_cast<size_t>(count), 0);
    for (int32_t i = 0; i < count && i < 32; ++i) bits[static_cast<size_t>(i)] = (static_cast<uint32_t>(value) >> i) & 1u;
    return bits;
}

} // namespace

const char* JtagOpName(TJtagOp op)
{
    const auto index = static_cast<size_t>(op);
    return index < std::size(kOpNames) ? kOpNames[index] : "?";
}

std::string TJtagCall::ToString() const
{
    std::string text = JtagOpName(Op);
    text += '(';
    bool first = true;
    if (Op == TJtagOp::ShiftDRString) {
        text += '"' + Text + '"';
        first = false;
    }
    for (int64_t arg : Args) {
        if (!first) text += ", ";
        text += std::to_string(arg);
        first = false;
    }
    text += ')';
    if (Failed) text += " failed";
    else if (Result) text += " = " + std::to_string(*Result);
    else if (Op == TJtagOp::ShiftDRString) text += " = \"" + TextResult + '"';
    return text;
}

// ---- TJtagDeviceObject ----------------------------------------------------------

TJtagDeviceObject::TJtagDeviceObject(int32_t position, int32_t irLength)
    : THostDispatchObject("JTAG device " + std::to_string(position)), FPosition(position), FIrLength(irLength)
{
    Method(kGetBoundaryScanEntity, [this]() { return FEntity; });
}

TJtagDeviceObject::~TJtagDeviceObject()
{
    if (FEntity) FEntity->Release();
}

void TJtagDeviceObject::SetBoundaryScanEntity(com::IDispatch* entity)
{
    if (entity) entity->AddRef();
    if (FEntity) FEntity->Release();
    FEntity = entity;
}

// ---- TJtagChannel: construction and host-side controls ---------------------------

TJtagChannel::TJtagChannel(std::shared_ptr<TJtagCable> cable, std::vector<int32_t> irLengths)
    : THostDispatchObject("JTAG channel"), FCable(std::move(cable)), FIrLengths(std::move(irLengths)),
      FDefaultPort(MakeHostObject<TJtagPortObject>())
{
    if (!FCable) throw std::invalid_argument("a channel needs a cable");
    for (size_t p = 0; p < FIrLengths.size(); ++p) {
        if (FIrLengths[p] < 1 || FIrLengths[p] > 32)
            throw std::invalid_argument("instruction length " + std::to_string(FIrLengths[p]) + " at position " +
                                        std::to_string(p));
        FDevices.push_back(MakeHostObject<TJtagDeviceObject>(static_cast<int32_t>(p), FIrLengths[p]));
    }
    FPort = FDefaultPort.Get();
    FPort->AddRef();

    Method(kBeginAccess, [this]() { return BeginAccess(); });
    Method(kEndAccess, [this]() { EndAccess(); });
    Method(kGetDeviceCount, [this]() { return GetDeviceCount(); });
    Method(kGetDevice, [this](int32_t index) -> com::IDispatch* { return GetDevice(index); });
    Method(kResetChannel, [this]() { ResetChannel(); });
    Method(kScanIR, [this](int32_t instruction, int32_t index) { ScanIR(instruction, index); });
    Method(kMoveTAPState, [this](int32_t from, int32_t to) { MoveTAPState(from, to); });
    Method(kGotoTAPState, [this](int32_t state) { GotoTAPState(state); });
    Method(kClockTMS, [this](int32_t tms) { ClockTMS(tms); });
    Method(kShiftDR, [this](int32_t value, int32_t bitCount, int32_t index) { ShiftDR(value, bitCount, index); });
    Method(kShiftDRRead,
           [this](int32_t value, int32_t bitCount, int32_t index) { return ShiftDRRead(value, bitCount, index); });
    Method(kShiftDRString, [this](std::string bits, int32_t index) { return ShiftDRString(bits, index); });
    Method(kScanDR, [this](int32_t value, int32_t bitCount, int32_t index) { return ScanDR(value, bitCount, index); });
    Method(kGetPort, [this]() { return GetPort(); });
}

TJtagChannel::~TJtagChannel()
{
    if (FPort) FPort->Release();
}

com::HRESULT TJtagChannel::QueryInterface(const com::GUID& iid, void** object)
{
    return THostDispatchObject::QueryInterface(iid, object);
}

void* TJtagChannel::QueryExtraInterface(const com::GUID& iid)
{
    if (iid == com::IID_IJTagPinAccess && FPinAccessOffered) return static_cast<com::IJTagPinAccess*>(this);
    return nullptr;
}

TJtagDeviceObject& TJtagChannel::Device(int32_t index) const
{
    CheckIndex(index);
    return *FDevices[static_cast<size_t>(index)];
}

void TJtagChannel::SetPort(com::IDispatch* port)
{
    if (port) port->AddRef();
    if (FPort) FPort->Release();
    FPort = port;
}

void TJtagChannel::FailOperation(TJtagOp op, bool fail)
{
    if (fail) FFailures |= Bit(op);
    else FFailures &= ~Bit(op);
}

void TJtagChannel::CheckIndex(int32_t index) const
{
    if (index < 0 || index >= static_cast<int32_t>(FIrLengths.size()))
        throw std::out_of_range("no device at chain position " + std::to_string(index) + " (chain of " +
                                std::to_string(FIrLengths.size()) + ")");
}

void TJtagChannel::CheckInjected(TJtagOp op) const
{
    if (FFailures & Bit(op)) throw std::runtime_error(std::string(JtagOpName(op)) + " failed (injected)");
}

// ---- call log -----------------------------------------------------------------------

size_t TJtagChannel::Record(TJtagOp op, std::vector<int64_t> args, std::string text)
{
    if (!FLogging) return SIZE_MAX;
    FLog.push_back(TJtagCall{op, std::move(args), std::move(text), std::nullopt, {}, false});
    return FLog.size() - 1;
}

void TJtagChannel::RecordResult(size_t entry, int64_t result)
{
    if (entry < FLog.size()) FLog[entry].Result = result;
}

void TJtagChannel::RecordFailure(size_t entry)
{
    if (entry < FLog.size()) FLog[entry].Failed = true;
}

template <class F> auto TJtagChannel::Logged(TJtagOp op, std::vector<int64_t> args, F&& body, std::string text)
{
    const size_t entry = Record(op, std::move(args), std::move(text));
    try {
        CheckInjected(op);
        using R = decltype(body());
        if constexpr (std::is_void_v<R>) {
            body();
        } else {
            R result = body();
            if constexpr (std::is_integral_v<R>) RecordResult(entry, static_cast<int64_t>(result));
            else if constexpr (std::is_same_v<R, std::string>) {
                if (entry < FLog.size()) FLog[entry].TextResult = result;
            }
            return result;
        }
    } catch (...) {
        RecordFailure(entry);
        throw;
    }
}

template <class F> com::HRESULT TJtagChannel::SlowPin(TJtagOp op, std::vector<int64_t> args, F&& body)
{
    const size_t entry = Record(op, std::move(args));
    try {
        CheckInjected(op);
        const std::optional<int64_t> result = body();
        if (result) RecordResult(entry, *result);
        return com::S_OK;
    } catch (const std::exception& error) {
        FLastPinError = error.what();
    } catch (...) {
        FLastPinError = "unknown failure";
    }
    RecordFailure(entry);
    return com::E_UNEXPECTED;
}

// ---- pin level ------------------------------------------------------------------------

void TJtagChannel::Drive(const TPins& pins)
{
    if (pins == FApplied) return;
    if (pins.Tck && !FApplied.Tck) FTracker.Clock(pins.Tms);
    FCable->Write(pins.Tck, pins.Tms, pins.Tdi);
    FApplied = pins;
}

com::HRESULT TJtagChannel::SetTCK(int32_t level)
{
    if (FLogging || FFailures)
        return SlowPin(TJtagOp::SetTCK, {level}, [&]() -> std::optional<int64_t> {
            FPending.Tck = level != 0;
            return std::nullopt;
        });
    FPending.Tck = level != 0;
    return com::S_OK;
}

com::HRESULT TJtagChannel::SetTDI(int32_t level)
{
    if (FLogging || FFailures)
        return SlowPin(TJtagOp::SetTDI, {level}, [&]() -> std::optional<int64_t> {
            FPending.Tdi = level != 0;
            return std::nullopt;
        });
    FPending.Tdi = level != 0;
    return com::S_OK;
}

com::HRESULT TJtagChannel::SetTMS(int32_t level)
{
    if (FLogging || FFailures)
        return SlowPin(TJtagOp::SetTMS, {level}, [&]() -> std::optional<int64_t> {
            FPending.Tms = level != 0;
            return std::nullopt;
        });
    FPending.Tms = level != 0;
    return com::S_OK;
}

com::HRESULT TJtagChannel::Flush()
{
    if (FLogging || FFailures)
        return SlowPin(TJtagOp::Flush, {}, [&]() -> std::optional<int64_t> {
            Drive(FPending);
            return std::nullopt;
        });
    try {
        Drive(FPending);
        return com::S_OK;
    } catch (const std::exception& error) {
        FLastPinError = error.what();
        return com::E_UNEXPECTED;
    }
}

com::HRESULT TJtagChannel::Sample()
{
    return SlowPin(TJtagOp::Sample, {}, [&]() -> std::optional<int64_t> {
        FSampledTdo = FCable->ReadTdo() ? 1 : 0;
        return std::nullopt;
    });
}

com::HRESULT TJtagChannel::GetTDO(uint8_t* level)
{
    if (!level) return com::E_POINTER;
    return SlowPin(TJtagOp::GetTDO, {}, [&]() -> std::optional<int64_t> {
        *level = FSampledTdo;
        return FSampledTdo;
    });
}

// ---- cycles of channel operations -----------------------------------------------------

void TJtagChannel::BeginCycles()
{
    FTms.clear();
    FTdi.clear();
}

void TJtagChannel::AddCycle(bool tms, bool tdi)
{
    FTms.push_back(tms ? 1 : 0);
    FTdi.push_back(tdi ? 1 : 0);
}

void TJtagChannel::AddPath(TTapState to)
{
    // Walk from where the cycles collected so far leave the TAP.
    TTapTracker tracker = FTracker;
    for (uint8_t tms : FTms) tracker.Clock(tms != 0);
    const TTmsPath path = ShortestTmsPath(tracker.State(), to);
    const bool tdi = FTdi.empty() ? FApplied.Tdi : FTdi.back() != 0;
    for (int32_t i = 0; i < path.Length; ++i) AddCycle(((path.Bits >> i) & 1u) != 0, tdi);
}

void TJtagChannel::RunCycles(bool readTdo)
{
    FTdo.assign(readTdo ? FTms.size() : 0, 0);
    if (FTms.empty()) return;
    // A Flush may have left TCK high: the first cycle's low phase is then a falling edge.
    FCable->ClockCycles(FTms.data(), FTdi.data(), readTdo ? FTdo.data() : nullptr, FTms.size());
    for (uint8_t tms : FTms) FTracker.Clock(tms != 0);
    FApplied = TPins{false, FTms.back() != 0, FTdi.back() != 0};
    FPending = FApplied;
}

std::vector<uint8_t> TJtagChannel::DrChainBits(const std::vector<uint8_t>& deviceBits, int32_t index) const
{
    // First in goes farthest: the bypass bits of the devices nearer TDO, then the
    // device's bits, then the bypass bits of the `index` devices nearer TDI.
    const size_t behind = FIrLengths.size() - 1 - static_cast<size_t>(index);
    std::vector<uint8_t> bits(behind, 0);
    bits.insert(bits.end(), deviceBits.begin(), deviceBits.end());
    bits.insert(bits.end(), static_cast<size_t>(index), 0);
    return bits;
}

// ---- channel operations --------------------------------------------------------------

bool TJtagChannel::BeginAccess()
{
    return Logged(TJtagOp::BeginAccess, {}, [&] {
        ++FAccessDepth;
        return true;
    });
}

void TJtagChannel::EndAccess()
{
    Logged(TJtagOp::EndAccess, {}, [&] {
        if (FAccessDepth > 0) --FAccessDepth;
        FCable->Flush();
    });
}

int32_t TJtagChannel::GetDeviceCount()
{
    return Logged(TJtagOp::GetDeviceCount, {}, [&] { return static_cast<int32_t>(FIrLengths.size()); });
}

TJtagDeviceObject* TJtagChannel::GetDevice(int32_t index)
{
    return Logged(TJtagOp::GetDevice, {index}, [&] {
        CheckIndex(index);
        return FDevices[static_cast<size_t>(index)].Get();
    });
}

com::IDispatch* TJtagChannel::GetPort()
{
    return Logged(TJtagOp::GetPort, {}, [&] { return FPort; });
}

void TJtagChannel::ResetChannel()
{
    Logged(TJtagOp::ResetChannel, {}, [&] {
        FCable->Flush();
        BeginCycles();
        for (int i = 0; i < 5; ++i) AddCycle(true, FApplied.Tdi);
        RunCycles(false);
    });
}

void TJtagChannel::GotoTAPState(int32_t state)
{
    Logged(TJtagOp::GotoTAPState, {state}, [&] {
        const TTapState to = CheckedState(state);
        BeginCycles();
        AddPath(to);
        RunCycles(false);
    });
}

void TJtagChannel::MoveTAPState(int32_t from, int32_t to)
{
    Logged(TJtagOp::MoveTAPState, {from, to}, [&] {
        const TTapState start = CheckedState(from);
        const TTapState target = CheckedState(to);
        // The state the TAP is really in wins over the caller's idea of it.
        if (FTracker.State() == eTapUnknown) FTracker.Set(start);
        BeginCycles();
        AddPath(target);
        RunCycles(false);
    });
}

void TJtagChannel::ClockTMS(int32_t tms)
{
    Logged(TJtagOp::ClockTMS, {tms}, [&] {
        BeginCycles();
        AddCycle(tms != 0, FApplied.Tdi);
        RunCycles(false);
    });
}

void TJtagChannel::ScanIR(int32_t instruction, int32_t index)
{
    Logged(TJtagOp::ScanIR, {instruction, index}, [&] {
        CheckIndex(index);
        BeginCycles();
        AddPath(eTapShiftIR);
        // Device nearest TDO first; the others get BYPASS (all ones).
        for (int32_t p = static_cast<int32_t>(FIrLengths.size()) - 1; p >= 0; --p) {
            const uint32_t value = p == index ? static_cast<uint32_t>(instruction) : 0xFFFFFFFFu;
            for (int32_t b = 0; b < FIrLengths[static_cast<size_t>(p)]; ++b) AddCycle(false, (value >> b) & 1u);
        }
        FTms.back() = 1; // the last bit leaves Shift-IR
        AddPath(eTapRunTestIdle);
        RunCycles(false);
    });
}

int32_t TJtagChannel::ScanDR(int32_t value, int32_t bitCount, int32_t index)
{
    return Logged(TJtagOp::ScanDR, {value, bitCount, index}, [&] {
        CheckIndex(index);
        if (bitCount < 1) throw std::invalid_argument("a data scan needs at least one bit");
        const std::vector<uint8_t> chainBits = DrChainBits(IntToBits(value, bitCount), index);
        BeginCycles();
        AddPath(eTapShiftDR);
        const size_t first = FTms.size();
        for (uint8_t bit : chainBits) AddCycle(false, bit != 0);
        FTms.back() = 1;
        AddPath(eTapRunTestIdle);
        RunCycles(true);
        const size_t behind = FIrLengths.size() - 1 - static_cast<size_t>(index);
        std::vector<uint8_t> captured(FTdo.begin() + static_cast<std::ptrdiff_t>(first + behind),
                                      FTdo.begin() + static_cast<std::ptrdiff_t>(first + behind + bitCount));
        return BitsToInt(captured);
    });
}

std::vector<uint8_t> TJtagChannel::ShiftInShiftDR(const std::vector<uint8_t>& deviceBits, int32_t index)
{
    CheckIndex(index);
    if (FTracker.State() != eTapShiftDR)
        throw std::logic_error(std::string("shifting needs the TAP in Shift-DR, it is in ") +
                               TapStateName(FTracker.State()));
    const std::vector<uint8_t> chainBits = DrChainBits(deviceBits, index);
    if (chainBits.empty()) return {};
    // All bits but the last are clocked; the last waits on TDI for the caller's exit clock.
    BeginCycles();
    for (size_t i = 0; i + 1 < chainBits.size(); ++i) AddCycle(false, chainBits[i] != 0);
    RunCycles(true);
    std::vector<uint8_t> out = FTdo;
    Drive(TPins{false, false, chainBits.back() != 0});
    FPending = FApplied;
    out.push_back(FCable->ReadTdo() ? 1 : 0);
    const size_t behind = FIrLengths.size() - 1 - static_cast<size_t>(index);
    return std::vector<uint8_t>(out.begin() + static_cast<std::ptrdiff_t>(behind),
                                out.begin() + static_cast<std::ptrdiff_t>(behind + deviceBits.size()));
}

void TJtagChannel::ShiftDR(int32_t value, int32_t bitCount, int32_t index)
{
    Logged(TJtagOp::ShiftDR, {value, bitCount, index}, [&] { ShiftInShiftDR(IntToBits(value, bitCount), index); });
}

int32_t TJtagChannel::ShiftDRRead(int32_t value, int32_t bitCount, int32_t index)
{
    return Logged(TJtagOp::ShiftDRRead, {value, bitCount, index},
                  [&] { return BitsToInt(ShiftInShiftDR(IntToBits(value, bitCount), index)); });
}

std::string TJtagChannel::ShiftDRString(const std::string& bits, int32_t index)
{
    return Logged(
        TJtagOp::ShiftDRString, {index},
        [&] {
            // The text is written most significant bit first: its last character goes first.
            std::vector<uint8_t> deviceBits(bits.size());
            for (size_t i = 0; i < bits.size(); ++i) {
                const char c = bits[bits.size() - 1 - i];
                if (c != '0' && c != '1') throw std::invalid_argument("'" + bits + "' is not a text of 0 and 1");
                deviceBits[i] = c == '1' ? 1 : 0;
            }
            const std::vector<uint8_t> out = ShiftInShiftDR(deviceBits, index);
            std::string text(out.size(), '0');
            for (size_t i = 0; i < out.size(); ++i) text[out.size() - 1 - i] = out[i] ? '1' : '0';
            return text;
        },
        bits);
}

} // namespace hostsim::jtag
