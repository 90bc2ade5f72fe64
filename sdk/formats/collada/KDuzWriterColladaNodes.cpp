// The node tree as "node" elements of the visual scene: transforms, the
// geometric pivot node and the instances of the node attributes.
#include <algorithm>
#include <cmath>
#include <unordered_set>
#include <vector>

#include "sdk/base/KgeMath.h"
#include "sdk/formats/collada/ColladaNodeFrame.h"
#include "sdk/formats/collada/ColladaXmlWrite.h"
#include "sdk/formats/collada/KDuzWriterCollada.h"
#include "sdk/geometry/KDuzCluster.h"
#include "sdk/geometry/KDuzDeformer.h"
#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzSkin.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNodeTransform.h"

namespace duzsdk {

namespace {

constexpr double kRadiansToDegrees = 57.29577951308232;

KgeTVector ToVector(const duzVectorTemplate3<double>& v) { return KgeTVector(v[0], v[1], v[2], 0.0); }

void AddTransform(xmlNode* element, const char* kind, const char* sid, const std::string& text) {
    xmlNode* child = ColladaNewChild(element, kind, text);
    if (sid != nullptr) ColladaSetAttribute(child, "sid", sid);
}

void AddTranslate(xmlNode* element, const char* sid, const KgeTVector& v, double sign = 1.0) {
    AddTransform(element, "translate", sid, ColladaTripleText(sign * v[0], sign * v[1], sign * v[2]));
}

const char* const kAxisPrefixes[] = {"1 0 0 ", "0 1 0 ", "0 0 1 "};

void AddRotate(xmlNode* element, const char* sid, int axis, double angle) {
    std::string text = kAxisPrefixes[axis];
    ColladaAppendDouble(text, angle);
    AddTransform(element, "rotate", sid, text);
}

int SkinClusterCount(KDuzObject* attribute) {
    auto* geometry = dynamic_cast<KDuzGeometry*>(attribute);
    if (geometry == nullptr) return 0;
    int total = 0;
    for (int i = 0; i < geometry->GetDeformerCount(); ++i) {
        auto* skin = static_cast<KDuzSkin*>(geometry->GetDeformerOfType(i, KDuzDeformer::eSkin));
        if (skin != nullptr) total += skin->GetClusterCount();
    }
    return total;
}

// The document order of the three local rotations by rotation order.
struct RotationOrderRow {
    int axes[3];
};
constexpr RotationOrderRow kRotationOrders[] = {
    {{2, 1, 0}},  // 0 Euler XYZ
    {{1, 2, 0}},  // 1 Euler XZY
    {{0, 2, 1}},  // 2 Euler YZX
    {{2, 0, 1}},  // 3 Euler YXZ
    {{1, 0, 2}},  // 4 Euler ZXY
    {{0, 1, 2}},  // 5 Euler ZYX
};

}  // namespace

namespace {

// The link node of every linked cluster of the geometry's skins.
std::vector<const KDuzNode*> SkinLinks(KDuzObject* attribute) {
    std::vector<const KDuzNode*> links;
    auto* geometry = dynamic_cast<KDuzGeometry*>(attribute);
    if (geometry == nullptr) return links;
    for (int d = 0; d < geometry->GetDeformerCount(); ++d) {
        auto* skin = static_cast<KDuzSkin*>(geometry->GetDeformerOfType(d, KDuzDeformer::eSkin));
        for (int c = 0; skin != nullptr && c < skin->GetClusterCount(); ++c) {
            KDuzCluster* cluster = skin->GetCluster(c);
            if (cluster != nullptr && cluster->GetLink() != nullptr) links.push_back(cluster->GetLink());
        }
    }
    return links;
}

}  // namespace

std::unordered_set<const KDuzNode*> ColladaSkinJointNodes(KDuzNode* root) {
    std::unordered_set<const KDuzNode*> joints;
    std::vector<KDuzNode*> pending{root};
    while (!pending.empty()) {
        KDuzNode* node = pending.back();
        pending.pop_back();
        for (int i = 0; i < node->GetChildCount(); ++i) pending.push_back(node->GetChild(i));
        for (const KDuzNode* link : SkinLinks(node->GetNodeAttribute())) joints.insert(link);
    }
    return joints;
}

std::vector<const KDuzNode*> ColladaSkeletonRoots(KDuzMesh* mesh, const std::unordered_set<const KDuzNode*>& joints) {
    // The top joint above each joint of the mesh, each once.
    std::vector<const KDuzNode*> roots;
    std::unordered_set<const KDuzNode*> seen;
    for (const KDuzNode* link : SkinLinks(mesh)) {
        const KDuzNode* top = link;
        while (top->GetParent() != nullptr && joints.count(top->GetParent()) != 0)
            top = top->GetParent();
        if (seen.insert(top).second) roots.push_back(top);
    }
    return roots;
}

xmlNode* KDuzWriterCollada::ExportNodeTree(xmlNode* parent, KDuzNode* node) {
    // Depth first in child order, with a stack of its own: a hierarchy may be
    // far deeper than the call stack.
    struct Pending {
        xmlNode* parent;
        KDuzNode* node;
    };
    std::vector<Pending> stack{{parent, node}};
    xmlNode* top = nullptr;
    while (!stack.empty()) {
        const Pending pending = stack.back();
        stack.pop_back();
        // What came before the new element is finished: written out.
        mVisualScenesPart.FlushBefore(pending.parent);
        xmlNode* element = ExportNode(pending.parent, pending.node);
        if (pending.node == node) top = element;
        if (element == nullptr) {
            NotifyError(KString("Could not export node ") + pending.node->GetNameString());
            continue;
        }
        for (int i = pending.node->GetChildCount() - 1; i >= 0; --i) stack.push_back({element, pending.node->GetChild(i)});
    }
    return top;
}

xmlNode* KDuzWriterCollada::ExportNode(xmlNode* parent, KDuzNode* node) {
    xmlNode* element = ColladaNewChild(parent, "node");
    if (element == nullptr) return nullptr;
    const KString name = node->GetNameString();
    ColladaSetAttribute(element, "id", name);
    ColladaSetAttribute(element, "name", name);
    if (mJointNodes.count(node) != 0) ColladaSetAttribute(element, "sid", name);
    mSuccess = ExportNodeTransforms(element, node);
    if (!mSuccess) return element;

    const KgeTVector translation = node->GetGeometricTranslation(0);
    const KgeTVector rotation = node->GetGeometricRotation(0);
    const KgeTVector scaling = node->GetGeometricScaling(0);
    xmlNode* target = element;
    if (ColladaVectorIsNonZero(translation) || ColladaVectorIsNonZero(rotation) ||
        ColladaVectorDiffersFrom(scaling, 1.0)) {
        target = ColladaNewChild(element, "node");
        ColladaSetAttribute(target, "id", name + "-Pivot");
        ColladaSetAttribute(target, "name", name + "-Pivot");
        AddTranslate(target, nullptr, translation);
        KgeQuaternion q = KgeQuaternion::FromEulerXYZ(rotation[0], rotation[1], rotation[2]);
        q.Normalize();
        const double w = std::fmax(-1.0, std::fmin(1.0, q[3]));
        const double angle = 2.0 * std::acos(w) * kRadiansToDegrees;
        const double length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2]);
        double axis[3] = {0.0, 0.0, 0.0};
        if (length > 1e-6)
            for (int i = 0; i < 3; ++i) axis[i] = static_cast<float>(q[i] / length);
        std::string text = ColladaTripleText(axis[0], axis[1], axis[2]);
        text += ' ';
        ColladaAppendDouble(text, angle);
        AddTransform(target, "rotate", nullptr, text);
        if (ColladaVectorDiffersFrom(scaling, 1.0)) AddTransform(target, "scale", nullptr,
                                                                 ColladaTripleText(scaling[0], scaling[1], scaling[2]));
    }
    mSuccess = ExportNodeAttribute(target, node);
    return element;
}

