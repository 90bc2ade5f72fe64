// The 3DS writer against an independent 3DS library: a scene exported as
// 3DS is read by lib3ds with the same content, within what 3DS holds.
//
// Losses the format imposes, checked by name below:
// - names: object names are cut to 7 characters before numbering (10 in
//   the file), material names to 12 (15 in the file);
// - values are single precision; material colours are bytes (steps of
//   1/255), light colours floats;
// - only the current take is written, sampled once per frame (30 fps) into
//   TCB keys with zero tension, continuity and bias;
// - rotations become relative axis-angle keys; directional lights and
//   nodes of other kinds than meshes, lights and cameras become dummies or
//   nothing.
#include "Lib3dsPeerSupport.h"
#include "W3dsTestSupport.h"

#include <cmath>
#include <cstring>
#include <fstream>

#include <lib3ds/camera.h>
#include <lib3ds/file.h>
#include <lib3ds/light.h>
#include <lib3ds/material.h>
#include <lib3ds/matrix.h>
#include <lib3ds/mesh.h>
#include <lib3ds/node.h>
#include <lib3ds/tracks.h>
#include <lib3ds/vector.h>

#include "sdk/base/KgeMath.h"
#include "sdk/io/KDuzExporter.h"

using namespace duzsdk;
using namespace w3dstest;

namespace {

using lib3dspeer::FindByName;
using lib3dspeer::kByteStep;

int KeyCount(const Lib3dsLin3Key* k) {
    int n = 0;
    for (; k; k = k->next) ++n;
    return n;
}

class W3dsPeerTest : public W3dsTest {
protected:
    void TearDown() override {
        if (peer) lib3ds_file_free(peer);
        W3dsTest::TearDown();
    }
    Lib3dsFile* peer = nullptr;
};

// Y-up scene point to the Z-up axes of 3DS.
std::array<float, 3> ZUp(double x, double y, double z) {
    return {static_cast<float>(x), static_cast<float>(-z), static_cast<float>(y)};
}

TEST_F(W3dsPeerTest, SceneReadByLib3dsWithTheSameContent) {
    std::ofstream(PathOf("paint.png")) << "png";

    // Body (a group) > Chassis (textured mesh, animated) > WheelFrontLeft (mesh).
    KDuzSurfacePhong* paint = KDuzSurfacePhong::Create(manager, "CarPaintMetallic");
    const duzVectorTemplate3<double> red(0.8, 0.1, 0.1);
    paint->GetDiffuseColor().SetValue(&red, eValueKindDouble3);
    const double one = 1.0;
    paint->GetDiffuseFactor().SetValue(&one, eValueKindDouble);
    KDuzSurfaceLambert* rubber = KDuzSurfaceLambert::Create(manager, "rubber");
    const duzVectorTemplate3<double> black(0.05, 0.05, 0.05);
    rubber->GetDiffuseColor().SetValue(&black, eValueKindDouble3);
    KDuzTexture* texture = KDuzTexture::Create(manager, "paint");
    texture->SetFileName(PathOf("paint.png").c_str());

    KDuzNode* body = AddNode(manager, scene->GetRootNode(), "Body", KDuzNull::Create(manager, ""));
    body->SetLclTranslation(duzVectorTemplate3<double>(0, 1, 0));
    const std::vector<KgeTVector> box = {P(-1, 0, -2), P(1, 0, -2), P(1, 0, 2), P(-1, 0, 2), P(0, 1, 0)};
    MeshSpec chassisSpec(box, {{0, 1, 2, 3}, {0, 1, 4}, {2, 3, 4}}, {paint}, {}, {texture},
                         {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}, {1, 0}, {0.5f, 1}, {0, 0}, {1, 0}, {0.5f, 1}});
    KDuzNode* chassis = AddNode(manager, body, "Chassis", MakeMesh(manager, chassisSpec));
    KDuzTakeNode* take = chassis->GetCurrentTakeNode();
    Animate(take->GetTranslationXCurve(), {{0, 0}, {20, 10}});
    Animate(take->GetRotationYCurve(), {{0, 0}, {20, 90}});
    KDuzNode* wheel = AddNode(manager, chassis, "WheelFrontLeft",
                              MakeMesh(manager, MeshSpec({P(0, 0, 0), P(0.5, 0, 0), P(0, 0.5, 0)}, {{0, 1, 2}}, {rubber})));
    wheel->SetLclTranslation(duzVectorTemplate3<double>(1, 0, 2));

    KDuzCamera* camera = KDuzCamera::Create(manager, "");
    KDuzNode* cameraNode = AddNode(manager, scene->GetRootNode(), "MainCamera", camera);
    cameraNode->SetLclTranslation(duzVectorTemplate3<double>(0, 5, 20));
    KDuzLight* lamp = KDuzLight::Create(manager, "");
    lamp->SetColor(KDuzRGBAColor(1, 0.5, 0.25));
    lamp->SetIntensity(50);
    AddNode(manager, scene->GetRootNode(), "Lamp", lamp)->SetLclTranslation(duzVectorTemplate3<double>(3, 4, 5));
    KDuzLight* spot = KDuzLight::Create(manager, "");
    spot->SetLightType(KDuzLight::eSpot);
    spot->SetConeAngle(30);
    AddNode(manager, scene->GetRootNode(), "Spot", spot);

    const std::string path = PathOf("scene.3ds");
    KDuzExporter* exporter = KDuzExporter::Create(manager, "");
    ASSERT_TRUE(exporter->Initialize(path.c_str()));
    ASSERT_TRUE(exporter->Export(scene)) << exporter->GetLastErrorString();
    exporter->Destroy();

    peer = lib3ds_file_load(path.c_str());
    ASSERT_NE(peer, nullptr);
    EXPECT_NEAR(peer->master_scale, 1 / 2.54, 1e-6);
    EXPECT_EQ(peer->frames, 20);

