#include "sdk/object/KDuzObject.h"

#include "sdk/base/KFirstNameIndex.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/KProperty.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <string_view>
#include <strings.h>
#include <unordered_set>

namespace duzsdk {

// ---- the internal twin -------------------------------------------------------

KDuzObject_internal::~KDuzObject_internal() = default;

KPlugTypeInfo* KDuzObject_internal::ClassTypeInfo() {
    return PlugTypeInfoGetRecord(kPlugTypeKDuzObjectInternal);
}

KPlugTypeInfo* KDuzObject_internal::GetPlugTypeInfo() const { return ClassTypeInfo(); }

KProperty* KDuzObject_internal::AddNewProperty(const char* name, int code,
                                               const KDataType* dataType, bool setInfoFlag2,
                                               bool adoptExisting) {
    KProperty* property = nullptr;
    if (adoptExisting) {
        KProperty* existing = FindPropertyByName(name);
        if (existing != nullptr && existing->GetValueType() == code) property = existing;
    }
    if (property == nullptr) property = CreateProperty(name, code, dataType, false, false, nullptr, false);
    if (property != nullptr && setInfoFlag2)
        property->GetInfo().ModifyFlags(KPropertyInfo::kAnimatable, true);
    return property;
}

void KDuzObject_internal::PropertySettingsChanging(KProperty* property) {
    if (mObject != nullptr && property != nullptr && property->IsAwaitingWrapper())
        mObject->MaterializeWrapperOf(property);
}

void KDuzObject_internal::SlotMaterialized(int slot, KProperty* property) {
    if (mObject != nullptr) mObject->OnInternalSlotMade(slot, property);
}

void KDuzObject_internal::SlotLeaving(int slot) {
    if (mObject != nullptr) mObject->MaterializeWrapperOfSlot(slot);
}

int KDuzObject_internal::NotifyPropertyChanged(KDuzProperty& property) {
    if (mObject == nullptr) return 0;
    mObject->PropertyChanged(property);
    return 1;
}

// ---- names -------------------------------------------------------------------

const char* KDuzNamePrefixText(int kind) {
    for (const KDuzNamePrefixRow& row : kDuzNamePrefixes) {
        if (row.kind == kind) return row.prefix;
    }
    return nullptr;
}

KString KDuzNamePrefixOfKind(int kind) {
    const char* prefix = KDuzNamePrefixText(kind);
    return KString(prefix != nullptr ? prefix : "");
}

KString KDuzStripNamePrefix(const char* text) {
    if (text == nullptr) return KString();
    const char* separator = std::strstr(text, "::");
    return KString(separator != nullptr ? separator + 2 : text);
}

KString KDuzStripNamePrefixOfString(const KString& text) { return KDuzStripNamePrefix(text.Buffer()); }

KString KDuzBuildPrefixedName(const char* prefix, const char* name) {
    KString rest = KDuzStripNamePrefix(name);
    if (rest.IsEmpty() || prefix == nullptr || prefix[0] == '\0') return rest;
    KString result(prefix);
    result += rest;
    return result;
}

// ---- the object --------------------------------------------------------------

template <typename Visit>
void KDuzObject::WalkSources(Visit visit) const {
    const KPlug* plug = GetInternalPlug();
    if (plug == nullptr) return;
    for (int i = 0; i < plug->GetSourceCount(); ++i) {
        if (KDuzObject* source = KDuzGetPublicObject(plug->GetSource(i))) visit(source);
    }
}

KDuzObject::KDuzObject(KDuzSdkManager* manager, const char* name)
    : mName(name != nullptr ? name : ""), mManager(manager) {}

KDuzObject::~KDuzObject() { ReleaseContents(); }

void KDuzObject::ReleaseContents() {
    // An object deleted without Destroy still frees its properties and its
    // internal twin; nothing is left pointing back at it.
    while (!mProperties.empty()) {
        if (mProperties.back().IsPending()) {
            const Slot slot = mProperties.back();
            const int index = static_cast<int>(mProperties.size()) - 1;
            // The name lives with the internal property or its slot table;
            // an unmade slot's is looked up only when it is needed.
            const char* name = slot.IsUnmade() ? nullptr : SlotName(static_cast<size_t>(index));
            mProperties.pop_back();
            DropNameIndex();
            --mPendingCount;
            if (slot.IsUnmade()) {
                UnwrappedPropertyRemoved(name, nullptr, slot.InternalSlot());
            } else {
                slot.Internal()->SetAwaitingWrapper(false);
                UnwrappedPropertyRemoved(name, slot.Internal(), -1);
            }
            continue;
        }
        const size_t before = mProperties.size();
        KDuzProperty* handle = mProperties.back().Handle();
        const void* record = handle->GetRecord();
        KDuzProperty last(*handle);
        last.Destroy();
        if (mProperties.size() == before) {   // its owner was changed by hand
            mPropertyRecords.erase(record);
            delete mProperties.back().Handle();
            mProperties.pop_back();
            DropNameIndex();
        }
    }
    if (mInternal != nullptr) {
        KDuzObject_internal* internal = mInternal;
        mInternal = nullptr;
        internal->DetachPublicObject();
        internal->Teardown();
        internal->Destroy(0);
    }
}

KClassId KDuzObject::ClassId() { return KDuzClassIdOf(eDuzClassObject); }

KClassId KDuzObject::GetClassId() const { return ClassId(); }

KDuzObject* KDuzObject::Create(KDuzSdkManager* manager, const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<KDuzObject*>(manager->CreateObject(ClassId(), name));
}

KDuzPlug* KDuzObject::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* object = new KDuzObject(manager, name);
    object->PostCreate();
    return object;
}

