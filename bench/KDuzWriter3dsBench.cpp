// The 3DS writer: scenes of many small meshes, and one large mesh (written
// when it fits the 16-bit counts of 3DS, refused when it does not). The
// baseline is the 3DS toolkit putting and saving the same meshes and
// keyframer nodes by itself, in the same run.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "sdk/formats/3dsftk/FtkDatabase.h"
#include "sdk/formats/3dsftk/FtkError.h"
#include "sdk/formats/3dsftk/FtkFile.h"
#include "sdk/formats/3dsftk/FtkKfHierarchy.h"
#include "sdk/formats/3dsftk/FtkKfMotion.h"
#include "sdk/formats/3dsftk/FtkTriMesh.h"
#include "sdk/formats/KDuzWriter3ds.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/io/KDuzStreamOptions.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

using namespace duzsdk;

namespace {

std::string Scratch(const char* name) {
    static const std::string dir = [] {
        char pattern[] = "/tmp/w3dsbenchXXXXXX";
        const char* made = mkdtemp(pattern);
        return std::string(made ? made : "/tmp");
    }();
    return dir + "/" + name;
}

// A unit cube: 8 points, 6 quads (12 triangles).
KDuzMesh* Cube(KDuzSdkManager* manager) {
    KDuzMesh* mesh = KDuzMesh::Create(manager, "");
    mesh->InitControlPoints(8);
    for (int i = 0; i < 8; ++i) mesh->GetControlPoints()[i] = KgeTVector(i & 1, (i >> 1) & 1, i >> 2, 1);
    static const int quads[6][4] = {{0, 1, 3, 2}, {4, 6, 7, 5}, {0, 4, 5, 1}, {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 5, 7, 3}};
    for (const auto& q : quads) {
        mesh->BeginPolygon();
        for (int v : q) mesh->AddPolygon(v);
        mesh->EndPolygon();
    }
    return mesh;
}

// A strip of quads with the given number of triangles.
KDuzMesh* Strip(KDuzSdkManager* manager, int64_t triangles) {
    const int64_t columns = triangles / 2 + 1;
    KDuzMesh* mesh = KDuzMesh::Create(manager, "");
    mesh->InitControlPoints(static_cast<int>(2 * columns));
    for (int64_t c = 0; c < columns; ++c) {
        mesh->GetControlPoints()[2 * c] = KgeTVector(double(c), 0, 0, 1);
        mesh->GetControlPoints()[2 * c + 1] = KgeTVector(double(c), 1, 0, 1);
    }
    for (int64_t c = 0; c + 1 < columns; ++c) {
        mesh->BeginPolygon();
        for (int64_t v : {2 * c, 2 * c + 2, 2 * c + 3, 2 * c + 1}) mesh->AddPolygon(static_cast<int>(v));
        mesh->EndPolygon();
    }
    return mesh;
}

bool WriteScene(KDuzSdkManager* manager, KDuzScene* scene, const std::string& path) {
    KDuzWriter3DS writer(manager);
    KDuzStreamOptions* options = writer.GetWriteOptions();
    writer.FileCreate(path.c_str());
    const bool written = writer.Write(scene, options);
    options->Destroy();
    return written;
}

void BM_Writer3dsManyMeshes(benchmark::State& state) {
    KDuzSdkManager* manager = KDuzSdkManager::Create();
    KDuzScene* scene = KDuzScene::Create(manager, "");
    for (int64_t i = 0; i < state.range(0); ++i) {
        KDuzNode* node = KDuzNode::Create(manager, ("m" + std::to_string(i)).c_str());
        node->SetNodeAttribute(Cube(manager));
        node->SetLclTranslation(duzVectorTemplate3<double>(double(i), 0, 0));
        scene->GetRootNode()->AddChild(node);
    }
    const std::string path = Scratch("many.3ds");
    for (auto _ : state)
        if (!WriteScene(manager, scene, path)) state.SkipWithError("write failed");
    state.SetComplexityN(state.range(0));
    state.SetItemsProcessed(state.iterations() * state.range(0));
    manager->Destroy();
}
BENCHMARK(BM_Writer3dsManyMeshes)->RangeMultiplier(10)->Range(100, 10000)->Unit(benchmark::kMillisecond)->Complexity();

// The same records through the toolkit alone: a 12-triangle mesh and an
// object node with one key per track, per mesh.
void BM_FtkBaselineManyMeshes(benchmark::State& state) {
    const std::string path = Scratch("baseline.3ds");
    for (auto _ : state) {
        FtkReset();
        FtkDatabase* db = nullptr;
        FtkDatabaseInit(&db);
        FtkDatabaseCreate(db, kFtkMeshDatabase);
        FtkTriMesh* mesh = nullptr;
        FtkTriMeshInit(&mesh, 8, 12, kFtkTriSmoothGroups);
        FtkObjectMotion* motion = nullptr;
        FtkObjectMotionInit(&motion, 1, 1, 1, 0, 0);
        for (int64_t i = 0; i < state.range(0); ++i) {
            FtkCopyName(mesh->name, sizeof mesh->name, ("m" + std::to_string(i)).c_str());
            FtkTriMeshPut(db, mesh);
            FtkCopyName(motion->name, sizeof motion->name, mesh->name);
            FtkObjectMotionPut(db, motion);
        }
        FtkFile* out = FtkFileOpen(path.c_str(), "wb");
        FtkDatabaseSave(out, db);
        FtkCloseAllFiles();
        FtkObjectMotionRelease(&motion);
        FtkTriMeshRelease(&mesh);
        FtkDatabaseRelease(&db);
        if (FtkErrorPending()) state.SkipWithError("toolkit error");
    }
    state.SetComplexityN(state.range(0));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_FtkBaselineManyMeshes)->RangeMultiplier(10)->Range(100, 10000)->Unit(benchmark::kMillisecond)->Complexity();

// One mesh of n triangles: written up to 65534, refused at a million.
void BM_Writer3dsLargeMesh(benchmark::State& state) {
    KDuzSdkManager* manager = KDuzSdkManager::Create();
    KDuzScene* scene = KDuzScene::Create(manager, "");
    KDuzNode* node = KDuzNode::Create(manager, "big");
    node->SetNodeAttribute(Strip(manager, state.range(0)));
    scene->GetRootNode()->AddChild(node);
    const std::string path = Scratch("large.3ds");
    const bool fits = state.range(0) <= KDuzWriter3DS::kMaxMeshCount;
    for (auto _ : state)
        if (WriteScene(manager, scene, path) != fits) state.SkipWithError("unexpected result");
    state.SetLabel(fits ? "written" : "refused");
    state.SetItemsProcessed(state.iterations() * state.range(0));
    manager->Destroy();
}
BENCHMARK(BM_Writer3dsLargeMesh)->Arg(16000)->Arg(64000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace
