// The base of every public scene object: a name with a kind prefix, an
// array of public properties kept in step with the internal object's
// properties, the owning SDK manager, a runtime class id, scene membership
// and the rule by which destroying an object destroys what it owns.
#pragma once

#include "sdk/base/KString.h"
#include "sdk/base/KStringList.h"
#include "sdk/object/KDuzObjectName.h"
#include "sdk/object/KDuzPlug.h"
#include "sdk/object/KDuzProperty.h"
#include "sdk/object/KObject.h"

#include <cstdint>
#include <memory>
#include <unordered_set>
#include <vector>

namespace duzsdk {

class KDataType;
class KDuzObject;
class KDuzTakeNode;

// The internal twin of a public object.
class KDuzObject_internal : public KObject {
public:
    explicit KDuzObject_internal(KDuzObject* object) : mObject(object) {}
    ~KDuzObject_internal() override;

    KPlugTypeInfo* GetPlugTypeInfo() const override;
    int GetStaticTypeNumber() const override { return kPlugTypeKDuzObjectInternal; }
    static KPlugTypeInfo* ClassTypeInfo();

    // Creates an internal property, and with setInfoFlag2 marks it
    // animatable. With adoptExisting, a property of that name and code that
    // exists already is returned instead.
    virtual KProperty* AddNewProperty(const char* name, int code, const KDataType* dataType,
                                      bool setInfoFlag2, bool adoptExisting = false);
    // Tells the public object that one of its properties changed; 0 without one.
    int NotifyPropertyChanged(KDuzProperty& property);

    KDuzObject* GetPublicObject() const { return mObject; }
    void DetachPublicObject() {
        mObject = nullptr;
        AdvanceConnectionEpoch();   // walks that saw the public object are stale
    }
    // A property listed by the public object without a handle yet gets its
    // handle now, so the handle copies the settings from before the change.
    void PropertySettingsChanging(KProperty* property) override;
    // A slot the public object lists unmade was made, or is leaving.
    void SlotMaterialized(int slot, KProperty* property) override;
    void SlotLeaving(int slot) override;

private:
    KDuzObject* mObject;
};

// Name kinds and their prefixes.
enum EDuzNameKind : int {
    eDuzNameKindNone = 0,
    eDuzNameKindModel = 1,
    eDuzNameKindTexture = 2,
    eDuzNameKindMaterial = 3,
    eDuzNameKindVideo = 4,
    eDuzNameKindVideo2 = 5,
    eDuzNameKindConstraint = 6,
    eDuzNameKindMarkerSet = 7,
    eDuzNameKindConstraint2 = 8,
    eDuzNameKindPose = 9,
    eDuzNameKindEmpty = 10,
    eDuzNameKindPose2 = 11,
    eDuzNameKindControlSetPlug = 12,
    eDuzNameKindConstraint3 = 13,
    eDuzNameKindGeometry = 14,
    eDuzNameKindGeometryWeightedMap = 16,
    eDuzNameKindScene = 17,
    eDuzNameKindDeformer = 18,
    eDuzNameKindSubDeformer = 19,
    eDuzNameKindCache = 21,
};

struct KDuzNamePrefixRow {
    int kind;
    const char* prefix;
};
inline constexpr KDuzNamePrefixRow kDuzNamePrefixes[] = {
    {1, "Model::"},        {2, "Texture::"},    {3, "Material::"},  {4, "Video::"},
    {5, "Video::"},        {6, "Constraint::"}, {7, "MarkerSet::"}, {8, "Constraint::"},
    {9, "Pose::"},         {10, ""},            {11, "Pose::"},     {12, "ControlSetPlug::"},
    {13, "Constraint::"},  {14, "Geometry::"},  {16, "GeometryWeightedMap::"},
    {17, "Scene::"},       {18, "Deformer::"},  {19, "SubDeformer::"}, {21, "Cache::"},
};

// The prefix of a kind; null for kinds that have no entry (0, 15, 20, others).
const char* KDuzNamePrefixText(int kind);
// The prefix of a kind as a string, empty for kinds without prefix.
KString KDuzNamePrefixOfKind(int kind);
// A copy without everything up to and including the first "::".
KString KDuzStripNamePrefix(const char* text);
KString KDuzStripNamePrefixOfString(const KString& text);
// Strips the first "::" part, then puts the prefix in front of a non-empty rest.
KString KDuzBuildPrefixedName(const char* prefix, const char* name);

class KDuzObject : public KDuzPlug {
public:
    KDuzObject(KDuzSdkManager* manager, const char* name);
    ~KDuzObject() override;
    KDuzObject(const KDuzObject&) = delete;
    KDuzObject& operator=(const KDuzObject&) = delete;

