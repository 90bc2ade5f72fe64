#include "FtkTestSupport.h"

#include "sdk/formats/3dsftk/FtkChunk.h"
#include "sdk/formats/3dsftk/FtkChunkData.h"
#include "sdk/formats/3dsftk/FtkDatabase.h"
#include "sdk/formats/3dsftk/FtkTriMesh.h"

#include <cstring>

using namespace duzsdk;
using namespace ftkbytes;
namespace {

class FtkTriMeshTest : public FtkTest {
protected:
    void TearDown() override
    {
        FtkTriMeshRelease(&mesh);
        FtkDatabaseRelease(&db);
        FtkTest::TearDown();
    }
    void Create()
    {
        FtkDatabaseInit(&db);
        FtkDatabaseCreate(db, kFtkMeshDatabase);
    }
    // Saves the database and loads what was written into it again.
    void SaveAndLoad()
    {
        const std::string path = Path("mesh.3ds");
        FtkFileClose(FtkFileFindByName(path.c_str()));
        FtkFile* out = FtkFileOpen(path.c_str(), "wb");
        FtkDatabaseSave(out, db);
        FtkFileClose(out);
        ASSERT_FALSE(FtkErrorPending());
        FtkDatabaseRelease(&db);
        FtkDatabaseInit(&db);
        FtkDatabaseLoad(FtkFileOpen(path.c_str(), "rb"), db);
        ASSERT_FALSE(FtkErrorPending());
    }
    void LoadBytes(const Bytes& bytes)
    {
        WriteFile(Path("in.3ds"), bytes);
        FtkDatabaseInit(&db);
        FtkDatabaseLoad(FtkFileOpen(Path("in.3ds").c_str(), "rb"), db);
    }
    static void Fill(FtkTriMesh* m)
    {
        std::strcpy(m->name, "box");
        for (int i = 0; i < 4; ++i)
            m->vertices[i] = {float(i), float(i * 2), float(-i)};
        m->faces[0] = {0, 1, 2, 7};
        m->faces[1] = {2, 3, 0, 3};
        for (int i = 0; i < 4; ++i)
            m->texVerts[i] = {0.25f * float(i), 1.0f - 0.25f * float(i)};
        m->smoothGroups[0] = 1;
        m->smoothGroups[1] = 0x80000002u;
        for (int i = 0; i < 12; ++i)
            m->meshMatrix[i] = float(i + 1);
        m->matGroupCount = 2;
        FtkTriMeshAllocArrays(m, kFtkTriMatGroups);
        std::strcpy(m->matGroups[0].name, "red");
        m->matGroups[0].faceCount = 1;
        FtkTriMeshSetGroupFaces(m, 0, 1);
        m->matGroups[0].faces[0] = 1;
        std::strcpy(m->matGroups[1].name, "sixteen_chars_ok");
        m->hidden = 1;
        m->meshColor = 5;
        m->useMapping = 1;
        m->tileX = 2;
        m->cylIconHeight = 3;
    }
    FtkDatabase* db = nullptr;
    FtkTriMesh* mesh = nullptr;
};

TEST_F(FtkTriMeshTest, PutSaveLoadGetGivesTheSameMesh)
{
    Create();
    EXPECT_EQ(FtkTriMeshCount(db), 0u);
    FtkTriMeshInit(&mesh, 4, 2, kFtkTriTexVerts | kFtkTriSmoothGroups);
    ASSERT_FALSE(FtkErrorPending());
    Fill(mesh);
    FtkTriMeshPut(db, mesh);
    ASSERT_FALSE(FtkErrorPending());
    SaveAndLoad();
    ASSERT_EQ(FtkTriMeshCount(db), 1u);
    FtkTriMesh* back = nullptr;
    FtkTriMeshGetByIndex(db, 0, &back);
    ASSERT_FALSE(FtkErrorPending());
    ASSERT_NE(back, nullptr);
    EXPECT_STREQ(back->name, "box");
    ASSERT_EQ(back->vertexCount, 4);
    ASSERT_EQ(back->faceCount, 2);
    ASSERT_EQ(back->texVertCount, 4);
    EXPECT_EQ(std::memcmp(back->vertices, mesh->vertices, 4 * sizeof(FtkVector)), 0);
    EXPECT_EQ(std::memcmp(back->faces, mesh->faces, 2 * sizeof(FtkFace)), 0);
    EXPECT_EQ(std::memcmp(back->texVerts, mesh->texVerts, 4 * sizeof(FtkTexVert)), 0);
    EXPECT_EQ(back->smoothGroups[1], 0x80000002u);
    EXPECT_EQ(std::memcmp(back->meshMatrix, mesh->meshMatrix, sizeof mesh->meshMatrix), 0);
    ASSERT_EQ(back->matGroupCount, 2);
    EXPECT_STREQ(back->matGroups[1].name, "sixteen_chars_ok");
    ASSERT_EQ(back->matGroups[0].faceCount, 1);
    EXPECT_EQ(back->matGroups[0].faces[0], 1);
    EXPECT_EQ(back->matGroups[1].faces, nullptr);
    EXPECT_EQ(back->hidden, 1);
    EXPECT_EQ(back->frozen, 0);
    EXPECT_EQ(back->meshColor, 5);
    EXPECT_EQ(back->useMapping, 1);
    EXPECT_FLOAT_EQ(back->tileX, 2);
    EXPECT_FLOAT_EQ(back->cylIconHeight, 3);
    // Reading into a record that already holds a mesh replaces all of it.
    FtkTriMeshGetByIndex(db, 0, &back);
    EXPECT_EQ(back->matGroupCount, 2);
    FtkTriMeshGetByIndex(db, 1, &back); // past the end: untouched
    EXPECT_STREQ(back->name, "box");
    FtkTriMeshRelease(&back);
    EXPECT_EQ(back, nullptr);
}

TEST_F(FtkTriMeshTest, ZeroFacesWriteNoFaceChunksButAlwaysMatrixAndColour)
{
    Create();
    FtkTriMeshInit(&mesh, 3, 0, 0);
    std::strcpy(mesh->name, "pts");
    mesh->useBoxMap = 1;
    FtkTriMeshPut(db, mesh);
    ASSERT_FALSE(FtkErrorPending());
    FtkChunk* tri = nullptr;
    FtkChunkFindDescendant(db->root, N_TRI_OBJECT, &tri);
    ASSERT_NE(tri, nullptr);
    std::vector<uint32_t> tags;
    for (FtkChunk* c = tri->children; c; c = c->next)
        tags.push_back(c->tag);
    EXPECT_EQ(tags, (std::vector<uint32_t>{POINT_ARRAY, MESH_MATRIX, MESH_COLOR}));
}

TEST_F(FtkTriMeshTest, PutReplacesANamedObjectOfAnyKindAndKeepsItsXdata)
{
    const Bytes xdata = Chunk(XDATA_SECTION, Chunk(XDATA_ENTRY, Chunk(XDATA_APPNAME, Str("app"))));
    LoadBytes(Chunk(M3DMAGIC, Chunk(MDATA, Cat({Chunk(NAMED_OBJECT, Cat({Str("cam"), Chunk(N_CAMERA, Cat({Bytes(32, 0), xdata}))})),
                                                Chunk(NAMED_OBJECT, Str("other"))}))));
    ASSERT_FALSE(FtkErrorPending());
    FtkTriMeshInit(&mesh, 3, 1, 0);
    std::strcpy(mesh->name, "cam");
    FtkTriMeshPut(db, mesh);
    ASSERT_FALSE(FtkErrorPending());
    SaveAndLoad();
    FtkChunk* object = nullptr;
    FtkNamedObjectFind(db, "cam", &object);
    ASSERT_NE(object, nullptr);
    // Same place as before (first), now a mesh whose N_TRI_OBJECT holds the kept XDATA.
    FtkChunk* mdata = nullptr;
    FtkChunkFindDescendant(db->root, MDATA, &mdata);
    FtkChunk* first = nullptr;
    FtkChunkFindSibling(mdata->children, NAMED_OBJECT, &first);
    EXPECT_EQ(first, object);
    FtkChunk* found = nullptr;
    FtkChunkFindDescendant(object, N_CAMERA, &found);
    EXPECT_EQ(found, nullptr);
    FtkChunk* tri = nullptr;
    FtkChunkFindSibling(object->children, N_TRI_OBJECT, &tri);
    ASSERT_NE(tri, nullptr);
    FtkChunkFindSibling(tri->children, XDATA_SECTION, &found);
    EXPECT_NE(found, nullptr);
    EXPECT_EQ(FtkTriMeshCount(db), 1u);
}

// Indices that point past the arrays they index are refused on read.
TEST_F(FtkTriMeshTest, IndicesOutOfRangeAreRefused)
{
    const Bytes points = Chunk(POINT_ARRAY, Cat({Le16(3), Bytes(36, 0)}));
    const struct {
        const char* what;
        Bytes faces;
    } cases[] = {
        {"face vertex past the vertices", Chunk(FACE_ARRAY, Cat({Le16(1), Le16(0), Le16(1), Le16(3), Le16(0)}))},
        {"group face past the faces", Chunk(FACE_ARRAY, Cat({Le16(1), Le16(0), Le16(1), Le16(2), Le16(0),
                                                             Chunk(MSH_MAT_GROUP, Cat({Str("m"), Le16(1), Le16(1)}))}))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FtkReset();
        FtkDatabaseRelease(&db);
        FtkFileClose(FtkFileFindByName(Path("in.3ds").c_str()));
        LoadBytes(Chunk(M3DMAGIC, Chunk(MDATA, Chunk(NAMED_OBJECT, Cat({Str("m"), Chunk(N_TRI_OBJECT, Cat({points, c.faces}))})))));
        ASSERT_FALSE(FtkErrorPending());
        FtkTriMeshGetByIndex(db, 0, &mesh);
        EXPECT_EQ(FtkErrorAt(0).code, ERR_INVALID_DATA);
    }
    // Fewer smoothing masks than faces: the missing ones are 0.
    FtkReset();
    FtkDatabaseRelease(&db);
    FtkFileClose(FtkFileFindByName(Path("in.3ds").c_str()));
    LoadBytes(Chunk(M3DMAGIC, Chunk(MDATA, Chunk(NAMED_OBJECT, Cat({Str("m"), Chunk(N_TRI_OBJECT, Cat({points,
        Chunk(FACE_ARRAY, Cat({Le16(2), Le16(0), Le16(1), Le16(2), Le16(0), Le16(0), Le16(1), Le16(2), Le16(0), Chunk(SMOOTH_GROUP, Le32(9))}))}))})))));
    FtkTriMeshGetByIndex(db, 0, &mesh);
    ASSERT_FALSE(FtkErrorPending());
    EXPECT_EQ(mesh->smoothGroups[0], 9u);
    EXPECT_EQ(mesh->smoothGroups[1], 0u);
}

TEST_F(FtkTriMeshTest, ArraysGrowWithFreshEntries)
{
    FtkTriMeshInit(&mesh, 0, 1, 0);
    mesh->faces[0] = {5, 6, 7, 1};
    mesh->faceCount = 3;
    mesh->matGroupCount = 2;
    FtkTriMeshAllocArrays(mesh, kFtkTriFaces | kFtkTriMatGroups);
    ASSERT_FALSE(FtkErrorPending());
    EXPECT_EQ(mesh->faces[0].v1, 5);
    EXPECT_EQ(mesh->faces[2].v2, 1);
    EXPECT_EQ(mesh->faces[2].flag, 0);
    mesh->matGroups[1].faceCount = 1;
    FtkTriMeshSetGroupFaces(mesh, 1, 4);
    // Shrinking the groups gives back the dropped group's faces (no leak).
    mesh->matGroupCount = 1;
    FtkTriMeshAllocArrays(mesh, kFtkTriMatGroups);
    EXPECT_EQ(mesh->matGroups[0].faces, nullptr);
    FtkTriMeshSetGroupFaces(mesh, 1, 1);
    EXPECT_EQ(FtkErrorAt(0).code, ERR_INVALID_DATA);
}

} // namespace
