// Growth of connection lookups with the length of a plug's lists: connecting
// many sources to one plug (each connect asks whether the source is already
// there) and adding many nodes under a scene's root (each node joins the
// scene's list of objects). Quadrupling the count should roughly quadruple
// the time, and the time per item stay flat.
#include "bench/BenchHeapPeak.h"
#include "sdk/object/KDuzObject.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/KPlug.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <random>
#include <unordered_set>
#include <vector>

namespace {

using namespace duzsdk;

// Connect n sources to one plug, asking before each connect whether the
// source is connected already, as the object model does.
void BM_ConnectManySources(benchmark::State& state) {
    KPlugSystemInit();
    const int n = static_cast<int>(state.range(0));
    std::vector<std::unique_ptr<KPlug>> sources;
    for (int i = 0; i < n; ++i) sources.push_back(std::make_unique<KPlug>());
    for (auto _ : state) {
        KPlug destination;
        for (auto& s : sources) {
            if (!destination.IsSourceConnected(s.get())) destination.ConnectSource(s.get());
        }
        benchmark::DoNotOptimize(destination.GetSourceCount());
        state.PauseTiming();
        destination.DisconnectAllSources();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * n);
    state.SetComplexityN(n);
    KPlugSystemRelease();
}
BENCHMARK(BM_ConnectManySources)->RangeMultiplier(4)->Range(1 << 10, 1 << 14)->Complexity();

// Cut n sources from one plug in a shuffled order (fixed seed): each is
// found and its entry leaves from anywhere in the list. Only the cuts are
// timed; per source, the time should stay flat from 10^3 to 10^6, beside the
// hash-set baseline below.
void BM_DisconnectSourcesShuffled(benchmark::State& state) {
    KPlugSystemInit();
    const int n = static_cast<int>(state.range(0));
    std::vector<std::unique_ptr<KPlug>> sources;
    for (int i = 0; i < n; ++i) sources.push_back(std::make_unique<KPlug>());
    std::vector<KPlug*> order;
    for (auto& s : sources) order.push_back(s.get());
    std::shuffle(order.begin(), order.end(), std::mt19937(20261211u));
    for (auto _ : state) {
        state.PauseTiming();
        KPlug destination;
        for (auto& s : sources) destination.ConnectSource(s.get());
        state.ResumeTiming();
        for (KPlug* s : order) destination.DisconnectSource(s);
        benchmark::DoNotOptimize(destination.GetSourceCount());
    }
    state.SetItemsProcessed(state.iterations() * n);
    state.counters["time_per_cut"] =
        benchmark::Counter(n, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    KPlugSystemRelease();
}
BENCHMARK(BM_DisconnectSourcesShuffled)->Arg(1000)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// Add n nodes directly under the root of a scene; only the additions are
// timed (making the nodes costs the same for any scene size).
void BM_BuildSceneUnderRoot(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        KDuzSdkManager* manager = KDuzSdkManager::Create();
        KDuzScene* scene = KDuzScene::Create(manager, "scene");
        KDuzNode* root = scene->GetRootNode();
        std::vector<KDuzNode*> nodes;
        for (int i = 0; i < n; ++i) nodes.push_back(KDuzNode::Create(manager, "node"));
        state.ResumeTiming();
        for (KDuzNode* node : nodes) root->AddChild(node);
        benchmark::DoNotOptimize(root->GetChildCount());
        state.PauseTiming();
        manager->Destroy();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * n);
    state.SetComplexityN(n);
}
BENCHMARK(BM_BuildSceneUnderRoot)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond)->Complexity();

