// Slopes on each side of a key: auto parameters, TCB, clamping, user
// derivatives, weights and the conversions between them.

#include <gtest/gtest.h>

#include "KFCurveTestUtil.h"

namespace duzsdk {
namespace {

using test::Fill;
using test::Sec;

constexpr double kTangentTolerance = 1e-5;
using test::B;

// Keys (0,0) (1,1) (2,4): chords at key 1 are L = 1, R = 3.
void ThreeKeys(KFCurve& curve, std::uint32_t mode, float data0 = 0.0f, float data1 = 0.0f)
{
    Fill(curve, {{0, 0}, {1, 1, B, mode, data0, data1}, {2, 4}});
}

TEST(KFCurveTangentTest, AutoParameterBlendsTheChords)
{
    struct Case {
        float autoRight;
        double expected;
    };
    // B(x) = ((100 - x)/100 L + (x + 100)/100 R) / 2 with L = 1, R = 3.
    const Case cases[] = {
        {0.0f, 2.0},      // the mean
        {100.0f, 3.0},    // own chord
        {-100.0f, 1.0},   // other chord
        {50.0f, 2.5},     // (0.5 + 4.5) / 2
        {500.0f, 7.0},    // linear part still: (-4 + 18) / 2
        // Beyond +-500 a quadratic term M ((|x| - 500) / 500)^2 joins; with the
        // own chord above the other, M is +1000 above 500 and -1000 below -500.
        {750.0f, 259.5},   // (-6.5 + 25.5) / 2 + 250
        {-750.0f, -255.5}, // (8.5 - 19.5) / 2 - 250
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.autoRight);
        KFCurve curve;
        ThreeKeys(curve, kFCurveTangentAuto, c.autoRight);
        EXPECT_NEAR(curve.ComputeRightDerivative(1), c.expected, 1e-4);
    }
}

TEST(KFCurveTangentTest, AutoAndDerivativeConvertBothWays)
{
    KFCurve curve;
    ThreeKeys(curve, kFCurveTangentAuto);
    for (double x : {-900.0, -600.0, -200.0, 0.0, 37.5, 300.0, 650.0, 1200.0}) {
        SCOPED_TRACE(x);
        const float right = KFCurveAutoToRightDerivative(x, curve, 1);
        EXPECT_NEAR(KFCurveRightDerivativeToAuto(right, curve, 1), x, 1e-3 * std::max(1.0, std::fabs(x)));
        const float left = KFCurveAutoToLeftDerivative(x, curve, 1);
        EXPECT_NEAR(KFCurveLeftDerivativeToAuto(left, curve, 1), x, 1e-3 * std::max(1.0, std::fabs(x)));
    }
    // Equal chords leave nothing to blend: the parameter is 0.
    KFCurve straight;
    Fill(straight, {{0, 0}, {1, 1}, {2, 2}});
    EXPECT_EQ(KFCurveRightDerivativeToAuto(1.0, straight, 1), 0.0f);
    // A slope no branch reaches gives the branch limit, not NaN.
    EXPECT_FALSE(std::isnan(KFCurveRightDerivativeToAuto(-1e12, curve, 1)));
    KFCurve empty;
    EXPECT_EQ(KFCurveAutoToRightDerivative(50.0, empty, 0), 0.0f);
}

TEST(KFCurveTangentTest, SettingADerivativeOnAnAutoKeyStoresTheMatchingParameter)
{
    KFCurve curve;
    ThreeKeys(curve, kFCurveTangentAuto);
    curve.KeySetRightDerivative(1, 2.5f);
    EXPECT_NEAR(curve.KeyGetDataFloat(1, 0), 50.0, 1e-3);
    EXPECT_NEAR(curve.ComputeRightDerivative(1), 2.5, 1e-5);
    curve.KeySetLeftDerivative(1, 1.5f);
    EXPECT_NEAR(curve.ComputeLeftDerivative(1), 1.5, 1e-5);
    EXPECT_NEAR(curve.KeyGetLeftAuto(1), 50.0, 1e-3);  // (200 * 1.5 - 400) / (1 - 3)
}

TEST(KFCurveTangentTest, ClampedAutoKeyIsFlatNextToAnEqualNeighbour)
{
    KFCurve curve;
    Fill(curve, {{0, 1}, {1, 1, B, kFCurveTangentAuto | kFCurveTangentClamp}, {2, 5}});
    bool left = false, right = false;
    curve.KeyIsClamped(1, &left, &right);
    EXPECT_TRUE(left);
    EXPECT_TRUE(right);
    EXPECT_EQ(curve.ComputeLeftDerivative(1), 0.0f);
    EXPECT_EQ(curve.ComputeRightDerivative(1), 0.0f);
    // With a break only the equal side is flat.
    curve.KeySetTangentMode(1, kFCurveTangentAutoBreak | kFCurveTangentClamp);
    curve.KeyIsClamped(1, &left, &right);
    EXPECT_TRUE(left);
    EXPECT_FALSE(right);
    EXPECT_NEAR(curve.ComputeRightDerivative(1), 2.0, kTangentTolerance);  // mean of L = 0 and R = 4
}

TEST(KFCurveTangentTest, TCBSlopes)
{
    struct Case {
        float t, c, b;
        double right, left;
    };
    // L = 1, R = 3. Right: (1-T)/2 ((1+B)(1+C) L + (1-B)(1-C) R);
    // left: (1-T)/2 ((1-C)(1+B) L + (1+C)(1-B) R).
    const Case cases[] = {
        {0, 0, 0, 2.0, 2.0},
        {1, 0, 0, 0.0, 0.0},
        {0.5f, 0, 0, 1.0, 1.0},
        {0, 0.5f, 0, 0.5 * (1.5 + 1.5), 0.5 * (0.5 + 4.5)},
        {0, 0, 0.5f, 0.5 * (1.5 + 1.5), 0.5 * (1.5 + 1.5)},
        {0, 0, -1, 3.0, 3.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.t << " " << c.c << " " << c.b);
        KFCurve curve;
        Fill(curve, {{0, 0}});
        curve.KeySetTCB(1, Sec(1), 1.0f, c.t, c.c, c.b);
        Fill(curve, {{2, 4}});
        EXPECT_NEAR(curve.ComputeRightDerivative(1), c.right, kTangentTolerance);
        EXPECT_NEAR(curve.ComputeLeftDerivative(1), c.left, kTangentTolerance);
    }
}

TEST(KFCurveTangentTest, UserAndBreakSides)
{
    KFCurve curve;
    // Key 1's left side lives on key 0 (data1); its right side on key 1 (data0).
    Fill(curve, {{0, 0, B, kFCurveTangentUser, 0, 7}, {1, 1, B, kFCurveTangentUserBreak, -3, 0}, {2, 4}});
    EXPECT_EQ(curve.ComputeLeftDerivative(1), 7.0f);
    EXPECT_EQ(curve.ComputeRightDerivative(1), -3.0f);
    // A user (not broken) key: setting the left side sets the right side too.
    curve.KeySetTangentMode(1, kFCurveTangentUser);
    curve.KeySetLeftDerivative(1, 2.0f);
    EXPECT_EQ(curve.ComputeLeftDerivative(1), 2.0f);
    EXPECT_EQ(curve.ComputeRightDerivative(1), 2.0f);
    // The last key's right slope is its left slope; the first key's left its right.
    EXPECT_EQ(curve.ComputeRightDerivative(2), curve.ComputeLeftDerivative(2));
    EXPECT_EQ(curve.ComputeLeftDerivative(0), curve.ComputeRightDerivative(0));
}

TEST(KFCurveTangentTest, LeftSideOfThePositionPastTheLastKeyIsStoredAsGiven)
{
    KFCurve curve;
    Fill(curve, {{0, 0}, {1, 1}});
    curve.KeySetLeftAuto(2, 5.0f);
    EXPECT_EQ(curve.KeyGetDataFloat(1, 1), 5.0f);
    curve.KeySetLeftDerivative(2, -2.0f);
    EXPECT_EQ(curve.KeyGetDataFloat(1, 1), -2.0f);
    curve.KeySetLeftAuto(3, 9.0f);  // beyond: nothing
    EXPECT_EQ(curve.KeyGetCount(), 2);
}

TEST(KFCurveTangentTest, WeightRules)
{
    KFCurve curve;
    Fill(curve, {{0, 0, kFCurveInterpolationLinear, 0}, {1, 1}, {2, 4}});
    curve.KeySetRightWeight(0, 0.5f);  // linear: nothing
    EXPECT_FALSE(curve.KeyIsRightWeighted(0));
    EXPECT_EQ(curve.KeyGetRightWeight(0), kFCurveDefaultWeight);
    curve.KeySetRightWeight(1, 0.5f);
    EXPECT_TRUE(curve.KeyIsRightWeighted(1));
    EXPECT_NEAR(curve.KeyGetRightWeight(1), 0.5, 1e-4);
    curve.KeySetLeftWeight(2, 0.25f);
    EXPECT_TRUE(curve.KeyIsLeftWeighted(2));
    EXPECT_NEAR(curve.KeyGetLeftWeight(2), 0.25, 1e-4);
    // The last key's right weight is 1/3 whatever its flags.
    curve.KeySetWeightMode(2, kFCurveWeightedRight);
    EXPECT_EQ(curve.KeyGetRightWeight(2), kFCurveDefaultWeight);
}

TEST(KFCurveTangentTest, BezierControlValuesAndFlatAuto)
{
    KFCurve curve;
    ThreeKeys(curve, kFCurveTangentAuto);
    // Slope 2 at key 1 and one-second spans: 1 + 2/3 and 1 - 2/3.
    EXPECT_NEAR(curve.KeyGetRightBezierValue(1), 1.0 + 2.0 / 3.0, kTangentTolerance);
    EXPECT_NEAR(curve.KeyGetLeftBezierValue(1), 1.0 - 2.0 / 3.0, kTangentTolerance);
    EXPECT_EQ(curve.KeyGetRightBezierValue(2), 4.0f);
    EXPECT_TRUE(curve.KeyIsFlatAuto(1));
    curve.KeySetRightAuto(1, 20.0f);
    EXPECT_FALSE(curve.KeyIsFlatAuto(1));
}

TEST(KFCurveTangentTest, RemovingAKeyKeepsTheIncomingSideOfTheNext)
{
    KFCurve curve;
    Fill(curve, {{0, 0, B, kFCurveTangentUser, 1, 2},
                 {1, 1, B, kFCurveTangentUser, 3, 4},
                 {2, 4, B, kFCurveTangentUser, 5, 6}});
    EXPECT_EQ(curve.ComputeLeftDerivative(2), 4.0f);
    ASSERT_TRUE(curve.KeyRemove(1));
    EXPECT_EQ(curve.ComputeLeftDerivative(1), 4.0f);
    EXPECT_EQ(curve.ComputeRightDerivative(0), 1.0f);
}

TEST(KFCurveTangentTest, TangentInfoRoundTrip)
{
    KFCurve curve;
    Fill(curve, {{0, 0, B, kFCurveTangentUser}, {1, 1, B, kFCurveTangentUserBreak}, {2, 4, B, kFCurveTangentUser}});
    KFCurveTangentInfo info;
    info.mDerivative = 1.25f;
    info.mWeight = 0.4f;
    info.mWeighted = true;
    info.mVelocity = 0.2f;
    info.mHasVelocity = true;
    curve.KeySetRightTangentInfo(1, info);
    const KFCurveTangentInfo back = curve.KeyGetRightTangentInfo(1);
    EXPECT_EQ(back.mDerivative, 1.25f);
    EXPECT_TRUE(back.mWeighted);
    EXPECT_NEAR(back.mWeight, 0.4, 1e-4);
    EXPECT_TRUE(back.mHasVelocity);
    EXPECT_NEAR(back.mVelocity, 0.2, 1e-4);
    // TCB keys take no tangent information.
    KFCurve tcb;
    tcb.KeySetTCB(0, Sec(0), 0.0f, 0.5f);
    Fill(tcb, {{1, 1}});
    tcb.KeySetRightTangentInfo(0, info);
    EXPECT_EQ(tcb.KeyGetDataFloat(0, 0), 0.5f);
}

}  // namespace
}  // namespace duzsdk
