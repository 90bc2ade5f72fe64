// The "Objects" section of a version 6 file: one record per scene object,
// grouped by kind in a fixed order.
#include "sdk/duz/KDuz6RecordNames.h"
#include "sdk/duz/KDuz6FieldHelpers.h"
#include "sdk/duz/KDuzWriterDuz6.h"
#include "sdk/io/IDuzObject.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/scene/KDuzGenericNode.h"
#include "sdk/scene/KDuzGlobalCameraSettings.h"
#include "sdk/scene/KDuzGlobalSettings.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNodeAttribute.h"
#include "sdk/scene/KDuzPose.h"
#include "sdk/scene/KDuzScene.h"

namespace duzsdk {

namespace {

void CloseRecord(KDuz& duz) {
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
}

// The producer cameras in the order the objects section lists them.
constexpr int kProducerOrder[] = {
    KDuzGlobalCameraSettings::ePerspective, KDuzGlobalCameraSettings::eTop,  KDuzGlobalCameraSettings::eBottom,
    KDuzGlobalCameraSettings::eFront,       KDuzGlobalCameraSettings::eBack, KDuzGlobalCameraSettings::eRight,
    KDuzGlobalCameraSettings::eLeft,
};

}  // namespace

bool KDuzWriterDuz6::WriteObjects(KDuzScene* scene) {
    KDuz& duz = *GetFieldFile();
    WriteBanner(" Object properties", 66);
    duz.FieldWriteBegin(duz6::kObjects);
    duz.FieldWriteBlockBegin();

    ReportProgress("Storing models", 0.0f);
    mModelCount = 0;
    mModelTotal = scene->GetSrcObjectCount(KDuzClassIdOf(eDuzClassGeometry)) +
                  scene->GetSrcObjectCount(KDuzClassIdOf(eDuzClassGeometryWeightedMap)) +
                  scene->GetSrcObjectCount(KDuzClassIdOf(eDuzClassCache)) + scene->GetNodeCount() +
                  scene->GetGenericNodeCount() + 6;
    if (scene->GetRootNode() != nullptr) WriteModels(scene, false);

    if (Option("MODEL")) {
        const KClassId geometryClass = KDuzClassIdOf(eDuzClassGeometry);
        for (int i = 0; i < scene->GetSrcObjectCount(geometryClass); ++i) {
            KDuzObject* geometry = scene->GetSrcObject(geometryClass, i);
            if (!IsSeparateGeometry(geometry)) continue;
            WriteRecordHead(duz6::kGeometry, geometry);
            WriteSeparateGeometryBody(geometry);
            CloseRecord(duz);
            ReportProgress(nullptr, Percentage(++mModelCount, mModelTotal));
        }
        WriteWeightedMaps(scene);
    }

    if (KDuzGlobalCameraSettings* cameras = scene->GetGlobalCameraSettings())
        for (int producer : kProducerOrder)
            if (KDuzNode* node = cameras->GetProducerNode(producer)) WriteModel(node);

    WriteGenericNodes(scene);
    WriteSceneInfo(scene->GetSceneInfo());
    WritePoses(scene);
    if (Option("MATERIAL")) WriteMaterials(scene);
    WriteDeformers(scene);
    if (Option("MEDIA")) WriteVideos(scene);
    if (Option("TEXTURE")) WriteTextures(scene);
    WriteCaches(scene);
    if (Option("CHARACTER")) WriteControlSetPlugs(scene);
    if (Option("CONSTRAINT") || Option("CHARACTER")) WriteConstraints(scene);
    WriteGlobalSettings(scene);

    duz.FieldWriteBlockEnd();
    return duz.FieldWriteEnd() == 0;
}

bool KDuzWriterDuz6::WriteModels(KDuzScene* scene, bool includeRoot) {
    bool all = true;
    KDuzNode* root = scene->GetRootNode();
    for (KDuzObject* object : Sources(scene, KDuzNode::ClassId())) {
        auto* node = static_cast<KDuzNode*>(object);
        if (node == root && !includeRoot) continue;
        ReportProgress(nullptr, Percentage(mModelCount, mModelTotal));
        ++mModelCount;
        if (!WriteModel(node)) all = false;
    }
    return all;
}

bool KDuzWriterDuz6::WriteModel(KDuzNode* node) {
    KDuz& duz = *GetFieldFile();
    WriteModelHead(node);
    WriteModelVersion(node);
    WriteNodeProperties(node);
    KDuz6WriteIntField(duz, "MultiLayer", node->GetMultiLayer() ? 1 : 0);
    KDuz6WriteIntField(duz, "MultiTake", node->GetMultiTake());
    if (!node->GetVisibility()) duz.FieldWriteNamedString("Hidden", "True");
    static constexpr char kShadingLetters[] = {0, 'W', 'F', 'Y', 'T', 'U'};
    const int shading = node->GetShadingMode();
    if (shading >= 1 && shading <= 5) {
        duz.FieldWriteBegin("Shading");
        duz.FieldWriteChar(kShadingLetters[shading]);
        duz.FieldWriteEnd();
    }
    WriteCulling(node);
    if (!IsSeparateGeometry(node->GetNodeAttribute())) WriteNodeAttribute(node);
    CloseRecord(duz);
    return true;
}

void KDuzWriterDuz6::WriteGenericNodes(KDuzScene* scene) {
    KDuz& duz = *GetFieldFile();
    for (KDuzObject* node : Sources(scene, KDuzGenericNode::ClassId())) {
        WriteRecordHead(duz6::kGenericNode, node);
        KDuz6WriteIntField(duz, duz6::kVersion, duz6::kGenericNodeVersion);
        WriteProperties(node);
        CloseRecord(duz);
    }
}

void KDuzWriterDuz6::WritePoses(KDuzScene* scene) {
    KDuz& duz = *GetFieldFile();
    for (KDuzObject* object : Sources(scene, KDuzPose::ClassId())) {
        auto* pose = static_cast<KDuzPose*>(object);
        WriteRecordHead(duz6::kPose, pose);
        duz.FieldWriteNamedString("Type", pose->IsBindPose() ? "BindPose" : "RestPose");
        KDuz6WriteIntField(duz, duz6::kVersion, duz6::kPoseVersion);
        WriteProperties(pose);
        WritePoseBody(pose);
        CloseRecord(duz);
    }
}

void KDuzWriterDuz6::WriteGlobalSettings(KDuzScene* scene) {
    KDuzGlobalSettings* settings = scene->GetGlobalSettings();
    if (settings == nullptr) return;
    KDuz& duz = *GetFieldFile();
    duz.FieldWriteBegin(duz6::kGlobalSettings);
    duz.FieldWriteBlockBegin();
    KDuz6WriteIntField(duz, duz6::kVersion, duz6::kGlobalSettingsVersion);
    // Brings the axis system up to date from the settings' properties.
    settings->GetAxisSystem();
    WriteProperties(settings);
    CloseRecord(duz);
}


}  // namespace duzsdk
