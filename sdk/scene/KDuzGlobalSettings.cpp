#include "sdk/scene/KDuzGlobalSettings.h"

#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/PropertyDataTypeMap.h"

#include <cmath>
#include <new>

namespace duzsdk {

namespace {

// The six axis properties in the order of the system's fields.
constexpr const char* kAxisPropertyNames[6] = {
    "UpAxis", "UpAxisSign", "FrontAxis", "FrontAxisSign", "CoordAxis", "CoordAxisSign",
};
constexpr const char* kUnitScaleFactor = "UnitScaleFactor";

}  // namespace

KDuzGlobalSettings::KDuzGlobalSettings(KDuzSdkManager* manager, const char* name)
    : KDuzObject(manager, name), mAxisSystem(KDuzGetPredefinedAxisSystem(eDuzAxisSystemYUp))
{
}

KDuzGlobalSettings::~KDuzGlobalSettings() = default;

KDuzGlobalSettings* KDuzGlobalSettings::Create(KDuzSdkManager* manager, const char* name)
{
    if (manager == nullptr) return nullptr;
    return dynamic_cast<KDuzGlobalSettings*>(manager->CreateObject(ClassId(), name));
}

KDuzPlug* KDuzGlobalSettings::ClassCreator(KDuzSdkManager* manager, const char* name)
{
    auto* settings = new (std::nothrow) KDuzGlobalSettings(manager, name);
    if (settings != nullptr) settings->PostCreate();
    return settings;
}

KClassId KDuzGlobalSettings::ClassId() { return KDuzClassIdOf(eDuzClassGlobalSettings); }

KClassId KDuzGlobalSettings::GetClassId() const { return ClassId(); }

void KDuzGlobalSettings::PostCreate()
{
    KDuzObject::PostCreate();
    const PropertyDataType integer = PropertyDataTypeFromName("Integer");
    for (const char* name : kAxisPropertyNames) KDuzProperty::Create(this, name, integer, "");
    KDuzProperty::Create(this, kUnitScaleFactor, PropertyDataTypeFromName("Number"), "");
    InitProperties();
}

bool KDuzGlobalSettings::InitProperties()
{
    AxisSystemToProperties();
    return SetSystemUnit(KDuzSystemUnit(1.0));
}

bool KDuzGlobalSettings::AxisSystemToProperties()
{
    const int values[6] = {
        mAxisSystem.GetUpAxis(),    mAxisSystem.GetUpSign(),    mAxisSystem.GetFrontAxis(),
        mAxisSystem.GetFrontSign(), mAxisSystem.GetCoordAxis(), mAxisSystem.GetCoordSign(),
    };
    bool result = false;
    for (int i = 0; i < 6; ++i) result = FindProperty(kAxisPropertyNames[i]).SetValue(&values[i], eValueKindInt);
    return result;
}

void KDuzGlobalSettings::PropertiesToAxisSystem()
{
    int values[6] = {
        mAxisSystem.GetUpAxis(),    mAxisSystem.GetUpSign(),    mAxisSystem.GetFrontAxis(),
        mAxisSystem.GetFrontSign(), mAxisSystem.GetCoordAxis(), mAxisSystem.GetCoordSign(),
    };
    // A property that cannot be read keeps the held field.
    for (int i = 0; i < 6; ++i) FindProperty(kAxisPropertyNames[i]).GetValue(&values[i], eValueKindInt);
    // Files are not trusted: the axes index arrays in the exporters, so a
    // system that is not a valid convention is never kept as it is.
    if (mAxisSystem.SetFields(values[0], values[1], values[2], values[3], values[4], values[5])) return;
    const int upAxis = values[0];
    const int upSign = values[1];
    if (upAxis < 0 || upAxis > 2 || (upSign != 1 && upSign != -1)) {
        mAxisSystem = KDuzGetPredefinedAxisSystem(eDuzAxisSystemYUp);
        return;
    }
    // A file may set only the up axis ("UpAxis" 2 alone means Z up): the up
    // direction holds, and the front axis becomes the file's when it is one
    // of the two axes left, else the second of them, with the held handedness.
    int remaining[2] = {0, 0};
    int n = 0;
    for (int axis = 0; axis < 3; ++axis)
        if (axis != upAxis) remaining[n++] = axis;
    const int frontPosition = values[2] == remaining[0] ? 1 : 2;
    const int frontSign = values[3] == -1 ? -1 : 1;
    mAxisSystem = KDuzAxisSystem(upSign * (upAxis + 1), frontSign * frontPosition, mAxisSystem.GetCoordSystem());
}

bool KDuzGlobalSettings::SetAxisSystem(const KDuzAxisSystem& system)
{
    mAxisSystem.Assign(system);
    return AxisSystemToProperties();
}

void KDuzGlobalSettings::GetAxisSystem(KDuzAxisSystem& out)
{
    PropertiesToAxisSystem();
    out = mAxisSystem;
}

KDuzAxisSystem KDuzGlobalSettings::GetAxisSystem()
{
    KDuzAxisSystem system;
    GetAxisSystem(system);
    return system;
}

bool KDuzGlobalSettings::SetSystemUnit(const KDuzSystemUnit& unit)
{
    const double factor = unit.GetScaleFactor();
    return FindProperty(kUnitScaleFactor).SetValue(&factor, eValueKindDouble);
}

void KDuzGlobalSettings::GetSystemUnit(KDuzSystemUnit& out) const
{
    double factor = 1.0;
    // Unreadable, zero, negative or non-finite factors (from a damaged file)
    // would turn every converted length into 0, inf or NaN: centimetres.
    if (!FindProperty(kUnitScaleFactor).GetValue(&factor, eValueKindDouble) || !std::isfinite(factor) ||
        factor <= 0.0) {
        factor = 1.0;
    }
    out = KDuzSystemUnit(factor);
}

KDuzSystemUnit KDuzGlobalSettings::GetSystemUnit() const
{
    KDuzSystemUnit unit;
    GetSystemUnit(unit);
    return unit;
}

}  // namespace duzsdk
