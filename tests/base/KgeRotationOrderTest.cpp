#include "sdk/base/KgeRotationOrder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "KgeTestUtil.h"
#include "sdk/base/KgeMath.h"

namespace duzsdk {
namespace {

using kgetest::AllFinite;
using kgetest::AxisRotation;
using kgetest::Identity;
using kgetest::NearArray;
using kgetest::Product3x3;

// Trigonometry of whole-degree angles: a few ulps per element.
using kgetest::kTrig;
// Degrees recovered through atan2/asin from such matrices.
constexpr double kAngle = 1e-9;

struct OrderRow {
    int index;
    const char* name;
    int axes[3];  // applied first to last
};

// Written out from the meaning of each order, not taken from the code.
constexpr OrderRow kPermutationOrders[] = {
    {0, "XYZ", {0, 1, 2}}, {2, "XZY", {0, 2, 1}}, {4, "YZX", {1, 2, 0}},
    {6, "YXZ", {1, 0, 2}}, {8, "ZXY", {2, 0, 1}}, {10, "ZYX", {2, 1, 0}},
};

constexpr int kAllOrders[] = {0, 2, 4, 6, 8, 10, 12};

void Extract3x3(double* out9, const double* m) {
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            out9[3 * r + c] = m[4 * r + c];
        }
    }
}

TEST(KgeRotationOrderTest, EulerXYZMatchesHandWorkedRotations) {
    struct Case {
        double angles[3];
        double rows[9];
    };
    const Case cases[] = {
        {{0, 0, 90}, {0, 1, 0, -1, 0, 0, 0, 0, 1}},   // x to y
        {{90, 0, 0}, {1, 0, 0, 0, 0, 1, 0, -1, 0}},   // y to z
        {{0, 90, 0}, {0, 0, -1, 0, 1, 0, 1, 0, 0}},   // z to x
        {{90, 90, 0}, {0, 0, -1, 1, 0, 0, 0, -1, 0}}, // y: to z by x, then to x by y
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.angles[0]) + " " + std::to_string(c.angles[1]) + " " +
                     std::to_string(c.angles[2]));
        double m[16];
        Identity(m);
        m[3] = m[12] = 5.0;  // outside the rotation part: must survive
        KgeEulerXYZToMatrix(m, c.angles[0], c.angles[1], c.angles[2]);
        double got[9];
        Extract3x3(got, m);
        EXPECT_TRUE(NearArray(got, c.rows, 9, kTrig));
        EXPECT_EQ(m[3], 5.0);
        EXPECT_EQ(m[12], 5.0);
    }
}

TEST(KgeRotationOrderTest, EachOrderAppliesItsAxesFirstToLast) {
    const double angleSets[][3] = {{10, 25, -40}, {-170, 60, 33}, {45, -75, 120}};
    for (const OrderRow& order : kPermutationOrders) {
        for (const auto& angles : angleSets) {
            SCOPED_TRACE(order.name);
            double first[16], second[16], third[16], expected[16];
            AxisRotation(first, order.axes[0], angles[order.axes[0]]);
            AxisRotation(second, order.axes[1], angles[order.axes[1]]);
            AxisRotation(third, order.axes[2], angles[order.axes[2]]);
            Product3x3(expected, first, second);
            Product3x3(expected, expected, third);

            double m[16];
            Identity(m);
            KgeRotationOrder(order.index).EulerToMatrix(m, angles);
            EXPECT_TRUE(NearArray(m, expected, 16, kTrig));

            int axes[3];
            EXPECT_TRUE(KgeRotationOrder(order.index).GetAxes(axes));
            EXPECT_EQ(axes[0], order.axes[0]);
            EXPECT_EQ(axes[1], order.axes[1]);
            EXPECT_EQ(axes[2], order.axes[2]);
        }
    }
}

TEST(KgeRotationOrderTest, PermutationFormulaForXYZIsTheDirectOne) {
    const double angles[3] = {17, -38, 123};
    double direct[16], byAxes[16];
    Identity(direct);
    Identity(byAxes);
    KgeEulerXYZToMatrix(direct, angles[0], angles[1], angles[2]);
    KgeEulerByAxesToMatrix(byAxes, 0, angles);
    EXPECT_TRUE(NearArray(byAxes, direct, 16, 1e-15));
}

