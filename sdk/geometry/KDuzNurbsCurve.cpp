#include "sdk/geometry/KDuzNurbsCurve.h"

#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/KPlugType.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <new>

namespace duzsdk {

namespace {

constexpr int kTypeNumber = PlugTypeNumberOf("KDuzNurbsCurve_internal");

}  // namespace

KPlugTypeInfo* KDuzNurbsCurve_internal::GetPlugTypeInfo() const { return PlugTypeInfoGetRecord(kTypeNumber); }

int KDuzNurbsCurve_internal::GetStaticTypeNumber() const { return kTypeNumber; }

KDuzNurbsCurve::KDuzNurbsCurve(KDuzSdkManager* manager, const char* name) : KDuzGeometry(manager, name) {}

KDuzNurbsCurve::~KDuzNurbsCurve() = default;

KDuzNurbsCurve* KDuzNurbsCurve::Create(KDuzSdkManager* manager, const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<KDuzNurbsCurve*>(manager->CreateObject(ClassId(), name));
}

KDuzPlug* KDuzNurbsCurve::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* curve = new (std::nothrow) KDuzNurbsCurve(manager, name);
    if (curve != nullptr) curve->PostCreate();
    return curve;
}

KClassId KDuzNurbsCurve::ClassId() { return KDuzClassIdOf(eDuzClassNurbsCurve); }

KClassId KDuzNurbsCurve::GetClassId() const { return ClassId(); }

void KDuzNurbsCurve::PostCreate() {
    if (GetInternalObject() == nullptr) SetInternalObject(new KDuzNurbsCurve_internal(this));
    KDuzGeometry::PostCreate();
}

void KDuzNurbsCurve::DestroyContents(bool recursive, bool dependents) {
    Reset();
    KDuzGeometry::DestroyContents(recursive, dependents);
}

KDuzObject* KDuzNurbsCurve::Clone(int mode) {
    if (mode != 2) return nullptr;
    KDuzNurbsCurve* copy = Create(GetSdkManager(), GetName());
    if (copy != nullptr) copy->Copy(*this);
    return copy;
}

long long KDuzNurbsCurve::KnotCount(int type, long long order, long long count) {
    return type == eNurbsCurvePeriodic ? count + 2 * order - 1 : type == eNurbsCurveClosed ? order + count + 1 : order + count;
}

int KDuzNurbsCurve::GetKnotCount() const {
    const long long knots = KnotCount(mType, mOrder, GetControlPointsCount());
    return knots < INT_MIN || knots > INT_MAX ? -1 : static_cast<int>(knots);
}

bool KDuzNurbsCurve::InitControlPoints(int count, int type) {
    mType = type;
    bool ok = count >= 0 && KDuzGeometryBase::InitControlPoints(count);
    const int knots = ok ? GetKnotCount() : -1;
    ok = ok && knots >= 0 && KDuzNurbSizeArray(mKnots, knots);
    if (!ok) {
        mKnots.Clear();
        KDuzGeometryBase::InitControlPoints(0);
        GetError().SetLastError(eParameterOutOfRange);
    }
    return ok;
}

bool KDuzNurbsCurve::IsRational() const {
    const KgeTVector* points = GetControlPoints();
    for (int i = 0; i < GetControlPointsCount(); ++i) {
        if (std::fabs(points[i][3] - 1.0) > 1e-6) return true;
    }
    return false;
}

void KDuzNurbsCurve::Reset() {
    mKnots.Clear();
    mOrder = -1;
}

bool KDuzNurbsCurve::Copy(const KDuzNurbsCurve& other) {
    if (&other == this) return true;
    Reset();
    mOrder = other.mOrder;
    mDimension = other.mDimension;
    if (!InitControlPoints(other.GetControlPointsCount(), other.mType)) return false;
    const int n = mKnots.Count() < other.mKnots.Count() ? mKnots.Count() : other.mKnots.Count();
    if (n > 0) std::memcpy(mKnots.Data(), other.mKnots.Data(), sizeof(double) * static_cast<size_t>(n));
    return KDuzGeometry::CopyFrom(other);
}

}  // namespace duzsdk
