#include "sdk/scene/KDuzLight.h"

#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KDuzTakeNodeContainer.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/animation/KFCurveNode.h"
#include "sdk/base/KStringList.h"
#include "sdk/object/KDataType.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/KPropertyObjectList.h"
#include "sdk/object/PropertyDataTypeMap.h"

#include <cstring>

namespace duzsdk {

namespace {

constexpr int kTypeNumber = PlugTypeNumberOf("KDuzLight_internal");
constexpr const char* kLightTypeNames[] = {"Point Light", "Infinite Light", "Spot Light"};

constexpr double kDefaultIntensity = 100.0;
constexpr double kDefaultConeAngle = 45.0;
constexpr double kDefaultFog = 50.0;

// The animated channels below the take root, with the curve defaults and
// display colours a new take starts from.
struct LightChannelRow {
    const char* name;
    double defaultValue;
    float red, green, blue;
};
constexpr LightChannelRow kScalarChannels[] = {
    {"Intensity", kDefaultIntensity, 0.97f, 0.91f, 0.11f},
    {"Cone angle", kDefaultConeAngle, 0.82f, 0.10f, 0.71f},
    {"Fog", kDefaultFog, 0.82f, 0.38f, 0.10f},
};
constexpr const char* kColorAxes[] = {"X", "Y", "Z"};
constexpr float kAxisColors[3][3] = {{1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}};

}  // namespace

// The light's internal twin: "Color" from the attribute base, then the
// channel properties and the typed settings.
class KDuzLight_internal : public KDuzNodeAttribute_internal {
public:
    explicit KDuzLight_internal(KDuzObject* object) : KDuzNodeAttribute_internal(object) {
        intensity = AddChannelProperty("Intensity", "Intensity");
        coneAngle = AddChannelProperty("Cone angle", "Cone angle");
        fog = AddChannelProperty("Fog", "Fog");
        lightType = new KPropertyTemplate<int>(this, "LightType", KDataTypeFindByName("Enum"), false,
                                               nullptr, 0, eKPropEnum);
        KStringList* texts = lightType->GetEnumList(true);
        for (const char* text : kLightTypeNames) texts->Append(text);
        castLight = new KPropertyTemplate<bool>(this, "CastLightOnObject");
        groundProjection = new KPropertyTemplate<bool>(this, "DrawGroundProjection");
        frontVolumetric = new KPropertyTemplate<bool>(this, "DrawFrontFacingVolumetricLight");
        volumetric = new KPropertyTemplate<bool>(this, "DrawVolumetricLight");
        gobo = new KPropertyObjectList(this, "GoboProperty");
        gobo->SetTypes(kTypeNumber, kTypeNumber);
        gobo->KPlug::ModifyFlags(KPlug::kAcceptsSources, true);
        gobo->KPlug::ModifyFlags(KPlug::kAcceptsDestinations | KPlug::kOneWaySink, false);
    }

    KPlugTypeInfo* GetPlugTypeInfo() const override { return PlugTypeInfoGetRecord(kTypeNumber); }
    int GetStaticTypeNumber() const override { return kTypeNumber; }

    KProperty* Channel(const char* name) const {
        KProperty* const channels[] = {intensity, coneAngle, fog};
        for (int i = 0; i < 3; ++i) {
            if (name != nullptr && std::strcmp(name, kScalarChannels[i].name) == 0) return channels[i];
        }
        return nullptr;
    }

    // Owned by the property array.
    KProperty* intensity = nullptr;
    KProperty* coneAngle = nullptr;
    KProperty* fog = nullptr;
    KPropertyTemplate<int>* lightType = nullptr;
    KPropertyTemplate<bool>* castLight = nullptr;
    KPropertyTemplate<bool>* groundProjection = nullptr;
    KPropertyTemplate<bool>* frontVolumetric = nullptr;
    KPropertyTemplate<bool>* volumetric = nullptr;
    KPropertyObjectList* gobo = nullptr;
};

namespace {

KDuzLight_internal* Twin(const KDuzLight* light) {
    return static_cast<KDuzLight_internal*>(const_cast<KDuzLight*>(light)->GetInternalObject());
}

// The dynamic properties the constructor adds, with the defaults that
// ResetDynamicProperties writes, in this order.
struct DynamicRow {
    const char* name;
    const char* type;
    double value[4];
};
constexpr DynamicRow kDynamicProperties[] = {
    {"DecayType", "Enum", {0.0}},
    {"DecayStart", "Number", {1.0}},
    {"EnableNearAttenuation", "Bool", {0.0}},
    {"NearAttenuationStart", "Number", {0.0}},
    {"NearAttenuationEnd", "Number", {0.0}},
    {"EnableFarAttenuation", "Bool", {0.0}},
    {"FarAttenuationStart", "Number", {0.0}},
    {"FarAttenuationEnd", "Number", {0.0}},
    {"CastShadows", "Bool", {0.0}},
    {"ShadowColor", "ColorAndAlpha", {0.0, 0.0, 0.0, 1.0}},
};

}  // namespace

// ---- life ------------------------------------------------------------------------

KDuzLight::KDuzLight(KDuzSdkManager* manager, const char* name) : KDuzNodeAttribute(manager, name) {
    SetInternalObject(new KDuzLight_internal(this));
    SetCastLight(true);
    SetLightType(ePoint);
    SetColor(KDuzRGBAColor(1.0, 1.0, 1.0, 1.0));
    SetIntensity(kDefaultIntensity);
    SetConeAngle(kDefaultConeAngle);
    SetFog(kDefaultFog);
    SetGroundProjection(true);
    SetVolumetricLight(true);
    SetFrontVolumetricLight(false);
    mFileName = "";
    WrapInternalProperties();
    for (const DynamicRow& row : kDynamicProperties)
        KDuzProperty::Create(this, row.name, PropertyDataTypeFromName(row.type), "");
    ResetDynamicProperties();
}

KDuzLight::~KDuzLight() = default;

KDuzLight* KDuzLight::Create(KDuzSdkManager* manager, const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<KDuzLight*>(manager->CreateObject(ClassId(), name));
}

KDuzPlug* KDuzLight::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* light = new KDuzLight(manager, name);
    light->PostCreate();
    return light;
}

