// TBSDLParser: the VHDL reader for boundary-scan descriptions. Its entities are
// TBSDLEntity objects whose boundary register is built from the attributes
// "Boundary_Length" and "Boundary_Register" on the first request for boundary
// information (BoundaryRegister.h); every other declaration stays as the VHDL
// objects of the entity. Log lines also go to a caller's line list, and the log
// file is "BSDL Parser.log".
#pragma once

#include "bsdl/BsdlEntity.h"
#include "bsdl/VhdlParser.h"

#include <string>
#include <vector>

namespace bsdl {

class TBSDLParser : public TVHDLParser {
public:
    // `lines` (may be null) receives every log line; entities go into `entities`.
    TBSDLParser(std::vector<std::string>* lines, TVHDLEntityList& entities, std::string documentPath);

    bool DidErrorOccur() const { return Error_LineNumber != -1; }

protected:
    std::unique_ptr<TEntity> CreateEntity() override;
    void LogLine(const std::string& line) override;
    std::string LogFileName() const override { return "BSDL Parser.log"; }

private:
    std::vector<std::string>* FLines;
};

// The boundary-scan entity of a reader's entity list (the first one that is one), or none.
TBSDLEntity* FirstBSDLEntity(const TVHDLEntityList& entities);

} // namespace bsdl
