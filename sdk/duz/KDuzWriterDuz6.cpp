#include "sdk/duz/KDuzSharedWriteRecords.h"
#include "sdk/duz/KDuzWriterDuz6.h"

#include <cstring>
#include <string>
#include <unordered_set>

#include "sdk/base/KPath.h"
#include "sdk/base/KProgress.h"
#include "sdk/duz/KDuz6RecordNames.h"
#include "sdk/geometry/KDuzDeformer.h"
#include "sdk/io/IDuzObject.h"
#include "sdk/io/KDuzExporter.h"
#include "sdk/io/KDuzSceneRenamer.h"
#include "sdk/io/KDuzStreamOptionsDuz.h"
#include "sdk/io/KDuzStreamOptionsFormats.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzProperty.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNodeAttribute.h"
#include "sdk/scene/KDuzScene.h"

namespace duzsdk {

namespace {

bool TagIsOneOf(const KString& tag, std::initializer_list<const char*> tags) {
    for (const char* candidate : tags)
        if (std::strcmp(tag.Buffer(), candidate) == 0) return true;
    return false;
}

bool EndsWithIndex(const KString& name) {
    const char* text = name.Buffer();
    size_t end = std::strlen(text);
    const size_t length = end;
    while (end > 0 && text[end - 1] >= '0' && text[end - 1] <= '9') --end;
    return end < length && end > 0 && text[end - 1] == '_';
}

// The written names of one kind. A name is made distinct by "_" and the
// object's index. A name that ends in "_" and digits already carries such an
// index (an earlier write gave it, and reading kept it) and is kept, so that
// reading a file and writing it again leaves its names as they are; only a
// name taken already in this write gets another index.
class IndexedNames {
public:
    void Keep(const KDuzObject* object) { mTaken.insert(object->GetNameString().Buffer()); }

