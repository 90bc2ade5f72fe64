// Scene-wide settings of version 6 files kept in blocks from version 5
// files ("Version5": ambient light, fog, shadow planes, time, renderer) and
// the list of cameras of the camera switcher ("Switcher").
#include <cstring>

#include "sdk/base/KTimeModes.h"
#include "sdk/duz/KDuz6FieldHelpers.h"
#include "sdk/duz/KDuzReaderDuz6.h"
#include "sdk/scene/KDuzCameraSwitcher.h"
#include "sdk/scene/KDuzGlobalCameraSettings.h"
#include "sdk/scene/KDuzGlobalLightSettings.h"
#include "sdk/scene/KDuzGlobalTimeSettings.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

namespace duzsdk {

namespace {

// The cameras of the global camera settings that files may name with the
// model prefix.
constexpr const char* kFixedCameraNames[] = {"Producer Perspective", "Producer Top",  "Producer Bottom",
                                             "Producer Front",       "Producer Back", "Producer Right",
                                             "Producer Left",        "Camera Switcher"};

// Four doubles of the named field as a colour; white when it is missing.
KDuzRGBAColor ReadColor(KDuz& duz, const char* name) {
    double rgba[4] = {1.0, 1.0, 1.0, 1.0};
    KDuz6ReadDoublesField(duz, name, rgba, 4);
    return KDuzRGBAColor(rgba[0], rgba[1], rgba[2], rgba[3]);
}

// Enters the block of the named field; false (the field ended) when either
// is missing.
bool EnterBlock(KDuz& duz, const char* name) {
    if (!duz.FieldReadBegin(name)) return false;
    if (duz.FieldReadBlockBegin()) return true;
    duz.FieldReadEnd();
    return false;
}

void LeaveBlock(KDuz& duz) {
    duz.FieldReadBlockEnd();
    duz.FieldReadEnd();
}

}  // namespace

// ---- light settings -----------------------------------------------------------

bool KDuzReaderDuz6::ReadGlobalLightSettings(KDuzScene* scene) {
    KDuzGlobalLightSettings* settings = scene != nullptr ? scene->GetGlobalLightSettings() : nullptr;
    if (settings == nullptr) return false;
    settings->RestoreDefaultSettings();
    ReadAmbientRenderSettings(scene);
    ReadFogOptions(scene);
    ReadShadowPlanes(scene);
    return true;
}

bool KDuzReaderDuz6::ReadAmbientRenderSettings(KDuzScene* scene) {
    KDuz* duz = GetFieldFile();
    KDuzGlobalLightSettings* settings = scene != nullptr ? scene->GetGlobalLightSettings() : nullptr;
    if (duz == nullptr || settings == nullptr || !duz->FieldReadBegin("AmbientRenderSettings")) return true;
    // The block may be empty: the ambient colour is then white.
    KDuzRGBAColor color(1.0, 1.0, 1.0, 1.0);
    if (duz->FieldReadBlockBegin()) {
        color = ReadColor(*duz, "AmbientLightColor");
        duz->FieldReadBlockEnd();
    }
    duz->FieldReadEnd();
    settings->SetAmbientColor(color);
    return true;
}

bool KDuzReaderDuz6::ReadFogOptions(KDuzScene* scene) {
    KDuz* duz = GetFieldFile();
    KDuzGlobalLightSettings* settings = scene != nullptr ? scene->GetGlobalLightSettings() : nullptr;
    if (duz == nullptr || settings == nullptr || !EnterBlock(*duz, "FogOptions")) return true;
    // The enable field has always been spelled so.
    settings->SetFogEnable(duz->FieldReadIntOrDefault("FlogEnable", 0) != 0);
    settings->SetFogMode(duz->FieldReadIntOrDefault("FogMode", 0));
    settings->SetFogDensity(duz->FieldReadDoubleOrDefault("FogDensity", 0.0));
    // A file's end goes in first: a start checked against the end it
    // replaces would lose a start beyond the old end.
    const double start = duz->FieldReadDoubleOrDefault("FogStart", 0.0);
    if (duz->FieldGetInstanceCount("FogEnd") > 0) {
        settings->SetFogEnd(duz->FieldReadDoubleOrDefault("FogEnd", 0.0));
        settings->SetFogStart(start);
    } else {
        settings->SetFogStart(start);
        settings->SetFogEnd(0.0);
    }
    settings->SetFogColor(ReadColor(*duz, "FogColor"));
    LeaveBlock(*duz);
    return true;
}

bool KDuzReaderDuz6::ReadShadowPlanes(KDuzScene* scene) {
    KDuz* duz = GetFieldFile();
    KDuzGlobalLightSettings* settings = scene != nullptr ? scene->GetGlobalLightSettings() : nullptr;
    if (duz == nullptr || settings == nullptr) return true;
    settings->RemoveAllShadowPlanes();
    if (!EnterBlock(*duz, "ShadowPlanes")) return true;
    const int count = duz->FieldReadIntOrDefault("Count", 0);
    if (count >= 1) {
        // The count is the file's word; the planes that are really there
        // bound the walk.
        for (int i = 0; i < count && duz->FieldReadBegin("Plane"); ++i) {
            KDuzShadowPlane plane;
            double values[6] = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
            duz->FieldReadDoubles(values, 6);
            plane.mOrigin = KgeTVector(values[0], values[1], values[2], 0.0);
            plane.mNormal = KgeTVector(values[3], values[4], values[5], 0.0);
            plane.mEnable = duz->FieldReadInt() != 0;
            settings->AddShadowPlane(plane);
            duz->FieldReadEnd();
        }
        settings->SetCastShadows(duz->FieldReadIntOrDefault("UseShadow", 0) != 0);
        settings->SetShadowIntensity(duz->FieldReadDoubleOrDefault("ShadowIntensity", 0.0));
    }
    LeaveBlock(*duz);
    return true;
}

// ---- time settings --------------------------------------------------------------

bool KDuzReaderDuz6::ReadTimeSettings(KDuzScene* scene) {
    KDuz* duz = GetFieldFile();
    KDuzGlobalTimeSettings* settings = scene != nullptr ? scene->GetGlobalTimeSettings() : nullptr;
    if (settings == nullptr) return false;
    settings->RestoreDefaultSettings();
    if (duz == nullptr || !duz->FieldReadBegin("Settings")) return true;
    if (duz->FieldReadBlockBegin()) {
        const KString frameRate(duz->FieldReadStringOrDefault("FrameRate", "0.0"));
        if (std::strcmp(frameRate.Buffer(), "0.0") == 0)
            settings->SetTimeMode(
                KTimeModeFromCode(duz->FieldReadIntOrDefault("TimeMode", KTimeModeToCode(settings->GetTimeMode()))));
        else
            settings->SetTimeMode(KTimeModeFromName(frameRate.Buffer()));
        settings->SetTimeFormat(duz->FieldReadIntOrDefault("TimeFormat", settings->GetTimeFormat()));
        settings->SetSnapOnFrames(duz->FieldReadIntOrDefault("SnapOnFrames", settings->GetSnapOnFrames()));
        KDuzTimeSpan span;
        span.mStart = KTime(duz->FieldReadInt64OrDefault("TimeLineStartTime", 0));
        span.mStop = KTime(duz->FieldReadInt64OrDefault("TimeLineStopTime", 46186158000LL));
        settings->SetTimelineDefaultTimeSpan(span);

        const int markers = duz->FieldGetInstanceCount("TimeMarker");
        for (int i = 0; i < markers; ++i) {
            if (duz->FieldReadBeginInstance("TimeMarker", i)) {
                KDuzTimeMarker marker;
                marker.mName = KDuz6StripPrefix(duz->FieldReadString());
                if (duz->FieldReadBlockBegin()) {
                    marker.mTime = duz->FieldReadTimeByName("Time");
                    marker.mLoop = duz->FieldReadIntOrDefault("Loop", 0) != 0;
                    duz->FieldReadBlockEnd();
                    settings->AddTimeMarker(marker);
                }
                duz->FieldReadEnd();
            }
        }
        // The current marker, once every marker is in (a field read by name
        // is consumed, so it is read once); the settings refuse an index
        // outside their markers.
        if (settings->GetTimeMarkerCount() > 0 && duz->FieldReadBeginInstance("ReferenceTimeIndex", 0)) {
            settings->SetCurrentTimeMarker(duz->FieldReadInt());
            duz->FieldReadEnd();
        }
        duz->FieldReadBlockEnd();
    }
    duz->FieldReadEnd();
    return true;
}

// ---- renderer settings ----------------------------------------------------------

KString KDuzReaderDuz6::StripProducerCameraPrefix(const char* name) {
    if (name == nullptr) return KString("");
    static const char kPrefix[] = "Model::";
    if (std::strncmp(name, kPrefix, sizeof kPrefix - 1) == 0)
        for (const char* fixed : kFixedCameraNames)
            if (std::strcmp(name + sizeof kPrefix - 1, fixed) == 0) return KString(fixed);
    return KString(name);
}

bool KDuzReaderDuz6::ReadRendererSetting(KDuzScene* scene) {
    KDuz* duz = GetFieldFile();
    KDuzGlobalCameraSettings* settings = scene != nullptr ? scene->GetGlobalCameraSettings() : nullptr;
    if (duz == nullptr || settings == nullptr || !EnterBlock(*duz, "RendererSetting")) return true;
    const KString camera =
        StripProducerCameraPrefix(KDuz6StripPrefix(duz->FieldReadStringOrDefault("DefaultCamera",
                                                                                   settings->GetDefaultCamera()))
                                      .Buffer());
    // The settings accept only the fixed names and the scene's nodes.
    settings->SetDefaultCamera(camera.Buffer());
    settings->SetDefaultViewingMode(
        duz->FieldReadIntOrDefault("DefaultViewingMode", settings->GetDefaultViewingMode()));
    LeaveBlock(*duz);
    return true;
}

// ---- camera switcher ------------------------------------------------------------

bool KDuzReaderDuz6::ReadCameraSwitcherSection(KDuzScene* scene) {
    KDuz* duz = GetFieldFile();
    if (duz == nullptr || scene == nullptr || !EnterBlock(*duz, "Switcher")) return true;
    // Without a switcher node or attribute there is nothing to fill.
    KDuzNode* node = scene->GetCameraSwitcherNode();
    if (auto* switcher = node != nullptr ? dynamic_cast<KDuzCameraSwitcher*>(node->GetCameraSwitcher()) : nullptr)
        ReadCameraSwitcher(switcher);
    LeaveBlock(*duz);
    return true;
}

bool KDuzReaderDuz6::ReadCameraSwitcher(KDuzCameraSwitcher* switcher) {
    KDuz* duz = GetFieldFile();
    if (duz == nullptr || switcher == nullptr) return false;
    switcher->SetDefaultCameraIndex(duz->FieldReadIntOrDefault("CameraId", 0));
    switcher->ClearCameraNames();
    if (duz->FieldReadBegin("CameraIndexName")) {
        for (int i = duz->FieldReadGetValueCount(); i > 0; --i)
            switcher->AddCameraName(KDuz6StripPrefix(duz->FieldReadString()).Buffer());
        duz->FieldReadEnd();
    }
    return true;
}

}  // namespace duzsdk
