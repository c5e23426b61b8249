// Reading a default option file.
//
//   <options>
//     <section Id="Analysis">
//       <option id="Seed">
//         <kind>integer</kind> <flag>seed</flag> <default_value>1</default_value>
//         <script id="">--seed=$seed.Value</script>
//       </option>
//     </section>
//     <script pos="head">...</script> <command pos="tail">...</command>
//     <comment>#</comment> <command_filename>build.tcl</command_filename>
//   </options>
//
// Element and attribute names are compared without regard to case; unknown
// elements are ignored. The whole file is parsed before the set changes, so a
// file that is not well-formed leaves the set as it was.
#include "options/FPGAOptions.h"

#include <pugixml.hpp>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace tavrel {

namespace {

namespace fs = std::filesystem;

bool Named(const pugi::xml_node& node, std::string_view name) { return SameText(node.name(), name); }

std::string Attribute(const pugi::xml_node& node, std::string_view name)
{
    for (const pugi::xml_attribute& attribute : node.attributes())
        if (SameText(attribute.name(), name)) return attribute.value();
    return {};
}

// All character data below the node, without surrounding blanks.
std::string NodeText(const pugi::xml_node& node)
{
    std::string text;
    for (const pugi::xml_node& child : node.children()) {
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) text += child.value();
        else if (child.type() == pugi::node_element) text += NodeText(child);
    }
    return TrimText(text);
}

bool HasElementChildren(const pugi::xml_node& node)
{
    for (const pugi::xml_node& child : node.children())
        if (child.type() == pugi::node_element) return true;
    return false;
}

TFPGAScript ReadScript(const pugi::xml_node& node, bool isDefault)
{
    return TFPGAScript{isDefault, Attribute(node, "id"), NodeText(node)};
}

// Everything an option element says, collected before the option is made.
struct TOptionText {
    std::string Kind = "boolean";
    bool Advanced = false, ValueOnly = false;
    std::string Flag, Default, Minimum = "0", Maximum = "0", Values, ToolTip;
    std::string Families, BaseDevices, Packages, SpeedGrades, Tools;
    TStringList Conditions;
    std::vector<TFPGAScript> Scripts, Commands;
};

// A default given as choices: the first choice valid for the device and tool
// wins; value and filters carry over to later choices that omit them.
void ReadDefaultChoices(const pugi::xml_node& node, const TDeviceFacts& device, const std::string& tool,
                        std::string& value)
{
    std::string candidate, families, tools;
    for (const pugi::xml_node& choice : node.children()) {
        if (choice.type() != pugi::node_element) continue;
        for (const pugi::xml_node& part : choice.children()) {
            if (part.type() != pugi::node_element) continue;
            if (Named(part, "default_value")) candidate = NodeText(part);
            else if (Named(part, "device_family")) families = NodeText(part);
            else if (Named(part, "tool_version")) tools = NodeText(part);
        }
        if (PassesDeviceFilters(device, SplitCommaText(families), {}, {}, {}) &&
            PassesToolFilter(SplitCommaText(tools), tool)) {
            value = candidate;
            return;
        }
    }
}

TOptionText ReadOptionText(const pugi::xml_node& node, const TDeviceFacts& device, const std::string& tool)
{
    TOptionText text;
    for (const pugi::xml_node& child : node.children()) {
        if (child.type() != pugi::node_element) continue;
        if (Named(child, "kind")) text.Kind = NodeText(child);
        else if (Named(child, "advanced")) text.Advanced = true;
        else if (Named(child, "valueonly")) text.ValueOnly = true;
        else if (Named(child, "flag")) text.Flag = NodeText(child);
        else if (Named(child, "default_value") || Named(child, "defaults")) {
            if (HasElementChildren(child)) ReadDefaultChoices(child, device, tool, text.Default);
            else text.Default = NodeText(child);
        } else if (Named(child, "min_value")) text.Minimum = NodeText(child);
        else if (Named(child, "max_value")) text.Maximum = NodeText(child);
        else if (Named(child, "values")) text.Values = NodeText(child);
        else if (Named(child, "device_family")) text.Families = NodeText(child);
        else if (Named(child, "device_base_name")) text.BaseDevices = NodeText(child);
        else if (Named(child, "device_package")) text.Packages = NodeText(child);
        else if (Named(child, "device_speedgrade")) text.SpeedGrades = NodeText(child);
        else if (Named(child, "tool_version")) text.Tools = NodeText(child);
        else if (Named(child, "tooltip")) text.ToolTip = NodeText(child);
        else if (Named(child, "option_if")) text.Conditions.push_back(NodeText(child));
        else if (Named(child, "script")) text.Scripts.push_back(ReadScript(child, false));
        else if (Named(child, "script_default")) text.Scripts.push_back(ReadScript(child, true));
        else if (Named(child, "command")) text.Commands.push_back(ReadScript(child, false));
        else if (Named(child, "command_default")) text.Commands.push_back(ReadScript(child, true));
    }
    return text;
}

