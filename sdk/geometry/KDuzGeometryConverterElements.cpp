#include "sdk/geometry/KDuzGeometryConverterElements.h"

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

}  // namespace duzsdk
