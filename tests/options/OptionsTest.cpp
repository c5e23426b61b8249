// Tool option sets: the default option file, the validity filters, the values
// kept in the host project, and the command-line and command-file texts.
#include "hostsim/host/Host.h"
#include "options/FPGAOptions.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using namespace tavrel;
using hostsim::THost;

namespace {

class TTempFolder {
public:
    TTempFolder()
    {
        static int counter = 0;
        FPath = fs::temp_directory_path() / ("options-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
        fs::create_directories(FPath);
    }
    ~TTempFolder() { fs::remove_all(FPath); }
    std::string Write(const std::string& name, const std::string& text) const
    {
        const fs::path file = FPath / name;
        std::ofstream(file, std::ios::binary) << text;
        return file.string();
    }
    fs::path Path() const { return FPath; }

private:
    fs::path FPath;
};

THost::TOptions StagedHost(const std::string& projectPath = {})
{
    THost::TOptions options;
    options.ApplicationFolder = ARRIA5_STAGE_DIR;
    options.ManualTime = true;
    if (!projectPath.empty()) options.Bench.Projects.push_back({projectPath, {}});
    return options;
}

TStringList Lines(std::initializer_list<const char*> lines) { return TStringList(lines.begin(), lines.end()); }

// Option sets ask the host's device manager about their device: these tests run on a host.
class OnHost : public ::testing::Test {
protected:
    THost Host{[] {
        THost::TOptions options = StagedHost();
        options.PluginPath = std::string("-");
        return options;
    }()};
};

// --- Filters ---------------------------------------------------------------------------

TEST(OptionFilterTest, NegatedAndPlainEntries)
{
    struct TCase {
        const char* Filter;
        const char* Value;
        bool Passes;
    } cases[] = {
        {"", "Cyclone", true},
        {"!Cyclone", "Arria5", true},
        {"!Cyclone", "cyclone", false},
        {"Cyclone,!Stratix", "Cyclone", true},
        {"Cyclone,!Stratix", "Stratix", false},
        {"Cyclone,!Stratix", "Arria5", false},
        {"!Cyclone,!Stratix", "Arria5", true},
        {" ARRIA5 ,\nCyclone", "Arria5", true}, // blanks around entries, line breaks separate
    };
    for (const TCase& c : cases)
        EXPECT_EQ(PassesNameFilter(SplitCommaText(c.Filter), c.Value), c.Passes) << c.Filter << " / " << c.Value;

    struct TToolCase {
        const char* Filter;
        const char* Tool;
        bool Passes;
    } tools[] = {
        {"", "9.0", true},        {"!9.0", "9.0", false}, {"!9.0", "9.1", true},
        {"!9.0", "", true},       {"9.0,9.1", "9.1", true}, {"9.0,9.1", "9.2", false},
        {"9.0,!8.1", "10.0", true}, // a "!" anywhere makes unknown versions pass
    };
    for (const TToolCase& c : tools)
        EXPECT_EQ(PassesToolFilter(SplitCommaText(c.Filter), c.Tool), c.Passes) << c.Filter << " / " << c.Tool;

    TDeviceFacts arria{true, "Arria5", "5AGXFB3", "F35", "4"};
    EXPECT_TRUE(PassesDeviceFilters(arria, Lines({"Arria5"}), Lines({"!5AGXFB1"}), {}, Lines({"4", "5"})));
    EXPECT_FALSE(PassesDeviceFilters(arria, Lines({"Arria5"}), {}, Lines({"F27"}), {}));
    EXPECT_TRUE(PassesDeviceFilters(TDeviceFacts{}, Lines({"Cyclone"}), Lines({"X"}), Lines({"F27"}), Lines({"9"})))
        << "a device the host does not know passes every device filter";
}

// --- Default option file ------------------------------------------------------------------

constexpr const char* kOptionFile = R"(<?xml version="1.0" encoding="UTF-8"?>
<OPTIONS>
  <Section Id="Analysis">
    <option id="Fast">
      <flag>fast</flag>
    </option>
    <option id="Seed">
      <kind>integer</kind><flag>first</flag><flag>seed</flag>
      <default_value>1</default_value><min_value>1</min_value><max_value>99</max_value>
      <script id="">--seed=$seed.Value</script>
      <script id="" >--again</script>
      <tooltip>Fitter seed</tooltip>
      <option_if>Fast=True</option_if><option_if>Mode!=Off</option_if>
      <unknown>ignored</unknown>
    </option>
    <option id="Mode">
      <KIND>Enum</KIND><values>Off, Auto,On</values><advanced/>
      <DEFAULT_VALUE>
        <choice><default_value>Off</default_value><tool_version>9.0</tool_version></choice>
        <choice><tool_version>9.1</tool_version></choice>
        <choice><default_value>On</default_value><tool_version>7.2</tool_version></choice>
      </DEFAULT_VALUE>
      <command_default id="">mode auto</command_default>
    </option>
    <option id="Effort"><kind>real</kind><default_value>0.5</default_value><valueonly/></option>
    <option id="Family"><kind>string</kind><device_family>Cyclone,!Stratix</device_family>
      <tool_version>!8.0</tool_version></option>
    <option id="Odd"><kind>whatever</kind></option>
    <note>not an option</note>
  </Section>
  <script pos="head">--head</script>
  <script pos="TAIL">--tail</script>
  <command pos="head">set a 1</command>
  <command pos="middle">never used</command>
  <comment>#</comment>
  <command_filename>build.tcl</command_filename>
  <other/>
</OPTIONS>)";

class OptionFileTest : public OnHost {};

TEST_F(OptionFileTest, ReadsOptionsTextsAndDefaultChoices)
{
    TTempFolder folder;
    TFPGAOptions options("5AGXFB3H4F35C4N", "9.1");
    options.LoadOptions(folder.Write("options.xml", kOptionFile));
    ASSERT_EQ(options.GetOptionCount(), 6);

    const TFPGAOption_Abstract* fast = options.GetOption("FAST");
    ASSERT_TRUE(fast);
    EXPECT_EQ(fast->Kind, TFPGAOptionKind::Boolean) << "an option without kind is boolean";
    EXPECT_EQ(fast->Section, "Analysis");
    EXPECT_EQ(fast->Position, 1);

    const TFPGAOption_Abstract* seed = options.GetOption("Seed");
    ASSERT_TRUE(seed);
    EXPECT_EQ(seed->Kind, TFPGAOptionKind::Integer);
    EXPECT_EQ(seed->Flag, "seed") << "the second flag wins";
    EXPECT_EQ(seed->GetValue(), "1");
    EXPECT_EQ(seed->GetMinValue(), "1");
    EXPECT_EQ(seed->GetMaxValue(), "99");
    ASSERT_EQ(seed->Scripts.size(), 2u) << "both script items kept, in order";
    EXPECT_EQ(seed->Scripts[0].Value, "--seed=$seed.Value");
    EXPECT_EQ(seed->Scripts[1].Value, "--again");
    EXPECT_EQ(seed->Conditions, Lines({"Fast=True", "Mode!=Off"}));
    EXPECT_EQ(seed->ToolTip, "Fitter seed");
    EXPECT_TRUE(seed->CheckValue("42"));
    EXPECT_FALSE(seed->CheckValue("4.2"));

    const auto* mode = dynamic_cast<const TFPGAOption_Enum*>(options.GetOption("Mode"));
    ASSERT_TRUE(mode);
    EXPECT_EQ(mode->DisplayValues, Lines({"Off", "Auto", "On"}));
    EXPECT_TRUE(mode->Advanced);
    EXPECT_EQ(mode->DefaultValue, "Off") << "the 9.1 choice carries the value of the choice before it";
    EXPECT_TRUE(mode->CheckValue("auto"));
    ASSERT_EQ(mode->Commands.size(), 1u);
    EXPECT_TRUE(mode->Commands[0].Default);

    const TFPGAOption_Abstract* effort = options.GetOption("Effort");
    EXPECT_EQ(effort->Kind, TFPGAOptionKind::Real);
    EXPECT_TRUE(effort->ValueOnly);
    EXPECT_TRUE(effort->CheckValue("-1.5e3"));
    EXPECT_FALSE(effort->CheckValue("1,5"));
    EXPECT_EQ(options.GetOption("Family")->ValidFamilies, Lines({"Cyclone", "!Stratix"}));
    EXPECT_EQ(options.GetOption("Odd")->Kind, TFPGAOptionKind::String);

    EXPECT_EQ(options.Script_Head, "--head");
    EXPECT_EQ(options.Script_Tail, "--tail");
    EXPECT_EQ(options.Commands_Head, "set a 1");
    EXPECT_EQ(options.Commands_Tail, "");
    EXPECT_EQ(options.Comment_Identifier, "#");
    EXPECT_EQ(options.Commands_Filename, "build.tcl");

    // Another tool version picks another choice; no valid choice keeps the earlier default.
    TFPGAOptions other("x", "7.2");
    other.LoadOptions(folder.Write("options.xml", kOptionFile));
    EXPECT_EQ(other.GetOption("Mode")->DefaultValue, "On");
    TFPGAOptions none("x", "3.0");
    none.LoadOptions(folder.Write("options.xml", kOptionFile));
    EXPECT_EQ(none.GetOption("Mode")->DefaultValue, "");
}

TEST_F(OptionFileTest, BrokenFileNamesItsPlaceAndKeepsTheSet)
{
    TTempFolder folder;
    TFPGAOptions options("", "");
    options.LoadOptions(folder.Write("good.xml", kOptionFile));
    options.CustomUser_Cmd = "kept";
    const std::string broken =
        folder.Write("broken.xml", "<OPTIONS>\n  <section Id=\"a\">\n    <option id=\"x\">\n  </section>\n</OPTIONS>\n");
    try {
        options.LoadOptions(broken);
        FAIL() << "a broken file was accepted";
    } catch (const EOptionFileError& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find(broken + ":4:"), std::string::npos) << message;
        EXPECT_NE(message.find("not well-formed"), std::string::npos) << message;
    }
    EXPECT_EQ(options.GetOptionCount(), 6) << "the set keeps what it had";
    EXPECT_EQ(options.CustomUser_Cmd, "kept");

