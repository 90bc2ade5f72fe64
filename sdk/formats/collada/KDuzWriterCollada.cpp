#include "sdk/formats/collada/KDuzWriterCollada.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/Clock.h"
#include "platform/PlatformFile.h"
#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/base/KPath.h"
#include "sdk/formats/collada/ColladaNodeFrame.h"
#include "sdk/formats/collada/ColladaXmlWrite.h"
#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzLayerContainer.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/io/KDuzSceneRenamer.h"
#include "sdk/io/KDuzStreamOptionsFormats.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/KDuzUserNotification.h"
#include "sdk/scene/KDuzCamera.h"
#include "sdk/scene/KDuzGlobalSettings.h"
#include "sdk/scene/KDuzLight.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"
#include "sdk/scene/KDuzSceneInfo.h"

namespace duzsdk {

namespace {

constexpr char kNamespace[] = "http://www.collada.org/2005/11/COLLADASchema";
constexpr double kDefaultPeriodSeconds = 1.0 / 30.0;

KTime SecondsToTime(double seconds) {
    KTime time;
    time.SetSecondDouble(seconds);
    return time;
}

}  // namespace

KDuzWriterCollada::KDuzWriterCollada(KDuzSdkManager* manager)
    : KDuzWriter(manager), mSamplingPeriod(SecondsToTime(kDefaultPeriodSeconds)), mMeshes(manager) {}

KDuzWriterCollada::~KDuzWriterCollada() {
    FileClose();
    ReleaseDocument();
    // A preparation run on its own is undone here.
    RestoreScene();
}

// ---- file ---------------------------------------------------------------------------

bool KDuzWriterCollada::FileCreate(const char* fileName) {
    FileClose();
    mFileName = KPathClean(fileName != nullptr ? fileName : "");
    if (!mFileName.IsEmpty() && KPathCreateDirectories(mFileName)) {
        // The document goes to a temporary file beside the target, which
        // replaces the target only once the document was saved completely.
        const std::string pattern = duzplatform::CreateTemporaryBeside(mFileName.Buffer(), "");
        if (!pattern.empty()) {
            mFile = duzplatform::OpenFile(pattern.c_str(), "w");
            if (mFile == nullptr) {
                std::remove(pattern.c_str());
            } else {
                mTemporaryName = pattern.c_str();
            }
        }
    }
    if (mFile == nullptr) {
        mError.SetLastError(eFileNotOpened);
        mFileName = "";
        return false;
    }
    return true;
}

bool KDuzWriterCollada::FileClose() {
    bool closed = true;
    if (mFile != nullptr) closed = std::fclose(mFile) == 0;
    mFile = nullptr;
    // A temporary file left here never received a complete document.
    if (!mTemporaryName.IsEmpty()) std::remove(mTemporaryName.Buffer());
    mTemporaryName = "";
    mFileName = "";
    return closed;
}

bool KDuzWriterCollada::IsFileOpen() { return mFile != nullptr; }

KDuzStreamOptions* KDuzWriterCollada::GetWriteOptions() {
    return KDuzStreamOptionsColladaWriter::Create(mManager, "");
}

// ---- messages ----------------------------------------------------------------------

void KDuzWriterCollada::NotifyError(const KString& text) {
    KDuzUserNotification* notification = mManager != nullptr ? mManager->GetUserNotification() : nullptr;
    if (notification != nullptr) notification->AddDetail(kNotificationEntry, KString("ERROR: ") + text);
}

void KDuzWriterCollada::NotifyWarning(const KString& text) {
    KDuzUserNotification* notification = mManager != nullptr ? mManager->GetUserNotification() : nullptr;
    if (notification != nullptr) notification->AddDetail(kNotificationEntry, KString("Warning: ") + text);
}

// ---- write -------------------------------------------------------------------------

bool KDuzWriterCollada::Write(KDuzScene* scene, KDuzStreamOptions* options) {
    mError.ClearError();
    auto* colladaOptions = dynamic_cast<KDuzStreamOptionsColladaWriter*>(options);
    if (colladaOptions == nullptr) {
        mError.SetLastError(eStreamOptionsNotSet);
        return false;
    }
    if (mFile == nullptr || scene == nullptr || scene->GetRootNode() == nullptr) {
        mError.SetLastError(eFileNotOpened);
        return false;
    }
    mTriangulate = colladaOptions->GetBoolOption("TRIANGULATE");
    mSingleMatrix = colladaOptions->GetBoolOption("SINGLE MATRIX");
    mSamplingPeriod = colladaOptions->GetFramePeriod();
    if (mSamplingPeriod.Get() <= 0) mSamplingPeriod = SecondsToTime(kDefaultPeriodSeconds);

    ReleaseDocument();
    PreprocessScene(scene);
    mJointNodes = ColladaSkinJointNodes(scene->GetRootNode());
    mScene = scene;
    mSuccess = true;

    bool ok = false;
    mRoot = ColladaNewChild(nullptr, "COLLADA");
    if (mRoot != nullptr) {
        ColladaSetAttribute(mRoot, "xmlns", kNamespace);
        ColladaSetAttribute(mRoot, "version", "1.4.0");
        ok = WriteAsset(mRoot) && ExportScene(mRoot);
        if (ok) {
            ExportSceneAmbient();
            mSuccess = WriteMorphTargetGeometries(
                mVisualScenesPart.HasRoot() ? Library(mVisualScenesPart, "library_visual_scenes")->children : nullptr);
            ok = mSuccess && ExportLibraryAnimations(scene->GetRootNode());
        }
        if (ok) DropEmptyVisualScene();
        if (ok) ok = SaveDocument(mRoot);
    }
    RestoreScene();
    ReleaseDocument();
    if (!ok && mError.GetLastErrorIndex() < 0) mError.SetLastError(eUnidentifiedError);
    return ok;
}

bool KDuzWriterCollada::SaveDocument(xmlNode* root) {
    // Written through the temporary file; any failure to write it (a full
    // disk, say) keeps the target as it was and fails the write.
    ColladaXmlStream document(fileno(mFile));
    document.Raw("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n");
    document.StartTag(root, 0);
    // The libraries go after the asset, in document order.
    const xmlNode* child = root->children;
    if (child != nullptr) {
        document.WriteTree(child, 1);
        child = child->next;
    }
    for (ColladaXmlStream* part : {&mImagesPart, &mMaterialsPart, &mEffectsPart, &mGeometriesPart, &mControllersPart,
                                   &mAnimationsPart, &mLightsPart, &mCamerasPart, &mVisualScenesPart}) {
        part->Finish();
        document.CopyFrom(*part);
        part->Clear();
    }
    for (; child != nullptr; child = child->next) document.WriteTree(child, 1);
    document.EndTag(root, 0);
    bool saved = document.Flush() && fsync(fileno(mFile)) == 0;
    if (saved) {
        // The new file gets the mode the target had, or the usual new-file mode.
        saved = duzplatform::CommitTemporary(mTemporaryName.Buffer(), mFileName.Buffer(), nullptr);
        if (saved) mTemporaryName = "";
    }
    if (!saved) mError.SetLastError(eFileNotCreated);
    return saved;
}

void KDuzWriterCollada::ReleaseDocument() {
    for (ColladaXmlStream* part : {&mImagesPart, &mMaterialsPart, &mEffectsPart, &mGeometriesPart, &mControllersPart,
                                   &mAnimationsPart, &mLightsPart, &mCamerasPart, &mVisualScenesPart})
        part->Clear();
    if (mRoot != nullptr) xmlFreeNode(mRoot);
    mRoot = nullptr;
    mScene = nullptr;
    mShapeGeometries.clear();
    mGeometryIds.clear();
    mImageIds.clear();
    mMaterials.clear();
    mEffectShaders.clear();
    mEffectSamplers.clear();
    mMaterialTextureLayers.clear();
    mJointNodes.clear();
}

void KDuzWriterCollada::NameUnnamedObjects(KDuzNode* root) {
    // Element ids are made from object names: an object without one gets a
    // name for the write, unlike any other, so every id is valid and unique.
    std::vector<std::pair<KDuzObject*, const char*>> objects;
    std::vector<KDuzNode*> pending{root};
    while (!pending.empty()) {
        KDuzNode* node = pending.back();
        pending.pop_back();
        objects.emplace_back(node, "node");
        for (int i = node->GetChildCount() - 1; i >= 0; --i) pending.push_back(node->GetChild(i));
        auto* mesh = dynamic_cast<KDuzLayerContainer*>(node->GetNodeAttribute());
        for (int l = 0; mesh != nullptr && l < mesh->GetLayerCount(); ++l) {
            const KDuzLayer* layer = mesh->GetLayer(l);
            if (const KDuzLayerElementMaterial* materials = layer->GetMaterials())
                for (KDuzSurfaceMaterial* material : materials->GetDirectArray()) objects.emplace_back(material, "material");
            if (const KDuzLayerElementTexture* textures = layer->GetTextures())
                for (KDuzTexture* texture : textures->GetDirectArray()) objects.emplace_back(texture, "texture");
        }
    }
    std::unordered_set<std::string> used;
    for (const auto& [object, stem] : objects)
        if (object != nullptr) used.insert(object->GetNameString().Buffer());
    int next = 1;
    for (const auto& [object, stem] : objects) {
        if (object == nullptr || !object->GetNameString().IsEmpty()) continue;
        std::string name;
        do {
            name = std::string(stem) + std::to_string(next++);
        } while (!used.insert(name).second);
        object->SetName(name.c_str());
        mNamedObjects.push_back(object);
    }
}

void KDuzWriterCollada::RestoreScene() {
    for (KDuzObject* object : mNamedObjects) object->SetName("");
    mNamedObjects.clear();
    for (KDuzObject* object : mMadeObjects) object->Destroy();
    mMadeObjects.clear();
    mMeshes.Clear();
}

void KDuzWriterCollada::AppendToLibrary(ColladaXmlStream& part, const char* name, xmlNode* element) {
    xmlNode* library = Library(part, name);
    part.FlushBefore(library);
    xmlAddChild(library, element);
}

// ---- asset -------------------------------------------------------------------------

namespace {

KString UtcTimeText() {
    int year, month, day, hour, minute, second;
    if (duzplatform::HasFixedLocalDateTime()) {
        const duzplatform::LocalDateTime when = duzplatform::GetLocalDateTime();
        year = when.year, month = when.month, day = when.day;
        hour = when.hour, minute = when.minute, second = when.second;
    } else {
        const std::time_t now = std::time(nullptr);
        std::tm utc{};
        gmtime_r(&now, &utc);
        year = utc.tm_year + 1900, month = utc.tm_mon + 1, day = utc.tm_mday;
        hour = utc.tm_hour, minute = utc.tm_min, second = utc.tm_sec;
    }
    char text[64];
    std::snprintf(text, sizeof text, "%d-%02d-%02dT%02d:%02d:%02dZ", year, month, day, hour, minute, second);
    return KString(text);
}

}  // namespace

bool KDuzWriterCollada::WriteAsset(xmlNode* root) {
    KDuzSceneInfo* info = mScene->GetSceneInfo();
    xmlNode* asset = ColladaNewChild(root, "asset");
    if (asset == nullptr) return false;
    xmlNode* contributor = ColladaNewChild(asset, "contributor");
    if (info != nullptr) ColladaNewChild(contributor, "author", info->author.Buffer());
    ColladaNewChild(contributor, "authoring_tool", kColladaAuthoringTool);
    if (info != nullptr) ColladaNewChild(contributor, "comments", info->comment.Buffer());
    const KString now = UtcTimeText();
    ColladaNewChild(asset, "created", now.Buffer());
    // The schema fixes the order keywords, modified, revision, subject, title.
    if (info != nullptr) ColladaNewChild(asset, "keywords", info->keywords.Buffer());
    ColladaNewChild(asset, "modified", now.Buffer());
    if (info != nullptr) {
        ColladaNewChild(asset, "revision", info->revision.Buffer());
        ColladaNewChild(asset, "subject", info->subject.Buffer());
        ColladaNewChild(asset, "title", info->title.Buffer());
    }
    KDuzGlobalSettings* settings = mScene->GetGlobalSettings();
    const double scale = settings != nullptr ? settings->GetSystemUnit().GetScaleFactor() : 1.0;
    xmlNode* unit = ColladaNewChild(asset, "unit");
    ColladaSetAttribute(unit, "meter", ColladaDoubleText(scale / 100.0));
    KDuzAxisSystem axes;
    if (settings != nullptr) settings->GetAxisSystem(axes);
    int sign = 1;
    const int up = axes.GetUpVector(sign);
    const char* upText = up == 1 ? "X_UP" : up == 3 ? "Z_UP" : "Y_UP";
    if (up < 1 || up > 3) NotifyWarning("Invalid up-axis: default Y up is used");
    if (sign < 0) NotifyWarning("Invalid direction for up-axis: exporter should convert scene.");
    if (axes.GetCoordSystem() == KDuzAxisSystem::eLeftHanded)
        NotifyWarning("Axis system is Left Handed: exporter should convert scene.");
    ColladaNewChild(asset, "up_axis", upText);
    return true;
}

// ---- scene -------------------------------------------------------------------------

bool KDuzWriterCollada::ExportScene(xmlNode* root) {
    KDuzNode* rootNode = mScene->GetRootNode();
    const KString name = rootNode->GetNameString();
    xmlNode* visualScene = ColladaNewChild(nullptr, "visual_scene");
    if (visualScene == nullptr) {
        NotifyError("Could not export scene node.");
        return false;
    }
    ColladaSetAttribute(visualScene, "id", name);
    ColladaSetAttribute(visualScene, "name", name);
    xmlAddChild(Library(mVisualScenesPart, "library_visual_scenes"), visualScene);
    for (int i = 0; i < rootNode->GetChildCount(); ++i) ExportNodeTree(visualScene, rootNode->GetChild(i));
    xmlNode* sceneElement = ColladaNewChild(root, "scene");
    xmlNode* instance = ColladaNewChild(sceneElement, "instance_visual_scene");
    ColladaSetAttribute(instance, "url", KString("#") + name);
    return true;
}

void KDuzWriterCollada::DropEmptyVisualScene() {
    // A visual scene needs a node: a scene with none is written without
    // visual scene and without "scene" element, both of which may be absent.
    if (!mVisualScenesPart.HasRoot()) return;
    xmlNode* visualScene = Library(mVisualScenesPart, "library_visual_scenes")->children;
    if (visualScene == nullptr || xmlFirstElementChild(visualScene) != nullptr || mVisualScenesPart.IsOpen(visualScene))
        return;
    mVisualScenesPart.Clear();
    for (xmlNode* child = mRoot->children; child != nullptr; child = child->next) {
        if (child->type == XML_ELEMENT_NODE && xmlStrEqual(child->name, reinterpret_cast<const xmlChar*>("scene"))) {
            xmlUnlinkNode(child);
            xmlFreeNode(child);
            break;
        }
    }
}

bool KDuzWriterCollada::PreprocessScene(KDuzScene* scene) {
    if (scene == nullptr || scene->GetRootNode() == nullptr) return true;
    KDuzSceneRenamer(scene).RenameFor(KDuzSceneRenamer::eColladaWriter);
    NameUnnamedObjects(scene->GetRootNode());
    // With one matrix per node the pivots need no baking into the caller's
    // animation: the matrices are evaluated with them.
    return true;
}

// ---- shared helpers ----------------------------------------------------------------

bool ColladaIsNonZero(double value) { return std::fabs(value) >= 1e-6; }

bool ColladaVectorIsNonZero(const KgeTVector& vector) {
    return ColladaIsNonZero(vector[0]) || ColladaIsNonZero(vector[1]) || ColladaIsNonZero(vector[2]);
}

bool ColladaVectorDiffersFrom(const KgeTVector& vector, double value) {
    for (int i = 0; i < 3; ++i)
        if (std::fabs(vector[i] - value) >= 1e-6) return true;
    return false;
}

namespace {

bool HasKeys(KFCurve* curve) { return curve != nullptr && curve->KeyGetCount() > 0; }

KDuzTakeNode* CurrentTake(KDuzNode* node) { return node != nullptr ? node->GetCurrentTakeNode() : nullptr; }

}  // namespace

bool ColladaHasTranslationKeys(KDuzNode* node) {
    KDuzTakeNode* take = CurrentTake(node);
    return take != nullptr && (HasKeys(take->GetTranslationXCurve()) || HasKeys(take->GetTranslationYCurve()) ||
                               HasKeys(take->GetTranslationZCurve()));
}

bool ColladaHasRotationKeysOn(KDuzNode* node, int axis) {
    KDuzTakeNode* take = CurrentTake(node);
    if (take == nullptr) return false;
    switch (axis) {
        case 0: return HasKeys(take->GetRotationXCurve());
        case 1: return HasKeys(take->GetRotationYCurve());
        case 2: return HasKeys(take->GetRotationZCurve());
        default: return false;
    }
}

bool ColladaHasRotationKeys(KDuzNode* node) {
    return ColladaHasRotationKeysOn(node, 0) || ColladaHasRotationKeysOn(node, 1) || ColladaHasRotationKeysOn(node, 2);
}

bool ColladaHasScalingKeys(KDuzNode* node) {
    KDuzTakeNode* take = CurrentTake(node);
    return take != nullptr && (HasKeys(take->GetScalingXCurve()) || HasKeys(take->GetScalingYCurve()) ||
                               HasKeys(take->GetScalingZCurve()));
}

bool ColladaCopyMesh(KDuzMesh* destination, const KDuzMesh* source) {
    if (destination == nullptr || source == nullptr) return false;
    const int count = source->GetControlPointsCount();
    if (!destination->InitControlPoints(count)) return false;
    const KgeTVector* points = source->GetControlPoints();
    for (int i = 0; i < count; ++i) destination->GetControlPoints()[i] = points[i];
    for (int p = 0; p < source->GetPolygonCount(); ++p) {
        destination->BeginPolygon(-1, -1, -1, false);
        for (int k = 0; k < source->GetPolygonSize(p); ++k) destination->AddPolygon(source->GetPolygonVertex(p, k));
    }
    for (int i = 0; i < source->GetLayerCount(); ++i) {
        while (destination->GetLayerCount() <= i)
            if (destination->CreateLayer() < 0) return false;
        KDuzLayer* layer = destination->GetLayer(i);
        if (layer == nullptr || !layer->CopyFrom(*source->GetLayer(i), destination->GetSdkManager())) return false;
    }
    return true;
}

void ColladaConvertFocalLengthCurve(KFCurve* destination, KFCurve* focalLength, const KDuzCamera* camera) {
    if (destination == nullptr || focalLength == nullptr || camera == nullptr) return;
    auto fov = [camera](double value) { return camera->ComputeFieldOfView(value); };
    destination->SetDefaultValue(static_cast<float>(fov(focalLength->GetDefaultValue())));
    const int count = focalLength->KeyGetCount();
    destination->BeginKeyModify();
    for (int i = 0; i < count; ++i) {
        const KTime time = focalLength->KeyGetTime(i);
        const double value = focalLength->KeyGetValue(i);
        const int index = destination->KeyAdd(time);
        destination->KeySetValue(index, static_cast<float>(fov(value)));
        destination->KeySetInterpolation(index, focalLength->KeyGetInterpolation(i));
    }
    for (int i = 0; i < count; ++i) {
        if (focalLength->KeyGetInterpolation(i) != 8 || (focalLength->KeyGetTangentMode(i) & 0x400) == 0) continue;
        const double value = focalLength->KeyGetValue(i);
        if (i + 1 < count) {
            const double t = (focalLength->KeyGetTime(i + 1) - focalLength->KeyGetTime(i)).GetSecondDouble();
            const double step = focalLength->KeyGetRightWeight(i) * t;
            if (step != 0.0) {
                const double d = focalLength->ComputeRightDerivative(i);
                destination->KeySetRightDerivative(i, static_cast<float>((fov(value + d * step) - fov(value)) / step));
            }
        }
        if (i > 0) {
            const double t = (focalLength->KeyGetTime(i) - focalLength->KeyGetTime(i - 1)).GetSecondDouble();
            const double step = focalLength->KeyGetLeftWeight(i) * t;
            if (step != 0.0) {
                const double d = focalLength->ComputeLeftDerivative(i);
                destination->KeySetLeftDerivative(i, static_cast<float>((fov(value) - fov(value - d * step)) / step));
            }
        }
    }
    destination->EndKeyModify();
}

}  // namespace duzsdk
