#include "KDuzReaderDuz6RecordsTestSupport.h"

#include "sdk/geometry/KDuzMesh.h"
#include "sdk/scene/KDuzCamera.h"
#include "sdk/scene/KDuzLight.h"
#include "sdk/scene/KDuzMarker.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNull.h"
#include "sdk/scene/KDuzSkeleton.h"

namespace duzsdk {
namespace {

using Duz6Attributes = Duz6RecordTest;

TEST_F(Duz6Attributes, ModelFlags)
{
    struct Case {
        const char* body;
        bool visible;
        int shading;
        int culling;
        bool multiLayer;
    };
    const Case cases[] = {
        {"Hidden: \"true\"\nShading: W\nCulling: \"CullingOnCW\"\n", false, 1, 2, true},
        {"Hidden: \"False\"\nShading: U\nCulling: \"CullingOnCCW\"\nMultiLayer: 0\n", true, 5, 1, false},
        {"Shading: w\nCulling: \"cullingoncw\"\n", true, 0, 0, true},
        {"Shading: Q\nCulling: \"CullingOff\"\nMultiLayer: 2\n", true, 0, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        TearDown();
        SetUp();
        Open(std::string("Model: \"Model::N\", \"Null\" {\n") + c.body + "}", "Model");
        KDuzNode* node = KDuzNode::Create(manager, "N");
        node->SetShadingMode(4);
        KDuz6ReadModelVisibilityAndShading(file, node);
        KDuz6ReadModelCulling(file, node);
        KDuz6ReadModelMultiLayer(file, node);
        KDuz6ReadModelTargetRotations(file, node);
        EXPECT_EQ(node->GetVisibility(), c.visible);
        EXPECT_EQ(node->GetShadingMode(), c.shading);
        EXPECT_EQ(node->GetCullingType(), c.culling);
        EXPECT_EQ(node->GetMultiLayer(), c.multiLayer);
    }
}

TEST_F(Duz6Attributes, TargetRotations)
{
    Open("Model: \"Model::N\", \"Null\" {\nPostTargetRotation: 1,2,3\nUpTargetRotation: 4,5,6\n}", "Model");
    KDuzNode* node = KDuzNode::Create(manager, "N");
    KDuz6ReadModelTargetRotations(file, node);
    EXPECT_EQ(node->GetPostTargetRotation()[2], 3.0);
    EXPECT_EQ(node->GetTargetUpVector()[0], 4.0);
}

TEST_F(Duz6Attributes, SkeletonSizes)
{
    struct Case {
        const char* subType;
        const char* body;
        double size;
    };
    const Case cases[] = {
        {"LimbNode", "Size: 0.5\n", 50.0},
        {"LimbNode", "Size: 0.5\nProperties:  {\n  Size: 7\n  Color: 0.1,0.2,0.3\n}\n", 7.0},
        {"Root", "Properties:  {\n  Size: 3\n}\n", 3.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        TearDown();
        SetUp();
        Open(std::string("Model: \"Model::S\", \"") + c.subType + "\" {\n" + c.body + "}", "Model");
        KDuzNode* node = KDuzNode::Create(manager, "S");
        EXPECT_TRUE(KDuz6ReadNodeAttribute(Context(), node, c.subType));
        auto* skeleton = static_cast<KDuzSkeleton*>(node->GetNodeAttribute());
        ASSERT_NE(skeleton, nullptr);
        ASSERT_TRUE(skeleton->Is(KDuzSkeleton::ClassId()));
        EXPECT_DOUBLE_EQ(skeleton->GetSize(), c.size);
    }
}

TEST_F(Duz6Attributes, LimbLengthAndColour)
{
    Open("Model: \"Model::L\", \"Limb\" {\nLimbLength: 2.5\nProperties:  {\n  Color: 0.1,0.2,0.3\n}\n}", "Model");
    KDuzNode* node = KDuzNode::Create(manager, "L");
    ASSERT_TRUE(KDuz6ReadNodeAttribute(Context(), node, "Limb"));
    auto* skeleton = static_cast<KDuzSkeleton*>(node->GetNodeAttribute());
    EXPECT_EQ(skeleton->GetSkeletonType(), KDuzSkeleton::eLimb);
    EXPECT_DOUBLE_EQ(skeleton->GetLimbLength(), 2.5);
    const KDuzRGBAColor color = skeleton->GetLimbNodeColor();
    EXPECT_DOUBLE_EQ(color.mGreen, 0.2);
    EXPECT_DOUBLE_EQ(color.mAlpha, 1.0);
}

TEST_F(Duz6Attributes, SubTypesMatchExactly)
{
    Open("Model: \"Model::M\", \"Mesh\" {\nVertices: 0,0,0\nProperties:  {\n  Size: 4\n}\n}", "Model");
    struct Case {
        const char* subType;
        bool attached;
    };
    for (const Case& c : {Case{"marker", false}, Case{"NurbsSurface", false}, Case{"Optical", true},
                          Case{"Null", true}, Case{"Mesh", true}}) {
        SCOPED_TRACE(c.subType);
        KDuzNode* node = KDuzNode::Create(manager, c.subType);
        EXPECT_EQ(KDuz6ReadNodeAttribute(Context(), node, c.subType), c.attached);
        EXPECT_EQ(node->GetNodeAttribute() != nullptr, c.attached);
    }
}

TEST_F(Duz6Attributes, NullSizeAndMeshBody)
{
    Open("Model: \"Model::M\", \"Mesh\" {\nVertices: 0,0,0, 1,0,0, 0,1,0\nPolygonVertexIndex: 0,1,-3\n"
         "Properties:  {\n  Size: 4\n}\n}",
         "Model");
    KDuzNode* meshNode = KDuzNode::Create(manager, "M");
    ASSERT_TRUE(KDuz6ReadNodeAttribute(Context(), meshNode, "Mesh"));
    auto* mesh = static_cast<KDuzMesh*>(meshNode->GetNodeAttribute());
    ASSERT_TRUE(mesh->Is(KDuzMesh::ClassId()));
    EXPECT_EQ(mesh->GetPolygonCount(), 1);
    KDuzNode* nullNode = KDuzNode::Create(manager, "N");
    ASSERT_TRUE(KDuz6ReadNodeAttribute(Context(), nullNode, "Null"));
    EXPECT_DOUBLE_EQ(static_cast<KDuzNull*>(nullNode->GetNodeAttribute())->GetSize(), 4.0);
}

TEST_F(Duz6Attributes, LightFieldsFollowTheirVersion)
{
    for (int version : {201, 202}) {
        SCOPED_TRACE(version);
        TearDown();
        SetUp();
        Open("Model: \"Model::L\", \"Light\" {\nLightTypeVersion: " + std::to_string(version) +
                 "\nColor: 0.5,0.25,1\nIntensity: 50\nConeAngle: 30\nLightType: 2\nCastLight: 0\n}",
             "Model");
        KDuzNode* node = KDuzNode::Create(manager, "L");
        ASSERT_TRUE(KDuz6ReadNodeAttribute(Context(), node, "Light"));
        auto* light = static_cast<KDuzLight*>(node->GetNodeAttribute());
        KDuzLight* fresh = KDuzLight::Create(manager, "fresh");
        EXPECT_EQ(light->GetLightType(), KDuzLight::eSpot);
        EXPECT_FALSE(light->GetCastLight());
        if (version == 201) {
            EXPECT_EQ(light->GetIntensity(), fresh->GetIntensity());
            EXPECT_EQ(light->GetColor().mRed, fresh->GetColor().mRed);
        } else {
            EXPECT_DOUBLE_EQ(light->GetIntensity(), 50.0);
            EXPECT_DOUBLE_EQ(light->GetConeAngle(), 30.0);
            EXPECT_DOUBLE_EQ(light->GetColor().mGreen, 0.25);
        }
    }
}

TEST_F(Duz6Attributes, CameraDefaultsAndFields)
{
    Open("Model: \"Model::C\", \"Camera\" {\n}\nModel: \"Model::D\", \"Camera\" {\n"
         "Position: 1,2,3\nLookAt: 0,0,-1\nShowAudio: 1\nAudioColor: 1,0,0\nCameraOrthoZoom: 3\n}",
         "Model");
    KDuzNode* node = KDuzNode::Create(manager, "C");
    ASSERT_TRUE(KDuz6ReadNodeAttribute(Context(), node, "Camera"));
    auto* camera = static_cast<KDuzCamera*>(node->GetNodeAttribute());
    EXPECT_EQ(camera->GetOrthoZoom(), 1.0);
    EXPECT_EQ(camera->GetAudioColor().mRed, 0.0);
    EXPECT_EQ(camera->GetAudioColor().mGreen, 1.0);
    EXPECT_FALSE(camera->GetShowAudio());

    file.FieldReadBlockEnd();
    file.FieldReadEnd();
    ASSERT_TRUE(file.FieldReadBegin("Model"));
    ASSERT_TRUE(file.FieldReadBlockBegin());
    KDuzNode* owner = KDuzNode::Create(manager, "D");
    ASSERT_TRUE(KDuz6ReadNodeAttribute(Context(), owner, "Camera"));
    auto* second = static_cast<KDuzCamera*>(owner->GetNodeAttribute());
    // "Position" reaches the node: the camera is attached before it is read.
    const auto position = owner->GetLclTranslation();
    EXPECT_EQ(position[0], 1.0);
    EXPECT_EQ(position[1], 2.0);
    EXPECT_EQ(position[2], 3.0);
    EXPECT_EQ(second->GetOrthoZoom(), 3.0);
    EXPECT_TRUE(second->GetShowAudio());
    EXPECT_EQ(second->GetAudioColor().mGreen, 0.0);
    EXPECT_EQ(second->GetInterestPosition()[2], -1.0);
}

TEST_F(Duz6Attributes, MarkerForms)
{
    Open("Model: \"Model::Old\", \"Marker\" {\n"
         "Channel: \"Other\" {\n  Channel: \"X\" {\n    Default: 0.9\n  }\n}\n"
         "Channel: \"Property::Color\" {\n  Channel: \"X\" {\n    Default: 0.5\n  }\n"
         "  Channel: \"W\" {\n    Default: 0.1\n  }\n}\n"
         "IKReachTranslation: 4\n}\n"
         "Model: \"Model::New\", \"IKEffector\" {\n"
         "Properties:  {\n  Look: 3\n  Size: 12\n  Color: 0.1,0.2,0.3\n  IKPivot: 1,2,3\n  ShowLabel: 1\n}\n"
         "IKReachTranslation: 40\nIKReachRotation: 50\n}",
         "Model");
    KDuzNode* oldNode = KDuzNode::Create(manager, "Old");
    ASSERT_TRUE(KDuz6ReadNodeAttribute(Context(), oldNode, "Marker"));
    auto* oldMarker = static_cast<KDuzMarker*>(oldNode->GetNodeAttribute());
    const KDuzRGBAColor before = KDuzMarker::Create(manager, "fresh")->GetColor();
    EXPECT_DOUBLE_EQ(oldMarker->GetColor().mRed, 0.5);
    EXPECT_DOUBLE_EQ(oldMarker->GetColor().mGreen, before.mGreen);
    EXPECT_EQ(oldMarker->GetType(), KDuzMarker::eStandard);
    // Only IK effectors take the reach values and their properties.
    EXPECT_FALSE(oldMarker->FindProperty("IK Reach Translation").IsValid());
    // The block was rewound: later readers see every field again.
    EXPECT_EQ(file.FieldReadIntOrDefault("IKReachTranslation", -1), 4);

    file.FieldReadBlockEnd();
    file.FieldReadEnd();
    ASSERT_TRUE(file.FieldReadBegin("Model"));
    ASSERT_TRUE(file.FieldReadBlockBegin());
    KDuzNode* newNode = KDuzNode::Create(manager, "New");
    ASSERT_TRUE(KDuz6ReadNodeAttribute(Context(), newNode, "IKEffector"));
    auto* marker = static_cast<KDuzMarker*>(newNode->GetNodeAttribute());
    EXPECT_EQ(marker->GetType(), KDuzMarker::eIKEffector);
    EXPECT_EQ(marker->GetLook(), KDuzMarker::eSphere);
    EXPECT_DOUBLE_EQ(marker->GetSize(), 12.0);
    EXPECT_DOUBLE_EQ(marker->GetColor().mBlue, 0.3);
    EXPECT_DOUBLE_EQ(marker->GetIKPivot()[1], 2.0);
    EXPECT_TRUE(marker->GetShowLabel());
    EXPECT_DOUBLE_EQ(marker->GetDefaultIKReachTranslation(), 40.0);
    EXPECT_DOUBLE_EQ(marker->GetDefaultIKReachRotation(), 50.0);
    EXPECT_TRUE(marker->FindProperty("IK Reach Translation").IsValid());
    EXPECT_TRUE(marker->FindProperty("IK Reach Rotation").IsValid());
}

}  // namespace
}  // namespace duzsdk
