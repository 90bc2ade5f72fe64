// Characters, control-set plugs and every constraint kind written with the
// DUZ 6 writer and read back, in binary and ASCII files.
#include <gtest/gtest.h>

#include "KDuzWriterDuz6SceneCompare.h"
#include "KDuzWriterDuz6TestSupport.h"
#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/animation/KFCurveNode.h"
#include "sdk/character/KDuzCharacter.h"
#include "sdk/scene/KDuzTakeDescription.h"
#include "sdk/character/KDuzConstraintAim.h"
#include "sdk/character/KDuzConstraintParent.h"
#include "sdk/character/KDuzConstraintPosition.h"
#include "sdk/character/KDuzConstraintSingleChainIK.h"
#include "sdk/character/KDuzControlSetPlug.h"
#include "sdk/object/PropertyDataTypeMap.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

#include <string>
#include <utility>
#include <vector>

using namespace duzsdk;
using namespace duztest;

namespace {

KDuzObject* SourceNamed(KDuzScene* scene, const char* name, const KClassId& classId) {
    for (int i = 0; i < scene->GetSrcObjectCount(classId); ++i) {
        KDuzObject* object = scene->GetSrcObject(classId, i);
        if (std::string(object->GetName()) == name) return object;
    }
    return nullptr;
}

void SetVector(KDuzObject* object, const char* name, double x, double y, double z) {
    const duzVectorTemplate3<double> value(x, y, z);
    ASSERT_TRUE(object->FindProperty(name).SetValue(&value, eValueKindDouble3)) << name;
}

duzVectorTemplate3<double> Vector(const KDuzObject* object, const char* name) {
    duzVectorTemplate3<double> value(-1, -1, -1);
    EXPECT_TRUE(object->FindProperty(name).GetValue(&value, eValueKindDouble3)) << name;
    return value;
}

const char* SourceName(const KDuzObject* object, const char* property, int index = 0) {
    KDuzObject* source = object->FindProperty(property).GetSrcObject(KClassId(), index);
    return source != nullptr ? source->GetName() : "";
}

// Every property the written object holds comes back with the same value;
// object lists come back with sources of the same names.
void ExpectSameProperties(const KDuzObject* written, const KDuzObject* read) {
    for (int i = 0; i < written->GetPropertyCount(); ++i) {
        const KDuzProperty property = written->GetPropertyAt(i);
        const KDuzProperty other = read->FindProperty(property.GetName());
        ASSERT_TRUE(other.IsValid()) << property.GetName();
        if (property.GetValueKind() != eValueKindReference) {
            EXPECT_TRUE(property.ValueEquals(other)) << property.GetName();
            continue;
        }
        ASSERT_EQ(other.GetSrcObjectCount(), property.GetSrcObjectCount()) << property.GetName();
        for (int j = 0; j < property.GetSrcObjectCount(); ++j)
            EXPECT_STREQ(other.GetSrcObject(KClassId(), j)->GetName(), property.GetSrcObject(KClassId(), j)->GetName())
                << property.GetName();
    }
}

class Duz6CharacterRoundTrip : public WriterTestBase, public ::testing::WithParamInterface<int> {
protected:
    // Hips > Spine > LeftArm > LeftHand, a character linking them, one
    // template-only link and a rotation space; a control-set plug; each
    // constraint kind with its weight, offsets and participants.
    void Build() {
        KDuzNode* root = scene->GetRootNode();
        hips = AddNode(root, "Hips");
        spine = AddNode(hips, "Spine");
        arm = AddNode(spine, "LeftArm");
        hand = AddNode(arm, "LeftHand");

        character = dynamic_cast<KDuzCharacter*>(scene->GetCharacter(scene->CreateCharacter("Hero")));
        ASSERT_NE(character, nullptr);
        KDuzCharacterLink link;
        link.mNode = hips;
        link.mOffsetT = KgeTVector(1, 2, 3, 1);
        link.mOffsetS = KgeTVector(2, 2, 2, 1);
        character->SetCharacterLink(0, link, true);
        link = KDuzCharacterLink();
        link.mNode = hand;
        link.mHasRotSpace = true;
        link.mPreRotation = KgeTVector(10, 20, 30, 1);
        link.mRotOrder = 3;
        link.mAxisLen = 2.5;
        link.mRLimits.maxActive[2] = true;
        link.mRLimits.max = KgeTVector(0, 0, 90, 1);
        character->SetCharacterLink(14, link, true);
        link = KDuzCharacterLink();
        link.mTemplateName = "TemplateSpine1";
        character->SetCharacterLink(10, link, true);
        const double pull = 25.0;
        character->FindProperty("PullIterationCount").SetValue(&pull, eValueKindDouble);

        plug = dynamic_cast<KDuzControlSetPlug*>(scene->GetControlSetPlug(scene->CreateControlSetPlug("Rig")));
        ASSERT_NE(plug, nullptr);
        plug->SetControlSetType(2);
        plug->FindProperty("LeftHand").ConnectSrcObject(hand);
        plug->FindProperty("LeftWristEffector").ConnectSrcObject(hand);
        plug->FindProperty("LeftWristEffector").ConnectSrcObject(arm);

        auto make = [&](int type, const char* name) {
            KDuzConstraint* made = dynamic_cast<KDuzConstraint*>(manager->CreateConstraint(name, type));
            EXPECT_NE(made, nullptr);
            scene->ConnectSrcObject(made);
            const double weight = 10.0 * type;
            made->FindProperty("Weight").SetValue(&weight, eValueKindDouble);
            return made;
        };
        KDuzConstraint* position = make(1, "Position");
        position->SetOffset(KgeTVector(1, 2, 3, 0));
        position->FindProperty("Constrained Object").ConnectSrcObject(hand);
        position->FindProperty("Source").ConnectSrcObject(spine);
        make(2, "Rotation")->SetOffset(KgeTVector(4, 5, 6, 0));
        make(3, "Scale")->SetOffset(KgeTVector(7, 8, 9, 0));
        auto* parent = static_cast<KDuzConstraintParent*>(make(4, "Parent"));
        parent->SourceParent.ConnectSrcObject(arm);
        parent->ConstrainedObject.ConnectSrcObject(hand);
        KDuzProperty::Create(parent, "LeftArm.Offset T", PropertyDataTypeFromName("Vector"));
        KDuzProperty::Create(parent, "LeftArm.Offset R", PropertyDataTypeFromName("Vector"));
        SetVector(parent, "LeftArm.Offset T", 0.5, 1.5, 2.5);
        parent->SetRotationOffset(arm, KgeTVector(15, 30, 45, 0));
        auto* ik = static_cast<KDuzConstraintSingleChainIK*>(make(5, "IK"));
        const int solver = 0;
        ik->SolverType.SetValue(&solver, eValueKindInt);
        SetVector(ik, "PoleVector", 0, 0, 1);
        ik->FirstJointObject.ConnectSrcObject(spine);
        ik->EndJointObject.ConnectSrcObject(hand);
        auto* aim = static_cast<KDuzConstraintAim*>(make(6, "Aim"));
        SetVector(aim, "AimVector", 0, 0, -1);
        const int worldUp = 3;
        aim->WorldUpType.SetValue(&worldUp, eValueKindInt);
        aim->AimAtObjects.ConnectSrcObject(hips);
    }

