#include "sdk/character/KDuzConstraint.h"
#include "sdk/character/KDuzConstraintAim.h"
#include "sdk/character/KDuzConstraintParent.h"
#include "sdk/character/KDuzConstraintPosition.h"
#include "sdk/character/KDuzConstraintSingleChainIK.h"
#include "sdk/animation/KFCurveNode.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/PropertyDataTypeMap.h"
#include "sdk/scene/KDuzNode.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace duzsdk {
namespace {

class ConstraintTest : public testing::Test {
protected:
    void SetUp() override {
        manager = KDuzSdkManager::Create();
        ASSERT_NE(manager, nullptr);
    }
    void TearDown() override { manager->Destroy(); }

    KDuzConstraint* Make(int type, const char* name = "C") {
        return dynamic_cast<KDuzConstraint*>(manager->CreateConstraint(name, type));
    }

    KDuzSdkManager* manager = nullptr;
};

bool GetBool(const KDuzObject* object, const char* name) {
    bool value = false;
    EXPECT_TRUE(object->FindProperty(name).GetValue(&value, eValueKindBool)) << name;
    return value;
}
double GetDouble(const KDuzObject* object, const char* name) {
    double value = -1.0;
    EXPECT_TRUE(object->FindProperty(name).GetValue(&value, eValueKindDouble)) << name;
    return value;
}
int GetInt(const KDuzObject* object, const char* name) {
    int value = -1;
    EXPECT_TRUE(object->FindProperty(name).GetValue(&value, eValueKindInt)) << name;
    return value;
}
void ExpectVector(const KDuzObject* object, const char* name, double x, double y, double z) {
    duzVectorTemplate3<double> value(-9, -9, -9);
    ASSERT_TRUE(object->FindProperty(name).GetValue(&value, eValueKindDouble3)) << name;
    EXPECT_DOUBLE_EQ(value[0], x) << name;
    EXPECT_DOUBLE_EQ(value[1], y) << name;
    EXPECT_DOUBLE_EQ(value[2], z) << name;
}

// The manager's creator maps every code to its own class, type and name.
TEST_F(ConstraintTest, CreateConstraintMakesEachKindWithItsTypeAndName) {
    struct Row {
        int type;
        const char* typeName;
        KClassId classId;
    };
    const Row rows[] = {
        {1, "Position From Positions", KDuzConstraintPosition::ClassId()},
        {2, "Rotation From Rotations", KDuzConstraintRotation::ClassId()},
        {3, "Scale From Scales", KDuzConstraintScale::ClassId()},
        {4, "Parent-Child", KDuzConstraintParent::ClassId()},
        {5, "Single Chain IK", KDuzConstraintSingleChainIK::ClassId()},
        {6, "Aim", KDuzConstraintAim::ClassId()},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.typeName);
        KDuzConstraint* constraint = Make(row.type);
        ASSERT_NE(constraint, nullptr);
        EXPECT_TRUE(constraint->Is(row.classId));
        EXPECT_EQ(constraint->GetConstraintType(), row.type);
        EXPECT_STREQ(constraint->GetTypeName().Buffer(), row.typeName);
        EXPECT_EQ(constraint->GetNameKind(), 13);
        std::unique_ptr<KStringList> names(constraint->GetTypeNames());
        ASSERT_EQ(names->GetCount(), 1);
        EXPECT_STREQ(names->GetStringAt(0), "");
        // Every constraint starts with its default take.
        ASSERT_GE(constraint->GetTakeNodeCount(), 1);
        EXPECT_STREQ(constraint->GetTakeNodeName(0), "Default");
        // The default take carries the channel of the animated weight.
        EXPECT_GE(constraint->GetDefaultTakeNode()->GetCurveNode()->FindChildIndexByName("Weight"), 0);
        EXPECT_LT(constraint->GetDefaultTakeNode()->GetCurveNode()->FindChildIndexByName("Active"), 0);
        EXPECT_TRUE(GetBool(constraint, "Active"));
        EXPECT_FALSE(GetBool(constraint, "Lock"));
        EXPECT_DOUBLE_EQ(GetDouble(constraint, "Weight"), 100.0);
    }
    EXPECT_EQ(manager->CreateConstraint("x", 0), nullptr);
    EXPECT_EQ(manager->CreateConstraint("x", 7), nullptr);
}

