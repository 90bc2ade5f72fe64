#include "sdk/scene/KDuzCamera.h"

#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KDuzTakeNodeContainer.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/animation/KFCurveNode.h"
#include "sdk/base/KStringList.h"
#include "sdk/object/KDataType.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzCameraInternal.h"
#include "sdk/scene/KDuzNode.h"

#include <algorithm>
#include <cstring>

namespace duzsdk {

namespace {

constexpr int kTypeNumber = PlugTypeNumberOf("KDuzCamera_internal");

// ---- enumeration texts ----------------------------------------------------------------

struct EnumTexts {
    const char* const* texts;
    int count;
};

constexpr const char* kAspectRatioModeTexts[] = {"Window Size", "Fixed Ratio", "Fixed Resolution",
                                                 "Fixed Width Resolution", "Fixed Height Resolution"};
constexpr const char* kApertureModeTexts[] = {"Horizontal & Vertical", "Horizontal", "Vertical"};
constexpr const char* kGateFitTexts[] = {"Horizontal Fit", "Vertical Fit", "Horizontal Fit",
                                         "Fill Fit",       "Overscan Fit", "Stretch Fit"};
constexpr const char* kFormatTexts[] = {"Custom", "D1 NTSC",  "NTSC",    "PAL",     "D1 PAL",     "HD",
                                        "640x480", "320x200", "320x240", nullptr,   "Full Screen"};
constexpr const char* kApertureFormatTexts[] = {
    "Custom",           "16mm Theatrical",      "Super 16mm",      "35mm Academy",
    "35mm TV Projection", "35mm Full Aperture", "35mm 1.85 Projection", "35mm Anamorphic",
    "70mm Projection",  "VistaVision",          "Dynavision",      "Imax"};
constexpr const char* kBackgroundDisplayModeTexts[] = {"Disabled", "Always", "When Media"};
constexpr const char* kBackgroundDistanceModeTexts[] = {"Relative to Interest", "Relative to Camera"};
constexpr const char* kBackgroundDrawingModeTexts[] = {"Background", "Foreground",
                                                       "Background & Forground"};
constexpr const char* kSafeAreaStyleTexts[] = {"Round Safe Area", "Square Safe Area"};
constexpr const char* kProjectionTypeTexts[] = {"Perspective", "Orthographic"};
constexpr const char* kFocusDistanceSourceTexts[] = {"Camera Interest", "Specific Distance"};

template <size_t N>
constexpr EnumTexts Texts(const char* const (&texts)[N]) {
    return {texts, static_cast<int>(N)};
}

constexpr EnumTexts kEnumTexts[KDuzCamera::eCameraEnumCount] = {
    Texts(kAspectRatioModeTexts),        Texts(kApertureModeTexts),
    Texts(kGateFitTexts),                Texts(kFormatTexts),
    Texts(kApertureFormatTexts),         Texts(kBackgroundDisplayModeTexts),
    Texts(kBackgroundDistanceModeTexts), Texts(kBackgroundDrawingModeTexts),
    Texts(kSafeAreaStyleTexts),          Texts(kProjectionTypeTexts),
    Texts(kFocusDistanceSourceTexts),
};

template <int E>
const char* EnumCallback(KPlug*, int index) {
    return KDuzCameraEnumName(E, index);
}

constexpr KPropertyEnumCallback kEnumCallbacks[KDuzCamera::eCameraEnumCount] = {
    &EnumCallback<0>, &EnumCallback<1>, &EnumCallback<2>, &EnumCallback<3>,
    &EnumCallback<4>, &EnumCallback<5>, &EnumCallback<6>, &EnumCallback<7>,
    &EnumCallback<8>, &EnumCallback<9>, &EnumCallback<10>,
};

// ---- channels in take nodes --------------------------------------------------------------

struct CameraChannelRow {
    int property;
    float red, green, blue;
};
constexpr CameraChannelRow kChannels[] = {
    {kCamFieldOfView, 0.55f, 0.55f, 0.81f},    {kCamFieldOfViewX, 0.06f, 0.06f, 0.94f},
    {kCamFieldOfViewY, 0.04f, 0.04f, 0.4f},    {kCamFocalLength, 0.7f, 0.4f, 0.5f},
    {kCamOpticalCenterX, 0.5f, 0.88f, 0.73f},  {kCamOpticalCenterY, 0.13f, 0.56f, 0.34f},
    {kCamRoll, 0.13f, 0.18f, 0.4f},            {kCamTurnTable, 0.4f, 0.13f, 0.18f},
};
constexpr const char* kBackgroundColor = "BackgroundColor";
constexpr const char* kAxes[] = {"X", "Y", "Z"};
constexpr float kAxisColors[3][3] = {{1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}};

constexpr double kBackgroundGrey = 0.63;

}  // namespace

using Kind = ECameraValueKind;

// Creation order, kinds and what Reset writes. Rows Reset does not write
// directly: the channels it sets through their own rules, the film values
// (which come from the aperture format), and "LockInterestNavigation".
const KDuzCameraPropertyRow kDuzCameraProperties[kCameraPropertyCount] = {
    {"Roll", Kind::Channel, "Roll", -1, 0.0, false},
    {"FieldOfView", Kind::Channel, "FieldOfView", -1, 40.0, false},
    {"FieldOfViewX", Kind::Channel, "FieldOfView", -1, 1.0, false},
    {"FieldOfViewY", Kind::Channel, "FieldOfView", -1, 1.0, false},
    {"OpticalCenterX", Kind::Channel, "Real", -1, 0.0, false},
    {"OpticalCenterY", Kind::Channel, "Real", -1, 0.0, false},
    {"BackgroundColor", Kind::Channel, "Color", -1, kBackgroundGrey, false},
    {"TurnTable", Kind::Channel, "Real", -1, 0.0, false},
    {"DisplayTurnTableIcon", Kind::Bool, nullptr, -1, 1.0, true},
    {"Motion Blur Intensity", Kind::Channel, "Real", -1, 1.0, true},
    {"UseMotionBlur", Kind::Bool, nullptr, -1, 0.0, true},
    {"UseRealTimeMotionBlur", Kind::Bool, nullptr, -1, 1.0, true},
    {"ResolutionMode", Kind::Enum, nullptr, KDuzCamera::eCameraEnumAspectRatioMode, 0.0, true},
    {"ApertureMode", Kind::Enum, nullptr, KDuzCamera::eCameraEnumApertureMode, 2.0, true},
    {"GateFit", Kind::Enum, nullptr, KDuzCamera::eCameraEnumGateFit, 0.0, true},
    {"FocalLength", Kind::Channel, "Real", -1, 0.0, false},
    {"CameraFormat", Kind::Enum, nullptr, KDuzCamera::eCameraEnumFormat, 0.0, true},
    {"AspectW", Kind::Double, nullptr, -1, 320.0, true},
    {"AspectH", Kind::Double, nullptr, -1, 200.0, true},
    {"PixelAspectRatio", Kind::Double, nullptr, -1, 1.0, true},
    {"UseFrameColor", Kind::Bool, nullptr, -1, 0.0, true},
    {"FrameColor", Kind::Color, nullptr, -1, 0.3, true},
    {"ShowName", Kind::Bool, nullptr, -1, 1.0, true},
    {"ShowGrid", Kind::Bool, nullptr, -1, 1.0, true},
    {"ShowOpticalCenter", Kind::Bool, nullptr, -1, 0.0, true},
    {"ShowAzimut", Kind::Bool, nullptr, -1, 1.0, true},
    {"ShowTimeCode", Kind::Bool, nullptr, -1, 0.0, true},
    {"NearPlane", Kind::Double, nullptr, -1, 10.0, true},
    {"FarPlane", Kind::Double, nullptr, -1, 4000.0, true},
    {"FilmWidth", Kind::Double, nullptr, -1, 0.816, false},
    {"FilmHeight", Kind::Double, nullptr, -1, 0.612, false},
    {"FilmAspectRatio", Kind::Double, nullptr, -1, 0.816 / 0.612, false},
    {"FilmSqueezeRatio", Kind::Double, nullptr, -1, 1.0, false},
    {"FilmFormatIndex", Kind::Enum, nullptr, KDuzCamera::eCameraEnumApertureFormat, 4.0, false},
    {"ViewFrustum", Kind::Bool, nullptr, -1, 1.0, true},
    {"ViewFrustumNearFarPlane", Kind::Bool, nullptr, -1, 0.0, true},
    {"ViewFrustumBackPlaneMode", Kind::Enum, nullptr, KDuzCamera::eCameraEnumBackgroundDisplayMode, 2.0, true},
    {"BackPlaneDistance", Kind::Double, nullptr, -1, 100.0, true},
    {"BackPlaneDistanceMode", Kind::Enum, nullptr, KDuzCamera::eCameraEnumBackgroundDistanceMode, 0.0, true},
    {"ViewCameraToLookAt", Kind::Bool, nullptr, -1, 1.0, true},
    {"LockMode", Kind::Bool, nullptr, -1, 0.0, true},
    {"LockInterestNavigation", Kind::Bool, nullptr, -1, 0.0, false},
    {"FitImage", Kind::Bool, nullptr, -1, 0.0, true},
    {"Crop", Kind::Bool, nullptr, -1, 0.0, true},
    {"Center", Kind::Bool, nullptr, -1, 1.0, true},
    {"KeepRatio", Kind::Bool, nullptr, -1, 1.0, true},
    {"BackgroundMode", Kind::Enum, nullptr, KDuzCamera::eCameraEnumBackgroundDrawingMode, 0.0, true},
    {"BackgroundAlphaTreshold", Kind::Double, nullptr, -1, 0.5, true},
    {"ForegroundTransparent", Kind::Bool, nullptr, -1, 1.0, true},
    {"DisplaySafeArea", Kind::Bool, nullptr, -1, 0.0, true},
    {"SafeAreaDisplayStyle", Kind::Enum, nullptr, KDuzCamera::eCameraEnumSafeAreaStyle, 1.0, true},
    {"SafeAreaAspectRatio", Kind::Double, nullptr, -1, 1.33333333333333, true},
    {"Use2DMagnifierZoom", Kind::Bool, nullptr, -1, 0.0, true},
    {"2D Magnifier Zoom", Kind::Channel, "Real", -1, 100.0, false},
    {"2D Magnifier X", Kind::Channel, "Real", -1, 50.0, false},
    {"2D Magnifier Y", Kind::Channel, "Real", -1, 50.0, false},
    {"CameraProjectionType", Kind::Enum, nullptr, KDuzCamera::eCameraEnumProjectionType, 0.0, true},
    {"UseRealTimeDOFAndAA", Kind::Bool, nullptr, -1, 0.0, true},
    {"UseDepthOfField", Kind::Bool, nullptr, -1, 0.0, true},
    {"FocusSource", Kind::Enum, nullptr, KDuzCamera::eCameraEnumFocusDistanceSource, 0.0, true},
    {"FocusAngle", Kind::Double, nullptr, -1, 3.5, true},
    {"FocusDistance", Kind::Double, nullptr, -1, 200.0, true},
    {"UseAntialiasing", Kind::Bool, nullptr, -1, 0.0, true},
    {"AntialiasingIntensity", Kind::Double, nullptr, -1, 0.77777, true},
    {"UseAccumulationBuffer", Kind::Bool, nullptr, -1, 0.0, true},
    {"FrameSamplingCount", Kind::Int, nullptr, -1, 7.0, true},
};

const char* KDuzCameraEnumName(int which, int value) {
    if (which < 0 || which >= KDuzCamera::eCameraEnumCount) return nullptr;
    const EnumTexts& texts = kEnumTexts[which];
    return value >= 0 && value < texts.count ? texts.texts[value] : nullptr;
}

// ---- internal twin -------------------------------------------------------------------------

KDuzCamera_internal::KDuzCamera_internal(KDuzObject* object) : KDuzNodeAttribute_internal(object) {
    for (int i = 0; i < kCameraPropertyCount; ++i) {
        const KDuzCameraPropertyRow& row = kDuzCameraProperties[i];
        switch (row.kind) {
            case Kind::Channel: mProperties[i] = AddChannelProperty(row.name, row.dataType); break;
            case Kind::Bool: mProperties[i] = new KPropertyTemplate<bool>(this, row.name); break;
            case Kind::Int: mProperties[i] = new KPropertyTemplate<int>(this, row.name); break;
            case Kind::Double: mProperties[i] = new KPropertyTemplate<double>(this, row.name); break;
            case Kind::Color:
                // Red, green and blue followed by an alpha, all 0 until Reset.
                mProperties[i] = new KPropertyTemplate<KgeRGBVector>(this, row.name,
                                                                     KDataTypeFindByName("Color"));
                static_cast<KPropertyTemplate<KgeRGBVector>*>(mProperties[i])
                    ->Set(KgeRGBVector(0.0, 0.0, 0.0, 0.0));
                break;
            case Kind::Enum: {
                auto* property = new KPropertyTemplate<int>(this, row.name, KDataTypeFindByName("Enum"),
                                                            false, nullptr, 0, eKPropEnum);
                property->SetValueType(eKPropEnum);
                property->GetInfo().SetEnumList(kEnumCallbacks[row.enumId]);
                mProperties[i] = property;
                break;
            }
        }
    }
}

KPlugTypeInfo* KDuzCamera_internal::GetPlugTypeInfo() const { return PlugTypeInfoGetRecord(kTypeNumber); }

int KDuzCamera_internal::GetStaticTypeNumber() const { return kTypeNumber; }

namespace {

KDuzCamera_internal* Twin(const KDuzCamera* camera) {
    return static_cast<KDuzCamera_internal*>(const_cast<KDuzCamera*>(camera)->GetInternalObject());
}

}  // namespace

// ---- life ------------------------------------------------------------------------------------

KDuzCamera::KDuzCamera(KDuzSdkManager* manager, const char* name)
    : KDuzNodeAttribute(manager, name),
      mUpVector(0.0, 0.0, 0.0, 0.0),
      mInterest(0.0, 0.0, 0.0, 0.0),
      mAudioColor(1.0, 1.0, 1.0, 1.0) {
    SetInternalObject(new KDuzCamera_internal(this));
    Reset();
    WrapInternalProperties();
}

KDuzCamera::~KDuzCamera() = default;

KDuzCamera* KDuzCamera::Create(KDuzSdkManager* manager, const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<KDuzCamera*>(manager->CreateObject(ClassId(), name));
}

KDuzPlug* KDuzCamera::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* camera = new (std::nothrow) KDuzCamera(manager, name);
    if (camera != nullptr) camera->PostCreate();
    return camera;
}

