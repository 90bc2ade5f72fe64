#include "KDuzReaderDuz6RecordsTestSupport.h"

#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzMesh.h"

namespace duzsdk {
namespace {

using Duz6Geometry = Duz6RecordTest;

KDuzMesh* ReadMesh(Duz6RecordTest& test, KDuzSdkManager* manager, const std::string& body)
{
    test.Open("Geometry: \"Geometry::Cube\", \"Mesh\" {\n" + body + "\n}", "Geometry");
    KDuzMesh* mesh = KDuzMesh::Create(manager, "mesh");
    EXPECT_TRUE(KDuz6ReadMesh(test.Context(), mesh));
    return mesh;
}

TEST_F(Duz6Geometry, VerticesPolygonsAndEdges)
{
    // Ten values make three points; the odd value is dropped.
    KDuzMesh* mesh = ReadMesh(*this, manager,
                              "Vertices: 0,0,0, 1,0,0, 1,1,0, 9\n"
                              "PolygonVertexIndex: 0,1,-3, 2,1,-1, 0,2\n"
                              "Edges: 0,4,-2,99\n");
    ASSERT_EQ(mesh->GetControlPointsCount(), 3);
    EXPECT_EQ(mesh->GetControlPoints()[1][0], 1.0);
    ASSERT_EQ(mesh->GetPolygonCount(), 3);
    EXPECT_EQ(mesh->GetPolygonSize(0), 3);
    EXPECT_EQ(mesh->GetPolygonVertex(0, 2), 2);
    EXPECT_EQ(mesh->GetPolygonVertex(1, 2), 0);
    // The unterminated tail is a polygon of its own.
    EXPECT_EQ(mesh->GetPolygonSize(2), 2);
    EXPECT_TRUE(mesh->CheckPolygonVertices());
    // Edges name polygon corners (8 here); others are stored as -1.
    ASSERT_EQ(mesh->GetMeshEdgeCount(), 4);
    EXPECT_EQ(mesh->GetMeshEdge(0), 0);
    EXPECT_EQ(mesh->GetMeshEdge(1), 4);
    EXPECT_EQ(mesh->GetMeshEdge(2), -1);
    EXPECT_EQ(mesh->GetMeshEdge(3), -1);
}

TEST_F(Duz6Geometry, PolygonNamingMissingPointIsDropped)
{
    KDuzMesh* mesh = ReadMesh(*this, manager,
                              "Vertices: 0,0,0, 1,0,0, 1,1,0\n"
                              "PolygonVertexIndex: 0,1,-4, 0,7,-3, 0,1,-2147483648, 2,1,-1\n");
    ASSERT_EQ(mesh->GetPolygonCount(), 1);
    EXPECT_EQ(mesh->GetPolygonVertex(0, 0), 2);
    EXPECT_EQ(mesh->GetPolygonVertexCount(), 3);
    EXPECT_TRUE(mesh->CheckPolygonVertices());
}

TEST_F(Duz6Geometry, EmptyEdgesLeaveEdgesAlone)
{
    Open("Geometry: \"Geometry::Cube\", \"Mesh\" {\nEdges: \n}", "Geometry");
    KDuzMesh* mesh = KDuzMesh::Create(manager, "mesh");
    mesh->SetMeshEdgeCount(2);
    KDuz6ReadEdges(file, mesh);
    EXPECT_EQ(mesh->GetMeshEdgeCount(), 2);
}

TEST_F(Duz6Geometry, UVElementReferenceModes)
{
    struct Case {
        const char* reference;
        int indices;
    };
    for (const Case& c : {Case{"IndexToDirect", 6}, Case{"Direct", 0}}) {
        SCOPED_TRACE(c.reference);
        TearDown();
        SetUp();
        Open(std::string("Geometry: \"Geometry::G\", \"Mesh\" {\n"
                         "LayerElementUV: 0 {\n"
                         "  Version: 101\n  Name: \"UVSet::map1\"\n"
                         "  MappingInformationType: \"ByPolygonVertex\"\n"
                         "  ReferenceInformationType: \"") +
                 c.reference +
                 "\"\n"
                 "  UV: 0,0, 1,0, 1,1, 0,1\n"
                 "  UVIndex: 0,1,2,3,4,-1\n}\n}",
             "Geometry");
        KDuz6ElementList list;
        EXPECT_TRUE(KDuz6ReadLayerElementsUV(Context(), list, "LayerElementUV"));
        ASSERT_EQ(list.size(), 1u);
        auto* uv = static_cast<KDuzLayerElementUV*>(list[0]);
        EXPECT_STREQ(uv->GetName(), "map1");
        EXPECT_EQ(uv->GetMappingMode(), KDuzLayerElement::eByPolygonVertex);
        ASSERT_EQ(uv->GetDirectArray().Count(), 4);
        EXPECT_EQ(uv->GetDirectArray()[2], KgeUVVector(1, 1));
        ASSERT_EQ(uv->GetIndexArray().Count(), c.indices);
        if (c.indices > 0) {
            // Indices past the four UVs would be followed out of the array.
            EXPECT_EQ(uv->GetIndexArray()[3], 3);
            EXPECT_EQ(uv->GetIndexArray()[4], -1);
            EXPECT_EQ(uv->GetIndexArray()[5], -1);
        }
    }
}

TEST_F(Duz6Geometry, ElementCommonFieldsAndNormals)
{
    Open("Geometry: \"Geometry::G\", \"Mesh\" {\n"
         "LayerElementNormal: 0 {\n  Version: 100\n  Name: \"kept out\"\n"
         "  MappingInformationType: \"byvertice\"\n  ReferenceInformationType: \"Index\"\n"
         "  Normals: 0,0,1, 0,1,0, 5\n}\n"
         "LayerElementNormal: 1 {\n  MappingInformationType: \"ByVertice\"\n}\n"
         "LayerElementSmoothing: 0 {\n  MappingInformationType: \"ByPolygon\"\n"
         "  ReferenceInformationType: \"IndexToDirect\"\n  Smoothing: 1,0,3\n}\n}",
         "Geometry");
    KDuz6ElementList normals;
    KDuz6ReadLayerElementsNormal(Context(), normals);
    ASSERT_EQ(normals.size(), 2u);
    auto* first = static_cast<KDuzLayerElementNormal*>(normals[0]);
    EXPECT_STREQ(first->GetName(), "");
    EXPECT_EQ(first->GetMappingMode(), KDuzLayerElement::eNone);  // case counts
    EXPECT_EQ(first->GetReferenceMode(), KDuzLayerElement::eIndex);
    ASSERT_EQ(first->GetDirectArray().Count(), 2);
    EXPECT_EQ(first->GetDirectArray()[1][1], 1.0);
    EXPECT_EQ(normals[1]->GetMappingMode(), KDuzLayerElement::eByControlPoint);

    KDuz6ElementList smoothing;
    KDuz6ReadLayerElementsSmoothing(Context(), smoothing);
    ASSERT_EQ(smoothing.size(), 1u);
    auto* s = static_cast<KDuzLayerElementSmoothing*>(smoothing[0]);
    EXPECT_EQ(s->GetMappingMode(), KDuzLayerElement::eByPolygon);
    EXPECT_EQ(s->GetReferenceMode(), KDuzLayerElement::eDirect);
    ASSERT_EQ(s->GetDirectArray().Count(), 3);
    EXPECT_FALSE(s->GetDirectArray()[1]);
    EXPECT_TRUE(s->GetDirectArray()[2]);
}

TEST_F(Duz6Geometry, TextureElementsNeedIndices)
{
    Open("Geometry: \"Geometry::G\", \"Mesh\" {\n"
         "LayerElementTexture: 0 {\n  ReferenceInformationType: \"Direct\"\n  TextureId: 0\n}\n"
         "LayerElementTexture: 1 {\n  ReferenceInformationType: \"IndexToDirect\"\n"
         "  BlendMode: \"Modulate2\"\n  TextureAlpha: 1.5\n  TextureId: 0,1\n}\n"
         "LayerElementTexture: 2 {\n  ReferenceInformationType: \"IndexToDirect\"\n"
         "  TextureAlpha: -0.5\n  TextureId: 4\n}\n"
         "LayerElementTexture: 3 {\n  ReferenceInformationType: \"Index\"\n}\n}",
         "Geometry");
    KDuz6ElementList list;
    KDuz6ReadLayerElementsTexture(Context(), "LayerElementTexture", list);
    ASSERT_EQ(list.size(), 2u);
    auto* first = static_cast<KDuzLayerElementTexture*>(list[0]);
    EXPECT_EQ(first->GetBlendMode(), 3);
    EXPECT_EQ(first->GetAlpha(), 1.0);
    EXPECT_EQ(first->GetIndexArray().Count(), 2);
    EXPECT_EQ(static_cast<KDuzLayerElementTexture*>(list[1])->GetAlpha(), 0.0);
}

TEST_F(Duz6Geometry, ColorsMaterialsAndGroups)
{
    Open("Geometry: \"Geometry::G\", \"Mesh\" {\n"
         "LayerElementColor: 0 {\n  ReferenceInformationType: \"IndexToDirect\"\n"
         "  Colors: 1,0,0,1, 0,1,0,0.5, 9\n  ColorIndex: 1,0,2\n}\n"
         "LayerElementMaterial: 0 {\n  MappingInformationType: \"AllSame\"\n  Materials: 3\n}\n"
         "LayerElementPolygonGroup: 0 {\n  PolygonGroup: 0,0,1\n}\n}",
         "Geometry");
    KDuz6ElementList colors, materials, groups;
    KDuz6ReadLayerElementsColor(Context(), colors);
    KDuz6ReadLayerElementsMaterial(Context(), materials);
    KDuz6ReadLayerElementsPolygonGroup(Context(), groups);
    ASSERT_EQ(colors.size(), 1u);
    auto* color = static_cast<KDuzLayerElementVertexColor*>(colors[0]);
    ASSERT_EQ(color->GetDirectArray().Count(), 2);
    EXPECT_EQ(color->GetDirectArray()[1].mAlpha, 0.5);
    ASSERT_EQ(color->GetIndexArray().Count(), 3);
    EXPECT_EQ(color->GetIndexArray()[2], -1);
    ASSERT_EQ(materials.size(), 1u);
    EXPECT_EQ(materials[0]->GetMappingMode(), KDuzLayerElement::eAllSame);
    EXPECT_EQ(materials[0]->GetIndexArray()[0], 3);
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0]->GetIndexArray().Count(), 3);
}

