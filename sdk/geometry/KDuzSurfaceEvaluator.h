// Tessellates a grid of control points into a regular grid of surface
// points with normals, sampled a fixed number of times per span. This class
// evaluates patches whose spans are polynomials of one fixed basis
// (Bezier, quadratic Bezier, cardinal, uniform B-spline, linear);
// KDuzNURBSurfaceEvaluator evaluates rational B-splines over knot vectors.
// The basis values of every sample are computed once per configuration;
// evaluating a grid, and every shape after it, only sums them against the
// control points.
#pragma once

#include "sdk/base/KDynamicArray.h"
#include "sdk/base/KgeTVector.h"

#include <vector>

namespace duzsdk {

class KSparseWeightMatrix;

class KDuzSurfaceEvaluator {
public:
    // A patch evaluator with the basis of each EPatchType.
    static KDuzSurfaceEvaluator* Create(int uType, int vType);
    virtual ~KDuzSurfaceEvaluator();
    KDuzSurfaceEvaluator(const KDuzSurfaceEvaluator&) = delete;
    KDuzSurfaceEvaluator& operator=(const KDuzSurfaceEvaluator&) = delete;

    // Writes GetUPointCount x GetVPointCount points and normals (U fastest)
    // into the outputs and, with a matrix, the weight of every control
    // point (side 0) in every output point (side 1). False, with nothing
    // written, when there is nothing to sample, an output is missing or
    // the tables cannot be built.
    bool Evaluate(KSparseWeightMatrix* weights = nullptr);

    void SetUClosed(int closed);
    void SetVClosed(int closed);
    // Samples per control-point interval; values below 1 count as 1.
    void SetUStep(int step);
    void SetVStep(int step);
    // Patch type of a direction (its basis, span size and advance); the
    // step becomes 4. Other values change nothing.
    void SetUType(int type);
    void SetVType(int type);
    // The cardinal basis with tension x (1 gives the Cardinal type's rows).
    void SetUCardinalTension(double tension);
    void SetVCardinalTension(double tension);

    // Edges collapsed to a point; tested again whenever the control points changed.
    bool IsUStartDegenerate();
    bool IsUEndDegenerate();
    bool IsVStartDegenerate();
    bool IsVEndDegenerate();

    void SetPointOutput(KgeTVector* points) { mPointOutput = points; }
    void SetNormalOutput(KgeTVector* normals) { mNormalOutput = normals; }
    // Output points per direction; 0 when the direction cannot be sampled
    // (too few control points, no span, no knots).
    int GetUPointCount();
    int GetVPointCount();

    // The grid, U fastest, not copied: it must outlive Evaluate. A new
    // grid of the same counts reuses the tables (shapes). Returns 0.
    int SetControlPoints(const KgeTVector* points, int uCount, int vCount);
    int GetControlPointUCount() const { return mU.count; }
    int GetControlPointVCount() const { return mV.count; }
    // Patch evaluators take no further data. The NURBS evaluator: 0 the
    // control-point weights, 1 and 2 the U and V knots, 5 scratch; count is
    // the number of doubles the array holds (-1: as many as needed).
    virtual void SetData(int kind, const double* data, int count = -1);

    // The tangents of the last evaluation, one per output point.
    const KgeTVector* GetUTangents() const { return mUTangents.Data(); }
    const KgeTVector* GetVTangents() const { return mVTangents.Data(); }

protected:
    KDuzSurfaceEvaluator();

    // The sampling of one direction: for every output sample along it, the
    // first control point of its window and the window's basis values and
    // derivatives (window values each).
    struct Direction {
        int closed = 0;
        int spanSize = 4;
        int step = 4;
        int advance = 1;
        int count = 0;        // control points
        int pointCount = -1;  // cached; -1 = to be computed
        double basis[4][4] = {};
        double tension = 0.0;
        int window = 0;
        std::vector<int> start;
        std::vector<double> values;
        std::vector<double> derivatives;

        // The control point at position i of the direction, wrapped when closed.
        int Wrap(int i) const { return i < count ? i : i - count * (i / count); }
    };

    // Output points of a direction; 0 when it cannot be sampled.
    virtual long long ComputePointCount(const Direction& d) const;
    // Fills start, values and derivatives of a direction.
    virtual bool BuildSamples(Direction& d);
    // The weight of a control point; 1 for patches.
    virtual double ControlPointWeight(int /*index*/) const { return 1.0; }
    // Whether points are divided by their weight sum.
    virtual bool IsRational() const { return false; }

    void MarkStale() { mTablesStale = true; }
    Direction& U() { return mU; }
    Direction& V() { return mV; }
    const Direction& U() const { return mU; }

private:
    static void SetType(Direction& d, int type);
    static void SetCardinal(Direction& d, double tension);
    int PointCount(Direction& d);
    bool BuildTables();
    void TestDegenerateEdges();
    void EvaluatePoints();
    void FixDegenerateNormals();
    void RecordWeights(KSparseWeightMatrix& weights);

    Direction mU;
    Direction mV;
    KgeTVector* mPointOutput = nullptr;
    KgeTVector* mNormalOutput = nullptr;
    const KgeTVector* mControlPoints = nullptr;
    KTypedArray<KgeTVector> mUTangents{256};
    KTypedArray<KgeTVector> mVTangents{256};
    bool mTablesStale = true;
    bool mControlPointsChanged = true;
    bool mUStartDegenerate = false;
    bool mUEndDegenerate = false;
    bool mVStartDegenerate = false;
    bool mVEndDegenerate = false;
};

}  // namespace duzsdk