KClassId KDuzCamera::ClassId() { return KDuzClassIdOf(eDuzClassCamera); }

KClassId KDuzCamera::GetClassId() const { return ClassId(); }

KStringList KDuzCamera::GetTypeFlags() const {
    KStringList list;
    list.Append("Camera");
    return list;
}

KProperty* KDuzCamera::GetCameraProperty(const char* name) const {
    KDuzCamera_internal* twin = Twin(this);
    if (twin == nullptr || name == nullptr) return nullptr;
    for (int i = 0; i < kCameraPropertyCount; ++i) {
        if (std::strcmp(kDuzCameraProperties[i].name, name) == 0) return twin->Property(i);
    }
    return nullptr;
}

// ---- property access -----------------------------------------------------------------------

double KDuzCamera::Value(int index) const {
    KDuzCamera_internal* twin = Twin(this);
    KProperty* property = twin != nullptr ? twin->Property(index) : nullptr;
    return property != nullptr ? property->GetDouble() : 0.0;
}

void KDuzCamera::StoreValue(int index, double value) {
    KDuzCamera_internal* twin = Twin(this);
    KProperty* property = twin != nullptr ? twin->Property(index) : nullptr;
    // A value already held is not written again: a scene clear resets every
    // producer camera, and most of their values are the defaults already.
    if (property != nullptr && property->GetDouble() != value) property->SetDouble(value);
}

