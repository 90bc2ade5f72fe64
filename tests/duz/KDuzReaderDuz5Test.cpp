#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "sdk/character/KDuzCharacter.h"
#include "sdk/character/KDuzCharacterLink.h"
#include "sdk/character/KDuzCharacterParameterBlock.h"
#include "sdk/character/KDuzCharacterPose.h"
#include "sdk/duz/KDuzReaderDuz.h"
#include "sdk/duz/KDuzReaderDuz6.h"
#include "sdk/geometry/KDuzCluster.h"
#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzLayerElement.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzSkin.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/scene/KDuzGlobalLightSettings.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/io/KDuzImporter.h"
#include "sdk/io/KDuzStreamOptionsDuz.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzCamera.h"
#include "sdk/scene/KDuzCameraSwitcher.h"
#include "sdk/scene/KDuzLight.h"
#include "sdk/scene/KDuzMarker.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzPose.h"
#include "sdk/scene/KDuzScene.h"
#include "sdk/scene/KDuzSkeleton.h"
#include "tests/support/DuzAsciiToBinary.h"
#include "tests/support/SceneDump.h"

namespace duzsdk {
namespace {

// Writes a version 5 file per test (ASCII, or binary made from it) and reads
// it with a reader of its own.
class Duz5ReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        manager = KDuzSdkManager::Create();
        ASSERT_NE(manager, nullptr);
        scene = KDuzScene::Create(manager, "");
        options = KDuzStreamOptionsDuzReader::Create(manager, "");
        ASSERT_NE(options, nullptr);
        options->Reset();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = std::filesystem::temp_directory_path() /
                 ("duz5reader_" + std::string(info->name()) + "_" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        path = (folder / "scene.duz").string();
        reader = std::make_unique<KDuzReaderDuz>(manager, nullptr);
    }
    void TearDown() override {
        reader.reset();
        std::filesystem::remove_all(folder);
        manager->Destroy();
    }
    void Write(const std::string& version, const std::string& body, const std::string& file) {
        std::ofstream out(file, std::ios::binary);
        out << "; DUZ " << version << " project file\n" << body << "\n";
    }
    bool Load(const std::string& body, const std::string& version = "5.0.0") {
        Write(version, body, path);
        EXPECT_TRUE(reader->FileOpen(path.c_str())) << reader->GetLastErrorString();
        return reader->Read(scene, options);
    }
    KDuzNode* Node(const char* name) { return scene->GetRootNode()->FindChild(name); }

    KDuzSdkManager* manager = nullptr;
    KDuzScene* scene = nullptr;
    KDuzStreamOptionsDuzReader* options = nullptr;
    std::unique_ptr<KDuzReaderDuz> reader;
    std::filesystem::path folder;
    std::string path;
};

TEST_F(Duz5ReaderTest, LayoutFollowsVersionAndDefinitions) {
    struct Case {
        const char* version;
        bool definitions;
        bool old;
    };
    const Case cases[] = {{"4.2.0", true, true},   {"5.0.0", false, true}, {"5.7.9", true, true},
                          {"5.8.0", false, true},  {"5.8.0", true, false}, {"5.8.1", false, false},
                          {"5.9.0", false, false}};
    for (const Case& c : cases) {
        KDuzReaderDuz probe(manager, nullptr);
        Write(c.version, c.definitions ? "Definitions: {\n}\n" : "A: 1\n", path);
        ASSERT_TRUE(probe.FileOpen(path.c_str())) << c.version;
        probe.UpdatePropertyFormatFlag(true);
        EXPECT_EQ(probe.IsOldLayout(), c.old) << c.version << " " << c.definitions;
    }
}

// The old layout: hierarchy by name, attribute by "Type", targets by name.
TEST_F(Duz5ReaderTest, OldLayoutModelsBuildTheTree) {
    ASSERT_TRUE(Load(R"(Model: "Model::Arm" {
    Version: 100
    Type: "LimbNode"
    Size: 0.5
    Children: "Model::Hand", "Model::Ghost", "", "Model::Never"
    LookAtModel: "Model::Hand"
    Hidden: "TRUE"
}
Model: "Model::Hand" {
    Type: "Marker"
    Children: "Model::Arm"
}
Model: "Model::Odd" {
    Type: "Markerx"
}
Model: "Model::Box" {
    Children: "Model::Box"
    Vertices: 0,0,0, 1,0,0, 1,1,0, 0,1,0
    PolygonVertexIndex: 0,1,-3, 2,3,-1, 0,9,-2
}
Model: "Model::Never" {
    Type: "Null"
})"));
    KDuzNode* arm = Node("Arm");
    KDuzNode* hand = Node("Hand");
    ASSERT_NE(arm, nullptr);
    ASSERT_NE(hand, nullptr);
    EXPECT_EQ(hand->GetParent(), arm);
    // Hand lists Arm as its child too: the loop is refused.
    EXPECT_EQ(arm->GetParent(), scene->GetRootNode());
    EXPECT_EQ(Node("Never")->GetParent(), scene->GetRootNode());   // after the empty name
    EXPECT_EQ(Node("Box")->GetParent(), scene->GetRootNode());
    EXPECT_FALSE(arm->GetVisibility());
    EXPECT_TRUE(arm->GetLegacyModel());
    auto* skeleton = dynamic_cast<KDuzSkeleton*>(arm->GetNodeAttribute());
    ASSERT_NE(skeleton, nullptr);
    EXPECT_DOUBLE_EQ(skeleton->GetSize(), 50.0);
    EXPECT_NE(dynamic_cast<KDuzMarker*>(hand->GetNodeAttribute()), nullptr);
    EXPECT_EQ(Node("Odd")->GetNodeAttribute(), nullptr);
    EXPECT_EQ(arm->GetLookAtTarget(), hand);
    // A model without "Type" is a mesh; the polygon naming point 9 is dropped.
    auto* mesh = dynamic_cast<KDuzMesh*>(Node("Box")->GetNodeAttribute());
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->GetControlPointsCount(), 4);
    EXPECT_EQ(mesh->GetPolygonCount(), 2);
    EXPECT_TRUE(mesh->CheckPolygonVertices());
}

