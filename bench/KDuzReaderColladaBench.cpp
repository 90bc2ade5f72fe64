#include <benchmark/benchmark.h>

#include <libxml/parser.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>

#include "bench/BenchHeapPeak.h"
#include "sdk/formats/collada/KDuzReaderCollada.h"
#include "sdk/io/KDuzStreamOptions.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzScene.h"

// Imports Collada files through the Collada reader beside a baseline in the
// same run: libxml2 parsing the same file into a tree and freeing it, which
// every import pays first. Three kinds of file:
//  - Grid/N: an N x N quad grid as triangles, positions and texture
//    coordinates per point, one normal shared by every corner (each corner
//    then costs two bytes of file and a whole normal in the mesh);
//  - Mesh/N: the same grid as exporters write it, with a normal and texture
//    coordinates per point, each input with its own index;
//  - Nodes/N: N nodes, each with its own small mesh (a quad of two triangles).
// Each reports MB/s of the file, items per second (triangles, or nodes) and,
// as the counter "peak/byte", the largest heap in use during the first
// import (or parse) over the file's size. Time per item staying flat as N
// grows shows the import is linear. Imports also report "teardown_ms", the
// part of each iteration spent destroying the manager afterwards, so the
// read and the teardown can be told apart.

namespace {

enum class ColladaBenchKind { kGrid, kMesh, kNodes };

constexpr const char* kColladaBenchHead =
    "<?xml version=\"1.0\"?>\n<COLLADA version=\"1.4.1\"><asset><up_axis>Y_UP</up_axis></asset>";
constexpr const char* kColladaBenchTail = "<scene><instance_visual_scene url=\"#vs\"/></scene></COLLADA>\n";

void WriteColladaSource(std::ofstream& out, const char* id, int count, int stride, auto&& writeValues)
{
    out << "<source id=\"" << id << "\"><float_array id=\"" << id << "-a\" count=\"" << count * stride << "\">";
    writeValues();
    out << "</float_array><technique_common><accessor source=\"#" << id << "-a\" count=\"" << count
        << "\" stride=\"" << stride << "\"/></technique_common></source>\n";
}

void WriteGrid(std::ofstream& out, int n, bool perPointNormals)
{
    const int side = n + 1;
    const int points = side * side;
    out << "<library_geometries><geometry id=\"grid\"><mesh>\n";
    WriteColladaSource(out, "p", points, 3, [&] {
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) out << x * 0.5 << ' ' << y * 0.5 << " 0\n";
    });
    WriteColladaSource(out, "n", perPointNormals ? points : 1, 3, [&] {
        for (int i = 0; i < (perPointNormals ? points : 1); ++i) out << "0 0 1\n";
    });
    WriteColladaSource(out, "t", points, 2, [&] {
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x)
                out << static_cast<double>(x) / n << ' ' << static_cast<double>(y) / n << '\n';
    });
    out << "<vertices id=\"v\"><input semantic=\"POSITION\" source=\"#p\"/></vertices><triangles count=\""
        << 2 * n * n << "\"><input semantic=\"VERTEX\" source=\"#v\" offset=\"0\"/>";
    if (perPointNormals)
        out << "<input semantic=\"NORMAL\" source=\"#n\" offset=\"1\"/><input semantic=\"TEXCOORD\" source=\"#t\" "
               "offset=\"2\" set=\"0\"/><p>";
    else
        out << "<input semantic=\"NORMAL\" source=\"#n\" offset=\"1\"/><input semantic=\"TEXCOORD\" source=\"#t\" "
               "offset=\"0\" set=\"0\"/><p>";
    auto corner = [&](int index) {
        if (perPointNormals)
            out << index << ' ' << index << ' ' << index << ' ';
        else
            out << index << " 0 ";
    };
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            const int a = y * side + x, b = a + 1, c = a + side + 1, d = a + side;
            for (const int index : {a, b, c, a, c, d}) corner(index);
            out << '\n';
        }
    }
    out << "</p></triangles></mesh></geometry></library_geometries><library_visual_scenes><visual_scene id=\"vs\">"
           "<node id=\"grid\"><instance_geometry url=\"#grid\"/></node></visual_scene></library_visual_scenes>";
}

void WriteNodes(std::ofstream& out, int n)
{
    out << "<library_geometries>\n";
    for (int i = 0; i < n; ++i) {
        out << "<geometry id=\"g" << i << "\"><mesh><source id=\"g" << i << "p\"><float_array count=\"12\">" << i
            << " 0 0 " << i + 1 << " 0 0 " << i + 1 << " 1 0 " << i
            << " 1 0</float_array><technique_common><accessor count=\"4\" stride=\"3\"/></technique_common>"
               "</source><source id=\"g"
            << i
            << "n\"><float_array count=\"3\">0 0 1</float_array><technique_common><accessor count=\"1\" "
               "stride=\"3\"/></technique_common></source><source id=\"g"
            << i
            << "t\"><float_array count=\"8\">0 0 1 0 1 1 0 1</float_array><technique_common><accessor count=\"4\" "
               "stride=\"2\"/></technique_common></source><vertices id=\"g"
            << i << "v\"><input semantic=\"POSITION\" source=\"#g" << i
            << "p\"/></vertices><triangles count=\"2\"><input semantic=\"VERTEX\" source=\"#g" << i
            << "v\" offset=\"0\"/><input semantic=\"NORMAL\" source=\"#g" << i
            << "n\" offset=\"1\"/><input semantic=\"TEXCOORD\" source=\"#g" << i
            << "t\" offset=\"0\" set=\"0\"/><p>0 0 1 0 2 0 0 0 2 0 3 0</p></triangles></mesh></geometry>\n";
    }
    out << "</library_geometries><library_visual_scenes><visual_scene id=\"vs\">\n";
    for (int i = 0; i < n; ++i)
        out << "<node id=\"n" << i << "\"><translate>" << i << " 0 0</translate><instance_geometry url=\"#g" << i
            << "\"/></node>\n";
    out << "</visual_scene></library_visual_scenes>";
}

