#include "sdk/duz/KDuzReaderDuz6.h"

#include <cstring>
#include <string>
#include <vector>

#include "sdk/base/KPath.h"
#include "sdk/base/KProgress.h"
#include "sdk/duz/KDuzReaderDuz6Records.h"
#include "sdk/geometry/KDuzTrimNurbsSurface.h"
#include "sdk/io/KDuzFileEvent.h"
#include "sdk/io/KDuzStreamOptionsDuz.h"
#include "sdk/object/KDuzObject.h"
#include "sdk/scene/KDuzCamera.h"
#include "sdk/scene/KDuzCameraSwitcher.h"
#include "sdk/scene/KDuzGlobalCameraSettings.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

namespace duzsdk {

namespace {

// Reader error codes.
constexpr int kErrorCorrupted = KDuzReader::eFileCorrupted;
constexpr int kErrorFileNotOpened = KDuzReader::eFileNotOpened;
constexpr int kErrorWrongPassword = KDuzReader::eWrongPassword;
constexpr int kErrorStreamOptionsNotSet = KDuzReader::eStreamOptionsNotSet;
constexpr int kErrorUnidentified = KDuzReader::eUnidentifiedError;

}  // namespace

// ---- the reader ---------------------------------------------------------------

KDuzReaderDuz6::KDuzReaderDuz6(KDuzSdkManager* manager, KDuzImporter* importer)
    : KDuzReader(manager), mImporter(importer) {}

KDuzReaderDuz6::~KDuzReaderDuz6() {
    if (mFile != nullptr) FileClose();
    ForgetUpdatedSummary();
}

void KDuzReaderDuz6::GetVersion(int& major, int& minor, int& revision) {
    if (mFile == nullptr) {
        // Nothing to ask before a file is open.
        major = minor = revision = 0;
        mError.SetLastError(kErrorFileNotOpened);
        return;
    }
    KDuzSplitVersion(mFile->GetSectionVersion(0), &major, &minor, &revision);
}

bool KDuzReaderDuz6::FileOpen(const char* fileName) {
    mRenderResolutionPresent = false;
    ForgetUpdatedSummary();
    if (mFile == nullptr) mFile = IDuzObject::Create();
    if (mFile == nullptr) {
        mError.SetLastError(kErrorUnidentified);
        return false;
    }
    // An absolute name stands on its own; a relative one is taken from the
    // process's current folder.
    const KString path = KPathJoin(KPathGetCurrentDirectory(), fileName != nullptr ? fileName : "");
    KDuzFileHeaderInfo header;
    KDuz& duz = *mFile;
    if (duz.ProjectOpenForReader(path.Buffer(), true, false, &header)) {
        if (header.cameraResolutionW != 0.0 && header.cameraResolutionH != 0.0 &&
            !header.cameraResolutionMode.IsEmpty()) {
            mRenderResolutionPresent = true;
            mCameraName = header.cameraName;
            mResolutionMode = header.cameraResolutionMode;
            mResolutionWidth = header.cameraResolutionW;
            mResolutionHeight = header.cameraResolutionH;
        }
        return true;
    }
    const int code = duz.GetLastErrorID();
    if (code == KDuz::kErrorCorrupted) {
        SetDamaged("the header");
        return false;
    }
    mError.SetLastErrorWithText(code >= 0 && code <= 4 ? code : kErrorUnidentified,
                                duz.GetLastErrorString());
    return false;
}

bool KDuzReaderDuz6::FileClose() {
    if (mFile == nullptr) {
        mError.SetLastError(kErrorFileNotOpened);
        return false;
    }
    KDuz& duz = *mFile;
    bool closed = duz.ProjectClose();
    if (!closed) {
        if (duz.GetLastErrorID() == KDuz::kErrorFileNotOpened)
            mError.SetLastError(kErrorFileNotOpened);
        else
            mError.SetLastErrorWithText(kErrorUnidentified, duz.GetLastErrorString());
    }
    mFile->Destroy();
    mFile = nullptr;
    mMirrored.clear();
    ForgetUpdatedSummary();
    return closed;
}

bool KDuzReaderDuz6::CheckPassword(const char* password) {
    if (mFile == nullptr) return false;
    if (!mFile->HasPassword()) return true;
    if (mFile->CheckPassword(password != nullptr ? password : "")) return true;
    // The application may unlock the file from its hook.
    KDuzFileEventNotify(mFile, eDuzFileEventWrongPassword);
    return !mFile->HasPassword();
}

bool KDuzReaderDuz6::GetDefaultRenderResolution(KString& cameraName, KString& resolutionMode,
                                                double& width, double& height) {
    if (!mRenderResolutionPresent) return false;
    cameraName = mCameraName;
    resolutionMode = mResolutionMode;
    width = mResolutionWidth;
    height = mResolutionHeight;
    return true;
}

KDuzObject* KDuzReaderDuz6::FindObjectByName(const char* fullName) const {
    if (fullName == nullptr) return nullptr;
    const auto it = mNames.find(fullName);
    return it != mNames.end() && it->second.handle.IsLive() ? it->second.object : nullptr;
}

bool KDuzReaderDuz6::MapName(const char* fullName, KDuzObject* object) {
    if (fullName == nullptr || object == nullptr ||
        !mNames.emplace(fullName, MappedObject{object, HdlKObject::FromPlug(object->GetInternalPlug())}).second)
        return false;
    if (mMirrorNames && mFile != nullptr) {
        mFile->MapObjectName(fullName, object);
        // The file object may also have taken the object's own name.
        mMirrored.emplace_back(fullName, object);
        if (const char* own = object->GetName()) mMirrored.emplace_back(own, object);
    }
    return true;
}

void KDuzReaderDuz6::ForgetMirroredNames() {
    // The objects of an earlier read may be gone by now: only the pointer
    // values are compared, nothing behind them is touched.
    if (mFile != nullptr)
        for (const auto& [name, object] : mMirrored)
            if (mFile->FindObjectByName(name.c_str()) == object) mFile->UnmapObjectName(name.c_str());
    mMirrored.clear();
}

void KDuzReaderDuz6::Register(KDuzScene* scene, const KString& fullName, KDuzObject* object) {
    if (object == nullptr) return;
    MapName(fullName.Buffer(), object);
    if (scene != nullptr) scene->ConnectSrcObject(object);
}

void KDuzReaderDuz6::UnmapObjects(const std::unordered_set<const KDuzObject*>& objects) {
    if (objects.empty()) return;
    for (auto it = mNames.begin(); it != mNames.end();) {
        const KDuzObject* object = it->second.object;
        if (objects.count(object) == 0) {
            ++it;
            continue;
        }
        // The file object also knows the object by its own name.
        if (mMirrorNames && mFile != nullptr && it->second.handle.IsLive()) {
            if (mFile->FindObjectByName(it->first.c_str()) == object) mFile->UnmapObjectName(it->first.c_str());
            const char* own = object->GetName();
            if (own != nullptr && mFile->FindObjectByName(own) == object) mFile->UnmapObjectName(own);
        }
        it = mNames.erase(it);
    }
}

bool KDuzReaderDuz6::OptionIsSet(const char* name) const {
    return mReadOptions != nullptr && mReadOptions->GetBoolOption(name, false);
}

int KDuzReaderDuz6::CountMarkedTakes() const {
    if (mReadOptions == nullptr) return 0;
    int count = 0;
    for (int i = 0; i < mReadOptions->GetTakeDescriptionCount(); ++i) {
        const KDuzTakeDescription* take = mReadOptions->GetTakeDescription(i);
        if (take != nullptr && take->select) ++count;
    }
    return count;
}

const KDuzTakeDescription* KDuzReaderDuz6::FindTakeDescription(const char* name) const {
    if (mReadOptions == nullptr || name == nullptr) return nullptr;
    for (int i = 0; i < mReadOptions->GetTakeDescriptionCount(); ++i) {
        const KDuzTakeDescription* take = mReadOptions->GetTakeDescription(i);
        if (take != nullptr && std::strcmp(take->name.Buffer(), name) == 0) return take;
    }
    return nullptr;
}

KDuzNode* KDuzReaderDuz6::FindNodeByName(const char* name) const {
    if (name == nullptr) return nullptr;
    const auto it = mNodes.find(name);
    return it != mNodes.end() ? it->second : nullptr;
}

// ---- the read driver ----------------------------------------------------------

bool KDuzReaderDuz6::Read(KDuzScene* scene, KDuzStreamOptions* options) {
    return ReadFromFileObject(scene, options, nullptr);
}

bool KDuzReaderDuz6::BeginRead(KDuzScene* scene, KDuzStreamOptions* options, IDuzObject* file, bool& givenFile) {
    bool status = true;
    mReadOptions = dynamic_cast<KDuzStreamOptionsDuzReader*>(options);
    if (mReadOptions == nullptr || scene == nullptr) {
        mError.SetLastError(kErrorStreamOptionsNotSet);
        status = false;
    }
    givenFile = status && file != nullptr;
    if (givenFile) {
        mFile = file;
    } else if (status && mFile == nullptr) {
        mError.SetLastError(kErrorFileNotOpened);
        status = false;
    }
    // The names of this read live in a map of the reader's own. Only the
    // reader's own file object learns them too: a caller's file object keeps
    // its names untouched.
    mNames.clear();
    mMirrorNames = !givenFile;
    if (mMirrorNames) ForgetMirroredNames();
    return status;
}

void KDuzReaderDuz6::SetDamaged(const char* what) {
    KString text("File is corrupted: ");
    text += what;
    if (mFile != nullptr && !mFile->GetOpenedPath().IsEmpty()) {
        text += " of ";
        text += mFile->GetOpenedPath();
    }
    if (mFile == nullptr || mFile->GetLastErrorID() < 0) {
        mError.SetLastErrorWithText(kErrorCorrupted, text.Buffer());
        return;
    }
    // The field file's own text, unless it only says the same.
    const std::string detail = mFile->GetLastErrorString() != nullptr ? mFile->GetLastErrorString() : "";
    if (!detail.empty() && detail != "File is corrupted" &&
        detail != std::string("File is corrupted ") + mFile->GetOpenedPath().Buffer()) {
        text += " (";
        text += detail.c_str();
        text += ")";
    }
    mError.SetLastErrorWithText(kErrorCorrupted, text.Buffer());
}

bool KDuzReaderDuz6::ReadFromFileObject(KDuzScene* scene, KDuzStreamOptions* options, IDuzObject* file) {
    IProgress* progress = KProgressGetGlobal();
    if (progress != nullptr) progress->Begin();

    // Whatever fails below says why; an error of an earlier call would only
    // mislead.
    mError.ClearError();
    IDuzObject* ownFile = mFile;
    bool givenFile = false;
    bool status = BeginRead(scene, options, file, givenFile);
    const char* step = "the main section";

    if (progress != nullptr) progress->SetTotal(1 + CountMarkedTakes());

    // A block of the file that does not parse is damage, not an empty block:
    // the field file records it, and the read fails with it below.
    const bool errorBefore = status && mFile->GetError().HasError();
    if (status) {
        if (mFile->GetCurrentSectionIndex() < 0) {
            status = mFile->ProjectOpenMainSection();
            if (!status) SetDamaged(step);
        } else if (!givenFile) {
            mFile->FieldReadRewind();
        }
    }
    if (status && !givenFile && !CheckPassword(mReadOptions->GetStringOption("PASSWORD").Buffer())) {
        mError.SetLastError(kErrorWrongPassword);
        status = false;
    }

    // A rejected read still leaves an empty scene behind.
    if (scene != nullptr) scene->Clear();
    mNodes.clear();
    mLegacyNodes.clear();

    if (status) {
        KDuz& duz = *mFile;
        KindList kinds;
        step = "the definitions";
        status = ReadDefinitions(scene, kinds);
        ReadCameraSwitcherSection(scene);
        duz.FieldReadRewind();
        ReadObjects(scene, kinds);

        if (KDuzNode* root = scene->GetRootNode()) {
            mNames.erase("Model::Scene");
            if (mMirrorNames) mFile->UnmapObjectName("Model::Scene");
            MapName("Model::Scene", root);
        }
        SettleCameraNodes(scene);

        if (status) step = "the relations";
        status = ReadRelations(scene);

        if (OptionIsSet("GLOBAL SETTINGS") && duz.FieldReadBegin("Version5")) {
            if (duz.FieldReadBlockBegin()) {
                ReadGlobalLightSettings(scene);
                ReadTimeSettings(scene);
                ReadRendererSetting(scene);
                ReadGlobalToolsSettings(scene);
                duz.FieldReadBlockEnd();
            }
            duz.FieldReadEnd();
        }
        if (duz.FieldReadBegin("HierarchyView")) {
            if (duz.FieldReadBlockBegin()) {
                if (KDuzObject* view = KDuzObject::Create(mManager, "HierarchyView"))
                    scene->ConnectSrcObject(view);
                duz.FieldReadBlockEnd();
            }
            duz.FieldReadEnd();
        }
        ReadConnections(scene);
        KDuz6DropClusterIndicesOutsidePoints(scene);
        if (OptionIsSet("ANIMATION") && mReadOptions->GetTakeDescriptionCount() > 0) {
            if (status) step = "the takes";
            status = ReadTakes(scene);
        }
        if (!errorBefore && duz.GetLastErrorID() == KDuz::kErrorCorrupted) {
            if (status || !mError.HasError()) SetDamaged(status ? "the scene's records" : step);
            status = false;
        }
        if (status) Finalise(scene);
    }
    if (!status && !mError.HasError()) SetDamaged(step);

    if (givenFile) mFile = ownFile;
    mReadOptions = nullptr;
    mMirrorNames = false;
    if (progress != nullptr) progress->End();
    return status;
}

// Cameras go to the scene's camera settings; of several camera switchers the
// one last in name order stays. The others are destroyed by the scene when
// replaced, so every reference to them is dropped first.
void KDuzReaderDuz6::SettleCameraNodes(KDuzScene* scene) {
    std::vector<KDuzNode*> switchers;
    std::vector<KDuzNode*> producers;
    for (const auto& [name, node] : mNodes) {
        if (auto* camera = dynamic_cast<KDuzCamera*>(node->GetCamera())) {
            KDuzGlobalCameraSettings* settings = scene->GetGlobalCameraSettings();
            if (settings != nullptr && settings->CopyProducerCamera(name.c_str(), camera)) producers.push_back(node);
        } else if (node->GetCameraSwitcher() != nullptr) {
            switchers.push_back(node);
        }
    }
    DropProducerCameraNodes(scene, producers);
    if (switchers.empty()) return;
    // The top-level "Switcher" went into the switcher node the scene had
    // before "Objects"; a switcher model record without names of its own
    // takes them over instead of losing them with that node, and with them
    // the camera index, unless the record gave one.
    std::vector<KString> earlierNames;
    int earlierIndex = 0;
    if (KDuzNode* earlier = scene->GetCameraSwitcherNode())
        if (auto* switcher = dynamic_cast<KDuzCameraSwitcher*>(earlier->GetCameraSwitcher())) {
            for (int i = 0; i < switcher->GetCameraNameCount(); ++i)
                earlierNames.emplace_back(switcher->GetCameraName(i));
            earlierIndex = switcher->GetDefaultCameraIndex();
        }
    KDuzNode* kept = switchers.back();
    switchers.pop_back();
    // Every reference to a replaced switcher goes before the scene frees it.
    std::unordered_set<const KDuzObject*> dropped(switchers.begin(), switchers.end());
    for (KDuzNode* node : switchers) {
        const auto entry = mNodes.find(node->GetName());
        if (entry != mNodes.end() && entry->second == node) mNodes.erase(entry);
    }
    UnmapObjects(dropped);
    std::erase_if(mLegacyNodes, [&](const KDuzNode* node) { return dropped.count(node) != 0; });
    // Each replaced one is the scene's switcher for a moment, so the scene
    // frees it exactly once, when the next one takes its place.
    for (auto it = switchers.rbegin(); it != switchers.rend(); ++it) scene->SetCameraSwitcherNode(*it);
    scene->SetCameraSwitcherNode(kept);
    auto* switcher = dynamic_cast<KDuzCameraSwitcher*>(kept->GetCameraSwitcher());
    if (switcher != nullptr && switcher->GetCameraNameCount() == 0) {
        for (const KString& name : earlierNames) switcher->AddCameraName(name.Buffer());
        if (switcher->GetDefaultCameraIndex() == 0) switcher->SetDefaultCameraIndex(earlierIndex);
    }
}

// A producer camera lives in the scene's camera settings once its record was
// copied there; kept as a scene node as well, every write and read would add
// the seven cameras once more.
void KDuzReaderDuz6::DropProducerCameraNodes(KDuzScene* scene, const std::vector<KDuzNode*>& nodes) {
    if (nodes.empty()) return;
    std::unordered_set<const KDuzObject*> dropped(nodes.begin(), nodes.end());
    for (KDuzNode* node : nodes) {
        const auto entry = mNodes.find(node->GetName());
        if (entry != mNodes.end() && entry->second == node) mNodes.erase(entry);
    }
    UnmapObjects(dropped);
    std::erase_if(mLegacyNodes, [&](const KDuzNode* node) { return dropped.count(node) != 0; });
    for (KDuzNode* node : nodes) {
        scene->DisconnectSrcObject(node);
        node->Destroy();
    }
}

void KDuzReaderDuz6::Finalise(KDuzScene* scene) {
    scene->ConnectNodeMaterialsToLayers();
    scene->ConnectNodeTexturesToLayers();
    if (KDuzNode* root = scene->GetRootNode()) scene->ConvertSkeletonInheritTypes(root);
    RemapCameraSwitcherIndices(scene);
    RebuildTrimmedSurfaceRegions(scene);
}

// ---- "Definitions" ------------------------------------------------------------

bool KDuzReaderDuz6::ReadDefinitions(KDuzScene* /*scene*/, KindList& kinds) {
    KDuz* duz = GetFieldFile();
    if (duz == nullptr || !duz->FieldReadBegin("Definitions")) return true;
    if (!duz->FieldReadBlockBegin()) {
        duz->FieldReadEnd();
        return true;
    }
    std::unordered_set<std::string> known;
    for (const KString& kind : kinds) known.emplace(kind.Buffer());
    while (duz->FieldReadBegin("ObjectType")) {
        const char* kind = duz->FieldReadString();
        if (known.emplace(kind).second) kinds.emplace_back(kind);
        duz->FieldReadEnd();
    }
    duz->FieldReadBlockEnd();
    duz->FieldReadEnd();
    return true;
}

// ---- "Relations" --------------------------------------------------------------

bool KDuzReaderDuz6::ReadRelations(KDuzScene* scene) {
    KDuz* duz = GetFieldFile();
    if (duz == nullptr || !duz->FieldReadBegin("Relations")) return true;
    if (!duz->FieldReadBlockBegin()) {
        duz->FieldReadEnd();
        return true;
    }
    while (duz->FieldReadBegin("Constraint")) {
        const KString fullName(duz->FieldReadString());
        duz->FieldReadString();
        // A constraint listed here comes last among the scene's sources.
        if (KDuzObject* object = FindObjectByName(fullName.Buffer())) {
            scene->DisconnectSrcObject(object);
            scene->ConnectSrcObject(object);
        }
        duz->FieldReadEnd();
    }
    duz->FieldReadRewind();
    while (duz->FieldReadBegin("Device")) {
        duz->FieldReadString();
        duz->FieldReadString();
        duz->FieldReadEnd();
    }
    duz->FieldReadBlockEnd();
    duz->FieldReadEnd();
    return true;
}

bool KDuzReaderDuz6::ReadGlobalToolsSettings(KDuzScene* scene) {
    KDuzObject* tools = KDuzObject::Create(mManager, "GlobalToolsSettings");
    if (KDuz* duz = GetFieldFile()) duz->FieldReadRewind();
    if (tools != nullptr) scene->ConnectSrcObject(tools);
    return tools != nullptr;
}

// ---- post-read fix-ups --------------------------------------------------------

void KDuzReaderDuz6::RebuildTrimmedSurfaceRegions(KDuzScene* scene) {
    // The regions follow from the boundaries, known only once every
    // connection is made.
    if (scene == nullptr) return;
    std::vector<KDuzObject*> surfaces;
    KDuzCollectSrcObjects(scene, KDuzTrimNurbsSurface::ClassId(), surfaces);
    for (KDuzObject* surface : surfaces) {
        if (auto* trimmed = dynamic_cast<KDuzTrimNurbsSurface*>(surface)) trimmed->RebuildRegions();
    }
}

}  // namespace duzsdk
