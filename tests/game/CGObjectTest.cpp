#include "game/CGObject.h"

#include "GameTestSupport.h"

#include "sdk/base/KgeTVector.h"
#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzLayerElement.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/object/KDuzProperty.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

#include <gtest/gtest.h>

#include <vector>

using namespace duzsdk;

namespace {

class CGObjectSceneTest : public testing::Test {
protected:
    void SetUp() override {
        manager = KDuzSdkManager::Create();
        ASSERT_NE(manager, nullptr);
        scene = KDuzScene::Create(manager, "scene");
        ASSERT_NE(scene, nullptr);
    }
    void TearDown() override {
        if (manager != nullptr) manager->Destroy();
    }

    // A node below the parent with a mesh over the points and polygons.
    KDuzMesh* AddMesh(KDuzNode* parent, const char* name, const std::vector<KgeTVector>& points,
                      const std::vector<std::vector<int>>& polygons, KDuzNode** nodeOut = nullptr) {
        KDuzNode* node = KDuzNode::Create(manager, name);
        KDuzMesh* mesh = KDuzMesh::Create(manager, "");
        EXPECT_TRUE(parent->AddChild(node));
        node->SetNodeAttribute(mesh);
        mesh->InitControlPoints(int(points.size()));
        for (size_t i = 0; i < points.size(); ++i) mesh->GetControlPoints()[i] = points[i];
        for (const auto& polygon : polygons) {
            mesh->BeginPolygon();
            for (int k : polygon) mesh->AddPolygon(k);
            mesh->EndPolygon();
        }
        if (nodeOut != nullptr) *nodeOut = node;
        return mesh;
    }

    static std::vector<KgeTVector> Square() {
        return {KgeTVector(0, 0, 0, 1), KgeTVector(1, 0, 0, 1), KgeTVector(1, 1, 0, 1), KgeTVector(0, 1, 0, 1)};
    }

