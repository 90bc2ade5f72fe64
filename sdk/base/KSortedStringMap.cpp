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

int KSortedStringMap::LowerBound(const char* key) const
{
    int low = 0;
    int high = pairs_.Count();
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
    // A pending re-sort must happen first or the ordered insert lands wrong.
    SortIfDirty();
    int index = pairs_.InsertAt(LowerBound(copy), Pair{copy, value});
    if (index < 0) {
        KMemFree(copy);
    }
    return index;
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
    int position = LowerBound(key);
    if (position >= pairs_.Count() || Compare(pairs_[position].key, key) != 0 ||
        pairs_[position].value == nullptr) {
        return nullptr;
    }
    if (outIndex != nullptr) {
        *outIndex = position;
    }
    return pairs_[position].value;
}

void* KSortedStringMap::GetAt(int index, const char** outKey)
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

void** KSortedStringMap::ValueRefAt(int index)
{
    if (!pairs_.IsValidIndex(index)) {
        return nullptr;
    }
    SortIfDirty();
    return &pairs_[index].value;
}

bool KSortedStringMap::RemoveAt(int index)
{
    if (!pairs_.IsValidIndex(index)) {
        return false;
    }
    SortIfDirty();
    KMemFree(pairs_[index].key);
    return pairs_.RemoveAt(index);
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
    dirty_ = false;
}

void KSortedStringMap::SetCaseSensitive(bool caseSensitive)
{
    if (caseSensitive_ != caseSensitive) {
        caseSensitive_ = caseSensitive;
        dirty_ = true;
    }
}

void KSortedStringMap::SortIfDirty()
{
    if (!dirty_) {
        return;
    }
    KStableSort(pairs_.Data(), pairs_.Count(),
                [this](const Pair& a, const Pair& b) { return Compare(a.key, b.key) < 0; });
    dirty_ = false;
}

}  // namespace duzsdk
