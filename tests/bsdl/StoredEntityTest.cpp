// Stored boundary-scan descriptions: the entity a driver builds from its record,
// the rules every one of the 143 records keeps, and the builder on small records.
#include "bsdl/BsdlDispatch.h"
#include "bsdl/BsdlRecords.h"
#include "devices/arria5/DeviceObjects.h"
#include "devices/arria5/StoredBSDL.h"
#include "plugin/com/DispatchRef.h"
#include "tests/bsdl/BsdlTestSupport.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>

using namespace bsdl;

namespace {

constexpr int32_t kGetBSDLEntity = 503406;

com::TDispatchRef EntityOf(arria5::TDevice_Arria5Driver& driver)
{
    return com::TDispatchRef(driver.AsDispatch()).CallObject(kGetBSDLEntity);
}

TEST(StoredEntityTest, KindZeroAsTheHostSeesIt)
{
    arria5::TDevice_Arria5Driver driver(0);
    const com::TDispatchRef entity = EntityOf(driver);
    ASSERT_TRUE(entity);
    EXPECT_EQ(entity.CallString(503458), "ARRIA_V_5AGTFC7H3F35");
    EXPECT_EQ(entity.CallInt(503469), 1680) << "cells";
    EXPECT_EQ(entity.CallInt(503461), 1680) << "boundary length";
    EXPECT_EQ(entity.CallInt(503467), 1152) << "pins";
    EXPECT_EQ(entity.CallInt(503470), 9) << "opcodes";
    EXPECT_EQ(entity.CallInt(503471), 2) << "register associations";
    EXPECT_EQ(entity.CallInt(503479), 5) << "SAMPLE";
    EXPECT_EQ(entity.CallInt(503478), -1) << "EXTEST: all bits set";
    EXPECT_EQ(entity.CallInt(503459), 0) << "instruction length";
    EXPECT_FALSE(entity.CallObject(503476)) << "no TRST";
    EXPECT_EQ(entity.CallInt(503468), 0) << "no pin mappings listed";
    EXPECT_EQ(entity.CallString(503489), "5AGTFC7H3F35.bsd");
    EXPECT_EQ(entity.CallString(503486), "STD_1149_1_1993");
    EXPECT_EQ(entity.CallInt(503485), eScanClockHaltMode_Both);
    EXPECT_EQ(entity.CallString(503487), "");
    EXPECT_EQ(entity.CallObject(503466, {1}).CallString(503515), "IOCSR[193579]");
    EXPECT_EQ(entity.CallObject(503466, {1}).CallString(503427), "IOCSR[193579] (CONFIG_IO(0000001101))");
    EXPECT_EQ(entity.CallObject(503465, {8}).CallString(503427), "CONFIG_IO(0000001101)");
    const com::TDispatchRef tck = entity.CallObject(503475);
    EXPECT_EQ(tck.CallInt(503493), eScanPinKind_TCK);
    EXPECT_EQ(tck.CallInt(503490), eElectricInput);
    EXPECT_EQ(entity.CallObject(503473).CallInt(503490), eElectricOutput) << "TDO";
    // Cell 0 is at index 0; a control cell and its output cell point at each other.
    const com::TDispatchRef cell0 = entity.CallObject(503464, {0});
    EXPECT_EQ(cell0.CallInt(503501), 0);
    const com::TDispatchRef control = entity.CallObject(503464, {1});
    const com::TDispatchRef output = control.CallObject(503511);
    EXPECT_EQ(output.CallInt(503501), 2);
    EXPECT_EQ(output.CallObject(503510).Get(), control.Get());
    EXPECT_EQ(output.CallInt(503504), eCellFunction_Output3);
}

TEST(StoredEntityTest, OneEntityPerDriver)
{
    arria5::TDevice_Arria5Driver first(0), second(0), other(1);
    const com::TDispatchRef entity = EntityOf(first);
    EXPECT_EQ(EntityOf(first).Get(), entity.Get());
    EXPECT_NE(EntityOf(second).Get(), entity.Get());
    EXPECT_EQ(EntityOf(other).CallString(503458), "ARRIA_V_5AGTFC7H3F35") << "kind 1 shares the die and package";
}

// The rules of every stored record, checked on the entity built from it.
TEST(StoredEntityTest, EveryRecordBuildsAConsistentEntity)
{
    int wide = 0;
    std::set<std::string> names;
    for (int32_t index = 0; index < arria5::kStoredBSDLCount; ++index) {
        const arria5::TStoredBSDLRecord record(index);
        TBSDLPartCaches caches;
        const std::unique_ptr<TBSDLEntity> entity = BuildEntityFromRecord(record, caches);
        const std::string where = record.Filename;
        const int32_t groups = arria5::ScanGroupCount(index);
        names.insert(entity->Name);
        ASSERT_EQ(entity->BoundaryLength, 3 * groups) << where;
        ASSERT_EQ(static_cast<int32_t>(entity->BoundaryCells.size()), 3 * groups) << where;
        ASSERT_EQ(static_cast<int32_t>(entity->Pins.size()), arria5::PinOutOf(index).BallCount) << where;
        ASSERT_EQ(entity->InstructionOpCodes.size(), 9u) << where;
        ASSERT_EQ(entity->RegisterAssociations.size(), 2u) << where;
        EXPECT_EQ(entity->RegisterAssociations[0]->RegisterName(), "DEVICE_ID");
        const std::string& iocsr = entity->RegisterAssociations[1]->RegisterName();
        const bool isWide = groups == 720 && arria5::PinOutOf(index).Package == arria5::ePackage_F40;
        EXPECT_EQ(iocsr, isWide ? "IOCSR[212843]" : "IOCSR[193579]") << where;
        wide += isWide;
        for (size_t i = 0; i < entity->BoundaryCells.size(); ++i) {
            const TBoundaryCell& cell = *entity->BoundaryCells[i];
            ASSERT_EQ(cell.CellNumber(), static_cast<int32_t>(i)) << where;
            if (cell.ControlCell()) {
                ASSERT_EQ(cell.ControlCell()->TargetCell(), &cell) << where << " " << i;
            }
            if (cell.TargetCell()) {
                ASSERT_EQ(cell.TargetCell()->ControlCell(), &cell) << where << " " << i;
            }
            if (cell.CellFunction() == eCellFunction_Output3) {
                ASSERT_NE(cell.ControlCell(), nullptr) << where << " " << i;
            }
            if (cell.PortId() != "*") {
                ASSERT_NE(cell.Pin(), nullptr) << where << " " << i;
            }
        }
        std::set<std::string> numbers;
        int taps = 0, userIO = 0;
        for (const TScanPin* pin : entity->Pins) {
            ASSERT_TRUE(numbers.insert(pin->PinNumber()).second) << where << " " << pin->PinNumber();
            ASSERT_NE(pin->PinMapping(), nullptr);
            ASSERT_EQ(pin->PinMapping()->ScanPin(), pin) << where << " " << pin->PinNumber();
            EXPECT_EQ(pin->PinMapping()->PinNumber(), pin->PinNumber());
            for (const TBoundaryCell* cell : pin->BoundaryCells()) ASSERT_EQ(cell->Pin(), pin) << where;
            if (!pin->BoundaryCells().empty()) {
                ++userIO;
                ASSERT_EQ(pin->BoundaryCells().size(), 2u);
                EXPECT_EQ(pin->PinName(), "IO" + pin->PinNumber());
                EXPECT_EQ(pin->BoundaryCells()[0]->CellFunction(), eCellFunction_Input);
            }
            taps += pin->Kind() >= eScanPinKind_TCK && pin->Kind() <= eScanPinKind_TMS;
        }
        EXPECT_EQ(userIO, arria5::PinOutOf(index).ScanBallCount) << where;
        EXPECT_EQ(taps, 4) << where;
        EXPECT_EQ(entity->TAP_TDI->Kind(), eScanPinKind_TDI);
        EXPECT_EQ(entity->TAP_TDO->Kind(), eScanPinKind_TDO);
        EXPECT_EQ(entity->TAP_TMS->Kind(), eScanPinKind_TMS);
        EXPECT_EQ(entity->TAP_TCK->Kind(), eScanPinKind_TCK);
        EXPECT_EQ(entity->TAP_TRST, nullptr);
    }
    EXPECT_EQ(wide, 26);
    EXPECT_EQ(names.size(), 143u);
    EXPECT_EQ(arria5::FindStoredBSDLRecord("5asxmb5g6f40.BSD"), 142);
    EXPECT_EQ(arria5::FindStoredBSDLRecord("nothing.bsd"), -1);
}

// A record kept in vectors, for the builder's own rules.
class TVectorRecord : public TBSDLParameters {
public:
    std::vector<TScanPinParameters> Pins;
    std::vector<TBoundaryCellParameters> Cells;
    int32_t FailAtPin = -1;

