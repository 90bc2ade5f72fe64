// The node attribute that makes a node a camera: projection and optics
// (field of view, focal length, film back, near and far planes), output
// resolution, background and foreground media, view display options, depth
// of field and antialiasing. Field of view, focal length, optical centre,
// roll, turn table and background colour animate through the owner node's
// take nodes once the camera is attached.
#pragma once

#include "sdk/base/KString.h"
#include "sdk/base/KgeTVector.h"
#include "sdk/scene/KDuzNodeAttribute.h"
#include "sdk/scene/KDuzRGBAColor.h"

namespace duzsdk {

// The text of a value of one of the camera enumerations; null when the value
// has none.
const char* KDuzCameraEnumName(int which, int value);

// The pixel ratio that shows a width x height image at the display aspect;
// a zero width or height counts as 1.
double KDuzCameraComputePixelRatio(int width, int height, double displayAspect);

class KDuzCamera : public KDuzNodeAttribute {
public:
    enum ECameraAspectRatioMode : int {
        eWindowSize = 0,
        eFixedRatio = 1,
        eFixedResolution = 2,
        eFixedWidth = 3,
        eFixedHeight = 4,
    };

    // Writers may also store 3 (focal length); it computes like the width-based modes.
    enum ECameraApertureMode : int { eHorizAndVert = 0, eHorizontal = 1, eVertical = 2 };

    enum ECameraGateFit : int {
        eNoFit = 0,
        eVerticalFit = 1,
        eHorizontalFit = 2,
        eFillFit = 3,
        eOverscanFit = 4,
        eStretchFit = 5,
    };

    enum ECameraFormat : int {
        eCustomFormat = 0,
        eD1NTSC = 1,
        eNTSC = 2,
        ePAL = 3,
        eD1PAL = 4,
        eHD = 5,
        e640x480 = 6,
        e320x200 = 7,
        e320x240 = 8,
        eFullScreen = 10,
    };

    enum ECameraApertureFormat : int {
        eCustomAperture = 0,
        e16mmTheatrical = 1,
        eSuper16mm = 2,
        e35mmAcademy = 3,
        e35mmTVProjection = 4,
        e35mmFullAperture = 5,
        e35mm185Projection = 6,
        e35mmAnamorphic = 7,
        e70mmProjection = 8,
        eVistaVision = 9,
        eDynavision = 10,
        eImax = 11,
    };

    enum ECameraBackgroundDisplayMode : int { eDisabled = 0, eAlways = 1, eWhenMedia = 2 };
    enum ECameraBackgroundDistanceMode : int { eRelativeToInterest = 0, eRelativeToCamera = 1 };
    enum ECameraBackgroundDrawingMode : int { eBackground = 0, eForeground = 1, eBackgroundAndForeground = 2 };
    enum ECameraSafeAreaStyle : int { eRound = 0, eSquare = 1 };
    enum ECameraProjectionType : int { ePerspective = 0, eOrthogonal = 1 };
    enum ECameraFocusDistanceSource : int { eCameraInterest = 0, eSpecificDistance = 1 };

    // The enumerations that have texts, for KDuzCameraEnumName.
    enum ECameraEnum : int {
        eCameraEnumAspectRatioMode,
        eCameraEnumApertureMode,
        eCameraEnumGateFit,
        eCameraEnumFormat,
        eCameraEnumApertureFormat,
        eCameraEnumBackgroundDisplayMode,
        eCameraEnumBackgroundDistanceMode,
        eCameraEnumBackgroundDrawingMode,
        eCameraEnumSafeAreaStyle,
        eCameraEnumProjectionType,
        eCameraEnumFocusDistanceSource,
        eCameraEnumCount,
    };

    KDuzCamera(KDuzSdkManager* manager, const char* name);
    ~KDuzCamera() override;

    static KDuzCamera* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();

    // ---- object and attribute slots ----
    KClassId GetClassId() const override;
    KDuzObject* Clone(int mode) override;
    KString GetTypeName() const override { return KString("Camera"); }
    KStringList GetTypeFlags() const override;
    void AddPropertiesToTakeNode(KDuzTakeNode* takeNode) override;
    void RemovePropertiesFromTakeNode(KDuzTakeNode* takeNode) override;
    int GetAttributeType() const override { return eCamera; }

