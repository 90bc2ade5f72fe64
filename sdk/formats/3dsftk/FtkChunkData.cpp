#include "sdk/formats/3dsftk/FtkChunkData.h"

#include "sdk/formats/3dsftk/FtkChunk.h"
#include "sdk/formats/3dsftk/FtkError.h"
#include "sdk/formats/3dsftk/FtkFile.h"
#include "sdk/formats/3dsftk/FtkPrim.h"

#include <cstring>

namespace duzsdk {

FtkRawData* FtkChunkDataAlloc(FtkChunk* chunk, uint32_t size)
{
    if (!chunk) {
        FtkPushError(ERR_INVALID_ARG);
        return nullptr;
    }
    FtkChunkDataRelease(chunk);
    auto* raw = static_cast<FtkRawData*>(FtkMemCalloc(__FILE__, __LINE__, 1, sizeof(FtkRawData)));
    if (!raw) {
        FtkPushError(ERR_NO_MEM);
        return nullptr;
    }
    if (size > 0) {
        raw->bytes = static_cast<unsigned char*>(FtkMemCalloc(__FILE__, __LINE__, size, 1));
        if (!raw->bytes) {
            FtkMemFree(raw);
            FtkPushError(ERR_NO_MEM);
            return nullptr;
        }
    }
    raw->size = size;
    chunk->data = raw;
    return raw;
}

void FtkChunkDataRead(FtkChunk* chunk)
{
    if (!chunk) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    if (chunk->data || chunk->readSlot == kFtkNoSlot)
        return;
    if (!FtkChunkCanReload(chunk)) {
        // The source file was closed or its slot now holds another file.
        FtkPushError(ERR_READING_FILE);
        return;
    }
    FtkSetCurrentFileByIndex(chunk->readSlot);
    const long start = long(chunk->position) + 6;
    if (FtkFileSeek(start) != 0) {
        FtkPushError(ERR_READING_FILE);
        return;
    }
    FtkChunkSkipData(chunk);
    if (FtkErrorPending())
        return;
    const long end = FtkFileTell();
    if (end < start || FtkFileSeek(start) != 0) {
        FtkPushError(ERR_READING_FILE);
        return;
    }
    FtkRawData* raw = FtkChunkDataAlloc(chunk, uint32_t(end - start));
    if (!raw)
        return;
    FtkReadBytes(raw->size, raw->bytes);
}

void FtkChunkDataWrite(const FtkChunk* chunk)
{
    if (!chunk) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    const auto* raw = static_cast<const FtkRawData*>(chunk->data);
    if (raw && raw->size > 0)
        FtkWriteBytes(raw->size, raw->bytes);
}

void FtkChunkDataCopy(const FtkChunk* source, FtkChunk* target)
{
    if (!source || !target) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    const auto* raw = static_cast<const FtkRawData*>(source->data);
    if (!raw)
        return;
    FtkRawData* copy = FtkChunkDataAlloc(target, raw->size);
    if (copy && raw->size > 0)
        std::memcpy(copy->bytes, raw->bytes, raw->size);
}

void FtkChunkDataRelease(FtkChunk* chunk)
{
    if (!chunk || !chunk->data)
        return;
    auto* raw = static_cast<FtkRawData*>(chunk->data);
    FtkMemFree(raw->bytes);
    FtkMemFree(raw);
    chunk->data = nullptr;
}

} // namespace duzsdk
