// A NURBS surface without knot multiplicities, with a flip-normals flag and
// with the curves drawn in its parameter space attached as source nodes
// (nodes carrying 2-dimensional NURBS curves).
#pragma once

#include "sdk/geometry/KDuzNurb.h"

namespace duzsdk {

class KDuzNurbsSurface_internal : public KDuzGeometry_internal {
public:
    explicit KDuzNurbsSurface_internal(KDuzObject* object) : KDuzGeometry_internal(object) {}
    KPlugTypeInfo* GetPlugTypeInfo() const override;
    int GetStaticTypeNumber() const override;
};

class KDuzNurbsSurface : public KDuzGeometry {
public:
    KDuzNurbsSurface(KDuzSdkManager* manager, const char* name);
    ~KDuzNurbsSurface() override;

    static KDuzNurbsSurface* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();

    KClassId GetClassId() const override;
    void PostCreate() override;
    void DestroyContents(bool recursive, bool dependents) override;
    KDuzObject* Clone(int mode) override;
    KString GetTypeName() const override { return KString("NurbsSurface"); }
    int GetAttributeType() const override { return eNurbsSurface; }

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

    // As KDuzNurb::InitControlPoints, without multiplicities.
    bool InitControlPoints(int uCount, int uType, int vCount, int vType);

    int GetUKnotCount() const { return KDuzNurbKnotCount(mUType, mUOrder, mUCount); }
    int GetVKnotCount() const { return KDuzNurbKnotCount(mVType, mVOrder, mVCount); }
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
    void SetFlipNormals(bool flag) { mFlipNormals = flag; }
    bool GetFlipNormals() const { return mFlipNormals; }

    void Reset();
    // Flags, display mode, orders, steps, counts and types, knots, the
    // flip-normals flag; this surface's curve nodes are disconnected and a
    // clone of each of the other's connected instead; then the geometry part.
    bool Copy(const KDuzNurbsSurface& other);

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
    bool mFlipNormals = false;
};

}  // namespace duzsdk
