#include "sdk/geometry/KDuzMesh.h"

#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/KPlugType.h"

#include <new>
#include <vector>

namespace duzsdk {

namespace {

constexpr int kTypeNumber = PlugTypeNumberOf("KDuzMesh_internal");

// The index-array entry for the newest polygon of a by-polygon index element.
void StorePolygonIndex(KDuzLayerElement* element, int polygonCount, int value) {
    if (element == nullptr || element->GetMappingMode() != KDuzLayerElement::eByPolygon) return;
    const KDuzLayerElement::EReferenceMode reference = element->GetReferenceMode();
    if (reference != KDuzLayerElement::eIndex && reference != KDuzLayerElement::eIndexToDirect) return;
    KTypedArray<int>& indices = element->GetIndexArray();
    if (indices.SetCount(polygonCount)) indices[polygonCount - 1] = value;
}

}  // namespace

KPlugTypeInfo* KDuzMesh_internal::GetPlugTypeInfo() const { return PlugTypeInfoGetRecord(kTypeNumber); }

int KDuzMesh_internal::GetStaticTypeNumber() const { return kTypeNumber; }

// ---- life --------------------------------------------------------------------------

KDuzMesh::KDuzMesh(KDuzSdkManager* manager, const char* name) : KDuzGeometry(manager, name) {}

KDuzMesh::~KDuzMesh() = default;

KDuzMesh* KDuzMesh::Create(KDuzSdkManager* manager, const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<KDuzMesh*>(manager->CreateObject(ClassId(), name));
}

KDuzPlug* KDuzMesh::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* mesh = new (std::nothrow) KDuzMesh(manager, name);
    if (mesh != nullptr) mesh->PostCreate();
    return mesh;
}

KClassId KDuzMesh::ClassId() { return KDuzClassIdOf(eDuzClassMesh); }

KClassId KDuzMesh::GetClassId() const { return ClassId(); }

void KDuzMesh::PostCreate() {
    if (GetInternalObject() == nullptr) SetInternalObject(new KDuzMesh_internal(this));
    KDuzGeometry::PostCreate();
}

KDuzObject* KDuzMesh::Clone(int mode) {
    if (mode != 2) return nullptr;
    KDuzMesh* copy = Create(GetSdkManager(), GetName());
    if (copy != nullptr) copy->CopyFrom(*this);
    return copy;
}

// ---- building ------------------------------------------------------------------------

KDuzLayer* KDuzMesh::GetOrCreateLayer0() { return GetOrCreateLayer(0); }

void KDuzMesh::BeginPolygon(int material, int texture, int group, bool withTexture) {
    const KDuzMeshPolygon polygon{mPolygonVertices.Count(), 0, group};
    if (mPolygons.Add(polygon) < 0) return;
    const int count = mPolygons.Count();
    KDuzLayer* layer = GetOrCreateLayer0();
    if (layer == nullptr) return;

    KDuzLayerElementMaterial* materials = layer->GetMaterials();
    if (materials == nullptr && count == 1 && material != -1)
        materials = layer->SetMaterials(KDuzCreateLayerElementMaterial(GetSdkManager(), ""));
    StorePolygonIndex(materials, count, material);

    if (!withTexture) return;
    KDuzLayerElementTexture* textures = layer->GetTextures();
    if (textures == nullptr && count == 1 && texture != -1)
        textures = layer->SetTextures(KDuzCreateLayerElementTexture(GetSdkManager(), ""));
    StorePolygonIndex(textures, count, texture);
}

void KDuzMesh::AddPolygon(int index, int uvIndex) {
    // A corner needs a polygon to belong to; without one it is dropped.
    if (mPolygons.Count() == 0) return;
    if (mPolygonVertices.Add(index) < 0) return;
    if (uvIndex != -1) {
        KDuzLayerElementUV* uvs = GetOrCreateUVElement(3);
        if (uvs != nullptr && uvs->GetMappingMode() == KDuzLayerElement::eByPolygonVertex &&
            uvs->GetReferenceMode() == KDuzLayerElement::eIndexToDirect) {
            KTypedArray<int>& indices = uvs->GetIndexArray();
            const int corners = mPolygonVertices.Count();
            if (indices.SetCount(corners)) indices[corners - 1] = uvIndex;
        }
    }
    ++mPolygons[mPolygons.Count() - 1].mSize;
}

// ---- polygons ------------------------------------------------------------------------

