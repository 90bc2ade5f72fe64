#pragma once
// Scene-wide settings among the direct children of MDATA: master scale,
// shadow parameters, ambient light and O_CONSTS.
#include "sdk/formats/3dsftk/FtkChunkData.h"

#include <cstdint>

namespace duzsdk {

struct FtkDatabase;

// 100/255 as the toolkit has always stored it: the float with bits 0x3EC8C932.
constexpr float kFtkDefaultAmbient = 0.39215999841690063f;

struct FtkMeshSettings {
    float masterScale = 1;
    float unused = 0; // no operation reads or writes it
    float loShadowBias = 1;
    float rayBias = 1;
    uint16_t shadowMapSize = 512;
    float shadowFilter = 3;
    FtkColorF ambientLight{kFtkDefaultAmbient, kFtkDefaultAmbient, kFtkDefaultAmbient};
    FtkVector oconsts;
};

void FtkMeshSettingsInit(FtkMeshSettings** settings);
void FtkMeshSettingsRelease(FtkMeshSettings** settings);
// Without MDATA the record is left exactly as it was.
void FtkMeshSettingsGet(FtkDatabase* db, FtkMeshSettings** settings);
void FtkMeshSettingsPut(FtkDatabase* db, const FtkMeshSettings* settings);

} // namespace duzsdk
