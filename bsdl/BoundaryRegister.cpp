#include "bsdl/BoundaryRegister.h"

#include "host/ParameterList.h"

#include <unordered_map>

namespace bsdl {

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string_view Trim(std::string_view text)
{
    size_t first = 0, last = text.size();
    while (first < last && IsBlank(text[first])) ++first;
    while (last > first && IsBlank(text[last - 1])) --last;
    return text.substr(first, last - first);
}

// The fields of a cell: split at commas and blanks, runs of separators counting once.
std::vector<std::string_view> SplitFields(std::string_view info)
{
    std::vector<std::string_view> fields;
    size_t i = 0;
    while (i < info.size()) {
        while (i < info.size() && (info[i] == ',' || IsBlank(info[i]))) ++i;
        const size_t start = i;
        while (i < info.size() && info[i] != ',' && !IsBlank(info[i])) ++i;
        if (i > start) fields.push_back(info.substr(start, i - start));
    }
    return fields;
}

TBoundaryCell* MakeCell(TBSDLEntity& entity, int32_t number, std::string_view info)
{
    TBoundaryCell* cell = entity.CreatePart<TBoundaryCell>();
    cell->SetCellNumber(number);
    const std::vector<std::string_view> fields = SplitFields(info);
    const size_t count = fields.size();
    if (count > 0) cell->SetCellKind(CellKindFromText(fields[0]));
    if (count > 1) cell->SetPortId(std::string(fields[1]));
    if (count > 2) cell->SetCellFunction(CellFunctionFromText(fields[2]));
    if (count > 3) cell->SetSafeBit(BitValueFromText(fields[3]));
    if (count > 4) {
        int32_t control = -1;
        if (!host::TryStrToInt(fields[4], control)) control = -1;
        cell->SetControlCellNumber(control);
    }
    if (count > 5) cell->SetDisableValue(BitValueFromText(fields[5]));
    if (count > 6) cell->SetDisableResult(DisableResultFromText(fields[6]));
    return cell;
}

std::string Where(const TVHDLAttribute* attribute)
{
    return attribute ? " at Line: " + std::to_string(attribute->LineNumber) +
                           " Offset: " + std::to_string(attribute->ColumnNumber)
                     : std::string();
}

} // namespace

EBoundaryRegisterError::EBoundaryRegisterError(const std::string& message, int32_t line, int32_t column)
    : std::runtime_error(message), Line(line), Column(column)
{
}

std::vector<TBoundaryCell*> ParseBoundaryCells(TBSDLEntity& entity, std::string_view value)
{
    std::vector<TBoundaryCell*> cells;
    const std::string_view text = Trim(value);
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t open = text.find('(', pos);
        if (open == std::string_view::npos) break;
        size_t close = std::string_view::npos;
        int depth = 0;
        for (size_t i = open + 1; i < text.size(); ++i) {
            if (text[i] == '(') {
                ++depth;
            } else if (text[i] == ')') {
                if (depth == 0) {
                    close = i;
                    break;
                }
                --depth;
            }
        }
        if (close == std::string_view::npos) break;
        int32_t number = -1;
        if (!host::TryStrToInt(Trim(text.substr(pos, open - pos)), number) || number < 0) break;
        cells.push_back(MakeCell(entity, number, Trim(text.substr(open + 1, close - open - 1))));
        pos = close + 1;
        if (pos >= text.size()) break;
        const size_t comma = text.find(',', pos);
        if (comma == std::string_view::npos) break;
        pos = comma + 1;
        while (pos < text.size() && IsBlank(text[pos])) ++pos;
    }
    return cells;
}

TBoundaryRegister BuildBoundaryRegister(TBSDLEntity& entity)
{
    TBoundaryRegister result;
    if (const TVHDLAttribute* length = entity.FindAttribute("Boundary_Length"))
        if (!host::TryStrToInt(Trim(length->AttributeExpression), result.Length)) result.Length = 0;

    const TVHDLAttribute* attribute = entity.FindAttribute("Boundary_Register");
    if (!attribute) return result;
    const size_t mark = entity.PartCount();
    try {
        const std::vector<TBoundaryCell*> cells = ParseBoundaryCells(entity, attribute->AttributeExpression);
        const size_t count = cells.size();
        const int32_t line = attribute->LineNumber, column = attribute->ColumnNumber;
        auto fail = [&](const std::string& message) {
            throw EBoundaryRegisterError("Boundary register: " + message + Where(attribute), line, column);
        };
        result.Cells.assign(count, nullptr);
        for (TBoundaryCell* cell : cells) {
            if (static_cast<size_t>(cell->CellNumber()) >= count)
                fail("cell " + std::to_string(cell->CellNumber()) + " is outside 0.." +
                     std::to_string(static_cast<int64_t>(count) - 1));
            result.Cells[static_cast<size_t>(cell->CellNumber())] = cell;
        }
        for (size_t i = 0; i < count; ++i)
            if (!result.Cells[i]) fail("cell " + std::to_string(i) + " is missing (a cell number repeats)");
        for (TBoundaryCell* cell : result.Cells) {
            const int32_t control = cell->ControlCellNumber();
            if (control < 0) continue;
            if (static_cast<size_t>(control) >= count)
                fail("control cell " + std::to_string(control) + " of cell " + std::to_string(cell->CellNumber()) +
                     " is outside the register");
            TBoundaryCell* controlCell = result.Cells[static_cast<size_t>(control)];
            cell->SetControlCell(controlCell);
            controlCell->SetTargetCell(cell);
        }
        // Cells whose port is a scan pin of the entity belong to that pin.
        if (!entity.Pins.empty()) {
            std::unordered_map<std::string, TScanPin*> pins;
            for (TScanPin* pin : entity.Pins) pins.emplace(UpperName(pin->PinName()), pin);
            for (TBoundaryCell* cell : cells) {
                if (cell->PortId() == "*") continue;
                const auto found = pins.find(UpperName(cell->PortId()));
                if (found == pins.end()) continue;
                TScanPin* pin = found->second;
                cell->SetPin(pin);
                pin->AddBoundaryCell(cell);
                if (pin->Kind() == eScanPinKind_Power || pin->Kind() == eScanPinKind_Ground)
                    pin->SetKind(eScanPinKind_Normal);
            }
        }
    } catch (...) {
        entity.DiscardParts(mark);
        throw;
    }
    return result;
}

} // namespace bsdl
