#include "flow/ProcessFlow.h"

#include "host/HostAccess.h"
#include "host/VendorTools.h"
#include "plugin/com/Bstr.h"
#include "plugin/com/Variant.h"
#include "plugin/frame/DispatchTable.h"

#include <chrono>
#include <set>
#include <stdexcept>

namespace tavrel {

namespace {

// Deepest tree walked when climbing parents: guards against a foreign object
// that lists itself among its ancestors.
constexpr int kMaxTreeDepth = 256;

// Operations that follow dependencies, parents or children: each may be on the
// stack only once per flow, so a circular definition ends in an error instead
// of endless recursion.
enum : uint32_t {
    kOp_RunStage = 1u << 0,
    kOp_RunDependencies = 1u << 1,
    kOp_DependenciesOutputExist = 1u << 2,
    kOp_DependenciesDateTime = 1u << 3,
    kOp_DependenciesUpToDate = 1u << 4,
    kOp_OutputExists = 1u << 5,
    kOp_DateTime = 1u << 6,
};

THostObject Ref(com::IUnknown* item) { return THostObject(static_cast<IDispatch*>(item)); }

TFlowRunResult AsRunResult(int32_t value)
{
    return value >= eFlowRun_DidNotRun && value <= eFlowRun_Success ? static_cast<TFlowRunResult>(value)
                                                                    : eFlowRun_Failure;
}

// A date answered by another flow (a double; no arguments).
TDateTime CallDate(const THostObject& flow, int32_t dispid)
{
    if (!flow) return 0;
    com::DISPPARAMS params{nullptr, nullptr, 0, 0};
    com::TVariant result;
    com::EXCEPINFO info{};
    const HRESULT hr =
        flow.Get()->Invoke(dispid, com::IID_NULL, 0, com::DISPATCH_METHOD, &params, &result, &info, nullptr);
    std::string description = com::BstrToUtf8(info.bstrDescription);
    com::BstrFree(info.bstrDescription);
    com::BstrFree(info.bstrSource);
    com::BstrFree(info.bstrHelpFile);
    if (com::Failed(hr))
        throw THostCallError(description.empty() ? "Operation " + std::to_string(dispid) + " failed" : description);
    return result.vt == com::VT_EMPTY ? 0 : com::VariantToDouble(result);
}

// Holds one reference on an object for the length of a call, so a host that
// releases the flow while its message loop runs inside the call cannot free it.
class TKeepAlive {
public:
    explicit TKeepAlive(TAbstractSupportService* object) : FObject(object) { FObject->AddRef(); }
    ~TKeepAlive() { FObject->Release(); }
    TKeepAlive(const TKeepAlive&) = delete;
    TKeepAlive& operator=(const TKeepAlive&) = delete;

private:
    TAbstractSupportService* FObject;
};

// True when `ancestor` is `flow` or one of its parents.
bool IsSelfOrAncestor(const THostObject& flow, IDispatch* ancestor)
{
    THostObject current = flow;
    for (int depth = 0; current && depth < kMaxTreeDepth; ++depth) {
        if (current.Get() == ancestor) return true;
        current = current.CallObject(dispid::Flow_GetParentStage);
    }
    return false;
}

// True when `a` depends on `b`, directly or through a chain of dependencies.
bool DependsOn(const THostObject& a, IDispatch* b, std::set<IDispatch*>& visited)
{
    if (!visited.insert(a.Get()).second) return false;
    const int32_t count = a.CallInt(dispid::Flow_GetDependenciesCount);
    for (int32_t i = 0; i < count; ++i) {
        const THostObject dependency = a.CallObject(dispid::Flow_GetDependency, {i});
        if (!dependency) continue;
        if (dependency.Get() == b || DependsOn(dependency, b, visited)) return true;
    }
    return false;
}

constexpr double kUnixEpochDays = 25569.0; // 1970-01-01 as a host date

} // namespace

TDateTime CurrentDateTime()
{
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return kUnixEpochDays + std::chrono::duration<double>(now).count() / 86400.0;
}

// --- Dispatch tables ----------------------------------------------------------------------

namespace {

using F = TAbstractProcessFlow;
using I = TTavrelAbstractProcessFlow;

constexpr TDispatchRow kProcessFlowTable[] = {
    {dispid::Flow_StageName, &Thunk<&F::StageName>},
    {dispid::Flow_StageCaption, &Thunk<&F::StageCaption>},
    {dispid::Flow_StageDescription, &Thunk<&F::StageDescription>},
    {dispid::Flow_InputDescription, &Thunk<&F::InputDescription>},
    {dispid::Flow_OutputDescription, &Thunk<&F::OutputDescription>},
    {dispid::Flow_CanRun, &Thunk<&F::CanRun>},
    {dispid::Flow_IsCategory, &Thunk<&F::IsCategory>},
    {dispid::Flow_Run, &Thunk<&F::Run>},
    {dispid::Flow_RunIfOutOfDate, &Thunk<&F::RunIfOutOfDate>},
    {dispid::Flow_RunAll, &Thunk<&F::RunAll>},
    {dispid::Flow_RunWholeStage, &Thunk<&F::RunWholeStage>},
    {dispid::Flow_Stop, &Thunk<&F::Stop>},
    {dispid::Flow_UpdateFlowState, &Thunk<&F::UpdateFlowState>},
    {dispid::Flow_FlowState, &Thunk<&F::FlowState>},
    {dispid::Flow_IsRunning, &Thunk<&F::IsRunning>},
    {dispid::Flow_RunningStage, &Thunk<&F::RunningStage>},
    {dispid::Flow_LastRunResult, &Thunk<&F::LastRunResult>},
    {dispid::Flow_ClearLastRunResult, &Thunk<&F::ClearLastRunResult>},
    {dispid::Flow_ProjectChanged, &Thunk<&F::ProjectChanged>},
    {dispid::Flow_SetBasePath, &Thunk<&F::SetBasePath>},
    {dispid::Flow_GetBasePath, &Thunk<&F::GetBasePath>},
    {dispid::Flow_CanEditProperties, &Thunk<&F::CanEditProperties>},
    {dispid::Flow_EditProperties, &Thunk<&F::EditProperties>},
    {dispid::Flow_ReportCount, &Thunk<&F::ReportCount>},
    {dispid::Flow_ReportPath, &Thunk<&F::ReportPath>},
    {dispid::Flow_GetParentStage, &Thunk<&F::GetParentStage>},
    {dispid::Flow_SetParentStage, &Thunk<&F::SetParentStage>},
    {dispid::Flow_GetChildStageCount, &Thunk<&F::GetChildStageCount>},
    {dispid::Flow_GetChildStage, &Thunk<&F::GetChildStage>},
    {dispid::Flow_ClearChildren, &Thunk<&F::ClearChildren>},
    {dispid::Flow_AddChildStage, &Thunk<&F::AddChildStage>},
    {dispid::Flow_GetDependenciesCount, &Thunk<&F::GetDependenciesCount>},
    {dispid::Flow_GetDependency, &Thunk<&F::GetDependency>},
    {dispid::Flow_ClearDependencies, &Thunk<&F::ClearDependencies>},
    {dispid::Flow_AddDependency, &Thunk<&F::AddDependency>},
};

constexpr TDispatchRow kFlowInternalTable[] = {
    {dispid::FlowInternal_RunStage, &Thunk<&I::RunStageForDispatch>},
    {dispid::FlowInternal_BeginRun, &Thunk<&I::BeginRunForDispatch>},
    {dispid::FlowInternal_EndRun, &Thunk<&I::EndRunForDispatch>},
    {dispid::FlowInternal_BeginRootRun, &Thunk<&I::BeginRootRunForDispatch>},
    {dispid::FlowInternal_EndRootRun, &Thunk<&I::EndRootRunForDispatch>},
    {dispid::FlowInternal_SetLastRunResult, &Thunk<&I::SetLastRunResultForDispatch>},
    {dispid::FlowInternal_ThisStage_OutputExists, &Thunk<&I::ThisStage_OutputExistsForDispatch>},
    {dispid::FlowInternal_ThisStage_DateTimeUpdated, &Thunk<&I::ThisStage_DateTimeUpdatedForDispatch>},
    {dispid::FlowInternal_RunDependencies, &Thunk<&I::RunDependenciesForDispatch>},
    {dispid::FlowInternal_DependenciesOutputExist, &Thunk<&I::DependenciesOutputExistForDispatch>},
    {dispid::FlowInternal_DependenciesDateTimeUpdated, &Thunk<&I::DependenciesDateTimeUpdatedForDispatch>},
    {dispid::FlowInternal_DependenciesUpToDate, &Thunk<&I::DependenciesUpToDateForDispatch>},
    {dispid::FlowInternal_BeforeStart, &Thunk<&I::BeforeStartForDispatch>},
};

} // namespace

bool TAbstractProcessFlow::SupportsServiceName(std::string_view name) const
{
    return TAbstractSupportService::SupportsServiceName(name) || SameText(name, "ProcessFlow");
}

HRESULT TAbstractProcessFlow::DispatchInvoke(int32_t dispid, const TInvokeContext& context)
{
    TAVREL_DISPATCH_WITH_TABLE(kProcessFlowTable, TAbstractSupportService);
}

bool TTavrelAbstractProcessFlow::SupportsServiceName(std::string_view name) const
{
    return TAbstractProcessFlow::SupportsServiceName(name) ||
           SameTextAny(name, {"ProcessFlow_Internal", "ProcessFlow_CustomEventsOnly"});
}

HRESULT TTavrelAbstractProcessFlow::DispatchInvoke(int32_t dispid, const TInvokeContext& context)
{
    TAVREL_DISPATCH_WITH_TABLE(kFlowInternalTable, TAbstractProcessFlow);
}

// --- Common flow object -------------------------------------------------------------------

class TTavrelAbstractProcessFlow::TReentryGuard {
public:
    TReentryGuard(TTavrelAbstractProcessFlow& flow, uint32_t operation) : FFlow(flow), FOperation(operation)
    {
        if (flow.FActiveOperations & operation) {
            if (operation == kOp_RunStage)
                throw std::runtime_error("The flow stage \"" + flow.FStageName + "\" is already running");
            throw std::runtime_error("The flow stage \"" + flow.FStageName + "\" depends on itself");
        }
        flow.FActiveOperations |= operation;
    }
    ~TReentryGuard() { FFlow.FActiveOperations &= ~FOperation; }
    TReentryGuard(const TReentryGuard&) = delete;
    TReentryGuard& operator=(const TReentryGuard&) = delete;

private:
    TTavrelAbstractProcessFlow& FFlow;
    uint32_t FOperation;
};

TTavrelAbstractProcessFlow::TTavrelAbstractProcessFlow(std::string name, std::string caption, std::string description)
    : FStageName(std::move(name)), FStageCaption(std::move(caption)), FStageDescription(std::move(description))
{
}

TTavrelAbstractProcessFlow::~TTavrelAbstractProcessFlow() { FDependencies.Clear(); }

void TTavrelAbstractProcessFlow::Stop() { FCancelled = true; }

IDispatch* TTavrelAbstractProcessFlow::RunningStage() { return IsRunning() ? AsDispatch() : nullptr; }

void TTavrelAbstractProcessFlow::ClearLastRunResult()
{
    FCancelled = false;
    FLastResult = eFlowRun_DidNotRun;
}

void TTavrelAbstractProcessFlow::SetBasePath(std::string path) { FBasePath = std::move(path); }

void TTavrelAbstractProcessFlow::SetParentStage(IDispatch* flow)
{
    if (flow && IsSelfOrAncestor(THostObject(flow), AsDispatch()))
        throw std::runtime_error("The flow stage \"" + FStageName + "\" cannot be placed inside itself");
    FParent = flow;
}

IDispatch* TTavrelAbstractProcessFlow::GetDependency(int32_t index)
{
    if (index < 0 || index >= FDependencies.Count()) return nullptr;
    return static_cast<IDispatch*>(FDependencies.Items(index));
}

void TTavrelAbstractProcessFlow::AddDependency(IDispatch* flow) { FDependencies.Add(flow); }

THostObject TTavrelAbstractProcessFlow::GetFlowProject()
{
    const THostObject workspace = hostaccess::GetWorkspace();
    if (!workspace) return {};
    return workspace.CallObject(dispid::Workspace_GetProjectByPath, {FProjectPath});
}

bool TTavrelAbstractProcessFlow::TreeIsRunning()
{
    THostObject root(AsDispatch());
    for (int depth = 0; depth < kMaxTreeDepth; ++depth) {
        THostObject parent = root.CallObject(dispid::Flow_GetParentStage);
        if (!parent) break;
        root = std::move(parent);
    }
    return root.CallBool(dispid::Flow_IsRunning);
}

int32_t TTavrelAbstractProcessFlow::RunOperation(IDispatch* runnerObject, bool force, bool wholeStage, bool all)
{
    TKeepAlive keepAlive(this);
    if (TreeIsRunning()) throw std::runtime_error("The flow \"" + FStageName + "\" is already running");
    const THostObject runner(runnerObject);
    runner.Call(dispid::Runner_FlowRunStarted);
    TFlowRunResult result = eFlowRun_DidNotRun;
    try {
        BeginRun();
        result = RunStage(force, wholeStage, all, runnerObject);
    } catch (...) {
        // The run failed: the tree is still cleaned up and the observer told.
        try {
            EndRun();
        } catch (...) {
        }
        try {
            runner.Call(dispid::Runner_FlowRunFinished);
        } catch (...) {
        }
        throw;
    }
    EndRun();
    runner.Call(dispid::Runner_FlowRunFinished);
    return result;
}

TFlowRunResult TTavrelAbstractProcessFlow::RunStage(bool force, bool wholeStage, bool all, IDispatch* runner)
{
    TReentryGuard guard(*this, kOp_RunStage);
    if (!force && !wholeStage && !all && FFlowState == eFlowState_UpToDate) {
        FLastResult = eFlowRun_Success;
        THostObject(FParent).Call(dispid::FlowInternal_SetLastRunResult, {int32_t{eFlowRun_Success}});
        return eFlowRun_Success;
    }
    TFlowRunResult result = RunDependencies(all, runner);
    if (result != eFlowRun_Success) return result;
    if (FCancelled) {
        result = eFlowRun_Cancelled;
    } else {
        FRunning = true;
        THostObject(runner).Call(dispid::Runner_StageStarting, {AsDispatch()});
        result = ExecuteStage(runner, all, wholeStage, force);
        FRunning = false;
    }
    FLastResult = result;
    THostObject(FParent).Call(dispid::FlowInternal_SetLastRunResult, {int32_t{result}});
    return result;
}

void TTavrelAbstractProcessFlow::BeginRun()
{
    if (FParent) THostObject(FParent).Call(dispid::FlowInternal_BeginRun);
    else BeginRootRun();
}

void TTavrelAbstractProcessFlow::EndRun()
{
    if (FParent) THostObject(FParent).Call(dispid::FlowInternal_EndRun);
    else EndRootRun();
}

void TTavrelAbstractProcessFlow::EndRootRun()
{
    if (FRunning) FLastResult = eFlowRun_Failure;
    FRunning = false;
}

void TTavrelAbstractProcessFlow::SetLastRunResult(TFlowRunResult result)
{
    FLastResult = result;
    THostObject(FParent).Call(dispid::FlowInternal_SetLastRunResult, {int32_t{result}});
}

TFlowRunResult TTavrelAbstractProcessFlow::RunDependencies(bool all, IDispatch* runner)
{
    TReentryGuard guard(*this, kOp_RunDependencies);
    if (FDependencies.Count() == 0) {
        if (FParent)
            return AsRunResult(THostObject(FParent).CallInt(dispid::FlowInternal_RunDependencies, {all, runner}));
        return eFlowRun_Success;
    }
    TFlowRunResult result = eFlowRun_Success;
    std::set<IDispatch*> started; // a dependency that ran but left no result is not run twice
    while (result == eFlowRun_Success) {
        THostObject next;
        for (int32_t i = 0; i < FDependencies.Count() && !next; ++i) {
            THostObject dependency = Ref(FDependencies.Items(i));
            if (!started.count(dependency.Get()) &&
                dependency.CallInt(dispid::Flow_LastRunResult) == eFlowRun_DidNotRun)
                next = std::move(dependency);
        }
        if (!next) break;
        // After a stop request the next dependency is not started, and the walk is cancelled.
        if (FCancelled) {
            result = eFlowRun_Cancelled;
            break;
        }
        started.insert(next.Get());
        result = AsRunResult(next.CallInt(dispid::FlowInternal_RunStage, {false, all, all, runner}));
    }
    return result;
}

bool TTavrelAbstractProcessFlow::DependenciesOutputExist()
{
    TReentryGuard guard(*this, kOp_DependenciesOutputExist);
    if (FDependencies.Count() == 0)
        return !FParent || THostObject(FParent).CallBool(dispid::FlowInternal_DependenciesOutputExist);
    for (int32_t i = 0; i < FDependencies.Count(); ++i)
        if (!Ref(FDependencies.Items(i)).CallBool(dispid::FlowInternal_ThisStage_OutputExists)) return false;
    return true;
}

TDateTime TTavrelAbstractProcessFlow::DependenciesDateTimeUpdated()
{
    TReentryGuard guard(*this, kOp_DependenciesDateTime);
    if (FDependencies.Count() == 0) {
        if (!FParent) return 0;
        return CallDate(THostObject(FParent), dispid::FlowInternal_DependenciesDateTimeUpdated);
    }
    if (!DependenciesOutputExist()) return 0;
    TDateTime latest = 0;
    for (int32_t i = 0; i < FDependencies.Count(); ++i) {
        const THostObject dependency = Ref(FDependencies.Items(i));
        // A dependency that is running now is about to change its output.
        const TDateTime date = dependency.CallBool(dispid::Flow_IsRunning)
                                   ? CurrentDateTime()
                                   : CallDate(dependency, dispid::FlowInternal_ThisStage_DateTimeUpdated);
        if (i == 0 || date > latest) latest = date;
    }
    return latest;
}

bool TTavrelAbstractProcessFlow::DependenciesUpToDate()
{
    TReentryGuard guard(*this, kOp_DependenciesUpToDate);
    if (FDependencies.Count() == 0)
        return !FParent || THostObject(FParent).CallBool(dispid::FlowInternal_DependenciesUpToDate);
    for (int32_t i = 0; i < FDependencies.Count(); ++i)
        if (Ref(FDependencies.Items(i)).CallInt(dispid::Flow_FlowState) != eFlowState_UpToDate) return false;
    return true;
}

int32_t TTavrelAbstractProcessFlow::RunStageForDispatch(bool force, bool wholeStage, bool all, IDispatch* runner)
{
    return RunStage(force, wholeStage, all, runner);
}

void TTavrelAbstractProcessFlow::SetLastRunResultForDispatch(int32_t result)
{
    if (result < eFlowRun_DidNotRun || result > eFlowRun_Success)
        throw std::runtime_error("Invalid flow run result " + std::to_string(result));
    SetLastRunResult(static_cast<TFlowRunResult>(result));
}

int32_t TTavrelAbstractProcessFlow::RunDependenciesForDispatch(bool all, IDispatch* runner)
{
    return RunDependencies(all, runner);
}

void TTavrelAbstractProcessFlow::AddSummaryItem(IDispatch* runner, const std::string& section, const std::string& item,
                                                const std::string& reportFile, const std::string& value)
{
    THostObject(runner).Call(dispid::Runner_AddSummaryItem, {section, item, reportFile, value});
}

// --- Group --------------------------------------------------------------------------------

TProcessFlowCategory::TProcessFlowCategory(std::string name, std::string caption, std::string description,
                                           std::string inputDesc, std::string outputDesc)
    : TTavrelAbstractProcessFlow(std::move(name), std::move(caption), std::move(description)),
      FChildren(&TProcessFlowCategory::CompareFlows, host::TDuplicates::Accept),
      FInputDesc(std::move(inputDesc)), FOutputDesc(std::move(outputDesc))
{
}

// A group is freed only once no child refers to it any more, so the children
// are simply let go.
TProcessFlowCategory::~TProcessFlowCategory()
{
    try {
        ClearChildren();
    } catch (...) {
        FChildren.Clear();
    }
}

int TProcessFlowCategory::CompareFlows(com::IUnknown* a, com::IUnknown* b)
{
    std::set<IDispatch*> visited;
    if (DependsOn(Ref(a), static_cast<IDispatch*>(b), visited)) return 1;
    visited.clear();
    if (DependsOn(Ref(b), static_cast<IDispatch*>(a), visited)) return -1;
    return 0;
}

std::vector<THostObject> TProcessFlowCategory::Children() const
{
    std::vector<THostObject> children;
    const int32_t count = FChildren.Count();
    children.reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) children.push_back(Ref(FChildren.Items(i)));
    return children;
}

