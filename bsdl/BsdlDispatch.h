// Dispatch classes of the boundary-scan objects (DISPIDs 503427..503518 and
// 509024) and the adaptors that serve the model objects of BsdlEntity.h.
//
// The abstract classes carry the dispatch tables; each adaptor holds `Ex`, the
// model object it reads, and never owns it. Adaptors are reference counted; the
// model object holds one reference on each of its adaptors for its whole life.
#pragma once

#include "bsdl/BsdlEntity.h"
#include "plugin/frame/SupportService.h"

#include <string>

namespace bsdl {

using com::IDispatch;
using tavrel::HRESULT;
using tavrel::TInvokeContext;

inline constexpr int32_t kDispId_SetCurrentValue = 509024;

class TAbstractBSDLEntity : public tavrel::TAbstractSupportService {
public:
    bool SupportsServiceName(std::string_view name) const override;

    virtual std::string GetName() = 0;
    virtual int32_t GetInstructionLength() = 0;
    virtual uint32_t GetIdCode() = 0;
    virtual int32_t GetBoundaryLength() = 0;
    virtual IDispatch* GetPin(int32_t index) = 0;
    virtual IDispatch* GetPinMapping(int32_t index) = 0;
    virtual IDispatch* GetBoundaryCell(int32_t index) = 0;
    virtual IDispatch* GetInstructionOpcode(int32_t index) = 0;
    virtual IDispatch* GetRegisterAssociation(int32_t index) = 0;
    virtual int32_t GetPinCount() = 0;
    virtual int32_t GetPinMappingCount() = 0;
    virtual int32_t GetBoundaryCellCount() = 0;
    virtual int32_t GetInstructionOpcodeCount() = 0;
    virtual int32_t GetRegisterAssociationCount() = 0;
    virtual IDispatch* GetPin_TDI() = 0;
    virtual IDispatch* GetPin_TDO() = 0;
    virtual IDispatch* GetPin_TMS() = 0;
    virtual IDispatch* GetPin_TCK() = 0;
    virtual IDispatch* GetPin_TRST() = 0;
    virtual uint32_t GetInstruction_BYPASS() = 0;
    virtual uint32_t GetInstruction_EXTEST() = 0;
    virtual uint32_t GetInstruction_SAMPLE() = 0;
    virtual uint32_t GetInstruction_IDCODE() = 0;
    virtual uint32_t GetInstruction_USERCODE() = 0;
    virtual uint32_t GetInstruction_CLAMP() = 0;
    virtual uint32_t GetInstruction_HIGHZ() = 0;
    virtual double GetScanClockMaxSpeed() = 0;
    virtual int32_t GetScanClockHaltMode() = 0;
    virtual std::string GetConformanceStatement() = 0;
    virtual std::string GetCompliancePattern() = 0;
    virtual std::string GetDesignWarning() = 0;
    virtual std::string GetFilename() = 0;

protected:
    HRESULT DispatchInvoke(int32_t dispid, const TInvokeContext& context) override;
};

class TAbstractBSDLObject : public tavrel::TAbstractSupportService {
public:
    bool SupportsServiceName(std::string_view name) const override;

    virtual std::string GetDescription() = 0;
    virtual std::string GetShortDescription() = 0;
    virtual IDispatch* GetEntity() = 0;

protected:
    HRESULT DispatchInvoke(int32_t dispid, const TInvokeContext& context) override;
};

class TAbstractScanPin : public TAbstractBSDLObject {
public:
    bool SupportsServiceName(std::string_view name) const override;

    virtual int32_t GetDirection() = 0;
    virtual std::string GetPinName() = 0;
    virtual std::string GetPinNumber() = 0;
    virtual int32_t GetKind() = 0;
    virtual IDispatch* GetPinMapping() = 0;
    virtual int32_t GetBoundaryCellCount() = 0;
    virtual IDispatch* GetBoundaryCell(int32_t index) = 0;
    virtual int32_t GetCurrentValue() = 0;

protected:
    HRESULT DispatchInvoke(int32_t dispid, const TInvokeContext& context) override;
};

class TAbstractPinMapping : public TAbstractBSDLObject {
public:
    bool SupportsServiceName(std::string_view name) const override;

    virtual std::string GetPinName() = 0;
    virtual std::string GetPinNumber() = 0;
    virtual IDispatch* GetScanPin() = 0;

protected:
    HRESULT DispatchInvoke(int32_t dispid, const TInvokeContext& context) override;
};

class TAbstractBoundaryCell : public TAbstractBSDLObject {
public:
    bool SupportsServiceName(std::string_view name) const override;

