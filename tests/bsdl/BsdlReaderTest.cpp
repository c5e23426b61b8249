// The BSDL reader: the boundary register built on first use, malformed input of
// every kind ending in an error (never a crash or a hang), a vendor-style text,
// and every generated description read back equal to its stored record.
#include "bsdl/BoundaryRegister.h"
#include "bsdl/BsdlDispatch.h"
#include "devices/arria5/StoredBSDL.h"
#include "plugin/com/DispatchRef.h"
#include "tests/bsdl/BsdlTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace bsdl;
using bsdltest::ReadBsdl;

namespace {

std::string Entity(const std::string& attributes)
{
    return "entity DEV is\n  port (IO1 : inout bit; TCK : in bit);\n" + attributes + "\nend DEV;\n";
}

std::string Register(const std::string& cells, const std::string& length = "3")
{
    return Entity("  attribute BOUNDARY_LENGTH of DEV : entity is " + length +
                  ";\n  attribute BOUNDARY_REGISTER of DEV : entity is\n" + cells + ";");
}

TEST(BsdlReaderTest, ThreeCellsArePlacedAndLinked)
{
    const auto read = ReadBsdl(Register("    \"0 (BC_1, *, Control, 1),\" &\n"
                                        "    \"1 (BC_1, IO1, Output3, X, 0, 1, Z),\" &\n"
                                        "    \"2 (BC_4, IO1, Input, X)\""));
    ASSERT_FALSE(read->Reader->DidErrorOccur()) << read->Reader->ErrorMessage;
    TBSDLEntity* entity = read->Entity();
    ASSERT_NE(entity, nullptr);
    EXPECT_EQ(entity->Filename, "test.bsd");
    EXPECT_FALSE(entity->ProcessedBoundaryInfo()) << "nothing is built while reading";
    com::TDispatchRef host(entity->HostInterface());
    EXPECT_EQ(host.CallInt(503461), 3);
    ASSERT_EQ(host.CallInt(503469), 3);
    EXPECT_TRUE(entity->ProcessedBoundaryInfo());
    const TBoundaryCell& output = *entity->BoundaryCells[1];
    EXPECT_EQ(output.ControlCell(), entity->BoundaryCells[0]);
    EXPECT_EQ(output.DisableValue(), eBit_1);
    EXPECT_EQ(output.DisableResult(), eDisableResult_HiZ);
    EXPECT_EQ(output.CellFunction(), eCellFunction_Output3);
    EXPECT_EQ(entity->BoundaryCells[0]->TargetCell(), &output);
    EXPECT_EQ(entity->BoundaryCells[0]->SafeBit(), eBit_1);
    EXPECT_EQ(entity->BoundaryCells[2]->CellKind(), eCellKind_BC_4);
    EXPECT_EQ(entity->BoundaryCells[2]->PortId(), "IO1");
    EXPECT_EQ(entity->BoundaryCells[2]->Pin(), nullptr) << "a reader's entity has no scan pins";
    EXPECT_EQ(host.CallInt(503467), 0);
    EXPECT_EQ(host.CallInt(503470), 0) << "instructions stay VHDL attributes";
    EXPECT_EQ(entity->Ports.Count(), 2);
    EXPECT_FALSE(read->Log.empty());
}

// Texts of the cell list and what the register becomes: cell count, and for the
// last cell its number, kind, function and control cell.
TEST(BsdlReaderTest, CellListTexts)
{
    const struct {
        const char* Cells;
        int Count;
        int LastNumber;
        TCellKind LastKind;
        TCellFunction LastFunction;
        int LastControl;
    } cases[] = {
        {"\"0 (BC_1, *, Control, 1), 1 (bc_1, IO1, output3, x, 0, 1, z)\"", 2, 1, eCellKind_BC_1,
         eCellFunction_Output3, 0},
        {"\"0 (BC_4, IO1, Observe_Only, X)\"", 1, 0, eCellKind_BC_4, eCellFunction_Undefined, -1},
        {"\"0 (BC_2, *, Internal, 0),\"", 1, 0, eCellKind_BC_2, eCellFunction_Internal, -1},
        {"\"0 (BC_2 * Internal 0) 1 (BC_2, *, Internal, 0)\"", 1, 0, eCellKind_BC_2, eCellFunction_Internal, -1},
        {"\"0 (BC_1, *, Control, 1), x1 (BC_1, IO1, Output3, X, 0, 1, Z)\"", 1, 0, eCellKind_BC_1,
         eCellFunction_Control, -1},
        {"\"0 (BC_1, *, Control, 1), 1 (BC_1, IO1, Output3, X, 0, 1, Z\"", 1, 0, eCellKind_BC_1,
         eCellFunction_Control, -1},
        {"\"0 (BC_1, (nested), Control, 1)\"", 1, 0, eCellKind_BC_1, eCellFunction_Control, -1},
        {"\"\"", 0, 0, eCellKind_Undefined, eCellFunction_Undefined, 0},
    };
    for (const auto& c : cases) {
        const auto read = ReadBsdl(Register(c.Cells));
        ASSERT_FALSE(read->Reader->DidErrorOccur()) << c.Cells << ": " << read->Reader->ErrorMessage;
        TBSDLEntity& entity = *read->Entity();
        entity.ProcessBoundaryInfo();
        ASSERT_EQ(static_cast<int>(entity.BoundaryCells.size()), c.Count) << c.Cells;
        if (c.Count == 0) continue;
        const TBoundaryCell& last = *entity.BoundaryCells.back();
        EXPECT_EQ(last.CellNumber(), c.LastNumber) << c.Cells;
        EXPECT_EQ(last.CellKind(), c.LastKind) << c.Cells;
        EXPECT_EQ(last.CellFunction(), c.LastFunction) << c.Cells;
        EXPECT_EQ(last.ControlCellNumber(), c.LastControl) << c.Cells;
    }
    // A number directly followed by "(" is read whole.
    TBSDLEntity entity;
    const auto cells = ParseBoundaryCells(entity, "10(BC_7, IO1, BiDir, X, 1, 0, Weak1)");
    ASSERT_EQ(cells.size(), 1u);
    EXPECT_EQ(cells[0]->CellNumber(), 10);
    EXPECT_EQ(cells[0]->DisableResult(), eDisableResult_Weak1);
    EXPECT_EQ(cells[0]->DisableValue(), eBit_0);
}

TEST(BsdlReaderTest, AttributeNamesInAnyCaseAndMissingAttributes)
{
    const auto lower = ReadBsdl(Entity("attribute boundary_length of DEV : entity is 7;"));
    EXPECT_EQ(com::TDispatchRef(lower->Entity()->HostInterface()).CallInt(503461), 7);
    EXPECT_EQ(lower->Entity()->BoundaryCells.size(), 0u) << "no Boundary_Register: no cells";
    const auto none = ReadBsdl(Entity(""));
    EXPECT_EQ(com::TDispatchRef(none->Entity()->HostInterface()).CallInt(503461), 0);
    const auto text = ReadBsdl(Entity("attribute BOUNDARY_LENGTH of DEV : entity is many;"));
    EXPECT_EQ(com::TDispatchRef(text->Entity()->HostInterface()).CallInt(503461), 0);
}

TEST(BsdlReaderTest, CellsThatCannotBePlacedFailTheBuild)
{
    const struct {
        const char* Cells;
        const char* Message;
    } cases[] = {
        {"\"0 (BC_1, *, Control, 1), 2 (BC_1, *, Control, 1)\"", "cell 2 is outside 0..1"},
        {"\"0 (BC_1, *, Control, 1), 0 (BC_1, *, Control, 1)\"", "cell 1 is missing"},
        {"\"0 (BC_1, IO1, Output3, X, 9, 1, Z)\"", "control cell 9 of cell 0"},
    };
    for (const auto& c : cases) {
        const auto read = ReadBsdl(Register(c.Cells));
        TBSDLEntity& entity = *read->Entity();
        try {
            entity.ProcessBoundaryInfo();
            ADD_FAILURE() << c.Cells;
        } catch (const EBoundaryRegisterError& e) {
            EXPECT_NE(std::string(e.what()).find(c.Message), std::string::npos) << e.what();
            EXPECT_EQ(e.Line, 4) << "the position of the Boundary_Register attribute";
            EXPECT_EQ(e.Column, 3);
        }
        EXPECT_FALSE(entity.ProcessedBoundaryInfo());
        EXPECT_EQ(entity.BoundaryLength, 0) << "the entity stays as it was";
    }
}

// Malformed input of any kind ends in a reported error (or is skipped), never a crash or a hang.
TEST(BsdlReaderTest, MalformedInputEndsInAnError)
{
    std::string deep = "entity D is attribute BOUNDARY_REGISTER of D : entity is \"0 ";
    deep += std::string(100000, '(') + "\"; end;";
    std::string huge = "entity H is attribute BOUNDARY_REGISTER of H : entity is ";
    for (int i = 0; i < 20000; ++i) {
        huge += '"';
        huge += std::to_string(i);
        huge += " (BC_1, *, Control, 1), \" & ";
    }
    huge += "\"20000 (BC_1, *, Control, 1)\"; end;";
    // Many declarations: adding and finding stay cheap however long the lists get.
    std::string many = "entity M is port (";
    const auto list = [&many](char prefix, const char* each, const char* last) {
        for (int i = 0; i < 30000; ++i) {
            many += prefix;
            many += std::to_string(i);
            many += i + 1 < 30000 ? each : last;
        }
    };
    list('p', " : in bit; ", " : in bit);\n");
    for (int i = 0; i < 100000; ++i) many += "attribute a of M : entity is 1;\n";
    many += "end;\narchitecture x of M is component c port (";
    list('q', " : in bit; ", " : in bit);");
    many += " end component;\nbegin u : c port map (";
    list('p', ", ", ");\nend;\n");
    std::string binary;
    for (int i = 0; i < 65536; ++i) binary += static_cast<char>((i * 131 + 7) & 0xFF);
    const struct {
        std::string Text;
        int Error;  // 1: an error is reported, 0: none, -1: either
        int Cells;  // after processing, -1: not checked
    } cases[] = {
        {"entity T is port (a : in bit", 1, -1},
        {"entity T is attribute BOUNDARY_REGISTER of T : entity is \"0 (BC_1", 1, -1},
        {"entity", 1, -1},
        {"entity T is \"unterminated\nend;", 0, 0},
        {deep, 0, 0},
        {huge, 0, 20001},
        {many, 0, 0},
        {binary, -1, -1},
        {std::string("entity T is\0 end;", 17), 0, 0},
        {std::string(200000, '('), 0, -1},
        {std::string(100000, '-') + "\n", 0, -1},
    };
    for (const auto& c : cases) {
        const auto read = ReadBsdl(c.Text);
        if (c.Error >= 0) {
            EXPECT_EQ(read->Reader->DidErrorOccur(), c.Error == 1)
                << c.Text.substr(0, 60) << ": " << read->Reader->ErrorMessage;
        }
        if (read->Reader->DidErrorOccur()) {
            EXPECT_GT(read->Reader->Error_LineNumber, 0);
            EXPECT_GT(read->Reader->Error_ColumnNumber, 0);
        }
        if (TBSDLEntity* entity = read->Entity()) {
            try {
                entity->ProcessBoundaryInfo();
            } catch (const EBoundaryRegisterError&) {
            }
            if (c.Cells >= 0) {
                EXPECT_EQ(static_cast<int>(entity->BoundaryCells.size()), c.Cells);
            }
        }
    }
    // A real description cut anywhere before its end is an error.
    const std::string full = bsdltest::ReadFile(std::string(ARRIA5_BSDL_DIR) + "5AGXBA1D4F27.bsd");
    const size_t end = full.rfind("end ARRIA_V_");
    ASSERT_NE(end, std::string::npos);
    for (size_t cut = 0; cut < end; cut += end / 37 + 1) {
        const auto read = ReadBsdl(full.substr(0, cut));
        if (cut < full.find("entity ARRIA_V_") + 7) continue;
        EXPECT_TRUE(read->Reader->DidErrorOccur()) << "cut at " << cut;
    }
}

TEST(BsdlReaderTest, ALogLineListIsFilled)
{
    const auto read = ReadBsdl(Entity(""));
    EXPECT_EQ(read->Log, std::vector<std::string>{"New Entity:DEV"});
}

// A description in the layout vendors publish for their 28-nm families
// (comment banners, mixed letter case, CR LF line ends, cells grouped by comments).
TEST(BsdlReaderTest, VendorLayoutFixture)
{
    const std::string path = std::string(ARRIA5_BSDL_TEST_DATA) + "vendor_layout_sample.bsd";
    const auto read = ReadBsdl(bsdltest::ReadFile(path), path);
    ASSERT_FALSE(read->Reader->DidErrorOccur()) << read->Reader->ErrorMessage;
    TBSDLEntity& entity = *read->Entity();
    entity.ProcessBoundaryInfo();
    EXPECT_EQ(entity.Name, "SAMPLE_28NM_F17");
    EXPECT_EQ(entity.BoundaryLength, 24);
    ASSERT_EQ(entity.BoundaryCells.size(), 24u);
    EXPECT_EQ(entity.BoundaryCells[2]->ControlCell(), entity.BoundaryCells[1]);
    EXPECT_EQ(entity.BoundaryCells[5]->PortId(), "IOA5");
    EXPECT_EQ(entity.BoundaryCells[23]->CellFunction(), eCellFunction_Internal);
    EXPECT_EQ(entity.Ports.Count(), 14);
    ASSERT_NE(entity.FindAttribute("INSTRUCTION_OPCODE"), nullptr);
    const std::string& opcodes = entity.FindAttribute("INSTRUCTION_OPCODE")->AttributeExpression;
    EXPECT_EQ(opcodes.substr(opcodes.size() - 30), "CONFIG_IO         (0000001101)") << "one text, pieces joined";
}

// Every generated BSDL file read back gives, cell for cell, its stored record's register,
// and its ports and pin map match the record's pins.
TEST(BsdlReaderTest, EveryGeneratedFileEqualsItsStoredRecord)
{
    ASSERT_EQ(arria5::kStoredBSDLCount, 143);
    for (int32_t index = 0; index < arria5::kStoredBSDLCount; ++index) {
        const arria5::TStoredBSDLRecord record(index);
        const std::string path = std::string(ARRIA5_BSDL_DIR) + record.Filename;
        ASSERT_TRUE(std::filesystem::exists(path)) << path;
        const auto read = ReadBsdl(bsdltest::ReadFile(path), path);
        ASSERT_FALSE(read->Reader->DidErrorOccur()) << path << ": " << read->Reader->ErrorMessage;
        TBSDLEntity& entity = *read->Entity();
        ASSERT_NO_THROW(entity.ProcessBoundaryInfo()) << path;
        EXPECT_EQ(entity.Name, record.Name);
        ASSERT_EQ(entity.BoundaryLength, record.BoundaryLength) << path;
        ASSERT_EQ(static_cast<int32_t>(entity.BoundaryCells.size()), record.BoundaryCellCount) << path;
        for (int32_t i = 0; i < record.BoundaryCellCount; ++i) {
            const TBoundaryCellParameters expected = record.BoundaryCell(i);
            const TBoundaryCell& cell = *entity.BoundaryCells[static_cast<size_t>(i)];
            const bool same = cell.CellNumber() == expected.CellNumber && cell.CellKind() == expected.CellKind &&
                              cell.PortId() == expected.PortId && cell.CellFunction() == expected.CellFunction &&
                              cell.SafeBit() == expected.SafeBit &&
                              cell.ControlCellNumber() == expected.ControlCellNumber &&
                              cell.DisableValue() == expected.DisableValue &&
                              cell.DisableResult() == expected.DisableResult &&
                              (cell.TargetCell() ? cell.TargetCell()->CellNumber() : -1) == expected.TargetCellNumber;
            ASSERT_TRUE(same) << path << " cell " << i << ": " << cell.DescriptionText();
        }
        // Ports: one per scan pin (vector ports once), each with the pin's direction.
        for (int32_t p = 0; p < record.PinCount; ++p) {
            const TScanPinParameters pin = record.Pin(p);
            const std::string base = pin.PinName.substr(0, pin.PinName.find('('));
            const TVHDLPort* port = entity.Ports.Find(UpperName(base));
            ASSERT_NE(port, nullptr) << path << " " << pin.PinName;
            EXPECT_EQ(port->FMode, pin.Direction) << path << " " << pin.PinName;
        }
        ASSERT_EQ(entity.Constants.Count(), 1);
        const std::string& map = entity.Constants.Items(0)->ConstantExpression;
        const TScanPinParameters tdo = record.Pin(arria5::FindPinFunction(arria5::PinOutOf(index), arria5::ePinFunction_TDO));
        EXPECT_NE(map.find(tdo.PinName + " : " + tdo.PinNumber + ","), std::string::npos) << path;
    }
}

} // namespace
