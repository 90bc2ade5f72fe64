#include "sdk/character/KDuzConstraintAim.h"

#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"

namespace duzsdk {

namespace {

constexpr const char* kWorldUpTexts[] = {"Scene Up", "Object Up", "Object Rotation Up", "Vector", "None", nullptr};

}  // namespace

const char* KDuzConstraintAim::WorldUpTypeText(int value) { return KDuzEnumText(kWorldUpTexts, value); }

KDuzConstraintAim* KDuzConstraintAim::Create(KDuzSdkManager* manager, const char* name) {
    return manager != nullptr ? dynamic_cast<KDuzConstraintAim*>(manager->CreateObject(ClassId(), name)) : nullptr;
}
KDuzPlug* KDuzConstraintAim::ClassCreator(KDuzSdkManager* manager, const char* name) {
    return KDuzConstraintCreateAndPost<KDuzConstraintAim>(manager, name);
}
KClassId KDuzConstraintAim::ClassId() { return KDuzClassIdOf(eDuzClassConstraintAim); }

void KDuzConstraintAim::PostCreate() {
    if (GetInternalObject() == nullptr)
        SetInternalObject(new KDuzConstraint_internal(this, PlugTypeNumberOf("KDuzConstraintAim_internal")));
    CreateDefaultTakeNode();
    WrapInternalProperties();
    Active = BindBool("Active", true);
    Lock = BindBool("Lock", false);
    Weight = BindDouble("Weight", "Weight", 100.0, true);
    RotationOffset = BindVector("RotationOffset", 0.0, 0.0, 0.0);
    AimAtObjects = BindObjectList("Aim At Object", kConstraintListSource);
    ConstrainedObject = BindObjectList("Constrained Object", kConstraintListConstrained);
    WorldUpType = BindEnum("WorldUpType", kWorldUpTexts, eAimAtSceneUp);
    WorldUpObject = BindObjectList("World Up Object", kConstraintListSource);
    WorldUpVector = BindVector("WorldUpVector", 0.0, 1.0, 0.0);
    UpVector = BindVector("UpVector", 0.0, 1.0, 0.0);
    AimVector = BindVector("AimVector", 1.0, 0.0, 0.0);
    AffectX = BindBool("AffectX", true);
    AffectY = BindBool("AffectY", true);
    AffectZ = BindBool("AffectZ", true);
}

void KDuzConstraintAim::SetOffset(const KgeTVector& offset) {
    const duzVectorTemplate3<double> value(offset.GetElement(0), offset.GetElement(1), offset.GetElement(2));
    RotationOffset.SetValue(&value, eValueKindDouble3);
}

}  // namespace duzsdk
