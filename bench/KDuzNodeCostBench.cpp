// What one scene node costs: N plain nodes with their default properties
// are made under the root of a scene and destroyed again, per iteration.
// Reported per node: the time of create plus destroy, and the heap bytes
// still in use once all N exist (glibc's count of live malloc bytes, which
// takes in every new as well as the SDK's own KMemAlloc traffic).
//
// The baseline in the same run is the floor any node representation has to
// pay: a plain struct per node with a name, a parent, a child list and the
// node's 68 property values as three doubles each, allocated one by one and
// linked under a root the same way.
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using namespace duzsdk;

int64_t LiveHeapBytes() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<int64_t>(info.uordblks) + static_cast<int64_t>(info.hblkhd);
}

void ReportPerNode(benchmark::State& state, int count, int64_t bytes) {
    state.SetItemsProcessed(state.iterations() * count);
    state.counters["bytes_per_node"] =
        benchmark::Counter(static_cast<double>(bytes) / count, benchmark::Counter::kDefaults,
                           benchmark::Counter::kIs1024);
    // Seconds per node, shown with an SI prefix (u for microseconds).
    state.counters["time_per_node"] = benchmark::Counter(
        count, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Builds count nodes under the root; returns the heap bytes they hold.
int64_t BuildNodes(KDuzSdkManager* manager, KDuzNode* root, int count, std::vector<KDuzNode*>& nodes,
                   bool measure) {
    const int64_t before = measure ? LiveHeapBytes() : 0;
    for (int i = 0; i < count; ++i) {
        KDuzNode* node = KDuzNode::Create(manager, "node");
        root->AddChild(node);
        nodes.push_back(node);
    }
    return measure ? LiveHeapBytes() - before : 0;
}

void DestroyNodes(std::vector<KDuzNode*>& nodes) {
    // Last first, as a scene tears down.
    for (auto it = nodes.rbegin(); it != nodes.rend(); ++it) (*it)->Destroy();
    nodes.clear();
}

void BM_NodeCreateDestroy(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    KDuzSdkManager* manager = KDuzSdkManager::Create();
    KDuzScene* scene = KDuzScene::Create(manager, "scene");
    KDuzNode* root = scene->GetRootNode();
    std::vector<KDuzNode*> nodes;
    nodes.reserve(static_cast<size_t>(count));
    // The memory is measured on a build of its own: asking the allocator
    // for its figures is slow and would be timed otherwise.
    const int64_t bytes = BuildNodes(manager, root, count, nodes, true);
    DestroyNodes(nodes);
    for (auto _ : state) {
        BuildNodes(manager, root, count, nodes, false);
        DestroyNodes(nodes);
    }
    ReportPerNode(state, count, bytes);
    manager->Destroy();
}

struct PlainNode {
    std::string name;
    PlainNode* parent = nullptr;
    std::vector<PlainNode*> children;
    double values[68][3] = {};
};

int64_t BuildPlain(PlainNode& root, int count, bool measure) {
    const int64_t before = measure ? LiveHeapBytes() : 0;
    for (int i = 0; i < count; ++i) {
        auto* node = new PlainNode;
        node->name = "node";
        node->values[1][0] = 1.0;   // a few defaults differ from zero
        node->values[4][0] = node->values[4][1] = node->values[4][2] = 1.0;
        node->parent = &root;
        root.children.push_back(node);
    }
    benchmark::DoNotOptimize(root.children.data());
    return measure ? LiveHeapBytes() - before : 0;
}

void DestroyPlain(PlainNode& root) {
    for (auto it = root.children.rbegin(); it != root.children.rend(); ++it) delete *it;
    root.children.clear();
    root.children.shrink_to_fit();
}

void BM_PlainStructBaseline(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    PlainNode root;
    const int64_t bytes = BuildPlain(root, count, true);
    DestroyPlain(root);
    for (auto _ : state) {
        BuildPlain(root, count, false);
        DestroyPlain(root);
    }
    ReportPerNode(state, count, bytes);
}

}  // namespace

BENCHMARK(BM_PlainStructBaseline)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NodeCreateDestroy)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
