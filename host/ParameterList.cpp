#include "host/ParameterList.h"

#include "plugin/com/Bstr.h"

#include <charconv>
#include <cstddef>
#include <limits>
#include <system_error>

namespace host {

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

std::string_view Trim(std::string_view text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

bool SameTextAscii(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    return true;
}

// Reads the magnitude and sign of a whole number. Decimal magnitudes may reach
// `decimalLimit` (one more for a negative number); hex magnitudes may use every bit
// of the target width (`hexLimit`).
bool ParseWhole(std::string_view text, uint64_t decimalLimit, uint64_t hexLimit, bool& negative, uint64_t& magnitude)
{
    negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.starts_with('$')) {
        base = 16;
        text.remove_prefix(1);
    } else if (text.starts_with("0x")) {
        base = 16;
        text.remove_prefix(2);
    }
    // from_chars would accept its own sign; the sign was taken above.
    if (text.empty() || text.front() == '-' || text.front() == '+') return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (error != std::errc() || end != text.data() + text.size()) return false;
    if (base == 16) return magnitude <= hexLimit;
    return magnitude <= decimalLimit + (negative ? 1 : 0);
}

template <typename Number>
bool ParseDecimal(std::string_view text, Number& value)
{
    // A leading "+" is allowed; from_chars takes only "-".
    if (text.starts_with('+')) {
        text.remove_prefix(1);
        if (text.starts_with('-')) return false;
    }
    if (text.empty()) return false;
    Number parsed;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), parsed, std::chars_format::general);
    if (error != std::errc() || end != text.data() + text.size()) return false;
    value = parsed;
    return true;
}

} // namespace

bool TryStrToInt64(std::string_view text, int64_t& value)
{
    bool negative;
    uint64_t magnitude;
    if (!ParseWhole(text, std::numeric_limits<int64_t>::max(), std::numeric_limits<uint64_t>::max(), negative,
                    magnitude))
        return false;
    // Two's complement wrap: "$FFFFFFFFFFFFFFFF" is -1 and "-9223372036854775808" fits.
    value = static_cast<int64_t>(negative ? 0 - magnitude : magnitude);
    return true;
}

bool TryStrToInt(std::string_view text, int32_t& value)
{
    bool negative;
    uint64_t magnitude;
    if (!ParseWhole(text, std::numeric_limits<int32_t>::max(), std::numeric_limits<uint32_t>::max(), negative,
                    magnitude))
        return false;
    const auto bits = static_cast<uint32_t>(magnitude);
    value = static_cast<int32_t>(negative ? 0u - bits : bits);
    return true;
}

std::string FormatDouble(double value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    return std::string(buffer, result.ptr);
}

TParameter::TParameter(std::string_view name, std::string_view value) : FName(Trim(name)), FValue(Trim(value)) {}

void TParameter::SetName(std::string_view name) { FName = Trim(name); }

void TParameter::SetValue(std::string_view value) { FValue = Trim(value); }

void TParameterList::SetState(std::string_view text)
{
    ClearAllParameters();
    while (true) {
        const size_t bar = text.find('|');
        const std::string_view segment = text.substr(0, bar);
        const size_t equals = segment.find('=');
        if (equals != std::string_view::npos)
            SetState_AddParameter(segment.substr(0, equals), segment.substr(equals + 1));
        if (bar == std::string_view::npos) break;
        text.remove_prefix(bar + 1);
    }
}

void TParameterList::SetState(std::u16string_view text) { SetState(com::Utf16ToUtf8(text)); }

std::string TParameterList::GetState() const
{
    std::string text;
    for (const auto& item : FItems) {
        if (!text.empty()) text += '|';
        text += item->Name();
        text += '=';
        text += item->Value().empty() ? std::string_view(" ") : std::string_view(item->Value());
    }
    return text;
}

std::u16string TParameterList::GetStateUtf16() const { return com::Utf8ToUtf16(GetState()); }

TParameter* TParameterList::GetState_ParameterByName(std::string_view name)
{
    const std::string_view wanted = Trim(name);
    for (const auto& item : FItems)
        if (SameTextAscii(item->Name(), wanted)) return item.get();
    return nullptr;
}

const TParameter* TParameterList::GetState_ParameterByName(std::string_view name) const
{
    return const_cast<TParameterList*>(this)->GetState_ParameterByName(name);
}

bool TParameterList::SetState_RemoveByName(std::string_view name)
{
    const std::string_view wanted = Trim(name);
    for (auto it = FItems.begin(); it != FItems.end(); ++it) {
        if (SameTextAscii((*it)->Name(), wanted)) {
            FItems.erase(it);
            return true;
        }
    }
    return false;
}

void TParameterList::SetState_AddParameter(std::string_view name, std::string_view value)
{
    if (Trim(name).empty()) return;
    FItems.push_back(std::make_unique<TParameter>(name, value));
}

void TParameterList::SetState_AddParameterAsBoolean(std::string_view name, bool value)
{
    SetState_AddParameter(name, value ? "True" : "False");
}

void TParameterList::SetState_AddParameterAsInteger(std::string_view name, int32_t value)
{
    SetState_AddParameter(name, std::to_string(value));
}

