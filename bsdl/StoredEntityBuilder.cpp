// The builder of entities from stored records: cells, pins with their mappings
// and cells, TAP pins, cell links, instructions and register associations, in
// this order, every lookup a hashed one so the build is linear in the record.
#include "bsdl/BsdlRecords.h"

#include <algorithm>
#include <iterator>

namespace bsdl {

namespace {

std::string Key(std::string_view text) { return UpperName(text); }

template <class T> T* Cached(const std::unordered_map<std::string, T*>& cache, std::string_view key)
{
    if (key.empty()) return nullptr;
    const auto found = cache.find(Key(key));
    return found == cache.end() ? nullptr : found->second;
}

template <class T> void Forget(std::unordered_map<std::string, T*>& cache, const TBSDLEntity* entity)
{
    for (auto it = cache.begin(); it != cache.end();)
        it = it->second->Entity() == entity ? cache.erase(it) : std::next(it);
}

void Build(TBSDLEntity& entity, const TBSDLParameters& record, TBSDLPartCaches& caches)
{
    // 1. The entity's own values.
    entity.Name = record.Name;
    entity.BoundaryLength = record.BoundaryLength;
    entity.ScanClockMaxSpeed = record.ScanClockMaxSpeed;
    entity.ScanClockHaltMode = record.ScanClockHaltMode;
    entity.ConformanceStatement = record.ConformanceStatement;
    entity.CompliancePattern = record.CompliancePattern;
    entity.Filename = record.Filename;
    entity.Instruction_SAMPLE = static_cast<uint32_t>(record.Instruction_SAMPLE);

    // 2. Cells, in record order.
    entity.BoundaryCells.reserve(static_cast<size_t>(std::max(record.BoundaryCellCount, 0)));
    for (int32_t i = 0; i < record.BoundaryCellCount; ++i) {
        const TBoundaryCellParameters p = record.BoundaryCell(i);
        const std::string key = std::to_string(p.CellNumber);
        TBoundaryCell* cell = Cached(caches.BoundaryCells, key);
        if (!cell) {
            cell = entity.CreatePart<TBoundaryCell>();
            cell->SetCellNumber(p.CellNumber);
            cell->SetCellKind(p.CellKind);
            cell->SetPortId(p.PortId);
            cell->SetCellFunction(p.CellFunction);
            cell->SetSafeBit(p.SafeBit);
            cell->SetControlCellNumber(p.ControlCellNumber);
            cell->SetDisableValue(p.DisableValue);
            cell->SetDisableResult(p.DisableResult);
            caches.BoundaryCells.emplace(key, cell);
        }
        entity.AddBoundaryCell(cell);
    }

    // 3. Scan pins with their mappings and cells.
    entity.Pins.reserve(static_cast<size_t>(std::max(record.PinCount, 0)));
    for (int32_t i = 0; i < record.PinCount; ++i) {
        const TScanPinParameters p = record.Pin(i);
        TScanPin* pin = Cached(caches.ScanPins, p.PinNumber);
        if (!pin) {
            pin = entity.CreatePart<TScanPin>();
            pin->SetDirection(p.Direction);
            pin->SetPinName(p.PinName);
            pin->SetPinNumber(p.PinNumber);
            pin->SetKind(p.Kind);
            TPinMapping* mapping = Cached(caches.PinMappings, p.PinMapping.PinNumber);
            if (!mapping) {
                mapping = entity.CreatePart<TPinMapping>();
                mapping->SetPinName(p.PinMapping.PinName);
                mapping->SetPinNumber(p.PinMapping.PinNumber);
                mapping->SetScanPin(pin);
                caches.PinMappings.emplace(Key(p.PinMapping.PinNumber), mapping);
            }
            pin->SetPinMapping(mapping);
            const int32_t cellCount = std::clamp(p.BoundaryCellCount, 0, 2);
            for (int32_t c = 0; c < cellCount; ++c)
                if (TBoundaryCell* cell = Cached(caches.BoundaryCells, std::to_string(p.BoundaryCells[c])))
                    pin->AddBoundaryCell(cell);
            caches.ScanPins.emplace(Key(p.PinNumber), pin);
        }
        entity.AddPin(pin);
    }

    // 4. TAP pins.
    entity.TAP_TDI = Cached(caches.ScanPins, record.PinNumber_TDI);
    entity.TAP_TDO = Cached(caches.ScanPins, record.PinNumber_TDO);
    entity.TAP_TMS = Cached(caches.ScanPins, record.PinNumber_TMS);
    entity.TAP_TCK = Cached(caches.ScanPins, record.PinNumber_TCK);
    entity.TAP_TRST = Cached(caches.ScanPins, record.PinNumber_TRST);

    // 5. Cell links: pin, control cell, target cell.
    for (int32_t i = 0; i < record.BoundaryCellCount; ++i) {
        const TBoundaryCellParameters p = record.BoundaryCell(i);
        TBoundaryCell* cell = Cached(caches.BoundaryCells, std::to_string(p.CellNumber));
        if (!cell) continue;
        cell->SetPin(Cached(caches.ScanPins, p.PinNumber));
        if (p.ControlCellNumber != -1)
            cell->SetControlCell(Cached(caches.BoundaryCells, std::to_string(p.ControlCellNumber)));
        if (p.TargetCellNumber != -1)
            cell->SetTargetCell(Cached(caches.BoundaryCells, std::to_string(p.TargetCellNumber)));
    }

    // 6. Instructions.
    for (const TOpCodeParameters& p : record.OpCodes) {
        TInstructionOpCode* opCode = Cached(caches.OpCodes, p.InstructionName);
        if (!opCode) {
            opCode = entity.CreatePart<TInstructionOpCode>();
            opCode->SetInstructionName(p.InstructionName);
            opCode->SetOpCodePattern(p.OpCodePattern);
            caches.OpCodes.emplace(Key(p.InstructionName), opCode);
        }
        entity.AddInstructionOpCode(opCode);
    }

    // 7. Register associations.
    for (const TRegisterAssociationParameters& p : record.RegisterAssociations) {
        TRegisterAssociation* association = Cached(caches.RegisterAssociations, p.RegisterName);
        if (!association) {
            association = entity.CreatePart<TRegisterAssociation>();
            association->SetRegisterName(p.RegisterName);
            association->SetRegisterLength(p.RegisterLength);
            for (const TOpCodeParameters& opCode : p.OpCodes)
                association->AddOpCode(opCode.InstructionName, Cached(caches.OpCodes, opCode.InstructionName));
            caches.RegisterAssociations.emplace(Key(p.RegisterName), association);
        }
        entity.AddRegisterAssociation(association);
    }
}

} // namespace

void TBSDLPartCaches::Clear()
{
    ScanPins.clear();
    BoundaryCells.clear();
    PinMappings.clear();
    OpCodes.clear();
    RegisterAssociations.clear();
}

std::unique_ptr<TBSDLEntity> BuildEntityFromRecord(const TBSDLParameters& record, TBSDLPartCaches& caches)
{
    auto entity = std::make_unique<TBSDLEntity>();
    try {
        Build(*entity, record, caches);
    } catch (...) {
        // The half-built entity goes: its parts must not stay reachable from the caches.
        Forget(caches.ScanPins, entity.get());
        Forget(caches.BoundaryCells, entity.get());
        Forget(caches.PinMappings, entity.get());
        Forget(caches.OpCodes, entity.get());
        Forget(caches.RegisterAssociations, entity.get());
        throw;
    }
    return entity;
}

} // namespace bsdl