double KDuzCamera::ChannelValue(int index) const {
    double value = 0.0;
    if (GetDefaultChannel(kDuzCameraProperties[index].name, nullptr, value)) return value;
    return Value(index);
}

void KDuzCamera::SetChannelValue(int index, double value) {
    const char* name = kDuzCameraProperties[index].name;
    // The curve first: its link writes a single-precision copy into the
    // property, which the full value then replaces.
    double current = 0.0;
    if (!GetDefaultChannel(name, nullptr, current) || static_cast<float>(current) != static_cast<float>(value))
        SetDefaultChannel(name, nullptr, value);
    StoreValue(index, value);
}

// ---- position ------------------------------------------------------------------------------

bool KDuzCamera::SetPosition(const KgeTVector& position) {
    KDuzNode* node = GetNode();
    if (node == nullptr) return false;
    return node->SetLclTranslation(duzVectorTemplate3<double>(position[0], position[1], position[2]));
}

KgeTVector KDuzCamera::GetPosition() const {
    KDuzNode* node = GetNode();
    if (node == nullptr) return KgeTVector(0.0, 0.0, 0.0, 0.0);
    const duzVectorTemplate3<double> t = node->GetLclTranslation();
    return KgeTVector(t[0], t[1], t[2], 1.0);
}

// ---- channels --------------------------------------------------------------------------------

