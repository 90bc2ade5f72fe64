#pragma once
// Typed data of chunks: the chunk's own data decoded into a small record
// whose layout is fixed by the tag. Tags without a layout keep their own
// bytes as a raw block and write them back unchanged.
#include "sdk/formats/3dsftk/FtkPrim.h"

#include <cstddef>
#include <cstdint>

namespace duzsdk {

struct FtkChunk;

// Raw data of a tag without a layout, and the block of PROC_DATA, the
// procedural material data and XDATA_ENTRY.
struct FtkRawData {
    uint32_t size = 0;
    unsigned char* bytes = nullptr;
};

struct FtkColorF {
    float r = 0, g = 0, b = 0;
};
struct FtkColor24 {
    uint8_t r = 0, g = 0, b = 0;
};
// NAMED_OBJECT, VIEW_CAMERA, DL_EXCLUDE, INSTANCE_NAME, BIT_MAP, PROC_NAME,
// DL_SPOT_PROJECTOR, MAT_NAME, MAT_MAPNAME, XDATA_APPNAME, XDATA_STRING and
// the in-memory PARENT_NAME.
struct FtkNameData {
    char* name = nullptr;
};
struct FtkFogData {
    float nearPlane = 0, nearDensity = 0, farPlane = 0, farDensity = 0;
};
struct FtkLayerFogData {
    float zMin = 0, zMax = 0, density = 0;
    uint32_t type = 0;
};
struct FtkViewData {
    FtkVector target;
    float width = 0;
};
struct FtkViewUserData {
    FtkVector target;
    float carried[4] = {};
};
struct FtkViewportLayoutData {
    uint16_t values[7] = {};
};
struct FtkViewportData {
    uint16_t values[7] = {};
    float zoom = 0;
    FtkVector center;
    float horizAngle = 0, vertAngle = 0;
    char* cameraName = nullptr;
};
struct FtkViewportSizeData {
    uint16_t values[4] = {};
};
struct FtkPointArrayData {
    uint16_t count = 0;
    FtkVector* vertices = nullptr;
};
struct FtkPointFlagArrayData {
    uint16_t count = 0;
    uint16_t* flags = nullptr;
};
struct FtkFaceArrayData {
    uint16_t count = 0;
    FtkFace* faces = nullptr;
};
struct FtkMshMatGroupData {
    char* name = nullptr;
    uint16_t count = 0;
    uint16_t* faces = nullptr;
};
struct FtkTexVertsData {
    uint16_t count = 0;
    FtkTexVert* texVerts = nullptr;
};
struct FtkSmoothGroupData {
    uint16_t count = 0;
    uint32_t* groups = nullptr;
};
struct FtkMeshMatrixData {
    float xmatrix[12] = {};
};
struct FtkMeshTextureInfoData {
    uint16_t mapType = 0;
    float tileX = 0, tileY = 0;
    FtkVector iconPos;
    float iconScaling = 0;
    float xmatrix[12] = {};
    float iconWidth = 0, iconHeight = 0, cylIconHeight = 0;
};
struct FtkMshBoxmapData {
    char* names[6] = {};
};
struct FtkDlSpotlightData {
    FtkVector target;
    float hotspot = 0, falloff = 0;
};
struct FtkDlLocalShadow2Data {
    float bias = 0, filter = 0;
    uint16_t mapSize = 0;
};
struct FtkNCameraData {
    FtkVector position;
    FtkVector target;
    float bankAngle = 0, focal = 0;
};
struct FtkCamRangesData {
    float nearPlane = 0, farPlane = 0;
};
struct FtkMatAcubicData {
    uint8_t shadeLevel = 0, antiAlias = 0;
    uint16_t flags = 0;
    uint32_t mapSize = 0, frameInterval = 0;
};
struct FtkKfHdrData {
    uint16_t revision = 0;
    char* fileName = nullptr;
    uint32_t animLength = 0;
};
struct FtkKfSegData {
    uint32_t first = 0, last = 0;
};
struct FtkNodeHdrData {
    char* objName = nullptr;
    uint16_t flags1 = 0, flags2 = 0;
    int16_t parentIndex = 0;
};
struct FtkBoundBoxData {
    FtkVector min, max;
};
// A morph key's value: the target object's name.
using FtkMorphName = char[13];
// Every track tag: the header, one key header per key and, except for the
// hide track, one value per key (3, 4 or 1 floats, or a morph name).
struct FtkTrackData {
    FtkTrackHeader header;
    FtkKeyHeader* keys = nullptr;
    void* values = nullptr;
};

// Bytes of one key's value in memory for a track tag (0 for the hide track).
size_t FtkTrackValueSize(uint32_t tag);
bool FtkIsTrackTag(uint32_t tag);
// Longest text a text tag may carry so that the file loads back; 0 when the
// tag holds no limited text.
size_t FtkTextLimit(uint32_t tag);

// A new zeroed record for the tag (replacing any old data): containers get
// none, tags without a layout a raw block of length - 6 bytes (none at 6 or less).
void* FtkChunkDataAlloc(FtkChunk* chunk);
// A raw block of size zeroed bytes on the chunk (replacing any old data).
FtkRawData* FtkChunkRawAlloc(FtkChunk* chunk, uint32_t size);
// The data, read from the chunk's source file on first use; null for containers.
void* FtkChunkDataRead(FtkChunk* chunk);
void FtkChunkDataWrite(FtkChunk* chunk);
void FtkChunkDataCopy(const FtkChunk* source, FtkChunk* target);
void FtkChunkDataRelease(FtkChunk* chunk);

} // namespace duzsdk
