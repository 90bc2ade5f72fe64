#include "sdk/formats/3dsftk/FtkMaterial.h"

#include "sdk/formats/3dsftk/FtkChunk.h"
#include "sdk/formats/3dsftk/FtkDatabase.h"
#include "sdk/formats/3dsftk/FtkError.h"
#include "sdk/formats/3dsftk/FtkKfHierarchy.h"
#include "sdk/formats/3dsftk/FtkRecordSupport.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace duzsdk {

namespace {

struct MapRow {
    FtkTextureMap FtkMaterial::*map;
    uint16_t tag;
    uint16_t sxp; // 0: none
};
// Order of the record and of the put.
constexpr MapRow kMaps[] = {
    {&FtkMaterial::texture, MAT_TEXMAP, MAT_SXP_TEXT_DATA},
    {&FtkMaterial::textureMask, MAT_TEXMASK, MAT_SXP_TEXT_MASKDATA},
    {&FtkMaterial::texture2, MAT_TEX2MAP, MAT_SXP_TEXT2_DATA},
    {&FtkMaterial::texture2Mask, MAT_TEX2MASK, MAT_SXP_TEXT2_MASKDATA},
    {&FtkMaterial::opacity, MAT_OPACMAP, MAT_SXP_OPAC_DATA},
    {&FtkMaterial::opacityMask, MAT_OPACMASK, MAT_SXP_OPAC_MASKDATA},
    {&FtkMaterial::bump, MAT_BUMPMAP, MAT_SXP_BUMP_DATA},
    {&FtkMaterial::bumpMask, MAT_BUMPMASK, MAT_SXP_BUMP_MASKDATA},
    {&FtkMaterial::specMap, MAT_SPECMAP, MAT_SXP_SPEC_DATA},
    {&FtkMaterial::specMask, MAT_SPECMASK, MAT_SXP_SPEC_MASKDATA},
    {&FtkMaterial::shinMap, MAT_SHINMAP, MAT_SXP_SHIN_DATA},
    {&FtkMaterial::shinMask, MAT_SHINMASK, MAT_SXP_SHIN_MASKDATA},
    {&FtkMaterial::selfIllumMap, MAT_SELFIMAP, MAT_SXP_SELFI_DATA},
    {&FtkMaterial::selfIllumMask, MAT_SELFIMASK, MAT_SXP_SELFI_MASKDATA},
    {&FtkMaterial::reflect, MAT_REFLMAP, 0},
    {&FtkMaterial::reflectMask, MAT_REFLMASK, MAT_SXP_REFL_MASKDATA},
};

FtkColorF FromBytes(const FtkColor24& c)
{
    return {float(c.r) / 255.0f, float(c.g) / 255.0f, float(c.b) / 255.0f};
}

// Components outside 0..1 are clamped rather than wrapped modulo 256.
uint8_t ToByte(float v)
{
    if (!(v > 0))
        return 0;
    if (v >= 1)
        return 255;
    return uint8_t(v * 255.0f);
}

FtkColor24 ToBytes(const FtkColorF& c)
{
    return {ToByte(c.r), ToByte(c.g), ToByte(c.b)};
}

// Truncation to a 16-bit percentage, saturating at its range.
uint16_t Percent(double value)
{
    if (!(value > -32768.0))
        return uint16_t(int16_t(-32768));
    if (value >= 32767.0)
        return 32767;
    return uint16_t(int16_t(value));
}

template <typename T>
T* DataOf(FtkChunk* c)
{
    return static_cast<T*>(FtkChunkDataRead(c));
}

bool ReadColor24(FtkChunk* c, uint16_t tag, FtkColorF* out)
{
    FtkChunk* found = nullptr;
    FtkChunkFindDescendant(c, tag, &found);
    if (!found)
        return false;
    auto* bytes = DataOf<FtkColor24>(found);
    if (bytes)
        *out = FromBytes(*bytes);
    return bytes != nullptr;
}

// A colour container: the first COLOR_24 (or COLOR_F when there is none),
// then LIN_COLOR_24 replaces it.
void ReadMaterialColor(FtkChunk* c, FtkColorF* out)
{
    if (!ReadColor24(c, COLOR_24, out) && !FtkErrorPending()) {
        FtkChunk* found = nullptr;
        FtkChunkFindDescendant(c, COLOR_F, &found);
        auto* f = found ? DataOf<FtkColorF>(found) : nullptr;
        if (!f) {
            if (!FtkErrorPending())
                FtkPushError(ERR_UNFOUND_CHUNK);
            return;
        }
        *out = *f;
    }
    if (!FtkErrorPending())
        ReadColor24(c, LIN_COLOR_24, out);
}

void TakeProcData(FtkChunk* c, FtkTextureMap* map)
{
    auto* block = DataOf<FtkRawData>(c);
    if (!block)
        return;
    FtkMemFree(map->procData);
    map->procSize = block->bytes ? block->size : 0;
    map->procData = block->bytes;
    block->bytes = nullptr;
    block->size = 0;
}

void ReadChild(FtkChunk* c, FtkMaterial* m)
{
    switch (c->tag) {
    case MAT_NAME: {
        auto* name = DataOf<FtkNameData>(c);
        if (name)
            FtkCopyName(m->name, sizeof m->name, name->name);
        return;
    }
    case MAT_AMBIENT: ReadMaterialColor(c, &m->ambient); return;
    case MAT_DIFFUSE: ReadMaterialColor(c, &m->diffuse); return;
    case MAT_SPECULAR: ReadMaterialColor(c, &m->specular); return;
    case MAT_SHININESS: m->shininess = FtkPercentageRead(c); return;
    case MAT_SHIN2PCT: m->shinStrength = FtkPercentageRead(c); return;
    case MAT_REFBLUR: m->blur = FtkPercentageRead(c); return;
    case MAT_TRANSPARENCY: m->transparency = FtkPercentageRead(c); return;
    case MAT_XPFALL: m->transFalloff = FtkPercentageRead(c); return;
    case MAT_SELF_ILPCT: m->selfIllumPct = FtkPercentageRead(c); return;
    case MAT_SELF_ILLUM: m->selfIllum = 1; return;
    case MAT_TWO_SIDE: m->twoSided = 1; return;
    case MAT_ADDITIVE: m->additive = 1; return;
    case MAT_FACEMAP: m->faceMap = 1; return;
    case MAT_PHONGSOFT: m->soften = 1; return;
    case MAT_WIREABS: m->useWireAbs = 1; return;
    case MAT_USE_XPFALL: m->useFall = 1; return;
    case MAT_USE_REFBLUR: m->useBlur = 1; return;
    // A wire material reads as shading 0; the wire flag is left alone.
    case MAT_WIRE: m->shading = 0; return;
    case MAT_WIRESIZE: {
        auto* v = DataOf<float>(c);
        if (v)
            m->wireSize = *v;
        return;
    }
    case MAT_SHADING: {
        auto* v = DataOf<uint16_t>(c);
        if (v)
            m->shading = int16_t(*v);
        return;
    }
    case MAT_XPFALLIN: m->transFalloff = -m->transFalloff; return;
    case MAT_ACUBIC: {
        auto* a = DataOf<FtkMatAcubicData>(c);
        if (!a)
            return;
        m->autoReflect = 1;
        m->autoReflectFlagA = (a->flags & 0x09) == 0x09;
        m->autoReflectFlagB = (a->flags & 0x11) == 0x11;
        m->autoReflectSize = int32_t(a->mapSize);
        m->autoReflectNthFrame = a->frameInterval;
        return;
    }
    default:
        break;
    }
    for (const MapRow& row : kMaps) {
        if (c->tag == row.tag) {
            FtkTextureMapRead(c, &(m->*row.map));
            if (row.tag == MAT_BUMPMAP && !FtkErrorPending()) {
                FtkChunk* pct = nullptr;
                FtkChunkFindDescendant(c, MAT_BUMP_PERCENT, &pct);
                auto* v = pct ? DataOf<uint16_t>(pct) : nullptr;
                if (v)
                    m->bump.percent = float(int16_t(*v)) / 100.0f;
            }
            return;
        }
        if (row.sxp && c->tag == row.sxp) {
            TakeProcData(c, &(m->*row.map));
            return;
        }
    }
    // Other children (MAT_DECAL, MAT_SUPERSMP and the like) are skipped
    // rather than failing the whole material.
}

template <typename T>
T* AddData(uint16_t tag, FtkChunk* parent)
{
    void* data = nullptr;
    FtkChunkAddChildWithData(tag, parent, &data);
    return static_cast<T*>(data);
}

void AddPercent(FtkChunk* parent, uint16_t value)
{
    if (auto* v = AddData<uint16_t>(INT_PERCENTAGE, parent))
        *v = value;
}

void AddPercentChunk(uint16_t tag, FtkChunk* entry, uint16_t value)
{
    FtkChunk* c = FtkChunkAddChild(tag, entry);
    if (c && !FtkErrorPending())
        AddPercent(c, value);
}

void AddMapName(FtkChunk* mapChunk, const char* name, size_t size)
{
    char* text = FtkRecordText(name, size);
    if (!text)
        return;
    // The tree load takes map names of at most 12 characters.
    if (std::strlen(text) > FtkTextLimit(MAT_MAPNAME)) {
        FtkMemFree(text);
        FtkPushError(ERR_STRING_TOO_LONG);
        return;
    }
    if (auto* d = AddData<FtkNameData>(MAT_MAPNAME, mapChunk))
        d->name = text;
    else
        FtkMemFree(text);
}

void AddColorChunk(uint16_t tag, FtkChunk* entry, const FtkColorF& color)
{
    FtkChunk* c = FtkChunkAddChild(tag, entry);
    if (!c || FtkErrorPending())
        return;
    const FtkColor24 bytes = ToBytes(color);
    if (auto* d = AddData<FtkColor24>(COLOR_24, c))
        *d = bytes;
    if (auto* d = !FtkErrorPending() ? AddData<FtkColor24>(LIN_COLOR_24, c) : nullptr)
        *d = bytes;
}

} // namespace

