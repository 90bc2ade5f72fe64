// libFuzzer target for the whole import road: a file goes through the format
// registry's reader choice, the DUZ 5 and 6 readers and every record reader into a
// scene. The importer reads files by name, so each input is written as
// "input.duz" ("input.dae" when it begins with '<', for the Collada reader;
// "input.3ds" when it begins with the 3DS file chunk tag 0x4D4D) into a
// folder of this process's own (on a memory file system when there is one:
// on a disk, writing and removing the file costs
// milliseconds per input); the folder goes after every input, since
// extracted media land beside the file, and libFuzzer ends a process without
// running its destructors: only an input that crashes leaves it behind.
//
// Building a scene costs far more than most imports, so one manager and one
// scene serve many inputs; the reader clears the scene before it reads. A
// clear keeps the root and switcher nodes, and a file's own switcher node
// takes the scene's place, so an input that brought one is followed by a new
// scene. Classes registered for unknown kinds live with the manager, so an
// input that registers any is followed by a new manager; so is every
// kRebuildEvery-th input, and any after objects an import left outside the
// scene pile up. An input run on its own (a reproduction) always meets a
// fresh scene.
//
// What an input builds stays with the manager until the next input, which
// libFuzzer's per-input leak check would take for a leak and re-run every
// input for; KDuzImportFuzz.flags turns that check off. What an import
// leaks outside the manager is unreachable, so LeakSanitizer's exit check
// still reports it.
// An import touches tens of thousands of features, for which the entropic
// schedule's bookkeeping costs more than the import; the flags turn it off
// (twice the executions per second).
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "KDuzFuzzSpace.h"
#include "sdk/io/KDuzFormatRegistry.h"
#include "sdk/io/KDuzImporter.h"
#include "sdk/io/KDuzReader.h"
#include "sdk/io/KDuzStreamOptions.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

namespace {

constexpr int kRebuildEvery = 1000;
constexpr int kMaxStrayObjects = 20000;

class Workspace {
public:
    Workspace()
    {
        std::string pattern = (duzfuzz::ScratchRoot() / "duz-import-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            std::abort();
        folder_ = pattern;
        input_ = (folder_ / "input.duz").string();
        xmlInput_ = (folder_ / "input.dae").string();
        chunkInput_ = (folder_ / "input.3ds").string();
        // The manager first: the process-wide registries it sets up must
        // outlive it, so they are built before this object is.
        Rebuild();
    }
    // The manager stays for the process to end: registries first used by
    // some import are gone by now, and Rebuild() tears managers down anyway.
    ~Workspace()
    {
        std::error_code code;
        std::filesystem::remove_all(folder_, code);
    }
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    bool WriteInput(const uint8_t* data, size_t size)
    {
        current_ = size > 0 && data[0] == '<' ? &xmlInput_ : &input_;
        if (size >= 2 && data[0] == 0x4D && data[1] == 0x4D)
            current_ = &chunkInput_;
        std::error_code code;
        std::filesystem::create_directory(folder_, code);
        FILE* file = std::fopen(current_->c_str(), "wb");
        if (file == nullptr)
            return false;
        const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
        return std::fclose(file) == 0 && written;
    }

    // The folder goes with whatever the import left in it; the next input
    // makes it again under the same name.
    void EmptyFolder()
    {
        std::error_code code;
        std::filesystem::remove_all(folder_, code);
    }

    void Import()
    {
        if (used_ >= kRebuildEvery)
            Rebuild();
        ++used_;
        if (current_ == &xmlInput_) {
            ImportByReader("dae");
        } else if (current_ == &chunkInput_) {
            ImportByReader("3ds");
        } else if (duzsdk::KDuzImporter* importer = duzsdk::KDuzImporter::Create(manager_, "")) {
            if (importer->Initialize(current_->c_str()))
                importer->Import(scene_);
            importer->Destroy();
        }
        if (manager_->GetObjectCount() > baseline_ + kMaxStrayObjects ||
            manager_->GetRegisteredClassCount() != classes_)
            Rebuild();
        else if (scene_->GetCameraSwitcherNode() != switcher_)
            NewScene();
    }

private:
    // The importer reads DUZ files: a Collada or 3DS input goes through the
    // registry's reader for its extension, driven as the importer drives a reader.
    void ImportByReader(const char* extension)
    {
        duzsdk::KDuzFormatRegistry* registry = duzsdk::KDuzFormatRegistry::Get();
        for (int i = 0; registry != nullptr && i < registry->GetReaderCount(); ++i) {
            if (std::string(registry->GetReaderEntry(i)->extension) != extension)
                continue;
            duzsdk::KDuzReader* reader = registry->CreateReader(manager_, nullptr, i);
            if (reader != nullptr && reader->FileOpen(current_->c_str())) {
                duzsdk::KDuzStreamOptions* options = reader->GetReadOptions(false);
                reader->Read(scene_, options);
                if (options != nullptr)
                    options->Destroy();
                reader->FileClose();
            }
            delete reader;
            return;
        }
    }

    void NewScene()
    {
        if (scene_ != nullptr)
            scene_->Destroy(true, true);
        scene_ = duzsdk::KDuzScene::Create(manager_, "");
        if (scene_ == nullptr)
            std::abort();
        switcher_ = scene_->GetCameraSwitcherNode();
    }

    void Rebuild()
    {
        if (manager_ != nullptr)
            manager_->Destroy();
        manager_ = duzsdk::KDuzSdkManager::Create();
        if (manager_ == nullptr)
            std::abort();
        scene_ = nullptr;
        NewScene();
        baseline_ = manager_->GetObjectCount();
        classes_ = manager_->GetRegisteredClassCount();
        used_ = 0;
    }

    std::filesystem::path folder_;
    std::string input_;
    std::string xmlInput_;
    std::string chunkInput_;
    const std::string* current_ = &input_;
    duzsdk::KDuzSdkManager* manager_ = nullptr;
    duzsdk::KDuzScene* scene_ = nullptr;
    const duzsdk::KDuzNode* switcher_ = nullptr;
    int baseline_ = 0;
    int classes_ = 0;
    int used_ = 0;
};

Workspace& Space()
{
    static Workspace space;
    return space;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Workspace& space = Space();
    if (space.WriteInput(data, size))
        space.Import();
    space.EmptyFolder();
    return 0;
}
