// What a material costs once read or written: the heap a scene holds per
// model after an OBJ, 3DS or DXF read, and what a version 5 write leaves
// on the materials it wrote. Each step is measured beside a baseline in the
// same run: the same file read without materials (OBJ, 3DS, DXF: the
// difference is the cost of a material), and the version 6 write of the
// same scene (which reads materials without making their handles).
//   ObjRead/N:   N objects, each a triangle using a material of its own.
//   ThreeDsRead/N: N triangle meshes, each with a Phong of its own.
//   DxfRead:     255 faces, one per colour (a material per colour).
//   Duz5Write/N: N models each with a Phong of its own, written as ASCII.
// Counters, per model: held_KiB (with materials), bare_KiB (the baseline),
// material_KiB = held - bare, peak_KiB of the step; for the write, what it
// left held (left_KiB; bare_left_KiB for models without materials, and
// the version 6 write's v6_left_KiB) and its peak.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/BenchHeapPeak.h"
#include "bench/BenchReadHeld.h"
#include "sdk/duz/KDuzWriterDuz.h"
#include "sdk/duz/KDuzWriterDuz6.h"
#include "sdk/formats/KDuzReader3ds.h"
#include "sdk/formats/KDuzReaderDxf.h"
#include "sdk/formats/KDuzReaderObj.h"
#include "sdk/formats/KDuzWriter3ds.h"
#include "sdk/geometry/KDuzLayerElement.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/io/KDuzStreamOptions.h"
#include "sdk/io/KDuzStreamOptionsDuz.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

using namespace duzsdk;

namespace {

std::string BenchPath(const std::string& name) {
    return (std::filesystem::temp_directory_path() /
            ("duz-matcost-" + std::to_string(::getpid()) + "-" + name))
        .string();
}

// ---- files ---------------------------------------------------------------------

// N groups (a node and mesh each) sharing three points; with materials,
// each uses its own.
std::string ObjFile(int count, bool materials) {
    const std::string base = "objects" + std::to_string(count) + (materials ? "m" : "");
    const std::string obj = BenchPath(base + ".obj");
    if (std::filesystem::exists(obj)) return obj;
    if (materials) {
        FILE* mtl = std::fopen(BenchPath(base + ".mtl").c_str(), "w");
        for (int i = 0; i < count; ++i) {
            std::fprintf(mtl, "newmtl m%d\nKa 0.1 0.1 0.1\nKd %.4f 0.5 0.25\nKs 0.5 0.5 0.5\nNs 32\nd 0.9\nillum 2\n",
                         i, (i % 97) / 97.0);
        }
        std::fclose(mtl);
    }
    FILE* out = std::fopen(obj.c_str(), "w");
    if (materials) std::fprintf(out, "mtllib %s\n", std::filesystem::path(BenchPath(base + ".mtl")).filename().c_str());
    std::fprintf(out, "v 0 0 0\nv 1 0 0\nv 0 1 0\n");
    for (int i = 0; i < count; ++i) {
        std::fprintf(out, "g g%d\n", i);
        if (materials) std::fprintf(out, "usemtl m%d\n", i);
        std::fprintf(out, "f 1 2 3\n");
    }
    std::fclose(out);
    return obj;
}

// A triangle node; with a material, a Phong of its own on its mesh.
KDuzNode* MakeModel(KDuzSdkManager* manager, int index, bool material) {
    KDuzMesh* mesh = KDuzMesh::Create(manager, "");
    mesh->InitControlPoints(3);
    for (int i = 0; i < 3; ++i) mesh->GetControlPoints()[i] = KgeTVector(i == 1, i == 2, 0.0, 1.0);
    if (material) mesh->InitMaterialIndices(KDuzLayerElement::eAllSame);
    mesh->BeginPolygon(material ? 0 : -1, -1, -1, false);
    for (int i = 0; i < 3; ++i) mesh->AddPolygon(i);
    mesh->EndPolygon();
    KDuzNode* node = KDuzNode::Create(manager, ("n" + std::to_string(index)).c_str());
    node->SetNodeAttribute(mesh);
    if (material) {
        auto* phong = KDuzSurfacePhong::Create(manager, ("m" + std::to_string(index)).c_str());
        mesh->AddMaterial(phong);
        node->ConnectSrcObject(phong);
    }
    return node;
}

std::string ThreeDsFile(int count, bool materials) {
    return duzbench::WriteModelsOnce<KDuzWriter3DS>(
        BenchPath("meshes" + std::to_string(count) + (materials ? "m" : "") + ".3ds"), count,
        [materials](KDuzSdkManager* manager, int i) { return MakeModel(manager, i, materials); });
}

// 255 faces on one layer; with colours, face k has colour k + 1.
std::string DxfFile(bool colours) {
    const std::string path = BenchPath(std::string("faces") + (colours ? "c" : "") + ".dxf");
    if (std::filesystem::exists(path)) return path;
    FILE* out = std::fopen(path.c_str(), "w");
    std::fprintf(out, "  0\nSECTION\n  2\nENTITIES\n");
    for (int k = 0; k < 255; ++k) {
        std::fprintf(out, "  0\n3DFACE\n  8\nL%d\n", k);
        if (colours) std::fprintf(out, " 62\n%d\n", k + 1);
        for (int c = 0; c < 4; ++c)
            std::fprintf(out, " 1%d\n%d.0\n 2%d\n%d.0\n 3%d\n%d.0\n", c, k + (c & 1), c, c >> 1, c, 0);
    }
    std::fprintf(out, "  0\nENDSEC\n  0\nEOF\n");
    std::fclose(out);
    return path;
}

// ---- steps -----------------------------------------------------------------------

using duzbench::Held;
using duzbench::ReadHeld;

template <typename Reader>
void RunRead(benchmark::State& state, const std::string& with, const std::string& without, int models) {
    Held held, bare;
    for (auto _ : state) {
        held = ReadHeld<Reader>(with);
        state.PauseTiming();
        bare = ReadHeld<Reader>(without);
        state.ResumeTiming();
    }
    const double n = models;
    state.counters["held_KiB"] = static_cast<double>(held.held) / n / 1024.0;
    state.counters["bare_KiB"] = static_cast<double>(bare.held) / n / 1024.0;
    state.counters["material_KiB"] = static_cast<double>(held.held - bare.held) / n / 1024.0;
    state.counters["peak_KiB"] = static_cast<double>(held.peak) / n / 1024.0;
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(with)) / 1e6;
}

