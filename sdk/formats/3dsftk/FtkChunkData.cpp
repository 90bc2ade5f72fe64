#include "sdk/formats/3dsftk/FtkChunkData.h"

#include "sdk/formats/3dsftk/FtkChunk.h"
#include "sdk/formats/3dsftk/FtkError.h"
#include "sdk/formats/3dsftk/FtkFile.h"
#include "sdk/formats/3dsftk/FtkPrim.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace duzsdk {

namespace {

// One field of a layout, in file order. The record is described by offsets,
// so one reader, writer, copier and releaser serve every tag.
enum class Fk : uint8_t {
    U8,        // n bytes
    U16,       // n shorts
    U32,       // n longs
    F32,       // n floats
    Text,      // n text pointers, each at most `limit` characters
    FixedText, // text pointer in a NUL-padded field of `limit` bytes
    WholeText, // text pointer whose limit is the chunk's whole length
    Array,     // u16 count at offset, element pointer at `aux`; n scalars of kind `elem` each
    Smooth,    // like Array, the count taken from the chunk length
    Block,     // FtkRawData holding the rest of the chunk
    Track,     // FtkTrackData; n value bytes per key (13: a morph name)
};

struct Field {
    Fk kind;
    uint16_t offset;
    uint16_t n = 1;
    uint16_t limit = 0; // Text, FixedText
    uint16_t aux = 0;   // Array: pointer offset
    Fk elem = Fk::U8;   // Array: scalar kind
};

struct Layout {
    uint16_t size;
    uint8_t count;
    Field fields[6];
};

#define OFF(type, member) uint16_t(offsetof(type, member))

constexpr Layout kLong{4, 1, {{Fk::U32, 0}}};
constexpr Layout kShort{2, 1, {{Fk::U16, 0}}};
constexpr Layout kFloat{4, 1, {{Fk::F32, 0}}};
constexpr Layout kColorF{sizeof(FtkColorF), 1, {{Fk::F32, 0, 3}}};
constexpr Layout kColor24{sizeof(FtkColor24), 1, {{Fk::U8, 0, 3}}};
constexpr Layout kVector{sizeof(FtkVector), 1, {{Fk::F32, 0, 3}}};
constexpr Layout kName10{sizeof(FtkNameData), 1, {{Fk::Text, 0, 1, 10}}};
constexpr Layout kName12{sizeof(FtkNameData), 1, {{Fk::Text, 0, 1, 12}}};
constexpr Layout kName16{sizeof(FtkNameData), 1, {{Fk::Text, 0, 1, 16}}};
constexpr Layout kWholeText{sizeof(FtkNameData), 1, {{Fk::WholeText, 0}}};
constexpr Layout kFog{sizeof(FtkFogData), 1, {{Fk::F32, 0, 4}}};
constexpr Layout kLayerFog{sizeof(FtkLayerFogData), 2, {{Fk::F32, 0, 3}, {Fk::U32, OFF(FtkLayerFogData, type)}}};
constexpr Layout kView{sizeof(FtkViewData), 2, {{Fk::F32, OFF(FtkViewData, width)}, {Fk::F32, OFF(FtkViewData, target), 3}}};
constexpr Layout kViewUser{sizeof(FtkViewUserData), 2,
                           {{Fk::F32, OFF(FtkViewUserData, carried), 4}, {Fk::F32, OFF(FtkViewUserData, target), 3}}};
constexpr Layout kViewportLayout{sizeof(FtkViewportLayoutData), 1, {{Fk::U16, 0, 7}}};
constexpr Layout kViewportData{sizeof(FtkViewportData), 3,
                               {{Fk::U16, 0, 7},
                                {Fk::F32, OFF(FtkViewportData, zoom), 6},
                                {Fk::FixedText, OFF(FtkViewportData, cameraName), 1, 11}}};
constexpr Layout kViewportSize{sizeof(FtkViewportSizeData), 1, {{Fk::U16, 0, 4}}};
constexpr Layout kPointArray{sizeof(FtkPointArrayData), 1,
                             {{Fk::Array, 0, 3, 0, OFF(FtkPointArrayData, vertices), Fk::F32}}};
constexpr Layout kPointFlagArray{sizeof(FtkPointFlagArrayData), 1,
                                 {{Fk::Array, 0, 1, 0, OFF(FtkPointFlagArrayData, flags), Fk::U16}}};
constexpr Layout kFaceArray{sizeof(FtkFaceArrayData), 1, {{Fk::Array, 0, 4, 0, OFF(FtkFaceArrayData, faces), Fk::U16}}};
constexpr Layout kMshMatGroup{sizeof(FtkMshMatGroupData), 2,
                              {{Fk::Text, 0, 1, 16},
                               {Fk::Array, OFF(FtkMshMatGroupData, count), 1, 0, OFF(FtkMshMatGroupData, faces), Fk::U16}}};
constexpr Layout kTexVerts{sizeof(FtkTexVertsData), 1, {{Fk::Array, 0, 2, 0, OFF(FtkTexVertsData, texVerts), Fk::F32}}};
constexpr Layout kSmoothGroup{sizeof(FtkSmoothGroupData), 1,
                              {{Fk::Smooth, 0, 1, 0, OFF(FtkSmoothGroupData, groups), Fk::U32}}};
constexpr Layout kMeshMatrix{sizeof(FtkMeshMatrixData), 1, {{Fk::F32, 0, 12}}};
constexpr Layout kByte{1, 1, {{Fk::U8, 0}}};
constexpr Layout kMeshTextureInfo{sizeof(FtkMeshTextureInfoData), 2,
                                  {{Fk::U16, 0}, {Fk::F32, OFF(FtkMeshTextureInfoData, tileX), 21}}};
constexpr Layout kBlock{sizeof(FtkRawData), 1, {{Fk::Block, 0}}};
constexpr Layout kBoxmap{sizeof(FtkMshBoxmapData), 1, {{Fk::Text, 0, 6, 16}}};
constexpr Layout kDlSpotlight{sizeof(FtkDlSpotlightData), 1, {{Fk::F32, 0, 5}}};
constexpr Layout kDlLocalShadow2{sizeof(FtkDlLocalShadow2Data), 2,
                                 {{Fk::F32, 0, 2}, {Fk::U16, OFF(FtkDlLocalShadow2Data, mapSize)}}};
constexpr Layout kNCamera{sizeof(FtkNCameraData), 1, {{Fk::F32, 0, 8}}};
constexpr Layout kCamRanges{sizeof(FtkCamRangesData), 1, {{Fk::F32, 0, 2}}};
constexpr Layout kMatAcubic{sizeof(FtkMatAcubicData), 3,
                            {{Fk::U8, 0, 2}, {Fk::U16, OFF(FtkMatAcubicData, flags)}, {Fk::U32, OFF(FtkMatAcubicData, mapSize), 2}}};
constexpr Layout kKfHdr{sizeof(FtkKfHdrData), 3,
                        {{Fk::U16, 0}, {Fk::Text, OFF(FtkKfHdrData, fileName), 1, 512}, {Fk::U32, OFF(FtkKfHdrData, animLength)}}};
constexpr Layout kKfSeg{sizeof(FtkKfSegData), 1, {{Fk::U32, 0, 2}}};
constexpr Layout kNodeHdr{sizeof(FtkNodeHdrData), 2, {{Fk::Text, 0, 1, 10}, {Fk::U16, OFF(FtkNodeHdrData, flags1), 3}}};
constexpr Layout kBoundBox{sizeof(FtkBoundBoxData), 1, {{Fk::F32, 0, 6}}};
constexpr Layout kTrack3{sizeof(FtkTrackData), 1, {{Fk::Track, 0, 12}}};
constexpr Layout kTrack4{sizeof(FtkTrackData), 1, {{Fk::Track, 0, 16}}};
constexpr Layout kTrack1{sizeof(FtkTrackData), 1, {{Fk::Track, 0, 4}}};
constexpr Layout kTrackMorph{sizeof(FtkTrackData), 1, {{Fk::Track, 0, sizeof(FtkMorphName)}}};
constexpr Layout kTrackHide{sizeof(FtkTrackData), 1, {{Fk::Track, 0, 0}}};

#undef OFF

static_assert(offsetof(FtkMeshTextureInfoData, cylIconHeight) == offsetof(FtkMeshTextureInfoData, tileX) + 20 * 4);
static_assert(offsetof(FtkViewportData, vertAngle) == offsetof(FtkViewportData, zoom) + 5 * 4);
static_assert(offsetof(FtkDlSpotlightData, falloff) == 4 * 4);
static_assert(offsetof(FtkNCameraData, focal) == 7 * 4);
static_assert(offsetof(FtkNodeHdrData, parentIndex) == offsetof(FtkNodeHdrData, flags1) + 4);
static_assert(offsetof(FtkMatAcubicData, frameInterval) == offsetof(FtkMatAcubicData, mapSize) + 4);

enum class Kind { Container, Layout, Raw, MemoryText };

struct TagKind {
    Kind kind;
    const Layout* layout;
};

TagKind KindOf(uint32_t tag)
{
    switch (tag) {
    case M3D_VERSION: case MESH_VERSION: case SHADOW_RANGE: case KFCURTIME:
        return {Kind::Layout, &kLong};
    case INT_PERCENTAGE: case SHADOW_MAP_SIZE: case SHADOW_SAMPLES: case MAT_SHADING: case MAT_BUMP_PERCENT:
    case MAT_MAP_TILING: case NODE_ID:
        return {Kind::Layout, &kShort};
    case FLOAT_PERCENTAGE: case MASTER_SCALE: case V_GRADIENT: case LO_SHADOW_BIAS: case HI_SHADOW_BIAS:
    case SHADOW_FILTER: case RAY_BIAS: case DL_SPOT_ROLL: case DL_SPOT_ASPECT: case DL_RAY_BIAS:
    case DL_INNER_RANGE: case DL_OUTER_RANGE: case DL_MULTIPLIER: case MAT_WIRESIZE: case MAT_MAP_TEXBLUR:
    case MAT_MAP_USCALE: case MAT_MAP_VSCALE: case MAT_MAP_UOFFSET: case MAT_MAP_VOFFSET: case MAT_MAP_ANG:
    case MORPH_SMOOTH:
        return {Kind::Layout, &kFloat};
    case COLOR_F: case LIN_COLOR_F:
        return {Kind::Layout, &kColorF};
    case COLOR_24: case LIN_COLOR_24: case MAT_MAP_COL1: case MAT_MAP_COL2: case MAT_MAP_RCOL: case MAT_MAP_GCOL:
    case MAT_MAP_BCOL:
        return {Kind::Layout, &kColor24};
    case O_CONSTS: case N_DIRECT_LIGHT: case PIVOT:
        return {Kind::Layout, &kVector};
    case NAMED_OBJECT: case VIEW_CAMERA: case DL_EXCLUDE: case INSTANCE_NAME:
        return {Kind::Layout, &kName10};
    case BIT_MAP: case PROC_NAME: case DL_SPOT_PROJECTOR:
        return {Kind::Layout, &kName12};
    case MAT_NAME: case MAT_MAPNAME:
        return {Kind::Layout, &kName16};
    case XDATA_APPNAME: case XDATA_STRING:
        return {Kind::Layout, &kWholeText};
    case PARENT_NAME:
        return {Kind::MemoryText, nullptr};
    case FOG: case DISTANCE_CUE:
        return {Kind::Layout, &kFog};
    case LAYER_FOG:
        return {Kind::Layout, &kLayerFog};
    case VIEW_TOP: case VIEW_BOTTOM: case VIEW_LEFT: case VIEW_RIGHT: case VIEW_FRONT: case VIEW_BACK:
        return {Kind::Layout, &kView};
    case VIEW_USER:
        return {Kind::Layout, &kViewUser};
    case VIEWPORT_LAYOUT:
        return {Kind::Layout, &kViewportLayout};
    case VIEWPORT_DATA: case VIEWPORT_DATA_3:
        return {Kind::Layout, &kViewportData};
    case VIEWPORT_SIZE:
        return {Kind::Layout, &kViewportSize};
    case POINT_ARRAY:
        return {Kind::Layout, &kPointArray};
    case POINT_FLAG_ARRAY:
        return {Kind::Layout, &kPointFlagArray};
    case FACE_ARRAY:
        return {Kind::Layout, &kFaceArray};
    case MSH_MAT_GROUP:
        return {Kind::Layout, &kMshMatGroup};
    case TEX_VERTS:
        return {Kind::Layout, &kTexVerts};
    case SMOOTH_GROUP:
        return {Kind::Layout, &kSmoothGroup};
    case MESH_MATRIX:
        return {Kind::Layout, &kMeshMatrix};
    case MESH_COLOR:
        return {Kind::Layout, &kByte};
    case MESH_TEXTURE_INFO:
        return {Kind::Layout, &kMeshTextureInfo};
    case PROC_DATA: case XDATA_ENTRY:
    case MAT_SXP_TEXT_DATA: case MAT_SXP_TEXT2_DATA: case MAT_SXP_OPAC_DATA: case MAT_SXP_BUMP_DATA:
    case MAT_SXP_SPEC_DATA: case MAT_SXP_SHIN_DATA: case MAT_SXP_SELFI_DATA: case MAT_SXP_TEXT_MASKDATA:
    case MAT_SXP_TEXT2_MASKDATA: case MAT_SXP_OPAC_MASKDATA: case MAT_SXP_BUMP_MASKDATA: case MAT_SXP_SPEC_MASKDATA:
    case MAT_SXP_SHIN_MASKDATA: case MAT_SXP_SELFI_MASKDATA: case MAT_SXP_REFL_MASKDATA:
        return {Kind::Layout, &kBlock};
    case MSH_BOXMAP:
        return {Kind::Layout, &kBoxmap};
    case DL_SPOTLIGHT:
        return {Kind::Layout, &kDlSpotlight};
    case DL_LOCAL_SHADOW2:
        return {Kind::Layout, &kDlLocalShadow2};
    case N_CAMERA:
        return {Kind::Layout, &kNCamera};
    case CAM_RANGES:
        return {Kind::Layout, &kCamRanges};
    case MAT_ACUBIC:
        return {Kind::Layout, &kMatAcubic};
    case KFHDR:
        return {Kind::Layout, &kKfHdr};
    case KFSEG:
        return {Kind::Layout, &kKfSeg};
    case NODE_HDR:
        return {Kind::Layout, &kNodeHdr};
    case BOUNDBOX:
        return {Kind::Layout, &kBoundBox};
    case POS_TRACK_TAG: case SCL_TRACK_TAG: case COL_TRACK_TAG:
        return {Kind::Layout, &kTrack3};
    case ROT_TRACK_TAG:
        return {Kind::Layout, &kTrack4};
    case FOV_TRACK_TAG: case ROLL_TRACK_TAG: case HOT_TRACK_TAG: case FALL_TRACK_TAG:
        return {Kind::Layout, &kTrack1};
    case MORPH_TRACK_TAG:
        return {Kind::Layout, &kTrackMorph};
    case HIDE_TRACK_TAG:
        return {Kind::Layout, &kTrackHide};
    case M3DMAGIC: case MDATA: case MLIBMAGIC: case CMAGIC: case N_TRI_OBJECT: case SOLID_BGND: case AMBIENT_LIGHT:
    case DEFAULT_VIEW: case MAT_ENTRY: case KFDATA: case AMBIENT_NODE_TAG: case OBJECT_NODE_TAG: case CAMERA_NODE_TAG:
    case TARGET_NODE_TAG: case LIGHT_NODE_TAG: case L_TARGET_NODE_TAG: case SPOTLIGHT_NODE_TAG: case XDATA_SECTION:
    case XDATA_GROUP: case SMAGIC: case LMAGIC: case MATMAGIC:
    case MAT_AMBIENT: case MAT_DIFFUSE: case MAT_SPECULAR: case MAT_SHININESS: case MAT_SHIN2PCT: case MAT_SHIN3PCT:
    case MAT_TRANSPARENCY: case MAT_XPFALL: case MAT_REFBLUR: case MAT_SELF_ILPCT:
    case MAT_TEXMAP: case MAT_SPECMAP: case MAT_OPACMAP: case MAT_REFLMAP: case MAT_BUMPMAP: case MAT_TEX2MAP:
    case MAT_SHINMAP: case MAT_SELFIMAP: case MAT_TEXMASK: case MAT_TEX2MASK: case MAT_OPACMASK: case MAT_BUMPMASK:
    case MAT_SHINMASK: case MAT_SPECMASK: case MAT_SELFIMASK: case MAT_REFLMASK:
        return {Kind::Container, nullptr};
    default:
        return {Kind::Raw, nullptr};
    }
}

size_t ScalarSize(Fk kind)
{
    switch (kind) {
    case Fk::U8: return 1;
    case Fk::U16: return 2;
    default: return 4;
    }
}

template <typename T>
T& At(void* record, size_t offset)
{
    return *reinterpret_cast<T*>(static_cast<unsigned char*>(record) + offset);
}

void* Calloc(size_t count, size_t size)
{
    if (count == 0 || size == 0)
        return nullptr;
    void* p = FtkMemCalloc(__FILE__, __LINE__, count, size);
    if (!p)
        FtkPushError(ERR_NO_MEM);
    return p;
}

// Bytes left in the chunk: every read is checked against them, so a count or
// text that runs past the chunk's end is refused before anything is read.
struct Cursor {
    uint64_t left;
    bool Need(uint64_t n)
    {
        if (n > left) {
            FtkPushError(ERR_INVALID_CHUNK);
            return false;
        }
        left -= n;
        return true;
    }
};

void ReadScalars(Cursor& in, Fk kind, void* at, size_t n)
{
    if (!in.Need(ScalarSize(kind) * n))
        return;
    auto* p = static_cast<unsigned char*>(at);
    for (size_t i = 0; i < n && !FtkErrorPending(); ++i) {
        switch (kind) {
        case Fk::U8: p[i] = FtkReadByte(); break;
        case Fk::U16: reinterpret_cast<uint16_t*>(p)[i] = FtkReadShort(); break;
        case Fk::U32: reinterpret_cast<uint32_t*>(p)[i] = FtkReadLong(); break;
        default: reinterpret_cast<float*>(p)[i] = FtkReadFloat(); break;
        }
    }
}

void WriteScalars(Fk kind, const void* at, size_t n)
{
    const auto* p = static_cast<const unsigned char*>(at);
    for (size_t i = 0; i < n && !FtkErrorPending(); ++i) {
        switch (kind) {
        case Fk::U8: FtkWriteByte(p[i]); break;
        case Fk::U16: FtkWriteShort(reinterpret_cast<const uint16_t*>(p)[i]); break;
        case Fk::U32: FtkWriteLong(reinterpret_cast<const uint32_t*>(p)[i]); break;
        default: FtkWriteFloat(reinterpret_cast<const float*>(p)[i]); break;
        }
    }
}

// A NUL-terminated text of at most max characters that must end inside the chunk.
void ReadText(Cursor& in, size_t max, char** out)
{
    const size_t limit = size_t(std::min<uint64_t>(max + 1, in.left));
    if (limit == 0) {
        FtkPushError(ERR_INVALID_CHUNK);
        return;
    }
    char* scratch = static_cast<char*>(Calloc(max + 1, 1));
    if (!scratch)
        return;
    FtkReadStringInto(scratch, limit);
    if (FtkErrorPending()) {
        if (limit < max + 1)
            FtkPushError(ERR_INVALID_CHUNK);
    } else {
        in.left -= std::strlen(scratch) + 1;
        *out = FtkStrDup(scratch);
        if (!*out)
            FtkPushError(ERR_NO_MEM);
    }
    FtkMemFree(scratch);
}

void WriteText(const char* text, size_t max)
{
    if (!text)
        text = "";
    // A text the loader would refuse is not written.
    if (max > 0 && std::strlen(text) > max) {
        FtkPushError(ERR_STRING_TOO_LONG);
        return;
    }
    FtkWriteString(text);
}

void ReadKey(Cursor& in, FtkKeyHeader* key)
{
    *key = {};
    if (!in.Need(6))
        return;
    key->time = FtkReadLong();
    if (!FtkErrorPending())
        key->rflags = FtkReadShort();
    float* floats[] = {&key->tension, &key->continuity, &key->bias, &key->easeTo, &key->easeFrom};
    for (int bit = 0; bit < 5 && !FtkErrorPending(); ++bit) {
        if ((key->rflags & (1u << bit)) && in.Need(4))
            *floats[bit] = FtkReadFloat();
    }
}

void ReadTrack(Cursor& in, FtkTrackData* track, size_t valueSize)
{
    if (!in.Need(14))
        return;
    FtkReadTrackHeader(&track->header);
    if (FtkErrorPending())
        return;
    const uint64_t count = track->header.keyCount;
    // A key takes at least its 6-byte header and the smallest value on file.
    const uint64_t minValue = valueSize == sizeof(FtkMorphName) ? 1 : valueSize;
    if (count > in.left / (6 + minValue)) {
        track->header.keyCount = 0;
        FtkPushError(ERR_INVALID_CHUNK);
        return;
    }
    if (count == 0)
        return;
    track->keys = static_cast<FtkKeyHeader*>(Calloc(count, sizeof(FtkKeyHeader)));
    if (!track->keys)
        return;
    if (valueSize > 0) {
        track->values = Calloc(count, valueSize);
        if (!track->values)
            return;
    }
    for (uint64_t k = 0; k < count && !FtkErrorPending(); ++k) {
        ReadKey(in, &track->keys[k]);
        if (FtkErrorPending() || valueSize == 0)
            continue;
        unsigned char* value = static_cast<unsigned char*>(track->values) + k * valueSize;
        if (valueSize == sizeof(FtkMorphName)) {
            const size_t limit = size_t(std::min<uint64_t>(10, in.left));
            char* name = reinterpret_cast<char*>(value);
            FtkReadStringInto(name, limit);
            if (FtkErrorPending()) {
                if (limit < 10)
                    FtkPushError(ERR_INVALID_CHUNK);
                name[0] = 0;
            } else {
                in.left -= std::strlen(name) + 1;
            }
        } else {
            ReadScalars(in, Fk::F32, value, valueSize / 4);
        }
    }
}

void WriteTrack(const FtkTrackData* track, size_t valueSize)
{
    FtkTrackHeader header = track->header;
    if (!track->keys)
        header.keyCount = 0;
    FtkWriteTrackHeader(header);
    for (uint32_t k = 0; k < header.keyCount && !FtkErrorPending(); ++k) {
        FtkWriteKeyHeader(track->keys[k]);
        if (FtkErrorPending() || valueSize == 0 || !track->values)
            continue;
        const unsigned char* value = static_cast<const unsigned char*>(track->values) + size_t(k) * valueSize;
        if (valueSize == sizeof(FtkMorphName)) {
            char name[sizeof(FtkMorphName)] = {};
            std::memcpy(name, value, sizeof name - 1);
            WriteText(name, 9);
        } else {
            WriteScalars(Fk::F32, value, valueSize / 4);
        }
    }
}

void ReadField(Cursor& in, const Field& f, void* record, uint32_t length)
{
    switch (f.kind) {
    case Fk::U8: case Fk::U16: case Fk::U32: case Fk::F32:
        ReadScalars(in, f.kind, static_cast<unsigned char*>(record) + f.offset, f.n);
        return;
    case Fk::Text:
        for (size_t i = 0; i < f.n && !FtkErrorPending(); ++i)
            ReadText(in, f.limit, &At<char*>(record, f.offset + i * sizeof(char*)));
        return;
    case Fk::FixedText: {
        if (!in.Need(f.limit))
            return;
        FtkReadFixedStringCopy(&At<char*>(record, f.offset), f.limit - 1u);
        return;
    }
    case Fk::WholeText:
        ReadText(in, length > 6 ? length - 6 : 0, &At<char*>(record, f.offset));
        return;
    case Fk::Array: case Fk::Smooth: {
        const size_t element = ScalarSize(f.elem) * f.n;
        uint64_t count = 0;
        if (f.kind == Fk::Array) {
            if (!in.Need(2))
                return;
            count = FtkReadShort();
        } else {
            count = in.left / element;
            if (count > 0xFFFF) {
                FtkPushError(ERR_INVALID_CHUNK);
                return;
            }
        }
        if (FtkErrorPending())
            return;
        if (count > in.left / element) {
            FtkPushError(ERR_INVALID_CHUNK);
            return;
        }
        void* items = Calloc(count, element);
        if (count > 0 && !items)
            return;
        At<uint16_t>(record, f.offset) = uint16_t(count);
        At<void*>(record, f.aux) = items;
        ReadScalars(in, f.elem, items, count * f.n);
        return;
    }
    case Fk::Block: {
        auto& block = At<FtkRawData>(record, f.offset);
        const uint64_t size = in.left;
        block.bytes = static_cast<unsigned char*>(Calloc(size, 1));
        if (size > 0 && !block.bytes)
            return;
        block.size = uint32_t(size);
        in.left = 0;
        FtkReadBytes(size, block.bytes);
        return;
    }
    case Fk::Track:
        ReadTrack(in, &At<FtkTrackData>(record, f.offset), f.n);
        return;
    }
}

void WriteField(const Field& f, void* record)
{
    switch (f.kind) {
    case Fk::U8: case Fk::U16: case Fk::U32: case Fk::F32:
        WriteScalars(f.kind, static_cast<unsigned char*>(record) + f.offset, f.n);
        return;
    case Fk::Text:
        for (size_t i = 0; i < f.n && !FtkErrorPending(); ++i)
            WriteText(At<char*>(record, f.offset + i * sizeof(char*)), f.limit);
        return;
    case Fk::FixedText:
        FtkWriteStringPadded(At<char*>(record, f.offset), f.limit);
        return;
    case Fk::WholeText:
        WriteText(At<char*>(record, f.offset), 0);
        return;
    case Fk::Array: case Fk::Smooth: {
        uint16_t count = At<uint16_t>(record, f.offset);
        const void* items = At<void*>(record, f.aux);
        if (!items)
            count = 0;
        if (f.kind == Fk::Array)
            FtkWriteShort(count);
        WriteScalars(f.elem, items, size_t(count) * f.n);
        return;
    }
    case Fk::Block: {
        const auto& block = At<FtkRawData>(record, f.offset);
        if (block.bytes && block.size > 0)
            FtkWriteBytes(block.size, block.bytes);
        return;
    }
    case Fk::Track:
        WriteTrack(&At<FtkTrackData>(record, f.offset), f.n);
        return;
    }
}

void* Dup(const void* source, size_t bytes)
{
    if (!source || bytes == 0)
        return nullptr;
    void* copy = Calloc(bytes, 1);
    if (copy)
        std::memcpy(copy, source, bytes);
    return copy;
}

char* DupText(const char* text)
{
    if (!text)
        return nullptr;
    char* copy = FtkStrDup(text);
    if (!copy)
        FtkPushError(ERR_NO_MEM);
    return copy;
}

// The record was copied byte for byte; give it its own texts and arrays.
void CopyField(const Field& f, void* record)
{
    switch (f.kind) {
    case Fk::U8: case Fk::U16: case Fk::U32: case Fk::F32:
        return;
    case Fk::Text:
        for (size_t i = 0; i < f.n; ++i) {
            char*& text = At<char*>(record, f.offset + i * sizeof(char*));
            text = FtkErrorPending() ? nullptr : DupText(text);
        }
        return;
    case Fk::FixedText: case Fk::WholeText: {
        char*& text = At<char*>(record, f.offset);
        text = FtkErrorPending() ? nullptr : DupText(text);
        return;
    }
    case Fk::Array: case Fk::Smooth: {
        void*& items = At<void*>(record, f.aux);
        const size_t bytes = size_t(At<uint16_t>(record, f.offset)) * ScalarSize(f.elem) * f.n;
        items = FtkErrorPending() ? nullptr : Dup(items, bytes);
        if (!items)
            At<uint16_t>(record, f.offset) = 0;
        return;
    }
    case Fk::Block: {
        auto& block = At<FtkRawData>(record, f.offset);
        block.bytes = FtkErrorPending() ? nullptr : static_cast<unsigned char*>(Dup(block.bytes, block.size));
        if (!block.bytes)
            block.size = 0;
        return;
    }
    case Fk::Track: {
        auto& track = At<FtkTrackData>(record, f.offset);
        const size_t count = track.header.keyCount;
        track.keys = FtkErrorPending() ? nullptr : static_cast<FtkKeyHeader*>(Dup(track.keys, count * sizeof(FtkKeyHeader)));
        track.values = FtkErrorPending() ? nullptr : Dup(track.values, count * f.n);
        if (!track.keys)
            track.header.keyCount = 0;
        return;
    }
    }
}

void ReleaseField(const Field& f, void* record)
{
    switch (f.kind) {
    case Fk::U8: case Fk::U16: case Fk::U32: case Fk::F32:
        return;
    case Fk::Text:
        for (size_t i = 0; i < f.n; ++i)
            FtkMemFree(At<char*>(record, f.offset + i * sizeof(char*)));
        return;
    case Fk::FixedText: case Fk::WholeText:
        FtkMemFree(At<char*>(record, f.offset));
        return;
    case Fk::Array: case Fk::Smooth:
        FtkMemFree(At<void*>(record, f.aux));
        return;
    case Fk::Block:
        FtkMemFree(At<FtkRawData>(record, f.offset).bytes);
        return;
    case Fk::Track:
        FtkMemFree(At<FtkTrackData>(record, f.offset).keys);
        FtkMemFree(At<FtkTrackData>(record, f.offset).values);
        return;
    }
}

void ReleaseRecord(const Layout* layout, void* record)
{
    if (!record)
        return;
    if (layout)
        for (int i = 0; i < layout->count; ++i)
            ReleaseField(layout->fields[i], record);
    FtkMemFree(record);
}

// Raw data read from a file is the chunk's own bytes, those before its first
// sub-chunk; it is released and copied as a raw block.
const Layout* LayoutForData(uint32_t tag)
{
    const TagKind kind = KindOf(tag);
    if (kind.kind == Kind::Layout)
        return kind.layout;
    if (kind.kind == Kind::MemoryText)
        return &kName10;
    if (kind.kind == Kind::Raw)
        return &kBlock;
    return nullptr;
}

} // namespace

