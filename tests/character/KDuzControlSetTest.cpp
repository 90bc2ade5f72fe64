#include "sdk/character/KDuzControlSet.h"

#include "sdk/character/KDuzCharacter.h"
#include "sdk/character/KDuzControlSetPlug.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"

#include <gtest/gtest.h>

namespace duzsdk {
namespace {

class ControlSetTest : public testing::Test {
protected:
    void SetUp() override {
        manager = KDuzSdkManager::Create();
        ASSERT_NE(manager, nullptr);
        character = KDuzCharacter::Create(manager, "Hero");
        ASSERT_NE(character, nullptr);
        set = character->GetControlSet();
        ASSERT_NE(set, nullptr);
        a = KDuzNode::Create(manager, "A");
        b = KDuzNode::Create(manager, "B");
        c = KDuzNode::Create(manager, "C");
    }
    void TearDown() override { manager->Destroy(); }

    static KDuzControlSetEffector EffectorOf(KDuzNode* node) {
        KDuzControlSetEffector effector;
        effector.mNode = node;
        return effector;
    }

    KDuzSdkManager* manager = nullptr;
    KDuzCharacter* character = nullptr;
    KDuzControlSet* set = nullptr;
    KDuzNode* a = nullptr;
    KDuzNode* b = nullptr;
    KDuzNode* c = nullptr;
};

TEST_F(ControlSetTest, DefaultsAndEffectorNames) {
    EXPECT_EQ(set->GetType(), 0);
    EXPECT_TRUE(set->GetUseAxis());
    EXPECT_FALSE(set->GetLockTransform());
    EXPECT_STREQ(KDuzControlSet::GetEffectorName(0), "HipsEffector");
    EXPECT_STREQ(KDuzControlSet::GetEffectorName(43), "RightFootExtraFingerEffector");
    EXPECT_EQ(KDuzControlSet::GetEffectorName(44), nullptr);
    EXPECT_EQ(KDuzControlSet::GetEffectorName(-1), nullptr);
    EXPECT_EQ(KDuzControlSet::GetEffectorIdFromName("HipsEffector"), 0);
    EXPECT_EQ(KDuzControlSet::GetEffectorIdFromName("hipseffector"), -1);
    EXPECT_EQ(KDuzControlSet::GetEffectorIdFromName("ChestEndEffector"), 10);
}

TEST_F(ControlSetTest, IdsOutsideTheTablesAreRefused) {
    KDuzControlSetLink link;
    link.mNode = a;
    for (int id : {-1, 191}) {
        EXPECT_FALSE(set->SetControlSetLink(id, link)) << id;
        EXPECT_FALSE(set->GetControlSetLink(id)) << id;
    }
    for (int id : {-1, 44}) {
        EXPECT_FALSE(set->SetEffector(id, EffectorOf(a))) << id;
        EXPECT_FALSE(set->SetEffectorAux(id, a, 1)) << id;
        EXPECT_FALSE(set->GetEffector(id)) << id;
    }
    for (int sub : {0, 15, -1}) EXPECT_FALSE(set->SetEffectorAux(0, a, sub)) << sub;
    EXPECT_EQ(a->GetCharacterLinkCount(), 0);
}

TEST_F(ControlSetTest, LinksEffectorsAndAuxiliariesKeepNodeRecords) {
    KDuzControlSetLink link;
    link.mNode = a;
    ASSERT_TRUE(set->SetControlSetLink(14, link));
    EXPECT_EQ(*a->GetCharacterLink(0), (KDuzNodeCharacterLink{character, 1, 14, 0}));
    ASSERT_TRUE(set->SetEffector(3, EffectorOf(b)));
    EXPECT_EQ(*b->GetCharacterLink(0), (KDuzNodeCharacterLink{character, 2, 3, 0}));
    ASSERT_TRUE(set->SetEffectorAux(3, c, 1));   // sub-index 1 is recorded as 0
    EXPECT_EQ(*c->GetCharacterLink(0), (KDuzNodeCharacterLink{character, 3, 3, 0}));

    // An empty link resets; a template name alone counts as set.
    ASSERT_TRUE(set->SetControlSetLink(14, KDuzControlSetLink()));
    EXPECT_EQ(a->GetCharacterLinkCount(), 0);
    EXPECT_FALSE(set->GetControlSetLink(14));
    KDuzControlSetLink named;
    named.mTemplateName = "LeftHand";
    set->SetControlSetLink(14, named);
    EXPECT_TRUE(set->GetControlSetLink(14));
    // An effector without node is reset.
    set->SetEffector(3, KDuzControlSetEffector());
    EXPECT_EQ(b->GetCharacterLinkCount(), 0);
    set->SetEffectorAux(3, nullptr, 1);
    EXPECT_EQ(c->GetCharacterLinkCount(), 0);
}

TEST_F(ControlSetTest, ClearKeepsUseAxisTemplatesAndDefaultActivity) {
    set->SetUseAxis(false);
    set->SetType(4);
    set->SetLockTransform(true);
    KDuzControlSetLink named;
    named.mTemplateName = "Hips";
    set->SetControlSetLink(0, named);
    KDuzControlSetLink link;
    link.mNode = a;
    set->SetControlSetLink(1, link);
    KDuzControlSetEffector effector = EffectorOf(b);
    effector.mTActive = false;
    effector.mShow = false;
    set->SetEffector(1, effector);
    set->SetEffectorAux(1, c, 14);

    set->Clear();
    EXPECT_FALSE(set->GetUseAxis());
    EXPECT_EQ(set->GetType(), 0);
    EXPECT_FALSE(set->GetLockTransform());
    EXPECT_TRUE(set->GetControlSetLink(0));
    EXPECT_FALSE(set->GetControlSetLink(1));
    EXPECT_FALSE(set->GetEffector(1));
    EXPECT_FALSE(set->GetEffectorAux(1, nullptr, 14));
    for (KDuzNode* node : {a, b, c}) EXPECT_EQ(node->GetCharacterLinkCount(), 0);

    // Effectors 0..4 are back at their default activity, the others at 0.
    const bool expected[6][4] = {{1, 1, 0, 0}, {1, 1, 1, 1}, {1, 1, 1, 1}, {1, 0, 1, 0}, {1, 0, 1, 0}, {0, 0, 0, 0}};
    for (int e = 0; e < 6; ++e) {
        SCOPED_TRACE(e);
        const KDuzControlSetEffector* record = set->GetEffectorRecord(e);
        ASSERT_NE(record, nullptr);
        EXPECT_TRUE(record->mShow);
        EXPECT_EQ(record->mTActive, expected[e][0]);
        EXPECT_EQ(record->mRActive, expected[e][1]);
        EXPECT_EQ(record->mCandidateTActive, expected[e][2]);
        EXPECT_EQ(record->mCandidateRActive, expected[e][3]);
    }
    EXPECT_EQ(set->GetEffectorRecord(44), nullptr);
}

TEST_F(ControlSetTest, PlugRoundTripRenumbersSparseAuxiliaries) {
    set->SetType(2);
    KDuzControlSetLink link;
    link.mNode = a;
    set->SetControlSetLink(14, link);
    set->SetEffector(5, EffectorOf(a));
    set->SetEffectorAux(5, b, 1);
    set->SetEffectorAux(5, c, 3);

    KDuzControlSetPlug* plug = KDuzControlSetPlug::Create(manager, "Rig");
    ASSERT_NE(plug, nullptr);
    EXPECT_EQ(plug->GetNameKind(), 12);
    EXPECT_STREQ(plug->GetTypeName().Buffer(), "ControlSetPlug");
    ASSERT_TRUE(set->ToPlug(plug));
    EXPECT_EQ(plug->GetControlSetType(), 2);
    const KDuzProperty effector = plug->FindProperty("LeftKneeEffector");
    ASSERT_EQ(effector.GetSrcObjectCount(), 3);
    EXPECT_EQ(effector.GetSrcObject(KClassId(), 0), a);
    EXPECT_EQ(effector.GetSrcObject(KClassId(), 1), b);
    EXPECT_EQ(effector.GetSrcObject(KClassId(), 2), c);
    EXPECT_EQ(plug->FindProperty("LeftHand").GetSrcObject(KClassId(), 0), a);
    EXPECT_EQ(plug->FindProperty("LeftHand").GetUserTag(), 1014);

    KDuzControlSet other(nullptr);
    KDuzControlSetLink stale;
    stale.mNode = c;
    other.SetControlSetLink(20, stale);
    ASSERT_TRUE(other.FromPlug(plug));
    EXPECT_EQ(other.GetType(), 2);
    EXPECT_FALSE(other.GetControlSetLink(20));   // not connected in the plug
    KDuzControlSetLink out;
    ASSERT_TRUE(other.GetControlSetLink(14, &out));
    EXPECT_EQ(out.mNode, a);
    KDuzNode* aux = nullptr;
    ASSERT_TRUE(other.GetEffectorAux(5, &aux, 1));
    EXPECT_EQ(aux, b);
    // The plug keeps only the order: auxiliary 3 comes back as 2.
    ASSERT_TRUE(other.GetEffectorAux(5, &aux, 2));
    EXPECT_EQ(aux, c);
    EXPECT_FALSE(other.GetEffectorAux(5, &aux, 3));

    EXPECT_FALSE(other.FromPlug(nullptr));
    EXPECT_FALSE(set->ToPlug(nullptr));
    EXPECT_EQ(other.GetType(), 2);
}

TEST_F(ControlSetTest, PlugCloneIsIndependent) {
    KDuzControlSetPlug* plug = KDuzControlSetPlug::Create(manager, "Rig");
    plug->SetControlSetType(7);
    plug->FindProperty("Hips").ConnectSrcObject(a);
    EXPECT_EQ(plug->Clone(1), nullptr);
    auto* copy = dynamic_cast<KDuzControlSetPlug*>(plug->Clone(2));
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy->GetInternalObject(), plug->GetInternalObject());
    plug->Destroy();
    EXPECT_EQ(copy->GetControlSetType(), 7);
    EXPECT_EQ(copy->FindProperty("Hips").GetSrcObject(KClassId(), 0), a);
    EXPECT_EQ(copy->GetLinkPropertyCount(), 187);   // the named ids: 186 in groups and the reference
    EXPECT_EQ(copy->GetEffectorPropertyCount(), 44);
}

TEST_F(ControlSetTest, DestroyedNodeLeavesTheControlSet) {
    KDuzControlSetLink link;
    link.mNode = a;
    set->SetControlSetLink(2, link);
    set->SetEffector(1, EffectorOf(b));
    set->SetEffectorAux(1, c, 4);
    a->Destroy();
    b->Destroy();
    c->Destroy();
    EXPECT_FALSE(set->GetControlSetLink(2));
    EXPECT_FALSE(set->GetEffector(1));
    EXPECT_FALSE(set->GetEffectorAux(1, nullptr, 4));
}

}  // namespace
}  // namespace duzsdk
