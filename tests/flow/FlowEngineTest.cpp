// The flow engine as a host drives it: flow DISPIDs on groups and steps of the
// test's own making, the run operations with their skip rules, the state from
// output dates, stop requests, and what the host's run observer is told.
#include "flow/ProcessFlow.h"
#include "tests/support/FakeDispatch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

using namespace tavrel;
using testsupport::TCallLog;
using testsupport::TFakeDispatch;

namespace {

using TRunLog = std::vector<std::string>;

// A step whose output and work the test decides.
class TTestStage : public TProcessFlowStage {
public:
    TTestStage(const std::string& name, TRunLog& log) : TProcessFlowStage(name, "&" + name, name + " step"), FLog(log) {}

    std::string InputDescription() override { return FStageName + ".in"; }
    std::string OutputDescription() override { return FStageName + ".out"; }
    bool ThisStage_OutputExists() override { return OutputExists; }
    TDateTime ThisStage_DateTimeUpdated() override { return OutputExists ? Date : 0; }
    TFlowRunResult DoRun(IDispatch*) override
    {
        FLog.push_back(FStageName);
        if (OnRun) OnRun();
        if (Throws) throw std::runtime_error("the tool of " + FStageName + " failed");
        return Result;
    }

    bool OutputExists = true;
    TDateTime Date = 1000;
    TFlowRunResult Result = eFlowRun_Success;
    bool Throws = false;
    std::function<void()> OnRun;

private:
    TRunLog& FLog;
};

// The objects of one test; the host's references are dropped (and the
// group-child links broken) at the end.
class TFlowTree {
public:
    ~TFlowTree()
    {
        for (TTavrelAbstractProcessFlow* flow : FFlows) {
            flow->ClearChildren();
            flow->ClearDependencies();
        }
    }
    TTestStage* Stage(const std::string& name) { return Keep(new TTestStage(name, Log)); }
    TProcessFlowCategory* Group(const std::string& name)
    {
        return Keep(new TProcessFlowCategory(name, "&" + name, name + " group", "design.vhd", "design.rbf"));
    }
    static THostObject Host(TAbstractSupportService* flow) { return THostObject(flow->AsDispatch()); }

    TRunLog Log;

private:
    template <class T> T* Keep(T* flow)
    {
        FRefs.emplace_back(flow->AsDispatch());
        FFlows.push_back(flow);
        return flow;
    }

