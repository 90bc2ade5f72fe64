#include "sdk/scene/KDuzPose.h"

#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/KPlugType.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

#include <vector>

namespace duzsdk {

namespace {

constexpr int kTypeNumber = PlugTypeNumberOf("KDuzPose_internal");

constexpr const char* kPoseErrorTexts[KDuzPose::eErrorCount] = {
    "Error",
    "This object is not a BindPose.",
    "The pRoot pointer is NULL.",
    "Not all the parents are stored in this BindPose.",
    "Not all the deformers are stored in this BindPose.",
    "Not all the deformers parents are stored in this BindPose.",
    "The relative matrices do not match.",
};

// Served for lookups out of range. It is never written, so one caller
// cannot change what another one reads.
const KgeMatrix& IdentityMatrix() {
    static const KgeMatrix identity;
    return identity;
}

// Every live pose of the process. A dying node asks every pose of its
// manager to drop it; walking this short list keeps that from searching the
// manager's whole object registry for each node destroyed.
std::vector<KDuzPose*>& LivePoses() {
    // Never destroyed: a pose may outlive static destruction at exit.
    static auto* poses = new std::vector<KDuzPose*>;
    return *poses;
}

bool IsInAScene(const KDuzPose* pose) {
    return pose->GetDstObjectCount(KDuzClassIdOf(eDuzClassScene)) > 0;
}

// Passes type 0 for every pose, 1 for bind poses, 2 for rest poses.
bool PoseHasType(const KDuzPose* pose, int type) {
    switch (type) {
        case 0: return true;
        case 1: return pose->IsBindPose();
        case 2: return pose->IsRestPose();
        default: return false;
    }
}

}  // namespace

KPlugTypeInfo* KDuzPose_internal::GetPlugTypeInfo() const { return PlugTypeInfoGetRecord(kTypeNumber); }

int KDuzPose_internal::GetStaticTypeNumber() const { return kTypeNumber; }

// ---- life ----------------------------------------------------------------------

KDuzPose::KDuzPose(KDuzSdkManager* manager, const char* name)
    : KDuzObject(manager, name), mError(kPoseErrorTexts, eErrorCount) {
    LivePoses().push_back(this);
}

KDuzPose::~KDuzPose() {
    DeleteEntries();
    auto& poses = LivePoses();
    for (size_t i = 0; i < poses.size(); ++i) {
        if (poses[i] == this) {
            poses[i] = poses.back();
            poses.pop_back();
            break;
        }
    }
}

KDuzPose* KDuzPose::Create(KDuzSdkManager* manager, const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<KDuzPose*>(manager->CreateObject(ClassId(), name));
}

KDuzPlug* KDuzPose::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* pose = new KDuzPose(manager, name);
    pose->PostCreate();
    return pose;
}

KClassId KDuzPose::ClassId() { return KDuzClassIdOf(eDuzClassPose); }

KClassId KDuzPose::GetClassId() const { return ClassId(); }

void KDuzPose::PostCreate() {
    if (GetInternalObject() == nullptr) SetInternalObject(new KDuzPose_internal(this));
    KDuzObject::PostCreate();
    WrapInternalProperties();
}

void KDuzPose::DeleteEntries() {
    for (KDuzPoseInfo* entry : mEntries) delete entry;
    mEntries.Clear();
}

void KDuzPose::DestroyContents(bool recursive, bool dependents) {
    DeleteEntries();
    KDuzObject::DestroyContents(recursive, dependents);
}

KDuzObject* KDuzPose::Clone(int mode) {
    // The copy takes the name and the kind; its entries start empty.
    if (mode != 2 || GetSdkManager() == nullptr) return nullptr;
    KDuzPose* copy = Create(GetSdkManager(), GetName());
    if (copy != nullptr) copy->mKind = mKind;
    return copy;
}

KString KDuzPose::GetTypeName() const { return KString(IsBindPose() ? "BindPose" : "RestPose"); }

// ---- entries -------------------------------------------------------------------

bool KDuzPose::CheckNodeMatrix(const KDuzNode* node, const KgeMatrix& matrix, int& index) const {
    index = Find(node);
    if (index < 0) return true;
    return mEntries[index]->matrix.IsEqual(matrix);
}

