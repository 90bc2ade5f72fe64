// The Collada writer: documents written from small scenes must be valid
// against the COLLADA 1.4.1 schema and read by pycollada with the same
// content; messages, options and file handling.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "formats/collada/ColladaTestSupport.h"
#include "formats/collada/ColladaWriterFixture.h"
#include "platform/Clock.h"
#include "support/RandomScene.h"
#include "sdk/formats/collada/KDuzReaderCollada.h"
#include "sdk/formats/collada/KDuzWriterCollada.h"
#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzLayerElement.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzCluster.h"
#include "sdk/geometry/KDuzShape.h"
#include "sdk/geometry/KDuzSkin.h"
#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/io/KDuzExporter.h"
#include "sdk/io/KDuzFormatRegistry.h"
#include "sdk/io/KDuzStreamOptionsFormats.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/KDuzUserNotification.h"
#include "sdk/scene/KDuzCamera.h"
#include "sdk/scene/KDuzGlobalSettings.h"
#include "sdk/scene/KDuzLight.h"
#include "sdk/scene/KDuzNull.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"
#include "sdk/scene/KDuzSceneInfo.h"
#include "sdk/scene/KDuzSkeleton.h"
#include "support/SmallStack.h"

using namespace duzsdk;
using colladatest::ColladaWriterTest;
using colladatest::Has;
using colladatest::ReadFile;

