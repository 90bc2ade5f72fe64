// The walk that writes one version 5 "Model" record per node, and the
// scene-level blocks: "Switcher", renderer and time settings with the
// producer cameras, "SceneGenericPersistence", gobos, global settings and
// the closing "Summary".
#include <cstring>
#include <string>
#include <unordered_map>

#include "sdk/base/KDynamicArray.h"
#include "sdk/base/KTimeModes.h"
#include "sdk/duz/KDuz6FieldHelpers.h"
#include "sdk/duz/KDuzSharedWriteRecords.h"
#include "sdk/duz/KDuz5RecordNames.h"
#include "sdk/duz/KDuzWriterDuz.h"
#include "sdk/geometry/KDuzGeometryConverter.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzNurb.h"
#include "sdk/geometry/KDuzNurbsSurface.h"
#include "sdk/geometry/KDuzPatch.h"
#include "sdk/io/IDuzObject.h"
#include "sdk/io/KDuzStreamOptionsDuz.h"
#include "sdk/scene/KDuzCamera.h"
#include "sdk/scene/KDuzCameraSwitcher.h"
#include "sdk/scene/KDuzGlobalCameraSettings.h"
#include "sdk/scene/KDuzGlobalLightSettings.h"
#include "sdk/scene/KDuzGlobalTimeSettings.h"
#include "sdk/scene/KDuzLight.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNodeAttribute.h"
#include "sdk/scene/KDuzNull.h"
#include "sdk/scene/KDuzScene.h"
#include "sdk/scene/KDuzSkeleton.h"

