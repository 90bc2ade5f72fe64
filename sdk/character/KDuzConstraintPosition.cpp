#include "sdk/character/KDuzConstraintPosition.h"

#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"

#include <new>

namespace duzsdk {

namespace {

int InternalTypeOf(KDuzConstraint::EConstraintType type) {
    switch (type) {
        case KDuzConstraint::eRotation: return PlugTypeNumberOf("KDuzConstraintRotation_internal");
        case KDuzConstraint::eScale: return PlugTypeNumberOf("KDuzConstraintScale_internal");
        default: return PlugTypeNumberOf("KDuzConstraintPosition_internal");
    }
}

}  // namespace

KDuzConstraintFromSources::KDuzConstraintFromSources(KDuzSdkManager* manager, const char* name,
                                                     EConstraintType type)
    : KDuzConstraint(manager, name), mType(type) {}

const char* KDuzConstraintFromSources::GetOffsetName() const {
    switch (mType) {
        case eRotation: return "Rotation";
        case eScale: return "Scaling";
        default: return "Translation";
    }
}

void KDuzConstraintFromSources::PostCreate() {
    if (GetInternalObject() == nullptr) SetInternalObject(new KDuzConstraint_internal(this, InternalTypeOf(mType)));
    CreateDefaultTakeNode();
    WrapInternalProperties();
    Lock = BindBool("Lock", false);
    Active = BindBool("Active", true);
    AffectX = BindBool("AffectX", true);
    AffectY = BindBool("AffectY", true);
    AffectZ = BindBool("AffectZ", true);
    // A new scale constraint has no offset either: (0, 0, 0), not (1, 1, 1).
    Offset = BindVector(GetOffsetName(), 0.0, 0.0, 0.0);
    Weight = BindDouble("Weight", "Weight", 100.0, true);
    ConstrainedObject = BindObjectList("Constrained Object", kConstraintListConstrained);
    Source = BindObjectList("Source", kConstraintListSource);
}

void KDuzConstraintFromSources::SetOffset(const KgeTVector& offset) {
    const duzVectorTemplate3<double> value(offset.GetElement(0), offset.GetElement(1), offset.GetElement(2));
    Offset.SetValue(&value, eValueKindDouble3);
}

KDuzConstraintPosition* KDuzConstraintPosition::Create(KDuzSdkManager* manager, const char* name) {
    return manager != nullptr ? dynamic_cast<KDuzConstraintPosition*>(manager->CreateObject(ClassId(), name)) : nullptr;
}
KDuzPlug* KDuzConstraintPosition::ClassCreator(KDuzSdkManager* manager, const char* name) {
    return KDuzConstraintCreateAndPost<KDuzConstraintPosition>(manager, name);
}
KClassId KDuzConstraintPosition::ClassId() { return KDuzClassIdOf(eDuzClassConstraintPosition); }

KDuzConstraintRotation* KDuzConstraintRotation::Create(KDuzSdkManager* manager, const char* name) {
    return manager != nullptr ? dynamic_cast<KDuzConstraintRotation*>(manager->CreateObject(ClassId(), name)) : nullptr;
}
KDuzPlug* KDuzConstraintRotation::ClassCreator(KDuzSdkManager* manager, const char* name) {
    return KDuzConstraintCreateAndPost<KDuzConstraintRotation>(manager, name);
}
KClassId KDuzConstraintRotation::ClassId() { return KDuzClassIdOf(eDuzClassConstraintRotation); }

KDuzConstraintScale* KDuzConstraintScale::Create(KDuzSdkManager* manager, const char* name) {
    return manager != nullptr ? dynamic_cast<KDuzConstraintScale*>(manager->CreateObject(ClassId(), name)) : nullptr;
}
KDuzPlug* KDuzConstraintScale::ClassCreator(KDuzSdkManager* manager, const char* name) {
    return KDuzConstraintCreateAndPost<KDuzConstraintScale>(manager, name);
}
KClassId KDuzConstraintScale::ClassId() { return KDuzClassIdOf(eDuzClassConstraintScale); }

}  // namespace duzsdk