TEST_F(Duz6Geometry, LayersPlaceElements)
{
    KDuzMesh* mesh = ReadMesh(*this, manager,
                              "LayerElementNormal: 0 {\n  Normals: 0,0,1\n}\n"
                              "LayerElementUV: 0 {\n  UV: 0,0\n}\n"
                              "LayerElementUV: 1 {\n  UV: 1,1\n}\n"
                              "Layer: 0 {\n"
                              "  LayerElement:  {\n    Type: \"LayerElementMaterial\"\n    TypedIndex: 0\n  }\n"
                              "  LayerElement:  {\n    Type: \"LayerElementUV\"\n    TypedIndex: 0\n  }\n"
                              "  LayerElement:  {\n    Type: \"LayerElementBumpTextures\"\n    TypedIndex: 0\n  }\n"
                              "  LayerElement:  {\n    Type: \"LayerElementNothing\"\n    TypedIndex: 0\n  }\n"
                              "}\n"
                              "Layer: 1 {\n"
                              "  LayerElement:  {\n    Type: \"LayerElementUV\"\n    TypedIndex: 1\n  }\n"
                              "  LayerElement:  {\n    Type: \"LayerElementNormal\"\n    TypedIndex: 5\n  }\n"
                              "}\n"
                              "Layer: -1 {\n  LayerElement:  {\n    Type: \"LayerElementUV\"\n  }\n}\n"
                              "Layer: 100000 {\n  LayerElement:  {\n    Type: \"LayerElementUV\"\n  }\n}\n"
                              "Layer: 3 {\n  LayerElement:  {\n    Type: \"LayerElementUV\"\n  }\n}\n");
    // Layer 3 brings layer 2 along; the negative and far indices add none.
    ASSERT_EQ(mesh->GetLayerCount(), 4);
    KDuzLayer* layer0 = mesh->GetLayer(0);
    ASSERT_NE(layer0->GetMaterials(), nullptr);
    EXPECT_EQ(layer0->GetMaterials()->GetMappingMode(), KDuzLayerElement::eAllSame);
    EXPECT_EQ(layer0->GetMaterials()->GetReferenceMode(), KDuzLayerElement::eDirect);
    ASSERT_NE(layer0->GetTexturesOfType(19), nullptr);
    EXPECT_EQ(layer0->GetTexturesOfType(19)->GetMappingMode(), KDuzLayerElement::eAllSame);
    EXPECT_EQ(layer0->GetNormals(), nullptr);
    ASSERT_NE(layer0->GetUVs(), nullptr);
    EXPECT_EQ(layer0->GetUVs()->GetDirectArray()[0], KgeUVVector(0, 0));
    KDuzLayer* layer1 = mesh->GetLayer(1);
    ASSERT_NE(layer1->GetUVs(), nullptr);
    EXPECT_EQ(layer1->GetUVs()->GetDirectArray()[0], KgeUVVector(1, 1));
    EXPECT_EQ(layer1->GetNormals(), nullptr);
    EXPECT_EQ(mesh->GetLayer(2)->GetUVs(), nullptr);
    EXPECT_EQ(mesh->GetLayer(3)->GetUVs(), layer0->GetUVs());
}

