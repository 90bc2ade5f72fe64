#pragma once

#include <cstdint>

#include "sdk/base/KDynamicArray.h"
#include "sdk/base/KSortedRuns.h"

namespace duzsdk {

// Sorted array of {key, value} pairs with pointer-sized keys compared as
// unsigned integers (uintptr_t). Duplicate keys are allowed; a new pair goes
// before the pairs with an equal key. Values are non-null: a pair whose value
// is null reads as a miss. Values are not owned by the map.
//
// The pairs are kept as a few sorted runs (see KSortedRuns), so filling a map
// costs n log n in any key order, also with look-ups between the inserts,
// and every look-up sees the same pairs in the same order as if each insert
// had found its place at once.
class KSortedPtrMap {
public:
    struct Pair {
        uintptr_t key;
        void* value;
    };

    explicit KSortedPtrMap(int blockSize = 16);
    ~KSortedPtrMap() { Destruct(); }

    KSortedPtrMap(const KSortedPtrMap&) = delete;
    KSortedPtrMap& operator=(const KSortedPtrMap&) = delete;

    // 1 when inserted, 0 when the pair array could not grow.
    int Insert(uintptr_t key, void* value);
    int Insert(const void* key, void* value) { return Insert(reinterpret_cast<uintptr_t>(key), value); }

    // Value of a pair with an equal key and its index; null and -1 when none.
    void* Find(uintptr_t key, int* outIndex = nullptr);
    void* Find(const void* key, int* outIndex = nullptr)
    {
        return Find(reinterpret_cast<uintptr_t>(key), outIndex);
    }

    // Value of pair `index` and its key (when outKey is given); null for an
    // index outside 0 .. count - 1.
    void* GetAt(int index, uintptr_t* outKey = nullptr);
    // Removes pair `index`; false when outside 0 .. count - 1.
    bool RemoveAt(int index);

    // Frees the pair array (not the values); count 0.
    void Clear();
    void Destruct() { Clear(); }

    // Pairs are kept in order by insertion; this only acts after SetDirty.
    void SortIfDirty();
    void SetDirty();

    int Count() const { return pairs_.Count(); }
    int GetCount() const { return pairs_.Count(); }
    int BlockSize() const { return pairs_.BlockSize(); }
    int CapacityInBlocks() const { return pairs_.CapacityInBlocks(); }

private:
    // Merges the runs into one.
    void MergeAppended();

    KTypedArray<Pair> pairs_;
    KSortedRuns runs_;
    bool dirty_ = false;
};

}  // namespace duzsdk
