#include "sdk/formats/3dsftk/FtkDatabase.h"

#include "sdk/formats/3dsftk/FtkChunk.h"
#include "sdk/formats/3dsftk/FtkChunkData.h"
#include "sdk/formats/3dsftk/FtkError.h"
#include "sdk/formats/3dsftk/FtkFile.h"
#include "sdk/formats/3dsftk/FtkKfHierarchy.h"
#include "sdk/formats/3dsftk/FtkPrim.h"

#include <cstring>
#include <functional>
#include <string_view>
#include <unordered_map>

namespace duzsdk {

namespace {

struct LookupKey {
    uint32_t tag;
    std::string_view name;
    bool operator==(const LookupKey& o) const { return tag == o.tag && name == o.name; }
};
struct LookupHash {
    size_t operator()(const LookupKey& k) const { return std::hash<std::string_view>()(k.name) * 31 + k.tag; }
};
using Lookup = std::unordered_map<LookupKey, uint32_t, LookupHash>;

// Small indexes are scanned; larger ones get a hash on first look-up.
constexpr uint32_t kScanLimit = 16;

bool Live(const FtkNameIndexEntry& e, uint32_t tag)
{
    return e.name && e.chunk && e.chunk->tag == tag;
}

void Remember(Lookup& lookup, const FtkNameIndex* index, uint32_t i)
{
    const FtkNameIndexEntry& e = index->list[i];
    if (!e.name || !e.chunk)
        return;
    auto [it, inserted] = lookup.emplace(LookupKey{e.chunk->tag, e.name}, i);
    // The first live entry of a name wins, as in a scan.
    if (!inserted && !Live(index->list[it->second], it->first.tag))
        it->second = i;
}

FtkChunk* FindEntry(FtkNameIndex* index, uint32_t tag, const char* name)
{
    if (!index)
        return nullptr;
    if (index->count >= kScanLimit) {
        if (!index->lookup) {
            auto* lookup = new (std::nothrow) Lookup;
            if (lookup) {
                lookup->reserve(index->count);
                for (uint32_t i = 0; i < index->count; ++i)
                    Remember(*lookup, index, i);
            }
            index->lookup = lookup;
        }
        if (auto* lookup = static_cast<Lookup*>(index->lookup)) {
            auto it = lookup->find(LookupKey{tag, name});
            if (it == lookup->end())
                return nullptr;
            const FtkNameIndexEntry& e = index->list[it->second];
            if (Live(e, tag) && std::strcmp(e.name, name) == 0)
                return e.chunk;
            // The remembered entry was cleared since: a scan decides.
        }
    }
    for (uint32_t i = 0; i < index->count; ++i) {
        const FtkNameIndexEntry& e = index->list[i];
        if (Live(e, tag) && std::strcmp(e.name, name) == 0)
            return e.chunk;
    }
    return nullptr;
}

// The n-th entry whose chunk is accepted, continuing from where the last
// look-up of the same kind stopped when nothing changed since.
template <typename Accept>
FtkChunk* ByOrdinal(FtkDatabase* db, FtkNameIndex* index, FtkDatabase::OrdinalCursor& cursor, const void* kind,
                    uint32_t n, Accept accept)
{
    if (!index)
        return nullptr;
    uint32_t seen = 0, i = 0;
    if (cursor.index == index && cursor.kind == kind && cursor.changes == db->changes && cursor.n <= n) {
        seen = cursor.n;
        i = cursor.position;
    }
    for (; i < index->count; ++i) {
        FtkChunk* c = index->list[i].chunk;
        if (!c || !accept(c))
            continue;
        if (seen == n) {
            cursor = {index, kind, db->changes, n, i};
            return c;
        }
        ++seen;
    }
    return nullptr;
}

const char* NameOf(FtkChunk* chunk)
{
    auto* data = static_cast<FtkNameData*>(FtkChunkDataRead(chunk));
    return data && data->name ? data->name : nullptr;
}

bool StoreName(FtkNameIndexEntry& entry, const char* text)
{
    entry.name = FtkStrDup(text ? text : "");
    if (!entry.name) {
        FtkPushError(ERR_NO_MEM);
        return false;
    }
    return true;
}

// The chunks of one tag among the direct children of parent; cleared chunks
// (tag 0) left by puts are stepped over.
uint32_t CountChildren(FtkChunk* parent, uint32_t tag)
{
    uint32_t count = 0;
    for (FtkChunk* c = parent ? parent->children : nullptr; c; c = c->next)
        count += c->tag == tag;
    return count;
}

bool CheckMaterialDatabase(FtkDatabase* db)
{
    if (!db) {
        FtkPushError(ERR_INVALID_ARG);
        return false;
    }
    if (!db->root) {
        FtkPushError(ERR_INVALID_DATABASE);
        return false;
    }
    const int kind = FtkDatabaseKind(db);
    if (kind != kFtkMeshDatabase && kind != kFtkProjectDatabase && kind != kFtkMaterialLibrary) {
        FtkPushError(ERR_WRONG_DATABASE);
        return false;
    }
    return true;
}

// No later sibling has the tag, so the chunk is last in a rebuilt index too.
bool LastOfTag(const FtkChunk* chunk)
{
    for (const FtkChunk* c = chunk->next; c; c = c->next)
        if (c->tag == chunk->tag)
            return false;
    return true;
}

bool Append(FtkNameIndex* index, const char* name, FtkChunk* chunk)
{
    if (index->count == index->capacity) {
        const uint32_t capacity = index->capacity < 8 ? 16 : index->capacity * 2;
        auto* grown = static_cast<FtkNameIndexEntry*>(
            FtkMemRealloc(__FILE__, __LINE__, index->list, size_t(capacity) * sizeof(FtkNameIndexEntry)));
        if (!grown)
            return false;
        index->list = grown;
        index->capacity = capacity;
    }
    char* copy = FtkStrDup(name ? name : "");
    if (!copy)
        return false;
    index->list[index->count++] = {copy, chunk};
    if (auto* lookup = static_cast<Lookup*>(index->lookup))
        Remember(*lookup, index, index->count - 1);
    return true;
}

void AddTo(FtkDatabase* db, FtkNameIndex* index, uint8_t& dirty, const char* name, FtkChunk* chunk)
{
    ++db->changes;
    if (dirty || !index || !chunk || !LastOfTag(chunk) || !Append(index, name, chunk))
        dirty = 1;
}

} // namespace

void FtkNamedObjectIndexAdd(FtkDatabase* db, const char* name, FtkChunk* chunk)
{
    if (db)
        AddTo(db, db->objList, db->objListDirty, name, chunk);
}

void FtkMaterialIndexAdd(FtkDatabase* db, const char* name, FtkChunk* chunk)
{
    if (db)
        AddTo(db, db->matList, db->matListDirty, name, chunk);
}

void FtkKfNodeIndexAdd(FtkDatabase* db, const char* name, FtkChunk* chunk)
{
    if (db)
        AddTo(db, db->nodeList, db->nodeListDirty, name, chunk);
}

void FtkNameIndexInit(FtkNameIndex** slot, uint32_t count)
{
    if (!slot) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    if (!*slot) {
        *slot = static_cast<FtkNameIndex*>(FtkMemCalloc(__FILE__, __LINE__, 1, sizeof(FtkNameIndex)));
        if (!*slot) {
            FtkPushError(ERR_NO_MEM);
            return;
        }
    }
    (*slot)->count = 0;
    (*slot)->capacity = 0;
    (*slot)->list = nullptr;
    (*slot)->lookup = nullptr;
    if (count == 0)
        return;
    (*slot)->list = static_cast<FtkNameIndexEntry*>(FtkMemCalloc(__FILE__, __LINE__, count, sizeof(FtkNameIndexEntry)));
    if (!(*slot)->list) {
        FtkPushError(ERR_NO_MEM);
        return;
    }
    (*slot)->count = count;
    (*slot)->capacity = count;
}

void FtkNameIndexRelease(FtkNameIndex** slot)
{
    if (!slot || !*slot)
        return;
    for (uint32_t i = 0; i < (*slot)->count; ++i)
        FtkMemFree((*slot)->list[i].name);
    delete static_cast<Lookup*>((*slot)->lookup);
    FtkMemFree((*slot)->list);
    FtkMemFree(*slot);
    *slot = nullptr;
}

void FtkNameListInit(FtkNameList** slot, uint32_t count)
{
    if (!slot) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    if (!*slot) {
        *slot = static_cast<FtkNameList*>(FtkMemCalloc(__FILE__, __LINE__, 1, sizeof(FtkNameList)));
        if (!*slot) {
            FtkPushError(ERR_NO_MEM);
            return;
        }
    } else {
        for (uint32_t i = 0; i < (*slot)->capacity; ++i)
            FtkMemFree((*slot)->names[i]);
        FtkMemFree((*slot)->names);
    }
    FtkNameList* list = *slot;
    list->count = count;
    list->capacity = count == 0 ? 5 : count;
    list->names = static_cast<char**>(FtkMemCalloc(__FILE__, __LINE__, list->capacity, sizeof(char*)));
    if (!list->names) {
        list->count = list->capacity = 0;
        FtkPushError(ERR_NO_MEM);
    }
}

void FtkNameListAdd(FtkNameList** slot, const char* text)
{
    if (!slot || !*slot || !text) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    FtkNameList* list = *slot;
    if (list->count >= list->capacity) {
        const uint32_t capacity = list->capacity + 5;
        auto** grown = static_cast<char**>(FtkMemCalloc(__FILE__, __LINE__, capacity, sizeof(char*)));
        if (!grown) {
            FtkPushError(ERR_NO_MEM);
            return;
        }
        if (list->names)
            std::memcpy(grown, list->names, sizeof(char*) * list->capacity);
        FtkMemFree(list->names);
        list->names = grown;
        list->capacity = capacity;
    }
    list->names[list->count] = FtkStrDup(text);
    if (!list->names[list->count]) {
        FtkPushError(ERR_NO_MEM);
        return;
    }
    ++list->count;
}

void FtkNameListRelease(FtkNameList** slot)
{
    if (!slot || !*slot)
        return;
    for (uint32_t i = 0; i < (*slot)->capacity; ++i)
        FtkMemFree((*slot)->names[i]);
    FtkMemFree((*slot)->names);
    FtkMemFree(*slot);
    *slot = nullptr;
}

void FtkDatabaseInit(FtkDatabase** slot)
{
    if (!slot) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    if (!*slot) {
        *slot = static_cast<FtkDatabase*>(FtkMemCalloc(__FILE__, __LINE__, 1, sizeof(FtkDatabase)));
        if (!*slot) {
            FtkPushError(ERR_NO_MEM);
            return;
        }
    }
    FtkDatabase* db = *slot;
    db->root = nullptr;
    db->objList = db->matList = db->nodeList = nullptr;
    db->objListDirty = db->matListDirty = db->nodeListDirty = 1;
}

void FtkDatabaseRelease(FtkDatabase** slot)
{
    if (!slot || !*slot)
        return;
    FtkDatabase* db = *slot;
    // Freed even with an error pending: a failed load must not leak its tree.
    FtkChunkFree(&db->root);
    FtkNameIndexRelease(&db->objList);
    FtkNameIndexRelease(&db->matList);
    FtkNameIndexRelease(&db->nodeList);
    FtkMemFree(db);
    *slot = nullptr;
}

void FtkDatabaseCreate(FtkDatabase* db, int kind)
{
    if (!db) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    FtkChunk* root = nullptr;
    FtkChunkCreate(&root);
    if (!root) {
        FtkPushError(ERR_CREATING_DATABASE);
        return;
    }
    root->tag = kind == kFtkMeshDatabase ? M3DMAGIC : kind == kFtkProjectDatabase ? CMAGIC : kind == kFtkMaterialLibrary ? MLIBMAGIC : 0;
    // A previous tree would leak: it goes with its indexes.
    FtkChunkFree(&db->root);
    db->root = root;
    db->objListDirty = db->matListDirty = db->nodeListDirty = 1;
    FtkDatabaseSetVersion(db, 2);
}

void FtkDatabaseLoad(FtkFile* file, FtkDatabase* db)
{
    // A file opened for writing cannot be loaded: say so rather than
    // return an empty database as if the load had worked.
    if (!file || !db || !(file->mode & kFtkModeRead) || file->slot == kFtkNoSlot) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    FtkChunkFree(&db->root);
    db->objListDirty = db->matListDirty = db->nodeListDirty = 1;
    FtkChunkCreate(&db->root);
    if (!db->root) {
        FtkPushError(ERR_CREATING_DATABASE);
        return;
    }
    FtkChunk* root = db->root;
    root->readSlot = file->slot;
    root->readGeneration = file->generation;
    root->position = 0;
    FtkSetCurrentFile(file);
    if (FtkFileSeek(0) != 0) {
        FtkPushError(ERR_READING_FILE);
        FtkPushError(ERR_CREATING_DATABASE);
        return;
    }
    FtkChunkHeaderRead(root);
    if (FtkErrorPending()) {
        FtkPushError(ERR_CREATING_DATABASE);
        return;
    }
    if (root->tag != M3DMAGIC && root->tag != CMAGIC && root->tag != MLIBMAGIC)
        return;
    FtkChunkTreeRead(root);
    if (!FtkErrorPending())
        FtkKfHierarchyAfterLoad(db);
    if (FtkErrorPending())
        FtkPushError(ERR_CREATING_DATABASE);
}

void FtkDatabaseSave(FtkFile* file, FtkDatabase* db)
{
    if (!file || !db) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    FtkDatabaseSetVersion(db, 2);
    if (FtkErrorPending())
        return;
    if (!(file->mode & kFtkModeWrite) || file->slot == kFtkNoSlot || !db->root) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    FtkKfHierarchyBeforeSave(db);
    if (FtkErrorPending()) {
        FtkPushError(ERR_WRITING_DATABASE);
        return;
    }
    FtkSetCurrentFile(file);
    if (FtkFileSeek(0) != 0) {
        FtkPushError(ERR_WRITING_FILE);
        FtkPushError(ERR_WRITING_DATABASE);
        return;
    }
    db->root->writeSlot = file->slot;
    FtkChunkTreeWrite(db->root, file->slot);
    if (!FtkErrorPending() && std::fflush(file->stream) != 0)
        FtkPushError(ERR_WRITING_FILE);
    if (FtkErrorPending())
        FtkPushError(ERR_WRITING_DATABASE);
}

int FtkDatabaseKind(const FtkDatabase* db)
{
    if (!db || !db->root)
        return kFtkUnknownDatabase;
    switch (db->root->tag) {
    case M3DMAGIC: return kFtkMeshDatabase;
    case CMAGIC: return kFtkProjectDatabase;
    case MLIBMAGIC: return kFtkMaterialLibrary;
    default: return kFtkUnknownDatabase;
    }
}

void FtkNamedObjectIndexUpdate(FtkDatabase* db)
{
    if (!db) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    if (!db->objListDirty)
        return;
    db->objListDirty = 0;
    ++db->changes;
    FtkNameIndexRelease(&db->objList);
    FtkChunk* mdata = nullptr;
    FtkChunkFindDescendant(db->root, MDATA, &mdata);
    FtkNameIndexInit(&db->objList, CountChildren(mdata, NAMED_OBJECT));
    if (FtkErrorPending())
        return;
    uint32_t i = 0;
    for (FtkChunk* c = mdata ? mdata->children : nullptr; c; c = c->next) {
        if (c->tag != NAMED_OBJECT)
            continue;
        const char* name = NameOf(c);
        if (FtkErrorPending() || !StoreName(db->objList->list[i], name))
            return;
        db->objList->list[i++].chunk = c;
    }
}

void FtkMaterialIndexUpdate(FtkDatabase* db)
{
    if (!db) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    if (!db->matListDirty)
        return;
    db->matListDirty = 0;
    ++db->changes;
    FtkNameIndexRelease(&db->matList);
    FtkChunk* parent = nullptr;
    FtkChunkFindDescendant(db->root, MDATA, &parent);
    if (!parent)
        FtkChunkFindDescendant(db->root, MLIBMAGIC, &parent);
    FtkNameIndexInit(&db->matList, CountChildren(parent, MAT_ENTRY));
    if (FtkErrorPending())
        return;
    uint32_t i = 0;
    for (FtkChunk* c = parent ? parent->children : nullptr; c; c = c->next) {
        if (c->tag != MAT_ENTRY)
            continue;
        FtkChunk* nameChunk = nullptr;
        FtkChunkFindDescendant(c, MAT_NAME, &nameChunk);
        // An entry without a name is indexed under "" rather than left null.
        const char* name = nameChunk ? NameOf(nameChunk) : "";
        if (FtkErrorPending() || !StoreName(db->matList->list[i], name))
            return;
        db->matList->list[i++].chunk = c;
    }
}

void FtkKfNodeIndexUpdate(FtkDatabase* db)
{
    if (!db) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    if (!db->nodeListDirty)
        return;
    ++db->changes;
    FtkNameIndexRelease(&db->nodeList);
    FtkChunk* kfdata = nullptr;
    FtkChunkFindDescendant(db->root, KFDATA, &kfdata);
    uint32_t count = 0;
    for (FtkChunk* c = kfdata ? kfdata->children : nullptr; c; c = c->next)
        count += c->tag >= AMBIENT_NODE_TAG && c->tag <= SPOTLIGHT_NODE_TAG;
    FtkNameIndexInit(&db->nodeList, count);
    if (FtkErrorPending() || count == 0)
        return;
    uint32_t i = 0;
    for (FtkChunk* c = kfdata->children; c; c = c->next) {
        if (c->tag < AMBIENT_NODE_TAG || c->tag > SPOTLIGHT_NODE_TAG)
            continue;
        FtkNameIndexEntry& entry = db->nodeList->list[i++];
        FtkChunk* header = nullptr;
        FtkChunkFindSibling(c->children, NODE_HDR, &header);
        if (!header)
            continue;
        auto* hdr = static_cast<FtkNodeHdrData*>(FtkChunkDataRead(header));
        if (FtkErrorPending())
            return;
        const char* name = hdr && hdr->objName ? hdr->objName : "";
        const char* instance = nullptr;
        FtkChunk* inst = nullptr;
        if (c->tag == OBJECT_NODE_TAG)
            FtkChunkFindSibling(c->children, INSTANCE_NAME, &inst);
        if (inst) {
            instance = NameOf(inst);
            if (FtkErrorPending())
                return;
        }
        if (instance) {
            const size_t a = std::strlen(name), b = std::strlen(instance);
            entry.name = static_cast<char*>(FtkMemAlloc(__FILE__, __LINE__, a + b + 2));
            if (!entry.name) {
                FtkPushError(ERR_NO_MEM);
                return;
            }
            std::memcpy(entry.name, name, a);
            entry.name[a] = '.';
            std::memcpy(entry.name + a + 1, instance, b + 1);
        } else if (!StoreName(entry, name)) {
            return;
        }
        entry.chunk = c;
    }
    db->nodeListDirty = 0;
}

void FtkNamedObjectIndexInvalidate(FtkDatabase* db)
{
    if (!db) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    db->objListDirty = 1;
    ++db->changes;
}

void FtkMaterialIndexInvalidate(FtkDatabase* db)
{
    if (!db) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    db->matListDirty = 1;
    ++db->changes;
}

void FtkKfNodeIndexInvalidate(FtkDatabase* db)
{
    if (db) {
        db->nodeListDirty = 1;
        ++db->changes;
    }
}

void FtkDatabaseChanged(FtkDatabase* db)
{
    if (db)
        ++db->changes;
}

void FtkNamedObjectFind(FtkDatabase* db, const char* name, FtkChunk** out)
{
    if (!db || !name || !out) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    *out = nullptr;
    FtkNamedObjectIndexUpdate(db);
    if (!FtkErrorPending())
        *out = FindEntry(db->objList, NAMED_OBJECT, name);
}

void FtkMaterialFind(FtkDatabase* db, const char* name, FtkChunk** out)
{
    if (!name || !out) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    *out = nullptr;
    if (!CheckMaterialDatabase(db))
        return;
    FtkMaterialIndexUpdate(db);
    if (!FtkErrorPending())
        *out = FindEntry(db->matList, MAT_ENTRY, name);
}

FtkChunk* FtkMaterialChunkByIndex(FtkDatabase* db, uint32_t index)
{
    if (!CheckMaterialDatabase(db))
        return nullptr;
    FtkMaterialIndexUpdate(db);
    if (FtkErrorPending() || !db->matList || index >= db->matList->count)
        return nullptr;
    return db->matList->list[index].chunk;
}

FtkChunk* FtkKfNodeFind(FtkDatabase* db, const char* name, uint32_t nodeTag)
{
    if (!db || !name) {
        FtkPushError(ERR_INVALID_ARG);
        return nullptr;
    }
    FtkKfNodeIndexUpdate(db);
    return FtkErrorPending() ? nullptr : FindEntry(db->nodeList, nodeTag, name);
}

FtkChunk* FtkKfNodeByOrdinal(FtkDatabase* db, uint32_t n, uint32_t nodeTag)
{
    if (!db) {
        FtkPushError(ERR_INVALID_ARG);
        return nullptr;
    }
    FtkKfNodeIndexUpdate(db);
    if (FtkErrorPending())
        return nullptr;
    return ByOrdinal(db, db->nodeList, db->nodeCursor, reinterpret_cast<const void*>(uintptr_t(nodeTag)), n,
                     [nodeTag](FtkChunk* c) { return c->tag == nodeTag; });
}

FtkChunk* FtkNamedObjectByOrdinal(FtkDatabase* db, uint32_t n, bool (*accept)(FtkChunk*))
{
    FtkNamedObjectIndexUpdate(db);
    if (FtkErrorPending())
        return nullptr;
    return ByOrdinal(db, db->objList, db->objectCursor, reinterpret_cast<const void*>(accept), n,
                     [accept](FtkChunk* c) { return c->tag == NAMED_OBJECT && accept(c); });
}

uint32_t FtkNamedObjectCountIf(FtkDatabase* db, bool (*accept)(FtkChunk*))
{
    FtkNamedObjectIndexUpdate(db);
    if (FtkErrorPending() || !db->objList)
        return 0;
    uint32_t count = 0;
    for (uint32_t i = 0; i < db->objList->count; ++i) {
        FtkChunk* c = db->objList->list[i].chunk;
        count += c && c->tag == NAMED_OBJECT && accept(c);
    }
    return count;
}

} // namespace duzsdk
