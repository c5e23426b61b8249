// Readers of the hand-written data files in devices/arria5/data. Every file is line
// based: blank lines and lines starting with '#' are ignored; fields are separated by
// '|' or by blanks as each file's header comment describes.
#include "Model.h"

#include <fstream>
#include <sstream>

namespace devgen {

void Fail(const std::string& message) { throw GeneratorError(message); }

namespace {

struct Line {
    std::string File;
    int Number = 0;
    std::string Text;

    [[noreturn]] void Fail(const std::string& message) const {
        devgen::Fail(File + ":" + std::to_string(Number) + ": " + message);
    }
};

std::string Trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    const auto last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

std::vector<std::string> SplitBlanks(const std::string& s) {
    std::vector<std::string> out;
    std::istringstream in(s);
    for (std::string word; in >> word;)
        out.push_back(word);
    return out;
}

std::vector<std::string> SplitBars(const std::string& s) {
    std::vector<std::string> out;
    std::string::size_type start = 0;
    for (;;) {
        const auto bar = s.find('|', start);
        out.push_back(Trim(s.substr(start, bar == std::string::npos ? std::string::npos : bar - start)));
        if (bar == std::string::npos)
            return out;
        start = bar + 1;
    }
}

std::vector<Line> ReadLines(const std::filesystem::path& path) {
    std::ifstream in(path);
    if (!in)
        Fail("cannot open " + path.string());
    std::vector<Line> lines;
    std::string text;
    int number = 0;
    while (std::getline(in, text)) {
        ++number;
        const std::string trimmed = Trim(text);
        if (trimmed.empty() || trimmed[0] == '#')
            continue;
        lines.push_back({path.filename().string(), number, trimmed});
    }
    return lines;
}

long long ToNumber(const Line& line, const std::string& text) {
    try {
        std::size_t used = 0;
        const long long value = std::stoll(text, &used, 0);
        if (used != text.size())
            line.Fail("not a number: " + text);
        return value;
    } catch (const std::logic_error&) {
        line.Fail("not a number: " + text);
    }
}

// "numbers : base names" rows of dies.txt, scangroups.txt and pinouts.txt.
std::pair<std::vector<std::string>, std::vector<std::string>> SplitColon(const Line& line) {
    const auto colon = line.Text.find(':');
    if (colon == std::string::npos)
        line.Fail("missing ':' before the base names");
    auto bases = SplitBlanks(line.Text.substr(colon + 1));
    if (bases.empty())
        line.Fail("no base names");
    return {SplitBlanks(line.Text.substr(0, colon)), bases};
}

int IndexOf(const std::vector<std::string>& names, const std::string& name, const Line& line) {
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i] == name)
            return static_cast<int>(i);
    line.Fail("unknown name " + name);
}

void ReadDimensions(const std::filesystem::path& dir, InputData& data) {
    for (const Line& line : ReadLines(dir / "dimensions.txt")) {
        const auto f = SplitBars(line.Text);
        const std::string& table = f[0];
        auto need = [&](std::size_t n) {
            if (f.size() != n)
                line.Fail("expected " + std::to_string(n) + " fields");
        };
        if (table == "package") {
            need(7);
            data.Packages.push_back({f[1], f[2], f[3], f[4], static_cast<int>(ToNumber(line, f[5])),
                                     static_cast<int>(ToNumber(line, f[6]))});
        } else if (table == "packagetype" || table == "temperature" || table == "speed" || table == "option") {
            need(4);
            Dimension d{f[1], f[2], f[3]};
            if (table == "packagetype")
                data.PackageTypes.push_back(d);
            else if (table == "temperature")
                data.TemperatureGrades.push_back(d);
            else if (table == "speed")
                data.SpeedGrades.push_back(d);
            else
                data.OptionDesignators.push_back(d);
        } else if (table == "slew") {
            need(2);
            data.SlewNames.push_back(f[1]);
        } else if (table == "drive") {
            need(2);
            data.DriveNames.push_back(f[1]);
        } else {
            line.Fail("unknown table " + table);
        }
    }
}

