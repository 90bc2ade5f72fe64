// "Properties60" blocks: one "Property" field per public property with its
// name, type name, flags text and value.
#include <climits>
#include <cmath>

#include "sdk/base/KgeMatrix.h"
#include "sdk/duz/KDuz6RecordNames.h"
#include "sdk/duz/KDuzWriterDuz6.h"
#include "sdk/io/IDuzObject.h"
#include "sdk/object/KDuzProperty.h"
#include "sdk/object/PropertyDataType.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNodeAttribute.h"

namespace duzsdk {

namespace {

// Unset limits are the huge values; a limit that does not fit an int takes
// the nearest int (a plain cast would be undefined).
int ClampToInt(double value) {
    if (std::isnan(value)) return 0;
    if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
    if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
    return static_cast<int>(value);
}

bool LimitUnset(double value) { return std::fabs(value) >= 1.0e300 || std::isinf(value); }

KString FlagsText(const KDuzProperty& property) {
    KString text;
    if (property.GetFlag(kDuzPropertyAnimatable)) {
        text += "A";
        if (property.GetFlag(kDuzPropertyFlag8)) text += "+";
    }
    if (property.GetFlag(kDuzPropertyUser)) text += "U";
    return text;
}

void WriteProperty(KDuz& duz, KDuzProperty& property) {
    const PropertyDataType type = property.GetDataType();
    const bool animatable = property.GetFlag(kDuzPropertyAnimatable);
    const bool user = property.GetFlag(kDuzPropertyUser);
    duz.FieldWriteBegin(duz6::kProperty);
    duz.FieldWriteString(property.GetName());
    duz.FieldWriteString(animatable ? type.GetName() : PropertyDataTypeToFileName(type));
    duz.FieldWriteKString(FlagsText(property));
    const int kind = type.GetValueKind();
    // Limits are written with the value of an animatable user number; when
    // both are unset they become the value itself, on the property too.
    auto limits = [&](auto current) {
        double minimum = property.GetMinLimit();
        double maximum = property.GetMaxLimit();
        if (LimitUnset(minimum) && LimitUnset(maximum)) {
            minimum = maximum = static_cast<double>(current);
            property.SetMinLimit(minimum);
            property.SetMaxLimit(maximum);
        }
        return std::pair<double, double>(minimum, maximum);
    };
    switch (kind) {
        case eValueKindBool: {
            bool value = false;
            property.GetValue(&value, kind);
            duz.FieldWriteInt(value ? 1 : 0);
            break;
        }
        case eValueKindInt: {
            int value = 0;
            property.GetValue(&value, kind);
            duz.FieldWriteInt(value);
            if (animatable && user) {
                const auto [minimum, maximum] = limits(value);
                duz.FieldWriteInt(ClampToInt(minimum));
                duz.FieldWriteInt(ClampToInt(maximum));
            }
            break;
        }
        case eValueKindFloat: {
            float value = 0.0f;
            property.GetValue(&value, kind);
            duz.FieldWriteFloat(value);
            break;
        }
        case eValueKindDouble: {
            double value = 0.0;
            property.GetValue(&value, kind);
            duz.FieldWriteDouble(value);
            if (animatable && user) {
                const auto [minimum, maximum] = limits(value);
                duz.FieldWriteDouble(minimum);
                duz.FieldWriteDouble(maximum);
            }
            break;
        }
        case eValueKindDouble3:
        case eValueKindDouble4:
        case eValueKindMatrix: {
            double values[16] = {};
            property.GetValue(values, kind);
            const int count = kind == eValueKindDouble3 ? 3 : kind == eValueKindDouble4 ? 4 : 16;
            for (int i = 0; i < count; ++i) duz.FieldWriteDouble(values[i]);
            break;
        }
        case eValueKindEnum: {
            int value = 0;
            property.GetValue(&value, kind);
            duz.FieldWriteInt(value);
            if (user) {
                KString items;
                for (int i = 0; i < property.GetEnumCount(); ++i) {
                    if (i > 0) items += "~";
                    const char* item = property.GetEnumValue(i);
                    items += item != nullptr ? item : "";
                }
                duz.FieldWriteKString(items);
            }
            break;
        }
        case eValueKindString:
            duz.FieldWriteKString(property.GetString());
            break;
        case eValueKindTime:
            duz.FieldWriteTime(property.GetTime());
            break;
        default:
            break;
    }
    duz.FieldWriteEnd();
}

}  // namespace

void KDuzWriterDuz6::WriteProperties(KDuzObject* object) {
    KDuz& duz = *GetFieldFile();
    duz.FieldWriteBegin(duz6::kProperties60);
    duz.FieldWriteBlockBegin();
    auto writeAll = [&](KDuzObject* owner) {
        // Read without making handles: most properties of a class are never
        // asked for, and a written scene must not grow by their handles.
        for (int i = 0; i < owner->GetPropertyCount(); ++i) {
            owner->PeekPropertyAt(i, [&](KDuzProperty& property) {
                if (property.IsValid()) WriteProperty(duz, property);
            });
        }
    };
    writeAll(object);
    if (KDuzObject* attribute = object->GetSrcObject(KDuzNodeAttribute::ClassId(), 0)) writeAll(attribute);
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
}

void KDuzWriterDuz6::WriteNodeProperties(KDuzNode* node) {
    node->UpdatePropertiesFromPivotsAndLimits();
    WriteProperties(node);
}

}  // namespace duzsdk
