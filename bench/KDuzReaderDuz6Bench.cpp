// Importing a version 6 file of many models, each with a few properties, a
// parent link and an animated take, beside the baseline of parsing the same
// file into the field file alone (what any reader must pay). Doubling the
// model count should roughly double both.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "sdk/duz/KDuzReaderDuz6.h"
#include "bench/KDuzParseBaseline.h"
#include "sdk/io/KDuz.h"
#include "sdk/io/KDuzStreamOptionsDuz.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzScene.h"

namespace {

using namespace duzsdk;

// A chain (each model the child of the one before) or a binary tree.
enum class Shape { kTree, kChain };

std::string MakeFile(int models, Shape shape = Shape::kTree) {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("duz6bench_" + std::to_string(::getpid()) + "_" + std::to_string(models) +
                               (shape == Shape::kChain ? "c" : "t") + ".duz"))
                                 .string();
    std::ofstream out(path);
    out << "; DUZ 6.1.0 project file\n"
           "Definitions:  {\n    ObjectType: \"Model\"\n}\n"
           "Objects:  {\n";
    for (int i = 0; i < models; ++i)
        out << "    Model: \"Model::M" << i << "\", \"Null\" {\n"
            << "        Version: 232\n"
               "        Properties60:  {\n"
               "            Property: \"Lcl Translation\", \"Lcl Translation\", \"A\","
            << i << ",0,0\n"
               "            Property: \"RotationOrder\", \"enum\", \"\",3\n"
               "            Property: \"Visibility\", \"Visibility\", \"A\",1\n"
               "        }\n"
               "    }\n";
    out << "}\nVersion5:  {\n    AmbientRenderSettings:  {\n    }\n    Settings:  {\n        TimeMode: 2\n    }\n}\n"
           "Connections:  {\n";
    for (int i = 0; i < models; ++i) {
        out << "    Connect: \"OO\", \"Model::M" << i << "\", \"Model::";
        if (i == 0)
            out << "Scene\"\n";
        else
            out << "M" << (shape == Shape::kChain ? i - 1 : i / 2) << "\"\n";
    }
    out << "}\nTakes:  {\n    Take: \"Run\" {\n";
    for (int i = 0; i < models; ++i)
        out << "        Model: \"Model::M" << i
            << "\" {\n            Channel: \"Transform\" {\n                Channel: \"T\" {\n"
               "                    Channel: \"X\" {\n                        Default: 0\n"
               "                        KeyVer: 4005\n                        KeyCount: 2\n"
               "                        Key: 0,0,L,46186158000,1,L\n"
               "                    }\n                }\n            }\n        }\n";
    out << "    }\n}\n";
    return path;
}

void BM_ParseOnlyBaseline(benchmark::State& state) {
    const int models = static_cast<int>(state.range(0));
    duzbench::ParseOnlyBaseline(state, MakeFile(models), models);
}
BENCHMARK(BM_ParseOnlyBaseline)->RangeMultiplier(4)->Range(1 << 10, 1 << 14)->Unit(benchmark::kMillisecond)->Complexity();

void ImportDuz6(benchmark::State& state, Shape shape) {
    const int models = static_cast<int>(state.range(0));
    const std::string path = MakeFile(models, shape);
    for (auto _ : state) {
        KDuzSdkManager* manager = KDuzSdkManager::Create();
        KDuzScene* scene = KDuzScene::Create(manager, "");
        KDuzStreamOptionsDuzReader* options = KDuzStreamOptionsDuzReader::Create(manager, "");
        options->Reset();
        auto* take = new KDuzTakeDescription();
        take->name = "Run";
        options->AddTakeDescription(take);
        options->SetBoolOption("MERGE LAYER AND TIMEWARP", true);
        {
            KDuzReaderDuz6 reader(manager, nullptr);
            if (!reader.FileOpen(path.c_str()) || !reader.Read(scene, options)) state.SkipWithError("read");
        }
        manager->Destroy();
    }
    std::remove(path.c_str());
    state.SetItemsProcessed(state.iterations() * models);
    state.SetComplexityN(models);
}
void BM_ImportDuz6(benchmark::State& state) { ImportDuz6(state, Shape::kTree); }
BENCHMARK(BM_ImportDuz6)->RangeMultiplier(4)->Range(1 << 10, 1 << 14)->Unit(benchmark::kMillisecond)->Complexity();

// A chain as deep as the file is long: nothing may walk the chain once per model.
void BM_ImportDuz6Chain(benchmark::State& state) { ImportDuz6(state, Shape::kChain); }
BENCHMARK(BM_ImportDuz6Chain)->RangeMultiplier(4)->Range(1 << 10, 1 << 12)->Unit(benchmark::kMillisecond)->Complexity();

}  // namespace
