// The internal property: a plug owned by one object, with a name, a
// value-type code, a data type, limits and an enumeration list. The value
// itself lives in the template classes (KPropertyTemplate.h).
#pragma once

#include <cstdint>

#include "sdk/base/KString.h"
#include "sdk/object/KPlug.h"

namespace duzsdk {

class KDataType;
class KObject;
class KStringList;

// Value-type codes of internal properties.
enum KPropertyValueType : int {
    eKPropUnknown = 0,
    eKPropInt = 1,
    eKPropBool = 2,
    eKPropFloat = 3,
    eKPropDouble = 4,
    eKPropCharPtr = 5,
    eKPropEnum = 6,
    eKPropTime = 7,
    eKPropString = 8,
    eKPropObject = 9,
    eKPropEvent = 10,
    eKPropStringList = 11,
    eKPropVector4D = 12,
    eKPropVector3D = 13,
    eKPropColorRGB = 14,
    eKPropColorRGBA = 15,
    eKPropAction = 16,
    eKPropReference = 17,
    eKPropMatrix = 18,
};

inline constexpr const char* kPropertyValueTypeNames[] = {
    "unknown", "int",      "bool",     "float",     "double",    "charptr", "enum",
    "KTime",   "KString",  "object",   "event",     "stringlist", "Vector4D", "Vector3D",
    "ColorRGB", "ColorRGBA", "Action", "Reference", "Matrix4x4",
};
// The code of a name by exact comparison; 0 when none matches.
int KPropertyTypeFromName(const char* name);
// The name of a code; "unknown" outside the table.
const char* KPropertyTypeName(int code);

// How a template stores its value; the typed accessors check it before they
// read or write, so a property whose code was changed afterwards is never
// read as the wrong type.
enum class EPropertyStorage {
    None, Int, Bool, Double, Time, Vector4, String, CharPtr, Object, Property, Matrix
};

// Produces the value into out / takes a new value; called with the owner plug.
using KPropertyGetter = void (*)(KPlug* owner, void* out);
using KPropertySetter = void (*)(KPlug* owner, const void* value);
// Returns the enumeration item text of an index.
using KPropertyEnumCallback = const char* (*)(KPlug* owner, int index);

struct KPropertyInfo {
    enum : int {
        kOwned = 0x001,
        kAnimatable = 0x002,
        kIsList = 0x004,
        kIsObjectList = 0x008,
        kWorldRegistered = 0x010,
        kOwnedName = 0x020,
        kUser = 0x040,
        kNamedReference = 0x100,
        kEnumCallback = 0x200,
    };

    int flags = 0;
    const char* name = "";
    KString ownedName;   // backs name while kOwnedName is set
    KString label;
    const KDataType* dataType = nullptr;
    KPropertyGetter getter = nullptr;
    KPropertySetter setter = nullptr;
    double minimum = 0.0;
    double maximum = 100.0;
    int valueType = 0;
    KStringList* enumList = nullptr;         // owned by user properties
    const KStringList* staticEnumList = nullptr;
    KPropertyEnumCallback enumCallback = nullptr;
    int worldId = -1;   // 32 bits: ids past 65535 must not wrap onto others

    // The bits when set, 0 when cleared.
    int ModifyFlags(int bits, bool set);
    // Stores the callback; flag 0x200 follows whether there is one.
    void SetEnumList(KPropertyEnumCallback callback);
};

// Advances whenever an internal property is named anew, so that name
// look-ups kept outside the property know when to start again.
std::uint64_t KPropertyNameEpoch();

class KProperty : public KPlug {
public:
    // Object event sent when flags or limits change.
    static constexpr int kObjectEventSettingsChanged = 31;
    static constexpr int kValueEventChanging = 20;
    static constexpr int kValueEventChanged = 21;

    KProperty();
    ~KProperty() override;

    // ---- KPlug ----
    void Teardown() override;
    KPlugTypeInfo* GetPlugTypeInfo() const override;
    static KPlugTypeInfo* ClassTypeInfo();

