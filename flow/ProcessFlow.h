// The implementation flow as the host sees it: a tree of runnable steps.
//
// TProcessFlowCategory is a group, TProcessFlowStage a leaf step and
// TFlowStage_WithDriver a step bound to a device driver. The host drives them
// through the flow DISPIDs (503705..503739): captions and state, the four run
// operations, Stop, the tree links and the report files. Flow objects call each
// other's internal operations through dispatch as well (509011..509023), so a
// parent, child or dependency may be any object that supports
// "ProcessFlow_Internal".
//
// A run request resets every result of the tree (BeginRun climbs to the root),
// runs the flow after what it depends on, each flow at most once, and skips up
// to date flows unless forced; EndRun marks flows left running as failed.
// UpdateFlowState sets each flow's state from the dates of its output and of
// its dependencies' outputs.
#pragma once

#include "host/AdvancedInterfaceList.h"
#include "plugin/frame/HostObject.h"
#include "plugin/frame/SupportService.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tavrel {

using com::IDispatch;

enum TFlowRunResult : uint8_t {
    eFlowRun_DidNotRun = 0,
    eFlowRun_Cancelled = 1,
    eFlowRun_Failure = 2,
    eFlowRun_Success = 3,
};

enum TProcessFlowState : uint8_t {
    eFlowState_UpToDate = 0,
    eFlowState_OutOfDate = 1,
    eFlowState_Missing = 2,
    eFlowState_None = 3,
};

// Dates as the host exchanges them: days since 1899-12-30, fractions for the time of day.
using TDateTime = double;
TDateTime CurrentDateTime();

