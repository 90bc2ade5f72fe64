// Time warps of a take, the take's time offset and TIFF media names.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "duz/KDuzReaderDuz6TestFixture.h"
#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/animation/KFCurveNode.h"
#include "sdk/animation/KFCurveTools.h"
#include "sdk/object/KDataType.h"
#include "sdk/scene/KDuzNode.h"

using namespace duzsdk;

namespace {

constexpr int64_t kSecond = 46186158000LL;

// A curve of linear keys at the given (seconds, value) pairs.
void LinearKeys(KFCurve* curve, std::initializer_list<std::pair<double, float>> keys) {
    for (const auto& [seconds, value] : keys) {
        KTime time;
        time.SetSecondDouble(seconds);
        curve->KeySet(curve->KeyGetCount(), time, value, kFCurveInterpolationLinear);
    }
}

// A node with a curve; owned by the caller (or by a parent it is added to).
KFCurveNode* CurveNode(const char* name, std::initializer_list<std::pair<double, float>> keys) {
    KFCurveNode* node = KFCurveNodeCreate(name, KDataTypeFindByName("Number"));
    node->SetCurve(KFCurveCreate());
    LinearKeys(node->GetCurve(), keys);
    return node;
}

struct NodeDeleter {
    void operator()(KFCurveNode* node) const { KFCurveObjectDelete(node); }
};
using NodePtr = std::unique_ptr<KFCurveNode, NodeDeleter>;

// Time-warp nodes live as long as something refers to them; a holder keeps
// a warp for the length of a test, as the reader does for a take.
struct WarpHolder {
    explicit WarpHolder(KFCurveNode* warp) : holder(KFCurveNodeCreate("Holder")) { holder->SetTimeWarp(warp); }
    KFCurveNode* get() const { return holder->GetTimeWarp(); }
    KFCurveNode* operator->() const { return get(); }
    NodePtr holder;
};

}  // namespace

// A warp that runs at half speed: the baked curve at t holds the old value
// at t / 2, one key per period over the warp's span and one at its stop.
TEST(Duz6TimeWarps, BakingResamplesThroughTheWarp) {
    WarpHolder warp(CurveNode("TimeWarp", {{0.0, 0.0f}, {1.0, 0.5f}}));
    NodePtr node(CurveNode("X", {{0.0, 0.0f}, {1.0, 10.0f}}));
    node->SetTimeWarp(warp.get());
    EXPECT_EQ(warp->GetReferenceCount(), 2);
    KDuzReaderDuz6::BakeTimeWarp(node.get(), warp.get());
    EXPECT_EQ(node->GetTimeWarp(), nullptr);
    EXPECT_EQ(warp->GetReferenceCount(), 1);
    KFCurve* curve = node->GetCurve();
    const int64_t period = KFCurveGetDefaultPeriod().Get();
    ASSERT_EQ(curve->KeyGetCount(), kSecond / period + 1);
    EXPECT_EQ(curve->KeyGetTime(curve->KeyGetCount() - 1).Get(), kSecond);
    EXPECT_NEAR(curve->KeyGetValue(curve->KeyGetCount() - 1), 5.0f, 1e-4);
    EXPECT_NEAR(curve->Evaluate(KTime(kSecond / 2)), 2.5f, 0.05);
    EXPECT_TRUE(curve->KeyGet(0).IsCubic());

    // A warp of one key leaves the curve as it is; the reference still goes.
    WarpHolder still(CurveNode("TimeWarp", {{0.0, 0.25f}}));
    NodePtr other(CurveNode("Y", {{0.0, 1.0f}, {1.0, 2.0f}}));
    other->SetTimeWarp(still.get());
    KDuzReaderDuz6::BakeTimeWarp(other.get(), still.get());
    EXPECT_EQ(other->GetTimeWarp(), nullptr);
    EXPECT_EQ(other->GetCurve()->KeyGetCount(), 2);
    EXPECT_FLOAT_EQ(other->GetCurve()->KeyGetValue(1), 2.0f);
}

