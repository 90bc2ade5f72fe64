#include "sdk/object/KClassId.h"

#include <gtest/gtest.h>

#include <string>

namespace duzsdk {
namespace {

// Creators never build real objects here: they hand back a marker address and
// remember what they were asked.
struct CreatorLog {
    KDuzSdkManager* manager = nullptr;
    std::string name;
    int calls = 0;
    char which = 0;
};
CreatorLog gLog;
char gMarkerA;
char gMarkerB;

KDuzPlug* CreateA(KDuzSdkManager* manager, const char* name) {
    gLog = {manager, name, gLog.calls + 1, 'A'};
    return reinterpret_cast<KDuzPlug*>(&gMarkerA);
}
KDuzPlug* CreateB(KDuzSdkManager* manager, const char* name) {
    gLog = {manager, name, gLog.calls + 1, 'B'};
    return reinterpret_cast<KDuzPlug*>(&gMarkerB);
}

// Root <- Mid <- Leaf, Root <- Other, built in a registry of its own.
class ClassTreeFixture : public ::testing::Test {
protected:
    void SetUp() override {
        gLog = {};
        root = registry.RegisterClass("Root", KClassId(), nullptr);
        mid = registry.RegisterClass("Mid", root, &CreateA);
        leaf = registry.RegisterClass("Leaf", mid, nullptr);
        other = registry.RegisterClass("Other", root, &CreateB);
    }

