#include "sdk/geometry/KDuzNurb.h"
#include "sdk/geometry/KDuzNurbsCurve.h"
#include "sdk/geometry/KDuzNurbsSurface.h"
#include "sdk/geometry/KDuzPatch.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"

#include <gtest/gtest.h>

namespace duzsdk {
namespace {

class NurbsTest : public ::testing::Test {
protected:
    void SetUp() override {
        manager = KDuzSdkManager::Create();
        ASSERT_NE(manager, nullptr);
    }
    void TearDown() override { manager->Destroy(); }

    KDuzSdkManager* manager = nullptr;
};

TEST_F(NurbsTest, KnotCountsFollowTypeOrderAndCount) {
    // Order 4, 5 control points in each case; note the curve's reversed type codes.
    struct Row {
        int surfaceType;
        int curveType;
        int knots;
    };
    const Row rows[] = {{eNurbOpen, eNurbsCurveOpen, 9}, {eNurbClosed, eNurbsCurveClosed, 10},
                        {eNurbPeriodic, eNurbsCurvePeriodic, 12}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.knots);
        KDuzNurb* nurb = KDuzNurb::Create(manager, "n");
        nurb->SetOrder(4, 4);
        ASSERT_TRUE(nurb->InitControlPoints(5, row.surfaceType, 5, row.surfaceType));
        EXPECT_EQ(nurb->GetUKnotCount(), row.knots);
        EXPECT_EQ(nurb->GetUKnotArrayCount(), row.knots);
        EXPECT_EQ(nurb->GetVKnotArrayCount(), row.knots);

        KDuzNurbsSurface* surface = KDuzNurbsSurface::Create(manager, "s");
        surface->SetOrder(4, 4);
        ASSERT_TRUE(surface->InitControlPoints(5, row.surfaceType, 5, row.surfaceType));
        EXPECT_EQ(surface->GetVKnotCount(), row.knots);
        EXPECT_EQ(surface->GetVKnotArrayCount(), row.knots);

        KDuzNurbsCurve* curve = KDuzNurbsCurve::Create(manager, "c");
        curve->SetOrder(4);
        ASSERT_TRUE(curve->InitControlPoints(5, row.curveType));
        EXPECT_EQ(curve->GetKnotCount(), row.knots);
        EXPECT_EQ(curve->GetKnotArrayCount(), row.knots);
    }
}

TEST_F(NurbsTest, InitControlPointsSizesPointsZeroesKnotsAndSetsMultiplicitiesToOne) {
    KDuzNurb* nurb = KDuzNurb::Create(manager, "n");
    nurb->SetOrder(2, 3);
    ASSERT_TRUE(nurb->InitControlPoints(3, eNurbOpen, 2, eNurbPeriodic));
    EXPECT_EQ(nurb->GetControlPointsCount(), 6);
    ASSERT_EQ(nurb->GetUKnotArrayCount(), 5);
    ASSERT_EQ(nurb->GetVKnotArrayCount(), 7);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(nurb->GetUKnotVector()[i], 0.0);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(nurb->GetVKnotVector()[i], 0.0);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(nurb->GetUMultiplicityVector()[i], 1);
    for (int i = 0; i < 2; ++i) EXPECT_EQ(nurb->GetVMultiplicityVector()[i], 1);
}

TEST_F(NurbsTest, RefusedCountsLeaveNoCountsWithoutArrays) {
    // Negative counts and grids whose point count overflows an int.
    const int counts[][2] = {{-1, 3}, {3, -2}, {65536, 65536}, {1 << 30, 4}};
    for (const auto& c : counts) {
        SCOPED_TRACE(c[0]);
        KDuzNurb* nurb = KDuzNurb::Create(manager, "n");
        nurb->SetOrder(4, 4);
        ASSERT_TRUE(nurb->InitControlPoints(4, eNurbOpen, 4, eNurbOpen));
        EXPECT_FALSE(nurb->InitControlPoints(c[0], eNurbOpen, c[1], eNurbOpen));
        EXPECT_EQ(nurb->GetUCount(), 0);
        EXPECT_EQ(nurb->GetVCount(), 0);
        EXPECT_EQ(nurb->GetControlPointsCount(), 0);
        EXPECT_EQ(nurb->GetUKnotArrayCount(), 0);
        EXPECT_EQ(nurb->GetUMultiplicityVector(), nullptr);
        EXPECT_EQ(nurb->GetError().GetLastErrorIndex(), KDuzGeometry::eParameterOutOfRange);

        KDuzNurbsSurface* surface = KDuzNurbsSurface::Create(manager, "s");
        EXPECT_FALSE(surface->InitControlPoints(c[0], eNurbOpen, c[1], eNurbOpen));
        EXPECT_EQ(surface->GetUCount(), 0);
        KDuzPatch* patch = KDuzPatch::Create(manager, "p");
        EXPECT_FALSE(patch->InitControlPoints(c[0], ePatchBezier, c[1], ePatchBezier));
        EXPECT_EQ(patch->GetVCount(), 0);
    }
    KDuzNurbsCurve* curve = KDuzNurbsCurve::Create(manager, "c");
    curve->SetOrder(4);
    EXPECT_FALSE(curve->InitControlPoints(-5, eNurbsCurveOpen));
    EXPECT_EQ(curve->GetControlPointsCount(), 0);
    EXPECT_EQ(curve->GetKnotArrayCount(), 0);
}

TEST_F(NurbsTest, CurveIsRationalWhenAWeightDiffersFromOneBeyondTolerance) {
    const struct {
        double weight;
        bool rational;
    } rows[] = {{1.0, false}, {1.0 + 5e-7, false}, {1.00001, true}, {0.5, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.weight);
        KDuzNurbsCurve* curve = KDuzNurbsCurve::Create(manager, "c");
        curve->SetOrder(2);
        ASSERT_TRUE(curve->InitControlPoints(3, eNurbsCurveOpen));
        for (int i = 0; i < 3; ++i) curve->GetControlPoints()[i] = KgeTVector(i, 0, 0, 1);
        curve->GetControlPoints()[1][3] = row.weight;
        EXPECT_EQ(curve->IsRational(), row.rational);
    }
}

TEST_F(NurbsTest, FreshObjectsCarryTheirResetValuesAndTypeCodes) {
    KDuzPatch* patch = KDuzPatch::Create(manager, "p");
    EXPECT_EQ(patch->GetPatchUType(), ePatchLinear);
    EXPECT_EQ(patch->GetPatchVType(), ePatchLinear);
    EXPECT_EQ(patch->GetSurfaceDisplay(), 4);
    KDuzNurbsCurve* curve = KDuzNurbsCurve::Create(manager, "c");
    EXPECT_EQ(curve->GetOrder(), -1);
    EXPECT_EQ(curve->GetDimension(), 3);
    EXPECT_TRUE(curve->GetRationalFlag());
    KDuzNurb* nurb = KDuzNurb::Create(manager, "n");
    EXPECT_EQ(nurb->GetNurbUType(), eNurbOpen);
    EXPECT_EQ(nurb->GetSurfaceDisplay(), 4);
    KDuzNurbsSurface* surface = KDuzNurbsSurface::Create(manager, "s");

    const struct {
        KDuzGeometry* object;
        const char* typeName;
        int attributeType;
    } rows[] = {{nurb, "Nurb", 5}, {surface, "NurbsSurface", 16}, {curve, "NurbsCurve", 13}, {patch, "Patch", 6}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.typeName);
        EXPECT_STREQ(row.object->GetTypeName().Buffer(), row.typeName);
        EXPECT_EQ(row.object->GetAttributeType(), row.attributeType);
        for (int kind : {0, 1, 3}) EXPECT_EQ(row.object->Clone(kind), nullptr);
        KDuzObject* clone = row.object->Clone(2);
        ASSERT_NE(clone, nullptr);
        EXPECT_EQ(clone->GetClassId(), row.object->GetClassId());
        EXPECT_STREQ(clone->GetName(), row.object->GetName());
    }
}

