#include "sdk/formats/3dsftk/FtkMeshSettings.h"

#include "sdk/formats/3dsftk/FtkChunk.h"
#include "sdk/formats/3dsftk/FtkDatabase.h"
#include "sdk/formats/3dsftk/FtkError.h"
#include "sdk/formats/3dsftk/FtkKfHierarchy.h"
#include "sdk/formats/3dsftk/FtkRecordSupport.h"

namespace duzsdk {

namespace {

template <typename T>
bool ReadValue(FtkChunk* c, T* out)
{
    auto* v = static_cast<T*>(FtkChunkDataRead(c));
    if (v)
        *out = *v;
    FtkChunkDataDropIfReloadable(c);
    return v != nullptr;
}

// The ambient light's bytes are scaled by 1/256, as files have always been read.
bool ReadAmbient(FtkChunk* light, uint16_t floatTag, uint16_t byteTag, FtkColorF* out)
{
    FtkChunk* c = nullptr;
    FtkChunkFindDescendant(light, floatTag, &c);
    if (c)
        return ReadValue(c, out);
    FtkChunkFindDescendant(light, byteTag, &c);
    FtkColor24 bytes;
    if (!c || !ReadValue(c, &bytes))
        return false;
    *out = {float(bytes.r) * 0.00390625f, float(bytes.g) * 0.00390625f, float(bytes.b) * 0.00390625f};
    return true;
}

template <typename T>
void Reuse(FtkChunk* mdata, uint16_t tag, const T& value)
{
    if (FtkErrorPending())
        return;
    FtkChunk* c = nullptr;
    FtkChunkReuseChild(mdata, tag, &c);
    auto* data = c ? static_cast<T*>(FtkChunkDataAlloc(c)) : nullptr;
    if (data)
        *data = value;
}

} // namespace

void FtkMeshSettingsInit(FtkMeshSettings** settings)
{
    if (!settings) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    if (!*settings) {
        *settings = static_cast<FtkMeshSettings*>(FtkMemCalloc(__FILE__, __LINE__, 1, sizeof(FtkMeshSettings)));
        if (!*settings) {
            FtkPushError(ERR_NO_MEM);
            return;
        }
    }
    **settings = FtkMeshSettings{};
}

void FtkMeshSettingsRelease(FtkMeshSettings** settings)
{
    if (!settings) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    FtkMemFree(*settings);
    *settings = nullptr;
}

void FtkMeshSettingsGet(FtkDatabase* db, FtkMeshSettings** settings)
{
    if (!db || !settings) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    FtkChunk* mdata = nullptr;
    FtkChunkFindDescendant(db->root, MDATA, &mdata);
    if (!mdata)
        return;
    FtkMeshSettingsInit(settings);
    FtkMeshSettings* s = FtkErrorPending() ? nullptr : *settings;
    for (FtkChunk* c = s ? mdata->children : nullptr; c && !FtkErrorPending(); c = c->next) {
        switch (c->tag) {
        case MASTER_SCALE: ReadValue(c, &s->masterScale); break;
        case LO_SHADOW_BIAS: ReadValue(c, &s->loShadowBias); break;
        case RAY_BIAS: ReadValue(c, &s->rayBias); break;
        case SHADOW_MAP_SIZE: ReadValue(c, &s->shadowMapSize); break;
        case SHADOW_FILTER: ReadValue(c, &s->shadowFilter); break;
        case O_CONSTS: ReadValue(c, &s->oconsts); break;
        case AMBIENT_LIGHT:
            ReadAmbient(c, COLOR_F, COLOR_24, &s->ambientLight);
            if (!FtkErrorPending())
                ReadAmbient(c, LIN_COLOR_F, LIN_COLOR_24, &s->ambientLight);
            break;
        default: break;
        }
    }
}

void FtkMeshSettingsPut(FtkDatabase* db, const FtkMeshSettings* settings)
{
    if (!db || !settings) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    if (!FtkCheckDatabase(db, false))
        return;
    FtkChunk* mdata = FtkMdataGetOrCreate(db);
    if (!mdata)
        return;
    // The version step of the save gives MESH_VERSION its value.
    Reuse<uint32_t>(mdata, MESH_VERSION, 0);
    Reuse(mdata, MASTER_SCALE, settings->masterScale);
    Reuse(mdata, LO_SHADOW_BIAS, settings->loShadowBias);
    Reuse(mdata, SHADOW_MAP_SIZE, settings->shadowMapSize);
    Reuse(mdata, SHADOW_FILTER, settings->shadowFilter);
    Reuse(mdata, RAY_BIAS, settings->rayBias);
    if (FtkErrorPending())
        return;
    FtkChunk* ambient = nullptr;
    FtkChunkReuseChild(mdata, AMBIENT_LIGHT, &ambient);
    void* data = nullptr;
    if (ambient && FtkChunkAddChildWithData(COLOR_F, ambient, &data) && data)
        *static_cast<FtkColorF*>(data) = settings->ambientLight;
    if (ambient && !FtkErrorPending() && FtkChunkAddChildWithData(LIN_COLOR_F, ambient, &data) && data)
        *static_cast<FtkColorF*>(data) = settings->ambientLight;
    Reuse(mdata, O_CONSTS, settings->oconsts);
}

} // namespace duzsdk
