#include "sdk/geometry/KDuzLayerContainer.h"

#include "sdk/animation/KDuzTakeNodeContainer.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"

#include <cstring>
#include <new>
#include <unordered_set>

namespace duzsdk {

namespace {

// Distinct values of an index array; a set keeps it linear on large meshes.
int CountDistinct(const KTypedArray<int>& indices) {
    std::unordered_set<int> seen;
    for (int value : indices) seen.insert(value);
    return static_cast<int>(seen.size());
}

template <class Object>
int FindByName(const KPointerArray<Object>& objects, const char* name) {
    if (name == nullptr) return -1;
    for (int i = 0; i < objects.Count(); ++i) {
        const Object* object = objects[i];
        if (object != nullptr && std::strcmp(object->GetName(), name) == 0) return i;
    }
    return -1;
}

}  // namespace

KDuzLayerContainer::KDuzLayerContainer(KDuzSdkManager* manager, const char* name)
    : KDuzNodeAttribute(manager, name) {}

KDuzLayerContainer::~KDuzLayerContainer() { ClearLayers(); }

KDuzLayerContainer* KDuzLayerContainer::Create(KDuzSdkManager* manager, const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<KDuzLayerContainer*>(manager->CreateObject(ClassId(), name));
}

KDuzPlug* KDuzLayerContainer::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* container = new (std::nothrow) KDuzLayerContainer(manager, name);
    if (container != nullptr) container->PostCreate();
    return container;
}

KClassId KDuzLayerContainer::ClassId() { return KDuzClassIdOf(eDuzClassLayerContainer); }

KClassId KDuzLayerContainer::GetClassId() const { return ClassId(); }

// ---- layers ---------------------------------------------------------------------

int KDuzLayerContainer::CreateLayer() {
    KDuzLayer* layer = new (std::nothrow) KDuzLayer();
    if (layer == nullptr) return -1;
    const int index = mLayers.Add(layer);
    if (index < 0) delete layer;
    return index;
}

KDuzLayer* KDuzLayerContainer::GetLayer(int index) const { return mLayers.GetAt(index, nullptr); }

int KDuzLayerContainer::GetLayerCountOfType(int type, bool uv) const {
    int count = 0;
    for (const KDuzLayer* layer : mLayers) {
        const bool present = uv ? layer->GetUVsOfType(type) != nullptr
                                : layer->GetLayerElementOfType(type, false) != nullptr;
        if (present) ++count;
    }
    return count;
}

int KDuzLayerContainer::GetLayerIndexOfType(int n, int type, bool uv) const {
    if (n < 0) return -1;
    for (int i = 0; i < mLayers.Count(); ++i) {
        if (mLayers[i]->GetLayerElementOfType(type, uv) == nullptr) continue;
        if (n-- == 0) return i;
    }
    return -1;
}

KDuzLayer* KDuzLayerContainer::GetLayerOfType(int n, int type, bool uv) const {
    return GetLayer(GetLayerIndexOfType(n, type, uv));
}

void KDuzLayerContainer::ClearLayers() {
    while (mLayers.Count() > 0) {
        KDuzLayer* layer = mLayers.RemoveLast();
        layer->Clear();
        delete layer;
    }
}

bool KDuzLayerContainer::CopyLayers(const KDuzLayerContainer& other) {
    if (&other == this) return true;
    ClearLayers();
    bool ok = true;
    for (const KDuzLayer* from : other.mLayers) {
        KDuzLayer* layer = GetLayer(CreateLayer());
        if (layer == nullptr) return false;
        if (!layer->CopyFrom(*from, GetSdkManager())) ok = false;
    }
    return ok;
}

KDuzLayer* KDuzLayerContainer::GetOrCreateLayer(int index) {
    if (index < 0 || index - GetLayerCount() >= kMaxLayersAddedAtOnce) return nullptr;
    while (index >= GetLayerCount()) {
        if (CreateLayer() < 0) return nullptr;
    }
    return GetLayer(index);
}

// ---- materials and textures ------------------------------------------------------

int KDuzLayerContainer::AddMaterial(KDuzSurfaceMaterial* material, int layerIndex) {
    if (material == nullptr) return -1;
    KDuzLayer* layer = GetOrCreateLayer(layerIndex);
    if (layer == nullptr) return -1;
    KDuzLayerElementMaterial* element = layer->GetMaterials();
    if (element == nullptr) {
        element = layer->SetMaterials(KDuzCreateLayerElementMaterial(GetSdkManager(), ""));
        if (element == nullptr) return -1;
    }
    KPointerArray<KDuzSurfaceMaterial>& direct = element->GetDirectArray();
    if (direct.Find(material) >= 0) return -1;
    if (KDuzObject* scene = GetScene()) scene->ConnectSrcObject(material);
    return direct.Add(material);
}

int KDuzLayerContainer::AddTexture(KDuzTexture* texture, int layerIndex, int channel) {
    if (texture == nullptr || !KDuzIsTextureChannel(channel)) return -1;
    KDuzLayer* layer = GetOrCreateLayer(layerIndex);
    if (layer == nullptr) return -1;
    KDuzLayerElementTexture* element = layer->GetTexturesOfType(channel);
    if (element == nullptr) {
        element = layer->SetTexturesOfType(channel, KDuzCreateLayerElementTexture(GetSdkManager(), ""));
        if (element == nullptr) return -1;
    }
    KPointerArray<KDuzTexture>& direct = element->GetDirectArray();
    const int found = direct.Find(texture);
    if (found >= 0) return found;
    if (KDuzObject* scene = GetScene()) scene->ConnectSrcObject(texture);
    return direct.Add(texture);
}

