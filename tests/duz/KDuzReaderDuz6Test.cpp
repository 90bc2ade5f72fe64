#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/duz/KDuzReaderDuz6.h"
#include "sdk/geometry/KDuzGeometryBase.h"
#include "sdk/io/KDuzImporter.h"
#include "sdk/io/KDuzStreamOptionsDuz.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzObject.h"
#include "sdk/object/KDuzProperty.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzCamera.h"
#include "sdk/scene/KDuzCameraSwitcher.h"
#include "sdk/scene/KDuzLight.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"
#include "duz/KDuzReaderDuz6TestFixture.h"

using namespace duzsdk;

namespace {

const char* const kDefinitions =
    "Definitions:  {\n"
    "    ObjectType: \"Model\" {\n"
    "        Count: 3\n"
    "    }\n"
    "    ObjectType: \"GlobalSettings\" {\n"
    "    }\n"
    "    ObjectType: \"Geometry\" {\n"
    "    }\n"
    "    ObjectType: \"Pose\" {\n"
    "    }\n"
    "    ObjectType: \"Model\" {\n"
    "    }\n"
    "}\n";

}  // namespace

TEST_F(Duz6ReaderTest, ModelsAndConnectionsBuildTheHierarchy) {
    const std::string body = std::string(kDefinitions) +
                             "Objects:  {\n"
                             "    Model: \"Model::Cube\", \"Mesh\" {\n"
                             "        Version: 232\n"
                             "    }\n"
                             "    Model: \"Model::Child\", \"Null\" {\n"
                             "        Version: 232\n"
                             "    }\n"
                             "    Model: \"Model::Old\", \"Null\" {\n"
                             "    }\n"
                             "    Unlisted: \"Unlisted::X\", \"\" {\n"
                             "    }\n"
                             "}\n"
                             "Connections:  {\n"
                             "    Connect: \"OO\", \"Model::Cube\", \"Model::Scene\"\n"
                             "    Connect: \"OO\", \"Model::Child\", \"Model::Cube\"\n"
                             "    Connect: \"OO\", \"Model::Child\", \"Model::Cube\"\n"
                             "    Connect: \"OO\", \"Model::Old\", \"Model::Missing\"\n"
                             "}\n";
    ASSERT_TRUE(Load(body)) << reader->GetLastErrorString();
    KDuzNode* cube = reader->FindNodeByName("Cube");
    KDuzNode* child = reader->FindNodeByName("Child");
    ASSERT_NE(cube, nullptr);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(reader->GetNodeMapCount(), 3);
    EXPECT_EQ(cube->GetParent(), scene->GetRootNode());
    EXPECT_EQ(child->GetParent(), cube);
    EXPECT_EQ(cube->GetChildCount(), 1);
    EXPECT_NE(cube->GetMesh(), nullptr);
    EXPECT_EQ(reader->FindObjectByName("Model::Scene"), scene->GetRootNode());
    EXPECT_EQ(reader->FindObjectByName("Unlisted::X"), nullptr);
    // The record without "Version" counts as old.
    EXPECT_FALSE(cube->GetLegacyModel());
    EXPECT_TRUE(reader->FindNodeByName("Old")->GetLegacyModel());
    // The reader's own file object knows the names too.
    EXPECT_EQ(reader->GetFileObject()->FindObjectByName("Model::Cube"), cube);
}

TEST_F(Duz6ReaderTest, DefinitionsKeepFileOrderAndCase) {
    Write("Definitions:  {\n"
          "    ObjectType: \"Model\"\n"
          "    Other: 1\n"
          "    ObjectType: \"Geometry\"\n"
          "    ObjectType: \"model\"\n"
          "    ObjectType: \"Model\"\n"
          "}\n");
    ASSERT_TRUE(reader->FileOpen(path.c_str()));
    ASSERT_TRUE(reader->GetFileObject()->ProjectOpenMainSection());
    KDuzReaderDuz6::KindList kinds;
    EXPECT_TRUE(reader->ReadDefinitions(scene, kinds));
    ASSERT_EQ(kinds.size(), 3u);
    EXPECT_STREQ(kinds[0].Buffer(), "Model");
    EXPECT_STREQ(kinds[1].Buffer(), "Geometry");
    EXPECT_STREQ(kinds[2].Buffer(), "model");
}

TEST_F(Duz6ReaderTest, FileWithoutDefinitionsReadsNoObjects) {
    ASSERT_TRUE(Load("Objects:  {\n"
                     "    Model: \"Model::Cube\", \"Mesh\" {\n"
                     "    }\n"
                     "}\n"));
    EXPECT_EQ(reader->GetNodeMapCount(), 0);
}

TEST_F(Duz6ReaderTest, EmptySubTypeMakesMeshOrCameraSwitcher) {
    const std::string body = std::string(kDefinitions) +
                             "Objects:  {\n"
                             "    Model: \"Model::Camera Switcher\", \"\" {\n"
                             "    }\n"
                             "    Model: \"Model::Plain\", \"\" {\n"
                             "    }\n"
                             "}\n";
    ASSERT_TRUE(Load(body));
    KDuzNode* plain = reader->FindNodeByName("Plain");
    ASSERT_NE(plain, nullptr);
    EXPECT_NE(plain->GetMesh(), nullptr);
    KDuzNode* switcher = reader->FindNodeByName("Camera Switcher");
    ASSERT_NE(switcher, nullptr);
    EXPECT_NE(switcher->GetCameraSwitcher(), nullptr);
    EXPECT_EQ(scene->GetCameraSwitcherNode(), switcher);
}

