#include "sdk/scene/KDuzScene.h"

#include "sdk/animation/KDuzTakeNodeContainer.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/KPlugType.h"
#include "sdk/scene/KDuzCameraSwitcher.h"
#include "sdk/scene/KDuzGenericNode.h"
#include "sdk/scene/KDuzGlobalCameraSettings.h"
#include "sdk/scene/KDuzGlobalLightSettings.h"
#include "sdk/scene/KDuzGlobalSettings.h"
#include "sdk/scene/KDuzGlobalTimeSettings.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzPose.h"
#include "sdk/scene/KDuzSceneInfo.h"

#include <string>
#include <unordered_set>
#include <vector>

namespace duzsdk {

namespace {

constexpr int kTypeNumber = PlugTypeNumberOf("KDuzScene_internal");

constexpr const char* kSceneErrorTexts[KDuzScene::eErrorCount] = {
    "Take error.",
    "KDuz object is null.",
    "KDuz object is already owned by the Scene.",
    "KDuz object does not belong to the Scene.",
};

constexpr const char* kRootNodeName = "RootNode";
constexpr const char* kCameraSwitcherNodeName = "Camera Switcher";
constexpr const char* kGlobalSettingsName = "GlobalSettings";

std::vector<KDuzNode*> ChildrenOf(const KDuzNode* node) {
    std::vector<KDuzObject*> objects;
    KDuzCollectSrcObjects(node, KDuzNode::ClassId(), objects);
    std::vector<KDuzNode*> children;
    children.reserve(objects.size());
    for (KDuzObject* object : objects) {
        if (auto* child = dynamic_cast<KDuzNode*>(object)) children.push_back(child);
    }
    return children;
}

// Destroys every source of the plug through weak references taken up front,
// so an object that takes others with it is not destroyed twice. The last
// source goes first: each then leaves the end of the connection lists, which
// keeps emptying a large scene linear. Stops when a pass removes nothing.
void DestroyAllSources(KDuzObject* owner, bool recursive, bool dependents) {
    std::vector<KDuzObject*> sources;
    KDuzCollectSrcObjects(owner, KClassId(), sources);
    while (!sources.empty()) {
        std::vector<HdlKObject> handles;
        handles.reserve(sources.size());
        for (KDuzObject* source : sources) handles.push_back(HdlKObject::FromPlug(source->GetInternalPlug()));
        for (auto it = handles.rbegin(); it != handles.rend(); ++it) {
            KDuzObject* source = KDuzGetPublicObject(it->Get());
            if (source != nullptr && owner->IsConnectedSrcObject(source)) source->Destroy(recursive, dependents);
        }
        const size_t before = sources.size();
        KDuzCollectSrcObjects(owner, KClassId(), sources);
        if (sources.size() >= before) return;   // nothing went: do not spin
    }
}

// Keeps only the default take node (index 0).
void RemoveTakeNodesButDefault(KDuzNode* node) {
    if (node == nullptr) return;
    while (node->GetTakeNodeCount() > 1) {
        if (!node->RemoveTakeNode(node->GetTakeNodeCount() - 1)) return;
    }
}

bool HasAttributeOfType(const KDuzNode* node, int type) {
    const int count = node->GetNodeAttributeCount();
    for (int i = 0; i < count; ++i) {
        if (KDuzNode::GetAttributeTypeOf(node->GetNodeAttributeByIndex(i)) == type) return true;
    }
    return false;
}

}  // namespace

void KDuzCollectSrcObjects(const KDuzPlug* plug, const KClassId& classId, std::vector<KDuzObject*>& out) {
    out.clear();
    const KPlug* internal = plug != nullptr ? plug->GetInternalPlug() : nullptr;
    if (internal == nullptr) return;
    const KClassId kept = classId.IsValid() ? classId : KDuzObject::ClassId();
    const int count = internal->GetSourceCount();
    for (int i = 0; i < count; ++i) {
        KDuzObject* object = KDuzGetPublicObject(internal->GetSource(i));
        if (object != nullptr && object->IsRuntime(kept)) out.push_back(object);
    }
}

KPlugTypeInfo* KDuzScene_internal::GetPlugTypeInfo() const { return PlugTypeInfoGetRecord(kTypeNumber); }

int KDuzScene_internal::GetStaticTypeNumber() const { return kTypeNumber; }

// ---- life ----------------------------------------------------------------------

KDuzScene::KDuzScene(KDuzSdkManager* manager, const char* name)
    : KDuzObject(manager, name),
      mSdkManager(manager),
      mTakeDescriptions(16),
      mError(kSceneErrorTexts, eErrorCount) {
    // The internal object first: connections need it on both sides.
    SetInternalObject(new KDuzScene_internal(this));
    if (manager != nullptr) {
        mRootNode = KDuzNode::Create(manager, kRootNodeName);
        if (mRootNode != nullptr) mRootNode->ConnectToScene(this);
        CreateCameraSwitcherNode();
    }
    mLightSettings = new KDuzGlobalLightSettings();
    mCameraSettings = new KDuzGlobalCameraSettings(manager, this);
    mTimeSettings = new KDuzGlobalTimeSettings();
    CreateGlobalSettingsObject();
}

KDuzScene::~KDuzScene() {
    // Normally DestroyContents has freed these already.
    DeleteSettings();
    KDuzTakeDescriptionArrayDeleteAll(mTakeDescriptions);
}

KDuzScene* KDuzScene::Create(KDuzSdkManager* manager, const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<KDuzScene*>(manager->CreateObject(ClassId(), name));
}

KDuzPlug* KDuzScene::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* scene = new KDuzScene(manager, name);
    scene->PostCreate();
    return scene;
}