// The files made so far, removed when the program ends.
struct ColladaBenchFiles {
    std::map<std::pair<ColladaBenchKind, int>, std::string> paths;
    ~ColladaBenchFiles()
    {
        for (const auto& [key, path] : paths) std::remove(path.c_str());
    }
};

const std::string& ColladaBenchFile(ColladaBenchKind kind, int n)
{
    static ColladaBenchFiles files;
    const auto key = std::make_pair(kind, n);
    const auto found = files.paths.find(key);
    if (found != files.paths.end()) return found->second;
    const std::string path =
        (std::filesystem::temp_directory_path() / ("duz-collada-bench-" + std::to_string(::getpid()) + "-" +
                                                   std::to_string(static_cast<int>(kind)) + "-" +
                                                   std::to_string(n) + ".dae"))
            .string();
    std::ofstream out(path);
    out << kColladaBenchHead;
    if (kind == ColladaBenchKind::kNodes)
        WriteNodes(out, n);
    else
        WriteGrid(out, n, kind == ColladaBenchKind::kMesh);
    out << kColladaBenchTail;
    out.close();
    return files.paths.emplace(key, path).first->second;
}

int64_t ColladaBenchItems(ColladaBenchKind kind, int n) { return kind == ColladaBenchKind::kNodes ? n : 2LL * n * n; }

// Seconds spent destroying managers since the benchmark started.
double gColladaBenchTeardown = 0.0;

// Runs `load` once per iteration; reports MB/s, items per second and the
// heap peak of the first load per byte of the file.
template <class Load>
void MeasureCollada(benchmark::State& state, ColladaBenchKind kind, Load load)
{
    const int n = static_cast<int>(state.range(0));
    const std::string& path = ColladaBenchFile(kind, n);
    const auto size = static_cast<int64_t>(std::filesystem::file_size(path));
    double peakPerByte = 0.0;
    bool first = true;
    gColladaBenchTeardown = 0.0;
    for (auto _ : state) {
        if (!load(path)) {
            state.SkipWithError("load failed");
            return;
        }
        if (first) {
            peakPerByte = static_cast<double>(duzbench::HeapPeakSinceBase()) / static_cast<double>(size);
            first = false;
        }
    }
    state.SetBytesProcessed(state.iterations() * size);
    state.SetItemsProcessed(state.iterations() * ColladaBenchItems(kind, n));
    state.counters["file_MB"] = static_cast<double>(size) / 1e6;
    state.counters["peak/byte"] = peakPerByte;
    if (gColladaBenchTeardown > 0.0)
        state.counters["teardown_ms"] = 1e3 * gColladaBenchTeardown / static_cast<double>(state.iterations());
}

bool ColladaBenchImport(const std::string& path)
{
    duzsdk::KDuzSdkManager* manager = duzsdk::KDuzSdkManager::Create();
    duzsdk::KDuzScene* scene = duzsdk::KDuzScene::Create(manager, "");
    // The manager's own start-up memory is the same for any file.
    duzbench::MarkHeapBase();
    bool ok = false;
    {
        duzsdk::KDuzReaderCollada reader(manager);
        ok = reader.FileOpen(path.c_str());
        duzsdk::KDuzStreamOptions* options = reader.GetReadOptions(false);
        ok = ok && reader.Read(scene, options);
        if (options != nullptr) options->Destroy();
        reader.FileClose();
    }
    const auto teardown = std::chrono::steady_clock::now();
    manager->Destroy();
    gColladaBenchTeardown += std::chrono::duration<double>(std::chrono::steady_clock::now() - teardown).count();
    return ok;
}

bool ColladaBenchParse(const std::string& path)
{
    duzbench::MarkHeapBase();
    xmlDoc* doc = xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_HUGE);
    xmlFreeDoc(doc);
    return doc != nullptr;
}

void BM_ColladaImport(benchmark::State& state) { MeasureCollada(state, ColladaBenchKind::kGrid, ColladaBenchImport); }
void BM_LibXml2ParseBaseline(benchmark::State& state)
{
    MeasureCollada(state, ColladaBenchKind::kGrid, ColladaBenchParse);
}
void BM_ColladaImportMesh(benchmark::State& state)
{
    MeasureCollada(state, ColladaBenchKind::kMesh, ColladaBenchImport);
}
void BM_LibXml2ParseMeshBaseline(benchmark::State& state)
{
    MeasureCollada(state, ColladaBenchKind::kMesh, ColladaBenchParse);
}
void BM_ColladaImportNodes(benchmark::State& state)
{
    MeasureCollada(state, ColladaBenchKind::kNodes, ColladaBenchImport);
}
void BM_LibXml2ParseNodesBaseline(benchmark::State& state)
{
    MeasureCollada(state, ColladaBenchKind::kNodes, ColladaBenchParse);
}

BENCHMARK(BM_ColladaImport)->Arg(64)->Arg(256)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibXml2ParseBaseline)->Arg(64)->Arg(256)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ColladaImportMesh)->Arg(256)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibXml2ParseMeshBaseline)->Arg(256)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ColladaImportNodes)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibXml2ParseNodesBaseline)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
