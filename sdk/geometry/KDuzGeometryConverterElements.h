// The geometry converter's walk over layer elements: one row per element
// kind it carries, with the typed operations on the kind's direct array.
#pragma once

#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzLayerContainer.h"

#include <functional>
#include <type_traits>
#include <vector>

namespace duzsdk {

class KDuzCluster;
class KDuzGeometry;
class KDuzSdkManager;
class KDuzSkin;

// Every field of a cluster but its control points and weights: link,
// associate model, the names read from a file, user data, link mode,
// multi-layer flag and the four matrices as stored.
void KDuzCopyClusterSettings(const KDuzCluster& source, KDuzCluster& target);
// The geometry's skins, in connection order.
std::vector<KDuzSkin*> KDuzSkinsOf(const KDuzGeometry& geometry);
// Disconnects and destroys every skin of the geometry.
void KDuzRemoveSkins(KDuzGeometry& geometry);

// Gives target a copy of each of source's skins (name, accuracy, clusters
// with every field), each control-point index passed through remap, in
// place of the skins target has; nothing when source has no skin.
void KDuzCopySkin(KDuzSdkManager* manager, const KDuzGeometry& source, KDuzGeometry& target,
                  const std::function<int(int)>& remap);
// Gives target a copy of each of source's shapes under the same name, the
// points of a nu x nv grid transposed when transpose is set; nothing when
// target has shapes already.
void KDuzCopyShapes(KDuzSdkManager* manager, KDuzGeometry& source, KDuzGeometry& target, int nu, int nv,
                    bool transpose);

// to's direct array becomes from's entries at the positions of map (a
// zero entry where from has none); from and to may be the same element.
template <class E>
void KDuzGatherDirect(const KDuzLayerElement& from, KDuzLayerElement& to, const std::vector<int>& map) {
    const auto& source = static_cast<const E&>(from).GetDirectArray();
    using T = std::remove_reference_t<decltype(source[0])>;
    std::vector<std::remove_const_t<T>> old(source.begin(), source.end());
    auto& target = static_cast<E&>(to).GetDirectArray();
    target.Empty();
    if (!target.SetCount(static_cast<int>(map.size()))) return;
    for (size_t i = 0; i < map.size(); ++i) {
        const int at = map[i];
        target[static_cast<int>(i)] = at >= 0 && static_cast<size_t>(at) < old.size() ? old[static_cast<size_t>(at)]
                                                                                     : std::remove_const_t<T>{};
    }
}

// The same for the index array; -1 where from has no entry.
void KDuzGatherIndices(const KDuzLayerElement& from, KDuzLayerElement& to, const std::vector<int>& map);

struct KDuzElementOps {
    int type;
    bool uv;
    void (*clearDirect)(KDuzLayerElement& element);
    void (*gatherDirect)(const KDuzLayerElement& from, KDuzLayerElement& to, const std::vector<int>& map);
};

// Normals, materials, polygon groups, vertex colours, smoothing,
// visibility, and the texture and UV elements of channels 3 and 10 to 23.
const std::vector<KDuzElementOps>& KDuzElementOpsTable();

// Calls visit (element, ops) for every element of the table in every layer.
template <typename Visit>
void KDuzForEachLayerElement(KDuzLayerContainer& container, Visit visit) {
    for (int l = 0; l < container.GetLayerCount(); ++l) {
        KDuzLayer* layer = container.GetLayer(l);
        if (layer == nullptr) continue;
        for (const KDuzElementOps& ops : KDuzElementOpsTable()) {
            if (KDuzLayerElement* element = layer->GetLayerElementOfType(ops.type, ops.uv)) visit(*element, ops);
        }
    }
}

}  // namespace duzsdk
