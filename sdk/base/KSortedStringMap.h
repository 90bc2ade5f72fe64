#pragma once

#include "sdk/base/KDynamicArray.h"
#include "sdk/base/KSortedRuns.h"

namespace duzsdk {

// Sorted array of {text key, value} pairs. The map owns a copy of each key
// (from the allocation hooks); values are not owned. Keys compare without
// regard to ASCII case unless the map is made case-sensitive, then byte-wise
// as unsigned characters. Duplicate keys are allowed; a new pair goes before
// the pairs with an equal key. A pair whose value is null reads as a miss.
//
// The pairs are kept as a few sorted runs (see KSortedRuns), so filling a map
// costs n log n in any key order, also with look-ups between the inserts,
// and every look-up sees the same pairs in the same order as if each insert
// had found its place at once.
class KSortedStringMap {
public:
    struct Pair {
        char* key;
        void* value;
    };

    explicit KSortedStringMap(int blockSize = 16);
    ~KSortedStringMap() { Clear(); }

    KSortedStringMap(const KSortedStringMap&) = delete;
    KSortedStringMap& operator=(const KSortedStringMap&) = delete;

    // Inserts a copy of `key` with `value`. Returns a non-negative number
    // (not a pair index: the pair finds its place at the next look-up), -1
    // for a null key or when memory runs out.
    int Insert(const char* key, void* value);

    // Value of a pair with an equal key and its index; null and -1 when none.
    void* Find(const char* key, int* outIndex = nullptr);
    // Value of pair `index` and its key (when outKey is given); null for an
    // index outside 0 .. count - 1.
    void* GetAt(int index, const char** outKey = nullptr);
    // Address of the value of pair `index`; null outside 0 .. count - 1.
    void** ValueRefAt(int index);

    // Frees the key copy of pair `index` and closes the gap; false outside.
    bool RemoveAt(int index);
    // Removes a pair with an equal key; false when there is none.
    bool Remove(const char* key);

    // Frees every key copy and the pair array.
    void Clear();

    // Switching the comparison re-sorts the pairs at the next lookup.
    void SetCaseSensitive(bool caseSensitive);
    bool IsCaseSensitive() const { return caseSensitive_; }

    void SortIfDirty();

    int Count() const { return pairs_.Count(); }
    int GetCount() const { return pairs_.Count(); }
    int BlockSize() const { return pairs_.BlockSize(); }
    int CapacityInBlocks() const { return pairs_.CapacityInBlocks(); }

private:
    int Compare(const char* a, const char* b) const;
    auto PairLess() const
    {
        return [this](const Pair& a, const Pair& b) { return Compare(a.key, b.key) < 0; };
    }
    // First pair in [low, high) whose key is not below `key`.
    int LowerBound(const char* key, int low, int high) const;
    // Merges the runs into one.
    void MergeAppended();

    KTypedArray<Pair> pairs_;
    KSortedRuns runs_;
    bool dirty_ = false;
    bool caseSensitive_ = false;
};

}  // namespace duzsdk
