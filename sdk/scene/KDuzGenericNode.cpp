#include "sdk/scene/KDuzGenericNode.h"

#include "sdk/base/KStringList.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/KProperty.h"

namespace duzsdk {

namespace {

constexpr int kTypeNumber = PlugTypeNumberOf("KDuzGenericNode_internal");
constexpr const char* kGenericNodeErrors[] = {"Error"};

class KDuzGenericNode_internal : public KDuzTakeNodeContainer_internal {
public:
    explicit KDuzGenericNode_internal(KDuzObject* object) : KDuzTakeNodeContainer_internal(object) {}
    KPlugTypeInfo* GetPlugTypeInfo() const override { return PlugTypeInfoGetRecord(kTypeNumber); }
    int GetStaticTypeNumber() const override { return kTypeNumber; }
};

}  // namespace

KDuzGenericNode::KDuzGenericNode(KDuzSdkManager* manager, const char* name)
    : KDuzTakeNodeContainer(manager, name, &mError), mError(kGenericNodeErrors, 1) {
    SetInternalObject(new KDuzGenericNode_internal(this));
    CreateDefaultTakeNode();
    WrapInternalProperties();
}

KDuzGenericNode::~KDuzGenericNode() = default;

KDuzGenericNode* KDuzGenericNode::Create(KDuzSdkManager* manager, const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<KDuzGenericNode*>(manager->CreateObject(ClassId(), name));
}

KDuzPlug* KDuzGenericNode::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* node = new KDuzGenericNode(manager, name);
    node->PostCreate();
    return node;
}

KClassId KDuzGenericNode::ClassId() { return KDuzClassIdOf(eDuzClassGenericNode); }

KClassId KDuzGenericNode::GetClassId() const { return ClassId(); }

KStringList KDuzGenericNode::GetTypeFlags() const {
    KStringList list;
    list.Append("GenericNode");
    return list;
}

void KDuzGenericNode::AddPropertiesToTakeNode(KDuzTakeNode* takeNode) {
    KDuzObject_internal* internal = GetInternalObject();
    if (internal == nullptr || takeNode == nullptr) return;
    for (int i = 0; i < internal->GetPropertyCount(); ++i) {
        KProperty* property = internal->GetProperty(i);
        if (property != nullptr && property->TestInfoFlag2()) AddPropertyCurveNodes(property, takeNode);
    }
}

KDuzObject* KDuzGenericNode::Clone(int mode) {
    if (mode != 2) return nullptr;
    KDuzGenericNode* clone = Create(GetSdkManager(), GetName());
    if (clone == nullptr) return nullptr;
    clone->CopyTakeNodes(*this);
    clone->mError = mError;
    return clone;
}

}  // namespace duzsdk
