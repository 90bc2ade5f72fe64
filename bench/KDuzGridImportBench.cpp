#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <tiny_obj_loader.h>

#include "bench/BenchHeapPeak.h"

#include "sdk/geometry/KDuzMesh.h"
#include "sdk/io/KDuz.h"
#include "sdk/io/KDuzImporter.h"
#include "sdk/formats/KDuzReaderObj.h"
#include "sdk/io/KDuzStreamOptions.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

// Imports an N x N quad grid (positions, UVs, normals) from an ASCII and a
// binary DUZ file into a scene, beside two baselines in the same run: the
// same grid as OBJ through tinyobjloader, and a plain fread of the binary
// file. Our OBJ reader reads the same OBJ grid beside tinyobjloader, and a
// second OBJ grid of positions and triangles only, whose normals the readers
// make. Each reports MB/s of its file and, as the counter "peak/byte", the
// largest heap in use during one load divided by the file's size (for the
// imports, above what the SDK manager and the empty scene hold already).

namespace {

using namespace duzsdk;
using duzbench::MarkHeapBase;

// ---------------------------------------------------------------- the grid

std::string Number(double value)
{
    char text[40];
    std::snprintf(text, sizeof(text), "%.15g", value);
    return text;
}

// Position, normal and UV of grid point (i, j); a gentle swell so that the
// numbers carry the digits of real data.
struct GridPoint {
    double p[3];
    double n[3];
    double uv[2];
};

GridPoint PointAt(int n, int i, int j)
{
    GridPoint g;
    const double x = i * 0.25;
    const double z = j * 0.25;
    const double y = 0.5 * std::sin(x * 0.37) * std::cos(z * 0.29);
    g.p[0] = x;
    g.p[1] = y;
    g.p[2] = z;
    const double dx = 0.5 * 0.37 * std::cos(x * 0.37) * std::cos(z * 0.29);
    const double dz = -0.5 * 0.29 * std::sin(x * 0.37) * std::sin(z * 0.29);
    const double length = std::sqrt(dx * dx + 1.0 + dz * dz);
    g.n[0] = -dx / length;
    g.n[1] = 1.0 / length;
    g.n[2] = -dz / length;
    g.uv[0] = static_cast<double>(i) / (n - 1);
    g.uv[1] = static_cast<double>(j) / (n - 1);
    return g;
}

std::string TempPath(const std::string& stem)
{
    return (std::filesystem::temp_directory_path() /
            ("duz_grid_" + std::to_string(::getpid()) + "_" + stem))
        .string();
}

void WriteDuzGrid(const std::string& path, int n, bool binary)
{
    KDuz duz;
    duz.ProjectCreateFile(path.c_str(), binary, false);
    duz.FieldWriteBegin("Definitions");
    duz.FieldWriteBlockBegin();
    duz.FieldWriteBegin("Version");
    duz.FieldWriteInt(100);
    duz.FieldWriteEnd();
    duz.FieldWriteBegin("ObjectType");
    duz.FieldWriteString("Model");
    duz.FieldWriteBlockBegin();
    duz.FieldWriteBegin("Count");
    duz.FieldWriteInt(1);
    duz.FieldWriteEnd();
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();

    duz.FieldWriteBegin("Objects");
    duz.FieldWriteBlockBegin();
    duz.FieldWriteBegin("Model");
    duz.FieldWriteString("Model::grid");
    duz.FieldWriteString("Mesh");
    duz.FieldWriteBlockBegin();
    duz.FieldWriteBegin("Version");
    duz.FieldWriteInt(232);
    duz.FieldWriteEnd();
    duz.FieldWriteBegin("Vertices");
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            const GridPoint g = PointAt(n, i, j);
            duz.FieldWriteVector3(g.p);
        }
    duz.FieldWriteEnd();
    duz.FieldWriteBegin("PolygonVertexIndex");
    for (int j = 0; j + 1 < n; ++j)
        for (int i = 0; i + 1 < n; ++i) {
            const int a = j * n + i;
            duz.FieldWriteInt(a);
            duz.FieldWriteInt(a + 1);
            duz.FieldWriteInt(a + n + 1);
            duz.FieldWriteInt(-(a + n) - 1);
        }
    duz.FieldWriteEnd();
    duz.FieldWriteBegin("GeometryVersion");
    duz.FieldWriteInt(124);
    duz.FieldWriteEnd();

