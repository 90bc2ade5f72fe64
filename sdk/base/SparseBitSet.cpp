#include "sdk/base/SparseBitSet.h"

#include "sdk/base/KMemoryPool.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace duzsdk {

namespace {

// One run of words; the words follow the record, then the block's summary.
struct KBitBlock {
    int32_t firstWord;
    int32_t wordCount;
    int32_t refCount;
};

uint32_t* Words(KBitBlock* block) { return reinterpret_cast<uint32_t*>(block + 1); }
const uint32_t* Words(const KBitBlock* block)
{
    return reinterpret_cast<const uint32_t*>(block + 1);
}

// The summary finds the first word that is not full in a few steps, so that
// handing out a freed id costs the same in a set of a thousand ids as in one
// of a million. Level 0 has one bit per word of the block, set when the word
// is full; each higher level has one bit per word of the level below, set
// when that word is all ones; the top level is one word. Bits past a level's
// end are set, so they never read as room.
constexpr int kMaxSummaryLevels = 8;   // the largest block (2^26 words) needs 6

struct SummaryLayout {
    int levels = 0;
    int32_t offset[kMaxSummaryLevels] = {};   // first word of each level
    int32_t bits[kMaxSummaryLevels] = {};     // entries of each level
    int32_t total = 0;                        // words of all levels
};

constexpr SummaryLayout LayoutOf(int32_t wordCount)
{
    SummaryLayout layout;
    int32_t entries = wordCount;
    do {
        const int32_t words = (entries + 31) / 32;
        layout.offset[layout.levels] = layout.total;
        layout.bits[layout.levels] = entries;
        layout.total += words;
        ++layout.levels;
        entries = words;
    } while (entries > 1 && layout.levels < kMaxSummaryLevels);
    return layout;
}

// The top level of the largest block is one word, as the search needs.
static_assert(LayoutOf(SparseBitSet::kMaxWord + 1).levels < kMaxSummaryLevels);

uint32_t* Summary(KBitBlock* block) { return Words(block) + block->wordCount; }
const uint32_t* Summary(const KBitBlock* block) { return Words(block) + block->wordCount; }

// Sets entry `index` of a level to `full`; true when its word changed
// between all ones and not.
bool SetSummaryBit(uint32_t* level, int32_t index, bool full)
{
    uint32_t& word = level[index >> 5];
    const bool wasFull = word == ~0u;
    const uint32_t mask = 1u << (index & 31);
    word = full ? (word | mask) : (word & ~mask);
    return wasFull != (word == ~0u);
}

void RebuildSummary(KBitBlock* block)
{
    const SummaryLayout layout = LayoutOf(block->wordCount);
    uint32_t* summary = Summary(block);
    const uint32_t* below = Words(block);
    for (int level = 0; level < layout.levels; ++level) {
        uint32_t* bits = summary + layout.offset[level];
        const int32_t entries = layout.bits[level];
        const int32_t whole = entries >> 5;
        for (int32_t w = 0; w < whole; ++w) {
            uint32_t word = 0;
            for (int k = 0; k < 32; ++k) {
                word |= uint32_t(below[w * 32 + k] == ~0u) << k;
            }
            bits[w] = word;
        }
        if ((entries & 31) != 0) {
            uint32_t word = ~0u << (entries & 31);
            for (int k = 0; k < (entries & 31); ++k) {
                word |= uint32_t(below[whole * 32 + k] == ~0u) << k;
            }
            bits[whole] = word;
        }
        below = bits;
    }
}

// The summary of a block whose words are all `fill` (0 or 0xFF bytes).
void FillSummary(KBitBlock* block, uint8_t fill)
{
    const SummaryLayout layout = LayoutOf(block->wordCount);
    uint32_t* summary = Summary(block);
    std::fill_n(summary, layout.total, fill == 0xFF ? ~0u : 0u);
    for (int level = 0; level < layout.levels; ++level) {
        const int32_t entries = layout.bits[level];
        if ((entries & 31) != 0) {
            summary[layout.offset[level] + (entries >> 5)] |= ~0u << (entries & 31);
        }
    }
}

// After word `index` of the block changed.
void UpdateSummary(KBitBlock* block, int32_t index)
{
    uint32_t* summary = Summary(block);
    bool full = Words(block)[index] == ~0u;
    // Level 0 comes first; most writes leave a word's fullness as it was.
    if (((summary[index >> 5] >> (index & 31)) & 1u) == uint32_t(full)) {
        return;
    }
    const SummaryLayout layout = LayoutOf(block->wordCount);
    for (int level = 0; level < layout.levels; ++level) {
        if (!SetSummaryBit(summary + layout.offset[level], index, full)) {
            return;
        }
        full = summary[layout.offset[level] + (index >> 5)] == ~0u;
        index >>= 5;
    }
}

// The first entry at or after `from` of a level whose bit is clear; -1.
int32_t FirstClearEntry(const uint32_t* summary, const SummaryLayout& layout, int level, int32_t from)
{
    if (level >= layout.levels || from >= layout.bits[level]) {
        return -1;
    }
    const uint32_t* bits = summary + layout.offset[level];
    const int32_t word = from >> 5;
    const uint32_t room = ~bits[word] & (~0u << (from & 31));
    if (room != 0) {
        return word * 32 + std::countr_zero(room);
    }
    const int32_t next = FirstClearEntry(summary, layout, level + 1, word + 1);
    if (next < 0) {
        return -1;
    }
    return next * 32 + std::countr_zero(~bits[next]);
}

// The first word at or after `from` (counted from the block's first word)
// that is not full; -1 when every one is.
int32_t FirstWordWithRoom(const KBitBlock* block, int32_t from)
{
    return FirstClearEntry(Summary(block), LayoutOf(block->wordCount), 0, from);
}

int32_t LastWord(const KBitBlock* block) { return block->firstWord + block->wordCount - 1; }
KBitRange RangeOf(const KBitBlock* block) { return {block->firstWord, block->wordCount}; }
int32_t LastWord(const KBitRange& range) { return range.firstWord + range.wordCount - 1; }

bool Covers(const KBitRange& outer, const KBitRange& inner)
{
    return outer.firstWord <= inner.firstWord && LastWord(outer) >= LastWord(inner);
}

bool IsValidRange(const KBitRange& range)
{
    return range.firstWord >= 0 && range.wordCount >= 1 &&
           range.wordCount - 1 <= SparseBitSet::kMaxWord - range.firstWord;
}

KBitRange UnionOf(const KBitRange& a, const KBitRange& b)
{
    const int32_t first = std::min(a.firstWord, b.firstWord);
    return {first, std::max(LastWord(a), LastWord(b)) - first + 1};
}

// Blocks within 9 words (256 bits, plus one word) before or after a range
// are merged with it rather than kept apart; the window is at least 3 words
// (64 bits, plus one word).
constexpr int32_t kWindowMargin = 9;
constexpr int32_t kWindowMinWords = 3;

KBitRange WindowAround(const KBitRange& range)
{
    return {std::max(range.firstWord - kWindowMargin, 0),
            std::max(kWindowMinWords, range.wordCount + 2 * kWindowMargin)};
}

bool Meets(const KBitRange& a, const KBitRange& b)
{
    KBitRange overlap;
    return SparseBitSet::IntersectRanges(a, b, &overlap) || overlap.wordCount >= 1;
}

// A block that keeps growing at its end (ids handed out in order) is given
// room for half as many words again, so that filling it costs linear time
// rather than one copy of the whole block per word. Small blocks grow
// exactly, which keeps the merging of scattered ids as it is.
constexpr int32_t kSlackFromWords = 64;

size_t StoredWords(int32_t wordCount) { return size_t(wordCount) + size_t(LayoutOf(wordCount).total); }

KBitBlock* NewBlock(const KBitRange& range, uint8_t fill)
{
    const size_t bytes = sizeof(KBitBlock) + StoredWords(range.wordCount) * sizeof(uint32_t);
    auto* block = static_cast<KBitBlock*>(KMemoryPoolsAllocDefault(bytes));
    if (block == nullptr) {
        return nullptr;
    }
    block->firstWord = range.firstWord;
    block->wordCount = range.wordCount;
    block->refCount = 1;
    std::memset(Words(block), fill, size_t(range.wordCount) * sizeof(uint32_t));
    FillSummary(block, fill);
    return block;
}

void ReleaseBlock(KBitBlock* block)
{
    if (--block->refCount <= 0) {
        KMemoryPoolsFreeDefault(block);
    }
}

}  // namespace

