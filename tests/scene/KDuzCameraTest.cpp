#include "sdk/scene/KDuzCamera.h"

#include "sdk/object/KProperty.h"

#include "KDuzAttributeTestSupport.h"

namespace duzsdk {
namespace {

using testing_attribute::AsFloat;
using testing_attribute::AttributeTest;

class CameraTest : public AttributeTest {
protected:
    KDuzCamera* Camera(const char* name = "camera") {
        KDuzCamera* camera = KDuzCamera::Create(manager, name);
        EXPECT_NE(camera, nullptr);
        return camera;
    }
};

// The 66 properties in creation order, with their values on a new camera.
struct CameraPropertyRow {
    const char* name;
    double value;   // first component for colours
};
constexpr CameraPropertyRow kNewCamera[] = {
    {"Roll", 0},
    {"FieldOfView", 40},
    {"FieldOfViewX", 1},
    {"FieldOfViewY", 1},
    {"OpticalCenterX", 0},
    {"OpticalCenterY", 0},
    {"BackgroundColor", 0.63},
    {"TurnTable", 0},
    {"DisplayTurnTableIcon", 1},
    {"Motion Blur Intensity", 1},
    {"UseMotionBlur", 0},
    {"UseRealTimeMotionBlur", 1},
    {"ResolutionMode", 0},
    {"ApertureMode", 2},
    {"GateFit", 0},
    {"FocalLength", 0},
    {"CameraFormat", 0},
    {"AspectW", 320},
    {"AspectH", 200},
    {"PixelAspectRatio", 1},
    {"UseFrameColor", 0},
    {"FrameColor", 0.3},
    {"ShowName", 1},
    {"ShowGrid", 1},
    {"ShowOpticalCenter", 0},
    {"ShowAzimut", 1},
    {"ShowTimeCode", 0},
    {"NearPlane", 10},
    {"FarPlane", 4000},
    {"FilmWidth", 0.816},
    {"FilmHeight", 0.612},
    {"FilmAspectRatio", 0.816 / 0.612},
    {"FilmSqueezeRatio", 1},
    {"FilmFormatIndex", 4},
    {"ViewFrustum", 1},
    {"ViewFrustumNearFarPlane", 0},
    {"ViewFrustumBackPlaneMode", 2},
    {"BackPlaneDistance", 100},
    {"BackPlaneDistanceMode", 0},
    {"ViewCameraToLookAt", 1},
    {"LockMode", 0},
    {"LockInterestNavigation", 0},
    {"FitImage", 0},
    {"Crop", 0},
    {"Center", 1},
    {"KeepRatio", 1},
    {"BackgroundMode", 0},
    {"BackgroundAlphaTreshold", 0.5},
    {"ForegroundTransparent", 1},
    {"DisplaySafeArea", 0},
    {"SafeAreaDisplayStyle", 1},
    {"SafeAreaAspectRatio", 1.33333333333333},
    {"Use2DMagnifierZoom", 0},
    {"2D Magnifier Zoom", 100},
    {"2D Magnifier X", 50},
    {"2D Magnifier Y", 50},
    {"CameraProjectionType", 0},
    {"UseRealTimeDOFAndAA", 0},
    {"UseDepthOfField", 0},
    {"FocusSource", 0},
    {"FocusAngle", 3.5},
    {"FocusDistance", 200},
    {"UseAntialiasing", 0},
    {"AntialiasingIntensity", 0.77777},
    {"UseAccumulationBuffer", 0},
    {"FrameSamplingCount", 7},
};
static_assert(sizeof(kNewCamera) / sizeof(kNewCamera[0]) == 66);

TEST_F(CameraTest, PropertiesInOrderWithTheirDefaults) {
    KDuzCamera* camera = Camera();
    KDuzObject_internal* internal = camera->GetInternalObject();
    ASSERT_NE(internal, nullptr);
    // "Color" of every attribute comes first, then the camera's own.
    ASSERT_EQ(internal->GetPropertyCount(), 67);
    EXPECT_STREQ(internal->GetProperty(0)->GetName(), "Color");
    for (int i = 0; i < 66; ++i) {
        const CameraPropertyRow& row = kNewCamera[i];
        SCOPED_TRACE(row.name);
        KProperty* property = internal->GetProperty(i + 1);
        ASSERT_NE(property, nullptr);
        EXPECT_STREQ(property->GetName(), row.name);
        double values[16] = {};
        ASSERT_TRUE(property->GetDoubles(values));
        EXPECT_NEAR(values[0], row.value, 1e-12);
        // Every property is also public.
        EXPECT_TRUE(camera->FindProperty(row.name).IsValid());
    }
}

TEST_F(CameraTest, ChannelPropertiesAreAnimatable) {
    KDuzCamera* camera = Camera();
    for (const char* name : {"Roll", "FieldOfView", "FocalLength", "BackgroundColor", "2D Magnifier X"}) {
        KProperty* property = camera->GetCameraProperty(name);
        ASSERT_NE(property, nullptr) << name;
        EXPECT_TRUE(property->TestInfoFlag2()) << name;
        EXPECT_TRUE(property->TestFlags(8)) << name;
    }
    EXPECT_FALSE(camera->GetCameraProperty("NearPlane")->TestInfoFlag2());
    EXPECT_EQ(camera->GetCameraProperty("NoSuchThing"), nullptr);
}

TEST_F(CameraTest, PublicMembersAfterConstruction) {
    KDuzCamera* camera = Camera();
    EXPECT_DOUBLE_EQ(camera->GetUpVector()[1], 1.0);
    EXPECT_DOUBLE_EQ(camera->GetInterestPosition()[2], 0.0);
    EXPECT_EQ(camera->GetBackgroundMediaName(), nullptr);
    EXPECT_EQ(camera->GetVideoClipTextureName(), nullptr);
    EXPECT_DOUBLE_EQ(camera->GetOrthoZoom(), 1.0);
    EXPECT_TRUE(camera->GetShowInfoOnMoving());
    EXPECT_FALSE(camera->GetDisplaySafeAreaOnRender());
    EXPECT_FALSE(camera->GetShowAudio());
    EXPECT_DOUBLE_EQ(camera->GetAudioColor().mRed, 0.0);
    EXPECT_DOUBLE_EQ(camera->GetAudioColor().mGreen, 1.0);
    EXPECT_EQ(camera->GetAntialiasingMethod(), 0);
    EXPECT_EQ(camera->GetFrameSamplingType(), 1);
    EXPECT_DOUBLE_EQ(camera->GetFrameColor().mAlpha, 0.0);

    camera->SetAudioColor(KDuzRGBAColor{});
    KDuzRGBAColor raw;
    raw.mRed = 2.0;
    camera->SetAudioColor(raw);
    EXPECT_DOUBLE_EQ(camera->GetAudioColor().mRed, 1.0);
    camera->SetFrameColor(raw);   // kept unclamped
    EXPECT_DOUBLE_EQ(camera->GetFrameColor().mRed, 2.0);
    camera->SetBackgroundMediaName("clip.avi");
    EXPECT_STREQ(camera->GetBackgroundMediaName(), "clip.avi");
}

TEST_F(CameraTest, ResetComputesTheFocalLengthFromTheFilmInPlace) {
    KDuzCamera* camera = Camera();
    EXPECT_DOUBLE_EQ(camera->GetFocalLength(), 0.0);
    camera->GetCameraProperty("LockInterestNavigation")->SetInt(1);
    camera->SetNearPlane(1.0);
    camera->Reset();
    EXPECT_NEAR(camera->GetFocalLength(), 21.354493, 1e-6);
    EXPECT_DOUBLE_EQ(camera->GetNearPlane(), 10.0);
    EXPECT_EQ(camera->GetCameraProperty("LockInterestNavigation")->GetInt(), 1);
}

TEST_F(CameraTest, PlainAccessorRules) {
    KDuzCamera* camera = Camera();
    camera->SetBackgroundPlacementOptions(0b1001);
    EXPECT_EQ(camera->GetBackgroundPlacementOptions(), 0b1001);
    EXPECT_EQ(camera->GetCameraProperty("Center")->GetInt(), 0);
    EXPECT_EQ(camera->GetCameraProperty("Crop")->GetInt(), 1);

    EXPECT_FALSE(camera->GetUseOverSamplingTime() == false);   // "UseRealTimeDOFAndAA" is false
    camera->SetUseOverSamplingTime(0);
    EXPECT_FALSE(camera->GetUseOverSamplingTime());
    camera->SetUseOverSamplingTime(5);
    EXPECT_FALSE(camera->GetUseOverSamplingTime());
    camera->SetUseOverSamplingTime(1);
    EXPECT_TRUE(camera->GetUseOverSamplingTime());

    camera->SetFocusSource(KDuzCamera::eSpecificDistance);
    EXPECT_EQ(camera->GetFocusSource(), KDuzCamera::eSpecificDistance);
    camera->SetFrameSamplingCount(12);
    EXPECT_EQ(camera->GetFrameSamplingCount(), 12);
    camera->SetShowGrid(false);
    EXPECT_FALSE(camera->GetShowGrid());
    camera->SetBackgroundAlphaTreshold(0.25);
    EXPECT_DOUBLE_EQ(camera->GetBackgroundAlphaTreshold(), 0.25);
}

TEST_F(CameraTest, EnumerationTexts) {
    struct Row {
        int which;
        int value;
        const char* text;   // null: no text
    };
    constexpr Row kRows[] = {
        {KDuzCamera::eCameraEnumAspectRatioMode, 4, "Fixed Height Resolution"},
        {KDuzCamera::eCameraEnumApertureMode, 0, "Horizontal & Vertical"},
        {KDuzCamera::eCameraEnumApertureMode, 3, nullptr},
        {KDuzCamera::eCameraEnumGateFit, 0, "Horizontal Fit"},
        {KDuzCamera::eCameraEnumGateFit, 2, "Horizontal Fit"},
        {KDuzCamera::eCameraEnumGateFit, 5, "Stretch Fit"},
        {KDuzCamera::eCameraEnumFormat, 9, nullptr},
        {KDuzCamera::eCameraEnumFormat, 10, "Full Screen"},
        {KDuzCamera::eCameraEnumApertureFormat, 11, "Imax"},
        {KDuzCamera::eCameraEnumBackgroundDrawingMode, 2, "Background & Forground"},
        {KDuzCamera::eCameraEnumSafeAreaStyle, 0, "Round Safe Area"},
        {KDuzCamera::eCameraEnumProjectionType, 1, "Orthographic"},
        {KDuzCamera::eCameraEnumFocusDistanceSource, -1, nullptr},
        {KDuzCamera::eCameraEnumCount, 0, nullptr},
    };
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.which * 100 + row.value);
        const char* text = KDuzCameraEnumName(row.which, row.value);
        if (row.text == nullptr) EXPECT_EQ(text, nullptr);
        else EXPECT_STREQ(text, row.text);
    }
    // The enumeration properties turn values into those texts.
    KDuzCamera* camera = Camera();
    EXPECT_STREQ(camera->GetCameraProperty("FilmFormatIndex")->ToString().Buffer(), "35mm TV Projection");
    EXPECT_STREQ(camera->GetCameraProperty("ViewFrustumBackPlaneMode")->GetEnumItem(1), "Always");
}

