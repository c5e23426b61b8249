// The VHDL reader: declarations, architectures, errors with their positions,
// and what the host sees of a run (status bar, messages panel, text editor, log).
#include "bsdl/VhdlParser.h"
#include "host/HostAccess.h"
#include "tests/bsdl/BsdlTestSupport.h"
#include "tests/support/FakeDispatch.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace bsdl;

namespace {

struct TVhdl {
    TVHDLEntityList Entities;
    std::vector<std::string> Log;
    std::unique_ptr<TVHDLParser> Reader;
};

// A reader whose log lines are kept in memory.
class TLoggingParser : public TVHDLParser {
public:
    TLoggingParser(TVHDLEntityList& entities, std::vector<std::string>& log) : TVHDLParser(entities, "/work/top.vhd"), FLog(log)
    {
        LogToFile = false;
    }

protected:
    void LogLine(const std::string& line) override { FLog.push_back(line); }

private:
    std::vector<std::string>& FLog;
};

std::unique_ptr<TVhdl> Read(const std::string& text)
{
    auto vhdl = std::make_unique<TVhdl>();
    vhdl->Reader = std::make_unique<TLoggingParser>(vhdl->Entities, vhdl->Log);
    vhdl->Reader->RunText(text);
    return vhdl;
}

bool Logged(const TVhdl& vhdl, const std::string& line)
{
    return std::find(vhdl.Log.begin(), vhdl.Log.end(), line) != vhdl.Log.end();
}

TEST(VhdlReaderTest, PortsKeepTheirOrderModeAndRange)
{
    const auto vhdl = Read("entity E is\n  port (a, b : in bit; c : out bit_vector(7 downto 0));\nend E;\n");
    ASSERT_EQ(vhdl->Reader->Error_LineNumber, -1) << vhdl->Reader->ErrorMessage;
    TEntity* entity = vhdl->Entities.Find("e");
    ASSERT_NE(entity, nullptr);
    ASSERT_EQ(entity->Ports.Count(), 3);
    const char* names[] = {"a", "b", "c"};
    for (int i = 0; i < 3; ++i) {
        const TInterfaceElement* port = entity->Ports.Find(UpperName(names[i]));
        ASSERT_NE(port, nullptr) << names[i];
        EXPECT_EQ(port->FName, names[i]);
        EXPECT_EQ(port->ElementIndex, i);
    }
    const TInterfaceElement& c = *entity->Ports.Find("C");
    EXPECT_EQ(c.Expression1, "7");
    EXPECT_EQ(c.Expression2, "0");
    EXPECT_EQ(c.FArrayDirection, w_downto);
    EXPECT_EQ(c.FMode, eElectricOutput);
    EXPECT_EQ(c.GetState_StringDescriptor(), "Port c Output : bit_vector(7 downto 0)");
    EXPECT_EQ(c.GetState_AsSchematicId(), "c[7..0]");
    EXPECT_EQ(entity->Ports.Find("A")->FMode, eElectricInput);
    EXPECT_TRUE(Logged(*vhdl, "New Entity:E"));
}

TEST(VhdlReaderTest, GenericsAttributesAndConstants)
{
    const auto vhdl = Read("entity E is\n"
                           "  generic (x : integer range 0 to 7; PHYSICAL_PIN_MAP : string := \"FBGA\");\n"
                           "  attribute A of E : entity is \"one\" & \"two\" &\n   \"three\";\n"
                           "  attribute N of E : entity is 4 - 1;\n"
                           "  constant FBGA : PIN_MAP_STRING := \"X : 1, \" & \"Y : 2\";\n"
                           "end entity E;\n");
    ASSERT_EQ(vhdl->Reader->Error_LineNumber, -1) << vhdl->Reader->ErrorMessage;
    TEntity& entity = *vhdl->Entities.Find("E");
    const TInterfaceElement& x = *entity.Generics.Find("X");
    EXPECT_EQ(x.Expression1, "0");
    EXPECT_EQ(x.Expression2, "7");
    EXPECT_EQ(x.FArrayDirection, w_to);
    EXPECT_EQ(entity.Generics.Find("physical_pin_map")->DefaultValue, "\"FBGA\"");
    ASSERT_EQ(entity.Attributes.Count(), 2);
    const TVHDLAttribute* pieces = nullptr;
    const TVHDLAttribute* number = nullptr;
    for (int i = 0; i < 2; ++i)
        (entity.Attributes.Items(i)->AttributeDesignator == "A" ? pieces : number) = entity.Attributes.Items(i);
    ASSERT_TRUE(pieces && number);
    EXPECT_EQ(pieces->AttributeExpression, "one two three") << "quoted pieces joined by & become one text";
    EXPECT_EQ(pieces->AttributeKind, eAttributeKind_Specification);
    EXPECT_EQ(pieces->AttributeTargetKind, w_entity);
    EXPECT_EQ(pieces->TargetList, std::vector<std::string>{"E"});
    EXPECT_EQ(number->AttributeExpression, "41") << "a lone '-' in an expression is dropped";
    ASSERT_EQ(entity.Constants.Count(), 1);
    EXPECT_EQ(entity.Constants.Items(0)->ConstantDesignators, std::vector<std::string>{"FBGA"});
    EXPECT_EQ(entity.Constants.Items(0)->ConstantTypeId, "PIN_MAP_STRING");
    EXPECT_EQ(entity.Constants.Items(0)->ConstantExpression, "X : 1,  Y : 2");
}

TEST(VhdlReaderTest, PragmaRegionsAreNotRead)
{
    const auto vhdl = Read("-- synopsys translate_off\nentity Hidden is end;\n-- synopsys translate_on\n"
                           "entity Shown is end;\n");
    EXPECT_EQ(vhdl->Reader->Error_LineNumber, -1) << vhdl->Reader->ErrorMessage;
    EXPECT_EQ(vhdl->Entities.Find("HIDDEN"), nullptr);
    EXPECT_NE(vhdl->Entities.Find("SHOWN"), nullptr);
}

TEST(VhdlReaderTest, ArchitectureWithComponentsAndAssignments)
{
    const auto vhdl = Read("entity top is port (a, b : in bit; y : out bit; d : out bit_vector(3 downto 0)); end;\n"
                           "architecture rtl of top is\n"
                           "  component and2 port (i0, i1 : in bit; o : out bit); end component;\n"
                           "  signal s : bit;\n"
                           "begin\n"
                           "  u1 : and2 port map (i0 => a, i1 => b, o => s);\n"
                           "  u2 : and2 port map (a, b, open);\n"
                           "  y <= s;\n"
                           "  s <= a;\n"
                           "  d(3 downto 0) <= s;\n"
                           "  p : process (a) begin if a = '1' then null; end if; end process p;\n"
                           "end rtl;\n");
    ASSERT_EQ(vhdl->Reader->Error_LineNumber, -1) << vhdl->Reader->ErrorMessage;
    TEntity& top = *vhdl->Entities.Find("TOP");
    ASSERT_EQ(top.ComponentInstances.Count(), 2);
    const TComponentInstance& u1 = *top.ComponentInstances.Find("U1");
    EXPECT_EQ(u1.ComponentDeclaration, top.ComponentDeclarations.Find("AND2"));
    ASSERT_EQ(u1.PortMap.Count(), 3);
    const TAssociationElement& o = *u1.PortMap.Find("O");
    EXPECT_EQ(o.SignalOrPort, top.Signals.Find("S"));
    EXPECT_EQ(o.VHDLPort, u1.ComponentDeclaration->Ports.Find("O"));
    EXPECT_EQ(top.Signals.Find("S")->MappedPorts.Find("O"), &o);
    const TComponentInstance& u2 = *top.ComponentInstances.Find("U2");
    ASSERT_EQ(u2.PortMap.Count(), 3);
    EXPECT_EQ(u2.PortMap.Items(0)->VHDLPort->ElementIndex + u2.PortMap.Items(1)->VHDLPort->ElementIndex +
                  u2.PortMap.Items(2)->VHDLPort->ElementIndex,
              3)
        << "positional elements take the declaration's ports in order";
    EXPECT_TRUE(Logged(*vhdl, "New Architecture: RTL For Entity:TOP"));
    EXPECT_TRUE(Logged(*vhdl, "Component Instance:u1 Type:AND2"));
    EXPECT_TRUE(Logged(*vhdl, "Adding AssociationElement:Port Map u1-o => s(Signal)"));
    EXPECT_TRUE(Logged(*vhdl, "Found PortAssignment:y <= s"));
    EXPECT_TRUE(Logged(*vhdl, "PortConnectedToSignal:Port y Output : bit To Signal s I/O : bit"));
    EXPECT_TRUE(Logged(*vhdl, "SignalConnectedToPort:Signal s I/O : bit To Port a Input : bit"));
    EXPECT_TRUE(Logged(*vhdl, "PortConnectedToSignalSlice:Port d Output : bit_vector(3 downto 0) To Signal s I/O : "
                              "bit[3..0]"));
}

TEST(VhdlReaderTest, ErrorsNameTheirPosition)
{
    const struct {
        const char* Text;
        const char* Message;
    } cases[] = {
        {"entity E is end;\nentity E is end;", "Entity E Redeclared at Line: 2 Offset: 8"},
        {"entity E is port (a : in bit", "Expected ) at Line: 1 Offset: 29"},
        {"entity E is end", "Expected ; at Line: 1 Offset: 16"},
        {"entity E is\n  port (a : in bit);\n", "Expected end at Line: 3 Offset: 1"},
        {"entity is end;", "Identifier Expected at Line: 1 Offset: 8"},
        {"entity E is port (a in bit); end;", "Expected : at Line: 1 Offset: 21"},
        {"entity E is attribute A of E : banana is 1; end;",
         "Entity Class Expected (Entity..Units) at Line: 1 Offset: 32"},
        {"entity E is attribute A of : entity is 1; end;", "Identifier or Constant Expected at Line: 1 Offset: 28"},
        {"architecture A of X is begin end;", "Entity : X not found for Architecture : A at Line: 1 Offset: 19"},
        {"entity E is end;\narchitecture A of E is begin\n  u1 : nand3 port map (x);\nend;",
         "Component Type nand3 Not Found at Line: 3 Offset: 8"},
        {"entity E is end;\narchitecture A of E is\n component c port (p : in bit); end component;\nbegin\n"
         "  u1 : c port map (q => x);\nend;",
         "Unrecognized Pin q in Component Instance u1(c) at Line: 5 Offset: 20"},
        {"entity E is end;\narchitecture A of E is\n component c port (p : in bit); end component;\nbegin\n"
         "  u1 : c port map (x, y);\nend;",
         "Out of Range Port Map: y in Component Instance u1(c) at Line: 5 Offset: 23"},
        {"entity E is end;\narchitecture A of E is\n component c end component;\n component C end component;\n"
         "begin end;",
         "Component C Redeclared at Line: 4 Offset: 12"},
        {"entity E is end;\narchitecture A of E is begin\n  z <= 1;\nend;", "Unrecognized Assignment z at Line: 3 Offset: 3"},
        {"entity E is end;\narchitecture A of E is begin\n  u1 : entity work.x;\nend;",
         "Entity Instances Not Supported at Line: 3 Offset: 8"},
        {"entity E is end;\narchitecture A of E is begin\n  component x;\nend;",
         "Component keyword not supported in component instances at Line: 3 Offset: 3"},
        {"entity E is end;\narchitecture A of E is begin\n  configuration x;\nend;",
         "Configurations Not Supported at Line: 3 Offset: 3"},
        {"entity E is end;\narchitecture A of E is begin\n  p : process begin wait;\n",
         "Expected end at Line: 4 Offset: 1"},
        {"-- synopsys translate_off\nentity E is end;", "Expected translate_on at Line: 2 Offset: 17"},
        {"entity E is -- rtl_synthesis of\nend;", "Expected off at Line: 1 Offset: 30"},
    };
    for (const auto& c : cases) {
        const auto vhdl = Read(c.Text);
        EXPECT_EQ(vhdl->Reader->ErrorMessage, c.Message) << c.Text;
        const std::string message = c.Message;
        const size_t at = message.rfind(" at Line: ");
        const int line = std::stoi(message.substr(at + 10));
        const int column = std::stoi(message.substr(message.rfind("Offset: ") + 8));
        EXPECT_EQ(vhdl->Reader->Error_LineNumber, line) << c.Text;
        EXPECT_EQ(vhdl->Reader->Error_ColumnNumber, column) << c.Text;
    }
}

TEST(VhdlReaderTest, EntitiesBeforeAnErrorStay)
{
    const auto vhdl = Read("entity A is end;\nentity B is port (x : in bit) end;\n");
    EXPECT_NE(vhdl->Reader->Error_LineNumber, -1);
    EXPECT_NE(vhdl->Entities.Find("A"), nullptr);
    ASSERT_NE(vhdl->Entities.Find("B"), nullptr);
    EXPECT_EQ(vhdl->Entities.Find("B")->Ports.Count(), 1);
}

// A host client recording the status bar, the messages panel and the editor cross-probe.
class TRecordingClient : public testsupport::TFakeDispatch {
public:
    explicit TRecordingClient(testsupport::TCallLog* log) : TFakeDispatch("client", log) {}
    com::HRESULT Invoke(int32_t dispid, const com::GUID& iid, uint32_t lcid, uint16_t flags, com::DISPPARAMS* params,
                        com::VARIANT* result, com::EXCEPINFO* info, uint32_t* argErr) override
    {
        if (dispid == hostaccess::dispid::Client_RunProcess && params && params->cArgs == 3)
            Processes.emplace_back(com::BstrToUtf8(params->rgvarg[2].bstrVal), com::VariantToString(params->rgvarg[1]));
        return TFakeDispatch::Invoke(dispid, iid, lcid, flags, params, result, info, argErr);
    }
    std::vector<std::pair<std::string, std::string>> Processes;
};

class VhdlReaderHostTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Client.ReturnObject(hostaccess::dispid::Client_GetGUIManager, &Gui);
        Client.ReturnObject(hostaccess::dispid::Client_GetWorkspace, &Workspace);
        Workspace.ReturnObject(hostaccess::dispid::Workspace_GetMessagesManager, &Messages);
        hostaccess::SetClientForTesting(&Client);
    }
    void TearDown() override { hostaccess::SetClientForTesting(nullptr); }

    std::vector<testsupport::TCall> CallsTo(int32_t dispid) const
    {
        std::vector<testsupport::TCall> calls;
        for (const auto& call : Log)
            if (call.DispId == dispid) calls.push_back(call);
        return calls;
    }

    testsupport::TCallLog Log;
    TRecordingClient Client{&Log};
    testsupport::TFakeDispatch Gui{"gui", &Log};
    testsupport::TFakeDispatch Workspace{"workspace", &Log};
    testsupport::TFakeDispatch Messages{"messages", &Log};
};