TEST_F(Duz6ReaderTest, TwoCameraSwitchersKeepTheLastByName) {
    const std::string body = std::string(kDefinitions) +
                             "Objects:  {\n"
                             "    Model: \"Model::B Switch\", \"CameraSwitcher\" {\n"
                             "    }\n"
                             "    Model: \"Model::A Switch\", \"CameraSwitcher\" {\n"
                             "    }\n"
                             "}\n"
                             "Connections:  {\n"
                             "    Connect: \"OO\", \"Model::A Switch\", \"Model::Scene\"\n"
                             "    Connect: \"OO\", \"Model::B Switch\", \"Model::Scene\"\n"
                             "}\n";
    ASSERT_TRUE(Load(body));
    KDuzNode* kept = reader->FindNodeByName("B Switch");
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(scene->GetCameraSwitcherNode(), kept);
    // The replaced one is gone from every map, so the connection naming it
    // found nothing (and touched no freed memory).
    EXPECT_EQ(reader->FindNodeByName("A Switch"), nullptr);
    EXPECT_EQ(reader->FindObjectByName("Model::A Switch"), nullptr);
    EXPECT_EQ(reader->GetFileObject()->FindObjectByName("Model::A Switch"), nullptr);
    EXPECT_EQ(reader->GetFileObject()->FindObjectByName("A Switch"), nullptr);
}

TEST_F(Duz6ReaderTest, UnknownKindsGetRuntimeClasses) {
    const std::string body = std::string(kDefinitions) +
                             "Objects:  {\n"
                             "    Geometry: \"Geometry::G1\", \"Blob\" {\n"
                             "        Properties60:  {\n"
                             "            Property: \"Size\", \"double\", \"\",2.5\n"
                             "        }\n"
                             "    }\n"
                             "    Geometry: \"Geometry::G2\", \"Blob\" {\n"
                             "    }\n"
                             "    Pose: \"Pose::P\", \"OtherPose\" {\n"
                             "    }\n"
                             "}\n";
    ASSERT_TRUE(Load(body));
    KDuzObject* first = reader->FindObjectByName("Geometry::G1");
    KDuzObject* second = reader->FindObjectByName("Geometry::G2");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_STREQ(first->GetRuntimeClassId().GetName(), "Geometry_Blob");
    EXPECT_TRUE(first->GetRuntimeClassId() == second->GetRuntimeClassId());
    EXPECT_DOUBLE_EQ(first->FindProperty("Size").GetDouble(), 2.5);
    EXPECT_EQ(reader->FindObjectByName("Pose::P"), nullptr);
    EXPECT_EQ(scene->GetPoseCount(), 0);
}

TEST_F(Duz6ReaderTest, Properties60ValuesFlagsAndUserTails) {
    const std::string body = std::string(kDefinitions) +
                             "Objects:  {\n"
                             "    Model: \"Model::N\", \"Null\" {\n"
                             "        Version: 232\n"
                             "        Properties60:  {\n"
                             "            Property: \"Lcl Translation\", \"Lcl Translation\", \"A+\",1,2,3\n"
                             "            Property: \"Weight\", \"double\", \"\",0.25\n"
                             "            Property: \"Count\", \"int\", \"AU\",7,1,9\n"
                             "            Property: \"Mode\", \"enum\", \"U\",1,\"a~b~c~\"\n"
                             "            Property: \"Empty\", \"enum\", \"U\",0,\"\"\n"
                             "            Property: \"Label\", \"KString\", \"\", \"hello\"\n"
                             "            Property: \"Go\", \"Action\", \"\"\n"
                             "            Property: \"Strange\", \"NoSuchType\", \"\", 4\n"
                             "        }\n"
                             "    }\n"
                             "}\n";
    ASSERT_TRUE(Load(body));
    KDuzNode* node = reader->FindNodeByName("N");
    ASSERT_NE(node, nullptr);
    const auto t = node->GetLclTranslation();
    EXPECT_DOUBLE_EQ(t[0], 1.0);
    EXPECT_DOUBLE_EQ(t[2], 3.0);
    KDuzProperty translation = node->FindProperty("Lcl Translation");
    EXPECT_TRUE(translation.GetFlag(kDuzPropertyAnimatable));
    EXPECT_TRUE(translation.GetFlag(kDuzPropertyFlag8));
    EXPECT_FALSE(translation.GetFlag(kDuzPropertyUser));

    KDuzProperty weight = node->FindProperty("Weight");
    ASSERT_TRUE(weight.IsValid());
    EXPECT_STREQ(weight.GetDataType().GetName(), "Number");
    EXPECT_DOUBLE_EQ(weight.GetDouble(), 0.25);

    KDuzProperty count = node->FindProperty("Count");
    ASSERT_TRUE(count.IsValid());
    EXPECT_DOUBLE_EQ(count.GetDouble(), 7.0);
    EXPECT_TRUE(count.GetFlag(kDuzPropertyAnimatable));
    EXPECT_TRUE(count.GetFlag(kDuzPropertyUser));
    EXPECT_DOUBLE_EQ(count.GetMinLimit(), 1.0);
    EXPECT_DOUBLE_EQ(count.GetMaxLimit(), 9.0);

    KDuzProperty mode = node->FindProperty("Mode");
    ASSERT_EQ(mode.GetEnumCount(), 3);
    EXPECT_STREQ(mode.GetEnumValue(0), "a");
    EXPECT_STREQ(mode.GetEnumValue(2), "c");
    EXPECT_DOUBLE_EQ(mode.GetDouble(), 1.0);
    EXPECT_EQ(node->FindProperty("Empty").GetEnumCount(), 1);

    EXPECT_STREQ(node->FindProperty("Label").GetString().Buffer(), "hello");
    EXPECT_TRUE(node->FindProperty("Go").IsValid());
    KDuzProperty strange = node->FindProperty("Strange");
    EXPECT_TRUE(strange.IsValid());
    EXPECT_FALSE(strange.GetDataType().IsValid());
}