    // Creates a KDuzObject through the manager.
    static KDuzObject* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();

    // ---- KDuzPlug ----
    KClassId GetClassId() const override;
    KDuzSdkManager* GetSdkManager() const override { return mManager; }
    bool SetRuntimeClassId(const KClassId& classId) override;
    KClassId GetRuntimeClassId() const override;
    void SetUserDataPtr(void* data) override { mUserData = data; }
    void* GetUserDataPtr() const override { return mUserData; }
    bool ConnectNotify(const KDuzConnectEvent& event) override;
    // An object already being destroyed is left alone.
    void Destroy(bool recursive = false, bool dependents = false) override;
    // Creates the internal object when there is none yet.
    void PostCreate() override;
    void DestroyContents(bool recursive, bool dependents) override;
    KPlug* GetInternalPlug(int = 0) override { return GetInternalObject(); }
    const KPlug* GetInternalPlug(int = 0) const override { return GetInternalObject(); }

    // ---- object slots ----
    virtual int GetNameKind() const { return eDuzNameKindNone; }
    virtual void PropertyChanged(KDuzProperty& property);
    virtual KDuzObject* Clone(int /*mode*/) { return nullptr; }
    virtual KDuzObject_internal* GetInternalObject() { return mInternal; }
    virtual const KDuzObject_internal* GetInternalObject() const { return mInternal; }
    // The object whose take nodes hold this object's channels; null here.
    // The container (and an attribute, for its node) return a container.
    virtual KDuzObject* GetTakeNodeContainer() { return nullptr; }
    virtual KString GetTypeName() const { return KString(); }
    virtual KStringList GetTypeFlags() const { return KStringList(); }
    virtual void PropertyAdded(KDuzProperty& property);
    virtual void PropertyRemoved(KDuzProperty& property);
    // PropertyRemoved for a listed internal property that never got a
    // handle: removes it from the internal object. The property and the
    // name are null for a shared slot the internal object never made
    // (slot >= 0); the internal object has its name.
    virtual void UnwrappedPropertyRemoved(const char* name, KProperty* property, int slot);
    // Whether UpdateTakeCurves could find curves of a property of that
    // name in the take; a property without a handle is only made for them.
    virtual bool HasTakeCurvesFor(const char* /*name*/, KDuzTakeNode* /*takeNode*/) { return true; }
    // Called before one of the property's flags changes (bits as given to
    // ModifyFlag) when the animatable flag is among them and changes.
    virtual void PropertyFlagsChanging(const KDuzProperty& /*property*/, unsigned /*bits*/) {}
    // Whether WrapInternalProperties may list animatable internal
    // properties without a handle too (nothing waits on them being added).
    virtual bool DefersAnimatableProperties() const { return false; }
    // A handle made late (or for a peek) for a listed internal property
    // starts with the settings the internal property shows; a class that
    // keeps a built-in property's public settings apart puts them here.
    virtual void SettleLateHandle(KDuzProperty& /*handle*/, const KProperty* /*property*/) const {}
    // Whether a reader may store a value it read into the property at index
    // through a peek, without making the property's handle.
    virtual bool StoresReadValueWithoutHandle(int /*index*/) const { return false; }
    // A reader took the property at index from a file without making its
    // handle (its value was stored or already the same).
    virtual void PropertyReadWithoutHandle(int /*index*/) {}
    virtual void AddPropertiesToTakeNode(KDuzTakeNode* /*takeNode*/) {}
    // Copies every property's value into its curve node of that take;
    // the property count, or 0 when there is no container.
    virtual int SetTakeCurvesFromProperties(KDuzTakeNode* takeNode);
    virtual void ConnectToScene(KDuzObject* scene);
    // Copies the property's value into its curve node of the take. Only a
    // take-node container has curves; false here.
    virtual bool UpdateTakeCurves(const KDuzProperty& /*property*/, KDuzTakeNode* /*takeNode*/) {
        return false;
    }

