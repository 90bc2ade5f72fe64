// The blocks that frame a version 6 file: "Definitions", the password, the
// "Summary" at the end of a plain binary file, "SceneInfo" and "Thumbnail".
#include <cstring>

#include "sdk/base/KDynamicArray.h"
#include "sdk/duz/KDuz6RecordNames.h"
#include "sdk/duz/KDuz6FieldHelpers.h"
#include "sdk/duz/KDuzSharedWriteRecords.h"
#include "sdk/duz/KDuzWriterDuz6.h"
#include "sdk/io/IDuzObject.h"
#include "sdk/io/KDuzStreamOptionsDuz.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzProperty.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"
#include "sdk/scene/KDuzSceneInfo.h"
#include "sdk/scene/KDuzTakeDescription.h"
#include "sdk/scene/KDuzThumbnail.h"

namespace duzsdk {

namespace {

void WriteObjectType(KDuz& duz, const char* kind, int count) {
    duz.FieldWriteBegin(duz6::kObjectType);
    duz.FieldWriteString(kind);
    duz.FieldWriteBlockBegin();
    KDuz6WriteIntField(duz, duz6::kCount, count);
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
}

}  // namespace

bool KDuzWriterDuz6::WriteDefinitions(KDuzScene* scene) {
    KDuz& duz = *GetFieldFile();
    WriteBanner(" Object definitions", 66);
    duz.FieldWriteBegin(duz6::kDefinitions);
    duz.FieldWriteBlockBegin();

    const int models = scene->GetNodeCount() + 7;
    const int geometries = Option("MODEL") ? scene->GetSrcObjectCount(KDuzClassIdOf(eDuzClassGeometry)) : 0;
    const int weightedMaps =
        Option("MODEL") ? scene->GetSrcObjectCount(KDuzClassIdOf(eDuzClassGeometryWeightedMap)) : 0;
    const int genericNodes = scene->GetGenericNodeCount();
    const int materials = Option("MATERIAL") ? scene->GetMaterialCount() : 0;
    const int textures = Option("TEXTURE") ? scene->GetTextureCount() : 0;
    const int videos = Option("MEDIA") ? scene->GetVideoCount() : 0;
    // The "Cache" records are counted: one per cache object.
    const int deformers = Option("LINK") ? scene->GetSrcObjectCount(KDuzClassIdOf(eDuzClassDeformer)) +
                                               scene->GetSrcObjectCount(KDuzClassIdOf(eDuzClassSubDeformer))
                                         : 0;
    const int caches = Option("LINK") ? scene->GetSrcObjectCount(KDuzClassIdOf(eDuzClassCache)) : 0;
    const int sceneInfo = scene->GetSceneInfo() != nullptr ? 1 : 0;
    const int poses = scene->GetPoseCount();
    const bool character = Option("CHARACTER");
    const bool constraint = Option("CONSTRAINT");
    const int characters = character ? scene->GetCharacterCount() : 0;
    const int plugs = character ? scene->GetControlSetPlugCount() : 0;
    const int allConstraints = scene->GetSrcObjectCount(KDuzClassIdOf(eDuzClassConstraint));
    const int constraints = character && constraint ? allConstraints
                            : character             ? scene->GetCharacterCount()
                            : constraint            ? allConstraints - scene->GetCharacterCount()
                                                    : 0;
    const int total = models + genericNodes + geometries + weightedMaps + materials + textures + videos + deformers +
                      caches + sceneInfo + poses + characters + plugs;

    KDuz6WriteIntField(duz, duz6::kVersion, duz6::kDefinitionsVersion);
    KDuz6WriteIntField(duz, duz6::kCount, total);
    WriteObjectType(duz, duz6::kModel, models);
    if (geometries > 0) WriteObjectType(duz, duz6::kGeometry, geometries);
    if (weightedMaps > 0) WriteObjectType(duz, duz6::kGeometryWeightedMap, weightedMaps);
    if (genericNodes > 0) WriteObjectType(duz, duz6::kGenericNode, genericNodes);
    if (materials > 0) WriteObjectType(duz, duz6::kMaterial, materials);
    if (textures > 0) WriteObjectType(duz, duz6::kTexture, textures);
    if (videos > 0) WriteObjectType(duz, duz6::kVideo, videos);
    if (sceneInfo > 0) WriteObjectType(duz, duz6::kSceneInfo, 1);
    if (deformers > 0) WriteObjectType(duz, duz6::kDeformer, deformers);
    if (caches > 0) WriteObjectType(duz, duz6::kCache, caches);
    if (poses > 0) WriteObjectType(duz, duz6::kPose, poses);
    if (plugs > 0) WriteObjectType(duz, duz6::kControlSetPlug, plugs);
    if (constraints > 0) WriteObjectType(duz, duz6::kConstraint, constraints);
    WriteObjectType(duz, duz6::kGlobalSettings, 1);

    duz.FieldWriteBlockEnd();
    return duz.FieldWriteEnd() == 0;
}

void KDuzWriterDuz6::WritePassword() {
    KDuzWritePasswordOption(*GetFieldFile(), mOptions);
}

bool KDuzWriterDuz6::WriteSummary(KDuzScene* scene, int mediaCount) {
    if (scene == nullptr) return false;
    return KDuzWriteSummaryRecord(*GetFieldFile(), scene, mOptions, mediaCount,
                                  scene->GetSrcObjectCount(KDuzClassIdOf(eDuzClassConstraint)));
}

void KDuzWriterDuz6::WriteSceneInfo(const KDuzSceneInfo* info) {
    KDuzWriteSceneInfo(*GetFieldFile(), info);
}

bool KDuzWriterDuz6::WriteThumbnail(const KDuzThumbnail* thumbnail) {
    KDuzWriteThumbnail(*GetFieldFile(), thumbnail);
    return true;
}

}  // namespace duzsdk
