#include "sdk/formats/3dsftk/FtkTriMesh.h"

#include "sdk/formats/3dsftk/FtkChunk.h"
#include "sdk/formats/3dsftk/FtkChunkData.h"
#include "sdk/formats/3dsftk/FtkDatabase.h"
#include "sdk/formats/3dsftk/FtkError.h"
#include "sdk/formats/3dsftk/FtkKfHierarchy.h"
#include "sdk/formats/3dsftk/FtkRecordSupport.h"

#include <algorithm>
#include <cstring>

namespace duzsdk {

namespace {

// Code of a chunk that could not be made or filled during a put; it has no
// name in the error table.
constexpr int32_t kPutFailed = 21;

bool HoldsTriObject(FtkChunk* c)
{
    FtkChunk* found = nullptr;
    FtkChunkFindDescendant(c, N_TRI_OBJECT, &found);
    return found != nullptr;
}

// Resizes an array to count entries; entries past the old size get fresh values.
// An array the caller gave the record has an unknown size: taken as the count.
template <typename T>
bool Resize(T*& array, uint32_t& size, size_t count, const T& fresh)
{
    if (count == 0) {
        FtkMemFree(array);
        array = nullptr;
        size = 0;
        return true;
    }
    const size_t old = !array ? 0 : size == 0 ? count : std::min<size_t>(size, count);
    T* grown = static_cast<T*>(FtkMemRealloc(__FILE__, __LINE__, array, count * sizeof(T)));
    if (!grown) {
        FtkPushError(ERR_NO_MEM);
        return false;
    }
    for (size_t i = old; i < count; ++i)
        grown[i] = fresh;
    array = grown;
    size = uint32_t(count);
    return true;
}

enum Slot { kVerts, kTex, kFaces, kGroups, kSmooth, kProc, kFlags };

void ResetFields(FtkTriMesh* mesh)
{
    FtkTriMesh fresh;
    // Arrays stay with the record; every other field goes back to its default.
    fresh.vertices = mesh->vertices;
    fresh.vertexFlags = mesh->vertexFlags;
    fresh.texVerts = mesh->texVerts;
    fresh.faces = mesh->faces;
    fresh.smoothGroups = mesh->smoothGroups;
    fresh.matGroups = mesh->matGroups;
    fresh.procData = mesh->procData;
    fresh.vertexCount = mesh->vertexCount;
    fresh.faceCount = mesh->faceCount;
    fresh.matGroupCount = mesh->matGroupCount;
    fresh.texVertCount = mesh->texVertCount;
    fresh.vertexFlagCount = mesh->vertexFlagCount;
    fresh.procSize = mesh->procSize;
    std::memcpy(fresh.arraySizes, mesh->arraySizes, sizeof fresh.arraySizes);
    fresh.mapMatrix[0] = fresh.mapMatrix[4] = 1.0f;
    *mesh = fresh;
}

// Moves an array out of a chunk's data: the copy no longer owns it.
template <typename T>
T* Take(T*& from)
{
    T* taken = from;
    from = nullptr;
    return taken;
}

void ReadFaceChildren(FtkChunk* faceArray, FtkTriMesh* mesh)
{
    FtkChunk* first = nullptr;
    FtkChunkFindSibling(faceArray->children, MSH_MAT_GROUP, &first);
    if (first) {
        FtkTriMeshFreeArrays(mesh, kFtkTriMatGroups);
        const uint32_t groups = FtkTriMeshMatGroupCount(first);
        // The record counts groups in 16 bits; more cannot be held, not dropped silently.
        if (groups > 0xFFFF) {
            mesh->matGroupCount = 0;
            FtkPushError(ERR_INVALID_DATA);
            return;
        }
        mesh->matGroupCount = uint16_t(groups);
        mesh->arraySizes[kGroups] = mesh->matGroupCount;
        mesh->matGroups = static_cast<FtkMatGroup*>(FtkMemCalloc(__FILE__, __LINE__, mesh->matGroupCount, sizeof(FtkMatGroup)));
        if (!mesh->matGroups) {
            mesh->matGroupCount = 0;
            FtkPushError(ERR_NO_MEM);
            return;
        }
        uint16_t g = 0;
        for (FtkChunk* c = first; c && g < mesh->matGroupCount; c = c->next) {
            if (c->tag != MSH_MAT_GROUP)
                continue;
            auto* data = static_cast<FtkMshMatGroupData*>(FtkChunkDataRead(c));
            if (FtkErrorPending())
                return;
            FtkMatGroup& group = mesh->matGroups[g++];
            if (!data)
                continue;
            FtkCopyName(group.name, sizeof group.name, data->name);
            group.faceCount = data->faces ? data->count : 0;
            group.faces = Take(data->faces);
        }
    }
    FtkChunk* smooth = nullptr;
    FtkChunkFindSibling(faceArray->children, SMOOTH_GROUP, &smooth);
    if (smooth) {
        auto* data = static_cast<FtkSmoothGroupData*>(FtkChunkDataRead(smooth));
        if (FtkErrorPending())
            return;
        FtkMemFree(mesh->smoothGroups);
        mesh->smoothGroups = nullptr;
        if (data && mesh->faceCount > 0) {
            // One entry per face, whatever the chunk's length said.
            mesh->arraySizes[kSmooth] = data->groups ? data->count : 0;
            mesh->smoothGroups = Take(data->groups);
            if (!Resize<uint32_t>(mesh->smoothGroups, mesh->arraySizes[kSmooth], mesh->faceCount, 0u))
                return;
        }
    }
    FtkChunk* boxmap = nullptr;
    FtkChunkFindSibling(faceArray->children, MSH_BOXMAP, &boxmap);
    if (boxmap) {
        auto* data = static_cast<FtkMshBoxmapData*>(FtkChunkDataRead(boxmap));
        if (FtkErrorPending())
            return;
        if (data)
            for (int i = 0; i < 6; ++i)
                FtkCopyName(mesh->boxMap[i], sizeof mesh->boxMap[i], data->names[i]);
        mesh->useBoxMap = 1;
    }
}

void ReadTriChild(FtkChunk* c, FtkTriMesh* mesh)
{
    void* raw = nullptr;
    switch (c->tag) {
    case POINT_ARRAY: case POINT_FLAG_ARRAY: case FACE_ARRAY: case TEX_VERTS: case MESH_MATRIX: case MESH_COLOR:
    case MESH_TEXTURE_INFO: case PROC_NAME: case PROC_DATA:
        raw = FtkChunkDataRead(c);
        if (FtkErrorPending() || !raw)
            return;
        break;
    default:
        return;
    }
    switch (c->tag) {
    case POINT_ARRAY: {
        auto* d = static_cast<FtkPointArrayData*>(raw);
        FtkTriMeshFreeArrays(mesh, kFtkTriVertices);
        mesh->vertexCount = d->vertices ? d->count : 0;
        mesh->vertices = Take(d->vertices);
        mesh->arraySizes[kVerts] = mesh->vertexCount;
        return;
    }
    case POINT_FLAG_ARRAY: {
        auto* d = static_cast<FtkPointFlagArrayData*>(raw);
        FtkTriMeshFreeArrays(mesh, kFtkTriVertexFlags);
        mesh->vertexFlagCount = d->flags ? d->count : 0;
        mesh->vertexFlags = Take(d->flags);
        mesh->arraySizes[kFlags] = mesh->vertexFlagCount;
        return;
    }
    case FACE_ARRAY: {
        auto* d = static_cast<FtkFaceArrayData*>(raw);
        FtkTriMeshFreeArrays(mesh, kFtkTriFaces);
        mesh->faceCount = d->faces ? d->count : 0;
        mesh->faces = Take(d->faces);
        mesh->arraySizes[kFaces] = mesh->faceCount;
        ReadFaceChildren(c, mesh);
        return;
    }
    case TEX_VERTS: {
        auto* d = static_cast<FtkTexVertsData*>(raw);
        FtkTriMeshFreeArrays(mesh, kFtkTriTexVerts);
        mesh->texVertCount = d->texVerts ? d->count : 0;
        mesh->texVerts = Take(d->texVerts);
        mesh->arraySizes[kTex] = mesh->texVertCount;
        return;
    }
    case MESH_MATRIX:
        std::memcpy(mesh->meshMatrix, static_cast<FtkMeshMatrixData*>(raw)->xmatrix, sizeof mesh->meshMatrix);
        return;
    case MESH_COLOR:
        mesh->meshColor = *static_cast<uint8_t*>(raw);
        return;
    case MESH_TEXTURE_INFO: {
        auto* d = static_cast<FtkMeshTextureInfoData*>(raw);
        mesh->useMapping = 1;
        mesh->mapType = int16_t(d->mapType);
        mesh->tileX = d->tileX;
        mesh->tileY = d->tileY;
        mesh->iconPos = d->iconPos;
        mesh->iconScaling = d->iconScaling;
        std::memcpy(mesh->mapMatrix, d->xmatrix, sizeof mesh->mapMatrix);
        mesh->planeIconWidth = d->iconWidth;
        mesh->planeIconHeight = d->iconHeight;
        mesh->cylIconHeight = d->cylIconHeight;
        return;
    }
    case PROC_NAME:
        FtkCopyName(mesh->procName, sizeof mesh->procName, static_cast<FtkNameData*>(raw)->name);
        return;
    case PROC_DATA: {
        auto* d = static_cast<FtkRawData*>(raw);
        FtkTriMeshFreeArrays(mesh, kFtkTriProcData);
        mesh->procSize = d->bytes ? d->size : 0;
        mesh->procData = Take(d->bytes);
        mesh->arraySizes[kProc] = mesh->procSize;
        return;
    }
    default:
        return;
    }
}

// The invariants consumers index by: faces name existing vertices, groups
// name existing faces, at most one flag per vertex.
void Validate(FtkTriMesh* mesh)
{
    if (mesh->vertexFlagCount > mesh->vertexCount)
        mesh->vertexFlagCount = mesh->vertexCount;
    for (uint16_t f = 0; f < mesh->faceCount; ++f) {
        const FtkFace& face = mesh->faces[f];
        if (face.v1 >= mesh->vertexCount || face.v2 >= mesh->vertexCount || face.v3 >= mesh->vertexCount) {
            FtkPushError(ERR_INVALID_DATA);
            return;
        }
    }
    for (uint16_t g = 0; g < mesh->matGroupCount; ++g) {
        const FtkMatGroup& group = mesh->matGroups[g];
        for (uint16_t i = 0; i < group.faceCount; ++i) {
            if (group.faces[i] >= mesh->faceCount) {
                FtkPushError(ERR_INVALID_DATA);
                return;
            }
        }
    }
}

template <typename T>
T* CopyArray(const T* source, size_t count)
{
    if (!source || count == 0)
        return nullptr;
    T* copy = static_cast<T*>(FtkMemAlloc(__FILE__, __LINE__, count * sizeof(T)));
    if (!copy) {
        FtkPushError(ERR_NO_MEM);
        return nullptr;
    }
    std::memcpy(copy, source, count * sizeof(T));
    return copy;
}

void PutTriObject(FtkChunk* object, const FtkTriMesh* mesh, FtkChunk* kept)
{
    FtkChunk* tri = FtkChunkAddChild(N_TRI_OBJECT, object);
    if (!tri)
        return;
    void* data = nullptr;
    if (mesh->vertexCount > 0 && mesh->vertices) {
        if (FtkChunkAddChildWithData(POINT_ARRAY, tri, &data) && data) {
            auto* d = static_cast<FtkPointArrayData*>(data);
            d->vertices = CopyArray(mesh->vertices, mesh->vertexCount);
            d->count = d->vertices ? mesh->vertexCount : 0;
        }
    }
    if (!FtkErrorPending() && mesh->texVertCount > 0 && mesh->texVerts) {
        if (FtkChunkAddChildWithData(TEX_VERTS, tri, &data) && data) {
            auto* d = static_cast<FtkTexVertsData*>(data);
            d->texVerts = CopyArray(mesh->texVerts, mesh->texVertCount);
            d->count = d->texVerts ? mesh->texVertCount : 0;
        }
    }
    if (!FtkErrorPending() && mesh->useMapping) {
        if (FtkChunkAddChildWithData(MESH_TEXTURE_INFO, tri, &data) && data) {
            auto* d = static_cast<FtkMeshTextureInfoData*>(data);
            d->mapType = uint16_t(mesh->mapType);
            d->tileX = mesh->tileX;
            d->tileY = mesh->tileY;
            d->iconPos = mesh->iconPos;
            d->iconScaling = mesh->iconScaling;
            std::memcpy(d->xmatrix, mesh->mapMatrix, sizeof d->xmatrix);
            d->iconWidth = mesh->planeIconWidth;
            d->iconHeight = mesh->planeIconHeight;
            d->cylIconHeight = mesh->cylIconHeight;
        }
    }
    if (!FtkErrorPending() && mesh->vertexFlagCount > 0 && mesh->vertexFlags) {
        if (FtkChunkAddChildWithData(POINT_FLAG_ARRAY, tri, &data) && data) {
            auto* d = static_cast<FtkPointFlagArrayData*>(data);
            d->flags = CopyArray(mesh->vertexFlags, mesh->vertexFlagCount);
            d->count = d->flags ? mesh->vertexFlagCount : 0;
        }
    }
    if (!FtkErrorPending() && FtkChunkAddChildWithData(MESH_MATRIX, tri, &data) && data)
        std::memcpy(static_cast<FtkMeshMatrixData*>(data)->xmatrix, mesh->meshMatrix, sizeof mesh->meshMatrix);
    if (!FtkErrorPending() && FtkChunkAddChildWithData(MESH_COLOR, tri, &data) && data)
        *static_cast<uint8_t*>(data) = mesh->meshColor;
    if (!FtkErrorPending() && mesh->faceCount > 0 && mesh->faces) {
        FtkChunk* faces = FtkChunkAddChildWithData(FACE_ARRAY, tri, &data);
        if (faces && data) {
            auto* d = static_cast<FtkFaceArrayData*>(data);
            d->faces = CopyArray(mesh->faces, mesh->faceCount);
            d->count = d->faces ? mesh->faceCount : 0;
        }
        for (uint16_t g = 0; faces && mesh->matGroups && g < mesh->matGroupCount && !FtkErrorPending(); ++g) {
            const FtkMatGroup& group = mesh->matGroups[g];
            if (FtkChunkAddChildWithData(MSH_MAT_GROUP, faces, &data) && data) {
                auto* d = static_cast<FtkMshMatGroupData*>(data);
                d->name = FtkRecordText(group.name, sizeof group.name);
                d->faces = CopyArray(group.faces, group.faceCount);
                d->count = d->faces ? group.faceCount : 0;
            }
        }
        if (!FtkErrorPending() && faces && mesh->smoothGroups) {
            if (FtkChunkAddChildWithData(SMOOTH_GROUP, faces, &data) && data) {
                auto* d = static_cast<FtkSmoothGroupData*>(data);
                d->groups = CopyArray(mesh->smoothGroups, mesh->faceCount);
                d->count = d->groups ? mesh->faceCount : 0;
            }
        }
        if (!FtkErrorPending() && faces && mesh->useBoxMap) {
            if (FtkChunkAddChildWithData(MSH_BOXMAP, faces, &data) && data)
                for (int i = 0; i < 6 && !FtkErrorPending(); ++i)
                    static_cast<FtkMshBoxmapData*>(data)->names[i] = FtkRecordText(mesh->boxMap[i], sizeof mesh->boxMap[i]);
        }
    }
    if (!FtkErrorPending() && mesh->procData && mesh->procSize > 0) {
        if (strnlen(mesh->procName, sizeof mesh->procName) > FtkTextLimit(PROC_NAME)) {
            FtkPushError(ERR_STRING_TOO_LONG);
            return;
        }
        if (FtkChunkAddChildWithData(PROC_NAME, tri, &data) && data)
            static_cast<FtkNameData*>(data)->name = FtkRecordText(mesh->procName, sizeof mesh->procName);
        if (!FtkErrorPending() && FtkChunkAddChildWithData(PROC_DATA, tri, &data) && data) {
            auto* d = static_cast<FtkRawData*>(data);
            d->bytes = CopyArray(mesh->procData, mesh->procSize);
            d->size = d->bytes ? mesh->procSize : 0;
        }
    }
    const struct {
        uint8_t flag;
        uint16_t tag;
    } flags[] = {{mesh->hidden, OBJ_HIDDEN}, {mesh->visLofter, OBJ_VIS_LOFTER}, {mesh->matte, OBJ_MATTE},
                 {mesh->doesntCast, OBJ_DOESNT_CAST}, {mesh->fast, OBJ_FAST}, {mesh->dontRcvShadow, OBJ_DONT_RCVSHADOW},
                 {mesh->frozen, OBJ_FROZEN}, {uint8_t(mesh->procedural == 1 && mesh->procData), OBJ_PROCEDURAL}};
    for (const auto& f : flags)
        if (f.flag && !FtkErrorPending())
            FtkChunkAddChild(f.tag, object);
    if (kept && !FtkErrorPending())
        FtkChunkInsertChild(tri, kept);
}

} // namespace

void FtkTriMeshInit(FtkTriMesh** mesh, uint16_t vertexCount, uint16_t faceCount, uint32_t bits)
{
    if (!mesh) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    if (!*mesh) {
        *mesh = static_cast<FtkTriMesh*>(FtkMemCalloc(__FILE__, __LINE__, 1, sizeof(FtkTriMesh)));
        if (!*mesh) {
            FtkPushError(ERR_NO_MEM);
            return;
        }
        **mesh = FtkTriMesh{};
    }
    FtkTriMesh* m = *mesh;
    ResetFields(m);
    m->vertexCount = vertexCount;
    m->faceCount = faceCount;
    FtkTriMeshAllocArrays(m, kFtkTriVertices | kFtkTriFaces);
    if (FtkErrorPending())
        return;
    if (bits & kFtkTriTexVerts) {
        m->texVertCount = vertexCount;
        FtkTriMeshAllocArrays(m, kFtkTriTexVerts);
        if (FtkErrorPending())
            return;
    }
    if (bits & kFtkTriVertexFlags) {
        m->vertexFlagCount = vertexCount;
        FtkTriMeshAllocArrays(m, kFtkTriVertexFlags);
        if (FtkErrorPending())
            return;
    }
    if (bits & kFtkTriSmoothGroups)
        FtkTriMeshAllocArrays(m, kFtkTriSmoothGroups);
}

void FtkTriMeshAllocArrays(FtkTriMesh* mesh, uint32_t bits)
{
    if (!mesh) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    // The arrays hold their counts' worth of entries except right after a
    // count changed, which is what the resize is for; the old size of an
    // array is not stored, so it is taken as the smaller of old and new.
    FtkTriMesh* m = mesh;
    uint32_t* sizes = m->arraySizes;
    if (bits & kFtkTriVertices)
        if (!Resize<FtkVector>(m->vertices, sizes[kVerts], m->vertexCount, FtkVector{}))
            return;
    if (bits & kFtkTriTexVerts)
        if (!Resize<FtkTexVert>(m->texVerts, sizes[kTex], m->texVertCount, FtkTexVert{}))
            return;
    if (bits & kFtkTriFaces)
        if (!Resize<FtkFace>(m->faces, sizes[kFaces], m->faceCount, FtkFace{0, 1, 2, 0}))
            return;
    if (bits & kFtkTriMatGroups) {
        // Groups dropped by a shrink give back their face lists first.
        if (m->matGroups && sizes[kGroups] > m->matGroupCount)
            for (uint32_t g = m->matGroupCount; g < sizes[kGroups]; ++g)
                FtkMemFree(m->matGroups[g].faces);
        if (!Resize<FtkMatGroup>(m->matGroups, sizes[kGroups], m->matGroupCount, FtkMatGroup{}))
            return;
    }
    if (bits & kFtkTriSmoothGroups)
        if (!Resize<uint32_t>(m->smoothGroups, sizes[kSmooth], m->faceCount, 0u))
            return;
    if (bits & kFtkTriProcData)
        if (!Resize<unsigned char>(m->procData, sizes[kProc], m->procSize, 0))
            return;
    if (bits & kFtkTriVertexFlags)
        Resize<uint16_t>(m->vertexFlags, sizes[kFlags], m->vertexFlagCount, 0);
}

void FtkTriMeshFreeArrays(FtkTriMesh* mesh, uint32_t bits)
{
    if (!mesh) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    uint32_t* sizes = mesh->arraySizes;
    auto release = [sizes](auto*& p, Slot slot) {
        FtkMemFree(p);
        p = nullptr;
        sizes[slot] = 0;
    };
    if (bits & kFtkTriVertices)
        release(mesh->vertices, kVerts);
    if (bits & kFtkTriTexVerts)
        release(mesh->texVerts, kTex);
    if (bits & kFtkTriFaces)
        release(mesh->faces, kFaces);
    if ((bits & kFtkTriMatGroups) && mesh->matGroups) {
        const uint32_t groups = sizes[kGroups] ? sizes[kGroups] : mesh->matGroupCount;
        for (uint32_t g = 0; g < groups; ++g)
            FtkMemFree(mesh->matGroups[g].faces);
        release(mesh->matGroups, kGroups);
    }
    if (bits & kFtkTriSmoothGroups)
        release(mesh->smoothGroups, kSmooth);
    if (bits & kFtkTriProcData)
        release(mesh->procData, kProc);
    if (bits & kFtkTriVertexFlags)
        release(mesh->vertexFlags, kFlags);
}

void FtkTriMeshSetGroupFaces(FtkTriMesh* mesh, uint16_t group, uint16_t faceCount)
{
    if (!mesh || faceCount == 0) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    if (mesh->faceCount == 0 || group >= mesh->matGroupCount || !mesh->matGroups) {
        FtkPushError(ERR_INVALID_DATA);
        return;
    }
    auto* faces = static_cast<uint16_t*>(FtkMemCalloc(__FILE__, __LINE__, faceCount, sizeof(uint16_t)));
    if (!faces) {
        FtkPushError(ERR_NO_MEM);
        return;
    }
    FtkMemFree(mesh->matGroups[group].faces);
    mesh->matGroups[group].faces = faces;
}

void FtkTriMeshRelease(FtkTriMesh** mesh)
{
    if (!mesh || !*mesh)
        return;
    FtkTriMeshFreeArrays(*mesh, kFtkTriAllArrays);
    FtkMemFree(*mesh);
    *mesh = nullptr;
}

uint32_t FtkTriMeshCount(FtkDatabase* db)
{
    if (!db) {
        FtkPushError(ERR_INVALID_ARG);
        return 0;
    }
    return FtkNamedObjectCountIf(db, HoldsTriObject);
}

void FtkTriMeshGetByIndex(FtkDatabase* db, uint32_t index, FtkTriMesh** mesh)
{
    if (!db || !mesh) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    if (!FtkCheckDatabase(db, false))
        return;
    FtkChunk* object = FtkNamedObjectByOrdinal(db, index, HoldsTriObject);
    if (object && !FtkErrorPending())
        FtkTriMeshRead(object, mesh);
}

void FtkTriMeshRead(FtkChunk* namedObject, FtkTriMesh** mesh)
{
    if (!namedObject || !mesh) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    FtkChunk* tri = nullptr;
    FtkChunkFindSibling(namedObject->children, N_TRI_OBJECT, &tri);
    if (namedObject->tag != NAMED_OBJECT || !tri) {
        FtkPushError(ERR_WRONG_OBJECT);
        return;
    }
    // A reused record gives up every array it held, not only vertices and faces.
    if (*mesh)
        FtkTriMeshFreeArrays(*mesh, kFtkTriAllArrays);
    FtkTriMeshInit(mesh, 0, 0, 0);
    if (FtkErrorPending())
        return;
    FtkTriMesh* m = *mesh;
    m->matGroupCount = m->texVertCount = m->vertexFlagCount = 0;
    m->procSize = 0;
    FtkChunk* copy = nullptr;
    FtkChunkCopyTree(namedObject, &copy);
    if (!copy)
        return;
    auto* name = static_cast<FtkNameData*>(FtkChunkDataRead(copy));
    if (!FtkErrorPending() && name)
        FtkCopyName(m->name, sizeof m->name, name->name);
    FtkChunk* copyTri = nullptr;
    FtkChunkFindSibling(copy->children, N_TRI_OBJECT, &copyTri);
    for (FtkChunk* c = copyTri ? copyTri->children : nullptr; c && !FtkErrorPending(); c = c->next)
        ReadTriChild(c, m);
    if (!FtkErrorPending()) {
        const struct {
            uint8_t* flag;
            uint16_t tag;
        } flags[] = {{&m->hidden, OBJ_HIDDEN}, {&m->visLofter, OBJ_VIS_LOFTER}, {&m->matte, OBJ_MATTE},
                     {&m->doesntCast, OBJ_DOESNT_CAST}, {&m->fast, OBJ_FAST}, {&m->dontRcvShadow, OBJ_DONT_RCVSHADOW},
                     {&m->frozen, OBJ_FROZEN}, {&m->procedural, OBJ_PROCEDURAL}};
        for (const auto& f : flags) {
            FtkChunk* found = nullptr;
            FtkChunkFindSibling(copy->children, f.tag, &found);
            *f.flag = found != nullptr;
        }
        // Smoothing is one entry per face even when the file had none for some.
        if (m->smoothGroups && m->faceCount == 0)
            FtkTriMeshFreeArrays(m, kFtkTriSmoothGroups);
        Validate(m);
    }
    FtkChunkFree(&copy);
}

void FtkTriMeshPut(FtkDatabase* db, const FtkTriMesh* mesh)
{
    if (!db || !mesh) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    if (!FtkCheckDatabase(db, false))
        return;
    FtkChunk* kept = nullptr;
    FtkChunk* object = FtkNamedObjectForPut(db, mesh->name, sizeof mesh->name, true, &kept);
    if (object && !FtkErrorPending())
        PutTriObject(object, mesh, kept);
    else
        FtkChunkFree(&kept);
    if (FtkErrorPending())
        FtkPushError(kPutFailed);
}

uint32_t FtkTriMeshMatGroupCount(FtkChunk* firstGroup)
{
    uint32_t count = 0;
    for (FtkChunk* c = firstGroup; c; c = c->next)
        count += c->tag == MSH_MAT_GROUP;
    return count;
}

} // namespace duzsdk
