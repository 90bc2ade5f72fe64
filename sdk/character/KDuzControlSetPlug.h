// The scene-object form of a control set: a take-node container whose
// object properties hold the control nodes (one per named character node)
// and the effector nodes (effector first, then its auxiliaries), so that a
// control set can live in a scene and drive a character as its input.
#pragma once

#include "sdk/animation/KDuzTakeNodeContainer.h"
#include "sdk/base/KErrorState.h"

#include <vector>

namespace duzsdk {

class KDuzControlSetPlug : public KDuzTakeNodeContainer {
public:
    KDuzControlSetPlug(KDuzSdkManager* manager, const char* name);
    ~KDuzControlSetPlug() override;

    static KDuzControlSetPlug* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();

    KClassId GetClassId() const override { return ClassId(); }
    void PostCreate() override;
    int GetNameKind() const override { return eDuzNameKindControlSetPlug; }
    // The sub-type of its file records, which the readers look for.
    KString GetTypeName() const override { return KString("ControlSetPlug"); }
    // Mode 2 only: a plug of this name holding copies of this plug's values,
    // connections and takes; nothing is shared with this plug.
    KDuzObject* Clone(int mode) override;

    int GetControlSetType() const;
    void SetControlSetType(int type);
    bool GetUseAxis() const;
    void SetUseAxis(bool flag);

    // The link properties (user tag 1000 + node id) and the effector
    // properties (user tag 1000 + effector id), in id order.
    int GetLinkPropertyCount() const { return static_cast<int>(mLinkProperties.size()); }
    const KDuzProperty& GetLinkProperty(int index) const { return mLinkProperties[static_cast<size_t>(index)]; }
    int GetEffectorPropertyCount() const { return static_cast<int>(mEffectorProperties.size()); }
    const KDuzProperty& GetEffectorProperty(int index) const {
        return mEffectorProperties[static_cast<size_t>(index)];
    }

    KErrorState& GetError() { return mError; }

    KDuzProperty ControlSetType;
    KDuzProperty UseAxis;

private:
    KErrorState mError;
    std::vector<KDuzProperty> mLinkProperties;
    std::vector<KDuzProperty> mEffectorProperties;
};

}  // namespace duzsdk
