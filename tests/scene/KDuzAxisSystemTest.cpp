#include "sdk/scene/KDuzAxisSystem.h"

#include "sdk/base/KgeMath.h"
#include "sdk/scene/KDuzRGBAColor.h"
#include "sdk/scene/KDuzSystemUnit.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

namespace duzsdk {
namespace {

struct AxisCase {
    int up, front, coordSystem;
    int upAxis, upSign, frontAxis, frontSign, coordAxis, coordSign;
};

// Every valid argument triple: 3 up axes x 2 signs, 2 fronts x 2 signs, 2 handednesses.
TEST(KDuzAxisSystemTest, ConstructionFollowsTheSignRules) {
    constexpr AxisCase kCases[] = {
        {2, 2, 0, 1, 1, 2, 1, 0, 1},      // Y up, Z front, right-handed
        {2, 2, 1, 1, 1, 2, 1, 0, -1},     // the same, left-handed
        {3, -2, 0, 2, 1, 1, -1, 0, 1},    // Z up, Y front towards -Y
        {1, 1, 0, 0, 1, 1, 1, 2, 1},      // X up, Y front: coordinate Z
        {1, 2, 0, 0, 1, 2, 1, 1, -1},     // X up, Z front
        {-2, 1, 0, 1, -1, 0, 1, 2, 1},    // Y down, X front
        {3, 1, 1, 2, 1, 0, 1, 1, -1},     // Z up, X front, left-handed
    };
    for (const AxisCase& c : kCases) {
        SCOPED_TRACE(testing::Message() << c.up << ", " << c.front << ", " << c.coordSystem);
        const KDuzAxisSystem system(c.up, c.front, c.coordSystem);
        EXPECT_EQ(system.GetUpAxis(), c.upAxis);
        EXPECT_EQ(system.GetUpSign(), c.upSign);
        EXPECT_EQ(system.GetFrontAxis(), c.frontAxis);
        EXPECT_EQ(system.GetFrontSign(), c.frontSign);
        EXPECT_EQ(system.GetCoordAxis(), c.coordAxis);
        EXPECT_EQ(system.GetCoordSign(), c.coordSign);
    }
}

// The handedness query inverts the construction for every valid triple, and
// the right-handed ones really are right-handed: up x front = coordinate.
TEST(KDuzAxisSystemTest, HandednessRoundTripsAndMatchesTheCrossProduct) {
    for (int up : {-3, -2, -1, 1, 2, 3}) {
        for (int front : {-2, -1, 1, 2}) {
            for (int coordSystem : {0, 1}) {
                SCOPED_TRACE(testing::Message() << up << ", " << front << ", " << coordSystem);
                const KDuzAxisSystem system(up, front, coordSystem);
                EXPECT_EQ(system.GetCoordSystem(), coordSystem);
                double u[3] = {0, 0, 0}, f[3] = {0, 0, 0}, c[3] = {0, 0, 0};
                u[system.GetUpAxis()] = system.GetUpSign();
                f[system.GetFrontAxis()] = system.GetFrontSign();
                c[system.GetCoordAxis()] = system.GetCoordSign();
                const double cross[3] = {u[1] * f[2] - u[2] * f[1], u[2] * f[0] - u[0] * f[2],
                                         u[0] * f[1] - u[1] * f[0]};
                const double dot = cross[0] * c[0] + cross[1] * c[1] + cross[2] * c[2];
                EXPECT_EQ(dot, coordSystem == 0 ? 1.0 : -1.0);
            }
        }
    }
}

TEST(KDuzAxisSystemTest, UpVectorCodes) {
    int sign = 0;
    EXPECT_EQ(KDuzAxisSystem(2, 2, 0).GetUpVector(sign), 2);
    EXPECT_EQ(sign, 1);
    EXPECT_EQ(KDuzAxisSystem(-1, 2, 0).GetUpVector(sign), 1);
    EXPECT_EQ(sign, -1);
    EXPECT_EQ(KDuzAxisSystem(3, -2, 0).GetUpVector(sign), 3);
    EXPECT_EQ(sign, 1);
}

TEST(KDuzAxisSystemTest, ArgumentsOutOfRangeGiveTheDefaultConvention) {
    const KDuzAxisSystem expected;
    for (const auto& args : {std::array<int, 3>{0, 1, 0}, {4, 1, 0}, {-7, 1, 0}, {2, 3, 0}, {2, 0, 0},
                             {std::numeric_limits<int>::min(), 1, 0}}) {
        SCOPED_TRACE(testing::Message() << args[0] << ", " << args[1]);
        EXPECT_EQ(KDuzAxisSystem(args[0], args[1], args[2]), expected);
    }
}

TEST(KDuzAxisSystemTest, SetFieldsRefusesInvalidSystems) {
    KDuzAxisSystem system(3, -2, 0);
    const KDuzAxisSystem before = system;
    EXPECT_FALSE(system.SetFields(7, 1, 2, 1, 0, 1));    // axis out of range
    EXPECT_FALSE(system.SetFields(1, 1, 1, 1, 0, 1));    // up and front the same axis
    EXPECT_FALSE(system.SetFields(1, 0, 2, 1, 0, 1));    // sign 0
    EXPECT_FALSE(system.SetFields(1, 1, 2, -2, 0, 1));   // sign -2
    EXPECT_EQ(system, before);
    EXPECT_TRUE(system.SetFields(1, 1, 2, 1, 0, -1));
    EXPECT_EQ(system, KDuzAxisSystem(2, 2, 1));
}

TEST(KDuzAxisSystemTest, PredefinedSystemsAndUnits) {
    EXPECT_EQ(KDuzGetPredefinedAxisSystem(eDuzAxisSystemZUp), KDuzAxisSystem(3, -2, 0));
    EXPECT_EQ(KDuzGetPredefinedAxisSystem(eDuzAxisSystemZUpAlt), KDuzAxisSystem(3, -2, 0));
    for (int i : {eDuzAxisSystemYUp, eDuzAxisSystemYUpAlt, eDuzAxisSystemYUpGL}) {
        EXPECT_EQ(KDuzGetPredefinedAxisSystem(i), KDuzAxisSystem(2, 2, 0));
    }
    for (int i : {eDuzAxisSystemYUpLeft, eDuzAxisSystemYUpLeftAlt}) {
        EXPECT_EQ(KDuzGetPredefinedAxisSystem(i), KDuzAxisSystem(2, 2, 1));
    }
    EXPECT_EQ(KDuzGetPredefinedAxisSystem(-1), KDuzAxisSystem());
    EXPECT_EQ(KDuzGetPredefinedAxisSystem(eDuzAxisSystemPredefinedCount), KDuzAxisSystem());

    EXPECT_EQ(kDuzUnitMillimeter.GetScaleFactor(), 0.1);
    EXPECT_EQ(kDuzUnitCentimeter.GetScaleFactor(), 1.0);
    EXPECT_EQ(kDuzUnitMeter.GetScaleFactor(), 100.0);
    EXPECT_EQ(kDuzUnitKilometer.GetScaleFactor(), 100000.0);
    EXPECT_EQ(kDuzUnitInch.GetScaleFactor(), 2.54);
    EXPECT_EQ(kDuzUnitFoot.GetScaleFactor(), 30.48);
    EXPECT_EQ(kDuzUnitYard.GetScaleFactor(), 91.44);
    EXPECT_EQ(kDuzUnitMile.GetScaleFactor(), 160934.721869444);
}

// The Collada reader turns orientation quaternions into XYZ Euler angles.
TEST(KDuzAxisSystemTest, QuaternionToEulerXYZ) {
    const double half = std::sqrt(0.5);
    double angles[3] = {};
    const double aboutX[4] = {half, 0.0, 0.0, half};   // 90 degrees about X
    KgeQuaternionToEulerXYZ(angles, aboutX);
    EXPECT_NEAR(angles[0], 90.0, 1e-9);
    EXPECT_NEAR(angles[1], 0.0, 1e-9);
    EXPECT_NEAR(angles[2], 0.0, 1e-9);
    const double aboutZ[4] = {0.0, 0.0, half, half};
    KgeQuaternionToEulerXYZ(angles, aboutZ);
    EXPECT_NEAR(angles[0], 0.0, 1e-9);
    EXPECT_NEAR(angles[1], 0.0, 1e-9);
    EXPECT_NEAR(angles[2], 90.0, 1e-9);
}

TEST(KDuzRGBAColorTest, EverySetterClamps) {
    EXPECT_EQ(KDuzRGBAColor(), KDuzRGBAColor(1, 1, 1, 1));
    const KDuzRGBAColor clamped(1.5, -0.2, 0.5, 2);
    EXPECT_EQ(clamped.mRed, 1.0);
    EXPECT_EQ(clamped.mGreen, 0.0);
    EXPECT_EQ(clamped.mBlue, 0.5);
    EXPECT_EQ(clamped.mAlpha, 1.0);

    KDuzRGBAColor raw;
    raw.mRed = 3.0;   // a raw record, as a camera's frame colour keeps it
    raw.mGreen = std::numeric_limits<double>::quiet_NaN();
    KDuzRGBAColor assigned;
    assigned.Assign(raw);
    EXPECT_EQ(assigned, KDuzRGBAColor(1, 0, 1, 1));

    EXPECT_EQ(KDuzClampDouble(-1.0, 0.0, 2.0), 0.0);
    EXPECT_EQ(KDuzClampDouble(3.0, 0.0, 2.0), 2.0);
    EXPECT_EQ(KDuzClampDouble(1.5, 0.0, 2.0), 1.5);
}

}  // namespace
}  // namespace duzsdk
