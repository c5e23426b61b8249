#include "options/FPGAOptions.h"

#include "host/HostAccess.h"
#include "host/ParameterList.h"

#include <charconv>
#include <cstdio>

namespace tavrel {

// --- Filters -----------------------------------------------------------------------

TDeviceFacts TDeviceFacts::Lookup(const std::string& deviceName)
{
    const THostObject manager = hostaccess::GetDeviceManager();
    if (!manager) return {};
    const THostObject info = manager.CallObject(dispid::DeviceManager_GetDeviceInformation, {deviceName});
    if (!info) return {};
    TDeviceFacts facts;
    facts.Known = true;
    facts.Family = info.CallString(dispid::DeviceInformation_GetFamilyName);
    facts.BaseName = info.CallString(dispid::DeviceInformation_GetBaseName);
    facts.Package = info.CallString(dispid::DeviceInformation_GetPackageName);
    facts.SpeedGrade = info.CallString(dispid::DeviceInformation_GetSpeedGradeName);
    return facts;
}

bool PassesNameFilter(const TStringList& filter, const std::string& value)
{
    if (filter.empty()) return true;
    bool allNegated = true;
    for (const std::string& entry : filter) {
        const bool negated = !entry.empty() && entry[0] == '!';
        if (SameText(negated ? std::string_view(entry).substr(1) : std::string_view(entry), value)) return !negated;
        allNegated = allNegated && negated;
    }
    return allNegated;
}

bool PassesToolFilter(const TStringList& filter, const std::string& tool)
{
    if (filter.empty()) return true;
    bool pass = false;
    for (const std::string& entry : filter)
        if (entry.find('!') != std::string::npos) pass = true;
    if (IndexOfText(filter, "!" + tool) >= 0) return false;
    if (IndexOfText(filter, tool) >= 0) return true;
    return pass;
}

bool PassesDeviceFilters(const TDeviceFacts& device, const TStringList& families, const TStringList& baseDevices,
                         const TStringList& packages, const TStringList& speedGrades)
{
    if (!device.Known) return true;
    return PassesNameFilter(families, device.Family) && PassesNameFilter(baseDevices, device.BaseName) &&
           PassesNameFilter(packages, device.Package) && PassesNameFilter(speedGrades, device.SpeedGrade);
}

// --- Options -------------------------------------------------------------------------

TFPGAOption_Abstract::TFPGAOption_Abstract(TFPGAOptionKind kind, std::string section, std::string name,
                                           std::string flag, const std::string& value)
    : Section(std::move(section)), Name(std::move(name)), Flag(std::move(flag)), Kind(kind)
{
    SetValue(value);
    DefaultValue = value;
}

std::string TFPGAOption_Abstract::GetRawValue() const
{
    if (!TemporaryActive) return FValue;
    if (TemporaryUnspecified) return GetDefaultValue();
    return TemporaryValue;
}

void TFPGAOption_Abstract::SetValue(const std::string& value)
{
    FValue = value;
    if (TemporaryActive) {
        TemporaryValue = value;
        TemporaryUnspecified = false;
    }
}

bool TFPGAOption_Abstract::IsSpecified() const
{
    return TemporaryActive ? !TemporaryUnspecified : WasLoaded;
}

bool TFPGAOption_Abstract::IsTrue() const { return SameText(GetValue(), "True"); }

bool TFPGAOption_Abstract::IsValidFor(const TDeviceFacts& device, const std::string& tool) const
{
    return PassesDeviceFilters(device, ValidFamilies, ValidBaseDevices, ValidPackages, ValidSpeedGrades) &&
           PassesToolFilter(ValidTools, tool);
}

void TFPGAOption_Abstract::CopyTo(TFPGAOption_Abstract& option) const
{
    option.FValue = FValue;
    option.ValidFamilies = ValidFamilies;
    option.ValidBaseDevices = ValidBaseDevices;
    option.ValidPackages = ValidPackages;
    option.ValidSpeedGrades = ValidSpeedGrades;
    option.ValidTools = ValidTools;
    option.DefaultValue = DefaultValue;
    option.Section = Section;
    option.Name = Name;
    option.Flag = Flag;
    option.Position = Position;
    option.ToolTip = ToolTip;
    option.WasLoaded = WasLoaded;
    option.Advanced = Advanced;
    option.ValueOnly = ValueOnly;
    option.Enabled = Enabled;
    option.TemporaryValue = TemporaryValue;
    option.TemporaryActive = TemporaryActive;
    option.TemporaryUnspecified = TemporaryUnspecified;
    option.SourceSection = SourceSection;
    option.Conditions = Conditions;
    option.Scripts = Scripts;
    option.Commands = Commands;
}

namespace {

template <class T> std::unique_ptr<TFPGAOption_Abstract> ReplicateAs(const T& source)
{
    auto copy = std::make_unique<T>(source.Section, source.Name, source.Flag, source.DefaultValue);
    source.CopyTo(*copy);
    return copy;
}

std::string CommaText(const TStringList& list)
{
    std::string text;
    for (size_t i = 0; i < list.size(); ++i) {
        if (i) text += ',';
        text += list[i];
    }
    return text;
}

} // namespace

std::unique_ptr<TFPGAOption_Abstract> TFPGAOption_String::Replicate() const { return ReplicateAs(*this); }

std::unique_ptr<TFPGAOption_Abstract> TFPGAOption_Enum::Replicate() const { return ReplicateAs(*this); }

void TFPGAOption_Enum::CopyTo(TFPGAOption_Abstract& option) const
{
    TFPGAOption_String::CopyTo(option);
    if (auto* target = dynamic_cast<TFPGAOption_Enum*>(&option)) target->DisplayValues = DisplayValues;
}

std::string TFPGAOption_Enum::GetValues() const { return CommaText(DisplayValues); }

std::string TFPGAOption_Boolean::GetValue() const
{
    const std::string value = GetRawValue();
    if (BooleanValues.size() < 2) return value;
    return SameText(value, "True") ? BooleanValues[1] : BooleanValues[0];
}

std::unique_ptr<TFPGAOption_Abstract> TFPGAOption_Boolean::Replicate() const { return ReplicateAs(*this); }

void TFPGAOption_Boolean::CopyTo(TFPGAOption_Abstract& option) const
{
    TFPGAOption_Abstract::CopyTo(option);
    if (auto* target = dynamic_cast<TFPGAOption_Boolean*>(&option)) target->BooleanValues = BooleanValues;
}

bool TFPGAOption_Boolean::CheckValue(const std::string& text) const
{
    return SameText(text, "True") || SameText(text, "False");
}

std::string TFPGAOption_Boolean::GetValues() const { return CommaText(BooleanValues); }

bool TFPGAOption_Boolean::IsTrue() const
{
    if (BooleanValues.size() < 2) return SameText(GetValue(), "True");
    return SameText(GetValue(), BooleanValues[1]);
}

void TFPGAOption_AbstractNumber::CopyTo(TFPGAOption_Abstract& option) const
{
    TFPGAOption_Abstract::CopyTo(option);
    if (auto* target = dynamic_cast<TFPGAOption_AbstractNumber*>(&option)) {
        target->MinValue = MinValue;
        target->MaxValue = MaxValue;
    }
}

std::unique_ptr<TFPGAOption_Abstract> TFPGAOption_Integer::Replicate() const { return ReplicateAs(*this); }

bool TFPGAOption_Integer::CheckValue(const std::string& text) const
{
    int32_t value = 0;
    return host::TryStrToInt(TrimText(text), value);
}

std::unique_ptr<TFPGAOption_Abstract> TFPGAOption_Real::Replicate() const { return ReplicateAs(*this); }

bool TFPGAOption_Real::CheckValue(const std::string& text) const
{
    std::string number = TrimText(text);
    if (number.empty()) return false;
    if (number[0] == '+') number.erase(0, 1);
    double value = 0;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    return ec == std::errc() && end == number.data() + number.size();
}

// --- Stored texts ----------------------------------------------------------------------

std::string EscapeStoredText(std::string_view text)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string result;
    result.reserve(text.size());
    for (char c : text) {
        const auto code = static_cast<unsigned char>(c);
        if (code < 32 || c == '#') {
            result += '#';
            result += kHex[code >> 4];
            result += kHex[code & 15];
        } else {
            result += c;
        }
    }
    return result;
}

namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// A character code as UTF-8 (codes from 128 on are Latin-1 characters).
void AppendCode(std::string& text, int code)
{
    if (code < 0x80) {
        text += static_cast<char>(code);
    } else {
        text += static_cast<char>(0xC0 | (code >> 6));
        text += static_cast<char>(0x80 | (code & 0x3F));
    }
}

} // namespace

std::string UnescapeStoredText(std::string_view text)
{
    std::string result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '#' && i + 2 < text.size()) {
            const int high = HexDigit(text[i + 1]), low = HexDigit(text[i + 2]);
            if (high >= 0 && low >= 0) {
                AppendCode(result, high * 16 + low);
                i += 2;
                continue;
            }
        }
        result += text[i];
    }
    return result;
}

// --- Option set ---------------------------------------------------------------------------

TFPGAOptions::TFPGAOptions(std::string device, std::string tool) : FDevice(std::move(device)), FTool(std::move(tool)) {}

TFPGAOptions::~TFPGAOptions() { ClearOptions(); }

void TFPGAOptions::SetParameters(const std::string& text)
{
    host::TParameterList parameters;
    parameters.SetState(text);
    for (const auto& option : FList)
        if (const host::TParameter* parameter = parameters.GetState_ParameterByName(option->Name))
            option->SetValue(parameter->Value());
}

