#include "sdk/scene/KDuzCamera.h"

#include "KDuzAttributeTestSupport.h"

#include <cmath>
#include <numbers>

namespace duzsdk {
namespace {

using testing_attribute::AttributeTest;

class CameraOpticsTest : public AttributeTest {
protected:
    void SetUp() override {
        AttributeTest::SetUp();
        camera = KDuzCamera::Create(manager, "camera");
        ASSERT_NE(camera, nullptr);
    }
    KDuzCamera* camera = nullptr;
};

TEST_F(CameraOpticsTest, FieldOfViewAgainstFocalLength) {
    // 35mm TV Projection, vertical aperture.
    EXPECT_NEAR(camera->ComputeFocalLength(40.0), 21.354493, 1e-6);
    EXPECT_NEAR(camera->ComputeFieldOfView(50.0), 17.67160, 1e-5);
    EXPECT_DOUBLE_EQ(camera->ComputeFocalLength(0.0), 0.0);
    EXPECT_DOUBLE_EQ(camera->ComputeFieldOfView(0.0), 0.0);
    const double fov = camera->ComputeFieldOfView(camera->ComputeFocalLength(33.0));
    EXPECT_NEAR(fov, 33.0, 1e-9);

    // Other modes use the width and the squeeze.
    camera->SetApertureMode(KDuzCamera::eHorizAndVert);
    EXPECT_NEAR(camera->ComputeFocalLength(40.0), 0.816 * 25.4 / std::tan(20.0 * std::numbers::pi / 180.0) * 0.5, 1e-9);
    camera->SetApertureFormat(KDuzCamera::e35mmAnamorphic);
    EXPECT_NEAR(camera->ComputeFocalLength(40.0), 0.864 * 25.4 * 2.0 / std::tan(20.0 * std::numbers::pi / 180.0) * 0.5, 1e-9);
}

TEST_F(CameraOpticsTest, ClampedSetters) {
    enum Value { kFov, kFovX, kFovY, kNear, kFar, kPixelRatio, kSqueeze };
    struct Row {
        Value value;
        double in;
        double out;
    };
    const Row kRows[] = {
        {kFov, 0.5, 1.0},       {kFov, 200.0, 179.0},        {kFovX, -5.0, 1.0},
        {kFovY, 90.0, 90.0},    {kNear, 0.0, 0.001},         {kFar, 1e7, 600000.0},
        {kFar, std::nan(""), 0.001}, {kPixelRatio, 100.0, 20.0}, {kPixelRatio, 0.0, 0.05},
        {kSqueeze, -1.0, 0.0001},
    };
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.value);
        double result = 0.0;
        switch (row.value) {
            case kFov: camera->SetFieldOfView(row.in); result = camera->GetFieldOfView(); break;
            case kFovX: camera->SetFieldOfViewX(row.in); result = camera->GetFieldOfViewX(); break;
            case kFovY: camera->SetFieldOfViewY(row.in); result = camera->GetFieldOfViewY(); break;
            case kNear: camera->SetNearPlane(row.in); result = camera->GetNearPlane(); break;
            case kFar: camera->SetFarPlane(row.in); result = camera->GetFarPlane(); break;
            case kPixelRatio: camera->SetPixelRatio(row.in); result = camera->GetPixelRatio(); break;
            case kSqueeze: camera->SetFilmSqueezeRatio(row.in); result = camera->GetFilmSqueezeRatio(); break;
        }
        EXPECT_DOUBLE_EQ(result, row.out);
    }
}

TEST_F(CameraOpticsTest, NearAndFarPlanesPushEachOther) {
    camera->SetNearPlane(5000.0);
    EXPECT_DOUBLE_EQ(camera->GetNearPlane(), 5000.0);
    EXPECT_DOUBLE_EQ(camera->GetFarPlane(), 5000.0);
    camera->Reset();
    camera->SetFarPlane(5.0);
    EXPECT_DOUBLE_EQ(camera->GetNearPlane(), 5.0);
    EXPECT_DOUBLE_EQ(camera->GetFarPlane(), 5.0);
}