TEST_F(Duz6ReaderTest, ConnectCodesAreExact) {
    const std::string body = std::string(kDefinitions) +
                             "Objects:  {\n"
                             "    Model: \"Model::A\", \"Null\" {\n"
                             "    }\n"
                             "    Model: \"Model::B\", \"Null\" {\n"
                             "    }\n"
                             "    Model: \"Model::C\", \"Null\" {\n"
                             "    }\n"
                             "}\n"
                             "Connections:  {\n"
                             "    Connect: \"oo\", \"Model::A\", \"Model::B\"\n"
                             "    Connect: \"OOO\", \"Model::A\", \"Model::B\"\n"
                             "    Connect: \"OP\", \"Model::A\", \"Model::Missing\", \"Model::B\"\n"
                             "    Connect: \"PO\", \"Model::A\", \"NoSuchProperty\", \"Model::B\"\n"
                             "    Connect: \"OO\", \"Model::C\", \"Model::B\"\n"
                             "}\n";
    ASSERT_TRUE(Load(body));
    KDuzNode* a = reader->FindNodeByName("A");
    KDuzNode* b = reader->FindNodeByName("B");
    KDuzNode* c = reader->FindNodeByName("C");
    EXPECT_EQ(a->GetParent(), nullptr);
    EXPECT_FALSE(b->IsConnectedSrcObject(a));
    // The value after a skipped record does not leak into the next one.
    EXPECT_EQ(c->GetParent(), b);
}

TEST_F(Duz6ReaderTest, RejectedReadsReportAndLeaveAnEmptyScene) {
    // No options: error 6, the scene still cleared.
    KDuzNode* stray = KDuzNode::Create(manager, "stray");
    scene->GetRootNode()->AddChild(stray);
    Write(kDefinitions);
    ASSERT_TRUE(reader->FileOpen(path.c_str()));
    EXPECT_FALSE(reader->Read(scene, nullptr));
    EXPECT_EQ(reader->GetLastErrorID(), KDuzReader::eStreamOptionsNotSet);
    EXPECT_EQ(scene->GetRootNode()->GetChildCount(), 0);

    // No file: error 3.
    KDuzReaderDuz6 closed(manager, nullptr);
    EXPECT_FALSE(closed.Read(scene, options));
    EXPECT_EQ(closed.GetLastErrorID(), KDuzReader::eFileNotOpened);
    EXPECT_FALSE(closed.FileClose());
    EXPECT_EQ(closed.GetLastErrorID(), KDuzReader::eFileNotOpened);
    int major = -1, minor = -1, revision = -1;
    closed.GetVersion(major, minor, revision);
    EXPECT_EQ(major, 0);
    EXPECT_EQ(minor, 0);
    EXPECT_EQ(revision, 0);
}

TEST_F(Duz6ReaderTest, OpenCloseAndVersion) {
    Write(kDefinitions);
    ASSERT_TRUE(reader->FileOpen(path.c_str()));
    EXPECT_TRUE(reader->IsFileOpen());
    int major = 0, minor = 0, revision = 0;
    reader->GetVersion(major, minor, revision);
    EXPECT_EQ(major, 6);
    EXPECT_EQ(minor, 1);
    EXPECT_EQ(revision, 0);
    KString camera, mode;
    double width = 1.0, height = 1.0;
    EXPECT_FALSE(reader->GetDefaultRenderResolution(camera, mode, width, height));
    EXPECT_EQ(width, 1.0);
    EXPECT_TRUE(reader->FileClose());
    EXPECT_FALSE(reader->IsFileOpen());

    // A failed open keeps the file object, as the importer expects.
    EXPECT_FALSE(reader->FileOpen((folder / "missing.duz").string().c_str()));
    EXPECT_TRUE(reader->IsFileOpen());
    EXPECT_NE(std::string(reader->GetLastErrorString()), "");
    EXPECT_FALSE(reader->Read(scene, options));
}

TEST_F(Duz6ReaderTest, GivenFileObjectKeepsTheCallersNames) {
    const std::string body = std::string(kDefinitions) +
                             "Objects:  {\n"
                             "    Model: \"Model::Cube\", \"Mesh\" {\n"
                             "    }\n"
                             "}\n";
    Write(body);
    IDuzObject* file = IDuzObject::Create();
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(file->ProjectOpen(path.c_str(), true, false));
    KDuzObject* marker = KDuzObject::Create(manager, "marker");
    file->MapObjectName("Mine::marker", marker);
    const int before = file->GetMappedNameCount();
    ASSERT_TRUE(reader->ReadFromFileObject(scene, options, file));
    EXPECT_NE(reader->FindNodeByName("Cube"), nullptr);
    EXPECT_EQ(file->GetMappedNameCount(), before);
    EXPECT_EQ(file->FindObjectByName("Mine::marker"), marker);
    EXPECT_FALSE(reader->IsFileOpen());
    file->Destroy();
}

