// How a scene's cost grows with its size, step by step: making it, writing
// it as a binary version 6 file and reading that file back.
//
// Nodes/N: N nodes with nothing attached under the root; NullNodes/N the
// same with a null attribute each, and NullNodesAscii/N the same written
// and read as an ASCII version 6 file: a binary file cannot pass 4 GiB
// (its offsets are 32-bit) and 10^6 null nodes take about 5 GB, so the
// binary run goes to 8 * 10^5 and the ASCII run is the one that goes to
// 10^6. ModelsWithMaterials/N: N models,
// each an eight-point cube mesh with a material of its own. Every size runs
// once (one iteration: the largest takes minutes and gigabytes), so the
// figures to compare are the counters, per node or per model:
//   make_us, write_us, read_us   time of each step per item
//   made_KiB, written_KiB, read_KiB
//                                heap held per item after making the
//                                scene, after writing it, and by the scene
//                                read back (glibc's live bytes)
//   peak_write_MiB, peak_read_MiB
//                                the process's peak resident memory during
//                                the step, over what it held before it
//   file_MB, peak_read_per_file  the file's size, and the read's peak over it
// Time per item should stay flat as N grows by a thousand. The 10^6 runs
// are made only when DUZ_SCALE_MILLION=1 is set, and the 10^5 model runs
// (several GiB) only when DUZ_SCALE_MODELS=1 is set (see ScaleSizes).
//
// The baseline in the same run, StructNodesBaseline/N, is the floor of any such
// representation: a plain struct per node with a name, a parent, a child
// list and 68 properties of three doubles, allocated one by one, written
// with one fwrite per node and read back the same way.
// ModelsFieldParseBaseline/N reads the file of ModelsWithMaterials/N into
// the field file and visits every field, as any reader of it must: its
// read_us and peak_read_per_file are the floor of the model import's.
#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzLayerElement.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/io/KDuzExporter.h"
#include "sdk/io/KDuzImporter.h"
#include "sdk/io/KDuzStreamOptionsDuz.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNull.h"
#include "sdk/scene/KDuzScene.h"

#include "bench/KDuzParseBaseline.h"

#include <benchmark/benchmark.h>

namespace duzsdk {
namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

int64_t LiveHeapBytes() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<int64_t>(info.uordblks) + static_cast<int64_t>(info.hblkhd);
}

// The resident peak ("VmHWM") is reset to what is resident now, so each
// step's peak is measured from its own start.
void ResetPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
}

int64_t ProcStatusBytes(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const size_t length = std::strlen(key);
    while (std::getline(status, line)) {
        if (line.compare(0, length, key) == 0) return std::stoll(line.substr(length + 1)) * 1024;
    }
    return 0;
}

int64_t ResidentBytes() { return ProcStatusBytes("VmRSS"); }
int64_t PeakBytes() { return ProcStatusBytes("VmHWM"); }

std::string BenchPath(const char* name) {
    return (std::filesystem::temp_directory_path() /
            (std::string("scalebench_") + std::to_string(::getpid()) + name))
        .string();
}