TEST_F(VhdlReaderHostTest, AnErrorGoesToTheMessagesPanelAndTheEditor)
{
    bsdltest::TTempFolder temp;
    TVHDLEntityList entities;
    TVHDLParser reader(entities, "/work/top.vhd");
    reader.RunText("entity Top is\n  port (a : in bit)\nend;\n");
    EXPECT_EQ(reader.ErrorMessage, "Expected ; at Line: 3 Offset: 1");

    const auto status = CallsTo(hostaccess::dispid::GUIManager_SetStatusBarText);
    ASSERT_FALSE(status.empty());
    EXPECT_EQ(std::get<int64_t>(status[0].Args[0]), 3);
    EXPECT_EQ(std::get<std::string>(status[0].Args[1]), "Entity:TOP");

    const auto messages = CallsTo(hostaccess::dispid::MessagesManager_AddMessage);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(std::get<std::string>(messages[0].Args[0]), "[Error]");
    EXPECT_EQ(std::get<std::string>(messages[0].Args[1]), "Expected ; at Line: 3 Offset: 1");
    EXPECT_EQ(std::get<std::string>(messages[0].Args[2]), "Compiler");
    EXPECT_EQ(std::get<std::string>(messages[0].Args[3]), "/work/top.vhd");

    // The document is opened, then the editor shows the 0-based position.
    const auto isOpen = [](const testsupport::TCall& call) {
        return call.DispId == hostaccess::dispid::Client_GetServerDocumentByPath &&
               std::get<std::string>(call.Args[0]) == "/work/top.vhd";
    };
    const auto isProbe = [](const testsupport::TCall& call) {
        return call.DispId == hostaccess::dispid::Client_RunProcess;
    };
    const auto open = std::find_if(Log.begin(), Log.end(), isOpen);
    ASSERT_NE(open, Log.end());
    EXPECT_LT(open - Log.begin(), std::find_if(Log.begin(), Log.end(), isProbe) - Log.begin());
    ASSERT_EQ(Client.Processes.size(), 1u);
    EXPECT_EQ(Client.Processes[0].first, "TEXTEDIT:CrossProbeNotify");
    EXPECT_EQ(Client.Processes[0].second, "TargetFilename=/work/top.vhd|FocusWindows=True|Kind=Position|"
                                          "LineNumber=2|ColumnNumber=0|SelectionLength=10");

    // The log replaced the one in the temporary folder.
    const std::string log = bsdltest::ReadFile(temp.Folder() + "VHDL Parser.log");
    EXPECT_NE(log.find("New Entity:TOP\n"), std::string::npos) << log;
}

TEST_F(VhdlReaderHostTest, AnErrorInAnArchitectureStaysWithTheReader)
{
    bsdltest::TTempFolder temp;
    TVHDLEntityList entities;
    TVHDLParser reader(entities, "/work/top.vhd");
    reader.RunText("entity Top is end;\narchitecture a of Top is begin\n  q <= 1;\nend;");
    EXPECT_EQ(reader.ErrorMessage, "Unrecognized Assignment q at Line: 3 Offset: 3");
    EXPECT_TRUE(CallsTo(hostaccess::dispid::MessagesManager_AddMessage).empty());
    EXPECT_TRUE(Client.Processes.empty());
}

} // namespace
