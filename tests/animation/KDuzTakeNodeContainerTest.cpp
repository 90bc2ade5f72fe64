#include "sdk/animation/KDuzTakeNodeContainer.h"

#include "sdk/animation/KFCurve.h"
#include "sdk/animation/KFCurveNode.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/KPropertyTemplate.h"
#include "sdk/object/PropertyDataTypeMap.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace duzsdk {
namespace {

constexpr const char* kTakeErrors[] = {"take error"};

using Vector3 = duzVectorTemplate3<double>;

// A small node: its translation lives under "Transform"/"T" as a real
// node keeps it, and every other animatable internal property gets its
// channels from the container.
class TestNode : public KDuzTakeNodeContainer {
public:
    explicit TestNode(KDuzSdkManager* manager)
        : KDuzTakeNodeContainer(manager, "node", &error), error(kTakeErrors, 1) {}

    static TestNode* Make(KDuzSdkManager* manager, bool withDefaultTake) {
        auto* node = new TestNode(manager);
        node->PostCreate();
        node->translation.InitOnOwner(node, "Lcl Translation", PropertyDataTypeFromName("Lcl Translation"));
        node->translation.ModifyFlag(kDuzPropertyAnimatable, true);
        if (withDefaultTake) node->CreateDefaultTakeNode();
        return node;
    }

    KClassId GetClassId() const override { return KDuzClassIdOf(eDuzClassNode); }
    int GetNameKind() const override { return 1; }

    void AddPropertiesToTakeNode(KDuzTakeNode* take) override {
        KFCurveNode* transform = KFCurveNodeCreate("Transform");
        KFCurveNode* t = KFCurveNodeCreate("T");
        const Vector3 value = translation.Get();
        KProperty* bound = translation.GetBoundProperty();
        const bool isDefault = std::string(take->GetName()) == "Default";
        for (int c = 0; c < 3; ++c) {
            KFCurveNode* axis = KFCurveNodeCreate(KDuzChannelName(3, c));
            axis->SetCurve(KFCurveCreate());
            axis->GetCurve()->SetDefaultValue(static_cast<float>(value[c]));
            if (isDefault) LinkPropertyCurve(bound, c, axis->GetCurve());
            t->AddChild(axis);
        }
        transform->AddChild(t);
        take->GetCurveNode()->AddChild(transform);
        KDuzObject_internal* internal = GetInternalObject();
        for (int i = 0; i < internal->GetPropertyCount(); ++i) {
            KProperty* property = internal->GetProperty(i);
            if (property->TestInfoFlag2() && property != bound) AddPropertyCurveNodes(property, take);
        }
    }

    KFCurve* Translation(int take, int axis) {
        KFCurveNode* t = FindPropertyCurveNode(GetTakeNodeAt(take), "Lcl Translation");
        return t != nullptr && t->GetChild(axis) != nullptr ? t->GetChild(axis)->GetCurve() : nullptr;
    }

    KErrorState error;
    KDuzTypedProperty<Vector3> translation;
};

// An attribute-like object whose channels live in its node's take nodes.
class Attached : public KDuzObject {
public:
    Attached(KDuzSdkManager* manager, TestNode* node) : KDuzObject(manager, "attached"), mNode(node) {}
    KDuzTakeNodeContainer* GetTakeNodeContainer() override { return mNode; }

private:
    TestNode* mNode;
};

class KDuzTakeNodeContainerTest : public ::testing::Test {
protected:
    void SetUp() override { manager = KDuzSdkManager::Create(); }
    void TearDown() override {
        for (auto it = nodes.rbegin(); it != nodes.rend(); ++it) (*it)->Destroy();
        manager->Destroy();
    }
    TestNode* Make(bool withDefaultTake = true) {
        nodes.push_back(TestNode::Make(manager, withDefaultTake));
        return nodes.back();
    }
    static KDuzProperty Animated(KDuzObject* owner, const char* name, const char* type) {
        KDuzProperty property(owner->GetSdkManager(), name, PropertyDataTypeFromName(type));
        property.ModifyFlag(kDuzPropertyAnimatable, true);
        owner->AddProperty(property);
        return property;
    }

