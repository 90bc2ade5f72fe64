#include "sdk/geometry/KDuzNURBSurfaceEvaluator.h"
#include "sdk/geometry/KDuzPatch.h"
#include "sdk/geometry/KDuzSurfaceEvaluator.h"
#include "sdk/geometry/KSparseWeightMatrix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <vector>

namespace duzsdk {
namespace {

// Closed-form comparisons: every value is a short sum of exact products.
constexpr double kTolerance = 1e-9;

using Grid = std::vector<KgeTVector>;
using SurfaceFn = std::function<KgeTVector(double u, double v)>;

struct Output {
    std::vector<KgeTVector> points;
    std::vector<KgeTVector> normals;
    int nu = 0;
    int nv = 0;
};

Output Evaluated(KDuzSurfaceEvaluator& evaluator, const Grid& grid, int uCount, int vCount,
           KSparseWeightMatrix* weights = nullptr) {
    Output out;
    evaluator.SetControlPoints(grid.data(), uCount, vCount);
    out.nu = evaluator.GetUPointCount();
    out.nv = evaluator.GetVPointCount();
    out.points.resize(static_cast<size_t>(out.nu * out.nv));
    out.normals.resize(out.points.size());
    evaluator.SetPointOutput(out.points.data());
    evaluator.SetNormalOutput(out.normals.data());
    EXPECT_EQ(evaluator.Evaluate(weights), !out.points.empty());
    return out;
}

KgeTVector Cross(const KgeTVector& a, const KgeTVector& b) {
    return KgeTVector(a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0], 0);
}

KgeTVector Unit(const KgeTVector& a) {
    const double length = std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
    return KgeTVector(a[0] / length, a[1] / length, a[2] / length, 0);
}

// Points against the closed form at the sample parameters; normals against
// the direction of dP/dv x dP/du there (the evaluator does not normalise).
void ExpectSurface(const Output& out, const SurfaceFn& surface, const std::function<double(int)>& uParam,
                   const std::function<double(int)>& vParam) {
    const double h = 1e-6;
    for (int j = 0; j < out.nv; ++j) {
        for (int i = 0; i < out.nu; ++i) {
            SCOPED_TRACE(testing::Message() << "sample " << i << ", " << j);
            const double u = uParam(i);
            const double v = vParam(j);
            const KgeTVector expected = surface(u, v);
            const KgeTVector& point = out.points[static_cast<size_t>(j * out.nu + i)];
            for (int c = 0; c < 3; ++c) EXPECT_NEAR(point[c], expected[c], kTolerance);
            // Central differences only fix the direction, so a looser bound.
            const KgeTVector du = (surface(u + h, v) - surface(u - h, v)) / (2 * h);
            const KgeTVector dv = (surface(u, v + h) - surface(u, v - h)) / (2 * h);
            const KgeTVector want = Unit(Cross(dv, du));
            const KgeTVector got = Unit(out.normals[static_cast<size_t>(j * out.nu + i)]);
            for (int c = 0; c < 3; ++c) EXPECT_NEAR(got[c], want[c], 1e-6);
        }
    }
}

double Bernstein3(int i, double t) {
    const double s = 1 - t;
    const double values[4] = {s * s * s, 3 * t * s * s, 3 * t * t * s, t * t * t};
    return values[i];
}

// A non-planar 4 x 4 grid.
Grid BezierGrid() {
    Grid grid;
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 4; ++i) grid.emplace_back(i, j, std::sin(i + 2.0 * j) + 0.25 * i * j, 1);
    return grid;
}

KgeTVector BezierSurface(const Grid& grid, double u, double v) {
    KgeTVector sum(0, 0, 0, 0);
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 4; ++i) sum += grid[static_cast<size_t>(j * 4 + i)] * (Bernstein3(i, u) * Bernstein3(j, v));
    sum[3] = 1;
    return sum;
}