// An eight-point cube with its six faces and a material of its own.
KDuzNode* MakeModel(KDuzSdkManager* manager, int index) {
    const std::string name = "Cube" + std::to_string(index);
    KDuzMesh* mesh = KDuzMesh::Create(manager, "");
    mesh->InitControlPoints(8);
    for (int i = 0; i < 8; ++i)
        mesh->GetControlPoints()[i] = KgeTVector(i & 1 ? 1.0 : 0.0, i & 2 ? 1.0 : 0.0, i & 4 ? 1.0 : 0.0, 1.0);
    const int faces[6][4] = {{0, 1, 3, 2}, {4, 6, 7, 5}, {0, 4, 5, 1}, {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 5, 7, 3}};
    for (const auto& face : faces) {
        mesh->BeginPolygon();
        for (int corner : face) mesh->AddPolygon(corner);
        mesh->EndPolygon();
    }
    if (mesh->GetLayerCount() == 0) mesh->CreateLayer();
    auto* material = KDuzSurfacePhong::Create(manager, ("Material" + std::to_string(index)).c_str());
    const duzVectorTemplate3<double> diffuse((index % 7) / 7.0, 0.5, 0.25);
    material->GetDiffuseColor().SetValue(&diffuse, eValueKindDouble3);
    auto* materials = KDuzCreateLayerElementMaterial(manager, "");
    materials->SetMappingMode(KDuzLayerElement::eAllSame);
    materials->SetReferenceMode(KDuzLayerElement::eIndexToDirect);
    materials->GetDirectArray().Add(material);
    materials->GetIndexArray().Add(0);
    mesh->GetLayer(0)->SetMaterials(materials);
    KDuzNode* node = KDuzNode::Create(manager, name.c_str());
    node->SetNodeAttribute(mesh);
    node->ConnectSrcObject(material);
    node->SetLclTranslation(duzVectorTemplate3<double>(index * 2.0, 0.0, 0.0));
    return node;
}

// A node with nothing attached, as a program makes it.
KDuzNode* MakePlainNode(KDuzSdkManager* manager, int index) {
    return KDuzNode::Create(manager, ("Node" + std::to_string(index)).c_str());
}

KDuzNode* MakeNullNode(KDuzSdkManager* manager, int index) {
    KDuzNode* node = MakePlainNode(manager, index);
    node->SetNodeAttribute(KDuzNull::Create(manager, ""));
    return node;
}

// File formats of the exporter: 0 binary, 1 ASCII (both version 6).
constexpr int kBinaryFormat = 0;
constexpr int kAsciiFormat = 1;

void RunScale(benchmark::State& state, KDuzNode* (*make)(KDuzSdkManager*, int), int format = kBinaryFormat) {
    const int count = static_cast<int>(state.range(0));
    const std::string path = BenchPath(".duz");
    for (auto _ : state) {
        KDuzSdkManager* manager = KDuzSdkManager::Create();
        KDuzScene* scene = KDuzScene::Create(manager, "");
        KDuzNode* root = scene->GetRootNode();

        const int64_t heapBefore = LiveHeapBytes();
        Clock::time_point start = Clock::now();
        for (int i = 0; i < count; ++i) root->AddChild(make(manager, i));
        const double makeSeconds = SecondsSince(start);
        const int64_t made = LiveHeapBytes() - heapBefore;

        ResetPeak();
        int64_t resident = ResidentBytes();
        start = Clock::now();
        KDuzExporter* exporter = KDuzExporter::Create(manager, "");
        auto* options = KDuzStreamOptionsDuzWriter::Create(manager, "");
        options->Reset();
        exporter->Initialize(path.c_str());
        exporter->SetFileFormat(format);
        const bool exported = exporter->Export(scene, options);
        const std::string exportError = exported ? "" : "export failed: " + std::string(exporter->GetLastErrorString());
        exporter->Destroy();
        options->Destroy();
        if (!exported) {
            state.counters["make_us"] = makeSeconds / count * 1e6;
            state.counters["made_KiB"] = static_cast<double>(made) / count / 1024.0;
            state.counters["write_s_to_refusal"] = SecondsSince(start);
            state.SkipWithError(exportError.c_str());
            scene->Destroy();
            manager->Destroy();
            break;
        }
        const double writeSeconds = SecondsSince(start);
        const int64_t peakWrite = PeakBytes() - resident;
        const int64_t written = LiveHeapBytes() - heapBefore;
        const auto fileBytes = static_cast<int64_t>(std::filesystem::file_size(path));

        // The made scene goes first: the read is measured on its own.
        scene->Destroy();
        manager->Destroy();
        malloc_trim(0);

        manager = KDuzSdkManager::Create();
        KDuzScene* read = KDuzScene::Create(manager, "");
        const int64_t heapBeforeRead = LiveHeapBytes();
        ResetPeak();
        resident = ResidentBytes();
        start = Clock::now();
        KDuzImporter* importer = KDuzImporter::Create(manager, "");
        if (!importer->Initialize(path.c_str()) || !importer->Import(read)) state.SkipWithError("import failed");
        importer->Destroy();
        const double readSeconds = SecondsSince(start);
        const int64_t peakRead = PeakBytes() - resident;
        const int64_t readHeld = LiveHeapBytes() - heapBeforeRead;
        if (read->GetRootNode()->GetChildCount() != count) state.SkipWithError("read back a different count");
        manager->Destroy();
        malloc_trim(0);

        const double n = count;
        state.counters["make_us"] = makeSeconds / n * 1e6;
        state.counters["write_us"] = writeSeconds / n * 1e6;
        state.counters["read_us"] = readSeconds / n * 1e6;
        state.counters["made_KiB"] = static_cast<double>(made) / n / 1024.0;
        state.counters["written_KiB"] = static_cast<double>(written) / n / 1024.0;
        state.counters["read_KiB"] = static_cast<double>(readHeld) / n / 1024.0;
        state.counters["peak_write_MiB"] = static_cast<double>(peakWrite) / 1048576.0;
        state.counters["peak_read_MiB"] = static_cast<double>(peakRead) / 1048576.0;
        state.counters["file_MB"] = static_cast<double>(fileBytes) / 1e6;
        state.counters["peak_read_per_file"] = static_cast<double>(peakRead) / static_cast<double>(fileBytes);
    }
    std::filesystem::remove(path);
}