namespace {


TEST_F(ColladaWriterTest, MeshWithTwoMaterialsIsValidAndReadByThePeer) {
    KDuzMesh* mesh = Pyramid();
    KDuzSurfaceLambert* red = KDuzSurfaceLambert::Create(manager, "Red");
    const duzVectorTemplate3<double> diffuse{1.0, 0.5, 0.0};
    red->GetDiffuseColor().SetValue(&diffuse, eValueKindDouble3);
    const double half = 0.5;
    red->GetDiffuseFactor().SetValue(&half, eValueKindDouble);
    KDuzSurfacePhong* blue = KDuzSurfacePhong::Create(manager, "Blue");
    KDuzLayerElementMaterial* materials = KDuzCreateLayerElementMaterial(manager, "");
    materials->SetMappingMode(KDuzLayerElement::eByPolygon);
    materials->SetReferenceMode(KDuzLayerElement::eIndexToDirect);
    materials->GetDirectArray().Add(red);
    materials->GetDirectArray().Add(blue);
    for (int material : {0, 1, 0, 1, 1}) materials->GetIndexArray().Add(material);
    mesh->GetLayer(0)->SetMaterials(materials);
    KDuzNode* node = AddNode("Pyramid", mesh);
    node->SetLclTranslation({1, 2, 3});

    const std::string path = Write();
    ASSERT_FALSE(path.empty());
    colladatest::ExpectValidDocument(path);
    const std::string peer = colladatest::LoadWithPeer(path);
    SCOPED_TRACE(peer);
    // One group per material, each with the polygons of that material, the
    // normal and UV indices running over the whole mesh.
    EXPECT_TRUE(Has(peer, "Polygons material=Red count=2\n"));
    EXPECT_TRUE(Has(peer, "Polygons material=Blue count=3\n"));
    EXPECT_TRUE(Has(peer, "vertex_index 0 1 4 2 3 4\n"));
    EXPECT_TRUE(Has(peer, "vertex_index 1 2 4 3 0 4 0 3 2 1\n"));
    EXPECT_TRUE(Has(peer, "texcoord_index0 0 1 0 0 1 0\n"));
    EXPECT_TRUE(Has(peer, "texcoord0 0.0000 0.0000 1.0000 0.5000\n"));
    EXPECT_TRUE(Has(peer, "material Red shader lambert diffuse 0.5000 0.2500 0.0000 1.0000\n"));
    EXPECT_TRUE(Has(peer, "material Blue shader phong"));
    EXPECT_TRUE(Has(peer, "geometry Pyramid-lib binds Blue->Blue Red->Red\n"));
    EXPECT_TRUE(Has(peer, "node Pyramid matrix 1.0000 0.0000 0.0000 1.0000 0.0000 1.0000 0.0000 2.0000 "
                          "0.0000 0.0000 1.0000 3.0000 0.0000 0.0000 0.0000 1.0000\n"));
}

TEST_F(ColladaWriterTest, CamerasAndLightsAreValidAndReadByThePeer) {
    KDuzCamera* camera = KDuzCamera::Create(manager, "");
    camera->SetApertureMode(1);
    camera->SetFieldOfView(40.0);
    camera->SetFilmHeight(1.0);
    camera->SetFilmWidth(0.816);
    AddNode("Cam", camera);
    KDuzCamera* both = KDuzCamera::Create(manager, "");
    both->SetApertureMode(0);
    AddNode("Both", both);
    KDuzCamera* ortho = KDuzCamera::Create(manager, "");
    ortho->SetProjectionType(1);
    AddNode("Ortho", ortho);
    KDuzLight* spot = KDuzLight::Create(manager, "");
    spot->SetLightType(KDuzLight::ELightType(2));
    spot->SetIntensity(100.0);
    spot->SetConeAngle(30.0);
    KDuzNode* lamp = AddNode("Lamp", spot);
    KDuzLight* point = KDuzLight::Create(manager, "");
    point->SetColor(KDuzRGBAColor(0.25, 0.5, 1.0));
    AddNode("Bulb", point);

    const std::string path = Write();
    ASSERT_FALSE(path.empty());
    colladatest::ExpectValidDocument(path);
    const std::string peer = colladatest::LoadWithPeer(path);
    SCOPED_TRACE(peer);
    EXPECT_TRUE(Has(peer, "camera Cam-lib perspective xfov 40.0 yfov None"));
    EXPECT_TRUE(Has(peer, "camera Ortho-lib orthographic"));
    EXPECT_TRUE(Has(peer, "light Lamp-lib SpotLight color 1.0000 1.0000 1.0000 falloff 30.0000\n"));
    EXPECT_TRUE(Has(peer, "light Bulb-lib PointLight color 0.2500 0.5000 1.0000\n"));
    // The extra post-rotation of lights and cameras is the document's, not the scene's.
    EXPECT_EQ(lamp->GetPostRotation(0)[0], 0.0);
    const std::string text = ReadFile(path);
    EXPECT_TRUE(Has(text, "<rotate sid=\"postRotationInverseX\">1 0 0 -90.000000</rotate>"));
    EXPECT_TRUE(Has(text, "<intensity sid=\"intensity\">1.000000</intensity>"));
    // Film sizes in centimetres through the single-precision 2.54, cut after
    // five decimals.
    EXPECT_TRUE(Has(text, "<vertical_aperture>2.539990</vertical_aperture>"));
    EXPECT_TRUE(Has(text, "<horizontal_aperture sid=\"haperture\">2.072630</horizontal_aperture>"));
    // Both fields of view leave out the ratio, which the schema allows only
    // beside one of them.
    const size_t bothCamera = text.find("<camera id=\"Both-lib\"");
    EXPECT_EQ(text.find("<aspect_ratio>", bothCamera), text.find("<aspect_ratio>", text.find("<camera id=\"Ortho-lib\"")));
}

TEST_F(ColladaWriterTest, AssetAndNodeTransformsFollowTheSceneSettings) {
    const duzplatform::ScopedFixedLocalDateTime clock({2026, 12, 10, 19, 5, 7, 0, 4});
    KDuzSceneInfo* info = KDuzSceneInfo::Create(manager, "");
    info->author = "Ann & Bob";
    info->title = "T";
    scene->SetSceneInfo(info);
    KDuzNode* node = AddNode("Turned", nullptr);
    node->SetLclRotation({10, 20, 30});
    node->SetRotationPivot(0, KgeTVector(1, 2, 3, 0));
    KDuzNode* child = AddNode("Ordered", nullptr, node);
    child->SetLclRotation({10, 20, 30});
    child->SetRotationOrder(0, 5);
    child->SetRotationActive(true);   // the order counts only then
    child->SetGeometricRotation(0, KgeTVector(0, 0, 90, 0));
    AddNode("Bone", KDuzSkeleton::Create(manager, ""), child);

    const std::string path = Write();
    ASSERT_FALSE(path.empty());
    colladatest::ExpectValidDocument(path);
    const std::string text = ReadFile(path);
    EXPECT_TRUE(Has(text, "<author>Ann &amp; Bob</author>"));
    EXPECT_TRUE(Has(text, "<created>2026-12-10T19:05:07Z</created>"));
    EXPECT_TRUE(Has(text, "<unit meter=\"0.010000\"/>"));
    EXPECT_TRUE(Has(text, "<up_axis>Y_UP</up_axis>"));
    // Rotation order 0 is written Z, Y, X; order 5 X, Y, Z; the pivot brackets them.
    const size_t pivot = text.find("sid=\"rotatePivot\">1.000000 2.000000 3.000000<");
    const size_t z = text.find("sid=\"rotateZ\">0 0 1 30.000000<");
    const size_t y = text.find("sid=\"rotateY\">0 1 0 20.000000<");
    const size_t x = text.find("sid=\"rotateX\">1 0 0 10.000000<");
    const size_t inverse = text.find("sid=\"rotatePivotInverse\">-1.000000 -2.000000 -3.000000<");
    EXPECT_TRUE(pivot < z && z < y && y < x && x < inverse) << text;
    const size_t x2 = text.find("sid=\"rotateX\"", inverse);
    const size_t z2 = text.find("sid=\"rotateZ\"", inverse);
    EXPECT_TRUE(x2 < z2) << text;
    EXPECT_TRUE(Has(text, "<node id=\"Ordered-Pivot\" name=\"Ordered-Pivot\">"));
    EXPECT_TRUE(Has(text, "<rotate>0.000000 0.000000 1.000000 90.000000</rotate>"));
    // A skeleton is a joint node with no instance.
    EXPECT_TRUE(Has(text, "<node id=\"Bone\" name=\"Bone\" type=\"JOINT\"/>"));

    const std::string peer = colladatest::LoadWithPeer(path);
    EXPECT_FALSE(Has(peer, "FAILED")) << peer;
}

TEST_F(ColladaWriterTest, SingleMatrixWritesLocalMatrices) {
    KDuzNode* node = AddNode("Moved", nullptr);
    node->SetLclTranslation({4, 5, 6});
    AddNode("Still", nullptr);
    const std::string path = Write(true);
    ASSERT_FALSE(path.empty());
    colladatest::ExpectValidDocument(path);
    const std::string text = ReadFile(path);
    EXPECT_TRUE(Has(text, "<matrix sid=\"matrix\">1.000000 0.000000 0.000000 4.000000 0.000000 1.000000 0.000000 "
                          "5.000000 0.000000 0.000000 1.000000 6.000000 0.000000 0.000000 0.000000 1.000000\n"));
    // An identity matrix is left out.
    EXPECT_TRUE(Has(text, "<node id=\"Still\" name=\"Still\"/>"));
}

KTime Seconds(double seconds) {
    KTime time;
    time.SetSecondDouble(seconds);
    return time;
}

TEST_F(ColladaWriterTest, SkinAndMorphControllersAreValidAndReadByThePeer) {
    KDuzMesh* body = Pyramid();
    KDuzNode* bodyNode = AddNode("Body", body);
    bodyNode->SetLclTranslation({0, 1, 0});
    KDuzSkin* skin = KDuzSkin::Create(manager, "");
    body->AddDeformer(skin);
    struct ClusterRow {
        const char* bone;
        int points[3];
        double weights[3];
    };
    const ClusterRow rows[] = {{"Hip", {0, 1, 4}, {1, 1, 0.5}}, {"Knee", {2, 3, 4}, {1, 1, 0.5}}, {nullptr, {0, 1, 2}, {1, 1, 1}}};
    for (const ClusterRow& row : rows) {
        KDuzCluster* cluster = KDuzCluster::Create(manager, "");
        if (row.bone != nullptr) {
            cluster->SetLink(AddNode(row.bone, nullptr));
            cluster->SetLinkMode(KDuzCluster::eTotalOne);
        }
        for (int i = 0; i < 3; ++i) cluster->AddControlPointIndex(row.points[i], row.weights[i]);
        skin->ConnectSrcObject(cluster);
    }
    KDuzMesh* face = Pyramid();
    KDuzShape* smile = KDuzShape::Create(manager, "");
    smile->InitControlPoints(5);
    for (int i = 0; i < 5; ++i) smile->GetControlPoints()[i] = KgeTVector(i, 2 * i, 0, 0);
    ASSERT_GE(face->AddShape(smile, "smile"), 0);
    AddNode("Face", face);

    const std::string path = Write();
    ASSERT_FALSE(path.empty());
    colladatest::ExpectValidDocument(path);
    const std::string text = ReadFile(path);
    // The skinned mesh in its own space (the bind shape matrix places it),
    // one influence pair per linked cluster naming the point, the unlinked
    // cluster left out.
    EXPECT_TRUE(Has(text, "<source id=\"Body-BindPos\">"));
    EXPECT_TRUE(Has(text, "\n0.000000 0.000000 0.000000\n1.000000 0.000000 0.000000\n"));
    EXPECT_TRUE(Has(text, "<vcount>1 1 1 1 2</vcount>"));
    EXPECT_TRUE(Has(text, "<v>0 1 0 2 1 3 1 4 0 5 1 6</v>"));
    EXPECT_TRUE(Has(text, "<float_array id=\"BodyController-Weights-array\" count=\"7\">"));
    EXPECT_TRUE(Has(Messages(), "Warning: Not able to export all links for mesh Body\n")) << Messages();
    // Joints are named by sid, found under the skeleton roots.
    EXPECT_TRUE(Has(text, "<instance_controller url=\"#BodyController\">\n"));
    EXPECT_TRUE(Has(text, "<skeleton>#Hip</skeleton>"));
    EXPECT_TRUE(Has(text, "<skeleton>#Knee</skeleton>"));
    EXPECT_TRUE(Has(text, "<node id=\"Hip\" name=\"Hip\" sid=\"Hip\""));
    // The morph target is a geometry of its own, named after node and shape.
    EXPECT_TRUE(Has(text, "<controller id=\"Face-lib-morph\">"));
    EXPECT_TRUE(Has(text, "<geometry id=\"Face-smile-lib\" name=\"Face-smileMesh\">"));
    EXPECT_TRUE(Has(text, "<node id=\"Face-smile\" name=\"Face-smile\">"));
    EXPECT_TRUE(Has(text, "\n0.000000 0.000000 0.000000\n1.000000 2.000000 0.000000\n"));
    // The copies made for the document are gone again.
    EXPECT_EQ(scene->GetGeometryCount(), 2);

    const std::string peer = colladatest::LoadWithPeer(path);
    SCOPED_TRACE(peer);
    EXPECT_TRUE(Has(peer, "controller BodyController Skin\n  influences 0 Hip:1.0000\n  influences 1 Hip:1.0000\n"
                          "  influences 2 Knee:1.0000\n  influences 3 Knee:1.0000\n"
                          "  influences 4 Hip:0.5000 Knee:0.5000\n"));
    EXPECT_TRUE(Has(peer, "geometry Face-smile-lib\n"));
}

TEST_F(ColladaWriterTest, AnimationCurvesBecomeChannels) {
    KDuzNode* mover = AddNode("Mover", nullptr);
    KDuzLight* light = KDuzLight::Create(manager, "");
    KDuzNode* lamp = AddNode("Lamp", light);
    for (KDuzNode* node : {mover, lamp}) {
        KDuzTakeNode* take = node->CreateTakeNode("Walk");
        ASSERT_NE(take, nullptr);
        KFCurve* curve = node == mover ? take->GetTranslationXCurve() : take->GetIntensityCurve();
        ASSERT_NE(curve, nullptr);
        curve->KeySet(0, Seconds(0), node == mover ? 0.0f : 100.0f, kFCurveInterpolationLinear);
        curve->KeySet(1, Seconds(1), node == mover ? 10.0f : 50.0f, kFCurveInterpolationLinear);
        ASSERT_TRUE(node->SetCurrentTakeNodeByName("Walk"));
    }
    // One key is the take's constant value: written as a channel of its own.
    mover->GetCurrentTakeNode()->GetScalingYCurve()->KeySet(0, Seconds(0.5), 3.0f, kFCurveInterpolationConstant);

    // A shape's weight channel, in percent in the scene.
    KDuzMesh* face = Pyramid();
    KDuzShape* smile = KDuzShape::Create(manager, "");
    smile->InitControlPoints(5);
    ASSERT_GE(face->AddShape(smile, "smile"), 0);
    KDuzNode* head = AddNode("Head", face);
    KDuzTakeNode* headTake = head->CreateTakeNode("Walk");
    ASSERT_TRUE(face->AddShapeChannelToTake(headTake, 0));
    KFCurve* weight = face->GetShapeChannel(headTake, 0);
    ASSERT_NE(weight, nullptr);
    weight->KeySet(0, Seconds(0), 0.0f, kFCurveInterpolationConstant);
    weight->KeySet(1, Seconds(0.5), 100.0f, kFCurveInterpolationCubic);
    ASSERT_TRUE(head->SetCurrentTakeNodeByName("Walk"));

    std::string path = Write();
    ASSERT_FALSE(path.empty());
    colladatest::ExpectValidDocument(path);
    std::string text = ReadFile(path);
    EXPECT_TRUE(Has(text, "target=\"Head-lib-morph-weights(Weight0)\"/>"));
    EXPECT_TRUE(Has(text, "<float_array id=\"Head-lib-morph-weights-animation-outputWeight0-array\" count=\"2\">\n0.000000 1.000000\n"));
    EXPECT_TRUE(Has(text, "count=\"2\">\n STEP BEZIER\n"));
    EXPECT_TRUE(Has(text, "<animation id=\"Mover-anim\" name=\"Mover\">"));
    EXPECT_TRUE(Has(text, "<float_array id=\"Mover-translate-animation-inputX-array\" count=\"2\">\n0.000000 1.000000\n"));
    EXPECT_TRUE(Has(text, "<float_array id=\"Mover-translate-animation-outputX-array\" count=\"2\">\n0.000000 10.000000\n"));
    EXPECT_TRUE(Has(text, "<Name_array id=\"Mover-translate-animation-interpolationX-array\" count=\"2\">\n LINEAR LINEAR\n"));
    EXPECT_TRUE(Has(text, "<channel source=\"#Mover-translate-animationX\" target=\"Mover/translate.X\"/>"));
    EXPECT_TRUE(Has(text, "<float_array id=\"Mover-scale-animation-outputY-array\" count=\"1\">\n3.000000\n"));
    // Intensities are written as fractions of 100, on the light's library element.
    EXPECT_TRUE(Has(text, "<float_array id=\"Lamp-lib-intensity-animation-output-array\" count=\"2\">\n1.000000 0.500000\n"));
    EXPECT_TRUE(Has(text, "target=\"Lamp-lib/intensity\"/>"));
    // The animated zero translation still gets its element.
    EXPECT_TRUE(Has(text, "<translate sid=\"translate\">0.000000 0.000000 0.000000</translate>"));
    const std::string peer = colladatest::LoadWithPeer(path);
    EXPECT_FALSE(Has(peer, "FAILED")) << peer;

    // One matrix a frame at 30 frames a second, 0 s to 1 s.
    path = Write(true);
    ASSERT_FALSE(path.empty());
    colladatest::ExpectValidDocument(path);
    text = ReadFile(path);
    EXPECT_TRUE(Has(text, "<float_array id=\"Mover-Matrix-animation-input-array\" count=\"31\">"));
    EXPECT_TRUE(Has(text, "<channel source=\"#Mover-Matrix-animation-transform\" target=\"Mover/matrix\"/>"));
    // The last sample: translation 10 in the fourth column, the scale 3 on Y.
    EXPECT_TRUE(Has(text, "\n1.000000 0.000000 0.000000 10.000000 0.000000 3.000000 0.000000 0.000000 0.000000 0.000000 1.000000 0.000000 0.000000 0.000000 0.000000 1.000000\n</float_array>"));
}

TEST_F(ColladaWriterTest, TexturesGoIntoTheEffectsOfTheirMaterials) {
    // A diffuse texture on layer 1 of a mesh with one material.
    KDuzMesh* mesh = Pyramid();
    KDuzSurfaceLambert* red = KDuzSurfaceLambert::Create(manager, "Red");
    SetOneMaterial(mesh, red);
    mesh->CreateLayer();
    KDuzTexture* wood = KDuzTexture::Create(manager, "Wood");
    wood->SetFileName("C|/tex/wood.png");
    wood->SetWrapMode(1, 0);
    wood->SetBlendMode(0);
    wood->SetMaterialMode(0);
    KDuzLayerElementTexture* textures = KDuzCreateLayerElementTexture(manager, "");
    textures->SetMappingMode(KDuzLayerElement::eAllSame);
    textures->GetDirectArray().Add(wood);
    textures->GetIndexArray().Add(0);
    mesh->GetLayer(1)->SetTexturesOfType(eLayerElementDiffuseTextures, textures);
    AddNode("Table", mesh);
    // A texture that stands for its material, on a mesh without materials.
    KDuzMesh* sign = Pyramid();
    KDuzTexture* logo = KDuzTexture::Create(manager, "Logo");
    logo->SetFileName("logo.png");
    logo->SetMaterialMode(1);
    KDuzLayerElementTexture* logoTextures = KDuzCreateLayerElementTexture(manager, "");
    logoTextures->SetMappingMode(KDuzLayerElement::eAllSame);
    logoTextures->GetDirectArray().Add(logo);
    logoTextures->GetIndexArray().Add(0);
    sign->GetLayer(0)->SetTexturesOfType(eLayerElementDiffuseTextures, logoTextures);
    AddNode("Sign", sign);

    const std::string path = Write();
    ASSERT_FALSE(path.empty());
    colladatest::ExpectValidDocument(path);
    const std::string text = ReadFile(path);
    EXPECT_TRUE(Has(text, "<init_from>file:///C:/tex/wood.png</init_from>"));
    EXPECT_TRUE(Has(text, "<init_from>./logo.png</init_from>"));
    EXPECT_TRUE(Has(text, "<diffuse>\n              <texture texture=\"Wood-image-sampler\" texcoord=\"CHANNEL1\">")) << text;
    EXPECT_TRUE(Has(text, "<wrapU sid=\"wrapU1\">FALSE</wrapU>"));
    EXPECT_TRUE(Has(text, "<wrapV sid=\"wrapV1\">TRUE</wrapV>"));
    EXPECT_TRUE(Has(text, "<blend_mode>NONE</blend_mode>"));
    // The textured parameter carries the texture instead of its colour.
    EXPECT_FALSE(Has(text, "<color sid=\"diffuse\">0.800000"));
    EXPECT_TRUE(Has(text, "<polygons material=\"Logo-diffuse-Material\" count=\"5\">"));
    EXPECT_TRUE(Has(text, "<material id=\"Logo-diffuse-Material\" name=\"Logo-diffuse-Material\">"));
    EXPECT_TRUE(Has(text, "<instance_material symbol=\"Logo-diffuse-Material\" target=\"#Logo-diffuse-Material\">\n"
                          "                <bind_vertex_input semantic=\"CHANNEL0\" input_semantic=\"TEXCOORD\" "
                          "input_set=\"0\"/>")) << text;
    // The texture names a sampler of its effect, whose surface names the image.
    EXPECT_TRUE(Has(text, "<newparam sid=\"Wood-image-surface\">\n          <surface type=\"2D\">\n"
                          "            <init_from>Wood-image</init_from>")) << text;
    EXPECT_TRUE(Has(text, "<newparam sid=\"Wood-image-sampler\">\n          <sampler2D>\n"
                          "            <source>Wood-image-surface</source>")) << text;
    // Layer 1 has no coordinates of its own: its channel takes those of layer 0.
    EXPECT_TRUE(Has(text, "<bind_vertex_input semantic=\"CHANNEL1\" input_semantic=\"TEXCOORD\" input_set=\"0\"/>"))
        << text;
    EXPECT_FALSE(Has(text, "\"Wood-Material\""));
    const std::string peer = colladatest::LoadWithPeer(path);
    EXPECT_FALSE(Has(peer, "FAILED")) << peer;
}

// Textures read from a document, and any made in code, stand for their
// material by default: on a mesh with materials they belong to the
// materials of the polygons, not to one that no polygon uses.
TEST_F(ColladaWriterTest, TexturesThatStandForTheirMaterialStayOnThePolygonsMaterial) {
    KDuzMesh* mesh = Pyramid();
    KDuzSurfacePhong* paint = KDuzSurfacePhong::Create(manager, "Paint");
    SetOneMaterial(mesh, paint);
    KDuzTexture* rust = KDuzTexture::Create(manager, "Rust");
    rust->SetFileName("rust.png");
    ASSERT_EQ(rust->GetMaterialMode(), 1);
    KDuzLayerElementTexture* textures = KDuzCreateLayerElementTexture(manager, "");
    textures->SetMappingMode(KDuzLayerElement::eAllSame);
    textures->GetDirectArray().Add(rust);
    textures->GetIndexArray().Add(0);
    mesh->GetLayer(0)->SetTexturesOfType(eLayerElementDiffuseTextures, textures);
    AddNode("Car", mesh);

    const std::string path = Write();
    ASSERT_FALSE(path.empty());
    colladatest::ExpectValidDocument(path);
    const std::string text = ReadFile(path);
    EXPECT_FALSE(Has(text, "Rust-diffuse-Material")) << text;
    const size_t effect = text.find("<effect id=\"Paint-fx\"");
    ASSERT_NE(effect, std::string::npos);
    EXPECT_NE(text.find("<texture texture=\"Rust-image", effect), std::string::npos) << text;

    // Read back: the material of every polygon carries the texture.
    KDuzScene* back = KDuzScene::Create(manager, "");
    KDuzReaderCollada reader(manager);
    ASSERT_TRUE(reader.FileOpen(path.c_str()));
    KDuzStreamOptions* options = reader.GetReadOptions(false);
    ASSERT_TRUE(reader.Read(back, options));
    options->Destroy();
    reader.FileClose();
    KDuzNode* car = back->GetRootNode()->FindChild("Car");
    ASSERT_NE(car, nullptr);
    auto* read = dynamic_cast<KDuzMesh*>(car->GetNodeAttribute());
    ASSERT_NE(read, nullptr);
    const KDuzLayerElementTexture* readTextures = read->GetLayer(0)->GetTexturesOfType(eLayerElementDiffuseTextures);
    ASSERT_NE(readTextures, nullptr);
    ASSERT_EQ(readTextures->GetDirectArray().Count(), 1);
    EXPECT_STREQ(readTextures->GetDirectArray()[0]->GetFileName(), "rust.png");
    ASSERT_EQ(readTextures->GetIndexArray().Count(), read->GetPolygonCount());
    for (int p = 0; p < read->GetPolygonCount(); ++p) EXPECT_EQ(readTextures->GetIndexArray()[p], 0) << p;
}

TEST_F(ColladaWriterTest, TexturesByPolygonGoToTheMaterialsOfTheirPolygons) {
    KDuzMesh* mesh = Pyramid();
    KDuzSurfaceLambert* red = KDuzSurfaceLambert::Create(manager, "Red");
    KDuzSurfacePhong* blue = KDuzSurfacePhong::Create(manager, "Blue");
    KDuzLayerElementMaterial* materials = KDuzCreateLayerElementMaterial(manager, "");
    materials->SetMappingMode(KDuzLayerElement::eByPolygon);
    materials->SetReferenceMode(KDuzLayerElement::eIndexToDirect);
    materials->GetDirectArray().Add(red);
    materials->GetDirectArray().Add(blue);
    KDuzLayerElementTexture* textures = KDuzCreateLayerElementTexture(manager, "");
    textures->SetMappingMode(KDuzLayerElement::eByPolygon);
    textures->SetReferenceMode(KDuzLayerElement::eIndexToDirect);
    for (const char* name : {"Wood", "Stone"}) {
        KDuzTexture* texture = KDuzTexture::Create(manager, name);
        texture->SetMaterialMode(0);
        texture->SetFileName((std::string("/tex/") + name + ".png").c_str());
        textures->GetDirectArray().Add(texture);
    }
    for (int index : {0, 1, 0, 1, 1}) {
        materials->GetIndexArray().Add(index);
        textures->GetIndexArray().Add(index);
    }
    mesh->GetLayer(0)->SetMaterials(materials);
    mesh->GetLayer(0)->SetTexturesOfType(eLayerElementDiffuseTextures, textures);
    AddNode("Crate", mesh);

    const std::string path = Write();
    ASSERT_FALSE(path.empty());
    colladatest::ExpectValidDocument(path);
    const std::string text = ReadFile(path);
    EXPECT_TRUE(Has(text, "<init_from>file:///tex/Stone.png</init_from>"));
    const size_t redEffect = text.find("<effect id=\"Red-fx\"");
    const size_t blueEffect = text.find("<effect id=\"Blue-fx\"");
    const size_t wood = text.find("texture=\"Wood-image-sampler\"");
    const size_t stone = text.find("texture=\"Stone-image-sampler\"");
    ASSERT_NE(wood, std::string::npos);
    ASSERT_NE(stone, std::string::npos);
    // Wood only on Red, Stone only on Blue.
    EXPECT_TRUE(redEffect < wood && wood < blueEffect && blueEffect < stone) << text;
    EXPECT_EQ(text.find("texture=\"Wood-image-sampler\"", wood + 1), std::string::npos);
    EXPECT_EQ(text.find("texture=\"Stone-image-sampler\"", stone + 1), std::string::npos);
}

TEST_F(ColladaWriterTest, MaterialGroupsWriteEveryPolygonOnce) {
    KDuzSurfaceLambert* red = KDuzSurfaceLambert::Create(manager, "Red");
    KDuzSurfacePhong* blue = KDuzSurfacePhong::Create(manager, "Blue");
    struct Case {
        const char* node;
        KDuzLayerElement::EMappingMode mapping;
        std::vector<int> indices;
    };
    const Case cases[] = {
        // One material for the whole mesh although the element lists two.
        {"Same", KDuzLayerElement::eAllSame, {1}},
        // A polygon whose index names no material goes into a group without one.
        {"Broken", KDuzLayerElement::eByPolygon, {0, 1, 0, 1, 7}},
    };
    for (const Case& c : cases) {
        KDuzMesh* mesh = Pyramid();
        KDuzLayerElementMaterial* materials = KDuzCreateLayerElementMaterial(manager, "");
        materials->SetMappingMode(c.mapping);
        materials->SetReferenceMode(KDuzLayerElement::eIndexToDirect);
        materials->GetDirectArray().Add(red);
        materials->GetDirectArray().Add(blue);
        for (int index : c.indices) materials->GetIndexArray().Add(index);
        mesh->GetLayer(0)->SetMaterials(materials);
        AddNode(c.node, mesh);
    }
    // Two layers of vertex colours, the second by control point.
    KDuzMesh* colored = Pyramid();
    colored->CreateLayer();
    for (int layer = 0; layer < 2; ++layer) {
        KDuzLayerElementVertexColor* colors = KDuzCreateLayerElementVertexColor(manager, "");
        colors->SetMappingMode(layer == 0 ? KDuzLayerElement::eByPolygonVertex : KDuzLayerElement::eByControlPoint);
        colors->SetReferenceMode(layer == 0 ? KDuzLayerElement::eIndexToDirect : KDuzLayerElement::eDirect);
        for (int i = 0; i < 5; ++i) colors->GetDirectArray().Add(KDuzRGBAColor(i * 0.25, 0, 1, 0.5));
        if (layer == 0)
            for (int c = 0; c < colored->GetPolygonVertexCount(); ++c) colors->GetIndexArray().Add(4 - c % 5);
        colored->GetLayer(layer)->SetVertexColors(colors);
    }
    AddNode("Colored", colored);

    const std::string path = Write();
    ASSERT_FALSE(path.empty());
    colladatest::ExpectValidDocument(path);
    const std::string peer = colladatest::LoadWithPeer(path);
    SCOPED_TRACE(peer);
    EXPECT_TRUE(Has(peer, "geometry Same-lib\n  Polygons material=Blue count=5\n"));
    EXPECT_TRUE(Has(peer, "geometry Broken-lib\n  Polygons material=Red count=2\n"));
    EXPECT_TRUE(Has(peer, "Polygons material=Blue count=2\n"));
    EXPECT_TRUE(Has(peer, "Polygons material=Blue count=2\n  positions 0.0000 0.0000 0.0000 1.0000 0.0000 0.0000 1.0000 "
                          "0.0000 1.0000 0.0000 0.0000 1.0000 0.5000 1.0000 0.5000\n  vertex_index 1 2 4 3 0 4\n"));
    EXPECT_TRUE(Has(peer, "Polygons material=None count=1\n"));
    const std::string text = ReadFile(path);
    EXPECT_TRUE(Has(text, "<input semantic=\"COLOR\" offset=\"3\" set=\"0\" source=\"#Colored-lib-VertexColors0\"/>"));
    EXPECT_TRUE(Has(text, "<input semantic=\"COLOR\" offset=\"4\" set=\"1\" source=\"#Colored-lib-VertexColors1\"/>"));
    // Corner: point, normal, UV, colour of layer 0 (its index), then the
    // second layer's colour by control point.
    EXPECT_TRUE(Has(text, "<p>0 0 0 4 0 1 1 1 3 1 4 4 0 2 4</p>"));
}

TEST_F(ColladaWriterTest, WritingLeavesTheSceneAsItWas) {
    const duzplatform::ScopedFixedLocalDateTime clock({2026, 1, 2, 3, 4, 5, 0, 5});
    KDuzCamera* camera = KDuzCamera::Create(manager, "");
    KDuzNode* cam = AddNode("Cam", camera);
    cam->SetPostRotation(0, KgeTVector(0, 5, 0, 0));
    KDuzMesh* sign = Pyramid();
    KDuzTexture* logo = KDuzTexture::Create(manager, "Logo");
    logo->SetMaterialMode(1);
    KDuzLayerElementTexture* textures = KDuzCreateLayerElementTexture(manager, "");
    textures->SetMappingMode(KDuzLayerElement::eAllSame);
    textures->GetDirectArray().Add(logo);
    sign->GetLayer(0)->SetTexturesOfType(eLayerElementDiffuseTextures, textures);
    AddNode("Sign", sign);
    KDuzMesh* face = Pyramid();
    KDuzShape* smile = KDuzShape::Create(manager, "");
    smile->InitControlPoints(5);
    face->AddShape(smile, "smile");
    AddNode("Face", face);

    const std::string path = Write();
    ASSERT_FALSE(path.empty());
    colladatest::ExpectValidDocument(path);
    const std::string first = ReadFile(path);
    const std::string second = ReadFile(Write());
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first, second);
    EXPECT_EQ(cam->GetPostRotation(0)[1], 5.0);
    // Rotation is not active: the post-rotation is not ours, only the turn.
    EXPECT_TRUE(Has(first, "<rotate sid=\"postRotationInverseY\">0 1 0 -90.000000</rotate>"));
}