namespace dispid {
// IProcessFlow
inline constexpr int32_t Flow_StageName = 503705;
inline constexpr int32_t Flow_StageCaption = 503706;
inline constexpr int32_t Flow_StageDescription = 503707;
inline constexpr int32_t Flow_InputDescription = 503708;
inline constexpr int32_t Flow_OutputDescription = 503709;
inline constexpr int32_t Flow_CanRun = 503710;
inline constexpr int32_t Flow_IsCategory = 503711;
inline constexpr int32_t Flow_Run = 503712;
inline constexpr int32_t Flow_RunIfOutOfDate = 503713;
inline constexpr int32_t Flow_RunAll = 503714;
inline constexpr int32_t Flow_RunWholeStage = 503715;
inline constexpr int32_t Flow_Stop = 503716;
inline constexpr int32_t Flow_UpdateFlowState = 503717;
inline constexpr int32_t Flow_FlowState = 503718;
inline constexpr int32_t Flow_IsRunning = 503719;
inline constexpr int32_t Flow_RunningStage = 503720;
inline constexpr int32_t Flow_LastRunResult = 503721;
inline constexpr int32_t Flow_ClearLastRunResult = 503722;
inline constexpr int32_t Flow_ProjectChanged = 503723;
inline constexpr int32_t Flow_SetBasePath = 503724;
inline constexpr int32_t Flow_GetBasePath = 503725;
inline constexpr int32_t Flow_CanEditProperties = 503726;
inline constexpr int32_t Flow_EditProperties = 503727;
inline constexpr int32_t Flow_ReportCount = 503728;
inline constexpr int32_t Flow_ReportPath = 503729;
inline constexpr int32_t Flow_GetParentStage = 503730;
inline constexpr int32_t Flow_SetParentStage = 503731;
inline constexpr int32_t Flow_GetChildStageCount = 503732;
inline constexpr int32_t Flow_GetChildStage = 503733;
inline constexpr int32_t Flow_ClearChildren = 503734;
inline constexpr int32_t Flow_AddChildStage = 503735;
inline constexpr int32_t Flow_GetDependenciesCount = 503736;
inline constexpr int32_t Flow_GetDependency = 503737;
inline constexpr int32_t Flow_ClearDependencies = 503738;
inline constexpr int32_t Flow_AddDependency = 503739;
// IProcessFlow_Internal
inline constexpr int32_t FlowInternal_RunStage = 509011;
inline constexpr int32_t FlowInternal_BeginRun = 509012;
inline constexpr int32_t FlowInternal_EndRun = 509013;
inline constexpr int32_t FlowInternal_BeginRootRun = 509014;
inline constexpr int32_t FlowInternal_EndRootRun = 509015;
inline constexpr int32_t FlowInternal_SetLastRunResult = 509016;
inline constexpr int32_t FlowInternal_ThisStage_OutputExists = 509017;
inline constexpr int32_t FlowInternal_ThisStage_DateTimeUpdated = 509018;
inline constexpr int32_t FlowInternal_RunDependencies = 509019;
inline constexpr int32_t FlowInternal_DependenciesOutputExist = 509020;
inline constexpr int32_t FlowInternal_DependenciesDateTimeUpdated = 509021;
inline constexpr int32_t FlowInternal_DependenciesUpToDate = 509022;
inline constexpr int32_t FlowInternal_BeforeStart = 509023;
// IProcessFlowRunner (the host's run observer)
inline constexpr int32_t Runner_StageStarting = 503740;
inline constexpr int32_t Runner_AddSummaryItem = 503741;
inline constexpr int32_t Runner_FlowRunStarted = 503743;
inline constexpr int32_t Runner_FlowRunFinished = 503744;
// Host workspace and project
inline constexpr int32_t Workspace_GetProjectByPath = 501413;
inline constexpr int32_t Workspace_OutputLine = 501423;
inline constexpr int32_t Workspace_OutputPosition = 501447;
inline constexpr int32_t Workspace_GetMessagesManager2 = 508377;
inline constexpr int32_t MessagesManager_PostRecord = 440;
inline constexpr int32_t MessagesManager_BeginBatch = 445;
inline constexpr int32_t MessagesManager_EndBatch = 446;
inline constexpr int32_t Project_GetDocument = 500039;
inline constexpr int32_t Project_GetDocumentCount = 500047;
inline constexpr int32_t Project_GetPath = 500062;
inline constexpr int32_t Project_GetEnclosingProject = 500134;
inline constexpr int32_t Document_GetFullPath = 500331;
// Driver
inline constexpr int32_t Driver_GetDeviceName = 503380;
inline constexpr int32_t Driver_GetVendorName = 503407;
// The host client operation that runs the host's message loop once.
inline constexpr int32_t Client_ProcessMessages = 60001;
} // namespace dispid

// Runs the host's message loop once (the client's own operation); nothing
// without a host client.
void ProcessHostMessages();

// A message for the host's message panel (and the status bar), posted by flows.
enum TMessageReplaceMode : int32_t {
    eReplace_None = 0,
    eReplace_IfSameClass = 1, // "ReplaceLastMessageIfSameClass=True"
    eReplace_OfSameClass = 2, // "ReplaceLastMessageOfSameClass=True"
};

// The message record handed to the messages manager. A "|" inside a field
// would end the field early (the record has no escape), so it is shown as "¦".
std::string FormatFlowMessageRecord(const std::string& messageClass, const std::string& text,
                                    const std::string& source, const std::string& document,
                                    const std::string& callBackProcess, int32_t imageIndex,
                                    TMessageReplaceMode replaceMode);

// One info line in the message panel and the output panel (used by the download step).
void ShowFlowStatus(const std::string& text);

// The host-facing flow interface: the operations behind DISPIDs 503705..503739.
class TAbstractProcessFlow : public TAbstractSupportService {
public:
    bool SupportsServiceName(std::string_view name) const override;

