// The boundary-scan object model as a host calls it: dispatch through the
// parts' own interfaces and their adaptors, descriptions, current values.
#include "bsdl/BsdlDispatch.h"
#include "plugin/com/DispatchRef.h"
#include "tests/bsdl/BsdlTestSupport.h"

#include <gtest/gtest.h>

using namespace bsdl;
using bsdltest::Invoke;

namespace {

// A small entity: one pin with an input and an output cell, a control cell, two instructions.
struct TSmallEntity {
    TBSDLEntity Entity;
    TScanPin* Pin;
    TPinMapping* Mapping;
    TBoundaryCell* Cells[3];
    TInstructionOpCode* Bypass;
    TRegisterAssociation* Association;

    TSmallEntity()
    {
        Pin = Entity.CreatePart<TScanPin>();
        Pin->SetPinName("IOA5");
        Pin->SetPinNumber("A5");
        Pin->SetDirection(eElectricIO);
        Mapping = Entity.CreatePart<TPinMapping>();
        Mapping->SetPinName("IOA5");
        Mapping->SetPinNumber("A5");
        Mapping->SetScanPin(Pin);
        Pin->SetPinMapping(Mapping);
        Entity.AddPin(Pin);
        for (int i = 0; i < 3; ++i) {
            Cells[i] = Entity.CreatePart<TBoundaryCell>();
            Cells[i]->SetCellNumber(i);
            Entity.AddBoundaryCell(Cells[i]);
        }
        Cells[1]->SetControlCellNumber(0);
        Cells[1]->SetControlCell(Cells[0]);
        Cells[0]->SetTargetCell(Cells[1]);
        Cells[1]->SetPin(Pin);
        Pin->AddBoundaryCell(Cells[1]);
        Bypass = Entity.CreatePart<TInstructionOpCode>();
        Bypass->SetInstructionName("BYPASS");
        Bypass->SetOpCodePattern("1111");
        Entity.AddInstructionOpCode(Bypass);
        Association = Entity.CreatePart<TRegisterAssociation>();
        Association->SetRegisterName("BYPASS");
        Association->SetRegisterLength(1);
        Association->AddOpCode(Bypass);
        Association->AddOpCode("PRIVATE", nullptr);
        Entity.AddRegisterAssociation(Association);
        Entity.TAP_TDI = Pin;
    }
};

TEST(EntityModelTest, AFreshEntityHasNoInstructionsDefined)
{
    TBSDLEntity entity;
    com::TDispatchRef host(entity.HostInterface());
    for (int32_t dispid = 503477; dispid <= 503483; ++dispid) EXPECT_EQ(host.CallInt(dispid), -1) << dispid;
    EXPECT_EQ(host.CallInt(503459), 0) << "instruction length";
    EXPECT_EQ(host.CallInt(503461), 0) << "boundary length";
    EXPECT_EQ(host.CallInt(503467), 0) << "pins";
    EXPECT_EQ(host.CallString(503489), "");
    EXPECT_FALSE(host.CallObject(503472)) << "no TDI";
}

TEST(EntityModelTest, IndexesOutsideTheListsGiveNothingAndSucceed)
{
    TSmallEntity small;
    com::IDispatch* entity = small.Entity.HostInterface();
    const struct {
        com::IDispatch* Object;
        int32_t DispId;
        int32_t Index;
    } cases[] = {
        {entity, 503464, 3},  {entity, 503464, -1}, {entity, 503462, 1},   {entity, 503463, 0},
        {entity, 503465, 1},  {entity, 503466, -5}, {small.Pin->HostInterface(), 503496, 1},
        {small.Association->HostInterface(), 503518, 2},
    };
    for (const auto& c : cases) {
        com::TVariant result;
        EXPECT_EQ(Invoke(c.Object, c.DispId, {c.Index}, &result), com::S_OK) << c.DispId << " " << c.Index;
        EXPECT_EQ(result.vt, com::VT_DISPATCH) << c.DispId;
        EXPECT_EQ(result.pdispVal, nullptr) << c.DispId << " " << c.Index;
    }
    com::TVariant result;
    ASSERT_EQ(Invoke(entity, 503464, {2}, &result), com::S_OK);
    EXPECT_EQ(result.pdispVal, small.Cells[2]->HostInterface());
}

TEST(EntityModelTest, PartsAnswerThroughTheirOwnInterfaceAndTheirAdaptors)
{
    TSmallEntity small;
    // The pin's own interface reaches the base adaptor's operations through its list of adaptors.
    com::TDispatchRef pin(small.Pin->AsDispatch());
    EXPECT_EQ(pin.CallString(503427), " Pin Name:IOA5         Number:A5           IO:I/O");
    EXPECT_EQ(pin.CallString(503428), "IOA5(A5)-I/O");
    EXPECT_EQ(pin.CallObject(503429).Get(), small.Entity.Impl()->AsDispatch());
    EXPECT_EQ(pin.CallObject(503494).Get(), small.Mapping->HostInterface());
    EXPECT_EQ(com::TDispatchRef(small.Mapping->HostInterface()).CallObject(503500).Get(),
              small.Pin->HostInterface());
    // TAP pins are handed out as the pins' own interfaces.
    com::TDispatchRef entity(small.Entity.HostInterface());
    EXPECT_EQ(entity.CallObject(503472).Get(), small.Pin->AsDispatch());
    // Cells link both ways.
    com::TDispatchRef output(small.Cells[1]->HostInterface());
    EXPECT_EQ(output.CallObject(503510).Get(), small.Cells[0]->HostInterface());
    EXPECT_EQ(com::TDispatchRef(small.Cells[0]->HostInterface()).CallObject(503511).Get(),
              small.Cells[1]->HostInterface());
    EXPECT_EQ(output.CallObject(503509).Get(), small.Pin->HostInterface());
    // A DISPID of another interface is not known here.
    EXPECT_EQ(Invoke(small.Pin->HostInterface(), 503525), com::E_NOTIMPL);
    EXPECT_EQ(Invoke(small.Entity.HostInterface(), 503490), com::E_NOTIMPL);
}

TEST(EntityModelTest, CurrentValuesAreKeptByPinsAndCellsOnly)
{
    TSmallEntity small;
    EXPECT_EQ(Invoke(small.Pin->HostInterface(), kDispId_SetCurrentValue, {1}), com::S_OK);
    EXPECT_EQ(com::TDispatchRef(small.Pin->HostInterface()).CallInt(503497), 1);
    EXPECT_EQ(Invoke(small.Cells[2]->AsDispatch(), kDispId_SetCurrentValue, {-7}), com::S_OK);
    EXPECT_EQ(small.Cells[2]->CurrentValue(), -7);
    EXPECT_EQ(Invoke(small.Mapping->HostInterface(), kDispId_SetCurrentValue, {1}), com::E_NOTIMPL);
    EXPECT_EQ(Invoke(small.Bypass->AsDispatch(), kDispId_SetCurrentValue, {1}), com::E_NOTIMPL);
    EXPECT_EQ(Invoke(small.Pin->HostInterface(), kDispId_SetCurrentValue), com::DISP_E_BADPARAMCOUNT);
}

TEST(EntityModelTest, ServiceNames)
{
    TSmallEntity small;
    const struct {
        tavrel::TAbstractSupportService* Adaptor;
        const char* Name;
        bool Supported;
    } cases[] = {
        {small.Pin->GetImplementator(), "bsdlvalueholder", true},
        {small.Pin->GetImplementator(), "ScanPin", true},
        {small.Pin->GetImplementator(), "BSDLObject", true},
        {small.Cells[0]->GetImplementator(), "BSDLVALUEHOLDER", true},
        {small.Cells[0]->GetImplementator(), "ScanPin", false},
        {small.Bypass->GetImplementator(), "bsdlvalueholder", false},
        {small.Bypass->GetImplementator(), "InstructionOpCode", true},
        {small.Mapping->GetImplementator(), "PinMapping", true},
        {small.Association->GetImplementator(), "RegisterAssociation", true},
        {small.Entity.Impl(), "BSDLEntity", true},
        {small.Entity.Impl(), "BSDLObject", false},
    };
    for (const auto& c : cases) EXPECT_EQ(c.Adaptor->SupportsServiceName(c.Name), c.Supported) << c.Name;
    // Through dispatch (DISPID 1023): the interface a host is handed answers for the pin;
    // the pin's own interface asks its adaptors in order, and the base adaptor answers first.
    EXPECT_TRUE(com::TDispatchRef(small.Pin->HostInterface())
                    .CallBool(tavrel::kDispId_SupportsService, {std::string("BSDLValueHolder")}));
    EXPECT_FALSE(com::TDispatchRef(small.Pin->AsDispatch())
                     .CallBool(tavrel::kDispId_SupportsService, {std::string("BSDLValueHolder")}));
}

TEST(EntityModelTest, Descriptions)
{
    TBSDLEntity entity;
    TBoundaryCell* control = entity.CreatePart<TBoundaryCell>();
    control->SetCellNumber(12);
    control->SetCellKind(eCellKind_BC_1);
    control->SetCellFunction(eCellFunction_Control);
    TScanPin* pin = entity.CreatePart<TScanPin>();
    pin->SetPinName("IOA5");
    control->SetPin(pin);
    EXPECT_EQ(control->DescriptionText(), "12  (BC_1      ,*         ,Control   ,X ");
    EXPECT_EQ(control->DescriptionText().size(), 40u) << "no pin shown without a control cell";

    TBoundaryCell* output = entity.CreatePart<TBoundaryCell>();
    output->SetCellNumber(13);
    output->SetCellKind(eCellKind_BC_1);
    output->SetPortId("IOA5");
    output->SetCellFunction(eCellFunction_Output3);
    output->SetControlCellNumber(12);
    output->SetDisableValue(eBit_1);
    output->SetDisableResult(eDisableResult_HiZ);
    output->SetPin(pin);
    EXPECT_EQ(output->DescriptionText(), "13  (BC_1      ,IOA5      ,Output3   ,X ,12  ,1 ,Z         , Pin:IOA5");

    TRegisterAssociation* association = entity.CreatePart<TRegisterAssociation>();
    association->SetRegisterName("DEVICE_ID");
    EXPECT_EQ(association->DescriptionText(), "DEVICE_ID  ()");
    TSmallEntity small;
    EXPECT_EQ(small.Association->DescriptionText(), "BYPASS    [1] (BYPASS(1111),PRIVATE(NoOpcode))");
    EXPECT_EQ(small.Bypass->DescriptionText(), "BYPASS(1111)");
    EXPECT_EQ(com::TDispatchRef(small.Mapping->HostInterface()).CallString(503427), "");
}

TEST(EntityModelTest, AFailingOperationReportsFailureAndKeepsTheEntity)
{
    // A reader-made entity whose register cannot be placed: the deferred build fails each time.
    const auto read = bsdltest::ReadBsdl("entity X is attribute Boundary_Register of X : entity is \"5 (BC_1, *, "
                                         "Control, 1)\"; end;");
    TBSDLEntity* entity = read->Entity();
    ASSERT_NE(entity, nullptr);
    for (int attempt = 0; attempt < 2; ++attempt) {
        com::VARIANT result;
        com::VariantInit(&result);
        com::EXCEPINFO info{};
        com::DISPPARAMS none{nullptr, nullptr, 0, 0};
        EXPECT_EQ(entity->HostInterface()->Invoke(503469, com::IID_NULL, 0, com::DISPATCH_METHOD, &none, &result,
                                                  &info, nullptr),
                  com::DISP_E_EXCEPTION);
        EXPECT_EQ(info.scode, com::E_UNEXPECTED);
        EXPECT_NE(com::BstrToUtf8(info.bstrDescription).find("cell 5"), std::string::npos);
        com::BstrFree(info.bstrDescription);
        com::BstrFree(info.bstrSource);
        EXPECT_FALSE(entity->ProcessedBoundaryInfo());
        EXPECT_TRUE(entity->BoundaryCells.empty());
    }
}

} // namespace