TEST_F(NurbsTest, NurbCloneCopiesEveryField) {
    KDuzNurb* nurb = KDuzNurb::Create(manager, "n");
    nurb->SetOrder(2, 3);
    nurb->SetStep(5, 6);
    nurb->SetSurfaceDisplay(7);
    nurb->SetSwapUVFlag(true);
    ASSERT_TRUE(nurb->InitControlPoints(3, eNurbClosed, 2, eNurbPeriodic));
    for (int i = 0; i < nurb->GetUKnotArrayCount(); ++i) nurb->GetUKnotVector()[i] = i * 0.5;
    for (int i = 0; i < nurb->GetVKnotArrayCount(); ++i) nurb->GetVKnotVector()[i] = i * 2.0;
    nurb->GetUMultiplicityVector()[1] = 2;
    for (int i = 0; i < 6; ++i) nurb->GetControlPoints()[i] = KgeTVector(i, 2 * i, 3 * i, 1 + i);

    auto* copy = dynamic_cast<KDuzNurb*>(nurb->Clone(2));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->GetUOrder(), 2);
    EXPECT_EQ(copy->GetVOrder(), 3);
    EXPECT_EQ(copy->GetUStep(), 5);
    EXPECT_EQ(copy->GetVStep(), 6);
    EXPECT_EQ(copy->GetSurfaceDisplay(), 7);
    EXPECT_TRUE(copy->GetSwapUVFlag());
    EXPECT_FALSE(copy->GetSwapLinksFlag());
    EXPECT_EQ(copy->GetNurbUType(), eNurbClosed);
    EXPECT_EQ(copy->GetNurbVType(), eNurbPeriodic);
    ASSERT_EQ(copy->GetUKnotArrayCount(), nurb->GetUKnotArrayCount());
    for (int i = 0; i < copy->GetUKnotArrayCount(); ++i) EXPECT_EQ(copy->GetUKnotVector()[i], i * 0.5);
    for (int i = 0; i < copy->GetVKnotArrayCount(); ++i) EXPECT_EQ(copy->GetVKnotVector()[i], i * 2.0);
    EXPECT_EQ(copy->GetUMultiplicityVector()[1], 2);
    ASSERT_EQ(copy->GetControlPointsCount(), 6);
    EXPECT_EQ(copy->GetControlPoints()[5][3], 6.0);
}

