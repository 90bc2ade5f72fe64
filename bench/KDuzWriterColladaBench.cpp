// Writing a scene that holds one large mesh (quads with per-control-point
// normals and per-corner UVs) as a Collada document, at three sizes to show
// that the time grows linearly with the polygons; beside it, in the same
// run, the same numbers printed into a buffer with snprintf "%f" and "%d",
// the least any "%f" text writer has to do.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "sdk/formats/collada/KDuzWriterCollada.h"
#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzLayerElement.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/io/KDuzStreamOptions.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

#include <benchmark/benchmark.h>

namespace duzsdk {
namespace {

std::string BenchPath() {
    return (std::filesystem::temp_directory_path() / ("colladabench_" + std::to_string(::getpid()) + ".dae")).string();
}

// A side x side grid of quads: side^2 polygons.
void BuildScene(KDuzSdkManager* manager, KDuzScene* scene, int side) {
    const int row = side + 1;
    KDuzMesh* mesh = KDuzMesh::Create(manager, "");
    mesh->InitControlPoints(row * row);
    KgeTVector* points = mesh->GetControlPoints();
    for (int y = 0; y < row; ++y)
        for (int x = 0; x < row; ++x) points[y * row + x] = KgeTVector(x * 0.1, y * 0.1, (x * y) % 7 * 0.01, 1);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const int a = y * row + x;
            mesh->BeginPolygon();
            for (int corner : {a, a + 1, a + row + 1, a + row}) mesh->AddPolygon(corner);
        }
    if (mesh->GetLayerCount() == 0) mesh->CreateLayer();
    auto* normals = KDuzCreateLayerElementNormal(manager, "");
    normals->SetMappingMode(KDuzLayerElement::eByControlPoint);
    normals->GetDirectArray().SetCount(row * row);
    for (int i = 0; i < row * row; ++i) normals->GetDirectArray()[i] = KgeTVector(0, 0, 1, 0);
    mesh->GetLayer(0)->SetNormals(normals);
    auto* uvs = KDuzCreateLayerElementUV(manager, "");
    uvs->SetMappingMode(KDuzLayerElement::eByPolygonVertex);
    uvs->SetReferenceMode(KDuzLayerElement::eIndexToDirect);
    uvs->GetDirectArray().SetCount(row * row);
    for (int i = 0; i < row * row; ++i) uvs->GetDirectArray()[i].Set((i % row) / double(row), (i / row) / double(row));
    for (int corner : mesh->GetPolygonVertexArray()) uvs->GetIndexArray().Add(corner);
    mesh->GetLayer(0)->SetUVsOfType(uvs, 3);
    KDuzNode* node = KDuzNode::Create(manager, "Grid");
    scene->GetRootNode()->AddChild(node);
    node->SetNodeAttribute(mesh);
}

void ColladaWrite(benchmark::State& state) {
    const int side = static_cast<int>(state.range(0));
    KDuzSdkManager* manager = KDuzSdkManager::Create();
    KDuzScene* scene = KDuzScene::Create(manager, "");
    BuildScene(manager, scene, side);
    const std::string path = BenchPath();
    for (auto _ : state) {
        KDuzWriterCollada writer(manager);
        KDuzStreamOptions* options = writer.GetWriteOptions();
        if (!writer.FileCreate(path.c_str()) || !writer.Write(scene, options)) state.SkipWithError("write failed");
        options->Destroy();
        writer.FileClose();
    }
    const int64_t bytes = static_cast<int64_t>(std::filesystem::file_size(path));
    state.SetBytesProcessed(state.iterations() * bytes);
    state.SetItemsProcessed(state.iterations() * int64_t{side} * side);
    state.counters["file_MB"] = static_cast<double>(bytes) / 1e6;
    state.counters["ns_per_polygon"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * side * side, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    std::filesystem::remove(path);
    manager->Destroy();
}
BENCHMARK(ColladaWrite)->Arg(250)->Arg(500)->Arg(1000)->ArgName("side")->Unit(benchmark::kMillisecond);

// The same numbers as the document's sources and polygons, printed with
// snprintf into one growing buffer and written to the file.
void SnprintfBaseline(benchmark::State& state) {
    const int side = static_cast<int>(state.range(0));
    const int row = side + 1;
    const std::string path = BenchPath();
    for (auto _ : state) {
        std::string text;
        char buffer[64];
        auto number = [&](double v) { text.append(buffer, static_cast<size_t>(std::snprintf(buffer, 64, "%f ", v))); };
        auto integer = [&](int v) { text.append(buffer, static_cast<size_t>(std::snprintf(buffer, 64, "%d ", v))); };
        for (int i = 0; i < row * row; ++i) {  // positions, normals, uvs
            number((i % row) * 0.1), number((i / row) * 0.1), number(((i % row) * (i / row)) % 7 * 0.01);
            number(0), number(0), number(1);
            number((i % row) / double(row)), number((i / row) / double(row));
        }
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                const int a = y * row + x;
                for (int corner : {a, a + 1, a + row + 1, a + row}) integer(corner), integer(corner), integer(corner);
            }
        FILE* file = std::fopen(path.c_str(), "wb");
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
        state.SetBytesProcessed(state.bytes_processed() + static_cast<int64_t>(text.size()));
    }
    state.SetItemsProcessed(state.iterations() * int64_t{side} * side);
    state.counters["ns_per_polygon"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * side * side, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    std::filesystem::remove(path);
}
BENCHMARK(SnprintfBaseline)->Arg(250)->Arg(1000)->ArgName("side")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace duzsdk
