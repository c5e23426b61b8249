// The plug-in seen by a host written only against the binary contract: it
// loads the shared library, calls the two exports, Invokes DISPIDs with raw
// VARIANTs, reads the results and frees the strings itself with free().
#include "plugin/com/ComTypes.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace com;

namespace {

// --- A host's own minimal VARIANT handling ---------------------------------

BSTR HostAllocString(const std::u16string& text)
{
    auto* block = static_cast<uint8_t*>(std::malloc(4 + (text.size() + 1) * 2));
    const uint32_t bytes = static_cast<uint32_t>(text.size() * 2);
    std::memcpy(block, &bytes, 4);
    std::memcpy(block + 4, text.c_str(), (text.size() + 1) * 2);
    return reinterpret_cast<BSTR>(block + 4);
}

void HostFreeString(BSTR text)
{
    if (text) std::free(reinterpret_cast<uint8_t*>(text) - 4);
}

std::string Narrow(BSTR text)
{
    std::string out;
    if (!text) return out;
    uint32_t bytes;
    std::memcpy(&bytes, reinterpret_cast<uint8_t*>(text) - 4, 4);
    for (uint32_t i = 0; i < bytes / 2; ++i) out.push_back(static_cast<char>(text[i]));
    return out;
}

VARIANT Int(int32_t value)
{
    VARIANT v{};
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

VARIANT Str(const std::u16string& value)
{
    VARIANT v{};
    v.vt = VT_BSTR;
    v.bstrVal = HostAllocString(value);
    return v;
}

struct TReply {
    HRESULT Status;
    VARIANT Result;
    EXCEPINFO Info;
};

// Invokes with the host's arguments given in call order (packed last-first).
TReply Call(IDispatch* object, int32_t dispid, std::vector<VARIANT> args = {})
{
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr, static_cast<uint32_t>(reversed.size()), 0};
    TReply reply{};
    uint32_t argErr = 0;
    reply.Status = object->Invoke(dispid, IID_NULL, 0, DISPATCH_METHOD, &params, &reply.Result, &reply.Info, &argErr);
    for (VARIANT& v : reversed)
        if (v.vt == VT_BSTR) HostFreeString(v.bstrVal);
    return reply;
}

std::string CallString(IDispatch* object, int32_t dispid, std::vector<VARIANT> args = {})
{
    TReply reply = Call(object, dispid, std::move(args));
    EXPECT_EQ(reply.Status, S_OK) << "DISPID " << dispid;
    EXPECT_EQ(reply.Result.vt, VT_BSTR) << "DISPID " << dispid;
    std::string text = Narrow(reply.Result.bstrVal);
    HostFreeString(reply.Result.bstrVal);
    return text;
}

int32_t CallInt(IDispatch* object, int32_t dispid, std::vector<VARIANT> args = {})
{
    TReply reply = Call(object, dispid, std::move(args));
    EXPECT_EQ(reply.Status, S_OK) << "DISPID " << dispid;
    EXPECT_EQ(reply.Result.vt, VT_I4) << "DISPID " << dispid;
    return reply.Result.lVal;
}

bool CallBool(IDispatch* object, int32_t dispid, std::vector<VARIANT> args = {})
{
    TReply reply = Call(object, dispid, std::move(args));
    EXPECT_EQ(reply.Status, S_OK) << "DISPID " << dispid;
    EXPECT_EQ(reply.Result.vt, VT_BOOL) << "DISPID " << dispid;
    return reply.Result.boolVal == VARIANT_TRUE;
}

IDispatch* CallObject(IDispatch* object, int32_t dispid, std::vector<VARIANT> args = {})
{
    TReply reply = Call(object, dispid, std::move(args));
    EXPECT_EQ(reply.Status, S_OK) << "DISPID " << dispid;
    EXPECT_EQ(reply.Result.vt, VT_DISPATCH) << "DISPID " << dispid;
    IDispatch* result = reply.Result.pdispVal;
    if (result) result->Release();
    return result;
}

class ContractTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        FLibrary = dlopen(ARRIA5_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(FLibrary, nullptr) << dlerror();
        FCount = reinterpret_cast<TGetTavrelDriverCount>(dlsym(FLibrary, "GetTavrelDriverCount"));
        FDriver = reinterpret_cast<TGetTavrelDriver_Plugin>(dlsym(FLibrary, "GetTavrelDriver_Plugin"));
        ASSERT_NE(FCount, nullptr);
        ASSERT_NE(FDriver, nullptr);
    }

