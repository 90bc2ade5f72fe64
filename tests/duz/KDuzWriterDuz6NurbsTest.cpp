// Curved geometry written and read back: NURBs and patches in their model
// records, NURBS surfaces, curves, trimmed surfaces and boundaries in
// "Geometry" records of their own.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "duz/KDuzWriterDuz6SceneCompare.h"
#include "duz/KDuzWriterDuz6TestSupport.h"
#include "sdk/geometry/KDuzBoundary.h"
#include "sdk/geometry/KDuzNurb.h"
#include "sdk/geometry/KDuzNurbsCurve.h"
#include "sdk/geometry/KDuzNurbsSurface.h"
#include "sdk/geometry/KDuzPatch.h"
#include "sdk/geometry/KDuzTrimNurbsSurface.h"
#include "sdk/scene/KDuzNode.h"

using namespace duzsdk;
using namespace duztest;

namespace {

template <class T>
T* Find(KDuzScene& scene, const char* name) {
    for (int i = 0; i < scene.GetSrcObjectCount(T::ClassId()); ++i) {
        auto* object = dynamic_cast<T*>(scene.GetSrcObject(T::ClassId(), i));
        if (object != nullptr && std::string(object->GetName()) == name) return object;
    }
    return nullptr;
}

KDuzNode* AddSurfaceNode(KDuzScene& scene, KDuzSdkManager* manager, const char* name, KDuzObject* attribute) {
    KDuzNode* node = KDuzNode::Create(manager, name);
    EXPECT_TRUE(scene.GetRootNode()->AddChild(node));
    node->SetNodeAttribute(attribute);
    return node;
}

// A rational 3 x 2 surface of either class: orders 3 and 2, distinct knots.
template <class Surface>
void FillSurface(Surface* surface) {
    surface->SetOrder(3, 2);
    surface->SetStep(5, 2);
    surface->SetSurfaceDisplay(2);
    ASSERT_TRUE(surface->InitControlPoints(3, eNurbOpen, 2, eNurbClosed));
    for (int i = 0; i < 6; ++i) surface->GetControlPoints()[i] = KgeTVector(i, i * 0.5, -i, 1.0 + 0.25 * i);
    for (int i = 0; i < surface->GetUKnotArrayCount(); ++i) surface->GetUKnotVector()[i] = i * 0.5;
    for (int i = 0; i < surface->GetVKnotArrayCount(); ++i) surface->GetVKnotVector()[i] = 10.0 + i;
}

template <class Surface>
void ExpectSameSurface(const Surface* a, const Surface* b) {
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->GetUOrder(), a->GetUOrder());
    EXPECT_EQ(b->GetVOrder(), a->GetVOrder());
    EXPECT_EQ(b->GetUStep(), a->GetUStep());
    EXPECT_EQ(b->GetVStep(), a->GetVStep());
    EXPECT_EQ(b->GetSurfaceDisplay(), a->GetSurfaceDisplay());
    EXPECT_EQ(b->GetNurbUType(), a->GetNurbUType());
    EXPECT_EQ(b->GetNurbVType(), a->GetNurbVType());
    ASSERT_EQ(b->GetControlPointsCount(), a->GetControlPointsCount());
    for (int i = 0; i < a->GetControlPointsCount(); ++i)
        for (int c = 0; c < 4; ++c) EXPECT_DOUBLE_EQ(b->GetControlPoints()[i][c], a->GetControlPoints()[i][c]);
    ASSERT_EQ(b->GetUKnotArrayCount(), a->GetUKnotArrayCount());
    ASSERT_EQ(b->GetVKnotArrayCount(), a->GetVKnotArrayCount());
    for (int i = 0; i < a->GetUKnotArrayCount(); ++i) EXPECT_DOUBLE_EQ(b->GetUKnotVector()[i], a->GetUKnotVector()[i]);
    for (int i = 0; i < a->GetVKnotArrayCount(); ++i) EXPECT_DOUBLE_EQ(b->GetVKnotVector()[i], a->GetVKnotVector()[i]);
}