TEST_F(CameraTest, PositionIsTheNodeTranslation) {
    KDuzCamera* camera = Camera();
    EXPECT_FALSE(camera->SetPosition(KgeTVector(1, 2, 3, 1)));
    EXPECT_DOUBLE_EQ(camera->GetPosition()[0], 0.0);

    KDuzNode* node = Node();
    ASSERT_TRUE(node->AddNodeAttribute(camera));
    EXPECT_TRUE(camera->SetPosition(KgeTVector(1, 2, 3, 1)));
    EXPECT_DOUBLE_EQ(node->GetLclTranslation()[1], 2.0);
    EXPECT_DOUBLE_EQ(camera->GetPosition()[2], 3.0);
    camera->Reset();
    EXPECT_DOUBLE_EQ(node->GetLclTranslation()[2], -50.0);
}

TEST_F(CameraTest, AttachedChannelsGoThroughTheDefaultTake) {
    KDuzNode* node = Node();
    KDuzCamera* camera = Camera();
    ASSERT_TRUE(node->AddNodeAttribute(camera));
    KDuzTakeNode* take = node->GetDefaultTakeNode();
    ASSERT_NE(take->GetRollCurve(), nullptr);
    ASSERT_NE(take->GetTurnTableCurve(), nullptr);
    ASSERT_NE(take->GetBackgroundColorZCurve(), nullptr);
    EXPECT_FLOAT_EQ(take->GetFieldOfViewXCurve()->GetColor()[2], 0.94f);

    camera->SetRoll(12.5);
    EXPECT_DOUBLE_EQ(camera->GetRoll(), 12.5);
    EXPECT_FLOAT_EQ(take->GetRollCurve()->GetDefaultValue(), 12.5f);
    // The default take's curve is linked: changing it moves the property,
    // which roll reads.
    take->GetRollCurve()->SetDefaultValue(4.0f);
    EXPECT_DOUBLE_EQ(camera->GetRoll(), 4.0);

    camera->SetFieldOfView(33.3);
    EXPECT_DOUBLE_EQ(camera->GetFieldOfView(), AsFloat(33.3));
    EXPECT_FLOAT_EQ(take->GetFieldOfViewCurve()->GetDefaultValue(), 33.3f);
    camera->SetOpticalCenterY(0.2);
    EXPECT_DOUBLE_EQ(camera->GetOpticalCenterY(), AsFloat(0.2));
    camera->SetBackgroundColor(KDuzRGBAColor(0.1, 0.2, 0.3, 0.5));
    const KDuzRGBAColor background = camera->GetBackgroundColor();
    EXPECT_DOUBLE_EQ(background.mGreen, AsFloat(0.2));
    EXPECT_DOUBLE_EQ(background.mAlpha, 1.0);

    ASSERT_TRUE(node->DisconnectSrcObject(camera));
    EXPECT_EQ(take->GetCurveNode()->FindChildIndexByName("Roll"), -1);
    EXPECT_EQ(take->GetCurveNode()->FindChildIndexByName("FocalLength"), -1);
    EXPECT_GE(take->GetCurveNode()->FindChildIndexByName("BackgroundColor"), 0);
    // Detached, the property answers, and it kept the full value.
    EXPECT_DOUBLE_EQ(camera->GetFieldOfView(), 33.3);
}

