// "Properties60" blocks of version 6 files: the values of an object's typed
// properties, one "Property" field each.
#include <cstring>
#include <string>
#include <unordered_map>

#include "sdk/base/KgeMatrix.h"
#include "sdk/duz/KDuzReaderDuz6.h"
#include "sdk/object/KDuzObject.h"
#include "sdk/object/KDuzProperty.h"
#include "sdk/object/PropertyDataType.h"
#include "sdk/scene/KDuzNode.h"

namespace duzsdk {

namespace {

// The registered type of that name, else the type the files call so.
PropertyDataType ResolveDataType(const char* name) {
    PropertyDataType type = PropertyDataTypeGetRegistered(name);
    if (!type.IsValid()) type = PropertyDataTypeFromFileName(name);
    return type;
}

// How many values a value of the kind takes in a "Property" field.
int ValueCountOfKind(int kind) {
    switch (kind) {
        case eValueKindBool: case eValueKindInt: case eValueKindFloat: case eValueKindDouble:
        case eValueKindEnum: case eValueKindString: case eValueKindTime:
            return 1;
        case eValueKindDouble3: return 3;
        case eValueKindDouble4: return 4;
        case eValueKindMatrix: return 16;
        default: return 0;
    }
}

void ReadValue(KDuz& duz, KDuzProperty& property, int kind) {
    switch (kind) {
        case eValueKindBool: {
            const bool value = duz.FieldReadInt() != 0;
            property.SetValue(&value, kind);
            break;
        }
        case eValueKindInt:
        case eValueKindEnum: {
            const int value = duz.FieldReadInt();
            property.SetValue(&value, kind);
            break;
        }
        case eValueKindFloat: {
            const float value = duz.FieldReadFloat();
            property.SetValue(&value, kind);
            break;
        }
        case eValueKindDouble: {
            const double value = duz.FieldReadDouble();
            property.SetValue(&value, kind);
            break;
        }
        case eValueKindDouble3:
        case eValueKindDouble4:
        case eValueKindMatrix: {
            double values[16] = {};
            duz.FieldReadDoubles(values, ValueCountOfKind(kind));
            property.SetValue(values, kind);
            break;
        }
        case eValueKindString: {
            const KString value(duz.FieldReadString());
            property.SetValue(&value, kind);
            break;
        }
        case eValueKindTime: {
            const KTime value = duz.FieldReadTime();
            property.SetValue(&value, kind);
            break;
        }
        default:
            break;
    }
}

// Limits or enumeration items of a user property.
void ReadUserTail(KDuz& duz, KDuzProperty& property, const PropertyDataType& type) {
    const char* name = type.GetName();
    if (std::strcmp(name, "Color") == 0 || std::strcmp(name, "ColorAndAlpha") == 0) return;
    switch (type.GetValueKind()) {
        case eValueKindBool:
        case eValueKindInt:
        case eValueKindFloat:
        case eValueKindDouble: {
            // Writers put the limits only after animatable integers and
            // doubles, integers as integers: a property without them keeps
            // its own.
            if (duz.FieldReadGetRemainingValueCount() < 2) break;
            const bool integer = duz.FieldReadGetNextValueType() == 'I';
            const double minimum = integer ? duz.FieldReadInt() : duz.FieldReadDouble();
            const double maximum = integer ? duz.FieldReadInt() : duz.FieldReadDouble();
            property.SetMinLimit(minimum);
            property.SetMaxLimit(maximum);
            break;
        }
        case eValueKindEnum: {
            int value = 0;
            property.GetValue(&value, eValueKindEnum);
            const KString items(duz.FieldReadString());
            const char* text = items.Buffer();
            // "a~b~c": a trailing "~" ends the list; an empty text is one
            // empty item.
            do {
                const char* end = std::strchr(text, '~');
                const size_t length = end != nullptr ? static_cast<size_t>(end - text) : std::strlen(text);
                property.AddEnumValue(KString(text, static_cast<int>(length)).Buffer());
                text = end != nullptr ? end + 1 : nullptr;
            } while (text != nullptr && *text != '\0');
            property.SetValue(&value, eValueKindEnum);
            break;
        }
        default:
            break;
    }
}

// Finds an object's properties by name while a block is read. Blocks list
// properties in the object's own order, so the property after the last one
// found is tried first; any other name goes through an index built once,
// which keeps a block of many unknown names linear.
class PropertyFinder {
public:
    explicit PropertyFinder(KDuzObject* object) : mObject(object) {}

