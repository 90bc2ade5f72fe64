#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "sdk/formats/KDuzReaderDxf.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/io/KDuzStreamOptions.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

// Reads generated DXF files with the DXF reader, beside a baseline in the
// same run: every line of the same file read with fgets into a buffer, the
// least any line-based reader must do. Each reports MB/s of its file.
//   Polyface: an N x N quad grid as one polyface mesh (read by layer).
//   Faces: the same grid as 3DFACE entities, read by layer with welding,
//          so that the shared corners are found again.

namespace {

constexpr int kGrid = 600;

std::string TempPath(const char* name) {
    return (std::filesystem::temp_directory_path() / (std::string("duz-dxf-bench-") + std::to_string(::getpid()) +
                                                      "-" + name))
        .string();
}

void Pair(FILE* file, int code, const char* value) { std::fprintf(file, "%3d\n%s\n", code, value); }
void Real(FILE* file, int code, double value) { std::fprintf(file, "%3d\n%.6f\n", code, value); }
void Int(FILE* file, int code, int value) { std::fprintf(file, "%3d\n%6d\n", code, value); }

const std::string& PolyfaceFile() {
    static const std::string path = [] {
        const std::string p = TempPath("polyface.dxf");
        FILE* file = std::fopen(p.c_str(), "w");
        Pair(file, 0, "SECTION");
        Pair(file, 2, "ENTITIES");
        Pair(file, 0, "POLYLINE");
        Pair(file, 8, "Grid");
        Int(file, 66, 1);
        Int(file, 70, 64);
        for (int y = 0; y <= kGrid; ++y) {
            for (int x = 0; x <= kGrid; ++x) {
                Pair(file, 0, "VERTEX");
                Pair(file, 8, "Grid");
                Real(file, 10, x * 0.25);
                Real(file, 20, y * 0.25);
                Real(file, 30, 0.01 * ((x * 7 + y * 3) % 11));
                Int(file, 70, 192);
            }
        }
        for (int y = 0; y < kGrid; ++y) {
            for (int x = 0; x < kGrid; ++x) {
                const int a = y * (kGrid + 1) + x + 1;
                Pair(file, 0, "VERTEX");
                Pair(file, 8, "Grid");
                Int(file, 62, 1 + (x + y) % 7);
                Int(file, 70, 128);
                Int(file, 71, a);
                Int(file, 72, a + 1);
                Int(file, 73, a + kGrid + 2);
                Int(file, 74, a + kGrid + 1);
            }
        }
        Pair(file, 0, "SEQEND");
        Pair(file, 0, "ENDSEC");
        Pair(file, 0, "EOF");
        std::fclose(file);
        return p;
    }();
    return path;
}

const std::string& FacesFile() {
    static const std::string path = [] {
        const std::string p = TempPath("faces.dxf");
        FILE* file = std::fopen(p.c_str(), "w");
        Pair(file, 0, "SECTION");
        Pair(file, 2, "ENTITIES");
        for (int y = 0; y < kGrid; ++y) {
            for (int x = 0; x < kGrid; ++x) {
                Pair(file, 0, "3DFACE");
                Pair(file, 8, "Grid");
                const int cx[4] = {x, x + 1, x + 1, x};
                const int cy[4] = {y, y, y + 1, y + 1};
                for (int k = 0; k < 4; ++k) {
                    Real(file, 10 + k, cx[k] * 0.25);
                    Real(file, 20 + k, cy[k] * 0.25);
                    Real(file, 30 + k, 0.01 * ((cx[k] * 7 + cy[k] * 3) % 11));
                }
            }
        }
        Pair(file, 0, "ENDSEC");
        Pair(file, 0, "EOF");
        std::fclose(file);
        return p;
    }();
    return path;
}

int64_t FileSize(const std::string& path) { return static_cast<int64_t>(std::filesystem::file_size(path)); }

void ReadWithReader(benchmark::State& state, const std::string& path, bool weld) {
    for (auto _ : state) {
        duzsdk::KDuzSdkManager* manager = duzsdk::KDuzSdkManager::Create();
        duzsdk::KDuzScene* scene = duzsdk::KDuzScene::Create(manager, "");
        duzsdk::KDuzReaderDxf reader(manager);
        if (!reader.FileOpen(path.c_str())) state.SkipWithError("open failed");
        duzsdk::KDuzStreamOptions* options = reader.GetReadOptions(false);
        options->Reset();
        options->SetBoolOption("REFERENCENODE", false);
        options->SetBoolOption("WELD VERTICES", weld);
        if (!reader.Read(scene, options)) state.SkipWithError("read failed");
        auto* mesh = dynamic_cast<duzsdk::KDuzMesh*>(scene->GetRootNode()->GetChild(0)->GetNodeAttribute());
        if (mesh == nullptr || (weld && mesh->GetControlPointsCount() != (kGrid + 1) * (kGrid + 1))) {
            state.SkipWithError("unexpected mesh");
        }
        options->Destroy();
        reader.FileClose();
        state.PauseTiming();
        manager->Destroy();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * FileSize(path));
}

void LineScan(benchmark::State& state, const std::string& path) {
    char line[4096];
    for (auto _ : state) {
        FILE* file = std::fopen(path.c_str(), "r");
        int64_t lines = 0;
        while (std::fgets(line, sizeof line, file) != nullptr) ++lines;
        std::fclose(file);
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(state.iterations() * FileSize(path));
}

void BM_DxfPolyface(benchmark::State& state) { ReadWithReader(state, PolyfaceFile(), false); }
void BM_DxfPolyfaceBaselineLines(benchmark::State& state) { LineScan(state, PolyfaceFile()); }
void BM_DxfFacesWelded(benchmark::State& state) { ReadWithReader(state, FacesFile(), true); }
void BM_DxfFacesUnwelded(benchmark::State& state) { ReadWithReader(state, FacesFile(), false); }
void BM_DxfFacesBaselineLines(benchmark::State& state) { LineScan(state, FacesFile()); }

BENCHMARK(BM_DxfPolyface)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_DxfPolyfaceBaselineLines)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_DxfFacesWelded)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_DxfFacesUnwelded)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_DxfFacesBaselineLines)->Unit(benchmark::kMillisecond)->Iterations(3);

// The files are removed when the program ends.
struct Cleanup {
    ~Cleanup() {
        std::error_code ignored;
        std::filesystem::remove(TempPath("polyface.dxf"), ignored);
        std::filesystem::remove(TempPath("faces.dxf"), ignored);
    }
} gCleanup;

}  // namespace
