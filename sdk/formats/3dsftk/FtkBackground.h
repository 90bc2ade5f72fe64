#pragma once
// The background of a 3DS scene: a bitmap, a solid colour or a vertical
// gradient, with one USE_ chunk saying which is in use.
#include "sdk/formats/3dsftk/FtkChunkData.h"

#include <cstdint>

namespace duzsdk {

struct FtkDatabase;

enum : int32_t {
    kFtkBackgroundNone = 0,
    kFtkBackgroundSolid = 1,
    kFtkBackgroundGradient = 2,
    kFtkBackgroundBitmap = 3,
};

struct FtkBackground {
    char* bitmapName = nullptr;
    FtkColorF solid;
    float gradientMidpoint = 0.5f;
    FtkColorF gradientTop, gradientMiddle, gradientBottom;
    int32_t inUse = kFtkBackgroundNone;
};

void FtkBackgroundInit(FtkBackground** background);
void FtkBackgroundRelease(FtkBackground** background);
void FtkBackgroundGet(FtkDatabase* db, FtkBackground** background);
void FtkBackgroundPut(FtkDatabase* db, const FtkBackground* background);

} // namespace duzsdk