void KDuzCamera::SetRoll(double value) { SetChannelValue(kCamRoll, value); }
double KDuzCamera::GetRoll() const { return Value(kCamRoll); }
void KDuzCamera::SetTurnTable(double value) { SetChannelValue(kCamTurnTable, value); }
double KDuzCamera::GetTurnTable() const { return Value(kCamTurnTable); }
void KDuzCamera::SetOpticalCenterX(double value) { SetChannelValue(kCamOpticalCenterX, value); }
double KDuzCamera::GetOpticalCenterX() const { return ChannelValue(kCamOpticalCenterX); }
void KDuzCamera::SetOpticalCenterY(double value) { SetChannelValue(kCamOpticalCenterY, value); }
double KDuzCamera::GetOpticalCenterY() const { return ChannelValue(kCamOpticalCenterY); }
void KDuzCamera::SetFocalLength(double value) { SetChannelValue(kCamFocalLength, value); }
double KDuzCamera::GetFocalLength() const { return ChannelValue(kCamFocalLength); }
double KDuzCamera::GetFieldOfView() const { return ChannelValue(kCamFieldOfView); }
double KDuzCamera::GetFieldOfViewX() const { return ChannelValue(kCamFieldOfViewX); }
double KDuzCamera::GetFieldOfViewY() const { return ChannelValue(kCamFieldOfViewY); }

