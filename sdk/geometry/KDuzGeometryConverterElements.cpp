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

void KDuzCopyClusterSettings(const KDuzCluster& source, KDuzCluster& target) {
    target.SetLink(source.GetLink());
    target.SetAssociateModel(source.GetAssociateModel());
    target.SetLinkName(source.GetLinkName().Buffer());
    target.SetAssociateModelName(source.GetAssociateModelName().Buffer());
    target.SetUserData(source.GetUserDataID().Buffer(), source.GetUserData().Buffer());
    target.SetLinkMode(source.GetLinkMode());
    target.SetMultiLayer(source.GetMultiLayer());
    target.SetTransformMatrix(source.GetStoredTransformMatrix());
    target.SetTransformLinkMatrix(source.GetStoredTransformLinkMatrix());
    target.SetTransformAssociateModelMatrix(source.GetStoredTransformAssociateModelMatrix());
    if (source.IsTransformParentSet()) target.SetTransformParentMatrix(source.GetStoredTransformParentMatrix());
}

std::vector<KDuzSkin*> KDuzSkinsOf(const KDuzGeometry& geometry) {
    std::vector<KDuzSkin*> skins;
    const int count = geometry.GetSrcObjectCount(KDuzSkin::ClassId());
    for (int i = 0; i < count; ++i)
        if (auto* skin = dynamic_cast<KDuzSkin*>(geometry.GetSrcObject(KDuzSkin::ClassId(), i))) skins.push_back(skin);
    return skins;
}

void KDuzRemoveSkins(KDuzGeometry& geometry) {
    for (KDuzSkin* skin : KDuzSkinsOf(geometry)) {
        geometry.DisconnectSrcObject(skin);
        skin->Destroy();
    }
}

void KDuzCopySkin(KDuzSdkManager* manager, const KDuzGeometry& source, KDuzGeometry& target,
                  const std::function<int(int)>& remap) {
    const std::vector<KDuzSkin*> skins = KDuzSkinsOf(source);
    if (skins.empty()) return;
    // A plain copy of the geometry brought the skins along with the old
    // indices; they give way to the remapped ones.
    KDuzRemoveSkins(target);
    for (const KDuzSkin* skin : skins) {
        KDuzSkin* copy = KDuzSkin::Create(manager, skin->GetName());
        if (copy == nullptr) continue;
        copy->SetDeformAccuracy(skin->GetDeformAccuracy());
        copy->SetMultiLayer(skin->GetMultiLayer());
        for (int c = 0; c < skin->GetClusterCount(); ++c) {
            const KDuzCluster* cluster = skin->GetCluster(c);
            KDuzCluster* clusterCopy = cluster != nullptr ? KDuzCluster::Create(manager, cluster->GetName()) : nullptr;
            if (clusterCopy == nullptr) continue;
            KDuzCopyClusterSettings(*cluster, *clusterCopy);
            for (int i = 0; i < cluster->GetControlPointIndicesCount(); ++i)
                clusterCopy->AddControlPointIndex(remap(cluster->GetControlPointIndices()[i]),
                                                  cluster->GetControlPointWeights()[i]);
            copy->ConnectSrcObject(clusterCopy);
        }
        target.ConnectSrcObject(copy);
    }
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
