#include "sdk/base/KgeMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>

#include "KgeTestUtil.h"

namespace duzsdk {
namespace {

using kgetest::AllFinite;
using kgetest::Identity;
using kgetest::NearArray;

// Exact products of small numbers: a tight tolerance only absorbs the
// rounding of sin/cos at multiples of 90 degrees.
constexpr double kExact = 1e-12;

// Rotation of 90 degrees about z (x to y) plus a translation, written out.
void RotZ90Translate(double* m, double tx, double ty, double tz) {
    const double e[16] = {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, tx, ty, tz, 1};
    std::memcpy(m, e, sizeof(e));
}

void Translation(double* m, double tx, double ty, double tz) {
    Identity(m);
    m[12] = tx;
    m[13] = ty;
    m[14] = tz;
}

TEST(KgeMathTest, TransformPointUsesRowsAsAxesAndRowThreeAsTranslation) {
    double m[16];
    RotZ90Translate(m, 10, 20, 30);
    const double p[3] = {1, 2, 3};
    double out[3];
    EXPECT_EQ(KgeMatrixTransformPoint(out, m, p), out);
    // 1·(0,1,0) + 2·(-1,0,0) + 3·(0,0,1) + (10,20,30)
    EXPECT_TRUE(NearArray(out, {8, 21, 33}, 0.0));

    double inPlace[3] = {1, 2, 3};
    KgeMatrixTransformPoint(inPlace, m, inPlace);
    EXPECT_TRUE(NearArray(inPlace, {8, 21, 33}, 0.0));
}

TEST(KgeMathTest, MultiplyAffineAppliesSecondOperandFirst) {
    // a: rotate 90 about z, then move by (10, 0, 0); b: move by (0, 5, 0).
    double a[16], b[16];
    RotZ90Translate(a, 10, 0, 0);
    Translation(b, 0, 5, 0);
    double out[16];
    Identity(out);
    KgeMatrixMultiplyAffine(out, a, b);
    // The origin goes by b to (0, 5, 0), then by a to (-5, 0, 0) + (10, 0, 0).
    EXPECT_TRUE(NearArray(out, {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 5, 0, 0, 1}, kExact));

    // The other way round: a first, then b.
    KgeMatrixMultiplyAffine(out, b, a);
    EXPECT_TRUE(NearArray(out + 12, {10, 5, 0}, kExact));
}

TEST(KgeMathTest, MultiplyAffineLeavesColumnThreeAndAllowsAliasing) {
    double a[16], b[16], expected[16];
    RotZ90Translate(a, 10, 0, 0);
    Translation(b, 0, 5, 0);
    Identity(expected);
    KgeMatrixMultiplyAffine(expected, a, b);

    double out[16];
    for (double& v : out) {
        v = 7.0;
    }
    KgeMatrixMultiplyAffine(out, a, b);
    EXPECT_EQ(out[3], 7.0);
    EXPECT_EQ(out[7], 7.0);
    EXPECT_EQ(out[11], 7.0);
    EXPECT_EQ(out[15], 7.0);

    double aliasA[16], aliasB[16];
    std::memcpy(aliasA, a, sizeof(a));
    KgeMatrixMultiplyAffine(aliasA, aliasA, b);
    EXPECT_TRUE(NearArray(aliasA, expected, 16, 0.0)) << "out == a";
    std::memcpy(aliasB, b, sizeof(b));
    KgeMatrixMultiplyAffine(aliasB, a, aliasB);
    EXPECT_TRUE(NearArray(aliasB, expected, 16, 0.0)) << "out == b";
}

TEST(KgeMathTest, Multiply3x3IsSecondTimesFirstAndTouchesOnlyThe3x3) {
    // a: 90 about z; b: 90 about x. out = b·a: apply b, then a.
    double a[16], b[16];
    kgetest::AxisRotation(a, 2, 90);
    kgetest::AxisRotation(b, 0, 90);
    double out[16];
    for (double& v : out) {
        v = 7.0;
    }
    KgeMatrixMultiply3x3(out, a, b);
    // x: b keeps it, a takes it to y. y: b takes it to z, a keeps it. z: b to -y, a to x.
    EXPECT_TRUE(NearArray(out, {0, 1, 0, 7, 0, 0, 1, 7, 1, 0, 0, 7, 7, 7, 7, 7}, kExact));

    double alias[16];
    std::memcpy(alias, a, sizeof(a));
    KgeMatrixMultiply3x3(alias, alias, b);
    EXPECT_TRUE(NearArray(alias, {0, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0}, kExact)) << "out == a";
    std::memcpy(alias, b, sizeof(b));
    KgeMatrixMultiply3x3(alias, a, alias);
    EXPECT_TRUE(NearArray(alias, {0, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0}, kExact)) << "out == b";
}

TEST(KgeMathTest, Multiply3x3ByTransposeUndoesTheFirstRotation) {
    // b·transpose(a) with b = c·a gives back c.
    double a[16], c[16], b[16];
    kgetest::AxisRotation(a, 1, 30);
    kgetest::AxisRotation(c, 2, 40);
    kgetest::Product3x3(b, c, a);
    double out[16];
    Identity(out);
    KgeMatrixMultiply3x3ByTranspose(out, a, b);
    EXPECT_TRUE(NearArray(out, c, 16, 1e-15));

    KgeMatrixMultiply3x3ByTranspose(b, a, b);
    EXPECT_TRUE(NearArray(b, c, 12, 1e-15)) << "out == b";
}

TEST(KgeMathTest, TransposesInPlace) {
    double m[16];
    for (int i = 0; i < 16; ++i) {
        m[i] = i;
    }
    KgeMatrixTranspose(m, m);
    EXPECT_TRUE(NearArray(m, {0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15}, 0.0));

    for (int i = 0; i < 16; ++i) {
        m[i] = i;
    }
    KgeMatrixTranspose3x3(m, m);
    EXPECT_TRUE(NearArray(m, {0, 4, 8, 3, 1, 5, 9, 7, 2, 6, 10, 11, 12, 13, 14, 15}, 0.0));
}

TEST(KgeMathTest, CompareWithToleranceLooksAtAffineElementsOnly) {
    double a[16], b[16];
    Identity(a);
    Identity(b);
    b[15] = 5.0;  // column 3
    b[13] = 1e-7;
    EXPECT_EQ(KgeMatrixCompare(a, b, 1e-6), 0);
    EXPECT_EQ(KgeMatrixCompareFull(a, b, 1e-6), 1);
    b[13] = 2e-6;
    EXPECT_EQ(KgeMatrixCompare(a, b, 1e-6), 1);
}

TEST(KgeMathTest, CompareWithZeroToleranceIsByteWise) {
    double a[16], b[16];
    Identity(a);
    Identity(b);
    b[15] = 2.0;
    EXPECT_EQ(KgeMatrixCompare(a, b, 0.0), 0) << "element 15 is not compared";
    EXPECT_NE(KgeMatrixCompareFull(a, b, 0.0), 0);

    b[15] = 1.0;
    b[1] = -0.0;  // equal in value, not in bytes
    const int byBytes = KgeMatrixCompare(a, b, 0.0);
    EXPECT_NE(byBytes, 0);
    EXPECT_TRUE(byBytes == -1 || byBytes == 1);
    EXPECT_EQ(KgeMatrixCompare(b, a, 0.0), -byBytes);

    const double u[4] = {1, 2, 3, 4}, v[4] = {1, 2, 3, 9};
    EXPECT_EQ(KgeVector3Compare(u, v, 0.0), 0) << "w is not compared";
    const double w[3] = {1, 2, 3.5};
    EXPECT_EQ(KgeVector3Compare(u, w, 0.6), 0);
    EXPECT_EQ(KgeVector3Compare(u, w, 0.4), 1);
}

TEST(KgeMathTest, InverseOrthogonalHandlesScaledAxes) {
    // Axes (0,2,0), (-4,0,0), (0,0,1) and translation (1,2,3). Each column c of
    // the inverse is axis c / |axis c|²; its translation is -(T x inverse 3x3).
    double m[16] = {0, 2, 0, 0, -4, 0, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1};
    double inv[16];
    Identity(inv);
    KgeMatrixInverseOrthogonal(inv, m);
    EXPECT_TRUE(NearArray(inv, {0, -0.25, 0, 0, 0.5, 0, 0, 0, 0, 0, 1, 0, -1, 0.25, -3, 1}, kExact));

    // m then its inverse gives back a point.
    const double p[3] = {3, -7, 11};
    double q[3];
    KgeMatrixTransformPoint(q, m, p);
    KgeMatrixTransformPoint(q, inv, q);
    EXPECT_TRUE(NearArray(q, {3, -7, 11}, kExact));

    KgeMatrixInverseOrthogonal(m, m);
    EXPECT_TRUE(NearArray(m, inv, 16, 0.0)) << "out == m";
}

TEST(KgeMathTest, InverseOrthogonalOfACollapsedAxisGivesAZeroColumn) {
    double m[16] = {0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 1, 0, 5, 6, 7, 1};
    double inv[16];
    Identity(inv);
    KgeMatrixInverseOrthogonal(inv, m);
    EXPECT_TRUE(AllFinite(inv, 16));
    EXPECT_TRUE(NearArray(inv, {0, 0, 0, 0, 0, 1.0 / 3, 0, 0, 0, 0, 1, 0, 0, -2, -7, 1}, kExact));

    double denormal[16];
    Identity(denormal);
    denormal[0] = 1e-310;
    KgeMatrixInverseOrthogonal(inv, denormal);
    EXPECT_TRUE(AllFinite(inv, 16));
}

TEST(KgeMathTest, MultiplyInverseOrthogonalUndoesTheFirstOperand) {
    // b applies c, then a; b x inverse(a) takes a back off and leaves c.
    double a[16], c[16], b[16];
    RotZ90Translate(a, 1, 2, 3);
    Translation(c, 4, 5, 6);
    Identity(b);
    KgeMatrixMultiplyAffine(b, a, c);  // c first, then a
    double out[16];
    Identity(out);
    KgeMatrixMultiplyInverseOrthogonal(out, a, b);
    EXPECT_TRUE(NearArray(out, c, 16, kExact));

    double aliasA[16], aliasB[16];
    std::memcpy(aliasA, a, sizeof(a));
    KgeMatrixMultiplyInverseOrthogonal(aliasA, aliasA, b);
    EXPECT_TRUE(NearArray(aliasA, c, 15, kExact)) << "out == a";
    std::memcpy(aliasB, b, sizeof(b));
    KgeMatrixMultiplyInverseOrthogonal(aliasB, a, aliasB);
    EXPECT_TRUE(NearArray(aliasB, c, 15, kExact)) << "out == b";
}

TEST(KgeMathTest, ScalingIsSignedByTheDeterminant) {
    struct Case {
        const char* name;
        double m[16];
        double expected[3];
        bool nonNegative;
    };
    const Case cases[] = {
        {"plain", {2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1}, {2, 3, 4}, true},
        {"mirrored", {-2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1}, {-2, -3, -4}, false},
        {"two mirrors", {-2, 0, 0, 0, 0, -3, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1}, {2, 3, 4}, true},
        {"collapsed", {0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1}, {0, 3, 4}, true},
        {"rotated", {0, 2, 0, 0, -3, 0, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1}, {2, 3, 4}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        double s[3];
        KgeMatrixGetScaling(s, c.m);
        EXPECT_TRUE(NearArray(s, c.expected, 3, 0.0));
        EXPECT_EQ(KgeMatrixHasNonNegativeDeterminant(c.m), c.nonNegative);
    }
}

TEST(KgeMathTest, SplitScaleRotationSeparatesUnsignedScale) {
    double m[16] = {0, 2, 0, 0, -3, 0, 0, 0, 0, 0, 4, 0, 7, 8, 9, 1};
    double t[3], s[3], r[16];
    Identity(r);
    KgeMatrixSplitScaleRotation(t, r, s, m);
    EXPECT_TRUE(NearArray(t, {7, 8, 9}, 0.0));
    EXPECT_TRUE(NearArray(s, {2, 3, 4}, 0.0));
    EXPECT_TRUE(NearArray(r, {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}, 0.0));

    // A collapsed axis is rebuilt from the other two instead of dividing by 0.
    double flat[16] = {0, 0, 0, 0, -3, 0, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1};
    KgeMatrixSplitScaleRotation(t, r, s, flat);
    EXPECT_TRUE(NearArray(s, {0, 3, 4}, 0.0));
    EXPECT_TRUE(NearArray(r, {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0}, kExact));
}

TEST(KgeMathTest, RotationAxesNeverProduceNaN) {
    struct Case {
        const char* name;
        double m[16];
        double expectedAxes[9];
    };
    const double c30 = std::cos(std::numbers::pi / 6), s30 = std::sin(std::numbers::pi / 6);
    // 30 degrees about y: x -> (c, 0, -s), z -> (s, 0, c).
    const Case cases[] = {
        {"x collapsed", {0, 0, 0, 0, 0, 2, 0, 0, 3 * s30, 0, 3 * c30, 0, 0, 0, 0, 1},
         {c30, 0, -s30, 0, 1, 0, s30, 0, c30}},
        {"y collapsed", {c30, 0, -s30, 0, 0, 0, 0, 0, s30, 0, c30, 0, 0, 0, 0, 1},
         {c30, 0, -s30, 0, 1, 0, s30, 0, c30}},
        {"two collapsed", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 0, 0, 0, 0, 1}, {1, 0, 0, 0, 1, 0, 0, 0, 1}},
        {"all collapsed", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 1}, {1, 0, 0, 0, 1, 0, 0, 0, 1}},
        {"parallel and collapsed", {0, 0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 0, 0, 1},
         {1, 0, 0, 0, 1, 0, 0, 1, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        double scale[3];
        KgeMatrixGetScaling(scale, c.m);
        double axes[16];
        Identity(axes);
        KgeMatrixGetRotationAxes(axes, c.m, scale);
        EXPECT_TRUE(AllFinite(axes, 16));
        const double got[9] = {axes[0], axes[1], axes[2], axes[4], axes[5], axes[6], axes[8], axes[9], axes[10]};
        EXPECT_TRUE(NearArray(got, c.expectedAxes, 9, kExact));
        double euler[3];
        KgeMatrixToEulerXYZUnscaled(euler, c.m);
        EXPECT_TRUE(AllFinite(euler, 3));
    }
}

TEST(KgeMathTest, ComposeTRSScalesThenRotatesThenTranslates) {
    // T (1, 2, 3), R (0, 0, 90), S (2, 2, 2): x goes to 2y, y to -2x.
    const double t[3] = {1, 2, 3}, r[3] = {0, 0, 90}, s[3] = {2, 2, 2};
    double m[16];
    for (double& v : m) {
        v = 9.0;
    }
    KgeMatrixComposeTRS(m, t, r, s);
    EXPECT_TRUE(NearArray(m, {0, 2, 0, 0, -2, 0, 0, 0, 0, 0, 2, 0, 1, 2, 3, 1}, kExact));

    // Different scales per axis stay with their axis through the rotation.
    const double s2[3] = {2, 3, 4};
    const double q[4] = {0, 0, std::sqrt(0.5), std::sqrt(0.5)};  // 90 about z
    KgeMatrixComposeTQS(m, t, q, s2);
    EXPECT_TRUE(NearArray(m, {0, 2, 0, 0, -3, 0, 0, 0, 0, 0, 4, 0, 1, 2, 3, 1}, kExact));
}

TEST(KgeMathTest, ScaleRowsLeavesRowThree) {
    double m[16];
    for (int i = 0; i < 16; ++i) {
        m[i] = 1.0;
    }
    const double s[3] = {2, 3, 4};
    KgeMatrixScaleRows(m, m, s);
    EXPECT_TRUE(NearArray(m, {2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 1, 1, 1, 1}, 0.0));
}

TEST(KgeMathTest, VectorHelpers) {
    const double a[4] = {1, 2, 3, 4}, b[4] = {5, 6, 7, 8};
    EXPECT_EQ(KgeVector4Dot(a, b), 70.0);
    double out[4];
    KgeVector4Add(out, a, b);
    EXPECT_TRUE(NearArray(out, {6, 8, 10, 12}, 0.0));
    KgeVector4Scale(out, a, -2);
    EXPECT_TRUE(NearArray(out, {-2, -4, -6, -8}, 0.0));

    const double v[4] = {0, 3, 0, 4};
    KgeVector4Normalize(out, v);
    EXPECT_TRUE(NearArray(out, {0, 0.6, 0, 0.8}, kExact));

    double v3[4] = {3, 0, 4, 99};
    KgeVector3Normalize(v3, v3);
    EXPECT_TRUE(NearArray(v3, {0.6, 0, 0.8, 99}, kExact)) << "w is not touched";
}

TEST(KgeMathTest, NormalisingAZeroVectorGivesZero) {
    const double zero[4] = {0, 0, 0, 0};
    double out[4] = {5, 5, 5, 5};
    KgeVector4Normalize(out, zero);
    EXPECT_TRUE(NearArray(out, {0, 0, 0, 0}, 0.0));
    double out3[4] = {5, 5, 5, 5};
    KgeVector3Normalize(out3, zero);
    EXPECT_TRUE(NearArray(out3, {0, 0, 0, 5}, 0.0));
    const double tiny[4] = {1e-320, 0, 0, 0};
    KgeVector4Normalize(out, tiny);
    EXPECT_TRUE(AllFinite(out, 4));
}

}  // namespace
}  // namespace duzsdk
