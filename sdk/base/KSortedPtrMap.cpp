#include "sdk/base/KSortedPtrMap.h"

#include "sdk/base/KStableSort.h"

namespace duzsdk {

namespace {

// First pair whose key is not below `key`.
int LowerBound(const KSortedPtrMap::Pair* pairs, int count, uintptr_t key)
{
    int low = 0;
    int high = count;
    while (low < high) {
        int middle = low + (high - low) / 2;
        if (pairs[middle].key < key) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low;
}

}  // namespace

KSortedPtrMap::KSortedPtrMap(int blockSize) : pairs_(blockSize) {}

int KSortedPtrMap::Insert(uintptr_t key, void* value)
{
    int position = LowerBound(pairs_.Data(), pairs_.Count(), key);
    return pairs_.InsertAt(position, Pair{key, value}) >= 0 ? 1 : 0;
}

void* KSortedPtrMap::Find(uintptr_t key, int* outIndex)
{
    if (outIndex != nullptr) {
        *outIndex = -1;
    }
    if (pairs_.Count() == 0) {
        return nullptr;
    }
    SortIfDirty();
    int position = LowerBound(pairs_.Data(), pairs_.Count(), key);
    if (position >= pairs_.Count() || pairs_[position].key != key || pairs_[position].value == nullptr) {
        return nullptr;
    }
    if (outIndex != nullptr) {
        *outIndex = position;
    }
    return pairs_[position].value;
}

void* KSortedPtrMap::GetAt(int index, uintptr_t* outKey)
{
    if (!pairs_.IsValidIndex(index)) {
        return nullptr;
    }
    SortIfDirty();
    if (outKey != nullptr) {
        *outKey = pairs_[index].key;
    }
    return pairs_[index].value;
}

bool KSortedPtrMap::RemoveAt(int index)
{
    SortIfDirty();
    return pairs_.RemoveAt(index);
}

void KSortedPtrMap::Clear()
{
    pairs_.Clear();
    dirty_ = false;
}

void KSortedPtrMap::SortIfDirty()
{
    if (!dirty_) {
        return;
    }
    KStableSort(pairs_.Data(), pairs_.Count(),
                [](const Pair& a, const Pair& b) { return a.key < b.key; });
    dirty_ = false;
}

}  // namespace duzsdk
