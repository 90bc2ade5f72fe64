#include <benchmark/benchmark.h>

#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "sdk/formats/KDuzWriterObj.h"
#include "sdk/geometry/KDuzLayerElement.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/io/KDuzStreamOptions.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

// Writes an N x N quad grid (positions, UVs and normals by control point,
// one group) as OBJ with the SDK's writer, beside two baselines in the same
// run that write the same text straight from arrays: printf-style "%f"
// through fprintf, and std::to_chars into a buffer. Each reports MB/s of the
// file it made; the sizes show the cost per polygon stays flat.

namespace {

using namespace duzsdk;

struct Grid {
    int n = 0;
    std::vector<KgeTVector> points;
    std::vector<KgeUVVector> uvs;
    std::vector<int> quads;   // 4 control points each
};

Grid MakeGrid(int n) {
    Grid grid;
    grid.n = n;
    const int side = n + 1;
    grid.points.reserve(static_cast<size_t>(side) * side);
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            grid.points.emplace_back(x * 0.01, y * 0.01, 0.001 * ((x * 7 + y * 13) % 100), 1.0);
            grid.uvs.emplace_back(static_cast<double>(x) / n, static_cast<double>(y) / n);
        }
    }
    grid.quads.reserve(static_cast<size_t>(n) * n * 4);
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            const int a = y * side + x;
            grid.quads.insert(grid.quads.end(), {a, a + 1, a + side + 1, a + side});
        }
    }
    return grid;
}

const Grid& GridOf(int n) {
    static Grid grid;
    if (grid.n != n) grid = MakeGrid(n);
    return grid;
}

std::string OutputPath(const char* name) {
    return (std::filesystem::temp_directory_path() / (std::string("duz_objwrite_") + name + "_" +
                                                      std::to_string(getpid()) + ".obj")).string();
}