KClassId KDuzScene::ClassId() { return KDuzClassIdOf(eDuzClassScene); }

KClassId KDuzScene::GetClassId() const { return ClassId(); }

void KDuzScene::PostCreate() {
    if (GetInternalObject() == nullptr) SetInternalObject(new KDuzScene_internal(this));
    KDuzObject::PostCreate();
}

bool KDuzScene::ConnectNotify(const KDuzConnectEvent& event) {
    if (event.code == eDuzConnectAskDestination && event.destination == this &&
        event.source != nullptr) {
        auto* source = dynamic_cast<KDuzObject*>(event.source);
        if (source != nullptr && IsConnectedSrcObject(source)) return false;
    }
    return KDuzObject::ConnectNotify(event);
}

void KDuzScene::DeleteSettings() {
    delete mLightSettings;
    mLightSettings = nullptr;
    delete mCameraSettings;
    mCameraSettings = nullptr;
    delete mTimeSettings;
    mTimeSettings = nullptr;
}

void KDuzScene::DestroySceneInfo() {
    KDuzObject* info = KDuzGetPublicObject(mSceneInfo.Get());
    mSceneInfo = HdlKObject();
    if (info != nullptr) info->Destroy(false, false);
}

void KDuzScene::DestroyContents(bool recursive, bool dependents) {
    DestroySceneInfo();
    DeleteSettings();
    KDuzTakeDescriptionArrayDeleteAll(mTakeDescriptions);
    if (recursive) DestroyAllSources(this, false, false);
    KDuzObject::DestroyContents(recursive, dependents);
    // The nodes went with the sources.
    mRootNode = nullptr;
    mCameraSwitcherNode = nullptr;
}

void KDuzScene::CreateGlobalSettingsObject() {
    if (mSdkManager == nullptr) return;
    if (KDuzGlobalSettings* settings = KDuzGlobalSettings::Create(mSdkManager, kGlobalSettingsName))
        ConnectObject(settings);
}

// ---- fields --------------------------------------------------------------------

void KDuzScene::SetCameraSwitcherNode(KDuzNode* node) {
    // Setting the node it already holds must not free that node.
    if (node == mCameraSwitcherNode) return;
    if (mCameraSwitcherNode != nullptr) mCameraSwitcherNode->Destroy(false, false);
    mCameraSwitcherNode = node;
}

KDuzSceneInfo* KDuzScene::GetSceneInfo() const {
    return dynamic_cast<KDuzSceneInfo*>(KDuzGetPublicObject(mSceneInfo.Get()));
}

KDuzSceneInfo* KDuzScene::SetSceneInfo(KDuzSceneInfo* info) {
    mSceneInfo = info != nullptr ? HdlKObject::FromPlug(info->GetInternalPlug()) : HdlKObject();
    return info;
}

KDuzGlobalSettings* KDuzScene::GetGlobalSettings() const {
    return dynamic_cast<KDuzGlobalSettings*>(GetSrcObject(KDuzClassIdOf(eDuzClassGlobalSettings), 0));
}

bool KDuzScene::ConnectObject(KDuzObject* object) { return ConnectSrcObject(object); }