void ReadStandards(const std::filesystem::path& dir, InputData& data) {
    for (const Line& line : ReadLines(dir / "iostandards.txt")) {
        const auto f = SplitBars(line.Text);
        if (f.size() != 6)
            line.Fail("expected 6 fields");
        IOStandard s;
        s.Identifier = f[0];
        s.DisplayName = f[1];
        s.ParamName = f[2];
        if (f[3] != "yes" && f[3] != "no")
            line.Fail("differential must be yes or no");
        s.Differential = f[3] == "yes";
        if (f[4] != "-")
            for (const auto& name : SplitBlanks(f[4]))
                s.Slews |= static_cast<uint8_t>(1u << IndexOf(data.SlewNames, name, line));
        if (f[5] != "-")
            for (const auto& name : SplitBlanks(f[5]))
                s.Drives |= 1u << IndexOf(data.DriveNames, name, line);
        data.Standards.push_back(s);
    }
}

void ReadDies(const std::filesystem::path& dir, InputData& data) {
    for (const Line& line : ReadLines(dir / "dies.txt")) {
        const auto [numbers, bases] = SplitColon(line);
        if (numbers.size() != 7)
            line.Fail("expected 7 values");
        DieValues v;
        v.IdCode = static_cast<uint32_t>(ToNumber(line, numbers[0]));
        v.Gates = static_cast<int32_t>(ToNumber(line, numbers[1]));
        v.MaxIO = static_cast<int32_t>(ToNumber(line, numbers[2]));
        v.Dsp = static_cast<int32_t>(ToNumber(line, numbers[3]));
        v.ClockManagers = static_cast<int32_t>(ToNumber(line, numbers[4]));
        v.Memory = static_cast<int32_t>(ToNumber(line, numbers[5]));
        v.ConfigMemory = static_cast<int32_t>(ToNumber(line, numbers[6]));
        for (const auto& base : bases)
            data.Dies.emplace_back(base, v);
    }
}

void ReadScanGroups(const std::filesystem::path& dir, InputData& data) {
    for (const Line& line : ReadLines(dir / "scangroups.txt")) {
        const auto [numbers, bases] = SplitColon(line);
        if (numbers.size() != 1)
            line.Fail("expected one group count");
        for (const auto& base : bases)
            data.ScanGroups.emplace_back(base, static_cast<int>(ToNumber(line, numbers[0])));
    }
}

int PackageIndex(const InputData& data, const std::string& id, const Line& line) {
    for (std::size_t i = 0; i < data.Packages.size(); ++i)
        if (data.Packages[i].Id == id)
            return static_cast<int>(i);
    line.Fail("unknown package " + id);
}

void ReadPinOutRows(const std::filesystem::path& dir, InputData& data) {
    for (const Line& line : ReadLines(dir / "pinouts.txt")) {
        const auto [numbers, bases] = SplitColon(line);
        if (numbers.size() != 5)
            line.Fail("expected package and four counts");
        PinOutRow row;
        row.Package = PackageIndex(data, numbers[0], line);
        row.PinCount = static_cast<int>(ToNumber(line, numbers[1]));
        row.IOCount = static_cast<int>(ToNumber(line, numbers[2]));
        row.DiffCount = static_cast<int>(ToNumber(line, numbers[3]));
        row.HSpeedDiffCount = static_cast<int>(ToNumber(line, numbers[4]));
        row.Bases = bases;
        data.PinOutRows.push_back(row);
    }
}

void ReadReferences(const std::filesystem::path& dir, InputData& data) {
    for (const Line& line : ReadLines(dir / "reference_rows.txt")) {
        if (line.Text.rfind("pinout", 0) == 0) {
            const auto words = SplitBlanks(line.Text);
            if (words.size() != 3)
                line.Fail("expected: pinout <package> <base name>");
            data.References.Package = PackageIndex(data, words[1], line);
            data.References.Base = words[2];
            continue;
        }
        if (data.References.Package < 0)
            line.Fail("rows before the pinout line");
        const auto f = SplitBars(line.Text);
        if (f.size() != 7)
            line.Fail("expected 7 fields");
        ReferenceRow r;
        r.Entry = static_cast<int>(ToNumber(line, f[0]));
        r.Ball = f[1];
        r.Bank = f[2];
        r.DiffId = f[3];
        r.ClkDiffId = f[4];
        try {
            r.Options = ParseOptions(f[5]);
            r.Standards = ParseStandardSet(data, f[6]);
        } catch (const GeneratorError& e) {
            line.Fail(e.what());
        }
        data.References.Rows.push_back(r);
    }
}

