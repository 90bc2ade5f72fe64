#include "sdk/scene/KDuzOpticalReference.h"

#include "sdk/base/KStringList.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"

namespace duzsdk {

namespace {

constexpr int kTypeNumber = PlugTypeNumberOf("KDuzOpticalReference_internal");

class KDuzOpticalReference_internal : public KDuzNodeAttribute_internal {
public:
    explicit KDuzOpticalReference_internal(KDuzObject* object) : KDuzNodeAttribute_internal(object) {}
    KPlugTypeInfo* GetPlugTypeInfo() const override { return PlugTypeInfoGetRecord(kTypeNumber); }
    int GetStaticTypeNumber() const override { return kTypeNumber; }
};

}  // namespace

KDuzOpticalReference::KDuzOpticalReference(KDuzSdkManager* manager, const char* name)
    : KDuzNodeAttribute(manager, name) {
    SetInternalObject(new KDuzOpticalReference_internal(this));
    WrapInternalProperties();
}

KDuzOpticalReference::~KDuzOpticalReference() = default;

KDuzOpticalReference* KDuzOpticalReference::Create(KDuzSdkManager* manager, const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<KDuzOpticalReference*>(manager->CreateObject(ClassId(), name));
}

KDuzPlug* KDuzOpticalReference::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* reference = new KDuzOpticalReference(manager, name);
    reference->PostCreate();
    return reference;
}

KClassId KDuzOpticalReference::ClassId() { return KDuzClassIdOf(eDuzClassOpticalReference); }

KClassId KDuzOpticalReference::GetClassId() const { return ClassId(); }

KStringList KDuzOpticalReference::GetTypeFlags() const {
    KStringList list;
    list.Append("Marker");
    return list;
}

KDuzObject* KDuzOpticalReference::Clone(int mode) {
    if (mode != 2) return nullptr;
    return Create(GetSdkManager(), "");
}

}  // namespace duzsdk
