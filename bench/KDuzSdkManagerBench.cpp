// Growth of the SDK manager's object life cycle with the number of objects:
// creating objects, connecting them below a scene-like object, querying the
// registry and destroying the manager with everything it holds. Doubling
// the object count should roughly double the time.
#include "sdk/object/KDuzObject.h"
#include "sdk/object/KDuzProperty.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/PropertyDataTypeMap.h"

#include <benchmark/benchmark.h>

#include <string>
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
