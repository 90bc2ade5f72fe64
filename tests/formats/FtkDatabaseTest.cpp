#include "FtkTestSupport.h"

#include "sdk/formats/3dsftk/FtkChunk.h"
#include "sdk/formats/3dsftk/FtkChunkData.h"
#include "sdk/formats/3dsftk/FtkDatabase.h"
#include "sdk/formats/3dsftk/FtkCamera.h"
#include "sdk/formats/3dsftk/FtkKfHierarchy.h"
#include "sdk/formats/3dsftk/FtkKfMotion.h"
#include "sdk/formats/3dsftk/FtkMaterial.h"
#include "sdk/formats/3dsftk/FtkTriMesh.h"

#include <cstring>

using namespace duzsdk;
using namespace ftkbytes;
namespace {

Bytes Node(uint16_t tag, const char* name, int16_t parent, int id = -2, const char* instance = nullptr)
{
    Bytes body;
    if (id != -2)
        body = Chunk(NODE_ID, Le16(uint16_t(id)));
    body = Cat({body, Chunk(NODE_HDR, Cat({Str(name), Le16(0), Le16(0), Le16(uint16_t(parent))}))});
    if (instance)
        body = Cat({body, Chunk(INSTANCE_NAME, Str(instance))});
    return Chunk(tag, body);
}

class FtkDatabaseTest : public FtkTest {
protected:
    void TearDown() override
    {
        FtkDatabaseRelease(&db);
        FtkTest::TearDown();
    }
    void Load(const Bytes& bytes, const char* name = "in.3ds")
    {
        FtkDatabaseRelease(&db);
        FtkFileClose(FtkFileFindByName(Path(name).c_str()));
        WriteFile(Path(name), bytes);
        FtkFile* f = FtkFileOpen(Path(name).c_str(), "rb");
        ASSERT_NE(f, nullptr);
        FtkDatabaseInit(&db);
        FtkDatabaseLoad(f, db);
    }
    Bytes Save(const char* name = "out.3ds")
    {
        FtkFile* f = FtkFileOpen(Path(name).c_str(), "wb");
        FtkDatabaseSave(f, db);
        FtkFileClose(f);
        return ReadFile(Path(name));
    }
    std::string ParentNameOf(const char* name, uint32_t tag)
    {
        FtkChunk* node = FtkKfNodeFind(db, name, tag);
        if (!node)
            return "<no node>";
        char buffer[24];
        FtkKfGetParentName(node, buffer, sizeof buffer);
        return buffer;
    }
    int16_t ParentIndexOf(FtkChunk* node)
    {
        FtkChunk* header = nullptr;
        FtkChunkFindSibling(node->children, NODE_HDR, &header);
        return static_cast<FtkNodeHdrData*>(FtkChunkDataRead(header))->parentIndex;
    }
    FtkDatabase* db = nullptr;
};

TEST_F(FtkDatabaseTest, KindsAndLoadErrors)
{
    const struct {
        uint16_t root;
        int kind;
    } kinds[] = {{M3DMAGIC, 1}, {CMAGIC, 2}, {MLIBMAGIC, 3}, {0x1234, 0}};
    for (const auto& k : kinds) {
        SCOPED_TRACE(k.root);
        FtkReset();
        Load(Chunk(k.root, Bytes{}));
        EXPECT_FALSE(FtkErrorPending());
        EXPECT_EQ(FtkDatabaseKind(db), k.kind);
    }
    // A file opened for writing cannot be loaded, and says so.
    FtkReset();
    FtkDatabaseRelease(&db);
    FtkDatabaseInit(&db);
    FtkFile* out = FtkFileOpen(Path("w.3ds").c_str(), "wb");
    FtkDatabaseLoad(out, db);
    EXPECT_EQ(FtkErrorAt(0).code, ERR_INVALID_ARG);
    EXPECT_EQ(db->root, nullptr);
    // A child running past its parent fails the load; the part read is freed with the database.
    FtkReset();
    Load(Chunk(M3DMAGIC, Chunk(MDATA, Chunk(NAMED_OBJECT, Str("a"), 40))));
    EXPECT_TRUE(FtkErrorPending());
}

TEST_F(FtkDatabaseTest, IndexesFindObjectsMaterialsAndNodes)
{
    Load(Chunk(M3DMAGIC, Cat({Chunk(MDATA, Cat({Chunk(MAT_ENTRY, Chunk(MAT_NAME, Str("red"))), Chunk(MAT_ENTRY, Bytes{}),
                                                  Chunk(NAMED_OBJECT, Str("box")), Chunk(NAMED_OBJECT, Str("cam"))})),
                              Chunk(KFDATA, Cat({Node(OBJECT_NODE_TAG, "box", -1, 0, "1"), Node(OBJECT_NODE_TAG, "box", -1, 1, "2"),
                                                 Node(CAMERA_NODE_TAG, "cam", -1, 2)}))})));
    ASSERT_FALSE(FtkErrorPending());
    FtkChunk* found = nullptr;
    FtkNamedObjectFind(db, "cam", &found);
    ASSERT_NE(found, nullptr);
    EXPECT_STREQ(static_cast<FtkNameData*>(FtkChunkDataRead(found))->name, "cam");
    FtkNamedObjectFind(db, "Cam", &found);
    EXPECT_EQ(found, nullptr);
    FtkMaterialFind(db, "red", &found);
    EXPECT_NE(found, nullptr);
    // The entry without a name is indexed under "".
    EXPECT_NE(FtkMaterialChunkByIndex(db, 1), nullptr);
    EXPECT_EQ(FtkMaterialChunkByIndex(db, 2), nullptr);
    EXPECT_NE(FtkKfNodeFind(db, "box.1", OBJECT_NODE_TAG), nullptr);
    EXPECT_NE(FtkKfNodeFind(db, "box.2", OBJECT_NODE_TAG), nullptr);
    EXPECT_EQ(FtkKfNodeFind(db, "box", OBJECT_NODE_TAG), nullptr);
    EXPECT_EQ(FtkKfNodeFind(db, "cam", OBJECT_NODE_TAG), nullptr);
    EXPECT_EQ(FtkKfNodeByOrdinal(db, 1, OBJECT_NODE_TAG), FtkKfNodeFind(db, "box.2", OBJECT_NODE_TAG));
    EXPECT_EQ(FtkKfNodeCount(db, CAMERA_NODE_TAG), 1u);
    FtkNameList* names = nullptr;
    FtkKfNodeNameList(db, OBJECT_NODE_TAG, &names);
    ASSERT_NE(names, nullptr);
    ASSERT_EQ(names->count, 2u);
    EXPECT_STREQ(names->names[1], "box.2");
    FtkNameListRelease(&names);

    // A material library keeps its entries under the root.
    FtkReset();
    Load(Chunk(MLIBMAGIC, Cat({Chunk(MAT_ENTRY, Chunk(MAT_NAME, Str("a"))), Chunk(MAT_ENTRY, Chunk(MAT_NAME, Str("b")))})));
    FtkMaterialFind(db, "b", &found);
    EXPECT_EQ(found, FtkMaterialChunkByIndex(db, 1));
    EXPECT_NE(found, nullptr);
}

TEST_F(FtkDatabaseTest, CreateAndSaveStampVersions)
{
    FtkDatabaseInit(&db);
    FtkDatabaseCreate(db, kFtkMeshDatabase);
    FtkDatabaseCreate(db, kFtkMeshDatabase); // the first tree is freed
    const Bytes saved = Save();
    ASSERT_FALSE(FtkErrorPending());
    const Bytes expected = Chunk(M3DMAGIC, Cat({Chunk(M3D_VERSION, Le32(3)), Chunk(MDATA, Chunk(MESH_VERSION, Le32(3))),
                                                Chunk(KFDATA, Chunk(KFHDR, Cat({Le16(5), Str(""), Le32(30)})))}));
    EXPECT_EQ(saved, expected);
    // A database saved from a file with other versions is stamped again.
    Load(Chunk(M3DMAGIC, Cat({Chunk(M3D_VERSION, Le32(1)), Chunk(KFDATA, Chunk(KFHDR, Cat({Le16(2), Str("x"), Le32(9)})))})));
    const Bytes again = Save("again.3ds");
    EXPECT_EQ(again, Chunk(M3DMAGIC, Cat({Chunk(M3D_VERSION, Le32(3)), Chunk(MDATA, Chunk(MESH_VERSION, Le32(3))),
                                          Chunk(KFDATA, Chunk(KFHDR, Cat({Le16(5), Str("x"), Le32(9)})))})));
    // A material library gets no version chunks.
    FtkDatabaseRelease(&db);
    FtkDatabaseInit(&db);
    FtkDatabaseCreate(db, kFtkMaterialLibrary);
    EXPECT_EQ(Save("lib.3ds"), Chunk(MLIBMAGIC, Bytes{}));
    // Saving into a file opened for reading fails instead of reporting success.
    FtkDatabaseSave(FtkFileOpen(Path("lib.3ds").c_str(), "rb"), db);
    EXPECT_EQ(FtkErrorAt(0).code, ERR_INVALID_ARG);
}

TEST_F(FtkDatabaseTest, ParentIndicesBecomeNamesAndBack)
{
    // The file's ids are 10, 20, 30; parents refer to them.
    Load(Chunk(M3DMAGIC, Chunk(KFDATA, Cat({Node(OBJECT_NODE_TAG, "box", -1, 10, "inst2"), Node(OBJECT_NODE_TAG, "box.001", -1, 20),
                                             Node(OBJECT_NODE_TAG, "child", 10, 30), Node(OBJECT_NODE_TAG, "other", 20, 40),
                                             Node(AMBIENT_NODE_TAG, "$AMBIENT$", -1, 7)}))));
    ASSERT_FALSE(FtkErrorPending());
    EXPECT_EQ(ParentNameOf("child", OBJECT_NODE_TAG), "box.inst2");
    EXPECT_EQ(ParentNameOf("other", OBJECT_NODE_TAG), "box.001");
    Save();
    ASSERT_FALSE(FtkErrorPending());
    // Saving numbers the nodes in order and turns the names back into numbers:
    // "box.001" is the node of that whole name, not box with instance 001.
    FtkChunk* kfdata = nullptr;
    FtkChunkFindDescendant(db->root, KFDATA, &kfdata);
    std::vector<int16_t> ids, parents;
    for (FtkChunk* c = kfdata->children; c; c = c->next) {
        if (c->tag < AMBIENT_NODE_TAG || c->tag > SPOTLIGHT_NODE_TAG)
            continue;
        ids.push_back(FtkKfNodeGetId(c));
        parents.push_back(ParentIndexOf(c));
    }
    EXPECT_EQ(ids, (std::vector<int16_t>{0, 1, 2, 3, -1}));
    EXPECT_EQ(parents, (std::vector<int16_t>{-1, -1, 0, 1, -1}));

    // Nodes without NODE_ID are numbered 0, 1, 2 in order.
    Load(Chunk(M3DMAGIC, Chunk(KFDATA, Cat({Node(OBJECT_NODE_TAG, "a", -1), Node(OBJECT_NODE_TAG, "b", 0), Node(OBJECT_NODE_TAG, "c", 1)}))));
    EXPECT_EQ(ParentNameOf("b", OBJECT_NODE_TAG), "a");
    EXPECT_EQ(ParentNameOf("c", OBJECT_NODE_TAG), "b");
}

TEST_F(FtkDatabaseTest, UnknownParentNameSavesAsNoParent)
{
    FtkDatabaseInit(&db);
    FtkDatabaseCreate(db, kFtkMeshDatabase);
    FtkChunk* kfdata = FtkKfDataGetOrCreate(db->root);
    FtkChunk* node = FtkChunkAddChild(OBJECT_NODE_TAG, kfdata);
    FtkKfAddNodeId(node);
    FtkKfAddNodeHeader("a", 0, 0, "nobody", node);
    Save();
    ASSERT_FALSE(FtkErrorPending());
    EXPECT_EQ(ParentIndexOf(node), -1);
    // A parent name longer than the caller's buffer is cut to it.
    char small[4];
    FtkKfGetParentName(node, small, sizeof small);
    EXPECT_STREQ(small, "nob");
}

// Puts keep the indexes up to date without rebuilding them; what they hold
// is what a rebuild from the tree gives (cleared chunks aside).
TEST_F(FtkDatabaseTest, PutsKeepTheIndexesAsARebuildWould)
{
    FtkDatabaseInit(&db);
    FtkDatabaseCreate(db, kFtkMeshDatabase);
    FtkTriMesh* mesh = nullptr;
    FtkTriMeshInit(&mesh, 0, 0, 0);
    FtkCamera* camera = nullptr;
    FtkCameraInit(&camera);
    FtkMaterial* material = nullptr;
    FtkMaterialInit(&material);
    FtkObjectMotion* motion = nullptr;
    FtkObjectMotionInit(&motion, 0, 0, 0, 0, 0);
    FtkChunk* found = nullptr;
    FtkNamedObjectFind(db, "none", &found); // builds the (empty) indexes
    FtkMaterialFind(db, "none", &found);
    // Enough names for the hashed look-up, with replacements among them.
    std::vector<std::string> names{"a", "cam", "b", "a", "cam", "c"};
    for (int i = 0; i < 20; ++i)
        names.push_back("n" + std::to_string(i));
    names.insert(names.end(), {"cam", "n3", "a"});
    for (const std::string& text : names) {
        const char* name = text.c_str();
        if (std::strcmp(name, "cam") == 0) {
            std::strcpy(camera->name, name);
            FtkCameraPut(db, camera);
        } else {
            std::strcpy(mesh->name, name);
            FtkTriMeshPut(db, mesh);
        }
        std::strcpy(material->name, name);
        FtkMaterialPut(db, material);
        std::strcpy(motion->name, name);
        std::strcpy(motion->instance, std::strcmp(name, "b") == 0 ? "2" : "");
        FtkObjectMotionPut(db, motion);
    }
    ASSERT_FALSE(FtkErrorPending());
    EXPECT_EQ(db->objListDirty, 0);
    auto live = [](FtkNameIndex* index) {
        std::vector<std::pair<std::string, FtkChunk*>> out;
        for (uint32_t i = 0; index && i < index->count; ++i)
            if (index->list[i].chunk && index->list[i].chunk->tag != 0)
                out.emplace_back(index->list[i].name, index->list[i].chunk);
        return out;
    };
    auto objects = live(db->objList);
    const auto materials = live(db->matList), nodes = live(db->nodeList);
    EXPECT_EQ(objects.size(), 24u);
    ASSERT_EQ(nodes.size(), 24u);
    EXPECT_EQ(nodes[0].first, "b.2"); // the first "a" and "cam" were retired
    EXPECT_EQ(nodes.back().first, "a");
    for (const auto& [name, chunk] : objects) {
        FtkNamedObjectFind(db, name.c_str(), &found);
        EXPECT_EQ(found, chunk) << name;
    }
    EXPECT_EQ(FtkKfNodeFind(db, "cam", OBJECT_NODE_TAG), nodes[nodes.size() - 3].second);
    // Ordinals read in order, and again after a change, give the index order.
    for (uint32_t i = 0; i < nodes.size(); ++i)
        EXPECT_EQ(FtkKfNodeByOrdinal(db, i, OBJECT_NODE_TAG), nodes[i].second);
    EXPECT_EQ(FtkTriMeshCount(db), 23u);
    std::strcpy(camera->name, "n5");
    FtkCameraPut(db, camera);
    EXPECT_EQ(FtkTriMeshCount(db), 22u);
    FtkTriMeshGetByIndex(db, 21, &mesh);
    EXPECT_STREQ(mesh->name, "n19");
    objects = live(db->objList);
    FtkNamedObjectIndexInvalidate(db);
    FtkMaterialIndexInvalidate(db);
    FtkKfNodeIndexInvalidate(db);
    FtkNamedObjectIndexUpdate(db);
    FtkMaterialIndexUpdate(db);
    FtkKfNodeIndexUpdate(db);
    EXPECT_EQ(live(db->objList), objects);
    EXPECT_EQ(live(db->matList), materials);
    EXPECT_EQ(live(db->nodeList), nodes);
    FtkTriMeshRelease(&mesh);
    FtkCameraRelease(&camera);
    FtkMaterialRelease(&material);
    FtkObjectMotionRelease(&motion);
}

} // namespace
