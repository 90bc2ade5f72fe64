// Node life, hierarchy, attributes, targets, display state, character links
// and takes.
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/animation/KFCurveNode.h"
#include "sdk/object/KDataType.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/scene/KDuzScene.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzMarker.h"
#include "sdk/scene/KDuzNodeAttribute.h"
#include "sdk/scene/KDuzNodeInternal.h"
#include "sdk/scene/KDuzNodeLimits.h"
#include "sdk/scene/KDuzPose.h"

#include <cstring>
#include <strings.h>

namespace duzsdk {

const char* const kDuzNodeErrorTexts[eDuzNodeErrorCount] = {
    "Take node error",
    "Node name clash",
    "Material name clash",
    "Texture name clash",
    "Target node is not a child of this object",
    "Operation with a target of the entity would generate a cyclic graph",
    "",
    "Index out of range",
    "Attribute not connected",
};

namespace {

KDuzCharacterLinkClearer gCharacterLinkClearer = nullptr;

// Loops are refused when nodes connect; this bound only stops a walk up a
// graph that was damaged some other way.
constexpr int kMaxDepth = 1 << 24;

KClassId NodeClass() { return KDuzClassIdOf(eDuzClassNode); }
KClassId AttributeClass() { return KDuzClassIdOf(eDuzClassNodeAttribute); }

bool IsGeometryType(int type) {
    return type == eMesh || type == eNurb || type == ePatch || type == eNurbsCurve ||
           type == eTrimNurbsSurface || type == eBoundary || type == eNurbsSurface;
}

}  // namespace

void KDuzSetCharacterLinkClearer(KDuzCharacterLinkClearer clearer) { gCharacterLinkClearer = clearer; }

// ---- life ---------------------------------------------------------------------------

KDuzNode::KDuzNode(KDuzSdkManager* manager, const char* name)
    : KDuzTakeNodeContainer(manager, name, &mError), mError(kDuzNodeErrorTexts, eDuzNodeErrorCount) {
    mInternal = new KDuzNode_internal(this);
    SetInternalObject(mInternal);
    mLimits = new KDuzNodeLimits(this);
    mInternal->SetConstructing(true);
    ResetTransformProperties();
    CreateDefaultTakeNodeLater();
    SetVisibility(true);
    mInternal->SetConstructing(false);
    mShadingMode = 3;
    WrapInternalProperties();
}

KDuzNode::~KDuzNode() {
    // Normally gone with DestroyContents already.
    delete mLimits;
    mLimits = nullptr;
    for (KString* text : mChildNames) delete text;
    mChildNames.clear();
}

KDuzNode* KDuzNode::Create(KDuzSdkManager* manager, const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<KDuzNode*>(manager->CreateObject(ClassId(), name));
}

KDuzPlug* KDuzNode::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* node = new KDuzNode(manager, name);
    node->PostCreate();
    return node;
}

KClassId KDuzNode::ClassId() { return KDuzClassIdOf(eDuzClassNode); }

KClassId KDuzNode::GetClassId() const { return ClassId(); }

void KDuzNode::DestroyContents(bool recursive, bool dependents) {
    // 1. Character-side references to this node. The records may come from
    //    a file: the clearer checks their indices against the character.
    const std::vector<KDuzNodeCharacterLink> links = mCharacterLinks;
    mCharacterLinks.clear();
    if (gCharacterLinkClearer != nullptr) {
        for (const KDuzNodeCharacterLink& link : links) {
            if (link.object != nullptr) gCharacterLinkClearer(link, this);
        }
    }
    // 2. Every pose of the manager, in a scene or not.
    if (GetSdkManager() != nullptr) KDuzPoseRemoveNodeFromAllPoses(GetSdkManager(), this);
    // 3, 4.
    delete mLimits;
    mLimits = nullptr;
    for (KString* text : mChildNames) delete text;
    mChildNames.clear();
    // 5. Take nodes, owned sources, properties and the internal object.
    KDuzTakeNodeContainer::DestroyContents(recursive, dependents);
    mInternal = nullptr;
    TouchTransforms();
}

