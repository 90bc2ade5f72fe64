// The attribute of an empty transform: a display size and look.
#pragma once

#include "sdk/scene/KDuzNodeAttribute.h"

namespace duzsdk {

class KDuzNull : public KDuzNodeAttribute {
public:
    enum ELook : int { eNone = 0, eCross = 1 };

    KDuzNull(KDuzSdkManager* manager, const char* name);
    ~KDuzNull() override;

    static KDuzNull* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();
    static double GetDefaultSize() { return 100.0; }

    KClassId GetClassId() const override;
    KDuzObject* Clone(int mode) override;
    KString GetTypeName() const override { return KString("Null"); }
    KStringList GetTypeFlags() const override;
    int GetAttributeType() const override { return eNull; }
    bool AddsTakeChannels() const override { return false; }
    // Its colour has no channel to follow it: its handle waits until asked for.
    bool DefersAnimatableProperties() const override { return true; }

    // Size 100 (not marked as set), look "Cross".
    void Reset();
    // Marks the size as set even when the value does not change.
    void SetSize(double size);
    double GetSize() const;
    bool IsSizeSet() const { return mSizeSet; }
    void SetLook(ELook look);
    ELook GetLook() const;

    void Copy(const KDuzNull& other);

private:
    bool mSizeSet = false;
};

}  // namespace duzsdk
