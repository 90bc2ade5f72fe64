#include "sdk/geometry/KDuzSkin.h"

#include "sdk/geometry/KDuzCluster.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"

namespace duzsdk {

KDuzSkin::KDuzSkin(KDuzSdkManager* manager, const char* name) : KDuzTakeNodeContainer(manager, name) {}

KDuzSkin::~KDuzSkin() = default;

KDuzSkin* KDuzSkin::Create(KDuzSdkManager* manager, const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<KDuzSkin*>(manager->CreateObject(ClassId(), name));
}

KDuzPlug* KDuzSkin::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* skin = new KDuzSkin(manager, name);
    skin->PostCreate();
    return skin;
}

KClassId KDuzSkin::ClassId() { return KDuzClassIdOf(eDuzClassSkin); }

KClassId KDuzSkin::GetClassId() const { return ClassId(); }

int KDuzSkin::GetClusterCount() const { return GetSrcObjectCount(KDuzCluster::ClassId()); }

KDuzCluster* KDuzSkin::GetCluster(int index) const {
    return dynamic_cast<KDuzCluster*>(GetSrcObject(KDuzCluster::ClassId(), index));
}

}  // namespace duzsdk