KDuzObject* KDuzNode::Clone(int type) {
    if (type != 2) return nullptr;
    KDuzNode* clone = Create(GetSdkManager(), GetName());
    if (clone != nullptr) clone->Copy(*this);
    return clone;
}

void KDuzNode::Copy(const KDuzNode& source) {
    if (&source == this) return;
    SetLookAtTarget(source.GetLookAtTarget());
    mPostTargetRotation = source.mPostTargetRotation;
    mTargetUpVector = source.mTargetUpVector;

    if (KDuzObject* previous = SetNodeAttribute(nullptr)) previous->Destroy();
    for (int i = 0; i < source.GetNodeAttributeCount(); ++i) {
        KDuzObject* attribute = source.GetNodeAttributeByIndex(i);
        KDuzObject* clone = attribute != nullptr ? attribute->Clone(2) : nullptr;
        if (clone != nullptr && !AddNodeAttribute(clone)) clone->Destroy();
    }

    SetVisibility(source.GetVisibility());
    mShadingMode = source.mShadingMode;
    mMultiLayer = source.mMultiLayer;
    mMultiTake = source.mMultiTake;
    for (int set = 0; set < 2; ++set) {
        SetRotationOffset(set, source.GetRotationOffset(set));
        SetRotationPivot(set, source.GetRotationPivot(set));
        SetPreRotation(set, source.GetPreRotation(set));
        SetPostRotation(set, source.GetPostRotation(set));
        SetScalingPivot(set, source.GetScalingPivot(set));
        SetQuaternionInterpolate(set, source.GetQuaternionInterpolate(set));
    }
    DropTransformCaches();
    if (mCaches != nullptr) {
        mCaches->decomposed[0].index = -1;
        mCaches->decomposed[1].index = -1;
    }
    if (mLimits != nullptr && source.mLimits != nullptr) mLimits->CopyLimits(*source.mLimits);
    mTrailingWord = source.mTrailingWord;
    CopyTakeNodes(source);
    TouchTransforms();
}

// ---- hierarchy --------------------------------------------------------------------------

KDuzNode* KDuzNode::GetParent() const { return dynamic_cast<KDuzNode*>(GetDstObject(NodeClass(), 0)); }

bool KDuzNode::IsSelfOrAncestor(const KDuzNode* node) const {
    if (node == nullptr) return false;
    int depth = 0;
    for (const KDuzNode* current = this; current != nullptr && depth <= kMaxDepth;
         current = current->GetParent(), ++depth) {
        if (current == node) return true;
    }
    return false;
}

bool KDuzNode::WouldCreateCycle(const KDuzNode* child) const {
    if (child == nullptr) return false;
    if (child == this) return true;
    // Two walks in step: up from this node (finds the child among its
    // ancestors) and through the child's subtree (finds this node below
    // it). Whichever ends first decides, so the cost is the smaller of the
    // two: a fresh child or a shallow parent answers at once, and building
    // a long chain stays linear.
    const KDuzNode* up = GetParent();
    std::vector<const KDuzNode*> down{child};
    size_t next = 0;
    for (;;) {
        if (up == nullptr) return false;
        if (up == child) return true;
        up = up->GetParent();
        if (next == down.size()) return false;
        const KDuzNode* node = down[next++];
        const int count = node->GetSrcObjectCount(NodeClass());
        for (int i = 0; i < count; ++i) {
            const KDuzNode* grandchild = node->GetChild(i);
            if (grandchild == this) return true;
            if (grandchild != nullptr) down.push_back(grandchild);
        }
    }
}

