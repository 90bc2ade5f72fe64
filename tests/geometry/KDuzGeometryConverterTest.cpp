#include "sdk/geometry/KDuzGeometryConverter.h"

#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/geometry/KDuzCluster.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzNurb.h"
#include "sdk/geometry/KDuzNurbsCurve.h"
#include "sdk/geometry/KDuzNurbsSurface.h"
#include "sdk/geometry/KDuzPatch.h"
#include "sdk/geometry/KDuzShape.h"
#include "sdk/geometry/KDuzSkin.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzLight.h"
#include "sdk/scene/KDuzNode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <set>
#include <utility>
#include <vector>

namespace duzsdk {
namespace {

using Triangles = std::vector<int>;

std::vector<int> Pattern(int n) {
    std::vector<int> out(static_cast<size_t>(n >= 3 ? 3 * (n - 2) : 0) + 1, -7);
    const int written = KDuzTriangulatePolygonIndices(n, out.data());
    out.resize(static_cast<size_t>(written));
    return out;
}

TEST(TriangulatePolygonIndicesTest, SmallPolygonsFollowTheFrontBackPattern) {
    const std::pair<int, Triangles> rows[] = {
        {3, {0, 1, 2}},
        {4, {0, 1, 2, 2, 3, 0}},
        {5, {0, 1, 2, 2, 3, 0, 0, 3, 4}},
        {6, {0, 1, 2, 2, 3, 0, 0, 3, 5, 3, 4, 5}},
        {7, {0, 1, 2, 2, 3, 0, 0, 3, 6, 3, 4, 6, 6, 4, 5}},
    };
    for (const auto& [n, triangles] : rows) {
        SCOPED_TRACE(n);
        EXPECT_EQ(Pattern(n), triangles);
    }
    EXPECT_TRUE(Pattern(2).empty());
    EXPECT_TRUE(Pattern(0).empty());
}

TEST(TriangulatePolygonIndicesTest, LargePolygonsAreTriangulatedWhole) {
    // Beyond any small fixed buffer: every boundary edge used once, every
    // diagonal twice (once per side), n - 2 triangles.
    for (int n : {8, 9, 173, 1000}) {
        SCOPED_TRACE(n);
        const std::vector<int> t = Pattern(n);
        ASSERT_EQ(t.size(), static_cast<size_t>(3 * (n - 2)));
        std::multiset<std::pair<int, int>> edges;
        for (size_t k = 0; k < t.size(); k += 3) {
            for (int c = 0; c < 3; ++c) {
                const int a = t[k + static_cast<size_t>(c)];
                const int b = t[k + static_cast<size_t>((c + 1) % 3)];
                ASSERT_GE(a, 0);
                ASSERT_LT(a, n);
                edges.insert({std::min(a, b), std::max(a, b)});
            }
        }
        for (const auto& edge : edges) {
            const bool boundary = edge.second - edge.first == 1 || (edge.first == 0 && edge.second == n - 1);
            EXPECT_EQ(edges.count(edge), boundary ? 1u : 2u) << edge.first << "-" << edge.second;
        }
    }
}

class GeometryConverterTest : public ::testing::Test {
protected:
    void SetUp() override {
        manager = KDuzSdkManager::Create();
        ASSERT_NE(manager, nullptr);
        converter = KDuzGeometryConverter::Create(manager, "");
        ASSERT_NE(converter, nullptr);
    }
    void TearDown() override { manager->Destroy(); }

    // Every polygon in group 5, which triangles do not keep.
    static void AddPolygon(KDuzMesh* mesh, std::initializer_list<int> corners) {
        mesh->BeginPolygon(-1, -1, 5, false);
        for (int c : corners) mesh->AddPolygon(c);
    }

    // A 4 x 4 grid patch of the given type, points (u, v, u * v).
    KDuzPatch* MakePatch(int type, int step) {
        KDuzPatch* patch = KDuzPatch::Create(manager, "patch");
        EXPECT_TRUE(patch->InitControlPoints(4, type, 4, type));
        patch->SetStep(step, step);
        for (int v = 0; v < 4; ++v)
            for (int u = 0; u < 4; ++u) patch->GetControlPoints()[v * 4 + u] = KgeTVector(u, v, u * v, 1);
        return patch;
    }

