#include "flow/VendorProcess.h"

#include "flow/FlowFiles.h"
#include "host/HostAccess.h"
#include "host/HostFiles.h"
#include "host/HostServices.h"

#include <signal.h>
#include <string.h>

#include <exception>
#include <filesystem>
#include <stdexcept>

namespace tavrel {

namespace {

namespace fs = std::filesystem;

constexpr const char* kIgnoreListFile = "FPGAMessagesToIgnore.txt";
// Tools run without a practical time limit.
constexpr int32_t kNoTimeout = 2147483647;

// Brings back the current folder and the host's cursor, also when the run fails.
class TRunSurroundings {
public:
    explicit TRunSurroundings(const std::string& folder)
    {
        std::error_code ec;
        FSaved = fs::current_path(ec);
        hostaccess::SetHostCursorBusy();
        if (!folder.empty()) fs::current_path(folder, ec);
    }
    ~TRunSurroundings()
    {
        try {
            hostaccess::RestoreHostCursor();
        } catch (...) {
        }
        std::error_code ec;
        if (!FSaved.empty()) fs::current_path(FSaved, ec);
    }
    TRunSurroundings(const TRunSurroundings&) = delete;
    TRunSurroundings& operator=(const TRunSurroundings&) = delete;

private:
    fs::path FSaved;
};

} // namespace

TFlowStage_VendorProcess::TFlowStage_VendorProcess(std::string inputExtension, std::string outputExtension,
                                                   const std::string& reportExtensions, std::string name,
                                                   std::string caption, std::string description,
                                                   std::string applicationName, std::string applicationPath,
                                                   IDispatch* driver)
    : TFlowStage_WithDriver(driver, std::move(name), std::move(caption), std::move(description)),
      ApplicationName(std::move(applicationName)), ApplicationPath(std::move(applicationPath)),
      FReportExtensions(SplitCommaText(reportExtensions, false)), FInputExtension(std::move(inputExtension)),
      FOutputExtension(std::move(outputExtension))
{
    Options = std::make_unique<TFPGAOptions>(DeviceName(), VendorToolVersion());
    const std::string ignoreList = hostaccess::GetSystemFolder() + kIgnoreListFile;
    if (FileExists(ignoreList)) LinesToIgnore = ReadTextLines(ignoreList);
}

TFlowStage_VendorProcess::~TFlowStage_VendorProcess() = default;

std::string TFlowStage_VendorProcess::ExtractName(const std::string& path) { return ExtractFileName(path); }

std::string TFlowStage_VendorProcess::DeviceName() const
{
    if (!FDriver) return {};
    return Driver().CallString(dispid::Driver_GetDeviceName);
}

std::string TFlowStage_VendorProcess::InputFileName() { return ChangeFileExt(FBasePath, FInputExtension); }

std::string TFlowStage_VendorProcess::OutputFileName() { return ChangeFileExt(FBasePath, GetOutputExtension()); }

std::string TFlowStage_VendorProcess::ConstraintsFileName() { return ChangeFileExt(FBasePath, FConstraintsExt); }

std::string TFlowStage_VendorProcess::BuildConstraintsFileName()
{
    return ChangeFileExt(FBasePath, "_BUILD" + FConstraintsExt);
}

bool TFlowStage_VendorProcess::ThisStage_OutputExists() { return FileExists(OutputFileName()); }

TDateTime TFlowStage_VendorProcess::ThisStage_DateTimeUpdated() { return FileDateTime(OutputFileName()); }

void TFlowStage_VendorProcess::Stop()
{
    TFlowStage_WithDriver::Stop();
    if (ExecWrapper) ExecWrapper->Abort();
}

// --- Output lines ------------------------------------------------------------------

bool TFlowStage_VendorProcess::IsLineIgnored(const std::string& line)
{
    if (LinesToIgnore.empty()) return false;
    if (FIgnoreSource != LinesToIgnore) {
        FIgnoreSource = LinesToIgnore;
        FIgnoreUpper.clear();
        for (const std::string& entry : LinesToIgnore) FIgnoreUpper.push_back(UpperText(entry));
    }
    const std::string upper = UpperText(line);
    for (const std::string& entry : FIgnoreUpper)
        if (!entry.empty() && upper.find(entry) != std::string::npos) return true;
    return false;
}

int32_t TFlowStage_VendorProcess::HandleOutputLine(const std::string& line)
{
    const THostObject workspace = hostaccess::GetWorkspace();
    if (!workspace) return 0;
    enum { kPlain, kInfo, kWarning, kError } kind = kPlain;
    if (!IsLineIgnored(line)) {
        const std::string upper = UpperText(TrimText(line));
        if (upper.starts_with("ERROR")) kind = kError;
        else if (upper.starts_with("WARNING") || upper.starts_with("CRITICAL WARNING")) kind = kWarning;
        else if (upper.starts_with("INFO")) kind = kInfo;
    }
    if (kind == kError) ErrorsOccured = true;
    // The message links to the output line it is about to write.
    const int32_t position = workspace.CallInt(dispid::Workspace_OutputPosition);
    const std::string parameters = "ShowInOutput=" + std::to_string(position);
    const std::string process = "WorkspaceManager:View";
    switch (kind) {
    case kWarning: AddWarningMessage(line, eReplace_None, parameters, process); return 2;
    case kError: AddErrorMessage(line, eReplace_None, parameters, process); return 3;
    case kInfo: AddInfoMessage(line, eReplace_None, parameters, process); return 1;
    case kPlain: break;
    }
    WriteOutputLine(line);
    return 0;
}

// --- Running the tool ------------------------------------------------------------

uint32_t TFlowStage_VendorProcess::ExecuteTool()
{
    std::string params = CommandLineParameters();
    std::string program = ApplicationPath;
    // Arguments written into the tool path ("quartus_map --64") go before the parameters.
    if (program.size() > 2 && program.back() != '"') {
        size_t blank = std::string::npos;
        for (size_t i = program.size() - 1; i >= 1; --i) {
            const char c = program[i];
            if (c == '"' || c == '/' || c == '\\') break;
            if (c == ' ') blank = i;
        }
        if (blank != std::string::npos) {
            params = program.substr(blank + 1) + " " + params;
            program.erase(blank);
        }
    }
    if (TrimText(program).empty())
        throw std::runtime_error("Cannot run " + ApplicationName + ": the host names no program for it");
    AddProgressMessage("Running " + program + "...", eReplace_OfSameClass);
    WriteOutputLine("    Parameters: " + params);

    TConsoleAppWrapper wrapper(
        program, params, {}, ExtractFilePath(InputFileName()),
        [this](const std::string& line) { HandleOutputLine(line); }, [](const std::string&) {}, true, true);
    struct TClearOnExit {
        TConsoleAppWrapper*& Slot;
        ~TClearOnExit() { Slot = nullptr; }
    } clear{ExecWrapper};
    ExecWrapper = &wrapper;
    const uint32_t exitCode = wrapper.Execute(kNoTimeout, false);
    FToolSignal = wrapper.TerminatingSignal();
    return exitCode;
}

TFlowRunResult TFlowStage_VendorProcess::DoRun(IDispatch* runner)
{
    ErrorsOccured = false;
    FToolSignal = 0;
    const std::string output = OutputFileName();
    const std::string backup = ChangeFileExt(output, ".~" + ExtractFileExt(output));
    if (FileExists(output)) {
        // A stale output left in place would pass for the tool's new output.
        std::error_code ec;
        fs::remove(backup, ec);
        fs::rename(output, backup, ec);
        if (ec)
            throw std::runtime_error("Cannot move the previous output " + output + " to " + backup + ": " +
                                     ec.message());
    }
    {
        TRunSurroundings surroundings(ExtractFilePath(InputFileName()));
        ExecuteTool();
    }
    if (FCancelled) return eFlowRun_Cancelled;

    if (FToolSignal != 0) {
        // The tool crashed: whatever it left behind is not a finished output.
        ErrorsOccured = true;
        const char* description = ::strsignal(FToolSignal);
        AddErrorMessage(ApplicationName + " - Ended abnormally (signal " + std::to_string(FToolSignal) +
                        (description ? std::string(", ") + description : std::string()) + ")");
    }
    TFlowRunResult result;
    if (FileExists(output)) {
        result = ErrorsOccured ? eFlowRun_Failure : eFlowRun_Success;
        if (result == eFlowRun_Success)
            AddProgressMessage(ApplicationName + " - Completed Successfully", eReplace_OfSameClass);
        else
            AddInfoMessage(ApplicationName + " - Errors Occurred");
    } else {
        AddInfoMessage(ApplicationName + " - Failed To Generate File : " + ExtractFileName(output));
        result = eFlowRun_Failure;
    }
    WriteSeparatorLine();
    return result;
}

// --- Options and command lines ------------------------------------------------------

bool TFlowStage_VendorProcess::BuildCommandLines(std::vector<std::string>* cmd, std::vector<std::string>* scr,
                                                 bool& readOnly, bool replaceMacros)
{
    bool produced = false;
    const std::string device = DeviceName();
    const std::string tool = VendorToolVersion();
    auto build = [&](std::vector<std::string>* lines, const std::string& custom, bool isCmd) {
        if (!lines) return;
        bool made;
        if (!custom.empty()) {
            *lines = SplitLines(custom);
            made = true;
        } else {
            made = Options->GetLines(isCmd, *lines, device, tool);
        }
        if (!made) return;
        for (std::string& line : *lines) line = replaceMacros ? ReplaceMacros(line) : TrimText(line);
        produced = true;
    };
    build(cmd, Options->CustomUser_Cmd, true);
    build(scr, Options->CustomUser_Scr, false);
    readOnly = true;
    return produced;
}

std::string TFlowStage_VendorProcess::CommandLineParameters()
{
    std::string result;
    std::vector<std::string> cmd, scr;
    bool readOnly = false;
    if (!BuildCommandLines(&cmd, &scr, readOnly, true)) return result;
    if (!cmd.empty()) {
        const std::string name = ReplaceMacros(Options->Commands_Filename);
        if (!name.empty()) {
            std::string folder = ExtractFilePath(InputFileName());
            if (!folder.empty()) folder = hostaccess::EnsureTrailingChar(folder, hostaccess::kPathSeparator);
            hostaccess::SaveListToHostFile(cmd, folder + name);
        }
    }
    for (const std::string& line : scr) {
        result += ' ';
        result += TrimText(line);
    }
    return result;
}

void TFlowStage_VendorProcess::LoadDefaultOptions()
{
    const std::string name = DefaultOptionsFileName();
    if (name.empty()) return;
    const std::string system = hostaccess::GetSystemFolder() + name;
    if (FileExists(system)) {
        Options->LoadOptions(system);
        return;
    }
    const std::string module = hostaccess::GetModuleFolder() + name;
    if (FileExists(module)) Options->LoadOptions(module);
}

void TFlowStage_VendorProcess::LoadProjectOptions()
{
    // A broken default option file is reported, but the project's own values
    // are still applied to the options the step already has.
    std::exception_ptr failure;
    try {
        LoadDefaultOptions();
    } catch (const EOptionFileError&) {
        failure = std::current_exception();
    }
    if (const THostObject project = GetFlowProject()) Options->LoadFromProject(project, OptionSection());
    if (failure) std::rethrow_exception(failure);
}

void TFlowStage_VendorProcess::ProjectChanged(std::string path)
{
    TFlowStage_WithDriver::ProjectChanged(std::move(path));
    LoadProjectOptions();
}

void TFlowStage_VendorProcess::EditProperties()
{
    const THostObject project = GetFlowProject();
    if (project) Options->LoadFromProject(project, OptionSection());
    if (ShowOptionsDialog() && project) Options->SaveToProject(project, OptionSection());
}

THostObject TFlowStage_VendorProcess::GetFlowProject()
{
    THostObject project = TFlowStage_WithDriver::GetFlowProject();
    if (!project) return project;
    THostObject enclosing = project.CallObject(dispid::Project_GetEnclosingProject);
    return enclosing ? enclosing : project;
}

void TFlowStage_VendorProcess::MakeConstraintsFile()
{
    const THostObject project = GetFlowProject();
    if (!project) return;
    TStringList merged;
    const int32_t count = project.CallInt(dispid::Project_GetDocumentCount);
    for (int32_t i = 0; i < count; ++i) {
        const THostObject document = project.CallObject(dispid::Project_GetDocument, {i});
        if (!document) continue;
        const std::string path = document.CallString(dispid::Document_GetFullPath);
        if (!SameText(ExtractFileExt(path), FConstraintsExt)) continue;
        const TStringList lines = ReadTextLines(path);
        merged.insert(merged.end(), lines.begin(), lines.end());
    }
    const std::string build = BuildConstraintsFileName();
    if (FileExists(build)) {
        const TStringList lines = ReadTextLines(build);
        merged.insert(merged.end(), lines.begin(), lines.end());
    }
    hostaccess::SaveListToHostFile(merged, ConstraintsFileName());
}

int32_t TFlowStage_VendorProcess::ReportCount()
{
    int32_t count = static_cast<int32_t>(FReportExtensions.size());
    for (int32_t i = 0, children = GetChildStageCount(); i < children; ++i)
        count += THostObject(GetChildStage(i)).CallInt(dispid::Flow_ReportCount);
    return count;
}

std::string TFlowStage_VendorProcess::ReportPath(int32_t index)
{
    if (index < 0 || index >= ReportCount()) return {};
    const auto own = static_cast<int32_t>(FReportExtensions.size());
    if (index < own) return ChangeFileExt(FBasePath, FReportExtensions[static_cast<size_t>(index)]);
    index -= own;
    for (int32_t i = 0, children = GetChildStageCount(); i < children; ++i) {
        const THostObject child(GetChildStage(i));
        const int32_t count = child.CallInt(dispid::Flow_ReportCount);
        if (index < count) return child.CallString(dispid::Flow_ReportPath, {index});
        index -= count;
    }
    return {};
}

} // namespace tavrel
