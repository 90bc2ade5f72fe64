#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "sdk/base/KDynamicArray.h"
#include "sdk/base/KSortedPtrMap.h"
#include "sdk/base/KSortedStringMap.h"
#include "sdk/base/KString.h"

namespace {

using namespace duzsdk;

void StringAppendChar(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        KString s;
        for (int i = 0; i < n; ++i) {
            s.AppendChar('x');
        }
        benchmark::DoNotOptimize(s.Buffer());
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(StringAppendChar)->Arg(1 << 10)->Arg(1 << 16);

void StringCopyShort(benchmark::State& state)
{
    const KString source("Model::Cube_01");
    for (auto _ : state) {
        KString copy(source);
        benchmark::DoNotOptimize(copy.Buffer());
    }
}
BENCHMARK(StringCopyShort);

void ArrayAddPointers(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    int dummy = 0;
    for (auto _ : state) {
        KPointerArray<int> array(16);
        for (int i = 0; i < n; ++i) {
            array.Add(&dummy);
        }
        benchmark::DoNotOptimize(array.Data());
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(ArrayAddPointers)->Arg(1 << 10)->Arg(1 << 18);

void StringMapInsertAndFind(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    std::vector<std::string> keys;
    for (int i = 0; i < n; ++i) {
        char key[32];
        std::snprintf(key, sizeof key, "Model::node%d", (i * 7919) % n);
        keys.emplace_back(key);
    }
    int value = 0;
    for (auto _ : state) {
        KSortedStringMap map(20);
        for (const std::string& key : keys) {
            map.Insert(key.c_str(), &value);
        }
        for (const std::string& key : keys) {
            benchmark::DoNotOptimize(map.Find(key.c_str()));
        }
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(StringMapInsertAndFind)->Arg(1 << 10)->Arg(1 << 14);

void PtrMapInsertAndFind(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    int value = 0;
    for (auto _ : state) {
        KSortedPtrMap map(20);
        for (int i = 0; i < n; ++i) {
            map.Insert(static_cast<uintptr_t>((i * 7919) % n), &value);
        }
        for (int i = 0; i < n; ++i) {
            benchmark::DoNotOptimize(map.Find(static_cast<uintptr_t>(i)));
        }
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(PtrMapInsertAndFind)->Arg(1 << 10)->Arg(1 << 14);

}  // namespace