TEST_F(CameraTest, ValuesSetBeforeAttachingSurviveIt) {
    KDuzCamera* camera = Camera();
    camera->SetFieldOfView(60.0);
    camera->SetFocalLength(35.0);
    camera->SetTurnTable(15.0);
    camera->SetBackgroundColor(KDuzRGBAColor(0.0, 0.0, 1.0, 1.0));
    KDuzNode* node = Node();
    ASSERT_NE(node->CreateTakeNode("Take 001"), nullptr);
    ASSERT_TRUE(node->AddNodeAttribute(camera));
    EXPECT_DOUBLE_EQ(camera->GetFieldOfView(), 60.0);
    EXPECT_DOUBLE_EQ(camera->GetFocalLength(), 35.0);
    EXPECT_DOUBLE_EQ(camera->GetTurnTable(), 15.0);
    EXPECT_DOUBLE_EQ(camera->GetBackgroundColor().mBlue, 1.0);
    EXPECT_DOUBLE_EQ(camera->GetBackgroundColor().mRed, 0.0);
    EXPECT_FLOAT_EQ(node->GetTakeNodeAt(1)->GetFieldOfViewCurve()->GetDefaultValue(), 60.0f);
}

TEST_F(CameraTest, ATakeNamedDefaultInAnyCaseIsLinked) {
    KDuzNode* node = Node();
    KDuzCamera* camera = Camera();
    ASSERT_TRUE(node->AddNodeAttribute(camera));
    KDuzTakeNode take("default");
    camera->AddPropertiesToTakeNode(&take);
    ASSERT_NE(take.GetFocalLengthCurve(), nullptr);
    take.GetFocalLengthCurve()->SetDefaultValue(50.0f);
    EXPECT_DOUBLE_EQ(camera->GetCameraProperty("FocalLength")->GetDouble(), 50.0);

    KDuzTakeNode other("Run");
    camera->AddPropertiesToTakeNode(&other);
    other.GetFocalLengthCurve()->SetDefaultValue(80.0f);
    EXPECT_DOUBLE_EQ(camera->GetCameraProperty("FocalLength")->GetDouble(), 50.0);
}

