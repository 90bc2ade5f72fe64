#include "sdk/scene/KDuzGlobalCameraSettings.h"

#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzCamera.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

#include <gtest/gtest.h>

#include "scene/SceneTestFixture.h"

#include <string>

namespace duzsdk {
namespace {

using Settings = KDuzGlobalCameraSettings;

class KDuzGlobalCameraSettingsTest : public SceneTestFixture {
protected:
    void SetUp() override {
        SceneTestFixture::SetUp();
        if (HasFatalFailure()) return;
        settings = scene->GetGlobalCameraSettings();
        ASSERT_NE(settings, nullptr);
    }

    int ManagerNodeCount() const { return manager->GetObjectCount(KDuzNode::ClassId()); }

    Settings* settings = nullptr;
};

struct ProducerRow {
    int producer;
    const char* name;
    int projection;
    double nearPlane, farPlane;
    double position[3];
    double up[3];
};

constexpr ProducerRow kProducers[] = {
    {Settings::ePerspective, "Producer Perspective", 0, 10, 4000, {0, 71.3, 287.5}, {0, 1, 0}},
    {Settings::eTop, "Producer Top", 1, 1, 30000, {0, 4000, 0}, {0, 0, -1}},
    {Settings::eBottom, "Producer Bottom", 1, 1, 30000, {0, -4000, 0}, {0, 0, -1}},
    {Settings::eFront, "Producer Front", 1, 1, 30000, {0, 0, 4000}, {0, 1, 0}},
    {Settings::eBack, "Producer Back", 1, 1, 30000, {0, 0, -4000}, {0, 1, 0}},
    {Settings::eRight, "Producer Right", 1, 1, 30000, {4000, 0, 0}, {0, 1, 0}},
    {Settings::eLeft, "Producer Left", 1, 1, 30000, {-4000, 0, 0}, {0, 1, 0}},
};

void ExpectProducerDefaults(const Settings& settings) {
    for (const ProducerRow& row : kProducers) {
        SCOPED_TRACE(row.name);
        KDuzNode* node = settings.GetProducerNode(row.producer);
        KDuzCamera* camera = settings.GetProducerCamera(row.producer);
        ASSERT_NE(node, nullptr);
        ASSERT_NE(camera, nullptr);
        EXPECT_STREQ(node->GetName(), row.name);
        EXPECT_STREQ(Settings::ProducerName(row.producer), row.name);
        EXPECT_FALSE(node->GetVisibility());
        EXPECT_EQ(node->GetNodeAttribute(), camera);
        EXPECT_EQ(static_cast<int>(camera->GetProjectionType()), row.projection);
        EXPECT_DOUBLE_EQ(camera->GetNearPlane(), row.nearPlane);
        EXPECT_DOUBLE_EQ(camera->GetFarPlane(), row.farPlane);
        // Channels read back through single-precision curve defaults.
        EXPECT_NEAR(camera->GetFieldOfView(), 40.0, 1e-5);
        EXPECT_NEAR(camera->GetFocalLength(), camera->ComputeFocalLength(40.0), 1e-4);
        const KgeTVector position = camera->GetPosition();
        const duzVectorTemplate3<double> translation = node->GetLclTranslation();
        const KgeTVector up = camera->GetUpVector();
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(position[i], row.position[i], 1e-3) << i;
            EXPECT_NEAR(translation[i], row.position[i], 1e-3) << i;
            EXPECT_EQ(up[i], row.up[i]) << i;
        }
    }
}

TEST_F(KDuzGlobalCameraSettingsTest, ProducerCamerasAndNodes) {
    EXPECT_STREQ(settings->GetDefaultCamera(), "Producer Perspective");
    EXPECT_EQ(settings->GetDefaultViewingMode(), 0);
    ExpectProducerDefaults(*settings);

    // The named getters reach the same objects.
    EXPECT_EQ(settings->GetPerspectiveCamera(), settings->GetProducerCamera(Settings::ePerspective));
    EXPECT_EQ(settings->GetTopCamera(), settings->GetProducerCamera(Settings::eTop));
    EXPECT_EQ(settings->GetBottomCamera(), settings->GetProducerCamera(Settings::eBottom));
    EXPECT_EQ(settings->GetFrontCamera(), settings->GetProducerCamera(Settings::eFront));
    EXPECT_EQ(settings->GetBackCamera(), settings->GetProducerCamera(Settings::eBack));
    EXPECT_EQ(settings->GetRightCamera(), settings->GetProducerCamera(Settings::eRight));
    EXPECT_EQ(settings->GetLeftCamera(), settings->GetProducerCamera(Settings::eLeft));
    EXPECT_EQ(settings->GetPerspectiveCameraNode(), settings->GetProducerNode(Settings::ePerspective));
    EXPECT_EQ(settings->GetLeftCameraNode(), settings->GetProducerNode(Settings::eLeft));
    EXPECT_EQ(settings->GetProducerCamera(-1), nullptr);
    EXPECT_EQ(settings->GetProducerNode(Settings::eProducerCount), nullptr);
    EXPECT_EQ(Settings::ProducerName(7), nullptr);

    // The producer nodes live in the manager but not in the scene.
    for (const ProducerRow& row : kProducers) {
        EXPECT_FALSE(scene->IsConnectedSrcObject(settings->GetProducerNode(row.producer))) << row.name;
    }
    const int before = scene->GetNodeCount();
    scene->GetRootNode()->AddChild(KDuzNode::Create(manager, "child"));
    EXPECT_EQ(scene->GetNodeCount(), before + 1);
    EXPECT_EQ(scene->FindSrcObject(KDuzNode::ClassId(), "Producer Top"), nullptr);
}

TEST_F(KDuzGlobalCameraSettingsTest, DefaultCameraNames) {
    EXPECT_TRUE(settings->SetDefaultCamera("Camera Switcher"));
    EXPECT_STREQ(settings->GetDefaultCamera(), "Camera Switcher");
    EXPECT_TRUE(settings->SetDefaultCamera("Producer Left"));
    EXPECT_STREQ(settings->GetDefaultCamera(), "Producer Left");

    // Case-sensitive: the lower-case name is unknown and the name stays.
    EXPECT_FALSE(settings->SetDefaultCamera("camera switcher"));
    EXPECT_EQ(settings->GetError().GetLastErrorIndex(), Settings::eUnknownCameraName);
    EXPECT_STREQ(settings->GetError().GetLastErrorString(), "Unknown camera name.");
    EXPECT_STREQ(settings->GetDefaultCamera(), "Producer Left");

    EXPECT_FALSE(settings->SetDefaultCamera(nullptr));
    EXPECT_EQ(settings->GetError().GetLastErrorIndex(), Settings::eNullParameter);
    EXPECT_STREQ(settings->GetError().GetLastErrorString(), "Null parameter.");
    EXPECT_FALSE(settings->SetDefaultCamera(""));

    // A node of the scene is accepted; one that only the manager knows is not.
    KDuzNode* inScene = KDuzNode::Create(manager, "Shot Cam");
    KDuzNode* outside = KDuzNode::Create(manager, "Loose Cam");
    ASSERT_NE(inScene, nullptr);
    ASSERT_NE(outside, nullptr);
    ASSERT_TRUE(scene->GetRootNode()->AddChild(inScene));
    EXPECT_TRUE(settings->SetDefaultCamera("Shot Cam"));
    EXPECT_STREQ(settings->GetDefaultCamera(), "Shot Cam");
    EXPECT_FALSE(settings->SetDefaultCamera("Loose Cam"));
    EXPECT_EQ(settings->GetError().GetLastErrorIndex(), Settings::eUnknownCameraName);
    EXPECT_STREQ(settings->GetDefaultCamera(), "Shot Cam");

    settings->SetDefaultViewingMode(3);
    EXPECT_EQ(settings->GetDefaultViewingMode(), 3);
    settings->RestoreDefaultSettings();
    EXPECT_STREQ(settings->GetDefaultCamera(), "Producer Perspective");
    EXPECT_EQ(settings->GetDefaultViewingMode(), 0);
}

// A file's producer camera replaces the settings' one, lens included.
TEST_F(KDuzGlobalCameraSettingsTest, CopyProducerCameraKeepsTheFilesLens) {
    KDuzCamera* loaded = KDuzCamera::Create(manager, "loaded");
    ASSERT_NE(loaded, nullptr);
    loaded->SetNearPlane(5.0);
    loaded->SetFarPlane(900.0);
    loaded->SetProjectionType(0);
    loaded->SetFieldOfView(65.0);
    loaded->SetFocalLength(18.0);
    loaded->SetOpticalCenterX(0.25);

    EXPECT_FALSE(settings->CopyProducerCamera("", loaded));
    EXPECT_FALSE(settings->CopyProducerCamera(nullptr, loaded));
    EXPECT_FALSE(settings->CopyProducerCamera("Producer Top", nullptr));
    EXPECT_FALSE(settings->CopyProducerCamera("producer top", loaded));
    EXPECT_FALSE(settings->CopyProducerCamera("Camera Switcher", loaded));

    ASSERT_TRUE(settings->CopyProducerCamera("Producer Top", loaded));
    KDuzCamera* top = settings->GetTopCamera();
    EXPECT_DOUBLE_EQ(top->GetNearPlane(), 5.0);
    EXPECT_DOUBLE_EQ(top->GetFarPlane(), 900.0);
    EXPECT_EQ(static_cast<int>(top->GetProjectionType()), 0);
    EXPECT_NEAR(top->GetFieldOfView(), 65.0, 1e-5);
    EXPECT_NEAR(top->GetFocalLength(), 18.0, 1e-5);
    EXPECT_NEAR(top->GetOpticalCenterX(), 0.25, 1e-6);
    // Only that producer changed.
    EXPECT_DOUBLE_EQ(settings->GetBottomCamera()->GetFarPlane(), 30000.0);

    ASSERT_TRUE(settings->CopyProducerCamera("Producer Bottom", loaded));
    EXPECT_DOUBLE_EQ(settings->GetBottomCamera()->GetFarPlane(), 900.0);

    settings->RestoreDefaultSettings();
    ExpectProducerDefaults(*settings);
}

TEST_F(KDuzGlobalCameraSettingsTest, ProducerObjectsGoWithTheSettings) {
    const int nodesWithScene = ManagerNodeCount();
    {
        Settings extra(manager, scene);
        EXPECT_EQ(ManagerNodeCount(), nodesWithScene + 7);
        ExpectProducerDefaults(extra);
    }
    EXPECT_EQ(ManagerNodeCount(), nodesWithScene);
    EXPECT_EQ(manager->GetObjectCount(KDuzCamera::ClassId()), 7);   // the scene's own producers
}

// The manager may destroy the producer objects first (when it goes down
// before the settings' owner); the settings then hold nothing stale.
TEST_F(KDuzGlobalCameraSettingsTest, ProducerObjectsDestroyedElsewhere) {
    const int nodesWithScene = ManagerNodeCount();
    auto* extra = new Settings(manager, nullptr);
    extra->GetTopCameraNode()->Destroy(false, false);
    extra->GetLeftCamera()->Destroy(false, false);
    EXPECT_EQ(extra->GetTopCameraNode(), nullptr);
    EXPECT_EQ(extra->GetTopCamera(), nullptr);   // the node took its camera
    EXPECT_EQ(extra->GetLeftCamera(), nullptr);
    EXPECT_NE(extra->GetLeftCameraNode(), nullptr);
    extra->RestoreDefaultSettings();
    EXPECT_FALSE(extra->CopyProducerCamera("Producer Left", settings->GetLeftCamera()));
    delete extra;
    EXPECT_EQ(ManagerNodeCount(), nodesWithScene);
}

TEST(KDuzGlobalCameraSettingsNoManagerTest, WithoutManagerThereAreNoProducers) {
    Settings settings(nullptr, nullptr);
    EXPECT_EQ(settings.GetPerspectiveCamera(), nullptr);
    EXPECT_EQ(settings.GetPerspectiveCameraNode(), nullptr);
    EXPECT_STREQ(settings.GetDefaultCamera(), "Producer Perspective");
    EXPECT_TRUE(settings.SetDefaultCamera("Producer Top"));
    EXPECT_FALSE(settings.SetDefaultCamera("Anything"));
}

}  // namespace
}  // namespace duzsdk
