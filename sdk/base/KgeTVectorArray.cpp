#include "sdk/base/KgeTVectorArray.h"

namespace duzsdk {

KgeTVectorArray::KgeTVectorArray(const KgeTVectorArray& other) : KgeTVectorArray() {
    AssignFrom(other);
}

KgeTVectorArray& KgeTVectorArray::operator=(const KgeTVectorArray& other) {
    if (this != &other) {
        AssignFrom(other);
    }
    return *this;
}

int KgeTVectorArray::FindNext(int start, const KgeTVector& vector) const {
    const int first = start < 0 ? 0 : start + 1;
    for (int i = first; i < Count(); ++i) {
        if (Data()[i].IsEqual(vector)) {
            return i;
        }
    }
    return -1;
}

}  // namespace duzsdk
