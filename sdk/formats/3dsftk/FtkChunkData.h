#pragma once
// Data blocks of chunks. Until the per-tag layouts exist every chunk's own
// data is kept as a raw block of the bytes between its header and its first
// sub-chunk.
#include <cstddef>
#include <cstdint>

namespace duzsdk {

struct FtkChunk;

struct FtkRawData {
    uint32_t size = 0;
    unsigned char* bytes = nullptr;
};

// A raw block of size zeroed bytes on the chunk (replacing any old data).
FtkRawData* FtkChunkDataAlloc(FtkChunk* chunk, uint32_t size);
// Reads the own data from the chunk's source file when not yet in memory.
void FtkChunkDataRead(FtkChunk* chunk);
void FtkChunkDataWrite(const FtkChunk* chunk);
void FtkChunkDataCopy(const FtkChunk* source, FtkChunk* target);
void FtkChunkDataRelease(FtkChunk* chunk);

} // namespace duzsdk
