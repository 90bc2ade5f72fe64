#include "sdk/formats/KDuzReader3ds.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "sdk/base/KTime.h"
#include "sdk/base/KgeMath.h"
#include "sdk/formats/3dsftk/FtkBackground.h"
#include "sdk/formats/3dsftk/FtkCamera.h"
#include "sdk/formats/3dsftk/FtkDatabase.h"
#include "sdk/formats/3dsftk/FtkError.h"
#include "sdk/formats/3dsftk/FtkFile.h"
#include "sdk/formats/3dsftk/FtkKfMotion.h"
#include "sdk/formats/3dsftk/FtkLight.h"
#include "sdk/formats/3dsftk/FtkMaterial.h"
#include "sdk/formats/3dsftk/FtkMeshSettings.h"
#include "sdk/formats/3dsftk/FtkTriMesh.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/io/KDuzStreamOptionsFormats.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzCamera.h"
#include "sdk/scene/KDuzGlobalCameraSettings.h"
#include "sdk/scene/KDuzGlobalLightSettings.h"
#include "sdk/scene/KDuzLight.h"
#include "sdk/scene/KDuzMarker.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"
#include "sdk/scene/KDuzTakeDescription.h"

namespace duzsdk {

namespace {

constexpr int kShadingModeTextured = 4;
constexpr int kDefaultTakeFrames = 150;

// Names of records: the toolkit's fixed buffers are terminated, but a
// hostile record is not trusted to be.
template <size_t N>
std::string Name(const char (&text)[N]) {
    return std::string(text, strnlen(text, N));
}

template <typename Record, typename Objects>
std::unordered_map<std::string, int> IndexByName(const std::vector<Record*>& records, const Objects&) {
    std::unordered_map<std::string, int> index;
    for (size_t i = 0; i < records.size(); ++i) index.try_emplace(Name(records[i]->name), static_cast<int>(i));
    return index;
}

int Find(const std::unordered_map<std::string, int>& index, const std::string& name) {
    const auto found = index.find(name);
    return found == index.end() ? -1 : found->second;
}

KTime FrameTime(int64_t frame) { return KTime(frame * (KTime::kTicksPerSecond / 30)); }

// A file without keyframer nodes places its objects only by their records:
// the node made for them gets that placement as its one key, else meshes
// would sit at the origin (their points are made local) and cameras and
// lights would lose position, target, lens and colour.
void PlaceLikeMatrix(const FtkTriMesh& mesh, FtkObjectMotion& motion) {
    const float* m = mesh.meshMatrix;
    motion.pos.values[0] = FtkVector{m[9], m[10], m[11]};
    double rows[16] = {};
    double lengths[3];
    for (int r = 0; r < 3; ++r) {
        lengths[r] = std::sqrt(double(m[r * 3]) * m[r * 3] + double(m[r * 3 + 1]) * m[r * 3 + 1] +
                               double(m[r * 3 + 2]) * m[r * 3 + 2]);
        // A matrix the reader takes as the identity places by translation only.
        if (!(lengths[r] > 1e-12) || !std::isfinite(lengths[r])) return;
        for (int c = 0; c < 3; ++c) rows[r * 4 + c] = m[r * 3 + c] / lengths[r];
    }
    const double det = rows[0] * (rows[5] * rows[10] - rows[6] * rows[9]) -
                       rows[1] * (rows[4] * rows[10] - rows[6] * rows[8]) +
                       rows[2] * (rows[4] * rows[9] - rows[5] * rows[8]);
    if (!(std::fabs(det * lengths[0] * lengths[1] * lengths[2]) >= 1e-6)) return;
    if (det < 0.0) {
        // A mirror: the first axis carries the sign as a negative scale.
        lengths[0] = -lengths[0];
        for (int c = 0; c < 3; ++c) rows[c] = -rows[c];
    }
    rows[15] = 1.0;
    motion.scale.values[0] = FtkVector{float(lengths[0]), float(lengths[1]), float(lengths[2])};
    double q[4];
    KgeMatrixToQuaternion(q, rows);
    const double half = std::acos(std::clamp(q[3], -1.0, 1.0));
    const double sine = std::sin(half);
    if (!(std::fabs(sine) > 1e-12)) return;
    // The reader turns a key by the negated angle.
    motion.rot.values[0] = FtkRotKey{float(-2.0 * half), float(q[0] / sine), float(q[1] / sine), float(q[2] / sine)};
}

}  // namespace

KDuzReader3DS::KDuzReader3DS(KDuzSdkManager* manager) : KDuzReader(manager) {}

KDuzReader3DS::~KDuzReader3DS() {
    ReleaseRecords();
    FileClose();
}

bool KDuzReader3DS::FileOpen(const char* fileName) {
    if (fileName == nullptr) return false;
    FileClose();
    // A failure of an earlier file must not fail this one.
    FtkErrorReset();
    mFile = FtkFileOpen(fileName, "rb");
    return true;
}

bool KDuzReader3DS::FileClose() {
    if (mFile != nullptr) FtkFileClose(mFile);
    mFile = nullptr;
    return true;
}

KDuzStreamOptions* KDuzReader3DS::GetReadOptions(bool /*parseFileAsNeeded*/) {
    KDuzStreamOptions* options = KDuzStreamOptions3dsReader::Create(mManager, "");
    if (options != nullptr) options->Reset();
    return options;
}

bool KDuzReader3DS::ToolkitFailed() {
    if (!FtkErrorPending()) return false;
    // The causes stay in the toolkit's error list.
    mError.SetLastError(eFileCorrupted);
    return true;
}

bool KDuzReader3DS::Read(KDuzScene* scene, KDuzStreamOptions* options) {
    auto* set = dynamic_cast<KDuzStreamOptions3dsReader*>(options);
    if (set == nullptr) {
        mError.SetLastError(eStreamOptionsNotSet);
    } else {
        mTexture = set->GetBoolOption("TEXTURE", mTexture);
        mMaterial = set->GetBoolOption("MATERIAL", mMaterial);
        mAnimation = set->GetBoolOption("ANIMATION", mAnimation);
        mMesh = set->GetBoolOption("MESH", mMesh);
        mLight = set->GetBoolOption("LIGHT", mLight);
        mCamera = set->GetBoolOption("CAMERA", mCamera);
        mFilter = set->GetBoolOption("FILTER", mFilter);
        mAmbientLight = set->GetBoolOption("AMBIENT LIGHT", mAmbientLight);
        mSmoothGroups = set->GetBoolOption("SMOOTHGROUP", mSmoothGroups);
        mReferenceNodeFlag = set->GetBoolOption("REFERENCENODE", mReferenceNodeFlag);
        mRescaling = set->GetBoolOption("RESCALING", mRescaling);
        set->SetStringOption("TAKE NAME", kTakeName);
    }
    if (scene == nullptr) return false;
    if (mFile == nullptr) {
        mError.SetLastError(eFileNotOpened);
        return false;
    }
    ReleaseRecords();
    // The toolkit's error list is process-wide: only this read's errors count.
    FtkErrorReset();
    mScale = mRescaling ? 2.54 : 1.0;
    const bool loaded = LoadRecords();
    const bool built = loaded && BuildScene(scene);
    // The records are released whatever the outcome: the toolkit's state
    // must not outlive a failed read either.
    ReleaseRecords();
    const bool clean = !ToolkitFailed();
    FileClose();
    return built && clean;
}

bool KDuzReader3DS::LoadRecords() {
    FtkDatabaseInit(&mDatabase);
    if (ToolkitFailed()) return false;
    FtkDatabaseLoad(mFile, mDatabase);
    if (ToolkitFailed()) return false;
    // Only a mesh or project file holds a scene; anything else is not 3DS.
    const int kind = FtkDatabaseKind(mDatabase);
    if (kind != kFtkMeshDatabase && kind != kFtkProjectDatabase) {
        mError.SetLastError(eFileCorrupted);
        return false;
    }
    FtkMeshSettingsInit(&mMeshSettings);
    if (ToolkitFailed()) return false;
    FtkMeshSettingsGet(mDatabase, &mMeshSettings);
    if (ToolkitFailed() || mMeshSettings == nullptr) return false;
    const float master = mMeshSettings->masterScale;
    if (master > 0.0f && std::isfinite(master)) mScale = static_cast<double>(master * static_cast<float>(mScale));
    mAmbient[0] = mMeshSettings->ambientLight.r;
    mAmbient[1] = mMeshSettings->ambientLight.g;
    mAmbient[2] = mMeshSettings->ambientLight.b;

    // Each kind is read once, in order; the toolkit's look-up by ordinal
    // continues where the previous one stopped.
    const auto readAll = [this](uint32_t count, auto& records, auto get) {
        records.assign(count, nullptr);
        for (uint32_t i = 0; i < count; ++i) {
            get(mDatabase, i, &records[i]);
            if (ToolkitFailed() || records[i] == nullptr) return false;
        }
        return true;
    };
    if (!readAll(FtkTriMeshCount(mDatabase), mMeshRecords, FtkTriMeshGetByIndex)) return false;
    if (mLight) {
        if (!readAll(FtkOmniLightCount(mDatabase), mOmniRecords, FtkOmniLightGetByIndex)) return false;
        // Spotlights are counted too, so that they are imported.
        if (!readAll(FtkSpotlightCount(mDatabase), mSpotRecords, FtkSpotlightGetByIndex)) return false;
    }
    if (mCamera && !readAll(FtkCameraCount(mDatabase), mCameraRecords, FtkCameraGetByIndex)) return false;
    if (!readAll(FtkMaterialCount(mDatabase), mMaterialRecords, FtkMaterialGetByIndex)) return false;

    const uint32_t objectMotions = FtkObjectMotionCount(mDatabase);
    if (objectMotions > 0) {
        if (!readAll(objectMotions, mObjectMotions, FtkObjectMotionGetByIndex)) return false;
    } else {
        for (FtkTriMesh* mesh : mMeshRecords) {
            FtkObjectMotion* motion = nullptr;
            FtkObjectMotionInit(&motion, 1, 1, 1, 0, 0);
            if (ToolkitFailed() || motion == nullptr) return false;
            std::memcpy(motion->name, mesh->name, sizeof(motion->name));
            PlaceLikeMatrix(*mesh, *motion);
            mObjectMotions.push_back(motion);
        }
    }
    if (mLight) {
        const uint32_t omniMotions = FtkOmniMotionCount(mDatabase);
        if (omniMotions > 0) {
            if (!readAll(omniMotions, mOmniMotions, FtkOmniMotionGetByIndex)) return false;
        } else {
            for (FtkLight* light : mOmniRecords) {
                FtkOmniMotion* motion = nullptr;
                FtkOmniMotionInit(&motion, 1, 1);
                if (ToolkitFailed() || motion == nullptr) return false;
                std::memcpy(motion->name, light->name, sizeof(motion->name));
                motion->pos.values[0] = light->position;
                motion->color.values[0] = FtkVector{light->color.r, light->color.g, light->color.b};
                mOmniMotions.push_back(motion);
            }
        }
        const uint32_t spotMotions = FtkSpotMotionCount(mDatabase);
        if (spotMotions > 0) {
            if (!readAll(spotMotions, mSpotMotions, FtkSpotMotionGetByIndex)) return false;
        } else {
            for (FtkLight* light : mSpotRecords) {
                FtkSpotMotion* motion = nullptr;
                FtkSpotMotionInit(&motion, 1, 1, 1, 0, 0, 1);
                if (ToolkitFailed() || motion == nullptr) return false;
                std::memcpy(motion->name, light->name, sizeof(motion->name));
                motion->pos.values[0] = light->position;
                motion->color.values[0] = FtkVector{light->color.r, light->color.g, light->color.b};
                if (light->spot != nullptr) {
                    motion->hotspot.values[0] = light->spot->hotspot;
                    motion->targetPos.values[0] = light->spot->target;
                }
                mSpotMotions.push_back(motion);
            }
        }
    }
    if (mCamera) {
        const uint32_t cameraMotions = FtkCameraMotionCount(mDatabase);
        if (cameraMotions > 0) {
            if (!readAll(cameraMotions, mCameraMotions, FtkCameraMotionGetByIndex)) return false;
        } else {
            for (FtkCamera* camera : mCameraRecords) {
                FtkCameraMotion* motion = nullptr;
                FtkCameraMotionInit(&motion, 1, 1, 1, 1);
                if (ToolkitFailed() || motion == nullptr) return false;
                std::memcpy(motion->name, camera->name, sizeof(motion->name));
                motion->pos.values[0] = camera->position;
                motion->fov.values[0] = camera->fov;
                motion->roll.values[0] = camera->roll;
                motion->targetPos.values[0] = camera->target;
                mCameraMotions.push_back(motion);
            }
        }
    }
    return true;
}

void KDuzReader3DS::ReleaseRecords() {
    for (FtkTriMesh*& record : mMeshRecords) FtkTriMeshRelease(&record);
    for (FtkLight*& record : mOmniRecords) FtkLightRelease(&record);
    for (FtkLight*& record : mSpotRecords) FtkLightRelease(&record);
    for (FtkCamera*& record : mCameraRecords) FtkCameraRelease(&record);
    for (FtkMaterial*& record : mMaterialRecords) FtkMaterialRelease(&record);
    for (FtkObjectMotion*& record : mObjectMotions) FtkObjectMotionRelease(&record);
    for (FtkOmniMotion*& record : mOmniMotions) FtkOmniMotionRelease(&record);
    for (FtkSpotMotion*& record : mSpotMotions) FtkSpotMotionRelease(&record);
    for (FtkCameraMotion*& record : mCameraMotions) FtkCameraMotionRelease(&record);
    mMeshRecords.clear();
    mOmniRecords.clear();
    mSpotRecords.clear();
    mCameraRecords.clear();
    mMaterialRecords.clear();
    mObjectMotions.clear();
    mOmniMotions.clear();
    mSpotMotions.clear();
    mCameraMotions.clear();
    mMeshes.clear();
    mObjectNodes.clear();
    mOmniLights.clear();
    mOmniNodes.clear();
    mOmniMotionLight.clear();
    mSpotLights.clear();
    mSpotTargets.clear();
    mSpotNodes.clear();
    mSpotTargetNodes.clear();
    mSpotMotionLight.clear();
    mCameras.clear();
    mCameraTargets.clear();
    mCameraNodes.clear();
    mCameraTargetNodes.clear();
    mMaterialRecordByName.clear();
    mTextureMap.clear();
    mMaterialsByName.clear();
    mTextureNames.clear();
    mNodesByName.clear();
    mReferenceNode = nullptr;
    if (mBackground != nullptr) FtkBackgroundRelease(&mBackground);
    if (mMeshSettings != nullptr) FtkMeshSettingsRelease(&mMeshSettings);
    if (mDatabase != nullptr) FtkDatabaseRelease(&mDatabase);
}

bool KDuzReader3DS::BuildScene(KDuzScene* scene) {
    if (scene->GetRootNode() == nullptr) return false;
    const KDuzRGBAColor ambient = mAmbientLight ? KDuzRGBAColor(mAmbient[0], mAmbient[1], mAmbient[2])
                                                : KDuzRGBAColor(0.0, 0.0, 0.0);
    if (KDuzGlobalLightSettings* lights = scene->GetGlobalLightSettings()) lights->SetAmbientColor(ambient);

    FtkBackgroundInit(&mBackground);
    if (ToolkitFailed() || mBackground == nullptr) return false;
    FtkBackgroundGet(mDatabase, &mBackground);
    if (ToolkitFailed()) return false;
    const KDuzRGBAColor background(mBackground->solid.r, mBackground->solid.g, mBackground->solid.b);
    if (KDuzGlobalCameraSettings* cameras = scene->GetGlobalCameraSettings()) {
        for (int i = 0; i < KDuzGlobalCameraSettings::eProducerCount; ++i) {
            if (KDuzCamera* camera = cameras->GetProducerCamera(i)) camera->SetBackgroundColor(background);
        }
    }
    if (mMaterial && !ReadMaterials()) return false;
    if (!CreateObjects()) return false;
    if (!CreateNodes()) return false;
    if (mReferenceNodeFlag) {
        mReferenceNode = KDuzNode::Create(mManager, "Duz_Root");
        if (mReferenceNode == nullptr) return false;
        scene->GetRootNode()->AddChild(mReferenceNode);
        mReferenceNode->SetLclScaling(duzVectorTemplate3<double>(mScale, mScale, mScale));
    }
    if (!LinkNodes(scene)) return false;
    if (!ReadTracks()) return false;

    // Without animation (or with static keys at frame 0 alone) the take
    // gets the default span rather than an empty one.
    KTime start;
    KTime stop = FrameTime(kDefaultTakeFrames);
    if (mLastFrame > mFirstFrame) {
        start = FrameTime(mFirstFrame);
        stop = FrameTime(mLastFrame);
    }
    KDuzTakeDescription take;
    take.name = kTakeName;
    take.localStart = start;
    take.localStop = stop;
    take.referenceStart = start;
    take.referenceStop = stop;
    scene->SetTakeDescription(take);
    scene->SetCurrentTake(kTakeName);
    return true;
}

bool KDuzReader3DS::CreateObjects() {
    mMeshes.assign(mMeshRecords.size(), nullptr);
    for (size_t i = 0; i < mMeshRecords.size(); ++i) {
        KDuzMesh* mesh = KDuzMesh::Create(mManager, "");
        if (mesh == nullptr) return false;
        mMeshes[i] = mesh;
        if (mMeshRecords[i]->faceCount > 0 && !BuildMesh(*mMeshRecords[i], mesh)) return false;
    }
    for (size_t i = 0; i < mOmniRecords.size(); ++i) {
        KDuzLight* light = KDuzLight::Create(mManager, "");
        if (light == nullptr) return false;
        light->SetLightType(KDuzLight::ePoint);
        mOmniLights.push_back(light);
    }
    for (FtkLight* record : mSpotRecords) {
        KDuzLight* light = KDuzLight::Create(mManager, "");
        KDuzMarker* target = KDuzMarker::Create(mManager, "");
        if (light == nullptr || target == nullptr) return false;
        light->SetLightType(KDuzLight::eSpot);
        if (record->spot != nullptr && record->spot->projector != 0 && record->spot->projectorName != nullptr)
            light->SetFileName(record->spot->projectorName);
        mSpotLights.push_back(light);
        mSpotTargets.push_back(target);
    }
    const KDuzRGBAColor background(mBackground->solid.r, mBackground->solid.g, mBackground->solid.b);
    for (FtkCamera* record : mCameraRecords) {
        KDuzCamera* camera = KDuzCamera::Create(mManager, "");
        KDuzMarker* target = KDuzMarker::Create(mManager, "");
        if (camera == nullptr || target == nullptr) return false;
        camera->SetNearPlane(record->nearRange * mScale);
        camera->SetFarPlane(record->farRange * mScale * 10.0);
        // A field of view of 0 (or a broken one) has no lens: the camera
        // keeps its default focal length.
        if (record->fov > 0.0f && std::isfinite(record->fov)) camera->SetFocalLength(2400.0 / record->fov);
        camera->SetApertureMode(1);
        camera->SetBackgroundColor(background);
        mCameras.push_back(camera);
        mCameraTargets.push_back(target);
    }
    return true;
}

KDuzNode* KDuzReader3DS::NewNode(const std::string& name) {
    KDuzNode* node = KDuzNode::Create(mManager, name.c_str());
    if (node != nullptr) mNodesByName.try_emplace(name, node);
    return node;
}

bool KDuzReader3DS::CreateNodes() {
    const auto meshByName = IndexByName(mMeshRecords, mMeshes);
    const double scale = PositionScale();
    std::vector<bool> pivotApplied(mMeshes.size(), false);
    for (FtkObjectMotion* motion : mObjectMotions) {
        const std::string name = Name(motion->name);
        const std::string instance = Name(motion->instance);
        KDuzNode* node = NewNode(instance.empty() ? name : name + "." + instance);
        if (node == nullptr) return false;
        mObjectNodes.push_back(node);
        const int m = mMesh ? Find(meshByName, name) : -1;
        if (m < 0) continue;
        KDuzMesh* mesh = mMeshes[static_cast<size_t>(m)];
        node->SetNodeAttribute(mesh);
        if (mesh->GetTextureCount(0, 3) > 0) node->SetShadingMode(kShadingModeTextured);
        // Instances share the mesh: its points move by the pivot once.
        if (pivotApplied[static_cast<size_t>(m)]) continue;
        pivotApplied[static_cast<size_t>(m)] = true;
        const KgeTVector pivot(motion->pivot.x * scale, motion->pivot.z * scale, -motion->pivot.y * scale, 0.0);
        KgeTVector* points = mesh->GetControlPoints();
        for (int i = 0; i < mesh->GetControlPointsCount(); ++i) {
            for (int k = 0; k < 3; ++k) points[i][k] -= pivot[k];
        }
    }
    const auto omniByName = IndexByName(mOmniRecords, mOmniLights);
    for (FtkOmniMotion* motion : mOmniMotions) {
        const std::string name = Name(motion->name);
        KDuzNode* node = NewNode(name);
        if (node == nullptr) return false;
        mOmniNodes.push_back(node);
        const int l = mLight ? Find(omniByName, name) : -1;
        mOmniMotionLight.push_back(l);
        if (l >= 0) node->SetNodeAttribute(mOmniLights[static_cast<size_t>(l)]);
    }
    const auto spotByName = IndexByName(mSpotRecords, mSpotLights);
    for (FtkSpotMotion* motion : mSpotMotions) {
        const std::string name = Name(motion->name);
        KDuzNode* node = NewNode(name);
        KDuzNode* target = NewNode(name + ".Target");
        if (node == nullptr || target == nullptr) return false;
        mSpotNodes.push_back(node);
        mSpotTargetNodes.push_back(target);
        const int l = mLight ? Find(spotByName, name) : -1;
        mSpotMotionLight.push_back(l);
        if (l < 0) continue;
        node->SetNodeAttribute(mSpotLights[static_cast<size_t>(l)]);
        target->SetNodeAttribute(mSpotTargets[static_cast<size_t>(l)]);
    }
    const auto cameraByName = IndexByName(mCameraRecords, mCameras);
    for (FtkCameraMotion* motion : mCameraMotions) {
        const std::string name = Name(motion->name);
        KDuzNode* node = NewNode(name);
        KDuzNode* target = NewNode(name + ".Target");
        if (node == nullptr || target == nullptr) return false;
        mCameraNodes.push_back(node);
        mCameraTargetNodes.push_back(target);
        const int c = mCamera ? Find(cameraByName, name) : -1;
        if (c < 0) continue;
        node->SetNodeAttribute(mCameras[static_cast<size_t>(c)]);
        target->SetNodeAttribute(mCameraTargets[static_cast<size_t>(c)]);
    }
    return true;
}

void KDuzReader3DS::Attach(KDuzNode* node, const char* parentName, KDuzNode* parent) {
    if (parentName != nullptr && parentName[0] != '\0') {
        const auto found = mNodesByName.find(parentName);
        // A parent that is the node itself or below it (a loop in the file)
        // is refused by AddChild; the node then goes under the parent.
        if (found != mNodesByName.end() && found->second->AddChild(node)) return;
    }
    parent->AddChild(node);
}

bool KDuzReader3DS::LinkNodes(KDuzScene* scene) {
    KDuzNode* parent = mReferenceNode != nullptr ? mReferenceNode : scene->GetRootNode();
    for (size_t i = 0; i < mObjectNodes.size(); ++i)
        Attach(mObjectNodes[i], Name(mObjectMotions[i]->parent).c_str(), parent);
    for (size_t i = 0; i < mOmniNodes.size(); ++i)
        Attach(mOmniNodes[i], Name(mOmniMotions[i]->parent).c_str(), parent);
    const auto linkTargeted = [&](KDuzNode* node, KDuzNode* target, const std::string& parentName,
                                  const std::string& targetParent) {
        Attach(node, parentName.c_str(), parent);
        Attach(target, (targetParent.empty() ? parentName : targetParent).c_str(), parent);
        node->SetLookAtTarget(target);
    };
    for (size_t i = 0; i < mSpotNodes.size(); ++i) {
        linkTargeted(mSpotNodes[i], mSpotTargetNodes[i], Name(mSpotMotions[i]->parent),
                     Name(mSpotMotions[i]->targetParent));
        mSpotNodes[i]->SetPostTargetRotation(KgeTVector(0.0, 0.0, 90.0, 0.0));
    }
    for (size_t i = 0; i < mCameraNodes.size(); ++i)
        linkTargeted(mCameraNodes[i], mCameraTargetNodes[i], Name(mCameraMotions[i]->parent),
                     Name(mCameraMotions[i]->targetParent));
    return true;
}

}  // namespace duzsdk
