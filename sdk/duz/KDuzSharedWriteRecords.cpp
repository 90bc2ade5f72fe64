#include "sdk/duz/KDuzSharedWriteRecords.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "sdk/base/KDynamicArray.h"
#include "sdk/base/KPath.h"
#include "sdk/base/KgeMatrix.h"
#include "sdk/character/KDuzCharacterLink.h"
#include "sdk/duz/KDuz6FieldHelpers.h"
#include "sdk/duz/KDuzWriterDuz.h"
#include "sdk/geometry/KDuzGeometry.h"
#include "sdk/geometry/KDuzImageConverter.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/io/KDuz.h"
#include "sdk/io/KDuzStreamOptionsDuz.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzGlobalCameraSettings.h"
#include "sdk/scene/KDuzGlobalLightSettings.h"
#include "sdk/scene/KDuzMediaContent.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzPose.h"
#include "sdk/scene/KDuzScene.h"
#include "sdk/scene/KDuzSceneInfo.h"
#include "sdk/scene/KDuzTakeDescription.h"
#include "sdk/scene/KDuzThumbnail.h"

namespace duzsdk {

void KDuzWriteBanner(KDuz& duz, const char* title, int dashes) {
    const std::string line(static_cast<size_t>(dashes > 0 ? dashes : 0), '-');
    duz.WriteComment("");
    duz.WriteComment(title);
    duz.WriteComment(line.c_str());
    duz.WriteComment("");
}

void KDuzWriteCulling(KDuz& duz, const KDuzNode* node) {
    const int type = node->GetCullingType();
    duz.FieldWriteNamedString("Culling", type == 1 ? "CullingOnCCW" : type == 2 ? "CullingOnCW" : "CullingOff");
}

void KDuzWriteVertices(KDuz& duz, const KDuzGeometry* geometry) {
    KgeMatrix m;
    geometry->GetPivot(m);
    const double* p = m.Data();
    const KgeTVector* points = geometry->GetControlPoints();
    const int count = geometry->GetControlPointsCount();
    duz.FieldWriteBegin("Vertices");
    for (int i = 0; i < count; ++i) {
        const double x = points[i][0];
        const double y = points[i][1];
        const double z = points[i][2];
        duz.FieldWriteDouble(x * p[0] + y * p[4] + z * p[8] + p[12]);
        duz.FieldWriteDouble(x * p[1] + y * p[5] + z * p[9] + p[13]);
        duz.FieldWriteDouble(x * p[2] + y * p[6] + z * p[10] + p[14]);
    }
    duz.FieldWriteEnd();
}

void KDuzWritePolygonVertexIndex(KDuz& duz, const KDuzMesh* mesh) {
    const KTypedArray<KDuzMeshPolygon>& polygons = mesh->GetPolygonArray();
    const KTypedArray<int>& corners = mesh->GetPolygonVertexArray();
    if (polygons.Count() == 0) return;
    duz.FieldWriteBegin("PolygonVertexIndex");
    const int count = corners.Count();
    int polygon = 0;
    for (int i = 0; i < count; ++i) {
        // The last corner of a polygon is the one right before the next
        // polygon's start, or the array's last.
        while (polygon + 1 < polygons.Count() && polygons[polygon + 1].mStart <= i) ++polygon;
        const bool last = i == count - 1 || (polygon + 1 < polygons.Count() && polygons[polygon + 1].mStart == i + 1);
        duz.FieldWriteInt(last ? ~corners[i] : corners[i]);
    }
    duz.FieldWriteEnd();
}

void KDuzWriteThumbnail(KDuz& duz, const KDuzThumbnail* thumbnail) {
    if (thumbnail == nullptr || thumbnail->GetSize() == 0) return;
    duz.FieldWriteBegin("Thumbnail");
    duz.FieldWriteBlockBegin();
    KDuz6WriteIntField(duz, "Version", 100);
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
}

void KDuzWriteSceneInfo(KDuz& duz, const KDuzSceneInfo* info) {
    if (info == nullptr) return;
    duz.FieldWriteBegin("SceneInfo");
    duz.FieldWriteString("SceneInfo::GlobalInfo");
    duz.FieldWriteString("UserData");
    duz.FieldWriteBlockBegin();
    duz.FieldWriteNamedString("Type", "UserData");
    KDuz6WriteIntField(duz, "Version", 100);
    if (info->GetSceneThumbnail() != nullptr) KDuzWriteThumbnail(duz, info->GetSceneThumbnail());
    duz.FieldWriteBegin("MetaData");
    duz.FieldWriteBlockBegin();
    KDuz6WriteIntField(duz, "Version", 100);
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

void KDuzWriteAmbientRenderSettings(KDuz& duz, KDuzScene* scene) {
    const KDuzRGBAColor color = scene->GetGlobalLightSettings()->GetAmbientColor();
    duz.FieldWriteBegin("AmbientRenderSettings");
    duz.FieldWriteBlockBegin();
    KDuz6WriteIntField(duz, "Version", 101);
    duz.FieldWriteBegin("AmbientLightColor");
    duz.FieldWriteDouble(color.mRed);
    duz.FieldWriteDouble(color.mGreen);
    duz.FieldWriteDouble(color.mBlue);
    duz.FieldWriteDouble(color.mAlpha);
    duz.FieldWriteEnd();
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
}

void KDuzWriteShadowPlanes(KDuz& duz, KDuzScene* scene) {
    if (scene->GetGlobalLightSettings()->GetShadowPlaneCount() <= 0) return;
    duz.FieldWriteBegin("ShadowPlanes");
    duz.FieldWriteBlockBegin();
    KDuzWriteShadowPlaneSection(duz, scene);
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
}

void KDuzWriteShadowPlaneSection(KDuz& duz, KDuzScene* scene) {
    KDuzGlobalLightSettings& light = *scene->GetGlobalLightSettings();
    duz.WriteComment("Shadow Planes Section ");
    duz.WriteComment("----------------------------------------------------");
    KDuz6WriteIntField(duz, "Version", 108);
    const int count = light.GetShadowPlaneCount();
    KDuz6WriteIntField(duz, "Count", count);
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

void KDuzWriteRendererSetting(KDuz& duz, KDuzScene* scene) {
    const KDuzGlobalCameraSettings& camera = *scene->GetGlobalCameraSettings();
    duz.FieldWriteBegin("RendererSetting");
    duz.FieldWriteBlockBegin();
    const char* name = camera.GetDefaultCamera();
    duz.FieldWriteNamedString("DefaultCamera", name != nullptr ? name : "");
    KDuz6WriteIntField(duz, "DefaultViewingMode", camera.GetDefaultViewingMode());
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
}

void KDuzWritePoseNodes(KDuz& duz, const KDuzPose* pose) {
    const int count = pose->GetCount();
    KDuz6WriteIntField(duz, "NbPoseNodes", count);
    for (int i = 0; i < count; ++i) {
        duz.FieldWriteBegin("PoseNode");
        duz.FieldWriteBlockBegin();
        const KDuzNode* node = pose->GetNode(i);
        KString name("Model::");
        if (node != nullptr) name += node->GetName();
        duz.FieldWriteNamedString("Node", name.Buffer());
        duz.FieldWriteBegin("Matrix");
        const KgeMatrix& matrix = pose->GetMatrix(i);
        for (int k = 0; k < 16; ++k) duz.FieldWriteDouble(matrix.Data()[k]);
        duz.FieldWriteEnd();
        if (!pose->IsBindPose()) KDuz6WriteIntField(duz, "Local", pose->IsLocalMatrix(i) ? 1 : 0);
        duz.FieldWriteBlockEnd();
        duz.FieldWriteEnd();
    }
}

bool KDuzPasswordProtects(KDuzStreamOptionsDuzWriter* options) {
    return options != nullptr && options->GetBoolOption("PASSWORD ENABLE", false) &&
           !options->GetStringOption("PASSWORD").IsEmpty();
}

bool KDuzWritePasswordOption(KDuz& duz, KDuzStreamOptionsDuzWriter* options) {
    if (!KDuzPasswordProtects(options)) return false;
    duz.WritePassword(options->GetStringOption("PASSWORD").Buffer());
    return true;
}

bool KDuzDetectTemplate(KDuzScene* scene, KDuzStreamOptionsDuzWriter* options) {
    if (options != nullptr) options->SetBoolOption("TEMPLATE", false);
    std::vector<KDuzObject*> nodes;
    KDuzCollectSrcObjects(scene, KDuzNode::ClassId(), nodes);
    bool isTemplate = false;
    for (KDuzObject* node : nodes) {
        const KString full = node->GetNameWithPrefix();
        const char* colon = std::strrchr(full.Buffer(), ':');
        if (std::strcmp(colon != nullptr ? colon + 1 : full.Buffer(), "~duzexport~") == 0) {
            isTemplate = true;
            break;
        }
    }
    if (options != nullptr) options->SetBoolOption("TEMPLATE", isTemplate);
    return isTemplate;
}

bool KDuzWriteSummaryRecord(KDuz& duz, KDuzScene* scene, KDuzStreamOptionsDuzWriter* options, int mediaCount,
                            int constraintCount) {
    // ASCII and enciphered files hold one section: nothing to refuse there.
    if (scene == nullptr || !duz.IsBinary() || duz.IsEncrypted() || !duz.ProjectCreateSection(false)) return false;
    duz.FieldWriteBegin("Summary");
    duz.FieldWriteBlockBegin();
    KDuz6WriteIntField(duz, "Version", 101);
    const bool isTemplate = KDuzDetectTemplate(scene, options);
    KDuz6WriteIntField(duz, "Template", isTemplate ? 1 : 0);
    KDuz6WriteIntField(duz, "PasswordProtection", KDuzPasswordProtects(options) ? 1 : 0);

    duz.FieldWriteBegin("ContentCount");
    duz.FieldWriteBlockBegin();
    duz.FieldWriteNamedString("Version", "100");
    KDuzNode* root = scene->GetRootNode();
    KDuz6WriteIntField(duz, "Model", root != nullptr ? root->GetChildCount(true) : 0);
    KDuz6WriteIntField(duz, "Device", 0);
    KDuz6WriteIntField(duz, "Character", scene->GetCharacterCount());
    KDuz6WriteIntField(duz, "Actor", 0);
    KDuz6WriteIntField(duz, "Constraint", constraintCount);
    KDuz6WriteIntField(duz, "Media", mediaCount);
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();

    KDuzWriteSceneInfo(duz, scene->GetSceneInfo());

    duz.FieldWriteBegin("Takes");
    duz.FieldWriteBlockBegin();
    KDuz6WriteIntField(duz, "Version", 101);
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
        if (take->thumbnail != nullptr) KDuzWriteThumbnail(duz, take->thumbnail);
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

int KDuzConvertMediaForEmbedding(KDuzSdkManager* manager, KString& fileName) {
    if (manager == nullptr) return 0;
    const KClassId converterClass = KDuzImageConverter::ClassId();
    for (int i = 0; i < manager->GetObjectCount(converterClass); ++i) {
        auto* converter = dynamic_cast<KDuzImageConverter*>(manager->GetObject(converterClass, i));
        KDuzMediaContent media;
        media.SetOriginalFormat(1);
        media.SetOriginalFileName(fileName.Buffer());
        if (converter == nullptr || !converter->Convert(0, fileName.Buffer(), &media)) continue;
        if (!media.valid || media.content == nullptr) return 0;   // accepted as it is
        // The copy goes beside the file under the TIFF extension; the
        // user's own files are never written over.
        const char* text = fileName.Buffer();
        const char* separator = std::max(std::strrchr(text, '/'), std::strrchr(text, '\\'));
        const char* dot = std::strrchr(separator != nullptr ? separator + 1 : text, '.');
        const std::string stem = dot != nullptr ? std::string(text, static_cast<size_t>(dot - text)) : std::string(text);
        const KString target((stem + ".tif").c_str());
        if (target == fileName || KPathFileExists(target.Buffer()) || !ImageWriteTiff(target.Buffer(), true, media))
            return -1;
        fileName = target;
        return 1;
    }
    return 0;
}

namespace {

bool SpanSet(KTime start, KTime stop) { return start.Get() != 0 || stop.Get() != 0; }

void WriteSpan(KDuz& duz, const char* name, KTime start, KTime stop) {
    duz.FieldWriteBegin(name);
    duz.FieldWriteTimeSpan(start, stop);
    duz.FieldWriteEnd();
}

}  // namespace

void KDuzWriteTakeHead(KDuz& duz, KDuzScene* scene, const KString& name, KDuzTakeDescription* description,
                       int64_t& spanStart, int64_t& spanStop, bool switcherFromEmpty) {
    KString fileName = name;
    for (int i = 0; i < fileName.Length(); ++i)
        if (fileName[i] == ' ' || fileName[i] == '\t') *fileName.CharPtrAt(i) = '_';
    fileName += ".tak";
    duz.FieldWriteNamedString("FileName", fileName.Buffer());

    const bool localSet = SpanSet(description->localStart, description->localStop);
    const bool referenceSet = SpanSet(description->referenceStart, description->referenceStop);
    if (!localSet || !referenceSet) {
        scene->SetCurrentTake(name.Buffer());
        KTime start(spanStart);
        KTime stop(spanStop);
        KTime switcherStart(switcherFromEmpty ? std::numeric_limits<int64_t>::max() : spanStart);
        KTime switcherStop(switcherFromEmpty ? std::numeric_limits<int64_t>::min() + 1 : spanStop);
        KDuzNode* switcher = scene->GetCameraSwitcherNode();
        if (switcher != nullptr) switcher->GetAnimationInterval(switcherStart, switcherStop);
        if (switcher != nullptr && !switcherFromEmpty) {
            if (switcherStart.IsLessThan(start)) start = switcherStart;
            if (stop.IsLessThan(switcherStop)) stop = switcherStop;
        }
        if (KDuzNode* root = scene->GetRootNode()) root->GetAnimationInterval(start, stop);
        if (switcherFromEmpty) {
            if (switcherStart.IsLessThan(start)) start = switcherStart;
            if (stop.IsLessThan(switcherStop)) stop = switcherStop;
        }
        spanStart = start.Get();
        spanStop = stop.Get();
    }
    if (spanStart > spanStop) {
        spanStart = 0;
        spanStop = KTime::kTicksPerSecond;
    }
    if (!localSet) {
        description->localStart = KTime(spanStart);
        description->localStop = KTime(spanStop);
    }
    WriteSpan(duz, "LocalTime", description->localStart, description->localStop);
    if (!referenceSet) {
        description->referenceStart = KTime(spanStart);
        description->referenceStop = KTime(spanStop);
    }
    WriteSpan(duz, "ReferenceTime", description->referenceStart, description->referenceStop);
    if (!description->comments.IsEmpty()) duz.FieldWriteNamedString("Comments", description->comments.Buffer());
    if (description->thumbnail != nullptr) KDuzWriteThumbnail(duz, description->thumbnail);
}

void KDuzWriteParentOffsetAndRotationSpace(KDuz& duz, const KDuzCharacterLink& link) {
    const char* parent[3] = {"PARENTROFFSETX", "PARENTROFFSETY", "PARENTROFFSETZ"};
    for (int axis = 0; axis < 3; ++axis) KDuz6WriteDoubleField(duz, parent[axis], link.mParentROffset.GetElement(axis));
    if (!link.mHasRotSpace) return;
    duz.FieldWriteBegin("ROTATIONSPACE");
    duz.FieldWriteBlockBegin();
    KDuz6WriteVector3Field(duz, "PRE", link.mPreRotation);
    KDuz6WriteVector3Field(duz, "POST", link.mPostRotation);
    KDuz6WriteDoubleField(duz, "AXISLEN", link.mAxisLen);
    KDuz6WriteIntField(duz, "ORDER", link.mRotOrder);
    const char* minFields[3] = {"XMINENABLE", "YMINENABLE", "ZMINENABLE"};
    const char* maxFields[3] = {"XMAXENABLE", "YMAXENABLE", "ZMAXENABLE"};
    for (int axis = 0; axis < 3; ++axis) KDuz6WriteIntField(duz, minFields[axis], link.mRLimits.minActive[axis] ? 1 : 0);
    for (int axis = 0; axis < 3; ++axis) KDuz6WriteIntField(duz, maxFields[axis], link.mRLimits.maxActive[axis] ? 1 : 0);
    KDuz6WriteVector3Field(duz, "MIN", link.mRLimits.min);
    KDuz6WriteVector3Field(duz, "MAX", link.mRLimits.max);
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
}

void KDuzPrepareShapeChannelsForWrite(KDuzNode* root) {
    KDuzWriterDuz::VisitPostOrder(root, [](KDuzNode* node) {
        auto* geometry = dynamic_cast<KDuzGeometry*>(node->GetGeometry());
        if (geometry == nullptr) return;
        geometry->ClearShapeChannelNames();
        // Without shapes there is no channel to rename: the takes are not
        // asked for, as that fills a node's default take for good.
        if (geometry->GetShapeCount() == 0) return;
        for (int t = 0; t < node->GetTakeNodeCount(); ++t)
            geometry->PrepareShapeChannelsForWrite(node->GetTakeNodeAt(t));
    });
}

void KDuzRestoreShapeChannelsAfterWrite(KDuzNode* root) {
    KDuzWriterDuz::VisitPostOrder(root, [](KDuzNode* node) {
        auto* geometry = dynamic_cast<KDuzGeometry*>(node->GetGeometry());
        if (geometry == nullptr) return;
        if (geometry->GetShapeCount() > 0) {
            for (int t = 0; t < node->GetTakeNodeCount(); ++t)
                geometry->RestoreShapeChannelsAfterWrite(node->GetTakeNodeAt(t));
        }
        geometry->ClearShapeChannelNames();
    });
}

}  // namespace duzsdk
