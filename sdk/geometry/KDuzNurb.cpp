#include "sdk/geometry/KDuzNurb.h"

#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/KPlugType.h"

#include <climits>
#include <cstring>
#include <new>

namespace duzsdk {

namespace {

constexpr int kTypeNumber = PlugTypeNumberOf("KDuzNurb_internal");

}  // namespace

int KDuzNurbKnotCount(int type, int order, int count) {
    long long k = order;
    long long n = count;
    long long knots = type == eNurbPeriodic ? 2 * k + n - 1 : type == eNurbClosed ? k + n + 1 : k + n;
    return knots < INT_MIN || knots > INT_MAX ? -1 : static_cast<int>(knots);
}

template <typename T>
static bool SizeArray(KTypedArray<T>& array, int count) {
    array.Clear();
    if (count < 0) return false;
    // Requests the allocation hooks cannot satisfy fail there, not by wrapping.
    return count == 0 || array.SetCount(count);
}

bool KDuzNurbSizeArray(KTypedArray<double>& array, int count) { return SizeArray(array, count); }
bool KDuzNurbSizeArray(KTypedArray<int>& array, int count) { return SizeArray(array, count); }

KPlugTypeInfo* KDuzNurb_internal::GetPlugTypeInfo() const { return PlugTypeInfoGetRecord(kTypeNumber); }

int KDuzNurb_internal::GetStaticTypeNumber() const { return kTypeNumber; }

KDuzNurb::KDuzNurb(KDuzSdkManager* manager, const char* name) : KDuzGeometry(manager, name) {}

KDuzNurb::~KDuzNurb() = default;

KDuzNurb* KDuzNurb::Create(KDuzSdkManager* manager, const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<KDuzNurb*>(manager->CreateObject(ClassId(), name));
}

KDuzPlug* KDuzNurb::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* nurb = new (std::nothrow) KDuzNurb(manager, name);
    if (nurb != nullptr) nurb->PostCreate();
    return nurb;
}

KClassId KDuzNurb::ClassId() { return KDuzClassIdOf(eDuzClassNurb); }

KClassId KDuzNurb::GetClassId() const { return ClassId(); }

void KDuzNurb::PostCreate() {
    if (GetInternalObject() == nullptr) SetInternalObject(new KDuzNurb_internal(this));
    KDuzGeometry::PostCreate();
}

void KDuzNurb::DestroyContents(bool recursive, bool dependents) {
    Reset();
    KDuzGeometry::DestroyContents(recursive, dependents);
}

KDuzObject* KDuzNurb::Clone(int mode) {
    if (mode != 2) return nullptr;
    KDuzNurb* copy = Create(GetSdkManager(), GetName());
    if (copy != nullptr) copy->Copy(*this);
    return copy;
}

bool KDuzNurb::InitControlPoints(int uCount, int uType, int vCount, int vType) {
    const long long points = static_cast<long long>(uCount) * vCount;
    const int uKnots = KDuzNurbKnotCount(uType, mUOrder, uCount);
    const int vKnots = KDuzNurbKnotCount(vType, mVOrder, vCount);
    bool ok = uCount >= 0 && vCount >= 0 && points <= kMaxControlPoints && uKnots >= 0 && vKnots >= 0;
    if (ok) {
        mUCount = uCount;
        mVCount = vCount;
        mUType = uType;
        mVType = vType;
        ok = KDuzGeometryBase::InitControlPoints(static_cast<int>(points)) &&
             KDuzNurbSizeArray(mUKnots, uKnots) && KDuzNurbSizeArray(mVKnots, vKnots) &&
             KDuzNurbSizeArray(mUMultiplicity, uCount) && KDuzNurbSizeArray(mVMultiplicity, vCount);
    }
    if (!ok) {
        // Counts never outlive their arrays: a later writer walks them.
        mUCount = mVCount = 0;
        mUKnots.Clear();
        mVKnots.Clear();
        mUMultiplicity.Clear();
        mVMultiplicity.Clear();
        KDuzGeometryBase::InitControlPoints(0);
        GetError().SetLastError(eParameterOutOfRange);
        return false;
    }
    for (int& m : mUMultiplicity) m = 1;
    for (int& m : mVMultiplicity) m = 1;
    return true;
}

void KDuzNurb::Reset() {
    mUOrder = mVOrder = 0;
    mUCount = mVCount = 0;
    mUStep = mVStep = 0;
    mUType = mVType = eNurbOpen;
    mUKnots.Clear();
    mVKnots.Clear();
    mUMultiplicity.Clear();
    mVMultiplicity.Clear();
    mSurfaceDisplay = 4;
    mSwapUV = mSwapLinks = false;
}

bool KDuzNurb::Copy(const KDuzNurb& other) {
    if (&other == this) return true;
    Reset();
    mSwapUV = other.mSwapUV;
    mSwapLinks = other.mSwapLinks;
    mSurfaceDisplay = other.mSurfaceDisplay;
    SetOrder(other.mUOrder, other.mVOrder);
    SetStep(other.mUStep, other.mVStep);
    if (!InitControlPoints(other.mUCount, other.mUType, other.mVCount, other.mVType)) return false;
    // The other's arrays may be shorter than its counts say when its orders
    // changed after they were sized; copy what both hold.
    auto copy = [](auto& to, const auto& from) {
        const int n = to.Count() < from.Count() ? to.Count() : from.Count();
        if (n > 0) std::memcpy(to.Data(), from.Data(), sizeof(to[0]) * static_cast<size_t>(n));
    };
    copy(mUKnots, other.mUKnots);
    copy(mVKnots, other.mVKnots);
    copy(mUMultiplicity, other.mUMultiplicity);
    copy(mVMultiplicity, other.mVMultiplicity);
    return KDuzGeometry::CopyFrom(other);
}

}  // namespace duzsdk
