// The host-side dispatch base: typed handlers, argument order, results and the
// COM failure statuses.
#include "hostsim/dispatch/HostDispatchObject.h"
#include "plugin/com/Bstr.h"
#include "plugin/com/DispatchRef.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

using namespace hostsim;

struct TExtra : com::IUnknown {};
constexpr com::GUID IID_Extra{0x12345678, 0x1, 0x2, {1, 2, 3, 4, 5, 6, 7, 8}};

class TSample : public THostDispatchObject {
public:
    TSample() : THostDispatchObject("sample")
    {
        Method(1, [this](int32_t a, int64_t b, bool c, std::string d) {
            Seen = std::to_string(a) + "/" + std::to_string(b) + "/" + (c ? "T" : "F") + "/" + d;
        });
        Method(2, [](int32_t a, int32_t b) { return a - b; });
        Method(3, []() { return std::string("text"); });
        Method(4, []() -> uint32_t { return 0xFFFFFFFFu; });
        Method(5, [this](com::IDispatch* object) -> com::IDispatch* { return object ? object : this; });
        Method(6, []() -> bool { throw std::runtime_error("device is gone"); });
    }
    std::string Seen;
    bool OfferExtra = false;

protected:
    void* QueryExtraInterface(const com::GUID& iid) override
    {
        return OfferExtra && iid == IID_Extra ? static_cast<void*>(&FExtra) : nullptr;
    }

private:
    struct : TExtra {
        com::HRESULT QueryInterface(const com::GUID&, void**) override { return com::E_NOTIMPL; }
        uint32_t AddRef() override { return 2; }
        uint32_t Release() override { return 1; }
    } FExtra;
};

com::HRESULT RawInvoke(com::IDispatch* object, int32_t dispid, std::vector<com::VARIANT>& args, com::VARIANT* result,
                       com::EXCEPINFO* info = nullptr, uint32_t* argErr = nullptr)
{
    com::DISPPARAMS params{args.data(), nullptr, static_cast<uint32_t>(args.size()), 0};
    return object->Invoke(dispid, com::IID_NULL, 0, com::DISPATCH_METHOD, &params, result, info, argErr);
}

TEST(HostDispatchObject, ArgumentsArriveLastFirstAndResultsConvert)
{
    auto sample = MakeHostObject<TSample>();
    com::TDispatchRef ref(sample.Get());
    ref.Call(1, {int32_t{7}, int64_t{1} << 40, true, std::string("Grüße")});
    EXPECT_EQ(sample->Seen, "7/1099511627776/T/Grüße");
    EXPECT_EQ(ref.CallInt(2, {10, 3}), 7); // 10 - 3, not 3 - 10
    EXPECT_EQ(ref.CallString(3), "text");
    EXPECT_EQ(ref.CallInt(4), -1);
    // Numbers given as text convert like any argument.
    EXPECT_EQ(ref.CallInt(2, {std::string("5"), 2}), 3);
    // An object result carries its own reference.
    com::TDispatchRef self = ref.CallObject(5, {static_cast<com::IDispatch*>(nullptr)});
    EXPECT_EQ(self.Get(), sample.Get());
    EXPECT_EQ(sample->RefCount(), 3u); // sample, ref, self
}

TEST(HostDispatchObject, FailuresAreStatusesNotExceptions)
{
    auto sample = MakeHostObject<TSample>();
    com::TVariant result;
    std::vector<com::VARIANT> none;
    EXPECT_EQ(RawInvoke(sample.Get(), 99, none, &result), com::E_NOTIMPL);

    std::vector<com::VARIANT> one(1);
    com::VariantInit(&one[0]);
    com::VariantSetInt32(&one[0], 1);
    EXPECT_EQ(RawInvoke(sample.Get(), 2, one, &result), com::DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(RawInvoke(sample.Get(), 3, one, &result), com::DISP_E_BADPARAMCOUNT); // too many as well

    // Operation 2 takes (a, b): rgvarg[1] is a, rgvarg[0] is b.
    std::vector<com::VARIANT> two(2);
    com::VariantInit(&two[0]);
    com::VariantInit(&two[1]);
    com::VariantSetInt32(&two[0], 1);
    com::VariantSetString(&two[1], "not a number");
    uint32_t argErr = 77;
    EXPECT_EQ(RawInvoke(sample.Get(), 2, two, &result, nullptr, &argErr), com::DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argErr, 1u);
    com::VariantClear(&two[1]);

    com::EXCEPINFO info{};
    EXPECT_EQ(RawInvoke(sample.Get(), 6, none, &result, &info), com::DISP_E_EXCEPTION);
    EXPECT_EQ(info.scode, com::E_UNEXPECTED);
    EXPECT_EQ(com::BstrToUtf8(info.bstrDescription), "device is gone");
    EXPECT_EQ(com::BstrToUtf8(info.bstrSource), "sample");
    com::BstrFree(info.bstrDescription);
    com::BstrFree(info.bstrSource);

    // No result variant: the result is dropped.
    std::vector<com::VARIANT> args(2);
    com::VariantInit(&args[0]);
    com::VariantInit(&args[1]);
    EXPECT_EQ(RawInvoke(sample.Get(), 2, args, nullptr), com::S_OK);
}

TEST(HostDispatchObject, InterfacesAndLifetime)
{
    static int alive = 0;
    struct TCounted : TSample {
        TCounted() { ++alive; }
        ~TCounted() override { --alive; }
    };
    auto object = MakeHostObject<TCounted>();
    EXPECT_EQ(alive, 1);

    void* unknown = nullptr;
    void* extra = nullptr;
    EXPECT_EQ(object->QueryInterface(com::IID_IUnknown, &unknown), com::S_OK);
    EXPECT_EQ(unknown, static_cast<com::IDispatch*>(object.Get()));
    EXPECT_EQ(object->QueryInterface(IID_Extra, &extra), com::E_NOINTERFACE);
    EXPECT_EQ(extra, nullptr);
    object->OfferExtra = true;
    EXPECT_EQ(object->QueryInterface(IID_Extra, &extra), com::S_OK);
    EXPECT_NE(extra, nullptr);
    EXPECT_EQ(object->RefCount(), 3u);
    object->Release();
    object->Release();

    object = nullptr;
    EXPECT_EQ(alive, 0);
}

} // namespace
