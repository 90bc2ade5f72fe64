#include "sdk/geometry/KDuzMesh.h"

#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"

#include <gtest/gtest.h>

#include <cmath>

namespace duzsdk {
namespace {

class MeshTest : public ::testing::Test {
protected:
    void SetUp() override {
        manager = KDuzSdkManager::Create();
        ASSERT_NE(manager, nullptr);
        mesh = KDuzMesh::Create(manager, "mesh");
        ASSERT_NE(mesh, nullptr);
    }
    void TearDown() override { manager->Destroy(); }

    // A unit square in the xy plane, corners counter-clockwise seen from +z.
    void AddSquare(KDuzMesh* target) {
        target->InitControlPoints(4);
        KgeTVector* points = target->GetControlPoints();
        points[0] = KgeTVector(0, 0, 0, 1);
        points[1] = KgeTVector(1, 0, 0, 1);
        points[2] = KgeTVector(1, 1, 0, 1);
        points[3] = KgeTVector(0, 1, 0, 1);
        target->BeginPolygon();
        for (int i = 0; i < 4; ++i) target->AddPolygon(i);
        target->EndPolygon();
    }

    void AddTriangle(int a, int b, int c, int material = -1) {
        mesh->BeginPolygon(material);
        mesh->AddPolygon(a);
        mesh->AddPolygon(b);
        mesh->AddPolygon(c);
        mesh->EndPolygon();
    }