bool KDuzObject::SetRuntimeClassId(const KClassId& classId) {
    mRuntimeClassId = classId;
    return true;
}

KClassId KDuzObject::GetRuntimeClassId() const {
    return mRuntimeClassId.IsValid() ? mRuntimeClassId : GetClassId();
}

void KDuzObject::PostCreate() {
    if (GetInternalObject() == nullptr) mInternal = new KDuzObject_internal(this);
}

void KDuzObject::Destroy(bool recursive, bool dependents) {
    // Ownership may run in a circle (a node below its own child); an object
    // already on its way out is not destroyed a second time.
    if (mDestroying) return;
    mDestroying = true;
    KDuzPlug::Destroy(recursive, dependents);
}

void KDuzObject::DestroyContents(bool recursive, bool dependents) {
    DestroyOwnedObjects(recursive, dependents);
}

void KDuzObject::DestroyOwnedObjects(bool recursive, bool dependents) {
    // Weak references taken up front: destroying one source may take
    // others with it, and those are skipped without walking the list again.
    std::vector<HdlKObject> sources;
    WalkSources([&](KDuzObject* source) { sources.push_back(HdlKObject::FromPlug(source->GetInternalPlug())); });
    // Last first: each source then leaves the end of the connection lists,
    // which keeps tearing down a large scene linear.
    for (auto it = sources.rbegin(); it != sources.rend(); ++it) {
        KDuzObject* source = KDuzGetPublicObject(it->Get());
        if (source != nullptr && !source->mDestroying && mManager != nullptr &&
            mManager->OwnsForDestroy(this, source, recursive))
            source->Destroy(recursive, dependents);
    }
    ReleaseContents();
}

// ---- connections and scenes ----------------------------------------------------


bool KDuzObject::ConnectNotify(const KDuzConnectEvent& event) {
    if (event.source == this && event.code == eDuzConnectedSource && event.destination != nullptr) {
        auto* destination = dynamic_cast<KDuzObject*>(event.destination);
        if (destination != nullptr) {
            if (KDuzObject* scene = destination->GetScene()) {
                ConnectToScene(scene);
            } else if (destination->Is(KDuzClassIdOf(eDuzClassScene))) {
                ConnectToScene(destination);
            }
        }
    }
    return true;
}

