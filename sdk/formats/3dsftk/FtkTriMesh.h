#pragma once
// Triangle meshes of a 3DS database: one flat record per NAMED_OBJECT that
// holds an N_TRI_OBJECT. The caller owns the record and its arrays.
#include "sdk/formats/3dsftk/FtkPrim.h"

#include <cstdint>

namespace duzsdk {

struct FtkChunk;
struct FtkDatabase;

struct FtkMatGroup {
    char name[17] = {};
    uint16_t faceCount = 0;
    uint16_t* faces = nullptr;
};

struct FtkTriMesh {
    char name[11] = {};
    uint8_t hidden = 0, visLofter = 0, matte = 0, doesntCast = 0, fast = 0, dontRcvShadow = 0, frozen = 0;
    uint16_t vertexCount = 0;
    FtkVector* vertices = nullptr;
    uint16_t vertexFlagCount = 0;
    uint16_t* vertexFlags = nullptr;
    uint16_t texVertCount = 0;
    FtkTexVert* texVerts = nullptr;
    uint8_t useMapping = 0;
    int16_t mapType = 0;
    float tileX = 1, tileY = 1;
    FtkVector iconPos;
    float iconScaling = 1;
    float mapMatrix[12] = {};
    float planeIconWidth = 1, planeIconHeight = 1, cylIconHeight = 1;
    float meshMatrix[12] = {};
    uint16_t faceCount = 0;
    FtkFace* faces = nullptr;
    uint32_t* smoothGroups = nullptr;
    uint8_t useBoxMap = 0;
    char boxMap[6][17] = {};
    uint8_t meshColor = 0;
    uint16_t matGroupCount = 0;
    FtkMatGroup* matGroups = nullptr;
    uint8_t procedural = 0;
    uint32_t procSize = 0;
    char procName[16] = {};
    unsigned char* procData = nullptr;
    // Entries each array was last allocated with by the toolkit, by bit
    // position, so that a resize gives only the new entries fresh values.
    uint32_t arraySizes[7] = {};
};

// Array selection bits of FtkTriMeshAllocArrays and FtkTriMeshFreeArrays.
enum : uint32_t {
    kFtkTriVertices = 1,
    kFtkTriTexVerts = 2,
    kFtkTriFaces = 4,
    kFtkTriMatGroups = 8,
    kFtkTriSmoothGroups = 16,
    kFtkTriProcData = 32,
    kFtkTriVertexFlags = 64,
    kFtkTriAllArrays = 127,
};

void FtkTriMeshInit(FtkTriMesh** mesh, uint16_t vertexCount, uint16_t faceCount, uint32_t bits);
void FtkTriMeshAllocArrays(FtkTriMesh* mesh, uint32_t bits);
void FtkTriMeshFreeArrays(FtkTriMesh* mesh, uint32_t bits);
void FtkTriMeshSetGroupFaces(FtkTriMesh* mesh, uint16_t group, uint16_t faceCount);
void FtkTriMeshRelease(FtkTriMesh** mesh);
uint32_t FtkTriMeshCount(FtkDatabase* db);
void FtkTriMeshGetByIndex(FtkDatabase* db, uint32_t index, FtkTriMesh** mesh);
// Face vertex indices, group face indices and the smoothing array are
// checked against the counts they refer to: a mesh that breaks them gives
// ERR_INVALID_DATA rather than indices out of range.
void FtkTriMeshRead(FtkChunk* namedObject, FtkTriMesh** mesh);
void FtkTriMeshPut(FtkDatabase* db, const FtkTriMesh* mesh);
uint32_t FtkTriMeshMatGroupCount(FtkChunk* firstGroup);

} // namespace duzsdk
