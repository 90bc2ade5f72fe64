#include "FtkTestSupport.h"

#include "sdk/formats/3dsftk/FtkChunk.h"
#include "sdk/formats/3dsftk/FtkChunkData.h"
#include "sdk/formats/3dsftk/FtkChunkTagNames.h"
#include "sdk/formats/3dsftk/FtkPrim.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <random>

using namespace duzsdk;
namespace {

using Bytes = std::vector<unsigned char>;

// A chunk as bytes: header, own data, then the children. A given length
// replaces the true one, to make lying files.
Bytes TreeChunk(uint16_t tag, Bytes own, std::initializer_list<Bytes> children = {}, int64_t length = -1)
{
    Bytes body = std::move(own);
    for (const Bytes& c : children)
        body.insert(body.end(), c.begin(), c.end());
    uint32_t len = length >= 0 ? uint32_t(length) : uint32_t(body.size() + 6);
    // Sized once and filled: gcc 12 misreads an insert after a six-byte list.
    Bytes out(6 + body.size());
    const uint8_t header[6] = {uint8_t(tag), uint8_t(tag >> 8), uint8_t(len), uint8_t(len >> 8), uint8_t(len >> 16), uint8_t(len >> 24)};
    std::copy(header, header + 6, out.begin());
    std::copy(body.begin(), body.end(), out.begin() + 6);
    return out;
}

Bytes Text(const char* s)
{
    return Bytes(s, s + std::strlen(s) + 1);
}

std::vector<uint32_t> ChildTags(const FtkChunk* parent)
{
    std::vector<uint32_t> tags;
    for (const FtkChunk* c = parent->children; c; c = c->next)
        tags.push_back(c->tag);
    return tags;
}

class FtkChunkTest : public FtkTest {
protected:
    void TearDown() override
    {
        FtkChunkFree(&root);
        FtkTest::TearDown();
    }
    // Writes the bytes, opens them and reads the tree under the top chunk.
    FtkFile* Load(const Bytes& bytes)
    {
        const std::string path = Path("in.3ds");
        FtkFileClose(FtkFileFindByName(path.c_str()));
        WriteFile(path, bytes);
        FtkFile* f = OpenForRead(path);
        if (!f)
            return nullptr;
        FtkChunkCreate(&root);
        root->readSlot = f->slot;
        root->position = 0;
        FtkChunkHeaderRead(root);
        FtkChunkTreeRead(root);
        return f;
    }
    FtkChunk* root = nullptr;
};

// The object database a small scene keeps: version, mesh with faces, keyframer.
Bytes SampleScene()
{
    return TreeChunk(M3DMAGIC, {},
                 {TreeChunk(M3D_VERSION, {3, 0, 0, 0}),
                  TreeChunk(MDATA, {},
                        {TreeChunk(NAMED_OBJECT, Text("box"),
                               {TreeChunk(N_TRI_OBJECT, {}, {TreeChunk(FACE_ARRAY, {1, 0, 0, 0, 1, 0, 2, 0, 7, 0}, {TreeChunk(0x4130, Bytes{'m', 0, 1, 0, 0, 0})})})}),
                         TreeChunk(MAT_ENTRY, {}, {TreeChunk(MAT_NAME, Text("red"))})}),
                  TreeChunk(KFDATA, {}, {TreeChunk(KFHDR, {5, 0, 'k', 0, 100, 0, 0, 0})})});
}

TEST_F(FtkChunkTest, InsertKeepsFallingRankAndInsertionOrder)
{
    struct Case {
        const char* name;
        uint32_t parent;
        std::vector<uint32_t> inserted;
        std::vector<uint32_t> expected;
    };
    const std::vector<Case> cases = {
        {"magic", M3DMAGIC, {KFDATA, MDATA, M3D_VERSION}, {M3D_VERSION, MDATA, KFDATA}},
        {"mdata", MDATA, {NAMED_OBJECT, NAMED_OBJECT, MAT_ENTRY, 0x3D3E}, {0x3D3E, MAT_ENTRY, NAMED_OBJECT, NAMED_OBJECT}},
        {"kfdata", KFDATA,
         {LIGHT_NODE_TAG, AMBIENT_NODE_TAG, OBJECT_NODE_TAG, 0xB008, CAMERA_NODE_TAG, KFHDR},
         {KFHDR, 0xB008, OBJECT_NODE_TAG, CAMERA_NODE_TAG, AMBIENT_NODE_TAG, LIGHT_NODE_TAG}},
        // Tag 0 (a cleared chunk) stands for the rank it had before: a
        // cleared last child must not pull a higher-ranked insert behind it.
        {"after a cleared last child", MDATA, {0x3D3E, NAMED_OBJECT, 0xFFFF, 0x0100}, {0x3D3E, 0x0100, NAMED_OBJECT, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FtkChunk* parent = nullptr;
        FtkChunkCreateTagged(&parent, c.parent);
        std::vector<FtkChunk*> made;
        for (uint32_t tag : c.inserted) {
            FtkChunk* child = nullptr;
            FtkChunkCreateTagged(&child, tag);
            FtkChunkInsertChild(parent, child);
            if (tag == 0xFFFF)
                FtkChunkClear(child);
            made.push_back(child);
        }
        EXPECT_EQ(ChildTags(parent), c.expected);
        if (std::string(c.name) == "mdata") {
            // Equal ranks keep their insertion order.
            FtkChunk* first = nullptr;
            FtkChunkFindSibling(parent->children, NAMED_OBJECT, &first);
            EXPECT_EQ(first, made[0]);
        }
        FtkChunkFree(&parent);
    }
    EXPECT_FALSE(FtkErrorPending());
    FtkChunkInsertChild(nullptr, nullptr);
    EXPECT_EQ(FtkErrorAt(0).code, ERR_INVALID_ARG);
}

// Children read in file order need not fall in rank: an insert then walks
// the list as the rank rule says instead of going to the end.
TEST_F(FtkChunkTest, InsertIntoFileOrderWalksTheList)
{
    ASSERT_NE(Load(TreeChunk(M3DMAGIC, {}, {TreeChunk(0x0100, {0, 0, 0x80, 0x3F}), TreeChunk(MDATA, {})})), nullptr);
    ASSERT_FALSE(FtkErrorPending());
    FtkChunk* version = nullptr;
    FtkChunkCreateTagged(&version, M3D_VERSION);
    FtkChunkInsertChild(root, version);
    FtkChunk* last = nullptr;
    FtkChunkCreateTagged(&last, 0x4010);
    FtkChunkInsertChild(root, last);
    EXPECT_EQ(ChildTags(root), (std::vector<uint32_t>{M3D_VERSION, 0x0100, MDATA, 0x4010}));
    EXPECT_EQ(root->lastChild, last);
    FtkChunkRemoveChild(root, last);
    FtkChunk* mdata = nullptr;
    FtkChunkFindSibling(root->children, MDATA, &mdata);
    EXPECT_EQ(root->lastChild, mdata);
}

TEST_F(FtkChunkTest, TagTables)
{
    struct Case {
        uint32_t tag;
        const char* name;
        int rank;
        bool kfNode;
    } cases[] = {
        {0x0000, "NULL_CHUNK", 35, false},     {0x4D4D, "M3DMAGIC", 32, false},
        {0xB005, "LIGHT_NODE_TAG", 0, true},   {0xB001, "AMBIENT_NODE_TAG", 3, false},
        {0xB007, "SPOTLIGHT_NODE_TAG", 4, true}, {0x1430, "SHADOW_SAMPLES", 0, false},
        {0xCA50, "C_DXFNAME_SRC ", 0, false},  {0xFFFF, "DUMMY", 0, false},
        {0x1234, "UNKNOWN_CHUNK", 0, false},   {0x1301, "USE_V_GRADIENT", 12, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_STREQ(FtkChunkTagName(c.tag), c.name);
        EXPECT_EQ(FtkChunkTagRank(c.tag), c.rank);
        EXPECT_EQ(FtkIsKfNodeTag(c.tag), c.kfNode);
    }
    // The name table is sorted and unique, so the lookup finds every entry.
    for (size_t i = 0; i < kFtkTagNameCount; ++i) {
        if (i > 0) {
            ASSERT_LT(kFtkTagNames[i - 1].tag, kFtkTagNames[i].tag);
        }
        EXPECT_STREQ(FtkChunkTagName(kFtkTagNames[i].tag), kFtkTagNames[i].name);
    }
}

TEST_F(FtkChunkTest, ReadsHeadersThenDataOnDemand)
{
    const Bytes bytes = SampleScene();
    ASSERT_NE(Load(bytes), nullptr);
    ASSERT_FALSE(FtkErrorPending());
    EXPECT_EQ(root->length, bytes.size());
    EXPECT_EQ(ChildTags(root), (std::vector<uint32_t>{M3D_VERSION, MDATA, KFDATA}));
    FtkChunk* faces = nullptr;
    FtkChunkFindDescendant(root, FACE_ARRAY, &faces);
    ASSERT_NE(faces, nullptr);
    // The material group after the face list is its child.
    EXPECT_EQ(ChildTags(faces), std::vector<uint32_t>{0x4130});
    FtkChunk* name = nullptr;
    FtkChunkFindDescendant(root, MAT_NAME, &name);
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->data, nullptr);
    FtkChunkDataRead(name);
    ASSERT_FALSE(FtkErrorPending());
    auto* text = static_cast<FtkNameData*>(name->data);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text->name, "red");
    FtkChunkDataDropIfReloadable(name);
    EXPECT_EQ(name->data, nullptr);
    FtkChunk* found = nullptr;
    FtkChunkFindDescendant(root, M3DMAGIC, &found);
    EXPECT_EQ(found, root);
}

// Every lie a file can tell about its lengths ends in ERR_INVALID_CHUNK with
// no read outside the chunk that holds it.
TEST_F(FtkChunkTest, HostileLengthsAreRefused)
{
    Bytes deep = TreeChunk(0x4D4D, {});
    for (int i = 0; i < 100; ++i)
        deep = TreeChunk(MDATA, {}, {deep});
    Bytes truncated = SampleScene();
    truncated.resize(truncated.size() - 5);
    struct Case {
        const char* name;
        Bytes bytes;
    };
    const std::vector<Case> cases = {
        {"child past parent", TreeChunk(M3DMAGIC, {}, {TreeChunk(MDATA, {}, {TreeChunk(M3D_VERSION, {1, 0, 0, 0})}, 100)})},
        {"child length below header", TreeChunk(M3DMAGIC, {}, {TreeChunk(MDATA, {}, {}, 3), Bytes{0, 0, 0}})},
        {"child length zero", TreeChunk(M3DMAGIC, {}, {TreeChunk(MDATA, {}, {}, 0)})},
        {"half a header at the end", TreeChunk(M3DMAGIC, {}, {TreeChunk(MDATA, {}), Bytes{0x02, 0x00, 0x0A}})},
        {"root past file end", TreeChunk(M3DMAGIC, {}, {TreeChunk(MDATA, {})}, 1000)},
        {"root below header", TreeChunk(M3DMAGIC, {}, {}, 2)},
        {"truncated file", truncated},
        {"own data past chunk", TreeChunk(M3DMAGIC, {}, {TreeChunk(COLOR_24, {1, 2}), TreeChunk(MDATA, {})})},
        {"face count past chunk", TreeChunk(M3DMAGIC, {}, {TreeChunk(FACE_ARRAY, {0xFF, 0xFF, 1, 2, 3, 4, 5, 6, 7, 8})})},
        {"face count cut", TreeChunk(M3DMAGIC, {}, {TreeChunk(FACE_ARRAY, {1})})},
        {"name without NUL", TreeChunk(M3DMAGIC, {}, {TreeChunk(NAMED_OBJECT, {'a', 'b', 'c'}), TreeChunk(MDATA, {})})},
        {"name too long", TreeChunk(M3DMAGIC, {}, {TreeChunk(NAMED_OBJECT, Text("abcdefghijklmnop"))})},
        {"kf header text past chunk", TreeChunk(M3DMAGIC, {}, {TreeChunk(KFHDR, {5, 0, 'a', 'b'})})},
        {"nesting too deep", deep},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FtkChunkFree(&root);
        FtkReset();
        ASSERT_NE(Load(c.bytes), nullptr);
        ASSERT_TRUE(FtkErrorPending());
        bool invalidChunk = false;
        bool reading = false;
        for (int i = 0; i < kFtkErrorSlots; ++i) {
            invalidChunk |= FtkErrorAt(i).code == ERR_INVALID_CHUNK || FtkErrorAt(i).code == ERR_READING_FILE;
            reading |= FtkErrorAt(i).code == ERR_READING_DATABASE;
        }
        EXPECT_TRUE(invalidChunk);
        EXPECT_TRUE(reading);
    }
}

TEST_F(FtkChunkTest, XdataKeepsOnlyKnownEntriesBeforeTheFirstUnknown)
{
    const Bytes bytes = TreeChunk(M3DMAGIC, {},
                              {TreeChunk(XDATA_SECTION, {},
                                     {TreeChunk(XDATA_ENTRY, {},
                                            {TreeChunk(XDATA_APPNAME, Text("app")),
                                             TreeChunk(0x8004, {1, 2, 3, 4}, {}, 200), // runs past the entry: dropped
                                             Bytes{1, 2, 3, 4}, // what that lying chunk claimed, read on as chunks
                                             TreeChunk(0x4000, Text("x")),
                                             TreeChunk(XDATA_STRING, Text("lost"))}),
                                      TreeChunk(XDATA_ENTRY, {}, {TreeChunk(XDATA_STRING, Text("kept"))})})});
    ASSERT_NE(Load(bytes), nullptr);
    ASSERT_FALSE(FtkErrorPending());
    FtkChunk* section = root->children;
    ASSERT_NE(section, nullptr);
    ASSERT_EQ(ChildTags(section), (std::vector<uint32_t>{XDATA_ENTRY, XDATA_ENTRY}));
    EXPECT_EQ(ChildTags(section->children), std::vector<uint32_t>{XDATA_APPNAME});
    EXPECT_EQ(ChildTags(section->children->next), std::vector<uint32_t>{XDATA_STRING});
}

TEST_F(FtkChunkTest, WriteFixesLengthsAndLeavesOutTransientChunks)
{
    FtkChunkCreateTagged(&root, M3DMAGIC);
    auto add = [](FtkChunk* parent, uint32_t tag) {
        FtkChunk* c = nullptr;
        FtkChunkCreateChildWithData(&c, tag);
        FtkChunkInsertChild(parent, c);
        return c;
    };
    auto name = [](FtkChunk* c, const char* text) { static_cast<FtkNameData*>(c->data)->name = FtkStrDup(text); };
    FtkChunk* mdata = add(root, MDATA);
    FtkChunk* object = add(mdata, NAMED_OBJECT);
    name(object, "box");
    name(add(object, PARENT_NAME), "never");
    add(object, N_TRI_OBJECT);
    add(mdata, MAT_ENTRY);
    FtkChunk* cleared = add(root, KFDATA);
    add(cleared, KFHDR);
    FtkChunkClear(cleared);
    *static_cast<uint32_t*>(add(root, M3D_VERSION)->data) = 3;

    const std::string path = Path("out.3ds");
    FtkFile* out = FtkFileOpen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    FtkChunkTreeWrite(root, out->slot);
    ASSERT_FALSE(FtkErrorPending());
    FtkFileClose(out);
    const Bytes expected = TreeChunk(M3DMAGIC, {},
                                 {TreeChunk(M3D_VERSION, {3, 0, 0, 0}),
                                  TreeChunk(MDATA, {}, {TreeChunk(MAT_ENTRY, {}), TreeChunk(NAMED_OBJECT, Text("box"), {TreeChunk(N_TRI_OBJECT, {})})})});
    EXPECT_EQ(ReadFile(path), expected);
    EXPECT_EQ(root->length, expected.size());
    EXPECT_EQ(mdata->length, 6u + 6u + 10u + 6u);
}

TEST_F(FtkChunkTest, ReadTreeWritesBackByteForByte)
{
    const Bytes bytes = SampleScene();
    FtkFile* in = Load(bytes);
    ASSERT_NE(in, nullptr);
    ASSERT_FALSE(FtkErrorPending());
    // Writing under the same name moves the source aside while it is read.
    const std::string path = Path("in.3ds");
    FtkFile* out = FtkFileOpen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    FtkChunkTreeWrite(root, out->slot);
    ASSERT_FALSE(FtkErrorPending());
    FtkFileClose(out);
    EXPECT_EQ(ReadFile(path), bytes);
    // Data read for the write was dropped again: the source can give it back.
    FtkChunk* name = nullptr;
    FtkChunkFindDescendant(root, MAT_NAME, &name);
    EXPECT_EQ(name->data, nullptr);
}

TEST_F(FtkChunkTest, ChunkOfAClosedOrReusedSlotIsNotReadAgain)
{
    ASSERT_NE(Load(SampleScene()), nullptr);
    FtkChunk* version = root->children;
    FtkFileClose(FtkFileByIndex(version->readSlot));
    const std::string other = Path("other.bin");
    WriteFile(other, Bytes(64, 0xEE));
    FtkFile* reuse = FtkFileOpen(other.c_str(), "rb");
    ASSERT_NE(reuse, nullptr);
    ASSERT_EQ(reuse->slot, version->readSlot);
    EXPECT_FALSE(FtkChunkCanReload(version));
    FtkChunkDataRead(version);
    EXPECT_TRUE(FtkErrorPending());
    EXPECT_EQ(version->data, nullptr);
}

TEST_F(FtkChunkTest, ReuseRemoveAndCopy)
{
    FtkChunkCreateTagged(&root, MDATA);
    FtkChunk* a = nullptr;
    FtkChunkReuseChild(root, NAMED_OBJECT, &a);
    FtkChunkDataAlloc(a);
    FtkChunk* scale = nullptr;
    FtkChunkReuseChild(root, 0x0100, &scale);
    FtkChunk* last = nullptr;
    FtkChunkReuseChild(root, 0x4010, &last);
    FtkChunk* again = nullptr;
    FtkChunkReuseChild(root, NAMED_OBJECT, &again);
    EXPECT_EQ(again, a);
    EXPECT_EQ(a->data, nullptr);
    EXPECT_EQ(ChildTags(root), (std::vector<uint32_t>{0x0100, NAMED_OBJECT, 0x4010}));

    auto* value = static_cast<float*>(FtkChunkDataAlloc(scale));
    *value = 42;
    FtkChunk* copy = nullptr;
    FtkChunkCopyTree(root, &copy);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(ChildTags(copy), ChildTags(root));
    EXPECT_EQ(copy->next, nullptr);
    auto* copied = static_cast<float*>(copy->children->data);
    ASSERT_NE(copied, nullptr);
    EXPECT_NE(copied, value);
    EXPECT_EQ(*copied, 42);
    FtkChunkFree(&copy);
    EXPECT_EQ(copy, nullptr);

    // Removing one child leaves its following siblings in place.
    FtkChunkRemoveChild(root, a);
    EXPECT_EQ(ChildTags(root), (std::vector<uint32_t>{0x0100, 0x4010}));
    EXPECT_FALSE(FtkErrorPending());
}

// Seeded byte flips, truncations and length rewrites of a valid scene: the
// read either succeeds or stops with an error, never leaving the file's bytes.
TEST_F(FtkChunkTest, MutatedScenesNeverReadOutOfBounds)
{
    const Bytes good = SampleScene();
    std::mt19937 random(1234);
    for (int round = 0; round < 400; ++round) {
        Bytes bytes = good;
        switch (round % 3) {
        case 0:
            bytes[random() % bytes.size()] = uint8_t(random());
            break;
        case 1:
            bytes.resize(random() % bytes.size());
            break;
        default: {
            // A length field of some chunk header: every sixth offset is a guess.
            size_t at = 2 + (random() % (bytes.size() - 6));
            uint32_t length = random() % 3 == 0 ? uint32_t(random()) : uint32_t(random() % 64);
            for (int i = 0; i < 4; ++i)
                bytes[at + size_t(i)] = uint8_t(length >> (8 * i));
        }
        }
        FtkChunkFree(&root);
        FtkReset();
        FtkFile* f = Load(bytes);
        if (!f)
            continue;
        if (!FtkErrorPending()) {
            // An accepted tree writes back unless a chunk's data does not
            // fit its layout, and what it wrote (null chunks left out) reads
            // and writes again to the same bytes.
            Bytes written[2];
            for (Bytes& w : written) {
                FtkFile* out = FtkFileOpen(Path("out.3ds").c_str(), "wb");
                ASSERT_NE(out, nullptr);
                FtkChunkTreeWrite(root, out->slot);
                if (&w == &written[0] && FtkErrorPending()) {
                    const int32_t code = FtkErrorAt(0).code;
                    EXPECT_TRUE(code == ERR_INVALID_CHUNK || code == ERR_READING_FILE) << "round " << round << " code " << code;
                    break;
                }
                ASSERT_FALSE(FtkErrorPending()) << "round " << round;
                FtkFileClose(out);
                w = ReadFile(Path("out.3ds"));
                if (w.empty())
                    break; // a null root writes nothing
                FtkChunkFree(&root);
                ASSERT_NE(Load(w), nullptr);
                ASSERT_FALSE(FtkErrorPending()) << "round " << round;
            }
            if (!written[0].empty()) {
                EXPECT_EQ(written[0], written[1]) << "round " << round;
            }
        }
    }
}

} // namespace
