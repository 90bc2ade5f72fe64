// Writing a scene that holds one large mesh (quads with per-control-point
// normals and per-corner UVs) as a binary and as an ASCII version 6 file
// (and, beside them, as version 5 files),
// and reading it back, beside the field file's raw write speed in the same
// run. Bytes per second are the file's size over the time.
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <string>

#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzLayerElement.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/io/KDuz.h"
#include "sdk/io/KDuzExporter.h"
#include "sdk/io/KDuzImporter.h"
#include "sdk/io/KDuzStreamOptionsDuz.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

#include <benchmark/benchmark.h>

namespace duzsdk {
namespace {

std::string BenchPath(const char* name) {
    return (std::filesystem::temp_directory_path() / (std::string("duz6bench_") + std::to_string(::getpid()) + name))
        .string();
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
            mesh->EndPolygon();
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
    const KTypedArray<int>& corners = mesh->GetPolygonVertexArray();
    for (int corner : corners) uvs->GetIndexArray().Add(corner);
    mesh->GetLayer(0)->SetUVsOfType(uvs, 3);
    KDuzNode* node = KDuzNode::Create(manager, "Grid");
    scene->GetRootNode()->AddChild(node);
    node->SetNodeAttribute(mesh);
}

class WriterFixture : public benchmark::Fixture {
public:
    void SetUp(const benchmark::State& state) override {
        manager = KDuzSdkManager::Create();
        scene = KDuzScene::Create(manager, "");
        BuildScene(manager, scene, static_cast<int>(state.range(0)));
        options = KDuzStreamOptionsDuzWriter::Create(manager, "");
        options->Reset();
        path = BenchPath(".duz");
    }
    void TearDown(const benchmark::State&) override {
        std::filesystem::remove(path);
        manager->Destroy();
    }

    bool Export(int format) {
        KDuzExporter* exporter = KDuzExporter::Create(manager, "");
        exporter->Initialize(path.c_str());
        exporter->SetFileFormat(format);
        const bool done = exporter->Export(scene, options);
        exporter->Destroy();
        return done;
    }

    KDuzSdkManager* manager = nullptr;
    KDuzScene* scene = nullptr;
    KDuzStreamOptionsDuzWriter* options = nullptr;
    std::string path;
};

// Format 0 binary, 1 ASCII; 3 and 4 the same in version 5.
BENCHMARK_DEFINE_F(WriterFixture, Write)(benchmark::State& state) {
    const int format = static_cast<int>(state.range(1));
    for (auto _ : state)
        if (!Export(format)) state.SkipWithError("export failed");
    const int64_t bytes = static_cast<int64_t>(std::filesystem::file_size(path));
    state.SetBytesProcessed(state.iterations() * bytes);
    state.SetItemsProcessed(state.iterations() * state.range(0) * state.range(0));
    state.counters["file_MB"] = static_cast<double>(bytes) / 1e6;
}
BENCHMARK_REGISTER_F(WriterFixture, Write)
    ->ArgsProduct({{250, 500, 1000}, {0, 1, 3, 4}})
    ->ArgNames({"side", "format"})
    ->Unit(benchmark::kMillisecond);

BENCHMARK_DEFINE_F(WriterFixture, ReadBack)(benchmark::State& state) {
    const int format = static_cast<int>(state.range(1));
    if (!Export(format)) state.SkipWithError("export failed");
    for (auto _ : state) {
        KDuzScene* read = KDuzScene::Create(manager, "");
        KDuzImporter* importer = KDuzImporter::Create(manager, "");
        if (!importer->Initialize(path.c_str()) || !importer->Import(read)) state.SkipWithError("import failed");
        importer->Destroy();
        read->Destroy();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(std::filesystem::file_size(path)));
    state.SetItemsProcessed(state.iterations() * state.range(0) * state.range(0));
}
BENCHMARK_REGISTER_F(WriterFixture, ReadBack)
    ->ArgsProduct({{1000}, {0, 1}})
    ->ArgNames({"side", "ascii"})
    ->Unit(benchmark::kMillisecond);

// The field file alone: one field of n doubles, as "Vertices" holds them.
void FieldFileRawWrite(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const bool binary = state.range(1) == 0;
    const std::string path = BenchPath("_raw.duz");
    for (auto _ : state) {
        KDuz duz;
        duz.ProjectCreateFile(path.c_str(), binary, false);
        duz.FieldWriteBegin("Vertices");
        for (int i = 0; i < count; ++i) duz.FieldWriteDouble(i * 0.1);
        duz.FieldWriteEnd();
        duz.ProjectClose();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(std::filesystem::file_size(path)));
    std::filesystem::remove(path);
}
BENCHMARK(FieldFileRawWrite)->ArgsProduct({{3000000}, {0, 1}})->ArgNames({"doubles", "ascii"})->Unit(benchmark::kMillisecond);

// The floor of the ASCII field above: the same doubles as std::to_chars
// writes them (fifteen significant digits), comma-separated in lines of
// about the same length, into a buffer and out with fwrite.
void ToCharsBaseline(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const std::string path = BenchPath("_tochars.txt");
    for (auto _ : state) {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        std::string out;
        size_t column = 0;
        for (int i = 0; i < count; ++i) {
            char text[40];
            char* end = std::to_chars(text, text + sizeof text, i * 0.1, std::chars_format::general, 15).ptr;
            if (i > 0) out += ',';
            out.append(text, end);
            column += static_cast<size_t>(end - text) + 1;
            if (column > 120) {
                out += "\n    ";
                column = 4;
            }
            if (out.size() >= (1u << 16)) {
                std::fwrite(out.data(), 1, out.size(), file);
                out.clear();
            }
        }
        std::fwrite(out.data(), 1, out.size(), file);
        std::fclose(file);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(std::filesystem::file_size(path)));
    std::filesystem::remove(path);
}
BENCHMARK(ToCharsBaseline)->Arg(3000000)->ArgName("doubles")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace duzsdk