bool KDuzWriterCollada::ExportNodeTransforms(xmlNode* element, KDuzNode* node) {
    // A skinned mesh is written in world space, in its bind position.
    KDuzObject* attribute = node->GetNodeAttribute();
    if (KDuzNode::GetAttributeTypeOf(attribute) == KDuzNodeAttribute::eMesh && SkinClusterCount(attribute) > 0)
        return true;

    // A child of a turned camera or light node first undoes the turn, so it
    // lands where it is in our scene.
    const KgeMatrix fix = ColladaChildFrameFix(node->GetParent(), true, !mSingleMatrix);
    if (fix.IsNotEqual(KgeMatrix())) {
        xmlNode* matrix = ColladaNewChild(element, "matrix", ColladaMatrixToText(fix).Buffer());
        ColladaSetAttribute(matrix, "sid", kColladaParentTurnInverseSid);
    }

    // Cameras and lights: the document's frame is ours turned to its axes.
    const KgeMatrix turn = ColladaAttributeFrameTurn(attribute);
    if (mSingleMatrix) {
        KDuzNode* parent = node->GetParent();
        const KgeMatrix global = node->GetGlobalTransform();
        KgeMatrix local = parent != nullptr ? parent->GetGlobalTransform().InverseOrthogonal().MultiplyAffine(global)
                                            : KgeMatrix::FromAffine(global);
        local = local.MultiplyAffine(turn);
        if (local.IsNotEqual(KgeMatrix())) {
            xmlNode* matrix = ColladaNewChild(element, "matrix", ColladaMatrixToText(local).Buffer());
            ColladaSetAttribute(matrix, "sid", "matrix");
        }
        return true;
    }

    const KgeTVector translation = ToVector(node->GetLclTranslation());
    const KgeTVector rotation = ToVector(node->GetLclRotation());
    const KgeTVector scaling = ToVector(node->GetLclScaling());
    const KgeTVector rotationOffset = node->GetRotationOffset(0);
    const KgeTVector rotationPivot = node->GetRotationPivot(0);
    const KgeTVector scalingOffset = node->GetScalingOffset(0);
    const KgeTVector scalingPivot = node->GetScalingPivot(0);
    // As our evaluation does: pre- and post-rotation and the rotation order
    // count only while rotation is active.
    const bool prePost = node->GetRotationActive() && !node->GetRotationSpaceForLimitOnly(0);
    const KgeTVector pre = prePost ? node->GetPreRotation(0) : KgeTVector();
    const KgeTVector post = prePost ? node->GetPostRotation(0) : KgeTVector();

    if (ColladaVectorIsNonZero(translation) || ColladaHasTranslationKeys(node))
        AddTranslate(element, "translate", translation);
    if (ColladaVectorIsNonZero(rotationOffset)) AddTranslate(element, "rotatePivotTranslation", rotationOffset);
    if (ColladaVectorIsNonZero(rotationPivot)) AddTranslate(element, "rotatePivot", rotationPivot);
    static const char* const kJointOrient[] = {"jointOrientX", "jointOrientY", "jointOrientZ"};
    for (int axis = 2; axis >= 0; --axis)
        if (ColladaIsNonZero(pre[axis])) AddRotate(element, kJointOrient[axis], axis, pre[axis]);
    int order = 0;
    if (prePost) node->GetRotationOrder(0, order);
    if (order < 0 || order > 5) order = 0;
    static const char* const kRotate[] = {"rotateX", "rotateY", "rotateZ"};
    for (int axis : kRotationOrders[order].axes)
        if (ColladaIsNonZero(rotation[axis]) || ColladaHasRotationKeysOn(node, axis))
            AddRotate(element, kRotate[axis], axis, rotation[axis]);
    // Our node applies the inverse of its post-rotation, then the turn: the
    // document gets that product, as the inverse of an Euler XYZ rotation.
    const KgeMatrix postInverse =
        KgeMatrix::FromEulerXYZ(post[0], post[1], post[2]).InverseOrthogonal().MultiplyAffine(turn);
    const KgeTVector angles = postInverse.InverseOrthogonal().GetEulerXYZ();
    for (int axis = 0; axis < 3; ++axis)
        if (ColladaIsNonZero(angles[axis]))
            AddRotate(element, kColladaPostRotationInverseSids[axis], axis, -angles[axis]);
    if (ColladaVectorIsNonZero(rotationPivot)) AddTranslate(element, "rotatePivotInverse", rotationPivot, -1.0);
    if (ColladaVectorIsNonZero(scalingOffset)) AddTranslate(element, "scalePivotTranslation", scalingOffset);
    if (ColladaVectorIsNonZero(scalingPivot)) AddTranslate(element, "scalePivot", scalingPivot);
    if (ColladaVectorDiffersFrom(scaling, 1.0) || ColladaHasScalingKeys(node))
        AddTransform(element, "scale", "scale", ColladaTripleText(scaling[0], scaling[1], scaling[2]));
    if (ColladaVectorIsNonZero(scalingPivot)) AddTranslate(element, "scalePivotInverse", scalingPivot, -1.0);
    return true;
}