    // ---- names ----
    const char* GetName() const { return mName.GetCurrentName(); }
    KString GetNameString() const { return mName.GetCurrentNameString(); }
    const char* GetInitialName() const { return mName.GetInitialName(); }
    const char* GetNameExtra() const { return mName.GetExtraName(); }
    void SetName(const char* name, bool withKindPrefix = false);
    void SetNameExtra(const KString& extra) { mName.SetExtraName(extra.Buffer()); }
    // Copies the other's initial and current names when both have the same kind.
    void CopyName(const KDuzObject& other);
    KString GetNamePrefix() const { return KDuzNamePrefixOfKind(GetNameKind()); }
    KString GetNameWithPrefix() const;
    const KDuzObjectName& GetNameRecord() const { return mName; }
    // The extra name's name-space parts, last first.
    int GetNameSpaceArray(char separator, KStringList& out) const {
        return mName.SplitNameSpace(separator, out);
    }

    // ---- properties ----
    int GetPropertyCount() const { return static_cast<int>(mProperties.size()); }
    // The invalid handle outside 0 .. count - 1.
    KDuzProperty GetPropertyAt(int index) const;
    // The name of the property at index without making its handle ("" outside
    // 0 .. count - 1): a reader looking for a few names leaves the rest unmade.
    const char* GetPropertyNameAt(int index) const;
    // Calls use(KDuzProperty&) with the property at index for reading (the
    // invalid handle outside 0 .. count - 1). A property listed without a
    // handle is wrapped for the call only, and a shared slot made for it is
    // put back unmade after: a walk over every property (a writer's) leaves
    // the object as small as it found it. Changes through the handle are
    // not reported to the object; use GetPropertyAt to change a property.
    template <typename Use>
    void PeekPropertyAt(int index, Use use) const {
        PropertyPeek peek = BeginPeek(index);
        use(peek.handle);
        EndPeek(peek);
    }
    // The shared slot of the internal object the property at index stands
    // for, made or not; -1 for none or outside 0 .. count - 1.
    int GetInternalSlotAt(int index) const;
    // The index of the property standing for a shared slot of the internal
    // object; -1 for none.
    int FindEntryOfInternalSlot(int slot) const;
    // The index of the property FindProperty finds by exact name, without
    // making its handle; -1 for none.
    int FindPropertyIndex(const char* name) const { return name != nullptr ? FindIndexByName(name) : -1; }
    // Reads the value of that property as its handle's GetValue would,
    // through a peek: a writer reading a few values by name makes nothing.
    // False when there is none or its value does not convert to kind (out
    // is left as it was); found, when given, tells the two apart.
    bool PeekPropertyValue(const char* name, void* out, int kind, bool* found = nullptr) const;
    // Whether the property at index has a handle of its own yet.
    bool IsPropertyHandleMade(int index) const {
        return index >= 0 && index < GetPropertyCount() && !mProperties[static_cast<size_t>(index)].IsPending();
    }
    KDuzProperty FindProperty(const char* name, bool caseSensitive = true) const;
    KDuzProperty FindPropertyOfType(const char* name, const PropertyDataType& type,
                                    bool caseSensitive = true) const;
    // Case-sensitive, from start around to start - 1; count is clamped to
    // the property count.
    KDuzProperty FindPropertyFrom(const char* name, int start, int count) const;
    KDuzProperty* FindWrapperOf(const KProperty* property) const;
    // Whether a handle of its own wraps the internal property; asking makes none.
    bool HasHandleFor(const KProperty* property) const;
    // Keeps a handle on the property (once) and binds it.
    bool AddProperty(const KDuzProperty& property);
    void RemoveProperty(const KDuzProperty& property);
    // Lists every internal property no handle wraps yet. An animatable one
    // gets its handle at once (the take nodes follow it); any other is
    // listed as it is and gets its handle the first time it is asked for,
    // or before its settings change or it leaves the internal object.
    void WrapInternalProperties();
    // Makes the handle of a listed internal property that has none yet.
    void MaterializeWrapperOf(const KProperty* property);
    // The same for an unmade slot of the internal object (before it goes).
    void MaterializeWrapperOfSlot(int slot);
    // An unmade slot of the internal object listed here was made.
    void OnInternalSlotMade(int slot, KProperty* property);