bool TProcessFlowCategory::IsDependencyOfSibling(IDispatch* child)
{
    for (const THostObject& sibling : Children()) {
        if (!sibling.CallBool(dispid::Flow_CanRun)) continue;
        const int32_t count = sibling.CallInt(dispid::Flow_GetDependenciesCount);
        for (int32_t i = 0; i < count; ++i)
            if (sibling.CallObject(dispid::Flow_GetDependency, {i}).Get() == child) return true;
    }
    return false;
}

void TProcessFlowCategory::Stop()
{
    TTavrelAbstractProcessFlow::Stop();
    for (const THostObject& child : Children()) child.Call(dispid::Flow_Stop);
}

bool TProcessFlowCategory::UpdateFlowState()
{
    bool changed = false;
    const std::vector<THostObject> children = Children();
    for (const THostObject& child : children) changed = child.CallBool(dispid::Flow_UpdateFlowState) || changed;
    bool upToDate = true, missing = false;
    for (const THostObject& child : children) {
        if (IsDependencyOfSibling(child.Get())) continue; // only the final children count
        const int32_t state = child.CallInt(dispid::Flow_FlowState);
        if (state == eFlowState_UpToDate || state == eFlowState_None) continue;
        upToDate = false;
        missing = state == eFlowState_Missing;
        break;
    }
    const TProcessFlowState old = FFlowState;
    if (upToDate && DependenciesUpToDate()) FFlowState = eFlowState_UpToDate;
    else FFlowState = missing ? eFlowState_Missing : eFlowState_OutOfDate;
    return changed || FFlowState != old;
}

