#include "sdk/base/SparseBitSet.h"

#include "sdk/base/KMemoryPool.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <random>
#include <set>
#include <vector>

using namespace duzsdk;

namespace {

std::vector<std::pair<int32_t, int32_t>> Blocks(const SparseBitSet& set)
{
    std::vector<std::pair<int32_t, int32_t>> result;
    for (int i = 0; i < set.BlockCount(); ++i) {
        const KBitRange range = set.BlockRange(i);
        result.emplace_back(range.firstWord, range.wordCount);
    }
    return result;
}

// Blocks are ordered, never overlap and never touch: touching blocks would
// have been merged.
void ExpectWellFormed(const SparseBitSet& set)
{
    for (int i = 1; i < set.BlockCount(); ++i) {
        const KBitRange before = set.BlockRange(i - 1);
        const KBitRange after = set.BlockRange(i);
        EXPECT_GT(after.firstWord, before.firstWord + before.wordCount) << "block " << i;
    }
}

}  // namespace

TEST(SparseBitSetTest, AllocatesLowestFreeIdElseNextAfterHighest)
{
    SparseBitSet set;
    for (int32_t expected = 0; expected < 100; ++expected) {
        ASSERT_EQ(set.AllocateId(), expected);
    }
    EXPECT_EQ(set.HighestSetBit(), 99);
    EXPECT_TRUE(set.Clear(1));
    EXPECT_FALSE(set.Test(1));
    EXPECT_EQ(set.AllocateId(), 1);
    EXPECT_TRUE(set.Clear(70));
    EXPECT_TRUE(set.Clear(5));
    EXPECT_TRUE(set.Clear(5));  // already clear: no change
    EXPECT_EQ(set.AllocateId(), 5);
    EXPECT_EQ(set.AllocateId(), 70);
    EXPECT_EQ(set.AllocateId(), 100);
    ExpectWellFormed(set);
}

TEST(SparseBitSetTest, IdsFollowSetsMadeOutsideAllocation)
{
    SparseBitSet set;
    // Bits set directly, with a gap at the start and a gap before the last.
    for (int32_t bit : {2, 3, 4, 6}) {
        ASSERT_TRUE(set.Set(bit));
    }
    const int32_t expected[] = {0, 1, 5, 7, 8};
    for (int32_t id : expected) {
        EXPECT_EQ(set.AllocateId(), id);
    }
    // A full block followed by a distant one: the gap after the full block
    // is free, not the bit the search started from.
    SparseBitSet spread;
    for (int32_t bit = 0; bit < 64; ++bit) {
        ASSERT_TRUE(spread.Set(bit));
    }
    ASSERT_TRUE(spread.Set(1000));
    EXPECT_EQ(spread.Find(0, SparseBitSet::kNoEnd, 0), 64);
    EXPECT_EQ(spread.AllocateId(), 64);
}

TEST(SparseBitSetTest, ClearingBelowTheFullStretchIsSeenByAllocation)
{
    SparseBitSet set;
    for (int i = 0; i < 10; ++i) {
        set.AllocateId();
    }
    EXPECT_EQ(set.GetCached(), 10);
    set.Clear(4);
    EXPECT_EQ(set.GetCached(), 4);
    EXPECT_EQ(set.AllocateId(), 4);
    EXPECT_EQ(set.AllocateId(), 10);
}

