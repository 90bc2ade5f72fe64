// Public data-type handles: {value kind, name} records registered once per
// process, and the tables that map them to the type names used in files.
#pragma once

#include "sdk/base/KString.h"

namespace duzsdk {

// Value kinds of public properties.
enum PropertyValueKind : int {
    eValueKindNone = 0,
    eValueKindBool = 1,
    eValueKindInt = 2,
    eValueKindFloat = 3,
    eValueKindDouble = 4,
    eValueKindDouble3 = 5,
    eValueKindDouble4 = 6,
    eValueKindMatrix = 7,
    eValueKindEnum = 8,
    eValueKindString = 9,
    eValueKindTime = 10,
    eValueKindReference = 11,
    eValueKindBuffer = 12,
};

struct PropertyDataTypeRecord {
    int kind = 0;
    KString name;
};

// A handle that shares one record; the null handle is the undefined type.
class PropertyDataType {
public:
    PropertyDataType() = default;
    explicit PropertyDataType(PropertyDataTypeRecord* record) : mRecord(record) {}

    bool IsValid() const { return mRecord != nullptr; }
    // 0 and "" for the null handle.
    int GetValueKind() const { return mRecord != nullptr ? mRecord->kind : 0; }
    const char* GetName() const { return mRecord != nullptr ? mRecord->name.Buffer() : ""; }
    PropertyDataTypeRecord* GetRecord() const { return mRecord; }

    bool operator==(const PropertyDataType& other) const { return mRecord == other.mRecord; }
    bool operator!=(const PropertyDataType& other) const { return mRecord != other.mRecord; }

private:
    PropertyDataTypeRecord* mRecord = nullptr;
};

// Allocates a record with the name and kind and stores it in the handle.
void PropertyDataTypeRecordCreate(PropertyDataType& out, const char* name, int kind);

struct PropertyDataTypeNameRow {
    const char* name;
    int kind;
};

// The 72 registered names with their value kinds, in registration order.
inline constexpr PropertyDataTypeNameRow kPropertyDataTypeNames[] = {
    {"Bool", 1}, {"Integer", 2}, {"Float", 3}, {"Number", 4}, {"Vector", 5}, {"Vector4", 6},
    {"Matrix", 7}, {"Enum", 8}, {"stringlist", 8}, {"Time", 10}, {"Ref", 11}, {"Stream", 12},
    {"KString", 9}, {"charptr", 9}, {"Action", 0}, {"event", 0}, {"Color", 5},
    {"ColorAndAlpha", 6}, {"object", 11}, {"Reference", 11}, {"Real", 4}, {"Vector3D", 5},
    {"Vector4D", 6}, {"Translation", 5}, {"Rotation", 5}, {"Scaling", 5}, {"Quaternion", 6},
    {"Lcl Translation", 5}, {"Lcl Rotation", 5}, {"Lcl Scaling", 5}, {"Lcl Quaternion", 6},
    {"Matrix Transformation", 7}, {"Matrix Translation", 7}, {"Matrix Rotation", 7},
    {"Matrix Scaling", 7}, {"Emissive", 5}, {"EmissiveFactor", 4}, {"Ambient", 5},
    {"AmbientFactor", 4}, {"Diffuse", 5}, {"DiffuseFactor", 4}, {"NormalMap", 5}, {"Bump", 4},
    {"Transparent", 5}, {"TransparencyFactor", 4}, {"Specular", 5}, {"SpecularFactor", 4},
    {"Shininess", 4}, {"Reflection", 5}, {"ReflectionFactor", 4}, {"Intensity", 4},
    {"Cone angle", 4}, {"Fog", 4}, {"Shape", 4}, {"FieldOfView", 4}, {"FieldOfViewX", 4},
    {"FieldOfViewY", 4}, {"OpticalCenterX", 4}, {"OpticalCenterY", 4}, {"Roll", 4},
    {"Camera Index", 2}, {"TimeWarp", 4}, {"Visibility", 4}, {"Translation UV", 5},
    {"Scaling UV", 5}, {"HSB", 5}, {"Orientation", 5}, {"Look at", 5}, {"Occlusion", 4},
    {"Weight", 4}, {"IK Reach Translation", 4}, {"IK Reach Rotation", 4},
};
inline constexpr int kPropertyDataTypeNameCount =
    static_cast<int>(sizeof(kPropertyDataTypeNames) / sizeof(kPropertyDataTypeNames[0]));

struct PropertyDataTypeFileRow {
    const char* registeredName;
    const char* fileName;
};

// The names the DUZ readers and writers use for the registered types.
inline constexpr PropertyDataTypeFileRow kPropertyDataTypeFileNames[] = {
    {"Action", "Action"},       {"Bool", "bool"},         {"Integer", "int"},
    {"Color", "ColorRGB"},      {"ColorAndAlpha", "ColorRGBA"}, {"Time", "KTime"},
    {"Enum", "enum"},           {"Number", "double"},     {"Vector", "Vector3D"},
    {"Vector4", "Vector4D"},    {"Reference", "Reference"}, {"KString", "KString"},
    {"object", "object"},       {"event", "event"},       {"stringlist", "stringlist"},
    {"Float", "float"},         {"charptr", "charptr"},   {"Matrix", "matrix4x4"},
};

// Registers the 72 names through the given function (the SDK manager's
// RegisterDataType) and keeps each handle. Runs once per process: later
// calls return false and keep the first handles, which stay valid for the
// life of the process.
using PropertyDataTypeRegisterFn = PropertyDataType (*)(void* context, const char* name, int kind);
bool PropertyDataTypeRegisterAll(PropertyDataTypeRegisterFn registerFn, void* context);
bool PropertyDataTypesAreRegistered();

// The handle kept for a registered name (null handle when not registered).
PropertyDataType PropertyDataTypeGetRegistered(const char* name);
// The handle that stands for a value kind: 0 null, 1 "Bool", 2 "Integer",
// 3 "Float", 4 "Number", 5 "Vector", 6 "Vector4", 7 "Matrix", 8 "Enum",
// 9 "KString", 10 "Time", 11 "Ref", 12 "Stream".
PropertyDataType PropertyDataTypeTableGet(int kind);
// The name written into files: the table entry with the same handle, else
// the first with the same value kind, else "unknown" (also for null).
const char* PropertyDataTypeToFileName(const PropertyDataType& type);
// The handle whose file name equals the text exactly, else null.
PropertyDataType PropertyDataTypeFromFileName(const char* text);

}  // namespace duzsdk