KDuzObject* KDuzObject::GetScene() const {
    KClassId scene = KDuzClassIdOf(eDuzClassScene);
    if (!scene.IsValid()) return nullptr;
    return GetDstObject(scene, 0);
}

void KDuzObject::ConnectToScene(KDuzObject* scene) {
    KDuzObject* current = GetScene();
    if (scene == nullptr) {
        if (current != nullptr) current->DisconnectSrcObject(this);
        return;
    }
    if (current != nullptr && current != scene) return;
    if (!scene->IsConnectedSrcObject(this) && !scene->ConnectSrcObject(this)) return;
    // Every source joins too; one already in a scene (this object, in a
    // cycle of sources) is left alone, so the walk ends.
    std::vector<KDuzObject*> sources;
    WalkSources([&](KDuzObject* source) { sources.push_back(source); });
    for (KDuzObject* source : sources) {
        if (source->GetScene() == nullptr) source->ConnectToScene(scene);
    }
}

KDuzObject* KDuzPlugGetSrcNode(const KDuzPlug* plug, int index) {
    KClassId node = KDuzClassIdOf(eDuzClassNode);
    if (plug == nullptr || !node.IsValid()) return nullptr;
    return plug->GetSrcObject(node, index);
}

bool KDuzObject::ConnectDstObject(KDuzObject* object) {
    return object != nullptr && object->ConnectSrcObject(this);
}

bool KDuzObject::DisconnectDstObject(KDuzObject* object) {
    return object != nullptr && object->DisconnectSrcObject(this);
}

// ---- names -------------------------------------------------------------------

void KDuzObject::SetName(const char* name, bool withKindPrefix) {
    const char* prefix = KDuzNamePrefixText(GetNameKind());
    if (!withKindPrefix || prefix == nullptr) {
        mName.SetCurrentName(name);
        return;
    }
    mName.SetCurrentName(KDuzBuildPrefixedName(prefix, name).Buffer());
}

void KDuzObject::CopyName(const KDuzObject& other) {
    if (GetNameKind() == other.GetNameKind()) mName.AssignNames(other.mName);
}

KString KDuzObject::GetNameWithPrefix() const {
    KString result = GetNamePrefix();
    result += GetName();
    return result;
}

// ---- properties --------------------------------------------------------------

KDuzProperty* KDuzObject::HandleAt(size_t index) const {
    if (!mProperties[index].IsPending()) return mProperties[index].Handle();
    if (mProperties[index].IsUnmade()) {
        // Made on the internal side first; its hook turns the entry into one
        // for the made property.
        const int internalSlot = mProperties[index].InternalSlot();
        KDuzObject_internal* internal = const_cast<KDuzObject*>(this)->GetInternalObject();
        KProperty* made = internal != nullptr ? internal->MaterializeSlot(internalSlot) : nullptr;
        if (made == nullptr) {   // not expected: keep the list whole with an invalid handle
            auto* handle = new KDuzProperty();
            mProperties[index] = Slot::OfHandle(handle);
            DropNameIndex();   // the entry lost its name
            --mPendingCount;
            return handle;
        }
        if (mProperties[index].IsUnmade()) {
            made->SetAwaitingWrapper(true);
            mProperties[index] = Slot::Pending(made);
        }
    }
    Slot& slot = mProperties[index];
    KProperty* internal = slot.Internal();
    internal->SetAwaitingWrapper(false);
    auto* handle = new KDuzProperty(mManager, internal);
    SettleLateHandle(*handle, internal);
    slot = Slot::OfHandle(handle);
    --mPendingCount;
    mPropertyRecords.insert(handle->GetRecord());
    // What AddProperty did when the property was listed: the owner, and the
    // binding (the handle is bound already). The property was not
    // animatable then, so a take-node container had nothing to add.
    handle->SetOwner(const_cast<KDuzObject*>(this));
    handle->BindToOwnerInternal();
    return handle;
}