    static IDispatch* Driver(int32_t kind)
    {
        IDispatch* driver = nullptr;
        EXPECT_EQ(FDriver(kind, &driver), S_OK);
        return driver;
    }

    static inline void* FLibrary = nullptr;
    static inline TGetTavrelDriverCount FCount = nullptr;
    static inline TGetTavrelDriver_Plugin FDriver = nullptr;
};

TEST_F(ContractTest, ExportsCountAndDrivers)
{
    int32_t count = 0;
    EXPECT_EQ(FCount(&count), S_OK);
    EXPECT_EQ(count, 325);
    EXPECT_NE(Driver(0), nullptr);
    EXPECT_NE(Driver(324), nullptr);
    for (int32_t kind : {-1, 325, INT32_MIN, INT32_MAX}) {
        IDispatch* driver = reinterpret_cast<IDispatch*>(0x1);
        EXPECT_EQ(FDriver(kind, &driver), S_OK) << kind;
        EXPECT_EQ(driver, nullptr) << kind;
    }
    EXPECT_EQ(FCount(nullptr), E_POINTER);
    EXPECT_EQ(FDriver(0, nullptr), E_POINTER);
    EXPECT_NE(Driver(0), Driver(0)) << "every call builds a new driver";
}

TEST_F(ContractTest, OnlyTheTwoExportsAreVisible)
{
    EXPECT_EQ(dlsym(FLibrary, "_ZN6tavrel8SameTextESt17basic_string_viewIcSt11char_traitsIcEES3_"), nullptr);
}

struct TStringCase {
    int32_t DispId;
    const char* Expected;
};

TEST_F(ContractTest, KindZeroDescribesItself)
{
    IDispatch* driver = Driver(0);
    EXPECT_EQ(static_cast<uint32_t>(CallInt(driver, 503379)), 0x02A020DDu);
    const TStringCase strings[] = {
        {503380, "5AGTFC7H3F35I3N"}, {503423, "5AGTFC7H3F35I3N"}, {503382, "Arria5"},
        {503383, "Arria V FPGA"},    {503384, "Altera Arria V.IntLib"}, {503385, ""},
        {503386, "5AGTFC7H3"},       {503389, "F"},               {503390, "FBGA"},
        {503391, "FineLine Ball Grid Array (F)"}, {503392, "F35"}, {503393, "FBGA1152"},
        {503394, "1152-Ball FineLine Ball Grid Array (FBGA1152)"}, {503395, "35 x 35 mm"},
        {503396, "I"},               {503397, "Industrial"},      {503398, "Industrial Grade"},
        {503399, "3"},               {503400, "3"},               {503401, "Speed Grade 3 (Fastest)"},
        {503402, "N"},               {503403, "N"},               {503404, "Pb-Free"},
        {503405, "5AGTFC7H3F35.bsd"}, {503412, "RBF"},            {503792, ".VHD"},
    };
    for (const TStringCase& c : strings) EXPECT_EQ(CallString(driver, c.DispId), c.Expected) << c.DispId;
    // Without a device-family registry entry the vendor is empty and the description starts with a blank.
    EXPECT_EQ(CallString(driver, 503381), CallString(driver, 503407) + " Arria5 5AGTFC7H3F35I3N");
    const std::pair<int32_t, int32_t> numbers[] = {
        {503387, 242000}, {503388, 544},  {503408, 10},        {503413, 1600}, {503414, 12},
        {503415, 13660},  {503417, 16},   {503418, 101740640}, {503409, 1157}, {503410, 560},
        {503419, 256},    {503420, 48},   {503421, 61},
    };
    for (auto [dispid, expected] : numbers) EXPECT_EQ(CallInt(driver, dispid), expected) << dispid;
    EXPECT_TRUE(CallBool(driver, 503416));
    EXPECT_EQ(CallString(driver, 503424, {Str(u"AnyName")}), "");
}

