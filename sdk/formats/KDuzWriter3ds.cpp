#include "sdk/formats/KDuzWriter3ds.h"

#include <cmath>
#include <cstring>
#include <string>
#include <utility>

#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/animation/KFCurveNode.h"
#include "sdk/base/KgeMath.h"
#include "sdk/formats/3dsftk/FtkBackground.h"
#include "sdk/formats/3dsftk/FtkCamera.h"
#include "sdk/formats/3dsftk/FtkDatabase.h"
#include "sdk/formats/3dsftk/FtkError.h"
#include "sdk/formats/3dsftk/FtkFile.h"
#include "sdk/formats/3dsftk/FtkKfHierarchy.h"
#include "sdk/formats/3dsftk/FtkKfMotion.h"
#include "sdk/formats/3dsftk/FtkLight.h"
#include "sdk/formats/3dsftk/FtkMeshSettings.h"
#include "sdk/formats/3dsftk/FtkTriMesh.h"
#include "sdk/formats/KRenamingStrategy3DS.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/io/KDuzSavedNames.h"
#include "sdk/io/KDuzSceneRenamer.h"
#include "sdk/io/KDuzStreamOptionsFormats.h"
#include "sdk/object/KDuzPlug.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/KObjectList.h"
#include "sdk/scene/KDuzCamera.h"
#include "sdk/scene/KDuzGlobalLightSettings.h"
#include "sdk/scene/KDuzLight.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNodeAttribute.h"
#include "sdk/scene/KDuzScene.h"

