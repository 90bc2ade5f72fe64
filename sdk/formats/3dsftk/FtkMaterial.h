#pragma once
// Materials of a 3DS database: one flat record per MAT_ENTRY, with sixteen
// texture maps and masks. The caller owns the record and the procedural
// data blocks of its maps.
#include "sdk/formats/3dsftk/FtkChunkData.h"

#include <cstdint>

namespace duzsdk {

struct FtkChunk;
struct FtkDatabase;

enum : int32_t {
    kFtkTile = 1,
    kFtkDecal = 2,
    kFtkTileAndDecal = 3,
};
enum : int32_t {
    kFtkTintNone = 0,
    kFtkTintAlpha = 1,
    kFtkTint = 2,
    kFtkTintWithAlpha = 3,
    kFtkTintRgb = 4,
};

struct FtkTextureMap {
    // An empty name means the map is not used. The field holds 16
    // characters and the NUL; the file keeps at most 12 (see FtkTextLimit).
    char name[17] = {};
    float percent = 0;
    int32_t tiling = kFtkTile;
    uint8_t ignoreAlpha = 0;
    int32_t filter = 0;
    float blur = 0;
    uint8_t mirror = 0, negative = 0;
    float uScale = 1, vScale = 1, uOffset = 0, vOffset = 0, rotation = 0;
    int32_t tint = kFtkTintNone;
    FtkColorF tint1{0, 0, 0}, tint2{1, 1, 1}, tintR{1, 0, 0}, tintG{0, 1, 0}, tintB{0, 0, 1};
    uint32_t procSize = 0;
    unsigned char* procData = nullptr;
};

struct FtkMaterial {
    char name[17] = {};
    FtkColorF ambient, diffuse, specular;
    float shininess = 0, shinStrength = 0, blur = 0, transparency = 0, transFalloff = 0, selfIllumPct = 0;
    float wireSize = 1;
    int32_t shading = 3;
    uint8_t useBlur = 0, useFall = 0, twoSided = 0, selfIllum = 0, additive = 0, useWire = 0, useWireAbs = 0,
            faceMap = 0, soften = 0;
    FtkTextureMap texture, textureMask, texture2, texture2Mask, opacity, opacityMask, bump, bumpMask, specMap,
        specMask, shinMap, shinMask, selfIllumMap, selfIllumMask, reflect;
    uint8_t autoReflect = 0, autoReflectFlagA = 0, autoReflectFlagB = 0;
    int32_t autoReflectSize = 100;
    uint32_t autoReflectNthFrame = 1;
    FtkTextureMap reflectMask;
};

void FtkTextureMapInit(FtkTextureMap* map);
void FtkMaterialInit(FtkMaterial** material);
void FtkMaterialRelease(FtkMaterial** material);
uint32_t FtkMaterialCount(FtkDatabase* db);
void FtkMaterialGetByIndex(FtkDatabase* db, uint32_t index, FtkMaterial** material);
void FtkMaterialRead(FtkChunk* entry, FtkMaterial** material);
void FtkTextureMapRead(FtkChunk* mapChunk, FtkTextureMap* map);
void FtkTextureMapWrite(FtkChunk* mapChunk, const FtkTextureMap* map);
float FtkPercentageRead(FtkChunk* chunk);
void FtkMaterialPut(FtkDatabase* db, const FtkMaterial* material);

} // namespace duzsdk