TEST(SurfaceEvaluatorTest, PointCountsFollowSpansStepsAndClosure) {
    struct Case {
        const char* name;
        int type;
        int count;
        int closed;
        int step;
        int points;
    };
    const Case cases[] = {
        {"Bezier 4 open step 4", ePatchBezier, 4, 0, 4, 13},
        {"Bezier 7 open step 2", ePatchBezier, 7, 0, 2, 13},
        {"Bezier 4 closed step 4", ePatchBezier, 4, 1, 4, 48},
        {"BezierQuadric 5 open step 1", ePatchBezierQuadric, 5, 0, 1, 5},
        {"BSpline 6 open step 2", ePatchBSpline, 6, 0, 2, 7},
        {"BSpline 6 closed step 2", ePatchBSpline, 6, 1, 2, 12},
        {"Linear 3 open step 3", ePatchLinear, 3, 0, 3, 7},
        {"BSpline 3 open (under a span)", ePatchBSpline, 3, 0, 4, 0},
        {"Bezier 2 open (under a span)", ePatchBezier, 2, 0, 4, 0},
        {"step 0 counts as 1", ePatchLinear, 3, 0, 0, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<KDuzSurfaceEvaluator> evaluator(KDuzSurfaceEvaluator::Create(c.type, ePatchLinear));
        evaluator->SetUClosed(c.closed);
        evaluator->SetUStep(c.step);
        Grid grid(static_cast<size_t>(c.count * 2), KgeTVector(0, 0, 0, 1));
        evaluator->SetControlPoints(grid.data(), c.count, 2);
        EXPECT_EQ(evaluator->GetUPointCount(), c.points);
    }
}

TEST(SurfaceEvaluatorTest, NurbsPointCountsSkipEmptySpans) {
    struct Case {
        const char* name;
        int order;
        std::vector<double> knots;
        int count;
        int step;
        int points;
    };
    const Case cases[] = {
        {"two spans", 4, {0, 0, 0, 0, 1, 2, 2, 2, 2}, 5, 3, 7},
        {"repeated interior knot", 4, {0, 0, 0, 0, 1, 1, 2, 2, 2, 2}, 6, 3, 7},
        {"no span at all", 4, {1, 1, 1, 1, 1, 1, 1, 1}, 4, 3, 0},
        {"order above four", 5, {0, 0, 0, 0, 0, 1, 1, 1, 1, 1}, 5, 3, 0},
        {"order zero", 0, {0, 1, 2}, 3, 3, 0},
        {"knot vector shorter than needed", 4, {0, 0, 0, 0, 1}, 5, 3, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<KDuzSurfaceEvaluator> evaluator(KDuzNURBSurfaceEvaluator::Create(c.order, 2));
        evaluator->SetUStep(c.step);
        Grid grid(static_cast<size_t>(c.count * 2), KgeTVector(0, 0, 0, 1));
        evaluator->SetControlPoints(grid.data(), c.count, 2);
        evaluator->SetData(1, c.knots.data(), static_cast<int>(c.knots.size()));
        EXPECT_EQ(evaluator->GetUPointCount(), c.points);
    }
}

TEST(SurfaceEvaluatorTest, BilinearPatchMatchesClosedForm) {
    const Grid grid = {KgeTVector(0, 0, 0, 1), KgeTVector(2, 0, 1, 1), KgeTVector(0, 3, -1, 1),
                       KgeTVector(2, 3, 4, 1)};
    std::unique_ptr<KDuzSurfaceEvaluator> evaluator(KDuzSurfaceEvaluator::Create(ePatchLinear, ePatchLinear));
    evaluator->SetUStep(5);
    evaluator->SetVStep(3);
    const Output out = Evaluated(*evaluator, grid, 2, 2);
    ASSERT_EQ(out.nu, 6);
    ASSERT_EQ(out.nv, 4);
    const SurfaceFn bilinear = [&](double u, double v) {
        return grid[0] * ((1 - u) * (1 - v)) + grid[1] * (u * (1 - v)) + grid[2] * ((1 - u) * v) + grid[3] * (u * v);
    };
    ExpectSurface(out, bilinear, [](int i) { return i / 5.0; }, [](int j) { return j / 3.0; });
}

TEST(SurfaceEvaluatorTest, CubicBezierPatchMatchesBernsteinForm) {
    const Grid grid = BezierGrid();
    std::unique_ptr<KDuzSurfaceEvaluator> evaluator(KDuzSurfaceEvaluator::Create(ePatchBezier, ePatchBezier));
    const Output out = Evaluated(*evaluator, grid, 4, 4);
    ASSERT_EQ(out.nu, 13);
    ASSERT_EQ(out.nv, 13);
    const auto param = [](int i) { return i / 12.0; };
    ExpectSurface(out, [&](double u, double v) { return BezierSurface(grid, u, v); }, param, param);
}

TEST(SurfaceEvaluatorTest, NurbsWithBezierKnotsMatchesBernsteinForm) {
    const Grid grid = BezierGrid();
    const double knots[] = {0, 0, 0, 0, 1, 1, 1, 1};
    std::vector<double> weights(16, 1.0);
    std::unique_ptr<KDuzSurfaceEvaluator> evaluator(KDuzNURBSurfaceEvaluator::Create(4, 4));
    evaluator->SetUStep(5);
    evaluator->SetVStep(3);
    evaluator->SetData(1, knots, 8);
    evaluator->SetData(2, knots, 8);
    evaluator->SetData(0, weights.data(), 16);
    const Output out = Evaluated(*evaluator, grid, 4, 4);
    ASSERT_EQ(out.nu, 6);
    ASSERT_EQ(out.nv, 4);
    // The samples are t_i + j (t_i+1 - t_i) / (step + 1e-8).
    ExpectSurface(out, [&](double u, double v) { return BezierSurface(grid, u, v); },
                  [](int i) { return i / (5 + 1e-8); }, [](int j) { return j / (3 + 1e-8); });
}

TEST(SurfaceEvaluatorTest, RationalQuarterCylinderLiesOnTheCircle) {
    // U: the quadratic rational quarter circle; V: a line of height 2.
    const double w = std::sqrt(0.5);
    Grid grid;
    for (double z : {0.0, 2.0}) {
        grid.emplace_back(1, 0, z, 1);
        grid.emplace_back(1, 1, z, w);
        grid.emplace_back(0, 1, z, 1);
    }
    std::vector<double> weights;
    for (const KgeTVector& p : grid) weights.push_back(p[3]);
    const double uKnots[] = {0, 0, 0, 1, 1, 1};
    const double vKnots[] = {0, 0, 1, 1};
    std::unique_ptr<KDuzSurfaceEvaluator> evaluator(KDuzNURBSurfaceEvaluator::Create(3, 2));
    evaluator->SetUStep(8);
    evaluator->SetVStep(2);
    evaluator->SetData(1, uKnots, 6);
    evaluator->SetData(2, vKnots, 4);
    evaluator->SetData(0, weights.data(), 6);
    const Output out = Evaluated(*evaluator, grid, 3, 2);
    ASSERT_EQ(out.nu, 9);
    ASSERT_EQ(out.nv, 3);
    // Every point of the exact rational quarter lies on the unit circle at
    // the height of its V sample; without the weights it would not.
    for (int j = 0; j < out.nv; ++j) {
        for (int i = 0; i < out.nu; ++i) {
            SCOPED_TRACE(testing::Message() << i << ", " << j);
            const KgeTVector& p = out.points[static_cast<size_t>(j * out.nu + i)];
            EXPECT_NEAR(p[0] * p[0] + p[1] * p[1], 1.0, kTolerance);
            EXPECT_NEAR(p[2], 2.0 * j / (2 + 1e-8), kTolerance);
            EXPECT_GE(p[0], -kTolerance);
            EXPECT_GE(p[1], -kTolerance);
            // Normals of a cylinder are radial.
            const KgeTVector n = Unit(out.normals[static_cast<size_t>(j * out.nu + i)]);
            EXPECT_NEAR(std::fabs(n[0] * p[0] + n[1] * p[1]), 1.0, 1e-9);
            EXPECT_NEAR(n[2], 0.0, 1e-9);
        }
    }
    const KgeTVector& first = out.points[0];
    EXPECT_NEAR(first[0], 1.0, kTolerance);
    EXPECT_NEAR(first[1], 0.0, kTolerance);
    // The end sample sits 1e-8 of a span before the end knot.
    const KgeTVector& last = out.points[static_cast<size_t>(out.nu - 1)];
    EXPECT_NEAR(last[0], 0.0, 1e-7);
    EXPECT_NEAR(last[1], 1.0, kTolerance);
}

TEST(SurfaceEvaluatorTest, CardinalTensionOneIsTheCardinalBasisAndOtherTensionsDiffer) {
    Grid grid;
    for (int j = 0; j < 5; ++j)
        for (int i = 0; i < 5; ++i) grid.emplace_back(i, j, std::cos(i * 1.3 + j), 1);
    std::unique_ptr<KDuzSurfaceEvaluator> typed(KDuzSurfaceEvaluator::Create(ePatchCardinal, ePatchCardinal));
    std::unique_ptr<KDuzSurfaceEvaluator> tension(KDuzSurfaceEvaluator::Create(ePatchLinear, ePatchLinear));
    tension->SetUCardinalTension(1.0);
    tension->SetVCardinalTension(1.0);
    tension->SetUStep(4);
    tension->SetVStep(4);
    const Output a = Evaluated(*typed, grid, 5, 5);
    const Output b = Evaluated(*tension, grid, 5, 5);
    ASSERT_EQ(a.points.size(), b.points.size());
    for (size_t i = 0; i < a.points.size(); ++i)
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(a.points[i][c], b.points[i][c], 1e-12);
    // A cardinal spline passes through its inner control points at span starts.
    EXPECT_NEAR(a.points[0][2], grid[6][2], kTolerance);
    tension->SetUCardinalTension(0.5);
    const Output c = Evaluated(*tension, grid, 5, 5);
    EXPECT_GT(std::fabs(c.points[2][2] - a.points[2][2]), 1e-6);
}

TEST(SurfaceEvaluatorTest, ClosedDirectionsWrapAndClosedBezierFillsEveryPoint) {
    // A closed uniform B-spline ring of 8 points on the unit circle gives a
    // ring of points at one radius per sample phase; every output is written.
    Grid grid;
    for (double z : {0.0, 1.0})
        for (int i = 0; i < 8; ++i) grid.emplace_back(std::cos(i * M_PI / 4), std::sin(i * M_PI / 4), z, 1);
    std::unique_ptr<KDuzSurfaceEvaluator> bspline(KDuzSurfaceEvaluator::Create(ePatchBSpline, ePatchLinear));
    bspline->SetUClosed(1);
    bspline->SetUStep(2);
    const Output ring = Evaluated(*bspline, grid, 8, 2);
    ASSERT_EQ(ring.nu, 16);
    const double r0 = std::hypot(ring.points[0][0], ring.points[0][1]);
    for (int i = 0; i < ring.nu; i += 2)
        EXPECT_NEAR(std::hypot(ring.points[static_cast<size_t>(i)][0], ring.points[static_cast<size_t>(i)][1]), r0, 1e-12);

    // Closed Bezier: more outputs than control points times steps.
    std::unique_ptr<KDuzSurfaceEvaluator> bezier(KDuzSurfaceEvaluator::Create(ePatchBezier, ePatchBezier));
    bezier->SetUClosed(1);
    bezier->SetVClosed(1);
    const Grid patch = BezierGrid();
    const Output out = Evaluated(*bezier, patch, 4, 4);
    ASSERT_EQ(out.nu, 48);
    ASSERT_EQ(out.nv, 48);
    EXPECT_EQ(out.points[47 * 48 + 47][3], 1.0);
}

TEST(SurfaceEvaluatorTest, CollapsedFirstRowGivesOneNormalAlongThatEdge) {
    Grid grid = BezierGrid();
    for (int i = 0; i < 4; ++i) grid[static_cast<size_t>(i)] = KgeTVector(1, -1, 0.5, 1);
    std::unique_ptr<KDuzSurfaceEvaluator> evaluator(KDuzSurfaceEvaluator::Create(ePatchBezier, ePatchBezier));
    const Output out = Evaluated(*evaluator, grid, 4, 4);
    EXPECT_TRUE(evaluator->IsVStartDegenerate());
    EXPECT_FALSE(evaluator->IsVEndDegenerate());
    EXPECT_FALSE(evaluator->IsUStartDegenerate());
    const KgeTVector& n0 = out.normals[0];
    EXPECT_GT(std::fabs(n0[0]) + std::fabs(n0[1]) + std::fabs(n0[2]), 1e-6);
    for (int i = 1; i < out.nu; ++i) {
        for (int c = 0; c < 3; ++c) EXPECT_EQ(out.normals[static_cast<size_t>(i)][c], n0[c]);
    }
}

TEST(SurfaceEvaluatorTest, RecordedWeightsRebuildEveryOutputPoint) {
    // Patch weights sum the control points directly; NURBS weights carry the
    // control-point weight and are divided by their sum by the caller.
    struct Case {
        const char* name;
        bool nurbs;
        int type;
    };
    const Case cases[] = {{"Bezier", false, ePatchBezier}, {"Linear over 4 x 4", false, ePatchLinear},
                          {"rational", true, 0}};
    const Grid grid = BezierGrid();
    const double knots[] = {0, 0, 0, 0.5, 1, 1, 1};
    std::vector<double> weights = {1, 2, 0.5, 1, 1, 1, 3, 1, 1, 0.25, 1, 1, 2, 1, 1, 1};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<KDuzSurfaceEvaluator> evaluator(
            c.nurbs ? KDuzNURBSurfaceEvaluator::Create(3, 3) : KDuzSurfaceEvaluator::Create(c.type, c.type));
        evaluator->SetUStep(3);
        evaluator->SetVStep(2);
        if (c.nurbs) {
            evaluator->SetData(1, knots, 7);
            evaluator->SetData(2, knots, 7);
            evaluator->SetData(0, weights.data(), 16);
        }
        evaluator->SetControlPoints(grid.data(), 4, 4);
        const int outputs = evaluator->GetUPointCount() * evaluator->GetVPointCount();
        KSparseWeightMatrix matrix(16, outputs);
        const Output out = Evaluated(*evaluator, grid, 4, 4, &matrix);
        for (int o = 0; o < outputs; ++o) {
            KgeTVector sum(0, 0, 0, 0);
            double total = 0;
            for (int e = 0; e < matrix.GetEntryCount(1, o); ++e) {
                const KSparseWeightMatrix::Entry* entry = matrix.GetEntry(1, o, e);
                sum += grid[static_cast<size_t>(entry->index)] * entry->value;
                total += entry->value;
                // The mirrored copy holds the same value.
                const int mirror = matrix.FindEntry(0, entry->index, o);
                ASSERT_GE(mirror, 0);
                EXPECT_EQ(matrix.GetEntry(0, entry->index, mirror)->value, entry->value);
            }
            const double divisor = c.nurbs ? total : 1.0;
            for (int k = 0; k < 3; ++k) EXPECT_NEAR(sum[k] / divisor, out.points[static_cast<size_t>(o)][k], kTolerance);
        }
    }
}

TEST(SurfaceEvaluatorTest, ZeroWeightSumAndShortKnotsStayFinite) {
    const Grid grid = BezierGrid();
    std::vector<double> zero(16, 0.0);
    // A closed direction given only the closed length (order + count + 1),
    // not the periodic one the sampling assumes.
    const double knots[] = {0, 1, 2, 3, 4, 5, 6, 7, 8};
    std::unique_ptr<KDuzSurfaceEvaluator> evaluator(KDuzNURBSurfaceEvaluator::Create(4, 4));
    evaluator->SetUClosed(1);
    evaluator->SetData(1, knots, 9);
    evaluator->SetData(2, knots, 9);
    evaluator->SetData(0, zero.data(), 16);
    const Output out = Evaluated(*evaluator, grid, 4, 4);
    ASSERT_GT(out.points.size(), 0u);
    for (size_t i = 0; i < out.points.size(); ++i) {
        for (int c = 0; c < 3; ++c) {
            ASSERT_TRUE(std::isfinite(out.points[i][c])) << i;
            ASSERT_TRUE(std::isfinite(out.normals[i][c])) << i;
        }
    }
}

TEST(SurfaceEvaluatorTest, SecondGridOfTheSameShapeReusesTheTables) {
    Grid grid = BezierGrid();
    std::unique_ptr<KDuzSurfaceEvaluator> evaluator(KDuzSurfaceEvaluator::Create(ePatchBezier, ePatchBezier));
    const Output first = Evaluated(*evaluator, grid, 4, 4);
    for (KgeTVector& p : grid) p[2] += 1.0;   // a shape: every point one higher
    const Output second = Evaluated(*evaluator, grid, 4, 4);
    ASSERT_EQ(first.points.size(), second.points.size());
    for (size_t i = 0; i < first.points.size(); ++i) EXPECT_NEAR(second.points[i][2], first.points[i][2] + 1.0, kTolerance);
}

TEST(SparseWeightMatrixTest, NormalizingOneSideKeepsBothCopiesEqual) {
    KSparseWeightMatrix matrix(3, 2);
    EXPECT_TRUE(matrix.Add(0, 0, 2.0));
    EXPECT_TRUE(matrix.Add(1, 0, -6.0));
    EXPECT_TRUE(matrix.Add(2, 1, 0.0));
    EXPECT_FALSE(matrix.Add(3, 0, 1.0));
    EXPECT_FALSE(matrix.Add(0, -1, 1.0));
    EXPECT_DOUBLE_EQ(matrix.SumRow(1, 0, false), -4.0);
    EXPECT_DOUBLE_EQ(matrix.SumRow(1, 0, true), 8.0);
    matrix.NormalizeRows(1, true);
    EXPECT_DOUBLE_EQ(matrix.GetEntry(1, 0, 0)->value, 0.25);
    EXPECT_DOUBLE_EQ(matrix.GetEntry(1, 0, 1)->value, 0.75);
    EXPECT_DOUBLE_EQ(matrix.GetEntry(0, 0, 0)->value, 0.25);
    EXPECT_DOUBLE_EQ(matrix.GetEntry(0, 1, 0)->value, 0.75);
    // A zero row gives zeros, not a division by zero.
    EXPECT_EQ(matrix.GetEntry(1, 1, 0)->value, 0.0);
    EXPECT_EQ(matrix.GetEntry(0, 2, 0)->value, 0.0);
    EXPECT_EQ(matrix.FindEntry(0, 1, 1), -1);
    EXPECT_EQ(matrix.GetEntry(0, 0, 1), nullptr);
    EXPECT_EQ(matrix.GetEntryCount(2, 0), 0);
}

}  // namespace
}  // namespace duzsdk
