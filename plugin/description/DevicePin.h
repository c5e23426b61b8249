// Dispatch classes of the two description objects a driver hands out: device
// pins (DISPIDs 503525..503549) and IO standards (503519..503524), with the
// base behaviour that every device family shares.
#pragma once

#include "plugin/frame/SupportService.h"

#include <string>

namespace tavrel {

using com::IDispatch;

class TAbstractDevicePin : public TAbstractSupportService {
public:
    bool SupportsServiceName(std::string_view name) const override;

    virtual std::string GetPinNumber() = 0;
    virtual std::string GetIOBank() = 0;
    virtual bool GetIsIOPin() = 0;
    virtual bool GetIsCLKPin() = 0;
    virtual bool GetIsVREFPin() = 0;
    virtual bool GetIsSpecialPin() = 0;
    virtual int32_t GetIOStandardCount() = 0;
    virtual IDispatch* GetIOStandard(int32_t index) = 0;
    virtual bool GetIsInputOnlyPin() = 0;
    virtual bool GetIsDCIP_Pin() = 0;
    virtual bool GetIsDCIN_Pin() = 0;
    virtual bool GetIsDiffP_Pin() = 0;
    virtual bool GetIsDiffN_Pin() = 0;
    virtual bool GetIsHDiffP_Pin() = 0;
    virtual bool GetIsHDiffN_Pin() = 0;
    virtual bool GetIsTransmitDiffPin() = 0;
    virtual bool GetIsReceiveDiffPin() = 0;
    virtual bool GetIsClkDiffP_Pin() = 0;
    virtual bool GetIsClkDiffN_Pin() = 0;
    virtual bool GetIsDLLPin() = 0;
    virtual std::string GetDifferentialId() = 0;
    virtual std::string GetClkDifferentialId() = 0;
    virtual std::string GetUniqueDifferentialID() = 0;
    virtual bool GetIsPosPinOfDiffPair() = 0;
    virtual bool GetIsNegPinOfDiffPair() = 0;

protected:
    HRESULT DispatchInvoke(int32_t dispid, const TInvokeContext& context) override;
};

// Pins are owned by their driver: the host's reference operations do nothing.
class TTavrelAbstractDevicePin : public TAbstractDevicePin {
public:
    uint32_t AddRef() override { return 0xFFFFFFFFu; }
    uint32_t Release() override { return 0xFFFFFFFFu; }

    std::string GetUniqueDifferentialID() override;
    bool GetIsPosPinOfDiffPair() override;
    bool GetIsNegPinOfDiffPair() override;
};

class TAbstractDeviceIOStandard : public TAbstractSupportService {
public:
    bool SupportsServiceName(std::string_view name) const override;

    virtual std::string GetDisplayName() = 0;
    virtual std::string GetParamName() = 0;
    virtual int32_t GetSlewCount() = 0;
    virtual std::string GetSlewValue(int32_t index) = 0;
    virtual int32_t GetDriveCount() = 0;
    virtual std::string GetDriveStrength(int32_t index) = 0;

protected:
    HRESULT DispatchInvoke(int32_t dispid, const TInvokeContext& context) override;
};

// IO standard objects live for the whole library: the library holds one
// reference of its own, and no release by a host can take the count below it.
class TTavrelAbstractDeviceIOStandard : public TAbstractDeviceIOStandard {
public:
    TTavrelAbstractDeviceIOStandard() { FRefCount = 1; }
    uint32_t Release() override;

    std::string GetDisplayName() override;
    std::string GetParamName() override;
    int32_t GetSlewCount() override { return 0; }
    std::string GetSlewValue(int32_t) override { return {}; }
    int32_t GetDriveCount() override { return 0; }
    std::string GetDriveStrength(int32_t) override { return {}; }

protected:
    // The shared IO standard code whose names the base reports.
    virtual int32_t GetIOStandardCode() = 0;
};

} // namespace tavrel