    void Reset();
    // Copies values as they are: the clamps and format rules do not run.
    void CopyFrom(const KDuzCamera& other);

    // ---- position: the owner node's "Lcl Translation" ----
    bool SetPosition(const KgeTVector& position);
    // The zero vector without an owner node.
    KgeTVector GetPosition() const;
    void SetUpVector(const KgeTVector& v) { mUpVector = v; }
    KgeTVector GetUpVector() const { return mUpVector; }
    void SetInterestPosition(const KgeTVector& v) { mInterest = v; }
    KgeTVector GetInterestPosition() const { return mInterest; }

    // ---- animated channels ----
    // Roll and turn table always read the property, attached or not.
    void SetRoll(double value);
    double GetRoll() const;
    void SetTurnTable(double value);
    double GetTurnTable() const;
    void SetOpticalCenterX(double value);
    double GetOpticalCenterX() const;
    void SetOpticalCenterY(double value);
    double GetOpticalCenterY() const;
    void SetFocalLength(double value);
    double GetFocalLength() const;
    // Clamped to [1, 179].
    void SetFieldOfView(double degrees);
    double GetFieldOfView() const;
    void SetFieldOfViewX(double degrees);
    double GetFieldOfViewX() const;
    void SetFieldOfViewY(double degrees);
    double GetFieldOfViewY() const;
    void SetBackgroundColor(const KDuzRGBAColor& color);
    // Alpha 1.
    KDuzRGBAColor GetBackgroundColor() const;

    // ---- optics ----
    double ComputeFieldOfView(double focalLength) const;
    double ComputeFocalLength(double fieldOfView) const;
    void SetNearPlane(double value);
    double GetNearPlane() const;
    void SetFarPlane(double value);
    double GetFarPlane() const;
    void SetApertureFormat(int format);
    ECameraApertureFormat GetApertureFormat() const;
    void SetApertureMode(int mode);
    ECameraApertureMode GetApertureMode() const;
    void SetFilmWidth(double inches);
    double GetFilmWidth() const;
    void SetFilmHeight(double inches);
    double GetFilmHeight() const;
    void SetFilmSqueezeRatio(double ratio);
    double GetFilmSqueezeRatio() const;
    double GetFilmAspectRatio() const;

    // ---- output ----
    void SetAspect(int mode, double width, double height);
    ECameraAspectRatioMode GetAspectRatioMode() const;
    double GetAspectWidth() const;
    double GetAspectHeight() const;
    void SetFormat(int format);
    ECameraFormat GetFormat() const;
    void SetPixelRatio(double ratio);
    double GetPixelRatio() const;

