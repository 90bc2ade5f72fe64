// A seeded random scene: node trees with every kind of node attribute,
// meshes with every kind of layer element, materials, textures, videos,
// poses, user properties of every data type and animated takes. The same
// seed builds the same scene on every platform.
#pragma once

#include <cstdint>

namespace duzsdk {
class KDuzScene;
class KDuzSdkManager;
}

namespace duztest {

struct RandomSceneOptions {
    int maxNodes = 40;
    int maxDepth = 6;
    bool meshes = true;
    bool materials = true;
    bool takes = true;
    bool userProperties = true;
    bool nonAsciiNames = true;
    bool extremeValues = true;
};

void BuildRandomScene(duzsdk::KDuzSdkManager& manager, duzsdk::KDuzScene& scene, uint32_t seed,
                      const RandomSceneOptions& options = {});

}  // namespace duztest