// The old layout keeps the transform only in the default take's channels.
TEST_F(Duz5ReaderTest, OldLayoutTransformComesFromTheDefaultChannels) {
    ASSERT_TRUE(Load(R"(Model: "Model::Box" {
    Type: "Null"
    Channel: "Transform" {
        Channel: "T" {
            Channel: "X" {
                Default: 7
            }
            Channel: "Y" {
                Default: 8
            }
            Channel: "Z" {
                Default: 9
            }
        }
    }
})"));
    KDuzNode* box = Node("Box");
    ASSERT_NE(box, nullptr);
    EXPECT_DOUBLE_EQ(box->GetDefaultT(false).GetElement(1), 8.0);
    duzVectorTemplate3<double> translation(0.0, 0.0, 0.0);
    box->FindProperty("Lcl Translation").GetValue(&translation, eValueKindDouble3);
    EXPECT_DOUBLE_EQ(translation[0], 7.0);
    EXPECT_DOUBLE_EQ(translation[2], 9.0);
}

// A camera's position is its node's translation: the camera must be on its
// node before "Position" is read, in both layouts.
TEST_F(Duz5ReaderTest, CameraPositionReachesItsNode) {
    const char* oldBody = R"(Model: "Model::Cam" {
    Type: "Camera"
    Position: 1,2,3
    FormatName: "PAL"
    FarPlane: 500
})";
    ASSERT_TRUE(Load(oldBody));
    KDuzNode* node = Node("Cam");
    ASSERT_NE(node, nullptr);
    auto* camera = dynamic_cast<KDuzCamera*>(node->GetNodeAttribute());
    ASSERT_NE(camera, nullptr);
    const KgeTVector t = node->GetDefaultT(false);
    EXPECT_DOUBLE_EQ(t.GetElement(0), 1.0);
    EXPECT_DOUBLE_EQ(t.GetElement(1), 2.0);
    EXPECT_DOUBLE_EQ(t.GetElement(2), 3.0);
    EXPECT_EQ(camera->GetFormat(), 3);
    EXPECT_DOUBLE_EQ(camera->GetFarPlane(), 500.0);
    EXPECT_DOUBLE_EQ(camera->GetNearPlane(), 10.0);

    reader = std::make_unique<KDuzReaderDuz>(manager, nullptr);
    ASSERT_TRUE(Load(R"(Definitions: {
    ObjectType: "Model" {
    }
}
Objects: {
    Model: "Model::Cam", "Camera" {
        Type: "Camera"
        Position: 4,5,6
    }
}
Connections: {
    Connect: "OO", "Model::Cam", "Model::Scene"
})",
                     "5.8.0"));
    EXPECT_FALSE(reader->IsOldLayout());
    node = Node("Cam");
    ASSERT_NE(node, nullptr);
    EXPECT_DOUBLE_EQ(node->GetDefaultT(false).GetElement(2), 6.0);
}

TEST_F(Duz5ReaderTest, OldMeshRecordsAndInlineMaterials) {
    ASSERT_TRUE(Load(R"(Model: "Model::Box" {
    Vertices: 0,0,0, 1,0,0, 1,1,0
    PolygonVertexIndex: 0,1,-3
    Normals: 0,0,1, 0,0,1, 0,0,1, 7
    Material: "Material::Red" {
        ShadingModel: "Lambert"
        Diffuse: 1,0,0
        Shininess: 12.8
        Alpha: 0.25
    }
    Texture: "Texture::Bricks" {
        ModelUVTranslation: 0.1, 0.2
        TextureAlpha: 3
    }
    MaterialAssignation: "ByPolygon"
    Materials: 0, 5
    GeometryUVInfo: {
        TextureType: "ByFace"
        TextureUV: 0,0, 1,0, 1,1
        TextureVertexIndex: 0, 1, 99
    }
})",
                     "2.0.0"));
    auto* mesh = dynamic_cast<KDuzMesh*>(Node("Box")->GetNodeAttribute());
    ASSERT_NE(mesh, nullptr);
    ASSERT_NE(mesh->GetNormals(), nullptr);   // the spare value is ignored
    EXPECT_DOUBLE_EQ(mesh->GetNormals()[2].GetElement(2), 1.0);
    ASSERT_EQ(mesh->GetMaterialCount(), 1);
    auto* material = dynamic_cast<KDuzSurfacePhong*>(mesh->GetMaterial(0));
    ASSERT_NE(material, nullptr);
    EXPECT_STREQ(material->GetName(), "Red");
    KString model;
    material->GetShadingModel().GetValue(&model, eValueKindString);
    EXPECT_STREQ(model.Buffer(), "lambert");
    double value = 0.0;
    material->GetShininessExponent().GetValue(&value, eValueKindDouble);
    EXPECT_NEAR(value, 10.0, 1e-12);   // a section older than version 3000
    material->GetTransparencyFactor().GetValue(&value, eValueKindDouble);
    EXPECT_DOUBLE_EQ(value, 0.75);
    // Material indices past the materials, and UV indices past the UVs,
    // are stored as 0.
    const int* materials = mesh->GetMaterialIndices();
    ASSERT_NE(materials, nullptr);
    EXPECT_EQ(materials[1], 0);
    ASSERT_EQ(mesh->GetTextureUVCount(), 3);
}