TEST_F(ColladaWriterTest, FailuresAndWarnings) {
    // A target that cannot be replaced fails the write and leaves nothing behind.
    const std::filesystem::path blocked = folder / "taken.dae";
    std::filesystem::create_directories(blocked / "inside");
    KDuzWriterCollada writer(manager);
    ASSERT_TRUE(writer.FileCreate(blocked.string().c_str()));
    KDuzStreamOptions* options = writer.GetWriteOptions();
    EXPECT_FALSE(writer.Write(scene, options));
    EXPECT_EQ(writer.GetLastErrorID(), KDuzWriter::eFileNotCreated);
    options->Destroy();
    writer.FileClose();
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++entries;
    EXPECT_EQ(entries, 1);

    // A scene without nodes writes a document without a visual scene, which
    // would need one.
    const std::string empty = Write();
    ASSERT_FALSE(empty.empty());
    colladatest::ExpectValidDocument(empty);
    EXPECT_FALSE(Has(ReadFile(empty), "visual_scene"));

    // A negative up axis and a null node are warned about; the write goes on.
    scene->GetGlobalSettings()->SetAxisSystem(KDuzAxisSystem(-3, 1, 0));
    AddNode("Empty", KDuzNull::Create(manager, ""));
    const std::string path = Write();
    ASSERT_FALSE(path.empty());
    colladatest::ExpectValidDocument(path);
    EXPECT_TRUE(Has(ReadFile(path), "<up_axis>Z_UP</up_axis>"));
    const std::string messages = Messages();
    EXPECT_TRUE(Has(messages, "Warning: Invalid direction for up-axis: exporter should convert scene.\n")) << messages;
    EXPECT_TRUE(Has(messages, "Warning: Null not supported by COLLADA. Node Empty will lose its geometric "
                              "information. The node transforms will be saved.\n"))
        << messages;
}

