#include "sdk/geometry/KDuzTrimNurbsSurface.h"

#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KFCurveNode.h"
#include "sdk/geometry/KDuzBoundary.h"
#include "sdk/geometry/KDuzNurbsCurve.h"
#include "sdk/geometry/KDuzNurbsSurface.h"
#include "sdk/geometry/KDuzShape.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace duzsdk {
namespace {

class TrimNurbsSurfaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        manager = KDuzSdkManager::Create();
        ASSERT_NE(manager, nullptr);
        trim = KDuzTrimNurbsSurface::Create(manager, "trim");
        ASSERT_NE(trim, nullptr);
    }
    void TearDown() override { manager->Destroy(); }

    KDuzBoundary* MakeBoundary(const char* name, bool outer) {
        KDuzBoundary* boundary = KDuzBoundary::Create(manager, name);
        boundary->OuterBoundary().Set(outer);
        return boundary;
    }
    static bool IsOuter(KDuzBoundary* boundary) { return boundary->OuterBoundary().Get(); }

    // Connects boundaries directly, as the file reader does, then rebuilds.
    std::vector<KDuzBoundary*> ConnectAndRebuild(const std::vector<bool>& outer) {
        std::vector<KDuzBoundary*> boundaries;
        for (size_t i = 0; i < outer.size(); ++i) {
            std::string name = "b";
            name += std::to_string(i);
            boundaries.push_back(MakeBoundary(name.c_str(), outer[i]));
            EXPECT_TRUE(trim->ConnectSrcObject(boundaries.back()));
        }
        trim->RebuildRegions();
        return boundaries;
    }

    KDuzSdkManager* manager = nullptr;
    KDuzTrimNurbsSurface* trim = nullptr;
};

TEST_F(TrimNurbsSurfaceTest, RebuildGroupsBoundariesIntoRegionsByTheirOuterFlag) {
    struct Case {
        std::vector<bool> outer;
        std::vector<int> ends;
    };
    const Case cases[] = {
        {{true, false, false}, {2}},
        {{true, false, true}, {1, 2}},
        {{false, false}, {1}},   // the first boundary is made outer
        {{true, true, true}, {0, 1, 2}},
        {{}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.outer.size());
        trim->ClearBoundaries();
        std::vector<KDuzBoundary*> b = ConnectAndRebuild(c.outer);
        EXPECT_EQ(trim->GetRegionEnds(), c.ends);
        if (!b.empty()) {
            EXPECT_TRUE(IsOuter(b[0]));
        }
    }
}

TEST_F(TrimNurbsSurfaceTest, BoundaryLookupStaysInsideItsRegion) {
    std::vector<KDuzBoundary*> b = ConnectAndRebuild({true, false, true});   // O1 H1 | O2
    EXPECT_EQ(trim->GetBoundaryCount(0), 2);
    EXPECT_EQ(trim->GetBoundaryCount(1), 1);
    EXPECT_EQ(trim->GetBoundaryCount(2), -1);
    EXPECT_EQ(trim->GetBoundaryCount(-1), -1);
    EXPECT_EQ(trim->GetBoundary(0, 0), b[0]);
    EXPECT_EQ(trim->GetBoundary(1, 0), b[1]);
    EXPECT_EQ(trim->GetBoundary(0, 1), b[2]);
    // Past the region's own boundaries: not the next region's outer loop.
    EXPECT_EQ(trim->GetBoundary(2, 0), nullptr);
    EXPECT_EQ(trim->GetBoundary(1, 1), nullptr);
    EXPECT_EQ(trim->GetBoundary(-1, 0), nullptr);
    EXPECT_EQ(trim->GetBoundary(0, 2), nullptr);
}

TEST_F(TrimNurbsSurfaceTest, AddBoundaryOpensARegionOnlyWhenAsked) {
    EXPECT_FALSE(trim->AddBoundary(nullptr));
    KDuzBoundary* first = MakeBoundary("first", false);
    KDuzBoundary* hole = MakeBoundary("hole", true);
    ASSERT_TRUE(trim->AddBoundary(first));
    EXPECT_EQ(trim->GetRegionEnds(), std::vector<int>{0});
    EXPECT_TRUE(IsOuter(first));
    ASSERT_TRUE(trim->AddBoundary(hole));
    EXPECT_EQ(trim->GetRegionEnds(), std::vector<int>{1});
    EXPECT_FALSE(IsOuter(hole));

    trim->BeginRegion();
    KDuzBoundary* second = MakeBoundary("second", false);
    ASSERT_TRUE(trim->AddBoundary(second));
    EXPECT_EQ(trim->GetRegionEnds(), (std::vector<int>{1, 2}));
    EXPECT_TRUE(IsOuter(second));
    EXPECT_EQ(trim->GetBoundary(0, 1), second);
}

