// The "Version5" blocks that repeat the scene's global settings in the
// version 5 layout, and the camera switcher's body inside its model record.
#include "sdk/base/KTimeModes.h"
#include "sdk/duz/KDuz6RecordNames.h"
#include "sdk/duz/KDuz6FieldHelpers.h"
#include "sdk/duz/KDuzSharedWriteRecords.h"
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
    KDuzWriteAmbientRenderSettings(*GetFieldFile(), scene);
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
    KDuzWriteShadowPlanes(*GetFieldFile(), scene);
}

void KDuzWriterDuz6::WriteShadowPlaneSection(KDuzScene* scene) {
    KDuzWriteShadowPlaneSection(*GetFieldFile(), scene);
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
    KDuzWriteRendererSetting(*GetFieldFile(), scene);
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
