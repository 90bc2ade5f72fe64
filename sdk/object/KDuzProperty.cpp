#include "sdk/object/KDuzProperty.h"

#include "sdk/base/KMemory.h"
#include "sdk/base/KStringList.h"
#include "sdk/object/KDataType.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzObject.h"
#include "sdk/object/KProperty.h"
#include "sdk/object/PropertyDataTypeMap.h"

#include <cmath>
#include <cstring>
#include <new>

namespace duzsdk {

// ---- the shared record -------------------------------------------------------

class KDuzProperty_internal : public KDuzPlug_internal {
public:
    KDuzProperty_internal() : KDuzPlug_internal(nullptr) {}
    KPlugTypeInfo* GetPlugTypeInfo() const override {
        return PlugTypeInfoGetRecord(PlugTypeNumberOf("KDuzProperty_internal"));
    }

    KString name;
    KString label;
    double minLimit = -HUGE_VAL;
    double maxLimit = HUGE_VAL;
    unsigned flags = 0;
    PropertyDataType dataType;
    void* value = nullptr;
    void* userData = nullptr;
    KStringList* enumList = nullptr;
    int userTag = 0;
    KDuzObject* owner = nullptr;
    // Weak: the internal property may go with its object behind our back.
    HdlKObject bound;
    KDuzSdkManager* manager = nullptr;

