#include "sdk/formats/3dsftk/FtkPrim.h"

#include "sdk/base/KMemory.h"
#include "sdk/formats/3dsftk/FtkError.h"
#include "sdk/formats/3dsftk/FtkFile.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>

namespace duzsdk {

void* FtkMemAlloc(const char*, int, size_t size)
{
    return KMemAlloc(size);
}

void* FtkMemCalloc(const char*, int, size_t count, size_t size)
{
    return KMemCalloc(count, size);
}

void* FtkMemRealloc(const char*, int, void* block, size_t size)
{
    return KMemRealloc(block, size);
}

void FtkMemFree(void* block)
{
    KMemFree(block);
}

char* FtkStrDup(const char* text)
{
    if (!text)
        return nullptr;
    size_t length = std::strlen(text) + 1;
    auto* copy = static_cast<char*>(FtkMemAlloc(__FILE__, __LINE__, length));
    if (copy)
        std::memcpy(copy, text, length);
    return copy;
}

size_t FtkCheckNameLength(const char* text, size_t max)
{
    if (!text) {
        FtkPushError(ERR_INVALID_ARG);
        return 0;
    }
    size_t length = strnlen(text, max + 2);
    if (length > max + 1) {
        FtkPushError(ERR_STRING_TOO_LONG);
        return 0;
    }
    return length;
}

void FtkCopyShort(const unsigned char* in, uint16_t* out)
{
    *out = static_cast<uint16_t>(in[0] | (in[1] << 8));
}

void FtkCopyLong(const unsigned char* in, uint32_t* out)
{
    *out = uint32_t(in[0]) | (uint32_t(in[1]) << 8) | (uint32_t(in[2]) << 16) | (uint32_t(in[3]) << 24);
}

void FtkCopyFloat(const unsigned char* in, float* out)
{
    uint32_t bits;
    FtkCopyLong(in, &bits);
    std::memcpy(out, &bits, 4);
}

namespace {

bool WriteRaw(const unsigned char* bytes, size_t count)
{
    FILE* stream = FtkCurrentFile();
    if (!stream || std::fwrite(bytes, 1, count, stream) != count) {
        FtkPushError(ERR_WRITING_FILE);
        return false;
    }
    return true;
}

bool ReadRaw(unsigned char* bytes, size_t count)
{
    FILE* stream = FtkCurrentFile();
    if (!stream || std::fread(bytes, 1, count, stream) != count) {
        FtkPushError(ERR_READING_FILE);
        return false;
    }
    return true;
}

void PutLong(unsigned char* out, uint32_t value)
{
    out[0] = uint8_t(value);
    out[1] = uint8_t(value >> 8);
    out[2] = uint8_t(value >> 16);
    out[3] = uint8_t(value >> 24);
}

} // namespace

void FtkWriteByte(uint8_t value)
{
    WriteRaw(&value, 1);
}

uint8_t FtkReadByte()
{
    unsigned char b = 0;
    return ReadRaw(&b, 1) ? b : 0;
}

void FtkWriteShort(uint16_t value)
{
    unsigned char b[2] = {uint8_t(value), uint8_t(value >> 8)};
    WriteRaw(b, 2);
}

uint16_t FtkReadShort()
{
    unsigned char b[2];
    uint16_t value = 0;
    if (ReadRaw(b, 2))
        FtkCopyShort(b, &value);
    return value;
}

void FtkWriteLong(uint32_t value)
{
    unsigned char b[4];
    PutLong(b, value);
    WriteRaw(b, 4);
}

uint32_t FtkReadLong()
{
    unsigned char b[4];
    uint32_t value = 0;
    if (ReadRaw(b, 4))
        FtkCopyLong(b, &value);
    return value;
}

void FtkWriteFloat(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    FtkWriteLong(bits);
}

float FtkReadFloat()
{
    unsigned char b[4];
    float value = 0;
    if (ReadRaw(b, 4))
        FtkCopyFloat(b, &value);
    return value;
}

void FtkWriteBytes(size_t count, const void* bytes)
{
    auto* p = static_cast<const unsigned char*>(bytes);
    for (size_t i = 0; i < count; ++i) {
        FtkWriteByte(p[i]);
        if (FtkErrorPending())
            return;
    }
}

void FtkReadBytes(size_t count, void* buffer)
{
    auto* p = static_cast<unsigned char*>(buffer);
    for (size_t i = 0; i < count; ++i) {
        p[i] = FtkReadByte();
        if (FtkErrorPending())
            return;
    }
}

void FtkWriteVector(const FtkVector& v)
{
    for (float f : {v.x, v.y, v.z}) {
        FtkWriteFloat(f);
        if (FtkErrorPending())
            return;
    }
}

void FtkReadVector(FtkVector* v)
{
    *v = {};
    for (float* f : {&v->x, &v->y, &v->z}) {
        *f = FtkReadFloat();
        if (FtkErrorPending())
            return;
    }
}

void FtkWriteTexVert(const FtkTexVert& t)
{
    FtkWriteFloat(t.u);
    if (!FtkErrorPending())
        FtkWriteFloat(t.v);
}

void FtkReadTexVert(FtkTexVert* t)
{
    *t = {};
    t->u = FtkReadFloat();
    if (!FtkErrorPending())
        t->v = FtkReadFloat();
}

void FtkWriteFace(const FtkFace& f)
{
    for (uint16_t s : {f.v1, f.v2, f.v3, f.flag}) {
        FtkWriteShort(s);
        if (FtkErrorPending())
            return;
    }
}

void FtkReadFace(FtkFace* f)
{
    *f = {};
    for (uint16_t* s : {&f->v1, &f->v2, &f->v3, &f->flag}) {
        *s = FtkReadShort();
        if (FtkErrorPending())
            return;
    }
}

void FtkWriteTrackHeader(const FtkTrackHeader& t)
{
    FtkWriteShort(t.flags);
    for (uint32_t l : {t.nu1, t.nu2, t.keyCount}) {
        if (FtkErrorPending())
            return;
        FtkWriteLong(l);
    }
}

void FtkReadTrackHeader(FtkTrackHeader* t)
{
    *t = {};
    t->keyCount = 1;
    t->flags = FtkReadShort();
    for (uint32_t* l : {&t->nu1, &t->nu2, &t->keyCount}) {
        if (FtkErrorPending())
            return;
        *l = FtkReadLong();
    }
}

namespace {

struct KeyField {
    uint16_t bit;
    float FtkKeyHeader::*member;
};
constexpr KeyField kKeyFields[] = {
    {kFtkKeyTension, &FtkKeyHeader::tension},
    {kFtkKeyContinuity, &FtkKeyHeader::continuity},
    {kFtkKeyBias, &FtkKeyHeader::bias},
    {kFtkKeyEaseTo, &FtkKeyHeader::easeTo},
    {kFtkKeyEaseFrom, &FtkKeyHeader::easeFrom},
};

} // namespace

size_t FtkKeyHeaderSize(uint16_t rflags)
{
    size_t size = 6;
    for (const KeyField& f : kKeyFields)
        if (rflags & f.bit)
            size += 4;
    return size;
}

void FtkWriteKeyHeader(const FtkKeyHeader& k)
{
    FtkWriteLong(k.time);
    if (FtkErrorPending())
        return;
    FtkWriteShort(k.rflags);
    for (const KeyField& f : kKeyFields) {
        if (FtkErrorPending())
            return;
        if (k.rflags & f.bit)
            FtkWriteFloat(k.*f.member);
    }
}

void FtkReadKeyHeader(FtkKeyHeader* k)
{
    *k = {};
    k->time = FtkReadLong();
    if (FtkErrorPending())
        return;
    k->rflags = FtkReadShort();
    for (const KeyField& f : kKeyFields) {
        if (FtkErrorPending())
            return;
        if (k->rflags & f.bit)
            k->*f.member = FtkReadFloat();
    }
}

void FtkChunkHeaderWrite(uint16_t tag, uint32_t length)
{
    FtkWriteShort(tag);
    if (!FtkErrorPending())
        FtkWriteLong(length);
}

void FtkChunkLengthPatch(long start, long end)
{
    if (start < 0 || end < start || FtkFileSeek(start + 2) != 0) {
        FtkPushError(ERR_WRITING_FILE);
        return;
    }
    FtkWriteLong(static_cast<uint32_t>(end - start));
    if (!FtkErrorPending() && FtkFileSeek(end) != 0)
        FtkPushError(ERR_WRITING_FILE);
}

void FtkWriteString(const char* text)
{
    if (!text)
        text = "";
    FtkWriteBytes(std::strlen(text) + 1, text);
}

void FtkWriteStringPadded(const char* text, size_t size)
{
    if (size == 0)
        return;
    if (!text)
        text = "";
    size_t length = strnlen(text, size);
    bool tooLong = length >= size;
    if (tooLong)
        length = size - 1;
    FtkWriteBytes(length, text);
    for (size_t i = length; i < size && !FtkErrorPending(); ++i)
        FtkWriteByte(0);
    if (tooLong && !FtkErrorPending())
        FtkPushError(ERR_STRING_TOO_LONG);
}

void FtkReadStringInto(char* buffer, size_t limit)
{
    for (size_t i = 0; i < limit; ++i) {
        buffer[i] = static_cast<char>(FtkReadByte());
        if (FtkErrorPending())
            return;
        if (buffer[i] == 0)
            return;
    }
    // No NUL within the limit: terminate what we have for callers that look.
    if (limit > 0)
        buffer[limit - 1] = 0;
    FtkPushError(ERR_READING_FILE);
}

void FtkReadString(char** out, size_t max)
{
    *out = nullptr;
    auto* scratch = static_cast<char*>(FtkMemCalloc(__FILE__, __LINE__, max + 1, 1));
    if (!scratch) {
        FtkPushError(ERR_NO_MEM);
        return;
    }
    FtkReadStringInto(scratch, max + 1);
    if (!FtkErrorPending()) {
        *out = FtkStrDup(scratch);
        if (!*out)
            FtkPushError(ERR_NO_MEM);
    }
    FtkMemFree(scratch);
}

void FtkReadFixedString(char* buffer, size_t size)
{
    FtkReadStringInto(buffer, size);
    if (FtkErrorPending())
        return;
    size_t used = std::strlen(buffer) + 1;
    if (used < size)
        FtkReadBytes(size - used, buffer + used);
}

void FtkReadFixedStringCopy(char** out, size_t max)
{
    *out = nullptr;
    auto* scratch = static_cast<char*>(FtkMemCalloc(__FILE__, __LINE__, max + 1, 1));
    if (!scratch) {
        FtkPushError(ERR_NO_MEM);
        return;
    }
    FtkReadFixedString(scratch, max + 1);
    if (!FtkErrorPending()) {
        *out = FtkStrDup(scratch);
        if (!*out)
            FtkPushError(ERR_NO_MEM);
    }
    FtkMemFree(scratch);
}

} // namespace duzsdk