void ModelsFieldParseBaseline(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const std::string path = BenchPath("_fields.duz");
    {
        KDuzSdkManager* manager = KDuzSdkManager::Create();
        KDuzScene* scene = KDuzScene::Create(manager, "");
        for (int i = 0; i < count; ++i) scene->GetRootNode()->AddChild(MakeModel(manager, i));
        KDuzExporter* exporter = KDuzExporter::Create(manager, "");
        auto* options = KDuzStreamOptionsDuzWriter::Create(manager, "");
        options->Reset();
        exporter->Initialize(path.c_str());
        exporter->SetFileFormat(0);
        if (!exporter->Export(scene, options)) state.SkipWithError("export failed");
        manager->Destroy();
        malloc_trim(0);
    }
    const auto fileBytes = static_cast<int64_t>(std::filesystem::file_size(path));
    for (auto _ : state) {
        ResetPeak();
        const int64_t resident = ResidentBytes();
        const Clock::time_point start = Clock::now();
        KDuz duz;
        if (!duz.ProjectOpen(path.c_str())) state.SkipWithError("open");
        benchmark::DoNotOptimize(duzbench::WalkBlock(duz, 0));
        duz.ProjectClose();
        const double readSeconds = SecondsSince(start);
        const int64_t peakRead = PeakBytes() - resident;
        state.counters["read_us"] = readSeconds / count * 1e6;
        state.counters["peak_read_MiB"] = static_cast<double>(peakRead) / 1048576.0;
        state.counters["file_MB"] = static_cast<double>(fileBytes) / 1e6;
        state.counters["peak_read_per_file"] = static_cast<double>(peakRead) / static_cast<double>(fileBytes);
    }
    std::filesystem::remove(path);
}

void Nodes(benchmark::State& state) { RunScale(state, &MakePlainNode); }
void NullNodes(benchmark::State& state) { RunScale(state, &MakeNullNode); }
void NullNodesAscii(benchmark::State& state) { RunScale(state, &MakeNullNode, kAsciiFormat); }
void ModelsWithMaterials(benchmark::State& state) { RunScale(state, &MakeModel); }

struct PlainNode {
    std::string name;
    PlainNode* parent = nullptr;
    std::vector<PlainNode*> children;
    double values[68][3] = {};
};

