// One closed loop in a NURBS surface's parameter space, made of the NURBS
// curves connected to it as sources, in connection order. Its
// "OuterBoundary" property tells whether it opens a trimmed region.
#pragma once

#include "sdk/geometry/KDuzGeometry.h"
#include "sdk/object/KDuzProperty.h"

namespace duzsdk {

class KDuzNurbsCurve;

class KDuzBoundary_internal : public KDuzGeometry_internal {
public:
    explicit KDuzBoundary_internal(KDuzObject* object) : KDuzGeometry_internal(object) {}
    KPlugTypeInfo* GetPlugTypeInfo() const override;
    int GetStaticTypeNumber() const override;
};

class KDuzBoundary : public KDuzGeometry {
public:
    KDuzBoundary(KDuzSdkManager* manager, const char* name);
    ~KDuzBoundary() override;

    static KDuzBoundary* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();

    KClassId GetClassId() const override;
    void PostCreate() override;
    // Kind 2: a new boundary of the same name, copied; else null.
    KDuzObject* Clone(int mode) override;
    KString GetTypeName() const override { return KString("Boundary"); }
    int GetAttributeType() const override { return eBoundary; }

    // Both accept a null boundary (0 and null).
    static int GetCurveCount(const KDuzBoundary* boundary);
    static KDuzNurbsCurve* GetCurve(const KDuzBoundary* boundary, int index);
    int GetCurveCount() const { return GetCurveCount(this); }
    KDuzNurbsCurve* GetCurve(int index) const { return GetCurve(this, index); }
    // Destroys every connected curve, last first.
    void ClearCurves();
    // Connects a clone of each of the other's curves.
    void CopyCurves(const KDuzBoundary& other);
    // Unless other is this: its curves, then the geometry part.
    bool Copy(const KDuzBoundary& other);

    static constexpr const char* kOuterBoundaryName = "OuterBoundary";
    KDuzTypedProperty<bool>& OuterBoundary() { return mOuterBoundary; }

private:
    KDuzTypedProperty<bool> mOuterBoundary;
};

}  // namespace duzsdk
