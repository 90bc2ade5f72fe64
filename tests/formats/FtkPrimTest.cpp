#include "FtkTestSupport.h"

#include "sdk/formats/3dsftk/FtkPrim.h"

#include <cstring>
#include <functional>

using namespace duzsdk;
namespace {

using Bytes = std::vector<unsigned char>;

class FtkPrimTest : public FtkTest {};

TEST_F(FtkPrimTest, PrimitivesRoundTripInLittleEndianOrder)
{
    const std::string path = Path("prims.bin");
    FtkFile* out = FtkFileOpen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    FtkSetCurrentFile(out);
    FtkWriteByte(0xAB);
    FtkWriteShort(0x1234);
    FtkWriteLong(0xDEADBEEF);
    FtkWriteFloat(1.5f);
    FtkWriteVector({1.0f, -2.0f, 3.25f});
    FtkWriteTexVert({0.5f, 0.75f});
    FtkWriteFace({1, 2, 65535, 7});
    FtkWriteTrackHeader({0x40, 1, 2, 3});
    FtkKeyHeader key;
    key.time = 30;
    key.rflags = kFtkKeyTension | kFtkKeyBias;
    key.tension = 0.25f;
    key.continuity = 9.0f; // flag not set: must not reach the file
    key.bias = -0.5f;
    FtkWriteKeyHeader(key);
    FtkWriteString("abc");
    FtkWriteStringPadded("xyz", 11);
    FtkChunkHeaderWrite(0x4D4D, 0x0102);
    ASSERT_FALSE(FtkErrorPending());
    FtkFileClose(out);

    Bytes bytes = ReadFile(path);
    // 1 + 2 + 4 + 4 + 12 + 8 + 8 + 14 + (6 + 8) + 4 + 11 + 6
    ASSERT_EQ(bytes.size(), 88u);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 7), (Bytes{0xAB, 0x34, 0x12, 0xEF, 0xBE, 0xAD, 0xDE}));
    EXPECT_EQ(Bytes(bytes.begin() + 7, bytes.begin() + 11), (Bytes{0x00, 0x00, 0xC0, 0x3F}));
    EXPECT_EQ(Bytes(bytes.begin() + 67, bytes.begin() + 82),
              (Bytes{'a', 'b', 'c', 0, 'x', 'y', 'z', 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Bytes(bytes.end() - 6, bytes.end()), (Bytes{0x4D, 0x4D, 0x02, 0x01, 0, 0}));

    ASSERT_NE(OpenForRead(path), nullptr);
    EXPECT_EQ(FtkReadByte(), 0xAB);
    EXPECT_EQ(FtkReadShort(), 0x1234);
    EXPECT_EQ(FtkReadLong(), 0xDEADBEEFu);
    EXPECT_EQ(FtkReadFloat(), 1.5f);
    FtkVector v;
    FtkReadVector(&v);
    EXPECT_EQ(v.x, 1.0f);
    EXPECT_EQ(v.y, -2.0f);
    EXPECT_EQ(v.z, 3.25f);
    FtkTexVert t;
    FtkReadTexVert(&t);
    EXPECT_EQ(t.u, 0.5f);
    EXPECT_EQ(t.v, 0.75f);
    FtkFace f;
    FtkReadFace(&f);
    EXPECT_EQ(f.v3, 65535);
    EXPECT_EQ(f.flag, 7);
    FtkTrackHeader th;
    FtkReadTrackHeader(&th);
    EXPECT_EQ(th.flags, 0x40);
    EXPECT_EQ(th.keyCount, 3u);
    long before = FtkFileTell();
    FtkKeyHeader k;
    FtkReadKeyHeader(&k);
    EXPECT_EQ(FtkFileTell() - before, 14);
    EXPECT_EQ(FtkKeyHeaderSize(k.rflags), 14u);
    EXPECT_EQ(k.time, 30u);
    EXPECT_EQ(k.tension, 0.25f);
    EXPECT_EQ(k.continuity, 0.0f);
    EXPECT_EQ(k.bias, -0.5f);
    char* s = nullptr;
    FtkReadString(&s, 10);
    ASSERT_NE(s, nullptr);
    EXPECT_STREQ(s, "abc");
    FtkMemFree(s);
    FtkReadFixedStringCopy(&s, 10);
    ASSERT_NE(s, nullptr);
    EXPECT_STREQ(s, "xyz");
    FtkMemFree(s);
    // The fixed field was consumed whole: the chunk header follows.
    EXPECT_EQ(FtkReadShort(), 0x4D4D);
    EXPECT_EQ(FtkReadLong(), 0x0102u);
    EXPECT_FALSE(FtkErrorPending());
}

// Each read primitive on a file too short for it gives zeroes and ERR_READING_FILE.
TEST_F(FtkPrimTest, ShortReadsGiveZeroAndReadingError)
{
    struct Case {
        const char* name;
        Bytes bytes;
        std::function<bool()> readIsZero;
    };
    const std::vector<Case> cases = {
        {"byte", {}, [] { return FtkReadByte() == 0; }},
        {"short", {0x01}, [] { return FtkReadShort() == 0; }},
        {"long", {1, 2, 3}, [] { return FtkReadLong() == 0; }},
        {"float", {0, 0, 0x80}, [] { return FtkReadFloat() == 0.0f; }},
        {"vector", {0, 0, 0x80, 0x3F, 1, 2}, [] {
             FtkVector v{9, 9, 9};
             FtkReadVector(&v);
             return v.x == 1.0f && v.y == 0 && v.z == 0;
         }},
        {"key header", {1, 0, 0, 0, 0x01, 0, 0, 0}, [] {
             FtkKeyHeader k;
             FtkReadKeyHeader(&k);
             return k.time == 1 && k.tension == 0;
         }},
        {"string without NUL", {'a', 'b', 'c', 'd'}, [] {
             char* s = reinterpret_cast<char*>(1);
             FtkReadString(&s, 10);
             return s == nullptr;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FtkReset();
        const std::string path = Path("short.bin");
        WriteFile(path, c.bytes);
        ASSERT_NE(OpenForRead(path), nullptr);
        EXPECT_TRUE(c.readIsZero());
        EXPECT_TRUE(FtkErrorPending());
        EXPECT_EQ(FtkErrorAt(0).code, ERR_READING_FILE);
    }
}

TEST_F(FtkPrimTest, StringLimitsAreEnforced)
{
    const std::string path = Path("strings.bin");
    // 12 characters then NUL: one more than an 11-byte field holds.
    WriteFile(path, {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l', 0});
    ASSERT_NE(OpenForRead(path), nullptr);
    char field[11];
    FtkReadStringInto(field, sizeof field);
    EXPECT_EQ(FtkErrorAt(0).code, ERR_READING_FILE);
    EXPECT_EQ(field[10], 0);
    EXPECT_EQ(FtkFileTell(), 11);

    FtkReset();
    ASSERT_NE(OpenForRead(path), nullptr);
    char* s = nullptr;
    FtkReadString(&s, 12); // 12 characters fit with their NUL
    ASSERT_NE(s, nullptr);
    EXPECT_STREQ(s, "abcdefghijkl");
    FtkMemFree(s);
}

TEST_F(FtkPrimTest, PaddedStringTooLongIsCutAndReported)
{
    const std::string path = Path("padded.bin");
    FtkFile* out = FtkFileOpen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    FtkSetCurrentFile(out);
    FtkWriteStringPadded("0123456789AB", 11);
    EXPECT_EQ(FtkErrorAt(0).code, ERR_STRING_TOO_LONG);
    FtkFileClose(out);
    Bytes bytes = ReadFile(path);
    ASSERT_EQ(bytes.size(), 11u);
    EXPECT_EQ(bytes[10], 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes.data())), "0123456789");
}

TEST_F(FtkPrimTest, LengthPatchRewritesInPlace)
{
    const std::string path = Path("patch.bin");
    FtkFile* out = FtkFileOpen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    FtkSetCurrentFile(out);
    FtkWriteLong(0x11111111);
    FtkChunkHeaderWrite(0x3D3D, 0);
    FtkWriteLong(0x22222222);
    FtkChunkLengthPatch(4, FtkFileTell());
    FtkWriteByte(0x33); // continues at the end
    ASSERT_FALSE(FtkErrorPending());
    FtkFileClose(out);
    EXPECT_EQ(ReadFile(path), (Bytes{0x11, 0x11, 0x11, 0x11, 0x3D, 0x3D, 10, 0, 0, 0, 0x22, 0x22, 0x22, 0x22, 0x33}));
}

TEST_F(FtkPrimTest, PrimitivesWithoutCurrentFileFail)
{
    FtkSetCurrentFile(nullptr);
    FtkWriteShort(1);
    EXPECT_EQ(FtkErrorAt(0).code, ERR_WRITING_FILE);
    EXPECT_EQ(FtkReadLong(), 0u);
    EXPECT_EQ(FtkErrorAt(1).code, ERR_READING_FILE);
}

TEST_F(FtkPrimTest, CheckNameLength)
{
    EXPECT_EQ(FtkCheckNameLength("abcd", 3), 4u); // max + 1 still passes
    EXPECT_FALSE(FtkErrorPending());
    EXPECT_EQ(FtkCheckNameLength("abcde", 3), 0u);
    EXPECT_EQ(FtkErrorAt(0).code, ERR_STRING_TOO_LONG);
    EXPECT_EQ(FtkCheckNameLength(nullptr, 3), 0u);
    EXPECT_EQ(FtkErrorAt(1).code, ERR_INVALID_ARG);
}

} // namespace