void ObjRead(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    RunRead<KDuzReaderObj>(state, ObjFile(count, true), ObjFile(count, false), count);
}

void ThreeDsRead(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    RunRead<KDuzReader3DS>(state, ThreeDsFile(count, true), ThreeDsFile(count, false), count);
}

void DxfRead(benchmark::State& state) { RunRead<KDuzReaderDxf>(state, DxfFile(true), DxfFile(false), 255); }

// What a write leaves held on the scene it wrote (handles made on the way),
// and its peak, per model.
template <typename Writer>
Held WriteGrowth(int count, int mode, bool materials = true) {
    KDuzSdkManager* manager = KDuzSdkManager::Create();
    KDuzScene* scene = KDuzScene::Create(manager, "");
    for (int i = 0; i < count; ++i) scene->GetRootNode()->AddChild(MakeModel(manager, i, materials));
    const std::string path = BenchPath("write" + std::to_string(count) + ".duz");
    auto* options = KDuzStreamOptionsDuzWriter::Create(manager, "");
    options->Reset();
    duzbench::MarkHeapBase();
    {
        Writer writer(manager, nullptr);
        writer.SetFileMode(mode);
        if (writer.FileCreate(path.c_str())) writer.Write(scene, options);
        writer.FileClose();
    }
    Held result{duzbench::gHeapInUse.load() - duzbench::gHeapBase.load(), duzbench::HeapPeakSinceBase()};
    options->Destroy();
    manager->Destroy();
    std::filesystem::remove(path);
    return result;
}

void Duz5Write(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    Held five, bare, six;
    for (auto _ : state) {
        five = WriteGrowth<KDuzWriterDuz>(count, KDuzWriterDuz::eAscii);
        state.PauseTiming();
        bare = WriteGrowth<KDuzWriterDuz>(count, KDuzWriterDuz::eAscii, false);
        six = WriteGrowth<KDuzWriterDuz6>(count, KDuzWriterDuz6::eAscii);
        state.ResumeTiming();
    }
    const double n = count;
    state.counters["left_KiB"] = static_cast<double>(five.held) / n / 1024.0;
    state.counters["bare_left_KiB"] = static_cast<double>(bare.held) / n / 1024.0;
    state.counters["material_left_KiB"] = static_cast<double>(five.held - bare.held) / n / 1024.0;
    state.counters["v6_left_KiB"] = static_cast<double>(six.held) / n / 1024.0;
    state.counters["peak_KiB"] = static_cast<double>(five.peak) / n / 1024.0;
    state.counters["v6_peak_KiB"] = static_cast<double>(six.peak) / n / 1024.0;
}

BENCHMARK(ObjRead)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(ThreeDsRead)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(DxfRead)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(Duz5Write)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(2);

// The files are removed when the program ends.
duzbench::TempFilesRemovedAtExit gCleanup{"duz-matcost-"};

}  // namespace
