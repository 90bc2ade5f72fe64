#include "sdk/formats/3dsftk/FtkKfHierarchy.h"

#include "sdk/formats/3dsftk/FtkChunk.h"
#include "sdk/formats/3dsftk/FtkChunkData.h"
#include "sdk/formats/3dsftk/FtkDatabase.h"
#include "sdk/formats/3dsftk/FtkError.h"
#include "sdk/formats/3dsftk/FtkFile.h"

#include <cstring>
#include <string>
#include <unordered_map>

namespace duzsdk {

namespace {

// The hierarchy list of one conversion; local to it (one thread).
struct HierList {
    FtkHierNode* entries = nullptr;
    uint32_t count = 0;
    ~HierList()
    {
        for (uint32_t i = 0; i < count; ++i) {
            FtkMemFree(entries[i].name);
            FtkMemFree(entries[i].instance);
        }
        FtkMemFree(entries);
    }
};

FtkChunk* FindKfData(FtkDatabase* db)
{
    FtkChunk* kfdata = nullptr;
    if (db->root)
        FtkChunkFindDescendant(db->root, KFDATA, &kfdata);
    return kfdata;
}

char* Dup(const char* text)
{
    char* copy = FtkStrDup(text ? text : "");
    if (!copy)
        FtkPushError(ERR_NO_MEM);
    return copy;
}

// Adds the node's entry (name, instance, parent index from its NODE_HDR);
// a node without NODE_HDR is not entered.
void AddNode(HierList& list, FtkChunk* node, int16_t id)
{
    FtkChunk* header = nullptr;
    FtkChunkFindDescendant(node, NODE_HDR, &header);
    if (!header || header == node)
        return;
    auto* hdr = static_cast<FtkNodeHdrData*>(FtkChunkDataRead(header));
    if (FtkErrorPending() || !hdr)
        return;
    FtkHierNode& e = list.entries[list.count];
    e = {};
    e.id = id;
    e.tag = node->tag;
    e.parentId = hdr->parentIndex;
    e.chunk = node;
    e.name = Dup(hdr->objName);
    FtkChunkDataDropIfReloadable(header);
    if (!e.name)
        return;
    ++list.count;
    if (node->tag == OBJECT_NODE_TAG) {
        FtkChunk* inst = nullptr;
        FtkChunkFindDescendant(node, INSTANCE_NAME, &inst);
        if (inst) {
            auto* text = static_cast<FtkNameData*>(FtkChunkDataRead(inst));
            if (text && text->name)
                e.instance = Dup(text->name);
            FtkChunkDataDropIfReloadable(inst);
        }
    }
}

bool AllocList(HierList& list, FtkChunk* kfdata)
{
    uint32_t nodes = 0;
    for (FtkChunk* c = kfdata->children; c; c = c->next)
        nodes += FtkIsKfNodeTag(c->tag);
    if (nodes == 0)
        return true;
    list.entries = static_cast<FtkHierNode*>(FtkMemCalloc(__FILE__, __LINE__, nodes, sizeof(FtkHierNode)));
    if (!list.entries) {
        FtkPushError(ERR_NO_MEM);
        return false;
    }
    return true;
}

std::string IndexName(const FtkHierNode& e)
{
    std::string text = e.name;
    if (e.instance && *e.instance) {
        text += '.';
        text += e.instance;
    }
    return text;
}

void SetParentName(FtkChunk* node, const char* text)
{
    FtkChunk* header = nullptr;
    FtkChunkFindSibling(node->children, NODE_HDR, &header);
    if (!header)
        FtkChunkFindDescendant(node, NODE_HDR, &header);
    if (!header)
        return;
    FtkChunk* parent = nullptr;
    FtkChunkFindSibling(header->children, PARENT_NAME, &parent);
    if (!parent) {
        FtkKfAddParentName(header, text);
        return;
    }
    auto* data = static_cast<FtkNameData*>(parent->data);
    if (!data) {
        data = static_cast<FtkNameData*>(FtkChunkDataAlloc(parent));
        if (!data)
            return;
    }
    char* copy = Dup(text);
    if (!copy)
        return;
    FtkMemFree(data->name);
    data->name = copy;
}

} // namespace

int32_t FtkHierListFindByName(const FtkHierNode* list, uint32_t count, const char* text)
{
    if (!list || !text)
        return -1;
    // A node whose own name holds a full stop is found by that whole name.
    for (uint32_t i = 0; i < count; ++i)
        if ((!list[i].instance || !*list[i].instance) && std::strcmp(list[i].name, text) == 0)
            return int32_t(i);
    const char* dot = std::strchr(text, '.');
    if (!dot)
        return -1;
    const size_t nameLength = size_t(dot - text);
    for (uint32_t i = 0; i < count; ++i) {
        const FtkHierNode& e = list[i];
        if (e.instance && std::strlen(e.name) == nameLength && std::strncmp(e.name, text, nameLength) == 0 &&
            std::strcmp(e.instance, dot + 1) == 0)
            return int32_t(i);
    }
    return -1;
}

void FtkKfHierarchyAfterLoad(FtkDatabase* db)
{
    if (!db) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    FtkKfParentNamesFromIds(db);
}

void FtkKfHierarchyBeforeSave(FtkDatabase* db)
{
    if (!db) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    FtkKfParentIdsFromNames(db);
}

void FtkKfParentNamesFromIds(FtkDatabase* db)
{
    if (!db) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    FtkChunk* kfdata = FindKfData(db);
    if (!kfdata)
        return;
    HierList list;
    if (!AllocList(list, kfdata))
        return;
    bool renumber = false;
    for (FtkChunk* c = kfdata->children; c && !FtkErrorPending(); c = c->next) {
        if (!FtkIsKfNodeTag(c->tag))
            continue;
        const int16_t id = FtkKfNodeGetId(c);
        renumber = renumber || id == -1;
        AddNode(list, c, id);
    }
    if (FtkErrorPending())
        return;
    // Without ids on every node the file's ids are ignored: nodes are
    // numbered in list order and parent indices refer to these numbers.
    if (renumber)
        for (uint32_t i = 0; i < list.count; ++i)
            list.entries[i].id = int16_t(i);
    // Each entry keeps its own chunk, so parents resolve whatever the ids.
    std::unordered_map<int16_t, uint32_t> byId;
    byId.reserve(list.count);
    for (uint32_t i = 0; i < list.count; ++i)
        byId.emplace(list.entries[i].id, i);
    for (uint32_t i = 0; i < list.count && !FtkErrorPending(); ++i) {
        const FtkHierNode& e = list.entries[i];
        if (e.parentId == -1)
            continue;
        auto found = byId.find(e.parentId);
        if (found == byId.end())
            continue;
        SetParentName(e.chunk, IndexName(list.entries[found->second]).c_str());
    }
}

void FtkKfParentIdsFromNames(FtkDatabase* db)
{
    if (!db) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    FtkChunk* kfdata = FindKfData(db);
    if (!kfdata)
        return;
    HierList list;
    if (!AllocList(list, kfdata))
        return;
    int16_t counter = 0;
    for (FtkChunk* c = kfdata->children; c && !FtkErrorPending(); c = c->next) {
        if (c->tag == AMBIENT_NODE_TAG) {
            FtkKfNodeSetId(c, -1);
        } else if (FtkIsKfNodeTag(c->tag)) {
            FtkKfNodeSetId(c, counter);
            AddNode(list, c, counter);
            ++counter;
        }
    }
    if (FtkErrorPending())
        return;
    // Look-ups by whole name, then by "name.instance", first entry wins.
    std::unordered_map<std::string, int16_t> plain, instanced;
    plain.reserve(list.count);
    for (uint32_t i = 0; i < list.count; ++i) {
        const FtkHierNode& e = list.entries[i];
        if (e.instance && *e.instance)
            instanced.emplace(IndexName(e), e.id);
        else
            plain.emplace(e.name, e.id);
    }
    for (uint32_t i = 0; i < list.count && !FtkErrorPending(); ++i) {
        FtkChunk* header = nullptr;
        FtkChunkFindSibling(list.entries[i].chunk->children, NODE_HDR, &header);
        if (!header)
            continue;
        auto* hdr = static_cast<FtkNodeHdrData*>(FtkChunkDataForEdit(header));
        if (!hdr)
            continue;
        FtkChunk* parent = nullptr;
        FtkChunkFindSibling(header->children, PARENT_NAME, &parent);
        auto* text = parent ? static_cast<FtkNameData*>(parent->data) : nullptr;
        int16_t index = -1;
        if (text && text->name && *text->name) {
            auto p = plain.find(text->name);
            if (p != plain.end()) {
                index = p->second;
            } else if (auto q = instanced.find(text->name); q != instanced.end()) {
                index = q->second;
            }
        }
        hdr->parentIndex = index;
    }
}

int16_t FtkKfNodeGetId(FtkChunk* node)
{
    FtkChunk* idChunk = nullptr;
    FtkChunkFindDescendant(node, NODE_ID, &idChunk);
    if (!idChunk)
        return -1;
    auto* value = static_cast<uint16_t*>(FtkChunkDataRead(idChunk));
    const int16_t id = value ? int16_t(*value) : int16_t(-1);
    FtkChunkDataDropIfReloadable(idChunk);
    return id;
}

void FtkKfNodeSetId(FtkChunk* node, int16_t value)
{
    FtkChunk* idChunk = nullptr;
    FtkChunkFindDescendant(node, NODE_ID, &idChunk);
    if (!idChunk)
        return;
    auto* id = static_cast<uint16_t*>(FtkChunkDataForEdit(idChunk));
    if (id)
        *id = uint16_t(value);
}

void FtkDatabaseSetVersion(FtkDatabase* db, int code)
{
    switch (FtkDatabaseKind(db)) {
    case kFtkMeshDatabase:
        FtkSetM3dVersion(db, code);
        if (!FtkErrorPending())
            FtkSetMeshVersion(db, code);
        if (!FtkErrorPending())
            FtkSetKfRevision(db, code);
        return;
    case kFtkProjectDatabase:
        FtkSetMeshVersion(db, code);
        if (!FtkErrorPending())
            FtkSetKfRevision(db, code);
        return;
    default:
        return;
    }
}

void FtkSetM3dVersion(FtkDatabase* db, int code)
{
    if (!db || code < 0 || code > 3) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    if (!db->root) {
        FtkPushError(ERR_INVALID_DATA);
        return;
    }
    if (db->root->tag != M3DMAGIC)
        return;
    FtkChunk* version = nullptr;
    FtkChunkReuseChild(db->root, M3D_VERSION, &version);
    auto* value = version ? static_cast<uint32_t*>(FtkChunkDataAlloc(version)) : nullptr;
    if (value)
        *value = uint32_t(code + 1);
}

void FtkSetMeshVersion(FtkDatabase* db, int code)
{
    if (!db || code < 0 || code > 3) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    if (!db->root) {
        FtkPushError(ERR_INVALID_DATA);
        return;
    }
    if (db->root->tag != M3DMAGIC && db->root->tag != CMAGIC)
        return;
    FtkChunk* mdata = nullptr;
    FtkChunkFindDescendant(db->root, MDATA, &mdata);
    if (!mdata)
        mdata = FtkChunkAddChild(MDATA, db->root);
    FtkChunk* version = nullptr;
    if (mdata)
        FtkChunkReuseChild(mdata, MESH_VERSION, &version);
    auto* value = version ? static_cast<uint32_t*>(FtkChunkDataAlloc(version)) : nullptr;
    if (value)
        *value = uint32_t(code + 1);
}

void FtkSetKfRevision(FtkDatabase* db, int code)
{
    static constexpr uint16_t kRevisions[] = {1, 2, 5, 6};
    if (!db || code < 0 || code > 3) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    if (!db->root) {
        FtkPushError(ERR_INVALID_DATABASE);
        return;
    }
    if (db->root->tag != M3DMAGIC && db->root->tag != CMAGIC)
        return;
    FtkChunk* kfdata = FtkKfDataGetOrCreate(db->root);
    if (!kfdata)
        return;
    FtkChunk* header = nullptr;
    FtkChunkFindSibling(kfdata->children, KFHDR, &header);
    FtkKfHdrData* hdr = nullptr;
    if (header) {
        hdr = static_cast<FtkKfHdrData*>(FtkChunkDataForEdit(header));
    } else {
        FtkChunkAddChildWithData(KFHDR, kfdata, reinterpret_cast<void**>(&hdr));
        if (hdr) {
            hdr->fileName = Dup("");
            hdr->animLength = 30;
        }
    }
    if (hdr)
        hdr->revision = kRevisions[code];
}

FtkChunk* FtkChunkAddChild(uint32_t tag, FtkChunk* parent)
{
    if (!parent) {
        FtkPushError(ERR_INVALID_ARG);
        return nullptr;
    }
    FtkChunk* chunk = nullptr;
    FtkChunkCreateTagged(&chunk, tag);
    if (!chunk)
        return nullptr;
    FtkChunkInsertChild(parent, chunk);
    return chunk;
}

FtkChunk* FtkChunkAddChildWithData(uint32_t tag, FtkChunk* parent, void** data)
{
    *data = nullptr;
    FtkChunk* chunk = FtkChunkAddChild(tag, parent);
    if (chunk)
        *data = FtkChunkDataAlloc(chunk);
    return FtkErrorPending() ? nullptr : chunk;
}

void* FtkChunkDataForEdit(FtkChunk* chunk)
{
    void* data = FtkChunkDataRead(chunk);
    if (data && !FtkErrorPending())
        chunk->readSlot = kFtkNoSlot;
    return FtkErrorPending() ? nullptr : data;
}

FtkChunk* FtkKfDataGetOrCreate(FtkChunk* root)
{
    if (!root) {
        FtkPushError(ERR_INVALID_ARG);
        return nullptr;
    }
    FtkChunk* kfdata = nullptr;
    FtkChunkFindSibling(root->children, KFDATA, &kfdata);
    return kfdata ? kfdata : FtkChunkAddChild(KFDATA, root);
}

void FtkKfAddNodeId(FtkChunk* node)
{
    void* data = nullptr;
    FtkChunkAddChildWithData(NODE_ID, node, &data);
    if (data)
        *static_cast<uint16_t*>(data) = 0xFFFF;
}

void FtkKfAddNodeHeader(const char* name, uint16_t flags1, uint16_t flags2, const char* parentName, FtkChunk* node)
{
    FtkNodeHdrData* hdr = nullptr;
    FtkChunk* header = FtkChunkAddChildWithData(NODE_HDR, node, reinterpret_cast<void**>(&hdr));
    if (!header || !hdr)
        return;
    hdr->objName = Dup(name);
    hdr->flags1 = flags1;
    hdr->flags2 = flags2;
    hdr->parentIndex = -1;
    if (!FtkErrorPending())
        FtkKfAddParentName(header, parentName);
}

void FtkKfAddParentName(FtkChunk* chunk, const char* text)
{
    if (!text)
        return;
    FtkNameData* data = nullptr;
    FtkChunkAddChildWithData(PARENT_NAME, chunk, reinterpret_cast<void**>(&data));
    if (data)
        data->name = Dup(text);
}

void FtkKfGetParentName(FtkChunk* chunk, char* buffer, size_t size)
{
    if (!buffer || size == 0)
        return;
    buffer[0] = 0;
    FtkChunk* parent = nullptr;
    FtkChunkFindDescendant(chunk, PARENT_NAME, &parent);
    if (!parent)
        return;
    auto* data = static_cast<FtkNameData*>(parent->data);
    if (data && data->name)
        FtkCopyName(buffer, size, data->name);
}

void FtkKfAddTrack(uint32_t tag, uint32_t keyCount, uint16_t flags, const FtkKeyHeader* keys, const void* values, FtkChunk* node)
{
    const size_t valueSize = FtkTrackValueSize(tag);
    if (keyCount == 0 || !keys || (valueSize > 0 && !values))
        return;
    FtkTrackData* track = nullptr;
    if (!FtkChunkAddChildWithData(tag, node, reinterpret_cast<void**>(&track)) || !track)
        return;
    track->keys = static_cast<FtkKeyHeader*>(FtkMemAlloc(__FILE__, __LINE__, sizeof(FtkKeyHeader) * keyCount));
    if (valueSize > 0)
        track->values = FtkMemAlloc(__FILE__, __LINE__, valueSize * keyCount);
    if (!track->keys || (valueSize > 0 && !track->values)) {
        FtkPushError(ERR_NO_MEM);
        return;
    }
    std::memcpy(track->keys, keys, sizeof(FtkKeyHeader) * keyCount);
    if (valueSize > 0)
        std::memcpy(track->values, values, valueSize * keyCount);
    track->header.flags = flags;
    track->header.keyCount = keyCount;
}

void FtkKfAddPosTrack(uint32_t keyCount, uint16_t flags, const FtkKeyHeader* keys, const FtkVector* values, FtkChunk* node)
{
    FtkKfAddTrack(POS_TRACK_TAG, keyCount, flags, keys, values, node);
}

void FtkKfAddColTrack(uint32_t keyCount, uint16_t flags, const FtkKeyHeader* keys, const FtkVector* values, FtkChunk* node)
{
    FtkKfAddTrack(COL_TRACK_TAG, keyCount, flags, keys, values, node);
}

void FtkKfAddRollTrack(uint32_t keyCount, uint16_t flags, const FtkKeyHeader* keys, const float* values, FtkChunk* node)
{
    FtkKfAddTrack(ROLL_TRACK_TAG, keyCount, flags, keys, values, node);
}

FtkChunk* FtkKfAddTargetNode(const char* parentName, uint32_t keyCount, uint16_t flags, const FtkKeyHeader* keys,
                             const FtkVector* positions, const char* name, uint16_t flags1, uint16_t flags2,
                             bool camera, FtkChunk* kfdata)
{
    FtkChunk* node = FtkChunkAddChild(camera ? TARGET_NODE_TAG : L_TARGET_NODE_TAG, kfdata);
    if (!node)
        return nullptr;
    FtkKfAddNodeId(node);
    if (!FtkErrorPending())
        FtkKfAddNodeHeader(name, flags1, flags2, parentName, node);
    if (!FtkErrorPending())
        FtkKfAddPosTrack(keyCount, flags, keys, positions, node);
    return FtkErrorPending() ? nullptr : node;
}

void FtkKfFindNodeByHeaderName(FtkDatabase* db, const char* name, uint32_t tag, FtkChunk** out)
{
    if (!db || !name || !out) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    *out = nullptr;
    FtkChunk* kfdata = FindKfData(db);
    if (!kfdata)
        return;
    for (FtkChunk* c = kfdata->children; c; c = c->next) {
        if (c->tag != tag)
            continue;
        FtkChunk* header = nullptr;
        FtkChunkFindSibling(c->children, NODE_HDR, &header);
        if (!header)
            continue;
        auto* hdr = static_cast<FtkNodeHdrData*>(FtkChunkDataRead(header));
        if (FtkErrorPending())
            return;
        const bool match = hdr && hdr->objName && std::strcmp(hdr->objName, name) == 0;
        FtkChunkDataDropIfReloadable(header);
        if (match) {
            *out = c;
            return;
        }
    }
}

void FtkKfReplaceNode(FtkDatabase* db, const char* name, uint32_t tag, FtkChunk** kept)
{
    if (kept)
        *kept = nullptr;
    FtkChunk* node = FtkKfNodeFind(db, name, tag);
    if (!node || FtkErrorPending())
        return;
    FtkChunk* xdata = nullptr;
    FtkChunkFindDescendant(node, XDATA_SECTION, &xdata);
    if (xdata && kept)
        FtkChunkCopyTree(xdata, kept);
    // Its index entry stays; look-ups skip it by its tag, now 0.
    FtkChunkClear(node);
    FtkDatabaseChanged(db);
}

uint32_t FtkKfNodeCount(FtkDatabase* db, uint32_t tag)
{
    if (!db) {
        FtkPushError(ERR_INVALID_ARG);
        return 0;
    }
    FtkKfNodeIndexUpdate(db);
    if (FtkErrorPending() || !db->nodeList)
        return 0;
    uint32_t count = 0;
    for (uint32_t i = 0; i < db->nodeList->count; ++i)
        count += db->nodeList->list[i].chunk && db->nodeList->list[i].chunk->tag == tag;
    return count;
}

void FtkKfNodeNameList(FtkDatabase* db, uint32_t tag, FtkNameList** list)
{
    if (!db || !list) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    const uint32_t count = FtkKfNodeCount(db, tag);
    if (FtkErrorPending())
        return;
    FtkNameListInit(list, count);
    if (FtkErrorPending())
        return;
    uint32_t n = 0;
    for (uint32_t i = 0; i < db->nodeList->count && n < count; ++i) {
        const FtkNameIndexEntry& e = db->nodeList->list[i];
        if (!e.chunk || e.chunk->tag != tag)
            continue;
        (*list)->names[n] = Dup(e.name);
        if (!(*list)->names[n++])
            return;
    }
}

void FtkCopyName(char* field, size_t size, const char* text)
{
    if (!field || size == 0)
        return;
    const size_t length = text ? strnlen(text, size - 1) : 0;
    if (length > 0)
        std::memcpy(field, text, length);
    field[length] = 0;
}

} // namespace duzsdk