bool KDuzNode::AddChild(KDuzNode* child) {
    if (child == nullptr) return false;
    // A node below itself would make every walk of the tree endless.
    if (WouldCreateCycle(child)) {
        mError.SetLastError(eDuzNodeErrorCyclicGraph);
        return false;
    }
    if (KDuzNode* parent = child->GetParent()) parent->RemoveChild(child);
    const bool connected = ConnectSrcObject(child);
    TouchTransforms();
    return connected;
}

KDuzNode* KDuzNode::RemoveChild(KDuzNode* child) {
    if (child != nullptr) {
        DisconnectSrcObject(child);
        TouchTransforms();
    }
    return child;
}

bool KDuzNode::ConnectNotify(const KDuzConnectEvent& event) {
    // Any node connected below this one (through AddChild or straight
    // through the plug layer) must not be this node or one of its ancestors.
    if (event.destination == this && event.code == eDuzConnectAskDestination) {
        auto* child = dynamic_cast<KDuzNode*>(event.source);
        if (child != nullptr && WouldCreateCycle(child)) {
            mError.SetLastError(eDuzNodeErrorCyclicGraph);
            return false;
        }
    }
    if (event.code == eDuzConnectedDestination || event.code == eDuzConnectedSource ||
        event.code == eDuzDisconnectedDestination || event.code == eDuzDisconnectedSource) {
        TouchTransforms();
    }
    return KDuzTakeNodeContainer::ConnectNotify(event);
}

int KDuzNode::GetChildCount(bool recursive) const {
    const int count = GetSrcObjectCount(NodeClass());
    if (!recursive) return count;
    // Iterative, so that a deep chain cannot exhaust the stack; each node's
    // children are gathered in one walk (indexing them walks once per index).
    int total = 0;
    std::vector<const KDuzNode*> pending{this};
    std::vector<KDuzObject*> children;
    while (!pending.empty()) {
        const KDuzNode* node = pending.back();
        pending.pop_back();
        children.clear();
        KDuzCollectSrcObjects(node, NodeClass(), children);
        total += static_cast<int>(children.size());
        for (KDuzObject* object : children)
            if (const auto* child = dynamic_cast<const KDuzNode*>(object)) pending.push_back(child);
    }
    return total;
}

KDuzNode* KDuzNode::GetChild(int index) const {
    return dynamic_cast<KDuzNode*>(GetSrcObject(NodeClass(), index));
}

KDuzNode* KDuzNode::FindChild(const char* name, bool recursive, bool initialName) const {
    if (name == nullptr) return nullptr;
    // Pre-order with an explicit stack: children pushed last first.
    std::vector<const KDuzNode*> pending;
    auto pushChildren = [&pending](const KDuzNode* node) {
        for (int i = node->GetSrcObjectCount(NodeClass()) - 1; i >= 0; --i) {
            if (const KDuzNode* child = node->GetChild(i)) pending.push_back(child);
        }
    };
    pushChildren(this);
    while (!pending.empty()) {
        const KDuzNode* node = pending.back();
        pending.pop_back();
        const char* text = initialName ? node->GetInitialName() : node->GetName();
        if (text != nullptr && std::strcmp(text, name) == 0) return const_cast<KDuzNode*>(node);
        if (recursive) pushChildren(node);
    }
    return nullptr;
}

void KDuzNode::AddChildName(const char* name) {
    mChildNames.push_back(new KString(name != nullptr ? name : ""));
}

const char* KDuzNode::GetChildName(int index) const {
    if (index < 0 || index >= GetChildNameCount()) return nullptr;
    return mChildNames[static_cast<size_t>(index)]->Buffer();
}

// ---- node attributes -----------------------------------------------------------------

int KDuzNode::GetAttributeTypeOf(const KDuzObject* attribute) {
    const auto* typed = dynamic_cast<const KDuzNodeAttribute*>(attribute);
    return typed != nullptr ? typed->GetAttributeType() : eUnidentified;
}

int KDuzNode::GetNodeAttributeCount() const { return GetSrcObjectCount(AttributeClass()); }

KDuzObject* KDuzNode::GetNodeAttributeByIndex(int index) const {
    return GetSrcObject(AttributeClass(), index);
}

