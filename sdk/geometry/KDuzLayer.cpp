#include "sdk/geometry/KDuzLayer.h"

namespace duzsdk {

namespace {

enum ESlot : int {
    eSlotNormals = 0,
    eSlotMaterials,
    eSlotPolygonGroups,
    eSlotDiffuseUVs,
    eSlotVertexColors,
    eSlotSmoothing,
    eSlotUserData,
    eSlotVisibility,
    eSlotFirstChannelUV,   // 8 .. 21
    eSlotFirstTexture = 22,   // 22 .. 36
};

// Storage order of the channel UV slots (8 ..) and texture slots (22 ..).
constexpr int kUVSlotChannels[] = {10, 11, 12, 13, 14, 15, 17, 18, 16, 19, 20, 21, 22, 23};
constexpr int kTextureSlotChannels[] = {10, 11, 12, 13, 3, 14, 15, 17, 18, 16, 19, 20, 21, 22, 23};
static_assert(eSlotFirstChannelUV + sizeof(kUVSlotChannels) / sizeof(int) == eSlotFirstTexture);
static_assert(eSlotFirstTexture + sizeof(kTextureSlotChannels) / sizeof(int) == KDuzLayer::kSlotCount);

// What kind of element a slot holds.
enum EKind : int { eKindNormal, eKindMaterial, eKindPolygonGroup, eKindUV, eKindVertexColor,
                   eKindSmoothing, eKindUserData, eKindVisibility, eKindTexture };

EKind KindOfSlot(int slot) {
    static constexpr EKind kFixed[] = {eKindNormal,      eKindMaterial,  eKindPolygonGroup,
                                       eKindUV,          eKindVertexColor, eKindSmoothing,
                                       eKindUserData,    eKindVisibility};
    if (slot < eSlotFirstChannelUV) return kFixed[slot];
    return slot < eSlotFirstTexture ? eKindUV : eKindTexture;
}

// A new element of the slot's kind with the other's contents; null when it
// cannot be made.
template <class Element>
KDuzLayerElement* CopyOf(const KDuzLayerElement* from, Element* (*create)(KDuzSdkManager*, const char*),
                         KDuzSdkManager* manager) {
    Element* element = create(manager, "");
    if (element == nullptr) return nullptr;
    element->CopyFrom(*static_cast<const Element*>(from));
    return element;
}

KDuzLayerElement* CopyElement(int slot, const KDuzLayerElement* from, KDuzSdkManager* manager) {
    switch (KindOfSlot(slot)) {
        case eKindNormal: return CopyOf(from, &KDuzCreateLayerElementNormal, manager);
        case eKindMaterial: return CopyOf(from, &KDuzCreateLayerElementMaterial, manager);
        case eKindPolygonGroup: return CopyOf(from, &KDuzCreateLayerElementPolygonGroup, manager);
        case eKindUV: return CopyOf(from, &KDuzCreateLayerElementUV, manager);
        case eKindVertexColor: return CopyOf(from, &KDuzCreateLayerElementVertexColor, manager);
        case eKindSmoothing: return CopyOf(from, &KDuzCreateLayerElementSmoothing, manager);
        case eKindVisibility: return CopyOf(from, &KDuzCreateLayerElementVisibility, manager);
        case eKindTexture: return CopyOf(from, &KDuzCreateLayerElementTexture, manager);
        case eKindUserData:
            return KDuzCreateLayerElementUserDataCopy(
                manager, "", static_cast<const KDuzLayerElementUserData*>(from));
    }
    return nullptr;
}

}  // namespace

int KDuzLayer::UVSlotOfChannel(int channel) {
    if (channel == 0 || channel == 3) return eSlotDiffuseUVs;
    for (int i = 0; i < static_cast<int>(sizeof(kUVSlotChannels) / sizeof(int)); ++i) {
        if (kUVSlotChannels[i] == channel) return eSlotFirstChannelUV + i;
    }
    return -1;
}

int KDuzLayer::TextureSlotOfChannel(int channel) {
    for (int i = 0; i < static_cast<int>(sizeof(kTextureSlotChannels) / sizeof(int)); ++i) {
        if (kTextureSlotChannels[i] == channel) return eSlotFirstTexture + i;
    }
    return -1;
}

KDuzLayerElement* KDuzLayer::GetSlot(int slot) const {
    return slot >= 0 && slot < kSlotCount ? mSlots[slot] : nullptr;
}

// ---- getters ----------------------------------------------------------------------

KDuzLayerElementNormal* KDuzLayer::GetNormals() const {
    return static_cast<KDuzLayerElementNormal*>(mSlots[eSlotNormals]);
}
KDuzLayerElementMaterial* KDuzLayer::GetMaterials() const {
    return static_cast<KDuzLayerElementMaterial*>(mSlots[eSlotMaterials]);
}
KDuzLayerElementPolygonGroup* KDuzLayer::GetPolygonGroups() const {
    return static_cast<KDuzLayerElementPolygonGroup*>(mSlots[eSlotPolygonGroups]);
}
KDuzLayerElementUV* KDuzLayer::GetUVs() const {
    return static_cast<KDuzLayerElementUV*>(mSlots[eSlotDiffuseUVs]);
}
KDuzLayerElementVertexColor* KDuzLayer::GetVertexColors() const {
    return static_cast<KDuzLayerElementVertexColor*>(mSlots[eSlotVertexColors]);
}
KDuzLayerElementSmoothing* KDuzLayer::GetSmoothing() const {
    return static_cast<KDuzLayerElementSmoothing*>(mSlots[eSlotSmoothing]);
}
KDuzLayerElementUserData* KDuzLayer::GetUserData() const {
    return static_cast<KDuzLayerElementUserData*>(mSlots[eSlotUserData]);
}
KDuzLayerElementVisibility* KDuzLayer::GetVisibility() const {
    return static_cast<KDuzLayerElementVisibility*>(mSlots[eSlotVisibility]);
}
KDuzLayerElementTexture* KDuzLayer::GetTextures() const { return GetTexturesOfType(3); }

KDuzLayerElementUV* KDuzLayer::GetUVsOfType(int channel) const {
    return static_cast<KDuzLayerElementUV*>(GetSlot(UVSlotOfChannel(channel)));
}

KDuzLayerElementTexture* KDuzLayer::GetTexturesOfType(int channel) const {
    return static_cast<KDuzLayerElementTexture*>(GetSlot(TextureSlotOfChannel(channel)));
}

KDuzLayerElement* KDuzLayer::GetLayerElementOfType(int type, bool uv) const {
    switch (type) {
        case eLayerElementNormal: return mSlots[eSlotNormals];
        case eLayerElementMaterial: return mSlots[eSlotMaterials];
        case eLayerElementPolygonGroup: return mSlots[eSlotPolygonGroups];
        case eLayerElementUV: return mSlots[eSlotDiffuseUVs];
        case eLayerElementVertexColor: return mSlots[eSlotVertexColors];
        case eLayerElementSmoothing: return mSlots[eSlotSmoothing];
        case eLayerElementUserData: return mSlots[eSlotUserData];
        case eLayerElementVisibility: return mSlots[eSlotVisibility];
        default: break;
    }
    if (!KDuzIsTextureChannel(type)) return nullptr;
    if (uv) return GetUVsOfType(type);
    return GetTexturesOfType(type);
}

// ---- setters ----------------------------------------------------------------------

KDuzLayerElementNormal* KDuzLayer::SetNormals(KDuzLayerElementNormal* element) {
    SetSlot(eSlotNormals, element);
    return element;
}
KDuzLayerElementMaterial* KDuzLayer::SetMaterials(KDuzLayerElementMaterial* element) {
    SetSlot(eSlotMaterials, element);
    return element;
}
KDuzLayerElementPolygonGroup* KDuzLayer::SetPolygonGroups(KDuzLayerElementPolygonGroup* element) {
    SetSlot(eSlotPolygonGroups, element);
    return element;
}
KDuzLayerElementVertexColor* KDuzLayer::SetVertexColors(KDuzLayerElementVertexColor* element) {
    SetSlot(eSlotVertexColors, element);
    return element;
}
KDuzLayerElementSmoothing* KDuzLayer::SetSmoothing(KDuzLayerElementSmoothing* element) {
    SetSlot(eSlotSmoothing, element);
    return element;
}
KDuzLayerElementUserData* KDuzLayer::SetUserData(KDuzLayerElementUserData* element) {
    SetSlot(eSlotUserData, element);
    return element;
}
KDuzLayerElementVisibility* KDuzLayer::SetVisibility(KDuzLayerElementVisibility* element) {
    SetSlot(eSlotVisibility, element);
    return element;
}

KDuzLayerElementUV* KDuzLayer::SetUVsOfType(KDuzLayerElementUV* element, int channel) {
    // Channel 0 is a name of the diffuse channel only when reading.
    if (!KDuzIsTextureChannel(channel)) return nullptr;
    SetSlot(UVSlotOfChannel(channel), element);
    return element;
}

KDuzLayerElementTexture* KDuzLayer::SetTextures(KDuzLayerElementTexture* element) {
    return SetTexturesOfType(3, element);
}

KDuzLayerElementTexture* KDuzLayer::SetTexturesOfType(int channel, KDuzLayerElementTexture* element) {
    const int slot = TextureSlotOfChannel(channel);
    if (slot < 0) return nullptr;
    SetSlot(slot, element);
    if (element != nullptr) {
        element->SetChannelTag(
            PropertyDataTypeGetRegistered(KDuzLayerElementTypeRowOf(channel)->channelDataType));
    }
    return element;
}

void KDuzLayer::Clear() {
    for (KDuzLayerElement*& slot : mSlots) slot = nullptr;
}

bool KDuzLayer::CopyFrom(const KDuzLayer& other, KDuzSdkManager* manager) {
    if (&other == this) return true;
    Clear();
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (other.mSlots[slot] == nullptr) continue;
        KDuzLayerElement* element = CopyElement(slot, other.mSlots[slot], manager);
        if (element == nullptr) return false;
        SetSlot(slot, element);
    }
    return true;
}

}  // namespace duzsdk
