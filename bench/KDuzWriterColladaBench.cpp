// Writing a scene that holds one large mesh (quads with per-control-point
// normals and per-corner UVs) as a Collada document, at 10^5 and 10^6 quads;
// beside it, in the same run, the same numbers written with std::to_chars
// through a buffer into a file (the least any "%f" text writer has to do),
// and with snprintf. Scenes of 3,000 and 10,000 nodes show the peak for many
// small elements (no more: the renaming of names before the write walks the
// children in time that grows with the child index, so 10^5 nodes take
// minutes). Counters: ns_per_polygon / ns_per_node, file_MB, and peak_MiB,
// the heap peak during the write over the heap in use before it (every
// allocation counted, libxml2's too; the scene is already made), so it is
// what the write itself holds.
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/BenchHeapPeak.h"
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

void CountPolygons(benchmark::State& state, int side) {
    state.SetItemsProcessed(state.iterations() * int64_t{side} * side);
    state.counters["ns_per_polygon"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * side * side, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

bool WriteOnce(KDuzSdkManager* manager, KDuzScene* scene, const std::string& path) {
    KDuzWriterCollada writer(manager);
    KDuzStreamOptions* options = writer.GetWriteOptions();
    const bool written = writer.FileCreate(path.c_str()) && writer.Write(scene, options);
    options->Destroy();
    writer.FileClose();
    return written;
}

// Writes the scene once per iteration; the largest peak of the iterations.
// A first write, not measured, leaves in the scene what a write makes there
// for good (node takes asked for), so the peak is the write's own.
void WriteScene(benchmark::State& state, KDuzSdkManager* manager, KDuzScene* scene, const std::string& path) {
    int64_t peak = 0;
    if (!WriteOnce(manager, scene, path)) state.SkipWithError("write failed");
    for (auto _ : state) {
        duzbench::MarkHeapBase();
        if (!WriteOnce(manager, scene, path)) state.SkipWithError("write failed");
        peak = std::max(peak, duzbench::HeapPeakSinceBase());
    }
    const int64_t bytes = static_cast<int64_t>(std::filesystem::file_size(path));
    state.SetBytesProcessed(state.iterations() * bytes);
    state.counters["file_MB"] = static_cast<double>(bytes) / 1e6;
    state.counters["peak_MiB"] = static_cast<double>(peak) / 1048576.0;
    std::filesystem::remove(path);
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
    WriteScene(state, manager, scene, BenchPath());
    CountPolygons(state, side);
    manager->Destroy();
}
BENCHMARK(ColladaWrite)->Arg(316)->Arg(1000)->ArgName("side")->Unit(benchmark::kMillisecond)->UseRealTime();

// Many small elements: nodes under the root, each moved and turned.
void ColladaWriteNodes(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    KDuzSdkManager* manager = KDuzSdkManager::Create();
    KDuzScene* scene = KDuzScene::Create(manager, "");
    for (int i = 0; i < count; ++i) {
        KDuzNode* node = KDuzNode::Create(manager, ("Node" + std::to_string(i)).c_str());
        node->SetLclTranslation(duzVectorTemplate3<double>(i * 0.5, 1.0, -2.0));
        node->SetLclRotation(duzVectorTemplate3<double>(0.0, i % 360, 0.0));
        scene->GetRootNode()->AddChild(node);
    }
    WriteScene(state, manager, scene, BenchPath());
    state.SetItemsProcessed(state.iterations() * int64_t{count});
    state.counters["ns_per_node"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * count, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    manager->Destroy();
}
BENCHMARK(ColladaWriteNodes)->Arg(3000)->Arg(10000)->ArgName("nodes")->Unit(benchmark::kMillisecond)->UseRealTime();

// The numbers of the grid's document: positions, normals and UVs per point,
// then point, normal and UV index per corner.
template <class Number, class Integer>
void GridNumbers(int side, Number&& number, Integer&& integer) {
    const int row = side + 1;
    for (int i = 0; i < row * row; ++i) {
        number((i % row) * 0.1), number((i / row) * 0.1), number(((i % row) * (i / row)) % 7 * 0.01);
        number(0), number(0), number(1);
        number((i % row) / double(row)), number((i / row) / double(row));
    }
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const int a = y * row + x;
            for (int corner : {a, a + 1, a + row + 1, a + row}) integer(corner), integer(corner), integer(corner);
        }
}

// The same numbers as the document's sources and polygons, with
// std::to_chars (six decimals, as the document has them) into a buffer of
// a megabyte written to the file as it fills.
void ToCharsBaseline(benchmark::State& state) {
    const int side = static_cast<int>(state.range(0));
    const std::string path = BenchPath();
    for (auto _ : state) {
        FILE* file = std::fopen(path.c_str(), "wb");
        std::string text;
        text.reserve(1 << 20);
        int64_t total = 0;
        auto room = [&] {
            if (text.size() + 64 > text.capacity()) {
                std::fwrite(text.data(), 1, text.size(), file);
                total += static_cast<int64_t>(text.size());
                text.clear();
            }
        };
        auto number = [&](double v) {
            room();
            char buffer[64];
            char* end = std::to_chars(buffer, buffer + 64, v, std::chars_format::fixed, 6).ptr;
            *end++ = ' ';
            text.append(buffer, end);
        };
        auto integer = [&](int v) {
            room();
            char buffer[16];
            char* end = std::to_chars(buffer, buffer + 16, v).ptr;
            *end++ = ' ';
            text.append(buffer, end);
        };
        GridNumbers(side, number, integer);
        std::fwrite(text.data(), 1, text.size(), file);
        total += static_cast<int64_t>(text.size());
        std::fclose(file);
        state.SetBytesProcessed(state.bytes_processed() + total);
    }
    CountPolygons(state, side);
    std::filesystem::remove(path);
}
BENCHMARK(ToCharsBaseline)->Arg(316)->Arg(1000)->ArgName("side")->Unit(benchmark::kMillisecond)->UseRealTime();

// The same numbers as the document's sources and polygons, printed with
// snprintf into one growing buffer and written to the file.
void SnprintfBaseline(benchmark::State& state) {
    const int side = static_cast<int>(state.range(0));
    const std::string path = BenchPath();
    for (auto _ : state) {
        std::string text;
        char buffer[64];
        auto number = [&](double v) { text.append(buffer, static_cast<size_t>(std::snprintf(buffer, 64, "%f ", v))); };
        auto integer = [&](int v) { text.append(buffer, static_cast<size_t>(std::snprintf(buffer, 64, "%d ", v))); };
        GridNumbers(side, number, integer);
        FILE* file = std::fopen(path.c_str(), "wb");
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
        state.SetBytesProcessed(state.bytes_processed() + static_cast<int64_t>(text.size()));
    }
    CountPolygons(state, side);
    std::filesystem::remove(path);
}
BENCHMARK(SnprintfBaseline)->Arg(316)->Arg(1000)->ArgName("side")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace duzsdk
