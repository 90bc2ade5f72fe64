#include "FtkTestSupport.h"

#include "sdk/formats/3dsftk/FtkChunk.h"
#include "sdk/formats/3dsftk/FtkChunkData.h"
#include "sdk/formats/3dsftk/FtkDatabase.h"
#include "sdk/formats/3dsftk/FtkKfMotion.h"

#include <cstring>

using namespace duzsdk;
using namespace ftkbytes;
namespace {

class FtkKfMotionTest : public FtkTest {
protected:
    void TearDown() override
    {
        FtkObjectMotionRelease(&object);
        FtkCameraMotionRelease(&camera);
        FtkSpotMotionRelease(&spot);
        FtkOmniMotionRelease(&omni);
        FtkKfSettingsRelease(&settings);
        FtkDatabaseRelease(&db);
        FtkTest::TearDown();
    }
    void Create()
    {
        FtkDatabaseInit(&db);
        FtkDatabaseCreate(db, kFtkMeshDatabase);
    }
    void SaveAndLoad()
    {
        const std::string out = Path("out.3ds"), in = Path("in.3ds");
        FtkFile* f = FtkFileOpen(out.c_str(), "wb");
        FtkDatabaseSave(f, db);
        FtkFileClose(f);
        ASSERT_FALSE(FtkErrorPending());
        FtkDatabaseRelease(&db);
        FtkFileClose(FtkFileFindByName(in.c_str()));
        std::filesystem::rename(out, in);
        FtkDatabaseInit(&db);
        FtkDatabaseLoad(FtkFileOpen(in.c_str(), "rb"), db);
        ASSERT_FALSE(FtkErrorPending());
    }
    std::vector<uint32_t> NodeTags()
    {
        FtkChunk* kfdata = nullptr;
        FtkChunkFindDescendant(db->root, KFDATA, &kfdata);
        std::vector<uint32_t> tags;
        for (FtkChunk* c = kfdata->children; c; c = c->next)
            if (c->tag >= AMBIENT_NODE_TAG && c->tag <= SPOTLIGHT_NODE_TAG)
                tags.push_back(c->tag);
        return tags;
    }
    FtkDatabase* db = nullptr;
    FtkObjectMotion* object = nullptr;
    FtkCameraMotion* camera = nullptr;
    FtkSpotMotion* spot = nullptr;
    FtkOmniMotion* omni = nullptr;
    FtkKfSettings* settings = nullptr;
};

TEST_F(FtkKfMotionTest, ObjectNodesRoundTripWithTheirHierarchy)
{
    Create();
    FtkObjectMotionInit(&object, 2, 1, 0, 2, 1);
    ASSERT_FALSE(FtkErrorPending());
    EXPECT_STREQ(object->morph.values[1].name, " ");
    EXPECT_FLOAT_EQ(object->morphSmooth, 24);
    EXPECT_FLOAT_EQ(object->rot.values[0].z, 1);
    std::strcpy(object->name, "parent");
    std::strcpy(object->instance, "i1");
    object->pos.keys[1].time = 10;
    object->pos.keys[1].rflags = 0x01;
    object->pos.keys[1].tension = 0.5f;
    object->pos.values[1] = {1, 2, 3};
    object->rot.values[0] = {1.5f, 0, 1, 0};
    std::strcpy(object->morph.values[0].name, "target");
    object->pivot = {4, 5, 6};
    FtkObjectMotionPut(db, object);
    FtkObjectMotionPut(db, object); // the first one is retired
    FtkObjectMotion* child = nullptr;
    FtkObjectMotionInit(&child, 1, 0, 0, 0, 0);
    std::strcpy(child->name, "child");
    std::strcpy(child->parent, "parent.i1");
    FtkObjectMotionPut(db, child);
    std::strcpy(child->name, "$$$DUMMY");
    std::strcpy(child->parent, "");
    child->bboxMax = {1, 1, 1};
    FtkObjectMotionPut(db, child);
    FtkObjectMotionRelease(&child);
    ASSERT_FALSE(FtkErrorPending());
    SaveAndLoad();
    ASSERT_EQ(FtkObjectMotionCount(db), 3u);
    FtkObjectMotionGetByIndex(db, 0, &object);
    ASSERT_FALSE(FtkErrorPending());
    EXPECT_STREQ(object->name, "parent");
    EXPECT_STREQ(object->instance, "i1");
    ASSERT_EQ(object->pos.keyCount, 2u);
    EXPECT_EQ(object->pos.keys[1].time, 10u);
    EXPECT_FLOAT_EQ(object->pos.keys[1].tension, 0.5f);
    EXPECT_FLOAT_EQ(object->pos.values[1].z, 3);
    EXPECT_FLOAT_EQ(object->rot.values[0].angle, 1.5f);
    EXPECT_STREQ(object->morph.values[0].name, "target");
    EXPECT_EQ(object->hide.keyCount, 1u);
    EXPECT_EQ(object->scale.keyCount, 0u);
    EXPECT_FLOAT_EQ(object->pivot.y, 5);
    EXPECT_FLOAT_EQ(object->morphSmooth, 0); // no MORPH_SMOOTH in the file
    FtkObjectMotionGetByIndex(db, 1, &object);
    EXPECT_STREQ(object->name, "child");
    EXPECT_STREQ(object->parent, "parent.i1");
    EXPECT_EQ(object->pos.keyCount, 1u);
    EXPECT_EQ(object->rot.keyCount, 0u); // the record's earlier tracks are gone
    EXPECT_EQ(object->morph.keyCount, 0u);
    FtkObjectMotionGetByIndex(db, 2, &object);
    EXPECT_STREQ(object->name, "$$$DUMMY");
    EXPECT_FLOAT_EQ(object->bboxMax.x, 1);
    FtkChunk* first = FtkKfNodeByOrdinal(db, 0, OBJECT_NODE_TAG);
    FtkChunk* box = nullptr;
    FtkChunkFindDescendant(first, BOUNDBOX, &box);
    EXPECT_EQ(box, nullptr);
}

TEST_F(FtkKfMotionTest, CamerasAndLights)
{
    Create();
    FtkCameraMotionInit(&camera, 1, 1, 0, 0);
    std::strcpy(camera->name, "cam");
    camera->fov.values[0] = 45;
    FtkCameraMotionPut(db, camera);
    FtkSpotMotionInit(&spot, 1, 1, 1, 1, 0, 1);
    std::strcpy(spot->name, "spot");
    spot->hotspot.values[0] = 20;
    spot->targetPos.values[0] = {0, 0, -5};
    FtkSpotMotionPut(db, spot);
    FtkOmniMotionInit(&omni, 1, 1);
    std::strcpy(omni->name, "omni");
    FtkOmniMotionPut(db, omni);
    ASSERT_FALSE(FtkErrorPending());
    // No target track: no target node.
    EXPECT_EQ(NodeTags(), (std::vector<uint32_t>{CAMERA_NODE_TAG, L_TARGET_NODE_TAG, SPOTLIGHT_NODE_TAG, LIGHT_NODE_TAG}));
    SaveAndLoad();
    ASSERT_EQ(FtkCameraMotionCount(db), 1u);
    // A camera record that held a target track gets it emptied by the read.
    FtkCameraMotionRelease(&camera);
    FtkCameraMotionInit(&camera, 0, 0, 3, 2);
    FtkCameraMotionGetByIndex(db, 0, &camera);
    ASSERT_FALSE(FtkErrorPending());
    EXPECT_STREQ(camera->name, "cam");
    EXPECT_FLOAT_EQ(camera->fov.values[0], 45);
    EXPECT_EQ(camera->roll.keyCount, 0u);
    EXPECT_EQ(camera->targetPos.keyCount, 0u);
    EXPECT_STREQ(camera->targetParent, "");
    FtkSpotMotionRelease(&spot);
    FtkSpotMotionGetByIndex(db, 0, &spot);
    ASSERT_NE(spot, nullptr);
    EXPECT_FLOAT_EQ(spot->hotspot.values[0], 20);
    EXPECT_FLOAT_EQ(spot->targetPos.values[0].z, -5);
    EXPECT_EQ(FtkOmniMotionCount(db), 1u);
    FtkOmniMotionRelease(&omni);
    FtkOmniMotionGetByIndex(db, 0, &omni);
    ASSERT_NE(omni, nullptr);
    EXPECT_FLOAT_EQ(omni->color.values[0].x, 1);

    // A spotlight without its target node is not read.
    FtkChunk* target = FtkKfNodeFind(db, "spot", L_TARGET_NODE_TAG);
    ASSERT_NE(target, nullptr);
    FtkChunkClear(target);
    FtkKfNodeIndexInvalidate(db);
    FtkSpotMotionRelease(&spot);
    FtkSpotMotionGetByIndex(db, 0, &spot);
    EXPECT_EQ(spot, nullptr);
    EXPECT_FALSE(FtkErrorPending());
}

TEST_F(FtkKfMotionTest, SettingsAndPutChecks)
{
    Create();
    FtkKfSettingsInit(&settings);
    settings->animLength = 100;
    settings->useSegment = 1;
    settings->segBegin = 5;
    settings->segEnd = 50;
    FtkKfSettingsPut(db, settings);
    SaveAndLoad();
    FtkKfSettingsRelease(&settings);
    FtkKfSettingsGet(db, &settings);
    EXPECT_EQ(settings->animLength, 100);
    EXPECT_EQ(settings->useSegment, 1);
    EXPECT_EQ(settings->segEnd, 50);
    // Segment no longer in use: the KFSEG the database held goes.
    settings->useSegment = 0;
    FtkKfSettingsPut(db, settings);
    SaveAndLoad();
    FtkKfSettingsGet(db, &settings);
    EXPECT_EQ(settings->useSegment, 0);
    EXPECT_EQ(settings->animLength, 100);

    // The camera put names its database fault ERR_INVALID_DATA; names too long for the file are refused.
    FtkDatabase* project = nullptr;
    FtkDatabaseInit(&project);
    FtkDatabaseCreate(project, kFtkProjectDatabase);
    FtkCameraMotionInit(&camera, 0, 0, 0, 0);
    FtkCameraMotionPut(project, camera);
    EXPECT_EQ(FtkErrorAt(0).code, ERR_INVALID_DATA);
    FtkDatabaseRelease(&project);
    FtkReset();
    FtkObjectMotionInit(&object, 0, 0, 0, 1, 0);
    std::strcpy(object->name, "o");
    std::strcpy(object->morph.values[0].name, "tenletters");
    FtkObjectMotionPut(db, object);
    EXPECT_EQ(FtkErrorAt(0).code, ERR_STRING_TOO_LONG);
}

} // namespace
