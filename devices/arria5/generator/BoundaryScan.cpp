// Boundary-scan descriptions: the layout of each pin-out's boundary register and
// ports, the stored tables the plug-in builds its entities from, and the BSDL
// files written from the same layout.
//
// Layout of a die with N groups (3 x N cells, cell 0 nearest TDO): group g holds
// cells 3g, 3g+1 and 3g+2. The user IO ball owning group g (PinOut::GroupEntries)
// gets an input cell (BC_4), a control cell (BC_1, no port, safe 1) and a
// three-state output cell (BC_1, controlled by the control cell, disabled by 1 to
// high impedance). A group without a ball has three internal cells (BC_4, safe
// X, 1, X). Ports: a user IO ball is "IO" + ball; any other ball keeps its pin
// name, and the supplies whose name several balls share become one vector port
// ("GND(1)", "GND(2)", ... in table order).
#include "Model.h"

#include <cctype>
#include <cstdio>
#include <map>
#include <sstream>

#include "SourceText.h"

namespace devgen {

namespace {

const char* const kBanner = kGeneratedBanner;

std::string UpperCase(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool IsIdentifier(const std::string& name) {
    if (name.empty() || !std::isalpha(static_cast<unsigned char>(name[0])))
        return false;
    for (char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_')
            return false;
    return true;
}

std::string EntityName(const InputData& data, const Database& db, int pinSet) {
    const auto& [base, package] = db.PinSets[pinSet];
    return "ARRIA_V_" + db.BaseNames[base] + data.Packages[package].Id;
}

std::string BaseName(const PinOut& po, int entry) {
    const Pin& pin = po.Pins[entry];
    return pin.Func == Function::UserIO ? "IO" + pin.Ball : pin.Name;
}

uint32_t DieIdCode(const InputData& data, const std::string& base) {
    for (const auto& [name, die] : data.Dies)
        if (name == base)
            return die.IdCode;
    Fail("no die values for " + base);
}

const BoundaryScanData::Register& RegisterOf(const InputData& data, const Database& db, int pinSet, std::size_t r) {
    const BoundaryScanData& bs = data.BoundaryScan;
    const BoundaryScanData::Register& reg = bs.Registers[r];
    if (db.PinSetRegisterSet[pinSet] == 1 && reg.Instruction == bs.WideRegister.Instruction)
        return bs.WideRegister;
    return reg;
}

// Port mode of an entry, as the reader maps it back to the scan pin's direction.
const char* ModeOf(const Pin& pin) {
    switch (pin.Func) {
    case Function::UserIO: return "inout";
    case Function::TCK:
    case Function::TDI:
    case Function::TMS: return "in";
    case Function::TDO: return "out";
    default: return (pin.Options & kInputOnly) ? "in" : "linkage";
    }
}

int Category(Function f) {
    switch (f) {
    case Function::UserIO: return 0;
    case Function::TCK:
    case Function::TDI:
    case Function::TMS:
    case Function::TDO: return 1;
    case Function::Config: return 2;
    case Function::RefClk:
    case Function::Transceiver: return 3;
    case Function::Power: return 4;
    case Function::Ground: return 5;
    }
    return 6;
}

const char* const kCategoryTitles[] = {"User IO pins", "JTAG pins", "Configuration and dedicated pins",
                                       "Transceiver and reference clock pins", "Power pins", "Ground pins"};

} // namespace

void LayOutBoundaryScan(const InputData& data, Database& db) {
    for (std::size_t p = 0; p < db.PinOuts.size(); ++p) {
        PinOut& po = db.PinOuts[p];
        const std::string where = "pin-out " + std::to_string(p) + " (" + data.Packages[po.Package].Id + ")";
        po.GroupEntries.assign(po.MinGroupCount, -1);
        int owned = 0;
        std::map<std::string, int> nameCount;
        for (int e = 0; e < po.Balls; ++e) {
            const Pin& pin = po.Pins[e];
            if (pin.FirstEntry != e)
                Fail(where + ": entry " + std::to_string(e) + " lists a ball a second time before the last ball");
            if (pin.Func == Function::UserIO) {
                if (pin.ScanGroup < 0 || pin.ScanGroup >= po.MinGroupCount || po.GroupEntries[pin.ScanGroup] >= 0)
                    Fail(where + ": user IO ball " + pin.Ball + " has no group of its own");
                po.GroupEntries[pin.ScanGroup] = e;
                ++owned;
            } else {
                if (pin.ScanGroup != -1)
                    Fail(where + ": ball " + pin.Ball + " is no user IO ball but owns a group");
                ++nameCount[pin.Name];
            }
        }
        if (owned != po.ScanBalls)
            Fail(where + ": the user IO balls do not own " + std::to_string(po.ScanBalls) + " groups");

        std::map<std::string, int> seen;
        std::map<std::string, int> ports;
        po.PortIndexes.assign(po.Balls, 0);
        po.PortNames.assign(po.Balls, "");
        for (int e = 0; e < po.Balls; ++e) {
            const Pin& pin = po.Pins[e];
            const std::string base = BaseName(po, e);
            if (!IsIdentifier(base))
                Fail(where + ": " + base + " cannot name a port");
            if (pin.Func != Function::UserIO && nameCount[pin.Name] > 1) {
                if (pin.Func != Function::Power && pin.Func != Function::Ground)
                    Fail(where + ": only supplies may share a pin name (" + pin.Name + ")");
                po.PortIndexes[e] = ++seen[base];
                po.PortNames[e] = base + "(" + std::to_string(po.PortIndexes[e]) + ")";
                if (po.PortIndexes[e] == 1 && ports[UpperCase(base)]++)
                    Fail(where + ": port " + base + " declared twice");
            } else {
                po.PortNames[e] = base;
                if (ports[UpperCase(base)]++)
                    Fail(where + ": port " + base + " declared twice");
            }
        }
    }

    const BoundaryScanData& bs = data.BoundaryScan;
    int wide = 0;
    db.PinSetRegisterSet.assign(db.PinSets.size(), 0);
    for (std::size_t s = 0; s < db.PinSets.size(); ++s)
        if (db.PinSetGroupCount[s] == bs.WideGroups && db.PinSets[s].second == bs.WidePackage) {
            db.PinSetRegisterSet[s] = 1;
            ++wide;
        }
    if (wide != bs.WideCount)
        Fail("boundaryscan.txt: " + bs.WideRegister.Name + " selects " + std::to_string(wide) + " pin sets, not " +
             std::to_string(bs.WideCount));
}

std::string StoredBSDLSource(const InputData& data, const Database& db) {
    const BoundaryScanData& bs = data.BoundaryScan;
    std::ostringstream o;
    o << kBanner << "#include \"devices/arria5/StoredBSDL.h\"\n\nnamespace arria5 {\n\n";
    o << "static_assert(" << bs.Instructions.size() << " == kBSDLOpCodeCount, \"boundaryscan.txt: instruction count\");\n";
    o << "static_assert(" << bs.Registers.size()
      << " == kBSDLRegisterCount, \"boundaryscan.txt: register count\");\n\nnamespace {\n";
    for (std::size_t p = 0; p < db.PinOuts.size(); ++p) {
        const PinOut& po = db.PinOuts[p];
        char name[32];
        std::snprintf(name, sizeof name, "PinOut%02zu", p);
        o << "\nconst int16_t " << name << "_GroupEntries[" << po.GroupEntries.size() << "] = {";
        for (std::size_t i = 0; i < po.GroupEntries.size(); ++i)
            o << (i % 24 ? " " : "\n    ") << po.GroupEntries[i] << ",";
        o << "\n};\n\nconst int16_t " << name << "_PortIndexes[" << po.PortIndexes.size() << "] = {";
        for (std::size_t i = 0; i < po.PortIndexes.size(); ++i)
            o << (i % 32 ? " " : "\n    ") << po.PortIndexes[i] << ",";
        o << "\n};\n";
    }
    o << "\n} // namespace\n\nconst TBSDLPinOutLayout BSDLPinOutLayouts[kPinOutCount] = {\n";
    for (std::size_t p = 0; p < db.PinOuts.size(); ++p) {
        char name[32];
        std::snprintf(name, sizeof name, "PinOut%02zu", p);
        o << "    {" << name << "_GroupEntries, " << name << "_PortIndexes},\n";
    }
    o << "};\n\nconst TBSDLRecordRow BSDLRecordRows[kPinSetCount] = {\n";
    for (std::size_t s = 0; s < db.PinSets.size(); ++s)
        o << "    {" << Quote(EntityName(data, db, static_cast<int>(s))) << ", " << db.PinSetRegisterSet[s] << "},\n";
    o << "};\n\nconst TBSDLOpCodeRow BSDLOpCodes[kBSDLOpCodeCount] = {\n";
    for (const auto& [name, opcode] : bs.Instructions)
        o << "    {" << Quote(name) << ", " << Quote(opcode) << "},\n";
    o << "};\n\nconst TBSDLRegisterRow BSDLRegisterSets[2][kBSDLRegisterCount] = {\n";
    for (int set = 0; set < 2; ++set) {
        o << "    {";
        for (std::size_t r = 0; r < bs.Registers.size(); ++r) {
            const BoundaryScanData::Register& reg =
                set == 1 && bs.Registers[r].Instruction == bs.WideRegister.Instruction ? bs.WideRegister
                                                                                       : bs.Registers[r];
            o << "{" << Quote(reg.Name) << ", " << reg.Length << ", " << Quote(reg.Instruction) << "}, ";
        }
        o << "},\n";
    }
    std::string halt = "bsdl::eScanClockHaltMode_None";
    if (bs.HaltMode == "BOTH")
        halt = "bsdl::eScanClockHaltMode_Both";
    else if (bs.HaltMode == "LOW")
        halt = "bsdl::eScanClockHaltMode_Low";
    o << "};\n\nconst double BSDLScanClockMaxSpeed = " << bs.ScanClock << ".0;\n";
    o << "const bsdl::TScanClockHaltMode BSDLScanClockHaltMode = " << halt << ";\n";
    o << "const char* const BSDLConformanceStatement = " << Quote(bs.Conformance) << ";\n\n} // namespace arria5\n";
    return o.str();
}

std::string BSDLText(const InputData& data, const Database& db, int pinSet) {
    const BoundaryScanData& bs = data.BoundaryScan;
    const auto& [baseId, package] = db.PinSets[pinSet];
    const std::string& base = db.BaseNames[baseId];
    const PackageInfo& pkg = data.Packages[package];
    const PinOut& po = db.PinOuts[db.PinSetPinOut[pinSet]];
    const int groups = db.PinSetGroupCount[pinSet];
    const std::string entity = EntityName(data, db, pinSet);
    const std::string file = base + pkg.Id + ".bsd";
    const std::string map = pkg.Name; // FBGA1152: the pin map constant
    std::ostringstream o;

    o << "-- " << std::string(76, '*') << "\n";
    o << "-- BSDL description of the Altera Arria V device " << base << " in the " << pkg.Description << "\n";
    o << "-- File: " << file << "    Entity: " << entity << "\n";
    o << "-- Boundary register: " << 3 * groups << " cells in " << groups << " groups; " << po.Balls << " balls\n";
    o << "-- Written by arria5_devgen from the Arria V device tables of the arria5drv plug-in.\n";
    o << "-- " << std::string(76, '*') << "\n\n";
    o << "entity " << entity << " is\n\n";
    o << "generic (PHYSICAL_PIN_MAP : string := \"" << map << "\");\n\n";

    // Ports, by kind of pin, each kind in table order.
    std::map<std::string, int> vectorSize;
    for (int e = 0; e < po.Balls; ++e)
        if (po.PortIndexes[e] > 0)
            vectorSize[po.Pins[e].Name] = std::max(vectorSize[po.Pins[e].Name], po.PortIndexes[e]);
    std::vector<std::string> declarations[6];
    for (int e = 0; e < po.Balls; ++e) {
        const Pin& pin = po.Pins[e];
        const int category = Category(pin.Func);
        if (po.PortIndexes[e] == 0)
            declarations[category].push_back(po.PortNames[e] + " : " + ModeOf(pin) + " bit");
        else if (po.PortIndexes[e] == 1)
            declarations[category].push_back(pin.Name + " : linkage bit_vector (1 to " +
                                              std::to_string(vectorSize[pin.Name]) + ")");
    }
    int lastCategory = 5;
    while (lastCategory > 0 && declarations[lastCategory].empty())
        --lastCategory;
    o << "port (\n";
    for (int c = 0; c < 6; ++c) {
        if (declarations[c].empty())
            continue;
        o << "--" << kCategoryTitles[c] << "\n";
        for (std::size_t i = 0; i < declarations[c].size(); ++i) {
            const bool last = c == lastCategory && i + 1 == declarations[c].size();
            o << "    " << declarations[c][i] << (last ? "\n" : ";\n");
        }
    }
    o << ");\n\nuse STD_1149_1_1994.all;\n\n";
    o << "attribute COMPONENT_CONFORMANCE of " << entity << " : entity is \"" << bs.Conformance << "\";\n\n";
    o << "attribute PIN_MAP of " << entity << " : entity is PHYSICAL_PIN_MAP;\n\n";

    // Pin map: one line per port, vector ports with their balls in element order.
    std::map<std::string, std::vector<std::string>> vectorBalls;
    for (int e = 0; e < po.Balls; ++e)
        if (po.PortIndexes[e] > 0)
            vectorBalls[po.Pins[e].Name].push_back(po.Pins[e].Ball);
    std::vector<int> byCategory;
    for (int c = 0; c < 6; ++c)
        for (int e = 0; e < po.Balls; ++e)
            if (Category(po.Pins[e].Func) == c)
                byCategory.push_back(e);
    std::vector<std::string> mapLines;
    for (int e : byCategory) {
        if (po.PortIndexes[e] == 0) {
            mapLines.push_back(po.PortNames[e] + " : " + po.Pins[e].Ball);
        } else if (po.PortIndexes[e] == 1) {
            const auto& balls = vectorBalls[po.Pins[e].Name];
            std::string line = po.Pins[e].Name + " : (";
            for (std::size_t i = 0; i < balls.size(); ++i) {
                if (i > 0)
                    line += i % 12 ? ", " : ",\" &\n    \"";
                line += balls[i];
            }
            mapLines.push_back(line + ")");
        }
    }
    o << "constant " << map << " : PIN_MAP_STRING :=\n";
    for (std::size_t i = 0; i < mapLines.size(); ++i)
        o << "    \"" << mapLines[i] << (i + 1 < mapLines.size() ? ",\" &\n" : "\";\n\n");

    const auto pinOf = [&](Function f) -> const std::string& {
        for (int e = 0; e < po.Balls; ++e)
            if (po.Pins[e].Func == f)
                return po.PortNames[e];
        Fail(file + ": a JTAG pin is missing");
    };
    o << "attribute TAP_SCAN_IN of " << pinOf(Function::TDI) << " : signal is true;\n";
    o << "attribute TAP_SCAN_MODE of " << pinOf(Function::TMS) << " : signal is true;\n";
    o << "attribute TAP_SCAN_OUT of " << pinOf(Function::TDO) << " : signal is true;\n";
    o << "attribute TAP_SCAN_CLOCK of " << pinOf(Function::TCK) << " : signal is (" << bs.ScanClock / 1000000
      << ".00e6, " << bs.HaltMode << ");\n\n";

    o << "attribute INSTRUCTION_LENGTH of " << entity << " : entity is " << bs.Instructions.front().second.size()
      << ";\n\n";
    o << "attribute INSTRUCTION_OPCODE of " << entity << " : entity is\n";
    for (std::size_t i = 0; i < bs.Instructions.size(); ++i) {
        std::string name = bs.Instructions[i].first;
        name.resize(std::max<std::size_t>(name.size(), 10), ' ');
        o << "    \"" << name << " (" << bs.Instructions[i].second << ")"
          << (i + 1 < bs.Instructions.size() ? ", \" &\n" : "\";\n\n");
    }
    o << "attribute INSTRUCTION_CAPTURE of " << entity << " : entity is \"" << bs.InstructionCapture << "\";\n\n";
    o << "attribute INSTRUCTION_PRIVATE of " << entity << " : entity is \"PRIVATE\";\n\n";

    const uint32_t id = DieIdCode(data, base);
    auto bits = [&](int high, int count) {
        std::string text;
        for (int b = high; b > high - count; --b)
            text += (id >> b & 1) ? '1' : '0';
        return text;
    };
    o << "attribute IDCODE_REGISTER of " << entity << " : entity is\n";
    o << "    \"" << bits(31, 4) << "\" &                -- version\n";
    o << "    \"" << bits(27, 16) << "\" &    -- part number\n";
    o << "    \"" << bits(11, 11) << "\" &         -- manufacturer's identity\n";
    o << "    \"" << bits(0, 1) << "\";                    -- mandatory\n\n";
    o << "attribute USERCODE_REGISTER of " << entity << " : entity is \"" << std::string(32, 'X') << "\";\n\n";

    o << "attribute REGISTER_ACCESS of " << entity << " : entity is\n";
    for (std::size_t r = 0; r < bs.Registers.size(); ++r) {
        const BoundaryScanData::Register& reg = RegisterOf(data, db, pinSet, r);
        o << "    \"" << reg.Name << " (" << reg.Instruction << ")" << (r + 1 < bs.Registers.size() ? ", \" &\n" : "\";\n\n");
    }

    // The boundary register, group by group.
    o << "attribute BOUNDARY_LENGTH of " << entity << " : entity is " << 3 * groups << ";\n\n";
    o << "attribute BOUNDARY_REGISTER of " << entity << " : entity is\n";
    for (int g = 0; g < groups; ++g) {
        const int entry = g < po.MinGroupCount ? po.GroupEntries[g] : -1;
        const bool last = g + 1 == groups;
        char cell[3][96];
        if (entry >= 0) {
            const std::string& port = po.PortNames[entry];
            o << "--BSC group " << g << " for I/O pin " << po.Pins[entry].Ball << "\n";
            std::snprintf(cell[0], sizeof cell[0], "%-5d (BC_4, %s, INPUT, X)", 3 * g, port.c_str());
            std::snprintf(cell[1], sizeof cell[1], "%-5d (BC_1, *, CONTROL, 1)", 3 * g + 1);
            std::snprintf(cell[2], sizeof cell[2], "%-5d (BC_1, %s, OUTPUT3, X, %d, 1, Z)", 3 * g + 2, port.c_str(),
                          3 * g + 1);
        } else {
            o << "--BSC group " << g << " for an unbonded pad\n";
            std::snprintf(cell[0], sizeof cell[0], "%-5d (BC_4, *, INTERNAL, X)", 3 * g);
            std::snprintf(cell[1], sizeof cell[1], "%-5d (BC_4, *, INTERNAL, 1)", 3 * g + 1);
            std::snprintf(cell[2], sizeof cell[2], "%-5d (BC_4, *, INTERNAL, X)", 3 * g + 2);
        }
        for (int c = 0; c < 3; ++c)
            o << "    \"" << cell[c] << (last && c == 2 ? "\";\n\n" : ", \" &\n");
    }

    o << "attribute DESIGN_WARNING of " << entity << " : entity is\n";
    for (std::size_t i = 0; i < bs.DesignWarning.size(); ++i)
        o << "    \"" << bs.DesignWarning[i] << (i + 1 < bs.DesignWarning.size() ? " \" &\n" : "\";\n\n");
    o << "end " << entity << ";\n";
    return o.str();
}

void WriteBSDLFiles(const InputData& data, const Database& db, const std::filesystem::path& dir) {
    std::filesystem::create_directories(dir);
    for (std::size_t s = 0; s < db.PinSets.size(); ++s) {
        const auto& [base, package] = db.PinSets[s];
        WriteIfChanged(dir / (db.BaseNames[base] + data.Packages[package].Id + ".bsd"),
                       BSDLText(data, db, static_cast<int>(s)));
    }
}

} // namespace devgen
