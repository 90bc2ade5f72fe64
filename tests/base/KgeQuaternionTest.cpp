#include "sdk/base/KgeQuaternion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "KgeTestUtil.h"
#include "sdk/base/KgeMath.h"
#include "sdk/base/KgeRotationOrder.h"

namespace duzsdk {
namespace {

using kgetest::AllFinite;
using kgetest::AxisRotation;
using kgetest::Identity;
using kgetest::NearArray;

using kgetest::kTrig;
const double kHalf = std::sqrt(0.5);

TEST(KgeQuaternionTest, ToMatrixOfAQuarterTurnAboutZ) {
    const double q[4] = {0, 0, kHalf, kHalf};
    double m[16];
    Identity(m);
    m[12] = 4.0;
    KgeQuaternionToMatrix(m, q);
    EXPECT_TRUE(NearArray(m, {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 4, 0, 0, 1}, kTrig));

    // The scale 2 / |q|² makes the length of q irrelevant.
    const double longer[4] = {0, 0, 3, 3};
    double m2[16];
    Identity(m2);
    KgeQuaternionToMatrix(m2, longer);
    EXPECT_TRUE(NearArray(m2, {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0}, kTrig));
}

TEST(KgeQuaternionTest, ZeroQuaternionGivesTheIdentity) {
    const double zero[4] = {0, 0, 0, 0};
    double m[16];
    for (double& v : m) {
        v = 3.0;
    }
    KgeQuaternionToMatrix(m, zero);
    EXPECT_TRUE(NearArray(m, {1, 0, 0, 3, 0, 1, 0, 3, 0, 0, 1, 3}, 0.0));
}

TEST(KgeQuaternionTest, MatrixToQuaternionTakesEveryBranch) {
    struct Case {
        const char* name;
        double rows[9];
        double q[4];
    };
    const Case cases[] = {
        {"identity", {1, 0, 0, 0, 1, 0, 0, 0, 1}, {0, 0, 0, 1}},
        {"quarter turn about z", {0, 1, 0, -1, 0, 0, 0, 0, 1}, {0, 0, kHalf, kHalf}},
        {"half turn about x", {1, 0, 0, 0, -1, 0, 0, 0, -1}, {1, 0, 0, 0}},
        {"half turn about y", {-1, 0, 0, 0, 1, 0, 0, 0, -1}, {0, 1, 0, 0}},
        {"half turn about z", {-1, 0, 0, 0, -1, 0, 0, 0, 1}, {0, 0, 1, 0}},
        // Half turn about (1, 1, 0) / sqrt 2: x and y swap, z flips.
        {"half turn about x+y", {0, 1, 0, 1, 0, 0, 0, 0, -1}, {kHalf, kHalf, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        double m[16];
        Identity(m);
        for (int r = 0; r < 3; ++r) {
            for (int col = 0; col < 3; ++col) {
                m[4 * r + col] = c.rows[3 * r + col];
            }
        }
        double q[4];
        KgeMatrixToQuaternion(q, m);
        EXPECT_TRUE(NearArray(q, c.q, 4, kTrig));
        // And back to the same matrix.
        double back[16];
        Identity(back);
        KgeQuaternionToMatrix(back, q);
        EXPECT_TRUE(NearArray(back, m, 16, kTrig));
    }
}

TEST(KgeQuaternionTest, RotationsOfEveryOrderRoundTripThroughQuaternions) {
    // Half turns about each axis reach the later branches of the conversion.
    const double angleSets[][3] = {
        {10, 20, 30}, {-45, 30, 60}, {170, -10, 95}, {90, 45, -90}, {0, 0, 179.99},
        {180, 0, 0},  {0, 180, 0},   {0, 0, 180},    {-30, 150, 400}, {0, 0, 0},
    };
    for (int index : {0, 2, 4, 6, 8, 10, 12}) {
        const KgeRotationOrder order(index);
        for (const auto& a : angleSets) {
            SCOPED_TRACE("order " + std::to_string(index) + " angles " + std::to_string(a[0]) + " " +
                         std::to_string(a[1]) + " " + std::to_string(a[2]));
            double m[16], back[16], q[4];
            Identity(m);
            Identity(back);
            order.EulerToMatrix(m, a);
            KgeMatrixToQuaternion(q, m);
            // Near a half turn w comes from a small difference (1 + trace), so the
            // length drifts by a few 1e-9; the matrix rule's 2 / |q|² absorbs it.
            EXPECT_NEAR(std::sqrt(KgeVector4Dot(q, q)), 1.0, 1e-7);
            KgeQuaternionToMatrix(back, q);
            EXPECT_TRUE(NearArray(back, m, 16, 1e-9));
        }
    }
}

TEST(KgeQuaternionTest, MultiplyIsHamiltonWithTheFirstOnTheLeft) {
    const double i[4] = {1, 0, 0, 0}, j[4] = {0, 1, 0, 0};
    double out[4];
    KgeQuaternionMultiply(out, i, j);
    EXPECT_TRUE(NearArray(out, {0, 0, 1, 0}, 0.0)) << "i j = k";
    KgeQuaternionMultiply(out, j, i);
    EXPECT_TRUE(NearArray(out, {0, 0, -1, 0}, 0.0)) << "j i = -k";

    const double a[4] = {1, 2, 3, 4}, b[4] = {5, 6, 7, 8};
    // (4 + i + 2j + 3k)(8 + 5i + 6j + 7k) worked by hand.
    KgeQuaternionMultiply(out, a, b);
    EXPECT_TRUE(NearArray(out, {24, 48, 48, -6}, 0.0));

    double inPlace[4] = {1, 2, 3, 4};
    KgeQuaternionMultiply(inPlace, inPlace, b);
    EXPECT_TRUE(NearArray(inPlace, {24, 48, 48, -6}, 0.0)) << "out == q1";
    double inPlace2[4] = {5, 6, 7, 8};
    KgeQuaternionMultiply(inPlace2, a, inPlace2);
    EXPECT_TRUE(NearArray(inPlace2, {24, 48, 48, -6}, 0.0)) << "out == q2";
}

TEST(KgeQuaternionTest, MatrixOfAProductAppliesTheRightOperandFirst) {
    // z quarter turn times x quarter turn: x first, then z. Worked out: the
    // product is (1/2)(1, 1, 1, 1), a third of a turn about (1, 1, 1) taking
    // x to y, y to z and z to x.
    const KgeQuaternion z(0, 0, kHalf, kHalf), x(kHalf, 0, 0, kHalf);
    const KgeQuaternion product = z * x;
    EXPECT_TRUE(NearArray(product.Data(), {0.5, 0.5, 0.5, 0.5}, kTrig));
    double m[16];
    Identity(m);
    product.ToMatrix(m);
    EXPECT_TRUE(NearArray(m, {0, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0}, kTrig));
}

TEST(KgeQuaternionTest, FromEulerXYZMatchesTheEulerXYZMatrix) {
    // The quaternion must describe the same rotation as KgeEulerXYZToMatrix.
    const double angleSets[][3] = {{0, 0, 90}, {10, 20, 30}, {30, -60, 80}, {170, 10, -20}};
    for (const auto& a : angleSets) {
        SCOPED_TRACE(std::to_string(a[0]) + " " + std::to_string(a[1]) + " " + std::to_string(a[2]));
        const KgeQuaternion q = KgeQuaternion::FromEulerXYZ(a[0], a[1], a[2]);
        EXPECT_NEAR(q.Length(), 1.0, 1e-15);
        double fromQ[16], direct[16];
        Identity(fromQ);
        Identity(direct);
        q.ToMatrix(fromQ);
        KgeEulerXYZToMatrix(direct, a[0], a[1], a[2]);
        EXPECT_TRUE(NearArray(fromQ, direct, 16, kTrig));
    }
    // Pasted from a short script of the x-then-y-then-z half-angle product.
    const KgeQuaternion q = KgeQuaternion::FromEulerXYZ(10, 20, 30);
    EXPECT_TRUE(NearArray(q.Data(), {0.03813457647485015, 0.18930785741199999, 0.2392983377447303,
                                     0.9515485246437885},
                          kTrig));
}

TEST(KgeQuaternionTest, ToEulerXYZAndRotateYAxis) {
    const KgeQuaternion q(0, 0, kHalf, kHalf);
    double angles[3];
    q.ToEulerXYZ(angles);
    EXPECT_TRUE(NearArray(angles, {0, 0, 90}, 1e-9));

    // A quarter turn about z takes y to -x; about x, y to z.
    double y[3];
    KgeQuaternionRotateYAxis(y, q.Data());
    EXPECT_TRUE(NearArray(y, {-1, 0, 0}, kTrig));
    const double qx[4] = {kHalf, 0, 0, kHalf};
    KgeQuaternionRotateYAxis(y, qx);
    EXPECT_TRUE(NearArray(y, {0, 0, 1}, kTrig));
}

TEST(KgeQuaternionTest, ObjectHelpers) {
    KgeQuaternion identity;
    EXPECT_TRUE(NearArray(identity.Data(), {0, 0, 0, 1}, 0.0));
    const KgeQuaternion q(1, 2, 3, 4);
    EXPECT_TRUE(NearArray(q.Conjugate().Data(), {-1, -2, -3, 4}, 0.0));
    KgeQuaternion zero(0, 0, 0, 0);
    zero.Normalize();
    EXPECT_TRUE(NearArray(zero.Data(), {0, 0, 0, 0}, 0.0));
    KgeQuaternion n(0, 0, 3, 4);
    n.Normalize();
    EXPECT_TRUE(NearArray(n.Data(), {0, 0, 0.6, 0.8}, kTrig));
    KgeQuaternion c(0, 0, 0, 1);
    c[7] = 2.0;  // clamped to w
    EXPECT_EQ(c[3], 2.0);

    double rotation[16];
    AxisRotation(rotation, 1, 40);
    const KgeQuaternion fromMatrix = KgeQuaternion::FromMatrix(rotation);
    double back[16];
    Identity(back);
    fromMatrix.ToMatrix(back);
    EXPECT_TRUE(NearArray(back, rotation, 16, kTrig));
    EXPECT_TRUE(AllFinite(fromMatrix.Data(), 4));
}

}  // namespace
}  // namespace duzsdk
