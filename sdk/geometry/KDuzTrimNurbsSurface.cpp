#include "sdk/geometry/KDuzTrimNurbsSurface.h"

#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KDuzTakeNodeContainer.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/animation/KFCurveNode.h"
#include "sdk/geometry/KDuzBoundary.h"
#include "sdk/geometry/KDuzNurbsSurface.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/KPlugType.h"

#include <new>

namespace duzsdk {

namespace {

constexpr int kTypeNumber = PlugTypeNumberOf("KDuzTrimNurbsSurface_internal");
constexpr int kErrorCount =
    static_cast<int>(sizeof(kDuzTrimNurbsSurfaceErrorTexts) / sizeof(kDuzTrimNurbsSurfaceErrorTexts[0]));

bool ReadOuter(KDuzBoundary* boundary, bool& outer) {
    KDuzTypedProperty<bool> property = boundary->FindProperty(KDuzBoundary::kOuterBoundaryName);
    if (!property.IsValid()) return false;
    outer = property.Get();
    return true;
}

void WriteOuter(KDuzBoundary* boundary, bool outer) {
    KDuzTypedProperty<bool> property = boundary->FindProperty(KDuzBoundary::kOuterBoundaryName);
    if (property.IsValid()) property.Set(outer);
}

}  // namespace

KPlugTypeInfo* KDuzTrimNurbsSurface_internal::GetPlugTypeInfo() const {
    return PlugTypeInfoGetRecord(kTypeNumber);
}

int KDuzTrimNurbsSurface_internal::GetStaticTypeNumber() const { return kTypeNumber; }

KDuzTrimNurbsSurface::KDuzTrimNurbsSurface(KDuzSdkManager* manager, const char* name)
    : KDuzGeometry(manager, name) {
    // The geometry's table has no entry for a missing surface.
    GetError() = KErrorState(kDuzTrimNurbsSurfaceErrorTexts, kErrorCount);
    mRegionEnds.reserve(16);
}

KDuzTrimNurbsSurface::~KDuzTrimNurbsSurface() = default;

KDuzTrimNurbsSurface* KDuzTrimNurbsSurface::Create(KDuzSdkManager* manager, const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<KDuzTrimNurbsSurface*>(manager->CreateObject(ClassId(), name));
}

KDuzPlug* KDuzTrimNurbsSurface::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* surface = new (std::nothrow) KDuzTrimNurbsSurface(manager, name);
    if (surface != nullptr) surface->PostCreate();
    return surface;
}

KClassId KDuzTrimNurbsSurface::ClassId() { return KDuzClassIdOf(eDuzClassTrimNurbsSurface); }

KClassId KDuzTrimNurbsSurface::GetClassId() const { return ClassId(); }

void KDuzTrimNurbsSurface::PostCreate() {
    if (GetInternalObject() == nullptr) SetInternalObject(new KDuzTrimNurbsSurface_internal(this));
    KDuzGeometry::PostCreate();
}

KDuzObject* KDuzTrimNurbsSurface::Clone(int mode) {
    if (mode != 2) return nullptr;
    KDuzTrimNurbsSurface* copy = Create(GetSdkManager(), GetName());
    if (copy != nullptr) copy->Copy(*this);
    return copy;
}

// ---- forwarded ---------------------------------------------------------------------------

KgeTVector* KDuzTrimNurbsSurface::SetControlPointAt(const KgeTVector& point, const KgeTVector& normal, int index) {
    KDuzNurbsSurface* surface = GetNurbsSurface();
    return surface != nullptr ? surface->SetControlPointAt(point, normal, index) : nullptr;
}

int KDuzTrimNurbsSurface::GetControlPointsCount() const {
    const KDuzNurbsSurface* surface = GetNurbsSurface();
    return surface != nullptr ? surface->GetControlPointsCount() : 0;
}