TEST_F(NurbsTest, SurfaceCopyReplacesItsCurveNodesByClonesOfTheOthers) {
    KDuzNurbsSurface* source = KDuzNurbsSurface::Create(manager, "source");
    source->SetOrder(2, 2);
    ASSERT_TRUE(source->InitControlPoints(2, eNurbOpen, 2, eNurbOpen));
    source->SetFlipNormals(true);
    KDuzNode* curveNode = KDuzNode::Create(manager, "onSurface");
    ASSERT_TRUE(source->ConnectSrcObject(curveNode));

    KDuzNurbsSurface* target = KDuzNurbsSurface::Create(manager, "target");
    KDuzNode* stale = KDuzNode::Create(manager, "stale");
    ASSERT_TRUE(target->ConnectSrcObject(stale));
    ASSERT_TRUE(target->Copy(*source));

    EXPECT_TRUE(target->GetFlipNormals());
    EXPECT_FALSE(target->IsConnectedSrcObject(stale));
    KDuzObject* clone = KDuzPlugGetSrcNode(target, 0);
    ASSERT_NE(clone, nullptr);
    EXPECT_NE(clone, curveNode);
    EXPECT_STREQ(clone->GetName(), "onSurface");
    EXPECT_EQ(KDuzPlugGetSrcNode(target, 1), nullptr);
    EXPECT_EQ(KDuzPlugGetSrcNode(source, 0), curveNode);
}

TEST_F(NurbsTest, PatchCopyKeepsFlagPairsInFieldOrder) {
    KDuzPatch* patch = KDuzPatch::Create(manager, "p");
    ASSERT_TRUE(patch->InitControlPoints(4, ePatchBezier, 7, ePatchBezierQuadric));
    patch->SetStep(3, 2);
    patch->SetClosed(false, true);
    patch->SetUCapped(true, false);
    patch->SetVCapped(false, true);
    auto* copy = dynamic_cast<KDuzPatch*>(patch->Clone(2));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->GetPatchUType(), ePatchBezier);
    EXPECT_EQ(copy->GetPatchVType(), ePatchBezierQuadric);
    EXPECT_EQ(copy->GetUCount(), 4);
    EXPECT_EQ(copy->GetVCount(), 7);
    EXPECT_EQ(copy->GetControlPointsCount(), 28);
    EXPECT_EQ(copy->GetUStep(), 3);
    EXPECT_FALSE(copy->GetUClosed());
    EXPECT_TRUE(copy->GetVClosed());
    EXPECT_TRUE(copy->GetUCappedBottom());
    EXPECT_FALSE(copy->GetUCappedTop());
    EXPECT_TRUE(copy->GetVCappedTop());
}

}  // namespace
}  // namespace duzsdk
