// An ordered connection list whose entries can leave from anywhere in
// constant or logarithmic time. A scene's, a root's or the registry's list
// holds one entry per object, and objects are let go in any order: erasing
// from a plain vector moved half the list and finding the entry walked it,
// so destroying a scene object by object was quadratic.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <unordered_map>
#include <vector>

namespace duzsdk {

class KPlug;

// One entry of a connection list. A live entry never has a null plug.
struct KPlugConnection {
    KPlug* plug;
    int flags;
};

class KPlugConnectionList {
public:
    // Walks the live entries in order.
    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = KPlugConnection;
        using difference_type = std::ptrdiff_t;
        using pointer = const KPlugConnection*;
        using reference = const KPlugConnection&;

        const_iterator() = default;
        const_iterator(const KPlugConnection* at, const KPlugConnection* end) : mAt(at), mEnd(end) { Skip(); }
        reference operator*() const { return *mAt; }
        pointer operator->() const { return mAt; }
        const_iterator& operator++() {
            ++mAt;
            Skip();
            return *this;
        }
        const_iterator operator++(int) {
            const_iterator before = *this;
            ++*this;
            return before;
        }
        bool operator==(const const_iterator& other) const { return mAt == other.mAt; }

    private:
        void Skip() {
            while (mAt != mEnd && mAt->plug == nullptr) ++mAt;
        }
        const KPlugConnection* mAt = nullptr;
        const KPlugConnection* mEnd = nullptr;
    };

    KPlugConnectionList();
    ~KPlugConnectionList();
    KPlugConnectionList(const KPlugConnectionList&) = delete;
    KPlugConnectionList& operator=(const KPlugConnectionList&) = delete;

    std::size_t size() const { return mSlots.size() - Dead(); }
    bool empty() const { return size() == 0; }
    // Constant time unless entries left from the middle since the list was
    // last compacted; logarithmic then.
    const KPlugConnection& operator[](std::size_t index) const { return mSlots[SlotOf(index)]; }
    const_iterator begin() const { return {mSlots.data() + Head(), mSlots.data() + mSlots.size()}; }
    const_iterator end() const { return {mSlots.data() + mSlots.size(), mSlots.data() + mSlots.size()}; }

    // pos is clamped to [0, size()].
    void insert(std::size_t pos, KPlugConnection entry);
    void erase(std::size_t pos);
    void clear();

    // Number of entries for plug; no walk.
    int count(const KPlug* plug) const;
    bool contains(const KPlug* plug) const { return mTally.count(plug) != 0; }
    // Index of the last entry for plug, or -1. Constant time (logarithmic
    // with middle gaps) for a plug with one entry, whose slot is remembered;
    // a walk for a plug listed more than once.
    int find_last(const KPlug* plug) const;

private:
    struct Tally {
        int count;
        // Where the plug's entry was put; checked before use, since inserts
        // in the middle and compaction of middle gaps move entries.
        std::uint32_t slot;
    };
    struct Gaps;

    std::size_t Dead() const;
    // Dead slots known to come before the first live one.
    std::size_t Head() const;
    std::size_t SlotOf(std::size_t index) const;
    std::size_t IndexOf(std::size_t slot) const;
    Gaps& EnsureGaps() const;
    std::uint32_t Stored(std::size_t slot) const;
    std::size_t Physical(std::uint32_t stored) const;
    void Remember(std::size_t slot);
    void Forget(const KPlug* plug);
    void MarkDead(std::size_t slot);
    void TrackMiddleGaps();
    void CompactIfSparse();
    void Compact();
    int FindStale(const KPlug* plug, Tally& tally) const;

    std::vector<KPlugConnection> mSlots;
    // Entries per plug, so asking about a plug that is not connected (what
    // every connect does) needs no walk over lists that can hold a whole
    // scene. The remembered slots are a cache that a const find refreshes.
    mutable std::unordered_map<const KPlug*, Tally> mTally;
    // Null until the list first leaves a dead slot or a find misses; a list
    // that only grows at the back pays nothing more than a pointer.
    mutable std::unique_ptr<Gaps> mGaps;
};

}  // namespace duzsdk