KDuzObject::PropertyPeek KDuzObject::BeginPeek(int index) const {
    PropertyPeek peek;
    if (index < 0 || index >= GetPropertyCount()) return peek;
    peek.index = index;
    const Slot entry = mProperties[static_cast<size_t>(index)];
    if (!entry.IsPending()) {
        peek.handle = *entry.Handle();
        return peek;
    }
    KDuzObject_internal* internal = const_cast<KDuzObject*>(this)->GetInternalObject();
    KProperty* property = entry.IsUnmade() ? nullptr : entry.Internal();
    if (entry.IsUnmade() && internal != nullptr && internal->PeekProperty(entry.InternalSlot()) == nullptr) {
        property = internal->MaterializeSlot(entry.InternalSlot());
        if (property != nullptr) peek.madeSlot = entry.InternalSlot();
    }
    if (property == nullptr || property->HasInfoFlag(KPropertyInfo::kUser)) {
        // A user property's limits may be filled in by its reader: it gets
        // its handle for good.
        peek.handle = *HandleAt(static_cast<size_t>(index));
        peek.madeSlot = -1;
        return peek;
    }
    // Unowned: nothing it does reaches the object, and it frees only its
    // own record.
    peek.handle = KDuzProperty(mManager, property);
    SettleLateHandle(peek.handle, property);
    peek.transient = true;
    return peek;
}

void KDuzObject::EndPeek(PropertyPeek& peek) const {
    if (peek.transient) peek.handle.DestroyProperty();
    if (peek.madeSlot < 0) return;
    KDuzObject_internal* internal = const_cast<KDuzObject*>(this)->GetInternalObject();
    Slot& entry = mProperties[static_cast<size_t>(peek.index)];
    if (internal == nullptr || !entry.IsPending() || entry.IsUnmade()) return;
    KProperty* property = entry.Internal();
    property->SetAwaitingWrapper(false);
    if (internal->ReleaseSlot(peek.madeSlot)) {
        entry = Slot::Unmade(peek.madeSlot);
    } else {
        property->SetAwaitingWrapper(true);
    }
}

const char* KDuzObject::SlotName(size_t index) const {
    const Slot& slot = mProperties[index];
    if (slot.IsUnmade()) {
        const KDuzObject_internal* internal = GetInternalObject();
        return internal != nullptr ? internal->GetPropertyName(slot.InternalSlot()) : "";
    }
    return slot.IsPending() ? slot.Internal()->GetName() : slot.Handle()->GetName();
}

bool KDuzObject::IsPropertyPendingAnimatable(int index) const {
    if (!IsPropertyPending(index)) return false;
    const Slot& slot = mProperties[static_cast<size_t>(index)];
    if (!slot.IsUnmade()) return slot.Internal()->HasInfoFlag(KPropertyInfo::kAnimatable);
    const KDuzObject_internal* internal = GetInternalObject();
    return internal != nullptr &&
           (internal->GetPropertyInfoFlags(slot.InternalSlot()) & KPropertyInfo::kAnimatable) != 0;
}

int KDuzObject::FindUnmadeEntry(int slot) const {
    const size_t guess = static_cast<size_t>(mUnmadeBase) + static_cast<size_t>(slot);
    if (guess < mProperties.size() && mProperties[guess].IsUnmade() &&
        mProperties[guess].InternalSlot() == slot)
        return static_cast<int>(guess);
    for (size_t i = 0; i < mProperties.size(); ++i) {
        if (mProperties[i].IsUnmade() && mProperties[i].InternalSlot() == slot) return static_cast<int>(i);
    }
    return -1;
}

int KDuzObject::GetInternalSlotAt(int index) const {
    if (index < 0 || index >= GetPropertyCount()) return -1;
    const Slot& entry = mProperties[static_cast<size_t>(index)];
    if (entry.IsUnmade()) return entry.InternalSlot();
    const KProperty* property = entry.IsPending() ? entry.Internal() : entry.Handle()->GetBoundProperty();
    return property != nullptr ? property->GetListSlot() : -1;
}