KgeTVector* KDuzTrimNurbsSurface::GetControlPoints() {
    KDuzNurbsSurface* surface = GetNurbsSurface();
    if (surface == nullptr) {
        GetError().SetLastError(eNoNurbsSurface);
        return nullptr;
    }
    return surface->GetControlPoints();
}

const KgeTVector* KDuzTrimNurbsSurface::GetControlPoints() const {
    const KDuzNurbsSurface* surface = GetNurbsSurface();
    return surface != nullptr ? surface->GetControlPoints() : nullptr;
}

int KDuzTrimNurbsSurface::AddShape(KDuzShape* shape, const char* name) {
    KDuzNurbsSurface* surface = GetNurbsSurface();
    if (surface == nullptr) {
        GetError().SetLastError(eNoNurbsSurface);
        return -1;
    }
    const int index = surface->AddShape(shape, name);
    if (index < 0 || GetNode() == nullptr) return -1;
    AddShapeProperty(name);
    if (KDuzTakeNodeContainer* container = GetNodeContainer()) {
        for (int t = 0; t < container->GetTakeNodeCount(); ++t) {
            KDuzTakeNode* take = container->GetTakeNodeAt(t);
            KFCurveNode* root = take != nullptr ? take->GetCurveNode() : nullptr;
            KFCurveNode* channel = root != nullptr ? root->FindOrCreateChild(name, true) : nullptr;
            if (channel != nullptr && channel->GetCurve() == nullptr) channel->SetCurve(KFCurveCreate());
        }
    }
    return index;
}

void KDuzTrimNurbsSurface::ClearShape() {
    if (KDuzNurbsSurface* surface = GetNurbsSurface()) {
        surface->ClearShape();
    } else {
        GetError().SetLastError(eNoNurbsSurface);
    }
}

int KDuzTrimNurbsSurface::GetShapeCount() const {
    const KDuzNurbsSurface* surface = GetNurbsSurface();
    if (surface == nullptr) {
        const_cast<KDuzTrimNurbsSurface*>(this)->GetError().SetLastError(eNoNurbsSurface);
        return 0;
    }
    return surface->GetShapeCount();
}

KDuzShape* KDuzTrimNurbsSurface::GetShape(int index) {
    KDuzNurbsSurface* surface = GetNurbsSurface();
    if (surface == nullptr) {
        GetError().SetLastError(eNoNurbsSurface);
        return nullptr;
    }
    return surface->GetShape(index);
}

const char* KDuzTrimNurbsSurface::GetShapeName(int index) {
    KDuzNurbsSurface* surface = GetNurbsSurface();
    if (surface == nullptr) {
        GetError().SetLastError(eNoNurbsSurface);
        return nullptr;
    }
    return surface->GetShapeName(index);
}

KFCurve* KDuzTrimNurbsSurface::GetShapeChannel(KDuzTakeNode* takeNode, int index) {
    KDuzNurbsSurface* surface = GetNurbsSurface();
    if (surface == nullptr) {
        GetError().SetLastError(eNoNurbsSurface);
        return nullptr;
    }
    return surface->GetShapeChannel(takeNode, index);
}

// ---- surface and boundaries ----------------------------------------------------------------

void KDuzTrimNurbsSurface::SetNurbsSurface(KDuzNurbsSurface* surface) {
    DisconnectAllSrcObjects(KDuzNurbsSurface::ClassId());
    if (surface != nullptr) ConnectSrcObject(surface);
}

KDuzNurbsSurface* KDuzTrimNurbsSurface::GetNurbsSurface() const {
    return dynamic_cast<KDuzNurbsSurface*>(GetSrcObject(KDuzNurbsSurface::ClassId(), 0));
}

std::vector<KDuzBoundary*> KDuzTrimNurbsSurface::Boundaries() const {
    std::vector<KDuzBoundary*> boundaries;
    const int count = GetSrcObjectCount(KDuzBoundary::ClassId());
    boundaries.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        boundaries.push_back(dynamic_cast<KDuzBoundary*>(GetSrcObject(KDuzBoundary::ClassId(), i)));
    return boundaries;
}

