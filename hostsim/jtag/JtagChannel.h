// The host's JTAG channel object: what a driver receives as the channel of its
// chain. It offers the channel operations through IDispatch and the pin-level
// interface IJTagPinAccess (QueryInterface), both driving one cable, so either
// level sees what the other did.
//
// Conventions:
// - Position p (the Index argument) is the number of devices between TDI and the
//   device: p = 0 is next to TDI. A scan of device p puts every other device in
//   BYPASS (instruction all ones) and gives each of them one bypass bit.
// - A TCK cycle of a channel operation drives TCK low with the cycle's TMS/TDI,
//   then high (the chain samples TMS/TDI on that rising edge); every operation
//   ends with TCK low, so TDO then shows the bit after the last shift. Moves and
//   ClockTMS keep TDI at its level; scans leave it at the last bit shifted.
// - The channel follows the TAP state from every rising edge it makes, whether a
//   channel operation or a pin-level Flush made it. It starts unknown; a walk
//   from an unknown state first clocks five times with TMS high.
// - Pin levels set through IJTagPinAccess reach the cable on Flush only; a
//   channel operation starts from the levels last flushed and drops unflushed
//   ones. GetTDO answers the level read by the last Sample.
// - ShiftDR, ShiftDRRead and ShiftDRString need the TAP in Shift-DR. They shift
//   the device's bits (value LSB first, or the text's last character first) plus
//   one bypass bit per other device, all with TMS low but the last, which they
//   only put on TDI: the caller's ClockTMS(1) (or a move out of Shift-DR) clocks
//   it, so "MoveTAPState(2, 5), shift, ClockTMS(1), MoveTAPState(6, 2)" is one
//   exact scan. The bits read are those of the device, captured in Capture-DR.
// - ScanIR and ScanDR are whole scans from the current state (normally
//   Run-Test/Idle) back to Run-Test/Idle. ScanDR, ShiftDRRead return the first
//   32 bits read (bit 0 = first bit of the device out).
#pragma once

#include "hostsim/dispatch/HostDispatchObject.h"
#include "hostsim/jtag/Cable.h"
#include "hostsim/jtag/TapState.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace hostsim::jtag {

// Every channel and pin operation, for the call log and for injected failures.
enum class TJtagOp : uint8_t {
    BeginAccess,
    EndAccess,
    GetDeviceCount,
    GetDevice,
    ResetChannel,
    ScanIR,
    MoveTAPState,
    GotoTAPState,
    ClockTMS,
    ShiftDR,
    ShiftDRRead,
    ShiftDRString,
    ScanDR,
    GetPort,
    SetTCK,
    SetTDI,
    SetTMS,
    GetTDO,
    Flush,
    Sample,
};
const char* JtagOpName(TJtagOp op);

// One call as the channel received it.
struct TJtagCall {
    TJtagOp Op;
    std::vector<int64_t> Args;      // numeric arguments in the caller's order
    std::string Text;               // the bit text of ShiftDRString
    std::optional<int64_t> Result;  // numeric result
    std::string TextResult;         // result of ShiftDRString
    bool Failed = false;            // the call raised an error
    // "ScanIR(4, 0)", "ScanDR(0, 32, 1) = 44044509", "ShiftDRString(\"0101\", 0) = \"1100\"", "GetTDO() = 1"
    std::string ToString() const;
};

// A device of the chain as the channel hands it out (GetDevice).
class TJtagDeviceObject : public THostDispatchObject {
public:
    static constexpr int32_t kGetBoundaryScanEntity = 503550;

    TJtagDeviceObject(int32_t position, int32_t irLength);
    int32_t Position() const { return FPosition; }
    int32_t IrLength() const { return FIrLength; }
    // The boundary-scan entity returned by 503550; empty (null) until set. The
    // object keeps its own reference.
    void SetBoundaryScanEntity(com::IDispatch* entity);
    com::IDispatch* BoundaryScanEntity() const { return FEntity; }

protected:
    ~TJtagDeviceObject() override;

private:
    int32_t FPosition;
    int32_t FIrLength;
    com::IDispatch* FEntity = nullptr;
};

// The port the channel belongs to (GetPort). It has no operations of its own yet.
class TJtagPortObject : public THostDispatchObject {
public:
    TJtagPortObject() : THostDispatchObject("JTAG port") {}
};

class TJtagChannel : public THostDispatchObject, public com::IJTagPinAccess {
public:
    enum : int32_t {
        kBeginAccess = 503425,
        kEndAccess = 503426,
        kShiftDR = 503588,
        kShiftDRRead = 503589,
        kShiftDRString = 503591,
        kScanDR = 503599,
        kScanIR = 503601,
        kMoveTAPState = 503605,
        kGotoTAPState = 503607,
        kClockTMS = 503608,
        kGetDeviceCount = 503578,
        kGetDevice = 503579,
        kResetChannel = 503581,
        kGetPort = 503611,
    };

    // irLengths: instruction register length of each device, position 0 first.
    TJtagChannel(std::shared_ptr<TJtagCable> cable, std::vector<int32_t> irLengths);

