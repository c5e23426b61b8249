// The dispatch frame every object handed to a host is built on.
//
// A support-service object answers IDispatch::Invoke by looking the DISPID up in
// its class's table; a DISPID the class does not know goes to the parent class,
// and the chain ends at the root, which answers SupportsService (DISPID 1023) and
// E_NOTIMPL for everything else. Operations are ordinary C++ virtual functions;
// an exception leaving one becomes DISP_E_EXCEPTION at the Invoke boundary.
#pragma once

#include "plugin/com/ComTypes.h"

#include <atomic>
#include <initializer_list>
#include <string>
#include <string_view>

namespace tavrel {

using com::HRESULT;

inline constexpr int32_t kDispId_SupportsService = 1023;

// What one Invoke call carries besides the DISPID.
struct TInvokeContext {
    com::DISPPARAMS* Params;
    com::VARIANT* Result;
    com::EXCEPINFO* ExcepInfo;
    uint32_t* ArgErr;
};

// ASCII case-insensitive comparison used for every name the frame compares.
bool SameText(std::string_view a, std::string_view b);
bool SameTextAny(std::string_view name, std::initializer_list<std::string_view> names);

class TAbstractSupportService : public com::IDispatch, public com::ISupportService {
public:
    TAbstractSupportService() = default;
    TAbstractSupportService(const TAbstractSupportService&) = delete;
    TAbstractSupportService& operator=(const TAbstractSupportService&) = delete;
    virtual ~TAbstractSupportService() = default;

    // IUnknown: plain reference counting, born at 0, freed by the last Release.
    HRESULT QueryInterface(const com::GUID& iid, void** object) override;
    uint32_t AddRef() override;
    uint32_t Release() override;

    // IDispatch
    HRESULT GetTypeInfoCount(uint32_t* count) override;
    HRESULT GetTypeInfo(uint32_t index, uint32_t lcid, void** typeInfo) override;
    HRESULT GetIDsOfNames(const com::GUID& iid, char16_t** names, uint32_t nameCount, uint32_t lcid,
                          int32_t* dispids) override;
    HRESULT Invoke(int32_t dispid, const com::GUID& iid, uint32_t lcid, uint16_t flags, com::DISPPARAMS* params,
                   com::VARIANT* result, com::EXCEPINFO* excepInfo, uint32_t* argErr) override;

    // Support-service interface.
    HRESULT SupportsService(com::BSTR name, com::VARIANT_BOOL* supported) override;

    // True when this class or an ancestor declares the service name (any letter case).
    virtual bool SupportsServiceName(std::string_view name) const { return false; }
    bool SupportsServiceByName(std::string name) { return SupportsServiceName(name); }

    com::IDispatch* AsDispatch() { return this; }

protected:
    // Dispatch by class table; subclasses with a table override this and hand
    // unknown DISPIDs to their parent's DispatchInvoke.
    virtual HRESULT DispatchInvoke(int32_t dispid, const TInvokeContext& context);

    std::atomic<int32_t> FRefCount{0};
};

// Support-service objects whose lifetime the library owns: the host's
// reference operations do nothing.
class TUncountedSupportService : public TAbstractSupportService {
public:
    uint32_t AddRef() override { return 0xFFFFFFFFu; }
    uint32_t Release() override { return 0xFFFFFFFFu; }
};

// Turns an exception that ended an operation into the frame's failure report.
HRESULT ReportFailure(const TInvokeContext& context, std::string_view message);

} // namespace tavrel
