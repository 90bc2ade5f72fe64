#include "FtkTestSupport.h"

#include "sdk/formats/3dsftk/FtkChunk.h"
#include "sdk/formats/3dsftk/FtkChunkData.h"
#include "sdk/formats/3dsftk/FtkPrim.h"

#include <cstring>

using namespace duzsdk;
namespace {

using namespace ftkbytes;

class FtkChunkDataTest : public FtkTest {
protected:
    void TearDown() override
    {
        FtkChunkFree(&chunk);
        FtkTest::TearDown();
    }
    // Reads the bytes as one top chunk and its data.
    void* Read(const Bytes& bytes)
    {
        FtkChunkFree(&chunk);
        const std::string path = Path("one.bin");
        FtkFileClose(FtkFileFindByName(path.c_str()));
        WriteFile(path, bytes);
        FtkFile* f = OpenForRead(path);
        if (!f)
            return nullptr;
        FtkChunkCreate(&chunk);
        chunk->readSlot = f->slot;
        chunk->readGeneration = f->generation;
        FtkChunkHeaderRead(chunk);
        return FtkChunkDataRead(chunk);
    }
    // Writes the chunk (data only, no children) and gives the bytes.
    Bytes Write(FtkChunk* c)
    {
        const std::string path = Path("out.bin");
        FtkFile* out = FtkFileOpen(path.c_str(), "wb");
        FtkChunkTreeWrite(c, out->slot);
        FtkFileClose(out);
        return ReadFile(path);
    }
    FtkChunk* chunk = nullptr;
};

// Each layout read from its bytes and written back gives the same bytes.
TEST_F(FtkChunkDataTest, LayoutsRoundTrip)
{
    const struct {
        const char* what;
        Bytes chunk;
    } cases[] = {
        {"empty point array", Chunk(POINT_ARRAY, Le16(0))},
        {"point array", Chunk(POINT_ARRAY, Cat({Le16(2), F32(1), F32(2), F32(3), F32(-4), F32(5), F32(6.5f)}))},
        {"faces", Chunk(FACE_ARRAY, Cat({Le16(1), Le16(0), Le16(1), Le16(2), Le16(7)}))},
        {"smoothing has no count", Chunk(SMOOTH_GROUP, Cat({Le32(1), Le32(2), Le32(0x80000000)}))},
        {"material group", Chunk(MSH_MAT_GROUP, Cat({Str("red"), Le16(2), Le16(0), Le16(5)}))},
        {"box map", Chunk(MSH_BOXMAP, Cat({Str("a"), Str("b"), Str("c"), Str("d"), Str("e"), Str("f")}))},
        {"texture info", Chunk(MESH_TEXTURE_INFO, Cat({Le16(3), Bytes(21 * 4, 0x3F)}))},
        {"rotation keys", Chunk(ROT_TRACK_TAG, Cat({Le16(0x40), Le32(0), Le32(0), Le32(2),
                                                    Le32(0), Le16(0), F32(0), F32(0), F32(0), F32(1),
                                                    Le32(10), Le16(1), F32(0.5f), F32(1), F32(1), F32(0), F32(0)}))},
        {"morph keys", Chunk(MORPH_TRACK_TAG, Cat({Le16(0), Le32(0), Le32(0), Le32(1), Le32(5), Le16(0x05), F32(1), F32(2), Str("target")}))},
        {"hide keys", Chunk(HIDE_TRACK_TAG, Cat({Le16(0), Le32(0), Le32(0), Le32(2), Le32(5), Le16(0), Le32(9), Le16(0)}))},
        {"node header", Chunk(NODE_HDR, Cat({Str("box"), Le16(0x4000), Le16(1), Le16(0xFFFF)}))},
        {"keyframer header", Chunk(KFHDR, Cat({Le16(5), Str("scene.mli"), Le32(100)}))},
        {"viewport camera name is padded", Chunk(VIEWPORT_DATA_3, Cat({Bytes(14, 1), Bytes(24, 0), Str("cam"), Bytes(7, 0)}))},
        {"acubic", Chunk(MAT_ACUBIC, Cat({Bytes{0, 1}, Le16(0x11), Le32(100), Le32(1)}))},
        {"layer fog", Chunk(LAYER_FOG, Cat({F32(0), F32(10), F32(0.5f), Le32(3)}))},
        {"user view", Chunk(VIEW_USER, Cat({F32(1), F32(2), F32(3), F32(4), F32(5), F32(6), F32(7)}))},
        {"xdata text", Chunk(XDATA_STRING, Str("a text longer than any name field"))},
        {"raw tag keeps its bytes", Chunk(0xC0D0, Bytes{1, 2, 3, 4})},
        {"procedural block", Chunk(PROC_DATA, Bytes{9, 8, 7})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FtkReset();
        ASSERT_NE(Read(c.chunk), nullptr);
        ASSERT_FALSE(FtkErrorPending());
        // A copy built in memory writes the same bytes as the chunk read from the file.
        FtkChunk* copy = nullptr;
        FtkChunkCreateTagged(&copy, chunk->tag);
        FtkChunkDataCopy(chunk, copy);
        EXPECT_EQ(Write(chunk), c.chunk);
        EXPECT_EQ(Write(copy), c.chunk);
        EXPECT_FALSE(FtkErrorPending());
        FtkChunkFree(&copy);
    }
}

TEST_F(FtkChunkDataTest, DecodedFields)
{
    auto* smooth = static_cast<FtkSmoothGroupData*>(Read(Chunk(SMOOTH_GROUP, Cat({Le32(1), Le32(2), Le32(4)}))));
    ASSERT_NE(smooth, nullptr);
    EXPECT_EQ(smooth->count, 3);
    EXPECT_EQ(smooth->groups[2], 4u);

    // Two keys, the second with tension: 6 + 14 + 2 x (6 + 16) + 4 bytes.
    const Bytes rot = Chunk(ROT_TRACK_TAG, Cat({Le16(0), Le32(0), Le32(0), Le32(2), Le32(0), Le16(0), Bytes(16, 0),
                                                Le32(7), Le16(1), F32(0.25f), F32(90), F32(0), F32(0), F32(1)}));
    EXPECT_EQ(rot.size(), 6u + 14 + 2 * (6 + 16) + 4);
    auto* track = static_cast<FtkTrackData*>(Read(rot));
    ASSERT_NE(track, nullptr);
    EXPECT_EQ(track->header.keyCount, 2u);
    EXPECT_EQ(track->keys[1].time, 7u);
    EXPECT_FLOAT_EQ(track->keys[1].tension, 0.25f);
    EXPECT_FLOAT_EQ(static_cast<float*>(track->values)[4], 90.f);

    auto* camera = static_cast<FtkNCameraData*>(Read(Chunk(N_CAMERA, Cat({F32(1), F32(2), F32(3), F32(4), F32(5), F32(6), F32(7), F32(8)}))));
    ASSERT_NE(camera, nullptr);
    EXPECT_FLOAT_EQ(camera->target.x, 4);
    EXPECT_FLOAT_EQ(camera->focal, 8);

    auto* view = static_cast<FtkViewportData*>(Read(Chunk(VIEWPORT_DATA, Cat({Bytes(14, 0), Bytes(24, 0), Str("cam"), Bytes(7, 0)}))));
    ASSERT_NE(view, nullptr);
    EXPECT_STREQ(view->cameraName, "cam");

    // Containers have no data and read nothing.
    EXPECT_EQ(Read(Chunk(MAT_ENTRY, Bytes{})), nullptr);
    EXPECT_FALSE(FtkErrorPending());
}

// Counts and texts are checked against the chunk before anything is
// allocated or read, so a file cannot make the toolkit read its neighbours.
TEST_F(FtkChunkDataTest, BadCountsAndTextsAreRefused)
{
    const struct {
        const char* what;
        Bytes chunk;
        int32_t code;
    } cases[] = {
        {"point count past the chunk", Chunk(POINT_ARRAY, Cat({Le16(3), Bytes(24, 0)})), ERR_INVALID_CHUNK},
        {"face count past the chunk", Chunk(FACE_ARRAY, Cat({Le16(0xFFFF), Bytes(8, 0)})), ERR_INVALID_CHUNK},
        {"group faces past the chunk", Chunk(MSH_MAT_GROUP, Cat({Str("m"), Le16(9), Le16(0)})), ERR_INVALID_CHUNK},
        {"huge key count", Chunk(POS_TRACK_TAG, Cat({Le16(0), Le32(0), Le32(0), Le32(0x7FFFFFFF), Bytes(18, 0)})), ERR_INVALID_CHUNK},
        {"key floats past the chunk", Chunk(FOV_TRACK_TAG, Cat({Le16(0), Le32(0), Le32(0), Le32(1), Le32(0), Le16(0x1F), F32(1), F32(1)})), ERR_INVALID_CHUNK},
        {"short scalar", Chunk(MASTER_SCALE, Bytes{0, 0}), ERR_INVALID_CHUNK},
        {"name of 17 characters", Chunk(MAT_NAME, Str("abcdefghijklmnopq")), ERR_READING_FILE},
        {"name without its NUL", Chunk(NAMED_OBJECT, Bytes{'a', 'b'}), ERR_INVALID_CHUNK},
        {"morph name of 10 characters", Chunk(MORPH_TRACK_TAG, Cat({Le16(0), Le32(0), Le32(0), Le32(1), Le32(0), Le16(0), Str("abcdefghij")})), ERR_READING_FILE},
        {"length below a header", Chunk(MESH_MATRIX, Bytes(48, 0), 4), ERR_READING_FILE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FtkReset();
        Read(c.chunk);
        EXPECT_TRUE(FtkErrorPending());
        bool found = false;
        for (int i = 0; i < kFtkErrorSlots; ++i)
            found = found || FtkErrorAt(i).code == c.code;
        EXPECT_TRUE(found);
    }
}

TEST_F(FtkChunkDataTest, TextsTheLoaderRefusesAreNotWritten)
{
    FtkChunk* c = nullptr;
    auto* name = static_cast<FtkNameData*>(FtkChunkCreateChildWithData(&c, MAT_MAPNAME));
    ASSERT_NE(name, nullptr);
    name->name = FtkStrDup("thirteen_char");
    Write(c);
    EXPECT_EQ(FtkErrorAt(0).code, ERR_STRING_TOO_LONG);
    FtkChunkFree(&c);
    EXPECT_EQ(FtkTextLimit(NAMED_OBJECT), 10u);
    EXPECT_EQ(FtkTextLimit(MAT_NAME), 16u);
    EXPECT_EQ(FtkTextLimit(MAT_MAPNAME), 12u);
}

} // namespace
