// Connection engine and handle pool costs of the internal object model.
#include "sdk/object/KObject.h"
#include "sdk/object/KPlug.h"
#include "sdk/object/KSortedSet.h"
#include "sdk/object/KWorld.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <vector>

using namespace duzsdk;

// Connect n sources to one plug, then cut them all (last first).
static void BM_ConnectDisconnectAll(benchmark::State& state) {
    KPlugSystemInit();
    const int n = static_cast<int>(state.range(0));
    std::vector<std::unique_ptr<KPlug>> sources;
    for (int i = 0; i < n; ++i) sources.push_back(std::make_unique<KPlug>());
    KPlug destination;
    for (auto _ : state) {
        for (auto& s : sources) destination.ConnectSource(s.get());
        destination.DisconnectAllSources();
    }
    state.SetItemsProcessed(state.iterations() * n);
    KPlugSystemRelease();
}
BENCHMARK(BM_ConnectDisconnectAll)->Arg(16)->Arg(1024)->Arg(16384);

// Objects mirror their object connections into a typed child plug.
static void BM_ObjectConnectWithMirror(benchmark::State& state) {
    KDuzSdkInit();
    const int n = static_cast<int>(state.range(0));
    std::vector<KObject*> sources;
    for (int i = 0; i < n; ++i) sources.push_back(new KObject);
    auto* destination = new KObject;
    destination->GetSourceCount(kPlugTypeKObject);   // creates the mirroring child
    for (auto _ : state) {
        for (KObject* s : sources) destination->ConnectSource(s);
        destination->DisconnectAllSources();
    }
    state.SetItemsProcessed(state.iterations() * n);
    for (KObject* s : sources) s->Destroy();
    destination->Destroy();
    KDuzSdkUninit();
}
BENCHMARK(BM_ObjectConnectWithMirror)->Arg(1024)->Arg(16384);

static void BM_HandleAllocateRelease(benchmark::State& state) {
    KPlugSystemInit();
    for (auto _ : state) {
        KPlug plug;
        benchmark::DoNotOptimize(plug.GetHandle());
    }
    KPlugSystemRelease();
}
BENCHMARK(BM_HandleAllocateRelease);

static void BM_SortedSetInsert(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        KSortedSet<void> set;
        for (int i = 1; i <= n; ++i) set.Insert(reinterpret_cast<void*>(static_cast<std::uintptr_t>(i) * 16));
        benchmark::DoNotOptimize(set.GetCount());
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_SortedSetInsert)->Arg(100000);
