#include "sdk/object/KPlugConnectionList.h"

#include <algorithm>
#include <bit>

namespace duzsdk {

namespace {

// Lists this short erase by moving the rest: cheaper than keeping gaps.
constexpr std::size_t kShortList = 16;
// Below this many dead slots the list is not worth compacting.
constexpr std::size_t kMinDeadToCompact = 16;
constexpr std::size_t kWordBits = 64;

// Position of the n-th (from 0) set bit of a word that has more than n.
unsigned SelectBit(std::uint64_t word, unsigned n) {
    unsigned base = 0;
    for (unsigned width = 32; width >= 8; width /= 2) {
        const std::uint64_t low = word & ((std::uint64_t{1} << width) - 1);
        const auto lowCount = static_cast<unsigned>(std::popcount(low));
        if (n >= lowCount) {
            n -= lowCount;
            word >>= width;
            base += width;
        } else {
            word = low;
        }
    }
    for (; n > 0; --n) word &= word - 1;
    return base + static_cast<unsigned>(std::countr_zero(word));
}

}  // namespace

// Entries that leave are marked dead in place. While dead slots sit only
// before the first live entry (the usual case: objects let go in the order
// they were made) an index is an offset from them. Once one leaves from the
// middle, a bit per slot marks the live ones and a Fenwick tree counts them
// per 64-slot word, so an index and a slot convert in logarithmic time for
// about two bits per entry. The dead slots are dropped in one pass once they
// outnumber the live entries, or before an insert anywhere but the back, so
// the work stays linear overall.
struct KPlugConnectionList::Gaps {
    std::size_t head = 0;   // dead slots before the first live one
    std::size_t dead = 0;   // all dead slots, the head's included
    // Slots ever dropped from the front. Remembered slots count from the
    // first slot the list ever had, so dropping the front moves none of them.
    std::uint32_t dropped = 0;
    // Slots walked for stale remembered slots since they were last all
    // refreshed; past the list's length one pass refreshes them all.
    std::size_t missWork = 0;
    // Both empty unless dead slots sit past the head.
    std::vector<std::uint64_t> live;
    std::vector<std::uint32_t> tree;

    bool Tracking() const { return !live.empty(); }

