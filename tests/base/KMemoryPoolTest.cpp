#include "sdk/base/KMemoryPool.h"

#include "sdk/base/KMemory.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <random>
#include <set>
#include <thread>
#include <vector>

using namespace duzsdk;

namespace {

// Counts the traffic a pool sends to its allocator and can be told to fail.
class CountingAlloc final : public IXAlloc {
public:
    void* Alloc(size_t size) override
    {
        if (failNext) {
            failNext = false;
            return nullptr;
        }
        ++allocs;
        return KMemAlloc(size);
    }
    void* Realloc(void* pointer, size_t size) override { return KMemRealloc(pointer, size); }
    void Free(void* pointer) override
    {
        ++frees;
        KMemFree(pointer);
    }

    int allocs = 0;
    int frees = 0;
    bool failNext = false;
};

// The pool list and default pool are process-wide; leave them as found.
class PoolListTest : public ::testing::Test {
protected:
    void TearDown() override { KMemoryPoolsRelease(); }
};

}  // namespace

TEST(KMemoryReusePoolTest, RoundsRequestsUpWithHeader)
{
    struct Case {
        size_t size;
        int sizeShift;
        size_t usable;  // rounded block size minus the 8-byte header
    };
    const Case cases[] = {
        {0, 2, 0},    {1, 2, 4},    {4, 2, 4},     {5, 2, 8},
        {100, 2, 100}, {101, 2, 104}, {1, 4, 8},   {9, 4, 24},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "size " << c.size << " shift " << c.sizeShift);
        KMemoryReusePool pool(0x20000, c.sizeShift, 0, 0);
        void* block = pool.AllocStd(c.size);
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(KMemoryReusePool::UsableSize(block), c.usable);
        std::memset(block, 0xAB, KMemoryReusePool::UsableSize(block));
        pool.FreeStd(block);
    }
}

TEST(KMemoryReusePoolTest, FreedBlockIsReusedForSameBucketOnly)
{
    KMemoryReusePool pool(0x20000, 2, 0, 0);
    CountingAlloc allocator;
    void* first = pool.Alloc(allocator, 1);
    pool.Free(allocator, first);
    EXPECT_EQ(pool.GetPooledBlockCount(), 1);
    for (size_t size = 1; size <= 4; ++size) {
        void* again = pool.Alloc(allocator, size);
        EXPECT_EQ(again, first) << "size " << size;
        pool.Free(allocator, again);
    }
    void* larger = pool.Alloc(allocator, 5);
    EXPECT_NE(larger, first);
    pool.Free(allocator, larger);
    EXPECT_EQ(allocator.allocs, 2);
    EXPECT_EQ(allocator.frees, 0);
    EXPECT_EQ(pool.GetBlocksHeld(), 2);
    EXPECT_EQ(pool.GetBytesHeld(), 12 + 16);
}

TEST(KMemoryReusePoolTest, BlocksReachingMaxSizeGoBackAtOnce)
{
    KMemoryReusePool pool(0x20000, 2, 0, 0);
    CountingAlloc allocator;
    // 0x20000 - 8 bytes of user data make a block of exactly 0x20000.
    for (size_t size : {size_t(0x20000 - 8), size_t(0x20000), size_t(0x30000)}) {
        void* block = pool.Alloc(allocator, size);
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(pool.GetBlocksHeld(), 1);
        pool.Free(allocator, block);
        EXPECT_EQ(pool.GetBlocksHeld(), 0);
        EXPECT_EQ(pool.GetBytesHeld(), 0);
        EXPECT_EQ(pool.GetPooledBlockCount(), 0);
    }
    EXPECT_EQ(allocator.frees, 3);
    // One step below is still pooled.
    void* block = pool.Alloc(allocator, 0x20000 - 12);
    pool.Free(allocator, block);
    EXPECT_EQ(pool.GetPooledBlockCount(), 1);
}

TEST(KMemoryReusePoolTest, MaxSizeBetweenStepsNeverIndexesPastBuckets)
{
    // 14 >> 2 gives three buckets (0..2); a 12-byte block would be bucket 3.
    KMemoryReusePool pool(14, 2, 0, 0);
    CountingAlloc allocator;
    void* block = pool.Alloc(allocator, 1);
    pool.Free(allocator, block);
    EXPECT_EQ(allocator.frees, 1);
    EXPECT_EQ(pool.GetPooledBlockCount(), 0);
}

TEST(KMemoryReusePoolTest, RetainLimitSendsBlocksBackWhileAboveIt)
{
    KMemoryReusePool pool(0x20000, 2, 0, 100);
    CountingAlloc allocator;
    std::vector<void*> blocks;
    for (int i = 0; i < 10; ++i) {
        blocks.push_back(pool.Alloc(allocator, 24));  // 32-byte blocks
    }
    EXPECT_EQ(pool.GetBytesHeld(), 320);
    for (void* block : blocks) {
        pool.Free(allocator, block);
    }
    // Given back while more than 100 bytes are held: 320 down to 96.
    EXPECT_EQ(allocator.frees, 7);
    EXPECT_EQ(pool.GetPooledBlockCount(), 3);
    EXPECT_EQ(pool.GetBytesHeld(), 96);
}