int KDuzNode::GetDefaultNodeAttributeIndex() const {
    return mInternal != nullptr ? mInternal->GetIntValue(eNodeDefaultAttributeIndex) : -1;
}

bool KDuzNode::SetDefaultNodeAttributeIndex(int index) {
    if (index < 0 || index >= GetNodeAttributeCount()) {
        mError.SetLastError(eDuzNodeErrorIndexOutOfRange);
        return false;
    }
    if (mInternal != nullptr) mInternal->SetIntValue(eNodeDefaultAttributeIndex, index);
    return true;
}

int KDuzNode::GetNodeAttributeIndex(const KDuzObject* attribute) {
    if (attribute != nullptr) {
        for (int i = GetNodeAttributeCount() - 1; i >= 0; --i) {
            if (GetNodeAttributeByIndex(i) == attribute) return i;
        }
    }
    mError.SetLastError(eDuzNodeErrorAttributeNotConnected);
    return -1;
}

KDuzObject* KDuzNode::GetNodeAttribute() const {
    const int index = GetDefaultNodeAttributeIndex();
    return index >= 0 ? GetNodeAttributeByIndex(index) : nullptr;
}

KDuzObject* KDuzNode::SetNodeAttribute(KDuzObject* attribute) {
    // An attached attribute only becomes the default. The membership test
    // leaves error 8 set when the attribute is new, as callers expect.
    const int existing = GetNodeAttributeIndex(attribute);
    if (existing >= 0) {
        SetDefaultNodeAttributeIndex(existing);
        return nullptr;
    }
    const int defaultIndex = GetDefaultNodeAttributeIndex();
    KDuzObject* previous = nullptr;
    for (int i = GetNodeAttributeCount() - 1; i >= 0; --i) {
        KDuzObject* attached = GetNodeAttributeByIndex(i);
        if (attached == nullptr) continue;
        DisconnectSrcObject(attached);
        if (i == defaultIndex)
            previous = attached;
        else
            attached->Destroy();
    }
    if (attribute != nullptr && ConnectSrcObject(attribute)) {
        if (mInternal != nullptr) mInternal->SetIntValue(eNodeDefaultAttributeIndex, 0);
    } else if (mInternal != nullptr) {
        mInternal->SetIntValue(eNodeDefaultAttributeIndex, -1);
    }
    RecomputeDisplayValues();
    return previous;
}

bool KDuzNode::AddNodeAttribute(KDuzObject* attribute) {
    if (attribute == nullptr || GetNodeAttributeIndex(attribute) >= 0) return false;
    if (!attribute->Is(AttributeClass())) return false;
    const bool connected = ConnectSrcObject(attribute);
    if (connected && GetDefaultNodeAttributeIndex() < 0 && mInternal != nullptr)
        mInternal->SetIntValue(eNodeDefaultAttributeIndex, 0);
    return connected;
}

void KDuzNode::RecomputeDisplayValues() {
    KDuzObject* attribute = GetNodeAttribute();
    const int type = GetAttributeTypeOf(attribute);
    int markerType = -1;
    if (type == eMarker) {
        if (const auto* marker = dynamic_cast<const KDuzMarker*>(attribute)) markerType = marker->GetType();
    }
    mMultiLayer = markerType == KDuzMarker::eIKEffector || markerType == KDuzMarker::eFKEffector;
    const bool singleTake = type == eLight || type == eCamera || markerType == KDuzMarker::eOptical;
    mMultiTake = singleTake ? 0 : 1;
}

KDuzObject* KDuzNode::DefaultIfType(int type) const {
    KDuzObject* attribute = GetNodeAttribute();
    return GetAttributeTypeOf(attribute) == type && attribute != nullptr ? attribute : nullptr;
}

KDuzObject* KDuzNode::GetGeometry() const {
    KDuzObject* attribute = GetNodeAttribute();
    return IsGeometryType(GetAttributeTypeOf(attribute)) ? attribute : nullptr;
}

