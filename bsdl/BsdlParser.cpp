#include "bsdl/BsdlParser.h"

namespace bsdl {

TBSDLParser::TBSDLParser(std::vector<std::string>* lines, TVHDLEntityList& entities, std::string documentPath)
    : TVHDLParser(entities, std::move(documentPath)), FLines(lines)
{
}

std::unique_ptr<TEntity> TBSDLParser::CreateEntity() { return std::make_unique<TBSDLEntity>(this, DocumentPath()); }

void TBSDLParser::LogLine(const std::string& line)
{
    TVHDLParser::LogLine(line);
    if (FLines) FLines->push_back(line);
}

TBSDLEntity* FirstBSDLEntity(const TVHDLEntityList& entities)
{
    for (int i = 0; i < entities.Count(); ++i)
        if (auto* entity = dynamic_cast<TBSDLEntity*>(entities.Items(i))) return entity;
    return nullptr;
}

} // namespace bsdl
