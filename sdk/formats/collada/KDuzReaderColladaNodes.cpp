// Visual scenes: node trees with their transforms, instances, bound
// materials and joints.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "sdk/formats/collada/ColladaNodeFrame.h"
#include "sdk/formats/collada/KDuzReaderCollada.h"
#include "sdk/geometry/KDuzCluster.h"
#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/scene/KDuzCamera.h"
#include "sdk/scene/KDuzLight.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNull.h"
#include "sdk/scene/KDuzPose.h"
#include "sdk/scene/KDuzScene.h"
#include "sdk/scene/KDuzSkeleton.h"

namespace duzsdk {

namespace {

enum AttributeType {
    kNull = 1, kMarker = 2, kSkeleton = 3, kMesh = 4, kNurb = 5, kPatch = 6,
    kCamera = 7, kCameraSwitcher = 8, kLight = 9
};

duzVectorTemplate3<double> Vec3(const KgeTVector& v) { return duzVectorTemplate3<double>(v[0], v[1], v[2]); }

KgeTVector Normalised(const KgeTVector& v) {
    const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (!(length > 0.0) || !std::isfinite(length)) return KgeTVector(v[0], v[1], v[2], 0.0);
    return KgeTVector(v[0] / length, v[1] / length, v[2] / length, 0.0);
}

KgeTVector Cross(const KgeTVector& a, const KgeTVector& b) {
    return KgeTVector(a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0], 0.0);
}

KgeTVector ScanVector(xmlNode* element) {
    const KString text = ColladaGetContent(element);
    const char* cursor = text.Buffer();
    const double x = ColladaScanNumber(cursor);
    const double y = ColladaScanNumber(cursor);
    const double z = ColladaScanNumber(cursor);
    return KgeTVector(x, y, z, 0.0);
}

// Our post-rotation turns the document's frame to the attribute's own axes;
// the turn joins whatever post-rotation the node's transforms gave it.
void TurnToAttributeFrame(KDuzNode* node, KDuzObject* attribute) {
    const KgeMatrix turn = ColladaAttributeFrameTurn(attribute);
    if (!turn.IsNotEqual(KgeMatrix())) return;
    const KgeTVector post = node->GetPostRotation(0);
    const KgeMatrix current = KgeMatrix::FromEulerXYZ(post[0], post[1], post[2]);
    const KgeTVector angles = turn.MultiplyAffine(current).GetEulerXYZ();
    // No negative zeros: they would print as such.
    node->SetPostRotation(0, KgeTVector(angles[0] + 0.0, angles[1] + 0.0, angles[2] + 0.0, 0.0));
    node->SetRotationActive(true);
}

// A node is named by its id, or by its name when it has none.
KString ColladaNodeName(const xmlNode* element) {
    const KString id = ColladaGetAttribute(element, "id");
    return id.IsEmpty() ? ColladaGetAttribute(element, "name") : id;
}

KgeMatrix ColladaRotateMatrix(xmlNode* rotate) {
    const KString text = ColladaGetContent(rotate);
    const char* cursor = text.Buffer();
    double v[4];
    for (double& value : v) value = ColladaScanNumber(cursor);
    return ColladaAxisRotation(v[0], v[1], v[2], v[3]);
}

bool IsInstance(const xmlNode* child) {
    return ColladaIsElement(child, "instance") || ColladaIsElement(child, "instance_geometry") ||
           ColladaIsElement(child, "instance_camera") || ColladaIsElement(child, "instance_light") ||
           ColladaIsElement(child, "instance_controller");
}

}  // namespace

void ColladaForEachElement(xmlNode* root, const std::function<void(xmlNode*)>& visit) {
    std::vector<xmlNode*> pending{root};
    while (!pending.empty()) {
        xmlNode* element = pending.back();
        pending.pop_back();
        if (element == nullptr) continue;
        visit(element);
        for (xmlNode* child = element->children; child != nullptr; child = child->next)
            if (child->type == XML_ELEMENT_NODE) pending.push_back(child);
    }
}

bool ColladaReadLookAt(const xmlNode* node, KgeTVector& eye, KgeTVector& interest, KgeTVector& up,
                       KgeMatrix& matrix) {
    xmlNode* lookat = ColladaFindChildByName(node, "lookat");
    if (lookat == nullptr) return false;
    const KString text = ColladaGetContent(lookat);
    const char* cursor = text.Buffer();
    double v[9];
    for (double& value : v) value = ColladaScanNumber(cursor);
    eye = KgeTVector(v[0], v[1], v[2], 0.0);
    interest = KgeTVector(v[3], v[4], v[5], 0.0);
    up = Normalised(KgeTVector(v[6], v[7], v[8], 0.0));
    const KgeTVector z = Normalised(KgeTVector(v[0] - v[3], v[1] - v[4], v[2] - v[5], 0.0));
    const KgeTVector x = Normalised(Cross(up, z));
    // The up row is made orthogonal to the view so the rotation stays a rotation.
    const KgeTVector y = Cross(z, x);
    double* m = matrix.Data();
    for (int c = 0; c < 3; ++c) {
        m[c] = x[c];
        m[4 + c] = y[c];
        m[8 + c] = z[c];
    }
    return true;
}

