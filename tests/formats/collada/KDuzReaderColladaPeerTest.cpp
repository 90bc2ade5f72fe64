// The reader against pycollada: collada_peer.py writes documents with
// pycollada and what pycollada reads back from them; our import must hold the
// same content. Skipped when Debian's python3-collada is not installed.
#include "ColladaReaderFixture.h"

#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>
#include <vector>

#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/animation/KFCurveKey.h"
#include "sdk/geometry/KDuzCluster.h"
#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzSkin.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/scene/KDuzCamera.h"
#include "sdk/scene/KDuzGlobalLightSettings.h"
#include "sdk/scene/KDuzLight.h"
#include "sdk/scene/KDuzTakeDescription.h"

namespace colladatest {
namespace {

// Single-precision values read back: 1e-4 absorbs float rounding of
// composed transforms.
constexpr double kPeerReadTolerance = 1e-4;

using Record = std::vector<std::string>;

class ColladaPeerTest : public ColladaReaderTest {
protected:
    void SetUp() override {
        ColladaReaderTest::SetUp();
        if (std::system("/usr/bin/python3 -c 'import collada' 2>/dev/null") != 0)
            GTEST_SKIP() << "python3-collada is not installed";
        const char* data = std::getenv("DUZ_TEST_DATA");
        ASSERT_NE(data, nullptr);
        const std::filesystem::path script =
            std::filesystem::path(data).parent_path() / "formats" / "collada" / "collada_peer.py";
        const std::string command = "/usr/bin/python3 '" + script.string() + "' '" + folder.string() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        std::ifstream in(folder / "expected.txt");
        std::string line;
        while (std::getline(in, line)) {
            std::istringstream words(line);
            Record record;
            for (std::string word; words >> word;) record.push_back(word);
            if (!record.empty()) expected.push_back(record);
        }
        ASSERT_FALSE(expected.empty());
    }

    std::vector<Record> All(const std::string& kind) const {
        std::vector<Record> out;
        for (const Record& r : expected)
            if (r[0] == kind) out.push_back(r);
        return out;
    }
    static double D(const Record& r, size_t i) { return std::stod(r.at(i)); }