int KDuzObject::FindEntryOfInternalSlot(int slot) const {
    if (slot < 0) return -1;
    // Usually listed in order from the first listing on.
    const int guess = mUnmadeBase + slot;
    if (GetInternalSlotAt(guess) == slot) return guess;
    for (int i = 0; i < GetPropertyCount(); ++i) {
        if (GetInternalSlotAt(i) == slot) return i;
    }
    return -1;
}

void KDuzObject::OnInternalSlotMade(int slot, KProperty* property) {
    if (mPendingCount == 0 || property == nullptr) return;
    const int index = FindUnmadeEntry(slot);
    if (index < 0) return;
    property->SetAwaitingWrapper(true);
    mProperties[static_cast<size_t>(index)] = Slot::Pending(property);
}

void KDuzObject::MaterializeWrapperOfSlot(int slot) {
    if (mPendingCount == 0) return;
    const int index = FindUnmadeEntry(slot);
    if (index >= 0) HandleAt(static_cast<size_t>(index));
}

void KDuzObject::MaterializeWrapperOf(const KProperty* property) {
    if (mPendingCount == 0 || property == nullptr) return;
    for (size_t i = mProperties.size(); i-- > 0;) {
        if (mProperties[i].IsPending() && !mProperties[i].IsUnmade() && mProperties[i].Internal() == property) {
            HandleAt(i);
            return;
        }
    }
}

KDuzProperty KDuzObject::GetPropertyAt(int index) const {
    if (index < 0 || index >= GetPropertyCount()) return KDuzProperty::Invalid;
    return *HandleAt(static_cast<size_t>(index));
}

const char* KDuzObject::GetPropertyNameAt(int index) const {
    if (index < 0 || index >= GetPropertyCount()) return "";
    const char* name = SlotName(static_cast<size_t>(index));
    return name != nullptr ? name : "";
}

namespace {

bool NameMatches(const char* own, const char* name, bool caseSensitive) {
    return caseSensitive ? std::strcmp(own, name) == 0 : strcasecmp(own, name) == 0;
}

}  // namespace

// Stamped with the internal names it saw (KPropertyNameEpoch).
struct KDuzObject::NameIndex : KFirstNameIndex<std::uint64_t> {
    using KFirstNameIndex::KFirstNameIndex;
};

namespace {

size_t HashName(const char* name) { return std::hash<std::string_view>{}(name != nullptr ? name : ""); }

}  // namespace

void KDuzObject::DropNameIndex() const { mNameIndex.reset(); }

void KDuzObject::IndexAppended() const {
    if (mNameIndex == nullptr) return;
    const size_t index = mProperties.size() - 1;
    mNameIndex->Add(HashName(SlotName(index)), index);
}

int KDuzObject::FindIndexByName(const char* name) const {
    if (mProperties.size() < NameIndex::kWorthFrom) {
        for (size_t i = 0; i < mProperties.size(); ++i) {
            if (NameMatches(SlotName(i), name, true)) return static_cast<int>(i);
        }
        return -1;
    }
    const std::uint64_t epoch = KPropertyNameEpoch();
    if (mNameIndex == nullptr || !mNameIndex->IsFor(epoch)) {
        // An internal property was named anew somewhere: start again.
        mNameIndex = std::make_unique<NameIndex>(epoch, mProperties.size(),
                                                 [this](size_t i) { return HashName(SlotName(i)); });
    }
    // Names may repeat: the first in the list wins, as in a walk.
    return mNameIndex->FindFirst(HashName(name), [&](size_t i) { return NameMatches(SlotName(i), name, true); });
}

