// The "Version5" blocks that repeat the scene's global settings in the
// version 5 layout, and the camera switcher's body inside its model record.
#include "sdk/base/KTimeModes.h"
#include "sdk/duz/KDuz6RecordNames.h"
#include "sdk/duz/KDuzWriterDuz6.h"
#include "sdk/io/IDuzObject.h"
#include "sdk/scene/KDuzCameraSwitcher.h"
#include "sdk/scene/KDuzGlobalCameraSettings.h"
#include "sdk/scene/KDuzGlobalLightSettings.h"
#include "sdk/scene/KDuzGlobalTimeSettings.h"
#include "sdk/scene/KDuzScene.h"

namespace duzsdk {

namespace {

void WriteInt(KDuz& duz, const char* name, int value) {
    duz.FieldWriteBegin(name);
    duz.FieldWriteInt(value);
    duz.FieldWriteEnd();
}

void WriteDouble(KDuz& duz, const char* name, double value) {
    duz.FieldWriteBegin(name);
    duz.FieldWriteDouble(value);
    duz.FieldWriteEnd();
}

void WriteTime(KDuz& duz, const char* name, KTime value) {
    duz.FieldWriteBegin(name);
    duz.FieldWriteTime(value);
    duz.FieldWriteEnd();
}

}  // namespace

void KDuzWriterDuz6::WriteAmbientRenderSettings(KDuzScene* scene) {
    KDuz& duz = *GetFieldFile();
    const KDuzRGBAColor color = scene->GetGlobalLightSettings()->GetAmbientColor();
    duz.FieldWriteBegin("AmbientRenderSettings");
    duz.FieldWriteBlockBegin();
    WriteInt(duz, duz6::kVersion, 101);
    duz.FieldWriteBegin("AmbientLightColor");
    duz.FieldWriteDouble(color.mRed);
    duz.FieldWriteDouble(color.mGreen);
    duz.FieldWriteDouble(color.mBlue);
    duz.FieldWriteDouble(color.mAlpha);
    duz.FieldWriteEnd();
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
}

void KDuzWriterDuz6::WriteFogOptions(KDuzScene* scene) {
    KDuz& duz = *GetFieldFile();
    const KDuzGlobalLightSettings& light = *scene->GetGlobalLightSettings();
    duz.FieldWriteBegin("FogOptions");
    duz.FieldWriteBlockBegin();
    WriteInt(duz, "FlogEnable", light.GetFogEnable() ? 1 : 0);
    WriteInt(duz, "FogMode", light.GetFogMode());
    WriteDouble(duz, "FogDensity", light.GetFogDensity());
    WriteDouble(duz, "FogStart", light.GetFogStart());
    WriteDouble(duz, "FogEnd", light.GetFogEnd());
    const KDuzRGBAColor color = light.GetFogColor();
    duz.FieldWriteBegin("FogColor");
    duz.FieldWriteDouble(color.mRed);
    duz.FieldWriteDouble(color.mGreen);
    duz.FieldWriteDouble(color.mBlue);
    duz.FieldWriteDouble(1.0);   // the layout has always stored an opaque fog
    duz.FieldWriteEnd();
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
}

void KDuzWriterDuz6::WriteShadowPlanes(KDuzScene* scene) {
    if (scene->GetGlobalLightSettings()->GetShadowPlaneCount() <= 0) return;
    KDuz& duz = *GetFieldFile();
    duz.FieldWriteBegin("ShadowPlanes");
    duz.FieldWriteBlockBegin();
    WriteShadowPlaneSection(scene);
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
}

void KDuzWriterDuz6::WriteShadowPlaneSection(KDuzScene* scene) {
    KDuz& duz = *GetFieldFile();
    KDuzGlobalLightSettings& light = *scene->GetGlobalLightSettings();
    duz.WriteComment("Shadow Planes Section ");
    duz.WriteComment("----------------------------------------------------");
    WriteInt(duz, duz6::kVersion, 108);
    const int count = light.GetShadowPlaneCount();
    WriteInt(duz, duz6::kCount, count);
    for (int i = 0; i < count; ++i) {
        const KDuzShadowPlane* plane = light.GetShadowPlane(i);
        if (plane == nullptr) continue;
        duz.FieldWriteBegin("Plane");
        for (int k = 0; k < 3; ++k) duz.FieldWriteDouble(plane->mOrigin[k]);
        for (int k = 0; k < 3; ++k) duz.FieldWriteDouble(plane->mNormal[k]);
        duz.FieldWriteInt(plane->mEnable ? 1 : 0);
        duz.FieldWriteEnd();
    }
    WriteInt(duz, "UseShadow", light.GetCastShadows() ? 1 : 0);
    WriteDouble(duz, "ShadowIntensity", light.GetShadowIntensity());
}

void KDuzWriterDuz6::WriteTimeSettings(KDuzScene* scene) {
    KDuz& duz = *GetFieldFile();
    const KDuzGlobalTimeSettings& time = *scene->GetGlobalTimeSettings();
    duz.FieldWriteBegin("Settings");
    duz.FieldWriteBlockBegin();
    const char* frameRate = KTimeModeToName(time.GetTimeMode());
    duz.FieldWriteNamedString("FrameRate", frameRate != nullptr ? frameRate : "");
    WriteInt(duz, "TimeFormat", time.GetTimeFormat());
    WriteInt(duz, "SnapOnFrames", time.GetSnapOnFrames());
    WriteInt(duz, "ReferenceTimeIndex", time.GetCurrentTimeMarker());
    const KDuzTimeSpan span = time.GetTimelineDefaultTimeSpan();
    WriteTime(duz, "TimeLineStartTime", span.mStart);
    WriteTime(duz, "TimeLineStopTime", span.mStop);
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
}

void KDuzWriterDuz6::WriteRendererSetting(KDuzScene* scene) {
    KDuz& duz = *GetFieldFile();
    const KDuzGlobalCameraSettings& camera = *scene->GetGlobalCameraSettings();
    duz.FieldWriteBegin("RendererSetting");
    duz.FieldWriteBlockBegin();
    const char* name = camera.GetDefaultCamera();
    duz.FieldWriteNamedString("DefaultCamera", name != nullptr ? name : "");
    WriteInt(duz, "DefaultViewingMode", camera.GetDefaultViewingMode());
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
}

bool KDuzWriterDuz6::WriteCameraSwitcherBody(KDuzCameraSwitcher* switcher) {
    KDuz& duz = *GetFieldFile();
    WriteInt(duz, duz6::kVersion, duz6::kCameraSwitcherVersion);
    duz.FieldWriteNamedString("Name", "Model::Camera Switcher");
    WriteInt(duz, "CameraId", switcher->GetDefaultCameraIndex());
    WriteInt(duz, "CameraName", 100);
    duz.FieldWriteBegin("CameraIndexName");
    for (int i = 0; i < switcher->GetCameraNameCount(); ++i) {
        const char* name = switcher->GetCameraName(i);
        duz.FieldWriteString(name != nullptr ? name : "");
    }
    duz.FieldWriteEnd();
    return true;
}

}  // namespace duzsdk
