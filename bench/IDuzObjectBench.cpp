#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "sdk/io/IDuzObject.h"
#include "sdk/object/KDuzObject.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/KObject.h"

namespace {

using namespace duzsdk;

// A file whose one object carries n properties in its "Properties60" block.
std::string WritePropertyFile(int n) {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("duz_bench_props_" + std::to_string(n) + "_" + std::to_string(getpid()) + ".duz"))
                                 .string();
    std::ofstream out(path);
    out << "; DUZ 6.1.0 project file\nObj:  {\n    Properties60:  {\n";
    for (int i = 0; i < n; ++i)
        out << "        Property: \"P" << i << "\", \"double\", \"U\", " << i << ", 0, 100\n";
    out << "    }\n}\n";
    return path;
}

// Reading a block into a fresh object: every entry creates a property, so
// the cost per entry shows whether lookups stay flat as blocks grow.
void ReadProperties60(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::string path = WritePropertyFile(n);
    KDuzSdkManager* manager = KDuzSdkManager::Create();
    for (auto _ : state) {
        state.PauseTiming();
        IDuzObject* file = IDuzObject::Create();
        file->ProjectOpen(path.c_str());
        file->FieldReadBegin("Obj");
        file->FieldReadBlockBegin();
        KDuzObject* object = KDuzObject::Create(manager, "Thing");
        state.ResumeTiming();
        file->ReadProperties(object);
        benchmark::DoNotOptimize(object->GetInternalObject()->GetPropertyCount());
        state.PauseTiming();
        object->Destroy();
        file->Destroy();
        state.ResumeTiming();
    }
    manager->Destroy();
    std::filesystem::remove(path);
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(ReadProperties60)->Arg(1 << 8)->Arg(1 << 12)->Unit(benchmark::kMillisecond);

}  // namespace

