// The driver's base behaviour against a scripted host device and channel:
// processor-control sequences, failure reporting, attachment.
#include "devices/arria5/DeviceObjects.h"
#include "plugin/frame/DispatchTable.h"
#include "tests/support/FakeDispatch.h"

#include <gtest/gtest.h>

using namespace com;
using testsupport::TArg;
using testsupport::TCallLog;
using testsupport::TFakeDispatch;

namespace {

class DriverTest : public ::testing::Test {
protected:
    DriverTest() : Device("device", &Log), Channel("channel", &Log), Driver(0)
    {
        Device.ReturnInt(503629, 2);
        Device.ReturnObject(503630, &Channel);
        Device.On(503666, [this](const std::vector<TArg>&, VARIANT* r) {
            if (r) VariantSetInt32(r, RegisterValue);
            return S_OK;
        });
        // The register keeps what was last written, as a real device's would.
        Device.On(503667, [this](const std::vector<TArg>& args, VARIANT*) {
            RegisterValue = static_cast<int32_t>(std::get<int64_t>(args[2]));
            return S_OK;
        });
    }

    // Invokes the driver as a host would; returns the status.
    HRESULT Invoke(int32_t dispid, std::vector<VARIANT> args = {}, VARIANT* result = nullptr, EXCEPINFO* info = nullptr)
    {
        std::vector<VARIANT> reversed(args.rbegin(), args.rend());
        DISPPARAMS params{reversed.data(), nullptr, static_cast<uint32_t>(reversed.size()), 0};
        return Driver.AsDispatch()->Invoke(dispid, IID_NULL, 0, DISPATCH_METHOD, &params, result, info, nullptr);
    }

    // The calls on the host device other than the chain-position and channel look-ups.
    std::vector<std::pair<int32_t, std::vector<TArg>>> RegisterCalls() const
    {
        std::vector<std::pair<int32_t, std::vector<TArg>>> calls;
        for (const auto& call : Log)
            if (call.DispId == 503666 || call.DispId == 503667 || call.DispId == 503425 || call.DispId == 503426)
                calls.emplace_back(call.DispId, call.Args);
        return calls;
    }

    void Attach()
    {
        VARIANT device{};
        device.vt = VT_DISPATCH;
        device.pdispVal = &Device;
        ASSERT_EQ(Invoke(503754, {device}), S_OK);
        Log.clear();
    }

