// The public property handle. A handle is a small value that shares one
// record holding the property's name, label, data type, limits, flags and
// value buffer; while the property belongs to an object the record is bound
// to an internal KProperty of that object and keeps the two in step.
#pragma once

#include "sdk/base/KString.h"
#include "sdk/base/KTime.h"
#include "sdk/base/KgeMatrix.h"
#include "sdk/base/duzVectorTemplate3.h"
#include "sdk/object/KDuzPlug.h"
#include "sdk/object/PropertyDataType.h"

#include <memory>

namespace duzsdk {

class KDuzObject;
class KDuzProperty_internal;
class KProperty;

// Value kinds beyond those of PropertyDataType.h.
inline constexpr int eValueKindNone13 = 13;
inline constexpr int kValueKindCount = 14;

// Size of the value a kind holds, in bytes (a string kind counts one KString,
// an owned buffer one pointer). 0 for kinds without value and unknown kinds.
int KDuzValueKindSize(int kind);

// Value of kind 12: a byte buffer the property owns.
struct KDuzOwnedBuffer {
    unsigned reserved = 0;
    unsigned char* data = nullptr;   // KMemAlloc'ed, null when empty
    int length = 0;

    KDuzOwnedBuffer() = default;
    KDuzOwnedBuffer(const KDuzOwnedBuffer& other);
    KDuzOwnedBuffer& operator=(const KDuzOwnedBuffer& other);
    ~KDuzOwnedBuffer();
    // Copies length bytes; a negative length or null data with a length gives false.
    bool Assign(const void* bytes, int count);
};

// Old-style property type codes, derived from a data type.
enum EPropertyTypeCode : int {
    ePropertyTypeUnidentified = 0,
    ePropertyTypeBool = 1,
    ePropertyTypeReal = 2,
    ePropertyTypeColor = 3,
    ePropertyTypeInteger = 4,
    ePropertyTypeVector = 5,
    ePropertyTypeEnum = 6,
    ePropertyTypeMatrix = 7,
};
EPropertyTypeCode KDuzPropertyTypeCodeOf(const PropertyDataType& type);
// The text of codes 0 to 6; null for any other code.
const char* KDuzPropertyTypeCodeName(int code);

// Property flag bits.
enum : unsigned {
    kDuzPropertyAnimatable = 1,   // mirrors information flag 2 (and internal flag 8 at binding)
    kDuzPropertyUser = 2,         // mirrors information flag 64
    kDuzPropertyInfo128 = 4,      // mirrors information flag 128
    kDuzPropertyFlag8 = 8,        // mirrors the internal property's flag 8
    kDuzPropertyBuiltIn = 16,     // made by KDuzTypedProperty::InitOnOwner
};

class KDuzProperty : public KDuzPlug {
public:
    // The invalid handle (no record).
    KDuzProperty() = default;
    // Copies share the record; a copy is never marked as an SDK heap handle.
    KDuzProperty(const KDuzProperty& other) : KDuzPlug(other), mCell(other.mCell) {}
    KDuzProperty& operator=(const KDuzProperty& other) {
        mCell = other.mCell;
        return *this;
    }
    ~KDuzProperty() override = default;

    // A new record owned by the object (added to it); with a null owner the
    // record is unowned.
    KDuzProperty(KDuzObject* owner, const char* name, const PropertyDataType& type,
                 const char* label = "");
    // A new unowned record.
    KDuzProperty(KDuzSdkManager* manager, const char* name, const PropertyDataType& type,
                 const char* label = "");
    // Wraps an existing internal property: the new record is bound to it and
    // copies its name, label, limits, flags and enumeration texts.
    KDuzProperty(KDuzSdkManager* manager, KProperty* property);

    // Shared invalid handle returned by failed look-ups.
    static const KDuzProperty Invalid;
    static KClassId ClassId();

    // ---- KDuzPlug ----
    KClassId GetClassId() const override;
    // Destroys the property (and deletes this handle when the SDK allocated it).
    void Destroy(bool recursive = false, bool dependents = false) override;
    KDuzSdkManager* GetSdkManager() const override;
    void SetUserDataPtr(void* data) override;
    void* GetUserDataPtr() const override;
    bool ConnectNotify(const KDuzConnectEvent& event) override;
    KPlug* GetInternalPlug(int = 0) override;
    const KPlug* GetInternalPlug(int = 0) const override;

    // ---- identity ----
    // False once the property was destroyed through any handle.
    bool IsValid() const;
    bool IsSame(const KDuzProperty& other) const;
    bool IsBoundTo(const KProperty* property) const;