TEST_F(Duz6Geometry, UVTypedIndexPastListChangesNothing)
{
    KDuzMesh* mesh = ReadMesh(*this, manager,
                              "LayerElementUV: 0 {\n  UV: 0,0\n}\n"
                              "Layer: 0 {\n"
                              "  LayerElement:  {\n    Type: \"LayerElementUV\"\n    TypedIndex: 1\n  }\n}\n");
    ASSERT_EQ(mesh->GetLayerCount(), 1);
    EXPECT_EQ(mesh->GetLayer(0)->GetUVs(), nullptr);
}

TEST_F(Duz6Geometry, UserDataAndVisibility)
{
    Open("Geometry: \"Geometry::G\", \"Mesh\" {\n"
         "LayerElementUserData: 0 {\n  UserDataId: 7\n"
         "  UserDataArray:  {\n    UserDataName: \"label\"\n    UserDataType: \"KString\"\n"
         "    UserData: \"a\"\n  }\n}\n"
         "LayerElementUserData: 1 {\n  UserDataId: 8\n"
         "  MappingInformationType: \"ByVertice\"\n  ReferenceInformationType: \"IndexToDirect\"\n"
         "  UserDataArray:  {\n    UserDataName: \"weight\"\n    UserDataType: \"double\"\n"
         "    UserData: 0.5,1.5,2.5\n  }\n"
         "  UserDataArray:  {\n    UserDataName: \"flag\"\n    UserDataType: \"bool\"\n"
         "    UserData: 1,0\n  }\n"
         "  UserDataIndex: 0,2,1\n}\n"
         "LayerElementVisibility: 0 {\n  MappingInformationType: \"ByEdge\"\n  Visibility: 1,0,1\n}\n}",
         "Geometry");
    KDuz6ElementList userData;
    KDuz6ReadLayerElementUserData(Context(), userData);
    // The text column has no numbers, so that record takes no position.
    ASSERT_EQ(userData.size(), 1u);
    auto* element = static_cast<KDuzLayerElementUserData*>(userData[0]);
    EXPECT_EQ(element->GetId(), 8);
    ASSERT_EQ(element->GetAttributeCount(), 2);
    EXPECT_STREQ(element->GetDataName(1), "flag");
    EXPECT_EQ(element->GetMappingMode(), KDuzLayerElement::eByControlPoint);
    // Each column keeps its own length.
    const KDynamicArray* weights = element->GetDirectArrayOf(0);
    const KDynamicArray* flags = element->GetDirectArrayOf(1);
    ASSERT_NE(weights, nullptr);
    ASSERT_NE(flags, nullptr);
    ASSERT_EQ(weights->Count(), 3);
    EXPECT_EQ(static_cast<const double*>(weights->Data())[2], 2.5);
    ASSERT_EQ(flags->Count(), 2);
    EXPECT_TRUE(static_cast<const bool*>(flags->Data())[0]);
    EXPECT_FALSE(static_cast<const bool*>(flags->Data())[1]);
    EXPECT_EQ(element->GetIndexArray().Count(), 3);

    KDuz6ElementList visibility;
    KDuz6ReadLayerElementVisibility(Context(), visibility);
    ASSERT_EQ(visibility.size(), 1u);
    auto* v = static_cast<KDuzLayerElementVisibility*>(visibility[0]);
    EXPECT_EQ(v->GetMappingMode(), KDuzLayerElement::eByEdge);
    ASSERT_EQ(v->GetDirectArray().Count(), 3);
    EXPECT_FALSE(v->GetDirectArray()[1]);
}

}  // namespace
}  // namespace duzsdk
