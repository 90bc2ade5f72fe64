#include "sdk/object/KObjectList.h"

#include <cstring>

namespace duzsdk {

namespace {

const HdlKObject kNullEntry;

}  // namespace

KGenericObjectList::KGenericObjectList() : mWatcher(this) {}

KGenericObjectList::~KGenericObjectList() {
    if (!(GetFlags() & kTornDown)) {
        TeardownHook6();
        Teardown();
    }
}

KPlugTypeInfo* KGenericObjectList::ClassTypeInfo() {
    return PlugTypeInfoGetRecord(kPlugTypeKGenericObjectList);
}

KPlugTypeInfo* KGenericObjectList::GetPlugTypeInfo() const { return ClassTypeInfo(); }

void KGenericObjectList::Destroy(int) {
    if (GetFlags() & kHeapOwned) delete this;
}

void KGenericObjectList::Teardown() {
    if (GetFlags() & kTornDown) return;
    mEntries.clear();
    KObject::Teardown();
}

bool KGenericObjectList::Ask(int code, const HdlKObject& reference, int index) {
    KObject* watcher = mWatcher != nullptr ? mWatcher : this;
    return watcher->AcceptListChange(this, code, KObjectCast(reference.Get()), index);
}

int KGenericObjectList::Add(const HdlKObject& reference) {
    const int index = GetCount();
    if (!Ask(kListAdding, reference, index)) return -1;
    mEntries.push_back(reference);
    Ask(kListAdded, reference, index);
    return index;
}

int KGenericObjectList::InsertAt(int index, const HdlKObject& reference) {
    if (index < 0 || index > GetCount()) index = GetCount();
    if (!Ask(kListAdding, reference, index)) return -1;
    if (index > GetCount()) index = GetCount();
    mEntries.insert(mEntries.begin() + index, reference);
    Ask(kListAdded, reference, index);
    return index;
}

bool KGenericObjectList::SetAt(int index, const HdlKObject& reference) {
    if (index < 0 || index >= GetCount()) return false;
    if (!Ask(kListAdding, reference, index)) return false;
    if (index >= GetCount()) return false;
    mEntries[index] = reference;
    Ask(kListAdded, reference, index);
    return true;
}

int KGenericObjectList::AddAll(const KGenericObjectList& list) {
    if (&list == this) return 0;
    int added = 0;
    for (int i = 0; i < list.GetCount(); ++i) {
        if (Add(list.GetAt(i)) != -1) ++added;
    }
    return added;
}

bool KGenericObjectList::RemoveAt(int index) {
    if (index < 0 || index >= GetCount()) return false;
    HdlKObject reference = mEntries[index];
    if (!Ask(kListRemoving, reference, index)) return false;
    if (index >= GetCount()) return false;
    mEntries.erase(mEntries.begin() + index);
    Ask(kListRemoved, reference, index);
    return true;
}

bool KGenericObjectList::Remove(const HdlKObject& reference) {
    for (int i = GetCount() - 1; i >= 0; --i) {
        if (mEntries[i] == reference) return RemoveAt(i);
    }
    return false;
}

const HdlKObject& KGenericObjectList::FindByName(const char* text) const {
    if (text == nullptr) return kNullEntry;
    for (const HdlKObject& entry : mEntries) {
        KObject* object = KObjectCast(entry.Get());
        if (object != nullptr && std::strcmp(object->GetFullName(), text) == 0) return entry;
    }
    return kNullEntry;
}

void KGenericObjectList::Clear(bool destroy) {
    if (!Ask(kListClear, HdlKObject(), -1)) return;
    if (destroy) {
        // Destroying one object may change the list through the watcher, so
        // the walk goes over a copy; the weak references skip the dead.
        std::vector<HdlKObject> snapshot(mEntries);
        for (auto it = snapshot.rbegin(); it != snapshot.rend(); ++it) {
            if (KPlug* plug = it->Get()) plug->Destroy(0);
        }
    }
    mEntries.clear();
}

const HdlKObject& KGenericObjectList::GetAt(int index) const {
    if (index < 0 || index >= GetCount()) return kNullEntry;
    return mEntries[index];
}

KObject* KGenericObjectList::GetObject(int index) const {
    return KObjectCast(GetAt(index).Get());
}

KObjectList::~KObjectList() {
    if (!(GetFlags() & kTornDown)) {
        TeardownHook6();
        Teardown();
    }
}

KPlugTypeInfo* KObjectList::ClassTypeInfo() { return PlugTypeInfoGetRecord(kPlugTypeKObjectList); }

KPlugTypeInfo* KObjectList::GetPlugTypeInfo() const { return ClassTypeInfo(); }

}  // namespace duzsdk