int KDuzTrimNurbsSurface::GetBoundaryCount(int region) const {
    if (region < 0 || region >= GetRegionCount()) return -1;
    const size_t r = static_cast<size_t>(region);
    return region == 0 ? mRegionEnds[0] + 1 : mRegionEnds[r] - mRegionEnds[r - 1];
}

KDuzBoundary* KDuzTrimNurbsSurface::GetBoundary(int index, int region) const {
    // An index past its region would otherwise reach the next region.
    if (index < 0 || index >= GetBoundaryCount(region)) return nullptr;
    const int position = region > 0 ? index + mRegionEnds[static_cast<size_t>(region) - 1] + 1 : index;
    return dynamic_cast<KDuzBoundary*>(GetSrcObject(KDuzBoundary::ClassId(), position));
}

bool KDuzTrimNurbsSurface::AddBoundary(KDuzBoundary* boundary) {
    bool outer = false;
    if (boundary == nullptr || !ReadOuter(boundary, outer)) return false;
    if (!ConnectSrcObject(boundary)) return false;
    WriteOuter(boundary, mNewRegion);
    if (mNewRegion) {
        mRegionEnds.push_back(mRegionEnds.empty() ? -1 : mRegionEnds.back());
        mNewRegion = false;
    }
    ++mRegionEnds.back();
    return true;
}

void KDuzTrimNurbsSurface::ClearBoundaries() {
    // Every region's boundaries: clearing only the first would leave the
    // later ones connected behind a table that no longer describes them.
    std::vector<KDuzBoundary*> boundaries = Boundaries();
    for (auto it = boundaries.rbegin(); it != boundaries.rend(); ++it) {
        if (*it != nullptr) (*it)->Destroy(false, false);
    }
    mRegionEnds.clear();
    mNewRegion = true;
}

void KDuzTrimNurbsSurface::CopyBoundaries(const KDuzTrimNurbsSurface& other) {
    for (KDuzBoundary* boundary : other.Boundaries()) {
        bool outer = false;
        if (boundary == nullptr || !ReadOuter(boundary, outer)) continue;
        auto* clone = dynamic_cast<KDuzBoundary*>(boundary->Clone(2));
        if (clone == nullptr) continue;
        WriteOuter(clone, outer);
        if (!ConnectSrcObject(clone)) clone->Destroy(false, false);
    }
    RebuildRegions();
}

void KDuzTrimNurbsSurface::RebuildRegions() {
    mRegionEnds.clear();
    int position = 0;
    for (KDuzBoundary* boundary : Boundaries()) {
        bool outer = false;
        if (boundary != nullptr) ReadOuter(boundary, outer);
        if (position == 0) {
            mRegionEnds.push_back(0);
            if (!outer && boundary != nullptr) WriteOuter(boundary, true);
        } else if (outer) {
            mRegionEnds.push_back(mRegionEnds.back() + 1);
        } else {
            ++mRegionEnds.back();
        }
        ++position;
    }
}

bool KDuzTrimNurbsSurface::Copy(const KDuzTrimNurbsSurface& other) {
    if (&other == this) return true;
    ClearBoundaries();
    CopyBoundaries(other);
    SetNurbsSurface(other.GetNurbsSurface());
    mFlipNormals = other.mFlipNormals;
    // The other's table holds as long as every boundary could be cloned.
    if (GetSrcObjectCount(KDuzBoundary::ClassId()) == other.GetSrcObjectCount(KDuzBoundary::ClassId()))
        mRegionEnds = other.mRegionEnds;
    mNewRegion = true;
    // The shapes are those of the surface both now trim: copying them would
    // clear that surface's list through the forwarded operations and
    // destroy the shapes it holds.
    bool copied = KDuzGeometryBase::CopyFrom(other);
    copied = CopyDeformers(other) && copied;
    CopyPivot(other);
    return copied;
}

}  // namespace duzsdk
