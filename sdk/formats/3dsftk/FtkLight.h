#pragma once
// Lights of a 3DS database: NAMED_OBJECT chunks holding an N_DIRECT_LIGHT;
// one with a DL_SPOTLIGHT is a spotlight, one without an omni light.
#include "sdk/formats/3dsftk/FtkChunkData.h"

#include <cstdint>

namespace duzsdk {

struct FtkChunk;
struct FtkDatabase;
struct FtkNameList;

struct FtkSpotlight {
    FtkVector target{1, 1, 1};
    float hotspot = 44, falloff = 45;
    float roll = 0;
    float aspect = 1;
    uint8_t castShadows = 0;
    int32_t rayShadows = 0;
    uint8_t localShadow = 0;
    float localShadowBias = 1, localShadowFilter = 3;
    uint16_t localShadowMapSize = 512;
    float rayBias = 1;
    int32_t rectangular = 0;
    uint8_t showCone = 0, overshoot = 0;
    uint8_t projector = 0;
    char* projectorName = nullptr;
};

// 0.70885199 each, the float with bits 0x3F357753.
constexpr float kFtkLightDefaultColor = 0.70885199f;

struct FtkLight {
    char name[11] = {};
    FtkVector position;
    FtkColorF color{kFtkLightDefaultColor, kFtkLightDefaultColor, kFtkLightDefaultColor};
    float multiplier = 1;
    uint8_t off = 0, attenuate = 0;
    float innerRange = 10, outerRange = 100;
    FtkNameList* exclude = nullptr;
    FtkSpotlight* spot = nullptr;
};

void FtkLightInit(FtkLight** light);
void FtkSpotlightInit(FtkLight** light);
void FtkLightRelease(FtkLight** light);
uint32_t FtkOmniLightCount(FtkDatabase* db);
uint32_t FtkSpotlightCount(FtkDatabase* db);
void FtkOmniLightGetByIndex(FtkDatabase* db, uint32_t index, FtkLight** light);
void FtkSpotlightGetByIndex(FtkDatabase* db, uint32_t index, FtkLight** light);
void FtkLightRead(FtkChunk* namedObject, FtkLight** light);
void FtkLightPut(FtkDatabase* db, const FtkLight* light);
void FtkLightWrite(FtkDatabase* db, const FtkLight* light);
FtkChunk* FtkChunkAddFloat(FtkChunk* parent, uint16_t tag, const float* value);

} // namespace duzsdk