    virtual int32_t GetCellNumber() = 0;
    virtual int32_t GetCellKind() = 0;
    virtual std::string GetPortId() = 0;
    virtual int32_t GetCellFunction() = 0;
    virtual int32_t GetSafeBit() = 0;
    virtual int32_t GetControlCellNumber() = 0;
    virtual int32_t GetDisableValue() = 0;
    virtual int32_t GetDisableResult() = 0;
    virtual IDispatch* GetPin() = 0;
    virtual IDispatch* GetControlCell() = 0;
    virtual IDispatch* GetTargetCell() = 0;
    virtual int32_t GetCurrentValue() = 0;

protected:
    HRESULT DispatchInvoke(int32_t dispid, const TInvokeContext& context) override;
};

class TAbstractInstructionOpCode : public TAbstractBSDLObject {
public:
    bool SupportsServiceName(std::string_view name) const override;

    virtual std::string GetInstructionName() = 0;
    virtual std::string GetOpCodePattern() = 0;

protected:
    HRESULT DispatchInvoke(int32_t dispid, const TInvokeContext& context) override;
};

class TAbstractRegisterAssociation : public TAbstractBSDLObject {
public:
    bool SupportsServiceName(std::string_view name) const override;

    virtual std::string GetRegisterName() = 0;
    virtual int32_t GetRegisterLength() = 0;
    virtual int32_t GetInstructionOpcodeCount() = 0;
    virtual IDispatch* GetInstructionOpcode(int32_t index) = 0;

protected:
    HRESULT DispatchInvoke(int32_t dispid, const TInvokeContext& context) override;
};

// --- Adaptors -------------------------------------------------------------------

// The three operations every part answers, for any part class.
template <class Base, class Model> class TBSDLPartAdaptor : public Base {
public:
    explicit TBSDLPartAdaptor(Model* ex) : Ex(ex) {}
    std::string GetDescription() override { return Ex->DescriptionText(); }
    std::string GetShortDescription() override { return Ex->ShortDescriptionText(); }
    IDispatch* GetEntity() override;

    Model* const Ex;
};

class TBSDLObject_Impl final : public TBSDLPartAdaptor<TAbstractBSDLObject, TBSDLObject> {
public:
    using TBSDLPartAdaptor::TBSDLPartAdaptor;
};

class TScanPin_Impl final : public TBSDLPartAdaptor<TAbstractScanPin, TScanPin> {
public:
    using TBSDLPartAdaptor::TBSDLPartAdaptor;
    bool SupportsServiceName(std::string_view name) const override;

    int32_t GetDirection() override { return Ex->Direction(); }
    std::string GetPinName() override { return Ex->PinName(); }
    std::string GetPinNumber() override { return Ex->PinNumber(); }
    int32_t GetKind() override { return Ex->Kind(); }
    IDispatch* GetPinMapping() override;
    int32_t GetBoundaryCellCount() override { return static_cast<int32_t>(Ex->BoundaryCells().size()); }
    IDispatch* GetBoundaryCell(int32_t index) override;
    int32_t GetCurrentValue() override { return Ex->CurrentValue(); }
    void SetCurrentValue(int32_t value) { Ex->SetCurrentValue(value); }

protected:
    HRESULT DispatchInvoke(int32_t dispid, const TInvokeContext& context) override;
};

class TPinMapping_Impl final : public TBSDLPartAdaptor<TAbstractPinMapping, TPinMapping> {
public:
    using TBSDLPartAdaptor::TBSDLPartAdaptor;

    std::string GetPinName() override { return Ex->PinName(); }
    std::string GetPinNumber() override { return Ex->PinNumber(); }
    IDispatch* GetScanPin() override;
};

class TBoundaryCell_Impl final : public TBSDLPartAdaptor<TAbstractBoundaryCell, TBoundaryCell> {
public:
    using TBSDLPartAdaptor::TBSDLPartAdaptor;
    bool SupportsServiceName(std::string_view name) const override;

