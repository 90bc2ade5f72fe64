#pragma once
// The chunk tree of the 3DS toolkit: nodes, rank-ordered insertion, the
// header-only tree read with its own-data table, and the tree write with
// length patching.
#include "sdk/formats/3dsftk/FtkTags.h"

#include <cstdint>

namespace duzsdk {


// Deepest nesting a file may have; real files stay below ten levels.
constexpr int kFtkMaxChunkDepth = 64;

struct FtkChunk {
    uint32_t tag = 0;
    uint32_t length = 0;
    uint32_t position = 0;
    void* data = nullptr;
    FtkChunk* next = nullptr;
    FtkChunk* children = nullptr;
    // Last of the children, so appending and rank-ordered inserts at the end
    // (every put of a record) cost no walk of a long child list.
    FtkChunk* lastChild = nullptr;
    uint8_t readSlot = 255;
    uint8_t writeSlot = 255;
    // Generation of the record in readSlot when the chunk was read; data is
    // only read again while the slot still holds that same file.
    uint32_t readGeneration = 0;
    // Set once a child was appended out of falling rank (file order); the
    // fast end insert then gives way to the full walk.
    uint8_t rankDisorder = 0;
};

void FtkChunkCreate(FtkChunk** out);
void FtkChunkCreateTagged(FtkChunk** out, uint32_t tag);
// A tagged node, not linked anywhere, with its data block allocated; gives the block.
void* FtkChunkCreateChildWithData(FtkChunk** out, uint32_t tag);
void FtkChunkFindDescendant(FtkChunk* chunk, uint32_t tag, FtkChunk** out);
void FtkChunkFindSibling(FtkChunk* chunk, uint32_t tag, FtkChunk** out);
void FtkChunkAppendChild(FtkChunk* parent, FtkChunk* child);
void FtkChunkInsertChild(FtkChunk* parent, FtkChunk* child);
void FtkChunkReuseChild(FtkChunk* parent, uint32_t tag, FtkChunk** out);
void FtkChunkClear(FtkChunk* chunk);
// Frees the chunk, its children and every following sibling; sets *slot null.
void FtkChunkFree(FtkChunk** slot);
// Unlinks one child from its parent and frees it alone.
void FtkChunkRemoveChild(FtkChunk* parent, FtkChunk* child);
// Data of a chunk read from a file moves to the copy; the source reads it again.
void FtkChunkCopyTree(FtkChunk* source, FtkChunk** out);
void FtkChunkDataDropIfReloadable(FtkChunk* chunk);
// True while the chunk's source file is open in the slot it was read from.
bool FtkChunkCanReload(const FtkChunk* chunk);

int FtkChunkTagRank(uint32_t tag);
const char* FtkChunkTagName(uint32_t tag);
bool FtkIsKfNodeTag(uint32_t tag);

// Reads a chunk header at the current position of the current file.
void FtkChunkHeaderRead(FtkChunk* chunk);
// Moves past the chunk's own data; the chunk's end bounds every skip.
void FtkChunkSkipData(FtkChunk* chunk);
// Reads the headers of the subtree; the chunk's own header was just read.
void FtkChunkTreeRead(FtkChunk* chunk);
void FtkXdataRead(FtkChunk* chunk);
void FtkChunkTreeWrite(FtkChunk* chunk, uint8_t slot);

} // namespace duzsdk