    void NameAfterIndex(KDuzObject* object, int index) {
        KString name = object->GetNameString();
        if (!EndsWithIndex(name) || mTaken.count(name.Buffer()) != 0) {
            do {
                name += "_";
                name = KStringConcatInt(name, index);
            } while (mTaken.count(name.Buffer()) != 0);
        }
        mTaken.insert(name.Buffer());
        object->SetName(name.Buffer(), false);
    }

private:
    std::unordered_set<std::string> mTaken;
};

}  // namespace

KDuzWriterDuz6::KDuzWriterDuz6(KDuzSdkManager* manager, KDuzExporter* owner)
    : KDuzWriter(manager), mOwner(owner) {}

KDuzWriterDuz6::~KDuzWriterDuz6() {
    if (mFile != nullptr) {
        FileClose();
        if (mFile != nullptr) mFile->Destroy();
        mFile = nullptr;
    }
}

KDuz* KDuzWriterDuz6::GetFieldFile() const { return mTarget != nullptr ? mTarget : mFile; }

std::vector<KDuzObject*> KDuzWriterDuz6::Sources(const KDuzPlug* plug, const KClassId& classId) {
    std::vector<KDuzObject*> out;
    if (plug != nullptr) KDuzCollectSrcObjects(plug, classId, out);
    return out;
}

bool KDuzWriterDuz6::IsNodeAttribute(const KDuzObject* object) {
    return object != nullptr && object->Is(KDuzNodeAttribute::ClassId());
}

bool KDuzWriterDuz6::IsSeparateGeometry(const KDuzObject* object) {
    if (object == nullptr || !IsNodeAttribute(object) || !object->Is(KDuzClassIdOf(eDuzClassGeometry))) return false;
    // Meshes, patches and NURBS are written inside their model record,
    // unless several models share one: a record of its own, which each model
    // links to, keeps it shared when read back.
    return (!object->Is(KDuzClassIdOf(eDuzClassMesh)) && !object->Is(KDuzClassIdOf(eDuzClassPatch)) &&
            !object->Is(KDuzClassIdOf(eDuzClassNurb))) ||
           object->GetDstObjectCount(KDuzNode::ClassId()) > 1;
}

// ---- file -------------------------------------------------------------------

bool KDuzWriterDuz6::FileCreate(const char* fileName) {
    if (mFile == nullptr) mFile = IDuzObject::Create();
    if (mFile == nullptr) {
        mError.SetLastError(eEmbeddedOutOfMemory);
        return false;
    }
    KDuzFileHeaderInfo header;
    header.fileVersion = duz6::kFileVersion;
    const KString path = KPathJoin(KPathGetCurrentDirectory(), fileName != nullptr ? fileName : "");
    const bool binary = mFileMode == eBinary || mFileMode == eEnciphered;
    if (mFile->ProjectCreateFile(path.Buffer(), binary, mFileMode == eEnciphered, &header)) return true;
    const int code = mFile->GetLastErrorID();
    const int index = code == KDuz::kErrorCorrupted      ? eFileCorrupted
                      : code == KDuz::kErrorFileNotCreated ? eFileNotCreated
                                                           : eEmbeddedOutOfMemory;
    mError.SetLastErrorWithText(index, mFile->GetLastErrorString());
    mFile->ProjectClose();
    return false;
}

bool KDuzWriterDuz6::FileClose() {
    if (mFile == nullptr || !mFile->IsOpen()) {
        mError.SetLastError(eFileNotOpened);
        return false;
    }
    // The last buffered bytes can still fail to reach the disk.
    const bool healthy = !mFile->GetError().HasError();
    if (!healthy) SetFieldFileError(mFile);
    mFile->ProjectClose();
    if (!healthy) return false;
    return true;
}

bool KDuzWriterDuz6::IsFileOpen() { return mFile != nullptr && mFile->IsOpen(); }

KDuzStreamOptions* KDuzWriterDuz6::CreateWriteOptions(int /*unused*/) {
    return KDuzStreamOptionsDuzWriter::Create(mManager, "");
}

KDuzStreamOptions* KDuzWriterDuz6::GetWriteOptions() { return CreateWriteOptions(0); }

bool KDuzWriterDuz6::Write(KDuzScene* scene, KDuzStreamOptions* options) {
    mError.ClearError();
    PreprocessScene(scene);
    WriteScene(scene, options, nullptr);
    PostprocessScene(scene);
    return !mError.HasError();
}

// ---- scene passes -------------------------------------------------------------

bool KDuzWriterDuz6::PreprocessScene(KDuzScene* scene) {
    if (scene == nullptr) return false;
    // Attribute, deformer and cluster names; the scene keeps them, and a
    // later export keeps them as they are.
    const std::vector<KDuzObject*> attributes = Sources(scene, KDuzNodeAttribute::ClassId());
    IndexedNames attributeNames;
    for (int i = 0; i < static_cast<int>(attributes.size()); ++i) {
        KDuzObject* attribute = attributes[static_cast<size_t>(i)];
        KDuzObject* first = attribute->GetDstObject(KClassId(), 0);
        auto* node = dynamic_cast<KDuzNode*>(first);
        const char* own = attribute->GetName();
        // The node's name, given here to an unnamed attribute, is kept when
        // a read brings it back.
        if (node != nullptr && (own == nullptr || own[0] == '\0' || std::strcmp(own, node->GetName()) == 0)) {
            attribute->SetName(node->GetName(), false);
            attributeNames.Keep(attribute);
        } else {
            attributeNames.NameAfterIndex(attribute, i);
        }
    }
    // Deformers: an unnamed one on a node's attribute is named after the
    // node, with its kind in front.
    const std::vector<KDuzObject*> deformers = Sources(scene, KDuzClassIdOf(eDuzClassDeformer));
    IndexedNames deformerNames;
    for (int i = 0; i < static_cast<int>(deformers.size()); ++i) {
        auto* deformer = dynamic_cast<KDuzDeformer*>(deformers[static_cast<size_t>(i)]);
        if (deformer == nullptr) continue;
        // The geometry need not be the first destination: a read connects
        // the deformer to the scene before its geometry.
        KDuzObject* attribute = deformer->GetDstObject(KDuzNodeAttribute::ClassId(), 0);
        KDuzObject* node = attribute != nullptr ? attribute->GetDstObject(KDuzNode::ClassId(), 0) : nullptr;
        const char* own = deformer->GetName();
        KString given;
        if (dynamic_cast<KDuzNode*>(node) != nullptr) {
            const int type = deformer->GetDeformerType();
            given = type == KDuzDeformer::eSkin ? "Skin " : type == KDuzDeformer::eVertexCache ? "VertexCache " : " ";
            given += node->GetName();
        }
        if (!given.IsEmpty() && (own == nullptr || own[0] == '\0' || std::strcmp(own, given.Buffer()) == 0)) {
            deformer->SetName(given.Buffer(), false);
            deformerNames.Keep(deformer);
        } else {
            deformerNames.NameAfterIndex(deformer, i);
        }
    }
    // Sub-deformers: an unnamed cluster is named after its link node.
    const std::vector<KDuzObject*> subDeformers = Sources(scene, KDuzClassIdOf(eDuzClassSubDeformer));
    IndexedNames subDeformerNames;
    for (int i = 0; i < static_cast<int>(subDeformers.size()); ++i) {
        KDuzObject* subDeformer = subDeformers[static_cast<size_t>(i)];
        KDuzObject* link = subDeformer->GetSrcObject(KDuzNode::ClassId(), 0);
        const char* own = subDeformer->GetName();
        KString given;
        if (link != nullptr && subDeformer->GetSrcObject(KClassId(), 0) == link) {
            given = "Cluster ";
            given += link->GetName();
        }
        if (!given.IsEmpty() && (own == nullptr || own[0] == '\0' || std::strcmp(own, given.Buffer()) == 0)) {
            subDeformer->SetName(given.Buffer(), false);
            subDeformerNames.Keep(subDeformer);
        } else {
            subDeformerNames.NameAfterIndex(subDeformer, i);
        }
    }

    const KString& tag = GetFileVersionTag();
    auto convert = [scene] {
        scene->ConvertNurbsSurfacesToNurbs();
        scene->RecomputeMeshNormals();
        scene->RemoveNurbsCurves();
    };
    switch (GetRenamingMode()) {
        case 4: {
            KDuzSceneRenamer(scene).RenameFor(4);
            return true;
        }
        case 6:
            if (TagIsOneOf(tag, {"DUZ200508_RI70", "DUZ60_MB60"})) {
                convert();
                KDuzSceneRenamer(scene).RenameFor(3);
                return true;
            }
            if (TagIsOneOf(tag, {"DUZ200602_MB75"})) {
                convert();
                KDuzSceneRenamer(scene).RenameFor(2);
                return true;
            }
            if (TagIsOneOf(tag, {"DUZ200608", "DUZ200611"})) {
                KDuzSceneRenamer(scene).RenameFor(2);
                return true;
            }
            return false;
        case 12:
            if (TagIsOneOf(tag, {"DUZ200508_RI70", "DUZ60_MB60", "DUZ200602_MB75"})) {
                convert();
                return true;
            }
            return false;
        default:
            return false;
    }
}

bool KDuzWriterDuz6::PostprocessScene(KDuzScene* /*scene*/) {
    return GetRenamingMode() == 6 &&
           TagIsOneOf(GetFileVersionTag(), {"DUZ200508_RI70", "DUZ200602_MB75", "DUZ200608", "DUZ200611"});
}

// ---- helpers ------------------------------------------------------------------

bool KDuzWriterDuz6::Option(const char* name) const {
    return mOptions != nullptr && mOptions->GetBoolOption(name, false);
}

void KDuzWriterDuz6::WriteBanner(const char* title, int dashes) {
    KDuzWriteBanner(*GetFieldFile(), title, dashes);
}

float KDuzWriterDuz6::Percentage(int done, int total) {
    return total > 0 ? static_cast<float>(done) * 100.0f / static_cast<float>(total) : 0.0f;
}

void KDuzWriterDuz6::ReportProgress(const char* text, float percentage) {
    if (mOwner != nullptr) mOwner->SetProgressStatus(0, text, nullptr, percentage);
}

bool KDuzWriterDuz6::FileInError() const {
    const KDuz* duz = GetFieldFile();
    return duz != nullptr && duz->GetLastErrorID() >= 0;
}

// ---- the write driver ---------------------------------------------------------

bool KDuzWriterDuz6::WriteScene(KDuzScene* scene, KDuzStreamOptions* options, IDuzObject* embedding) {
    // A fresh set; the manager owns it.
    KDuzStreamOptionsDuzWriter* fresh = KDuzStreamOptionsDuzWriter::Create(mManager, "");
    mOptions = nullptr;
    IProgress* progress = KProgressGetGlobal();
    if (progress != nullptr) progress->Begin();

    bool refused = false;
    bool optionsAccepted = false;
    if (auto* writerOptions = dynamic_cast<KDuzStreamOptionsDuzWriter*>(options)) {
        mOptions = writerOptions;
        optionsAccepted = true;
    } else if (dynamic_cast<KDuzStreamOptionsMotionWriter*>(options) != nullptr && fresh != nullptr) {
        fresh->Reset();
        fresh->SetBoolOption("ANIMATION", true);
        mOptions = fresh;
        optionsAccepted = true;
    } else {
        mError.SetLastError(eStreamOptionsNotSet);
        refused = true;
    }
    if (scene == nullptr && !refused) {
        mError.SetLastError(eStreamOptionsNotSet);
        refused = true;
    }

    bool fileAccepted = false;
    if (optionsAccepted && !refused) {
        if (embedding != nullptr) {
            mTarget = embedding;
            fileAccepted = true;
        } else if (mFile == nullptr || !mFile->IsOpen()) {
            mError.SetLastError(eFileNotCreated);
            refused = true;
        } else {
            mTarget = mFile;
            fileAccepted = true;
        }
    }

    if (progress != nullptr && mOptions != nullptr) {
        int total = 1;
        for (int i = 0; i < mOptions->GetOptionCount(); ++i) {
            const KDuzProperty option = mOptions->GetPropertyAt(i);
            bool on = false;
            if (option.GetValueKind() == eValueKindBool && option.GetValue(&on, eValueKindBool) && on) ++total;
        }
        progress->SetTotal(total);
    }

    if (scene != nullptr) {
        scene->ConnectLayerMaterialsToNodes();
        scene->ConnectLayerTexturesToNodes();
        scene->CreateVideosForTextures();
    }
    // Shapes and their channels are written under the names files use.
    KDuzNode* root = scene != nullptr ? scene->GetRootNode() : nullptr;
    if (!refused) KDuzPrepareShapeChannelsForWrite(root);

    if (!refused) {
        if (!WriteDefinitions(scene) || FileInError()) {
            SetFieldFileError(GetFieldFile());
            refused = true;
        } else {
            WriteObjects(scene);
            if (FileInError()) {
                SetFieldFileError(GetFieldFile());
                refused = true;
            }
        }
    }
    if (optionsAccepted && fileAccepted) WritePassword();

    if (!refused) {
        bool failed = false;
        auto section = [&](auto&& write) {
            if (failed) return;
            write();
            if (FileInError()) {
                SetFieldFileError(GetFieldFile());
                failed = true;
            }
        };
        section([&] { WriteRelations(scene); });
        section([&] { WriteConnections(scene); });
        section([&] { WriteTakes(scene); });
        if (!failed && Option("GLOBAL SETTINGS")) {
            KDuz* duz = GetFieldFile();
            duz->WriteComment("Version 5 settings");
            duz->WriteComment("------------------------------------------------------------------");
            duz->WriteComment("");
            duz->FieldWriteBegin(duz6::kVersion5);
            duz->FieldWriteBlockBegin();
            WriteAmbientRenderSettings(scene);
            WriteFogOptions(scene);
            WriteShadowPlanes(scene);
            WriteTimeSettings(scene);
            WriteRendererSetting(scene);
            if (FileInError()) SetFieldFileError(GetFieldFile());
            duz->FieldWriteBlockEnd();
            duz->FieldWriteEnd();
        }
    }

    if (embedding == nullptr && fileAccepted && mFile != nullptr) {
        mFile->FinishBeforeClose();
        // A refused write gets no summary: it would describe a file that
        // does not hold the scene.
        if (!mError.HasError()) WriteSummary(scene, 0);
    }
    mTarget = nullptr;
    mOptions = nullptr;
    KDuzRestoreShapeChannelsAfterWrite(root);
    if (progress != nullptr) progress->End();
    return true;
}

}  // namespace duzsdk