TEST_F(ConstraintTest, PlainConstraintHasTypeZeroAndNoOffsetOrClone) {
    KDuzConstraint* plain = KDuzConstraint::Create(manager, "plain");
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->GetConstraintType(), KDuzConstraint::eNone);
    EXPECT_STREQ(plain->GetTypeName().Buffer(), "Constraint");
    const int before = plain->GetPropertyCount();
    plain->SetOffset(KgeTVector(1, 2, 3, 4));
    EXPECT_EQ(plain->GetPropertyCount(), before);
    EXPECT_EQ(plain->Clone(2), nullptr);
}

TEST_F(ConstraintTest, NameWithKindPrefixCarriesConstraintPrefix) {
    KDuzConstraint* constraint = Make(1, "");
    constraint->SetName("Pin", true);
    EXPECT_STREQ(constraint->GetName(), "Constraint::Pin");
}

// The family differs only in the name of the offset property; a new scale
// constraint's offset is zero, not one.
TEST_F(ConstraintTest, FromSourcesDefaultsAndSetOffset) {
    const struct {
        int type;
        const char* offset;
    } rows[] = {{1, "Translation"}, {2, "Rotation"}, {3, "Scaling"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.offset);
        auto* constraint = dynamic_cast<KDuzConstraintFromSources*>(Make(row.type));
        ASSERT_NE(constraint, nullptr);
        for (const char* flag : {"AffectX", "AffectY", "AffectZ"}) EXPECT_TRUE(GetBool(constraint, flag)) << flag;
        ExpectVector(constraint, row.offset, 0, 0, 0);
        constraint->SetOffset(KgeTVector(1, 2, 3, 4));
        ExpectVector(constraint, row.offset, 1, 2, 3);
        EXPECT_DOUBLE_EQ(GetDouble(constraint, "Weight"), 100.0);
        EXPECT_TRUE(constraint->FindProperty("Constrained Object").IsValid());
        EXPECT_TRUE(constraint->FindProperty("Source").IsValid());
    }
}

TEST_F(ConstraintTest, AimDefaultsTextsAndOffset) {
    auto* aim = dynamic_cast<KDuzConstraintAim*>(Make(6));
    ASSERT_NE(aim, nullptr);
    EXPECT_EQ(GetInt(aim, "WorldUpType"), 0);
    EXPECT_STREQ(aim->WorldUpType.GetEnumValue(0), "Scene Up");
    ExpectVector(aim, "AimVector", 1, 0, 0);
    ExpectVector(aim, "UpVector", 0, 1, 0);
    ExpectVector(aim, "WorldUpVector", 0, 1, 0);
    ExpectVector(aim, "RotationOffset", 0, 0, 0);
    for (const char* flag : {"AffectX", "AffectY", "AffectZ"}) EXPECT_TRUE(GetBool(aim, flag)) << flag;

    const char* texts[] = {"Scene Up", "Object Up", "Object Rotation Up", "Vector", "None"};
    for (int i = 0; i < 5; ++i) EXPECT_STREQ(KDuzConstraintAim::WorldUpTypeText(i), texts[i]);
    EXPECT_EQ(KDuzConstraintAim::WorldUpTypeText(5), nullptr);
    EXPECT_EQ(KDuzConstraintAim::WorldUpTypeText(-1), nullptr);

    aim->SetOffset(KgeTVector(10, 20, 30, 40));
    ExpectVector(aim, "RotationOffset", 10, 20, 30);
    ExpectVector(aim, "AimVector", 1, 0, 0);
    ExpectVector(aim, "UpVector", 0, 1, 0);
    ExpectVector(aim, "WorldUpVector", 0, 1, 0);
}

TEST_F(ConstraintTest, SingleChainIKDefaultsAndTexts) {
    auto* ik = dynamic_cast<KDuzConstraintSingleChainIK*>(Make(5));
    ASSERT_NE(ik, nullptr);
    EXPECT_EQ(GetInt(ik, "SolverType"), 1);
    EXPECT_EQ(GetInt(ik, "PoleVectorType"), 0);
    EXPECT_EQ(GetInt(ik, "EvaluateTSAnim"), 0);
    EXPECT_STREQ(ik->SolverType.GetEnumValue(1), "ikSCSolver");
    ExpectVector(ik, "PoleVector", 0, 1, 0);
    EXPECT_DOUBLE_EQ(GetDouble(ik, "Twist"), 0.0);
    EXPECT_STREQ(KDuzConstraintSingleChainIK::SolverTypeText(0), "ikRPSolver");
    EXPECT_STREQ(KDuzConstraintSingleChainIK::PoleVectorTypeText(1), "Object");
    EXPECT_STREQ(KDuzConstraintSingleChainIK::EvalTSText(2), "Always");
    EXPECT_EQ(KDuzConstraintSingleChainIK::EvalTSText(3), nullptr);
    const int before = ik->GetPropertyCount();
    ik->SetOffset(KgeTVector(1, 2, 3, 4));
    EXPECT_EQ(ik->GetPropertyCount(), before);
    ExpectVector(ik, "PoleVector", 0, 1, 0);
}

