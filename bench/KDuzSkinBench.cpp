// Skinning a 100,000-point mesh: 100 clusters of 10,000 weighted indices
// each, linked to bones and joined to the mesh's skin; the readers' check of
// every index against the mesh's points; and reading the same clusters from
// a version 6 file's "Link" fields. Each beside its baseline in the same
// run: the same weights copied into plain arrays, and the same file read
// with the links switched off. Ten times the clusters should cost ten
// times as much.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sdk/duz/KDuzReaderDuz6.h"
#include "sdk/duz/KDuzReaderDuz6Records.h"
#include "sdk/geometry/KDuzCluster.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzSkin.h"
#include "sdk/io/KDuzStreamOptionsDuz.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

namespace duzsdk {
namespace {

constexpr int kPoints = 100000;
constexpr int kWeightsPerCluster = 10000;

// Cluster c's index i: spread over the whole mesh, overlapping neighbours.
int IndexOf(int cluster, int i) { return (cluster * 997 + i * 7) % kPoints; }

void LinkClusters(KDuzSdkManager* manager, KDuzMesh* mesh, int clusters) {
    for (int c = 0; c < clusters; ++c) {
        KDuzCluster* cluster = KDuzCluster::Create(manager, "");
        cluster->SetLink(KDuzNode::Create(manager, "bone"));
        cluster->ReserveControlPointIndices(kWeightsPerCluster);
        for (int i = 0; i < kWeightsPerCluster; ++i) cluster->AddControlPointIndex(IndexOf(c, i), 1.0 / (i + 1));
        mesh->AddClusterToSkin(cluster);
    }
}

void BM_LinkClusters(benchmark::State& state) {
    const int clusters = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        KDuzSdkManager* manager = KDuzSdkManager::Create();
        KDuzMesh* mesh = KDuzMesh::Create(manager, "body");
        mesh->InitControlPoints(kPoints);
        state.ResumeTiming();
        LinkClusters(manager, mesh, clusters);
        benchmark::DoNotOptimize(mesh->GetDeformer(0));
        state.PauseTiming();
        manager->Destroy();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * clusters * kWeightsPerCluster);
}
BENCHMARK(BM_LinkClusters)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

// Baseline: the same indices and weights into plain arrays.
void BM_LinkClustersBaselinePlainArrays(benchmark::State& state) {
    const int clusters = static_cast<int>(state.range(0));
    for (auto _ : state) {
        std::vector<std::vector<int>> indices(static_cast<size_t>(clusters));
        std::vector<std::vector<double>> weights(static_cast<size_t>(clusters));
        for (int c = 0; c < clusters; ++c) {
            indices[static_cast<size_t>(c)].reserve(kWeightsPerCluster);
            weights[static_cast<size_t>(c)].reserve(kWeightsPerCluster);
            for (int i = 0; i < kWeightsPerCluster; ++i) {
                indices[static_cast<size_t>(c)].push_back(IndexOf(c, i));
                weights[static_cast<size_t>(c)].push_back(1.0 / (i + 1));
            }
        }
        benchmark::DoNotOptimize(indices.data());
        benchmark::DoNotOptimize(weights.data());
    }
    state.SetItemsProcessed(state.iterations() * clusters * kWeightsPerCluster);
}
BENCHMARK(BM_LinkClustersBaselinePlainArrays)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

// The readers' pass over a skinned scene: every index against the points.
void BM_CheckClusterIndices(benchmark::State& state) {
    const int clusters = static_cast<int>(state.range(0));
    KDuzSdkManager* manager = KDuzSdkManager::Create();
    KDuzScene* scene = KDuzScene::Create(manager, "");
    KDuzMesh* mesh = KDuzMesh::Create(manager, "body");
    mesh->InitControlPoints(kPoints);
    scene->ConnectSrcObject(mesh);
    LinkClusters(manager, mesh, clusters);
    for (auto _ : state) benchmark::DoNotOptimize(KDuz6DropClusterIndicesOutsidePoints(scene));
    state.SetItemsProcessed(state.iterations() * clusters * kWeightsPerCluster);
    manager->Destroy();
}
BENCHMARK(BM_CheckClusterIndices)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

std::string MakeSkinnedFile(int clusters) {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("duz6skinbench_" + std::to_string(::getpid()) + "_" + std::to_string(clusters) + ".duz"))
                                 .string();
    std::ofstream out(path);
    out << "; DUZ 6.1.0 project file\n"
           "Definitions:  {\n    ObjectType: \"Geometry\"\n}\n"
           "Objects:  {\n    Geometry: \"Geometry::Body\", \"Mesh\" {\n        Vertices: ";
    for (int p = 0; p < kPoints; ++p) out << (p == 0 ? "" : ",") << p % 317 << "," << p % 211 << ",0";
    out << "\n        PolygonVertexIndex: 0,1,-3\n";
    for (int c = 0; c < clusters; ++c) {
        out << "        Link: \"Model::Bone" << c << "\" {\n            Mode: \"Total1\"\n            Indexes: ";
        for (int i = 0; i < kWeightsPerCluster; ++i) out << (i == 0 ? "" : ",") << IndexOf(c, i);
        out << "\n            Weights: ";
        for (int i = 0; i < kWeightsPerCluster; ++i) out << (i == 0 ? "" : ",") << 0.5;
        out << "\n            Transform: 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1\n"
               "            TransformLink: 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1\n        }\n";
    }
    out << "    }\n}\n";
    return path;
}

void ReadSkinnedFile(benchmark::State& state, bool links) {
    const int clusters = static_cast<int>(state.range(0));
    const std::string path = MakeSkinnedFile(clusters);
    for (auto _ : state) {
        state.PauseTiming();
        KDuzSdkManager* manager = KDuzSdkManager::Create();
        KDuzScene* scene = KDuzScene::Create(manager, "");
        KDuzStreamOptionsDuzReader* options = KDuzStreamOptionsDuzReader::Create(manager, "");
        options->Reset();
        options->SetBoolOption("LINK", links);
        state.ResumeTiming();
        {
            KDuzReaderDuz6 reader(manager, nullptr);
            reader.FileOpen(path.c_str());
            benchmark::DoNotOptimize(reader.Read(scene, options));
            reader.FileClose();
        }
        state.PauseTiming();
        manager->Destroy();
        state.ResumeTiming();
    }
    std::remove(path.c_str());
    state.SetItemsProcessed(state.iterations() * clusters * kWeightsPerCluster);
}

void BM_ReadLinks(benchmark::State& state) { ReadSkinnedFile(state, true); }
BENCHMARK(BM_ReadLinks)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

// Baseline: the same file with the links skipped (parsing them still costs).
void BM_ReadLinksBaselineSkipped(benchmark::State& state) { ReadSkinnedFile(state, false); }
BENCHMARK(BM_ReadLinksBaselineSkipped)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace duzsdk
