#pragma once

#include <cstdint>

namespace duzsdk {

// A run of 32-bit words of a sparse bit set: words firstWord ..
// firstWord + wordCount - 1.
struct KBitRange {
    int32_t firstWord = 0;
    int32_t wordCount = 0;
};

// The block list of a SparseBitSet; its layout lives in the source file.
struct KPooledPtrArray;

// Records which small integer ids are in use: bit n set means id n is taken.
// The bits live in a sorted list of blocks of 32-bit words, so long runs of
// unused ids cost nothing. Both the list and the blocks are reference
// counted and copied on write: a copy of a set shares its storage until one
// side changes. All storage comes from the default memory reuse pool.
//
// The set takes no lock; its owner serialises changes, and copies that share
// storage must stay on one thread.
class SparseBitSet {
public:
    // Bits are numbered by non-negative 32-bit ints.
    static constexpr int32_t kMaxBit = INT32_MAX;
    static constexpr int32_t kMaxWord = kMaxBit >> 5;
    static constexpr int kAnyValue = -1;
    static constexpr int32_t kNoEnd = -1;

    SparseBitSet() = default;
    SparseBitSet(const SparseBitSet& other);
    SparseBitSet& operator=(const SparseBitSet& other);
    SparseBitSet(SparseBitSet&& other) noexcept;
    SparseBitSet& operator=(SparseBitSet&& other) noexcept;
    ~SparseBitSet();

    // Takes the lowest free id, else the highest used id plus one, and marks
    // it used; -1 when the ids are exhausted or memory runs out.
    int32_t AllocateId();
    // Sets or clears bit n; false for a negative n or when memory runs out.
    // Clearing a bit that no block covers changes nothing and succeeds.
    bool Set(int32_t n);
    bool Clear(int32_t n);
    bool Test(int32_t n) const;
    // -1 for a set without set bits.
    int32_t HighestSetBit() const;
    // The first position at or after start, and not after end unless end is
    // kNoEnd, whose bit has the wanted value (0, 1 or kAnyValue for any
    // stored bit); -1 when there is none. For 0, the uncovered stretch before
    // a block counts as clear; positions after the last block are never
    // reported.
    int32_t Find(int32_t start, int32_t end, int wanted) const;
    bool IsEmpty() const { return mBlocks == nullptr; }
    // Drops the storage; the set is empty again.
    void Reset();

    // A value the owner may keep beside the bits. The set keeps there the
    // position below which every bit is known to be set, which lets id
    // allocation skip the full stretch; -1 when unknown.
    int32_t GetCached() const { return mCached; }

    // The number of blocks and the range of block i, for inspecting the
    // storage.
    int BlockCount() const;
    KBitRange BlockRange(int slot) const;
    // Whether this set shares its block list with another set.
    bool SharesStorageWith(const SparseBitSet& other) const;

    // The building blocks the operations above are made of.

    // The slot of a block covering the whole range, merging nearby blocks
    // into it or inserting a new zero-filled block; -1 for an invalid range
    // or when memory runs out.
    int FindOrAddBlock(KBitRange range);
    // Sets bit n in the block of that slot, writing only when the bit
    // changes; false when the slot does not cover the bit.
    bool SetBit(int slot, int32_t n);
    // Stores word `wordIndex` (counted from the block's first word) of the
    // block in that slot after making list and block unique.
    bool WriteWord(int slot, int32_t wordIndex, uint32_t value);
    // True only for identical ranges. The out range always receives the
    // larger first word and the count up to the smaller last word, which is
    // zero or negative when the ranges do not meet.
    static bool IntersectRanges(const KBitRange& a, const KBitRange& b, KBitRange* out);

private:
    bool ClearBitInSlot(int slot, int32_t n);
    int FindSlotCovering(int32_t word) const;

    KPooledPtrArray* mBlocks = nullptr;
    int32_t mCached = -1;
};

}  // namespace duzsdk
