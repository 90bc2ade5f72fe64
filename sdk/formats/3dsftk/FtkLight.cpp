#include "sdk/formats/3dsftk/FtkLight.h"

#include "sdk/formats/3dsftk/FtkChunk.h"
#include "sdk/formats/3dsftk/FtkDatabase.h"
#include "sdk/formats/3dsftk/FtkError.h"
#include "sdk/formats/3dsftk/FtkKfHierarchy.h"
#include "sdk/formats/3dsftk/FtkRecordSupport.h"

#include <cstring>

namespace duzsdk {

namespace {

FtkChunk* LightChunk(FtkChunk* object)
{
    FtkChunk* light = nullptr;
    FtkChunkFindDescendant(object, N_DIRECT_LIGHT, &light);
    return light;
}

bool HasSpot(FtkChunk* light)
{
    FtkChunk* spot = nullptr;
    FtkChunkFindDescendant(light, DL_SPOTLIGHT, &spot);
    return spot != nullptr;
}

bool IsOmni(FtkChunk* object)
{
    FtkChunk* light = LightChunk(object);
    return light && !HasSpot(light);
}

bool IsSpot(FtkChunk* object)
{
    FtkChunk* light = LightChunk(object);
    return light && HasSpot(light);
}

void FreeSpot(FtkLight* light)
{
    if (!light->spot)
        return;
    FtkMemFree(light->spot->projectorName);
    FtkMemFree(light->spot);
    light->spot = nullptr;
}

void GetByIndex(FtkDatabase* db, uint32_t index, FtkLight** light, bool (*accept)(FtkChunk*))
{
    if (!db || !light) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    if (!FtkCheckDatabase(db, false))
        return;
    FtkChunk* object = FtkNamedObjectByOrdinal(db, index, accept);
    if (object && !FtkErrorPending())
        FtkLightRead(object, light);
}

template <typename T>
T* DataOf(FtkChunk* c)
{
    return static_cast<T*>(FtkChunkDataRead(c));
}

void ReadFloat(FtkChunk* c, float* out)
{
    if (auto* v = DataOf<float>(c))
        *out = *v;
}

void ReadSpotChildren(FtkChunk* spotChunk, FtkSpotlight* s)
{
    if (auto* d = DataOf<FtkDlSpotlightData>(spotChunk)) {
        s->target = d->target;
        s->hotspot = d->hotspot;
        s->falloff = d->falloff;
    }
    for (FtkChunk* c = spotChunk->children; c && !FtkErrorPending(); c = c->next) {
        switch (c->tag) {
        case DL_SPOT_ROLL: ReadFloat(c, &s->roll); break;
        case DL_SPOT_ASPECT: ReadFloat(c, &s->aspect); break;
        case DL_RAY_BIAS: ReadFloat(c, &s->rayBias); break;
        case DL_SHADOWED: case DL_LOCAL_SHADOW: s->castShadows = 1; break;
        case DL_LOCAL_SHADOW2:
            if (auto* d = DataOf<FtkDlLocalShadow2Data>(c)) {
                s->localShadowBias = d->bias;
                s->localShadowFilter = d->filter;
                s->localShadowMapSize = d->mapSize;
                s->localShadow = 1;
            }
            break;
        case DL_RAYSHAD: s->rayShadows = 1; break;
        case DL_SPOT_RECTANGULAR: s->rectangular = 1; break;
        case DL_SEE_CONE: s->showCone = 1; break;
        case DL_SPOT_OVERSHOOT: s->overshoot = 1; break;
        case DL_SPOT_PROJECTOR:
            if (auto* d = DataOf<FtkNameData>(c)) {
                FtkMemFree(s->projectorName);
                s->projectorName = FtkStrDup(d->name ? d->name : "");
                if (!s->projectorName)
                    FtkPushError(ERR_NO_MEM);
                s->projector = 1;
            }
            break;
        default:
            break;
        }
    }
}

FtkChunk* AddFlag(uint16_t tag, FtkChunk* parent)
{
    return FtkErrorPending() ? nullptr : FtkChunkAddChild(tag, parent);
}

} // namespace

void FtkLightInit(FtkLight** light)
{
    if (!light) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    if (!*light) {
        *light = static_cast<FtkLight*>(FtkMemCalloc(__FILE__, __LINE__, 1, sizeof(FtkLight)));
        if (!*light) {
            FtkPushError(ERR_NO_MEM);
            return;
        }
    }
    FtkLight* l = *light;
    FtkSpotlight* spot = l->spot;
    FtkNameListRelease(&l->exclude);
    *l = FtkLight{};
    l->spot = spot;
    FtkNameListInit(&l->exclude, 0);
}

void FtkSpotlightInit(FtkLight** light)
{
    FtkLightInit(light);
    if (FtkErrorPending())
        return;
    FreeSpot(*light);
    (*light)->spot = static_cast<FtkSpotlight*>(FtkMemCalloc(__FILE__, __LINE__, 1, sizeof(FtkSpotlight)));
    if (!(*light)->spot) {
        FtkPushError(ERR_NO_MEM);
        return;
    }
    *(*light)->spot = FtkSpotlight{};
}

void FtkLightRelease(FtkLight** light)
{
    if (!light || !*light) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    FtkNameListRelease(&(*light)->exclude);
    FreeSpot(*light);
    FtkMemFree(*light);
    *light = nullptr;
}

uint32_t FtkOmniLightCount(FtkDatabase* db)
{
    if (!db) {
        FtkPushError(ERR_INVALID_ARG);
        return 0;
    }
    return FtkNamedObjectCountIf(db, IsOmni);
}

uint32_t FtkSpotlightCount(FtkDatabase* db)
{
    if (!db) {
        FtkPushError(ERR_INVALID_ARG);
        return 0;
    }
    return FtkNamedObjectCountIf(db, IsSpot);
}

void FtkOmniLightGetByIndex(FtkDatabase* db, uint32_t index, FtkLight** light)
{
    GetByIndex(db, index, light, IsOmni);
}

void FtkSpotlightGetByIndex(FtkDatabase* db, uint32_t index, FtkLight** light)
{
    GetByIndex(db, index, light, IsSpot);
}

void FtkLightRead(FtkChunk* namedObject, FtkLight** light)
{
    if (!light || !namedObject) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    FtkChunk* direct = nullptr;
    FtkChunkFindSibling(namedObject->children, N_DIRECT_LIGHT, &direct);
    if (!direct) {
        FtkPushError(ERR_WRONG_OBJECT);
        return;
    }
    FtkChunk* copy = nullptr;
    FtkChunkCopyTree(namedObject, &copy);
    if (!copy)
        return;
    FtkChunkFindSibling(copy->children, N_DIRECT_LIGHT, &direct);
    FtkChunk* spotChunk = nullptr;
    FtkChunkFindDescendant(direct, DL_SPOTLIGHT, &spotChunk);
    if (spotChunk) {
        FtkSpotlightInit(light);
    } else {
        FtkLightInit(light);
        // An omni light read into a record that held a spotlight is no spotlight.
        if (*light)
            FreeSpot(*light);
    }
    FtkLight* l = FtkErrorPending() ? nullptr : *light;
    if (l) {
        if (auto* name = DataOf<FtkNameData>(copy))
            FtkCopyName(l->name, sizeof l->name, name->name);
        if (auto* position = !FtkErrorPending() ? DataOf<FtkVector>(direct) : nullptr)
            l->position = *position;
    }
    for (FtkChunk* c = l ? direct->children : nullptr; c && !FtkErrorPending(); c = c->next) {
        switch (c->tag) {
        case COLOR_F:
            if (auto* d = DataOf<FtkColorF>(c))
                l->color = *d;
            break;
        case COLOR_24:
            if (auto* d = DataOf<FtkColor24>(c))
                l->color = {float(d->r) / 255.0f, float(d->g) / 255.0f, float(d->b) / 255.0f};
            break;
        case DL_OFF: l->off = 1; break;
        case DL_ATTENUATE: l->attenuate = 1; break;
        case DL_EXCLUDE:
            if (auto* d = DataOf<FtkNameData>(c)) {
                if (!l->exclude)
                    FtkNameListInit(&l->exclude, 0);
                if (!FtkErrorPending())
                    FtkNameListAdd(&l->exclude, d->name ? d->name : "");
            }
            break;
        case DL_INNER_RANGE: ReadFloat(c, &l->innerRange); break;
        case DL_OUTER_RANGE: ReadFloat(c, &l->outerRange); break;
        case DL_MULTIPLIER: ReadFloat(c, &l->multiplier); break;
        default: break;
        }
    }
    if (l && spotChunk && l->spot && !FtkErrorPending())
        ReadSpotChildren(spotChunk, l->spot);
    FtkChunkFree(&copy);
}

void FtkLightPut(FtkDatabase* db, const FtkLight* light)
{
    if (!db || !light) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    FtkLightWrite(db, light);
}

FtkChunk* FtkChunkAddFloat(FtkChunk* parent, uint16_t tag, const float* value)
{
    void* data = nullptr;
    FtkChunk* c = FtkChunkAddChildWithData(tag, parent, &data);
    if (c && data)
        std::memcpy(data, value, sizeof(float));
    return c;
}

void FtkLightWrite(FtkDatabase* db, const FtkLight* light)
{
    if (!db || !light) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    if (!FtkCheckDatabase(db, false))
        return;
    FtkChunk* kept = nullptr;
    FtkChunk* object = FtkNamedObjectForPut(db, light->name, sizeof light->name, true, &kept);
    void* data = nullptr;
    FtkChunk* direct = object ? FtkChunkAddChildWithData(N_DIRECT_LIGHT, object, &data) : nullptr;
    if (!direct || !data) {
        FtkChunkFree(&kept);
        return;
    }
    *static_cast<FtkVector*>(data) = light->position;
    if (FtkChunkAddChildWithData(COLOR_F, direct, &data) && data)
        *static_cast<FtkColorF*>(data) = light->color;
    if (!FtkErrorPending())
        FtkChunkAddFloat(direct, DL_OUTER_RANGE, &light->outerRange);
    if (!FtkErrorPending())
        FtkChunkAddFloat(direct, DL_INNER_RANGE, &light->innerRange);
    if (!FtkErrorPending())
        FtkChunkAddFloat(direct, DL_MULTIPLIER, &light->multiplier);
    if (light->off == 1)
        AddFlag(DL_OFF, direct);
    if (light->attenuate == 1)
        AddFlag(DL_ATTENUATE, direct);
    for (uint32_t i = 0; light->exclude && i < light->exclude->count && !FtkErrorPending(); ++i) {
        const char* name = light->exclude->names[i] ? light->exclude->names[i] : "";
        if (std::strlen(name) > FtkTextLimit(DL_EXCLUDE)) {
            FtkPushError(ERR_STRING_TOO_LONG);
            break;
        }
        if (FtkChunkAddChildWithData(DL_EXCLUDE, direct, &data) && data) {
            static_cast<FtkNameData*>(data)->name = FtkStrDup(name);
            if (!static_cast<FtkNameData*>(data)->name)
                FtkPushError(ERR_NO_MEM);
        }
    }
    const FtkSpotlight* s = light->spot;
    if (s && !FtkErrorPending()) {
        FtkChunk* spot = FtkChunkAddChildWithData(DL_SPOTLIGHT, direct, &data);
        if (spot && data) {
            auto* d = static_cast<FtkDlSpotlightData*>(data);
            d->target = s->target;
            d->hotspot = s->hotspot;
            d->falloff = s->falloff;
            FtkChunkAddFloat(spot, DL_SPOT_ROLL, &s->roll);
            if (s->aspect != 1.0f && !FtkErrorPending())
                FtkChunkAddFloat(spot, DL_SPOT_ASPECT, &s->aspect);
            if (s->castShadows == 1)
                AddFlag(DL_SHADOWED, spot);
            if (s->rayShadows == 1)
                AddFlag(DL_RAYSHAD, spot);
            if (!FtkErrorPending())
                FtkChunkAddFloat(spot, DL_RAY_BIAS, &s->rayBias);
            if (s->localShadow == 1 && AddFlag(DL_LOCAL_SHADOW, spot) && !FtkErrorPending()) {
                if (FtkChunkAddChildWithData(DL_LOCAL_SHADOW2, spot, &data) && data) {
                    auto* shadow = static_cast<FtkDlLocalShadow2Data*>(data);
                    shadow->bias = s->localShadowBias;
                    shadow->filter = s->localShadowFilter;
                    shadow->mapSize = s->localShadowMapSize;
                }
            }
            if (s->rectangular == 1)
                AddFlag(DL_SPOT_RECTANGULAR, spot);
            if (s->showCone == 1)
                AddFlag(DL_SEE_CONE, spot);
            if (s->overshoot == 1)
                AddFlag(DL_SPOT_OVERSHOOT, spot);
            if (s->projector == 1 && !FtkErrorPending()) {
                const char* name = s->projectorName ? s->projectorName : "";
                if (std::strlen(name) > FtkTextLimit(DL_SPOT_PROJECTOR)) {
                    FtkPushError(ERR_STRING_TOO_LONG);
                } else if (FtkChunkAddChildWithData(DL_SPOT_PROJECTOR, spot, &data) && data) {
                    static_cast<FtkNameData*>(data)->name = FtkStrDup(name);
                    if (!static_cast<FtkNameData*>(data)->name)
                        FtkPushError(ERR_NO_MEM);
                }
            }
        }
    }
    if (kept && !FtkErrorPending())
        FtkChunkInsertChild(direct, kept);
    else
        FtkChunkFree(&kept);
}

} // namespace duzsdk
