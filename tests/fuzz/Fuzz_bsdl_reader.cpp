// Any text given to the BSDL reader ends in entities or a recorded error, and
// the boundary register of every entity is built or refused with an error.
#include "bsdl/BoundaryRegister.h"
#include "bsdl/BsdlDispatch.h"
#include "bsdl/BsdlParser.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    bsdl::TVHDLEntityList entities;
    std::vector<std::string> lines;
    bsdl::TBSDLParser reader(&lines, entities, "fuzz.bsd");
    reader.LogToFile = false;
    reader.RunText(std::string(reinterpret_cast<const char*>(data), size));
    for (int i = 0; i < entities.Count(); ++i) {
        auto* entity = dynamic_cast<bsdl::TBSDLEntity*>(entities.Items(i));
        if (!entity) std::abort();
        try {
            entity->ProcessBoundaryInfo();
        } catch (const bsdl::EBoundaryRegisterError&) {
            if (entity->ProcessedBoundaryInfo() || !entity->BoundaryCells.empty()) std::abort();
            continue;
        }
        for (size_t c = 0; c < entity->BoundaryCells.size(); ++c) {
            const bsdl::TBoundaryCell* cell = entity->BoundaryCells[c];
            if (!cell || cell->CellNumber() != static_cast<int32_t>(c)) std::abort();
            if (cell->ControlCell() && cell->ControlCell()->TargetCell() == nullptr) std::abort();
            (void)cell->DescriptionText();
        }
    }
    return 0;
}
