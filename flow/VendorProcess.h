// A flow step that runs one vendor tool as a console program.
//
// The step's files are the design's base path with the step's extensions: the
// input (its folder is the tool's working folder), the output whose existence
// and date make the step's state, and the reports. A run moves an existing
// output to a backup name (design.MAP.RPT -> design.MAP.~.RPT), starts the tool
// with the command line built from the step's options, turns every output line
// into the output panel and, for lines starting with ERROR, WARNING, CRITICAL
// WARNING or INFO, into messages, and succeeds when the tool produced its
// output without printing an error.
#pragma once

#include "flow/ConsoleAppWrapper.h"
#include "flow/ProcessFlow.h"
#include "options/FPGAOptions.h"

#include <memory>
#include <string>

namespace tavrel {

class TFlowStage_VendorProcess : public TFlowStage_WithDriver {
public:
    // reportExtensions: comma-separated.
    TFlowStage_VendorProcess(std::string inputExtension, std::string outputExtension,
                             const std::string& reportExtensions, std::string name, std::string caption,
                             std::string description, std::string applicationName, std::string applicationPath,
                             IDispatch* driver);
    ~TFlowStage_VendorProcess() override;

    // --- IProcessFlow --------------------------------------------------------------
    std::string InputDescription() override { return ExtractName(InputFileName()); }
    std::string OutputDescription() override { return ExtractName(OutputFileName()); }
    // Also ends the running tool at once.
    void Stop() override;
    // Stores the path, then loads the default options and the project's values.
    void ProjectChanged(std::string path) override;
    bool CanEditProperties() override { return Options->GetOptionCount() > 0; }
    void EditProperties() override;
    int32_t ReportCount() override;
    std::string ReportPath(int32_t index) override;

    // --- Flow operations ------------------------------------------------------------
    // The workspace's project at the project path, or the project the host encloses it in.
    THostObject GetFlowProject() override;
    bool ThisStage_OutputExists() override;
    TDateTime ThisStage_DateTimeUpdated() override;
    TFlowRunResult DoRun(IDispatch* runner) override;
    bool BuildCommandLines(std::vector<std::string>* cmd, std::vector<std::string>* scr, bool& readOnly,
                           bool replaceMacros) override;

    // --- Vendor tool operations -----------------------------------------------------
    // A line the user's ignore list names (any letter case) gives no message.
    virtual bool IsLineIgnored(const std::string& line);
    // Writes one tool line to the output and classifies it: 0 plain, 1 info,
    // 2 warning, 3 error. Nothing happens without a host workspace.
    virtual int32_t HandleOutputLine(const std::string& line);
    virtual std::string InputFileName();
    virtual std::string OutputFileName();
    // The tool's arguments: the command-line text of the options, each line
    // after a blank; writes the command file when the options give one.
    virtual std::string CommandLineParameters();
    virtual std::string ReplaceMacros(const std::string& text) { return text; }
    virtual std::string DefaultOptionsFileName() { return {}; }
    virtual std::string ConstraintsFileName();
    virtual std::string BuildConstraintsFileName();
    // The default option file from the host's system folder, else from this
    // module's folder; raises EOptionFileError for a file that is not XML.
    virtual void LoadDefaultOptions();
    virtual void LoadProjectOptions();
    // Merges the project's constraint documents and the "_BUILD" file into the
    // step's constraint file.
    virtual void MakeConstraintsFile();
    // Runs the tool and returns its exit code.
    virtual uint32_t ExecuteTool();
    virtual std::string GetInputExtension() { return FInputExtension; }
    virtual void SetInputExtension(const std::string& extension) { FInputExtension = extension; }
    virtual std::string GetOutputExtension() { return FOutputExtension; }
    virtual void SetOutputExtension(const std::string& extension) { FOutputExtension = extension; }
    // Shows the options dialog for the step's options; true when confirmed.
    virtual bool ShowOptionsDialog() { return false; }

    // The project-storage section of the step's options.
    std::string OptionSection() const { return FStageName + ApplicationName; }
    // The device name and tool version the options are made for.
    std::string DeviceName() const;

    std::string ApplicationName;
    std::string ApplicationPath;
    std::string FConstraintsExt;
    TStringList FReportExtensions;
    std::unique_ptr<TFPGAOptions> Options;
    TStringList LinesToIgnore;
    TConsoleAppWrapper* ExecWrapper = nullptr;
    bool ErrorsOccured = false;

protected:
    static std::string ExtractName(const std::string& path);

    std::string FInputExtension;
    std::string FOutputExtension;
    int FToolSignal = 0; // the signal that ended the last tool run, 0 when it exited
    TStringList FIgnoreSource; // LinesToIgnore as last compared ...
    TStringList FIgnoreUpper;  // ... and in upper case
};

} // namespace tavrel