// ---- objects by class ----------------------------------------------------------

int KDuzScene::CountOf(int classIndex) const {
    const KClassId classId = KDuzClassIdOf(static_cast<EDuzClass>(classIndex));
    return classId.IsValid() ? GetSrcObjectCount(classId) : 0;
}

KDuzObject* KDuzScene::ObjectOf(int classIndex, int index) const {
    const KClassId classId = KDuzClassIdOf(static_cast<EDuzClass>(classIndex));
    return classId.IsValid() ? GetSrcObject(classId, index) : nullptr;
}

KDuzObject* KDuzScene::FindOf(int classIndex, const char* name) const {
    if (name == nullptr) return nullptr;
    const KClassId classId = KDuzClassIdOf(static_cast<EDuzClass>(classIndex));
    return classId.IsValid() ? FindSrcObject(classId, name, 0) : nullptr;
}

int KDuzScene::GetMaterialCount() const { return CountOf(eDuzClassSurfaceMaterial); }
KDuzObject* KDuzScene::GetMaterial(int index) const { return ObjectOf(eDuzClassSurfaceMaterial, index); }
KDuzObject* KDuzScene::FindMaterial(const char* name) const { return FindOf(eDuzClassSurfaceMaterial, name); }
int KDuzScene::GetTextureCount() const { return CountOf(eDuzClassTexture); }
KDuzObject* KDuzScene::GetTexture(int index) const { return ObjectOf(eDuzClassTexture, index); }
KDuzObject* KDuzScene::FindTexture(const char* name) const { return FindOf(eDuzClassTexture, name); }
int KDuzScene::GetNodeCount() const { return CountOf(eDuzClassNode); }
KDuzNode* KDuzScene::GetNode(int index) const {
    return static_cast<KDuzNode*>(ObjectOf(eDuzClassNode, index));
}
KDuzNode* KDuzScene::FindNode(const char* name) const {
    return static_cast<KDuzNode*>(FindOf(eDuzClassNode, name));
}
int KDuzScene::GetGeometryCount() const { return CountOf(eDuzClassGeometry); }
KDuzObject* KDuzScene::GetGeometry(int index) const { return ObjectOf(eDuzClassGeometry, index); }
int KDuzScene::GetVideoCount() const { return CountOf(eDuzClassVideo); }
KDuzObject* KDuzScene::GetVideo(int index) const { return ObjectOf(eDuzClassVideo, index); }
int KDuzScene::GetTakeNodeContainerCount() const { return CountOf(eDuzClassTakeNodeContainer); }
KDuzTakeNodeContainer* KDuzScene::GetTakeNodeContainer(int index) const {
    return dynamic_cast<KDuzTakeNodeContainer*>(ObjectOf(eDuzClassTakeNodeContainer, index));
}
int KDuzScene::GetGenericNodeCount() const { return CountOf(eDuzClassGenericNode); }
KDuzGenericNode* KDuzScene::GetGenericNode(int index) const {
    return dynamic_cast<KDuzGenericNode*>(ObjectOf(eDuzClassGenericNode, index));
}
KDuzGenericNode* KDuzScene::FindGenericNode(const char* name) const {
    return dynamic_cast<KDuzGenericNode*>(FindOf(eDuzClassGenericNode, name));
}
int KDuzScene::GetCharacterCount() const { return CountOf(eDuzClassCharacter); }
KDuzObject* KDuzScene::GetCharacter(int index) const { return ObjectOf(eDuzClassCharacter, index); }
int KDuzScene::GetControlSetPlugCount() const { return CountOf(eDuzClassControlSetPlug); }
KDuzObject* KDuzScene::GetControlSetPlug(int index) const { return ObjectOf(eDuzClassControlSetPlug, index); }
int KDuzScene::GetCharacterPoseCount() const { return CountOf(eDuzClassCharacterPose); }
KDuzObject* KDuzScene::GetCharacterPose(int index) const { return ObjectOf(eDuzClassCharacterPose, index); }
int KDuzScene::GetPoseCount() const { return CountOf(eDuzClassPose); }
KDuzPose* KDuzScene::GetPose(int index) const {
    return dynamic_cast<KDuzPose*>(ObjectOf(eDuzClassPose, index));
}

