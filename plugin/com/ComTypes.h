// Binary contract shared by the plug-in and any host: a layout-compatible subset
// of the COM/OLE Automation types, declared here for platforms without them.
// Nothing in this header may change layout: foreign hosts are compiled against it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace com {

using HRESULT = int32_t;
using BSTR = char16_t*;
using DISPID = int32_t;
using LCID = uint32_t;
using VARTYPE = uint16_t;
using VARIANT_BOOL = int16_t;

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
inline constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005u);
inline constexpr HRESULT DISP_E_EXCEPTION = static_cast<HRESULT>(0x80020009u);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = static_cast<HRESULT>(0x8002000Eu);

inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

inline constexpr uint16_t DISPATCH_METHOD = 1;
inline constexpr uint16_t DISPATCH_PROPERTYGET = 2;

inline bool Succeeded(HRESULT hr) { return hr >= 0; }
inline bool Failed(HRESULT hr) { return hr < 0; }

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};

inline bool operator==(const GUID& a, const GUID& b)
{
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i]) return false;
    return true;
}

inline constexpr GUID IID_NULL{0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
inline constexpr GUID IID_IUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr GUID IID_IDispatch{0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// The support-service interface: IUnknown then SupportsService(Name, out Supported).
inline constexpr GUID IID_ISupportService{0x1DEBA58E, 0x0DF5, 0x4081, {0x93, 0xE9, 0x0C, 0x17, 0x32, 0xE7, 0xDF, 0xAE}};
// The driver's memory-access interface: IUnknown then MemoryRead, MemoryWrite.
inline constexpr GUID IID_IMemoryAccess{0xDE05D751, 0x32F9, 0x4557, {0xA7, 0xB6, 0x67, 0x8A, 0x82, 0x80, 0xE2, 0x74}};
// The channel's pin-level interface.
inline constexpr GUID IID_IJTagPinAccess{0xF07D3E29, 0x9EE8, 0x4972, {0x8D, 0xE0, 0xCC, 0xC7, 0x40, 0xE0, 0x39, 0x59}};

enum VARENUM : VARTYPE {
    VT_EMPTY = 0,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R8 = 5,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_UI1 = 17,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
    VT_BYREF = 0x4000,
};

struct IUnknown {
    virtual HRESULT QueryInterface(const GUID& iid, void** object) = 0;
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;

protected:
    ~IUnknown() = default;
};

struct VARIANT;
struct DISPPARAMS;
struct EXCEPINFO;

struct IDispatch : IUnknown {
    virtual HRESULT GetTypeInfoCount(uint32_t* count) = 0;
    virtual HRESULT GetTypeInfo(uint32_t index, uint32_t lcid, void** typeInfo) = 0;
    virtual HRESULT GetIDsOfNames(const GUID& iid, char16_t** names, uint32_t nameCount, uint32_t lcid,
                                  int32_t* dispids) = 0;
    virtual HRESULT Invoke(int32_t dispid, const GUID& iid, uint32_t lcid, uint16_t flags, DISPPARAMS* params,
                           VARIANT* result, EXCEPINFO* excepInfo, uint32_t* argErr) = 0;

protected:
    ~IDispatch() = default;
};

struct ISupportService : IUnknown {
    // Name is a BSTR; Supported receives VARIANT_TRUE or VARIANT_FALSE.
    virtual HRESULT SupportsService(BSTR name, VARIANT_BOOL* supported) = 0;

protected:
    ~ISupportService() = default;
};

struct IMemoryAccess : IUnknown {
    virtual HRESULT MemoryRead(int32_t space, int64_t address, int32_t count, void* buffer, int32_t* result) = 0;
    virtual HRESULT MemoryWrite(int32_t space, int64_t address, int32_t count, const void* buffer,
                                int32_t* result) = 0;

protected:
    ~IMemoryAccess() = default;
};

// Pin-level JTAG access on a channel. Levels are 0 or 1; reserved slots answer E_NOTIMPL.
struct IJTagPinAccess : IUnknown {
    virtual HRESULT Reserved1() = 0;
    virtual HRESULT Reserved2() = 0;
    virtual HRESULT SetTCK(int32_t level) = 0;
    virtual HRESULT Reserved4() = 0;
    virtual HRESULT SetTDI(int32_t level) = 0;
    virtual HRESULT SetTMS(int32_t level) = 0;
    virtual HRESULT Reserved7() = 0;
    virtual HRESULT GetTDO(uint8_t* level) = 0;
    virtual HRESULT Reserved9() = 0;
    virtual HRESULT Reserved10() = 0;
    virtual HRESULT Flush() = 0;
    virtual HRESULT Sample() = 0;

protected:
    ~IJTagPinAccess() = default;
};

struct VARIANT {
    VARTYPE vt;
    uint16_t wReserved1;
    uint16_t wReserved2;
    uint16_t wReserved3;
    union {
        int32_t lVal;
        int64_t llVal;
        uint8_t bVal;
        int16_t iVal;
        uint32_t ulVal;
        uint64_t ullVal;
        double dblVal;
        double date;
        VARIANT_BOOL boolVal;
        HRESULT scode;
        BSTR bstrVal;
        IUnknown* punkVal;
        IDispatch* pdispVal;
        void* byref;
        VARIANT* pvarVal;
        VARIANT_BOOL* pboolVal;
        int32_t* plVal;
        BSTR* pbstrVal;
        struct {
            void* pvRecord;
            void* pRecInfo;
        } record;
    };
};

struct DISPPARAMS {
    VARIANT* rgvarg;
    int32_t* rgdispidNamedArgs;
    uint32_t cArgs;
    uint32_t cNamedArgs;
};

struct EXCEPINFO {
    uint16_t wCode;
    uint16_t wReserved;
    BSTR bstrSource;
    BSTR bstrDescription;
    BSTR bstrHelpFile;
    uint32_t dwHelpContext;
    void* pvReserved;
    void* pfnDeferredFillIn;
    HRESULT scode;
};

static_assert(sizeof(VARIANT) == 24 || sizeof(void*) == 4, "VARIANT must be 24 bytes on 64-bit targets");
static_assert(offsetof(VARIANT, lVal) == 8, "VARIANT value sits at offset 8");
static_assert(sizeof(GUID) == 16, "GUID is 16 bytes");

} // namespace com

// The two exports of a driver plug-in (C linkage, undecorated names).
extern "C" {
typedef com::HRESULT (*TGetTavrelDriverCount)(int32_t* count);
typedef com::HRESULT (*TGetTavrelDriver_Plugin)(int32_t kind, com::IDispatch** driver);
}
