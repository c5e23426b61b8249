// The tool options of a vendor tool step: the option objects, the option set
// read from a default option file (XML), the device and tool-version filters
// that decide which options apply, the values stored in the host project, and
// the two texts the options give the tool (command file and command line).
//
// Values. An option holds its value (FValue), the default from the option file
// and, while the options dialog edits it, a temporary value. An option is
// "specified" when the project storage gave it a value, or when the dialog set
// one; only specified options hand their value to the tool.
//
// Boolean options may carry a pair of tool words for False and True
// (BooleanValues). GetValue answers the mapped word, which is what the tool
// texts use; storage and the temporary value keep the plain "True"/"False"
// (GetRawValue), so a stored true state reads back as true.
#pragma once

#include "options/TextLines.h"
#include "plugin/frame/HostObject.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace tavrel {

enum class TFPGAOptionKind : int32_t { String = 0, Integer = 1, Boolean = 2, Enum = 3, Real = 4 };

// A default option file that exists but cannot be read as XML.
class EOptionFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// DISPIDs of the host objects the options use.
namespace dispid {
inline constexpr int32_t Project_GetOptionsStorage = 500094;
inline constexpr int32_t OptionsStorage_Write = 378;
inline constexpr int32_t OptionsStorage_Read = 380;
inline constexpr int32_t OptionsStorage_Remove = 381;
inline constexpr int32_t DeviceManager_GetDeviceInformation = 504000;
inline constexpr int32_t DeviceInformation_GetFamilyName = 503382;
inline constexpr int32_t DeviceInformation_GetBaseName = 503386;
inline constexpr int32_t DeviceInformation_GetPackageName = 503393;
inline constexpr int32_t DeviceInformation_GetSpeedGradeName = 503400;
} // namespace dispid

// What the device filters test: the host device manager's description of a
// device name. Unknown devices (or no device manager) pass every device filter.
struct TDeviceFacts {
    bool Known = false;
    std::string Family, BaseName, Package, SpeedGrade;

    static TDeviceFacts Lookup(const std::string& deviceName);
};

// Filter lists: entries compared without regard to case; "!name" is a negated
// entry. The first entry naming the value decides; with no such entry the
// value passes only when every entry is negated. An empty list passes all.
bool PassesNameFilter(const TStringList& filter, const std::string& value);
// Tool versions: "!version" excludes, "version" includes; with neither, the
// list passes when it contains a "!" anywhere.
bool PassesToolFilter(const TStringList& filter, const std::string& tool);
bool PassesDeviceFilters(const TDeviceFacts& device, const TStringList& families, const TStringList& baseDevices,
                         const TStringList& packages, const TStringList& speedGrades);

// One item of an option's command-line or command-file text.
struct TFPGAScript {
    bool Default = false;
    std::string Id;
    std::string Value;
};

class TFPGAOption_Abstract {
public:
    TFPGAOption_Abstract(TFPGAOptionKind kind, std::string section, std::string name, std::string flag,
                         const std::string& value);
    virtual ~TFPGAOption_Abstract() = default;
    TFPGAOption_Abstract(const TFPGAOption_Abstract&) = delete;
    TFPGAOption_Abstract& operator=(const TFPGAOption_Abstract&) = delete;

    // The value in force: the dialog's temporary value while it edits, else FValue.
    virtual std::string GetValue() const { return GetRawValue(); }
    // A copy of the option as a new option of the same class.
    virtual std::unique_ptr<TFPGAOption_Abstract> Replicate() const = 0;
    // Copies values, filters, texts and items to another option (and the
    // class's own lists when it is of the same class).
    virtual void CopyTo(TFPGAOption_Abstract& option) const;
    virtual bool CheckValue(const std::string& text) const { return true; }
    // "Name=Value".
    virtual std::string Parameters() const { return Name + "=" + GetValue(); }
    virtual std::string GetMinValue() const { return {}; }
    virtual std::string GetMaxValue() const { return {}; }
    // Allowed values as comma-separated text (booleans and enumerations).
    virtual std::string GetValues() const { return {}; }
    // The text this option adds to the command file (isCmd) or command line.
    virtual std::string GetValueFor(bool isCmd) const;
    virtual std::string GetDefaultValue() const { return DefaultValue; }

