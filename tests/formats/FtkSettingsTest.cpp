#include "FtkTestSupport.h"

#include "sdk/formats/3dsftk/FtkBackground.h"
#include "sdk/formats/3dsftk/FtkChunk.h"
#include "sdk/formats/3dsftk/FtkDatabase.h"
#include "sdk/formats/3dsftk/FtkMeshSettings.h"

#include <cstring>

using namespace duzsdk;
using namespace ftkbytes;
namespace {

class FtkSettingsTest : public FtkTest {
protected:
    void TearDown() override
    {
        FtkMeshSettingsRelease(&settings);
        FtkBackgroundRelease(&background);
        FtkDatabaseRelease(&db);
        FtkTest::TearDown();
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
    Bytes Save()
    {
        const std::string path = Path("out.3ds");
        FtkFileClose(FtkFileFindByName(path.c_str()));
        FtkFile* out = FtkFileOpen(path.c_str(), "wb");
        FtkDatabaseSave(out, db);
        FtkFileClose(out);
        return ReadFile(path);
    }
    std::vector<uint32_t> MdataTags()
    {
        FtkChunk* mdata = nullptr;
        FtkChunkFindDescendant(db->root, MDATA, &mdata);
        std::vector<uint32_t> tags;
        for (FtkChunk* c = mdata->children; c; c = c->next)
            if (c->tag != 0)
                tags.push_back(c->tag);
        return tags;
    }
    FtkDatabase* db = nullptr;
    FtkMeshSettings* settings = nullptr;
    FtkBackground* background = nullptr;
};

TEST_F(FtkSettingsTest, MeshSettings)
{
    // Without MDATA the caller's record stays exactly as it was.
    Load(Chunk(M3DMAGIC, Bytes{}));
    FtkMeshSettingsInit(&settings);
    settings->masterScale = 7;
    FtkMeshSettingsGet(db, &settings);
    EXPECT_FLOAT_EQ(settings->masterScale, 7);

    Load(Chunk(M3DMAGIC, Chunk(MDATA, Cat({Chunk(MASTER_SCALE, F32(2)), Chunk(AMBIENT_LIGHT, Chunk(COLOR_24, Bytes{255, 128, 0})),
                                           Chunk(NAMED_OBJECT, Str("keep"))}))));
    FtkMeshSettingsGet(db, &settings);
    ASSERT_FALSE(FtkErrorPending());
    EXPECT_FLOAT_EQ(settings->masterScale, 2);
    EXPECT_FLOAT_EQ(settings->ambientLight.r, 0.99609375f);
    EXPECT_FLOAT_EQ(settings->ambientLight.g, 0.5f);
    EXPECT_FLOAT_EQ(settings->shadowFilter, 3);

    settings->shadowMapSize = 1024;
    settings->ambientLight = {0.1f, 0.2f, 0.3f};
    settings->oconsts = {1, 2, 3};
    FtkMeshSettingsPut(db, settings);
    Load(Save());
    ASSERT_FALSE(FtkErrorPending());
    // The object that was there stays; the settings replace theirs in place.
    const std::vector<uint32_t> expected{MESH_VERSION, MASTER_SCALE, LO_SHADOW_BIAS, SHADOW_MAP_SIZE, SHADOW_FILTER,
                                         RAY_BIAS, O_CONSTS, AMBIENT_LIGHT, NAMED_OBJECT};
    EXPECT_EQ(MdataTags(), expected);
    FtkMeshSettingsRelease(&settings);
    FtkMeshSettingsGet(db, &settings);
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(settings->shadowMapSize, 1024);
    EXPECT_FLOAT_EQ(settings->ambientLight.b, 0.3f);
    EXPECT_FLOAT_EQ(settings->oconsts.z, 3);
    uint32_t bits;
    FtkMeshSettings fresh;
    std::memcpy(&bits, &fresh.ambientLight.r, 4);
    EXPECT_EQ(bits, 0x3EC8C932u);
}

TEST_F(FtkSettingsTest, Background)
{
    Load(Chunk(M3DMAGIC, Chunk(MDATA, Cat({Chunk(BIT_MAP, Str("sky.tga")), Chunk(USE_BIT_MAP, Bytes{}),
                                           Chunk(V_GRADIENT, Cat({F32(0.3f), Chunk(COLOR_F, Cat({F32(1), F32(0), F32(0)})),
                                                                  Chunk(COLOR_F, Cat({F32(0), F32(1), F32(0)})),
                                                                  Chunk(COLOR_F, Cat({F32(0), F32(0), F32(1)}))})),
                                           Chunk(USE_SOLID_BGND, Bytes{})}))));
    FtkBackgroundGet(db, &background);
    ASSERT_FALSE(FtkErrorPending());
    EXPECT_STREQ(background->bitmapName, "sky.tga");
    EXPECT_EQ(background->inUse, kFtkBackgroundBitmap);
    EXPECT_FLOAT_EQ(background->gradientMidpoint, 0.3f);
    EXPECT_FLOAT_EQ(background->gradientMiddle.g, 1);
    EXPECT_FLOAT_EQ(background->gradientBottom.b, 1);
    FtkBackgroundGet(db, &background); // again into the same record: no leak

    // Bitmap to gradient: the USE_BIT_MAP place is kept and retagged; the
    // second USE_ chunk the file held goes.
    background->inUse = kFtkBackgroundGradient;
    FtkBackgroundPut(db, background);
    Load(Save());
    ASSERT_FALSE(FtkErrorPending());
    const std::vector<uint32_t> expected{MESH_VERSION, SOLID_BGND, BIT_MAP, USE_V_GRADIENT, V_GRADIENT};
    EXPECT_EQ(MdataTags(), expected);
    FtkBackgroundGet(db, &background);
    EXPECT_EQ(background->inUse, kFtkBackgroundGradient);
    EXPECT_FLOAT_EQ(background->gradientTop.r, 1);

    // None in use: the three backgrounds are written, no USE_ chunk.
    background->inUse = kFtkBackgroundNone;
    FtkBackgroundPut(db, background);
    Load(Save());
    EXPECT_EQ(MdataTags(), (std::vector<uint32_t>{MESH_VERSION, SOLID_BGND, BIT_MAP, V_GRADIENT}));
}

} // namespace