    TScanPinParameters Pin(int32_t index) const override
    {
        if (index == FailAtPin) throw std::runtime_error("record damaged");
        return Pins.at(static_cast<size_t>(index));
    }
    TBoundaryCellParameters BoundaryCell(int32_t index) const override { return Cells.at(static_cast<size_t>(index)); }

    void Finish()
    {
        PinCount = static_cast<int32_t>(Pins.size());
        BoundaryCellCount = static_cast<int32_t>(Cells.size());
    }
};

TVectorRecord SmallRecord()
{
    TVectorRecord record;
    record.Name = "SMALL";
    TBoundaryCellParameters input;
    input.CellNumber = 0;
    input.PortId = "IO1";
    input.PinNumber = "A1";
    TBoundaryCellParameters output;
    output.CellNumber = 1;
    output.PortId = "IO1";
    output.PinNumber = "A1";
    output.ControlCellNumber = 99; // not defined
    record.Cells = {input, output};
    TScanPinParameters pin;
    pin.PinName = "IO1";
    pin.PinNumber = "A1";
    pin.PinMapping = {"IO1", "A1"};
    pin.BoundaryCellCount = 2;
    pin.BoundaryCells[0] = 0;
    pin.BoundaryCells[1] = 50; // not defined
    record.Pins = {pin};
    record.PinNumber_TDI = "Z9"; // not defined
    record.OpCodes = {{"BYPASS", "11"}};
    record.RegisterAssociations = {{"DEVICE_ID", 32, {{"IDCODE", "10"}}}};
    record.Finish();
    return record;
}

TEST(StoredEntityTest, UndefinedReferencesResolveToNone)
{
    const TVectorRecord record = SmallRecord();
    TBSDLPartCaches caches;
    const auto entity = BuildEntityFromRecord(record, caches);
    ASSERT_EQ(entity->Pins.size(), 1u);
    EXPECT_EQ(entity->Pins[0]->BoundaryCells().size(), 1u) << "cell 50 does not exist";
    EXPECT_EQ(entity->BoundaryCells[1]->ControlCell(), nullptr);
    EXPECT_EQ(entity->BoundaryCells[1]->ControlCellNumber(), 99);
    EXPECT_EQ(entity->TAP_TDI, nullptr);
    ASSERT_EQ(entity->RegisterAssociations.size(), 1u);
    EXPECT_EQ(entity->RegisterAssociations[0]->DescriptionText(), "DEVICE_ID [32] (IDCODE(NoOpcode))");
    EXPECT_EQ(entity->BoundaryCells[0]->Pin(), entity->Pins[0]);
}

TEST(StoredEntityTest, AFailedBuildLeavesNothingInTheCaches)
{
    TVectorRecord broken = SmallRecord();
    broken.FailAtPin = 0;
    TBSDLPartCaches caches;
    EXPECT_THROW(BuildEntityFromRecord(broken, caches), std::runtime_error);
    EXPECT_TRUE(caches.BoundaryCells.empty()) << "the cells of the discarded entity must not be reused";
    EXPECT_TRUE(caches.ScanPins.empty());
    const auto entity = BuildEntityFromRecord(SmallRecord(), caches);
    EXPECT_EQ(entity->BoundaryCells[0]->Entity(), entity.get());
    EXPECT_EQ(entity->BoundaryCells.size(), 2u);
}

} // namespace
