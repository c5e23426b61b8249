// The boundary-scan entity: one device type's boundary-scan description as an
// object graph (scan pins, pin mappings, boundary-register cells, instructions,
// data registers, TAP pins, scan clock, standard instruction codes).
//
// Model objects hold the data; each is served to the host by dispatch adaptors
// (BsdlDispatch.h) that read it. Model objects belong to the no-reference
// family: the host's reference counting never frees them. Every part is created
// for one entity and owned by it, whether or not it appears in one of the
// entity's visible lists; the lists and every other link between parts are plain
// references, so a part listed twice or left out of every list is still freed
// exactly once, with its entity.
#pragma once

#include "bsdl/BsdlLookup.h"
#include "bsdl/BsdlTypes.h"
#include "bsdl/VhdlObjects.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace bsdl {

class TBSDLEntity;
class TBSDLEntity_Impl;
class TBoundaryCell;
class TPinMapping;

inline constexpr uint32_t kUndefinedOpCode = 0xFFFFFFFFu;

// Base of every part of an entity. Its dispatch goes to its adaptors: first the
// TBSDLObject_Impl, then the part's own (GetImplementator).
class TBSDLObject : public tavrel::TImplementedDispatchObject {
public:
    explicit TBSDLObject(TBSDLEntity* entity);

    TBSDLEntity* Entity() const { return FEntity; }

    virtual std::string DescriptionText() const { return {}; }
    virtual std::string ShortDescriptionText() const { return DescriptionText(); }

    void AddImplementator(tavrel::TAbstractSupportService* adaptor) { AddImplementor(adaptor); }
    // The most specific adaptor (the last added): what the host is handed.
    tavrel::TAbstractSupportService* GetImplementator() const;
    com::IDispatch* HostInterface() const;

private:
    TBSDLEntity* FEntity;
};

class TScanPin : public TBSDLObject {
public:
    explicit TScanPin(TBSDLEntity* entity);

    TPinElectrical Direction() const { return FDirection; }
    const std::string& PinName() const { return FPinName; }
    const std::string& PinNumber() const { return FPinNumber; }
    TScanPinKind Kind() const { return FKind; }
    TPinMapping* PinMapping() const { return FPinMapping; }
    int32_t CurrentValue() const { return FCurrentValue; }
    const std::vector<TBoundaryCell*>& BoundaryCells() const { return FBoundaryCells; }
    void* LinkedPort() const { return nullptr; }
    int32_t LinkedPortBitIndex() const { return -1; }

    void SetDirection(TPinElectrical value) { FDirection = value; }
    void SetPinName(std::string value) { FPinName = std::move(value); }
    void SetPinNumber(std::string value) { FPinNumber = std::move(value); }
    void SetKind(TScanPinKind value) { FKind = value; }
    void SetPinMapping(TPinMapping* value) { FPinMapping = value; }
    void SetCurrentValue(int32_t value) { FCurrentValue = value; }
    void AddBoundaryCell(TBoundaryCell* cell) { FBoundaryCells.push_back(cell); }

    std::string DescriptionText() const override;
    std::string ShortDescriptionText() const override;

private:
    TPinElectrical FDirection = eElectricPassive;
    std::string FPinName;
    std::string FPinNumber;
    TScanPinKind FKind = eScanPinKind_Normal;
    TPinMapping* FPinMapping = nullptr;
    int32_t FCurrentValue = 0;
    std::vector<TBoundaryCell*> FBoundaryCells;
};

class TPinMapping : public TBSDLObject {
public:
    explicit TPinMapping(TBSDLEntity* entity);

    const std::string& PinName() const { return FPinName; }
    const std::string& PinNumber() const { return FPinNumber; }
    TScanPin* ScanPin() const { return FScanPin; }
    void SetPinName(std::string value) { FPinName = std::move(value); }
    void SetPinNumber(std::string value) { FPinNumber = std::move(value); }
    void SetScanPin(TScanPin* value) { FScanPin = value; }

private:
    std::string FPinName;
    std::string FPinNumber;
    TScanPin* FScanPin = nullptr;
};

class TBoundaryCell : public TBSDLObject {
public:
    explicit TBoundaryCell(TBSDLEntity* entity);