TEST_F(Duz5ReaderTest, OldMeshLayerRecordsCheckTheirCounts) {
    ASSERT_TRUE(Load(R"(Model: "Model::Quads" {
    GeometryVersion: 123
    Vertices: 0,0,0, 1,0,0, 1,1,0, 0,1,0
    PolygonVertexIndex: 0,1,-3, 0,2,-4
    PolygonGroup: 5
    VertexColorInfo: {
        MappingInformationType: "ByPolygon"
        Colors: 1,0,0,1, 0,1,0,1
    }
    Texture: "Texture::A" {
    }
    Texture: "Texture::B" {
        Media: "Video::Clip"
    }
    GeometryLayer: {
        LayerTextureInfo: {
            TextureMode: 6
            TextureId: 1, 7
            UVMode: 8
            UVCount: 2
            UV: 0,0, 1,1
            UVId: 0, 1, 1, -1, 2, 0
        }
    }
    GeometryLayer: {
        LayerTextureInfo: {
            TextureMode: 2
            TextureId: 2147483647
        }
    }
})",
                     "5.0.0"));
    auto* mesh = dynamic_cast<KDuzMesh*>(Node("Quads")->GetNodeAttribute());
    ASSERT_NE(mesh, nullptr);
    // One group value for two polygons: every polygon in group 0.
    EXPECT_EQ(mesh->GetPolygonArray().Data()[1].mGroup, 0);
    // Colours by polygon are not a version 5 mapping: the element is empty.
    ASSERT_NE(mesh->GetLayer(0)->GetVertexColors(), nullptr);
    EXPECT_EQ(mesh->GetLayer(0)->GetVertexColors()->GetDirectArray().Count(), 0);
    // Each texture layer is a new layer after layer 0. Texture 7 and UV -1
    // name nothing and are stored as 0; the huge texture index of the next
    // layer leaves its element empty.
    ASSERT_EQ(mesh->GetLayerCount(), 3);
    KDuzLayerElementTexture* textures = mesh->GetLayer(1)->GetTextures();
    ASSERT_NE(textures, nullptr);
    ASSERT_EQ(textures->GetDirectArray().Count(), 1);
    EXPECT_STREQ(textures->GetDirectArray().Data()[0]->GetName(), "B");
    ASSERT_EQ(textures->GetIndexArray().Count(), 2);
    EXPECT_EQ(textures->GetIndexArray().Data()[1], 0);
    KDuzLayerElementUV* uvs = mesh->GetLayer(1)->GetUVs();
    ASSERT_NE(uvs, nullptr);
    ASSERT_EQ(uvs->GetIndexArray().Count(), 6);
    EXPECT_EQ(uvs->GetIndexArray().Data()[3], 0);
    EXPECT_EQ(uvs->GetIndexArray().Data()[4], 0);
    KDuzLayerElementTexture* second = mesh->GetLayer(2)->GetTextures();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->GetDirectArray().Count(), 0);
}

// "Media" gives the file of each clip to the textures that name it: the
// first of its two names that exists beside the file.
TEST_F(Duz5ReaderTest, MediaFileNamesReachTheirTextures) {
    std::ofstream((folder / "a.tif").string()) << "image";
    ASSERT_TRUE(Load(R"(Model: "Model::Box" {
    Vertices: 0,0,0, 1,0,0, 1,1,0
    PolygonVertexIndex: 0,1,-3
    Texture: "Texture::One" {
        Media: "Video::Found"
    }
    Texture: "Texture::Two" {
        Media: "Video::Other"
    }
}
Media: {
    Video: {
        Video: "Video::Found" {
            Type: "Clip"
            Filename: "missing/a.tif"
            RelativeFilename: "a.tif"
        }
        Video: "Video::Other" {
            Type: "Still"
            Filename: "a.tif"
        }
    }
})"));
    auto* mesh = dynamic_cast<KDuzMesh*>(Node("Box")->GetNodeAttribute());
    ASSERT_NE(mesh, nullptr);
    KDuzLayerElementTexture* textures = mesh->GetLayer(0)->GetTextures();
    ASSERT_NE(textures, nullptr);
    ASSERT_EQ(textures->GetDirectArray().Count(), 2);
    const KDuzTexture* one = textures->GetDirectArray().Data()[0];
    const KDuzTexture* two = textures->GetDirectArray().Data()[1];
    EXPECT_EQ(std::filesystem::path(one->GetFileName()), folder / "a.tif");
    EXPECT_STREQ(one->GetRelativeFileName(), "a.tif");
    // A video that is not a clip names no file.
    EXPECT_STREQ(two->GetFileName(), "");
}

TEST_F(Duz5ReaderTest, FogEndIsSetBeforeItsStart) {
    options->SetBoolOption("GLOBAL SETTINGS", true);
    ASSERT_TRUE(Load(R"(Definitions: {
}
Version5: {
    FogOptions: {
        FogStart: 1500
        FogEnd: 2000
    }
})",
                     "5.8.0"));
    EXPECT_DOUBLE_EQ(scene->GetGlobalLightSettings()->GetFogStart(), 1500.0);
    EXPECT_DOUBLE_EQ(scene->GetGlobalLightSettings()->GetFogEnd(), 2000.0);
}

