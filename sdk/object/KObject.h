// The internal object: a plug with a name, an owned array of properties,
// selection and state flags, a place in an object space, and an event layer
// that turns raw connection events into object notifications.
#pragma once

#include "sdk/base/KString.h"
#include "sdk/object/KPlug.h"

#include <string>
#include <unordered_map>
#include <vector>

namespace duzsdk {

class KDataType;
class KGenericObjectList;
class KObject;
class KObjectSpace;
class KProperty;
class KPropertySlotTable;
class KWorld;

// Record handed to an object's event sink for connection changes.
struct KObjectEventRecord {
    static constexpr int kTag = 336738;
    int tag = kTag;
    int kind = 0;
    KObject* object = nullptr;
    HdlKObject objectRef;
    KObject* other = nullptr;
    HdlKObject otherRef;
};

// Objects a merge already handles: a connection whose far object is found
// here by full name is cut instead of moved.
struct KMergeContext {
    KGenericObjectList* first = nullptr;
    KGenericObjectList* second = nullptr;
};

// Optional listener owned by an object (deleted with it).
class KObjectEventSink {
public:
    virtual ~KObjectEventSink() = default;
    virtual void OnObjectEvent(const KObjectEventRecord& record) = 0;
};

// Codes of the object broadcast channel.
enum EObjectBroadcast : int {
    kBroadcastDestroying = 1,
    kBroadcastSourceAdded = 4,
    kBroadcastSourceRemoved = 5,
    kBroadcastSelected = 6,
    kBroadcastDeselected = 7,
    kBroadcastBeforeRename = 8,
    kBroadcastBeforeNamespaceChange = 9,
    kBroadcastBeforeQuietRename = 10,
    kBroadcastBeforeNamespaceSet = 11,
    kBroadcastAfterRename = 12,
    kBroadcastNamespaceChanged = 13,
    kBroadcastQuietlyRenamed = 14,
    kBroadcastNamespaceSet = 15,
    kBroadcastFlag1Set = 16,
    kBroadcastFlag1Cleared = 17,
    kBroadcastSelectedAgain = 27,
    kBroadcastSourceAdding = 30,
    kBroadcastSourceRemoving = 31,
    kBroadcastSourcesChanged = 33,
    kBroadcastConnection14 = 34,
    kBroadcastConnection15 = 35,
};

// Object events on the plug's object channel.
enum EObjectEvent : int {
    kObjectEventSelected = 24,
    kObjectEventDeselected = 25,
    kObjectEventSelectedAgain = 26,
    kObjectEventBeforeRename = 27,
    kObjectEventAfterRename = 28,
    kObjectEventNamespaceChange = 29,
    kObjectEventNamespacePropagation = 30,
};

class KObject : public KPlug {
public:
    static constexpr unsigned kInterfaceObject = 0x98ABD146u;
    static constexpr int kDefaultCapabilities = 0x2B3DF;
    static constexpr int kCapabilityNoUserProperties = 0x20;
    static constexpr int kCapabilityMerged = 0x02;
    static constexpr int kStateDestroying = 0x100;   // state bit 8
    // Merge flags.
    static constexpr int kMergeCopyValues = 0x02;
    static constexpr int kMergeMoveDestinations = 0x04;
    static constexpr int kMergeMoveSources = 0x08;
    static constexpr int kMergeDeselect = 0x10;
    static constexpr int kMergeTakeIdentity = 0x40;

    KObject();
    ~KObject() override;

    // ---- KPlug ----
    void* GetInterface(unsigned id) override;
    // Registers the object in the space's world when a space is given.
    void Initialize(KObjectSpace* space) override;
    void Teardown() override;   // DisconnectOnDestroy
    void TeardownHook6() override;   // UnselectOnDestroy
    KPlugTypeInfo* GetPlugTypeInfo() const override;
    int GetStaticTypeNumber() const override { return kPlugTypeKObject; }
    static KPlugTypeInfo* ClassTypeInfo();
    bool IsReplacementPending(KPlug* a, KPlug* b) override;
    bool IsDetachable(int check) override;
    bool SendValueEvent(int a, int code, KPlug* plug, const void* newValue, const void* oldValue,
                        int d) override;
    bool SendObjectEvent(int a, int code, KPlug* object, const void* data, const void* c,
                         int d) override;
    bool SendConnectionEvent(const KPlugEventChain* chain, int code, KPlug* plug, int index,
                             KPlug* other, int flags, KPlug* extra) override;
    void OnConnectionsChanged(KPlug* plug) override;

