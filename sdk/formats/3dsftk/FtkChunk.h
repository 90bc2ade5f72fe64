#pragma once
// The chunk tree of the 3DS toolkit: nodes, rank-ordered insertion, the
// header-only tree read with its own-data table, and the tree write with
// length patching.
#include <cstdint>

namespace duzsdk {

enum : uint16_t {
    NULL_CHUNK = 0x0000,
    M3D_VERSION = 0x0002,
    COLOR_24 = 0x0011,
    MDATA = 0x3D3D,
    M3DMAGIC = 0x4D4D,
    CMAGIC = 0xC23D,
    MLIBMAGIC = 0x3DAA,
    NAMED_OBJECT = 0x4000,
    N_TRI_OBJECT = 0x4100,
    FACE_ARRAY = 0x4120,
    MAT_ENTRY = 0xAFFF,
    MAT_NAME = 0xA000,
    KFDATA = 0xB000,
    KFHDR = 0xB00A,
    NODE_HDR = 0xB010,
    AMBIENT_NODE_TAG = 0xB001,
    OBJECT_NODE_TAG = 0xB002,
    CAMERA_NODE_TAG = 0xB003,
    TARGET_NODE_TAG = 0xB004,
    LIGHT_NODE_TAG = 0xB005,
    L_TARGET_NODE_TAG = 0xB006,
    SPOTLIGHT_NODE_TAG = 0xB007,
    XDATA_SECTION = 0x8000,
    XDATA_ENTRY = 0x8001,
    XDATA_APPNAME = 0x8002,
    XDATA_STRING = 0x8003,
    XDATA_RFU1 = 0x800F,
    PARENT_NAME = 0x80F0,
};

// Deepest nesting a file may have; real files stay below ten levels.
constexpr int kFtkMaxChunkDepth = 64;

struct FtkChunk {
    uint32_t tag = 0;
    uint32_t length = 0;
    uint32_t position = 0;
    void* data = nullptr;
    FtkChunk* next = nullptr;
    FtkChunk* children = nullptr;
    uint8_t readSlot = 255;
    uint8_t writeSlot = 255;
    // Generation of the record in readSlot when the chunk was read; data is
    // only read again while the slot still holds that same file.
    uint32_t readGeneration = 0;
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
