#include "sdk/character/KDuzControlSet.h"

#include "sdk/character/KDuzCharacterLink.h"
#include "sdk/character/KDuzControlSetPlug.h"
#include "sdk/scene/KDuzNode.h"

#include <cstring>
#include <vector>

namespace duzsdk {

namespace {

constexpr const char* kEffectorNames[kDuzEffectorCount] = {
    "HipsEffector", "LeftAnkleEffector", "RightAnkleEffector", "LeftWristEffector", "RightWristEffector",
    "LeftKneeEffector", "RightKneeEffector", "LeftElbowEffector", "RightElbowEffector", "ChestOriginEffector",
    "ChestEndEffector", "LeftFootEffector", "RightFootEffector", "LeftShoulderEffector", "RightShoulderEffector",
    "HeadEffector", "LeftHipEffector", "RightHipEffector", "LeftHandEffector", "RightHandEffector",
    "LeftHandThumbEffector", "LeftHandIndexEffector", "LeftHandMiddleEffector", "LeftHandRingEffector",
    "LeftHandPinkyEffector", "LeftHandExtraFingerEffector", "RightHandThumbEffector", "RightHandIndexEffector",
    "RightHandMiddleEffector", "RightHandRingEffector", "RightHandPinkyEffector", "RightHandExtraFingerEffector",
    "LeftFootThumbEffector", "LeftFootIndexEffector", "LeftFootMiddleEffector", "LeftFootRingEffector",
    "LeftFootPinkyEffector", "LeftFootExtraFingerEffector", "RightFootThumbEffector", "RightFootIndexEffector",
    "RightFootMiddleEffector", "RightFootRingEffector", "RightFootPinkyEffector", "RightFootExtraFingerEffector",
};

// T active, R active, candidate T active, candidate R active of effectors 0..4.
constexpr bool kDefaultActivity[5][4] = {
    {true, true, false, false}, {true, true, true, true}, {true, true, true, true},
    {true, false, true, false}, {true, false, true, false},
};

bool ValidLink(int id) { return id >= 0 && id < kDuzCharacterNodeCount; }
bool ValidEffector(int id) { return id >= 0 && id < kDuzEffectorCount; }
bool ValidSub(int sub) { return sub >= 1 && sub <= kDuzEffectorAuxCount; }

}  // namespace

KDuzControlSet::KDuzControlSet(KDuzCharacter* owner) : mOwner(owner) { SetDefaultActivity(); }

KDuzControlSet::~KDuzControlSet() { Clear(); }

void KDuzControlSet::AddRecord(KDuzNode* node, int kind, int index, int subIndex) const {
    if (node != nullptr && mOwner != nullptr) node->AddCharacterLink(mOwner, kind, index, subIndex);
}

void KDuzControlSet::RemoveRecord(KDuzNode* node, int kind, int index, int subIndex) const {
    if (node != nullptr && mOwner != nullptr) node->RemoveCharacterLink(mOwner, kind, index, subIndex);
}

void KDuzControlSet::SetDefaultActivity() {
    for (int e = 0; e < 5; ++e) {
        mEffectors[e].mTActive = kDefaultActivity[e][0];
        mEffectors[e].mRActive = kDefaultActivity[e][1];
        mEffectors[e].mCandidateTActive = kDefaultActivity[e][2];
        mEffectors[e].mCandidateRActive = kDefaultActivity[e][3];
    }
}

bool KDuzControlSet::SetControlSetLink(int id, const KDuzControlSetLink& link) {
    if (!ValidLink(id)) return false;
    KDuzControlSetLink& stored = mLinks[id];
    RemoveRecord(stored.mNode, eDuzCharacterLinkControlSet, id, 0);
    if (!link.IsSet()) {
        stored.Reset();
        return true;
    }
    stored.mNode = link.mNode;
    stored.mTemplateName = link.mTemplateName;
    AddRecord(stored.mNode, eDuzCharacterLinkControlSet, id, 0);
    return true;
}

bool KDuzControlSet::GetControlSetLink(int id, KDuzControlSetLink* out) const {
    if (!ValidLink(id) || !mLinks[id].IsSet()) return false;
    if (out != nullptr) *out = mLinks[id];
    return true;
}

bool KDuzControlSet::SetEffector(int id, const KDuzControlSetEffector& effector) {
    if (!ValidEffector(id)) return false;
    KDuzControlSetEffector& stored = mEffectors[id];
    RemoveRecord(stored.mNode, eDuzCharacterLinkEffector, id, 0);
    if (effector.mNode == nullptr) {
        stored.Reset();
        return true;
    }
    stored = effector;
    AddRecord(stored.mNode, eDuzCharacterLinkEffector, id, 0);
    return true;
}

bool KDuzControlSet::GetEffector(int id, KDuzControlSetEffector* out) const {
    if (!ValidEffector(id) || mEffectors[id].mNode == nullptr) return false;
    if (out != nullptr) *out = mEffectors[id];
    return true;
}

const KDuzControlSetEffector* KDuzControlSet::GetEffectorRecord(int id) const {
    return ValidEffector(id) ? &mEffectors[id] : nullptr;
}

bool KDuzControlSet::SetEffectorAux(int id, KDuzNode* node, int subIndex) {
    if (!ValidEffector(id) || !ValidSub(subIndex)) return false;
    KDuzNode*& slot = mAux[id][subIndex - 1];
    RemoveRecord(slot, eDuzCharacterLinkAuxEffector, id, subIndex - 1);
    slot = node;
    AddRecord(slot, eDuzCharacterLinkAuxEffector, id, subIndex - 1);
    return true;
}

bool KDuzControlSet::GetEffectorAux(int id, KDuzNode** out, int subIndex) const {
    if (!ValidEffector(id) || !ValidSub(subIndex) || mAux[id][subIndex - 1] == nullptr) return false;
    if (out != nullptr) *out = mAux[id][subIndex - 1];
    return true;
}

const char* KDuzControlSet::GetEffectorName(int id) { return ValidEffector(id) ? kEffectorNames[id] : nullptr; }

int KDuzControlSet::GetEffectorIdFromName(const char* name) {
    if (name == nullptr) return -1;
    for (int e = 0; e < kDuzEffectorCount; ++e) {
        if (std::strcmp(kEffectorNames[e], name) == 0) return e;
    }
    return -1;
}

void KDuzControlSet::Clear() {
    mType = 0;
    mLockTransform = false;
    mLockPick = false;
    for (int id = 0; id < kDuzCharacterNodeCount; ++id) {
        if (mLinks[id].mNode == nullptr) continue;
        RemoveRecord(mLinks[id].mNode, eDuzCharacterLinkControlSet, id, 0);
        mLinks[id].Reset();
    }
    for (int e = 0; e < kDuzEffectorCount; ++e) {
        RemoveRecord(mEffectors[e].mNode, eDuzCharacterLinkEffector, e, 0);
        mEffectors[e].Reset();
        for (int s = 0; s < kDuzEffectorAuxCount; ++s) {
            RemoveRecord(mAux[e][s], eDuzCharacterLinkAuxEffector, e, s);
            mAux[e][s] = nullptr;
        }
    }
    SetDefaultActivity();
}

void KDuzControlSet::ForgetNode(int kind, int index, int subIndex, const KDuzNode* node) {
    // The node has dropped its records already; only this side is cleared.
    if (kind == eDuzCharacterLinkControlSet && ValidLink(index) && mLinks[index].mNode == node) {
        mLinks[index].mNode = nullptr;
    } else if (kind == eDuzCharacterLinkEffector && ValidEffector(index) && mEffectors[index].mNode == node) {
        mEffectors[index].Reset();
    } else if (kind == eDuzCharacterLinkAuxEffector && ValidEffector(index) && subIndex >= 0 &&
               subIndex < kDuzEffectorAuxCount && mAux[index][subIndex] == node) {
        mAux[index][subIndex] = nullptr;
    }
}

bool KDuzControlSet::FromPlug(KDuzControlSetPlug* plug) {
    if (plug == nullptr) return false;
    Clear();
    mType = plug->GetControlSetType();
    mUseAxis = plug->GetUseAxis();
    for (int i = 0; i < plug->GetLinkPropertyCount(); ++i) {
        const KDuzProperty& property = plug->GetLinkProperty(i);
        const int id = property.GetUserTag() - 1000;
        if (id < 0) continue;
        KDuzControlSetLink link;
        link.mNode = dynamic_cast<KDuzNode*>(property.GetSrcObject(KClassId(), 0));
        SetControlSetLink(id, link);
    }
    for (int i = 0; i < plug->GetEffectorPropertyCount(); ++i) {
        const KDuzProperty& property = plug->GetEffectorProperty(i);
        const int e = property.GetUserTag() - 1000;
        if (e < 0) continue;
        // Connection order is the only position a plug keeps: the first
        // object is the effector, the following ones auxiliaries 1, 2, ...
        const int count = property.GetSrcObjectCount();
        for (int j = 0; j < count; ++j) {
            auto* node = dynamic_cast<KDuzNode*>(property.GetSrcObject(KClassId(), j));
            if (j == 0) {
                KDuzControlSetEffector effector;
                effector.mNode = node;
                SetEffector(e, effector);
            } else {
                SetEffectorAux(e, node, j);
            }
        }
    }
    return true;
}

bool KDuzControlSet::ToPlug(KDuzControlSetPlug* plug) const {
    if (plug == nullptr) return false;
    plug->SetControlSetType(mType);
    plug->SetUseAxis(mUseAxis);
    for (int i = 0; i < plug->GetLinkPropertyCount(); ++i) {
        KDuzProperty property = plug->GetLinkProperty(i);
        property.DisconnectAllSrcObjects();
        const int id = property.GetUserTag() - 1000;
        KDuzControlSetLink link;
        if (GetControlSetLink(id, &link) && link.mNode != nullptr)
            property.ConnectSrcObject(link.mNode);
    }
    for (int i = 0; i < plug->GetEffectorPropertyCount(); ++i) {
        KDuzProperty property = plug->GetEffectorProperty(i);
        property.DisconnectAllSrcObjects();
        const int e = property.GetUserTag() - 1000;
        if (!ValidEffector(e)) continue;
        if (mEffectors[e].mNode != nullptr) property.ConnectSrcObject(mEffectors[e].mNode);
        for (int s = 0; s < kDuzEffectorAuxCount; ++s) {
            if (mAux[e][s] != nullptr) property.ConnectSrcObject(mAux[e][s]);
        }
    }
    return true;
}

}  // namespace duzsdk
