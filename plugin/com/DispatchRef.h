// A reference to a dispatch object on the other side of the contract, and typed
// calls through it. Each call names the operation's DISPID and passes typed
// arguments; they are packed into VARIANTs (last argument first) and sent
// through IDispatch::Invoke. An empty reference does nothing and gives an empty
// result. A failure reported by the callee raises TDispatchCallError.
#pragma once

#include "plugin/com/ComTypes.h"

#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace com {

class TDispatchCallError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One argument of a host call. A bool* is passed by reference as a Boolean.
using TDispatchArg = std::variant<int32_t, int64_t, bool, std::string, IDispatch*, bool*>;

class TDispatchRef {
public:
    TDispatchRef() = default;
    explicit TDispatchRef(IDispatch* object);
    TDispatchRef(const TDispatchRef& other);
    TDispatchRef(TDispatchRef&& other) noexcept;
    TDispatchRef& operator=(TDispatchRef other) noexcept;
    ~TDispatchRef();

    bool Empty() const { return FObject == nullptr; }
    explicit operator bool() const { return FObject != nullptr; }
    IDispatch* Get() const { return FObject; }
    void Reset();

    void Call(int32_t dispid, const std::vector<TDispatchArg>& args = {}) const;
    std::string CallString(int32_t dispid, const std::vector<TDispatchArg>& args = {}) const;
    int32_t CallInt(int32_t dispid, const std::vector<TDispatchArg>& args = {}) const;
    int64_t CallInt64(int32_t dispid, const std::vector<TDispatchArg>& args = {}) const;
    bool CallBool(int32_t dispid, const std::vector<TDispatchArg>& args = {}) const;
    TDispatchRef CallObject(int32_t dispid, const std::vector<TDispatchArg>& args = {}) const;

private:
    template <class T, class Convert>
    T InvokeAs(int32_t dispid, const std::vector<TDispatchArg>& args, Convert convert) const;
    // Runs the call; result is left VT_EMPTY when the wrapper is empty.
    void Invoke(int32_t dispid, const std::vector<TDispatchArg>& args, VARIANT* result) const;

    IDispatch* FObject = nullptr;
};

} // namespace com
