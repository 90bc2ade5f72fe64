// The "Version5" blocks that repeat the scene's global settings in the
// version 5 layout, and the camera switcher's body inside its model record.
#include "sdk/base/KTimeModes.h"
#include "sdk/duz/KDuz6RecordNames.h"
#include "sdk/duz/KDuz6FieldHelpers.h"
#include "sdk/duz/KDuzWriterDuz6.h"
#include "sdk/io/IDuzObject.h"
#include "sdk/scene/KDuzCameraSwitcher.h"
#include "sdk/scene/KDuzGlobalCameraSettings.h"
#include "sdk/scene/KDuzGlobalLightSettings.h"
#include "sdk/scene/KDuzGlobalTimeSettings.h"
#include "sdk/scene/KDuzScene.h"

namespace duzsdk {

namespace {

}  // namespace

void KDuzWriterDuz6::WriteAmbientRenderSettings(KDuzScene* scene) {
    KDuz& duz = *GetFieldFile();
    const KDuzRGBAColor color = scene->GetGlobalLightSettings()->GetAmbientColor();
    duz.FieldWriteBegin("AmbientRenderSettings");
    duz.FieldWriteBlockBegin();
    KDuz6WriteIntField(duz, duz6::kVersion, 101);
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
    KDuz6WriteIntField(duz, "FlogEnable", light.GetFogEnable() ? 1 : 0);
    KDuz6WriteIntField(duz, "FogMode", light.GetFogMode());
    KDuz6WriteDoubleField(duz, "FogDensity", light.GetFogDensity());
    KDuz6WriteDoubleField(duz, "FogStart", light.GetFogStart());
    KDuz6WriteDoubleField(duz, "FogEnd", light.GetFogEnd());
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
    KDuz6WriteIntField(duz, duz6::kVersion, 108);
    const int count = light.GetShadowPlaneCount();
    KDuz6WriteIntField(duz, duz6::kCount, count);
    for (int i = 0; i < count; ++i) {
        const KDuzShadowPlane* plane = light.GetShadowPlane(i);
        if (plane == nullptr) continue;
        duz.FieldWriteBegin("Plane");
        for (int k = 0; k < 3; ++k) duz.FieldWriteDouble(plane->mOrigin[k]);
        for (int k = 0; k < 3; ++k) duz.FieldWriteDouble(plane->mNormal[k]);
        duz.FieldWriteInt(plane->mEnable ? 1 : 0);
        duz.FieldWriteEnd();
    }
    KDuz6WriteIntField(duz, "UseShadow", light.GetCastShadows() ? 1 : 0);
    KDuz6WriteDoubleField(duz, "ShadowIntensity", light.GetShadowIntensity());
}

void KDuzWriterDuz6::WriteTimeSettings(KDuzScene* scene) {
    KDuz& duz = *GetFieldFile();
    const KDuzGlobalTimeSettings& time = *scene->GetGlobalTimeSettings();
    duz.FieldWriteBegin("Settings");
    duz.FieldWriteBlockBegin();
    const char* frameRate = KTimeModeToName(time.GetTimeMode());
    duz.FieldWriteNamedString("FrameRate", frameRate != nullptr ? frameRate : "");
    KDuz6WriteIntField(duz, "TimeFormat", time.GetTimeFormat());
    KDuz6WriteIntField(duz, "SnapOnFrames", time.GetSnapOnFrames());
    KDuz6WriteIntField(duz, "ReferenceTimeIndex", time.GetCurrentTimeMarker());
    const KDuzTimeSpan span = time.GetTimelineDefaultTimeSpan();
    KDuz6WriteTimeField(duz, "TimeLineStartTime", span.mStart);
    KDuz6WriteTimeField(duz, "TimeLineStopTime", span.mStop);
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
    KDuz6WriteIntField(duz, "DefaultViewingMode", camera.GetDefaultViewingMode());
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
}

bool KDuzWriterDuz6::WriteCameraSwitcherBody(KDuzCameraSwitcher* switcher) {
    KDuz& duz = *GetFieldFile();
    KDuz6WriteIntField(duz, duz6::kVersion, duz6::kCameraSwitcherVersion);
    duz.FieldWriteNamedString("Name", "Model::Camera Switcher");
    KDuz6WriteIntField(duz, "CameraId", switcher->GetDefaultCameraIndex());
    KDuz6WriteIntField(duz, "CameraName", 100);
    duz.FieldWriteBegin("CameraIndexName");
    for (int i = 0; i < switcher->GetCameraNameCount(); ++i) {
        const char* name = switcher->GetCameraName(i);
        duz.FieldWriteString(name != nullptr ? name : "");
    }
    duz.FieldWriteEnd();
    return true;
}

}  // namespace duzsdk