void FtkTextureMapInit(FtkTextureMap* map)
{
    if (!map) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    // A block left from an earlier read would leak.
    FtkMemFree(map->procData);
    *map = FtkTextureMap{};
}

void FtkMaterialInit(FtkMaterial** material)
{
    if (!material) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    if (!*material) {
        *material = static_cast<FtkMaterial*>(FtkMemCalloc(__FILE__, __LINE__, 1, sizeof(FtkMaterial)));
        if (!*material) {
            FtkPushError(ERR_NO_MEM);
            return;
        }
    }
    FtkMaterial* m = *material;
    for (const MapRow& row : kMaps)
        FtkTextureMapInit(&(m->*row.map));
    *m = FtkMaterial{};
}

void FtkMaterialRelease(FtkMaterial** material)
{
    if (!material || !*material)
        return;
    for (const MapRow& row : kMaps)
        FtkMemFree(((*material)->*row.map).procData);
    FtkMemFree(*material);
    *material = nullptr;
}

uint32_t FtkMaterialCount(FtkDatabase* db)
{
    if (!db) {
        FtkPushError(ERR_INVALID_ARG);
        return 0;
    }
    FtkMaterialIndexUpdate(db);
    return FtkErrorPending() || !db->matList ? 0 : db->matList->count;
}