std::string TFPGAOptions::GetParameters() const
{
    std::string text;
    for (const auto& option : FList) {
        text += '|';
        text += option->Parameters();
    }
    return text;
}

TFPGAOption_Abstract* TFPGAOptions::AddOption(std::unique_ptr<TFPGAOption_Abstract> option)
{
    if (!option) return nullptr;
    if (Sorted) option->Position = FSortNumber++;
    FList.push_back(std::move(option));
    return FList.back().get();
}

TFPGAOption_Boolean* TFPGAOptions::AddBooleanOption(const std::string& section, const std::string& name,
                                                    const std::string& flag, const std::string& value,
                                                    const std::string& values)
{
    auto option = std::make_unique<TFPGAOption_Boolean>(section, name, flag, value);
    option->BooleanValues = SplitCommaText(values, false);
    return static_cast<TFPGAOption_Boolean*>(AddOption(std::move(option)));
}

TFPGAOption_String* TFPGAOptions::AddStringOption(const std::string& section, const std::string& name,
                                                  const std::string& flag, const std::string& value)
{
    auto option = std::make_unique<TFPGAOption_String>(section, name, flag, value);
    return static_cast<TFPGAOption_String*>(AddOption(std::move(option)));
}

TFPGAOption_Enum* TFPGAOptions::AddEnumOption(const std::string& section, const std::string& name,
                                              const std::string& flag, const std::string& value,
                                              const std::string& values)
{
    auto option = std::make_unique<TFPGAOption_Enum>(section, name, flag, value);
    option->DisplayValues = SplitCommaText(values, false);
    return static_cast<TFPGAOption_Enum*>(AddOption(std::move(option)));
}

TFPGAOption_Integer* TFPGAOptions::AddIntegerOption(const std::string& section, const std::string& name,
                                                    const std::string& flag, const std::string& value,
                                                    const std::string& minimum, const std::string& maximum)
{
    auto option = std::make_unique<TFPGAOption_Integer>(section, name, flag, value);
    option->MinValue = minimum;
    option->MaxValue = maximum;
    return static_cast<TFPGAOption_Integer*>(AddOption(std::move(option)));
}