bool KDuzReaderCollada::ReadVisualScene(xmlNode* visualScene) {
    const KString id = ColladaGetAttribute(visualScene, "id");
    KDuzScene* scene = KDuzScene::Create(mManager, "");
    if (scene == nullptr) return false;
    for (xmlNode* child = visualScene->children; child != nullptr; child = child->next) {
        if (child->type != XML_ELEMENT_NODE) continue;
        const KString name(ColladaElementName(child));
        if (name == "node") {
            const KString nodeName = ColladaGetAttribute(child, "name");
            const KString nodeId = ColladaNodeName(child);
            if (!CheckCameraName(nodeId)) continue;
            KDuzNode* node = KDuzNode::Create(mManager, nodeId.Buffer());
            if (node == nullptr) return false;
            node->SetPivotState(0, 1);
            node->SetPivotState(1, 1);
            mSuccess = ReadNode(child, node, nodeId, 1);
            if (!mSuccess) return false;
            KDuzNode* root = scene->GetRootNode();
            if (root == nullptr || !root->AddChild(node)) {
                NotifyError(KString("could not add node ") + nodeName + "\nError: " +
                            (root != nullptr ? root->GetLastErrorString() : ""));
                return false;
            }
        } else if (name == "extra") {
            NotifyWarning(KString("Extra node is not supported in node ") + ColladaElementName(visualScene));
        } else if (name == "boundingbox") {
            if (WarnOnce(name)) NotifyWarning(KString("Bounding boxes are not supported"));
        } else {
            // asset, evaluate_scene and extensions: not ours to read.
            NotifyWarning(KString("structure ") + name + " is not read");
        }
    }
    for (KDuzPose* pose : mPoses) scene->ConnectObject(pose);
    mVisualScenes.emplace(id.Buffer(), scene);
    return true;
}

bool KDuzReaderCollada::ReadNode(xmlNode* element, KDuzNode* node, const KString& id, int depth, KDuzNode* parent) {
    if (depth > kMaxNodeDepth) {
        NotifyError(KString("nodes nested too deeply at node ") + id);
        return false;
    }
    // Instances of instances could multiply without end: the nodes they
    // make are bounded.
    if (!mExpanding.empty() && ++mInstancedNodes > kMaxInstancedNodes) {
        NotifyError(KString("too many nodes made by instance_node"));
        return false;
    }
    if (!ReadNodeTransforms(element, node, parent)) return false;
    const KString type = ColladaGetAttribute(element, "type");
    const KString sid = ColladaGetAttribute(element, "sid");
    if (!sid.IsEmpty()) mNodeSids.emplace(node->GetName(), sid);
    // Children join once the node has its attribute, the order a copy of the
    // node has them in: a tree taken whole then lands in the scene as a copy
    // would.
    std::vector<KDuzNode*> children;
    for (xmlNode* child = element->children; child != nullptr; child = child->next) {
        if (child->type != XML_ELEMENT_NODE) continue;
        const KString name(ColladaElementName(child));
        if (name == "boundingbox") {
            if (WarnOnce(name)) NotifyWarning(KString("Bounding boxes are not supported"));
        } else if (IsInstance(child)) {
            if (node->GetNodeAttribute() == nullptr) {
                if (!ReadInstance(element, child, node)) return false;
                continue;
            }
            // A node holds one attribute: each further instance gets a
            // child node of its own, where the node is.
            KDuzNode* holder = KDuzNode::Create(mManager, (KString(node->GetName()) + "-instance").Buffer());
            if (holder == nullptr) return false;
            if (!ReadInstance(child, child, holder)) return false;
            children.push_back(holder);
        } else if (name == "instance_node") {
            if (!ReadInstanceNode(child, node, depth, children)) return false;
        } else if (name == "node") {
            const KString childId = ColladaNodeName(child);
            if (!CheckCameraName(childId)) continue;
            KDuzNode* childNode = KDuzNode::Create(mManager, childId.Buffer());
            if (childNode == nullptr) return false;
            mSuccess = ReadNode(child, childNode, childId, depth + 1, node);
            if (!mSuccess) return false;
            children.push_back(childNode);
        } else if (name == "lookat" || name == "matrix" || name == "rotate" || name == "scale" ||
                   name == "skew" || name == "translate" || name == "extra" || name == "perspective") {
            // Read by the transform pass.
        } else {
            // asset and extensions: not ours to read.
            NotifyWarning(KString("structure ") + name + " is not read");
        }
    }
    bool made = true;
    if (node->GetNodeAttribute() == nullptr) {
        if (type == "JOINT") {
            made = MakeJoint(node, id);
        } else {
            KDuzNull* null = KDuzNull::Create(mManager, "");
            if (null != nullptr) node->SetNodeAttribute(null);
        }
    }
    for (KDuzNode* child : children) node->AddChild(child);
    return made;
}

