// The scene's passes that work on geometry layers, meshes, textures and
// videos, and the layer walk of the duplicate-name finder. The scene sits
// below the geometry, so these live here and are installed into it.
#pragma once

namespace duzsdk {

// Installs the scene's layer passes and the finder's layer walk; the SDK
// does it once with its class creators.
void KDuzInstallSceneLayerPasses();

}  // namespace duzsdk
