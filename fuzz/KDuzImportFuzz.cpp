// libFuzzer target for the whole import road: a file goes through the format
// registry's reader choice, the DUZ 6 reader and every record reader into a
// scene, then the manager tears everything down. The importer reads files by
// name, so each input is written to one temporary file first.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "sdk/io/KDuzImporter.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzScene.h"

namespace {

const std::string& InputPath()
{
    static const std::string path = [] {
        char pattern[] = "/tmp/duz-import-fuzz-XXXXXX";
        const int fd = mkstemp(pattern);
        if (fd < 0)
            std::abort();
        close(fd);
        return std::string(pattern);
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string& path = InputPath();
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return 0;
    const bool written = std::fwrite(data, 1, size, file) == size;
    std::fclose(file);
    if (!written)
        return 0;

    duzsdk::KDuzSdkManager* manager = duzsdk::KDuzSdkManager::Create();
    duzsdk::KDuzScene* scene = duzsdk::KDuzScene::Create(manager, "");
    duzsdk::KDuzImporter* importer = duzsdk::KDuzImporter::Create(manager, "");
    if (importer != nullptr && importer->Initialize(path.c_str()))
        importer->Import(scene);
    manager->Destroy();
    return 0;
}