TEST_F(Duz6ReaderTest, DuplicateFullNamesBindToTheFirstObject) {
    const std::string body = std::string(kDefinitions) +
                             "Objects:  {\n"
                             "    Model: \"Model::Twin\", \"Null\" {\n"
                             "        Properties60:  {\n"
                             "            Property: \"Tag\", \"int\", \"\",1\n"
                             "        }\n"
                             "    }\n"
                             "    Model: \"Model::Twin\", \"Null\" {\n"
                             "        Properties60:  {\n"
                             "            Property: \"Tag\", \"int\", \"\",2\n"
                             "        }\n"
                             "    }\n"
                             "}\n";
    ASSERT_TRUE(Load(body));
    KDuzObject* twin = reader->FindObjectByName("Model::Twin");
    ASSERT_NE(twin, nullptr);
    EXPECT_DOUBLE_EQ(twin->FindProperty("Tag").GetDouble(), 1.0);
}

TEST_F(Duz6ReaderTest, TakesAreReadOnlyWhenDescribed) {
    const std::string body = std::string(kDefinitions) +
                             "Objects:  {\n"
                             "    Model: \"Model::Cube\", \"Null\" {\n"
                             "    }\n"
                             "}\n"
                             "Takes:  {\n"
                             "    Current: \"Run\"\n"
                             "    Take: \"Run\" {\n"
                             "        Model: \"Model::Cube\" {\n"
                             "        }\n"
                             "    }\n"
                             "    Take: \"Skip\" {\n"
                             "        Model: \"Model::Cube\" {\n"
                             "        }\n"
                             "    }\n"
                             "}\n";
    // No descriptions in the options: "Takes" is not read at all.
    ASSERT_TRUE(Load(body));
    EXPECT_EQ(scene->GetTakeDescriptionCount(), 0);
    EXPECT_EQ(reader->FindNodeByName("Cube")->GetTakeNodeCount(), 1);
    ASSERT_TRUE(reader->FileClose());

    auto* run = new KDuzTakeDescription();
    run->name = "Run";
    options->AddTakeDescription(run);
    auto* skip = new KDuzTakeDescription();
    skip->name = "Skip";
    skip->select = false;
    options->AddTakeDescription(skip);
    options->SetStringOption("CURRENT TAKE NAME", "Run");
    ASSERT_TRUE(reader->FileOpen(path.c_str()));
    ASSERT_TRUE(reader->Read(scene, options));
    KDuzNode* cube = reader->FindNodeByName("Cube");
    ASSERT_EQ(cube->GetTakeNodeCount(), 2);
    EXPECT_STREQ(cube->GetTakeNodeName(1), "Run");
    // "CURRENT TAKE NAME" made the take read current everywhere.
    EXPECT_EQ(cube->GetCurrentTakeNodeIndex(), 1);
    EXPECT_EQ(scene->GetTakeDescriptionCount(), 1);
    EXPECT_STREQ(scene->GetCurrentTakeName(), "Run");
}

TEST_F(Duz6ReaderTest, ReadOptionsFromTheMainSectionDoNotChangeTheFile) {
    Write("Model: \"Model::~duzexport~\", \"Null\" {\n"
          "}\n"
          "Model: \"Model::Other\", \"Null\" {\n"
          "}\n"
          "Takes:  {\n"
          "    Current: \"Nothing\"\n"
          "    Take: \"First\" {\n"
          "        Comments: \"hi\"\n"
          "    }\n"
          "    Take: \"Second\" {\n"
          "    }\n"
          "}\n");
    const std::string before = FileText();
    ASSERT_TRUE(reader->FileOpen(path.c_str()));
    EXPECT_EQ(reader->GetReadOptions(false), nullptr);
    KDuzStreamOptions* read = reader->GetReadOptions(true);
    ASSERT_NE(read, nullptr);
    auto* duzOptions = dynamic_cast<KDuzStreamOptionsDuzReader*>(read);
    ASSERT_NE(duzOptions, nullptr);
    EXPECT_TRUE(read->GetBoolOption("TEMPLATE"));
    EXPECT_EQ(read->GetIntOption("MODEL COUNT"), 2);
    ASSERT_EQ(duzOptions->GetTakeDescriptionCount(), 2);
    EXPECT_STREQ(duzOptions->GetTakeDescription(0)->comments.Buffer(), "hi");
    EXPECT_STREQ(read->GetStringOption("CURRENT TAKE NAME").Buffer(), "First");
    read->Destroy();
    ASSERT_TRUE(reader->FileClose());
    EXPECT_EQ(FileText(), before);
}

