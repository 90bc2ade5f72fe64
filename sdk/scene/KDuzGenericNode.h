// A named, animatable property holder connected to the scene but not part of
// the node tree.
#pragma once

#include "sdk/animation/KDuzTakeNodeContainer.h"
#include "sdk/base/KErrorState.h"

namespace duzsdk {

class KDuzGenericNode : public KDuzTakeNodeContainer {
public:
    KDuzGenericNode(KDuzSdkManager* manager, const char* name);
    ~KDuzGenericNode() override;

    static KDuzGenericNode* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();

    KClassId GetClassId() const override;
    int GetNameKind() const override { return eDuzNameKindEmpty; }
    KDuzObject* Clone(int mode) override;
    KString GetTypeName() const override { return KString("GenericNode"); }
    KStringList GetTypeFlags() const override;
    // Curve nodes of every animatable internal property.
    void AddPropertiesToTakeNode(KDuzTakeNode* takeNode) override;

    KErrorState& GetError() { return mError; }

private:
    KErrorState mError;
};

}  // namespace duzsdk
