// Objects that hold weak references to other objects, with a watcher that
// may refuse each change. The SDK manager keeps its registries in them.
#pragma once

#include "sdk/object/KObject.h"

#include <vector>

namespace duzsdk {

class KGenericObjectList : public KObject {
public:
    // Codes the watcher's AcceptListChange receives.
    enum : int { kListClear = 0, kListAdding = 1, kListRemoving = 2, kListAdded = 4, kListRemoved = 5 };

    KGenericObjectList();
    ~KGenericObjectList() override;

    // Deletes the list only when it is heap-owned (plug flag 0x20).
    void Destroy(int unused = 0) override;
    // Empties the list (without destroying the objects), then the object teardown.
    void Teardown() override;
    KPlugTypeInfo* GetPlugTypeInfo() const override;
    static KPlugTypeInfo* ClassTypeInfo();

    // Index of the new entry, or -1 when the watcher refuses.
    int Add(const HdlKObject& reference);
    int Add(KObject* object) { return Add(HdlKObject::FromPlug(object)); }
    int InsertAt(int index, const HdlKObject& reference);
    bool SetAt(int index, const HdlKObject& reference);
    int AddAll(const KGenericObjectList& list);
    bool RemoveAt(int index);
    // Removes the last entry equal in serial and record.
    bool Remove(const HdlKObject& reference);
    // The first live entry whose object's full name equals the text exactly,
    // else a null entry.
    const HdlKObject& FindByName(const char* text) const;
    // With destroy, every live entry's object is destroyed, last first.
    void Clear(bool destroy);

    int GetCount() const { return static_cast<int>(mEntries.size()); }
    // A null entry outside the list.
    const HdlKObject& GetAt(int index) const;
    // The entry's object, or null when out of range or dead.
    KObject* GetObject(int index) const;

    void SetWatcher(KObject* watcher) { mWatcher = watcher; }
    KObject* GetWatcher() const { return mWatcher; }

private:
    bool Ask(int code, const HdlKObject& reference, int index);

    std::vector<HdlKObject> mEntries;
    KObject* mWatcher;
};

// The typed list used by the SDK manager and by merges.
class KObjectList : public KGenericObjectList {
public:
    KObjectList() = default;
    ~KObjectList() override;
    KPlugTypeInfo* GetPlugTypeInfo() const override;
    static KPlugTypeInfo* ClassTypeInfo();
};

}  // namespace duzsdk
