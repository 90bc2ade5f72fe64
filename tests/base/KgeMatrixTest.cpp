#include "sdk/base/KgeMatrix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <numbers>

#include "KgeTestUtil.h"

namespace duzsdk {
namespace {

using kgetest::AllFinite;
using kgetest::NearArray;

using kgetest::kTrig;
// Decompose-and-recompose goes through atan2/asin of the axes.
constexpr double kRecompose = 1e-9;

KgeMatrix FromRows(std::initializer_list<double> elements) {
    double e[16];
    int i = 0;
    for (double v : elements) {
        e[i++] = v;
    }
    return KgeMatrix(e);
}

TEST(KgeMatrixTest, ConstructionAndElementAccess) {
    const KgeMatrix identity;
    EXPECT_TRUE(NearArray(identity.Data(), {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}, 0.0));

    KgeMatrix m = FromRows({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});
    EXPECT_EQ(m.GetElement(2, 1), 10.0);
    EXPECT_EQ(m.GetElement(3, 3), 16.0);
    EXPECT_EQ(m.GetElement(4, 0), 0.0);
    EXPECT_EQ(m.GetElement(0, -1), 0.0);
    m.SetElement(1, 2, -7.0);
    m.SetElement(4, 4, 99.0);  // ignored
    EXPECT_EQ(m.Data()[6], -7.0);

    const KgeMatrix affine = KgeMatrix::FromAffine(m);
    EXPECT_TRUE(NearArray(affine.Data(), {1, 2, 3, 0, 5, 6, -7, 0, 9, 10, 11, 0, 13, 14, 15, 1}, 0.0));

    KgeMatrix target = FromRows({0, 0, 0, 21, 0, 0, 0, 22, 0, 0, 0, 23, 0, 0, 0, 24});
    target.CopyAffine(m);
    EXPECT_TRUE(NearArray(target.Data(), {1, 2, 3, 21, 5, 6, -7, 22, 9, 10, 11, 23, 13, 14, 15, 24}, 0.0));

    target.SetIdentity();
    EXPECT_TRUE(target.IsEqual(identity));

    const KgeMatrix rotation = KgeMatrix::FromEulerXYZ(0, 0, 90);
    EXPECT_TRUE(NearArray(rotation.Data(), {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}, kTrig));
}

TEST(KgeMatrixTest, Getters) {
    // Axes (0,2,0), (-3,0,0), (0,0,4): a quarter turn about z scaled 2, 3, 4.
    const KgeMatrix m = FromRows({0, 2, 0, 0, -3, 0, 0, 0, 0, 0, 4, 0, 7, 8, 9, 1});
    EXPECT_TRUE(NearArray(m.GetTranslation().Data(), {7, 8, 9, 0}, 0.0));
    EXPECT_TRUE(NearArray(m.GetScaling().Data(), {2, 3, 4, 0}, 0.0));
    EXPECT_TRUE(NearArray(m.GetEulerXYZ().Data(), {0, 0, 90, 0}, 1e-9));
    // 1·(0,2,0) + 1·(-3,0,0) + 1·(0,0,4) + (7,8,9); w of the input is ignored.
    EXPECT_TRUE(NearArray(m.TransformPoint(KgeTVector(1, 1, 1, 5)).Data(), {4, 10, 13, 0}, 0.0));

    const KgeMatrix mirrored = FromRows({-2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1});
    EXPECT_TRUE(NearArray(mirrored.GetScaling().Data(), {-2, -3, -4, 0}, 0.0));
    // Divided by the negative scales the axes are a half turn about x (+-180
    // depending on the sign of a zero element).
    const KgeTVector euler = mirrored.GetEulerXYZ();
    EXPECT_NEAR(std::fabs(euler[0]), 180.0, 1e-9);
    EXPECT_TRUE(NearArray(euler.Data() + 1, {0, 0, 0}, 1e-9));
}

TEST(KgeMatrixTest, MultiplyAffineAppliesTheArgumentFirst) {
    // this: rotate a quarter turn about z; other: move by (10, 0, 0).
    const KgeMatrix rotate = KgeMatrix::FromEulerXYZ(0, 0, 90);
    KgeMatrix move;
    move.SetElement(3, 0, 10);

    // other x this: move first, then rotate: the origin ends at (0, 10, 0).
    const KgeMatrix moveThenRotate = rotate.MultiplyAffine(move);
    EXPECT_TRUE(NearArray(moveThenRotate.TransformPoint(KgeTVector(0, 0, 0, 1)).Data(), {0, 10, 0}, kTrig));
    EXPECT_TRUE(NearArray(moveThenRotate.TransformPoint(KgeTVector(1, 0, 0, 1)).Data(), {0, 11, 0}, kTrig));

    // The other way: rotate first, then move.
    const KgeMatrix rotateThenMove = move.MultiplyAffine(rotate);
    EXPECT_TRUE(NearArray(rotateThenMove.TransformPoint(KgeTVector(1, 0, 0, 1)).Data(), {10, 1, 0}, kTrig));
    // Built into an identity: column 3 is (0, 0, 0, 1).
    const double* d = rotateThenMove.Data();
    EXPECT_TRUE(d[3] == 0.0 && d[7] == 0.0 && d[11] == 0.0 && d[15] == 1.0);
}

TEST(KgeMatrixTest, InverseOrthogonalAndTranspose) {
    const KgeMatrix m = FromRows({0, 2, 0, 0, -4, 0, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1});
    const KgeMatrix inverse = m.InverseOrthogonal();
    EXPECT_TRUE(NearArray(inverse.Data(), {0, -0.25, 0, 0, 0.5, 0, 0, 0, 0, 0, 1, 0, -1, 0.25, -3, 1}, kTrig));
    EXPECT_TRUE(inverse.MultiplyAffine(m).IsEqual(KgeMatrix()));

    const KgeMatrix t = FromRows({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}).Transpose();
    EXPECT_TRUE(NearArray(t.Data(), {1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15, 4, 8, 12, 16}, 0.0));
}

TEST(KgeMatrixTest, EqualityUsesDifferentElementSets) {
    const KgeMatrix a;
    KgeMatrix nearly;
    nearly.SetElement(3, 1, 5e-7);
    EXPECT_TRUE(a.IsEqual(nearly));
    EXPECT_FALSE(a.IsNotEqual(nearly));

    KgeMatrix moved;
    moved.SetElement(3, 1, 2e-6);
    EXPECT_FALSE(a.IsEqual(moved));
    EXPECT_TRUE(a.IsNotEqual(moved));

    // Column 3 only counts for IsEqual: such matrices are neither equal nor
    // not-equal.
    KgeMatrix projective;
    projective.SetElement(0, 3, 1.0);
    EXPECT_FALSE(a.IsEqual(projective));
    EXPECT_FALSE(a.IsNotEqual(projective));
}

TEST(KgeMatrixTest, SetTRSKeepsColumnThree) {
    KgeMatrix m = FromRows({9, 9, 9, 0.5, 9, 9, 9, 0.25, 9, 9, 9, 0.125, 9, 9, 9, 2});
    m.SetTRS(KgeTVector(1, 2, 3, 0), KgeTVector(0, 0, 90, 0), KgeTVector(2, 2, 2, 0));
    EXPECT_TRUE(NearArray(m.Data(), {0, 2, 0, 0.5, -2, 0, 0, 0.25, 0, 0, 2, 0.125, 1, 2, 3, 2}, kTrig));
}

TEST(KgeMatrixTest, ReplacingOnePartKeepsTheOthers) {
    KgeMatrix base;
    base.SetTRS(KgeTVector(1, 2, 3, 0), KgeTVector(10, 20, 30, 0), KgeTVector(2, 3, 4, 0));

    KgeMatrix m = base;
    m.SetTranslationKeepRS(KgeTVector(-5, 6, 7, 0));
    KgeMatrix expected;
    expected.SetTRS(KgeTVector(-5, 6, 7, 0), KgeTVector(10, 20, 30, 0), KgeTVector(2, 3, 4, 0));
    EXPECT_TRUE(NearArray(m.Data(), expected.Data(), 16, kRecompose)) << "translation";

    m = base;
    m.SetRotationKeepTS(KgeTVector(0, 0, 90, 0));
    EXPECT_TRUE(NearArray(m.Data(), {0, 2, 0, 0, -3, 0, 0, 0, 0, 0, 4, 0, 1, 2, 3, 1}, kRecompose)) << "rotation";

    m = base;
    m.SetQuaternionKeepTS(KgeQuaternion(0, 0, std::sqrt(0.5), std::sqrt(0.5)));
    EXPECT_TRUE(NearArray(m.Data(), {0, 2, 0, 0, -3, 0, 0, 0, 0, 0, 4, 0, 1, 2, 3, 1}, kRecompose)) << "quaternion";

    m = base;
    m.SetScalingKeepTR(KgeTVector(1, 1, 1, 0));
    expected = KgeMatrix::FromEulerXYZ(10, 20, 30);
    expected.SetElement(3, 0, 1);
    expected.SetElement(3, 1, 2);
    expected.SetElement(3, 2, 3);
    EXPECT_TRUE(NearArray(m.Data(), expected.Data(), 16, kRecompose)) << "scaling";
}

TEST(KgeMatrixTest, ReplacingPartsOfAMirroredMatrixKeepsTheMirror) {
    KgeMatrix m = FromRows({-2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1});
    m.SetTranslationKeepRS(KgeTVector(5, 6, 7, 0));
    EXPECT_TRUE(NearArray(m.Data(), {-2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 5, 6, 7, 1}, kRecompose));
}

TEST(KgeMatrixTest, CollapsedScaleCanBeRestoredWithoutNaN) {
    // 30 degrees about y, then the x axis scaled to 0: the other two axes still
    // carry the rotation, so giving the scale back restores the full matrix.
    const double c = std::cos(std::numbers::pi / 6), s = std::sin(std::numbers::pi / 6);
    KgeMatrix m = FromRows({0, 0, 0, 0, 0, 1, 0, 0, s, 0, c, 0, 1, 2, 3, 1});
    EXPECT_TRUE(AllFinite(m.GetEulerXYZ().Data(), 4));
    EXPECT_TRUE(NearArray(m.GetEulerXYZ().Data(), {0, 30, 0, 0}, 1e-9));
    m.SetScalingKeepTR(KgeTVector(1, 1, 1, 0));
    EXPECT_TRUE(NearArray(m.Data(), {c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 1, 2, 3, 1}, kRecompose));

    struct Case {
        const char* name;
        KgeMatrix matrix;
    };
    const Case collapsed[] = {
        {"all axes", FromRows({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 5, 6, 1})},
        {"two axes", FromRows({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 4, 5, 6, 1})},
    };
    for (const Case& k : collapsed) {
        SCOPED_TRACE(k.name);
        KgeMatrix r = k.matrix;
        r.SetRotationKeepTS(KgeTVector(0, 0, 90, 0));
        EXPECT_TRUE(AllFinite(r.Data(), 16));
        KgeMatrix q = k.matrix;
        q.SetQuaternionKeepTS(KgeQuaternion(0, 0, 1, 0));
        EXPECT_TRUE(AllFinite(q.Data(), 16));
        KgeMatrix sc = k.matrix;
        sc.SetScalingKeepTR(KgeTVector(1, 1, 1, 0));
        EXPECT_TRUE(AllFinite(sc.Data(), 16));
        EXPECT_TRUE(NearArray(sc.Data() + 12, {4, 5, 6}, 0.0));
        EXPECT_TRUE(AllFinite(k.matrix.InverseOrthogonal().Data(), 16));
    }
}

}  // namespace
}  // namespace duzsdk
