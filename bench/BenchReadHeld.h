// Heap a reader leaves on a fresh manager's scene, and its peak, for
// benchmarks that weigh what one read object costs; and the clean-up of the
// files they write. Include it after
// bench/BenchHeapPeak.h, in the one source file of a benchmark program.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

#include "bench/BenchHeapPeak.h"
#include "sdk/io/KDuzStreamOptions.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

namespace duzbench {

struct Held {
    int64_t held = 0;   // heap the scene holds after the step
    int64_t peak = 0;   // the step's peak above its start
};

// Reads the file into a fresh manager's scene (no reference node); what the
// manager holds after, and the peak on the way.
template <typename Reader>
Held ReadHeld(const std::string& path) {
    duzsdk::KDuzSdkManager* manager = duzsdk::KDuzSdkManager::Create();
    duzsdk::KDuzScene* scene = duzsdk::KDuzScene::Create(manager, "");
    MarkHeapBase();
    {
        Reader reader(manager);
        reader.FileOpen(path.c_str());
        duzsdk::KDuzStreamOptions* options = reader.GetReadOptions(false);
        options->SetBoolOption("REFERENCENODE", false);
        reader.Read(scene, options);
        reader.FileClose();
        options->Destroy();
    }
    Held result{gHeapInUse.load() - gHeapBase.load(), HeapPeakSinceBase()};
    manager->Destroy();
    return result;
}

// Writes, unless it is there already, a file of count models, each made by
// make(manager, i) and put under a new scene's root; returns the path.
template <typename Writer, typename MakeModel>
std::string WriteModelsOnce(const std::string& path, int count, MakeModel make) {
    if (std::filesystem::exists(path)) return path;
    duzsdk::KDuzSdkManager* manager = duzsdk::KDuzSdkManager::Create();
    duzsdk::KDuzScene* scene = duzsdk::KDuzScene::Create(manager, "");
    for (int i = 0; i < count; ++i) scene->GetRootNode()->AddChild(make(manager, i));
    Writer writer(manager);
    duzsdk::KDuzStreamOptions* options = writer.GetWriteOptions();
    if (writer.FileCreate(path.c_str())) writer.Write(scene, options);
    options->Destroy();
    manager->Destroy();
    return path;
}

// Removes, when the program ends, the temporary files this process named
// with the prefix (followed by its process id and a dash).
struct TempFilesRemovedAtExit {
    std::string prefix;
    ~TempFilesRemovedAtExit() {
        std::error_code ignored;
        const std::string mine = prefix + std::to_string(::getpid()) + "-";
        for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::temp_directory_path(), ignored)) {
            if (entry.path().filename().string().rfind(mine, 0) == 0) std::filesystem::remove(entry.path(), ignored);
        }
    }
};

}  // namespace duzbench