    KDuzProperty Find(const char* name) {
        if (mObject == nullptr) return KDuzProperty();
        const int count = mObject->GetPropertyCount();
        if (count == 0) return KDuzProperty();
        if (mPosition >= count) mPosition = 0;
        // Names only until one matches: a handle is made for the properties
        // the file names, not for every property looked past.
        if (std::strcmp(mObject->GetPropertyNameAt(mPosition), name) == 0) {
            KDuzProperty guess = mObject->GetPropertyAt(mPosition);
            mPosition = (mPosition + 1) % count;
            if (guess.IsValid()) return guess;
        }
        Index(count);
        const auto found = mIndex.find(name);
        if (found == mIndex.end()) return KDuzProperty();
        mPosition = (found->second + 1) % count;
        return mObject->GetPropertyAt(found->second);
    }

    // A property just added to the object.
    void Added(const KDuzProperty& property) {
        if (!mIndexed) return;
        const int last = mObject->GetPropertyCount() - 1;
        if (last >= 0 && mObject->GetPropertyAt(last).IsSame(property)) {
            mIndex.emplace(property.GetName(), last);
            mIndexedCount = last + 1;
        } else
            mIndexed = false;   // placed elsewhere: index again when needed
    }

private:
    void Index(int count) {
        if (mIndexed && mIndexedCount == count) return;
        mIndex.clear();
        for (int i = 0; i < count; ++i) mIndex.emplace(mObject->GetPropertyNameAt(i), i);
        mIndexed = true;
        mIndexedCount = count;
    }

    KDuzObject* mObject;
    int mPosition = 0;
    bool mIndexed = false;
    int mIndexedCount = 0;
    std::unordered_map<std::string, int> mIndex;
};

}  // namespace

bool KDuzReaderDuz6::ReadProperties60(KDuzObject* object) {
    KDuz* duz = GetFieldFile();
    if (duz == nullptr || object == nullptr || !duz->FieldReadBegin("Properties60")) return false;
    if (!duz->FieldReadBlockBegin()) {
        duz->FieldReadEnd();
        return true;
    }
    auto* node = dynamic_cast<KDuzNode*>(object);
    KDuzObject* attribute = node != nullptr ? node->GetNodeAttribute() : nullptr;
    // One finder per list: the attribute may have fewer properties than
    // the node.
    PropertyFinder objectProperties(object);
    PropertyFinder attributeProperties(attribute);

    const int count = duz->FieldGetInstanceCount("Property");
    for (int i = 0; i < count; ++i) {
        if (!duz->FieldReadBeginInstance("Property", i)) break;
        const KString name(duz->FieldReadString());
        const KString typeName(duz->FieldReadString());
        const KString flags(duz->FieldReadString());
        const PropertyDataType fileType = ResolveDataType(typeName.Buffer());

        KDuzProperty property = objectProperties.Find(name.Buffer());
        if (!property.IsValid()) property = attributeProperties.Find(name.Buffer());
        if (!property.IsValid()) {
            property = KDuzProperty::Create(object, name.Buffer(), fileType, "", true);
            if (property.IsValid()) objectProperties.Added(property);
        }
        if (property.IsValid()) {
            const char* letters = flags.Buffer();
            const bool user = std::strchr(letters, 'U') != nullptr;
            property.ModifyFlag(kDuzPropertyAnimatable, std::strchr(letters, 'A') != nullptr);
            property.ModifyFlag(kDuzPropertyUser, user);
            property.ModifyFlag(kDuzPropertyFlag8, std::strchr(letters, '+') != nullptr);

            const PropertyDataType ownType = property.GetDataType();
            const bool noValue = std::strcmp(fileType.GetName(), "Action") == 0 ||
                                 std::strcmp(fileType.GetName(), "event") == 0;
            if (!noValue) ReadValue(*duz, property, ownType.GetValueKind());
            // The tail follows the value as the file wrote it; when the
            // property's own type took a different number of values, the
            // tail's position is unknown and it is left alone.
            if (user && !noValue &&
                ValueCountOfKind(ownType.GetValueKind()) == ValueCountOfKind(fileType.GetValueKind()))
                ReadUserTail(*duz, property, ownType);
        }
        duz->FieldReadEnd();
    }
    duz->FieldReadBlockEnd();
    duz->FieldReadEnd();
    return true;
}

}  // namespace duzsdk
