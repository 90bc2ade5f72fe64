// The attribute of the scene's "Camera Switcher" node: an animated camera
// index and the names of the cameras it switches between.
#pragma once

#include "sdk/base/KString.h"
#include "sdk/scene/KDuzNodeAttribute.h"

#include <vector>

namespace duzsdk {

class KDuzCameraSwitcher : public KDuzNodeAttribute {
public:
    KDuzCameraSwitcher(KDuzSdkManager* manager, const char* name);
    ~KDuzCameraSwitcher() override;

    static KDuzCameraSwitcher* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();

    KClassId GetClassId() const override;
    KDuzObject* Clone(int mode) override;
    KString GetTypeName() const override { return KString("CameraSwitcher"); }
    void AddPropertiesToTakeNode(KDuzTakeNode* takeNode) override;
    void RemovePropertiesFromTakeNode(KDuzTakeNode* takeNode) override;
    int GetAttributeType() const override { return eCameraSwitcher; }

    void AddCameraName(const char* name);
    void ClearCameraNames() { mCameraNames.clear(); }
    // Null outside 0 .. count - 1.
    const char* GetCameraName(int index) const;
    int GetCameraNameCount() const { return static_cast<int>(mCameraNames.size()); }

    // The "Camera Index" channel of the node's default take; the property
    // while detached.
    void SetDefaultCameraIndex(int index);
    int GetDefaultCameraIndex() const;

    KDuzTypedProperty<int>& CameraIndex() { return mCameraIndex; }

private:
    KDuzTypedProperty<int> mCameraIndex;
    std::vector<KString> mCameraNames;
};

}  // namespace duzsdk