KClassId KDuzLight::ClassId() { return KDuzClassIdOf(eDuzClassLight); }

KClassId KDuzLight::GetClassId() const { return ClassId(); }

const char* KDuzLight::LightTypeName(int type) {
    return type >= 0 && type < 3 ? kLightTypeNames[type] : nullptr;
}

KStringList KDuzLight::GetTypeFlags() const {
    KStringList list;
    list.Append("Light");
    return list;
}

void KDuzLight::ResetDynamicProperties() {
    for (const DynamicRow& row : kDynamicProperties) {
        KDuzProperty property = FindProperty(row.name);
        if (!property.IsValid()) continue;
        if (property.GetValueKind() == eValueKindDouble4) {
            property.SetValue(row.value, eValueKindDouble4);
        } else {
            property.SetValue(&row.value[0], eValueKindDouble);
        }
    }
}

// ---- stored values ------------------------------------------------------------------

void KDuzLight::SetLightType(ELightType type) {
    if (KDuzLight_internal* twin = Twin(this)) twin->lightType->Set(static_cast<int>(type));
}

KDuzLight::ELightType KDuzLight::GetLightType() const {
    KDuzLight_internal* twin = Twin(this);
    return twin != nullptr ? static_cast<ELightType>(twin->lightType->Get()) : ePoint;
}

void KDuzLight::SetCastLight(bool on) {
    if (KDuzLight_internal* twin = Twin(this)) twin->castLight->Set(on);
}

bool KDuzLight::GetCastLight() const {
    KDuzLight_internal* twin = Twin(this);
    return twin != nullptr && twin->castLight->Get();
}

void KDuzLight::SetGroundProjection(bool on) {
    if (KDuzLight_internal* twin = Twin(this)) twin->groundProjection->Set(on);
}

bool KDuzLight::GetGroundProjection() const {
    KDuzLight_internal* twin = Twin(this);
    return twin != nullptr && twin->groundProjection->Get();
}

void KDuzLight::SetVolumetricLight(bool on) {
    if (KDuzLight_internal* twin = Twin(this)) twin->volumetric->Set(on);
}

bool KDuzLight::GetVolumetricLight() const {
    KDuzLight_internal* twin = Twin(this);
    return twin != nullptr && twin->volumetric->Get();
}

void KDuzLight::SetFrontVolumetricLight(bool on) {
    if (KDuzLight_internal* twin = Twin(this)) twin->frontVolumetric->Set(on);
}

bool KDuzLight::GetFrontVolumetricLight() const {
    KDuzLight_internal* twin = Twin(this);
    return twin != nullptr && twin->frontVolumetric->Get();
}

bool KDuzLight::SetFileName(const char* name) {
    mFileName = name != nullptr ? name : "";
    return true;
}

const char* KDuzLight::GetFileName() const {
    return mFileName.IsEmpty() ? nullptr : mFileName.Buffer();
}

// ---- animated values ------------------------------------------------------------------

double KDuzLight::GetChannel(const char* name) const {
    double value = 0.0;
    if (GetDefaultChannel(name, nullptr, value)) return value;
    KDuzLight_internal* twin = Twin(this);
    KProperty* property = twin != nullptr ? twin->Channel(name) : nullptr;
    return property != nullptr ? property->GetDouble() : 0.0;
}

void KDuzLight::SetChannel(const char* name, double value) {
    SetDefaultChannel(name, nullptr, value);
    // The property keeps the full value; the curve holds single precision.
    KDuzLight_internal* twin = Twin(this);
    if (KProperty* property = twin != nullptr ? twin->Channel(name) : nullptr) property->SetDouble(value);
}

void KDuzLight::SetIntensity(double value) { SetChannel(kScalarChannels[0].name, value); }
double KDuzLight::GetIntensity() const { return GetChannel(kScalarChannels[0].name); }
void KDuzLight::SetConeAngle(double value) { SetChannel(kScalarChannels[1].name, value); }
double KDuzLight::GetConeAngle() const { return GetChannel(kScalarChannels[1].name); }
void KDuzLight::SetFog(double value) { SetChannel(kScalarChannels[2].name, value); }
double KDuzLight::GetFog() const { return GetChannel(kScalarChannels[2].name); }

