// Growth of connection lookups with the length of a plug's lists: connecting
// many sources to one plug (each connect asks whether the source is already
// there) and adding many nodes under a scene's root (each node joins the
// scene's list of objects). Quadrupling the count should roughly quadruple
// the time.
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/KPlug.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

#include <benchmark/benchmark.h>

#include <memory>
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

}  // namespace
