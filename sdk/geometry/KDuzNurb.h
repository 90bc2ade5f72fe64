// A NURBS surface in the form the tessellator and the older file format use:
// the shared grid of KDuzNurbSurfaceBase with a knot multiplicity per
// control point.
#pragma once

#include "sdk/geometry/KDuzNurbSurfaceBase.h"

namespace duzsdk {

class KDuzNurb_internal : public KDuzGeometry_internal {
public:
    explicit KDuzNurb_internal(KDuzObject* object) : KDuzGeometry_internal(object) {}
    KPlugTypeInfo* GetPlugTypeInfo() const override;
    int GetStaticTypeNumber() const override;
};

class KDuzNurb : public KDuzNurbSurfaceBase {
public:
    KDuzNurb(KDuzSdkManager* manager, const char* name);
    ~KDuzNurb() override;

    static KDuzNurb* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();

    KClassId GetClassId() const override;
    void PostCreate() override;
    // Resets the fields, then what every geometry owns.
    void DestroyContents(bool recursive, bool dependents) override;
    // Kind 2: a new NURB of the same name with this one's contents; else null.
    KDuzObject* Clone(int mode) override;
    KString GetTypeName() const override { return KString("Nurb"); }
    int GetAttributeType() const override { return eNurb; }

    // Sizes the control points to uCount x vCount, stores counts and types,
    // gives both knot vectors their new knot counts (zeroed) and both
    // multiplicity vectors uCount and vCount ones. A negative count, a grid
    // or knot vector that cannot be represented, or a failed allocation
    // leaves every count 0 and no arrays, sets error 0 and gives false.
    bool InitControlPoints(int uCount, int uType, int vCount, int vType);

    int* GetUMultiplicityVector() { return mUMultiplicity.Data(); }
    int* GetVMultiplicityVector() { return mVMultiplicity.Data(); }
    const int* GetUMultiplicityVector() const { return mUMultiplicity.Data(); }
    const int* GetVMultiplicityVector() const { return mVMultiplicity.Data(); }

    // Frees the arrays and restores the reset values.
    void Reset();
    // Flags, display mode, orders, steps, counts and types, knots,
    // multiplicities, then the geometry part.
    bool Copy(const KDuzNurb& other);

private:
    // Both multiplicity vectors as long as the counts, all ones.
    bool InitMultiplicities();

    KTypedArray<int> mUMultiplicity{16};
    KTypedArray<int> mVMultiplicity{16};
};

}  // namespace duzsdk