    TCallLog Log;
    TFakeDispatch Device;
    TFakeDispatch Channel;
    arria5::TDevice_Arria5Driver Driver;
    int32_t RegisterValue = 0;
};

TEST_F(DriverTest, AttachAndDetachHostDevice)
{
    VARIANT result{};
    EXPECT_EQ(Invoke(503753, {}, &result), S_OK);
    EXPECT_EQ(result.vt, VT_DISPATCH);
    EXPECT_EQ(result.pdispVal, nullptr);
    Attach();
    EXPECT_EQ(Driver.GetTavrelDevice(), &Device);
    EXPECT_GT(Device.RefCount(), 0) << "the driver holds the device";
    VARIANT empty{};
    empty.vt = VT_DISPATCH;
    EXPECT_EQ(Invoke(503754, {empty}, &result), S_OK);
    EXPECT_EQ(result.boolVal, VARIANT_TRUE);
    EXPECT_EQ(Driver.GetTavrelDevice(), nullptr);
    EXPECT_EQ(Device.RefCount(), 0) << "detaching releases the device";
}

TEST_F(DriverTest, PauseProcessorSequence)
{
    Attach();
    RegisterValue = 0xFF;
    EXPECT_EQ(Invoke(503797), S_OK);
    // Read, clear five bits and set DebugEnable|DebugRequest (0xFF -> 0x54), write, read; all inside the channel bracket.
    const std::vector<std::pair<int32_t, std::vector<TArg>>> expected = {
        {503425, {}},
        {503666, {int64_t{64}, int64_t{0}}},
        {503667, {int64_t{64}, int64_t{8}, int64_t{0x54}}},
        {503666, {int64_t{64}, int64_t{0}}},
        {503426, {}},
    };
    EXPECT_EQ(RegisterCalls(), expected);
    EXPECT_EQ(Driver.ControlRegister(), 0x54) << "the image follows the last read";
}

TEST_F(DriverTest, ControlSequencesWriteTheDocumentedBits)
{
    struct TCase {
        int32_t DispId;
        std::vector<VARIANT> Args;
        std::vector<int64_t> Writes;
    };
    VARIANT three{};
    three.vt = VT_I4;
    three.lVal = 3;
    const TCase cases[] = {
        {503798, {}, {0x14, 0x10}},                   // ContinueProcessor
        {503796, {}, {0x14, 0x34, 0x14}},             // ResetProcessor
        {503794, {}, {0x14, 0x14, 0x16}},             // SingleStepProcessor
        {503799, {three}, {0x14, 0x14, 0x16, 0x16, 0x16}}, // RunSteps(3)
        {503795, {}, {0x14, 0x15, 0x17, 0x14}},       // RunSingleStepInSubstitutionRegister
    };
    for (const TCase& c : cases) {
        Attach();
        RegisterValue = 0;
        EXPECT_EQ(Invoke(c.DispId, c.Args), S_OK);
        std::vector<int64_t> writes;
        for (const auto& [dispid, args] : RegisterCalls())
            if (dispid == 503667) writes.push_back(std::get<int64_t>(args[2]));
        EXPECT_EQ(writes, c.Writes) << c.DispId;
    }
}

TEST_F(DriverTest, ProcessorStateQueries)
{
    Attach();
    VARIANT result{};
    RegisterValue = 0x18; // DebugEnable | DebugAcknowledge
    EXPECT_EQ(Invoke(503800, {}, &result), S_OK);
    EXPECT_EQ(result.boolVal, VARIANT_TRUE);
    EXPECT_EQ(Invoke(503802, {}, &result), S_OK);
    EXPECT_EQ(result.boolVal, VARIANT_FALSE);
    RegisterValue = 0x20; // Reset
    EXPECT_EQ(Invoke(503801, {}, &result), S_OK);
    EXPECT_EQ(result.boolVal, VARIANT_TRUE);
}

TEST_F(DriverTest, WithoutDeviceEverySequenceIsQuiet)
{
    for (int32_t dispid : {503793, 503794, 503795, 503796, 503797, 503798}) EXPECT_EQ(Invoke(dispid), S_OK) << dispid;
    VARIANT huge{};
    huge.vt = VT_I4;
    huge.lVal = INT32_MAX;
    EXPECT_EQ(Invoke(503799, {huge}), S_OK) << "no device: the step count is not spun through";
    EXPECT_TRUE(Log.empty());
}

TEST_F(DriverTest, HostFailureBecomesDispatchException)
{
    Attach();
    Device.Fail(503630, static_cast<HRESULT>(0x80004005u));
    EXCEPINFO info{};
    EXPECT_EQ(Invoke(503793, {}, nullptr, &info), DISP_E_EXCEPTION);
    EXPECT_EQ(info.scode, E_UNEXPECTED);
    EXPECT_EQ(BstrToUtf8(info.bstrDescription), "fake host failure");
    BstrFree(info.bstrDescription);
    BstrFree(info.bstrSource);
    // Without an EXCEPINFO the status alone reports it.
    EXPECT_EQ(Invoke(503793), DISP_E_EXCEPTION);
}

TEST_F(DriverTest, ResetTavrelRegistersScansInstructionTwo)
{
    Attach();
    EXPECT_EQ(Invoke(503793), S_OK);
    bool scanned = false;
    for (const auto& call : Log)
        if (call.Object == "channel" && call.DispId == 503601) {
            EXPECT_EQ(call.Args, (std::vector<TArg>{int64_t{2}, int64_t{2}}));
            scanned = true;
        }
    EXPECT_TRUE(scanned);
}

TEST_F(DriverTest, ConstraintFileAndLibraryFolder)
{
    EXPECT_EQ(Driver.GetEmbeddedConstraintFile(), "");
    Driver.SetEmbeddedConstraintFile("/nonexistent/x.Constraint");
    EXPECT_EQ(Driver.GetEmbeddedConstraintFile(), "");
    const std::string folder = Driver.GetFolder_Library();
    EXPECT_TRUE(folder.ends_with("/Library/")) << folder;
    IDispatch* build = Driver.FlowStage_Build();
    ASSERT_NE(build, nullptr);
    EXPECT_EQ(Driver.FlowStage_Build(), build) << "built once and kept";
    const tavrel::THostObject group(build);
    EXPECT_EQ(group.CallString(503705), "Build");
    ASSERT_EQ(group.CallInt(503732), 5);
    std::vector<std::string> steps;
    for (int32_t i = 0; i < 5; ++i) steps.push_back(group.CallObject(503733, {i}).CallString(503705));
    EXPECT_EQ(steps, (std::vector<std::string>{"Translate Design", "Map Design", "Place and Route", "Timing Analysis",
                                               "Make BIT File"}));
    const tavrel::THostObject download(Driver.FlowStage_Download());
    EXPECT_EQ(download.CallString(503705), "Download");
    EXPECT_EQ(download.CallString(503706), "Program &FPGA");
}

} // namespace
