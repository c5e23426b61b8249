// Dispatch tables: one row per DISPID, each naming the C++ operation it reaches.
// The thunk of a row converts the arguments (which arrive in reverse order),
// calls the operation, and stores its result in the caller's VarResult.
#pragma once

#include "plugin/com/Variant.h"
#include "plugin/frame/SupportService.h"

#include <algorithm>
#include <cstddef>
#include <exception>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>

namespace tavrel {

using TDispatchThunk = HRESULT (*)(TAbstractSupportService& self, const TInvokeContext& context);

struct TDispatchRow {
    int32_t DispId;
    TDispatchThunk Call;
};

namespace detail {

template <class T> struct TMethodTraits;
template <class C, class R, class... A> struct TMethodTraits<R (C::*)(A...)> {
    using Class = C;
    using Result = R;
    using Args = std::tuple<std::decay_t<A>...>;
    static constexpr size_t Arity = sizeof...(A);
};

struct TArgumentMismatch {
    uint32_t Position; // index into rgvarg
};

template <class T> T ConvertArgument(const com::VARIANT& v)
{
    if constexpr (std::is_same_v<T, std::string>) return com::VariantToString(v);
    else if constexpr (std::is_same_v<T, int32_t>) return com::VariantToInt32(v);
    else if constexpr (std::is_same_v<T, int64_t>) return com::VariantToInt64(v);
    else if constexpr (std::is_same_v<T, bool>) return com::VariantToBool(v);
    else if constexpr (std::is_same_v<T, double>) return com::VariantToDouble(v);
    else if constexpr (std::is_same_v<T, com::IDispatch*>) return com::VariantToDispatch(v);
    else static_assert(!sizeof(T), "unsupported argument type");
}

template <class R> void StoreResult(com::VARIANT* result, const R& value)
{
    if constexpr (std::is_same_v<R, std::string>) com::VariantSetString(result, value);
    else if constexpr (std::is_same_v<R, int32_t>) com::VariantSetInt32(result, value);
    else if constexpr (std::is_same_v<R, uint32_t>) com::VariantSetInt32(result, static_cast<int32_t>(value));
    else if constexpr (std::is_same_v<R, int64_t>) com::VariantSetInt64(result, value);
    else if constexpr (std::is_same_v<R, bool>) com::VariantSetBool(result, value);
    else if constexpr (std::is_same_v<R, double>) com::VariantSetDouble(result, value);
    else if constexpr (std::is_same_v<R, com::IDispatch*>) com::VariantSetDispatch(result, value);
    else static_assert(!sizeof(R), "unsupported result type");
}

template <class Args, size_t... I>
Args ConvertArguments(const com::DISPPARAMS& params, std::index_sequence<I...>)
{
    constexpr size_t n = sizeof...(I);
    auto one = [&]<size_t K>(std::integral_constant<size_t, K>) {
        const uint32_t position = params.cArgs - 1 - static_cast<uint32_t>(K);
        try {
            return ConvertArgument<std::tuple_element_t<K, Args>>(params.rgvarg[position]);
        } catch (const com::TTypeMismatch&) {
            throw TArgumentMismatch{position};
        }
    };
    (void)n;
    return Args{one(std::integral_constant<size_t, I>{})...};
}

} // namespace detail

// The thunk for one operation. Too few arguments give DISP_E_BADPARAMCOUNT, an
// argument that does not convert DISP_E_TYPEMISMATCH (ArgErr names it), and an
// exception from the operation DISP_E_EXCEPTION; a missing VarResult drops the result.
template <auto Method> HRESULT Thunk(TAbstractSupportService& self, const TInvokeContext& context)
{
    using Traits = detail::TMethodTraits<decltype(Method)>;
    using C = typename Traits::Class;
    using R = typename Traits::Result;
    constexpr size_t arity = Traits::Arity;
    auto& object = static_cast<C&>(self);
    typename Traits::Args args;
    if constexpr (arity > 0) {
        if (!context.Params || !context.Params->rgvarg || context.Params->cArgs < arity)
            return com::DISP_E_BADPARAMCOUNT;
        try {
            args = detail::ConvertArguments<typename Traits::Args>(*context.Params, std::make_index_sequence<arity>{});
        } catch (const detail::TArgumentMismatch& mismatch) {
            if (context.ArgErr) *context.ArgErr = mismatch.Position;
            return com::DISP_E_TYPEMISMATCH;
        } catch (const std::exception& e) {
            return ReportFailure(context, e.what());
        }
    }
    try {
        if constexpr (std::is_void_v<R>) {
            std::apply([&](auto&&... a) { (object.*Method)(std::forward<decltype(a)>(a)...); }, std::move(args));
        } else {
            R value = std::apply([&](auto&&... a) { return (object.*Method)(std::forward<decltype(a)>(a)...); },
                                 std::move(args));
            if (context.Result) detail::StoreResult<R>(context.Result, value);
        }
    } catch (const std::exception& e) {
        return ReportFailure(context, e.what());
    } catch (...) {
        return ReportFailure(context, "Unknown failure");
    }
    return com::S_OK;
}

template <size_t N> constexpr bool IsSortedTable(const TDispatchRow (&rows)[N])
{
    for (size_t i = 1; i < N; ++i)
        if (rows[i - 1].DispId >= rows[i].DispId) return false;
    return true;
}

template <size_t N> const TDispatchRow* FindRow(const TDispatchRow (&rows)[N], int32_t dispid)
{
    const TDispatchRow* end = rows + N;
    const TDispatchRow* row =
        std::lower_bound(rows, end, dispid, [](const TDispatchRow& r, int32_t id) { return r.DispId < id; });
    return row != end && row->DispId == dispid ? row : nullptr;
}

// Looks the DISPID up in Table and calls its row, or hands the call to Parent.
#define TAVREL_DISPATCH_WITH_TABLE(Table, Parent)                                                                 \
    static_assert(::tavrel::IsSortedTable(Table), "dispatch table must be sorted by DISPID without repeats");      \
    if (const ::tavrel::TDispatchRow* row = ::tavrel::FindRow(Table, dispid)) return row->Call(*this, context);    \
    return Parent::DispatchInvoke(dispid, context)

} // namespace tavrel
