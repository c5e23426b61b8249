#include "flow/quartus/QuartusSteps.h"

#include "flow/FlowFiles.h"
#include "flow/quartus/QuartusReports.h"
#include "host/HostAccess.h"
#include "host/HostServices.h"
#include "host/VendorTools.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace tavrel::quartus {

namespace fs = std::filesystem;

namespace {

constexpr int32_t kDriver_GetDeviceName = 503380;
constexpr int32_t kDriver_GetFamilyName = 503382;
constexpr int32_t kDriver_GetDeviceState = 503787;
constexpr int32_t kDriver_GetTavrelDevice = 503753;
constexpr int32_t kProject_GetPath = 500062;
constexpr int32_t kProject_GetUserID = 500081;
constexpr int32_t kDeviceManager_GetFamilyManager = 504014;
constexpr int32_t kFamilyManager_GetFamily = 503996;
constexpr int32_t kFamily_GetParameter = 503983;
constexpr int32_t kFamily_HasParameter = 503992;
constexpr int32_t kSynthesizer_GetProjectSynthesizer = 508822;
constexpr int32_t kFlow_StageName = 503705;
constexpr int32_t kFlow_FlowState = 503718;
constexpr int32_t kDevice_GetDescription = 503381;
constexpr int32_t kDevice_Reset = 503636;
constexpr int32_t kDevice_State = 503637;
constexpr int32_t kDevice_Download = 503638;

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// Linux file systems tell letter cases apart where the tools' own platform does
// not: a report named design.fit.rpt is the step's design.Fit.Rpt.
std::string ExistingVariant(const std::string& path)
{
    std::error_code ec;
    if (fs::exists(path, ec)) return path;
    const fs::path wanted(path);
    const std::string name = UpperText(wanted.filename().string());
    const fs::path folder = wanted.has_parent_path() ? wanted.parent_path() : fs::path(".");
    for (const auto& entry : fs::directory_iterator(folder, ec))
        if (UpperText(entry.path().filename().string()) == name) return entry.path().string();
    return {};
}

void RemoveVariant(const std::string& path)
{
    std::error_code ec;
    for (std::string existing = ExistingVariant(path); !existing.empty(); existing = ExistingVariant(path))
        if (!fs::remove(existing, ec) || ec) break;
}

// Moves a file aside, replacing an earlier file of the target name.
void MoveIfExists(const std::string& from, const std::string& to)
{
    const std::string existing = ExistingVariant(from);
    if (existing.empty()) return;
    RemoveVariant(to);
    std::error_code ec;
    fs::rename(existing, to, ec);
    if (ec) throw std::runtime_error("Cannot move " + existing + " to " + to + ": " + ec.message());
}

std::vector<std::string> ReadLines(const std::string& path)
{
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::string OptionValue(const TFlowStage_VendorProcess& step, const char* name, bool& present)
{
    const TFPGAOption_Abstract* option = step.Options ? step.Options->GetOption(name) : nullptr;
    present = option != nullptr;
    return option ? option->GetValue() : std::string();
}

} // namespace

// --- Shared ------------------------------------------------------------------------------

TFlowStage_Altera_Abstract::TFlowStage_Altera_Abstract(std::string inputExtension, std::string outputExtension,
                                                       const std::string& reports, std::string name, std::string caption,
                                                       std::string description, std::string tool, IDispatch* driver)
    : TFlowStage_VendorProcess(std::move(inputExtension), std::move(outputExtension), reports, std::move(name),
                               std::move(caption), std::move(description), tool, hostaccess::GetAlteraToolPath(tool),
                               driver)
{
}

bool TFlowStage_Altera_Abstract::UsesEquationFiles() const
{
    return StartsWith(FQuartusVersion, "3") || StartsWith(FQuartusVersion, "4.") || StartsWith(FQuartusVersion, "5.");
}

std::string TFlowStage_Altera_Abstract::ProjectName() const { return fs::path(FBasePath).stem().string(); }

std::string TFlowStage_Altera_Abstract::GetDeviceFamilyName()
{
    const THostObject device = Driver() ? Driver().CallObject(kDriver_GetTavrelDevice) : THostObject();
    return device ? device.CallString(kDriver_GetFamilyName) : std::string();
}

bool TFlowStage_Altera_Abstract::UsesExternalSynthesis()
{
    const THostObject project = GetFlowProject();
    if (!project) return false;
    const THostObject synthesizer = hostaccess::GetEditVHDLSynthesizer();
    const std::string name =
        synthesizer ? synthesizer.CallString(kSynthesizer_GetProjectSynthesizer, {project.Get()}) : std::string();
    return !tavrel::SameText(name, "Altera Quartus II");
}

std::string TFlowStage_Altera_Abstract::ReplaceMacros(const std::string& text)
{
    std::string familyName, deviceName;
    std::string optimization = "cyclone_optimization_technique";
    std::string scheme = "cyclone_configuration_scheme";
    std::string configDevice = "cyclone_configuration_device";
    if (const THostObject driver = Driver()) {
        const THostObject manager = hostaccess::GetDeviceManager();
        const THostObject families = manager ? manager.CallObject(kDeviceManager_GetFamilyManager) : THostObject();
        const THostObject family =
            families ? families.CallObject(kFamilyManager_GetFamily, {driver.CallString(kDriver_GetFamilyName)}) : THostObject();
        if (family) {
            familyName = family.CallString(kFamily_GetParameter, {std::string("NameUsedByVendor")});
            deviceName = driver.CallString(kDriver_GetDeviceName);
            if (!deviceName.empty() && deviceName.back() == 'N') deviceName.pop_back();
            for (auto [parameter, value] : {std::pair<const char*, std::string*>{"OptimizationFlag", &optimization},
                                            {"ConfigurationSchemeFlag", &scheme},
                                            {"ConfigurationDeviceFlag", &configDevice}})
                if (family.CallBool(kFamily_HasParameter, {std::string(parameter)}))
                    *value = family.CallString(kFamily_GetParameter, {std::string(parameter)});
        }
    }
    std::string projectName, userId;
    if (const THostObject project = GetFlowProject()) {
        projectName = fs::path(project.CallString(kProject_GetPath)).stem().string();
        userId = project.CallString(kProject_GetUserID);
        if (StartsWith(userId, "$")) userId.erase(0, 1);
        if (StartsWith(userId, "0x")) userId.erase(0, 2);
    }
    std::string lmf = hostaccess::GetEDIFFolder() + "Orvane.LMF";
    for (char& c : lmf)
        if (c == '\\') c = '/';
    std::string addTimeQuest;
    if (!FQuartusVersion.empty() && std::strtod(FQuartusVersion.c_str(), nullptr) <= 5.1) addTimeQuest = "#";

    std::string result = TrimText(text);
    const std::pair<const char*, std::string> tokens[] = {
        {".ReplaceDeviceFamilyName", familyName},
        {".ReplaceDeviceName", deviceName},
        {".ReplaceProjectName", projectName},
        {".ReplaceLMF", lmf},
        {".ReplaceUserID", userId},
        {".ReplaceShortUserID", {}},
        {".ReplaceEnablePLDFlow", PLDFlow ? "1" : "0"},
        {".ReplaceOptimizationFlag", optimization},
        {".ReplaceConfigSchemeFlag", scheme},
        {".ReplaceConfigDeviceFlag", configDevice},
        {".ReplaceAddTimeQuestFile", addTimeQuest},
    };
    for (const auto& [token, value] : tokens) result = ReplaceAllNoCase(result, token, value);
    return result;
}

// --- Project and script ---------------------------------------------------------------------

TFlowStage_Altera_MakeScriptFile::TFlowStage_Altera_MakeScriptFile(IDispatch* driver, bool pldFlow)
    : TFlowStage_Altera_Abstract("", "", "", "Translate Design", "&Translate Design", "Create project and translate options",
                                 "Quartus_sh", driver)
{
    FQuartusVersion = hostaccess::GetQuartusVersion();
    ProjectExtension = StartsWith(FQuartusVersion, "3") ? ".quartus" : ".qpf";
    SetOutputExtension(ProjectExtension + "_orig");
    FConstraintsExt = ".TCL";
    PLDFlow = pldFlow;
}

std::string TFlowStage_Altera_MakeScriptFile::ConstraintsFileName()
{
    return ChangeFileExt(FBasePath, "_UserConstraints" + FConstraintsExt);
}

std::string TFlowStage_Altera_MakeScriptFile::ProjectFileName() { return ChangeFileExt(OutputFileName(), ProjectExtension); }

TFlowRunResult TFlowStage_Altera_MakeScriptFile::DoRun(IDispatch* runner)
{
    const std::string projectFile = ProjectFileName();
    if (UsesExternalSynthesis()) {
        MakeConstraintsFile();
        RemoveVariant(projectFile);
        return TFlowStage_VendorProcess::DoRun(runner);
    }
    if (ExistingVariant(projectFile).empty()) {
        AddErrorMessage("Project File: " + projectFile + " missing.");
        return eFlowRun_Failure;
    }
    if (!ExistingVariant(OutputFileName()).empty()) {
        AddInfoMessage("Skipping " + StageName() + " phase.");
        return eFlowRun_Success;
    }
    AddErrorMessage("Output File: " + OutputFileName() + " missing.");
    return eFlowRun_Failure;
}

// --- Map and fit --------------------------------------------------------------------------------

TFlowStage_Altera_QuartusMap::TFlowStage_Altera_QuartusMap(IDispatch* driver)
    : TFlowStage_Altera_Abstract("", "", ".MAP.RPT", "Map Design", "&Map Design", "Map Design To Vendor Primitives",
                                 "Quartus_Map", driver)
{
    FQuartusVersion = hostaccess::GetQuartusVersion();
    ProjectExtension = StartsWith(FQuartusVersion, "3") ? ".quartus" : ".qpf";
    SetInputExtension(ProjectExtension + "_orig");
    SetOutputExtension(UsesEquationFiles() ? ".MAP.EQN" : ".MAP.RPT");
}

TFlowRunResult TFlowStage_Altera_QuartusMap::DoRun(IDispatch* runner)
{
    if (UsesExternalSynthesis()) return TFlowStage_VendorProcess::DoRun(runner);
    const std::string output = ExistingVariant(OutputFileName());
    if (output.empty()) {
        AddErrorMessage("File " + OutputFileName() + " does not exist.");
        return eFlowRun_Failure;
    }
    std::fstream touch(output, std::ios::in | std::ios::out | std::ios::binary);
    if (!touch) throw std::runtime_error("Cannot open file \"" + output + "\" for writing");
    touch.close();
    AddInfoMessage("Skipping " + StageName() + " phase.");
    return eFlowRun_Success;
}

bool TFlowStage_Altera_QuartusMap::UpdateFlowState()
{
    if (UsesExternalSynthesis()) return TFlowStage_Altera_Abstract::UpdateFlowState();
    const int32_t before = FFlowState;
    for (int32_t i = 0, n = GetDependenciesCount(); i < n; ++i) {
        const THostObject dependency(GetDependency(i));
        if (dependency && tavrel::SameText(dependency.CallString(kFlow_StageName), "Translate Design")) {
            FFlowState = static_cast<TProcessFlowState>(dependency.CallInt(kFlow_FlowState));
            break;
        }
    }
    return FFlowState != before;
}

TFlowStage_Altera_QuartusFit::TFlowStage_Altera_QuartusFit(IDispatch* driver)
    : TFlowStage_Altera_Abstract("", "", ".FIT.RPT", "Place and Route", "&Place and Route", "Place & Route",
                                 "Quartus_Fit", driver)
{
    FQuartusVersion = hostaccess::GetQuartusVersion();
    SetInputExtension(UsesEquationFiles() ? ".MAP.EQN" : ".MAP.RPT");
    SetOutputExtension(UsesEquationFiles() ? ".FIT.EQN" : ".FIT.RPT");
}

TFlowRunResult TFlowStage_Altera_QuartusFit::DoRun(IDispatch* runner)
{
    const std::string report = ChangeFileExt(FBasePath, ".Fit.Rpt");
    RemoveVariant(report);
    const TFlowRunResult result = TFlowStage_VendorProcess::DoRun(runner);
    const std::string written = ExistingVariant(report);
    if (!written.empty())
        for (const TSummaryItem& item : ReadFitterResources(ReadLines(written)))
            AddSummaryItem(runner, kResourceSection, item.Name, fs::absolute(written).string(), item.Value);
    return result;
}

// --- Timing analysis --------------------------------------------------------------------------------

TFlowStage_Altera_QuartusTan::TFlowStage_Altera_QuartusTan(IDispatch* driver, TFlowStage_Altera_MakeScriptFile* makeScriptFile)
    : TFlowStage_Altera_Abstract("", ".TAN.RPT", ".TAN.RPT", "Timing Analysis", "Timing &Analysis", "Timing Analysis",
                                 "Quartus_Tan", driver),
      FMakeScriptFile_Stage(makeScriptFile)
{
    FQuartusVersion = hostaccess::GetQuartusVersion();
    SetInputExtension(UsesEquationFiles() ? ".FIT.EQN" : ".FIT.RPT");
}

bool TFlowStage_Altera_QuartusTan::UseTimeQuest()
{
    const std::string family = GetDeviceFamilyName();
    if (tavrel::SameTextAny(family, {"ArriaGX", "Cyclone4E", "Cyclone4GX"})) return true;
    if (hostaccess::GetQuartusVersionNumber() > 10) return true;
    bool present = false;
    const std::string value =
        FMakeScriptFile_Stage ? OptionValue(*FMakeScriptFile_Stage, "Use TimeQuest Timing Analyzer", present) : std::string();
    return present && value == "True";
}

std::string TFlowStage_Altera_QuartusTan::CommandLineParameters()
{
    const std::string name = ProjectName();
    return UseTimeQuest() ? name + " --sdc=" + name + "_sta.sdc" : name;
}

std::string TFlowStage_Altera_QuartusTan::GetOutputExtension()
{
    return UseTimeQuest() ? ".STA.RPT" : TFlowStage_Altera_Abstract::GetOutputExtension();
}

bool TFlowStage_Altera_QuartusTan::CanRun()
{
    bool present = false;
    const std::string value = OptionValue(*this, "Skip Timing Analysis", present);
    return present && !tavrel::SameText(value, "True");
}

void TFlowStage_Altera_QuartusTan::ProjectChanged(std::string path)
{
    TFlowStage_Altera_Abstract::ProjectChanged(std::move(path));
    UpdateFlowState();
}

TFlowRunResult TFlowStage_Altera_QuartusTan::DoRun(IDispatch* runner)
{
    if (!CanRun()) return eFlowRun_Success;
    std::string report = ChangeFileExt(FBasePath, ".tan.rpt");
    const bool timeQuest = UseTimeQuest();
    if (timeQuest) {
        ApplicationName = "Quartus_Sta";
        ApplicationPath = hostaccess::GetAlteraToolPath("Quartus_Sta");
        report = ChangeFileExt(FBasePath, ".sta.rpt");
        FReportExtensions = {".STA.RPT"};
    }
    RemoveVariant(report);
    const TFlowRunResult result = TFlowStage_VendorProcess::DoRun(runner);
    const std::string written = ExistingVariant(report);
    if (!written.empty()) {
        const std::vector<std::string> lines = ReadLines(written);
        const TTimingItems items =
            timeQuest ? ReadTimeQuestItems(lines, hostaccess::GetQuartusVersionNumber()) : ReadClassicItems(lines);
        for (const TSummaryItem& item : TimingSummary(items, !timeQuest))
            AddSummaryItem(runner, kTimingSection, item.Name, fs::absolute(written).string(), item.Value);
    }
    return result;
}

// --- Assembler -------------------------------------------------------------------------------------

TFlowStage_Altera_QuartusAsm::TFlowStage_Altera_QuartusAsm(IDispatch* driver, TFlowStage_Altera_MakeScriptFile* makeScriptFile)
    : TFlowStage_Altera_Abstract("", ".RBF", ".ASM.RPT", "Make BIT File", "&Make BIT File",
                                 "Generate RBF file for programming FPGA", "Quartus_Asm", driver),
      FMakeScriptFile_Stage(makeScriptFile)
{
    FQuartusVersion = hostaccess::GetQuartusVersion();
    SetInputExtension(UsesEquationFiles() ? ".FIT.EQN" : ".FIT.RPT");
}

bool TFlowStage_Altera_QuartusAsm::UseBitstreamCompression()
{
    bool present = false;
    const std::string value =
        FMakeScriptFile_Stage ? OptionValue(*FMakeScriptFile_Stage, "On-Chip Bitstream Compression", present) : std::string();
    return present && value == "True";
}

std::string TFlowStage_Altera_QuartusAsm::CommandLineParameters()
{
    return ProjectName() + (FCompressBitstream ? " --set=ON_CHIP_BITSTREAM_DECOMPRESSION=ON"
                                               : " --set=ON_CHIP_BITSTREAM_DECOMPRESSION=OFF");
}

TFlowRunResult TFlowStage_Altera_QuartusAsm::DoRun(IDispatch* runner)
{
    if (!UseBitstreamCompression()) {
        FCompressBitstream = false;
        return TFlowStage_VendorProcess::DoRun(runner);
    }
    const std::string out = OutputFileName();
    const std::string compressed = ChangeFileExt(out, "_cpb.RBF");
    const std::string backup = ChangeFileExt(out, "_cpb.~.RBF");
    FCompressBitstream = true;
    MoveIfExists(compressed, backup);
    TFlowRunResult result = TFlowStage_VendorProcess::DoRun(runner);
    MoveIfExists(out, compressed);
    if (result == eFlowRun_Success) {
        FCompressBitstream = false;
        result = TFlowStage_VendorProcess::DoRun(runner);
    }
    return result;
}

// --- Build group ---------------------------------------------------------------------------------------

TProcessFlow_AlteraFPGA::TProcessFlow_AlteraFPGA()
    : TProcessFlowCategory("Build", "&Build", "Build Raw Bit File", "EDIF Files", "Raw Bit File")
{
}

THostObject TProcessFlow_AlteraFPGA::Create(IDispatch* driver)
{
    // Every object is held before it is handed to another: a counted object
    // that nobody holds yet would be freed by the first temporary reference.
    auto* group = new TProcessFlow_AlteraFPGA();
    const THostObject held(group->AsDispatch());
    auto* script = new TFlowStage_Altera_MakeScriptFile(driver, false);
    const THostObject scriptRef(script->AsDispatch());
    const THostObject map((new TFlowStage_Altera_QuartusMap(driver))->AsDispatch());
    const THostObject fit((new TFlowStage_Altera_QuartusFit(driver))->AsDispatch());
    const THostObject timing((new TFlowStage_Altera_QuartusTan(driver, script))->AsDispatch());
    const THostObject assembler((new TFlowStage_Altera_QuartusAsm(driver, script))->AsDispatch());
    constexpr int32_t kAddDependency = 503739;
    map.Call(kAddDependency, {scriptRef.Get()});
    fit.Call(kAddDependency, {map.Get()});
    timing.Call(kAddDependency, {fit.Get()});
    assembler.Call(kAddDependency, {timing.Get()});
    for (const THostObject* step : {&scriptRef, &map, &fit, &timing, &assembler}) group->AddChildStage(step->Get());
    return held;
}

// --- Download --------------------------------------------------------------------------------------------

TFlowStage_Download::TFlowStage_Download(std::string fileExtension, std::string caption, std::string description,
                                         bool resetBeforeDownload, IDispatch* driver)
    : TFlowStage_WithDriver(driver, "Download", std::move(caption), std::move(description)),
      FFileExtension(std::move(fileExtension)), FResetBeforeDownload(resetBeforeDownload)
{
}

std::string TFlowStage_Download::DownloadFileName() const { return ChangeFileExt(FBasePath, FFileExtension); }

std::string TFlowStage_Download::InputDescription() { return ExtractFileName(DownloadFileName()); }

bool TFlowStage_Download::ThisStage_OutputExists()
{
    if (!Driver() || Driver().CallInt(kDriver_GetDeviceState) != 2) return false;
    return FLastSuccessfulDownloadFile.empty() || tavrel::SameText(DownloadFileName(), FLastSuccessfulDownloadFile);
}

TDateTime TFlowStage_Download::ThisStage_DateTimeUpdated() { return CurrentDateTime(); }

TFlowRunResult TFlowStage_Download::DoRun(IDispatch*)
{
    const THostObject device = Driver() ? Driver().CallObject(kDriver_GetTavrelDevice) : THostObject();
    std::string file = DownloadFileName();
    if (const std::string existing = ExistingVariant(file); !existing.empty()) file = existing;
    const TFlowRunResult result = DownloadBitFile(device, file, FResetBeforeDownload);
    if (result == eFlowRun_Success) FLastSuccessfulDownloadFile = DownloadFileName();
    return result;
}

TFlowStage_DownloadFPGA::TFlowStage_DownloadFPGA(std::string fileExtension, IDispatch* driver)
    : TFlowStage_Download(std::move(fileExtension), "Program &FPGA", "Download Bit File to FPGA", true, driver)
{
}

std::string DownloadSpeedText(int64_t bits, int64_t milliseconds)
{
    char text[160];
    if (milliseconds <= 0) {
        // Too fast to time: no division by zero, and no made-up rate.
        std::snprintf(text, sizeof text, "Downloading via JTAG Completed in 0.00 Seconds (rate not measurable)");
    } else {
        const double seconds = static_cast<double>(milliseconds) / 1000.0;
        std::snprintf(text, sizeof text, "Downloading via JTAG Completed in %.2f Seconds at %.2f K Bits/Sec", seconds,
                      static_cast<double>(bits) / seconds / 1000.0);
    }
    return text;
}

TFlowRunResult DownloadBitFile(const THostObject& device, const std::string& file, bool reset)
{
    if (!device) return eFlowRun_Failure;
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) {
        ShowFlowStatus("Download file is missing. Current filename is : " + file);
        return eFlowRun_Failure;
    }
    if (const THostObject client = hostaccess::GetClient()) client.Call(dispid::Client_ProcessMessages);
    if (reset && !device.CallBool(kDevice_Reset)) {
        hostaccess::ShowErrorMessage("Unable To Reset Device:" + device.CallString(kDevice_GetDescription) +
                                     "\n\nIt may be necessary to Power-Down the Device");
        return eFlowRun_Failure;
    }
    const auto start = std::chrono::steady_clock::now();
    ShowFlowStatus("Downloading via JTAG");
    const int32_t bits = device.CallInt(kDevice_Download, {file});
    const auto milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    ShowFlowStatus(DownloadSpeedText(bits, milliseconds));
    if (device.CallInt(kDevice_State) == 2) return eFlowRun_Success;
    hostaccess::ShowErrorMessage("Failed To Program Device:" + device.CallString(kDevice_GetDescription));
    return eFlowRun_Failure;
}

} // namespace tavrel::quartus
