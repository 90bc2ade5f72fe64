#include "sdk/character/KDuzCharacterPose.h"

#include "sdk/character/KDuzCharacter.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

#include <new>
#include <vector>

namespace duzsdk {

namespace {

constexpr int kPoseTypeNumber = PlugTypeNumberOf("KDuzCharacterPose_internal");

class KDuzCharacterPose_internal : public KDuzObject_internal {
public:
    explicit KDuzCharacterPose_internal(KDuzObject* owner) : KDuzObject_internal(owner) {}
    KPlugTypeInfo* GetPlugTypeInfo() const override { return PlugTypeInfoGetRecord(kPoseTypeNumber); }
    int GetStaticTypeNumber() const override { return kPoseTypeNumber; }
};

KDuzNode* FindByName(const KDuzNode* root, const KDuzNode* node) {
    if (root == nullptr || node == nullptr) return nullptr;
    return root->FindChild(node->GetName(), true);
}

}  // namespace

KDuzCharacterPose::KDuzCharacterPose(KDuzSdkManager* manager, const char* name) : KDuzObject(manager, name) {}

KDuzCharacterPose::~KDuzCharacterPose() {
    if (KDuzScene* scene = GetScene()) scene->Destroy(true, true);
}

KDuzScene* KDuzCharacterPose::GetScene() const {
    return dynamic_cast<KDuzScene*>(KDuzGetPublicObject(mScene.Get()));
}

KDuzCharacterPose* KDuzCharacterPose::Create(KDuzSdkManager* manager, const char* name) {
    return manager != nullptr ? dynamic_cast<KDuzCharacterPose*>(manager->CreateObject(ClassId(), name)) : nullptr;
}

KDuzPlug* KDuzCharacterPose::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* pose = new (std::nothrow) KDuzCharacterPose(manager, name);
    if (pose != nullptr) pose->PostCreate();
    return pose;
}

KClassId KDuzCharacterPose::ClassId() { return KDuzClassIdOf(eDuzClassCharacterPose); }

void KDuzCharacterPose::PostCreate() {
    if (GetInternalObject() == nullptr) SetInternalObject(new KDuzCharacterPose_internal(this));
    if (GetScene() != nullptr) return;
    KDuzScene* scene = KDuzScene::Create(GetSdkManager(), "");
    if (scene == nullptr) return;
    mScene = HdlKObject::FromPlug(scene->GetInternalPlug());
    scene->Clear();
    scene->CreateCharacter("PoseCharacter");
}

void KDuzCharacterPose::DestroyContents(bool recursive, bool dependents) {
    if (KDuzScene* scene = GetScene()) {
        mScene = HdlKObject();
        scene->Destroy(true, true);
    }
    KDuzObject::DestroyContents(recursive, dependents);
}

KDuzNode* KDuzCharacterPose::GetRootNode() const {
    KDuzScene* scene = GetScene();
    return scene != nullptr ? scene->GetRootNode() : nullptr;
}

KDuzCharacter* KDuzCharacterPose::GetCharacter() const {
    KDuzScene* scene = GetScene();
    return scene != nullptr ? dynamic_cast<KDuzCharacter*>(scene->GetCharacter(0)) : nullptr;
}

KDuzObject* KDuzCharacterPose::Clone(int mode) {
    if (mode != 2) return nullptr;
    KDuzCharacterPose* copy = Create(GetSdkManager(), GetName());
    if (copy != nullptr) copy->Assign(*this);
    return copy;
}

void KDuzCharacterPose::Assign(const KDuzCharacterPose& other) {
    if (&other == this) return;
    CopyName(other);
    KDuzNode* root = GetRootNode();
    if (root == nullptr) return;
    // A second copy on top of the first would leave stale namesakes that the
    // look-up by name finds first: the old tree goes.
    std::vector<KDuzNode*> children;
    for (int i = 0; i < root->GetChildCount(); ++i) children.push_back(root->GetChild(i));
    for (KDuzNode* child : children) child->Destroy(true, true);
    CopyNodeTree(other.GetRootNode(), root);
    KDuzCharacter* source = other.GetCharacter();
    KDuzCharacter* destination = GetCharacter();
    if (source != nullptr && destination != nullptr) CopyCharacter(*source, *destination, root);
}

void KDuzCharacterPose::CopyNodeTree(const KDuzNode* source, KDuzNode* destination) {
    if (source == nullptr || destination == nullptr) return;
    // An explicit stack: the depth of a file's hierarchy is not bounded.
    std::vector<std::pair<const KDuzNode*, KDuzNode*>> pending{{source, destination}};
    while (!pending.empty()) {
        const auto [from, to] = pending.back();
        pending.pop_back();
        for (int i = 0; i < from->GetChildCount(); ++i) {
            KDuzNode* child = from->GetChild(i);
            auto* clone = child != nullptr ? dynamic_cast<KDuzNode*>(child->Clone(2)) : nullptr;
            if (clone == nullptr) continue;
            to->AddChild(clone);
            pending.emplace_back(child, clone);
        }
    }
}

void KDuzCharacterPose::CopyCharacter(const KDuzCharacter& source, KDuzCharacter& destination, const KDuzNode* root) {
    destination.SetInput(source.GetInputType(), source.GetInputObject());
    for (int id = 0; id < kDuzCharacterNodeCount; ++id) {
        KDuzCharacterLink from;
        if (!source.GetCharacterLink(id, &from) || from.mNode == nullptr) continue;
        KDuzNode* found = FindByName(root, from.mNode);
        if (found == nullptr) continue;
        KDuzCharacterLink link(from);
        link.mNode = found;
        link.mTemplateName = KString();
        destination.SetCharacterLink(id, link, true);
    }
    if (destination.GetSolverParameters() != nullptr && source.GetSolverParameters() != nullptr)
        destination.GetSolverParameters()->CopyFrom(*source.GetSolverParameters());

    const KDuzControlSet* from = source.GetControlSet();
    KDuzControlSet* to = destination.GetControlSet();
    if (from == nullptr || to == nullptr) return;
    to->SetType(from->GetType());
    to->SetLockTransform(from->GetLockTransform());
    to->SetLockPick(from->GetLockPick());
    for (int id = 0; id < kDuzCharacterNodeCount; ++id) {
        KDuzControlSetLink link;
        if (!from->GetControlSetLink(id, &link)) continue;
        if (link.mNode != nullptr) link.mNode = FindByName(root, link.mNode);
        to->SetControlSetLink(id, link);
    }
    for (int e = 0; e < kDuzEffectorCount; ++e) {
        KDuzControlSetEffector effector;
        if (from->GetEffector(e, &effector)) {
            effector.mNode = FindByName(root, effector.mNode);
            if (effector.mNode != nullptr) to->SetEffector(e, effector);
        }
        KDuzNode* aux = nullptr;
        if (from->GetEffectorAux(e, &aux, 1)) {
            if (KDuzNode* found = FindByName(root, aux)) to->SetEffectorAux(e, found, 1);
        }
    }
}

}  // namespace duzsdk