TEST_F(ColladaWriterTest, DeepHierarchiesAreWritten) {
    // Deeper than a small stack would follow node by node.
    constexpr int kDepth = 4000;
    KDuzNode* parent = nullptr;
    for (int i = 0; i < kDepth; ++i) parent = AddNode(("n" + std::to_string(i)).c_str(), nullptr, parent);
    std::string path;
    ASSERT_TRUE(duztest::RunOnSmallStack(256 * 1024, [&] { path = Write(); }));
    ASSERT_FALSE(path.empty());
    // OpenCOLLADA's parser stops at 256 levels of elements.
    EXPECT_EQ(colladatest::ValidateAgainstSchema(path), "");
    EXPECT_TRUE(Has(ReadFile(path), "<node id=\"n3999\" name=\"n3999\"/>"));
}

TEST_F(ColladaWriterTest, TriangulateWritesTriangles) {
    // Two nodes share one mesh with a quad.
    KDuzMesh* pyramid = Pyramid();
    KDuzNode* left = AddNode("Left", pyramid);
    KDuzNode* right = AddNode("Right", pyramid);
    const std::string path = Write(false, true);
    ASSERT_FALSE(path.empty());
    colladatest::ExpectValidDocument(path);
    const std::string peer = colladatest::LoadWithPeer(path);
    SCOPED_TRACE(peer);
    // Four triangles and the quad base in two: six three-corner polygons,
    // for each node.
    const std::string six = "Polygons material=None count=6\n";
    const size_t first = peer.find(six);
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(peer.find(six, first + 1), std::string::npos);
    // The caller's scene keeps its mesh, on both nodes.
    EXPECT_EQ(left->GetNodeAttribute(), pyramid);
    EXPECT_EQ(right->GetNodeAttribute(), pyramid);
    EXPECT_EQ(pyramid->GetPolygonCount(), 5);
    EXPECT_EQ(pyramid->GetPolygonSize(4), 4);
}

