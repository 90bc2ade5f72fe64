#include "sdk/geometry/KDuzLayerElement.h"

#include <new>

namespace duzsdk {

const KDuzLayerElementTypeRow* KDuzLayerElementTypeRowOf(int type) {
    for (const KDuzLayerElementTypeRow& row : kDuzLayerElementTypes) {
        if (row.type == type) return &row;
    }
    return nullptr;
}

const char* KDuzMappingModeName(int mode) {
    static constexpr const char* kNames[] = {"NoMappingInformation", "ByVertice",
                                             "ByPolygonVertex",      "ByPolygon",
                                             "ByEdge",               "AllSame"};
    return mode >= 0 && mode < 6 ? kNames[mode] : kNames[0];
}

const char* KDuzReferenceModeName(int mode) {
    static constexpr const char* kNames[] = {"Direct", "Index", "IndexToDirect"};
    return mode >= 0 && mode < 3 ? kNames[mode] : kNames[0];
}

bool KDuzLayerElement::CopyCommonFrom(const KDuzLayerElement& other) {
    if (&other == this) return true;
    mMappingMode = other.mMappingMode;
    mReferenceMode = other.mReferenceMode;
    mName = other.mName;
    return mIndexArray.AssignFrom(other.mIndexArray);
}

// ---- texture ---------------------------------------------------------------------

bool KDuzLayerElementTexture::CopyFrom(const KDuzLayerElementTexture& other) {
    if (&other == this) return true;
    const bool copied = KDuzLayerElementTemplate::CopyFrom(other);
    mChannelTag = other.mChannelTag;
    mBlendMode = other.mBlendMode;
    mAlpha = other.mAlpha;
    return copied;
}

// ---- user data -------------------------------------------------------------------

KDuzLayerElementUserData::~KDuzLayerElementUserData() { ClearAttributes(); }

int KDuzLayerElementUserData::ValueSizeOfKind(int kind) {
    switch (kind) {
        case eValueKindBool: return 1;
        case eValueKindInt:
        case eValueKindFloat: return 4;
        case eValueKindDouble: return 8;
        default: return 0;
    }
}

void KDuzLayerElementUserData::ClearAttributes() {
    KPointerArray<KDynamicArray>& arrays = GetDirectArray();
    for (KDynamicArray* values : arrays) delete values;
    arrays.Empty();
    mDataTypes.clear();
    mNames.clear();
}

bool KDuzLayerElementUserData::AllocateArrays() {
    KPointerArray<KDynamicArray>& arrays = GetDirectArray();
    for (KDynamicArray* values : arrays) delete values;
    arrays.Empty();
    const int count = GetAttributeCount();
    if (!arrays.Resize(count)) return false;
    for (int i = 0; i < count; ++i) {
        const int size = ValueSizeOfKind(mDataTypes[static_cast<size_t>(i)].GetValueKind());
        if (size == 0) continue;
        KDynamicArray* values = new (std::nothrow) KDynamicArray(16, size);
        if (values == nullptr) return false;
        arrays[i] = values;
    }
    return true;
}

bool KDuzLayerElementUserData::Init(int id, const std::vector<PropertyDataType>& dataTypes,
                                    const std::vector<KString>& names) {
    ClearAttributes();
    mId = id;
    mDataTypes = dataTypes;
    if (!AllocateArrays()) return false;
    mNames.resize(mDataTypes.size());
    for (size_t i = 0; i < mNames.size() && i < names.size(); ++i) mNames[i] = names[i];
    return true;
}

bool KDuzLayerElementUserData::CopyFrom(const KDuzLayerElementUserData& other) {
    if (&other == this) return true;
    ClearAttributes();
    mNames = other.mNames;
    mDataTypes = other.mDataTypes;
    if (!AllocateArrays()) return false;
    const KPointerArray<KDynamicArray>& from = other.GetDirectArray();
    KPointerArray<KDynamicArray>& to = GetDirectArray();
    for (int i = 0; i < to.Count() && i < from.Count(); ++i) {
        if (to[i] != nullptr && from[i] != nullptr && !to[i]->AssignFrom(*from[i])) return false;
    }
    mId = other.mId;
    // The modes and the name come along too, so that a copied geometry
    // keeps how its user data is mapped.
    return CopyCommonFrom(other);
}

bool KDuzLayerElementUserData::ResizeAllDirectArrays(int n) {
    if (n < 0) return false;
    bool ok = true;
    for (KDynamicArray* values : GetDirectArray()) {
        if (values != nullptr && !values->Resize(n)) ok = false;
    }
    return ok;
}

PropertyDataType KDuzLayerElementUserData::GetDataType(int index) const {
    if (index < 0 || index >= GetAttributeCount()) return PropertyDataType();
    return mDataTypes[static_cast<size_t>(index)];
}

const char* KDuzLayerElementUserData::GetDataName(int index) const {
    if (index < 0 || index >= static_cast<int>(mNames.size())) return nullptr;
    return mNames[static_cast<size_t>(index)].Buffer();
}

KDynamicArray* KDuzLayerElementUserData::GetDirectArrayOf(int index) {
    return GetDirectArray().GetAt(index, nullptr);
}

const KDynamicArray* KDuzLayerElementUserData::GetDirectArrayOf(int index) const {
    return GetDirectArray().GetAt(index, nullptr);
}

// ---- factories -------------------------------------------------------------------

namespace {

template <class Element>
Element* CreateElement(KDuzSdkManager* manager, const char* name) {
    if (manager == nullptr) return nullptr;
    Element* element = new (std::nothrow) Element();
    if (element == nullptr) return nullptr;
    element->SetName(name);
    return manager->AdoptLayerElement(Element::kList, element);
}

}  // namespace

KDuzLayerElementNormal* KDuzCreateLayerElementNormal(KDuzSdkManager* manager, const char* name) {
    return CreateElement<KDuzLayerElementNormal>(manager, name);
}

KDuzLayerElementMaterial* KDuzCreateLayerElementMaterial(KDuzSdkManager* manager, const char* name) {
    return CreateElement<KDuzLayerElementMaterial>(manager, name);
}

KDuzLayerElementPolygonGroup* KDuzCreateLayerElementPolygonGroup(KDuzSdkManager* manager,
                                                                 const char* name) {
    return CreateElement<KDuzLayerElementPolygonGroup>(manager, name);
}

KDuzLayerElementUV* KDuzCreateLayerElementUV(KDuzSdkManager* manager, const char* name) {
    return CreateElement<KDuzLayerElementUV>(manager, name);
}

KDuzLayerElementVertexColor* KDuzCreateLayerElementVertexColor(KDuzSdkManager* manager,
                                                               const char* name) {
    return CreateElement<KDuzLayerElementVertexColor>(manager, name);
}

KDuzLayerElementSmoothing* KDuzCreateLayerElementSmoothing(KDuzSdkManager* manager,
                                                           const char* name) {
    return CreateElement<KDuzLayerElementSmoothing>(manager, name);
}

KDuzLayerElementVisibility* KDuzCreateLayerElementVisibility(KDuzSdkManager* manager,
                                                             const char* name) {
    return CreateElement<KDuzLayerElementVisibility>(manager, name);
}

KDuzLayerElementTexture* KDuzCreateLayerElementTexture(KDuzSdkManager* manager, const char* name) {
    return CreateElement<KDuzLayerElementTexture>(manager, name);
}

KDuzLayerElementUserData* KDuzCreateLayerElementUserData(KDuzSdkManager* manager, const char* name,
                                                         int id,
                                                         const std::vector<PropertyDataType>& dataTypes,
                                                         const std::vector<KString>& names) {
    KDuzLayerElementUserData* element = CreateElement<KDuzLayerElementUserData>(manager, name);
    // A half-made element stays with the manager, which frees it; the caller
    // only sees the failure.
    if (element != nullptr && !element->Init(id, dataTypes, names)) return nullptr;
    return element;
}

KDuzLayerElementUserData* KDuzCreateLayerElementUserDataCopy(KDuzSdkManager* manager,
                                                             const char* name,
                                                             const KDuzLayerElementUserData* other) {
    if (other == nullptr) return nullptr;
    KDuzLayerElementUserData* element = CreateElement<KDuzLayerElementUserData>(manager, name);
    if (element == nullptr || !element->CopyFrom(*other)) return nullptr;
    element->SetName(name);   // the copy brought the other's name along
    return element;
}

}  // namespace duzsdk