    int32_t CellNumber() const { return FCellNumber; }
    TCellKind CellKind() const { return FCellKind; }
    const std::string& PortId() const { return FPortId; }
    TCellFunction CellFunction() const { return FCellFunction; }
    TBitValue SafeBit() const { return FSafeBit; }
    int32_t ControlCellNumber() const { return FControlCellNumber; }
    TBitValue DisableValue() const { return FDisableValue; }
    TDisableResult DisableResult() const { return FDisableResult; }
    TScanPin* Pin() const { return FPin; }
    TBoundaryCell* ControlCell() const { return FControlCell; }
    TBoundaryCell* TargetCell() const { return FTargetCell; }
    int32_t CurrentValue() const { return FCurrentValue; }

    void SetCellNumber(int32_t value) { FCellNumber = value; }
    void SetCellKind(TCellKind value) { FCellKind = value; }
    void SetPortId(std::string value) { FPortId = std::move(value); }
    void SetCellFunction(TCellFunction value) { FCellFunction = value; }
    void SetSafeBit(TBitValue value) { FSafeBit = value; }
    void SetControlCellNumber(int32_t value) { FControlCellNumber = value; }
    void SetDisableValue(TBitValue value) { FDisableValue = value; }
    void SetDisableResult(TDisableResult value) { FDisableResult = value; }
    void SetPin(TScanPin* value) { FPin = value; }
    void SetControlCell(TBoundaryCell* value) { FControlCell = value; }
    void SetTargetCell(TBoundaryCell* value) { FTargetCell = value; }
    void SetCurrentValue(int32_t value) { FCurrentValue = value; }

    std::string DescriptionText() const override;

private:
    int32_t FCellNumber = -1;
    TCellKind FCellKind = eCellKind_Undefined;
    std::string FPortId = "*";
    TCellFunction FCellFunction = eCellFunction_Undefined;
    TBitValue FSafeBit = eBit_X;
    int32_t FControlCellNumber = -1;
    TBitValue FDisableValue = eBit_0;
    TDisableResult FDisableResult = eDisableResult_Undefined;
    TScanPin* FPin = nullptr;
    TBoundaryCell* FControlCell = nullptr;
    TBoundaryCell* FTargetCell = nullptr;
    int32_t FCurrentValue = 0;
};

class TInstructionOpCode : public TBSDLObject {
public:
    explicit TInstructionOpCode(TBSDLEntity* entity);

    const std::string& InstructionName() const { return FInstructionName; }
    const std::string& OpCodePattern() const { return FOpCodePattern; }
    uint32_t InstructionCode() const { return 0; }
    void SetInstructionName(std::string value) { FInstructionName = std::move(value); }
    void SetOpCodePattern(std::string value) { FOpCodePattern = std::move(value); }

    std::string DescriptionText() const override;

private:
    std::string FInstructionName;
    std::string FOpCodePattern;
};

class TRegisterAssociation : public TBSDLObject {
public:
    struct TEntry {
        std::string Name;
        TInstructionOpCode* OpCode; // none when the instruction is not defined
    };

    explicit TRegisterAssociation(TBSDLEntity* entity);

    const std::string& RegisterName() const { return FRegisterName; }
    int32_t RegisterLength() const { return FRegisterLength; }
    const std::vector<TEntry>& InstructionOpCodes() const { return FInstructionOpCodes; }
    void SetRegisterName(std::string value) { FRegisterName = std::move(value); }
    void SetRegisterLength(int32_t value) { FRegisterLength = value; }
    // Appends an entry named after the opcode's instruction.
    void AddOpCode(TInstructionOpCode* opCode);
    // Appends an entry by name; the opcode may be missing (shown as "NoOpcode").
    void AddOpCode(std::string name, TInstructionOpCode* opCode);

    std::string DescriptionText() const override;

private:
    std::string FRegisterName;
    int32_t FRegisterLength = 0;
    std::vector<TEntry> FInstructionOpCodes;
};

class TBSDLParser;

class TBSDLEntity : public TEntity {
public:
    // An empty entity, not tied to a reader; boundary information is built by its builder.
    TBSDLEntity();
    // An entity of a reader: its boundary register is built from its attributes on first use.
    TBSDLEntity(TVHDLParser* parser, std::string filename);
    ~TBSDLEntity() override;