void KDuzCamera::SetBackgroundColor(const KDuzRGBAColor& color) {
    const double rgb[3] = {color.mRed, color.mGreen, color.mBlue};
    for (int i = 0; i < 3; ++i) {
        double current = 0.0;
        if (!GetDefaultChannel(kBackgroundColor, kAxes[i], current) ||
            static_cast<float>(current) != static_cast<float>(rgb[i]))
            SetDefaultChannel(kBackgroundColor, kAxes[i], rgb[i]);
    }
    KDuzCamera_internal* twin = Twin(this);
    if (KProperty* property = twin != nullptr ? twin->Property(kCamBackgroundColor) : nullptr) {
        const double rgba[4] = {rgb[0], rgb[1], rgb[2], 1.0};
        double stored[16] = {};   // room for any storage the property may have
        if (!property->GetDoubles(stored) || !std::equal(rgba, rgba + 4, stored)) property->SetDoubles(rgba);
    }
}

KDuzRGBAColor KDuzCamera::GetBackgroundColor() const {
    double rgb[3] = {0.0, 0.0, 0.0};
    bool fromCurves = true;
    for (int i = 0; i < 3 && fromCurves; ++i) fromCurves = GetDefaultChannel(kBackgroundColor, kAxes[i], rgb[i]);
    if (!fromCurves) {
        KDuzCamera_internal* twin = Twin(this);
        double stored[4] = {0.0, 0.0, 0.0, 1.0};
        if (KProperty* property = twin != nullptr ? twin->Property(kCamBackgroundColor) : nullptr)
            property->GetDoubles(stored);
        for (int i = 0; i < 3; ++i) rgb[i] = stored[i];
    }
    KDuzRGBAColor color;
    color.mRed = rgb[0];
    color.mGreen = rgb[1];
    color.mBlue = rgb[2];
    color.mAlpha = 1.0;
    return color;
}

void KDuzCamera::AddPropertiesToTakeNode(KDuzTakeNode* takeNode) {
    KDuzNodeAttribute::AddPropertiesToTakeNode(takeNode);
    KFCurveNode* root = RootOf(takeNode);
    if (root == nullptr) return;
    const bool isDefault = IsDefaultTake(takeNode);
    KDuzTakeNodeContainer* container = GetNodeContainer();
    KDuzCamera_internal* twin = Twin(this);
    // Each curve starts from the camera's current value and is linked after:
    // a fixed start value would travel through the link and overwrite what
    // was set on the camera before it was attached.
    for (const CameraChannelRow& row : kChannels) {
        const KDuzCameraPropertyRow& property = kDuzCameraProperties[row.property];
        KFCurve* curve = AddChannel(root, property.name, property.name, Value(row.property), row.red,
                                    row.green, row.blue);
        if (isDefault && container != nullptr && twin != nullptr)
            container->LinkPropertyCurve(twin->Property(row.property), 0, curve);
    }
    double background[4] = {kBackgroundGrey, kBackgroundGrey, kBackgroundGrey, 1.0};
    if (twin != nullptr && twin->Property(kCamBackgroundColor) != nullptr)
        twin->Property(kCamBackgroundColor)->GetDoubles(background);
    KFCurveNode* group = AddChannelGroup(takeNode, kBackgroundColor, "Color");
    if (group == nullptr) return;
    for (int i = 0; i < 3; ++i) {
        KFCurve* curve = AddChannel(group, kAxes[i], nullptr, background[i], kAxisColors[i][0],
                                    kAxisColors[i][1], kAxisColors[i][2]);
        if (isDefault && container != nullptr && twin != nullptr)
            container->LinkPropertyCurve(twin->Property(kCamBackgroundColor), i, curve);
    }
}