    auto element = [&](const char* name, const char* type, const char* arrayName, int components) {
        duz.FieldWriteBegin(name);
        duz.FieldWriteInt(0);
        duz.FieldWriteBlockBegin();
        duz.FieldWriteBegin("Version");
        duz.FieldWriteInt(101);
        duz.FieldWriteEnd();
        duz.FieldWriteNamedString("Name", type);
        duz.FieldWriteNamedString("MappingInformationType", "ByVertice");
        duz.FieldWriteNamedString("ReferenceInformationType", "Direct");
        duz.FieldWriteBegin(arrayName);
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i) {
                const GridPoint g = PointAt(n, i, j);
                const double* v = components == 3 ? g.n : g.uv;
                for (int c = 0; c < components; ++c)
                    duz.FieldWriteDouble(v[c]);
            }
        duz.FieldWriteEnd();
        duz.FieldWriteBlockEnd();
        duz.FieldWriteEnd();
    };
    element("LayerElementNormal", "", "Normals", 3);
    element("LayerElementUV", "UVChannel_1", "UV", 2);

    duz.FieldWriteBegin("Layer");
    duz.FieldWriteInt(0);
    duz.FieldWriteBlockBegin();
    duz.FieldWriteBegin("Version");
    duz.FieldWriteInt(100);
    duz.FieldWriteEnd();
    for (const char* type : {"LayerElementNormal", "LayerElementUV"}) {
        duz.FieldWriteBegin("LayerElement");
        duz.FieldWriteBlockBegin();
        duz.FieldWriteNamedString("Type", type);
        duz.FieldWriteBegin("TypedIndex");
        duz.FieldWriteInt(0);
        duz.FieldWriteEnd();
        duz.FieldWriteBlockEnd();
        duz.FieldWriteEnd();
    }
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();

    duz.FieldWriteBlockEnd();  // Model
    duz.FieldWriteEnd();
    duz.FieldWriteBlockEnd();  // Objects
    duz.FieldWriteEnd();

    duz.FieldWriteBegin("Connections");
    duz.FieldWriteBlockBegin();
    duz.FieldWriteBegin("Connect");
    duz.FieldWriteString("OO");
    duz.FieldWriteString("Model::grid");
    duz.FieldWriteString("Model::Scene");
    duz.FieldWriteEnd();
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
    duz.ProjectClose();
}

// One OBJ statement per grid point: the keyword, then the numbers of the
// point's `field` (position, UV or normal).
template <int components>
void WriteObjPoints(FILE* out, int n, const char* keyword, double (GridPoint::*field)[components])
{
    std::string line;
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            const GridPoint g = PointAt(n, i, j);
            line = keyword;
            for (int c = 0; c < components; ++c)
                line += " " + Number((g.*field)[c]);
            line += "\n";
            std::fputs(line.c_str(), out);
        }
}

// The same grid as OBJ, the numbers in the same text form.
void WriteObjGrid(const std::string& path, int n)
{
    FILE* out = std::fopen(path.c_str(), "w");
    if (out == nullptr)
        return;
    WriteObjPoints(out, n, "v", &GridPoint::p);
    WriteObjPoints(out, n, "vt", &GridPoint::uv);
    WriteObjPoints(out, n, "vn", &GridPoint::n);
    for (int j = 0; j + 1 < n; ++j)
        for (int i = 0; i + 1 < n; ++i) {
            const int a = j * n + i + 1;
            const int c[4] = {a, a + 1, a + n + 1, a + n};
            std::fprintf(out, "f %d/%d/%d %d/%d/%d %d/%d/%d %d/%d/%d\n", c[0], c[0], c[0], c[1], c[1], c[1], c[2],
                         c[2], c[2], c[3], c[3], c[3]);
        }
    std::fclose(out);
}

