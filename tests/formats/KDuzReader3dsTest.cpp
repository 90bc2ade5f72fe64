// The 3DS reader on small files written through the toolkit: key order and
// the TCB keys, rotation accumulation (a zero axis included), the smoothing
// split, texture placement, the camera lens and broken hierarchies.
#include "FtkTestSupport.h"

#include <cmath>

#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/formats/3dsftk/FtkCamera.h"
#include "sdk/formats/3dsftk/FtkDatabase.h"
#include "sdk/formats/3dsftk/FtkKfMotion.h"
#include "sdk/formats/3dsftk/FtkMaterial.h"
#include "sdk/formats/3dsftk/FtkTriMesh.h"
#include "sdk/formats/KDuzReader3ds.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/io/KDuzStreamOptions.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzCamera.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

namespace {

const KTime kFrameTicks(KTime::kTicksPerSecond / 30);

class Reader3dsTest : public FtkTest {
protected:
    void SetUp() override {
        FtkTest::SetUp();
        FtkDatabaseInit(&db);
        FtkDatabaseCreate(db, kFtkMeshDatabase);
        manager = KDuzSdkManager::Create();
        scene = KDuzScene::Create(manager, "");
    }
    void TearDown() override {
        FtkDatabaseRelease(&db);
        manager->Destroy();
        FtkTest::TearDown();
    }

    // Saves the database and reads the file with options set by `configure`.
    template <typename Configure>
    bool SaveAndImport(Configure configure) {
        const std::string path = Path("test.3ds");
        FtkFile* file = FtkFileOpen(path.c_str(), "wb");
        FtkDatabaseSave(file, db);
        FtkFileClose(file);
        EXPECT_FALSE(FtkErrorPending());
        KDuzReader3DS reader(manager);
        reader.FileOpen(path.c_str());
        KDuzStreamOptions* options = reader.GetReadOptions(false);
        options->SetBoolOption("RESCALING", false);
        configure(*options);
        const bool read = reader.Read(scene, options);
        reader.FileClose();
        return read;
    }
    bool SaveAndImport() {
        return SaveAndImport([](KDuzStreamOptions&) {});
    }

    void PutMesh(const char* name, const std::vector<FtkVector>& vertices, const std::vector<FtkFace>& faces,
                 const std::vector<uint32_t>& smoothing) {
        FtkTriMesh* mesh = nullptr;
        FtkTriMeshInit(&mesh, uint16_t(vertices.size()), uint16_t(faces.size()),
                       smoothing.empty() ? 0u : uint32_t(kFtkTriSmoothGroups));
        std::strcpy(mesh->name, name);
        std::copy(vertices.begin(), vertices.end(), mesh->vertices);
        std::copy(faces.begin(), faces.end(), mesh->faces);
        std::copy(smoothing.begin(), smoothing.end(), mesh->smoothGroups);
        const float identity[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
        std::memcpy(mesh->meshMatrix, identity, sizeof identity);
        FtkTriMeshPut(db, mesh);
        FtkTriMeshRelease(&mesh);
    }

    KDuzNode* Node(const char* name) { return FindIn(scene->GetRootNode(), name); }
    static KDuzNode* FindIn(KDuzNode* node, const char* name) {
        if (std::strcmp(node->GetName(), name) == 0) return node;
        for (int i = 0; i < node->GetChildCount(); ++i) {
            if (KDuzNode* found = FindIn(node->GetChild(i), name)) return found;
        }
        return nullptr;
    }

    FtkDatabase* db = nullptr;
    KDuzSdkManager* manager = nullptr;
    KDuzScene* scene = nullptr;
};

TEST_F(Reader3dsTest, KeysOutOfOrderAreSkippedAndTcbValuesKept) {
    PutMesh("m", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2, 0}}, {});
    FtkObjectMotion* motion = nullptr;
    FtkObjectMotionInit(&motion, 5, 0, 0, 0, 0);
    std::strcpy(motion->name, "m");
    const uint32_t frames[5] = {0, 10, 10, 5, 20};
    for (int i = 0; i < 5; ++i) {
        motion->pos.keys[i].time = frames[i];
        motion->pos.values[i] = {float(i), 0, 0};
    }
    // Tension given, continuity and bias given but not flagged.
    motion->pos.keys[1].rflags = kFtkKeyTension;
    motion->pos.keys[1].tension = 0.5f;
    motion->pos.keys[1].continuity = 0.25f;
    FtkObjectMotionPut(db, motion);
    FtkObjectMotionRelease(&motion);
    ASSERT_TRUE(SaveAndImport());

