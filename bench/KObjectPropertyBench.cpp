// Cost of filling one object with many properties: distinct names, and one
// repeated name that CreateProperty numbers "name 0", "name 1" ...
#include "sdk/object/KObject.h"
#include "sdk/object/KProperty.h"
#include "sdk/object/KWorld.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

using namespace duzsdk;

namespace {

void FillObject(benchmark::State& state, bool sameName) {
    KDuzSdkInit();
    const int n = static_cast<int>(state.range(0));
    std::vector<std::string> names;
    for (int i = 0; i < n; ++i) names.push_back(sameName ? "Value" : "Value" + std::to_string(i));
    for (auto _ : state) {
        auto* object = new KObject;
        for (const std::string& name : names)
            benchmark::DoNotOptimize(
                object->CreateProperty(name.c_str(), eKPropDouble, nullptr, false, true, nullptr, false));
        benchmark::DoNotOptimize(object->FindPropertyByName(names.back().c_str()));
        object->Destroy();
    }
    state.SetItemsProcessed(state.iterations() * n);
    state.SetComplexityN(n);
    KDuzSdkUninit();
}

}  // namespace

static void BM_AddDistinctProperties(benchmark::State& state) { FillObject(state, false); }
BENCHMARK(BM_AddDistinctProperties)->Arg(1024)->Arg(4096)->Arg(16384)->Complexity(benchmark::oN);

static void BM_AddSameNamedProperties(benchmark::State& state) { FillObject(state, true); }
BENCHMARK(BM_AddSameNamedProperties)->Arg(1024)->Arg(4096)->Arg(16384)->Complexity(benchmark::oN);