bool TProcessFlowCategory::IsRunning()
{
    if (FRunning) return true;
    for (const THostObject& child : Children())
        if (child.CallBool(dispid::Flow_IsRunning)) return true;
    return false;
}

IDispatch* TProcessFlowCategory::RunningStage()
{
    if (!IsRunning()) return nullptr;
    if (FChildren.Count() == 0) return AsDispatch();
    FRunningStageAnswer.Reset();
    for (const THostObject& child : Children()) {
        if (!child.CallBool(dispid::Flow_IsRunning)) continue;
        FRunningStageAnswer = child.CallObject(dispid::Flow_RunningStage);
    }
    return FRunningStageAnswer.Get();
}

void TProcessFlowCategory::ClearLastRunResult()
{
    TTavrelAbstractProcessFlow::ClearLastRunResult();
    for (const THostObject& child : Children()) child.Call(dispid::Flow_ClearLastRunResult);
}

void TProcessFlowCategory::ProjectChanged(std::string path)
{
    TTavrelAbstractProcessFlow::ProjectChanged(path);
    for (const THostObject& child : Children()) child.Call(dispid::Flow_ProjectChanged, {path});
}

void TProcessFlowCategory::SetBasePath(std::string path)
{
    TTavrelAbstractProcessFlow::SetBasePath(path);
    for (const THostObject& child : Children()) child.Call(dispid::Flow_SetBasePath, {path});
}

