#include "sdk/scene/KDuzScene.h"

#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzCameraSwitcher.h"
#include "sdk/scene/KDuzGenericNode.h"
#include "sdk/scene/KDuzGlobalCameraSettings.h"
#include "sdk/scene/KDuzGlobalLightSettings.h"
#include "sdk/scene/KDuzGlobalSettings.h"
#include "sdk/scene/KDuzGlobalTimeSettings.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNull.h"
#include "sdk/scene/KDuzPose.h"
#include "sdk/scene/KDuzSceneInfo.h"
#include "sdk/scene/KDuzSkeleton.h"

#include <gtest/gtest.h>

#include "scene/SceneTestFixture.h"

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace duzsdk {
namespace {

class KDuzSceneTest : public SceneTestFixture {
protected:
    void SetUp() override {
        SceneTestFixture::SetUp();
        if (HasFatalFailure()) return;
        root = scene->GetRootNode();
        ASSERT_NE(root, nullptr);
    }

    KDuzNode* AddNode(KDuzNode* parent, const char* name) {
        KDuzNode* node = KDuzNode::Create(manager, name);
        EXPECT_NE(node, nullptr);
        if (node != nullptr) {
            EXPECT_TRUE(parent->AddChild(node));
        }
        return node;
    }

    static std::vector<std::string> Names(const KPointerArray<KDuzNode>& nodes) {
        std::vector<std::string> names;
        for (KDuzNode* node : nodes) names.push_back(node->GetName());
        return names;
    }

    KDuzNode* root = nullptr;
};

TEST_F(KDuzSceneTest, NewSceneHoldsItsNodesAndSettings) {
    EXPECT_TRUE(scene->Is(KDuzClassIdOf(eDuzClassScene)));
    EXPECT_STREQ(scene->GetNamePrefix().Buffer(), "Scene::");
    EXPECT_STREQ(root->GetName(), "RootNode");
    EXPECT_EQ(root->GetScene(), scene);

    KDuzNode* switcherNode = scene->GetCameraSwitcherNode();
    ASSERT_NE(switcherNode, nullptr);
    EXPECT_STREQ(switcherNode->GetName(), "Camera Switcher");
    EXPECT_FALSE(switcherNode->GetVisibility());
    EXPECT_EQ(switcherNode->GetShadingMode(), 1);
    EXPECT_NE(dynamic_cast<KDuzCameraSwitcher*>(switcherNode->GetNodeAttribute()), nullptr);

    // The producer nodes of the camera settings are not the scene's.
    EXPECT_EQ(scene->GetNodeCount(), 2);
    EXPECT_EQ(scene->GetNode(0), root);
    EXPECT_EQ(scene->GetNode(1), switcherNode);
    EXPECT_EQ(scene->GetNode(2), nullptr);
    EXPECT_EQ(scene->GetSrcObjectCount(KDuzClassIdOf(eDuzClassGlobalSettings)), 1);
    ASSERT_NE(scene->GetGlobalSettings(), nullptr);
    EXPECT_STREQ(scene->GetGlobalSettings()->GetName(), "GlobalSettings");
    EXPECT_NE(scene->GetGlobalLightSettings(), nullptr);
    EXPECT_NE(scene->GetGlobalCameraSettings(), nullptr);
    EXPECT_NE(scene->GetGlobalTimeSettings(), nullptr);
    EXPECT_STREQ(scene->GetCurrentTakeName(), "");
    EXPECT_EQ(scene->GetTakeDescriptionCount(), 0);
    EXPECT_EQ(scene->GetSceneInfo(), nullptr);
    EXPECT_EQ(scene->GetPoseCount(), 0);
    EXPECT_EQ(scene->GetMaterialCount(), 0);
    EXPECT_EQ(scene->GetMaterial(0), nullptr);
}

TEST_F(KDuzSceneTest, ConnectionGuardRefusesASecondConnection) {
    KDuzPose* pose = KDuzPose::Create(manager, "pose");
    EXPECT_FALSE(scene->ConnectObject(nullptr));
    EXPECT_TRUE(scene->ConnectObject(pose));
    EXPECT_FALSE(scene->ConnectObject(pose));
    EXPECT_EQ(scene->GetPoseCount(), 1);
    EXPECT_EQ(scene->GetPose(0), pose);
}

TEST_F(KDuzSceneTest, NodesJoinTheSceneThroughTheTree) {
    KDuzNode* a = AddNode(root, "A");
    KDuzNode* b = AddNode(a, "B");
    EXPECT_EQ(b->GetScene(), scene);
    EXPECT_EQ(scene->GetNodeCount(), 4);
    EXPECT_EQ(scene->FindNode("B"), b);
    EXPECT_EQ(scene->FindNode("b"), nullptr);   // case-sensitive
    EXPECT_EQ(scene->FindNode(nullptr), nullptr);
}

TEST_F(KDuzSceneTest, ObjectListsByClass) {
    KDuzGenericNode* generic = KDuzGenericNode::Create(manager, "generic");
    ASSERT_NE(generic, nullptr);
    ASSERT_TRUE(scene->ConnectObject(generic));
    EXPECT_EQ(scene->GetGenericNodeCount(), 1);
    EXPECT_EQ(scene->GetGenericNode(0), generic);
    EXPECT_EQ(scene->FindGenericNode("generic"), generic);
    EXPECT_EQ(scene->FindGenericNode("other"), nullptr);
    // Nodes and generic nodes are take-node containers.
    EXPECT_EQ(scene->GetTakeNodeContainerCount(), 3);
    EXPECT_EQ(scene->GetTakeNodeContainer(2), generic);
    EXPECT_EQ(scene->GetTakeNodeContainer(3), nullptr);
}

TEST_F(KDuzSceneTest, CreatedCharacterObjectsReportTheirIndex) {
    EXPECT_EQ(scene->CreateCharacter("c0"), 0);
    EXPECT_EQ(scene->CreateCharacter("c1"), 1);
    EXPECT_EQ(scene->CreateControlSetPlug("plug"), 0);
    EXPECT_EQ(scene->CreateCharacterPose("p0"), 0);
    EXPECT_EQ(scene->CreateCharacterPose("p1"), 1);
    EXPECT_EQ(scene->GetCharacterCount(), 2);
    EXPECT_EQ(scene->GetControlSetPlugCount(), 1);
    ASSERT_EQ(scene->GetCharacterPoseCount(), 2);

    EXPECT_FALSE(scene->DestroyCharacterPose(2));
    EXPECT_FALSE(scene->DestroyCharacterPose(-1));
    KDuzObject* second = scene->GetCharacterPose(1);
    EXPECT_TRUE(scene->DestroyCharacterPose(0));
    EXPECT_EQ(scene->GetCharacterPoseCount(), 1);
    EXPECT_EQ(scene->GetCharacterPose(0), second);
}

TEST_F(KDuzSceneTest, SetCurrentTakeSwitchesEveryContainerThatHasTheTake) {
    KDuzNode* a = AddNode(root, "A");
    ASSERT_NE(a->CreateTakeNode("Walk"), nullptr);

    EXPECT_TRUE(scene->SetCurrentTake("Default"));
    EXPECT_FALSE(scene->SetCurrentTake("Walk"));
    EXPECT_STREQ(scene->GetCurrentTakeName(), "Walk");
    EXPECT_EQ(scene->GetError().GetLastErrorIndex(), KDuzScene::eTakeError);
    EXPECT_STREQ(scene->GetError().GetLastErrorString(), "Not all nodes have a take node called Walk");
    // The container that had the take switched; nothing was undone.
    EXPECT_STREQ(a->GetCurrentTakeNode()->GetName(), "Walk");
    EXPECT_STREQ(root->GetCurrentTakeNode()->GetName(), "Default");
}

TEST_F(KDuzSceneTest, SetCurrentTakeWithoutContainersSucceeds) {
    scene->DisconnectSrcObject(root);
    scene->DisconnectSrcObject(scene->GetCameraSwitcherNode());
    ASSERT_EQ(scene->GetTakeNodeContainerCount(), 0);
    EXPECT_TRUE(scene->SetCurrentTake("Anything"));
    EXPECT_STREQ(scene->GetCurrentTakeName(), "Anything");
}

TEST_F(KDuzSceneTest, TakeNameListHoldsEachNameOnceInOrderOfFirstAppearance) {
    KDuzNode* a = AddNode(root, "A");
    KDuzNode* b = AddNode(root, "B");
    a->CreateTakeNode("Run");
    a->CreateTakeNode("Walk");
    b->CreateTakeNode("Walk");
    b->CreateTakeNode("Jump");
    b->CreateTakeNode("run");   // names are compared with case

    KPointerArray<KString> names;
    names.Add(new KString("stale"));   // deleted by the fill
    scene->FillTakeNameList(names);
    std::vector<std::string> got;
    for (KString* name : names) got.push_back(name->Buffer());
    EXPECT_EQ(got, (std::vector<std::string>{"Default", "Run", "Walk", "Jump", "run"}));
    for (KString* name : names) delete name;

    EXPECT_TRUE(scene->HasTakeName(KString("Jump")));
    EXPECT_FALSE(scene->HasTakeName(KString("jump")));
}

TEST_F(KDuzSceneTest, TakeDescriptionsOnlyForKnownTakesOneRecordPerName) {
    AddNode(root, "A")->CreateTakeNode("Walk");
    KDuzTakeDescription description;
    description.name = "Missing";
    EXPECT_FALSE(scene->SetTakeDescription(description));
    EXPECT_EQ(scene->GetTakeDescriptionCount(), 0);

    description.name = "Walk";
    description.comments = "first";
    EXPECT_TRUE(scene->SetTakeDescription(description));
    description.comments = "second";
    EXPECT_TRUE(scene->SetTakeDescription(description));
    ASSERT_EQ(scene->GetTakeDescriptionCount(), 1);
    KDuzTakeDescription* stored = scene->GetTakeDescription(KString("Walk"));
    ASSERT_NE(stored, nullptr);
    EXPECT_STREQ(stored->comments.Buffer(), "second");
    EXPECT_EQ(scene->GetTakeDescription(KString("walk")), nullptr);
    EXPECT_EQ(scene->GetTakeDescriptionAt(1), nullptr);
}

TEST_F(KDuzSceneTest, NodeAttributeListFindsEachMatchingNodeOnce) {
    KDuzNode* a = AddNode(root, "A");
    KDuzNode* a1 = AddNode(a, "A1");
    KDuzNode* b = AddNode(root, "B");
    // B joins the scene before A1's subtree grows: connection order differs
    // from tree order.
    KDuzNode* a2 = AddNode(a, "A2");
    ASSERT_TRUE(b->AddNodeAttribute(KDuzNull::Create(manager, "n1")));
    ASSERT_TRUE(b->AddNodeAttribute(KDuzNull::Create(manager, "n2")));
    ASSERT_TRUE(a2->AddNodeAttribute(KDuzNull::Create(manager, "n3")));
    ASSERT_TRUE(a1->AddNodeAttribute(KDuzSkeleton::Create(manager, "s")));
    ASSERT_TRUE(a1->AddNodeAttribute(KDuzNull::Create(manager, "n4")));   // not the default

    KPointerArray<KDuzNode> nodes;
    nodes.Add(root);   // emptied first
    scene->FillNodeAttributeList(nodes, eNull, true);
    EXPECT_EQ(Names(nodes), (std::vector<std::string>{"A1", "A2", "B"}));
    scene->FillNodeAttributeList(nodes, eNull, false);
    EXPECT_EQ(Names(nodes), (std::vector<std::string>{"A1", "B", "A2"}));
    scene->FillNodeAttributeList(nodes, eCameraSwitcher, true);
    EXPECT_TRUE(nodes.IsEmpty());   // the switcher node is not in the tree
    scene->FillNodeAttributeList(nodes, eCameraSwitcher, false);
    EXPECT_EQ(Names(nodes), (std::vector<std::string>{"Camera Switcher"}));
}

TEST_F(KDuzSceneTest, ClearReturnsToANewSceneKeepingTheTwoNodes) {
    KDuzNode* switcherNode = scene->GetCameraSwitcherNode();
    KDuzObject* switcher = switcherNode->GetNodeAttribute();
    const HdlKObject oldSettings = HdlKObject::FromPlug(scene->GetGlobalSettings()->GetInternalPlug());
    KDuzNode* a = AddNode(root, "A");
    AddNode(a, "A1");
    root->CreateTakeNode("Walk");
    root->CreateTakeNode("Run");
    switcherNode->CreateTakeNode("Walk");
    switcherNode->SetName("Renamed");
    switcherNode->SetVisibility(true);
    KDuzTakeDescription description;
    description.name = "Walk";
    ASSERT_TRUE(scene->SetTakeDescription(description));
    scene->SetCurrentTake("Walk");
    KDuzSceneInfo* info = KDuzSceneInfo::Create(manager, "info");
    scene->SetSceneInfo(info);
    ASSERT_TRUE(scene->ConnectObject(info));   // as a reader may do
    scene->GetGlobalTimeSettings()->SetTimeMode(3);
    const int objectsBefore = manager->GetObjectCount();

    scene->Clear();

    EXPECT_EQ(scene->GetRootNode(), root);
    EXPECT_EQ(scene->GetCameraSwitcherNode(), switcherNode);
    EXPECT_EQ(switcherNode->GetNodeAttribute(), switcher);
    EXPECT_EQ(scene->GetNodeCount(), 2);
    EXPECT_EQ(root->GetChildCount(), 0);
    EXPECT_EQ(root->GetTakeNodeCount(), 1);
    EXPECT_EQ(switcherNode->GetTakeNodeCount(), 1);
    EXPECT_STREQ(switcherNode->GetName(), "Camera Switcher");
    EXPECT_FALSE(switcherNode->GetVisibility());
    EXPECT_TRUE(scene->IsConnectedSrcObject(switcher));
    EXPECT_EQ(scene->GetSceneInfo(), nullptr);
    EXPECT_EQ(scene->GetTakeDescriptionCount(), 0);
    EXPECT_STREQ(scene->GetCurrentTakeName(), "");
    EXPECT_EQ(scene->GetGlobalTimeSettings()->GetTimeMode(), 6);
    // A fresh settings object replaces the destroyed one.
    EXPECT_FALSE(oldSettings.IsLive());
    ASSERT_EQ(scene->GetSrcObjectCount(KDuzClassIdOf(eDuzClassGlobalSettings)), 1);
    EXPECT_STREQ(scene->GetGlobalSettings()->GetName(), "GlobalSettings");
    // A, A1, the info and the old settings went; one new settings object came.
    EXPECT_EQ(manager->GetObjectCount(), objectsBefore - 4 + 1);
}

// A file may connect the root or the switcher node below one of its own
// nodes; clearing destroys that node, and must neither take the kept nodes
// along nor touch them afterwards.
TEST_F(KDuzSceneTest, ClearKeepsTheTwoNodesAFileHungBelowItsOwn) {
    KDuzNode* switcherNode = scene->GetCameraSwitcherNode();
    for (KDuzNode* kept : {root, switcherNode}) {
        SCOPED_TRACE(kept->GetName());
        KDuzNode* outer = KDuzNode::Create(manager, "Outer");
        ASSERT_TRUE(scene->ConnectObject(outer));
        ASSERT_TRUE(outer->AddChild(kept));
        ASSERT_EQ(kept->GetParent(), outer);
        const HdlKObject outerHandle = HdlKObject::FromPlug(outer->GetInternalPlug());

        scene->Clear();

        EXPECT_FALSE(outerHandle.IsLive());
        EXPECT_EQ(scene->GetRootNode(), root);
        EXPECT_EQ(scene->GetCameraSwitcherNode(), switcherNode);
        EXPECT_EQ(kept->GetParent(), nullptr);
        EXPECT_TRUE(scene->IsConnectedSrcObject(kept));
        EXPECT_EQ(scene->GetNodeCount(), 2);
    }
}

TEST_F(KDuzSceneTest, SceneInfoDestroyedElsewhereReadsAsNull) {
    KDuzSceneInfo* info = KDuzSceneInfo::Create(manager, "info");
    EXPECT_EQ(scene->SetSceneInfo(info), info);
    EXPECT_EQ(scene->GetSceneInfo(), info);
    info->Destroy();
    EXPECT_EQ(scene->GetSceneInfo(), nullptr);
    scene->Clear();   // nothing left to destroy twice
}

TEST_F(KDuzSceneTest, SetCameraSwitcherNodeReplacesOnlyAnotherNode) {
    KDuzNode* current = scene->GetCameraSwitcherNode();
    scene->SetCameraSwitcherNode(current);
    EXPECT_EQ(scene->GetCameraSwitcherNode(), current);
    EXPECT_STREQ(current->GetName(), "Camera Switcher");   // still alive

    KDuzNode* replacement = KDuzNode::Create(manager, "Camera Switcher");
    const int nodes = manager->GetObjectCount(KDuzClassIdOf(eDuzClassNode));
    scene->SetCameraSwitcherNode(replacement);
    EXPECT_EQ(scene->GetCameraSwitcherNode(), replacement);
    EXPECT_EQ(manager->GetObjectCount(KDuzClassIdOf(eDuzClassNode)), nodes - 1);
}

TEST_F(KDuzSceneTest, LegacySkeletonsBelowOtherNodesInheritFully) {
    struct Row {
        const char* name;
        const char* parent;
        bool skeleton;
        bool legacy;
        int inheritType;
        int expected;
    };
    constexpr Row kRows[] = {
        {"plain", nullptr, false, true, 2, 2},      // not a skeleton
        {"top", nullptr, true, true, 2, 1},         // below the root, which is no skeleton
        {"below", "top", true, true, 2, 2},         // parent is a skeleton
        {"new", "plain", true, false, 2, 2},        // not from an old file
        {"deep", "plain", true, true, 2, 1},        // found by the recursion
        {"type0", "plain", true, true, 0, 0},
    };
    for (const Row& row : kRows) {
        KDuzNode* parent = row.parent != nullptr ? root->FindChild(row.parent, true) : root;
        ASSERT_NE(parent, nullptr);
        KDuzNode* node = AddNode(parent, row.name);
        if (row.skeleton) {
            ASSERT_EQ(node->SetNodeAttribute(KDuzSkeleton::Create(manager, "")), nullptr);
        }
        node->SetLegacyModel(row.legacy);
        node->SetTransformationInheritType(row.inheritType);
    }
    scene->ConvertSkeletonInheritTypes(root);
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(root->FindChild(row.name, true)->GetTransformationInheritType(), row.expected);
    }
    scene->ConvertSkeletonInheritTypes(nullptr);
}

TEST_F(KDuzSceneTest, DestroyingTheSceneDestroysEverythingItHolds) {
    KDuzNode* a = AddNode(root, "A");
    AddNode(a, "A1");
    ASSERT_TRUE(a->SetNodeAttribute(KDuzNull::Create(manager, "")) == nullptr);
    KDuzPose* pose = KDuzPose::Create(manager, "pose");
    scene->ConnectObject(pose);
    pose->Add(a, KgeMatrix());
    KDuzTakeDescription description;
    description.name = "Default";
    scene->SetTakeDescription(description);
    scene->SetSceneInfo(KDuzSceneInfo::Create(manager, "info"));

    scene->Destroy(true);
    EXPECT_EQ(manager->GetObjectCount(), 0);
}

TEST_F(KDuzSceneTest, DestroyingNodesInShuffledOrderKeepsEveryListInStep) {
    // Nodes made in one order, put below the root in another and destroyed
    // in a third, with more added halfway: the root's children, the scene's
    // nodes and the manager's objects must read in order after each step.
    const KClassId nodeClass = KDuzClassIdOf(eDuzClassNode);
    std::vector<KDuzObject*> sceneNodes;
    for (int i = 0; i < scene->GetNodeCount(); ++i) sceneNodes.push_back(scene->GetNode(i));
    std::vector<KDuzObject*> managerNodes;
    for (int i = 0; i < manager->GetObjectCount(nodeClass); ++i) managerNodes.push_back(manager->GetObject(nodeClass, i));
    std::vector<KDuzObject*> children;

    auto make = [&](int count, unsigned seed) {
        std::vector<KDuzNode*> made;
        for (int i = 0; i < count; ++i) {
            made.push_back(KDuzNode::Create(manager, ("n" + std::to_string(managerNodes.size())).c_str()));
            managerNodes.push_back(made.back());
        }
        std::shuffle(made.begin(), made.end(), std::mt19937(seed));
        for (KDuzNode* node : made) {
            ASSERT_TRUE(root->AddChild(node));
            children.push_back(node);
            sceneNodes.push_back(node);
        }
    };
    auto expectInStep = [&] {
        ASSERT_EQ(root->GetChildCount(), static_cast<int>(children.size()));
        for (int i = 0; i < root->GetChildCount(); ++i) ASSERT_EQ(root->GetChild(i), children[static_cast<size_t>(i)]) << i;
        ASSERT_EQ(scene->GetNodeCount(), static_cast<int>(sceneNodes.size()));
        for (int i = 0; i < scene->GetNodeCount(); ++i) ASSERT_EQ(scene->GetNode(i), sceneNodes[static_cast<size_t>(i)]) << i;
        ASSERT_EQ(manager->GetObjectCount(nodeClass), static_cast<int>(managerNodes.size()));
        for (int i = 0; i < manager->GetObjectCount(nodeClass); ++i)
            ASSERT_EQ(manager->GetObject(nodeClass, i), managerNodes[static_cast<size_t>(i)]) << i;
    };
    auto destroy = [&](std::size_t count, unsigned seed) {
        std::vector<KDuzObject*> doomed(children);
        std::shuffle(doomed.begin(), doomed.end(), std::mt19937(seed));
        doomed.resize(count);
        for (std::size_t k = 0; k < doomed.size(); ++k) {
            for (auto* list : {&children, &sceneNodes, &managerNodes})
                list->erase(std::find(list->begin(), list->end(), doomed[k]));
            doomed[k]->Destroy();
            if (k % 23 == 0) {
                expectInStep();
                if (HasFatalFailure()) return;
            }
        }
        expectInStep();
    };

    ASSERT_NO_FATAL_FAILURE(make(400, 1));
    ASSERT_NO_FATAL_FAILURE(expectInStep());
    ASSERT_NO_FATAL_FAILURE(destroy(250, 2));
    ASSERT_NO_FATAL_FAILURE(make(100, 3));
    ASSERT_NO_FATAL_FAILURE(destroy(children.size(), 4));
    EXPECT_EQ(root->GetChildCount(), 0);
}

}  // namespace
}  // namespace duzsdk
