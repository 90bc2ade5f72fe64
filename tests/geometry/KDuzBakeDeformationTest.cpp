// Baking blend shapes and skins into written points: the modes of a skin and
// the order in which additive clusters compose.
#include <gtest/gtest.h>

#include <vector>

#include "sdk/base/KgeMath.h"
#include "sdk/geometry/KDuzBakeDeformation.h"
#include "sdk/geometry/KDuzCluster.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzShape.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

namespace duzsdk {
namespace {

KgeMatrix LocalOf(const KDuzNode& node) {
    const auto t = node.GetLclTranslation();
    const auto r = node.GetLclRotation();
    const auto s = node.GetLclScaling();
    const double tv[3] = {t[0], t[1], t[2]}, rv[3] = {r[0], r[1], r[2]}, sv[3] = {s[0], s[1], s[2]};
    KgeMatrix m;
    KgeMatrixComposeTRS(m.Data(), tv, rv, sv);
    return m;
}

class BakeDeformationTest : public ::testing::Test {
protected:
    void SetUp() override {
        manager = KDuzSdkManager::Create();
        scene = KDuzScene::Create(manager, "");
        mesh = KDuzMesh::Create(manager, "mesh");
        mesh->InitControlPoints(1);
        mesh->GetControlPoints()[0] = KgeTVector(1, 0, 0, 1);
        KDuzNode* node = KDuzNode::Create(manager, "body");
        node->SetNodeAttribute(mesh);
        scene->GetRootNode()->AddChild(node);
    }
    void TearDown() override { manager->Destroy(); }

    // A bone at the given pose, bound at the origin, pulling point 0.
    void AddBone(int mode, double weight, duzVectorTemplate3<double> t, duzVectorTemplate3<double> r) {
        KDuzNode* bone = KDuzNode::Create(manager, "bone");
        scene->GetRootNode()->AddChild(bone);
        bone->SetLclTranslation(t);
        bone->SetLclRotation(r);
        KDuzCluster* cluster = KDuzCluster::Create(manager, "");
        cluster->SetLink(bone);
        cluster->SetLinkMode(mode);
        cluster->AddControlPointIndex(0, weight);
        cluster->AddControlPointIndex(7, 1.0);   // beyond the points: skipped
        ASSERT_GE(mesh->AddClusterToSkin(cluster), 0);
    }

    KgeTVector Baked() {
        std::vector<KgeTVector> points{mesh->GetControlPoints()[0]};
        KDuzBakeSkin(KgeMatrix(), *mesh, points, &LocalOf);
        EXPECT_EQ(mesh->GetControlPoints()[0][0], 1.0) << "the mesh keeps its own points";
        return points[0];
    }

    KDuzSdkManager* manager = nullptr;
    KDuzScene* scene = nullptr;
    KDuzMesh* mesh = nullptr;
};

TEST_F(BakeDeformationTest, AdditiveClustersComposeInClusterOrder) {
    // Moved by (1, 0, 0) first, then turned a quarter about Z: (0, 2, 0).
    // The other order would give (1, 1, 0).
    AddBone(KDuzCluster::eAdditive, 1.0, {1, 0, 0}, {0, 0, 0});
    AddBone(KDuzCluster::eAdditive, 1.0, {0, 0, 0}, {0, 0, 90});
    const KgeTVector p = Baked();
    EXPECT_NEAR(p[0], 0.0, 1e-9);
    EXPECT_NEAR(p[1], 2.0, 1e-9);
    EXPECT_NEAR(p[2], 0.0, 1e-9);
}

TEST_F(BakeDeformationTest, NormalizeAndTotalOneWeighTheClusters) {
    struct Case {
        int mode;
        double weights[2];
        double x, y;
    };
    // Bones moved by (2, 0, 0) and (0, 2, 0); the point starts at (1, 0, 0).
    const Case cases[] = {
        {KDuzCluster::eNormalize, {0.5, 0.5}, 2.0, 1.0},   // the weighted mean of (3,0) and (1,2)
        {KDuzCluster::eNormalize, {1.0, 3.0}, 1.5, 1.5},   // weights divided by their sum
        {KDuzCluster::eTotalOne, {0.25, 0.25}, 1.5, 0.5},  // the rest stays where it was
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        TearDown();
        SetUp();
        AddBone(c.mode, c.weights[0], {2, 0, 0}, {0, 0, 0});
        AddBone(c.mode, c.weights[1], {0, 2, 0}, {0, 0, 0});
        const KgeTVector p = Baked();
        EXPECT_NEAR(p[0], c.x, 1e-9);
        EXPECT_NEAR(p[1], c.y, 1e-9);
    }
}

TEST_F(BakeDeformationTest, ShapesMoveByTheirChannelValueAndMismatchedOnesAreSkipped) {
    KDuzShape* shape = KDuzShape::Create(manager, "");
    shape->CopyFrom(static_cast<const KDuzGeometryBase&>(*mesh));
    shape->GetControlPoints()[0] = KgeTVector(1, 4, 0, 1);
    ASSERT_EQ(mesh->AddShape(shape, "lift"), 0);
    KDuzShape* mismatched = KDuzShape::Create(manager, "");
    mismatched->InitControlPoints(3);
    ASSERT_EQ(mesh->AddShape(mismatched, "other"), 1);
    mesh->GetShapeChannel(mesh->GetNode()->GetDefaultTakeNode(), 0)->SetDefaultValue(0.25f);
    mesh->GetShapeChannel(mesh->GetNode()->GetDefaultTakeNode(), 1)->SetDefaultValue(1.0f);
    std::vector<KgeTVector> points{mesh->GetControlPoints()[0]};
    KDuzBakeShapes(*mesh, points);
    EXPECT_DOUBLE_EQ(points[0][1], 1.0);
    EXPECT_DOUBLE_EQ(points[0][0], 1.0);
}

}  // namespace
}  // namespace duzsdk