void FtkMaterialGetByIndex(FtkDatabase* db, uint32_t index, FtkMaterial** material)
{
    if (!material) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    FtkChunk* entry = FtkMaterialChunkByIndex(db, index);
    if (entry && !FtkErrorPending())
        FtkMaterialRead(entry, material);
}

void FtkMaterialRead(FtkChunk* entry, FtkMaterial** material)
{
    if (!entry || !material) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    if (entry->tag != MAT_ENTRY) {
        FtkPushError(ERR_INVALID_CHUNK);
        return;
    }
    FtkMaterialInit(material);
    if (FtkErrorPending())
        return;
    for (FtkChunk* child = entry->children; child && !FtkErrorPending(); child = child->next) {
        if ((child->tag & 0xFF00) == 0x8000)
            continue;
        // Each child is read from a copy, so the database keeps its own data.
        FtkChunk* copy = nullptr;
        FtkChunkCopyTree(child, &copy);
        if (copy)
            ReadChild(copy, *material);
        FtkChunkFree(&copy);
    }
}

float FtkPercentageRead(FtkChunk* chunk)
{
    FtkChunk* found = nullptr;
    FtkChunkFindDescendant(chunk, INT_PERCENTAGE, &found);
    if (found) {
        auto* v = DataOf<uint16_t>(found);
        return v ? float(int16_t(*v)) / 100.0f : 0.0f;
    }
    FtkChunkFindDescendant(chunk, FLOAT_PERCENTAGE, &found);
    if (found) {
        auto* v = DataOf<float>(found);
        return v ? *v : 0.0f;
    }
    return 0.0f;
}