    TBSDLEntity_Impl* Impl() const { return FImpl; }
    com::IDispatch* HostInterface() { return AsDispatch(); }

    // Creates a part of this entity; the entity owns it, it is in none of its lists yet.
    template <class T> T* CreatePart()
    {
        auto part = std::unique_ptr<T>(tavrel::MakeReferenced<T>(this));
        T* raw = part.get();
        FParts.push_back(std::move(part));
        return raw;
    }
    // Parts created so far; DiscardParts frees the parts created after such a mark
    // (a build that failed half-way leaves nothing behind).
    size_t PartCount() const { return FParts.size(); }
    void DiscardParts(size_t mark)
    {
        if (mark < FParts.size()) FParts.resize(mark);
    }

    void AddPin(TScanPin* pin) { Pins.push_back(pin); }
    void AddPinMapping(TPinMapping* mapping) { PinMappings.push_back(mapping); }
    void AddBoundaryCell(TBoundaryCell* cell) { BoundaryCells.push_back(cell); }
    void AddInstructionOpCode(TInstructionOpCode* opCode) { InstructionOpCodes.push_back(opCode); }
    void AddRegisterAssociation(TRegisterAssociation* association) { RegisterAssociations.push_back(association); }

    // Locating a description file (BsdlLookup.h).
    static std::string DetermineFullPath(const std::string& bsdlFileName, const std::string& vendorName,
                                         const std::string& familyName, const std::string& libraryFolder = {})
    {
        return bsdl::DetermineFullPath(bsdlFileName, vendorName, familyName, libraryFolder);
    }
    static std::string FindFullBSDLPath(const std::string& sourcePath) { return bsdl::FindFullBSDLPath(sourcePath); }

    // Builds BoundaryLength and BoundaryCells from the attributes, once, for
    // entities of a reader; does nothing for others. A failure leaves the entity
    // as it was and the build not done.
    void ProcessBoundaryInfo();
    bool ProcessedBoundaryInfo() const { return FProcessedBoundaryInfo; }
    // The first attribute (list order) whose designator matches, or none.
    TVHDLAttribute* FindAttribute(std::string_view designator) const;

    int32_t InstructionLength = 0;
    uint32_t IdCode = 0;
    std::vector<TPinMapping*> PinMappings;
    std::string Instruction_Capture;
    std::vector<std::string> Instruction_Private;
    std::string Register_IDCode;
    std::string Register_UserCode;
    std::string RegisterAccessDescriptor;
    std::string DesignWarning;
    uint32_t Instruction_BYPASS = kUndefinedOpCode;
    uint32_t Instruction_EXTEST = kUndefinedOpCode;
    uint32_t Instruction_IDCODE = kUndefinedOpCode;
    uint32_t Instruction_USERCODE = kUndefinedOpCode;
    uint32_t Instruction_CLAMP = kUndefinedOpCode;
    uint32_t Instruction_HIGHZ = kUndefinedOpCode;
    bool UsingLazyEvaluation = false;
    std::vector<TScanPin*> Pins;
    std::vector<TInstructionOpCode*> InstructionOpCodes;
    std::vector<TRegisterAssociation*> RegisterAssociations;
    std::vector<TBoundaryCell*> BoundaryCells;
    int32_t BoundaryLength = 0;
    double ScanClockMaxSpeed = 0;
    TScanClockHaltMode ScanClockHaltMode = eScanClockHaltMode_None;
    std::string ConformanceStatement;
    std::string CompliancePattern;
    std::string Filename;
    TScanPin* TAP_TDI = nullptr;
    TScanPin* TAP_TDO = nullptr;
    TScanPin* TAP_TMS = nullptr;
    TScanPin* TAP_TCK = nullptr;
    TScanPin* TAP_TRST = nullptr;
    uint32_t Instruction_SAMPLE = kUndefinedOpCode;

private:
    TBSDLEntity_Impl* FImpl = nullptr;
    bool FProcessedBoundaryInfo = false;
    std::vector<std::unique_ptr<TBSDLObject>> FParts;
};

} // namespace bsdl