void KDuzCamera::RemovePropertiesFromTakeNode(KDuzTakeNode* takeNode) {
    // "BackgroundColor" stays with the node.
    for (const CameraChannelRow& row : kChannels) RemoveChannel(takeNode, kDuzCameraProperties[row.property].name);
    KDuzNodeAttribute::RemovePropertiesFromTakeNode(takeNode);
}

// ---- plain values ------------------------------------------------------------------------------

#define DUZ_CAMERA_FLAG(Name, Index)                                     \
    void KDuzCamera::Set##Name(bool on) { StoreValue(Index, on ? 1.0 : 0.0); } \
    bool KDuzCamera::Get##Name() const { return Flag(Index); }
#define DUZ_CAMERA_DOUBLE(Name, Index)                                     \
    void KDuzCamera::Set##Name(double value) { StoreValue(Index, value); } \
    double KDuzCamera::Get##Name() const { return Value(Index); }
#define DUZ_CAMERA_ENUM(Name, Type, Index)                                                    \
    void KDuzCamera::Set##Name(int value) { StoreValue(Index, static_cast<double>(value)); } \
    KDuzCamera::Type KDuzCamera::Get##Name() const { return static_cast<Type>(static_cast<int>(Value(Index))); }

DUZ_CAMERA_ENUM(ProjectionType, ECameraProjectionType, kCamCameraProjectionType)
DUZ_CAMERA_ENUM(ApertureMode, ECameraApertureMode, kCamApertureMode)
DUZ_CAMERA_FLAG(LockMode, kCamLockMode)
DUZ_CAMERA_ENUM(ViewFrustumBackPlaneMode, ECameraBackgroundDisplayMode, kCamViewFrustumBackPlaneMode)
DUZ_CAMERA_ENUM(BackgroundMode, ECameraBackgroundDrawingMode, kCamBackgroundMode)
DUZ_CAMERA_FLAG(ForegroundTransparent, kCamForegroundTransparent)
DUZ_CAMERA_DOUBLE(BackgroundAlphaTreshold, kCamBackgroundAlphaTreshold)
DUZ_CAMERA_DOUBLE(BackPlaneDistance, kCamBackPlaneDistance)
DUZ_CAMERA_ENUM(BackPlaneDistanceMode, ECameraBackgroundDistanceMode, kCamBackPlaneDistanceMode)
DUZ_CAMERA_FLAG(ViewCameraToLookAt, kCamViewCameraToLookAt)
DUZ_CAMERA_FLAG(ViewFrustumNearFarPlane, kCamViewFrustumNearFarPlane)
DUZ_CAMERA_FLAG(ShowGrid, kCamShowGrid)
DUZ_CAMERA_FLAG(ShowAzimut, kCamShowAzimut)
DUZ_CAMERA_FLAG(ShowName, kCamShowName)
DUZ_CAMERA_FLAG(ShowTimeCode, kCamShowTimeCode)
DUZ_CAMERA_FLAG(DisplaySafeArea, kCamDisplaySafeArea)
DUZ_CAMERA_ENUM(SafeAreaDisplayStyle, ECameraSafeAreaStyle, kCamSafeAreaDisplayStyle)
DUZ_CAMERA_FLAG(UseFrameColor, kCamUseFrameColor)
DUZ_CAMERA_FLAG(UseAntialiasing, kCamUseAntialiasing)
DUZ_CAMERA_DOUBLE(AntialiasingIntensity, kCamAntialiasingIntensity)
DUZ_CAMERA_FLAG(UseAccumulationBuffer, kCamUseAccumulationBuffer)
DUZ_CAMERA_FLAG(UseDepthOfField, kCamUseDepthOfField)
DUZ_CAMERA_ENUM(FocusSource, ECameraFocusDistanceSource, kCamFocusSource)
DUZ_CAMERA_DOUBLE(FocusDistance, kCamFocusDistance)
DUZ_CAMERA_DOUBLE(FocusAngle, kCamFocusAngle)

#undef DUZ_CAMERA_FLAG
#undef DUZ_CAMERA_DOUBLE
#undef DUZ_CAMERA_ENUM