void FtkTextureMapRead(FtkChunk* mapChunk, FtkTextureMap* map)
{
    if (!mapChunk || !map) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    for (FtkChunk* child = mapChunk->children; child && !FtkErrorPending(); child = child->next) {
        FtkChunk* c = nullptr;
        FtkChunkCopyTree(child, &c);
        if (!c)
            return;
        void* data = nullptr;
        switch (c->tag) {
        case INT_PERCENTAGE: case FLOAT_PERCENTAGE: case MAT_MAPNAME: case MAT_MAP_TILING: case MAT_MAP_TEXBLUR:
        case MAT_MAP_USCALE: case MAT_MAP_VSCALE: case MAT_MAP_UOFFSET: case MAT_MAP_VOFFSET: case MAT_MAP_ANG:
        case MAT_MAP_COL1: case MAT_MAP_COL2: case MAT_MAP_RCOL: case MAT_MAP_GCOL: case MAT_MAP_BCOL:
            data = FtkChunkDataRead(c);
            break;
        default:
            break;
        }
        if (data && !FtkErrorPending()) {
            switch (c->tag) {
            case INT_PERCENTAGE: map->percent = float(int16_t(*static_cast<uint16_t*>(data))) / 100.0f; break;
            case FLOAT_PERCENTAGE: map->percent = *static_cast<float*>(data); break;
            case MAT_MAPNAME: FtkCopyName(map->name, sizeof map->name, static_cast<FtkNameData*>(data)->name); break;
            case MAT_MAP_TILING: {
                const uint16_t f = *static_cast<uint16_t*>(data);
                map->tiling = !(f & 0x11) ? kFtkTile : (f & 0x10) ? kFtkDecal : kFtkTileAndDecal;
                map->ignoreAlpha = (f & 0x100) != 0;
                map->filter = (f & 0x20) != 0;
                map->mirror = (f & 0x02) != 0;
                map->negative = (f & 0x08) != 0;
                map->tint = (f & 0x80) ? ((f & 0x40) ? kFtkTintWithAlpha : kFtkTint)
                            : (f & 0x200) ? kFtkTintRgb
                            : (f & 0x40) ? kFtkTintAlpha
                                         : kFtkTintNone;
                break;
            }
            case MAT_MAP_TEXBLUR: map->blur = *static_cast<float*>(data); break;
            case MAT_MAP_USCALE: map->uScale = *static_cast<float*>(data); break;
            case MAT_MAP_VSCALE: map->vScale = *static_cast<float*>(data); break;
            case MAT_MAP_UOFFSET: map->uOffset = *static_cast<float*>(data); break;
            case MAT_MAP_VOFFSET: map->vOffset = *static_cast<float*>(data); break;
            case MAT_MAP_ANG: map->rotation = *static_cast<float*>(data); break;
            case MAT_MAP_COL1: map->tint1 = FromBytes(*static_cast<FtkColor24*>(data)); break;
            case MAT_MAP_COL2: map->tint2 = FromBytes(*static_cast<FtkColor24*>(data)); break;
            case MAT_MAP_RCOL: map->tintR = FromBytes(*static_cast<FtkColor24*>(data)); break;
            case MAT_MAP_GCOL: map->tintG = FromBytes(*static_cast<FtkColor24*>(data)); break;
            case MAT_MAP_BCOL: map->tintB = FromBytes(*static_cast<FtkColor24*>(data)); break;
            default: break;
            }
        }
        FtkChunkFree(&c);
    }
}

