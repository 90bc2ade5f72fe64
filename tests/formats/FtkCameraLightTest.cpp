#include "FtkTestSupport.h"

#include "sdk/formats/3dsftk/FtkCamera.h"
#include "sdk/formats/3dsftk/FtkChunk.h"
#include "sdk/formats/3dsftk/FtkChunkData.h"
#include "sdk/formats/3dsftk/FtkDatabase.h"
#include "sdk/formats/3dsftk/FtkLight.h"
#include "sdk/formats/3dsftk/FtkTriMesh.h"

#include <cstring>

using namespace duzsdk;
using namespace ftkbytes;
namespace {

class FtkCameraLightTest : public FtkTest {
protected:
    void TearDown() override
    {
        FtkCameraRelease(&camera);
        if (light)
            FtkLightRelease(&light);
        FtkDatabaseRelease(&db);
        FtkTest::TearDown();
    }
    void Create(int kind = kFtkMeshDatabase)
    {
        FtkDatabaseRelease(&db);
        FtkDatabaseInit(&db);
        FtkDatabaseCreate(db, kind);
    }
    void Load(const Bytes& bytes)
    {
        FtkDatabaseRelease(&db);
        const std::string path = Path("in.3ds");
        FtkFileClose(FtkFileFindByName(path.c_str()));
        WriteFile(path, bytes);
        FtkDatabaseInit(&db);
        FtkDatabaseLoad(FtkFileOpen(path.c_str(), "rb"), db);
    }
    void SaveAndLoad() { Load(Save()); }
    Bytes Save()
    {
        const std::string path = Path("out.3ds");
        FtkFileClose(FtkFileFindByName(path.c_str()));
        FtkFile* out = FtkFileOpen(path.c_str(), "wb");
        FtkDatabaseSave(out, db);
        FtkFileClose(out);
        return ReadFile(path);
    }
    std::vector<std::string> ObjectNames()
    {
        std::vector<std::string> names;
        FtkChunk* mdata = nullptr;
        FtkChunkFindDescendant(db->root, MDATA, &mdata);
        for (FtkChunk* c = mdata->children; c; c = c->next)
            if (c->tag == NAMED_OBJECT)
                names.push_back(static_cast<FtkNameData*>(FtkChunkDataRead(c))->name);
        return names;
    }
    FtkDatabase* db = nullptr;
    FtkCamera* camera = nullptr;
    FtkLight* light = nullptr;
};

TEST_F(FtkCameraLightTest, CameraRoundTripAndReplace)
{
    Create();
    FtkCameraInit(&camera);
    std::strcpy(camera->name, "cam");
    camera->position = {1, 2, 3};
    camera->target = {4, 5, 6};
    camera->roll = 7;
    camera->fov = 45;
    camera->showCone = 1;
    camera->nearRange = 2;
    FtkCameraPut(db, camera);
    FtkTriMesh* mesh = nullptr;
    FtkTriMeshInit(&mesh, 0, 0, 0);
    std::strcpy(mesh->name, "box");
    FtkTriMeshPut(db, mesh);
    FtkTriMeshRelease(&mesh);
    // The replaced camera moves behind the other named objects.
    FtkCameraPut(db, camera);
    ASSERT_FALSE(FtkErrorPending());
    SaveAndLoad();
    EXPECT_EQ(ObjectNames(), (std::vector<std::string>{"box", "cam"}));
    FtkChunk* cam = nullptr;
    FtkChunkFindDescendant(db->root, N_CAMERA, &cam);
    EXPECT_NEAR(static_cast<FtkNCameraData*>(FtkChunkDataRead(cam))->focal, 2400.0f / 45, 1e-4);
    ASSERT_EQ(FtkCameraCount(db), 1u);
    FtkCameraRelease(&camera);
    FtkCameraGetByIndex(db, 0, &camera);
    ASSERT_FALSE(FtkErrorPending());
    EXPECT_STREQ(camera->name, "cam");
    EXPECT_FLOAT_EQ(camera->fov, 45);
    EXPECT_FLOAT_EQ(camera->target.y, 5);
    EXPECT_FLOAT_EQ(camera->roll, 7);
    EXPECT_EQ(camera->showCone, 1);
    EXPECT_FLOAT_EQ(camera->nearRange, 2);
    EXPECT_FLOAT_EQ(camera->farRange, 1000);
}

TEST_F(FtkCameraLightTest, CameraErrors)
{
    Create(kFtkProjectDatabase);
    FtkCameraInit(&camera);
    std::strcpy(camera->name, "cam");
    FtkCameraPut(db, camera);
    EXPECT_EQ(FtkErrorAt(0).code, ERR_WRONG_DATABASE);
    FtkReset();
    FtkLightInit(&light);
    std::strcpy(light->name, "omni");
    FtkLightPut(db, light); // lights go into project databases
    EXPECT_FALSE(FtkErrorPending());
    // A zero lens or field of view has no counterpart: refused, not infinite.
    Create();
    camera->fov = 0;
    FtkCameraPut(db, camera);
    EXPECT_EQ(FtkErrorAt(0).code, ERR_INVALID_DATA);
    FtkReset();
    Load(Chunk(M3DMAGIC, Chunk(MDATA, Chunk(NAMED_OBJECT, Cat({Str("c"), Chunk(N_CAMERA, Bytes(32, 0))})))));
    FtkCameraGetByIndex(db, 0, &camera);
    EXPECT_EQ(FtkErrorAt(0).code, ERR_INVALID_DATA);
}

TEST_F(FtkCameraLightTest, LightsRoundTrip)
{
    Create();
    FtkSpotlightInit(&light);
    std::strcpy(light->name, "spot");
    light->color = {1, 0.5f, 0.25f};
    light->attenuate = 1;
    light->outerRange = 50;
    FtkNameListAdd(&light->exclude, "box");
    light->spot->hotspot = 20;
    light->spot->falloff = 30;
    light->spot->target = {0, 0, -1};
    light->spot->castShadows = 1;
    light->spot->localShadow = 1;
    light->spot->localShadowMapSize = 1024;
    light->spot->overshoot = 1;
    light->spot->projector = 1;
    light->spot->projectorName = FtkStrDup("slide.tga");
    FtkLightPut(db, light);
    FtkLightRelease(&light);
    FtkLightInit(&light);
    std::strcpy(light->name, "omni");
    light->multiplier = 2;
    FtkLightPut(db, light);
    ASSERT_FALSE(FtkErrorPending());
    // An aspect of 1 writes no DL_SPOT_ASPECT; roll and ray bias are always there.
    FtkChunk* found = nullptr;
    FtkChunkFindDescendant(db->root, DL_SPOT_ASPECT, &found);
    EXPECT_EQ(found, nullptr);
    FtkChunkFindDescendant(db->root, DL_SPOT_ROLL, &found);
    EXPECT_NE(found, nullptr);
    SaveAndLoad();
    ASSERT_EQ(FtkOmniLightCount(db), 1u);
    ASSERT_EQ(FtkSpotlightCount(db), 1u);
    FtkSpotlightGetByIndex(db, 0, &light);
    ASSERT_FALSE(FtkErrorPending());
    ASSERT_NE(light->spot, nullptr);
    EXPECT_STREQ(light->name, "spot");
    EXPECT_FLOAT_EQ(light->color.g, 0.5f);
    EXPECT_EQ(light->attenuate, 1);
    EXPECT_FLOAT_EQ(light->outerRange, 50);
    ASSERT_EQ(light->exclude->count, 1u);
    EXPECT_STREQ(light->exclude->names[0], "box");
    EXPECT_FLOAT_EQ(light->spot->hotspot, 20);
    EXPECT_FLOAT_EQ(light->spot->target.z, -1);
    EXPECT_EQ(light->spot->castShadows, 1);
    EXPECT_EQ(light->spot->localShadow, 1);
    EXPECT_EQ(light->spot->localShadowMapSize, 1024);
    EXPECT_EQ(light->spot->overshoot, 1);
    EXPECT_EQ(light->spot->showCone, 0);
    EXPECT_STREQ(light->spot->projectorName, "slide.tga");
    // The omni light read into the same record is no spotlight any more.
    FtkOmniLightGetByIndex(db, 0, &light);
    ASSERT_FALSE(FtkErrorPending());
    EXPECT_STREQ(light->name, "omni");
    EXPECT_EQ(light->spot, nullptr);
    EXPECT_FLOAT_EQ(light->multiplier, 2);
    EXPECT_EQ(light->exclude->count, 0u);
}

TEST_F(FtkCameraLightTest, LightFileVariants)
{
    Load(Chunk(M3DMAGIC, Chunk(MDATA, Chunk(NAMED_OBJECT, Cat({Str("l"),
        Chunk(N_DIRECT_LIGHT, Cat({F32(1), F32(2), F32(3), Chunk(COLOR_F, Cat({F32(1), F32(1), F32(1)})), Chunk(COLOR_24, Bytes{0, 51, 255}),
                                   Chunk(DL_SPOTLIGHT, Cat({Bytes(20, 0), Chunk(DL_LOCAL_SHADOW, Bytes{})}))}))})))));
    ASSERT_FALSE(FtkErrorPending());
    FtkSpotlightGetByIndex(db, 0, &light);
    ASSERT_FALSE(FtkErrorPending());
    EXPECT_FLOAT_EQ(light->color.g, 0.2f); // the later colour wins
    EXPECT_FLOAT_EQ(light->position.z, 3);
    EXPECT_EQ(light->spot->castShadows, 1);
    EXPECT_EQ(light->spot->localShadow, 0);
    EXPECT_EQ(FtkOmniLightCount(db), 0u);
}

} // namespace
