// The boundary register of a BSDL text: the attributes "Boundary_Length" (an
// integer) and "Boundary_Register" (the cell list) turned into the entity's
// boundary length and cells.
//
// Cell list: entries separated by ",", each a cell number and, in parentheses, the
// cell's fields separated by commas or blanks: kind, port, function, safe value and
// optionally control cell, disable value and disable result, e.g.
//   0 (BC_4, IOA5, INPUT, X), 1 (BC_1, *, CONTROL, 1), 2 (BC_1, IOA5, OUTPUT3, X, 1, 1, Z)
// Parsing stops quietly at the first entry whose number is not a non-negative
// integer or whose parentheses do not close; the entries before it are kept.
#pragma once

#include "bsdl/BsdlEntity.h"

#include <stdexcept>
#include <string_view>
#include <vector>

namespace bsdl {

// Cells that cannot be placed: a number not below the cell count, a number left
// without a cell, a control cell outside the register. The message names the
// attribute's position.
class EBoundaryRegisterError : public std::runtime_error {
public:
    EBoundaryRegisterError(const std::string& message, int32_t line, int32_t column);
    int32_t Line;
    int32_t Column;
};

// New cells of `entity` (in none of its lists) read from a cell-list text, in text order.
std::vector<TBoundaryCell*> ParseBoundaryCells(TBSDLEntity& entity, std::string_view text);

struct TBoundaryRegister {
    int32_t Length = 0;
    std::vector<TBoundaryCell*> Cells; // index = cell number
};

// Reads the two attributes of `entity`, places the cells by number and links each
// cell with its control cell (and the control cell with its target). Cells whose
// port names a scan pin of the entity are linked with that pin once the placement
// succeeded. Raises EBoundaryRegisterError; then every cell made is discarded.
TBoundaryRegister BuildBoundaryRegister(TBSDLEntity& entity);

} // namespace bsdl
