#include "sdk/formats/KDuzWriteMeshes.h"

#include "sdk/geometry/KDuzGeometryConverter.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzNurb.h"
#include "sdk/geometry/KDuzNurbsSurface.h"
#include "sdk/geometry/KDuzPatch.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNodeAttribute.h"

namespace duzsdk {

KDuzMesh* KDuzWriteMeshes::MeshFor(KDuzNode* node, bool triangulateMeshes) {
    KDuzObject* attribute = node != nullptr ? node->GetNodeAttribute() : nullptr;
    if (attribute == nullptr) return nullptr;
    const int type = KDuzNode::GetAttributeTypeOf(attribute);
    const bool convert = type == KDuzNodeAttribute::ePatch || type == KDuzNodeAttribute::eNurb ||
                         type == KDuzNodeAttribute::eNurbsSurface ||
                         (type == KDuzNodeAttribute::eMesh && triangulateMeshes);
    if (!convert) return type == KDuzNodeAttribute::eMesh ? dynamic_cast<KDuzMesh*>(attribute) : nullptr;
    const auto found = mMade.find(attribute);
    if (found != mMade.end()) return found->second;
    KDuzGeometryConverter* converter = KDuzGeometryConverter::Create(mManager, "");
    if (converter == nullptr) return nullptr;
    KDuzMesh* mesh = nullptr;
    switch (type) {
        case KDuzNodeAttribute::eMesh: mesh = converter->TriangulateMesh(dynamic_cast<KDuzMesh*>(attribute)); break;
        case KDuzNodeAttribute::ePatch: mesh = converter->TriangulatePatch(dynamic_cast<KDuzPatch*>(attribute)); break;
        case KDuzNodeAttribute::eNurb: mesh = converter->TriangulateNurb(dynamic_cast<KDuzNurb*>(attribute)); break;
        default: {
            KDuzNurb* nurb = converter->ConvertNurbsSurfaceToNurb(dynamic_cast<KDuzNurbsSurface*>(attribute));
            if (nurb != nullptr) {
                mesh = converter->TriangulateNurb(nurb);
                nurb->Destroy();
            }
            break;
        }
    }
    converter->Destroy();
    // A geometry that cannot be converted is remembered too, so it is tried once.
    mMade.emplace(attribute, mesh);
    return mesh;
}

void KDuzWriteMeshes::Clear() {
    for (auto& made : mMade) {
        if (made.second != nullptr) made.second->Destroy();
    }
    mMade.clear();
}

}  // namespace duzsdk
