#include "game/GameModelImport.h"

#include "game/GameUtil.h"
#include "sdk/io/KDuzImporter.h"

bool GameImportScene(duzsdk::KDuzSdkManager* manager, duzsdk::KDuzScene* scene, const std::string& path) {
    if (manager == nullptr || scene == nullptr) return false;
    // The importer belongs to the manager, which the caller destroys after the import.
    duzsdk::KDuzImporter* importer = duzsdk::KDuzImporter::Create(manager, "");
    if (importer == nullptr) return false;
    const std::string file = NativePath(path);
    if (!importer->Initialize(file.c_str())) return false;
    return importer->Import(scene);
}