    // ---- object slots ----
    virtual int GetPropertyCount() const { return static_cast<int>(mProperties.size()); }
    // Null outside 0 .. count - 1.
    virtual KProperty* GetProperty(int index) const;
    virtual void RemoveAllProperties();
    // Cuts every property's connections, then the object's sources and its
    // destinations except the container.
    virtual void DisconnectAll();
    virtual void ClearSelection();
    virtual void SetContainer(KPlug* container);
    virtual int GetHierarchyTypeNumber() const { return -1; }
    virtual void SetName(const char* text);
    virtual const char* GetName() const { return mName.Buffer(); }
    virtual void SetNamespace(const char* text);
    virtual void SetNameQuiet(const char* text);
    virtual void SetInitialNamespace(const char* text);
    virtual void SetFullName(const char* text);
    virtual void InvalidateFullName(bool recursive);
    virtual bool Broadcast(int code, const void* a, const void* b, int index);
    virtual bool OnBroadcast(int code, KObject* sender, const void* a, const void* b);
    virtual bool BroadcastEvent25();
    virtual bool BroadcastEvent26();
    virtual bool SetFlags(int flags);
    virtual bool AcceptListChange(KObject* list, int code, KObject* object, int index);
    virtual bool NotifyEventSink(KPlug* plug, int kind, KObject* other, int index);
    virtual bool OnSourceEvent(int kind, KObject* other, int index);
    virtual bool OnDestinationEvent(int kind, KObject* other, int index);
    // Codes 8 before add, 11 after add, 9 before remove, 12 after remove.
    virtual bool OnPropertyListEvent(int code, KProperty* property, int infoFlags);
    virtual bool ReleaseOwnedBlock(void* block);
    // Called before a listed property's name, type, flags, limits, label or
    // enumeration list change, and before it leaves the list; a wrapper
    // that copies those settings lazily takes its copy here.
    virtual void PropertySettingsChanging(KProperty*) {}
    virtual KProperty* CreateProperty(const char* name, int code, const KDataType* dataType,
                                      bool animatable, bool user, KProperty* referenceTarget,
                                      bool returnExisting);
    virtual int AddProperty(KProperty* property);
    virtual bool RemovePropertyAt(int index);
    virtual bool DestroyProperty(int index);
    virtual bool ReleaseReferences(KProperty* property);
    virtual KProperty* CreateReferenceProperty(KProperty* target, const char* name);
    virtual KProperty* CloneProperty(KProperty* property);
    virtual void Copy(KObject* object, int flags);
    virtual void CopyPropertyValues(KObject* object);
    virtual void CopyPropertySettings(KObject* object);
    virtual void CopyUserPropertyValues(KObject* object);
    virtual bool IsNotEntity(KPlug* plug) const;
    virtual bool DestinationsAccept();
    // Asked by DestinationsAccept and by merges before a source is moved.
    virtual bool AcceptsRelocation(KPlug*) { return true; }
    // Asked whether a source may be moved onto this object by a merge.
    virtual bool AcceptsRelocatedSource(KPlug*) { return true; }
    // Hands this object's state over to another object, or takes over the
    // other's identity (flags 0x40); see the merge flags below.
    virtual bool Merge(KObject* other, int flags, KObject* listOwner, KMergeContext* context);
    virtual void RelocateConnections(int kind, KObject* other, KMergeContext* context);
    // Receives the list of objects a merge took over (flags 0x40).
    virtual void AcceptMergedObjects(KGenericObjectList*, int, int) {}
    virtual void PrepareMergeTakeOver(KObject*) {}

    // Slots a container object answers for the objects it contains.
    virtual bool OnContainedObjectEvent(KObject*, int, int, KPlug*, const void*, const void*, int) {
        return true;
    }
    virtual bool OnContainedValueEvent(KObject*, int, int, KPlug*, const void*, const void*, int) {
        return true;
    }
    virtual bool OnContainedConnectionEvent(KObject*, const KPlugEventChain*, int, KPlug*, int,
                                            KPlug*, int, KPlug*) {
        return true;
    }
    virtual void OnContainedBroadcast(KObject*, int, const void*, const void*, int) {}

    // ---- shared slots ----
    // Lists the table's properties at the start of an empty list without
    // making them; false when the list is not empty. Each is made the first
    // time it is asked for (GetProperty, FindPropertyByName) and a slot
    // never made leaves without events when the object goes.
    bool ListSlots(const KPropertySlotTable* table);
    // The property of a slot still listed as one, made now if need be; null
    // when the slot is no longer listed.
    KProperty* MaterializeSlot(int slot);
    // Puts a slot back to unmade: its property was made only to be read
    // and nothing holds it (no connection, no listener, no name change).
    // False, with the property left in place, when something might.
    bool ReleaseSlot(int slot);
    // The property at index when it is made; null otherwise.
    KProperty* PeekProperty(int index) const;
    // Name and information flags at index whether made or not ("" and 0
    // outside the list).
    const char* GetPropertyName(int index) const;
    int GetPropertyInfoFlags(int index) const;
    // Called once a slot's property is made.
    virtual void SlotMaterialized(int, KProperty*) {}
    // Called before a slot never made leaves the list.
    virtual void SlotLeaving(int) {}
    // Called when a slot's property goes back to unmade (ReleaseSlot),
    // before the property is destroyed.
    virtual void SlotReleased(int, KProperty*) {}

