// Id allocation as the object world runs it: many objects made in a row,
// then churn where ids are given back and taken again.
#include "sdk/base/KMemoryPool.h"
#include "sdk/base/SparseBitSet.h"

#include <benchmark/benchmark.h>

#include <random>
#include <set>
#include <vector>

using namespace duzsdk;

static void BM_AllocateSequentialIds(benchmark::State& state)
{
    KMemoryPoolsInit();
    const auto count = static_cast<int32_t>(state.range(0));
    for (auto _ : state) {
        SparseBitSet set;
        for (int32_t i = 0; i < count; ++i) {
            benchmark::DoNotOptimize(set.AllocateId());
        }
    }
    state.SetItemsProcessed(state.iterations() * count);
    KMemoryPoolsRelease();
}
BENCHMARK(BM_AllocateSequentialIds)->Arg(1 << 10)->Arg(1 << 16)->Arg(1 << 20);

static void BM_ReleaseAndReuseIds(benchmark::State& state)
{
    KMemoryPoolsInit();
    const auto count = static_cast<int32_t>(state.range(0));
    SparseBitSet set;
    for (int32_t i = 0; i < count; ++i) {
        set.AllocateId();
    }
    std::mt19937 random(7);
    for (auto _ : state) {
        const auto id = static_cast<int32_t>(random() % count);
        set.Clear(id);
        benchmark::DoNotOptimize(set.AllocateId());
    }
    state.SetItemsProcessed(state.iterations());
    KMemoryPoolsRelease();
}
BENCHMARK(BM_ReleaseAndReuseIds)->RangeMultiplier(4)->Range(1 << 10, 1 << 20);

// The baseline in the same run: a free list kept in a std::set, lowest id
// first, beside a high-water mark.
static void BM_ReleaseAndReuseIdsBaselineStdSet(benchmark::State& state)
{
    const auto count = static_cast<int32_t>(state.range(0));
    std::set<int32_t> free;
    std::vector<char> used(static_cast<size_t>(count), 1);
    int32_t next = count;
    std::mt19937 random(7);
    for (auto _ : state) {
        const auto id = static_cast<int32_t>(random() % count);
        if (used[static_cast<size_t>(id)] != 0) {
            used[static_cast<size_t>(id)] = 0;
            free.insert(id);
        }
        int32_t taken;
        if (!free.empty()) {
            taken = *free.begin();
            free.erase(free.begin());
            used[static_cast<size_t>(taken)] = 1;
        } else {
            taken = next++;
        }
        benchmark::DoNotOptimize(taken);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReleaseAndReuseIdsBaselineStdSet)->RangeMultiplier(4)->Range(1 << 10, 1 << 20);

static void BM_CopyThenWrite(benchmark::State& state)
{
    KMemoryPoolsInit();
    SparseBitSet set;
    for (int32_t i = 0; i < 4096; ++i) {
        set.Set(i * 97);
    }
    int32_t bit = 0;
    for (auto _ : state) {
        SparseBitSet copy(set);
        copy.Set(bit++ % 400000);
        benchmark::DoNotOptimize(copy.Test(5));
    }
    KMemoryPoolsRelease();
}
BENCHMARK(BM_CopyThenWrite);

static void BM_PoolSmallBlocks(benchmark::State& state)
{
    KMemoryReusePool pool(0x20000, 2, 0, 0);
    std::vector<void*> blocks(256);
    for (auto _ : state) {
        for (size_t i = 0; i < blocks.size(); ++i) {
            blocks[i] = pool.AllocStd(16 + (i % 8) * 4);
        }
        for (void* block : blocks) {
            pool.FreeStd(block);
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(blocks.size()));
}
BENCHMARK(BM_PoolSmallBlocks);
