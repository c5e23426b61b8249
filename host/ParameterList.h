// Parameter strings: named values passed as one text of segments "Name=Value"
// joined by "|".
//
// Reading: a segment's name ends at its first "=", so a value may contain "=" but
// never "|" (there is no escape). Names and values lose surrounding white space (any
// character with a code up to 32); a segment without "=" or with an empty name is
// skipped. The same name may occur more than once: every lookup finds the first.
// Writing: items in list order, an empty value written as a single blank.
// Names compare without regard to ASCII letter case.
//
// Because there is no escape, a value containing "|" or a name containing "=" or "|"
// does not survive a write and a read unchanged; callers keep such characters out.
#pragma once

#include "plugin/com/ComTypes.h"

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace host {

// Raised when a text does not hold the number a reader asked for.
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TParameter {
public:
    TParameter(std::string_view name, std::string_view value);

    const std::string& Name() const { return FName; }
    const std::string& Value() const { return FValue; }
    // Both setters store the text without surrounding white space.
    void SetName(std::string_view name);
    void SetValue(std::string_view value);

private:
    std::string FName;
    std::string FValue;
};

// An ordered list of parameters that owns its items.
class TParameterList {
public:
    TParameterList() = default;
    TParameterList(TParameterList&&) noexcept = default;
    TParameterList& operator=(TParameterList&&) noexcept = default;

    int Count() const { return static_cast<int>(FItems.size()); }
    TParameter& Items(int index) { return *FItems.at(static_cast<size_t>(index)); }
    const TParameter& Items(int index) const { return *FItems.at(static_cast<size_t>(index)); }

    // Replaces the contents with the parameters read from `text`.
    void SetState(std::string_view text);
    void SetState(std::u16string_view text);
    void SetState_FromString(std::string_view text) { SetState(text); }
    // The list written as a parameter string (empty for an empty list).
    std::string GetState() const;
    std::u16string GetStateUtf16() const;
    std::string GetState_ToString() const { return GetState(); }

    // The first item of that name (the name looked for is trimmed), or none.
    TParameter* GetState_ParameterByName(std::string_view name);
    const TParameter* GetState_ParameterByName(std::string_view name) const;
    // Removes the first item of that name; true if one was removed.
    bool SetState_RemoveByName(std::string_view name);

    // Appends an item; nothing happens when the trimmed name is empty. An item of the
    // same name already present stays as it is (and keeps answering lookups).
    void SetState_AddParameter(std::string_view name, std::string_view value);
    void SetState_AddParameterAsString(std::string_view name, std::string_view value)
    {
        SetState_AddParameter(name, value);
    }
    void SetState_AddParameterAsBoolean(std::string_view name, bool value);
    void SetState_AddParameterAsInteger(std::string_view name, int32_t value);
    void SetState_AddParameterAsInt64(std::string_view name, int64_t value);
    // General format, up to 15 significant digits, "." whatever the locale.
    void SetState_AddParameterAsDouble(std::string_view name, double value);

    void ClearAllParameters() { FItems.clear(); }

    // Readers: true when the parameter exists (and, for numbers, holds a valid one).
    // Not found: AsString empties `value`; the number readers leave it unchanged.
    bool GetState_ParameterAsString(std::string_view name, std::string& value) const;
    bool GetState_ParameterAsString(std::string_view name, std::u16string& value) const;
    // Found: `value` is a new BSTR the caller frees with com::BstrFree. Not found:
    // `value` points to a shared empty text that must not be freed.
    bool GetState_ParameterAsPChar(std::string_view name, com::BSTR& value) const;
    // Whole numbers: optional sign, then decimal digits or "$"/"0x" and hex digits.
    // Decimal must fit the reader's range (32 or 64 bits); hex may use all its bits
    // ("$FFFFFFFF" reads as -1). The narrower readers keep the low bits of the
    // 32-bit number.
    bool GetState_ParameterAsLongInt(std::string_view name, int32_t& value) const;
    bool GetState_ParameterAsInteger(std::string_view name, int32_t& value) const;
    bool GetState_ParameterAsSmallInt(std::string_view name, int16_t& value) const;
    bool GetState_ParameterAsWord(std::string_view name, uint16_t& value) const;
    bool GetState_ParameterAsByte(std::string_view name, uint8_t& value) const;
    bool GetState_ParameterAsInt64(std::string_view name, int64_t& value) const;
    // Decimal numbers with "."; false for a text that is not one or is out of range.
    bool GetState_ParameterAsReal(std::string_view name, float& value) const;
    // As AsReal, but a parameter that is present and not a number raises EConvertError.
    bool GetState_ParameterAsDouble(std::string_view name, double& value) const;
    // Found: `value` = whether the value equals "True" without regard to case.
    bool GetState_ParameterAsBoolean(std::string_view name, bool& value) const;
    // As AsBoolean, with true stored as -1 and false as 0.
    bool GetState_ParameterAsWordBool(std::string_view name, int16_t& value) const;

private:
    std::vector<std::unique_ptr<TParameter>> FItems;
};

// Looks up one value in a parameter string. One shared list keeps the last string it
// was filled from, so asking for several names of the same string reads it once.
// Not found (or an empty string): false and `value` empty. UI thread only.
bool GetParameterValue(std::string_view paramString, std::string_view name, std::string& value);
// The text the lookup cache was last filled from (for tests and diagnostics).
std::string GetParameterValueCacheText();

// Sets the first parameter of that name in `paramString` to `value` (trimmed), or
// appends it when absent. The whole string is rewritten in normal form.
void SetParameterValue(std::string& paramString, std::string_view name, std::string_view value);

// The number conversions the list uses: general format with up to 15 significant
// digits and "."; whole numbers as for the integer readers (value unchanged on failure).
std::string FormatDouble(double value);
bool TryStrToInt(std::string_view text, int32_t& value);
bool TryStrToInt64(std::string_view text, int64_t& value);

} // namespace host
