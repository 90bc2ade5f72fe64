#include "sdk/character/KDuzConstraintParent.h"

#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"

#include <cstring>

namespace duzsdk {

KDuzConstraintParent* KDuzConstraintParent::Create(KDuzSdkManager* manager, const char* name) {
    return manager != nullptr ? dynamic_cast<KDuzConstraintParent*>(manager->CreateObject(ClassId(), name)) : nullptr;
}
KDuzPlug* KDuzConstraintParent::ClassCreator(KDuzSdkManager* manager, const char* name) {
    return KDuzConstraintCreateAndPost<KDuzConstraintParent>(manager, name);
}
KClassId KDuzConstraintParent::ClassId() { return KDuzClassIdOf(eDuzClassConstraintParent); }

void KDuzConstraintParent::PostCreate() {
    if (GetInternalObject() == nullptr)
        SetInternalObject(new KDuzConstraint_internal(this, PlugTypeNumberOf("KDuzConstraintParent_internal")));
    CreateDefaultTakeNode();
    WrapInternalProperties();
    Lock = BindBool("Lock", false);
    Active = BindBool("Active", true);
    AffectTranslationX = BindBool("AffectTranslationX", true);
    AffectTranslationY = BindBool("AffectTranslationY", true);
    AffectTranslationZ = BindBool("AffectTranslationZ", true);
    AffectRotationX = BindBool("AffectRotationX", true);
    AffectRotationY = BindBool("AffectRotationY", true);
    AffectRotationZ = BindBool("AffectRotationZ", true);
    // The scaling flags have no handle and stay false.
    BindBool("AffectScalingX", false);
    BindBool("AffectScalingY", false);
    BindBool("AffectScalingZ", false);
    Weight = BindDouble("Weight", "Weight", 100.0, true);
    ConstrainedObject = BindObjectList("Constrained object (Child)", kConstraintListConstrained);
    SourceParent = BindObjectList("Source (Parent)", kConstraintListSource);
}

KString KDuzConstraintParent::OffsetPropertyName(const KDuzObject* source, const char* suffix) {
    if (source == nullptr) return KString();
    const char* name = source->GetInitialName();
    if (name == nullptr) name = "";
    // Only a leading prefix is the kind's: "Model::" inside a name stays.
    const char* prefix = KDuzNamePrefixText(source->GetNameKind());
    if (prefix != nullptr && prefix[0] != '\0' && std::strncmp(name, prefix, std::strlen(prefix)) == 0)
        name += std::strlen(prefix);
    KString result(name);
    result += suffix;
    return result;
}

void KDuzConstraintParent::SetRotationOffset(const KDuzObject* source, const KgeTVector& offset) {
    if (source == nullptr) return;
    KDuzProperty property = FindProperty(OffsetPropertyName(source, kParentOffsetRotationSuffix).Buffer());
    if (!property.IsValid()) return;
    const duzVectorTemplate3<double> value(offset.GetElement(0), offset.GetElement(1), offset.GetElement(2));
    property.SetValue(&value, eValueKindDouble3);
}

KgeTVector KDuzConstraintParent::ReadOffset(const KDuzObject* source, const char* suffix) const {
    KgeTVector result(0.0, 0.0, 0.0, 1.0);
    if (source == nullptr) return result;
    const KDuzProperty property = FindProperty(OffsetPropertyName(source, suffix).Buffer());
    duzVectorTemplate3<double> value(0.0, 0.0, 0.0);
    if (property.IsValid() && property.GetValue(&value, eValueKindDouble3))
        result.SetXYZW(value[0], value[1], value[2], 1.0);
    return result;
}

KgeTVector KDuzConstraintParent::GetTranslationOffset(const KDuzObject* source) const {
    return ReadOffset(source, kParentOffsetTranslationSuffix);
}

KgeTVector KDuzConstraintParent::GetRotationOffset(const KDuzObject* source) const {
    return ReadOffset(source, kParentOffsetRotationSuffix);
}

KDuzObject* KDuzConstraintParent::GetConstraintSource(int index) const {
    return SourceParent.GetSrcObject(KClassId(), index);
}

int KDuzConstraintParent::GetConstraintSourceCount() const { return SourceParent.GetSrcObjectCount(); }

}  // namespace duzsdk