TEST_F(ContractTest, LastKindDescribesItself)
{
    IDispatch* driver = Driver(324);
    EXPECT_EQ(CallString(driver, 503380), "5ASXMB5G6F40C6N");
    EXPECT_EQ(static_cast<uint32_t>(CallInt(driver, 503379)), 0x02D030DDu);
    EXPECT_EQ(CallString(driver, 503392), "F40");
    EXPECT_EQ(CallString(driver, 503394), "1517-Ball FIneLine Ball Grid Array(FBGA1517)");
    EXPECT_EQ(CallString(driver, 503397), "Commercial");
    EXPECT_EQ(CallString(driver, 503401), "Speed Grade 6 (Slowest)");
}

TEST_F(ContractTest, UnknownDispIdLeavesResultUntouched)
{
    IDispatch* driver = Driver(0);
    for (int32_t dispid : {0, 1, 503378, 503425, 503525, 509982, -1}) {
        VARIANT result{};
        result.vt = VT_I4;
        result.lVal = 12345;
        DISPPARAMS params{nullptr, nullptr, 0, 0};
        EXPECT_EQ(driver->Invoke(dispid, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr), E_NOTIMPL)
            << dispid;
        EXPECT_EQ(result.vt, VT_I4);
        EXPECT_EQ(result.lVal, 12345);
    }
    uint32_t count = 0;
    EXPECT_EQ(driver->GetTypeInfoCount(&count), E_NOTIMPL);
    EXPECT_EQ(driver->GetIDsOfNames(IID_NULL, nullptr, 0, 0, nullptr), E_NOTIMPL);
}

TEST_F(ContractTest, SupportsServiceInAnyLetterCase)
{
    IDispatch* driver = Driver(0);
    IDispatch* pin = CallObject(driver, 503411, {Int(0)});
    IDispatch* standard = CallObject(driver, 503422, {Int(0)});
    struct TCase {
        IDispatch* Object;
        const char16_t* Name;
        bool Expected;
    } cases[] = {
        {driver, u"DeviceInformation", true}, {driver, u"DEVICEINFORMATION", true}, {driver, u"tavreldriver", true},
        {driver, u"DevicePin", false},        {pin, u"devicepin", true},            {pin, u"DEVICEPIN", true},
        {pin, u"DeviceInformation", false},   {standard, u"DeviceIOStandard", true}, {standard, u"", false},
    };
    for (const TCase& c : cases) EXPECT_EQ(CallBool(c.Object, 1023, {Str(c.Name)}), c.Expected);

    // The same answer through the support-service interface.
    void* raw = nullptr;
    ASSERT_EQ(driver->QueryInterface(IID_ISupportService, &raw), S_OK);
    auto* service = static_cast<ISupportService*>(raw);
    VARIANT_BOOL supported = VARIANT_FALSE;
    BSTR name = HostAllocString(u"TavrelDriver");
    EXPECT_EQ(service->SupportsService(name, &supported), S_OK);
    EXPECT_EQ(supported, VARIANT_TRUE);
    HostFreeString(name);
    EXPECT_EQ(driver->QueryInterface(IID_IMemoryAccess, &raw), S_OK);
    EXPECT_EQ(driver->QueryInterface(IID_IJTagPinAccess, &raw), E_NOINTERFACE);
    EXPECT_EQ(raw, nullptr);
}

