// Shape-keeping key insertion and span replacement of KFCurve.

#include <gtest/gtest.h>

#include "KFCurveTestUtil.h"

namespace duzsdk {
namespace {

using test::Fill;
using test::Sec;

using test::B;
using test::kUser;
constexpr std::uint32_t kExactSplit = 0x00400000;

// Samples of a curve, to compare its shape before and after an edit.
std::vector<float> Samples(const KFCurve& curve, double from, double to, int count)
{
    std::vector<float> out;
    for (int i = 0; i <= count; ++i) out.push_back(curve.Evaluate(Sec(from + (to - from) * i / count)));
    return out;
}

void ExpectSameShape(const std::vector<float>& a, const std::vector<float>& b, double tolerance)
{
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) EXPECT_NEAR(a[i], b[i], tolerance) << "sample " << i;
}

TEST(KFCurveInsertTest, LinearSegmentGetsALinearKeyOnTheLine)
{
    KFCurve curve;
    Fill(curve, {{0, 0, kFCurveInterpolationLinear, 0}, {1, 10, kFCurveInterpolationLinear, 0}});
    const auto before = Samples(curve, -0.5, 1.5, 40);
    EXPECT_EQ(curve.KeyInsert(Sec(0.5)), 1);
    ASSERT_EQ(curve.KeyGetCount(), 3);
    EXPECT_FLOAT_EQ(curve.KeyGetValue(1), 5.0f);
    EXPECT_EQ(curve.KeyGetInterpolation(1), kFCurveInterpolationLinear);
    ExpectSameShape(before, Samples(curve, -0.5, 1.5, 40), 1e-5);
}

TEST(KFCurveInsertTest, InsertingOnAKeyChangesNothing)
{
    KFCurve curve;
    Fill(curve, {{0, 0}, {1, 3}, {2, 1}});
    EXPECT_EQ(curve.KeyInsert(Sec(1)), 1);
    EXPECT_EQ(curve.KeyGetCount(), 3);
    KFCurve empty;
    empty.SetDefaultValue(2.0f);
    EXPECT_EQ(empty.KeyInsert(Sec(4)), 0);
    EXPECT_EQ(empty.KeyGetValue(0), 2.0f);
}

TEST(KFCurveInsertTest, UserKeyKeepsAnUnweightedCubicSegment)
{
    KFCurve curve;
    Fill(curve, {{0, 0, B, kUser, 1, -2}, {2, 1, B, kUser, 0.5f, 0}});
    const auto before = Samples(curve, 0, 2, 40);
    const float slope = curve.EvaluateLeftDerivative(Sec(0.7));
    const int index = curve.KeyInsert(Sec(0.7));
    ASSERT_EQ(index, 1);
    EXPECT_EQ(curve.KeyGetTangentMode(1), kUser);
    EXPECT_NEAR(curve.ComputeLeftDerivative(1), slope, 1e-5);
    EXPECT_NEAR(curve.ComputeRightDerivative(1), slope, 1e-5);
    // The outer tangents are those of the old segment.
    EXPECT_EQ(curve.ComputeRightDerivative(0), 1.0f);
    EXPECT_EQ(curve.ComputeLeftDerivative(2), -2.0f);
    ExpectSameShape(before, Samples(curve, 0, 2, 40), 1e-5);
}

TEST(KFCurveInsertTest, AppendingAfterTheLastUserKey)
{
    KFCurve curve;
    Fill(curve, {{0, 0, B, kUser, 1, 3}, {1, 1, B, kUser, 0, 0}});
    const float leftSlope = curve.ComputeLeftDerivative(1);
    EXPECT_EQ(curve.KeyInsert(Sec(2)), 2);
    ASSERT_EQ(curve.KeyGetCount(), 3);
    EXPECT_EQ(curve.KeyGetValue(2), 1.0f);  // the held value
    EXPECT_EQ(curve.KeyGetTangentMode(2), kUser);
    EXPECT_EQ(curve.ComputeRightDerivative(1), leftSlope);
}

TEST(KFCurveInsertTest, ExactSplitOfAWeightedSegmentKeepsItsShape)
{
    KFCurve curve;
    Fill(curve, {{0, 0, B, kUser, 2, -1}, {1, 1, B, kUser}});
    curve.KeySetRightWeight(0, 0.2f);
    curve.KeySetLeftWeight(1, 0.6f);
    const auto before = Samples(curve, 0, 1, 50);
    curve.EvaluateCached(Sec(0.3));
    ASSERT_TRUE(curve.KeyInsertKeepShape(nullptr, B, kUser, kExactSplit, true, KTime(kFCurveInfiniteTicks), 0.0));
    ASSERT_EQ(curve.KeyGetCount(), 3);
    EXPECT_TRUE(curve.KeyIsRightWeighted(1));
    // Weights are stored in steps of 1/9999.
    ExpectSameShape(before, Samples(curve, 0, 1, 50), 2e-3);
    // A second exact split where a key already lies is refused.
    curve.EvaluateCached(Sec(0.3));
    EXPECT_FALSE(curve.KeyInsertKeepShape(nullptr, B, kUser, kExactSplit, true, KTime(kFCurveInfiniteTicks), 0.0));
    EXPECT_EQ(curve.KeyGetCount(), 3);
}

TEST(KFCurveInsertTest, ExactSplitKeepsTheSlopesOfAnAutoKeyBefore)
{
    KFCurve curve;
    Fill(curve, {{0, 0}, {1, 1}, {2, 4}, {3, 4}});
    const float left = curve.ComputeLeftDerivative(1), right = curve.ComputeRightDerivative(1);
    const float autoBefore = curve.KeyGetDataFloat(1, 0);
    curve.EvaluateCached(Sec(1.5));
    ASSERT_TRUE(curve.KeyInsertKeepShape(nullptr, B, kFCurveTangentAuto, kExactSplit, true,
                                         KTime(kFCurveInfiniteTicks), 0.0));
    EXPECT_NEAR(curve.ComputeLeftDerivative(1), left, 1e-4);
    EXPECT_NEAR(curve.ComputeRightDerivative(1), right, 1e-4);
    EXPECT_NE(curve.KeyGetDataFloat(1, 0), autoBefore);
}

TEST(KFCurveInsertTest, KeepShapeNeedsACachedValue)
{
    KFCurve curve;
    Fill(curve, {{0, 0}, {1, 1}});
    curve.ResetCache();
    EXPECT_FALSE(curve.KeyInsertKeepShape(nullptr, B, kUser, 0, true, KTime(kFCurveInfiniteTicks), 0.0));
    EXPECT_EQ(curve.KeyGetCount(), 2);
}

TEST(KFCurveInsertTest, KeepShapeAtAnotherTimeKeepsTheCachedValue)
{
    KFCurve curve;
    Fill(curve, {{0, 0, B, kUser}, {2, 2, B, kUser}});
    curve.SetCache(Sec(1), 7.0f);
    int index = -1;
    ASSERT_TRUE(curve.KeyInsertKeepShape(&index, B, kUser, 0, true, Sec(1.5), 0.0));
    EXPECT_EQ(index, 1);
    EXPECT_EQ(curve.KeyGetTime(1), Sec(1.5));
    EXPECT_EQ(curve.KeyGetValue(1), 7.0f);
}

TEST(KFCurveInsertTest, InsertCoefficientsInvertTheTCBRules)
{
    // Key 1 of (0,0) (1,1) (2,4): L = 1, R = 3. With T = 0, C = 0.5, B = 0 the
    // slopes are left 2.5 and right 1.5 (TCB rules); the inversion gives them back.
    KFCurve curve;
    Fill(curve, {{0, 0}, {1, 1}, {2, 4}});
    double t = 0.0, c = 0.0, b = 0.0;
    KFCurveInsertCoefficients(&t, &c, &b, 2.5, 1.5, curve, 1);
    EXPECT_NEAR(t, 0.0, 1e-9);
    EXPECT_NEAR(c, 0.5, 1e-9);
    EXPECT_NEAR(b, 0.0, 1e-9);
    // Flat neighbours with differing slopes have no TCB form: all zero, no NaN.
    KFCurve flat;
    Fill(flat, {{0, 1}, {1, 1}, {2, 1}});
    t = 0.5;
    KFCurveInsertCoefficients(&t, &c, &b, 1.0, -1.0, flat, 1);
    EXPECT_EQ(t, 0.0);
    EXPECT_EQ(c, 0.0);
    EXPECT_EQ(b, 0.0);
}

// --- span replacement ---------------------------------------------------------

TEST(KFCurveReplaceTest, EmptySourceFlattensTheSpanAndHoldsTheOutside)
{
    KFCurve curve;  // 2 t
    Fill(curve, {{0, 0, kFCurveInterpolationLinear, 0}, {4, 8, kFCurveInterpolationLinear, 0}});
    KFCurve source;
    source.SetDefaultValue(5.0f);
    curve.Replace(source, Sec(1), Sec(3), false, true, KTime(0));
    ASSERT_EQ(curve.KeyGetCount(), 6);
    EXPECT_EQ(curve.KeyGetTime(1), KTime(Sec(1).Get() - 1));
    EXPECT_EQ(curve.KeyGetTime(4), KTime(Sec(3).Get() + 1));
    EXPECT_NEAR(curve.KeyGetValue(1), 2.0, 1e-5);
    EXPECT_NEAR(curve.KeyGetValue(4), 6.0, 1e-5);
    for (int k : {2, 3}) {
        SCOPED_TRACE(k);
        EXPECT_EQ(curve.KeyGetValue(k), 5.0f);
        EXPECT_EQ(curve.ComputeLeftDerivative(k), 0.0f);
        EXPECT_EQ(curve.ComputeRightDerivative(k), 0.0f);
    }
    EXPECT_EQ(curve.Evaluate(Sec(2)), 5.0f);
}

TEST(KFCurveReplaceTest, CopiedRunJoinsWithTheOldSlopes)
{
    KFCurve curve;  // auto keys: slope 2 at 1 s, 6 at 3 s
    Fill(curve, {{0, 0}, {1, 1}, {2, 4}, {3, 9}, {4, 16}});
    KFCurve source;
    Fill(source, {{1.5, 100, B, kUser}, {2.0, 150, B, kUser}, {2.5, 200, B, kUser}});
    curve.Replace(source, Sec(1), Sec(3), false, false, KTime(0));
    // Keys at 1 s, 2 s and 3 s went; the copies came in.
    ASSERT_EQ(curve.KeyGetCount(), 5);
    EXPECT_EQ(curve.KeyGetValue(1), 100.0f);
    EXPECT_EQ(curve.KeyGetValue(3), 200.0f);
    EXPECT_NEAR(curve.ComputeLeftDerivative(1), 2.0, 1e-5);
    EXPECT_NEAR(curve.ComputeRightDerivative(3), 6.0, 1e-5);
}

TEST(KFCurveReplaceTest, KeysOnTheSpanEndsGoKeysOneTickOutsideStay)
{
    KFCurve curve;
    const std::int64_t one = Sec(1).Get(), three = Sec(3).Get();
    for (std::int64_t t : {one - 1, one, three, three + 1}) curve.KeyAppendFast(KTime(t), 1.0f);
    KFCurve source;
    Fill(source, {{2, 7}});
    curve.Replace(source, Sec(1), Sec(3), true, false, KTime(0));
    ASSERT_EQ(curve.KeyGetCount(), 3);
    EXPECT_EQ(curve.KeyGetTime(0), KTime(one - 1));
    EXPECT_EQ(curve.KeyGetValue(1), 7.0f);
    EXPECT_EQ(curve.KeyGetTime(2), KTime(three + 1));
}

TEST(KFCurveReplaceTest, OffsetAndMirror)
{
    auto source = [](KFCurve& s) {
        Fill(s, {{1, 30, B, kUser, 2, 3}, {1.5, 40, B, kUser, 4, 5}, {2, 50, B, kUser, 6, 7}});
    };
    KFCurve src;
    source(src);

    KFCurve shifted;
    Fill(shifted, {{0, 0, B, kUser}, {4, 0, B, kUser}});
    shifted.ReplaceOffset(src, Sec(1), Sec(2), 360.0f, 0.0f, false, false, false, false, KTime(0));
    ASSERT_EQ(shifted.KeyGetCount(), 5);
    EXPECT_EQ(shifted.KeyGetValue(1), 390.0f);
    EXPECT_EQ(shifted.KeyGetValue(3), 410.0f);
    EXPECT_EQ(shifted.KeyGetDataFloat(2, 0), 4.0f);

    KFCurve mirrored;
    Fill(mirrored, {{0, 0, B, kUser}, {4, 0, B, kUser}});
    mirrored.ReplaceOffset(src, Sec(1), Sec(2), 180.0f, 0.0f, true, false, false, false, KTime(0));
    EXPECT_EQ(mirrored.KeyGetValue(1), 150.0f);
    EXPECT_EQ(mirrored.KeyGetValue(2), 140.0f);
    // The middle copy keeps its own slopes, with their sign changed.
    EXPECT_EQ(mirrored.KeyGetDataFloat(2, 0), -4.0f);
    EXPECT_EQ(mirrored.KeyGetDataFloat(2, 1), -5.0f);

    KFCurve after;
    Fill(after, {{0, 0, B, kUser}, {4, 10, B, kUser}, {5, 20, B, kUser}});
    after.ReplaceOffset(src, Sec(1), Sec(2), 0.0f, 100.0f, false, false, false, false, KTime(0));
    EXPECT_EQ(after.KeyGetValue(after.KeyGetCount() - 2), 110.0f);
    EXPECT_EQ(after.KeyGetValue(after.KeyGetCount() - 1), 120.0f);
}

TEST(KFCurveReplaceTest, ScaledBlendsTheFactorsAcrossTheSpan)
{
    KFCurve src;
    Fill(src, {{0, 1}, {1, 1}, {2, 1}});
    KFCurve curve;
    curve.ReplaceScaled(src, Sec(0), Sec(2), 1.0f, 3.0f, false, false, KTime(0));
    ASSERT_EQ(curve.KeyGetCount(), 3);
    EXPECT_FLOAT_EQ(curve.KeyGetValue(0), 1.0f);
    EXPECT_FLOAT_EQ(curve.KeyGetValue(1), 2.0f);
    EXPECT_FLOAT_EQ(curve.KeyGetValue(2), 3.0f);
    // A single key: no span to blend over, the start factor holds.
    KFCurve one, single;
    Fill(one, {{1, 2}});
    single.ReplaceScaled(one, Sec(0), Sec(2), 4.0f, 8.0f, false, false, KTime(0));
    ASSERT_EQ(single.KeyGetCount(), 1);
    EXPECT_FLOAT_EQ(single.KeyGetValue(0), 8.0f);
}

}  // namespace
}  // namespace duzsdk