int KDuzPose::Add(KDuzNode* node, const KgeMatrix& matrix, bool local) {
    if (node == nullptr) return -1;
    int index = -1;
    if (IsBindPose()) {
        // A node has one bind matrix across the bind poses of the manager's
        // scenes.
        for (const KDuzPose* other : LivePoses()) {
            if (other == this || other->GetSdkManager() != GetSdkManager() || !other->IsBindPose() ||
                !IsInAScene(other))
                continue;
            int otherIndex = -1;
            if (!other->CheckNodeMatrix(node, matrix, otherIndex)) return -1;
        }
    }
    if (!CheckNodeMatrix(node, matrix, index)) return -1;
    // A node already in the pose keeps its first matrix.
    if (index >= 0) return index;
    auto* entry = new KDuzPoseInfo;
    entry->matrix = matrix;
    entry->local = local;
    entry->node = node;
    return mEntries.Add(entry);
}

void KDuzPose::Remove(int index) {
    if (!mEntries.IsValidIndex(index)) return;
    KDuzPoseInfo* entry = mEntries[index];
    mEntries.RemoveAt(index);
    delete entry;
}

int KDuzPose::RemoveNode(const KDuzNode* node) {
    if (node == nullptr || Find(node) < 0) return 0;
    int removed = 0;
    int kept = 0;
    // One pass keeps it linear in the entry count.
    for (int i = 0; i < mEntries.Count(); ++i) {
        KDuzPoseInfo* entry = mEntries[i];
        if (entry->node == node) {
            delete entry;
            ++removed;
        } else {
            mEntries[kept++] = entry;
        }
    }
    if (removed > 0) mEntries.SetCount(kept);
    return removed;
}

int KDuzPose::Find(const KDuzNode* node) const {
    if (node == nullptr) return -1;
    for (int i = 0; i < mEntries.Count(); ++i) {
        if (mEntries[i]->node == node) return i;
    }
    return -1;
}

KDuzNode* KDuzPose::GetNode(int index) const {
    return mEntries.IsValidIndex(index) ? mEntries[index]->node : nullptr;
}

const KgeMatrix& KDuzPose::GetMatrix(int index) const {
    return mEntries.IsValidIndex(index) ? mEntries[index]->matrix : IdentityMatrix();
}

bool KDuzPose::IsLocalMatrix(int index) const {
    return mEntries.IsValidIndex(index) && mEntries[index]->local;
}

KDuzObjectName KDuzPose::GetNodeName(int index) const {
    // One named result on every path, so it is returned in place: a copy of
    // a name record does not carry the extra name.
    KDuzObjectName name;
    if (const KDuzNode* node = GetNode(index)) {
        name = node->GetNameRecord();
        name.SetExtraName(node->GetNameExtra());
    }
    return name;
}

// ---- lookups over scenes ---------------------------------------------------------

bool KDuzPoseGetPosesContaining(int type, KDuzScene* scene, KDuzNode* node,
                                KPointerArray<KDuzPose>& poses, KTypedArray<int>& indices) {
    if (scene == nullptr || node == nullptr) return false;
    bool found = false;
    std::vector<KDuzObject*> objects;
    KDuzCollectSrcObjects(scene, KDuzPose::ClassId(), objects);
    for (KDuzObject* object : objects) {
        auto* pose = dynamic_cast<KDuzPose*>(object);
        if (pose == nullptr || !PoseHasType(pose, type)) continue;
        const int index = pose->Find(node);
        if (index < 0) continue;
        poses.Add(pose);
        indices.Add(index);
        found = true;
    }
    return found;
}

bool KDuzPoseGetPosesContainingInManager(KDuzSdkManager* manager, KDuzNode* node,
                                         KPointerArray<KDuzPose>& poses, KTypedArray<int>& indices) {
    if (manager == nullptr || node == nullptr) return false;
    bool found = false;
    const KClassId sceneClass = KDuzScene::ClassId();
    const int count = manager->GetObjectCount(sceneClass);
    for (int s = 0; s < count; ++s) {
        auto* scene = dynamic_cast<KDuzScene*>(manager->GetObject(sceneClass, s));
        if (KDuzPoseGetPosesContaining(0, scene, node, poses, indices)) found = true;
    }
    return found;
}

void KDuzPoseRemoveNodeFromAllPoses(KDuzSdkManager* manager, const KDuzNode* node) {
    if (manager == nullptr || node == nullptr) return;
    for (KDuzPose* pose : LivePoses()) {
        if (pose->GetSdkManager() == manager) pose->RemoveNode(node);
    }
}

}  // namespace duzsdk
