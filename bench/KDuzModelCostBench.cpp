// What a model read from a file holds, beside the same model made in code in
// the same run.
//   ThreeDsRead/N: N triangle meshes (no materials) read from a 3DS file.
//   DxfInserts/N:  a block of six faces and N references to it, beside the
//                  same file with the block and no references (the
//                  difference is what the references cost).
// Counters, per model or per reference: held_KiB (what the scene holds
// after the read), peak_KiB (the read's peak), code_KiB (a node with a
// triangle mesh made in code), bare_KiB (DXF: what the file without
// references holds in all; a block nothing refers to makes no node).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/BenchHeapPeak.h"
#include "bench/BenchReadHeld.h"
#include "sdk/formats/KDuzReader3ds.h"
#include "sdk/formats/KDuzReaderDxf.h"
#include "sdk/formats/KDuzWriter3ds.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/io/KDuzStreamOptions.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

using namespace duzsdk;

namespace {

std::string BenchPath(const std::string& name) {
    return (std::filesystem::temp_directory_path() /
            ("duz-modelcost-" + std::to_string(::getpid()) + "-" + name))
        .string();
}

KDuzNode* MakeModel(KDuzSdkManager* manager, int index) {
    KDuzMesh* mesh = KDuzMesh::Create(manager, "");
    mesh->InitControlPoints(3);
    for (int i = 0; i < 3; ++i) mesh->GetControlPoints()[i] = KgeTVector(i == 1, i == 2, 0.0, 1.0);
    mesh->BeginPolygon(-1, -1, -1, false);
    for (int i = 0; i < 3; ++i) mesh->AddPolygon(i);
    mesh->EndPolygon();
    KDuzNode* node = KDuzNode::Create(manager, ("n" + std::to_string(index)).c_str());
    node->SetNodeAttribute(mesh);
    return node;
}

std::string ThreeDsFile(int count) {
    return duzbench::WriteModelsOnce<KDuzWriter3DS>(BenchPath("meshes" + std::to_string(count) + ".3ds"), count,
                                                    MakeModel);
}

// A block "CUBE" of six faces, and `count` references to it on a grid.
std::string DxfInsertFile(int count) {
    const std::string path = BenchPath("inserts" + std::to_string(count) + ".dxf");
    if (std::filesystem::exists(path)) return path;
    FILE* out = std::fopen(path.c_str(), "w");
    std::fprintf(out, "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n8\n0\n2\nCUBE\n70\n0\n10\n0\n20\n0\n30\n0\n");
    for (int f = 0; f < 6; ++f) {
        std::fprintf(out, "0\n3DFACE\n8\n0\n");
        for (int c = 0; c < 4; ++c)
            std::fprintf(out, "1%d\n%d\n2%d\n%d\n3%d\n%d\n", c, (f + c) & 1, c, c >> 1, c, f);
    }
    std::fprintf(out, "0\nENDBLK\n8\n0\n0\nENDSEC\n0\nSECTION\n2\nENTITIES\n");
    for (int i = 0; i < count; ++i)
        std::fprintf(out, "0\nINSERT\n8\n0\n2\nCUBE\n10\n%d\n20\n%d\n30\n0\n", i % 200, i / 200);
    std::fprintf(out, "0\nENDSEC\n0\nEOF\n");
    std::fclose(out);
    return path;
}

using duzbench::Held;
using duzbench::ReadHeld;

// The same models made in code under a scene's root.
int64_t CodeHeld(int count) {
    KDuzSdkManager* manager = KDuzSdkManager::Create();
    KDuzScene* scene = KDuzScene::Create(manager, "");
    duzbench::MarkHeapBase();
    for (int i = 0; i < count; ++i) scene->GetRootNode()->AddChild(MakeModel(manager, i));
    const int64_t held = duzbench::gHeapInUse.load() - duzbench::gHeapBase.load();
    manager->Destroy();
    return held;
}

void ThreeDsRead(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const std::string path = ThreeDsFile(count);
    Held read;
    int64_t code = 0;
    for (auto _ : state) {
        read = ReadHeld<KDuzReader3DS>(path);
        state.PauseTiming();
        code = CodeHeld(count);
        state.ResumeTiming();
    }
    const double n = count;
    state.counters["held_KiB"] = static_cast<double>(read.held) / n / 1024.0;
    state.counters["peak_KiB"] = static_cast<double>(read.peak) / n / 1024.0;
    state.counters["code_KiB"] = static_cast<double>(code) / n / 1024.0;
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
}

void DxfInserts(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const std::string with = DxfInsertFile(count);
    const std::string without = DxfInsertFile(0);
    Held read, bare;
    int64_t code = 0;
    for (auto _ : state) {
        read = ReadHeld<KDuzReaderDxf>(with);
        state.PauseTiming();
        bare = ReadHeld<KDuzReaderDxf>(without);
        code = CodeHeld(count);
        state.ResumeTiming();
    }
    const double n = count;
    state.counters["held_KiB"] = static_cast<double>(read.held - bare.held) / n / 1024.0;
    state.counters["peak_KiB"] = static_cast<double>(read.peak) / n / 1024.0;
    state.counters["bare_KiB"] = static_cast<double>(bare.held) / 1024.0;
    state.counters["code_KiB"] = static_cast<double>(code) / n / 1024.0;
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(with)) / 1e6;
}

BENCHMARK(ThreeDsRead)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(DxfInserts)->Arg(3000)->Arg(30000)->Unit(benchmark::kMillisecond)->Iterations(2);

// The files are removed when the program ends.
duzbench::TempFilesRemovedAtExit gCleanup{"duz-modelcost-"};

}  // namespace