    // Materials: names cut to 12 before the write.
    const Lib3dsMaterial* m = FindByName(peer->materials, "1.Mat0Tex0");
    ASSERT_NE(m, nullptr);
    EXPECT_NEAR(m->diffuse[0], 0.8f, kByteStep);
    EXPECT_STREQ(m->texture1_map.name, "paint.png");
    EXPECT_TRUE(m->two_sided);
    const Lib3dsMaterial* r = FindByName(peer->materials, "rubber");
    ASSERT_NE(r, nullptr);
    EXPECT_NEAR(r->diffuse[1], 0.05f, kByteStep);

    // Meshes: object names cut to 7; points in Z-up, through the node's own
    // transform at time 0 of the take. The exporter's options split the
    // points by polygon corner, so every corner keeps its own UV.
    const Lib3dsMesh* mesh = FindByName(peer->meshes, "Chassis");
    ASSERT_NE(mesh, nullptr);
    ASSERT_EQ(mesh->points, 10u);
    ASSERT_EQ(mesh->texels, 10u);
    ASSERT_EQ(mesh->faces, 4u);
    size_t corner = 0;
    for (const auto& polygon : chassisSpec.polygons) {
        for (int v : polygon) {
            const auto expected = ZUp(box[v][0], box[v][1], box[v][2]);
            for (int k = 0; k < 3; ++k) EXPECT_NEAR(mesh->pointL[corner].pos[k], expected[k], 1e-6) << corner;
            EXPECT_FLOAT_EQ(mesh->texelL[corner][0], static_cast<float>(chassisSpec.cornerUvs[corner].mU)) << corner;
            EXPECT_FLOAT_EQ(mesh->texelL[corner][1], static_cast<float>(chassisSpec.cornerUvs[corner].mV)) << corner;
            ++corner;
        }
    }
    for (uint32_t f = 0; f < mesh->faces; ++f) EXPECT_STREQ(mesh->faceL[f].material, "1.Mat0Tex0");
    const Lib3dsMesh* wheelMesh = FindByName(peer->meshes, "WheelFr");
    ASSERT_NE(wheelMesh, nullptr);
    EXPECT_NEAR(wheelMesh->pointL[1].pos[0], 1.5f, 1e-6);
    EXPECT_NEAR(wheelMesh->pointL[1].pos[1], -2.0f, 1e-6);
    EXPECT_STREQ(wheelMesh->faceL[0].material, "rubber");

    const Lib3dsCamera* cam = FindByName(peer->cameras, "MainCam");
    ASSERT_NE(cam, nullptr);
    EXPECT_NEAR(cam->position[1], -20, 1e-5);
    EXPECT_NEAR(cam->position[2], 5, 1e-5);
    const Lib3dsLight* omni = FindByName(peer->lights, "Lamp");
    ASSERT_NE(omni, nullptr);
    EXPECT_FALSE(omni->spot_light);
    EXPECT_NEAR(omni->multiplier, 0.5f, 1e-6);
    EXPECT_NEAR(omni->color[1], 0.5f, 1e-6);
    EXPECT_NEAR(omni->position[1], -5, 1e-6);
    const Lib3dsLight* spotLight = FindByName(peer->lights, "Spot");
    ASSERT_NE(spotLight, nullptr);
    EXPECT_TRUE(spotLight->spot_light);
    EXPECT_NEAR(spotLight->hot_spot, 30, 1e-6);

    // Keyframer: the hierarchy by parent, the take sampled once per frame.
    Lib3dsNode* chassisNode = lib3ds_file_node_by_name(peer, "Chassis", LIB3DS_OBJECT_NODE);
    ASSERT_NE(chassisNode, nullptr);
    ASSERT_NE(chassisNode->parent, nullptr);
    EXPECT_STREQ(chassisNode->parent->name, "$$$DUMMY");
    EXPECT_STREQ(chassisNode->parent->data.object.instance, "Body");
    Lib3dsNode* wheelNode = lib3ds_file_node_by_name(peer, "WheelFr", LIB3DS_OBJECT_NODE);
    ASSERT_NE(wheelNode, nullptr);
    EXPECT_EQ(wheelNode->parent, chassisNode);
    EXPECT_EQ(KeyCount(chassisNode->data.object.pos_track.keyL), 21);
    ASSERT_NE(lib3ds_file_node_by_name(peer, "MainCam", LIB3DS_CAMERA_NODE), nullptr);
    ASSERT_NE(lib3ds_file_node_by_name(peer, "Lamp", LIB3DS_LIGHT_NODE), nullptr);

    // Poses: at frames 0, 10 and 20 the chassis's matrix, as lib3ds
    // evaluates it, moves a local point where the scene does.
    for (int frame : {0, 10, 20}) {
        SCOPED_TRACE(frame);
        lib3ds_file_eval(peer, static_cast<float>(frame));
        const double t[3] = {frame * 0.5, 1.0, 0.0};   // with Body's (0, 1, 0)
        const double angles[3] = {0.0, frame * 4.5, 0.0};
        const double s[3] = {1, 1, 1};
        double matrix[16];
        KgeMatrixComposeTRS(matrix, t, angles, s);
        const double local[3] = {1.0, 0.0, 0.0};
        double world[3];
        KgeMatrixTransformPoint(world, matrix, local);
        const auto expected = ZUp(world[0], world[1], world[2]);
        const auto localZ = ZUp(local[0], local[1], local[2]);
        Lib3dsVector in = {localZ[0], localZ[1], localZ[2]};
        Lib3dsVector out;
        lib3ds_vector_transform(out, chassisNode->matrix, in);
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(out[k], expected[k], 1e-4) << k;
    }
}

}  // namespace