    KDuzSdkManager* manager = nullptr;
    std::vector<TestNode*> nodes;
};

TEST_F(KDuzTakeNodeContainerTest, ValuesReachTheCurvesBeforeAndAfterJoiningATake) {
    TestNode* node = Make(false);
    node->translation.Set(Vector3(1, 2, 3));
    KDuzProperty intensity = Animated(node, "Intensity", "Number");
    double before = 0.5;
    intensity.SetValue(&before, 4);

    ASSERT_NE(node->CreateDefaultTakeNode(), nullptr);
    EXPECT_FLOAT_EQ(node->Translation(0, 0)->GetDefaultValue(), 1.0f);
    EXPECT_FLOAT_EQ(node->Translation(0, 2)->GetDefaultValue(), 3.0f);
    KFCurveNode* intensityNode = KDuzTakeNodeContainer::FindPropertyCurveNode(node->GetDefaultTakeNode(), "Intensity");
    ASSERT_NE(intensityNode, nullptr);
    EXPECT_FLOAT_EQ(intensityNode->GetCurve()->GetDefaultValue(), 0.5f);

    // After the take exists, "T" is found below "Transform", not as a root child.
    node->translation.Set(Vector3(4, 5, 6));
    EXPECT_FLOAT_EQ(node->Translation(0, 1)->GetDefaultValue(), 5.0f);
    EXPECT_EQ(node->GetDefaultTakeNode()->GetCurveNode()->FindChildIndexByName("T"), -1);
    double after = 0.75;
    intensity.SetValue(&after, 4);
    EXPECT_FLOAT_EQ(intensityNode->GetCurve()->GetDefaultValue(), 0.75f);
}

TEST_F(KDuzTakeNodeContainerTest, OnlyTheDefaultTakeDrivesProperties) {
    TestNode* node = Make();
    node->translation.Set(Vector3(1, 2, 3));
    ASSERT_NE(node->CreateTakeNode("Run"), nullptr);
    EXPECT_FLOAT_EQ(node->Translation(1, 2)->GetDefaultValue(), 3.0f);   // copied from the default take

    node->Translation(0, 0)->SetDefaultValue(7.0f);
    EXPECT_DOUBLE_EQ(node->translation.Get()[0], 7.0);
    node->Translation(1, 1)->SetDefaultValue(9.0f);
    EXPECT_DOUBLE_EQ(node->translation.Get()[1], 2.0);

    // The property's own writes do not echo back through the link.
    node->translation.Set(Vector3(-1, -2, -3));
    EXPECT_DOUBLE_EQ(node->translation.Get()[0], -1.0);
    EXPECT_FLOAT_EQ(node->Translation(0, 0)->GetDefaultValue(), -1.0f);
}

TEST_F(KDuzTakeNodeContainerTest, TakeListManagement) {
    TestNode* node = Make();
    EXPECT_EQ(node->CreateTakeNode("Default"), nullptr);
    EXPECT_STREQ(node->error.GetLastErrorString(), kTakeErrorAlreadyExists);
    ASSERT_NE(node->CreateTakeNode("A"), nullptr);
    ASSERT_NE(node->CreateTakeNode("B"), nullptr);
    EXPECT_EQ(node->GetTakeNodeCount(), 3);
    EXPECT_STREQ(node->GetTakeNodeName(2), "B");
    EXPECT_EQ(node->GetTakeNodeName(3), nullptr);
    EXPECT_STREQ(node->error.GetLastErrorString(), kTakeErrorNoSuchTake);

    // Removing below the current take keeps the same take current.
    EXPECT_TRUE(node->SetCurrentTakeNode(2));
    EXPECT_TRUE(node->RemoveTakeNode(1));
    EXPECT_STREQ(node->GetCurrentTakeNode()->GetName(), "B");
    // Removing the current take makes the previous one current.
    EXPECT_TRUE(node->RemoveTakeNode(1));
    EXPECT_STREQ(node->GetCurrentTakeNode()->GetName(), "Default");
    EXPECT_FALSE(node->RemoveTakeNode(0));
    EXPECT_STREQ(node->error.GetLastErrorString(), kTakeErrorRemoveDefault);
    EXPECT_FALSE(node->RemoveTakeNode(5));
    EXPECT_STREQ(node->error.GetLastErrorString(), kTakeErrorIndexOutOfRange);

    node->CreateTakeNode("C");
    EXPECT_TRUE(node->SetCurrentTakeNodeByName("C"));
    EXPECT_FALSE(node->SetCurrentTakeNodeByName("default"));   // exact names only
    EXPECT_STREQ(node->error.GetLastErrorString(), kTakeErrorUnknownName);
    EXPECT_EQ(node->GetCurrentTakeNodeIndex(), 0);
    EXPECT_FALSE(node->SetCurrentTakeNode(-1));
    EXPECT_EQ(node->GetCurrentTakeNodeIndex(), 0);
}

TEST_F(KDuzTakeNodeContainerTest, ChannelShapesOfInternalProperties) {
    TestNode* node = Make(false);
    KObject* internal = node->GetInternalObject();
    auto* rgba = new KPropertyTemplate<KgeRGBAVector>(internal, "Tint");
    rgba->GetInfo().ModifyFlags(KPropertyInfo::kAnimatable, true);
    auto* matrix = new KPropertyTemplate<KgeMatrix>(internal, "Frame");
    matrix->GetInfo().ModifyFlags(KPropertyInfo::kAnimatable, true);
    KDuzTakeNode* take = node->CreateDefaultTakeNode();
    ASSERT_NE(take, nullptr);

    KFCurveNode* tint = take->GetCurveNode()->FindByPath("Tint");
    ASSERT_NE(tint, nullptr);
    ASSERT_EQ(tint->GetChildCount(), 4);
    const char* names[] = {"X", "Y", "Z", "toto"};
    for (int i = 0; i < 4; ++i) EXPECT_STREQ(tint->GetChild(i)->GetName(), names[i]);

    KFCurveNode* frame = take->GetCurveNode()->FindByPath("Frame");
    ASSERT_NE(frame, nullptr);
    ASSERT_EQ(frame->GetChildCount(), 16);
    EXPECT_STREQ(frame->GetChild(9)->GetName(), "9");
    EXPECT_STREQ(frame->GetChild(15)->GetName(), "F");
    // Identity matrix by default: element 5 is 1.
    EXPECT_FLOAT_EQ(frame->GetChild(5)->GetCurve()->GetDefaultValue(), 1.0f);

    // The linked "toto" curve drives the fourth component.
    tint->GetChild(3)->GetCurve()->SetDefaultValue(0.5f);
    double values[16] = {};
    rgba->GetDoubles(values);
    EXPECT_DOUBLE_EQ(values[3], 0.5);
    frame->GetChild(12)->GetCurve()->SetDefaultValue(8.0f);
    matrix->GetDoubles(values);
    EXPECT_DOUBLE_EQ(values[12], 8.0);
}

TEST_F(KDuzTakeNodeContainerTest, LowerCaseDefaultTakeIsLinkedButNotSelectedByName) {
    TestNode* node = Make(false);
    auto* weight = new KPropertyTemplate<double>(node->GetInternalObject(), "Weight");
    weight->GetInfo().ModifyFlags(KPropertyInfo::kAnimatable, true);
    KDuzTakeNode* take = node->CreateTakeNode("default");
    ASSERT_NE(take, nullptr);
    KFCurveNode* weightNode = KDuzTakeNodeContainer::FindPropertyCurveNode(take, "Weight");
    ASSERT_NE(weightNode, nullptr);
    weightNode->GetCurve()->SetDefaultValue(4.0f);
    EXPECT_DOUBLE_EQ(weight->GetDouble(), 4.0);
    EXPECT_FALSE(node->SetCurrentTakeNodeByName("Default"));
    EXPECT_TRUE(node->SetCurrentTakeNodeByName("default"));
}

TEST_F(KDuzTakeNodeContainerTest, AttachedObjectsKeepTheirChannelsInTheContainer) {
    TestNode* node = Make();
    auto* attached = new Attached(manager, node);
    attached->PostCreate();
    KDuzProperty intensity = Animated(attached, "Intensity", "Number");
    double value = 10.0;
    intensity.SetValue(&value, 4);
    node->AddPropertyCurveNodes(intensity.GetBoundProperty(), node->GetDefaultTakeNode());
    KFCurveNode* curveNode = KDuzTakeNodeContainer::FindPropertyCurveNode(node->GetDefaultTakeNode(), "Intensity");
    ASSERT_NE(curveNode, nullptr);
    EXPECT_FLOAT_EQ(curveNode->GetCurve()->GetDefaultValue(), 10.0f);

    // A change on the attached object reaches its container's curves ...
    value = 20.0;
    intensity.SetValue(&value, 4);
    EXPECT_FLOAT_EQ(curveNode->GetCurve()->GetDefaultValue(), 20.0f);
    // ... and a new take is filled from its properties on request.
    KDuzTakeNode* run = node->CreateTakeNode("Run");
    value = 30.0;
    intensity.SetValue(&value, 4);
    KFCurveNode* runNode = KDuzTakeNodeContainer::FindPropertyCurveNode(run, "Intensity");
    ASSERT_NE(runNode, nullptr);
    EXPECT_FLOAT_EQ(runNode->GetCurve()->GetDefaultValue(), 20.0f);
    EXPECT_EQ(attached->SetTakeCurvesFromProperties(run), 1);
    EXPECT_FLOAT_EQ(runNode->GetCurve()->GetDefaultValue(), 30.0f);
    // The linked default-take curve drives the attached object's property.
    curveNode->GetCurve()->SetDefaultValue(5.0f);
    EXPECT_DOUBLE_EQ(intensity.GetDouble(), 5.0);
    attached->Destroy();
}

TEST_F(KDuzTakeNodeContainerTest, PropertiesWithoutAnimationGetNoCurves) {
    TestNode* node = Make();
    KDuzProperty still = KDuzProperty::Create(node, "Still", PropertyDataTypeFromName("Number"));
    EXPECT_EQ(KDuzTakeNodeContainer::FindPropertyCurveNode(node->GetDefaultTakeNode(), "Still"), nullptr);
    KDuzProperty color = Animated(node, "Color", "Color");
    KFCurveNode* colorNode = KDuzTakeNodeContainer::FindPropertyCurveNode(node->GetDefaultTakeNode(), "Color");
    ASSERT_NE(colorNode, nullptr);
    EXPECT_EQ(colorNode->GetChildCount(), 3);
    EXPECT_TRUE(color.GetFlag(kDuzPropertyFlag8));
    // Removing the property takes its curve node away, in every take.
    node->RemoveProperty(color);
    EXPECT_EQ(KDuzTakeNodeContainer::FindPropertyCurveNode(node->GetDefaultTakeNode(), "Color"), nullptr);
    EXPECT_EQ(color.GetOwner(), nullptr);
    EXPECT_EQ(node->GetCurveLinkCount(), 3);   // the translation's links stay
    color.Destroy();   // removal hands the record back to the caller
}

TEST_F(KDuzTakeNodeContainerTest, AnimationInterval) {
    TestNode* node = Make();
    KTime start(100), stop(200);
    EXPECT_FALSE(node->GetAnimationInterval(start, stop));
    EXPECT_EQ(start.Get(), 100);
    EXPECT_EQ(stop.Get(), 200);
    EXPECT_FALSE(node->IsChannelAnimated("Transform", "T", "X"));

    node->CreateTakeNode("Walk");
    KFCurve* x = node->Translation(1, 0);
    x->KeyAdd(KTime(50));
    x->KeyAdd(KTime(150));
    node->SetCurrentTakeNodeByName("Walk");
    EXPECT_TRUE(node->GetAnimationInterval(start, stop));
    EXPECT_EQ(start.Get(), 50);
    EXPECT_EQ(stop.Get(), 200);
    EXPECT_TRUE(node->IsChannelAnimated("Transform", "T", "X"));
    EXPECT_FALSE(node->IsChannelAnimated("Transform", "T", "Y"));
}

TEST_F(KDuzTakeNodeContainerTest, CopiedTakesAreLinkedAgain) {
    TestNode* source = Make();
    source->translation.Set(Vector3(1, 2, 3));
    source->CreateTakeNode("Jump");
    TestNode* target = Make();
    target->CopyTakeNodes(*source);
    EXPECT_EQ(target->GetTakeNodeCount(), 2);
    EXPECT_FLOAT_EQ(target->Translation(0, 1)->GetDefaultValue(), 2.0f);
    // The target's links follow its new default take, not the freed one.
    target->Translation(0, 0)->SetDefaultValue(11.0f);
    EXPECT_DOUBLE_EQ(target->translation.Get()[0], 11.0);
    EXPECT_DOUBLE_EQ(source->translation.Get()[0], 1.0);
}

TEST_F(KDuzTakeNodeContainerTest, DestroyThroughTheManagerClearsEverything) {
    {
        KClassId containerClass = KDuzClassIdOf(eDuzClassTakeNodeContainer);
        KDuzClassCreator saved = containerClass.GetCreator();
        KDuzClassTreeSetCreator(eDuzClassTakeNodeContainer, &KDuzTakeNodeContainer::ClassCreator);
        KDuzObject* container = dynamic_cast<KDuzObject*>(manager->CreateObject(containerClass, "c"));
        KDuzClassTreeSetCreator(eDuzClassTakeNodeContainer, saved);
        ASSERT_NE(container, nullptr);
        KDuzTakeNodeContainer* typed = KDuzTakeNodeContainer::Of(container);
        ASSERT_EQ(typed, container);
        typed->CreateDefaultTakeNode();
        Animated(typed, "Weight", "Number");
        EXPECT_EQ(typed->GetCurveLinkCount(), 1);
        EXPECT_EQ(manager->GetObjectCount(containerClass), 1);
        manager->DestroyObject(container);
        EXPECT_EQ(manager->GetObjectCount(), 0);
    }
}

}  // namespace
}  // namespace duzsdk

namespace duzsdk {
namespace {

// The manager builds a container, not a plain object, for the container's class.
TEST(KDuzTakeNodeContainerRegistration, ManagerCreatesTheRegisteredClass) {
    KDuzSdkManager* manager = KDuzSdkManager::Create();
    KDuzPlug* plug = manager->CreateObject(KDuzClassIdOf(eDuzClassTakeNodeContainer), "Take holder");
    ASSERT_NE(plug, nullptr);
    EXPECT_NE(dynamic_cast<KDuzTakeNodeContainer*>(plug), nullptr);
    manager->Destroy();
}

}  // namespace
}  // namespace duzsdk