TEST_F(Duz5ReaderTest, OldCharactersAreNamedAndKeepTheirInput) {
    options->SetBoolOption("CHARACTER", true);
    ASSERT_TRUE(Load(R"(Model: "Model::Hips" {
    Type: "Null"
}
CHARACTER: {
}
CHARACTER: {
    INPUTOUTPUTTYPE: 1
    CHARACTERINDEX: 0
    BASE: {
        LINK: "" {
            MODEL: "Model::Hips"
        }
    }
    CONTROLSET: {
        TYPE: 1
    }
}
CHARACTER: {
}
CHARACTER: {
    CONSTRAINT: "Constraint::Hero"
})"));
    ASSERT_EQ(scene->GetCharacterCount(), 4);
    const char* names[] = {"Character", "Character1", "Character2", "Hero"};
    for (int i = 0; i < 4; ++i) EXPECT_STREQ(scene->GetCharacter(i)->GetName(), names[i]);
    auto* second = dynamic_cast<KDuzCharacter*>(scene->GetCharacter(1));
    ASSERT_NE(second, nullptr);
    KDuzCharacterLink link;
    ASSERT_TRUE(second->GetCharacterLink(KDuzCharacterNodeGroupId(0, 0), &link));
    EXPECT_EQ(link.mNode, Node("Hips"));
    // The control set gets its plug; the character input stays character 0.
    EXPECT_EQ(scene->GetControlSetPlugCount(), 1);
    EXPECT_EQ(second->GetInputObject(), scene->GetCharacter(0));
}

TEST_F(Duz5ReaderTest, PosesOfSceneGenericPersistence) {
    options->SetBoolOption("CHARACTER", true);
    ASSERT_TRUE(Load(R"(Model: "Model::Hips" {
    Type: "Null"
}
SceneGenericPersistence: {
    Pose: "Pose::Bind" {
        Type: "BindPose"
        NbPoseNodes: 1000000
        PoseNode: {
            Node: "Model::Hips"
            Matrix: 1,0,0,0, 0,1,0,0, 0,0,1,0, 5,0,0,1
        }
        PoseNode: {
            Node: "Model::Nobody"
        }
    }
    Pose: "Pose::Stance" {
        Type: "CharacterPose"
        PoseScene: {
            Model: "Model::PoseHips" {
                Type: "Null"
            }
        }
    }
})"));
    std::vector<KDuzObject*> poses;
    KDuzCollectSrcObjects(scene, KDuzPose::ClassId(), poses);
    ASSERT_EQ(poses.size(), 1u);   // read once, by the bind and rest pose pass
    auto* pose = dynamic_cast<KDuzPose*>(poses[0]);
    EXPECT_TRUE(pose->IsBindPose());
    EXPECT_EQ(pose->GetCount(), 1);
    ASSERT_EQ(scene->GetCharacterPoseCount(), 1);
    auto* characterPose = dynamic_cast<KDuzCharacterPose*>(scene->GetCharacterPose(0));
    ASSERT_NE(characterPose, nullptr);
    ASSERT_NE(characterPose->GetScene(), nullptr);
    EXPECT_NE(characterPose->GetScene()->GetRootNode()->FindChild("PoseHips"), nullptr);
    // The nested read leaves the outer names alone.
    EXPECT_EQ(reader->GetFileObject()->FindObjectByName("Model::Hips"), Node("Hips"));
}

// A version 6 character pose holds its scene as version 5 content in the
// rest of its record; the version 6 reader reads it with this reader.
TEST_F(Duz5ReaderTest, Version6CharacterPoseScenesAreRead) {
    options->SetBoolOption("CHARACTER", true);
    Write("6.1.0", R"(Definitions: {
    ObjectType: "Model" {
    }
    ObjectType: "Pose" {
    }
}
Objects: {
    Model: "Model::Hips", "Null" {
    }
    Pose: "Pose::Stance", "CharacterPose" {
        Definitions: {
            ObjectType: "Model" {
            }
        }
        Objects: {
            Model: "Model::PoseHips", "Null" {
                Type: "Null"
            }
        }
        Connections: {
            Connect: "OO", "Model::PoseHips", "Model::Scene"
        }
    }
}
Connections: {
    Connect: "OO", "Model::Hips", "Model::Scene"
})",
          path);
    KDuzReaderDuz6 six(manager, nullptr);
    ASSERT_TRUE(six.FileOpen(path.c_str()));
    ASSERT_TRUE(six.Read(scene, options)) << six.GetLastErrorString();
    ASSERT_EQ(scene->GetCharacterPoseCount(), 1);
    auto* pose = dynamic_cast<KDuzCharacterPose*>(scene->GetCharacterPose(0));
    ASSERT_NE(pose, nullptr);
    ASSERT_NE(pose->GetScene(), nullptr);
    EXPECT_NE(pose->GetScene()->GetRootNode()->FindChild("PoseHips"), nullptr);
    // The outer scene keeps its own model, and only it.
    EXPECT_NE(Node("Hips"), nullptr);
    EXPECT_EQ(Node("PoseHips"), nullptr);
}

// A file may place the camera switcher below another node; reading again
// into the same scene clears it without losing the scene's switcher node.
TEST_F(Duz5ReaderTest, SceneSwitcherNodeBelowAModelSurvivesTheNextRead) {
    const char* body = R"(Definitions: {
    ObjectType: "Model" {
    }
}
Objects: {
    Model: "Model::Box", "Null" {
        Type: "Null"
    }
    Model: "Model::Camera Switcher", "CameraSwitcher" {
        Type: "CameraSwitcher"
    }
}
Connections: {
    Connect: "OO", "Model::Box", "Model::Scene"
    Connect: "OO", "Model::Camera Switcher", "Model::Box"
})";
    for (int read = 0; read < 2; ++read) {
        reader = std::make_unique<KDuzReaderDuz>(manager, nullptr);
        ASSERT_TRUE(Load(body, "5.8.0"));
        ASSERT_NE(scene->GetCameraSwitcherNode(), nullptr);
        EXPECT_STREQ(scene->GetCameraSwitcherNode()->GetName(), "Camera Switcher");
    }
}

