// Channel trees of KFCurveNode, their evaluation and layers, and KDuzTakeNode.

#include <gtest/gtest.h>
#include <strings.h>

#include <cmath>
#include <string>

#include "KFCurveTestUtil.h"
#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KFCurveNode.h"
#include "sdk/object/KDataType.h"

namespace duzsdk {
namespace {

using test::Fill;
using test::Sec;

// Data types stand for themselves here; only their names matter to the tree.
class TestType : public KDataType {
public:
    explicit TestType(const char* name) : KDataType(name, 8, 1, nullptr) {}
};
const TestType kLclTranslation("Lcl Translation");
const TestType kLclRotation("Lcl Rotation");
const TestType kVisibility("Visibility");
const TestType kTimeWarp("TimeWarp");

constexpr double kNodeTolerance = 1e-5;

// A leaf with one linear key pair, or a constant value.
KFCurveNode* LeafNode(const char* name, float v0, float v1 = NAN)
{
    KFCurveNode* node = KFCurveNodeCreate(name);
    node->SetCurve(KFCurveCreate());
    if (std::isnan(v1)) {
        node->GetCurve()->SetDefaultValue(v0);
    } else {
        Fill(*node->GetCurve(), {{0, v0, kFCurveInterpolationLinear, 0}, {1, v1, kFCurveInterpolationLinear, 0}});
    }
    return node;
}

KFCurveNode* VectorNode(const char* name, const KDataType* type, int layerType, float x, float y, float z)
{
    KFCurveNode* node = KFCurveNodeCreate(name, type, layerType);
    node->AddChild(LeafNode("X", x));
    node->AddChild(LeafNode("Y", y));
    node->AddChild(LeafNode("Z", z));
    return node;
}

TEST(KFCurveNodeTest, ChildAccessAndNames)
{
    KFCurveNode* root = KFCurveNodeCreate("Transform");
    KFCurveNode* t = KFCurveNodeCreate("Translation");
    EXPECT_EQ(root->AddChild(t), 0);
    EXPECT_EQ(t->GetParent(), root);
    EXPECT_EQ(root->GetChild(-1), nullptr);
    EXPECT_EQ(root->GetChild(1), nullptr);
    EXPECT_EQ(root->FindChildIndexByName("translation"), 0);
    EXPECT_EQ(root->FindChildIndexByName("rotation"), -1);
    EXPECT_STREQ(t->GetTypeName(), "Translation");
    KFCurveNode* warp = KFCurveNodeCreate("Warp", &kTimeWarp);
    EXPECT_STREQ(warp->GetTypeName(), "");
    delete warp;

    EXPECT_EQ(root->InsertChildSorted(KFCurveNodeCreate("Alpha")), 0);
    EXPECT_EQ(root->InsertChildSorted(KFCurveNodeCreate("Zeta")), 2);
    EXPECT_TRUE(root->HasChild(t));
    KFCurveNode* deep = t->FindOrCreateChild("X", true);
    EXPECT_NE(deep->GetCurve(), nullptr);
    EXPECT_EQ(t->FindOrCreateChild("x", false), deep);
    EXPECT_FALSE(root->HasChild(deep));
    EXPECT_TRUE(root->HasChild(deep, true));
    root->DeleteChild(t);
    EXPECT_EQ(root->GetChildCount(), 2);
    delete root;
}

// Nodes with many children find them through a name index: it must answer
// as a walk does (case ignored, the first of a repeated name) while children
// are appended, inserted, removed, deleted and renamed.
TEST(KFCurveNodeTest, ManyChildrenFoundAsByAWalk)
{
    KFCurveNode* root = KFCurveNodeCreate("Take");
    auto walk = [root](const char* name) {
        for (int i = 0; i < root->GetChildCount(); ++i)
            if (strcasecmp(root->GetChild(i)->GetName(), name) == 0) return i;
        return -1;
    };
    auto expectAsWalk = [&](const char* step) {
        for (int i = 0; i < root->GetChildCount(); ++i) {
            const std::string name = root->GetChild(i)->GetName();
            EXPECT_EQ(root->FindChildIndexByName(name.c_str()), walk(name.c_str())) << step << ": " << name;
        }
        EXPECT_EQ(root->FindChildIndexByName("missing"), -1) << step;
    };

    for (int i = 0; i < 80; ++i) {
        // Every tenth name repeats an earlier one in another case.
        const std::string name = i % 10 == 9 ? "CHANNEL " + std::to_string(i - 5) : "Channel " + std::to_string(i);
        root->AddChild(KFCurveNodeCreate(name.c_str()));
        ASSERT_EQ(root->FindChildIndexByName(name.c_str()), walk(name.c_str())) << name;
    }
    expectAsWalk("appended");
    EXPECT_EQ(root->FindChildIndexByName("channel 4"), 4);

    root->InsertChildSorted(KFCurveNodeCreate("Aardvark"));   // shifts every index
    expectAsWalk("inserted");
    EXPECT_EQ(root->FindChildIndexByName("aardvark"), 0);

    root->RemoveChild(root->FindChildIndexByName("Channel 4"));   // its twin is found now
    root->DeleteChild(root->GetChild(30));
    delete root->GetChild(40);   // leaves its parent by itself
    expectAsWalk("removed");
    EXPECT_EQ(root->FindChildIndexByName("Channel 4"), walk("CHANNEL 4"));

    // A child takes another node's name record.
    KFCurveNode* source = KFCurveNodeCreate("Renamed Channel");
    root->GetChild(10)->SetSharedName(source);
    delete source;
    expectAsWalk("renamed");
    EXPECT_EQ(root->FindChildIndexByName("renamed channel"), 10);
    delete root;
}

TEST(KFCurveNodeTest, DestroyingAChildDetachesItFromItsParent)
{
    KFCurveNode* root = KFCurveNodeCreate("Root");
    KFCurveNode* child = KFCurveNodeCreate("Child");
    root->AddChild(child);
    delete child;
    EXPECT_EQ(root->GetChildCount(), 0);
    delete root;
}

TEST(KFCurveNodeTest, FindByPathMatchesNamesAndTransformTypesWithoutWritingThePath)
{
    KFCurveNode* root = KFCurveNodeCreate("Defaults");
    KFCurveNode* transform = KFCurveNodeCreate("Transform");
    root->AddChild(transform);
    transform->AddChild(VectorNode("Lcl Translation", &kLclTranslation, 0, 1, 2, 3));
    transform->AddChild(VectorNode("Lcl Rotation", &kLclRotation, 2, 4, 5, 6));

    // Literal texts live in read-only memory: the look-up must not write them.
    const KFCurveNode* x = root->FindByPath("Transform/T/X");
    ASSERT_NE(x, nullptr);
    EXPECT_EQ(x->GetCurve()->GetDefaultValue(), 1.0f);
    // A grandchild is found when no direct child matches.
    EXPECT_EQ(root->FindByPath("T"), transform->GetChild(0));
    EXPECT_EQ(root->FindByPath("R/Z")->GetCurve()->GetDefaultValue(), 6.0f);
    EXPECT_EQ(root->FindByPath("transform/lcl rotation/y")->GetCurve()->GetDefaultValue(), 5.0f);
    EXPECT_EQ(root->FindByPath("S"), nullptr);
    EXPECT_EQ(root->FindByPath("Transform/T/W"), nullptr);
    EXPECT_EQ(root->FindByPath(""), nullptr);
    EXPECT_EQ(root->FindByPath(nullptr), nullptr);
    const std::string path = "Transform/T";
    root->FindByPath(path.c_str());
    EXPECT_EQ(path, "Transform/T");
    delete root;
}

TEST(KFCurveNodeTest, SetCurveWithTheSameCurveDoesNothing)
{
    KFCurveNode* node = LeafNode("X", 1.0f);
    const int changes = node->GetChangeCount();
    EXPECT_EQ(node->SetCurve(node->GetCurve()), nullptr);
    EXPECT_EQ(node->GetChangeCount(), changes);
    KFCurve* replacement = KFCurveCreate();
    KFCurve* old = node->GetCurve();
    EXPECT_EQ(node->SetCurve(replacement, false), old);
    EXPECT_EQ(node->GetChangeCount(), changes + 1);
    delete old;
    delete node;
}

TEST(KFCurveNodeTest, LayerTypeFourAddsAndTypeTwoRemovesTheWChannel)
{
    KFCurveNode* r = VectorNode("R", &kLclRotation, 2, 0, 0, 0);
    r->SetLayerType(eCurveNodeLayerQuaternion);
    ASSERT_EQ(r->GetChildCount(), 4);
    EXPECT_STREQ(r->GetChild(3)->GetName(), "W");
    EXPECT_NE(r->GetChild(3)->GetCurve(), nullptr);
    r->SetLayerType(eCurveNodeLayerRotation);
    EXPECT_EQ(r->GetChildCount(), 3);
    delete r;
}

TEST(KFCurveNodeTest, EvaluationWritesChannelsInTreeOrder)
{
    KFCurveNode* root = KFCurveNodeCreate("Transform");
    root->AddChild(LeafNode("A", 0.0f, 10.0f));
    root->AddChild(VectorNode("T", &kLclTranslation, 1, 1, 2, 3));
    KFCurveNode* empty = KFCurveNodeCreate("Empty");
    root->AddChild(empty);
    ASSERT_EQ(root->GetValueCount(), 4);
    double values[4] = {};
    EXPECT_EQ(root->Evaluate(values, Sec(0.5), nullptr, false), values + 4);
    EXPECT_NEAR(values[0], 5.0, kNodeTolerance);
    EXPECT_EQ(values[3], 3.0);
    double none[1] = {};
    EXPECT_EQ(empty->Evaluate(none, Sec(0), nullptr, false), none);
    double defaults[4] = {};
    root->GatherDefaultValues(defaults);
    EXPECT_EQ(defaults[1], 1.0);
    delete root;
}

TEST(KFCurveNodeTest, CacheIsUsedUntilInvalidated)
{
    KFCurveNode* node = VectorNode("T", &kLclTranslation, 1, 1, 2, 3);
    double values[3];
    node->EvaluateAt(values, Sec(1));
    EXPECT_EQ(node->GetCacheState(), 2);
    // A change behind the node's back is not seen while the cache holds...
    node->GetChild(0)->GetCurve()->SetNotificationEnabled(false);
    node->GetChild(0)->GetCurve()->SetDefaultValue(9.0f);
    node->GetChild(0)->GetCurve()->SetCache(Sec(1), 1.0f);
    node->EvaluateAt(values, Sec(1));
    EXPECT_EQ(values[0], 1.0);
    // ...and is after the cache is invalidated.
    node->InvalidateCache();
    EXPECT_EQ(node->GetCacheState(), 1);
    node->EvaluateAt(values, Sec(1));
    EXPECT_EQ(values[0], 9.0);
    delete node;
}

TEST(KFCurveNodeTest, LayersCombineByLayerType)
{
    struct Case {
        int layerType;
        double base[3], layer[3], expected[3];
    };
    const Case cases[] = {
        {eCurveNodeLayerTranslation, {1, 2, 3}, {1, 2, 3}, {2, 4, 6}},
        {eCurveNodeLayerPlain, {1, 2, 3}, {-1, 0, 1}, {0, 2, 4}},
        {eCurveNodeLayerScaling, {1, 2, 3}, {2, 2, 2}, {2, 4, 6}},
        // Rotations about one axis compose by adding their angles.
        {eCurveNodeLayerRotation, {0, 0, 90}, {0, 0, 45}, {0, 0, 135}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.layerType);
        KFCurveNode* node = VectorNode("N", nullptr, c.layerType, static_cast<float>(c.base[0]),
                                    static_cast<float>(c.base[1]), static_cast<float>(c.base[2]));
        ASSERT_TRUE(node->CreateLayer(1));
        KFCurveNode* layer = node->GetLayer();
        ASSERT_NE(layer, nullptr);
        EXPECT_EQ(layer->GetLayerId(), 1);
        // A fresh layer is neutral.
        double values[3];
        node->Evaluate(values, Sec(0), nullptr, false);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(values[i], c.base[i], kNodeTolerance);
        for (int i = 0; i < 3; ++i) layer->GetChild(i)->GetCurve()->SetDefaultValue(static_cast<float>(c.layer[i]));
        node->Evaluate(values, Sec(0), nullptr, false);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(values[i], c.expected[i], 1e-4) << i;
        delete node;
    }
}

TEST(KFCurveNodeTest, QuaternionChannelsBecomeEulerAngles)
{
    KFCurveNode* q = KFCurveNodeCreate("Q", nullptr, eCurveNodeLayerQuaternion);
    q->AddChild(LeafNode("X", 0.0f));
    q->AddChild(LeafNode("Y", 0.0f));
    q->AddChild(LeafNode("Z", 0.0f));
    q->AddChild(LeafNode("W", 1.0f));
    ASSERT_EQ(q->GetValueCount(), 3);
    double values[3] = {7, 7, 7};
    EXPECT_EQ(q->Evaluate(values, Sec(0), nullptr, false), values + 3);
    EXPECT_NEAR(values[0], 0.0, kNodeTolerance);
    EXPECT_NEAR(values[1], 0.0, kNodeTolerance);
    EXPECT_NEAR(values[2], 0.0, kNodeTolerance);
    // 90 degrees about z: (0, 0, sin 45, cos 45).
    q->GetChild(2)->GetCurve()->SetDefaultValue(std::sqrt(0.5f));
    q->GetChild(3)->GetCurve()->SetDefaultValue(std::sqrt(0.5f));
    q->Evaluate(values, Sec(0), nullptr, false);
    EXPECT_NEAR(values[2], 90.0, 1e-4);
    delete q;
}

TEST(KFCurveNodeTest, QuaternionInterpolationOfRotationKeys)
{
    // Two keys about z, 0 and 90 degrees, linear: halfway is 45 degrees either way.
    KFCurveNode* r = KFCurveNodeCreate("R", &kLclRotation, eCurveNodeLayerRotation);
    r->AddChild(LeafNode("X", 0.0f, 0.0f));
    r->AddChild(LeafNode("Y", 0.0f, 0.0f));
    r->AddChild(LeafNode("Z", 0.0f, 90.0f));
    r->SetQuaternionInterpolation(true);
    double values[3];
    r->Evaluate(values, Sec(0.5), nullptr, false);
    EXPECT_NEAR(values[2], 45.0, 1e-4);
    // A first curve with a single key falls back to plain evaluation.
    KFCurveNode* single = KFCurveNodeCreate("R", &kLclRotation, eCurveNodeLayerRotation);
    single->AddChild(LeafNode("X", 30.0f));
    single->AddChild(LeafNode("Y", 0.0f));
    single->AddChild(LeafNode("Z", 0.0f));
    single->SetQuaternionInterpolation(true);
    single->Evaluate(values, Sec(0.5), nullptr, false);
    EXPECT_EQ(values[0], 30.0);
    delete r;
    delete single;
}

TEST(KFCurveNodeTest, TimeWarpRemapsTime)
{
    KFCurveNode* node = LeafNode("X", 0.0f, 10.0f);
    KFCurveNode* warp = LeafNode("Warp", 0.25f);  // always a quarter second
    node->SetTimeWarp(warp);
    EXPECT_EQ(warp->GetReferenceCount(), 1);
    double value;
    node->Evaluate(&value, Sec(0.9), nullptr, false);
    EXPECT_NEAR(value, 2.5, kNodeTolerance);
    delete node;  // releases the warp, whose count drops to 0
}

TEST(KFCurveNodeTest, CloneCopiesStructureAndCurves)
{
    KFCurveNode* node = VectorNode("T", &kLclTranslation, 1, 1, 2, 3);
    node->SetUserTag(17);
    KFCurveNode* copy = node->Clone(false);
    ASSERT_EQ(copy->GetChildCount(), 3);
    EXPECT_EQ(copy->GetUserTag(), 17);
    EXPECT_EQ(copy->GetDataType(), &kLclTranslation);
    EXPECT_NE(copy->GetChild(0)->GetCurve(), node->GetChild(0)->GetCurve());
    EXPECT_EQ(copy->GetChild(2)->GetCurve()->GetDefaultValue(), 3.0f);
    KFCurveNode* shape = node->Clone(true, false, false);
    EXPECT_EQ(shape->GetChild(0)->GetCurve(), nullptr);
    EXPECT_EQ(shape->GetTemplate(), node);
    delete shape;  // before the template whose names it shares
    delete copy;
    delete node;
}

TEST(KFCurveNodeTest, InsertLayerKeepsTheChainSorted)
{
    KFCurveNode* node = VectorNode("T", nullptr, 1, 0, 0, 0);
    EXPECT_TRUE(node->InsertLayer(5));
    EXPECT_TRUE(node->InsertLayer(2));
    EXPECT_TRUE(node->InsertLayer(9));
    EXPECT_FALSE(node->InsertLayer(5));
    int ids[3], n = 0;
    for (KFCurveNode* l = node->GetLayer(); l && n < 3; l = l->GetLayer()) ids[n++] = l->GetLayerId();
    ASSERT_EQ(n, 3);
    EXPECT_EQ(ids[0], 2);
    EXPECT_EQ(ids[1], 5);
    EXPECT_EQ(ids[2], 9);
    EXPECT_EQ(node->FindLayer(5)->GetLayerId(), 5);
    EXPECT_EQ(node->FindLayer(3), nullptr);

    KFCurveNode* other = VectorNode("T", nullptr, 1, 0, 0, 0);
    other->CopyFrom(node);
    EXPECT_EQ(other->FindLayer(9)->GetLayerId(), 9);
    KFCurveNode* plain = VectorNode("T", nullptr, 1, 0, 0, 0);
    other->CopyLayersFrom(plain);
    EXPECT_EQ(other->GetLayer(), nullptr);
    delete plain;
    delete other;
    delete node;
}

TEST(KFCurveNodeTest, KeyTimesAndSpans)
{
    KFCurveNode* root = KFCurveNodeCreate("Root");
    KFCurveNode* a = LeafNode("A", 0.0f, 1.0f);      // keys at 0 and 1 s
    KFCurveNode* b = KFCurveNodeCreate("B");
    b->SetCurve(KFCurveCreate());
    Fill(*b->GetCurve(), {{0.5, 0}, {3, 0}});
    root->AddChild(a);
    root->AddChild(b);
    EXPECT_EQ(root->GetKeyCount(), 4);
    KTime start, stop;
    ASSERT_TRUE(root->GetKeySpan(start, stop));
    EXPECT_EQ(start, Sec(0));
    EXPECT_EQ(stop, Sec(3));
    EXPECT_EQ(root->GetNextKeyTime(Sec(0)), Sec(0.5));
    EXPECT_EQ(root->GetPreviousKeyTime(Sec(3)), Sec(1));
    const bool onlyFirst[2] = {true, false};
    EXPECT_EQ(root->GetNextKeyTime(Sec(1), onlyFirst, 2), Sec(1));  // nothing after 1 s in A
    KFCurveNode* empty = KFCurveNodeCreate("Empty");
    EXPECT_EQ(empty->GetNextKeyTime(Sec(2)), Sec(2));
    EXPECT_FALSE(empty->GetKeySpan(start, stop));
    delete empty;
    delete root;
}

TEST(KFCurveNodeTest, KeyAppendUnrollsRotations)
{
    KFCurveNode* r = KFCurveNodeCreate("R", &kLclRotation, eCurveNodeLayerRotation);
    r->AddChild(LeafNode("X", 0.0f));
    r->AddChild(LeafNode("Y", 0.0f));
    r->AddChild(LeafNode("Z", 0.0f));
    const double first[3] = {0, 0, 170};
    const double second[3] = {0, 0, -170};  // 20 degrees further on, across the wrap
    r->KeyAppend(Sec(0), first, true);
    r->KeyAppend(Sec(1), second, true);
    EXPECT_NEAR(r->GetChild(2)->GetCurve()->KeyGetValue(1), 190.0, 1e-4);
    delete r;
}

TEST(KFCurveNodeTest, AngleHelpers)
{
    EXPECT_DOUBLE_EQ(KgeAngleNearest(350, 0), -10);
    EXPECT_DOUBLE_EQ(KgeAngleNearest(10, 180), 10);
    EXPECT_DOUBLE_EQ(KgeAngleNearest(-720, 5), 0);
    const double v[4] = {0, 0, 0, 2};
    EXPECT_DOUBLE_EQ(KgeVector4Length(v), 2.0);
}

TEST(KFCurveNodeTest, ReplaceRangeOnQuaternionNodeScalesByTheEndNorms)
{
    auto quaternion = [](float w) {
        KFCurveNode* q = KFCurveNodeCreate("Q", nullptr, eCurveNodeLayerQuaternion);
        for (const char* name : {"X", "Y", "Z"}) q->AddChild(LeafNode(name, 0.0f));
        q->AddChild(LeafNode("W", w));
        return q;
    };
    KFCurveNode* target = quaternion(2.0f);
    KFCurveNode* source = quaternion(0.0f);
    Fill(*source->GetChild(3)->GetCurve(), {{1, 1.0f}});
    ASSERT_TRUE(target->ReplaceRange(source, Sec(0), Sec(2), false, false, KTime(0)));
    KFCurve* w = target->GetChild(3)->GetCurve();
    ASSERT_EQ(w->KeyGetCount(), 1);
    EXPECT_FLOAT_EQ(w->KeyGetValue(0), 2.0f);  // 1 times the norm 2 at both ends
    // A rotation node without three channels is refused.
    KFCurveNode* bare = KFCurveNodeCreate("R", nullptr, eCurveNodeLayerRotation);
    EXPECT_FALSE(bare->ReplaceRange(target, Sec(0), Sec(1), false, false, KTime(0)));
    delete bare;
    delete source;
    delete target;
}

TEST(KFCurveNodeTest, DeepTreesAreCutOffAtTheDepthLimit)
{
    KFCurveNode* root = KFCurveNodeCreate("Root");
    KFCurveNode* n = root;
    for (int i = 0; i < kFCurveNodeMaxDepth + 10; ++i) n = n->FindOrCreateChild("Level", false);
    n->SetCurve(KFCurveCreate());
    EXPECT_EQ(root->FindByPath("Nothing"), nullptr);
    EXPECT_EQ(root->GetKeyCount(), 0);
    KFCurveNode* copy = root->Clone(false);
    delete copy;
    delete root;
}

// --- take node ------------------------------------------------------------

TEST(KDuzTakeNodeTest, StandardChannelGetters)
{
    KDuzTakeNode take("Take 001");
    EXPECT_EQ(take.GetTranslationXCurve(), nullptr);
    EXPECT_EQ(take.GetError().GetLastErrorIndex(), 0);
    EXPECT_STREQ(take.GetError().GetLastErrorString(), "Curve not found");

    KFCurveNode* root = take.GetCurveNode();
    EXPECT_STREQ(root->GetName(), "Defaults");
    KFCurveNode* transform = KFCurveNodeCreate("Transform");
    root->AddChild(transform);
    transform->AddChild(VectorNode("T", &kLclTranslation, 1, 1, 2, 3));
    root->AddChild(LeafNode("Intensity", 0.0f, 100.0f));
    KFCurveNode* visibility = KFCurveNodeCreate("Visibility", &kVisibility);
    visibility->SetCurve(KFCurveCreate());
    root->AddChild(visibility);

    ASSERT_NE(take.GetTranslationYCurve(), nullptr);
    EXPECT_EQ(take.GetTranslationYCurve()->GetDefaultValue(), 2.0f);
    EXPECT_NE(take.GetIntensityCurve(), nullptr);
    EXPECT_EQ(take.GetVisibilityCurve(), visibility->GetCurve());
    EXPECT_TRUE(take.IsAnimated("Intensity"));
    EXPECT_FALSE(take.IsAnimated("Transform", "T", "X"));
    KTime start(KTime::kInfiniteTicks), stop(KTime::kMinusInfiniteTicks);
    ASSERT_TRUE(take.GetAnimationInterval(start, stop));
    EXPECT_EQ(stop, Sec(1));

    KDuzTakeNode copy(take);
    EXPECT_STREQ(copy.GetName(), "Take 001");
    ASSERT_NE(copy.GetIntensityCurve(), nullptr);
    EXPECT_NE(copy.GetIntensityCurve(), take.GetIntensityCurve());
    EXPECT_EQ(copy.GetIntensityCurve()->KeyGetCount(), 2);
}

}  // namespace
}  // namespace duzsdk