void KDuzCamera::SetFrameSamplingCount(int count) { StoreValue(kCamFrameSamplingCount, count); }
int KDuzCamera::GetFrameSamplingCount() const { return static_cast<int>(Value(kCamFrameSamplingCount)); }

void KDuzCamera::SetFrameColor(const KDuzRGBAColor& color) {
    KDuzCamera_internal* twin = Twin(this);
    if (KProperty* property = twin != nullptr ? twin->Property(kCamFrameColor) : nullptr) {
        const double rgba[4] = {color.mRed, color.mGreen, color.mBlue, color.mAlpha};
        double stored[16] = {};   // room for any storage the property may have
        if (!property->GetDoubles(stored) || !std::equal(rgba, rgba + 4, stored)) property->SetDoubles(rgba);
    }
}

KDuzRGBAColor KDuzCamera::GetFrameColor() const {
    double rgba[4] = {0.0, 0.0, 0.0, 0.0};
    KDuzCamera_internal* twin = Twin(this);
    if (KProperty* property = twin != nullptr ? twin->Property(kCamFrameColor) : nullptr)
        property->GetDoubles(rgba);
    // Raw: the frame colour is kept as it was given.
    KDuzRGBAColor color;
    color.mRed = rgba[0];
    color.mGreen = rgba[1];
    color.mBlue = rgba[2];
    color.mAlpha = rgba[3];
    return color;
}

void KDuzCamera::SetBackgroundPlacementOptions(int bits) {
    StoreValue(kCamFitImage, (bits & 1) != 0 ? 1.0 : 0.0);
    StoreValue(kCamCenter, (bits & 2) != 0 ? 1.0 : 0.0);
    StoreValue(kCamKeepRatio, (bits & 4) != 0 ? 1.0 : 0.0);
    StoreValue(kCamCrop, (bits & 8) != 0 ? 1.0 : 0.0);
}

int KDuzCamera::GetBackgroundPlacementOptions() const {
    return (Flag(kCamFitImage) ? 1 : 0) | (Flag(kCamCenter) ? 2 : 0) | (Flag(kCamKeepRatio) ? 4 : 0) |
           (Flag(kCamCrop) ? 8 : 0);
}

void KDuzCamera::SetUseOverSamplingTime(int mode) {
    if (mode == 0) StoreValue(kCamUseRealTimeDOFAndAA, 1.0);
    else if (mode == 1) StoreValue(kCamUseRealTimeDOFAndAA, 0.0);
}

bool KDuzCamera::GetUseOverSamplingTime() const { return !Flag(kCamUseRealTimeDOFAndAA); }

const char* KDuzCamera::GetBackgroundMediaName() const {
    return mBackgroundMediaName.IsEmpty() ? nullptr : mBackgroundMediaName.Buffer();
}

const char* KDuzCamera::GetVideoClipTextureName() const {
    return mVideoClipTextureName.IsEmpty() ? nullptr : mVideoClipTextureName.Buffer();
}

// ---- reset and copies ---------------------------------------------------------------------------

void KDuzCamera::Reset() {
    SetPosition(KgeTVector(0.0, 0.0, -50.0, 1.0));
    mUpVector = KgeTVector(0.0, 1.0, 0.0, 0.0);
    mInterest = KgeTVector(0.0, 0.0, 0.0, 0.0);
    SetProjectionType(ePerspective);
    SetRoll(0.0);
    SetChannelValue(kCamFieldOfView, 40.0);
    SetChannelValue(kCamFieldOfViewX, 1.0);
    SetChannelValue(kCamFieldOfViewY, 1.0);
    // With the film values as they stand: 0 on a new camera.
    SetFocalLength(ComputeFocalLength(40.0));
    SetOpticalCenterX(0.0);
    SetOpticalCenterY(0.0);
    SetBackgroundColor(KDuzRGBAColor(kBackgroundGrey, kBackgroundGrey, kBackgroundGrey, 1.0));
    SetTurnTable(0.0);

    for (int i = 0; i < kCameraPropertyCount; ++i) {
        const KDuzCameraPropertyRow& row = kDuzCameraProperties[i];
        if (!row.setByReset) continue;
        if (row.kind == Kind::Color) {
            KDuzRGBAColor color;
            color.mRed = color.mGreen = color.mBlue = row.resetValue;
            color.mAlpha = 0.0;
            SetFrameColor(color);
        } else {
            StoreValue(i, row.resetValue);
        }
    }
    SetApertureFormat(e35mmTVProjection);
    SetApertureMode(eVertical);
    mBackgroundMediaName = "";
    mVideoClipTextureName = "";
    mOrthoZoom = 1.0;
    mShowInfoOnMoving = true;
    mSafeAreaOnRender = false;
    mShowAudio = false;
    mAudioColor = KDuzRGBAColor(0.0, 1.0, 0.0, 1.0);
    mAntialiasingMethod = 0;
    mFrameSamplingType = 1;

    StoreValue(kCam2DMagnifierZoom, 100.0);
    StoreValue(kCam2DMagnifierX, 50.0);
    StoreValue(kCam2DMagnifierY, 50.0);
}

