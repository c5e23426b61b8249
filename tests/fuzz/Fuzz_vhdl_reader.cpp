// Any text given to the VHDL reader ends in entities or a recorded error.
#include "bsdl/VhdlParser.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    bsdl::TVHDLEntityList entities;
    bsdl::TVHDLParser reader(entities, "fuzz.vhd");
    reader.LogToFile = false;
    reader.RunText(std::string(reinterpret_cast<const char*>(data), size));
    if (reader.Error_LineNumber != -1 && (reader.Error_LineNumber < 1 || reader.Error_ColumnNumber < 1)) std::abort();
    for (int i = 0; i < entities.Count(); ++i) {
        bsdl::TEntity* entity = entities.Items(i);
        for (int p = 0; p < entity->Ports.Count(); ++p) (void)entity->Ports.Items(p)->GetState_AsSchematicId();
        for (int c = 0; c < entity->ComponentInstances.Count(); ++c) {
            const bsdl::TComponentInstance* instance = entity->ComponentInstances.Items(c);
            for (int m = 0; m < instance->PortMap.Count(); ++m) (void)instance->PortMap.Items(m)->GetState_StringDescriptor();
        }
    }
    return 0;
}