// The layered layout of 5.8 is the version 6 layout with the geometry in
// the model: the same scene both ways, in both encodings.
TEST_F(Duz5ReaderTest, LayeredFileReadsAsItsVersion6Counterpart) {
    const std::string body = R"(Definitions: {
    ObjectType: "Model" {
    }
    ObjectType: "Material" {
    }
}
Objects: {
    Model: "Model::Box", "Mesh" {
        Version: 232
        Properties60: {
            Property: "Lcl Translation", "Lcl Translation", "A+",1,2,3
        }
        Vertices: 0,0,0, 1,0,0, 1,1,0
        PolygonVertexIndex: 0,1,-3
        LayerElementMaterial: 0 {
            MappingInformationType: "AllSame"
            ReferenceInformationType: "IndexToDirect"
            Materials: 0
        }
        Layer: 0 {
            LayerElement: {
                Type: "LayerElementMaterial"
                TypedIndex: 0
            }
        }
    }
    Material: "Material::Red", "" {
        ShadingModel: "phong"
        Properties60: {
            Property: "DiffuseColor", "ColorRGB", "",1,0,0
        }
    }
}
Connections: {
    Connect: "OO", "Model::Box", "Model::Scene"
    Connect: "OO", "Material::Red", "Model::Box"
})";
    const std::string v5 = (folder / "five.duz").string();
    const std::string v6 = (folder / "six.duz").string();
    const std::string v5binary = (folder / "five-binary.duz").string();
    Write("5.8.0", body, v5);
    Write("6.1.0", body, v6);
    ASSERT_TRUE(duztest::ConvertDuzAsciiToBinary(v5, v5binary, 5800));

    auto read = [&](auto& anyReader, const std::string& file) {
        KDuzScene* target = KDuzScene::Create(manager, "");
        EXPECT_TRUE(anyReader.FileOpen(file.c_str())) << file;
        EXPECT_TRUE(anyReader.Read(target, options)) << file << ": " << anyReader.GetLastErrorString();
        std::string dump = duztest::DumpScene(*target);
        target->Destroy();
        return dump;
    };
    KDuzReaderDuz6 six(manager, nullptr);
    KDuzReaderDuz five(manager, nullptr);
    KDuzReaderDuz fiveBinary(manager, nullptr);
    const std::string expected = read(six, v6);
    EXPECT_EQ(duztest::DiffDumps(expected, read(five, v5)), "");
    EXPECT_EQ(duztest::DiffDumps(expected, read(fiveBinary, v5binary)), "");
}

TEST_F(Duz5ReaderTest, HostileCountsAndNamesAreHarmless) {
    options->SetBoolOption("CHARACTER", true);
    options->SetBoolOption("LINK", true);
    ASSERT_TRUE(Load(R"(Model: "Model::" {
    Children: "Model::", "Model::"
    PolygonVertexIndex: -2147483648, 2147483647
    Normals: 1
    Link: "Model::Nowhere" {
        Indexes: 0, 5, -1
        Weights: 1
        Transform: 1,2
    }
    GeometryUVInfo: {
        TextureUV: 1
    }
}
CHARACTER: {
    BASE: {
        LINK: "NoSuchNode" {
        }
        LINK: "" {
        }
    }
    FILTERSET: {
        PARAM: {
            NAME: "HipsTOffset"
            VALUE1: 1e308
        }
    }
    CONTROLSET: {
        EFFECTOR: {
            LINK: {
                NAME: "NotAnEffector"
                MODEL: "Model::"
            }
        }
    }
}
Pose: "Pose::P" {
    Type: "BindPose"
    NbPoseNodes: -5
})"));
    EXPECT_EQ(scene->GetCharacterCount(), 1);
}

TEST_F(Duz5ReaderTest, ImporterChoosesTheReaderAndReportsErrors) {
    Write("5.0.0", "Model: \"Model::Box\" {\n    Type: \"Null\"\n}\n", path);
    KDuzImporter* importer = KDuzImporter::Create(manager, "");
    ASSERT_TRUE(importer->Initialize(path.c_str())) << importer->GetLastErrorString();
    EXPECT_NE(dynamic_cast<KDuzReaderDuz*>(importer->GetReader()), nullptr);
    ASSERT_TRUE(importer->Import(scene)) << importer->GetLastErrorString();
    EXPECT_NE(Node("Box"), nullptr);
    importer->Destroy();

    KDuzReaderDuz closed(manager, nullptr);
    EXPECT_FALSE(closed.Read(scene, options));
    EXPECT_EQ(closed.GetLastErrorID(), KDuzReader::eFileNotOpened);
    EXPECT_FALSE(closed.Read(scene, nullptr));
    EXPECT_EQ(closed.GetLastErrorID(), KDuzReader::eStreamOptionsNotSet);
}