    KFCurve* x = Node("m")->GetCurrentTakeNode()->GetTranslationXCurve();
    ASSERT_EQ(x->KeyGetCount(), 3);
    const int expectedFrame[3] = {0, 10, 20};
    const float expectedValue[3] = {0, 1, 4};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(x->KeyGetTime(i), kFrameTicks * expectedFrame[i]) << i;
        EXPECT_FLOAT_EQ(x->KeyGetValue(i), expectedValue[i]) << i;
    }
    EXPECT_EQ(x->KeyGetInterpolation(1), kFCurveInterpolationCubic);
    EXPECT_EQ(x->KeyGetTangentMode(1) & kFCurveTangentTCB, kFCurveTangentTCB);
    EXPECT_FLOAT_EQ(x->KeyGetDataFloat(1, 0), 0.5f);    // tension
    EXPECT_FLOAT_EQ(x->KeyGetDataFloat(1, 1), 0.0f);    // continuity: not flagged
}

TEST_F(Reader3dsTest, RotationKeysAccumulateAndAZeroAxisTurnsNothing) {
    FtkObjectMotion* motion = nullptr;
    FtkObjectMotionInit(&motion, 0, 4, 0, 0, 0);
    std::strcpy(motion->name, "dummy");
    // 0 about z, then 90 degrees about z twice (relative keys), then a key
    // with a zero axis and an angle of pi.
    const FtkRotKey keys[4] = {{0, 0, 0, 1}, {float(M_PI / 2), 0, 0, 1}, {float(M_PI / 2), 0, 0, 1},
                               {float(M_PI), 0, 0, 0}};
    for (int i = 0; i < 4; ++i) {
        motion->rot.keys[i].time = uint32_t(i * 10);
        motion->rot.values[i] = keys[i];
    }
    FtkObjectMotionPut(db, motion);
    FtkObjectMotionRelease(&motion);
    ASSERT_TRUE(SaveAndImport());

    KDuzNode* node = Node("dummy");
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->GetNodeAttribute(), nullptr);
    KDuzTakeNode* take = node->GetCurrentTakeNode();
    KFCurve* ry = take->GetRotationYCurve();
    ASSERT_EQ(ry->KeyGetCount(), 4);
    // 3DS z is the scene's Y, the angle negated; the unroll filter keeps the
    // third key at -180 next to -90 rather than at +180.
    const double expected[4] = {0, -90, -180, -180};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const double x = take->GetRotationXCurve()->KeyGetValue(i);
        const double y = ry->KeyGetValue(i);
        const double z = take->GetRotationZCurve()->KeyGetValue(i);
        ASSERT_TRUE(std::isfinite(x) && std::isfinite(y) && std::isfinite(z));
        // The same rotation: equal up to a whole turn or the (180, 180 - y, 180) twin.
        const double twin = std::fabs(std::fabs(x) - 180) < 1e-3 && std::fabs(std::fabs(z) - 180) < 1e-3;
        if (!twin) {
            EXPECT_NEAR(std::remainder(y - expected[i], 360.0), 0.0, 1e-3);
            EXPECT_NEAR(x, 0.0, 1e-3);
            EXPECT_NEAR(z, 0.0, 1e-3);
        }
    }
    EXPECT_NEAR(ry->KeyGetValue(3), ry->KeyGetValue(2), 1e-3);
}