    // ---- value access ----
    virtual int GetInt();
    virtual bool SetInt(int value);
    virtual double GetDouble();
    virtual bool SetDouble(double value);
    virtual bool GetDoubles(double* out);
    virtual bool SetDoubles(const double* in);
    virtual bool SetName(const char* text, bool unique);
    // Copies the value out (the template's type); nothing in the base.
    virtual void GetValue(void* out);
    // Stores the value with events 20 and 21; nothing in the base.
    virtual void SetValue(const void* in);
    virtual KProperty* CloneInto(KObject* object);
    virtual void ReservedSettings() {}
    virtual void CopyValueFrom(KProperty* other);
    virtual void CopyValue(KProperty* other) { CopyValueFrom(other); }
    virtual EPropertyStorage GetStorage() const { return EPropertyStorage::None; }

    // ---- info ----
    KPropertyInfo& GetInfo() { return mInfo; }
    const KPropertyInfo& GetInfo() const { return mInfo; }
    const char* GetName() const { return mInfo.name; }
    int GetValueType() const { return mInfo.valueType; }
    void SetValueType(int code);
    // Stores the name pointer itself (no copy) and the code.
    void SetNameAndValueType(const char* name, int code);
    // The stored data type, else the one of the code (null for most codes).
    const KDataType* GetDataType() const;
    void SetDataType(const KDataType* type);
    void SetFlags(int bits, bool set);
    bool TestFlags(int bits) const { return (mPropertyFlags & bits) == bits; }
    int GetPropertyFlags() const { return mPropertyFlags; }
    // Stores the flags without an event (construction).
    void InitPropertyFlags(int flags) { mPropertyFlags = flags; }
    bool HasInfoFlag(int bits) const { return (mInfo.flags & bits) != 0; }
    bool TestInfoFlag1() const { return HasInfoFlag(KPropertyInfo::kOwned); }
    bool TestInfoFlag2() const { return HasInfoFlag(KPropertyInfo::kAnimatable); }
    bool TestInfoFlag8() const { return HasInfoFlag(KPropertyInfo::kIsObjectList); }
    bool TestInfoFlag64() const { return HasInfoFlag(KPropertyInfo::kUser); }
    bool SetMinMax(double minimum, double maximum);
    void SetMin(double minimum);
    void SetMax(double maximum);
    double GetMin() const { return mInfo.minimum; }
    double GetMax() const { return mInfo.maximum; }
    const char* GetLabel() const { return mInfo.label.IsEmpty() ? nullptr : mInfo.label.Buffer(); }
    void SetLabel(const char* text);
    KStringList* GetEnumList(bool create);
    // Null for an index outside the list.
    const char* GetEnumItem(int index);
    // Makes the object the owner plug and stores the name pointer, getter and
    // setter. It does not add the property to the object's array.
    void Init(const char* name, KObject* object, KPropertyGetter getter, KPropertySetter setter);
    void ConnectTo(KPlug* target);
    KObject* GetOwnerObject() const;

    static bool IsScalarType(int code);
    static bool IsVectorType(int code);

    // ---- references (code 17) ----
    KProperty* GetSourceProperty(int index);
    KProperty* GetDestinationProperty(int index);
    KProperty* GetReferencedProperty();
    int GetReferrerCount();

    KString ToString();
    bool FromString(const char* text);

    // Rewrites a name so that no other property of the same object has it.
    KString MakeNameUnique(const char* text) const;

    // Set while a public object lists this property without having made
    // its handle yet (see KDuzObject::WrapInternalProperties).
    bool IsAwaitingWrapper() const { return mAwaitingWrapper; }
    void SetAwaitingWrapper(bool awaiting) { mAwaitingWrapper = awaiting; }
    // The shared slot of its owner it fills (KPropertySlotTable); -1 for none.
    int GetListSlot() const { return mListSlot; }
    void SetListSlot(int slot) { mListSlot = slot; }

protected:
    // Stores the name as an owned copy without double quotes.
    void StoreOwnedName(const char* text);
    // Tells the owner object that the settings are about to change.
    void SettingsChanging();

    KPropertyInfo mInfo;
    int mPropertyFlags = 0;
    bool mAwaitingWrapper = false;
    int mListSlot = -1;
};

// A property that is itself a list; its hooks do nothing here.
class KPropertyList : public KProperty {
public:
    KPropertyList() { mInfo.flags |= KPropertyInfo::kIsList; }
    virtual void ListHook45() {}
    virtual void ListHook46() {}
    virtual void ListHook47() {}
    virtual bool ListHook48() { return true; }
    virtual void ListHook49() {}
};

// Casts a plug to a property when it is one.
KProperty* KPropertyCast(KPlug* plug);

}  // namespace duzsdk