std::string ReadWholeFile(const std::string& fileName)
{
    std::ifstream file(fileName, std::ios::binary);
    if (!file) throw EOptionFileError("Cannot read the option file " + fileName + ": " + std::strerror(errno));
    std::ostringstream content;
    content << file.rdbuf();
    if (file.bad()) throw EOptionFileError("Cannot read the option file " + fileName);
    return content.str();
}

// Line and column (from 1) of a byte offset.
std::pair<size_t, size_t> LineAndColumn(const std::string& text, ptrdiff_t offset)
{
    size_t line = 1, column = 1;
    const size_t end = offset < 0 ? 0 : std::min(text.size(), static_cast<size_t>(offset));
    for (size_t i = 0; i < end; ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return {line, column};
}

} // namespace

void TFPGAOptions::LoadOptions(const std::string& fileName)
{
    std::error_code ec;
    if (fileName.empty() || !fs::is_regular_file(fileName, ec)) return;
    const std::string content = ReadWholeFile(fileName);
    pugi::xml_document document;
    const pugi::xml_parse_result parsed =
        document.load_buffer(content.data(), content.size(), pugi::parse_default, pugi::encoding_auto);
    if (!parsed) {
        const auto [line, column] = LineAndColumn(content, parsed.offset);
        throw EOptionFileError(fileName + ":" + std::to_string(line) + ":" + std::to_string(column) +
                               ": the option file is not well-formed XML (" + parsed.description() + ")");
    }
    const pugi::xml_node root = document.document_element();
    if (!root) throw EOptionFileError(fileName + ": the option file holds no XML element");

    const TDeviceFacts device = TDeviceFacts::Lookup(FDevice);
    ClearOptions();
    for (const pugi::xml_node& element : root.children()) {
        if (element.type() != pugi::node_element) continue;
        if (Named(element, "section")) {
            const std::string section = Attribute(element, "Id");
            for (const pugi::xml_node& node : element.children()) {
                if (node.type() != pugi::node_element || !Named(node, "option")) continue;
                const TOptionText text = ReadOptionText(node, device, FTool);
                const std::string name = Attribute(node, "id");
                TFPGAOption_Abstract* option = nullptr;
                if (SameText(text.Kind, "boolean"))
                    option = AddBooleanOption(section, name, text.Flag, text.Default, text.Values);
                else if (SameText(text.Kind, "enum"))
                    option = AddEnumOption(section, name, text.Flag, text.Default, text.Values);
                else if (SameText(text.Kind, "integer"))
                    option = AddIntegerOption(section, name, text.Flag, text.Default, text.Minimum, text.Maximum);
                else if (SameText(text.Kind, "real"))
                    option = AddRealOption(section, name, text.Flag, text.Default, text.Minimum, text.Maximum);
                else
                    option = AddStringOption(section, name, text.Flag, text.Default);
                if (!option) continue;
                option->ValidFamilies = SplitCommaText(text.Families);
                option->ValidBaseDevices = SplitCommaText(text.BaseDevices);
                option->ValidPackages = SplitCommaText(text.Packages);
                option->ValidSpeedGrades = SplitCommaText(text.SpeedGrades);
                option->ValidTools = SplitCommaText(text.Tools);
                option->Conditions = text.Conditions;
                option->Scripts = text.Scripts;
                option->Commands = text.Commands;
                option->Advanced = text.Advanced;
                option->ValueOnly = text.ValueOnly;
                option->ToolTip = text.ToolTip;
                option->TemporaryValue = option->GetRawValue();
            }
        } else if (Named(element, "script") || Named(element, "command")) {
            const bool script = Named(element, "script");
            const std::string position = Attribute(element, "pos");
            const std::string body = NodeText(element);
            if (SameText(position, "head")) (script ? Script_Head : Commands_Head) = body;
            else if (SameText(position, "tail")) (script ? Script_Tail : Commands_Tail) = body;
        } else if (Named(element, "comment")) {
            Comment_Identifier = NodeText(element);
        } else if (Named(element, "command_filename")) {
            Commands_Filename = NodeText(element);
        }
    }
}

} // namespace tavrel