bool KDuzObject::PeekPropertyValue(const char* name, void* out, int kind, bool* found) const {
    const int index = FindPropertyIndex(name);
    bool valid = false;
    bool read = false;
    if (index >= 0) {
        PeekPropertyAt(index, [&](KDuzProperty& property) {
            valid = property.IsValid();
            read = valid && property.GetValue(out, kind);
        });
    }
    if (found != nullptr) *found = valid;
    return read;
}

KDuzProperty KDuzObject::FindProperty(const char* name, bool caseSensitive) const {
    if (name == nullptr) return KDuzProperty::Invalid;
    if (caseSensitive) {
        const int index = FindIndexByName(name);
        return index >= 0 ? *HandleAt(static_cast<size_t>(index)) : KDuzProperty::Invalid;
    }
    for (size_t i = 0; i < mProperties.size(); ++i) {
        if (NameMatches(SlotName(i), name, false)) return *HandleAt(i);
    }
    return KDuzProperty::Invalid;
}

KDuzProperty KDuzObject::FindPropertyOfType(const char* name, const PropertyDataType& type,
                                            bool caseSensitive) const {
    if (name == nullptr) return KDuzProperty::Invalid;
    // The first of that name is usually the one: start from it.
    const int first = caseSensitive ? FindIndexByName(name) : 0;
    if (first < 0) return KDuzProperty::Invalid;
    for (size_t i = static_cast<size_t>(first); i < mProperties.size(); ++i) {
        if (!NameMatches(SlotName(i), name, caseSensitive)) continue;
        const KDuzProperty* property = HandleAt(i);
        if (property->GetDataType() == type) return *property;
    }
    return KDuzProperty::Invalid;
}

KDuzProperty KDuzObject::FindPropertyFrom(const char* name, int start, int count) const {
    if (count > GetPropertyCount()) count = GetPropertyCount();
    if (name == nullptr || start < 0 || start >= count) return KDuzProperty::Invalid;
    for (int step = 0; step < count; ++step) {
        const size_t index = static_cast<size_t>((start + step) % count);
        if (NameMatches(SlotName(index), name, true)) return *HandleAt(index);
    }
    return KDuzProperty::Invalid;
}

KDuzProperty* KDuzObject::FindWrapperOf(const KProperty* property) const {
    if (property == nullptr) return nullptr;
    for (size_t i = 0; i < mProperties.size(); ++i) {
        const Slot& slot = mProperties[i];
        if (slot.IsUnmade()) continue;   // made properties are never unmade slots
        if (slot.IsPending() ? slot.Internal() == property : slot.Handle()->IsBoundTo(property))
            return HandleAt(i);
    }
    return nullptr;
}

bool KDuzObject::HasHandleFor(const KProperty* property) const {
    if (property == nullptr) return false;
    for (const Slot& slot : mProperties)
        if (!slot.IsPending() && slot.Handle()->IsBoundTo(property)) return true;
    return false;
}

bool KDuzObject::AddProperty(const KDuzProperty& property) {
    if (!property.IsValid()) return false;
    if (!mPropertyRecords.insert(property.GetRecord()).second) return true;   // held already
    mProperties.push_back(Slot::OfHandle(new KDuzProperty(property)));
    IndexAppended();
    PropertyAdded(*mProperties.back().Handle());
    return true;
}

void KDuzObject::RemoveProperty(const KDuzProperty& property) {
    if (!property.IsValid() || mPropertyRecords.count(property.GetRecord()) == 0) return;
    // From the end: teardown removes the last property first.
    for (size_t i = mProperties.size(); i-- > 0;) {
        if (mProperties[i].IsPending() || !mProperties[i].Handle()->IsSame(property)) continue;
        KDuzProperty* handle = mProperties[i].Handle();
        mProperties.erase(mProperties.begin() + static_cast<std::ptrdiff_t>(i));
        DropNameIndex();
        mPropertyRecords.erase(property.GetRecord());
        PropertyRemoved(*handle);
        delete handle;
        return;
    }
}

