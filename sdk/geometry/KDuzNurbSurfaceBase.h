// What the two NURBS surface classes share: orders, control-point counts,
// types and knot vectors per direction, tessellation steps, display mode and
// the swap flags. The control points are the geometry's, U fastest, their
// fourth component the weight.
#pragma once

#include "sdk/base/KDynamicArray.h"
#include "sdk/geometry/KDuzGeometry.h"

namespace duzsdk {

// U and V type of NURBS surfaces; the quoted words are their file forms.
enum ENurbType : int {
    eNurbPeriodic = 0,   // "Periodic"
    eNurbClosed = 1,     // "Closed"
    eNurbOpen = 2,       // "Open"
};

// Knots of one surface direction of order k with n control points:
// periodic 2k + n - 1, closed k + n + 1, open (and any other type) k + n.
// -1 when the count cannot be represented.
int KDuzNurbKnotCount(int type, int order, int count);

// Growable owned arrays of the NURBS classes, zero-filled on sizing so that
// a writer never sees unset knots.
bool KDuzNurbSizeArray(KTypedArray<double>& array, int count);
bool KDuzNurbSizeArray(KTypedArray<int>& array, int count);

class KDuzNurbSurfaceBase : public KDuzGeometry {
public:
    void SetOrder(int u, int v) { mUOrder = u; mVOrder = v; }
    int GetUOrder() const { return mUOrder; }
    int GetVOrder() const { return mVOrder; }
    void SetStep(int u, int v) { mUStep = u; mVStep = v; }
    int GetUStep() const { return mUStep; }
    int GetVStep() const { return mVStep; }
    int GetUCount() const { return mUCount; }
    int GetVCount() const { return mVCount; }
    int GetNurbUType() const { return mUType; }
    int GetNurbVType() const { return mVType; }

    int GetUKnotCount() const { return KDuzNurbKnotCount(mUType, mUOrder, mUCount); }
    int GetVKnotCount() const { return KDuzNurbKnotCount(mVType, mVOrder, mVCount); }
    // The knot arrays as allocated by InitControlPoints (null before);
    // their lengths are the knot counts of that moment.
    double* GetUKnotVector() { return mUKnots.Data(); }
    double* GetVKnotVector() { return mVKnots.Data(); }
    const double* GetUKnotVector() const { return mUKnots.Data(); }
    const double* GetVKnotVector() const { return mVKnots.Data(); }
    int GetUKnotArrayCount() const { return mUKnots.Count(); }
    int GetVKnotArrayCount() const { return mVKnots.Count(); }

    void SetSurfaceDisplay(int mode) { mSurfaceDisplay = mode; }
    int GetSurfaceDisplay() const { return mSurfaceDisplay; }
    void SetSwapUVFlag(bool flag) { mSwapUV = flag; }
    bool GetSwapUVFlag() const { return mSwapUV; }
    void SetSwapLinksFlag(bool flag) { mSwapLinks = flag; }
    bool GetSwapLinksFlag() const { return mSwapLinks; }

protected:
    using KDuzGeometry::KDuzGeometry;

    // Sizes the control points to uCount x vCount, stores counts and types
    // and gives both knot vectors their new knot counts (zeroed). A negative
    // count, a grid or knot vector that cannot be represented, or a failed
    // allocation leaves every count 0 and no arrays, sets error 0 and gives
    // false.
    bool InitGrid(int uCount, int uType, int vCount, int vType);
    // Leaves every count 0 and no arrays, sets error 0.
    void FailGrid();
    // Frees the arrays and restores the reset values.
    void ResetGrid();
    // Flags, display mode, orders, steps, counts, types and knots (as far as
    // both knot arrays reach: the other's may be shorter than its counts say
    // when its orders changed after they were sized). False when the grid
    // cannot be sized.
    bool CopyGrid(const KDuzNurbSurfaceBase& other);
    // The part of an array both hold.
    template <typename T>
    static void CopyCommonPart(KTypedArray<T>& to, const KTypedArray<T>& from) {
        const int n = to.Count() < from.Count() ? to.Count() : from.Count();
        for (int i = 0; i < n; ++i) to[i] = from[i];
    }

private:
    int mUOrder = 0;
    int mVOrder = 0;
    int mUCount = 0;
    int mVCount = 0;
    int mUStep = 0;
    int mVStep = 0;
    int mUType = eNurbOpen;
    int mVType = eNurbOpen;
    KTypedArray<double> mUKnots{16};
    KTypedArray<double> mVKnots{16};
    int mSurfaceDisplay = 4;
    bool mSwapUV = false;
    bool mSwapLinks = false;
};

}  // namespace duzsdk
