#include "sdk/geometry/KDuzCluster.h"

#include <new>

#include "sdk/base/KStringList.h"
#include "sdk/base/KgeMath.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/KPlugType.h"
#include "sdk/object/KPropertyObjectList.h"
#include "sdk/scene/KDuzNode.h"

namespace duzsdk {

namespace {

constexpr int kTypeNumber = PlugTypeNumberOf("KDuzCluster_internal");
constexpr const char* kSrcModel = "SrcModel";
constexpr const char* kSrcModelReference = "SrcModelReference";

class KDuzCluster_internal : public KDuzSubDeformer_internal {
public:
    explicit KDuzCluster_internal(KDuzObject* object) : KDuzSubDeformer_internal(object) {
        for (const char* name : {kSrcModel, kSrcModelReference}) {
            auto* list = new KPropertyObjectList(this, name);
            list->SetValueType(eKPropObject);
        }
    }
    KPlugTypeInfo* GetPlugTypeInfo() const override { return PlugTypeInfoGetRecord(kTypeNumber); }
    int GetStaticTypeNumber() const override { return kTypeNumber; }
};

}  // namespace

KDuzCluster::KDuzCluster(KDuzSdkManager* manager, const char* name) : KDuzSubDeformer(manager, name) {}

KDuzCluster::~KDuzCluster() = default;

KDuzCluster* KDuzCluster::Create(KDuzSdkManager* manager, const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<KDuzCluster*>(manager->CreateObject(ClassId(), name));
}

KDuzPlug* KDuzCluster::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* cluster = new (std::nothrow) KDuzCluster(manager, name);
    if (cluster != nullptr) cluster->PostCreate();
    return cluster;
}

KClassId KDuzCluster::ClassId() { return KDuzClassIdOf(eDuzClassCluster); }

KClassId KDuzCluster::GetClassId() const { return ClassId(); }

void KDuzCluster::PostCreate() {
    if (GetInternalObject() == nullptr) SetInternalObject(new KDuzCluster_internal(this));
    KDuzSubDeformer::PostCreate();
    Reset();
}

KStringList KDuzCluster::GetTypeFlags() const {
    KStringList flags;
    flags.Append("SubDeformer");
    return flags;
}

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
    if (KDuzNode* model = GetAssociateModel()) {
        KDuzProperty reference = GetSrcModelReferenceProperty();
        reference.DisconnectSrcObject(model);
    }
}

bool KDuzCluster::CopyFrom(const KDuzCluster& other) {
    if (&other == this) return true;
    Reset();
    if (KDuzNode* link = other.GetLink()) SetLink(link);
    if (KDuzNode* model = other.GetAssociateModel()) SetAssociateModel(model);
    mUserDataId = other.mUserDataId;
    mUserData = other.mUserData;
    mLinkMode = other.mLinkMode;
    mTransform = other.mTransform;
    mTransformLink = other.mTransformLink;
    mTransformAssociateModel = other.mTransformAssociateModel;
    mTransformParent = other.mTransformParent;
    mTransformParentSet = other.mTransformParentSet;
    mIndices = other.mIndices;
    mWeights = other.mWeights;
    return true;
}

KDuzObject* KDuzCluster::Clone(int mode) {
    if (mode != 2) return nullptr;
    KDuzCluster* clone = Create(GetSdkManager(), GetName());
    if (clone != nullptr) clone->CopyFrom(*this);
    return clone;
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

int KDuzCluster::DropIndicesOutside(int pointCount) {
    size_t kept = 0;
    for (size_t i = 0; i < mIndices.size(); ++i) {
        if (mIndices[i] < 0 || mIndices[i] >= pointCount) continue;
        mIndices[kept] = mIndices[i];
        mWeights[kept] = mWeights[i];
        ++kept;
    }
    const int dropped = static_cast<int>(mIndices.size() - kept);
    mIndices.resize(kept);
    mWeights.resize(kept);
    return dropped;
}

void KDuzCluster::ReserveControlPointIndices(int count) {
    if (count <= 0) return;
    mIndices.reserve(mIndices.size() + static_cast<size_t>(count));
    mWeights.reserve(mWeights.size() + static_cast<size_t>(count));
}

KgeMatrix KDuzCluster::Rebuild(const KgeMatrix& matrix) {
    const double* m = matrix.Data();
    const double translation[3] = {m[12], m[13], m[14]};
    double rotation[3];
    double scaling[3];
    KgeMatrixToEulerXYZUnscaled(rotation, m);
    KgeMatrixGetScaling(scaling, m);
    KgeMatrix out;
    KgeMatrixComposeTRS(out.Data(), translation, rotation, scaling);
    return out;
}

KgeMatrix& KDuzCluster::GetTransformMatrix(KgeMatrix& out) const { return out = Rebuild(mTransform); }

KgeMatrix& KDuzCluster::GetTransformLinkMatrix(KgeMatrix& out) const { return out = Rebuild(mTransformLink); }

KgeMatrix& KDuzCluster::GetTransformAssociateModelMatrix(KgeMatrix& out) const {
    return out = Rebuild(mTransformAssociateModel);
}

void KDuzCluster::SetTransformParentMatrix(const KgeMatrix& matrix) {
    mTransformParent = matrix;
    mTransformParentSet = true;
}

KgeMatrix& KDuzCluster::GetTransformParentMatrix(KgeMatrix& out) const { return out = Rebuild(mTransformParent); }

bool KDuzCluster::SetLink(KDuzNode* node) {
    if (node == nullptr) return false;
    return IsConnectedSrcObject(node) || ConnectSrcObject(node);
}

KDuzNode* KDuzCluster::GetLink() const {
    return dynamic_cast<KDuzNode*>(GetSrcObject(KDuzNode::ClassId(), 0));
}

KDuzProperty KDuzCluster::GetSrcModelReferenceProperty() const { return FindProperty(kSrcModelReference); }

bool KDuzCluster::SetAssociateModel(KDuzNode* node) {
    if (node == nullptr) return false;
    KDuzProperty reference = GetSrcModelReferenceProperty();
    if (!reference.IsValid()) return false;
    if (KDuzNode* previous = GetAssociateModel()) reference.DisconnectSrcObject(previous);
    return reference.ConnectSrcObject(node);
}

KDuzNode* KDuzCluster::GetAssociateModel() const {
    const KDuzProperty reference = GetSrcModelReferenceProperty();
    if (!reference.IsValid()) return nullptr;
    return dynamic_cast<KDuzNode*>(reference.GetSrcObject(KDuzNode::ClassId(), 0));
}

}  // namespace duzsdk
