// Writing scenes of many small objects as version 5 files: a flat and a deep
// node tree, and many textures and materials with their media names, beside
// the version 6 writer on the same scenes in the same run. Time per object
// must stay flat as the counts grow.
#include <unistd.h>

#include <filesystem>
#include <string>

#include "sdk/duz/KDuzWriterDuz.h"
#include "sdk/duz/KDuzWriterDuz6.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/io/KDuzStreamOptionsDuz.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

#include <benchmark/benchmark.h>

namespace duzsdk {
namespace {

enum Shape { kFlat = 0, kDeep = 1, kShading = 2 };

void BuildScene(KDuzSdkManager* manager, KDuzScene* scene, int count, int shape) {
    KDuzNode* parent = scene->GetRootNode();
    if (shape == kShading) {
        for (int i = 0; i < count; ++i) {
            const std::string name = "t" + std::to_string(i);
            auto* texture = KDuzTexture::Create(manager, name.c_str());
            // Every tenth file name repeats in another folder.
            texture->SetFileName(("/maps/" + std::to_string(i / 10) + "/wood" + std::to_string(i % 10) + ".bmp").c_str());
            scene->ConnectSrcObject(texture);
            scene->ConnectSrcObject(KDuzSurfacePhong::Create(manager, ("m" + name).c_str()));
        }
        return;
    }
    for (int i = 0; i < count; ++i) {
        KDuzNode* node = KDuzNode::Create(manager, ("n" + std::to_string(i)).c_str());
        parent->AddChild(node);
        if (shape == kDeep) parent = node;
    }
}

template <class Writer>
bool WriteOnce(KDuzSdkManager* manager, KDuzScene* scene, KDuzStreamOptionsDuzWriter* options,
               const std::string& path) {
    Writer writer(manager, nullptr);
    writer.SetFileMode(1);
    if (!writer.FileCreate(path.c_str())) return false;
    const bool written = writer.Write(scene, options);
    return writer.FileClose() && written;
}

// range(0) objects, range(1) shape, range(2) 5 or 6 (the writer).
void WriteScene(benchmark::State& state) {
    KDuzSdkManager* manager = KDuzSdkManager::Create();
    KDuzScene* scene = KDuzScene::Create(manager, "");
    const int count = static_cast<int>(state.range(0));
    BuildScene(manager, scene, count, static_cast<int>(state.range(1)));
    KDuzStreamOptionsDuzWriter* options = KDuzStreamOptionsDuzWriter::Create(manager, "");
    options->Reset();
    const std::string path =
        (std::filesystem::temp_directory_path() / ("duz5bench_" + std::to_string(::getpid()) + ".duz")).string();
    for (auto _ : state) {
        const bool done = state.range(2) == 5 ? WriteOnce<KDuzWriterDuz>(manager, scene, options, path)
                                              : WriteOnce<KDuzWriterDuz6>(manager, scene, options, path);
        if (!done) state.SkipWithError("write failed");
    }
    state.SetItemsProcessed(state.iterations() * count);
    std::filesystem::remove(path);
    manager->Destroy();
}
// Deep chains stop at 5000: the scene graph checks ancestors on every
// parenting, which the writer does not measure.
BENCHMARK(WriteScene)
    ->ArgsProduct({{1000, 4000, 10000, 100000}, {kFlat, kShading}, {5, 6}})
    ->Args({5000, kDeep, 5})
    ->Args({5000, kDeep, 6})
    ->ArgNames({"objects", "shape", "version"})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace duzsdk