// The block list. The used slots come first, ordered by first word; the
// rest are null. `count` caches the number of used slots.
struct KPooledPtrArray {
    int32_t copyMark;  // 0 whenever the list is copied
    int32_t capacity;
    int32_t refCount;
    int32_t count;

    KBitBlock** Slots() { return reinterpret_cast<KBitBlock**>(this + 1); }
    KBitBlock* const* Slots() const { return reinterpret_cast<KBitBlock* const*>(this + 1); }

    static KPooledPtrArray* Create(int32_t capacity);
    static bool Find(const KPooledPtrArray* list, int32_t* position, int32_t start, int32_t end,
                     int wanted);
    static bool MakeUnique(KPooledPtrArray* list, int slot);
    static bool MakeUniqueShared(KPooledPtrArray*& list);
    static int InsertOrdered(KPooledPtrArray*& list, const KBitRange& range, uint8_t fill);
    static void FreeBlock(KPooledPtrArray* list);
    static void Release(KPooledPtrArray* list);
    static bool ResizeBlock(KPooledPtrArray* list, int slot, const KBitRange& range,
                            uint8_t fill);
    static void RemoveSlot(KPooledPtrArray* list, int slot);
    // The first slot whose block does not end before the word.
    static int LowerBoundByLastWord(const KPooledPtrArray* list, int32_t word);
};