void KDuzObject::PropertyAdded(KDuzProperty& property) {
    property.SetOwner(this);
    property.BindToOwnerInternal();
}

void KDuzObject::PropertyRemoved(KDuzProperty& property) {
    property.UnbindInternal();
    property.SetOwner(nullptr);
}

void KDuzObject::UnwrappedPropertyRemoved(const char*, KProperty* property, int slot) {
    KDuzObject_internal* internal = GetInternalObject();
    if (internal == nullptr) return;
    if (property != nullptr) internal->RemoveProperty(property);
    else internal->RemoveUnmadeSlot(slot);
}

void KDuzObject::PropertyChanged(KDuzProperty& property) {
    KDuzObject* container = GetTakeNodeContainer();
    if (container != nullptr && container != this) container->PropertyChanged(property);
}

int KDuzObject::SetTakeCurvesFromProperties(KDuzTakeNode* takeNode) {
    KDuzObject* container = GetTakeNodeContainer();
    if (container == nullptr) return 0;
    // Copies: updating curves must not be disturbed by a change of the array.
    std::vector<KDuzProperty> properties;
    properties.reserve(mProperties.size());
    const int count = static_cast<int>(mProperties.size());
    for (size_t i = 0; i < mProperties.size(); ++i) {
        // A property without a handle is made only when there are curves to fill.
        if (mProperties[i].IsPending() && !container->HasTakeCurvesFor(SlotName(i), takeNode)) continue;
        properties.push_back(*HandleAt(i));
    }
    for (const KDuzProperty& property : properties) container->UpdateTakeCurves(property, takeNode);
    return count;
}

void KDuzObject::WrapInternalProperties() {
    KDuzObject_internal* internal = GetInternalObject();
    if (internal == nullptr) return;
    // The internal properties the handles wrap, sorted for look-up; pending
    // ones carry their own mark.
    std::vector<const KProperty*> wrapped;
    for (const Slot& slot : mProperties) {
        if (slot.IsPending()) continue;
        if (KProperty* bound = slot.Handle()->GetBoundProperty()) wrapped.push_back(bound);
    }
    std::sort(wrapped.begin(), wrapped.end());
    auto isWrapped = [&wrapped](const KProperty* property) {
        return property->IsAwaitingWrapper() ||
               std::binary_search(wrapped.begin(), wrapped.end(), property);
    };
    const bool unmadeListed = mUnmadeListed;
    // Room for the first listing; a later one usually adds nothing.
    if (!unmadeListed) mProperties.reserve(mProperties.size() + static_cast<size_t>(internal->GetPropertyCount()));
    mUnmadeListed = true;
    bool baseSet = false;
    for (int i = 0; i < internal->GetPropertyCount(); ++i) {
        KProperty* property = internal->PeekProperty(i);
        if (property == nullptr) {
            // A shared slot of the internal object, not made: listed as it is
            // (once), unless the take nodes need it now.
            if (unmadeListed) continue;
            if (!(internal->GetPropertyInfoFlags(i) & KPropertyInfo::kAnimatable) || DefersAnimatableProperties()) {
                if (!baseSet) mUnmadeBase = static_cast<int>(mProperties.size()) - i;
                baseSet = true;
                mProperties.push_back(Slot::Unmade(i));
                IndexAppended();
                ++mPendingCount;
                continue;
            }
            property = internal->GetProperty(i);
        }
        if (property == nullptr || isWrapped(property)) continue;
        if (property->HasInfoFlag(KPropertyInfo::kAnimatable) && !DefersAnimatableProperties()) {
            // The take nodes add its channels as it is listed.
            AddProperty(KDuzProperty(mManager, property));
            wrapped.insert(std::upper_bound(wrapped.begin(), wrapped.end(), property), property);
            continue;
        }
        property->SetAwaitingWrapper(true);
        mProperties.push_back(Slot::Pending(property));
        IndexAppended();
        ++mPendingCount;
    }
}

}  // namespace duzsdk
