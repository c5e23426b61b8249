// Emits the generated C++ sources: DeviceTablesData.cpp (every table of
// DeviceTables.h except the pin arrays), PinOutData_<package>.cpp (the pin and pin
// information arrays of the pin-outs of one package, so the big arrays compile in
// parallel) and PinOutData.h (their declarations).
#include "Model.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "SourceText.h"

namespace devgen {

namespace {

const char* const kBanner = kGeneratedBanner;

std::string Hex(uint64_t value, const char* suffix) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "0x%llX%s", static_cast<unsigned long long>(value), suffix);
    return buffer;
}

std::string PinOutName(int index) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "PinOut%02d", index);
    return buffer;
}

const char* FunctionName(Function f) {
    switch (f) {
    case Function::UserIO: return "ePinFunction_UserIO";
    case Function::RefClk: return "ePinFunction_RefClk";
    case Function::Transceiver: return "ePinFunction_Transceiver";
    case Function::Config: return "ePinFunction_Config";
    case Function::TCK: return "ePinFunction_TCK";
    case Function::TDI: return "ePinFunction_TDI";
    case Function::TDO: return "ePinFunction_TDO";
    case Function::TMS: return "ePinFunction_TMS";
    case Function::Power: return "ePinFunction_Power";
    case Function::Ground: return "ePinFunction_Ground";
    }
    return "";
}

} // namespace

void WriteIfChanged(const std::filesystem::path& path, const std::string& text) {
    {
        std::ifstream in(path, std::ios::binary);
        if (in) {
            std::ostringstream old;
            old << in.rdbuf();
            if (old.str() == text)
                return;
        }
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out)
        Fail("cannot write " + path.string());
}

