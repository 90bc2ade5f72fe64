// A NURBS curve in space (dimension 3) or in a surface's (u, v) parameter
// space (dimension 2); its control points are the geometry's.
#pragma once

#include "sdk/geometry/KDuzNurb.h"

namespace duzsdk {

// Type of a NURBS curve; the order is the reverse of ENurbType's.
enum ENurbsCurveType : int {
    eNurbsCurveOpen = 0,
    eNurbsCurveClosed = 1,
    eNurbsCurvePeriodic = 2,
};

class KDuzNurbsCurve_internal : public KDuzGeometry_internal {
public:
    explicit KDuzNurbsCurve_internal(KDuzObject* object) : KDuzGeometry_internal(object) {}
    KPlugTypeInfo* GetPlugTypeInfo() const override;
    int GetStaticTypeNumber() const override;
};

class KDuzNurbsCurve : public KDuzGeometry {
public:
    KDuzNurbsCurve(KDuzSdkManager* manager, const char* name);
    ~KDuzNurbsCurve() override;

    static KDuzNurbsCurve* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();

    KClassId GetClassId() const override;
    void PostCreate() override;
    void DestroyContents(bool recursive, bool dependents) override;
    KDuzObject* Clone(int mode) override;
    KString GetTypeName() const override { return KString("NurbsCurve"); }
    int GetAttributeType() const override { return eNurbsCurve; }

    void SetOrder(int order) { mOrder = order; }
    int GetOrder() const { return mOrder; }
    void SetDimension(int dimension) { mDimension = dimension; }
    int GetDimension() const { return mDimension; }
    int GetCurveType() const { return mType; }
    // The file's "Rational" value, as read; writers use IsRational instead.
    void SetRationalFlag(bool flag) { mRational = flag; }
    bool GetRationalFlag() const { return mRational; }

    // Stores the type, sizes the control points and the knot vector
    // (zeroed). A negative or unrepresentable count leaves no points and no
    // knots, sets error 0 and gives false.
    bool InitControlPoints(int count, int type);
    // Periodic: n + 2k - 1, closed: k + n + 1, otherwise k + n.
    int GetKnotCount() const;
    // The same for a curve of that type, order and control point count,
    // without limits (readers check a file against it before sizing).
    static long long KnotCount(int type, long long order, long long count);
    double* GetKnotVector() { return mKnots.Data(); }
    const double* GetKnotVector() const { return mKnots.Data(); }
    int GetKnotArrayCount() const { return mKnots.Count(); }
    // True when a control point's weight differs from 1 by more than 1e-6.
    bool IsRational() const;

    // Frees the knots and sets the order to -1.
    void Reset();
    // Order, dimension, count and type, knots, then the geometry part (not
    // the rational flag).
    bool Copy(const KDuzNurbsCurve& other);

private:
    bool mRational = true;
    KTypedArray<double> mKnots{16};
    int mType = eNurbsCurveOpen;
    int mOrder = -1;
    int mDimension = 3;
};

}  // namespace duzsdk
