// The toolkit against an independent 3DS library: files the toolkit writes
// are read by lib3ds with the same content, and files lib3ds writes are read
// by the toolkit with the same content.
#include "FtkTestSupport.h"
#include "Lib3dsPeerSupport.h"

#include "sdk/formats/3dsftk/FtkCamera.h"
#include "sdk/formats/3dsftk/FtkChunk.h"
#include "sdk/formats/3dsftk/FtkDatabase.h"
#include "sdk/formats/3dsftk/FtkKfMotion.h"
#include "sdk/formats/3dsftk/FtkLight.h"
#include "sdk/formats/3dsftk/FtkMaterial.h"
#include "sdk/formats/3dsftk/FtkTriMesh.h"

#include <lib3ds/camera.h>
#include <lib3ds/file.h>
#include <lib3ds/light.h>
#include <lib3ds/material.h>
#include <lib3ds/mesh.h>
#include <lib3ds/node.h>
#include <lib3ds/tracks.h>

#include <cstring>

using namespace duzsdk;
namespace {

using lib3dspeer::AddPosKey;
using lib3dspeer::FindByName;
using lib3dspeer::kByteStep;
using lib3dspeer::PeerNode;

class Ftk3dsPeerTest : public FtkTest {
protected:
    void TearDown() override
    {
        if (peer)
            lib3ds_file_free(peer);
        FtkDatabaseRelease(&db);
        FtkTest::TearDown();
    }
    FtkDatabase* db = nullptr;
    Lib3dsFile* peer = nullptr;
};

// With DUZ_FTK_SEED_DIR set, the files both sides write are kept there as
// seeds of the 3DS fuzz target.
void KeepAsSeed(const std::string& path, const char* name)
{
    if (const char* dir = std::getenv("DUZ_FTK_SEED_DIR"))
        std::filesystem::copy_file(path, std::string(dir) + "/" + name, std::filesystem::copy_options::overwrite_existing);
}

FtkKeyHeader Key(uint32_t frame)
{
    FtkKeyHeader k;
    k.time = frame;
    return k;
}

// Writes a scene through the toolkit: one of each record kind.
void BuildScene(FtkDatabase* db)
{
    FtkMaterial* m = nullptr;
    FtkMaterialInit(&m);
    std::strcpy(m->name, "red");
    m->ambient = {0.1f, 0.2f, 0.3f};
    m->diffuse = {1, 0, 0};
    m->specular = {0.5f, 0.5f, 0.5f};
    m->shininess = 0.4f;
    m->transparency = 0.25f;
    m->twoSided = 1;
    std::strcpy(m->texture.name, "wood.png");
    m->texture.percent = 0.75f;
    FtkMaterialPut(db, m);
    FtkMaterialRelease(&m);

    FtkTriMesh* mesh = nullptr;
    FtkTriMeshInit(&mesh, 4, 2, kFtkTriTexVerts | kFtkTriSmoothGroups);
    std::strcpy(mesh->name, "box");
    const FtkVector v[4] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0.5f}};
    std::memcpy(mesh->vertices, v, sizeof v);
    mesh->faces[0] = {0, 1, 2, 7};
    mesh->faces[1] = {0, 2, 3, 3};
    for (int i = 0; i < 4; ++i)
        mesh->texVerts[i] = {float(i) * 0.25f, 1 - float(i) * 0.25f};
    mesh->smoothGroups[0] = 1;
    mesh->smoothGroups[1] = 6;
    const float matrix[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 10, 20, 30};
    std::memcpy(mesh->meshMatrix, matrix, sizeof matrix);
    mesh->matGroupCount = 1;
    FtkTriMeshAllocArrays(mesh, kFtkTriMatGroups);
    std::strcpy(mesh->matGroups[0].name, "red");
    mesh->matGroups[0].faceCount = 1;
    FtkTriMeshSetGroupFaces(mesh, 0, 1);
    mesh->matGroups[0].faces[0] = 1;
    FtkTriMeshPut(db, mesh);
    FtkTriMeshRelease(&mesh);

    FtkCamera* cam = nullptr;
    FtkCameraInit(&cam);
    std::strcpy(cam->name, "cam");
    cam->position = {1, 2, 3};
    cam->target = {4, 5, 6};
    cam->roll = 10;
    cam->fov = 50;
    FtkCameraPut(db, cam);
    FtkCameraRelease(&cam);

    FtkLight* light = nullptr;
    FtkLightInit(&light);
    std::strcpy(light->name, "omni");
    light->position = {7, 8, 9};
    light->color = {0.2f, 0.4f, 0.6f};
    light->multiplier = 2;
    FtkLightPut(db, light);
    FtkSpotlightInit(&light);
    std::strcpy(light->name, "spot");
    light->position = {0, 0, 10};
    light->spot->target = {0, 0, 0};
    light->spot->hotspot = 20;
    light->spot->falloff = 30;
    FtkLightPut(db, light);
    FtkLightRelease(&light);

    FtkObjectMotion* obj = nullptr;
    FtkObjectMotionInit(&obj, 2, 1, 1, 0, 0);
    std::strcpy(obj->name, "box");
    obj->pos.keys[1] = Key(20);
    obj->pos.values[1] = {5, 6, 7};
    obj->rot.values[0] = {0.5f, 0, 0, 1};
    obj->scale.values[0] = {2, 2, 2};
    obj->pivot = {1, 1, 1};
    FtkObjectMotionPut(db, obj);
    FtkObjectMotionRelease(&obj);
    FtkObjectMotionInit(&obj, 1, 0, 0, 0, 0);
    std::strcpy(obj->name, "child");
    std::strcpy(obj->parent, "box");
    obj->pos.values[0] = {1, 0, 0};
    FtkObjectMotionPut(db, obj);
    FtkObjectMotionRelease(&obj);

    FtkCameraMotion* camMotion = nullptr;
    FtkCameraMotionInit(&camMotion, 1, 1, 1, 1);
    std::strcpy(camMotion->name, "cam");
    camMotion->pos.values[0] = {1, 2, 3};
    camMotion->fov.values[0] = 50;
    camMotion->targetPos.values[0] = {4, 5, 6};
    FtkCameraMotionPut(db, camMotion);
    FtkCameraMotionRelease(&camMotion);

    FtkOmniMotion* omni = nullptr;
    FtkOmniMotionInit(&omni, 1, 1);
    std::strcpy(omni->name, "omni");
    omni->pos.values[0] = {7, 8, 9};
    FtkOmniMotionPut(db, omni);
    FtkOmniMotionRelease(&omni);

    FtkSpotMotion* spot = nullptr;
    FtkSpotMotionInit(&spot, 1, 1, 1, 1, 1, 1);
    std::strcpy(spot->name, "spot");
    spot->pos.values[0] = {0, 0, 10};
    spot->hotspot.values[0] = 20;
    spot->targetPos.values[0] = {0, 0, -1};
    FtkSpotMotionPut(db, spot);
    FtkSpotMotionRelease(&spot);
}

