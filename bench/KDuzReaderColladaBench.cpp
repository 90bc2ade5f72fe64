#include <benchmark/benchmark.h>

#include <libxml/parser.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "sdk/formats/collada/KDuzReaderCollada.h"
#include "sdk/io/KDuzStreamOptions.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzScene.h"

// Imports an N x N quad grid (two triangles per quad; positions, normals and
// indexed texture coordinates) from a Collada file through the Collada
// reader, beside a baseline in the same run: libxml2 parsing the same file
// into a tree and freeing it, which every import pays first. Both report
// MB/s of the file; the import also triangles per second. Time per triangle
// staying flat as N grows shows the import is linear.

namespace {

std::string GridFile(int n) {
    static std::map<int, std::string> made;
    auto found = made.find(n);
    if (found != made.end()) return found->second;
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("duz-collada-bench-" + std::to_string(::getpid()) + "-" + std::to_string(n) + ".dae"))
                                 .string();
    std::ofstream out(path);
    const int side = n + 1;
    const int points = side * side;
    out << "<?xml version=\"1.0\"?>\n<COLLADA version=\"1.4.1\"><asset><up_axis>Y_UP</up_axis></asset>"
           "<library_geometries><geometry id=\"grid\"><mesh>\n<source id=\"p\"><float_array count=\""
        << points * 3 << "\">";
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) out << x * 0.5 << ' ' << y * 0.5 << " 0\n";
    out << "</float_array><technique_common><accessor count=\"" << points
        << "\" stride=\"3\"/></technique_common></source>\n<source id=\"n\"><float_array count=\"3\">0 0 1"
           "</float_array><technique_common><accessor count=\"1\" stride=\"3\"/></technique_common></source>\n"
           "<source id=\"t\"><float_array count=\""
        << points * 2 << "\">";
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) out << static_cast<double>(x) / n << ' ' << static_cast<double>(y) / n << '\n';
    out << "</float_array><technique_common><accessor count=\"" << points
        << "\" stride=\"2\"/></technique_common></source>\n<vertices id=\"v\"><input semantic=\"POSITION\" "
           "source=\"#p\"/></vertices><triangles count=\""
        << 2 * n * n
        << "\"><input semantic=\"VERTEX\" source=\"#v\" offset=\"0\"/><input semantic=\"NORMAL\" source=\"#n\" "
           "offset=\"1\"/><input semantic=\"TEXCOORD\" source=\"#t\" offset=\"0\" set=\"0\"/><p>";
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            const int a = y * side + x, b = a + 1, c = a + side + 1, d = a + side;
            out << a << " 0 " << b << " 0 " << c << " 0 " << a << " 0 " << c << " 0 " << d << " 0\n";
        }
    }
    out << "</p></triangles></mesh></geometry></library_geometries><library_visual_scenes><visual_scene id=\"vs\">"
           "<node id=\"grid\"><instance_geometry url=\"#grid\"/></node></visual_scene></library_visual_scenes>"
           "<scene><instance_visual_scene url=\"#vs\"/></scene></COLLADA>\n";
    out.close();
    made.emplace(n, path);
    return path;
}

int64_t FileSize(const std::string& path) { return static_cast<int64_t>(std::filesystem::file_size(path)); }

void BM_ColladaImport(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::string path = GridFile(n);
    for (auto _ : state) {
        state.PauseTiming();
        duzsdk::KDuzSdkManager* manager = duzsdk::KDuzSdkManager::Create();
        duzsdk::KDuzScene* scene = duzsdk::KDuzScene::Create(manager, "");
        state.ResumeTiming();
        duzsdk::KDuzReaderCollada reader(manager);
        bool ok = reader.FileOpen(path.c_str());
        duzsdk::KDuzStreamOptions* options = reader.GetReadOptions(false);
        ok = ok && reader.Read(scene, options);
        if (options != nullptr) options->Destroy();
        reader.FileClose();
        if (!ok) state.SkipWithError("import failed");
        state.PauseTiming();
        manager->Destroy();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * FileSize(path));
    state.SetItemsProcessed(state.iterations() * 2LL * n * n);
}

void BM_LibXml2ParseBaseline(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::string path = GridFile(n);
    for (auto _ : state) {
        xmlDoc* doc = xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_HUGE);
        if (doc == nullptr) state.SkipWithError("parse failed");
        xmlFreeDoc(doc);
    }
    state.SetBytesProcessed(state.iterations() * FileSize(path));
    state.SetItemsProcessed(state.iterations() * 2LL * n * n);
}

BENCHMARK(BM_ColladaImport)->Arg(64)->Arg(256)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibXml2ParseBaseline)->Arg(64)->Arg(256)->Arg(1024)->Unit(benchmark::kMillisecond);

}  // namespace
