// "Properties60" blocks of version 6 files: the values of an object's typed
// properties, one "Property" field each.
#include <algorithm>
#include <compare>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "sdk/animation/KDuzTakeNodeContainer.h"
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

// One value as a "Property" field holds it, read before it is known
// whether the property needs it.
struct FieldValue {
    int kind = 0;
    bool boolean = false;
    int integer = 0;
    float single = 0.0f;
    double doubles[16] = {};
    KString text;
    KTime time;

    void Read(KDuz& duz, int valueKind) {
        kind = valueKind;
        switch (kind) {
            case eValueKindBool: boolean = duz.FieldReadInt() != 0; break;
            case eValueKindInt:
            case eValueKindEnum: integer = duz.FieldReadInt(); break;
            case eValueKindFloat: single = duz.FieldReadFloat(); break;
            case eValueKindDouble: doubles[0] = duz.FieldReadDouble(); break;
            case eValueKindDouble3:
            case eValueKindDouble4:
            case eValueKindMatrix: duz.FieldReadDoubles(doubles, ValueCountOfKind(kind)); break;
            case eValueKindString: text = duz.FieldReadString(); break;
            case eValueKindTime: time = duz.FieldReadTime(); break;
            default: break;
        }
    }

    const void* Data() const {
        switch (kind) {
            case eValueKindBool: return &boolean;
            case eValueKindInt:
            case eValueKindEnum: return &integer;
            case eValueKindFloat: return &single;
            case eValueKindString: return &text;
            case eValueKindTime: return &time;
            default: return doubles;
        }
    }

    void Store(KDuzProperty& property) const {
        if (ValueCountOfKind(kind) > 0) property.SetValue(Data(), kind);
    }

    // Whether the property holds this value already, bit for bit: storing
    // it again would change nothing. Kinds whose store converts (float,
    // time) are never taken as the same.
    bool SameAs(const KDuzProperty& property) const {
        if (ValueCountOfKind(kind) == 0) return true;   // nothing is stored
        switch (kind) {
            case eValueKindBool: {
                bool value = false;
                return property.GetValue(&value, kind) && value == boolean;
            }
            case eValueKindInt:
            case eValueKindEnum: {
                int value = 0;
                return property.GetValue(&value, kind) && value == integer;
            }
            case eValueKindDouble:
            case eValueKindDouble3:
            case eValueKindDouble4:
            case eValueKindMatrix: {
                double values[16] = {};
                return property.GetValue(values, kind) &&
                       std::memcmp(values, doubles, sizeof(double) * static_cast<size_t>(ValueCountOfKind(kind))) == 0;
            }
            case eValueKindString: {
                KString value;
                return property.GetValue(&value, kind) && value == text;
            }
            default:
                return false;
        }
    }
};

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
// which keeps a block of many unknown names linear. Only names are looked
// at: a handle is made for the properties the file changes, not for every
// property looked past.
class PropertyFinder {
public:
    explicit PropertyFinder(KDuzObject* object) : mObject(object) {}

    KDuzObject* GetObject() const { return mObject; }

    // The index of the property; -1 when none.
    int Find(const char* name) {
        if (mObject == nullptr) return -1;
        const int count = mObject->GetPropertyCount();
        if (count == 0) return -1;
        if (mPosition >= count) mPosition = 0;
        if (std::strcmp(mObject->GetPropertyNameAt(mPosition), name) == 0) {
            const int guess = mPosition;
            mPosition = (mPosition + 1) % count;
            return guess;
        }
        Index(count);
        const size_t hash = HashOf(name);
        auto at = std::lower_bound(mIndex.begin(), mIndex.end(), Entry{hash, -1});
        for (; at != mIndex.end() && at->hash == hash; ++at) {
            if (std::strcmp(mObject->GetPropertyNameAt(at->index), name) != 0) continue;
            mPosition = (at->index + 1) % count;
            return at->index;
        }
        return -1;
    }

    // A property just added to the object.
    void Added(const KDuzProperty& property) {
        if (!mIndexed) return;
        const int last = mObject->GetPropertyCount() - 1;
        if (last >= 0 && mObject->GetPropertyAt(last).IsSame(property)) {
            const Entry entry{HashOf(property.GetName()), last};
            mIndex.insert(std::upper_bound(mIndex.begin(), mIndex.end(), entry), entry);
            mIndexedCount = last + 1;
        } else
            mIndexed = false;   // placed elsewhere: index again when needed
    }

private:
    // Names by their hash, in one allocation (a node reads about seventy
    // properties); of equal names the first property is found.
    struct Entry {
        size_t hash;
        int index;
        auto operator<=>(const Entry&) const = default;
    };

    static size_t HashOf(const char* name) { return std::hash<std::string_view>()(name); }