// The grid as OBJ positions only, each quad as two triangles in one
// smoothing group: the reader makes the normals, as for most OBJ files.
void WritePlainObjGrid(const std::string& path, int n)
{
    FILE* out = std::fopen(path.c_str(), "w");
    if (out == nullptr)
        return;
    WriteObjPoints(out, n, "v", &GridPoint::p);
    std::fputs("s 1\n", out);
    for (int j = 0; j + 1 < n; ++j)
        for (int i = 0; i + 1 < n; ++i) {
            const int a = j * n + i + 1;
            std::fprintf(out, "f %d %d %d\nf %d %d %d\n", a, a + 1, a + n + 1, a, a + n + 1, a + n);
        }
    std::fclose(out);
}

enum class Kind { kDuzAscii, kDuzBinary, kObj, kObjPlain };

// One file per kind and size, written on first use and removed at exit.
const std::string& GridFile(Kind kind, int n)
{
    static std::map<std::pair<int, int>, std::string> files;
    const auto key = std::make_pair(static_cast<int>(kind), n);
    auto found = files.find(key);
    if (found != files.end())
        return found->second;
    const char* suffix = kind == Kind::kObj        ? ".obj"
                         : kind == Kind::kObjPlain ? "_plain.obj"
                         : kind == Kind::kDuzAscii ? "_ascii.duz"
                                                   : "_binary.duz";
    const std::string path = TempPath(std::to_string(n) + suffix);
    if (kind == Kind::kObj)
        WriteObjGrid(path, n);
    else if (kind == Kind::kObjPlain)
        WritePlainObjGrid(path, n);
    else
        WriteDuzGrid(path, n, kind == Kind::kDuzBinary);
    return files.emplace(key, path).first->second;
}

struct Cleanup {
    ~Cleanup()
    {
        std::error_code code;
        for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::temp_directory_path(), code)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("duz_grid_" + std::to_string(::getpid()) + "_", 0) == 0)
                std::filesystem::remove(entry.path(), code);
        }
    }
} cleanup;

int64_t FileSize(const std::string& path)
{
    std::error_code code;
    return static_cast<int64_t>(std::filesystem::file_size(path, code));
}

// Runs `load` once per iteration; reports MB/s and the heap peak of the
// first load per byte of the file.
template <class Load>
void Measure(benchmark::State& state, const std::string& path, Load load)
{
    const int64_t size = FileSize(path);
    double peakPerByte = 0.0;
    bool first = true;
    for (auto _ : state) {
        MarkHeapBase();
        if (!load()) {
            state.SkipWithError("load failed");
            return;
        }
        if (first) {
            peakPerByte =
                size > 0 ? static_cast<double>(duzbench::HeapPeakSinceBase()) / static_cast<double>(size) : 0.0;
            first = false;
        }
    }
    state.SetBytesProcessed(state.iterations() * size);
    state.counters["file_MB"] = static_cast<double>(size) / 1e6;
    state.counters["peak/byte"] = peakPerByte;
}

bool ImportDuz(const std::string& path, int n)
{
    KDuzSdkManager* manager = KDuzSdkManager::Create();
    KDuzScene* scene = KDuzScene::Create(manager, "");
    // The manager's own start-up memory is the same for any file.
    MarkHeapBase();
    KDuzImporter* importer = KDuzImporter::Create(manager, "");
    bool ok = importer->Initialize(path.c_str()) && importer->Import(scene);
    if (ok) {
        // The import must have built the whole grid.
        KDuzNode* root = scene->GetRootNode();
        KDuzNode* node = root != nullptr && root->GetChildCount() > 0 ? root->GetChild(0) : nullptr;
        auto* mesh = node != nullptr ? dynamic_cast<KDuzMesh*>(node->GetMesh()) : nullptr;
        ok = mesh != nullptr && mesh->GetControlPointsCount() == n * n &&
             mesh->GetPolygonCount() == (n - 1) * (n - 1);
    }
    manager->Destroy();
    return ok;
}

void DuzAsciiImport(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const std::string& path = GridFile(Kind::kDuzAscii, n);
    Measure(state, path, [&] { return ImportDuz(path, n); });
}

void DuzBinaryImport(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const std::string& path = GridFile(Kind::kDuzBinary, n);
    Measure(state, path, [&] { return ImportDuz(path, n); });
}