TEST(ColladaTextureChannels, NamesByIndex) {
    const char* const expected[] = {"INVALID", "ambient", "diffuse", "emission", "reflective", "specular", "transparent",
                                    "INVALID"};
    for (int channel = -1; channel <= 6; ++channel) {
        KString name;
        ColladaTextureChannelName(channel, name);
        EXPECT_STREQ(name.Buffer(), expected[channel + 1]) << channel;
    }
}

// Random scenes with every kind of attribute, layer element, material and
// take: every document is valid and the peer loads it.
TEST_F(ColladaWriterTest, RandomScenesGiveValidDocuments) {
    for (uint32_t seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        KDuzScene* random = KDuzScene::Create(manager, "");
        duztest::BuildRandomScene(*manager, *random, seed);
        std::swap(scene, random);
        const std::string path = Write(seed % 2 == 0);
        std::swap(scene, random);
        ASSERT_FALSE(path.empty());
        // Curves through keys at the float limit give finite values: no NaN
        // or infinity, which OpenCOLLADA's number parser refuses.
        const std::string text = ReadFile(path);
        EXPECT_FALSE(Has(text, "NaN") || Has(text, "INF"));
        colladatest::ExpectValidDocument(path);
        const std::string peer = colladatest::LoadWithPeer(path);
        EXPECT_FALSE(Has(peer, "FAILED")) << peer;
    }
}