bool KDuzReaderCollada::ReadInstanceNode(xmlNode* instance, KDuzNode* parent, int depth,
                                         std::vector<KDuzNode*>& children) {
    if (mNodeElements.empty()) {
        // Every node of the document by id, for the instances to follow.
        ColladaForEachElement(xmlDocGetRootElement(mDocument), [&](xmlNode* element) {
            if (!ColladaIsElement(element, "node")) return;
            const KString id = ColladaGetAttribute(element, "id");
            if (!id.IsEmpty()) mNodeElements.emplace(id.Buffer(), element);
        });
    }
    const ColladaUrl url = ColladaGetUrl(instance);
    const auto found = mNodeElements.find(url.id.Buffer());
    if (found == mNodeElements.end()) {
        NotifyWarning(KString("node not found for instance_node: ") + url.url);
        return true;
    }
    xmlNode* target = found->second;
    if (std::find(mExpanding.begin(), mExpanding.end(), target) != mExpanding.end()) {
        NotifyWarning(KString("instance_node instances itself: ") + url.url);
        return true;
    }
    const KString name = ColladaNodeName(target);
    if (!CheckCameraName(name)) return true;
    KDuzNode* node = KDuzNode::Create(mManager, name.Buffer());
    if (node == nullptr) return false;
    mExpanding.push_back(target);
    mSuccess = ReadNode(target, node, name, depth + 1, parent);
    mExpanding.pop_back();
    if (!mSuccess) return false;
    children.push_back(node);
    return true;
}

bool KDuzReaderCollada::ReadInstance(xmlNode* element, xmlNode* instance, KDuzNode* node) {
    const ColladaUrl url = ColladaGetUrl(instance);
    const auto attribute = mNodeAttributes.find(url.id.Buffer());
    if (attribute != mNodeAttributes.end()) {
        if (attribute->second != nullptr) ReadInstanceAttribute(element, node, attribute->second);
    } else {
        const auto found = mControllers.find(url.id.Buffer());
        if (found == mControllers.end()) {
            NotifyError(KString("Library not found: ") + url.url);
            return false;
        }
        const ColladaController& controller = *found->second;
        const auto geometry = mNodeAttributes.find(controller.source.MidToEnd(1).Buffer());
        if (geometry == mNodeAttributes.end() || geometry->second == nullptr) {
            NotifyError(KString("Library not found for controller target: ") + controller.source);
            return false;
        }
        ReadInstanceAttribute(element, node, geometry->second);
        std::vector<KString>& roots = mSkeletonRoots[node->GetName()];
        for (xmlNode* skeleton = instance->children; skeleton != nullptr; skeleton = skeleton->next)
            if (ColladaIsElement(skeleton, "skeleton")) roots.push_back(ColladaGetContent(skeleton).MidToEnd(1));
        auto* mesh = dynamic_cast<KDuzMesh*>(node->GetNodeAttribute());
        if (mesh != nullptr && !controller.clusters.empty()) {
            for (KDuzCluster* from : controller.clusters) {
                KDuzCluster* cluster = KDuzCluster::Create(mManager, "");
                if (cluster == nullptr) continue;
                mCreatedClusters.push_back(cluster);
                ColladaCopyCluster(cluster, from);
                mesh->AddClusterToSkin(cluster);
            }
            KDuzPose* pose = KDuzPose::Create(mManager, controller.id.Buffer());
            if (pose != nullptr) {
                pose->SetIsBindPose(true);
                if (controller.bindPose != nullptr) ColladaCopyPoseEntries(pose, controller.bindPose);
                pose->Add(node, controller.bindShapeMatrix, false);
                mPoses.push_back(pose);
            }
        }
        if (mesh != nullptr && !controller.morphTargetIds.empty())
            mSuccess = BuildMorphShapes(mesh, KString(node->GetName()), controller);
    }
    return BindMaterials(instance, node);
}

