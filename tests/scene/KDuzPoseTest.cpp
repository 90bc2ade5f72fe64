#include "sdk/scene/KDuzPose.h"

#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

#include <gtest/gtest.h>

#include "scene/SceneTestFixture.h"

#include <string>

namespace duzsdk {
namespace {

KgeMatrix Translation(double x, double y, double z) {
    KgeMatrix m;
    m.SetElement(3, 0, x);
    m.SetElement(3, 1, y);
    m.SetElement(3, 2, z);
    return m;
}

class KDuzPoseTest : public SceneTestFixture {
protected:
    void SetUp() override {
        SceneTestFixture::SetUp();
        if (HasFatalFailure()) return;
        node = KDuzNode::Create(manager, "N");
        other = KDuzNode::Create(manager, "M");
        ASSERT_NE(node, nullptr);
        ASSERT_NE(other, nullptr);
        scene->GetRootNode()->AddChild(node);
        scene->GetRootNode()->AddChild(other);
    }

    KDuzPose* MakePose(const char* name, bool bind) {
        KDuzPose* pose = KDuzPose::Create(manager, name);
        EXPECT_NE(pose, nullptr);
        if (pose == nullptr) return nullptr;
        pose->SetIsBindPose(bind);
        EXPECT_TRUE(scene->ConnectObject(pose));
        return pose;
    }

    KDuzNode* node = nullptr;
    KDuzNode* other = nullptr;
};

TEST_F(KDuzPoseTest, NewPoseIsAnEmptyRestPose) {
    KDuzPose* pose = KDuzPose::Create(manager, "pose");
    ASSERT_NE(pose, nullptr);
    EXPECT_TRUE(pose->Is(KDuzClassIdOf(eDuzClassPose)));
    EXPECT_TRUE(pose->IsRestPose());
    EXPECT_FALSE(pose->IsBindPose());
    EXPECT_STREQ(pose->GetTypeName().Buffer(), "RestPose");
    EXPECT_EQ(pose->GetCount(), 0);
    EXPECT_EQ(pose->Find(node), -1);
    EXPECT_STREQ(pose->GetNamePrefix().Buffer(), "Pose::");
    EXPECT_STREQ(pose->GetError().GetErrorTexts()[KDuzPose::eRelativeMatricesDiffer],
                 "The relative matrices do not match.");

    pose->SetIsBindPose(true);
    EXPECT_TRUE(pose->IsBindPose());
    EXPECT_STREQ(pose->GetTypeName().Buffer(), "BindPose");
}

TEST_F(KDuzPoseTest, AddKeepsOneEntryPerNodeWithItsFirstMatrix) {
    KDuzPose* pose = MakePose("pose", false);
    const KgeMatrix a = Translation(1, 2, 3);
    EXPECT_EQ(pose->Add(nullptr, a, false), -1);
    EXPECT_EQ(pose->Add(node, a, true), 0);
    EXPECT_EQ(pose->Add(other, a, false), 1);
    // Adding again with the same matrix (within 1e-6) gives the same index
    // and leaves the stored matrix and flag alone; another matrix is refused.
    EXPECT_EQ(pose->Add(node, Translation(1, 2, 3 + 1e-7), false), 0);
    EXPECT_EQ(pose->Add(node, Translation(9, 9, 9), true), -1);
    ASSERT_EQ(pose->GetCount(), 2);
    EXPECT_EQ(pose->GetMatrix(0).GetElement(3, 2), 3.0);
    EXPECT_TRUE(pose->IsLocalMatrix(0));
    EXPECT_FALSE(pose->IsLocalMatrix(1));
    EXPECT_EQ(pose->GetNode(0), node);
    EXPECT_EQ(pose->Find(other), 1);
}

TEST_F(KDuzPoseTest, LookupsOutOfRangeGiveNeutralValues) {
    KDuzPose* pose = MakePose("pose", false);
    pose->Add(node, Translation(5, 0, 0));
    for (int index : {-1, 1, 1000}) {
        SCOPED_TRACE(index);
        EXPECT_TRUE(pose->GetMatrix(index).IsEqual(KgeMatrix()));
        EXPECT_EQ(pose->GetNode(index), nullptr);
        EXPECT_FALSE(pose->IsLocalMatrix(index));
        EXPECT_STREQ(pose->GetNodeName(index).GetCurrentName(), "");
        pose->Remove(index);
        EXPECT_EQ(pose->GetCount(), 1);
    }
}

TEST_F(KDuzPoseTest, NodeNameCarriesAllThreeNames) {
    KDuzPose* pose = MakePose("pose", false);
    node->SetName("Current");
    node->SetNameExtra(KString("ns"));
    pose->Add(node, KgeMatrix());
    const KDuzObjectName name = pose->GetNodeName(0);
    EXPECT_STREQ(name.GetInitialName(), "N");
    EXPECT_STREQ(name.GetCurrentName(), "Current");
    EXPECT_STREQ(name.GetExtraName(), "ns");
}

TEST_F(KDuzPoseTest, BindPosesOfAManagerAgreeOnEachNodesMatrix) {
    struct Case {
        bool firstBind;
        bool secondBind;
        bool secondAddSucceeds;
    };
    constexpr Case kCases[] = {{true, true, false}, {false, false, true}, {true, false, true},
                               {false, true, true}};
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::to_string(c.firstBind) + std::to_string(c.secondBind));
        KDuzPose* first = MakePose("first", c.firstBind);
        KDuzPose* second = MakePose("second", c.secondBind);
        ASSERT_EQ(first->Add(node, Translation(1, 0, 0)), 0);
        EXPECT_EQ(second->Add(node, Translation(2, 0, 0)) == 0, c.secondAddSucceeds);
        // The same matrix (within 1e-6) is always accepted.
        const int index = second->Add(other, Translation(0, 0, 0));
        EXPECT_GE(index, 0);
        EXPECT_EQ(index, second->Find(other));
        first->Destroy();
        second->Destroy();
    }
}

