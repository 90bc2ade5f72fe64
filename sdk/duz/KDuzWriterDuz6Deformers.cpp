// Deformer, cache and weighted-map records of version 6 files, and the
// "Shape" blocks of geometry records.
#include <vector>

#include "sdk/base/KgeMath.h"
#include "sdk/base/KgeMatrix.h"
#include "sdk/duz/KDuz6RecordNames.h"
#include "sdk/duz/KDuz6FieldHelpers.h"
#include "sdk/duz/KDuzWriterDuz6.h"
#include "sdk/geometry/KDuzCache.h"
#include "sdk/geometry/KDuzCluster.h"
#include "sdk/geometry/KDuzGeometryWeightedMap.h"
#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzLayerElement.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzShape.h"
#include "sdk/geometry/KDuzSkin.h"
#include "sdk/geometry/KDuzVertexCacheDeformer.h"
#include "sdk/io/IDuzObject.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

namespace duzsdk {

namespace {

constexpr int kDeformerVersion = 100;
constexpr int kCacheVersion = 100;
constexpr int kWeightedMapVersion = 100;

void WriteMatrix(KDuz& duz, const char* name, const KgeMatrix& matrix) {
    duz.FieldWriteBegin(name);
    for (int i = 0; i < 16; ++i) duz.FieldWriteDouble(matrix.Data()[i]);
    duz.FieldWriteEnd();
}

void CloseRecord(KDuz& duz) {
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
}

// matrix x inverse(link), both rebuilt without shear: what a reader
// multiplies by the link again.
KgeMatrix RelativeToLink(const KgeMatrix& link, const KgeMatrix& matrix) {
    KgeMatrix out;
    KgeMatrixMultiplyInverseOrthogonal(out.Data(), link.Data(), matrix.Data());
    return out;
}

// Layer 0's normals when they map one per control point directly, else null.
const KDuzLayerElementNormal* PointNormals(const KDuzGeometryBase* geometry, int points) {
    const KDuzLayer* layer = geometry->GetLayer(0);
    const KDuzLayerElementNormal* normals = layer != nullptr ? layer->GetNormals() : nullptr;
    if (normals == nullptr || normals->GetMappingMode() != KDuzLayerElement::eByControlPoint ||
        normals->GetReferenceMode() != KDuzLayerElement::eDirect || normals->GetDirectArray().Count() != points)
        return nullptr;
    return normals;
}

}  // namespace

void KDuzWriterDuz6::WriteDeformers(KDuzScene* scene) {
    // Announced in the definitions only under "LINK"; unannounced records
    // would not be read back.
    if (!Option("LINK")) return;
    KDuz& duz = *GetFieldFile();
    auto head = [&](KDuzObject* object, bool multiLayer) {
        WriteRecordHead(duz6::kDeformer, object);
        KDuz6WriteIntField(duz, duz6::kVersion, kDeformerVersion);
        KDuz6WriteIntField(duz, "MultiLayer", multiLayer ? 1 : 0);
        duz.FieldWriteNamedString("Type", object->GetTypeName().Buffer());
        WriteProperties(object);
    };
    for (KDuzObject* object : Sources(scene, KDuzSkin::ClassId())) {
        auto* skin = dynamic_cast<KDuzSkin*>(object);
        if (skin == nullptr) continue;
        head(skin, skin->GetMultiLayer());
        duz.FieldWriteBegin("Link_DeformAcuracy");
        duz.FieldWriteDouble(skin->GetDeformAccuracy());
        duz.FieldWriteEnd();
        CloseRecord(duz);
    }
    for (KDuzObject* object : Sources(scene, KDuzCluster::ClassId())) {
        auto* cluster = dynamic_cast<KDuzCluster*>(object);
        if (cluster == nullptr) continue;
        head(cluster, cluster->GetMultiLayer());
        if (cluster->GetLinkMode() == KDuzCluster::eAdditive) duz.FieldWriteNamedString("Mode", "Additive");
        if (cluster->GetLinkMode() == KDuzCluster::eTotalOne) duz.FieldWriteNamedString("Mode", "Total1");
        duz.FieldWriteBegin("UserData");
        duz.FieldWriteKString(cluster->GetUserDataID());
        duz.FieldWriteKString(cluster->GetUserData());
        duz.FieldWriteEnd();
        const int count = cluster->GetControlPointIndicesCount();
        duz.FieldWriteBegin("Indexes");
        for (int k = 0; k < count; ++k) duz.FieldWriteInt(cluster->GetControlPointIndices()[k]);
        duz.FieldWriteEnd();
        duz.FieldWriteBegin("Weights");
        for (int k = 0; k < count; ++k) duz.FieldWriteDouble(cluster->GetControlPointWeights()[k]);
        duz.FieldWriteEnd();
        // The getters give each matrix rebuilt without shear.
        KgeMatrix transform, link, associate, parent;
        cluster->GetTransformMatrix(transform);
        cluster->GetTransformLinkMatrix(link);
        WriteMatrix(duz, "Transform", RelativeToLink(link, transform));
        WriteMatrix(duz, "TransformLink", link);
        if (cluster->GetAssociateModel() != nullptr) {
            cluster->GetTransformAssociateModelMatrix(associate);
            duz.FieldWriteBegin("AssociateModel");
            duz.FieldWriteBlockBegin();
            WriteMatrix(duz, "Transform", RelativeToLink(link, associate));
            CloseRecord(duz);
        }
        if (cluster->IsTransformParentSet()) WriteMatrix(duz, "TransformParent", cluster->GetTransformParentMatrix(parent));
        CloseRecord(duz);
    }
    for (KDuzObject* object : Sources(scene, KDuzVertexCacheDeformer::ClassId())) {
        auto* deformer = dynamic_cast<KDuzVertexCacheDeformer*>(object);
        if (deformer == nullptr) continue;
        head(deformer, deformer->GetMultiLayer());
        CloseRecord(duz);
    }
}

void KDuzWriterDuz6::WriteCaches(KDuzScene* scene) {
    if (!Option("LINK")) return;
    KDuz& duz = *GetFieldFile();
    for (KDuzObject* cache : Sources(scene, KDuzCache::ClassId())) {
        if (cache == nullptr) continue;
        WriteRecordHead(duz6::kCache, cache);
        KDuz6WriteIntField(duz, duz6::kVersion, kCacheVersion);
        WriteProperties(cache);
        CloseRecord(duz);
    }
}

void KDuzWriterDuz6::WriteWeightedMaps(KDuzScene* scene) {
    for (KDuzObject* object : Sources(scene, KDuzGeometryWeightedMap::ClassId())) {
        auto* map = dynamic_cast<KDuzGeometryWeightedMap*>(object);
        if (map == nullptr) continue;
        WriteRecordHead(duz6::kGeometryWeightedMap, map);
        WriteWeightedMapBody(map);
        CloseRecord(*GetFieldFile());
        ReportProgress(nullptr, Percentage(++mModelCount, mModelTotal));
    }
}

bool KDuzWriterDuz6::WriteWeightedMapBody(KDuzGeometryWeightedMap* map) {
    KDuz& duz = *GetFieldFile();
    const KSparseWeightMatrix* mapping = map != nullptr ? map->GetMapping() : nullptr;
    const int sources = mapping != nullptr ? mapping->GetRowCount(0) : 0;
    KDuz6WriteIntField(duz, duz6::kVersion, kWeightedMapVersion);
    KDuz6WriteIntField(duz, "SourceCount", sources);
    KDuz6WriteIntField(duz, "DestinationCount", mapping != nullptr ? mapping->GetRowCount(1) : 0);
    for (int source = 0; source < sources; ++source) {
        const int entries = mapping->GetEntryCount(0, source);
        if (entries <= 0) continue;
        duz.FieldWriteBegin("IndexMapping");
        duz.FieldWriteInt(source);
        duz.FieldWriteInt(entries);
        for (int e = 0; e < entries; ++e) {
            const KSparseWeightEntry* entry = mapping->GetEntry(0, source, e);
            duz.FieldWriteInt(entry->index);
            duz.FieldWriteDouble(entry->value);
        }
        duz.FieldWriteEnd();
    }
    return true;
}

void KDuzWriterDuz6::WriteShapes(KDuzGeometry* geometry) {
    if (geometry == nullptr) return;
    KDuz& duz = *GetFieldFile();
    KgeMatrix pivot;
    geometry->GetPivot(pivot);
    const int points = geometry->GetControlPointsCount();
    const KgeTVector* base = geometry->GetControlPoints();
    const bool mesh = dynamic_cast<KDuzMesh*>(geometry) != nullptr;
    const KDuzLayerElementNormal* baseNormals = mesh ? PointNormals(geometry, points) : nullptr;
    for (int s = 0; s < geometry->GetShapeCount(); ++s) {
        KDuzShape* shape = geometry->GetShape(s);
        if (shape == nullptr) continue;
        const bool comparable = shape->GetControlPointsCount() == points;
        const KgeTVector* moved = shape->GetControlPoints();
        const KDuzLayerElementNormal* shapeNormals =
            comparable && baseNormals != nullptr ? PointNormals(shape, points) : nullptr;
        // A point belongs to the shape when it moved or its normal turned, so
        // that a change of normal alone is not lost.
        std::vector<int> indices;
        if (comparable) {
            for (int i = 0; i < points; ++i) {
                bool changed = moved[i][0] != base[i][0] || moved[i][1] != base[i][1] || moved[i][2] != base[i][2];
                if (!changed && shapeNormals != nullptr) {
                    const KgeTVector& a = shapeNormals->GetDirectArray()[i];
                    const KgeTVector& b = baseNormals->GetDirectArray()[i];
                    changed = a[0] != b[0] || a[1] != b[1] || a[2] != b[2];
                }
                if (changed) indices.push_back(i);
            }
        }
        duz.FieldWriteBegin("Shape");
        duz.FieldWriteString(geometry->GetShapeName(s));
        duz.FieldWriteBlockBegin();
        duz.FieldWriteBegin("Indexes");
        for (int index : indices) duz.FieldWriteInt(index);
        duz.FieldWriteEnd();
        duz.FieldWriteBegin("Vertices");
        for (int index : indices) {
            const KgeTVector a = pivot.TransformPoint(moved[index]);
            const KgeTVector b = pivot.TransformPoint(base[index]);
            for (int c = 0; c < 3; ++c) duz.FieldWriteDouble(a[c] - b[c]);
        }
        duz.FieldWriteEnd();
        duz.FieldWriteBegin("Normals");
        for (int index : indices) {
            for (int c = 0; c < 3; ++c) {
                const double d = shapeNormals != nullptr ? shapeNormals->GetDirectArray()[index][c] -
                                                               baseNormals->GetDirectArray()[index][c]
                                                         : 0.0;
                duz.FieldWriteDouble(d);
            }
        }
        duz.FieldWriteEnd();
        CloseRecord(duz);
    }
}

}  // namespace duzsdk
