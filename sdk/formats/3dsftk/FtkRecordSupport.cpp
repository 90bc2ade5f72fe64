#include "sdk/formats/3dsftk/FtkRecordSupport.h"

#include "sdk/formats/3dsftk/FtkChunk.h"
#include "sdk/formats/3dsftk/FtkChunkData.h"
#include "sdk/formats/3dsftk/FtkDatabase.h"
#include "sdk/formats/3dsftk/FtkError.h"
#include "sdk/formats/3dsftk/FtkKfHierarchy.h"
#include "sdk/formats/3dsftk/FtkPrim.h"

#include <cstring>

namespace duzsdk {

bool FtkCheckDatabase(FtkDatabase* db, bool meshOnly)
{
    if (!db) {
        FtkPushError(ERR_INVALID_ARG);
        return false;
    }
    if (!db->root) {
        FtkPushError(ERR_INVALID_DATABASE);
        return false;
    }
    if (db->root->tag != M3DMAGIC && (meshOnly || db->root->tag != CMAGIC)) {
        FtkPushError(ERR_WRONG_DATABASE);
        return false;
    }
    return true;
}

FtkChunk* FtkMdataGetOrCreate(FtkDatabase* db)
{
    FtkChunk* mdata = nullptr;
    FtkChunkFindDescendant(db->root, MDATA, &mdata);
    return mdata ? mdata : FtkChunkAddChild(MDATA, db->root);
}

FtkChunk* FtkNamedObjectForPut(FtkDatabase* db, const char* name, size_t size, bool keepPlace, FtkChunk** kept)
{
    *kept = nullptr;
    FtkChunk* mdata = FtkMdataGetOrCreate(db);
    if (!mdata)
        return nullptr;
    char* text = FtkRecordText(name, size);
    if (!text)
        return nullptr;
    if (std::strlen(text) > FtkTextLimit(NAMED_OBJECT)) {
        FtkMemFree(text);
        FtkPushError(ERR_STRING_TOO_LONG);
        return nullptr;
    }
    FtkChunk* object = nullptr;
    FtkNamedObjectFind(db, text, &object);
    FtkDatabaseChanged(db);
    const bool reused = object && keepPlace;
    if (object) {
        FtkChunk* xdata = nullptr;
        FtkChunkFindDescendant(object, XDATA_SECTION, &xdata);
        if (xdata)
            FtkChunkCopyTree(xdata, kept);
        FtkChunkClear(object);
        if (keepPlace)
            object->tag = NAMED_OBJECT;
        else
            object = nullptr;
    }
    if (!object && !FtkErrorPending())
        object = FtkChunkAddChild(NAMED_OBJECT, mdata);
    auto* data = object && !FtkErrorPending() ? static_cast<FtkNameData*>(FtkChunkDataAlloc(object)) : nullptr;
    if (!data) {
        FtkMemFree(text);
        FtkChunkFree(kept);
        return nullptr;
    }
    data->name = text;
    // A chunk kept in place keeps its index entry; a new one is added.
    if (!reused)
        FtkNamedObjectIndexAdd(db, text, object);
    return object;
}

char* FtkRecordText(const char* field, size_t size)
{
    const size_t length = field ? strnlen(field, size) : 0;
    char* text = static_cast<char*>(FtkMemAlloc(__FILE__, __LINE__, length + 1));
    if (!text) {
        FtkPushError(ERR_NO_MEM);
        return nullptr;
    }
    if (length > 0)
        std::memcpy(text, field, length);
    text[length] = 0;
    return text;
}

} // namespace duzsdk
