#include "sdk/geometry/KDuzSkin.h"

#include <new>
#include <vector>

#include "sdk/base/KStringList.h"
#include "sdk/geometry/KDuzCluster.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/KPlugType.h"
#include "sdk/scene/KDuzScene.h"

namespace duzsdk {

namespace {

constexpr int kTypeNumber = PlugTypeNumberOf("KDuzSkin_internal");

class KDuzSkin_internal : public KDuzDeformer_internal {
public:
    explicit KDuzSkin_internal(KDuzObject* object) : KDuzDeformer_internal(object) {}
    KPlugTypeInfo* GetPlugTypeInfo() const override { return PlugTypeInfoGetRecord(kTypeNumber); }
    int GetStaticTypeNumber() const override { return kTypeNumber; }
};

}  // namespace

KDuzSkin::KDuzSkin(KDuzSdkManager* manager, const char* name) : KDuzDeformer(manager, name) {}

KDuzSkin::~KDuzSkin() = default;

KDuzSkin* KDuzSkin::Create(KDuzSdkManager* manager, const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<KDuzSkin*>(manager->CreateObject(ClassId(), name));
}

KDuzPlug* KDuzSkin::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* skin = new (std::nothrow) KDuzSkin(manager, name);
    if (skin != nullptr) skin->PostCreate();
    return skin;
}

KClassId KDuzSkin::ClassId() { return KDuzClassIdOf(eDuzClassSkin); }

KClassId KDuzSkin::GetClassId() const { return ClassId(); }

void KDuzSkin::PostCreate() {
    if (GetInternalObject() == nullptr) SetInternalObject(new KDuzSkin_internal(this));
    KDuzDeformer::PostCreate();
}

KStringList KDuzSkin::GetTypeFlags() const {
    KStringList flags;
    flags.Append("Deformer");
    return flags;
}

int KDuzSkin::GetClusterCount() const { return GetSrcObjectCount(KDuzCluster::ClassId()); }

KDuzCluster* KDuzSkin::GetCluster(int index) const {
    return dynamic_cast<KDuzCluster*>(GetSrcObject(KDuzCluster::ClassId(), index));
}

KDuzCluster* KDuzSkin::RemoveCluster(KDuzCluster* cluster) {
    if (cluster == nullptr || !IsConnectedSrcObject(cluster)) return nullptr;
    return DisconnectSrcObject(cluster) ? cluster : nullptr;
}

bool KDuzSkin::CopyFrom(const KDuzSkin& other) {
    if (&other == this) return true;
    mDeformAccuracy = other.mDeformAccuracy;
    bool copied = true;
    // Gathered once: the i-th cluster is found by walking the sources.
    std::vector<KDuzObject*> clusters;
    KDuzCollectSrcObjects(&other, KDuzCluster::ClassId(), clusters);
    for (KDuzObject* object : clusters) {
        auto* source = dynamic_cast<KDuzCluster*>(object);
        KDuzCluster* cluster = KDuzCluster::Create(GetSdkManager(), "");
        if (source == nullptr || cluster == nullptr) {
            copied = false;
            continue;
        }
        cluster->CopyFrom(*source);
        if (!ConnectSrcObject(cluster)) {
            cluster->Destroy();
            copied = false;
        }
    }
    return copied;
}

KDuzObject* KDuzSkin::Clone(int mode) {
    if (mode != 0 && mode != 2) return nullptr;
    KDuzSkin* clone = Create(GetSdkManager(), GetName());
    if (clone == nullptr) return nullptr;
    if (mode == 0)
        clone->mDeformAccuracy = mDeformAccuracy;
    else
        clone->CopyFrom(*this);
    return clone;
}

}  // namespace duzsdk