int KDuzScene::CreateAndConnect(int classIndex, const char* name) {
    if (mSdkManager == nullptr) return -1;
    const KClassId classId = KDuzClassIdOf(static_cast<EDuzClass>(classIndex));
    if (!classId.IsValid()) return -1;
    auto* object = dynamic_cast<KDuzObject*>(mSdkManager->CreateObject(classId, name));
    // A failed create or connect must not report the index of another object.
    if (object == nullptr) return -1;
    if (!ConnectObject(object)) {
        object->Destroy(false, false);
        return -1;
    }
    return GetSrcObjectCount(classId) - 1;
}

int KDuzScene::CreateCharacter(const char* name) { return CreateAndConnect(eDuzClassCharacter, name); }
int KDuzScene::CreateControlSetPlug(const char* name) { return CreateAndConnect(eDuzClassControlSetPlug, name); }
int KDuzScene::CreateCharacterPose(const char* name) { return CreateAndConnect(eDuzClassCharacterPose, name); }

bool KDuzScene::DestroyCharacterPose(int index) {
    KDuzObject* pose = GetCharacterPose(index);
    if (pose == nullptr) return false;
    pose->Destroy(false, false);
    return true;
}

// ---- array fillers -------------------------------------------------------------

void KDuzScene::FillTextureArray(KPointerArray<KDuzObject>& array) const {
    array.Clear();
    std::vector<KDuzObject*> objects;
    KDuzCollectSrcObjects(this, KDuzClassIdOf(eDuzClassTexture), objects);
    for (KDuzObject* object : objects) array.Add(object);
}

void KDuzScene::FillMaterialArray(KPointerArray<KDuzObject>& array) const {
    array.Clear();
    std::vector<KDuzObject*> objects;
    KDuzCollectSrcObjects(this, KDuzClassIdOf(eDuzClassSurfaceMaterial), objects);
    for (KDuzObject* object : objects) array.Add(object);
}

std::vector<KDuzTakeNodeContainer*> KDuzScene::TakeNodeContainers() const {
    std::vector<KDuzObject*> objects;
    KDuzCollectSrcObjects(this, KDuzClassIdOf(eDuzClassTakeNodeContainer), objects);
    std::vector<KDuzTakeNodeContainer*> containers;
    containers.reserve(objects.size());
    for (KDuzObject* object : objects) {
        if (auto* container = dynamic_cast<KDuzTakeNodeContainer*>(object)) containers.push_back(container);
    }
    return containers;
}

void KDuzScene::FillTakeNameList(KPointerArray<KString>& array) const {
    for (KString* text : array) delete text;
    array.Clear();
    // A set beside the list keeps this linear in the number of take nodes.
    std::unordered_set<std::string> seen;
    for (KDuzTakeNodeContainer* container : TakeNodeContainers()) {
        const int takes = container->GetTakeNodeCount();
        for (int t = 0; t < takes; ++t) {
            const char* name = container->GetTakeNodeName(t);
            if (name == nullptr || !seen.insert(name).second) continue;
            array.Add(new KString(name));
        }
    }
}

void KDuzScene::FillNodeAttributeList(KPointerArray<KDuzNode>& array, int type, bool recursive) const {
    array.Clear();
    if (!recursive) {
        std::vector<KDuzObject*> nodes;
        KDuzCollectSrcObjects(this, KDuzNode::ClassId(), nodes);
        for (KDuzObject* object : nodes) {
            auto* node = dynamic_cast<KDuzNode*>(object);
            if (node != nullptr && HasAttributeOfType(node, type)) array.Add(node);
        }
        return;
    }
    // Pre-order from the root, children in index order; an explicit stack so
    // a deep tree from a file cannot exhaust the call stack.
    std::vector<KDuzNode*> stack;
    if (mRootNode != nullptr) stack.push_back(mRootNode);
    while (!stack.empty()) {
        KDuzNode* node = stack.back();
        stack.pop_back();
        if (HasAttributeOfType(node, type)) array.Add(node);
        const std::vector<KDuzNode*> children = ChildrenOf(node);
        stack.insert(stack.end(), children.rbegin(), children.rend());
    }
}

// ---- takes ---------------------------------------------------------------------

bool KDuzScene::SetCurrentTake(const char* name) {
    mCurrentTakeName = name != nullptr ? name : "";
    bool all = true;
    for (KDuzTakeNodeContainer* container : TakeNodeContainers()) {
        if (!container->SetCurrentTakeNodeByName(mCurrentTakeName.Buffer())) all = false;
    }
    if (!all) {
        KString text("Not all nodes have a take node called ");
        text += mCurrentTakeName;
        mError.SetLastErrorWithText(eTakeError, text.Buffer());
    }
    return all;
}