TEST_F(CameraOpticsTest, FilmFormats) {
    struct Row {
        int format;
        double width, height, squeeze;
    };
    constexpr Row kRows[] = {
        {1, 0.404, 0.295, 1}, {2, 0.493, 0.292, 1}, {3, 0.864, 0.63, 1},  {4, 0.816, 0.612, 1},
        {5, 0.98, 0.735, 1},  {6, 0.825, 0.446, 1}, {7, 0.864, 0.732, 2}, {8, 2.066, 0.906, 1},
        {9, 1.485, 0.991, 1}, {10, 2.08, 1.48, 1},  {11, 2.772, 2.072, 1},
    };
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.format);
        camera->SetApertureFormat(row.format);
        EXPECT_EQ(camera->GetApertureFormat(), row.format);
        EXPECT_DOUBLE_EQ(camera->GetFilmWidth(), row.width);
        EXPECT_DOUBLE_EQ(camera->GetFilmHeight(), row.height);
        EXPECT_DOUBLE_EQ(camera->GetFilmSqueezeRatio(), row.squeeze);
        EXPECT_DOUBLE_EQ(camera->GetFilmAspectRatio(), row.width / row.height);
    }
    // Unknown formats fall back to custom and keep the film.
    camera->SetApertureFormat(42);
    EXPECT_EQ(camera->GetApertureFormat(), KDuzCamera::eCustomAperture);
    EXPECT_DOUBLE_EQ(camera->GetFilmWidth(), 2.772);
}

TEST_F(CameraOpticsTest, FilmValueSettersSwitchToCustom) {
    camera->SetFilmWidth(0.816);   // unchanged: nothing happens
    EXPECT_EQ(camera->GetApertureFormat(), KDuzCamera::e35mmTVProjection);
    camera->SetFilmWidth(0.0);
    EXPECT_DOUBLE_EQ(camera->GetFilmWidth(), 0.0001);
    EXPECT_EQ(camera->GetApertureFormat(), KDuzCamera::eCustomAperture);
    EXPECT_DOUBLE_EQ(camera->GetFilmAspectRatio(), 0.0001 / 0.612);
    camera->SetApertureFormat(KDuzCamera::eSuper16mm);
    camera->SetFilmHeight(1.0);
    EXPECT_EQ(camera->GetApertureFormat(), KDuzCamera::eCustomAperture);
    EXPECT_DOUBLE_EQ(camera->GetFilmAspectRatio(), 0.493);
}

TEST_F(CameraOpticsTest, AspectModes) {
    struct Row {
        int mode;
        double w, h;
        double outW, outH;
    };
    constexpr Row kRows[] = {
        {0, 0.5, 0.5, 0.5, 0.5},    {1, 0.0, 7.0, 0.001, 1.0}, {1, 2.0, 7.0, 2.0, 1.0},
        {2, 0.5, 0.5, 1.0, 1.0},    {2, 640, 480, 640, 480},   {3, 0.5, 0.0, 1.0, 0.001},
        {4, 0.0, 0.5, 0.001, 1.0},
    };
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.mode);
        camera->SetFormat(KDuzCamera::eNTSC);
        camera->SetAspect(row.mode, row.w, row.h);
        EXPECT_DOUBLE_EQ(camera->GetAspectWidth(), row.outW);
        EXPECT_DOUBLE_EQ(camera->GetAspectHeight(), row.outH);
        EXPECT_EQ(camera->GetFormat(), KDuzCamera::eCustomFormat);
        EXPECT_EQ(camera->GetAspectRatioMode(), row.mode);
    }
    // An unknown mode keeps the values but is stored.
    camera->SetAspect(9, 5.0, 5.0);
    EXPECT_DOUBLE_EQ(camera->GetAspectWidth(), 0.001);
    EXPECT_EQ(static_cast<int>(camera->GetAspectRatioMode()), 9);
}