    // The value before a boolean's tool-word mapping.
    std::string GetRawValue() const;
    void SetValue(const std::string& value);
    void SetDefaultValue(const std::string& value) { DefaultValue = value; }
    void InsertTool(const std::string& tool) { ValidTools.push_back(tool); }

    // Given to the tool: loaded from the project, or set in the dialog.
    bool IsSpecified() const;
    // The value reads as true ("True", or the boolean's word for true).
    virtual bool IsTrue() const;
    bool IsValidFor(const TDeviceFacts& device, const std::string& tool) const;

    TStringList ValidFamilies;
    TStringList ValidBaseDevices;
    TStringList ValidPackages;
    TStringList ValidSpeedGrades;
    TStringList ValidTools;
    std::string DefaultValue;
    std::string Section;
    std::string Name;
    std::string Flag;
    TFPGAOptionKind Kind;
    int32_t Position = -1;
    std::string ToolTip;
    bool WasLoaded = false;
    bool Advanced = false;
    bool ValueOnly = false;
    bool Enabled = false;
    void* Data = nullptr; // the dialog's row (not owned)
    std::string TemporaryValue;
    bool TemporaryActive = false;
    bool TemporaryUnspecified = false;
    std::string SourceSection;
    TStringList Conditions;
    std::vector<TFPGAScript> Scripts;
    std::vector<TFPGAScript> Commands;

protected:
    std::string FValue;
};

class TFPGAOption_String : public TFPGAOption_Abstract {
public:
    TFPGAOption_String(std::string section, std::string name, std::string flag, const std::string& value)
        : TFPGAOption_Abstract(TFPGAOptionKind::String, std::move(section), std::move(name), std::move(flag), value)
    {
    }
    std::unique_ptr<TFPGAOption_Abstract> Replicate() const override;

protected:
    TFPGAOption_String(TFPGAOptionKind kind, std::string section, std::string name, std::string flag,
                       const std::string& value)
        : TFPGAOption_Abstract(kind, std::move(section), std::move(name), std::move(flag), value)
    {
    }
};

class TFPGAOption_Enum : public TFPGAOption_String {
public:
    TFPGAOption_Enum(std::string section, std::string name, std::string flag, const std::string& value)
        : TFPGAOption_String(TFPGAOptionKind::Enum, std::move(section), std::move(name), std::move(flag), value)
    {
    }
    std::unique_ptr<TFPGAOption_Abstract> Replicate() const override;
    void CopyTo(TFPGAOption_Abstract& option) const override;
    bool CheckValue(const std::string& text) const override { return IndexOfText(DisplayValues, text) >= 0; }
    std::string GetValues() const override;

    TStringList DisplayValues;
};

class TFPGAOption_Boolean : public TFPGAOption_Abstract {
public:
    TFPGAOption_Boolean(std::string section, std::string name, std::string flag, const std::string& value)
        : TFPGAOption_Abstract(TFPGAOptionKind::Boolean, std::move(section), std::move(name), std::move(flag), value)
    {
    }
    // With two or more tool words, "True" maps to the second and anything else to the first.
    std::string GetValue() const override;
    std::unique_ptr<TFPGAOption_Abstract> Replicate() const override;
    void CopyTo(TFPGAOption_Abstract& option) const override;
    bool CheckValue(const std::string& text) const override;
    std::string GetValues() const override;
    bool IsTrue() const override;

    TStringList BooleanValues;
};

class TFPGAOption_AbstractNumber : public TFPGAOption_Abstract {
public:
    using TFPGAOption_Abstract::TFPGAOption_Abstract;
    void CopyTo(TFPGAOption_Abstract& option) const override;
    std::string GetMinValue() const override { return MinValue; }
    std::string GetMaxValue() const override { return MaxValue; }

    std::string MinValue = "0";
    std::string MaxValue = "0";
};

