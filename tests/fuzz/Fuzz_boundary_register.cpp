// The boundary-register parser on its own: the input is the text of the
// "Boundary_Register" attribute. Cells are built and placed, or refused.
#include "bsdl/BoundaryRegister.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    bsdl::TBSDLEntity entity(nullptr, "fuzz.bsd");
    auto* cells = new bsdl::TVHDLAttribute(nullptr);
    cells->AttributeDesignator = "Boundary_Register";
    cells->AttributeExpression.assign(reinterpret_cast<const char*>(data), size);
    entity.Attributes.Add("", cells);
    const std::vector<bsdl::TBoundaryCell*> parsed = bsdl::ParseBoundaryCells(entity, cells->AttributeExpression);
    try {
        entity.ProcessBoundaryInfo();
    } catch (const bsdl::EBoundaryRegisterError&) {
        return 0;
    }
    if (entity.BoundaryCells.size() != parsed.size()) std::abort();
    for (size_t i = 0; i < entity.BoundaryCells.size(); ++i)
        if (entity.BoundaryCells[i]->CellNumber() != static_cast<int32_t>(i)) std::abort();
    return 0;
}