bool KDuzReaderCollada::BindMaterials(xmlNode* instance, KDuzNode* node) {
    for (xmlNode* bind = instance->children; bind != nullptr; bind = bind->next) {
        if (!ColladaIsElement(bind, "bind_material")) continue;
        xmlNode* common = ColladaFindTechniqueCommon(bind);
        if (common == nullptr) {
            NotifyError(KString("no <technique_common> node found for bind_material node "));
            return false;
        }
        ColladaNodeArray materials;
        ColladaFindChildrenByName(common, "instance_material", materials);
        auto* geometry = dynamic_cast<KDuzLayerContainer*>(node->GetNodeAttribute());
        for (xmlNode* instanceMaterial : materials) {
            const KString symbol = ColladaGetAttribute(instanceMaterial, "symbol");
            const KString target = ColladaGetAttribute(instanceMaterial, "target");
            const int index = geometry != nullptr ? geometry->GetMaterialIndex(symbol.Buffer()) : -1;
            if (index < 0) {
                NotifyWarning(KString("material of symbol ") + symbol + " not found for node " + node->GetName());
                continue;
            }
            const KString targetId = target.MidToEnd(1);
            const auto material = mMaterials.find(targetId.Buffer());
            if (material == mMaterials.end()) {
                NotifyError(KString("Library not found: ") + targetId);
                return false;
            }
            KDuzLayer* layer = geometry->GetLayer(0);
            KDuzLayerElementMaterial* element = layer != nullptr ? layer->GetMaterials() : nullptr;
            if (element == nullptr || index >= element->GetDirectArray().Count()) continue;
            element->SetReferenceMode(KDuzLayerElement::eIndexToDirect);
            auto& direct = element->GetDirectArray();
            mReplacedMaterials.insert(direct[index]);
            direct.RemoveAt(index);
            direct.InsertAt(index, material->second);
            // Textures are bound to material ids; a symbol named otherwise got
            // none while the geometry was read, so they are bound here.
            const auto bindings = mTextureBindings.find(targetId.Buffer());
            auto* mesh = dynamic_cast<KDuzMesh*>(geometry);
            if (symbol != targetId && bindings != mTextureBindings.end() && mesh != nullptr)
                BindMaterialTextures(mesh, index, symbol, bindings->second);
        }
    }
    return true;
}

void KDuzReaderCollada::BindMaterialTextures(KDuzMesh* mesh, int materialIndex, const KString& symbol,
                                             const std::vector<ColladaTextureBinding>& bindings) {
    const KDuzLayerElementMaterial* materials = mesh->GetLayer(0)->GetMaterials();
    const int polygons = mesh->GetPolygonCount();
    for (const ColladaTextureBinding& binding : bindings) {
        // A set the mesh has no layer for leaves the texture on the first.
        KDuzLayer* layer = mesh->GetLayer(TexcoordLayer(symbol, binding.texcoord));
        if (layer == nullptr) layer = mesh->GetLayer(0);
        if (layer == nullptr || binding.texture == nullptr) continue;
        KDuzLayerElementTexture* element = layer->GetTexturesOfType(binding.channel);
        if (element == nullptr)
            element = layer->SetTexturesOfType(binding.channel, KDuzCreateLayerElementTexture(mManager, ""));
        if (element == nullptr) continue;
        element->SetReferenceMode(KDuzLayerElement::eIndexToDirect);
        element->SetMappingMode(KDuzLayerElement::eByPolygon);
        element->SetBlendMode(binding.texture->GetBlendMode() != 0 ? 1 : 0);
        auto& direct = element->GetDirectArray();
        int position = -1;
        for (int i = 0; i < direct.Count(); ++i)
            if (ColladaSameTexture(direct[i], binding.texture))
                position = i;
        if (position < 0) position = direct.Add(binding.texture);
        KTypedArray<int>& indices = element->GetIndexArray();
        const int old = indices.Count();
        if (old < polygons && !indices.SetCount(polygons)) continue;
        for (int p = old; p < polygons; ++p) indices[p] = -1;
        const bool allSame = materials->GetMappingMode() == KDuzLayerElement::eAllSame;
        for (int p = 0; p < polygons; ++p) {
            const int used = materials->GetIndexArray().GetAt(allSame ? 0 : p, -1);
            if (used == materialIndex) indices[p] = position;
        }
    }
}

bool KDuzReaderCollada::MakeJoint(KDuzNode* node, const KString& id) {
    KDuzSkeleton* skeleton = KDuzSkeleton::Create(mManager, "");
    if (skeleton == nullptr) return false;
    node->SetNodeAttribute(skeleton);
    skeleton->SetSkeletonType(KDuzSkeleton::eLimbNode);
    // Only clusters of this read are relinked: others belong to other scenes.
    for (KDuzCluster* cluster : mCreatedClusters) {
        KDuzNode* link = cluster->GetLink();
        if (link == nullptr || link == node || std::strcmp(link->GetName(), id.Buffer()) != 0) continue;
        if (link->GetNodeAttribute() != nullptr) {
            NotifyError(KString("link has two joints"));
            return false;
        }
        ColladaRelinkCluster(cluster, node);
    }
    for (ColladaController* controller : mControllerOrder) {
        for (KDuzCluster* cluster : controller->clusters) {
            KDuzNode* link = cluster->GetLink();
            if (link == nullptr || std::strcmp(link->GetName(), node->GetName()) != 0) continue;
            for (KDuzPose* pose : mPoses) {
                if (!(KString(pose->GetName()) == controller->source)) continue;
                if (pose->Find(node) < 0)
                    NotifyWarning(KString("joint ") + id + " not found in pose " + pose->GetName());
            }
        }
    }
    return true;
}

