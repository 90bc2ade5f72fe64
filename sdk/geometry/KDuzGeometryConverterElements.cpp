#include "sdk/geometry/KDuzGeometryConverterElements.h"

#include "sdk/geometry/KDuzCluster.h"
#include "sdk/geometry/KDuzGeometry.h"
#include "sdk/geometry/KDuzShape.h"
#include "sdk/geometry/KDuzSkin.h"

namespace duzsdk {

void KDuzGatherIndices(const KDuzLayerElement& from, KDuzLayerElement& to, const std::vector<int>& map) {
    const KTypedArray<int>& source = from.GetIndexArray();
    std::vector<int> old(source.begin(), source.end());
    KTypedArray<int>& target = to.GetIndexArray();
    target.Empty();
    if (!target.SetCount(static_cast<int>(map.size()))) return;
    for (size_t i = 0; i < map.size(); ++i) {
        const int at = map[i];
        target[static_cast<int>(i)] = at >= 0 && static_cast<size_t>(at) < old.size() ? old[static_cast<size_t>(at)] : -1;
    }
}

namespace {

template <class E>
KDuzElementOps OpsOf(int type, bool uv) {
    return KDuzElementOps{type, uv, [](KDuzLayerElement& element) { static_cast<E&>(element).GetDirectArray().Empty(); },
                          &KDuzGatherDirect<E>};
}

std::vector<KDuzElementOps> BuildTable() {
    std::vector<KDuzElementOps> table = {
        OpsOf<KDuzLayerElementNormal>(eLayerElementNormal, false),
        OpsOf<KDuzLayerElementMaterial>(eLayerElementMaterial, false),
        OpsOf<KDuzLayerElementPolygonGroup>(eLayerElementPolygonGroup, false),
        OpsOf<KDuzLayerElementVertexColor>(eLayerElementVertexColor, false),
        // Left as they were, these would no longer match the polygons.
        OpsOf<KDuzLayerElementSmoothing>(eLayerElementSmoothing, false),
        OpsOf<KDuzLayerElementVisibility>(eLayerElementVisibility, false),
    };
    for (int channel : kDuzTextureChannels) {
        table.push_back(OpsOf<KDuzLayerElementTexture>(channel, false));
        table.push_back(OpsOf<KDuzLayerElementUV>(channel, true));
    }
    return table;
}

}  // namespace

const std::vector<KDuzElementOps>& KDuzElementOpsTable() {
    static const std::vector<KDuzElementOps> table = BuildTable();
    return table;
}

void KDuzCopySkin(KDuzSdkManager* manager, const KDuzGeometry& source, KDuzGeometry& target,
                  const std::function<int(int)>& remap) {
    auto* skin = dynamic_cast<KDuzSkin*>(source.GetSrcObject(KDuzSkin::ClassId(), 0));
    if (skin == nullptr) return;
    // A plain copy of the geometry brought the skin along with the old
    // indices; it gives way to the remapped one.
    for (int i = target.GetDeformerCount() - 1; i >= 0; --i) {
        if (dynamic_cast<KDuzSkin*>(target.GetDeformer(i)) == nullptr) continue;
        if (KDuzDeformer* old = target.RemoveDeformer(i)) old->Destroy();
    }
    KDuzSkin* copy = KDuzSkin::Create(manager, skin->GetName());
    if (copy == nullptr) return;
    copy->SetDeformAccuracy(skin->GetDeformAccuracy());
    for (int c = 0; c < skin->GetClusterCount(); ++c) {
        const KDuzCluster* cluster = skin->GetCluster(c);
        KDuzCluster* clusterCopy = cluster != nullptr ? KDuzCluster::Create(manager, cluster->GetName()) : nullptr;
        if (clusterCopy == nullptr) continue;
        clusterCopy->SetLink(cluster->GetLink());
        clusterCopy->SetLinkName(cluster->GetLinkName().Buffer());
        clusterCopy->SetAssociateModelName(cluster->GetAssociateModelName().Buffer());
        clusterCopy->SetUserData(cluster->GetUserDataID().Buffer(), cluster->GetUserData().Buffer());
        clusterCopy->SetLinkMode(cluster->GetLinkMode());
        clusterCopy->SetTransformMatrix(cluster->GetStoredTransformMatrix());
        clusterCopy->SetTransformLinkMatrix(cluster->GetStoredTransformLinkMatrix());
        clusterCopy->SetTransformAssociateModelMatrix(cluster->GetStoredTransformAssociateModelMatrix());
        if (cluster->IsTransformParentSet()) clusterCopy->SetTransformParentMatrix(cluster->GetStoredTransformParentMatrix());
        for (int i = 0; i < cluster->GetControlPointIndicesCount(); ++i)
            clusterCopy->AddControlPointIndex(remap(cluster->GetControlPointIndices()[i]),
                                              cluster->GetControlPointWeights()[i]);
        copy->ConnectSrcObject(clusterCopy);
    }
    target.ConnectSrcObject(copy);
}

void KDuzCopyShapes(KDuzSdkManager* manager, KDuzGeometry& source, KDuzGeometry& target, int nu, int nv,
                    bool transpose) {
    // Shapes a plain copy of the geometry brought along give way to the
    // transposed ones.
    if (&source == &target) return;
    std::vector<KDuzShape*> previous;
    for (int s = 0; s < target.GetShapeCount(); ++s) previous.push_back(target.GetShape(s));
    target.ClearShape();
    for (KDuzShape* shape : previous)
        if (shape != nullptr) shape->Destroy();
    for (int s = 0; s < source.GetShapeCount(); ++s) {
        KDuzShape* shape = source.GetShape(s);
        KDuzShape* copy = shape != nullptr ? KDuzShape::Create(manager, "") : nullptr;
        if (copy == nullptr) continue;
        copy->CopyFrom(*shape);
        KTypedArray<KgeTVector>& points = copy->GetControlPointArray();
        if (transpose && nu > 0 && nv > 0 && points.Count() == nu * nv) {
            std::vector<KgeTVector> old(points.begin(), points.end());
            for (int v = 0; v < nv; ++v)
                for (int u = 0; u < nu; ++u) points[u * nv + v] = old[static_cast<size_t>(v * nu + u)];
        }
        if (target.AddShape(copy, source.GetShapeName(s)) < 0) copy->Destroy();
    }
}

}  // namespace duzsdk