    void Index(int count) {
        if (mIndexed && mIndexedCount == count) return;
        mIndex.clear();
        mIndex.reserve(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i) mIndex.push_back({HashOf(mObject->GetPropertyNameAt(i)), i});
        std::sort(mIndex.begin(), mIndex.end());
        mIndexed = true;
        mIndexedCount = count;
    }

    KDuzObject* mObject;
    int mPosition = 0;
    bool mIndexed = false;
    int mIndexedCount = 0;
    std::vector<Entry> mIndex;
};

// In the order the letters have always been applied: the last call
// decides the internal flag 8.
void ApplyFlags(KDuzProperty& property, unsigned flags) {
    property.ModifyFlag(kDuzPropertyAnimatable, (flags & kDuzPropertyAnimatable) != 0);
    property.ModifyFlag(kDuzPropertyUser, (flags & kDuzPropertyUser) != 0);
    property.ModifyFlag(kDuzPropertyFlag8, (flags & kDuzPropertyFlag8) != 0);
}

unsigned FlagsOfLetters(const char* letters) {
    unsigned flags = 0;
    if (std::strchr(letters, 'A') != nullptr) flags |= kDuzPropertyAnimatable;
    if (std::strchr(letters, 'U') != nullptr) flags |= kDuzPropertyUser;
    if (std::strchr(letters, '+') != nullptr) flags |= kDuzPropertyFlag8;
    return flags;
}

constexpr unsigned kLetterFlags = kDuzPropertyAnimatable | kDuzPropertyUser | kDuzPropertyFlag8;

// Reads the field's value as the property at index takes it. True when
// the property has no handle yet, is no user property, the field's flags
// are its own, and
// either the value is the same too (with no take curves following it) or
// the property is not animatable and its class lets a reader store it
// without a handle. Such a property stays without a
// handle (or unmade), so a read scene costs what a made one does.
bool ReadWithoutHandle(KDuz& duz, KDuzObject* owner, int index, unsigned flags, bool noValue,
                       FieldValue& value) {
    // A user property's tail may follow: it gets its handle.
    const bool handleMade = owner->IsPropertyHandleMade(index) || (flags & kDuzPropertyUser) != 0;
    // A node's own report of a change of a property that is not animatable
    // only touches the transforms; a class that stores read values without
    // a handle has no more to do for such a change.
    const bool node = dynamic_cast<KDuzNode*>(owner) != nullptr;
    const bool storable = !(flags & kDuzPropertyAnimatable) && owner->StoresReadValueWithoutHandle(index);
    bool done = false;
    bool same = false;
    owner->PeekPropertyAt(index, [&](KDuzProperty& property) {
        if (!noValue) value.Read(duz, property.GetDataType().GetValueKind());
        if (handleMade || !property.IsValid() || (property.GetFlags() & kLetterFlags) != flags) return;
        same = noValue || value.SameAs(property);
        if (!same && storable) {
            value.Store(property);
            if (node) KDuzNode::TouchTransforms();   // what the node's own report of the change does
            done = true;
        }
    });
    if (!done && (!same || owner->IsPropertyHandleMade(index))) return false;
    if (!done && (flags & kDuzPropertyAnimatable)) {
        auto* container = dynamic_cast<KDuzTakeNodeContainer*>(owner->GetTakeNodeContainer());
        if (container != nullptr && container->TakesFollowValueOf(owner->GetPropertyNameAt(index))) return false;
    }
    owner->PropertyReadWithoutHandle(index);
    return true;
}

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

        PropertyFinder* finder = &objectProperties;
        int index = objectProperties.Find(name.Buffer());
        if (index < 0) {
            finder = &attributeProperties;
            index = attributeProperties.Find(name.Buffer());
        }
        const unsigned fileFlags = FlagsOfLetters(flags.Buffer());
        const bool user = (fileFlags & kDuzPropertyUser) != 0;
        const bool noValue = std::strcmp(fileType.GetName(), "Action") == 0 ||
                             std::strcmp(fileType.GetName(), "event") == 0;
        KDuzProperty property;
        if (index >= 0) {
            KDuzObject* owner = finder->GetObject();
            FieldValue value;
            if (ReadWithoutHandle(*duz, owner, index, fileFlags, noValue, value)) {
                duz->FieldReadEnd();
                continue;
            }
            property = owner->GetPropertyAt(index);
            if (property.IsValid()) {
                ApplyFlags(property, fileFlags);
                if (!noValue) value.Store(property);
            }
        } else {
            property = KDuzProperty::Create(object, name.Buffer(), fileType, "", true);
            if (property.IsValid()) {
                objectProperties.Added(property);
                ApplyFlags(property, fileFlags);
                if (!noValue) {
                    FieldValue value;
                    value.Read(*duz, property.GetDataType().GetValueKind());
                    value.Store(property);
                }
            }
        }
        if (property.IsValid()) {
            const PropertyDataType ownType = property.GetDataType();
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
