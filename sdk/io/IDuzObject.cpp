#include "sdk/io/IDuzObject.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <unordered_map>

#include "sdk/base/KMemory.h"
#include "sdk/base/KStringList.h"
#include "sdk/base/KTemporaryFileManager.h"
#include "sdk/object/KDataType.h"
#include "sdk/object/KDuzObject.h"
#include "sdk/object/KObject.h"
#include "sdk/object/KProperty.h"

namespace duzsdk {

namespace {

constexpr int kMapBlockSize = 20;

// Property flags the block readers test and set.
constexpr int kFlagTouched = 8;      // '+' in the flag text
constexpr int kFlagNotStored = 16;   // never read from a block
constexpr int kFlagNotUser = 128;    // made for a block entry without 'U'

bool HasNameSeparator(const char* name) { return std::strstr(name, "::") != nullptr; }

const char* TextOrEmpty(const char* text) { return text != nullptr ? text : ""; }

}  // namespace

void KObjectHolderRef::Release() {
    IKObject* held = object;
    const bool wasOwned = owned != 0;
    Clear();
    if (held != nullptr && wasOwned) held->Destroy();
}

bool KDuzStripObjectNameSuffix(const char* name, KString& stripped) {
    if (name == nullptr || !HasNameSeparator(name)) return false;
    const size_t length = std::strlen(name);
    if (length <= 4 || length < 5) return false;
    if (name[length - 1] != '&' || name[length - 5] != '&') return false;
    stripped = KString(name, static_cast<int>(length - 5));
    return true;
}

IDuzObject* IDuzObject::Create() { return new (std::nothrow) IDuzObject; }

IDuzObject::IDuzObject() : mNames(kMapBlockSize), mOwnedValues(kMapBlockSize), mPointerMap(kMapBlockSize) {
    mNames.SetCaseSensitive(true);
    mOwnedValues.SetCaseSensitive(true);
}

IDuzObject::~IDuzObject() {
    for (int i = 0; i < mOwnedValues.Count(); ++i) KMemFree(mOwnedValues.GetAt(i));
    mOwnedValues.Clear();
    mNames.Clear();
    mHeld.Release();
    // The field file part closes any open file in its own destructor.
}

void* IDuzObject::GetInterface(int id) {
    switch (id) {
        case kInterfaceObject:
        case kInterfaceDuzObject: return this;
        case kInterfaceHolder: return static_cast<IFBObjectHolder*>(this);
        default: return nullptr;
    }
}

void IDuzObject::Destroy() { delete this; }

void IDuzObject::SetHeldObject(IKObject* object, bool owned) {
    if (object == mHeld.object) {
        mHeld.owned = owned ? 1 : 0;
        return;
    }
    mHeld.Release();
    mHeld.object = object;
    mHeld.owned = object != nullptr && owned ? 1 : 0;
}

void IDuzObject::MapObjectName(const char* name, KDuzObject* object) {
    if (name == nullptr) return;
    KString key(name);
    if (HasNameSeparator(name)) {
        KString stripped;
        if (KDuzStripObjectNameSuffix(name, stripped)) key = stripped;
        const char* own = object != nullptr ? object->GetName() : nullptr;
        if (own != nullptr && own[0] != '\0' && std::strlen(own) < std::strlen(name) &&
            mNames.Find(own) == nullptr) {
            mNames.Insert(own, object);
        }
    }
    // The map keeps one object per name: lookups must find the first one
    // mapped, and the sorted map would put a second entry in front of it.
    if (mNames.Find(key.Buffer()) != nullptr) return;
    mNames.Insert(key.Buffer(), object);
}

KDuzObject* IDuzObject::FindObjectByName(const char* name) {
    if (name == nullptr) return nullptr;
    KString stripped;
    const char* key = KDuzStripObjectNameSuffix(name, stripped) ? stripped.Buffer() : name;
    return static_cast<KDuzObject*>(mNames.Find(key));
}

bool IDuzObject::UnmapObjectName(const char* name) {
    if (name == nullptr) return false;
    return mNames.Remove(name);
}

bool IDuzObject::FieldReadProperty(KProperty* property) {
    if (property == nullptr) return false;
    if (property->TestFlags(kFlagNotStored) || property->TestInfoFlag2()) return false;
    const char* name = property->GetName();
    if (!FieldReadBegin(name)) return false;
    // A field without values keeps the property's value.
    const bool hasValue = FieldReadGetRemainingValueCount() > 0;
    const int code = property->GetValueType();
    bool known = true;
    switch (code) {
        case eKPropInt:
        case eKPropBool:
        case eKPropEnum:
            if (hasValue) property->SetInt(FieldReadInt());
            break;
        case eKPropDouble:
            if (hasValue) property->SetDouble(FieldReadDouble());
            break;
        case eKPropTime: {
            KTime time = FieldReadTime();
            if (property->GetStorage() == EPropertyStorage::Time) property->SetValue(&time);
            break;
        }
        case eKPropString: {
            if (hasValue && property->GetStorage() == EPropertyStorage::String) {
                KString text(FieldReadString());
                property->SetValue(&text);
            }
            break;
        }
        case eKPropVector4D:
        case eKPropColorRGBA:
        case eKPropVector3D:
        case eKPropColorRGB: {
            const int count = code == eKPropVector4D || code == eKPropColorRGBA ? 4 : 3;
            if (FieldReadGetRemainingValueCount() >= count) {
                double values[4] = {0.0, 0.0, 0.0, 1.0};
                property->GetDoubles(values);
                FieldReadDoubles(values, count);
                property->SetDoubles(values);
            }
            break;
        }
        case eKPropObject:
        case eKPropReference: break;
        default: {
            char text[512];
            std::snprintf(text, sizeof text, "FieldReadProperty(): (%s) Unsupported property type: %d",
                          name, code);
            mLastDiagnostic = text;
            known = false;
            break;
        }
    }
    FieldReadEnd();
    return known;
}

bool IDuzObject::ReadProperties(const std::vector<KProperty*>& properties, KObject* object) {
    if (mPropertyFormatV5) {
        if (!FieldReadBegin("Properties")) return true;
        if (FieldReadBlockBegin()) {
            if (FieldReadIntOrDefault("Version", 0) > 99) {
                for (KProperty* property : properties) {
                    if (property != nullptr && !property->TestFlags(kFlagNotStored))
                        FieldReadProperty(property);
                }
            }
            FieldReadBlockEnd();
        }
        FieldReadEnd();
        return true;
    }
    if (!FieldReadBegin("Properties60")) return true;
    if (!FieldReadBlockBegin()) {
        FieldReadEnd();
        return true;
    }
    const int occurrences = FieldGetInstanceCount("Property");
    const bool byName = occurrences > 0;
    const int count = byName ? occurrences : FieldGetCount();
    // Looked up by name once per entry: blocks and objects with thousands
    // of properties must not cost entries times properties. The first
    // property of a name wins, as in a walk over the list.
    PropertyIndex index;
    index.reserve(properties.size());
    for (KProperty* property : properties) {
        if (property != nullptr) index.emplace(property->GetName(), property);
    }
    for (int i = 0; i < count; ++i) {
        ReadOneProperty(index, object, byName, i);
    }
    FieldReadBlockEnd();
    FieldReadEnd();
    return true;
}

void IDuzObject::ReadOneProperty(PropertyIndex& properties, KObject* object, bool byName,
                                 int index) {
    KString name;
    if (byName) {
        if (!FieldReadBeginInstance("Property", index)) return;
        name = TextOrEmpty(FieldReadString());
    } else {
        const char* fieldName = FieldGetName(index);
        if (fieldName == nullptr || !FieldReadBeginByIndex(index, 0)) return;
        name = fieldName;
    }
    // An entry without a name cannot be matched or created.
    if (name.IsEmpty()) {
        FieldReadEnd();
        return;
    }
    const KString typeName(TextOrEmpty(FieldReadString()));
    const KString flagText(TextOrEmpty(FieldReadString()));
    const bool animatable = flagText.FindChar('A') >= 0;
    const bool user = flagText.FindChar('U') >= 0;
    const bool touched = flagText.FindChar('+') >= 0;

    const KDataType* dataType = KDataTypeFindByName(typeName.Buffer());
    const int code = animatable ? KDataTypeToPropertyTypeCode(dataType)
                                : KPropertyTypeFromName(typeName.Buffer());

    KProperty* property = nullptr;
    if (auto found = properties.find(name.Buffer()); found != properties.end()) property = found->second;
    if (property == nullptr && object != nullptr) {
        bool madeAnimatable = animatable;
        property = object->CreateProperty(name.Buffer(), code, dataType, animatable, user, nullptr, false);
        if (property == nullptr && animatable) {
            madeAnimatable = false;
            property = object->CreateProperty(name.Buffer(), code, dataType, false, user, nullptr, false);
        }
        if (property != nullptr) {
            if (madeAnimatable) property->GetInfo().ModifyFlags(KPropertyInfo::kAnimatable, true);
            if (!user) property->SetFlags(kFlagNotUser, true);
            // A repeated entry updates this property instead of making
            // "Name 0", "Name 1", ...
            properties.emplace(name.Buffer(), property);
        }
    }
    if (property != nullptr) {
        if (touched) property->SetFlags(kFlagTouched, true);
        StoreBlockValue(property, code);
        if (user) {
            // A user enumeration made from the type name "enum" has no data
            // type; its item text must not be read as two limits.
            const KDataType* enumType = KDataTypeFindByName("Enum");
            const bool isEnum = property->GetValueType() == eKPropEnum ||
                                (enumType != nullptr && property->GetDataType() == enumType);
            if (isEnum) {
                const char* item = FieldReadString();
                KStringList* items = property->GetEnumList(true);
                if (items != nullptr) items->Append(item != nullptr ? item : "");
            } else {
                const double minimum = FieldReadDouble();
                const double maximum = FieldReadDouble();
                property->SetMinMax(minimum, maximum);
            }
        }
    }
    FieldReadEnd();
}

void IDuzObject::StoreBlockValue(KProperty* property, int code) {
    switch (code) {
        case eKPropInt:
        case eKPropEnum: property->SetInt(FieldReadInt()); break;
        case eKPropBool:
        case eKPropAction: property->SetInt(FieldReadInt() != 0 ? 1 : 0); break;
        case eKPropDouble: property->SetDouble(FieldReadDouble()); break;
        case eKPropCharPtr:
        case eKPropString: {
            const char* read = FieldReadString();
            const char* text = read != nullptr ? read : "";
            if (property->GetStorage() == EPropertyStorage::CharPtr) {
                property->SetValue(&text);
            } else if (property->GetStorage() == EPropertyStorage::String) {
                KString value(text);
                property->SetValue(&value);
            }
            break;
        }
        case eKPropTime: {
            KTime time = FieldReadTime();
            if (property->GetStorage() == EPropertyStorage::Time) property->SetValue(&time);
            break;
        }
        case eKPropVector3D:
        case eKPropColorRGB:
        case eKPropColorRGBA: {
            double values[4] = {0.0, 0.0, 0.0, 1.0};
            property->GetDoubles(values);
            FieldReadDoubles(values, code == eKPropColorRGBA ? 4 : 3);
            property->SetDoubles(values);
            break;
        }
        default: break;   // objects, references and the layouts a block cannot hold
    }
}

bool IDuzObject::ReadProperties(KDuzObject* object) {
    if (object == nullptr) return false;
    KObject* internal = object->GetInternalObject();
    std::vector<KProperty*> properties;
    if (internal != nullptr) {
        const int count = internal->GetPropertyCount();
        properties.reserve(static_cast<size_t>(count > 0 ? count : 0));
        for (int i = 0; i < count; ++i) properties.push_back(internal->GetProperty(i));
    }
    const bool result = ReadProperties(properties, internal);
    object->WrapInternalProperties();
    return result;
}

bool IDuzObject::FieldReadEmbeddedFile(KString& fileName, KString& relativeName, const char* folder,
                                       bool* extractedOut) {
    bool extracted = false;
    const bool result = KDuz::FieldReadEmbeddedFile(fileName, relativeName, folder, &extracted);
    if (extractedOut != nullptr) *extractedOut = extracted;
    if (result) {
        if (KTemporaryFileManager* files = KTemporaryFileManager::GetInstance())
            files->AddFile(fileName.Buffer(), extracted);
    }
    return result;
}

}  // namespace duzsdk
