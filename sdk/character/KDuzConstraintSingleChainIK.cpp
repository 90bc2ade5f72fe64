#include "sdk/character/KDuzConstraintSingleChainIK.h"

#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"

namespace duzsdk {

namespace {

constexpr const char* kSolverTexts[] = {"ikRPSolver", "ikSCSolver", nullptr};
constexpr const char* kPoleVectorTexts[] = {"Vector", "Object", nullptr};
constexpr const char* kEvalTSTexts[] = {"Never", "Auto", "Always", nullptr};

}  // namespace

const char* KDuzConstraintSingleChainIK::SolverTypeText(int value) { return KDuzEnumText(kSolverTexts, value); }
const char* KDuzConstraintSingleChainIK::PoleVectorTypeText(int value) {
    return KDuzEnumText(kPoleVectorTexts, value);
}
const char* KDuzConstraintSingleChainIK::EvalTSText(int value) { return KDuzEnumText(kEvalTSTexts, value); }

KDuzConstraintSingleChainIK* KDuzConstraintSingleChainIK::Create(KDuzSdkManager* manager, const char* name) {
    return manager != nullptr ? dynamic_cast<KDuzConstraintSingleChainIK*>(manager->CreateObject(ClassId(), name))
                              : nullptr;
}
KDuzPlug* KDuzConstraintSingleChainIK::ClassCreator(KDuzSdkManager* manager, const char* name) {
    return KDuzConstraintCreateAndPost<KDuzConstraintSingleChainIK>(manager, name);
}
KClassId KDuzConstraintSingleChainIK::ClassId() { return KDuzClassIdOf(eDuzClassConstraintSingleChainIK); }

void KDuzConstraintSingleChainIK::PostCreate() {
    if (GetInternalObject() == nullptr)
        SetInternalObject(new KDuzConstraint_internal(this, PlugTypeNumberOf("KDuzConstraintSingleChainIK_internal")));
    CreateDefaultTakeNode();
    WrapInternalProperties();
    Lock = BindBool("Lock", false);
    Active = BindBool("Active", true);
    PoleVectorType = BindEnum("PoleVectorType", kPoleVectorTexts, ePoleVectorTypeVector);
    SolverType = BindEnum("SolverType", kSolverTexts, eSCSolver);
    EvaluateTSAnim = BindEnum("EvaluateTSAnim", kEvalTSTexts, eNeverTS);
    Weight = BindDouble("Weight", "Weight", 100.0, true);
    PoleVectorObjects = BindObjectList("Pole Vector Object", kConstraintListSource);
    PoleVector = BindVector("PoleVector", 0.0, 1.0, 0.0);
    Twist = BindDouble("Twist", "Number", 0.0, true);
    FirstJointObject = BindObjectList("First Joint", kConstraintListConstrained);
    EndJointObject = BindObjectList("End Joint", kConstraintListConstrained);
    EffectorObject = BindObjectList("Effector", kConstraintListSource);
}

}  // namespace duzsdk
