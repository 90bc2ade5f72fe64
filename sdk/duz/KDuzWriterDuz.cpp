#include "sdk/duz/KDuzWriterDuz.h"

#include <cstring>
#include <limits>

#include "sdk/base/KDynamicArray.h"
#include "sdk/base/KPath.h"
#include "sdk/base/KProgress.h"
#include "sdk/duz/KDuz5RecordNames.h"
#include "sdk/duz/KDuzSharedWriteRecords.h"
#include "sdk/geometry/KDuzGeometry.h"
#include "sdk/geometry/KDuzGeometryConverter.h"
#include "sdk/io/IDuzObject.h"
#include "sdk/io/KDuzExporter.h"
#include "sdk/io/KDuzSceneRenamer.h"
#include "sdk/io/KDuzStreamOptionsDuz.h"
#include "sdk/io/KDuzStreamOptionsFormats.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNodeAttribute.h"
#include "sdk/scene/KDuzScene.h"
#include "sdk/scene/KDuzTakeDescription.h"

namespace duzsdk {

namespace {

constexpr char kMotionBuilderTag[] = "DUZ53_MB55";

bool Animated(KDuzObject* object, const char* channel, bool components) {
    auto* container = dynamic_cast<KDuzTakeNodeContainer*>(object);
    if (container == nullptr) return false;
    if (!components) return container->IsChannelAnimated(channel);
    return container->IsChannelAnimated(channel, "X") || container->IsChannelAnimated(channel, "Y") ||
           container->IsChannelAnimated(channel, "Z");
}

}  // namespace

KDuzWriterDuz::KDuzWriterDuz(KDuzSdkManager* manager, KDuzExporter* owner) : KDuzWriter(manager), mOwner(owner) {}

KDuzWriterDuz::~KDuzWriterDuz() {
    if (mFile != nullptr) {
        FileClose();
        if (mFile != nullptr) mFile->Destroy();
        mFile = nullptr;
    }
}

KDuz* KDuzWriterDuz::GetFieldFile() const { return mTarget != nullptr ? mTarget : mFile; }

// ---- file -------------------------------------------------------------------

bool KDuzWriterDuz::FileCreate(const char* fileName) {
    if (mFile == nullptr) {
        mFile = IDuzObject::Create();
        if (mFile == nullptr) {
            mError.SetLastError(eEmbeddedOutOfMemory);
            return false;
        }
        mFile->SetPropertyFormatFlag(true);
    }
    KDuzFileHeaderInfo header;
    header.fileVersion = duz5::kFileVersion;
    const KString path = KPathJoin(KPathGetCurrentDirectory(), fileName != nullptr ? fileName : "");
    const bool binary = mFileMode == eBinary || mFileMode == eEnciphered;
    if (mFile->ProjectCreateForWriter(path.Buffer(), binary, mFileMode == eEnciphered, &header)) return true;
    const int code = mFile->GetLastErrorID();
    const int index = code == KDuz::kErrorCorrupted      ? eFileCorrupted
                      : code == KDuz::kErrorFileNotCreated ? eFileNotCreated
                                                           : eEmbeddedOutOfMemory;
    mError.SetLastErrorWithText(index, mFile->GetLastErrorString());
    return false;
}

bool KDuzWriterDuz::FileClose() {
    if (mFile == nullptr) {
        mError.SetLastError(eFileNotOpened);
        return false;
    }
    const bool wasOpen = mFile->IsOpen();
    // The last buffered bytes can still fail to reach the disk.
    const bool healthy = !mFile->GetError().HasError();
    const bool closed = wasOpen && mFile->ProjectClose() && healthy;
    const int code = mFile->GetLastErrorID();
    const KString text(mFile->GetLastErrorString());
    mFile->Destroy();
    mFile = nullptr;
    if (closed) return true;
    if (!wasOpen || code == KDuz::kErrorFileNotOpened)
        mError.SetLastError(eFileNotOpened);
    else
        mError.SetLastErrorWithText(eEmbeddedOutOfMemory, text.Buffer());
    return false;
}

bool KDuzWriterDuz::IsFileOpen() { return mFile != nullptr; }

KDuzStreamOptions* KDuzWriterDuz::CreateWriteOptions(int /*unused*/) {
    return KDuzStreamOptionsDuzWriter::Create(mManager, "");
}

KDuzStreamOptions* KDuzWriterDuz::GetWriteOptions() { return CreateWriteOptions(0); }

bool KDuzWriterDuz::Write(KDuzScene* scene, KDuzStreamOptions* options) {
    mError.ClearError();
    PreprocessScene(scene);
    const bool written = WriteScene(scene, options, nullptr);
    PostprocessScene(scene);
    return written;
}

// ---- scene passes -------------------------------------------------------------

bool KDuzWriterDuz::PreprocessScene(KDuzScene* scene) {
    if (scene == nullptr || GetFileVersionTag() != KString(kMotionBuilderTag)) return false;
    if (KDuzNode* root = scene->GetRootNode()) root->ConvertPivotAnimationRecursive(1, mFrameRate, 1);
    KPointerArray<KDuzNode> surfaces;
    scene->FillNodeAttributeList(surfaces, KDuzNodeAttribute::eNurbsSurface, true);
    if (surfaces.Count() > 0) {
        KDuzGeometryConverter* converter = KDuzGeometryConverter::Create(mManager, "");
        if (converter != nullptr) {
            for (int i = 0; i < surfaces.Count(); ++i) converter->ConvertNurbsSurfaceInPlace(surfaces[i]);
            converter->Destroy();
        }
    }
    if (GetRenamingMode() == 6) SetRenamingMode(1);
    KDuzSceneRenamer(scene).RenameFor(GetRenamingMode());
    return false;
}

bool KDuzWriterDuz::PostprocessScene(KDuzScene* /*scene*/) {
    return GetFileVersionTag() == KString(kMotionBuilderTag);
}

std::vector<KDuzObject*> KDuzWriterDuz::Collect(const KDuzScene* scene, int classIndex) {
    std::vector<KDuzObject*> out;
    const KClassId classId = KDuzClassIdOf(static_cast<EDuzClass>(classIndex));
    if (scene != nullptr && classId.IsValid()) KDuzCollectSrcObjects(scene, classId, out);
    return out;
}

std::vector<KDuzNode*> KDuzWriterDuz::ChildrenOf(const KDuzNode* node) {
    std::vector<KDuzObject*> sources;
    if (node != nullptr) KDuzCollectSrcObjects(node, KDuzNode::ClassId(), sources);
    std::vector<KDuzNode*> children;
    children.reserve(sources.size());
    for (KDuzObject* source : sources)
        if (auto* child = dynamic_cast<KDuzNode*>(source)) children.push_back(child);
    return children;
}

namespace {

struct Pending {
    KDuzNode* node;
    std::vector<KDuzNode*> children;
    size_t next = 0;
};

}  // namespace

void KDuzWriterDuz::VisitPreOrder(KDuzNode* start, const std::function<void(KDuzNode*)>& visit) {
    if (start == nullptr) return;
    std::vector<Pending> stack;
    visit(start);
    stack.push_back({start, ChildrenOf(start)});
    while (!stack.empty()) {
        Pending& top = stack.back();
        if (top.next >= top.children.size()) {
            stack.pop_back();
            continue;
        }
        KDuzNode* child = top.children[top.next++];
        visit(child);
        stack.push_back({child, ChildrenOf(child)});
    }
}

void KDuzWriterDuz::VisitPostOrder(KDuzNode* start, const std::function<void(KDuzNode*)>& visit) {
    if (start == nullptr) return;
    std::vector<Pending> stack;
    stack.push_back({start, ChildrenOf(start)});
    while (!stack.empty()) {
        Pending& top = stack.back();
        if (top.next >= top.children.size()) {
            KDuzNode* done = top.node;
            stack.pop_back();
            visit(done);
            continue;
        }
        KDuzNode* child = top.children[top.next++];
        stack.push_back({child, ChildrenOf(child)});
    }
}

void KDuzWriterDuz::PrepareShapeChannels(KDuzNode* start) { KDuzPrepareShapeChannelsForWrite(start); }

void KDuzWriterDuz::RestoreShapeChannels(KDuzNode* start) { KDuzRestoreShapeChannelsAfterWrite(start); }

// ---- helpers ------------------------------------------------------------------

bool KDuzWriterDuz::Option(const char* name) const {
    return mOptions != nullptr && mOptions->GetBoolOption(name, false);
}

float KDuzWriterDuz::Percentage(int done, int total) {
    return total > 0 ? static_cast<float>(done) * 100.0f / static_cast<float>(total) : 0.0f;
}

void KDuzWriterDuz::ReportProgress(const char* text, float percentage) {
    if (mOwner != nullptr) mOwner->SetProgressStatus(0, text, nullptr, percentage);
}

bool KDuzWriterDuz::FileInError() const {
    const KDuz* duz = GetFieldFile();
    return duz != nullptr && duz->GetLastErrorID() != -1;
}

const KDuzTextureAnimationFlags* KDuzWriterDuz::FindTextureFlags(const KDuzObject* texture) const {
    auto it = mTextureFlags.find(texture);
    return it != mTextureFlags.end() ? it->second.get() : nullptr;
}

const KDuzMaterialAnimationFlags* KDuzWriterDuz::FindMaterialFlags(const KDuzObject* material) const {
    auto it = mMaterialFlags.find(material);
    return it != mMaterialFlags.end() ? it->second.get() : nullptr;
}

void KDuzWriterDuz::BuildAnimationTables(KDuzScene* scene) {
    for (KDuzObject* texture : Collect(scene, eDuzClassTexture)) {
        auto flags = std::make_unique<KDuzTextureAnimationFlags>();
        flags->translation = Animated(texture, "Translation", true);
        flags->rotation = Animated(texture, "Rotation", true);
        flags->scaling = Animated(texture, "Scaling", true);
        flags->alpha = Animated(texture, "Alpha", false);
        mTextureFlags[texture] = std::move(flags);
    }
    for (KDuzObject* material : Collect(scene, eDuzClassSurfaceMaterial)) {
        auto flags = std::make_unique<KDuzMaterialAnimationFlags>();
        flags->ambient = Animated(material, "Ambient", true);
        flags->diffuse = Animated(material, "Diffuse", true);
        flags->specular = Animated(material, "Specular", true);
        flags->emissive = Animated(material, "Emissive", true);
        flags->opacity = Animated(material, "Opacity", false);
        flags->shininess = Animated(material, "Shininess", false);
        flags->reflectivity = Animated(material, "Reflectivity", false);
        mMaterialFlags[material] = std::move(flags);
    }
}

// ---- the write driver ---------------------------------------------------------

bool KDuzWriterDuz::WriteScene(KDuzScene* scene, KDuzStreamOptions* options, IDuzObject* embedding) {
    mOptions = nullptr;
    bool result = true;
    int mediaCount = 0;
    int stepTotal = 1;
    // A fresh set; the manager owns it.
    KDuzStreamOptionsDuzWriter* fresh = KDuzStreamOptionsDuzWriter::Create(mManager, "");
    IProgress* progress = KProgressGetGlobal();
    if (progress != nullptr) progress->Begin();

    bool fileInUse = false;
    if (auto* writerOptions = dynamic_cast<KDuzStreamOptionsDuzWriter*>(options)) {
        mOptions = writerOptions;
    } else if (dynamic_cast<KDuzStreamOptionsMotionWriter*>(options) != nullptr && fresh != nullptr) {
        fresh->Reset();
        mOptions = fresh;
    } else {
        mError.SetLastError(eStreamOptionsNotSet);
        result = false;
    }
    if (result && scene == nullptr) {
        mError.SetLastError(eStreamOptionsNotSet);
        result = false;
    }
    if (result) {
        if (embedding != nullptr) {
            mTarget = embedding;
            fileInUse = true;
        } else if (mFile == nullptr || !mFile->IsOpen()) {
            mError.SetLastError(eFileNotCreated);
            result = false;
        } else {
            mTarget = mFile;
            fileInUse = true;
        }
    }
    if (fileInUse) {
        for (int i = 0; i < mOptions->GetTakeDescriptionCount(); ++i) {
            const KDuzTakeDescription* take = mOptions->GetTakeDescription(i);
            if (take != nullptr && take->select) ++stepTotal;
        }
    }
    if (progress != nullptr) progress->SetTotal(stepTotal);
    if (scene != nullptr && scene->GetRootNode() != nullptr) PrepareShapeChannels(scene->GetRootNode());

    auto check = [&]() {
        if (!FileInError()) return true;
        SetFieldFileError(GetFieldFile());
        result = false;
        return false;
    };
    if (result) {
        [&] {
            if (Option("TEXTURE")) {
                WriteMedia(scene, Option("EMBEDDED"), mediaCount);
                if (!check()) return;
            }
            WriteCameraSwitcher(scene);
            if (!check()) return;
            BuildAnimationTables(scene);
            ReportProgress("Storing models", 0.0f);
            mModelsStored = 0;
            mModelsTotal = scene->GetRootNode()->GetChildCount(true);
            WriteModelTree(scene->GetRootNode());
            if (progress != nullptr) progress->Step(1);
            if (!check()) return;
            KDuzWritePasswordOption(*GetFieldFile(), mOptions);
            if (!check()) return;
            if (Option("ANIMATION")) {
                WriteTakes(scene);
                check();
            }
        }();
    }
    mTextureFlags.clear();
    mMaterialFlags.clear();
    if (result) {
        [&] {
            if (Option("GOBO")) {
                WriteGoboManager(scene);
                if (!check()) return;
            }
            if (Option("CHARACTER")) {
                WriteCharacters(scene);
                if (!check()) return;
            }
            WriteSceneGenericPersistence(scene);
            if (!check()) return;
            if (Option("CHARACTER")) {
                WriteConstraints(scene);
                if (!check()) return;
            }
            if (Option("GLOBAL SETTINGS")) {
                WriteGlobalSettings(scene);
                WriteRendererSettings(scene);
                check();
            }
        }();
    }
    // A refused write (no options, no file) gets no summary: there is no
    // file or no option set to describe. A failed section still closes the
    // file with its summary.
    if (embedding == nullptr && fileInUse) {
        mFile->FinishBeforeClose();
        WriteSummary(scene, mediaCount);
    }
    mTarget = nullptr;
    mOptions = nullptr;
    if (scene != nullptr && scene->GetRootNode() != nullptr) RestoreShapeChannels(scene->GetRootNode());
    if (progress != nullptr) progress->End();
    return result;
}

}  // namespace duzsdk