namespace duzsdk {

namespace {

struct GoboLink {
    KDuzNode* light;
    int record;
};

}  // namespace

void KDuzWriterDuz::WriteModelTree(KDuzNode* start) {
    // Each node's record comes before its counter step and its children's.
    VisitPreOrder(start, [this, start](KDuzNode* node) {
        if (node != start) WriteModel(node);
        ReportProgress(nullptr, Percentage(mModelsStored++, mModelsTotal));
    });
}

void KDuzWriterDuz::WriteModel(KDuzNode* node) {
    WriteModelHead(node);
    WriteModelBody(node);
    WriteDefaultChannels(node);
    WriteChildren(node);
    WriteModelTail(node);
}

void KDuzWriterDuz::WriteModelBody(KDuzNode* node) {
    WriteModelVersion(node);
    WriteLayerAndTakeFlags(node);
    WriteVisibilityAndShading(node);
    KDuzWriteCulling(*GetFieldFile(), node);
    WriteLimits(node);
    WriteLookAt(node);
    WriteAnimatedProperties(node);
    WriteNodeAttribute(node);
    WriteModelProperties(node);
}

bool KDuzWriterDuz::WriteNodeAttribute(KDuzNode* node) {
    KDuzObject* attribute = node->GetNodeAttribute();
    if (attribute == nullptr) return WriteNullAttribute(nullptr);
    const int type = KDuzNode::GetAttributeTypeOf(attribute);
    const bool model = Option("MODEL");
    switch (type) {
        case KDuzNodeAttribute::eNull:
            return WriteNullAttribute(dynamic_cast<KDuzNull*>(attribute));
        case KDuzNodeAttribute::eMarker:
            return WriteMarkerAttribute(node);
        case KDuzNodeAttribute::eSkeleton:
            return WriteSkeletonAttribute(static_cast<KDuzSkeleton*>(attribute));
        case KDuzNodeAttribute::eCamera:
            return WriteCameraAttribute(static_cast<KDuzCamera*>(attribute), false);
        case KDuzNodeAttribute::eCameraSwitcher:
            return WriteCameraSwitcherAttribute(static_cast<KDuzCameraSwitcher*>(attribute));
        case KDuzNodeAttribute::eLight:
            return WriteLightAttribute(static_cast<KDuzLight*>(attribute));
        case KDuzNodeAttribute::eOpticalReference:
            return WriteOpticalReferenceAttribute(node);
        default:
            break;
    }
    // Without geometry (and for kinds this layout cannot hold) the node is
    // written as if it had no attribute.
    if (!model) return WriteNullAttribute(nullptr);
    switch (type) {
        case KDuzNodeAttribute::eMesh:
            return WriteMeshGeometry(static_cast<KDuzMesh*>(attribute));
        case KDuzNodeAttribute::eNurb:
            return WriteNurbGeometry(static_cast<KDuzNurb*>(attribute));
        case KDuzNodeAttribute::ePatch:
            return WritePatchGeometry(static_cast<KDuzPatch*>(attribute));
        case KDuzNodeAttribute::eNurbsSurface:
            return WriteNurbsSurfaceAsNurb(static_cast<KDuzNurbsSurface*>(attribute));
        default:
            return true;
    }
}

// This layout has no NURBS surface record: the surface goes out as the
// equivalent NURB, made beside the caller's scene, rather than not at all.
bool KDuzWriterDuz::WriteNurbsSurfaceAsNurb(KDuzNurbsSurface* surface) {
    KDuzGeometryConverter* converter = KDuzGeometryConverter::Create(GetSdkManager(), "");
    if (converter == nullptr) return true;
    KDuzNurb* nurb = converter->ConvertNurbsSurfaceToNurb(surface);
    converter->Destroy();
    if (nurb == nullptr) return true;
    const bool written = WriteNurbGeometry(nurb);
    nurb->Destroy();
    return written;
}

bool KDuzWriterDuz::WriteCameraSwitcher(KDuzScene* scene) {
    std::vector<KDuzNode*> cameras;
    KDuzNode* root = scene->GetRootNode();
    VisitPreOrder(root, [&cameras, root](KDuzNode* node) {
        KDuzObject* attribute = node->GetNodeAttribute();
        if (node != root && attribute != nullptr &&
            KDuzNode::GetAttributeTypeOf(attribute) == KDuzNodeAttribute::eCamera)
            cameras.push_back(node);
    });
    if (cameras.empty()) return true;
    KDuz& duz = *GetFieldFile();
    duz.FieldWriteBegin(duz5::kSwitcher);
    duz.FieldWriteBlockBegin();
    if (KDuzNode* switcher = scene->GetCameraSwitcherNode()) WriteModelBody(switcher);
    duz.FieldWriteBegin(duz5::kCameraIndexName);
    for (KDuzNode* camera : cameras) duz.FieldWriteKString(camera->GetNameWithPrefix());
    duz.FieldWriteEnd();
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
    return true;
}

void KDuzWriterDuz::WriteRendererSettings(KDuzScene* scene) {
    KDuz& duz = *GetFieldFile();
    KDuzWriteRendererSetting(duz, scene);
    duz.FieldWriteBegin(duz5::kSettings);
    duz.FieldWriteBlockBegin();
    KDuzGlobalCameraSettings& cameras = *scene->GetGlobalCameraSettings();
    static const int kOrder[] = {KDuzGlobalCameraSettings::ePerspective, KDuzGlobalCameraSettings::eTop,
                                 KDuzGlobalCameraSettings::eFront,       KDuzGlobalCameraSettings::eRight,
                                 KDuzGlobalCameraSettings::eLeft,        KDuzGlobalCameraSettings::eBack,
                                 KDuzGlobalCameraSettings::eBottom};
    for (int producer : kOrder) {
        KDuzNode* node = cameras.GetProducerNode(producer);
        KDuzCamera* camera = cameras.GetProducerCamera(producer);
        if (node == nullptr || camera == nullptr) continue;
        duz.FieldWriteBegin("Camera");
        duz.FieldWriteString(KDuzGlobalCameraSettings::ProducerName(producer));
        duz.FieldWriteBlockBegin();
        // The record says hidden and wireframe; the caller's node keeps its
        // own values, so a write leaves the scene as it was.
        const bool visible = node->GetVisibility();
        const int shading = node->GetShadingMode();
        node->SetVisibility(false);
        node->SetShadingMode(1);
        WriteModelVersion(node);
        WriteLayerAndTakeFlags(node);
        WriteVisibilityAndShading(node);
        node->SetVisibility(visible);
        node->SetShadingMode(shading);
        KDuzWriteCulling(duz, node);
        WriteLimits(node);
        WriteModelProperties(node);
        WriteAnimatedProperties(node);
        // The record's name already says what it is: no "Type" text.
        WriteCameraAttribute(camera, true);
        duz.FieldWriteBlockEnd();
        duz.FieldWriteEnd();
    }
    KDuzGlobalTimeSettings& time = *scene->GetGlobalTimeSettings();
    KDuz6WriteIntField(duz, "TimeMode", KTimeModeToCode(time.GetTimeMode()));
    const char* frameRate = KTimeModeToName(time.GetTimeMode());
    duz.FieldWriteNamedString("FrameRate", frameRate != nullptr ? frameRate : "");
    KDuz6WriteIntField(duz, "TimeFormat", time.GetTimeFormat());
    KDuz6WriteIntField(duz, "SnapOnFrames", time.GetSnapOnFrames());
    KDuz6WriteIntField(duz, "ReferenceTimeIndex", time.GetCurrentTimeMarker());
    for (int i = 0; i < time.GetTimeMarkerCount(); ++i) {
        const KDuzTimeMarker* marker = time.GetTimeMarker(i);
        if (marker == nullptr) continue;
        duz.FieldWriteBegin("TimeMarker");
        duz.FieldWriteKString(marker->mName);
        duz.FieldWriteBlockBegin();
        KDuz6WriteTimeField(duz, "Time", marker->mTime);
        KDuz6WriteIntField(duz, "Loop", marker->mLoop ? 1 : 0);
        duz.FieldWriteBlockEnd();
        duz.FieldWriteEnd();
    }
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
}

void KDuzWriterDuz::WriteSceneGenericPersistence(KDuzScene* scene) {
    const bool characters = Option("CHARACTER");
    if (scene->GetPoseCount() == 0 && scene->GetSceneInfo() == nullptr &&
        !(characters && scene->GetCharacterPoseCount() > 0))
        return;
    KDuz& duz = *GetFieldFile();
    duz.FieldWriteBegin(duz5::kSceneGenericPersistence);
    duz.FieldWriteBlockBegin();
    if (characters) WriteCharacterPoses(scene);
    WritePoses(scene);
    KDuzWriteSceneInfo(duz, scene->GetSceneInfo());
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
}

void KDuzWriterDuz::WriteGoboManager(KDuzScene* scene) {
    KDuz& duz = *GetFieldFile();
    duz.FieldWriteBegin(duz5::kGoboManager);
    duz.FieldWriteBlockBegin();
    WriteGobos(scene);
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
}

void KDuzWriterDuz::WriteGobos(KDuzScene* scene) {
    KPointerArray<KDuzNode> lights;
    scene->FillNodeAttributeList(lights, KDuzNodeAttribute::eLight, true);
    std::vector<KDuzGoboRecord> records;
    std::vector<GoboLink> links;
    std::unordered_map<std::string, int> byKey;
    int running = 0;
    for (int i = 0; i < lights.Count(); ++i) {
        auto* light = dynamic_cast<KDuzLight*>(lights[i]->GetNodeAttribute());
        const char* file = light != nullptr ? light->GetFileName() : nullptr;
        if (file == nullptr || file[0] == '\0') continue;
        KDuzGoboRecord record(KStringConcatInt(KString("gobo-"), running++).Buffer());
        record.second = file;
        record.flags[0] = light->GetGroundProjection();
        record.flags[1] = light->GetVolumetricLight();
        record.flags[2] = light->GetFrontVolumetricLight();
        // Lights that share the file and the flags share one record.
        std::string key(file);
        for (bool flag : record.flags) key += flag ? '1' : '0';
        const auto known = byKey.find(key);
        int found = known != byKey.end() ? known->second : -1;
        if (found < 0) {
            found = static_cast<int>(records.size());
            byKey.emplace(key, found);
            records.push_back(record);
        }
        links.push_back({lights[i], found});
    }
    KDuz& duz = *GetFieldFile();
    for (int r = static_cast<int>(records.size()) - 1; r >= 0; --r) {
        const KDuzGoboRecord& record = records[static_cast<size_t>(r)];
        duz.FieldWriteBegin(duz5::kGobo);
        duz.FieldWriteBlockBegin();
        KDuz6WriteIntField(duz, "Version", 250);
        duz.FieldWriteNamedString(duz5::kGoboName, record.name.Buffer());
        duz.FieldWriteNamedString(duz5::kGoboPath, record.second.Buffer());
        duz.FieldWriteBegin(duz5::kDrawComponent);
        for (bool flag : record.flags) duz.FieldWriteInt(flag ? 1 : 0);
        duz.FieldWriteEnd();
        duz.FieldWriteBlockEnd();
        duz.FieldWriteEnd();
    }
    for (const GoboLink& link : links) {
        duz.FieldWriteBegin(duz5::kLightGobo);
        duz.FieldWriteKString(link.light->GetNameWithPrefix());
        duz.FieldWriteKString(records[static_cast<size_t>(link.record)].name);
        duz.FieldWriteEnd();
    }
}

void KDuzWriterDuz::WriteGlobalSettings(KDuzScene* scene) {
    KDuz& duz = *GetFieldFile();
    KDuzWriteAmbientRenderSettings(duz, scene);
    WriteFogOptions(scene);
    KDuzWriteShadowPlanes(duz, scene);
}

void KDuzWriterDuz::WriteFogOptions(KDuzScene* scene) {
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
    duz.FieldWriteDouble(color.mAlpha);
    duz.FieldWriteEnd();
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
}

bool KDuzWriterDuz::WriteSummary(KDuzScene* scene, int mediaCount) {
    if (scene == nullptr) return false;
    // The constraints section writes one constraint per character.
    return KDuzWriteSummaryRecord(*GetFieldFile(), scene, mOptions, mediaCount, scene->GetCharacterCount());
}

}  // namespace duzsdk
