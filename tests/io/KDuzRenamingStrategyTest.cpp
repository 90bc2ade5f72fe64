#include "sdk/io/KDuzRenamingStrategy.h"

#include "sdk/io/KDuzSceneRenamer.h"
#include "sdk/io/KRenamingStrategy.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace duzsdk {
namespace {

// Encodes the names in order with one strategy; the results.
std::vector<std::string> EncodeAll(KDuzRenamingStrategy& strategy, const std::vector<std::string>& names) {
    std::vector<std::string> out;
    for (const std::string& name : names) {
        KDuzObjectName record(name.c_str());
        strategy.EncodeName(record);
        out.emplace_back(record.GetCurrentName());
    }
    return out;
}

std::string Decode(const std::string& name, const char* outSymbol = ":") {
    KDuzRenamingStrategy strategy(KDuzRenamingStrategy::eDecode);
    strategy.SetOutNameSpaceSymbol(outSymbol);
    KDuzObjectName record(name.c_str());
    strategy.DecodeName(record);
    return record.GetCurrentName();
}

TEST(KNumberRenamingStrategyTest, NumbersRepeatedNamesAndKeepsThemUnique) {
    KNumberRenamingStrategy strategy;
    KDuzObjectName first("Box");
    EXPECT_FALSE(strategy.Rename(first));
    EXPECT_STREQ(first.GetCurrentName(), "Box");

    std::vector<std::string> names;
    for (const char* text : {"Box", "Box", "Box1x", "Box3", "Box"}) {
        KDuzObjectName record(text);
        strategy.Rename(record);
        names.emplace_back(record.GetCurrentName());
    }
    // The fourth Box skips Box3, which is taken already.
    EXPECT_EQ(names, (std::vector<std::string>{"Box1", "Box2", "Box1x", "Box3", "Box4"}));

    std::unique_ptr<KRenamingStrategy> clone(strategy.Clone());
    ASSERT_NE(clone, nullptr);
    KDuzObjectName again("Box");
    EXPECT_FALSE(clone->Rename(again));
    strategy.Clear();
    EXPECT_EQ(strategy.GetUseRecordCount(), 0);
    EXPECT_FALSE(strategy.Rename(again));
}

TEST(KDuzRenamingStrategyTest, EqualNamesAreNumberedAndDecodeBack) {
    KDuzRenamingStrategy strategy;
    strategy.SetClashMode(KDuzRenamingStrategy::eClashNoCaseCheck);
    const auto names = EncodeAll(strategy, {"Arm", "Arm", "Arm", "Arm_ncl1_3", "Arm"});
    EXPECT_EQ(names, (std::vector<std::string>{"Arm", "Arm_ncl1_1", "Arm_ncl1_2", "Arm_ncl1_3",
                                               "Arm_ncl1_4"}));
    EXPECT_EQ(Decode("Arm_ncl1_1"), "Arm");
    EXPECT_EQ(Decode("Arm_ncl1_3_ncl1_1"), "Arm_ncl1_3");
}

TEST(KDuzRenamingStrategyTest, CaseClashesRecordTheCaseAndDecodeBack) {
    KDuzRenamingStrategy strategy;
    strategy.SetClashMode(KDuzRenamingStrategy::eClashNoNumbering);
    const auto names = EncodeAll(strategy, {"Arm", "arm", "ARM", "Arm"});
    // Equal names are left alone in this mode.
    EXPECT_EQ(names, (std::vector<std::string>{"Arm", "Arm_ncl2_ul1", "Arm_ncl2_lu6", "Arm"}));
    EXPECT_EQ(Decode("Arm_ncl2_ul1"), "arm");
    EXPECT_EQ(Decode("Arm_ncl2_lu6"), "ARM");
    // Numbered after the case pass, both markers come off.
    EXPECT_EQ(Decode("Arm_ncl2_ul1_ncl1_1"), "arm");

    KDuzRenamingStrategy noCase;
    noCase.SetNoCaseCheck(true);
    EXPECT_EQ(EncodeAll(noCase, {"Arm", "arm"}), (std::vector<std::string>{"Arm", "arm"}));
}

TEST(KDuzRenamingStrategyTest, DecodingLeavesNamesThatOnlyLookEncoded) {
    struct Case {
        const char* name;
        const char* decoded;
    };
    const Case cases[] = {
        {"Skull", "Skull"},                        // "ul" in the name itself
        {"Blue_ncl2_ul1", "blue"},
        {"Skull_ncl2_lu1", "Skull"},               // 'S' is upper case already
        {"Arm_ncl1_", "Arm_ncl1_"},                // no count
        {"Arm_ncl1_x", "Arm_ncl1_x"},
        {"_ncl1_1", "_ncl1_1"},                    // nothing before the marker
        {"Arm_ncl2_ulx", "Arm_ncl2_ulx"},
        {"Arm_ncl2_ul99999999999", "Arm_ncl2_ul99999999999"},   // beyond 32 bits
        {"Ab_ncl2_ul4294967295", "ab"},            // bits past the name are ignored
    };
    for (const Case& c : cases) EXPECT_EQ(Decode(c.name), c.decoded) << c.name;
}

TEST(KDuzRenamingStrategyTest, CaseDifferencesPastTheMaskStayInTheName) {
    const std::string base(40, 'a');
    std::string upperTail = base;
    upperTail[35] = 'A';
    std::string upperHead = base;
    upperHead[31] = 'A';
    KDuzRenamingStrategy strategy;
    strategy.SetClashMode(KDuzRenamingStrategy::eClashNoNumbering);
    const auto names = EncodeAll(strategy, {base, upperTail, upperHead});
    EXPECT_EQ(names[1], base + "_ncl2_");
    EXPECT_EQ(names[2], base + "_ncl2_lu2147483648");
    EXPECT_EQ(Decode(names[2]), upperHead);
    // Position 35 does not fit: the name decodes to the used name's case,
    // and nothing else in it changes.
    EXPECT_EQ(Decode(names[1]), base);
}

TEST(KDuzRenamingStrategyTest, ReplaceCharactersAndNameSpaces) {
    KDuzRenamingStrategy strategy;
    EXPECT_STREQ(strategy.ReplaceCharacters("a b:c-d", "_", true).Buffer(), "a_b:c_d");
    EXPECT_STREQ(strategy.GetNameSpace().Buffer(), "");
    EXPECT_STREQ(strategy.ReplaceCharacters("x y:a b:c-d", "_", false).Buffer(), "c_d");
    EXPECT_STREQ(strategy.GetNameSpace().Buffer(), "x_y:a_b");
    // Bytes of non-ASCII characters are not letters.
    EXPECT_STREQ(strategy.ReplaceCharacters("caf\xc3\xa9", "_", true).Buffer(), "caf__");

    KDuzObjectName record("Body:Arm");
    strategy.EncodeName(record);
    EXPECT_STREQ(record.GetCurrentName(), "Body:Arm");
    EXPECT_STREQ(record.GetExtraName(), "Body");

    KDuzRenamingStrategy dots(KDuzRenamingStrategy::eDecode);
    dots.SetOutNameSpaceSymbol(".");
    KDuzObjectName dotted("Body:Left Arm");
    dots.DecodeName(dotted);
    EXPECT_STREQ(dotted.GetCurrentName(), "Body.Left_Arm");
    EXPECT_STREQ(dotted.GetExtraName(), "Body");
}

// ---- whole scenes ----------------------------------------------------------------

class KDuzSceneRenamerTest : public testing::Test {
protected:
    void SetUp() override {
        manager = KDuzSdkManager::Create();
        ASSERT_NE(manager, nullptr);
        scene = KDuzScene::Create(manager, "scene");
        ASSERT_NE(scene, nullptr);
        root = scene->GetRootNode();
        ASSERT_NE(root, nullptr);
    }
    void TearDown() override {
        if (manager != nullptr) manager->Destroy();
    }