int KDuzMesh::GetPolygonSize(int polygon) const {
    return mPolygons.IsValidIndex(polygon) ? mPolygons[polygon].mSize : -1;
}

int KDuzMesh::GetPolygonGroup(int polygon) const {
    return mPolygons.IsValidIndex(polygon) ? mPolygons[polygon].mGroup : -1;
}

int KDuzMesh::GetPolygonVertex(int polygon, int position) const {
    if (!mPolygons.IsValidIndex(polygon)) return -1;
    const KDuzMeshPolygon& record = mPolygons[polygon];
    if (position < 0 || position >= record.mSize) return -1;
    // Records filled from a file may point past the corners.
    return mPolygonVertices.GetAt(record.mStart + position, -1);
}

int KDuzMesh::GetPolygonVertexCount() const {
    long long sum = 0;
    for (const KDuzMeshPolygon& polygon : mPolygons) sum += polygon.mSize;
    return sum > 0x7fffffff ? 0x7fffffff : static_cast<int>(sum);
}

bool KDuzMesh::CheckPolygonVertices() const {
    const long long corners = mPolygonVertices.Count();
    for (const KDuzMeshPolygon& polygon : mPolygons) {
        if (polygon.mStart < 0 || polygon.mSize < 0 ||
            static_cast<long long>(polygon.mStart) + polygon.mSize > corners)
            return false;
    }
    const int points = GetControlPointsCount();
    for (int index : mPolygonVertices) {
        if (index < 0 || index >= points) return false;
    }
    return true;
}

// ---- layer 0 -------------------------------------------------------------------------

int KDuzMesh::GetTextureUVIndex(int polygon, int position, int channel) const {
    const KDuzLayer* layer = GetLayer0();
    const KDuzLayerElementUV* uvs = layer != nullptr ? layer->GetUVsOfType(channel) : nullptr;
    if (uvs == nullptr || uvs->GetMappingMode() != KDuzLayerElement::eByPolygonVertex ||
        uvs->GetReferenceMode() != KDuzLayerElement::eIndexToDirect)
        return -1;
    if (!mPolygons.IsValidIndex(polygon)) return -1;
    const KDuzMeshPolygon& record = mPolygons[polygon];
    if (position < 0 || position >= record.mSize) return -1;
    return uvs->GetIndexArray().GetAt(record.mStart + position, -1);
}

int KDuzMesh::GetMaterialMappingMode() const {
    const KDuzLayer* layer = GetLayer0();
    const KDuzLayerElementMaterial* materials = layer != nullptr ? layer->GetMaterials() : nullptr;
    return materials != nullptr ? materials->GetMappingMode() : 0;
}

int KDuzMesh::GetTextureUVMappingMode(int channel) const {
    const KDuzLayer* layer = GetLayer0();
    const KDuzLayerElementUV* uvs = layer != nullptr ? layer->GetUVsOfType(channel) : nullptr;
    if (uvs == nullptr) return 0;
    const int mode = uvs->GetMappingMode();
    return mode == KDuzLayerElement::eByControlPoint || mode == KDuzLayerElement::eByPolygonVertex ? mode : 0;
}

int KDuzMesh::GetTextureMappingMode() const {
    const KDuzLayer* layer = GetLayer0();
    const KDuzLayerElementTexture* textures = layer != nullptr ? layer->GetTextures() : nullptr;
    if (textures == nullptr) return 0;
    const int mode = textures->GetMappingMode();
    return mode == KDuzLayerElement::eByPolygon || mode == KDuzLayerElement::eAllSame ? mode : 0;
}

int KDuzMesh::GetNormalMappingMode() const {
    const KDuzLayer* layer = GetLayer0();
    const KDuzLayerElementNormal* normals = layer != nullptr ? layer->GetNormals() : nullptr;
    if (normals == nullptr) return KDuzLayerElement::eByControlPoint;
    const int mode = normals->GetMappingMode();
    return mode == KDuzLayerElement::eByPolygonVertex ? mode : KDuzLayerElement::eByControlPoint;
}

KgeUVVector* KDuzMesh::GetTextureUV(int channel) const {
    const KDuzLayer* layer = GetLayer0();
    KDuzLayerElementUV* uvs = layer != nullptr ? layer->GetUVsOfType(channel) : nullptr;
    return uvs != nullptr ? uvs->GetDirectArray().Data() : nullptr;
}

int KDuzMesh::GetTextureUVCount(int channel) const {
    const KDuzLayer* layer = GetLayer0();
    const KDuzLayerElementUV* uvs = layer != nullptr ? layer->GetUVsOfType(channel) : nullptr;
    return uvs != nullptr ? uvs->GetDirectArray().Count() : 0;
}