TEST_F(Ftk3dsPeerTest, ToolkitFileReadByThePeer)
{
    FtkDatabaseInit(&db);
    FtkDatabaseCreate(db, kFtkMeshDatabase);
    BuildScene(db);
    ASSERT_FALSE(FtkErrorPending());
    const std::string path = Path("toolkit.3ds");
    FtkFile* out = FtkFileOpen(path.c_str(), "wb");
    FtkDatabaseSave(out, db);
    FtkFileClose(out);
    ASSERT_FALSE(FtkErrorPending());
    KeepAsSeed(path, "toolkit-scene.3ds");

    peer = lib3ds_file_load(path.c_str());
    ASSERT_NE(peer, nullptr);

    const Lib3dsMaterial* m = FindByName(peer->materials, "red");
    ASSERT_NE(m, nullptr);
    EXPECT_NEAR(m->ambient[1], 0.2f, kByteStep);
    EXPECT_NEAR(m->diffuse[0], 1.0f, kByteStep);
    EXPECT_NEAR(m->specular[2], 0.5f, kByteStep);
    EXPECT_NEAR(m->shininess, 0.4f, 0.01f);
    EXPECT_NEAR(m->transparency, 0.25f, 0.01f);
    EXPECT_TRUE(m->two_sided);
    EXPECT_STREQ(m->texture1_map.name, "wood.png");
    EXPECT_NEAR(m->texture1_map.percent, 0.75f, 0.01f);

    const Lib3dsMesh* mesh = FindByName(peer->meshes, "box");
    ASSERT_NE(mesh, nullptr);
    ASSERT_EQ(mesh->points, 4u);
    ASSERT_EQ(mesh->faces, 2u);
    ASSERT_EQ(mesh->texels, 4u);
    EXPECT_FLOAT_EQ(mesh->pointL[3].pos[2], 0.5f);
    EXPECT_EQ(mesh->faceL[1].points[2], 3);
    EXPECT_EQ(mesh->faceL[0].flags, 7);
    EXPECT_EQ(mesh->faceL[1].smoothing, 6u);
    EXPECT_STREQ(mesh->faceL[1].material, "red");
    EXPECT_STREQ(mesh->faceL[0].material, "");
    EXPECT_FLOAT_EQ(mesh->texelL[2][0], 0.5f);
    EXPECT_FLOAT_EQ(mesh->texelL[2][1], 0.5f);
    EXPECT_FLOAT_EQ(mesh->matrix[3][0], 10);
    EXPECT_FLOAT_EQ(mesh->matrix[3][2], 30);
    EXPECT_FLOAT_EQ(mesh->matrix[1][1], 1);

    const Lib3dsCamera* cam = FindByName(peer->cameras, "cam");
    ASSERT_NE(cam, nullptr);
    EXPECT_FLOAT_EQ(cam->target[1], 5);
    EXPECT_FLOAT_EQ(cam->roll, 10);
    EXPECT_NEAR(cam->fov, 50, 1e-4);

    const Lib3dsLight* omni = FindByName(peer->lights, "omni");
    ASSERT_NE(omni, nullptr);
    EXPECT_FALSE(omni->spot_light);
    EXPECT_FLOAT_EQ(omni->color[1], 0.4f);
    EXPECT_FLOAT_EQ(omni->position[2], 9);
    EXPECT_FLOAT_EQ(omni->multiplier, 2);
    const Lib3dsLight* spot = FindByName(peer->lights, "spot");
    ASSERT_NE(spot, nullptr);
    EXPECT_TRUE(spot->spot_light);
    EXPECT_FLOAT_EQ(spot->hot_spot, 20);
    EXPECT_FLOAT_EQ(spot->fall_off, 30);

    Lib3dsNode* box = lib3ds_file_node_by_name(peer, "box", LIB3DS_OBJECT_NODE);
    ASSERT_NE(box, nullptr);
    const Lib3dsLin3Key* k = box->data.object.pos_track.keyL;
    ASSERT_NE(k, nullptr);
    ASSERT_NE(k->next, nullptr);
    EXPECT_EQ(k->next->tcb.frame, 20);
    EXPECT_FLOAT_EQ(k->next->value[1], 6);
    ASSERT_NE(box->data.object.rot_track.keyL, nullptr);
    EXPECT_FLOAT_EQ(box->data.object.rot_track.keyL->angle, 0.5f);
    EXPECT_FLOAT_EQ(box->data.object.rot_track.keyL->axis[2], 1);
    ASSERT_NE(box->data.object.scl_track.keyL, nullptr);
    EXPECT_FLOAT_EQ(box->data.object.scl_track.keyL->value[0], 2);
    EXPECT_FLOAT_EQ(box->data.object.pivot[0], 1);
    Lib3dsNode* child = lib3ds_file_node_by_name(peer, "child", LIB3DS_OBJECT_NODE);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->parent, box);
    Lib3dsNode* camNode = lib3ds_file_node_by_name(peer, "cam", LIB3DS_CAMERA_NODE);
    ASSERT_NE(camNode, nullptr);
    ASSERT_NE(camNode->data.camera.fov_track.keyL, nullptr);
    EXPECT_FLOAT_EQ(camNode->data.camera.fov_track.keyL->value, 50);
    Lib3dsNode* camTarget = lib3ds_file_node_by_name(peer, "cam", LIB3DS_TARGET_NODE);
    ASSERT_NE(camTarget, nullptr);
    ASSERT_NE(camTarget->data.target.pos_track.keyL, nullptr);
    EXPECT_FLOAT_EQ(camTarget->data.target.pos_track.keyL->value[2], 6);
    Lib3dsNode* omniNode = lib3ds_file_node_by_name(peer, "omni", LIB3DS_LIGHT_NODE);
    ASSERT_NE(omniNode, nullptr);
    ASSERT_NE(omniNode->data.light.pos_track.keyL, nullptr);
    EXPECT_FLOAT_EQ(omniNode->data.light.pos_track.keyL->value[0], 7);
    Lib3dsNode* spotNode = lib3ds_file_node_by_name(peer, "spot", LIB3DS_LIGHT_NODE);
    ASSERT_NE(spotNode, nullptr);
    ASSERT_NE(spotNode->data.light.hotspot_track.keyL, nullptr);
    EXPECT_FLOAT_EQ(spotNode->data.light.hotspot_track.keyL->value, 20);
    Lib3dsNode* spotTarget = lib3ds_file_node_by_name(peer, "spot", LIB3DS_SPOT_NODE);
    ASSERT_NE(spotTarget, nullptr);
    EXPECT_FLOAT_EQ(spotTarget->data.spot.pos_track.keyL->value[2], -1);
}

