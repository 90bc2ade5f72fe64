#include "sdk/formats/3dsftk/FtkBackground.h"

#include "sdk/formats/3dsftk/FtkChunk.h"
#include "sdk/formats/3dsftk/FtkDatabase.h"
#include "sdk/formats/3dsftk/FtkError.h"
#include "sdk/formats/3dsftk/FtkKfHierarchy.h"
#include "sdk/formats/3dsftk/FtkRecordSupport.h"

#include <cstring>
#include <initializer_list>

namespace duzsdk {

namespace {

bool ReadColor(FtkChunk* c, FtkColorF* out)
{
    auto* v = static_cast<FtkColorF*>(FtkChunkDataRead(c));
    if (v)
        *out = *v;
    FtkChunkDataDropIfReloadable(c);
    return v != nullptr;
}

// The first chunk of the tag below the parent, then the next ones of the tag
// among its following siblings.
void ReadColors(FtkChunk* parent, uint16_t tag, FtkColorF* const* out, int count)
{
    FtkChunk* c = nullptr;
    FtkChunkFindDescendant(parent, tag, &c);
    for (int i = 0; i < count && c && !FtkErrorPending(); ++i) {
        ReadColor(c, out[i]);
        FtkChunkFindSibling(c->next, tag, &c);
    }
}

void AppendColor(FtkChunk* parent, uint16_t tag, const FtkColorF& color)
{
    if (FtkErrorPending())
        return;
    FtkChunk* c = nullptr;
    auto* data = static_cast<FtkColorF*>(FtkChunkCreateChildWithData(&c, tag));
    if (!c)
        return;
    FtkChunkAppendChild(parent, c);
    if (data)
        *data = color;
}

bool IsUseTag(uint32_t tag)
{
    return tag == USE_BIT_MAP || tag == USE_SOLID_BGND || tag == USE_V_GRADIENT;
}

} // namespace

void FtkBackgroundInit(FtkBackground** background)
{
    if (!background) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    if (!*background) {
        *background = static_cast<FtkBackground*>(FtkMemCalloc(__FILE__, __LINE__, 1, sizeof(FtkBackground)));
        if (!*background) {
            FtkPushError(ERR_NO_MEM);
            return;
        }
    }
    // A name left from an earlier get would leak.
    FtkMemFree((*background)->bitmapName);
    **background = FtkBackground{};
}

void FtkBackgroundRelease(FtkBackground** background)
{
    if (!background || !*background)
        return;
    FtkMemFree((*background)->bitmapName);
    FtkMemFree(*background);
    *background = nullptr;
}

void FtkBackgroundGet(FtkDatabase* db, FtkBackground** background)
{
    if (!db || !background) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    FtkChunk* mdata = nullptr;
    FtkChunkFindDescendant(db->root, MDATA, &mdata);
    if (!mdata)
        return;
    FtkBackgroundInit(background);
    if (FtkErrorPending())
        return;
    FtkBackground* b = *background;
    FtkChunk* c = nullptr;
    FtkChunkFindDescendant(mdata, BIT_MAP, &c);
    if (c) {
        auto* name = static_cast<FtkNameData*>(FtkChunkDataRead(c));
        if (FtkErrorPending())
            return;
        b->bitmapName = FtkStrDup(name && name->name ? name->name : "");
        FtkChunkDataDropIfReloadable(c);
        if (!b->bitmapName) {
            FtkPushError(ERR_NO_MEM);
            return;
        }
    }
    FtkChunkFindDescendant(mdata, SOLID_BGND, &c);
    if (c) {
        FtkColorF* solid[] = {&b->solid};
        ReadColors(c, COLOR_F, solid, 1);
        ReadColors(c, LIN_COLOR_F, solid, 1);
    }
    FtkChunkFindDescendant(mdata, V_GRADIENT, &c);
    if (c && !FtkErrorPending()) {
        auto* midpoint = static_cast<float*>(FtkChunkDataRead(c));
        if (midpoint)
            b->gradientMidpoint = *midpoint;
        FtkChunkDataDropIfReloadable(c);
        FtkColorF* colors[] = {&b->gradientTop, &b->gradientMiddle, &b->gradientBottom};
        ReadColors(c, COLOR_F, colors, 3);
        ReadColors(c, LIN_COLOR_F, colors, 3);
    }
    FtkChunk* use = nullptr;
    static constexpr struct {
        uint16_t tag;
        int32_t inUse;
    } kUse[] = {{USE_BIT_MAP, kFtkBackgroundBitmap}, {USE_SOLID_BGND, kFtkBackgroundSolid}, {USE_V_GRADIENT, kFtkBackgroundGradient}};
    for (const auto& u : kUse) {
        FtkChunkFindDescendant(mdata, u.tag, &use);
        if (use) {
            b->inUse = u.inUse;
            break;
        }
    }
}

void FtkBackgroundPut(FtkDatabase* db, const FtkBackground* background)
{
    if (!db || !background) {
        FtkPushError(ERR_INVALID_ARG);
        return;
    }
    if (!FtkCheckDatabase(db, false))
        return;
    FtkChunk* mdata = FtkMdataGetOrCreate(db);
    if (!mdata)
        return;
    const char* name = background->bitmapName ? background->bitmapName : "";
    if (std::strlen(name) > FtkTextLimit(BIT_MAP)) {
        FtkPushError(ERR_STRING_TOO_LONG);
        return;
    }
    FtkChunk* c = nullptr;
    FtkChunkReuseChild(mdata, BIT_MAP, &c);
    auto* text = c ? static_cast<FtkNameData*>(FtkChunkDataAlloc(c)) : nullptr;
    if (!text)
        return;
    text->name = FtkStrDup(name);
    if (!text->name) {
        FtkPushError(ERR_NO_MEM);
        return;
    }
    FtkChunkReuseChild(mdata, SOLID_BGND, &c);
    if (c) {
        AppendColor(c, COLOR_F, background->solid);
        AppendColor(c, LIN_COLOR_F, background->solid);
    }
    if (FtkErrorPending())
        return;
    FtkChunkReuseChild(mdata, V_GRADIENT, &c);
    auto* midpoint = c ? static_cast<float*>(FtkChunkDataAlloc(c)) : nullptr;
    if (!midpoint)
        return;
    *midpoint = background->gradientMidpoint;
    for (const FtkColorF* color : {&background->gradientTop, &background->gradientMiddle, &background->gradientBottom}) {
        AppendColor(c, COLOR_F, *color);
        AppendColor(c, LIN_COLOR_F, *color);
    }
    if (FtkErrorPending())
        return;
    // Every USE_ chunk is cleared, not only the first: a file holding two
    // would otherwise keep a stale one. The first found keeps its place.
    FtkChunk* first = nullptr;
    for (uint16_t tag : {USE_BIT_MAP, USE_SOLID_BGND, USE_V_GRADIENT}) {
        if (!first)
            FtkChunkFindDescendant(mdata, tag, &first);
    }
    for (FtkChunk* u = mdata->children; u; u = u->next)
        if (IsUseTag(u->tag))
            FtkChunkClear(u);
    if (first)
        FtkChunkClear(first);
    if (background->inUse == kFtkBackgroundNone)
        return;
    const uint16_t tag = background->inUse == kFtkBackgroundSolid      ? USE_SOLID_BGND
                         : background->inUse == kFtkBackgroundGradient ? USE_V_GRADIENT
                                                                       : USE_BIT_MAP;
    if (first) {
        first->tag = tag;
        return;
    }
    FtkChunk* use = nullptr;
    FtkChunkCreateTagged(&use, tag);
    if (use)
        FtkChunkInsertChild(mdata, use);
}

} // namespace duzsdk
