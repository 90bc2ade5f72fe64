// One numbered layer of a geometry: a pointer per element type. The
// elements belong to the SDK manager; a layer only points at them, so
// clearing or destroying a layer never frees an element.
#pragma once

#include "sdk/geometry/KDuzLayerElement.h"

namespace duzsdk {

class KDuzSdkManager;

class KDuzLayer {
public:
    // Slots in storage order: normals, materials, polygon groups, diffuse
    // UVs, vertex colours, smoothing, user data, visibility, the UV elements
    // of channels 10 to 23, then the texture elements of 3 and 10 to 23.
    static constexpr int kSlotCount = 37;

    KDuzLayer() = default;
    virtual ~KDuzLayer() { Clear(); }
    KDuzLayer(const KDuzLayer&) = delete;
    KDuzLayer& operator=(const KDuzLayer&) = delete;

    KDuzLayerElementNormal* GetNormals() const;
    KDuzLayerElementMaterial* GetMaterials() const;
    KDuzLayerElementPolygonGroup* GetPolygonGroups() const;
    // The diffuse channel's UV element (type 5).
    KDuzLayerElementUV* GetUVs() const;
    KDuzLayerElementVertexColor* GetVertexColors() const;
    KDuzLayerElementSmoothing* GetSmoothing() const;
    KDuzLayerElementUserData* GetUserData() const;
    KDuzLayerElementVisibility* GetVisibility() const;
    // The diffuse channel's texture element.
    KDuzLayerElementTexture* GetTextures() const;

    // Channel 0 or 3: the diffuse UVs; 10 to 23: that channel's; else null.
    KDuzLayerElementUV* GetUVsOfType(int channel) const;
    // 3 and 10 to 23: that channel's texture element; else null.
    KDuzLayerElementTexture* GetTexturesOfType(int channel) const;
    // Types 1, 2, 4 to 9: that element (uv ignored); 3 and 10 to 23: the
    // channel's UV element with uv set, else its texture element; other
    // values null.
    KDuzLayerElement* GetLayerElementOfType(int type, bool uv = false) const;

    // Each stores the element and returns it.
    KDuzLayerElementNormal* SetNormals(KDuzLayerElementNormal* element);
    KDuzLayerElementMaterial* SetMaterials(KDuzLayerElementMaterial* element);
    KDuzLayerElementPolygonGroup* SetPolygonGroups(KDuzLayerElementPolygonGroup* element);
    KDuzLayerElementVertexColor* SetVertexColors(KDuzLayerElementVertexColor* element);
    KDuzLayerElementSmoothing* SetSmoothing(KDuzLayerElementSmoothing* element);
    KDuzLayerElementUserData* SetUserData(KDuzLayerElementUserData* element);
    KDuzLayerElementVisibility* SetVisibility(KDuzLayerElementVisibility* element);
    // Stores under channel 3 or 10 to 23; any other channel stores nothing
    // (null comes back then).
    KDuzLayerElementUV* SetUVsOfType(KDuzLayerElementUV* element, int channel);
    // The diffuse channel; the element's channel tag becomes "Diffuse".
    KDuzLayerElementTexture* SetTextures(KDuzLayerElementTexture* element);
    // Stores under channel 3 or 10 to 23 and tags a non-null element with
    // the channel's data type; any other channel stores nothing.
    KDuzLayerElementTexture* SetTexturesOfType(int channel, KDuzLayerElementTexture* element);

    // Every slot to null.
    void Clear();
    // Clears this layer, then gives it a new element (through the manager's
    // factories, empty name) for every element of the other, with equal
    // contents. False when an element cannot be made; the slots made so far
    // stay filled.
    bool CopyFrom(const KDuzLayer& other, KDuzSdkManager* manager);

    // Raw slot access for code that walks every element; null outside 0 .. 36.
    KDuzLayerElement* GetSlot(int slot) const;
    // The slot of a channel's UV (texture) element; -1 for other channels.
    static int UVSlotOfChannel(int channel);
    static int TextureSlotOfChannel(int channel);

private:
    void SetSlot(int slot, KDuzLayerElement* element) { mSlots[slot] = element; }

    KDuzLayerElement* mSlots[kSlotCount] = {};
};

}  // namespace duzsdk
