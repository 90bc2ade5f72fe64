// Building and reading a grid mesh the way readers and the game do: polygons
// corner by corner with per-corner UV indices, vertex normals, and counting
// the materials of an index-mode element.
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzShape.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"

#include <benchmark/benchmark.h>

#include <string>
#include <unordered_set>
#include <vector>

namespace duzsdk {
namespace {

// A side x side grid of quads over (side + 1)^2 points.
void BuildGrid(KDuzMesh* mesh, int side) {
    const int row = side + 1;
    mesh->Reset();
    mesh->InitControlPoints(row * row);
    KgeTVector* points = mesh->GetControlPoints();
    for (int y = 0; y < row; ++y) {
        for (int x = 0; x < row; ++x) points[y * row + x] = KgeTVector(x, y, (x * y) % 3, 1);
    }
    mesh->InitTextureUVIndices(KDuzLayerElement::eByPolygonVertex);
    mesh->InitTextureUV(row * row);
    mesh->InitMaterialIndices(KDuzLayerElement::eByPolygon);
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const int a = y * row + x;
            mesh->BeginPolygon((x + y) % 4);
            for (int corner : {a, a + 1, a + row + 1, a + row}) mesh->AddPolygon(corner, corner);
            mesh->EndPolygon();
        }
    }
}

class MeshFixture : public benchmark::Fixture {
public:
    void SetUp(const benchmark::State&) override {
        manager = KDuzSdkManager::Create();
        mesh = KDuzMesh::Create(manager, "grid");
    }
    void TearDown(const benchmark::State&) override { manager->Destroy(); }

    KDuzSdkManager* manager = nullptr;
    KDuzMesh* mesh = nullptr;
};

BENCHMARK_DEFINE_F(MeshFixture, BuildPolygons)(benchmark::State& state) {
    const int side = static_cast<int>(state.range(0));
    for (auto _ : state) {
        BuildGrid(mesh, side);
        benchmark::DoNotOptimize(mesh->GetPolygonVertices());
    }
    state.SetItemsProcessed(state.iterations() * side * side);
}
BENCHMARK_REGISTER_F(MeshFixture, BuildPolygons)->Arg(100)->Arg(300);

BENCHMARK_DEFINE_F(MeshFixture, ComputeVertexNormals)(benchmark::State& state) {
    const int side = static_cast<int>(state.range(0));
    BuildGrid(mesh, side);
    for (auto _ : state) {
        mesh->ComputeVertexNormals(false);
        benchmark::DoNotOptimize(mesh->GetNormals());
    }
    state.SetItemsProcessed(state.iterations() * side * side);
}
BENCHMARK_REGISTER_F(MeshFixture, ComputeVertexNormals)->Arg(100)->Arg(300);

BENCHMARK_DEFINE_F(MeshFixture, IndexModeMaterialCount)(benchmark::State& state) {
    const int side = static_cast<int>(state.range(0));
    BuildGrid(mesh, side);
    mesh->GetLayer(0)->GetMaterials()->SetReferenceMode(KDuzLayerElement::eIndex);
    // Index mode counts against the materials of the mesh's node.
    KDuzNode* node = KDuzNode::Create(manager, "node");
    node->SetNodeAttribute(mesh);
    for (int i = 0; i < 4; ++i) node->ConnectSrcObject(KDuzSurfaceMaterial::Create(manager, "m"));
    for (auto _ : state) benchmark::DoNotOptimize(mesh->GetMaterialCount(0));
    state.SetItemsProcessed(state.iterations() * side * side);
}
BENCHMARK_REGISTER_F(MeshFixture, IndexModeMaterialCount)->Arg(300);

// Adding n shapes to one mesh, as a file of many blend shapes is read: the
// time per shape should stay flat as n grows. Baseline: the same names put in
// a hash set.
BENCHMARK_DEFINE_F(MeshFixture, AddShapes)(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    std::vector<KDuzShape*> shapes;
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) {
        shapes.push_back(KDuzShape::Create(manager, ""));
        names.push_back("Shape " + std::to_string(i));
    }
    for (auto _ : state) {
        for (int i = 0; i < count; ++i) benchmark::DoNotOptimize(mesh->AddShape(shapes[i], names[i].c_str()));
        state.PauseTiming();
        mesh->ClearShape();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK_REGISTER_F(MeshFixture, AddShapes)->Arg(1000)->Arg(10000)->Arg(30000)->Unit(benchmark::kMillisecond);

void BM_AddShapesBaselineHashSet(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) names.push_back("Shape " + std::to_string(i));
    for (auto _ : state) {
        std::unordered_set<std::string> set;
        for (const std::string& name : names) benchmark::DoNotOptimize(set.insert(name));
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_AddShapesBaselineHashSet)->Arg(1000)->Arg(10000)->Arg(30000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace duzsdk
