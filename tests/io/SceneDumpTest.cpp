// The scene dump itself: what must and must not change its text.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/object/KDuzProperty.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/PropertyDataType.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"
#include "support/SceneDump.h"

using namespace duzsdk;

namespace {

// Builds a scene in a manager of its own and returns its dump.
std::string DumpOf(const std::function<void(KDuzSdkManager*, KDuzScene*)>& build,
                   const duztest::SceneDumpOptions& options = {}) {
    KDuzSdkManager* manager = KDuzSdkManager::Create();
    KDuzScene* scene = KDuzScene::Create(manager, "scene");
    build(manager, scene);
    std::string dump = duztest::DumpScene(*scene, options);
    manager->Destroy();
    return dump;
}

KDuzNode* AddDumpNode(KDuzSdkManager* manager, KDuzScene* scene, KDuzNode* parent, const char* name) {
    KDuzNode* node = KDuzNode::Create(manager, name);
    scene->ConnectObject(node);
    parent->AddChild(node);
    return node;
}

void AddDouble(KDuzObject* owner, const char* name, double value) {
    KDuzProperty property = KDuzProperty::Create(owner, name, PropertyDataTypeGetRegistered("Number"));
    property.SetValue(&value, eValueKindDouble);
}

// Two parents each with a child of the same name; the creation order and the
// order of the scene's own object list differ between the variants.
void BuildTwins(KDuzSdkManager* manager, KDuzScene* scene, bool reversed) {
    KDuzNode* root = scene->GetRootNode();
    const char* parents[] = {"Left", "Right"};
    std::vector<KDuzNode*> made(2);
    for (int k = 0; k < 2; ++k) {
        const int i = reversed ? 1 - k : k;
        made[i] = KDuzNode::Create(manager, parents[i]);
        scene->ConnectObject(made[i]);
    }
    for (int i = 0; i < 2; ++i) root->AddChild(made[i]);
    for (int k = 0; k < 2; ++k) {
        const int i = reversed ? 1 - k : k;
        KDuzNode* twin = AddDumpNode(manager, scene, made[i], "Twin");
        AddDouble(twin, "side", i);
    }
    const char* materials[] = {"Red", "Blue", "Green"};
    for (int k = 0; k < 3; ++k) {
        KDuzSurfaceMaterial* material = KDuzSurfacePhong::Create(manager, materials[reversed ? 2 - k : k]);
        scene->ConnectObject(material);
    }
}

TEST(SceneDump, CreationOrderAndDuplicateNamesDoNotChangeTheText) {
    const std::string forward = DumpOf([](KDuzSdkManager* m, KDuzScene* s) { BuildTwins(m, s, false); });
    const std::string reversed = DumpOf([](KDuzSdkManager* m, KDuzScene* s) { BuildTwins(m, s, true); });
    EXPECT_EQ(duztest::DiffDumps(forward, reversed), "");
    // The twins are told apart, each with its own parent and value.
    EXPECT_NE(forward.find("KDuzNode \"Twin\"#1"), std::string::npos);
    EXPECT_NE(forward.find("KDuzNode \"Twin\"#2"), std::string::npos);
    EXPECT_EQ(forward.find('?'), std::string::npos) << "an object was referenced but not dumped";
}

TEST(SceneDump, ChildOrderIsKept) {
    auto build = [](bool swap) {
        return DumpOf([swap](KDuzSdkManager* m, KDuzScene* s) {
            AddDumpNode(m, s, s->GetRootNode(), swap ? "B" : "A");
            AddDumpNode(m, s, s->GetRootNode(), swap ? "A" : "B");
        });
    };
    EXPECT_NE(duztest::DiffDumps(build(false), build(true)), "");
}

TEST(SceneDump, ValuesAreBitExact) {
    struct Case {
        double value;
        const char* text;
    };
    const Case cases[] = {
        {1.0, "value=1\n"},
        {std::nextafter(1.0, 2.0), "value=1.0000000000000002\n"},
        {-0.0, "value=-0\n"},
        {std::numeric_limits<double>::infinity(), "value=inf\n"},
        {-std::numeric_limits<double>::infinity(), "value=-inf\n"},
        {std::numeric_limits<double>::quiet_NaN(), "value=nan(0x7ff8000000000000)\n"},
        {std::numeric_limits<double>::denorm_min(), "value=4.9406564584124654e-324\n"},
    };
    std::vector<std::string> dumps;
    for (const Case& c : cases) {
        dumps.push_back(DumpOf([&](KDuzSdkManager* m, KDuzScene* s) {
            AddDouble(AddDumpNode(m, s, s->GetRootNode(), "N"), "x", c.value);
        }));
        EXPECT_NE(dumps.back().find(c.text), std::string::npos) << c.text;
    }
    for (std::size_t i = 0; i < dumps.size(); ++i)
        for (std::size_t j = i + 1; j < dumps.size(); ++j)
            EXPECT_NE(dumps[i], dumps[j]) << cases[i].text << " vs " << cases[j].text;
}

TEST(SceneDump, NamesAreEscapedToPlainText) {
    const std::string dump = DumpOf([](KDuzSdkManager* m, KDuzScene* s) {
        AddDumpNode(m, s, s->GetRootNode(), "caf\xc3\xa9 \"q\"\n");
    });
    EXPECT_NE(dump.find("\"caf\\xc3\\xa9 \\\"q\\\"\\x0a\""), std::string::npos);
}

TEST(SceneDump, TakesCanBeLeftOut) {
    auto build = [](KDuzSdkManager* m, KDuzScene* s) { AddDumpNode(m, s, s->GetRootNode(), "N"); };
    const std::string with = DumpOf(build);
    const std::string without = DumpOf(build, duztest::SceneDumpOptions{false});
    EXPECT_NE(with.find("  take 0 \"Default\""), std::string::npos);
    EXPECT_EQ(without.find("take "), std::string::npos);
    EXPECT_EQ(without.find("anim="), std::string::npos);
    EXPECT_EQ(without.find("curveNode"), std::string::npos);
}

TEST(SceneDump, DiffShowsTheFirstDifferenceWithContext) {
    EXPECT_EQ(duztest::DiffDumps("a\nb\n", "a\nb\n"), "");
    const std::string diff = duztest::DiffDumps("1\n2\n3\n4\n5\n6\n", "1\n2\n3\n4\nX\n6\n");
    EXPECT_NE(diff.find("line 5"), std::string::npos) << diff;
    EXPECT_NE(diff.find("  4  4\n"), std::string::npos) << diff;
    EXPECT_NE(diff.find("- 5  5\n"), std::string::npos) << diff;
    EXPECT_NE(diff.find("+ 5  X\n"), std::string::npos) << diff;
    EXPECT_NE(diff.find("  6  6\n"), std::string::npos) << diff;
    // A line only one side has.
    const std::string longer = duztest::DiffDumps("a\n", "a\nb\n");
    EXPECT_NE(longer.find("+ 2  b"), std::string::npos) << longer;
    EXPECT_NE(duztest::DiffDumps("a\n", "a"), "");
}

}  // namespace