size_t FtkTrackValueSize(uint32_t tag)
{
    const TagKind kind = KindOf(tag);
    if (kind.kind != Kind::Layout || kind.layout->fields[0].kind != Fk::Track)
        return 0;
    return kind.layout->fields[0].n;
}

bool FtkIsTrackTag(uint32_t tag)
{
    const TagKind kind = KindOf(tag);
    return kind.kind == Kind::Layout && kind.layout->fields[0].kind == Fk::Track;
}

size_t FtkTextLimit(uint32_t tag)
{
    // MAT_MAPNAME and PROC_NAME are held to what the tree load accepts (12).
    if (tag == MAT_MAPNAME)
        return 12;
    const TagKind kind = KindOf(tag);
    if (kind.kind != Kind::Layout || kind.layout->fields[0].kind != Fk::Text)
        return 0;
    return kind.layout->fields[0].limit;
}

FtkRawData* FtkChunkRawAlloc(FtkChunk* chunk, uint32_t size)
{
    if (!chunk) {
        FtkPushError(ERR_INVALID_ARG);
        return nullptr;
    }
    FtkChunkDataRelease(chunk);
    auto* raw = static_cast<FtkRawData*>(Calloc(1, sizeof(FtkRawData)));
    if (!raw)
        return nullptr;
    if (size > 0) {
        raw->bytes = static_cast<unsigned char*>(Calloc(size, 1));
        if (!raw->bytes) {
            FtkMemFree(raw);
            return nullptr;
        }
    }
    raw->size = size;
    chunk->data = raw;
    return raw;
}

