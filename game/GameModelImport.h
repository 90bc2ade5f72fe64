#pragma once

#include <string>

namespace duzsdk {
class KDuzScene;
class KDuzSdkManager;
}  // namespace duzsdk

// Reads the model file into the scene through the SDK's importer. False when
// the file cannot be imported.
bool GameImportScene(duzsdk::KDuzSdkManager* manager, duzsdk::KDuzScene* scene, const std::string& path);