void KDuzCamera::CopyFrom(const KDuzCamera& other) {
    if (&other == this) return;
    mUpVector = other.mUpVector;
    mInterest = other.mInterest;
    if (other.GetNode() != nullptr) SetPosition(other.GetPosition());
    SetRoll(other.GetRoll());
    SetTurnTable(other.GetTurnTable());
    // The lens channels travel too, so a copied producer camera keeps the
    // field of view and focal length it was read with.
    for (int index : {kCamFieldOfView, kCamFieldOfViewX, kCamFieldOfViewY, kCamFocalLength,
                      kCamOpticalCenterX, kCamOpticalCenterY})
        SetChannelValue(index, other.ChannelValue(index));
    for (int index : {kCamCameraProjectionType, kCamCameraFormat, kCamResolutionMode, kCamAspectW,
                      kCamAspectH, kCamPixelAspectRatio, kCamNearPlane, kCamFarPlane, kCamLockMode,
                      kCamFilmFormatIndex, kCamApertureMode, kCamFilmWidth, kCamFilmHeight,
                      kCamFilmSqueezeRatio, kCamGateFit})
        StoreValue(index, other.Value(index));
    mBackgroundMediaName = other.mBackgroundMediaName;
    mVideoClipTextureName = other.mVideoClipTextureName;
    for (int index : {kCamViewFrustumBackPlaneMode, kCamBackgroundMode, kCamForegroundTransparent,
                      kCamBackgroundAlphaTreshold, kCamFitImage, kCamCenter, kCamKeepRatio, kCamCrop,
                      kCamBackPlaneDistance, kCamBackPlaneDistanceMode, kCamViewFrustum,
                      kCamViewFrustumNearFarPlane, kCamShowGrid, kCamShowAzimut, kCamShowName})
        StoreValue(index, other.Value(index));
    mShowInfoOnMoving = other.mShowInfoOnMoving;
    StoreValue(kCamShowTimeCode, other.Value(kCamShowTimeCode));
    StoreValue(kCamDisplaySafeArea, other.Value(kCamDisplaySafeArea));
    StoreValue(kCamSafeAreaDisplayStyle, other.Value(kCamSafeAreaDisplayStyle));
    mSafeAreaOnRender = other.mSafeAreaOnRender;
    mShowAudio = other.mShowAudio;
    SetBackgroundColor(other.GetBackgroundColor());
    mAudioColor.Assign(other.mAudioColor);
    StoreValue(kCamUseFrameColor, other.Value(kCamUseFrameColor));
    KDuzRGBAColor frame = GetFrameColor();
    const KDuzRGBAColor otherFrame = other.GetFrameColor();
    frame.mRed = otherFrame.mRed;
    frame.mGreen = otherFrame.mGreen;
    frame.mBlue = otherFrame.mBlue;
    SetFrameColor(frame);
    mOrthoZoom = other.mOrthoZoom;
    StoreValue(kCamUseRealTimeDOFAndAA, other.Value(kCamUseRealTimeDOFAndAA));
    StoreValue(kCamUseAntialiasing, other.Value(kCamUseAntialiasing));
    StoreValue(kCamAntialiasingIntensity, other.Value(kCamAntialiasingIntensity));
    mAntialiasingMethod = other.mAntialiasingMethod;
    StoreValue(kCamFrameSamplingCount, other.Value(kCamFrameSamplingCount));
    mFrameSamplingType = other.mFrameSamplingType;
    for (int index : {kCamUseAccumulationBuffer, kCamUseDepthOfField, kCamFocusSource,
                      kCamFocusDistance, kCamFocusAngle})
        StoreValue(index, other.Value(index));
}

KDuzObject* KDuzCamera::Clone(int mode) {
    if (mode != 2) return nullptr;
    KDuzCamera* clone = Create(GetSdkManager(), "");
    if (clone != nullptr) clone->CopyFrom(*this);
    return clone;
}

}  // namespace duzsdk
