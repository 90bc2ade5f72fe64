// The plain record that describes one take apart from its curves: names,
// comments, time spans and an optional thumbnail that it does not own. The
// scene keeps an array of them; the readers and writers fill and write them.
#pragma once

#include <cstdint>

#include "sdk/base/KDynamicArray.h"
#include "sdk/base/KString.h"
#include "sdk/base/KTime.h"

namespace duzsdk {

class KDuzThumbnail;

struct KDuzTakeDescription {
    // Copies are by value; the thumbnail pointer is shared, not the thumbnail.
    void Assign(const KDuzTakeDescription& other) { *this = other; }
    void SetThumbnail(KDuzThumbnail* image) { thumbnail = image; }

    // The take's name; records are matched by it (case-sensitive).
    KString name;
    // The name the take is imported under: the take nodes and the scene's
    // current take carry it while the take is read.
    KString importName;
    KString comments;
    // A reader reads the take's animation only when this is set.
    bool select = true;
    // A span with both ends 0 counts as not given.
    KTime localStart;
    KTime localStop;
    KTime referenceStart;
    KTime referenceStop;
    // Carried along by copies; nothing here reads it.
    int64_t reserved = 0;
    bool secondFlag = true;
    KDuzThumbnail* thumbnail = nullptr;
};

// Deletes every record of a pointer array of owned records, the last first,
// then empties the array.
void KDuzTakeDescriptionArrayDeleteAll(KPointerArray<KDuzTakeDescription>& array);

}  // namespace duzsdk
