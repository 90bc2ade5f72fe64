#include "game/CGObject.h"
#include "game/GameModelImport.h"

#include "GameTestSupport.h"

#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzScene.h"

#include <gtest/gtest.h>

namespace {

// One triangle with per-point normals and UVs, a Phong material, and a
// second model that hangs below the first (so it is not a part).
const char* kModel = R"(; DUZ 6.1.0 project file
Definitions:  {
    Version: 100
    ObjectType: "Model" {
        Count: 2
    }
    ObjectType: "Material" {
        Count: 1
    }
}
Objects:  {
    Model: "Model::tri", "Mesh" {
        Version: 232
        Vertices: 0,0,0,2,0,0,0,0,-2
        PolygonVertexIndex: 0,1,-3
        GeometryVersion: 124
        LayerElementNormal: 0 {
            Version: 101
            MappingInformationType: "ByVertice"
            ReferenceInformationType: "Direct"
            Normals: 0,1,0,0,1,0,0,1,0
        }
        LayerElementUV: 0 {
            Version: 101
            MappingInformationType: "ByVertice"
            ReferenceInformationType: "Direct"
            UV: 0,0,1,0,0,1
        }
        LayerElementMaterial: 0 {
            Version: 101
            MappingInformationType: "AllSame"
            ReferenceInformationType: "IndexToDirect"
            Materials: 0
        }
        Layer: 0 {
            Version: 100
            LayerElement:  {
                Type: "LayerElementNormal"
                TypedIndex: 0
            }
            LayerElement:  {
                Type: "LayerElementMaterial"
                TypedIndex: 0
            }
            LayerElement:  {
                Type: "LayerElementUV"
                TypedIndex: 0
            }
        }
    }
    Model: "Model::child", "Mesh" {
        Version: 232
        Vertices: 0,0,0,1,0,0,0,1,0
        PolygonVertexIndex: 0,1,-3
    }
    Material: "Material::red", "" {
        Version: 102
        ShadingModel: "phong"
        Properties60:  {
            Property: "DiffuseColor", "ColorRGB", "",0.9,0.1,0.1
            Property: "TransparencyFactor", "double", "",1
            Property: "ShininessExponent", "double", "",20
        }
    }
}
Connections:  {
    Connect: "OO", "Model::tri", "Model::Scene"
    Connect: "OO", "Model::child", "Model::tri"
    Connect: "OO", "Material::red", "Model::tri"
}
)";

class GameModelImportTest : public testing::Test {
protected:
    void SetUp() override {
        manager = duzsdk::KDuzSdkManager::Create();
        ASSERT_NE(manager, nullptr);
        scene = duzsdk::KDuzScene::Create(manager, "");
        ASSERT_NE(scene, nullptr);
    }
    void TearDown() override {
        if (manager != nullptr) manager->Destroy();
    }
    GameTempDir dir;
    duzsdk::KDuzSdkManager* manager = nullptr;
    duzsdk::KDuzScene* scene = nullptr;
};

TEST_F(GameModelImportTest, MissingOrBrokenFilesImportNothing) {
    EXPECT_FALSE(GameImportScene(manager, scene, dir.Path() + "/missing.duz"));
    EXPECT_FALSE(GameImportScene(nullptr, scene, dir.Path() + "/missing.duz"));
    EXPECT_FALSE(GameImportScene(manager, nullptr, dir.Path() + "/missing.duz"));
}

TEST_F(GameModelImportTest, AsciiModelBecomesOnePart) {
    // The settings spell paths with backslashes; the import must take them.
    dir.Write("models/tri.duz", kModel);
    ASSERT_TRUE(GameImportScene(manager, scene, dir.Path() + "\\models\\tri.duz"));
    CGObject object;
    object.AddPartsFromScene(scene);
    ASSERT_EQ(object.PartCount(), 1);   // the child below "tri" is not read
    const CGPart& part = object.parts[0];
    EXPECT_EQ(part.polygonCount, 1);
    EXPECT_EQ(part.vertices, (std::vector<float>{0, 0, 0, 2, 0, 0, 0, 0, -2}));
    EXPECT_EQ(part.normals, (std::vector<float>{0, 1, 0, 0, 1, 0, 0, 1, 0}));
    EXPECT_EQ(part.uvs, (std::vector<float>{0, 0, 1, 0, 0, 1}));
    EXPECT_FLOAT_EQ(part.material.diffuse[0], 0.9f);
    EXPECT_FLOAT_EQ(part.material.diffuse[1], 0.1f);
    EXPECT_FLOAT_EQ(part.material.shininess, 20.0f);
}

}  // namespace