    KClassRegistry registry;
    KClassId root, mid, leaf, other;
};

TEST_F(ClassTreeFixture, IsFollowsTheParentChain) {
    struct Case { const KClassId* cls; const KClassId* target; bool expected; };
    const KClassId null;
    const Case cases[] = {
        {&leaf, &leaf, true},  {&leaf, &mid, true},    {&leaf, &root, true},
        {&leaf, &other, false}, {&mid, &leaf, false},  {&other, &mid, false},
        {&root, &root, true},  {&leaf, &null, false},  {&null, &root, false},
        {&null, &null, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.cls->GetName()) + " is " + c.target->GetName());
        EXPECT_EQ(c.cls->Is(*c.target), c.expected);
    }
}

TEST_F(ClassTreeFixture, CreateUsesTheNearestCreatorUpTheChain) {
    auto* manager = reinterpret_cast<KDuzSdkManager*>(&gMarkerB);
    EXPECT_EQ(leaf.Create(manager, "Cube"), reinterpret_cast<KDuzPlug*>(&gMarkerA));
    EXPECT_EQ(gLog.which, 'A');
    EXPECT_EQ(gLog.manager, manager);
    EXPECT_EQ(gLog.name, "Cube");

    EXPECT_EQ(other.Create(nullptr, "x"), reinterpret_cast<KDuzPlug*>(&gMarkerB));
    EXPECT_EQ(gLog.calls, 2);

    // No creator anywhere up the chain, and the null handle: nothing made.
    EXPECT_EQ(root.Create(nullptr, "x"), nullptr);
    EXPECT_EQ(KClassId().Create(nullptr, "x"), nullptr);
    EXPECT_EQ(gLog.calls, 2);

    // A creator given later applies to every handle of the class.
    KClassId copy = leaf;
    EXPECT_TRUE(leaf.SetCreator(&CreateB));
    EXPECT_EQ(copy.Create(nullptr, "y"), reinterpret_cast<KDuzPlug*>(&gMarkerB));
    EXPECT_FALSE(KClassId().SetCreator(&CreateB));
}

TEST_F(ClassTreeFixture, AccessorsOnRecordAndNullHandle) {
    EXPECT_STREQ(leaf.GetName(), "Leaf");
    EXPECT_EQ(leaf.GetParent(), mid);
    EXPECT_EQ(root.GetParent(), KClassId());
    EXPECT_STREQ(leaf.GetDuzTypeName(), "");
    EXPECT_STREQ(leaf.GetDuzSubTypeName(), "");
    EXPECT_TRUE(leaf.SetDuzTypeName("Model"));
    EXPECT_TRUE(leaf.SetDuzSubTypeName("Mesh"));
    EXPECT_STREQ(leaf.GetDuzTypeName(), "Model");
    EXPECT_STREQ(leaf.GetDuzSubTypeName(), "Mesh");

    KClassId null;
    EXPECT_FALSE(null.IsValid());
    EXPECT_STREQ(null.GetName(), "");
    EXPECT_STREQ(null.GetDuzTypeName(), "");
    EXPECT_STREQ(null.GetDuzSubTypeName(), "");
    EXPECT_FALSE(null.SetDuzTypeName("Model"));
    EXPECT_FALSE(null.SetDuzSubTypeName("Mesh"));
    EXPECT_EQ(null.GetFilter(), nullptr);
    EXPECT_EQ(null.GetCreator(), nullptr);
}

TEST_F(ClassTreeFixture, NameSetFindsByExactName) {
    EXPECT_EQ(registry.GetNameCount(), 4);
    EXPECT_EQ(registry.FindClassByName("Mid"), mid);
    EXPECT_FALSE(registry.FindClassByName("mid").IsValid());
    EXPECT_FALSE(registry.FindClassByName(nullptr).IsValid());

    // An equal name replaces the stored record.
    KClassId again = registry.RegisterClass("Mid", root, nullptr);
    EXPECT_EQ(registry.GetNameCount(), 4);
    EXPECT_EQ(registry.FindClassByName("Mid"), again);
    EXPECT_NE(again, mid);

    EXPECT_FALSE(registry.AddClass(KClassId()));
    KClassRegistry second;
    EXPECT_TRUE(second.AddClass(leaf));
    EXPECT_EQ(second.FindClassByName("Leaf"), leaf);
}

TEST(KClassRegistryTest, TypeNameSetNeedsBothNames) {
    KClassRegistry registry;
    KClassId base = registry.RegisterClass("Base", KClassId(), nullptr);
    KClassId mesh = registry.RegisterClass("UserMesh", base, nullptr, "Model", "Mesh");
    KClassId light = registry.RegisterClass("UserLight", base, nullptr, "Model", "Light");
    KClassId onlyType = registry.RegisterClass("OnlyType", base, nullptr, "Model", nullptr);
    KClassId onlySub = registry.RegisterClass("OnlySub", base, nullptr, nullptr, "Null");

    EXPECT_EQ(registry.GetTypeNameCount(), 2);
    EXPECT_EQ(registry.FindClassByDuzType("Model", "Mesh"), mesh);
    EXPECT_EQ(registry.FindClassByDuzType("Model", "Light"), light);
    EXPECT_STREQ(mesh.GetDuzTypeName(), "Model");
    EXPECT_STREQ(mesh.GetDuzSubTypeName(), "Mesh");

    // A class given one name only carries none and is not found by type.
    EXPECT_STREQ(onlyType.GetDuzTypeName(), "");
    EXPECT_STREQ(onlySub.GetDuzSubTypeName(), "");
    EXPECT_FALSE(registry.FindClassByDuzType("Model", "").IsValid());
    EXPECT_FALSE(registry.FindClassByDuzType("", "Null").IsValid());

    // Byte-wise and case-sensitive; null names find nothing.
    EXPECT_FALSE(registry.FindClassByDuzType("model", "Mesh").IsValid());
    EXPECT_FALSE(registry.FindClassByDuzType("Model", "mesh").IsValid());
    EXPECT_FALSE(registry.FindClassByDuzType(nullptr, "Mesh").IsValid());
    EXPECT_FALSE(registry.FindClassByDuzType("Model", nullptr).IsValid());

    // Every registered class is in the name set.
    EXPECT_EQ(registry.GetNameCount(), 5);
}

TEST(KClassRegistryTest, TreeIsRegisteredOncePerProcess) {
    static KClassId hRoot, hA, hB;
    KClassId preset;
    KClassRegistry scratch;
    preset = scratch.RegisterClass("Preset", KClassId(), nullptr);
    static KClassId hPreset;
    hPreset = preset;
    const KClassTreeRow rows[] = {
        {&hRoot, "TreeRoot", nullptr, nullptr},
        {&hA, "TreeA", &hRoot, &CreateA},
        {&hPreset, "Preset", &hRoot, nullptr},   // set already: entered, not re-created
        {&hB, "TreeB", &hA, nullptr},
    };
    int recordsBefore = KClassIdGetRecordCount();

    KClassRegistry first;
    EXPECT_TRUE(first.RegisterClassTree(rows, 4));
    EXPECT_EQ(KClassIdGetRecordCount(), recordsBefore + 3);
    EXPECT_EQ(first.GetNameCount(), 4);
    EXPECT_EQ(first.FindClassByName("Preset"), preset);
    EXPECT_TRUE(hB.Is(hA));
    EXPECT_TRUE(hB.Is(hRoot));
    EXPECT_EQ(hB.GetCreator(), nullptr);
    EXPECT_EQ(hA.GetCreator(), &CreateA);
    EXPECT_EQ(hPreset.GetParent(), KClassId());   // its own record, unchanged

    // A later manager reuses the handles and fills nothing.
    KClassId a = hA;
    KClassRegistry second;
    EXPECT_TRUE(second.RegisterClassTree(rows, 4));
    EXPECT_EQ(second.GetNameCount(), 0);
    EXPECT_EQ(hA, a);
    EXPECT_EQ(KClassIdGetRecordCount(), recordsBefore + 3);

    EXPECT_FALSE(second.RegisterClassTree(nullptr, 4));
    EXPECT_FALSE(second.RegisterClassTree(rows, 0));
    const KClassTreeRow noHandle[] = {{nullptr, "NoHandle", nullptr, nullptr}};
    EXPECT_FALSE(second.RegisterClassTree(noHandle, 1));
}

// ---- the connection filter ---------------------------------------------------

const KClassIdInfo* gMatchedInfo = nullptr;
const KPlug* gMatchedPlug = nullptr;
bool MatchEverything(const KPlug* plug, const KClassIdInfo* info) {
    gMatchedPlug = plug;
    gMatchedInfo = info;
    return true;
}

TEST_F(ClassTreeFixture, FilterAsksThePublicLayerAndIsOnlyItself) {
    KClassIdInfoFilter* filter = mid.GetFilter();
    ASSERT_NE(filter, nullptr);
    EXPECT_EQ(filter->GetInfo(), mid.GetInfo());
    EXPECT_EQ(mid.GetFilter(), KClassId(mid).GetFilter());   // copies share the record
    EXPECT_STREQ(filter->GetClassName(), "Mid");
    EXPECT_EQ(filter->GetTypeNumber(), kClassIdFilterTypeNumber);

    EXPECT_TRUE(filter->IsSameType(filter));
    EXPECT_FALSE(filter->IsSameType(leaf.GetFilter()));
    EXPECT_FALSE(filter->IsSameType(nullptr));
    EXPECT_FALSE(filter->IsTypeNumber(kClassIdFilterTypeNumber));

    // Without the public layer nothing passes; with it, it decides.
    auto* plug = reinterpret_cast<const KPlug*>(&gMarkerA);
    KClassIdPlugMatcher saved = KClassIdGetPlugMatcher();
    KClassIdSetPlugMatcher(nullptr);
    EXPECT_FALSE(filter->Accepts(plug));
    KClassIdSetPlugMatcher(&MatchEverything);
    EXPECT_TRUE(filter->Accepts(plug));
    EXPECT_EQ(gMatchedPlug, plug);
    EXPECT_EQ(gMatchedInfo, mid.GetInfo());
    EXPECT_FALSE(filter->Accepts(nullptr));
    KClassIdSetPlugMatcher(saved);
}

}  // namespace
}  // namespace duzsdk
