#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "animation/KFCurveTestUtil.h"
#include "sdk/animation/KFCurveFilterConstantKeyReducer.h"
#include "sdk/animation/KFCurveFilterGimbleKiller.h"
#include "sdk/animation/KFCurveFilterKeyReducer.h"
#include "sdk/animation/KFCurveFilterKeySync.h"
#include "sdk/animation/KFCurveFilterMatrixConverter.h"
#include "sdk/animation/KFCurveFilterResample.h"
#include "sdk/animation/KFCurveFilterTimeShiftAndScale.h"
#include "sdk/animation/KFCurveFilterUnroll.h"
#include "sdk/animation/KFCurveTools.h"
#include "sdk/base/KgeMath.h"
#include "sdk/base/KgeRotationOrder.h"

using namespace duzsdk;
using namespace duzsdk::test;

namespace {

struct NodeDeleter {
    void operator()(KFCurveNode* n) const { KFCurveObjectDelete(n); }
};
using NodePtr = std::unique_ptr<KFCurveNode, NodeDeleter>;

std::vector<float> Values(const KFCurve& c)
{
    std::vector<float> v;
    for (int i = 0; i < c.KeyGetCount(); ++i) v.push_back(c.KeyGetValue(i));
    return v;
}

// A rotation node "R" with "X", "Y", "Z" curves.
NodePtr RotationNode()
{
    NodePtr r(KFCurveNodeCreate("R", nullptr, eCurveNodeLayerRotation));
    for (const char* axis : {"X", "Y", "Z"}) r->FindOrCreateChild(axis, true);
    return r;
}

KFCurve* Axis(KFCurveNode& node, const char* path) { return node.FindByPath(path)->GetCurve(); }

// "Transform" with T, R and S groups of X, Y, Z curves; scaling defaults 1.
NodePtr TransformNode()
{
    NodePtr root(KFCurveNodeCreate("Transform"));
    for (const char* group : {"T", "R", "S"}) {
        KFCurveNode* g = KFCurveNodeCreate(group, nullptr, group[0] == 'R' ? eCurveNodeLayerRotation : 0);
        for (const char* axis : {"X", "Y", "Z"}) g->FindOrCreateChild(axis, true);
        root->AddChild(g);
    }
    for (const char* axis : {"S/X", "S/Y", "S/Z"}) Axis(*root, axis)->SetDefaultValue(1.0f);
    return root;
}

void RotationMatrix(double* m, const double* euler, int order = 0)
{
    for (int i = 0; i < 16; ++i) m[i] = (i % 5 == 0) ? 1.0 : 0.0;
    KgeRotationOrder(order).EulerToMatrix(m, euler);
}

double MaxDifference(const double* a, const double* b, int n = 12)
{
    double d = 0.0;
    for (int i = 0; i < n; ++i) d = std::max(d, std::fabs(a[i] - b[i]));
    return d;
}

}  // namespace

// --- resampling ---------------------------------------------------------------------------

TEST(KFCurveFilterResampleTest, SamplesMatchTheSourceAtEveryPeriodAndAtStop)
{
    KFCurve curve;
    Fill(curve, {{0.0, 1.0f}, {0.45, 4.0f, kFCurveInterpolationLinear}, {1.0, -2.0f}});
    std::unique_ptr<KFCurve> source(curve.Clone());
    KFCurveFilterResample filter;
    filter.SetPeriod(Sec(0.3));
    ASSERT_TRUE(filter.Apply(curve));
    const double expected[] = {0.0, 0.3, 0.6, 0.9, 1.0};
    ASSERT_EQ(curve.KeyGetCount(), 5);
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(curve.KeyGetTime(i).Get(), i < 4 ? Sec(0.3).Get() * i : Sec(1.0).Get());
        EXPECT_NEAR(curve.KeyGetTime(i).GetSecondDouble(), expected[i], 1e-9);
        EXPECT_FLOAT_EQ(curve.KeyGetValue(i), source->Evaluate(curve.KeyGetTime(i)));
    }
}