    // ---- plain values ----
    void SetProjectionType(int type);
    ECameraProjectionType GetProjectionType() const;
    void SetLockMode(bool on);
    bool GetLockMode() const;
    void SetViewFrustumBackPlaneMode(int mode);
    ECameraBackgroundDisplayMode GetViewFrustumBackPlaneMode() const;
    void SetBackgroundMode(int mode);
    ECameraBackgroundDrawingMode GetBackgroundMode() const;
    void SetForegroundTransparent(bool on);
    bool GetForegroundTransparent() const;
    void SetBackgroundAlphaTreshold(double value);
    double GetBackgroundAlphaTreshold() const;
    void SetBackPlaneDistance(double value);
    double GetBackPlaneDistance() const;
    void SetBackPlaneDistanceMode(int mode);
    ECameraBackgroundDistanceMode GetBackPlaneDistanceMode() const;
    void SetViewCameraToLookAt(bool on);
    bool GetViewCameraToLookAt() const;
    void SetViewFrustumNearFarPlane(bool on);
    bool GetViewFrustumNearFarPlane() const;
    void SetShowGrid(bool on);
    bool GetShowGrid() const;
    void SetShowAzimut(bool on);
    bool GetShowAzimut() const;
    void SetShowName(bool on);
    bool GetShowName() const;
    void SetShowTimeCode(bool on);
    bool GetShowTimeCode() const;
    void SetDisplaySafeArea(bool on);
    bool GetDisplaySafeArea() const;
    void SetSafeAreaDisplayStyle(int style);
    ECameraSafeAreaStyle GetSafeAreaDisplayStyle() const;
    void SetUseFrameColor(bool on);
    bool GetUseFrameColor() const;
    // Stored and returned unclamped.
    void SetFrameColor(const KDuzRGBAColor& color);
    KDuzRGBAColor GetFrameColor() const;
    void SetUseAntialiasing(bool on);
    bool GetUseAntialiasing() const;
    void SetAntialiasingIntensity(double value);
    double GetAntialiasingIntensity() const;
    void SetFrameSamplingCount(int count);
    int GetFrameSamplingCount() const;
    void SetUseAccumulationBuffer(bool on);
    bool GetUseAccumulationBuffer() const;
    void SetUseDepthOfField(bool on);
    bool GetUseDepthOfField() const;
    void SetFocusSource(int source);
    ECameraFocusDistanceSource GetFocusSource() const;
    void SetFocusDistance(double value);
    double GetFocusDistance() const;
    void SetFocusAngle(double value);
    double GetFocusAngle() const;
    // Bit 0 "FitImage", bit 1 "Center", bit 2 "KeepRatio", bit 3 "Crop".
    void SetBackgroundPlacementOptions(int bits);
    int GetBackgroundPlacementOptions() const;
    // 0: real-time depth of field and antialiasing, 1: over-sampled; other
    // values change nothing.
    void SetUseOverSamplingTime(int mode);
    bool GetUseOverSamplingTime() const;

    // ---- members of the public object ----
    void SetOrthoZoom(double zoom) { mOrthoZoom = zoom; }
    double GetOrthoZoom() const { return mOrthoZoom; }
    void SetShowInfoOnMoving(bool on) { mShowInfoOnMoving = on; }
    bool GetShowInfoOnMoving() const { return mShowInfoOnMoving; }
    void SetDisplaySafeAreaOnRender(bool on) { mSafeAreaOnRender = on; }
    bool GetDisplaySafeAreaOnRender() const { return mSafeAreaOnRender; }
    void SetShowAudio(bool on) { mShowAudio = on; }
    bool GetShowAudio() const { return mShowAudio; }
    // Clamped.
    void SetAudioColor(const KDuzRGBAColor& color) { mAudioColor.Assign(color); }
    KDuzRGBAColor GetAudioColor() const { return mAudioColor; }
    void SetAntialiasingMethod(int method) { mAntialiasingMethod = method; }
    int GetAntialiasingMethod() const { return mAntialiasingMethod; }
    void SetFrameSamplingType(int type) { mFrameSamplingType = type; }
    int GetFrameSamplingType() const { return mFrameSamplingType; }
    // The getters give null for an empty name.
    void SetBackgroundMediaName(const char* name) { mBackgroundMediaName = name != nullptr ? name : ""; }
    const char* GetBackgroundMediaName() const;
    void SetVideoClipTextureName(const char* name) { mVideoClipTextureName = name != nullptr ? name : ""; }
    const char* GetVideoClipTextureName() const;

    // The internal property of that name, for readers and tests; null when absent.
    KProperty* GetCameraProperty(const char* name) const;

private:
    // Values of the internal properties by their creation index.
    double Value(int index) const;
    void StoreValue(int index, double value);
    bool Flag(int index) const { return Value(index) != 0.0; }
    // Attached: the curve of that name in the default take; else the property.
    double ChannelValue(int index) const;
    void SetChannelValue(int index, double value);
    double Aperture() const;

    KgeTVector mUpVector;
    KgeTVector mInterest;
    KString mBackgroundMediaName;
    KString mVideoClipTextureName;
    double mOrthoZoom = 1.0;
    bool mShowInfoOnMoving = true;
    bool mSafeAreaOnRender = false;
    bool mShowAudio = false;
    KDuzRGBAColor mAudioColor;
    int mAntialiasingMethod = 0;
    int mFrameSamplingType = 1;
};

}  // namespace duzsdk
