#include "game/GameModelImport.h"

#include "game/GameUtil.h"

#include <cstdio>

#if __has_include("sdk/io/KDuzImporter.h")
#include "sdk/io/KDuzImporter.h"
#define DUZ_GAME_HAS_IMPORTER 1
#else
#define DUZ_GAME_HAS_IMPORTER 0
#endif

bool GameImportScene(duzsdk::KDuzSdkManager* manager, duzsdk::KDuzScene* scene, const std::string& path) {
    if (manager == nullptr || scene == nullptr) return false;
#if DUZ_GAME_HAS_IMPORTER
    duzsdk::KDuzImporter* importer = duzsdk::KDuzImporter::Create(manager, "");
    if (importer == nullptr) return false;
    const std::string file = NativePath(path);
    if (!importer->Initialize(file.c_str())) return false;
    return importer->Import(scene);
#else
    static bool told = false;
    if (!told) {
        std::fprintf(stderr, "No model importer in this build: models cannot be loaded, levels stay empty.\n");
        told = true;
    }
    (void)path;
    return false;
#endif
}