// Only the animated values get curve nodes in a take.
TEST_F(ConstraintTest, TakeChannelsOnlyForAnimatedProperties) {
    struct Row {
        int type;
        std::vector<std::string> animated;
        std::vector<std::string> plain;
    };
    const Row rows[] = {
        {1, {"Translation", "Weight"}, {"Active", "Lock", "AffectX", "Source", "Constrained Object"}},
        {5, {"PoleVector", "Twist", "Weight"}, {"SolverType", "PoleVectorType", "EvaluateTSAnim", "Active", "First Joint"}},
        {6, {"Weight", "RotationOffset", "AimVector", "UpVector", "WorldUpVector"}, {"WorldUpType", "Aim At Object"}},
        {4, {"Weight"}, {"AffectTranslationX", "AffectScalingX", "Source (Parent)"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.type);
        KDuzConstraint* constraint = Make(row.type);
        KDuzTakeNode* take = new KDuzTakeNode("Take 001");
        constraint->CreateTakeNodeChannels(take);
        KFCurveNode* root = take->GetCurveNode();
        ASSERT_NE(root, nullptr);
        for (const std::string& name : row.animated)
            EXPECT_GE(root->FindChildIndexByName(name.c_str()), 0) << name;
        for (const std::string& name : row.plain)
            EXPECT_LT(root->FindChildIndexByName(name.c_str()), 0) << name;
        delete take;
    }
}

class ParentConstraintTest : public ConstraintTest {
protected:
    void SetUp() override {
        ConstraintTest::SetUp();
        parent = dynamic_cast<KDuzConstraintParent*>(Make(4));
        ASSERT_NE(parent, nullptr);
        source = KDuzNode::Create(manager, "Arm");
        ASSERT_NE(source, nullptr);
    }
    KDuzProperty AddOffset(const char* name, double x, double y, double z) {
        KDuzProperty property = KDuzProperty::Create(parent, name, PropertyDataTypeFromName("Vector"), "");
        const duzVectorTemplate3<double> value(x, y, z);
        property.SetValue(&value, eValueKindDouble3);
        return property;
    }
    KDuzConstraintParent* parent = nullptr;
    KDuzNode* source = nullptr;
};

TEST_F(ParentConstraintTest, DefaultsAndEmptyOffset) {
    for (const char* flag : {"AffectTranslationX", "AffectTranslationY", "AffectTranslationZ", "AffectRotationX",
                             "AffectRotationY", "AffectRotationZ"})
        EXPECT_TRUE(GetBool(parent, flag)) << flag;
    for (const char* flag : {"AffectScalingX", "AffectScalingY", "AffectScalingZ"})
        EXPECT_FALSE(GetBool(parent, flag)) << flag;
    const int before = parent->GetPropertyCount();
    parent->SetOffset(KgeTVector(1, 2, 3, 4));
    EXPECT_EQ(parent->GetPropertyCount(), before);
}

TEST_F(ParentConstraintTest, MissingOffsetsReadAsIdentityAndAreNotCreated) {
    for (const KDuzObject* object : {static_cast<const KDuzObject*>(source), static_cast<const KDuzObject*>(nullptr)}) {
        const KgeTVector t = parent->GetTranslationOffset(object);
        const KgeTVector r = parent->GetRotationOffset(object);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(t.GetElement(i), 0.0);
            EXPECT_EQ(r.GetElement(i), 0.0);
        }
        EXPECT_EQ(t.GetElement(3), 1.0);
        EXPECT_EQ(r.GetElement(3), 1.0);
    }
    const int before = parent->GetPropertyCount();
    parent->SetRotationOffset(source, KgeTVector(1, 2, 3, 0));
    parent->SetRotationOffset(nullptr, KgeTVector(1, 2, 3, 0));
    EXPECT_EQ(parent->GetPropertyCount(), before);
    EXPECT_FALSE(parent->FindProperty("Arm.Offset R").IsValid());
}