    int Kind() const { return dataType.GetValueKind(); }
    KProperty* Bound() const { return KPropertyCast(bound.Get()); }
};

// Every copy of a handle shares one cell; destroying the property through
// any copy empties the cell, so no copy is left pointing at a freed record.
struct KDuzProperty::Cell {
    KDuzProperty_internal* record = nullptr;
};

namespace {

constexpr int kKindSizes[kValueKindCount] = {
    0,                          // 0 none
    1,                          // 1 bool
    4,                          // 2 integer
    4,                          // 3 float
    8,                          // 4 double
    24,                         // 5 three doubles
    32,                         // 6 four doubles
    128,                        // 7 matrix
    4,                          // 8 enumeration index
    sizeof(KString),            // 9 string
    8,                          // 10 time
    1,                          // 11 reference
    sizeof(KDuzOwnedBuffer*),   // 12 owned buffer
    0,                          // 13 none
};
static_assert(sizeof(KgeMatrix) == 128 && sizeof(KTime) == 8 && sizeof(bool) == 1);

bool IsNumericKind(int kind) {
    return kind == 1 || kind == 2 || kind == 3 || kind == 4 || kind == 8;
}

double ReadNumeric(const void* value, int kind) {
    switch (kind) {
        case 1: return *static_cast<const bool*>(value) ? 1.0 : 0.0;
        case 2:
        case 8: return *static_cast<const int*>(value);
        case 3: return *static_cast<const float*>(value);
        case 4: return *static_cast<const double*>(value);
        default: return 0.0;
    }
}

int ClampToInt(double v) {
    if (!(v == v)) return 0;
    if (v >= 2147483647.0) return 2147483647;
    if (v <= -2147483648.0) return -2147483647 - 1;
    return static_cast<int>(v);
}

void WriteNumeric(void* out, int kind, double v) {
    switch (kind) {
        case 1: *static_cast<bool*>(out) = v != 0.0; break;
        case 2:
        case 8: *static_cast<int*>(out) = ClampToInt(v); break;
        case 3: *static_cast<float*>(out) = static_cast<float>(v); break;
        case 4: *static_cast<double*>(out) = v; break;
        default: break;
    }
}

// Builds the buffer of a kind: zeroed bytes, with the string and the
// owned-buffer pointer constructed in place.
void* NewValueBuffer(int kind) {
    const int size = KDuzValueKindSize(kind);
    void* buffer = KMemAlloc(size > 0 ? static_cast<size_t>(size) : 1u);
    if (buffer == nullptr) return nullptr;
    std::memset(buffer, 0, size > 0 ? static_cast<size_t>(size) : 1u);
    if (kind == 9) new (buffer) KString();
    if (kind == 12) new (buffer) KDuzOwnedBuffer*(nullptr);
    return buffer;
}

void FreeValueBuffer(void* buffer, int kind) {
    if (buffer == nullptr) return;
    if (kind == 9) static_cast<KString*>(buffer)->~KString();
    if (kind == 12) delete *static_cast<KDuzOwnedBuffer**>(buffer);
    KMemFree(buffer);
}

// The shared copy routine of SetValue and GetValue for one kind. Kind 12
// takes a `const KDuzOwnedBuffer*` record (null clears) on the way in and
// hands the bytes to a caller's `KDuzOwnedBuffer` on the way out.
bool CopyToBuffer(void* buffer, const void* value, int kind) {
    if (buffer == nullptr || value == nullptr) return false;
    switch (kind) {
        case 1: case 2: case 3: case 4: case 5: case 6: case 7: case 8: case 10:
            std::memcpy(buffer, value, static_cast<size_t>(KDuzValueKindSize(kind)));
            return true;
        case 9:
            *static_cast<KString*>(buffer) = *static_cast<const KString*>(value);
            return true;
        case 12: {
            auto*& target = *static_cast<KDuzOwnedBuffer**>(buffer);
            const auto* source = static_cast<const KDuzOwnedBuffer*>(value);
            if (target == nullptr) target = new KDuzOwnedBuffer;
            *target = *source;
            return true;
        }
        default: return false;
    }
}

bool CopyFromBuffer(void* out, const void* buffer, int kind) {
    if (buffer == nullptr || out == nullptr) return false;
    switch (kind) {
        case 1: case 2: case 3: case 4: case 5: case 6: case 7: case 8: case 10:
            std::memcpy(out, buffer, static_cast<size_t>(KDuzValueKindSize(kind)));
            return true;
        case 9:
            *static_cast<KString*>(out) = *static_cast<const KString*>(buffer);
            return true;
        case 12: {
            const KDuzOwnedBuffer* source = *static_cast<KDuzOwnedBuffer* const*>(buffer);
            auto* target = static_cast<KDuzOwnedBuffer*>(out);
            if (source == nullptr) *target = KDuzOwnedBuffer();
            else *target = *source;
            return true;
        }
        default: return false;
    }
}

// The internal vector and colour templates hold four doubles and the matrix
// sixteen: values travel through a scratch that fits any of them, and only
// the kind's own components are copied.
int DoubleCountOfKind(int kind) { return kind == 5 ? 3 : kind == 6 ? 4 : kind == 7 ? 16 : 0; }

void PushToBound(KProperty* property, const void* buffer, int kind) {
    switch (kind) {
        case 1: property->SetInt(*static_cast<const bool*>(buffer) ? 1 : 0); break;
        case 2:
        case 8: property->SetInt(*static_cast<const int*>(buffer)); break;
        case 3: property->SetDouble(*static_cast<const float*>(buffer)); break;
        case 4: property->SetDouble(*static_cast<const double*>(buffer)); break;
        case 9:
            if (property->GetStorage() == EPropertyStorage::String) {
                property->SetValue(buffer);
            } else if (property->GetStorage() == EPropertyStorage::CharPtr) {
                const char* text = static_cast<const KString*>(buffer)->Buffer();
                property->SetValue(&text);
            }
            break;
        case 5:
        case 6:
        case 7: {
            double scratch[16] = {};
            property->GetDoubles(scratch);
            std::memcpy(scratch, buffer, static_cast<size_t>(DoubleCountOfKind(kind)) * sizeof(double));
            property->SetDoubles(scratch);
            break;
        }
        case 10:
            if (property->GetStorage() == EPropertyStorage::Time) property->SetValue(buffer);
            break;
        default: break;   // references and owned buffers live only in the record
    }
}

void PullFromBound(KProperty* property, void* buffer, int kind) {
    switch (kind) {
        case 1: *static_cast<bool*>(buffer) = property->GetInt() != 0; break;
        case 2:
        case 8: *static_cast<int*>(buffer) = property->GetInt(); break;
        case 3: *static_cast<float*>(buffer) = static_cast<float>(property->GetDouble()); break;
        case 4: *static_cast<double*>(buffer) = property->GetDouble(); break;
        case 9:
            if (property->GetStorage() == EPropertyStorage::String) {
                property->GetValue(buffer);
            } else if (property->GetStorage() == EPropertyStorage::CharPtr) {
                const char* text = nullptr;
                property->GetValue(&text);
                *static_cast<KString*>(buffer) = text != nullptr ? text : "";
            }
            break;
        case 5:
        case 6:
        case 7: {
            double scratch[16] = {};
            if (property->GetDoubles(scratch))
                std::memcpy(buffer, scratch, static_cast<size_t>(DoubleCountOfKind(kind)) * sizeof(double));
            break;
        }
        case 10:
            if (property->GetStorage() == EPropertyStorage::Time) property->GetValue(buffer);
            break;
        default: break;
    }
}

// Data type of an internal property without a data type of its own, by code.
const char* DataTypeNameOfCode(int code) {
    static constexpr const char* kNames[] = {
        nullptr,  "Integer",    "Bool",    "Float",  "Number",  "charptr", "Enum",
        "Time",   "KString",    "object",  "event",  "stringlist", "Vector4", "Vector",
        "Color",  "ColorAndAlpha", "Action", "Reference", "Matrix",
    };
    if (code <= 0 || code >= static_cast<int>(sizeof(kNames) / sizeof(kNames[0]))) return nullptr;
    return kNames[code];
}

const KString& EmptyString() {
    static const KString empty;
    return empty;
}

}  // namespace

int KDuzValueKindSize(int kind) {
    return kind >= 0 && kind < kValueKindCount ? static_cast<int>(kKindSizes[kind]) : 0;
}

// ---- owned buffers ----------------------------------------------------------

KDuzOwnedBuffer::KDuzOwnedBuffer(const KDuzOwnedBuffer& other) { Assign(other.data, other.length); }

KDuzOwnedBuffer& KDuzOwnedBuffer::operator=(const KDuzOwnedBuffer& other) {
    if (this != &other) Assign(other.data, other.length);
    return *this;
}

KDuzOwnedBuffer::~KDuzOwnedBuffer() { KMemFree(data); }

bool KDuzOwnedBuffer::Assign(const void* bytes, int count) {
    if (count < 0 || (count > 0 && bytes == nullptr)) return false;
    unsigned char* copy = nullptr;
    if (count > 0) {
        copy = static_cast<unsigned char*>(KMemAlloc(static_cast<size_t>(count)));
        if (copy == nullptr) return false;
        std::memcpy(copy, bytes, static_cast<size_t>(count));
    }
    KMemFree(data);
    reserved = 0;
    data = copy;
    length = count;
    return true;
}

// ---- type codes ------------------------------------------------------------

EPropertyTypeCode KDuzPropertyTypeCodeOf(const PropertyDataType& type) {
    if (std::strcmp(type.GetName(), "Color") == 0 || std::strcmp(type.GetName(), "ColorAndAlpha") == 0)
        return ePropertyTypeColor;
    switch (type.GetValueKind()) {
        case 1: return ePropertyTypeBool;
        case 2: return ePropertyTypeInteger;
        case 3:
        case 4: return ePropertyTypeReal;
        case 5:
        case 6: return ePropertyTypeVector;
        case 7: return ePropertyTypeMatrix;
        case 8: return ePropertyTypeEnum;
        default: return ePropertyTypeUnidentified;
    }
}

const char* KDuzPropertyTypeCodeName(int code) {
    static constexpr const char* kNames[] = {"Unidentified", "Bool", "Real", "Color",
                                             "Integer", "Vector", "Enum"};
    return code >= 0 && code <= 6 ? kNames[code] : nullptr;
}

// ---- handles ---------------------------------------------------------------

const KDuzProperty KDuzProperty::Invalid;

namespace {

KDuzProperty_internal* NewRecord(KDuzSdkManager* manager, const char* name,
                                 const PropertyDataType& type, const char* label) {
    auto* record = new KDuzProperty_internal;
    record->name = name != nullptr ? name : "";
    record->label = label != nullptr ? label : "";
    record->dataType = type;
    record->manager = manager;
    record->value = NewValueBuffer(type.GetValueKind());
    return record;
}

}  // namespace

KDuzProperty::KDuzProperty(KDuzObject* owner, const char* name, const PropertyDataType& type,
                           const char* label)
    : mCell(std::make_shared<Cell>()) {
    mCell->record = NewRecord(owner != nullptr ? owner->GetSdkManager() : nullptr, name, type, label);
    if (owner != nullptr) owner->AddProperty(*this);
}

KDuzProperty::KDuzProperty(KDuzSdkManager* manager, const char* name, const PropertyDataType& type,
                           const char* label)
    : mCell(std::make_shared<Cell>()) {
    mCell->record = NewRecord(manager, name, type, label);
}

KDuzProperty::KDuzProperty(KDuzSdkManager* manager, KProperty* property)
    : mCell(std::make_shared<Cell>()) {
    PropertyDataType type;
    if (property != nullptr) {
        if (const KDataType* dataType = property->GetDataType())
            type = PropertyDataTypeFromName(dataType->GetName());
        if (!type.IsValid()) {
            if (const char* name = DataTypeNameOfCode(property->GetValueType()))
                type = PropertyDataTypeFromName(name);
        }
    }
    KDuzProperty_internal* record =
        NewRecord(manager, property != nullptr ? property->GetName() : "", type, "");
    mCell->record = record;
    if (property == nullptr) return;
    record->bound = HdlKObject::FromPlug(property);
    if (const char* label = property->GetLabel()) record->label = label;
    record->minLimit = property->GetMin();
    record->maxLimit = property->GetMax();
    if (property->HasInfoFlag(KPropertyInfo::kAnimatable)) record->flags |= kDuzPropertyAnimatable;
    if (property->HasInfoFlag(KPropertyInfo::kUser)) record->flags |= kDuzPropertyUser;
    if (property->HasInfoFlag(0x080)) record->flags |= kDuzPropertyInfo128;
    if (property->TestFlags(8)) record->flags |= kDuzPropertyFlag8;
    // A callback list could be endless; no real list comes near the cap.
    for (int i = 0; i < 65536; ++i) {
        const char* text = property->GetEnumItem(i);
        if (text == nullptr) break;
        if (record->enumList == nullptr) record->enumList = new KStringList;
        record->enumList->Append(text);
    }
}

KDuzProperty_internal* KDuzProperty::GetRecord() const {
    return mCell != nullptr ? mCell->record : nullptr;
}

KClassId KDuzProperty::ClassId() { return KDuzClassIdOf(eDuzClassProperty); }
KClassId KDuzProperty::GetClassId() const { return ClassId(); }

bool KDuzProperty::IsValid() const { return GetRecord() != nullptr; }

bool KDuzProperty::IsSame(const KDuzProperty& other) const {
    return GetRecord() != nullptr && GetRecord() == other.GetRecord();
}

bool KDuzProperty::IsBoundTo(const KProperty* property) const {
    return property != nullptr && GetBoundProperty() == property;
}

KDuzSdkManager* KDuzProperty::GetSdkManager() const {
    KDuzProperty_internal* r = GetRecord();
    return r != nullptr ? r->manager : nullptr;
}

void KDuzProperty::SetUserDataPtr(void* data) {
    if (KDuzProperty_internal* r = GetRecord()) r->userData = data;
}

void* KDuzProperty::GetUserDataPtr() const {
    KDuzProperty_internal* r = GetRecord();
    return r != nullptr ? r->userData : nullptr;
}

bool KDuzProperty::ConnectNotify(const KDuzConnectEvent& event) {
    KDuzProperty_internal* r = GetRecord();
    if (r == nullptr || r->owner == nullptr) return false;
    return r->owner->ConnectNotify(event);
}

KPlug* KDuzProperty::GetInternalPlug(int) { return GetRecord(); }
const KPlug* KDuzProperty::GetInternalPlug(int) const { return GetRecord(); }

const KString& KDuzProperty::GetNameRef() const {
    KDuzProperty_internal* r = GetRecord();
    return r != nullptr ? r->name : EmptyString();
}

KString KDuzProperty::GetLabel() const {
    KDuzProperty_internal* r = GetRecord();
    if (r == nullptr) return KString();
    return r->label.IsEmpty() ? r->name : r->label;
}

PropertyDataType KDuzProperty::GetDataType() const {
    KDuzProperty_internal* r = GetRecord();
    return r != nullptr ? r->dataType : PropertyDataType();
}

void KDuzProperty::SetMinLimit(double limit) {
    KDuzProperty_internal* r = GetRecord();
    if (r == nullptr) return;
    r->minLimit = limit;
    if (KProperty* p = r->Bound()) p->SetMin(limit);
}

double KDuzProperty::GetMinLimit() const {
    KDuzProperty_internal* r = GetRecord();
    return r != nullptr ? r->minLimit : -HUGE_VAL;
}

void KDuzProperty::SetMaxLimit(double limit) {
    KDuzProperty_internal* r = GetRecord();
    if (r == nullptr) return;
    r->maxLimit = limit;
    if (KProperty* p = r->Bound()) p->SetMax(limit);
}

double KDuzProperty::GetMaxLimit() const {
    KDuzProperty_internal* r = GetRecord();
    return r != nullptr ? r->maxLimit : HUGE_VAL;
}

void KDuzProperty::SetUserTag(int tag) {
    if (KDuzProperty_internal* r = GetRecord()) r->userTag = tag;
}

int KDuzProperty::GetUserTag() const {
    KDuzProperty_internal* r = GetRecord();
    return r != nullptr ? r->userTag : 0;
}

KDuzObject* KDuzProperty::GetOwner() const {
    KDuzProperty_internal* r = GetRecord();
    return r != nullptr ? r->owner : nullptr;
}

void KDuzProperty::SetOwner(KDuzObject* owner) {
    if (KDuzProperty_internal* r = GetRecord()) r->owner = owner;
}

KProperty* KDuzProperty::GetBoundProperty() const {
    KDuzProperty_internal* r = GetRecord();
    return r != nullptr ? r->Bound() : nullptr;
}

void KDuzProperty::ModifyFlag(unsigned bits, bool on) {
    KDuzProperty_internal* r = GetRecord();
    if (r == nullptr) return;
    if ((bits & kDuzPropertyAnimatable) && r->owner != nullptr &&
        ((r->flags & kDuzPropertyAnimatable) != 0) != on) {
        r->owner->PropertyFlagsChanging(*this, bits);
        if (GetRecord() == nullptr) return;
    }
    r->flags = on ? (r->flags | bits) : (r->flags & ~bits);
    KProperty* p = r->Bound();
    if (p == nullptr) return;
    // The internal flag 8 follows whether bit 8 is among the bits, whatever
    // `on` says: marking a built-in property (16, true) clears it. Files
    // written by this system depend on that, so it is kept.
    p->SetFlags(8, (bits & kDuzPropertyFlag8) != 0);
    int info = 0;
    if (bits & kDuzPropertyAnimatable) info |= KPropertyInfo::kAnimatable;
    if (bits & kDuzPropertyUser) info |= KPropertyInfo::kUser;
    if (bits & kDuzPropertyInfo128) info |= 0x080;
    if (info != 0) p->GetInfo().ModifyFlags(info, on);
}

void KDuzProperty::InitRecordSettings(unsigned flags, double minimum, double maximum) {
    KDuzProperty_internal* r = GetRecord();
    if (r == nullptr) return;
    r->flags = flags;
    r->minLimit = minimum;
    r->maxLimit = maximum;
}

bool KDuzProperty::GetFlag(unsigned bits) const { return (GetFlags() & bits) != 0; }

unsigned KDuzProperty::GetFlags() const {
    KDuzProperty_internal* r = GetRecord();
    return r != nullptr ? r->flags : 0u;
}

// ---- values ----------------------------------------------------------------

bool KDuzProperty::SetValue(const void* value, int kind) {
    KDuzProperty_internal* r = GetRecord();
    if (r == nullptr || value == nullptr) return false;
    const int own = r->Kind();
    bool copied;
    if (kind == own) {
        copied = CopyToBuffer(r->value, value, own);
    } else if (IsNumericKind(kind) && IsNumericKind(own)) {
        WriteNumeric(r->value, own, ReadNumeric(value, kind));
        copied = true;
    } else {
        return false;   // never read more of the caller's value than it holds
    }
    if (!copied) return false;
    if (KProperty* p = r->Bound()) PushToBound(p, r->value, own);
    if (KDuzObject* owner = r->owner) {
        if (KDuzObject_internal* internal = owner->GetInternalObject())
            internal->NotifyPropertyChanged(*this);
    }
    return true;
}

bool KDuzProperty::GetValue(void* out, int kind) const {
    KDuzProperty_internal* r = GetRecord();
    if (r == nullptr || out == nullptr) return false;
    const int own = r->Kind();
    if (kind != own && !(IsNumericKind(kind) && IsNumericKind(own))) return false;
    if (KProperty* p = r->Bound()) PullFromBound(p, r->value, own);
    if (kind == own) return CopyFromBuffer(out, r->value, own);
    WriteNumeric(out, kind, ReadNumeric(r->value, own));
    return true;
}

double KDuzProperty::GetDouble() const {
    double value = 0.0;
    GetValue(&value, 4);
    return value;
}

duzVectorTemplate3<double> KDuzProperty::GetDouble3() const {
    duzVectorTemplate3<double> value(0.0, 0.0, 0.0);
    GetValue(&value, 5);
    return value;
}

bool KDuzProperty::GetDouble4(double out[4]) const {
    double value[4] = {0.0, 0.0, 0.0, 0.0};
    const bool ok = GetValue(value, 6);
    std::memcpy(out, value, sizeof value);
    return ok;
}

KgeMatrix KDuzProperty::GetMatrix() const {
    double zero[16] = {};
    KgeMatrix value(zero);
    GetValue(&value, 7);
    return value;
}

KString KDuzProperty::GetString() const {
    KString value;
    GetValue(&value, 9);
    return value;
}

KTime KDuzProperty::GetTime() const {
    KTime value;
    GetValue(&value, 10);
    return value;
}

bool KDuzProperty::ValueEquals(const KDuzProperty& other) const {
    const int kind = GetValueKind();
    if (!IsValid() || !other.IsValid() || kind != other.GetValueKind()) return false;
    switch (kind) {
        case 1: {
            bool a = false, b = false;
            return GetValue(&a, 1) && other.GetValue(&b, 1) && a == b;
        }
        case 2:
        case 8: {
            int a = 0, b = 0;
            return GetValue(&a, kind) && other.GetValue(&b, kind) && a == b;
        }
        case 3: {
            float a = 0, b = 0;
            return GetValue(&a, 3) && other.GetValue(&b, 3) && a == b;
        }
        case 4: {
            double a = 0, b = 0;
            return GetValue(&a, 4) && other.GetValue(&b, 4) && a == b;
        }
        case 5:
        case 6:
        case 7: {
            double a[16] = {}, b[16] = {};
            if (!GetValue(a, kind) || !other.GetValue(b, kind)) return false;
            for (int i = 0; i < DoubleCountOfKind(kind); ++i)
                if (a[i] != b[i]) return false;
            return true;
        }
        case 9: {
            KString a, b;
            return GetValue(&a, 9) && other.GetValue(&b, 9) && a == b;
        }
        case 10: {
            KTime a, b;
            return GetValue(&a, 10) && other.GetValue(&b, 10) && a.Get() == b.Get();
        }
        default: return false;
    }
}

bool KDuzProperty::CopyValue(const KDuzProperty& other) {
    if (!IsValid() || !other.IsValid() || GetDataType() != other.GetDataType()) return false;
    const int kind = GetValueKind();
    switch (kind) {
        case 1: case 2: case 3: case 4: case 5: case 6: case 7: case 8: case 10: {
            double scratch[16] = {};   // room for the largest of these kinds
            return other.GetValue(scratch, kind) && SetValue(scratch, kind);
        }
        case 9: {
            KString text;
            return other.GetValue(&text, 9) && SetValue(&text, 9);
        }
        default: return false;
    }
}

// ---- enumerations ----------------------------------------------------------

int KDuzProperty::AddEnumValue(const char* text) {
    KDuzProperty_internal* r = GetRecord();
    if (r == nullptr || r->Kind() != 8) return -1;
    if (text == nullptr) text = "";
    if (KProperty* p = r->Bound()) p->GetEnumList(true)->Append(text);
    if (r->enumList == nullptr) r->enumList = new KStringList;
    return r->enumList->Append(text);
}

int KDuzProperty::GetEnumCount() const {
    KDuzProperty_internal* r = GetRecord();
    return r != nullptr && r->enumList != nullptr ? r->enumList->GetCount() : 0;
}

const char* KDuzProperty::GetEnumValue(int index) const {
    KDuzProperty_internal* r = GetRecord();
    if (r == nullptr || r->Kind() != 8 || index < 0 || index >= GetEnumCount()) return nullptr;
    return r->enumList->GetStringAt(index);
}

// ---- creation ----------------------------------------------------------------

KDuzProperty KDuzProperty::Create(KDuzObject* owner, const char* name, const PropertyDataType& type,
                                  const char* label, bool noLookup) {
    if (owner == nullptr) return KDuzProperty();
    if (!noLookup) {
        KDuzProperty found = owner->FindProperty(name, true);
        if (found.IsValid()) return found;
    }
    return KDuzProperty(owner, name, type, label);
}

void KDuzPropertyInitOnOwner(KDuzProperty& handle, KDuzObject* owner, const char* name,
                             const PropertyDataType& type, const char* label) {
    if (owner != nullptr) {
        KDuzProperty found = owner->FindProperty(name, true);
        if (found.IsValid()) {
            handle = found;
            return;
        }
    }
    handle = KDuzProperty(owner, name, type, label);
    handle.ModifyFlag(kDuzPropertyBuiltIn, true);
}

KDuzProperty* KDuzPropertyWrapInternal(KDuzSdkManager* manager, KProperty* property) {
    auto* handle = new (std::nothrow) KDuzProperty(manager, property);
    if (handle != nullptr) handle->MarkHeapAllocated();
    return handle;
}

KDuzPlug* KDuzClassCreatorProperty(KDuzSdkManager* manager, const char* name) {
    auto* handle = new (std::nothrow) KDuzProperty(manager, name, PropertyDataType(), "");
    if (handle == nullptr) return nullptr;
    handle->MarkHeapAllocated();
    handle->PostCreate();
    return handle;
}

// ---- binding -----------------------------------------------------------------

bool KDuzProperty::BindToOwnerInternal() {
    KDuzProperty_internal* r = GetRecord();
    if (r == nullptr || r->owner == nullptr || r->Bound() != nullptr) return false;
    if (!r->dataType.IsValid() || r->Kind() == 12) return false;
    KDuzObject_internal* internal = r->owner->GetInternalObject();
    if (internal == nullptr) return false;

    const KDataType* dataType = KDataTypeFindByName(r->dataType.GetName());
    int code = dataType != nullptr ? KDataTypeToPropertyTypeCode(dataType)
                                   : KPropertyTypeFromName(r->dataType.GetName());
    if (code == 0) return false;
    if (code == eKPropCharPtr) code = eKPropString;

    // A class may have made the internal property already: the public
    // property takes it over, unless another public property wraps it.
    KProperty* existing = internal->FindPropertyByName(r->name.Buffer());
    const bool adopt = existing != nullptr && r->owner->FindWrapperOf(existing) == nullptr;
    KProperty* p = internal->AddNewProperty(r->name.Buffer(), code, dataType, false, adopt);
    if (p == nullptr) return false;
    if (r->flags & kDuzPropertyAnimatable) {
        p->GetInfo().ModifyFlags(KPropertyInfo::kAnimatable, true);
        p->SetFlags(8, true);
    }
    if (r->flags & kDuzPropertyUser) p->GetInfo().ModifyFlags(KPropertyInfo::kUser, true);
    if (r->flags & kDuzPropertyInfo128) p->GetInfo().ModifyFlags(0x080, true);
    KString label = GetLabel();
    if (!label.IsEmpty()) p->SetLabel(label.Buffer());
    if (r->enumList != nullptr) {
        KStringList* list = p->GetEnumList(true);
        for (int i = 0; i < r->enumList->GetCount(); ++i) list->Append(r->enumList->GetStringAt(i));
    }
    r->bound = HdlKObject::FromPlug(p);
    return true;
}

bool KDuzProperty::UnbindInternal() {
    KDuzProperty_internal* r = GetRecord();
    if (r == nullptr || r->owner == nullptr) return false;
    KProperty* p = r->Bound();
    r->bound = HdlKObject();
    if (p == nullptr) return false;
    if (KDuzObject_internal* internal = r->owner->GetInternalObject()) internal->RemoveProperty(p);
    return true;
}

// ---- destruction -------------------------------------------------------------

void KDuzProperty::DestroyProperty() {
    // Work on a local reference: the owner's removal may delete the handle
    // this is called on when it is the owner's own copy.
    std::shared_ptr<Cell> cell = mCell;
    if (cell == nullptr || cell->record == nullptr) return;
    KDuzProperty_internal* r = cell->record;
    if (r->owner != nullptr) {
        KDuzProperty keep(*this);
        r->owner->RemoveProperty(keep);
    }
    cell->record = nullptr;
    delete r->enumList;
    FreeValueBuffer(r->value, r->Kind());
    delete r;
}

void KDuzProperty::Destroy(bool, bool) {
    const bool heap = mHeapAllocated;
    DestroyProperty();
    if (heap) delete this;
}

}  // namespace duzsdk