void ReadBoundaryScan(const std::filesystem::path& dir, InputData& data) {
    BoundaryScanData& bs = data.BoundaryScan;
    bool wide = false;
    for (const Line& line : ReadLines(dir / "boundaryscan.txt")) {
        const auto f = SplitBars(line.Text);
        const std::string& what = f[0];
        auto need = [&](std::size_t n) {
            if (f.size() != n)
                line.Fail("expected " + std::to_string(n) + " fields");
        };
        auto instructionKnown = [&](const std::string& name) {
            for (const auto& [known, opcode] : bs.Instructions)
                if (known == name)
                    return;
            line.Fail("unknown instruction " + name);
        };
        if (what == "instruction") {
            need(3);
            if (f[2].size() != 10 || f[2].find_first_not_of("01") != std::string::npos)
                line.Fail("an opcode is 10 bits of 0 and 1");
            bs.Instructions.emplace_back(f[1], f[2]);
        } else if (what == "register") {
            need(4);
            instructionKnown(f[3]);
            bs.Registers.push_back({f[1], static_cast<int>(ToNumber(line, f[2])), f[3]});
        } else if (what == "wide") {
            need(7);
            instructionKnown(f[3]);
            bs.WideRegister = {f[1], static_cast<int>(ToNumber(line, f[2])), f[3]};
            bs.WideGroups = static_cast<int>(ToNumber(line, f[4]));
            bs.WidePackage = PackageIndex(data, f[5], line);
            bs.WideCount = static_cast<int>(ToNumber(line, f[6]));
            wide = true;
        } else if (what == "scanclock") {
            need(3);
            bs.ScanClock = ToNumber(line, f[1]);
            bs.HaltMode = f[2];
        } else if (what == "conformance") {
            need(2);
            bs.Conformance = f[1];
        } else if (what == "capture") {
            need(2);
            bs.InstructionCapture = f[1];
        } else if (what == "warning") {
            need(2);
            bs.DesignWarning.push_back(f[1]);
        } else {
            line.Fail("unknown row " + what);
        }
    }
    if (bs.Instructions.empty() || bs.Registers.empty() || !wide || bs.ScanClock <= 0 || bs.Conformance.empty())
        Fail("boundaryscan.txt: instructions, registers, the wide register, scanclock and conformance are needed");
}

} // namespace

int StandardIndex(const InputData& data, const std::string& identifier) {
    for (std::size_t i = 0; i < data.Standards.size(); ++i)
        if (data.Standards[i].Identifier == identifier)
            return static_cast<int>(i);
    Fail("unknown IO standard " + identifier);
}

uint64_t ParseStandardSet(const InputData& data, const std::string& text) {
    uint64_t set = 0;
    for (const auto& word : SplitBlanks(text)) {
        if (word == "all")
            set |= (uint64_t{1} << data.Standards.size()) - 1;
        else if (word[0] == '-')
            set &= ~(uint64_t{1} << StandardIndex(data, word.substr(1)));
        else
            set |= uint64_t{1} << StandardIndex(data, word);
    }
    return set;
}

uint16_t ParseOptions(const std::string& text) {
    static const char* const kNames[16] = {"IO",     "VREF",   "CLK",    "Special",      "InputOnly",   "DCIP",
                                           "DCIN",   "DiffP",  "DiffN",  "HDiffP",       "HDiffN",      "TransmitDiff",
                                           "ReceiveDiff", "ClkDiffP", "ClkDiffN", "DLL"};
    uint16_t options = 0;
    for (const auto& word : SplitBlanks(text)) {
        int bit = 0;
        while (bit < 16 && word != kNames[bit])
            ++bit;
        if (bit == 16)
            Fail("unknown pin flag " + word);
        options |= static_cast<uint16_t>(1u << bit);
    }
    return options;
}

InputData ReadInputData(const std::filesystem::path& dataDir) {
    InputData data;
    for (const Line& line : ReadLines(dataDir / "kinds.txt"))
        data.KindNames.push_back(line.Text);
    ReadDimensions(dataDir, data);
    ReadStandards(dataDir, data);
    ReadDies(dataDir, data);
    ReadScanGroups(dataDir, data);
    ReadPinOutRows(dataDir, data);
    ReadReferences(dataDir, data);
    ReadBoundaryScan(dataDir, data);
    return data;
}

} // namespace devgen