static_assert(sizeof(KPooledPtrArray) % alignof(KBitBlock*) == 0);

KPooledPtrArray* KPooledPtrArray::Create(int32_t capacity)
{
    const size_t bytes = sizeof(KPooledPtrArray) + size_t(capacity) * sizeof(KBitBlock*);
    auto* list = static_cast<KPooledPtrArray*>(KMemoryPoolsAllocDefault(bytes));
    if (list == nullptr) {
        return nullptr;
    }
    list->copyMark = 0;
    list->capacity = capacity;
    list->refCount = 1;
    list->count = 0;
    std::fill_n(list->Slots(), capacity, nullptr);
    return list;
}

int KPooledPtrArray::LowerBoundByLastWord(const KPooledPtrArray* list, int32_t word)
{
    KBitBlock* const* slots = list->Slots();
    KBitBlock* const* found =
        std::partition_point(slots, slots + list->count,
                             [word](const KBitBlock* block) { return LastWord(block) < word; });
    return static_cast<int>(found - slots);
}

bool KPooledPtrArray::Find(const KPooledPtrArray* list, int32_t* position, int32_t start,
                           int32_t end, int wanted)
{
    if (list == nullptr) {
        return false;
    }
    start = std::max(start, 0);
    const bool bounded = end != SparseBitSet::kNoEnd;
    if (bounded && end < start) {
        return false;
    }
    const int32_t endWord = bounded ? (end >> 5) : SparseBitSet::kMaxWord;
    // The position searched from; it moves past each block examined, so the
    // gap after a full block counts as clear too.
    int64_t cursor = start;
    for (int i = LowerBoundByLastWord(list, start >> 5); i < list->count; ++i) {
        const KBitBlock* block = list->Slots()[i];
        const int64_t blockFirstBit = int64_t(block->firstWord) * 32;
        if (bounded && cursor > end) {
            return false;
        }
        if (cursor < blockFirstBit) {
            if (wanted == 0) {
                *position = static_cast<int32_t>(cursor);
                return true;
            }
            cursor = blockFirstBit;
        }
        const int32_t cursorWord = static_cast<int32_t>(cursor >> 5);
        const int32_t lastWord = std::min(LastWord(block), endWord);
        if (wanted == 0 && cursorWord <= lastWord) {
            // The cursor's own word, then the summary to the next word with room.
            uint32_t room = ~Words(block)[cursorWord - block->firstWord] & (~0u << (cursor & 31));
            int32_t word = cursorWord;
            if (room == 0) {
                const int32_t next = FirstWordWithRoom(block, cursorWord + 1 - block->firstWord);
                word = next < 0 ? lastWord + 1 : block->firstWord + next;
                if (word <= lastWord) {
                    room = ~Words(block)[next];
                }
            }
            if (word <= lastWord) {
                const int64_t found = int64_t(word) * 32 + std::countr_zero(room);
                if (bounded && found > end) {
                    return false;
                }
                *position = static_cast<int32_t>(found);
                return true;
            }
            cursor = (int64_t(LastWord(block)) + 1) * 32;
            continue;
        }
        for (int32_t word = cursorWord; word <= lastWord; ++word) {
            uint32_t bits = Words(block)[word - block->firstWord];
            if (wanted == 0) {
                bits = ~bits;
            } else if (wanted != 1) {
                bits = ~0u;
            }
            if (word == cursorWord) {
                bits &= ~0u << (cursor & 31);
            }
            if (bits != 0) {
                const int64_t found = int64_t(word) * 32 + std::countr_zero(bits);
                if (bounded && found > end) {
                    return false;
                }
                *position = static_cast<int32_t>(found);
                return true;
            }
        }
        cursor = (int64_t(LastWord(block)) + 1) * 32;
    }
    return false;
}

