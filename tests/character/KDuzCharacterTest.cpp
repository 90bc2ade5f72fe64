#include "sdk/character/KDuzCharacter.h"

#include "sdk/character/KDuzControlSetPlug.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

#include <gtest/gtest.h>

#include "sdk/animation/KFCurveNode.h"

#include <cstring>
#include <memory>

namespace duzsdk {
namespace {

class CharacterTest : public testing::Test {
protected:
    void SetUp() override {
        manager = KDuzSdkManager::Create();
        ASSERT_NE(manager, nullptr);
        scene = KDuzScene::Create(manager, "scene");
        const int index = scene->CreateCharacter("Hero");
        ASSERT_GE(index, 0);
        character = dynamic_cast<KDuzCharacter*>(scene->GetCharacter(index));
        ASSERT_NE(character, nullptr);
    }
    void TearDown() override { manager->Destroy(); }

    KDuzNode* Node(const char* name) {
        KDuzNode* node = KDuzNode::Create(manager, name);
        scene->GetRootNode()->AddChild(node);
        return node;
    }
    static KDuzCharacterLink LinkTo(KDuzNode* node) {
        KDuzCharacterLink link;
        link.mNode = node;
        return link;
    }
    double Double(const char* name) const {
        double value = -1;
        EXPECT_TRUE(character->FindProperty(name).GetValue(&value, eValueKindDouble)) << name;
        return value;
    }
    int Int(const char* name) const {
        int value = -1;
        EXPECT_TRUE(character->FindProperty(name).GetValue(&value, eValueKindInt)) << name;
        return value;
    }
    template <typename T>
    void Set(const char* name, T value, int kind) {
        ASSERT_TRUE(character->FindProperty(name).SetValue(&value, kind)) << name;
    }