KDuzObject* KDuzNode::FindGeometryOfType(int type) const {
    if (KDuzObject* attribute = DefaultIfType(type)) return attribute;
    for (int i = 0; i < GetNodeAttributeCount(); ++i) {
        KDuzObject* attribute = GetNodeAttributeByIndex(i);
        if (attribute != nullptr && GetAttributeTypeOf(attribute) == type) return attribute;
    }
    return nullptr;
}

KString KDuzNode::GetTypeName() const {
    const KDuzObject* attribute = GetNodeAttribute();
    return attribute != nullptr ? attribute->GetTypeName() : KString("Null");
}

KStringList KDuzNode::GetTypeFlags() const {
    if (const KDuzObject* attribute = GetNodeAttribute()) return attribute->GetTypeFlags();
    KStringList flags;
    flags.Append("Null");
    return flags;
}

// ---- targets -----------------------------------------------------------------------------

bool KDuzNode::SetTarget(const char* propertyName, KDuzObject* object) {
    KDuzProperty property = FindProperty(propertyName);
    if (!property.IsValid()) return false;
    if (object != nullptr && property.IsConnectedSrcObject(object)) return true;
    property.DisconnectAllSrcObjects();
    if (object == nullptr) return true;
    return property.ConnectSrcObject(object);
}

KDuzNode* KDuzNode::GetTarget(const char* propertyName) const {
    KDuzProperty property = FindProperty(propertyName);
    if (!property.IsValid()) return nullptr;
    return dynamic_cast<KDuzNode*>(property.GetSrcObject(NodeClass(), 0));
}

bool KDuzNode::SetLookAtTarget(KDuzObject* object) { return SetTarget("LookAtProperty", object); }
KDuzNode* KDuzNode::GetLookAtTarget() const { return GetTarget("LookAtProperty"); }
bool KDuzNode::SetUpVectorTarget(KDuzObject* object) { return SetTarget("UpVectorProperty", object); }
KDuzNode* KDuzNode::GetUpVectorTarget() const { return GetTarget("UpVectorProperty"); }

// ---- display state -------------------------------------------------------------------------

void KDuzNode::SetVisibility(bool visible) {
    if (mInternal != nullptr) mInternal->SetBool(eNodeShow, visible);
    // Visibility holds the 1 it is made with until it is made: nothing to make.
    if (visible && VisibilityUnmade()) return;
    KDuzProperty visibility = FindProperty("Visibility");
    if (visibility.IsValid()) {
        const double value = visible ? 1.0 : 0.0;
        visibility.SetValue(&value, 4);
    } else if (mInternal != nullptr) {
        // Before the public handles exist (construction).
        if (KProperty* property = mInternal->Property(eNodeVisibility))
            property->SetDouble(visible ? 1.0 : 0.0);
    }
}

bool KDuzNode::VisibilityUnmade() const {
    return mInternal != nullptr && mInternal->PeekProperty(eNodeVisibility) == nullptr;
}

bool KDuzNode::GetVisibility() const {
    if (VisibilityUnmade()) return true;
    KDuzProperty visibility = FindProperty("Visibility");
    if (visibility.IsValid()) return visibility.GetDouble() != 0.0;
    KProperty* property = mInternal != nullptr ? mInternal->Property(eNodeVisibility) : nullptr;
    return property != nullptr && property->GetDouble() != 0.0;
}

bool KDuzNode::IsFlagged(bool recursive) const {
    if (mFlagged || !recursive) return mFlagged;
    std::vector<const KDuzNode*> pending{this};
    while (!pending.empty()) {
        const KDuzNode* node = pending.back();
        pending.pop_back();
        if (node->mFlagged) return true;
        for (int i = 0; i < node->GetSrcObjectCount(NodeClass()); ++i) {
            if (const KDuzNode* child = node->GetChild(i)) pending.push_back(child);
        }
    }
    return false;
}

