#include "bsdl/BsdlTypes.h"

#include "plugin/frame/SupportService.h"

namespace bsdl {

namespace {

template <class E, size_t N> std::string_view TextOf(const std::array<std::string_view, N>& texts, E value)
{
    const auto index = static_cast<size_t>(value);
    return index < N ? texts[index] : std::string_view();
}

template <class E, size_t N> E FromText(const std::array<std::string_view, N>& texts, std::string_view text)
{
    // The undefined value has the empty text and is never matched by a field.
    for (size_t i = 1; i < N; ++i)
        if (!texts[i].empty() && tavrel::SameText(texts[i], text)) return static_cast<E>(i);
    return static_cast<E>(0);
}

} // namespace

std::string_view CellKindText(TCellKind value) { return TextOf(kCellKindTexts, value); }
std::string_view CellFunctionText(TCellFunction value) { return TextOf(kCellFunctionTexts, value); }
std::string_view BitValueText(TBitValue value) { return TextOf(kBitValueTexts, value); }
std::string_view DisableResultText(TDisableResult value) { return TextOf(kDisableResultTexts, value); }
std::string_view PinElectricalText(TPinElectrical value) { return TextOf(kPinElectricalTexts, value); }

TCellKind CellKindFromText(std::string_view text) { return FromText<TCellKind>(kCellKindTexts, text); }
TCellFunction CellFunctionFromText(std::string_view text)
{
    return FromText<TCellFunction>(kCellFunctionTexts, text);
}
// BSDL writes safe and disable values as 0, 1, X or x.
TBitValue BitValueFromText(std::string_view text) { return FromText<TBitValue>(kBitValueTexts, text); }
TDisableResult DisableResultFromText(std::string_view text)
{
    return FromText<TDisableResult>(kDisableResultTexts, text);
}

} // namespace bsdl
