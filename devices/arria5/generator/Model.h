// In-memory model of the device database as the generator builds it: the input
// tables read from the data files and the pin-outs derived from them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace devgen {

struct GeneratorError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] void Fail(const std::string& message);

// Pin role bits, identical to TPinOption of the public header.
enum : uint16_t {
    kIO = 1u << 0,
    kVREF = 1u << 1,
    kCLK = 1u << 2,
    kSpecial = 1u << 3,
    kInputOnly = 1u << 4,
    kDCIP = 1u << 5,
    kDCIN = 1u << 6,
    kDiffP = 1u << 7,
    kDiffN = 1u << 8,
    kHDiffP = 1u << 9,
    kHDiffN = 1u << 10,
    kTransmitDiff = 1u << 11,
    kReceiveDiff = 1u << 12,
    kClkDiffP = 1u << 13,
    kClkDiffN = 1u << 14,
    kDLL = 1u << 15,
};

// Same values and order as TPinFunction of the public header.
enum class Function : uint8_t { UserIO, RefClk, Transceiver, Config, TCK, TDI, TDO, TMS, Power, Ground };

struct Dimension {
    std::string Id, Name, Description;
};

struct PackageInfo {
    std::string Id, Name, Description, Dimensions;
    int Grid = 0;  // rows = columns of the ball grid
    int Balls = 0; // balls present (grid positions minus the empty ones)
};

struct IOStandard {
    std::string Identifier, DisplayName, ParamName;
    bool Differential = false;
    uint8_t Slews = 0;
    uint32_t Drives = 0;
};

struct DieValues {
    uint32_t IdCode = 0;
    int32_t Gates = 0, MaxIO = 0, Dsp = 0, ClockManagers = 0, Memory = 0, ConfigMemory = 0;
};

struct PinOutRow {
    int Package = 0;
    int PinCount = 0, IOCount = 0, DiffCount = 0, HSpeedDiffCount = 0;
    std::vector<std::string> Bases;
};

struct ReferenceRow {
    int Entry = 0;
    std::string Ball, Bank, DiffId, ClkDiffId;
    uint16_t Options = 0;
    uint64_t Standards = 0;
};

struct ReferenceSet {
    int Package = -1;
    std::string Base; // any base name of the pin-out row the rows belong to
    std::vector<ReferenceRow> Rows;
};

// Common values of the stored boundary-scan descriptions (boundaryscan.txt).
struct BoundaryScanData {
    struct Register {
        std::string Name;
        int Length = 0;
        std::string Instruction;
    };
    std::vector<std::pair<std::string, std::string>> Instructions; // name, opcode, in order
    std::vector<Register> Registers;                               // in order
    // The records of the dies with WideGroups groups in package WidePackage name
    // WideRegister in place of the register named after the same instruction;
    // WideCount records must be selected.
    Register WideRegister;
    int WideGroups = 0;
    int WidePackage = -1;
    int WideCount = 0;
    long long ScanClock = 0;      // hertz
    std::string HaltMode;         // BOTH
    std::string Conformance;      // STD_1149_1_1993
    std::string InstructionCapture;
    std::vector<std::string> DesignWarning; // text lines
};

struct InputData {
    std::vector<std::string> KindNames;
    std::vector<PackageInfo> Packages;
    std::vector<Dimension> PackageTypes, TemperatureGrades, SpeedGrades, OptionDesignators;
    std::vector<std::string> SlewNames, DriveNames;
    std::vector<IOStandard> Standards;
    std::vector<std::pair<std::string, DieValues>> Dies;     // base name -> values, file order
    std::vector<std::pair<std::string, int>> ScanGroups;     // base name -> N
    std::vector<PinOutRow> PinOutRows;
    ReferenceSet References;
    BoundaryScanData BoundaryScan;
};

InputData ReadInputData(const std::filesystem::path& dataDir);

// Standard-set helpers over the IO standard table.
int StandardIndex(const InputData& data, const std::string& identifier);
uint64_t ParseStandardSet(const InputData& data, const std::string& text);
uint16_t ParseOptions(const std::string& text);

// ---- Derived tables --------------------------------------------------------

struct Kind {
    std::string FullName, Base;
    int Package = 0, Temperature = 0, Speed = 0, Option = 0;
    int BaseId = 0, PinSet = 0;
};

struct Pin {
    std::string Ball, Bank, DiffId, ClkDiffId;
    uint16_t Options = 0;
    uint64_t Standards = 0;
    std::string Name;
    Function Func = Function::Power;
    int ScanGroup = -1;
    int FirstEntry = -1;
};

struct PinOut {
    int Row = 0; // index into InputData::PinOutRows
    int Package = 0;
    int Balls = 0;
    int ScanBalls = 0;     // user IO balls of banks 3A..8D
    int MinGroupCount = 0; // smallest N of the dies using this pin-out
    std::vector<Pin> Pins;

    // Boundary-scan layout (BoundaryScan.cpp).
    std::vector<int> GroupEntries;       // MinGroupCount: entry of the ball owning group g, -1 when none
    std::vector<int> PortIndexes;        // Balls: 0 for a port of its own, k for element k of a vector port
    std::vector<std::string> PortNames;  // Balls: "IOA5", "TCK", "GND(3)"
};

struct Database {
    std::vector<Kind> Kinds;
    std::vector<std::string> BaseNames;          // alphabetical
    std::vector<std::pair<int, int>> PinSets;    // (base id, package), alphabetical by base + package id
    std::vector<int> PinSetPinOut;               // pin set -> pin-out
    std::vector<int> PinSetGroupCount;           // pin set -> N of its die
    std::vector<PinOut> PinOuts;
    std::vector<int> PinSetRegisterSet; // pin set -> 0 (the usual registers) or 1 (the wide register)
};

Database BuildDatabase(const InputData& data);

// Pin-out layout (PinOutBuilder.cpp).
PinOut BuildPinOut(const InputData& data, int row, int minGroupCount, const ReferenceSet* references);

// Ball naming on the package grid.
std::string RowName(int row);
std::string BallName(int row, int column);

// Boundary-scan layouts of the pin-outs and the register choice of every pin set (BoundaryScan.cpp).
void LayOutBoundaryScan(const InputData& data, Database& db);

// Output (Writer.cpp): writes the generated sources into outDir, touching only files whose text changed.
void WriteSources(const InputData& data, const Database& db, const std::filesystem::path& outDir);
void WriteIfChanged(const std::filesystem::path& path, const std::string& text);
// The stored boundary-scan tables (StoredBSDLData.cpp) and the BSDL text of one pin set (BoundaryScan.cpp).
std::string StoredBSDLSource(const InputData& data, const Database& db);
std::string BSDLText(const InputData& data, const Database& db, int pinSet);
// Writes the BSDL files of every pin set into dir (only those whose text changed).
void WriteBSDLFiles(const InputData& data, const Database& db, const std::filesystem::path& dir);

} // namespace devgen
