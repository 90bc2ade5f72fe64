// A grid of control points interpreted span by span through a patch basis
// (Bezier, quadratic Bezier, cardinal, uniform B-spline or linear). A patch
// has no knots.
#pragma once

#include "sdk/geometry/KDuzGeometry.h"

namespace duzsdk {

// U and V type of a patch; the quoted words are their file forms.
enum EPatchType : int {
    ePatchBezier = 0,          // "Bezier"
    ePatchBezierQuadric = 1,   // "BezierQuadric"
    ePatchCardinal = 2,        // "Cardinal"
    ePatchBSpline = 3,         // "BSpline"
    ePatchLinear = 4,          // "Linear"
};

class KDuzPatch_internal : public KDuzGeometry_internal {
public:
    explicit KDuzPatch_internal(KDuzObject* object) : KDuzGeometry_internal(object) {}
    KPlugTypeInfo* GetPlugTypeInfo() const override;
    int GetStaticTypeNumber() const override;
};

class KDuzPatch : public KDuzGeometry {
public:
    KDuzPatch(KDuzSdkManager* manager, const char* name);
    ~KDuzPatch() override;

    static KDuzPatch* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();

    KClassId GetClassId() const override;
    void PostCreate() override;
    void DestroyContents(bool recursive, bool dependents) override;
    KDuzObject* Clone(int mode) override;
    KString GetTypeName() const override { return KString("Patch"); }
    int GetAttributeType() const override { return ePatch; }

    // Stores counts and types and sizes the control points to uCount x
    // vCount; a negative or unrepresentable grid leaves counts 0, sets
    // error 0 and gives false.
    bool InitControlPoints(int uCount, int uType, int vCount, int vType);
    int GetUCount() const { return mUCount; }
    int GetVCount() const { return mVCount; }
    int GetPatchUType() const { return mUType; }
    int GetPatchVType() const { return mVType; }
    void SetStep(int u, int v) { mUStep = u; mVStep = v; }
    int GetUStep() const { return mUStep; }
    int GetVStep() const { return mVStep; }
    void SetClosed(bool u, bool v) { mUClosed = u; mVClosed = v; }
    bool GetUClosed() const { return mUClosed; }
    bool GetVClosed() const { return mVClosed; }
    void SetUCapped(bool bottom, bool top) { mUCapped[0] = bottom; mUCapped[1] = top; }
    bool GetUCappedBottom() const { return mUCapped[0]; }
    bool GetUCappedTop() const { return mUCapped[1]; }
    void SetVCapped(bool bottom, bool top) { mVCapped[0] = bottom; mVCapped[1] = top; }
    bool GetVCappedBottom() const { return mVCapped[0]; }
    bool GetVCappedTop() const { return mVCapped[1]; }
    void SetSurfaceDisplay(int mode) { mSurfaceDisplay = mode; }
    int GetSurfaceDisplay() const { return mSurfaceDisplay; }

    void Reset();
    // Display mode, steps, closed and cap pairs, counts and types, then the
    // geometry part.
    bool Copy(const KDuzPatch& other);

private:
    int mUType = ePatchLinear;
    int mVType = ePatchLinear;
    int mUCount = 0;
    int mVCount = 0;
    int mUStep = 0;
    int mVStep = 0;
    bool mUClosed = false;
    bool mVClosed = false;
    bool mUCapped[2] = {false, false};
    bool mVCapped[2] = {false, false};
    int mSurfaceDisplay = 4;
};

}  // namespace duzsdk
