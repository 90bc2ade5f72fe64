// "Deformer", "Cache" and "GeometryWeightedMap" records of version 6 files,
// and the check of cluster indices against the points of their geometry
// once the connections are known.
#include <algorithm>
#include <memory>
#include <vector>

#include "sdk/base/KPath.h"
#include "sdk/base/KgeMath.h"
#include "sdk/duz/KDuz6FieldHelpers.h"
#include "sdk/duz/KDuzReaderDuz6Records.h"
#include "sdk/geometry/KDuzCache.h"
#include "sdk/geometry/KDuzCluster.h"
#include "sdk/geometry/KDuzGeometry.h"
#include "sdk/geometry/KDuzGeometryWeightedMap.h"
#include "sdk/geometry/KDuzSkin.h"
#include "sdk/geometry/KDuzVertexCacheDeformer.h"
#include "sdk/io/KDuz.h"
#include "sdk/scene/KDuzScene.h"

namespace duzsdk {

namespace {

// Beyond this a count from a file is not believed. Rows cost memory only up
// to the last one an entry reaches, but that entry may be anywhere below.
constexpr int kMaxWeightedMapRows = 1 << 24;

void ReadVersionMultiLayerAndProperties(const KDuz6RecordContext& context, KDuzObject* object, bool& multiLayer) {
    KDuz& file = *context.file;
    file.FieldReadIntOrDefault("Version", 100);
    multiLayer = file.FieldReadIntOrDefault("MultiLayer", 0) != 0;
    if (context.readProperties60) context.readProperties60(object);
}

bool ReadMatrix(KDuz& file, const char* name, KgeMatrix& out) {
    if (!file.FieldReadBegin(name)) return false;
    if (file.FieldReadGetValueCount() >= 16) file.FieldReadDoubles(out.Data(), 16);
    file.FieldReadEnd();
    return true;
}

// The product of the rebuilt first and second matrices, second applied first.
KgeMatrix RebuiltProduct(const KgeMatrix& link, const KgeMatrix& matrix) {
    KgeMatrix out;
    KgeMatrixMultiplyAffine(out.Data(), KDuzCluster::Rebuild(link).Data(), KDuzCluster::Rebuild(matrix).Data());
    return out;
}

}  // namespace

bool KDuz6ReadSkin(const KDuz6RecordContext& context, KDuzSkin* skin) {
    if (context.file == nullptr || skin == nullptr) return true;
    bool multiLayer = false;
    ReadVersionMultiLayerAndProperties(context, skin, multiLayer);
    skin->SetMultiLayer(multiLayer);
    KDuz& file = *context.file;
    if (file.FieldReadBegin("Link_DeformAcuracy")) {
        if (file.FieldReadGetValueCount() > 0) skin->SetDeformAccuracy(file.FieldReadDouble());
        file.FieldReadEnd();
    }
    return true;
}

bool KDuz6ReadVertexCacheDeformer(const KDuz6RecordContext& context, KDuzVertexCacheDeformer* deformer) {
    if (context.file == nullptr || deformer == nullptr) return true;
    bool multiLayer = false;
    ReadVersionMultiLayerAndProperties(context, deformer, multiLayer);
    deformer->SetMultiLayer(multiLayer);
    return true;
}

bool KDuz6ReadCluster(const KDuz6RecordContext& context, KDuzCluster* cluster) {
    if (context.file == nullptr || cluster == nullptr) return true;
    KDuz& file = *context.file;
    bool multiLayer = false;
    ReadVersionMultiLayerAndProperties(context, cluster, multiLayer);
    cluster->SetMultiLayer(multiLayer);
    cluster->SetLinkMode(KDuzCluster::eNormalize);
    const char* mode = file.FieldReadStringOrDefault("Mode", "");
    if (KDuz6TextEqualsNoCase(mode, "Additive"))
        cluster->SetLinkMode(KDuzCluster::eAdditive);
    else if (KDuz6TextEqualsNoCase(mode, "Total1"))
        cluster->SetLinkMode(KDuzCluster::eTotalOne);
    KDuz6ReadClusterUserDataAndWeights(file, cluster);

    KgeMatrix transform;
    ReadMatrix(file, "Transform", transform);
    KgeMatrix link;
    ReadMatrix(file, "TransformLink", link);
    cluster->SetTransformLinkMatrix(link);
    cluster->SetTransformMatrix(RebuiltProduct(link, transform));
    if (file.FieldReadBegin("AssociateModel")) {
        if (file.FieldReadBlockBegin()) {
            KgeMatrix associate;
            if (ReadMatrix(file, "Transform", associate))
                cluster->SetTransformAssociateModelMatrix(RebuiltProduct(link, associate));
            file.FieldReadBlockEnd();
        }
        file.FieldReadEnd();
    }
    KgeMatrix parent;
    if (ReadMatrix(file, "TransformParent", parent)) cluster->SetTransformParentMatrix(parent);
    return true;
}

bool KDuz6ReadCache(const KDuz6RecordContext& context, KDuzCache* cache) {
    if (context.file == nullptr || cache == nullptr) return true;
    KDuz& file = *context.file;
    file.FieldReadIntOrDefault("Version", 100);
    if (context.readProperties60) context.readProperties60(cache);
    KString relative, absolute;
    cache->GetCacheFileName(relative, absolute);
    // A cache that moved with the file is looked for beside the file.
    if (!relative.IsEmpty() && (absolute.IsEmpty() || !KPathFileExists(absolute))) {
        KString folder = KPathGetDirectory(file.GetFullFileName());
        if (!folder.IsEmpty()) {
            if (KPathIsRelative(folder)) folder = KPathMakeAbsolute(folder);
            KString candidate = folder;
            candidate += "/";
            candidate += relative;
            candidate = KPathClean(candidate);
            if (KPathFileExists(candidate)) cache->SetCacheFileName(relative.Buffer(), candidate.Buffer());
        }
    }
    return true;
}

bool KDuz6ReadWeightedMap(const KDuz6RecordContext& context, KDuzGeometryWeightedMap* map) {
    if (context.file == nullptr || map == nullptr) return true;
    KDuz& file = *context.file;
    file.FieldReadIntOrDefault("Version", 100);
    const int sources = file.FieldReadIntOrDefault("SourceCount", 0);
    const int destinations = file.FieldReadIntOrDefault("DestinationCount", 0);
    if (sources <= 0 || destinations <= 0 || sources > kMaxWeightedMapRows || destinations > kMaxWeightedMapRows)
        return true;
    auto mapping = std::make_unique<KSparseWeightMatrix>(sources, destinations);
    const int count = file.FieldGetInstanceCount("IndexMapping");
    for (int i = 0; i < count; ++i) {
        if (!file.FieldReadBeginInstance("IndexMapping", i)) break;
        if (file.FieldReadGetValueCount() >= 2) {
            const int source = file.FieldReadInt();
            const int entries = file.FieldReadInt();
            // Only the pairs really present; entries naming no point drop.
            const int present = std::min(entries, file.FieldReadGetRemainingValueCount() / 2);
            for (int e = 0; e < present; ++e) {
                const int destination = file.FieldReadInt();
                const double weight = file.FieldReadDouble();
                mapping->Add(source, destination, weight);
            }
        }
        file.FieldReadEnd();
    }
    map->SetMapping(std::move(mapping));
    return true;
}

KDuzObject* KDuz6ReadDeformerRecord(const KDuz6RecordContext& context, const KString& kind, const KString& subType,
                                   const KString& name) {
    if (context.manager == nullptr) return nullptr;
    auto same = [](const KString& a, const char* b) { return a == b; };
    if (same(kind, "Deformer")) {
        if (same(subType, "Skin")) {
            KDuzSkin* skin = KDuzSkin::Create(context.manager, name.Buffer());
            KDuz6ReadSkin(context, skin);
            return skin;
        }
        if (same(subType, "Cluster")) {
            KDuzCluster* cluster = KDuzCluster::Create(context.manager, name.Buffer());
            KDuz6ReadCluster(context, cluster);
            return cluster;
        }
        if (same(subType, "VertexCacheDeformer")) {
            KDuzVertexCacheDeformer* deformer = KDuzVertexCacheDeformer::Create(context.manager, name.Buffer());
            KDuz6ReadVertexCacheDeformer(context, deformer);
            return deformer;
        }
        return nullptr;
    }
    if (same(kind, "Cache")) {
        KDuzCache* cache = KDuzCache::Create(context.manager, name.Buffer());
        KDuz6ReadCache(context, cache);
        return cache;
    }
    if (same(kind, "GeometryWeightedMap")) {
        KDuzGeometryWeightedMap* map = KDuzGeometryWeightedMap::Create(context.manager, name.Buffer());
        KDuz6ReadWeightedMap(context, map);
        return map;
    }
    return nullptr;
}

int KDuz6DropClusterIndicesOutsidePoints(KDuzScene* scene) {
    if (scene == nullptr) return 0;
    int dropped = 0;
    // Each list is gathered once: asking for the i-th source of a class walks
    // the sources again each time.
    std::vector<KDuzObject*> geometries, skins, clusters;
    KDuzCollectSrcObjects(scene, KDuzGeometry::ClassId(), geometries);
    for (KDuzObject* object : geometries) {
        auto* geometry = dynamic_cast<KDuzGeometry*>(object);
        if (geometry == nullptr) continue;
        const int points = geometry->GetControlPointsCount();
        skins.clear();
        KDuzCollectSrcObjects(geometry, KDuzSkin::ClassId(), skins);
        for (KDuzObject* skin : skins) {
            clusters.clear();
            KDuzCollectSrcObjects(skin, KDuzCluster::ClassId(), clusters);
            for (KDuzObject* cluster : clusters)
                dropped += static_cast<KDuzCluster*>(cluster)->DropIndicesOutside(points);
        }
    }
    return dropped;
}

}  // namespace duzsdk
