#include "sdk/object/KProperty.h"

#include "sdk/base/KStringList.h"
#include "sdk/object/KDataType.h"
#include "sdk/object/KObject.h"
#include "sdk/object/KPropertyTemplate.h"
#include "sdk/object/KWorld.h"

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

namespace duzsdk {

namespace {

int ClampToInt(double value) {
    if (std::isnan(value)) return 0;
    if (value >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (value <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

std::string WithoutQuotes(const char* text) {
    std::string out;
    if (text == nullptr) return out;
    for (const char* p = text; *p; ++p) {
        if (*p != '"') out += *p;
    }
    return out;
}

}  // namespace

int KPropertyTypeFromName(const char* name) {
    if (name == nullptr) return 0;
    for (int code = 0; code < static_cast<int>(std::size(kPropertyValueTypeNames)); ++code) {
        if (std::strcmp(kPropertyValueTypeNames[code], name) == 0) return code;
    }
    return 0;
}

const char* KPropertyTypeName(int code) {
    if (code < 0 || code >= static_cast<int>(std::size(kPropertyValueTypeNames))) return "unknown";
    return kPropertyValueTypeNames[code];
}

int KPropertyInfo::ModifyFlags(int bits, bool set) {
    if (set) {
        flags |= bits;
        return bits;
    }
    flags &= ~bits;
    return 0;
}

void KPropertyInfo::SetEnumList(KPropertyEnumCallback callback) {
    enumCallback = callback;
    ModifyFlags(kEnumCallback, callback != nullptr);
}

KProperty* KPropertyCast(KPlug* plug) {
    if (plug == nullptr || !plug->IsPlugType(kPlugTypeKProperty)) return nullptr;
    return static_cast<KProperty*>(plug);
}

KProperty::KProperty() = default;

KProperty::~KProperty() {
    if (!(GetFlags() & kTornDown)) Teardown();
    delete mInfo.enumList;
    mInfo.enumList = nullptr;
}

KPlugTypeInfo* KProperty::ClassTypeInfo() { return PlugTypeInfoGetRecord(kPlugTypeKProperty); }

KPlugTypeInfo* KProperty::GetPlugTypeInfo() const { return ClassTypeInfo(); }

void KProperty::Teardown() {
    if (GetFlags() & kTornDown) return;
    if (HasInfoFlag(KPropertyInfo::kUser)) {
        delete mInfo.enumList;
        mInfo.enumList = nullptr;
    }
    // A property deleted behind its object's back must not stay listed there,
    // nor in the world's property table.
    if (KObject* owner = GetOwnerObject()) owner->ForgetProperty(this);
    if (mInfo.worldId >= 0 && KWorldGet() != nullptr) KWorldGet()->RemoveProperty(this);
    KPlug::Teardown();
}

// ---- typed access ----------------------------------------------------------

int KProperty::GetInt() {
    switch (mInfo.valueType) {
        case eKPropInt:
        case eKPropEnum:
            if (GetStorage() == EPropertyStorage::Int) {
                int value = 0;
                GetValue(&value);
                return value;
            }
            return 0;
        case eKPropBool:
        case eKPropAction:
            if (GetStorage() == EPropertyStorage::Bool) {
                bool value = false;
                GetValue(&value);
                return value ? 1 : 0;
            }
            return 0;
        default:
            return 0;
    }
}

bool KProperty::SetInt(int value) {
    switch (mInfo.valueType) {
        case eKPropInt:
        case eKPropEnum:
            if (GetStorage() != EPropertyStorage::Int) return false;
            SetValue(&value);
            return true;
        case eKPropBool:
        case eKPropAction: {
            if (GetStorage() != EPropertyStorage::Bool) return false;
            bool b = value != 0;
            SetValue(&b);
            return true;
        }
        default:
            return false;
    }
}

double KProperty::GetDouble() {
    switch (mInfo.valueType) {
        case eKPropInt:
        case eKPropBool:
        case eKPropEnum:
        case eKPropAction:
            return static_cast<double>(GetInt());
        case eKPropFloat:
        case eKPropDouble:
            if (GetStorage() == EPropertyStorage::Double) {
                double value = 0.0;
                GetValue(&value);
                return value;
            }
            return 0.0;
        default:
            return 0.0;
    }
}

bool KProperty::SetDouble(double value) {
    switch (mInfo.valueType) {
        case eKPropInt:
        case eKPropBool:
        case eKPropEnum:
        case eKPropAction:
            return SetInt(ClampToInt(value));
        case eKPropFloat:
        case eKPropDouble:
            if (GetStorage() != EPropertyStorage::Double) return false;
            SetValue(&value);
            return true;
        default:
            return false;
    }
}

// The raw value as doubles: one for a double, four for a vector, sixteen for
// a matrix; other storages go through the scalar accessors.
bool KProperty::GetDoubles(double* out) {
    if (out == nullptr) return false;
    const bool raw = HasInfoFlag(KPropertyInfo::kAnimatable) || IsVectorType(mInfo.valueType);
    if (raw) {
        switch (GetStorage()) {
            case EPropertyStorage::Double: GetValue(out); return true;
            case EPropertyStorage::Vector4: {
                KgeTVector v;
                GetValue(&v);
                std::memcpy(out, v.Data(), 4 * sizeof(double));
                return true;
            }
            case EPropertyStorage::Matrix: {
                KgeMatrix m;
                GetValue(&m);
                std::memcpy(out, m.Data(), 16 * sizeof(double));
                return true;
            }
            default: break;
        }
    }
    if (IsScalarType(mInfo.valueType)) {
        *out = GetDouble();
        return true;
    }
    return false;
}

bool KProperty::SetDoubles(const double* in) {
    if (in == nullptr) return false;
    const bool raw = HasInfoFlag(KPropertyInfo::kAnimatable) || IsVectorType(mInfo.valueType);
    if (raw) {
        switch (GetStorage()) {
            case EPropertyStorage::Double: SetValue(in); return true;
            case EPropertyStorage::Vector4: {
                KgeTVector v(in);
                SetValue(&v);
                return true;
            }
            case EPropertyStorage::Matrix: {
                KgeMatrix m(in);
                SetValue(&m);
                return true;
            }
            default: break;
        }
    }
    if (IsScalarType(mInfo.valueType)) return SetDouble(in[0]);
    return false;
}

void KProperty::GetValue(void*) {}

void KProperty::SetValue(const void*) {}

// ---- names -----------------------------------------------------------------

void KProperty::SettingsChanging() {
    if (KObject* owner = GetOwnerObject()) owner->PropertySettingsChanging(this);
}

void KProperty::SetValueType(int code) {
    if (code != mInfo.valueType) SettingsChanging();
    mInfo.valueType = code;
}

void KProperty::SetDataType(const KDataType* type) {
    if (type != mInfo.dataType) SettingsChanging();
    mInfo.dataType = type;
}

namespace {
std::atomic<std::uint64_t> gNameEpoch{0};
}  // namespace

std::uint64_t KPropertyNameEpoch() { return gNameEpoch.load(std::memory_order_relaxed); }

void KProperty::StoreOwnedName(const char* text) {
    gNameEpoch.fetch_add(1, std::memory_order_relaxed);
    SettingsChanging();
    mInfo.ownedName = WithoutQuotes(text).c_str();
    mInfo.name = mInfo.ownedName.Buffer();
    mInfo.flags |= KPropertyInfo::kOwnedName;
    if (KObject* owner = GetOwnerObject()) owner->ReindexProperty(this);
}

void KProperty::SetNameAndValueType(const char* name, int code) {
    gNameEpoch.fetch_add(1, std::memory_order_relaxed);
    SettingsChanging();
    mInfo.name = name != nullptr ? name : "";
    mInfo.flags &= ~KPropertyInfo::kOwnedName;
    mInfo.valueType = code;
    if (KObject* owner = GetOwnerObject()) owner->ReindexProperty(this);
}

bool KProperty::SetName(const char* text, bool unique) {
    KString candidate = unique ? MakeNameUnique(text) : KString(text != nullptr ? text : "");
    KString oldName(mInfo.name);
    if (!SendObjectEvent(0, kObjectEventBeforeRename, this, candidate.Buffer(), oldName.Buffer(), 0))
        return false;
    StoreOwnedName(candidate.Buffer());
    SendObjectEvent(0, kObjectEventAfterRename, this, candidate.Buffer(), mInfo.name, 0);
    return true;
}

// Works on a std::string: names of any length are handled, not only the
// first 1,023 characters.
KString KProperty::MakeNameUnique(const char* text) const {
    std::string name = text != nullptr ? text : "";
    std::size_t first = name.find_first_not_of(' ');
    std::size_t last = name.find_last_not_of(' ');
    name = first == std::string::npos ? std::string() : name.substr(first, last - first + 1);
    if (name.empty()) name = "1";

    KObject* owner = GetOwnerObject();
    auto taken = [&](const std::string& candidate) {
        return owner != nullptr && owner->IsPropertyNameTaken(candidate.c_str(), this);
    };
    if (!taken(name)) return KString(name.c_str());

    std::size_t digits = name.size();
    while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9') --digits;
    std::string stem;
    unsigned long long number;
    if (digits < name.size() && name.size() - digits <= 18) {
        stem = name.substr(0, digits);
        number = std::strtoull(name.c_str() + digits, nullptr, 10) + 1;
    } else {
        stem = name + " ";
        number = 1;
    }
    std::string candidate = stem + std::to_string(number);
    while (taken(candidate)) candidate = stem + std::to_string(++number);
    return KString(candidate.c_str());
}

// ---- settings --------------------------------------------------------------

const KDataType* KProperty::GetDataType() const {
    if (mInfo.dataType != nullptr) return mInfo.dataType;
    switch (mInfo.valueType) {
        case eKPropDouble: return KDataTypeFindByName("Number");
        case eKPropTime: return KDataTypeFindByName("Time");
        case eKPropVector4D: return KDataTypeFindByName("Vector4");
        case eKPropVector3D: return KDataTypeFindByName("Vector");
        case eKPropColorRGB: return KDataTypeFindByName("Color");
        case eKPropColorRGBA: return KDataTypeFindByName("ColorAndAlpha");
        case eKPropMatrix: return KDataTypeFindByName("Matrix");
        default: return nullptr;
    }
}

void KProperty::SetFlags(int bits, bool set) {
    SettingsChanging();
    mPropertyFlags = set ? (mPropertyFlags | bits) : (mPropertyFlags & ~bits);
    SendObjectEvent(0, kObjectEventSettingsChanged, this, nullptr, nullptr, 0);
}

bool KProperty::SetMinMax(double minimum, double maximum) {
    if (minimum == mInfo.minimum && maximum == mInfo.maximum) return true;
    SettingsChanging();
    mInfo.minimum = minimum;
    mInfo.maximum = maximum;
    SendObjectEvent(0, kObjectEventSettingsChanged, this, nullptr, nullptr, 0);
    return true;
}

void KProperty::SetMin(double minimum) {
    if (minimum == mInfo.minimum) return;
    SettingsChanging();
    mInfo.minimum = minimum;
    SendObjectEvent(0, kObjectEventSettingsChanged, this, nullptr, nullptr, 0);
}

void KProperty::SetMax(double maximum) {
    if (maximum == mInfo.maximum) return;
    SettingsChanging();
    mInfo.maximum = maximum;
    SendObjectEvent(0, kObjectEventSettingsChanged, this, nullptr, nullptr, 0);
}

void KProperty::SetLabel(const char* text) {
    SettingsChanging();
    mInfo.label = (text != nullptr) ? text : "";
}

KStringList* KProperty::GetEnumList(bool create) {
    // A caller that may create the list is about to change it.
    if (create) SettingsChanging();
    if (mInfo.enumList == nullptr && create) mInfo.enumList = new KStringList;
    return mInfo.enumList;
}

const char* KProperty::GetEnumItem(int index) {
    if (index < 0) return nullptr;
    if (HasInfoFlag(KPropertyInfo::kUser)) {
        return mInfo.enumList != nullptr ? mInfo.enumList->GetStringAt(index) : nullptr;
    }
    if (HasInfoFlag(KPropertyInfo::kEnumCallback) && mInfo.enumCallback != nullptr)
        return mInfo.enumCallback(GetOwner(), index);
    if (mInfo.staticEnumList != nullptr) return mInfo.staticEnumList->GetStringAt(index);
    return mInfo.enumList != nullptr ? mInfo.enumList->GetStringAt(index) : nullptr;
}

void KProperty::Init(const char* name, KObject* object, KPropertyGetter getter,
                     KPropertySetter setter) {
    if (object != nullptr) object->AddChildPlug(this);
    gNameEpoch.fetch_add(1, std::memory_order_relaxed);
    SettingsChanging();
    mInfo.name = name != nullptr ? name : "";
    mInfo.flags &= ~KPropertyInfo::kOwnedName;
    mInfo.getter = getter;
    mInfo.setter = setter;
    if (object != nullptr) object->ReindexProperty(this);
}

void KProperty::ConnectTo(KPlug* target) {
    if (target != nullptr) ConnectSource(target);
}

KObject* KProperty::GetOwnerObject() const {
    KPlug* owner = GetOwner();
    if (owner == nullptr) return nullptr;
    return static_cast<KObject*>(owner->GetInterface(KObject::kInterfaceObject));
}

bool KProperty::IsScalarType(int code) {
    return code == 1 || code == 2 || code == 3 || code == 4 || code == 6 || code == 16;
}

bool KProperty::IsVectorType(int code) { return code >= 12 && code <= 15; }

// ---- references ------------------------------------------------------------

KProperty* KProperty::GetSourceProperty(int index) {
    KPlug* view = GetChildPlug(PlugTypeInfoGet(kPlugTypeKProperty));
    return view != nullptr ? KPropertyCast(view->GetSource(index)) : nullptr;
}

KProperty* KProperty::GetDestinationProperty(int index) {
    KPlug* view = GetChildPlug(PlugTypeInfoGet(kPlugTypeKProperty));
    return view != nullptr ? KPropertyCast(view->GetDestination(index)) : nullptr;
}

KProperty* KProperty::GetReferencedProperty() {
    if (mInfo.valueType == eKPropReference) return GetSourceProperty(0);
    return this;
}

int KProperty::GetReferrerCount() {
    if (GetFlags() & kRegisteredChild) return 0;
    int count = 0;
    for (int i = 0; i < GetDestinationCount(); ++i) {
        if (KPropertyCast(GetDestination(i)) != nullptr) ++count;
    }
    return count;
}

// ---- copying ---------------------------------------------------------------

void KProperty::CopyValueFrom(KProperty* other) {
    if (other == nullptr || other == this || mInfo.valueType == eKPropEvent) return;
    const bool same = other->GetValueType() == mInfo.valueType && other->GetStorage() == GetStorage();
    switch (other->GetStorage()) {
#define DUZ_COPY_CASE(Storage, Type, Init)      \
    case EPropertyStorage::Storage: {           \
        Type scratch = Init;                    \
        other->GetValue(&scratch);              \
        if (same) SetValue(&scratch);           \
        break;                                  \
    }
        DUZ_COPY_CASE(Int, int, 0)
        DUZ_COPY_CASE(Bool, bool, false)
        DUZ_COPY_CASE(Double, double, 0.0)
        DUZ_COPY_CASE(Time, KTime, KTime())
        DUZ_COPY_CASE(Vector4, KgeTVector, KgeTVector())
        DUZ_COPY_CASE(String, KString, KString())
        DUZ_COPY_CASE(CharPtr, const char*, nullptr)
        DUZ_COPY_CASE(Object, KObject*, nullptr)
        DUZ_COPY_CASE(Property, KProperty*, nullptr)
        DUZ_COPY_CASE(Matrix, KgeMatrix, KgeMatrix())
#undef DUZ_COPY_CASE
        default: break;
    }
}

KProperty* KProperty::CloneInto(KObject* object) {
    if (object == nullptr || HasInfoFlag(KPropertyInfo::kAnimatable)) return nullptr;
    std::string name = GetName();
    for (int i = 0; object->FindPropertyByName(name.c_str()) != nullptr; ++i) {
        name += " " + std::to_string(i);
    }
    const bool user = HasInfoFlag(KPropertyInfo::kUser);
    const KDataType* type = mInfo.dataType;
    KProperty* clone = nullptr;
    switch (mInfo.valueType) {
        case eKPropInt: clone = new KPropertyTemplate<int>(object, name.c_str(), type, user); break;
        case eKPropEnum:
            clone = new KPropertyTemplate<int>(object, name.c_str(), type, user, nullptr, 0, eKPropEnum);
            break;
        case eKPropBool: clone = new KPropertyTemplate<bool>(object, name.c_str(), type, user); break;
        case eKPropAction:
            clone = new KPropertyTemplate<bool>(object, name.c_str(), type, user, nullptr, 0, eKPropAction);
            break;
        case eKPropDouble: clone = new KPropertyTemplate<double>(object, name.c_str(), type, user); break;
        case eKPropTime: clone = new KPropertyTemplate<KTime>(object, name.c_str(), type, user); break;
        case eKPropObject:
            clone = new KPropertyTemplate<KObject*>(object, name.c_str(), type, user);
            break;
        case eKPropVector3D:
            clone = new KPropertyTemplate<KgeTVector>(object, name.c_str(), type, user);
            break;
        case eKPropColorRGB:
            clone = new KPropertyTemplate<KgeRGBVector>(object, name.c_str(), type, user);
            break;
        case eKPropColorRGBA:
            clone = new KPropertyTemplate<KgeRGBAVector>(object, name.c_str(), type, user);
            break;
        case eKPropReference:
            clone = new KPropertyTemplate<KProperty*>(object, name.c_str(), type, user,
                                                      GetReferencedProperty());
            break;
        case eKPropCharPtr:
        case eKPropString:
            clone = new KPropertyTemplate<KString>(object, name.c_str(), type, user);
            break;
        default: return nullptr;
    }
    clone->SetMinMax(mInfo.minimum, mInfo.maximum);
    return clone;
}

// ---- text forms ------------------------------------------------------------

KString KProperty::ToString() {
    char buffer[256];
    switch (mInfo.valueType) {
        case eKPropInt: return KString(GetInt());
        case eKPropBool:
        case eKPropAction: return KString(GetInt() ? "True" : "False");
        case eKPropFloat:
        case eKPropDouble: return KString(GetDouble());
        case eKPropCharPtr: {
            if (GetStorage() != EPropertyStorage::CharPtr) break;
            const char* text = nullptr;
            GetValue(&text);
            return KString(text != nullptr ? text : "");
        }
        case eKPropEnum: {
            const char* item = GetEnumItem(GetInt());
            return KString(item != nullptr ? item : "");
        }
        case eKPropTime: {
            if (GetStorage() != EPropertyStorage::Time) break;
            KTime time;
            GetValue(&time);
            char text[KTime::kTimeStringCapacity];
            return KString(time.GetTimeString(text, sizeof text, KTime::eFramesMarked));
        }
        case eKPropString: {
            if (GetStorage() != EPropertyStorage::String) break;
            KString text;
            GetValue(&text);
            return text;
        }
        case eKPropObject: {
            if (HasInfoFlag(KPropertyInfo::kIsObjectList)) return KString("ObjectList!");
            KObject* object = nullptr;
            if (GetStorage() == EPropertyStorage::Object) GetValue(&object);
            if (object == nullptr) return KString("Object!");
            return KString(object->GetFullName());
        }
        case eKPropVector4D:
        case eKPropColorRGB:
        case eKPropColorRGBA:
        case eKPropVector3D: {
            if (GetStorage() != EPropertyStorage::Vector4) break;
            KgeTVector v;
            GetValue(&v);
            if (mInfo.valueType == eKPropVector3D)
                std::snprintf(buffer, sizeof buffer, "{%f,%f,%f}", v[0], v[1], v[2]);
            else
                std::snprintf(buffer, sizeof buffer, "{%f,%f,%f,%f}", v[0], v[1], v[2], v[3]);
            return KString(buffer);
        }
        default: break;
    }
    return KString("?");
}

bool KProperty::FromString(const char* text) {
    if (text == nullptr) return false;
    switch (mInfo.valueType) {
        case eKPropInt: {
            if (GetStorage() != EPropertyStorage::Int) return false;
            int value = std::atoi(text);
            SetValue(&value);
            return true;
        }
        case eKPropBool: {
            if (GetStorage() != EPropertyStorage::Bool) return false;
            bool value;
            if (KStringCompareNoCase(text, "true") == 0) value = true;
            else if (KStringCompareNoCase(text, "false") == 0) value = false;
            else return false;
            SetValue(&value);
            return true;
        }
        case eKPropFloat:
        case eKPropDouble: {
            if (GetStorage() != EPropertyStorage::Double) return false;
            double value = std::atof(text);
            SetValue(&value);
            return true;
        }
        case eKPropCharPtr: {
            // The text is copied by the property, never borrowed.
            if (GetStorage() != EPropertyStorage::CharPtr) return false;
            SetValue(&text);
            return true;
        }
        case eKPropTime: {
            if (GetStorage() != EPropertyStorage::Time) return false;
            KTime time;
            if (!time.SetTimeString(text)) return false;
            SetValue(&time);
            return true;
        }
        case eKPropString: {
            if (GetStorage() != EPropertyStorage::String) return false;
            KString value(text);
            SetValue(&value);
            return true;
        }
        default: return false;
    }
}

// ---- templates -------------------------------------------------------------

void KPropertyTemplateSetUp(KProperty* property, KObject* owner, const char* name,
                            const KDataType* dataType, bool user, KProperty* referenceTarget,
                            int propertyFlags, int code) {
    KPropertyInfo& info = property->GetInfo();
    property->InitPropertyFlags(propertyFlags);
    if (owner != nullptr) owner->AddChildPlug(property);
    info.ownedName = WithoutQuotes(name).c_str();
    info.name = info.ownedName.Buffer();
    info.flags |= KPropertyInfo::kOwnedName | KPropertyInfo::kOwned;
    if (user) info.flags |= KPropertyInfo::kUser;
    info.dataType = dataType;
    if (referenceTarget != nullptr) property->ConnectSource(referenceTarget);
    info.valueType = code;
    if (owner != nullptr) owner->AddProperty(property);
}

KPropertyCharPtr::KPropertyCharPtr(KObject* owner, const char* name, const KDataType* dataType,
                                   bool user, int propertyFlags) {
    KPropertyTemplateSetUp(this, owner, name, dataType, user, nullptr, propertyFlags, eKPropCharPtr);
}

KPropertyCharPtr::~KPropertyCharPtr() {
    if (!(GetFlags() & kTornDown)) Teardown();
}

void KPropertyCharPtr::GetValue(void* out) {
    if (mInfo.getter != nullptr) {
        const char* produced = nullptr;
        mInfo.getter(GetOwner(), &produced);
        mIsNull = produced == nullptr;
        mText = produced != nullptr ? produced : "";
    }
    if (out != nullptr) *static_cast<const char**>(out) = mIsNull ? nullptr : mText.Buffer();
}

void KPropertyCharPtr::SetValue(const void* in) {
    if (in == nullptr) return;
    const char* current = mIsNull ? nullptr : mText.Buffer();
    SendValueEvent(0, kValueEventChanging, this, in, &current, 0);
    const char* text = *static_cast<const char* const*>(in);
    if (mInfo.setter != nullptr) {
        mInfo.setter(GetOwner(), in);
    } else {
        mIsNull = text == nullptr;
        KString copy(text != nullptr ? text : "");   // the text may be our own buffer
        mText = copy;
    }
    SendValueEvent(0, kValueEventChanged, this, in, nullptr, 0);
}

}  // namespace duzsdk