    std::vector<Record> expected;
};

TEST_F(ColladaPeerTest, MeshMaterialsNodesCamerasAndLights) {
    ASSERT_TRUE(ReadFile((folder / "scene.dae").string())) << AllSaid();

    // ---- geometry, corner by corner ----
    auto* mesh = dynamic_cast<KDuzMesh*>(Node("box")->GetNodeAttribute());
    ASSERT_NE(mesh, nullptr);
    const std::vector<Record> polygons = All("polygon");
    const std::vector<Record> corners = All("corner");
    ASSERT_EQ(mesh->GetPolygonCount(), static_cast<int>(polygons.size()));
    ASSERT_EQ(mesh->GetPolygonVertexCount(), static_cast<int>(corners.size()));
    const KDuzLayerElementNormal* normals = mesh->GetLayer(0)->GetNormals();
    const KDuzLayerElementUV* uv0 = mesh->GetLayer(0)->GetUVsOfType(3);
    ASSERT_GE(mesh->GetLayerCount(), 2);
    const KDuzLayerElementUV* uv1 = mesh->GetLayer(1)->GetUVsOfType(3);
    ASSERT_TRUE(normals != nullptr && uv0 != nullptr && uv1 != nullptr);
    int corner = 0;
    for (int p = 0; p < mesh->GetPolygonCount(); ++p) {
        EXPECT_EQ(mesh->GetPolygonSize(p), std::stoi(polygons[p][1]));
        for (int v = 0; v < mesh->GetPolygonSize(p); ++v, ++corner) {
            const Record& c = corners[corner];
            SCOPED_TRACE("corner " + std::to_string(corner));
            const KgeTVector point = mesh->GetControlPoints()[mesh->GetPolygonVertex(p, v)];
            const KgeTVector normal = normals->GetDirectArray()[corner];
            const KgeUVVector a = uv0->GetDirectArray()[uv0->GetIndexArray()[corner]];
            const KgeUVVector b = uv1->GetDirectArray()[uv1->GetIndexArray()[corner]];
            const double got[] = {point[0], point[1], point[2], normal[0], normal[1], normal[2],
                                  a.mU, a.mV, b.mU, b.mV};
            for (int k = 0; k < 10; ++k) EXPECT_NEAR(got[k], D(c, 2 + k), kPeerReadTolerance) << k;
        }
    }

    // ---- world transforms (ours keep row vectors: the transpose) ----
    for (const Record& w : All("world")) {
        if (w[1] != "root" && w[1] != "box" && w[1] != "camnode") continue;
        SCOPED_TRACE(w[1]);
        KDuzNode* node = Node(w[1].c_str());
        ASSERT_NE(node, nullptr);
        const KgeMatrix& global = node->GetGlobalTransform();
        for (int r = 0; r < 4; ++r) {
            for (int c = 0; c < 4; ++c) {
                // A camera node turns its own axes (post-rotation); its position must still agree.
                if (w[1] == "camnode" && r < 3) continue;
                EXPECT_NEAR(global.Data()[r * 4 + c], D(w, 2 + c * 4 + r), kPeerReadTolerance) << r << "," << c;
            }
        }
    }

    // ---- materials bound by symbol, with the texture through its sampler ----
    const KDuzLayerElementMaterial* materials = mesh->GetLayer(0)->GetMaterials();
    ASSERT_NE(materials, nullptr);
    ASSERT_EQ(materials->GetDirectArray().Count(), 2);
    EXPECT_EQ(materials->GetMappingMode(), KDuzLayerElement::eByPolygon);
    const int polygonMaterial[] = {0, 0, 1, 1};
    for (int p = 0; p < 4; ++p) EXPECT_EQ(materials->GetIndexArray()[p], polygonMaterial[p]) << p;
    for (const Record& m : All("material")) {
        const int index = m[1] == "symA" ? 0 : 1;
        KDuzSurfaceMaterial* material = materials->GetDirectArray()[index];
        SCOPED_TRACE(m[1]);
        EXPECT_EQ(material->GetName(), m[2]);
        if (m[3] == "phong") {
            EXPECT_TRUE(material->Is(KDuzSurfacePhong::ClassId()));
        } else {
            EXPECT_TRUE(material->Is(KDuzSurfaceLambert::ClassId()));
        }
        if (m[4] == "texture") {
            // On the layer of the coordinate set the instance binds.
            ASSERT_EQ(m[6], "set");
            const int set = std::stoi(m[7]);
            ASSERT_NE(mesh->GetLayer(set), nullptr);
            const KDuzLayerElementTexture* textures = mesh->GetLayer(set)->GetTexturesOfType(3);
            for (int l = 0; l < mesh->GetLayerCount(); ++l) {
                if (l == set) continue;
                EXPECT_EQ(mesh->GetLayer(l)->GetTexturesOfType(3), nullptr) << l;
            }
            ASSERT_NE(textures, nullptr);
            ASSERT_EQ(textures->GetDirectArray().Count(), 1);
            EXPECT_EQ("./" + std::string(textures->GetDirectArray()[0]->GetFileName()), m[5]);
            EXPECT_EQ(textures->GetIndexArray()[0], 0);
            EXPECT_EQ(textures->GetIndexArray()[3], -1);
        } else {
            double rgb[3] = {};
            auto* lambert = static_cast<KDuzSurfaceLambert*>(material);
            lambert->GetDiffuseColor().GetValue(rgb, eValueKindDouble3);
            for (int k = 0; k < 3; ++k) EXPECT_NEAR(rgb[k], D(m, 5 + k), kPeerReadTolerance);
        }
    }

    // ---- camera and lights ----
    const Record cam = All("camera").at(0);
    auto* camera = dynamic_cast<KDuzCamera*>(Node("camnode")->GetNodeAttribute());
    ASSERT_NE(camera, nullptr);
    EXPECT_NEAR(camera->GetFieldOfView(), D(cam, 2), kPeerReadTolerance);
    EXPECT_EQ(camera->GetApertureMode(), 2);
    EXPECT_NEAR(camera->GetNearPlane(), D(cam, 3), kPeerReadTolerance);
    EXPECT_NEAR(camera->GetFarPlane(), D(cam, 4), kPeerReadTolerance);
    for (const Record& l : All("light")) {
        SCOPED_TRACE(l[1]);
        if (l[2] == "AmbientLight") {
            const KDuzRGBAColor ambient = scene->GetGlobalLightSettings()->GetAmbientColor();
            EXPECT_NEAR(ambient.mRed, D(l, 3), kPeerReadTolerance);
            EXPECT_NEAR(ambient.mBlue, D(l, 5), kPeerReadTolerance);
            continue;
        }
        auto* light = dynamic_cast<KDuzLight*>(Node((l[1] + "node").c_str())->GetNodeAttribute());
        ASSERT_NE(light, nullptr);
        const int type = l[2] == "DirectionalLight" ? 1 : l[2] == "PointLight" ? 0 : 2;
        EXPECT_EQ(static_cast<int>(light->GetLightType()), type);
        const KDuzRGBAColor color = light->GetColor();
        EXPECT_NEAR(color.mRed, D(l, 3), kPeerReadTolerance);
        EXPECT_NEAR(color.mGreen, D(l, 4), kPeerReadTolerance);
        EXPECT_NEAR(color.mBlue, D(l, 5), kPeerReadTolerance);
        if (type == 2) {
            EXPECT_NEAR(light->GetConeAngle(), D(l, 6), kPeerReadTolerance);
        }
    }
}

TEST_F(ColladaPeerTest, SkinAndAnimation) {
    ASSERT_TRUE(ReadFile((folder / "skin.dae").string())) << AllSaid();
    auto* mesh = dynamic_cast<KDuzMesh*>(Node("skinned")->GetNodeAttribute());
    ASSERT_NE(mesh, nullptr);
    ASSERT_EQ(mesh->GetDeformerCount(), 1);
    auto* skin = dynamic_cast<KDuzSkin*>(mesh->GetDeformer(0));
    ASSERT_NE(skin, nullptr);
    const std::vector<Record> clusters = All("cluster");
    const std::vector<Record> inverse = All("invbind");
    ASSERT_EQ(skin->GetClusterCount(), static_cast<int>(clusters.size()));
    for (int i = 0; i < skin->GetClusterCount(); ++i) {
        KDuzCluster* cluster = skin->GetCluster(i);
        const Record& c = clusters[i];
        SCOPED_TRACE(c[1]);
        // Linked to the scene's own joint node of that name.
        ASSERT_NE(cluster->GetLink(), nullptr);
        EXPECT_EQ(cluster->GetLink(), Node(c[1].c_str()));
        ASSERT_EQ(cluster->GetControlPointIndicesCount() * 2, static_cast<int>(c.size()) - 2);
        for (int k = 0; k < cluster->GetControlPointIndicesCount(); ++k) {
            EXPECT_EQ(cluster->GetControlPointIndices()[k], std::stoi(c[2 + 2 * k]));
            EXPECT_NEAR(cluster->GetControlPointWeights()[k], D(c, 3 + 2 * k), kPeerReadTolerance);
        }
        // The link matrix is the bind-time global matrix: the inverse of the
        // inverse bind matrix, composed with it it gives the identity.
        KgeMatrix link;
        cluster->GetTransformLinkMatrix(link);
        const Record& m = inverse[i];
        for (int r = 0; r < 4; ++r) {
            for (int col = 0; col < 4; ++col) {
                double sum = 0.0;
                for (int k = 0; k < 4; ++k) sum += D(m, 2 + r * 4 + k) * link.Data()[col * 4 + k];
                EXPECT_NEAR(sum, r == col ? 1.0 : 0.0, kPeerReadTolerance) << r << "," << col;
            }
        }
    }

    // ---- animation curves of take "Take 001" ----
    for (const Record& ch : All("channel")) {
        SCOPED_TRACE(ch[1]);
        const bool translate = ch[1] == "j1/translate.X";
        KDuzNode* node = Node(translate ? "j1" : "j2");
        ASSERT_NE(node, nullptr);
        KDuzTakeNode* take = node->GetCurrentTakeNode();
        ASSERT_NE(take, nullptr);
        KFCurve* curve = translate ? take->GetTranslationXCurve() : take->GetRotationZCurve();
        ASSERT_NE(curve, nullptr);
        const int keys = (static_cast<int>(ch.size()) - 2) / 3;
        ASSERT_EQ(curve->KeyGetCount(), keys);
        for (int k = 0; k < keys; ++k) {
            EXPECT_NEAR(curve->KeyGetTime(k).GetSecondDouble(), D(ch, 2 + 3 * k), 1e-6);
            EXPECT_NEAR(curve->KeyGetValue(k), D(ch, 3 + 3 * k), kPeerReadTolerance);
            const std::string& kind = ch[4 + 3 * k];
            const std::uint32_t interpolation = kind == "STEP" ? kFCurveInterpolationConstant
                                                               : kFCurveInterpolationLinear;
            EXPECT_EQ(curve->KeyGetInterpolation(k), interpolation) << k;
        }
    }
    // The take spans every key of every animation, nested ones included.
    KDuzTakeDescription* take = scene->GetTakeDescription(KString("Take 001"));
    ASSERT_NE(take, nullptr);
    EXPECT_DOUBLE_EQ(take->localStart.GetSecondDouble(), 0.0);
    EXPECT_DOUBLE_EQ(take->localStop.GetSecondDouble(), 2.0);
}

}  // namespace
}  // namespace colladatest