void Report(benchmark::State& state, const std::string& path, int n) {
    const auto bytes = static_cast<int64_t>(std::filesystem::file_size(path));
    state.SetBytesProcessed(bytes * state.iterations());
    state.counters["MB"] = static_cast<double>(bytes) / 1e6;
    state.counters["s/polygon"] = benchmark::Counter(static_cast<double>(n) * n * state.iterations(),
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    std::filesystem::remove(path);
}

void ObjWrite(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const Grid& grid = GridOf(n);
    KDuzSdkManager* manager = KDuzSdkManager::Create();
    KDuzScene* scene = KDuzScene::Create(manager, "");
    KDuzMesh* mesh = KDuzMesh::Create(manager, "");
    mesh->InitControlPoints(static_cast<int>(grid.points.size()));
    std::copy(grid.points.begin(), grid.points.end(), mesh->GetControlPoints());
    mesh->InitNormals();
    for (size_t i = 0; i < grid.points.size(); ++i) mesh->GetNormals()[i] = KgeTVector(0.0, 0.6, 0.8, 0.0);
    mesh->InitTextureUVIndices(KDuzLayerElement::eByControlPoint);
    for (const KgeUVVector& uv : grid.uvs) mesh->AddTextureUV(uv);
    for (size_t q = 0; q < grid.quads.size(); q += 4) {
        mesh->BeginPolygon();
        for (int k = 0; k < 4; ++k) mesh->AddPolygon(grid.quads[q + k]);
        mesh->EndPolygon();
    }
    KDuzNode* node = KDuzNode::Create(manager, "grid");
    scene->GetRootNode()->AddChild(node);
    node->SetNodeAttribute(mesh);

    const std::string path = OutputPath("sdk");
    KDuzWriterObj writer(manager);
    KDuzStreamOptions* options = writer.GetWriteOptions();
    for (auto _ : state) {
        if (!writer.FileCreate(path.c_str()) || !writer.Write(scene, options) || !writer.FileClose()) {
            state.SkipWithError("the OBJ writer failed");
            break;
        }
    }
    options->Destroy();
    Report(state, path, n);
    manager->Destroy();
}

// The same statements as the writer makes, from the arrays, with fprintf.
void FprintfBaseline(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const Grid& grid = GridOf(n);
    const std::string path = OutputPath("fprintf");
    for (auto _ : state) {
        FILE* file = std::fopen(path.c_str(), "w");
        std::fputs("g grid\n", file);
        for (const KgeTVector& p : grid.points) std::fprintf(file, "v %f %f %f\n", p[0], p[1], p[2]);
        for (const KgeUVVector& uv : grid.uvs) std::fprintf(file, "vt %f %f\n", uv.mU, uv.mV);
        for (size_t i = 0; i < grid.points.size(); ++i) std::fprintf(file, "vn %f %f %f\n", 0.0, 0.6, 0.8);
        for (size_t q = 0; q < grid.quads.size(); q += 4) {
            std::fputc('f', file);
            for (int k = 0; k < 4; ++k) {
                const int v = grid.quads[q + k] + 1;
                std::fprintf(file, " %d/%d/%d", v, v, v);
            }
            std::fputc('\n', file);
        }
        std::fclose(file);
    }
    Report(state, path, n);
}

// The same text with std::to_chars into a large buffer written by fwrite.
void ToCharsBaseline(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const Grid& grid = GridOf(n);
    const std::string path = OutputPath("tochars");
    std::vector<char> buffer(1 << 20);
    for (auto _ : state) {
        FILE* file = std::fopen(path.c_str(), "w");
        size_t used = 0;
        auto room = [&](size_t bytes) {
            if (buffer.size() - used < bytes) {
                std::fwrite(buffer.data(), 1, used, file);
                used = 0;
            }
        };
        auto text = [&](const char* s, size_t length) {
            room(length);
            std::copy(s, s + length, buffer.data() + used);
            used += length;
        };
        auto number = [&](double value) {
            room(340);
            used = static_cast<size_t>(std::to_chars(buffer.data() + used, buffer.data() + buffer.size(), value,
                                                     std::chars_format::fixed, 6).ptr - buffer.data());
        };
        auto integer = [&](int value) {
            room(16);
            used = static_cast<size_t>(std::to_chars(buffer.data() + used, buffer.data() + buffer.size(), value).ptr -
                                       buffer.data());
        };
        text("g grid\n", 7);
        for (const KgeTVector& p : grid.points) {
            text("v ", 2);
            number(p[0]);
            text(" ", 1);
            number(p[1]);
            text(" ", 1);
            number(p[2]);
            text("\n", 1);
        }
        for (const KgeUVVector& uv : grid.uvs) {
            text("vt ", 3);
            number(uv.mU);
            text(" ", 1);
            number(uv.mV);
            text("\n", 1);
        }
        for (size_t i = 0; i < grid.points.size(); ++i) {
            text("vn ", 3);
            number(0.0);
            text(" ", 1);
            number(0.6);
            text(" ", 1);
            number(0.8);
            text("\n", 1);
        }
        for (size_t q = 0; q < grid.quads.size(); q += 4) {
            text("f", 1);
            for (int k = 0; k < 4; ++k) {
                const int v = grid.quads[q + k] + 1;
                text(" ", 1);
                integer(v);
                text("/", 1);
                integer(v);
                text("/", 1);
                integer(v);
            }
            text("\n", 1);
        }
        std::fwrite(buffer.data(), 1, used, file);
        std::fclose(file);
    }
    Report(state, path, n);
}

void Sizes(benchmark::internal::Benchmark* b) {
    // 62,500, 250,000 and 1,000,000 quads.
    for (int n : {250, 500, 1000}) b->Arg(n);
    b->Unit(benchmark::kMillisecond)->UseRealTime();
}

}  // namespace

BENCHMARK(ObjWrite)->Apply(Sizes);
BENCHMARK(FprintfBaseline)->Apply(Sizes);
BENCHMARK(ToCharsBaseline)->Apply(Sizes);
