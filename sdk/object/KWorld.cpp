#include "sdk/object/KWorld.h"

#include "sdk/base/KMemoryPool.h"
#include "sdk/object/KDuzObjectManager.h"
#include "sdk/object/KObject.h"
#include "sdk/object/KPlugHandle.h"
#include "sdk/object/KProperty.h"

#include <algorithm>

namespace duzsdk {

namespace {

int gSdkStartCount = 0;
KWorld* gWorld = nullptr;
int gSpaceSerial = 1;   // raised before each use: the first space gets 2

template <typename T>
void StoreAt(std::vector<T*>& table, int id, T* value) {
    if (static_cast<std::size_t>(id) >= table.size()) table.resize(static_cast<std::size_t>(id) + 1, nullptr);
    table[static_cast<std::size_t>(id)] = value;
}

}  // namespace

// ---- object spaces ---------------------------------------------------------

int KObjectSpace::GetLastSerial() { return gSpaceSerial; }

KObjectSpace* KObjectSpace::Create(KWorld* world, int kind, KObjectSpace* parent) {
    auto* space = new KObjectSpace;
    space->mWorld = world;
    space->mKind = kind;
    space->mSerial = ++gSpaceSerial;
    if (parent != nullptr) {
        ++parent->mRefCount;
        parent->mChildren.push_back(space);
        space->mParent = parent;
        space->mInheritedLevel = parent->mInheritedLevel;
    }
    if (world != nullptr) world->AssignSpaceId(space);
    return space;
}

void KObjectSpace::Release() {
    if (--mRefCount > 0) return;
    if (mWorld != nullptr) mWorld->ReleaseSpaceId(this);
    if (mParent != nullptr) {
        KObjectSpace* parent = mParent;
        mParent = nullptr;
        parent->RemoveChild(this);
        parent->Release();
    }
    delete this;
}

bool KObjectSpace::AddChild(KObjectSpace* space) {
    if (space == nullptr) return false;
    mChildren.push_back(space);
    return true;
}

bool KObjectSpace::RemoveChild(KObjectSpace* space) {
    auto it = std::find(mChildren.begin(), mChildren.end(), space);
    if (it == mChildren.end()) return false;
    mChildren.erase(it);
    return true;
}

// ---- world -----------------------------------------------------------------

KWorld* KWorld::Create() {
    auto* world = new KWorld;
    world->mSpaceA = KObjectSpace::Create(world, 0, nullptr);
    world->mSpaceB = KObjectSpace::Create(world, 0, nullptr);
    return world;
}

KWorld::~KWorld() {
    for (int id = 0; id < static_cast<int>(mProperties.size()); ++id) {
        if (mProperties[id] != nullptr) mProperties[id]->GetInfo().worldId = -1;
    }
    mPropertyIds.Reset();
    // Objects that outlive the world must not keep pointing at it.
    for (KObject* object : mObjects) {
        if (object != nullptr) object->SetWorldEntry(nullptr, -1);
    }
    mObjects.clear();
    mObjectIds.Reset();
    mSpaceA->Release();
    mSpaceB->Release();
    mSpaceIds.Reset();
}

int KWorld::AddObject(KObject* object, KObjectSpace* space) {
    if (object == nullptr) return -1;
    const int id = mObjectIds.AllocateId();
    if (id < 0) return -1;
    StoreAt(mObjects, id, object);
    object->SetWorldEntry(space != nullptr ? space : mSpaceA, id);
    for (int i = 0; i < object->GetPropertyCount(); ++i) {
        if (!(object->GetPropertyInfoFlags(i) & KPropertyInfo::kWorldRegistered)) continue;
        KProperty* property = object->GetProperty(i);
        if (property != nullptr && property->HasInfoFlag(KPropertyInfo::kWorldRegistered)) AddProperty(property);
    }
    return id;
}

void KWorld::RemoveObject(KObject* object) {
    if (object == nullptr) return;
    for (int i = 0; i < object->GetPropertyCount(); ++i) {
        KProperty* property = object->PeekProperty(i);   // an unmade slot was never registered
        if (property != nullptr && property->HasInfoFlag(KPropertyInfo::kWorldRegistered)) RemoveProperty(property);
    }
    const int id = object->GetId();
    object->SetWorldEntry(nullptr, -1);
    // An object that was never added (or already removed) has no entry.
    if (id < 0 || id >= static_cast<int>(mObjects.size()) || mObjects[id] != object) return;
    mObjectIds.Clear(id);
    mObjects[id] = nullptr;
}

int KWorld::AddProperty(KProperty* property) {
    if (property == nullptr) return -1;
    const int id = mPropertyIds.AllocateId();
    if (id < 0) return -1;
    StoreAt(mProperties, id, property);
    property->GetInfo().worldId = id;
    return id;
}

void KWorld::RemoveProperty(KProperty* property) {
    if (property == nullptr) return;
    const int id = property->GetInfo().worldId;
    property->GetInfo().worldId = -1;
    if (id < 0 || id >= static_cast<int>(mProperties.size()) || mProperties[id] != property) return;
    mPropertyIds.Clear(id);
    mProperties[id] = nullptr;
}

bool KWorld::AssignSpaceId(KObjectSpace* space) {
    if (space == nullptr) return false;
    const int id = mSpaceIds.AllocateId();
    space->SetId(id);
    return id >= 0;
}

void KWorld::ReleaseSpaceId(KObjectSpace* space) {
    if (space == nullptr || space->GetId() < 0) return;
    mSpaceIds.Clear(space->GetId());
    space->SetId(-1);
}

KObject* KWorld::GetObject(int id) const {
    if (id < 0 || id >= static_cast<int>(mObjects.size())) return nullptr;
    return mObjects[id];
}

KProperty* KWorld::GetProperty(int id) const {
    if (id < 0 || id >= static_cast<int>(mProperties.size())) return nullptr;
    return mProperties[id];
}

// ---- start and stop --------------------------------------------------------

void KDuzSdkInit() {
    if (gSdkStartCount == 0) {
        KDuzObjectManagerLinkTemporaryFiles();
        KPlugSystemInit();
        KMemoryPoolsInit();
        gWorld = KWorld::Create();
    }
    ++gSdkStartCount;
}

void KDuzSdkUninit() {
    if (gSdkStartCount <= 0) return;
    if (--gSdkStartCount == 0) {
        delete gWorld;
        gWorld = nullptr;
        KMemoryPoolsRelease();
        KPlugSystemRelease();
    }
}

KWorld* KWorldGet() { return gWorld; }

}  // namespace duzsdk
