// The camera's internal twin and the order of its properties; shared by the
// camera's source files only.
#pragma once

#include "sdk/scene/KDuzCamera.h"

namespace duzsdk {

// The camera's properties in creation order (the internal property list's order).
enum ECameraProperty : int {
    kCamRoll,
    kCamFieldOfView,
    kCamFieldOfViewX,
    kCamFieldOfViewY,
    kCamOpticalCenterX,
    kCamOpticalCenterY,
    kCamBackgroundColor,
    kCamTurnTable,
    kCamDisplayTurnTableIcon,
    kCamMotionBlurIntensity,
    kCamUseMotionBlur,
    kCamUseRealTimeMotionBlur,
    kCamResolutionMode,
    kCamApertureMode,
    kCamGateFit,
    kCamFocalLength,
    kCamCameraFormat,
    kCamAspectW,
    kCamAspectH,
    kCamPixelAspectRatio,
    kCamUseFrameColor,
    kCamFrameColor,
    kCamShowName,
    kCamShowGrid,
    kCamShowOpticalCenter,
    kCamShowAzimut,
    kCamShowTimeCode,
    kCamNearPlane,
    kCamFarPlane,
    kCamFilmWidth,
    kCamFilmHeight,
    kCamFilmAspectRatio,
    kCamFilmSqueezeRatio,
    kCamFilmFormatIndex,
    kCamViewFrustum,
    kCamViewFrustumNearFarPlane,
    kCamViewFrustumBackPlaneMode,
    kCamBackPlaneDistance,
    kCamBackPlaneDistanceMode,
    kCamViewCameraToLookAt,
    kCamLockMode,
    kCamLockInterestNavigation,
    kCamFitImage,
    kCamCrop,
    kCamCenter,
    kCamKeepRatio,
    kCamBackgroundMode,
    kCamBackgroundAlphaTreshold,
    kCamForegroundTransparent,
    kCamDisplaySafeArea,
    kCamSafeAreaDisplayStyle,
    kCamSafeAreaAspectRatio,
    kCamUse2DMagnifierZoom,
    kCam2DMagnifierZoom,
    kCam2DMagnifierX,
    kCam2DMagnifierY,
    kCamCameraProjectionType,
    kCamUseRealTimeDOFAndAA,
    kCamUseDepthOfField,
    kCamFocusSource,
    kCamFocusAngle,
    kCamFocusDistance,
    kCamUseAntialiasing,
    kCamAntialiasingIntensity,
    kCamUseAccumulationBuffer,
    kCamFrameSamplingCount,
    kCameraPropertyCount,
};

enum class ECameraValueKind { Channel, Bool, Int, Enum, Double, Color };

struct KDuzCameraPropertyRow {
    const char* name;
    ECameraValueKind kind;
    const char* dataType;   // channels: the data type; enums: unused
    int enumId;             // enums: the ECameraEnum; otherwise -1
    double resetValue;      // what Reset writes (colours: red, green and blue)
    bool setByReset;        // false where Reset goes through another rule or skips it
};

extern const KDuzCameraPropertyRow kDuzCameraProperties[kCameraPropertyCount];

class KDuzCamera_internal : public KDuzNodeAttribute_internal {
public:
    explicit KDuzCamera_internal(KDuzObject* object);

    KPlugTypeInfo* GetPlugTypeInfo() const override;
    int GetStaticTypeNumber() const override;

    KProperty* Property(int index) const {
        return index >= 0 && index < kCameraPropertyCount ? mProperties[index] : nullptr;
    }

private:
    KProperty* mProperties[kCameraPropertyCount] = {};   // owned by the property array
};

}  // namespace duzsdk
