// A scene written by the 3DS writer and read back by the 3DS reader keeps
// its content within what 3DS holds: single-precision values, names of at
// most 10 characters, null nodes as dummy nodes (read back as
// "$$$DUMMY.<name>"), texture file names without their folder, polygons as
// triangles, animation as one key per frame of the take, and one lens angle.
#include "W3dsTestSupport.h"

#include <cmath>
#include <cstring>

#include "sdk/formats/KDuzReader3ds.h"

using namespace w3dstest;

namespace {

KDuzNode* FindIn(KDuzNode* node, const char* name) {
    if (std::strcmp(node->GetName(), name) == 0) return node;
    for (int i = 0; i < node->GetChildCount(); ++i) {
        if (KDuzNode* found = FindIn(node->GetChild(i), name)) return found;
    }
    return nullptr;
}

// The points of a mesh node placed by its global transform.
std::vector<KgeTVector> PlacedPoints(KDuzNode* node) {
    std::vector<KgeTVector> placed;
    auto* mesh = dynamic_cast<KDuzMesh*>(node->GetNodeAttribute());
    if (mesh == nullptr) return placed;
    const double* g = node->GetGlobalTransform().Data();
    for (int p = 0; p < mesh->GetPolygonCount(); ++p) {
        for (int c = 0; c < mesh->GetPolygonSize(p); ++c) {
            const KgeTVector& v = mesh->GetControlPoints()[mesh->GetPolygonVertex(p, c)];
            double out[3];
            for (int j = 0; j < 3; ++j) out[j] = v[0] * g[j] + v[1] * g[4 + j] + v[2] * g[8 + j] + g[12 + j];
            placed.push_back(KgeTVector(out[0], out[1], out[2], 1.0));
        }
    }
    return placed;
}

// Whether every point of `a` is within `tolerance` of some point of `b`.
bool SamePointSet(const std::vector<KgeTVector>& a, const std::vector<KgeTVector>& b, double tolerance) {
    for (const KgeTVector& p : a) {
        bool found = false;
        for (const KgeTVector& q : b) {
            found = found || (std::fabs(p[0] - q[0]) < tolerance && std::fabs(p[1] - q[1]) < tolerance &&
                              std::fabs(p[2] - q[2]) < tolerance);
        }
        if (!found) return false;
    }
    return !a.empty();
}

class Reader3dsRoundTripTest : public W3dsTest {};

TEST_F(Reader3dsRoundTripTest, WrittenSceneReadsBackWithItsContent) {
    const std::vector<KgeTVector> quad = {P(0, 0, 0), P(1, 0, 0), P(1, 1, 0), P(0, 1, 0)};
    KDuzSurfacePhong* red = KDuzSurfacePhong::Create(manager, "red");
    const duzVectorTemplate3<double> redColor(1, 0.25, 0);
    red->GetDiffuseColor().SetValue(&redColor, eValueKindDouble3);
    KDuzTexture* wood = KDuzTexture::Create(manager, "wood");
    wood->SetFileName("wood.png");

    KDuzNode* group = AddNode(manager, scene->GetRootNode(), "Group", KDuzNull::Create(manager, ""));
    KDuzNode* turned = AddNode(manager, group, "Turned",
                               MakeMesh(manager, {quad, {{0, 1, 2, 3}}, {red}, {}, {wood},
                                                  {{0, 0}, {1, 0}, {1, 1}, {0, 1}}}));
    turned->SetLclTranslation(duzVectorTemplate3<double>(2, 3, 4));
    turned->SetLclRotation(duzVectorTemplate3<double>(0, 90, 0));
    KDuzNode* moving = AddNode(manager, scene->GetRootNode(), "Moving", MakeMesh(manager, {quad, {{0, 1, 2, 3}}}));
    KDuzTakeNode* take = moving->GetCurrentTakeNode();
    Animate(take->GetTranslationXCurve(), {{0, 0}, {10, 10}});
    KDuzLight* omni = KDuzLight::Create(manager, "");
    omni->SetColor(KDuzRGBAColor(1, 0.5, 0));
    AddNode(manager, scene->GetRootNode(), "Omni", omni)->SetLclTranslation(duzVectorTemplate3<double>(0, 5, 0));
    KDuzCamera* camera = KDuzCamera::Create(manager, "");
    // 3DS keeps one lens angle; the writer widens a vertical angle into it
    // for other aperture modes, so the camera uses mode 1 as the reader's do.
    camera->SetApertureMode(1);
    camera->SetFieldOfView(40);
    AddNode(manager, scene->GetRootNode(), "Cam", camera)->SetLclTranslation(duzVectorTemplate3<double>(1, 2, 3));

    const std::vector<KgeTVector> turnedBefore = PlacedPoints(turned);
    const std::string path = PathOf("round.3ds");
    ASSERT_TRUE(Write(path));

    KDuzScene* back = KDuzScene::Create(manager, "");
    KDuzReader3DS reader(manager);
    ASSERT_TRUE(reader.FileOpen(path.c_str()));
    ASSERT_TRUE(reader.Read(back, reader.GetReadOptions(false)));
    KDuzNode* root = back->GetRootNode();

    // The null node comes back as a dummy node, its child under it.
    KDuzNode* dummy = FindIn(root, "$$$DUMMY.Group");
    KDuzNode* turnedBack = FindIn(root, "Turned");
    ASSERT_NE(dummy, nullptr);
    ASSERT_NE(turnedBack, nullptr);
    EXPECT_EQ(turnedBack->GetParent(), dummy);
    // Placed points agree within single precision (written over 2.54, read
    // times 2.54); the quad is two triangles.
    EXPECT_EQ(dynamic_cast<KDuzMesh*>(turnedBack->GetNodeAttribute())->GetPolygonCount(), 2);
    EXPECT_TRUE(SamePointSet(turnedBefore, PlacedPoints(turnedBack), 1e-4));
    EXPECT_TRUE(SamePointSet(PlacedPoints(turnedBack), turnedBefore, 1e-4));

    auto* mesh = dynamic_cast<KDuzMesh*>(turnedBack->GetNodeAttribute());
    ASSERT_GE(mesh->GetMaterialCount(), 1);
    auto* material = dynamic_cast<KDuzSurfacePhong*>(mesh->GetMaterial(mesh->GetMaterialIndices()[0]));
    ASSERT_NE(material, nullptr);
    duzVectorTemplate3<double> diffuse;
    material->GetDiffuseColor().GetValue(&diffuse, eValueKindDouble3);
    EXPECT_NEAR(diffuse[1], 0.25, 1.0 / 255);
    ASSERT_GE(mesh->GetTextureCount(0, 3), 1);
    EXPECT_STREQ(mesh->GetTexture(0, 0, 3)->GetFileName(), "wood.png");

    // Animation: one key per frame, on the sampled values.
    KDuzNode* movingBack = FindIn(root, "Moving");
    ASSERT_NE(movingBack, nullptr);
    KFCurve* x = movingBack->GetCurrentTakeNode()->GetTranslationXCurve();
    KFCurve* original = take->GetTranslationXCurve();
    ASSERT_EQ(x->KeyGetCount(), 11);
    for (int i = 0; i <= 10; ++i) {
        const KTime at(int64_t(i) * (KTime::kTicksPerSecond / 30));
        EXPECT_NEAR(x->KeyGetValue(i), original->Evaluate(at), 1e-4) << i;
    }

    KDuzNode* omniBack = FindIn(root, "Omni");
    ASSERT_NE(omniBack, nullptr);
    auto* light = dynamic_cast<KDuzLight*>(omniBack->GetNodeAttribute());
    ASSERT_NE(light, nullptr);
    EXPECT_NEAR(light->GetColor().mGreen, 0.5, 1e-6);
    EXPECT_NEAR(omniBack->GetLclTranslation()[1], 5.0, 1e-4);
    KDuzNode* camBack = FindIn(root, "Cam");
    ASSERT_NE(camBack, nullptr);
    auto* cameraBack = dynamic_cast<KDuzCamera*>(camBack->GetNodeAttribute());
    ASSERT_NE(cameraBack, nullptr);
    EXPECT_NEAR(cameraBack->GetFieldOfView(), 40.0, 1e-3);
    EXPECT_NEAR(camBack->GetLclTranslation()[2], 3.0, 1e-4);
}

}  // namespace
