// Stored boundary-scan description records, the form in which a device library
// carries its descriptions already parsed, and the builder that turns a record
// into a boundary-scan entity.
//
// A record answers its pins and cells one at a time, so a library may keep them
// in whatever compact form suits it (the Arria V library derives them from its
// pin-outs, devices/arria5/StoredBSDL.h).
#pragma once

#include "bsdl/BsdlEntity.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace bsdl {

struct TPinMappingParameters {
    std::string PinName;
    std::string PinNumber;
};

struct TScanPinParameters {
    TPinElectrical Direction = eElectricIO;
    std::string PinName;
    std::string PinNumber;
    TScanPinKind Kind = eScanPinKind_Normal;
    TPinMappingParameters PinMapping;
    int32_t BoundaryCellCount = 0; // 0..2
    int32_t BoundaryCells[2] = {-1, -1};
};

struct TBoundaryCellParameters {
    int32_t CellNumber = -1;
    TCellKind CellKind = eCellKind_Undefined;
    std::string PortId = "*";
    TCellFunction CellFunction = eCellFunction_Undefined;
    TBitValue SafeBit = eBit_X;
    TBitValue DisableValue = eBit_0;
    TDisableResult DisableResult = eDisableResult_Undefined;
    std::string PinNumber;          // empty: a cell without pin
    int32_t ControlCellNumber = -1; // output cells
    int32_t TargetCellNumber = -1;  // control cells
};

struct TOpCodeParameters {
    std::string InstructionName;
    std::string OpCodePattern;
};

struct TRegisterAssociationParameters {
    std::string RegisterName;
    int32_t RegisterLength = 0;
    std::vector<TOpCodeParameters> OpCodes; // 0 or 1
};

// One stored description.
class TBSDLParameters {
public:
    virtual ~TBSDLParameters() = default;

    std::string Name;
    int32_t BoundaryLength = 0;
    double ScanClockMaxSpeed = 0;
    TScanClockHaltMode ScanClockHaltMode = eScanClockHaltMode_None;
    std::string ConformanceStatement;
    std::string CompliancePattern;
    std::string Filename;
    int32_t Instruction_SAMPLE = 0;
    std::string PinNumber_TDI, PinNumber_TDO, PinNumber_TMS, PinNumber_TCK, PinNumber_TRST;
    int32_t PinCount = 0;
    int32_t BoundaryCellCount = 0; // cells stored in cell-number order
    std::vector<TOpCodeParameters> OpCodes;
    std::vector<TRegisterAssociationParameters> RegisterAssociations;

    virtual TScanPinParameters Pin(int32_t index) const = 0;
    virtual TBoundaryCellParameters BoundaryCell(int32_t index) const = 0;
};

// The name-keyed caches of the parts built from records (keys without regard to
// case): scan pins and pin mappings by pin number, cells by cell number in
// decimal, opcodes by instruction name, register associations by register name.
// A part found in a cache is used as it is.
struct TBSDLPartCaches {
    std::unordered_map<std::string, TScanPin*> ScanPins;
    std::unordered_map<std::string, TBoundaryCell*> BoundaryCells;
    std::unordered_map<std::string, TPinMapping*> PinMappings;
    std::unordered_map<std::string, TInstructionOpCode*> OpCodes;
    std::unordered_map<std::string, TRegisterAssociation*> RegisterAssociations;

    void Clear();
};

// Builds the entity of a record. Parts already in the caches are reused as they
// are; new parts are entered. A reference the record does not define (cell, pin, instruction)
// resolves to none. Pin mappings are attached to their scan pins only. When the
// build fails, the caches lose what it entered and the error is raised again.
std::unique_ptr<TBSDLEntity> BuildEntityFromRecord(const TBSDLParameters& record, TBSDLPartCaches& caches);

} // namespace bsdl