TEST(Duz6CameraSwitcherRemap, IndicesFollowTheScenesCameraOrder) {
    KDuzSdkManager* manager = KDuzSdkManager::Create();
    KDuzScene* scene = KDuzScene::Create(manager, "");
    auto addCamera = [&](const char* name) {
        KDuzNode* node = KDuzNode::Create(manager, name);
        node->SetNodeAttribute(KDuzCamera::Create(manager, ""));
        scene->GetRootNode()->AddChild(node);
    };
    addCamera("B");
    addCamera("A");
    KDuzNode* switcherNode = scene->GetCameraSwitcherNode();
    ASSERT_NE(switcherNode, nullptr);
    auto* switcher = dynamic_cast<KDuzCameraSwitcher*>(switcherNode->GetCameraSwitcher());
    ASSERT_NE(switcher, nullptr);
    switcher->AddCameraName("A");
    switcher->AddCameraName("B");
    switcher->AddCameraName("Nobody");
    KFCurve* curve = switcherNode->GetDefaultTakeNode()->GetCameraIndexCurve();
    ASSERT_NE(curve, nullptr);
    curve->SetDefaultValue(1.9f);

    KDuzReaderDuz6 reader(manager, nullptr);
    reader.RemapCameraSwitcherIndices(scene);
    // Name 1 is "A", second in the scene's list; 1.9 counts as 1.
    EXPECT_FLOAT_EQ(curve->GetDefaultValue(), 2.0f);
    reader.RemapCameraSwitcherIndices(scene);
    EXPECT_FLOAT_EQ(curve->GetDefaultValue(), 1.0f);
    for (float untouched : {0.0f, 3.0f, 4.0f}) {
        curve->SetDefaultValue(untouched);
        reader.RemapCameraSwitcherIndices(scene);
        EXPECT_FLOAT_EQ(curve->GetDefaultValue(), untouched);
    }
    manager->Destroy();
}

TEST_F(Duz6ReaderTest, LinkedGeometryReplacesTheEmptyModelMesh) {
    const std::string body = std::string(kDefinitions) +
                             "Objects:  {\n"
                             "    Model: \"Model::Box\", \"Mesh\" {\n"
                             "        Version: 232\n"
                             "    }\n"
                             "    Geometry: \"Geometry::Box\", \"Mesh\" {\n"
                             "        Vertices: 0,0,0,1,0,0,0,1,0\n"
                             "        PolygonVertexIndex: 0,1,-3\n"
                             "    }\n"
                             "}\n"
                             "Connections:  {\n"
                             "    Connect: \"OO\", \"Model::Box\", \"Model::Scene\"\n"
                             "    Connect: \"OO\", \"Geometry::Box\", \"Model::Box\"\n"
                             "    Connect: \"OO\", \"Geometry::Box\", \"Model::Box\"\n"
                             "}\n";
    ASSERT_TRUE(Load(body));
    KDuzNode* box = reader->FindNodeByName("Box");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->GetNodeAttributeCount(), 1);
    auto* mesh = dynamic_cast<KDuzGeometryBase*>(box->GetMesh());
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh, reader->FindObjectByName("Geometry::Box"));
    EXPECT_EQ(mesh->GetControlPointsCount(), 3);
}

TEST_F(Duz6ReaderTest, TexturesLinkToLightsThroughTheirAttribute) {
    const std::string body = std::string(kDefinitions) +
                             "Objects:  {\n"
                             "    Model: \"Model::Lamp\", \"Light\" {\n"
                             "        Properties60:  {\n"
                             "            Property: \"Intensity\", \"Number\", \"A\",42\n"
                             "        }\n"
                             "    }\n"
                             "    Model: \"Model::Box\", \"Null\" {\n"
                             "    }\n"
                             "    Texture: \"Texture::Gobo\", \"\" {\n"
                             "    }\n"
                             "}\n"
                             "Connections:  {\n"
                             "    Connect: \"OO\", \"Texture::Gobo\", \"Model::Lamp\"\n"
                             "    Connect: \"OO\", \"Texture::Gobo\", \"Model::Box\"\n"
                             "}\n";
    std::string withTexture(body);
    withTexture.replace(withTexture.find("    ObjectType: \"Pose\""), 0, "    ObjectType: \"Texture\"\n");
    ASSERT_TRUE(Load(withTexture));
    KDuzNode* lamp = reader->FindNodeByName("Lamp");
    KDuzNode* box = reader->FindNodeByName("Box");
    KDuzObject* gobo = reader->FindObjectByName("Texture::Gobo");
    ASSERT_NE(lamp, nullptr);
    ASSERT_NE(gobo, nullptr);
    ASSERT_NE(lamp->GetLight(), nullptr);
    EXPECT_TRUE(lamp->GetLight()->IsConnectedSrcObject(gobo));
    EXPECT_FALSE(lamp->IsConnectedSrcObject(gobo));
    EXPECT_TRUE(box->IsConnectedSrcObject(gobo));
    // The node's block fills its light's properties too.
    EXPECT_DOUBLE_EQ(dynamic_cast<KDuzLight*>(lamp->GetLight())->GetIntensity(), 42.0);
    EXPECT_FALSE(lamp->FindProperty("Intensity").IsValid());
}