void KDuzLight::SetColor(const KDuzRGBAColor& color) {
    const double rgb[3] = {color.mRed, color.mGreen, color.mBlue};
    for (int i = 0; i < 3; ++i) SetDefaultChannel("Color", kColorAxes[i], rgb[i]);
    if (KDuzLight_internal* twin = Twin(this))
        twin->SetColor(KgeRGBVector(rgb[0], rgb[1], rgb[2], 1.0));
}

KDuzRGBAColor KDuzLight::GetColor() const {
    KDuzRGBAColor color;
    double rgb[3] = {0.0, 0.0, 0.0};
    bool fromCurves = true;
    for (int i = 0; i < 3 && fromCurves; ++i) fromCurves = GetDefaultChannel("Color", kColorAxes[i], rgb[i]);
    if (!fromCurves) {
        KDuzLight_internal* twin = Twin(this);
        if (twin == nullptr) return color;
        const KgeRGBVector stored = twin->GetColor();
        for (int i = 0; i < 3; ++i) rgb[i] = stored[i];
    }
    // Raw components: a light may be brighter than white.
    color.mRed = rgb[0];
    color.mGreen = rgb[1];
    color.mBlue = rgb[2];
    color.mAlpha = 1.0;
    return color;
}

// ---- take channels ----------------------------------------------------------------------

void KDuzLight::AddPropertiesToTakeNode(KDuzTakeNode* takeNode) {
    KDuzNodeAttribute::AddPropertiesToTakeNode(takeNode);
    if (RootOf(takeNode) == nullptr) return;
    // Defaults and colours are set before the curves are linked: a linked
    // curve would write them into the properties and lose the values set
    // while the light was detached.
    KFCurve* color[3] = {nullptr, nullptr, nullptr};
    if (KFCurveNode* group = AddChannelGroup(takeNode, "Color", "Color")) {
        for (int i = 0; i < 3; ++i)
            color[i] = AddChannel(group, kColorAxes[i], nullptr, 1.0, kAxisColors[i][0],
                                  kAxisColors[i][1], kAxisColors[i][2]);
    }
    KFCurve* scalar[3];
    for (int i = 0; i < 3; ++i) {
        const LightChannelRow& row = kScalarChannels[i];
        scalar[i] = AddChannel(RootOf(takeNode), row.name, row.name, row.defaultValue, row.red,
                               row.green, row.blue);
    }
    KDuzTakeNodeContainer* container = GetNodeContainer();
    KDuzLight_internal* twin = Twin(this);
    if (!IsDefaultTake(takeNode) || container == nullptr || twin == nullptr) return;
    for (int i = 0; i < 3; ++i) container->LinkPropertyCurve(twin->GetColorProperty(), i, color[i]);
    for (int i = 0; i < 3; ++i)
        container->LinkPropertyCurve(twin->Channel(kScalarChannels[i].name), 0, scalar[i]);
}

void KDuzLight::RemovePropertiesFromTakeNode(KDuzTakeNode* takeNode) {
    RemoveChannel(takeNode, "Color");
    for (const LightChannelRow& row : kScalarChannels) RemoveChannel(takeNode, row.name);
    KDuzNodeAttribute::RemovePropertiesFromTakeNode(takeNode);
}

// ---- dynamic properties ----------------------------------------------------------------

bool KDuzLight::SetDecayType(int type) {
    KDuzProperty property = FindProperty("DecayType");
    return property.IsValid() && property.SetValue(&type, eValueKindInt);
}

bool KDuzLight::SetDecayStart(double start) {
    KDuzProperty property = FindProperty("DecayStart");
    return property.IsValid() && property.SetValue(&start, eValueKindDouble);
}

bool KDuzLight::SetCastShadows(bool on) {
    KDuzProperty property = FindProperty("CastShadows");
    return property.IsValid() && property.SetValue(&on, eValueKindBool);
}

bool KDuzLight::SetShadowColor(const KDuzRGBAColor& color) {
    KDuzProperty property = FindProperty("ShadowColor");
    const double value[4] = {color.mRed, color.mGreen, color.mBlue, color.mAlpha};
    return property.IsValid() && property.SetValue(value, eValueKindDouble4);
}

// ---- copies --------------------------------------------------------------------------------

void KDuzLight::Copy(const KDuzLight& other) {
    if (&other == this) return;
    SetLightType(other.GetLightType());
    SetCastLight(other.GetCastLight());
    mFileName = other.mFileName;
    SetGroundProjection(other.GetGroundProjection());
    SetVolumetricLight(other.GetVolumetricLight());
    SetFrontVolumetricLight(other.GetFrontVolumetricLight());
}

KDuzObject* KDuzLight::Clone(int mode) {
    if (mode != 2) return nullptr;
    KDuzLight* clone = Create(GetSdkManager(), "");
    if (clone != nullptr) clone->Copy(*this);
    return clone;
}

}  // namespace duzsdk