TEST_F(KDuzPoseTest, BindMatricesAreComparedAcrossScenes) {
    KDuzScene* secondScene = KDuzScene::Create(manager, "second");
    ASSERT_NE(secondScene, nullptr);
    KDuzPose* first = MakePose("first", true);
    KDuzPose* second = KDuzPose::Create(manager, "second");
    second->SetIsBindPose(true);
    ASSERT_TRUE(secondScene->ConnectObject(second));
    ASSERT_EQ(first->Add(node, Translation(1, 0, 0)), 0);
    EXPECT_EQ(second->Add(node, Translation(1, 0, 1e-7)), 0);
    EXPECT_EQ(second->Add(other, Translation(0, 0, 0)), 1);
    second->Remove(0);
    EXPECT_EQ(second->Add(node, Translation(1, 0, 1e-3)), -1);
}

TEST_F(KDuzPoseTest, CloneKeepsNameAndKindButNoEntries) {
    KDuzPose* pose = MakePose("bind", true);
    pose->Add(node, Translation(1, 2, 3));
    EXPECT_EQ(pose->Clone(0), nullptr);
    auto* copy = dynamic_cast<KDuzPose*>(pose->Clone(2));
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, pose);
    EXPECT_STREQ(copy->GetName(), "bind");
    EXPECT_TRUE(copy->IsBindPose());
    EXPECT_EQ(copy->GetCount(), 0);
}

TEST_F(KDuzPoseTest, PosesContainingANodeByType) {
    KDuzPose* bind = MakePose("bind", true);
    KDuzPose* rest = MakePose("rest", false);
    KDuzPose* restWithout = MakePose("restWithout", false);
    bind->Add(other, KgeMatrix());
    bind->Add(node, KgeMatrix());
    rest->Add(node, KgeMatrix());
    restWithout->Add(other, KgeMatrix());

    struct Case {
        int type;
        int poses;
    };
    for (const Case& c : {Case{0, 2}, Case{1, 1}, Case{2, 1}, Case{3, 0}}) {
        SCOPED_TRACE(c.type);
        KPointerArray<KDuzPose> poses;
        KTypedArray<int> indices;
        EXPECT_EQ(KDuzPoseGetPosesContaining(c.type, scene, node, poses, indices), c.poses > 0);
        EXPECT_EQ(poses.Count(), c.poses);
        EXPECT_EQ(indices.Count(), c.poses);
    }
    KPointerArray<KDuzPose> poses;
    KTypedArray<int> indices;
    EXPECT_FALSE(KDuzPoseGetPosesContaining(0, nullptr, node, poses, indices));
    EXPECT_FALSE(KDuzPoseGetPosesContaining(0, scene, nullptr, poses, indices));
    ASSERT_TRUE(KDuzPoseGetPosesContainingInManager(manager, node, poses, indices));
    ASSERT_EQ(poses.Count(), 2);
    EXPECT_EQ(poses[0], bind);
    EXPECT_EQ(indices[0], 1);
    EXPECT_EQ(poses[1], rest);
    EXPECT_EQ(indices[1], 0);
}

TEST_F(KDuzPoseTest, DestroyedNodeLeavesEveryPoseEvenOutsideAScene) {
    KDuzPose* inScene = MakePose("inScene", false);
    KDuzPose* loose = KDuzPose::Create(manager, "loose");   // in no scene
    ASSERT_NE(loose, nullptr);
    inScene->Add(node, KgeMatrix());
    inScene->Add(other, KgeMatrix());
    loose->Add(node, KgeMatrix());
    node->Destroy();
    EXPECT_EQ(inScene->GetCount(), 1);
    EXPECT_EQ(inScene->GetNode(0), other);
    EXPECT_EQ(loose->GetCount(), 0);
    EXPECT_STREQ(loose->GetNodeName(0).GetCurrentName(), "");
}

}  // namespace
}  // namespace duzsdk
