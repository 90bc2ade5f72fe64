#include <gtest/gtest.h>

#include <string>

#include "sdk/base/KStringList.h"
#include "sdk/base/KgeMath.h"
#include "sdk/geometry/KDuzCache.h"
#include "sdk/geometry/KDuzCluster.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzSkin.h"
#include "sdk/geometry/KDuzVertexCacheDeformer.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

namespace duzsdk {
namespace {

class DeformerTest : public ::testing::Test {
protected:
    void SetUp() override { manager = KDuzSdkManager::Create(); }
    void TearDown() override { manager->Destroy(); }

    static KgeMatrix Trs(double tx, double ty, double tz, double rx, double ry, double rz, double sx, double sy,
                         double sz) {
        const double t[3] = {tx, ty, tz}, r[3] = {rx, ry, rz}, s[3] = {sx, sy, sz};
        KgeMatrix m;
        KgeMatrixComposeTRS(m.Data(), t, r, s);
        return m;
    }
    static void ExpectMatrixNear(const KgeMatrix& a, const KgeMatrix& b) {
        for (int i = 0; i < 16; ++i) EXPECT_NEAR(a.Data()[i], b.Data()[i], 1e-9) << "element " << i;
    }

    KDuzSdkManager* manager = nullptr;
};

TEST_F(DeformerTest, KindsNamesAndTypes) {
    KDuzSkin* skin = KDuzSkin::Create(manager, "s");
    KDuzCluster* cluster = KDuzCluster::Create(manager, "c");
    KDuzVertexCacheDeformer* cache = KDuzVertexCacheDeformer::Create(manager, "v");
    ASSERT_TRUE(skin && cluster && cache);
    EXPECT_TRUE(skin->Is(KDuzClassIdOf(eDuzClassDeformer)));
    EXPECT_TRUE(cache->Is(KDuzClassIdOf(eDuzClassDeformer)));
    EXPECT_TRUE(cluster->Is(KDuzClassIdOf(eDuzClassSubDeformer)));
    EXPECT_EQ(skin->GetDeformerType(), 1);
    EXPECT_EQ(cache->GetDeformerType(), 2);
    EXPECT_EQ(cluster->GetSubDeformerType(), 1);
    EXPECT_STREQ(skin->GetNameWithPrefix().Buffer(), "Deformer::s");
    EXPECT_STREQ(cluster->GetNameWithPrefix().Buffer(), "SubDeformer::c");
    EXPECT_STREQ(skin->GetTypeName().Buffer(), "Skin");
    EXPECT_STREQ(cluster->GetTypeName().Buffer(), "Cluster");
    EXPECT_STREQ(cache->GetTypeName().Buffer(), "VertexCacheDeformer");
    EXPECT_STREQ(skin->GetTypeFlags().GetStringAt(0), "Deformer");
    EXPECT_STREQ(cluster->GetTypeFlags().GetStringAt(0), "SubDeformer");
    EXPECT_FALSE(skin->GetMultiLayer());
}

TEST_F(DeformerTest, NewClusterIsResetAndTakesOnlyRealIndices) {
    KDuzCluster* cluster = KDuzCluster::Create(manager, "c");
    ASSERT_NE(cluster, nullptr);
    EXPECT_EQ(cluster->GetLinkMode(), KDuzCluster::eAdditive);
    EXPECT_EQ(cluster->GetControlPointIndicesCount(), 0);
    EXPECT_EQ(cluster->GetLink(), nullptr);
    EXPECT_EQ(cluster->GetAssociateModel(), nullptr);
    KgeMatrix m;
    ExpectMatrixNear(cluster->GetTransformMatrix(m), KgeMatrix());
    cluster->AddControlPointIndex(-1, 0.5);
    EXPECT_EQ(cluster->GetControlPointIndicesCount(), 0);
    cluster->AddControlPointIndex(3, 0.5);
    ASSERT_EQ(cluster->GetControlPointIndicesCount(), 1);
    EXPECT_EQ(cluster->GetControlPointIndices()[0], 3);
    EXPECT_DOUBLE_EQ(cluster->GetControlPointWeights()[0], 0.5);
}

TEST_F(DeformerTest, MatrixGettersRebuildFromTranslationRotationScaling) {
    KDuzCluster* cluster = KDuzCluster::Create(manager, "c");
    const KgeMatrix plain = Trs(1, 2, 3, 10, 20, 30, 2, 3, 4);
    const KgeMatrix mirrored = Trs(-1, 0, 5, 0, 45, 0, -2, 1, 1);
    KgeMatrix sheared = plain;
    sheared.Data()[4] += 0.5;   // row 1 leans towards x
    KgeMatrix out;

    cluster->SetTransformMatrix(plain);
    ExpectMatrixNear(cluster->GetTransformMatrix(out), plain);
    cluster->SetTransformLinkMatrix(mirrored);
    ExpectMatrixNear(cluster->GetTransformLinkMatrix(out), mirrored);
    cluster->SetTransformAssociateModelMatrix(sheared);
    cluster->GetTransformAssociateModelMatrix(out);
    EXPECT_NE(out.Data()[4], sheared.Data()[4]);
    // Kept as given, rebuilt only on the way out.
    EXPECT_EQ(cluster->GetStoredTransformAssociateModelMatrix().Data()[4], sheared.Data()[4]);
    ExpectMatrixNear(KDuzCluster::Rebuild(out), out);

    EXPECT_FALSE(cluster->IsTransformParentSet());
    cluster->SetTransformParentMatrix(plain);
    EXPECT_TRUE(cluster->IsTransformParentSet());
    ExpectMatrixNear(cluster->GetTransformParentMatrix(out), plain);
}

TEST_F(DeformerTest, LinkAndAssociateModel) {
    KDuzCluster* cluster = KDuzCluster::Create(manager, "c");
    KDuzNode* bone = KDuzNode::Create(manager, "bone");
    KDuzNode* model = KDuzNode::Create(manager, "model");
    KDuzNode* other = KDuzNode::Create(manager, "other");
    EXPECT_FALSE(cluster->SetLink(nullptr));
    EXPECT_TRUE(cluster->SetLink(bone));
    EXPECT_EQ(cluster->GetLink(), bone);

    ASSERT_TRUE(cluster->GetSrcModelReferenceProperty().IsValid());
    EXPECT_FALSE(cluster->SetAssociateModel(nullptr));
    EXPECT_TRUE(cluster->SetAssociateModel(model));
    EXPECT_EQ(cluster->GetAssociateModel(), model);
    // The associate model is not a link.
    EXPECT_EQ(cluster->GetLink(), bone);
    EXPECT_TRUE(cluster->SetAssociateModel(other));
    EXPECT_EQ(cluster->GetAssociateModel(), other);
    EXPECT_EQ(cluster->GetSrcModelReferenceProperty().GetSrcObjectCount(), 1);

    cluster->Reset();
    EXPECT_EQ(cluster->GetLink(), nullptr);
    EXPECT_EQ(cluster->GetAssociateModel(), nullptr);
    // The nodes themselves survive the reset.
    EXPECT_STREQ(bone->GetName(), "bone");
}

TEST_F(DeformerTest, SkinClonesCopyClustersSharingLinks) {
    KDuzSkin* skin = KDuzSkin::Create(manager, "skin");
    skin->SetDeformAccuracy(12.5);
    KDuzNode* bones[] = {KDuzNode::Create(manager, "b0"), KDuzNode::Create(manager, "b1")};
    for (int i = 0; i < 2; ++i) {
        KDuzCluster* cluster = KDuzCluster::Create(manager, i == 0 ? "c0" : "c1");
        cluster->SetLink(bones[i]);
        cluster->SetLinkMode(i == 0 ? KDuzCluster::eNormalize : KDuzCluster::eTotalOne);
        cluster->SetUserData("id", "data");
        cluster->AddControlPointIndex(i, 0.25);
        cluster->AddControlPointIndex(i + 2, 0.75);
        cluster->SetTransformLinkMatrix(Trs(i, 0, 0, 0, 0, 0, 1, 1, 1));
        ASSERT_TRUE(skin->ConnectSrcObject(cluster));
    }
    ASSERT_EQ(skin->GetClusterCount(), 2);
    EXPECT_EQ(skin->GetCluster(2), nullptr);
    EXPECT_EQ(skin->GetCluster(-1), nullptr);

    EXPECT_EQ(skin->Clone(1), nullptr);
    auto* bare = dynamic_cast<KDuzSkin*>(skin->Clone(0));
    ASSERT_NE(bare, nullptr);
    EXPECT_STREQ(bare->GetName(), "skin");
    EXPECT_DOUBLE_EQ(bare->GetDeformAccuracy(), 12.5);
    EXPECT_EQ(bare->GetClusterCount(), 0);

    auto* full = dynamic_cast<KDuzSkin*>(skin->Clone(2));
    ASSERT_NE(full, nullptr);
    EXPECT_DOUBLE_EQ(full->GetDeformAccuracy(), 12.5);
    ASSERT_EQ(full->GetClusterCount(), 2);
    for (int i = 0; i < 2; ++i) {
        KDuzCluster* copy = full->GetCluster(i);
        KDuzCluster* source = skin->GetCluster(i);
        EXPECT_NE(copy, source);
        EXPECT_EQ(copy->GetLink(), bones[i]);
        EXPECT_EQ(copy->GetLinkMode(), source->GetLinkMode());
        EXPECT_STREQ(copy->GetUserData().Buffer(), "data");
        ASSERT_EQ(copy->GetControlPointIndicesCount(), 2);
        EXPECT_EQ(copy->GetControlPointIndices()[1], i + 2);
        EXPECT_DOUBLE_EQ(copy->GetControlPointWeights()[1], 0.75);
        EXPECT_DOUBLE_EQ(copy->GetStoredTransformLinkMatrix().Data()[12], i);
    }
    // The source keeps its clusters.
    EXPECT_EQ(skin->GetClusterCount(), 2);

    KDuzCluster* first = skin->GetCluster(0);
    EXPECT_EQ(skin->RemoveCluster(first), first);
    EXPECT_EQ(skin->GetClusterCount(), 1);
    EXPECT_EQ(skin->RemoveCluster(first), nullptr);
}

TEST_F(DeformerTest, GeometryDeformerCalls) {
    KDuzMesh* mesh = KDuzMesh::Create(manager, "mesh");
    KDuzSkin* skins[] = {KDuzSkin::Create(manager, "s0"), KDuzSkin::Create(manager, "s1")};
    KDuzVertexCacheDeformer* cache = KDuzVertexCacheDeformer::Create(manager, "v");
    EXPECT_EQ(mesh->AddDeformer(nullptr), -1);
    EXPECT_EQ(mesh->AddDeformer(skins[0]), 0);
    EXPECT_EQ(mesh->AddDeformer(cache), 1);
    EXPECT_EQ(mesh->AddDeformer(skins[1]), 2);
    EXPECT_EQ(mesh->GetDeformerCount(), 3);
    EXPECT_EQ(mesh->GetDeformerCountOfType(0), 3);
    EXPECT_EQ(mesh->GetDeformerCountOfType(1), 2);
    EXPECT_EQ(mesh->GetDeformerCountOfType(2), 1);
    EXPECT_EQ(mesh->GetDeformer(1), cache);
    EXPECT_EQ(mesh->GetDeformerOfType(1, 1), skins[1]);
    EXPECT_EQ(mesh->GetDeformerOfType(0, 2), cache);
    EXPECT_EQ(mesh->GetDeformerOfType(2, 0), skins[1]);

    struct Miss {
        int n, type;
    };
    for (const Miss miss : {Miss{1, 2}, Miss{-1, 1}, Miss{3, 0}, Miss{0, 7}}) {
        mesh->GetError().ClearError();
        EXPECT_EQ(mesh->GetDeformerOfType(miss.n, miss.type), nullptr) << miss.n << "," << miss.type;
        EXPECT_EQ(mesh->GetError().GetLastErrorIndex(), 0);
    }
    mesh->GetError().ClearError();
    EXPECT_EQ(mesh->RemoveDeformer(3), nullptr);
    EXPECT_EQ(mesh->GetError().GetLastErrorIndex(), 0);
    EXPECT_EQ(mesh->RemoveDeformer(1), cache);
    EXPECT_EQ(mesh->GetDeformerCount(), 2);
    EXPECT_EQ(mesh->GetDeformerCountOfType(2), 0);
}

TEST_F(DeformerTest, AddClusterToSkinMakesTheSkinOnce) {
    KDuzMesh* mesh = KDuzMesh::Create(manager, "mesh");
    EXPECT_EQ(mesh->AddClusterToSkin(nullptr), -1);
    EXPECT_EQ(mesh->GetDeformerCount(), 0);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(mesh->AddClusterToSkin(KDuzCluster::Create(manager, "")), i);
    ASSERT_EQ(mesh->GetDeformerCount(), 1);
    auto* skin = dynamic_cast<KDuzSkin*>(mesh->GetDeformer(0));
    ASSERT_NE(skin, nullptr);
    EXPECT_EQ(skin->GetClusterCount(), 3);
}

TEST_F(DeformerTest, GeometryCopiesAndClonesKeepDeformers) {
    KDuzMesh* mesh = KDuzMesh::Create(manager, "mesh");
    mesh->InitControlPoints(4);
    KDuzNode* bone = KDuzNode::Create(manager, "bone");
    KDuzCluster* cluster = KDuzCluster::Create(manager, "c");
    cluster->SetLink(bone);
    cluster->AddControlPointIndex(2, 1.0);
    ASSERT_EQ(mesh->AddClusterToSkin(cluster), 0);
    KDuzVertexCacheDeformer* vertexCache = KDuzVertexCacheDeformer::Create(manager, "v");
    vertexCache->SetCacheChannel("points");
    ASSERT_EQ(mesh->AddDeformer(vertexCache), 1);

    auto* clone = dynamic_cast<KDuzMesh*>(mesh->Clone(2));
    ASSERT_NE(clone, nullptr);
    ASSERT_EQ(clone->GetDeformerCount(), 2);
    auto* skin = dynamic_cast<KDuzSkin*>(clone->GetDeformerOfType(0, 1));
    ASSERT_NE(skin, nullptr);
    EXPECT_NE(skin, mesh->GetDeformer(0));
    ASSERT_EQ(skin->GetClusterCount(), 1);
    EXPECT_NE(skin->GetCluster(0), cluster);
    EXPECT_EQ(skin->GetCluster(0)->GetLink(), bone);
    auto* copiedCache = dynamic_cast<KDuzVertexCacheDeformer*>(clone->GetDeformerOfType(0, 2));
    ASSERT_NE(copiedCache, nullptr);
    EXPECT_STREQ(copiedCache->GetCacheChannel().Buffer(), "points");

    // Copying again replaces the deformers instead of adding to them.
    KDuzMesh* bare = KDuzMesh::Create(manager, "bare");
    ASSERT_TRUE(clone->CopyFrom(*bare));
    EXPECT_EQ(clone->GetDeformerCount(), 0);
    ASSERT_TRUE(clone->CopyFrom(*mesh));
    ASSERT_TRUE(clone->CopyFrom(*mesh));
    EXPECT_EQ(clone->GetDeformerCount(), 2);
    EXPECT_EQ(mesh->GetDeformerCount(), 2);
}

TEST_F(DeformerTest, DestroyingTheGeometryTakesItsDeformersAndClusters) {
    KDuzMesh* mesh = KDuzMesh::Create(manager, "mesh");
    KDuzNode* bone = KDuzNode::Create(manager, "bone");
    KDuzCluster* cluster = KDuzCluster::Create(manager, "c");
    cluster->SetLink(bone);
    mesh->AddClusterToSkin(cluster);
    const int skins = manager->GetObjectCount(KDuzSkin::ClassId());
    const int clusters = manager->GetObjectCount(KDuzCluster::ClassId());
    mesh->Destroy();
    EXPECT_EQ(manager->GetObjectCount(KDuzSkin::ClassId()), skins - 1);
    EXPECT_EQ(manager->GetObjectCount(KDuzCluster::ClassId()), clusters - 1);
    EXPECT_STREQ(bone->GetName(), "bone");
}

TEST_F(DeformerTest, GeometryInASceneHandsItToItsDeformers) {
    // Deformers added before or after the geometry joins the scene, and a
    // geometry connected straight to the scene or through its node.
    for (const bool deformerFirst : {true, false}) {
        for (const bool throughNode : {false, true}) {
            SCOPED_TRACE(std::string(deformerFirst ? "deformer first" : "scene first") +
                         (throughNode ? ", through a node" : ", straight"));
            KDuzScene* scene = KDuzScene::Create(manager, "");
            KDuzMesh* mesh = KDuzMesh::Create(manager, "mesh");
            KDuzSkin* skin = KDuzSkin::Create(manager, "");
            KDuzCluster* cluster = KDuzCluster::Create(manager, "");
            ASSERT_TRUE(skin->ConnectSrcObject(cluster));
            auto join = [&] {
                if (!throughNode) return scene->ConnectObject(mesh);
                KDuzNode* node = KDuzNode::Create(manager, "node");
                node->SetNodeAttribute(mesh);
                return scene->GetRootNode()->AddChild(node);
            };
            if (deformerFirst) {
                ASSERT_GE(mesh->AddDeformer(skin), 0);
            }
            ASSERT_TRUE(join());
            if (!deformerFirst) {
                ASSERT_GE(mesh->AddDeformer(skin), 0);
            }
            EXPECT_EQ(mesh->GetScene(), scene);
            EXPECT_EQ(skin->GetScene(), scene);
            EXPECT_EQ(cluster->GetScene(), scene);
        }
    }
}

TEST_F(DeformerTest, VertexCacheDeformerAndCache) {
    KDuzVertexCacheDeformer* deformer = KDuzVertexCacheDeformer::Create(manager, "v");
    ASSERT_NE(deformer, nullptr);
    EXPECT_TRUE(deformer->IsActive());
    EXPECT_STREQ(deformer->GetCacheChannel().Buffer(), "");
    EXPECT_EQ(deformer->GetCache(), nullptr);
    EXPECT_TRUE(deformer->FindProperty("ChannelName").IsValid());
    EXPECT_TRUE(deformer->FindProperty("Active").IsValid());

    KDuzCache* first = KDuzCache::Create(manager, "first");
    KDuzCache* second = KDuzCache::Create(manager, "second");
    ASSERT_TRUE(first && second);
    EXPECT_STREQ(first->GetNameWithPrefix().Buffer(), "Cache::first");
    deformer->SetCache(first);
    deformer->SetCache(second);
    deformer->SetCache(nullptr);
    EXPECT_EQ(deformer->GetSrcObjectCount(KDuzCache::ClassId()), 1);
    EXPECT_EQ(deformer->GetCache(), second);

    deformer->SetActive(false);
    deformer->SetCacheChannel("chan");
    deformer->SetMultiLayer(true);
    EXPECT_EQ(deformer->Clone(0), nullptr);
    auto* clone = dynamic_cast<KDuzVertexCacheDeformer*>(deformer->Clone(2));
    ASSERT_NE(clone, nullptr);
    EXPECT_STREQ(clone->GetName(), "v");
    EXPECT_FALSE(clone->IsActive());
    EXPECT_STREQ(clone->GetCacheChannel().Buffer(), "chan");
    EXPECT_EQ(clone->GetCache(), second);
    EXPECT_TRUE(clone->GetMultiLayer());

    KString relative, absolute;
    second->GetCacheFileName(relative, absolute);
    EXPECT_STREQ(relative.Buffer(), "");
    second->SetCacheFileName("c.mc", "/tmp/c.mc");
    EXPECT_TRUE(second->SetCacheFileType(2));
    second->GetCacheFileName(relative, absolute);
    EXPECT_STREQ(relative.Buffer(), "c.mc");
    EXPECT_STREQ(absolute.Buffer(), "/tmp/c.mc");
    EXPECT_EQ(second->GetCacheFileType(), 2);
    // A cache clones in every mode and leaves its file behind.
    for (int mode : {0, 1, 2}) {
        auto* copy = dynamic_cast<KDuzCache*>(second->Clone(mode));
        ASSERT_NE(copy, nullptr) << mode;
        EXPECT_STREQ(copy->GetName(), "second");
        copy->GetCacheFileName(relative, absolute);
        EXPECT_STREQ(relative.Buffer(), "");
        EXPECT_STREQ(absolute.Buffer(), "");
        EXPECT_EQ(copy->GetCacheFileType(), 0);
    }
    EXPECT_STREQ(second->GetError().GetErrorTexts()[12], "Error reading sample data");
}

}  // namespace
}  // namespace duzsdk