void TParameterList::SetState_AddParameterAsInt64(std::string_view name, int64_t value)
{
    SetState_AddParameter(name, std::to_string(value));
}

void TParameterList::SetState_AddParameterAsDouble(std::string_view name, double value)
{
    SetState_AddParameter(name, FormatDouble(value));
}

bool TParameterList::GetState_ParameterAsString(std::string_view name, std::string& value) const
{
    const TParameter* item = GetState_ParameterByName(name);
    value = item ? item->Value() : std::string();
    return item != nullptr;
}

bool TParameterList::GetState_ParameterAsString(std::string_view name, std::u16string& value) const
{
    const TParameter* item = GetState_ParameterByName(name);
    value = item ? com::Utf8ToUtf16(item->Value()) : std::u16string();
    return item != nullptr;
}

bool TParameterList::GetState_ParameterAsPChar(std::string_view name, com::BSTR& value) const
{
    // Laid out like an allocated BSTR (length prefix, then the text), so that length
    // queries on it are valid too; it is never freed.
    struct TStaticEmptyBstr {
        uint32_t ByteLength;
        char16_t Text[1];
    };
    static TStaticEmptyBstr emptyText{0, {u'\0'}};
    static_assert(offsetof(TStaticEmptyBstr, Text) == sizeof(uint32_t));

    const TParameter* item = GetState_ParameterByName(name);
    value = item ? com::BstrFromUtf8(item->Value()) : emptyText.Text;
    return item != nullptr;
}

bool TParameterList::GetState_ParameterAsLongInt(std::string_view name, int32_t& value) const
{
    const TParameter* item = GetState_ParameterByName(name);
    return item && TryStrToInt(item->Value(), value);
}

bool TParameterList::GetState_ParameterAsInteger(std::string_view name, int32_t& value) const
{
    return GetState_ParameterAsLongInt(name, value);
}

bool TParameterList::GetState_ParameterAsSmallInt(std::string_view name, int16_t& value) const
{
    int32_t number;
    if (!GetState_ParameterAsLongInt(name, number)) return false;
    value = static_cast<int16_t>(number);
    return true;
}

bool TParameterList::GetState_ParameterAsWord(std::string_view name, uint16_t& value) const
{
    int32_t number;
    if (!GetState_ParameterAsLongInt(name, number)) return false;
    value = static_cast<uint16_t>(number);
    return true;
}

bool TParameterList::GetState_ParameterAsByte(std::string_view name, uint8_t& value) const
{
    int32_t number;
    if (!GetState_ParameterAsLongInt(name, number)) return false;
    value = static_cast<uint8_t>(number);
    return true;
}

bool TParameterList::GetState_ParameterAsInt64(std::string_view name, int64_t& value) const
{
    const TParameter* item = GetState_ParameterByName(name);
    return item && TryStrToInt64(item->Value(), value);
}

bool TParameterList::GetState_ParameterAsReal(std::string_view name, float& value) const
{
    const TParameter* item = GetState_ParameterByName(name);
    return item && ParseDecimal(item->Value(), value);
}

bool TParameterList::GetState_ParameterAsDouble(std::string_view name, double& value) const
{
    const TParameter* item = GetState_ParameterByName(name);
    if (!item) return false;
    if (!ParseDecimal(item->Value(), value))
        throw EConvertError("'" + item->Value() + "' is not a valid floating point value");
    return true;
}

bool TParameterList::GetState_ParameterAsBoolean(std::string_view name, bool& value) const
{
    const TParameter* item = GetState_ParameterByName(name);
    if (!item) return false;
    value = SameTextAscii(item->Value(), "True");
    return true;
}

bool TParameterList::GetState_ParameterAsWordBool(std::string_view name, int16_t& value) const
{
    bool flag;
    if (!GetState_ParameterAsBoolean(name, flag)) return false;
    value = flag ? -1 : 0;
    return true;
}

namespace {

// The lookup cache of GetParameterValue: lives until the library is unloaded.
struct TParameterValueCache {
    TParameterList List;
    std::string Text;
};

TParameterValueCache& ParameterValueCache()
{
    static TParameterValueCache cache;
    return cache;
}

} // namespace

bool GetParameterValue(std::string_view paramString, std::string_view name, std::string& value)
{
    if (paramString.empty()) {
        value.clear();
        return false;
    }
    TParameterValueCache& cache = ParameterValueCache();
    if (paramString != cache.Text) {
        // The text is remembered only once the list matches it.
        cache.Text.clear();
        cache.List.SetState(paramString);
        cache.Text.assign(paramString);
    }
    // `name` may view `value`: look up first, assign last.
    const TParameter* item = cache.List.GetState_ParameterByName(name);
    value = item ? item->Value() : std::string();
    return item != nullptr;
}

std::string GetParameterValueCacheText() { return ParameterValueCache().Text; }

void SetParameterValue(std::string& paramString, std::string_view name, std::string_view value)
{
    TParameterList list;
    list.SetState(paramString);
    if (TParameter* item = list.GetState_ParameterByName(name))
        item->SetValue(value);
    else
        list.SetState_AddParameter(name, value);
    paramString = list.GetState_ToString();
}

} // namespace host