    virtual std::string StageName() = 0;
    virtual std::string StageCaption() = 0;
    virtual std::string StageDescription() = 0;
    virtual std::string InputDescription() = 0;
    virtual std::string OutputDescription() = 0;
    virtual bool CanRun() = 0;
    virtual bool IsCategory() = 0;
    virtual int32_t Run(IDispatch* runner) = 0;
    virtual int32_t RunIfOutOfDate(IDispatch* runner) = 0;
    virtual int32_t RunAll(IDispatch* runner) = 0;
    virtual int32_t RunWholeStage(IDispatch* runner) = 0;
    virtual void Stop() = 0;
    virtual bool UpdateFlowState() = 0;
    virtual int32_t FlowState() = 0;
    virtual bool IsRunning() = 0;
    virtual IDispatch* RunningStage() = 0;
    virtual int32_t LastRunResult() = 0;
    virtual void ClearLastRunResult() = 0;
    virtual void ProjectChanged(std::string path) = 0;
    virtual void SetBasePath(std::string path) = 0;
    virtual std::string GetBasePath() = 0;
    virtual bool CanEditProperties() = 0;
    virtual void EditProperties() = 0;
    virtual int32_t ReportCount() = 0;
    virtual std::string ReportPath(int32_t index) = 0;
    virtual IDispatch* GetParentStage() = 0;
    virtual void SetParentStage(IDispatch* flow) = 0;
    virtual int32_t GetChildStageCount() = 0;
    virtual IDispatch* GetChildStage(int32_t index) = 0;
    virtual void ClearChildren() = 0;
    virtual void AddChildStage(IDispatch* flow) = 0;
    virtual int32_t GetDependenciesCount() = 0;
    virtual IDispatch* GetDependency(int32_t index) = 0;
    virtual void ClearDependencies() = 0;
    virtual void AddDependency(IDispatch* flow) = 0;

protected:
    HRESULT DispatchInvoke(int32_t dispid, const TInvokeContext& context) override;
};

// The common flow object: fields, the run engine and the internal protocol.
class TTavrelAbstractProcessFlow : public TAbstractProcessFlow {
public:
    TTavrelAbstractProcessFlow(std::string name, std::string caption, std::string description);
    ~TTavrelAbstractProcessFlow() override;

    bool SupportsServiceName(std::string_view name) const override;

    // --- IProcessFlow -----------------------------------------------------------
    std::string StageName() override { return FStageName; }
    std::string StageCaption() override { return FStageCaption; }
    std::string StageDescription() override { return FStageDescription; }
    int32_t Run(IDispatch* runner) override { return RunOperation(runner, true, false, false); }
    int32_t RunIfOutOfDate(IDispatch* runner) override { return RunOperation(runner, false, false, false); }
    int32_t RunAll(IDispatch* runner) override { return RunOperation(runner, true, true, true); }
    int32_t RunWholeStage(IDispatch* runner) override { return RunOperation(runner, false, true, false); }
    void Stop() override;
    int32_t FlowState() override { return FFlowState; }
    bool IsRunning() override { return FRunning; }
    IDispatch* RunningStage() override;
    int32_t LastRunResult() override { return FLastResult; }
    void ClearLastRunResult() override;
    void ProjectChanged(std::string path) override { FProjectPath = std::move(path); }
    void SetBasePath(std::string path) override;
    std::string GetBasePath() override { return FBasePath; }
    bool CanEditProperties() override { return false; }
    void EditProperties() override {}
    int32_t ReportCount() override { return 0; }
    std::string ReportPath(int32_t) override { return {}; }
    IDispatch* GetParentStage() override { return FParent; }
    void SetParentStage(IDispatch* flow) override;
    int32_t GetChildStageCount() override { return 0; }
    IDispatch* GetChildStage(int32_t) override { return nullptr; }
    void ClearChildren() override {}
    void AddChildStage(IDispatch*) override {}
    int32_t GetDependenciesCount() override { return FDependencies.Count(); }
    IDispatch* GetDependency(int32_t index) override;
    void ClearDependencies() override { FDependencies.Clear(); }
    void AddDependency(IDispatch* flow) override;

