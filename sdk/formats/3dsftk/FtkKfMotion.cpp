#include "sdk/formats/3dsftk/FtkKfMotion.h"

#include "sdk/formats/3dsftk/FtkChunk.h"
#include "sdk/formats/3dsftk/FtkDatabase.h"
#include "sdk/formats/3dsftk/FtkError.h"
#include "sdk/formats/3dsftk/FtkKfHierarchy.h"
#include "sdk/formats/3dsftk/FtkRecordSupport.h"

#include <cstring>
#include <string>
#include <type_traits>

namespace duzsdk {

static_assert(sizeof(FtkRotKey) == 16 && sizeof(FtkMorphKey) == 13 && sizeof(FtkVector) == 12);

namespace {

template <typename V>
void FreeTrack(FtkTrack<V>& track)
{
    FtkMemFree(track.keys);
    FtkMemFree(track.values);
    track = FtkTrack<V>{};
}

// A track of count fresh keys and values (count 0 leaves the track alone).
template <typename V>
void InitTrack(FtkTrack<V>& track, uint32_t count, const V& fresh)
{
    if (count == 0 || FtkErrorPending())
        return;
    FreeTrack(track);
    track.keys = static_cast<FtkKeyHeader*>(FtkMemCalloc(__FILE__, __LINE__, count, sizeof(FtkKeyHeader)));
    if (!track.keys) {
        FtkPushError(ERR_NO_MEM);
        return;
    }
    if constexpr (!std::is_same_v<V, FtkNoValue>) {
        track.values = static_cast<V*>(FtkMemAlloc(__FILE__, __LINE__, count * sizeof(V)));
        if (!track.values) {
            FtkMemFree(track.keys);
            track.keys = nullptr;
            FtkPushError(ERR_NO_MEM);
            return;
        }
        for (uint32_t i = 0; i < count; ++i)
            track.values[i] = fresh;
    }
    track.keyCount = count;
}

template <typename R>
R* Alloc(R** record)
{
    if (!record) {
        FtkPushError(ERR_INVALID_ARG);
        return nullptr;
    }
    if (!*record) {
        *record = static_cast<R*>(FtkMemCalloc(__FILE__, __LINE__, 1, sizeof(R)));
        if (!*record) {
            FtkPushError(ERR_NO_MEM);
            return nullptr;
        }
        **record = R{};
    }
    return *record;
}

// Copies a track chunk's keys and values into the record's track; a missing
// chunk leaves the track empty.
template <typename V>
void ReadTrack(FtkChunk* chunk, FtkTrack<V>& track)
{
    FreeTrack(track);
    if (!chunk)
        return;
    auto* data = static_cast<FtkTrackData*>(FtkChunkDataRead(chunk));
    if (!data || FtkErrorPending())
        return;
    const uint32_t count = data->keys ? data->header.keyCount : 0;
    track.flags = data->header.flags;
    if (count > 0) {
        constexpr bool hasValues = !std::is_same_v<V, FtkNoValue>;
        if (hasValues && !data->values) {
            FtkPushError(ERR_INVALID_DATA);
            return;
        }
        track.keys = static_cast<FtkKeyHeader*>(FtkMemAlloc(__FILE__, __LINE__, count * sizeof(FtkKeyHeader)));
        if constexpr (hasValues)
            track.values = static_cast<V*>(FtkMemAlloc(__FILE__, __LINE__, count * sizeof(V)));
        if (!track.keys || (hasValues && !track.values)) {
            FreeTrack(track);
            FtkPushError(ERR_NO_MEM);
            return;
        }
        std::memcpy(track.keys, data->keys, count * sizeof(FtkKeyHeader));
        if constexpr (hasValues)
            std::memcpy(static_cast<void*>(track.values), data->values, count * sizeof(V));
        track.keyCount = count;
    }
    FtkChunkDataDropIfReloadable(chunk);
}

template <typename V>
void PutTrack(uint16_t tag, const FtkTrack<V>& track, FtkChunk* node)
{
    if (FtkErrorPending() || track.keyCount == 0 || !track.keys)
        return;
    if constexpr (!std::is_same_v<V, FtkNoValue>) {
        if (!track.values)
            return;
        FtkKfAddTrack(tag, track.keyCount, track.flags, track.keys, track.values, node);
    } else {
        FtkKfAddTrack(tag, track.keyCount, track.flags, track.keys, nullptr, node);
    }
}

FtkChunk* Find(FtkChunk* node, uint16_t tag)
{
    FtkChunk* found = nullptr;
    if (node)
        FtkChunkFindDescendant(node, tag, &found);
    return found;
}

// Name, flag words and parent name of a node; none gives empty and 0.
void ReadHeader(FtkChunk* node, char* name, size_t nameSize, char* parent, size_t parentSize, uint16_t* flags1, uint16_t* flags2)
{
    FtkCopyName(name, nameSize, "");
    FtkCopyName(parent, parentSize, "");
    *flags1 = *flags2 = 0;
    FtkChunk* header = Find(node, NODE_HDR);
    if (!header)
        return;
    auto* hdr = static_cast<FtkNodeHdrData*>(FtkChunkDataRead(header));
    if (!hdr || FtkErrorPending())
        return;
    if (name)
        FtkCopyName(name, nameSize, hdr->objName);
    *flags1 = hdr->flags1;
    *flags2 = hdr->flags2;
    FtkKfGetParentName(header, parent, parentSize);
    FtkChunkDataDropIfReloadable(header);
}

bool CheckPut(FtkDatabase* db, const void* record)
{
    if (!db || !record) {
        FtkPushError(ERR_INVALID_ARG);
        return false;
    }
    return FtkCheckDatabase(db, false);
}

// A name and parent name from record fields, held to the file's limits.
struct NodeNames {
    char* name = nullptr;
    char* parent = nullptr;
    NodeNames(const char* nameField, size_t nameSize, const char* parentField, size_t parentSize)
    {
        name = FtkRecordText(nameField, nameSize);
        parent = name ? FtkRecordText(parentField, parentSize) : nullptr;
        if (name && std::strlen(name) > FtkTextLimit(NAMED_OBJECT))
            FtkPushError(ERR_STRING_TOO_LONG);
    }
    ~NodeNames()
    {
        FtkMemFree(name);
        FtkMemFree(parent);
    }
    bool Ok() const { return name && parent && !FtkErrorPending(); }
};

FtkChunk* NewNode(uint16_t tag, FtkChunk* kfdata, const NodeNames& names, uint16_t flags1, uint16_t flags2)
{
    FtkChunk* node = FtkChunkAddChild(tag, kfdata);
    if (!node)
        return nullptr;
    FtkKfAddNodeId(node);
    if (!FtkErrorPending())
        FtkKfAddNodeHeader(names.name, flags1, flags2, names.parent, node);
    return FtkErrorPending() ? nullptr : node;
}

// A new node enters a clean keyframer index; a failed put leaves it dirty.
void IndexNode(FtkDatabase* db, const char* name, FtkChunk* node)
{
    if (FtkErrorPending())
        FtkKfNodeIndexInvalidate(db);
    else if (node)
        FtkKfNodeIndexAdd(db, name, node);
}

void KeepXdata(FtkChunk* node, FtkChunk*& kept)
{
    if (kept && node && !FtkErrorPending()) {
        FtkChunkInsertChild(node, kept);
        kept = nullptr;
    }
    FtkChunkFree(&kept);
}

// The name in a keyframer node's header; empty without one.
std::string HeaderName(FtkChunk* node)
{
    FtkChunk* header = nullptr;
    FtkChunkFindSibling(node->children, NODE_HDR, &header);
    if (!header)
        return std::string();
    auto* hdr = static_cast<FtkNodeHdrData*>(FtkChunkDataRead(header));
    std::string name = hdr && hdr->objName ? hdr->objName : "";
    FtkChunkDataDropIfReloadable(header);
    return name;
}

// The n-th node of a kind, read with its header name. Through the ordinal
// cursor and the name index, so that reading every node of a kind in turn
// stays linear in the node count.
template <typename Fn>
void ReadByOrdinal(FtkDatabase* db, uint32_t index, uint16_t tag, Fn read)
{
    if (!db) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    FtkChunk* node = FtkKfNodeByOrdinal(db, index, tag);
    if (!node || FtkErrorPending())
        return;
    const std::string name = HeaderName(node);
    if (!FtkErrorPending())
        read(node, name.c_str());
}

} // namespace

void FtkObjectMotionInit(FtkObjectMotion** motion, uint32_t pos, uint32_t rot, uint32_t scale, uint32_t morph, uint32_t hide)
{
    FtkObjectMotion* m = Alloc(motion);
    if (!m)
        return;
    InitTrack(m->pos, pos, FtkVector{});
    InitTrack(m->rot, rot, FtkRotKey{});
    InitTrack(m->scale, scale, FtkVector{1, 1, 1});
    InitTrack(m->morph, morph, FtkMorphKey{});
    InitTrack(m->hide, hide, FtkNoValue{});
}

void FtkCameraMotionInit(FtkCameraMotion** motion, uint32_t pos, uint32_t fov, uint32_t roll, uint32_t targetPos)
{
    FtkCameraMotion* m = Alloc(motion);
    if (!m)
        return;
    InitTrack(m->pos, pos, FtkVector{});
    InitTrack(m->fov, fov, 60.0f);
    InitTrack(m->roll, roll, 0.0f);
    InitTrack(m->targetPos, targetPos, FtkVector{});
    if (targetPos > 0)
        m->targetFlags1 = m->targetFlags2 = 0;
}

void FtkOmniMotionInit(FtkOmniMotion** motion, uint32_t pos, uint32_t color)
{
    FtkOmniMotion* m = Alloc(motion);
    if (!m)
        return;
    InitTrack(m->pos, pos, FtkVector{});
    InitTrack(m->color, color, FtkVector{1, 1, 1});
}

void FtkSpotMotionInit(FtkSpotMotion** motion, uint32_t pos, uint32_t color, uint32_t hotspot, uint32_t falloff,
                       uint32_t roll, uint32_t targetPos)
{
    FtkSpotMotion* m = Alloc(motion);
    if (!m)
        return;
    InitTrack(m->pos, pos, FtkVector{});
    InitTrack(m->color, color, FtkVector{});
    InitTrack(m->hotspot, hotspot, 90.0f);
    InitTrack(m->falloff, falloff, 90.0f);
    InitTrack(m->roll, roll, 0.0f);
    InitTrack(m->targetPos, targetPos, FtkVector{});
}

void FtkObjectMotionRelease(FtkObjectMotion** motion)
{
    if (!motion || !*motion)
        return;
    FtkObjectMotion* m = *motion;
    FreeTrack(m->pos);
    FreeTrack(m->rot);
    FreeTrack(m->scale);
    FreeTrack(m->morph);
    FreeTrack(m->hide);
    FtkMemFree(m);
    *motion = nullptr;
}

void FtkCameraMotionRelease(FtkCameraMotion** motion)
{
    if (!motion || !*motion)
        return;
    FtkCameraMotion* m = *motion;
    FreeTrack(m->pos);
    FreeTrack(m->fov);
    FreeTrack(m->roll);
    FreeTrack(m->targetPos);
    FtkMemFree(m);
    *motion = nullptr;
}

void FtkOmniMotionRelease(FtkOmniMotion** motion)
{
    if (!motion || !*motion)
        return;
    FreeTrack((*motion)->pos);
    FreeTrack((*motion)->color);
    FtkMemFree(*motion);
    *motion = nullptr;
}

void FtkSpotMotionRelease(FtkSpotMotion** motion)
{
    if (!motion || !*motion)
        return;
    FtkSpotMotion* m = *motion;
    FreeTrack(m->pos);
    FreeTrack(m->color);
    FreeTrack(m->hotspot);
    FreeTrack(m->falloff);
    FreeTrack(m->roll);
    FreeTrack(m->targetPos);
    FtkMemFree(m);
    *motion = nullptr;
}

uint32_t FtkObjectMotionCount(FtkDatabase* db) { return FtkKfNodeCount(db, OBJECT_NODE_TAG); }
uint32_t FtkCameraMotionCount(FtkDatabase* db) { return FtkKfNodeCount(db, CAMERA_NODE_TAG); }
uint32_t FtkOmniMotionCount(FtkDatabase* db) { return FtkKfNodeCount(db, LIGHT_NODE_TAG); }
uint32_t FtkSpotMotionCount(FtkDatabase* db) { return FtkKfNodeCount(db, SPOTLIGHT_NODE_TAG); }
void FtkCameraMotionNameList(FtkDatabase* db, FtkNameList** list) { FtkKfNodeNameList(db, CAMERA_NODE_TAG, list); }
void FtkSpotMotionNameList(FtkDatabase* db, FtkNameList** list) { FtkKfNodeNameList(db, SPOTLIGHT_NODE_TAG, list); }
void FtkOmniMotionNameList(FtkDatabase* db, FtkNameList** list) { FtkKfNodeNameList(db, LIGHT_NODE_TAG, list); }

void FtkObjectMotionGetByIndex(FtkDatabase* db, uint32_t index, FtkObjectMotion** motion)
{
    if (!db || !motion) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    if (!FtkCheckDatabase(db, false))
        return;
    FtkChunk* node = FtkKfNodeByOrdinal(db, index, OBJECT_NODE_TAG);
    if (node && !FtkErrorPending())
        FtkObjectMotionRead(node, motion);
}

void FtkCameraMotionGetByIndex(FtkDatabase* db, uint32_t index, FtkCameraMotion** motion)
{
    ReadByOrdinal(db, index, CAMERA_NODE_TAG, [&](FtkChunk* node, const char* name) {
        FtkChunk* target = FtkKfNodeFind(db, name, TARGET_NODE_TAG);
        if (!FtkErrorPending())
            FtkCameraMotionRead(node, target, motion);
    });
}

void FtkOmniMotionGetByIndex(FtkDatabase* db, uint32_t index, FtkOmniMotion** motion)
{
    ReadByOrdinal(db, index, LIGHT_NODE_TAG, [&](FtkChunk* node, const char*) { FtkOmniMotionRead(node, motion); });
}

void FtkSpotMotionGetByIndex(FtkDatabase* db, uint32_t index, FtkSpotMotion** motion)
{
    ReadByOrdinal(db, index, SPOTLIGHT_NODE_TAG, [&](FtkChunk* node, const char* name) {
        FtkChunk* target = FtkKfNodeFind(db, name, L_TARGET_NODE_TAG);
        // A spotlight is read only with its target.
        if (target && !FtkErrorPending())
            FtkSpotMotionRead(node, target, motion);
    });
}

void FtkObjectMotionRead(FtkChunk* node, FtkObjectMotion** motion)
{
    if (!node || !motion) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    if (node->tag != OBJECT_NODE_TAG) {
        FtkPushError(ERR_WRONG_OBJECT);
        return;
    }
    FtkObjectMotion* m = Alloc(motion);
    if (!m)
        return;
    FtkChunk* copy = nullptr;
    FtkChunkCopyTree(node, &copy);
    if (!copy)
        return;
    ReadHeader(copy, m->name, sizeof m->name, m->parent, sizeof m->parent, &m->flags1, &m->flags2);
    FtkCopyName(m->instance, sizeof m->instance, "");
    if (FtkChunk* c = Find(copy, INSTANCE_NAME); c && !FtkErrorPending()) {
        if (auto* d = static_cast<FtkNameData*>(FtkChunkDataRead(c)))
            FtkCopyName(m->instance, sizeof m->instance, d->name);
    }
    m->pivot = {};
    if (FtkChunk* c = Find(copy, PIVOT); c && !FtkErrorPending())
        if (auto* d = static_cast<FtkVector*>(FtkChunkDataRead(c)))
            m->pivot = *d;
    m->bboxMin = m->bboxMax = {};
    if (FtkChunk* c = Find(copy, BOUNDBOX); c && !FtkErrorPending()) {
        if (auto* d = static_cast<FtkBoundBoxData*>(FtkChunkDataRead(c))) {
            m->bboxMin = d->min;
            m->bboxMax = d->max;
        }
    }
    m->morphSmooth = 0;
    if (FtkChunk* c = Find(copy, MORPH_SMOOTH); c && !FtkErrorPending())
        if (auto* d = static_cast<float*>(FtkChunkDataRead(c)))
            m->morphSmooth = *d;
    ReadTrack(FtkErrorPending() ? nullptr : Find(copy, POS_TRACK_TAG), m->pos);
    ReadTrack(FtkErrorPending() ? nullptr : Find(copy, ROT_TRACK_TAG), m->rot);
    ReadTrack(FtkErrorPending() ? nullptr : Find(copy, SCL_TRACK_TAG), m->scale);
    ReadTrack(FtkErrorPending() ? nullptr : Find(copy, MORPH_TRACK_TAG), m->morph);
    ReadTrack(FtkErrorPending() ? nullptr : Find(copy, HIDE_TRACK_TAG), m->hide);
    FtkChunkFree(&copy);
}

void FtkCameraMotionRead(FtkChunk* node, FtkChunk* target, FtkCameraMotion** motion)
{
    if (!node || !motion) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    FtkCameraMotion* m = Alloc(motion);
    if (!m)
        return;
    ReadHeader(node, m->name, sizeof m->name, m->parent, sizeof m->parent, &m->flags1, &m->flags2);
    ReadHeader(target, nullptr, 0, m->targetParent, sizeof m->targetParent, &m->targetFlags1, &m->targetFlags2);
    ReadTrack(FtkErrorPending() ? nullptr : Find(node, POS_TRACK_TAG), m->pos);
    ReadTrack(FtkErrorPending() ? nullptr : Find(node, FOV_TRACK_TAG), m->fov);
    ReadTrack(FtkErrorPending() ? nullptr : Find(node, ROLL_TRACK_TAG), m->roll);
    ReadTrack(FtkErrorPending() ? nullptr : Find(target, POS_TRACK_TAG), m->targetPos);
}

void FtkOmniMotionRead(FtkChunk* node, FtkOmniMotion** motion)
{
    if (!node || !motion) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    FtkOmniMotion* m = Alloc(motion);
    if (!m)
        return;
    ReadHeader(node, m->name, sizeof m->name, m->parent, sizeof m->parent, &m->flags1, &m->flags2);
    ReadTrack(FtkErrorPending() ? nullptr : Find(node, POS_TRACK_TAG), m->pos);
    ReadTrack(FtkErrorPending() ? nullptr : Find(node, COL_TRACK_TAG), m->color);
}

void FtkSpotMotionRead(FtkChunk* node, FtkChunk* target, FtkSpotMotion** motion)
{
    if (!node || !motion) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    FtkSpotMotion* m = Alloc(motion);
    if (!m)
        return;
    ReadHeader(node, m->name, sizeof m->name, m->parent, sizeof m->parent, &m->flags1, &m->flags2);
    ReadHeader(target, nullptr, 0, m->targetParent, sizeof m->targetParent, &m->targetFlags1, &m->targetFlags2);
    ReadTrack(FtkErrorPending() ? nullptr : Find(node, POS_TRACK_TAG), m->pos);
    ReadTrack(FtkErrorPending() ? nullptr : Find(node, COL_TRACK_TAG), m->color);
    ReadTrack(FtkErrorPending() ? nullptr : Find(node, HOT_TRACK_TAG), m->hotspot);
    ReadTrack(FtkErrorPending() ? nullptr : Find(node, FALL_TRACK_TAG), m->falloff);
    ReadTrack(FtkErrorPending() ? nullptr : Find(node, ROLL_TRACK_TAG), m->roll);
    ReadTrack(FtkErrorPending() ? nullptr : Find(target, POS_TRACK_TAG), m->targetPos);
}

void FtkObjectMotionPut(FtkDatabase* db, const FtkObjectMotion* motion)
{
    if (!CheckPut(db, motion))
        return;
    const FtkObjectMotion& m = *motion;
    NodeNames names(m.name, sizeof m.name, m.parent, sizeof m.parent);
    char* instance = FtkRecordText(m.instance, sizeof m.instance);
    if (!names.Ok() || !instance) {
        FtkMemFree(instance);
        return;
    }
    if (std::strlen(instance) > FtkTextLimit(INSTANCE_NAME)) {
        FtkMemFree(instance);
        FtkPushError(ERR_STRING_TOO_LONG);
        return;
    }
    for (uint32_t k = 0; m.morph.values && k < m.morph.keyCount; ++k) {
        if (strnlen(m.morph.values[k].name, sizeof m.morph.values[k].name) > 9) {
            FtkMemFree(instance);
            FtkPushError(ERR_STRING_TOO_LONG);
            return;
        }
    }
    FtkChunk* kfdata = FtkKfDataGetOrCreate(db->root);
    // An instanced node is known by its index name, so putting it again retires it.
    std::string indexName = names.name;
    if (*instance)
        indexName += std::string(".") + instance;
    FtkChunk* kept = nullptr;
    if (kfdata)
        FtkKfReplaceNode(db, indexName.c_str(), OBJECT_NODE_TAG, &kept);
    FtkChunk* node = kfdata && !FtkErrorPending() ? NewNode(OBJECT_NODE_TAG, kfdata, names, m.flags1, m.flags2) : nullptr;
    IndexNode(db, indexName.c_str(), node);
    void* data = nullptr;
    if (node && *instance && FtkChunkAddChildWithData(INSTANCE_NAME, node, &data) && data) {
        static_cast<FtkNameData*>(data)->name = instance;
        instance = nullptr;
    }
    FtkMemFree(instance);
    if (node && !FtkErrorPending() && std::strcmp(names.name, "$$$DUMMY") == 0) {
        if (FtkChunkAddChildWithData(BOUNDBOX, node, &data) && data) {
            static_cast<FtkBoundBoxData*>(data)->min = m.bboxMin;
            static_cast<FtkBoundBoxData*>(data)->max = m.bboxMax;
        }
    }
    if (node && !FtkErrorPending() && (m.flags2 & 0x0001))
        if (FtkChunkAddChildWithData(MORPH_SMOOTH, node, &data) && data)
            *static_cast<float*>(data) = m.morphSmooth;
    if (node && !FtkErrorPending())
        if (FtkChunkAddChildWithData(PIVOT, node, &data) && data)
            *static_cast<FtkVector*>(data) = m.pivot;
    if (node) {
        PutTrack(POS_TRACK_TAG, m.pos, node);
        PutTrack(ROT_TRACK_TAG, m.rot, node);
        PutTrack(SCL_TRACK_TAG, m.scale, node);
        PutTrack(MORPH_TRACK_TAG, m.morph, node);
        PutTrack(HIDE_TRACK_TAG, m.hide, node);
    }
    KeepXdata(node, kept);
}

// The node of a camera or spotlight and its target node, each replacing the
// node of the same name and kind (their extra data kept in `kept` and
// `keptTarget`); the target only when it has positions. The node's tracks
// are the caller's.
namespace {

template <typename Motion>
FtkChunk* PutTargetedNodes(FtkDatabase* db, const Motion& m, uint16_t nodeTag, uint16_t targetTag, bool camera,
                           FtkChunk*& kept, FtkChunk*& target, FtkChunk*& keptTarget)
{
    NodeNames names(m.name, sizeof m.name, m.parent, sizeof m.parent);
    char* targetParent = FtkRecordText(m.targetParent, sizeof m.targetParent);
    FtkChunk* kfdata = names.Ok() && targetParent ? FtkKfDataGetOrCreate(db->root) : nullptr;
    if (kfdata)
        FtkKfReplaceNode(db, names.name, targetTag, &keptTarget);
    if (kfdata && !FtkErrorPending())
        FtkKfReplaceNode(db, names.name, nodeTag, &kept);
    if (kfdata && !FtkErrorPending() && m.targetPos.keyCount > 0 && m.targetPos.keys && m.targetPos.values)
        target = FtkKfAddTargetNode(targetParent, m.targetPos.keyCount, m.targetPos.flags, m.targetPos.keys,
                                    m.targetPos.values, names.name, m.targetFlags1, m.targetFlags2, camera, kfdata);
    FtkMemFree(targetParent);
    IndexNode(db, names.name, target);
    FtkChunk* node = kfdata && !FtkErrorPending() ? NewNode(nodeTag, kfdata, names, m.flags1, m.flags2) : nullptr;
    IndexNode(db, names.name, node);
    return node;
}

}  // namespace

void FtkCameraMotionPut(FtkDatabase* db, const FtkCameraMotion* motion)
{
    if (!db || !motion) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    if (!db->root || db->root->tag != M3DMAGIC) {
        FtkPushError(ERR_INVALID_DATA);
        return;
    }
    const FtkCameraMotion& m = *motion;
    FtkChunk* kept = nullptr;
    FtkChunk* target = nullptr;
    FtkChunk* keptTarget = nullptr;
    FtkChunk* node = PutTargetedNodes(db, m, CAMERA_NODE_TAG, TARGET_NODE_TAG, true, kept, target, keptTarget);
    if (node) {
        PutTrack(POS_TRACK_TAG, m.pos, node);
        PutTrack(FOV_TRACK_TAG, m.fov, node);
        PutTrack(ROLL_TRACK_TAG, m.roll, node);
    }
    KeepXdata(node, kept);
    KeepXdata(target, keptTarget);
}

void FtkOmniMotionPut(FtkDatabase* db, const FtkOmniMotion* motion)
{
    if (!CheckPut(db, motion))
        return;
    const FtkOmniMotion& m = *motion;
    NodeNames names(m.name, sizeof m.name, m.parent, sizeof m.parent);
    FtkChunk* kfdata = names.Ok() ? FtkKfDataGetOrCreate(db->root) : nullptr;
    FtkChunk* kept = nullptr;
    if (kfdata)
        FtkKfReplaceNode(db, names.name, LIGHT_NODE_TAG, &kept);
    FtkChunk* node = kfdata && !FtkErrorPending() ? NewNode(LIGHT_NODE_TAG, kfdata, names, m.flags1, m.flags2) : nullptr;
    IndexNode(db, names.name, node);
    if (node) {
        PutTrack(POS_TRACK_TAG, m.pos, node);
        PutTrack(COL_TRACK_TAG, m.color, node);
    }
    KeepXdata(node, kept);
}

void FtkSpotMotionPut(FtkDatabase* db, const FtkSpotMotion* motion)
{
    if (!CheckPut(db, motion))
        return;
    const FtkSpotMotion& m = *motion;
    FtkChunk* kept = nullptr;
    FtkChunk* target = nullptr;
    FtkChunk* keptTarget = nullptr;
    FtkChunk* node = PutTargetedNodes(db, m, SPOTLIGHT_NODE_TAG, L_TARGET_NODE_TAG, false, kept, target, keptTarget);
    if (node) {
        PutTrack(POS_TRACK_TAG, m.pos, node);
        PutTrack(COL_TRACK_TAG, m.color, node);
        PutTrack(HOT_TRACK_TAG, m.hotspot, node);
        PutTrack(FALL_TRACK_TAG, m.falloff, node);
        PutTrack(ROLL_TRACK_TAG, m.roll, node);
    }
    KeepXdata(node, kept);
    KeepXdata(target, keptTarget);
}

void FtkKfSettingsInit(FtkKfSettings** settings)
{
    if (FtkKfSettings* s = Alloc(settings))
        *s = FtkKfSettings{};
}

void FtkKfSettingsRelease(FtkKfSettings** settings)
{
    if (!settings || !*settings)
        return;
    FtkMemFree(*settings);
    *settings = nullptr;
}

void FtkKfSettingsPut(FtkDatabase* db, const FtkKfSettings* settings)
{
    if (!CheckPut(db, settings))
        return;
    FtkChunk* kfdata = FtkKfDataGetOrCreate(db->root);
    if (!kfdata)
        return;
    FtkChunk* header = nullptr;
    FtkChunkFindDescendant(kfdata, KFHDR, &header);
    if (header) {
        if (auto* hdr = static_cast<FtkKfHdrData*>(FtkChunkDataForEdit(header)))
            hdr->animLength = uint32_t(settings->animLength);
    } else {
        void* data = nullptr;
        if (FtkChunkAddChildWithData(KFHDR, kfdata, &data) && data) {
            auto* hdr = static_cast<FtkKfHdrData*>(data);
            hdr->revision = 5;
            hdr->fileName = FtkStrDup("");
            if (!hdr->fileName)
                FtkPushError(ERR_NO_MEM);
            hdr->animLength = uint32_t(settings->animLength);
        }
    }
    if (FtkErrorPending())
        return;
    FtkChunk* current = nullptr;
    FtkChunkFindDescendant(kfdata, KFCURTIME, &current);
    void* data = nullptr;
    if (current)
        data = FtkChunkDataForEdit(current);
    else
        FtkChunkAddChildWithData(KFCURTIME, kfdata, &data);
    if (data)
        *static_cast<uint32_t*>(data) = uint32_t(settings->curFrame);
    if (FtkErrorPending())
        return;
    FtkChunk* segment = nullptr;
    FtkChunkFindSibling(kfdata->children, KFSEG, &segment);
    if (!settings->useSegment) {
        if (segment)
            FtkChunkClear(segment);
        return;
    }
    FtkChunkReuseChild(kfdata, KFSEG, &segment);
    auto* seg = segment ? static_cast<FtkKfSegData*>(FtkChunkDataAlloc(segment)) : nullptr;
    if (seg) {
        seg->first = uint32_t(settings->segBegin);
        seg->last = uint32_t(settings->segEnd);
    }
}

void FtkKfSettingsGet(FtkDatabase* db, FtkKfSettings** settings)
{
    if (!db || !settings) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    FtkKfSettingsInit(settings);
    FtkChunk* kfdata = nullptr;
    if (db->root)
        FtkChunkFindDescendant(db->root, KFDATA, &kfdata);
    if (!kfdata || FtkErrorPending())
        return;
    FtkKfSettings* s = *settings;
    FtkChunk* c = nullptr;
    FtkChunkFindSibling(kfdata->children, KFHDR, &c);
    if (auto* hdr = c ? static_cast<FtkKfHdrData*>(FtkChunkDataRead(c)) : nullptr)
        s->animLength = int32_t(hdr->animLength);
    FtkChunkFindSibling(kfdata->children, KFCURTIME, &c);
    if (auto* v = c && !FtkErrorPending() ? static_cast<uint32_t*>(FtkChunkDataRead(c)) : nullptr)
        s->curFrame = int32_t(*v);
    FtkChunkFindSibling(kfdata->children, KFSEG, &c);
    if (auto* seg = c && !FtkErrorPending() ? static_cast<FtkKfSegData*>(FtkChunkDataRead(c)) : nullptr) {
        s->useSegment = 1;
        s->segBegin = int32_t(seg->first);
        s->segEnd = int32_t(seg->last);
    }
}

} // namespace duzsdk
