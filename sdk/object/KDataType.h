// Internal data types: named value layouts (size, components) with a
// default value, a text parser, a text formatter and component names. The
// instances are process-wide and registered by name.
#pragma once

namespace duzsdk {

class KDataType {
public:
    virtual ~KDataType() = default;
    KDataType(const KDataType&) = delete;
    KDataType& operator=(const KDataType&) = delete;

    virtual bool SetDefault(void* value) const;
    virtual bool FromText(const char* text, void* value) const;
    // Writes at most size - 1 characters and always terminates the output.
    virtual bool ToText(char* out, int size, const void* value) const;
    virtual const char* GetComponentName(int index) const;

    int GetValueSize() const { return mValueSize; }
    int GetComponentCount() const { return mComponentCount; }
    const char* GetName() const { return mName; }
    // The root type whose layout this type shares; a root is its own base.
    const KDataType* GetBase() const { return mBase; }

protected:
    KDataType(const char* name, int valueSize, int componentCount, const KDataType* base)
        : mValueSize(valueSize), mComponentCount(componentCount), mName(name),
          mBase(base != nullptr ? base : this) {}

private:
    int mValueSize;
    int mComponentCount;
    const char* mName;
    const KDataType* mBase;
};

// Names of the 47 registered types, in construction order, with their roots.
struct KDataTypeRow {
    const char* name;
    const char* root;
};

inline constexpr KDataTypeRow kDataTypeRows[] = {
    {"Number", "Number"}, {"Time", "Time"}, {"Vector", "Vector"}, {"Vector4", "Vector4"},
    {"Matrix", "Matrix"}, {"Real", "Number"}, {"Integer", "Number"}, {"Float", "Number"},
    {"Action", "Number"}, {"Intensity", "Number"}, {"Cone angle", "Number"}, {"Fog", "Number"},
    {"Shape", "Number"}, {"FieldOfView", "Number"}, {"FieldOfViewX", "Number"},
    {"FieldOfViewY", "Number"}, {"OpticalCenterX", "Number"}, {"OpticalCenterY", "Number"},
    {"Roll", "Number"}, {"Camera Index", "Number"}, {"TimeWarp", "Number"},
    {"Visibility", "Number"}, {"Bool", "Number"}, {"Enum", "Number"}, {"Color", "Vector"},
    {"ColorAndAlpha", "Vector4"}, {"Translation UV", "Vector"}, {"Scaling UV", "Vector"},
    {"HSB", "Vector"}, {"Translation", "Vector"}, {"Scaling", "Vector"}, {"Rotation", "Vector"},
    {"Lcl Translation", "Vector"}, {"Lcl Scaling", "Vector"}, {"Lcl Rotation", "Vector"},
    {"Matrix Translation", "Matrix"}, {"Matrix Scaling", "Matrix"}, {"Matrix Rotation", "Matrix"},
    {"Matrix Transformation", "Matrix"}, {"Orientation", "Vector"}, {"Look at", "Vector"},
    {"Quaternion", "Vector4"}, {"Lcl Quaternion", "Vector4"}, {"Occlusion", "Number"},
    {"Weight", "Number"}, {"IK Reach Translation", "Number"}, {"IK Reach Rotation", "Number"},
};

// Registers a type: appends it and keeps the registry sorted by name.
void KDataTypeRegister(const KDataType* type);
// "Trigger" (exact) gives "Action"; any other name by exact, case-sensitive
// search. Null when none.
const KDataType* KDataTypeFindByName(const char* name);
int KDataTypeGetRegisteredCount();
// The value-type code of a property of this type (0 for null or unknown).
int KDataTypeToPropertyTypeCode(const KDataType* type);

// Decimals of the numeric text forms, read once per run and kept; clamped to
// 0..17 so that no setting can produce a broken format or huge output.
int KDataTypeGetDecimals();
// Where the decimals come from. Without a source set here they are read from
// "@Application.txt", section "NumericField", key "Decimal" (default "2");
// a source that answers null gives "2" too.
using KDataTypeDecimalsSource = const char* (*)();
void KDataTypeSetDecimalsSource(KDataTypeDecimalsSource source);
// Whether the decimals were read already (they are read once per run).
bool KDataTypeDecimalsAreKnown();

}  // namespace duzsdk