namespace {

void WriteDimensions(std::ostream& o, const char* type, const char* name, const std::vector<Dimension>& rows) {
    o << "const " << type << " " << name << "[" << rows.size() << "] = {\n";
    for (const auto& d : rows)
        o << "    {" << Quote(d.Id) << ", " << Quote(d.Name) << ", " << Quote(d.Description) << "},\n";
    o << "};\n\n";
}

void WriteNames(std::ostream& o, const char* name, const char* size, const std::vector<std::string>& rows) {
    o << "const char* const " << name << "[" << size << "] = {\n";
    for (const auto& s : rows)
        o << "    " << Quote(s) << ",\n";
    o << "};\n\n";
}

std::string MainSource(const InputData& data, const Database& db) {
    std::ostringstream o;
    o << kBanner << "#include \"devices/arria5/DeviceTables.h\"\n#include \"PinOutData.h\"\n\nnamespace arria5 {\n\n";

    auto baseDie = [&](const std::string& base) -> const DieValues& {
        for (const auto& [name, die] : data.Dies)
            if (name == base)
                return die;
        Fail("no die values for " + base);
    };

    o << "const TDeviceParameters DeviceKinds[kDeviceKindCount] = {\n";
    for (std::size_t i = 0; i < db.Kinds.size(); ++i) {
        const Kind& k = db.Kinds[i];
        const std::string& pkg = data.Packages[k.Package].Id;
        o << "    {" << i << ", " << Quote(k.FullName) << ", " << Hex(baseDie(k.Base).IdCode, "u") << ", " << k.BaseId
          << ", ePackage_" << pkg << ", ePackageType_" << data.PackageTypes[0].Id << ", eTemperatureGrade_"
          << data.TemperatureGrades[k.Temperature].Id << ", eSpeedGrade_" << data.SpeedGrades[k.Speed].Id
          << ", eOptionDesignator_" << data.OptionDesignators[k.Option].Id << ", " << Quote(k.Base + pkg + ".bsd")
          << ", " << k.PinSet << ", 10, " << k.PinSet << "},\n";
    }
    o << "};\n\n";

    o << "const TBaseNameIdParameters BaseNames[kBaseNameCount] = {\n";
    for (const auto& base : db.BaseNames) {
        const DieValues& die = baseDie(base);
        o << "    {" << Quote(base) << ", " << die.Gates << ", " << die.MaxIO << "},\n";
    }
    o << "};\n\n";

    o << "const TDeviceResourceParameters DeviceResources[kPinSetCount] = {\n";
    for (const auto& [base, pkg] : db.PinSets) {
        const DieValues& die = baseDie(db.BaseNames[base]);
        o << "    {" << die.Dsp << ", " << die.ClockManagers << ", " << die.Memory << ", true, 16, " << die.ConfigMemory
          << "},\n";
    }
    o << "};\n\n";

    o << "const TPackageParameters Packages[" << data.Packages.size() << "] = {\n";
    for (const auto& p : data.Packages)
        o << "    {" << Quote(p.Id) << ", " << Quote(p.Name) << ", " << Quote(p.Description) << ", "
          << Quote(p.Dimensions) << "},\n";
    o << "};\n\n";
    WriteDimensions(o, "TDimensionParameters", "PackageTypes", data.PackageTypes);
    WriteDimensions(o, "TDimensionParameters", "TemperatureGrades", data.TemperatureGrades);
    WriteDimensions(o, "TDimensionParameters", "SpeedGrades", data.SpeedGrades);
    WriteDimensions(o, "TDimensionParameters", "OptionDesignators", data.OptionDesignators);

    const uint64_t deviceStandards = ParseStandardSet(data, "all -sDSSTL12 -sSSTL12");
    o << "const TPinSetParameters PinSets[kPinSetCount] = {\n";
    for (std::size_t s = 0; s < db.PinSets.size(); ++s) {
        const int p = db.PinSetPinOut[s];
        const PinOutRow& row = data.PinOutRows[p];
        o << "    {" << row.PinCount << ", " << row.IOCount << ", " << row.DiffCount << ", " << row.HSpeedDiffCount
          << ", " << Hex(deviceStandards, "ull") << ", generated::" << PinOutName(p) << "_Pins},\n";
    }
    o << "};\n\n";

    o << "const TDeviceIOStandardParameters IOStandards[kIOStandardCount] = {\n";
    for (const auto& s : data.Standards)
        o << "    {" << Quote(s.DisplayName) << ", " << Quote(s.ParamName) << ", "
          << (s.Differential ? "true" : "false") << ", " << Hex(s.Slews, "") << ", " << Hex(s.Drives, "u") << "},\n";
    o << "};\n\n";

    std::vector<std::string> identifiers, bsdl;
    for (const auto& s : data.Standards)
        identifiers.push_back(s.Identifier);
    for (const auto& [base, pkg] : db.PinSets)
        bsdl.push_back(db.BaseNames[base] + data.Packages[pkg].Id + ".bsd");
    WriteNames(o, "IOStandardIdentifiers", "kIOStandardCount", identifiers);
    WriteNames(o, "SlewNames", "kSlewNameCount", data.SlewNames);
    WriteNames(o, "DriveStrengthNames", "kDriveStrengthNameCount", data.DriveNames);
    WriteNames(o, "BSDLFileNames", "kPinSetCount", bsdl);

    o << "const TPinOutParameters PinOuts[kPinOutCount] = {\n";
    for (std::size_t p = 0; p < db.PinOuts.size(); ++p) {
        const PinOut& po = db.PinOuts[p];
        const std::string name = "generated::" + PinOutName(static_cast<int>(p));
        o << "    {ePackage_" << data.Packages[po.Package].Id << ", " << po.Balls << ", " << po.Pins.size() << ", "
          << po.ScanBalls << ", " << po.MinGroupCount << ", " << name << "_Pins, " << name << "_Info},\n";
    }
    o << "};\n\n";

    o << "const int32_t PinSetPinOuts[kPinSetCount] = {";
    for (std::size_t s = 0; s < db.PinSets.size(); ++s)
        o << (s % 20 ? " " : "\n    ") << db.PinSetPinOut[s] << ",";
    o << "\n};\n\nconst int32_t PinSetScanGroupCounts[kPinSetCount] = {";
    for (std::size_t s = 0; s < db.PinSets.size(); ++s)
        o << (s % 20 ? " " : "\n    ") << db.PinSetGroupCount[s] << ",";
    o << "\n};\n\n} // namespace arria5\n";
    return o.str();
}

std::string PinOutHeader(const Database& db) {
    std::ostringstream o;
    o << kBanner << "#pragma once\n\n#include \"devices/arria5/DeviceTables.h\"\n\nnamespace arria5::generated {\n\n";
    for (std::size_t p = 0; p < db.PinOuts.size(); ++p) {
        const std::string name = PinOutName(static_cast<int>(p));
        const std::size_t n = db.PinOuts[p].Pins.size();
        o << "extern const TPinParameters " << name << "_Pins[" << n << "];\n";
        o << "extern const TPinInfo " << name << "_Info[" << n << "];\n";
    }
    o << "\n} // namespace arria5::generated\n";
    return o.str();
}

std::string PinOutSource(const InputData& data, const Database& db, int package) {
    std::ostringstream o;
    o << kBanner << "#include \"PinOutData.h\"\n\nnamespace arria5::generated {\n";
    for (std::size_t p = 0; p < db.PinOuts.size(); ++p) {
        const PinOut& po = db.PinOuts[p];
        if (po.Package != package)
            continue;
        const PinOutRow& row = data.PinOutRows[po.Row];
        const std::string name = PinOutName(static_cast<int>(p));
        o << "\n// " << data.Packages[package].Id << ": " << row.IOCount << " IO, " << row.DiffCount << " pairs, "
          << row.HSpeedDiffCount << " high-speed pairs;";
        for (const auto& base : row.Bases)
            o << " " << base;
        o << "\nconst TPinParameters " << name << "_Pins[" << po.Pins.size() << "] = {\n";
        for (const Pin& pin : po.Pins)
            o << "{" << Quote(pin.Ball) << "," << Quote(pin.Bank) << "," << Quote(pin.DiffId) << ","
              << Quote(pin.ClkDiffId) << "," << Hex(pin.Options, "") << "," << Hex(pin.Standards, "ull") << "},\n";
        o << "};\n\nconst TPinInfo " << name << "_Info[" << po.Pins.size() << "] = {\n";
        for (const Pin& pin : po.Pins)
            o << "{" << Quote(pin.Name) << "," << FunctionName(pin.Func) << "," << pin.ScanGroup << ","
              << pin.FirstEntry << "},\n";
        o << "};\n";
    }
    o << "\n} // namespace arria5::generated\n";
    return o.str();
}

} // namespace

void WriteSources(const InputData& data, const Database& db, const std::filesystem::path& outDir) {
    std::filesystem::create_directories(outDir);
    WriteIfChanged(outDir / "DeviceTablesData.cpp", MainSource(data, db));
    WriteIfChanged(outDir / "PinOutData.h", PinOutHeader(db));
    for (std::size_t p = 0; p < data.Packages.size(); ++p)
        WriteIfChanged(outDir / ("PinOutData_" + data.Packages[p].Id + ".cpp"),
                       PinOutSource(data, db, static_cast<int>(p)));
    WriteIfChanged(outDir / "StoredBSDLData.cpp", StoredBSDLSource(data, db));
}

} // namespace devgen
