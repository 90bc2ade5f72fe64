#include "sdk/formats/3dsftk/FtkCamera.h"

#include "sdk/formats/3dsftk/FtkChunk.h"
#include "sdk/formats/3dsftk/FtkChunkData.h"
#include "sdk/formats/3dsftk/FtkDatabase.h"
#include "sdk/formats/3dsftk/FtkError.h"
#include "sdk/formats/3dsftk/FtkKfHierarchy.h"
#include "sdk/formats/3dsftk/FtkRecordSupport.h"

namespace duzsdk {

namespace {

bool HoldsCamera(FtkChunk* c)
{
    FtkChunk* found = nullptr;
    FtkChunkFindDescendant(c, N_CAMERA, &found);
    return found != nullptr;
}

FtkChunk* AppendWithData(uint16_t tag, FtkChunk* parent, void** data)
{
    FtkChunk* c = nullptr;
    *data = FtkChunkCreateChildWithData(&c, tag);
    if (c)
        FtkChunkAppendChild(parent, c);
    return c;
}

} // namespace

void FtkCameraInit(FtkCamera** camera)
{
    if (!camera) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    if (!*camera) {
        *camera = static_cast<FtkCamera*>(FtkMemCalloc(__FILE__, __LINE__, 1, sizeof(FtkCamera)));
        if (!*camera) {
            FtkPushError(ERR_NO_MEM);
            return;
        }
    }
    **camera = FtkCamera{};
}

void FtkCameraRelease(FtkCamera** camera)
{
    if (!camera || !*camera)
        return;
    FtkMemFree(*camera);
    *camera = nullptr;
}

uint32_t FtkCameraCount(FtkDatabase* db)
{
    if (!db) {
        FtkPushError(ERR_INVALID_ARG);
        return 0;
    }
    return FtkNamedObjectCountIf(db, HoldsCamera);
}

void FtkCameraGetByIndex(FtkDatabase* db, uint32_t index, FtkCamera** camera)
{
    if (!db || !camera) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    FtkChunk* object = FtkNamedObjectByOrdinal(db, index, HoldsCamera);
    if (object && !FtkErrorPending())
        FtkCameraRead(object, camera);
}

void FtkCameraRead(FtkChunk* namedObject, FtkCamera** camera)
{
    if (!camera || !namedObject) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    FtkChunk* cam = nullptr;
    FtkChunkFindSibling(namedObject->children, N_CAMERA, &cam);
    if (namedObject->tag != NAMED_OBJECT || !cam) {
        FtkPushError(ERR_WRONG_OBJECT);
        return;
    }
    FtkCameraInit(camera);
    if (FtkErrorPending())
        return;
    FtkCamera* c = *camera;
    FtkChunk* copy = nullptr;
    FtkChunkCopyTree(namedObject, &copy);
    if (!copy)
        return;
    auto* name = static_cast<FtkNameData*>(FtkChunkDataRead(copy));
    if (name && !FtkErrorPending())
        FtkCopyName(c->name, sizeof c->name, name->name);
    FtkChunkFindSibling(copy->children, N_CAMERA, &cam);
    auto* data = !FtkErrorPending() ? static_cast<FtkNCameraData*>(FtkChunkDataRead(cam)) : nullptr;
    if (data) {
        c->position = data->position;
        c->target = data->target;
        c->roll = data->bankAngle;
        // A zero lens has no field of view.
        if (data->focal == 0.0f)
            FtkPushError(ERR_INVALID_DATA);
        else
            c->fov = 2400.0f / data->focal;
    }
    for (FtkChunk* child = cam->children; child && !FtkErrorPending(); child = child->next) {
        if (child->tag == CAM_SEE_CONE) {
            c->showCone = 1;
        } else if (child->tag == CAM_RANGES) {
            auto* ranges = static_cast<FtkCamRangesData*>(FtkChunkDataRead(child));
            if (ranges) {
                c->nearRange = ranges->nearPlane;
                c->farRange = ranges->farPlane;
            }
        }
    }
    FtkChunkFree(&copy);
}

void FtkCameraPut(FtkDatabase* db, const FtkCamera* camera)
{
    if (!db || !camera) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    if (!FtkCheckDatabase(db, true))
        return;
    if (camera->fov == 0.0f) {
        FtkPushError(ERR_INVALID_DATA);
        return;
    }
    FtkChunk* kept = nullptr;
    // A replaced camera leaves its cleared chunk and moves behind the others.
    FtkChunk* object = FtkNamedObjectForPut(db, camera->name, sizeof camera->name, false, &kept);
    void* data = nullptr;
    FtkChunk* cam = object ? AppendWithData(N_CAMERA, object, &data) : nullptr;
    if (cam && data) {
        auto* d = static_cast<FtkNCameraData*>(data);
        d->position = camera->position;
        d->target = camera->target;
        d->bankAngle = camera->roll;
        d->focal = 2400.0f / camera->fov;
        if (camera->showCone)
            AppendWithData(CAM_SEE_CONE, cam, &data);
        if (!FtkErrorPending() && AppendWithData(CAM_RANGES, cam, &data) && data) {
            static_cast<FtkCamRangesData*>(data)->nearPlane = camera->nearRange;
            static_cast<FtkCamRangesData*>(data)->farPlane = camera->farRange;
        }
    }
    if (kept && cam && !FtkErrorPending())
        FtkChunkAppendChild(cam, kept);
    else
        FtkChunkFree(&kept);
}

} // namespace duzsdk