TEST_F(ContractTest, PinsAndIOStandardsOfKindZero)
{
    IDispatch* driver = Driver(0);
    IDispatch* pin = CallObject(driver, 503411, {Int(3)});
    ASSERT_NE(pin, nullptr);
    EXPECT_EQ(CallString(pin, 503525), "R27");
    EXPECT_EQ(CallString(pin, 503526), "B1L");
    EXPECT_EQ(CallString(pin, 503547), "B1L||3");
    EXPECT_TRUE(CallBool(pin, 503549));
    EXPECT_FALSE(CallBool(pin, 503548));
    EXPECT_EQ(CallInt(pin, 503531), 7);
    EXPECT_TRUE(CallBool(pin, 503527));
    EXPECT_TRUE(CallBool(pin, 503528));
    EXPECT_TRUE(CallBool(pin, 503543));

    EXPECT_EQ(CallString(CallObject(driver, 503422, {Int(0)}), 503519), "LVCMOS 1.2V");
    EXPECT_EQ(CallString(CallObject(driver, 503422, {Int(60)}), 503519), "PCI33_30");
    EXPECT_EQ(CallObject(driver, 503422, {Int(61)}), nullptr);
    EXPECT_EQ(CallObject(driver, 503422, {Int(-1)}), nullptr);
    EXPECT_EQ(CallObject(driver, 503411, {Int(1157)}), nullptr);

    IDispatch* lvcmos33 = CallObject(driver, 503422, {Int(5)});
    EXPECT_EQ(CallString(lvcmos33, 503520), "LVCMOS33");
    EXPECT_EQ(CallInt(lvcmos33, 503523), 1);
    EXPECT_EQ(CallString(lvcmos33, 503524, {Int(0)}), "2mA");
    EXPECT_EQ(CallString(lvcmos33, 503524, {Int(1)}), "");
    EXPECT_EQ(CallInt(lvcmos33, 503521), 2);
    EXPECT_EQ(CallString(lvcmos33, 503522, {Int(0)}), "SLOW");
    EXPECT_EQ(CallString(lvcmos33, 503522, {Int(1)}), "FAST");

    // sLVDS is the 52nd member of the device's set (sDSSTL12 and sSSTL12 are missing).
    IDispatch* lvds = CallObject(driver, 503422, {Int(51)});
    EXPECT_EQ(CallString(lvds, 503520), "LVDS");
    EXPECT_EQ(CallInt(lvds, 503521), 0);
    EXPECT_EQ(CallInt(lvds, 503523), 0);
    // A pin DISPID sent to an IO standard is unknown there.
    EXPECT_EQ(Call(lvds, 503525).Status, E_NOTIMPL);
}

TEST_F(ContractTest, ObjectsSurviveAnyNumberOfReleases)
{
    IDispatch* driver = Driver(7);
    IDispatch* pin = CallObject(driver, 503411, {Int(5)});
    IDispatch* standard = CallObject(driver, 503422, {Int(3)});
    for (int i = 0; i < 10; ++i) {
        driver->Release();
        pin->Release();
        standard->Release();
    }
    EXPECT_EQ(CallString(driver, 503380), "5AGTFD7H3F35I5N");
    EXPECT_EQ(CallObject(driver, 503411, {Int(5)}), pin) << "pins are built once per driver";
    EXPECT_FALSE(CallString(pin, 503525).empty());
    EXPECT_EQ(CallString(standard, 503519), "LVCMOS 2.5V");

    IDispatch* other = Driver(7);
    EXPECT_NE(CallObject(other, 503411, {Int(5)}), pin) << "drivers share no pins";
    EXPECT_EQ(CallObject(other, 503422, {Int(3)}), standard) << "drivers share the IO standard objects";
}

