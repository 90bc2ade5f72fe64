#include "sdk/geometry/KDuzNurbSurfaceBase.h"

#include <climits>

namespace duzsdk {

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

bool KDuzNurbSurfaceBase::InitGrid(int uCount, int uType, int vCount, int vType) {
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
             KDuzNurbSizeArray(mUKnots, uKnots) && KDuzNurbSizeArray(mVKnots, vKnots);
    }
    if (!ok) FailGrid();
    return ok;
}

void KDuzNurbSurfaceBase::FailGrid() {
    // Counts never outlive their arrays: a later writer walks them.
    mUCount = mVCount = 0;
    mUKnots.Clear();
    mVKnots.Clear();
    KDuzGeometryBase::InitControlPoints(0);
    GetError().SetLastError(eParameterOutOfRange);
}

void KDuzNurbSurfaceBase::ResetGrid() {
    mUOrder = mVOrder = 0;
    mUCount = mVCount = 0;
    mUStep = mVStep = 0;
    mUType = mVType = eNurbOpen;
    mUKnots.Clear();
    mVKnots.Clear();
    mSurfaceDisplay = 4;
    mSwapUV = mSwapLinks = false;
}

bool KDuzNurbSurfaceBase::CopyGrid(const KDuzNurbSurfaceBase& other) {
    mSwapUV = other.mSwapUV;
    mSwapLinks = other.mSwapLinks;
    mSurfaceDisplay = other.mSurfaceDisplay;
    SetOrder(other.mUOrder, other.mVOrder);
    SetStep(other.mUStep, other.mVStep);
    if (!InitGrid(other.mUCount, other.mUType, other.mVCount, other.mVType)) return false;
    CopyCommonPart(mUKnots, other.mUKnots);
    CopyCommonPart(mVKnots, other.mVKnots);
    return true;
}

}  // namespace duzsdk