TEST_F(ParentConstraintTest, OffsetsReadBackUnderOneNameAfterRenameAndPrefix) {
    AddOffset("Arm.Offset T", 1, 2, 3);
    AddOffset("Arm.Offset R", 0, 0, 0);
    // A renamed source still finds the offsets its constraint was loaded with.
    source->SetName("ArmRenamed");
    parent->SetRotationOffset(source, KgeTVector(10, 20, 30, 99));
    const KgeTVector r = parent->GetRotationOffset(source);
    EXPECT_DOUBLE_EQ(r.GetElement(0), 10);
    EXPECT_DOUBLE_EQ(r.GetElement(1), 20);
    EXPECT_DOUBLE_EQ(r.GetElement(2), 30);
    EXPECT_DOUBLE_EQ(r.GetElement(3), 1);
    const KgeTVector t = parent->GetTranslationOffset(source);
    EXPECT_DOUBLE_EQ(t.GetElement(0), 1);
    EXPECT_DOUBLE_EQ(t.GetElement(2), 3);
}

TEST_F(ParentConstraintTest, OnlyALeadingKindPrefixIsStripped) {
    KDuzNode* prefixed = KDuzNode::Create(manager, "Model::Hand");
    KDuzNode* inner = KDuzNode::Create(manager, "LeftModel::Hand");
    EXPECT_STREQ(KDuzConstraintParent::OffsetPropertyName(prefixed, ".Offset T").Buffer(), "Hand.Offset T");
    EXPECT_STREQ(KDuzConstraintParent::OffsetPropertyName(inner, ".Offset T").Buffer(),
                 "LeftModel::Hand.Offset T");
}

TEST_F(ParentConstraintTest, SourcesByIndex) {
    KDuzNode* second = KDuzNode::Create(manager, "Leg");
    ASSERT_TRUE(parent->SourceParent.ConnectSrcObject(source));
    ASSERT_TRUE(parent->SourceParent.ConnectSrcObject(second));
    EXPECT_EQ(parent->GetConstraintSource(0), source);
    EXPECT_EQ(parent->GetConstraintSource(1), second);
    EXPECT_EQ(parent->GetConstraintSource(2), nullptr);
    EXPECT_EQ(parent->GetConstraintSource(-1), nullptr);
}

TEST_F(ConstraintTest, CloneIsADeepCopyThatOutlivesItsOriginal) {
    EXPECT_EQ(Make(1)->Clone(1), nullptr);

    auto* parent = dynamic_cast<KDuzConstraintParent*>(Make(4, "P"));
    KDuzNode* arm = KDuzNode::Create(manager, "Arm");
    parent->SourceParent.ConnectSrcObject(arm);
    KDuzProperty offset = KDuzProperty::Create(parent, "Arm.Offset T", PropertyDataTypeFromName("Vector"), "");
    const duzVectorTemplate3<double> value(4, 5, 6);
    offset.SetValue(&value, eValueKindDouble3);
    const double weight = 25.0;
    parent->Weight.SetValue(&weight, eValueKindDouble);

    const int before = manager->GetObjectCount(KDuzConstraintParent::ClassId());
    auto* copy = dynamic_cast<KDuzConstraintParent*>(parent->Clone(2));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(manager->GetObjectCount(KDuzConstraintParent::ClassId()), before + 1);
    EXPECT_NE(copy->GetInternalObject(), parent->GetInternalObject());
    EXPECT_STREQ(copy->GetName(), "P");

    // The original goes first; the copy keeps its own values.
    parent->Destroy();
    EXPECT_DOUBLE_EQ(GetDouble(copy, "Weight"), 25.0);
    EXPECT_EQ(copy->GetConstraintSource(0), arm);
    EXPECT_DOUBLE_EQ(copy->GetTranslationOffset(arm).GetElement(1), 5.0);
    const double changed = 50.0;
    copy->Weight.SetValue(&changed, eValueKindDouble);
    EXPECT_DOUBLE_EQ(GetDouble(copy, "Weight"), 50.0);
}

}  // namespace
}  // namespace duzsdk