TFPGAOption_Real* TFPGAOptions::AddRealOption(const std::string& section, const std::string& name,
                                              const std::string& flag, const std::string& value,
                                              const std::string& minimum, const std::string& maximum)
{
    auto option = std::make_unique<TFPGAOption_Real>(section, name, flag, value);
    option->MinValue = minimum;
    option->MaxValue = maximum;
    return static_cast<TFPGAOption_Real*>(AddOption(std::move(option)));
}

void TFPGAOptions::ClearOptions()
{
    FList.clear();
    Script_Head.clear();
    Script_Tail.clear();
    Commands_Head.clear();
    Commands_Tail.clear();
    Comment_Identifier.clear();
    Commands_Filename.clear();
    CustomUser_Cmd.clear();
    CustomUser_Scr.clear();
}

void TFPGAOptions::SetDefaults()
{
    for (const auto& option : FList) option->SetValue(option->DefaultValue);
}

TFPGAOption_Abstract* TFPGAOptions::GetOptionAt(int index) const
{
    if (index < 0 || index >= GetOptionCount()) return nullptr;
    return FList[static_cast<size_t>(index)].get();
}

TFPGAOption_Abstract* TFPGAOptions::GetOption(const std::string& name) const
{
    for (const auto& option : FList)
        if (SameText(option->Name, name)) return option.get();
    return nullptr;
}

bool TFPGAOptions::IsOptionValid(const TFPGAOption_Abstract& option, const std::string& device,
                                 const std::string& tool) const
{
    return option.IsValidFor(TDeviceFacts::Lookup(device), tool);
}

// --- Project storage ------------------------------------------------------------------------

namespace {

constexpr const char* kAdvancedKey = "AdvancedOptionsEnabled";
constexpr const char* kCustomCmdKey = "CustomOptionsUser_Cmd";
constexpr const char* kCustomScrKey = "CustomOptionsUser_Scr";

void Replace(const THostObject& storage, const std::string& section, const std::string& name, const std::string& value)
{
    storage.Call(dispid::OptionsStorage_Remove, {section, name});
    storage.Call(dispid::OptionsStorage_Write, {section, name, value});
}

} // namespace

void TFPGAOptions::SaveToProject(const THostObject& project, const std::string& section)
{
    if (!project) return;
    const THostObject storage = project.CallObject(dispid::Project_GetOptionsStorage);
    for (const auto& option : FList) {
        // The plain value is stored: a boolean's tool word would not read back.
        if (option->TemporaryActive && !option->TemporaryUnspecified)
            storage.Call(dispid::OptionsStorage_Write, {section, option->Name, option->GetRawValue()});
        else
            storage.Call(dispid::OptionsStorage_Remove, {section, option->Name});
    }
    Replace(storage, section, kAdvancedKey, AdvancedMode ? "True" : "False");
    Replace(storage, section, kCustomCmdKey, EscapeStoredText(CustomUser_Cmd));
    Replace(storage, section, kCustomScrKey, EscapeStoredText(CustomUser_Scr));
}

void TFPGAOptions::LoadFromProject(const THostObject& project, const std::string& section)
{
    if (!project) return;
    const THostObject storage = project.CallObject(dispid::Project_GetOptionsStorage);
    auto read = [&](const std::string& name) {
        return storage.CallString(dispid::OptionsStorage_Read, {section, name, std::string()});
    };
    for (const auto& option : FList) {
        option->WasLoaded = false;
        const std::string stored = read(option->Name);
        if (!stored.empty()) {
            option->SetValue(stored);
            option->WasLoaded = true;
        } else {
            option->SetValue(option->GetDefaultValue());
        }
        option->TemporaryValue = option->GetRawValue();
    }
    AdvancedMode = SameText(read(kAdvancedKey), "True");
    CustomUser_Cmd = UnescapeStoredText(read(kCustomCmdKey));
    CustomUser_Scr = UnescapeStoredText(read(kCustomScrKey));
}

} // namespace tavrel
