// The sections of version 5 files besides the objects: old-layout global
// settings, "Media", "GoboManager", the duplicate merges, old-layout
// "CHARACTER" blocks with their control sets, and the poses kept in
// "SceneGenericPersistence".
#include <cctype>
#include <cstring>
#include <type_traits>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "sdk/base/KPath.h"
#include "sdk/character/KDuzCharacter.h"
#include "sdk/character/KDuzCharacterParameterBlock.h"
#include "sdk/character/KDuzCharacterPose.h"
#include "sdk/character/KDuzControlSet.h"
#include "sdk/character/KDuzControlSetPlug.h"
#include "sdk/duz/KDuz5RecordNames.h"
#include "sdk/duz/KDuz6FieldHelpers.h"
#include "sdk/duz/KDuzReaderDuz.h"
#include "sdk/duz/KDuzReaderDuz6Records.h"
#include "sdk/geometry/KDuzGeometry.h"
#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzLayerElement.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/io/KDuzImporter.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzCamera.h"
#include "sdk/scene/KDuzGlobalCameraSettings.h"
#include "sdk/scene/KDuzGlobalLightSettings.h"
#include "sdk/scene/KDuzLight.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzPose.h"
#include "sdk/scene/KDuzScene.h"
#include "sdk/scene/KDuzSceneInfo.h"
#include "sdk/geometry/KDuzVideo.h"

