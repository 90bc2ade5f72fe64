#pragma once
// Keyframer records of a 3DS database: the settings (length, current frame,
// segment) and one motion record per node kind (object, camera, omni light,
// spotlight), each with its tracks. The caller owns the records and arrays.
#include "sdk/formats/3dsftk/FtkChunkData.h"

#include <cstdint>

namespace duzsdk {

struct FtkChunk;
struct FtkDatabase;
struct FtkNameList;

struct FtkRotKey {
    float angle = 0, x = 0, y = 0, z = 1;
};
struct FtkMorphKey {
    char name[13] = " ";
};
// The hide track has key headers only.
struct FtkNoValue {};

template <typename V>
struct FtkTrack {
    uint32_t keyCount = 0;
    uint16_t flags = 0;
    FtkKeyHeader* keys = nullptr;
    V* values = nullptr;
};

struct FtkObjectMotion {
    char name[11] = {};
    char parent[23] = {};
    uint16_t flags1 = 0, flags2 = 0;
    FtkVector pivot;
    char instance[12] = {};
    FtkVector bboxMin, bboxMax;
    FtkTrack<FtkVector> pos;
    FtkTrack<FtkRotKey> rot;
    FtkTrack<FtkVector> scale;
    FtkTrack<FtkMorphKey> morph;
    FtkTrack<FtkNoValue> hide;
    float morphSmooth = 24;
};

struct FtkCameraMotion {
    char name[11] = {};
    char parent[23] = {};
    uint16_t flags1 = 0, flags2 = 0;
    FtkTrack<FtkVector> pos;
    FtkTrack<float> fov;
    FtkTrack<float> roll;
    char targetParent[24] = {};
    FtkTrack<FtkVector> targetPos;
    uint16_t targetFlags1 = 0, targetFlags2 = 0;
};

struct FtkOmniMotion {
    char name[11] = {};
    char parent[23] = {};
    uint16_t flags1 = 0, flags2 = 0;
    FtkTrack<FtkVector> pos;
    FtkTrack<FtkVector> color;
};

struct FtkSpotMotion {
    char name[11] = {};
    char parent[23] = {};
    uint16_t flags1 = 0, flags2 = 0;
    FtkTrack<FtkVector> pos;
    FtkTrack<FtkVector> color;
    FtkTrack<float> hotspot;
    FtkTrack<float> falloff;
    FtkTrack<float> roll;
    char targetParent[24] = {};
    FtkTrack<FtkVector> targetPos;
    uint16_t targetFlags1 = 0, targetFlags2 = 0;
};

struct FtkKfSettings {
    int32_t animLength = 30;
    int32_t curFrame = 0;
    uint8_t useSegment = 0;
    int32_t segBegin = 0, segEnd = 30;
};

void FtkObjectMotionInit(FtkObjectMotion** motion, uint32_t pos, uint32_t rot, uint32_t scale, uint32_t morph, uint32_t hide);
void FtkCameraMotionInit(FtkCameraMotion** motion, uint32_t pos, uint32_t fov, uint32_t roll, uint32_t targetPos);
void FtkOmniMotionInit(FtkOmniMotion** motion, uint32_t pos, uint32_t color);
void FtkSpotMotionInit(FtkSpotMotion** motion, uint32_t pos, uint32_t color, uint32_t hotspot, uint32_t falloff,
                       uint32_t roll, uint32_t targetPos);
void FtkObjectMotionRelease(FtkObjectMotion** motion);
void FtkCameraMotionRelease(FtkCameraMotion** motion);
void FtkOmniMotionRelease(FtkOmniMotion** motion);
void FtkSpotMotionRelease(FtkSpotMotion** motion);

uint32_t FtkObjectMotionCount(FtkDatabase* db);
uint32_t FtkCameraMotionCount(FtkDatabase* db);
uint32_t FtkOmniMotionCount(FtkDatabase* db);
uint32_t FtkSpotMotionCount(FtkDatabase* db);
void FtkCameraMotionNameList(FtkDatabase* db, FtkNameList** list);
void FtkSpotMotionNameList(FtkDatabase* db, FtkNameList** list);
void FtkOmniMotionNameList(FtkDatabase* db, FtkNameList** list);

void FtkObjectMotionGetByIndex(FtkDatabase* db, uint32_t index, FtkObjectMotion** motion);
void FtkCameraMotionGetByIndex(FtkDatabase* db, uint32_t index, FtkCameraMotion** motion);
void FtkOmniMotionGetByIndex(FtkDatabase* db, uint32_t index, FtkOmniMotion** motion);
void FtkSpotMotionGetByIndex(FtkDatabase* db, uint32_t index, FtkSpotMotion** motion);

// Tracks a node lacks come back with no keys, whatever the record held.
void FtkObjectMotionRead(FtkChunk* node, FtkObjectMotion** motion);
void FtkCameraMotionRead(FtkChunk* node, FtkChunk* target, FtkCameraMotion** motion);
void FtkOmniMotionRead(FtkChunk* node, FtkOmniMotion** motion);
void FtkSpotMotionRead(FtkChunk* node, FtkChunk* target, FtkSpotMotion** motion);

void FtkObjectMotionPut(FtkDatabase* db, const FtkObjectMotion* motion);
void FtkCameraMotionPut(FtkDatabase* db, const FtkCameraMotion* motion);
void FtkOmniMotionPut(FtkDatabase* db, const FtkOmniMotion* motion);
void FtkSpotMotionPut(FtkDatabase* db, const FtkSpotMotion* motion);

void FtkKfSettingsInit(FtkKfSettings** settings);
void FtkKfSettingsRelease(FtkKfSettings** settings);
void FtkKfSettingsPut(FtkDatabase* db, const FtkKfSettings* settings);
// The settings of the database's KFDATA (defaults where a chunk is absent).
void FtkKfSettingsGet(FtkDatabase* db, FtkKfSettings** settings);

} // namespace duzsdk