TEST_F(CameraTest, CopyFromAndClone) {
    KDuzCamera* source = Camera("source");
    source->SetUpVector(KgeTVector(1, 0, 0, 0));
    source->SetRoll(5.0);
    source->SetFieldOfView(70.0);
    source->SetFocalLength(18.0);
    source->SetOpticalCenterX(0.5);
    source->SetApertureFormat(KDuzCamera::eImax);
    source->SetNearPlane(2.0);
    source->SetFormat(KDuzCamera::eHD);
    source->SetBackgroundColor(KDuzRGBAColor(1.0, 0.0, 0.0, 1.0));
    source->SetBackgroundMediaName("media.avi");
    source->SetFocusDistance(12.0);
    source->SetAntialiasingMethod(2);
    KDuzRGBAColor frame;
    frame.mRed = 0.9;
    frame.mAlpha = 0.4;
    source->SetFrameColor(frame);
    KDuzNode* sourceNode = Node("sourceNode");
    ASSERT_TRUE(sourceNode->AddNodeAttribute(source));
    source->SetPosition(KgeTVector(7, 8, 9, 1));

    KDuzCamera* target = Camera("target");
    KDuzNode* targetNode = Node("targetNode");
    ASSERT_TRUE(targetNode->AddNodeAttribute(target));
    target->CopyFrom(*source);
    EXPECT_DOUBLE_EQ(target->GetUpVector()[0], 1.0);
    EXPECT_DOUBLE_EQ(targetNode->GetLclTranslation()[1], 8.0);
    EXPECT_DOUBLE_EQ(target->GetRoll(), 5.0);
    EXPECT_DOUBLE_EQ(target->GetFieldOfView(), 70.0);
    EXPECT_DOUBLE_EQ(target->GetFocalLength(), 18.0);
    EXPECT_DOUBLE_EQ(target->GetOpticalCenterX(), 0.5);
    EXPECT_EQ(target->GetApertureFormat(), KDuzCamera::eImax);
    EXPECT_DOUBLE_EQ(target->GetFilmWidth(), 2.772);
    EXPECT_DOUBLE_EQ(target->GetNearPlane(), 2.0);
    EXPECT_EQ(target->GetFormat(), KDuzCamera::eHD);
    EXPECT_DOUBLE_EQ(target->GetAspectWidth(), 1920.0);
    EXPECT_DOUBLE_EQ(target->GetBackgroundColor().mGreen, 0.0);
    EXPECT_STREQ(target->GetBackgroundMediaName(), "media.avi");
    EXPECT_DOUBLE_EQ(target->GetFocusDistance(), 12.0);
    EXPECT_EQ(target->GetAntialiasingMethod(), 2);
    EXPECT_DOUBLE_EQ(target->GetFrameColor().mRed, 0.9);
    EXPECT_DOUBLE_EQ(target->GetFrameColor().mAlpha, 0.0);   // only red, green and blue travel

    auto* clone = dynamic_cast<KDuzCamera*>(source->Clone(2));
    ASSERT_NE(clone, nullptr);
    EXPECT_STREQ(clone->GetName(), "");
    EXPECT_EQ(clone->GetNode(), nullptr);
    EXPECT_DOUBLE_EQ(clone->GetFieldOfView(), 70.0);
    EXPECT_DOUBLE_EQ(clone->GetRoll(), 5.0);
}

}  // namespace
}  // namespace duzsdk
