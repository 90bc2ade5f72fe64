#pragma once
// Read/write primitives of the 3DS toolkit on the current file (little-endian
// on file), allocation wrappers and string helpers.
#include <cstddef>
#include <cstdint>

namespace duzsdk {

struct FtkVector {
    float x = 0, y = 0, z = 0;
};
struct FtkTexVert {
    float u = 0, v = 0;
};
struct FtkFace {
    uint16_t v1 = 0, v2 = 0, v3 = 0, flag = 0;
};
struct FtkTrackHeader {
    uint16_t flags = 0;
    uint32_t nu1 = 0, nu2 = 0;
    uint32_t keyCount = 0;
};
enum : uint16_t {
    kFtkKeyTension = 0x01,
    kFtkKeyContinuity = 0x02,
    kFtkKeyBias = 0x04,
    kFtkKeyEaseTo = 0x08,
    kFtkKeyEaseFrom = 0x10,
};
struct FtkKeyHeader {
    uint32_t time = 0;
    uint16_t rflags = 0;
    float tension = 0, continuity = 0, bias = 0, easeTo = 0, easeFrom = 0;
};
struct FtkChunk;

void* FtkMemAlloc(const char* file, int line, size_t size);
void* FtkMemCalloc(const char* file, int line, size_t count, size_t size);
void* FtkMemRealloc(const char* file, int line, void* block, size_t size);
void FtkMemFree(void* block);
char* FtkStrDup(const char* text);
size_t FtkCheckNameLength(const char* text, size_t max);

// Byte order hooks: file bytes <-> memory values.
void FtkCopyShort(const unsigned char* in, uint16_t* out);
void FtkCopyLong(const unsigned char* in, uint32_t* out);
void FtkCopyFloat(const unsigned char* in, float* out);

void FtkWriteByte(uint8_t value);
uint8_t FtkReadByte();
void FtkWriteShort(uint16_t value);
uint16_t FtkReadShort();
void FtkWriteLong(uint32_t value);
uint32_t FtkReadLong();
void FtkWriteFloat(float value);
float FtkReadFloat();
void FtkWriteBytes(size_t count, const void* bytes);
void FtkReadBytes(size_t count, void* buffer);
void FtkWriteVector(const FtkVector& v);
void FtkReadVector(FtkVector* v);
void FtkWriteTexVert(const FtkTexVert& t);
void FtkReadTexVert(FtkTexVert* t);
void FtkWriteFace(const FtkFace& f);
void FtkReadFace(FtkFace* f);
void FtkWriteTrackHeader(const FtkTrackHeader& t);
void FtkReadTrackHeader(FtkTrackHeader* t);
void FtkWriteKeyHeader(const FtkKeyHeader& k);
void FtkReadKeyHeader(FtkKeyHeader* k);
// Bytes a key header occupies on file for these spline flags.
size_t FtkKeyHeaderSize(uint16_t rflags);
void FtkChunkHeaderWrite(uint16_t tag, uint32_t length);
void FtkChunkLengthPatch(long start, long end);

void FtkWriteString(const char* text);
// Writes exactly size bytes; a text of size or more characters is cut to
// size - 1 and ERR_STRING_TOO_LONG is pushed, so later fields stay in place.
void FtkWriteStringPadded(const char* text, size_t size);
void FtkReadStringInto(char* buffer, size_t limit);
void FtkReadString(char** out, size_t max);
void FtkReadFixedString(char* buffer, size_t size);
void FtkReadFixedStringCopy(char** out, size_t max);

} // namespace duzsdk
