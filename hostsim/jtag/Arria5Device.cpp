#include "hostsim/jtag/Arria5Device.h"

#include "devices/arria5/DeviceTables.h"
#include "jtag/AlteraStatusChain.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace hostsim::jtag {

namespace {

TDieTarget TargetOf(int32_t kind, int64_t configBits)
{
    TDieTarget die = DieOfKind(kind);
    if (configBits > 0) die.ConfigBits = configBits;
    return die;
}

} // namespace

bool TArria5Device::StatusChainOf(const char* baseName, int32_t& n, int32_t& k)
{
    if (arria5jtag::GetAlteraStatusChainInfo(baseName, n, k)) return true;
    if (std::strcmp(baseName, "5ASTFD3K3") == 0 || std::strcmp(baseName, "5ASTFD5K3") == 0) {
        n = 823;
        k = 817;
        return true;
    }
    return false;
}

TArria5Device::TArria5Device(int32_t kind, TOptions options)
    : TSimDevice(kind >= 0 && kind < arria5::kDeviceKindCount ? arria5::DeviceKinds[kind].FullName : "?", kIrLength),
      FKind(kind), FDie(TargetOf(kind, options.ConfigBits)), FBoard(std::move(options.Board)), FReceiver(FDie)
{
    if (!StatusChainOf(BaseName(), FGroups, FDoneGroup))
        throw std::invalid_argument(std::string("no status chain for ") + BaseName());
    if (!FBoard) FBoard = std::make_shared<TToggleBoardModel>();
    FScratch.assign(static_cast<size_t>(BoundaryLength()), 0);
    FBoundaryUpdate.assign(static_cast<size_t>(BoundaryLength()), 0);
}

const char* TArria5Device::BaseName() const { return arria5::BaseNames[arria5::DeviceKinds[FKind].BaseName].Name; }

void TArria5Device::InstructionUpdated(uint32_t instruction)
{
    switch (instruction) {
    case eProgram:
        FConfigured = false;
        FReceiver.Reset();
        break;
    case eStartup:
        if (FReceiver.Complete()) {
            FConfigured = true;
            FUserCode = FReceiver.UserCode();
        }
        break;
    case eActiveDisengage: FDisengaged = true; break;
    default: break;
    }
}

void TArria5Device::CaptureDr()
{
    switch (Instruction()) {
    case eIdCode:
        FSelected = eShortRegister;
        FShort.Load(FDie.IdCode, 32);
        return;
    case eUserCode:
        FSelected = eShortRegister;
        FShort.Load(UserCode(), 32);
        return;
    case eSample:
    case eExtest:
        FSelected = eBoundaryRegister;
        FBoard->Capture(Clocks(), FScratch);
        FLong.Load(FScratch);
        return;
    case eCheckStatus: {
        FSelected = eStatusRegister;
        std::fill(FScratch.begin(), FScratch.end(), uint8_t{0});
        const int32_t done = ConfigDoneBit();
        FScratch[static_cast<size_t>(done - 1)] = FConfigured ? 0 : 1;
        FScratch[static_cast<size_t>(done)] = FConfigured ? 1 : 0;
        FScratch[static_cast<size_t>(done + 1)] = FConfigured ? 0 : 1;
        FLong.Load(FScratch);
        return;
    }
    case eProgram:
        FSelected = eConfigRegister;
        FShort.Load(0, 1);
        return;
    default:
        FSelected = eBypassRegister;
        FShort.Load(0, 1);
        return;
    }
}

void TArria5Device::ShiftDr(bool tdi)
{
    switch (FSelected) {
    case eConfigRegister:
        FReceiver.PushBit(tdi);
        FShort.Shift(tdi);
        return;
    case eBoundaryRegister:
    case eStatusRegister: FLong.Shift(tdi); return;
    default: FShort.Shift(tdi); return;
    }
}

bool TArria5Device::DrTdoBit() const
{
    return FSelected == eBoundaryRegister || FSelected == eStatusRegister ? FLong.TdoBit() : FShort.TdoBit();
}

void TArria5Device::UpdateDr()
{
    if (FSelected == eBoundaryRegister) FBoundaryUpdate = FLong.Bits();
}

} // namespace hostsim::jtag