bool KDuzReaderCollada::ReadNodeTransforms(xmlNode* element, KDuzNode* node, KDuzNode* parent) {
    int order[3] = {-1, -1, -1};
    int count = 0;
    const KString nodeName(node->GetName());
    // The whole stack as the document means it, and whether our transform
    // (T Roff Rp Rpre R Rpost^-1 Rp^-1 Soff Sp S Sp^-1) can hold it element by
    // element; when it cannot, the stack is baked into the local transform.
    KgeMatrix stack;
    ColladaStackCheck check;
    ColladaStackCheck ignored;
    // Under a turned camera or light node, a child lands where it does in the
    // document: the parent's turn is undone in front of its transforms. Our
    // own documents undo it in their first element, skipped below; our older
    // ones wrote the child in the turned frame and read as they did.
    if (!mOwnDocument) {
        stack = ColladaChildFrameFix(parent, false, true);
        if (stack.IsNotEqual(KgeMatrix())) check.AddMatrix();
    }
    KgeMatrix postInverse;
    bool hasPostInverse = false;
    std::vector<KString> targets;
    for (xmlNode* child = element->children; child != nullptr; child = child->next) {
        if (child->type != XML_ELEMENT_NODE) continue;
        const KString name(ColladaElementName(child));
        const KString sid = ColladaGetAttribute(child, "sid");
        const KString key = nodeName + "/" + sid;
        if (mOwnDocument && sid == kColladaParentTurnInverseSid) continue;
        if (name == "perspective") {
            NotifyWarning(KString("<perspective> is not supported."));
        } else if (name == "matrix") {
            const KString text = ColladaGetContent(child);
            const char* cursor = text.Buffer();
            KgeMatrix matrix;
            ColladaScanMatrix(cursor, matrix);
            stack = stack.MultiplyAffine(matrix);
            if (matrix.IsNotEqual(KgeMatrix())) check.AddMatrix();
            // A lone matrix becomes the node's local transform.
            ColladaSetNodeTransformFromMatrix(node, matrix);
            if (!sid.IsEmpty()) {
                AddAnimatedTarget(key, KString("matrix"), 0);
                targets.push_back(key);
            }
        } else if (name == "rotate") {
            const KgeMatrix piece = ColladaRotateMatrix(child);
            stack = stack.MultiplyAffine(piece);
            // A turn by nothing composes the same wherever it stands.
            ColladaStackCheck& slotCheck = piece.IsNotEqual(KgeMatrix()) ? check : ignored;
            const bool pre = sid == "jointOrientX" || sid == "jointOrientY" || sid == "jointOrientZ";
            const bool post = sid == "post-rotationX" || sid == "post-rotationY" || sid == "post-rotationZ";
            const bool postInverted = sid == kColladaPostRotationInverseSids[0] ||
                                      sid == kColladaPostRotationInverseSids[1] ||
                                      sid == kColladaPostRotationInverseSids[2];
            if (postInverted) {
                // Written as the inverse our node applies: composed, then inverted.
                postInverse = postInverse.MultiplyAffine(piece);
                hasPostInverse = true;
                slotCheck.Add(ColladaStackCheck::kPostInverse, -1);
                continue;
            }
            if (pre || post) {
                KgeTVector rotation = pre ? node->GetPreRotation(0) : node->GetPostRotation(0);
                int axis = -1;
                ReadRotate(child, axis, rotation);
                if (pre) node->SetPreRotation(0, rotation);
                else node->SetPostRotation(0, rotation);
                node->SetRotationActive(true);
                slotCheck.Add(pre ? ColladaStackCheck::kPre : ColladaStackCheck::kPost, axis);
                continue;
            }
            int axis = -1;
            KgeTVector rotation(0.0, 0.0, 0.0, 0.0);
            ReadRotate(child, axis, rotation);
            slotCheck.Add(ColladaStackCheck::kRotate, axis);
            const duzVectorTemplate3<double> current = node->GetLclRotation();
            node->SetLclRotation(duzVectorTemplate3<double>(current[0] + rotation[0], current[1] + rotation[1],
                                                            current[2] + rotation[2]));
            node->SetRotationActive(true);
            if (axis >= 0 && axis <= 2) order[axis] = count++;
            AddAnimatedTarget(key, KString("rotate"), axis);
            targets.push_back(key);
        } else if (name == "scale") {
            const KgeTVector value = ScanVector(child);
            KgeMatrix scale;
            scale.SetTRS(KgeTVector(), KgeTVector(), value);
            stack = stack.MultiplyAffine(scale);
            if (scale.IsNotEqual(KgeMatrix())) check.Add(ColladaStackCheck::kScale, -1);
            node->SetLclScaling(Vec3(value));
            AddAnimatedTarget(key, KString("scale"), 0);
            targets.push_back(key);
        } else if (name == "skew") {
            if (WarnOnce(name)) NotifyWarning(KString("transform is not supported by DUZ: ") + "skew");
        } else if (name == "translate") {
            const KgeTVector value = ScanVector(child);
            KgeMatrix translation;
            translation.SetTRS(value, KgeTVector(), KgeTVector(1.0, 1.0, 1.0, 0.0));
            stack = stack.MultiplyAffine(translation);
            ColladaStackCheck& slotCheck = translation.IsNotEqual(KgeMatrix()) ? check : ignored;
            if (sid == "rotatePivot") {
                node->SetRotationPivot(0, value);
                slotCheck.AddPivot(ColladaStackCheck::kRotationPivot, value);
            } else if (sid == "scalePivot") {
                node->SetScalingPivot(0, value);
                slotCheck.AddPivot(ColladaStackCheck::kScalingPivot, value);
            } else if (sid == "rotatePivotTranslation") {
                node->SetRotationOffset(0, value);
                slotCheck.Add(ColladaStackCheck::kRotationOffset, -1);
            } else if (sid == "scalePivotTranslation") {
                node->SetScalingOffset(0, value);
                slotCheck.Add(ColladaStackCheck::kScalingOffset, -1);
            } else if (sid == "rotatePivotInverse") {
                slotCheck.AddPivot(ColladaStackCheck::kRotationPivotInverse, value);
            } else if (sid == "scalePivotInverse") {
                slotCheck.AddPivot(ColladaStackCheck::kScalingPivotInverse, value);
            } else {
                node->SetLclTranslation(Vec3(value));
                slotCheck.Add(ColladaStackCheck::kTranslate, -1);
                AddAnimatedTarget(key, KString("translate"), 0);
                targets.push_back(key);
            }
        } else if (name == "extra") {
            if (WarnOnce(name)) NotifyWarning(KString("Extra node is not supported in node"));
        }
    }
    if (hasPostInverse) {
        node->SetPostRotation(0, postInverse.InverseOrthogonal().GetEulerXYZ());
        node->SetRotationActive(true);
    }
    if (!check.Fits()) {
        // Baked: the pieces read above would compose to something else.
        const KgeTVector zero;
        for (const KString& target : targets) mAnimatedTargets.erase(target.Buffer());
        node->SetRotationOffset(0, zero);
        node->SetRotationPivot(0, zero);
        node->SetScalingOffset(0, zero);
        node->SetScalingPivot(0, zero);
        node->SetPreRotation(0, zero);
        node->SetPostRotation(0, zero);
        ColladaSetNodeTransformFromMatrix(node, stack);
        node->SetRotationOrder(0, 0);
        NotifyWarning(KString("transforms of node ") + nodeName + " are composed into one transform");
        return true;
    }
    // A matrix with nothing else that turns or moves: later neutral
    // elements must not undo it.
    if (check.HasMatrix()) ColladaSetNodeTransformFromMatrix(node, stack);
    node->SetRotationOrder(0, ColladaRotationOrderFromAxes(order, count));
    return true;
}