// ---- character links ----------------------------------------------------------------------

int KDuzNode::AddCharacterLink(void* object, int type, int index, int extra) {
    mCharacterLinks.push_back(KDuzNodeCharacterLink{object, type, index, extra});
    return static_cast<int>(mCharacterLinks.size()) - 1;
}

int KDuzNode::FindCharacterLink(void* object, int type, int index, int extra) const {
    if (object == nullptr) return -1;
    const KDuzNodeCharacterLink wanted{object, type, index, extra};
    for (size_t i = 0; i < mCharacterLinks.size(); ++i) {
        if (mCharacterLinks[i] == wanted) return static_cast<int>(i);
    }
    return -1;
}

int KDuzNode::RemoveCharacterLink(void* object, int type, int index, int extra) {
    const int found = FindCharacterLink(object, type, index, extra);
    if (found >= 0) mCharacterLinks.erase(mCharacterLinks.begin() + found);
    return found;
}

const KDuzNodeCharacterLink* KDuzNode::GetCharacterLink(int index) const {
    if (index < 0 || index >= GetCharacterLinkCount()) return nullptr;
    return &mCharacterLinks[static_cast<size_t>(index)];
}

// ---- takes ----------------------------------------------------------------------------------

bool KDuzNode::SetCurrentTakeNodeByName(const char* name) {
    DropTransformCaches();
    return KDuzTakeNodeContainer::SetCurrentTakeNodeByName(name);
}

bool KDuzNode::SetCurrentTakeNode(int index) {
    DropTransformCaches();
    return KDuzTakeNodeContainer::SetCurrentTakeNode(index);
}

bool KDuzNode::GetSubtreeAnimationInterval(KTime& start, KTime& stop) {
    // The node, then its descendants; an explicit stack keeps a deep
    // hierarchy off the call stack.
    bool found = false;
    std::vector<KDuzNode*> pending{this};
    std::vector<KDuzObject*> children;
    while (!pending.empty()) {
        KDuzNode* node = pending.back();
        pending.pop_back();
        found = node->KDuzTakeNodeContainer::GetAnimationInterval(start, stop) || found;
        // All children in one pass: by index, each would cost the child count.
        KDuzCollectSrcObjects(node, NodeClass(), children);
        for (auto it = children.rbegin(); it != children.rend(); ++it) {
            if (auto* child = dynamic_cast<KDuzNode*>(*it)) pending.push_back(child);
        }
    }
    return found;
}

bool KDuzNode::GetAnimationInterval(KTime& start, KTime& stop) {
    KTime foundStart(kFCurveInfiniteTicks);
    KTime foundStop(kFCurveMinusInfiniteTicks + 1);
    if (!GetSubtreeAnimationInterval(foundStart, foundStop)) return false;
    if (foundStart.IsLessThan(start)) start = foundStart;
    if (KTimeIsGreater(foundStop, stop)) stop = foundStop;
    return true;
}