// What a reader does per connection: n objects are in the scene already
// (each read record joins it), then each is linked under one object of the
// scene, and every link asks whether the object is in the scene. The first
// objects sit furthest from the end of the scene's list. Reported per link;
// the baseline in the same run is a hash-set look-up of the same pointers,
// the floor of any such question.
void BM_LinkObjectsAlreadyInScene(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        KDuzSdkManager* manager = KDuzSdkManager::Create();
        KDuzScene* scene = KDuzScene::Create(manager, "scene");
        KDuzObject* anchor = KDuzObject::Create(manager, "anchor");
        scene->ConnectSrcObject(anchor);
        std::vector<KDuzObject*> objects;
        objects.reserve(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) {
            objects.push_back(KDuzObject::Create(manager, "object"));
            scene->ConnectSrcObject(objects.back());
        }
        state.ResumeTiming();
        for (KDuzObject* object : objects) {
            if (!anchor->IsConnectedSrcObject(object)) anchor->ConnectSrcObject(object);
        }
        benchmark::DoNotOptimize(anchor->GetSrcObjectCount(KClassId()));
        state.PauseTiming();
        manager->Destroy();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * n);
    state.counters["time_per_link"] =
        benchmark::Counter(n, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_LinkObjectsAlreadyInScene)->Arg(1000)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_HashSetLookupBaseline(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::vector<std::unique_ptr<int>> objects;
    for (int i = 0; i < n; ++i) objects.push_back(std::make_unique<int>(i));
    for (auto _ : state) {
        std::unordered_set<const int*> members;
        for (auto& object : objects) members.insert(object.get());
        std::unordered_set<const int*> linked;
        for (auto& object : objects) {
            if (members.count(object.get()) != 0 && linked.count(object.get()) == 0) linked.insert(object.get());
        }
        benchmark::DoNotOptimize(linked.size());
    }
    state.SetItemsProcessed(state.iterations() * n);
    state.counters["time_per_link"] =
        benchmark::Counter(n, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_HashSetLookupBaseline)->Arg(1000)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// Heap bytes one object costs once it is in a scene, measured the same way
// as the links below are made.
int64_t ObjectFootprint() {
    static const int64_t bytes = [] {
        constexpr int kCount = 2000;
        KDuzSdkManager* manager = KDuzSdkManager::Create();
        KDuzScene* scene = KDuzScene::Create(manager, "scene");
        duzbench::MarkHeapBase();
        for (int i = 0; i < kCount; ++i) scene->ConnectSrcObject(KDuzObject::Create(manager, "object"));
        const int64_t perObject = duzbench::HeapPeakSinceBase() / kCount;
        manager->Destroy();
        return perObject;
    }();
    return bytes;
}

// The same link made with standard containers on objects of our objects'
// footprint: each object a block of that many bytes made in the same order,
// holding a list of destinations and a count per destination; the anchor a
// list of sources with its counts. A link touches memory spread as far apart
// as ours, so cache misses grow with n here too: the ratio of the two is
// what shows whether a link does more than a constant amount of work.
struct BaselineObject {
    std::vector<BaselineObject*> destinations;
    std::unordered_map<const BaselineObject*, int> destinationCounts;
};

void BM_LinkBaselineSameFootprint(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const auto footprint = static_cast<size_t>(std::max<int64_t>(ObjectFootprint(), sizeof(BaselineObject)));
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<std::unique_ptr<char[]>> blocks;
        std::vector<BaselineObject*> objects;
        blocks.reserve(static_cast<size_t>(n));
        objects.reserve(static_cast<size_t>(n));
        std::unordered_map<const BaselineObject*, int> sceneCounts;
        std::vector<BaselineObject*> sceneSources;
        for (int i = 0; i < n; ++i) {
            blocks.push_back(std::make_unique<char[]>(footprint));
            auto* object = new (blocks.back().get()) BaselineObject;
            objects.push_back(object);
            sceneSources.push_back(object);
            ++sceneCounts[object];
        }
        std::vector<BaselineObject*> anchorSources;
        std::unordered_map<const BaselineObject*, int> anchorCounts;
        state.ResumeTiming();
        for (BaselineObject* object : objects) {
            if (sceneCounts.count(object) == 0 || anchorCounts.count(object) != 0) continue;
            anchorSources.push_back(object);
            ++anchorCounts[object];
            object->destinations.push_back(nullptr);
            ++object->destinationCounts[nullptr];
        }
        benchmark::DoNotOptimize(anchorSources.size());
        state.PauseTiming();
        for (BaselineObject* object : objects) object->~BaselineObject();
        blocks.clear();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * n);
    state.counters["time_per_link"] =
        benchmark::Counter(n, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["object_bytes"] = static_cast<double>(footprint);
}
BENCHMARK(BM_LinkBaselineSameFootprint)->Arg(1000)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// Copying a tree as readers do: n children under one root are walked by
// index, forward while each copy joins another root, and backward as a
// pre-order stack does. Walks by index go on from where the last one
// stopped; connections elsewhere must not send them back to the start.
// Reported per child; the baseline in the same run walks a vector.
void BM_WalkChildrenWhileConnecting(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const bool backward = state.range(1) != 0;
    for (auto _ : state) {
        state.PauseTiming();
        KDuzSdkManager* manager = KDuzSdkManager::Create();
        KDuzScene* scene = KDuzScene::Create(manager, "scene");
        KDuzNode* source = scene->GetRootNode();
        for (int i = 0; i < n; ++i) source->AddChild(KDuzNode::Create(manager, "node"));
        KDuzNode* target = KDuzNode::Create(manager, "target");
        std::vector<KDuzNode*> copies;
        for (int i = 0; i < n; ++i) copies.push_back(KDuzNode::Create(manager, "copy"));
        state.ResumeTiming();
        int found = 0;
        if (backward) {
            for (int i = source->GetChildCount() - 1; i >= 0; --i) found += source->GetChild(i) != nullptr;
        } else {
            for (int i = 0; i < source->GetChildCount(); ++i) {
                found += source->GetChild(i) != nullptr;
                target->AddChild(copies[static_cast<size_t>(i)]);
            }
        }
        benchmark::DoNotOptimize(found);
        state.PauseTiming();
        manager->Destroy();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * n);
    state.counters["time_per_child"] =
        benchmark::Counter(n, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_WalkChildrenWhileConnecting)
    ->ArgsProduct({{1000, 10000}, {0, 1}})
    ->ArgNames({"children", "backward"})
    ->Unit(benchmark::kMillisecond);

void BM_WalkVectorBaseline(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::vector<std::unique_ptr<int>> children;
    for (int i = 0; i < n; ++i) children.push_back(std::make_unique<int>(i));
    std::vector<int*> copies;
    copies.reserve(static_cast<size_t>(n));
    for (auto _ : state) {
        copies.clear();
        for (auto& child : children) copies.push_back(child.get());
        benchmark::DoNotOptimize(copies.data());
    }
    state.SetItemsProcessed(state.iterations() * n);
    state.counters["time_per_child"] =
        benchmark::Counter(n, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_WalkVectorBaseline)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
