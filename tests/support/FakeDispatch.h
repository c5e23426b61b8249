// A scriptable host object for tests: records every Invoke it receives (DISPID
// and arguments in the caller's order) and answers through handlers per DISPID.
#pragma once

#include "plugin/com/Bstr.h"
#include "plugin/com/Variant.h"

#include <atomic>
#include <functional>
#include <map>
#include <string>
#include <variant>
#include <vector>

namespace testsupport {

// One received argument, decoded to something a test can compare.
using TArg = std::variant<std::monostate, int64_t, bool, std::string, com::IDispatch*>;

struct TCall {
    std::string Object;
    int32_t DispId;
    std::vector<TArg> Args;
};

// Calls of several fake objects in one order.
using TCallLog = std::vector<TCall>;

class TFakeDispatch : public com::IDispatch {
public:
    using THandler = std::function<com::HRESULT(const std::vector<TArg>& args, com::VARIANT* result)>;

    TFakeDispatch(std::string name, TCallLog* log) : FName(std::move(name)), FLog(log) {}
    virtual ~TFakeDispatch() = default;

    // Result handlers; a DISPID without one answers S_OK and leaves the result empty.
    void On(int32_t dispid, THandler handler) { FHandlers[dispid] = std::move(handler); }
    void ReturnInt(int32_t dispid, int32_t value)
    {
        On(dispid, [value](const std::vector<TArg>&, com::VARIANT* r) {
            if (r) com::VariantSetInt32(r, value);
            return com::S_OK;
        });
    }
    void ReturnString(int32_t dispid, std::string value)
    {
        On(dispid, [value](const std::vector<TArg>&, com::VARIANT* r) {
            if (r) com::VariantSetString(r, value);
            return com::S_OK;
        });
    }
    void ReturnObject(int32_t dispid, com::IDispatch* value)
    {
        On(dispid, [value](const std::vector<TArg>&, com::VARIANT* r) {
            if (r) com::VariantSetDispatch(r, value);
            return com::S_OK;
        });
    }
    void Fail(int32_t dispid, com::HRESULT status)
    {
        On(dispid, [status](const std::vector<TArg>&, com::VARIANT*) { return status; });
    }

    int32_t RefCount() const { return FRefs; }

    com::HRESULT QueryInterface(const com::GUID& iid, void** object) override
    {
        if (!object) return com::E_POINTER;
        if (iid == com::IID_IDispatch || iid == com::IID_IUnknown) {
            *object = static_cast<com::IDispatch*>(this);
            AddRef();
            return com::S_OK;
        }
        *object = nullptr;
        return com::E_NOINTERFACE;
    }
    uint32_t AddRef() override { return static_cast<uint32_t>(++FRefs); }
    uint32_t Release() override { return static_cast<uint32_t>(--FRefs); } // owned by the test
    com::HRESULT GetTypeInfoCount(uint32_t*) override { return com::E_NOTIMPL; }
    com::HRESULT GetTypeInfo(uint32_t, uint32_t, void**) override { return com::E_NOTIMPL; }
    com::HRESULT GetIDsOfNames(const com::GUID&, char16_t**, uint32_t, uint32_t, int32_t*) override
    {
        return com::E_NOTIMPL;
    }
    com::HRESULT Invoke(int32_t dispid, const com::GUID&, uint32_t, uint16_t, com::DISPPARAMS* params,
                        com::VARIANT* result, com::EXCEPINFO* info, uint32_t*) override
    {
        std::vector<TArg> args;
        if (params)
            for (uint32_t i = params->cArgs; i-- > 0;) args.push_back(Decode(params->rgvarg[i]));
        if (FLog) FLog->push_back({FName, dispid, args});
        auto handler = FHandlers.find(dispid);
        if (handler == FHandlers.end()) return com::S_OK;
        const com::HRESULT hr = handler->second(args, result);
        if (com::Failed(hr) && info) info->bstrDescription = com::BstrFromUtf8("fake host failure");
        return hr;
    }

private:
    static TArg Decode(const com::VARIANT& v)
    {
        switch (v.vt) {
        case com::VT_I4: return int64_t{v.lVal};
        case com::VT_I8: return v.llVal;
        case com::VT_BOOL: return v.boolVal != 0;
        case com::VT_BSTR: return com::BstrToUtf8(v.bstrVal);
        case com::VT_DISPATCH: return v.pdispVal;
        default: return std::monostate{};
        }
    }

    std::string FName;
    TCallLog* FLog;
    std::map<int32_t, THandler> FHandlers;
    std::atomic<int32_t> FRefs{0};
};

} // namespace testsupport
