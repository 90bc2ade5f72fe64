// Controller library: skins (clusters, joint bind matrices, bind pose) and
// morphs (target geometries and weights), kept until nodes instance them.
#include <cmath>
#include <unordered_map>

#include "sdk/formats/collada/KDuzReaderCollada.h"
#include "sdk/geometry/KDuzCluster.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzPose.h"

namespace duzsdk {

namespace {

// 16 numbers into the matrix (text row i to stored column i); numbers that
// are missing leave the matrix's values.
void ScanMatrixKeepMissing(const char* cursor, KgeMatrix& matrix) {
    double* data = matrix.Data();
    for (int k = 0; k < 16 && cursor != nullptr && *cursor != '\0'; ++k)
        data[(k % 4) * 4 + k / 4] = ColladaScanNumber(cursor);
}

xmlNode* SourceOf(const xmlNode* parent, const KString& attribute) {
    return ColladaFindChildById(parent, attribute.MidToEnd(1));
}

}  // namespace

bool KDuzReaderCollada::ReadController(xmlNode* controllerElement) {
    auto record = std::make_unique<ColladaController>();
    record->id = ColladaGetAttribute(controllerElement, "id");
    bool skinRead = false;
    bool morphRead = false;
    for (xmlNode* child = controllerElement->children; child != nullptr; child = child->next) {
        if (child->type != XML_ELEMENT_NODE) continue;
        if (ColladaIsElement(child, "skin")) {
            if (skinRead) {
                NotifyError(KString("more than one skin defined for library ") + record->id);
                return false;
            }
            skinRead = true;
            record->source = ColladaGetAttribute(child, "source");
            KgeMatrix bind;
            if (xmlNode* bindElement = ColladaFindChildByName(child, "bind_shape_matrix")) {
                const KString text = ColladaGetContent(bindElement);
                ScanMatrixKeepMissing(text.Buffer(), bind);
            }
            record->bindShapeMatrix = KgeMatrix::FromAffine(bind);
            mSuccess = ReadVertexWeights(child, *record);
            if (!mSuccess) return false;
            mSuccess = ReadSkinJoints(child, *record);
            if (!mSuccess) return false;
            for (KDuzCluster* cluster : record->clusters) cluster->SetTransformMatrix(record->bindShapeMatrix);
        } else if (ColladaIsElement(child, "morph")) {
            if (morphRead) {
                NotifyError(KString("more than one morph defined for library ") + record->id);
                return false;
            }
            morphRead = true;
            const KString method = ColladaGetAttribute(child, "method");
            if (method != "RELATIVE")
                NotifyWarning(KString("Morph ") + record->id + " has method " + method + ", which is not supported." +
                              " Morph will be read as RELATIVE.");
            record->source = ColladaGetAttribute(child, "source");
            mSuccess = ReadMorphTargets(child, *record);
            if (!mSuccess) return false;
        } else {
            NotifyWarning(KString("unknown structure in controller: <") + ColladaElementName(child) + ">");
        }
    }
    if (record->source.IsEmpty()) {
        NotifyError(KString("Controller is missing a source"));
        return false;
    }
    if (skinRead) {
        KDuzPose* pose = KDuzPose::Create(mManager, record->id.Buffer());
        if (pose != nullptr) {
            pose->SetIsBindPose(true);
            for (KDuzCluster* cluster : record->clusters) {
                KDuzNode* link = cluster->GetLink();
                if (link != nullptr) pose->Add(link, link->GetGlobalTransform(), false);
            }
        }
        record->bindPose = pose;
    }
    mControllerOrder.push_back(record.get());
    const std::string key(record->id.Buffer());
    if (mControllers.find(key) == mControllers.end()) mControllers.emplace(key, std::move(record));
    else mControllerOrder.pop_back();
    return true;
}

bool KDuzReaderCollada::ReadVertexWeights(xmlNode* skin, ColladaController& record) {
    xmlNode* weightsElement = ColladaFindChildByName(skin, "vertex_weights");
    if (weightsElement == nullptr) {
        NotifyError(KString("<") + "vertex_weights" + "> node not found in controller\n");
        return false;
    }
    ColladaNodeArray inputs;
    ColladaFindChildrenByName(weightsElement, "input", inputs);
    const int stride = static_cast<int>(inputs.size());
    int jointOffset = stride;
    int weightOffset = stride;
    ColladaNameArray jointNames;
    ColladaDoubleArray weights;
    for (xmlNode* input : inputs) {
        const KString semantic = ColladaGetAttribute(input, "semantic");
        const KString source = ColladaGetAttribute(input, "source");
        if (semantic == "JOINT") {
            jointNames.clear();
            if (!ColladaReadNameSource(SourceOf(skin, source), jointNames)) {
                NotifyError(KString("reading array in <source>: ") + source);
                return false;
            }
            jointOffset = ColladaGetOffset(input);
        } else if (semantic == "WEIGHT") {
            weights.Clear();
            if (!ColladaReadFloatSource(SourceOf(skin, source), weights)) {
                NotifyError(KString("reading array in <source>: ") + source);
                return false;
            }
            weightOffset = ColladaGetOffset(input);
        } else {
            NotifyError(semantic + " not supported in <input>");
            return false;
        }
    }
    if (jointOffset < 0 || jointOffset >= stride || weightOffset < 0 || weightOffset >= stride) {
        NotifyError(KString("Controller: could not find ") + "JOINT" + " or " + "WEIGHT");
        return false;
    }
    ColladaIntArray vcount;
    ColladaIntArray v;
    {
        const KString text = ColladaGetContent(ColladaFindChildByName(weightsElement, "vcount"));
        ColladaScanIntArray(text.Buffer(), vcount);
    }
    {
        const KString text = ColladaGetContent(ColladaFindChildByName(weightsElement, "v"));
        ColladaScanIntArray(text.Buffer(), v);
    }
    if (weights.Count() == 0 || jointNames.empty()) {
        NotifyError(KString("Unable to find weight or jointIds for controller"));
        return false;
    }
    // Influences go straight to their joint's list, in influence order.
    const int jointCount = static_cast<int>(jointNames.size());
    std::vector<std::vector<std::pair<int, double>>> perJoint(static_cast<size_t>(jointCount));
    long long p = 0;
    for (int i = 0; i < vcount.Count(); ++i) {
        if (vcount[i] < 0) {
            NotifyError(KString("negative <vcount> in controller ") + record.id);
            return false;
        }
        for (int k = 0; k < vcount[i]; ++k, p += stride) {
            if (p + stride > v.Count()) {
                NotifyError(KString("<v> is shorter than <vcount> requires in controller ") + record.id);
                return false;
            }
            const int joint = v[static_cast<int>(p) + jointOffset];
            const int weight = v[static_cast<int>(p) + weightOffset];
            if (weight < 0 || weight >= weights.Count()) {
                NotifyError(KString("weight index out of range in controller ") + record.id + ": " + KString(weight));
                return false;
            }
            // -1 is the bind shape itself; other indices without a joint are dropped.
            if (joint < 0 || joint >= jointCount) continue;
            perJoint[static_cast<size_t>(joint)].emplace_back(i, weights[weight]);
        }
    }
    for (int j = 0; j < jointCount; ++j) {
        KDuzCluster* cluster = KDuzCluster::Create(mManager, "");
        if (cluster == nullptr) return false;
        cluster->SetLinkMode(0);
        for (const auto& [point, weight] : perJoint[static_cast<size_t>(j)]) cluster->AddControlPointIndex(point, weight);
        record.clusters.push_back(cluster);
        record.clusterJointNames.push_back(jointNames[static_cast<size_t>(j)]);
    }
    return true;
}

bool KDuzReaderCollada::ReadSkinJoints(xmlNode* skin, ColladaController& record) {
    xmlNode* joints = ColladaFindChildByName(skin, "joints");
    if (joints == nullptr) {
        NotifyError(KString("<") + "joints" + "> node not found in controller\n");
        return false;
    }
    ColladaNameArray names;
    ColladaMatrixArray matrices;
    ColladaNodeArray inputs;
    ColladaFindChildrenByName(joints, "input", inputs);
    for (xmlNode* input : inputs) {
        const KString semantic = ColladaGetAttribute(input, "semantic");
        const KString source = ColladaGetAttribute(input, "source");
        if (semantic == "JOINT") {
            names.clear();
            if (!ColladaReadNameSource(SourceOf(skin, source), names)) {
                NotifyError(KString("reading array in <source>: ") + source);
                return false;
            }
        } else if (semantic == "INV_BIND_MATRIX") {
            matrices.Clear();
            if (!ColladaReadMatrixSource(SourceOf(skin, source), matrices)) {
                NotifyError(KString("reading array in <source>: ") + source);
                return false;
            }
        } else {
            NotifyError(semantic + " not supported in <input>");
            return false;
        }
    }
    const int links = static_cast<int>(record.clusters.size());
    const int jointCount = static_cast<int>(names.size());
    const int matrixCount = matrices.Count();
    if (matrixCount == 0 || jointCount == 0) {
        NotifyError(KString("Unable to find weight or bind matrices for controller"));
        return false;
    }
    if (jointCount != matrixCount) {
        NotifyError(KString("in controller, number of joints ") + KString(jointCount) +
                    " is different than number of bind pose matrices " + KString(matrixCount));
        return false;
    }
    if (links != matrixCount) {
        NotifyError(KString("in controller, number of links ") + KString(links) +
                    " is different than number of bind pose matrices " + KString(matrixCount));
        return false;
    }
    // Clusters follow the joint names of vertex_weights; their matrices are
    // found by name among the joints, so differing orders still pair right.
    std::unordered_map<std::string, int> jointIndex;
    for (int i = 0; i < jointCount; ++i) jointIndex.emplace(names[static_cast<size_t>(i)].Buffer(), i);
    bool reordered = false;
    for (int i = 0; i < links; ++i) {
        const KString& name = record.clusterJointNames[static_cast<size_t>(i)];
        const auto found = jointIndex.find(name.Buffer());
        int j = i;
        if (found == jointIndex.end()) {
            NotifyWarning(KString("joint ") + name + " of controller " + record.id +
                          " has no bind matrix by name; paired by position.");
        } else {
            j = found->second;
            if (j != i) reordered = true;
        }
        const KgeMatrix inverse = KgeMatrix::FromAffine(matrices[j]).InverseOrthogonal();
        KDuzCluster* cluster = record.clusters[static_cast<size_t>(i)];
        cluster->SetTransformLinkMatrix(inverse);
        KDuzNode* link = KDuzNode::Create(mManager, names[static_cast<size_t>(j)].Buffer());
        if (link == nullptr) return false;
        ColladaSetNodeTransformFromMatrix(link, inverse);
        cluster->SetLink(link);
        mCreatedClusters.push_back(cluster);
    }
    if (reordered)
        NotifyWarning(KString("joints of controller ") + record.id +
                      " are listed in different orders; they were paired by name.");
    return true;
}

bool KDuzReaderCollada::ReadMorphTargets(xmlNode* morph, ColladaController& record) {
    xmlNode* targets = ColladaFindChildByName(morph, "targets");
    if (targets == nullptr) {
        NotifyError(KString("<") + "targets" + "> node not found in controller\n");
        return false;
    }
    ColladaNameArray ids;
    ColladaDoubleArray weights;
    ColladaNodeArray inputs;
    ColladaFindChildrenByName(targets, "input", inputs);
    for (xmlNode* input : inputs) {
        const KString semantic = ColladaGetAttribute(input, "semantic");
        const KString source = ColladaGetAttribute(input, "source");
        if (semantic == "MORPH_TARGET") {
            ids.clear();
            if (!ColladaReadNameSource(SourceOf(morph, source), ids)) {
                NotifyError(KString("reading array in <source>: ") + source);
                return false;
            }
        } else if (semantic == "MORPH_WEIGHT") {
            weights.Clear();
            if (!ColladaReadFloatSource(SourceOf(morph, source), weights)) {
                NotifyError(KString("reading array in <source>: ") + source);
                return false;
            }
            record.weightSourceId = source.MidToEnd(1);
        } else {
            NotifyError(semantic + " not supported in <input>");
            return false;
        }
    }
    if (ids.empty() || weights.Count() == 0) {
        NotifyError(KString("Unable to find weight or bind matrices for controller"));
        return false;
    }
    if (static_cast<int>(ids.size()) != weights.Count()) {
        NotifyError(KString("in controller, number of targets ") + KString(static_cast<int>(ids.size())) +
                    " is different than number of weights " + KString(weights.Count()));
        return false;
    }
    record.morphTargetIds.assign(ids.begin(), ids.end());
    record.morphWeights.assign(weights.begin(), weights.end());
    return true;
}

void KDuzReaderCollada::ReadRotate(xmlNode* rotate, int& axis, KgeTVector& euler) {
    const KString text = ColladaGetContent(rotate);
    const char* cursor = text.Buffer();
    double x = ColladaScanNumber(cursor);
    double y = ColladaScanNumber(cursor);
    double z = ColladaScanNumber(cursor);
    const double angle = ColladaScanNumber(cursor);
    // The axis is normalised: a longer axis must not scale the angle. A zero
    // axis turns nothing.
    const double length = std::sqrt(x * x + y * y + z * z);
    if (!(length > 0.0) || !std::isfinite(length)) return;
    x /= length;
    y /= length;
    z /= length;
    const KgeTVector unit(x, y, z, 0.0);
    const KgeTVector axes[3] = {KgeTVector(1, 0, 0, 0), KgeTVector(0, 1, 0, 0), KgeTVector(0, 0, 1, 0)};
    for (int a = 0; a < 3; ++a) {
        if (std::fabs(unit[0] - axes[a][0]) <= 1e-6 && std::fabs(unit[1] - axes[a][1]) <= 1e-6 &&
            std::fabs(unit[2] - axes[a][2]) <= 1e-6) {
            axis = a;
            euler[a] = angle;
            return;
        }
    }
    const double half = angle * 0.5 * 0.017453292519943295;
    const double s = std::sin(half);
    KgeMatrix matrix;
    matrix.SetQuaternionKeepTS(KgeQuaternion(x * s, y * s, z * s, std::cos(half)));
    const KgeTVector angles = matrix.GetEulerXYZ();
    euler[0] = angles[0];
    euler[1] = angles[1];
    euler[2] = angles[2];
}

}  // namespace duzsdk