TEST_F(Duz6ReaderTest, SceneLevelSectionsFollowTheOptions) {
    const std::string body = std::string(kDefinitions) +
                             "Objects:  {\n"
                             "    Model: \"Model::K\", \"Null\" {\n"
                             "    }\n"
                             "    Model: \"Model::L\", \"Null\" {\n"
                             "    }\n"
                             "}\n"
                             "Relations:  {\n"
                             "    Constraint: \"Model::K\", \"\"\n"
                             "    Device: \"Device::D\", \"\"\n"
                             "}\n"
                             "Version5:  {\n"
                             "    AmbientRenderSettings:  {\n"
                             "    }\n"
                             "}\n"
                             "HierarchyView:  {\n"
                             "    Anything: 1\n"
                             "}\n";
    auto sourceNamed = [&](const char* name) -> KDuzObject* {
        for (int i = 0; i < scene->GetSrcObjectCount(); ++i) {
            KDuzObject* object = scene->GetSrcObject(KClassId(), i);
            if (object != nullptr && std::string(object->GetName()) == name) return object;
        }
        return nullptr;
    };
    ASSERT_TRUE(Load(body));
    EXPECT_NE(sourceNamed("HierarchyView"), nullptr);
    EXPECT_NE(sourceNamed("GlobalToolsSettings"), nullptr);
    // A "Relations" constraint entry moves its object behind the others.
    auto indexOf = [&](const KDuzObject* wanted) {
        for (int i = 0; i < scene->GetSrcObjectCount(); ++i)
            if (scene->GetSrcObject(KClassId(), i) == wanted) return i;
        return -1;
    };
    EXPECT_GT(indexOf(reader->FindNodeByName("K")), indexOf(reader->FindNodeByName("L")));
    EXPECT_GE(indexOf(reader->FindNodeByName("L")), 0);
    ASSERT_TRUE(reader->FileClose());

    options->SetBoolOption("GLOBAL SETTINGS", false);
    ASSERT_TRUE(reader->FileOpen(path.c_str()));
    ASSERT_TRUE(reader->Read(scene, options));
    EXPECT_EQ(sourceNamed("GlobalToolsSettings"), nullptr);
    EXPECT_NE(sourceNamed("HierarchyView"), nullptr);
}

TEST_F(Duz6ReaderTest, ManyUnknownPropertiesAreAllKept) {
    // Every name is new, so none is found at the running position and each
    // goes through the name index.
    constexpr int kCount = 8000;
    std::string body = std::string(kDefinitions) +
                       "Objects:  {\n"
                       "    Model: \"Model::Wide\", \"Null\" {\n"
                       "        Properties60:  {\n";
    for (int i = 0; i < kCount; ++i)
        body += "            Property: \"P" + std::to_string(i) + "\", \"int\", \"\"," + std::to_string(i) + "\n";
    body += "            Property: \"P7\", \"int\", \"\",-7\n"
            "        }\n"
            "    }\n"
            "}\n";
    ASSERT_TRUE(Load(body));
    KDuzNode* wide = reader->FindNodeByName("Wide");
    ASSERT_NE(wide, nullptr);
    EXPECT_DOUBLE_EQ(wide->FindProperty("P5432").GetDouble(), 5432.0);
    // A name seen again finds the property made for it.
    EXPECT_DOUBLE_EQ(wide->FindProperty("P7").GetDouble(), -7.0);
}

TEST_F(Duz6ReaderTest, ImporterReadsALevelWithDefaultOptions) {
    // What a game level looks like: meshes in separate geometry records,
    // a material, parent links and a take named in the file.
    Write(std::string("Definitions:  {\n"
                      "    ObjectType: \"Model\"\n"
                      "    ObjectType: \"Geometry\"\n"
                      "    ObjectType: \"Material\"\n"
                      "}\n"
                      "Objects:  {\n"
                      "    Model: \"Model::Floor\", \"Mesh\" {\n"
                      "        Version: 232\n"
                      "        Properties60:  {\n"
                      "            Property: \"Lcl Translation\", \"Lcl Translation\", \"A\",0,-1,0\n"
                      "        }\n"
                      "    }\n"
                      "    Geometry: \"Geometry::Floor\", \"Mesh\" {\n"
                      "        Vertices: 0,0,0,1,0,0,1,0,1,0,0,1\n"
                      "        PolygonVertexIndex: 0,1,2,-4\n"
                      "    }\n"
                      "    Material: \"Material::Snow\", \"\" {\n"
                      "    }\n"
                      "}\n"
                      "Connections:  {\n"
                      "    Connect: \"OO\", \"Model::Floor\", \"Model::Scene\"\n"
                      "    Connect: \"OO\", \"Geometry::Floor\", \"Model::Floor\"\n"
                      "    Connect: \"OO\", \"Material::Snow\", \"Model::Floor\"\n"
                      "}\n"
                      "Takes:  {\n"
                      "    Current: \"Take 001\"\n"
                      "    Take: \"Take 001\" {\n"
                      "        LocalTime: 0,46186158000\n"
                      "        Model: \"Model::Floor\" {\n"
                      "        }\n"
                      "    }\n"
                      "}\n"));
    KDuzImporter* importer = KDuzImporter::Create(manager, "");
    ASSERT_NE(importer, nullptr);
    ASSERT_TRUE(importer->Initialize(path.c_str()));
    ASSERT_TRUE(importer->Import(scene)) << importer->GetLastErrorString();
    KDuzNode* floor = scene->FindNode("Floor");
    ASSERT_NE(floor, nullptr);
    EXPECT_EQ(floor->GetParent(), scene->GetRootNode());
    auto* mesh = dynamic_cast<KDuzGeometryBase*>(floor->GetMesh());
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->GetControlPointsCount(), 4);
    EXPECT_DOUBLE_EQ(floor->GetLclTranslation()[1], -1.0);
    EXPECT_EQ(floor->GetSrcObjectCount(KDuzClassIdOf(eDuzClassSurfaceMaterial)), 1);
    EXPECT_EQ(scene->GetTakeDescriptionCount(), 1);
    EXPECT_STREQ(scene->GetCurrentTakeName(), "Take 001");
    importer->Destroy();
}