TEST(SparseBitSetTest, BlocksMergeWithinNineWords)
{
    using Ranges = std::vector<std::pair<int32_t, int32_t>>;
    struct Case {
        const char* name;
        std::vector<int32_t> bits;
        Ranges blocks;  // {first word, word count}
    };
    const Case cases[] = {
        {"one bit", {40}, {{1, 1}}},
        {"far apart", {40, 1000}, {{1, 1}, {31, 1}}},
        {"within nine words of neither", {40, 1000, 500}, {{1, 1}, {15, 1}, {31, 1}}},
        {"joins the block before", {40, 200}, {{1, 6}}},
        {"bridges two blocks", {40, 1000, 500, 740}, {{1, 1}, {15, 17}}},
        {"inserted in order", {1000, 40}, {{1, 1}, {31, 1}}},
        {"joins the block after", {320, 0}, {{0, 11}}},
        {"ten words after", {0, 320}, {{0, 1}, {10, 1}}},
        {"nine words after", {0, 288}, {{0, 10}}},
        {"inside an existing block", {40, 200, 100}, {{1, 6}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SparseBitSet set;
        for (int32_t bit : c.bits) {
            ASSERT_TRUE(set.Set(bit));
        }
        EXPECT_EQ(Blocks(set), c.blocks);
        for (int32_t bit : c.bits) {
            EXPECT_TRUE(set.Test(bit)) << bit;
        }
        EXPECT_FALSE(set.Test(c.bits.front() + 1));
        ExpectWellFormed(set);
    }
}

TEST(SparseBitSetTest, FindHonoursWantedValueStartAndEnd)
{
    SparseBitSet set;
    for (int32_t bit : {3, 4, 40, 1000}) {
        set.Set(bit);
    }
    ASSERT_EQ(Blocks(set), (std::vector<std::pair<int32_t, int32_t>>{{0, 2}, {31, 1}}));
    constexpr int32_t kNoEnd = SparseBitSet::kNoEnd;
    constexpr int kAny = SparseBitSet::kAnyValue;
    struct Case {
        int32_t start;
        int32_t end;
        int wanted;
        int32_t expected;
    };
    const Case cases[] = {
        {0, kNoEnd, 1, 3},      {5, kNoEnd, 1, 40},      {41, kNoEnd, 1, 1000},
        {1001, kNoEnd, 1, -1},  {-5, kNoEnd, 1, 3},      {0, kNoEnd, 0, 0},
        {3, kNoEnd, 0, 5},      {63, kNoEnd, 0, 63},     {64, kNoEnd, 0, 64},
        {500, kNoEnd, 0, 500},  {992, kNoEnd, 0, 992},   {1000, kNoEnd, 0, 1001},
        {1024, kNoEnd, 0, -1},  {5, 39, 1, -1},          {5, 40, 1, 40},
        {41, 999, 1, -1},       {10, 5, 1, -1},          {3, 4, 0, -1},
        {0, kNoEnd, kAny, 0},   {64, kNoEnd, kAny, 992}, {2000, kNoEnd, kAny, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(set.Find(c.start, c.end, c.wanted), c.expected)
            << "start " << c.start << " end " << c.end << " wanted " << c.wanted;
    }
    EXPECT_EQ(SparseBitSet().Find(0, kNoEnd, 0), -1);
}

TEST(SparseBitSetTest, HighestSetBitSurvivesClearingButBlocksStay)
{
    SparseBitSet set;
    EXPECT_EQ(set.HighestSetBit(), -1);
    set.Set(3);
    set.Set(1000);
    EXPECT_EQ(set.HighestSetBit(), 1000);
    set.Clear(1000);
    EXPECT_EQ(set.HighestSetBit(), 3);
    set.Clear(3);
    EXPECT_EQ(set.HighestSetBit(), -1);
    EXPECT_EQ(set.BlockCount(), 2);
    EXPECT_EQ(set.AllocateId(), 0);
}

TEST(SparseBitSetTest, CopiesShareStorageUntilOneSideChanges)
{
    SparseBitSet original;
    for (int i = 0; i < 40; ++i) {
        original.AllocateId();
    }
    original.Set(2000);

    SparseBitSet copy(original);
    EXPECT_TRUE(copy.SharesStorageWith(original));
    EXPECT_TRUE(copy.Set(45));
    EXPECT_TRUE(copy.Clear(7));
    EXPECT_TRUE(copy.Set(5000));
    EXPECT_FALSE(copy.SharesStorageWith(original));
    EXPECT_FALSE(original.Test(45));
    EXPECT_TRUE(original.Test(7));
    EXPECT_FALSE(original.Test(5000));
    EXPECT_EQ(original.BlockCount(), 2);
    EXPECT_EQ(copy.AllocateId(), 7);
    EXPECT_EQ(original.AllocateId(), 40);

    // Setting a bit that is already set writes nothing and keeps sharing.
    SparseBitSet second = original;
    EXPECT_TRUE(second.Set(2000));
    EXPECT_TRUE(second.Clear(3000));
    EXPECT_TRUE(second.SharesStorageWith(original));

    // Assignment, self-assignment and moves keep the counts right.
    SparseBitSet third;
    third.Set(1);
    third = second;
    third = *&third;
    EXPECT_TRUE(third.SharesStorageWith(original));
    SparseBitSet moved(std::move(third));
    EXPECT_TRUE(moved.SharesStorageWith(original));
    EXPECT_TRUE(third.IsEmpty());
    moved.Reset();
    EXPECT_TRUE(moved.IsEmpty());
    EXPECT_TRUE(original.Test(2000));
}

TEST(SparseBitSetTest, RejectsInvalidBitsRangesAndSlots)
{
    SparseBitSet set;
    EXPECT_FALSE(set.Set(-1));
    EXPECT_FALSE(set.Clear(-1));
    EXPECT_FALSE(set.Test(-1));
    EXPECT_EQ(set.FindOrAddBlock({-1, 1}), -1);
    EXPECT_EQ(set.FindOrAddBlock({0, 0}), -1);
    EXPECT_EQ(set.FindOrAddBlock({SparseBitSet::kMaxWord, 2}), -1);
    EXPECT_FALSE(set.SetBit(0, 1));
    EXPECT_FALSE(set.WriteWord(0, 0, 1));
    EXPECT_TRUE(set.IsEmpty());

    ASSERT_TRUE(set.Set(SparseBitSet::kMaxBit));
    EXPECT_EQ(set.HighestSetBit(), SparseBitSet::kMaxBit);
    EXPECT_EQ(set.AllocateId(), 0);
    const int slot = set.FindOrAddBlock({SparseBitSet::kMaxWord, 1});
    ASSERT_GE(slot, 0);
    EXPECT_FALSE(set.SetBit(slot, 5));           // not in that block
    EXPECT_FALSE(set.SetBit(set.BlockCount(), SparseBitSet::kMaxBit));
    EXPECT_FALSE(set.WriteWord(slot, 1, 0));     // past the block's words
    EXPECT_FALSE(set.WriteWord(slot, -1, 0));
    EXPECT_TRUE(set.WriteWord(slot, 0, 0));
    EXPECT_EQ(set.HighestSetBit(), 0);
}

TEST(SparseBitSetTest, IntersectRangesIsTrueOnlyForIdenticalRanges)
{
    struct Case {
        KBitRange a;
        KBitRange b;
        bool result;
        KBitRange out;
    };
    const Case cases[] = {
        {{4, 3}, {4, 3}, true, {4, 3}},
        {{0, 10}, {2, 3}, false, {2, 3}},     // containment still false
        {{2, 3}, {0, 10}, false, {2, 3}},
        {{0, 5}, {3, 5}, false, {3, 2}},
        {{0, 2}, {2, 2}, false, {2, 0}},      // touching
        {{0, 2}, {5, 1}, false, {5, -3}},     // apart: negative count
        {{INT32_MAX - 1, 5}, {0, INT32_MAX}, false, {INT32_MAX - 1, 1}},
    };
    for (const Case& c : cases) {
        KBitRange out{-7, -7};
        EXPECT_EQ(SparseBitSet::IntersectRanges(c.a, c.b, &out), c.result);
        EXPECT_EQ(out.firstWord, c.out.firstWord);
        EXPECT_EQ(out.wordCount, c.out.wordCount);
    }
}

TEST(SparseBitSetTest, MatchesAPlainBitVectorUnderRandomChanges)
{
    constexpr int32_t kBits = 6000;
    std::mt19937 random(1234);
    SparseBitSet set;
    std::vector<bool> model(kBits, false);
    std::vector<std::pair<SparseBitSet, std::vector<bool>>> snapshots;

    for (int step = 0; step < 3000; ++step) {
        const uint32_t choice = random() % 10;
        if (choice < 4) {
            const int32_t bit = static_cast<int32_t>(random() % kBits);
            ASSERT_TRUE(set.Set(bit));
            model[bit] = true;
        } else if (choice < 7) {
            const int32_t bit = static_cast<int32_t>(random() % kBits);
            ASSERT_TRUE(set.Clear(bit));
            model[bit] = false;
        } else if (choice < 9) {
            const int32_t id = set.AllocateId();
            int32_t expected = 0;
            while (expected < kBits && model[expected]) {
                ++expected;
            }
            ASSERT_EQ(id, expected) << "step " << step;
            if (id < kBits) {
                model[id] = true;
            }
        } else if (snapshots.size() < 8) {
            snapshots.emplace_back(set, model);
        }
    }
    for (int32_t bit = 0; bit < kBits; ++bit) {
        ASSERT_EQ(set.Test(bit), model[bit]) << bit;
    }
    ExpectWellFormed(set);
    for (const auto& [copy, bits] : snapshots) {
        for (int32_t bit = 0; bit < kBits; ++bit) {
            ASSERT_EQ(copy.Test(bit), bits[bit]) << bit;
        }
    }
}

TEST(SparseBitSetTest, StorageComesFromTheDefaultPoolOnceItExists)
{
    ASSERT_TRUE(KMemoryPoolsInit());
    {
        SparseBitSet set;
        for (int i = 0; i < 1000; ++i) {
            set.AllocateId();
        }
        KMemoryReusePool* pool = KMemoryPoolsGetDefault();
        ASSERT_NE(pool, nullptr);
        EXPECT_GT(pool->GetBlocksHeld(), 0);
        // Shutting the pools down under a live set leaves the set usable.
        KMemoryPoolsRelease();
        EXPECT_EQ(set.AllocateId(), 1000);
        EXPECT_TRUE(set.Clear(10));
        EXPECT_EQ(set.AllocateId(), 10);
    }
}

TEST(SparseBitSetTest, SequentialIdsKeepOneBlock)
{
    SparseBitSet set;
    for (int32_t i = 0; i < 100000; ++i) {
        ASSERT_EQ(set.AllocateId(), i);
    }
    EXPECT_EQ(set.BlockCount(), 1);
    EXPECT_EQ(set.HighestSetBit(), 99999);
    EXPECT_EQ(set.Find(0, SparseBitSet::kNoEnd, 0), 100000);
}

// Sets large enough that the search for a free id crosses several summary
// levels: freed ids come back lowest first, and searches for clear bits
// agree with a plain model, through merges of blocks and shared copies.
TEST(SparseBitSetTest, ReuseAndSearchStayExactInLargeSets)
{
    constexpr int32_t kAllocated = 300000;
    constexpr int32_t kLimit = 460000;   // every change stays below; kLimit - 1 stays set
    SparseBitSet set;
    std::set<int32_t> clear;             // the clear positions below kLimit
    for (int32_t i = 0; i < kAllocated; ++i) {
        ASSERT_EQ(set.AllocateId(), i);
    }
    for (int32_t i = kAllocated; i < kLimit - 1; ++i) {
        clear.insert(i);
    }
    ASSERT_TRUE(set.Set(kLimit - 1));
    std::mt19937 random(99);
    auto setBit = [&](int32_t bit) {
        ASSERT_TRUE(set.Set(bit));
        clear.erase(bit);
    };
    auto clearBit = [&](int32_t bit) {
        ASSERT_TRUE(set.Clear(bit));
        clear.insert(bit);
    };
    // Separate blocks far up, then a bit between them that folds the later
    // one, with its full words, into the first: a search from inside those
    // words must still skip them.
    for (int32_t bit = 420000; bit < 420064; ++bit) setBit(bit);
    for (int32_t bit = 420400; bit < 420500; ++bit) setBit(bit);
    const int blocks = set.BlockCount();
    setBit(420200);
    ASSERT_EQ(set.BlockCount(), blocks - 1);
    EXPECT_EQ(set.Find(420416, SparseBitSet::kNoEnd, 0), 420500);

    SparseBitSet snapshot;
    std::set<int32_t> snapshotClear;
    for (int step = 0; step < 20000; ++step) {
        const uint32_t choice = random() % 10;
        if (choice < 3) {
            clearBit(static_cast<int32_t>(random() % kAllocated));
        } else if (choice == 3) {
            // A whole word, or a whole stretch of 1024 ids, so that the
            // summary's higher levels turn over too.
            const int32_t width = random() % 2 == 0 ? 32 : 1024;
            const int32_t first = static_cast<int32_t>(random() % (kAllocated / width)) * width;
            for (int32_t bit = first; bit < first + width; ++bit) clearBit(bit);
        } else if (choice < 7) {
            ASSERT_FALSE(clear.empty());
            const int32_t expected = *clear.begin();
            ASSERT_EQ(set.AllocateId(), expected) << "step " << step;
            clear.erase(clear.begin());
        } else if (choice < 9) {
            const int32_t start = static_cast<int32_t>(random() % kLimit);
            const bool bounded = random() % 2 == 0;
            const int32_t end = bounded ? start + static_cast<int32_t>(random() % 5000) : SparseBitSet::kNoEnd;
            auto next = clear.lower_bound(start);
            if (next == clear.end()) continue;   // past kLimit the answer depends on spare words
            const int32_t expected = !bounded || *next <= end ? *next : -1;
            ASSERT_EQ(set.Find(start, end, 0), expected) << "step " << step << " from " << start;
        } else {
            setBit(static_cast<int32_t>(random() % (kLimit - 1)));
        }
        if (step == 5000) {
            snapshot = set;
            snapshotClear = clear;
        }
    }
    ExpectWellFormed(set);
    for (int32_t bit = 0; bit < kLimit; bit += 7) {
        ASSERT_EQ(set.Test(bit), clear.count(bit) == 0) << bit;
        ASSERT_EQ(snapshot.Test(bit), snapshotClear.count(bit) == 0) << bit;
    }
    // The copy still hands out its own lowest free id.
    EXPECT_EQ(snapshot.AllocateId(), *snapshotClear.begin());
}
