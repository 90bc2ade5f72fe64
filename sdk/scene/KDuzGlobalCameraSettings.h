// The seven viewing ("producer") cameras of an editing application and the
// name of the camera to view through by default. The producer nodes are
// made through the SDK manager but never connected to the scene, so they
// are not among its nodes.
#pragma once

#include "sdk/base/KErrorState.h"

namespace duzsdk {

class KDuzCamera;
class KDuzNode;
class KDuzObject;
class KDuzSdkManager;

class KDuzGlobalCameraSettings {
public:
    enum EError : int { eNullParameter = 0, eUnknownCameraName = 1, eErrorCount };
    // Producer positions, in the order the settings keep them.
    enum EProducer : int {
        ePerspective = 0,
        eTop = 1,
        eBottom = 2,
        eFront = 3,
        eBack = 4,
        eRight = 5,
        eLeft = 6,
        eProducerCount = 7,
    };

    // The names of the producer nodes, in EProducer order.
    static const char* ProducerName(int producer);

    // `scene` is the KDuzScene the settings belong to (not owned).
    KDuzGlobalCameraSettings(KDuzSdkManager* manager, KDuzObject* scene);
    ~KDuzGlobalCameraSettings();
    KDuzGlobalCameraSettings(const KDuzGlobalCameraSettings&) = delete;
    KDuzGlobalCameraSettings& operator=(const KDuzGlobalCameraSettings&) = delete;

    // Accepts a producer node name, "Camera Switcher" or the name of a node
    // connected to the scene (case-sensitive); otherwise false and the
    // stored name stays.
    bool SetDefaultCamera(const char* name);
    const char* GetDefaultCamera() const;
    void SetDefaultViewingMode(int mode);
    int GetDefaultViewingMode() const;

    KDuzCamera* GetPerspectiveCamera() const { return GetProducerCamera(ePerspective); }
    KDuzCamera* GetTopCamera() const { return GetProducerCamera(eTop); }
    KDuzCamera* GetBottomCamera() const { return GetProducerCamera(eBottom); }
    KDuzCamera* GetFrontCamera() const { return GetProducerCamera(eFront); }
    KDuzCamera* GetBackCamera() const { return GetProducerCamera(eBack); }
    KDuzCamera* GetRightCamera() const { return GetProducerCamera(eRight); }
    KDuzCamera* GetLeftCamera() const { return GetProducerCamera(eLeft); }
    KDuzNode* GetPerspectiveCameraNode() const { return GetProducerNode(ePerspective); }
    KDuzNode* GetTopCameraNode() const { return GetProducerNode(eTop); }
    KDuzNode* GetBottomCameraNode() const { return GetProducerNode(eBottom); }
    KDuzNode* GetFrontCameraNode() const { return GetProducerNode(eFront); }
    KDuzNode* GetBackCameraNode() const { return GetProducerNode(eBack); }
    KDuzNode* GetRightCameraNode() const { return GetProducerNode(eRight); }
    KDuzNode* GetLeftCameraNode() const { return GetProducerNode(eLeft); }
    // Null outside 0 .. eProducerCount - 1.
    KDuzCamera* GetProducerCamera(int producer) const;
    KDuzNode* GetProducerNode(int producer) const;

    // Copies the camera's settings into the producer camera of that node
    // name; false for an empty name, a null camera or an unknown name.
    bool CopyProducerCamera(const char* name, const KDuzCamera* camera);

    // The producer camera defaults, default camera "Producer Perspective"
    // and viewing mode 0.
    void RestoreDefaultSettings();

    KErrorState& GetError();
    const KErrorState& GetError() const;

private:
    struct Impl;
    Impl* mImpl;
};

}  // namespace duzsdk
