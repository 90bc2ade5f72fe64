#include "FtkTestSupport.h"

#include "sdk/formats/3dsftk/FtkChunk.h"
#include "sdk/formats/3dsftk/FtkChunkData.h"
#include "sdk/formats/3dsftk/FtkDatabase.h"
#include "sdk/formats/3dsftk/FtkMaterial.h"

#include <cstring>

using namespace duzsdk;
using namespace ftkbytes;
namespace {

class FtkMaterialTest : public FtkTest {
protected:
    void TearDown() override
    {
        FtkMaterialRelease(&material);
        FtkDatabaseRelease(&db);
        FtkTest::TearDown();
    }
    void Create(int kind = kFtkMeshDatabase)
    {
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
    Bytes Save()
    {
        const std::string path = Path("out.3ds");
        FtkFileClose(FtkFileFindByName(path.c_str()));
        FtkFile* out = FtkFileOpen(path.c_str(), "wb");
        FtkDatabaseSave(out, db);
        FtkFileClose(out);
        return ReadFile(path);
    }
    FtkChunk* Entry()
    {
        FtkChunk* entry = nullptr;
        FtkChunkFindDescendant(db->root, MAT_ENTRY, &entry);
        return entry;
    }
    static int16_t PercentUnder(FtkChunk* entry, uint16_t tag)
    {
        FtkChunk* c = nullptr;
        FtkChunkFindSibling(entry->children, tag, &c);
        if (!c)
            return -999;
        FtkChunk* p = nullptr;
        FtkChunkFindDescendant(c, INT_PERCENTAGE, &p);
        return p ? int16_t(*static_cast<uint16_t*>(FtkChunkDataRead(p))) : -998;
    }
    static std::vector<uint32_t> Tags(FtkChunk* parent)
    {
        std::vector<uint32_t> tags;
        for (FtkChunk* c = parent->children; c; c = c->next)
            tags.push_back(c->tag);
        return tags;
    }
    FtkDatabase* db = nullptr;
    FtkMaterial* material = nullptr;
};

TEST_F(FtkMaterialTest, PutThenGetGivesTheSameMaterial)
{
    Create();
    FtkMaterialInit(&material);
    std::strcpy(material->name, "sixteen_chars_ok");
    material->ambient = {0.2f, 0.4f, 0.6f};
    material->diffuse = {1.2f, -0.1f, 1.0f}; // clamped, not wrapped
    material->specular = {1, 1, 1};
    material->shininess = 0.5f;
    material->transparency = 0.25f;
    material->transFalloff = -0.3f;
    material->twoSided = 1;
    material->shading = 3;
    std::strcpy(material->texture.name, "wood.png");
    material->texture.percent = 0.555f;
    material->texture.tiling = kFtkDecal;
    material->texture.mirror = 1;
    material->texture.uScale = 2;
    material->texture.tint = kFtkTintRgb;
    material->texture.tintG = {0, 0.5f, 0};
    std::strcpy(material->bump.name, "bump.tga");
    material->bump.percent = 0.4f;
    material->autoReflect = 1;
    material->autoReflectFlagB = 1;
    material->autoReflectSize = 256;
    unsigned char proc[3] = {1, 2, 3};
    material->opacity.procData = proc;
    material->opacity.procSize = 3;
    FtkMaterialPut(db, material);
    material->opacity.procData = nullptr;
    ASSERT_FALSE(FtkErrorPending());
    EXPECT_EQ(PercentUnder(Entry(), MAT_XPFALL), 30);
    Load(Save());
    ASSERT_FALSE(FtkErrorPending());
    ASSERT_EQ(FtkMaterialCount(db), 1u);
    FtkMaterialGetByIndex(db, 0, &material);
    ASSERT_FALSE(FtkErrorPending());
    EXPECT_STREQ(material->name, "sixteen_chars_ok");
    EXPECT_NEAR(material->ambient.g, 0.4f, 1.0f / 255);
    EXPECT_FLOAT_EQ(material->diffuse.r, 1.0f);
    EXPECT_FLOAT_EQ(material->diffuse.g, 0.0f);
    EXPECT_FLOAT_EQ(material->shininess, 0.5f);
    EXPECT_FLOAT_EQ(material->transparency, 0.25f);
    EXPECT_FLOAT_EQ(material->transFalloff, -0.3f);
    EXPECT_EQ(material->twoSided, 1);
    EXPECT_STREQ(material->texture.name, "wood.png");
    EXPECT_FLOAT_EQ(material->texture.percent, 0.56f);
    EXPECT_EQ(material->texture.tiling, kFtkDecal);
    EXPECT_EQ(material->texture.mirror, 1);
    EXPECT_FLOAT_EQ(material->texture.uScale, 2);
    EXPECT_FLOAT_EQ(material->texture.vScale, 1);
    EXPECT_EQ(material->texture.tint, kFtkTintRgb);
    EXPECT_NEAR(material->texture.tintG.g, 0.5f, 1.0f / 255);
    EXPECT_FLOAT_EQ(material->bump.percent, 0.4f);
    EXPECT_EQ(material->autoReflect, 1);
    EXPECT_EQ(material->autoReflectFlagA, 0);
    EXPECT_EQ(material->autoReflectFlagB, 1);
    EXPECT_EQ(material->autoReflectSize, 256);
    EXPECT_STREQ(material->reflect.name, "");
    ASSERT_EQ(material->opacity.procSize, 3u);
    EXPECT_EQ(material->opacity.procData[2], 3);
}

TEST_F(FtkMaterialTest, WrittenChunks)
{
    Create();
    FtkMaterialInit(&material);
    std::strcpy(material->name, "m");
    material->shininess = 0.555f;
    std::strcpy(material->texture.name, "a.png");
    material->autoReflect = 1;
    FtkMaterialPut(db, material);
    ASSERT_FALSE(FtkErrorPending());
    FtkChunk* entry = Entry();
    // Material percentages truncate.
    EXPECT_EQ(PercentUnder(entry, MAT_SHININESS), 55);
    // A map with default settings: amount, name and tiling 0 only.
    FtkChunk* map = nullptr;
    FtkChunkFindSibling(entry->children, MAT_TEXMAP, &map);
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(Tags(map), (std::vector<uint32_t>{INT_PERCENTAGE, MAT_MAPNAME, MAT_MAP_TILING}));
    FtkChunk* tiling = nullptr;
    FtkChunkFindSibling(map->children, MAT_MAP_TILING, &tiling);
    EXPECT_EQ(*static_cast<uint16_t*>(tiling->data), 0);
    // Auto-reflection with no map name still writes the reflection map.
    FtkChunk* reflect = nullptr;
    FtkChunkFindSibling(entry->children, MAT_REFLMAP, &reflect);
    ASSERT_NE(reflect, nullptr);
    FtkChunk* name = nullptr;
    FtkChunkFindSibling(reflect->children, MAT_MAPNAME, &name);
    ASSERT_NE(name, nullptr);
    EXPECT_STREQ(static_cast<FtkNameData*>(name->data)->name, "");
    // A map name the loader would refuse is refused by the put.
    std::strcpy(material->texture.name, "thirteen_.png");
    FtkMaterialPut(db, material);
    EXPECT_EQ(FtkErrorAt(0).code, ERR_STRING_TOO_LONG);

    // In a material library the entry goes straight under the root.
    FtkReset();
    FtkDatabaseRelease(&db);
    Create(kFtkMaterialLibrary);
    std::strcpy(material->texture.name, "a.png");
    FtkMaterialPut(db, material);
    ASSERT_FALSE(FtkErrorPending());
    EXPECT_EQ(Tags(db->root), std::vector<uint32_t>{MAT_ENTRY});
}

TEST_F(FtkMaterialTest, ReadingFileVariants)
{
    const Bytes color24 = Chunk(COLOR_24, Bytes{255, 0, 51});
    Load(Chunk(M3DMAGIC, Chunk(MDATA, Chunk(MAT_ENTRY, Cat({
        Chunk(MAT_NAME, Str("m")),
        Chunk(MAT_AMBIENT, Chunk(COLOR_F, Cat({F32(0.5f), F32(0.25f), F32(1)}))), // no COLOR_24: COLOR_F serves
        Chunk(MAT_DIFFUSE, color24),
        Chunk(MAT_SHININESS, Chunk(FLOAT_PERCENTAGE, F32(0.75f))),
        Chunk(MAT_DECAL, Bytes{}), // not a material field: skipped
        Chunk(MAT_WIRE, Bytes{}),
        Chunk(MAT_XPFALL, Chunk(INT_PERCENTAGE, Le16(30))),
        Chunk(MAT_XPFALLIN, Bytes{}),
    })))));
    ASSERT_FALSE(FtkErrorPending());
    FtkMaterialGetByIndex(db, 0, &material);
    ASSERT_FALSE(FtkErrorPending());
    EXPECT_FLOAT_EQ(material->ambient.g, 0.25f);
    EXPECT_FLOAT_EQ(material->diffuse.b, 0.2f);
    EXPECT_FLOAT_EQ(material->shininess, 0.75f);
    EXPECT_EQ(material->shading, 0);
    EXPECT_EQ(material->useWire, 0);
    EXPECT_FLOAT_EQ(material->transFalloff, -0.3f);
    // Put back, a wire material writes shading 0 and no MAT_WIRE.
    FtkMaterialPut(db, material);
    FtkChunk* wire = nullptr;
    FtkChunkFindDescendant(Entry(), MAT_WIRE, &wire);
    EXPECT_EQ(wire, nullptr);

    // A colour container with no colour at all.
    FtkReset();
    Load(Chunk(M3DMAGIC, Chunk(MDATA, Chunk(MAT_ENTRY, Cat({Chunk(MAT_NAME, Str("m")), Chunk(MAT_SPECULAR, Bytes{})})))));
    FtkMaterialGetByIndex(db, 0, &material);
    EXPECT_EQ(FtkErrorAt(0).code, ERR_UNFOUND_CHUNK);
}

} // namespace