TEST_F(Reader3dsTest, SmoothingGroupsSplitVertices) {
    struct Case {
        const char* name;
        uint32_t first, second;
        int points;
    };
    // Two faces sharing the edge 0-2 of a square.
    const Case cases[] = {
        {"groups 1 and 2 split", 1, 2, 6},
        {"groups 1 and 3 share", 1, 3, 4},
        {"word 0 faces get points of their own", 0, 0, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FtkDatabaseRelease(&db);
        FtkDatabaseInit(&db);
        FtkDatabaseCreate(db, kFtkMeshDatabase);
        scene = KDuzScene::Create(manager, "");
        PutMesh("sq", {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{0, 1, 2, 0}, {0, 2, 3, 0}},
                {c.first, c.second});
        ASSERT_TRUE(SaveAndImport());
        auto* mesh = dynamic_cast<KDuzMesh*>(Node("sq")->GetNodeAttribute());
        ASSERT_NE(mesh, nullptr);
        EXPECT_EQ(mesh->GetControlPointsCount(), c.points);
        // Every control point is used and has a unit normal.
        const KgeTVector* normals = mesh->GetNormals();
        for (int i = 0; i < mesh->GetControlPointsCount(); ++i)
            EXPECT_NEAR(std::fabs(normals[i][1]), 1.0, 1e-9) << i;
    }
}

TEST_F(Reader3dsTest, TexturePlacementAndCameraLens) {
    FtkMaterial* material = nullptr;
    FtkMaterialInit(&material);
    std::strcpy(material->name, "plain");
    std::strcpy(material->texture.name, "a.tga");
    material->texture.percent = 1;
    material->texture.tiling = kFtkDecal;
    FtkMaterialPut(db, material);
    std::strcpy(material->name, "moved");
    std::strcpy(material->texture.name, "b.tga");
    material->texture.tiling = kFtkTile;
    material->texture.uScale = 2;
    material->texture.vScale = 4;
    material->texture.uOffset = 0.25f;
    material->texture.vOffset = 0.5f;
    FtkMaterialPut(db, material);
    std::strcpy(material->name, "turned");
    std::strcpy(material->texture.name, "c.tga");
    material->texture.uScale = 1;
    material->texture.vScale = 1;
    material->texture.uOffset = 0;
    material->texture.vOffset = 0;
    material->texture.rotation = 90;
    FtkMaterialPut(db, material);
    FtkMaterialRelease(&material);

    // A negative lens (the toolkit refuses a lens of 0) gives no focal
    // length: the camera keeps its default.
    FtkCamera* camera = nullptr;
    FtkCameraInit(&camera);
    std::strcpy(camera->name, "flat");
    camera->fov = -45;
    FtkCameraPut(db, camera);
    FtkCameraRelease(&camera);
    ASSERT_TRUE(SaveAndImport());

    struct Expected {
        const char* name;
        double u, v;
        int wrap;
    };
    // No scale or offset: (0, 0). Scale 2, 4 and offsets 0.25, 0.5:
    // u = -2 (0.25 + 0.25) = -1, v = -4 (0.375 - 0.5) = 0.5. Turned by 90
    // degrees: (-0.5, -0.5) turned by -90 is (-0.5, 0.5), plus 0.5.
    const Expected expected[] = {{"a.tga", 0, 0, 1}, {"b.tga", -1, 0.5, 0}, {"c.tga", 0, 1, 0}};
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.name);
        auto* texture = dynamic_cast<KDuzTexture*>(manager->FindTexture(e.name));
        ASSERT_NE(texture, nullptr);
        EXPECT_NEAR(texture->GetDefaultT()[0], e.u, 1e-6);
        EXPECT_NEAR(texture->GetDefaultT()[1], e.v, 1e-6);
        EXPECT_EQ(texture->GetWrapModeU(), e.wrap);
    }
    EXPECT_NEAR(dynamic_cast<KDuzTexture*>(manager->FindTexture("c.tga"))->GetDefaultR()[2], -90.0, 1e-6);

    KDuzNode* flat = Node("flat");
    ASSERT_NE(flat, nullptr);
    auto* lens = dynamic_cast<KDuzCamera*>(flat->GetNodeAttribute());
    ASSERT_NE(lens, nullptr);
    EXPECT_TRUE(std::isfinite(lens->GetFocalLength()));
}

TEST_F(Reader3dsTest, ParentLoopsAndUnknownParentsEndUnderTheRoot) {
    FtkObjectMotion* motion = nullptr;
    FtkObjectMotionInit(&motion, 0, 0, 0, 0, 0);
    std::strcpy(motion->name, "a");
    FtkObjectMotionPut(db, motion);
    std::strcpy(motion->name, "b");
    std::strcpy(motion->parent, "a");
    FtkObjectMotionPut(db, motion);
    std::strcpy(motion->name, "c");
    std::strcpy(motion->parent, "nobody");
    FtkObjectMotionPut(db, motion);
    FtkObjectMotionRelease(&motion);
    ASSERT_TRUE(SaveAndImport());
    KDuzNode* root = scene->GetRootNode();
    ASSERT_NE(Node("b"), nullptr);
    EXPECT_EQ(Node("b")->GetParent(), Node("a"));
    EXPECT_EQ(Node("c")->GetParent(), root);
    EXPECT_EQ(Node("a")->GetParent(), root);
}

TEST_F(Reader3dsTest, FilterReducesKeys) {
    FtkObjectMotion* motion = nullptr;
    FtkObjectMotionInit(&motion, 11, 0, 0, 0, 0);
    std::strcpy(motion->name, "line");
    for (uint32_t i = 0; i < 11; ++i) {
        motion->pos.keys[i].time = i;
        motion->pos.values[i] = {0, 0, 0};
    }
    FtkObjectMotionPut(db, motion);
    FtkObjectMotionRelease(&motion);
    ASSERT_TRUE(SaveAndImport([](KDuzStreamOptions& o) { o.SetBoolOption("FILTER", true); }));
    EXPECT_LT(Node("line")->GetCurrentTakeNode()->GetTranslationXCurve()->KeyGetCount(), 11);
}

}  // namespace

