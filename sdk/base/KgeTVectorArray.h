#pragma once

#include "sdk/base/KDynamicArray.h"
#include "sdk/base/KgeTVector.h"

namespace duzsdk {

// Growable array of KgeTVector (32-byte elements, 16 per block).
// GetAt (index) copies an element out; a cleared vector for a bad index.
class KgeTVectorArray : public KTypedArray<KgeTVector> {
public:
    KgeTVectorArray() : KTypedArray<KgeTVector>(16) {}
    KgeTVectorArray(const KgeTVectorArray& other);
    // Copies block size and elements; empty when the copy cannot be allocated.
    KgeTVectorArray& operator=(const KgeTVectorArray& other);

    // Index of the first element after start that IsEqual the vector (x, y, z
    // within 1e-6); -1 when none. A start of -1 searches from the first element.
    int FindNext(int start, const KgeTVector& vector) const;
};

}  // namespace duzsdk