TEST_F(Ftk3dsPeerTest, PeerFileReadByTheToolkit)
{
    peer = lib3ds_file_new();
    Lib3dsMaterial* m = lib3ds_material_new();
    std::strcpy(m->name, "blue");
    m->diffuse[2] = 1;
    m->ambient[0] = 0.2f;
    m->shininess = 0.3f;
    m->transparency = 0.5f;
    std::strcpy(m->texture1_map.name, "tex.tga");
    m->texture1_map.percent = 1;
    lib3ds_file_insert_material(peer, m);

    Lib3dsMesh* mesh = lib3ds_mesh_new("tri");
    lib3ds_mesh_new_point_list(mesh, 3);
    lib3ds_mesh_new_texel_list(mesh, 3);
    lib3ds_mesh_new_face_list(mesh, 1);
    for (int i = 0; i < 3; ++i) {
        mesh->pointL[i].pos[0] = float(i);
        mesh->pointL[i].pos[1] = float(i * i);
        mesh->texelL[i][0] = float(i) / 2;
    }
    mesh->faceL[0].points[0] = 0;
    mesh->faceL[0].points[1] = 1;
    mesh->faceL[0].points[2] = 2;
    mesh->faceL[0].smoothing = 5;
    std::strcpy(mesh->faceL[0].material, "blue");
    mesh->matrix[3][1] = 4;
    lib3ds_file_insert_mesh(peer, mesh);

    Lib3dsCamera* cam = lib3ds_camera_new("cam");
    cam->position[0] = 3;
    cam->target[2] = -3;
    cam->fov = 40;
    cam->roll = 5;
    lib3ds_file_insert_camera(peer, cam);
    Lib3dsLight* omni = lib3ds_light_new("omni");
    omni->color[0] = 0.5f;
    omni->position[1] = 2;
    lib3ds_file_insert_light(peer, omni);
    Lib3dsLight* spot = lib3ds_light_new("spot");
    spot->spot_light = 1;
    spot->spot[2] = -1;
    spot->hot_spot = 15;
    spot->fall_off = 25;
    lib3ds_file_insert_light(peer, spot);

    Lib3dsNode* parent = PeerNode(lib3ds_node_new_object(), "tri", 0, LIB3DS_NO_PARENT);
    AddPosKey(&parent->data.object.pos_track, 0, 1, 2, 3);
    AddPosKey(&parent->data.object.pos_track, 10, 4, 5, 6);
    lib3ds_file_insert_node(peer, parent);
    Lib3dsNode* child = PeerNode(lib3ds_node_new_object(), "kid", 1, 0);
    AddPosKey(&child->data.object.pos_track, 0, 0, 0, 1);
    lib3ds_file_insert_node(peer, child);
    Lib3dsNode* camNode = PeerNode(lib3ds_node_new_camera(), "cam", 2, LIB3DS_NO_PARENT);
    AddPosKey(&camNode->data.camera.pos_track, 0, 3, 0, 0);
    lib3ds_file_insert_node(peer, camNode);
    Lib3dsNode* target = PeerNode(lib3ds_node_new_target(), "cam", 3, LIB3DS_NO_PARENT);
    AddPosKey(&target->data.target.pos_track, 0, 0, 0, -3);
    lib3ds_file_insert_node(peer, target);
    Lib3dsNode* omniNode = PeerNode(lib3ds_node_new_light(), "omni", 4, LIB3DS_NO_PARENT);
    AddPosKey(&omniNode->data.light.pos_track, 5, 0, 2, 0);
    AddPosKey(&omniNode->data.light.col_track, 5, 0.5f, 0, 0);
    lib3ds_file_insert_node(peer, omniNode);
    Lib3dsNode* spotNode = PeerNode(lib3ds_node_new_light(), "spot", 5, LIB3DS_NO_PARENT);
    AddPosKey(&spotNode->data.light.pos_track, 0, 0, 0, 1);
    Lib3dsLin1Key* hot = lib3ds_lin1_key_new();
    hot->value = 15;
    lib3ds_lin1_track_insert(&spotNode->data.light.hotspot_track, hot);
    lib3ds_file_insert_node(peer, spotNode);
    Lib3dsNode* spotTarget = PeerNode(lib3ds_node_new_spot(), "spot", 6, LIB3DS_NO_PARENT);
    AddPosKey(&spotTarget->data.spot.pos_track, 0, 0, 0, -1);
    lib3ds_file_insert_node(peer, spotTarget);
    const std::string path = Path("peer.3ds");
    ASSERT_TRUE(lib3ds_file_save(peer, path.c_str()));
    KeepAsSeed(path, "peer-scene.3ds");

    FtkDatabaseInit(&db);
    FtkDatabaseLoad(FtkFileOpen(path.c_str(), "rb"), db);
    ASSERT_FALSE(FtkErrorPending());
    EXPECT_EQ(FtkDatabaseKind(db), kFtkMeshDatabase);

    FtkMaterial* material = nullptr;
    ASSERT_EQ(FtkMaterialCount(db), 1u);
    FtkMaterialGetByIndex(db, 0, &material);
    ASSERT_FALSE(FtkErrorPending());
    EXPECT_STREQ(material->name, "blue");
    EXPECT_NEAR(material->diffuse.b, 1, kByteStep);
    EXPECT_NEAR(material->ambient.r, 0.2f, kByteStep);
    EXPECT_NEAR(material->shininess, 0.3f, 0.01f);
    EXPECT_NEAR(material->transparency, 0.5f, 0.01f);
    EXPECT_STREQ(material->texture.name, "tex.tga");
    EXPECT_NEAR(material->texture.percent, 1, 0.01f);
    FtkMaterialRelease(&material);

    FtkTriMesh* tri = nullptr;
    ASSERT_EQ(FtkTriMeshCount(db), 1u);
    FtkTriMeshGetByIndex(db, 0, &tri);
    ASSERT_FALSE(FtkErrorPending());
    EXPECT_STREQ(tri->name, "tri");
    ASSERT_EQ(tri->vertexCount, 3);
    ASSERT_EQ(tri->faceCount, 1);
    ASSERT_EQ(tri->texVertCount, 3);
    EXPECT_FLOAT_EQ(tri->vertices[2].y, 4);
    EXPECT_FLOAT_EQ(tri->texVerts[1].u, 0.5f);
    EXPECT_EQ(tri->faces[0].v3, 2);
    ASSERT_NE(tri->smoothGroups, nullptr);
    EXPECT_EQ(tri->smoothGroups[0], 5u);
    ASSERT_EQ(tri->matGroupCount, 1);
    EXPECT_STREQ(tri->matGroups[0].name, "blue");
    EXPECT_EQ(tri->matGroups[0].faceCount, 1);
    EXPECT_FLOAT_EQ(tri->meshMatrix[10], 4);
    FtkTriMeshRelease(&tri);

    FtkCamera* camera = nullptr;
    ASSERT_EQ(FtkCameraCount(db), 1u);
    FtkCameraGetByIndex(db, 0, &camera);
    ASSERT_FALSE(FtkErrorPending());
    EXPECT_FLOAT_EQ(camera->position.x, 3);
    EXPECT_FLOAT_EQ(camera->target.z, -3);
    EXPECT_NEAR(camera->fov, 40, 1e-3);
    EXPECT_FLOAT_EQ(camera->roll, 5);
    FtkCameraRelease(&camera);

    FtkLight* light = nullptr;
    ASSERT_EQ(FtkOmniLightCount(db), 1u);
    ASSERT_EQ(FtkSpotlightCount(db), 1u);
    FtkOmniLightGetByIndex(db, 0, &light);
    EXPECT_STREQ(light->name, "omni");
    EXPECT_FLOAT_EQ(light->color.r, 0.5f);
    EXPECT_FLOAT_EQ(light->position.y, 2);
    FtkSpotlightGetByIndex(db, 0, &light);
    ASSERT_FALSE(FtkErrorPending());
    ASSERT_NE(light->spot, nullptr);
    EXPECT_FLOAT_EQ(light->spot->target.z, -1);
    EXPECT_FLOAT_EQ(light->spot->hotspot, 15);
    EXPECT_FLOAT_EQ(light->spot->falloff, 25);
    FtkLightRelease(&light);

    ASSERT_EQ(FtkObjectMotionCount(db), 2u);
    FtkObjectMotion* motion = nullptr;
    FtkObjectMotionGetByIndex(db, 0, &motion);
    ASSERT_FALSE(FtkErrorPending());
    EXPECT_STREQ(motion->name, "tri");
    ASSERT_EQ(motion->pos.keyCount, 2u);
    EXPECT_EQ(motion->pos.keys[1].time, 10u);
    EXPECT_FLOAT_EQ(motion->pos.values[1].y, 5);
    FtkObjectMotionGetByIndex(db, 1, &motion);
    EXPECT_STREQ(motion->name, "kid");
    EXPECT_STREQ(motion->parent, "tri");
    FtkObjectMotionRelease(&motion);
    FtkCameraMotion* camMotion = nullptr;
    FtkCameraMotionGetByIndex(db, 0, &camMotion);
    ASSERT_NE(camMotion, nullptr);
    ASSERT_EQ(camMotion->pos.keyCount, 1u);
    EXPECT_FLOAT_EQ(camMotion->pos.values[0].x, 3);
    ASSERT_EQ(camMotion->targetPos.keyCount, 1u);
    EXPECT_FLOAT_EQ(camMotion->targetPos.values[0].z, -3);
    FtkCameraMotionRelease(&camMotion);
    FtkOmniMotion* omniMotion = nullptr;
    ASSERT_EQ(FtkOmniMotionCount(db), 1u);
    FtkOmniMotionGetByIndex(db, 0, &omniMotion);
    ASSERT_NE(omniMotion, nullptr);
    EXPECT_STREQ(omniMotion->name, "omni");
    ASSERT_EQ(omniMotion->pos.keyCount, 1u);
    EXPECT_EQ(omniMotion->pos.keys[0].time, 5u);
    EXPECT_FLOAT_EQ(omniMotion->pos.values[0].y, 2);
    ASSERT_EQ(omniMotion->color.keyCount, 1u);
    EXPECT_FLOAT_EQ(omniMotion->color.values[0].x, 0.5f);
    FtkOmniMotionRelease(&omniMotion);
    FtkSpotMotion* spotMotion = nullptr;
    ASSERT_EQ(FtkSpotMotionCount(db), 1u);
    FtkSpotMotionGetByIndex(db, 0, &spotMotion);
    ASSERT_NE(spotMotion, nullptr);
    ASSERT_EQ(spotMotion->hotspot.keyCount, 1u);
    EXPECT_FLOAT_EQ(spotMotion->hotspot.values[0], 15);
    ASSERT_EQ(spotMotion->targetPos.keyCount, 1u);
    EXPECT_FLOAT_EQ(spotMotion->targetPos.values[0].z, -1);
    FtkSpotMotionRelease(&spotMotion);
}

} // namespace
