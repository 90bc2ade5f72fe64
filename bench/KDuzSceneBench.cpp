// Growth of the scene's whole-scene passes with the node count: the walks
// over the tree (attribute list, duplicate-name finder), the take-name list,
// and emptying a scene whose nodes are listed in a bind pose (each dying node
// leaves every pose). Doubling the node count should roughly double the time.
#include "sdk/base/KgeMatrix.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNodeFinderDuplicateName.h"
#include "sdk/scene/KDuzNull.h"
#include "sdk/scene/KDuzPose.h"
#include "sdk/scene/KDuzScene.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

using namespace duzsdk;

// A tree of count nodes, four children per node, every other one a null.
KDuzScene* MakeScene(KDuzSdkManager* manager, int count) {
    KDuzScene* scene = KDuzScene::Create(manager, "scene");
    std::vector<KDuzNode*> nodes{scene->GetRootNode()};
    for (int i = 1; i < count; ++i) {
        KDuzNode* node = KDuzNode::Create(manager, ("n" + std::to_string(i)).c_str());
        nodes[static_cast<size_t>((i - 1) / 4)]->AddChild(node);
        if (i % 2 == 0) node->SetNodeAttribute(KDuzNull::Create(manager, ""));
        nodes.push_back(node);
    }
    return scene;
}

void BM_TreeWalks(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    KDuzSdkManager* manager = KDuzSdkManager::Create();
    KDuzScene* scene = MakeScene(manager, count);
    KPointerArray<KDuzNode> nodes;
    KPointerArray<KString> takes;
    for (auto _ : state) {
        scene->FillNodeAttributeList(nodes, eNull, true);
        scene->FillTakeNameList(takes);
        KDuzNodeFinderDuplicateName finder(nullptr);
        benchmark::DoNotOptimize(finder.Apply(scene->GetRootNode()).Count());
    }
    for (KString* take : takes) delete take;
    manager->Destroy();
    state.SetComplexityN(count);
}
BENCHMARK(BM_TreeWalks)->RangeMultiplier(2)->Range(1 << 9, 1 << 12)->Complexity();

void BM_ClearSceneWithBindPose(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    KDuzSdkManager* manager = KDuzSdkManager::Create();
    for (auto _ : state) {
        state.PauseTiming();
        KDuzScene* scene = MakeScene(manager, count);
        KDuzPose* pose = KDuzPose::Create(manager, "bind");
        pose->SetIsBindPose(true);
        scene->ConnectObject(pose);
        for (int i = 0; i < scene->GetRootNode()->GetChildCount(); ++i)
            pose->Add(scene->GetRootNode()->GetChild(i), KgeMatrix());
        state.ResumeTiming();
        scene->Clear();
        state.PauseTiming();
        scene->Destroy(true);
        state.ResumeTiming();
    }
    manager->Destroy();
    state.SetComplexityN(count);
}
BENCHMARK(BM_ClearSceneWithBindPose)->RangeMultiplier(2)->Range(1 << 9, 1 << 12)->Complexity();

}  // namespace