int* KDuzMesh::GetMaterialIndices() const {
    const KDuzLayer* layer = GetLayer0();
    KDuzLayerElementMaterial* materials = layer != nullptr ? layer->GetMaterials() : nullptr;
    if (materials == nullptr || materials->GetReferenceMode() == KDuzLayerElement::eDirect) return nullptr;
    return materials->GetIndexArray().Data();
}

int* KDuzMesh::GetTextureIndices() const {
    const KDuzLayer* layer = GetLayer0();
    KDuzLayerElementTexture* textures = layer != nullptr ? layer->GetTextures() : nullptr;
    if (textures == nullptr || textures->GetReferenceMode() == KDuzLayerElement::eDirect) return nullptr;
    return textures->GetIndexArray().Data();
}

KDuzLayerElementUV* KDuzMesh::GetOrCreateUVElement(int channel) {
    const int type = NormaliseChannel(channel);
    if (!KDuzIsTextureChannel(type)) return nullptr;
    KDuzLayer* layer = GetOrCreateLayer0();
    if (layer == nullptr) return nullptr;
    if (KDuzLayerElementUV* uvs = layer->GetUVsOfType(type)) return uvs;
    return layer->SetUVsOfType(KDuzCreateLayerElementUV(GetSdkManager(), ""), type);
}

bool KDuzMesh::InitTextureUV(int count, int channel) {
    if (count < 0 || count > kMaxControlPoints) return false;
    KDuzLayerElementUV* uvs = GetOrCreateUVElement(channel);
    if (uvs == nullptr) return false;
    uvs->GetDirectArray().Empty();
    return uvs->GetDirectArray().Resize(count);
}

void KDuzMesh::AddTextureUV(const KgeUVVector& uv, int channel) {
    const KDuzLayer* layer = GetLayer0();
    KDuzLayerElementUV* uvs = layer != nullptr ? layer->GetUVsOfType(channel) : nullptr;
    if (uvs != nullptr) uvs->GetDirectArray().Add(uv);
}

bool KDuzMesh::InitTextureUVIndices(int mode, int channel) {
    KDuzLayerElementUV* uvs = GetOrCreateUVElement(channel);
    if (uvs == nullptr) return false;
    uvs->GetDirectArray().Empty();
    uvs->GetIndexArray().Empty();
    switch (mode) {
        case KDuzLayerElement::eByControlPoint:
            uvs->SetMappingMode(KDuzLayerElement::eByControlPoint);
            uvs->SetReferenceMode(KDuzLayerElement::eDirect);
            break;
        case KDuzLayerElement::eByPolygonVertex:
            uvs->SetMappingMode(KDuzLayerElement::eByPolygonVertex);
            uvs->SetReferenceMode(KDuzLayerElement::eIndexToDirect);
            break;
        case KDuzLayerElement::eAllSame:
            uvs->SetMappingMode(KDuzLayerElement::eAllSame);
            uvs->SetReferenceMode(KDuzLayerElement::eDirect);
            break;
        default:
            uvs->SetMappingMode(KDuzLayerElement::eNone);
            uvs->SetReferenceMode(KDuzLayerElement::eDirect);
            break;
    }
    return true;
}

bool KDuzMesh::InitMaterialIndices(int mode) {
    KDuzLayer* layer = GetOrCreateLayer0();
    if (layer == nullptr) return false;
    KDuzLayerElementMaterial* materials = layer->GetMaterials();
    if (materials == nullptr) {
        materials = layer->SetMaterials(KDuzCreateLayerElementMaterial(GetSdkManager(), ""));
        if (materials == nullptr) return false;
    }
    materials->SetReferenceMode(KDuzLayerElement::eIndexToDirect);
    KTypedArray<int>& indices = materials->GetIndexArray();
    indices.Empty();
    if (mode == KDuzLayerElement::eByControlPoint) {
        const int points = GetControlPointsCount();
        if (points == 0) return true;   // nothing to map yet; the mode stays
        materials->SetMappingMode(KDuzLayerElement::eByControlPoint);
        return indices.Resize(points);
    }
    if (mode == KDuzLayerElement::eByPolygon) {
        materials->SetMappingMode(KDuzLayerElement::eByPolygon);
        return true;
    }
    materials->SetMappingMode(KDuzLayerElement::eAllSame);
    return indices.Resize(1);
}