    KDuzNode* AddNode(KDuzNode* parent, const char* name) {
        KDuzNode* node = KDuzNode::Create(manager, name);
        parent->AddChild(node);
        return node;
    }

    KDuzNode* hips = nullptr;
    KDuzNode* spine = nullptr;
    KDuzNode* arm = nullptr;
    KDuzNode* hand = nullptr;
    KDuzCharacter* character = nullptr;
    KDuzControlSetPlug* plug = nullptr;
};

TEST_P(Duz6CharacterRoundTrip, CharactersPlugsAndConstraintsReadBackEqual) {
    Build();
    if (HasFatalFailure()) return;
    KDuzScene* read = RoundTrip(scene, GetParam());
    ASSERT_NE(read, nullptr);
    SceneCompare compare(GetParam() == kAscii ? 1e-14 : 0.0);
    for (const std::string& difference : compare.Compare(*scene, *read)) ADD_FAILURE() << difference;

    auto* hero = dynamic_cast<KDuzCharacter*>(SourceNamed(read, "Hero", KDuzCharacter::ClassId()));
    ASSERT_NE(hero, nullptr);
    KDuzCharacterLink link;
    ASSERT_TRUE(hero->GetCharacterLink(0, &link));
    ASSERT_NE(link.mNode, nullptr);
    EXPECT_STREQ(link.mNode->GetName(), "Hips");
    EXPECT_NE(link.mNode, hips);
    EXPECT_DOUBLE_EQ(link.mOffsetT.GetElement(2), 3.0);
    EXPECT_DOUBLE_EQ(link.mOffsetS.GetElement(1), 2.0);
    ASSERT_TRUE(hero->GetCharacterLink(14, &link));
    EXPECT_STREQ(link.mNode->GetName(), "LeftHand");
    EXPECT_TRUE(link.mHasRotSpace);
    EXPECT_DOUBLE_EQ(link.mPreRotation.GetElement(1), 20.0);
    EXPECT_EQ(link.mRotOrder, 3);
    EXPECT_DOUBLE_EQ(link.mAxisLen, 2.5);
    EXPECT_TRUE(link.mRLimits.maxActive[2]);
    EXPECT_DOUBLE_EQ(link.mRLimits.max.GetElement(2), 90.0);
    ASSERT_TRUE(hero->GetCharacterLink(10, &link));
    EXPECT_STREQ(link.mTemplateName.Buffer(), "TemplateSpine1");
    EXPECT_EQ(link.mNode, nullptr);
    EXPECT_FALSE(hero->GetCharacterLink(1));
    EXPECT_DOUBLE_EQ(hero->FindProperty("PullIterationCount").GetDouble(), 25.0);
    EXPECT_DOUBLE_EQ(hero->GetSolverParameters()->GetValue(0), 25.0);

    auto* rig = dynamic_cast<KDuzControlSetPlug*>(SourceNamed(read, "Rig", KDuzControlSetPlug::ClassId()));
    ASSERT_NE(rig, nullptr);
    EXPECT_EQ(rig->GetControlSetType(), 2);
    EXPECT_STREQ(SourceName(rig, "LeftHand"), "LeftHand");
    EXPECT_STREQ(SourceName(rig, "LeftWristEffector", 0), "LeftHand");
    EXPECT_STREQ(SourceName(rig, "LeftWristEffector", 1), "LeftArm");

    const KClassId constraints = KDuzConstraint::ClassId();
    const struct {
        const char* name;
        int type;
        const char* offset;
        double x, y, z;
    } rows[] = {
        {"Position", 1, "Translation", 1, 2, 3}, {"Rotation", 2, "Rotation", 4, 5, 6},
        {"Scale", 3, "Scaling", 7, 8, 9},        {"Parent", 4, "LeftArm.Offset T", 0.5, 1.5, 2.5},
        {"IK", 5, "PoleVector", 0, 0, 1},        {"Aim", 6, "AimVector", 0, 0, -1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto* constraint = dynamic_cast<KDuzConstraint*>(SourceNamed(read, row.name, constraints));
        ASSERT_NE(constraint, nullptr);
        EXPECT_EQ(constraint->GetConstraintType(), row.type);
        EXPECT_DOUBLE_EQ(constraint->FindProperty("Weight").GetDouble(), 10.0 * row.type);
        const duzVectorTemplate3<double> offset = Vector(constraint, row.offset);
        EXPECT_DOUBLE_EQ(offset[0], row.x);
        EXPECT_DOUBLE_EQ(offset[1], row.y);
        EXPECT_DOUBLE_EQ(offset[2], row.z);
    }
    for (int i = 0; i < scene->GetSrcObjectCount(constraints); ++i) {
        KDuzObject* written = scene->GetSrcObject(constraints, i);
        SCOPED_TRACE(written->GetName());
        KDuzObject* back = SourceNamed(read, written->GetName(), constraints);
        ASSERT_NE(back, nullptr);
        ExpectSameProperties(written, back);
    }
    ExpectSameProperties(plug, rig);
    auto* parent = dynamic_cast<KDuzConstraintParent*>(SourceNamed(read, "Parent", constraints));
    ASSERT_NE(parent, nullptr);
    KDuzObject* parentSource = parent->GetConstraintSource(0);
    ASSERT_NE(parentSource, nullptr);
    EXPECT_STREQ(parentSource->GetName(), "LeftArm");
    // Rotation and translation offsets keep their places through the "Offset" field.
    EXPECT_DOUBLE_EQ(parent->GetRotationOffset(parentSource).GetElement(2), 45.0);
    EXPECT_DOUBLE_EQ(parent->GetTranslationOffset(parentSource).GetElement(0), 0.5);
    EXPECT_STREQ(SourceName(parent, "Constrained object (Child)"), "LeftHand");
    KDuzObject* ik = SourceNamed(read, "IK", constraints);
    EXPECT_EQ(static_cast<int>(ik->FindProperty("SolverType").GetDouble()), 0);
    EXPECT_STREQ(SourceName(ik, "First Joint"), "Spine");
    EXPECT_STREQ(SourceName(ik, "End Joint"), "LeftHand");
    KDuzObject* aim = SourceNamed(read, "Aim", constraints);
    EXPECT_EQ(static_cast<int>(aim->FindProperty("WorldUpType").GetDouble()), 3);
    EXPECT_STREQ(SourceName(aim, "Aim At Object"), "Hips");
    EXPECT_STREQ(SourceName(SourceNamed(read, "Position", constraints), "Source"), "Spine");
}

TEST_P(Duz6CharacterRoundTrip, OptionsLeaveOutCharactersOrConstraints) {
    Build();
    if (HasFatalFailure()) return;
    const struct {
        bool character;
        bool constraint;
        int characters;
        int plugs;
        int others;
    } rows[] = {{false, true, 0, 0, 6}, {true, false, 1, 1, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.character << row.constraint);
        KDuzStreamOptionsDuzWriter* options = WriteOptions();
        options->SetBoolOption("CHARACTER", row.character);
        options->SetBoolOption("CONSTRAINT", row.constraint);
        KDuzScene* read = RoundTrip(scene, GetParam(), options);
        options->Destroy();
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(read->GetCharacterCount(), row.characters);
        EXPECT_EQ(read->GetControlSetPlugCount(), row.plugs);
        EXPECT_EQ(read->GetSrcObjectCount(KDuzConstraint::ClassId()) - read->GetCharacterCount(), row.others);
        read->Destroy();
    }
}

// Keys of one channel of a property in the named take; empty without it.
std::vector<std::pair<long long, float>> KeysOf(KDuzTakeNodeContainer* object, const char* take, const char* property) {
    std::vector<std::pair<long long, float>> keys;
    for (int t = 0; t < object->GetTakeNodeCount(); ++t) {
        if (std::string(object->GetTakeNodeName(t)) != take) continue;
        KFCurveNode* node = KDuzTakeNodeContainer::FindPropertyCurveNode(object->GetTakeNodeAt(t), property);
        KFCurve* curve = node != nullptr ? node->GetCurve() : nullptr;
        for (int k = 0; curve != nullptr && k < curve->KeyGetCount(); ++k)
            keys.emplace_back(curve->KeyGetTime(k).Get(), curve->KeyGetValue(k));
    }
    return keys;
}

TEST_P(Duz6CharacterRoundTrip, AnimatedConstraintAndCharacterValuesReadBack) {
    Build();
    if (HasFatalFailure()) return;
    auto key = [&](KDuzTakeNodeContainer* object, const char* property) {
        KDuzTakeNode* take = object->CreateTakeNode("Walk");
        ASSERT_NE(take, nullptr);
        KFCurveNode* node = KDuzTakeNodeContainer::FindPropertyCurveNode(take, property);
        ASSERT_NE(node, nullptr) << property;
        ASSERT_NE(node->GetCurve(), nullptr) << property;
        node->GetCurve()->KeySet(0, KTime(0), 10.0f, kFCurveInterpolationLinear);
        node->GetCurve()->KeySet(1, KTime(KTime::kTicksPerSecond), 90.0f, kFCurveInterpolationLinear);
    };
    auto* aim = static_cast<KDuzTakeNodeContainer*>(SourceNamed(scene, "Aim", KDuzConstraint::ClassId()));
    key(aim, "Weight");
    key(character, "ScaleCompensation");
    if (HasFatalFailure()) return;
    KDuzTakeDescription walk;
    walk.name = "Walk";
    walk.localStart = walk.referenceStart = KTime(0);
    walk.localStop = walk.referenceStop = KTime(KTime::kTicksPerSecond);
    scene->SetTakeDescription(walk);

    KDuzScene* read = RoundTrip(scene, GetParam());
    ASSERT_NE(read, nullptr);
    const std::vector<std::pair<long long, float>> expected = {{0, 10.0f}, {KTime::kTicksPerSecond, 90.0f}};
    auto* readAim = dynamic_cast<KDuzTakeNodeContainer*>(SourceNamed(read, "Aim", KDuzConstraint::ClassId()));
    ASSERT_NE(readAim, nullptr);
    EXPECT_EQ(KeysOf(readAim, "Walk", "Weight"), expected);
    auto* hero = dynamic_cast<KDuzTakeNodeContainer*>(SourceNamed(read, "Hero", KDuzCharacter::ClassId()));
    ASSERT_NE(hero, nullptr);
    EXPECT_EQ(KeysOf(hero, "Walk", "ScaleCompensation"), expected);
}

INSTANTIATE_TEST_SUITE_P(Formats, Duz6CharacterRoundTrip, ::testing::Values(kBinary, kAscii),
                         [](const auto& info) { return std::string(FormatName(info.param)); });

}  // namespace