void FtkTextureMapWrite(FtkChunk* mapChunk, const FtkTextureMap* map)
{
    if (!mapChunk || !map) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    if (map->name[0] == 0)
        return;
    AddPercent(mapChunk, Percent(double(map->percent) * 100.0 + 0.5));
    if (!FtkErrorPending())
        AddMapName(mapChunk, map->name, sizeof map->name);
    uint16_t flags = map->tiling == kFtkDecal ? 0x11 : map->tiling == kFtkTileAndDecal ? 0x01 : 0;
    if (map->ignoreAlpha)
        flags |= 0x100;
    if (map->filter == 1)
        flags |= 0x20;
    if (map->mirror)
        flags |= 0x02;
    if (map->negative)
        flags |= 0x08;
    static constexpr uint16_t kTintBits[] = {0, 0x40, 0x80, 0xC0, 0x200};
    if (map->tint >= 0 && map->tint <= 4)
        flags |= kTintBits[map->tint];
    if (auto* v = !FtkErrorPending() ? AddData<uint16_t>(MAT_MAP_TILING, mapChunk) : nullptr)
        *v = flags;
    auto addFloat = [mapChunk](uint16_t tag, float value) {
        if (auto* v = !FtkErrorPending() ? AddData<float>(tag, mapChunk) : nullptr)
            *v = value;
    };
    auto addColor = [mapChunk](uint16_t tag, const FtkColorF& color) {
        if (auto* v = !FtkErrorPending() ? AddData<FtkColor24>(tag, mapChunk) : nullptr)
            *v = ToBytes(color);
    };
    if (map->uScale != 1.0f || map->vScale != 1.0f) {
        addFloat(MAT_MAP_USCALE, map->uScale);
        addFloat(MAT_MAP_VSCALE, map->vScale);
    }
    if (map->uOffset != 0.0f || map->vOffset != 0.0f) {
        addFloat(MAT_MAP_UOFFSET, map->uOffset);
        addFloat(MAT_MAP_VOFFSET, map->vOffset);
    }
    if (map->rotation != 0.0f)
        addFloat(MAT_MAP_ANG, map->rotation);
    if (map->blur != 0.0f)
        addFloat(MAT_MAP_TEXBLUR, map->blur);
    if (map->tint == kFtkTint || map->tint == kFtkTintWithAlpha) {
        addColor(MAT_MAP_COL1, map->tint1);
        addColor(MAT_MAP_COL2, map->tint2);
    }
    if (map->tint == kFtkTintRgb) {
        addColor(MAT_MAP_RCOL, map->tintR);
        addColor(MAT_MAP_GCOL, map->tintG);
        addColor(MAT_MAP_BCOL, map->tintB);
    }
}

