// The blocks that frame a version 6 file: "Definitions", the password, the
// "Summary" at the end of a plain binary file, "SceneInfo" and "Thumbnail".
#include <cstring>

#include "sdk/base/KDynamicArray.h"
#include "sdk/duz/KDuz6RecordNames.h"
#include "sdk/duz/KDuz6FieldHelpers.h"
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
    if (!Option("PASSWORD ENABLE") || mOptions == nullptr) return;
    const KString password = mOptions->GetStringOption("PASSWORD");
    if (password.IsEmpty()) return;
    GetFieldFile()->WritePassword(password.Buffer());
}

bool KDuzWriterDuz6::WriteSummary(KDuzScene* scene, int mediaCount) {
    KDuz& duz = *GetFieldFile();
    if (scene == nullptr || !duz.ProjectCreateSection(false)) return false;
    duz.FieldWriteBegin(duz6::kSummary);
    duz.FieldWriteBlockBegin();
    KDuz6WriteIntField(duz, duz6::kVersion, duz6::kSummaryVersion);

    bool isTemplate = false;
    for (KDuzObject* node : Sources(scene, KDuzNode::ClassId())) {
        if (isTemplate) break;
        const KString full = node->GetNameWithPrefix();
        const char* colon = std::strrchr(full.Buffer(), ':');
        isTemplate = std::strcmp(colon != nullptr ? colon + 1 : full.Buffer(), "~duzexport~") == 0;
    }
    if (mOptions != nullptr) mOptions->SetBoolOption("TEMPLATE", isTemplate);
    KDuz6WriteIntField(duz, "Template", isTemplate ? 1 : 0);
    const bool protectedFile =
        Option("PASSWORD ENABLE") && mOptions != nullptr && !mOptions->GetStringOption("PASSWORD").IsEmpty();
    KDuz6WriteIntField(duz, "PasswordProtection", protectedFile ? 1 : 0);

    duz.FieldWriteBegin("ContentCount");
    duz.FieldWriteBlockBegin();
    duz.FieldWriteNamedString(duz6::kVersion, "100");
    KDuzNode* root = scene->GetRootNode();
    KDuz6WriteIntField(duz, "Model", root != nullptr ? root->GetChildCount(true) : 0);
    KDuz6WriteIntField(duz, "Device", 0);
    KDuz6WriteIntField(duz, "Character", scene->GetCharacterCount());
    KDuz6WriteIntField(duz, "Actor", 0);
    KDuz6WriteIntField(duz, "Constraint", scene->GetSrcObjectCount(KDuzClassIdOf(eDuzClassConstraint)));
    KDuz6WriteIntField(duz, "Media", mediaCount);
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();

    WriteSceneInfo(scene->GetSceneInfo());

    duz.FieldWriteBegin(duz6::kTakes);
    duz.FieldWriteBlockBegin();
    KDuz6WriteIntField(duz, duz6::kVersion, duz6::kTakesVersion);
    duz.FieldWriteNamedString("Current", scene->GetCurrentTakeName());
    KPointerArray<KString> names;
    scene->FillTakeNameList(names);
    for (int i = 0; i < names.Count(); ++i) {
        const KString& name = *names[i];
        if (name == KString("Default")) continue;
        const KDuzTakeDescription* take = scene->GetTakeDescription(name);
        if (take == nullptr || !take->select) continue;
        duz.FieldWriteBegin("Take");
        duz.FieldWriteString(take->name.Buffer());
        duz.FieldWriteBlockBegin();
        if (!take->comments.IsEmpty()) duz.FieldWriteNamedString("Comments", take->comments.Buffer());
        duz.FieldWriteBegin("LocalTime");
        duz.FieldWriteTimeSpan(take->localStart, take->localStop);
        duz.FieldWriteEnd();
        duz.FieldWriteBegin("ReferenceTime");
        duz.FieldWriteTimeSpan(take->referenceStart, take->referenceStop);
        duz.FieldWriteEnd();
        if (take->thumbnail != nullptr) WriteThumbnail(take->thumbnail);
        duz.FieldWriteBlockEnd();
        duz.FieldWriteEnd();
    }
    for (int i = 0; i < names.Count(); ++i) delete names[i];
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();

    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
    duz.FinishBeforeClose();
    return true;
}

void KDuzWriterDuz6::WriteSceneInfo(const KDuzSceneInfo* info) {
    if (info == nullptr) return;
    KDuz& duz = *GetFieldFile();
    duz.FieldWriteBegin(duz6::kSceneInfo);
    duz.FieldWriteString("SceneInfo::GlobalInfo");
    duz.FieldWriteString("UserData");
    duz.FieldWriteBlockBegin();
    duz.FieldWriteNamedString("Type", "UserData");
    KDuz6WriteIntField(duz, duz6::kVersion, 100);
    if (info->GetSceneThumbnail() != nullptr) WriteThumbnail(info->GetSceneThumbnail());
    duz.FieldWriteBegin("MetaData");
    duz.FieldWriteBlockBegin();
    KDuz6WriteIntField(duz, duz6::kVersion, 100);
    duz.FieldWriteNamedString("Title", info->title.Buffer());
    duz.FieldWriteNamedString("Subject", info->subject.Buffer());
    duz.FieldWriteNamedString("Author", info->author.Buffer());
    duz.FieldWriteNamedString("Keywords", info->keywords.Buffer());
    duz.FieldWriteNamedString("Revision", info->revision.Buffer());
    duz.FieldWriteNamedString("Comment", info->comment.Buffer());
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
}

bool KDuzWriterDuz6::WriteThumbnail(const KDuzThumbnail* thumbnail) {
    if (thumbnail == nullptr || thumbnail->GetSize() == 0) return true;
    KDuz& duz = *GetFieldFile();
    duz.FieldWriteBegin("Thumbnail");
    duz.FieldWriteBlockBegin();
    KDuz6WriteIntField(duz, duz6::kVersion, 100);
    KDuz6WriteIntField(duz, "Format", thumbnail->GetDataFormat());
    KDuz6WriteIntField(duz, "Size", thumbnail->GetSize());
    KDuz6WriteIntField(duz, "ImageEncoding", 0);
    duz.FieldWriteBegin("ImageData");
    const unsigned char* image = thumbnail->GetThumbnailImage();
    const int length = image != nullptr ? thumbnail->GetSizeInBytes() : 0;
    for (int i = 0; i < length; ++i) duz.FieldWriteInt(image[i]);
    duz.FieldWriteEnd();
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
    return true;
}

}  // namespace duzsdk