namespace duzsdk {

namespace {

constexpr double kInchToCm = 0.3937007874015748;
constexpr int kRenameFor3ds = 3;
constexpr char kRootPrefix[] = "Duz_Roo";

// The manager's objects of a class in registration order, in one pass (a
// look-up by index would collect them again for every index).
std::vector<KDuzObject*> RegisteredObjects(KDuzSdkManager* manager, const KClassId& classId) {
    std::vector<KDuzObject*> out;
    KObjectList* registry = manager != nullptr ? manager->GetObjectRegistry() : nullptr;
    if (registry == nullptr) return out;
    const int count = registry->KPlug::GetSourceCount();
    for (int i = 0; i < count; ++i) {
        KDuzObject* object = KDuzGetPublicObject(registry->KPlug::GetSource(i));
        if (object != nullptr && object->IsRuntime(classId)) out.push_back(object);
    }
    return out;
}

bool StartsWithRoot(const char* name) { return name != nullptr && std::strncmp(name, kRootPrefix, 7) == 0; }

}  // namespace

KDuzWriter3DS::KDuzWriter3DS(KDuzSdkManager* manager) : KDuzWriter(manager), mMeshes(manager) {}

KDuzWriter3DS::~KDuzWriter3DS() { ReleaseToolkit(); }

void KDuzWriter3DS::ReleaseToolkit() {
    if (mMeshSettings != nullptr) FtkMeshSettingsRelease(&mMeshSettings);
    if (mDatabase != nullptr) FtkDatabaseRelease(&mDatabase);
    if (mFile != nullptr) FtkCloseAllFiles();
    mFile = nullptr;
}

bool KDuzWriter3DS::FileCreate(const char* fileName) {
    if (fileName == nullptr) return false;
    ReleaseToolkit();
    // One 3DS export at a time: the toolkit's error list and files start clean.
    FtkReset();
    mFile = FtkFileOpen(fileName, "wb");
    mFileName = fileName;
    return true;
}

KDuzStreamOptions* KDuzWriter3DS::GetWriteOptions() {
    KDuzStreamOptions3dsWriter* options = KDuzStreamOptions3dsWriter::Create(mManager, "");
    if (options != nullptr) options->Reset();
    return options;
}

bool KDuzWriter3DS::PreprocessScene(KDuzScene* scene) {
    KDuzSceneRenamer renamer(scene);
    renamer.RenameFor(kRenameFor3ds);
    return true;
}

bool KDuzWriter3DS::Stopped() {
    if (mRefused) return true;
    if (!FtkErrorPending()) return false;
    const FtkErrorEntry first = FtkErrorAt(0);
    mError.SetLastErrorWithText(eFileNotCreated, first.text != nullptr ? first.text : "3DS toolkit error");
    return true;
}

// ---- axes ----------------------------------------------------------------------------

void KDuzWriter3DS::ToZUpPoint(const double in[3], double out[3]) {
    const double x = in[0], y = in[1], z = in[2];
    out[0] = x;
    out[1] = -z;
    out[2] = y;
}

void KDuzWriter3DS::ToZUpScale(const double in[3], double out[3]) {
    const double x = in[0], y = in[1], z = in[2];
    out[0] = x;
    out[1] = z;
    out[2] = y;
}

void KDuzWriter3DS::ToZUpRotation(const double in[3], double out[3]) {
    double q[4];
    KgeQuaternionFromEulerXYZ(q, in[0], in[1], in[2]);
    const double converted[4] = {q[0], -q[2], q[1], q[3]};
    KgeQuaternionToEulerXYZ(out, converted);
}

// ---- write driver --------------------------------------------------------------------

bool KDuzWriter3DS::Write(KDuzScene* scene, KDuzStreamOptions* options) {
    if (scene == nullptr) {
        mError.SetLastError(eUnidentifiedError);
        return false;
    }
    const KDuzSavedNames names(mManager);
    PreprocessScene(scene);
    mScene = scene;
    mRefused = false;
    const bool initialised = InitWrite(options);
    if (!initialised) {
        ReleaseToolkit();
        return false;
    }
    if (mRootNode != nullptr) WriteNode(mRootNode);
    if (Stopped()) {
        ReleaseToolkit();
        return false;
    }

    KDuzGlobalLightSettings* lights = scene->GetGlobalLightSettings();
    if (mAmbientLight && lights != nullptr) {
        const KDuzRGBAColor ambient = lights->GetAmbientColor();
        mMeshSettings->ambientLight = {static_cast<float>(ambient.mRed), static_cast<float>(ambient.mGreen),
                                       static_cast<float>(ambient.mBlue)};
    } else {
        mMeshSettings->ambientLight = {0.0f, 0.0f, 0.0f};
    }
    mMeshSettings->masterScale = mRescaling ? static_cast<float>(mRescaleFactor) : 1.0f;
    mMeshSettings->shadowMapSize = 500;
    mMeshSettings->rayBias = 3.0f;
    mMeshSettings->shadowFilter = 3.0f;
    FtkMeshSettingsPut(mDatabase, mMeshSettings);
    if (Stopped()) {
        ReleaseToolkit();
        return false;
    }

    FtkKfSettings* settings = nullptr;
    FtkKfSettingsInit(&settings);
    if (settings != nullptr) {
        settings->animLength = static_cast<int32_t>(mAnimStop.GetFrame(true));
        FtkKfSettingsPut(mDatabase, settings);
        FtkKfSettingsRelease(&settings);
    }
    mMeshes.Clear();
    if (!SaveAndClose()) return false;
    PostprocessScene(scene);
    return true;
}

bool KDuzWriter3DS::InitWrite(KDuzStreamOptions* options) {
    mRootNode = mScene->GetRootNode();
    if (dynamic_cast<KDuzStreamOptions3dsWriter*>(options) != nullptr) {
        struct Row {
            const char* name;
            bool* member;
        };
        const Row rows[] = {{"TEXTURE", &mTexture},          {"MATERIAL", &mMaterial},   {"ANIMATION", &mAnimation},
                            {"MESH", &mMesh},                {"LIGHT", &mLight},         {"CAMERA", &mCamera},
                            {"AMBIENT LIGHT", &mAmbientLight}, {"REFERENCENODE", &mReferenceNode},
                            {"RESCALING", &mRescaling},      {"TEXUVBYPOLY", &mTexUVByPoly}};
        for (const Row& row : rows) *row.member = options->GetBoolOption(row.name, *row.member);
    } else {
        mError.SetLastError(eStreamOptionsNotSet);
    }
    mRescaleFactor = mRescaling ? kInchToCm : 1.0;

    FtkDatabaseInit(&mDatabase);
    if (Stopped()) return false;
    FtkDatabaseCreate(mDatabase, kFtkMeshDatabase);
    if (Stopped()) return false;
    FtkMeshSettingsInit(&mMeshSettings);
    if (Stopped()) return false;

    // Legal names: one numbering for nodes, another for materials.
    {
        KRenamingStrategy3DS nodes;
        for (KDuzObject* object : RegisteredObjects(mManager, KDuzNode::ClassId())) {
            KString name(object->GetName());
            nodes.RenameText(name, 10);
            object->SetName(name.Buffer(), false);
        }
        KRenamingStrategy3DS materials;
        for (KDuzObject* object : RegisteredObjects(mManager, KDuzSurfaceMaterial::ClassId())) {
            KString name(object->GetName());
            materials.RenameText(name, 15);
            object->SetName(name.Buffer(), false);
        }
    }

    mAnimationEnabled = mAnimation;
    if (mRootNode != nullptr) mRootNode->GetAnimationInterval(mAnimStart, mAnimStop);
    if (mAnimStart == mAnimStop) {
        mAnimationEnabled = false;
        mAnimStart = KTime(0);
        mAnimStop.SetTime(0, 0, 0, 100);
    }
    return true;
}

bool KDuzWriter3DS::SaveAndClose() {
    FtkDatabaseSave(mFile, mDatabase);
    if (Stopped()) {
        ReleaseToolkit();
        return false;
    }
    FtkMeshSettingsRelease(&mMeshSettings);
    FtkDatabaseRelease(&mDatabase);
    FtkCloseAllFiles();
    mFile = nullptr;
    if (Stopped()) return false;
    return true;
}

// ---- scene walk ----------------------------------------------------------------------

void KDuzWriter3DS::NodeTransform(KDuzNode* node, double t[3], double r[3], double s[3]) const {
    KFCurve* curves[3][3] = {};
    KDuzTakeNode* take = node->GetCurrentTakeNode();
    KFCurveNode* root = take != nullptr ? take->GetCurveNode() : nullptr;
    if (root != nullptr) root->GetTRSCurves(curves[0], curves[1], curves[2]);
    const duzVectorTemplate3<double> local[3] = {node->GetLclTranslation(), node->GetLclRotation(),
                                                 node->GetLclScaling()};
    double* out[3] = {t, r, s};
    for (int g = 0; g < 3; ++g) {
        const bool all = curves[g][0] != nullptr && curves[g][1] != nullptr && curves[g][2] != nullptr;
        for (int a = 0; a < 3; ++a) out[g][a] = all ? curves[g][a]->Evaluate(KTime(0)) : local[g][a];
    }
}

void KDuzWriter3DS::WriteNode(KDuzNode* node) {
    // Depth first without recursion: scenes may be chains of any depth. Each
    // node's children are taken once, in one pass, when the node is entered:
    // reading the count and each child by index would cost the number of
    // children each time, and nothing here adds or removes children.
    struct Visit {
        KDuzNode* node;
        std::vector<KDuzObject*> children;
        size_t next = 0;
        bool entered = false;
    };
    std::vector<Visit> pending;
    pending.push_back(Visit{node, {}});
    while (!pending.empty() && !Stopped()) {
        Visit& top = pending.back();
        KDuzNode* current = top.node;
        if (!top.entered) {
            top.entered = true;
            KDuzCollectSrcObjects(current, KDuzNode::ClassId(), top.children);
            double t[3], r[3], s[3];
            NodeTransform(current, t, r, s);
            KDuzObject* attribute = current->GetNodeAttribute();
            const int type = attribute != nullptr ? KDuzNode::GetAttributeTypeOf(attribute) : 0;
            if (type == KDuzNodeAttribute::eMesh || type == KDuzNodeAttribute::ePatch ||
                type == KDuzNodeAttribute::eNurb) {
                if (mMesh) {
                    const bool texture = mTexture;
                    // Patches and NURBS are written as triangles made beside
                    // the scene: the caller's nodes keep their geometry.
                    if (type != KDuzNodeAttribute::eMesh) mTexture = false;
                    KDuzMesh* mesh = mMeshes.MeshFor(current, false);
                    if (FtkTriMesh* record = WriteMesh(mesh, t, r, s, current->GetName())) {
                        FtkTriMeshPut(mDatabase, record);
                        FtkTriMeshRelease(&record);
                    }
                    mTexture = texture;
                    if (mRefused) break;
                    if (FtkObjectMotion* motion = WriteObjectMotion(current)) {
                        FtkObjectMotionPut(mDatabase, motion);
                        FtkObjectMotionRelease(&motion);
                    }
                }
            } else if (type == KDuzNodeAttribute::eLight) {
                auto* light = dynamic_cast<KDuzLight*>(attribute);
                if (mLight && light != nullptr) {
                    if (light->GetLightType() == KDuzLight::ePoint) {
                        if (FtkLight* record = WriteOmniLight(light, t, current->GetName())) {
                            FtkLightPut(mDatabase, record);
                            FtkLightRelease(&record);
                        }
                        if (FtkOmniMotion* motion = WriteOmniMotion(current)) {
                            FtkOmniMotionPut(mDatabase, motion);
                            FtkOmniMotionRelease(&motion);
                        }
                    } else if (light->GetLightType() == KDuzLight::eSpot) {
                        if (FtkLight* record = WriteSpotlight(light, t, current->GetName())) {
                            FtkLightPut(mDatabase, record);
                            FtkLightRelease(&record);
                        }
                        if (FtkSpotMotion* motion = WriteSpotMotion(current)) {
                            FtkSpotMotionPut(mDatabase, motion);
                            FtkSpotMotionRelease(&motion);
                        }
                    }
                }
            } else if (type == KDuzNodeAttribute::eCamera) {
                auto* camera = dynamic_cast<KDuzCamera*>(attribute);
                if (mCamera && camera != nullptr) {
                    if (FtkCamera* record = WriteCamera(camera, t, current->GetName())) {
                        FtkCameraPut(mDatabase, record);
                        FtkCameraRelease(&record);
                    }
                    if (FtkCameraMotion* motion = WriteCameraMotion(current)) {
                        FtkCameraMotionPut(mDatabase, motion);
                        FtkCameraMotionRelease(&motion);
                    }
                }
            } else {
                const char* name = current->GetName();
                if (StartsWithRoot(name)) mRescaleFactor = current->GetLclScaling()[0] * kInchToCm;
                if ((current->GetParent() != nullptr || mReferenceNode) && !StartsWithRoot(name)) {
                    if (FtkObjectMotion* motion = WriteObjectMotion(current)) {
                        FtkCopyName(motion->name, sizeof motion->name, "$$$DUMMY");
                        FtkCopyName(motion->instance, sizeof motion->instance, name);
                        motion->bboxMin = {-0.5f, -0.5f, -0.5f};
                        motion->bboxMax = {0.5f, 0.5f, 0.5f};
                        FtkObjectMotionPut(mDatabase, motion);
                        FtkObjectMotionRelease(&motion);
                    }
                }
            }
            continue;
        }
        if (top.next < top.children.size()) {
            auto* child = dynamic_cast<KDuzNode*>(top.children[top.next++]);
            if (child != nullptr) pending.push_back(Visit{child, {}});
        } else {
            pending.pop_back();
        }
    }
}

// ---- lights, cameras, background -----------------------------------------------------

namespace {

template <typename Record>
void NameAndPosition(Record* record, const double translation[3], const char* nodeName) {
    FtkCopyName(record->name, sizeof record->name, nodeName != nullptr ? nodeName : "");
    double p[3];
    KDuzWriter3DS::ToZUpPoint(translation, p);
    record->position = {static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2])};
}

}  // namespace