TEST(KgeRotationOrderTest, EveryOrderRoundTripsThroughAMatrix) {
    // Away from the XYZ gimbal band (|y| near 90), where the 0.999999 threshold
    // costs about 3e-4 degrees; exact 90s are covered separately.
    const double angleSets[][3] = {
        {0, 0, 0},      {10, 20, 30},   {-45, 30, 60},   {170, -10, 95},  {-120, 35, 60},
        {90, 45, -90},  {179, 1, -179}, {30, -60, 80},   {5, 80, -150},   {-170, 89, 10},
        {0, 0, 179.9},  {200, 0, 0},    {-30, 150, 400}, {0.001, 0.002, 0.003},
    };
    for (int index : kAllOrders) {
        const KgeRotationOrder order(index);
        for (const auto& angles : angleSets) {
            SCOPED_TRACE("order " + std::to_string(index) + " angles " + std::to_string(angles[0]) +
                         " " + std::to_string(angles[1]) + " " + std::to_string(angles[2]));
            double m[16], rebuilt[16], back[3];
            Identity(m);
            Identity(rebuilt);
            order.EulerToMatrix(m, angles);
            order.MatrixToEuler(back, m);
            EXPECT_TRUE(AllFinite(back, 3));
            order.EulerToMatrix(rebuilt, back);
            EXPECT_TRUE(NearArray(rebuilt, m, 16, 1e-9));
        }
    }
}

TEST(KgeRotationOrderTest, PrincipalAnglesComeBackUnchanged) {
    // Every angle within +-90, so the middle one is inside the range each order
    // returns whichever axis it is.
    const double angleSets[][3] = {{10, 20, 30}, {-45, 30, 60}, {-80, 35, 60}, {5, -85, 70}};
    for (int index : kAllOrders) {
        for (const auto& angles : angleSets) {
            SCOPED_TRACE("order " + std::to_string(index));
            const KgeRotationOrder order(index);
            double m[16], back[3];
            Identity(m);
            order.EulerToMatrix(m, angles);
            order.MatrixToEuler(back, m);
            EXPECT_TRUE(NearArray(back, angles, 3, kAngle));
        }
    }
}

TEST(KgeRotationOrderTest, XYZGimbalFoldsTheFirstAngleAndZeroesTheLast) {
    struct Case {
        const char* name;
        double angles[3];
        double expected[3];
    };
    // At y = 90 only x - z matters; at y = -90 only x + z.
    const Case cases[] = {
        {"straight up", {0, 90, 0}, {0, 90, 0}},
        {"up with x and z", {30, 90, 10}, {20, 90, 0}},
        {"straight down", {0, -90, 0}, {0, -90, 0}},
        {"down with x and z", {30, -90, 10}, {40, -90, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        double m[16], back[3];
        Identity(m);
        KgeEulerXYZToMatrix(m, c.angles[0], c.angles[1], c.angles[2]);
        KgeMatrixToEulerXYZ(back, m);
        EXPECT_TRUE(NearArray(back, c.expected, 3, kAngle));
    }
}

TEST(KgeRotationOrderTest, XYZGimbalThresholdCatchesNearlyVerticalAxes) {
    // Rows (0, 0, 0.9999995 ...): m2 above 0.999999 takes the gimbal path.
    double m[16];
    Identity(m);
    const double m2 = 0.9999995;
    const double rest = std::sqrt(1 - m2 * m2);
    const double rows[9] = {rest, 0, m2, 0, 1, 0, -m2, 0, rest};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            m[4 * r + c] = rows[3 * r + c];
        }
    }
    double angles[3];
    KgeMatrixToEulerXYZ(angles, m);
    EXPECT_EQ(angles[1], -90.0);
    EXPECT_EQ(angles[2], 0.0);
    // x = atan2(-m9, -m8) = atan2(0, m2)
    EXPECT_NEAR(angles[0], 0.0, kAngle);

    // The permutation orders have their own, much tighter, test: XYZ through
    // the axis formulas does not fold this matrix.
    double byAxes[3];
    KgeMatrixToEulerByAxes(byAxes, 0, m);
    EXPECT_GT(byAxes[1], -90.0);
    EXPECT_LT(byAxes[1], -89.9);
}

TEST(KgeRotationOrderTest, PermutationOrdersStayFiniteAtTheirGimbal) {
    for (const OrderRow& order : kPermutationOrders) {
        for (double middle : {90.0, -90.0}) {
            SCOPED_TRACE(std::string(order.name) + " middle " + std::to_string(middle));
            double angles[3];
            angles[order.axes[0]] = 25;
            angles[order.axes[1]] = middle;
            angles[order.axes[2]] = -35;
            const KgeRotationOrder rotation(order.index);
            double m[16], rebuilt[16], back[3];
            Identity(m);
            Identity(rebuilt);
            rotation.EulerToMatrix(m, angles);
            rotation.MatrixToEuler(back, m);
            EXPECT_TRUE(AllFinite(back, 3));
            EXPECT_NEAR(back[order.axes[1]], middle, kAngle);
            rotation.EulerToMatrix(rebuilt, back);
            EXPECT_TRUE(NearArray(rebuilt, m, 16, 1e-9));
        }
    }
}

