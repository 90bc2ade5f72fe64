#pragma once

#include <cstdint>

#include "sdk/base/KDynamicArray.h"

namespace duzsdk {

// Sorted array of {key, value} pairs with pointer-sized keys compared as
// unsigned integers (uintptr_t). Duplicate keys are allowed; a new pair goes
// before the pairs with an equal key. Values are non-null: a pair whose value
// is null reads as a miss. Values are not owned by the map.
//
// Inserts append after the sorted run; the next look-up sorts what was
// appended and merges it in once, so filling a map costs n log n in any key
// order and every look-up sees the same pairs in the same order as if each
// insert had found its place at once.
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
    // Brings the appended pairs into the sorted run.
    void MergeAppended();

    KTypedArray<Pair> pairs_;
    int sorted_ = 0;   // pairs [sorted_, count) are appended, not yet in place
    bool dirty_ = false;
};

}  // namespace duzsdk