KDuzTakeDescription* KDuzScene::GetTakeDescription(const KString& name) const {
    for (KDuzTakeDescription* description : mTakeDescriptions) {
        if (description->name.EqualsString(name)) return description;
    }
    return nullptr;
}

bool KDuzScene::SetTakeDescription(const KDuzTakeDescription& description) {
    if (!HasTakeName(description.name)) return false;
    if (KDuzTakeDescription* existing = GetTakeDescription(description.name)) {
        if (existing != &description) existing->Assign(description);
        return true;
    }
    auto* record = new KDuzTakeDescription;
    record->Assign(description);
    mTakeDescriptions.Add(record);
    return true;
}

bool KDuzScene::HasTakeName(const KString& name) const {
    for (KDuzTakeNodeContainer* container : TakeNodeContainers()) {
        const int takes = container->GetTakeNodeCount();
        for (int t = 0; t < takes; ++t) {
            const char* take = container->GetTakeNodeName(t);
            if (take != nullptr && name.EqualsText(take)) return true;
        }
    }
    return false;
}

// ---- whole scene ---------------------------------------------------------------

void KDuzScene::CreateCameraSwitcherNode() {
    mCameraSwitcherNode = mSdkManager != nullptr ? KDuzNode::Create(mSdkManager, kCameraSwitcherNodeName) : nullptr;
    if (mCameraSwitcherNode == nullptr) return;
    mCameraSwitcherNode->ConnectToScene(this);
    mCameraSwitcherNode->SetVisibility(false);
    mCameraSwitcherNode->SetShadingMode(1);
    mCameraSwitcherNode->SetNodeAttribute(KDuzCameraSwitcher::Create(mSdkManager, ""));
}

void KDuzScene::SetUpCameraSwitcherNode() {
    if (mCameraSwitcherNode == nullptr) return;
    mCameraSwitcherNode->SetName(kCameraSwitcherNodeName, false);
    mCameraSwitcherNode->SetVisibility(false);
    mCameraSwitcherNode->SetShadingMode(1);
    if (auto* switcher = dynamic_cast<KDuzCameraSwitcher*>(mCameraSwitcherNode->GetNodeAttribute())) {
        switcher->SetDefaultCameraIndex(0);
        // The names belong to the cameras of the scene being cleared.
        switcher->ClearCameraNames();
    }
}

void KDuzScene::Clear() {
    KDuzObject* switcher = mCameraSwitcherNode != nullptr ? mCameraSwitcherNode->GetNodeAttribute() : nullptr;
    KDuzObject* kept[] = {mRootNode, mCameraSwitcherNode, switcher};
    // Weak handles: a file may have put either node below one of its own,
    // and whatever still takes one along must not leave a dangling pointer.
    HdlKObject handles[3];
    for (int i = 0; i < 3; ++i) {
        if (kept[i] != nullptr) handles[i] = HdlKObject::FromPlug(kept[i]->GetInternalPlug());
    }
    for (KDuzNode* node : {mRootNode, mCameraSwitcherNode}) {
        if (node == nullptr) continue;
        if (KDuzNode* parent = node->GetParent()) parent->RemoveChild(node);
    }
    for (KDuzObject* object : kept) {
        if (object != nullptr) DisconnectSrcObject(object);
    }
    // A file may have placed the camera switcher's node below another node,
    // which takes its children with it when it goes.
    if (mCameraSwitcherNode != nullptr)
        if (KDuzNode* parent = mCameraSwitcherNode->GetParent()) parent->RemoveChild(mCameraSwitcherNode);
    DestroyAllSources(this, true, true);
    mRootNode = dynamic_cast<KDuzNode*>(KDuzGetPublicObject(handles[0].Get()));
    mCameraSwitcherNode = dynamic_cast<KDuzNode*>(KDuzGetPublicObject(handles[1].Get()));
    for (const HdlKObject& handle : handles) {
        // The switcher's attribute may have come back with its node.
        KDuzObject* object = KDuzGetPublicObject(handle.Get());
        if (object != nullptr && !IsConnectedSrcObject(object)) ConnectObject(object);
    }
    if (mRootNode == nullptr && mSdkManager != nullptr) {
        mRootNode = KDuzNode::Create(mSdkManager, kRootNodeName);
        if (mRootNode != nullptr) mRootNode->ConnectToScene(this);
    }
    if (mCameraSwitcherNode == nullptr) CreateCameraSwitcherNode();
    RemoveTakeNodesButDefault(mRootNode);
    SetUpCameraSwitcherNode();
    RemoveTakeNodesButDefault(mCameraSwitcherNode);
    DestroySceneInfo();
    if (mLightSettings != nullptr) mLightSettings->RestoreDefaultSettings();
    if (mCameraSettings != nullptr) mCameraSettings->RestoreDefaultSettings();
    if (mTimeSettings != nullptr) mTimeSettings->RestoreDefaultSettings();
    CreateGlobalSettingsObject();
    mCurrentTakeName = "";
    KDuzTakeDescriptionArrayDeleteAll(mTakeDescriptions);
}