TEST_F(ContractTest, BadArgumentsAreReportedNotFatal)
{
    IDispatch* driver = Driver(0);
    // Too few arguments, with and without an argument array.
    EXPECT_EQ(Call(driver, 503411).Status, DISP_E_BADPARAMCOUNT);
    DISPPARAMS lying{nullptr, nullptr, 3, 0};
    VARIANT result{};
    EXPECT_EQ(driver->Invoke(503411, IID_NULL, 0, DISPATCH_METHOD, &lying, &result, nullptr, nullptr),
              DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(driver->Invoke(503380, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr), S_OK)
        << "no arguments needed and no result wanted";
    // An argument that does not convert names itself in ArgErr.
    VARIANT object{};
    object.vt = VT_DISPATCH;
    object.pdispVal = driver;
    DISPPARAMS params{&object, nullptr, 1, 0};
    uint32_t argErr = 99;
    EXPECT_EQ(driver->Invoke(503411, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, &argErr),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argErr, 0u);
    EXPECT_EQ(Call(driver, 503411, {Str(u"twelve")}).Status, DISP_E_TYPEMISMATCH);
    // A number given as text converts like any variant conversion would.
    EXPECT_EQ(CallString(CallObject(driver, 503411, {Str(u" 3 ")}), 503525), "R27");
}

TEST_F(ContractTest, DriverDefaultsAndSupports)
{
    IDispatch* driver = Driver(0);
    EXPECT_EQ(CallInt(driver, 503767, {Int(0)}), 0);
    VARIANT wide{};
    wide.vt = VT_I8;
    wide.llVal = 5;
    EXPECT_FALSE(CallBool(driver, 503766, {Int(0), wide}));
    EXPECT_EQ(CallString(driver, 503808, {Int(0)}), "0");
    EXPECT_EQ(CallInt(driver, 503789), -1) << "an unsigned 0xFFFFFFFF keeps its bits";
    EXPECT_EQ(CallInt(driver, 503756), 0) << "no generic device picture in this process";
    EXPECT_TRUE(CallBool(driver, 503810));
    EXPECT_FALSE(CallBool(driver, 503755));
    EXPECT_FALSE(CallBool(driver, 503816, {Str(u""), Str(u"missing.rbf"), Str(u"")}));
    EXPECT_EQ(Call(driver, 508554, {Int(0)}).Result.vt, VT_I8);

    struct TCase {
        const char16_t* Category;
        bool Expected;
    } cases[] = {
        {u"FPGA", true},
        {u"fpga", true},
        {u"CPLD", false},
        {u"PROM", false},
        {u"GPROC", false},
        {u"Action=ResetDevice", true},
        {u"Action=PauseProcessor", false},
        {u"Action=NoSuchAction", true},
        {u"ResetDevice", true},
        {u"VerifyProgram", false},
        {u"Flash_ChooseAndDownload", false},
        {u"ToolchainName=Quartus|Action=ResetDevice", false},
        {u"ToolchainName= |Action=ResetDevice", true},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(CallBool(driver, 503761, {Str(c.Category)}), c.Expected)
            << std::string(c.Category, c.Category + std::char_traits<char16_t>::length(c.Category));
    }
}

TEST_F(ContractTest, CustomActionStateWritesThroughReferences)
{
    IDispatch* driver = Driver(0);
    VARIANT_BOOL first = VARIANT_TRUE, second = VARIANT_TRUE, third = VARIANT_TRUE;
    std::vector<VARIANT> args(6);
    args[0] = Int(1);
    VARIANT_BOOL* flags[] = {&first, &second, &third};
    for (int i = 0; i < 3; ++i) {
        args[1 + i].vt = VT_BYREF | VT_BOOL;
        args[1 + i].pboolVal = flags[i];
    }
    args[4] = Int(0);
    args[5] = Int(0);
    EXPECT_EQ(Call(driver, 503815, args).Status, S_OK);
    EXPECT_EQ(first, VARIANT_FALSE);
    EXPECT_EQ(second, VARIANT_TRUE) << "the second flag is left as the caller set it";
    EXPECT_EQ(third, VARIANT_FALSE);
    args[2] = Int(0); // not by reference
    EXPECT_EQ(Call(driver, 503815, args).Status, DISP_E_TYPEMISMATCH);
}

} // namespace
