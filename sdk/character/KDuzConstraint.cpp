#include "sdk/character/KDuzConstraint.h"

#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/KProperty.h"
#include "sdk/object/PropertyDataTypeMap.h"

#include <new>

namespace duzsdk {

namespace {

constexpr const char* kConstraintErrors[] = {"Error"};

constexpr const char* kTypeNames[] = {
    "Constraint", "Position From Positions", "Rotation From Rotations", "Scale From Scales",
    "Parent-Child", "Single Chain IK", "Aim", "Character",
};

}  // namespace

const char* KDuzEnumText(const char* const* texts, int value) {
    if (texts == nullptr || value < 0) return nullptr;
    for (int i = 0; texts[i] != nullptr; ++i) {
        if (i == value) return texts[i];
    }
    return nullptr;
}

// ---- internal twin ----------------------------------------------------------------

KDuzConstraint_internal::KDuzConstraint_internal(KDuzObject* owner, int typeNumber)
    : KDuzTakeNodeContainer_internal(owner), mTypeNumber(typeNumber) {}

KPlugTypeInfo* KDuzConstraint_internal::GetPlugTypeInfo() const { return PlugTypeInfoGetRecord(mTypeNumber); }

// ---- life ------------------------------------------------------------------------

KDuzConstraint::KDuzConstraint(KDuzSdkManager* manager, const char* name)
    : KDuzTakeNodeContainer(manager, name, &mError), mError(kConstraintErrors, 1) {}

KDuzConstraint::~KDuzConstraint() = default;

KDuzConstraint* KDuzConstraint::Create(KDuzSdkManager* manager, const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<KDuzConstraint*>(manager->CreateObject(ClassId(), name));
}

KDuzPlug* KDuzConstraint::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* constraint = new (std::nothrow) KDuzConstraint(manager, name);
    if (constraint == nullptr) return nullptr;
    // A plain constraint gets the take-node container's internal object.
    constraint->PostCreate();
    return constraint;
}

KClassId KDuzConstraint::ClassId() { return KDuzClassIdOf(eDuzClassConstraint); }
KClassId KDuzConstraint::GetClassId() const { return ClassId(); }

const char* KDuzConstraint::TypeNameOf(int type) {
    if (type < 0 || type > eCharacter) return kTypeNames[0];
    return kTypeNames[type];
}

KDuzObject* KDuzConstraint::Clone(int /*mode*/) { return nullptr; }

KStringList* KDuzConstraint::GetTypeNames() const {
    auto* names = new KStringList();
    names->Append("");
    return names;
}

void KDuzConstraint::CreateTakeNodeChannels(KDuzTakeNode* /*takeNode*/) {}

// ---- properties ----------------------------------------------------------------------

KDuzProperty KDuzConstraint::BindProperty(const char* name, const char* dataType, bool animated) {
    KDuzProperty property;
    KDuzPropertyInitOnOwner(property, this, name, PropertyDataTypeFromName(dataType), "");
    if (animated) {
        property.ModifyFlag(kDuzPropertyAnimatable | kDuzPropertyFlag8, true);
        // Marked after the default take exists: its channels come now.
        AddPropertyToTakeNodes(property, nullptr);
    }
    return property;
}

KDuzProperty KDuzConstraint::BindBool(const char* name, bool value) {
    KDuzProperty property = BindProperty(name, "Bool", false);
    property.SetValue(&value, eValueKindBool);
    return property;
}

KDuzProperty KDuzConstraint::BindDouble(const char* name, const char* dataType, double value, bool animated) {
    KDuzProperty property = BindProperty(name, dataType, animated);
    property.SetValue(&value, eValueKindDouble);
    return property;
}

KDuzProperty KDuzConstraint::BindVector(const char* name, double x, double y, double z) {
    KDuzProperty property = BindProperty(name, "Vector", true);
    const duzVectorTemplate3<double> value(x, y, z);
    property.SetValue(&value, eValueKindDouble3);
    return property;
}

KDuzProperty KDuzConstraint::BindObjectList(const char* name, int direction) {
    KDuzProperty property = BindProperty(name, "object", false);
    if (KProperty* bound = property.GetBoundProperty()) {
        bound->SetFlags(kConstraintListSource | kConstraintListConstrained | 4, false);
        bound->SetFlags(direction, true);
    }
    return property;
}

KDuzProperty KDuzConstraint::BindEnum(const char* name, const char* const* texts, int value) {
    KDuzProperty property = BindProperty(name, "Enum", false);
    if (property.GetEnumCount() == 0) {
        for (int i = 0; texts != nullptr && texts[i] != nullptr; ++i) property.AddEnumValue(texts[i]);
    }
    property.SetValue(&value, eValueKindInt);
    return property;
}

void KDuzConstraint::CreateChannelsOfAnimatable(KDuzTakeNode* takeNode) {
    KDuzObject_internal* internal = GetInternalObject();
    if (internal == nullptr || takeNode == nullptr) return;
    for (int i = 0; i < internal->GetPropertyCount(); ++i) {
        KProperty* property = internal->GetProperty(i);
        if (property != nullptr && property->TestInfoFlag2()) AddPropertyCurveNodes(property, takeNode);
    }
}

void KDuzCopyObjectProperties(KDuzObject& target, const KDuzObject& other) {
    KDuzObject* self = &target;
    for (int i = 0; i < other.GetPropertyCount(); ++i) {
        const KDuzProperty source = other.GetPropertyAt(i);
        KDuzProperty copy = self->FindProperty(source.GetName());
        if (!copy.IsValid()) {
            // Properties made after construction (the parent-child offsets).
            copy = KDuzProperty::Create(self, source.GetName(), source.GetDataType(), "");
            copy.ModifyFlag(source.GetFlags() & (kDuzPropertyAnimatable | kDuzPropertyFlag8), true);
            copy.SetUserTag(source.GetUserTag());
        }
        if (!copy.IsValid()) continue;
        if (source.GetValueKind() == eValueKindReference) {
            copy.DisconnectAllSrcObjects();
            for (int j = 0; j < source.GetSrcObjectCount(); ++j) copy.ConnectSrcObject(source.GetSrcObject(KClassId(), j));
        } else {
            copy.CopyValue(source);
        }
    }
}

KDuzObject* KDuzConstraint::CloneByCopy(int mode) {
    if (mode != 2 || GetSdkManager() == nullptr) return nullptr;
    auto* copy = dynamic_cast<KDuzConstraint*>(GetSdkManager()->CreateObject(GetClassId(), GetName()));
    if (copy == nullptr) return nullptr;
    KDuzCopyObjectProperties(*copy, *this);
    copy->CopyTakeNodes(*this);
    return copy;
}

}  // namespace duzsdk
