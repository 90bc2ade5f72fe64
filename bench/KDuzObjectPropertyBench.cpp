#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "sdk/character/KDuzCharacter.h"
#include "sdk/object/KDuzObject.h"
#include "sdk/object/KDuzProperty.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/PropertyDataType.h"
#include "sdk/object/PropertyDataTypeMap.h"

namespace {

using namespace duzsdk;

std::vector<std::string> Names(int n) {
    std::vector<std::string> names;
    names.reserve(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) names.push_back("Property " + std::to_string(i));
    return names;
}

// Making n properties on one object, each first looked up by name (as every
// class and reader does, so that a name is not made twice): the cost per
// property shows whether the look-up stays flat as objects grow.
void CreatePropertiesLookedUp(benchmark::State& state, bool lookUp) {
    const int n = static_cast<int>(state.range(0));
    const std::vector<std::string> names = Names(n);
    KDuzSdkManager* manager = KDuzSdkManager::Create();
    const PropertyDataType number = PropertyDataTypeFromName("Number");
    for (auto _ : state) {
        state.PauseTiming();
        KDuzObject* object = KDuzObject::Create(manager, "Thing");
        state.ResumeTiming();
        for (const std::string& name : names)
            benchmark::DoNotOptimize(KDuzProperty::Create(object, name.c_str(), number, "", !lookUp));
        state.PauseTiming();
        object->Destroy();
        state.ResumeTiming();
    }
    manager->Destroy();
    state.SetItemsProcessed(state.iterations() * n);
}

void CreatePropertiesByName(benchmark::State& state) { CreatePropertiesLookedUp(state, true); }
// Baseline: the same properties made without the look-up.
void CreatePropertiesNoLookup(benchmark::State& state) { CreatePropertiesLookedUp(state, false); }
BENCHMARK(CreatePropertiesByName)->RangeMultiplier(4)->Range(16, 4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(CreatePropertiesNoLookup)->RangeMultiplier(4)->Range(16, 4096)->Unit(benchmark::kMicrosecond);

// A character makes a few hundred properties as it is built.
void CreateCharacter(benchmark::State& state) {
    KDuzSdkManager* manager = KDuzSdkManager::Create();
    for (auto _ : state) {
        KDuzCharacter* character = KDuzCharacter::Create(manager, "Character");
        benchmark::DoNotOptimize(character);
        state.PauseTiming();
        character->Destroy();
        state.ResumeTiming();
    }
    manager->Destroy();
}
BENCHMARK(CreateCharacter)->Unit(benchmark::kMicrosecond);

}  // namespace