void* FtkChunkDataAlloc(FtkChunk* chunk)
{
    if (!chunk) {
        FtkPushError(ERR_INVALID_ARG);
        return nullptr;
    }
    FtkChunkDataRelease(chunk);
    const TagKind kind = KindOf(chunk->tag);
    switch (kind.kind) {
    case Kind::Container:
        return nullptr;
    case Kind::Raw:
        if (chunk->length <= 6)
            return nullptr;
        return FtkChunkRawAlloc(chunk, chunk->length - 6);
    case Kind::MemoryText:
        chunk->data = Calloc(1, sizeof(FtkNameData));
        return chunk->data;
    case Kind::Layout:
        // Zeroed, so a caller that leaves a pointer unfilled releases nothing.
        chunk->data = Calloc(1, kind.layout->size);
        return chunk->data;
    }
    return nullptr;
}

void* FtkChunkDataRead(FtkChunk* chunk)
{
    if (!chunk) {
        FtkPushError(ERR_INVALID_ARG);
        return nullptr;
    }
    if (chunk->data || chunk->readSlot == kFtkNoSlot)
        return chunk->data;
    const TagKind kind = KindOf(chunk->tag);
    if (kind.kind == Kind::Container || kind.kind == Kind::MemoryText)
        return nullptr;
    if (!FtkChunkCanReload(chunk)) {
        // The source file was closed or its slot now holds another file.
        FtkPushError(ERR_READING_FILE);
        return nullptr;
    }
    FtkSetCurrentFileByIndex(chunk->readSlot);
    const long start = long(chunk->position) + 6;
    if (chunk->length < 6 || FtkFileSeek(start) != 0) {
        FtkPushError(ERR_READING_FILE);
        return nullptr;
    }
    if (kind.kind == Kind::Raw) {
        FtkChunkSkipData(chunk);
        if (FtkErrorPending())
            return nullptr;
        const long end = FtkFileTell();
        if (end < start || FtkFileSeek(start) != 0) {
            FtkPushError(ERR_READING_FILE);
            return nullptr;
        }
        if (end == start)
            return nullptr;
        FtkRawData* raw = FtkChunkRawAlloc(chunk, uint32_t(end - start));
        if (raw)
            FtkReadBytes(raw->size, raw->bytes);
        return chunk->data;
    }
    const Layout* layout = kind.layout;
    void* record = Calloc(1, layout->size);
    if (!record)
        return nullptr;
    // The record is stored even when the read stops half-way: it keeps what was read.
    chunk->data = record;
    Cursor in{chunk->length - 6u};
    for (int i = 0; i < layout->count && !FtkErrorPending(); ++i)
        ReadField(in, layout->fields[i], record, chunk->length);
    return record;
}