    KDuzNode* AddNode(KDuzNode* parent, const char* name, const char* nameSpace = "") {
        KDuzNode* node = KDuzNode::Create(manager, name);
        EXPECT_NE(node, nullptr);
        if (node == nullptr) return nullptr;
        node->SetNameExtra(nameSpace);
        EXPECT_TRUE(parent->AddChild(node));
        return node;
    }

    KDuzSdkManager* manager = nullptr;
    KDuzScene* scene = nullptr;
    KDuzNode* root = nullptr;
};

TEST_F(KDuzSceneRenamerTest, EncodesEqualAndCaseClashingNamesAndDecodesThemBack) {
    KDuzNode* a = AddNode(root, "Arm");
    KDuzNode* b = AddNode(root, "Arm");
    KDuzNode* c = AddNode(root, "arm");
    KDuzNode* d = AddNode(root, "left arm");
    KDuzSceneRenamer renamer(scene);
    renamer.RenameFor(2);
    EXPECT_STREQ(a->GetName(), "Arm");
    EXPECT_STREQ(b->GetName(), "Arm_ncl1_1");
    EXPECT_STREQ(c->GetName(), "Arm_ncl2_ul1");
    EXPECT_STREQ(d->GetName(), "left_arm");

    renamer.RenameFor(7);
    EXPECT_STREQ(a->GetName(), "Arm");
    EXPECT_STREQ(b->GetName(), "Arm");
    EXPECT_STREQ(c->GetName(), "arm");
}

TEST_F(KDuzSceneRenamerTest, ColladaWriterModeFlattensNameSpacesAndPrefixesDigits) {
    KDuzNode* body = AddNode(root, "Body:Arm");
    KDuzNode* second = AddNode(root, "2nd");
    KDuzSceneRenamer(scene).RenameFor(KDuzSceneRenamer::eColladaWriter);
    EXPECT_STREQ(body->GetName(), "Body_Arm");
    EXPECT_STREQ(second->GetName(), "_2nd");
}

TEST_F(KDuzSceneRenamerTest, UnusedModesChangeNothing) {
    KDuzNode* node = AddNode(root, "a b");
    for (int mode : {0, 5, 8, 9, 14, 15, 18, -1}) {
        KDuzSceneRenamer(scene).RenameFor(mode);
        EXPECT_STREQ(node->GetName(), "a b") << mode;
    }
    KDuzSceneRenamer(nullptr).RenameFor(1);
}

TEST_F(KDuzSceneRenamerTest, NameSpaceClashesAreMarkedInUnrelatedSubtreesAndRemoved) {
    KDuzNode* arm = AddNode(root, "Body:Arm", "Body");
    KDuzNode* hand = AddNode(arm, "Body:Hand", "Body");
    KDuzNode* leg = AddNode(root, "Body:Leg", "Body");
    KDuzNode* foot = AddNode(leg, "Body:Foot", "Body");
    KDuzNode* tail = AddNode(root, "Body:Tail", "Body");
    KDuzNode* bar = AddNode(root, "Bar:Body:x", "Bar:Body");

    KDuzRenamingStrategy strategy;
    strategy.ResolveNameSpaceClashes(root, true);
    EXPECT_STREQ(arm->GetName(), "Body:Arm");
    EXPECT_STREQ(hand->GetName(), "Body:Hand");   // its parent has the name space
    EXPECT_STREQ(leg->GetName(), "Body_NSclash1:Leg");
    EXPECT_STREQ(leg->GetNameExtra(), "Body_NSclash1");
    EXPECT_STREQ(foot->GetName(), "Body_NSclash1:Foot");
    EXPECT_STREQ(tail->GetName(), "Body_NSclash2:Tail");
    // Only the whole component is replaced, not the "B" of "Bar".
    EXPECT_STREQ(bar->GetName(), "Bar:Body_NSclash3:x");

    strategy.RemoveNameSpaceClashMarkers(root);
    EXPECT_STREQ(leg->GetName(), "Body:Leg");
    EXPECT_STREQ(foot->GetName(), "Body:Foot");
    EXPECT_STREQ(foot->GetNameExtra(), "Body");
    EXPECT_STREQ(bar->GetName(), "Bar:Body:x");
}

TEST_F(KDuzSceneRenamerTest, AncestorNameSpacesAreCollectedOnce) {
    KDuzNode* top = AddNode(root, "a:b:Top", "a:b");
    KDuzNode* middle = AddNode(top, "a:c:Middle", "a:c");
    KDuzNode* leaf = AddNode(middle, "Leaf");
    KDuzRenamingStrategy strategy;
    KStringList list;
    strategy.CollectAncestorNameSpaces(leaf, list);
    std::vector<std::string> names;
    for (int i = 0; i < list.Count(); ++i) names.emplace_back(list.GetStringAt(i));
    EXPECT_EQ(names, (std::vector<std::string>{"c", "a", "b"}));
}

TEST_F(KDuzSceneRenamerTest, DeepHierarchiesAreWalkedWithoutRecursion) {
    KDuzNode* parent = root;
    KDuzNode* last = nullptr;
    for (int i = 0; i < 5000; ++i) {
        last = AddNode(parent, "ns:n", "ns");
        parent = last;
    }
    KDuzNode* other = AddNode(root, "ns:o", "ns");
    KDuzRenamingStrategy strategy;
    strategy.ResolveNameSpaceClashes(root, true);
    EXPECT_STREQ(last->GetName(), "ns:n");
    EXPECT_STREQ(other->GetName(), "ns_NSclash1:o");
    strategy.RemoveNameSpaceClashMarkers(root);
    EXPECT_STREQ(other->GetName(), "ns:o");
}

}  // namespace
}  // namespace duzsdk
