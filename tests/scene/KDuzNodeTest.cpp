#include "sdk/scene/KDuzNode.h"

#include "KDuzNodeTestSupport.h"
#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/animation/KFCurveNode.h"
#include "sdk/scene/KDuzNodeAttribute.h"

#include <cstring>
#include <string>

namespace duzsdk {
namespace {

using testing_node::NodeTest;
using testing_node::TypedAttribute;

// ---- hierarchy ----------------------------------------------------------------------

TEST_F(NodeTest, ChildrenHaveOneParentAndMoveToTheEnd) {
    KDuzNode* a = Node("a");
    KDuzNode* b = Node("b");
    KDuzNode* c = Node("c");
    KDuzNode* other = Node("other");
    EXPECT_FALSE(a->AddChild(nullptr));
    ASSERT_TRUE(a->AddChild(b));
    ASSERT_TRUE(a->AddChild(c));
    EXPECT_EQ(b->GetParent(), a);
    EXPECT_EQ(a->GetParent(), nullptr);
    EXPECT_EQ(a->GetChildCount(), 2);
    EXPECT_EQ(KDuzPlugGetSrcNode(a, 0), b);

    // Adding an existing child again moves it to the end.
    ASSERT_TRUE(a->AddChild(b));
    EXPECT_EQ(a->GetChild(0), c);
    EXPECT_EQ(a->GetChild(1), b);
    EXPECT_EQ(a->GetChildCount(), 2);

    // A child of another node moves here.
    ASSERT_TRUE(other->AddChild(c));
    EXPECT_EQ(c->GetParent(), other);
    EXPECT_EQ(a->GetChildCount(), 1);
    EXPECT_EQ(a->GetChild(1), nullptr);

    EXPECT_EQ(a->RemoveChild(b), b);
    EXPECT_EQ(b->GetParent(), nullptr);
    EXPECT_EQ(a->RemoveChild(nullptr), nullptr);
}

TEST_F(NodeTest, CyclesAreRefusedWithError5) {
    KDuzNode* root = Node("root");
    KDuzNode* child = Node("child");
    KDuzNode* grandchild = Node("grandchild");
    ASSERT_TRUE(root->AddChild(child));
    ASSERT_TRUE(child->AddChild(grandchild));

    for (KDuzNode* ancestor : {root, child, grandchild}) {
        SCOPED_TRACE(ancestor->GetName());
        EXPECT_FALSE(grandchild->AddChild(ancestor));
        EXPECT_EQ(grandchild->GetLastErrorIndex(), eDuzNodeErrorCyclicGraph);
        EXPECT_STREQ(grandchild->GetLastErrorString(),
                     "Operation with a target of the entity would generate a cyclic graph");
    }
    // The plug layer refuses too, and the tree is unchanged.
    EXPECT_FALSE(grandchild->ConnectSrcObject(root));
    EXPECT_EQ(root->GetParent(), nullptr);
    EXPECT_EQ(root->GetChildCount(true), 2);
    EXPECT_EQ(grandchild->FindChild("root"), nullptr);
}

TEST_F(NodeTest, RecursiveCountAndPreOrderSearch) {
    KDuzNode* root = Node("root");
    KDuzNode* first = Node("first");
    KDuzNode* second = Node("target");
    KDuzNode* deep = Node("target");
    ASSERT_TRUE(root->AddChild(first));
    ASSERT_TRUE(root->AddChild(second));
    ASSERT_TRUE(first->AddChild(deep));
    EXPECT_EQ(root->GetChildCount(false), 2);
    EXPECT_EQ(root->GetChildCount(true), 3);

    // The grandchild under the first child comes before the later child.
    EXPECT_EQ(root->FindChild("target", true), deep);
    EXPECT_EQ(root->FindChild("target", false), second);
    EXPECT_EQ(root->FindChild("Target", true), nullptr);  // case-sensitive
    deep->SetName("renamed");
    EXPECT_EQ(root->FindChild("target", true, false), second);
    // A rename keeps the initial name.
    EXPECT_EQ(root->FindChild("target", true, true), deep);
}

TEST_F(NodeTest, ChildNamesAreCheckedByIndex) {
    KDuzNode* node = Node();
    node->AddChildName("one");
    node->AddChildName(nullptr);
    EXPECT_EQ(node->GetChildNameCount(), 2);
    EXPECT_STREQ(node->GetChildName(0), "one");
    EXPECT_STREQ(node->GetChildName(1), "");
    EXPECT_EQ(node->GetChildName(2), nullptr);
    EXPECT_EQ(node->GetChildName(-1), nullptr);
}

// ---- attributes --------------------------------------------------------------------------

TEST_F(NodeTest, DefaultAttributeIndexAndErrors) {
    KDuzNode* node = Node();
    EXPECT_EQ(node->GetDefaultNodeAttributeIndex(), -1);
    EXPECT_EQ(node->GetNodeAttribute(), nullptr);
    EXPECT_FALSE(node->SetDefaultNodeAttributeIndex(0));
    EXPECT_EQ(node->GetLastErrorIndex(), eDuzNodeErrorIndexOutOfRange);
    EXPECT_STREQ(node->GetLastErrorString(), "Index out of range");

    TypedAttribute* light = Attribute(eLight);
    TypedAttribute* mesh = Attribute(eMesh);
    EXPECT_TRUE(node->AddNodeAttribute(light));
    EXPECT_EQ(node->GetDefaultNodeAttributeIndex(), 0);
    EXPECT_FALSE(node->AddNodeAttribute(light));
    EXPECT_FALSE(node->AddNodeAttribute(nullptr));
    EXPECT_TRUE(node->AddNodeAttribute(mesh));
    EXPECT_EQ(node->GetNodeAttributeCount(), 2);
    EXPECT_EQ(light->GetNode(), node);

    EXPECT_EQ(node->GetNodeAttributeIndex(mesh), 1);
    EXPECT_EQ(node->GetNodeAttributeIndex(nullptr), -1);
    EXPECT_EQ(node->GetLastErrorIndex(), eDuzNodeErrorAttributeNotConnected);
    EXPECT_STREQ(node->GetLastErrorString(), "Attribute not connected");
    EXPECT_TRUE(node->SetDefaultNodeAttributeIndex(1));
    EXPECT_EQ(node->GetNodeAttribute(), mesh);
    EXPECT_FALSE(node->SetDefaultNodeAttributeIndex(2));
    EXPECT_EQ(node->GetNodeAttributeByIndex(2), nullptr);
}

TEST_F(NodeTest, TypedGettersExactAndSearching) {
    KDuzNode* node = Node();
    TypedAttribute* camera = Attribute(eCamera);
    TypedAttribute* mesh = Attribute(eMesh);
    ASSERT_TRUE(node->AddNodeAttribute(camera));
    ASSERT_TRUE(node->AddNodeAttribute(mesh));
    // Default is the camera: the exact getters see it, the mesh is searched.
    EXPECT_EQ(node->GetCamera(), camera);
    EXPECT_EQ(node->GetLight(), nullptr);
    EXPECT_EQ(node->GetGeometry(), nullptr);
    EXPECT_EQ(node->GetMesh(), mesh);
    EXPECT_EQ(node->GetNurb(), nullptr);
    ASSERT_TRUE(node->SetDefaultNodeAttributeIndex(1));
    EXPECT_EQ(node->GetCamera(), nullptr);  // attached but not the default
    EXPECT_EQ(node->GetGeometry(), mesh);
    EXPECT_STREQ(node->GetTypeName().Buffer(), "Typed");
}

TEST_F(NodeTest, TypeNameOfANodeWithoutAttributeIsNull) {
    KDuzNode* node = Node();
    EXPECT_STREQ(node->GetTypeName().Buffer(), "Null");
    KStringList flags = node->GetTypeFlags();
    ASSERT_EQ(flags.GetCount(), 1);
    EXPECT_STREQ(flags.GetStringAt(0), "Null");
}

TEST_F(NodeTest, SetNodeAttributeKeepsOnlyThePreviousDefault) {
    KDuzNode* node = Node();
    TypedAttribute* first = Attribute(eNull, "first");
    TypedAttribute* second = Attribute(eNull, "second");
    TypedAttribute* third = Attribute(eNull, "third");
    ASSERT_TRUE(node->AddNodeAttribute(first));
    ASSERT_TRUE(node->AddNodeAttribute(second));
    ASSERT_TRUE(node->AddNodeAttribute(third));
    ASSERT_TRUE(node->SetDefaultNodeAttributeIndex(1));

    // An attached attribute only becomes the default.
    EXPECT_EQ(node->SetNodeAttribute(third), nullptr);
    EXPECT_EQ(node->GetDefaultNodeAttributeIndex(), 2);
    EXPECT_EQ(node->GetNodeAttributeCount(), 3);

    ASSERT_TRUE(node->SetDefaultNodeAttributeIndex(1));
    const int before = manager->GetObjectCount(KDuzNodeAttribute::ClassId());
    TypedAttribute* fresh = Attribute(eMesh, "fresh");
    KDuzObject* previous = node->SetNodeAttribute(fresh);
    EXPECT_EQ(previous, second);
    EXPECT_EQ(second->GetNode(), nullptr);                                     // detached, still alive
    EXPECT_EQ(node->GetLastErrorIndex(), eDuzNodeErrorAttributeNotConnected);  // left by the lookup
    EXPECT_EQ(node->GetNodeAttributeCount(), 1);
    EXPECT_EQ(node->GetNodeAttribute(), fresh);
    EXPECT_EQ(node->GetDefaultNodeAttributeIndex(), 0);
    // first and third were destroyed; second and fresh remain.
    EXPECT_EQ(manager->GetObjectCount(KDuzNodeAttribute::ClassId()), before - 2 + 1);
    previous->Destroy();

    EXPECT_EQ(node->SetNodeAttribute(nullptr), fresh);
    EXPECT_EQ(node->GetNodeAttributeCount(), 0);
    EXPECT_EQ(node->GetDefaultNodeAttributeIndex(), -1);
    fresh->Destroy();
}

TEST_F(NodeTest, DisplayValuesFollowTheDefaultAttribute) {
    struct Case {
        int type;
        int multiTake;
    };
    const Case cases[] = {{eLight, 0}, {eCamera, 0}, {eMesh, 1}, {eNull, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        KDuzNode* node = Node();
        KDuzObject* previous = node->SetNodeAttribute(Attribute(c.type));
        EXPECT_EQ(previous, nullptr);
        EXPECT_EQ(node->GetMultiTake(), c.multiTake);
        EXPECT_FALSE(node->GetMultiLayer());
    }
}

TEST_F(NodeTest, AttributeSharedByTwoNodesNamesTheLastOne) {
    KDuzNode* a = Node("a");
    KDuzNode* b = Node("b");
    TypedAttribute* shared = Attribute(eNull);
    EXPECT_EQ(a->SetNodeAttribute(shared), nullptr);
    EXPECT_EQ(b->SetNodeAttribute(shared), nullptr);
    EXPECT_EQ(a->GetNodeAttribute(), shared);
    EXPECT_EQ(b->GetNodeAttribute(), shared);
    EXPECT_EQ(shared->GetNode(), b);
}

TEST_F(NodeTest, DestroyingANodeTakesItsAttributes) {
    KDuzNode* node = Node();
    const int before = manager->GetObjectCount(KDuzNodeAttribute::ClassId());
    ASSERT_TRUE(node->AddNodeAttribute(Attribute(eNull)));
    node->Destroy();
    EXPECT_EQ(manager->GetObjectCount(KDuzNodeAttribute::ClassId()), before);
}

// ---- targets and display state --------------------------------------------------------------

TEST_F(NodeTest, LookAtAndUpVectorTargets) {
    KDuzNode* node = Node();
    KDuzNode* target = Node("target");
    KDuzNode* other = Node("other");
    EXPECT_EQ(node->GetLookAtTarget(), nullptr);
    EXPECT_TRUE(node->SetLookAtTarget(target));
    EXPECT_EQ(node->GetLookAtTarget(), target);
    EXPECT_TRUE(node->SetLookAtTarget(target));  // already there
    EXPECT_TRUE(node->SetLookAtTarget(other));
    EXPECT_EQ(node->GetLookAtTarget(), other);
    EXPECT_TRUE(node->SetLookAtTarget(nullptr));
    EXPECT_EQ(node->GetLookAtTarget(), nullptr);
    EXPECT_TRUE(node->SetUpVectorTarget(target));
    EXPECT_EQ(node->GetUpVectorTarget(), target);
    // The target is no child of the node.
    EXPECT_EQ(node->GetChildCount(), 0);
    EXPECT_EQ(target->GetParent(), nullptr);

    node->SetPostTargetRotation(KgeTVector(1, 2, 3, 0));
    node->SetTargetUpVector(KgeTVector(0, 1, 0, 0));
    EXPECT_DOUBLE_EQ(node->GetPostTargetRotation()[2], 3.0);
    EXPECT_DOUBLE_EQ(node->GetTargetUpVector()[1], 1.0);
}

TEST_F(NodeTest, VisibilityShadingAndFlags) {
    KDuzNode* root = Node("root");
    KDuzNode* child = Node("child");
    ASSERT_TRUE(root->AddChild(child));
    EXPECT_TRUE(root->GetVisibility());
    EXPECT_EQ(root->GetShadingMode(), 3);
    EXPECT_EQ(root->GetMultiTake(), 1);
    root->SetVisibility(false);
    EXPECT_FALSE(root->GetVisibility());
    EXPECT_DOUBLE_EQ(root->FindProperty("Visibility").GetDouble(), 0.0);
    bool show = true;
    root->FindProperty("Show").GetValue(&show, 1);
    EXPECT_FALSE(show);
    // The default take's visibility curve follows the property.
    KFCurveNode* visibility = root->GetDefaultTakeNode()->GetCurveNode()->FindByPath("Visibility");
    ASSERT_NE(visibility, nullptr);
    EXPECT_FLOAT_EQ(visibility->GetCurve()->GetDefaultValue(), 0.0f);

    EXPECT_FALSE(root->IsFlagged(true));
    child->SetFlagged(true);
    EXPECT_FALSE(root->IsFlagged(false));
    EXPECT_TRUE(root->IsFlagged(true));
}

TEST_F(NodeTest, CharacterLinks) {
    KDuzNode* node = Node();
    int character = 0;
    EXPECT_EQ(node->AddCharacterLink(&character, 0, 3, 0), 0);
    EXPECT_EQ(node->AddCharacterLink(&character, 3, 1, 2), 1);
    EXPECT_EQ(node->FindCharacterLink(&character, 3, 1, 2), 1);
    EXPECT_EQ(node->FindCharacterLink(&character, 3, 1, 1), -1);
    EXPECT_EQ(node->FindCharacterLink(nullptr, 0, 3, 0), -1);
    EXPECT_EQ(node->RemoveCharacterLink(&character, 0, 3, 0), 0);
    EXPECT_EQ(node->GetCharacterLinkCount(), 1);
    EXPECT_EQ(node->RemoveCharacterLink(&character, 0, 3, 0), -1);
    EXPECT_EQ(node->GetCharacterLink(1), nullptr);
}

TEST_F(NodeTest, DestroyHandsEachCharacterLinkToTheClearer) {
    static std::vector<KDuzNodeCharacterLink> cleared;
    cleared.clear();
    KDuzSetCharacterLinkClearer(
        [](const KDuzNodeCharacterLink& link, KDuzNode*) { cleared.push_back(link); });
    KDuzNode* node = Node();
    int character = 0;
    node->AddCharacterLink(&character, 2, 7, 0);
    node->Destroy();
    KDuzSetCharacterLinkClearer(nullptr);
    ASSERT_EQ(cleared.size(), 1u);
    EXPECT_EQ(cleared[0].type, 2);
    EXPECT_EQ(cleared[0].index, 7);
}

// ---- takes ----------------------------------------------------------------------------------------

TEST_F(NodeTest, TakeChannelsOfANode) {
    KDuzNode* node = Node();
    ASSERT_TRUE(node->SetLclTranslation(duzVectorTemplate3<double>(1, 2, 3)));
    KDuzTakeNode* take = node->CreateTakeNode("Walk");
    ASSERT_NE(take, nullptr);
    for (KDuzTakeNode* t : {node->GetDefaultTakeNode(), take}) {
        SCOPED_TRACE(t->GetName());
        KFCurveNode* transform = t->GetCurveNode()->FindByPath("Transform");
        ASSERT_NE(transform, nullptr);
        ASSERT_EQ(transform->GetChildCount(), 3);
        const char* groups[] = {"T", "R", "S"};
        for (int g = 0; g < 3; ++g) EXPECT_STREQ(transform->GetChild(g)->GetName(), groups[g]);
        EXPECT_FLOAT_EQ(t->GetTranslationYCurve()->GetDefaultValue(), 2.0f);
        EXPECT_FLOAT_EQ(t->GetScalingZCurve()->GetDefaultValue(), 1.0f);
        const float* rgb = t->GetTranslationXCurve()->GetColor();
        EXPECT_FLOAT_EQ(rgb[0], 1.0f);
        EXPECT_FLOAT_EQ(rgb[1], 0.0f);
        ASSERT_NE(t->GetCurveNode()->FindByPath("Visibility"), nullptr);
    }
    // Only the default take drives the property.
    node->GetDefaultTakeNode()->GetTranslationXCurve()->SetDefaultValue(5.0f);
    EXPECT_DOUBLE_EQ(node->GetLclTranslation()[0], 5.0);
    take->GetTranslationXCurve()->SetDefaultValue(9.0f);
    EXPECT_DOUBLE_EQ(node->GetLclTranslation()[0], 5.0);
}

TEST_F(NodeTest, CurrentTakeByIndexOutOfRange) {
    KDuzNode* node = Node();
    ASSERT_NE(node->CreateTakeNode("Walk"), nullptr);
    EXPECT_TRUE(node->SetCurrentTakeNodeByIndex(1));
    EXPECT_EQ(node->GetCurrentTakeNodeIndex(), 1);
    EXPECT_FALSE(node->SetCurrentTakeNodeByIndex(2));
    EXPECT_EQ(node->GetCurrentTakeNodeIndex(), 0);
    EXPECT_STREQ(node->GetLastErrorString(), "Index out of range");
}

TEST_F(NodeTest, AnimationIntervalCoversTheSubtree) {
    KDuzNode* root = Node("root");
    KDuzNode* child = Node("child");
    ASSERT_TRUE(root->AddChild(child));
    KTime start(100), stop(200);
    EXPECT_FALSE(root->GetAnimationInterval(start, stop));
    EXPECT_EQ(start.Get(), 100);

    KFCurve* curve = child->GetDefaultTakeNode()->GetTranslationXCurve();
    ASSERT_NE(curve, nullptr);
    curve->KeySetValue(curve->KeyAdd(KTime(50)), 1.0f);
    curve->KeySetValue(curve->KeyAdd(KTime(500)), 2.0f);
    EXPECT_TRUE(root->GetAnimationInterval(start, stop));
    EXPECT_EQ(start.Get(), 50);
    EXPECT_EQ(stop.Get(), 500);
}

// ---- copy -------------------------------------------------------------------------------------------

TEST_F(NodeTest, CopyClonesAttributesAndPivotsButNotChildren) {
    KDuzNode* source = Node("source");
    KDuzNode* child = Node("child");
    KDuzNode* target = Node("target");
    ASSERT_TRUE(source->AddChild(child));
    ASSERT_TRUE(source->AddNodeAttribute(Attribute(eNull, "n")));
    ASSERT_TRUE(source->AddNodeAttribute(Attribute(eMesh, "m")));
    ASSERT_TRUE(source->SetDefaultNodeAttributeIndex(1));
    ASSERT_TRUE(source->SetLookAtTarget(target));
    source->SetRotationPivot(0, KgeTVector(1, 2, 3, 1));
    source->SetRotationPivot(1, KgeTVector(4, 5, 6, 1));
    source->SetScalingOffset(0, KgeTVector(7, 7, 7, 1));
    source->SetShadingMode(5);
    source->SetVisibility(false);
    ASSERT_TRUE(source->SetLclTranslation(duzVectorTemplate3<double>(1, 1, 1)));

    auto* copy = dynamic_cast<KDuzNode*>(source->Clone(2));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(source->Clone(1), nullptr);
    EXPECT_STREQ(copy->GetName(), "source");
    EXPECT_EQ(copy->GetChildCount(), 0);
    EXPECT_EQ(copy->GetLookAtTarget(), target);
    ASSERT_EQ(copy->GetNodeAttributeCount(), 2);
    // The first clone is the default whatever the source's default was.
    EXPECT_EQ(copy->GetDefaultNodeAttributeIndex(), 0);
    EXPECT_EQ(KDuzNode::GetAttributeTypeOf(copy->GetNodeAttribute()), eNull);
    EXPECT_NE(copy->GetNodeAttribute(), source->GetNodeAttributeByIndex(0));
    EXPECT_DOUBLE_EQ(copy->GetRotationPivot(0)[1], 2.0);
    EXPECT_DOUBLE_EQ(copy->GetRotationPivot(1)[2], 6.0);
    EXPECT_DOUBLE_EQ(copy->GetScalingOffset(0)[0], 0.0);  // not copied
    EXPECT_EQ(copy->GetShadingMode(), 5);
    EXPECT_FALSE(copy->GetVisibility());
    EXPECT_FLOAT_EQ(copy->GetDefaultTakeNode()->GetTranslationXCurve()->GetDefaultValue(), 1.0f);
}

}  // namespace
}  // namespace duzsdk