    // --- Internal operations ----------------------------------------------------
    virtual TFlowRunResult ExecuteStage(IDispatch* runner, bool all, bool wholeStage, bool force) = 0;
    virtual THostObject GetFlowProject();
    virtual TFlowRunResult RunStage(bool force, bool wholeStage, bool all, IDispatch* runner);
    virtual void BeginRun();
    virtual void EndRun();
    virtual void BeginRootRun() { ClearLastRunResult(); }
    virtual void EndRootRun();
    virtual void SetLastRunResult(TFlowRunResult result);
    virtual bool ThisStage_OutputExists() = 0;
    virtual TDateTime ThisStage_DateTimeUpdated() = 0;
    virtual TFlowRunResult RunDependencies(bool all, IDispatch* runner);
    virtual bool DependenciesOutputExist();
    virtual TDateTime DependenciesDateTimeUpdated();
    virtual bool DependenciesUpToDate();
    virtual void BeforeStart() {}

    // --- Messages to the host's output and message panels ------------------------
    void WriteOutputLine(const std::string& text);
    void WriteSeparatorLine();
    void PostFlowMessage(const std::string& text, const std::string& messageClass,
                         const std::string& callBackParameters, const std::string& callBackProcess,
                         TMessageReplaceMode replaceMode, int32_t imageIndex);
    void AddErrorMessage(const std::string& text, TMessageReplaceMode replaceMode = eReplace_None,
                         const std::string& callBackParameters = {}, const std::string& callBackProcess = {});
    void AddWarningMessage(const std::string& text, TMessageReplaceMode replaceMode = eReplace_None,
                           const std::string& callBackParameters = {}, const std::string& callBackProcess = {});
    void AddInfoMessage(const std::string& text, TMessageReplaceMode replaceMode = eReplace_None,
                        const std::string& callBackParameters = {}, const std::string& callBackProcess = {});
    void AddProgressMessage(const std::string& text, TMessageReplaceMode replaceMode = eReplace_None,
                            const std::string& callBackParameters = {}, const std::string& callBackProcess = {});

    // The run observer's summary entry (reports of the map, fit and timing steps).
    static void AddSummaryItem(IDispatch* runner, const std::string& section, const std::string& item,
                               const std::string& reportFile, const std::string& value);

    const std::string& ProjectPath() const { return FProjectPath; }
    bool Cancelled() const { return FCancelled; }

protected:
    // One of the four run operations: the observer's brackets around BeginRun,
    // RunStage and EndRun; EndRun and FlowRunFinished also when the run fails.
    int32_t RunOperation(IDispatch* runner, bool force, bool wholeStage, bool all);
    // True when a flow of this tree is running (a second run request is refused).
    bool TreeIsRunning();
    // Keeps a flow from running into itself through its dependencies or parents.
    class TReentryGuard;

    std::string FStageName;
    std::string FStageCaption;
    std::string FStageDescription;
    std::string FBasePath;
    // The group this flow sits in. Not counted: the group holds its children and
    // clears their parent when it lets them go, so no reference cycle keeps both alive.
    IDispatch* FParent = nullptr;
    host::TAdvancedInterfaceList FDependencies;
    bool FRunning = false;
    bool FCancelled = false;
    TFlowRunResult FLastResult = eFlowRun_DidNotRun;
    TProcessFlowState FFlowState = eFlowState_Missing;
    std::string FProjectPath;
    uint32_t FActiveOperations = 0; // bits of the guarded operations on the stack

public:
    // Dispatch forms of the internal operations (IProcessFlow_Internal).
    int32_t RunStageForDispatch(bool force, bool wholeStage, bool all, IDispatch* runner);
    void SetLastRunResultForDispatch(int32_t result);
    int32_t RunDependenciesForDispatch(bool all, IDispatch* runner);
    void BeginRunForDispatch() { BeginRun(); }
    void EndRunForDispatch() { EndRun(); }
    void BeginRootRunForDispatch() { BeginRootRun(); }
    void EndRootRunForDispatch() { EndRootRun(); }
    bool ThisStage_OutputExistsForDispatch() { return ThisStage_OutputExists(); }
    double ThisStage_DateTimeUpdatedForDispatch() { return ThisStage_DateTimeUpdated(); }
    bool DependenciesOutputExistForDispatch() { return DependenciesOutputExist(); }
    double DependenciesDateTimeUpdatedForDispatch() { return DependenciesDateTimeUpdated(); }
    bool DependenciesUpToDateForDispatch() { return DependenciesUpToDate(); }
    void BeforeStartForDispatch() { BeforeStart(); }

protected:
    HRESULT DispatchInvoke(int32_t dispid, const TInvokeContext& context) override;
};

