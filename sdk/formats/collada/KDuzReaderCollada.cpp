#include "sdk/formats/collada/KDuzReaderCollada.h"

#include <libxml/SAX2.h>
#include <libxml/parser.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/PlatformFile.h"
#include "sdk/formats/collada/ColladaNodeFrame.h"
#include "sdk/geometry/KDuzCluster.h"
#include "sdk/geometry/KDuzGeometry.h"
#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzLayerContainer.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzSkin.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/io/KDuzSceneRenamer.h"
#include "sdk/io/KDuzStreamOptionsFormats.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/KDuzUserNotification.h"
#include "sdk/scene/KDuzAxisSystem.h"
#include "sdk/scene/KDuzCamera.h"
#include "sdk/scene/KDuzGlobalLightSettings.h"
#include "sdk/scene/KDuzGlobalSettings.h"
#include "sdk/scene/KDuzLight.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzPose.h"
#include "sdk/scene/KDuzScene.h"
#include "sdk/scene/KDuzSceneInfo.h"
#include "sdk/scene/KDuzSkeleton.h"
#include "sdk/scene/KDuzSystemUnit.h"
#include "sdk/scene/KDuzTakeDescription.h"

namespace duzsdk {

namespace {

constexpr int kNotificationEntry = 6;
constexpr const char* kTakeName = "Take 001";

int ReadFromFile(void* context, char* buffer, int length) {
    FILE* file = static_cast<FILE*>(context);
    const size_t got = std::fread(buffer, 1, static_cast<size_t>(length), file);
    if (got == 0 && std::ferror(file)) return -1;
    return static_cast<int>(got);
}

int KeepFileOpen(void*) { return 0; }

// Entities declared in the document could expand without bound when texts
// are taken; Collada has no use for them, so such documents are refused.
bool DeclaresEntities(const xmlDoc* doc) {
    for (const xmlDtd* dtd : {doc->intSubset, doc->extSubset}) {
        if (dtd == nullptr) continue;
        for (const xmlNode* child = dtd->children; child != nullptr; child = child->next)
            if (child->type == XML_ENTITY_DECL) return true;
    }
    return false;
}

// Stops the parse at the first entity declaration: such documents are
// refused before anything could expand.
void RefuseEntity(void* context, const xmlChar*, int, const xmlChar*, const xmlChar*, xmlChar*) {
    xmlStopParser(static_cast<xmlParserCtxtPtr>(context));
}

void Quiet(void*, const char*, ...) {}

// Element nesting deeper than any real document is refused while parsing
// (the text-length limit is lifted below, which lifts libxml2's own depth
// limit too).
constexpr int kMaxXmlDepth = 512;

void StartElement(void* context, const xmlChar* localName, const xmlChar* prefix, const xmlChar* uri,
                  int namespaceCount, const xmlChar** namespaces, int attributeCount, int defaulted,
                  const xmlChar** attributes) {
    auto* parser = static_cast<xmlParserCtxtPtr>(context);
    if (parser->nameNr > kMaxXmlDepth) {
        xmlStopParser(parser);
        return;
    }
    xmlSAX2StartElementNs(context, localName, prefix, uri, namespaceCount, namespaces, attributeCount, defaulted,
                          attributes);
}

// Texts grow by doubling while they are parsed; once an element ends, a big
// text of it gives back what it did not use (most of a float_array's or a
// <p>'s text would otherwise be slack for as long as the tree lives).
constexpr size_t kTrimmedTextLength = 1 << 16;

void EndElement(void* context, const xmlChar* localName, const xmlChar* prefix, const xmlChar* uri) {
    auto* parser = static_cast<xmlParserCtxtPtr>(context);
    xmlNode* element = parser->node;
    xmlSAX2EndElementNs(context, localName, prefix, uri);
    xmlNode* text = element != nullptr ? element->last : nullptr;
    if (text == nullptr || text->type != XML_TEXT_NODE || text->content == nullptr ||
        text->content == reinterpret_cast<xmlChar*>(&text->properties) ||
        (parser->dict != nullptr && xmlDictOwns(parser->dict, text->content)))
        return;
    const size_t length = std::strlen(reinterpret_cast<const char*>(text->content));
    if (length < kTrimmedTextLength) return;
    auto* trimmed = static_cast<xmlChar*>(xmlRealloc(text->content, length + 1));
    if (trimmed != nullptr) text->content = trimmed;
}

// Parses the open file into a tree: no network, no DTD or entity loading,
// no declared entities. Large arrays are normal in Collada, so libxml2's
// limit on the length of one text is lifted; nesting stays bounded by our
// own readers.
xmlDoc* ParseFile(FILE* file, const char* name) {
    xmlSAXHandler sax;
    std::memset(&sax, 0, sizeof sax);
    xmlSAXVersion(&sax, 2);
    sax.entityDecl = &RefuseEntity;
    sax.startElementNs = &StartElement;
    sax.endElementNs = &EndElement;
    sax.warning = &Quiet;
    sax.error = &Quiet;
    sax.fatalError = &Quiet;
    xmlParserCtxtPtr context = xmlCreateIOParserCtxt(&sax, nullptr, &ReadFromFile, &KeepFileOpen, file,
                                                     XML_CHAR_ENCODING_NONE);
    if (context == nullptr) return nullptr;
    xmlCtxtUseOptions(context, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE);
    if (context->input != nullptr && name != nullptr && context->input->filename == nullptr)
        context->input->filename = reinterpret_cast<char*>(xmlStrdup(reinterpret_cast<const xmlChar*>(name)));
    xmlParseDocument(context);
    xmlDoc* doc = context->myDoc;
    context->myDoc = nullptr;
    const bool good = context->wellFormed != 0 && context->disableSAX == 0;
    xmlFreeParserCtxt(context);
    if (!good && doc != nullptr) {
        xmlFreeDoc(doc);
        doc = nullptr;
    }
    return doc;
}

bool HasChild(const xmlNode* parent, const char* name) { return ColladaFindChildByName(parent, name) != nullptr; }

// The place of a root child in the read: libraries before those that name
// their elements, the scene last.
int LibraryRank(const xmlNode* element) {
    static const char* const kOrder[] = {"library_materials", "library_geometries", "library_cameras",
                                         "library_lights",    "library",            "library_controllers",
                                         "library_nodes",     "library_visual_scenes"};
    int rank = 0;
    for (const char* name : kOrder) {
        if (ColladaIsElement(element, name)) return rank;
        ++rank;
    }
    return ColladaIsElement(element, "scene") ? rank + 1 : rank;
}

}  // namespace

KDuzReaderCollada::KDuzReaderCollada(KDuzSdkManager* manager) : KDuzReader(manager) {}

KDuzReaderCollada::~KDuzReaderCollada() {
    if (mFile != nullptr) FileClose();
    // A document left by a failed read is ours to free.
    if (mDocument != nullptr) xmlFreeDoc(mDocument);
}

bool KDuzReaderCollada::FileOpen(const char* fileName) {
    if (mFile != nullptr) FileClose();
    if (fileName != nullptr) mFile = duzplatform::OpenFile(fileName, "rt");
    if (mFile == nullptr) {
        mError.SetLastError(eFileNotOpened);
        return false;
    }
    mFileName = fileName;
    return true;
}

bool KDuzReaderCollada::FileClose() {
    if (mFile == nullptr) {
        mError.SetLastError(eFileNotOpened);
        return false;
    }
    const bool closed = std::fclose(mFile) == 0;
    mFile = nullptr;
    mFileName = "";
    return closed;
}

KDuzStreamOptions* KDuzReaderCollada::GetReadOptions(bool /*parseFileAsNeeded*/) {
    if (mFile == nullptr) {
        mError.SetLastError(eFileNotOpened);
        return nullptr;
    }
    mTakeStart = KTime();
    mTakeStop = KTime();
    mFrameCount = 0;
    mFrameRate = 0.0;
    KDuzStreamOptionsColladaReader* options = KDuzStreamOptionsColladaReader::Create(mManager, "");
    if (options == nullptr) return nullptr;
    options->SetTimeOption("START", mTakeStart);
    options->SetIntOption("FRAME COUNT", mFrameCount);
    options->SetTimeMode(0, 0.0);
    return options;
}

void KDuzReaderCollada::NotifyError(const KString& text) {
    const KString line = KString("ERROR: ") + text;
    mDiagnostics.push_back(line);
    KDuzUserNotification* notification = mManager != nullptr ? mManager->GetUserNotification() : nullptr;
    if (notification != nullptr) notification->AddDetail(kNotificationEntry, line);
}

void KDuzReaderCollada::NotifyWarning(const KString& text) {
    const KString line = KString("Warning: ") + text;
    mDiagnostics.push_back(line);
    KDuzUserNotification* notification = mManager != nullptr ? mManager->GetUserNotification() : nullptr;
    if (notification != nullptr) notification->AddDetail(kNotificationEntry, line);
}

bool KDuzReaderCollada::WarnOnce(const KString& name) { return mWarned.insert(name.Buffer()).second; }

void KDuzReaderCollada::ClearTables() {
    mVisualScenes.clear();
    mAnimations.clear();
    mNodeAttributes.clear();
    mAnimatedTargets.clear();
    mMaterials.clear();
    mEffects.clear();
    mImages.clear();
    mTextureBindings.clear();
    mControllers.clear();
    mControllerOrder.clear();
    mMorphTable.clear();
    mPoses.clear();
    mReplacedMaterials.clear();
    mCreatedClusters.clear();
    mNodeSids.clear();
    mSkeletonRoots.clear();
    mNodeElements.clear();
    mTexcoordSets.clear();
    mTexcoordSetsRead = false;
    mExpanding.clear();
    mInstancedNodes = 0;
    mMeshUses.clear();
    mMeshUsesCounted = false;
    mTakeVisualSceneMeshes = false;
    mSceneNodes.clear();
    mInstancingNodes.clear();
    mInstancingNodesRead = false;
    mSharedLibrariesRead = false;
    mOwnDocument = false;
    mSceneElement = nullptr;
    mVisualSceneElement = nullptr;
    mTakeSpanSet = false;
    mRenamer.Clear();
}

bool KDuzReaderCollada::Read(KDuzScene* scene, KDuzStreamOptions* options) {
    if (options == nullptr) {
        mError.SetLastError(eStreamOptionsNotSet);
        return false;
    }
    if (mDocument != nullptr) {
        xmlFreeDoc(mDocument);
        mDocument = nullptr;
    }
    ClearTables();
    if (mFile != nullptr && scene != nullptr) {
        std::rewind(mFile);
        // The file FileOpen checked is the one parsed: no second open by name.
        mDocument = ParseFile(mFile, mFileName.Buffer());
        if (mDocument != nullptr && DeclaresEntities(mDocument)) {
            xmlFreeDoc(mDocument);
            mDocument = nullptr;
        }
    }
    bool walked = false;
    if (mDocument != nullptr) {
        xmlNode* root = xmlDocGetRootElement(mDocument);
        walked = root != nullptr && ReadDocument(scene, root);
    }
    if (walked) {
        KDuzTakeDescription take;
        take.name = kTakeName;
        take.localStart = mTakeStart;
        take.localStop = mTakeStop;
        take.referenceStart = mTakeStart;
        take.referenceStop = mTakeStop;
        scene->SetTakeDescription(take);
        // A node without this take sets an error on the scene; the read stands.
        scene->SetCurrentTake(kTakeName);
        KDuzSceneRenamer(scene).RenameFor(KDuzSceneRenamer::eColladaReader);
        xmlFreeDoc(mDocument);
        mDocument = nullptr;
        ClearTables();
        return true;
    }
    mMessageText += "Unable to parse xml/dae file\n";
    mError.SetLastErrorWithText(eFileCorrupted, mMessageText.Buffer());
    NotifyError(KString("Unable to parse xml/dae file\n"));
    return false;
}

// ---- document walk ----

bool KDuzReaderCollada::ReadDocument(KDuzScene* scene, xmlNode* root) {
    if (!ColladaIsElement(root, "COLLADA")) return false;
    mVersion = ColladaGetAttribute(root, "version");
    if (!CheckVersion(mVersion)) return false;
    if (KDuzGlobalLightSettings* light = scene->GetGlobalLightSettings())
        light->SetAmbientColor(KDuzRGBAColor(0.0, 0.0, 0.0, 1.0));

    KDuzSceneInfo* info = nullptr;
    xmlNode* first = ColladaFirstChildElement(root);
    if (first != nullptr) {
        if (!ColladaIsElement(first, "asset")) {
            NotifyError(KString("<asset> node not found, at node: <") + ColladaElementName(first) + ">");
            return false;
        }
        info = KDuzSceneInfo::Create(mManager, "");
        mSuccess = ReadAsset(first, scene, info);
        if (!mSuccess) return false;

        // Libraries are read in the order their references need, whatever
        // their order in the document: what a library names is read first.
        std::vector<xmlNode*> children;
        for (xmlNode* child = first->next; child != nullptr; child = child->next)
            if (child->type == XML_ELEMENT_NODE) children.push_back(child);
        std::stable_sort(children.begin(), children.end(),
                         [](const xmlNode* a, const xmlNode* b) { return LibraryRank(a) < LibraryRank(b); });
        for (xmlNode* child : children) {
            const KString name(ColladaElementName(child));
            if (name == "library_animations" || name == "library_cameras" || name == "library_controllers" ||
                name == "library_geometries" || name == "library_lights" || name == "library_visual_scenes") {
                if (!ReadLibrary(scene, child)) return false;
            } else if (name == "library_effects") {
                if (!HasChild(root, "library_materials"))
                    NotifyWarning(KString("library_effects exists but there is no library_materials using it.") +
                                  " This library will not be read.");
            } else if (name == "library_images") {
                if (!HasChild(root, "library_effects"))
                    NotifyWarning(KString("library_images exists but there is no library_effects using it.") +
                                  " This library will not be read.");
            } else if (name == "library_materials") {
                // Images and effects are read once, before the first material
                // library, whatever their place in the document.
                if (!mSharedLibrariesRead) {
                    mSharedLibrariesRead = true;
                    if (xmlNode* images = ColladaFindChildByName(root, "library_images"))
                        if (!ReadLibrary(scene, images)) return false;
                    xmlNode* effects = ColladaFindChildByName(root, "library_effects");
                    if (effects == nullptr) return false;
                    if (!ReadLibrary(scene, effects)) return false;
                } else if (!HasChild(root, "library_effects")) {
                    return false;
                }
                if (!ReadLibrary(scene, child)) return false;
            } else if (name == "library_nodes") {
                // Read where a node instances one of its nodes.
            } else if (name == "extra") {
                NotifyWarning(KString("<extra> of the document is not read"));
            } else if (name == "library_physics_materials" ||
                       name == "library_physics_models" || name == "library_physics_scenes" ||
                       name == "library_force_fields" || name == "library_animation_clips") {
                if (WarnOnce(name)) NotifyWarning(KString("library type not supported: ") + name);
            } else if (name == "library") {
                if (WarnOnce(name)) NotifyWarning(KString("structure ") + name + " is deprecated in Collada 1.4.");
                if (!ReadLibrary(scene, child)) return false;
            } else if (name == "scene") {
                mSceneElement = child;
                // Only extensions may follow the scene.
                for (xmlNode* after = child->next; after != nullptr; after = after->next) {
                    if (after->type == XML_ELEMENT_NODE && !ColladaIsElement(after, "extra")) {
                        NotifyError(KString("extra structure at the end of the main structure: <") +
                                    ColladaElementName(after) + ">");
                        return false;
                    }
                }
                if (!ReadScene(scene, child)) return false;
            } else {
                NotifyWarning(KString("unknown structure in the main structure: <") + name + ">");
            }
        }
    }

    if (!mAnimations.empty()) mSceneNodes = ColladaNodesByName(scene->GetRootNode());
    for (const auto& [id, element] : mAnimations) {
        if (!ReadAnimation(element, scene, 0)) return false;
    }
    if (info != nullptr) scene->SetSceneInfo(info);
    ConnectSceneMaterials(scene);
    return true;
}

void KDuzReaderCollada::ConnectSceneMaterials(KDuzScene* scene) {
    for (int g = 0; g < scene->GetGeometryCount(); ++g) {
        auto* geometry = dynamic_cast<KDuzLayerContainer*>(scene->GetGeometry(g));
        if (geometry == nullptr) continue;
        KDuzNode* node = geometry->GetNode();
        if (node == nullptr) continue;
        for (int l = 0; l < geometry->GetLayerCount(); ++l) {
            const KDuzLayer* layer = geometry->GetLayer(l);
            const KDuzLayerElementMaterial* element = layer != nullptr ? layer->GetMaterials() : nullptr;
            if (element == nullptr) continue;
            const auto mode = element->GetReferenceMode();
            if (mode != KDuzLayerElement::eDirect && mode != KDuzLayerElement::eIndexToDirect) continue;
            for (KDuzSurfaceMaterial* material : element->GetDirectArray()) {
                if (material == nullptr) continue;
                if (!node->IsConnectedSrcObject(material)) node->ConnectSrcObject(material);
                auto* owner = dynamic_cast<KDuzScene*>(material->GetDstObject(KDuzScene::ClassId(), 0));
                if (owner == scene) continue;
                if (owner != nullptr) owner->DisconnectSrcObject(material);
                scene->ConnectObject(material);
            }
        }
    }
}

bool KDuzReaderCollada::CheckVersion(const KString& version) {
    const int dot = version.FindChar('.');
    if (dot < 0) {
        NotifyError(KString("Bad syntax for version number (") + version + ")");
        return false;
    }
    const KString majorText = version.Left(dot);
    const int second = version.FindChar('.', dot + 1);
    const KString minorText = second < 0 ? version.MidToEnd(dot) : version.Mid(dot, second - dot);
    const char* cursor = majorText.Buffer();
    const int major = ColladaScanInt(cursor);
    cursor = minorText.Buffer();
    const int minor = ColladaScanInt(cursor);
    if (major == 1 && minor == 4) return true;
    if (major <= 0 || (major == 1 && minor < 4)) {
        NotifyWarning(KString("Old Collada format (") + version + "). " +
                      "This format is weakly supported and could cause read errors. " +
                      "There is strong support for Collada format " + "1" + "." + "4" + ".*.");
    } else {
        NotifyWarning(KString("Collada format ") + version + " newer than supported format " + "1" + "." + "4" +
                      ".*." + " Might be weakly supported.");
    }
    return true;
}

bool KDuzReaderCollada::ReadAsset(xmlNode* asset, KDuzScene* scene, KDuzSceneInfo* info) {
    KDuzGlobalSettings* settings = scene->GetGlobalSettings();
    for (xmlNode* child = asset->children; child != nullptr; child = child->next) {
        if (child->type != XML_ELEMENT_NODE) continue;
        const KString name(ColladaElementName(child));
        if (name == "up_axis") {
            const KString text = ColladaGetContent(child);
            KDuzAxisSystem axes(2, 2, 0);
            if (text == "X_UP") axes = KDuzAxisSystem(1, 2, 0);
            else if (text == "Y_UP") axes = KDuzAxisSystem(2, 2, 0);
            else if (text == "Z_UP") axes = KDuzAxisSystem(3, -2, 0);
            else NotifyWarning(KString("Unrecognized up_axis value: ") + text);
            if (settings != nullptr) settings->SetAxisSystem(axes);
        } else if (name == "unit") {
            const KString text = ColladaGetAttribute(child, "meter");
            char* end = nullptr;
            double meter = std::strtod(text.Buffer(), &end);
            const bool number = end != text.Buffer();
            if (!number || !(meter >= static_cast<double>(0.0001f)) || !std::isfinite(meter)) {
                NotifyWarning(KString("Meter conversion factor is too small or invalid: ") + text +
                              ". Using 1 instead.");
                meter = 1.0;
            }
            if (settings != nullptr) settings->SetSystemUnit(KDuzSystemUnit(meter * 100.0));
        } else if (name == "contributor") {
            for (xmlNode* part = child->children; part != nullptr; part = part->next) {
                if (ColladaIsElement(part, "authoring_tool") &&
                    ColladaGetContent(part) == KString(kColladaAuthoringTool))
                    mOwnDocument = true;
                if (info == nullptr) continue;
                if (ColladaIsElement(part, "author")) info->author = ColladaGetContent(part);
                else if (ColladaIsElement(part, "comments")) info->comment = ColladaGetContent(part);
            }
        } else if (info != nullptr) {
            if (name == "title") info->title = ColladaGetContent(child);
            else if (name == "subject") info->subject = ColladaGetContent(child);
            else if (name == "keywords") info->keywords = ColladaGetContent(child);
            else if (name == "revision") info->revision = ColladaGetContent(child);
        }
    }
    return true;
}

bool KDuzReaderCollada::ReadLibrary(KDuzScene* scene, xmlNode* library) {
    const KString name(ColladaElementName(library));
    const KString type = ColladaGetAttribute(library, "type");
    const bool deprecated = name == "library";
    auto is = [&](const char* elementName, const char* typeName) {
        return name == elementName || (deprecated && typeName != nullptr && type == typeName);
    };
    auto each = [&](const char* childName, auto&& read) {
        for (xmlNode* child = library->children; child != nullptr; child = child->next) {
            if (!ColladaIsElement(child, childName)) continue;
            mSuccess = read(child);
            if (!mSuccess) return false;
        }
        return true;
    };
    if (is("library_geometries", "GEOMETRY")) {
        // The mesh holds what its geometry says, and nothing looks at the
        // element again: it goes at once rather than with the document.
        for (xmlNode* child = library->children; child != nullptr;) {
            xmlNode* next = child->next;
            if (ColladaIsElement(child, "geometry")) {
                mSuccess = ReadGeometry(child);
                if (!mSuccess) return false;
                xmlUnlinkNode(child);
                xmlFreeNode(child);
            }
            child = next;
        }
        return true;
    }
    if (is("library_controllers", "CONTROLLER"))
        return each("controller", [&](xmlNode* e) { return ReadController(e); });
    if (is("library_animations", "ANIMATION")) {
        return each("animation", [&](xmlNode* e) {
            mAnimations.emplace_back(ColladaGetAttribute(e, "id"), e);
            return true;
        });
    }
    if (is("library_materials", "MATERIAL")) return each("material", [&](xmlNode* e) { return ReadMaterial(e); });
    if (is("library_effects", nullptr)) return each("effect", [&](xmlNode* e) { return ReadEffect(e); });
    if (is("library_images", "IMAGE")) return each("image", [&](xmlNode* e) { return ReadImage(e); });
    if (is("library_cameras", "CAMERA")) return each("camera", [&](xmlNode* e) { return ReadCamera(e); });
    if (is("library_lights", "LIGHT")) return each("light", [&](xmlNode* e) { return ReadLight(scene, e); });
    if (deprecated && type == "PHYSICS") {
        if (WarnOnce(type)) NotifyWarning(KString("library type not supported: ") + type);
        return true;
    }
    if (name == "library_visual_scenes") {
        return each("visual_scene", [&](xmlNode* e) {
            mVisualSceneElement = e;
            return ReadVisualScene(e);
        });
    }
    if (name == "library_animation_clips" || name == "library_force_fields" || name == "library_nodes" ||
        name == "library_physics_materials" || name == "library_physics_models" ||
        name == "library_physics_scenes") {
        if (WarnOnce(name)) NotifyWarning(KString("library type not supported: ") + name);
        return true;
    }
    NotifyError(KString("Unrecognized library element: ") + name);
    return false;
}

bool KDuzReaderCollada::ReadScene(KDuzScene* scene, xmlNode* sceneElement) {
    // A visual scene's meshes are copied into the scene once; the last copy
    // takes their arrays.
    std::unordered_map<std::string, int> instancesLeft;
    for (xmlNode* child = sceneElement->children; child != nullptr; child = child->next)
        if (ColladaIsElement(child, "instance_visual_scene")) ++instancesLeft[ColladaGetUrl(child).id.Buffer()];
    for (xmlNode* child = sceneElement->children; child != nullptr; child = child->next) {
        if (child->type != XML_ELEMENT_NODE) continue;
        const KString name(ColladaElementName(child));
        if (name == "instance_visual_scene") {
            const ColladaUrl url = ColladaGetUrl(child);
            const auto found = mVisualScenes.find(url.id.Buffer());
            if (found == mVisualScenes.end()) {
                NotifyError(KString("Scene not found: ") + url.url);
                return false;
            }
            mTakeVisualSceneMeshes = --instancesLeft[url.id.Buffer()] == 0;
            const bool instanced = InstanceVisualScene(scene, found->second);
            mTakeVisualSceneMeshes = false;
            if (!instanced) return false;
        } else {
            // Physics, kinematics and extensions are not ours to read.
            NotifyWarning(KString("structure ") + name + " is not supported.");
        }
    }
    return true;
}

namespace {

// The first node in pre-order under root whose sid is `sid`.
KDuzNode* FindBySid(KDuzNode* root, const char* sid, const std::unordered_map<std::string, KString>& sids) {
    std::vector<KDuzNode*> pending{root};
    while (!pending.empty()) {
        KDuzNode* current = pending.back();
        pending.pop_back();
        const auto found = sids.find(current->GetName());
        if (found != sids.end() && found->second == sid) return current;
        for (int i = current->GetChildCount() - 1; i >= 0; --i) pending.push_back(current->GetChild(i));
    }
    return nullptr;
}

}  // namespace

std::unordered_map<KDuzNode*, KDuzNode*> KDuzReaderCollada::RelinkClusters(
    KDuzNode* root, const std::unordered_map<std::string, KDuzNode*>& byName) {
    // A joint is named by the node's id or, the usual form, by its sid under
    // the skinned node's skeleton roots (anywhere when it has none).
    std::unordered_map<KDuzNode*, KDuzNode*> relinked;
    std::vector<KDuzNode*> pending{root};
    while (!pending.empty()) {
        KDuzNode* current = pending.back();
        pending.pop_back();
        for (int i = current->GetChildCount() - 1; i >= 0; --i) pending.push_back(current->GetChild(i));
        auto* mesh = dynamic_cast<KDuzMesh*>(current->GetMesh());
        if (mesh == nullptr) continue;
        const auto roots = mSkeletonRoots.find(current->GetName());
        for (int d = 0; d < mesh->GetDeformerCount(); ++d) {
            auto* skin = dynamic_cast<KDuzSkin*>(mesh->GetDeformer(d));
            if (skin == nullptr) continue;
            for (int c = 0; c < skin->GetClusterCount(); ++c) {
                KDuzCluster* cluster = skin->GetCluster(c);
                KDuzNode* link = cluster != nullptr ? cluster->GetLink() : nullptr;
                if (link == nullptr) continue;
                KDuzNode* joint = nullptr;
                if (roots != mSkeletonRoots.end()) {
                    for (const KString& rootId : roots->second) {
                        const auto top = byName.find(rootId.Buffer());
                        if (top != byName.end()) joint = FindBySid(top->second, link->GetName(), mNodeSids);
                        if (joint != nullptr) break;
                    }
                }
                if (joint == nullptr) {
                    const auto found = byName.find(link->GetName());
                    if (found != byName.end()) joint = found->second;
                }
                if (joint == nullptr) joint = FindBySid(root, link->GetName(), mNodeSids);
                if (joint == nullptr || joint == link) continue;
                relinked.emplace(link, joint);
                ColladaRelinkCluster(cluster, joint);
            }
        }
    }
    return relinked;
}

namespace {
}  // namespace

bool KDuzReaderCollada::InstanceVisualScene(KDuzScene* target, KDuzScene* visualScene) {
    // The last instance takes the visual scene's nodes themselves, each made
    // once. Skinned documents are copied: their clusters and bind poses are
    // matched to the copies by name.
    const bool adopt = mTakeVisualSceneMeshes && mControllers.empty();
    if (adopt ? !AdoptNodeTree(target, visualScene)
              : !CopyNodeTree(target->GetRootNode(), visualScene->GetRootNode(), 0))
        return false;
    const auto byName = ColladaNodesByName(target->GetRootNode());
    const auto relinked = RelinkClusters(target->GetRootNode(), byName);
    for (int p = 0; p < visualScene->GetPoseCount(); ++p) {
        KDuzPose* source = visualScene->GetPose(p);
        if (source == nullptr) continue;
        KDuzPose* pose = KDuzPose::Create(mManager, source->GetName());
        if (pose == nullptr) continue;
        pose->SetIsBindPose(true);
        // Entries name the target scene's nodes where it has them, so the
        // bind pose describes the scene it belongs to.
        for (int i = 0; i < source->GetCount(); ++i) {
            KDuzNode* node = source->GetNode(i);
            const auto joint = relinked.find(node);
            const auto found = node != nullptr ? byName.find(node->GetName()) : byName.end();
            KDuzNode* entry = joint != relinked.end() ? joint->second : found != byName.end() ? found->second : node;
            pose->Add(entry, source->GetMatrix(i), false);
        }
        target->ConnectObject(pose);
    }
    return true;
}

// ---- shared helpers ----

int ColladaRotationOrderFromAxes(const int order[3], int count) {
    if (count < 2) return 0;
    int pos[3] = {order[0], order[1], order[2]};
    if (count == 2 && (pos[0] == 1 || (pos[0] < 0 && pos[1] == 1))) return 0;
    // Absent axes take the places after the present ones, in X, Y, Z order.
    int next = count;
    for (int& p : pos)
        if (p < 0) p = next++;
    // Document order, then reversed, names the rotation order.
    int byPlace[3] = {-1, -1, -1};
    for (int axis = 0; axis < 3; ++axis)
        if (pos[axis] >= 0 && pos[axis] < 3) byPlace[pos[axis]] = axis;
    // Document Z Y X gives 0, Y Z X 1, X Z Y 2, Z X Y 3, Y X Z 4, X Y Z 5.
    struct Row {
        int a, b, c, order;
    };
    constexpr Row rows[] = {{2, 1, 0, 0}, {1, 2, 0, 1}, {0, 2, 1, 2}, {2, 0, 1, 3}, {1, 0, 2, 4}, {0, 1, 2, 5}};
    for (const Row& r : rows)
        if (byPlace[0] == r.a && byPlace[1] == r.b && byPlace[2] == r.c) return r.order;
    return 0;
}

void ColladaSplitTarget(const KString& target, KString& elementId, KString& key, KString& member) {
    member = "";
    const int slash = target.FindChar('/');
    if (slash >= 0) {
        elementId = target.Left(slash);
        const int dot = target.FindChar('.', slash + 1);
        key = dot >= 0 ? target.Left(dot) : target;
        if (dot >= 0) member = target.MidToEnd(dot + 1);
        return;
    }
    elementId = "";
    const int dot = target.FindChar('.');
    if (dot >= 0) {
        key = target.Left(dot);
        member = target.MidToEnd(dot + 1);
        return;
    }
    const int paren = target.FindChar('(');
    if (paren < 0) {
        key = target;
        return;
    }
    key = target.Left(paren);
    const int close = target.FindChar(')', paren);
    member = close >= 0 ? target.Mid(paren + 1, close - paren - 1) : target.MidToEnd(paren + 1);
}

void ColladaSetNodeTransformFromMatrix(KDuzNode* node, const KgeMatrix& matrix) {
    const KgeTVector t = matrix.GetTranslation();
    const KgeTVector r = matrix.GetEulerXYZ();
    const KgeTVector s = matrix.GetScaling();
    node->SetLclTranslation(duzVectorTemplate3<double>(t[0], t[1], t[2]));
    node->SetLclRotation(duzVectorTemplate3<double>(r[0], r[1], r[2]));
    node->SetLclScaling(duzVectorTemplate3<double>(s[0], s[1], s[2]));
}

void ColladaCopyNodeTransform(KDuzNode* destination, KDuzNode* source) {
    destination->SetLclTranslation(source->GetLclTranslation());
    destination->SetLclRotation(source->GetLclRotation());
    destination->SetLclScaling(source->GetLclScaling());
    destination->SetRotationOffset(0, source->GetRotationOffset(0));
    destination->SetRotationPivot(0, source->GetRotationPivot(0));
    destination->SetPreRotation(0, source->GetPreRotation(0));
    destination->SetPostRotation(0, source->GetPostRotation(0));
    destination->SetScalingOffset(0, source->GetScalingOffset(0));
    destination->SetScalingPivot(0, source->GetScalingPivot(0));
    destination->SetRotationActive(source->GetRotationActive());
}

void ColladaCopyLight(KDuzLight* destination, KDuzLight* source) {
    destination->SetLightType(source->GetLightType());
    destination->SetColor(source->GetColor());
    destination->SetIntensity(source->GetIntensity());
    destination->SetConeAngle(source->GetConeAngle());
    destination->SetFog(source->GetFog());
}

void ColladaCopyCamera(KDuzCamera* destination, KDuzCamera* source) {
    destination->SetProjectionType(source->GetProjectionType());
    destination->SetInterestPosition(source->GetInterestPosition());
    destination->SetFocusDistance(source->GetFocusDistance());
    destination->SetFilmHeight(source->GetFilmHeight());
    destination->SetFilmWidth(source->GetFilmWidth());
    destination->SetFilmSqueezeRatio(source->GetFilmSqueezeRatio());
    destination->SetAspect(source->GetAspectRatioMode(), source->GetAspectWidth(), source->GetAspectHeight());
    destination->SetNearPlane(source->GetNearPlane());
    destination->SetFarPlane(source->GetFarPlane());
    destination->SetApertureMode(source->GetApertureMode());
    destination->SetApertureFormat(source->GetApertureFormat());
    destination->SetFieldOfView(source->GetFieldOfView());
    destination->SetFormat(source->GetFormat());
    // An orthographic camera's zoom is its only size: copies keep it.
    destination->SetOrthoZoom(source->GetOrthoZoom());
}

void ColladaCopySkeletonType(KDuzSkeleton* destination, KDuzSkeleton* source) {
    destination->SetSkeletonType(source->GetSkeletonType());
}

void ColladaCopyCluster(KDuzCluster* destination, KDuzCluster* source) {
    const int count = source->GetControlPointIndicesCount();
    const int* indices = source->GetControlPointIndices();
    const double* weights = source->GetControlPointWeights();
    for (int i = 0; i < count; ++i) destination->AddControlPointIndex(indices[i], weights[i]);
    if (destination->GetLink() == nullptr && source->GetLink() != nullptr) destination->SetLink(source->GetLink());
    destination->SetLinkMode(source->GetLinkMode());
    destination->SetTransformMatrix(source->GetStoredTransformMatrix());
    destination->SetTransformLinkMatrix(source->GetStoredTransformLinkMatrix());
}

std::unordered_map<std::string, KDuzNode*> ColladaNodesByName(KDuzNode* root) {
    std::unordered_map<std::string, KDuzNode*> byName;
    if (root == nullptr) return byName;
    // Pre-order without recursion: trees from files can be deep.
    std::vector<KDuzNode*> pending{root};
    while (!pending.empty()) {
        KDuzNode* current = pending.back();
        pending.pop_back();
        if (current != root) byName.emplace(current->GetName(), current);
        for (int i = current->GetChildCount() - 1; i >= 0; --i) pending.push_back(current->GetChild(i));
    }
    return byName;
}

void ColladaRelinkCluster(KDuzCluster* cluster, KDuzNode* node) {
    KDuzNode* old = cluster->GetLink();
    if (old == node) return;
    if (old != nullptr) cluster->DisconnectSrcObject(old);
    cluster->SetLink(node);
}

void ColladaCopyPoseEntries(KDuzPose* destination, KDuzPose* source) {
    for (int i = 0; i < source->GetCount(); ++i)
        destination->Add(source->GetNode(i), source->GetMatrix(i), false);
}

}  // namespace duzsdk
