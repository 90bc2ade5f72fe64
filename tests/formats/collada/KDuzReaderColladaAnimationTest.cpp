// Controllers (skin weights, joints, morphs) and animation channels.
#include "ColladaReaderFixture.h"

#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/animation/KFCurveKey.h"
#include "sdk/geometry/KDuzCluster.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzSkin.h"
#include "sdk/scene/KDuzNull.h"
#include "sdk/scene/KDuzPose.h"

namespace colladatest {
namespace {

const char* const kGeometry =
    "<library_geometries><geometry id=\"g\"><mesh><source id=\"p\"><float_array>0 0 0 1 0 0 0 1 0"
    "</float_array><technique_common><accessor count=\"3\" stride=\"3\"/></technique_common></source>"
    "<vertices id=\"v\"><input semantic=\"POSITION\" source=\"#p\"/></vertices>"
    "<triangles><input semantic=\"VERTEX\" source=\"#v\"/><p>0 1 2</p></triangles></mesh></geometry>"
    "<geometry id=\"smile\"><mesh><source id=\"sp\"><float_array>0 0 1 1 0 1 0 1 1"
    "</float_array><technique_common><accessor count=\"3\" stride=\"3\"/></technique_common></source>"
    "<vertices id=\"sv\"><input semantic=\"POSITION\" source=\"#sp\"/></vertices>"
    "<triangles><input semantic=\"VERTEX\" source=\"#sv\"/><p>0 1 2</p></triangles></mesh></geometry>"
    "</library_geometries>";

std::string Source(const std::string& id, const std::string& array, const std::string& values, int count,
                   int stride = 1) {
    return "<source id=\"" + id + "\"><" + array + ">" + values + "</" + array + "><technique_common><accessor count=\"" +
           std::to_string(count) + "\" stride=\"" + std::to_string(stride) + "\"/></technique_common></source>";
}

const std::string kIdentities = "1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1 1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1";

// A skin of joints a and b over geometry g; `weights` is the vertex_weights body.
std::string Skin(const std::string& weights, const std::string& jointsNames = "a b",
                 const std::string& extra = "") {
    return "<library_controllers><controller id=\"c\"><skin source=\"#g\">" + extra +
           Source("jn", "Name_array", jointsNames, 2) + Source("wn", "Name_array", "a b", 2) +
           Source("m", "float_array", kIdentities, 2, 16) + Source("w", "float_array", "1 0.5 0.25", 3) +
           "<joints><input semantic=\"JOINT\" source=\"#jn\"/><input semantic=\"INV_BIND_MATRIX\" source=\"#m\"/>"
           "</joints><vertex_weights count=\"3\"><input semantic=\"JOINT\" source=\"#wn\" offset=\"0\"/>"
           "<input semantic=\"WEIGHT\" source=\"#w\" offset=\"1\"/>" + weights +
           "</vertex_weights></skin></controller></library_controllers>";
}

const std::string kSkinScene = Scene(
    "<node id=\"a\" type=\"JOINT\"><node id=\"b\" type=\"JOINT\"/></node>"
    "<node id=\"skinned\"><instance_controller url=\"#c\"/></node>");

class ColladaControllerTest : public ColladaReaderTest {
protected:
    KDuzSkin* SkinOf(const char* node) {
        auto* mesh = dynamic_cast<KDuzMesh*>(Node(node)->GetNodeAttribute());
        return mesh != nullptr && mesh->GetDeformerCount() > 0 ? dynamic_cast<KDuzSkin*>(mesh->GetDeformer(0))
                                                               : nullptr;
    }
};

TEST_F(ColladaControllerTest, VertexWeightWalk) {
    // Point 0: a 1.0; point 1: nothing; point 2: b 0.5 and the bind shape (-1) 0.25.
    ASSERT_TRUE(Read(Doc(std::string(kGeometry) +
                         Skin("<vcount>1 0 2</vcount><v>0 0  1 1 -1 2</v>") + kSkinScene)))
        << AllSaid();
    KDuzSkin* skin = SkinOf("skinned");
    ASSERT_NE(skin, nullptr);
    ASSERT_EQ(skin->GetClusterCount(), 2);
    KDuzCluster* a = skin->GetCluster(0);
    KDuzCluster* b = skin->GetCluster(1);
    ASSERT_EQ(a->GetControlPointIndicesCount(), 1);
    EXPECT_EQ(a->GetControlPointIndices()[0], 0);
    EXPECT_EQ(a->GetControlPointWeights()[0], 1.0);
    ASSERT_EQ(b->GetControlPointIndicesCount(), 1);
    EXPECT_EQ(b->GetControlPointIndices()[0], 2);
    EXPECT_EQ(b->GetControlPointWeights()[0], 0.5);
    EXPECT_EQ(a->GetLink(), Node("a"));
    EXPECT_EQ(b->GetLink(), Node("b"));
    // No bind_shape_matrix: identity.
    KgeMatrix transform;
    a->GetTransformMatrix(transform);
    EXPECT_TRUE(transform.IsEqual(KgeMatrix()));
    EXPECT_GT(scene->GetPoseCount(), 0);
}

TEST_F(ColladaControllerTest, JointsRelinkOnlyClustersOfTheirOwnRead) {
    // A cluster of another scene, linked to a node that shares a joint's name.
    KDuzNode* other = KDuzNode::Create(manager, "a");
    other->SetNodeAttribute(KDuzNull::Create(manager, ""));
    KDuzCluster* foreign = KDuzCluster::Create(manager, "");
    foreign->SetLink(other);
    ASSERT_TRUE(Read(Doc(std::string(kGeometry) + Skin("<vcount>1 1 1</vcount><v>0 0 1 1 1 2</v>") + kSkinScene)))
        << AllSaid();
    EXPECT_FALSE(Said("link has two joints"));
    EXPECT_EQ(foreign->GetLink(), other);
    EXPECT_EQ(SkinOf("skinned")->GetCluster(0)->GetLink(), Node("a"));
}

TEST_F(ColladaControllerTest, JointsNamedBySidAreFoundUnderTheSkeleton) {
    // The usual form: joints named by sid, found under the skeleton root;
    // another node elsewhere bears the same sid and is not taken.
    struct Case {
        const char* skeleton;
        const char* joint;
    };
    const Case cases[] = {{"<skeleton>#rig</skeleton>", "hip"}, {"", "decoy"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.skeleton);
        scene = KDuzScene::Create(manager, "");
        const std::string nodes =
            std::string("<node id=\"decoy\" sid=\"a\"/>"
                        "<node id=\"rig\"><node id=\"hip\" sid=\"a\" type=\"JOINT\">"
                        "<node id=\"knee\" sid=\"b\" type=\"JOINT\"/></node></node>"
                        "<node id=\"skinned\"><instance_controller url=\"#c\">") +
            c.skeleton + "</instance_controller></node>";
        ASSERT_TRUE(Read(Doc(std::string(kGeometry) + Skin("<vcount>1 1 1</vcount><v>0 0 1 1 1 2</v>") +
                             Scene(nodes))))
            << AllSaid();
        KDuzSkin* skin = SkinOf("skinned");
        ASSERT_NE(skin, nullptr);
        EXPECT_EQ(skin->GetCluster(0)->GetLink(), Node(c.joint));
        EXPECT_EQ(skin->GetCluster(1)->GetLink(), Node("knee"));
        // The bind pose names the scene's joints too.
        ASSERT_GT(scene->GetPoseCount(), 0);
        EXPECT_GE(scene->GetPose(0)->Find(Node("knee")), 0);
    }
}

TEST_F(ColladaControllerTest, JointNamesArePairedByName) {
    const std::string matrices = "1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1  1 0 0 0 0 1 0 -3 0 0 1 0 0 0 0 1";
    std::string text = Doc(std::string(kGeometry) + Skin("<vcount>1 1 1</vcount><v>0 0 1 1 1 2</v>", "b a") +
                           kSkinScene);
    text.replace(text.find(kIdentities), kIdentities.size(), matrices);
    ASSERT_TRUE(Read(text)) << AllSaid();
    EXPECT_TRUE(Said("paired by name"));
    KDuzSkin* skin = SkinOf("skinned");
    ASSERT_NE(skin, nullptr);
    // Cluster 1 (joint b of vertex_weights) takes b's matrix, the first one: identity.
    KgeMatrix link;
    skin->GetCluster(1)->GetTransformLinkMatrix(link);
    EXPECT_NEAR(link.Data()[13], 0.0, 1e-9);
    skin->GetCluster(0)->GetTransformLinkMatrix(link);
    EXPECT_NEAR(link.Data()[13], 3.0, 1e-6);
}

TEST_F(ColladaControllerTest, SkinAndMorphErrors) {
    struct Case {
        std::string controllers;
        const char* said;
    };
    const std::string twoSkins = Skin("<vcount>1</vcount><v>0 0</v>");
    const Case cases[] = {
        {Skin("<vcount>2</vcount><v>0 0</v>"), "<v> is shorter than <vcount> requires"},
        {Skin("<vcount>1</vcount><v>0 7</v>"), "weight index out of range"},
        {Skin("<vcount>-1</vcount><v></v>"), "negative <vcount>"},
        {"<library_controllers><controller id=\"c\"><skin source=\"#g\"/></controller></library_controllers>",
         "ERROR: <vertex_weights> node not found in controller\n"},
        {"<library_controllers><controller id=\"c\"><skin source=\"#g\"><joints/><vertex_weights>"
         "<input semantic=\"JOINT\" source=\"#x\"/></vertex_weights></skin></controller></library_controllers>",
         "ERROR: reading array in <source>: #x"},
        {"<library_controllers><controller id=\"c\"><morph source=\"#g\"><targets/></morph><morph/></controller>"
         "</library_controllers>",
         "ERROR: Unable to find weight or bind matrices for controller"},
        {"<library_controllers><controller id=\"c\"/></library_controllers>", "ERROR: Controller is missing a source"},
        {twoSkins.substr(0, twoSkins.find("</controller>")) +
             twoSkins.substr(twoSkins.find("<skin"), twoSkins.find("</controller>") - twoSkins.find("<skin")) +
             "</controller></library_controllers>",
         "ERROR: more than one skin defined for library c"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.controllers);
        EXPECT_FALSE(Read(Doc(std::string(kGeometry) + c.controllers)));
        EXPECT_TRUE(Said(c.said)) << AllSaid();
    }
}

const std::string kMorph =
    "<library_controllers><controller id=\"mc\"><morph source=\"#g\">" +
    Source("targets", "IDREF_array", "smile", 1) + Source("targets2", "Name_array", "smile", 1) +
    Source("mw", "float_array", "0.25", 1) +
    "<targets><input semantic=\"MORPH_TARGET\" source=\"#targets2\"/><input semantic=\"MORPH_WEIGHT\" "
    "source=\"#mw\"/></targets></morph></controller></library_controllers>";

std::string Animation(const std::string& target, const std::string& times, const std::string& values, int keys,
                      int stride, const std::string& more = "", int outputKeys = -1) {
    return "<animation id=\"an\">" + Source("in", "float_array", times, keys) +
           Source("out", "float_array", values, outputKeys < 0 ? keys : outputKeys, stride) + more +
           "<sampler id=\"s\"><input semantic=\"INPUT\" source=\"#in\"/><input semantic=\"OUTPUT\" source=\"#out\"/>" +
           (more.empty() ? "" : "<input semantic=\"IN_TANGENT\" source=\"#it\"/><input semantic=\"OUT_TANGENT\" "
                                "source=\"#ot\"/><input semantic=\"INTERPOLATION\" source=\"#ip\"/>") +
           "</sampler><channel source=\"#s\" target=\"" + target + "\"/></animation>";
}

const std::string kAnimatedNode = Scene(
    "<node id=\"n\"><translate sid=\"t\">0 0 0</translate><rotate sid=\"ry\">0 1 0 0</rotate>"
    "<rotate sid=\"free\">1 1 0 0</rotate></node>");

TEST_F(ColladaControllerTest, MorphShapeAndWeightAnimation) {
    ASSERT_TRUE(Read(Doc(std::string(kGeometry) + kMorph +
                         "<library_animations>" + Animation("mw(0)", "0 1", "0 0.5", 2, 1) +
                         "</library_animations>" +
                         Scene("<node id=\"m\"><instance_controller url=\"#mc\"/></node>"))))
        << AllSaid();
    EXPECT_TRUE(Said("Warning: Morph mc has method , which is not supported. Morph will be read as RELATIVE."));
    auto* mesh = dynamic_cast<KDuzMesh*>(Node("m")->GetNodeAttribute());
    ASSERT_NE(mesh, nullptr);
    ASSERT_EQ(mesh->GetShapeCount(), 1);
    EXPECT_STREQ(mesh->GetShapeName(0), "smile");
    KFCurve* curve = mesh->GetShapeChannel(Node("m")->GetCurrentTakeNode(), 0);
    ASSERT_NE(curve, nullptr);
    ASSERT_EQ(curve->KeyGetCount(), 2);
    EXPECT_FLOAT_EQ(curve->KeyGetValue(1), 50.0f);   // weights are percentages
}

TEST_F(ColladaControllerTest, TransformChannels) {
    const std::string animations =
        "<library_animations>" + Animation("n/t", "0 1", "1 2 3 4 5 6", 2, 3) +
        Animation("n/ry.ANGLE", "0.5 2", "10 20", 2, 1) + Animation("n/free.ANGLE", "0 1", "1 2", 2, 1) +
        Animation("n/t.W", "0 1", "1 2", 2, 1) + Animation("nobody/t.X", "0 1", "1 2", 2, 1) +
        Animation("n/none.X", "0 1", "1 2", 2, 1) +
        // OUTPUT holds one key less than INPUT: keys stop at the last complete one.
        Animation("n/t.Z", "0 1 2", "7 8", 3, 1, "", 2) + "</library_animations>";
    ASSERT_TRUE(Read(Doc(animations + kAnimatedNode))) << AllSaid();
    KDuzTakeNode* take = Node("n")->GetCurrentTakeNode();
    ASSERT_NE(take, nullptr);
    KFCurve* x = take->GetTranslationXCurve();
    KFCurve* y = take->GetTranslationYCurve();
    ASSERT_EQ(x->KeyGetCount(), 2);
    EXPECT_FLOAT_EQ(x->KeyGetValue(1), 4.0f);
    EXPECT_FLOAT_EQ(y->KeyGetValue(0), 2.0f);
    EXPECT_EQ(x->KeyGetInterpolation(0), kFCurveInterpolationLinear);
    KFCurve* ry = take->GetRotationYCurve();
    ASSERT_EQ(ry->KeyGetCount(), 2);
    EXPECT_FLOAT_EQ(ry->KeyGetValue(1), 20.0f);
    KFCurve* z = take->GetTranslationZCurve();
    EXPECT_EQ(z->KeyGetCount(), 2);
    EXPECT_TRUE(Said("Warning: could not find curve for target n/free.ANGLE"));
    EXPECT_TRUE(Said("Warning: unknown target in animation channel: W"));
    EXPECT_TRUE(Said("Warning: node channel not found for animation: nobody/t.X"));
    EXPECT_TRUE(Said("Warning: unknown animation channel: n/none"));
    EXPECT_TRUE(Said("not the number expected (3)."));
    KDuzTakeDescription* description = scene->GetTakeDescription(KString("Take 001"));
    ASSERT_NE(description, nullptr);
    EXPECT_DOUBLE_EQ(description->localStart.GetSecondDouble(), 0.0);
    EXPECT_DOUBLE_EQ(description->localStop.GetSecondDouble(), 2.0);
}

TEST_F(ColladaControllerTest, TangentsInterpolationAndBreaks) {
    const std::string tangents = Source("it", "float_array", "0 1 1", 3) + Source("ot", "float_array", "1 2 0", 3) +
                                 Source("ip", "Name_array", "BEZIER STEP SPLINE", 3);
    ASSERT_TRUE(Read(Doc("<library_animations>" + Animation("n/t.X", "0 1 2", "0 1 0", 3, 1, tangents) +
                         "</library_animations>" + kAnimatedNode)))
        << AllSaid();
    KFCurve* x = Node("n")->GetCurrentTakeNode()->GetTranslationXCurve();
    ASSERT_EQ(x->KeyGetCount(), 3);
    EXPECT_EQ(x->KeyGetInterpolation(0), kFCurveInterpolationCubic);
    EXPECT_EQ(x->KeyGetInterpolation(1), kFCurveInterpolationConstant);
    EXPECT_TRUE(Said("Warning: this interpolation type is not supported: SPLINE It will be interpreted as BEZIER."));
    // Tangent 1 over one second with the default weight 1/3 gives the slope 3.
    EXPECT_NEAR(x->ComputeLeftDerivative(1), 3.0, 1e-3);
    EXPECT_TRUE((x->KeyGetTangentMode(1, true) & kFCurveTangentBreak) != 0) << "left 3, right 6: broken";
}

TEST_F(ColladaControllerTest, SpanCoversEveryAnimationAndNestedOnesAreRead) {
    const std::string nested = "<animation id=\"outer\">" + Animation("n/t.X", "0.5 1", "1 2", 2, 1) +
                               Animation("n/ry.ANGLE", "0 3", "1 2", 2, 1) + "</animation>";
    ASSERT_TRUE(Read(Doc("<library_animations>" + nested + Animation("n/t.Y", "1 2", "1 2", 2, 1) +
                         "</library_animations>" + kAnimatedNode)))
        << AllSaid();
    EXPECT_EQ(Node("n")->GetCurrentTakeNode()->GetRotationYCurve()->KeyGetCount(), 2);
    KDuzTakeDescription* description = scene->GetTakeDescription(KString("Take 001"));
    ASSERT_NE(description, nullptr);
    EXPECT_DOUBLE_EQ(description->localStart.GetSecondDouble(), 0.0);
    EXPECT_DOUBLE_EQ(description->localStop.GetSecondDouble(), 3.0);
}

TEST_F(ColladaControllerTest, LightAndCameraChannelsFindTheirInstancingNodes) {
    const std::string libraries =
        "<library_lights><light id=\"L\"><technique_common><point><color sid=\"col\">1 1 1</color></point>"
        "</technique_common><technique profile=\"MAYA\"><intensity sid=\"int\">1</intensity></technique>"
        "</light></library_lights>"
        "<library_cameras><camera id=\"C\"><optics><technique_common><perspective><yfov sid=\"fov\">40</yfov>"
        "</perspective></technique_common></optics></camera></library_cameras>";
    const std::string animations = "<library_animations>" + Animation("L/col", "0 1", "1 0 0 0 1 0", 2, 3) +
                                   Animation("L/int", "0 1", "0.5 1", 2, 1) + Animation("C/fov", "0 1", "30 60", 2, 1) +
                                   "</library_animations>";
    // Node ids differ from the library ids: the instancing node is found by its id.
    ASSERT_TRUE(Read(Doc(libraries + animations +
                         Scene("<node id=\"lamp\" name=\"Lamp\"><instance_light url=\"#L\"/></node>"
                               "<node id=\"eye\" name=\"Eye\"><instance_camera url=\"#C\"/></node>"))))
        << AllSaid();
    KDuzTakeNode* lamp = Node("lamp")->GetCurrentTakeNode();
    ASSERT_NE(lamp, nullptr);
    ASSERT_NE(lamp->GetColorYCurve(), nullptr) << AllSaid();
    EXPECT_FLOAT_EQ(lamp->GetColorYCurve()->KeyGetValue(1), 1.0f);
    ASSERT_NE(lamp->GetIntensityCurve(), nullptr);
    EXPECT_FLOAT_EQ(lamp->GetIntensityCurve()->KeyGetValue(0), 50.0f);
    KDuzTakeNode* eye = Node("eye")->GetCurrentTakeNode();
    ASSERT_NE(eye, nullptr);
    ASSERT_NE(eye->GetFieldOfViewCurve(), nullptr);
    EXPECT_FLOAT_EQ(eye->GetFieldOfViewCurve()->KeyGetValue(1), 60.0f);
}

TEST_F(ColladaControllerTest, ColourMembersDriveOneComponentEach) {
    const std::string libraries =
        "<library_lights><light id=\"L\"><technique_common><point><color sid=\"color\">1 1 1</color></point>"
        "</technique_common></light></library_lights>";
    // One value a key for a member; a whole colour may carry alpha.
    const std::string animations = "<library_animations>" + Animation("L/color.R", "0 1", "0.25 0.5", 2, 1) +
                                   Animation("L/color.B", "0 1", "0.75 1", 2, 1) + "</library_animations>" +
                                   "<library_animations>" +
                                   Animation("M/color", "0 1", "0.1 0.2 0.3 1  0.4 0.5 0.6 1", 2, 4) +
                                   "</library_animations>";
    const std::string second = "<library_lights><light id=\"M\"><technique_common><point>"
                               "<color sid=\"color\">1 1 1</color></point></technique_common></light></library_lights>";
    ASSERT_TRUE(Read(Doc(libraries + second + animations +
                         Scene("<node id=\"lamp\"><instance_light url=\"#L\"/></node>"
                               "<node id=\"bulb\"><instance_light url=\"#M\"/></node>"))))
        << AllSaid();
    KDuzTakeNode* lamp = Node("lamp")->GetCurrentTakeNode();
    ASSERT_NE(lamp, nullptr);
    ASSERT_EQ(lamp->GetColorXCurve()->KeyGetCount(), 2);
    EXPECT_FLOAT_EQ(lamp->GetColorXCurve()->KeyGetValue(1), 0.5f);
    EXPECT_EQ(lamp->GetColorYCurve()->KeyGetCount(), 0);
    ASSERT_EQ(lamp->GetColorZCurve()->KeyGetCount(), 2);
    EXPECT_FLOAT_EQ(lamp->GetColorZCurve()->KeyGetValue(0), 0.75f);
    KDuzTakeNode* bulb = Node("bulb")->GetCurrentTakeNode();
    ASSERT_NE(bulb, nullptr);
    ASSERT_EQ(bulb->GetColorZCurve()->KeyGetCount(), 2);
    EXPECT_FLOAT_EQ(bulb->GetColorZCurve()->KeyGetValue(1), 0.6f);
    EXPECT_FLOAT_EQ(bulb->GetColorXCurve()->KeyGetValue(1), 0.4f);
    EXPECT_FALSE(Said("not the number expected")) << AllSaid();
}

TEST_F(ColladaControllerTest, TangentsAsPointsAndOurOwnChannels) {
    // Tangents as (time, value) points: out of key 0 rises 5 over a third of
    // a second (slope 15); in of key 1 is flat.
    const std::string tangents = Source("it", "float_array", "-0.3333 0 0.6667 10", 2, 2) +
                                 Source("ot", "float_array", "0.3333 5 1.3333 10", 2, 2) +
                                 Source("ip", "Name_array", "BEZIER BEZIER", 2);
    const std::string animations =
        "<library_animations>" + Animation("n/t.X", "0 1", "0 10", 2, 1, tangents) +
        Animation("n/visibility", "0 1", "1 0", 2, 1) +
        // A matrix channel of a node whose identity matrix was left out.
        Animation("m/matrix", "0 1", "1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1  2 0 0 5 0 2 0 0 0 0 2 0 0 0 0 1", 2, 16) +
        "</library_animations>";
    ASSERT_TRUE(Read(Doc(animations + Scene("<node id=\"n\"><translate sid=\"t\">0 0 0</translate></node>"
                                            "<node id=\"m\"/>"))))
        << AllSaid();
    KDuzTakeNode* n = Node("n")->GetCurrentTakeNode();
    ASSERT_NE(n, nullptr);
    KFCurve* x = n->GetTranslationXCurve();
    ASSERT_EQ(x->KeyGetCount(), 2);
    EXPECT_NEAR(x->ComputeRightDerivative(0), 15.0, 1e-2);
    EXPECT_NEAR(x->ComputeLeftDerivative(1), 0.0, 1e-2);
    EXPECT_FALSE(Said("not the number expected")) << AllSaid();
    ASSERT_EQ(n->GetVisibilityCurve()->KeyGetCount(), 2);
    EXPECT_FLOAT_EQ(n->GetVisibilityCurve()->KeyGetValue(1), 0.0f);
    KDuzTakeNode* m = Node("m")->GetCurrentTakeNode();
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(m->GetTranslationXCurve()->KeyGetCount(), 2);
    EXPECT_FLOAT_EQ(m->GetTranslationXCurve()->KeyGetValue(1), 5.0f);
    EXPECT_FLOAT_EQ(m->GetScalingYCurve()->KeyGetValue(1), 2.0f);
    EXPECT_FLOAT_EQ(m->GetRotationZCurve()->KeyGetValue(1), 0.0f);
    EXPECT_FALSE(Said("unknown animation channel")) << AllSaid();
}

TEST_F(ColladaControllerTest, AnimationErrors) {
    struct Case {
        std::string animations;
        const char* said;
    };
    const Case cases[] = {
        {Animation("weights(0)", "0", "1", 1, 1), "ERROR: shape not found for animation: weights(0)"},
        {"<animation id=\"a\"><sampler id=\"s\"><input semantic=\"INPUT\" source=\"#gone\"/></sampler>"
         "<channel source=\"#s\" target=\"n/t.X\"/></animation>",
         "ERROR: reading array in <source>: #gone"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.animations);
        EXPECT_FALSE(Read(Doc("<library_animations>" + c.animations + "</library_animations>" + kAnimatedNode)));
        EXPECT_TRUE(Said(c.said)) << AllSaid();
    }
}

}  // namespace
}  // namespace colladatest
