// Node attributes inside a version 5 "Model" record: "Type", "TypeFlags" and
// the attribute's own fields, some of them in a "Properties" block.
#include "sdk/duz/KDuz6FieldHelpers.h"
#include "sdk/duz/KDuz5RecordNames.h"
#include "sdk/duz/KDuzWriterDuz.h"
#include "sdk/io/IDuzObject.h"
#include "sdk/scene/KDuzCamera.h"
#include "sdk/scene/KDuzCameraSwitcher.h"
#include "sdk/scene/KDuzLight.h"
#include "sdk/scene/KDuzMarker.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNull.h"
#include "sdk/scene/KDuzSkeleton.h"

namespace duzsdk {

namespace {

void WriteColor3(KDuz& duz, const char* name, const KDuzRGBAColor& color) {
    duz.FieldWriteBegin(name);
    duz.FieldWriteDouble(color.mRed);
    duz.FieldWriteDouble(color.mGreen);
    duz.FieldWriteDouble(color.mBlue);
    duz.FieldWriteEnd();
}

void WriteTypeFlags(KDuz& duz, std::initializer_list<const char*> flags) {
    duz.FieldWriteBegin("TypeFlags");
    for (const char* flag : flags) duz.FieldWriteString(flag);
    duz.FieldWriteEnd();
}

void BeginProperties(KDuz& duz) {
    duz.FieldWriteBegin(duz5::kProperties);
    duz.FieldWriteBlockBegin();
    KDuz6WriteIntField(duz, "Version", 100);
}

void EndBlock(KDuz& duz) {
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
}

const char* FormatName(int format) {
    static const char* const kNames[] = {"Custom", "D1 NTSC", "NTSC", "PAL", "D1 PAL", "HD",
                                         "640x480", "320x200", "320x240", "Custom", "Full Screen"};
    return format >= 0 && format <= 10 ? kNames[format] : "Custom";
}

const char* ApertureFormatName(int format) {
    static const char* const kNames[] = {"Custom", "16mm Theatrical", "Super 16mm", "35mm Academy",
                                         "35mm TV Projection", "35mm Full Aperture", "35mm 1.85 Projection",
                                         "35mm Anamorphic", "70mm Projection", "VistaVision", "Dynavision", "Imax"};
    return format >= 0 && format <= 11 ? kNames[format] : "Custom";
}

}  // namespace

bool KDuzWriterDuz::WriteNullAttribute(const KDuzNull* null) {
    KDuz& duz = *GetFieldFile();
    duz.FieldWriteNamedString(duz5::kType, duz5::kTypeNull);
    WriteTypeFlags(duz, {"Null"});
    BeginProperties(duz);
    KDuz6WriteDoubleField(duz, "Size", null != nullptr ? null->GetSize() : 100.0);
    EndBlock(duz);
    return true;
}

bool KDuzWriterDuz::WriteMarkerAttribute(KDuzNode* node) {
    auto* marker = dynamic_cast<KDuzMarker*>(node->GetNodeAttribute());
    if (marker == nullptr) return WriteNullAttribute(nullptr);
    KDuz& duz = *GetFieldFile();
    static const char* const kTypes[] = {duz5::kTypeMarker, duz5::kTypeOpticalMarker, duz5::kTypeIKEffector,
                                         duz5::kTypeFKEffector};
    const int type = marker->GetType();
    if (type >= 0 && type <= 3) duz.FieldWriteNamedString(duz5::kType, kTypes[type]);
    WriteTypeFlags(duz, {"Marker"});
    BeginProperties(duz);
    KDuz6WriteIntField(duz, "Look", marker->GetLook());
    KDuz6WriteDoubleField(duz, "Size", marker->GetSize());
    const KDuzRGBAColor color = marker->GetColor();
    WriteColor3(duz, "Color", color);
    KDuz6WriteIntField(duz, "ShowLabel", marker->GetShowLabel() ? 1 : 0);
    EndBlock(duz);
    if (type == KDuzMarker::eIKEffector) {
        if (!node->IsChannelAnimated("IK Reach Translation"))
            KDuz6WriteDoubleField(duz, "IKReachTranslation", marker->GetDefaultIKReachTranslation());
        if (!node->IsChannelAnimated("IK Reach Rotation"))
            KDuz6WriteDoubleField(duz, "IKReachRotation", marker->GetDefaultIKReachRotation());
    }
    duz.FieldWriteBegin("Channel");
    duz.FieldWriteString("Color");
    duz.FieldWriteBlockBegin();
    const double components[3] = {color.mRed, color.mGreen, color.mBlue};
    static const char* const kAxes[] = {"X", "Y", "Z"};
    for (int i = 0; i < 3; ++i) {
        duz.FieldWriteBegin("Channel");
        duz.FieldWriteString(kAxes[i]);
        duz.FieldWriteBlockBegin();
        KDuz6WriteDoubleField(duz, "Default", components[i]);
        EndBlock(duz);
    }
    EndBlock(duz);
    return true;
}

bool KDuzWriterDuz::WriteOpticalReferenceAttribute(KDuzNode* /*node*/) {
    KDuz& duz = *GetFieldFile();
    duz.FieldWriteNamedString(duz5::kType, duz5::kTypeOptical);
    WriteTypeFlags(duz, {"Marker"});
    return true;
}

bool KDuzWriterDuz::WriteSkeletonAttribute(const KDuzSkeleton* skeleton) {
    KDuz& duz = *GetFieldFile();
    switch (skeleton->GetSkeletonType()) {
        case KDuzSkeleton::eRoot:
        case KDuzSkeleton::eEffector:
            duz.FieldWriteNamedString(duz5::kType, duz5::kTypeRoot);
            WriteTypeFlags(duz, {"Null", "Skeleton", "Root"});
            BeginProperties(duz);
            KDuz6WriteDoubleField(duz, "Size", skeleton->GetSize());
            EndBlock(duz);
            return true;
        case KDuzSkeleton::eLimb:
        case KDuzSkeleton::eLimbNode: {
            const bool limb = skeleton->GetSkeletonType() == KDuzSkeleton::eLimb;
            duz.FieldWriteNamedString(duz5::kType, limb ? duz5::kTypeLimb : duz5::kTypeLimbNode);
            WriteTypeFlags(duz, {"Skeleton"});
            if (limb) KDuz6WriteDoubleField(duz, "LimbLength", skeleton->GetLimbLength());
            BeginProperties(duz);
            KDuz6WriteDoubleField(duz, "Size", skeleton->GetSize());
            WriteColor3(duz, "Color", skeleton->GetLimbNodeColor());
            EndBlock(duz);
            return true;
        }
        default:
            return false;
    }
}

bool KDuzWriterDuz::WriteCameraAttribute(KDuzCamera* camera, bool omitType) {
    KDuz& duz = *GetFieldFile();
    if (!omitType) duz.FieldWriteNamedString(duz5::kType, duz5::kTypeCamera);
    WriteTypeFlags(duz, {"Camera"});
    KDuz6WriteIntField(duz, "Version", 220);
    KDuzObject* holder = camera->GetDstObject(KDuzNode::ClassId(), 0);
    duz.FieldWriteNamedString("Name", holder != nullptr ? holder->GetNameWithPrefix().Buffer() : "");
    KDuz6WriteVector3Field(duz, "Position", camera->GetPosition());
    KDuz6WriteVector3Field(duz, "Up", camera->GetUpVector());
    KDuz6WriteVector3Field(duz, "LookAt", camera->GetInterestPosition());
    KDuz6WriteDoubleField(duz, "Roll", camera->GetRoll());
    KDuz6WriteDoubleField(duz, "TurnTable", camera->GetTurnTable());
    KDuz6WriteIntField(duz, duz5::kType, camera->GetProjectionType());
    duz.FieldWriteNamedString("FormatName", FormatName(camera->GetFormat()));
    KDuz6WriteIntField(duz, "AspectType", camera->GetAspectRatioMode());
    KDuz6WriteDoubleField(duz, "AspectW", camera->GetAspectWidth());
    KDuz6WriteDoubleField(duz, "AspectH", camera->GetAspectHeight());
    KDuz6WriteDoubleField(duz, "PixelRatio", camera->GetPixelRatio());
    KDuz6WriteDoubleField(duz, "NearPlane", camera->GetNearPlane());
    KDuz6WriteDoubleField(duz, "FarPlane", camera->GetFarPlane());
    KDuz6WriteIntField(duz, "CameraLock", camera->GetLockMode() ? 1 : 0);
    duz.FieldWriteNamedString("ApertureFormat", ApertureFormatName(camera->GetApertureFormat()));
    KDuz6WriteIntField(duz, "ApertureMode", camera->GetApertureMode());
    duz.FieldWriteBegin("CameraAperture");
    duz.FieldWriteDouble(camera->GetFilmWidth());
    duz.FieldWriteDouble(camera->GetFilmHeight());
    duz.FieldWriteEnd();
    KDuz6WriteDoubleField(duz, "SqueezeRatio", camera->GetFilmSqueezeRatio());
    KDuz6WriteDoubleField(duz, "FocalLength", camera->GetFocalLength());
    KDuz6WriteDoubleField(duz, "Aperture", camera->GetFieldOfView());
    KDuz6WriteDoubleField(duz, "FieldOfViewXProperty", camera->GetFieldOfViewX());
    KDuz6WriteDoubleField(duz, "FieldOfViewYProperty", camera->GetFieldOfViewY());
    KDuz6WriteDoubleField(duz, "OpticalCenterXProperty", camera->GetOpticalCenterX());
    KDuz6WriteDoubleField(duz, "OpticalCenterYProperty", camera->GetOpticalCenterY());
    const char* media = camera->GetBackgroundMediaName();
    if (media != nullptr && media[0] != '\0') duz.FieldWriteNamedString(duz5::kMedia, media);
    KDuz6WriteIntField(duz, "ViewFrustumPlane", camera->GetViewFrustumBackPlaneMode());
    KDuz6WriteIntField(duz, "BackgroundMode", camera->GetBackgroundMode());
    KDuz6WriteIntField(duz, "ForegroundTransparent", camera->GetForegroundTransparent() ? 1 : 0);
    KDuz6WriteDoubleField(duz, "BackgroundTreshold", camera->GetBackgroundAlphaTreshold());
    KDuz6WriteIntField(duz, "DisplayMode", camera->GetBackgroundPlacementOptions());
    KDuz6WriteDoubleField(duz, "ViewFrustumPlaneDistance", camera->GetBackPlaneDistance());
    KDuz6WriteIntField(duz, "ViewFrustumPlaneDistanceMode", camera->GetBackPlaneDistanceMode());
    const std::pair<const char*, int> display[] = {
        {"ViewLookAt", camera->GetViewCameraToLookAt()},
        {"ViewFrustum", camera->GetViewFrustumNearFarPlane()},
        {"ShowGrid", camera->GetShowGrid()},
        {"ShowAzimut", camera->GetShowAzimut()},
        {"ShowName", camera->GetShowName()},
        {"ShowInfoOnMoving", camera->GetShowInfoOnMoving()},
        {"ShowTimeCode", camera->GetShowTimeCode()},
        {"DisplaySafeArea", camera->GetDisplaySafeArea()},
        {"SafeAreaStyle", camera->GetSafeAreaDisplayStyle()},
        {"DisplaySafeAreaOnRender", camera->GetDisplaySafeAreaOnRender()},
        {"ShowAudio", camera->GetShowAudio()}};
    for (const auto& [name, value] : display) KDuz6WriteIntField(duz, name, value);
    WriteColor3(duz, "BackGroundColor", camera->GetBackgroundColor());
    WriteColor3(duz, "AudioColor", camera->GetAudioColor());
    KDuz6WriteIntField(duz, "UseFrameColor", camera->GetUseFrameColor() ? 1 : 0);
    WriteColor3(duz, "FrameColor", camera->GetFrameColor());
    duz.FieldWriteBegin("CameraAndLens");
    duz.FieldWriteBlockBegin();
    duz.FieldWriteBegin("DepthOfField");
    duz.FieldWriteInt(camera->GetUseDepthOfField() ? 1 : 0);
    duz.FieldWriteInt(camera->GetFocusSource());
    duz.FieldWriteDouble(camera->GetFocusAngle());
    duz.FieldWriteDouble(camera->GetFocusDistance());
    duz.FieldWriteEnd();
    duz.FieldWriteBegin("Antialiasing");
    duz.FieldWriteInt(camera->GetUseAntialiasing() ? 1 : 0);
    duz.FieldWriteInt(camera->GetAntialiasingMethod());
    duz.FieldWriteDouble(camera->GetAntialiasingIntensity());
    duz.FieldWriteEnd();
    duz.FieldWriteBegin("OverSampling");
    duz.FieldWriteInt(camera->GetFrameSamplingType());
    duz.FieldWriteInt(camera->GetFrameSamplingCount());
    duz.FieldWriteInt(camera->GetUseAccumulationBuffer() ? 1 : 0);
    duz.FieldWriteEnd();
    KDuz6WriteIntField(duz, "UseOverSamplingTime", camera->GetUseOverSamplingTime() ? 1 : 0);
    EndBlock(duz);
    return true;
}

bool KDuzWriterDuz::WriteCameraSwitcherAttribute(KDuzCameraSwitcher* switcher) {
    KDuz& duz = *GetFieldFile();
    duz.FieldWriteNamedString("AnimationMode", "Global");
    KDuz6WriteIntField(duz, "Version", 100);
    duz.FieldWriteNamedString("Name", "Camera Switcher");
    KDuz6WriteIntField(duz, duz5::kCameraId, switcher->GetDefaultCameraIndex());
    KDuz6WriteIntField(duz, "CameraName", 100);
    return true;
}

bool KDuzWriterDuz::WriteLightAttribute(KDuzLight* light) {
    KDuz& duz = *GetFieldFile();
    duz.FieldWriteNamedString(duz5::kType, duz5::kTypeLight);
    WriteTypeFlags(duz, {"Light"});
    KDuz6WriteIntField(duz, "GeometryVersion", 123);
    KDuz6WriteIntField(duz, "LightTypeVersion", 202);
    KDuz6WriteIntField(duz, "LightType", light->GetLightType());
    KDuz6WriteIntField(duz, "CastLight", light->GetCastLight() ? 1 : 0);
    WriteColor3(duz, "Color", light->GetColor());
    KDuz6WriteDoubleField(duz, "Intensity", light->GetIntensity());
    KDuz6WriteDoubleField(duz, "ConeAngle", light->GetConeAngle());
    KDuz6WriteDoubleField(duz, "Fog", light->GetFog());
    return true;
}

}  // namespace duzsdk