TEST(KMemoryReusePoolTest, AlignsUserDataAndKeepsPadThroughReuse)
{
    for (int alignShift : {3, 4, 6, 8}) {
        SCOPED_TRACE(alignShift);
        KMemoryReusePool pool(0x20000, 2, alignShift, 0);
        std::vector<void*> blocks;
        for (size_t size = 0; size < 80; size += 7) {
            void* block = pool.AllocStd(size);
            ASSERT_NE(block, nullptr);
            EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % (uintptr_t(1) << alignShift), 0u);
            EXPECT_GE(KMemoryReusePool::UsableSize(block), size);
            std::memset(block, 0x5A, KMemoryReusePool::UsableSize(block));
            blocks.push_back(block);
        }
        for (void* block : blocks) {
            pool.FreeStd(block);
        }
        for (size_t size = 0; size < 80; size += 7) {
            void* block = pool.AllocStd(size);
            EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % (uintptr_t(1) << alignShift), 0u);
            std::memset(block, 0xA5, KMemoryReusePool::UsableSize(block));
            pool.FreeStd(block);
        }
    }
}

TEST(KMemoryReusePoolTest, UnrepresentableSizesAndAllocatorFailureGiveNull)
{
    KMemoryReusePool pool(0x20000, 2, 4, 0);
    CountingAlloc allocator;
    for (size_t size : {SIZE_MAX, SIZE_MAX - 8, SIZE_MAX - 20, size_t(UINT32_MAX)}) {
        EXPECT_EQ(pool.Alloc(allocator, size), nullptr) << size;
    }
    EXPECT_EQ(allocator.allocs, 0);

    allocator.failNext = true;
    EXPECT_EQ(pool.Alloc(allocator, 16), nullptr);
    EXPECT_EQ(pool.GetBlocksHeld(), 0);
    EXPECT_EQ(pool.GetBytesHeld(), 0);
    pool.Free(allocator, nullptr);
    EXPECT_EQ(allocator.frees, 0);
}

TEST(KMemoryReusePoolTest, ReallocCopiesWhatBothBlocksHold)
{
    KMemoryReusePool pool(0x20000, 2, 0, 0);
    CountingAlloc allocator;
    auto* bytes = static_cast<uint8_t*>(pool.Realloc(allocator, nullptr, 20));
    ASSERT_NE(bytes, nullptr);
    for (int i = 0; i < 20; ++i) {
        bytes[i] = static_cast<uint8_t>(i + 1);
    }
    auto* grown = static_cast<uint8_t*>(pool.Realloc(allocator, bytes, 200));
    ASSERT_NE(grown, nullptr);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(grown[i], i + 1);
    }
    auto* shrunk = static_cast<uint8_t*>(pool.Realloc(allocator, grown, 5));
    ASSERT_NE(shrunk, nullptr);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(shrunk[i], i + 1);
    }
    // A failed reallocation leaves the old block alive and intact.
    allocator.failNext = true;
    EXPECT_EQ(pool.Realloc(allocator, shrunk, 4000), nullptr);
    EXPECT_EQ(shrunk[4], 5);
    pool.Free(allocator, shrunk);
}

namespace {
std::atomic<int> gHookFrees{0};
void CountingFree(void* pointer)
{
    ++gHookFrees;
    std::free(pointer);
}
}  // namespace

TEST(KMemoryReusePoolTest, PurgeReturnsPooledBlocksAndKeepsBlocksInUseCounted)
{
    const KMemHooks saved = KMemGetHooks();
    KMemHooks hooks = saved;
    hooks.free = CountingFree;
    KMemSetHooks(hooks);
    {
        KMemoryReusePool pool(0x20000, 2, 0, 0);
        void* kept = pool.AllocStd(8);  // 16-byte block
        void* a = pool.AllocStd(1);     // 12-byte blocks
        void* b = pool.AllocStd(1);
        pool.FreeStd(a);
        pool.FreeStd(b);
        gHookFrees = 0;
        pool.Purge();
        EXPECT_EQ(gHookFrees, 2);
        EXPECT_EQ(pool.GetPooledBlockCount(), 0);
        EXPECT_EQ(pool.GetBlocksHeld(), 1);
        EXPECT_EQ(pool.GetBytesHeld(), 16);
        pool.FreeStd(kept);
    }
    KMemSetHooks(saved);
}

