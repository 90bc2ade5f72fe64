// Evaluates rational B-spline surfaces over arbitrary knot vectors: the
// spans are the knot intervals longer than 1e-8, sampled step times each,
// with basis values and derivatives from the Cox-de Boor recursion. Orders
// 1 to 4 are evaluated; a direction of any other order has no points.
#pragma once

#include "sdk/geometry/KDuzSurfaceEvaluator.h"

namespace duzsdk {

class KDuzNURBSurfaceEvaluator : public KDuzSurfaceEvaluator {
public:
    static constexpr int kMaxOrder = 4;

    static KDuzNURBSurfaceEvaluator* Create(int uOrder, int vOrder);
    ~KDuzNURBSurfaceEvaluator() override;

    // 0 weights (one per control point), 1 U knots, 2 V knots, 3 and 4
    // kept but unused, 5 scratch (not needed: homogeneous points are formed
    // while summing). Knots are read only within count when it is given.
    void SetData(int kind, const double* data, int count = -1) override;

    // The basis function i of order p over the knots at t, and its
    // derivative; 0 where a knot it needs lies outside the vector.
    static double Basis(const double* knots, int knotCount, int i, int p, double t);
    static double BasisDerivative(const double* knots, int knotCount, int i, int p, double t);

protected:
    long long ComputePointCount(const Direction& d) const override;
    bool BuildSamples(Direction& d) override;
    double ControlPointWeight(int index) const override;
    bool IsRational() const override { return true; }

private:
    KDuzNURBSurfaceEvaluator() = default;

    struct Knots {
        const double* data = nullptr;
        int count = -1;
    };
    const Knots& KnotsOf(const Direction& d) const;
    // The knot indices of the direction's spans, in order.
    void CollectSpans(const Direction& d, std::vector<int>& spans) const;

    Knots mUKnots;
    Knots mVKnots;
    const double* mWeights = nullptr;
    int mWeightCount = -1;
    const double* mExtra[2] = {nullptr, nullptr};
};

}  // namespace duzsdk