TEST_F(CameraOpticsTest, OutputFormats) {
    struct Row {
        int format;
        double width, height, pixelRatio;
    };
    constexpr Row kRows[] = {
        {1, 720, 486, 0.8999999999775},  {2, 640, 480, 0.999999999975},  {3, 570, 486, 1.1368421052347},
        {4, 720, 576, 1.06666666664},    {5, 1920, 1080, 0.99999999995625}, {6, 640, 480, 0.999999999975},
        {7, 320, 200, 0.8333333333125},  {8, 320, 240, 0.999999999975},  {10, 1280, 1024, 1.06666666664},
    };
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.format);
        camera->SetAspect(KDuzCamera::eWindowSize, 1.0, 1.0);
        camera->SetPixelRatio(1.0);
        camera->SetFormat(row.format);
        EXPECT_EQ(camera->GetFormat(), row.format);
        EXPECT_EQ(camera->GetAspectRatioMode(), KDuzCamera::eFixedResolution);
        EXPECT_DOUBLE_EQ(camera->GetAspectWidth(), row.width);
        EXPECT_DOUBLE_EQ(camera->GetAspectHeight(), row.height);
        EXPECT_NEAR(camera->GetPixelRatio(), row.pixelRatio, 1e-12);
    }
    camera->SetFormat(9);
    EXPECT_EQ(camera->GetFormat(), KDuzCamera::eCustomFormat);
}

TEST_F(CameraOpticsTest, OutputFormatFollowsTheResolutionMode) {
    camera->SetAspect(KDuzCamera::eFixedRatio, 1.5, 1.0);
    camera->SetFormat(KDuzCamera::eHD);
    const double ratio = KDuzCameraComputePixelRatio(1920, 1080, 1.7777777777);
    EXPECT_EQ(camera->GetAspectRatioMode(), KDuzCamera::eFixedRatio);
    EXPECT_DOUBLE_EQ(camera->GetAspectWidth(), 1920.0 / 1080.0 * ratio);
    EXPECT_DOUBLE_EQ(camera->GetAspectHeight(), 1.0);
    EXPECT_EQ(camera->GetFormat(), KDuzCamera::eHD);

    camera->SetAspect(KDuzCamera::eFixedWidth, 100.0, 1.0);
    camera->SetFormat(KDuzCamera::eNTSC);
    EXPECT_EQ(camera->GetAspectRatioMode(), KDuzCamera::eFixedWidth);
    EXPECT_DOUBLE_EQ(camera->GetAspectHeight(), 480.0 / 640.0);
    camera->SetAspect(KDuzCamera::eFixedHeight, 100.0, 10.0);
    camera->SetFormat(KDuzCamera::eNTSC);
    EXPECT_EQ(camera->GetAspectRatioMode(), KDuzCamera::eFixedHeight);
    EXPECT_DOUBLE_EQ(camera->GetAspectWidth(), 640.0 / 480.0);
}

TEST_F(CameraOpticsTest, PixelRatio) {
    EXPECT_DOUBLE_EQ(KDuzCameraComputePixelRatio(720, 486, 1.3333333333), 1.3333333333 / (720.0 / 486.0));
    EXPECT_DOUBLE_EQ(KDuzCameraComputePixelRatio(0, 0, 2.0), 2.0);
    EXPECT_DOUBLE_EQ(KDuzCameraComputePixelRatio(4, 0, 2.0), 0.5);

    camera->SetFormat(KDuzCamera::ePAL);
    camera->SetPixelRatio(camera->GetPixelRatio());   // unchanged: the format stays
    EXPECT_EQ(camera->GetFormat(), KDuzCamera::ePAL);
    camera->SetPixelRatio(2.0);
    EXPECT_EQ(camera->GetFormat(), KDuzCamera::eCustomFormat);
}

}  // namespace
}  // namespace duzsdk