TEST_F(ColladaWriterTest, OptionsAndFilesAreChecked) {
    KDuzWriterCollada writer(manager);
    const std::string path = (folder / "a.dae").string();
    ASSERT_TRUE(writer.FileCreate(path.c_str()));
    EXPECT_FALSE(writer.Write(scene, nullptr));
    EXPECT_EQ(writer.GetLastErrorID(), KDuzWriter::eStreamOptionsNotSet);
    KDuzStreamOptionsColladaReader* wrong = KDuzStreamOptionsColladaReader::Create(manager, "");
    EXPECT_FALSE(writer.Write(scene, wrong));
    wrong->Destroy();
    // Nothing at the target until a write succeeded; no stray file after.
    EXPECT_FALSE(std::filesystem::exists(path));
    writer.FileClose();
    EXPECT_TRUE(std::filesystem::is_empty(folder));
    EXPECT_EQ(writer.GetFileName(), "");

    // Missing folders of the target are made.
    KDuzWriterCollada nested(manager);
    const std::string deep = (folder / "sub" / "dir" / "c.dae").string();
    ASSERT_TRUE(nested.FileCreate(deep.c_str()));
    KDuzStreamOptions* options = nested.GetWriteOptions();
    EXPECT_TRUE(nested.Write(scene, options));
    options->Destroy();
    EXPECT_TRUE(nested.FileClose());
    EXPECT_TRUE(std::filesystem::is_regular_file(deep));
    colladatest::ExpectValidDocument(deep);

    KDuzWriterCollada blocked(manager);
    std::ofstream(folder / "file") << "x";
    EXPECT_FALSE(blocked.FileCreate((folder / "file" / "b.dae").string().c_str()));
    EXPECT_EQ(blocked.GetLastErrorID(), KDuzWriter::eFileNotOpened);
    EXPECT_TRUE(blocked.GetFileName().IsEmpty());
}