class Duz6NurbsRoundTrip : public WriterTestBase, public ::testing::WithParamInterface<int> {};
using Duz6NurbsWriter = WriterTestBase;

}  // namespace

TEST_P(Duz6NurbsRoundTrip, CurvedGeometryReadsBackEqual) {
    KDuzNurb* nurb = KDuzNurb::Create(manager, "");
    FillSurface(nurb);
    nurb->GetUMultiplicityVector()[2] = 2;
    AddSurfaceNode(*scene, manager, "nurbNode", nurb);

    KDuzPatch* patch = KDuzPatch::Create(manager, "");
    ASSERT_TRUE(patch->InitControlPoints(4, ePatchBezier, 2, ePatchBSpline));
    patch->SetStep(3, 4);
    patch->SetClosed(false, true);
    patch->SetUCapped(true, false);
    patch->SetVCapped(false, true);
    for (int i = 0; i < 8; ++i) patch->GetControlPoints()[i] = KgeTVector(i, 1, i * i, 1);
    AddSurfaceNode(*scene, manager, "patchNode", patch);

    KDuzNurbsSurface* surface = KDuzNurbsSurface::Create(manager, "");
    FillSurface(surface);
    surface->SetFlipNormals(true);
    AddSurfaceNode(*scene, manager, "surfaceNode", surface);

    // A trimmed surface: its own surface, two regions of boundaries made of
    // curves in parameter space.
    KDuzNurbsSurface* untrimmed = KDuzNurbsSurface::Create(manager, "untrimmed");
    FillSurface(untrimmed);
    ASSERT_TRUE(scene->ConnectSrcObject(untrimmed));
    KDuzTrimNurbsSurface* trimmed = KDuzTrimNurbsSurface::Create(manager, "");
    trimmed->SetNurbsSurface(untrimmed);
    trimmed->SetFlipNormals(true);
    const char* names[] = {"outer", "hole", "island"};
    for (int b = 0; b < 3; ++b) {
        KDuzBoundary* boundary = KDuzBoundary::Create(manager, names[b]);
        KDuzNurbsCurve* curve = KDuzNurbsCurve::Create(manager, (std::string(names[b]) + "Curve").c_str());
        curve->SetOrder(2);
        curve->SetDimension(2);
        ASSERT_TRUE(curve->InitControlPoints(3, eNurbsCurvePeriodic));
        for (int i = 0; i < 3; ++i) curve->GetControlPoints()[i] = KgeTVector(0.1 * i + b, 0.2 * i, 0, i == 1 ? 0.5 : 1);
        for (int i = 0; i < curve->GetKnotArrayCount(); ++i) curve->GetKnotVector()[i] = i;
        ASSERT_TRUE(boundary->ConnectSrcObject(curve));
        ASSERT_TRUE(scene->ConnectSrcObject(curve));
        ASSERT_TRUE(scene->ConnectSrcObject(boundary));
        if (b == 2) trimmed->BeginRegion();
        ASSERT_TRUE(trimmed->AddBoundary(boundary));
    }
    AddSurfaceNode(*scene, manager, "trimNode", trimmed);

    KDuzScene* read = RoundTrip(scene, GetParam(), WriteOptions());
    ASSERT_NE(read, nullptr);

    auto attributeOf = [&](const char* name) {
        KDuzNode* node = nullptr;
        for (int i = 0; i < read->GetNodeCount(); ++i)
            if (std::string(read->GetNode(i)->GetName()) == name) node = read->GetNode(i);
        return node != nullptr ? node->GetNodeAttribute() : nullptr;
    };
    auto* nurbBack = dynamic_cast<KDuzNurb*>(attributeOf("nurbNode"));
    ExpectSameSurface(nurb, nurbBack);
    if (nurbBack != nullptr) {
        EXPECT_EQ(nurbBack->GetUMultiplicityVector()[2], 2);
    }

    auto* patchBack = dynamic_cast<KDuzPatch*>(attributeOf("patchNode"));
    ASSERT_NE(patchBack, nullptr);
    EXPECT_EQ(patchBack->GetPatchUType(), ePatchBezier);
    EXPECT_EQ(patchBack->GetPatchVType(), ePatchBSpline);
    EXPECT_EQ(patchBack->GetUStep(), 3);
    EXPECT_TRUE(patchBack->GetVClosed());
    EXPECT_TRUE(patchBack->GetUCappedBottom());
    EXPECT_TRUE(patchBack->GetVCappedTop());
    ASSERT_EQ(patchBack->GetControlPointsCount(), 8);
    EXPECT_DOUBLE_EQ(patchBack->GetControlPoints()[7][2], 49.0);

    auto* surfaceBack = dynamic_cast<KDuzNurbsSurface*>(attributeOf("surfaceNode"));
    ExpectSameSurface(surface, surfaceBack);
    if (surfaceBack != nullptr) {
        EXPECT_TRUE(surfaceBack->GetFlipNormals());
    }

    auto* trimmedBack = dynamic_cast<KDuzTrimNurbsSurface*>(attributeOf("trimNode"));
    ASSERT_NE(trimmedBack, nullptr);
    EXPECT_TRUE(trimmedBack->GetFlipNormals());
    ExpectSameSurface(untrimmed, trimmedBack->GetNurbsSurface());
    EXPECT_EQ(trimmedBack->GetRegionEnds(), (std::vector<int>{1, 2}));
    KDuzBoundary* island = trimmedBack->GetBoundary(0, 1);
    ASSERT_NE(island, nullptr);
    // The writer numbers the names of geometries without a node.
    EXPECT_EQ(std::string(island->GetName()).rfind("island", 0), 0u) << island->GetName();
    ASSERT_EQ(island->GetCurveCount(), 1);
    const KDuzNurbsCurve* curve = island->GetCurve(0);
    EXPECT_EQ(curve->GetOrder(), 2);
    EXPECT_EQ(curve->GetDimension(), 2);
    EXPECT_EQ(curve->GetCurveType(), eNurbsCurvePeriodic);
    EXPECT_TRUE(curve->GetRationalFlag());
    ASSERT_EQ(curve->GetControlPointsCount(), 3);
    EXPECT_DOUBLE_EQ(curve->GetControlPoints()[1][3], 0.5);
    ASSERT_EQ(curve->GetKnotArrayCount(), 6);
    EXPECT_DOUBLE_EQ(curve->GetKnotVector()[5], 5.0);

    SceneCompare compare(GetParam() == kAscii ? 1e-14 : 0.0);
    const std::vector<std::string> differences = compare.Compare(*scene, *read);
    EXPECT_TRUE(differences.empty()) << JoinLines(differences);
}

