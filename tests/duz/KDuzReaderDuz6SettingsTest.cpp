// "Version5" scene settings, the camera "Switcher" and the read options that
// gate sections.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "duz/KDuzReaderDuz6TestFixture.h"
#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/base/KTimeModes.h"
#include "sdk/io/KDuzImporter.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzObject.h"
#include "sdk/scene/KDuzCameraSwitcher.h"
#include "sdk/scene/KDuzGlobalCameraSettings.h"
#include "sdk/scene/KDuzGlobalLightSettings.h"
#include "sdk/scene/KDuzGlobalTimeSettings.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzSceneInfo.h"

using namespace duzsdk;

namespace {

std::string Version5(const std::string& blocks) { return "Version5:  {\n" + blocks + "}\n"; }

KDuzCameraSwitcher* SwitcherOf(KDuzScene* scene) {
    KDuzNode* node = scene->GetCameraSwitcherNode();
    return node != nullptr ? dynamic_cast<KDuzCameraSwitcher*>(node->GetCameraSwitcher()) : nullptr;
}

}  // namespace

TEST_F(Duz6ReaderTest, AmbientAndFogFollowTheirBlocks) {
    struct Case {
        const char* name;
        const char* blocks;
        double ambientRed, ambientAlpha, fogStart, fogEnd;
        bool fogEnabled;
    };
    const Case cases[] = {
        // No block: the default ambient colour stays.
        {"none", "", 0.4, 0.0, 0.3, 1000.0, false},
        // An empty block: white.
        {"empty ambient", "AmbientRenderSettings:  {\n}\n", 1.0, 1.0, 0.3, 1000.0, false},
        {"ambient colour", "AmbientRenderSettings:  {\n AmbientLightColor: 0.5,0.6,0.7,0.8\n}\n", 0.5, 0.8, 0.3,
         1000.0, false},
        // A start beyond the default end becomes the end; "FogEnable" is not
        // the field's name.
        {"fog start only", "FogOptions:  {\n FlogEnable: 1\n FogStart: 5000\n}\n", 0.4, 0.0, 1000.0, 1000.0, true},
        {"fog misspelt", "FogOptions:  {\n FogEnable: 1\n FogStart: 10\n FogEnd: 20\n}\n", 0.4, 0.0, 10.0, 20.0,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(Load(Version5(c.blocks)));
        const KDuzGlobalLightSettings* light = scene->GetGlobalLightSettings();
        EXPECT_DOUBLE_EQ(light->GetAmbientColor().mRed, c.ambientRed);
        EXPECT_DOUBLE_EQ(light->GetAmbientColor().mAlpha, c.ambientAlpha);
        EXPECT_DOUBLE_EQ(light->GetFogStart(), c.fogStart);
        EXPECT_DOUBLE_EQ(light->GetFogEnd(), c.fogEnd);
        EXPECT_EQ(light->GetFogEnable(), c.fogEnabled);
        ASSERT_TRUE(reader->FileClose());
    }
}

TEST_F(Duz6ReaderTest, ShadowPlanesAreBoundByThePlanesPresent) {
    struct Case {
        const char* name;
        const char* count;
        int planes;
        bool shadows;
    };
    // Two "Plane" fields in each file.
    const Case cases[] = {
        {"count 0 ignores the rest", "0", 0, false},
        {"count 3 finds two", "3", 2, true},
        {"count 1 takes one", "1", 1, true},
        {"a huge count stops at the last plane", "2147483647", 2, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(Load(Version5(std::string("ShadowPlanes:  {\n Count: ") + c.count +
                                  "\n Plane: 1,2,3,0,1,0,1\n Plane: 4,5,6,0,0,1,0\n"
                                  " UseShadow: 1\n ShadowIntensity: 900\n}\n")));
        KDuzGlobalLightSettings* light = scene->GetGlobalLightSettings();
        ASSERT_EQ(light->GetShadowPlaneCount(), c.planes);
        EXPECT_EQ(light->GetCastShadows(), c.shadows);
        EXPECT_DOUBLE_EQ(light->GetShadowIntensity(), c.shadows ? 300.0 : 0.0);
        if (c.planes == 2) {
            EXPECT_DOUBLE_EQ(light->GetShadowPlane(1)->mOrigin[0], 4.0);
            EXPECT_DOUBLE_EQ(light->GetShadowPlane(1)->mNormal[2], 1.0);
            EXPECT_FALSE(light->GetShadowPlane(1)->mEnable);
            EXPECT_TRUE(light->GetShadowPlane(0)->mEnable);
        }
        ASSERT_TRUE(reader->FileClose());
    }
}

TEST_F(Duz6ReaderTest, TimeSettingsModesSpansAndMarkers) {
    struct Case {
        const char* name;
        const char* frameRate;
        int mode;
    };
    const Case cases[] = {
        {"code used under 0.0", "    FrameRate: \"0.0\"\n", ePal},
        {"code used without a rate", "", ePal},
        {"a named rate ignores the code", "    FrameRate: \"24\"\n", eFrames24},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(Load(Version5(std::string("Settings:  {\n") + c.frameRate +
                                  "    TimeMode: 2\n"
                                  "    TimeFormat: 0\n"
                                  "    TimeLineStartTime: 100\n"
                                  "    TimeMarker: \"Marker::Start\" {\n        Time: 7\n        Loop: 1\n    }\n"
                                  "    TimeMarker: \"Plain\" {\n    }\n"
                                  "    TimeMarker: \"NoBlock\"\n"
                                  "    ReferenceTimeIndex: 1\n"
                                  "}\n")));
        KDuzGlobalTimeSettings* time = scene->GetGlobalTimeSettings();
        EXPECT_EQ(time->GetTimeMode(), c.mode);
        EXPECT_EQ(time->GetTimeFormat(), 0);
        const KDuzTimeSpan span = time->GetTimelineDefaultTimeSpan();
        EXPECT_EQ(span.mStart.Get(), 100);
        EXPECT_EQ(span.mStop.Get(), 46186158000LL);   // one second when missing
        ASSERT_EQ(time->GetTimeMarkerCount(), 2);       // the marker without a block is not added
        EXPECT_STREQ(time->GetTimeMarker(0)->mName.Buffer(), "Start");
        EXPECT_EQ(time->GetTimeMarker(0)->mTime.Get(), 7);
        EXPECT_TRUE(time->GetTimeMarker(0)->mLoop);
        EXPECT_FALSE(time->GetTimeMarker(1)->mLoop);
        EXPECT_EQ(time->GetCurrentTimeMarker(), 1);
        ASSERT_TRUE(reader->FileClose());
    }
}

TEST_F(Duz6ReaderTest, RendererSettingNamesTheDefaultCamera) {
    struct Case {
        const char* camera;
        const char* expected;
    };
    const Case cases[] = {
        {"Producer Top", "Producer Top"},
        {"Model::Producer Top", "Producer Top"},
        {"Model::Cam", "Cam"},                          // a node of the file
        {"Model::Nobody", "Producer Perspective"},      // refused: the default stays
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.camera);
        ASSERT_TRUE(Load("Definitions:  {\n    ObjectType: \"Model\"\n}\n"
                         "Objects:  {\n    Model: \"Model::Cam\", \"Null\" {\n    }\n}\n" +
                         Version5(std::string("RendererSetting:  {\n    DefaultCamera: \"") + c.camera +
                                  "\"\n    DefaultViewingMode: 2\n}\n") +
                         "Connections:  {\n    Connect: \"OO\", \"Model::Cam\", \"Model::Scene\"\n}\n"));
        EXPECT_STREQ(scene->GetGlobalCameraSettings()->GetDefaultCamera(), c.expected);
        EXPECT_EQ(scene->GetGlobalCameraSettings()->GetDefaultViewingMode(), 2);
        ASSERT_TRUE(reader->FileClose());
    }
    EXPECT_STREQ(KDuzReaderDuz6::StripProducerCameraPrefix("Model::Camera Switcher").Buffer(), "Camera Switcher");
    EXPECT_STREQ(KDuzReaderDuz6::StripProducerCameraPrefix("Model::producer top").Buffer(), "Model::producer top");
}

TEST_F(Duz6ReaderTest, GlobalSettingsOffLeavesVersion5Unread) {
    options->SetBoolOption("GLOBAL SETTINGS", false);
    ASSERT_TRUE(Load(Version5("AmbientRenderSettings:  {\n}\nSettings:  {\n    TimeMode: 2\n}\n")));
    EXPECT_DOUBLE_EQ(scene->GetGlobalLightSettings()->GetAmbientColor().mRed, 0.4);
    EXPECT_EQ(scene->GetGlobalTimeSettings()->GetTimeMode(), eFrames30);
}

// A switcher model reads its own names through the attribute's read hook;
// the index fix-up then turns the file's positions in that list into
// positions among the scene's cameras (here B comes before A).
TEST_F(Duz6ReaderTest, CameraSwitcherModelNamesDriveTheIndexFixUp) {
    ASSERT_TRUE(Load("Definitions:  {\n    ObjectType: \"Model\"\n}\n"
                     "Objects:  {\n"
                     "    Model: \"Model::B\", \"Camera\" {\n    }\n"
                     "    Model: \"Model::A\", \"Camera\" {\n    }\n"
                     "    Model: \"Model::Camera Switcher\", \"CameraSwitcher\" {\n"
                     "        CameraId: 1\n"
                     "        CameraIndexName: \"Model::A\", \"B\", \"Model::Gone\"\n"
                     "    }\n"
                     "}\n"
                     "Connections:  {\n"
                     "    Connect: \"OO\", \"Model::B\", \"Model::Scene\"\n"
                     "    Connect: \"OO\", \"Model::A\", \"Model::Scene\"\n"
                     "}\n"))
        << reader->GetLastErrorString();
    KDuzCameraSwitcher* switcher = SwitcherOf(scene);
    ASSERT_NE(switcher, nullptr);
    EXPECT_EQ(scene->GetCameraSwitcherNode(), reader->FindNodeByName("Camera Switcher"));
    ASSERT_EQ(switcher->GetCameraNameCount(), 3);
    EXPECT_STREQ(switcher->GetCameraName(0), "A");
    EXPECT_STREQ(switcher->GetCameraName(2), "Gone");
    KFCurve* curve = scene->GetCameraSwitcherNode()->GetDefaultTakeNode()->GetCameraIndexCurve();
    ASSERT_NE(curve, nullptr);
    EXPECT_FLOAT_EQ(curve->GetDefaultValue(), 2.0f);
}

// The top-level "Switcher" fills the scene's switcher before "Objects"; a
// switcher model without names of its own keeps them.
TEST_F(Duz6ReaderTest, SwitcherSectionNamesSurviveTheSwitcherModel) {
    const std::string switcher = "Switcher:  {\n"
                                 "    CameraId: 2\n"
                                 "    CameraIndexName: \"Model::Left\", \"Right\"\n"
                                 "}\n";
    ASSERT_TRUE(Load(switcher));
    ASSERT_NE(SwitcherOf(scene), nullptr);
    ASSERT_EQ(SwitcherOf(scene)->GetCameraNameCount(), 2);
    EXPECT_STREQ(SwitcherOf(scene)->GetCameraName(0), "Left");
    EXPECT_EQ(SwitcherOf(scene)->GetDefaultCameraIndex(), 2);
    ASSERT_TRUE(reader->FileClose());

    ASSERT_TRUE(Load(switcher + "Definitions:  {\n    ObjectType: \"Model\"\n}\n"
                                "Objects:  {\n    Model: \"Model::Camera Switcher\", \"\" {\n    }\n}\n"));
    ASSERT_NE(SwitcherOf(scene), nullptr);
    EXPECT_EQ(scene->GetCameraSwitcherNode(), reader->FindNodeByName("Camera Switcher"));
    ASSERT_EQ(SwitcherOf(scene)->GetCameraNameCount(), 2);
    EXPECT_STREQ(SwitcherOf(scene)->GetCameraName(1), "Right");
    ASSERT_TRUE(reader->FileClose());

    // A file without switcher data leaves none of the earlier names.
    ASSERT_TRUE(Load(""));
    ASSERT_NE(SwitcherOf(scene), nullptr);
    EXPECT_EQ(SwitcherOf(scene)->GetCameraNameCount(), 0);
}

TEST_F(Duz6ReaderTest, ConstraintOptionGatesConstraintRecords) {
    const std::string body = "Definitions:  {\n    ObjectType: \"Constraint\"\n}\n"
                             "Objects:  {\n"
                             "    Constraint: \"Constraint::Aim\", \"Aim\" {\n    }\n"
                             "    Constraint: \"Constraint::Other\", \"Unknown\" {\n    }\n"
                             "}\n";
    for (bool on : {true, false}) {
        SCOPED_TRACE(on);
        options->SetBoolOption("CONSTRAINT", on);
        ASSERT_TRUE(Load(body));
        KDuzObject* aim = reader->FindObjectByName("Constraint::Aim");
        EXPECT_EQ(aim != nullptr, on);
        EXPECT_EQ(reader->GetFileObject()->FindObjectByName("Constraint::Aim") != nullptr, on);
        EXPECT_EQ(scene->GetSrcObjectCount(KDuzClassIdOf(eDuzClassConstraintAim)), on ? 1 : 0);
        // Constraints of no known type take the generic path either way.
        EXPECT_NE(reader->FindObjectByName("Constraint::Other"), nullptr);
        ASSERT_TRUE(reader->FileClose());
    }
}

// The fuzzing seeds are real files of the game's road: with the importer's
// default options they import whole.
TEST_F(Duz6ReaderTest, SeedFilesImportWithDefaultOptions) {
    const char* data = std::getenv("DUZ_TEST_DATA");
    if (data == nullptr) GTEST_SKIP() << "DUZ_TEST_DATA is not set";
    const std::filesystem::path seeds =
        (std::filesystem::path(data) / ".." / ".." / "fuzz" / "seeds" / "KDuzImportFuzz").lexically_normal();
    struct Case {
        const char* file;
        const char* node;
    };
    for (const Case& c : {Case{"scene-sections.duz", "Box"}, Case{"extreme-node-properties.duz", "Extreme2"}}) {
        SCOPED_TRACE(c.file);
        KDuzImporter* importer = KDuzImporter::Create(manager, "");
        ASSERT_NE(importer, nullptr);
        ASSERT_TRUE(importer->Initialize((seeds / c.file).string().c_str())) << importer->GetLastErrorString();
        ASSERT_TRUE(importer->Import(scene)) << importer->GetLastErrorString();
        EXPECT_NE(scene->FindNode(c.node), nullptr);
        importer->Destroy();
    }
    // What the sections of the first seed left in the scene.
    KDuzImporter* importer = KDuzImporter::Create(manager, "");
    ASSERT_TRUE(importer->Initialize((seeds / "scene-sections.duz").string().c_str()));
    ASSERT_TRUE(importer->Import(scene));
    ASSERT_NE(scene->GetSceneInfo(), nullptr);
    EXPECT_STREQ(scene->GetSceneInfo()->title.Buffer(), "Seed");
    EXPECT_TRUE(scene->GetGlobalLightSettings()->GetFogEnable());
    EXPECT_EQ(scene->GetGlobalLightSettings()->GetShadowPlaneCount(), 2);
    EXPECT_EQ(scene->GetGlobalTimeSettings()->GetTimeMarkerCount(), 1);
    EXPECT_STREQ(scene->GetGlobalCameraSettings()->GetDefaultCamera(), "Producer Top");
    ASSERT_NE(SwitcherOf(scene), nullptr);
    EXPECT_EQ(SwitcherOf(scene)->GetCameraNameCount(), 1);
    EXPECT_EQ(scene->GetTakeDescriptionCount(), 1);
    KDuzNode* box = scene->FindNode("Box");
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(scene->FindNode("Cam")->IsConnectedSrcProperty(box->FindProperty("Lcl Translation", true)));
    importer->Destroy();
}