    KDuzSdkManager* manager = nullptr;
    KDuzMesh* mesh = nullptr;
};

TEST_F(MeshTest, IsAMeshAttribute) {
    EXPECT_EQ(mesh->GetClassId(), KDuzMesh::ClassId());
    EXPECT_TRUE(mesh->Is(KDuzGeometry::ClassId()));
    EXPECT_TRUE(mesh->Is(KDuzLayerContainer::ClassId()));
    EXPECT_EQ(mesh->GetAttributeType(), eMesh);
    EXPECT_STREQ(mesh->GetTypeName().Buffer(), "Mesh");
    EXPECT_TRUE(mesh->FindProperty("Color").IsValid());
    EXPECT_EQ(KDuzMesh::Create(nullptr, "x"), nullptr);
}

TEST_F(MeshTest, EmptyMeshAnswersEveryQuery) {
    EXPECT_EQ(mesh->GetPolygonCount(), 0);
    EXPECT_EQ(mesh->GetPolygonVertexCount(), 0);
    EXPECT_EQ(mesh->GetPolygonSize(0), -1);
    EXPECT_EQ(mesh->GetPolygonVertex(0, 0), -1);
    EXPECT_EQ(mesh->GetTextureUV(3), nullptr);
    EXPECT_EQ(mesh->GetTextureUVCount(3), 0);
    EXPECT_EQ(mesh->GetTextureUVIndex(0, 0, 3), -1);
    EXPECT_EQ(mesh->GetMaterialMappingMode(), 0);
    EXPECT_EQ(mesh->GetNormalMappingMode(), 1);
    EXPECT_EQ(mesh->GetTextureMappingMode(), 0);
    EXPECT_EQ(mesh->GetMaterialIndices(), nullptr);
    EXPECT_EQ(mesh->GetNormals(), nullptr);
    EXPECT_EQ(mesh->GetLayerCount(), 0);
    EXPECT_TRUE(mesh->CheckPolygonVertices());
}

TEST_F(MeshTest, TrianglesBuildRecordsAndCorners) {
    AddTriangle(0, 1, 2);
    AddTriangle(2, 1, 3);
    ASSERT_EQ(mesh->GetPolygonCount(), 2);
    const KDuzMeshPolygon& second = mesh->GetPolygonArray()[1];
    EXPECT_EQ(mesh->GetPolygonArray()[0].mStart, 0);
    EXPECT_EQ(second.mStart, 3);
    EXPECT_EQ(second.mSize, 3);
    EXPECT_EQ(second.mGroup, -1);
    EXPECT_EQ(mesh->GetPolygonVertexCount(), 6);
    EXPECT_EQ(mesh->GetPolygonVertex(1, 2), 3);
    EXPECT_EQ(mesh->GetPolygonVertex(1, 3), -1);
    EXPECT_EQ(mesh->GetPolygonVertex(1, -1), -1);
    EXPECT_EQ(mesh->GetPolygonVertex(2, 0), -1);
    const int expected[] = {0, 1, 2, 2, 1, 3};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(mesh->GetPolygonVertices()[i], expected[i]);
    EXPECT_EQ(mesh->GetLayerCount(), 1);   // the first polygon makes layer 0

    // Corners name points that do not exist yet.
    EXPECT_FALSE(mesh->CheckPolygonVertices());
    mesh->InitControlPoints(4);
    EXPECT_TRUE(mesh->CheckPolygonVertices());
    mesh->GetPolygonArray()[1].mSize = 9;   // as a bad file could leave it
    EXPECT_FALSE(mesh->CheckPolygonVertices());
    EXPECT_EQ(mesh->GetPolygonVertex(1, 5), -1);
}

TEST_F(MeshTest, CornerWithoutPolygonIsDropped) {
    mesh->AddPolygon(3, 7);
    EXPECT_EQ(mesh->GetPolygonCount(), 0);
    EXPECT_EQ(mesh->GetPolygonVertexArray().Count(), 0);
}

TEST_F(MeshTest, MaterialIndicesPerPolygon) {
    AddTriangle(0, 1, 2, 5);
    KDuzLayerElementMaterial* materials = mesh->GetLayer(0)->GetMaterials();
    ASSERT_NE(materials, nullptr);   // made by the first polygon
    EXPECT_EQ(materials->GetIndexArray().Count(), 0);
    EXPECT_EQ(mesh->GetMaterialIndices(), nullptr);   // still direct

    ASSERT_TRUE(mesh->InitMaterialIndices(KDuzLayerElement::eByPolygon));
    EXPECT_EQ(mesh->GetMaterialMappingMode(), KDuzLayerElement::eByPolygon);
    EXPECT_EQ(materials->GetReferenceMode(), KDuzLayerElement::eIndexToDirect);
    AddTriangle(0, 1, 2, 4);
    AddTriangle(0, 1, 2, 1);
    ASSERT_EQ(materials->GetIndexArray().Count(), 3);
    EXPECT_EQ(mesh->GetMaterialIndices()[1], 4);
    EXPECT_EQ(mesh->GetMaterialIndices()[2], 1);
}

TEST_F(MeshTest, MaterialIndicesByControlPointAndAllSame) {
    ASSERT_TRUE(mesh->InitMaterialIndices(KDuzLayerElement::eByControlPoint));
    KDuzLayerElementMaterial* materials = mesh->GetLayer(0)->GetMaterials();
    EXPECT_EQ(materials->GetReferenceMode(), KDuzLayerElement::eIndexToDirect);
    EXPECT_EQ(materials->GetMappingMode(), KDuzLayerElement::eNone);   // no points yet
    EXPECT_EQ(materials->GetIndexArray().Count(), 0);

    mesh->InitControlPoints(6);
    ASSERT_TRUE(mesh->InitMaterialIndices(KDuzLayerElement::eByControlPoint));
    EXPECT_EQ(materials->GetMappingMode(), KDuzLayerElement::eByControlPoint);
    EXPECT_EQ(materials->GetIndexArray().Count(), 6);

    ASSERT_TRUE(mesh->InitMaterialIndices(0));
    EXPECT_EQ(materials->GetMappingMode(), KDuzLayerElement::eAllSame);
    EXPECT_EQ(materials->GetIndexArray().Count(), 1);

    ASSERT_TRUE(mesh->InitTextureIndices(KDuzLayerElement::eByPolygon));
    EXPECT_EQ(mesh->GetTextureMappingMode(), KDuzLayerElement::eByPolygon);
    EXPECT_STREQ(mesh->GetLayer(0)->GetTextures()->GetChannelTag().GetName(), "Diffuse");
    AddTriangle(0, 1, 2);
    mesh->BeginPolygon(-1, 6);
    EXPECT_EQ(mesh->GetTextureIndices()[1], 6);
    ASSERT_TRUE(mesh->InitTextureIndices(0));
    EXPECT_EQ(mesh->GetTextureMappingMode(), KDuzLayerElement::eAllSame);
}

TEST_F(MeshTest, UVIndicesFollowTheCornersOnlyForIndexToDirect) {
    mesh->BeginPolygon();
    mesh->AddPolygon(0, 7);   // the UV element is made, but maps nothing yet
    KDuzLayerElementUV* uvs = mesh->GetLayer(0)->GetUVs();
    ASSERT_NE(uvs, nullptr);
    EXPECT_EQ(uvs->GetIndexArray().Count(), 0);

    ASSERT_TRUE(mesh->InitTextureUVIndices(KDuzLayerElement::eByPolygonVertex));
    mesh->AddPolygon(1, 8);
    mesh->AddPolygon(2, 9);
    EXPECT_EQ(uvs->GetIndexArray().Count(), mesh->GetPolygonVertexArray().Count());
    EXPECT_EQ(uvs->GetIndexArray()[2], 9);
    EXPECT_EQ(mesh->GetTextureUVIndex(0, 1, 3), 8);
    EXPECT_EQ(mesh->GetTextureUVIndex(0, 1, 0), 8);
    EXPECT_EQ(mesh->GetTextureUVIndex(0, 3, 3), -1);
    EXPECT_EQ(mesh->GetTextureUVIndex(0, 1, 10), -1);
    EXPECT_EQ(mesh->GetTextureUVMappingMode(3), KDuzLayerElement::eByPolygonVertex);

    ASSERT_TRUE(mesh->InitTextureUV(2, 3));
    EXPECT_EQ(mesh->GetTextureUVCount(3), 2);
    mesh->AddTextureUV(KgeUVVector(0.5, 0.25), 0);
    ASSERT_EQ(mesh->GetTextureUVCount(3), 3);
    EXPECT_EQ(mesh->GetTextureUV(3)[2], KgeUVVector(0.5, 0.25));
    EXPECT_EQ(mesh->GetTextureUV(3)[0], KgeUVVector());
    EXPECT_FALSE(mesh->InitTextureUV(-1, 3));
    EXPECT_FALSE(mesh->InitTextureUV(1, 5));

    // Another channel keeps its own UVs.
    mesh->AddTextureUV(KgeUVVector(1, 1), 19);   // no element: nothing happens
    EXPECT_EQ(mesh->GetTextureUVCount(19), 0);
    ASSERT_TRUE(mesh->InitTextureUV(1, 19));
    EXPECT_EQ(mesh->GetTextureUVCount(19), 1);
    EXPECT_EQ(mesh->GetTextureUVCount(3), 3);
}

TEST_F(MeshTest, UVIndexModes) {
    struct Case {
        int mode;
        int mapping;
        int reference;
    };
    const Case cases[] = {{1, 1, 0}, {2, 2, 2}, {5, 5, 0}, {3, 0, 0}, {0, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        ASSERT_TRUE(mesh->InitTextureUVIndices(c.mode, 12));
        const KDuzLayerElementUV* uvs = mesh->GetLayer(0)->GetUVsOfType(12);
        EXPECT_EQ(uvs->GetMappingMode(), c.mapping);
        EXPECT_EQ(uvs->GetReferenceMode(), c.reference);
        EXPECT_EQ(mesh->GetTextureUVMappingMode(12), c.mapping == 1 || c.mapping == 2 ? c.mapping : 0);
    }
}

TEST_F(MeshTest, VertexNormalsOfASquare) {
    AddSquare(mesh);
    mesh->InitControlPoints(5);   // a point no polygon uses
    for (int i = 0; i < 4; ++i) mesh->GetControlPoints()[i] = KgeTVector(i == 1 || i == 2, i >= 2, 0, 1);
    struct Case {
        bool clockwise;
        double z;
    };
    for (const Case& c : {Case{false, 1.0}, Case{true, -1.0}}) {
        SCOPED_TRACE(c.clockwise);
        ASSERT_TRUE(mesh->ComputeVertexNormals(c.clockwise));
        EXPECT_EQ(mesh->GetNormalMappingMode(), KDuzLayerElement::eByControlPoint);
        ASSERT_EQ(mesh->GetLayer(0)->GetNormals()->GetDirectArray().Count(), 5);
        const KgeTVector* normals = mesh->GetNormals();
        for (int i = 0; i < 4; ++i) {
            EXPECT_DOUBLE_EQ(normals[i][0], 0.0);
            EXPECT_DOUBLE_EQ(normals[i][1], 0.0);
            EXPECT_DOUBLE_EQ(normals[i][2], c.z);
        }
        EXPECT_EQ(normals[4][2], 0.0);
        EXPECT_EQ(normals[4][3], 1.0);
    }
}

TEST_F(MeshTest, VertexNormalsSurviveBadCornersAndFlatPolygons) {
    mesh->InitControlPoints(3);   // all three points at the origin
    AddTriangle(0, 1, 2);
    AddTriangle(0, 7, -3);   // names points that do not exist
    ASSERT_TRUE(mesh->ComputeVertexNormals(false));
    const KgeTVector* normals = mesh->GetNormals();
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(std::isnan(normals[i][0]));
        EXPECT_EQ(normals[i][3], 1.0);
    }
}

TEST_F(MeshTest, EdgesStoreOnlyInsideTheArray) {
    EXPECT_EQ(mesh->GetMeshEdgeCount(), 0);
    EXPECT_EQ(mesh->SetMeshEdge(0, 4), 0);   // nothing to store into
    ASSERT_TRUE(mesh->SetMeshEdgeCount(3));
    EXPECT_EQ(mesh->SetMeshEdge(2, 11), 2);
    EXPECT_EQ(mesh->SetMeshEdge(3, 12), 3);
    EXPECT_EQ(mesh->SetMeshEdge(-1, 12), -1);
    EXPECT_EQ(mesh->GetMeshEdge(2), 11);
    EXPECT_EQ(mesh->GetMeshEdge(3), -1);
    EXPECT_EQ(mesh->GetMeshEdgeCount(), 3);
    EXPECT_FALSE(mesh->SetMeshEdgeCount(-2));
}

TEST_F(MeshTest, CloneCopiesEverythingOnlyForType2) {
    AddSquare(mesh);
    mesh->InitTextureUVIndices(KDuzLayerElement::eByPolygonVertex);
    mesh->InitTextureUV(0);
    mesh->AddTextureUV(KgeUVVector(0.5, 0.5));
    mesh->ComputeVertexNormals();
    mesh->SetMeshEdgeCount(2);
    mesh->SetMeshEdge(1, 9);
    mesh->SetUCount(4);
    mesh->SetVClosed(true);

    EXPECT_EQ(mesh->Clone(1), nullptr);
    auto* clone = dynamic_cast<KDuzMesh*>(mesh->Clone(2));
    ASSERT_NE(clone, nullptr);
    EXPECT_NE(clone, mesh);
    EXPECT_STREQ(clone->GetName(), "mesh");
    EXPECT_EQ(clone->GetPolygonCount(), 1);
    EXPECT_EQ(clone->GetPolygonVertexCount(), 4);
    EXPECT_EQ(clone->GetPolygonVertex(0, 3), 3);
    EXPECT_EQ(clone->GetMeshEdge(1), 9);
    EXPECT_EQ(clone->GetControlPointsCount(), 4);
    EXPECT_EQ(clone->GetControlPoints()[2][1], 1.0);
    EXPECT_EQ(clone->GetUCount(), 4);
    EXPECT_TRUE(clone->GetVClosed());
    EXPECT_NE(clone->GetLayer(0)->GetNormals(), mesh->GetLayer(0)->GetNormals());
    EXPECT_EQ(clone->GetNormals()[0][2], 1.0);
    EXPECT_EQ(clone->GetTextureUVCount(3), 1);
    EXPECT_EQ(clone->GetTextureUVMappingMode(3), KDuzLayerElement::eByPolygonVertex);
}

TEST_F(MeshTest, ResetEmptiesEverything) {
    AddSquare(mesh);
    mesh->ComputeVertexNormals();
    mesh->SetMeshEdgeCount(1);
    mesh->SetUStep(3);
    mesh->Reset();
    EXPECT_EQ(mesh->GetPolygonCount(), 0);
    EXPECT_EQ(mesh->GetPolygonVertexArray().Count(), 0);
    EXPECT_EQ(mesh->GetMeshEdgeCount(), 0);
    EXPECT_EQ(mesh->GetControlPointsCount(), 0);
    EXPECT_EQ(mesh->GetLayerCount(), 0);
    EXPECT_EQ(mesh->GetUStep(), 0);
}

// ---- control points and normals ---------------------------------------------------------

TEST_F(MeshTest, SetControlPointAtNeedsLayer0Normals) {
    const KgeTVector point(1, 2, 3, 1);
    const KgeTVector normal(0, 0, 1, 0);
    EXPECT_EQ(mesh->SetControlPointAt(point, normal, 0), nullptr);
    EXPECT_EQ(mesh->GetControlPointsCount(), 0);

    ASSERT_TRUE(mesh->InitNormals());
    KgeTVector* stored = mesh->SetControlPointAt(point, normal, 4);
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ((*stored)[2], 1.0);
    EXPECT_EQ(mesh->GetControlPointsCount(), 5);
    EXPECT_EQ(mesh->GetLayer(0)->GetNormals()->GetDirectArray().Count(), 5);
    EXPECT_EQ(mesh->GetControlPoints()[4][1], 2.0);
    EXPECT_EQ(mesh->SetControlPointAt(point, normal, 1), &mesh->GetNormals()[1]);
    EXPECT_EQ(mesh->GetControlPointsCount(), 5);

    EXPECT_EQ(mesh->SetControlPointAt(point, normal, -1), nullptr);
    EXPECT_EQ(mesh->SetControlPointAt(point, normal, KDuzGeometryBase::kMaxControlPoints), nullptr);
    EXPECT_EQ(mesh->GetControlPointsCount(), 5);
}

TEST_F(MeshTest, InitNormalsMapsByPointOrByCorner) {
    mesh->InitControlPoints(8);
    struct Case {
        int count;
        int mapping;
        int size;
    };
    for (const Case& c : {Case{10, 2, 10}, Case{8, 1, 8}, Case{0, 1, 8}}) {
        SCOPED_TRACE(c.count);
        ASSERT_TRUE(mesh->InitNormals(c.count));
        const KDuzLayerElementNormal* normals = mesh->GetLayer(0)->GetNormals();
        EXPECT_EQ(normals->GetMappingMode(), c.mapping);
        EXPECT_EQ(normals->GetReferenceMode(), KDuzLayerElement::eDirect);
        EXPECT_EQ(normals->GetDirectArray().Count(), c.size);
    }
    EXPECT_FALSE(mesh->InitNormals(-1));
    EXPECT_FALSE(mesh->InitControlPoints(-1));
    EXPECT_EQ(mesh->GetControlPointsCount(), 0);
}

// ---- what the game reads -------------------------------------------------------------------

TEST_F(MeshTest, GameReadsLayer0ThroughTheNode) {
    KDuzNode* node = KDuzNode::Create(manager, "model");
    ASSERT_NE(node, nullptr);
    node->SetNodeAttribute(mesh);
    ASSERT_EQ(node->GetMesh(), mesh);

    AddSquare(mesh);
    mesh->ComputeVertexNormals();
    mesh->InitTextureUVIndices(KDuzLayerElement::eByPolygonVertex);
    mesh->InitTextureUV(0);
    for (int i = 0; i < 4; ++i) mesh->AddTextureUV(KgeUVVector(i * 0.25, 1.0 - i * 0.25));
    KDuzSurfaceLambert* material = KDuzSurfaceLambert::Create(manager, "red");
    ASSERT_NE(material, nullptr);
    node->ConnectSrcObject(material);
    EXPECT_EQ(mesh->AddMaterial(material, 0), 0);
    mesh->InitMaterialIndices(KDuzLayerElement::eAllSame);

    EXPECT_EQ(mesh->GetLayerCount(), 1);
    const KDuzLayer* layer = mesh->GetLayer(0);
    ASSERT_NE(layer->GetNormals(), nullptr);
    ASSERT_NE(layer->GetUVs(), nullptr);
    ASSERT_NE(layer->GetMaterials(), nullptr);
    EXPECT_EQ(layer->GetMaterials()->GetMappingMode(), KDuzLayerElement::eAllSame);
    EXPECT_EQ(layer->GetMaterials()->GetReferenceMode(), KDuzLayerElement::eIndexToDirect);
    EXPECT_EQ(layer->GetMaterials()->GetDirectArray().GetAt(mesh->GetMaterialIndices()[0]), material);
    EXPECT_EQ(mesh->GetMaterialCount(0), 1);
    EXPECT_TRUE(mesh->GetMaterial(0, 0)->Is(KDuzSurfaceLambert::ClassId()));
    EXPECT_EQ(mesh->GetTextureUVCount(3), 4);
    EXPECT_EQ(mesh->GetTextureUV(3)[3].mU, 0.75);
    EXPECT_EQ(mesh->GetNormals()[2][2], 1.0);
    EXPECT_TRUE(mesh->CheckPolygonVertices());
}

}  // namespace
}  // namespace duzsdk