TEST_F(Duz6ReaderTest, ReadOptionsComeFromTheSummarySection) {
    {
        KDuz duz;
        ASSERT_TRUE(duz.ProjectCreateFile(path.c_str(), true, false));
        // The main section would say otherwise: the summary must win.
        duz.FieldWriteBegin("Model");
        duz.FieldWriteString("Model::~duzexport~");
        duz.FieldWriteString("Null");
        duz.FieldWriteEnd();
        duz.FinishBeforeClose();
        ASSERT_TRUE(duz.ProjectCreateSection(false));
        duz.FieldWriteBegin("Summary");
        duz.FieldWriteBlockBegin();
        duz.FieldWriteBegin("Version");
        duz.FieldWriteInt(100);
        duz.FieldWriteEnd();
        duz.FieldWriteBegin("Template");
        duz.FieldWriteInt(0);
        duz.FieldWriteEnd();
        duz.FieldWriteBegin("ContentCount");
        duz.FieldWriteBlockBegin();
        duz.FieldWriteBegin("Model");
        duz.FieldWriteInt(42);
        duz.FieldWriteEnd();
        duz.FieldWriteBlockEnd();
        duz.FieldWriteEnd();
        duz.FieldWriteBegin("Takes");
        duz.FieldWriteBlockBegin();
        duz.FieldWriteBegin("Take");
        duz.FieldWriteString("Walk");
        duz.FieldWriteBlockBegin();
        duz.FieldWriteBegin("Comments");
        duz.FieldWriteString("slow");
        duz.FieldWriteEnd();
        duz.FieldWriteBlockEnd();
        duz.FieldWriteEnd();
        duz.FieldWriteBlockEnd();
        duz.FieldWriteEnd();
        duz.FieldWriteBlockEnd();
        duz.FieldWriteEnd();
        duz.FinishBeforeClose();
        ASSERT_EQ(duz.GetLastErrorID(), -1) << duz.GetLastErrorString();
        duz.ProjectClose();
    }
    ASSERT_TRUE(reader->FileOpen(path.c_str())) << reader->GetLastErrorString();
    // No parsing needed: the summary answers.
    auto* read = dynamic_cast<KDuzStreamOptionsDuzReader*>(reader->GetReadOptions(false));
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->GetIntOption("MODEL COUNT"), 42);
    EXPECT_FALSE(read->GetBoolOption("TEMPLATE"));
    ASSERT_EQ(read->GetTakeDescriptionCount(), 1);
    EXPECT_STREQ(read->GetTakeDescription(0)->comments.Buffer(), "slow");
    EXPECT_STREQ(read->GetStringOption("CURRENT TAKE NAME").Buffer(), "Walk");
    // The read that follows still finds the main section.
    EXPECT_TRUE(reader->Read(scene, read));
    read->Destroy();
}

TEST_F(Duz6ReaderTest, RuntimeClassesPerReadAreBounded) {
    // Each distinct unknown pair makes a class that lives with the manager.
    std::string body = std::string(kDefinitions) + "Objects:  {\n";
    for (int i = 0; i < 300; ++i)
        body += "    Geometry: \"Geometry::G" + std::to_string(i) + "\", \"Kind" + std::to_string(i) +
                "\" {\n    }\n";
    body += "}\n";
    ASSERT_TRUE(Load(body));
    EXPECT_NE(reader->FindObjectByName("Geometry::G0"), nullptr);
    EXPECT_NE(reader->FindObjectByName("Geometry::G255"), nullptr);
    EXPECT_EQ(reader->FindObjectByName("Geometry::G256"), nullptr);
}

TEST_F(Duz6ReaderTest, PropertyOfAnotherTypeKeepsItsOwnAndSkipsTheTail) {
    const std::string body = std::string(kDefinitions) +
                             "Objects:  {\n"
                             "    Model: \"Model::N\", \"Null\" {\n"
                             "        Properties60:  {\n"
                             "            Property: \"Lcl Translation\", \"int\", \"U\",5,1,9\n"
                             "        }\n"
                             "    }\n"
                             "}\n";
    ASSERT_TRUE(Load(body));
    KDuzNode* node = reader->FindNodeByName("N");
    ASSERT_NE(node, nullptr);
    const auto t = node->GetLclTranslation();
    EXPECT_DOUBLE_EQ(t[0], 5.0);
    EXPECT_DOUBLE_EQ(t[1], 1.0);
    EXPECT_DOUBLE_EQ(t[2], 9.0);
    KDuzProperty translation = node->FindProperty("Lcl Translation");
    EXPECT_TRUE(translation.GetFlag(kDuzPropertyUser));
    EXPECT_STREQ(translation.GetDataType().GetName(), "Lcl Translation");
}

