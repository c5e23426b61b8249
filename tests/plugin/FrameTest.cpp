// The dispatch frame: parent-chain dispatch, implementor objects, referenced
// objects and the variant conversions every argument goes through.
#include "plugin/com/Bstr.h"
#include "plugin/com/Variant.h"
#include "plugin/frame/DispatchTable.h"
#include "plugin/frame/HostObject.h"
#include "plugin/frame/ReferencedObject.h"
#include "tests/support/FakeDispatch.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace com;
using namespace tavrel;

namespace {

// A two-level class chain: the child answers 2 itself and leaves 1 to the parent.
class TParentObject : public TAbstractSupportService {
public:
    int32_t One() { return 1; }
    int32_t Both() { return 10; }
    bool SupportsServiceName(std::string_view name) const override { return SameText(name, "Parent"); }

protected:
    HRESULT DispatchInvoke(int32_t dispid, const TInvokeContext& context) override;
};

class TChildObject : public TParentObject {
public:
    int32_t Two() { return 2; }
    int32_t ChildBoth() { return 20; }
    std::string Fail() { throw std::runtime_error("operation failed on purpose"); }
    int32_t Add(int32_t a, int32_t b) { return a - b; } // order-sensitive on purpose
    bool SupportsServiceName(std::string_view name) const override
    {
        return TParentObject::SupportsServiceName(name) || SameText(name, "Child");
    }

protected:
    HRESULT DispatchInvoke(int32_t dispid, const TInvokeContext& context) override;
};

constexpr TDispatchRow kParentTable[] = {{1, &Thunk<&TParentObject::One>}, {3, &Thunk<&TParentObject::Both>}};
constexpr TDispatchRow kChildTable[] = {{2, &Thunk<&TChildObject::Two>},
                                        {3, &Thunk<&TChildObject::ChildBoth>},
                                        {4, &Thunk<&TChildObject::Fail>},
                                        {5, &Thunk<&TChildObject::Add>}};

HRESULT TParentObject::DispatchInvoke(int32_t dispid, const TInvokeContext& context)
{
    TAVREL_DISPATCH_WITH_TABLE(kParentTable, TAbstractSupportService);
}

HRESULT TChildObject::DispatchInvoke(int32_t dispid, const TInvokeContext& context)
{
    TAVREL_DISPATCH_WITH_TABLE(kChildTable, TParentObject);
}

HRESULT InvokeInt(IDispatch* object, int32_t dispid, std::vector<int32_t> args, int32_t* value)
{
    std::vector<VARIANT> packed;
    for (auto it = args.rbegin(); it != args.rend(); ++it) {
        VARIANT v{};
        v.vt = VT_I4;
        v.lVal = *it;
        packed.push_back(v);
    }
    DISPPARAMS params{packed.data(), nullptr, static_cast<uint32_t>(packed.size()), 0};
    TVariant result;
    const HRESULT hr = object->Invoke(dispid, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr);
    if (hr == S_OK && value) *value = VariantToInt32(result);
    return hr;
}

TEST(FrameTest, ParentChainDispatch)
{
    auto* child = new TChildObject;
    child->AddRef();
    int32_t value = 0;
    EXPECT_EQ(InvokeInt(child, 1, {}, &value), S_OK);
    EXPECT_EQ(value, 1) << "known only to the parent";
    EXPECT_EQ(InvokeInt(child, 2, {}, &value), S_OK);
    EXPECT_EQ(value, 2);
    EXPECT_EQ(InvokeInt(child, 3, {}, &value), S_OK);
    EXPECT_EQ(value, 20) << "the child's row wins";
    EXPECT_EQ(InvokeInt(child, 5, {7, 3}, &value), S_OK);
    EXPECT_EQ(value, 4) << "arguments arrive last-first";
    EXPECT_EQ(InvokeInt(child, 6, {}, &value), E_NOTIMPL);
    EXPECT_EQ(InvokeInt(child, 4, {}, &value), DISP_E_EXCEPTION);
    EXPECT_TRUE(child->SupportsServiceName("PARENT"));
    EXPECT_TRUE(child->SupportsServiceName("child"));
    EXPECT_FALSE(child->SupportsServiceName("Other"));
    child->Release();
}

TEST(FrameTest, SupportServiceObjectsFreeOnLastRelease)
{
    static int destroyed = 0;
    struct TCounted : TChildObject {
        ~TCounted() override { ++destroyed; }
    };
    auto* object = new TCounted;
    void* dispatch = nullptr;
    ASSERT_EQ(object->QueryInterface(IID_IDispatch, &dispatch), S_OK);
    object->AddRef();
    object->Release();
    EXPECT_EQ(destroyed, 0);
    static_cast<IDispatch*>(dispatch)->Release();
    EXPECT_EQ(destroyed, 1);
}

class TImplementor : public TAbstractSupportService {
public:
    TImplementor(int32_t dispid, int32_t answer) : FDispId(dispid), FAnswer(answer) {}
    int32_t Answer() { return FAnswer; }
    std::string Boom() { throw std::runtime_error("boom"); }

protected:
    HRESULT DispatchInvoke(int32_t dispid, const TInvokeContext& context) override
    {
        if (dispid == FDispId) return Thunk<&TImplementor::Answer>(*this, context);
        if (dispid == 99) return Thunk<&TImplementor::Boom>(*this, context);
        return TAbstractSupportService::DispatchInvoke(dispid, context);
    }

private:
    int32_t FDispId;
    int32_t FAnswer;
};

TEST(FrameTest, ImplementorsAreTriedInOrder)
{
    TImplementedDispatchObject data;
    data.AddImplementor(new TImplementor(7, 70));
    data.AddImplementor(new TImplementor(7, 71));
    data.AddImplementor(new TImplementor(8, 80));
    int32_t value = 0;
    EXPECT_EQ(InvokeInt(&data, 7, {}, &value), S_OK);
    EXPECT_EQ(value, 70) << "the first implementor that answers wins";
    EXPECT_EQ(InvokeInt(&data, 8, {}, &value), S_OK);
    EXPECT_EQ(value, 80);
    EXPECT_EQ(InvokeInt(&data, 9, {}, &value), E_NOTIMPL);
    EXPECT_EQ(InvokeInt(&data, 99, {}, &value), DISP_E_EXCEPTION) << "a raised failure stops the search";
    EXPECT_EQ(data.AddRef(), 0u);
    EXPECT_EQ(data.Release(), 0u);
}

TEST(FrameTest, ReferencedObjectLifetime)
{
    static int destroyed = 0;
    struct TObject : TReferencedObject {
        ~TObject() override { ++destroyed; }
    };
    TObject* object = MakeReferenced<TObject>();
    EXPECT_EQ(object->RefCount(), 0) << "construction's own reference is dropped";
    object->AddRef();
    try {
        TReferencedObject::Free(object);
        FAIL() << "freeing a referenced object must be refused";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Invalid Pointer");
    }
    EXPECT_EQ(destroyed, 0);
    object->Release();
    EXPECT_EQ(destroyed, 1);
}

struct TConversionCase {
    VARIANT Value;
    const char* Text;   // nullptr: mismatch expected
    int64_t Integer;    // used when IntegerOk
    bool IntegerOk;
};

VARIANT MakeI4(int32_t v) { VARIANT x{}; x.vt = VT_I4; x.lVal = v; return x; }
VARIANT MakeUI4(uint32_t v) { VARIANT x{}; x.vt = VT_UI4; x.ulVal = v; return x; }
VARIANT MakeBool(bool v) { VARIANT x{}; x.vt = VT_BOOL; x.boolVal = v ? VARIANT_TRUE : VARIANT_FALSE; return x; }
VARIANT MakeR8(double v) { VARIANT x{}; x.vt = VT_R8; x.dblVal = v; return x; }
VARIANT MakeI8(int64_t v) { VARIANT x{}; x.vt = VT_I8; x.llVal = v; return x; }

TEST(FrameTest, ArgumentConversions)
{
    TVariant text;
    VariantSetString(&text, " 42 ");
    TVariant junk;
    VariantSetString(&junk, "4x2");
    VARIANT unknown{};
    unknown.vt = 0x7FF;
    const TConversionCase cases[] = {
        {MakeI4(-7), "-7", -7, true},
        {MakeUI4(0xFFFFFFFFu), "4294967295", 0xFFFFFFFF, true},
        {MakeBool(true), "True", -1, true},
        {MakeR8(2.5), "2.5", 2, true},
        {MakeI8(int64_t{1} << 40), "1099511627776", int64_t{1} << 40, true},
        {text, " 42 ", 42, true},
        {junk, "4x2", 0, false},
        {VARIANT{}, "", 0, true},
        {unknown, nullptr, 0, false},
    };
    for (const TConversionCase& c : cases) {
        if (c.Text) EXPECT_EQ(VariantToString(c.Value), c.Text);
        else EXPECT_THROW(VariantToString(c.Value), TTypeMismatch);
        if (c.IntegerOk) EXPECT_EQ(VariantToInt64(c.Value), c.Integer);
        else EXPECT_THROW(VariantToInt64(c.Value), TTypeMismatch);
    }
    EXPECT_EQ(VariantToInt32(MakeUI4(0x80000001u)), static_cast<int32_t>(0x80000001u)) << "unsigned keeps its bits";
    EXPECT_THROW(VariantToInt32(MakeI8(int64_t{1} << 40)), TTypeMismatch);
    EXPECT_THROW(VariantToInt64(MakeR8(NAN)), TTypeMismatch);
    int32_t referenced = 99;
    VARIANT byRef{};
    byRef.vt = VT_BYREF | VT_I4;
    byRef.plVal = &referenced;
    EXPECT_EQ(VariantToInt32(byRef), 99);
    byRef.plVal = nullptr;
    EXPECT_THROW(VariantToInt32(byRef), TTypeMismatch);
}

TEST(FrameTest, Utf16RoundTripAndBrokenInput)
{
    const std::string text = "Ärger \xE2\x82\xAC \xF0\x9F\x98\x80";
    BSTR b = BstrFromUtf8(text);
    EXPECT_EQ(BstrToUtf8(b), text);
    EXPECT_EQ(BstrByteLength(b), BstrLength(b) * 2);
    BstrFree(b);
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD") << "lone surrogate";
    EXPECT_EQ(Utf8ToUtf16("a\xFF"), u"a\uFFFD");
    EXPECT_EQ(BstrToUtf8(nullptr), "");
}

TEST(FrameTest, HostCallsPackArgumentsAndReportFailures)
{
    testsupport::TCallLog log;
    testsupport::TFakeDispatch host("host", &log);
    host.ReturnString(10, "answer");
    host.Fail(11, static_cast<HRESULT>(0x80004005u));
    THostObject object(&host);
    EXPECT_EQ(object.CallString(10, {int32_t{1}, std::string("two"), true}), "answer");
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].Args, (std::vector<testsupport::TArg>{int64_t{1}, std::string("two"), true}));
    EXPECT_THROW(object.Call(11), THostCallError);
    THostObject empty;
    EXPECT_EQ(empty.CallString(10), "") << "an empty host object answers nothing";
    EXPECT_EQ(empty.CallInt(10), 0);
}

} // namespace
