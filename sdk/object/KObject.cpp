#include "sdk/object/KObject.h"

#include "sdk/base/KMemory.h"
#include "sdk/object/KDataType.h"
#include "sdk/object/KObjectList.h"
#include "sdk/object/KProperty.h"
#include "sdk/object/KPropertySlotTable.h"
#include "sdk/object/KPropertyTemplate.h"
#include "sdk/object/KWorld.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_set>

namespace duzsdk {

namespace {

int gSelectionCounter = 0;

bool IsBlank(const char* text) {
    if (text == nullptr) return true;
    for (const char* p = text; *p; ++p) {
        if (*p != ' ') return false;
    }
    return true;
}

bool SameText(const KString& stored, const char* text) {
    return std::strcmp(stored.Buffer(), text != nullptr ? text : "") == 0;
}

}  // namespace

KObject* KObjectCast(KPlug* plug) {
    if (plug == nullptr) return nullptr;
    return static_cast<KObject*>(plug->GetInterface(KObject::kInterfaceObject));
}

// ---- construction and teardown ---------------------------------------------

KObject::KObject() = default;

KObject::~KObject() {
    if (!(GetFlags() & kTornDown)) {
        TeardownHook6();
        Teardown();
    }
    delete mEventSink;
    mEventSink = nullptr;
    if (KPlug::GetSourceCount() > 0) DisconnectSourceObjects();
    if (KObject* container = GetContainer()) container->DisconnectSource(this);
    for (void* block : mOwnedBlocks) {
        ReleaseOwnedBlock(block);
        KMemFree(block);
    }
    mOwnedBlocks.clear();
}

KPlugTypeInfo* KObject::ClassTypeInfo() { return PlugTypeInfoGetRecord(kPlugTypeKObject); }

KPlugTypeInfo* KObject::GetPlugTypeInfo() const { return ClassTypeInfo(); }

void* KObject::GetInterface(unsigned id) {
    if (id == kInterfaceObject) return this;
    return KPlug::GetInterface(id);
}

void KObject::Initialize(KObjectSpace* space) {
    if (space != nullptr && space->GetWorld() != nullptr) space->GetWorld()->AddObject(this, space);
}

void KObject::Teardown() { DisconnectOnDestroy(); }

void KObject::DisconnectOnDestroy() {
    if (GetFlags() & kTornDown) return;
    mState |= kStateDestroying;
    if (GetContainer() != nullptr) Broadcast(kBroadcastDestroying, nullptr, nullptr, -1);
    DisconnectAll();
    RemoveAllProperties();
    if (mSpace != nullptr && mSpace->GetWorld() != nullptr) mSpace->GetWorld()->RemoveObject(this);
    KPlug::Teardown();
}

void KObject::TeardownHook6() {
    if (KPlugSystemIsActive() && GetContainer() != nullptr) SetFlags(mObjectFlags & ~1);
}

// ---- events ----------------------------------------------------------------

bool KObject::IsReplacementPending(KPlug* a, KPlug* b) {
    for (const PendingReplacement& p : mPending) {
        if ((p.plug == a && p.other == b) || (p.plug == b && p.other == a)) return true;
    }
    return false;
}

bool KObject::IsDetachable(int check) {
    if (check != 0 || KPlug::GetSourceCount() != 0) return false;
    const int destinations = KPlug::GetDestinationCount();
    if (destinations > 1 || (destinations == 1 && GetContainer() == nullptr)) return false;
    for (KProperty* property : mProperties) {
        if (property == nullptr) continue;   // an unmade slot has no connections
        if (property->GetSourceCount() != 0 || property->GetDestinationCount() != 0) return false;
    }
    return true;
}

bool KObject::SendValueEvent(int a, int code, KPlug* plug, const void* newValue,
                             const void* oldValue, int d) {
    if (KPlugSystemIsActive()) {
        if (KObject* container = GetContainer())
            container->OnContainedValueEvent(this, a, code, plug, newValue, oldValue, d);
    }
    return KPlug::SendValueEvent(a, code, plug, newValue, oldValue, d);
}

bool KObject::SendObjectEvent(int a, int code, KPlug* object, const void* data, const void* c,
                              int d) {
    if (KPlugSystemIsActive()) {
        if (KObject* container = GetContainer())
            container->OnContainedObjectEvent(this, a, code, object, data, c, d);
    }
    return KPlug::SendObjectEvent(a, code, object, data, c, d);
}

bool KObject::SendConnectionEvent(const KPlugEventChain* chain, int code, KPlug* plug, int index,
                                  KPlug* other, int flags, KPlug* extra) {
    if (code == kEventSourceSideReplacing || code == kEventDestinationSideReplacing) {
        mPending.push_back({plug, other, extra, code == kEventSourceSideReplacing ? 1 : 0});
    } else if (code == kEventSourceSideReplaced || code == kEventDestinationSideReplaced) {
        const int side = code == kEventSourceSideReplaced ? 1 : 0;
        for (auto it = mPending.begin(); it != mPending.end(); ++it) {
            if (it->plug == plug && it->other == other && it->sourceSide == side) {
                mPending.erase(it);
                break;
            }
        }
    }

    bool result = true;
    KObject* otherObject = KObjectCast(other);
    if (otherObject != nullptr) {
        if (plug == this) {
            switch (code) {
                case kEventSourceAdding:
                    result = NotifyEventSink(plug, 1, otherObject, index) && OnSourceEvent(1, otherObject, index);
                    break;
                case kEventDestinationAdding: result = OnDestinationEvent(1, otherObject, index); break;
                case kEventSourceAdded:
                    result = NotifyEventSink(plug, 4, otherObject, index) && OnSourceEvent(4, otherObject, index);
                    break;
                case kEventDestinationAdded: result = OnDestinationEvent(4, otherObject, index); break;
                case kEventSourceRemoving:
                    result = NotifyEventSink(plug, 2, otherObject, index) && OnSourceEvent(2, otherObject, index);
                    break;
                case kEventDestinationRemoving: result = OnDestinationEvent(2, otherObject, index); break;
                case kEventSourceRemoved:
                    result = NotifyEventSink(plug, 5, otherObject, index) && OnSourceEvent(5, otherObject, index);
                    break;
                case kEventDestinationRemoved: result = OnDestinationEvent(5, otherObject, index); break;
                case 14:
                case 15: result = OnSourceEvent(code, otherObject, index); break;
                default: break;
            }
        } else {
            switch (code) {
                case kEventSourceAdding: result = NotifyEventSink(plug, 1, otherObject, index); break;
                case kEventSourceAdded: result = NotifyEventSink(plug, 4, otherObject, index); break;
                case kEventSourceRemoving: result = NotifyEventSink(plug, 2, otherObject, index); break;
                case kEventSourceRemoved:
                    if (!(mState & kStateDestroying)) result = NotifyEventSink(plug, 5, otherObject, index);
                    break;
                default: break;
            }
        }
    } else if (code == kEventPlug16 || code == kEventPlug17) {
        result = NotifyEventSink(plug, code == kEventPlug16 ? 6 : 7, nullptr, index);
    }
    if (!result) return false;
    if (KObject* container = GetContainer()) {
        if (!container->OnContainedConnectionEvent(this, chain, code, plug, index, other, flags, extra))
            return false;
    }
    return KPlug::SendConnectionEvent(chain, code, plug, index, other, flags, extra);
}

void KObject::OnConnectionsChanged(KPlug* plug) {
    if (mState & kStateDestroying) return;
    KProperty* property = KPropertyCast(plug);
    if (property == nullptr || property->GetValueType() != eKPropReference) return;
    if (property->IsInDisconnectWalk() || (property->GetFlags() & kTornDown)) return;
    // A reference property whose target went away goes with it.
    if (property->GetSourceProperty(0) != nullptr) return;
    int index = IndexOfProperty(property);
    if (index >= 0) DestroyProperty(index);
}

bool KObject::NotifyEventSink(KPlug* plug, int kind, KObject* other, int) {
    if (plug != this || mEventSink == nullptr) return true;
    KObjectEventRecord record;
    record.kind = kind;
    record.object = this;
    record.objectRef = HdlKObject::FromPlug(this);
    record.other = other;
    record.otherRef = HdlKObject::FromPlug(other);
    mEventSink->OnObjectEvent(record);
    return true;
}

bool KObject::OnSourceEvent(int kind, KObject* other, int index) {
    switch (kind) {
        case 1:
            if (other != nullptr) Broadcast(kBroadcastSourceAdding, other, nullptr, -1);
            break;
        case 2: Broadcast(kBroadcastSourceRemoving, other, nullptr, -1); break;
        case 4: {
            Broadcast(kBroadcastSourceAdded, other, nullptr, index);
            const int hierarchy = other != nullptr ? other->GetHierarchyTypeNumber() : -1;
            if (hierarchy != -1 && other->GetNamespace()[0] != '\0' && other->IsPlugType(hierarchy) &&
                IsPlugType(hierarchy)) {
                KString relative = KObjectRelativeNamespace(GetHierarchicalPath().Buffer(),
                                                            other->GetNamespace());
                other->SetNamespace(relative.Buffer());
            }
            Broadcast(kBroadcastSourcesChanged, other, nullptr, index);
            break;
        }
        case 5:
            Broadcast(kBroadcastSourceRemoved, other, nullptr, -1);
            Broadcast(kBroadcastSourcesChanged, other, nullptr, index);
            break;
        case 14: Broadcast(kBroadcastConnection14, other, nullptr, -1); break;
        case 15: Broadcast(kBroadcastConnection15, other, nullptr, -1); break;
        default: break;
    }
    return true;
}

bool KObject::OnDestinationEvent(int, KObject*, int) { return true; }

bool KObject::Broadcast(int code, const void* a, const void* b, int index) {
    if (code == kBroadcastDestroying)
        SendObjectEvent(0, kObjectEventTeardown, this, nullptr, nullptr, 0);
    if (KPlugSystemIsActive()) {
        if (KObject* container = GetContainer()) container->OnContainedBroadcast(this, code, a, b, index);
    }
    KPlug* objects = GetChildPlug(PlugTypeInfoGet(kPlugTypeKObject));
    if (objects == nullptr) return true;
    // Read the list afresh at each step: a receiver may cut connections.
    for (int i = 0; i < objects->GetDestinationCount(); ++i) {
        KObject* receiver = KObjectCast(objects->GetDestination(i));
        if (receiver == nullptr) break;
        receiver->OnBroadcast(code, this, a, b);
    }
    return true;
}

bool KObject::OnBroadcast(int, KObject*, const void*, const void*) { return false; }

bool KObject::BroadcastEvent25() { return Broadcast(25, nullptr, nullptr, -1); }

bool KObject::BroadcastEvent26() { return Broadcast(26, nullptr, nullptr, -1); }

bool KObject::AcceptListChange(KObject*, int, KObject*, int) { return true; }

bool KObject::OnPropertyListEvent(int, KProperty*, int) { return true; }

bool KObject::ReleaseOwnedBlock(void*) { return true; }

void KObject::SetEventSink(KObjectEventSink* sink) {
    if (sink == mEventSink) return;
    delete mEventSink;
    mEventSink = sink;
}

void KObject::AddOwnedBlock(void* block) {
    if (block != nullptr) mOwnedBlocks.push_back(block);
}

// ---- flags -----------------------------------------------------------------

bool KObject::SetFlags(int flags) {
    if (flags == mObjectFlags) {
        if (flags & 1) {
            Broadcast(kBroadcastSelectedAgain, nullptr, nullptr, -1);
            SendObjectEvent(0, kObjectEventSelectedAgain, this, nullptr, nullptr, 0);
        }
        return false;
    }
    const int old = mObjectFlags;
    mObjectFlags = flags;
    if ((old ^ flags) & 1) {
        if (flags & 1) {
            mSelectionSerial = ++gSelectionCounter;
            Broadcast(kBroadcastSelected, nullptr, nullptr, -1);
            SendObjectEvent(0, kObjectEventSelected, this, nullptr, nullptr, 0);
        } else {
            Broadcast(kBroadcastDeselected, nullptr, nullptr, -1);
            SendObjectEvent(0, kObjectEventDeselected, this, nullptr, nullptr, 0);
        }
    } else if (flags & 1) {
        mSelectionSerial = ++gSelectionCounter;
        Broadcast(kBroadcastSelectedAgain, nullptr, nullptr, -1);
        SendObjectEvent(0, kObjectEventSelectedAgain, this, nullptr, nullptr, 0);
    }
    if ((old ^ flags) & 2) {
        Broadcast((flags & 2) ? kBroadcastFlag1Set : kBroadcastFlag1Cleared, nullptr, nullptr, -1);
    }
    return true;
}

void KObject::ClearSelection() {
    SetFlags(mObjectFlags & ~1);
    mSelectionWord = 0;
}

// ---- container -------------------------------------------------------------

void KObject::SetContainer(KPlug* container) {
    mContainer = container != nullptr ? HdlKObject::FromPlug(container) : HdlKObject();
}

KObject* KObject::GetContainer() const {
    if (!KPlugSystemIsActive()) return nullptr;
    return KObjectCast(mContainer.Get());
}

// ---- names -----------------------------------------------------------------

void KObject::SetName(const char* text) {
    if (text != nullptr && SameText(mName, text)) return;
    KString newName(IsBlank(text) ? "1" : text);
    if (newName.EqualsString(mName)) return;
    KString oldName(mName);
    Broadcast(kBroadcastBeforeRename, nullptr, newName.Buffer(), -1);
    SendObjectEvent(0, kObjectEventBeforeRename, this, newName.Buffer(), oldName.Buffer(), 0);
    mName = newName;
    InvalidateFullName(false);
    Broadcast(kBroadcastAfterRename, nullptr, mName.Buffer(), -1);
    SendObjectEvent(0, kObjectEventAfterRename, this, mName.Buffer(), oldName.Buffer(), 0);
}

void KObject::SetNameQuiet(const char* text) {
    if (SameText(mName, text)) return;
    KString newName(text != nullptr ? text : "");
    KString oldName(mName);
    Broadcast(kBroadcastBeforeQuietRename, nullptr, newName.Buffer(), -1);
    SendObjectEvent(0, kObjectEventBeforeRename, this, newName.Buffer(), oldName.Buffer(), 0);
    mName = newName;
    InvalidateFullName(false);
    Broadcast(kBroadcastQuietlyRenamed, nullptr, newName.Buffer(), -1);
    SendObjectEvent(0, kObjectEventAfterRename, this, newName.Buffer(), nullptr, 0);
}

void KObject::SetInitialNamespace(const char* text) {
    if (SameText(mNamespace, text)) return;
    KString value(text != nullptr ? text : "");
    KString old(mNamespace);
    Broadcast(kBroadcastBeforeNamespaceSet, nullptr, value.Buffer(), -1);
    SendObjectEvent(0, kObjectEventNamespaceChange, this, value.Buffer(), old.Buffer(), 0);
    mNamespace = value;
    InvalidateFullName(true);
    Broadcast(kBroadcastNamespaceSet, nullptr, value.Buffer(), -1);
    SendObjectEventRecursive(mNamespace.Buffer(), kObjectEventNamespacePropagation);
}

void KObject::SetNamespace(const char* text) {
    const char* given = text != nullptr ? text : "";
    if (SameText(mNamespace, given) && SameText(mPath, given)) return;
    KString textCopy(given);
    Broadcast(kBroadcastBeforeNamespaceChange, nullptr, textCopy.Buffer(), -1);
    std::string value = given;
    if (KObject* parent = GetHierarchyParent()) {
        KString parentPath = parent->GetHierarchicalPath();
        const std::size_t n = static_cast<std::size_t>(parentPath.Length());
        if (n > 0 && value.compare(0, n, parentPath.Buffer()) == 0 &&
            (value.size() == n || value[n] == ':')) {
            std::size_t start = n;
            while (start < value.size() && value[start] == ':') ++start;
            value = value.substr(start);
        }
    }
    KString old(mNamespace);
    SendObjectEvent(0, kObjectEventNamespaceChange, this, value.c_str(), old.Buffer(), 0);
    mNamespace = value.c_str();
    mPath = value.c_str();
    InvalidateFullName(true);
    Broadcast(kBroadcastNamespaceChanged, nullptr, textCopy.Buffer(), -1);
    SendObjectEventRecursive(mNamespace.Buffer(), kObjectEventNamespacePropagation);
}

void KObject::SetFullName(const char* text) {
    KString document, kind, nameSpace, name;
    KObjectSplitFullName(text, document, kind, nameSpace, name);
    SetNamespace(nameSpace.Buffer());
    SetName(name.Buffer());
}

// Walks the sources of the hierarchy type; connection graphs may hold cycles,
// so every object is visited once.
void KObject::InvalidateFullName(bool recursive) {
    mFullNameDirty = true;
    const int hierarchy = GetHierarchyTypeNumber();
    if (!recursive || hierarchy == -1) return;
    std::unordered_set<KObject*> seen{this};
    std::vector<KObject*> work{this};
    while (!work.empty()) {
        KObject* object = work.back();
        work.pop_back();
        object->mFullNameDirty = true;
        for (int i = 0; i < object->KPlug::GetSourceCount(); ++i) {
            KObject* source = KObjectCast(object->KPlug::GetSource(i));
            if (source != nullptr && source->IsPlugType(hierarchy) && seen.insert(source).second)
                work.push_back(source);
        }
    }
}

void KObject::SendObjectEventRecursive(const void* data, int code) {
    std::unordered_set<KObject*> seen{this};
    std::vector<KObject*> work{this};
    while (!work.empty()) {
        KObject* object = work.back();
        work.pop_back();
        object->SendObjectEvent(0, code, object, data, nullptr, 0);
        const int hierarchy = object->GetHierarchyTypeNumber();
        if (hierarchy == -1) continue;
        for (int i = 0; i < object->KPlug::GetSourceCount(); ++i) {
            KObject* source = KObjectCast(object->KPlug::GetSource(i));
            if (source != nullptr && source->IsPlugType(hierarchy) && seen.insert(source).second)
                work.push_back(source);
        }
    }
}

KObject* KObject::GetHierarchyParent() const {
    const int hierarchy = GetHierarchyTypeNumber();
    if (hierarchy == -1) return nullptr;
    for (int i = 0; i < KPlug::GetDestinationCount(); ++i) {
        KObject* destination = KObjectCast(KPlug::GetDestination(i));
        if (destination != nullptr && destination->IsPlugType(hierarchy)) return destination;
    }
    return nullptr;
}

KString KObject::GetHierarchicalPath() {
    // Collect the chain of parents (stopping at a repeat), then join from the top.
    std::vector<KObject*> chain{this};
    std::unordered_set<KObject*> seen{this};
    for (KObject* parent = GetHierarchyParent(); parent != nullptr && seen.insert(parent).second;
         parent = parent->GetHierarchyParent())
        chain.push_back(parent);
    KString path(chain.back()->GetNamespace());
    for (int i = static_cast<int>(chain.size()) - 2; i >= 0; --i)
        path = KObjectJoinNamespaces(path.Buffer(), chain[i]->GetNamespace());
    return path;
}

const char* KObject::GetFullName() {
    if (mFullNameDirty) {
        KString path = GetHierarchicalPath();
        mFullName = KObjectJoinFullName(GetStaticTypeLabel(), path.Buffer(), mName.Buffer());
        mFullNameDirty = false;
    }
    return mFullName.Buffer();
}

// ---- properties ------------------------------------------------------------

KProperty* KObject::GetProperty(int index) const {
    if (index < 0 || index >= static_cast<int>(mProperties.size())) return nullptr;
    if (IsUnmadeSlot(index)) return const_cast<KObject*>(this)->MaterializeSlot(index);
    return mProperties[index];
}

KProperty* KObject::PeekProperty(int index) const {
    if (index < 0 || index >= static_cast<int>(mProperties.size())) return nullptr;
    return mProperties[index];
}

const char* KObject::GetPropertyName(int index) const {
    if (index < 0 || index >= static_cast<int>(mProperties.size())) return "";
    if (IsUnmadeSlot(index)) return mSlotTable->GetRow(index).name;
    return mProperties[index]->GetName();
}

int KObject::GetPropertyInfoFlags(int index) const {
    if (index < 0 || index >= static_cast<int>(mProperties.size())) return 0;
    if (IsUnmadeSlot(index)) return mSlotTable->GetRow(index).infoFlags;
    return mProperties[index]->GetInfo().flags;
}

bool KObject::ListSlots(const KPropertySlotTable* table) {
    if (table == nullptr || !mProperties.empty() || mSlotCount > 0) return false;
    mSlotTable = table;
    mSlotCount = table->GetCount();
    mProperties.assign(static_cast<size_t>(mSlotCount), nullptr);
    return true;
}

KProperty* KObject::MaterializeSlot(int slot) {
    if (slot < 0 || slot >= mSlotCount) return nullptr;
    if (mProperties[slot] != nullptr) return mProperties[slot];
    // One at a time: a look-up of the slot's own name while it is being
    // made finds nothing, as it would have when the property was new.
    if (mMaterializing >= 0) return nullptr;
    mMaterializing = slot;
    mSlotTable->Make(this, slot);
    mMaterializing = -1;
    KProperty* property = mProperties[slot];
    if (property != nullptr) SlotMaterialized(slot, property);
    return property;
}

bool KObject::ReleaseSlot(int slot) {
    if (slot < 0 || slot >= mSlotCount || mMaterializing >= 0) return false;
    KProperty* property = mProperties[static_cast<size_t>(slot)];
    if (property == nullptr) return true;
    if (!FillsSlot(property) || property->IsAwaitingWrapper() || !property->HasInfoFlag(KPropertyInfo::kOwned) ||
        property->GetSourceCount() != 0 || property->GetDestinationCount() != 0 ||
        property->GetChildPlugCount() != 0 ||
        std::strcmp(property->GetName(), mSlotTable->GetRow(slot).name) != 0)
        return false;
    // Off the list first: its teardown then finds nothing to forget, and
    // the slot reads as never made, which leaves without events.
    mProperties[static_cast<size_t>(slot)] = nullptr;
    property->SetListSlot(-1);
    SlotReleased(slot, property);
    property->Destroy(0);
    return true;
}

bool KObject::FillsSlot(const KProperty* property) const {
    const int slot = property != nullptr ? property->GetListSlot() : -1;
    return slot >= 0 && slot < mSlotCount && mProperties[slot] == property;
}

void KObject::FlattenSlots() {
    if (mSlotCount == 0) return;
    for (int i = 0; i < mSlotCount; ++i) MaterializeSlot(i);
    const int count = mSlotCount;
    mSlotCount = 0;
    mSlotTable = nullptr;
    // A slot whose property could not be made leaves the list.
    bool shifted = false;
    for (int i = count - 1; i >= 0; --i) {
        if (mProperties[i] != nullptr) continue;
        mProperties.erase(mProperties.begin() + i);
        shifted = true;
    }
    for (int i = 0; i < static_cast<int>(mProperties.size()); ++i) {
        KProperty* property = mProperties[i];
        if (property->GetListSlot() >= 0) {
            property->SetListSlot(-1);
            PropertyEntry& entry = mPropertyEntries[property];
            entry.position = i;
            entry.name = property->GetName();
            FileName(property, entry.name, i);
        } else if (shifted) {
            mPropertyEntries.at(property).position = i;
        }
    }
}

int KObject::IndexOfProperty(const KProperty* property) const {
    // The pointer may be stale: compared, never followed. The filed ones
    // first; the slots from the last, which teardown removes first.
    auto found = mPropertyEntries.find(property);
    if (found != mPropertyEntries.end()) return found->second.position;
    if (property != nullptr) {
        for (int i = mSlotCount - 1; i >= 0; --i)
            if (mProperties[i] == property) return i;
    }
    return -1;
}

namespace {

// Splits "stem 12" into the stem and the suffix CreateProperty would have
// written for it; false for any other name.
bool SplitNumberedName(const std::string& name, std::string& stem, int& number) {
    const std::size_t space = name.rfind(' ');
    if (space == std::string::npos) return false;
    const std::size_t digits = name.size() - space - 1;
    if (digits == 0 || digits > 9) return false;
    if (digits > 1 && name[space + 1] == '0') return false;
    int value = 0;
    for (std::size_t i = space + 1; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') return false;
        value = value * 10 + (name[i] - '0');
    }
    stem = name.substr(0, space);
    number = value;
    return true;
}

}  // namespace

void KObject::FileName(KProperty* property, const std::string& name, int position) {
    std::vector<KProperty*>& bucket = mPropertiesByName[name];
    // Usually the property is the last of its name in the list: walk back.
    std::size_t at = bucket.size();
    while (at > 0 && mPropertyEntries.at(bucket[at - 1]).position > position) --at;
    bucket.insert(bucket.begin() + static_cast<std::ptrdiff_t>(at), property);
}

void KObject::UnfileName(KProperty* property, const std::string& name) {
    auto found = mPropertiesByName.find(name);
    if (found != mPropertiesByName.end()) {
        std::vector<KProperty*>& bucket = found->second;
        auto it = std::find(bucket.begin(), bucket.end(), property);
        if (it != bucket.end()) bucket.erase(it);
        if (bucket.empty()) mPropertiesByName.erase(found);
    }
    // A freed "stem k" makes k the lowest suffix that may be free again.
    std::string stem;
    int number = 0;
    if (SplitNumberedName(name, stem, number)) {
        auto hint = mSuffixHints.find(stem);
        if (hint != mSuffixHints.end() && number < hint->second) hint->second = number;
    }
}

void KObject::ForgetProperty(KProperty* property) {
    if (FillsSlot(property)) {
        PropertySettingsChanging(property);
        const int slot = property->GetListSlot();
        if (FillsSlot(property) && slot == mSlotCount - 1 &&
            slot == static_cast<int>(mProperties.size()) - 1) {
            mProperties.pop_back();
            --mSlotCount;
            property->SetListSlot(-1);
            return;
        }
        FlattenSlots();
    }
    auto found = mPropertyEntries.find(property);
    if (found == mPropertyEntries.end()) return;
    PropertySettingsChanging(property);
    found = mPropertyEntries.find(property);   // the hook may not touch the list, but be sure
    if (found == mPropertyEntries.end()) return;
    const int index = found->second.position;
    UnfileName(property, found->second.name);
    mPropertyEntries.erase(found);
    mProperties.erase(mProperties.begin() + index);
    for (int i = index; i < static_cast<int>(mProperties.size()); ++i)
        mPropertyEntries.at(mProperties[i]).position = i;
}

void KObject::ReindexProperty(KProperty* property) {
    if (FillsSlot(property)) {
        if (std::strcmp(property->GetName(), mSlotTable->GetRow(property->GetListSlot()).name) == 0) return;
        FlattenSlots();
    }
    auto found = mPropertyEntries.find(property);
    if (found == mPropertyEntries.end()) return;
    PropertyEntry& entry = found->second;
    const char* name = property->GetName();
    if (entry.name == name) return;
    UnfileName(property, entry.name);
    entry.name = name;
    FileName(property, entry.name, entry.position);
}

KProperty* KObject::FindPropertyByName(const char* text) const {
    if (text == nullptr) return nullptr;
    // The slots come first in the list: a slot of that name is the first.
    if (mSlotCount > 0) {
        const int slot = mSlotTable->Find(text);
        if (slot >= 0 && slot < mSlotCount) {
            if (KProperty* property = GetProperty(slot)) return property;
        }
    }
    auto found = mPropertiesByName.find(text);
    return found != mPropertiesByName.end() ? found->second.front() : nullptr;
}

bool KObject::IsPropertyNameTaken(const char* text, const KProperty* except) const {
    if (text == nullptr) return false;
    if (mSlotCount > 0) {
        const int slot = mSlotTable->Find(text);
        if (slot >= 0 && slot < mSlotCount && (mProperties[slot] == nullptr || mProperties[slot] != except))
            return true;
    }
    auto found = mPropertiesByName.find(text);
    if (found == mPropertiesByName.end()) return false;
    for (KProperty* property : found->second)
        if (property != except) return true;
    return false;
}

int KObject::AddProperty(KProperty* property) {
    // A second entry for the same property would be destroyed twice.
    if (property == nullptr || mPropertyEntries.count(property) != 0 || FillsSlot(property)) return -1;
    if (mMaterializing >= 0 && mProperties[mMaterializing] == nullptr) {
        // The property of the slot being made: it takes the slot's place.
        const int slot = mMaterializing;
        OnPropertyListEvent(8, property, property->GetInfo().flags);
        if (mProperties[slot] != nullptr || mPropertyEntries.count(property) != 0) return -1;
        mProperties[slot] = property;
        property->SetListSlot(slot);
        OnPropertyListEvent(11, property, property->GetInfo().flags);
        return -1;
    }
    OnPropertyListEvent(8, property, property->GetInfo().flags);
    if (mPropertyEntries.count(property) != 0) return -1;   // added by the listener
    const int position = static_cast<int>(mProperties.size());
    mProperties.push_back(property);
    PropertyEntry& entry = mPropertyEntries[property];
    entry.position = position;
    entry.name = property->GetName();
    FileName(property, entry.name, position);
    OnPropertyListEvent(11, property, property->GetInfo().flags);
    return -1;
}

bool KObject::RemovePropertyAt(int index) {
    KProperty* property = GetProperty(index);
    if (property == nullptr) return false;
    OnPropertyListEvent(9, property, property->GetInfo().flags);
    ReleaseReferences(property);
    ForgetProperty(property);   // found again: the calls above may shift entries
    OnPropertyListEvent(12, property, property->GetInfo().flags);
    return true;
}

bool KObject::DestroyProperty(int index) {
    KProperty* property = GetProperty(index);
    if (property == nullptr || !RemovePropertyAt(index)) return false;
    if (property->HasInfoFlag(KPropertyInfo::kOwned)) {
        property->Destroy(0);
    } else {
        property->DisconnectAllSourcesImpl(true);
        property->DisconnectAllDestinationsImpl(true);
        // A property the object does not own may outlive it: it must not keep
        // pointing at a dying owner.
        if (mState & kStateDestroying) property->SetOwner(nullptr);
    }
    return true;
}

bool KObject::ReleaseReferences(KProperty* property) {
    if (property == nullptr || property->GetValueType() == eKPropReference) return true;
    int i = property->GetDestinationCount() - 1;
    while (i >= 0) {
        KProperty* referrer = KPropertyCast(property->GetDestination(i));
        if (referrer != nullptr) {
            if (KObject* owner = referrer->GetOwnerObject()) owner->RemoveProperty(referrer);
        }
        i = std::min(i, property->GetDestinationCount()) - 1;
    }
    return true;
}

void KObject::RemoveAllProperties() {
    for (int i = static_cast<int>(mProperties.size()) - 1; i >= 0; --i) {
        if (IsUnmadeSlot(i)) {
            SlotLeaving(i);   // may make it
            // Never made: nothing holds it, nothing is connected to it.
            if (IsUnmadeSlot(i) && i == mSlotCount - 1 && i == static_cast<int>(mProperties.size()) - 1) {
                mProperties.pop_back();
                --mSlotCount;
                continue;
            }
        }
        if (i < static_cast<int>(mProperties.size())) DestroyProperty(i);
    }
}

bool KObject::RemoveUnmadeSlot(int slot) {
    if (!IsUnmadeSlot(slot)) return false;
    if (slot == mSlotCount - 1 && slot == static_cast<int>(mProperties.size()) - 1) {
        mProperties.pop_back();
        --mSlotCount;
        return true;
    }
    KProperty* property = MaterializeSlot(slot);
    return property != nullptr && RemoveProperty(property);
}

bool KObject::RemoveProperty(KProperty* property) {
    int index = IndexOfProperty(property);
    if (index < 0) return false;
    return DestroyProperty(index);
}

bool KObject::RemoveUserProperty(KProperty* property) {
    if (property == nullptr || !property->HasInfoFlag(KPropertyInfo::kUser)) return false;
    return RemoveProperty(property);
}

int KObject::GetUserPropertyCount() const {
    int count = 0;
    for (int i = 0; i < static_cast<int>(mProperties.size()); ++i)
        if (GetPropertyInfoFlags(i) & KPropertyInfo::kUser) ++count;
    return count;
}

KProperty* KObject::GetUserProperty(int index) const {
    if (index < 0) return nullptr;
    for (int i = 0; i < static_cast<int>(mProperties.size()); ++i) {
        if ((GetPropertyInfoFlags(i) & KPropertyInfo::kUser) && index-- == 0) return GetProperty(i);
    }
    return nullptr;
}

void KObject::DisconnectAll() {
    for (std::size_t i = 0; i < mProperties.size(); ++i) {
        KProperty* property = mProperties[i];
        if (property == nullptr) continue;   // an unmade slot has no connections
        property->DisconnectAllSourcesImpl(true);
        property->DisconnectAllDestinationsImpl(true);
    }
    DisconnectAllSourcesImpl(true);
    KObject* container = GetContainer();
    int i = KPlug::GetDestinationCount() - 1;
    while (i >= 0) {
        KPlug* destination = KPlug::GetDestination(i);
        if (destination != nullptr && destination != container) DisconnectDestinationAt(i);
        i = std::min(i, KPlug::GetDestinationCount()) - 1;
    }
}

void KObject::DisconnectSourceObjects() {
    int i = KPlug::GetSourceCount() - 1;
    while (i >= 0) {
        if (KObject* source = KObjectCast(KPlug::GetSource(i))) DisconnectSource(source);
        i = std::min(i, KPlug::GetSourceCount()) - 1;
    }
}

KProperty* KObject::CreateProperty(const char* name, int code, const KDataType* dataType,
                                   bool animatable, bool user, KProperty* referenceTarget,
                                   bool returnExisting) {
    if ((mCapabilities & kCapabilityNoUserProperties) && user && code != eKPropReference)
        return nullptr;
    const std::string requested = name != nullptr ? name : "";
    std::string actual = requested;
    if (KProperty* existing = FindPropertyByName(actual.c_str())) {
        if (returnExisting) return existing;
        // Every suffix below the hint is known to be in use.
        int& hint = mSuffixHints[requested];
        int i = hint;
        actual = requested + " " + std::to_string(i);
        while (FindPropertyByName(actual.c_str()) != nullptr) actual = requested + " " + std::to_string(++i);
        hint = i;
    }
    const char* n = actual.c_str();
    KProperty* property = nullptr;
    switch (code) {
        case eKPropInt: property = new KPropertyTemplate<int>(this, n, dataType, user); break;
        case eKPropBool: property = new KPropertyTemplate<bool>(this, n, dataType, user); break;
        case eKPropDouble: property = new KPropertyTemplate<double>(this, n, dataType, user); break;
        case eKPropEnum:
            property = new KPropertyTemplate<int>(this, n, dataType, user, nullptr, 0, eKPropEnum);
            break;
        case eKPropTime: property = new KPropertyTemplate<KTime>(this, n, dataType, user); break;
        case eKPropString: property = new KPropertyTemplate<KString>(this, n, dataType, user); break;
        case eKPropObject: property = new KPropertyTemplate<KObject*>(this, n, dataType, user); break;
        case eKPropVector4D:
        case eKPropVector3D:
            property = new KPropertyTemplate<KgeTVector>(this, n, dataType, user);
            break;
        case eKPropColorRGB: property = new KPropertyTemplate<KgeRGBVector>(this, n, dataType, user); break;
        case eKPropColorRGBA:
            property = new KPropertyTemplate<KgeRGBAVector>(this, n, dataType, user);
            break;
        case eKPropAction:
            property = new KPropertyTemplate<bool>(this, n, dataType, user, nullptr, 0, eKPropAction);
            break;
        case eKPropReference:
            property = new KPropertyTemplate<KProperty*>(this, n, dataType, user, referenceTarget);
            break;
        case eKPropMatrix: property = new KPropertyTemplate<KgeMatrix>(this, n, dataType, user); break;
        default: return nullptr;
    }
    property->SetMinMax(0.0, 100.0);
    if (animatable) property->GetInfo().flags |= KPropertyInfo::kAnimatable;
    return property;
}

KProperty* KObject::CloneProperty(KProperty* property) {
    if (property == nullptr) return nullptr;
    const bool animatable = property->HasInfoFlag(KPropertyInfo::kAnimatable);
    const bool user = property->HasInfoFlag(KPropertyInfo::kUser);
    KProperty* clone;
    if (animatable) {
        const KDataType* type = property->GetDataType();
        clone = CreateProperty(property->GetName(), KDataTypeToPropertyTypeCode(type), type, true, user,
                               nullptr, false);
    } else {
        KProperty* target =
            property->GetValueType() == eKPropReference ? property->GetReferencedProperty() : nullptr;
        clone = CreateProperty(property->GetName(), property->GetValueType(), nullptr, false, user,
                               target, false);
    }
    if (clone != nullptr) clone->SetMinMax(property->GetMin(), property->GetMax());
    return clone;
}

KProperty* KObject::CreateReferenceProperty(KProperty* target, const char* name) {
    if (target == nullptr || target->GetValueType() == eKPropObject) return nullptr;
    KString text;
    if (name != nullptr) {
        text = name;
    } else {
        KObject* targetOwner = target->GetOwnerObject();
        text = KString(targetOwner != nullptr ? targetOwner->GetName() : GetName());
        text += ".";
        text += target->GetName();
    }
    KProperty* property =
        CreateProperty(text.Buffer(), eKPropReference, nullptr,
                       target->HasInfoFlag(KPropertyInfo::kAnimatable), true, target, false);
    if (property == nullptr) return nullptr;
    if (property->GetSourceProperty(0) == target) {
        if (name != nullptr) property->GetInfo().flags |= KPropertyInfo::kNamedReference;
        property->SetMinMax(target->GetMin(), target->GetMax());
        return property;
    }
    RemoveUserProperty(property);
    return nullptr;
}

void KObject::Copy(KObject* object, int flags) {
    if (flags & 1) CopyPropertyValues(object);
    if (flags & 0x10) CopyPropertySettings(object);
    if (flags & 4) CloneUserProperties(object);
    if (flags & 8) CopyUserPropertyValues(object);
}

namespace {

template <typename Apply>
void WalkMatchingProperties(KObject* self, KObject* other, Apply apply) {
    if (other == nullptr || other == self || !self->IsPlugType(other->GetPlugTypeNumber())) return;
    const int count = std::min(self->GetPropertyCount(), other->GetPropertyCount());
    for (int i = 0; i < count; ++i) {
        KProperty* source = other->GetProperty(i);
        KProperty* mine = self->GetProperty(i);
        if (source == nullptr || mine == nullptr) continue;
        if (source->HasInfoFlag(KPropertyInfo::kAnimatable) || mine->HasInfoFlag(KPropertyInfo::kAnimatable))
            continue;
        KProperty* target = std::strcmp(source->GetName(), mine->GetName()) == 0
                                ? mine
                                : self->FindPropertyByName(source->GetName());
        if (target != nullptr) apply(target, source);
    }
}

}  // namespace

void KObject::CopyPropertyValues(KObject* object) {
    WalkMatchingProperties(this, object, [](KProperty* target, KProperty* source) {
        target->CopyValue(source);
    });
}

void KObject::CopyPropertySettings(KObject* object) {
    WalkMatchingProperties(this, object, [](KProperty* target, KProperty*) { target->ReservedSettings(); });
}

void KObject::CopyUserPropertyValues(KObject* object) {
    if (object == nullptr || object == this) return;
    for (int i = 0; i < object->GetPropertyCount(); ++i) {
        if (!(object->GetPropertyInfoFlags(i) & KPropertyInfo::kUser)) continue;
        KProperty* source = object->GetProperty(i);
        if (source == nullptr || !source->HasInfoFlag(KPropertyInfo::kUser)) continue;
        KProperty* mine = FindPropertyByName(source->GetName());
        if (mine != nullptr && mine->HasInfoFlag(KPropertyInfo::kUser)) mine->CopyValue(source);
    }
}

void KObject::CloneUserProperties(KObject* other) {
    if (other == nullptr || other == this) return;
    for (int i = 0; i < other->GetPropertyCount(); ++i) {
        if (!(other->GetPropertyInfoFlags(i) & KPropertyInfo::kUser)) continue;
        KProperty* source = other->GetProperty(i);
        if (source != nullptr && source->HasInfoFlag(KPropertyInfo::kUser)) CloneProperty(source);
    }
}

bool KObject::IsNotEntity(KPlug* plug) const {
    return plug == nullptr || !plug->IsPlugType(kPlugTypeKEntity);
}

bool KObject::DestinationsAccept() {
    for (int i = 0; i < KPlug::GetDestinationCount(); ++i) {
        KPlug* destination = KPlug::GetDestination(i);
        KObject* object = KObjectCast(destination);
        if (object == nullptr && destination != nullptr) object = KObjectCast(destination->GetOwner());
        if (object != nullptr && !object->AcceptsRelocation(this)) return false;
    }
    return true;
}

// ---- merging ---------------------------------------------------------------

namespace {

KObject* TopmostOwnerObject(KPlug* plug) {
    KPlug* top = plug;
    for (int guard = 0; top != nullptr && top->GetOwner() != nullptr && guard < 1024; ++guard)
        top = top->GetOwner();
    return KObjectCast(top);
}

bool FoundInContext(KMergeContext* context, KObject* object) {
    if (context == nullptr || object == nullptr) return false;
    const char* name = object->GetFullName();
    if (context->first != nullptr && !context->first->FindByName(name).IsNull()) return true;
    return context->second != nullptr && !context->second->FindByName(name).IsNull();
}

// Moves the connections of one plug (the object or one of its properties)
// onto the matching plug of the other object; kind 1 sources, kind 2
// destinations. Moved connections join the end of the other side's list.
void RelocatePlug(int kind, KObject* self, KPlug* mine, KObject* other, KPlug* theirs,
                  KMergeContext* context) {
    const int n = kind == 1 ? theirs->GetSourceCount() : theirs->GetDestinationCount();
    int i = (kind == 1 ? mine->GetSourceCount() : mine->GetDestinationCount()) - 1;
    while (i >= 0) {
        KPlug* far = kind == 1 ? mine->GetSource(i) : mine->GetDestination(i);
        bool leave = far == nullptr;
        if (!leave && kind == 2 && far->IsPlugType(kPlugTypeKEntity)) leave = true;
        if (!leave && kind == 1 && !self->AcceptsRelocation(far)) leave = true;
        if (!leave) {
            KObject* farObject = TopmostOwnerObject(far);
            bool cut = FoundInContext(context, farObject);
            if (!cut) {
                const bool already = kind == 1 ? theirs->IsSourceConnected(far)
                                               : theirs->IsDestinationConnected(far);
                const bool refused = kind == 1 ? !other->AcceptsRelocatedSource(far)
                                               : !other->IsNotEntity(far);
                cut = already || refused;
            }
            if (cut) {
                if (kind == 1) mine->DisconnectSourceAt(i);
                else mine->DisconnectDestinationAt(i);
            } else if (kind == 1) {
                far->ReplaceDestination(mine, theirs, n);
            } else {
                far->ReplaceSource(mine, theirs, n);
            }
        }
        const int count = kind == 1 ? mine->GetSourceCount() : mine->GetDestinationCount();
        i = std::min(i, count) - 1;
    }
}

}  // namespace

void KObject::RelocateConnections(int kind, KObject* other, KMergeContext* context) {
    if (other == nullptr || other == this || (kind != 1 && kind != 2)) return;
    RelocatePlug(kind, this, this, other, other, context);
    for (int p = 0; p < GetPropertyCount(); ++p) {
        KProperty* mine = PeekProperty(p);   // an unmade slot has no connections to move
        if (mine == nullptr || (mine->GetFlags() & kRegisteredChild)) continue;
        KProperty* theirs = other->FindPropertyByName(mine->GetName());
        if (theirs != nullptr) RelocatePlug(kind, this, mine, other, theirs, context);
    }
}

bool KObject::Merge(KObject* other, int flags, KObject* listOwner, KMergeContext* context) {
    if (other == nullptr || other == this) return false;
    if (flags & kMergeCopyValues) other->CopyPropertyValues(this);
    if ((flags & (kMergeMoveDestinations | kMergeMoveSources | kMergeDeselect)) && mObjectFlags != 0)
        SetFlags(0);
    if (flags & kMergeMoveDestinations) RelocateConnections(2, other, context);
    if (flags & kMergeMoveSources) RelocateConnections(1, other, context);
    if (!(flags & kMergeTakeIdentity)) return (flags & kMergeCopyValues) != 0;

    KString name(other->GetName());
    KString nameSpace(other->GetNamespace());
    other->PrepareMergeTakeOver(listOwner);
    other->mCapabilities |= kCapabilityMerged;
    if (listOwner != nullptr) {
        KObjectList taken;
        taken.ModifyFlags(kHeapOwned, false);
        taken.Add(HdlKObject::FromPlug(other));
        listOwner->AcceptMergedObjects(&taken, 0, 0);
    }
    SetNamespace(nameSpace.Buffer());
    SetName(name.Buffer());
    return true;
}

// ---- typed connection access -----------------------------------------------

KPlug* KObject::TypedPlug(int typeNumber) {
    if (typeNumber == -1 || typeNumber == kPlugTypeKPlug) return this;
    KPlugFilter* filter = PlugTypeInfoGet(typeNumber);
    return filter != nullptr ? GetChildPlug(filter) : nullptr;
}

int KObject::GetSourceCount(int typeNumber) {
    KPlug* view = TypedPlug(typeNumber);
    return view != nullptr ? view->GetSourceCount() : 0;
}

KPlug* KObject::GetSource(int index, int typeNumber) {
    KPlug* view = TypedPlug(typeNumber);
    return view != nullptr ? view->GetSource(index) : nullptr;
}

int KObject::GetDestinationCount(int typeNumber) {
    KPlug* view = TypedPlug(typeNumber);
    return view != nullptr ? view->GetDestinationCount() : 0;
}

KPlug* KObject::GetDestination(int index, int typeNumber) {
    KPlug* view = TypedPlug(typeNumber);
    return view != nullptr ? view->GetDestination(index) : nullptr;
}

KObject* KObject::GetSourceObject(int index, int typeNumber) {
    return KObjectCast(GetSource(index, typeNumber));
}

KObject* KObject::GetDestinationObject(int index, int typeNumber) {
    return KObjectCast(GetDestination(index, typeNumber));
}

// ---- name helpers ----------------------------------------------------------

void KObjectSplitFullName(const char* text, KString& document, KString& kind, KString& nameSpace,
                          KString& name) {
    std::string rest = text != nullptr ? text : "";
    auto cut = [&rest](const char* separator, KString& part) {
        std::size_t at = rest.rfind(separator);
        if (at == std::string::npos) {
            part = "";
            return;
        }
        part = rest.substr(0, at).c_str();
        rest = rest.substr(at + std::strlen(separator));
    };
    cut(":::", document);
    cut("::", kind);
    cut(":", nameSpace);
    name = rest.c_str();
}

KString KObjectJoinFullName(const char* kind, const char* nameSpace, const char* name) {
    KString out;
    if (kind != nullptr && *kind) {
        out += kind;
        out += "::";
    }
    if (nameSpace != nullptr && *nameSpace) {
        out += nameSpace;
        out += ":";
    }
    if (name != nullptr) out += name;
    return out;
}

KString KObjectJoinNamespaces(const char* outerText, const char* innerText) {
    std::string outer = outerText != nullptr ? outerText : "";
    std::string inner = innerText != nullptr ? innerText : "";
    std::string result;
    // The inner namespace already holds the outer one only when it starts
    // with it; a match in the middle ("xa:b" for "a") is another namespace.
    const std::string prefix = outer + ":";
    if (outer.empty() || inner.compare(0, prefix.size(), prefix) == 0) {
        result = (!inner.empty() && inner[0] == ':') ? inner.substr(1) : inner;
    } else if (inner.empty()) {
        result = outer;
    } else if (inner[0] == ':') {
        result = outer + inner;
    } else {
        result = outer + ":" + inner;
    }
    if (!result.empty() && result.back() == ':') result.pop_back();
    return KString(result.c_str());
}

KString KObjectRelativeNamespace(const char* base, const char* full) {
    auto split = [](const char* text) {
        std::vector<std::string> parts;
        std::string current;
        for (const char* p = text != nullptr ? text : ""; *p; ++p) {
            if (*p == ':') {
                parts.push_back(current);
                current.clear();
            } else {
                current += *p;
            }
        }
        parts.push_back(current);
        return parts;
    };
    std::vector<std::string> baseParts = split(base);
    std::vector<std::string> fullParts = split(full);
    std::size_t shared = 0;
    while (shared < baseParts.size() && shared < fullParts.size() &&
           baseParts[shared] == fullParts[shared] && !(base == nullptr || *base == '\0'))
        ++shared;
    std::string out;
    for (std::size_t i = shared; i < fullParts.size(); ++i) {
        if (!out.empty()) out += ":";
        out += fullParts[i];
    }
    return KString(out.c_str());
}

}  // namespace duzsdk
