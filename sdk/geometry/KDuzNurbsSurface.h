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

class KDuzNurbsSurface : public KDuzNurbSurfaceBase {
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

    // As KDuzNurb::InitControlPoints, without multiplicities.
    bool InitControlPoints(int uCount, int uType, int vCount, int vType);

    void SetFlipNormals(bool flag) { mFlipNormals = flag; }
    bool GetFlipNormals() const { return mFlipNormals; }

    void Reset();
    // Flags, display mode, orders, steps, counts and types, knots, the
    // flip-normals flag; this surface's curve nodes are disconnected and a
    // clone of each of the other's connected instead; then the geometry part.
    bool Copy(const KDuzNurbsSurface& other);

private:
    bool mFlipNormals = false;
};

}  // namespace duzsdk
