#include "sdk/geometry/KDuzBoundary.h"

#include "sdk/geometry/KDuzNurbsCurve.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/KPlugType.h"
#include "sdk/object/PropertyDataTypeMap.h"

#include <new>
#include <vector>

namespace duzsdk {

namespace {

constexpr int kTypeNumber = PlugTypeNumberOf("KDuzBoundary_internal");

}  // namespace

KPlugTypeInfo* KDuzBoundary_internal::GetPlugTypeInfo() const { return PlugTypeInfoGetRecord(kTypeNumber); }

int KDuzBoundary_internal::GetStaticTypeNumber() const { return kTypeNumber; }

KDuzBoundary::KDuzBoundary(KDuzSdkManager* manager, const char* name) : KDuzGeometry(manager, name) {}

KDuzBoundary::~KDuzBoundary() { mOuterBoundary.DestroyProperty(); }

KDuzBoundary* KDuzBoundary::Create(KDuzSdkManager* manager, const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<KDuzBoundary*>(manager->CreateObject(ClassId(), name));
}

KDuzPlug* KDuzBoundary::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* boundary = new (std::nothrow) KDuzBoundary(manager, name);
    if (boundary != nullptr) boundary->PostCreate();
    return boundary;
}

KClassId KDuzBoundary::ClassId() { return KDuzClassIdOf(eDuzClassBoundary); }

KClassId KDuzBoundary::GetClassId() const { return ClassId(); }

void KDuzBoundary::PostCreate() {
    if (GetInternalObject() == nullptr) SetInternalObject(new KDuzBoundary_internal(this));
    KDuzGeometry::PostCreate();
    if (!mOuterBoundary.IsValid()) {
        mOuterBoundary.InitOnOwner(this, kOuterBoundaryName, PropertyDataTypeFromName("Bool"), "");
        mOuterBoundary.Set(false);
    }
}

KDuzObject* KDuzBoundary::Clone(int mode) {
    if (mode != 2) return nullptr;
    KDuzBoundary* copy = Create(GetSdkManager(), GetName());
    if (copy != nullptr) copy->Copy(*this);
    return copy;
}

int KDuzBoundary::GetCurveCount(const KDuzBoundary* boundary) {
    return boundary != nullptr ? boundary->GetSrcObjectCount(KDuzNurbsCurve::ClassId()) : 0;
}

KDuzNurbsCurve* KDuzBoundary::GetCurve(const KDuzBoundary* boundary, int index) {
    if (boundary == nullptr) return nullptr;
    return dynamic_cast<KDuzNurbsCurve*>(boundary->GetSrcObject(KDuzNurbsCurve::ClassId(), index));
}

void KDuzBoundary::ClearCurves() {
    std::vector<KDuzObject*> curves;
    for (int i = 0; i < GetCurveCount(); ++i) curves.push_back(GetCurve(i));
    for (auto it = curves.rbegin(); it != curves.rend(); ++it) (*it)->Destroy(false, false);
}

void KDuzBoundary::CopyCurves(const KDuzBoundary& other) {
    for (int i = 0; i < other.GetCurveCount(); ++i) {
        KDuzObject* clone = other.GetCurve(i)->Clone(2);
        if (clone != nullptr) ConnectSrcObject(clone);
    }
}

bool KDuzBoundary::Copy(const KDuzBoundary& other) {
    if (&other == this) return true;
    ClearCurves();
    CopyCurves(other);
    return KDuzGeometry::CopyFrom(other);
}

}  // namespace duzsdk