TEST(KMemoryReusePoolTest, ConcurrentUseNeverHandsOutABlockTwice)
{
    KMemoryReusePool pool(0x20000, 2, 0, 0);
    std::mutex liveLock;
    std::set<void*> live;
    std::atomic<int> duplicates{0};
    std::atomic<int> corrupted{0};

    auto worker = [&](uint32_t seed) {
        std::mt19937 random(seed);
        std::vector<std::pair<uint32_t*, uint32_t>> mine;
        for (uint32_t step = 0; step < 4000; ++step) {
            if (mine.size() < 32 && (mine.empty() || random() % 3 != 0)) {
                const size_t words = 1 + random() % 24;
                auto* block = static_cast<uint32_t*>(pool.AllocStd(words * 4));
                ASSERT_NE(block, nullptr);
                {
                    std::lock_guard<std::mutex> guard(liveLock);
                    if (!live.insert(block).second) {
                        ++duplicates;
                    }
                }
                // Stamp the whole user area; another owner would overwrite it.
                const uint32_t stamp = (seed << 16) ^ step;
                const size_t usable = KMemoryReusePool::UsableSize(block) / 4;
                for (size_t i = 0; i < usable; ++i) {
                    block[i] = stamp;
                }
                mine.emplace_back(block, stamp);
            } else {
                const size_t index = random() % mine.size();
                auto [block, stamp] = mine[index];
                mine[index] = mine.back();
                mine.pop_back();
                const size_t usable = KMemoryReusePool::UsableSize(block) / 4;
                for (size_t i = 0; i < usable; ++i) {
                    if (block[i] != stamp) {
                        ++corrupted;
                        break;
                    }
                }
                {
                    std::lock_guard<std::mutex> guard(liveLock);
                    live.erase(block);
                }
                pool.FreeStd(block);
            }
        }
        for (auto [block, stamp] : mine) {
            {
                std::lock_guard<std::mutex> guard(liveLock);
                live.erase(block);
            }
            pool.FreeStd(block);
        }
    };

    std::vector<std::thread> threads;
    for (uint32_t t = 1; t <= 6; ++t) {
        threads.emplace_back(worker, t);
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(duplicates, 0);
    EXPECT_EQ(corrupted, 0);
    EXPECT_TRUE(live.empty());
    EXPECT_EQ(pool.GetPooledBlockCount(), pool.GetBlocksHeld());
}

TEST_F(PoolListTest, CreateNeedsTheListAndReleaseDestroysEveryPool)
{
    KMemoryPoolsRelease();
    EXPECT_FALSE(KMemoryPoolsIsInitialized());
    EXPECT_EQ(KMemoryPoolsCreate(0x20000, 2, 0, 0), nullptr);
    EXPECT_EQ(KMemoryPoolsGetOrCreateDefault(), nullptr);

    ASSERT_TRUE(KMemoryPoolsInit());
    EXPECT_TRUE(KMemoryPoolsInit());  // a second start-up keeps the list
    KMemoryReusePool* pool = KMemoryPoolsCreate(0x1000, 3, 0, 0);
    ASSERT_NE(pool, nullptr);
    EXPECT_EQ(pool->GetMaxSize(), 0x1000u);
    EXPECT_EQ(pool->GetSizeShift(), 3);

    void* block = pool->AllocStd(10);
    pool->FreeStd(block);
    EXPECT_EQ(pool->GetPooledBlockCount(), 1);
    KMemoryPoolsPurgeAll();
    EXPECT_EQ(pool->GetPooledBlockCount(), 0);

    KMemoryPoolsRelease();
    EXPECT_FALSE(KMemoryPoolsIsInitialized());
    EXPECT_EQ(KMemoryPoolsCreate(0x20000, 2, 0, 0), nullptr);
}

TEST_F(PoolListTest, DefaultPoolIsMadeOnDemandAndForgottenWhenDestroyed)
{
    ASSERT_TRUE(KMemoryPoolsInit());
    EXPECT_EQ(KMemoryPoolsGetDefault(), nullptr);
    KMemoryReusePool* pool = KMemoryPoolsGetOrCreateDefault();
    ASSERT_NE(pool, nullptr);
    EXPECT_EQ(KMemoryPoolsGetDefault(), pool);
    EXPECT_EQ(KMemoryPoolsGetOrCreateDefault(), pool);
    EXPECT_EQ(pool->GetMaxSize(), 0x20000u);
    EXPECT_EQ(pool->GetSizeShift(), 2);
    EXPECT_EQ(pool->GetAlignShift(), 0);
    EXPECT_EQ(pool->GetRetainLimit(), 0x200000u);

    KMemoryPoolsRelease();
    EXPECT_EQ(KMemoryPoolsGetDefault(), nullptr);
}

TEST_F(PoolListTest, DefaultBlocksOutliveStartUpAndShutdown)
{
    KMemoryPoolsRelease();
    // Taken before start-up, freed while the default pool exists, and the
    // other way round: the block layout is the same either way.
    void* early = KMemoryPoolsAllocDefault(40);
    ASSERT_NE(early, nullptr);
    std::memset(early, 1, 40);
    ASSERT_TRUE(KMemoryPoolsInit());
    void* during = KMemoryPoolsAllocDefault(40);
    ASSERT_NE(during, nullptr);
    EXPECT_NE(KMemoryPoolsGetDefault(), nullptr);
    KMemoryPoolsFreeDefault(early);
    KMemoryPoolsRelease();
    std::memset(during, 2, 40);
    KMemoryPoolsFreeDefault(during);
    KMemoryPoolsFreeDefault(nullptr);
}