    // ---- non-virtual operations ----
    KProperty* FindPropertyByName(const char* text) const;
    bool RemoveProperty(KProperty* property);
    // Removes a slot that was never made: quietly when it is the last of
    // the list, else by making and removing it.
    bool RemoveUnmadeSlot(int slot);
    bool RemoveUserProperty(KProperty* property);
    int GetUserPropertyCount() const;
    KProperty* GetUserProperty(int index) const;
    int IndexOfProperty(const KProperty* property) const;
    // Drops the entry of a property that is going away without events.
    void ForgetProperty(KProperty* property);
    // Files a listed property under its current name; called after a rename.
    void ReindexProperty(KProperty* property);
    // Whether a property other than `except` carries exactly this name.
    bool IsPropertyNameTaken(const char* text, const KProperty* except) const;
    const char* GetFullName();
    const char* GetNamespace() const { return mNamespace.Buffer(); }
    const char* GetPath() const { return mPath.Buffer(); }
    // The hierarchical path: the hierarchy parent's path joined with this
    // object's namespace, or the namespace alone.
    KString GetHierarchicalPath();
    KObject* GetHierarchyParent() const;
    KObject* GetContainer() const;
    void SendObjectEventRecursive(const void* data, int code);
    void DisconnectSourceObjects();
    void CloneUserProperties(KObject* other);

    // Typed connection access: -1 or the "KPlug" number use the object's own
    // lists, any other number the child plug of that type.
    using KPlug::GetSourceCount;
    using KPlug::GetDestinationCount;
    using KPlug::GetSource;
    using KPlug::GetDestination;
    int GetSourceCount(int typeNumber);
    KPlug* GetSource(int index, int typeNumber);
    int GetDestinationCount(int typeNumber);
    KPlug* GetDestination(int index, int typeNumber);
    KObject* GetSourceObject(int index, int typeNumber);
    KObject* GetDestinationObject(int index, int typeNumber);

    KObjectSpace* GetSpace() const { return mSpace; }
    int GetId() const { return mId; }
    void SetWorldEntry(KObjectSpace* space, int id) {
        mSpace = space;
        mId = id;
    }
    int GetCapabilities() const { return mCapabilities; }
    void SetCapabilities(int capabilities) { mCapabilities = capabilities; }
    int GetState() const { return mState; }
    int GetObjectFlags() const { return mObjectFlags; }
    int GetSelectionSerial() const { return mSelectionSerial; }
    void SetEventSink(KObjectEventSink* sink);
    // Takes a block freed with the object (offered to ReleaseOwnedBlock first).
    void AddOwnedBlock(void* block);

protected:
    void DisconnectOnDestroy();

private:
    struct PendingReplacement {
        KPlug* plug;
        KPlug* other;
        KPlug* newPlug;
        int sourceSide;
    };

    // Where a listed property sits and the name it is filed under.
    struct PropertyEntry {
        int position;
        std::string name;
    };

    KPlug* TypedPlug(int typeNumber);
    // The property at index is a slot of the table that was never made.
    bool IsUnmadeSlot(int index) const {
        return index >= 0 && index < mSlotCount && mProperties[static_cast<size_t>(index)] == nullptr;
    }
    // True when the (live) property fills its slot of the table.
    bool FillsSlot(const KProperty* property) const;
    // Makes every slot and files all of them by name, for changes the
    // slots cannot follow (a rename, a removal before the end).
    void FlattenSlots();
    void UnfileName(KProperty* property, const std::string& name);
    void FileName(KProperty* property, const std::string& name, int position);

    KObjectSpace* mSpace = nullptr;
    int mId = -2;
    HdlKObject mContainer;
    KString mName;
    KString mNamespace;
    KString mPath;
    KString mFullName;
    bool mFullNameDirty = true;
    KObjectEventSink* mEventSink = nullptr;
    int mCapabilities = kDefaultCapabilities;
    int mState = 0;
    int mObjectFlags = 0;
    int mSelectionSerial = 0;
    std::vector<PendingReplacement> mPending;
    std::vector<void*> mOwnedBlocks;
    std::vector<KProperty*> mProperties;
    // Name lookups stay constant-time on objects with many properties: each
    // name maps to its properties in list order, each property to its entry.
    std::unordered_map<std::string, std::vector<KProperty*>> mPropertiesByName;
    std::unordered_map<const KProperty*, PropertyEntry> mPropertyEntries;
    // For "name 0", "name 1" ...: every suffix below the hint is in use.
    std::unordered_map<std::string, int> mSuffixHints;
    int mSelectionWord = 0;
    // Positions 0 .. mSlotCount - 1 are the table's slots in order; null
    // while unmade. They are not filed in the maps above: the table knows
    // their names, and they come before any other property.
    const KPropertySlotTable* mSlotTable = nullptr;
    int mSlotCount = 0;
    int mMaterializing = -1;
};

// Casts a plug to an object when it is one.
KObject* KObjectCast(KPlug* plug);

// Full names: [document ":::"] [kind "::"] [namespace ":"] name.
void KObjectSplitFullName(const char* text, KString& document, KString& kind, KString& nameSpace,
                          KString& name);
KString KObjectJoinFullName(const char* kind, const char* nameSpace, const char* name);
KString KObjectJoinNamespaces(const char* outer, const char* inner);
KString KObjectRelativeNamespace(const char* base, const char* full);

}  // namespace duzsdk
