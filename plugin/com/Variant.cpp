#include "plugin/com/Variant.h"

#include "plugin/com/Bstr.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace com {

namespace {

// Follows one level of VT_BYREF (and a by-reference VARIANT) to the value.
const VARIANT& Deref(const VARIANT& v, VARIANT& scratch)
{
    if (!(v.vt & VT_BYREF)) return v;
    if (!v.byref) throw TTypeMismatch("null by-reference argument");
    const VARTYPE base = static_cast<VARTYPE>(v.vt & ~VT_BYREF);
    if (base == VT_VARIANT) {
        const VARIANT& inner = *static_cast<const VARIANT*>(v.byref);
        if (inner.vt & VT_BYREF) throw TTypeMismatch("nested by-reference argument");
        return inner;
    }
    VariantInit(&scratch);
    scratch.vt = base;
    switch (base) {
    case VT_I2: scratch.iVal = *static_cast<const int16_t*>(v.byref); break;
    case VT_I4:
    case VT_INT:
    case VT_ERROR: scratch.lVal = *static_cast<const int32_t*>(v.byref); break;
    case VT_UI4:
    case VT_UINT: scratch.ulVal = *static_cast<const uint32_t*>(v.byref); break;
    case VT_UI1: scratch.bVal = *static_cast<const uint8_t*>(v.byref); break;
    case VT_I8: scratch.llVal = *static_cast<const int64_t*>(v.byref); break;
    case VT_UI8: scratch.ullVal = *static_cast<const uint64_t*>(v.byref); break;
    case VT_R8:
    case VT_DATE: scratch.dblVal = *static_cast<const double*>(v.byref); break;
    case VT_BOOL: scratch.boolVal = *static_cast<const VARIANT_BOOL*>(v.byref); break;
    case VT_BSTR: scratch.bstrVal = *static_cast<BSTR const*>(v.byref); break;
    case VT_DISPATCH: scratch.pdispVal = *static_cast<IDispatch* const*>(v.byref); break;
    case VT_UNKNOWN: scratch.punkVal = *static_cast<IUnknown* const*>(v.byref); break;
    default: throw TTypeMismatch("unsupported by-reference argument type");
    }
    return scratch;
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
    return s;
}

int64_t ParseInteger(const VARIANT& v)
{
    const std::string text = BstrToUtf8(v.bstrVal);
    std::string_view s = Trim(text);
    if (s.empty()) throw TTypeMismatch("empty text is not a number");
    if (s.front() == '+') s.remove_prefix(1);
    int64_t value = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec == std::errc() && end == s.data() + s.size()) return value;
    // A decimal fraction rounds like a floating-point argument.
    double d = 0;
    auto [dend, dec] = std::from_chars(s.data(), s.data() + s.size(), d);
    if (dec == std::errc() && dend == s.data() + s.size() && std::isfinite(d) && std::fabs(d) < 9.2e18)
        return static_cast<int64_t>(std::nearbyint(d));
    throw TTypeMismatch("'" + text + "' is not a number");
}

int64_t RoundDouble(double d)
{
    if (!std::isfinite(d) || std::fabs(d) >= 9.2e18) throw TTypeMismatch("number out of range");
    return static_cast<int64_t>(std::nearbyint(d));
}

std::string FormatDouble(double d)
{
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, d, std::chars_format::general, 15);
    if (ec != std::errc()) return "0";
    return std::string(buffer, end);
}

} // namespace

void VariantInit(VARIANT* v)
{
    std::memset(v, 0, sizeof *v);
    v->vt = VT_EMPTY;
}

void VariantClear(VARIANT* v)
{
    if (!v) return;
    switch (v->vt) {
    case VT_BSTR: BstrFree(v->bstrVal); break;
    case VT_DISPATCH:
        if (v->pdispVal) v->pdispVal->Release();
        break;
    case VT_UNKNOWN:
        if (v->punkVal) v->punkVal->Release();
        break;
    default: break;
    }
    VariantInit(v);
}

void VariantSetString(VARIANT* v, std::string_view utf8)
{
    BSTR text = BstrFromUtf8(utf8);
    VariantClear(v);
    v->vt = VT_BSTR;
    v->bstrVal = text;
}

void VariantSetInt32(VARIANT* v, int32_t value)
{
    VariantClear(v);
    v->vt = VT_I4;
    v->lVal = value;
}

void VariantSetInt64(VARIANT* v, int64_t value)
{
    VariantClear(v);
    v->vt = VT_I8;
    v->llVal = value;
}

void VariantSetDouble(VARIANT* v, double value)
{
    VariantClear(v);
    v->vt = VT_R8;
    v->dblVal = value;
}

