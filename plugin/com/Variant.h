// VARIANT helpers: initialise, clear, store typed values and convert a caller's
// argument to the type an operation takes. Conversions that cannot be made throw
// TTypeMismatch; nothing here trusts the variant's content beyond its type tag.
#pragma once

#include "plugin/com/ComTypes.h"

#include <stdexcept>
#include <string>
#include <string_view>

namespace com {

class TTypeMismatch : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

void VariantInit(VARIANT* v);
void VariantClear(VARIANT* v);

// Setters clear the variant first (so an old BSTR or object is released).
void VariantSetString(VARIANT* v, std::string_view utf8);
void VariantSetInt32(VARIANT* v, int32_t value);
void VariantSetInt64(VARIANT* v, int64_t value);
void VariantSetDouble(VARIANT* v, double value);
void VariantSetBool(VARIANT* v, bool value);
// Stores the object with one added reference (the receiver releases it).
void VariantSetDispatch(VARIANT* v, IDispatch* value);

// General conversions of an argument (by-reference variants are followed).
std::string VariantToString(const VARIANT& v);
int32_t VariantToInt32(const VARIANT& v);
int64_t VariantToInt64(const VARIANT& v);
double VariantToDouble(const VARIANT& v);
bool VariantToBool(const VARIANT& v);
// The dispatch pointer held by the variant, without a new reference; empty and
// null variants give nullptr.
IDispatch* VariantToDispatch(const VARIANT& v);

// A VARIANT that clears itself.
class TVariant : public VARIANT {
public:
    TVariant() { VariantInit(this); }
    TVariant(const TVariant&) = delete;
    TVariant& operator=(const TVariant&) = delete;
    ~TVariant() { VariantClear(this); }
};

} // namespace com