    // Live entries in the first `words` words.
    std::size_t LiveBefore(std::size_t words) const {
        std::size_t sum = 0;
        for (std::size_t k = words; k > 0; k &= k - 1) sum += tree[k - 1];
        return sum;
    }
    void Add(std::size_t word, int delta) {
        for (std::size_t k = word + 1; k <= tree.size(); k += k & (~k + 1))
            tree[k - 1] = static_cast<std::uint32_t>(static_cast<int>(tree[k - 1]) + delta);
    }
    // A word past the end; a Fenwick node sums the words below it too.
    void PushWord(std::uint64_t bits) {
        const std::size_t k = tree.size() + 1;
        const std::size_t low = k & (~k + 1);
        live.push_back(bits);
        tree.push_back(static_cast<std::uint32_t>(static_cast<std::size_t>(std::popcount(bits)) +
                                                  LiveBefore(k - 1) - LiveBefore(k - low)));
    }
    void Drop() {
        live.clear();
        live.shrink_to_fit();
        tree.clear();
        tree.shrink_to_fit();
        head = 0;
        dead = 0;
    }
};

KPlugConnectionList::KPlugConnectionList() = default;

KPlugConnectionList::~KPlugConnectionList() = default;

std::size_t KPlugConnectionList::Dead() const { return mGaps ? mGaps->dead : 0; }

std::size_t KPlugConnectionList::Head() const { return mGaps && !mGaps->Tracking() ? mGaps->head : 0; }

KPlugConnectionList::Gaps& KPlugConnectionList::EnsureGaps() const {
    if (!mGaps) mGaps = std::make_unique<Gaps>();
    return *mGaps;
}

std::size_t KPlugConnectionList::SlotOf(std::size_t index) const {
    if (!mGaps) return index;
    const Gaps& g = *mGaps;
    if (!g.Tracking()) return g.head + index;
    // Descend the tree to the word that holds the entry, then find its bit.
    std::size_t word = 0;
    std::size_t rest = index;
    for (std::size_t step = std::bit_floor(g.tree.size()); step > 0; step /= 2) {
        if (word + step <= g.tree.size() && g.tree[word + step - 1] <= rest) {
            word += step;
            rest -= g.tree[word - 1];
        }
    }
    return word * kWordBits + SelectBit(g.live[word], static_cast<unsigned>(rest));
}

std::size_t KPlugConnectionList::IndexOf(std::size_t slot) const {
    if (!mGaps) return slot;
    const Gaps& g = *mGaps;
    if (!g.Tracking()) return slot - g.head;
    const std::size_t word = slot / kWordBits;
    const std::uint64_t below = (std::uint64_t{1} << (slot % kWordBits)) - 1;
    return g.LiveBefore(word) + static_cast<std::size_t>(std::popcount(g.live[word] & below));
}

std::uint32_t KPlugConnectionList::Stored(std::size_t slot) const {
    return static_cast<std::uint32_t>(slot) + (mGaps ? mGaps->dropped : 0);
}

std::size_t KPlugConnectionList::Physical(std::uint32_t stored) const {
    return static_cast<std::uint32_t>(stored - (mGaps ? mGaps->dropped : 0));
}

void KPlugConnectionList::Remember(std::size_t slot) {
    Tally& tally = mTally.try_emplace(mSlots[slot].plug, Tally{0, 0}).first->second;
    ++tally.count;
    tally.slot = Stored(slot);
}

void KPlugConnectionList::Forget(const KPlug* plug) {
    auto it = mTally.find(plug);
    if (it != mTally.end() && --it->second.count <= 0) mTally.erase(it);
}

void KPlugConnectionList::insert(std::size_t pos, KPlugConnection entry) {
    pos = std::min(pos, size());
    if (pos == size()) {
        mSlots.push_back(entry);
        if (mGaps && mGaps->Tracking()) {
            Gaps& g = *mGaps;
            const std::size_t slot = mSlots.size() - 1;
            const std::uint64_t bit = std::uint64_t{1} << (slot % kWordBits);
            if (slot / kWordBits >= g.live.size()) {
                g.PushWord(bit);
            } else {
                g.live[slot / kWordBits] |= bit;
                g.Add(slot / kWordBits, 1);
            }
        }
        Remember(mSlots.size() - 1);
        return;
    }
    if (mGaps && mGaps->Tracking()) Compact();
    // A dead slot right before the front takes an entry made there.
    if (pos == 0 && mGaps && mGaps->head > 0) {
        Gaps& g = *mGaps;
        --g.head;
        --g.dead;
        mSlots[g.head] = entry;
        Remember(g.head);
        return;
    }
    const std::size_t slot = (mGaps ? mGaps->head : 0) + pos;
    mSlots.insert(mSlots.begin() + static_cast<std::ptrdiff_t>(slot), entry);
    Remember(slot);
}

void KPlugConnectionList::MarkDead(std::size_t slot) {
    Gaps& g = *mGaps;
    mSlots[slot] = {nullptr, 0};
    ++g.dead;
    if (g.Tracking()) {
        g.live[slot / kWordBits] &= ~(std::uint64_t{1} << (slot % kWordBits));
        g.Add(slot / kWordBits, -1);
    }
}

void KPlugConnectionList::TrackMiddleGaps() {
    Gaps& g = *mGaps;
    const std::size_t words = (mSlots.size() + kWordBits - 1) / kWordBits;
    g.live.assign(words, 0);
    for (std::size_t slot = g.head; slot < mSlots.size(); ++slot) {
        if (mSlots[slot].plug != nullptr) g.live[slot / kWordBits] |= std::uint64_t{1} << (slot % kWordBits);
    }
    // Linear Fenwick build: each node passes its sum up to its parent.
    g.tree.resize(words);
    for (std::size_t k = 1; k <= words; ++k) {
        g.tree[k - 1] += static_cast<std::uint32_t>(std::popcount(g.live[k - 1]));
        const std::size_t parent = k + (k & (~k + 1));
        if (parent <= words) g.tree[parent - 1] += g.tree[k - 1];
    }
}

void KPlugConnectionList::erase(std::size_t pos) {
    const std::size_t live = size();
    if (pos >= live) return;
    if (live == 1) {
        clear();
        return;
    }
    const std::size_t slot = SlotOf(pos);
    Forget(mSlots[slot].plug);
    if (Dead() == 0 && mSlots.size() <= kShortList) {
        mSlots.erase(mSlots.begin() + static_cast<std::ptrdiff_t>(slot));
        return;
    }
    Gaps& g = EnsureGaps();
    if (!g.Tracking()) {
        if (slot == g.head) {   // the front: one more dead slot before it
            MarkDead(slot);
            ++g.head;
            CompactIfSparse();
            return;
        }
        if (slot + 1 == mSlots.size()) {
            mSlots.pop_back();
            return;
        }
        TrackMiddleGaps();
    }
    MarkDead(slot);
    // Dead slots at the back go at once, so appends stay next to live ones.
    while (mSlots.back().plug == nullptr) {
        mSlots.pop_back();
        --g.dead;
        if (g.live.size() * kWordBits >= mSlots.size() + kWordBits) {
            g.live.pop_back();
            g.tree.pop_back();
        }
    }
    if (g.dead == 0) {   // the gaps all went from the back
        g.Drop();
        return;
    }
    CompactIfSparse();
}

void KPlugConnectionList::CompactIfSparse() {
    const Gaps& g = *mGaps;
    if (g.dead >= kMinDeadToCompact && g.dead > mSlots.size() - g.dead) Compact();
}

void KPlugConnectionList::Compact() {
    Gaps& g = *mGaps;
    if (!g.Tracking()) {   // only the front is dead: remembered slots hold
        mSlots.erase(mSlots.begin(), mSlots.begin() + static_cast<std::ptrdiff_t>(g.head));
        g.dropped += static_cast<std::uint32_t>(g.head);
        g.Drop();
        return;
    }
    mSlots.erase(std::remove_if(mSlots.begin(), mSlots.end(),
                                [](const KPlugConnection& entry) { return entry.plug == nullptr; }),
                 mSlots.end());
    mGaps->Drop();
}

void KPlugConnectionList::clear() {
    mSlots.clear();
    mTally.clear();
    mGaps.reset();
}

int KPlugConnectionList::count(const KPlug* plug) const {
    const auto it = mTally.find(plug);
    return it == mTally.end() ? 0 : it->second.count;
}

int KPlugConnectionList::find_last(const KPlug* plug) const {
    const auto it = mTally.find(plug);
    if (it == mTally.end()) return -1;
    Tally& tally = it->second;
    if (tally.count == 1) {
        // Dead slots hold no plug, so a slot holding this one is its entry.
        const std::size_t slot = Physical(tally.slot);
        if (slot < mSlots.size() && mSlots[slot].plug == plug) return static_cast<int>(IndexOf(slot));
        return FindStale(plug, tally);
    }
    for (std::size_t slot = mSlots.size(); slot > 0; --slot) {
        if (mSlots[slot - 1].plug == plug) return static_cast<int>(IndexOf(slot - 1));
    }
    return -1;
}

// The remembered slot of a plug with one entry moved. A walk from both ends
// finds it (objects are mostly let go near one end); once the walks since
// the last refresh cover the list, one pass refreshes every remembered slot
// instead, so a run of misses after a move costs linear time in all.
int KPlugConnectionList::FindStale(const KPlug* plug, Tally& tally) const {
    Gaps& g = EnsureGaps();
    if (g.missWork >= mSlots.size()) {
        g.missWork = 0;
        for (std::size_t slot = 0; slot < mSlots.size(); ++slot) {
            const KPlug* at = mSlots[slot].plug;
            if (at == nullptr) continue;
            const auto found = mTally.find(at);
            if (found != mTally.end() && found->second.count == 1)
                found->second.slot = Stored(slot);
        }
        const std::size_t slot = Physical(tally.slot);
        if (slot < mSlots.size() && mSlots[slot].plug == plug) return static_cast<int>(IndexOf(slot));
        return -1;
    }
    std::size_t low = 0;
    std::size_t high = mSlots.size();
    while (low < high) {
        g.missWork += 2;
        if (mSlots[high - 1].plug == plug) {
            tally.slot = Stored(high - 1);
            return static_cast<int>(IndexOf(high - 1));
        }
        if (mSlots[low].plug == plug) {
            tally.slot = Stored(low);
            return static_cast<int>(IndexOf(low));
        }
        ++low;
        --high;
    }
    return -1;
}

}  // namespace duzsdk