bool KDuzReaderCollada::ReadInstanceAttribute(xmlNode* element, KDuzNode* node, KDuzObject* attribute) {
    switch (KDuzNode::GetAttributeTypeOf(attribute)) {
        case kNull: {
            node->SetNodeAttribute(KDuzNull::Create(mManager, ""));
            return true;
        }
        case kMarker:
            NotifyError(KString("bad geometry: marker not implemented."));
            return false;
        case kLight: {
            KDuzLight* light = KDuzLight::Create(mManager, "");
            if (light == nullptr) return false;
            ColladaCopyLight(light, static_cast<KDuzLight*>(attribute));
            node->SetNodeAttribute(light);
            TurnToAttributeFrame(node, light);
            return true;
        }
        case kCamera: {
            KDuzCamera* camera = KDuzCamera::Create(mManager, "");
            if (camera == nullptr) return false;
            ColladaCopyCamera(camera, static_cast<KDuzCamera*>(attribute));
            node->SetNodeAttribute(camera);
            KgeTVector eye(0.0, 0.0, 0.0, 0.0);
            KgeTVector interest(0.0, -1.0, 0.0, 0.0);
            KgeTVector up(0.0, 1.0, 0.0, 0.0);
            KgeMatrix matrix;
            if (ColladaReadLookAt(element, eye, interest, up, matrix)) {
                camera->SetPosition(eye);
                camera->SetInterestPosition(interest);
                camera->SetUpVector(up);
                node->SetLclRotation(Vec3(matrix.GetEulerXYZ()));
                camera->SetFocusSource(0);
                const double dx = interest[0] - eye[0], dy = interest[1] - eye[1], dz = interest[2] - eye[2];
                camera->SetFocusDistance(std::sqrt(dx * dx + dy * dy + dz * dz));
            }
            TurnToAttributeFrame(node, camera);
            return true;
        }
        case kCameraSwitcher:
            NotifyError(KString("bad node attributed: camera switcher not implemented."));
            return false;
        case kSkeleton:
            node->SetNodeAttribute(KDuzSkeleton::Create(mManager, ""));
            return true;
        case kMesh: {
            auto* library = static_cast<KDuzMesh*>(attribute);
            // The last instance of a library mesh is the mesh itself: a copy
            // that took all its arrays would hold the same, and both would
            // stay until the read ends.
            if (TakesLastMeshUse(attribute) && library->GetLayer(0) != nullptr) {
                node->SetNodeAttribute(library);
                return true;
            }
            KDuzMesh* mesh = KDuzMesh::Create(mManager, "");
            if (mesh == nullptr) return false;
            node->SetNodeAttribute(mesh);
            CopyMesh(mesh, library, false);
            return true;
        }
        case kNurb:
        case kPatch:
            NotifyError(KString("bad geometry in node ") + node->GetName() + ": nurb and patches not implemented.\n");
            return false;
        default:
            NotifyWarning(KString("unknown geometry for node ") + node->GetName());
            return true;
    }
}

