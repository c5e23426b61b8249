#include "bsdl/BsdlEntity.h"

#include "bsdl/BoundaryRegister.h"
#include "bsdl/BsdlDispatch.h"
#include "plugin/frame/DispatchTable.h"

namespace bsdl {

using tavrel::SameText;
using tavrel::TDispatchRow;
using tavrel::Thunk;

namespace {

// Blanks appended up to `width`; a longer text is kept whole.
std::string Padded(std::string_view text, size_t width)
{
    std::string padded(text);
    if (padded.size() < width) padded.append(width - padded.size(), ' ');
    return padded;
}

template <class T> IDispatch* InterfaceOf(T* part) { return part ? part->HostInterface() : nullptr; }

template <class T> IDispatch* Entry(const std::vector<T*>& list, int32_t index)
{
    if (index < 0 || static_cast<size_t>(index) >= list.size()) return nullptr;
    return InterfaceOf(list[static_cast<size_t>(index)]);
}

} // namespace

// --- Model ----------------------------------------------------------------------

TBSDLObject::TBSDLObject(TBSDLEntity* entity) : FEntity(entity)
{
    AddImplementator(new TBSDLObject_Impl(this));
}

tavrel::TAbstractSupportService* TBSDLObject::GetImplementator() const
{
    return Implementor(ImplementorCount() - 1);
}

IDispatch* TBSDLObject::HostInterface() const { return GetImplementator()->AsDispatch(); }

TScanPin::TScanPin(TBSDLEntity* entity) : TBSDLObject(entity) { AddImplementator(new TScanPin_Impl(this)); }

std::string TScanPin::DescriptionText() const
{
    std::string text = " Pin Name:";
    text += Padded(FPinName, 12);
    text += " Number:";
    text += Padded(FPinNumber, 12);
    text += " IO:";
    text += PinElectricalText(FDirection);
    return text;
}

std::string TScanPin::ShortDescriptionText() const
{
    std::string text = FPinName;
    text += '(';
    text += FPinNumber;
    text += ")-";
    text += PinElectricalText(FDirection);
    return text;
}

TPinMapping::TPinMapping(TBSDLEntity* entity) : TBSDLObject(entity)
{
    AddImplementator(new TPinMapping_Impl(this));
}

TBoundaryCell::TBoundaryCell(TBSDLEntity* entity) : TBSDLObject(entity)
{
    AddImplementator(new TBoundaryCell_Impl(this));
}

std::string TBoundaryCell::DescriptionText() const
{
    std::string text = Padded(std::to_string(FCellNumber), 4);
    text += '(';
    text += Padded(CellKindText(FCellKind), 10);
    text += ',';
    text += Padded(FPortId, 10);
    text += ',';
    text += Padded(CellFunctionText(FCellFunction), 10);
    text += ',';
    text += Padded(BitValueText(FSafeBit), 2);
    if (FControlCellNumber >= 0) {
        text += ',';
        text += Padded(std::to_string(FControlCellNumber), 4);
        text += ',';
        text += Padded(BitValueText(FDisableValue), 2);
        text += ',';
        text += Padded(DisableResultText(FDisableResult), 10);
        text += ',';
        if (FPin) {
            text += " Pin:";
            text += FPin->PinName();
        }
    }
    return text;
}

TInstructionOpCode::TInstructionOpCode(TBSDLEntity* entity) : TBSDLObject(entity)
{
    AddImplementator(new TInstructionOpCode_Impl(this));
}

std::string TInstructionOpCode::DescriptionText() const
{
    return FInstructionName + "(" + FOpCodePattern + ")";
}

TRegisterAssociation::TRegisterAssociation(TBSDLEntity* entity) : TBSDLObject(entity)
{
    AddImplementator(new TRegisterAssociation_Impl(this));
}

void TRegisterAssociation::AddOpCode(TInstructionOpCode* opCode)
{
    if (opCode) FInstructionOpCodes.push_back({opCode->InstructionName(), opCode});
}

void TRegisterAssociation::AddOpCode(std::string name, TInstructionOpCode* opCode)
{
    FInstructionOpCodes.push_back({std::move(name), opCode});
}

std::string TRegisterAssociation::DescriptionText() const
{
    std::string text = Padded(FRegisterName, 10);
    if (FRegisterLength > 0) {
        text += '[';
        text += std::to_string(FRegisterLength);
        text += ']';
    }
    text += " (";
    for (size_t i = 0; i < FInstructionOpCodes.size(); ++i) {
        const TEntry& entry = FInstructionOpCodes[i];
        if (i > 0) text += ',';
        text += entry.Name;
        text += '(';
        text += entry.OpCode ? entry.OpCode->OpCodePattern() : std::string("NoOpcode");
        text += ')';
    }
    text += ')';
    return text;
}

TBSDLEntity::TBSDLEntity() : TEntity(nullptr)
{
    FImpl = new TBSDLEntity_Impl(this);
    AddImplementor(FImpl);
}

TBSDLEntity::TBSDLEntity(TVHDLParser* parser, std::string filename)
    : TEntity(parser), UsingLazyEvaluation(true), Filename(std::move(filename))
{
    FImpl = new TBSDLEntity_Impl(this);
    AddImplementor(FImpl);
}

TBSDLEntity::~TBSDLEntity() = default;

TVHDLAttribute* TBSDLEntity::FindAttribute(std::string_view designator) const
{
    for (int i = 0; i < Attributes.Count(); ++i)
        if (SameText(Attributes.Items(i)->AttributeDesignator, designator)) return Attributes.Items(i);
    return nullptr;
}

void TBSDLEntity::ProcessBoundaryInfo()
{
    if (!UsingLazyEvaluation || FProcessedBoundaryInfo) return;
    TBoundaryRegister built = BuildBoundaryRegister(*this);
    BoundaryLength = built.Length;
    BoundaryCells = std::move(built.Cells);
    FProcessedBoundaryInfo = true;
}

// --- Dispatch tables ------------------------------------------------------------

namespace {

using E = TAbstractBSDLEntity;
using O = TAbstractBSDLObject;
using P = TAbstractScanPin;
using M = TAbstractPinMapping;
using C = TAbstractBoundaryCell;
using I = TAbstractInstructionOpCode;
using R = TAbstractRegisterAssociation;

constexpr TDispatchRow kEntityTable[] = {
    {503458, &Thunk<&E::GetName>},
    {503459, &Thunk<&E::GetInstructionLength>},
    {503460, &Thunk<&E::GetIdCode>},
    {503461, &Thunk<&E::GetBoundaryLength>},
    {503462, &Thunk<&E::GetPin>},
    {503463, &Thunk<&E::GetPinMapping>},
    {503464, &Thunk<&E::GetBoundaryCell>},
    {503465, &Thunk<&E::GetInstructionOpcode>},
    {503466, &Thunk<&E::GetRegisterAssociation>},
    {503467, &Thunk<&E::GetPinCount>},
    {503468, &Thunk<&E::GetPinMappingCount>},
    {503469, &Thunk<&E::GetBoundaryCellCount>},
    {503470, &Thunk<&E::GetInstructionOpcodeCount>},
    {503471, &Thunk<&E::GetRegisterAssociationCount>},
    {503472, &Thunk<&E::GetPin_TDI>},
    {503473, &Thunk<&E::GetPin_TDO>},
    {503474, &Thunk<&E::GetPin_TMS>},
    {503475, &Thunk<&E::GetPin_TCK>},
    {503476, &Thunk<&E::GetPin_TRST>},
    {503477, &Thunk<&E::GetInstruction_BYPASS>},
    {503478, &Thunk<&E::GetInstruction_EXTEST>},
    {503479, &Thunk<&E::GetInstruction_SAMPLE>},
    {503480, &Thunk<&E::GetInstruction_IDCODE>},
    {503481, &Thunk<&E::GetInstruction_USERCODE>},
    {503482, &Thunk<&E::GetInstruction_CLAMP>},
    {503483, &Thunk<&E::GetInstruction_HIGHZ>},
    {503484, &Thunk<&E::GetScanClockMaxSpeed>},
    {503485, &Thunk<&E::GetScanClockHaltMode>},
    {503486, &Thunk<&E::GetConformanceStatement>},
    {503487, &Thunk<&E::GetCompliancePattern>},
    {503488, &Thunk<&E::GetDesignWarning>},
    {503489, &Thunk<&E::GetFilename>},
};

constexpr TDispatchRow kObjectTable[] = {
    {503427, &Thunk<&O::GetDescription>},
    {503428, &Thunk<&O::GetShortDescription>},
    {503429, &Thunk<&O::GetEntity>},
};

constexpr TDispatchRow kScanPinTable[] = {
    {503490, &Thunk<&P::GetDirection>},
    {503491, &Thunk<&P::GetPinName>},
    {503492, &Thunk<&P::GetPinNumber>},
    {503493, &Thunk<&P::GetKind>},
    {503494, &Thunk<&P::GetPinMapping>},
    {503495, &Thunk<&P::GetBoundaryCellCount>},
    {503496, &Thunk<&P::GetBoundaryCell>},
    {503497, &Thunk<&P::GetCurrentValue>},
};

constexpr TDispatchRow kPinMappingTable[] = {
    {503498, &Thunk<&M::GetPinName>},
    {503499, &Thunk<&M::GetPinNumber>},
    {503500, &Thunk<&M::GetScanPin>},
};

constexpr TDispatchRow kBoundaryCellTable[] = {
    {503501, &Thunk<&C::GetCellNumber>},
    {503502, &Thunk<&C::GetCellKind>},
    {503503, &Thunk<&C::GetPortId>},
    {503504, &Thunk<&C::GetCellFunction>},
    {503505, &Thunk<&C::GetSafeBit>},
    {503506, &Thunk<&C::GetControlCellNumber>},
    {503507, &Thunk<&C::GetDisableValue>},
    {503508, &Thunk<&C::GetDisableResult>},
    {503509, &Thunk<&C::GetPin>},
    {503510, &Thunk<&C::GetControlCell>},
    {503511, &Thunk<&C::GetTargetCell>},
    {503512, &Thunk<&C::GetCurrentValue>},
};

constexpr TDispatchRow kInstructionOpCodeTable[] = {
    {503513, &Thunk<&I::GetInstructionName>},
    {503514, &Thunk<&I::GetOpCodePattern>},
};

constexpr TDispatchRow kRegisterAssociationTable[] = {
    {503515, &Thunk<&R::GetRegisterName>},
    {503516, &Thunk<&R::GetRegisterLength>},
    {503517, &Thunk<&R::GetInstructionOpcodeCount>},
    {503518, &Thunk<&R::GetInstructionOpcode>},
};

constexpr TDispatchRow kScanPinValueTable[] = {{kDispId_SetCurrentValue, &Thunk<&TScanPin_Impl::SetCurrentValue>}};
constexpr TDispatchRow kBoundaryCellValueTable[] = {
    {kDispId_SetCurrentValue, &Thunk<&TBoundaryCell_Impl::SetCurrentValue>}};

} // namespace

bool TAbstractBSDLEntity::SupportsServiceName(std::string_view name) const
{
    return TAbstractSupportService::SupportsServiceName(name) || SameText(name, "BSDLEntity");
}
HRESULT TAbstractBSDLEntity::DispatchInvoke(int32_t dispid, const TInvokeContext& context)
{
    TAVREL_DISPATCH_WITH_TABLE(kEntityTable, TAbstractSupportService);
}

bool TAbstractBSDLObject::SupportsServiceName(std::string_view name) const
{
    return TAbstractSupportService::SupportsServiceName(name) || SameText(name, "BSDLObject");
}
HRESULT TAbstractBSDLObject::DispatchInvoke(int32_t dispid, const TInvokeContext& context)
{
    TAVREL_DISPATCH_WITH_TABLE(kObjectTable, TAbstractSupportService);
}

bool TAbstractScanPin::SupportsServiceName(std::string_view name) const
{
    return TAbstractBSDLObject::SupportsServiceName(name) || SameText(name, "ScanPin");
}
HRESULT TAbstractScanPin::DispatchInvoke(int32_t dispid, const TInvokeContext& context)
{
    TAVREL_DISPATCH_WITH_TABLE(kScanPinTable, TAbstractBSDLObject);
}

bool TAbstractPinMapping::SupportsServiceName(std::string_view name) const
{
    return TAbstractBSDLObject::SupportsServiceName(name) || SameText(name, "PinMapping");
}
HRESULT TAbstractPinMapping::DispatchInvoke(int32_t dispid, const TInvokeContext& context)
{
    TAVREL_DISPATCH_WITH_TABLE(kPinMappingTable, TAbstractBSDLObject);
}

bool TAbstractBoundaryCell::SupportsServiceName(std::string_view name) const
{
    return TAbstractBSDLObject::SupportsServiceName(name) || SameText(name, "BoundaryCell");
}
HRESULT TAbstractBoundaryCell::DispatchInvoke(int32_t dispid, const TInvokeContext& context)
{
    TAVREL_DISPATCH_WITH_TABLE(kBoundaryCellTable, TAbstractBSDLObject);
}

bool TAbstractInstructionOpCode::SupportsServiceName(std::string_view name) const
{
    return TAbstractBSDLObject::SupportsServiceName(name) || SameText(name, "InstructionOpCode");
}
HRESULT TAbstractInstructionOpCode::DispatchInvoke(int32_t dispid, const TInvokeContext& context)
{
    TAVREL_DISPATCH_WITH_TABLE(kInstructionOpCodeTable, TAbstractBSDLObject);
}

bool TAbstractRegisterAssociation::SupportsServiceName(std::string_view name) const
{
    return TAbstractBSDLObject::SupportsServiceName(name) || SameText(name, "RegisterAssociation");
}
HRESULT TAbstractRegisterAssociation::DispatchInvoke(int32_t dispid, const TInvokeContext& context)
{
    TAVREL_DISPATCH_WITH_TABLE(kRegisterAssociationTable, TAbstractBSDLObject);
}

// --- Adaptors -------------------------------------------------------------------

template <class Base, class Model> IDispatch* TBSDLPartAdaptor<Base, Model>::GetEntity()
{
    TBSDLEntity* entity = Ex->Entity();
    return entity && entity->Impl() ? entity->Impl()->AsDispatch() : nullptr;
}

template class TBSDLPartAdaptor<TAbstractBSDLObject, TBSDLObject>;
template class TBSDLPartAdaptor<TAbstractScanPin, TScanPin>;
template class TBSDLPartAdaptor<TAbstractPinMapping, TPinMapping>;
template class TBSDLPartAdaptor<TAbstractBoundaryCell, TBoundaryCell>;
template class TBSDLPartAdaptor<TAbstractInstructionOpCode, TInstructionOpCode>;
template class TBSDLPartAdaptor<TAbstractRegisterAssociation, TRegisterAssociation>;

bool TScanPin_Impl::SupportsServiceName(std::string_view name) const
{
    return TAbstractScanPin::SupportsServiceName(name) || SameText(name, "BSDLValueHolder");
}

HRESULT TScanPin_Impl::DispatchInvoke(int32_t dispid, const TInvokeContext& context)
{
    // The current value the host writes after sampling comes before every table.
    TAVREL_DISPATCH_WITH_TABLE(kScanPinValueTable, TAbstractScanPin);
}

IDispatch* TScanPin_Impl::GetPinMapping() { return InterfaceOf(Ex->PinMapping()); }
IDispatch* TScanPin_Impl::GetBoundaryCell(int32_t index) { return Entry(Ex->BoundaryCells(), index); }

IDispatch* TPinMapping_Impl::GetScanPin() { return InterfaceOf(Ex->ScanPin()); }

bool TBoundaryCell_Impl::SupportsServiceName(std::string_view name) const
{
    return TAbstractBoundaryCell::SupportsServiceName(name) || SameText(name, "BSDLValueHolder");
}

HRESULT TBoundaryCell_Impl::DispatchInvoke(int32_t dispid, const TInvokeContext& context)
{
    TAVREL_DISPATCH_WITH_TABLE(kBoundaryCellValueTable, TAbstractBoundaryCell);
}

IDispatch* TBoundaryCell_Impl::GetPin() { return InterfaceOf(Ex->Pin()); }
IDispatch* TBoundaryCell_Impl::GetControlCell() { return InterfaceOf(Ex->ControlCell()); }
IDispatch* TBoundaryCell_Impl::GetTargetCell() { return InterfaceOf(Ex->TargetCell()); }

IDispatch* TRegisterAssociation_Impl::GetInstructionOpcode(int32_t index)
{
    const auto& entries = Ex->InstructionOpCodes();
    if (index < 0 || static_cast<size_t>(index) >= entries.size()) return nullptr;
    return InterfaceOf(entries[static_cast<size_t>(index)].OpCode);
}

int32_t TBSDLEntity_Impl::GetBoundaryLength()
{
    Ex->ProcessBoundaryInfo();
    return Ex->BoundaryLength;
}

int32_t TBSDLEntity_Impl::GetBoundaryCellCount()
{
    Ex->ProcessBoundaryInfo();
    return static_cast<int32_t>(Ex->BoundaryCells.size());
}

IDispatch* TBSDLEntity_Impl::GetBoundaryCell(int32_t index)
{
    Ex->ProcessBoundaryInfo();
    return Entry(Ex->BoundaryCells, index);
}

IDispatch* TBSDLEntity_Impl::GetPin(int32_t index) { return Entry(Ex->Pins, index); }
IDispatch* TBSDLEntity_Impl::GetPinMapping(int32_t index) { return Entry(Ex->PinMappings, index); }
IDispatch* TBSDLEntity_Impl::GetInstructionOpcode(int32_t index) { return Entry(Ex->InstructionOpCodes, index); }
IDispatch* TBSDLEntity_Impl::GetRegisterAssociation(int32_t index) { return Entry(Ex->RegisterAssociations, index); }

// The TAP pins are handed out as the pins' own interfaces.
IDispatch* TBSDLEntity_Impl::GetPin_TDI() { return Ex->TAP_TDI ? Ex->TAP_TDI->AsDispatch() : nullptr; }
IDispatch* TBSDLEntity_Impl::GetPin_TDO() { return Ex->TAP_TDO ? Ex->TAP_TDO->AsDispatch() : nullptr; }
IDispatch* TBSDLEntity_Impl::GetPin_TMS() { return Ex->TAP_TMS ? Ex->TAP_TMS->AsDispatch() : nullptr; }
IDispatch* TBSDLEntity_Impl::GetPin_TCK() { return Ex->TAP_TCK ? Ex->TAP_TCK->AsDispatch() : nullptr; }
IDispatch* TBSDLEntity_Impl::GetPin_TRST() { return Ex->TAP_TRST ? Ex->TAP_TRST->AsDispatch() : nullptr; }

} // namespace bsdl
