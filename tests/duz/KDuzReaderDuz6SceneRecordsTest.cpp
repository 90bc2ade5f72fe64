// A textured, lit cube read through the whole version 6 reader: what the
// game takes from a level file (points, polygons, normals, UVs, materials).
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "sdk/duz/KDuzReaderDuz6.h"
#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/io/KDuzStreamOptionsDuz.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

namespace duzsdk {
namespace {

const char* const kQuadScene =
    "Definitions:  {\n"
    "    ObjectType: \"Model\" {\n        Count: 1\n    }\n"
    "    ObjectType: \"Geometry\" {\n        Count: 1\n    }\n"
    "    ObjectType: \"Material\" {\n        Count: 1\n    }\n"
    "}\n"
    "Objects:  {\n"
    "    Model: \"Model::Quad\", \"Mesh\" {\n        Version: 232\n        Shading: Y\n    }\n"
    "    Geometry: \"Geometry::Quad\", \"Mesh\" {\n"
    "        Vertices: 0,0,0, 1,0,0, 1,1,0, 0,1,0\n"
    "        PolygonVertexIndex: 0,1,2,-4\n"
    "        GeometryVersion: 124\n"
    "        LayerElementNormal: 0 {\n"
    "            Version: 101\n            Name: \"\"\n"
    "            MappingInformationType: \"ByVertice\"\n"
    "            ReferenceInformationType: \"Direct\"\n"
    "            Normals: 0,0,1, 0,0,1, 0,0,1, 0,0,1\n"
    "        }\n"
    "        LayerElementUV: 0 {\n"
    "            Version: 101\n            Name: \"map1\"\n"
    "            MappingInformationType: \"ByPolygonVertex\"\n"
    "            ReferenceInformationType: \"IndexToDirect\"\n"
    "            UV: 0,0, 1,0, 1,1, 0,1\n"
    "            UVIndex: 0,1,2,3\n"
    "        }\n"
    "        LayerElementMaterial: 0 {\n"
    "            MappingInformationType: \"AllSame\"\n"
    "            ReferenceInformationType: \"IndexToDirect\"\n"
    "            Materials: 0\n"
    "        }\n"
    "        Layer: 0 {\n"
    "            Version: 100\n"
    "            LayerElement:  {\n                Type: \"LayerElementNormal\"\n                TypedIndex: 0\n"
    "            }\n"
    "            LayerElement:  {\n                Type: \"LayerElementUV\"\n                TypedIndex: 0\n"
    "            }\n"
    "            LayerElement:  {\n                Type: \"LayerElementMaterial\"\n"
    "                TypedIndex: 0\n            }\n"
    "        }\n"
    "    }\n"
    "    Material: \"Material::Red\", \"\" {\n"
    "        Version: 102\n        ShadingModel: \"lambert\"\n        MultiLayer: 0\n"
    "    }\n"
    "}\n"
    "Connections:  {\n"
    "    Connect: \"OO\", \"Model::Quad\", \"Model::Scene\"\n"
    "    Connect: \"OO\", \"Geometry::Quad\", \"Model::Quad\"\n"
    "    Connect: \"OO\", \"Material::Red\", \"Model::Quad\"\n"
    "}\n";

TEST(Duz6SceneRecords, MeshWithLayersThroughTheReader)
{
    KDuzSdkManager* manager = KDuzSdkManager::Create();
    ASSERT_NE(manager, nullptr);
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("duz6scene_records_" + std::to_string(::getpid()) + ".duz");
    {
        std::ofstream out(path, std::ios::binary);
        out << "; DUZ 6.1.0 project file\n" << kQuadScene;
    }
    {
        KDuzScene* scene = KDuzScene::Create(manager, "");
        KDuzStreamOptionsDuzReader* options = KDuzStreamOptionsDuzReader::Create(manager, "");
        options->Reset();
        auto reader = std::make_unique<KDuzReaderDuz6>(manager, nullptr);
        ASSERT_TRUE(reader->FileOpen(path.string().c_str())) << reader->GetLastErrorString();
        ASSERT_TRUE(reader->Read(scene, options)) << reader->GetLastErrorString();
        KDuzNode* node = reader->FindNodeByName("Quad");
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->GetShadingMode(), 3);
        auto* mesh = static_cast<KDuzMesh*>(node->GetMesh());
        ASSERT_NE(mesh, nullptr);
        EXPECT_EQ(mesh->GetControlPointsCount(), 4);
        ASSERT_EQ(mesh->GetPolygonCount(), 1);
        EXPECT_EQ(mesh->GetPolygonSize(0), 4);
        ASSERT_GE(mesh->GetLayerCount(), 1);
        KDuzLayer* layer = mesh->GetLayer(0);
        ASSERT_NE(layer->GetNormals(), nullptr);
        EXPECT_EQ(layer->GetNormals()->GetDirectArray().Count(), 4);
        ASSERT_NE(layer->GetUVs(), nullptr);
        EXPECT_STREQ(layer->GetUVs()->GetName(), "map1");
        EXPECT_EQ(mesh->GetTextureUVIndex(0, 2), 2);
        ASSERT_NE(layer->GetMaterials(), nullptr);
        EXPECT_EQ(layer->GetMaterials()->GetMappingMode(), KDuzLayerElement::eAllSame);
        reader->FileClose();
    }
    std::filesystem::remove(path);
    manager->Destroy();
}

}  // namespace
}  // namespace duzsdk