int KDuzLayerContainer::GetMaterialCount(int layerIndex) const {
    const KDuzLayer* layer = GetLayer(layerIndex);
    const KDuzLayerElementMaterial* element = layer != nullptr ? layer->GetMaterials() : nullptr;
    if (element == nullptr) return 0;
    if (element->GetReferenceMode() != KDuzLayerElement::eIndex)
        return element->GetDirectArray().Count();
    const KDuzTakeNodeContainer* node = GetNodeContainer();
    if (node == nullptr) return 0;
    const int connected = node->GetSrcObjectCount(KDuzSurfaceMaterial::ClassId());
    const int distinct = CountDistinct(element->GetIndexArray());
    return distinct < connected ? distinct : connected;
}

KDuzSurfaceMaterial* KDuzLayerContainer::GetMaterial(int index, int layerIndex) const {
    const KDuzLayer* layer = GetLayer(layerIndex);
    const KDuzLayerElementMaterial* element = layer != nullptr ? layer->GetMaterials() : nullptr;
    if (element == nullptr) return nullptr;
    if (element->GetReferenceMode() != KDuzLayerElement::eIndex)
        return element->GetDirectArray().GetAt(index, nullptr);
    const KDuzTakeNodeContainer* node = GetNodeContainer();
    if (node == nullptr) return nullptr;
    return dynamic_cast<KDuzSurfaceMaterial*>(
        node->GetSrcObject(KDuzSurfaceMaterial::ClassId(), index));
}

int KDuzLayerContainer::GetMaterialIndex(const char* name, int layerIndex) const {
    const KDuzLayer* layer = GetLayer(layerIndex);
    const KDuzLayerElementMaterial* element = layer != nullptr ? layer->GetMaterials() : nullptr;
    return element != nullptr ? FindByName(element->GetDirectArray(), name) : -1;
}

int KDuzLayerContainer::GetTextureCount(int layerIndex, int channel) const {
    const KDuzLayer* layer = GetLayer(layerIndex);
    const KDuzLayerElementTexture* element = layer != nullptr ? layer->GetTexturesOfType(channel) : nullptr;
    if (element == nullptr) return 0;
    if (element->GetReferenceMode() != KDuzLayerElement::eIndex)
        return element->GetDirectArray().Count();
    const KDuzTakeNodeContainer* node = GetNodeContainer();
    if (node == nullptr) return 0;
    const int connected = node->GetSrcObjectCount(KDuzTexture::ClassId());
    const int distinct = CountDistinct(element->GetIndexArray());
    return distinct < connected ? distinct : connected;
}

KDuzTexture* KDuzLayerContainer::GetTexture(int index, int layerIndex, int channel) const {
    const KDuzLayer* layer = GetLayer(layerIndex);
    const KDuzLayerElementTexture* element = layer != nullptr ? layer->GetTexturesOfType(channel) : nullptr;
    if (element == nullptr) return nullptr;
    if (element->GetReferenceMode() != KDuzLayerElement::eIndex)
        return element->GetDirectArray().GetAt(index, nullptr);
    const KDuzTakeNodeContainer* node = GetNodeContainer();
    if (node == nullptr) return nullptr;
    return dynamic_cast<KDuzTexture*>(node->GetSrcObject(KDuzTexture::ClassId(), index));
}

int KDuzLayerContainer::GetTextureIndex(const char* name, int layerIndex, int channel) const {
    const KDuzLayer* layer = GetLayer(layerIndex);
    const KDuzLayerElementTexture* element = layer != nullptr ? layer->GetTexturesOfType(channel) : nullptr;
    return element != nullptr ? FindByName(element->GetDirectArray(), name) : -1;
}

// ---- scene ------------------------------------------------------------------------

void KDuzLayerContainer::ConnectToScene(KDuzObject* scene) {
    KDuzObject* current = GetScene();
    if (scene == current) return;
    if (scene != nullptr && current != nullptr) return;   // keeps the scene it has
    if (scene != nullptr) ConnectLayerObjectsToScene(scene);
    KDuzNodeAttribute::ConnectToScene(scene);
}

void KDuzLayerContainer::ConnectLayerObjectsToScene(KDuzObject* scene) {
    if (scene == nullptr) return;
    // Readers size direct arrays before filling them, so null entries are skipped.
    for (const KDuzLayer* layer : mLayers) {
        const KDuzLayerElementMaterial* materials = layer->GetMaterials();
        if (materials != nullptr && materials->GetReferenceMode() != KDuzLayerElement::eIndex) {
            for (KDuzSurfaceMaterial* material : materials->GetDirectArray()) {
                if (material != nullptr) material->ConnectToScene(scene);
            }
        }
        for (int channel : kDuzTextureChannels) {
            const KDuzLayerElementTexture* textures = layer->GetTexturesOfType(channel);
            if (textures == nullptr || textures->GetReferenceMode() == KDuzLayerElement::eIndex)
                continue;
            for (KDuzTexture* texture : textures->GetDirectArray()) {
                if (texture != nullptr) texture->ConnectToScene(scene);
            }
        }
    }
}

}  // namespace duzsdk