// Equal textures and materials keep the first of each; the names of the
// others reach the survivor, so later connections land on it.
TEST_F(Duz5ReaderTest, EqualTexturesAndMaterialsMergeIntoTheFirst) {
    ASSERT_TRUE(Load(R"(Definitions: {
    ObjectType: "Model" {
    }
    ObjectType: "Texture" {
    }
    ObjectType: "Material" {
    }
}
Objects: {
    Model: "Model::Box", "Mesh" {
        Vertices: 0,0,0, 1,0,0, 1,1,0
        PolygonVertexIndex: 0,1,-3
    }
    Texture: "Texture::Tex", "" {
        FileName: "a.tif"
    }
    Texture: "Texture::Tex1", "" {
        FileName: "a.tif"
    }
    Texture: "Texture::Tex2", "" {
        FileName: "a.tif"
    }
    Material: "Material::M", "" {
    }
    Material: "Material::M1", "" {
    }
}
Connections: {
    Connect: "OO", "Model::Box", "Model::Scene"
    Connect: "OO", "Texture::Tex2", "Model::Box"
    Connect: "OO", "Material::M1", "Model::Box"
})",
                     "5.8.0"));
    ASSERT_EQ(scene->GetTextureCount(), 1);
    ASSERT_EQ(scene->GetMaterialCount(), 1);
    KDuzObject* kept = scene->GetTexture(0);
    EXPECT_EQ(reader->GetFileObject()->FindObjectByName("Texture::Tex2"), kept);
    KDuzNode* box = Node("Box");
    ASSERT_NE(box, nullptr);
    std::vector<KDuzObject*> textures;
    KDuzCollectSrcObjects(box, KDuzTexture::ClassId(), textures);
    ASSERT_EQ(textures.size(), 1u);
    EXPECT_EQ(textures[0], kept);
    std::vector<KDuzObject*> materials;
    KDuzCollectSrcObjects(box, KDuzSurfaceMaterial::ClassId(), materials);
    ASSERT_EQ(materials.size(), 1u);
    EXPECT_EQ(materials[0], scene->GetMaterial(0));
}

TEST_F(Duz5ReaderTest, UserPropertiesAndSolverParameters) {
    options->SetBoolOption("CHARACTER", true);
    ASSERT_TRUE(Load(R"(Model: "Model::Box" {
    Type: "Null"
    UserProperty: {
        Name: "Speed"
        Type: "Number"
        Value: 3.5
        Max: 10
    }
    UserProperty: {
        Name: "Aim"
        Type: "vector"
        Value: 1,2,3
    }
    UserProperty: {
        Name: "Odd"
        Type: "NoSuchType"
    }
}
CHARACTER: {
    FILTERSET: {
        PARAM: {
            NAME: "HipsTOffset"
            MODE: 1
            VALUE0: 1
            VALUE1: 2
            VALUE2: 3
        }
        PARAM: {
            NAME: "NoSuchParameter"
            VALUE0: 9
        }
    }
})"));
    KDuzNode* box = Node("Box");
    ASSERT_NE(box, nullptr);
    KDuzProperty speed = box->FindProperty("Speed (Number)");
    ASSERT_TRUE(speed.IsValid());
    double value = 0.0;
    speed.GetValue(&value, eValueKindDouble);
    EXPECT_DOUBLE_EQ(value, 3.5);
    EXPECT_DOUBLE_EQ(speed.GetMaxLimit(), 10.0);
    // A vector type keeps the name, whatever its case.
    EXPECT_TRUE(box->FindProperty("Aim").IsValid());
    EXPECT_FALSE(box->FindProperty("Odd (NoSuchType)").IsValid());

    auto* character = dynamic_cast<KDuzCharacter*>(scene->GetCharacter(0));
    ASSERT_NE(character, nullptr);
    const KDuzCharacterParameterBlock* block = character->GetSolverParameters();
    const char* rows[] = {"HipsTOffsetX", "HipsTOffsetY", "HipsTOffsetZ"};
    for (int axis = 0; axis < 3; ++axis) {
        const int row = KDuzCharacterParameterIndex(rows[axis]);
        ASSERT_GE(row, 0) << rows[axis];
        EXPECT_EQ(block->GetMode(row), 1);
        EXPECT_DOUBLE_EQ(block->GetValue(row), axis + 1.0);
    }
}

// Records of kinds this SDK has no class for are read past and named in the
// reader's message; a file without them leaves the message empty.
TEST_F(Duz5ReaderTest, SkippedRecordsAreNamedInTheMessage) {
    options->SetBoolOption("GOBO", true);
    ASSERT_TRUE(Load(R"(Model: "Model::Lamp" {
    Type: "Light"
}
ACTOR: {
}
GoboManager: {
    Gobo: {
        GoboName: "Stars"
        GoboPath: "stars.tif"
        DrawComponent: 1,0,1
    }
    LightGobo: "Model::Lamp", "Stars"
})"));
    EXPECT_STREQ(reader->GetMessageText().Buffer(), "Records without a class in this SDK were skipped: ACTOR, Gobo");
    auto* light = dynamic_cast<KDuzLight*>(Node("Lamp")->GetNodeAttribute());
    ASSERT_NE(light, nullptr);
    EXPECT_STREQ(light->GetFileName(), "stars.tif");

    reader = std::make_unique<KDuzReaderDuz>(manager, nullptr);
    ASSERT_TRUE(Load("Model: \"Model::Lamp\" {\n    Type: \"Light\"\n}\n"));
    EXPECT_STREQ(reader->GetMessageText().Buffer(), "");
}

// Every pose scene is a nested read of its own; nesting is cut off before
// it can exhaust the stack, and the outer poses keep their scenes.
TEST_F(Duz5ReaderTest, DeeplyNestedPoseScenesStopAtTheirLimit) {
    options->SetBoolOption("CHARACTER", true);
    std::string body = "Model: \"Model::Leaf\" {\n    Type: \"Null\"\n}\n";
    for (int level = 0; level < 200; ++level)
        body = "SceneGenericPersistence: {\nPose: \"Pose::P\" {\nType: \"CharacterPose\"\nPoseScene: {\n" + body +
               "}\n}\n}\n";
    ASSERT_TRUE(Load(body));
    KDuzScene* current = scene;
    int depth = 0;
    while (current != nullptr && current->GetCharacterPoseCount() == 1) {
        auto* pose = dynamic_cast<KDuzCharacterPose*>(current->GetCharacterPose(0));
        ASSERT_NE(pose, nullptr);
        current = pose->GetScene();
        ++depth;
    }
    EXPECT_EQ(depth, KDuzReaderDuz::kMaxPoseSceneDepth);
}

