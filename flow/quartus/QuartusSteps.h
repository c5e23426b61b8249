// The Quartus build: the five steps (project and script, map, fit, timing
// analysis, assembler), the build group that chains them, and the download
// step that programs the device with the raw bit file.
#pragma once

#include "flow/VendorProcess.h"

#include <string>

namespace tavrel::quartus {

// What every Quartus step shares: the tools and their version, the device
// family, and the replacement of the script tokens.
class TFlowStage_Altera_Abstract : public TFlowStage_VendorProcess {
public:
    TFlowStage_Altera_Abstract(std::string inputExtension, std::string outputExtension, const std::string& reports,
                               std::string name, std::string caption, std::string description, std::string tool,
                               IDispatch* driver);

    std::string ReplaceMacros(const std::string& text) override;
    // The family of the host device the driver serves.
    std::string GetDeviceFamilyName();
    // True unless the project's synthesizer is Quartus itself.
    bool UsesExternalSynthesis();
    // The design's name: the base path's file name without folder and extension.
    std::string ProjectName() const;
    const std::string& QuartusVersion() const { return FQuartusVersion; }

    bool PLDFlow = false;

protected:
    // A version uses the old ".EQN" map and fit outputs.
    bool UsesEquationFiles() const;
    std::string FQuartusVersion;
};

class TFlowStage_Altera_MakeScriptFile : public TFlowStage_Altera_Abstract {
public:
    TFlowStage_Altera_MakeScriptFile(IDispatch* driver, bool pldFlow);
    std::string DefaultOptionsFileName() override { return "DefaultOptions_Quartus.xml"; }
    std::string ConstraintsFileName() override;
    TFlowRunResult DoRun(IDispatch* runner) override;
    std::string ProjectFileName();
    std::string ProjectExtension;
};

class TFlowStage_Altera_QuartusMap : public TFlowStage_Altera_Abstract {
public:
    explicit TFlowStage_Altera_QuartusMap(IDispatch* driver);
    std::string CommandLineParameters() override { return ProjectName(); }
    TFlowRunResult DoRun(IDispatch* runner) override;
    bool UpdateFlowState() override;
    std::string ProjectExtension;
};

class TFlowStage_Altera_QuartusFit : public TFlowStage_Altera_Abstract {
public:
    explicit TFlowStage_Altera_QuartusFit(IDispatch* driver);
    std::string CommandLineParameters() override { return ProjectName(); }
    TFlowRunResult DoRun(IDispatch* runner) override;
};

class TFlowStage_Altera_QuartusTan : public TFlowStage_Altera_Abstract {
public:
    TFlowStage_Altera_QuartusTan(IDispatch* driver, TFlowStage_Altera_MakeScriptFile* makeScriptFile);
    std::string DefaultOptionsFileName() override { return "DefaultOptions_Quartus_Tan.xml"; }
    bool UseTimeQuest();
    std::string CommandLineParameters() override;
    std::string GetOutputExtension() override;
    bool CanRun() override;
    void ProjectChanged(std::string path) override;
    TFlowRunResult DoRun(IDispatch* runner) override;

private:
    TFlowStage_Altera_MakeScriptFile* FMakeScriptFile_Stage;
};

class TFlowStage_Altera_QuartusAsm : public TFlowStage_Altera_Abstract {
public:
    TFlowStage_Altera_QuartusAsm(IDispatch* driver, TFlowStage_Altera_MakeScriptFile* makeScriptFile);
    bool UseBitstreamCompression();
    std::string CommandLineParameters() override;
    TFlowRunResult DoRun(IDispatch* runner) override;

private:
    TFlowStage_Altera_MakeScriptFile* FMakeScriptFile_Stage;
    bool FCompressBitstream = false;
};

class TProcessFlow_AlteraFPGA : public TProcessFlowCategory {
public:
    // The group with its five steps chained, held by the returned reference.
    static THostObject Create(IDispatch* driver);

private:
    TProcessFlow_AlteraFPGA();
};

class TFlowStage_Download : public TFlowStage_WithDriver {
public:
    TFlowStage_Download(std::string fileExtension, std::string caption, std::string description,
                        bool resetBeforeDownload, IDispatch* driver);
    std::string InputDescription() override;
    std::string OutputDescription() override { return {}; }
    bool ThisStage_OutputExists() override;
    TDateTime ThisStage_DateTimeUpdated() override;
    TFlowRunResult DoRun(IDispatch* runner) override;
    std::string DownloadFileName() const;

protected:
    std::string FFileExtension;
    bool FResetBeforeDownload;
    std::string FLastSuccessfulDownloadFile;
};

class TFlowStage_DownloadFPGA : public TFlowStage_Download {
public:
    TFlowStage_DownloadFPGA(std::string fileExtension, IDispatch* driver);
};

// Resets (when asked), programs and checks a device through its host object,
// reporting time and speed on the status line.
TFlowRunResult DownloadBitFile(const THostObject& device, const std::string& file, bool reset);
// The speed report of a download; a call too fast to measure reports the rate as not measurable.
std::string DownloadSpeedText(int64_t bits, int64_t milliseconds);

} // namespace tavrel::quartus