void KDuzScene::ConvertSkeletonInheritTypes(KDuzNode* node) {
    // Old files stored a skeleton below a non-skeleton parent with inherit
    // type 2; such a child now inherits its parent's scaling fully (type 1).
    std::vector<KDuzNode*> stack;
    if (node != nullptr) stack.push_back(node);
    while (!stack.empty()) {
        KDuzNode* parent = stack.back();
        stack.pop_back();
        const bool parentIsSkeleton = parent->GetSkeleton() != nullptr;
        const std::vector<KDuzNode*> children = ChildrenOf(parent);
        for (auto it = children.rbegin(); it != children.rend(); ++it) {
            KDuzNode* child = *it;
            if (child->GetLegacyModel() && child->GetSkeleton() != nullptr && !parentIsSkeleton &&
                child->GetTransformationInheritType() == 2)
                child->SetTransformationInheritType(1);
            stack.push_back(child);
        }
    }
}

namespace {

KDuzSceneLayerPasses& LayerPasses() {
    static KDuzSceneLayerPasses passes;
    return passes;
}

}  // namespace

void KDuzSceneSetLayerPasses(const KDuzSceneLayerPasses& passes) { LayerPasses() = passes; }

void KDuzScene::ConnectLayerMaterialsToNodes() {
    if (auto pass = LayerPasses().connectLayerMaterialsToNodes) pass(*this);
}

void KDuzScene::ConnectLayerTexturesToNodes() {
    for (int type : kDuzSceneTextureLayerTypes) ConnectLayerTexturesToNode(type);
}

void KDuzScene::ConnectLayerTexturesToNode(int layerElementType) {
    if (auto pass = LayerPasses().connectLayerTexturesToNode) pass(*this, layerElementType);
}

void KDuzScene::ConnectNodeMaterialsToLayers() {
    if (auto pass = LayerPasses().connectNodeMaterialsToLayers) pass(*this);
}

void KDuzScene::ConnectNodeTexturesToLayers() {
    for (int type : kDuzSceneTextureLayerTypes) ConnectNodeTexturesToLayer(type);
}

void KDuzScene::ConnectNodeTexturesToLayer(int layerElementType) {
    if (auto pass = LayerPasses().connectNodeTexturesToLayer) pass(*this, layerElementType);
}

void KDuzScene::CreateVideosForTextures() {
    if (auto pass = LayerPasses().createVideosForTextures) pass(*this);
}

bool KDuzScene::CreateVideoForObject(const char* name, KDuzObject* object, const char* fileName,
                                     const char* relativeFileName, const char* mediaName) {
    auto pass = LayerPasses().createVideoForObject;
    return pass != nullptr && pass(*this, name, object, fileName, relativeFileName, mediaName);
}

bool KDuzScene::ConvertNurbsSurfacesToNurbs() {
    auto pass = LayerPasses().convertNurbsSurfacesToNurbs;
    return pass != nullptr && pass(*this);
}

void KDuzScene::RecomputeMeshNormals() {
    if (auto pass = LayerPasses().recomputeMeshNormals) pass(*this);
}

void KDuzScene::RemoveNurbsCurves() {
    KPointerArray<KDuzNode> nodes;
    FillNodeAttributeList(nodes, eNurbsCurve, false);
    for (KDuzNode* node : nodes) {
        // The node hands back its previous default detached; it is not wanted.
        if (KDuzObject* previous = node->SetNodeAttribute(nullptr)) previous->Destroy(false, false);
    }
}

}  // namespace duzsdk