// A group of flows, kept in dependency order.
class TProcessFlowCategory : public TTavrelAbstractProcessFlow {
public:
    TProcessFlowCategory(std::string name, std::string caption, std::string description, std::string inputDesc,
                         std::string outputDesc);
    ~TProcessFlowCategory() override;

    std::string InputDescription() override { return FInputDesc; }
    std::string OutputDescription() override { return FOutputDesc; }
    bool CanRun() override { return FChildren.Count() > 0; }
    bool IsCategory() override { return true; }
    void Stop() override;
    bool UpdateFlowState() override;
    bool IsRunning() override;
    IDispatch* RunningStage() override;
    void ClearLastRunResult() override;
    void ProjectChanged(std::string path) override;
    void SetBasePath(std::string path) override;
    int32_t GetChildStageCount() override { return FChildren.Count(); }
    IDispatch* GetChildStage(int32_t index) override;
    void ClearChildren() override;
    void AddChildStage(IDispatch* flow) override;

    TFlowRunResult ExecuteStage(IDispatch* runner, bool all, bool wholeStage, bool force) override;
    void EndRootRun() override;
    bool ThisStage_OutputExists() override;
    TDateTime ThisStage_DateTimeUpdated() override;
    void BeforeStart() override;

    // Orders a before b when b depends on a, directly or through a chain.
    static int CompareFlows(com::IUnknown* a, com::IUnknown* b);

protected:
    // True when a runnable child of this group lists `child` among its own dependencies.
    bool IsDependencyOfSibling(IDispatch* child);
    std::vector<THostObject> Children() const;

    host::TAdvancedInterfaceList FChildren;
    THostObject FRunningStageAnswer; // keeps the object RunningStage last answered alive
    std::string FInputDesc;
    std::string FOutputDesc;
};

// A leaf step; DoRun does its work.
class TProcessFlowStage : public TTavrelAbstractProcessFlow {
public:
    using TTavrelAbstractProcessFlow::TTavrelAbstractProcessFlow;

    bool CanRun() override { return true; }
    bool IsCategory() override { return false; }
    bool UpdateFlowState() override;

    TFlowRunResult ExecuteStage(IDispatch* runner, bool all, bool wholeStage, bool force) override
    {
        return DoRun(runner);
    }

    virtual TFlowRunResult DoRun(IDispatch* runner) = 0;
    // The driver this step works for (none for a plain step).
    virtual THostObject Driver() const { return {}; }
    // The installed version of the driver's vendor tools (empty for a plain step).
    virtual std::string VendorToolVersion() { return {}; }
    // The command-file (cmd) and command-line (scr) texts of the step's tool;
    // true when either was produced.
    virtual bool BuildCommandLines(std::vector<std::string>* cmd, std::vector<std::string>* scr, bool& readOnly,
                                   bool replaceMacros)
    {
        readOnly = true;
        return false;
    }
};

// A step bound to a device driver; the driver outlives its flows, so the
// pointer is not counted.
class TFlowStage_WithDriver : public TProcessFlowStage {
public:
    TFlowStage_WithDriver(IDispatch* driver, std::string name, std::string caption, std::string description);

    THostObject Driver() const override { return THostObject(FDriver); }
    std::string VendorToolVersion() override;

protected:
    IDispatch* FDriver;
};

} // namespace tavrel