    // IUnknown, shared by IDispatch and IJTagPinAccess.
    com::HRESULT QueryInterface(const com::GUID& iid, void** object) override;
    uint32_t AddRef() override { return THostDispatchObject::AddRef(); }
    uint32_t Release() override { return THostDispatchObject::Release(); }

    // IJTagPinAccess. Levels: 0 low, anything else high. A failing cable gives E_UNEXPECTED.
    com::HRESULT Reserved1() override { return com::E_NOTIMPL; }
    com::HRESULT Reserved2() override { return com::E_NOTIMPL; }
    com::HRESULT SetTCK(int32_t level) override;
    com::HRESULT Reserved4() override { return com::E_NOTIMPL; }
    com::HRESULT SetTDI(int32_t level) override;
    com::HRESULT SetTMS(int32_t level) override;
    com::HRESULT Reserved7() override { return com::E_NOTIMPL; }
    com::HRESULT GetTDO(uint8_t* level) override;
    com::HRESULT Reserved9() override { return com::E_NOTIMPL; }
    com::HRESULT Reserved10() override { return com::E_NOTIMPL; }
    com::HRESULT Flush() override;
    com::HRESULT Sample() override;

    // The channel operations (the dispatch methods call these). Errors throw.
    bool BeginAccess();
    void EndAccess();
    int32_t GetDeviceCount();
    TJtagDeviceObject* GetDevice(int32_t index);
    void ResetChannel();
    void ScanIR(int32_t instruction, int32_t index);
    void MoveTAPState(int32_t from, int32_t to);
    void GotoTAPState(int32_t state);
    void ClockTMS(int32_t tms);
    void ShiftDR(int32_t value, int32_t bitCount, int32_t index);
    int32_t ShiftDRRead(int32_t value, int32_t bitCount, int32_t index);
    std::string ShiftDRString(const std::string& bits, int32_t index);
    int32_t ScanDR(int32_t value, int32_t bitCount, int32_t index);
    com::IDispatch* GetPort();

    // Host-side controls.
    TJtagCable& Cable() const { return *FCable; }
    TTapState TapState() const { return FTracker.State(); }
    int32_t AccessDepth() const { return FAccessDepth; }
    TJtagDeviceObject& Device(int32_t index) const;
    void SetPort(com::IDispatch* port);
    // Whether QueryInterface offers IJTagPinAccess (on by default).
    void SetPinAccessOffered(bool offered) { FPinAccessOffered = offered; }
    // Makes every later call of the operation fail (dispatch: DISP_E_EXCEPTION,
    // pin level: E_UNEXPECTED) until cleared.
    void FailOperation(TJtagOp op, bool fail = true);

    // Call log: every channel and pin call in order, when enabled.
    void EnableCallLog(bool enabled = true) { FLogging = enabled; }
    const std::vector<TJtagCall>& CallLog() const { return FLog; }
    void ClearCallLog() { FLog.clear(); }
    // The message of the last failure a pin-level call reported.
    const std::string& LastPinError() const { return FLastPinError; }

protected:
    ~TJtagChannel() override;
    void* QueryExtraInterface(const com::GUID& iid) override;

private:
    struct TPins {
        bool Tck = false;
        bool Tms = true;
        bool Tdi = true;
        bool operator==(const TPins&) const = default;
    };

    void CheckIndex(int32_t index) const;
    void CheckInjected(TJtagOp op) const;
    size_t Record(TJtagOp op, std::vector<int64_t> args, std::string text = {});
    void RecordResult(size_t entry, int64_t result);
    void RecordFailure(size_t entry);
    template <class F> auto Logged(TJtagOp op, std::vector<int64_t> args, F&& body, std::string text = {});
    // Pin call with logging or injected failures on; body returns the value to log, if any.
    template <class F> com::HRESULT SlowPin(TJtagOp op, std::vector<int64_t> args, F&& body);

    // Scan building: cycles collected in FTms/FTdi, run by RunCycles.
    void BeginCycles();
    void AddPath(TTapState to);
    void AddCycle(bool tms, bool tdi);
    void RunCycles(bool readTdo);
    // TDI bits of a data scan of device `index`: one bypass bit per other device.
    std::vector<uint8_t> DrChainBits(const std::vector<uint8_t>& deviceBits, int32_t index) const;
    std::vector<uint8_t> ShiftInShiftDR(const std::vector<uint8_t>& deviceBits, int32_t index);
    void Drive(const TPins& pins);

    std::shared_ptr<TJtagCable> FCable;
    std::vector<int32_t> FIrLengths;
    std::vector<THostPtr<TJtagDeviceObject>> FDevices;
    com::IDispatch* FPort = nullptr;
    THostPtr<TJtagPortObject> FDefaultPort;

    TTapTracker FTracker;
    TPins FApplied;
    TPins FPending;
    uint8_t FSampledTdo = 0;
    int32_t FAccessDepth = 0;
    bool FPinAccessOffered = true;
    uint32_t FFailures = 0;
    bool FLogging = false;
    std::vector<TJtagCall> FLog;
    std::string FLastPinError;

    std::vector<uint8_t> FTms, FTdi, FTdo;
};

} // namespace hostsim::jtag
