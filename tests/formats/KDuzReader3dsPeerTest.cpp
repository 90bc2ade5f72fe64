// The 3DS reader on files written by lib3ds, an independent 3DS library:
// meshes with materials and textures in a hierarchy, a camera, omni and spot
// lights and animated transforms come into the scene with the same content.
// What 3DS cannot hold is named where it shows: names of at most 10
// characters, single-precision values, and only the track kinds the reader
// imports (position, rotation, scale, colour, hotspot, field of view, roll;
// morph, hide and falloff tracks are not read).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include <lib3ds/camera.h>
#include <lib3ds/file.h>
#include <lib3ds/light.h>
#include <lib3ds/material.h>
#include <lib3ds/mesh.h>
#include <lib3ds/node.h>
#include <lib3ds/tracks.h>

#include "Lib3dsPeerSupport.h"
#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/formats/KDuzReader3ds.h"
#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzLayerElement.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/io/KDuzStreamOptionsFormats.h"
#include "sdk/object/KDuzProperty.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzCamera.h"
#include "sdk/scene/KDuzLight.h"
#include "sdk/scene/KDuzMarker.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"
#include "sdk/scene/KDuzTakeDescription.h"

using namespace duzsdk;

namespace {

using lib3dspeer::AddPosKey;
using lib3dspeer::PeerNode;

// Values travel in single precision; 2.54 (inches to centimetres) is also
// computed in single precision.
constexpr double kFloat = 1e-5;
const double kScale = static_cast<double>(2.54f);
const KTime kFrame(KTime::kTicksPerSecond / 30);

KDuzNode* FindNode(KDuzNode* root, const char* name) {
    if (std::strcmp(root->GetName(), name) == 0) return root;
    for (int i = 0; i < root->GetChildCount(); ++i) {
        if (KDuzNode* found = FindNode(root->GetChild(i), name)) return found;
    }
    return nullptr;
}

double Double(const KDuzProperty& property) {
    double value = 0.0;
    property.GetValue(&value, eValueKindDouble);
    return value;
}

duzVectorTemplate3<double> Color(const KDuzProperty& property) {
    duzVectorTemplate3<double> value;
    property.GetValue(&value, eValueKindDouble3);
    return value;
}

void AddRotKey(Lib3dsQuatTrack* track, int frame, float angle, float x, float y, float z) {
    Lib3dsQuatKey* k = lib3ds_quat_key_new();
    k->tcb.frame = frame;
    k->angle = angle;
    k->axis[0] = x;
    k->axis[1] = y;
    k->axis[2] = z;
    lib3ds_quat_track_insert(track, k);
}

void AddLin1Key(Lib3dsLin1Track* track, int frame, float value) {
    Lib3dsLin1Key* k = lib3ds_lin1_key_new();
    k->tcb.frame = frame;
    k->value = value;
    lib3ds_lin1_track_insert(track, k);
}

class Reader3dsPeerTest : public ::testing::Test {
protected:
    void SetUp() override {
        manager = KDuzSdkManager::Create();
        scene = KDuzScene::Create(manager, "");
        folder = std::filesystem::temp_directory_path() /
                 ("reader3ds_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "_" +
                  std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
    }
    void TearDown() override {
        if (peer != nullptr) lib3ds_file_free(peer);
        std::filesystem::remove_all(folder);
        manager->Destroy();
    }

    std::string Save(const char* name) {
        const std::string path = (folder / name).string();
        EXPECT_TRUE(lib3ds_file_save(peer, path.c_str()));
        // With DUZ_3DS_SEED_DIR set, the files are kept as fuzz seeds.
        if (const char* dir = std::getenv("DUZ_3DS_SEED_DIR"))
            std::filesystem::copy_file(path, std::string(dir) + "/reader-" + name,
                                       std::filesystem::copy_options::overwrite_existing);
        return path;
    }

    // Reads the file with options changed by `configure`.
    template <typename Configure>
    bool Import(const std::string& path, Configure configure) {
        KDuzReader3DS reader(manager);
        EXPECT_TRUE(reader.FileOpen(path.c_str()));
        KDuzStreamOptions* options = reader.GetReadOptions(false);
        configure(*options);
        const bool read = reader.Read(scene, options);
        reader.FileClose();
        error = reader.GetLastErrorID();
        return read;
    }
    bool Import(const std::string& path) {
        return Import(path, [](KDuzStreamOptions&) {});
    }

    // The scene of the main test: two meshes in a hierarchy with two
    // materials (one with two textures), a camera, an omni light and a spot.
    void BuildPeerScene() {
        peer = lib3ds_file_new();
        Lib3dsMaterial* red = lib3ds_material_new();
        std::strcpy(red->name, "red");
        red->diffuse[0] = 1;
        red->ambient[0] = 0.2f;
        red->specular[1] = 0.5f;
        red->shininess = 0.25f;
        red->shin_strength = 0.75f;
        red->transparency = 0.5f;
        std::strcpy(red->texture1_map.name, "wood.tga");
        red->texture1_map.percent = 1;
        red->texture1_map.scale[0] = 1;
        red->texture1_map.scale[1] = 1;
        std::strcpy(red->texture2_map.name, "dirt.tga");
        red->texture2_map.percent = 0.5f;
        red->texture2_map.scale[0] = 2;
        red->texture2_map.scale[1] = 2;
        lib3ds_file_insert_material(peer, red);
        Lib3dsMaterial* blue = lib3ds_material_new();
        std::strcpy(blue->name, "blue");
        blue->diffuse[2] = 1;
        blue->shininess = 0.5f;
        std::strcpy(blue->texture1_map.name, "wood.tga");
        blue->texture1_map.percent = 1;
        blue->texture1_map.scale[0] = 1;
        blue->texture1_map.scale[1] = 1;
        lib3ds_file_insert_material(peer, blue);

        // A unit square at x = 5 (stored in world space, the mesh matrix
        // moves it there); its two faces share vertices 0 and 2 but no
        // smoothing group.
        Lib3dsMesh* box = lib3ds_mesh_new("box");
        lib3ds_mesh_new_point_list(box, 4);
        lib3ds_mesh_new_texel_list(box, 4);
        lib3ds_mesh_new_face_list(box, 2);
        const float square[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
        for (int i = 0; i < 4; ++i) {
            box->pointL[i].pos[0] = 5 + square[i][0];
            box->pointL[i].pos[1] = square[i][1];
            box->texelL[i][0] = square[i][0];
            box->texelL[i][1] = square[i][1];
        }
        const int faces[2][3] = {{0, 1, 2}, {0, 2, 3}};
        for (int f = 0; f < 2; ++f) {
            for (int c = 0; c < 3; ++c) box->faceL[f].points[c] = static_cast<Lib3dsWord>(faces[f][c]);
            box->faceL[f].smoothing = f == 0 ? 1 : 2;
        }
        std::strcpy(box->faceL[0].material, "red");
        std::strcpy(box->faceL[1].material, "blue");
        for (int i = 0; i < 4; ++i) box->matrix[i][i] = 1;
        box->matrix[3][0] = 5;
        lib3ds_file_insert_mesh(peer, box);

        // 3DS names hold 10 characters: this one is as long as they get.
        Lib3dsMesh* child = lib3ds_mesh_new("abcdefghij");
        lib3ds_mesh_new_point_list(child, 3);
        lib3ds_mesh_new_face_list(child, 1);
        for (int i = 0; i < 3; ++i) child->pointL[i].pos[i] = 1;
        child->faceL[0].points[0] = 0;
        child->faceL[0].points[1] = 1;
        child->faceL[0].points[2] = 2;
        child->faceL[0].smoothing = 1;
        for (int i = 0; i < 4; ++i) child->matrix[i][i] = 1;
        lib3ds_file_insert_mesh(peer, child);

        Lib3dsCamera* cam = lib3ds_camera_new("cam");
        cam->position[1] = -10;
        cam->fov = 45;
        cam->near_range = 1;
        cam->far_range = 100;
        lib3ds_file_insert_camera(peer, cam);
        Lib3dsLight* omni = lib3ds_light_new("omni");
        omni->color[0] = 1;
        omni->color[1] = 0.5f;
        omni->multiplier = 2;
        lib3ds_file_insert_light(peer, omni);
        Lib3dsLight* spot = lib3ds_light_new("spot");
        spot->spot_light = 1;
        spot->spot[2] = -1;
        spot->hot_spot = 20;
        spot->fall_off = 30;
        spot->multiplier = 1;
        lib3ds_file_insert_light(peer, spot);

        Lib3dsNode* boxNode = PeerNode(lib3ds_node_new_object(), "box", 0, LIB3DS_NO_PARENT);
        AddPosKey(&boxNode->data.object.pos_track, 0, 5, 0, 0);
        AddPosKey(&boxNode->data.object.pos_track, 10, 5, 2, 0);
        AddRotKey(&boxNode->data.object.rot_track, 0, 0, 0, 0, 1);
        AddRotKey(&boxNode->data.object.rot_track, 10, static_cast<float>(M_PI / 4), 0, 0, 1);
        AddPosKey(&boxNode->data.object.scl_track, 0, 1, 2, 3);
        lib3ds_file_insert_node(peer, boxNode);
        Lib3dsNode* childNode = PeerNode(lib3ds_node_new_object(), "abcdefghij", 1, 0);
        AddPosKey(&childNode->data.object.pos_track, 0, 0, 0, 1);
        lib3ds_file_insert_node(peer, childNode);
        Lib3dsNode* camNode = PeerNode(lib3ds_node_new_camera(), "cam", 2, LIB3DS_NO_PARENT);
        AddPosKey(&camNode->data.camera.pos_track, 0, 0, -10, 0);
        AddLin1Key(&camNode->data.camera.fov_track, 0, 45);
        AddLin1Key(&camNode->data.camera.roll_track, 0, 5);
        lib3ds_file_insert_node(peer, camNode);
        Lib3dsNode* camTarget = PeerNode(lib3ds_node_new_target(), "cam", 3, LIB3DS_NO_PARENT);
        AddPosKey(&camTarget->data.target.pos_track, 0, 0, 0, 0);
        lib3ds_file_insert_node(peer, camTarget);
        Lib3dsNode* omniNode = PeerNode(lib3ds_node_new_light(), "omni", 4, LIB3DS_NO_PARENT);
        AddPosKey(&omniNode->data.light.pos_track, 0, 0, 0, 4);
        AddPosKey(&omniNode->data.light.col_track, 0, 1, 0.5f, 0);
        lib3ds_file_insert_node(peer, omniNode);
        Lib3dsNode* spotNode = PeerNode(lib3ds_node_new_light(), "spot", 5, LIB3DS_NO_PARENT);
        AddPosKey(&spotNode->data.light.pos_track, 0, 0, 0, 1);
        AddLin1Key(&spotNode->data.light.hotspot_track, 0, 20);
        lib3ds_file_insert_node(peer, spotNode);
        Lib3dsNode* spotTarget = PeerNode(lib3ds_node_new_spot(), "spot", 6, LIB3DS_NO_PARENT);
        AddPosKey(&spotTarget->data.spot.pos_track, 0, 0, 0, -1);
        lib3ds_file_insert_node(peer, spotTarget);
    }

    KDuzSdkManager* manager = nullptr;
    KDuzScene* scene = nullptr;
    std::filesystem::path folder;
    Lib3dsFile* peer = nullptr;
    int error = -1;
};

void ExpectPoint(const KgeTVector& p, double x, double y, double z) {
    EXPECT_NEAR(p[0], x, kFloat);
    EXPECT_NEAR(p[1], y, kFloat);
    EXPECT_NEAR(p[2], z, kFloat);
}

TEST_F(Reader3dsPeerTest, PeerSceneImportsWithTheSameContent) {
    BuildPeerScene();
    const std::string path = Save("scene.3ds");
    ASSERT_TRUE(Import(path));
    KDuzNode* root = scene->GetRootNode();

    // Hierarchy: the child under the box, the rest under the root.
    KDuzNode* box = FindNode(root, "box");
    KDuzNode* child = FindNode(root, "abcdefghij");
    ASSERT_NE(box, nullptr);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(box->GetParent(), root);
    EXPECT_EQ(child->GetParent(), box);

    // The box mesh: local points (the mesh matrix undone), axes (x, z, -y),
    // times 2.54; vertices 0 and 2 split by the smoothing groups.
    auto* mesh = dynamic_cast<KDuzMesh*>(box->GetNodeAttribute());
    ASSERT_NE(mesh, nullptr);
    ASSERT_EQ(mesh->GetPolygonCount(), 2);
    EXPECT_EQ(mesh->GetControlPointsCount(), 6);
    const KgeTVector* points = mesh->GetControlPoints();
    ExpectPoint(points[mesh->GetPolygonVertex(0, 1)], kScale, 0, 0);
    ExpectPoint(points[mesh->GetPolygonVertex(1, 2)], 0, 0, -kScale);
    EXPECT_NE(mesh->GetPolygonVertex(0, 0), mesh->GetPolygonVertex(1, 0));
    // Normals of a square in the 3DS xy plane point along the scene's Y.
    const KgeTVector* normals = mesh->GetNormals();
    ASSERT_NE(normals, nullptr);
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(std::fabs(normals[i][1]), 1.0, kFloat) << i;

    // Materials per face, textures: "red" has two (the second marks the
    // mesh for layer 1), "blue" uses the same map-1 file name, so its
    // texture gets the material's index as a suffix.
    ASSERT_EQ(mesh->GetMaterialCount(), 2);
    EXPECT_STREQ(mesh->GetMaterial(mesh->GetMaterialIndices()[0])->GetName(), "red");
    EXPECT_STREQ(mesh->GetMaterial(mesh->GetMaterialIndices()[1])->GetName(), "blue");
    EXPECT_NE(manager->FindTexture("wood.tga"), nullptr);
    EXPECT_NE(manager->FindTexture("wood.tga-1"), nullptr);
    auto* dirt = dynamic_cast<KDuzTexture*>(manager->FindTexture("dirt.tga"));
    ASSERT_NE(dirt, nullptr);
    EXPECT_STREQ(dirt->GetFileName(), "dirt.tga");
    EXPECT_NEAR(dirt->GetDefaultAlpha(), 0.5, kFloat);
    EXPECT_EQ(mesh->GetLayerCount(), 2);
    EXPECT_EQ(box->GetShadingMode(), 4);
    // UVs by polygon vertex, indexed by the stored vertex.
    EXPECT_EQ(mesh->GetTextureUVIndex(1, 2), 3);
    const KgeUVVector* uvs = mesh->GetTextureUV();
    ASSERT_NE(uvs, nullptr);
    EXPECT_NEAR(uvs[3][1], 1.0, kFloat);
    EXPECT_NEAR(uvs[1][0], 1.0, kFloat);

    auto* red = dynamic_cast<KDuzSurfacePhong*>(manager->FindSurfaceMaterial("red"));
    ASSERT_NE(red, nullptr);
    EXPECT_NEAR(Color(red->GetDiffuseColor())[0], 1.0, 1.0 / 255);
    EXPECT_NEAR(Color(red->GetAmbientColor())[0], 0.2, 1.0 / 255);
    EXPECT_NEAR(Color(red->GetSpecularColor())[1], 0.5, 1.0 / 255);
    EXPECT_NEAR(Double(red->GetShininessExponent()), 32.0, 0.5);   // 2^(10 x 2 x 0.25)
    EXPECT_NEAR(Double(red->GetSpecularFactor()), 1.0, 0.02);
    EXPECT_NEAR(Double(red->GetTransparencyFactor()), 0.5, 0.02);
    auto* blue = dynamic_cast<KDuzSurfacePhong*>(manager->FindSurfaceMaterial("blue"));
    ASSERT_NE(blue, nullptr);
    EXPECT_NEAR(Double(blue->GetShininessExponent()), 1024.0, 1e-6);

    // Animated transforms in the take: positions with the axes swapped and
    // scaled; the rotation about 3DS z turns about the scene's Y, negated.
    KDuzTakeNode* take = box->GetCurrentTakeNode();
    ASSERT_NE(take, nullptr);
    KFCurve* tz = take->GetTranslationZCurve();
    ASSERT_EQ(tz->KeyGetCount(), 2);
    EXPECT_EQ(tz->KeyGetTime(1), kFrame * 10);
    EXPECT_NEAR(tz->KeyGetValue(1), -2 * kScale, kFloat);
    EXPECT_NEAR(take->GetTranslationXCurve()->KeyGetValue(0), 5 * kScale, kFloat);
    KFCurve* ry = take->GetRotationYCurve();
    ASSERT_EQ(ry->KeyGetCount(), 2);
    EXPECT_NEAR(ry->KeyGetValue(1), -45.0, 1e-3);
    EXPECT_NEAR(take->GetRotationXCurve()->KeyGetValue(1), 0.0, 1e-3);
    // One scale key: a static value, (x, z, y) without the scale factor.
    EXPECT_EQ(take->GetScalingXCurve()->KeyGetCount(), 0);
    const duzVectorTemplate3<double> s = box->GetLclScaling();
    EXPECT_NEAR(s[0], 1, kFloat);
    EXPECT_NEAR(s[1], 3, kFloat);
    EXPECT_NEAR(s[2], 2, kFloat);
    EXPECT_NEAR(child->GetLclTranslation()[1], kScale, kFloat);

    // The camera with its target.
    KDuzNode* cam = FindNode(root, "cam");
    KDuzNode* camTarget = FindNode(root, "cam.Target");
    ASSERT_NE(cam, nullptr);
    ASSERT_NE(camTarget, nullptr);
    EXPECT_EQ(cam->GetLookAtTarget(), camTarget);
    EXPECT_NE(dynamic_cast<KDuzMarker*>(camTarget->GetNodeAttribute()), nullptr);
    auto* camera = dynamic_cast<KDuzCamera*>(cam->GetNodeAttribute());
    ASSERT_NE(camera, nullptr);
    EXPECT_NEAR(camera->GetFocalLength(), 2400.0 / 45.0, 1e-3);
    EXPECT_NEAR(camera->GetNearPlane(), kScale, kFloat);
    EXPECT_NEAR(camera->GetFarPlane(), 1000 * kScale, 1e-3);
    EXPECT_NEAR(camera->GetRoll(), 5.0, kFloat);
    EXPECT_NEAR(cam->GetLclTranslation()[2], 10 * kScale, kFloat);

    // Lights: the omni light's colour and intensity, the spot's cone, target
    // and post-target rotation.
    KDuzNode* omniNode = FindNode(root, "omni");
    ASSERT_NE(omniNode, nullptr);
    auto* omni = dynamic_cast<KDuzLight*>(omniNode->GetNodeAttribute());
    ASSERT_NE(omni, nullptr);
    EXPECT_EQ(omni->GetLightType(), KDuzLight::ePoint);
    EXPECT_NEAR(omni->GetColor().mGreen, 0.5, kFloat);
    EXPECT_NEAR(omni->GetIntensity(), 200.0, kFloat);
    EXPECT_NEAR(omniNode->GetLclTranslation()[1], 4 * kScale, kFloat);
    KDuzNode* spotNode = FindNode(root, "spot");
    ASSERT_NE(spotNode, nullptr);
    auto* spot = dynamic_cast<KDuzLight*>(spotNode->GetNodeAttribute());
    ASSERT_NE(spot, nullptr);
    EXPECT_EQ(spot->GetLightType(), KDuzLight::eSpot);
    EXPECT_NEAR(spot->GetConeAngle(), 20.0, kFloat);
    EXPECT_EQ(spotNode->GetLookAtTarget(), FindNode(root, "spot.Target"));
    EXPECT_NEAR(spotNode->GetPostTargetRotation()[2], 90.0, kFloat);

    // The take spans the animation: frames 0 to 10.
    const KDuzTakeDescription* description = scene->GetTakeDescription(KString(KDuzReader3DS::kTakeName));
    ASSERT_NE(description, nullptr);
    EXPECT_EQ(description->localStart, KTime());
    EXPECT_EQ(description->localStop, kFrame * 10);
}

TEST_F(Reader3dsPeerTest, OptionsChangeWhatIsImported) {
    BuildPeerScene();
    const std::string path = Save("options.3ds");
    // Without rescaling, smoothing groups, animation, cameras and lights:
    // every vertex is one control point, nothing is scaled, tracks become
    // static values, and cameras and lights give no nodes.
    ASSERT_TRUE(Import(path, [](KDuzStreamOptions& o) {
        o.SetBoolOption("RESCALING", false);
        o.SetBoolOption("SMOOTHGROUP", false);
        o.SetBoolOption("ANIMATION", false);
        o.SetBoolOption("CAMERA", false);
        o.SetBoolOption("LIGHT", false);
    }));
    KDuzNode* root = scene->GetRootNode();
    KDuzNode* box = FindNode(root, "box");
    ASSERT_NE(box, nullptr);
    auto* mesh = dynamic_cast<KDuzMesh*>(box->GetNodeAttribute());
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->GetControlPointsCount(), 4);
    ExpectPoint(mesh->GetControlPoints()[1], 1, 0, 0);
    EXPECT_EQ(box->GetCurrentTakeNode()->GetTranslationZCurve()->KeyGetCount(), 0);
    EXPECT_NEAR(box->GetLclTranslation()[0], 5.0, kFloat);
    EXPECT_EQ(FindNode(root, "cam"), nullptr);
    EXPECT_EQ(FindNode(root, "omni"), nullptr);
    EXPECT_EQ(FindNode(root, "spot"), nullptr);
    // Nothing animated: the take gets frames 0 to 150.
    const KDuzTakeDescription* description = scene->GetTakeDescription(KString(KDuzReader3DS::kTakeName));
    ASSERT_NE(description, nullptr);
    EXPECT_EQ(description->localStop, kFrame * 150);

    // The reference node carries the scale; the points stay as stored.
    KDuzScene* second = KDuzScene::Create(manager, "");
    scene = second;
    ASSERT_TRUE(Import(path, [](KDuzStreamOptions& o) { o.SetBoolOption("REFERENCENODE", true); }));
    KDuzNode* reference = FindNode(scene->GetRootNode(), "Duz_Root");
    ASSERT_NE(reference, nullptr);
    EXPECT_NEAR(reference->GetLclScaling()[0], kScale, kFloat);
    KDuzNode* box2 = FindNode(reference, "box");
    ASSERT_NE(box2, nullptr);
    EXPECT_EQ(box2->GetParent(), reference);
    ExpectPoint(dynamic_cast<KDuzMesh*>(box2->GetNodeAttribute())->GetControlPoints()[1], 1, 0, 0);
}

TEST_F(Reader3dsPeerTest, MeshesWithoutKeyframerGetOneNodeEach) {
    peer = lib3ds_file_new();
    peer->master_scale = 2;
    Lib3dsMesh* tri = lib3ds_mesh_new("tri");
    lib3ds_mesh_new_point_list(tri, 3);
    // Fewer texture vertices than vertices: the UVs are not used (never
    // read past the texture-vertex list).
    lib3ds_mesh_new_texel_list(tri, 1);
    lib3ds_mesh_new_face_list(tri, 1);
    for (int i = 0; i < 3; ++i) tri->pointL[i].pos[i] = 1;
    tri->faceL[0].points[1] = 1;
    tri->faceL[0].points[2] = 2;
    for (int i = 0; i < 4; ++i) tri->matrix[i][i] = 1;
    lib3ds_file_insert_mesh(peer, tri);
    ASSERT_TRUE(Import(Save("nokf.3ds")));
    KDuzNode* node = FindNode(scene->GetRootNode(), "tri");
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->GetParent(), scene->GetRootNode());
    auto* mesh = dynamic_cast<KDuzMesh*>(node->GetNodeAttribute());
    ASSERT_NE(mesh, nullptr);
    // Master scale 2 times 2.54, computed in single precision.
    const double scale = static_cast<double>(2.0f * 2.54f);
    ExpectPoint(mesh->GetControlPoints()[mesh->GetPolygonVertex(0, 0)], scale, 0, 0);
    ExpectPoint(mesh->GetControlPoints()[mesh->GetPolygonVertex(0, 1)], 0, 0, -scale);
    ExpectPoint(mesh->GetControlPoints()[mesh->GetPolygonVertex(0, 2)], 0, scale, 0);
    EXPECT_NEAR(mesh->GetTextureUV()[2][0], 0.0, 0.0);
}

TEST_F(Reader3dsPeerTest, HostileFilesFailWithTheReaderError) {
    BuildPeerScene();
    const std::string path = Save("good.3ds");
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 64u);
    struct Case {
        const char* name;
        std::string content;
    };
    std::string badFace = bytes;
    // A face list whose first face names vertex 0xFFFF.
    const size_t faceTag = bytes.find(std::string("\x20\x41", 2));
    ASSERT_NE(faceTag, std::string::npos);
    badFace[faceTag + 8] = '\xff';
    badFace[faceTag + 9] = '\xff';
    const Case cases[] = {
        {"empty", ""},
        {"truncated", bytes.substr(0, bytes.size() / 2)},
        {"not 3DS", std::string(200, 'x')},
        {"face index past the vertices", badFace},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = (folder / "hostile.3ds").string();
        std::ofstream(file, std::ios::binary) << c.content;
        EXPECT_FALSE(Import(file));
        EXPECT_EQ(error, KDuzReader::eFileCorrupted);
    }
    // A file that cannot be opened: FileOpen still succeeds, Read fails.
    EXPECT_FALSE(Import((folder / "missing.3ds").string()));
    EXPECT_EQ(error, KDuzReader::eFileNotOpened);
}

}  // namespace
