#include "sdk/character/KDuzCharacterPose.h"

#include "sdk/character/KDuzCharacter.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/KPlugHandle.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace duzsdk {
namespace {

class CharacterPoseTest : public testing::Test {
protected:
    void SetUp() override {
        manager = KDuzSdkManager::Create();
        ASSERT_NE(manager, nullptr);
        scene = KDuzScene::Create(manager, "scene");
        const int index = scene->CreateCharacterPose("Stand");
        ASSERT_GE(index, 0);
        pose = dynamic_cast<KDuzCharacterPose*>(scene->GetCharacterPose(index));
        ASSERT_NE(pose, nullptr);
    }
    void TearDown() override { manager->Destroy(); }

    KDuzNode* AddNode(KDuzNode* parent, const char* name) {
        KDuzNode* node = KDuzNode::Create(manager, name);
        parent->AddChild(node);
        return node;
    }

    KDuzSdkManager* manager = nullptr;
    KDuzScene* scene = nullptr;
    KDuzCharacterPose* pose = nullptr;
};

TEST_F(CharacterPoseTest, NewPoseHasItsOwnSceneAndCharacter) {
    ASSERT_NE(pose->GetScene(), nullptr);
    EXPECT_NE(pose->GetScene(), scene);
    ASSERT_NE(pose->GetCharacter(), nullptr);
    EXPECT_STREQ(pose->GetCharacter()->GetName(), "PoseCharacter");
    ASSERT_NE(pose->GetRootNode(), nullptr);
    EXPECT_EQ(pose->GetRootNode()->GetChildCount(), 0);
    EXPECT_EQ(pose->GetNameKind(), 9);
    EXPECT_EQ(pose->Clone(0), nullptr);
    EXPECT_EQ(pose->Clone(3), nullptr);
}

// A pose with hips > spine > hand, the character linking all three, a
// control set with an effector, two auxiliaries and a node-less template.
TEST_F(CharacterPoseTest, CloneRetargetsOntoTheCopiedNodes) {
    KDuzNode* hips = AddNode(pose->GetRootNode(), "Hips");
    KDuzNode* spine = AddNode(hips, "Spine");
    KDuzNode* hand = AddNode(spine, "Hand");
    KDuzCharacter* character = pose->GetCharacter();
    for (auto [id, node] : {std::pair{0, hips}, std::pair{9, spine}, std::pair{14, hand}}) {
        KDuzCharacterLink link;
        link.mNode = node;
        link.mPreRotation = KgeTVector(id, 2, 3, 1);
        character->SetCharacterLink(id, link, true);
    }
    character->GetSolverParameters()->SetValue(0, 0, 21.0);
    KDuzControlSet* set = character->GetControlSet();
    set->SetType(3);
    set->SetLockPick(true);
    set->SetUseAxis(false);
    KDuzControlSetEffector effector;
    effector.mNode = hand;
    effector.mRActive = true;
    set->SetEffector(3, effector);
    set->SetEffectorAux(3, spine, 1);
    set->SetEffectorAux(3, hips, 2);

    auto* copy = dynamic_cast<KDuzCharacterPose*>(pose->Clone(2));
    ASSERT_NE(copy, nullptr);
    KDuzNode* root = copy->GetRootNode();
    ASSERT_EQ(root->GetChildCount(), 1);
    KDuzNode* copiedHips = root->GetChild(0);
    EXPECT_NE(copiedHips, hips);
    EXPECT_STREQ(copiedHips->GetName(), "Hips");
    KDuzNode* copiedHand = root->FindChild("Hand");
    ASSERT_NE(copiedHand, nullptr);
    EXPECT_STREQ(copiedHand->GetParent()->GetName(), "Spine");

    KDuzCharacter* target = copy->GetCharacter();
    KDuzCharacterLink link;
    ASSERT_TRUE(target->GetCharacterLink(14, &link));
    EXPECT_EQ(link.mNode, copiedHand);
    EXPECT_DOUBLE_EQ(link.mPreRotation.GetElement(0), 14.0);
    EXPECT_DOUBLE_EQ(target->GetSolverParameters()->GetValue(0), 21.0);
    KDuzControlSet* copiedSet = target->GetControlSet();
    EXPECT_EQ(copiedSet->GetType(), 3);
    EXPECT_TRUE(copiedSet->GetLockPick());
    EXPECT_TRUE(copiedSet->GetUseAxis());   // not copied
    KDuzControlSetEffector out;
    ASSERT_TRUE(copiedSet->GetEffector(3, &out));
    EXPECT_EQ(out.mNode, copiedHand);
    EXPECT_TRUE(out.mRActive);
    KDuzNode* aux = nullptr;
    ASSERT_TRUE(copiedSet->GetEffectorAux(3, &aux, 1));
    EXPECT_EQ(aux->GetParent()->GetName(), std::string("Hips"));
    EXPECT_FALSE(copiedSet->GetEffectorAux(3, &aux, 2));   // only the first auxiliary

    // The copy stands on its own: the original may go first.
    pose->Destroy();
    hips = nullptr;
    EXPECT_TRUE(target->GetCharacterLink(0, &link));
    EXPECT_EQ(link.mNode, copiedHips);
}

TEST_F(CharacterPoseTest, UnmatchedNodesKeepTheLinkButNotTheControlNode) {
    KDuzCharacterPose* other = KDuzCharacterPose::Create(manager, "Other");
    KDuzNode* hips = AddNode(other->GetRootNode(), "Hips");
    KDuzNode* stranger = KDuzNode::Create(manager, "Stranger");   // below no root of a pose
    KDuzCharacter* source = other->GetCharacter();
    KDuzCharacterLink link;
    link.mNode = stranger;
    source->SetCharacterLink(5, link);
    KDuzControlSetLink control;
    control.mNode = stranger;
    control.mTemplateName = "RightUpLeg";
    source->GetControlSet()->SetControlSetLink(5, control);
    link.mNode = hips;
    source->SetCharacterLink(0, link);

    // The destination already links id 5 somewhere of its own.
    KDuzNode* mine = AddNode(pose->GetRootNode(), "Mine");
    KDuzCharacterLink own;
    own.mNode = mine;
    pose->GetCharacter()->SetCharacterLink(5, own);
    KDuzCharacterPose::CopyCharacter(*source, *pose->GetCharacter(), pose->GetRootNode());

    KDuzCharacterLink out;
    ASSERT_TRUE(pose->GetCharacter()->GetCharacterLink(5, &out));
    EXPECT_EQ(out.mNode, mine);
    EXPECT_FALSE(pose->GetCharacter()->GetCharacterLink(0));   // "Hips" is not below this root
    KDuzControlSetLink outControl;
    ASSERT_TRUE(pose->GetCharacter()->GetControlSet()->GetControlSetLink(5, &outControl));
    EXPECT_EQ(outControl.mNode, nullptr);
    EXPECT_STREQ(outControl.mTemplateName.Buffer(), "RightUpLeg");
}

TEST_F(CharacterPoseTest, AssignReplacesTheTreeInsteadOfAddingToIt) {
    KDuzCharacterPose* source = KDuzCharacterPose::Create(manager, "Source");
    KDuzNode* hips = AddNode(source->GetRootNode(), "Hips");
    KDuzCharacterLink link;
    link.mNode = hips;
    source->GetCharacter()->SetCharacterLink(0, link, true);

    pose->Assign(*source);
    // A weak handle, not the address: the allocator may give the new copy
    // the memory of the old one.
    HdlKObject first = HdlKObject::FromPlug(pose->GetRootNode()->GetChild(0)->GetInternalPlug());
    ASSERT_TRUE(first.IsLive());
    pose->Assign(*source);
    ASSERT_EQ(pose->GetRootNode()->GetChildCount(), 1);
    KDuzNode* second = pose->GetRootNode()->GetChild(0);
    EXPECT_FALSE(first.IsLive());
    KDuzCharacterLink out;
    ASSERT_TRUE(pose->GetCharacter()->GetCharacterLink(0, &out));
    EXPECT_EQ(out.mNode, second);
}

}  // namespace
}  // namespace duzsdk
