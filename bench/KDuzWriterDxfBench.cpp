// Writing a grid of quads as a DXF polyface mesh, beside a baseline in the
// same run that writes the same lines (every group code and vertex
// coordinate, the coordinates as std::to_chars gives them) into a buffer
// and out with fwrite: the floor of any DXF writer. Bytes per second are
// the file's size over the time.
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <string>

#include "sdk/formats/KDuzWriterDxf.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/io/KDuzStreamOptionsFormats.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

#include <benchmark/benchmark.h>

namespace duzsdk {
namespace {

std::string BenchPath(const char* name) {
    return (std::filesystem::temp_directory_path() / (std::string("dxfbench_") + std::to_string(::getpid()) + name))
        .string();
}

KgeTVector GridPoint(int x, int y) { return KgeTVector(x * 0.125, (x * y) % 11 * 0.01, y * 0.375, 1.0); }

void BuildGrid(KDuzSdkManager* manager, KDuzScene* scene, int side) {
    const int row = side + 1;
    KDuzMesh* mesh = KDuzMesh::Create(manager, "");
    mesh->InitControlPoints(row * row);
    for (int y = 0; y < row; ++y)
        for (int x = 0; x < row; ++x) mesh->GetControlPoints()[y * row + x] = GridPoint(x, y);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const int a = y * row + x;
            mesh->BeginPolygon();
            for (int corner : {a, a + 1, a + row + 1, a + row}) mesh->AddPolygon(corner);
            mesh->EndPolygon();
        }
    KDuzNode* node = KDuzNode::Create(manager, "Grid");
    node->SetNodeAttribute(mesh);
    scene->GetRootNode()->AddChild(node);
}

void WriteDxf(benchmark::State& state) {
    const int side = static_cast<int>(state.range(0));
    KDuzSdkManager* manager = KDuzSdkManager::Create();
    KDuzScene* scene = KDuzScene::Create(manager, "");
    BuildGrid(manager, scene, side);
    const std::string path = BenchPath(".dxf");
    for (auto _ : state) {
        KDuzWriterDxf writer(manager);
        if (!writer.FileCreate(path.c_str())) state.SkipWithError("create failed");
        auto* options = dynamic_cast<KDuzStreamOptionsDxfWriter*>(writer.GetWriteOptions());
        options->Reset();
        options->SetBoolOption("TRIANGULATE", false);
        if (!writer.Write(scene, options)) state.SkipWithError("write failed");
        writer.FileClose();
        options->Destroy();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(std::filesystem::file_size(path)));
    std::filesystem::remove(path);
    manager->Destroy();
}

void AppendLine(std::string& out, const char* text) {
    out += text;
    out += '\n';
}

void ToCharsBaseline(benchmark::State& state) {
    const int side = static_cast<int>(state.range(0));
    const int row = side + 1;
    const std::string path = BenchPath("_baseline.dxf");
    for (auto _ : state) {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        std::string out;
        auto real = [&](const char* code, double value) {
            char text[400];
            *std::to_chars(text, text + sizeof text - 1, value, std::chars_format::fixed).ptr = '\0';
            AppendLine(out, code);
            AppendLine(out, text);
        };
        auto integer = [&](const char* code, int value) {
            char text[24];
            *std::to_chars(text, text + sizeof text - 1, value).ptr = '\0';
            AppendLine(out, code);
            AppendLine(out, text);
        };
        auto flush = [&] {
            if (out.size() < (1u << 16)) return;
            std::fwrite(out.data(), 1, out.size(), file);
            out.clear();
        };
        for (int y = 0; y < row; ++y)
            for (int x = 0; x < row; ++x) {
                const KgeTVector p = GridPoint(x, y);
                AppendLine(out, "  0");
                AppendLine(out, "VERTEX");
                AppendLine(out, "  8");
                AppendLine(out, "Grid");
                real(" 10", p[0]);
                real(" 20", -p[2]);
                real(" 30", p[1]);
                integer(" 70", 192);
                flush();
            }
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                const int a = y * row + x;
                AppendLine(out, "  0");
                AppendLine(out, "VERTEX");
                AppendLine(out, "  8");
                AppendLine(out, "Grid");
                real(" 10", 0.0);
                real(" 20", 0.0);
                real(" 30", 0.0);
                integer(" 70", 128);
                integer(" 71", a + row + 1);
                integer(" 72", a + row + 2);
                integer(" 73", a + 2);
                integer(" 74", a + 1);
                flush();
            }
        std::fwrite(out.data(), 1, out.size(), file);
        std::fclose(file);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(std::filesystem::file_size(path)));
    std::filesystem::remove(path);
}

}  // namespace

BENCHMARK(ToCharsBaseline)->Arg(500)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(WriteDxf)->Arg(500)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace duzsdk