bool KPooledPtrArray::MakeUnique(KPooledPtrArray* list, int slot)
{
    KBitBlock*& block = list->Slots()[slot];
    if (block->refCount <= 1) {
        return true;
    }
    KBitBlock* copy = NewBlock(RangeOf(block), 0);
    if (copy == nullptr) {
        return false;
    }
    std::memcpy(Words(copy), Words(block), StoredWords(block->wordCount) * sizeof(uint32_t));
    --block->refCount;
    block = copy;
    return true;
}

bool KPooledPtrArray::MakeUniqueShared(KPooledPtrArray*& list)
{
    if (list == nullptr || list->refCount <= 1) {
        return true;
    }
    KPooledPtrArray* copy = Create(list->capacity);
    if (copy == nullptr) {
        return false;
    }
    copy->count = list->count;
    for (int i = 0; i < list->count; ++i) {
        KBitBlock* block = list->Slots()[i];
        ++block->refCount;
        copy->Slots()[i] = block;
    }
    --list->refCount;
    list = copy;
    return true;
}

int KPooledPtrArray::InsertOrdered(KPooledPtrArray*& list, const KBitRange& range, uint8_t fill)
{
    if (!MakeUniqueShared(list)) {
        return -1;
    }
    KBitBlock* block = NewBlock(range, fill);
    if (block == nullptr) {
        return -1;
    }
    if (list == nullptr || list->count == list->capacity) {
        const int32_t capacity = list == nullptr ? 1 : list->capacity;
        const int32_t grown = list == nullptr ? 1 : capacity * 2;
        KPooledPtrArray* larger = grown > 0 ? Create(grown) : nullptr;
        if (larger == nullptr) {
            ReleaseBlock(block);
            return -1;
        }
        if (list != nullptr) {
            larger->copyMark = list->copyMark;
            larger->count = list->count;
            std::copy_n(list->Slots(), list->count, larger->Slots());
            // The blocks move over with their references.
            KMemoryPoolsFreeDefault(list);
        }
        list = larger;
    }
    KBitBlock** slots = list->Slots();
    const int slot = static_cast<int>(
        std::partition_point(slots, slots + list->count,
                             [&range](const KBitBlock* b) { return b->firstWord < range.firstWord; }) -
        slots);
    std::memmove(slots + slot + 1, slots + slot, size_t(list->count - slot) * sizeof(KBitBlock*));
    slots[slot] = block;
    ++list->count;
    return slot;
}

