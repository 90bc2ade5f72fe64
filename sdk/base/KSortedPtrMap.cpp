#include "sdk/base/KSortedPtrMap.h"

#include "sdk/base/KStableSort.h"

namespace duzsdk {

namespace {

// First pair whose key is not below `key`.
int LowerBound(const KSortedPtrMap::Pair* pairs, int low, int high, uintptr_t key)
{
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

bool LessKey(const KSortedPtrMap::Pair& a, const KSortedPtrMap::Pair& b) { return a.key < b.key; }

}  // namespace

KSortedPtrMap::KSortedPtrMap(int blockSize) : pairs_(blockSize) {}

int KSortedPtrMap::Insert(uintptr_t key, void* value)
{
    const int count = pairs_.Count();
    if (dirty_) {
        // The whole array is re-sorted later; place the pair as the ordered
        // insert always did.
        const int position = LowerBound(pairs_.Data(), 0, count, key);
        if (pairs_.InsertAt(position, Pair{key, value}) < 0) {
            return 0;
        }
        runs_.Reset(pairs_.Count());
        return 1;
    }
    if (pairs_.Add(Pair{key, value}) < 0) {
        return 0;
    }
    runs_.Appended(pairs_.Data(), pairs_.Count(), LessKey);
    return 1;
}

void KSortedPtrMap::MergeAppended()
{
    runs_.MergeAll(pairs_.Data(), pairs_.Count(), LessKey);
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
    if (outIndex == nullptr) {
        // The newest run holding the key has the pair an ordered insert
        // would have put first.
        void* value = nullptr;
        runs_.VisitNewestFirst(pairs_.Count(), [&](int begin, int end) {
            const int position = LowerBound(pairs_.Data(), begin, end, key);
            if (position >= end || pairs_[position].key != key) return false;
            value = pairs_[position].value;
            return true;
        });
        return value;
    }
    MergeAppended();
    int position = LowerBound(pairs_.Data(), 0, pairs_.Count(), key);
    if (position >= pairs_.Count() || pairs_[position].key != key || pairs_[position].value == nullptr) {
        return nullptr;
    }
    *outIndex = position;
    return pairs_[position].value;
}

void* KSortedPtrMap::GetAt(int index, uintptr_t* outKey)
{
    if (!pairs_.IsValidIndex(index)) {
        return nullptr;
    }
    SortIfDirty();
    MergeAppended();
    if (outKey != nullptr) {
        *outKey = pairs_[index].key;
    }
    return pairs_[index].value;
}

bool KSortedPtrMap::RemoveAt(int index)
{
    SortIfDirty();
    MergeAppended();
    if (!pairs_.RemoveAt(index)) {
        return false;
    }
    runs_.Reset(pairs_.Count());
    return true;
}

void KSortedPtrMap::Clear()
{
    pairs_.Clear();
    runs_.Reset(0);
    dirty_ = false;
}

void KSortedPtrMap::SetDirty()
{
    // What was appended goes in by the insert order first; the re-sort then
    // sees the pairs exactly as before.
    MergeAppended();
    dirty_ = true;
}

void KSortedPtrMap::SortIfDirty()
{
    if (!dirty_) {
        return;
    }
    KStableSort(pairs_.Data(), pairs_.Count(), LessKey);
    runs_.Reset(pairs_.Count());
    dirty_ = false;
}

}  // namespace duzsdk
