// Scenes written with the DUZ 5 writer and read back with the DUZ 5 reader
// compare equal, in binary, ASCII and password-protected files, except for
// what the version 5 layout cannot hold (each named where it is taken out).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "KDuzWriterDuz6SceneCompare.h"
#include "KDuzWriterDuzSceneCompare.h"
#include "KDuzWriterDuzTestSupport.h"
#include "tests/support/RandomScene.h"
#include "tests/support/SceneDump.h"

using namespace duzsdk;
using namespace duztest;

namespace {

class Duz5RoundTrip : public Duz5WriterTestBase, public ::testing::WithParamInterface<int> {};

}  // namespace

TEST_P(Duz5RoundTrip, RandomScenesReadBackEqual) {
    const char* count = std::getenv("DUZ_RANDOM_SEEDS");
    const int seeds = count != nullptr ? std::atoi(count) : 20;
    const int mode = GetParam();
    for (int n = 0; n < seeds; ++n) {
        const uint32_t seed = static_cast<uint32_t>(1 + 3 * n + mode);
        KDuzScene* source = KDuzScene::Create(manager, "");
        BuildRandomScene(*manager, *source, seed);
        KDuzStreamOptionsDuzWriter* options = WriteOptions();
        const bool protectedFile = mode == KDuzWriterDuz::eEnciphered;
        if (protectedFile) {
            options->SetBoolOption("PASSWORD ENABLE", true);
            options->SetStringOption("PASSWORD", "secret");
        }
        KDuzScene* read = WriteAndRead(source, mode, options, protectedFile ? "secret" : nullptr);
        ASSERT_NE(read, nullptr) << "seed " << seed;
        Duz5SceneCompare compare(mode == KDuzWriterDuz::eAscii ? 1e-14 : 0.0);
        const std::vector<std::string> differences = compare.Compare(*source, *read);
        if (!differences.empty()) {
            if (const char* keep = std::getenv("DUZ_KEEP_DUMPS")) {
                std::ofstream(std::string(keep) + "/written.txt") << DumpScene(*source);
                std::ofstream(std::string(keep) + "/read.txt") << DumpScene(*read);
            }
            FAIL() << "seed " << seed << " (" << Duz5ModeName(mode) << ")\n" << JoinLines(differences);
        }
        read->Destroy();
        source->Destroy();
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, Duz5RoundTrip,
                         ::testing::Values(KDuzWriterDuz::eBinary, KDuzWriterDuz::eAscii, KDuzWriterDuz::eEnciphered),
                         [](const ::testing::TestParamInfo<int>& info) { return std::string(Duz5ModeName(info.param)); });

#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzLayerElement.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/scene/KDuzCamera.h"
#include "sdk/scene/KDuzGlobalLightSettings.h"
#include "sdk/scene/KDuzLight.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzPose.h"
#include "sdk/scene/KDuzSceneInfo.h"
#include "sdk/scene/KDuzTakeDescription.h"

namespace {

KDuzNode* AddRoundTripNode(KDuzSdkManager* manager, KDuzNode* parent, const char* name, KDuzObject* attribute) {
    KDuzNode* node = KDuzNode::Create(manager, name);
    parent->AddChild(node);
    if (attribute != nullptr) node->SetNodeAttribute(attribute);
    return node;
}

}  // namespace

// A scene with an object of each kind the layout holds, read back through
// the version 5 reader: what the comparison above covers, plus shading,
// lights, cameras, settings and take curves.
TEST_P(Duz5RoundTrip, RichSceneReadsBackEqual) {
    KDuzNode* root = scene->GetRootNode();
    auto* red = KDuzSurfacePhong::Create(manager, "Red");
    const duzVectorTemplate3<double> diffuse(0.75, 0.25, 0.5);
    red->GetDiffuseColor().SetValue(&diffuse, eValueKindDouble3);
    auto* bricks = KDuzTexture::Create(manager, "Bricks");
    bricks->SetFileName("/nonexistent/bricks.bmp");
    bricks->SetCropping(1, 2, 3, 4);
    scene->ConnectSrcObject(red);
    scene->ConnectSrcObject(bricks);
    KDuzNode* body = AddRoundTripNode(manager, root, "Body", TexturedMesh(manager, red, bricks));
    body->SetLclTranslation(duzVectorTemplate3<double>(1.5, -2.0, 3.25));
    body->SetShadingMode(4);
    body->SetCullingType(1);
    auto* light = KDuzLight::Create(manager, "");
    light->SetLightType(KDuzLight::eSpot);
    light->SetIntensity(75.0);
    light->SetConeAngle(30.0);
    AddRoundTripNode(manager, body, "Lamp", light);
    auto* camera = KDuzCamera::Create(manager, "");
    camera->SetNearPlane(2.5);
    camera->SetFarPlane(900.0);
    AddRoundTripNode(manager, root, "Eye", camera);
    camera->SetPosition(KgeTVector(1, 2, 3, 0));
    auto* bind = KDuzPose::Create(manager, "Bind");
    bind->SetIsBindPose(true);
    KgeMatrix matrix;
    for (int i = 0; i < 16; ++i) matrix.Data()[i] = i * 0.5;
    bind->Add(body, matrix);
    scene->ConnectSrcObject(bind);
    KDuzSceneInfo* info = KDuzSceneInfo::Create(manager, "");
    info->title = "Rich";
    info->author = "Writer";
    scene->SetSceneInfo(info);
    KDuzGlobalLightSettings& lights = *scene->GetGlobalLightSettings();
    lights.SetAmbientColor(KDuzRGBAColor(0.25, 0.5, 0.75, 1));
    lights.SetFogEnable(true);
    lights.SetFogDensity(0.125);
    KDuzTakeNode* walk = body->CreateTakeNode("Walk");
    walk->GetTranslationXCurve()->KeySet(0, KTime(0), 1.0f, kFCurveInterpolationLinear);
    walk->GetTranslationXCurve()->KeySet(1, KTime(KTime::kTicksPerSecond), 2.0f, kFCurveInterpolationLinear);

    KDuzStreamOptionsDuzWriter* options = WriteOptions();
    const bool protectedFile = GetParam() == KDuzWriterDuz::eEnciphered;
    if (protectedFile) {
        options->SetBoolOption("PASSWORD ENABLE", true);
        options->SetStringOption("PASSWORD", "secret");
    }
    KDuzScene* read = WriteAndRead(scene, GetParam(), options, protectedFile ? "secret" : nullptr);
    ASSERT_NE(read, nullptr);
    Duz5SceneCompare compare(GetParam() == KDuzWriterDuz::eAscii ? 1e-14 : 0.0);
    const std::vector<std::string> differences = compare.Compare(*scene, *read);
    EXPECT_TRUE(differences.empty()) << JoinLines(differences);

    KDuzNode* body2 = read->FindNode("Body");
    ASSERT_NE(body2, nullptr);
    auto* mesh = dynamic_cast<KDuzMesh*>(body2->GetNodeAttribute());
    ASSERT_NE(mesh, nullptr);
    ASSERT_EQ(mesh->GetMaterialCount(0), 1);
    EXPECT_STREQ(mesh->GetMaterial(0, 0)->GetName(), "Red");
    const duzVectorTemplate3<double> readDiffuse = mesh->GetMaterial(0, 0)->FindProperty("DiffuseColor").GetDouble3();
    EXPECT_DOUBLE_EQ(readDiffuse[0], 0.75);
    ASSERT_EQ(mesh->GetTextureCount(0), 1);
    EXPECT_STREQ(mesh->GetTexture(0, 0)->GetFileName(), "/nonexistent/bricks.bmp");
    EXPECT_EQ(mesh->GetTexture(0, 0)->GetFirstCropping(), 1);
    EXPECT_EQ(mesh->GetTexture(0, 0)->GetFourthCropping(), 4);
    ASSERT_NE(mesh->GetTextureUV(3), nullptr);
    EXPECT_EQ(mesh->GetTextureUVCount(3), 4);
    EXPECT_DOUBLE_EQ(mesh->GetTextureUV(3)[1].mU, 0.25);
    auto* lamp = dynamic_cast<KDuzLight*>(read->FindNode("Lamp")->GetNodeAttribute());
    ASSERT_NE(lamp, nullptr);
    EXPECT_EQ(lamp->GetLightType(), KDuzLight::eSpot);
    EXPECT_DOUBLE_EQ(lamp->GetIntensity(), 75.0);
    EXPECT_DOUBLE_EQ(lamp->GetConeAngle(), 30.0);
    auto* eye = dynamic_cast<KDuzCamera*>(read->FindNode("Eye")->GetNodeAttribute());
    ASSERT_NE(eye, nullptr);
    EXPECT_DOUBLE_EQ(eye->GetNearPlane(), 2.5);
    EXPECT_DOUBLE_EQ(eye->GetFarPlane(), 900.0);
    EXPECT_DOUBLE_EQ(eye->GetPosition()[2], 3.0);
    const KDuzGlobalLightSettings& readLights = *read->GetGlobalLightSettings();
    EXPECT_DOUBLE_EQ(readLights.GetAmbientColor().mGreen, 0.5);
    EXPECT_TRUE(readLights.GetFogEnable());
    EXPECT_DOUBLE_EQ(readLights.GetFogDensity(), 0.125);
    // The take's keys; values are floats in the layout.
    KDuzTakeNode* readWalk = nullptr;
    for (int t = 0; t < body2->GetTakeNodeCount(); ++t)
        if (std::strcmp(body2->GetTakeNodeName(t), "Walk") == 0) readWalk = body2->GetTakeNodeAt(t);
    ASSERT_NE(readWalk, nullptr);
    KFCurve* tx = readWalk->GetTranslationXCurve();
    ASSERT_NE(tx, nullptr);
    ASSERT_EQ(tx->KeyGetCount(), 2);
    EXPECT_EQ(tx->KeyGetValue(1), 2.0f);
    EXPECT_EQ(tx->KeyGetTime(1).Get(), KTime::kTicksPerSecond);
    read->Destroy();
}

#include "sdk/character/KDuzCharacter.h"
#include "sdk/character/KDuzCharacterLink.h"
#include "sdk/character/KDuzCharacterPose.h"
#include "sdk/geometry/KDuzCluster.h"
#include "sdk/geometry/KDuzNurb.h"
#include "sdk/geometry/KDuzPatch.h"
#include "sdk/geometry/KDuzShape.h"
#include "sdk/geometry/KDuzSkin.h"

// Curved geometry, skins, shapes, characters, gobos and character poses
// read back through the version 5 reader.
TEST_P(Duz5RoundTrip, DeformersCharactersAndCurvedGeometryReadBack) {
    KDuzNode* root = scene->GetRootNode();
    auto* nurb = KDuzNurb::Create(manager, "");
    nurb->SetOrder(2, 2);
    ASSERT_TRUE(nurb->InitControlPoints(2, eNurbOpen, 2, eNurbOpen));
    for (int i = 0; i < 4; ++i) nurb->GetControlPoints()[i] = KgeTVector(i, i * 2.0, 0, 1);
    AddRoundTripNode(manager, root, "Surface", nurb);
    auto* patch = KDuzPatch::Create(manager, "");
    ASSERT_TRUE(patch->InitControlPoints(2, 4, 2, 4));
    for (int i = 0; i < 4; ++i) patch->GetControlPoints()[i] = KgeTVector(0, i, i * 0.5, 1);
    AddRoundTripNode(manager, root, "Sheet", patch);

    KDuzMesh* mesh = KDuzMesh::Create(manager, "");
    mesh->InitControlPoints(3);
    for (int i = 0; i < 3; ++i) mesh->GetControlPoints()[i] = KgeTVector(i, 0, 0, 1);
    mesh->BeginPolygon();
    for (int i = 0; i < 3; ++i) mesh->AddPolygon(i);
    mesh->EndPolygon();
    auto* smile = KDuzShape::Create(manager, "");
    smile->InitControlPoints(3);
    for (int i = 0; i < 3; ++i) smile->GetControlPoints()[i] = mesh->GetControlPoints()[i];
    smile->GetControlPoints()[1] = KgeTVector(1, 0.5, 0, 1);
    ASSERT_EQ(mesh->AddShape(smile, "Smile"), 0);
    KDuzNode* skinned = AddRoundTripNode(manager, root, "Skinned", mesh);
    KDuzNode* bone = AddRoundTripNode(manager, root, "Bone", nullptr);
    auto* skin = KDuzSkin::Create(manager, "");
    mesh->AddDeformer(skin);
    auto* cluster = KDuzCluster::Create(manager, "BoneCluster");
    cluster->SetLink(bone);
    cluster->AddControlPointIndex(2, 0.75);
    skin->ConnectSrcObject(cluster);

    auto* light = KDuzLight::Create(manager, "");
    light->SetFileName("gobo.tif");
    AddRoundTripNode(manager, root, "Lamp", light);

    scene->CreateCharacter("Hero");
    auto* hero = dynamic_cast<KDuzCharacter*>(scene->GetCharacter(0));
    ASSERT_NE(hero, nullptr);
    KDuzCharacterLink hips;
    hips.mNode = skinned;
    ASSERT_TRUE(hero->SetCharacterLink(KDuzCharacterNodeGroupId(0, 0), hips));
    const int poseIndex = scene->CreateCharacterPose("Stance");
    auto* stance = dynamic_cast<KDuzCharacterPose*>(scene->GetCharacterPose(poseIndex));
    ASSERT_NE(stance, nullptr);
    stance->GetScene()->GetRootNode()->AddChild(KDuzNode::Create(manager, "PoseHip"));

    KDuzScene* read = WriteAndRead(scene, GetParam());
    ASSERT_NE(read, nullptr);
    Duz5SceneCompare compare(GetParam() == KDuzWriterDuz::eAscii ? 1e-14 : 0.0);
    const std::vector<std::string> differences = compare.Compare(*scene, *read);
    EXPECT_TRUE(differences.empty()) << JoinLines(differences);

    auto* readNurb = dynamic_cast<KDuzNurb*>(read->FindNode("Surface")->GetNodeAttribute());
    ASSERT_NE(readNurb, nullptr);
    EXPECT_EQ(readNurb->GetUCount(), 2);
    EXPECT_EQ(readNurb->GetUOrder(), 2);
    EXPECT_DOUBLE_EQ(readNurb->GetControlPoints()[3][1], 6.0);
    auto* readPatch = dynamic_cast<KDuzPatch*>(read->FindNode("Sheet")->GetNodeAttribute());
    ASSERT_NE(readPatch, nullptr);
    EXPECT_EQ(readPatch->GetPatchUType(), 4);
    EXPECT_DOUBLE_EQ(readPatch->GetControlPoints()[3][2], 1.5);

    auto* readMesh = dynamic_cast<KDuzMesh*>(read->FindNode("Skinned")->GetNodeAttribute());
    ASSERT_NE(readMesh, nullptr);
    ASSERT_EQ(readMesh->GetShapeCount(), 1);
    EXPECT_STREQ(readMesh->GetShapeName(0), "Smile");
    EXPECT_DOUBLE_EQ(readMesh->GetShape(0)->GetControlPoints()[1][1], 0.5);
    ASSERT_EQ(readMesh->GetDeformerCountOfType(KDuzDeformer::eSkin), 1);
    auto* readSkin = dynamic_cast<KDuzSkin*>(readMesh->GetDeformerOfType(0, KDuzDeformer::eSkin));
    ASSERT_NE(readSkin, nullptr);
    ASSERT_EQ(readSkin->GetClusterCount(), 1);
    KDuzCluster* readCluster = readSkin->GetCluster(0);
    ASSERT_NE(readCluster->GetLink(), nullptr);
    EXPECT_STREQ(readCluster->GetLink()->GetName(), "Bone");
    ASSERT_EQ(readCluster->GetControlPointIndicesCount(), 1);
    EXPECT_EQ(readCluster->GetControlPointIndices()[0], 2);
    EXPECT_DOUBLE_EQ(readCluster->GetControlPointWeights()[0], 0.75);

    auto* readLight = dynamic_cast<KDuzLight*>(read->FindNode("Lamp")->GetNodeAttribute());
    ASSERT_NE(readLight, nullptr);
    EXPECT_STREQ(readLight->GetFileName(), "gobo.tif");

    ASSERT_EQ(read->GetCharacterCount(), 1);
    auto* readHero = dynamic_cast<KDuzCharacter*>(read->GetCharacter(0));
    ASSERT_NE(readHero, nullptr);
    EXPECT_STREQ(readHero->GetName(), "Hero");
    KDuzCharacterLink readHips;
    ASSERT_TRUE(readHero->GetCharacterLink(KDuzCharacterNodeGroupId(0, 0), &readHips));
    ASSERT_NE(readHips.mNode, nullptr);
    EXPECT_STREQ(readHips.mNode->GetName(), "Skinned");

    ASSERT_EQ(read->GetCharacterPoseCount(), 1);
    auto* readStance = dynamic_cast<KDuzCharacterPose*>(read->GetCharacterPose(0));
    ASSERT_NE(readStance, nullptr);
    ASSERT_NE(readStance->GetScene(), nullptr);
    EXPECT_NE(readStance->GetScene()->FindNode("PoseHip"), nullptr);
    // The pose's scene stays inside its record.
    EXPECT_EQ(read->FindNode("PoseHip"), nullptr);
    read->Destroy();
}

#include "sdk/base/KgeMath.h"
#include "sdk/object/KDuzProperty.h"
#include "sdk/object/PropertyDataType.h"

// What a version 5 write and read must keep, twice over: a cluster's
// transforms, the values and names of user properties, and the offsets and
// rotation space of a character link that has no template name. The names
// gain the reader's type suffix once and keep it; an enumeration's entries
// have no place in the layout (only its value is written).
TEST_P(Duz5RoundTrip, ClustersUserPropertiesAndLinkOffsetsHoldOverGenerations) {
    KDuzNode* root = scene->GetRootNode();
    KDuzMesh* mesh = KDuzMesh::Create(manager, "");
    mesh->InitControlPoints(3);
    for (int i = 0; i < 3; ++i) mesh->GetControlPoints()[i] = KgeTVector(i, 0, 0, 1);
    mesh->BeginPolygon();
    for (int i = 0; i < 3; ++i) mesh->AddPolygon(i);
    mesh->EndPolygon();
    KDuzNode* body = AddRoundTripNode(manager, root, "Body", mesh);
    KDuzNode* bone = AddRoundTripNode(manager, root, "Bone", nullptr);
    auto* skin = KDuzSkin::Create(manager, "");
    mesh->AddDeformer(skin);
    auto* cluster = KDuzCluster::Create(manager, "");
    cluster->SetLink(bone);
    cluster->AddControlPointIndex(1, 0.5);
    const double t[3] = {1, 2, 3}, none[3] = {0, 0, 0}, one[3] = {1, 1, 1};
    const double lt[3] = {-1, 0.5, 2}, lr[3] = {10, 45, 90}, ls[3] = {2, 2, 2};
    KgeMatrix transform, link;
    KgeMatrixComposeTRS(transform.Data(), t, none, one);
    KgeMatrixComposeTRS(link.Data(), lt, lr, ls);
    cluster->SetTransformMatrix(transform);
    cluster->SetTransformLinkMatrix(link);
    skin->ConnectSrcObject(cluster);

    struct UserRow {
        const char* name;
        int kind;
        double value;
        const char* readName;   // as the reader names it
    };
    const UserRow users[] = {
        {"Weight", eValueKindDouble, 0.5, "Weight (Number)"},
        {"Count", eValueKindInt, 7, "Count (Integer)"},
        {"On", eValueKindBool, 1, "On (Bool)"},
        {"Aim", eValueKindDouble3, 2.5, "Aim"},
        {"Mode", eValueKindEnum, 1, "Mode (Enum)"},
    };
    for (const UserRow& row : users) {
        KDuzProperty property = KDuzProperty::Create(body, row.name, PropertyDataTypeTableGet(row.kind));
        property.ModifyFlag(kDuzPropertyUser, true);
        if (row.kind == eValueKindEnum) {
            property.AddEnumValue("Off");
            property.AddEnumValue("On");
        }
        const double values[3] = {row.value, row.value, row.value};
        const int asInt = static_cast<int>(row.value);
        const bool asBool = row.value != 0;
        if (row.kind == eValueKindDouble || row.kind == eValueKindDouble3) property.SetValue(values, row.kind);
        if (row.kind == eValueKindInt || row.kind == eValueKindEnum) property.SetValue(&asInt, row.kind);
        if (row.kind == eValueKindBool) property.SetValue(&asBool, row.kind);
    }

    scene->CreateCharacter("Hero");
    auto* hero = dynamic_cast<KDuzCharacter*>(scene->GetCharacter(0));
    ASSERT_NE(hero, nullptr);
    KDuzCharacterLink hips;
    hips.mNode = body;
    hips.mOffsetT = KgeTVector(1.5, 0, 0, 1);
    hips.mOffsetR = KgeTVector(0, 30, 0, 1);
    hips.mHasRotSpace = true;
    hips.mPreRotation = KgeTVector(10, 20, 30, 1);
    ASSERT_TRUE(hero->SetCharacterLink(KDuzCharacterNodeGroupId(0, 0), hips));

    KDuzScene* source = scene;
    for (int generation = 1; generation <= 2; ++generation) {
        SCOPED_TRACE("generation " + std::to_string(generation));
        KDuzScene* read = WriteAndRead(source, GetParam());
        ASSERT_NE(read, nullptr);
        KDuzNode* readBody = read->FindNode("Body");
        ASSERT_NE(readBody, nullptr);
        auto* readMesh = dynamic_cast<KDuzMesh*>(readBody->GetNodeAttribute());
        ASSERT_NE(readMesh, nullptr);
        auto* readSkin = dynamic_cast<KDuzSkin*>(readMesh->GetDeformerOfType(0, KDuzDeformer::eSkin));
        ASSERT_NE(readSkin, nullptr);
        ASSERT_EQ(readSkin->GetClusterCount(), 1);
        const KgeMatrix readTransform = readSkin->GetCluster(0)->GetStoredTransformMatrix();
        const KgeMatrix readLink = readSkin->GetCluster(0)->GetStoredTransformLinkMatrix();
        for (int i = 0; i < 16; ++i) {
            EXPECT_NEAR(readTransform.Data()[i], transform.Data()[i], 1e-9) << "transform " << i;
            EXPECT_NEAR(readLink.Data()[i], link.Data()[i], 1e-9) << "link " << i;
        }

        for (const UserRow& row : users) {
            KDuzProperty property = readBody->FindProperty(row.readName);
            ASSERT_TRUE(property.IsValid()) << row.readName;
            double value[3] = {0, 0, 0};
            if (row.kind == eValueKindDouble3) {
                property.GetValue(value, eValueKindDouble3);
            } else {
                property.GetValue(value, eValueKindDouble);
            }
            EXPECT_DOUBLE_EQ(value[0], row.value) << row.readName;
        }
        const std::string twice = std::string("Weight (Number) (Number)");
        EXPECT_FALSE(readBody->FindProperty(twice.c_str()).IsValid());

        ASSERT_EQ(read->GetCharacterCount(), 1);
        auto* readHero = dynamic_cast<KDuzCharacter*>(read->GetCharacter(0));
        ASSERT_NE(readHero, nullptr);
        KDuzCharacterLink readHips;
        ASSERT_TRUE(readHero->GetCharacterLink(KDuzCharacterNodeGroupId(0, 0), &readHips));
        EXPECT_EQ(readHips.mNode, readBody);
        EXPECT_DOUBLE_EQ(readHips.mOffsetT.GetElement(0), 1.5);
        EXPECT_DOUBLE_EQ(readHips.mOffsetR.GetElement(1), 30.0);
        EXPECT_TRUE(readHips.mHasRotSpace);
        EXPECT_DOUBLE_EQ(readHips.mPreRotation.GetElement(2), 30.0);
        source = read;
    }
}

// The blend mode of a mesh's first texture layer travels in the mesh's own
// "LayerTextureInfo" and comes back from it, whatever mode it is.
TEST_P(Duz5RoundTrip, FirstTextureLayerKeepsItsBlendMode) {
    auto* red = KDuzSurfacePhong::Create(manager, "Red");
    auto* bricks = KDuzTexture::Create(manager, "Bricks");
    scene->ConnectSrcObject(red);
    scene->ConnectSrcObject(bricks);
    KDuzMesh* mesh = TexturedMesh(manager, red, bricks);
    AddRoundTripNode(manager, scene->GetRootNode(), "Body", mesh);
    KDuzLayerElementTexture* textures = mesh->GetLayer(0)->GetTextures();
    ASSERT_NE(textures, nullptr);
    textures->SetReferenceMode(KDuzLayerElement::eIndexToDirect);
    for (int mode : {0, 1, 3}) {
        SCOPED_TRACE("blend mode " + std::to_string(mode));
        textures->SetBlendMode(mode);
        KDuzScene* read = WriteAndRead(scene, GetParam());
        ASSERT_NE(read, nullptr);
        auto* readMesh = dynamic_cast<KDuzMesh*>(read->FindNode("Body")->GetNodeAttribute());
        ASSERT_NE(readMesh, nullptr);
        ASSERT_NE(readMesh->GetLayer(0), nullptr);
        ASSERT_NE(readMesh->GetLayer(0)->GetTextures(), nullptr);
        EXPECT_EQ(readMesh->GetLayer(0)->GetTextures()->GetBlendMode(), mode);
        read->Destroy();
    }
}