namespace {

KFCurveNode* MakeChannelGroup(const char* name, const char* dataTypeName, int layerType,
                              const double* defaults, KFCurve** curves) {
    KFCurveNode* group = KFCurveNodeCreate(name, KDataTypeFindByName(dataTypeName), layerType);
    if (group == nullptr) return nullptr;
    static constexpr const char* kAxes[3] = {"X", "Y", "Z"};
    static constexpr float kColours[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (int c = 0; c < 3; ++c) {
        curves[c] = nullptr;
        KFCurveNode* axis = KFCurveNodeCreate(kAxes[c]);
        KFCurve* curve = KFCurveCreate();
        if (axis == nullptr || curve == nullptr) {
            KFCurveObjectDelete(axis);
            KFCurveObjectDelete(curve);
            continue;
        }
        curve->SetDefaultValue(static_cast<float>(defaults[c]));
        curve->SetColor(kColours[c][0], kColours[c][1], kColours[c][2]);
        axis->SetCurve(curve);
        group->AddChild(axis);
        curves[c] = curve;
    }
    return group;
}

}  // namespace

void KDuzNode::FillDefaultTakeLater(KDuzTakeNode* takeNode) { AddTransformChannelsToTakeNode(takeNode); }

void KDuzNode::AddPropertiesToTakeNode(KDuzTakeNode* takeNode) {
    if (takeNode == nullptr || takeNode->GetCurveNode() == nullptr || mInternal == nullptr) return;
    AddTransformChannelsToTakeNode(takeNode);
    for (int i = 0; i < mInternal->GetPropertyCount(); ++i) {
        // Only animatable properties get curves: the others need not be made.
        if (!(mInternal->GetPropertyInfoFlags(i) & KPropertyInfo::kAnimatable)) continue;
        KProperty* property = mInternal->GetProperty(i);
        if (property == nullptr || !property->TestInfoFlag2()) continue;
        const char* name = property->GetName();
        if (std::strcmp(name, "Lcl Translation") == 0 || std::strcmp(name, "Lcl Rotation") == 0 ||
            std::strcmp(name, "Lcl Scaling") == 0 || std::strcmp(name, "Visibility") == 0)
            continue;
        AddPropertyCurveNodes(property, takeNode);
    }
    if (KDuzObject* attribute = GetNodeAttribute()) attribute->AddPropertiesToTakeNode(takeNode);
}

void KDuzNode::AddTransformChannelsToTakeNode(KDuzTakeNode* takeNode) {
    if (takeNode == nullptr || takeNode->GetCurveNode() == nullptr || mInternal == nullptr) return;
    KFCurveNode* root = takeNode->GetCurveNode();
    struct Channel {
        EDuzNodeProperty id;
        const char* name;
        int layerType;
        double fallback;
    };
    static constexpr Channel kChannels[3] = {
        {eNodeLclTranslation, "T", eCurveNodeLayerTranslation, 0.0},
        {eNodeLclRotation, "R", eCurveNodeLayerRotation, 0.0},
        {eNodeLclScaling, "S", eCurveNodeLayerScaling, 1.0},
    };
    const bool isDefault = strcasecmp(takeNode->GetName(), "Default") == 0;

    KFCurveNode* transform = KFCurveNodeCreate("Transform");
    if (transform == nullptr) return;
    for (const Channel& channel : kChannels) {
        KProperty* property = mInternal->Property(channel.id);
        double values[4] = {channel.fallback, channel.fallback, channel.fallback, 1.0};
        if (property != nullptr) property->GetDoubles(values);
        KFCurve* curves[3];
        KFCurveNode* group = MakeChannelGroup(channel.name, kDuzNodeProperties[channel.id].name,
                                              channel.layerType, values, curves);
        if (group == nullptr) continue;
        transform->AddChild(group);
        for (int c = 0; c < 3 && isDefault; ++c) {
            if (curves[c] != nullptr) LinkPropertyCurve(property, c, curves[c]);
        }
    }

    KFCurveNode* visibility = KFCurveNodeCreate("Visibility", KDataTypeFindByName("Visibility"), 1);
    KProperty* visibilityProperty = mInternal->Property(eNodeVisibility);
    if (visibility != nullptr) {
        if (KFCurve* curve = KFCurveCreate()) {
            curve->SetDefaultValue(
                static_cast<float>(visibilityProperty != nullptr ? visibilityProperty->GetDouble() : 1.0));
            curve->SetColor(0.75f, 0.0f, 0.0f);
            visibility->SetCurve(curve);
            if (isDefault) LinkPropertyCurve(visibilityProperty, 0, curve);
        }
    }
    root->AddChild(transform);
    if (visibility != nullptr) root->AddChild(visibility);
}

void KDuzNode::PropertyChanged(KDuzProperty& property) {
    TouchTransforms();
    KDuzTakeNodeContainer::PropertyChanged(property);
}

}  // namespace duzsdk
