// Importing a version 5 file of the old layout: many models, each with its
// children and a look-at target named, a small mesh with an inline material
// and texture, beside the baseline of parsing the same file into the field
// file alone. Links by name and the merge of equal materials are the parts
// that could grow faster than the file; doubling the model count should
// roughly double both figures.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "sdk/duz/KDuzReaderDuz.h"
#include "bench/KDuzParseBaseline.h"
#include "sdk/io/KDuz.h"
#include "sdk/io/KDuzStreamOptionsDuz.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzScene.h"

namespace {

using namespace duzsdk;

std::string MakeFile(int models) {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("duz5bench_" + std::to_string(::getpid()) + "_" + std::to_string(models) + ".duz"))
                                 .string();
    std::ofstream out(path);
    out << "; DUZ 5.0.0 project file\n";
    // A binary tree by "Children" names; every model looks at the first.
    for (int i = 0; i < models; ++i) {
        out << "Model: \"Model::M" << i << "\" {\n    Version: 232\n";
        if (2 * i + 1 < models) {
            out << "    Children: \"Model::M" << 2 * i + 1 << "\"";
            if (2 * i + 2 < models) out << ", \"Model::M" << 2 * i + 2 << "\"";
            out << "\n";
        }
        out << "    LookAtModel: \"Model::M0\"\n"
               "    Vertices: 0,0,0, 1,0,0, 1,1,0\n"
               "    PolygonVertexIndex: 0,1,-3\n"
               "    Material: \"Material::Mat"
            << i << "\" {\n        Diffuse: " << (i % 7) << ".5,0,0\n    }\n"
            << "    Texture: \"Texture::Tex" << i << "\" {\n        Media: \"Video::Clip" << i % 5 << "\"\n    }\n"
            << "    Channel: \"Transform\" {\n        Channel: \"T\" {\n            Channel: \"X\" {\n"
               "                Default: "
            << i << "\n            }\n        }\n    }\n}\n";
    }
    return path;
}

void BM_ParseOnlyBaseline(benchmark::State& state) {
    const int models = static_cast<int>(state.range(0));
    duzbench::ParseOnlyBaseline(state, MakeFile(models), models);
}
BENCHMARK(BM_ParseOnlyBaseline)->RangeMultiplier(4)->Range(1 << 10, 1 << 14)->Unit(benchmark::kMillisecond)->Complexity();

void BM_ImportDuz5OldLayout(benchmark::State& state) {
    const int models = static_cast<int>(state.range(0));
    const std::string path = MakeFile(models);
    for (auto _ : state) {
        KDuzSdkManager* manager = KDuzSdkManager::Create();
        KDuzScene* scene = KDuzScene::Create(manager, "");
        KDuzStreamOptionsDuzReader* options = KDuzStreamOptionsDuzReader::Create(manager, "");
        options->Reset();
        {
            KDuzReaderDuz reader(manager, nullptr);
            if (!reader.FileOpen(path.c_str()) || !reader.Read(scene, options)) state.SkipWithError("read");
        }
        // Tearing the scene down is the scene's cost, not the reader's.
        state.PauseTiming();
        manager->Destroy();
        state.ResumeTiming();
    }
    std::remove(path.c_str());
    state.SetItemsProcessed(state.iterations() * models);
    state.SetComplexityN(models);
}
BENCHMARK(BM_ImportDuz5OldLayout)->RangeMultiplier(4)->Range(1 << 10, 1 << 14)->Unit(benchmark::kMillisecond)->Complexity();

}  // namespace