TEST_F(TrimNurbsSurfaceTest, CloneKeepsEveryRegionAndClearRemovesEveryBoundary) {
    std::vector<KDuzBoundary*> b = ConnectAndRebuild({true, false, true, false});
    KDuzNurbsCurve* curve = KDuzNurbsCurve::Create(manager, "edge");
    ASSERT_TRUE(b[2]->ConnectSrcObject(curve));
    KDuzNurbsSurface* surface = KDuzNurbsSurface::Create(manager, "surface");
    trim->SetNurbsSurface(surface);
    trim->SetFlipNormals(true);

    auto* copy = dynamic_cast<KDuzTrimNurbsSurface*>(trim->Clone(2));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->GetNurbsSurface(), surface);
    EXPECT_TRUE(copy->GetFlipNormals());
    EXPECT_EQ(copy->GetRegionEnds(), (std::vector<int>{1, 3}));
    ASSERT_EQ(copy->GetBoundaryCount(1), 2);
    KDuzBoundary* cloned = copy->GetBoundary(0, 1);
    ASSERT_NE(cloned, nullptr);
    EXPECT_NE(cloned, b[2]);
    EXPECT_STREQ(cloned->GetName(), "b2");
    EXPECT_TRUE(IsOuter(cloned));
    EXPECT_FALSE(IsOuter(copy->GetBoundary(1, 1)));
    ASSERT_EQ(cloned->GetCurveCount(), 1);
    EXPECT_NE(cloned->GetCurve(0), curve);

    copy->ClearBoundaries();
    EXPECT_EQ(copy->GetSrcObjectCount(KDuzBoundary::ClassId()), 0);
    EXPECT_EQ(copy->GetRegionCount(), 0);
    EXPECT_EQ(trim->GetSrcObjectCount(KDuzBoundary::ClassId()), 4);
}

TEST_F(TrimNurbsSurfaceTest, ForwardedOperationsWithoutSurfaceReportAndReturnNeutralValues) {
    const int noSurface = KDuzTrimNurbsSurface::eNoNurbsSurface;
    KDuzShape* shape = KDuzShape::Create(manager, "shape");
    KDuzTakeNode* take = nullptr;
    EXPECT_EQ(trim->SetControlPointAt(KgeTVector(), KgeTVector(), 0), nullptr);
    EXPECT_EQ(trim->GetControlPointsCount(), 0);
    EXPECT_FALSE(trim->GetError().HasError());

    const struct {
        const char* name;
        std::function<bool()> neutral;
    } rows[] = {
        {"GetControlPoints", [&] { return trim->GetControlPoints() == nullptr; }},
        {"AddShape", [&] { return trim->AddShape(shape, "s") == -1; }},
        {"ClearShape", [&] { trim->ClearShape(); return true; }},
        {"GetShapeCount", [&] { return trim->GetShapeCount() == 0; }},
        {"GetShape", [&] { return trim->GetShape(0) == nullptr; }},
        {"GetShapeName", [&] { return trim->GetShapeName(0) == nullptr; }},
        {"GetShapeChannel", [&] { return trim->GetShapeChannel(take, 0) == nullptr; }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        trim->GetError().ClearError();
        EXPECT_TRUE(row.neutral());
        EXPECT_EQ(trim->GetError().GetLastErrorIndex(), noSurface);
        EXPECT_STREQ(trim->GetLastErrorString(), "No NURBS surface.");
    }
}

TEST_F(TrimNurbsSurfaceTest, ControlPointsAndShapesAreTheSurfaces) {
    KDuzNurbsSurface* surface = KDuzNurbsSurface::Create(manager, "surface");
    surface->SetOrder(2, 2);
    ASSERT_TRUE(surface->InitControlPoints(2, eNurbOpen, 3, eNurbOpen));
    surface->GetControlPoints()[5] = KgeTVector(1, 2, 3, 1);
    trim->SetNurbsSurface(surface);
    EXPECT_EQ(trim->GetControlPointsCount(), 6);
    EXPECT_EQ(trim->GetControlPoints()[5][1], 2.0);

    KDuzNode* node = KDuzNode::Create(manager, "node");
    node->SetNodeAttribute(trim);
    KDuzShape* shape = KDuzShape::Create(manager, "shape");
    EXPECT_EQ(trim->AddShape(shape, "smile"), 0);
    EXPECT_EQ(surface->GetShapeCount(), 1);
    EXPECT_EQ(trim->GetShape(0), shape);
    EXPECT_STREQ(trim->GetShapeName(0), "smile");
    KDuzTakeNode* take = node->GetDefaultTakeNode();
    ASSERT_NE(take, nullptr);
    EXPECT_NE(trim->GetShapeChannel(take, 0), nullptr);
    EXPECT_TRUE(trim->FindProperty("smile").IsValid());
}

TEST_F(TrimNurbsSurfaceTest, CopyAndCloneLeaveTheSharedSurfacesShapes) {
    KDuzNurbsSurface* surface = KDuzNurbsSurface::Create(manager, "surface");
    trim->SetNurbsSurface(surface);
    KDuzShape* shape = KDuzShape::Create(manager, "shape");
    ASSERT_EQ(surface->AddShape(shape, "smile"), 0);
    KDuzTrimNurbsSurface* target = KDuzTrimNurbsSurface::Create(manager, "target");
    const struct {
        const char* name;
        std::function<KDuzTrimNurbsSurface*()> copy;
    } rows[] = {
        {"Clone", [&] { return dynamic_cast<KDuzTrimNurbsSurface*>(trim->Clone(2)); }},
        {"Copy", [&] { return target->Copy(*trim) ? target : nullptr; }},
        {"Copy again", [&] { return target->Copy(*trim) ? target : nullptr; }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        KDuzTrimNurbsSurface* copy = row.copy();
        ASSERT_NE(copy, nullptr);
        ASSERT_EQ(surface->GetShapeCount(), 1);
        EXPECT_EQ(surface->GetShape(0), shape);
        EXPECT_STREQ(surface->GetShapeName(0), "smile");
        EXPECT_EQ(copy->GetShape(0), shape);
        EXPECT_EQ(manager->GetObjectCount(KDuzShape::ClassId()), 1);
    }
}

}  // namespace
}  // namespace duzsdk