void KPooledPtrArray::FreeBlock(KPooledPtrArray* list)
{
    if (list->refCount > 0) {
        return;
    }
    for (int i = 0; i < list->count; ++i) {
        ReleaseBlock(list->Slots()[i]);
    }
    KMemoryPoolsFreeDefault(list);
}

void KPooledPtrArray::Release(KPooledPtrArray* list)
{
    if (list != nullptr) {
        --list->refCount;
        FreeBlock(list);
    }
}

bool KPooledPtrArray::ResizeBlock(KPooledPtrArray* list, int slot, const KBitRange& range,
                                  uint8_t fill)
{
    KBitBlock*& block = list->Slots()[slot];
    KBitBlock* resized = NewBlock(range, fill);
    if (resized == nullptr) {
        return false;
    }
    KBitRange shared;
    SparseBitSet::IntersectRanges(RangeOf(block), range, &shared);
    if (shared.wordCount > 0) {
        std::memcpy(Words(resized) + (shared.firstWord - range.firstWord),
                    Words(block) + (shared.firstWord - block->firstWord),
                    size_t(shared.wordCount) * sizeof(uint32_t));
        RebuildSummary(resized);
    }
    ReleaseBlock(block);
    block = resized;
    return true;
}

void KPooledPtrArray::RemoveSlot(KPooledPtrArray* list, int slot)
{
    KBitBlock** slots = list->Slots();
    ReleaseBlock(slots[slot]);
    std::memmove(slots + slot, slots + slot + 1,
                 size_t(list->count - slot - 1) * sizeof(KBitBlock*));
    --list->count;
    slots[list->count] = nullptr;
}

SparseBitSet::SparseBitSet(const SparseBitSet& other) : mBlocks(other.mBlocks), mCached(other.mCached)
{
    if (mBlocks != nullptr) {
        ++mBlocks->refCount;
    }
}

SparseBitSet& SparseBitSet::operator=(const SparseBitSet& other)
{
    if (this != &other) {
        if (other.mBlocks != nullptr) {
            ++other.mBlocks->refCount;
        }
        KPooledPtrArray::Release(mBlocks);
        mBlocks = other.mBlocks;
        mCached = other.mCached;
    }
    return *this;
}

SparseBitSet::SparseBitSet(SparseBitSet&& other) noexcept
    : mBlocks(other.mBlocks), mCached(other.mCached)
{
    other.mBlocks = nullptr;
    other.mCached = -1;
}

SparseBitSet& SparseBitSet::operator=(SparseBitSet&& other) noexcept
{
    if (this != &other) {
        KPooledPtrArray::Release(mBlocks);
        mBlocks = other.mBlocks;
        mCached = other.mCached;
        other.mBlocks = nullptr;
        other.mCached = -1;
    }
    return *this;
}

SparseBitSet::~SparseBitSet() { KPooledPtrArray::Release(mBlocks); }

void SparseBitSet::Reset()
{
    KPooledPtrArray::Release(mBlocks);
    mBlocks = nullptr;
    mCached = -1;
}

bool SparseBitSet::IntersectRanges(const KBitRange& a, const KBitRange& b, KBitRange* out)
{
    if (a.firstWord == b.firstWord && a.wordCount == b.wordCount) {
        *out = a;
        return true;
    }
    // Wide arithmetic: a caller's range may reach the ends of int32.
    const int64_t first = std::max(a.firstWord, b.firstWord);
    const int64_t last = std::min(int64_t(a.firstWord) + a.wordCount - 1,
                                  int64_t(b.firstWord) + b.wordCount - 1);
    out->firstWord = static_cast<int32_t>(first);
    out->wordCount = static_cast<int32_t>(std::clamp<int64_t>(last - first + 1, INT32_MIN, INT32_MAX));
    return false;
}

