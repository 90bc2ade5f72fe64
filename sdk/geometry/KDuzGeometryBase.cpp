#include "sdk/geometry/KDuzGeometryBase.h"

#include "sdk/object/KDuzClassTree.h"

#include <new>

namespace duzsdk {

KDuzGeometryBase::KDuzGeometryBase(KDuzSdkManager* manager, const char* name)
    : KDuzLayerContainer(manager, name) {}

KDuzGeometryBase::~KDuzGeometryBase() = default;

KDuzPlug* KDuzGeometryBase::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* geometry = new (std::nothrow) KDuzGeometryBase(manager, name);
    if (geometry != nullptr) geometry->PostCreate();
    return geometry;
}

KClassId KDuzGeometryBase::ClassId() { return KDuzClassIdOf(eDuzClassGeometryBase); }

KClassId KDuzGeometryBase::GetClassId() const { return ClassId(); }

bool KDuzGeometryBase::InitControlPoints(int count) {
    mControlPoints.Empty();
    if (count < 0 || count > kMaxControlPoints) return false;
    return mControlPoints.Resize(count);
}

KgeTVector* KDuzGeometryBase::SetControlPointAt(const KgeTVector& point, const KgeTVector& normal,
                                                int index) {
    const KDuzLayer* layer = GetLayer(0);
    KDuzLayerElementNormal* element = layer != nullptr ? layer->GetNormals() : nullptr;
    if (element == nullptr || index < 0 || index >= kMaxControlPoints) return nullptr;
    KgeTVectorArray& normals = element->GetDirectArray();
    if (index >= mControlPoints.Count() && !mControlPoints.SetCount(index + 1)) return nullptr;
    if (index >= normals.Count() && !normals.SetCount(index + 1)) return nullptr;
    mControlPoints[index] = point;
    normals[index] = normal;
    return &normals[index];
}

KgeTVector* KDuzGeometryBase::GetNormals() const {
    const KDuzLayer* layer = GetLayer(0);
    KDuzLayerElementNormal* element = layer != nullptr ? layer->GetNormals() : nullptr;
    return element != nullptr ? element->GetDirectArray().Data() : nullptr;
}

bool KDuzGeometryBase::InitNormals(int count) {
    if (count < 0 || count > kMaxControlPoints) return false;
    KDuzLayer* layer = GetOrCreateLayer(0);
    if (layer == nullptr) return false;
    KDuzLayerElementNormal* element = layer->GetNormals();
    if (element == nullptr) {
        element = layer->SetNormals(KDuzCreateLayerElementNormal(GetSdkManager(), ""));
        if (element == nullptr) return false;
    }
    const int points = GetControlPointsCount();
    element->SetMappingMode(count > 0 && count != points ? KDuzLayerElement::eByPolygonVertex
                                                         : KDuzLayerElement::eByControlPoint);
    element->SetReferenceMode(KDuzLayerElement::eDirect);
    KgeTVectorArray& normals = element->GetDirectArray();
    normals.Empty();
    return normals.Resize(count > 0 ? count : points);
}

bool KDuzGeometryBase::CopyFrom(const KDuzGeometryBase& other) {
    if (&other == this) return true;
    const bool layers = CopyLayers(other);
    return mControlPoints.AssignFrom(other.mControlPoints) && layers;
}

}  // namespace duzsdk