TEST_F(Duz6ReaderTest, ASecondReadLeavesNoStaleNamesInTheFileObject) {
    const std::string body = std::string(kDefinitions) +
                             "Objects:  {\n"
                             "    Model: \"Model::Cube\", \"Null\" {\n"
                             "    }\n"
                             "}\n";
    ASSERT_TRUE(Load(body));
    KDuzObject* first = reader->GetFileObject()->FindObjectByName("Model::Cube");
    ASSERT_NE(first, nullptr);
    // The second read clears the scene (destroying the first cube) and must
    // not leave the file object pointing at it.
    ASSERT_TRUE(reader->Read(scene, options));
    KDuzObject* second = reader->GetFileObject()->FindObjectByName("Model::Cube");
    EXPECT_EQ(second, reader->FindNodeByName("Cube"));
    EXPECT_EQ(reader->GetFileObject()->FindObjectByName("Cube"), second);
    EXPECT_STREQ(second->GetName(), "Cube");
}

TEST_F(Duz6ReaderTest, TruncatedRecordsReadAsDefaults) {
    // Values missing everywhere: nothing may be read past what is there.
    const std::string body = "Definitions:  {\n"
                             "    ObjectType: \n"
                             "    ObjectType: \"Model\"\n"
                             "    ObjectType: \"Geometry\"\n"
                             "}\n"
                             "Objects:  {\n"
                             "    Model:  {\n"
                             "        Properties60:  {\n"
                             "            Property: \n"
                             "            Property: \"OnlyName\"\n"
                             "            Property: \"Lcl Scaling\", \"Lcl Scaling\", \"U\"\n"
                             "            Property: \"E\", \"enum\", \"U\"\n"
                             "        }\n"
                             "    }\n"
                             "    Model: \"Model::NoBlock\", \"Null\"\n"
                             "    Geometry: \"\", \"\" {\n"
                             "        Properties60: 1\n"
                             "    }\n"
                             "}\n"
                             "Relations:  {\n"
                             "    Constraint: \n"
                             "}\n"
                             "Connections:  {\n"
                             "    Connect: \n"
                             "    Connect: \"OO\"\n"
                             "    Connect: \"OP\", \"Model::\"\n"
                             "    Connect: \"PO\"\n"
                             "}\n"
                             "Takes:  {\n"
                             "    Take: \n"
                             "    Take: \"T\"\n"
                             "}\n";
    auto* take = new KDuzTakeDescription();
    take->name = "T";
    options->AddTakeDescription(take);
    ASSERT_TRUE(Load(body));
    // The record without a block is skipped; the nameless one still counts.
    EXPECT_EQ(reader->FindNodeByName("NoBlock"), nullptr);
    EXPECT_EQ(reader->GetNodeMapCount(), 1);
}

TEST_F(Duz6ReaderTest, ProtectedFilesNeedTheirPassword) {
    {
        KDuz duz;
        ASSERT_TRUE(duz.ProjectCreateFile(path.c_str(), true, false));
        ASSERT_TRUE(duz.WritePasswordField("secret"));
        duz.FieldWriteBegin("Definitions");
        duz.FieldWriteBlockBegin();
        duz.FieldWriteBegin("ObjectType");
        duz.FieldWriteString("Model");
        duz.FieldWriteEnd();
        duz.FieldWriteBlockEnd();
        duz.FieldWriteEnd();
        duz.FieldWriteBegin("Objects");
        duz.FieldWriteBlockBegin();
        duz.FieldWriteBegin("Model");
        duz.FieldWriteString("Model::Safe");
        duz.FieldWriteString("Null");
        duz.FieldWriteBlockBegin();
        duz.FieldWriteBlockEnd();
        duz.FieldWriteEnd();
        duz.FieldWriteBlockEnd();
        duz.FieldWriteEnd();
        duz.FinishBeforeClose();
        ASSERT_EQ(duz.GetLastErrorID(), -1) << duz.GetLastErrorString();
        duz.ProjectClose();
    }
    for (const char* password : {"wrong", "secret"}) {
        SCOPED_TRACE(password);
        const bool right = std::string(password) == "secret";
        options->SetStringOption("PASSWORD", password);
        ASSERT_TRUE(reader->FileOpen(path.c_str())) << reader->GetLastErrorString();
        EXPECT_EQ(reader->Read(scene, options), right);
        if (right) {
            EXPECT_NE(reader->FindNodeByName("Safe"), nullptr);
        } else {
            EXPECT_EQ(reader->GetLastErrorID(), KDuzReader::eWrongPassword);
            EXPECT_EQ(reader->GetNodeMapCount(), 0);
        }
        EXPECT_TRUE(reader->FileClose());
    }
}

TEST_F(Duz6ReaderTest, ConstraintSubTypesCompareExactly) {
    std::string body = std::string(kDefinitions) +
                       "Objects:  {\n"
                       "    Constraint: \"Constraint::Exact\", \"Aim\" {\n"
                       "    }\n"
                       "    Constraint: \"Constraint::Lower\", \"aim\" {\n"
                       "    }\n"
                       "}\n";
    body.replace(body.find("    ObjectType: \"Pose\""), 0, "    ObjectType: \"Constraint\"\n");
    ASSERT_TRUE(Load(body));
    KDuzObject* exact = reader->FindObjectByName("Constraint::Exact");
    KDuzObject* lower = reader->FindObjectByName("Constraint::Lower");
    ASSERT_NE(exact, nullptr);
    ASSERT_NE(lower, nullptr);
    EXPECT_TRUE(exact->GetRuntimeClassId() == KDuzClassIdOf(eDuzClassConstraintAim));
    EXPECT_STREQ(lower->GetRuntimeClassId().GetName(), "Constraint_aim");
}
