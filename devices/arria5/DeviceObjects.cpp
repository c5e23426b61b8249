#include "devices/arria5/DeviceObjects.h"

#include "devices/arria5/StoredBSDL.h"
#include "host/DeviceFamilies.h"
#include "flow/quartus/QuartusSteps.h"
#include "jtag/JtagRoutines.h"

#include <algorithm>
#include <array>
#include <bit>

namespace arria5 {

namespace {

// The shared IO standard objects: built when the library is loaded, freed when
// it is unloaded, handed out by every driver and pin.
class TSharedIOStandards {
public:
    TSharedIOStandards()
    {
        for (TDeviceIOStandardID id = 0; id < kIOStandardCount; ++id)
            FObjects[id] = std::make_unique<TDeviceIOStandardData>(id);
    }
    TDeviceIOStandardData* Get(TDeviceIOStandardID id) const { return FObjects[id].get(); }

private:
    std::array<std::unique_ptr<TDeviceIOStandardData>, kIOStandardCount> FObjects;
};

const TSharedIOStandards GSharedIOStandards;

// Position of the index-th set bit of a mask, or -1.
int32_t NthMember(uint64_t set, int32_t index, int32_t limit)
{
    if (index < 0) return -1;
    int32_t seen = 0;
    for (int32_t id = 0; id < limit; ++id) {
        if (!(set & (uint64_t{1} << id))) continue;
        if (seen == index) return id;
        ++seen;
    }
    return -1;
}

} // namespace

int32_t MemberCount(uint64_t set) { return std::popcount(set); }

TDeviceIOStandardData* SharedIOStandard(TDeviceIOStandardID id)
{
    if (id < 0 || id >= kIOStandardCount) return nullptr;
    return GSharedIOStandards.Get(id);
}

TDeviceIOStandardData* NthIOStandard(TIOStandardSet set, int32_t index)
{
    return SharedIOStandard(NthMember(set, index, kIOStandardCount));
}

int32_t TDevicePinData::GetIOStandardCount() { return MemberCount(Entry().Standards); }

IDispatch* TDevicePinData::GetIOStandard(int32_t index)
{
    TDeviceIOStandardData* standard = NthIOStandard(Entry().Standards, index);
    return standard ? standard->AsDispatch() : nullptr;
}

int32_t TDeviceIOStandardData::GetSlewCount() { return MemberCount(IOStandards[FID].SlewRates); }

std::string TDeviceIOStandardData::GetSlewValue(int32_t index)
{
    const int32_t member = NthMember(IOStandards[FID].SlewRates, index, kSlewNameCount);
    return member < 0 ? std::string() : SlewNames[member];
}

int32_t TDeviceIOStandardData::GetDriveCount() { return MemberCount(IOStandards[FID].DriveStrengths); }

std::string TDeviceIOStandardData::GetDriveStrength(int32_t index)
{
    const int32_t member = NthMember(IOStandards[FID].DriveStrengths, index, kDriveStrengthNameCount);
    return member < 0 ? std::string() : DriveStrengthNames[member];
}

TDeviceData::TDeviceData(TDeviceKind kind) : TTavrelDriver(".EDN"), FKind(kind) {}

std::string TDeviceData::GetDeviceDescription()
{
    return GetVendorName() + " " + GetFamilyName() + " " + GetDeviceName();
}

std::string TDeviceData::GetVendorName() { return hostaccess::GetVendorOfFamily(GetFamilyName()); }

IDispatch* TDeviceData::GetDevicePin(int32_t index)
{
    const int32_t count = GetDevicePinCount();
    if (FPins.empty()) {
        FPins.reserve(static_cast<size_t>(count));
        for (int32_t i = 0; i < count; ++i) FPins.push_back(std::make_unique<TDevicePinData>(Row().PinSet, i));
    }
    // An index outside the table is a caller error: answer with no pin.
    if (index < 0 || index >= static_cast<int32_t>(FPins.size())) return nullptr;
    return FPins[static_cast<size_t>(index)]->AsDispatch();
}

IDispatch* TDeviceData::GetIOStandard(int32_t index)
{
    TDeviceIOStandardData* standard = NthIOStandard(Pins().Standards, index);
    return standard ? standard->AsDispatch() : nullptr;
}

IDispatch* TDeviceData::GetBSDLEntity()
{
    if (FBSDLDataList.empty()) {
        FBSDLDataList.reserve(kStoredBSDLCount);
        for (int32_t i = 0; i < kStoredBSDLCount; ++i) FBSDLDataList.push_back({BSDLFileNames[i], nullptr});
    }
    const std::string fileName = GetBSDLFilename();
    TBSDLDataEntry* slot = nullptr;
    for (TBSDLDataEntry& entry : FBSDLDataList)
        if (tavrel::SameText(entry.FileName, fileName)) {
            slot = &entry;
            break;
        }
    if (!slot) return nullptr;
    if (!slot->Entity) {
        const int32_t index = std::max(FindStoredBSDLRecord(fileName), 0);
        // A failed build raises its error and leaves the slot empty for the next call.
        slot->Entity = bsdl::BuildEntityFromRecord(TStoredBSDLRecord(index), FBSDLCaches);
    }
    return slot->Entity->HostInterface();
}

TDevice_Arria5Driver::TDevice_Arria5Driver(TDeviceKind kind) : TDeviceData(kind) { FCoreExt = ".VHD"; }

bool TDevice_Arria5Driver::ResetDevice()
{
    return arria5jtag::ResetAlteraDevice(GetBaseName(), GetJTagChannel(), GetChainIndex());
}

int32_t TDevice_Arria5Driver::GetDeviceState()
{
    return arria5jtag::GetAlteraDeviceState(GetBaseName(), GetJTagChannel(), GetChainIndex());
}

int32_t TDevice_Arria5Driver::ProgramDevice(std::string fileName)
{
    return arria5jtag::ProgramAlteraDevice(tavrel::THostObject(AsDispatch()), fileName, GetJTagChannel(), GetChainIndex());
}

tavrel::THostObject TDevice_Arria5Driver::CreateFlow(int32_t kind)
{
    switch (kind) {
    case 0: return tavrel::quartus::TProcessFlow_AlteraFPGA::Create(AsDispatch());
    case 1: return tavrel::THostObject((new tavrel::quartus::TFlowStage_DownloadFPGA(".RBF", AsDispatch()))->AsDispatch());
    default: return {};
    }
}

uint32_t TDevice_Arria5Driver::ReadUserCode()
{
    return static_cast<uint32_t>(arria5jtag::ReadAlteraUserCode(GetJTagChannel(), GetChainIndex()));
}

} // namespace arria5