bool KDuzReaderCollada::ColladaCopyNodeAttribute(KDuzNode* destination, KDuzNode* source) {
    KDuzObject* attribute = source->GetNodeAttribute();
    if (attribute == nullptr) return true;
    switch (KDuzNode::GetAttributeTypeOf(attribute)) {
        case kCamera: {
            KDuzCamera* camera = KDuzCamera::Create(mManager, "");
            if (camera == nullptr) return false;
            destination->SetNodeAttribute(camera);
            ColladaCopyCamera(camera, static_cast<KDuzCamera*>(attribute));
            break;
        }
        case kLight: {
            KDuzLight* light = KDuzLight::Create(mManager, "");
            if (light == nullptr) return false;
            destination->SetNodeAttribute(light);
            ColladaCopyLight(light, static_cast<KDuzLight*>(attribute));
            break;
        }
        case kMesh: {
            KDuzMesh* mesh = KDuzMesh::Create(mManager, "");
            if (mesh == nullptr) return false;
            destination->SetNodeAttribute(mesh);
            CopyMesh(mesh, static_cast<KDuzMesh*>(attribute), mTakeVisualSceneMeshes);
            break;
        }
        case kNull:
            destination->SetNodeAttribute(KDuzNull::Create(mManager, ""));
            break;
        case kNurb:
            destination->SetNodeAttribute(attribute->Clone(2));
            break;
        case kSkeleton: {
            KDuzSkeleton* skeleton = KDuzSkeleton::Create(mManager, "");
            if (skeleton == nullptr) return false;
            destination->SetNodeAttribute(skeleton);
            ColladaCopySkeletonType(skeleton, static_cast<KDuzSkeleton*>(attribute));
            break;
        }
        default:
            NotifyWarning(KString("unknown attribute type found in node ") + source->GetName());
            break;
    }
    return true;
}

bool KDuzReaderCollada::CopyNodeTree(KDuzNode* destination, KDuzNode* source, int depth) {
    if (depth > kMaxNodeDepth + 1) return false;
    if (!CopyNodeForInstance(destination, source)) return false;
    for (int i = 0; i < source->GetChildCount(); ++i) {
        KDuzNode* child = source->GetChild(i);
        if (child == nullptr) continue;
        KDuzNode* copy = KDuzNode::Create(mManager, child->GetName());
        if (copy == nullptr || !CopyNodeTree(copy, child, depth + 1)) return false;
        destination->AddChild(copy);
    }
    return true;
}

namespace {

// Takes object, and whatever it brings along, out of scene so it can join
// another: an object keeps the first scene it joins.
void LeaveScene(KDuzObject* object, KDuzScene* scene) {
    std::vector<KDuzObject*> pending{object};
    std::vector<KDuzObject*> sources;
    while (!pending.empty()) {
        KDuzObject* current = pending.back();
        pending.pop_back();
        if (current == nullptr || current->GetScene() != scene) continue;
        scene->DisconnectSrcObject(current);
        KDuzCollectSrcObjects(current, KClassId(), sources);
        pending.insert(pending.end(), sources.rbegin(), sources.rend());
    }
}

}  // namespace