// A warp spanning the whole time range bakes into a bounded number of keys.
TEST(Duz6TimeWarps, HugeWarpSpansAreSampledCoarsely) {
    WarpHolder warp(KFCurveNodeCreate("TimeWarp", KDataTypeFindByName("Number")));
    warp->SetCurve(KFCurveCreate());
    warp->GetCurve()->KeySet(0, KTime(KTime::kMinusInfiniteTicks + 1), 0.0f, kFCurveInterpolationLinear);
    warp->GetCurve()->KeySet(1, KTime(KTime::kInfiniteTicks - 1), 1.0f, kFCurveInterpolationLinear);
    NodePtr node(CurveNode("X", {{0.0, 0.0f}, {1.0, 1.0f}}));
    KDuzReaderDuz6::BakeTimeWarp(node.get(), warp.get());
    EXPECT_GT(node->GetCurve()->KeyGetCount(), 2);
    EXPECT_LE(node->GetCurve()->KeyGetCount(), 100001);
}

// The root's warp reaches every descendant with a curve; the root's own
// curve is not warped by its own warp.
TEST(Duz6TimeWarps, TreeBakesInheritedWarps) {
    WarpHolder warp(CurveNode("TimeWarp", {{0.0, 0.0f}, {1.0, 0.5f}}));
    NodePtr root(CurveNode("Root", {{0.0, 0.0f}, {1.0, 10.0f}}));
    root->SetTimeWarp(warp.get());
    KFCurveNode* child = CurveNode("A", {{0.0, 0.0f}, {1.0, 10.0f}});
    KFCurveNode* grandChild = CurveNode("B", {{0.0, 0.0f}, {1.0, 10.0f}});
    child->AddChild(grandChild);
    root->AddChild(child);
    KDuzReaderDuz6::ApplyTimeWarps(root.get(), nullptr);
    for (KFCurveNode* baked : {child, grandChild}) {
        SCOPED_TRACE(baked->GetName());
        EXPECT_EQ(baked->GetTimeWarp(), nullptr);
        EXPECT_NEAR(baked->GetCurve()->Evaluate(KTime(kSecond)), 5.0f, 1e-4);
    }
    EXPECT_EQ(root->GetCurve()->KeyGetCount(), 2);
    EXPECT_EQ(root->GetTimeWarp(), warp.get());
}

// Baking keys every period; the readers' filter switch then removes the runs
// that change nothing, and leaves the baked keys alone when it is off.
TEST(Duz6TimeWarps, BakedConstantRunsAreReducedWhenTheSwitchIsOn) {
    const int64_t bakedKeys = kSecond / KFCurveGetDefaultPeriod().Get() + 1;
    for (bool on : {true, false}) {
        SCOPED_TRACE(on);
        KFCurveSetApplyRotationFilterOnRead(on);
        WarpHolder warp(CurveNode("TimeWarp", {{0.0, 0.0f}, {1.0, 0.5f}}));
        NodePtr root(KFCurveNodeCreate("Root"));
        root->SetTimeWarp(warp.get());
        KFCurveNode* still = CurveNode("Still", {{0.0, 5.0f}, {1.0, 5.0f}});
        KFCurveNode* moving = CurveNode("Moving", {{0.0, 0.0f}, {1.0, 10.0f}});
        root->AddChild(still);
        root->AddChild(moving);
        KDuzReaderDuz6::ApplyTimeWarps(root.get(), nullptr);
        if (on) {
            EXPECT_LE(still->GetCurve()->KeyGetCount(), 2);
            EXPECT_FLOAT_EQ(still->GetCurve()->Evaluate(KTime(kSecond / 3)), 5.0f);
        } else {
            EXPECT_EQ(still->GetCurve()->KeyGetCount(), bakedKeys);
        }
        EXPECT_EQ(moving->GetCurve()->KeyGetCount(), bakedKeys);
        EXPECT_NEAR(moving->GetCurve()->Evaluate(KTime(kSecond)), 5.0f, 1e-4);
    }
    KFCurveSetApplyRotationFilterOnRead(true);
}

