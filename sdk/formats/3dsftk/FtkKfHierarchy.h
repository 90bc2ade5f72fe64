#pragma once
// The keyframer hierarchy of a 3DS database: in a file, nodes name their
// parent by number (NODE_ID, NODE_HDR parent index); in memory by name
// (PARENT_NAME under NODE_HDR). The conversions run after loading and
// before saving. Also the version stamps and the small node builders the
// motion records use.
#include "sdk/formats/3dsftk/FtkPrim.h"

#include <cstddef>
#include <cstdint>

namespace duzsdk {

struct FtkChunk;
struct FtkDatabase;
struct FtkNameList;

// One entry of the hierarchy list of a conversion.
struct FtkHierNode {
    int16_t id = -1;
    uint32_t tag = 0;
    char* name = nullptr;
    char* instance = nullptr;
    int16_t parentId = -1;
    FtkChunk* chunk = nullptr;
};

void FtkKfHierarchyAfterLoad(FtkDatabase* db);
void FtkKfHierarchyBeforeSave(FtkDatabase* db);
// Each node's parent index becomes a PARENT_NAME; nodes are matched to their
// entries directly, so files without NODE_ID keep their hierarchy.
void FtkKfParentNamesFromIds(FtkDatabase* db);
// Nodes are numbered in KFDATA order (ambient -1) and PARENT_NAME texts
// become parent indices (-1 for a name that matches no node).
void FtkKfParentIdsFromNames(FtkDatabase* db);
// The entry a parent text names among count entries: an exact whole-name
// match first, then "name.instance"; -1 when none.
int32_t FtkHierListFindByName(const FtkHierNode* list, uint32_t count, const char* text);

int16_t FtkKfNodeGetId(FtkChunk* node);
void FtkKfNodeSetId(FtkChunk* node, int16_t value);

void FtkDatabaseSetVersion(FtkDatabase* db, int code);
void FtkSetM3dVersion(FtkDatabase* db, int code);
void FtkSetMeshVersion(FtkDatabase* db, int code);
void FtkSetKfRevision(FtkDatabase* db, int code);

FtkChunk* FtkChunkAddChild(uint32_t tag, FtkChunk* parent);
// A new chunk of the tag with its data allocated, inserted by rank.
FtkChunk* FtkChunkAddChildWithData(uint32_t tag, FtkChunk* parent, void** data);
// The chunk's data for changing it: a chunk read from a file no longer reads
// its data again from there, so the change is not dropped.
void* FtkChunkDataForEdit(FtkChunk* chunk);
FtkChunk* FtkKfDataGetOrCreate(FtkChunk* root);
void FtkKfAddNodeId(FtkChunk* node);
void FtkKfAddNodeHeader(const char* name, uint16_t flags1, uint16_t flags2, const char* parentName, FtkChunk* node);
void FtkKfAddParentName(FtkChunk* chunk, const char* text);
// Copies the text of the first PARENT_NAME below the chunk into a buffer of
// size bytes (cut to fit); empty when there is none.
void FtkKfGetParentName(FtkChunk* chunk, char* buffer, size_t size);
void FtkKfAddPosTrack(uint32_t keyCount, uint16_t flags, const FtkKeyHeader* keys, const FtkVector* values, FtkChunk* node);
void FtkKfAddColTrack(uint32_t keyCount, uint16_t flags, const FtkKeyHeader* keys, const FtkVector* values, FtkChunk* node);
void FtkKfAddRollTrack(uint32_t keyCount, uint16_t flags, const FtkKeyHeader* keys, const float* values, FtkChunk* node);
// Adds a track chunk of any track tag with copies of the arrays.
void FtkKfAddTrack(uint32_t tag, uint32_t keyCount, uint16_t flags, const FtkKeyHeader* keys, const void* values, FtkChunk* node);
FtkChunk* FtkKfAddTargetNode(const char* parentName, uint32_t keyCount, uint16_t flags, const FtkKeyHeader* keys,
                             const FtkVector* positions, const char* name, uint16_t flags1, uint16_t flags2,
                             bool camera, FtkChunk* kfdata);
void FtkKfFindNodeByHeaderName(FtkDatabase* db, const char* name, uint32_t tag, FtkChunk** out);
void FtkKfReplaceNode(FtkDatabase* db, const char* name, uint32_t tag, FtkChunk** kept);
uint32_t FtkKfNodeCount(FtkDatabase* db, uint32_t tag);
void FtkKfNodeNameList(FtkDatabase* db, uint32_t tag, FtkNameList** list);

// Copies a text into a fixed field of size bytes, cut to size - 1 characters.
void FtkCopyName(char* field, size_t size, const char* text);

} // namespace duzsdk