    options.LoadOptions((folder.Path() / "missing.xml").string());
    EXPECT_EQ(options.GetOptionCount(), 6) << "a missing file changes nothing";
    options.LoadOptions(folder.Write("empty.xml", "<OPTIONS/>"));
    EXPECT_EQ(options.GetOptionCount(), 0);
    EXPECT_EQ(options.CustomUser_Cmd, "") << "reading a file starts from an empty set";
}

// --- Values and texts -------------------------------------------------------------------

TEST(OptionValueTest, TemporaryValuesAndBooleanWords)
{
    TFPGAOptions options("", "");
    TFPGAOption_Boolean* flag = options.AddBooleanOption("S", "Flag", "f", "False", "off,on");
    EXPECT_EQ(flag->GetValue(), "off");
    EXPECT_FALSE(flag->IsTrue());
    flag->SetValue("TRUE");
    EXPECT_EQ(flag->GetValue(), "on");
    EXPECT_TRUE(flag->IsTrue());
    EXPECT_EQ(flag->GetValues(), "off,on");

    TFPGAOption_String* text = options.AddStringOption("S", "Text", "t", "a");
    EXPECT_FALSE(text->IsSpecified());
    text->TemporaryActive = true;
    text->TemporaryUnspecified = true;
    EXPECT_EQ(text->GetValue(), "a") << "unspecified in the dialog: the default";
    EXPECT_FALSE(text->IsSpecified());
    text->SetValue("b");
    EXPECT_EQ(text->GetValue(), "b");
    EXPECT_TRUE(text->IsSpecified()) << "setting a value in the dialog specifies it";
    EXPECT_EQ(options.GetParameters(), "|Flag=on|Text=b");
    options.SetParameters("Text=c|Nothing=1");
    EXPECT_EQ(text->GetValue(), "c");
    options.SetDefaults();
    EXPECT_EQ(text->GetValue(), "a");

    auto copy = flag->Replicate();
    EXPECT_EQ(copy->GetValue(), "off") << "after SetDefaults";
    EXPECT_EQ(dynamic_cast<TFPGAOption_Boolean&>(*copy).BooleanValues, Lines({"off", "on"}));
}