bool KDuzReaderCollada::AdoptNodeTree(KDuzScene* target, KDuzScene* visualScene) {
    KDuzNode* from = visualScene->GetRootNode();
    KDuzNode* to = target->GetRootNode();
    if (from == nullptr || to == nullptr || !CopyNodeForInstance(to, from)) return false;
    std::vector<KDuzNode*> tops;
    for (int i = 0; i < from->GetChildCount(); ++i)
        if (KDuzNode* child = from->GetChild(i)) tops.push_back(child);
    for (KDuzNode* top : tops) {
        KDuzNode* adopted = AdoptNode(top, visualScene, 1);
        if (adopted == nullptr || !to->AddChild(adopted)) return false;
    }
    return true;
}

KDuzNode* KDuzReaderCollada::AdoptNode(KDuzNode* node, KDuzScene* visualScene, int depth) {
    if (depth > kMaxNodeDepth + 1) return nullptr;
    LeaveScene(node, visualScene);
    KDuzNode* adopted = node;
    KDuzObject* attribute = node->GetNodeAttribute();
    const int type = attribute != nullptr ? KDuzNode::GetAttributeTypeOf(attribute) : kNull;
    if (type == kNull || type == kSkeleton || type == kMesh) {
        // A copy would hold what these hold: the node keeps its attribute
        // and takes the settings a copy is given.
        int order = 0;
        node->GetRotationOrder(0, order);
        node->SetRotationOrder(0, order);
        node->SetPivotState(0, 1);
        node->SetPivotState(1, 1);
        ColladaCopyNodeTransform(node, node);
    } else {
        // Cameras and lights keep more than a copy of them does, and a node
        // keeps traces of an attribute it let go: such nodes are copied.
        adopted = KDuzNode::Create(mManager, node->GetName());
        if (adopted == nullptr || !CopyNodeForInstance(adopted, node)) return nullptr;
    }
    std::vector<KDuzNode*> children;
    for (int i = 0; i < node->GetChildCount(); ++i)
        if (KDuzNode* child = node->GetChild(i)) children.push_back(child);
    bool same = adopted == node;
    std::vector<KDuzNode*> adoptedChildren;
    adoptedChildren.reserve(children.size());
    for (KDuzNode* child : children) {
        KDuzNode* taken = AdoptNode(child, visualScene, depth + 1);
        if (taken == nullptr) return nullptr;
        adoptedChildren.push_back(taken);
        same = same && taken == child;
    }
    if (!same) {
        // Copies stand where their nodes stood, in the same order.
        for (KDuzNode* child : children) node->RemoveChild(child);
        for (KDuzNode* child : adoptedChildren) adopted->AddChild(child);
    }
    return adopted;
}

KDuzNode* KDuzReaderCollada::FindSceneNode(const KString& name) const {
    const auto found = mSceneNodes.find(name.Buffer());
    return found != mSceneNodes.end() ? found->second : nullptr;
}

KDuzNode* KDuzReaderCollada::FirstInstancingNode(const KString& id) {
    if (!mInstancingNodesRead) {
        // One walk of the visual scene for every channel: the nodes that
        // instance each element, the first in document order kept. A node
        // is asked for its camera, controller, geometry or light instance,
        // in that order.
        mInstancingNodesRead = true;
        std::vector<std::pair<const xmlNode*, int>> pending;
        if (mVisualSceneElement != nullptr) pending.emplace_back(mVisualSceneElement, 0);
        while (!pending.empty()) {
            const auto [element, depth] = pending.back();
            pending.pop_back();
            if (depth > kMaxNodeDepth + 1) continue;
            if (!ColladaIsElement(element, "visual_scene") && !ColladaIsElement(element, "node")) continue;
            xmlNode* instance = nullptr;
            for (const char* name :
                 {"instance_camera", "instance_controller", "instance_geometry", "instance_light"}) {
                instance = ColladaFindChildByName(element, name);
                if (instance != nullptr) break;
            }
            if (instance != nullptr) {
                // Nodes are named by their "id".
                mInstancingNodes.try_emplace(ColladaGetAttribute(instance, "url").MidToEnd(1).Buffer(),
                                             FindSceneNode(ColladaGetAttribute(element, "id")));
            }
            const size_t mark = pending.size();
            for (const xmlNode* child = element->children; child != nullptr; child = child->next)
                if (child->type == XML_ELEMENT_NODE) pending.emplace_back(child, depth + 1);
            std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(mark), pending.end());
        }
    }
    const auto found = mInstancingNodes.find(id.Buffer());
    return found != mInstancingNodes.end() ? found->second : nullptr;
}

}  // namespace duzsdk