    int32_t GetCellNumber() override { return Ex->CellNumber(); }
    int32_t GetCellKind() override { return Ex->CellKind(); }
    std::string GetPortId() override { return Ex->PortId(); }
    int32_t GetCellFunction() override { return Ex->CellFunction(); }
    int32_t GetSafeBit() override { return Ex->SafeBit(); }
    int32_t GetControlCellNumber() override { return Ex->ControlCellNumber(); }
    int32_t GetDisableValue() override { return Ex->DisableValue(); }
    int32_t GetDisableResult() override { return Ex->DisableResult(); }
    IDispatch* GetPin() override;
    IDispatch* GetControlCell() override;
    IDispatch* GetTargetCell() override;
    int32_t GetCurrentValue() override { return Ex->CurrentValue(); }
    void SetCurrentValue(int32_t value) { Ex->SetCurrentValue(value); }

protected:
    HRESULT DispatchInvoke(int32_t dispid, const TInvokeContext& context) override;
};

class TInstructionOpCode_Impl final : public TBSDLPartAdaptor<TAbstractInstructionOpCode, TInstructionOpCode> {
public:
    using TBSDLPartAdaptor::TBSDLPartAdaptor;

    std::string GetInstructionName() override { return Ex->InstructionName(); }
    std::string GetOpCodePattern() override { return Ex->OpCodePattern(); }
};

class TRegisterAssociation_Impl final
    : public TBSDLPartAdaptor<TAbstractRegisterAssociation, TRegisterAssociation> {
public:
    using TBSDLPartAdaptor::TBSDLPartAdaptor;

    std::string GetRegisterName() override { return Ex->RegisterName(); }
    int32_t GetRegisterLength() override { return Ex->RegisterLength(); }
    int32_t GetInstructionOpcodeCount() override
    {
        return static_cast<int32_t>(Ex->InstructionOpCodes().size());
    }
    IDispatch* GetInstructionOpcode(int32_t index) override;
};

class TBSDLEntity_Impl final : public TAbstractBSDLEntity {
public:
    explicit TBSDLEntity_Impl(TBSDLEntity* ex) : Ex(ex) {}

    std::string GetName() override { return Ex->Name; }
    int32_t GetInstructionLength() override { return Ex->InstructionLength; }
    uint32_t GetIdCode() override { return Ex->IdCode; }
    int32_t GetBoundaryLength() override;
    IDispatch* GetPin(int32_t index) override;
    IDispatch* GetPinMapping(int32_t index) override;
    IDispatch* GetBoundaryCell(int32_t index) override;
    IDispatch* GetInstructionOpcode(int32_t index) override;
    IDispatch* GetRegisterAssociation(int32_t index) override;
    int32_t GetPinCount() override { return static_cast<int32_t>(Ex->Pins.size()); }
    int32_t GetPinMappingCount() override { return static_cast<int32_t>(Ex->PinMappings.size()); }
    int32_t GetBoundaryCellCount() override;
    int32_t GetInstructionOpcodeCount() override { return static_cast<int32_t>(Ex->InstructionOpCodes.size()); }
    int32_t GetRegisterAssociationCount() override
    {
        return static_cast<int32_t>(Ex->RegisterAssociations.size());
    }
    IDispatch* GetPin_TDI() override;
    IDispatch* GetPin_TDO() override;
    IDispatch* GetPin_TMS() override;
    IDispatch* GetPin_TCK() override;
    IDispatch* GetPin_TRST() override;
    uint32_t GetInstruction_BYPASS() override { return Ex->Instruction_BYPASS; }
    uint32_t GetInstruction_EXTEST() override { return Ex->Instruction_EXTEST; }
    uint32_t GetInstruction_SAMPLE() override { return Ex->Instruction_SAMPLE; }
    uint32_t GetInstruction_IDCODE() override { return Ex->Instruction_IDCODE; }
    uint32_t GetInstruction_USERCODE() override { return Ex->Instruction_USERCODE; }
    uint32_t GetInstruction_CLAMP() override { return Ex->Instruction_CLAMP; }
    uint32_t GetInstruction_HIGHZ() override { return Ex->Instruction_HIGHZ; }
    double GetScanClockMaxSpeed() override { return Ex->ScanClockMaxSpeed; }
    int32_t GetScanClockHaltMode() override { return Ex->ScanClockHaltMode; }
    std::string GetConformanceStatement() override { return Ex->ConformanceStatement; }
    // The stored compliance pattern is not handed out.
    std::string GetCompliancePattern() override { return {}; }
    std::string GetDesignWarning() override { return Ex->DesignWarning; }
    std::string GetFilename() override { return Ex->Filename; }

    TBSDLEntity* const Ex;
};

} // namespace bsdl