// The sample files hold every section of each layout; both import through
// the importer in both encodings with the same result.
TEST_F(Duz5ReaderTest, SampleFilesImportInBothEncodings) {
    const char* data = std::getenv("DUZ_TEST_DATA");
    if (data == nullptr) GTEST_SKIP() << "DUZ_TEST_DATA is not set";
    for (const char* name : {"duz5-old-layout.duz", "duz5-layered.duz"}) {
        SCOPED_TRACE(name);
        const std::string ascii = (folder / name).string();
        const std::string binary = (folder / (std::string("binary-") + name)).string();
        std::filesystem::copy_file(std::filesystem::path(data) / "duz5" / name, ascii,
                                   std::filesystem::copy_options::overwrite_existing);
        ASSERT_TRUE(duztest::ConvertDuzAsciiToBinary(ascii, binary, 5800));
        std::string dumps[2];
        for (int encoding = 0; encoding < 2; ++encoding) {
            KDuzImporter* importer = KDuzImporter::Create(manager, "");
            ASSERT_TRUE(importer->Initialize((encoding == 0 ? ascii : binary).c_str()));
            EXPECT_NE(dynamic_cast<KDuzReaderDuz*>(importer->GetReader()), nullptr);
            KDuzScene* target = KDuzScene::Create(manager, "");
            ASSERT_TRUE(importer->Import(target)) << importer->GetLastErrorString();
            KDuzNode* box = target->GetRootNode()->FindChild("Box");
            ASSERT_NE(box, nullptr);
            EXPECT_NE(dynamic_cast<KDuzMesh*>(box->GetNodeAttribute()), nullptr);
            // The take was read into a take node of its own.
            EXPECT_EQ(box->GetTakeNodeCount(), 2);
            EXPECT_EQ(target->GetCharacterPoseCount(), 1);
            EXPECT_DOUBLE_EQ(target->GetGlobalLightSettings()->GetFogEnd(), 100.0);
            duztest::SceneDumpOptions dumpOptions;
            dumps[encoding] = duztest::DumpScene(*target, dumpOptions);
            target->Destroy();
            importer->Destroy();
        }
        EXPECT_EQ(duztest::DiffDumps(dumps[0], dumps[1]), "");
    }
}

// A cluster's transforms are relative to its link: the link's matrix goes
// first. The link turns a quarter about Z and moves by (5, 0, 0), so the
// transform's (1, 2, 3) lands at (3, 1, 3).
TEST_F(Duz5ReaderTest, OldLayoutClusterTransformsFollowTheirLink) {
    options->SetBoolOption("LINK", true);
    ASSERT_TRUE(Load(R"(Model: "Model::Bone" {
    Type: "Null"
}
Model: "Model::Body" {
    Vertices: 0,0,0, 1,0,0, 1,1,0
    PolygonVertexIndex: 0,1,-3
    Link: "Model::Bone" {
        Indexes: 0,1
        Weights: 1,0.5
        Transform: 1,0,0,0, 0,1,0,0, 0,0,1,0, 1,2,3,1
        TransformLink: 0,1,0,0, -1,0,0,0, 0,0,1,0, 5,0,0,1
        AssociateModel: "Model::Bone" {
            Transform: 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,-1,1
        }
    }
})"));
    auto* mesh = dynamic_cast<KDuzMesh*>(Node("Body")->GetNodeAttribute());
    ASSERT_NE(mesh, nullptr);
    auto* skin = dynamic_cast<KDuzSkin*>(mesh->GetDeformer(0));
    ASSERT_NE(skin, nullptr);
    KDuzCluster* cluster = skin->GetCluster(0);
    ASSERT_NE(cluster, nullptr);
    struct Row {
        const char* name;
        KgeMatrix matrix;
        double x, y, z;
    };
    const Row rows[] = {{"transform", cluster->GetStoredTransformMatrix(), 3, 1, 3},
                        {"associate model", cluster->GetStoredTransformAssociateModelMatrix(), 5, 0, -1}};
    for (const Row& row : rows) {
        EXPECT_NEAR(row.matrix.Data()[12], row.x, 1e-12) << row.name;
        EXPECT_NEAR(row.matrix.Data()[13], row.y, 1e-12) << row.name;
        EXPECT_NEAR(row.matrix.Data()[14], row.z, 1e-12) << row.name;
    }
}

// Old-layout character links: one without a node of its own or a template
// name keeps its offsets and rotation space; one found by name may name a
// node of any group, not only of the groups up to its block's.
TEST_F(Duz5ReaderTest, OldCharacterLinksKeepOffsetsAndFindNamesInEveryGroup) {
    options->SetBoolOption("CHARACTER", true);
    ASSERT_TRUE(Load(R"(Model: "Model::Hips" {
    Type: "Null"
}
Model: "Model::Head" {
    Type: "Null"
}
CHARACTER: {
    BASE: {
        LINK: "" {
            MODEL: "Model::Hips"
            TOFFSETX: 1.5
            ROFFSETY: 30
            SOFFSETZ: 2
            ROTATIONSPACE: {
                PRE: 10,20,30
                ORDER: 2
            }
        }
    }
}
CHARACTER: {
    BASE: {
        LINK: "Hips" {
            MODEL: "Model::Hips"
        }
        LINK: "Neck1" {
            MODEL: "Model::Head"
            TOFFSETY: -1
        }
    }
})"));
    ASSERT_EQ(scene->GetCharacterCount(), 2);
    auto* first = dynamic_cast<KDuzCharacter*>(scene->GetCharacter(0));
    ASSERT_NE(first, nullptr);
    KDuzCharacterLink link;
    ASSERT_TRUE(first->GetCharacterLink(KDuzCharacterNodeGroupId(0, 0), &link));
    EXPECT_EQ(link.mNode, Node("Hips"));
    EXPECT_DOUBLE_EQ(link.mOffsetT.GetElement(0), 1.5);
    EXPECT_DOUBLE_EQ(link.mOffsetR.GetElement(1), 30.0);
    EXPECT_DOUBLE_EQ(link.mOffsetS.GetElement(2), 2.0);
    EXPECT_TRUE(link.mHasRotSpace);
    EXPECT_DOUBLE_EQ(link.mPreRotation.GetElement(2), 30.0);
    EXPECT_EQ(link.mRotOrder, 2);

    auto* second = dynamic_cast<KDuzCharacter*>(scene->GetCharacter(1));
    ASSERT_NE(second, nullptr);
    int group = 0;
    int entry = 0;
    ASSERT_TRUE(KDuzCharacterFindNodeByName("Neck1", false, group, entry));
    ASSERT_NE(group, 0);
    ASSERT_TRUE(second->GetCharacterLink(KDuzCharacterNodeGroupId(group, entry), &link));
    EXPECT_EQ(link.mNode, Node("Head"));
    EXPECT_DOUBLE_EQ(link.mOffsetT.GetElement(1), -1.0);
}