bool KDuzMesh::InitTextureIndices(int mode) {
    KDuzLayer* layer = GetOrCreateLayer0();
    if (layer == nullptr) return false;
    KDuzLayerElementTexture* textures = layer->GetTextures();
    if (textures == nullptr) {
        textures = layer->SetTextures(KDuzCreateLayerElementTexture(GetSdkManager(), ""));
        if (textures == nullptr) return false;
    }
    textures->SetReferenceMode(KDuzLayerElement::eIndexToDirect);
    textures->GetIndexArray().Empty();
    if (mode == KDuzLayerElement::eByPolygon) {
        textures->SetMappingMode(KDuzLayerElement::eByPolygon);
        return true;
    }
    textures->SetMappingMode(KDuzLayerElement::eAllSame);
    return textures->GetIndexArray().Resize(1);
}

bool KDuzMesh::ComputeVertexNormals(bool clockwise) {
    const int points = GetControlPointsCount();
    const KgeTVector* positions = GetControlPoints();
    std::vector<KgeTVector> sums(static_cast<size_t>(points));
    std::vector<int> counts(static_cast<size_t>(points), 0);
    const int corners = mPolygonVertices.Count();
    const auto valid = [points](int index) { return index >= 0 && index < points; };
    for (const KDuzMeshPolygon& polygon : mPolygons) {
        // Polygons and corners from a file are not trusted to stay in range.
        if (polygon.mStart < 0 || polygon.mSize <= 0 ||
            static_cast<long long>(polygon.mStart) + polygon.mSize > corners)
            continue;
        const int* corner = mPolygonVertices.Data() + polygon.mStart;
        const int n = polygon.mSize;
        for (int j = 0; j < n; ++j) {
            const int c = corner[j];
            const int p = corner[j == 0 ? n - 1 : j - 1];
            const int q = corner[j == n - 1 ? 0 : j + 1];
            if (!valid(c) || !valid(p) || !valid(q)) continue;
            const KgeTVector a = positions[p] - positions[c];
            const KgeTVector b = positions[q] - positions[c];
            sums[static_cast<size_t>(c)] += clockwise ? a.CrossProduct(b) : b.CrossProduct(a);
            ++counts[static_cast<size_t>(c)];
        }
    }
    if (!InitNormals(0)) return false;
    KgeTVector* normals = GetNormals();
    for (int i = 0; i < points; ++i) {
        const size_t k = static_cast<size_t>(i);
        KgeTVector normal(0.0, 0.0, 0.0, 1.0);
        if (counts[k] > 0) {
            const KgeTVector average = sums[k] / counts[k];
            // Opposite corners can cancel out; a zero vector has no direction.
            if (average.Length() > 0.0) {
                normal = average;
                normal.Normalize();
            }
        }
        normals[i] = normal;
    }
    return true;
}

// ---- edges -------------------------------------------------------------------------

bool KDuzMesh::SetMeshEdgeCount(int count) {
    if (count < 0 || count > kMaxControlPoints) return false;
    return mEdges.SetCount(count);
}

int KDuzMesh::SetMeshEdge(int index, int value) {
    mEdges.SetAt(index, value);
    return index;
}

// ---- copy and reset --------------------------------------------------------------------

bool KDuzMesh::CopyFrom(const KDuzMesh& other) {
    if (&other == this) return true;
    bool ok = KDuzGeometry::CopyFrom(other);
    ok = mPolygons.AssignFrom(other.mPolygons) && ok;
    ok = mPolygonVertices.AssignFrom(other.mPolygonVertices) && ok;
    ok = mEdges.AssignFrom(other.mEdges) && ok;
    mUCount = other.mUCount;
    mVCount = other.mVCount;
    mUExtendedCount = other.mUExtendedCount;
    mVExtendedCount = other.mVExtendedCount;
    mUStep = other.mUStep;
    mVStep = other.mVStep;
    mUClosed = other.mUClosed;
    mVClosed = other.mVClosed;
    mUTopCap = other.mUTopCap;
    mVTopCap = other.mVTopCap;
    return ok;
}

void KDuzMesh::Reset() {
    mPolygons.Empty();
    mPolygonVertices.Empty();
    mEdges.Empty();
    InitControlPoints(0);
    ClearLayers();
    mUCount = mVCount = mUExtendedCount = mVExtendedCount = mUStep = mVStep = 0;
    mUClosed = mVClosed = mUTopCap = mVTopCap = false;
}

}  // namespace duzsdk
