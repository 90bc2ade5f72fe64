// The world: numbers every internal object and every world-registered
// property, keeps them in id-indexed tables, and owns two object spaces. It
// lives while the SDK is started.
#pragma once

#include "sdk/base/SparseBitSet.h"

#include <vector>

namespace duzsdk {

class KObject;
class KProperty;
class KWorld;

class KObjectSpace {
public:
    // The serial given to the last space created in this process (1: none yet).
    static int GetLastSerial();
    // Reference count 1, levels 1, the next serial, a space id from the world.
    static KObjectSpace* Create(KWorld* world, int kind, KObjectSpace* parent);
    // Lowers the count; at zero gives the id back, leaves the parent and
    // frees the space.
    void Release();
    bool AddChild(KObjectSpace* space);
    bool RemoveChild(KObjectSpace* space);

    KWorld* GetWorld() const { return mWorld; }
    int GetRefCount() const { return mRefCount; }
    int GetId() const { return mId; }
    void SetId(int id) { mId = id; }
    int GetKind() const { return mKind; }
    KObjectSpace* GetParent() const { return mParent; }
    int GetChildCount() const { return static_cast<int>(mChildren.size()); }
    int GetInheritedLevel() const { return mInheritedLevel; }
    int GetLevel() const { return mLevel; }
    int GetSerial() const { return mSerial; }

private:
    KObjectSpace() = default;
    ~KObjectSpace() = default;

    KWorld* mWorld = nullptr;
    int mRefCount = 1;
    int mId = -1;
    int mKind = 0;
    KObjectSpace* mParent = nullptr;
    std::vector<KObjectSpace*> mChildren;
    int mInheritedLevel = 1;
    int mLevel = 1;
    int mSerial = 0;
};

class KWorld {
public:
    static KWorld* Create();
    virtual ~KWorld();
    KWorld(const KWorld&) = delete;
    KWorld& operator=(const KWorld&) = delete;

    // Takes an id, stores the object there, tells the object its space and
    // id, and adds its world-registered properties. -1 when no id is left.
    int AddObject(KObject* object, KObjectSpace* space = nullptr);
    void RemoveObject(KObject* object);
    int AddProperty(KProperty* property);
    void RemoveProperty(KProperty* property);
    bool AssignSpaceId(KObjectSpace* space);
    void ReleaseSpaceId(KObjectSpace* space);

    KObject* GetObject(int id) const;
    KProperty* GetProperty(int id) const;
    int GetObjectTableSize() const { return static_cast<int>(mObjects.size()); }
    KObjectSpace* GetSpaceA() const { return mSpaceA; }
    KObjectSpace* GetSpaceB() const { return mSpaceB; }

private:
    KWorld() = default;

    KObjectSpace* mSpaceA = nullptr;
    KObjectSpace* mSpaceB = nullptr;
    SparseBitSet mSpaceIds;
    SparseBitSet mObjectIds;
    std::vector<KObject*> mObjects;
    SparseBitSet mPropertyIds;
    std::vector<KProperty*> mProperties;
};

// Counted start and stop of the SDK's process-wide services (plug system,
// memory pools, world).
void KDuzSdkInit();
void KDuzSdkUninit();
// The current world, or null while the SDK is stopped.
KWorld* KWorldGet();

}  // namespace duzsdk