    KDuzSdkManager* manager = nullptr;
    KDuzGeometryConverter* converter = nullptr;
};

TEST_F(GeometryConverterTest, MeshTriangulationCarriesLayersPerCornerAndPerPolygon) {
    KDuzMesh* mesh = KDuzMesh::Create(manager, "mesh");
    mesh->InitControlPoints(7);
    AddPolygon(mesh, {0, 1, 2, 3});     // quad
    AddPolygon(mesh, {4, 5});           // two corners: dropped
    AddPolygon(mesh, {2, 3, 4, 5, 6});  // pentagon
    AddPolygon(mesh, {6, 5, 4});        // triangle
    const int corners = mesh->GetPolygonVertexCount();
    ASSERT_EQ(corners, 14);
    KDuzLayer* layer = mesh->GetLayer(0);
    ASSERT_NE(layer, nullptr);

    // Materials by polygon through indices; UVs by corner through indices;
    // colours by corner, direct; normals by control point.
    KDuzLayerElementMaterial* materials = layer->SetMaterials(KDuzCreateLayerElementMaterial(manager, ""));
    materials->SetMappingMode(KDuzLayerElement::eByPolygon);
    materials->SetReferenceMode(KDuzLayerElement::eIndexToDirect);
    for (int m : {10, 11, 12, 13}) materials->GetIndexArray().Add(m);
    KDuzLayerElementUV* uvs = layer->SetUVsOfType(KDuzCreateLayerElementUV(manager, ""), 3);
    uvs->SetMappingMode(KDuzLayerElement::eByPolygonVertex);
    uvs->SetReferenceMode(KDuzLayerElement::eIndexToDirect);
    for (int i = 0; i < corners; ++i) uvs->GetIndexArray().Add(100 + i);
    KDuzLayerElementVertexColor* colors = layer->SetVertexColors(KDuzCreateLayerElementVertexColor(manager, ""));
    colors->SetMappingMode(KDuzLayerElement::eByPolygonVertex);
    for (int i = 0; i < corners; ++i) colors->GetDirectArray().Add(KDuzRGBAColor(i / 100.0, 0, 0, 1));
    ASSERT_TRUE(mesh->InitNormals());
    for (int i = 0; i < 7; ++i) mesh->GetNormals()[i] = KgeTVector(0, 0, i, 1);

    KDuzMesh* result = converter->TriangulateMesh(mesh);
    ASSERT_NE(result, nullptr);
    // quad: 2, pentagon: 3, triangle: 1.
    ASSERT_EQ(result->GetPolygonCount(), 6);
    const std::vector<int> expectedCorners = {0, 1, 2, 2, 3, 0, 2, 3, 4, 4, 5, 2, 2, 5, 6, 6, 5, 4};
    const std::vector<int> gotCorners(result->GetPolygonVertices(), result->GetPolygonVertices() + 18);
    EXPECT_EQ(gotCorners, expectedCorners);
    for (int p = 0; p < 6; ++p) {
        EXPECT_EQ(result->GetPolygonSize(p), 3);
        EXPECT_EQ(result->GetPolygonGroup(p), -1);
    }
    EXPECT_EQ(mesh->GetPolygonGroup(0), 5);

    KDuzLayer* out = result->GetLayer(0);
    const std::vector<int> expectedMaterials = {10, 10, 12, 12, 12, 13};
    ASSERT_EQ(out->GetMaterials()->GetIndexArray().Count(), 6);
    for (int p = 0; p < 6; ++p) EXPECT_EQ(out->GetMaterials()->GetIndexArray()[p], expectedMaterials[static_cast<size_t>(p)]);
    // The source corner of each new corner: quad 0..3, pentagon 6..10, triangle 11..13.
    const std::vector<int> sourceCorner = {0, 1, 2, 2, 3, 0, 6, 7, 8, 8, 9, 6, 6, 9, 10, 11, 12, 13};
    ASSERT_EQ(out->GetUVs()->GetIndexArray().Count(), 18);
    ASSERT_EQ(out->GetVertexColors()->GetDirectArray().Count(), 18);
    for (int k = 0; k < 18; ++k) {
        EXPECT_EQ(out->GetUVs()->GetIndexArray()[k], 100 + sourceCorner[static_cast<size_t>(k)]) << k;
        EXPECT_DOUBLE_EQ(out->GetVertexColors()->GetDirectArray()[k].mRed, sourceCorner[static_cast<size_t>(k)] / 100.0) << k;
    }
    ASSERT_EQ(out->GetNormals()->GetDirectArray().Count(), 7);
    EXPECT_EQ(out->GetNormals()->GetMappingMode(), KDuzLayerElement::eByControlPoint);
    EXPECT_EQ(out->GetNormals()->GetDirectArray()[6][2], 6.0);
    EXPECT_EQ(result->GetMeshEdgeCount(), 0);
    // The source is untouched.
    EXPECT_EQ(mesh->GetPolygonCount(), 4);
}

TEST_F(GeometryConverterTest, QuadEdgesAreRenumberedAndTheDiagonalAdded) {
    KDuzMesh* mesh = KDuzMesh::Create(manager, "mesh");
    mesh->InitControlPoints(4);
    AddPolygon(mesh, {0, 1, 2, 3});
    ASSERT_TRUE(mesh->SetMeshEdgeCount(5));
    const int edges[] = {0, 1, 2, 3, 99};   // the last names no corner
    for (int e = 0; e < 5; ++e) mesh->SetMeshEdge(e, edges[e]);
    KDuzMesh* result = converter->TriangulateMesh(mesh);
    ASSERT_NE(result, nullptr);
    // Triangles (0,1,2)(2,3,0): edge 0->1 at corner 0, 1->2 at 1, 2->3 at
    // 3, 3->0 at 4; the diagonal 2->0 starts at corner 2.
    const std::vector<int> expected = {0, 1, 3, 4, 2};
    ASSERT_EQ(result->GetMeshEdgeCount(), 5);
    for (int e = 0; e < 5; ++e) EXPECT_EQ(result->GetMeshEdge(e), expected[static_cast<size_t>(e)]) << e;
}

TEST_F(GeometryConverterTest, TriangulatedMeshNodeKeepsItsSkin) {
    KDuzMesh* mesh = KDuzMesh::Create(manager, "mesh");
    mesh->InitControlPoints(4);
    AddPolygon(mesh, {0, 1, 2, 3});
    KDuzSkin* skin = KDuzSkin::Create(manager, "skin");
    ASSERT_TRUE(mesh->ConnectSrcObject(skin));
    KDuzCluster* cluster = KDuzCluster::Create(manager, "cluster");
    cluster->SetLinkMode(KDuzCluster::eNormalize);
    cluster->AddControlPointIndex(3, 0.25);
    ASSERT_TRUE(skin->ConnectSrcObject(cluster));
    KDuzNode* node = KDuzNode::Create(manager, "node");
    node->SetNodeAttribute(mesh);

    ASSERT_TRUE(converter->TriangulateInPlace(node));
    auto* result = dynamic_cast<KDuzMesh*>(node->GetNodeAttribute());
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->GetPolygonCount(), 2);
    auto* kept = dynamic_cast<KDuzSkin*>(result->GetSrcObject(KDuzSkin::ClassId(), 0));
    ASSERT_NE(kept, nullptr);
    ASSERT_EQ(kept->GetClusterCount(), 1);
    const KDuzCluster* copy = kept->GetCluster(0);
    EXPECT_EQ(copy->GetLinkMode(), KDuzCluster::eNormalize);
    ASSERT_EQ(copy->GetControlPointIndicesCount(), 1);
    EXPECT_EQ(copy->GetControlPointIndices()[0], 3);
    EXPECT_EQ(copy->GetControlPointWeights()[0], 0.25);
}

TEST_F(GeometryConverterTest, EveryConversionCarriesEveryClusterFieldAndEverySkin) {
    KDuzNode* bone = KDuzNode::Create(manager, "bone");
    KDuzNode* model = KDuzNode::Create(manager, "model");
    KgeMatrix parent;
    parent.SetElement(3, 2, 4.0);
    // Two skins of one cluster each on control point 0.
    auto skinned = [&](KDuzGeometry* geometry) {
        for (const char* name : {"first", "second"}) {
            KDuzSkin* skin = KDuzSkin::Create(manager, name);
            EXPECT_TRUE(geometry->ConnectSrcObject(skin));
            KDuzCluster* cluster = KDuzCluster::Create(manager, name);
            cluster->SetLink(bone);
            EXPECT_TRUE(cluster->SetAssociateModel(model));
            cluster->SetUserData("id", name);
            cluster->SetTransformParentMatrix(parent);
            cluster->AddControlPointIndex(0, 1.0);
            EXPECT_TRUE(skin->ConnectSrcObject(cluster));
        }
        return geometry;
    };
    auto mesh = [&] {
        KDuzMesh* m = KDuzMesh::Create(manager, "mesh");
        m->InitControlPoints(4);
        AddPolygon(m, {0, 1, 2, 3});
        return m;
    };
    // A flat bilinear 2 x 2 patch of a NURBS kind.
    auto bilinear = [](auto* g) {
        g->SetOrder(2, 2);
        EXPECT_TRUE(g->InitControlPoints(2, eNurbOpen, 2, eNurbOpen));
        const double knots[] = {0, 0, 1, 1};
        std::copy(knots, knots + 4, g->GetUKnotVector());
        std::copy(knots, knots + 4, g->GetVKnotVector());
        g->SetStep(1, 1);
        for (int i = 0; i < 4; ++i) g->GetControlPoints()[i] = KgeTVector(i % 2, i / 2, 0, 1);
        return g;
    };
    auto surface = [&] { return bilinear(KDuzNurbsSurface::Create(manager, "surface")); };
    auto nurb = [&] { return bilinear(KDuzNurb::Create(manager, "nurb")); };
    const struct {
        const char* name;
        std::function<KDuzGeometry*()> convert;
    } rows[] = {
        {"TriangulateMesh", [&] { return converter->TriangulateMesh(static_cast<KDuzMesh*>(skinned(mesh()))); }},
        {"ExpandControlPointsPerPolygonVertex",
         [&]() -> KDuzGeometry* {
             KDuzMesh* m = static_cast<KDuzMesh*>(skinned(mesh()));
             EXPECT_TRUE(m->InitNormals(4));
             return converter->ExpandControlPointsPerPolygonVertex(m) ? m : nullptr;
         }},
        {"TriangulatePatch", [&] { return converter->TriangulatePatch(static_cast<KDuzPatch*>(skinned(MakePatch(ePatchLinear, 1)))); }},
        {"TriangulateNurb", [&] { return converter->TriangulateNurb(static_cast<KDuzNurb*>(skinned(nurb()))); }},
        {"ConvertNurbsSurfaceToNurb",
         [&] { return converter->ConvertNurbsSurfaceToNurb(static_cast<KDuzNurbsSurface*>(skinned(surface()))); }},
        {"SwapNurbUV", [&] { return converter->SwapNurbUV(static_cast<KDuzNurb*>(skinned(nurb())), true, true); }},
        {"SwapNurbsSurfaceUV",
         [&] { return converter->SwapNurbsSurfaceUV(static_cast<KDuzNurbsSurface*>(skinned(surface())), true, true); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        KDuzGeometry* result = row.convert();
        ASSERT_NE(result, nullptr);
        ASSERT_EQ(result->GetDeformerCountOfType(1), 2);
        for (int k = 0; k < 2; ++k) {
            auto* skin = static_cast<KDuzSkin*>(result->GetDeformerOfType(k, 1));
            SCOPED_TRACE(skin->GetName());
            ASSERT_EQ(skin->GetClusterCount(), 1);
            const KDuzCluster* cluster = skin->GetCluster(0);
            EXPECT_EQ(cluster->GetLink(), bone);
            EXPECT_EQ(cluster->GetAssociateModel(), model);
            EXPECT_STREQ(cluster->GetUserData().Buffer(), skin->GetName());
            EXPECT_TRUE(cluster->IsTransformParentSet());
            EXPECT_EQ(cluster->GetStoredTransformParentMatrix().GetElement(3, 2), 4.0);
            EXPECT_GE(cluster->GetControlPointIndicesCount(), 1);
        }
    }
}

TEST_F(GeometryConverterTest, ShortLayerArraysFromAFileDoNotReadPastTheirEnd) {
    KDuzMesh* mesh = KDuzMesh::Create(manager, "mesh");
    mesh->InitControlPoints(5);
    AddPolygon(mesh, {0, 1, 2, 3, 4});
    KDuzLayerElementUV* uvs = mesh->GetLayer(0)->SetUVsOfType(KDuzCreateLayerElementUV(manager, ""), 3);
    uvs->SetMappingMode(KDuzLayerElement::eByPolygonVertex);
    uvs->SetReferenceMode(KDuzLayerElement::eDirect);
    uvs->GetDirectArray().Add(KgeUVVector(0.5, 0.25));   // one entry for five corners
    KDuzLayerElementMaterial* materials = mesh->GetLayer(0)->SetMaterials(KDuzCreateLayerElementMaterial(manager, ""));
    materials->SetMappingMode(KDuzLayerElement::eByPolygon);
    materials->SetReferenceMode(KDuzLayerElement::eIndexToDirect);   // no index at all
    KDuzMesh* result = converter->TriangulateMesh(mesh);
    ASSERT_NE(result, nullptr);
    const KgeUVVectorArray& out = result->GetLayer(0)->GetUVs()->GetDirectArray();
    ASSERT_EQ(out.Count(), 9);
    EXPECT_EQ(out[0], KgeUVVector(0.5, 0.25));
    EXPECT_EQ(out[1], KgeUVVector(0, 0));
    const KTypedArray<int>& indices = result->GetLayer(0)->GetMaterials()->GetIndexArray();
    ASSERT_EQ(indices.Count(), 3);
    EXPECT_EQ(indices[2], -1);
}

TEST_F(GeometryConverterTest, PatchBecomesAGridOfTrianglesWithIndexedUVs) {
    struct Case {
        bool uClosed;
        int cells;
    };
    for (const Case& c : {Case{false, 9}, Case{true, 12}}) {
        SCOPED_TRACE(c.cells);
        KDuzPatch* patch = MakePatch(ePatchLinear, 1);
        patch->SetClosed(c.uClosed, false);
        KDuzMesh* mesh = converter->TriangulatePatch(patch);
        ASSERT_NE(mesh, nullptr);
        ASSERT_EQ(mesh->GetControlPointsCount(), c.uClosed ? 16 + 0 : 16);
        EXPECT_EQ(mesh->GetPolygonCount(), 2 * c.cells);
        const KDuzLayerElementUV* uvs = mesh->GetLayer(0)->GetUVs();
        ASSERT_NE(uvs, nullptr);
        EXPECT_EQ(uvs->GetMappingMode(), KDuzLayerElement::eByPolygonVertex);
        EXPECT_EQ(uvs->GetReferenceMode(), KDuzLayerElement::eIndexToDirect);
        EXPECT_EQ(uvs->GetDirectArray().Count(), 4 * c.cells);
        EXPECT_EQ(uvs->GetIndexArray().Count(), 6 * c.cells);
        EXPECT_TRUE(mesh->CheckPolygonVertices());
        // Cell (0, 0): triangles (a, c, b) and (b, c, d).
        const int* corners = mesh->GetPolygonVertices();
        EXPECT_EQ(std::vector<int>(corners, corners + 6), (std::vector<int>{0, 4, 1, 1, 4, 5}));
        EXPECT_EQ(uvs->GetDirectArray()[3], KgeUVVector(1.0 / (c.uClosed ? 4 : 3), 1.0 / 3));
        // The control points are the grid itself for a linear basis at step 1.
        EXPECT_EQ(mesh->GetControlPoints()[5][2], 1.0);
        EXPECT_EQ(mesh->GetControlPoints()[5][3], 1.0);
        if (c.uClosed) {
            // The closing cell of row 0 joins column 3 to column 0, u from 3/4 to 1.
            const int closing = 3;
            EXPECT_EQ(std::vector<int>(corners + 6 * closing, corners + 6 * closing + 3), (std::vector<int>{3, 7, 0}));
            EXPECT_EQ(uvs->GetDirectArray()[4 * closing + 1].mU, 1.0);
        }
    }
}

TEST_F(GeometryConverterTest, PatchThatCannotBeSampledGivesNothing) {
    KDuzPatch* patch = KDuzPatch::Create(manager, "patch");
    ASSERT_TRUE(patch->InitControlPoints(2, ePatchBezier, 2, ePatchBezier));   // under one span
    EXPECT_EQ(converter->TriangulatePatch(patch), nullptr);
    KDuzNurb* nurb = KDuzNurb::Create(manager, "nurb");
    nurb->SetOrder(5, 2);
    ASSERT_TRUE(nurb->InitControlPoints(5, eNurbOpen, 2, eNurbOpen));
    EXPECT_EQ(converter->TriangulateNurb(nurb), nullptr);
}

TEST_F(GeometryConverterTest, SkinWeightsFollowTheTessellation) {
    KDuzPatch* patch = MakePatch(ePatchLinear, 2);   // 7 x 7 vertices
    KDuzSkin* skin = KDuzSkin::Create(manager, "skin");
    ASSERT_TRUE(patch->ConnectSrcObject(skin));
    KDuzCluster* a = KDuzCluster::Create(manager, "a");
    KDuzCluster* b = KDuzCluster::Create(manager, "b");
    a->SetLinkMode(KDuzCluster::eNormalize);
    a->AddControlPointIndex(0, 2.0);
    b->AddControlPointIndex(0, 2.0);
    b->AddControlPointIndex(1, 1.0);
    ASSERT_TRUE(skin->ConnectSrcObject(a));
    ASSERT_TRUE(skin->ConnectSrcObject(b));

    KDuzMesh* mesh = converter->TriangulatePatch(patch);
    ASSERT_NE(mesh, nullptr);
    auto* converted = dynamic_cast<KDuzSkin*>(mesh->GetSrcObject(KDuzSkin::ClassId(), 0));
    ASSERT_NE(converted, nullptr);
    EXPECT_NE(converted, skin);
    EXPECT_STREQ(converted->GetName(), "skin");
    ASSERT_EQ(converted->GetClusterCount(), 2);
    // Control point 0 is shared half and half; vertex 1 lies halfway
    // between points 0 and 1, vertex 2 on point 1.
    const KDuzCluster* ca = converted->GetCluster(0);
    const KDuzCluster* cb = converted->GetCluster(1);
    EXPECT_EQ(ca->GetLinkMode(), KDuzCluster::eTotalOne);
    auto weightOf = [](const KDuzCluster* cluster, int vertex) {
        for (int i = 0; i < cluster->GetControlPointIndicesCount(); ++i)
            if (cluster->GetControlPointIndices()[i] == vertex) return cluster->GetControlPointWeights()[i];
        return 0.0;
    };
    EXPECT_DOUBLE_EQ(weightOf(ca, 0), 0.5);
    EXPECT_DOUBLE_EQ(weightOf(cb, 0), 0.5);
    EXPECT_DOUBLE_EQ(weightOf(ca, 1), 0.25);
    EXPECT_DOUBLE_EQ(weightOf(cb, 1), 0.75);
    EXPECT_DOUBLE_EQ(weightOf(ca, 2), 0.0);
    EXPECT_DOUBLE_EQ(weightOf(cb, 2), 1.0);
    EXPECT_EQ(ca->GetControlPointIndicesCount(), 4);   // vertices 0, 1, 7, 8
}

TEST_F(GeometryConverterTest, RationalNurbsSurfaceStaysOnItsCircleThroughNurbAndMesh) {
    // A quarter cylinder: U the rational quarter circle, V a line.
    KDuzNurbsSurface* surface = KDuzNurbsSurface::Create(manager, "cylinder");
    surface->SetOrder(3, 2);
    surface->SetStep(6, 1);
    ASSERT_TRUE(surface->InitControlPoints(3, eNurbOpen, 2, eNurbOpen));
    const double uKnots[] = {0, 0, 0, 1, 1, 1};
    const double vKnots[] = {0, 0, 1, 1};
    std::copy(uKnots, uKnots + 6, surface->GetUKnotVector());
    std::copy(vKnots, vKnots + 4, surface->GetVKnotVector());
    const double w = std::sqrt(0.5);
    KgeTVector* p = surface->GetControlPoints();
    for (int v = 0; v < 2; ++v) {
        p[v * 3 + 0] = KgeTVector(1, 0, v, 1);
        p[v * 3 + 1] = KgeTVector(1, 1, v, w);
        p[v * 3 + 2] = KgeTVector(0, 1, v, 1);
    }
    for (bool flip : {true, false}) {
        SCOPED_TRACE(flip);
        surface->SetFlipNormals(flip);
        KDuzNurb* nurb = converter->ConvertNurbsSurfaceToNurb(surface);
        ASSERT_NE(nurb, nullptr);
        EXPECT_STREQ(nurb->GetName(), "cylinder");
        // Without flip-normals the directions trade places.
        EXPECT_EQ(nurb->GetUCount(), flip ? 3 : 2);
        EXPECT_EQ(nurb->GetUOrder(), flip ? 3 : 2);
        EXPECT_EQ(nurb->GetUKnotVector()[2], flip ? 0.0 : 1.0);
        EXPECT_EQ(nurb->GetUMultiplicityVector()[0], 1);
        KDuzMesh* mesh = converter->TriangulateNurb(nurb);
        ASSERT_NE(mesh, nullptr);
        ASSERT_EQ(mesh->GetControlPointsCount(), 7 * 2);
        for (const KgeTVector& point : mesh->GetControlPointArray())
            EXPECT_NEAR(point[0] * point[0] + point[1] * point[1], 1.0, 1e-9);
    }
}

TEST_F(GeometryConverterTest, SwappingTransposesTheGridAndTradesTheDirections) {
    KDuzNurb* nurb = KDuzNurb::Create(manager, "nurb");
    nurb->SetOrder(2, 3);
    nurb->SetStep(4, 5);
    ASSERT_TRUE(nurb->InitControlPoints(3, eNurbOpen, 2, eNurbPeriodic));
    for (int i = 0; i < 6; ++i) nurb->GetControlPoints()[i] = KgeTVector(i, 0, 0, 1);
    for (int i = 0; i < nurb->GetUKnotArrayCount(); ++i) nurb->GetUKnotVector()[i] = i;
    for (int i = 0; i < nurb->GetVKnotArrayCount(); ++i) nurb->GetVKnotVector()[i] = 10 + i;

    KDuzNurb* same = converter->SwapNurbUV(nurb, false, false);
    ASSERT_NE(same, nullptr);
    EXPECT_NE(same, nurb);
    EXPECT_EQ(same->GetUCount(), 3);
    EXPECT_EQ(same->GetControlPoints()[5][0], 5.0);

    KDuzNurb* swapped = converter->SwapNurbUV(nurb, true, false);
    ASSERT_NE(swapped, nullptr);
    EXPECT_EQ(swapped->GetUCount(), 2);
    EXPECT_EQ(swapped->GetVCount(), 3);
    EXPECT_EQ(swapped->GetUOrder(), 3);
    EXPECT_EQ(swapped->GetUStep(), 5);
    EXPECT_EQ(swapped->GetNurbUType(), eNurbPeriodic);
    EXPECT_EQ(swapped->GetUKnotVector()[0], 10.0);
    EXPECT_EQ(swapped->GetVKnotVector()[4], 4.0);
    // (2, 1) of the 3 x 2 grid, index 5, is (1, 2) of the 2 x 3 grid, index 5;
    // (1, 0), index 1, becomes (0, 1), index 2.
    EXPECT_EQ(swapped->GetControlPoints()[2][0], 1.0);
    EXPECT_EQ(swapped->GetControlPoints()[1][0], 3.0);
    EXPECT_EQ(swapped->GetControlPoints()[5][0], 5.0);
    EXPECT_EQ(converter->SwapNurbUV(nullptr, true, true), nullptr);
    EXPECT_EQ(converter->SwapNurbsSurfaceUV(nullptr, true, true), nullptr);
}

TEST_F(GeometryConverterTest, SurfaceToNurbCarriesSkinAndShapesThroughTheSwap) {
    // A 3 x 2 surface without flip-normals: converted through a U/V swap,
    // so cluster indices and shape points follow the transposed grid.
    KDuzNurbsSurface* surface = KDuzNurbsSurface::Create(manager, "surface");
    surface->SetOrder(2, 2);
    ASSERT_TRUE(surface->InitControlPoints(3, eNurbOpen, 2, eNurbOpen));
    for (int i = 0; i < 6; ++i) surface->GetControlPoints()[i] = KgeTVector(i, 0, 0, 1);
    KDuzSkin* skin = KDuzSkin::Create(manager, "skin");
    ASSERT_TRUE(surface->ConnectSrcObject(skin));
    KDuzCluster* cluster = KDuzCluster::Create(manager, "c");
    cluster->AddControlPointIndex(1, 0.5);   // (1, 0) of 3 x 2 is (0, 1) of 2 x 3: index 2
    ASSERT_TRUE(skin->ConnectSrcObject(cluster));
    KDuzShape* shape = KDuzShape::Create(manager, "");
    shape->CopyFrom(*surface);
    ASSERT_EQ(surface->AddShape(shape, "bend"), 0);
    KDuzNode* node = KDuzNode::Create(manager, "node");
    node->SetNodeAttribute(surface);

    ASSERT_TRUE(converter->ConvertNurbsSurfaceInPlace(node));
    auto* nurb = dynamic_cast<KDuzNurb*>(node->GetNodeAttribute());
    ASSERT_NE(nurb, nullptr);
    EXPECT_EQ(nurb->GetControlPoints()[2][0], 1.0);
    auto* kept = dynamic_cast<KDuzSkin*>(nurb->GetSrcObject(KDuzSkin::ClassId(), 0));
    ASSERT_NE(kept, nullptr);
    ASSERT_EQ(kept->GetClusterCount(), 1);
    ASSERT_EQ(kept->GetCluster(0)->GetControlPointIndicesCount(), 1);
    EXPECT_EQ(kept->GetCluster(0)->GetControlPointIndices()[0], 2);
    ASSERT_EQ(nurb->GetShapeCount(), 1);
    EXPECT_STREQ(nurb->GetShapeName(0), "bend");
    EXPECT_EQ(nurb->GetShape(0)->GetControlPoints()[2][0], 1.0);
}

TEST_F(GeometryConverterTest, SurfaceSwapExchangesParameterSpaceCurveCoordinates) {
    KDuzNurbsSurface* surface = KDuzNurbsSurface::Create(manager, "surface");
    surface->SetOrder(2, 2);
    ASSERT_TRUE(surface->InitControlPoints(2, eNurbOpen, 2, eNurbOpen));
    KDuzNode* node = KDuzNode::Create(manager, "trim curve");
    KDuzNurbsCurve* curve = KDuzNurbsCurve::Create(manager, "curve");
    curve->SetDimension(2);
    curve->SetOrder(2);
    ASSERT_TRUE(curve->InitControlPoints(2, eNurbsCurveOpen));
    curve->GetControlPoints()[1] = KgeTVector(0.25, 0.75, 0, 1);
    node->SetNodeAttribute(curve);
    ASSERT_TRUE(surface->ConnectSrcObject(node));

    KDuzNurbsSurface* swapped = converter->SwapNurbsSurfaceUV(surface, false, true);
    ASSERT_NE(swapped, nullptr);
    auto* clone = dynamic_cast<KDuzNode*>(KDuzPlugGetSrcNode(swapped, 0));
    ASSERT_NE(clone, nullptr);
    auto* clonedCurve = dynamic_cast<KDuzNurbsCurve*>(clone->GetNodeAttribute());
    ASSERT_NE(clonedCurve, nullptr);
    EXPECT_EQ(clonedCurve->GetControlPoints()[1][0], 0.75);
    EXPECT_EQ(clonedCurve->GetControlPoints()[1][1], 0.25);
    EXPECT_EQ(curve->GetControlPoints()[1][0], 0.25);   // the source's curve stays
}

TEST_F(GeometryConverterTest, TriangulateInPlaceKeepsShapeCurvesOfEveryTakeAndRefusesOtherAttributes) {
    KDuzNode* lightNode = KDuzNode::Create(manager, "light");
    KDuzLight* light = KDuzLight::Create(manager, "");
    lightNode->SetNodeAttribute(light);
    EXPECT_FALSE(converter->TriangulateInPlace(lightNode));
    EXPECT_EQ(lightNode->GetNodeAttribute(), light);
    EXPECT_FALSE(converter->TriangulateInPlace(nullptr));

    KDuzPatch* patch = MakePatch(ePatchBezier, 2);
    KDuzNode* node = KDuzNode::Create(manager, "node");
    node->SetNodeAttribute(patch);
    ASSERT_NE(node->CreateTakeNode("Take 001"), nullptr);
    KDuzShape* shape = KDuzShape::Create(manager, "");
    shape->CopyFrom(*patch);
    for (KgeTVector& point : shape->GetControlPointArray()) point[2] += 1.0;
    ASSERT_EQ(patch->AddShape(shape, "raise"), 0);
    ASSERT_EQ(node->GetTakeNodeCount(), 2);
    for (int t = 0; t < 2; ++t) {
        KFCurve* curve = patch->GetShapeChannel(node->GetTakeNodeAt(t), 0);
        ASSERT_NE(curve, nullptr);
        curve->SetDefaultValue(25.0f + t);
        curve->KeyAdd(KTime(1000 * (t + 1)));
    }

    ASSERT_TRUE(converter->TriangulateInPlace(node));
    auto* mesh = dynamic_cast<KDuzMesh*>(node->GetNodeAttribute());
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->GetControlPointsCount(), 7 * 7);
    ASSERT_EQ(mesh->GetShapeCount(), 1);
    EXPECT_STREQ(mesh->GetShapeName(0), "raise");
    // The tessellated shape is the surface one unit higher.
    EXPECT_NEAR(mesh->GetShape(0)->GetControlPoints()[24][2], mesh->GetControlPoints()[24][2] + 1.0, 1e-12);
    for (int t = 0; t < 2; ++t) {
        SCOPED_TRACE(t);
        KFCurve* curve = mesh->GetShapeChannel(node->GetTakeNodeAt(t), 0);
        ASSERT_NE(curve, nullptr);
        EXPECT_FLOAT_EQ(curve->GetDefaultValue(), 25.0f + t);
        EXPECT_EQ(curve->KeyGetCount(), 1);
    }
}

TEST_F(GeometryConverterTest, NurbsSurfaceNodesBecomeNurbsOrMeshes) {
    auto makeSurfaceNode = [&](const char* name) {
        KDuzNurbsSurface* surface = KDuzNurbsSurface::Create(manager, name);
        surface->SetOrder(2, 2);
        surface->SetStep(1, 1);
        EXPECT_TRUE(surface->InitControlPoints(2, eNurbOpen, 2, eNurbOpen));
        const double knots[] = {0, 0, 1, 1};
        std::copy(knots, knots + 4, surface->GetUKnotVector());
        std::copy(knots, knots + 4, surface->GetVKnotVector());
        for (int i = 0; i < 4; ++i) surface->GetControlPoints()[i] = KgeTVector(i % 2, i / 2, 0, 1);
        KDuzNode* node = KDuzNode::Create(manager, name);
        node->SetNodeAttribute(surface);
        return node;
    };
    KDuzNode* first = makeSurfaceNode("first");
    ASSERT_TRUE(converter->ConvertNurbsSurfaceInPlace(first));
    ASSERT_NE(dynamic_cast<KDuzNurb*>(first->GetNodeAttribute()), nullptr);
    EXPECT_FALSE(converter->ConvertNurbsSurfaceInPlace(first));   // a NURB now

    KDuzNode* second = makeSurfaceNode("second");
    ASSERT_TRUE(converter->TriangulateInPlace(second));
    auto* mesh = dynamic_cast<KDuzMesh*>(second->GetNodeAttribute());
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->GetPolygonCount(), 2);
}

TEST_F(GeometryConverterTest, ExpandingGivesEveryCornerItsPointAndEveryElementFollows) {
    KDuzMesh* mesh = KDuzMesh::Create(manager, "mesh");
    mesh->InitControlPoints(4);
    for (int i = 0; i < 4; ++i) mesh->GetControlPoints()[i] = KgeTVector(i, 0, 0, 1);
    AddPolygon(mesh, {0, 1, 2});
    AddPolygon(mesh, {0, 2, 3});
    ASSERT_TRUE(mesh->InitNormals(6));   // one per corner
    KDuzLayerElementUV* uvs = mesh->GetLayer(0)->SetUVsOfType(KDuzCreateLayerElementUV(manager, ""), 3);
    uvs->SetMappingMode(KDuzLayerElement::eByControlPoint);
    for (int i = 0; i < 4; ++i) uvs->GetDirectArray().Add(KgeUVVector(i, 0));
    KDuzSkin* skin = KDuzSkin::Create(manager, "skin");
    ASSERT_TRUE(mesh->ConnectSrcObject(skin));
    KDuzCluster* cluster = KDuzCluster::Create(manager, "c");
    cluster->AddControlPointIndex(2, 1.0);
    ASSERT_TRUE(skin->ConnectSrcObject(cluster));

    ASSERT_TRUE(converter->ExpandControlPointsPerPolygonVertex(mesh));
    const std::vector<int> corners = {0, 1, 2, 0, 2, 3};
    ASSERT_EQ(mesh->GetControlPointsCount(), 6);
    ASSERT_EQ(uvs->GetDirectArray().Count(), 6);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(mesh->GetPolygonVertices()[i], i);
        EXPECT_EQ(mesh->GetControlPoints()[i][0], corners[static_cast<size_t>(i)]);
        EXPECT_EQ(uvs->GetDirectArray()[i].mU, corners[static_cast<size_t>(i)]);
    }
    EXPECT_EQ(mesh->GetLayer(0)->GetNormals()->GetMappingMode(), KDuzLayerElement::eByControlPoint);
    ASSERT_EQ(skin->GetClusterCount(), 1);
    const KDuzCluster* converted = skin->GetCluster(0);
    EXPECT_NE(converted, cluster);
    ASSERT_EQ(converted->GetControlPointIndicesCount(), 2);   // corners 2 and 4 held point 2
    EXPECT_EQ(converted->GetControlPointIndices()[0], 2);
    EXPECT_EQ(converted->GetControlPointIndices()[1], 4);

