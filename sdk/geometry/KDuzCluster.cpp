#include "sdk/geometry/KDuzCluster.h"

#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"

namespace duzsdk {

KDuzCluster::KDuzCluster(KDuzSdkManager* manager, const char* name) : KDuzTakeNodeContainer(manager, name) {
    Reset();
}

KDuzCluster::~KDuzCluster() = default;

KDuzCluster* KDuzCluster::Create(KDuzSdkManager* manager, const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<KDuzCluster*>(manager->CreateObject(ClassId(), name));
}

KDuzPlug* KDuzCluster::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* cluster = new KDuzCluster(manager, name);
    cluster->PostCreate();
    return cluster;
}

KClassId KDuzCluster::ClassId() { return KDuzClassIdOf(eDuzClassCluster); }

KClassId KDuzCluster::GetClassId() const { return ClassId(); }

void KDuzCluster::Reset() {
    mUserDataId = "";
    mUserData = "";
    mLinkMode = eAdditive;
    mTransform.SetIdentity();
    mTransformLink.SetIdentity();
    mTransformAssociateModel.SetIdentity();
    mTransformParent.SetIdentity();
    mTransformParentSet = false;
    mIndices.clear();
    mWeights.clear();
    mLinkName = "";
    mAssociateModelName = "";
    if (KDuzNode* link = GetLink()) DisconnectSrcObject(link);
}

void KDuzCluster::SetUserData(const char* id, const char* data) {
    mUserDataId = id != nullptr ? id : "";
    mUserData = data != nullptr ? data : "";
}

void KDuzCluster::AddControlPointIndex(int index, double weight) {
    if (index < 0) return;
    mIndices.push_back(index);
    mWeights.push_back(weight);
}

void KDuzCluster::SetTransformParentMatrix(const KgeMatrix& matrix) {
    mTransformParent = matrix;
    mTransformParentSet = true;
}

void KDuzCluster::SetLink(KDuzNode* node) {
    if (node != nullptr) ConnectSrcObject(node);
}

KDuzNode* KDuzCluster::GetLink() const {
    return dynamic_cast<KDuzNode*>(GetSrcObject(KDuzNode::ClassId(), 0));
}

}  // namespace duzsdk
