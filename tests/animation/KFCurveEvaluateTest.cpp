// Evaluation of KFCurve against values computed independently.
//
// The expected values come from a short reference script that evaluates each
// segment as a closed-form Bernstein cubic (not by repeated interpolation) and
// solves weighted segments by bisection (not by the secant method):
//
//   bez(p, u)  = (1-u)^3 p0 + 3(1-u)^2 u p1 + 3(1-u) u^2 p2 + u^3 p3
//   seg(v0, v1, d0, d1, D, f)  = bez((v0, v0 + d0 D/3, v1 - d1 D/3, v1), f)
//   wseg(...w1, w2, f): s from bez((0, w1, 1-w2, 1), s) = f by bisection,
//                       then bez((v0, v0 + d0 D w1, v1 - d1 D w2, v1), s)
//
// Slopes at the keys follow the tangent rules: an auto key with parameter 0
// takes the mean of its chords (first/last key: its only chord); a TCB key
// (T, C, B) has right slope (1-T)/2 ((1+B)(1+C) L + (1-B)(1-C) R) and left
// slope (1-T)/2 ((1-C)(1+B) L + (1+C)(1-B) R).

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "KFCurveTestUtil.h"

namespace duzsdk {
namespace {

using test::Fill;
using test::KeySpec;
using test::Sec;

// Float results of a handful of float operations: a few ulps of the values.
constexpr double kEvaluateTolerance = 1e-5;

struct EvalCase {
    const char* name;
    std::vector<KeySpec> keys;
    double at;
    double expected;
};

KFCurve* Build(const std::vector<KeySpec>& keys)
{
    KFCurve* curve = KFCurveCreate();
    int i = 0;
    for (const KeySpec& k : keys)
        curve->KeySet(i++, Sec(k.seconds), k.value, k.interpolation, k.tangentMode, k.data0, k.data1);
    return curve;
}

using test::B;
using test::C;
using test::kAuto;
using test::kUser;
using test::kUserBreak;
using test::L;

TEST(KFCurveEvaluateTest, InterpolationTable)
{
    const std::vector<KeySpec> linear = {{0, 0, L, 0}, {1, 10, L, 0}};
    const std::vector<KeySpec> constant = {{0, 0, C, 0}, {1, 10, C, 0}, {2, 20, C, 0}};
    const std::vector<KeySpec> constantNext = {{0, 0, C, kFCurveConstantNext}, {1, 10, C, 0}};
    // Auto keys (0,0) (1,1) (2,3): slopes 1, 1.5, 2.
    const std::vector<KeySpec> autos = {{0, 0}, {1, 1}, {2, 3}};
    // Right auto parameter 100 on key 1: its right slope becomes the right chord 2.
    const std::vector<KeySpec> auto100 = {{0, 0}, {1, 1, B, kAuto, 100, 0}, {2, 3}};
    // User keys: key 0 right 2, key 1 left -1 (stored on key 0), right 0.5, key 2 left 4.
    const std::vector<KeySpec> user = {{0, 0, B, kUser, 2, -1}, {1, 1, B, kUser, 0.5f, 4}, {2, 3, B, kUser, 0, 0}};
    // Break: key 1's right slope (data0 = 3) differs from its left slope (data1 of key 0 = 0).
    const std::vector<KeySpec> broken = {{0, 0, B, kUser, 0, 0}, {1, 1, B, kUserBreak, 3, 0}, {2, 1, B, kUser, 0, 0}};

    const EvalCase cases[] = {
        {"linear at first key", linear, 0.0, 0.0},
        {"linear between", linear, 0.25, 2.5},
        {"linear at last key", linear, 1.0, 10.0},
        {"linear before", linear, -3.0, 0.0},
        {"linear after", linear, 7.0, 10.0},
        {"constant between", constant, 0.5, 0.0},
        {"constant between 2", constant, 1.99, 10.0},
        {"constant on key", constant, 2.0, 20.0},
        {"constant next", constantNext, 0.5, 10.0},
        {"auto first segment", autos, 0.5, 0.4375},
        {"auto second segment", autos, 1.25, 1.4296875},
        {"auto second segment late", autos, 1.75, 2.4765625},
        {"auto on key", autos, 1.0, 1.0},
        {"auto before", autos, -2.0, 0.0},
        {"auto after", autos, 9.0, 3.0},
        {"user before", user, -0.5, 0.0},
        {"user after", user, 2.5, 3.0},
        {"auto parameter 100", auto100, 1.5, 2.0},
        {"user first segment", user, 0.5, 0.875},     // seg(0, 1, 2, -1, 1, .5)
        {"user second segment", user, 1.5, 1.5625},   // seg(1, 3, .5, 4, 1, .5)
        {"user break right side", broken, 1.5, 1.375},  // seg(1, 1, 3, 0, 1, .5)
        {"user break left side", broken, 0.5, 0.5},     // seg(0, 1, 0, 0, 1, .5)
    };
    for (const EvalCase& c : cases) {
        SCOPED_TRACE(c.name);
        KFCurve* curve = Build(c.keys);
        EXPECT_NEAR(curve->Evaluate(Sec(c.at)), c.expected, kEvaluateTolerance);
        KFCurveObjectDelete(curve);
    }
}

TEST(KFCurveEvaluateTest, TCBTable)
{
    struct TCBCase {
        const char* name;
        float t, c, b;
        double at;
        double expected;
    };
    // Keys (0,0) auto, (1,1) TCB, (2,3) auto; chords L = 1, R = 2 at key 1.
    const TCBCase cases[] = {
        {"zero parameters", 0, 0, 0, 1.25, 1.4296875},   // right slope (L+R)/2 = 1.5: seg(1, 3, 1.5, 2, 1, .25)
        {"tension 0.5", 0.5f, 0, 0, 1.5, 1.84375},       // right slope .75: seg(1, 3, .75, 2, 1, .5)
        {"continuity 0.5 left", 0, 0.5f, 0, 0.5, 0.40625},   // left 1.75: seg(0, 1, 1, 1.75, 1, .5)
        {"continuity 0.5 right", 0, 0.5f, 0, 1.5, 1.90625},  // right 1.25: seg(1, 3, 1.25, 2, 1, .5)
    };
    for (const TCBCase& c : cases) {
        SCOPED_TRACE(c.name);
        KFCurve curve;
        Fill(curve, {{0, 0}});
        curve.KeySetTCB(1, Sec(1), 1.0f, c.t, c.c, c.b);
        Fill(curve, {{2, 3}});
        EXPECT_NEAR(curve.Evaluate(Sec(c.at)), c.expected, kEvaluateTolerance);
    }
}

TEST(KFCurveEvaluateTest, WeightedSegments)
{
    // Flat tangents and weights 1/3 on both sides: the middle is the mean.
    KFCurve third;
    Fill(third, {{0, 0, B, kUser}, {1, 1, B, kUser}});
    third.KeySetRightWeight(0, kFCurveDefaultWeight);
    third.KeySetLeftWeight(1, kFCurveDefaultWeight);
    EXPECT_NE(third.KeyGetWeightMode(0), 0u);
    EXPECT_NEAR(third.Evaluate(Sec(0.5)), 0.5, kEvaluateTolerance);

    // wseg(0, 1, 0, 0, 1, w1, w2, .3) with the stored weights 4999/9999 and 1999/9999.
    KFCurve uneven;
    Fill(uneven, {{0, 0, B, kUser}, {1, 1, B, kUser}});
    uneven.KeySetRightWeight(0, 0.5f);
    uneven.KeySetLeftWeight(1, 0.2f);
    EXPECT_NEAR(uneven.Evaluate(Sec(0.3)), 0.12225151742156273, 1e-4);

    // With slopes: (0,0) right slope 1, (2,1) left slope -0.5; weights 0.25 and 0.6.
    KFCurve sloped;
    Fill(sloped, {{0, 0, B, kUser, 1, -0.5f}, {2, 1, B, kUser}});
    sloped.KeySetRightWeight(0, 0.25f);
    sloped.KeySetLeftWeight(1, 0.6f);
    EXPECT_NEAR(sloped.Evaluate(Sec(1.4)), 1.1738642370514076, 1e-4);
}

TEST(KFCurveEvaluateTest, VelocitiesDoNotChangeValues)
{
    KFCurve curve;
    Fill(curve, {{0, 0}, {1, 1}, {2, 3}});
    const float before = curve.Evaluate(Sec(0.5));
    curve.KeySetRightVelocity(0, 0.7f);
    curve.KeySetLeftVelocity(1, 0.3f);
    EXPECT_TRUE(curve.KeyIsRightVelocity(0));
    EXPECT_NEAR(curve.KeyGetRightVelocity(0), 0.7, 1e-4);
    EXPECT_EQ(curve.Evaluate(Sec(0.5)), before);
}

TEST(KFCurveEvaluateTest, ExtrapolationTable)
{
    struct ExtrapolationCase {
        const char* name;
        int preMode, preCount, postMode, postCount;
        double at;
        double expected;
    };
    // Keys (0 s, 0) and (1 s, 10), linear.
    const ExtrapolationCase cases[] = {
        {"post constant", 1, 0, 1, 0, 1.25, 10},
        {"post repetition", 1, 0, 2, -1, 1.25, 2.5},   // 1.25 -> 0.25
        {"post repetition far", 1, 0, 2, -1, 7.75, 7.5},
        {"post mirror", 1, 0, 3, -1, 1.25, 7.5},       // mirrored about 1 s: 0.75
        {"post mirror second cycle", 1, 0, 3, -1, 2.25, 2.5},  // cycle 1 repeats forward
        {"post repetition count 1 inside", 1, 0, 2, 1, 1.5, 5},
        {"post repetition count 1 at limit", 1, 0, 2, 1, 2.0, 10},
        {"post repetition count 1 beyond", 1, 0, 2, 1, 2.5, 10},
        {"pre constant", 1, 0, 1, 0, -0.5, 0},
        {"pre repetition", 2, -1, 1, 0, -0.25, 7.5},   // -0.25 -> 0.75
        {"pre mirror", 3, -1, 1, 0, -0.25, 2.5},       // mirrored about 0 s: 0.25
        {"pre mirror second cycle", 3, -1, 1, 0, -1.25, 7.5},
        {"pre repetition count 1 beyond", 2, 1, 1, 0, -1.5, 0},
        {"unknown post mode holds", 1, 0, 0, 0, 3.0, 10},
        {"unknown pre mode holds", 0, 0, 1, 0, -3.0, 0},
    };
    for (const ExtrapolationCase& c : cases) {
        SCOPED_TRACE(c.name);
        KFCurve curve;
        Fill(curve, {{0, 0, L, 0}, {1, 10, L, 0}});
        curve.SetPreExtrapolation(c.preMode);
        curve.SetPreExtrapolationCount(c.preCount);
        curve.SetPostExtrapolation(c.postMode);
        curve.SetPostExtrapolationCount(c.postCount);
        EXPECT_NEAR(curve.Evaluate(Sec(c.at)), c.expected, 1e-4);
    }
}

TEST(KFCurveEvaluateTest, KeepSlope)
{
    // Keys (1 s, 1) and (2 s, 3), linear: slope 2 per second on both ends.
    KFCurve curve;
    Fill(curve, {{1, 1, L, 0}, {2, 3, L, 0}});
    curve.SetPreExtrapolation(kFCurveExtrapolationKeepSlope);
    curve.SetPostExtrapolation(kFCurveExtrapolationKeepSlope);
    // Count 0: the limit is the end key itself.
    EXPECT_NEAR(curve.Evaluate(Sec(0)), 1.0, kEvaluateTolerance);
    EXPECT_NEAR(curve.Evaluate(Sec(3)), 3.0, kEvaluateTolerance);
    curve.SetPreExtrapolationCount(-1);
    curve.SetPostExtrapolationCount(-1);
    EXPECT_NEAR(curve.Evaluate(Sec(0)), -1.0, kEvaluateTolerance);
    EXPECT_NEAR(curve.Evaluate(Sec(3)), 5.0, kEvaluateTolerance);
    // Count 1: the slope runs for one span, then holds.
    curve.SetPreExtrapolationCount(1);
    curve.SetPostExtrapolationCount(1);
    EXPECT_NEAR(curve.Evaluate(Sec(-5)), -1.0, kEvaluateTolerance);
    EXPECT_NEAR(curve.Evaluate(Sec(4)), 5.0, kEvaluateTolerance);
    // A huge count does not overflow the limit.
    curve.SetPostExtrapolationCount(0x7FFFFFFF);
    EXPECT_NEAR(curve.Evaluate(Sec(3)), 5.0, kEvaluateTolerance);
}

TEST(KFCurveEvaluateTest, OneKeyHoldsItsValueEverywhere)
{
    for (int mode = 0; mode <= 4; ++mode) {
        SCOPED_TRACE(mode);
        KFCurve curve;
        Fill(curve, {{1, 4}});
        curve.SetPreExtrapolation(mode);
        curve.SetPostExtrapolation(mode);
        curve.SetPreExtrapolationCount(-1);
        curve.SetPostExtrapolationCount(-1);
        EXPECT_EQ(curve.Evaluate(Sec(-10)), 4.0f);
        EXPECT_EQ(curve.Evaluate(Sec(1)), 4.0f);
        EXPECT_EQ(curve.Evaluate(Sec(10)), 4.0f);
    }
}

TEST(KFCurveEvaluateTest, ExtremeTimesStayFinite)
{
    KFCurve curve;
    Fill(curve, {{0, 0, L, 0}, {1, 10, L, 0}});
    curve.SetPreExtrapolation(kFCurveExtrapolationMirrorRepetition);
    curve.SetPostExtrapolation(kFCurveExtrapolationRepetition);
    curve.SetPreExtrapolationCount(-1);
    curve.SetPostExtrapolationCount(-1);
    for (std::int64_t t : {INT64_MIN, INT64_MIN + 1, INT64_MAX, INT64_MAX - 1}) {
        const float v = curve.Evaluate(KTime(t));
        EXPECT_TRUE(v >= 0.0f && v <= 10.0f) << t;
    }
}

// Keys at the float limit a frame away from ordinary keys: the chords and the
// Bezier control values leave the float range. Values and slopes stay finite
// everywhere (they used to become infinite, and then NaN in the segments next
// to such a key); in the range they are what they were.
TEST(KFCurveEvaluateTest, KeysAtTheFloatLimitGiveFiniteValuesAndSlopes)
{
    const double frame = 1.0 / 30.0;
    const std::vector<std::vector<KeySpec>> tables = {
        // An ordinary auto segment whose next chord falls to -FLT_MAX.
        {{0, 72.65f}, {8 * frame, 0.0f}, {9 * frame, -FLT_MAX, L, 0}, {13 * frame, 54.77f}},
        // The limit key itself cubic, between auto and TCB-like neighbours.
        {{0, 0.0f}, {frame, -FLT_MAX}, {2 * frame, 95.0f}, {3 * frame, -95.0f}},
        // Both limits one frame apart: a chord beyond twice the largest float.
        {{0, FLT_MAX}, {frame, -FLT_MAX}, {2 * frame, FLT_MAX}},
        // A user slope at the limit.
        {{0, 1.0f, B, kUser, FLT_MAX, FLT_MAX}, {frame, 2.0f, B, kUser, -FLT_MAX, -FLT_MAX}, {2 * frame, 0.0f}},
    };
    for (size_t t = 0; t < tables.size(); ++t) {
        SCOPED_TRACE("table " + std::to_string(t));
        for (const int weighted : {0, 1}) {
            KFCurve* curve = Build(tables[t]);
            curve->SetPreExtrapolation(kFCurveExtrapolationKeepSlope);
            curve->SetPostExtrapolation(kFCurveExtrapolationKeepSlope);
            curve->SetPreExtrapolationCount(-1);
            curve->SetPostExtrapolationCount(-1);
            if (weighted)
                for (int k = 0; k + 1 < curve->KeyGetCount(); ++k) {
                    curve->KeySetRightWeighted(k, true);
                    curve->KeySetRightWeight(k, 0.2f);
                }
            for (int k = 0; k < curve->KeyGetCount(); ++k) {
                EXPECT_TRUE(std::isfinite(curve->ComputeLeftDerivative(k))) << k;
                EXPECT_TRUE(std::isfinite(curve->ComputeRightDerivative(k))) << k;
                EXPECT_EQ(curve->Evaluate(curve->KeyGetTime(k)), curve->KeyGetValue(k)) << k;
            }
            const double last = tables[t].back().seconds;
            for (double at = -frame; at <= last + frame; at += frame / 8) {
                EXPECT_TRUE(std::isfinite(curve->Evaluate(Sec(at)))) << weighted << " at " << at;
                EXPECT_TRUE(std::isfinite(curve->EvaluateLeftDerivative(Sec(at)))) << weighted << " at " << at;
            }
            KFCurveObjectDelete(curve);
        }
    }
    // Slopes in the float range are as before; a steeper chord is held at
    // the largest float, and the auto key takes the mean of its chords.
    KFCurve* curve = Build(tables[0]);
    const double d0 = curve->ComputeRightDerivative(0);
    EXPECT_NEAR(d0, (0.0 - 72.65) / (8 * frame), 1e-3);
    EXPECT_FLOAT_EQ(curve->ComputeLeftDerivative(1), -FLT_MAX / 2);
    KFCurveObjectDelete(curve);
}

TEST(KFCurveEvaluateTest, KeyFindPositions)
{
    KFCurve curve;
    Fill(curve, {{0, 0}, {1, 0}, {3, 0}});
    EXPECT_EQ(curve.KeyFind(Sec(-1)), -0.5);
    EXPECT_EQ(curve.KeyFind(Sec(1)), 1.0);
    EXPECT_DOUBLE_EQ(curve.KeyFind(Sec(2.5)), 1.75);
    EXPECT_EQ(curve.KeyFind(Sec(4)), 2.5);
    // Hints from anywhere give the same positions.
    for (int hint : {-5, 0, 1, 2, 3, 50}) {
        int h = hint;
        EXPECT_DOUBLE_EQ(curve.KeyFind(Sec(0.5), &h), 0.5) << hint;
        EXPECT_EQ(h, hint <= 0 ? 1 : 0) << hint;
    }
}

TEST(KFCurveEvaluateTest, HintedAndRandomSearchAgreeWithLinearScan)
{
    KFCurve curve;
    std::vector<double> times;
    double t = 0.0;
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> gap(0.01, 1.0);
    for (int i = 0; i < 1000; ++i) {
        times.push_back(t);
        curve.KeyAppendFast(Sec(t), static_cast<float>(i));
        t += gap(rng);
    }
    std::uniform_real_distribution<double> when(-1.0, t + 1.0);
    int hint = 0;
    for (int i = 0; i < 2000; ++i) {
        const KTime at = Sec(when(rng));
        const double found = curve.KeyFind(at, &hint);
        // Reference: the first key not before the time, by a plain scan.
        int next = 0;
        while (next < curve.KeyGetCount() && curve.KeyGetTime(next) < at) ++next;
        if (next == 0) {
            EXPECT_EQ(found, curve.KeyGetTime(0) == at ? 0.0 : -0.5);
        } else if (next == curve.KeyGetCount()) {
            EXPECT_EQ(found, curve.KeyGetCount() - 0.5);
        } else {
            EXPECT_GT(found, next - 1.0);
            EXPECT_LE(found, next);
        }
    }
}

TEST(KFCurveEvaluateTest, CacheReturnsTheCachedValueUntilAChange)
{
    KFCurve curve;
    Fill(curve, {{0, 0, L, 0}, {1, 10, L, 0}});
    EXPECT_NEAR(curve.EvaluateCached(Sec(0.5)), 5.0, kEvaluateTolerance);
    curve.SetCache(Sec(0.5), 42.0f);
    EXPECT_EQ(curve.EvaluateCached(Sec(0.5)), 42.0f);
    curve.KeySetValue(1, 20.0f);
    EXPECT_NEAR(curve.EvaluateCached(Sec(0.5)), 10.0, kEvaluateTolerance);
}

TEST(KFCurveEvaluateTest, DerivativesAtAndBetweenKeys)
{
    KFCurve curve;
    Fill(curve, {{0, 0}, {1, 1}, {2, 3}});
    EXPECT_NEAR(curve.EvaluateLeftDerivative(Sec(1)), 1.5, kEvaluateTolerance);
    EXPECT_NEAR(curve.EvaluateRightDerivative(Sec(1)), 1.5, kEvaluateTolerance);
    // Inside segment 1..2 at f = 0.5: d/du bez((1, 1.5, 7/3, 3), .5) = 3 (0.25*0.5 + 0.5*(5/6) + 0.25*(2/3)).
    EXPECT_NEAR(curve.EvaluateLeftDerivative(Sec(1.5)), 3 * (0.125 + 5.0 / 12 + 1.0 / 6), kEvaluateTolerance);
    EXPECT_EQ(curve.EvaluateLeftDerivative(Sec(-1)), 0.0f);
    EXPECT_EQ(curve.EvaluateRightDerivative(Sec(5)), 0.0f);
    KFCurve linear;
    Fill(linear, {{0, 0, L, 0}, {2, 4, L, 0}});
    EXPECT_NEAR(linear.EvaluateLeftDerivative(Sec(0.7)), 2.0, kEvaluateTolerance);
}

TEST(KFCurveEvaluateTest, BezierSolveReachesTheAbscissa)
{
    for (double f : {0.0, 0.1, 0.5, 0.9, 1.0}) {
        const double s = KFCurveBezierSolve(f, 0.2f, 0.7f);
        const double u = s;
        const double x = 3 * (1 - u) * (1 - u) * u * 0.2 + 3 * (1 - u) * u * u * (1 - 0.7) + u * u * u;
        EXPECT_NEAR(x, f, 1e-5) << f;
    }
    // Equal values at both ends give no secant; no NaN.
    EXPECT_FALSE(std::isnan(KFCurveBezierSolve(0.5, 0.5f, 0.5f)));
}

}  // namespace
}  // namespace duzsdk
