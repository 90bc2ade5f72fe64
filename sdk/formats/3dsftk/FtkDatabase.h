#pragma once
// A 3DS database: the root chunk of one file with three lazily rebuilt name
// indexes (named objects, materials, keyframer nodes), and the name lists
// the record operations hand to their callers.
#include <cstdint>

namespace duzsdk {

struct FtkChunk;
struct FtkFile;

struct FtkNameIndexEntry {
    char* name = nullptr;
    FtkChunk* chunk = nullptr;
};
struct FtkNameIndex {
    uint32_t count = 0;
    FtkNameIndexEntry* list = nullptr;
    uint32_t capacity = 0; // entries allocated; puts append without a rebuild
    void* lookup = nullptr; // hash of (tag, name) to entry, made on first use
};
struct FtkNameList {
    uint32_t count = 0;
    uint32_t capacity = 0;
    char** names = nullptr;
};

enum FtkDbKind : int {
    kFtkUnknownDatabase = 0,
    kFtkMeshDatabase = 1,     // M3DMAGIC
    kFtkProjectDatabase = 2,  // CMAGIC
    kFtkMaterialLibrary = 3,  // MLIBMAGIC
};

struct FtkDatabase {
    FtkChunk* root = nullptr;
    uint8_t objListDirty = 1;
    uint8_t matListDirty = 1;
    uint8_t nodeListDirty = 1;
    FtkNameIndex* objList = nullptr;
    FtkNameIndex* matList = nullptr;
    FtkNameIndex* nodeList = nullptr;
    // Where the last look-up by ordinal stopped, so that reading every
    // record of a kind in order is one pass over the index. Any change of
    // the database (a put, a cleared chunk, a rebuild) raises `changes`.
    uint32_t changes = 0;
    struct OrdinalCursor {
        const void* index = nullptr;
        const void* kind = nullptr;
        uint32_t changes = 0;
        uint32_t n = 0;
        uint32_t position = 0;
    } objectCursor, nodeCursor;
};

void FtkNameIndexInit(FtkNameIndex** slot, uint32_t count);
void FtkNameIndexRelease(FtkNameIndex** slot);
void FtkNameListInit(FtkNameList** slot, uint32_t count);
void FtkNameListAdd(FtkNameList** slot, const char* text);
void FtkNameListRelease(FtkNameList** slot);

void FtkDatabaseInit(FtkDatabase** slot);
void FtkDatabaseRelease(FtkDatabase** slot);
void FtkDatabaseCreate(FtkDatabase* db, int kind);
// Reads the chunk headers of the file; data is read on demand, so the file
// stays open while records are read.
void FtkDatabaseLoad(FtkFile* file, FtkDatabase* db);
void FtkDatabaseSave(FtkFile* file, FtkDatabase* db);
int FtkDatabaseKind(const FtkDatabase* db);

void FtkNamedObjectIndexUpdate(FtkDatabase* db);
void FtkMaterialIndexUpdate(FtkDatabase* db);
void FtkKfNodeIndexUpdate(FtkDatabase* db);
void FtkNamedObjectIndexInvalidate(FtkDatabase* db);
void FtkMaterialIndexInvalidate(FtkDatabase* db);
void FtkKfNodeIndexInvalidate(FtkDatabase* db);

// A put that added one chunk of the index's kind: a clean index takes the
// entry at its end (where a rebuild would put it), otherwise it is rebuilt on
// next use. A put that cleared a chunk leaves its entry, which look-ups skip
// by the chunk's tag.
void FtkNamedObjectIndexAdd(FtkDatabase* db, const char* name, FtkChunk* chunk);
void FtkMaterialIndexAdd(FtkDatabase* db, const char* name, FtkChunk* chunk);
void FtkKfNodeIndexAdd(FtkDatabase* db, const char* name, FtkChunk* chunk);

// Called by every operation that clears or retags a chunk in place.
void FtkDatabaseChanged(FtkDatabase* db);

void FtkNamedObjectFind(FtkDatabase* db, const char* name, FtkChunk** out);
void FtkMaterialFind(FtkDatabase* db, const char* name, FtkChunk** out);
FtkChunk* FtkMaterialChunkByIndex(FtkDatabase* db, uint32_t index);
FtkChunk* FtkKfNodeFind(FtkDatabase* db, const char* name, uint32_t nodeTag);
FtkChunk* FtkKfNodeByOrdinal(FtkDatabase* db, uint32_t n, uint32_t nodeTag);

// Named objects of the index, in index order, whose subtree holds the tag;
// the n-th of them (null past the end), and their number.
FtkChunk* FtkNamedObjectByOrdinal(FtkDatabase* db, uint32_t n, bool (*accept)(FtkChunk*));
uint32_t FtkNamedObjectCountIf(FtkDatabase* db, bool (*accept)(FtkChunk*));

} // namespace duzsdk
