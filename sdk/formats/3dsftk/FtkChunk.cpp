#include "sdk/formats/3dsftk/FtkChunk.h"

#include "sdk/formats/3dsftk/FtkChunkData.h"
#include "sdk/formats/3dsftk/FtkChunkTagNames.h"
#include "sdk/formats/3dsftk/FtkError.h"
#include "sdk/formats/3dsftk/FtkFile.h"
#include "sdk/formats/3dsftk/FtkPrim.h"

#include <algorithm>

namespace duzsdk {

namespace {

FtkChunk* NewNode()
{
    auto* chunk = static_cast<FtkChunk*>(FtkMemCalloc(__FILE__, __LINE__, 1, sizeof(FtkChunk)));
    if (!chunk) {
        FtkPushError(ERR_NO_MEM);
        return nullptr;
    }
    chunk->readSlot = kFtkNoSlot;
    chunk->writeSlot = kFtkNoSlot;
    return chunk;
}

struct Rank {
    uint16_t tag;
    int rank;
};
constexpr Rank kRanks[] = {
    {0x0000, 35}, {0x2D2D, 34}, {0x2D3D, 33}, {0x4D4D, 32}, {0x0002, 31}, {0x3D3D, 30},
    {0xB000, 29}, {0x0011, 28}, {0x0012, 27}, {0x3D3E, 26}, {0xAFFF, 25}, {0xB00A, 24},
    {0x0100, 23}, {0x7001, 22}, {0x1400, 21}, {0x1420, 20}, {0x1450, 19}, {0x1460, 18},
    {0x1500, 17}, {0x2100, 16}, {0x1200, 15}, {0x1100, 14}, {0x1300, 13}, {0x1101, 12},
    {0x1201, 12}, {0x1301, 12}, {0x2200, 11}, {0x2302, 10}, {0x2300, 9}, {0x3000, 8},
    {0x4000, 7}, {0xB008, 6}, {0xB009, 5}, {0xB002, 4}, {0xB003, 4}, {0xB004, 4},
    {0xB006, 4}, {0xB007, 4}, {0xB001, 3}, {0x4100, 2}, {0x4600, 2}, {0x4700, 2},
    {0x4010, 1},
};

enum class Own { None, Fixed, Text, NodeHdr, KfHdr, FaceArray, Rest };
struct OwnData {
    Own kind;
    uint32_t size;
};

OwnData OwnDataOf(uint32_t tag)
{
    switch (tag) {
    case 0x4D4D: case 0x3DAA: case 0xC23D: case 0x2D2D: case 0x2D3D: case 0x3DFF: case 0x3D3D:
    case 0x4100: case 0x1200: case 0x2100: case 0x3000: case 0xAFFF: case 0xA010: case 0xA020:
    case 0xA030: case 0xA040: case 0xA041: case 0xA042: case 0xA050: case 0xA052: case 0xA053:
    case 0xA084: case 0xA200: case 0xA204: case 0xA210: case 0xA220: case 0xA230: case 0xA33A:
    case 0xA33C: case 0xA33D: case 0xA33E: case 0xA340: case 0xA342: case 0xA344: case 0xA346:
    case 0xA348: case 0xA34A: case 0xA34C: case 0xB000: case 0xB001: case 0xB002: case 0xB003:
    case 0xB004: case 0xB005: case 0xB006: case 0xB007: case 0x8000: case 0x8001:
        return {Own::None, 0};
    case 0x4000: case 0x3080: case 0xB011:
        return {Own::Text, 11};
    case 0xB010:
        return {Own::NodeHdr, 0};
    case 0x1100: case 0xA300: case 0x4181:
        return {Own::Text, 13};
    case 0xA000:
        return {Own::Text, 17};
    case 0xB00A:
        return {Own::KfHdr, 0};
    case 0x4120:
        return {Own::FaceArray, 0};
    case 0x0030: case 0x1420: case 0x1430: case 0xB030:
        return {Own::Fixed, 2};
    case 0x0011:
        return {Own::Fixed, 3};
    case 0x0002: case 0x0031: case 0x0100: case 0x1300: case 0x1400: case 0x1410: case 0x3D3E:
    case 0xB009: case 0xB015: case 0xD000:
        return {Own::Fixed, 4};
    case 0xB008:
        return {Own::Fixed, 8};
    case 0x4641:
        return {Own::Fixed, 10};
    case 0x0010: case 0x1500: case 0x4600: case 0xA310: case 0xB013:
        return {Own::Fixed, 12};
    case 0x7001:
        return {Own::Fixed, 14};
    case 0x2200: case 0x2300: case 0x2302: case 0x3010: case 0x3020: case 0x3030: case 0x3040:
    case 0x3050: case 0x3060:
        return {Own::Fixed, 16};
    case 0x4610:
        return {Own::Fixed, 20};
    case 0xB014:
        return {Own::Fixed, 24};
    case 0x3070:
        return {Own::Fixed, 28};
    case 0x4700:
        return {Own::Fixed, 32};
    case 0x4160:
        return {Own::Fixed, 48};
    default:
        return {Own::Rest, 0};
    }
}

uint64_t EndOf(const FtkChunk* chunk)
{
    return uint64_t(chunk->position) + chunk->length;
}

// Moves forward n bytes, which must stay inside the chunk.
bool SkipBytes(uint64_t n, uint64_t end)
{
    long here = FtkFileTell();
    if (here < 0 || uint64_t(here) + n > end) {
        FtkPushError(ERR_INVALID_CHUNK);
        return false;
    }
    if (FtkFileSeek(long(uint64_t(here) + n)) != 0) {
        FtkPushError(ERR_READING_FILE);
        return false;
    }
    return true;
}

// Skips a NUL-terminated text of at most max bytes that must end inside the chunk.
bool SkipText(uint32_t max, uint64_t end)
{
    long here = FtkFileTell();
    if (here < 0 || uint64_t(here) >= end) {
        FtkPushError(ERR_INVALID_CHUNK);
        return false;
    }
    uint64_t limit = std::min<uint64_t>(max, end - uint64_t(here));
    char buffer[513];
    FtkReadStringInto(buffer, size_t(limit));
    if (FtkErrorPending()) {
        if (limit < max)
            FtkPushError(ERR_INVALID_CHUNK);
        return false;
    }
    return true;
}

// Appends a child (and any chain it heads) after the parent's last child.
void Link(FtkChunk* parent, FtkChunk* child)
{
    FtkChunk* last = parent->lastChild;
    if (last && FtkChunkTagRank(child->tag) > FtkChunkTagRank(last->tag))
        parent->rankDisorder = 1;
    if (last)
        last->next = child;
    else
        parent->children = child;
    while (child->next)
        child = child->next;
    parent->lastChild = child;
}

void ReadTree(FtkChunk* chunk, int depth);
void ReadXdata(FtkChunk* entry, int depth);

// Keeps the tail and the order flag of a parent whose list was extended in place.
void NoteAppended(FtkChunk* parent, FtkChunk* node)
{
    FtkChunk* last = parent->lastChild;
    if (last && last != node && FtkChunkTagRank(node->tag) > FtkChunkTagRank(last->tag))
        parent->rankDisorder = 1;
    parent->lastChild = node;
}

// Starts a child node at the current position; null (with an error) when no
// whole chunk fits before end.
FtkChunk* ReadChildHeader(const FtkChunk* parent, uint64_t end, bool strict)
{
    long here = FtkFileTell();
    if (here < 0 || uint64_t(here) + 6 > end) {
        if (strict)
            FtkPushError(ERR_INVALID_CHUNK);
        return nullptr;
    }
    FtkChunk* node = NewNode();
    if (!node)
        return nullptr;
    node->position = uint32_t(here);
    node->readSlot = parent->readSlot;
    node->readGeneration = parent->readGeneration;
    FtkChunkHeaderRead(node);
    if (FtkErrorPending()) {
        FtkChunkFree(&node);
        return nullptr;
    }
    return node;
}

// Positions the chunk's file after its own data, where its children start,
// and gives the link to append the next child to; null (errors pushed) when
// the file cannot be positioned. Appending through the tail keeps wide chunks
// linear.
FtkChunk** EnterChildren(FtkChunk* chunk)
{
    FtkSetCurrentFileByIndex(chunk->readSlot);
    if (FtkFileSeek(long(chunk->position) + 6) != 0) {
        FtkPushError(ERR_READING_FILE);
        FtkPushError(ERR_READING_DATABASE);
        return nullptr;
    }
    FtkChunkSkipData(chunk);
    if (FtkErrorPending()) {
        FtkPushError(ERR_READING_DATABASE);
        return nullptr;
    }
    FtkChunk** tail = &chunk->children;
    while (*tail)
        tail = &(*tail)->next;
    return tail;
}

void ReadTree(FtkChunk* chunk, int depth)
{
    const uint64_t end = EndOf(chunk);
    FtkChunk** tail = EnterChildren(chunk);
    if (!tail)
        return;
    for (;;) {
        long here = FtkFileTell();
        if (here < 0 || uint64_t(here) >= end)
            break;
        FtkChunk* node = ReadChildHeader(chunk, end, true);
        if (!node) {
            FtkPushError(ERR_READING_DATABASE);
            return;
        }
        // A child shorter than a header or running past its parent is corrupt.
        if (node->length < 6 || EndOf(node) > end || depth + 1 >= kFtkMaxChunkDepth) {
            FtkChunkFree(&node);
            FtkPushError(ERR_INVALID_CHUNK);
            FtkPushError(ERR_READING_DATABASE);
            return;
        }
        *tail = node;
        tail = &node->next;
        NoteAppended(chunk, node);
        if (node->tag == XDATA_ENTRY)
            ReadXdata(node, depth + 1);
        else
            ReadTree(node, depth + 1);
        if (FtkErrorPending()) {
            FtkPushError(ERR_READING_DATABASE);
            return;
        }
        FtkSetCurrentFileByIndex(chunk->readSlot);
        FtkFileSeek(long(EndOf(node)));
    }
}

void ReadXdata(FtkChunk* entry, int depth)
{
    const uint64_t end = EndOf(entry);
    FtkChunk** tail = EnterChildren(entry);
    if (!tail)
        return;
    for (;;) {
        long here = FtkFileTell();
        if (here < 0 || uint64_t(here) >= end)
            break;
        FtkChunk* node = ReadChildHeader(entry, end, false);
        if (FtkErrorPending()) {
            FtkPushError(ERR_READING_DATABASE);
            return;
        }
        if (!node || node->tag < XDATA_APPNAME || node->tag > XDATA_RFU1) {
            // Unknown content: the rest of the entry is dropped.
            FtkChunkFree(&node);
            FtkFileSeek(long(end));
            break;
        }
        if (node->length < 6 || EndOf(node) > end || depth + 1 >= kFtkMaxChunkDepth) {
            // Reading goes on right after its header.
            FtkChunkFree(&node);
            continue;
        }
        *tail = node;
        tail = &node->next;
        NoteAppended(entry, node);
        ReadXdata(node, depth + 1);
        if (FtkErrorPending()) {
            FtkPushError(ERR_READING_DATABASE);
            return;
        }
        FtkSetCurrentFileByIndex(entry->readSlot);
        FtkFileSeek(long(EndOf(node)));
    }
}

// Pre-order: the chunk itself, then each child's subtree in order.
FtkChunk* FindFrom(FtkChunk* chunk, uint32_t tag)
{
    if (chunk->tag == tag)
        return chunk;
    for (FtkChunk* child = chunk->children; child; child = child->next)
        if (FtkChunk* found = FindFrom(child, tag))
            return found;
    return nullptr;
}

void FreeOne(FtkChunk* chunk)
{
    FtkChunkDataRelease(chunk);
    FtkChunkFree(&chunk->children);
    FtkMemFree(chunk);
}

} // namespace

void FtkChunkCreate(FtkChunk** out)
{
    if (!out) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    *out = NewNode();
}

void FtkChunkCreateTagged(FtkChunk** out, uint32_t tag)
{
    FtkChunkCreate(out);
    if (out && *out)
        (*out)->tag = tag;
}

void* FtkChunkCreateChildWithData(FtkChunk** out, uint32_t tag)
{
    FtkChunkCreateTagged(out, tag);
    if (!out || !*out)
        return nullptr;
    void* data = FtkChunkDataAlloc(*out);
    if (FtkErrorPending())
        FtkChunkFree(out);
    return data;
}

void FtkChunkFindDescendant(FtkChunk* chunk, uint32_t tag, FtkChunk** out)
{
    if (!out) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    *out = nullptr;
    if (!chunk)
        return;
    *out = FindFrom(chunk, tag);
}

void FtkChunkFindSibling(FtkChunk* chunk, uint32_t tag, FtkChunk** out)
{
    if (!out) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    *out = nullptr;
    for (FtkChunk* c = chunk; c; c = c->next) {
        if (c->tag == tag) {
            *out = c;
            return;
        }
    }
}

void FtkChunkAppendChild(FtkChunk* parent, FtkChunk* child)
{
    if (!parent || !child) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    Link(parent, child);
}

void FtkChunkInsertChild(FtkChunk* parent, FtkChunk* child)
{
    if (!parent || !child) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    const int rank = FtkChunkTagRank(child->tag);
    child->next = nullptr;
    FtkChunk* last = parent->lastChild;
    // In a list of falling rank a child not above the last one goes at the
    // end. A cleared last child (tag 0) no longer shows the rank it had.
    if (!last || (!parent->rankDisorder && last->tag != 0 && FtkChunkTagRank(last->tag) >= rank)) {
        Link(parent, child);
        return;
    }
    FtkChunk** at = &parent->children;
    while (*at && FtkChunkTagRank((*at)->tag) >= rank)
        at = &(*at)->next;
    child->next = *at;
    *at = child;
    if (!child->next)
        parent->lastChild = child;
}

void FtkChunkReuseChild(FtkChunk* parent, uint32_t tag, FtkChunk** out)
{
    if (!parent || !out) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    FtkChunk* found = nullptr;
    FtkChunkFindSibling(parent->children, tag, &found);
    if (found) {
        FtkChunkClear(found);
        found->tag = tag;
        *out = found;
        return;
    }
    FtkChunkCreateTagged(out, tag);
    if (*out)
        FtkChunkInsertChild(parent, *out);
}

void FtkChunkClear(FtkChunk* chunk)
{
    if (!chunk)
        return;
    FtkChunkFree(&chunk->children);
    chunk->lastChild = nullptr;
    chunk->rankDisorder = 0;
    FtkChunkDataRelease(chunk);
    chunk->tag = 0;
    chunk->length = 0;
    chunk->position = 0;
    chunk->readSlot = kFtkNoSlot;
    chunk->writeSlot = kFtkNoSlot;
    chunk->readGeneration = 0;
}

void FtkChunkFree(FtkChunk** slot)
{
    if (!slot)
        return;
    // Siblings iteratively; children recurse only as deep as the tree.
    FtkChunk* chunk = *slot;
    *slot = nullptr;
    while (chunk) {
        FtkChunk* next = chunk->next;
        FreeOne(chunk);
        chunk = next;
    }
}

void FtkChunkRemoveChild(FtkChunk* parent, FtkChunk* child)
{
    if (!parent || !child) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    FtkChunk* previous = nullptr;
    for (FtkChunk** at = &parent->children; *at; previous = *at, at = &(*at)->next) {
        if (*at == child) {
            *at = child->next;
            if (parent->lastChild == child)
                parent->lastChild = previous;
            child->next = nullptr;
            FtkChunkFree(&child);
            return;
        }
    }
    FtkPushError(ERR_INVALID_ARG);
}

void FtkChunkCopyTree(FtkChunk* source, FtkChunk** out)
{
    if (!source || !out) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    *out = nullptr;
    FtkChunk* copy = NewNode();
    if (!copy)
        return;
    copy->tag = source->tag;
    copy->length = source->length;
    copy->position = source->position;
    copy->readSlot = source->readSlot;
    copy->writeSlot = source->writeSlot;
    copy->readGeneration = source->readGeneration;
    if (source->data) {
        if (source->readSlot == kFtkNoSlot) {
            FtkChunkDataCopy(source, copy);
        } else {
            copy->data = source->data;
            source->data = nullptr;
        }
    }
    copy->rankDisorder = source->rankDisorder;
    FtkChunk** tail = &copy->children;
    for (FtkChunk* child = source->children; child && !FtkErrorPending(); child = child->next) {
        FtkChunkCopyTree(child, tail);
        if (*tail) {
            copy->lastChild = *tail;
            tail = &(*tail)->next;
        }
    }
    if (FtkErrorPending()) {
        FtkChunkFree(&copy);
        return;
    }
    *out = copy;
}

bool FtkChunkCanReload(const FtkChunk* chunk)
{
    return chunk && FtkFileIndexIsOpen(chunk->readSlot) &&
           FtkFileSlotGeneration(chunk->readSlot) == chunk->readGeneration;
}

void FtkChunkDataDropIfReloadable(FtkChunk* chunk)
{
    if (FtkChunkCanReload(chunk))
        FtkChunkDataRelease(chunk);
}

int FtkChunkTagRank(uint32_t tag)
{
    for (const Rank& r : kRanks)
        if (r.tag == tag)
            return r.rank;
    return 0;
}

const char* FtkChunkTagName(uint32_t tag)
{
    const FtkTagName* begin = kFtkTagNames;
    const FtkTagName* end = kFtkTagNames + kFtkTagNameCount;
    const FtkTagName* it = std::lower_bound(begin, end, tag, [](const FtkTagName& n, uint32_t t) { return n.tag < t; });
    if (it != end && it->tag == tag)
        return it->name;
    return "UNKNOWN_CHUNK";
}

bool FtkIsKfNodeTag(uint32_t tag)
{
    switch (tag) {
    case TARGET_NODE_TAG: case OBJECT_NODE_TAG: case CAMERA_NODE_TAG: case LIGHT_NODE_TAG:
    case L_TARGET_NODE_TAG: case SPOTLIGHT_NODE_TAG:
        return true;
    default:
        return false;
    }
}

void FtkChunkHeaderRead(FtkChunk* chunk)
{
    if (!chunk) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    chunk->tag = FtkReadShort();
    if (!FtkErrorPending())
        chunk->length = FtkReadLong();
}

void FtkChunkSkipData(FtkChunk* chunk)
{
    if (!chunk) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    const uint64_t end = EndOf(chunk);
    const OwnData own = OwnDataOf(chunk->tag);
    switch (own.kind) {
    case Own::None:
        return;
    case Own::Fixed:
        SkipBytes(own.size, end);
        return;
    case Own::Text:
        SkipText(own.size, end);
        return;
    case Own::NodeHdr:
        if (SkipText(11, end))
            SkipBytes(6, end);
        return;
    case Own::KfHdr:
        if (SkipBytes(2, end) && SkipText(513, end))
            SkipBytes(4, end);
        return;
    case Own::FaceArray: {
        long here = FtkFileTell();
        if (here < 0 || uint64_t(here) + 2 > end) {
            FtkPushError(ERR_INVALID_CHUNK);
            return;
        }
        uint16_t count = FtkReadShort();
        if (!FtkErrorPending())
            SkipBytes(8ull * count, end);
        return;
    }
    case Own::Rest: {
        long here = FtkFileTell();
        if (here < 0 || uint64_t(here) > end) {
            FtkPushError(ERR_INVALID_CHUNK);
            return;
        }
        SkipBytes(end - uint64_t(here), end);
        return;
    }
    }
}

void FtkChunkTreeRead(FtkChunk* chunk)
{
    if (!chunk) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    // A top chunk whose header was just read from the slot belongs to the file now in it.
    if (chunk->readGeneration == 0)
        chunk->readGeneration = FtkFileSlotGeneration(chunk->readSlot);
    if (!FtkChunkCanReload(chunk)) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    FtkSetCurrentFileByIndex(chunk->readSlot);
    // The top chunk must lie inside the file; every child is then held inside its parent.
    const long size = FtkFileSize();
    if (size < 0 || chunk->length < 6 || EndOf(chunk) > uint64_t(size)) {
        FtkPushError(ERR_INVALID_CHUNK);
        FtkPushError(ERR_READING_DATABASE);
        return;
    }
    if (chunk->tag == XDATA_ENTRY)
        ReadXdata(chunk, 0);
    else
        ReadTree(chunk, 0);
}

void FtkXdataRead(FtkChunk* chunk)
{
    if (!chunk) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    if (chunk->readGeneration == 0)
        chunk->readGeneration = FtkFileSlotGeneration(chunk->readSlot);
    ReadXdata(chunk, 0);
}

void FtkChunkTreeWrite(FtkChunk* chunk, uint8_t slot)
{
    if (!chunk || !FtkFileIndexIsOpen(slot)) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    if (chunk->tag == 0 || chunk->tag == PARENT_NAME)
        return;
    FtkSetCurrentFileByIndex(slot);
    chunk->writeSlot = slot;
    const long start = FtkFileTell();
    FtkChunkDataRead(chunk);
    if (FtkErrorPending())
        return;
    FtkSetCurrentFileByIndex(slot);
    if (start < 0 || FtkFileSeek(start) != 0) {
        FtkPushError(ERR_WRITING_FILE);
        return;
    }
    FtkChunkHeaderWrite(uint16_t(chunk->tag), chunk->length);
    if (FtkErrorPending())
        return;
    FtkChunkDataWrite(chunk);
    if (FtkErrorPending())
        return;
    // An entry read from a file carries its whole content as its block; its
    // filtered children are not written a second time.
    FtkChunk* children = chunk->tag == XDATA_ENTRY && chunk->data ? nullptr : chunk->children;
    for (FtkChunk* child = children; child; child = child->next) {
        FtkChunkTreeWrite(child, slot);
        if (FtkErrorPending())
            return;
    }
    FtkSetCurrentFileByIndex(slot);
    const long end = FtkFileTell();
    if (end < start || uint64_t(end - start) > 0xFFFFFFFFull) {
        FtkPushError(ERR_WRITING_FILE);
        return;
    }
    if (uint32_t(end - start) != chunk->length) {
        FtkChunkLengthPatch(start, end);
        if (FtkErrorPending())
            return;
        chunk->length = uint32_t(end - start);
    }
    if (chunk->readSlot != kFtkNoSlot && FtkChunkCanReload(chunk))
        FtkChunkDataRelease(chunk);
}

} // namespace duzsdk
