// The node attribute that owns a geometry's numbered layers. Every geometry
// derives from it; readers fill the layers through it and the game reads
// the normals, UVs and materials of layer 0 through it.
#pragma once

#include "sdk/base/KDynamicArray.h"
#include "sdk/geometry/KDuzLayer.h"
#include "sdk/scene/KDuzNodeAttribute.h"

namespace duzsdk {

class KDuzSurfaceMaterial;
class KDuzTexture;

class KDuzLayerContainer : public KDuzNodeAttribute {
public:
    // How far past the last layer AddMaterial and AddTexture may reach: an
    // index read from a file must not make the container allocate layers
    // without bound.
    static constexpr int kMaxLayersAddedAtOnce = 64;

    KDuzLayerContainer(KDuzSdkManager* manager, const char* name);
    ~KDuzLayerContainer() override;

    static KDuzLayerContainer* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();

    // ---- KDuzPlug / KDuzObject ----
    KClassId GetClassId() const override;
    // Hands a new scene to the materials and textures the layers list
    // directly (reference modes 0 and 2), then joins it. Nothing when the
    // scene is unchanged or when the container is in another scene already.
    void ConnectToScene(KDuzObject* scene) override;

    // ---- layers (indices are 0-based) ----
    // Appends an empty layer; its index, or -1 when it cannot be made.
    int CreateLayer();
    int GetLayerCount() const { return mLayers.Count(); }
    // Null for an index outside 0 .. count - 1.
    KDuzLayer* GetLayer(int index) const;
    // Layers that have the element of that type: with uv the channel's UV
    // element is tested (KDuzLayer::GetUVsOfType), else the element itself.
    int GetLayerCountOfType(int type, bool uv = false) const;
    // The index of the n-th layer (0-based) whose element of that type is
    // present (KDuzLayer::GetLayerElementOfType (type, uv)); -1 when fewer.
    int GetLayerIndexOfType(int n, int type, bool uv = false) const;
    KDuzLayer* GetLayerOfType(int n, int type, bool uv = false) const;
    // Deletes every layer, last first. The elements stay with the manager.
    void ClearLayers();
    // Replaces the layers by copies of the other's, with new elements of
    // equal contents made through this container's manager.
    bool CopyLayers(const KDuzLayerContainer& other);

    // ---- materials and textures of a layer ----
    // Creates the layers up to layerIndex (at most kMaxLayersAddedAtOnce
    // past the last), the element when missing, and appends the object to
    // its direct array. The new index; -1 for a null object, a bad layer
    // index, a failed creation, or a material that is there already.
    int AddMaterial(KDuzSurfaceMaterial* material, int layerIndex = 0);
    // The same for a texture channel (3, 10 to 23); a texture that is there
    // already gives its index.
    int AddTexture(KDuzTexture* texture, int layerIndex = 0, int channel = 3);

    // Direct and index-to-direct elements count their direct entries; index
    // elements count the distinct indices, capped by the objects of that
    // class connected to the attribute's node (0 without a node).
    int GetMaterialCount(int layerIndex = 0) const;
    // The direct entry, or for index elements the node's index-th
    // connected material; null when out of range or missing.
    KDuzSurfaceMaterial* GetMaterial(int index, int layerIndex = 0) const;
    // The first direct entry whose name equals the text byte for byte; -1
    // for a null name or when none does.
    int GetMaterialIndex(const char* name, int layerIndex = 0) const;
    int GetTextureCount(int layerIndex = 0, int channel = 3) const;
    KDuzTexture* GetTexture(int index, int layerIndex = 0, int channel = 3) const;
    int GetTextureIndex(const char* name, int layerIndex = 0, int channel = 3) const;

protected:
    // The material and texture part of ConnectToScene, without the guards.
    void ConnectLayerObjectsToScene(KDuzObject* scene);
    // The layer at index, creating layers up to it when allowed; null when
    // the index is negative or too far past the last layer.
    KDuzLayer* GetOrCreateLayer(int index);

private:
    KPointerArray<KDuzLayer> mLayers{16};
};

}  // namespace duzsdk