void FtkChunkDataWrite(FtkChunk* chunk)
{
    if (!chunk) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    if (!chunk->data || chunk->tag == 0 || chunk->tag == PARENT_NAME)
        return;
    if (chunk->writeSlot != kFtkNoSlot)
        FtkSetCurrentFileByIndex(chunk->writeSlot);
    const TagKind kind = KindOf(chunk->tag);
    if (kind.kind == Kind::Container)
        return;
    const Layout* layout = LayoutForData(chunk->tag);
    if (chunk->tag == MAT_MAPNAME) {
        // The tree load skips at most 13 bytes for a map name.
        const char* name = static_cast<FtkNameData*>(chunk->data)->name;
        if (name && std::strlen(name) > FtkTextLimit(MAT_MAPNAME)) {
            FtkPushError(ERR_STRING_TOO_LONG);
            return;
        }
    }
    for (int i = 0; i < layout->count && !FtkErrorPending(); ++i)
        WriteField(layout->fields[i], chunk->data);
}

void FtkChunkDataCopy(const FtkChunk* source, FtkChunk* target)
{
    if (!source || !target) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    if (!source->data || target->data)
        return;
    const Layout* layout = LayoutForData(source->tag);
    if (!layout)
        return;
    void* copy = Dup(source->data, layout->size);
    if (!copy)
        return;
    for (int i = 0; i < layout->count; ++i)
        CopyField(layout->fields[i], copy);
    if (FtkErrorPending()) {
        ReleaseRecord(layout, copy);
        return;
    }
    target->data = copy;
}

void FtkChunkDataRelease(FtkChunk* chunk)
{
    if (!chunk || !chunk->data)
        return;
    ReleaseRecord(LayoutForData(chunk->tag), chunk->data);
    chunk->data = nullptr;
}

} // namespace duzsdk