    std::vector<THostObject> FRefs;
    std::vector<TTavrelAbstractProcessFlow*> FFlows;
};

IDispatch* D(TAbstractSupportService* flow) { return flow->AsDispatch(); }

// A chain a <- b <- c (c depends on b, b on a) in a group, added out of order.
struct TChain {
    explicit TChain(TFlowTree& tree)
        : Group(tree.Group("Build")), A(tree.Stage("A")), B(tree.Stage("B")), C(tree.Stage("C"))
    {
        B->AddDependency(D(A));
        C->AddDependency(D(B));
        const THostObject group = TFlowTree::Host(Group);
        for (TTestStage* stage : {C, A, B}) group.Call(dispid::Flow_AddChildStage, {D(stage)});
        A->Date = 1;
        B->Date = 2;
        C->Date = 3;
        Group->UpdateFlowState();
    }
    TProcessFlowCategory* Group;
    TTestStage *A, *B, *C;
};

TEST(FlowEngineTest, HostSeesNamesChildrenDependenciesAndResults)
{
    TFlowTree tree;
    TChain chain(tree);
    const THostObject group = TFlowTree::Host(chain.Group);
    EXPECT_EQ(group.CallString(dispid::Flow_StageName), "Build");
    EXPECT_EQ(group.CallString(dispid::Flow_StageCaption), "&Build");
    EXPECT_EQ(group.CallString(dispid::Flow_StageDescription), "Build group");
    EXPECT_EQ(group.CallString(dispid::Flow_InputDescription), "design.vhd");
    EXPECT_EQ(group.CallString(dispid::Flow_OutputDescription), "design.rbf");
    EXPECT_TRUE(group.CallBool(dispid::Flow_IsCategory));
    EXPECT_TRUE(group.CallBool(dispid::Flow_CanRun));
    EXPECT_TRUE(group.CallBool(kDispId_SupportsService, {std::string("PROCESSFLOW_INTERNAL")}));
    EXPECT_TRUE(group.CallBool(kDispId_SupportsService, {std::string("processflow")}));
    EXPECT_FALSE(group.CallBool(kDispId_SupportsService, {std::string("DevicePin")}));

    // Children come in dependency order, whatever order they were added in.
    ASSERT_EQ(group.CallInt(dispid::Flow_GetChildStageCount), 3);
    std::vector<std::string> order;
    for (int32_t i = 0; i < 3; ++i) order.push_back(group.CallObject(dispid::Flow_GetChildStage, {i}).CallString(dispid::Flow_StageName));
    EXPECT_EQ(order, (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_FALSE(group.CallObject(dispid::Flow_GetChildStage, {int32_t{3}}));

    const THostObject c = TFlowTree::Host(chain.C);
    EXPECT_FALSE(c.CallBool(dispid::Flow_IsCategory));
    EXPECT_EQ(c.CallString(dispid::Flow_InputDescription), "C.in");
    EXPECT_EQ(c.CallObject(dispid::Flow_GetParentStage).Get(), D(chain.Group));
    ASSERT_EQ(c.CallInt(dispid::Flow_GetDependenciesCount), 1);
    EXPECT_EQ(c.CallObject(dispid::Flow_GetDependency, {int32_t{0}}).Get(), D(chain.B));
    EXPECT_EQ(c.CallInt(dispid::Flow_FlowState), eFlowState_UpToDate);
    EXPECT_EQ(c.CallInt(dispid::Flow_LastRunResult), eFlowRun_DidNotRun);
    EXPECT_EQ(c.CallInt(dispid::Flow_ReportCount), 0);
    EXPECT_EQ(c.CallString(dispid::Flow_ReportPath, {int32_t{0}}), "");
    c.Call(dispid::Flow_SetBasePath, {std::string("/d/design.vhd")});
    EXPECT_EQ(c.CallString(dispid::Flow_GetBasePath), "/d/design.vhd");
    group.Call(dispid::Flow_SetBasePath, {std::string("/e/top.vhd")});
    EXPECT_EQ(c.CallString(dispid::Flow_GetBasePath), "/e/top.vhd") << "a group passes its base path on";

    TCallLog calls;
    TFakeDispatch runner("runner", &calls);
    EXPECT_EQ(group.CallInt(dispid::Flow_RunAll, {static_cast<IDispatch*>(&runner)}), eFlowRun_Success);
    EXPECT_EQ(tree.Log, (TRunLog{"A", "B", "C"}));
    for (TTestStage* stage : {chain.A, chain.B, chain.C})
        EXPECT_EQ(TFlowTree::Host(stage).CallInt(dispid::Flow_LastRunResult), eFlowRun_Success);
    ASSERT_EQ(calls.size(), 6u);
    EXPECT_EQ(calls.front().DispId, dispid::Runner_FlowRunStarted);
    const std::vector<IDispatch*> starting = {D(chain.Group), D(chain.A), D(chain.B), D(chain.C)};
    for (size_t i = 0; i < starting.size(); ++i) {
        EXPECT_EQ(calls[i + 1].DispId, dispid::Runner_StageStarting);
        EXPECT_EQ(std::get<IDispatch*>(calls[i + 1].Args.at(0)), starting[i]);
    }
    EXPECT_EQ(calls.back().DispId, dispid::Runner_FlowRunFinished);

    // An identifier no flow class knows.
    com::TVariant result;
    com::DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_EQ(D(chain.Group)->Invoke(503999, com::IID_NULL, 0, com::DISPATCH_METHOD, &none, &result, nullptr, nullptr),
              com::E_NOTIMPL);
}

TEST(FlowEngineTest, UpToDateStepsAreSkippedAndOnlyFinalStepsForced)
{
    struct TCase {
        const char* What;
        int32_t Operation;
        bool OnGroup;
        TRunLog Expected;
    } cases[] = {
        {"RunIfOutOfDate on an up-to-date step", dispid::Flow_RunIfOutOfDate, false, {}},
        {"Run on the last step", dispid::Flow_Run, false, {"C"}},
        {"RunAll on the last step", dispid::Flow_RunAll, false, {"A", "B", "C"}},
        {"Run on the group forces only its final step", dispid::Flow_Run, true, {"C"}},
        {"RunWholeStage on the group", dispid::Flow_RunWholeStage, true, {"A", "B", "C"}},
    };
    for (const TCase& c : cases) {
        TFlowTree tree;
        TChain chain(tree);
        const THostObject target = TFlowTree::Host(c.OnGroup ? static_cast<TAbstractSupportService*>(chain.Group) : chain.C);
        EXPECT_EQ(target.CallInt(c.Operation, {static_cast<IDispatch*>(nullptr)}), eFlowRun_Success) << c.What;
        EXPECT_EQ(tree.Log, c.Expected) << c.What;
        EXPECT_EQ(chain.Group->LastRunResult(), eFlowRun_Success) << c.What;
    }

    // An input that changed makes everything after it run.
    TFlowTree tree;
    TChain chain(tree);
    chain.A->Date = 10;
    EXPECT_TRUE(chain.Group->UpdateFlowState());
    EXPECT_EQ(chain.A->FlowState(), eFlowState_UpToDate);
    EXPECT_EQ(chain.B->FlowState(), eFlowState_OutOfDate);
    EXPECT_EQ(chain.C->FlowState(), eFlowState_OutOfDate) << "a dependency that is not up to date";
    EXPECT_EQ(chain.Group->FlowState(), eFlowState_OutOfDate);
    EXPECT_EQ(TFlowTree::Host(chain.C).CallInt(dispid::Flow_RunIfOutOfDate, {static_cast<IDispatch*>(nullptr)}),
              eFlowRun_Success);
    EXPECT_EQ(tree.Log, (TRunLog{"B", "C"}));
}

TEST(FlowEngineTest, StateFollowsOutputDates)
{
    TFlowTree tree;
    TProcessFlowCategory* group = tree.Group("G");
    TTestStage* input = tree.Stage("In");
    TTestStage* step = tree.Stage("Step");
    step->AddDependency(D(input));
    group->AddChildStage(D(input));
    group->AddChildStage(D(step));

    input->Date = 5;
    step->Date = 5;
    EXPECT_TRUE(group->UpdateFlowState());
    EXPECT_EQ(step->FlowState(), eFlowState_UpToDate) << "equal dates are up to date";
    EXPECT_EQ(group->FlowState(), eFlowState_UpToDate);
    EXPECT_FALSE(group->UpdateFlowState()) << "nothing changed";

    step->Date = 4;
    group->UpdateFlowState();
    EXPECT_EQ(step->FlowState(), eFlowState_OutOfDate);

    step->OutputExists = false;
    group->UpdateFlowState();
    EXPECT_EQ(step->FlowState(), eFlowState_Missing);
    EXPECT_EQ(group->FlowState(), eFlowState_Missing) << "the final step decides the group";

    // While the input's step runs, its output counts as new.
    step->OutputExists = true;
    step->Date = 100; // newer than the input's output, older than now
    input->OnRun = [&] {
        step->UpdateFlowState();
        EXPECT_TRUE(input->IsRunning());
        EXPECT_EQ(TFlowTree::Host(group).CallObject(dispid::Flow_RunningStage).Get(), D(input));
    };
    input->Run(nullptr);
    EXPECT_EQ(step->FlowState(), eFlowState_OutOfDate);
    EXPECT_FALSE(TFlowTree::Host(group).CallObject(dispid::Flow_RunningStage));

    // A step without dependencies in a group without any runs at once.
    TTestStage* single = tree.Stage("Single");
    TProcessFlowCategory* other = tree.Group("Other");
    other->AddChildStage(D(single));
    EXPECT_EQ(single->RunDependencies(false, nullptr), eFlowRun_Success);
    EXPECT_EQ(single->Run(nullptr), eFlowRun_Success);

    // A group without children cannot run and has its (empty) output.
    TProcessFlowCategory* empty = tree.Group("Empty");
    const THostObject host = TFlowTree::Host(empty);
    EXPECT_FALSE(host.CallBool(dispid::Flow_CanRun));
    EXPECT_TRUE(host.CallBool(dispid::FlowInternal_ThisStage_OutputExists));
}

TEST(FlowEngineTest, StopCancelsTheRestAndTheNextRunStartsAfresh)
{
    TFlowTree tree;
    TChain chain(tree);
    const THostObject group = TFlowTree::Host(chain.Group);
    chain.A->OnRun = [&] { group.Call(dispid::Flow_Stop); };
    EXPECT_EQ(group.CallInt(dispid::Flow_RunAll, {static_cast<IDispatch*>(nullptr)}), eFlowRun_Cancelled);
    EXPECT_EQ(tree.Log, (TRunLog{"A"})) << "the next child is not started";
    EXPECT_EQ(chain.B->LastRunResult(), eFlowRun_DidNotRun);

    // Stopped through a dependency walk: the step itself is not run.
    tree.Log.clear();
    EXPECT_EQ(TFlowTree::Host(chain.C).CallInt(dispid::Flow_RunAll, {static_cast<IDispatch*>(nullptr)}),
              eFlowRun_Cancelled);
    EXPECT_EQ(tree.Log, (TRunLog{"A"}));

    chain.A->OnRun = nullptr;
    tree.Log.clear();
    EXPECT_EQ(group.CallInt(dispid::Flow_RunAll, {static_cast<IDispatch*>(nullptr)}), eFlowRun_Success);
    EXPECT_EQ(tree.Log, (TRunLog{"A", "B", "C"})) << "BeginRun cleared the stop request";
}

TEST(FlowEngineTest, FailuresEndTheRunAndStillCleanUp)
{
    TFlowTree tree;
    TChain chain(tree);
    chain.B->Result = eFlowRun_Failure;
    EXPECT_EQ(chain.Group->RunAll(nullptr), eFlowRun_Failure);
    EXPECT_EQ(tree.Log, (TRunLog{"A", "B"}));
    EXPECT_EQ(chain.Group->LastRunResult(), eFlowRun_Failure);

    // An error inside a step: the observer still hears the end, the step is marked failed.
    chain.B->Result = eFlowRun_Success;
    chain.B->Throws = true;
    TCallLog calls;
    TFakeDispatch runner("runner", &calls);
    com::TVariant result;
    com::VARIANT arg;
    com::VariantInit(&arg);
    arg.vt = com::VT_DISPATCH;
    arg.pdispVal = &runner;
    com::DISPPARAMS params{&arg, nullptr, 1, 0};
    com::EXCEPINFO info{};
    EXPECT_EQ(D(chain.Group)->Invoke(dispid::Flow_RunAll, com::IID_NULL, 0, com::DISPATCH_METHOD, &params, &result,
                                     &info, nullptr),
              com::DISP_E_EXCEPTION);
    EXPECT_EQ(com::BstrToUtf8(info.bstrDescription), "the tool of B failed");
    com::BstrFree(info.bstrDescription);
    com::BstrFree(info.bstrSource);
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back().DispId, dispid::Runner_FlowRunFinished);
    EXPECT_EQ(chain.B->LastRunResult(), eFlowRun_Failure);
    EXPECT_FALSE(chain.Group->IsRunning());
}

TEST(FlowEngineTest, CircularDefinitionsAreRefused)
{
    TFlowTree tree;
    TTestStage* a = tree.Stage("A");
    TTestStage* b = tree.Stage("B");
    a->AddDependency(D(b));
    b->AddDependency(D(a));
    EXPECT_THROW(a->Run(nullptr), std::runtime_error);
    EXPECT_FALSE(a->IsRunning());
    EXPECT_FALSE(b->IsRunning());

    TProcessFlowCategory* outer = tree.Group("Outer");
    TProcessFlowCategory* inner = tree.Group("Inner");
    outer->AddChildStage(D(inner));
    EXPECT_THROW(inner->AddChildStage(D(outer)), std::runtime_error);
    EXPECT_THROW(inner->AddChildStage(D(inner)), std::runtime_error);
    EXPECT_EQ(inner->GetChildStageCount(), 0);
    EXPECT_THROW(outer->SetParentStage(D(inner)), std::runtime_error);

    // A group that depends on its own child.
    TTestStage* child = tree.Stage("Child");
    inner->AddChildStage(D(child));
    inner->AddDependency(D(child));
    EXPECT_THROW(inner->RunAll(nullptr), std::runtime_error);
    EXPECT_EQ(inner->LastRunResult(), eFlowRun_DidNotRun);
}

// Whatever a host passes, a flow answers with a status and stays whole.
TEST(FlowEngineTest, OddCallsGetAStatusNotACrash)
{
    TFlowTree tree;
    TProcessFlowCategory* group = tree.Group("G");
    TTestStage* stage = tree.Stage("S");
    group->AddChildStage(D(stage));
    auto invoke = [&](int32_t dispid, std::vector<com::VARIANT> args) {
        std::reverse(args.begin(), args.end()); // the last argument comes first
        com::DISPPARAMS params{args.data(), nullptr, static_cast<uint32_t>(args.size()), 0};
        com::TVariant result;
        com::EXCEPINFO info{};
        const HRESULT hr = D(group)->Invoke(dispid, com::IID_NULL, 0, com::DISPATCH_METHOD, &params, &result, &info, nullptr);
        com::BstrFree(info.bstrDescription);
        com::BstrFree(info.bstrSource);
        for (com::VARIANT& arg : args) com::VariantClear(&arg);
        return hr;
    };
    auto integer = [](int32_t value) {
        com::VARIANT v;
        com::VariantInit(&v);
        com::VariantSetInt32(&v, value);
        return v;
    };
    auto text = [](const char* value) {
        com::VARIANT v;
        com::VariantInit(&v);
        com::VariantSetString(&v, value);
        return v;
    };
    auto none = [] {
        com::VARIANT v;
        com::VariantInit(&v);
        v.vt = com::VT_DISPATCH;
        v.pdispVal = nullptr;
        return v;
    };
    struct TCase {
        const char* What;
        int32_t DispId;
        std::function<std::vector<com::VARIANT>()> Args;
        HRESULT Status;
    } cases[] = {
        {"Run without its argument", dispid::Flow_Run, [] { return std::vector<com::VARIANT>{}; }, com::DISP_E_BADPARAMCOUNT},
        {"Run with a text as observer", dispid::Flow_Run, [&] { return std::vector<com::VARIANT>{text("x")}; }, com::DISP_E_TYPEMISMATCH},
        {"a child far out of range", dispid::Flow_GetChildStage, [&] { return std::vector<com::VARIANT>{integer(1000)}; }, com::S_OK},
        {"a negative dependency index", dispid::Flow_GetDependency, [&] { return std::vector<com::VARIANT>{integer(-1)}; }, com::S_OK},
        {"an empty child", dispid::Flow_AddChildStage, [&] { return std::vector<com::VARIANT>{none()}; }, com::S_OK},
        {"an empty dependency", dispid::Flow_AddDependency, [&] { return std::vector<com::VARIANT>{none()}; }, com::S_OK},
        {"a run result that does not exist", dispid::FlowInternal_SetLastRunResult,
         [&] { return std::vector<com::VARIANT>{integer(9)}; }, com::DISP_E_EXCEPTION},
        {"a report far out of range", dispid::Flow_ReportPath, [&] { return std::vector<com::VARIANT>{integer(-5)}; }, com::S_OK},
    };
    for (const TCase& c : cases) EXPECT_EQ(invoke(c.DispId, c.Args()), c.Status) << c.What;
    EXPECT_EQ(group->GetChildStageCount(), 1);
    EXPECT_EQ(group->GetDependenciesCount(), 0);
    EXPECT_EQ(group->LastRunResult(), eFlowRun_DidNotRun);
}

} // namespace
