// A deformer that binds a geometry to skeleton nodes through its clusters,
// which are its connected sources.
#pragma once

#include "sdk/animation/KDuzTakeNodeContainer.h"

namespace duzsdk {

class KDuzCluster;

class KDuzSkin : public KDuzTakeNodeContainer {
public:
    KDuzSkin(KDuzSdkManager* manager, const char* name);
    ~KDuzSkin() override;

    static KDuzSkin* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();
    KClassId GetClassId() const override;
    int GetNameKind() const override { return eDuzNameKindDeformer; }
    KString GetTypeName() const override { return KString("Skin"); }

    void SetDeformAccuracy(double accuracy) { mDeformAccuracy = accuracy; }
    double GetDeformAccuracy() const { return mDeformAccuracy; }
    int GetClusterCount() const;
    // Null outside 0 .. count - 1.
    KDuzCluster* GetCluster(int index) const;

private:
    double mDeformAccuracy = 50.0;
};

}  // namespace duzsdk
