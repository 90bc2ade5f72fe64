#include "sdk/geometry/KDuzDeformer.h"

#include <new>

#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/KPlugType.h"
#include "sdk/object/KProperty.h"

namespace duzsdk {

namespace {

constexpr int kDeformerTypeNumber = PlugTypeNumberOf("KDuzDeformer_internal");
constexpr int kSubDeformerTypeNumber = PlugTypeNumberOf("KDuzSubDeformer_internal");
constexpr const char* kDeformerErrors[] = {"Error"};

}  // namespace

void KDuzAddAnimatablePropertiesToTakeNode(KDuzTakeNodeContainer& container, KDuzTakeNode* takeNode) {
    KDuzObject_internal* internal = container.GetInternalObject();
    if (internal == nullptr || takeNode == nullptr) return;
    for (int i = 0; i < internal->GetPropertyCount(); ++i) {
        KProperty* property = internal->GetProperty(i);
        if (property != nullptr && property->TestInfoFlag2()) container.AddPropertyCurveNodes(property, takeNode);
    }
}

KPlugTypeInfo* KDuzDeformer_internal::GetPlugTypeInfo() const { return PlugTypeInfoGetRecord(kDeformerTypeNumber); }
int KDuzDeformer_internal::GetStaticTypeNumber() const { return kDeformerTypeNumber; }
KPlugTypeInfo* KDuzSubDeformer_internal::GetPlugTypeInfo() const {
    return PlugTypeInfoGetRecord(kSubDeformerTypeNumber);
}
int KDuzSubDeformer_internal::GetStaticTypeNumber() const { return kSubDeformerTypeNumber; }

// ---- deformer ------------------------------------------------------------------------

KDuzDeformer::KDuzDeformer(KDuzSdkManager* manager, const char* name)
    : KDuzTakeNodeContainer(manager, name, &mError), mError(kDeformerErrors, 1) {}

KDuzDeformer::~KDuzDeformer() = default;

KDuzDeformer* KDuzDeformer::Create(KDuzSdkManager* manager, const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<KDuzDeformer*>(manager->CreateObject(ClassId(), name));
}

KDuzPlug* KDuzDeformer::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* deformer = new (std::nothrow) KDuzDeformer(manager, name);
    if (deformer != nullptr) deformer->PostCreate();
    return deformer;
}

KClassId KDuzDeformer::ClassId() { return KDuzClassIdOf(eDuzClassDeformer); }
KClassId KDuzDeformer::GetClassId() const { return ClassId(); }

void KDuzDeformer::PostCreate() {
    if (GetInternalObject() == nullptr) SetInternalObject(new KDuzDeformer_internal(this));
    KDuzTakeNodeContainer::PostCreate();
    if (GetTakeNodeCount() == 0) CreateDefaultTakeNode();
    WrapInternalProperties();
}

void KDuzDeformer::AddPropertiesToTakeNode(KDuzTakeNode* takeNode) {
    KDuzAddAnimatablePropertiesToTakeNode(*this, takeNode);
}

void KDuzDeformer::CopyBase(const KDuzDeformer& other) {
    if (&other == this) return;
    CopyTakeNodes(other);
    mError = other.mError;
    mMultiLayer = other.mMultiLayer;
}

// ---- sub-deformer --------------------------------------------------------------------

KDuzSubDeformer::KDuzSubDeformer(KDuzSdkManager* manager, const char* name)
    : KDuzTakeNodeContainer(manager, name, &mError), mError(kDeformerErrors, 1) {}

KDuzSubDeformer::~KDuzSubDeformer() = default;

KDuzSubDeformer* KDuzSubDeformer::Create(KDuzSdkManager* manager, const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<KDuzSubDeformer*>(manager->CreateObject(ClassId(), name));
}

KDuzPlug* KDuzSubDeformer::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* deformer = new (std::nothrow) KDuzSubDeformer(manager, name);
    if (deformer != nullptr) deformer->PostCreate();
    return deformer;
}

KClassId KDuzSubDeformer::ClassId() { return KDuzClassIdOf(eDuzClassSubDeformer); }
KClassId KDuzSubDeformer::GetClassId() const { return ClassId(); }

void KDuzSubDeformer::PostCreate() {
    if (GetInternalObject() == nullptr) SetInternalObject(new KDuzSubDeformer_internal(this));
    KDuzTakeNodeContainer::PostCreate();
    if (GetTakeNodeCount() == 0) CreateDefaultTakeNode();
    WrapInternalProperties();
}

void KDuzSubDeformer::AddPropertiesToTakeNode(KDuzTakeNode* takeNode) {
    KDuzAddAnimatablePropertiesToTakeNode(*this, takeNode);
}

void KDuzSubDeformer::CopyBase(const KDuzSubDeformer& other) {
    if (&other == this) return;
    CopyTakeNodes(other);
    mError = other.mError;
    mMultiLayer = other.mMultiLayer;
}

}  // namespace duzsdk