class OptionScriptTest : public OnHost {};

TEST_F(OptionScriptTest, ContributionOfOneOption)
{
    TFPGAOptions options("", "");
    auto items = [](TFPGAOption_Abstract* option, std::vector<TFPGAScript> scripts, std::vector<TFPGAScript> commands) {
        option->Scripts = std::move(scripts);
        option->Commands = std::move(commands);
        return option;
    };
    auto specify = [](TFPGAOption_Abstract* option, const std::string& value) {
        option->SetValue(value);
        option->WasLoaded = true;
        return option;
    };
    TFPGAOption_Abstract* matchDefault = specify(
        items(options.AddEnumOption("S", "A", "a", "x", "x,y,z"), {{false, "y", "-y"}, {true, "", "-dflt"}}, {}), "z");
    TFPGAOption_Abstract* twoDefaults =
        items(options.AddEnumOption("S", "B", "b", "x", "x,y"), {{true, "", "first"}, {false, "x", "-x"}, {true, "", "second"}}, {});
    TFPGAOption_Abstract* joined =
        specify(items(options.AddEnumOption("S", "C", "c", "x", "x,y"), {{false, "y", "-y"}, {false, "", "+all"}, {false, "Y", "!"}}, {}), "y");
    TFPGAOption_Abstract* flagTrue = specify(options.AddBooleanOption("S", "D", "x", "False", ""), "True");
    TFPGAOption_Abstract* flagDefault = options.AddBooleanOption("S", "E", "e", "true", "");
    TFPGAOption_Abstract* seed = options.AddIntegerOption("S", "F", "seed", "5", "0", "9");
    TFPGAOption_Abstract* empty = specify(options.AddStringOption("S", "G", "g", ""), "");

    struct TCase {
        const TFPGAOption_Abstract* Option;
        bool IsCmd;
        const char* Expected;
    } cases[] = {
        {matchDefault, false, "-dflt"}, // no item matches "z": the default item with empty id
        {twoDefaults, false, "second"}, // not specified: the last default item
        {joined, false, "-y+all!"},     // matching items concatenate
        {flagTrue, false, "-x"},
        {flagTrue, true, ""},           // no command items: nothing in the command file
        {flagDefault, false, "-e"},     // not specified, default True
        {seed, false, ""},              // not specified
        {empty, false, ""},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(c.Option->GetValueFor(c.IsCmd), c.Expected) << c.Option->Name << (c.IsCmd ? " cmd" : " scr");
    specify(seed, "5");
    EXPECT_EQ(seed->GetValueFor(false), "-seed 5");
}

TEST_F(OptionScriptTest, LinesWithHeadTailMacrosAndComments)
{
    TFPGAOptions options("", "");
    options.Script_Head = "head $seed.Value\r\n   \r\nkeep  # note";
    options.Script_Tail = "# only a comment\ntail $seed.4Value";
    options.Comment_Identifier = "#";
    TFPGAOption_Abstract* seed = options.AddIntegerOption("S", "Seed", "seed", "7", "0", "9");
    seed->WasLoaded = true;
    TFPGAOption_Abstract* hidden = options.AddStringOption("S", "Hidden", "hid", "secret");
    hidden->ValueOnly = true;
    hidden->WasLoaded = true;
    TFPGAOption_Abstract* uses = options.AddStringOption("S", "Uses", "use", "v");
    uses->Scripts = {{true, "", "--uses $hid.Value and $missing.Value"}};
    TFPGAOption_Abstract* filtered = options.AddStringOption("S", "Filtered", "f", "v");
    filtered->WasLoaded = true;
    filtered->ValidTools = {"8.0"};

    TStringList lines;
    ASSERT_TRUE(options.GetLines(false, lines, "", "9.1"));
    EXPECT_EQ(lines, Lines({"head 7", "keep", "-seed 7", "--uses secret and $missing.Value", "tail -seed 7"}));

    TStringList commands;
    EXPECT_FALSE(options.GetLines(true, commands, "", "9.1")) << "no command items and no command head";
    EXPECT_TRUE(commands.empty());
}

TEST_F(OptionScriptTest, SelfReferringMacroAndMultiLineEntries)
{
    TFPGAOptions options("", "");
    TFPGAOption_Abstract* loop = options.AddStringOption("S", "Loop", "x", "$x.Value+");
    loop->Scripts = {{true, "", "$x.Value"}};
    TStringList lines;
    ASSERT_TRUE(options.GetLines(false, lines, "", ""));
    ASSERT_EQ(lines.size(), 1u);
    // The item is the macro; each of the 16 passes puts the value in once more.
    EXPECT_EQ(lines[0], "$x.Value" + std::string(16, '+'));

    TFPGAOptions multi("", "");
    multi.Comment_Identifier = "#";
    TFPGAOption_Abstract* block = multi.AddStringOption("S", "Block", "b", "v");
    block->Scripts = {{true, "", "first # cut\nsecond\nthird"}};
    ASSERT_TRUE(multi.GetLines(false, lines, "", ""));
    EXPECT_EQ(lines, Lines({"first"})) << "without a tail the entry stays one line: the comment ends it";
    multi.Script_Tail = "end";
    ASSERT_TRUE(multi.GetLines(false, lines, "", ""));
    EXPECT_EQ(lines, Lines({"first", "second", "third", "end"}));
}

// --- Project storage and device filters (host) -------------------------------------

TEST(OptionStorageTest, RoundTripThroughTheProject)
{
    const std::string projectPath = "/work/design/top.PrjFpg";
    THost host(StagedHost(projectPath));
    const THostObject project = com::TDispatchRef(host.Workspace()).CallObject(501413, {projectPath});
    ASSERT_TRUE(project);

    auto makeSet = [] {
        auto options = std::make_unique<TFPGAOptions>("", "");
        options->AddStringOption("S", "Name", "n", "dflt");
        options->AddBooleanOption("S", "Switch", "s", "False", "off,on");
        options->AddStringOption("S", "Untouched", "u", "same");
        return options;
    };
    auto saved = makeSet();
    for (const char* name : {"Name", "Switch"}) saved->GetOption(name)->TemporaryActive = true;
    saved->GetOption("Name")->SetValue("chosen");
    saved->GetOption("Switch")->SetValue("True");
    saved->AdvancedMode = true;
    saved->CustomUser_Cmd = "a\tb # c\r\nd";
    saved->CustomUser_Scr = "";
    saved->SaveToProject(project, "Map DesignQuartus_Map");

    const auto& stored = host.WorkspaceObject().Projects[0]->Options->Values;
    auto storedText = [&](const std::string& name) {
        const auto found = stored.find(hostsim::TProjectOptions::Key("Map DesignQuartus_Map", name));
        return found == stored.end() ? std::string("<none>") : found->second;
    };
    EXPECT_EQ(storedText("CustomOptionsUser_Cmd"), "a#09b #23 c#0D#0Ad");
    EXPECT_EQ(storedText("Switch"), "True") << "the plain value is stored, not the tool word";
    EXPECT_EQ(storedText("Untouched"), "<none>") << "an option not set in the dialog has no entry";
    EXPECT_EQ(storedText("AdvancedOptionsEnabled"), "True");

    auto loaded = makeSet();
    loaded->LoadFromProject(project, "map designquartus_map");
    EXPECT_EQ(loaded->GetOption("Name")->GetValue(), "chosen");
    EXPECT_TRUE(loaded->GetOption("Name")->WasLoaded);
    EXPECT_TRUE(loaded->GetOption("Switch")->IsTrue()) << "a stored true state reads back as true";
    EXPECT_EQ(loaded->GetOption("Switch")->GetValue(), "on");
    EXPECT_EQ(loaded->GetOption("Untouched")->GetValue(), "same");
    EXPECT_FALSE(loaded->GetOption("Untouched")->WasLoaded) << "an empty stored text is not specified";
    EXPECT_TRUE(loaded->AdvancedMode);
    EXPECT_EQ(loaded->CustomUser_Cmd, "a\tb # c\r\nd");

    EXPECT_EQ(UnescapeStoredText("#4 #zz #41#E9"), "#4 #zz A\xC3\xA9");
    loaded->SaveToProject(THostObject(), "x"); // no project: nothing happens
    loaded->LoadFromProject(THostObject(), "x");
}

TEST(OptionStorageTest, DeviceFiltersAskTheHostDeviceManager)
{
    THost host(StagedHost());
    const std::string device = "5AGXFB3H4F35C4N";
    TDeviceFacts facts = TDeviceFacts::Lookup(device);
    ASSERT_TRUE(facts.Known);
    EXPECT_EQ(facts.Family, "Arria5");

    TFPGAOptions options(device, "13.1");
    options.AddStringOption("S", "Arria", "a", "1")->ValidFamilies = {"Arria5"};
    options.AddStringOption("S", "Cyclone", "c", "1")->ValidFamilies = {"Cyclone", "!Stratix"};
    options.AddStringOption("S", "Package", "p", "1")->ValidPackages = {"!" + facts.Package};
    for (int i = 0; i < options.GetOptionCount(); ++i) {
        options.GetOptionAt(i)->WasLoaded = true;
        options.GetOptionAt(i)->Scripts = {{true, "", options.GetOptionAt(i)->Name}};
    }
    TStringList lines;
    options.GetLines(false, lines, device, "13.1");
    EXPECT_EQ(lines, Lines({"Arria"}));
    options.GetLines(false, lines, "NoSuchDevice", "13.1");
    EXPECT_EQ(lines, Lines({"Arria", "Cyclone", "Package"})) << "an unknown device passes every device filter";
}

} // namespace
