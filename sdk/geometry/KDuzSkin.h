// A deformer that binds a geometry to skeleton nodes through its clusters,
// which are its connected sources.
#pragma once

#include "sdk/geometry/KDuzDeformer.h"

namespace duzsdk {

class KDuzCluster;

class KDuzSkin : public KDuzDeformer {
public:
    KDuzSkin(KDuzSdkManager* manager, const char* name);
    ~KDuzSkin() override;

    static KDuzSkin* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();
    KClassId GetClassId() const override;
    void PostCreate() override;
    KString GetTypeName() const override { return KString("Skin"); }
    KStringList GetTypeFlags() const override;
    int GetDeformerType() const override { return eSkin; }
    // Mode 0: a skin of this name and accuracy without clusters; mode 2: a
    // skin of this name with copies of the clusters (sharing their link
    // nodes); other modes give null.
    KDuzObject* Clone(int mode) override;

    void SetDeformAccuracy(double accuracy) { mDeformAccuracy = accuracy; }
    double GetDeformAccuracy() const { return mDeformAccuracy; }
    int GetClusterCount() const;
    // Null outside 0 .. count - 1.
    KDuzCluster* GetCluster(int index) const;
    // Disconnects the cluster and gives it back; null when it was not one
    // of this skin's.
    KDuzCluster* RemoveCluster(KDuzCluster* cluster);
    // The accuracy, then a new copy of each of the other's clusters.
    bool CopyFrom(const KDuzSkin& other);

private:
    double mDeformAccuracy = 50.0;
};

}  // namespace duzsdk
