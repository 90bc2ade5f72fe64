// Growth of the node tree's costs with its size: building a chain and a
// wide tree of nodes (each addition checked against loops), and asking
// every node of a tree for its global transform after an edit at the root
// (what a program does once per frame). Doubling the node count should
// roughly double the time.
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

using namespace duzsdk;

void BM_BuildChain(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        KDuzSdkManager* manager = KDuzSdkManager::Create();
        KDuzNode* last = KDuzNode::Create(manager, "root");
        for (int i = 0; i < count; ++i) {
            KDuzNode* node = KDuzNode::Create(manager, "link");
            last->AddChild(node);
            last = node;
        }
        benchmark::DoNotOptimize(last);
        manager->Destroy();
    }
    state.SetComplexityN(count);
}
BENCHMARK(BM_BuildChain)->RangeMultiplier(2)->Range(1 << 8, 1 << 11)->Complexity();

void BM_GlobalTransformsOfATree(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    KDuzSdkManager* manager = KDuzSdkManager::Create();
    KDuzNode* root = KDuzNode::Create(manager, "root");
    std::vector<KDuzNode*> nodes{root};
    // Four children per node, breadth first.
    for (int i = 1; i < count; ++i) {
        KDuzNode* node = KDuzNode::Create(manager, "node");
        node->SetLclTranslation(duzVectorTemplate3<double>(1, 0, 0));
        node->SetLclRotation(duzVectorTemplate3<double>(0, 0, 10));
        nodes[static_cast<size_t>((i - 1) / 4)]->AddChild(node);
        nodes.push_back(node);
    }
    double x = 0.0;
    for (auto _ : state) {
        x += 1.0;
        root->SetLclTranslation(duzVectorTemplate3<double>(x, 0, 0));
        double sum = 0.0;
        for (KDuzNode* node : nodes) sum += node->GetGlobalTransform().GetElement(3, 0);
        benchmark::DoNotOptimize(sum);
    }
    manager->Destroy();
    state.SetComplexityN(count);
}
BENCHMARK(BM_GlobalTransformsOfATree)->RangeMultiplier(2)->Range(1 << 8, 1 << 11)->Complexity();

}  // namespace
