#include "sdk/duz/KDuzReaderDuz.h"

#include <cstring>
#include <unordered_set>
#include <vector>

#include "sdk/base/KProgress.h"
#include "sdk/duz/KDuz5RecordNames.h"
#include "sdk/duz/KDuzReaderDuz6Records.h"
#include "sdk/io/KDuzStreamOptionsDuz.h"
#include "sdk/object/KDuzObject.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/scene/KDuzCamera.h"
#include "sdk/scene/KDuzCameraSwitcher.h"
#include "sdk/scene/KDuzGlobalCameraSettings.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"
#include "sdk/scene/KDuzSceneInfo.h"

namespace duzsdk {

KDuzReaderDuz::KDuzReaderDuz(KDuzSdkManager* manager, KDuzImporter* importer) : KDuzReaderDuz6(manager, importer) {}

KDuzReaderDuz::~KDuzReaderDuz() = default;

bool KDuzReaderDuz::IsOldLayout() const { return OldLayout(); }

void KDuzReaderDuz::UpdatePropertyFormatFlag(bool openMainSection) {
    if (mFile == nullptr) return;
    int major = 0;
    int minor = 0;
    int revision = 0;
    KDuzSplitVersion(mFile->GetSectionVersion(0), &major, &minor, &revision);
    if (major != 5) {
        mFile->SetPropertyFormatFlag(major < 5);
        return;
    }
    if (minor != 8 || revision != 0) {
        mFile->SetPropertyFormatFlag(minor < 8);
        return;
    }
    // 5.8.0 files exist in both layouts: "Definitions" tells them apart.
    if (openMainSection) {
        if (!mFile->ProjectOpenMainSection()) return;
        mFile->SetPropertyFormatFlag(mFile->FieldGetInstanceCount(duz5::kDefinitions) == 0);
        mFile->FinishBeforeClose();
        return;
    }
    mFile->SetPropertyFormatFlag(mFile->FieldGetInstanceCount(duz5::kDefinitions) == 0);
}

// ---- read options -----------------------------------------------------------

void KDuzReaderDuz::ReadContentInformation() {
    KDuz* duz = GetFieldFile();
    KDuzStreamOptionsDuzReader* options = GetCurrentReadOptions();
    if (duz == nullptr || options == nullptr) return;
    // The counts of the version 6 scan first ("Model", "Device", takes).
    KDuzReaderDuz6::ReadContentInformation();
    options->SetIntOption("CHARACTER COUNT", duz->FieldGetInstanceCount(duz5::kCharacter));
    options->SetIntOption("ACTOR COUNT", duz->FieldGetInstanceCount(duz5::kActor));
    int constraints = 0;
    if (duz->FieldReadBegin(duz5::kConstraints)) {
        if (duz->FieldReadBlockBegin()) {
            while (duz->FieldReadBegin(duz5::kGroup)) {
                if (duz->FieldReadBlockBegin()) {
                    constraints += duz->FieldGetInstanceCount(duz5::kConstraint);
                    duz->FieldReadBlockEnd();
                }
                duz->FieldReadEnd();
            }
            duz->FieldReadBlockEnd();
        }
        duz->FieldReadEnd();
    }
    options->SetIntOption("CONSTRAINT_COUNT", constraints);
    int media = 0;
    if (duz->FieldReadBegin(duz5::kMedia)) {
        if (duz->FieldReadBlockBegin()) {
            if (duz->FieldReadBegin(duz5::kVideo)) {
                if (duz->FieldReadBlockBegin()) {
                    while (duz->FieldReadBegin(duz5::kVideo)) {
                        if (duz->FieldReadBlockBegin()) {
                            if (std::strcmp(duz->FieldReadStringOrDefault(duz5::kType, ""), duz5::kClip) == 0)
                                ++media;
                            duz->FieldReadBlockEnd();
                        }
                        duz->FieldReadEnd();
                    }
                    duz->FieldReadBlockEnd();
                }
                duz->FieldReadEnd();
            }
            duz->FieldReadBlockEnd();
        }
        duz->FieldReadEnd();
    }
    options->SetIntOption("MEDIA COUNT", media);
    // A "SceneGenericPersistence" block holds the scene information.
    if (duz->FieldReadBegin(duz5::kSceneGenericPersistence)) {
        if (duz->FieldReadBlockBegin()) {
            if (KDuzSceneInfo* info = ReadSceneInfoSection()) {
                if (KDuzSceneInfo* previous = options->GetSceneInfo()) previous->Destroy();
                options->SetSceneInfo(info);
            }
            duz->FieldReadBlockEnd();
        }
        duz->FieldReadEnd();
    }
    duz->FieldReadRewind();
}

// ---- the read driver --------------------------------------------------------

bool KDuzReaderDuz::ReadFromFileObject(KDuzScene* scene, KDuzStreamOptions* options, IDuzObject* file) {
    IProgress* progress = KProgressGetGlobal();
    if (progress != nullptr) progress->Begin();

    // Whatever fails below says why; an error of an earlier call would only
    // mislead.
    mError.ClearError();
    IDuzObject* ownFile = mFile;
    bool givenFile = false;
    bool status = BeginRead(scene, options, file, givenFile);
    const char* step = "the main section";
    mMessageText = "";
    mSkippedKinds.clear();

    if (progress != nullptr) progress->SetTotal(1 + CountMarkedTakes());

    const bool errorBefore = status && mFile->GetError().HasError();
    if (status) {
        if (mFile->GetCurrentSectionIndex() < 0) {
            status = mFile->ProjectOpenMainSection();
            if (!status) SetDamaged(step);
            else UpdatePropertyFormatFlag(false);
        } else if (!givenFile) {
            mFile->FieldReadRewind();
            UpdatePropertyFormatFlag(false);
        }
    }
    if (status && !givenFile && !CheckPassword(mReadOptions->GetStringOption("PASSWORD").Buffer())) {
        mError.SetLastError(eWrongPassword);
        status = false;
    }

    if (scene != nullptr) scene->Clear();
    mNodes.clear();
    mLegacyNodes.clear();
    mPendingLookAt.clear();
    mPendingUpVector.clear();
    mPendingTextures.clear();
    mChildNames.clear();
    mClusterNames.clear();
    mInlineTextures.clear();
    mUnnamedCharacters = 0;

    if (status) {
        KDuz& duz = *mFile;
        mReadLinks = OptionIsSet("LINK");
        mReadShapes = OptionIsSet("SHAPE");
        // Actors and devices have no class here.
        if (!givenFile && duz.FieldGetInstanceCount(duz5::kActor) > 0) mSkippedKinds.insert(duz5::kActor);
        if (!givenFile && duz.FieldGetInstanceCount(duz5::kDevice) > 0) mSkippedKinds.insert(duz5::kDevice);
        KindList kinds;
        step = "the definitions";
        if (!OldLayout()) status = ReadDefinitions(scene, kinds);
        if (status) {
            ReadCameraSwitcherSection(scene);
            duz.FieldReadRewind();
            step = "the models";
            status = OldLayout() ? ReadTopLevelModels(scene) : ReadObjects(scene, kinds);
            if (KDuzNode* root = scene->GetRootNode()) {
                mNames.erase(duz5::kScene);
                if (mMirrorNames) mFile->UnmapObjectName(duz5::kScene);
                MapName(duz5::kScene, root);
            }
        }
        if (status) {
            step = "the links between models";
            status = ResolveNodeLinks(scene->GetRootNode());
        }
        if (!OldLayout()) SettleCameraNodes5(scene);
        if (status) {
            ResolvePendingTextures(scene);
            MergeDuplicateTextures(scene);
            MergeDuplicateMaterials(scene);
            if (OptionIsSet("TEXTURE")) ReadMedia(scene);
            if (OptionIsSet("GOBO")) ReadGoboManager(scene);
            if (OptionIsSet("CHARACTER")) ReadCharacters(scene);
            ReadSceneGenericPersistence(scene);
            if (OptionIsSet("GLOBAL SETTINGS")) {
                if (OldLayout()) {
                    ReadOldGlobalSettings(scene);
                } else if (duz.FieldReadBegin(duz5::kVersion5)) {
                    if (duz.FieldReadBlockBegin()) {
                        ReadGlobalLightSettings(scene);
                        ReadTimeSettings(scene);
                        ReadRendererSetting(scene);
                        duz.FieldReadBlockEnd();
                    }
                    duz.FieldReadEnd();
                }
            }
            if (!OldLayout()) {
                ReadConnections(scene);
                KDuz6DropClusterIndicesOutsidePoints(scene);
            }
            if (OptionIsSet("ANIMATION") && mReadOptions->GetTakeDescriptionCount() > 0) {
                step = "the takes";
                status = ReadTakes(scene);
            }
            if (!errorBefore && duz.GetLastErrorID() == KDuz::kErrorCorrupted) {
                if (status || !mError.HasError()) SetDamaged(status ? "the scene's records" : step);
                status = false;
            }
            if (status) {
                if (!OldLayout()) {
                    scene->ConnectNodeMaterialsToLayers();
                    scene->ConnectNodeTexturesToLayers();
                    if (KDuzNode* root = scene->GetRootNode()) scene->ConvertSkeletonInheritTypes(root);
                }
                RemapCameraSwitcherIndices(scene);
            }
        }
    }
    if (!status && !mError.HasError()) SetDamaged(step);
    if (!mSkippedKinds.empty()) {
        mMessageText = "Records without a class in this SDK were skipped:";
        const char* separator = " ";
        for (const std::string& kind : mSkippedKinds) {
            mMessageText += separator;
            mMessageText += kind.c_str();
            separator = ", ";
        }
    }

    if (givenFile) mFile = ownFile;
    mReadOptions = nullptr;
    mMirrorNames = false;
    mInlineTextures.clear();
    mClusterNames.clear();
    mChildNames.clear();
    if (progress != nullptr) progress->End();
    return status;
}

// Producer cameras go to the scene's camera settings and the camera switcher
// last in name order becomes the scene's; the version 6 rules, which also
// drop every reference to a replaced node before the scene frees it.
void KDuzReaderDuz::SettleCameraNodes5(KDuzScene* scene) { SettleCameraNodes(scene); }

void KDuzReaderDuz::ResolvePendingTextures(KDuzScene* scene) {
    if (scene == nullptr || mPendingTextures.empty()) return;
    std::vector<KDuzObject*> textures;
    KDuzCollectSrcObjects(scene, KDuzTexture::ClassId(), textures);
    for (const auto& [name, camera] : mPendingTextures)
        for (KDuzObject* texture : textures)
            if (texture->GetName() != nullptr && name == texture->GetName()) camera->ConnectSrcObject(texture);
    mPendingTextures.clear();
}

}  // namespace duzsdk
