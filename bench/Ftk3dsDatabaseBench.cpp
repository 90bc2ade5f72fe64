// The 3DS toolkit's database: putting many small meshes and saving them,
// then loading the file and reading every mesh back. The baseline is lib3ds
// loading the same file in the same run.
#include <benchmark/benchmark.h>

#include "sdk/formats/3dsftk/FtkDatabase.h"
#include "sdk/formats/3dsftk/FtkError.h"
#include "sdk/formats/3dsftk/FtkFile.h"
#include "sdk/formats/3dsftk/FtkTriMesh.h"

#include <lib3ds/file.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

using namespace duzsdk;

namespace {

std::string ScratchFile(int64_t meshes)
{
    static const std::string dir = [] {
        char pattern[] = "/tmp/ftkbenchXXXXXX";
        const char* made = mkdtemp(pattern);
        return std::string(made ? made : "/tmp");
    }();
    return dir + "/meshes" + std::to_string(meshes) + ".3ds";
}

// N meshes of 8 vertices and 12 faces, each named uniquely, saved to a file.
void PutAndSave(int64_t count, const std::string& path)
{
    FtkReset();
    FtkDatabase* db = nullptr;
    FtkDatabaseInit(&db);
    FtkDatabaseCreate(db, kFtkMeshDatabase);
    FtkTriMesh* mesh = nullptr;
    FtkTriMeshInit(&mesh, 8, 12, kFtkTriTexVerts | kFtkTriSmoothGroups);
    for (int i = 0; i < 8; ++i)
        mesh->vertices[i] = {float(i & 1), float((i >> 1) & 1), float(i >> 2)};
    for (int64_t i = 0; i < count; ++i) {
        std::snprintf(mesh->name, sizeof mesh->name, "m%06u", static_cast<unsigned>(i % 1000000));
        FtkTriMeshPut(db, mesh);
    }
    FtkFile* out = FtkFileOpen(path.c_str(), "wb");
    FtkDatabaseSave(out, db);
    FtkFileClose(out);
    FtkTriMeshRelease(&mesh);
    FtkDatabaseRelease(&db);
}

void BM_FtkPutAndSaveMeshes(benchmark::State& state)
{
    const std::string path = ScratchFile(state.range(0));
    for (auto _ : state)
        PutAndSave(state.range(0), path);
    if (FtkErrorPending())
        state.SkipWithError("toolkit error");
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_FtkLoadAndGetMeshes(benchmark::State& state)
{
    const std::string path = ScratchFile(state.range(0));
    PutAndSave(state.range(0), path);
    uint64_t vertices = 0;
    for (auto _ : state) {
        FtkReset();
        FtkDatabase* db = nullptr;
        FtkDatabaseInit(&db);
        FtkDatabaseLoad(FtkFileOpen(path.c_str(), "rb"), db);
        FtkTriMesh* mesh = nullptr;
        const uint32_t count = FtkTriMeshCount(db);
        for (uint32_t i = 0; i < count; ++i) {
            FtkTriMeshGetByIndex(db, i, &mesh);
            vertices += mesh->vertexCount;
        }
        FtkTriMeshRelease(&mesh);
        FtkDatabaseRelease(&db);
    }
    if (FtkErrorPending())
        state.SkipWithError("toolkit error");
    benchmark::DoNotOptimize(vertices);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_Lib3dsLoadMeshes(benchmark::State& state)
{
    const std::string path = ScratchFile(state.range(0));
    PutAndSave(state.range(0), path);
    for (auto _ : state) {
        Lib3dsFile* file = lib3ds_file_load(path.c_str());
        benchmark::DoNotOptimize(file);
        lib3ds_file_free(file);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

} // namespace

BENCHMARK(BM_FtkPutAndSaveMeshes)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FtkLoadAndGetMeshes)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lib3dsLoadMeshes)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
