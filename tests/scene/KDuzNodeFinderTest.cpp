#include "sdk/scene/KDuzNodeFinderDuplicateName.h"

#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace duzsdk {
namespace {

class KDuzNodeFinderTest : public testing::Test {
protected:
    void SetUp() override {
        manager = KDuzSdkManager::Create();
        ASSERT_NE(manager, nullptr);
    }
    void TearDown() override {
        if (manager != nullptr) manager->Destroy();
    }

    KDuzNode* Node(const char* name, KDuzNode* parent = nullptr) {
        KDuzNode* node = KDuzNode::Create(manager, name);
        EXPECT_NE(node, nullptr);
        if (parent != nullptr && node != nullptr) {
            EXPECT_TRUE(parent->AddChild(node));
        }
        return node;
    }

    KDuzObject* Material(const char* name) {
        return dynamic_cast<KDuzObject*>(manager->CreateObject(KDuzClassIdOf(eDuzClassSurfaceMaterial), name));
    }

    static std::vector<KDuzNode*> List(const KPointerArray<KDuzNode>& nodes) {
        return std::vector<KDuzNode*>(nodes.begin(), nodes.end());
    }

    KDuzSdkManager* manager = nullptr;
};

// Accepts every node whose name starts with the letter it was given.
class InitialFinder : public KDuzNodeFinder {
public:
    explicit InitialFinder(char initial) : mInitial(initial) {}
    void Reset() override { mResults.Clear(); }
    bool CheckNode(KDuzNode* node) override { return node->GetName()[0] == mInitial; }

private:
    char mInitial;
};

TEST_F(KDuzNodeFinderTest, WalkIsPreOrderAndTestsTheRoot) {
    KDuzNode* root = Node("x-root");
    KDuzNode* a = Node("xa", root);
    KDuzNode* a1 = Node("xa1", a);
    Node("ya2", a);
    KDuzNode* b = Node("xb", root);
    InitialFinder finder('x');
    EXPECT_EQ(List(finder.Apply(root)), (std::vector<KDuzNode*>{root, a, a1, b}));
    EXPECT_EQ(finder.GetSearchRoot(), root);
    finder.Reset();
    EXPECT_TRUE(finder.Apply(nullptr).IsEmpty());
    EXPECT_EQ(finder.GetSearchRoot(), nullptr);
}

TEST_F(KDuzNodeFinderTest, DeepChainIsWalkedWhole) {
    KDuzNode* root = Node("x");
    KDuzNode* last = root;
    for (int i = 0; i < 2000; ++i) last = Node("x", last);
    KDuzNodeFinderDuplicateName finder(nullptr);
    const KPointerArray<KDuzNode>& found = finder.Apply(root);
    ASSERT_EQ(found.Count(), 2000);   // every node but the first clashes
    EXPECT_EQ(found[1999], last);
}

TEST_F(KDuzNodeFinderTest, SecondSiblingOfTheSameNameIsTheDuplicate) {
    KDuzNode* root = Node("root");
    Node("A", root);
    Node("B", root);
    KDuzNode* secondA = Node("A", root);
    KDuzNodeFinderDuplicateName finder(nullptr);
    EXPECT_EQ(List(finder.Apply(root)), std::vector<KDuzNode*>{secondA});
    EXPECT_EQ(List(finder.GetDuplicateNodes()), std::vector<KDuzNode*>{secondA});

    // Reset forgets the walk: the same tree gives the same answer again.
    finder.Reset();
    EXPECT_TRUE(finder.GetResults().IsEmpty());
    EXPECT_EQ(List(finder.Apply(root)), std::vector<KDuzNode*>{secondA});
}

TEST_F(KDuzNodeFinderTest, NamesAreComparedExactly) {
    KDuzNode* root = Node("root");
    Node("a", root);
    Node("A", root);
    Node("A ", root);
    KDuzNodeFinderDuplicateName finder(nullptr);
    EXPECT_TRUE(finder.Apply(root).IsEmpty());
}

TEST_F(KDuzNodeFinderTest, NamesOfAReferenceSceneClashAtTheirFirstOccurrence) {
    KDuzScene* reference = KDuzScene::Create(manager, "reference");
    ASSERT_NE(reference, nullptr);
    KDuzNode* inReference = Node("B", reference->GetRootNode());
    Node("deep", inReference);

    KDuzNode* root = Node("RootNode");   // the reference root's own name is not a clash
    KDuzNode* b = Node("B", root);
    KDuzNode* deep = Node("deep", b);
    Node("C", root);
    KDuzNodeFinderDuplicateName finder(reference);
    EXPECT_EQ(List(finder.Apply(root)), (std::vector<KDuzNode*>{b, deep}));
}

TEST_F(KDuzNodeFinderTest, NodeNameOptionOffAcceptsNothing) {
    KDuzNode* root = Node("root");
    Node("A", root);
    Node("A", root);
    KDuzNodeFinderDuplicateName finder(nullptr);
    EXPECT_TRUE(finder.GetOption(KDuzNodeFinderDuplicateName::eCheckNodeName));
    EXPECT_TRUE(finder.SetOption(KDuzNodeFinderDuplicateName::eCheckNodeName, false));
    EXPECT_TRUE(finder.Apply(root).IsEmpty());
    EXPECT_TRUE(finder.GetDuplicateNodes().IsEmpty());
}

TEST_F(KDuzNodeFinderTest, OptionIndexOutsideTheFlagsIsRefused) {
    KDuzNodeFinderDuplicateName finder(nullptr);
    for (int index : {-1, 5, 1000}) {
        SCOPED_TRACE(index);
        EXPECT_FALSE(finder.SetOption(index, true));
        EXPECT_FALSE(finder.GetOption(index));
    }
    EXPECT_FALSE(finder.GetOption(KDuzNodeFinderDuplicateName::eCheckMaterialName));
    EXPECT_TRUE(finder.GetOption(KDuzNodeFinderDuplicateName::eOption4));
}

TEST_F(KDuzNodeFinderTest, SharedMaterialIsItsOwnDuplicateAtItsSecondOccurrence) {
    KDuzObject* shared = Material("shared");
    KDuzObject* other = Material("other");
    KDuzObject* sameName = Material("other");
    ASSERT_NE(shared, nullptr);
    KDuzNodeFinderDuplicateName finder(nullptr);
    // With the option off objects are only noted.
    EXPECT_FALSE(finder.CheckMaterialName(shared));
    EXPECT_FALSE(finder.CheckMaterialName(shared));
    ASSERT_TRUE(finder.SetOption(KDuzNodeFinderDuplicateName::eCheckMaterialName, true));
    EXPECT_TRUE(finder.CheckMaterialName(shared));
    EXPECT_FALSE(finder.CheckMaterialName(other));
    EXPECT_TRUE(finder.CheckMaterialName(sameName));
    EXPECT_EQ(finder.GetDuplicateMaterials().Count(), 2);
    // Categories keep their own names.
    ASSERT_TRUE(finder.SetOption(KDuzNodeFinderDuplicateName::eCheckTextureName, true));
    EXPECT_FALSE(finder.CheckTextureName(shared));
}

TEST_F(KDuzNodeFinderTest, MaterialNamesOfTheReferenceSceneClash) {
    KDuzScene* reference = KDuzScene::Create(manager, "reference");
    ASSERT_NE(reference, nullptr);
    ASSERT_TRUE(reference->ConnectObject(Material("wood")));
    KDuzNodeFinderDuplicateName finder(reference);
    finder.SetOption(KDuzNodeFinderDuplicateName::eCheckMaterialName, true);
    EXPECT_TRUE(finder.CheckMaterialName(Material("wood")));
    EXPECT_FALSE(finder.CheckMaterialName(Material("stone")));
}

}  // namespace
}  // namespace duzsdk
