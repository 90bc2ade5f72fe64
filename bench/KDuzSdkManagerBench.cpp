// Growth of the SDK manager's object life cycle with the number of objects:
// creating objects, connecting them below a scene-like object, querying the
// registry and destroying the manager with everything it holds. Doubling
// the object count should roughly double the time.
#include "sdk/object/KDuzObject.h"
#include "sdk/object/KDuzProperty.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/PropertyDataTypeMap.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <random>
#include <string>
#include <unordered_set>
#include <vector>

namespace {

using namespace duzsdk;

void BM_CreateConnectDestroy(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        KDuzSdkManager* manager = KDuzSdkManager::Create();
        KDuzObject* root = KDuzObject::Create(manager, "root");
        for (int i = 0; i < count; ++i) root->ConnectSrcObject(KDuzObject::Create(manager, "child"));
        benchmark::DoNotOptimize(manager->GetObjectCount());
        manager->Destroy();
    }
    state.SetComplexityN(count);
}
BENCHMARK(BM_CreateConnectDestroy)->RangeMultiplier(2)->Range(1 << 10, 1 << 14)->Complexity();

void BM_PropertiesOnOneObject(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    KDuzSdkManager* manager = KDuzSdkManager::Create();
    PropertyDataType number = PropertyDataTypeFromName("Number");
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) names.push_back("p" + std::to_string(i));
    for (auto _ : state) {
        KDuzObject* object = KDuzObject::Create(manager, "holder");
        for (int i = 0; i < count; ++i) {
            KDuzProperty property(object, names[static_cast<size_t>(i)].c_str(), number);
            double value = i;
            property.SetValue(&value, 4);
        }
        object->Destroy();
    }
    manager->Destroy();
    state.SetComplexityN(count);
}
BENCHMARK(BM_PropertiesOnOneObject)->RangeMultiplier(2)->Range(1 << 8, 1 << 12)->Complexity();

}  // namespace