namespace {

// A take whose X translation channel runs through warp 1 (half speed).
std::string WarpedTake() {
    return "Definitions:  {\n    ObjectType: \"Model\"\n}\n"
           "Objects:  {\n    Model: \"Model::Cube\", \"Null\" {\n    }\n}\n"
           "Takes:  {\n"
           "    Take: \"Run\" {\n"
           "        TimeWarps:  {\n"
           "            Version: 100\n"
           "            TW: 1 {\n"
           "                Default: 0\n"
           "                KeyVer: 4005\n"
           "                KeyCount: 2\n"
           "                Key: 0,0,L,46186158000,0.5,L\n"
           "            }\n"
           "        }\n"
           "        Model: \"Model::Cube\" {\n"
           "            Channel: \"Transform\" {\n"
           "                Channel: \"T\" {\n"
           "                    Channel: \"X\" {\n"
           "                        Default: 0\n"
           "                        KeyVer: 4005\n"
           "                        KeyCount: 2\n"
           "                        Key: 0,0,L,46186158000,10,L\n"
           "                        TimeWarpID: 1\n"
           "                    }\n"
           "                }\n"
           "                Channel: \"R\" {\n"
           "                    Channel: \"X\" {\n"
           "                        Default: 0\n"
           "                        KeyVer: 4005\n"
           "                        KeyCount: 2\n"
           "                        Key: 0,0,L,46186158000,90,L\n"
           "                    }\n"
           "                }\n"
           "            }\n"
           "        }\n"
           "    }\n"
           "}\n";
}

}  // namespace

TEST_F(Duz6ReaderTest, TakeTimeWarpsMergeOnlyWhenAsked) {
    for (bool merge : {false, true}) {
        SCOPED_TRACE(merge);
        options->DeleteTakeDescriptions();
        auto* run = new KDuzTakeDescription();
        run->name = "Run";
        options->AddTakeDescription(run);
        options->SetBoolOption("MERGE LAYER AND TIMEWARP", merge);
        ASSERT_TRUE(Load(WarpedTake())) << reader->GetLastErrorString();
        // The time-warp set served only while the take was read.
        EXPECT_EQ(KFCurveGetTimeWarpSet(), nullptr);
        KDuzNode* cube = reader->FindNodeByName("Cube");
        ASSERT_NE(cube, nullptr);
        ASSERT_EQ(cube->GetTakeNodeCount(), 2);
        KFCurveNode* t = cube->GetTakeNodeAt(1)->GetCurveNode()->FindByPath("Transform/T");
        ASSERT_NE(t, nullptr);
        KFCurveNode* x = t->FindByPath("X");
        ASSERT_NE(x, nullptr);
        ASSERT_NE(x->GetCurve(), nullptr);
        // A channel under no warp and without layers keeps its keys.
        KFCurveNode* rx = cube->GetTakeNodeAt(1)->GetCurveNode()->FindByPath("Transform/R/X");
        ASSERT_NE(rx, nullptr);
        EXPECT_EQ(rx->GetCurve()->KeyGetCount(), 2);
        if (merge) {
            EXPECT_EQ(t->GetTimeWarp(), nullptr);
            EXPECT_NEAR(x->GetCurve()->Evaluate(KTime(kSecond)), 5.0f, 1e-3);
        } else {
            // Kept as read: the warp stays on the translation node.
            ASSERT_NE(t->GetTimeWarp(), nullptr);
            EXPECT_EQ(x->GetCurve()->KeyGetCount(), 2);
            EXPECT_NEAR(x->GetCurve()->Evaluate(KTime(kSecond)), 10.0f, 1e-4);
        }
        ASSERT_TRUE(reader->FileClose());
    }
}