    KDuzSdkManager* manager = nullptr;
    KDuzScene* scene = nullptr;
};

TEST_F(CGObjectSceneTest, TrianglesCarryWorldPositionsNormalsAndUVs) {
    KDuzNode* node = nullptr;
    KDuzMesh* mesh = AddMesh(scene->GetRootNode(), "tri", Square(), {{0, 1, 2}}, &node);
    ASSERT_TRUE(node->SetLclTranslation(duzVectorTemplate3<double>(10, 20, 30)));
    ASSERT_TRUE(mesh->InitNormals());
    for (int i = 0; i < 4; ++i) mesh->GetNormals()[i] = KgeTVector(0, 0, i, 0);
    ASSERT_TRUE(mesh->InitTextureUVIndices(1));
    for (int i = 0; i < 4; ++i) mesh->AddTextureUV(KgeUVVector(i * 0.25, 1 - i * 0.25));

    CGObject object;
    object.AddPartsFromScene(scene);
    ASSERT_EQ(object.PartCount(), 1);
    const CGPart& part = object.parts[0];
    EXPECT_EQ(part.polygonCount, 1);
    EXPECT_EQ(part.polygonVertexCount, 3);
    EXPECT_EQ(part.controlPointCount, 4);
    EXPECT_EQ(part.vertices, (std::vector<float>{10, 20, 30, 11, 20, 30, 11, 21, 30}));
    EXPECT_EQ(part.normals, (std::vector<float>{0, 0, 0, 0, 0, 1, 0, 0, 2}));
    EXPECT_EQ(part.uvs, (std::vector<float>{0, 1, 0.25f, 0.75f, 0.5f, 0.5f}));
}

TEST_F(CGObjectSceneTest, QuadsAreFannedAndBadCornersDropTheirPolygon) {
    // A quad, a polygon naming a missing point, and a two-corner polygon.
    AddMesh(scene->GetRootNode(), "quad", Square(), {{0, 1, 2, 3}, {0, 1, 9}, {0, 1}});
    CGObject object;
    object.AddPartsFromScene(scene);
    ASSERT_EQ(object.PartCount(), 1);
    const CGPart& part = object.parts[0];
    EXPECT_EQ(part.polygonCount, 2);
    EXPECT_EQ(part.polygonVertexCount, 6);
    EXPECT_EQ(part.vertices, (std::vector<float>{0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 0, 0, 1, 1, 0, 0, 1, 0}));
    // No normal or UV elements: zeros, never reads past an array.
    EXPECT_EQ(part.normals, std::vector<float>(18, 0.0f));
    EXPECT_EQ(part.uvs, std::vector<float>(12, 0.0f));
}

TEST_F(CGObjectSceneTest, ShortOrIndexedElementsNeverReadPastTheirArrays) {
    KDuzMesh* mesh = AddMesh(scene->GetRootNode(), "tri", Square(), {{0, 1, 2}, {0, 2, 3}});
    // Normals by control point but only two of them.
    KDuzLayerElementNormal* normals = KDuzCreateLayerElementNormal(manager, "");
    normals->SetMappingMode(KDuzLayerElement::eByControlPoint);
    normals->GetDirectArray().Add(KgeTVector(1, 0, 0, 0));
    normals->GetDirectArray().Add(KgeTVector(0, 1, 0, 0));
    mesh->GetLayer(0)->SetNormals(normals);
    // UVs by polygon vertex through indices, one of them out of range.
    KDuzLayerElementUV* uvs = KDuzCreateLayerElementUV(manager, "");
    uvs->SetMappingMode(KDuzLayerElement::eByPolygonVertex);
    uvs->SetReferenceMode(KDuzLayerElement::eIndexToDirect);
    uvs->GetDirectArray().Add(KgeUVVector(0.5, 0.5));
    for (int index : {0, 0, 7, 0, -1}) uvs->GetIndexArray().Add(index);
    mesh->GetLayer(0)->SetUVsOfType(uvs, 3);

    CGObject object;
    object.AddPartsFromScene(scene);
    ASSERT_EQ(object.PartCount(), 1);
    const CGPart& part = object.parts[0];
    EXPECT_EQ(part.normals, (std::vector<float>{1, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(part.uvs, (std::vector<float>{0.5f, 0.5f, 0.5f, 0.5f, 0, 0, 0.5f, 0.5f, 0, 0, 0, 0}));
}

TEST_F(CGObjectSceneTest, OnlyDirectMeshChildrenBecomeParts) {
    KDuzNode* first = nullptr;
    AddMesh(scene->GetRootNode(), "a", Square(), {{0, 1, 2}}, &first);
    AddMesh(first, "deeper", Square(), {{0, 1, 2}});   // below a child: not read
    scene->GetRootNode()->AddChild(KDuzNode::Create(manager, "empty"));   // no attribute
    AddMesh(scene->GetRootNode(), "b", Square(), {{0, 1, 2, 3}});
    CGObject object;
    object.AddPartsFromScene(scene);
    ASSERT_EQ(object.PartCount(), 2);
    EXPECT_EQ(object.parts[0].polygonCount, 1);
    EXPECT_EQ(object.parts[1].polygonCount, 2);
}

TEST_F(CGObjectSceneTest, MaterialsOfTheLayersFillThePartRecords) {
    KDuzMesh* mesh = AddMesh(scene->GetRootNode(), "m", Square(), {{0, 1, 2}});
    KDuzSurfacePhong* phong = KDuzSurfacePhong::Create(manager, "phong");
    KDuzTypedProperty<duzVectorTemplate3<double>>(phong->GetDiffuseColor()).Set({0.1, 0.2, 0.3});
    KDuzTypedProperty<duzVectorTemplate3<double>>(phong->GetSpecularColor()).Set({0.5, 0.5, 0.5});
    KDuzTypedProperty<double>(phong->GetTransparencyFactor()).Set(1.0);
    KDuzTypedProperty<double>(phong->GetShininessExponent()).Set(12.0);
    KDuzLayerElementMaterial* element = KDuzCreateLayerElementMaterial(manager, "");
    element->SetMappingMode(KDuzLayerElement::eAllSame);
    element->GetDirectArray().Add(phong);
    mesh->GetLayer(0)->SetMaterials(element);

    CGMaterial material;
    CGObject::ReadNodeProperties(mesh, material);
    EXPECT_FLOAT_EQ(material.diffuse[0], 0.1f);
    EXPECT_FLOAT_EQ(material.diffuse[2], 0.3f);
    EXPECT_FLOAT_EQ(material.diffuse[3], 1.0f);
    EXPECT_FLOAT_EQ(material.specular[1], 0.5f);
    EXPECT_FLOAT_EQ(material.shininess, 12.0f);

    // Mapped by control point: the records keep the GL defaults.
    element->SetMappingMode(KDuzLayerElement::eByControlPoint);
    CGMaterial untouched;
    CGObject::ReadNodeProperties(mesh, untouched);
    EXPECT_FLOAT_EQ(untouched.diffuse[0], 0.8f);
    EXPECT_FLOAT_EQ(untouched.ambient[0], 0.2f);
    EXPECT_FLOAT_EQ(untouched.shininess, 0.0f);
}

TEST(CGObjectSettings, FirstFileGivesThePartEntriesLastFileTheTransformation) {
    GameTempDir dir;
    dir.Write("box/a.ini", "[texture]\n0=rock\n1=nothing\n[shader]\n1=yes\n"
                           "[transformation]\ntranslation_x=1.5\nrotation_y=1\nrotation_angle=90\n");
    dir.Write("box/b.ini", "[texture]\n0=snow\n[transformation]\ntranslation_y=2\n");
    CGTexture textures;
    textures.table = {{"rock", 5}, {"snow", 6}};
    CGObject object;
    object.Bind(dir.Path() + "\\box\\", &textures, nullptr);
    object.parts.resize(2);
    object.ReadModelSettings();
    ASSERT_EQ(object.textureIds.size(), 4u);   // two entries per file
    EXPECT_EQ(object.PartTexture(0), 5);
    EXPECT_TRUE(object.PartTextured(0));
    EXPECT_EQ(object.PartTexture(1), 0);        // a name without a texture
    EXPECT_TRUE(object.PartTextured(1));
    EXPECT_FALSE(object.PartUsesShader(0));
    EXPECT_TRUE(object.PartUsesShader(1));
    // The second file's transformation replaces the first one's entirely.
    EXPECT_FLOAT_EQ(object.translation[0], 0.0f);
    EXPECT_FLOAT_EQ(object.translation[1], 2.0f);
    EXPECT_FLOAT_EQ(object.rotationAngle, 0.0f);
    EXPECT_FALSE(object.PartTextured(7));
}

TEST(CGObjectSettings, AFileThatDoesNotImportGivesNoParts) {
    CGObject object;
    object.Bind("/nonexistent/", nullptr, nullptr);
    EXPECT_FALSE(object.ImportModel("/nonexistent/model.duz"));
    EXPECT_EQ(object.PartCount(), 0);
    EXPECT_LT(object.lastPart, object.firstPart);   // an empty range draws nothing
}

}  // namespace
