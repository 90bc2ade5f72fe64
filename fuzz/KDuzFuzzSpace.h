#pragma once

// What the file-reading fuzz targets share: a scratch folder of the process's
// own, and one manager and scene that serve many inputs.
//
// Building a manager and a scene costs far more than reading most inputs, so
// one of each serves many inputs: the scene is cleared before every read, and
// both are built anew every kRebuildEvery inputs and when objects a read left
// outside the scene pile up. An input run on its own meets a fresh scene.
//
// What an input builds stays with the manager until the next input, which
// libFuzzer's per-input leak check would take for a leak and re-run every
// input for (ten times slower); the targets' .flags files turn that check
// off. What a read leaks outside the manager is unreachable, so
// LeakSanitizer's exit check still reports it.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzScene.h"

namespace duzfuzz {

// On a disk, writing and removing a file costs milliseconds per input: the
// scratch files go to a memory file system when there is one.
inline std::filesystem::path ScratchRoot()
{
    std::error_code code;
    if (std::getenv("TMPDIR") == nullptr && std::filesystem::is_directory("/dev/shm", code) &&
        access("/dev/shm", W_OK) == 0)
        return "/dev/shm";
    return std::filesystem::temp_directory_path(code);
}

// A folder of this process's own, named after the target, removed at a
// normal exit (libFuzzer ends a crashing process without it). The name is
// never destroyed, so the exit handler can still read it.
inline const std::string& ScratchFolder(const char* target)
{
    static const std::string* folder = [target] {
        std::string pattern = (ScratchRoot() / (std::string("duz-") + target + "-XXXXXX")).string();
        if (mkdtemp(pattern.data()) == nullptr)
            std::abort();
        return new std::string(pattern);
    }();
    static const bool removedAtExit = [] {
        std::atexit([] {
            std::error_code code;
            std::filesystem::remove_all(*folder, code);
        });
        return true;
    }();
    (void)removedAtExit;
    return *folder;
}

inline void WriteFile(const std::string& path, const uint8_t* data, size_t size)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        std::abort();
    if (size > 0)
        std::fwrite(data, 1, size, file);
    std::fclose(file);
}

// The manager stays for the process to end: registries first used by some
// read may be gone by then.
class SceneSpace {
public:
    static constexpr int kRebuildEvery = 1000;
    static constexpr int kMaxStrayObjects = 20000;

    // Called once per input, before its first read.
    void StartInput()
    {
        if (manager_ == nullptr || used_ >= kRebuildEvery ||
            manager_->GetObjectCount() > baseline_ + kMaxStrayObjects)
            Rebuild();
        ++used_;
    }

    // The scene, cleared for the next read of the input.
    duzsdk::KDuzScene* ClearedScene()
    {
        scene_->Clear();
        return scene_;
    }

    duzsdk::KDuzSdkManager* Manager() const { return manager_; }

private:
    void Rebuild()
    {
        if (manager_ != nullptr)
            manager_->Destroy();
        manager_ = duzsdk::KDuzSdkManager::Create();
        scene_ = manager_ != nullptr ? duzsdk::KDuzScene::Create(manager_, "") : nullptr;
        if (scene_ == nullptr)
            std::abort();
        baseline_ = manager_->GetObjectCount();
        used_ = 0;
    }

    duzsdk::KDuzSdkManager* manager_ = nullptr;
    duzsdk::KDuzScene* scene_ = nullptr;
    int baseline_ = 0;
    int used_ = 0;
};

}  // namespace duzfuzz
