#include "sdk/object/KDuzSdkManager.h"

#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzFormatRegistryUse.h"
#include "sdk/object/KDuzObject.h"
#include "sdk/object/KDuzProperty.h"
#include "sdk/object/KDuzUserNotification.h"
#include "sdk/object/KObjectList.h"
#include "sdk/object/KWorld.h"
#include "sdk/object/PropertyDataTypeMap.h"

#include <cstring>
#include <new>

namespace duzsdk {

namespace {

constexpr const char* kManagerErrors[] = {"Object not found", ""};

// Managers are created and destroyed from one thread at a time.
int gLiveManagers = 0;

PropertyDataType RegisterDataTypeThrough(void* context, const char* name, int kind) {
    return static_cast<KDuzSdkManager*>(context)->RegisterDataType(name, kind);
}

KClassId ClassOf(EDuzClass id) { return KDuzClassIdOf(id); }

bool IsA(const KDuzObject* object, EDuzClass id) {
    KClassId classId = ClassOf(id);
    return object != nullptr && classId.IsValid() && object->Is(classId);
}

const KClassId& ObjectsOrAll(const KClassId& classId, KClassId& scratch) {
    if (classId.IsValid()) return classId;
    scratch = KDuzObject::ClassId();
    return scratch;
}

}  // namespace

// ---- life --------------------------------------------------------------------

KDuzSdkManager* KDuzSdkManager::Create() { return new (std::nothrow) KDuzSdkManager; }

KDuzSdkManager::KDuzSdkManager() : mError(kManagerErrors, eErrorCount + 1) {
    if (gLiveManagers == 0) KDuzSdkInit();
    ++gLiveManagers;
    mClasses = new KClassRegistry;
    mRegistry = new KObjectList;
    KDuzFormatRegistryAcquire();
    RegisterClasses();
    if (!PropertyDataTypesAreRegistered()) PropertyDataTypeRegisterAll(&RegisterDataTypeThrough, this);
}

KDuzSdkManager::~KDuzSdkManager() {
    DestroyAllObjects();
    // Objects first, then the elements their layers pointed at.
    DestroyLayerElements();
    delete mRegistry;
    mRegistry = nullptr;
    mClasses->Clear();
    delete mClasses;
    mClasses = nullptr;
    if (--gLiveManagers == 0) KDuzSdkUninit();
    KDuzFormatRegistryRelease();
}

void KDuzSdkManager::Destroy() { delete this; }

int KDuzSdkManager::GetLiveCount() { return gLiveManagers; }

// ---- classes and data types ----------------------------------------------------

bool KDuzSdkManager::RegisterClasses() {
    KDuzInstallClassMatcher();
    // The object layer's own classes; the layers above add theirs through
    // KDuzInstallClassCreators, one line per class.
    KDuzClassTreeSetCreator(eDuzClassProperty, &KDuzClassCreatorProperty);
    KDuzClassTreeSetCreator(eDuzClassObject, &KDuzObject::ClassCreator);
    return KDuzRegisterClassTree(*mClasses);
}

KClassId KDuzSdkManager::RegisterClass(const char* name, const KClassId& parent,
                                       KDuzClassCreator creator, const char* duzTypeName,
                                       const char* duzSubTypeName) {
    return mClasses->RegisterClass(name, parent, creator, duzTypeName, duzSubTypeName);
}

bool KDuzSdkManager::AddClass(const KClassId& classId) { return mClasses->AddClass(classId); }

int KDuzSdkManager::GetRegisteredClassCount() const { return mClasses != nullptr ? mClasses->GetNameCount() : 0; }

KClassId KDuzSdkManager::FindClassByDuzType(const char* duzTypeName,
                                            const char* duzSubTypeName) const {
    return mClasses->FindClassByDuzType(duzTypeName, duzSubTypeName);
}

PropertyDataType KDuzSdkManager::RegisterDataType(const char* name, int kind) {
    return PropertyDataTypeMapRegister(name, kind);
}

// ---- objects -------------------------------------------------------------------

KDuzPlug* KDuzSdkManager::CreateObject(const KClassId& classId, const char* name) {
    KDuzPlug* plug = classId.Create(this, name);
    if (plug == nullptr) return nullptr;
    plug->SetRuntimeClassId(classId);
    RegisterObject(plug);
    return plug;
}

bool KDuzSdkManager::RegisterObject(KDuzPlug* plug) {
    if (plug == nullptr || !plug->Is(KDuzObject::ClassId())) return false;
    KObject* internal = KObjectCast(plug->GetInternalPlug());
    if (internal == nullptr || mRegistry == nullptr) return false;
    return mRegistry->ConnectSource(internal);
}

bool KDuzSdkManager::UnregisterObject(KDuzPlug* plug) {
    if (plug == nullptr || !plug->Is(KDuzObject::ClassId())) return false;
    KObject* internal = KObjectCast(plug->GetInternalPlug());
    const bool done = internal != nullptr && mRegistry != nullptr && mRegistry->DisconnectSource(internal);
    if (!done) mError.SetLastError(eObjectNotFound);
    return done;
}

void KDuzSdkManager::CollectObjects(const KClassId& classId, std::vector<KDuzObject*>& out) const {
    out.clear();
    if (mRegistry == nullptr) return;
    KClassId scratch;
    const KClassId& kept = ObjectsOrAll(classId, scratch);
    const int count = mRegistry->KPlug::GetSourceCount();
    for (int i = 0; i < count; ++i) {
        KDuzObject* object = KDuzGetPublicObject(mRegistry->KPlug::GetSource(i));
        if (object != nullptr && (!kept.IsValid() || object->IsRuntime(kept))) out.push_back(object);
    }
}

const std::vector<KDuzObject*>& KDuzSdkManager::ObjectsOf(const KClassId& classId) const {
    KClassId scratch;
    const KClassIdInfo* info = ObjectsOrAll(classId, scratch).GetInfo();
    const uint64_t stamp = mRegistry != nullptr ? mRegistry->GetListStamp() : 0;
    const uint64_t publicEpoch = KPlug::GetPublicEpoch();
    if (mObjectCache.stamp != stamp || mObjectCache.publicEpoch != publicEpoch || mObjectCache.info != info) {
        CollectObjects(classId, mObjectCache.objects);
        mObjectCache.stamp = stamp;
        mObjectCache.publicEpoch = publicEpoch;
        mObjectCache.info = info;
    }
    return mObjectCache.objects;
}

int KDuzSdkManager::GetObjectCount(const KClassId& classId) const {
    return static_cast<int>(ObjectsOf(classId).size());
}

KDuzObject* KDuzSdkManager::GetObject(const KClassId& classId, int index) const {
    if (index < 0) return nullptr;
    const std::vector<KDuzObject*>& objects = ObjectsOf(classId);
    return index < static_cast<int>(objects.size()) ? objects[static_cast<size_t>(index)] : nullptr;
}

KDuzObject* KDuzSdkManager::FindObject(const KClassId& classId, const char* name, int start) const {
    if (name == nullptr) return nullptr;
    std::vector<KDuzObject*> objects;
    CollectObjects(classId, objects);
    for (size_t i = start > 0 ? static_cast<size_t>(start) : 0u; i < objects.size(); ++i) {
        if (std::strcmp(objects[i]->GetName(), name) == 0) return objects[i];
    }
    return nullptr;
}

KDuzObject* KDuzSdkManager::FindNode(const char* name, int start) {
    return FindObject(ClassOf(eDuzClassNode), name, start);
}
KDuzObject* KDuzSdkManager::FindSurfaceMaterial(const char* name, int start) {
    return FindObject(ClassOf(eDuzClassSurfaceMaterial), name, start);
}
KDuzObject* KDuzSdkManager::FindTexture(const char* name, int start) {
    return FindObject(ClassOf(eDuzClassTexture), name, start);
}
KDuzObject* KDuzSdkManager::FindVideo(const char* name, int start) {
    return FindObject(ClassOf(eDuzClassVideo), name, start);
}
KDuzObject* KDuzSdkManager::FindPose(const char* name, int start) {
    return FindObject(ClassOf(eDuzClassPose), name, start);
}
KDuzObject* KDuzSdkManager::FindGenericNode(const char* name, int start) {
    return FindObject(ClassOf(eDuzClassGenericNode), name, start);
}

bool KDuzSdkManager::OwnsForDestroy(const KDuzObject* owner, const KDuzObject* candidate,
                                    bool recursive) const {
    if (owner == nullptr || candidate == nullptr) return false;
    if (IsA(owner, eDuzClassNode)) {
        if (IsA(candidate, eDuzClassNode)) return recursive;
        if (IsA(candidate, eDuzClassNodeAttribute) || IsA(candidate, eDuzClassConstraint)) return true;
        return IsA(candidate, eDuzClassDeformer);
    }
    if (IsA(owner, eDuzClassNodeAttribute)) {
        if (!IsA(owner, eDuzClassGeometry)) return false;
        return IsA(candidate, eDuzClassDeformer) || IsA(candidate, eDuzClassGeometryWeightedMap);
    }
    if (IsA(owner, eDuzClassDeformer)) {
        if (!IsA(owner, eDuzClassSkin)) return false;
        return IsA(candidate, eDuzClassCluster);
    }
    return IsA(owner, eDuzClassScene);
}

bool KDuzSdkManager::DestroyObjectRecursive(KDuzObject* object, bool recursive) {
    if (object != nullptr) object->Destroy(recursive, false);
    return true;
}

bool KDuzSdkManager::DestroyObject(KDuzObject* object) {
    if (object != nullptr) object->Destroy(false, false);
    return true;
}

void KDuzSdkManager::DestroyAllObjects() {
    // Each pass works through weak references taken up front: destroying
    // one object may take others with it, and an object already gone is
    // skipped without searching the registry again for every object.
    // Within a pass the order of destruction carries no meaning.
    auto destroyAll = [this](const KClassId& classId, bool recursive) {
        std::vector<KDuzObject*> objects;
        CollectObjects(classId, objects);
        while (!objects.empty()) {
            std::vector<HdlKObject> handles;
            handles.reserve(objects.size());
            for (KDuzObject* object : objects) handles.push_back(HdlKObject::FromPlug(object->GetInternalPlug()));
            // Last registered first: each object then leaves the end of the
            // registry, so emptying a large manager stays linear.
            for (auto it = handles.rbegin(); it != handles.rend(); ++it) {
                if (KDuzObject* object = KDuzGetPublicObject(it->Get())) object->Destroy(recursive, false);
            }
            const size_t before = objects.size();
            CollectObjects(classId, objects);
            if (objects.size() >= before) return;   // nothing went: do not spin
        }
    };
    if (ClassOf(eDuzClassScene).IsValid()) destroyAll(ClassOf(eDuzClassScene), true);
    if (ClassOf(eDuzClassNode).IsValid()) destroyAll(ClassOf(eDuzClassNode), true);
    destroyAll(KClassId(), false);
    DestroyUserNotification();
}

KDuzObject* KDuzSdkManager::CreateCameraSwitcher() {
    return dynamic_cast<KDuzObject*>(CreateObject(ClassOf(eDuzClassCameraSwitcher), ""));
}

KDuzObject* KDuzSdkManager::CreateConstraint(const char* name, int type) {
    static constexpr EDuzClass kByCode[] = {
        eDuzClassConstraintPosition, eDuzClassConstraintRotation, eDuzClassConstraintScale,
        eDuzClassConstraintParent,   eDuzClassConstraintSingleChainIK, eDuzClassConstraintAim,
    };
    if (type < 1 || type > 6) return nullptr;
    return dynamic_cast<KDuzObject*>(CreateObject(ClassOf(kByCode[type - 1]), name));
}

// ---- user notification -------------------------------------------------------

KDuzUserNotification* KDuzSdkManager::CreateUserNotification(const KString& first,
                                                             const KString& second) {
    if (mUserNotification != nullptr) return nullptr;
    mUserNotification = new (std::nothrow) KDuzUserNotification(first, second);
    return mUserNotification;
}

bool KDuzSdkManager::DestroyUserNotification() {
    if (mUserNotification != nullptr) {
        mUserNotification->Flush();
        delete mUserNotification;
        mUserNotification = nullptr;
    }
    return true;
}

// ---- layer elements -------------------------------------------------------------

void KDuzSdkManager::AdoptLayerElement(EDuzLayerElementList list, void* element,
                                       ElementDestroyer destroy) {
    if (element == nullptr || destroy == nullptr || list < 0 || list >= eDuzLayerElementListCount)
        return;
    mLayerElements[list].push_back({element, destroy});
}

int KDuzSdkManager::GetLayerElementCount(EDuzLayerElementList list) const {
    if (list < 0 || list >= eDuzLayerElementListCount) return 0;
    return static_cast<int>(mLayerElements[list].size());
}

void KDuzSdkManager::DestroyLayerElements() {
    for (auto& elements : mLayerElements) {
        while (!elements.empty()) {
            OwnedElement last = elements.back();
            elements.pop_back();
            last.destroy(last.element);
        }
    }
}

}  // namespace duzsdk
