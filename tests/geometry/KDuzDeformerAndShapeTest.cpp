#include <gtest/gtest.h>

#include "sdk/geometry/KDuzCluster.h"
#include "sdk/geometry/KDuzShape.h"
#include "sdk/geometry/KDuzSkin.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"

namespace duzsdk {
namespace {

class DeformerTest : public ::testing::Test {
protected:
    void SetUp() override { manager = KDuzSdkManager::Create(); }
    void TearDown() override { manager->Destroy(); }
    KDuzSdkManager* manager = nullptr;
};

TEST_F(DeformerTest, NewClusterIsResetAndTakesOnlyRealIndices) {
    KDuzCluster* cluster = KDuzCluster::Create(manager, "c");
    ASSERT_NE(cluster, nullptr);
    EXPECT_TRUE(cluster->Is(KDuzClassIdOf(eDuzClassSubDeformer)));
    EXPECT_EQ(cluster->GetLinkMode(), KDuzCluster::eAdditive);
    EXPECT_EQ(cluster->GetControlPointIndicesCount(), 0);
    EXPECT_EQ(cluster->GetLink(), nullptr);
    for (int i = 0; i < 16; ++i) EXPECT_DOUBLE_EQ(cluster->GetTransformMatrix().Data()[i], i % 5 == 0 ? 1.0 : 0.0);
    cluster->AddControlPointIndex(-1, 0.5);
    EXPECT_EQ(cluster->GetControlPointIndicesCount(), 0);
    cluster->AddControlPointIndex(3, 0.5);
    ASSERT_EQ(cluster->GetControlPointIndicesCount(), 1);
    EXPECT_DOUBLE_EQ(cluster->GetControlPointWeights()[0], 0.5);

    KDuzNode* bone = KDuzNode::Create(manager, "bone");
    cluster->SetLink(bone);
    EXPECT_EQ(cluster->GetLink(), bone);
    cluster->Reset();
    EXPECT_EQ(cluster->GetLink(), nullptr);
    EXPECT_EQ(cluster->GetControlPointIndicesCount(), 0);
}

TEST_F(DeformerTest, SkinCountsItsClusters) {
    KDuzSkin* skin = KDuzSkin::Create(manager, "s");
    ASSERT_NE(skin, nullptr);
    EXPECT_TRUE(skin->Is(KDuzClassIdOf(eDuzClassDeformer)));
    EXPECT_DOUBLE_EQ(skin->GetDeformAccuracy(), 50.0);
    KDuzCluster* clusters[] = {KDuzCluster::Create(manager, "a"), KDuzCluster::Create(manager, "b")};
    for (KDuzCluster* cluster : clusters) ASSERT_TRUE(skin->ConnectSrcObject(cluster));
    ASSERT_EQ(skin->GetClusterCount(), 2);
    EXPECT_EQ(skin->GetCluster(1), clusters[1]);
    EXPECT_EQ(skin->GetCluster(2), nullptr);
}

TEST_F(DeformerTest, ShapeClonesWithItsPoints) {
    KDuzShape* shape = KDuzShape::Create(manager, "shape");
    ASSERT_NE(shape, nullptr);
    ASSERT_TRUE(shape->InitControlPoints(4));
    shape->GetControlPoints()[3] = KgeTVector(1, 2, 3, 1);
    EXPECT_EQ(shape->Clone(0), nullptr);
    auto* clone = dynamic_cast<KDuzShape*>(shape->Clone(2));
    ASSERT_NE(clone, nullptr);
    EXPECT_STREQ(clone->GetName(), "");
    ASSERT_EQ(clone->GetControlPointsCount(), 4);
    EXPECT_DOUBLE_EQ(clone->GetControlPoints()[3][1], 2.0);
}

}  // namespace
}  // namespace duzsdk
