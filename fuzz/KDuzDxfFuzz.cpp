// libFuzzer target for the DXF reader: each input is written as a DXF file
// and read into a fresh scene in each way of deriving objects (by layer with
// welding, by entity, by block); the scene read by layer is then written
// back as DXF, so that odd meshes from a hostile file reach the writer too.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "sdk/formats/KDuzReaderDxf.h"
#include "sdk/formats/KDuzWriterDxf.h"
#include "sdk/io/KDuzStreamOptions.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzScene.h"

namespace {

std::string Folder() {
    static const std::string folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "duz-dxf-fuzz-XXXXXX").string();
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
    const std::string input = Folder() + "/input.dxf";
    const std::string output = Folder() + "/output.dxf";
    WriteFile(input, data, size);
    duzsdk::KDuzSdkManager* manager = duzsdk::KDuzSdkManager::Create();
    for (int derivation = 0; derivation < 3; ++derivation) {
        duzsdk::KDuzScene* scene = duzsdk::KDuzScene::Create(manager, "");
        duzsdk::KDuzReaderDxf reader(manager);
        if (!reader.FileOpen(input.c_str())) break;
        duzsdk::KDuzStreamOptions* options = reader.GetReadOptions(false);
        options->Reset();
        options->SetIntOption("OBJECT DERIVATION", derivation);
        reader.Read(scene, options);
        options->Destroy();
        reader.FileClose();
        if (derivation == 0) {
            duzsdk::KDuzWriterDxf writer(manager);
            if (writer.FileCreate(output.c_str())) {
                duzsdk::KDuzStreamOptions* writeOptions = writer.GetWriteOptions();
                writeOptions->Reset();
                writer.Write(scene, writeOptions);
                writeOptions->Destroy();
                writer.FileClose();
            }
        }
    }
    manager->Destroy();
    return 0;
}