    // A mesh whose normals are not one per corner does not qualify.
    KDuzMesh* other = KDuzMesh::Create(manager, "other");
    other->InitControlPoints(3);
    AddPolygon(other, {0, 1, 2});
    ASSERT_TRUE(other->InitNormals());
    other->GetLayer(0)->GetNormals()->GetDirectArray().Add(KgeTVector());   // four normals
    EXPECT_FALSE(converter->ExpandControlPointsPerPolygonVertex(other));
    EXPECT_EQ(other->GetControlPointsCount(), 3);
}

TEST_F(GeometryConverterTest, ShapeNormalsAreBroughtToPolygonVertexMapping) {
    KDuzMesh* mesh = KDuzMesh::Create(manager, "mesh");
    mesh->InitControlPoints(4);
    AddPolygon(mesh, {0, 1, 2});
    AddPolygon(mesh, {0, 2, 3});
    ASSERT_TRUE(mesh->InitNormals());
    for (int i = 0; i < 4; ++i) mesh->GetNormals()[i] = KgeTVector(i, 0, 0, 1);
    KDuzShape* shape = KDuzShape::Create(manager, "");
    shape->InitControlPoints(4);
    ASSERT_TRUE(shape->InitNormals());
    for (int i = 0; i < 4; ++i) shape->GetNormals()[i] = KgeTVector(0, i, 0, 1);
    ASSERT_EQ(mesh->AddShape(shape, "s"), 0);

    ASSERT_TRUE(converter->ConvertShapeNormals(mesh));
    const std::vector<int> corners = {0, 1, 2, 0, 2, 3};
    for (KDuzLayerContainer* container : {static_cast<KDuzLayerContainer*>(mesh), static_cast<KDuzLayerContainer*>(shape)}) {
        KDuzLayerElementNormal* normals = container->GetLayer(0)->GetNormals();
        EXPECT_EQ(normals->GetMappingMode(), KDuzLayerElement::eByPolygonVertex);
        ASSERT_EQ(normals->GetDirectArray().Count(), 6);
        const int axis = container == mesh ? 0 : 1;
        for (int i = 0; i < 6; ++i) EXPECT_EQ(normals->GetDirectArray()[i][axis], corners[static_cast<size_t>(i)]);
    }

    // A shape of another size is refused and nothing changes.
    KDuzMesh* second = KDuzMesh::Create(manager, "second");
    second->InitControlPoints(3);
    AddPolygon(second, {0, 1, 2});
    ASSERT_TRUE(second->InitNormals());
    KDuzShape* small = KDuzShape::Create(manager, "");
    small->InitControlPoints(2);
    ASSERT_EQ(second->AddShape(small, "small"), 0);
    EXPECT_FALSE(converter->ConvertShapeNormals(second));
    EXPECT_EQ(second->GetLayer(0)->GetNormals()->GetMappingMode(), KDuzLayerElement::eByControlPoint);
}

}  // namespace
}  // namespace duzsdk
