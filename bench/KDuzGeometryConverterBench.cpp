// Triangulating a million-polygon mesh and tessellating a NURBS surface of
// 100 x 100 control points, each beside a floor measured in the same run:
// copying the mesh whole (the triangulation starts with that copy) and
// writing the tessellated points once.
#include "sdk/geometry/KDuzGeometryConverter.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzNurb.h"
#include "sdk/object/KDuzSdkManager.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace duzsdk {
namespace {

// A side x side grid of quads with UVs by corner and materials by polygon.
void BuildGrid(KDuzMesh* mesh, int side) {
    const int row = side + 1;
    mesh->InitControlPoints(row * row);
    KgeTVector* points = mesh->GetControlPoints();
    for (int y = 0; y < row; ++y)
        for (int x = 0; x < row; ++x) points[y * row + x] = KgeTVector(x, y, (x * y) % 3, 1);
    mesh->InitTextureUVIndices(KDuzLayerElement::eByPolygonVertex);
    mesh->InitTextureUV(row * row);
    mesh->InitMaterialIndices(KDuzLayerElement::eByPolygon);
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const int a = y * row + x;
            mesh->BeginPolygon((x + y) % 4);
            for (int corner : {a, a + 1, a + row + 1, a + row}) mesh->AddPolygon(corner, corner);
        }
    }
}

// A cubic open NURB of n x n control points with uniform inner knots.
void BuildNurb(KDuzNurb* nurb, int n, int step) {
    nurb->SetOrder(4, 4);
    nurb->SetStep(step, step);
    nurb->InitControlPoints(n, eNurbOpen, n, eNurbOpen);
    for (double* knots : {nurb->GetUKnotVector(), nurb->GetVKnotVector()}) {
        for (int i = 0; i < n + 4; ++i) knots[i] = i < 4 ? 0 : i >= n ? n - 3 : i - 3;
    }
    KgeTVector* points = nurb->GetControlPoints();
    for (int v = 0; v < n; ++v)
        for (int u = 0; u < n; ++u) points[v * n + u] = KgeTVector(u, v, std::sin(u * 0.3) * std::cos(v * 0.2), 1 + (u + v) % 2);
}

class ConverterFixture : public benchmark::Fixture {
public:
    void SetUp(const benchmark::State&) override {
        manager = KDuzSdkManager::Create();
        converter = KDuzGeometryConverter::Create(manager, "");
    }
    void TearDown(const benchmark::State&) override { manager->Destroy(); }

    KDuzSdkManager* manager = nullptr;
    KDuzGeometryConverter* converter = nullptr;
};

BENCHMARK_DEFINE_F(ConverterFixture, TriangulateMesh)(benchmark::State& state) {
    const int side = static_cast<int>(state.range(0));
    KDuzMesh* mesh = KDuzMesh::Create(manager, "grid");
    BuildGrid(mesh, side);
    for (auto _ : state) {
        KDuzMesh* triangles = converter->TriangulateMesh(mesh);
        benchmark::DoNotOptimize(triangles->GetPolygonVertices());
        state.PauseTiming();
        triangles->Destroy();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * side * side);
}
BENCHMARK_REGISTER_F(ConverterFixture, TriangulateMesh)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

// Baseline: the whole copy the triangulation begins with.
BENCHMARK_DEFINE_F(ConverterFixture, BaselineMeshCopy)(benchmark::State& state) {
    const int side = static_cast<int>(state.range(0));
    KDuzMesh* mesh = KDuzMesh::Create(manager, "grid");
    BuildGrid(mesh, side);
    for (auto _ : state) {
        KDuzMesh* copy = KDuzMesh::Create(manager, "");
        copy->CopyFrom(*mesh);
        benchmark::DoNotOptimize(copy->GetPolygonVertices());
        state.PauseTiming();
        copy->Destroy();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * side * side);
}
BENCHMARK_REGISTER_F(ConverterFixture, BaselineMeshCopy)->Arg(1000)->Unit(benchmark::kMillisecond);

BENCHMARK_DEFINE_F(ConverterFixture, TessellateNurb)(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    KDuzNurb* nurb = KDuzNurb::Create(manager, "surface");
    BuildNurb(nurb, n, 4);
    int points = 0;
    for (auto _ : state) {
        KDuzMesh* mesh = converter->TriangulateNurb(nurb);
        points = mesh->GetControlPointsCount();
        benchmark::DoNotOptimize(mesh->GetControlPoints());
        state.PauseTiming();
        mesh->Destroy();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * points);
    state.counters["points"] = points;
}
BENCHMARK_REGISTER_F(ConverterFixture, TessellateNurb)->Arg(50)->Arg(100)->Arg(200)->Unit(benchmark::kMillisecond);

// Baseline: writing as many points once.
void BaselineWritePoints(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const size_t points = static_cast<size_t>((n - 3) * 4 + 1) * static_cast<size_t>((n - 3) * 4 + 1);
    std::vector<KgeTVector> out(points);
    for (auto _ : state) {
        for (size_t i = 0; i < points; ++i) out[i] = KgeTVector(static_cast<double>(i), 1, 2, 1);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long long>(points));
}
BENCHMARK(BaselineWritePoints)->Arg(100)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace duzsdk
