#include "sdk/geometry/KDuzSceneLayerPasses.h"

#include "sdk/base/KPath.h"
#include "sdk/geometry/KDuzGeometryConverter.h"
#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzLayerContainer.h"
#include "sdk/geometry/KDuzLayerElement.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/geometry/KDuzVideo.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/scene/KDuzLight.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNodeFinderDuplicateName.h"
#include "sdk/scene/KDuzScene.h"

#include <unordered_map>
#include <vector>

namespace duzsdk {

namespace {

// The texture channels the duplicate-name finder visits: all but 16.
constexpr int kFinderTextureTypes[] = {10, 11, 12, 13, 3, 14, 15, 17, 18, 19, 20, 21, 22, 23};

template <class Object>
std::vector<Object*> SourcesOf(const KDuzPlug* plug) {
    std::vector<KDuzObject*> objects;
    KDuzCollectSrcObjects(plug, Object::ClassId(), objects);
    std::vector<Object*> typed;
    typed.reserve(objects.size());
    for (KDuzObject* object : objects) typed.push_back(dynamic_cast<Object*>(object));
    return typed;
}

// Calls visit (container, node) for every geometry of the scene that is
// attached to a node.
template <class Visit>
void ForEachGeometryWithNode(KDuzScene& scene, Visit visit) {
    std::vector<KDuzObject*> geometries;
    KDuzCollectSrcObjects(&scene, KDuzClassIdOf(eDuzClassGeometry), geometries);
    for (KDuzObject* object : geometries) {
        auto* container = dynamic_cast<KDuzLayerContainer*>(object);
        KDuzNode* node = container != nullptr ? container->GetNode() : nullptr;
        if (node != nullptr) visit(*container, *node);
    }
}

// Writer direction: the element's objects become connections of the node and
// its indices are brought to index-to-direct form. The stored file keeps only
// the node's connections and the indices, and readers take an index as a
// position among the node's connections; so the direct array is made to
// list the node's connections in their order and every index is remapped to
// match. Indices that point outside the direct array become -1.
template <class Object, class Element>
void LayerElementToNode(Element& element, KDuzNode& node) {
    auto& direct = element.GetDirectArray();
    KTypedArray<int>& indices = element.GetIndexArray();
    if (element.GetReferenceMode() == KDuzLayerElement::eDirect) {
        element.SetReferenceMode(KDuzLayerElement::eIndexToDirect);
        for (int i = 0; i < direct.Count(); ++i) indices.Add(i);
    }
    if (element.GetReferenceMode() != KDuzLayerElement::eIndexToDirect) return;
    for (Object* object : direct) {
        if (object != nullptr && !node.IsConnectedSrcObject(object)) node.ConnectSrcObject(object);
    }
    const std::vector<Object*> connected = SourcesOf<Object>(&node);
    std::unordered_map<const Object*, int> position;
    for (size_t k = 0; k < connected.size(); ++k) position.emplace(connected[k], static_cast<int>(k));
    const int count = direct.Count();
    for (int& index : indices) {
        if (index < 0 || index >= count) {
            index = -1;
            continue;
        }
        const auto found = position.find(direct[index]);
        index = found != position.end() ? found->second : -1;
    }
    direct.Clear();
    for (Object* object : connected) direct.Add(object);
}

// Reader direction: indices that name the node's connections become
// positions in the direct array, which gains the objects it lacks.
template <class Object, class Element>
void NodeToLayerElement(Element& element, KDuzNode& node, bool fillDirect) {
    auto& direct = element.GetDirectArray();
    const std::vector<Object*> connected = SourcesOf<Object>(&node);
    const int mode = element.GetReferenceMode();
    if (mode == KDuzLayerElement::eIndex || mode == KDuzLayerElement::eIndexToDirect) {
        element.SetReferenceMode(KDuzLayerElement::eIndexToDirect);
        std::unordered_map<const Object*, int> position;
        for (int i = 0; i < direct.Count(); ++i) position.emplace(direct[i], i);
        for (int& index : element.GetIndexArray()) {
            // An index from a file may be anything: outside the node's
            // connections it names nothing.
            if (index < 0 || index >= static_cast<int>(connected.size()) || connected[index] == nullptr) {
                index = -1;
                continue;
            }
            Object* object = connected[static_cast<size_t>(index)];
            const auto inserted = position.emplace(object, direct.Count());
            if (inserted.second) direct.Add(object);
            index = inserted.first->second;
        }
    } else if (mode == KDuzLayerElement::eDirect && fillDirect) {
        for (size_t k = static_cast<size_t>(direct.Count()); k < connected.size(); ++k) direct.Add(connected[k]);
    }
}

void ConnectLayerMaterialsToNodes(KDuzScene& scene) {
    ForEachGeometryWithNode(scene, [](KDuzLayerContainer& container, KDuzNode& node) {
        for (int l = 0; l < container.GetLayerCount(); ++l) {
            KDuzLayer* layer = container.GetLayer(l);
            if (KDuzLayerElementMaterial* element = layer != nullptr ? layer->GetMaterials() : nullptr)
                LayerElementToNode<KDuzSurfaceMaterial>(*element, node);
        }
    });
}

void ConnectLayerTexturesToNode(KDuzScene& scene, int type) {
    ForEachGeometryWithNode(scene, [type](KDuzLayerContainer& container, KDuzNode& node) {
        for (int l = 0; l < container.GetLayerCount(); ++l) {
            KDuzLayer* layer = container.GetLayer(l);
            if (KDuzLayerElementTexture* element = layer != nullptr ? layer->GetTexturesOfType(type) : nullptr)
                LayerElementToNode<KDuzTexture>(*element, node);
        }
    });
}

void ConnectNodeMaterialsToLayers(KDuzScene& scene) {
    ForEachGeometryWithNode(scene, [](KDuzLayerContainer& container, KDuzNode& node) {
        for (int l = 0; l < container.GetLayerCount(); ++l) {
            KDuzLayer* layer = container.GetLayer(l);
            if (KDuzLayerElementMaterial* element = layer != nullptr ? layer->GetMaterials() : nullptr)
                NodeToLayerElement<KDuzSurfaceMaterial>(*element, node, true);
        }
    });
}

void ConnectNodeTexturesToLayer(KDuzScene& scene, int type) {
    ForEachGeometryWithNode(scene, [type](KDuzLayerContainer& container, KDuzNode& node) {
        for (int l = 0; l < container.GetLayerCount(); ++l) {
            KDuzLayer* layer = container.GetLayer(l);
            if (KDuzLayerElementTexture* element = layer != nullptr ? layer->GetTexturesOfType(type) : nullptr)
                NodeToLayerElement<KDuzTexture>(*element, node, type == 3);
        }
    });
}

bool CreateVideoForObject(KDuzScene& scene, const char* name, KDuzObject* object, const char* fileName,
                          const char* relativeFileName, const char* mediaName) {
    // A texture without an image keeps an empty name, not a null one: no video either way.
    if (object == nullptr || fileName == nullptr || fileName[0] == '\0' || scene.GetSdkManager() == nullptr)
        return false;
    if (object->GetSrcObjectCount(KDuzVideo::ClassId()) > 0) return false;
    const char* videoName = mediaName != nullptr && mediaName[0] != '\0' ? mediaName : name;
    KDuzVideo* video = KDuzVideo::Create(scene.GetSdkManager(), videoName != nullptr ? videoName : "");
    if (video == nullptr) return false;
    video->SetFileName(fileName);
    if (relativeFileName != nullptr) video->SetRelativeFileName(relativeFileName);
    if (!object->ConnectSrcObject(video)) {
        video->Destroy();
        return false;
    }
    return true;
}

void CreateVideosForTextures(KDuzScene& scene) {
    for (KDuzTexture* texture : SourcesOf<KDuzTexture>(&scene)) {
        if (texture == nullptr) continue;
        CreateVideoForObject(scene, texture->GetName(), texture, texture->GetFileName(),
                             texture->GetRelativeFileName(), texture->GetMediaName());
    }
    // A light's gobo image is stored as a video of its node. An absolute
    // file name is also given relative to the current folder.
    for (KDuzNode* node : SourcesOf<KDuzNode>(&scene)) {
        auto* light = node != nullptr ? dynamic_cast<KDuzLight*>(node->GetLight()) : nullptr;
        const char* file = light != nullptr ? light->GetFileName() : nullptr;
        if (file == nullptr) continue;
        KString relative;
        const bool absolute = !KPathIsRelative(file);
        if (absolute) {
            KString base = KPathGetCurrentDirectory();
            base += "/";
            relative = KPathGetRelativeFilePath(base, file);
        }
        const KString name = KPathGetFileName(file, true);
        CreateVideoForObject(scene, name.Buffer(), node, file, absolute ? relative.Buffer() : nullptr, "");
    }
}

void RecomputeMeshNormals(KDuzScene& scene) {
    KPointerArray<KDuzNode> nodes;
    scene.FillNodeAttributeList(nodes, eMesh, false);
    for (KDuzNode* node : nodes) {
        auto* mesh = dynamic_cast<KDuzMesh*>(node->GetMesh());
        KDuzLayer* layer = mesh != nullptr ? mesh->GetLayer(0) : nullptr;
        KDuzLayerElementNormal* normals = layer != nullptr ? layer->GetNormals() : nullptr;
        if (normals != nullptr && normals->GetMappingMode() == KDuzLayerElement::eByPolygonVertex)
            mesh->ComputeVertexNormals(false);
    }
}

// Before writing: every NURBS surface on a node becomes the equivalent NURB.
// True when each one was converted.
bool ConvertNurbsSurfacesToNurbs(KDuzScene& scene) {
    KPointerArray<KDuzNode> nodes;
    scene.FillNodeAttributeList(nodes, KDuzNodeAttribute::eNurbsSurface, false);
    if (nodes.Count() == 0) return true;
    KDuzGeometryConverter* converter = KDuzGeometryConverter::Create(scene.GetSdkManager(), "");
    if (converter == nullptr) return false;
    bool all = true;
    for (KDuzNode* node : nodes) all = converter->ConvertNurbsSurfaceInPlace(node) && all;
    converter->Destroy();
    return all;
}

// The finder's walk over a node's geometry layers.
void CollectLayerObjects(KDuzNode* node, int kind, KPointerArray<KDuzObject>& out) {
    auto* container = node != nullptr ? dynamic_cast<KDuzLayerContainer*>(node->GetGeometry()) : nullptr;
    if (container == nullptr) return;
    for (int l = 0; l < container->GetLayerCount(); ++l) {
        KDuzLayer* layer = container->GetLayer(l);
        if (layer == nullptr) continue;
        if (kind == 0) {
            KDuzLayerElementMaterial* element = layer->GetMaterials();
            if (element == nullptr || element->GetReferenceMode() == KDuzLayerElement::eIndex) continue;
            for (KDuzSurfaceMaterial* material : element->GetDirectArray()) {
                if (material != nullptr) out.Add(material);
            }
            continue;
        }
        for (int type : kFinderTextureTypes) {
            KDuzLayerElementTexture* element = layer->GetTexturesOfType(type);
            if (element == nullptr || element->GetReferenceMode() == KDuzLayerElement::eIndex) continue;
            for (KDuzTexture* texture : element->GetDirectArray()) {
                if (texture == nullptr) continue;
                if (kind == 1) {
                    out.Add(texture);
                } else if (KDuzObject* video = texture->GetSrcObject(KDuzVideo::ClassId(), 0)) {
                    out.Add(video);
                }
            }
        }
    }
}

}  // namespace

void KDuzInstallSceneLayerPasses() {
    KDuzSceneLayerPasses passes;
    passes.connectLayerMaterialsToNodes = &ConnectLayerMaterialsToNodes;
    passes.connectLayerTexturesToNode = &ConnectLayerTexturesToNode;
    passes.connectNodeMaterialsToLayers = &ConnectNodeMaterialsToLayers;
    passes.connectNodeTexturesToLayer = &ConnectNodeTexturesToLayer;
    passes.createVideosForTextures = &CreateVideosForTextures;
    passes.createVideoForObject = &CreateVideoForObject;
    passes.convertNurbsSurfacesToNurbs = &ConvertNurbsSurfacesToNurbs;
    passes.recomputeMeshNormals = &RecomputeMeshNormals;
    KDuzSceneSetLayerPasses(passes);
    KDuzNodeFinderSetLayerObjectCollector(&CollectLayerObjects);
}

}  // namespace duzsdk