    // ---- scene ----
    // The first destination that is a KDuzScene.
    KDuzObject* GetScene() const;
    bool ConnectDstObject(KDuzObject* object);
    bool DisconnectDstObject(KDuzObject* object);

protected:
    // Makes the internal object of a subclass (null: a plain KDuzObject_internal).
    void SetInternalObject(KDuzObject_internal* internal) { mInternal = internal; }
    // Destroys the sources this object owns, its properties and its internal object.
    void DestroyOwnedObjects(bool recursive, bool dependents);

    // Destroys the properties and the internal object.
    void ReleaseContents();
    // True while the property at index is an internal property listed
    // without its handle: it was not animatable when it was listed.
    bool IsPropertyPending(int index) const {
        return index >= 0 && index < GetPropertyCount() && mProperties[static_cast<size_t>(index)].IsPending();
    }
    // A pending property whose internal property is animatable.
    bool IsPropertyPendingAnimatable(int index) const;
    bool IsBeingDestroyed() const { return mDestroying; }

private:
    // Calls visit with every source that is a public object, in connection order.
    template <typename Visit>
    void WalkSources(Visit visit) const;

    // One listed property: its handle; or (tag 1) the internal property
    // whose handle is not made yet; or (tag 2) a shared slot of the
    // internal object that is not made yet either. Most properties of a
    // class are never asked for; a handle and its record, and an internal
    // property, cost far more than a list entry.
    struct Slot {
        uintptr_t bits = 0;
        static Slot OfHandle(KDuzProperty* handle) { return Slot{reinterpret_cast<uintptr_t>(handle)}; }
        static Slot Pending(KProperty* property) { return Slot{reinterpret_cast<uintptr_t>(property) | 1u}; }
        static Slot Unmade(int slot) { return Slot{(static_cast<uintptr_t>(slot) << 2) | 2u}; }
        bool IsPending() const { return (bits & 3u) != 0; }
        bool IsUnmade() const { return (bits & 3u) == 2u; }
        KDuzProperty* Handle() const { return reinterpret_cast<KDuzProperty*>(bits); }
        KProperty* Internal() const { return reinterpret_cast<KProperty*>(bits & ~uintptr_t{3}); }
        int InternalSlot() const { return static_cast<int>(bits >> 2); }
    };
    struct PropertyPeek {
        KDuzProperty handle;
        int index = -1;
        int madeSlot = -1;       // the shared slot made for the peek
        bool transient = false;  // the handle's record is freed after the peek
    };
    PropertyPeek BeginPeek(int index) const;
    void EndPeek(PropertyPeek& peek) const;
    // The index of the entry listing an unmade internal slot; -1 for none.
    int FindUnmadeEntry(int slot) const;
    // The handle at index, made when pending.
    KDuzProperty* HandleAt(size_t index) const;
    const char* SlotName(size_t index) const;
    // The lowest index whose name is exactly name; -1 for none.
    int FindIndexByName(const char* name) const;
    // Keeps the name index in step with an entry appended at the end; any
    // other change of the list drops the index, to be made again when needed.
    void IndexAppended() const;
    void DropNameIndex() const;

    KDuzObject_internal* mInternal = nullptr;
    bool mDestroying = false;
    KDuzObjectName mName;
    mutable std::vector<Slot> mProperties;   // owned handles and pending ones
    mutable std::unordered_set<const void*> mPropertyRecords;   // the records of the handles
    // Look-up by exact name for objects with many properties (a character
    // has hundreds, each looked up as it is made): hashes of the names to
    // their indices, checked against the names when used.
    struct NameIndex;
    mutable std::unique_ptr<NameIndex> mNameIndex;
    mutable int mPendingCount = 0;
    int mUnmadeBase = 0;   // index of the entry of internal slot 0, when listed in order
    bool mUnmadeListed = false;
    void* mUserData = nullptr;
    KDuzSdkManager* mManager;
    KClassId mRuntimeClassId;
};

// The index-th source of the object that is a KDuzNode; null when out of range.
KDuzObject* KDuzPlugGetSrcNode(const KDuzPlug* plug, int index);

}  // namespace duzsdk
