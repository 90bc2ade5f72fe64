// Skins and shapes as skin and morph "controller" elements.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "sdk/formats/collada/ColladaXmlWrite.h"
#include "sdk/formats/collada/KDuzWriterCollada.h"
#include "sdk/geometry/KDuzCluster.h"
#include "sdk/geometry/KDuzDeformer.h"
#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzShape.h"
#include "sdk/geometry/KDuzSkin.h"
#include "sdk/scene/KDuzNode.h"

namespace duzsdk {

namespace {

// The linked clusters of every skin of the mesh, skin by skin, cluster by cluster.
std::vector<KDuzCluster*> LinkedClusters(KDuzMesh* mesh, bool& unlinked, std::vector<KDuzCluster*>* modeless) {
    std::vector<KDuzCluster*> linked;
    for (int s = 0; s < mesh->GetDeformerCount(); ++s) {
        auto* skin = static_cast<KDuzSkin*>(mesh->GetDeformerOfType(s, KDuzDeformer::eSkin));
        if (skin == nullptr) continue;
        for (int c = 0; c < skin->GetClusterCount(); ++c) {
            KDuzCluster* cluster = skin->GetCluster(c);
            if (cluster == nullptr || cluster->GetLink() == nullptr) {
                unlinked = true;
                continue;
            }
            if (cluster->GetLinkMode() != 2 && modeless != nullptr) modeless->push_back(cluster);
            linked.push_back(cluster);
        }
    }
    return linked;
}

}  // namespace

bool KDuzWriterCollada::ExportSkinController(KDuzMesh* mesh, const KString& n) {
    const KString id = n + "Controller";
    xmlNode* controller = ColladaNewChild(nullptr, "controller");
    AppendToLibrary(mControllersPart, "library_controllers", controller);
    ColladaSetAttribute(controller, "id", id);
    xmlNode* skin = ColladaNewChild(controller, "skin");
    ColladaSetAttribute(skin, "source", KString("#") + n + "-lib");

    KgeMatrix bindShape;
    auto* firstSkin = static_cast<KDuzSkin*>(mesh->GetDeformerOfType(0, KDuzDeformer::eSkin));
    if (firstSkin != nullptr && firstSkin->GetCluster(0) != nullptr) firstSkin->GetCluster(0)->GetTransformMatrix(bindShape);
    ColladaNewChild(skin, "bind_shape_matrix", ColladaMatrixToText(bindShape).Buffer());

    bool unlinked = false;
    std::vector<KDuzCluster*> modeless;
    const std::vector<KDuzCluster*> clusters = LinkedClusters(mesh, unlinked, &modeless);
    for (KDuzCluster* cluster : modeless)
        NotifyWarning(KString("link ") + cluster->GetLink()->GetNameString() +
                      "'s mode is not supported. It will be treated as mode eTOTAL1.");
    if (unlinked && modeless.empty()) NotifyWarning(KString("Not able to export all links for mesh ") + n);

    KStringList joints;
    std::vector<KgeMatrix> inverseBinds;
    for (KDuzCluster* cluster : clusters) {
        joints.Append(cluster->GetLink()->GetNameString().Buffer());
        KgeMatrix link;
        cluster->GetTransformLinkMatrix(link);
        inverseBinds.push_back(link.InverseOrthogonal().Transpose());
    }
    ColladaAddNameSource(skin, id + "-Joints", joints, "name", true, &mControllersPart);
    ColladaAddMatrixSource(skin, id + "-Matrices", inverseBinds.data(), static_cast<int>(inverseBinds.size()),
                           &mControllersPart);

    // The influences of each control point, joint by joint; a point listed
    // twice in one cluster takes its last weight.
    const int points = mesh->GetControlPointsCount();
    std::vector<std::vector<std::pair<int, double>>> influences(static_cast<size_t>(points));
    for (size_t j = 0; j < clusters.size(); ++j) {
        const int count = clusters[j]->GetControlPointIndicesCount();
        const int* indices = clusters[j]->GetControlPointIndices();
        const double* weights = clusters[j]->GetControlPointWeights();
        for (int q = 0; q < count; ++q) {
            if (indices[q] < 0 || indices[q] >= points) continue;
            auto& list = influences[static_cast<size_t>(indices[q])];
            const double weight = static_cast<float>(weights[q]);
            if (!list.empty() && list.back().first == static_cast<int>(j))
                list.back().second = weight;
            else
                list.emplace_back(static_cast<int>(j), weight);
        }
    }
    std::vector<double> weightList{1.0};
    for (const auto& list : influences)
        for (const auto& influence : list) weightList.push_back(influence.second);
    ColladaAddFloatSource(skin, id + "-Weights", KStringList(), weightList.data(), static_cast<int>(weightList.size()),
                          true, &mControllersPart);
    xmlNode* jointsElement = ColladaNewChild(skin, "joints");
    ColladaAddInput(jointsElement, "JOINT", (id + "-Joints").Buffer(), -1, -1);
    ColladaAddInput(jointsElement, "INV_BIND_MATRIX", (id + "-Matrices").Buffer(), -1, -1);
    xmlNode* vertexWeights = ColladaNewChild(skin, "vertex_weights");
    ColladaSetAttribute(vertexWeights, "count", ColladaIntText(points));
    // The schema requires the offsets of these two inputs; the pairs in "v"
    // are joint then weight.
    ColladaAddInput(vertexWeights, "JOINT", (id + "-Joints").Buffer(), 0, -1);
    ColladaAddInput(vertexWeights, "WEIGHT", (id + "-Weights").Buffer(), 1, -1);
    // The counts and pairs go straight to the document.
    mControllersPart.OpenText(ColladaNewChild(vertexWeights, "vcount"));
    for (int k = 0; k < points; ++k) {
        if (k > 0) mControllersPart.PlainChar(' ');
        mControllersPart.PlainInt(static_cast<int>(influences[static_cast<size_t>(k)].size()));
    }
    mControllersPart.OpenText(ColladaNewChild(vertexWeights, "v"));
    int next = 1;
    for (const auto& list : influences) {
        for (const auto& influence : list) {
            if (next > 1) mControllersPart.PlainChar(' ');
            mControllersPart.PlainInt(influence.first);
            mControllersPart.PlainChar(' ');
            mControllersPart.PlainInt(next++);
        }
    }
    return true;
}

bool KDuzWriterCollada::ExportMorphController(KDuzMesh* mesh, const KString& n, KDuzNode*) {
    const KString id = n + "-lib-morph";
    xmlNode* controller = ColladaNewChild(nullptr, "controller");
    AppendToLibrary(mControllersPart, "library_controllers", controller);
    ColladaSetAttribute(controller, "id", id);
    xmlNode* morph = ColladaNewChild(controller, "morph");
    ColladaSetAttribute(morph, "source", KString("#") + n + "-lib");
    ColladaSetAttribute(morph, "method", "RELATIVE");

    KStringList targets;
    std::vector<double> weights;
    for (int i = 0; i < mesh->GetShapeCount(); ++i) {
        // The node's name leads the target id: two meshes may both have a
        // shape of one name.
        targets.Append((n + "-" + mesh->GetShapeName(i) + "-lib").Buffer());
        weights.push_back(mesh->GetShapeChannelValue(i));
    }
    ColladaAddNameSource(morph, id + "-targets", targets, "IDREF", true);
    KStringList weightName;
    weightName.Append("WEIGHT");
    ColladaAddFloatSource(morph, id + "-weights", weightName, weights.data(), static_cast<int>(weights.size()), true);
    xmlNode* targetsElement = ColladaNewChild(morph, "targets");
    ColladaAddInput(targetsElement, "MORPH_TARGET", (id + "-targets").Buffer(), -1, -1);
    ColladaAddInput(targetsElement, "MORPH_WEIGHT", (id + "-weights").Buffer(), -1, -1);

    for (int i = 0; i < mesh->GetShapeCount(); ++i) {
        KDuzShape* shape = mesh->GetShape(i);
        KDuzMesh* target = KDuzMesh::Create(mManager, "");
        if (target == nullptr) continue;
        // Made for the document only; destroyed when the write ends.
        mMadeObjects.push_back(target);
        ColladaCopyMesh(target, mesh);
        const int count = shape != nullptr ? std::min(shape->GetControlPointsCount(), target->GetControlPointsCount()) : 0;
        const KDuzLayer* shapeLayer = shape != nullptr ? shape->GetLayer(0) : nullptr;
        const KDuzLayerElementNormal* shapeNormals = shapeLayer != nullptr ? shapeLayer->GetNormals() : nullptr;
        const KgeTVector* normals = shapeNormals != nullptr && shapeNormals->GetDirectArray().Count() >= count
                                        ? shapeNormals->GetDirectArray().Data()
                                        : nullptr;
        KDuzLayerElementNormal* targetNormals = target->GetLayer(0) != nullptr ? target->GetLayer(0)->GetNormals() : nullptr;
        const bool copyNormals = normals != nullptr && targetNormals != nullptr &&
                                 targetNormals->GetMappingMode() == KDuzLayerElement::eByControlPoint &&
                                 targetNormals->GetDirectArray().Count() >= count;
        for (int k = 0; k < count; ++k) {
            target->GetControlPoints()[k] = shape->GetControlPoints()[k];
            if (copyNormals) targetNormals->GetDirectArray()[k] = normals[k];
        }
        mShapeGeometries.push_back({KString(targets.GetStringAt(i)), target});
    }
    return true;
}

}  // namespace duzsdk