class TFPGAOption_Integer : public TFPGAOption_AbstractNumber {
public:
    TFPGAOption_Integer(std::string section, std::string name, std::string flag, const std::string& value)
        : TFPGAOption_AbstractNumber(TFPGAOptionKind::Integer, std::move(section), std::move(name), std::move(flag),
                                     value)
    {
    }
    std::unique_ptr<TFPGAOption_Abstract> Replicate() const override;
    bool CheckValue(const std::string& text) const override;
};

class TFPGAOption_Real : public TFPGAOption_AbstractNumber {
public:
    TFPGAOption_Real(std::string section, std::string name, std::string flag, const std::string& value)
        : TFPGAOption_AbstractNumber(TFPGAOptionKind::Real, std::move(section), std::move(name), std::move(flag), value)
    {
    }
    std::unique_ptr<TFPGAOption_Abstract> Replicate() const override;
    bool CheckValue(const std::string& text) const override;
};

// Escaping of free texts kept in project storage: characters below 32 and "#"
// become "#" and two upper-case hex digits.
std::string EscapeStoredText(std::string_view text);
std::string UnescapeStoredText(std::string_view text);

class TFPGAOptions {
public:
    TFPGAOptions(std::string device, std::string tool);
    virtual ~TFPGAOptions();
    TFPGAOptions(const TFPGAOptions&) = delete;
    TFPGAOptions& operator=(const TFPGAOptions&) = delete;

    // "|Name=Value" for every option, and the reverse (names found in the text).
    virtual void SetParameters(const std::string& text);
    virtual std::string GetParameters() const;
    // Appends the option (numbering it when Sorted) and returns it.
    virtual TFPGAOption_Abstract* AddOption(std::unique_ptr<TFPGAOption_Abstract> option);
    // Project storage under a section; nothing without a project.
    virtual void SaveToProject(const THostObject& project, const std::string& section);
    virtual void LoadFromProject(const THostObject& project, const std::string& section);
    virtual TFPGAOption_Boolean* AddBooleanOption(const std::string& section, const std::string& name,
                                                  const std::string& flag, const std::string& value,
                                                  const std::string& values);
    virtual TFPGAOption_String* AddStringOption(const std::string& section, const std::string& name,
                                                const std::string& flag, const std::string& value);
    virtual TFPGAOption_Enum* AddEnumOption(const std::string& section, const std::string& name,
                                            const std::string& flag, const std::string& value,
                                            const std::string& values);
    virtual TFPGAOption_Integer* AddIntegerOption(const std::string& section, const std::string& name,
                                                  const std::string& flag, const std::string& value,
                                                  const std::string& minimum, const std::string& maximum);
    virtual TFPGAOption_Real* AddRealOption(const std::string& section, const std::string& name,
                                            const std::string& flag, const std::string& value,
                                            const std::string& minimum, const std::string& maximum);

    // Reads a default option file. A missing file changes nothing; a file that
    // is not well-formed XML raises EOptionFileError naming the file, line and
    // column, and the set keeps what it had.
    void LoadOptions(const std::string& fileName);
    // Frees every option and empties the eight texts.
    void ClearOptions();
    void SetDefaults();
    int GetOptionCount() const { return static_cast<int>(FList.size()); }
    TFPGAOption_Abstract* GetOptionAt(int index) const;
    TFPGAOption_Abstract* GetOption(const std::string& name) const;

    // Fills `strings` with the command-file (isCmd) or command-line text for a
    // device name and tool version; true when at least one line results.
    bool GetLines(bool isCmd, TStringList& strings, const std::string& device, const std::string& tool) const;
    bool IsOptionValid(const TFPGAOption_Abstract& option, const std::string& device, const std::string& tool) const;

    const std::string& Device() const { return FDevice; }
    const std::string& Tool() const { return FTool; }

    std::string Script_Head, Script_Tail;
    std::string Commands_Head, Commands_Tail;
    std::string Comment_Identifier;
    std::string Commands_Filename;
    std::string CustomUser_Cmd;
    std::string CustomUser_Scr;
    bool Sorted = true;
    bool AdvancedMode = false;

private:
    std::vector<std::unique_ptr<TFPGAOption_Abstract>> FList;
    int32_t FSortNumber = 1;
    std::string FDevice;
    std::string FTool;
};

} // namespace tavrel