INSTANTIATE_TEST_SUITE_P(Formats, Duz6NurbsRoundTrip, ::testing::Values(kBinary, kAscii),
                         [](const ::testing::TestParamInfo<int>& info) { return std::string(FormatName(info.param)); });

// A NURB that asks for a flipped export is written as its U/V-swapped copy;
// the scene's own NURB stays as it was.
TEST_F(Duz6NurbsWriter, NurbWithTheSwapFlagIsWrittenSwapped) {
    KDuzNurb* nurb = KDuzNurb::Create(manager, "");
    FillSurface(nurb);
    nurb->SetSwapUVFlag(true);
    AddSurfaceNode(*scene, manager, "flipped", nurb);
    KDuzScene* read = RoundTrip(scene, kAscii, WriteOptions());
    ASSERT_NE(read, nullptr);
    KDuzNurb* back = nullptr;
    for (int i = 0; i < read->GetNodeCount(); ++i)
        if (std::string(read->GetNode(i)->GetName()) == "flipped") back = dynamic_cast<KDuzNurb*>(read->GetNode(i)->GetNodeAttribute());
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->GetUCount(), 2);
    EXPECT_EQ(back->GetVCount(), 3);
    EXPECT_EQ(back->GetUOrder(), 2);
    EXPECT_EQ(back->GetNurbUType(), eNurbClosed);
    // (1, 0) of the 3 x 2 grid is (0, 1) of the 2 x 3 grid.
    EXPECT_DOUBLE_EQ(back->GetControlPoints()[2][0], 1.0);
    EXPECT_EQ(nurb->GetUCount(), 3);
}