void FtkMaterialPut(FtkDatabase* db, const FtkMaterial* material)
{
    if (!db || !material) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    if (!db->root) {
        FtkPushError(ERR_INVALID_DATABASE);
        return;
    }
    const int kind = FtkDatabaseKind(db);
    if (kind != kFtkMeshDatabase && kind != kFtkProjectDatabase && kind != kFtkMaterialLibrary) {
        FtkPushError(ERR_WRONG_DATABASE);
        return;
    }
    FtkChunk* parent = kind == kFtkMaterialLibrary ? db->root : FtkMdataGetOrCreate(db);
    if (!parent)
        return;
    char* name = FtkRecordText(material->name, sizeof material->name);
    if (!name)
        return;
    if (std::strlen(name) > FtkTextLimit(MAT_NAME)) {
        FtkMemFree(name);
        FtkPushError(ERR_STRING_TOO_LONG);
        return;
    }
    FtkChunk* entry = nullptr;
    FtkChunk* kept = nullptr;
    FtkMaterialFind(db, name, &entry);
    const bool reused = entry != nullptr;
    FtkDatabaseChanged(db);
    if (entry) {
        FtkChunk* xdata = nullptr;
        FtkChunkFindDescendant(entry, XDATA_SECTION, &xdata);
        if (xdata)
            FtkChunkCopyTree(xdata, &kept);
        FtkChunkClear(entry);
        entry->tag = MAT_ENTRY;
    } else if (!FtkErrorPending()) {
        entry = FtkChunkAddChild(MAT_ENTRY, parent);
    }
    auto* nameData = entry && !FtkErrorPending() ? AddData<FtkNameData>(MAT_NAME, entry) : nullptr;
    if (!nameData) {
        FtkMemFree(name);
        FtkChunkFree(&kept);
        FtkMaterialIndexInvalidate(db);
        return;
    }
    nameData->name = name;
    // An entry kept in place keeps its index entry; a new one is added.
    if (!reused)
        FtkMaterialIndexAdd(db, name, entry);

    const FtkMaterial& m = *material;
    AddColorChunk(MAT_AMBIENT, entry, m.ambient);
    if (!FtkErrorPending())
        AddColorChunk(MAT_DIFFUSE, entry, m.diffuse);
    if (!FtkErrorPending())
        AddColorChunk(MAT_SPECULAR, entry, m.specular);
    if (!FtkErrorPending())
        AddPercentChunk(MAT_SHININESS, entry, Percent(double(m.shininess) * 100.0));
    if (!FtkErrorPending())
        AddPercentChunk(MAT_SHIN2PCT, entry, Percent(double(m.shinStrength) * 100.0));
    if (!FtkErrorPending())
        AddPercentChunk(MAT_TRANSPARENCY, entry, Percent(double(m.transparency) * 100.0));
    if (!FtkErrorPending()) {
        const double r = m.transFalloff > 0 ? 0.5 : -0.5;
        const int16_t falloff = int16_t(Percent(double(m.transFalloff) * 100.0 + r));
        AddPercentChunk(MAT_XPFALL, entry, uint16_t(falloff < 0 ? -int32_t(falloff) : falloff));
    }
    if (!FtkErrorPending() && m.transFalloff < 0)
        FtkChunkAddChild(MAT_XPFALLIN, entry);
    if (!FtkErrorPending())
        AddPercentChunk(MAT_REFBLUR, entry, Percent(double(m.blur) * 100.0));
    if (auto* v = !FtkErrorPending() ? AddData<uint16_t>(MAT_SHADING, entry) : nullptr)
        *v = uint16_t(int16_t(m.shading));
    if (!FtkErrorPending())
        AddPercentChunk(MAT_SELF_ILPCT, entry, Percent(double(m.selfIllumPct) * 100.0));
    if (!FtkErrorPending() && m.twoSided)
        FtkChunkAddChild(MAT_TWO_SIDE, entry);
    if (auto* v = !FtkErrorPending() ? AddData<float>(MAT_WIRESIZE, entry) : nullptr)
        *v = m.wireSize;
    const struct {
        uint8_t flag;
        uint16_t tag;
    } flags[] = {{m.useBlur, MAT_USE_REFBLUR}, {m.useFall, MAT_USE_XPFALL}, {m.selfIllum, MAT_SELF_ILLUM},
                 {m.additive, MAT_ADDITIVE}, {m.useWire, MAT_WIRE}, {m.useWireAbs, MAT_WIREABS},
                 {m.faceMap, MAT_FACEMAP}, {m.soften, MAT_PHONGSOFT}};
    for (const auto& f : flags)
        if (f.flag && !FtkErrorPending())
            FtkChunkAddChild(f.tag, entry);

    for (const MapRow& row : kMaps) {
        if (row.tag == MAT_REFLMAP || FtkErrorPending())
            continue;
        const FtkTextureMap& map = m.*row.map;
        if (map.name[0] != 0) {
            FtkChunk* mapChunk = FtkChunkAddChild(row.tag, entry);
            if (mapChunk && !FtkErrorPending())
                FtkTextureMapWrite(mapChunk, &map);
            if (row.tag == MAT_BUMPMAP && mapChunk && !FtkErrorPending())
                if (auto* v = AddData<uint16_t>(MAT_BUMP_PERCENT, mapChunk))
                    *v = Percent(double(map.percent) * 100.0);
        }
        if (row.sxp && map.procData && map.procSize > 0 && !FtkErrorPending()) {
            if (auto* block = AddData<FtkRawData>(row.sxp, entry)) {
                block->bytes = static_cast<unsigned char*>(FtkMemAlloc(__FILE__, __LINE__, map.procSize));
                if (!block->bytes) {
                    FtkPushError(ERR_NO_MEM);
                } else {
                    std::memcpy(block->bytes, map.procData, map.procSize);
                    block->size = map.procSize;
                }
            }
        }
    }
    if (!FtkErrorPending() && (m.reflect.name[0] != 0 || m.autoReflect)) {
        FtkChunk* reflect = FtkChunkAddChild(MAT_REFLMAP, entry);
        if (reflect && !FtkErrorPending())
            AddPercent(reflect, Percent(double(m.reflect.percent) * 100.0));
        if (reflect && !FtkErrorPending())
            AddMapName(reflect, m.reflect.name, sizeof m.reflect.name);
    }
    if (!FtkErrorPending() && m.autoReflect) {
        if (auto* a = AddData<FtkMatAcubicData>(MAT_ACUBIC, entry)) {
            a->flags = m.autoReflectFlagA ? 9 : 1;
            if (m.autoReflectFlagB)
                a->flags |= 0x11;
            a->mapSize = uint32_t(m.autoReflectSize);
            a->frameInterval = m.autoReflectNthFrame;
        }
    }
    if (kept) {
        if (!FtkErrorPending())
            FtkChunkInsertChild(entry, kept);
        else
            FtkChunkFree(&kept);
    }
}

} // namespace duzsdk