TEST_F(Duz6ReaderTest, TakeTimeOffsetShiftsKeysAndTheLocalSpan) {
    struct Case {
        const char* name;
        bool offsetIsShift;
        int64_t offset;
        int64_t expectedShift;
    };
    // The take's keys start at 2 s.
    const Case cases[] = {
        {"shift of 0", true, 0, 0},
        {"offset equal to the earliest key", false, 2 * kSecond, 0},
        {"shift given", true, kSecond, kSecond},
        {"offset against the earliest key", false, 0, -2 * kSecond},
    };
    const std::string body = "Definitions:  {\n    ObjectType: \"Model\"\n}\n"
                             "Objects:  {\n    Model: \"Model::Cube\", \"Null\" {\n    }\n}\n"
                             "Takes:  {\n    Take: \"Run\" {\n        Model: \"Model::Cube\" {\n"
                             "            Channel: \"Transform\" {\n                Channel: \"T\" {\n"
                             "                    Channel: \"X\" {\n                        Default: 0\n"
                             "                        KeyVer: 4005\n                        KeyCount: 2\n"
                             "                        Key: 92372316000,1,L,138558474000,2,L\n"
                             "                    }\n                }\n            }\n        }\n    }\n}\n";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        options->DeleteTakeDescriptions();
        auto* run = new KDuzTakeDescription();
        run->name = "Run";
        run->secondFlag = c.offsetIsShift;
        run->reserved = c.offset;
        run->localStart = KTime(10);
        run->localStop = KTime(20);
        options->AddTakeDescription(run);
        ASSERT_TRUE(Load(body));
        KFCurveNode* x = reader->FindNodeByName("Cube")->GetTakeNodeAt(1)->GetCurveNode()->FindByPath("Transform/T/X");
        ASSERT_NE(x, nullptr);
        EXPECT_EQ(x->GetCurve()->KeyGetTime(0).Get(), 2 * kSecond + c.expectedShift);
        EXPECT_EQ(x->GetCurve()->KeyGetTime(1).Get(), 3 * kSecond + c.expectedShift);
        ASSERT_EQ(scene->GetTakeDescriptionCount(), 1);
        EXPECT_EQ(scene->GetTakeDescriptionAt(0)->localStart.Get(), 10 + c.expectedShift);
        EXPECT_EQ(scene->GetTakeDescriptionAt(0)->localStop.Get(), 20 + c.expectedShift);
        ASSERT_TRUE(reader->FileClose());
    }
}

// Nothing animated: no earliest time, so no shift (and no overflow against
// the largest time).
TEST_F(Duz6ReaderTest, TakeTimeOffsetWithoutAnimationShiftsNothing) {
    KDuzTakeDescription take;
    take.name = "Empty";
    take.secondFlag = false;
    take.reserved = 5;
    take.localStart = KTime(1);
    take.localStop = KTime(2);
    EXPECT_TRUE(reader->ApplyTakeTimeOffset(scene, take));
    EXPECT_EQ(take.localStart.Get(), 1);
    EXPECT_EQ(take.localStop.Get(), 2);
}

TEST_F(Duz6ReaderTest, TiffNamesRemoveOnlyFilesToConvert) {
    struct Case {
        const char* file;
        const char* expected;
        bool kept;
    };
    const Case cases[] = {
        {"a.tif", "a.tif", true},
        {"b.TIFF", "b.TIFF", true},
        {"c.jpg", "c.tif", false},
        {"d.tar.png", "d.tar.tif", false},
        {"noext", "noext", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::filesystem::path file = folder / c.file;
        std::ofstream(file) << "x";
        KString name(file.string().c_str());
        KDuzReaderDuz6::UseTiffFileName(name);
        EXPECT_EQ(std::string(name.Buffer()), (folder / c.expected).string());
        EXPECT_EQ(std::filesystem::exists(file), c.kept);
    }
    // A dot in a folder name is not an extension.
    std::filesystem::create_directories(folder / "v1.2");
    KString nested((folder / "v1.2" / "img").string().c_str());
    KDuzReaderDuz6::UseTiffFileName(nested);
    EXPECT_EQ(std::string(nested.Buffer()), (folder / "v1.2" / "img").string());
}
