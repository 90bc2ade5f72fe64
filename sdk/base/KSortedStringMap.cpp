#include "sdk/base/KSortedStringMap.h"

#include <cstring>

#include "sdk/base/KMemory.h"
#include "sdk/base/KStableSort.h"

namespace duzsdk {

namespace {

int LowerAscii(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

// Byte-wise like strcmp; without case it folds ASCII letters to lower case
// first, as the runtime's case-insensitive compare does in the C locale.
int CompareKeys(const char* a, const char* b, bool caseSensitive)
{
    const auto* x = reinterpret_cast<const unsigned char*>(a);
    const auto* y = reinterpret_cast<const unsigned char*>(b);
    for (;; ++x, ++y) {
        int cx = caseSensitive ? *x : LowerAscii(*x);
        int cy = caseSensitive ? *y : LowerAscii(*y);
        if (cx != cy) {
            return cx < cy ? -1 : 1;
        }
        if (cx == 0) {
            return 0;
        }
    }
}

}  // namespace

KSortedStringMap::KSortedStringMap(int blockSize) : pairs_(blockSize) {}

int KSortedStringMap::Compare(const char* a, const char* b) const
{
    return CompareKeys(a, b, caseSensitive_);
}

int KSortedStringMap::LowerBound(const char* key, int low, int high) const
{
    while (low < high) {
        int middle = low + (high - low) / 2;
        if (Compare(pairs_[middle].key, key) < 0) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low;
}

int KSortedStringMap::Insert(const char* key, void* value)
{
    if (key == nullptr) {
        return -1;
    }
    size_t size = std::strlen(key) + 1;
    char* copy = static_cast<char*>(KMemAlloc(size));
    if (copy == nullptr) {
        return -1;
    }
    std::memcpy(copy, key, size);
    // A pending re-sort must happen first: the appended pairs are ordered
    // under the comparison in force when they were inserted.
    SortIfDirty();
    const int index = pairs_.Add(Pair{copy, value});
    if (index < 0) {
        KMemFree(copy);
        return -1;
    }
    runs_.Appended(pairs_.Data(), pairs_.Count(), PairLess());
    return index;
}

void KSortedStringMap::MergeAppended()
{
    runs_.MergeAll(pairs_.Data(), pairs_.Count(), PairLess());
}

void* KSortedStringMap::Find(const char* key, int* outIndex)
{
    if (outIndex != nullptr) {
        *outIndex = -1;
    }
    if (key == nullptr || pairs_.Count() == 0) {
        return nullptr;
    }
    SortIfDirty();
    if (outIndex == nullptr) {
        // The newest run holding the key has the pair an ordered insert
        // would have put first.
        void* value = nullptr;
        runs_.VisitNewestFirst(pairs_.Count(), [&](int begin, int end) {
            const int position = LowerBound(key, begin, end);
            if (position >= end || Compare(pairs_[position].key, key) != 0) return false;
            value = pairs_[position].value;
            return true;
        });
        return value;
    }
    MergeAppended();
    int position = LowerBound(key, 0, pairs_.Count());
    if (position >= pairs_.Count() || Compare(pairs_[position].key, key) != 0 ||
        pairs_[position].value == nullptr) {
        return nullptr;
    }
    *outIndex = position;
    return pairs_[position].value;
}

void* KSortedStringMap::GetAt(int index, const char** outKey)
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

void** KSortedStringMap::ValueRefAt(int index)
{
    if (!pairs_.IsValidIndex(index)) {
        return nullptr;
    }
    SortIfDirty();
    MergeAppended();
    return &pairs_[index].value;
}

bool KSortedStringMap::RemoveAt(int index)
{
    if (!pairs_.IsValidIndex(index)) {
        return false;
    }
    SortIfDirty();
    MergeAppended();
    KMemFree(pairs_[index].key);
    pairs_.RemoveAt(index);
    runs_.Reset(pairs_.Count());
    return true;
}

bool KSortedStringMap::Remove(const char* key)
{
    int index = -1;
    if (Find(key, &index) == nullptr) {
        return false;
    }
    return RemoveAt(index);
}

void KSortedStringMap::Clear()
{
    for (Pair& pair : pairs_) {
        KMemFree(pair.key);
    }
    pairs_.Clear();
    runs_.Reset(0);
    dirty_ = false;
}

void KSortedStringMap::SetCaseSensitive(bool caseSensitive)
{
    if (caseSensitive_ != caseSensitive) {
        // The appended pairs go in under the comparison they were inserted
        // with; the re-sort then sees the pairs exactly as before.
        MergeAppended();
        caseSensitive_ = caseSensitive;
        dirty_ = true;
    }
}

void KSortedStringMap::SortIfDirty()
{
    if (!dirty_) {
        return;
    }
    KStableSort(pairs_.Data(), pairs_.Count(), PairLess());
    runs_.Reset(pairs_.Count());
    dirty_ = false;
}

}  // namespace duzsdk
