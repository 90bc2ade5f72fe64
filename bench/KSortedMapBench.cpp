// Filling the sorted maps with keys in scrambled order, then looking each
// one up, at growing sizes; std::multimap with the same keys is the
// baseline in the same run. Per-item time that stays flat as the size grows
// means n log n filling.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <strings.h>
#include <map>
#include <string>
#include <vector>

#include "sdk/base/KSortedPtrMap.h"
#include "sdk/base/KSortedStringMap.h"

namespace {

using namespace duzsdk;

// A fixed permutation of 0 .. n - 1 spread over pointer-like values.
std::vector<uintptr_t> ScrambledKeys(int n)
{
    std::vector<uintptr_t> keys(static_cast<size_t>(n));
    uint64_t state = 88172645463325252ull;
    for (int i = 0; i < n; ++i) {
        keys[static_cast<size_t>(i)] = static_cast<uintptr_t>(i) * 16 + 0x10000;
    }
    for (int i = n - 1; i > 0; --i) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        std::swap(keys[static_cast<size_t>(i)], keys[static_cast<size_t>(state % static_cast<uint64_t>(i + 1))]);
    }
    return keys;
}

std::vector<std::string> ScrambledNames(int n)
{
    std::vector<std::string> names;
    names.reserve(static_cast<size_t>(n));
    for (uintptr_t key : ScrambledKeys(n)) {
        names.push_back("Model::Node_" + std::to_string(key));
    }
    return names;
}

void PtrMapScrambledFill(benchmark::State& state)
{
    const std::vector<uintptr_t> keys = ScrambledKeys(static_cast<int>(state.range(0)));
    int value = 0;
    for (auto _ : state) {
        KSortedPtrMap map(20);
        for (uintptr_t key : keys) {
            map.Insert(key, &value);
        }
        for (uintptr_t key : keys) {
            benchmark::DoNotOptimize(map.Find(key));
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(PtrMapScrambledFill)->RangeMultiplier(4)->Range(1 << 10, 1 << 16);

void PtrMapScrambledFillBaselineStdMultimap(benchmark::State& state)
{
    const std::vector<uintptr_t> keys = ScrambledKeys(static_cast<int>(state.range(0)));
    int value = 0;
    for (auto _ : state) {
        std::multimap<uintptr_t, void*> map;
        for (uintptr_t key : keys) {
            map.emplace(key, &value);
        }
        for (uintptr_t key : keys) {
            benchmark::DoNotOptimize(map.find(key));
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(PtrMapScrambledFillBaselineStdMultimap)->RangeMultiplier(4)->Range(1 << 10, 1 << 16);

void StringMapScrambledFill(benchmark::State& state)
{
    const std::vector<std::string> names = ScrambledNames(static_cast<int>(state.range(0)));
    int value = 0;
    for (auto _ : state) {
        KSortedStringMap map(20);
        for (const std::string& name : names) {
            map.Insert(name.c_str(), &value);
        }
        for (const std::string& name : names) {
            benchmark::DoNotOptimize(map.Find(name.c_str()));
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(StringMapScrambledFill)->RangeMultiplier(4)->Range(1 << 10, 1 << 16);

// The same case-insensitive order the map uses, so the baseline does the
// same comparisons.
struct LessNoCase {
    bool operator()(const std::string& a, const std::string& b) const
    {
        return strcasecmp(a.c_str(), b.c_str()) < 0;
    }
};

void StringMapScrambledFillBaselineStdMultimap(benchmark::State& state)
{
    const std::vector<std::string> names = ScrambledNames(static_cast<int>(state.range(0)));
    int value = 0;
    for (auto _ : state) {
        std::multimap<std::string, void*, LessNoCase> map;
        for (const std::string& name : names) {
            map.emplace(name, &value);
        }
        for (const std::string& name : names) {
            benchmark::DoNotOptimize(map.find(name));
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(StringMapScrambledFillBaselineStdMultimap)->RangeMultiplier(4)->Range(1 << 10, 1 << 16);

}  // namespace