    // ---- accessors (harmless on the invalid handle: empty, 0 or null) ----
    const KString& GetNameRef() const;
    const char* GetName() const { return GetNameRef().Buffer(); }
    // The label, or the name when the label is empty.
    KString GetLabel() const;
    PropertyDataType GetDataType() const;
    int GetValueKind() const { return GetDataType().GetValueKind(); }
    EPropertyTypeCode GetPropertyTypeCode() const { return KDuzPropertyTypeCodeOf(GetDataType()); }
    void SetMinLimit(double limit);
    double GetMinLimit() const;
    void SetMaxLimit(double limit);
    double GetMaxLimit() const;
    void SetUserTag(int tag);
    int GetUserTag() const;
    KDuzObject* GetOwner() const;
    void SetOwner(KDuzObject* owner);
    // The bound internal property; null when unbound or when it went away.
    KProperty* GetBoundProperty() const;
    void ModifyFlag(unsigned bits, bool on);
    // True when any of the bits is set.
    bool GetFlag(unsigned bits) const;
    unsigned GetFlags() const;

    // ---- values ----
    // The value is read or written as the given kind. The property's own
    // kind copies exactly; numeric kinds (bool, integer, float, double,
    // enumeration) convert among themselves; any other mismatch is refused.
    bool SetValue(const void* value, int kind);
    bool GetValue(void* out, int kind) const;
    double GetDouble() const;
    duzVectorTemplate3<double> GetDouble3() const;
    // Four doubles; false when the property is not of kind 6.
    bool GetDouble4(double out[4]) const;
    KgeMatrix GetMatrix() const;
    KString GetString() const;
    KTime GetTime() const;
    // Both values read as this property's kind; false when the kinds differ.
    bool ValueEquals(const KDuzProperty& other) const;
    bool CopyValue(const KDuzProperty& other);

    // ---- enumerations (kind 8 only) ----
    // The new index, or -1 when the kind is not 8.
    int AddEnumValue(const char* text);
    int GetEnumCount() const;
    // Null unless 0 <= index < count.
    const char* GetEnumValue(int index) const;

    // ---- creation helpers ----
    // The owner's property of that name (exact, whatever its type) unless
    // noLookup; otherwise a new one. Invalid for a null owner.
    static KDuzProperty Create(KDuzObject* owner, const char* name, const PropertyDataType& type,
                               const char* label = "", bool noLookup = false);

    // ---- binding, driven by the owner ----
    bool BindToOwnerInternal();
    bool UnbindInternal();
    // Sets the record's flags and limits as they are, without passing them
    // on to the internal property: a handle made late takes the settings
    // its object kept for it.
    void InitRecordSettings(unsigned flags, double minimum, double maximum);

    // The record, for the object layer; null when invalid.
    KDuzProperty_internal* GetRecord() const;

    // Marks a heap handle the SDK made; Destroy deletes it.
    void MarkHeapAllocated() { mHeapAllocated = true; }

    // Removes the property from its owner and frees the record; every copy
    // of the handle becomes invalid. Nothing for the invalid handle.
    void DestroyProperty();

private:
    struct Cell;

    std::shared_ptr<Cell> mCell;
    bool mHeapAllocated = false;
};

// A handle with a typed read. Value kinds: bool 1, int 2, double 4,
// three doubles 5, KString 9.
template <typename T>
struct KDuzTypedPropertyKind;
template <> struct KDuzTypedPropertyKind<bool> { static constexpr int kKind = 1; };
template <> struct KDuzTypedPropertyKind<int> { static constexpr int kKind = 2; };
template <> struct KDuzTypedPropertyKind<double> { static constexpr int kKind = 4; };
template <> struct KDuzTypedPropertyKind<duzVectorTemplate3<double>> { static constexpr int kKind = 5; };
template <> struct KDuzTypedPropertyKind<KString> { static constexpr int kKind = 9; };

// Fills the handle: the owner's property of that name when there is one
// (case-sensitive), else a new one flagged built-in.
void KDuzPropertyInitOnOwner(KDuzProperty& handle, KDuzObject* owner, const char* name,
                             const PropertyDataType& type, const char* label);

template <typename T>
class KDuzTypedProperty : public KDuzProperty {
public:
    KDuzTypedProperty() = default;
    KDuzTypedProperty(const KDuzProperty& other) : KDuzProperty(other) {}   // NOLINT: shares the record
    KDuzTypedProperty& operator=(const KDuzProperty& other) {
        KDuzProperty::operator=(other);
        return *this;
    }

    static constexpr int kKind = KDuzTypedPropertyKind<T>::kKind;

    void InitOnOwner(KDuzObject* owner, const char* name, const PropertyDataType& type,
                     const char* label = "") {
        KDuzPropertyInitOnOwner(*this, owner, name, type, label);
    }
    // A zero value when the read fails.
    T Get() const {
        T value{};
        if constexpr (kKind == 5) value = duzVectorTemplate3<double>(0.0, 0.0, 0.0);
        GetValue(&value, kKind);
        return value;
    }
    bool Set(const T& value) { return SetValue(&value, kKind); }
};

// A new heap handle wrapping an internal property; null when allocation
// fails. The caller owns the handle.
KDuzProperty* KDuzPropertyWrapInternal(KDuzSdkManager* manager, KProperty* property);

// Class creator of "KDuzProperty": an unowned heap handle.
KDuzPlug* KDuzClassCreatorProperty(KDuzSdkManager* manager, const char* name);

}  // namespace duzsdk
