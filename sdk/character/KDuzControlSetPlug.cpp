#include "sdk/character/KDuzControlSetPlug.h"

#include "sdk/character/KDuzCharacterLink.h"
#include "sdk/character/KDuzConstraint.h"
#include "sdk/character/KDuzControlSet.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/PropertyDataTypeMap.h"

#include <new>

namespace duzsdk {

namespace {

constexpr const char* kPlugErrors[] = {"Error"};
constexpr int kPlugTypeNumber = PlugTypeNumberOf("KDuzControlSetPlug_internal");

class KDuzControlSetPlug_internal : public KDuzTakeNodeContainer_internal {
public:
    explicit KDuzControlSetPlug_internal(KDuzObject* owner) : KDuzTakeNodeContainer_internal(owner) {}
    KPlugTypeInfo* GetPlugTypeInfo() const override { return PlugTypeInfoGetRecord(kPlugTypeNumber); }
    int GetStaticTypeNumber() const override { return kPlugTypeNumber; }
};

KDuzProperty MakeObjectProperty(KDuzObject* owner, const char* name, int tag) {
    KDuzProperty property = KDuzProperty::Create(owner, name, PropertyDataTypeFromName("object"), "");
    property.SetUserTag(tag);
    return property;
}

}  // namespace

KDuzControlSetPlug::KDuzControlSetPlug(KDuzSdkManager* manager, const char* name)
    : KDuzTakeNodeContainer(manager, name, &mError), mError(kPlugErrors, 1) {}

KDuzControlSetPlug::~KDuzControlSetPlug() = default;

KDuzControlSetPlug* KDuzControlSetPlug::Create(KDuzSdkManager* manager, const char* name) {
    return manager != nullptr ? dynamic_cast<KDuzControlSetPlug*>(manager->CreateObject(ClassId(), name)) : nullptr;
}

KDuzPlug* KDuzControlSetPlug::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* plug = new (std::nothrow) KDuzControlSetPlug(manager, name);
    if (plug != nullptr) plug->PostCreate();
    return plug;
}

KClassId KDuzControlSetPlug::ClassId() { return KDuzClassIdOf(eDuzClassControlSetPlug); }

void KDuzControlSetPlug::PostCreate() {
    if (GetInternalObject() == nullptr) SetInternalObject(new KDuzControlSetPlug_internal(this));
    ControlSetType = KDuzProperty::Create(this, "ControlSetType", PropertyDataTypeFromName("Enum"), "");
    SetControlSetType(0);
    UseAxis = KDuzProperty::Create(this, "UseAxis", PropertyDataTypeFromName("Bool"), "");
    SetUseAxis(true);
    for (int id = 0; id < kDuzCharacterNodeCount; ++id) {
        const char* name = nullptr;
        if (KDuzCharacterGetNodeName(id, name)) mLinkProperties.push_back(MakeObjectProperty(this, name, 1000 + id));
    }
    for (int e = 0; e < kDuzEffectorCount; ++e)
        mEffectorProperties.push_back(MakeObjectProperty(this, KDuzControlSet::GetEffectorName(e), 1000 + e));
    CreateDefaultTakeNode();
    WrapInternalProperties();
}

int KDuzControlSetPlug::GetControlSetType() const {
    int type = 0;
    ControlSetType.GetValue(&type, eValueKindInt);
    return type;
}

void KDuzControlSetPlug::SetControlSetType(int type) { ControlSetType.SetValue(&type, eValueKindInt); }

bool KDuzControlSetPlug::GetUseAxis() const {
    bool flag = true;
    UseAxis.GetValue(&flag, eValueKindBool);
    return flag;
}

void KDuzControlSetPlug::SetUseAxis(bool flag) { UseAxis.SetValue(&flag, eValueKindBool); }

KDuzObject* KDuzControlSetPlug::Clone(int mode) {
    if (mode != 2 || GetSdkManager() == nullptr) return nullptr;
    auto* copy = dynamic_cast<KDuzControlSetPlug*>(GetSdkManager()->CreateObject(ClassId(), GetName()));
    if (copy == nullptr) return nullptr;
    KDuzCopyObjectProperties(*copy, *this);
    copy->CopyTakeNodes(*this);
    return copy;
}

}  // namespace duzsdk
