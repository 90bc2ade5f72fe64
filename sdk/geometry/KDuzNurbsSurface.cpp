#include "sdk/geometry/KDuzNurbsSurface.h"

#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/KPlugType.h"

#include <new>
#include <vector>

namespace duzsdk {

namespace {

constexpr int kTypeNumber = PlugTypeNumberOf("KDuzNurbsSurface_internal");

}  // namespace

KPlugTypeInfo* KDuzNurbsSurface_internal::GetPlugTypeInfo() const {
    return PlugTypeInfoGetRecord(kTypeNumber);
}

int KDuzNurbsSurface_internal::GetStaticTypeNumber() const { return kTypeNumber; }

KDuzNurbsSurface::KDuzNurbsSurface(KDuzSdkManager* manager, const char* name)
    : KDuzNurbSurfaceBase(manager, name) {}

KDuzNurbsSurface::~KDuzNurbsSurface() = default;

KDuzNurbsSurface* KDuzNurbsSurface::Create(KDuzSdkManager* manager, const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<KDuzNurbsSurface*>(manager->CreateObject(ClassId(), name));
}

KDuzPlug* KDuzNurbsSurface::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* surface = new (std::nothrow) KDuzNurbsSurface(manager, name);
    if (surface != nullptr) surface->PostCreate();
    return surface;
}

KClassId KDuzNurbsSurface::ClassId() { return KDuzClassIdOf(eDuzClassNurbsSurface); }

KClassId KDuzNurbsSurface::GetClassId() const { return ClassId(); }

void KDuzNurbsSurface::PostCreate() {
    if (GetInternalObject() == nullptr) SetInternalObject(new KDuzNurbsSurface_internal(this));
    KDuzGeometry::PostCreate();
}

void KDuzNurbsSurface::DestroyContents(bool recursive, bool dependents) {
    Reset();
    KDuzGeometry::DestroyContents(recursive, dependents);
}

KDuzObject* KDuzNurbsSurface::Clone(int mode) {
    if (mode != 2) return nullptr;
    KDuzNurbsSurface* copy = Create(GetSdkManager(), GetName());
    if (copy != nullptr) copy->Copy(*this);
    return copy;
}

bool KDuzNurbsSurface::InitControlPoints(int uCount, int uType, int vCount, int vType) {
    return InitGrid(uCount, uType, vCount, vType);
}

void KDuzNurbsSurface::Reset() {
    ResetGrid();
    mFlipNormals = false;
}

bool KDuzNurbsSurface::Copy(const KDuzNurbsSurface& other) {
    if (&other == this) return true;
    Reset();
    if (!CopyGrid(other)) return false;
    mFlipNormals = other.mFlipNormals;

    // The curves in parameter space: this surface's go, clones of the
    // other's take their place (new nodes, owned by the manager).
    std::vector<KDuzObject*> nodes;
    for (int i = 0; KDuzObject* node = KDuzPlugGetSrcNode(this, i); ++i) nodes.push_back(node);
    for (KDuzObject* node : nodes) DisconnectSrcObject(node);
    for (int i = 0; KDuzObject* node = KDuzPlugGetSrcNode(&other, i); ++i) {
        KDuzObject* clone = node->Clone(2);
        if (clone != nullptr && !IsConnectedSrcObject(clone)) ConnectSrcObject(clone);
    }
    return KDuzGeometry::CopyFrom(other);
}

}  // namespace duzsdk
