#pragma once
// Cameras of a 3DS database: NAMED_OBJECT chunks holding an N_CAMERA.
#include "sdk/formats/3dsftk/FtkPrim.h"

#include <cstdint>

namespace duzsdk {

struct FtkChunk;
struct FtkDatabase;

struct FtkCamera {
    char name[11] = {};
    FtkVector position;
    FtkVector target{1, 1, 1};
    float roll = 0;
    // Degrees; the file keeps the lens, 2400 / field of view.
    float fov = 45;
    uint8_t showCone = 0;
    float nearRange = 10, farRange = 1000;
};

void FtkCameraInit(FtkCamera** camera);
void FtkCameraRelease(FtkCamera** camera);
uint32_t FtkCameraCount(FtkDatabase* db);
void FtkCameraGetByIndex(FtkDatabase* db, uint32_t index, FtkCamera** camera);
void FtkCameraRead(FtkChunk* namedObject, FtkCamera** camera);
void FtkCameraPut(FtkDatabase* db, const FtkCamera* camera);

} // namespace duzsdk