TEST(KFCurveFilterResampleTest, RefusesUnusablePeriodsAndSpans)
{
    struct Case {
        const char* name;
        std::int64_t period;
        bool keys;
        KTime start, stop;
        int error;
    };
    const Case cases[] = {
        {"zero period", 0, true, KTime(kFCurveMinusInfiniteTicks), KTime(kFCurveInfiniteTicks), 0},
        {"negative period", -5, true, KTime(kFCurveMinusInfiniteTicks), KTime(kFCurveInfiniteTicks), 0},
        // A keyless curve over the whole time line has no finite span.
        {"keyless, open span", Sec(0.1).Get(), false, KTime(kFCurveMinusInfiniteTicks),
         KTime(kFCurveInfiniteTicks), 1},
        // One tick over a minute would be billions of keys.
        {"unbounded count", 1, true, KTime(kFCurveMinusInfiniteTicks), KTime(kFCurveInfiniteTicks), 0},
        {"stop before start", Sec(0.1).Get(), true, Sec(50), Sec(10), 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KFCurve curve;
        if (c.keys) Fill(curve, {{0.0, 1.0f}, {60.0, 2.0f}});
        KFCurveFilterResample filter;
        filter.SetPeriod(KTime(c.period));
        filter.SetStartTime(c.start);
        filter.SetStopTime(c.stop);
        EXPECT_FALSE(filter.Apply(curve));
        EXPECT_EQ(filter.GetLastErrorID(), c.error);
        EXPECT_EQ(curve.KeyGetCount(), c.keys ? 2 : 0);
    }
}

TEST(KFCurveFilterResampleTest, MergeRangeKeepsKeysOutsideTheReplacement)
{
    KFCurve base, replacement, result;
    Fill(base, {{0, 0.0f}, {1, 1.0f}, {2, 2.0f}, {3, 3.0f}, {4, 4.0f}});
    Fill(replacement, {{1, 10.0f}, {1.5, 15.0f}, {3, 30.0f}});
    KFCurveMergeRange(base, replacement, result);
    EXPECT_EQ(Values(result), (std::vector<float>{0.0f, 10.0f, 15.0f, 30.0f, 4.0f}));
}

// --- constant-key reducer ---------------------------------------------------------------

TEST(KFCurveFilterConstantKeyReducerTest, RemovesRunsWithinTheToleranceWindow)
{
    struct Case {
        const char* name;
        std::vector<float> values;
        std::vector<float> kept;
        float defaultValue;
    };
    // Each key looks two keys to each side: the 5 keeps the two zeros next to it.
    const Case cases[] = {
        {"leading run", {0, 0, 0, 5}, {0, 0, 5}, 0.0f},
        {"all equal", {3, 3, 3, 3}, {}, 3.0f},
        {"varying", {0, 1, 0, 1}, {0, 1, 0, 1}, 0.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KFCurve curve;
        for (std::size_t i = 0; i < c.values.size(); ++i)
            curve.KeySet(static_cast<int>(i), Sec(static_cast<double>(i)), c.values[i], kFCurveInterpolationLinear);
        KFCurveFilterConstantKeyReducer filter;
        EXPECT_TRUE(filter.Apply(curve));
        EXPECT_EQ(Values(curve), c.kept);
        EXPECT_EQ(curve.GetDefaultValue(), c.defaultValue);
    }
    KFCurve empty;
    KFCurveFilterConstantKeyReducer filter;
    EXPECT_FALSE(filter.Apply(empty));
    EXPECT_STREQ(filter.GetLastErrorString(), "ConstantKeyReducer, No key to be filtered.");
}

// The reduction written out plainly, each run removed as soon as it is found.
std::vector<float> PlainConstantReduction(std::vector<float> v, double tol)
{
    int lo = 0, hi = static_cast<int>(v.size()) - 1;
    for (int k = hi; k >= lo;) {
        const float start = v[k];
        int b = k;
        auto constant = [&](int key) {
            for (int w = std::max(key - 2, lo); w <= std::min(key + 2, hi); ++w)
                if (!(v[w] >= start - tol && v[w] <= start + tol)) return false;
            return true;
        };
        while (b >= lo && constant(b)) --b;
        const int r = k - b;
        if (r == 0) {
            --k;
            continue;
        }
        if (r == static_cast<int>(v.size())) return {};
        v.erase(v.begin() + (b + 1), v.begin() + (k + 1));
        hi -= r;
        k = b;
    }
    return v;
}

TEST(KFCurveFilterConstantKeyReducerTest, SameAsRemovingEachRunAtOnce)
{
    std::mt19937 rng(9);
    std::uniform_int_distribution<int> level(0, 2), length(1, 6);
    for (int trial = 0; trial < 50; ++trial) {
        SCOPED_TRACE(trial);
        std::vector<float> values;
        while (values.size() < 60) {
            const float v = static_cast<float>(level(rng));
            for (int i = length(rng); i > 0; --i) values.push_back(v);
        }
        KFCurve curve;
        for (std::size_t i = 0; i < values.size(); ++i)
            curve.KeySet(static_cast<int>(i), Sec(static_cast<double>(i)), values[i], kFCurveInterpolationLinear);
        KFCurveFilterConstantKeyReducer filter;
        ASSERT_TRUE(filter.Apply(curve));
        EXPECT_EQ(Values(curve), PlainConstantReduction(values, filter.GetTolerance()));
    }
}

TEST(KFCurveFilterConstantKeyReducerTest, TranslationChannelsUseTheFinestTolerance)
{
    NodePtr root = TransformNode();
    for (const char* path : {"T/X", "R/X"}) {
        KFCurve* c = Axis(*root, path);
        for (int i = 0; i < 4; ++i) c->KeySet(i, Sec(i), i % 2 ? 0.0001f : 0.0f, kFCurveInterpolationLinear);
    }
    KFCurveFilterConstantKeyReducer filter;
    EXPECT_TRUE(filter.Apply(*root, true));
    EXPECT_EQ(Axis(*root, "T/X")->KeyGetCount(), 4);  // 0.0001 is above 0.00009
    EXPECT_EQ(Axis(*root, "R/X")->KeyGetCount(), 0);  // and below 0.009
}

// --- time shift and scale ----------------------------------------------------------------

TEST(KFCurveFilterTimeShiftAndScaleTest, ShiftsThenScalesAndRefusesNoChange)
{
    KFCurve curve;
    Fill(curve, {{1.0, 1.0f}, {2.0, 2.0f}});
    KFCurveFilterTimeShiftAndScale filter;
    EXPECT_FALSE(filter.Apply(curve));
    EXPECT_EQ(filter.GetLastErrorID(), 1);
    filter.SetShift(Sec(1.0));
    filter.SetScale(2.0);
    EXPECT_TRUE(filter.Apply(curve));
    EXPECT_NEAR(curve.KeyGetTime(0).GetSecondDouble(), 4.0, 1e-9);
    EXPECT_NEAR(curve.KeyGetTime(1).GetSecondDouble(), 6.0, 1e-9);
}

// --- unroll ------------------------------------------------------------------------------

TEST(KFCurveFilterUnrollTest, RemovesJumpsAndKeepsTheRotations)
{
    NodePtr r = RotationNode();
    const float x[] = {170, 179, -179, -170, 100, -100, 20};
    const float y[] = {10, 20, 80, 100, 200, -30, 0};
    for (int i = 0; i < 7; ++i) {
        Axis(*r, "X")->KeySet(i, Sec(i), x[i], kFCurveInterpolationLinear);
        Axis(*r, "Y")->KeySet(i, Sec(i), y[i], kFCurveInterpolationLinear);
        Axis(*r, "Z")->KeySet(i, Sec(i), 5.0f * i, kFCurveInterpolationLinear);
    }
    NodePtr before(r->Clone(false, true));
    KFCurveFilterUnroll filter;
    ASSERT_TRUE(filter.Apply(*r, true));
    EXPECT_FLOAT_EQ(Axis(*r, "X")->KeyGetValue(2), 181.0f);
    EXPECT_FLOAT_EQ(Axis(*r, "X")->KeyGetValue(3), 190.0f);
    for (int i = 0; i < Axis(*r, "X")->KeyGetCount(); ++i) {
        SCOPED_TRACE(i);
        double now[3], old[3], a[16], b[16];
        for (int k = 0; k < 3; ++k) {
            const char* axis = k == 0 ? "X" : k == 1 ? "Y" : "Z";
            now[k] = Axis(*r, axis)->KeyGetValue(i);
            old[k] = Axis(*before, axis)->Evaluate(Axis(*r, axis)->KeyGetTime(i));
            if (i > 0) {
                EXPECT_LE(std::fabs(now[k] - Axis(*r, axis)->KeyGetValue(i - 1)), 180.0);
            }
        }
        RotationMatrix(a, now);
        RotationMatrix(b, old);
        EXPECT_LT(MaxDifference(a, b), 1e-5);
    }
}

TEST(KFCurveFilterUnrollTest, RefusesAnythingButARotationWithThreeCurves)
{
    KFCurveFilterUnroll filter;
    KFCurve curve;
    EXPECT_FALSE(filter.Apply(curve));
    EXPECT_STREQ(filter.GetLastErrorString(), "Unroll Filter, Works only on rotation CurveNodes.");
    NodePtr r = RotationNode();
    r->FindByPath("Y")->SetCurve(nullptr);  // a channel without its curve
    EXPECT_FALSE(filter.Apply(*r, true));
    EXPECT_EQ(filter.GetLastErrorID(), 2);
}

TEST(KFCurveFilterUnrollTest, PathQualityIsTheRotatedAngleOverTheTripleDistance)
{
    struct Case {
        const char* name;
        double a[3], b[3];
        double quality;
    };
    const Case cases[] = {
        {"same triple", {10, 20, 30}, {10, 20, 30}, 100.0},
        {"ten degrees about x", {0, 0, 0}, {10, 0, 0}, 1.0},
        // The same rotation written another way: no angle, a long way.
        {"equivalent triple", {0, 0, 0}, {180, 180, 180}, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_NEAR(KFCurveFilterUnrollPathQuality(c.a, c.b), c.quality, 1e-6);
    }
}

TEST(KFCurveFilterUnrollTest, RotationFilterHookRunsTheRealFilter)
{
    NodePtr r = RotationNode();
    const float x[] = {170, 179, -179, -170};
    for (int i = 0; i < 4; ++i) {
        Axis(*r, "X")->KeySet(i, Sec(i), x[i], kFCurveInterpolationLinear);
        Axis(*r, "Y")->KeySet(i, Sec(i), 0.0f, kFCurveInterpolationLinear);
        Axis(*r, "Z")->KeySet(i, Sec(i), 0.0f, kFCurveInterpolationLinear);
    }
    ASSERT_TRUE(KFCurveApplyRotationFilter(r.get(), KTime(kFCurveMinusInfiniteTicks), KTime(kFCurveInfiniteTicks)));
    EXPECT_EQ(Values(*Axis(*r, "X")), (std::vector<float>{170, 179, 181, 190}));
}

// --- key reducer -----------------------------------------------------------------------------

TEST(KFCurveFilterKeyReducerTest, KeepsOnlyTheEndsOfAStraightLine)
{
    KFCurve curve;
    Fill(curve, {{0, 0.0f, kFCurveInterpolationLinear}, {1, 1.0f, kFCurveInterpolationLinear},
                 {2, 2.0f, kFCurveInterpolationLinear}});
    KFCurveFilterKeyReducer filter;
    ASSERT_TRUE(filter.Apply(curve));
    EXPECT_EQ(Values(curve), (std::vector<float>{0.0f, 2.0f}));
    KFCurve one;
    Fill(one, {{0, 1.0f}});
    EXPECT_FALSE(filter.Apply(one));
    EXPECT_EQ(filter.GetLastErrorID(), 1);
    EXPECT_EQ(one.KeyGetCount(), 1);
}

TEST(KFCurveFilterKeyReducerTest, StaysWithinToleranceEverywhereNotOnlyAtKeptKeys)
{
    KFCurve curve;
    const int frames = 600;
    for (int i = 0; i < frames; ++i) {
        const double s = i / 30.0;
        curve.KeySet(i, Sec(s), static_cast<float>(10.0 * std::sin(s * 1.3) + 3.0 * std::sin(s * 7.1)));
    }
    std::unique_ptr<KFCurve> source(curve.Clone());
    KFCurveFilterKeyReducer filter;
    filter.SetTolerance(0.05);
    ASSERT_TRUE(filter.Apply(curve));
    EXPECT_LT(curve.KeyGetCount(), frames / 2);
    double worst = 0.0;
    for (int i = 0; i < (frames - 1) * 8; ++i) {
        const KTime t = Sec(i / 240.0);
        worst = std::max(worst, std::fabs(static_cast<double>(curve.Evaluate(t)) - source->Evaluate(t)));
    }
    EXPECT_LE(worst, 0.05 * 1.05);
}

TEST(KFCurveFilterKeyReducerTest, LongNoisyCurveNeedsNoDeepStack)
{
    // Every key is off the fit: the split depth follows the key count.
    KFCurve curve;
    const int n = 50000;
    curve.ReserveKeys(n);
    for (int i = 0; i < n; ++i) curve.KeySet(i, KTime(1000LL * i), static_cast<float>(i * (i % 2 ? 1 : -1)));
    KFCurveFilterKeyReducer filter;
    filter.SetTolerance(0.001);
    ASSERT_TRUE(filter.Apply(curve));
    EXPECT_EQ(curve.KeyGetCount(), n);
}

// --- key sync ----------------------------------------------------------------------------------

TEST(KFCurveFilterKeySyncTest, GivesEveryCurveEveryKeyTime)
{
    KFCurve a, b;
    Fill(a, {{0, 0.0f, kFCurveInterpolationLinear}, {1, 2.0f, kFCurveInterpolationLinear}});
    Fill(b, {{0.5, 7.0f}});
    KFCurve* curves[2] = {&a, &b};
    KFCurveFilterKeySync filter;
    EXPECT_TRUE(filter.NeedApply(curves, 2));
    EXPECT_EQ(filter.GetLastErrorID(), 2);
    ASSERT_TRUE(filter.Apply(curves, 2));
    for (KFCurve* c : curves) {
        ASSERT_EQ(c->KeyGetCount(), 3);
        EXPECT_EQ(c->KeyGetTime(1), Sec(0.5));
    }
    EXPECT_EQ(Values(a), (std::vector<float>{0.0f, 1.0f, 2.0f}));
    EXPECT_EQ(Values(b), (std::vector<float>{7.0f, 7.0f, 7.0f}));
    KFCurveFilterKeySync again;
    EXPECT_FALSE(again.NeedApply(curves, 2));
}

TEST(KFCurveFilterKeySyncTest, SameKeysAsInsertingEachTimeInTurn)
{
    // The synchroniser rebuilds each curve in one pass; inserting every
    // missing time one by one into a copy must give the same keys.
    std::mt19937 rng(3);
    const std::uint32_t modes[][2] = {{kFCurveInterpolationCubic, kFCurveTangentAuto},
                                      {kFCurveInterpolationCubic, kFCurveTangentUser},
                                      {kFCurveInterpolationCubic, kFCurveTangentUserBreak},
                                      {kFCurveInterpolationLinear, 0},
                                      {kFCurveInterpolationConstant, 0}};
    std::uniform_int_distribution<int> mode(0, 4), gap(1, 4);
    std::uniform_real_distribution<float> value(-10.0f, 10.0f);
    KFCurve a, b, c;
    KFCurve* curves[3] = {&a, &b, &c};
    for (KFCurve* curve : curves) {
        int frame = gap(rng) - 1;
        for (int i = 0; i < 40; ++i, frame += gap(rng)) {
            const auto* m = modes[mode(rng)];
            curve->KeySet(i, Sec(frame / 30.0), value(rng), m[0], m[1], value(rng), value(rng));
        }
    }
    std::vector<std::int64_t> times;
    for (KFCurve* curve : curves)
        for (int i = 0; i < curve->KeyGetCount(); ++i) times.push_back(curve->KeyGetTime(i).Get());
    std::sort(times.begin(), times.end());  // the synchroniser walks time forward
    std::vector<std::unique_ptr<KFCurve>> expected;
    for (KFCurve* curve : curves) {
        expected.emplace_back(curve->Clone());
        std::unique_ptr<KFCurve> snapshot(curve->Clone());
        for (std::int64_t t : times) {
            bool own = false;
            for (int i = 0; i < snapshot->KeyGetCount(); ++i) own = own || snapshot->KeyGetTime(i).Get() == t;
            if (own) continue;
            const int index = expected.back()->KeyInsert(KTime(t));
            expected.back()->KeySetValue(index, snapshot->Evaluate(KTime(t)));
        }
    }
    KFCurveFilterKeySync filter;
    ASSERT_TRUE(filter.Apply(curves, 3));
    for (int c = 0; c < 3; ++c) {
        SCOPED_TRACE(c);
        ASSERT_EQ(curves[c]->KeyGetCount(), expected[c]->KeyGetCount());
        for (int i = 0; i < curves[c]->KeyGetCount(); ++i) {
            SCOPED_TRACE(i);
            const KFCurveKey& got = curves[c]->KeyRecord(i);
            const KFCurveKey& want = expected[c]->KeyRecord(i);
            EXPECT_EQ(got.mTime, want.mTime);
            EXPECT_EQ(got.mValue, want.mValue);
            EXPECT_EQ(got.mFlags, want.mFlags);
            EXPECT_EQ(got.mData[0], want.mData[0]);
            EXPECT_EQ(got.mData[1], want.mData[1]);
            EXPECT_EQ(std::memcmp(got.mWeight, want.mWeight, sizeof got.mWeight), 0);
        }
    }
}

TEST(KFCurveFilterKeySyncTest, ManyCurves)
{
    // The node form is limited to 19 children; the array form serves any count.
    NodePtr node(KFCurveNodeCreate("Many"));
    std::vector<KFCurve*> curves;
    for (int i = 0; i < 25; ++i) {
        KFCurveNode* child = node->FindOrCreateChild(("C" + std::to_string(i)).c_str(), true);
        child->GetCurve()->KeySet(0, Sec(i), static_cast<float>(i));
        curves.push_back(child->GetCurve());
    }
    KFCurveFilterKeySync filter;
    EXPECT_FALSE(filter.NeedApply(*node, true));
    EXPECT_EQ(filter.GetLastErrorID(), 4);
    ASSERT_TRUE(filter.Apply(curves.data(), 25));
    for (KFCurve* c : curves) EXPECT_EQ(c->KeyGetCount(), 25);
}

// --- matrix converter --------------------------------------------------------------------------

namespace {

// The world matrix of a transform tree at t under a pre-rotation and a
// rotation pivot, written out as the transform stack it stands for:
// scale, then pivot-out, rotation, pre-rotation, pivot-in, then translation.
void WorldMatrix(double* out, KFCurveNode& root, KTime t, const double* preRotation, const double* pivot)
{
    double T[3], R[3], S[3];
    for (int i = 0; i < 3; ++i) {
        const char* axis = i == 0 ? "X" : i == 1 ? "Y" : "Z";
        T[i] = Axis(root, (std::string("T/") + axis).c_str())->Evaluate(t);
        R[i] = Axis(root, (std::string("R/") + axis).c_str())->Evaluate(t);
        S[i] = Axis(root, (std::string("S/") + axis).c_str())->Evaluate(t);
    }
    double m[16], r[16], p[16];
    RotationMatrix(m, R);
    RotationMatrix(p, preRotation);
    // Rows are axes: a point is scaled, rotated by R, then by the pre-rotation.
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            double v = 0.0;
            for (int k = 0; k < 3; ++k) v += m[4 * i + k] * p[4 * k + j];
            r[4 * i + j] = v;
        }
    for (int i = 0; i < 16; ++i) out[i] = (i % 5 == 0) ? 1.0 : 0.0;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) out[4 * i + j] = S[i] * r[4 * i + j];
    // Translation: T + pivot - pivot·(R·pre) (the scaled point is rotated about the pivot).
    for (int j = 0; j < 3; ++j) {
        double rotatedPivot = 0.0;
        for (int k = 0; k < 3; ++k) rotatedPivot += pivot[k] * r[4 * k + j];
        out[12 + j] = T[j] + pivot[j] - rotatedPivot;
    }
}

}  // namespace

TEST(KFCurveFilterMatrixConverterTest, BakedCurvesGiveTheSameWorldMatrices)
{
    NodePtr root = TransformNode();
    for (int i = 0; i <= 10; ++i) {
        Axis(*root, "T/X")->KeySet(i, Sec(i / 10.0), static_cast<float>(i));
        Axis(*root, "R/Y")->KeySet(i, Sec(i / 10.0), static_cast<float>(i * 9));
        Axis(*root, "R/Z")->KeySet(i, Sec(i / 10.0), static_cast<float>(i * i));
        Axis(*root, "S/X")->KeySet(i, Sec(i / 10.0), 1.0f + 0.1f * static_cast<float>(i));
    }
    NodePtr source(root->Clone(false, true));
    const double pre[3] = {30.0, 0.0, 45.0};
    const double pivot[3] = {1.0, 2.0, -1.0};
    KFCurveFilterMatrixConverter filter;
    KgeMatrix preMatrix = KgeMatrix::FromEulerXYZ(pre[0], pre[1], pre[2]);
    filter.SetSourceMatrix(3, preMatrix);
    KgeMatrix pivotMatrix;
    pivotMatrix.SetElement(3, 0, pivot[0]);
    pivotMatrix.SetElement(3, 1, pivot[1]);
    pivotMatrix.SetElement(3, 2, pivot[2]);
    filter.SetSourceMatrix(11, pivotMatrix);
    filter.SetPeriod(Sec(0.1));
    filter.SetReduceAfter(false);
    ASSERT_TRUE(filter.Apply(*root, true));
    const double zero[3] = {0.0, 0.0, 0.0};
    for (int i = 0; i <= 10; ++i) {
        SCOPED_TRACE(i);
        double expected[16], got[16];
        WorldMatrix(expected, *source, Sec(i / 10.0), pre, pivot);
        WorldMatrix(got, *root, Sec(i / 10.0), zero, zero);
        EXPECT_LT(MaxDifference(expected, got), 2e-4);
    }
}

TEST(KFCurveFilterMatrixConverterTest, ForcedIdentityConversionReproducesTheSource)
{
    NodePtr root = TransformNode();
    for (int i = 0; i <= 4; ++i) {
        Axis(*root, "T/Y")->KeySet(i, Sec(i), static_cast<float>(i * 2));
        Axis(*root, "R/X")->KeySet(i, Sec(i), static_cast<float>(i * 20));
    }
    KFCurveFilterMatrixConverter filter;
    filter.SetPeriod(Sec(1));
    EXPECT_FALSE(filter.Apply(*root, true));  // nothing to convert
    EXPECT_EQ(filter.GetLastErrorID(), 1);
    filter.SetForce(true);
    filter.SetReduceAfter(false);
    ASSERT_TRUE(filter.Apply(*root, true));
    for (int i = 0; i <= 4; ++i) {
        EXPECT_NEAR(Axis(*root, "T/Y")->Evaluate(Sec(i)), i * 2.0, 1e-4);
        EXPECT_NEAR(Axis(*root, "R/X")->Evaluate(Sec(i)), i * 20.0, 1e-3);
    }
}

TEST(KFCurveFilterMatrixConverterTest, FailuresLeaveTheCurves)
{
    struct Case {
        const char* name;
        bool dropScaling;
        std::int64_t period;
        int error;
    };
    const Case cases[] = {
        {"missing S", true, Sec(1).Get(), 3},
        {"zero period", false, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NodePtr root = TransformNode();
        Axis(*root, "R/X")->KeySet(0, Sec(0), 10.0f);
        Axis(*root, "R/X")->KeySet(1, Sec(1), 20.0f);
        if (c.dropScaling) root->DeleteChild(root->FindByPath("S"));
        KFCurveFilterMatrixConverter filter;
        filter.SetForce(true);
        filter.SetPeriod(KTime(c.period));
        filter.SetReduceAfter(false);
        filter.SetUnrollAfter(false);
        EXPECT_FALSE(filter.Apply(*root, true));
        EXPECT_EQ(filter.GetLastErrorID(), c.error);
        EXPECT_EQ(Values(*Axis(*root, "R/X")), (std::vector<float>{10.0f, 20.0f}));
    }
}

TEST(KFCurveFilterMatrixConverterTest, ZeroScaleKeysGiveNoNaN)
{
    NodePtr root = TransformNode();
    Axis(*root, "S/X")->KeySet(0, Sec(0), 1.0f);
    Axis(*root, "S/X")->KeySet(1, Sec(1), 0.0f);
    Axis(*root, "S/Y")->KeySet(0, Sec(0), 0.0f);
    Axis(*root, "R/Z")->KeySet(0, Sec(0), 30.0f);
    Axis(*root, "T/X")->KeySet(0, Sec(0), 5.0f);
    KFCurveFilterMatrixConverter filter;
    filter.SetForce(true);
    filter.SetPeriod(Sec(0.25));
    filter.SetReduceAfter(false);
    ASSERT_TRUE(filter.Apply(*root, true));
    for (const char* path : {"T/X", "T/Y", "T/Z", "R/X", "R/Y", "R/Z", "S/X", "S/Y", "S/Z"}) {
        SCOPED_TRACE(path);
        const KFCurve& c = *Axis(*root, path);
        EXPECT_TRUE(std::isfinite(c.GetDefaultValue()));
        for (int i = 0; i < c.KeyGetCount(); ++i) EXPECT_TRUE(std::isfinite(c.KeyGetValue(i)));
    }
    // One collapsed axis keeps the rotation; two keep the previous sample's.
    EXPECT_NEAR(Axis(*root, "R/Z")->Evaluate(Sec(0.5)), 30.0, 1e-3);
    EXPECT_NEAR(Axis(*root, "R/Z")->Evaluate(Sec(1)), 30.0, 1e-3);
    EXPECT_NEAR(Axis(*root, "T/X")->Evaluate(Sec(0.5)), 5.0, 1e-4);
}

// --- gimbal-lock killer -----------------------------------------------------------------------

TEST(KFCurveFilterGimbleKillerTest, FlipThroughGimbalLockBecomesContinuous)
{
    NodePtr r = RotationNode();
    // Y passes 90 while X and Z jump by 180: the same motion written two ways.
    const float x[] = {0, 0, 180, 180};
    const float y[] = {80, 88, 88, 80};
    const float z[] = {0, 0, 180, 180};
    for (int i = 0; i < 4; ++i) {
        Axis(*r, "X")->KeySet(i, Sec(i / 30.0), x[i]);
        Axis(*r, "Y")->KeySet(i, Sec(i / 30.0), y[i]);
        Axis(*r, "Z")->KeySet(i, Sec(i / 30.0), z[i]);
    }
    NodePtr before(r->Clone(false, true));
    KFCurveFilterGimbleKiller filter;
    ASSERT_TRUE(filter.Apply(*r, true));
    const KFCurve& cx = *Axis(*r, "X");
    for (int i = 1; i < cx.KeyGetCount(); ++i) {
        SCOPED_TRACE(i);
        for (const char* axis : {"X", "Y", "Z"})
            EXPECT_LT(std::fabs(Axis(*r, axis)->KeyGetValue(i) - Axis(*r, axis)->KeyGetValue(i - 1)), 180.0);
    }
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        double a[3], b[3], ma[16], mb[16];
        int k = 0;
        for (const char* axis : {"X", "Y", "Z"}) {
            a[k] = Axis(*r, axis)->Evaluate(Sec(i / 30.0));
            b[k++] = Axis(*before, axis)->Evaluate(Sec(i / 30.0));
        }
        RotationMatrix(ma, a);
        RotationMatrix(mb, b);
        EXPECT_LT(MaxDifference(ma, mb), 1e-4);
    }
    NodePtr two(KFCurveNodeCreate("R", nullptr, eCurveNodeLayerRotation));
    two->FindOrCreateChild("X", true);
    two->FindOrCreateChild("Y", true);
    EXPECT_FALSE(filter.Apply(*two, true));
    EXPECT_EQ(filter.GetLastErrorID(), 2);
}

TEST(KFCurveFilterGimbleKillerTest, KeysCloserThanAFrameOf1200GetNothingBetween)
{
    NodePtr r = RotationNode();
    // A 170 degree step in half a 1/1200 s: no room for intermediate keys.
    Axis(*r, "X")->KeySet(0, KTime(0), 0.0f);
    Axis(*r, "X")->KeySet(1, Sec(0.0004), 170.0f);
    for (const char* axis : {"Y", "Z"}) {
        Axis(*r, axis)->KeySet(0, KTime(0), 0.0f);
        Axis(*r, axis)->KeySet(1, Sec(0.0004), 0.0f);
    }
    KFCurveFilterGimbleKiller filter;
    ASSERT_TRUE(filter.Apply(*r, true));
    EXPECT_EQ(Axis(*r, "X")->KeyGetCount(), 2);
    // A second apart, the same step is split into steps under sqrt(75) degrees.
    Axis(*r, "X")->KeySetTime(1, Sec(1));
    Axis(*r, "Y")->KeySetTime(1, Sec(1));
    Axis(*r, "Z")->KeySetTime(1, Sec(1));
    ASSERT_TRUE(filter.Apply(*r, true));
    const KFCurve& x = *Axis(*r, "X");
    EXPECT_GT(x.KeyGetCount(), 2);
    for (int i = 1; i < x.KeyGetCount(); ++i) EXPECT_LT(std::fabs(x.KeyGetValue(i) - x.KeyGetValue(i - 1)), 8.67);
}

TEST(KFCurveFilterMatrixConverterTest, LastKeyAtStopOrAtTheSampleThatEndedTheLoop)
{
    struct Case {
        bool keyAtStop;
        double lastSeconds;
    };
    // Keys span 0..1 s, sampled every 0.3 s: 0, 0.3, 0.6, 0.9, then the last key.
    for (const Case& c : {Case{true, 1.0}, Case{false, 1.2}}) {
        SCOPED_TRACE(c.keyAtStop);
        NodePtr root = TransformNode();
        Axis(*root, "T/X")->KeySet(0, KTime(0), 0.0f);
        Axis(*root, "T/X")->KeySet(1, Sec(1), 1.0f);
        KFCurveFilterMatrixConverter filter;
        filter.SetForce(true);
        filter.SetPeriod(Sec(0.3));
        filter.SetKeyAtStop(c.keyAtStop);
        filter.SetReduceAfter(false);
        ASSERT_TRUE(filter.Apply(*root, true));
        const KFCurve& x = *Axis(*root, "T/X");
        ASSERT_EQ(x.KeyGetCount(), 5);
        EXPECT_NEAR(x.KeyGetTime(4).GetSecondDouble(), c.lastSeconds, 1e-9);
    }
}

TEST(KFCurveFilterMatrixConverterTest, DecomposeIdentityAndTranslatedDestinations)
{
    KFCurveFilterMatrixConverter filter;
    const double t[3] = {1.0, 2.0, 3.0}, r[3] = {10.0, 20.0, 30.0};
    double g[16], dt[3], dr[3], ds[3];
    // A negative determinant gives three negative scaling values.
    const double mirrored[3] = {-2.0, 3.0, 4.0};
    filter.Compose(g, t, r, mirrored);
    filter.Decompose(g, dt, dr, ds, nullptr);
    for (int i = 0; i < 3; ++i) {
        EXPECT_LT(ds[i], 0.0);
        EXPECT_NEAR(std::fabs(ds[i]), std::fabs(mirrored[i]), 1e-9);
        EXPECT_NEAR(dt[i], g[12 + i], 1e-12);
    }
    // Only B6, a translation: same scaling and rotation, translation of B6·G.
    const double s[3] = {1.0, 2.0, 1.0};
    filter.Compose(g, t, r, s);
    double plainT[3], plainR[3], plainS[3];
    filter.Decompose(g, plainT, plainR, plainS, nullptr);
    KgeMatrix b6;
    b6.SetElement(3, 0, 5.0);
    b6.SetElement(3, 1, -1.0);
    b6.SetElement(3, 2, 2.0);
    filter.SetDestinationMatrix(6, b6);
    filter.Decompose(g, dt, dr, ds, nullptr);
    const double b6t[3] = {5.0, -1.0, 2.0};
    for (int j = 0; j < 3; ++j) {
        SCOPED_TRACE(j);
        EXPECT_NEAR(ds[j], plainS[j], 1e-9);
        EXPECT_NEAR(dr[j], plainR[j], 1e-6);
        double expected = g[12 + j];
        for (int k = 0; k < 3; ++k) expected += b6t[k] * g[4 * k + j];
        EXPECT_NEAR(dt[j], expected, 1e-9);
    }
}

