// The tail of geometry records: "Link" fields (the clusters of the
// geometry's skin) and "Shape" fields (its blend targets).
#include <algorithm>
#include <vector>

#include "sdk/base/KgeMath.h"
#include "sdk/duz/KDuz6FieldHelpers.h"
#include "sdk/duz/KDuzReaderDuz6Records.h"
#include "sdk/geometry/KDuzCluster.h"
#include "sdk/geometry/KDuzGeometry.h"
#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzLayerContainer.h"
#include "sdk/geometry/KDuzLayerElement.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzShape.h"
#include "sdk/geometry/KDuzSkin.h"

namespace duzsdk {

namespace {

// 16 doubles of the named field; false (out untouched) when it is missing.
bool ReadMatrix(KDuz& file, const char* name, KgeMatrix& out) {
    if (!file.FieldReadBegin(name)) return false;
    file.FieldReadDoubles(out.Data(), 16);
    file.FieldReadEnd();
    return true;
}

// first x second in the affine product's own operand order.
KgeMatrix Product(const KgeMatrix& first, const KgeMatrix& second) {
    KgeMatrix out;
    KgeMatrixMultiplyAffine(out.Data(), first.Data(), second.Data());
    return out;
}

std::vector<int> ReadInts(KDuz& file, const char* name) {
    std::vector<int> values;
    if (!file.FieldReadBegin(name)) return values;
    const int count = file.FieldReadGetValueCount();
    values.resize(static_cast<size_t>(std::max(count, 0)));
    if (count > 0) file.FieldReadInts(values.data(), count);
    file.FieldReadEnd();
    return values;
}

std::vector<double> ReadDoubles(KDuz& file, const char* name) {
    std::vector<double> values;
    if (!file.FieldReadBegin(name)) return values;
    const int count = file.FieldReadGetValueCount();
    values.resize(static_cast<size_t>(std::max(count, 0)));
    if (count > 0) file.FieldReadDoubles(values.data(), count);
    file.FieldReadEnd();
    return values;
}

KDuzSkin* FirstSkin(KDuzGeometry* geometry) {
    return dynamic_cast<KDuzSkin*>(geometry->GetSrcObject(KDuzSkin::ClassId(), 0));
}

}  // namespace

void KDuz6ReadClusterUserDataAndWeights(KDuz& file, KDuzCluster* cluster) {
    if (file.FieldReadBegin("UserData")) {
        const KString id(file.FieldReadString());
        const KString data(file.FieldReadString());
        cluster->SetUserData(id.Buffer(), data.Buffer());
        file.FieldReadEnd();
    }
    // One weight per index: an index without its weight is dropped, and
    // weights beyond the indices are not read.
    const std::vector<int> indices = ReadInts(file, "Indexes");
    if (indices.empty()) return;
    const std::vector<double> weights = ReadDoubles(file, "Weights");
    const size_t pairs = std::min(indices.size(), weights.size());
    cluster->ReserveControlPointIndices(static_cast<int>(pairs));
    for (size_t i = 0; i < pairs; ++i) cluster->AddControlPointIndex(indices[i], weights[i]);
}

bool KDuz6ReadClusterBody(KDuz& file, KDuzCluster* cluster) {
    if (cluster == nullptr) return true;
    cluster->SetLinkName(file.FieldReadString());
    if (!file.FieldReadBlockBegin()) return true;
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
    if (ReadMatrix(file, "TransformLink", link)) cluster->SetTransformLinkMatrix(link);
    cluster->SetTransformMatrix(Product(cluster->GetStoredTransformLinkMatrix(), transform));
    if (file.FieldReadBegin("AssociateModel")) {
        cluster->SetAssociateModelName(file.FieldReadString());
        if (file.FieldReadBlockBegin()) {
            KgeMatrix associate;
            if (ReadMatrix(file, "Transform", associate))
                cluster->SetTransformAssociateModelMatrix(Product(cluster->GetStoredTransformLinkMatrix(), associate));
            file.FieldReadBlockEnd();
        }
        file.FieldReadEnd();
    }
    KgeMatrix parent;
    if (ReadMatrix(file, "TransformParent", parent)) cluster->SetTransformParentMatrix(parent);
    file.FieldReadBlockEnd();
    return true;
}

bool KDuz6ReadLinks(const KDuz6RecordContext& context, KDuzGeometry* geometry) {
    if (context.file == nullptr || geometry == nullptr || !context.readLinks) return true;
    KDuz& file = *context.file;
    // Clusters join the geometry's first skin; one is made for them when
    // the geometry has none, so that no cluster is left on its own.
    KDuzSkin* skin = FirstSkin(geometry);
    const int count = file.FieldGetInstanceCount("Link");
    for (int i = 0; i < count; ++i) {
        if (!file.FieldReadBeginInstance("Link", i)) break;
        KDuzCluster* cluster = KDuzCluster::Create(context.manager, "");
        if (cluster != nullptr && KDuz6ReadClusterBody(file, cluster)) {
            // Indices name the points read above; others name nothing.
            cluster->DropIndicesOutside(geometry->GetControlPointsCount());
            if (skin == nullptr && (skin = KDuzSkin::Create(context.manager, "")) != nullptr &&
                !geometry->ConnectSrcObject(skin)) {
                skin->Destroy();
                skin = nullptr;
            }
            if (skin == nullptr || !skin->ConnectSrcObject(cluster)) cluster->Destroy();
        } else if (cluster != nullptr) {
            cluster->Destroy();
        }
        file.FieldReadEnd();
    }
    return true;
}

bool KDuz6ReadShape(KDuz& file, KDuzShape* shape, KDuzGeometry* geometry) {
    if (shape == nullptr || geometry == nullptr) return true;
    const int points = geometry->GetControlPointsCount();
    if (!shape->InitControlPoints(points)) return true;
    std::copy_n(geometry->GetControlPoints(), points, shape->GetControlPoints());
    const std::vector<int> indices = ReadInts(file, "Indexes");
    // A triple per index; an index outside the geometry's points, and
    // triples beyond the indices, change nothing.
    const std::vector<double> offsets = ReadDoubles(file, "Vertices");
    const size_t moved = std::min(indices.size(), offsets.size() / 3);
    KgeTVector* shapePoints = shape->GetControlPoints();
    for (size_t i = 0; i < moved; ++i) {
        const int index = indices[i];
        if (index < 0 || index >= points) continue;
        for (int c = 0; c < 3; ++c) shapePoints[index][c] += offsets[3 * i + static_cast<size_t>(c)];
    }
    if (dynamic_cast<KDuzMesh*>(geometry) == nullptr || file.FieldGetInstanceCount("Normals") == 0) return true;
    const std::vector<double> normalOffsets = ReadDoubles(file, "Normals");
    if (!shape->InitNormals()) return true;
    KDuzLayerElementNormal* normals = shape->GetLayer(0)->GetNormals();
    normals->SetMappingMode(KDuzLayerElement::eByControlPoint);
    normals->SetReferenceMode(KDuzLayerElement::eDirect);
    const KDuzLayer* baseLayer = geometry->GetLayer(0);
    const KDuzLayerElementNormal* baseNormals = baseLayer != nullptr ? baseLayer->GetNormals() : nullptr;
    // The geometry's normals, or none when it has none.
    if (baseNormals != nullptr)
        normals->GetDirectArray() = baseNormals->GetDirectArray();
    else
        normals->GetDirectArray().Empty();
    KgeTVectorArray& copied = normals->GetDirectArray();
    const size_t turned = std::min(indices.size(), normalOffsets.size() / 3);
    for (size_t i = 0; i < turned && copied.Count() > 0; ++i) {
        const int index = indices[i];
        if (index < 0 || index >= copied.Count()) continue;
        for (int c = 0; c < 3; ++c) copied[index][c] += normalOffsets[3 * i + static_cast<size_t>(c)];
    }
    return true;
}

bool KDuz6ReadShapes(const KDuz6RecordContext& context, KDuzGeometry* geometry) {
    if (context.file == nullptr || geometry == nullptr || !context.readShapes) return true;
    KDuz& file = *context.file;
    const int count = file.FieldGetInstanceCount("Shape");
    for (int i = 0; i < count; ++i) {
        if (!file.FieldReadBeginInstance("Shape", i)) break;
        const KString name = KDuz6StripPrefix(file.FieldReadString());
        KDuzShape* shape = KDuzShape::Create(context.manager, "");
        if (shape != nullptr) {
            if (file.FieldReadBlockBegin()) {
                KDuz6ReadShape(file, shape, geometry);
                file.FieldReadBlockEnd();
            }
            if (geometry->AddShape(shape, name.Buffer()) < 0) shape->Destroy();
        }
        file.FieldReadEnd();
    }
    return true;
}

}  // namespace duzsdk