// Destroying N nodes one by one under a scene's root, in the order they were
// made, in reverse and shuffled; each size runs once. per_item_ns is the figure to
// compare: it should stay flat from 10^3 to 10^5. The baseline erases the
// same pointers from a vector (by value, same order) and from a hash set,
// the flat floor of any list that must forget an entry.
namespace {

double SinceNs(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
}

enum class Order { kCreation, kReverse, kShuffled };

// A fixed seed, so every run destroys in the same order.
constexpr unsigned kShuffleSeed = 20261211u;

void DestroyNodes(benchmark::State& state, Order order) {
    const int count = static_cast<int>(state.range(0));
    double total = 0;
    for (auto _ : state) {
        KDuzSdkManager* manager = KDuzSdkManager::Create();
        KDuzScene* scene = KDuzScene::Create(manager, "");
        std::vector<KDuzNode*> nodes;
        nodes.reserve(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i) {
            nodes.push_back(KDuzNode::Create(manager, ("Node" + std::to_string(i)).c_str()));
            scene->GetRootNode()->AddChild(nodes.back());
        }
        if (order == Order::kReverse) std::reverse(nodes.begin(), nodes.end());
        if (order == Order::kShuffled) std::shuffle(nodes.begin(), nodes.end(), std::mt19937(kShuffleSeed));
        const auto start = std::chrono::steady_clock::now();
        for (KDuzNode* node : nodes) node->Destroy();
        const double ns = SinceNs(start);
        state.SetIterationTime(ns * 1e-9);
        total += ns;
        if (scene->GetRootNode()->GetChildCount() != 0) state.SkipWithError("children left");
        manager->Destroy();
    }
    state.counters["per_item_ns"] = total / static_cast<double>(state.iterations()) / count;
}

void BM_DestroyNodesInCreationOrder(benchmark::State& state) { DestroyNodes(state, Order::kCreation); }
void BM_DestroyNodesInReverse(benchmark::State& state) { DestroyNodes(state, Order::kReverse); }
void BM_DestroyNodesInRandomOrder(benchmark::State& state) { DestroyNodes(state, Order::kShuffled); }
BENCHMARK(BM_DestroyNodesInCreationOrder)->Arg(1000)->Arg(10000)->Arg(100000)->Iterations(1)->UseManualTime();
BENCHMARK(BM_DestroyNodesInReverse)->Arg(1000)->Arg(10000)->Arg(100000)->Iterations(1)->UseManualTime();
BENCHMARK(BM_DestroyNodesInRandomOrder)->Arg(1000)->Arg(10000)->Arg(100000)->Iterations(1)->UseManualTime();

// The manager's own teardown of a scene whose nodes were made in one order
// and put below the root in another (shuffled, fixed seed), so neither the
// registry nor the root lets them go from an end.
void BM_ManagerTeardownShuffledScene(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    double total = 0;
    for (auto _ : state) {
        KDuzSdkManager* manager = KDuzSdkManager::Create();
        KDuzScene* scene = KDuzScene::Create(manager, "");
        std::vector<KDuzNode*> nodes;
        nodes.reserve(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i)
            nodes.push_back(KDuzNode::Create(manager, ("Node" + std::to_string(i)).c_str()));
        std::shuffle(nodes.begin(), nodes.end(), std::mt19937(kShuffleSeed));
        for (KDuzNode* node : nodes) scene->GetRootNode()->AddChild(node);
        const auto start = std::chrono::steady_clock::now();
        manager->Destroy();
        const double ns = SinceNs(start);
        state.SetIterationTime(ns * 1e-9);
        total += ns;
    }
    state.counters["per_item_ns"] = total / static_cast<double>(state.iterations()) / count;
}
BENCHMARK(BM_ManagerTeardownShuffledScene)->Arg(1000)->Arg(10000)->Arg(100000)->Iterations(1)->UseManualTime();

void BM_DestroyBaselineVectorErase(benchmark::State& state) {
    // Finding each pointer in an ordered vector and erasing it there: the
    // quadratic cost of a list that keeps its order by walking it.
    const int count = static_cast<int>(state.range(0));
    double total = 0;
    for (auto _ : state) {
        std::vector<std::unique_ptr<int>> owned;
        std::vector<int*> list;
        std::unordered_set<int*> set;
        for (int i = 0; i < count; ++i) {
            owned.push_back(std::make_unique<int>(i));
            list.push_back(owned.back().get());
            set.insert(owned.back().get());
        }
        const auto start = std::chrono::steady_clock::now();
        for (auto& item : owned) {
            set.erase(item.get());
            list.erase(std::find(list.begin(), list.end(), item.get()));
        }
        const double ns = SinceNs(start);
        state.SetIterationTime(ns * 1e-9);
        total += ns;
        benchmark::DoNotOptimize(list.size() + set.size());
    }
    state.counters["per_item_ns"] = total / static_cast<double>(state.iterations()) / count;
}
BENCHMARK(BM_DestroyBaselineVectorErase)->Arg(1000)->Arg(10000)->Arg(100000)->Iterations(1)->UseManualTime();

void BM_DestroyBaselineHashErase(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    double total = 0;
    for (auto _ : state) {
        std::vector<std::unique_ptr<int>> owned;
        std::unordered_set<int*> set;
        for (int i = 0; i < count; ++i) {
            owned.push_back(std::make_unique<int>(i));
            set.insert(owned.back().get());
        }
        const auto start = std::chrono::steady_clock::now();
        for (auto& item : owned) {
            set.erase(item.get());
            item.reset();
        }
        const double ns = SinceNs(start);
        state.SetIterationTime(ns * 1e-9);
        total += ns;
        benchmark::DoNotOptimize(set.size());
    }
    state.counters["per_item_ns"] = total / static_cast<double>(state.iterations()) / count;
}
BENCHMARK(BM_DestroyBaselineHashErase)->Arg(1000)->Arg(10000)->Arg(100000)->Iterations(1)->UseManualTime();

}  // namespace