namespace {

TEST_F(Reader3dsTest, WithoutKeyframerObjectsKeepThePlacementOfTheirRecords) {
    // Rotated 90 degrees about 3DS z, twice as long along its first axis, at
    // (5, 1, 2); the file stores the points placed (local x mesh matrix).
    const float matrix[12] = {0, 2, 0, -1, 0, 0, 0, 0, 1, 5, 1, 2};
    const FtkVector local[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    std::vector<FtkVector> world;
    for (const FtkVector& p : local) {
        world.push_back({p.x * matrix[0] + p.y * matrix[3] + p.z * matrix[6] + matrix[9],
                         p.x * matrix[1] + p.y * matrix[4] + p.z * matrix[7] + matrix[10],
                         p.x * matrix[2] + p.y * matrix[5] + p.z * matrix[8] + matrix[11]});
    }
    FtkTriMesh* mesh = nullptr;
    FtkTriMeshInit(&mesh, 3, 1, 0);
    std::strcpy(mesh->name, "placed");
    std::copy(world.begin(), world.end(), mesh->vertices);
    mesh->faces[0] = {0, 1, 2, 0};
    std::memcpy(mesh->meshMatrix, matrix, sizeof matrix);
    FtkTriMeshPut(db, mesh);
    FtkTriMeshRelease(&mesh);
    FtkCamera* camera = nullptr;
    FtkCameraInit(&camera);
    std::strcpy(camera->name, "eye");
    camera->position = {1, 2, 3};
    camera->target = {4, 5, 6};
    camera->fov = 30;
    camera->roll = 7;
    FtkCameraPut(db, camera);
    FtkCameraRelease(&camera);
    ASSERT_TRUE(SaveAndImport());

    KDuzNode* node = Node("placed");
    ASSERT_NE(node, nullptr);
    auto* read = dynamic_cast<KDuzMesh*>(node->GetNodeAttribute());
    ASSERT_NE(read, nullptr);
    const double* g = node->GetGlobalTransform().Data();
    for (int v = 0; v < 3; ++v) {
        SCOPED_TRACE(v);
        const KgeTVector& p = read->GetControlPoints()[read->GetPolygonVertex(0, v)];
        double placed[3];
        for (int j = 0; j < 3; ++j) placed[j] = p[0] * g[j] + p[1] * g[4 + j] + p[2] * g[8 + j] + g[12 + j];
        const FtkVector& w = world[size_t(v)];
        EXPECT_NEAR(placed[0], w.x, 1e-5);
        EXPECT_NEAR(placed[1], w.z, 1e-5);
        EXPECT_NEAR(placed[2], -w.y, 1e-5);
    }

    KDuzNode* eye = Node("eye");
    ASSERT_NE(eye, nullptr);
    auto* lens = dynamic_cast<KDuzCamera*>(eye->GetNodeAttribute());
    ASSERT_NE(lens, nullptr);
    EXPECT_NEAR(eye->GetLclTranslation()[2], -2.0, 1e-6);
    EXPECT_NEAR(Node("eye.Target")->GetLclTranslation()[1], 6.0, 1e-6);
    EXPECT_NEAR(lens->GetFieldOfView(), 30.0, 1e-4);
    EXPECT_NEAR(lens->GetRoll(), 7.0, 1e-6);
}

}  // namespace

namespace {

TEST_F(Reader3dsTest, InstancesShareTheMeshAndItsPivotMovesItOnce) {
    PutMesh("shared", {{1, 0, 0}, {2, 0, 0}, {1, 1, 0}}, {{0, 1, 2, 0}}, {});
    FtkObjectMotion* motion = nullptr;
    FtkObjectMotionInit(&motion, 0, 0, 0, 0, 0);
    std::strcpy(motion->name, "shared");
    motion->pivot = {1, 0, 0};
    std::strcpy(motion->instance, "a");
    FtkObjectMotionPut(db, motion);
    std::strcpy(motion->instance, "b");
    FtkObjectMotionPut(db, motion);
    FtkObjectMotionRelease(&motion);
    ASSERT_TRUE(SaveAndImport());
    KDuzNode* a = Node("shared.a");
    KDuzNode* b = Node("shared.b");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(a->GetNodeAttribute(), b->GetNodeAttribute());
    auto* mesh = dynamic_cast<KDuzMesh*>(a->GetNodeAttribute());
    ASSERT_NE(mesh, nullptr);
    const KgeTVector& first = mesh->GetControlPoints()[0];
    EXPECT_NEAR(first[0], 0.0, 1e-9);
    EXPECT_NEAR(mesh->GetControlPoints()[1][0], 1.0, 1e-9);
}

}  // namespace
