#include "sdk/scene/KDuzCameraSwitcher.h"

#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KFCurveNode.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/PropertyDataTypeMap.h"

namespace duzsdk {

namespace {

constexpr int kTypeNumber = PlugTypeNumberOf("KDuzCameraSwitcher_internal");
constexpr const char* kCameraIndex = "Camera Index";
constexpr int kInitialCameraIndex = 100;

class KDuzCameraSwitcher_internal : public KDuzNodeAttribute_internal {
public:
    explicit KDuzCameraSwitcher_internal(KDuzObject* object) : KDuzNodeAttribute_internal(object) {}
    KPlugTypeInfo* GetPlugTypeInfo() const override { return PlugTypeInfoGetRecord(kTypeNumber); }
    int GetStaticTypeNumber() const override { return kTypeNumber; }
};

}  // namespace

KDuzCameraSwitcher::KDuzCameraSwitcher(KDuzSdkManager* manager, const char* name)
    : KDuzNodeAttribute(manager, name) {
    SetInternalObject(new KDuzCameraSwitcher_internal(this));
    mCameraIndex = KDuzProperty(this, kCameraIndex, PropertyDataTypeFromName("Integer"));
    mCameraIndex.ModifyFlag(kDuzPropertyAnimatable | kDuzPropertyFlag8, true);
    mCameraIndex.Set(kInitialCameraIndex);
    WrapInternalProperties();
}

// The property itself goes with the object's other properties; the member
// is only a handle on it.
KDuzCameraSwitcher::~KDuzCameraSwitcher() = default;

KDuzCameraSwitcher* KDuzCameraSwitcher::Create(KDuzSdkManager* manager, const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<KDuzCameraSwitcher*>(manager->CreateObject(ClassId(), name));
}

KDuzPlug* KDuzCameraSwitcher::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* switcher = new KDuzCameraSwitcher(manager, name);
    switcher->PostCreate();
    return switcher;
}

KClassId KDuzCameraSwitcher::ClassId() { return KDuzClassIdOf(eDuzClassCameraSwitcher); }

KClassId KDuzCameraSwitcher::GetClassId() const { return ClassId(); }

void KDuzCameraSwitcher::AddCameraName(const char* name) { mCameraNames.emplace_back(name != nullptr ? name : ""); }

const char* KDuzCameraSwitcher::GetCameraName(int index) const {
    if (index < 0 || index >= GetCameraNameCount()) return nullptr;
    return mCameraNames[static_cast<size_t>(index)].Buffer();
}

void KDuzCameraSwitcher::SetDefaultCameraIndex(int index) {
    // The property follows too, so that attaching again (which copies the
    // property into the curves) keeps the index.
    mCameraIndex.Set(index);
    SetDefaultChannel(kCameraIndex, nullptr, static_cast<double>(index));
}

int KDuzCameraSwitcher::GetDefaultCameraIndex() const {
    double value = 0.0;
    if (GetDefaultChannel(kCameraIndex, nullptr, value)) return static_cast<int>(value);
    return mCameraIndex.Get();
}

void KDuzCameraSwitcher::AddPropertiesToTakeNode(KDuzTakeNode* takeNode) {
    KDuzNodeAttribute::AddPropertiesToTakeNode(takeNode);
    AddChannel(RootOf(takeNode), kCameraIndex, kCameraIndex, 1.0, 1.0f, 1.0f, 1.0f);
}

void KDuzCameraSwitcher::RemovePropertiesFromTakeNode(KDuzTakeNode* takeNode) {
    RemoveChannel(takeNode, kCameraIndex);
    KDuzNodeAttribute::RemovePropertiesFromTakeNode(takeNode);
}

KDuzObject* KDuzCameraSwitcher::Clone(int mode) {
    if (mode != 2) return nullptr;
    KDuzCameraSwitcher* clone = Create(GetSdkManager(), "");
    if (clone == nullptr) return nullptr;
    for (const KString& name : mCameraNames) clone->AddCameraName(name.Buffer());
    return clone;
}

}  // namespace duzsdk