namespace duzsdk {

namespace {

const char* NextText(KDuz& duz) { return duz.FieldReadGetRemainingValueCount() > 0 ? duz.FieldReadString() : ""; }

bool EnterBlock(KDuz& duz, const char* name) {
    if (!duz.FieldReadBegin(name)) return false;
    if (duz.FieldReadBlockBegin()) return true;
    duz.FieldReadEnd();
    return false;
}

void LeaveBlock(KDuz& duz) {
    duz.FieldReadBlockEnd();
    duz.FieldReadEnd();
}

struct SingleLink {
    const char* field;
    int id;
};
constexpr SingleLink kSingleLinks[] = {
    {"REFERENCE", kDuzCharacterReferenceId},        {"LEFT_FLOOR", kDuzCharacterLeftFootFloorId},
    {"RIGHT_FLOOR", kDuzCharacterRightFootFloorId},  {"LEFT_HANDFLOOR", kDuzCharacterLeftHandFloorId},
    {"RIGHT_HANDFLOOR", kDuzCharacterRightHandFloorId},
};
struct GroupLink {
    const char* field;
    int group;
};
constexpr GroupLink kGroupLinks[] = {
    {"BASE", 0},     {"AUXILIARY", 1}, {"SPINE", 2},     {"NECK", 9},       {"ROLL", 3},  {"SPECIAL", 4},
    {"LEFTHAND", 5}, {"RIGHTHAND", 6}, {"LEFTFOOT", 10}, {"RIGHTFOOT", 11}, {"PROPS", 7},
};

}  // namespace

// ---- old-layout global settings ----------------------------------------------

bool KDuzReaderDuz::ReadGlobalLightSettings(KDuzScene* scene) {
    if (!KDuzReaderDuz6::ReadGlobalLightSettings(scene)) return false;
    KDuzGlobalLightSettings* settings = scene->GetGlobalLightSettings();
    KDuzRGBAColor fog = settings->GetFogColor();
    fog.mAlpha = 1.0;
    settings->SetFogColor(fog);
    return true;
}

void KDuzReaderDuz::ReadOldGlobalSettings(KDuzScene* scene) {
    KDuz* duz = GetFieldFile();
    if (scene == nullptr || duz == nullptr) return;
    ReadGlobalLightSettings(scene);
    ReadRendererSetting(scene);
    // Producer cameras come before the time settings in "Settings".
    if (EnterBlock(*duz, duz5::kSettings)) {
        KDuzGlobalCameraSettings* cameras = scene->GetGlobalCameraSettings();
        while (duz->FieldReadBegin(duz5::kProducerCamera)) {
            const KString name = StripProducerCameraPrefix(KDuz6StripPrefix(NextText(*duz)).Buffer());
            static const char* const kProducers[] = {"Producer Perspective", "Producer Top",  "Producer Bottom",
                                                     "Producer Front",       "Producer Back", "Producer Right",
                                                     "Producer Left"};
            KDuzCamera* camera = nullptr;
            for (int i = 0; i < 7 && cameras != nullptr; ++i)
                if (name == KString(kProducers[i]))
                    camera = cameras->GetProducerCamera(i);
            if (camera != nullptr && duz->FieldReadBlockBegin()) {
                ReadCamera(camera);
                duz->FieldReadBlockEnd();
            }
            duz->FieldReadEnd();
        }
        LeaveBlock(*duz);
    }
    ReadTimeSettings(scene);
}

// ---- "Media" --------------------------------------------------------------------

void KDuzReaderDuz::ReadMedia(KDuzScene* scene) {
    KDuz* duz = GetFieldFile();
    if (scene == nullptr || duz == nullptr) return;
    std::vector<KString> names;
    std::vector<KString> files;
    std::unordered_map<std::string, size_t> listed;
    if (OldLayout() && EnterBlock(*duz, duz5::kMedia)) {
        if (EnterBlock(*duz, duz5::kVideo)) {
            while (duz->FieldReadBegin(duz5::kVideo)) {
                const KString name = KDuz6StripPrefix(NextText(*duz));
                const bool known = name.IsEmpty() || listed.count(name.Buffer()) != 0;
                if (!known && duz->FieldReadBlockBegin()) {
                    if (KString(duz->FieldReadStringOrDefault(duz5::kType, "")) == KString(duz5::kClip)) {
                        const KString file = ReadMediaFileName();
                        if (!file.IsEmpty()) {
                            names.push_back(name);
                            files.push_back(file);
                            listed.emplace(name.Buffer(), files.size() - 1);
                        }
                    }
                    duz->FieldReadBlockEnd();
                }
                duz->FieldReadEnd();
            }
            LeaveBlock(*duz);
        }
        LeaveBlock(*duz);
    }
    if (names.empty()) return;
    auto find = [&](const char* name) -> const KString* {
        const auto found = name != nullptr ? listed.find(name) : listed.end();
        return found != listed.end() ? &files[found->second] : nullptr;
    };
    std::vector<KDuzObject*> sceneTextures;
    KDuzCollectSrcObjects(scene, KDuzClassIdOf(eDuzClassTexture), sceneTextures);
    for (KDuzObject* object : sceneTextures) {
        auto* texture = dynamic_cast<KDuzTexture*>(object);
        const KString* file = texture != nullptr ? find(texture->GetMediaName()) : nullptr;
        if (file == nullptr) continue;
        const KString clean = KPathClean(file->Buffer());
        texture->SetFileName(clean.Buffer());
        if (KString(texture->GetRelativeFileName()).IsEmpty())
            texture->SetRelativeFileName(duz->ResolvePathFromFileFolder(clean.Buffer()));
    }
    std::vector<KDuzObject*> cameras;
    KDuzCollectSrcObjects(scene, KDuzCamera::ClassId(), cameras);
    for (KDuzObject* object : cameras) {
        auto* camera = dynamic_cast<KDuzCamera*>(object);
        const KString* file = camera != nullptr ? find(camera->GetBackgroundMediaName()) : nullptr;
        // Cameras keep no background file name in this SDK.
        if (file != nullptr) mSkippedKinds.insert("camera background media");
    }
    std::vector<KDuzObject*> lights;
    KDuzCollectSrcObjects(scene, KDuzLight::ClassId(), lights);
    for (KDuzObject* object : lights) {
        auto* light = dynamic_cast<KDuzLight*>(object);
        const KString* file = light != nullptr ? find(light->GetFileName()) : nullptr;
        if (file != nullptr) light->SetFileName(KPathClean(file->Buffer()).Buffer());
    }
}

KString KDuzReaderDuz::ReadMediaFileName() {
    KDuz* duz = GetFieldFile();
    bool originalFormat = true;
    KString originalName;
    if (duz->FieldReadIntOrDefault(duz6::kVersion, 100) >= 101) {
        originalFormat = duz->FieldReadIntOrDefault("OriginalFormat", 1) != 0;
        originalName = duz->FieldReadStringOrDefault("OriginalFilename", "");
    }
    KString fileName(duz->FieldReadStringOrDefault(duz5::kFilename, ""));
    KString relativeName(duz->FieldReadStringOrDefault(duz5::kRelativeFilename, ""));
    if (duz->FieldReadBegin(duz5::kContent)) {
        KString extractedName = fileName;
        KString extractedRelative = relativeName;
        bool extracted = false;
        const bool written = duz->FieldReadGetValueCount() > 0 &&
                             duz->FieldReadEmbeddedFile(extractedName, extractedRelative, nullptr, &extracted);
        duz->FieldReadEnd();
        if (written) {
            if (!originalFormat)
                KDuz6ConvertEmbeddedImage(MakeRecordContext(), originalName.Buffer(), extractedName, extractedRelative);
            return extractedName;
        }
    }
    return ChooseMediaPath(fileName, relativeName);
}

KString KDuzReaderDuz::ChooseMediaPath(const KString& fileName, const KString& relativeName) {
    KDuz* duz = GetFieldFile();
    const KString absolute(fileName.IsEmpty() ? "" : duz->JoinFileFolderPath(fileName.Buffer()));
    const KString relative(relativeName.IsEmpty() ? "" : duz->JoinFileFolderPath(relativeName.Buffer()));
    if (!absolute.IsEmpty() && KPathFileExists(absolute.Buffer())) return absolute;
    if (!relative.IsEmpty() && KPathFileExists(relative.Buffer())) return relative;
    if (!fileName.IsEmpty()) return absolute;
    return relative;
}

// ---- "GoboManager" ----------------------------------------------------------------

void KDuzReaderDuz::ReadGoboManager(KDuzScene* scene) {
    KDuz* duz = GetFieldFile();
    if (scene == nullptr || duz == nullptr || !EnterBlock(*duz, duz5::kGoboManager)) return;
    struct Gobo {
        KString name;
        KString path;
    };
    std::vector<Gobo> gobos;
    while (duz->FieldReadBegin(duz5::kGobo)) {
        if (duz->FieldReadBlockBegin()) {
            Gobo gobo;
            gobo.name = KDuz6StripPrefix(duz->FieldReadStringOrDefault(duz5::kGoboName, ""));
            gobo.path = duz->FieldReadStringOrDefault(duz5::kGoboPath, "");
            // The light takes the gobo's file; its three draw flags have no
            // place in this SDK's lights.
            if (duz->FieldGetInstanceCount(duz5::kDrawComponent) > 0) mSkippedKinds.insert(duz5::kGobo);
            gobos.push_back(gobo);
            duz->FieldReadBlockEnd();
        }
        duz->FieldReadEnd();
    }
    const std::unordered_map<std::string, KDuzNode*> nodes = IndexNodesBelow(scene->GetRootNode());
    // The first gobo of a name is the one lights use.
    std::unordered_map<std::string, const Gobo*> byName;
    for (const Gobo& gobo : gobos) byName.emplace(gobo.name.Buffer(), &gobo);
    while (duz->FieldReadBegin(duz5::kLightGobo)) {
        const KString lightName = KDuz6StripPrefix(NextText(*duz));
        const KString goboName = KDuz6StripPrefix(NextText(*duz));
        const auto node = nodes.find(lightName.Buffer());
        auto* light = node != nodes.end() ? dynamic_cast<KDuzLight*>(node->second->GetLight()) : nullptr;
        const auto gobo = byName.find(goboName.Buffer());
        if (light != nullptr && gobo != byName.end()) light->SetFileName(gobo->second->path.Buffer());
        duz->FieldReadEnd();
    }
    LeaveBlock(*duz);
}

// ---- merges -----------------------------------------------------------------------

void KDuzReaderDuz::DropAndRemap(const std::unordered_map<KDuzObject*, KDuzObject*>& twins) {
    // Names that reached a removed object now reach its twin, so later
    // connections and takes land on the survivor.
    for (auto& [name, mapped] : mNames) {
        const auto twin = twins.find(mapped.object);
        if (twin == twins.end()) continue;
        mapped.object = twin->second;
        mapped.handle = HdlKObject::FromPlug(twin->second->GetInternalPlug());
    }
    if (mMirrorNames && mFile != nullptr) {
        for (auto& [name, object] : mMirrored) {
            const auto twin = twins.find(const_cast<KDuzObject*>(object));
            if (twin == twins.end()) continue;
            if (mFile->FindObjectByName(name.c_str()) == twin->first) {
                mFile->UnmapObjectName(name.c_str());
                mFile->MapObjectName(name.c_str(), twin->second);
            }
            object = twin->second;
        }
    }
    for (const auto& [removed, kept] : twins) removed->Destroy();
}

// Equal objects share their bucket key, so each is compared only with the
// objects of its bucket: many distinct textures or materials stay linear.
template <class T, class Key, class Equal>
std::unordered_map<T*, T*> FindTwins(const std::vector<T*>& objects, Key key, Equal equal) {
    std::unordered_map<std::string, std::vector<T*>> buckets;
    for (T* object : objects) buckets[key(object)].push_back(object);
    std::unordered_map<T*, T*> twins;
    for (T* first : objects) {
        if (twins.count(first) != 0) continue;
        const std::vector<T*>& bucket = buckets[key(first)];
        for (auto later = bucket.rbegin(); later != bucket.rend() && *later != first; ++later)
            if (twins.count(*later) == 0 && equal(**later, *first)) twins.emplace(*later, first);
    }
    return twins;
}

template <class T>
void RemapLayerElements(KDuzScene* scene, const std::unordered_map<T*, T*>& twins) {
    // Each object of the scene once: a look-up by class and position walks
    // every source.
    std::vector<KDuzObject*> geometries;
    KDuzCollectSrcObjects(scene, KDuzClassIdOf(eDuzClassGeometry), geometries);
    for (KDuzObject* object : geometries) {
        auto* geometry = dynamic_cast<KDuzGeometry*>(object);
        for (int l = 0; geometry != nullptr && l < geometry->GetLayerCount(); ++l) {
            KDuzLayer* layer = geometry->GetLayer(l);
            if (layer == nullptr) continue;
            auto remap = [&twins](auto* element) {
                if (element == nullptr) return;
                auto& direct = element->GetDirectArray();
                for (int i = 0; i < direct.Count(); ++i) {
                    const auto twin = twins.find(direct.Data()[i]);
                    if (twin != twins.end()) direct.Data()[i] = twin->second;
                }
            };
            if constexpr (std::is_same_v<T, KDuzTexture>) remap(layer->GetTextures());
            else remap(layer->GetMaterials());
        }
    }
}

void KDuzReaderDuz::MergeDuplicateTextures(KDuzScene* scene) {
    if (scene == nullptr) return;
    std::vector<KDuzTexture*> textures;
    std::vector<KDuzObject*> objects;
    KDuzCollectSrcObjects(scene, KDuzClassIdOf(eDuzClassTexture), objects);
    for (KDuzObject* object : objects)
        if (auto* texture = dynamic_cast<KDuzTexture*>(object)) textures.push_back(texture);
    // Equal textures have equal names up to a trailing number and equal
    // file and media names.
    auto key = [](const KDuzTexture* texture) {
        std::string name = texture->GetName() != nullptr ? texture->GetName() : "";
        while (!name.empty() && (std::isdigit(static_cast<unsigned char>(name.back())) != 0 ||
                                 std::isspace(static_cast<unsigned char>(name.back())) != 0))
            name.pop_back();
        return name + '\n' + (texture->GetFileName() != nullptr ? texture->GetFileName() : "") + '\n' +
               (texture->GetMediaName() != nullptr ? texture->GetMediaName() : "");
    };
    const auto twins =
        FindTwins(textures, key, [](const KDuzTexture& a, const KDuzTexture& b) { return a.IsEqual(b); });
    if (twins.empty()) return;
    for (const auto& [removed, kept] : twins) scene->DisconnectSrcObject(removed);
    RemapLayerElements(scene, twins);
    DropAndRemap(std::unordered_map<KDuzObject*, KDuzObject*>(twins.begin(), twins.end()));
}

void KDuzReaderDuz::MergeDuplicateMaterials(KDuzScene* scene) {
    if (scene == nullptr) return;
    std::vector<KDuzSurfaceMaterial*> materials;
    std::vector<KDuzObject*> objects;
    KDuzCollectSrcObjects(scene, KDuzClassIdOf(eDuzClassSurfaceMaterial), objects);
    for (KDuzObject* object : objects)
        if (auto* material = dynamic_cast<KDuzSurfaceMaterial*>(object)) materials.push_back(material);
    // Equal materials have equal shading models and, with a diffuse colour,
    // equal diffuse colours.
    // Read from the values: the materials stay without handles.
    auto key = [](const KDuzSurfaceMaterial* material) {
        std::string text = material->GetShadingModelText().Buffer();
        if (dynamic_cast<const KDuzSurfaceLambert*>(material) != nullptr) {
            const duzVectorTemplate3<double> diffuse = material->GetBuiltInDouble3(eMaterialDiffuseColor);
            for (int i = 0; i < 3; ++i) text += '\n' + std::to_string(diffuse[i] + 0.0);
        }
        return text;
    };
    const auto twins = FindTwins(materials, key, [](const KDuzSurfaceMaterial& a, const KDuzSurfaceMaterial& b) {
        return a.IsEqual(b);
    });
    if (twins.empty()) return;
    for (const auto& [removed, kept] : twins) scene->DisconnectSrcObject(removed);
    RemapLayerElements(scene, twins);
    DropAndRemap(std::unordered_map<KDuzObject*, KDuzObject*>(twins.begin(), twins.end()));
}

// ---- old-layout characters -----------------------------------------------------------

void KDuzReaderDuz::ReadCharacters(KDuzScene* scene) {
    KDuz* duz = GetFieldFile();
    if (!OldLayout() || scene == nullptr || duz == nullptr) return;
    struct Input {
        KDuzCharacter* character;
        int type;
        int index;
    };
    std::vector<Input> inputs;
    while (duz->FieldReadBegin(duz5::kCharacter)) {
        if (duz->FieldReadBlockBegin()) {
            KString name;
            if (duz->FieldGetInstanceCount(duz5::kCharacterName) > 0) {
                name = KDuz6StripPrefix(duz->FieldReadStringOrDefault(duz5::kCharacterName, ""));
            } else {
                name = duz5::kDefaultCharacterName;
                if (mUnnamedCharacters > 0) name += KString(std::to_string(mUnnamedCharacters).c_str());
                ++mUnnamedCharacters;
            }
            const int index = scene->CreateCharacter(name.Buffer());
            auto* character = index >= 0 ? dynamic_cast<KDuzCharacter*>(scene->GetCharacter(index)) : nullptr;
            if (character != nullptr) {
                Input input{character, character->GetInputType(), -1};
                ReadOldCharacterBody(*character, input.type, input.index);
                inputs.push_back(input);
            }
            duz->FieldReadBlockEnd();
        }
        duz->FieldReadEnd();
    }
    for (Input& input : inputs) {
        KDuzControlSet* controlSet = input.character->GetControlSet();
        int plugIndex = -1;
        if (controlSet != nullptr && controlSet->GetType() != 0) {
            KString plugName(input.character->GetName());
            plugName += duz5::kControlSetPlugSuffix;
            plugIndex = scene->CreateControlSetPlug(plugName.Buffer());
            if (auto* plug = dynamic_cast<KDuzControlSetPlug*>(scene->GetControlSetPlug(plugIndex)))
                plug->SetControlSetType(controlSet->GetType());
        }
        // The new plug stands in for the input only of a control-set input:
        // a character input keeps the character index the file gave.
        if (input.type == 2 && plugIndex >= 0) input.index = plugIndex;
        if (input.type == 1 && input.index >= 0 && input.index < scene->GetCharacterCount())
            input.character->SetInput(1, scene->GetCharacter(input.index));
        else if (input.type == 2 && input.index >= 0 && input.index < scene->GetControlSetPlugCount())
            input.character->SetInput(2, scene->GetControlSetPlug(input.index));
    }
}

void KDuzReaderDuz::ReadOldCharacterBody(KDuzCharacter& character, int& inputType, int& inputIndex) {
    KDuz* duz = GetFieldFile();
    character.WrapInternalProperties();
    duz->FieldReadIntOrDefault("CHARACTERIZE", 0);
    duz->FieldReadIntOrDefault("LOCK_XFORM", 0);
    duz->FieldReadIntOrDefault("LOCK_PICK", 0);
    inputType = duz->FieldReadIntOrDefault(duz5::kInputOutputType, inputType);
    if (inputType == 0) inputIndex = duz->FieldReadIntOrDefault(duz5::kActorIndex, -1);
    if (inputType == 0 && inputIndex >= 0) mSkippedKinds.insert("actor input");
    if (inputType == 1) inputIndex = duz->FieldReadIntOrDefault(duz5::kCharacterIndex, -1);
    for (const SingleLink& single : kSingleLinks) {
        if (!EnterBlock(*duz, single.field)) continue;
        ReadCharacterLinkOld(character, single.id);
        LeaveBlock(*duz);
    }
    for (const GroupLink& group : kGroupLinks) {
        if (!EnterBlock(*duz, group.field)) continue;
        ReadCharacterGroupLinksOld(character, group.group);
        LeaveBlock(*duz);
    }
    if (EnterBlock(*duz, duz5::kGameModeParent)) {
        ReadCharacterGroupLinksOld(character, 8);
        LeaveBlock(*duz);
    }
    if (EnterBlock(*duz, duz5::kFilterSet)) {
        ReadCharacterParameters(character);
        LeaveBlock(*duz);
    }
    if (KDuzControlSet* controlSet = character.GetControlSet()) {
        if (EnterBlock(*duz, duz5::kControlSet) || EnterBlock(*duz, duz5::kOldControlSet)) {
            ReadControlSet(*controlSet);
            LeaveBlock(*duz);
        }
    }
}

void KDuzReaderDuz::ReadCharacterLinkOld(KDuzCharacter& character, int id) {
    KDuz* duz = GetFieldFile();
    // One link from every field of the block: a link with neither node nor
    // template name keeps its offsets and rotation space all the same.
    KDuzCharacterLink link;
    const KString model = KDuz6StripPrefix(duz->FieldReadStringOrDefault("MODEL", ""));
    if (!model.IsEmpty()) link.mNode = FindNodeByName(model.Buffer());
    ReadCharacterLinkFields(link);
    character.SetCharacterLink(id, link, true);
}

void KDuzReaderDuz::ReadCharacterGroupLinksOld(KDuzCharacter& character, int group) {
    KDuz* duz = GetFieldFile();
    if (!duz->FieldReadBegin("LINK")) return;
    const KString first = KDuz6StripPrefix(NextText(*duz));
    duz->FieldReadEnd();
    duz->FieldReadRewind();
    const int size = KDuzCharacterNodeGroupSize(group);
    for (int position = 0; duz->FieldReadBegin("LINK"); ++position) {
        int id = -1;
        if (!first.IsEmpty()) {
            const KString name = KDuz6StripPrefix(NextText(*duz));
            int foundGroup = group;
            int entry = 0;
            // Named links may name a node of any group.
            if (KDuzCharacterFindNodeByName(name.Buffer(), false, foundGroup, entry))
                id = KDuzCharacterNodeGroupId(foundGroup, entry);
        } else if (position < size) {
            id = KDuzCharacterNodeGroupId(group, position);
        }
        if (id >= 0 && duz->FieldReadBlockBegin()) {
            ReadCharacterLinkOld(character, id);
            duz->FieldReadBlockEnd();
        }
        duz->FieldReadEnd();
    }
}

void KDuzReaderDuz::ReadCharacterParameters(KDuzCharacter& character) {
    KDuz* duz = GetFieldFile();
    KDuzCharacterParameterBlock* block = character.GetSolverParameters();
    if (block == nullptr) return;
    while (duz->FieldReadBegin(duz5::kParam)) {
        if (duz->FieldReadBlockBegin()) {
            const KString name(duz->FieldReadStringOrDefault("NAME", "PARAM"));
            const int mode = duz->FieldReadIntOrDefault("MODE", 0);
            const double value = duz->FieldReadDoubleOrDefault("VALUE", 0.0);
            const double value0 = duz->FieldReadDoubleOrDefault("VALUE0", value);
            if (name == KString("ChestTOffset") || name == KString("HipsTOffset")) {
                const double values[3] = {value0, duz->FieldReadDoubleOrDefault("VALUE1", value0),
                                          duz->FieldReadDoubleOrDefault("VALUE2", value0)};
                const char* axes[3] = {"X", "Y", "Z"};
                for (int axis = 0; axis < 3; ++axis) {
                    KString rowName(name);
                    rowName += axes[axis];
                    const int row = KDuzCharacterParameterIndex(rowName.Buffer());
                    if (row < 0) continue;
                    block->SetMode(row, mode);
                    block->SetValue(row, 0, values[axis]);
                }
            } else {
                const int row = KDuzCharacterParameterIndex(name.Buffer());
                if (row >= 0) {
                    block->SetMode(row, mode);
                    block->SetValue(row, 0, value0);
                }
            }
            duz->FieldReadBlockEnd();
        }
        duz->FieldReadEnd();
    }
}

void KDuzReaderDuz::ReadControlSet(KDuzControlSet& controlSet) {
    KDuz* duz = GetFieldFile();
    controlSet.SetType(duz->FieldReadIntOrDefault("TYPE", controlSet.GetType()));
    controlSet.SetLockTransform(duz->FieldReadIntOrDefault("LOCK_XFORM", controlSet.GetLockTransform()) != 0);
    controlSet.SetLockPick(duz->FieldReadIntOrDefault("LOCK_PICK", controlSet.GetLockPick()) != 0);
    auto readLink = [&](int id) {
        KDuzControlSetLink link;
        link.mNode = FindNodeByName(KDuz6StripPrefix(duz->FieldReadStringOrDefault("MODEL", "")).Buffer());
        link.mTemplateName = duz->FieldReadStringOrDefault("NAME", "");
        if (link.IsSet()) controlSet.SetControlSetLink(id, link);
    };
    if (EnterBlock(*duz, "REFERENCE")) {
        readLink(kDuzCharacterReferenceId);
        LeaveBlock(*duz);
    }
    for (const GroupLink& group : kGroupLinks) {
        if (group.group == 7 || !EnterBlock(*duz, group.field)) continue;
        const int size = KDuzCharacterNodeGroupSize(group.group);
        bool byName = false;
        if (duz->FieldReadBegin("LINK")) {
            byName = !KDuz6StripPrefix(NextText(*duz)).IsEmpty();
            duz->FieldReadEnd();
            duz->FieldReadRewind();
        }
        for (int position = 0; duz->FieldReadBegin("LINK"); ++position) {
            int id = -1;
            if (byName) {
                int foundGroup = group.group;
                int entry = 0;
                if (KDuzCharacterFindNodeByName(KDuz6StripPrefix(NextText(*duz)).Buffer(), false, foundGroup, entry))
                    id = KDuzCharacterNodeGroupId(foundGroup, entry);
            } else if (position < size) {
                id = KDuzCharacterNodeGroupId(group.group, position);
            }
            if (id >= 0 && duz->FieldReadBlockBegin()) {
                readLink(id);
                duz->FieldReadBlockEnd();
            }
            duz->FieldReadEnd();
        }
        LeaveBlock(*duz);
    }
    if (EnterBlock(*duz, duz5::kEffector)) {
        while (duz->FieldReadBegin("LINK")) {
            if (duz->FieldReadBlockBegin()) {
                const int id = KDuzControlSet::GetEffectorIdFromName(duz->FieldReadStringOrDefault("NAME", "Unknown"));
                KDuzNode* node = FindNodeByName(KDuz6StripPrefix(duz->FieldReadStringOrDefault("MODEL", "")).Buffer());
                if (id >= 0 && node != nullptr) {
                    KDuzControlSetEffector effector;
                    if (const KDuzControlSetEffector* current = controlSet.GetEffectorRecord(id)) effector = *current;
                    effector.mNode = node;
                    effector.mShow = duz->FieldReadIntOrDefault("SHOW", effector.mShow) != 0;
                    effector.mTActive = duz->FieldReadIntOrDefault("TACTIVE", effector.mTActive) != 0;
                    effector.mRActive = duz->FieldReadIntOrDefault("RACTIVE", effector.mRActive) != 0;
                    effector.mCandidateTActive =
                        duz->FieldReadIntOrDefault("CANDIDATE_TACTIVE", effector.mCandidateTActive) != 0;
                    effector.mCandidateRActive =
                        duz->FieldReadIntOrDefault("CANDIDATE_RACTIVE", effector.mCandidateRActive) != 0;
                    controlSet.SetEffector(id, effector);
                }
                duz->FieldReadBlockEnd();
            }
            duz->FieldReadEnd();
        }
        LeaveBlock(*duz);
    }
    if (EnterBlock(*duz, duz5::kEffectorAux)) {
        std::unordered_map<int, int> used;
        while (duz->FieldReadBegin("LINK")) {
            if (duz->FieldReadBlockBegin()) {
                const int id = KDuzControlSet::GetEffectorIdFromName(duz->FieldReadStringOrDefault("NAME", "Unknown"));
                KDuzNode* node = FindNodeByName(KDuz6StripPrefix(duz->FieldReadStringOrDefault("MODEL", "")).Buffer());
                if (id >= 0 && node != nullptr) controlSet.SetEffectorAux(id, node, ++used[id]);
                duz->FieldReadBlockEnd();
            }
            duz->FieldReadEnd();
        }
        LeaveBlock(*duz);
    }
}

// ---- poses ----------------------------------------------------------------------------

void KDuzReaderDuz::ReadSceneGenericPersistence(KDuzScene* scene) {
    KDuz* duz = GetFieldFile();
    if (scene == nullptr || duz == nullptr || !EnterBlock(*duz, duz5::kSceneGenericPersistence)) return;
    // Bind and rest poses always go through their own pass (see ReadPoses).
    if (OptionIsSet("CHARACTER")) ReadPoses(scene);
    duz->FieldReadRewind();
    ReadBindRestPoses(scene);
    duz->FieldReadRewind();
    if (KDuzSceneInfo* info = ReadSceneInfoSection()) {
        if (KDuzSceneInfo* previous = scene->GetSceneInfo()) previous->Destroy();
        scene->SetSceneInfo(info);
    }
    LeaveBlock(*duz);
}

bool KDuzReaderDuz::ReadPoses(KDuzScene* scene) {
    KDuz* duz = GetFieldFile();
    bool result = true;
    while (duz->FieldReadBegin(duz5::kPose)) {
        const KString name = KDuz6StripPrefix(NextText(*duz));
        if (duz->FieldReadBlockBegin()) {
            const KString type(duz->FieldReadStringOrDefault(duz5::kType, ""));
            if (type == KString("CharacterPose")) {
                if (EnterBlock(*duz, duz5::kPoseScene)) {
                    const int index = scene->CreateCharacterPose(name.Buffer());
                    auto* pose = index >= 0 ? dynamic_cast<KDuzCharacterPose*>(scene->GetCharacterPose(index)) : nullptr;
                    KDuzScene* poseScene = pose != nullptr ? pose->GetScene() : nullptr;
                    if (index >= 0 && (poseScene == nullptr || !ReadCharacterPoseScene(poseScene, false)))
                        scene->DestroyCharacterPose(index);
                    LeaveBlock(*duz);
                }
            } else if (type == KString("BindPose") || type == KString("RestPose")) {
                // Read once, with its kind, by the bind and rest pose pass.
                result = false;
            }
            duz->FieldReadBlockEnd();
        }
        duz->FieldReadEnd();
    }
    return result;
}

void KDuzReaderDuz::ReadBindRestPoses(KDuzScene* scene) {
    KDuz* duz = GetFieldFile();
    const KDuz6RecordContext context = MakeRecordContext();
    while (duz->FieldReadBegin(duz5::kPose)) {
        const KString name = KDuz6StripPrefix(NextText(*duz));
        if (duz->FieldReadBlockBegin()) {
            const KString type(duz->FieldReadStringOrDefault(duz5::kType, ""));
            const bool bind = type == KString("BindPose");
            if (bind || type == KString("RestPose")) {
                if (KDuzPose* pose = KDuzPose::Create(mManager, name.Buffer())) {
                    pose->SetIsBindPose(bind);
                    if (KDuz6ReadPose(context, pose, bind)) scene->ConnectSrcObject(pose);
                    else pose->Destroy();
                }
            }
            duz->FieldReadBlockEnd();
        }
        duz->FieldReadEnd();
    }
}

}  // namespace duzsdk
