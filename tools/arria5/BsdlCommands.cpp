// Commands on boundary-scan descriptions: the entity a driver builds from its
// stored record ("bsdl KIND"), and a BSDL file read by the plug-in's BSDL reader
// ("bsdl-read FILE"). Both print the same summary, read through the entity's
// dispatch interface as a host reads it.
#include "bsdl/BoundaryRegister.h"
#include "bsdl/BsdlParser.h"
#include "tools/arria5/CliContext.h"

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include <charconv>
#include <fstream>
#include <iostream>
#include <sstream>

namespace arria5cli {

namespace {

using json = nlohmann::ordered_json;

constexpr int32_t kDriver_GetDeviceName = 503380;
constexpr int32_t kDriver_GetBSDLEntity = 503406;
constexpr uint32_t kUndefinedOpCode = 0xFFFFFFFFu;

const char* const kKindTexts[] = {"Normal", "TRST", "TCK", "TDO", "TDI", "TMS", "Power", "Ground"};
const char* const kHaltTexts[] = {"None", "Low", "Both"};

template <size_t N> std::string TextOf(const char* const (&texts)[N], int32_t value)
{
    return value >= 0 && static_cast<size_t>(value) < N ? texts[value] : std::to_string(value);
}

double CallDouble(const com::TDispatchRef& object, int32_t dispid)
{
    if (!object) return 0;
    com::TVariant result;
    com::DISPPARAMS params{nullptr, nullptr, 0, 0};
    if (com::Failed(object.Get()->Invoke(dispid, com::IID_NULL, 0, com::DISPATCH_METHOD, &params, &result, nullptr,
                                         nullptr)))
        throw std::runtime_error(fmt::format("the entity refused operation {}", dispid));
    return com::VariantToDouble(result);
}

json OpCodeValue(const com::TDispatchRef& entity, int32_t dispid)
{
    const auto code = static_cast<uint32_t>(entity.CallInt(dispid));
    if (code == kUndefinedOpCode) return nullptr;
    return code;
}

json PinOf(const com::TDispatchRef& pin)
{
    if (!pin) return nullptr;
    return pin.CallString(503492);
}

// The entity as a host sees it through its dispatch interface.
json ReadEntity(const com::TDispatchRef& entity)
{
    json report;
    report["Name"] = entity.CallString(503458);
    report["Filename"] = entity.CallString(503489);
    report["InstructionLength"] = entity.CallInt(503459);
    report["IdCode"] = fmt::format("0x{:08X}", static_cast<uint32_t>(entity.CallInt(503460)));
    report["BoundaryLength"] = entity.CallInt(503461);
    report["ScanClockMaxSpeed"] = CallDouble(entity, 503484);
    report["ScanClockHaltMode"] = TextOf(kHaltTexts, entity.CallInt(503485));
    report["ConformanceStatement"] = entity.CallString(503486);

    json standard;
    const std::pair<const char*, int32_t> standards[] = {{"BYPASS", 503477}, {"EXTEST", 503478}, {"SAMPLE", 503479},
                                                         {"IDCODE", 503480}, {"USERCODE", 503481}, {"CLAMP", 503482},
                                                         {"HIGHZ", 503483}};
    for (const auto& [name, dispid] : standards) standard[name] = OpCodeValue(entity, dispid);
    report["StandardInstructions"] = standard;

    json instructions = json::array();
    for (int32_t i = 0, n = entity.CallInt(503470); i < n; ++i) {
        const com::TDispatchRef opCode = entity.CallObject(503465, {i});
        instructions.push_back({{"Name", opCode.CallString(503513)}, {"OpCode", opCode.CallString(503514)}});
    }
    report["Instructions"] = instructions;

    json registers = json::array();
    for (int32_t i = 0, n = entity.CallInt(503471); i < n; ++i) {
        const com::TDispatchRef association = entity.CallObject(503466, {i});
        json opCodes = json::array();
        for (int32_t j = 0, m = association.CallInt(503517); j < m; ++j) {
            const com::TDispatchRef opCode = association.CallObject(503518, {j});
            opCodes.push_back(opCode ? json(opCode.CallString(503513)) : json(nullptr));
        }
        registers.push_back({{"Name", association.CallString(503515)},
                             {"Length", association.CallInt(503516)},
                             {"Instructions", opCodes}});
    }
    report["Registers"] = registers;

    json tap;
    const std::pair<const char*, int32_t> tapPins[] = {
        {"TDI", 503472}, {"TDO", 503473}, {"TMS", 503474}, {"TCK", 503475}, {"TRST", 503476}};
    for (const auto& [name, dispid] : tapPins) tap[name] = PinOf(entity.CallObject(dispid));
    report["TapPins"] = tap;

    json pins = json::array();
    for (int32_t i = 0, n = entity.CallInt(503467); i < n; ++i) {
        const com::TDispatchRef pin = entity.CallObject(503462, {i});
        json cells = json::array();
        for (int32_t j = 0, m = pin.CallInt(503495); j < m; ++j)
            cells.push_back(pin.CallObject(503496, {j}).CallInt(503501));
        pins.push_back({{"Number", pin.CallString(503492)},
                        {"Name", pin.CallString(503491)},
                        {"Direction", std::string(bsdl::PinElectricalText(
                                          static_cast<bsdl::TPinElectrical>(pin.CallInt(503490))))},
                        {"Kind", TextOf(kKindTexts, pin.CallInt(503493))},
                        {"Cells", cells}});
    }
    report["Pins"] = pins;

    json cells = json::array();
    for (int32_t i = 0, n = entity.CallInt(503469); i < n; ++i) {
        const com::TDispatchRef cell = entity.CallObject(503464, {i});
        const int32_t control = cell.CallInt(503506);
        json item = {{"Cell", cell.CallInt(503501)},
                     {"Kind", std::string(bsdl::CellKindText(static_cast<bsdl::TCellKind>(cell.CallInt(503502))))},
                     {"Port", cell.CallString(503503)},
                     {"Function", std::string(bsdl::CellFunctionText(
                                      static_cast<bsdl::TCellFunction>(cell.CallInt(503504))))},
                     {"Safe", std::string(bsdl::BitValueText(static_cast<bsdl::TBitValue>(cell.CallInt(503505))))}};
        if (control >= 0) {
            item["Control"] = control;
            item["DisableValue"] =
                std::string(bsdl::BitValueText(static_cast<bsdl::TBitValue>(cell.CallInt(503507))));
            item["DisableResult"] =
                std::string(bsdl::DisableResultText(static_cast<bsdl::TDisableResult>(cell.CallInt(503508))));
        }
        item["Pin"] = PinOf(cell.CallObject(503509));
        cells.push_back(item);
    }
    report["Cells"] = cells;
    return report;
}

std::string Text(const json& value) { return value.is_null() ? "-" : value.is_string() ? value.get<std::string>() : value.dump(); }

std::string FormatEntity(const json& r)
{
    std::ostringstream o;
    o << fmt::format("{} ({})\n", r["Name"].get<std::string>(), r["Filename"].get<std::string>());
    o << fmt::format("  {:<22} {}\n", "InstructionLength", r["InstructionLength"].get<int>());
    o << fmt::format("  {:<22} {}\n", "IdCode", r["IdCode"].get<std::string>());
    o << fmt::format("  {:<22} {}\n", "BoundaryLength", r["BoundaryLength"].get<int>());
    o << fmt::format("  {:<22} {}\n", "Pins", r["Pins"].size());
    if (r.contains("Ports")) o << fmt::format("  {:<22} {}\n", "Ports", r["Ports"].get<int>());
    o << fmt::format("  {:<22} {}\n", "Cells", r["Cells"].size());
    o << fmt::format("  {:<22} {} Hz, {}\n", "ScanClock", r["ScanClockMaxSpeed"].get<double>(),
                     r["ScanClockHaltMode"].get<std::string>());
    o << fmt::format("  {:<22} {}\n", "ConformanceStatement", r["ConformanceStatement"].get<std::string>());
    o << "\nStandard instructions\n";
    for (const auto& [name, value] : r["StandardInstructions"].items())
        o << fmt::format("  {:<10} {}\n", name,
                         value.is_null() ? std::string("not defined") : fmt::format("{}", value.get<uint32_t>()));
    o << "\nInstructions\n";
    for (const auto& item : r["Instructions"])
        o << fmt::format("  {:<10} {}\n", item["Name"].get<std::string>(), item["OpCode"].get<std::string>());
    o << "\nRegisters\n";
    for (const auto& item : r["Registers"]) {
        std::string opCodes;
        for (const auto& name : item["Instructions"]) {
            if (!opCodes.empty()) opCodes += ", ";
            opCodes += Text(name);
        }
        o << fmt::format("  {:<16} {:>6}  {}\n", item["Name"].get<std::string>(), item["Length"].get<int>(), opCodes);
    }
    o << "\nTAP pins\n";
    for (const auto& [name, value] : r["TapPins"].items()) o << fmt::format("  {:<5} {}\n", name, Text(value));
    o << "\nPins\n" << fmt::format("  {:<8} {:<16} {:<9} {:<7} {}\n", "Number", "Name", "Direction", "Kind", "Cells");
    for (const auto& pin : r["Pins"]) {
        std::string cells;
        for (const auto& cell : pin["Cells"]) {
            if (!cells.empty()) cells += ' ';
            cells += cell.dump();
        }
        o << fmt::format("  {:<8} {:<16} {:<9} {:<7} {}\n", pin["Number"].get<std::string>(),
                         pin["Name"].get<std::string>(), pin["Direction"].get<std::string>(),
                         pin["Kind"].get<std::string>(), cells);
    }
    o << "\nCells\n"
      << fmt::format("  {:>5}  {:<6} {:<12} {:<9} {:<4} {:>7} {:<7} {:<7} {}\n", "Cell", "Kind", "Port", "Function",
                     "Safe", "Control", "Disable", "Result", "Pin");
    for (const auto& cell : r["Cells"]) {
        const bool controlled = cell.contains("Control");
        o << fmt::format("  {:>5}  {:<6} {:<12} {:<9} {:<4} {:>7} {:<7} {:<7} {}\n", cell["Cell"].get<int>(),
                         cell["Kind"].get<std::string>(), cell["Port"].get<std::string>(),
                         cell["Function"].get<std::string>(), cell["Safe"].get<std::string>(),
                         controlled ? cell["Control"].dump() : "-",
                         controlled ? cell["DisableValue"].get<std::string>() : "-",
                         controlled ? cell["DisableResult"].get<std::string>() : "-", Text(cell["Pin"]));
    }
    return o.str();
}

int Print(const json& report, bool asJson)
{
    if (asJson) std::cout << report.dump(2) << '\n';
    else std::cout << FormatEntity(report);
    return 0;
}

int RunStored(const hostsim::TPluginLibrary& plugin, const std::string& kindText, bool asJson)
{
    const int32_t kind = ResolveKind(plugin, kindText);
    const com::TDispatchRef driver = plugin.CreateDriver(kind);
    const com::TDispatchRef entity = driver.CallObject(kDriver_GetBSDLEntity);
    if (!entity) {
        std::cerr << fmt::format("arria5: device kind {} has no boundary-scan description\n", kind);
        return kExitFailure;
    }
    return Print(ReadEntity(entity), asJson);
}

int RunRead(const std::string& path, bool asJson)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::cerr << fmt::format("{}: cannot open the file\n", path);
        return kExitFailure;
    }
    std::ostringstream text;
    text << in.rdbuf();
    bsdl::TVHDLEntityList entities;
    bsdl::TBSDLParser reader(nullptr, entities, path);
    reader.RunText(text.str());
    if (reader.DidErrorOccur()) {
        std::cerr << fmt::format("{}:{}:{}: {}\n", path, reader.Error_LineNumber, reader.Error_ColumnNumber,
                                 reader.ErrorMessage);
        return kExitFailure;
    }
    bsdl::TBSDLEntity* entity = bsdl::FirstBSDLEntity(entities);
    if (!entity) {
        std::cerr << fmt::format("{}: no entity is declared\n", path);
        return kExitFailure;
    }
    try {
        entity->ProcessBoundaryInfo();
    } catch (const bsdl::EBoundaryRegisterError& e) {
        std::cerr << fmt::format("{}:{}:{}: {}\n", path, e.Line, e.Column, e.what());
        return kExitFailure;
    }
    json report = ReadEntity(com::TDispatchRef(entity->HostInterface()));
    // The reader keeps the ports as declarations of the description: show how many.
    report["Ports"] = entity->Ports.Count();
    return Print(report, asJson);
}

} // namespace

void RegisterBsdlCommands(CLI::App& app, TCliContext& context)
{
    struct TOptions {
        std::string Kind;
        std::string File;
        bool Json = false;
    };
    auto options = std::make_shared<TOptions>();
    auto* stored = app.add_subcommand("bsdl", "Show the boundary-scan description a driver builds for a device kind");
    stored->add_option("KIND", options->Kind, "Kind index (0..324) or full part name in any letter case")->required();
    stored->add_flag("--json", options->Json, "Print JSON instead of text");
    stored->callback(
        [&context, options] { context.ExitCode = RunStored(context.Plugin(), options->Kind, options->Json); });

    auto* read = app.add_subcommand("bsdl-read", "Read a BSDL file with the plug-in's BSDL reader and show it");
    read->add_option("FILE", options->File, "The BSDL file")->required();
    read->add_flag("--json", options->Json, "Print JSON instead of text");
    read->callback([&context, options] { context.ExitCode = RunRead(options->File, options->Json); });
}

} // namespace arria5cli