    KDuzSdkManager* manager = nullptr;
    KDuzScene* scene = nullptr;
    KDuzCharacter* character = nullptr;
};

TEST_F(CharacterTest, IdentityOfACharacter) {
    EXPECT_EQ(character->GetConstraintType(), KDuzConstraint::eCharacter);
    EXPECT_STREQ(character->GetTypeName().Buffer(), "Character");
    EXPECT_EQ(character->GetNameKind(), 8);
    std::unique_ptr<KStringList> names(character->GetTypeNames());
    ASSERT_EQ(names->GetCount(), 1);
    EXPECT_STREQ(names->GetStringAt(0), "Character");
    EXPECT_EQ(scene->GetCharacterCount(), 1);
    EXPECT_EQ(character->Clone(0), nullptr);
}

TEST_F(CharacterTest, NewCharacterHasNoLinksAndNoInput) {
    for (int id = 0; id < kDuzCharacterNodeCount; ++id) EXPECT_FALSE(character->GetCharacterLink(id)) << id;
    EXPECT_EQ(character->GetInputType(), eDuzCharacterInputNone);
    EXPECT_EQ(character->GetInputObject(), nullptr);
}

TEST_F(CharacterTest, DefaultSettingsComeFromTheParameterBlock) {
    const struct {
        const char* name;
        double value;
    } rows[] = {
        {"Weight", 100},          {"PullIterationCount", 10}, {"ScaleCompensation", 100},
        {"MassCenterCompensation", 80}, {"LeftUpLegRoll", 60}, {"CtrlEnforceGravity", 60},
        {"CtrlResistCompressionFactorRightElbow", 50}, {"ReachActorLeftAnkleRotation", 100},
        {"LeftHandThumbTip", 0.5}, {"RightFootExtraFingerTip", 0.5}, {"FingerSolving", 1},
        {"SyncMode", 1},          {"FootBottomToAnkle", 7.5}, {"ScaleCompensationMode", 1},
        {"AnkleStabilizationDampingMode", 0}, {"FootFingerContactMode", 1},
    };
    for (const auto& row : rows) EXPECT_DOUBLE_EQ(Double(row.name), row.value) << row.name;
    // The settings come in creation order: the contact settings last.
    const int count = character->GetPropertyCount();
    int contactBehaviour = -1;
    int rollExtraction = -1;
    int rightForeArmRollMode = -1;
    for (int i = 0; i < count; ++i) {
        const char* name = character->GetPropertyAt(i).GetName();
        if (std::strcmp(name, "ContactBehaviour") == 0) contactBehaviour = i;
        if (std::strcmp(name, "RollExtractionMode") == 0) rollExtraction = i;
        if (std::strcmp(name, "RightForeArmRollMode") == 0) rightForeArmRollMode = i;
    }
    EXPECT_EQ(rollExtraction, rightForeArmRollMode + 1);
    EXPECT_GT(contactBehaviour, character->FindProperty("AnkleStabilizationRecoveryTimeMode").IsValid() ? 0 : -1);
}

TEST_F(CharacterTest, SettersClampAndMirrorIntoTheirRows) {
    KDuzCharacterParameterBlock* block = character->GetSolverParameters();
    ASSERT_NE(block, nullptr);
    struct Case {
        const char* name;
        double set;
        double stored;
        int row;   // -1: the row keeps its value
        double rowValue;
    };
    const Case cases[] = {
        {"PullIterationCount", 45, 30, 0, 30},   {"PullIterationCount", -1, 0, 0, 0},
        {"FootBottomToAnkle", 0, 0.01, 45, 0.01}, {"FootBottomToAnkle", 5000, 1000, 45, 1000},
        {"HandContactSize", 0, 0.01, 62, 0.01},  {"LeftHandThumbTip", 2000, 1000, 141, 1000},
        // Animated values change the property only.
        {"ScaleCompensation", 50, 50, 3, 100},   {"LeftUpLegRoll", 10, 10, 67, 60},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name << " <- " << c.set);
        Set(c.name, c.set, eValueKindDouble);
        EXPECT_DOUBLE_EQ(Double(c.name), c.stored);
        EXPECT_DOUBLE_EQ(block->GetValue(c.row), c.rowValue);
    }
}

TEST_F(CharacterTest, ModeAndEnumerationSettersMirror) {
    KDuzCharacterParameterBlock* block = character->GetSolverParameters();
    Set("ScaleCompensationMode", 2, eValueKindInt);
    EXPECT_EQ(block->GetMode(3), 2);
    Set("ApplyLimits", true, eValueKindBool);
    EXPECT_EQ(block->GetMode(8), 1);
    Set("LeftArmRollMode", true, eValueKindBool);
    EXPECT_EQ(block->GetMode(71), 1);
    Set("Posture", 1, eValueKindInt);
    EXPECT_EQ(Int("Posture"), 1);
    EXPECT_STREQ(character->FindProperty("Posture").GetEnumValue(1), "Quadruped");
    EXPECT_DOUBLE_EQ(block->GetValue(1), 1.0);
    Set("HandContactType", 2, eValueKindInt);
    EXPECT_STREQ(character->FindProperty("HandContactType").GetEnumValue(2), "FingerBase");
    EXPECT_STREQ(character->FindProperty("FootContactType").GetEnumValue(2), "ToeBase");
    EXPECT_DOUBLE_EQ(block->GetValue(166), 2.0);
}

TEST_F(CharacterTest, NodeGroupsAndNames) {
    const char* name = nullptr;
    ASSERT_TRUE(KDuzCharacterGetNodeName(67, name));
    EXPECT_STREQ(name, "Reference");
    for (int id : {68, 69, 88, 89, -1, 191}) EXPECT_FALSE(KDuzCharacterGetNodeName(id, name)) << id;
    ASSERT_TRUE(KDuzCharacterGetNodeName(130, name));
    EXPECT_STREQ(name, "RightHandExtraFinger4");

    int group = 1;
    int entry = -5;
    EXPECT_FALSE(KDuzCharacterFindNodeByName("Spine1", true, group, entry));
    EXPECT_EQ(entry, -5);
    EXPECT_TRUE(KDuzCharacterFindNodeByName("Spine1", false, group, entry));
    EXPECT_EQ(group, 2);
    EXPECT_EQ(entry, 0);
    EXPECT_FALSE(KDuzCharacterFindNodeByName("spine1", false, group, entry));

    const int sizes[12] = {15, 7, 9, 8, 1, 30, 30, 5, 12, 9, 30, 30};
    for (int g = 0; g < 12; ++g) EXPECT_EQ(KDuzCharacterNodeGroupSize(g), sizes[g]);
    EXPECT_EQ(KDuzCharacterNodeGroupVersion(1, 5), 4500);
    EXPECT_EQ(KDuzCharacterNodeGroupVersion(0, 0), 4000);
    // Outside the tables: nothing, instead of a read past them.
    EXPECT_EQ(KDuzCharacterNodeGroupSize(12), 0);
    EXPECT_EQ(KDuzCharacterNodeGroupName(4, 1), nullptr);
    EXPECT_EQ(KDuzCharacterNodeGroupName(-1, 0), nullptr);
    EXPECT_EQ(KDuzCharacterNodeGroupId(0, 15), 0);

    // Every named id has its "%sLink" property with its tag; floors have none.
    EXPECT_EQ(character->FindProperty("HipsLink").GetUserTag(), 1000);
    EXPECT_EQ(character->FindProperty("ReferenceLink").GetUserTag(), 1067);
    EXPECT_EQ(character->FindProperty("LeftHandLink").GetUserTag(), 1014);
}

TEST_F(CharacterTest, LinksKeepOneNodeRecordPerId) {
    KDuzNode* hand = Node("Hand");
    KDuzNode* other = Node("Other");
    ASSERT_TRUE(character->SetCharacterLink(14, LinkTo(hand)));
    ASSERT_EQ(hand->GetCharacterLinkCount(), 1);
    EXPECT_EQ(*hand->GetCharacterLink(0), (KDuzNodeCharacterLink{character, 0, 14, 0}));
    ASSERT_TRUE(character->SetCharacterLink(14, LinkTo(other)));
    EXPECT_EQ(hand->GetCharacterLinkCount(), 0);
    EXPECT_EQ(other->GetCharacterLinkCount(), 1);
    ASSERT_TRUE(character->SetCharacterLink(14, LinkTo(nullptr)));
    EXPECT_EQ(other->GetCharacterLinkCount(), 0);
    EXPECT_FALSE(character->GetCharacterLink(14));
    // One node at two ids: one record per id.
    character->SetCharacterLink(3, LinkTo(hand));
    character->SetCharacterLink(7, LinkTo(hand));
    EXPECT_EQ(hand->GetCharacterLinkCount(), 2);

    KDuzCharacterLink named;
    named.mTemplateName = "TemplateHips";
    character->SetCharacterLink(0, named);
    KDuzCharacterLink out;
    ASSERT_TRUE(character->GetCharacterLink(0, &out));
    EXPECT_STREQ(out.mTemplateName.Buffer(), "TemplateHips");
}

TEST_F(CharacterTest, NodeIdsOutsideTheTableAreRefused) {
    KDuzNode* node = Node("N");
    for (int id : {-1, -1000, 191, 1 << 20}) {
        EXPECT_FALSE(character->SetCharacterLink(id, LinkTo(node))) << id;
        EXPECT_FALSE(character->GetCharacterLink(id)) << id;
    }
    EXPECT_EQ(node->GetCharacterLinkCount(), 0);
}

TEST_F(CharacterTest, LinkPropertyAndLinkStayInStep) {
    KDuzNode* hand = Node("Hand");
    KDuzNode* other = Node("Other");
    KDuzProperty property = character->FindProperty("LeftHandLink");
    ASSERT_TRUE(property.ConnectSrcObject(hand));
    KDuzCharacterLink link;
    ASSERT_TRUE(character->GetCharacterLink(14, &link));
    EXPECT_EQ(link.mNode, hand);
    ASSERT_TRUE(property.DisconnectSrcObject(hand));
    EXPECT_FALSE(character->GetCharacterLink(14));
    EXPECT_EQ(hand->GetCharacterLinkCount(), 0);

    // With the property update the property follows, and re-entry through
    // the connection events leaves exactly one record.
    character->SetCharacterLink(14, LinkTo(hand), true);
    character->SetCharacterLink(14, LinkTo(other), true);
    EXPECT_EQ(property.GetSrcObjectCount(), 1);
    EXPECT_EQ(property.GetSrcObject(KClassId(), 0), other);
    EXPECT_EQ(hand->GetCharacterLinkCount(), 0);
    EXPECT_EQ(other->GetCharacterLinkCount(), 1);
}

TEST_F(CharacterTest, DestroyedNodeLeavesTheLink) {
    KDuzNode* hand = Node("Hand");
    character->SetCharacterLink(14, LinkTo(hand), true);
    hand->Destroy();
    EXPECT_FALSE(character->GetCharacterLink(14));
}

TEST_F(CharacterTest, InputByKindOfObject) {
    KDuzCharacter* driver = KDuzCharacter::Create(manager, "Driver");
    KDuzNode* node = Node("NotAnInput");
    character->SetInput(eDuzCharacterInputCharacter, node);   // kind 1: refused
    character->SetInput(eDuzCharacterInputMarkerSet, driver);   // wrong pairing
    character->SetInput(eDuzCharacterInputCharacter, nullptr);
    EXPECT_EQ(character->GetInputType(), eDuzCharacterInputNone);
    character->SetInput(eDuzCharacterInputCharacter, driver);
    EXPECT_EQ(character->GetInputType(), eDuzCharacterInputCharacter);
    EXPECT_EQ(character->GetInputObject(), driver);
    EXPECT_EQ(character->FindProperty("Character").GetSrcObject(KClassId(), 0), driver);

    KDuzControlSetPlug* plug = KDuzControlSetPlug::Create(manager, "Rig");
    plug->SetControlSetType(3);
    character->SetInput(eDuzCharacterInputMarkerSet, plug);
    EXPECT_EQ(character->GetInputType(), eDuzCharacterInputMarkerSet);
    EXPECT_EQ(character->FindProperty("SourceObject").GetSrcObjectCount(), 1);
    // The plug is read into the control set when it becomes the input.
    EXPECT_EQ(character->GetControlSet()->GetType(), 3);
}

// A plug or a character connected to the character itself becomes its input;
// the same source twice is refused.
TEST_F(CharacterTest, SourcesConnectedToTheCharacterBecomeItsInput) {
    KDuzControlSetPlug* plug = KDuzControlSetPlug::Create(manager, "Rig");
    plug->SetControlSetType(6);
    plug->FindProperty("LeftHand").ConnectSrcObject(Node("Control"));
    ASSERT_TRUE(character->ConnectSrcObject(plug));
    EXPECT_FALSE(character->ConnectSrcObject(plug));
    EXPECT_EQ(character->GetInputType(), eDuzCharacterInputMarkerSet);
    EXPECT_EQ(character->GetControlSet()->GetType(), 6);
    EXPECT_TRUE(character->GetControlSet()->GetControlSetLink(14));

    KDuzCharacter* driver = KDuzCharacter::Create(manager, "Driver");
    ASSERT_TRUE(character->ConnectSrcObject(driver));
    EXPECT_EQ(character->GetInputType(), eDuzCharacterInputCharacter);
    EXPECT_EQ(character->GetInputObject(), driver);
}

TEST_F(CharacterTest, CopyFromCopiesLinksParametersAndControlSet) {
    KDuzNode* hips = Node("Hips");
    KDuzNode* effector = Node("Effector");
    KDuzNode* aux1 = Node("Aux1");
    KDuzNode* aux2 = Node("Aux2");
    KDuzCharacterLink link = LinkTo(hips);
    link.mOffsetT = KgeTVector(1, 2, 3, 1);
    link.mAxisLen = 4.0;
    character->SetCharacterLink(0, link);
    character->GetSolverParameters()->SetValue(0, 0, 17.0);
    KDuzControlSet* set = character->GetControlSet();
    set->SetType(5);
    KDuzControlSetEffector e;
    e.mNode = effector;
    set->SetEffector(1, e);
    set->SetEffectorAux(1, aux1, 1);
    set->SetEffectorAux(1, aux2, 2);

    KDuzCharacter* copy = dynamic_cast<KDuzCharacter*>(character->Clone(2));
    ASSERT_NE(copy, nullptr);
    KDuzCharacterLink out;
    ASSERT_TRUE(copy->GetCharacterLink(0, &out));
    EXPECT_EQ(out.mNode, hips);
    EXPECT_DOUBLE_EQ(out.mOffsetT.GetElement(1), 2.0);
    EXPECT_DOUBLE_EQ(out.mAxisLen, 4.0);
    EXPECT_EQ(copy->FindProperty("HipsLink").GetSrcObject(KClassId(), 0), hips);
    EXPECT_EQ(hips->GetCharacterLinkCount(), 2);   // one per character
    EXPECT_DOUBLE_EQ(copy->GetSolverParameters()->GetValue(0), 17.0);
    EXPECT_EQ(copy->GetControlSet()->GetType(), 5);
    EXPECT_TRUE(copy->GetControlSet()->GetEffector(1));
    KDuzNode* aux = nullptr;
    EXPECT_TRUE(copy->GetControlSet()->GetEffectorAux(1, &aux, 1));
    EXPECT_EQ(aux, aux1);
    EXPECT_FALSE(copy->GetControlSet()->GetEffectorAux(1, &aux, 2));   // only the first auxiliary
}

TEST_F(CharacterTest, ResetDropsLinksRecordsAndName) {
    KDuzNode* hips = Node("Hips");
    character->SetCharacterLink(0, LinkTo(hips));
    character->GetControlSet()->SetLockPick(true);
    character->Reset();
    EXPECT_STREQ(character->GetName(), "");
    EXPECT_FALSE(character->GetCharacterLink(0));
    EXPECT_EQ(hips->GetCharacterLinkCount(), 0);
    EXPECT_FALSE(character->GetControlSet()->GetLockPick());
}

TEST_F(CharacterTest, DestroyLeavesNoDanglingPartsOrRecords) {
    KDuzNode* hips = Node("Hips");
    KDuzCharacter* other = KDuzCharacter::Create(manager, "Other");
    other->SetCharacterLink(0, LinkTo(hips));
    KDuzControlSetLink control;
    control.mNode = hips;
    other->GetControlSet()->SetControlSetLink(0, control);
    EXPECT_EQ(hips->GetCharacterLinkCount(), 2);
    other->Destroy();
    EXPECT_EQ(hips->GetCharacterLinkCount(), 0);
    // Destroying the node afterwards must not reach the dead character.
    hips->Destroy();
}

// The teardown step of Destroy, before the object itself goes: its parts
// are gone and the accessors say so instead of handing out freed memory.
TEST_F(CharacterTest, TornDownCharacterHandsOutNothing) {
    KDuzCharacter* other = KDuzCharacter::Create(manager, "Other");
    other->DestroyContents(false, false);
    EXPECT_EQ(other->GetControlSet(), nullptr);
    EXPECT_EQ(other->GetSolverParameters(), nullptr);
    KDuzCharacter* copy = KDuzCharacter::Create(manager, "Copy");
    copy->CopyFrom(*other);   // nothing to copy from; no crash
    EXPECT_NE(copy->GetSolverParameters(), nullptr);
    delete other;
}

TEST_F(CharacterTest, AnimatedSettingsGetTakeChannels) {
    KDuzTakeNode take("Take 001");
    character->CreateTakeNodeChannels(&take);
    KFCurveNode* root = take.GetCurveNode();
    ASSERT_NE(root, nullptr);
    for (const char* name : {"Weight", "ScaleCompensation", "HipsTOffset", "LeftUpLegRoll", "CtrlPullHead"})
        EXPECT_GE(root->FindChildIndexByName(name), 0) << name;
    for (const char* name : {"PullIterationCount", "Posture", "LeftUpLegRollMode", "FootBottomToAnkle", "HipsLink"})
        EXPECT_LT(root->FindChildIndexByName(name), 0) << name;
}

}  // namespace
}  // namespace duzsdk
