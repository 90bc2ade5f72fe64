// Skins and shapes as skin and morph "controller" elements.
#include "sdk/formats/collada/ColladaXmlWrite.h"
#include "sdk/formats/collada/KDuzWriterCollada.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/scene/KDuzNode.h"

namespace duzsdk {

bool KDuzWriterCollada::ExportSkinController(KDuzMesh*, const KString&) { return true; }
bool KDuzWriterCollada::ExportMorphController(KDuzMesh*, const KString&, KDuzNode*) { return true; }

}  // namespace duzsdk