IDispatch* TProcessFlowCategory::GetChildStage(int32_t index)
{
    if (index < 0 || index >= FChildren.Count()) return nullptr;
    return static_cast<IDispatch*>(FChildren.Items(index));
}

void TProcessFlowCategory::ClearChildren()
{
    FRunningStageAnswer.Reset();
    for (const THostObject& child : Children())
        child.Call(dispid::Flow_SetParentStage, {static_cast<IDispatch*>(nullptr)});
    FChildren.Clear();
}

void TProcessFlowCategory::AddChildStage(IDispatch* flow)
{
    if (!flow) return;
    if (IsSelfOrAncestor(THostObject(AsDispatch()), flow))
        throw std::runtime_error("The flow stage \"" + FStageName + "\" cannot hold itself");
    FChildren.Add(flow);
    try {
        THostObject(flow).Call(dispid::Flow_SetParentStage, {AsDispatch()});
    } catch (...) {
        FChildren.Remove(flow);
        throw;
    }
}

TFlowRunResult TProcessFlowCategory::ExecuteStage(IDispatch* runner, bool all, bool wholeStage, bool force)
{
    TFlowRunResult result = eFlowRun_Success;
    std::set<IDispatch*> started; // a child that ran but left no result is not run twice
    while (result == eFlowRun_Success) {
        THostObject next;
        for (THostObject& child : Children()) {
            if (!started.count(child.Get()) && child.CallInt(dispid::Flow_LastRunResult) == eFlowRun_DidNotRun) {
                next = std::move(child);
                break;
            }
        }
        if (!next) break;
        // After a stop request the next child is not started, and the group is cancelled.
        if (FCancelled) {
            result = eFlowRun_Cancelled;
            break;
        }
        started.insert(next.Get());
        // Only the final steps are forced; what they depend on runs when needed.
        const bool childForce = force && !IsDependencyOfSibling(next.Get());
        result = AsRunResult(next.CallInt(dispid::FlowInternal_RunStage, {childForce, wholeStage, all, runner}));
    }
    return result;
}

