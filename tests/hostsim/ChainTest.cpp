// A chain of three simulated devices driven through the channel object: scans
// at every position, the bypass convention, the pin-level interface on the same
// TAP, and the channel's failure statuses and call log.
#include "BenchSupport.h"

#include "hostsim/jtag/BoardModel.h"
#include "plugin/com/Variant.h"

#include <gtest/gtest.h>

namespace {

using namespace benchtest;

class ChainTest : public ::testing::Test {
protected:
    TThreeDeviceChain Bench;
    TChannelUnderTest Channel{std::make_shared<TSimCable>(Bench.Chain), Bench.Chain.IrLengths()};
    const com::TDispatchRef& Ch() { return Channel.Dispatch; }

    // One TCK cycle at pin level, reading TDO before the rising edge.
    int PinCycle(int tms, int tdi)
    {
        Check(Channel.Pins->SetTCK(0));
        Check(Channel.Pins->SetTMS(tms));
        Check(Channel.Pins->SetTDI(tdi));
        Check(Channel.Pins->Flush());
        uint8_t tdo = 0;
        Check(Channel.Pins->Sample());
        Check(Channel.Pins->GetTDO(&tdo));
        Check(Channel.Pins->SetTCK(1));
        Check(Channel.Pins->Flush());
        return tdo;
    }
    uint32_t PinRead32()
    {
        uint32_t value = 0;
        for (int i = 0; i < 32; ++i) value |= static_cast<uint32_t>(PinCycle(0, 0)) << i;
        return value;
    }
    void ExpectAllDevicesIn(TTapState state)
    {
        for (int32_t p = 0; p < Bench.Chain.DeviceCount(); ++p)
            EXPECT_EQ(Bench.Chain.Device(p).State(), state) << "position " << p;
        EXPECT_EQ(Channel.Object->TapState(), state);
    }
};

TEST_F(ChainTest, ReadsTheIdCodeOfEveryPosition)
{
    EXPECT_EQ(Ch().CallInt(Ch::kGetDeviceCount), 3);
    for (int32_t p = 0; p < 3; ++p) {
        const int32_t instruction = static_cast<int32_t>(Bench.IdCodeInstructionAt(p));
        EXPECT_EQ(static_cast<uint32_t>(ReadJTagRegister(Ch(), p, instruction)), Bench.IdCodeAt(p)) << "position " << p;
        // The instruction reached this device only; the others hold BYPASS.
        for (int32_t q = 0; q < 3; ++q) {
            const uint32_t expected = q == p ? static_cast<uint32_t>(instruction)
                                             : (1u << Bench.Chain.Device(q).IrLength()) - 1u;
            EXPECT_EQ(Bench.Chain.Device(q).Instruction(), expected) << "scan of " << p << ", device " << q;
        }
    }
    // An unconfigured Arria V answers USERCODE with all ones.
    EXPECT_EQ(ReadJTagRegister(Ch(), 0, TArria5Device::eUserCode), -1);
    EXPECT_EQ(ReadJTagRegister(Ch(), 2, TArria5Device::eUserCode), -1);
    ExpectAllDevicesIn(eTapRunTestIdle);
}

TEST_F(ChainTest, AfterResetTheChainShiftsOutIdCodesNearestTdoFirst)
{
    Ch().Call(Ch::kResetChannel);
    ExpectAllDevicesIn(eTapTestLogicReset);
    // Test-Logic-Reset selects IDCODE: walk to Shift-DR at pin level and read 96 bits.
    for (int tms : {0, 1, 0, 0}) PinCycle(tms, 0);
    ExpectAllDevicesIn(eTapShiftDR);
    EXPECT_EQ(PinRead32(), Bench.IdCodeAt(2));
    EXPECT_EQ(PinRead32(), Bench.IdCodeAt(1));
    EXPECT_EQ(PinRead32(), Bench.IdCodeAt(0));
}

TEST_F(ChainTest, InstructionRegistersCaptureTheirMarkersInChainOrder)
{
    Ch().Call(Ch::kGotoTAPState, {2});
    for (int tms : {1, 1, 0, 0}) PinCycle(tms, 1);
    ExpectAllDevicesIn(eTapShiftIR);
    // Each register captures ...0001; the device nearest TDO comes out first.
    std::string captured;
    for (int i = 0; i < 25; ++i) captured += PinCycle(i == 24 ? 1 : 0, 1) ? '1' : '0';
    EXPECT_EQ(captured, "1000000000" "10000" "1000000000");
    Ch().Call(Ch::kMoveTAPState, {13, 2});
    ExpectAllDevicesIn(eTapRunTestIdle);
    for (int32_t p = 0; p < 3; ++p) // all ones shifted in: BYPASS everywhere
        EXPECT_EQ(Bench.Chain.Device(p).Instruction(), (1u << Bench.Chain.Device(p).IrLength()) - 1u);
}

TEST_F(ChainTest, BypassRegistersAreOneBitEach)
{
    // Every device in BYPASS: the chain is three one-bit registers that capture 0,
    // so the bits come back three clocks late whichever position the scan names.
    for (int32_t p = 0; p < 3; ++p) {
        const int32_t bypass = static_cast<int32_t>((1u << Bench.Chain.Device(p).IrLength()) - 1u);
        Ch().Call(Ch::kScanIR, {bypass, p});
        EXPECT_EQ(Ch().CallInt(Ch::kScanDR, {0b10110101, 8, p}), (0b10110101 << 3) & 0xFF) << "position " << p;
    }
}

TEST_F(ChainTest, PinLevelAndChannelDriveTheSameTap)
{
    Ch().Call(Ch::kScanIR, {TArria5Device::eIdCode, 0});
    // Pin level: Run-Test/Idle -> Select-DR -> Capture-DR -> Shift-DR.
    for (int tms : {1, 0, 0}) PinCycle(tms, 0);
    ExpectAllDevicesIn(eTapShiftDR);
    // Two bypass bits (positions 2 and 1), then the IDCODE of position 0.
    EXPECT_EQ(PinCycle(0, 0), 0);
    EXPECT_EQ(PinCycle(0, 0), 0);
    EXPECT_EQ(PinRead32(), Bench.IdCodeAt(0));
    // The channel continues from where the pins left the TAP.
    Ch().Call(Ch::kClockTMS, {1});
    ExpectAllDevicesIn(eTapExit1DR);
    Ch().Call(Ch::kMoveTAPState, {6, 2});
    ExpectAllDevicesIn(eTapRunTestIdle);
    // A move made by the channel is seen at pin level: TDO shows the first bit of the
    // captured IDCODE (bit 0 is always 1) right after MoveTAPState(2, 5).
    Ch().Call(Ch::kScanIR, {TArria5Device::eIdCode, 2});
    Ch().Call(Ch::kMoveTAPState, {2, 5});
    uint8_t tdo = 0;
    Check(Channel.Pins->Sample());
    Check(Channel.Pins->GetTDO(&tdo));
    EXPECT_EQ(tdo, 1);
    Ch().Call(Ch::kClockTMS, {0});
    Check(Channel.Pins->Sample());
    Check(Channel.Pins->GetTDO(&tdo));
    EXPECT_EQ(tdo, (Bench.IdCodeAt(2) >> 1) & 1u);
}

TEST_F(ChainTest, FramedShiftIsOneExactScan)
{
    // MoveTAPState(2, 5), the shift, ClockTMS(1), MoveTAPState(6, 2): reads and writes land exactly.
    for (int32_t p = 0; p < 3; ++p) {
        Ch().Call(Ch::kScanIR, {static_cast<int32_t>(Bench.IdCodeInstructionAt(p)), p});
        Ch().Call(Ch::kMoveTAPState, {2, 5});
        EXPECT_EQ(static_cast<uint32_t>(Ch().CallInt(Ch::kShiftDRRead, {0, 32, p})), Bench.IdCodeAt(p));
        Ch().Call(Ch::kClockTMS, {1});
        Ch().Call(Ch::kMoveTAPState, {6, 2});
        ExpectAllDevicesIn(eTapRunTestIdle);
    }
    for (TArria5Device* device : {&Bench.First, &Bench.Last}) {
        const int32_t p = device == &Bench.First ? 0 : 2;
        const int32_t length = device->BoundaryLength();
        std::string pattern(static_cast<size_t>(length), '0');
        for (int32_t i = 0; i < length; ++i) pattern[static_cast<size_t>(i)] = (i * 7 + p) % 3 == 0 ? '1' : '0';
        Ch().Call(Ch::kScanIR, {TArria5Device::eSample, p});
        Ch().Call(Ch::kMoveTAPState, {2, 5});
        const std::string captured = Ch().CallString(Ch::kShiftDRString, {pattern, p});
        Ch().Call(Ch::kClockTMS, {1});
        Ch().Call(Ch::kMoveTAPState, {6, 2});
        // The text is most significant first: its last character is cell 0.
        const std::vector<uint8_t>& cells = device->BoundaryUpdate();
        std::string loaded(cells.size(), '0');
        for (size_t i = 0; i < cells.size(); ++i) loaded[cells.size() - 1 - i] = cells[i] ? '1' : '0';
        EXPECT_EQ(loaded, pattern) << "position " << p;
        // Cells that do not toggle read what the default board drives.
        std::vector<uint8_t> board(static_cast<size_t>(length));
        TToggleBoardModel().Capture(0, board);
        for (int32_t cell = 0; cell < length; ++cell) {
            if (TToggleBoardModel::IsToggling(cell / 3)) continue;
            ASSERT_EQ(captured[static_cast<size_t>(length - 1 - cell)], board[static_cast<size_t>(cell)] ? '1' : '0')
                << "position " << p << ", cell " << cell;
        }
    }
}

TEST(BoardModel, SomeInputsToggleWithTheClockCount)
{
    TToggleBoardModel board;
    std::vector<uint8_t> early(3 * 16), late(3 * 16);
    board.Capture(0, early);
    board.Capture(128, late); // half the period of group 5
    for (int32_t cell = 0; cell < 3 * 16; ++cell) {
        const int32_t group = cell / 3;
        const bool toggles = cell % 3 == 0 && TToggleBoardModel::IsToggling(group) && group == 5;
        EXPECT_EQ(early[static_cast<size_t>(cell)] != late[static_cast<size_t>(cell)], toggles) << "cell " << cell;
    }
    std::vector<uint8_t> later(3 * 16);
    board.Capture(256, later); // a whole period of group 5, half of group 13
    EXPECT_EQ(later[15], early[15]);
    EXPECT_NE(later[39], early[39]);
}

TEST_F(ChainTest, SampleCapturesTheBoardAtTheCaptureClock)
{
    struct TRecordingBoard : TToggleBoardModel {
        void Capture(uint64_t clocks, std::span<uint8_t> cells) const override
        {
            Clocks.push_back(clocks);
            TToggleBoardModel::Capture(clocks, cells);
        }
        mutable std::vector<uint64_t> Clocks;
    };
    auto board = std::make_shared<TRecordingBoard>();
    TSimChain chain;
    auto& device = chain.Emplace<TArria5Device>(0, TArria5Device::TOptions{board, 0});
    TChannelUnderTest channel(std::make_shared<TSimCable>(chain), chain.IrLengths());
    const com::TDispatchRef& ch = channel.Dispatch;
    const size_t length = static_cast<size_t>(device.BoundaryLength());
    for (int round = 0; round < 3; ++round) {
        ch.Call(Ch::kScanIR, {TArria5Device::eSample, 0});
        ch.Call(Ch::kMoveTAPState, {2, 5});
        const std::string text = ch.CallString(Ch::kShiftDRString, {std::string(length, '0'), 0});
        ch.Call(Ch::kClockTMS, {1});
        ch.Call(Ch::kMoveTAPState, {6, 2});
        for (int i = 0; i < 100 * round; ++i) ch.Call(Ch::kClockTMS, {0});

        ASSERT_EQ(board->Clocks.size(), static_cast<size_t>(round + 1));
        std::vector<uint8_t> cells(length);
        TToggleBoardModel().Capture(board->Clocks.back(), cells);
        std::string expected(length, '0');
        for (size_t i = 0; i < length; ++i) expected[length - 1 - i] = cells[i] ? '1' : '0';
        EXPECT_EQ(text, expected) << "round " << round;
    }
}

TEST_F(ChainTest, DeviceObjectsAndPort)
{
    com::TDispatchRef device = Ch().CallObject(Ch::kGetDevice, {1});
    ASSERT_FALSE(device.Empty());
    EXPECT_TRUE(device.CallObject(TJtagDeviceObject::kGetBoundaryScanEntity).Empty());
    auto entity = hostsim::MakeHostObject<TJtagPortObject>(); // any object will do
    Channel.Object->Device(1).SetBoundaryScanEntity(entity.Get());
    EXPECT_EQ(device.CallObject(TJtagDeviceObject::kGetBoundaryScanEntity).Get(), entity.Get());
    EXPECT_FALSE(Ch().CallObject(Ch::kGetPort).Empty());
    EXPECT_THROW(Ch().CallObject(Ch::kGetDevice, {3}), com::TDispatchCallError);
}

TEST_F(ChainTest, CallerErrorsBecomeFailureStatuses)
{
    EXPECT_THROW(Ch().Call(Ch::kScanIR, {6, 3}), com::TDispatchCallError);
    EXPECT_THROW(Ch().Call(Ch::kScanIR, {6, -1}), com::TDispatchCallError);
    EXPECT_THROW(Ch().Call(Ch::kGotoTAPState, {0}), com::TDispatchCallError);
    EXPECT_THROW(Ch().Call(Ch::kMoveTAPState, {2, 17}), com::TDispatchCallError);
    Ch().Call(Ch::kGotoTAPState, {2});
    EXPECT_THROW(Ch().Call(Ch::kShiftDR, {0, 8, 0}), com::TDispatchCallError); // not in Shift-DR
    Ch().Call(Ch::kMoveTAPState, {2, 5});
    EXPECT_THROW(Ch().CallString(Ch::kShiftDRString, {std::string("01x"), 0}), com::TDispatchCallError);

    EXPECT_EQ(Channel.Pins->Reserved1(), com::E_NOTIMPL);
    EXPECT_EQ(Channel.Pins->Reserved10(), com::E_NOTIMPL);
    EXPECT_EQ(Channel.Pins->GetTDO(nullptr), com::E_POINTER);

    Channel.Object->SetPinAccessOffered(false);
    void* pins = reinterpret_cast<void*>(1);
    EXPECT_EQ(Channel.Object->QueryInterface(com::IID_IJTagPinAccess, &pins), com::E_NOINTERFACE);
    EXPECT_EQ(pins, nullptr);
}

TEST_F(ChainTest, CallLogRecordsEveryCallInOrder)
{
    Channel.Object->EnableCallLog();
    EXPECT_EQ(ReadJTagRegister(Ch(), 2, TArria5Device::eUserCode), -1);
    Check(Channel.Pins->SetTDI(1));
    Check(Channel.Pins->Flush());
    Ch().Call(Ch::kMoveTAPState, {2, 5});
    Check(Channel.Pins->Sample());
    uint8_t tdo = 0;
    Check(Channel.Pins->GetTDO(&tdo));
    Ch().CallString(Ch::kShiftDRString, {std::string("10"), 2});

    // An injected failure is logged as failed and still lets the caller end access.
    Channel.Object->FailOperation(TJtagOp::ScanDR);
    EXPECT_THROW(ReadJTagRegister(Ch(), 0, TArria5Device::eIdCode), com::TDispatchCallError);
    Channel.Object->FailOperation(TJtagOp::Flush);
    EXPECT_EQ(Channel.Pins->Flush(), com::E_UNEXPECTED);

    std::vector<std::string> calls;
    for (const TJtagCall& call : Channel.Object->CallLog()) calls.push_back(call.ToString());
    const std::vector<std::string> expected = {
        "BeginAccess() = 1", "GotoTAPState(2)", "ScanIR(7, 2)", "ScanDR(0, 32, 2) = -1", "EndAccess()",
        "SetTDI(1)", "Flush()", "MoveTAPState(2, 5)", "Sample()", "GetTDO() = 1",
        "ShiftDRString(\"10\", 2) = \"11\"",
        "BeginAccess() = 1", "GotoTAPState(2)", "ScanIR(6, 0)", "ScanDR(0, 32, 0) failed", "EndAccess()",
        "Flush() failed"};
    EXPECT_EQ(calls, expected);
    EXPECT_EQ(Channel.Object->AccessDepth(), 0);
}

} // namespace
