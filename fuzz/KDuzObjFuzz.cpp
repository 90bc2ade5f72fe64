// libFuzzer target for the OBJ reader: each input is written as an OBJ file
// (with the input also serving as its own "m.mtl" library, so "mtllib m.mtl"
// in an input reaches the MTL reading) and read into an empty scene, which
// the OBJ writer then writes out again.
//
// Building a manager and a scene costs far more than reading most inputs, so
// one of each serves many inputs: the scene is cleared before every read, and
// both are built anew every kRebuildEvery inputs and when objects a read left
// outside the scene pile up. An input run on its own meets a fresh scene. The
// files go to a folder of this process's own, on a memory file system when
// there is one.
//
// What an input builds stays with the manager until the next input, which
// libFuzzer's per-input leak check would take for a leak and re-run every
// input for (ten times slower); KDuzObjFuzz.flags turns that check off.
// What a read leaks outside the manager is unreachable, so LeakSanitizer's
// exit check still reports it.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "sdk/formats/KDuzReaderObj.h"
#include "sdk/formats/KDuzWriterObj.h"
#include "sdk/io/KDuzStreamOptions.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzScene.h"

namespace {

constexpr int kRebuildEvery = 1000;
constexpr int kMaxStrayObjects = 20000;

std::string Folder() {
    static const std::string folder = [] {
        std::error_code code;
        std::filesystem::path root = std::filesystem::temp_directory_path(code);
        if (std::getenv("TMPDIR") == nullptr && std::filesystem::is_directory("/dev/shm", code) &&
            access("/dev/shm", W_OK) == 0)
            root = "/dev/shm";
        std::string pattern = (root / "duz-obj-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        return pattern;
    }();
    static const bool removedAtExit = [] {
        std::atexit([] {
            std::error_code code;
            std::filesystem::remove_all(folder, code);
        });
        return true;
    }();
    (void)removedAtExit;
    return folder;
}

void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) std::abort();
    if (size > 0) std::fwrite(data, 1, size, file);
    std::fclose(file);
}

// The manager stays for the process to end: registries first used by some
// read may be gone by then.
struct Space {
    duzsdk::KDuzSdkManager* manager = nullptr;
    duzsdk::KDuzScene* scene = nullptr;
    int baseline = 0;
    int used = 0;

    void Rebuild() {
        if (manager != nullptr) manager->Destroy();
        manager = duzsdk::KDuzSdkManager::Create();
        scene = manager != nullptr ? duzsdk::KDuzScene::Create(manager, "") : nullptr;
        if (scene == nullptr) std::abort();
        baseline = manager->GetObjectCount();
        used = 0;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Space space;
    const std::string obj = Folder() + "/input.obj";
    WriteFile(obj, data, size);
    WriteFile(Folder() + "/m.mtl", data, size);
    if (space.manager == nullptr || space.used >= kRebuildEvery ||
        space.manager->GetObjectCount() > space.baseline + kMaxStrayObjects)
        space.Rebuild();
    ++space.used;
    space.scene->Clear();
    {
        duzsdk::KDuzReaderObj reader(space.manager);
        if (reader.FileOpen(obj.c_str())) {
            duzsdk::KDuzStreamOptions* options = reader.GetReadOptions(false);
            reader.Read(space.scene, options);
            if (options != nullptr) options->Destroy();
            reader.FileClose();
        }
    }
    {
        duzsdk::KDuzWriterObj writer(space.manager);
        if (writer.FileCreate((Folder() + "/output.obj").c_str())) {
            duzsdk::KDuzStreamOptions* options = writer.GetWriteOptions();
            writer.Write(space.scene, options);
            if (options != nullptr) options->Destroy();
            writer.FileClose();
        }
    }
    return 0;
}