TEST_F(ColladaWriterTest, RegisteredUnderTheColladaEntry) {
    KDuzFormatRegistry* registry = KDuzFormatRegistry::Get();
    ASSERT_NE(registry, nullptr);
    // Collada is the last writer group.
    const int index = registry->GetWriterCount() - 1;
    KDuzWriter* writer = registry->CreateWriter(manager, nullptr, index);
    ASSERT_NE(dynamic_cast<KDuzWriterCollada*>(writer), nullptr);
    delete writer;

    // The exporter reaches it by the format index.
    AddNode("Box", Pyramid());
    const std::string path = (folder / "exported.dae").string();
    KDuzExporter* exporter = KDuzExporter::Create(manager, "");
    ASSERT_TRUE(exporter->Initialize(path.c_str()));
    exporter->SetFileFormat(index);
    EXPECT_TRUE(exporter->Export(scene));
    exporter->Destroy();
    colladatest::ExpectValidDocument(path);
}

}  // namespace

namespace {

// The schema check itself: a document that breaks the schema is refused, so
// an empty answer above means something.
TEST(ColladaSchemaCheck, RefusesAnInvalidDocument) {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("colladaw_bad_" + std::to_string(::getpid()) + ".dae")).string();
    std::ofstream(path) << "<?xml version=\"1.0\"?>\n<COLLADA xmlns=\"http://www.collada.org/2005/11/COLLADASchema\" "
                           "version=\"1.4.0\"><asset><up_axis>Q</up_axis></asset></COLLADA>\n";
    EXPECT_NE(colladatest::ValidateAgainstSchema(path), "");
    std::filesystem::remove(path);
}

}  // namespace
