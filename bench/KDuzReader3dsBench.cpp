// The 3DS reader on files whose keyframer holds many nodes: dummy nodes
// (null nodes written by the 3DS writer), flat under the root and in pairs
// of parent and child. Time per node should not grow with the node count.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "sdk/formats/3dsftk/FtkDatabase.h"
#include "sdk/formats/3dsftk/FtkError.h"
#include "sdk/formats/3dsftk/FtkFile.h"
#include "sdk/formats/3dsftk/FtkKfMotion.h"
#include "sdk/formats/KDuzReader3ds.h"
#include "sdk/formats/KDuzWriter3ds.h"
#include "sdk/io/KDuzStreamOptions.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNull.h"
#include "sdk/scene/KDuzScene.h"

using namespace duzsdk;

namespace {

std::string Scratch(int64_t nodes) {
    static const std::string dir = [] {
        char pattern[] = "/tmp/r3dsbenchXXXXXX";
        const char* made = mkdtemp(pattern);
        return std::string(made ? made : "/tmp");
    }();
    return dir + "/keyframer" + std::to_string(nodes) + ".3ds";
}

// Writes a scene of `count` null nodes, every other one the child of the one before.
void WriteKeyframerFile(int64_t count, const std::string& path) {
    KDuzSdkManager* manager = KDuzSdkManager::Create();
    KDuzScene* scene = KDuzScene::Create(manager, "");
    KDuzNode* previous = nullptr;
    for (int64_t i = 0; i < count; ++i) {
        KDuzNode* node = KDuzNode::Create(manager, ("n" + std::to_string(i)).c_str());
        node->SetNodeAttribute(KDuzNull::Create(manager, ""));
        ((i % 2 == 1 && previous != nullptr) ? previous : scene->GetRootNode())->AddChild(node);
        previous = node;
    }
    KDuzWriter3DS writer(manager);
    KDuzStreamOptions* options = writer.GetWriteOptions();
    if (writer.FileCreate(path.c_str())) writer.Write(scene, options);
    options->Destroy();
    manager->Destroy();
}

// Keyframer object nodes without objects, put by the toolkit: every other
// one names the one before as its parent.
void WriteBareNodesFile(int64_t count, const std::string& path) {
    FtkReset();
    FtkDatabase* db = nullptr;
    FtkDatabaseInit(&db);
    FtkDatabaseCreate(db, kFtkMeshDatabase);
    FtkObjectMotion* motion = nullptr;
    FtkObjectMotionInit(&motion, 1, 1, 1, 0, 0);
    for (int64_t i = 0; i < count; ++i) {
        std::snprintf(motion->name, sizeof motion->name, "o%06d", static_cast<int>(i));
        if (i % 2 == 1)
            std::snprintf(motion->parent, sizeof motion->parent, "o%06d", static_cast<int>(i - 1));
        else
            motion->parent[0] = '\0';
        FtkObjectMotionPut(db, motion);
    }
    FtkFile* out = FtkFileOpen(path.c_str(), "wb");
    FtkDatabaseSave(out, db);
    FtkFileClose(out);
    FtkObjectMotionRelease(&motion);
    FtkDatabaseRelease(&db);
    FtkReset();
}

// Omni light and camera keyframer nodes (with their targets) without
// lights or cameras in the mesh section, put by the toolkit.
void WriteLightAndCameraNodesFile(int64_t count, const std::string& path) {
    FtkReset();
    FtkDatabase* db = nullptr;
    FtkDatabaseInit(&db);
    FtkDatabaseCreate(db, kFtkMeshDatabase);
    FtkOmniMotion* omni = nullptr;
    FtkOmniMotionInit(&omni, 1, 1);
    FtkCameraMotion* camera = nullptr;
    FtkCameraMotionInit(&camera, 1, 1, 1, 1);
    for (int64_t i = 0; i < count; ++i) {
        if (i % 2 == 0) {
            std::snprintf(omni->name, sizeof omni->name, "l%06d", static_cast<int>(i));
            FtkOmniMotionPut(db, omni);
        } else {
            std::snprintf(camera->name, sizeof camera->name, "c%06d", static_cast<int>(i));
            FtkCameraMotionPut(db, camera);
        }
    }
    FtkFile* out = FtkFileOpen(path.c_str(), "wb");
    FtkDatabaseSave(out, db);
    FtkFileClose(out);
    FtkOmniMotionRelease(&omni);
    FtkCameraMotionRelease(&camera);
    FtkDatabaseRelease(&db);
    FtkReset();
}

void ReadRepeatedly(benchmark::State& state, const std::string& path) {
    KDuzSdkManager* manager = KDuzSdkManager::Create();
    for (auto _ : state) {
        KDuzScene* scene = KDuzScene::Create(manager, "");
        KDuzReader3DS reader(manager);
        if (!reader.FileOpen(path.c_str())) {
            state.SkipWithError("not opened");
            break;
        }
        KDuzStreamOptions* options = reader.GetReadOptions(false);
        if (!reader.Read(scene, options)) state.SkipWithError("not read");
        options->Destroy();
        reader.FileClose();
        state.PauseTiming();
        scene->Destroy();
        state.ResumeTiming();
    }
    manager->Destroy();
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_Reader3dsKeyframerNodes(benchmark::State& state) {
    const std::string path = Scratch(state.range(0));
    WriteKeyframerFile(state.range(0), path);
    ReadRepeatedly(state, path);
}

void BM_Reader3dsBareKeyframerNodes(benchmark::State& state) {
    const std::string path = Scratch(state.range(0)) + ".bare.3ds";
    WriteBareNodesFile(state.range(0), path);
    ReadRepeatedly(state, path);
}

void BM_Reader3dsLightAndCameraNodes(benchmark::State& state) {
    const std::string path = Scratch(state.range(0)) + ".lights.3ds";
    WriteLightAndCameraNodesFile(state.range(0), path);
    ReadRepeatedly(state, path);
}

}  // namespace

BENCHMARK(BM_Reader3dsLightAndCameraNodes)->Arg(1000)->Arg(4000)->Arg(16000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Reader3dsBareKeyframerNodes)->Arg(1000)->Arg(4000)->Arg(16000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Reader3dsKeyframerNodes)->Arg(1000)->Arg(4000)->Arg(16000)->Unit(benchmark::kMillisecond);