bool KDuzWriterCollada::ExportNodeAttribute(xmlNode* element, KDuzNode* node) {
    KDuzObject* attribute = node->GetNodeAttribute();
    if (attribute == nullptr) return true;
    const KString name = node->GetNameString();
    const KString loses = KString("Node ") + name + " will lose its geometric information." +
                          " The node transforms will be saved.";
    switch (KDuzNode::GetAttributeTypeOf(attribute)) {
        case KDuzNodeAttribute::eNull: NotifyWarning(KString("Null not supported by COLLADA. ") + loses); return true;
        case KDuzNodeAttribute::eMarker:
            NotifyWarning(KString("Marker not supported by COLLADA. ") + loses);
            return true;
        case KDuzNodeAttribute::eCameraSwitcher:
            NotifyWarning(KString("Camera switcher not supported by COLLADA. ") + loses);
            return true;
        case KDuzNodeAttribute::eLight: {
            xmlNode* light = AddLightToLibrary(node);
            if (light == nullptr) return false;
            xmlNode* instance = ColladaNewChild(element, "instance_light");
            ColladaSetAttribute(instance, "url", KString("#") + name + "-lib");
            return true;
        }
        case KDuzNodeAttribute::eCamera: {
            xmlNode* camera = AddCameraToLibrary(node);
            if (camera == nullptr) return false;
            xmlNode* instance = ColladaNewChild(element, "instance_camera");
            ColladaSetAttribute(instance, "url", KString("#") + name + "-lib");
            return true;
        }
        case KDuzNodeAttribute::eSkeleton: ColladaSetAttribute(element, "type", "JOINT"); return true;
        case KDuzNodeAttribute::eMesh: return ExportGeometryInstance(element, node, mTriangulate);
        case KDuzNodeAttribute::eNurb:
        case KDuzNodeAttribute::ePatch:
            NotifyWarning(KString("Nurbs and Patches not supported by COLLADA. ") + "Node " + name +
                          " will be triangulated.");
            return ExportGeometryInstance(element, node, false);
        default: NotifyWarning(KString("Warning: Unknown geometry. ") + loses); return true;
    }
}

bool KDuzWriterCollada::ExportGeometryInstance(xmlNode* element, KDuzNode* node, bool triangulate) {
    // Triangles, and patches and NURBS as meshes, are made beside the
    // caller's scene: its meshes, and the nodes that share them, stay.
    KDuzMesh* mesh = mMeshes.MeshFor(node, triangulate);
    xmlNode* geometry = ExportGeometry(node, mesh);
    if (geometry == nullptr) return false;
    const KString name = node->GetNameString();
    const int clusters = SkinClusterCount(mesh);
    xmlNode* instance = nullptr;
    if (clusters > 0 || (mesh != nullptr && mesh->GetShapeCount() > 0)) {
        instance = ColladaNewChild(element, "instance_controller");
        ColladaSetAttribute(instance, "url", KString("#") + name + (clusters > 0 ? "Controller" : "-lib-morph"));
    } else {
        instance = ColladaNewChild(element, "instance_geometry");
        ColladaSetAttribute(instance, "url", KString("#") + name + "-lib");
    }
    // Joints are named by sid: the skeleton roots say where to find them.
    if (clusters > 0)
        for (const KDuzNode* root : ColladaSkeletonRoots(mesh, mJointNodes))
            ColladaNewChild(instance, "skeleton", (KString("#") + root->GetNameString()).Buffer());
    // Bound: the material symbols of the groups just written, each a
    // material of the document.
    if (mLastMeshSymbols.empty()) return true;
    xmlNode* common = ColladaNewChild(ColladaNewChild(instance, "bind_material"), "technique_common");
    // The layers that hold texture coordinates are the sets of the mesh's
    // TEXCOORD inputs.
    std::vector<int> uvLayers;
    for (int l = 0; mesh != nullptr && l < mesh->GetLayerCount(); ++l) {
        const KDuzLayerElementUV* uvs = mesh->GetLayer(l)->GetUVsOfType(eLayerElementDiffuseTextures);
        if (uvs != nullptr && uvs->GetDirectArray().Count() > 0) uvLayers.push_back(l);
    }
    for (const KString& symbol : mLastMeshSymbols) {
        xmlNode* material = ColladaNewChild(common, "instance_material");
        ColladaSetAttribute(material, "symbol", symbol);
        ColladaSetAttribute(material, "target", KString("#") + symbol);
        // Each texture names its coordinates "CHANNEL" + layer: bound to the
        // set of that layer, or of the first layer with coordinates.
        const auto layers = mMaterialTextureLayers.find(std::string(symbol.Buffer()));
        if (layers == mMaterialTextureLayers.end() || uvLayers.empty()) continue;
        for (const int layer : layers->second) {
            const bool own = std::find(uvLayers.begin(), uvLayers.end(), layer) != uvLayers.end();
            xmlNode* bind = ColladaNewChild(material, "bind_vertex_input");
            ColladaSetAttribute(bind, "semantic", KString("CHANNEL") + ColladaIntText(layer));
            ColladaSetAttribute(bind, "input_semantic", "TEXCOORD");
            ColladaSetAttribute(bind, "input_set", ColladaIntText(own ? layer : uvLayers.front()));
        }
    }
    return true;
}

}  // namespace duzsdk
