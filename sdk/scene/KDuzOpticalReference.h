// An attribute without data of its own, marking a node as an optical reference.
#pragma once

#include "sdk/scene/KDuzNodeAttribute.h"

namespace duzsdk {

class KDuzOpticalReference : public KDuzNodeAttribute {
public:
    KDuzOpticalReference(KDuzSdkManager* manager, const char* name);
    ~KDuzOpticalReference() override;

    static KDuzOpticalReference* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();

    KClassId GetClassId() const override;
    KDuzObject* Clone(int mode) override;
    KString GetTypeName() const override { return KString("Optical"); }
    KStringList GetTypeFlags() const override;
    int GetAttributeType() const override { return eOpticalReference; }
};

}  // namespace duzsdk