FtkLight* KDuzWriter3DS::WriteOmniLight(KDuzLight* light, const double translation[3], const char* nodeName) {
    if (light == nullptr) return nullptr;
    FtkLight* record = nullptr;
    FtkLightInit(&record);
    if (record == nullptr) return nullptr;
    NameAndPosition(record, translation, nodeName);
    const KDuzRGBAColor colour = light->GetColor();
    record->color = {static_cast<float>(colour.mRed), static_cast<float>(colour.mGreen),
                     static_cast<float>(colour.mBlue)};
    record->multiplier = static_cast<float>(light->GetIntensity() / 100.0);
    return record;
}

FtkLight* KDuzWriter3DS::WriteSpotlight(KDuzLight* light, const double translation[3], const char* nodeName) {
    if (light == nullptr) return nullptr;
    FtkLight* record = nullptr;
    FtkSpotlightInit(&record);
    if (record == nullptr) return nullptr;
    NameAndPosition(record, translation, nodeName);
    const KDuzRGBAColor colour = light->GetColor();
    record->color = {static_cast<float>(colour.mRed), static_cast<float>(colour.mGreen),
                     static_cast<float>(colour.mBlue)};
    record->multiplier = static_cast<float>(light->GetIntensity() / 100.0);
    if (record->spot != nullptr) record->spot->hotspot = static_cast<float>(light->GetConeAngle());
    return record;
}

FtkCamera* KDuzWriter3DS::WriteCamera(KDuzCamera* camera, const double translation[3], const char* nodeName) {
    if (camera == nullptr) return nullptr;
    FtkCamera* record = nullptr;
    FtkCameraInit(&record);
    if (record == nullptr) return nullptr;
    NameAndPosition(record, translation, nodeName);
    FtkBackground* background = nullptr;
    FtkBackgroundInit(&background);
    if (background != nullptr) {
        const KDuzRGBAColor colour = camera->GetBackgroundColor();
        background->solid = {static_cast<float>(colour.mRed), static_cast<float>(colour.mGreen),
                             static_cast<float>(colour.mBlue)};
        if (mDatabase != nullptr) FtkBackgroundPut(mDatabase, background);
        FtkBackgroundRelease(&background);
    }
    return record;
}

}  // namespace duzsdk