void TinyObjLoadOf(benchmark::State& state, Kind kind)
{
    const int n = static_cast<int>(state.range(0));
    const std::string& path = GridFile(kind, n);
    Measure(state, path, [&] {
        tinyobj::attrib_t attrib;
        std::vector<tinyobj::shape_t> shapes;
        std::vector<tinyobj::material_t> materials;
        std::string warn, err;
        const bool ok = tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, path.c_str(), nullptr, false);
        return ok && attrib.vertices.size() == static_cast<size_t>(3 * n * n);
    });
}

// Our OBJ reader on the same grid (the importer reads DUZ files only, so the
// reader is driven directly); the grid's group lands under the file's
// reference node. The plain grid's triangles give as many polygons again.
void ObjReadOf(benchmark::State& state, Kind kind)
{
    const int n = static_cast<int>(state.range(0));
    const std::string& path = GridFile(kind, n);
    const int polygons = (kind == Kind::kObjPlain ? 2 : 1) * (n - 1) * (n - 1);
    Measure(state, path, [&] {
        KDuzSdkManager* manager = KDuzSdkManager::Create();
        KDuzScene* scene = KDuzScene::Create(manager, "");
        MarkHeapBase();
        bool ok = false;
        {
            KDuzReaderObj reader(manager);
            KDuzStreamOptions* options = reader.FileOpen(path.c_str()) ? reader.GetReadOptions(false) : nullptr;
            ok = options != nullptr && reader.Read(scene, options);
            if (options != nullptr)
                options->Destroy();
        }
        if (ok) {
            KDuzNode* root = scene->GetRootNode();
            KDuzNode* reference = root != nullptr && root->GetChildCount() > 0 ? root->GetChild(0) : nullptr;
            KDuzNode* node = reference != nullptr && reference->GetChildCount() > 0 ? reference->GetChild(0) : nullptr;
            auto* mesh = node != nullptr ? dynamic_cast<KDuzMesh*>(node->GetMesh()) : nullptr;
            ok = mesh != nullptr && mesh->GetControlPointsCount() == n * n && mesh->GetPolygonCount() == polygons;
        }
        manager->Destroy();
        return ok;
    });
}

void TinyObjLoad(benchmark::State& state) { TinyObjLoadOf(state, Kind::kObj); }
void ObjRead(benchmark::State& state) { ObjReadOf(state, Kind::kObj); }
void TinyObjLoadPlain(benchmark::State& state) { TinyObjLoadOf(state, Kind::kObjPlain); }
void ObjReadPlain(benchmark::State& state) { ObjReadOf(state, Kind::kObjPlain); }

void PlainFread(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const std::string& path = GridFile(Kind::kDuzBinary, n);
    Measure(state, path, [&] {
        FILE* file = std::fopen(path.c_str(), "rb");
        if (file == nullptr)
            return false;
        std::vector<unsigned char> buffer(static_cast<size_t>(FileSize(path)));
        const size_t got = std::fread(buffer.data(), 1, buffer.size(), file);
        std::fclose(file);
        benchmark::DoNotOptimize(buffer.data());
        return got == buffer.size();
    });
}

// Grids from about 1 MB to a few hundred MB of ASCII text.
void Sizes(benchmark::internal::Benchmark* b)
{
    for (int n : {128, 512, 1024, 1536})
        b->Arg(n);
    b->Unit(benchmark::kMillisecond)->UseRealTime();
}

// The triangle grid at about 1, 10, 50 and 190 MB.
void PlainSizes(benchmark::internal::Benchmark* b)
{
    for (int n : {128, 372, 806, 1536})
        b->Arg(n);
    b->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK(DuzAsciiImport)->Apply(Sizes);
BENCHMARK(TinyObjLoad)->Apply(Sizes);
BENCHMARK(ObjRead)->Apply(Sizes);
BENCHMARK(TinyObjLoadPlain)->Apply(PlainSizes);
BENCHMARK(ObjReadPlain)->Apply(PlainSizes);
BENCHMARK(DuzBinaryImport)->Apply(Sizes);
BENCHMARK(PlainFread)->Apply(Sizes);

}  // namespace