int SparseBitSet::FindOrAddBlock(KBitRange range)
{
    if (!IsValidRange(range)) {
        return -1;
    }
    if (mBlocks == nullptr || mBlocks->count == 0) {
        return KPooledPtrArray::InsertOrdered(mBlocks, range, 0);
    }
    int built = -1;
    KBitRange window = WindowAround(range);
    // Blocks that end before the window can neither cover the range nor meet
    // the window: start past them.
    for (int i = KPooledPtrArray::LowerBoundByLastWord(mBlocks, window.firstWord); i < mBlocks->count;) {
        const KBitBlock* block = mBlocks->Slots()[i];
        if (built < 0 && Covers(RangeOf(block), range)) {
            return i;
        }
        if (block->firstWord > LastWord(window)) {
            break;  // ordered: no later block can meet the window
        }
        if (!Meets(RangeOf(block), window)) {
            ++i;
            continue;
        }
        if (!KPooledPtrArray::MakeUniqueShared(mBlocks)) {
            return -1;
        }
        if (built < 0) {
            built = i;
            if (!Covers(RangeOf(block), range)) {
                KBitRange grown = UnionOf(RangeOf(block), range);
                if (LastWord(range) > LastWord(block) && block->wordCount >= kSlackFromWords) {
                    const int32_t roomy = static_cast<int32_t>(std::min<int64_t>(
                        int64_t(LastWord(block)) + block->wordCount / 2, kMaxWord));
                    grown.wordCount = std::max(LastWord(grown), roomy) - grown.firstWord + 1;
                }
                if (!KPooledPtrArray::ResizeBlock(mBlocks, built, grown, 0)) {
                    return -1;
                }
            }
            window = WindowAround(RangeOf(mBlocks->Slots()[built]));
            ++i;
            continue;
        }
        // A later block near the one being built: fold it in.
        const KBitRange into = RangeOf(mBlocks->Slots()[built]);
        const KBitRange from = RangeOf(block);
        const bool ready = Covers(into, from)
                               ? KPooledPtrArray::MakeUnique(mBlocks, built)
                               : KPooledPtrArray::ResizeBlock(mBlocks, built, UnionOf(into, from), 0);
        if (!ready) {
            return -1;
        }
        KBitBlock* target = mBlocks->Slots()[built];
        uint32_t* targetWords = Words(target) + (from.firstWord - target->firstWord);
        for (int32_t w = 0; w < from.wordCount; ++w) {
            targetWords[w] |= Words(block)[w];
        }
        RebuildSummary(target);
        KPooledPtrArray::RemoveSlot(mBlocks, i);
        window = WindowAround(RangeOf(target));
    }
    if (built < 0) {
        return KPooledPtrArray::InsertOrdered(mBlocks, range, 0);
    }
    return built;
}

bool SparseBitSet::SetBit(int slot, int32_t n)
{
    if (mBlocks == nullptr || slot < 0 || slot >= mBlocks->count || n < 0) {
        return false;
    }
    const KBitBlock* block = mBlocks->Slots()[slot];
    const int32_t word = n >> 5;
    if (word < block->firstWord || word > LastWord(block)) {
        return false;
    }
    const int32_t index = word - block->firstWord;
    const uint32_t mask = 1u << (n & 31);
    const uint32_t value = Words(block)[index];
    if ((value & mask) != 0) {
        return true;
    }
    return WriteWord(slot, index, value | mask);
}

bool SparseBitSet::ClearBitInSlot(int slot, int32_t n)
{
    const KBitBlock* block = mBlocks->Slots()[slot];
    const int32_t index = (n >> 5) - block->firstWord;
    const uint32_t mask = 1u << (n & 31);
    const uint32_t value = Words(block)[index];
    if ((value & mask) == 0) {
        return true;
    }
    return WriteWord(slot, index, value & ~mask);
}

