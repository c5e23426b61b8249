#include "plugin/description/DevicePin.h"

#include "devices/arria5/DeviceTables.h"
#include "plugin/frame/DispatchTable.h"

namespace tavrel {

namespace {

using P = TAbstractDevicePin;
using S = TAbstractDeviceIOStandard;

constexpr TDispatchRow kDevicePinTable[] = {
    {503525, &Thunk<&P::GetPinNumber>},
    {503526, &Thunk<&P::GetIOBank>},
    {503527, &Thunk<&P::GetIsIOPin>},
    {503528, &Thunk<&P::GetIsCLKPin>},
    {503529, &Thunk<&P::GetIsVREFPin>},
    {503530, &Thunk<&P::GetIsSpecialPin>},
    {503531, &Thunk<&P::GetIOStandardCount>},
    {503532, &Thunk<&P::GetIOStandard>},
    {503533, &Thunk<&P::GetIsInputOnlyPin>},
    {503534, &Thunk<&P::GetIsDCIP_Pin>},
    {503535, &Thunk<&P::GetIsDCIN_Pin>},
    {503536, &Thunk<&P::GetIsDiffP_Pin>},
    {503537, &Thunk<&P::GetIsDiffN_Pin>},
    {503538, &Thunk<&P::GetIsHDiffP_Pin>},
    {503539, &Thunk<&P::GetIsHDiffN_Pin>},
    {503540, &Thunk<&P::GetIsTransmitDiffPin>},
    {503541, &Thunk<&P::GetIsReceiveDiffPin>},
    {503542, &Thunk<&P::GetIsClkDiffP_Pin>},
    {503543, &Thunk<&P::GetIsClkDiffN_Pin>},
    {503544, &Thunk<&P::GetIsDLLPin>},
    {503545, &Thunk<&P::GetDifferentialId>},
    {503546, &Thunk<&P::GetClkDifferentialId>},
    {503547, &Thunk<&P::GetUniqueDifferentialID>},
    {503548, &Thunk<&P::GetIsPosPinOfDiffPair>},
    {503549, &Thunk<&P::GetIsNegPinOfDiffPair>},
};

constexpr TDispatchRow kIOStandardTable[] = {
    {503519, &Thunk<&S::GetDisplayName>},
    {503520, &Thunk<&S::GetParamName>},
    {503521, &Thunk<&S::GetSlewCount>},
    {503522, &Thunk<&S::GetSlewValue>},
    {503523, &Thunk<&S::GetDriveCount>},
    {503524, &Thunk<&S::GetDriveStrength>},
};

} // namespace

bool TAbstractDevicePin::SupportsServiceName(std::string_view name) const
{
    return TAbstractSupportService::SupportsServiceName(name) || SameText(name, "DevicePin");
}

HRESULT TAbstractDevicePin::DispatchInvoke(int32_t dispid, const TInvokeContext& context)
{
    TAVREL_DISPATCH_WITH_TABLE(kDevicePinTable, TAbstractSupportService);
}

std::string TTavrelAbstractDevicePin::GetUniqueDifferentialID()
{
    return GetIOBank() + "|" + GetDifferentialId() + "|" + GetClkDifferentialId();
}

bool TTavrelAbstractDevicePin::GetIsPosPinOfDiffPair()
{
    return GetIsDiffP_Pin() || GetIsHDiffP_Pin() || GetIsDCIP_Pin() || GetIsClkDiffP_Pin();
}

bool TTavrelAbstractDevicePin::GetIsNegPinOfDiffPair()
{
    return GetIsDiffN_Pin() || GetIsHDiffN_Pin() || GetIsDCIN_Pin() || GetIsClkDiffN_Pin();
}

bool TAbstractDeviceIOStandard::SupportsServiceName(std::string_view name) const
{
    return TAbstractSupportService::SupportsServiceName(name) || SameText(name, "DeviceIOStandard");
}

HRESULT TAbstractDeviceIOStandard::DispatchInvoke(int32_t dispid, const TInvokeContext& context)
{
    TAVREL_DISPATCH_WITH_TABLE(kIOStandardTable, TAbstractSupportService);
}

uint32_t TTavrelAbstractDeviceIOStandard::Release()
{
    int32_t count = FRefCount.load();
    while (count > 1 && !FRefCount.compare_exchange_weak(count, count - 1)) {
    }
    return static_cast<uint32_t>(count > 1 ? count - 1 : 1);
}

std::string TTavrelAbstractDeviceIOStandard::GetDisplayName()
{
    const int32_t code = GetIOStandardCode();
    if (code < 0 || code >= arria5::kIOStandardCount) return {};
    return arria5::IOStandards[code].DisplayName;
}

std::string TTavrelAbstractDeviceIOStandard::GetParamName()
{
    const int32_t code = GetIOStandardCode();
    if (code < 0 || code >= arria5::kIOStandardCount) return {};
    return arria5::IOStandards[code].ParamName;
}

} // namespace tavrel