// Records both readers share, read with the values version 5 gives them.
TEST_F(Duz5ReaderTest, SharedRecordsReadAsVersion5GivesThem) {
    // Old layout: an inline texture's cropping.
    ASSERT_TRUE(Load(R"(Model: "Model::Box" {
    Vertices: 0,0,0, 1,0,0, 1,1,0
    PolygonVertexIndex: 0,1,-3
    Texture: "Texture::Bricks" {
        ModelUVTranslation: 0.1, 0.2
        Cropping: 1, 2, 3, 4
    }
})",
                     "2.0.0"));
    auto* inlineTexture = dynamic_cast<KDuzTexture*>(scene->GetSrcObject(KDuzTexture::ClassId(), 0));
    ASSERT_NE(inlineTexture, nullptr);
    // Layered layout: a material, a texture and the fog.
    KDuzScene* layered = KDuzScene::Create(manager, "");
    scene = layered;
    reader = std::make_unique<KDuzReaderDuz>(manager, nullptr);
    options->SetBoolOption("GLOBAL SETTINGS", true);
    ASSERT_TRUE(Load(R"(Definitions: {
    ObjectType: "Model" {
    }
    ObjectType: "Material" {
    }
    ObjectType: "Texture" {
    }
}
Objects: {
    Material: "Material::Red", "" {
        ShadingModel: "Phong"
    }
    Texture: "Texture::Bricks", "" {
        TextureName: "Texture::Bricks"
        ModelUVTranslation: 0.1, 0.2
        ModelUVScaling: 3, 4
        Cropping: 1, 2, 3, 4
    }
}
Version5: {
    FogOptions: {
        FogColor: 0.1, 0.2, 0.3, 0.5
    }
})",
                     "5.8.0"));
    auto* texture = dynamic_cast<KDuzTexture*>(layered->GetSrcObject(KDuzTexture::ClassId(), 0));
    ASSERT_NE(texture, nullptr);
    for (KDuzTexture* each : {inlineTexture, texture}) {
        SCOPED_TRACE(each == texture ? "layered" : "old");
        // The first value is V, the second U.
        double u = 0.0;
        double v = 0.0;
        each->GetModelUVTranslation(u, v);
        EXPECT_DOUBLE_EQ(u, 0.2);
        EXPECT_DOUBLE_EQ(v, 0.1);
        // Kept as the file's fourth, second, third and first value.
        EXPECT_EQ(each->GetFirstCropping(), 4);
        EXPECT_EQ(each->GetSecondCropping(), 2);
        EXPECT_EQ(each->GetThirdCropping(), 3);
        EXPECT_EQ(each->GetFourthCropping(), 1);
    }
    double u = 0.0;
    double v = 0.0;
    texture->GetModelUVScaling(u, v);
    EXPECT_DOUBLE_EQ(u, 4.0);
    EXPECT_DOUBLE_EQ(v, 3.0);
    auto* material = dynamic_cast<KDuzSurfaceMaterial*>(layered->GetSrcObject(KDuzSurfaceMaterial::ClassId(), 0));
    ASSERT_NE(material, nullptr);
    EXPECT_STREQ(material->GetShadingModel().GetString().Buffer(), "phong");
    const KDuzRGBAColor fog = layered->GetGlobalLightSettings()->GetFogColor();
    EXPECT_DOUBLE_EQ(fog.mBlue, 0.3);
    EXPECT_DOUBLE_EQ(fog.mAlpha, 1.0);
}

// A "Switcher" section names the cameras and the index; a camera switcher
// model record with nothing of its own keeps both.
TEST_F(Duz5ReaderTest, EmptySwitcherRecordKeepsTheSwitcherSection) {
    ASSERT_TRUE(Load(R"(Definitions: {
    ObjectType: "Model" {
    }
}
Switcher: {
    CameraId: 2
    CameraIndexName: "Model::A", "Model::B"
}
Objects: {
    Model: "Model::Camera Switcher", "CameraSwitcher" {
        Type: "CameraSwitcher"
    }
})",
                     "5.8.0"));
    KDuzNode* node = scene->GetCameraSwitcherNode();
    ASSERT_NE(node, nullptr);
    auto* switcher = dynamic_cast<KDuzCameraSwitcher*>(node->GetCameraSwitcher());
    ASSERT_NE(switcher, nullptr);
    ASSERT_EQ(switcher->GetCameraNameCount(), 2);
    EXPECT_STREQ(switcher->GetCameraName(1), "B");
    EXPECT_EQ(switcher->GetDefaultCameraIndex(), 2);
}

}  // namespace
}  // namespace duzsdk