void TProcessFlowCategory::EndRootRun()
{
    TTavrelAbstractProcessFlow::EndRootRun();
    for (const THostObject& child : Children()) child.Call(dispid::FlowInternal_EndRootRun);
}

bool TProcessFlowCategory::ThisStage_OutputExists()
{
    TReentryGuard guard(*this, kOp_OutputExists);
    for (const THostObject& child : Children())
        if (!child.CallBool(dispid::FlowInternal_ThisStage_OutputExists)) return false;
    return true;
}

TDateTime TProcessFlowCategory::ThisStage_DateTimeUpdated()
{
    TReentryGuard guard(*this, kOp_DateTime);
    const std::vector<THostObject> children = Children();
    if (children.empty()) return DependenciesDateTimeUpdated();
    TDateTime latest = 0;
    bool first = true;
    for (const THostObject& child : children) {
        const TDateTime date = CallDate(child, dispid::FlowInternal_ThisStage_DateTimeUpdated);
        if (first || date > latest) latest = date;
        first = false;
    }
    return latest;
}

void TProcessFlowCategory::BeforeStart()
{
    for (const THostObject& child : Children()) {
        bool supported = false;
        try {
            supported = child.CallBool(kDispId_SupportsService, {std::string("ProcessFlow_CustomEventsOnly")});
        } catch (const THostCallError&) {
            supported = false; // an object that cannot answer the query does not offer the service
        }
        if (supported) child.Call(dispid::FlowInternal_BeforeStart);
    }
}

// --- Step ---------------------------------------------------------------------------------

bool TProcessFlowStage::UpdateFlowState()
{
    const TProcessFlowState old = FFlowState;
    if (!ThisStage_OutputExists()) FFlowState = eFlowState_Missing;
    else if (!DependenciesUpToDate()) FFlowState = eFlowState_OutOfDate;
    else if (!DependenciesOutputExist()) FFlowState = eFlowState_OutOfDate;
    else if (ThisStage_DateTimeUpdated() < DependenciesDateTimeUpdated()) FFlowState = eFlowState_OutOfDate;
    else FFlowState = eFlowState_UpToDate;
    return FFlowState != old;
}

TFlowStage_WithDriver::TFlowStage_WithDriver(IDispatch* driver, std::string name, std::string caption,
                                             std::string description)
    : TProcessFlowStage(std::move(name), std::move(caption), std::move(description)), FDriver(driver)
{
}

std::string TFlowStage_WithDriver::VendorToolVersion()
{
    if (!FDriver) return {};
    return hostaccess::GetVendorToolVersion(Driver().CallString(dispid::Driver_GetVendorName));
}

} // namespace tavrel