void StructNodesBaseline(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const std::string path = BenchPath("_plain.bin");
    for (auto _ : state) {
        const int64_t heapBefore = LiveHeapBytes();
        Clock::time_point start = Clock::now();
        PlainNode root;
        for (int i = 0; i < count; ++i) {
            auto* node = new PlainNode;
            node->name = "Null" + std::to_string(i);
            node->values[4][0] = node->values[4][1] = node->values[4][2] = 1.0;
            node->parent = &root;
            root.children.push_back(node);
        }
        const double makeSeconds = SecondsSince(start);
        const int64_t made = LiveHeapBytes() - heapBefore;

        start = Clock::now();
        std::FILE* file = std::fopen(path.c_str(), "wb");
        for (const PlainNode* node : root.children) {
            const auto length = static_cast<uint32_t>(node->name.size());
            std::fwrite(&length, sizeof length, 1, file);
            std::fwrite(node->name.data(), 1, length, file);
            std::fwrite(node->values, sizeof node->values, 1, file);
        }
        std::fclose(file);
        const double writeSeconds = SecondsSince(start);
        for (PlainNode* node : root.children) delete node;
        root.children.clear();

        start = Clock::now();
        file = std::fopen(path.c_str(), "rb");
        uint32_t length = 0;
        while (std::fread(&length, sizeof length, 1, file) == 1) {
            auto* node = new PlainNode;
            node->name.resize(length);
            if (std::fread(node->name.data(), 1, length, file) != length ||
                std::fread(node->values, sizeof node->values, 1, file) != 1) {
                delete node;
                break;
            }
            node->parent = &root;
            root.children.push_back(node);
        }
        std::fclose(file);
        const double readSeconds = SecondsSince(start);
        for (PlainNode* node : root.children) delete node;

        const double n = count;
        state.counters["make_us"] = makeSeconds / n * 1e6;
        state.counters["write_us"] = writeSeconds / n * 1e6;
        state.counters["read_us"] = readSeconds / n * 1e6;
        state.counters["made_KiB"] = static_cast<double>(made) / n / 1024.0;
    }
    std::filesystem::remove(path);
}

// The sizes given, plus `large` when the environment variable is "1" (a
// run by hand: 10^6 nodes take about 10 GiB and a quarter of an hour, 10^5
// models several GiB).
void ScaleSizes(benchmark::internal::Benchmark* bench, std::initializer_list<int64_t> sizes,
                const char* variable, int64_t large) {
    for (int64_t size : sizes) bench->Arg(size);
    const char* value = std::getenv(variable);
    if (value != nullptr && std::strcmp(value, "1") == 0) bench->Arg(large);
    bench->Iterations(1)->Unit(benchmark::kMillisecond);
}

void NodeSizes(benchmark::internal::Benchmark* bench, std::initializer_list<int64_t> sizes,
               int64_t large = 1000000) {
    ScaleSizes(bench, sizes, "DUZ_SCALE_MILLION", large);
}

// A binary file of null nodes ends at 4 GiB: 8 * 10^5 of them is the
// largest run of ten thousands that fits.
constexpr int64_t kBinaryNullNodesLimit = 800000;

// 16,000 models is the file of the import figures; 3 * 10^4 stays under 2 GiB.
void ModelSizes(benchmark::internal::Benchmark* bench) {
    ScaleSizes(bench, {1000, 10000, 16000, 30000}, "DUZ_SCALE_MODELS", 100000);
}

}  // namespace

BENCHMARK(StructNodesBaseline)->Apply([](auto* b) { NodeSizes(b, {1000, 100000}); });
BENCHMARK(Nodes)->Apply([](auto* b) { NodeSizes(b, {1000, 10000, 100000}); });
BENCHMARK(NullNodes)->Apply([](auto* b) { NodeSizes(b, {1000, 10000, 100000}, kBinaryNullNodesLimit); });
BENCHMARK(NullNodesAscii)->Apply([](auto* b) { NodeSizes(b, {1000, 10000, 100000}); });
BENCHMARK(ModelsFieldParseBaseline)->Apply(ModelSizes);
BENCHMARK(ModelsWithMaterials)->Apply(ModelSizes);

}  // namespace duzsdk