void VariantSetBool(VARIANT* v, bool value)
{
    VariantClear(v);
    v->vt = VT_BOOL;
    v->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

void VariantSetDispatch(VARIANT* v, IDispatch* value)
{
    if (value) value->AddRef();
    VariantClear(v);
    v->vt = VT_DISPATCH;
    v->pdispVal = value;
}

std::string VariantToString(const VARIANT& arg)
{
    VARIANT scratch;
    const VARIANT& v = Deref(arg, scratch);
    switch (v.vt) {
    case VT_EMPTY: return {};
    case VT_BSTR: return BstrToUtf8(v.bstrVal);
    case VT_I2: return std::to_string(v.iVal);
    case VT_I4:
    case VT_INT: return std::to_string(v.lVal);
    case VT_UI4:
    case VT_UINT: return std::to_string(v.ulVal);
    case VT_UI1: return std::to_string(v.bVal);
    case VT_I8: return std::to_string(v.llVal);
    case VT_UI8: return std::to_string(v.ullVal);
    case VT_R8:
    case VT_DATE: return FormatDouble(v.dblVal);
    case VT_BOOL: return v.boolVal ? "True" : "False";
    default: throw TTypeMismatch("argument does not convert to text");
    }
}

int64_t VariantToInt64(const VARIANT& arg)
{
    VARIANT scratch;
    const VARIANT& v = Deref(arg, scratch);
    switch (v.vt) {
    case VT_EMPTY: return 0;
    case VT_I2: return v.iVal;
    case VT_I4:
    case VT_INT: return v.lVal;
    case VT_UI4:
    case VT_UINT: return v.ulVal;
    case VT_UI1: return v.bVal;
    case VT_I8: return v.llVal;
    case VT_UI8: return static_cast<int64_t>(v.ullVal);
    case VT_R8:
    case VT_DATE: return RoundDouble(v.dblVal);
    case VT_BOOL: return v.boolVal ? -1 : 0;
    case VT_BSTR: return ParseInteger(v);
    default: throw TTypeMismatch("argument does not convert to an integer");
    }
}

int32_t VariantToInt32(const VARIANT& arg)
{
    const int64_t value = VariantToInt64(arg);
    // Unsigned 32-bit values keep their bits; anything wider does not fit.
    if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<uint32_t>::max())
        throw TTypeMismatch("integer argument out of range");
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}

double VariantToDouble(const VARIANT& arg)
{
    VARIANT scratch;
    const VARIANT& v = Deref(arg, scratch);
    switch (v.vt) {
    case VT_R8:
    case VT_DATE: return v.dblVal;
    case VT_BSTR: {
        const std::string text = BstrToUtf8(v.bstrVal);
        const std::string_view s = Trim(text);
        double d = 0;
        auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), d);
        if (s.empty() || ec != std::errc() || end != s.data() + s.size())
            throw TTypeMismatch("'" + text + "' is not a number");
        return d;
    }
    default: return static_cast<double>(VariantToInt64(v));
    }
}

bool VariantToBool(const VARIANT& arg)
{
    VARIANT scratch;
    const VARIANT& v = Deref(arg, scratch);
    if (v.vt == VT_BSTR) {
        const std::string text = BstrToUtf8(v.bstrVal);
        const std::string_view s = Trim(text);
        if (s.size() == 4 && (s[0] | 0x20) == 't' && (s[1] | 0x20) == 'r' && (s[2] | 0x20) == 'u' &&
            (s[3] | 0x20) == 'e')
            return true;
        if (s.size() == 5 && (s[0] | 0x20) == 'f' && (s[1] | 0x20) == 'a' && (s[2] | 0x20) == 'l' &&
            (s[3] | 0x20) == 's' && (s[4] | 0x20) == 'e')
            return false;
    }
    return VariantToInt64(v) != 0;
}

IDispatch* VariantToDispatch(const VARIANT& arg)
{
    VARIANT scratch;
    const VARIANT& v = Deref(arg, scratch);
    switch (v.vt) {
    case VT_EMPTY: return nullptr;
    case VT_DISPATCH: return v.pdispVal;
    case VT_UNKNOWN: {
        if (!v.punkVal) return nullptr;
        void* dispatch = nullptr;
        if (Failed(v.punkVal->QueryInterface(IID_IDispatch, &dispatch)) || !dispatch)
            throw TTypeMismatch("object argument has no dispatch interface");
        // The variant keeps the object alive; hand back a pointer without a new reference.
        static_cast<IDispatch*>(dispatch)->Release();
        return static_cast<IDispatch*>(dispatch);
    }
    default: throw TTypeMismatch("argument is not an object");
    }
}

} // namespace com