bool SparseBitSet::WriteWord(int slot, int32_t wordIndex, uint32_t value)
{
    if (mBlocks == nullptr || slot < 0 || slot >= mBlocks->count) {
        return false;
    }
    if (wordIndex < 0 || wordIndex >= mBlocks->Slots()[slot]->wordCount) {
        return false;
    }
    if (!KPooledPtrArray::MakeUniqueShared(mBlocks) || !KPooledPtrArray::MakeUnique(mBlocks, slot)) {
        return false;
    }
    KBitBlock* block = mBlocks->Slots()[slot];
    uint32_t& word = Words(block)[wordIndex];
    // A cleared bit below the known-full stretch shortens it.
    const uint32_t cleared = word & ~value;
    if (cleared != 0 && mCached >= 0) {
        const int64_t lowest =
            (int64_t(block->firstWord) + wordIndex) * 32 + std::countr_zero(cleared);
        if (lowest < mCached) {
            mCached = static_cast<int32_t>(lowest);
        }
    }
    word = value;
    UpdateSummary(block, wordIndex);
    return true;
}

int SparseBitSet::FindSlotCovering(int32_t word) const
{
    if (mBlocks == nullptr) {
        return -1;
    }
    const int slot = KPooledPtrArray::LowerBoundByLastWord(mBlocks, word);
    if (slot < mBlocks->count && mBlocks->Slots()[slot]->firstWord <= word) {
        return slot;
    }
    return -1;
}

int32_t SparseBitSet::AllocateId()
{
    int32_t id = -1;
    if (!KPooledPtrArray::Find(mBlocks, &id, std::max(mCached, 0), kNoEnd, 0)) {
        const int32_t highest = HighestSetBit();
        if (highest == kMaxBit) {
            return -1;
        }
        id = highest + 1;
    }
    const int slot = FindOrAddBlock({id >> 5, 1});
    if (slot < 0 || !SetBit(slot, id)) {
        return -1;
    }
    // Every id below this one is taken now.
    mCached = id < kMaxBit ? id + 1 : id;
    return id;
}

bool SparseBitSet::Set(int32_t n)
{
    if (n < 0) {
        return false;
    }
    const int slot = FindOrAddBlock({n >> 5, 1});
    return slot >= 0 && SetBit(slot, n);
}

bool SparseBitSet::Clear(int32_t n)
{
    if (n < 0) {
        return false;
    }
    const int slot = FindSlotCovering(n >> 5);
    return slot < 0 || ClearBitInSlot(slot, n);
}

bool SparseBitSet::Test(int32_t n) const
{
    if (n < 0) {
        return false;
    }
    const int slot = FindSlotCovering(n >> 5);
    if (slot < 0) {
        return false;
    }
    const KBitBlock* block = mBlocks->Slots()[slot];
    return (Words(block)[(n >> 5) - block->firstWord] >> (n & 31) & 1u) != 0;
}

int32_t SparseBitSet::HighestSetBit() const
{
    if (mBlocks == nullptr) {
        return -1;
    }
    for (int i = mBlocks->count - 1; i >= 0; --i) {
        const KBitBlock* block = mBlocks->Slots()[i];
        for (int32_t w = block->wordCount - 1; w >= 0; --w) {
            const uint32_t bits = Words(block)[w];
            if (bits != 0) {
                return (block->firstWord + w) * 32 + 31 - std::countl_zero(bits);
            }
        }
    }
    return -1;
}

int32_t SparseBitSet::Find(int32_t start, int32_t end, int wanted) const
{
    int32_t position = -1;
    return KPooledPtrArray::Find(mBlocks, &position, start, end, wanted) ? position : -1;
}

int SparseBitSet::BlockCount() const { return mBlocks == nullptr ? 0 : mBlocks->count; }

KBitRange SparseBitSet::BlockRange(int slot) const
{
    if (mBlocks == nullptr || slot < 0 || slot >= mBlocks->count) {
        return {};
    }
    return RangeOf(mBlocks->Slots()[slot]);
}

bool SparseBitSet::SharesStorageWith(const SparseBitSet& other) const
{
    return mBlocks != nullptr && mBlocks == other.mBlocks;
}

}  // namespace duzsdk
