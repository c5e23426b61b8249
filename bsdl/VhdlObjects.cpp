#include "bsdl/VhdlObjects.h"

#include "bsdl/VhdlParser.h"
#include "bsdl/VhdlTokenizer.h"

namespace bsdl {

std::string UpperName(std::string_view name)
{
    std::string upper(name);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return upper;
}

std::string_view ElementKindText(TElementKind kind)
{
    switch (kind) {
    case eElementAbstract: return "Abstract Element";
    case eElementPortDeclaration: return "Port";
    case eElementGenericDeclaration: return "Generic";
    case eElementPortMap: return "Port Map";
    case eElementGenericMap: return "Generic Map";
    case eElementSignalDeclaration: return "Signal";
    }
    return {};
}

TVHDLObject::TVHDLObject(TVHDLParser* parser) : Parser(parser)
{
    if (parser) {
        LineNumber = parser->CurrentLineNumber();
        ColumnNumber = parser->CurrentColumnNumber();
    }
}

namespace {

bool IsInteger(std::string_view text)
{
    if (text.empty()) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

// "(low dir high)" or "(low)" for a single bound; empty without a range.
std::string RangeText(int32_t direction, const std::string& low, const std::string& high)
{
    if (direction < 0) return {};
    if (low == high) return "(" + low + ")";
    return "(" + low + " " + std::string(VHDLWordText(direction)) + " " + high + ")";
}

} // namespace

std::string TInterfaceElement::GetState_StringDescriptor() const
{
    std::string text = std::string(Prefix()) + FName + " " + std::string(PinElectricalText(FMode)) + " : " +
                       SubTypeIndication + RangeText(FArrayDirection, Expression1, Expression2);
    if (!DefaultValue.empty()) text += " := " + DefaultValue;
    return text;
}

std::string TInterfaceElement::GetState_AsSchematicId() const
{
    if (FArrayDirection < 0) return FName;
    if (Expression1 != Expression2) return FName + "[" + Expression1 + ".." + Expression2 + "]";
    if (IsInteger(Expression1)) return FName + Expression1;
    return FName + "(" + Expression1 + ")";
}

std::string TAssociationElement::GetState_StringDescriptor() const
{
    std::string text = std::string(ElementKindText(ElementKind)) + " ";
    if (ComponentInstance) text += ComponentInstance->Name;
    if (VHDLPort) text += "-" + VHDLPort->FName;
    text += " => ";
    if (SignalOrPort) {
        text += SignalOrPort->FName + "(" + std::string(ElementKindText(SignalOrPort->ElementKind)) + ")" +
                RangeText(Actual_ArrayDirection, Actual_Expression1, Actual_Expression2);
    } else {
        text += ActualPart + RangeText(Actual_ArrayDirection, Actual_Expression1, Actual_Expression2);
    }
    return text;
}

} // namespace bsdl
