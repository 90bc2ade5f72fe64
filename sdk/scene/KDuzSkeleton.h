// The attribute of a skeleton element: a root, a limb or a limb node, with a
// size, a limb length and a colour, each with a flag that says it was set.
#pragma once

#include "sdk/scene/KDuzNodeAttribute.h"
#include "sdk/scene/KDuzRGBAColor.h"

namespace duzsdk {

class KDuzSkeleton : public KDuzNodeAttribute {
public:
    // 3 is accepted and reads like a root.
    enum ESkeletonType : int { eRoot = 0, eLimb = 1, eLimbNode = 2, eEffector = 3 };
    // Flag of the "Color" property set for every type but limbs and limb nodes.
    static constexpr int kColorFlagNotLimb = 16;

    KDuzSkeleton(KDuzSdkManager* manager, const char* name);
    ~KDuzSkeleton() override;

    static KDuzSkeleton* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();
    static double GetLimbLengthDefault() { return 1.0; }
    static KDuzRGBAColor GetLimbNodeColorDefault() { return KDuzRGBAColor(0.8, 0.8, 0.8, 1.0); }

    KClassId GetClassId() const override;
    KDuzObject* Clone(int mode) override;
    // "Root", "Limb" or "LimbNode"; empty for unknown types.
    KString GetTypeName() const override;
    KStringList GetTypeFlags() const override;
    int GetAttributeType() const override { return eSkeleton; }

    void Reset();
    void SetSkeletonType(ESkeletonType type);
    ESkeletonType GetSkeletonType() const { return mType; }
    bool GetSkeletonTypeIsSet() const { return mTypeSet; }
    // Limbs only.
    bool SetLimbLength(double length);
    double GetLimbLength() const;
    bool GetLimbLengthIsSet() const { return mLimbLengthSet; }
    bool SetSize(double size);
    double GetSize() const;
    bool GetSizeIsSet() const { return mSizeSet; }
    // Limbs and limb nodes only.
    bool SetLimbNodeColor(const KDuzRGBAColor& color);
    // Alpha 1.
    KDuzRGBAColor GetLimbNodeColor() const;
    bool GetLimbNodeColorIsSet() const { return mColorSet; }

    void Copy(const KDuzSkeleton& other);

private:
    void SetColorFlagForType();

    ESkeletonType mType = eRoot;
    bool mLimbLengthSet = false;
    bool mSizeSet = false;
    bool mColorSet = false;
    bool mTypeSet = false;
};

}  // namespace duzsdk
