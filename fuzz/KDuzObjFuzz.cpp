// libFuzzer target for the OBJ reader: each input is written as an OBJ file
// (with the input also serving as its own "m.mtl" library, so "mtllib m.mtl"
// in an input reaches the MTL reading) and read into a fresh scene, which
// the OBJ writer then writes out again.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "sdk/formats/KDuzReaderObj.h"
#include "sdk/formats/KDuzWriterObj.h"
#include "sdk/io/KDuzStreamOptions.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzScene.h"

namespace {

std::string Folder() {
    static const std::string folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "duz-obj-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        return pattern;
    }();
    return folder;
}

void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) std::abort();
    if (size > 0) std::fwrite(data, 1, size, file);
    std::fclose(file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string obj = Folder() + "/input.obj";
    WriteFile(obj, data, size);
    WriteFile(Folder() + "/m.mtl", data, size);
    duzsdk::KDuzSdkManager* manager = duzsdk::KDuzSdkManager::Create();
    duzsdk::KDuzScene* scene = duzsdk::KDuzScene::Create(manager, "");
    {
        duzsdk::KDuzReaderObj reader(manager);
        if (reader.FileOpen(obj.c_str())) {
            duzsdk::KDuzStreamOptions* options = reader.GetReadOptions(false);
            reader.Read(scene, options);
            if (options != nullptr) options->Destroy();
            reader.FileClose();
        }
    }
    {
        duzsdk::KDuzWriterObj writer(manager);
        if (writer.FileCreate((Folder() + "/output.obj").c_str())) {
            duzsdk::KDuzStreamOptions* options = writer.GetWriteOptions();
            writer.Write(scene, options);
            if (options != nullptr) options->Destroy();
            writer.FileClose();
        }
    }
    manager->Destroy();
    return 0;
}