TEST(KgeRotationOrderTest, SphericOrderTurnsAboutSingleAxesLikeXYZ) {
    const KgeRotationOrder spheric(KgeRotationOrder::kSphericXYZ);
    for (int axis = 0; axis < 3; ++axis) {
        for (double degrees : {35.0, -120.0}) {
            SCOPED_TRACE("axis " + std::to_string(axis) + " degrees " + std::to_string(degrees));
            double angles[3] = {0, 0, 0};
            angles[axis] = degrees;
            double m[16], expected[16];
            Identity(m);
            spheric.EulerToMatrix(m, angles);
            AxisRotation(expected, axis, degrees);
            EXPECT_TRUE(NearArray(m, expected, 16, kTrig));
        }
    }
}

TEST(KgeRotationOrderTest, SphericOrderOfMixedAngles) {
    // Computed independently with a short script of the half-angle quaternion
    // formulas and the quaternion-to-matrix rule (rotation part, row-major).
    const double angles[3] = {10, 20, 30};
    const double expected[9] = {0.8061096664073968,  0.49141126791058803,  -0.3297001235897002,
                                -0.4266938009179933, 0.8687117342495234,   0.2515399034653174,
                                0.41002390903788927, -0.06208774877295452, 0.9099590680187737};
    double m[16];
    Identity(m);
    KgeRotationOrder(12).EulerToMatrix(m, angles);
    double got[9];
    Extract3x3(got, m);
    EXPECT_TRUE(NearArray(got, expected, 9, kTrig));
}

TEST(KgeRotationOrderTest, SphericOrderReportsTheReversedXAxisAs180s) {
    // Both matrices turn x onto -x but differ in the roll about x; the order
    // cannot tell them apart and reports (180, 180, 180) for both.
    const double halfTurnZ[16] = {-1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const double halfTurnY[16] = {-1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1};
    for (const double* m : {halfTurnZ, halfTurnY}) {
        double angles[3];
        KgeRotationOrder(12).MatrixToEuler(angles, m);
        EXPECT_TRUE(NearArray(angles, {180, 180, 180}, 0.0));
    }
}

TEST(KgeRotationOrderTest, UnknownIndicesConvertAsXYZ) {
    const double angles[3] = {10, 20, 30};
    double xyz[16];
    Identity(xyz);
    KgeEulerXYZToMatrix(xyz, angles[0], angles[1], angles[2]);
    for (int index : {1, 3, 11, 13, 14, -2, 1000000}) {
        SCOPED_TRACE(index);
        const KgeRotationOrder order(index);
        int axes[3];
        EXPECT_FALSE(order.GetAxes(axes));
        double m[16], back[3];
        Identity(m);
        order.EulerToMatrix(m, angles);
        EXPECT_TRUE(NearArray(m, xyz, 16, 1e-15));
        order.MatrixToEuler(back, m);
        EXPECT_TRUE(NearArray(back, angles, 3, kAngle));
    }
}

TEST(KgeRotationOrderTest, DegenerateMatricesGiveFiniteAngles) {
    const double zero[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    const double flatX[16] = {0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    // Slightly off a unit rotation, as stored single-precision values are.
    const double offUnit[16] = {-0.99999999989, 1e-6, 2e-6, 0, 0, 1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1};
    for (int index : kAllOrders) {
        for (const double* m : {zero, flatX, offUnit}) {
            SCOPED_TRACE(index);
            double angles[3];
            KgeRotationOrder(index).MatrixToEuler(angles, m);
            EXPECT_TRUE(AllFinite(angles, 3));
        }
    }
}

TEST(KgeRotationOrderTest, ObjectFormsMatchRawForms) {
    const KgeRotationOrder order(8);
    KgeMatrix m;
    order.EulerToMatrix(m, KgeTVector(10, 20, 30, 7));
    double raw[16];
    Identity(raw);
    const double angles[3] = {10, 20, 30};
    order.EulerToMatrix(raw, angles);
    EXPECT_TRUE(NearArray(m.Data(), raw, 16, 0.0));

    KgeTVector back(0, 0, 0, 7);
    order.MatrixToEuler(back, m);
    EXPECT_TRUE(NearArray(back.Data(), {10, 20, 30, 7}, kAngle)) << "w is kept";
}

}  // namespace
}  // namespace duzsdk
