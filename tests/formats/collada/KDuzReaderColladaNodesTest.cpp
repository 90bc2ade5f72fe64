// Nodes and transforms, cameras and lights: rotation order, pivot sids,
// matrices, look-at, instances, joints and default camera names.
#include "ColladaReaderFixture.h"

#include <cmath>
#include <map>
#include <sstream>
#include <utility>
#include <vector>

#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KFCurveNode.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/scene/KDuzCamera.h"
#include "sdk/scene/KDuzGlobalLightSettings.h"
#include "sdk/scene/KDuzLight.h"
#include "sdk/scene/KDuzNull.h"
#include "sdk/scene/KDuzSkeleton.h"

namespace colladatest {
namespace {

constexpr double kTolerance = 1e-4;   // single-precision scanning

void ExpectVector(const KgeTVector& v, double x, double y, double z) {
    EXPECT_NEAR(v[0], x, kTolerance);
    EXPECT_NEAR(v[1], y, kTolerance);
    EXPECT_NEAR(v[2], z, kTolerance);
}
void ExpectVector(const duzVectorTemplate3<double>& v, double x, double y, double z) {
    ExpectVector(KgeTVector(v[0], v[1], v[2], 0.0), x, y, z);
}

TEST_F(ColladaReaderTest, RotationOrderFromDocumentOrder) {
    struct Case {
        const char* rotations;
        int order;
    };
    const Case cases[] = {
        {"<rotate>0 0 1 10</rotate><rotate>0 1 0 20</rotate><rotate>1 0 0 30</rotate>", 0},
        {"<rotate>1 0 0 10</rotate><rotate>0 1 0 20</rotate><rotate>0 0 1 30</rotate>", 5},
        {"<rotate>0 1 0 10</rotate><rotate>0 0 1 20</rotate><rotate>1 0 0 30</rotate>", 1},
        {"<rotate>0 0 1 10</rotate>", 0},
        {"<rotate>0 0 -1 10</rotate><rotate>0 1 0 20</rotate>", 0},   // a free axis does not count
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rotations);
        scene = KDuzScene::Create(manager, "");
        ASSERT_TRUE(Read(Doc(Scene(std::string("<node id=\"n\">") + c.rotations + "</node>")))) << AllSaid();
        int order = -1;
        Node("n")->GetRotationOrder(0, order);
        EXPECT_EQ(order, c.order);
    }
}

TEST_F(ColladaReaderTest, TransformElementsAndPivotSids) {
    // The stack our writer makes: each element lands in its own piece.
    ASSERT_TRUE(Read(Doc(Scene(
        "<node id=\"n\"><translate sid=\"translate\">4 5 6</translate>"
        "<translate sid=\"rotatePivot\">7 8 9</translate>"
        "<rotate sid=\"jointOrientZ\">0 0 1 15</rotate><rotate sid=\"rz\">0 0 1 150</rotate>"
        "<rotate sid=\"post-rotationX\">1 0 0 -90</rotate>"
        "<translate sid=\"rotatePivotInverse\">-7 -8 -9</translate>"
        "<translate sid=\"scalePivotTranslation\">0.5 0 0</translate>"
        "<rotate sid=\"free\">0 0 2 0</rotate>"   // turns nothing: it may stand anywhere
        "<scale sid=\"s\">1 2 3</scale><skew>45 1 0 0 0 1 0</skew><skew>1 1 0 0 0 1 0</skew><extra/></node>"
        "<node id=\"inv\"><rotate sid=\"postRotationInverseX\">1 0 0 30</rotate></node>"))))
        << AllSaid();
    KDuzNode* n = Node("n");
    ASSERT_NE(n, nullptr);
    ExpectVector(n->GetLclTranslation(), 4, 5, 6);
    ExpectVector(n->GetRotationPivot(0), 7, 8, 9);
    ExpectVector(n->GetScalingOffset(0), 0.5, 0, 0);
    ExpectVector(n->GetPreRotation(0), 0, 0, 15);
    ExpectVector(n->GetPostRotation(0), -90, 0, 0);
    ExpectVector(n->GetLclRotation(), 0, 0, 150);
    ExpectVector(n->GetLclScaling(), 1, 2, 3);
    EXPECT_TRUE(n->GetRotationActive());
    EXPECT_EQ(CountSaid("transform is not supported by DUZ: skew"), 1);
    EXPECT_TRUE(Said("Warning: Extra node is not supported in node"));
    EXPECT_FALSE(Said("composed into one transform"));
    EXPECT_TRUE(dynamic_cast<KDuzNull*>(n->GetNodeAttribute()) != nullptr);
    // Our post-rotation applies inverted: the inverse sids carry that inverse.
    ExpectVector(Node("inv")->GetPostRotation(0), -30, 0, 0);
}

TEST_F(ColladaReaderTest, StacksOurTransformCannotHoldAreComposed) {
    struct Case {
        const char* elements;
        double translation[3];
        double rotation[3];
        double scaling[3];
    };
    const Case cases[] = {
        {"<translate>1 0 0</translate><rotate>0 0 1 90</rotate><translate>1 0 0</translate>",
         {1, 1, 0}, {0, 0, 90}, {1, 1, 1}},
        {"<matrix>1 0 0 1  0 1 0 2  0 0 1 3  0 0 0 1</matrix><translate>1 0 0</translate>",
         {2, 2, 3}, {0, 0, 0}, {1, 1, 1}},
        {"<rotate>0 0 1 30</rotate><rotate>0 0 1 30</rotate>", {0, 0, 0}, {0, 0, 60}, {1, 1, 1}},
        {"<scale>2 2 2</scale><translate>1 0 0</translate>", {2, 0, 0}, {0, 0, 0}, {2, 2, 2}},
        {"<translate sid=\"rotatePivot\">1 2 3</translate><rotate>0 0 1 90</rotate>", {1, 2, 3}, {0, 0, 90},
         {1, 1, 1}},
        {"<rotate sid=\"jointOrientX\">1 0 0 45</rotate><rotate sid=\"jointOrientX\">1 0 0 45</rotate>",
         {0, 0, 0}, {90, 0, 0}, {1, 1, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.elements);
        scene = KDuzScene::Create(manager, "");
        ASSERT_TRUE(Read(Doc(Scene(std::string("<node id=\"n\">") + c.elements + "</node>")))) << AllSaid();
        KDuzNode* n = Node("n");
        ASSERT_NE(n, nullptr);
        EXPECT_TRUE(Said("Warning: transforms of node n are composed into one transform"));
        const KgeMatrix& global = n->GetGlobalTransform();
        ExpectVector(global.GetTranslation(), c.translation[0], c.translation[1], c.translation[2]);
        ExpectVector(global.GetEulerXYZ(), c.rotation[0], c.rotation[1], c.rotation[2]);
        ExpectVector(global.GetScaling(), c.scaling[0], c.scaling[1], c.scaling[2]);
        ExpectVector(n->GetRotationPivot(0), 0, 0, 0);
        ExpectVector(n->GetPreRotation(0), 0, 0, 0);
    }
}

TEST_F(ColladaReaderTest, MatrixBecomesTheLocalTransform) {
    // Row by row for column vectors: a 90 degree turn about Z, translation (1, 2, 3).
    ASSERT_TRUE(Read(Doc(Scene("<node id=\"n\"><matrix>0 -1 0 1  1 0 0 2  0 0 1 3  0 0 0 1</matrix></node>"))));
    KDuzNode* n = Node("n");
    ExpectVector(n->GetLclTranslation(), 1, 2, 3);
    ExpectVector(n->GetLclRotation(), 0, 0, 90);
    ExpectVector(n->GetLclScaling(), 1, 1, 1);
}

TEST_F(ColladaReaderTest, NodeErrorsAndSkippedCameras) {
    struct Case {
        std::string nodes;
        const char* said;
    };
    const Case cases[] = {
        {"<node id=\"n\"><instance_geometry url=\"#nope\"/></node>", "ERROR: Library not found: #nope"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.nodes);
        EXPECT_FALSE(Read(Doc(Scene(c.nodes))));
        EXPECT_TRUE(Said(c.said)) << AllSaid();
    }
    // Elements not ours to read are skipped with a warning.
    ASSERT_TRUE(Read(Doc(Scene("<node id=\"n\"><bogus/></node><bogus/>")))) << AllSaid();
    EXPECT_EQ(CountSaid("Warning: structure bogus is not read"), 2);
    ASSERT_TRUE(Read(Doc(Scene("<node id=\"persp\"><node id=\"under\"/></node><node id=\"Persp\">"
                               "<node id=\"front\"/></node>"))));
    EXPECT_TRUE(Said("Warning: Camera persp will not be imported."));
    EXPECT_TRUE(Said("Warning: Camera front will not be imported."));
    EXPECT_EQ(Node("persp"), nullptr);
    EXPECT_EQ(Node("under"), nullptr);
    EXPECT_NE(Node("Persp"), nullptr);
}

TEST_F(ColladaReaderTest, CamerasReadTheirOptics) {
    const std::string cameras =
        "<library_cameras>"
        "<camera id=\"y\"><optics><technique_common><perspective><yfov sid=\"fy\">45</yfov><znear>1</znear>"
        "<zfar>500</zfar></perspective></technique_common></optics></camera>"
        "<camera id=\"xy\"><optics><technique_common><perspective><xfov>60</xfov><yfov>45</yfov>"
        "<aspect_ratio>2</aspect_ratio><odd>1</odd></perspective></technique_common>"
        "<technique profile=\"MAYA\"><horizontal_aperture>1.4173</horizontal_aperture></technique>"
        "</optics></camera>"
        "<camera id=\"o\"><optics><technique_common><orthographic><xmag>3</xmag><ymag>4</ymag>"
        "</orthographic></technique_common></optics></camera>"
        "</library_cameras>";
    ASSERT_TRUE(Read(Doc(cameras + Scene("<node id=\"cy\"><instance_camera url=\"#y\"/></node>"
                                         "<node id=\"cxy\"><lookat>0 0 10  0 0 0  0 1 1</lookat>"
                                         "<instance_camera url=\"#xy\"/></node>"
                                         "<node id=\"co\"><instance_camera url=\"#o\"/></node>"))))
        << AllSaid();
    auto* y = dynamic_cast<KDuzCamera*>(Node("cy")->GetNodeAttribute());
    ASSERT_NE(y, nullptr);
    EXPECT_DOUBLE_EQ(y->GetFieldOfView(), 45.0);
    EXPECT_EQ(y->GetApertureMode(), 2);
    EXPECT_DOUBLE_EQ(y->GetNearPlane(), 1.0);
    EXPECT_DOUBLE_EQ(y->GetFarPlane(), 500.0);
    ExpectVector(Node("cy")->GetPostRotation(0), 0, -90, 0);

    auto* xy = dynamic_cast<KDuzCamera*>(Node("cxy")->GetNodeAttribute());
    ASSERT_NE(xy, nullptr);
    EXPECT_EQ(xy->GetApertureMode(), 0);
    EXPECT_NEAR(xy->GetFilmWidth(), 0.55799, 1e-9);   // truncated at five decimals
    EXPECT_NEAR(xy->GetAspectHeight(), xy->GetAspectWidth() / 2.0, 1e-9);
    EXPECT_TRUE(Said("Warning: Unrecognized camera parameter: odd"));
    // Look-at: from +Z towards the origin; an up not square to the view is made square.
    ExpectVector(Node("cxy")->GetLclTranslation(), 0, 0, 10);
    ExpectVector(Node("cxy")->GetLclRotation(), 0, 0, 0);
    EXPECT_NEAR(xy->GetFocusDistance(), 10.0, kTolerance);

    auto* o = dynamic_cast<KDuzCamera*>(Node("co")->GetNodeAttribute());
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->GetProjectionType(), 1);
    EXPECT_DOUBLE_EQ(o->GetOrthoZoom(), 4.0);
}

TEST_F(ColladaReaderTest, LightsAndAmbient) {
    const std::string lights =
        "<library_lights>"
        "<light id=\"a1\"><technique_common><ambient><color>0.1 0.1 0.1</color></ambient></technique_common></light>"
        "<light id=\"a2\"><technique_common><ambient><color>0.2 0.2 0.2</color></ambient></technique_common></light>"
        "<light id=\"s\"><technique_common><spot><color sid=\"c\">1 0.5 0</color><falloff_angle>30</falloff_angle>"
        "<constant_attenuation>1</constant_attenuation></spot></technique_common>"
        "<technique profile=\"MAYA\"><intensity>1</intensity></technique></light>"
        "<light id=\"p\"><technique_common><point><constant_attenuation>1</constant_attenuation>"
        "<glow>1</glow></point></technique_common></light>"
        "<light id=\"bare\"/>"
        "</library_lights>";
    ASSERT_TRUE(Read(Doc(lights + Scene("<node id=\"ns\"><instance_light url=\"#s\"/></node>"
                                        "<node id=\"np\"><instance_light url=\"#p\"/></node>"
                                        "<node id=\"na\"><instance_light url=\"#a1\"/></node>"))))
        << AllSaid();
    const KDuzRGBAColor ambient = scene->GetGlobalLightSettings()->GetAmbientColor();
    EXPECT_NEAR(ambient.mRed, 0.3, 1e-6);
    EXPECT_NEAR(ambient.mBlue, 0.3, 1e-6);
    auto* spot = dynamic_cast<KDuzLight*>(Node("ns")->GetNodeAttribute());
    ASSERT_NE(spot, nullptr);
    EXPECT_EQ(spot->GetLightType(), KDuzLight::eSpot);
    EXPECT_DOUBLE_EQ(spot->GetConeAngle(), 30.0);
    EXPECT_DOUBLE_EQ(spot->GetIntensity(), 100.0);
    ExpectVector(Node("ns")->GetPostRotation(0), -90, 0, 0);
    auto* point = dynamic_cast<KDuzLight*>(Node("np")->GetNodeAttribute());
    ASSERT_NE(point, nullptr);
    ExpectVector(Node("np")->GetPostRotation(0), 0, 0, 0);
    EXPECT_EQ(CountSaid("light parameter not supported by DUZ: <constant_attenuation>"), 1);
    EXPECT_TRUE(Said("Warning: Unknown light parameter <glow> on light \"p\""));
    // An ambient light has no object: its node keeps a null.
    EXPECT_NE(dynamic_cast<KDuzNull*>(Node("na")->GetNodeAttribute()), nullptr);
}

TEST_F(ColladaReaderTest, CameraWithoutOpticsFails) {
    EXPECT_FALSE(Read(Doc("<library_cameras><camera id=\"c\"/></library_cameras>")));
    EXPECT_TRUE(Said("ERROR: Camera node c has no <optics> node."));
    EXPECT_FALSE(Read(Doc("<library_cameras><camera id=\"c\"><optics/></camera></library_cameras>")));
    EXPECT_TRUE(Said("ERROR: no <technique> node found for camera node c"));
}

TEST_F(ColladaReaderTest, JointNodesBecomeLimbSkeletons) {
    ASSERT_TRUE(Read(Doc(Scene("<node id=\"j\" type=\"JOINT\"><node id=\"k\" type=\"JOINT\"/></node>"))));
    auto* skeleton = dynamic_cast<KDuzSkeleton*>(Node("k")->GetNodeAttribute());
    ASSERT_NE(skeleton, nullptr);
    EXPECT_EQ(skeleton->GetSkeletonType(), KDuzSkeleton::eLimbNode);
    EXPECT_EQ(Node("k")->GetParent(), Node("j"));
}


// What a node and its subtree hold, as text: the settings, attribute and
// take curves that a copy of a node carries.
void DescribeCurves(const KFCurveNode* curves, std::ostringstream& out) {
    if (curves == nullptr) return;
    out << " [" << curves->GetName();
    for (int i = 0; i < curves->GetChildCount(); ++i) DescribeCurves(curves->GetChild(i), out);
    out << "]";
}

void DescribeTree(KDuzNode* node, std::ostringstream& out) {
    auto vector = [&](const char* label, const KgeTVector& v) {
        out << ' ' << label << '(' << v[0] << ' ' << v[1] << ' ' << v[2] << ')';
    };
    auto vector3 = [&](const char* label, const duzVectorTemplate3<double>& v) {
        vector(label, KgeTVector(v[0], v[1], v[2], 0.0));
    };
    int order = -1;
    node->GetRotationOrder(0, order);
    // Names are left out: the second tree's are made unique.
    out << "children=" << node->GetChildCount() << " shading=" << node->GetShadingMode()
        << " visible=" << node->GetVisibility() << " pivots=" << node->GetPivotState(0) << node->GetPivotState(1)
        << " order=" << order << " active=" << node->GetRotationActive();
    vector3("t", node->GetLclTranslation());
    vector3("r", node->GetLclRotation());
    vector3("s", node->GetLclScaling());
    for (int set = 0; set < 2; ++set) {
        vector("roff", node->GetRotationOffset(set));
        vector("rpiv", node->GetRotationPivot(set));
        vector("pre", node->GetPreRotation(set));
        vector("post", node->GetPostRotation(set));
        vector("soff", node->GetScalingOffset(set));
        vector("spiv", node->GetScalingPivot(set));
    }
    KDuzObject* attribute = node->GetNodeAttribute();
    out << " attributes=" << node->GetNodeAttributeCount() << " type=" << KDuzNode::GetAttributeTypeOf(attribute);
    if (auto* mesh = dynamic_cast<KDuzMesh*>(attribute)) {
        out << " points=" << mesh->GetControlPointsCount() << " polygons=" << mesh->GetPolygonCount()
            << " layers=" << mesh->GetLayerCount() << " materials=" << mesh->GetMaterialCount()
            << " textures=" << mesh->GetTextureCount();
        for (int i = 0; i < mesh->GetControlPointsCount(); ++i) vector("p", mesh->GetControlPoints()[i]);
    } else if (auto* camera = dynamic_cast<KDuzCamera*>(attribute)) {
        vector("eye", camera->GetPosition());
        vector("interest", camera->GetInterestPosition());
        vector("up", camera->GetUpVector());
        out << " focus=" << camera->GetFocusDistance() << " fov=" << camera->GetFieldOfView();
    } else if (auto* light = dynamic_cast<KDuzLight*>(attribute)) {
        out << " light=" << light->GetLightType() << " cone=" << light->GetConeAngle();
    }
    out << " takes=" << node->GetTakeNodeCount();
    if (KDuzTakeNode* take = node->GetCurrentTakeNode()) DescribeCurves(take->GetCurveNode(), out);
    out << '\n';
    for (int i = 0; i < node->GetChildCount(); ++i) DescribeTree(node->GetChild(i), out);
}

// The last instance of a visual scene takes its nodes rather than copying
// them; the first instance is a copy. Both must hold the same: cameras with a
// look-at, lights, nodes under turned frames, joints, textured meshes, a
// second instance on one node and nodes of library_nodes.
TEST_F(ColladaReaderTest, NodesTakenFromTheVisualSceneHoldWhatCopiesHold) {
    const std::string libraries =
        "<library_images><image id=\"img\"><init_from>./checker.png</init_from></image></library_images>"
        "<library_effects><effect id=\"fx\"><profile_COMMON><technique sid=\"t\"><lambert><diffuse>"
        "<texture texture=\"img\" texcoord=\"UV0\"/></diffuse></lambert></technique></profile_COMMON>"
        "</effect></library_effects>"
        "<library_materials><material id=\"mat\"><instance_effect url=\"#fx\"/></material></library_materials>"
        "<library_geometries><geometry id=\"g\"><mesh>"
        "<source id=\"p\"><float_array count=\"9\">0 0 0 1 0 0 0 1 0</float_array><technique_common>"
        "<accessor count=\"3\" stride=\"3\"/></technique_common></source>"
        "<source id=\"t\"><float_array count=\"6\">0 0 1 0 0 1</float_array><technique_common>"
        "<accessor count=\"3\" stride=\"2\"/></technique_common></source>"
        "<vertices id=\"v\"><input semantic=\"POSITION\" source=\"#p\"/></vertices>"
        "<triangles count=\"1\" material=\"sym\"><input semantic=\"VERTEX\" source=\"#v\" offset=\"0\"/>"
        "<input semantic=\"TEXCOORD\" source=\"#t\" offset=\"0\" set=\"0\"/><p>0 1 2</p></triangles>"
        "</mesh></geometry></library_geometries>"
        "<library_cameras><camera id=\"C\"><optics><technique_common><perspective><yfov>40</yfov>"
        "<znear>1</znear><zfar>100</zfar></perspective></technique_common></optics></camera></library_cameras>"
        "<library_lights><light id=\"L\"><technique_common><spot><color>1 1 1</color></spot>"
        "</technique_common></light></library_lights>"
        "<library_nodes><node id=\"lib\"><translate>0 1 0</translate><instance_geometry url=\"#g\"/></node>"
        "</library_nodes>";
    const std::string bound =
        "<instance_geometry url=\"#g\"><bind_material><technique_common>"
        "<instance_material symbol=\"sym\" target=\"#mat\"><bind_vertex_input semantic=\"UV0\" "
        "input_semantic=\"TEXCOORD\" input_set=\"0\"/></instance_material></technique_common></bind_material>"
        "</instance_geometry>";
    const std::string nodes =
        "<node id=\"body\"><node id=\"inner\"><translate>1 2 3</translate>" + bound + "</node>" + bound +
        "<instance_light url=\"#L\"/></node>"
        "<node id=\"eye\"><lookat>0 0 10 0 0 0 0 1 0</lookat><instance_camera url=\"#C\"/>"
        "<node id=\"under-eye\"><translate>1 0 0</translate></node></node>"
        "<node id=\"lamp\"><rotate>1 0 0 45</rotate><instance_light url=\"#L\"/><node id=\"under-lamp\"/></node>"
        "<node id=\"j\" type=\"JOINT\"><node id=\"k\" type=\"JOINT\"/></node>"
        "<node id=\"again\">" + bound + "</node>";
    const int tops = 5;
    const std::string instanced = "<node id=\"ref\"><instance_node url=\"#lib\"/></node>";
    for (const std::string& extra : {std::string(), instanced}) {
        SCOPED_TRACE(extra);
        scene = KDuzScene::Create(manager, "");
        ASSERT_TRUE(Read(Doc(libraries + "<library_visual_scenes><visual_scene id=\"vs\">" + nodes + extra +
                             "</visual_scene></library_visual_scenes><scene><instance_visual_scene url=\"#vs\"/>"
                             "<instance_visual_scene url=\"#vs\"/></scene>")))
            << AllSaid();
        KDuzNode* root = scene->GetRootNode();
        const int count = tops + (extra.empty() ? 0 : 1);
        ASSERT_EQ(root->GetChildCount(), 2 * count);
        for (int i = 0; i < count; ++i) {
            std::ostringstream copied;
            std::ostringstream taken;
            DescribeTree(root->GetChild(i), copied);
            DescribeTree(root->GetChild(count + i), taken);
            EXPECT_EQ(taken.str(), copied.str());
        }
        // The scene lists both trees' nodes and meshes in the same order.
        std::map<const KDuzObject*, std::pair<int, int>> places;   // tree, place in it
        for (int tree = 0; tree < 2; ++tree) {
            std::vector<KDuzNode*> pending;
            for (int i = count - 1; i >= 0; --i) pending.push_back(root->GetChild(tree * count + i));
            int place = 0;
            while (!pending.empty()) {
                KDuzNode* node = pending.back();
                pending.pop_back();
                places[node] = {tree, place};
                if (node->GetNodeAttribute() != nullptr) places[node->GetNodeAttribute()] = {tree, place};
                ++place;
                for (int i = node->GetChildCount() - 1; i >= 0; --i) pending.push_back(node->GetChild(i));
            }
        }
        std::vector<int> order[2][2];   // [nodes or meshes][tree]
        for (int i = 0; i < scene->GetNodeCount(); ++i) {
            const auto found = places.find(scene->GetNode(i));
            if (found != places.end()) order[0][found->second.first].push_back(found->second.second);
        }
        for (int i = 0; i < scene->GetGeometryCount(); ++i) {
            const auto found = places.find(scene->GetGeometry(i));
            if (found != places.end()) order[1][found->second.first].push_back(found->second.second);
        }
        EXPECT_EQ(order[0][1], order[0][0]);
        EXPECT_EQ(order[1][1], order[1][0]);
        EXPECT_FALSE(order[1][0].empty());
        auto* mesh = dynamic_cast<KDuzMesh*>(root->GetChild(count + tops - 1)->GetNodeAttribute());
        ASSERT_NE(mesh, nullptr);
        EXPECT_EQ(mesh->GetTextureCount(), 1);
    }
}

}  // namespace
}  // namespace colladatest
