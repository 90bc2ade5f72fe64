// Curve tools: tangent fitting, refinement, the time-warp registry, layer
// combination and the layer merge.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "KFCurveTestUtil.h"
#include "sdk/animation/KFCurveTools.h"
#include "sdk/base/KSortedPtrMap.h"
#include "sdk/base/KgeMath.h"

namespace duzsdk {
namespace {

using test::Fill;
using test::Sec;

using test::B;
using test::L;

KFCurveNode* ConstantLeaf(const char* name, float value)
{
    KFCurveNode* node = KFCurveNodeCreate(name);
    node->SetCurve(KFCurveCreate());
    node->GetCurve()->SetDefaultValue(value);
    return node;
}

KFCurveNode* LayerVector(int layerType, float x, float y, float z)
{
    KFCurveNode* node = KFCurveNodeCreate("V", nullptr, layerType);
    node->AddChild(ConstantLeaf("X", x));
    node->AddChild(ConstantLeaf("Y", y));
    node->AddChild(ConstantLeaf("Z", z));
    return node;
}

TEST(KFCurveToolsTest, FitLeavesMatchingKeysAlone)
{
    KFCurve curve, reference;
    Fill(curve, {{0, 0, B, kFCurveTangentUser, 1, 1}, {1, 1, B, kFCurveTangentUser, 1, 1}, {2, 2, B, kFCurveTangentUser, 1, 1}});
    Fill(reference, {{0, 0, L, 0}, {2, 2, L, 0}});
    KFCurveFitKeyTangents(1, &curve, &reference, Sec(0.1), 1e-3);
    EXPECT_EQ(curve.KeyGetTangentMode(1), kFCurveTangentUser);
    EXPECT_EQ(curve.KeyGetDataFloat(1, 0), 1.0f);
}

TEST(KFCurveToolsTest, FitComparesOnlyTheSidesAKeyHas)
{
    KFCurve curve, reference;  // reference: 2 t
    Fill(curve, {{0, 0, B, kFCurveTangentUser, 1, 1}, {1, 1, B, kFCurveTangentUser, 1, 1}, {2, 2, B, kFCurveTangentUser, 1, 1}});
    Fill(reference, {{0, 0, L, 0}, {2, 4, L, 0}});
    KFCurveFitKeyTangents(0, &curve, &reference, Sec(0.1), 1e-3);
    EXPECT_EQ(curve.KeyGetTangentMode(0), kFCurveTangentUserBreak);
    EXPECT_NEAR(curve.ComputeRightDerivative(0), 2.0, 1e-4);
    // Last key: left slope (2 - 3.8) / 0.1 = -18 from the reference.
    KFCurveFitKeyTangents(2, &curve, &reference, Sec(0.1), 1e-3);
    EXPECT_EQ(curve.KeyGetTangentMode(2), kFCurveTangentUserBreak);
    EXPECT_NEAR(curve.ComputeLeftDerivative(2), -18.0, 1e-3);
    // Bad arguments change nothing.
    KFCurveFitKeyTangents(1, &curve, nullptr, Sec(0.1), 1e-3);
    KFCurveFitKeyTangents(1, &curve, &reference, KTime(0), 1e-3);
    KFCurveFitKeyTangents(7, &curve, &reference, Sec(0.1), 1e-3);
    EXPECT_EQ(curve.KeyGetTangentMode(1), kFCurveTangentUser);
}

TEST(KFCurveToolsTest, RefineAddsKeysWhereTheCurveStrays)
{
    KFCurve curve, reference;
    Fill(curve, {{0, 0, L, 0}, {1, 0, L, 0}});
    Fill(reference, {{0, 0}, {0.5, 1}, {1, 0}});
    KFCurveRefineAgainst(Sec(0), Sec(1), &curve, &reference, 0.01, 4, false, Sec(0.01));
    EXPECT_GT(curve.KeyGetCount(), 2);
    for (double t : {0.25, 0.5, 0.75}) EXPECT_NEAR(curve.Evaluate(Sec(t)), reference.Evaluate(Sec(t)), 0.01) << t;
    KFCurve untouched;
    Fill(untouched, {{0, 0, L, 0}, {1, 0, L, 0}});
    KFCurveRefineAgainst(Sec(0), Sec(1), &untouched, &untouched, 0.01, 1, false, Sec(0.01));
    EXPECT_EQ(untouched.KeyGetCount(), 2);
}

TEST(KFCurveToolsTest, TimeWarpRegistry)
{
    KFCurveSetTimeWarpSet(nullptr);
    int id = -1;
    KFCurveNode* warp = KFCurveNodeCreate("Warp");
    EXPECT_EQ(KFCurveFindTimeWarp(3), nullptr);
    EXPECT_FALSE(KFCurveGetTimeWarpId(&id, warp));
    KSortedPtrMap set;
    set.Insert(static_cast<uintptr_t>(3), warp);
    KFCurveSetTimeWarpSet(&set);
    EXPECT_EQ(KFCurveFindTimeWarp(3), warp);
    EXPECT_EQ(KFCurveFindTimeWarp(4), nullptr);
    EXPECT_TRUE(KFCurveGetTimeWarpId(&id, warp));
    EXPECT_EQ(id, 3);
    EXPECT_FALSE(KFCurveGetTimeWarpId(&id, nullptr));
    KFCurveSetTimeWarpSet(nullptr);
    delete warp;
}

TEST(KFCurveToolsTest, LayerCombineAndInverseByType)
{
    // Scaling layers multiply every channel, a single own curve included.
    KFCurveNode* scale = LayerVector(eCurveNodeLayerScaling, 1, 1, 1);
    const double five[3] = {5, 5, 5}, two[3] = {2, 2, 2};
    double out[4] = {};
    KFCurveNodeLayerCombine(scale, out, five, two);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(out[i], 10.0);
    KFCurveNode* single = KFCurveNodeCreate("S", nullptr, eCurveNodeLayerScaling);
    single->SetCurve(KFCurveCreate());
    out[1] = -1;
    KFCurveNodeLayerCombine(single, out, five, two);
    EXPECT_EQ(out[0], 10.0);
    EXPECT_EQ(out[1], -1.0);  // one channel only
    const double withZero[3] = {2, 0, 4};
    KFCurveNodeLayerInverse(scale, out, withZero);
    EXPECT_EQ(out[0], 0.5);
    EXPECT_EQ(out[1], 0.0);  // no reciprocal of 0
    EXPECT_EQ(out[2], 0.25);

    // Rotations compose: 90 + 90 degrees about z is a half turn about z.
    KFCurveNode* rotation = LayerVector(eCurveNodeLayerRotation, 0, 0, 0);
    const double quarter[3] = {0, 0, 90};
    KFCurveNodeLayerCombine(rotation, out, quarter, quarter);
    double got[16], want[16];
    KgeEulerXYZToMatrix(got, out[0], out[1], out[2]);
    KgeEulerXYZToMatrix(want, 0, 0, 180);
    for (int i : {0, 1, 2, 4, 5, 6, 8, 9, 10}) EXPECT_NEAR(got[i], want[i], 1e-9) << i;
    KFCurveNodeLayerInverse(rotation, out, quarter);
    EXPECT_NEAR(out[2], -90.0, 1e-9);

    KFCurveNode* quaternion = LayerVector(eCurveNodeLayerRotation, 0, 0, 0);
    quaternion->SetLayerType(eCurveNodeLayerQuaternion);  // adds the W channel
    EXPECT_EQ(quaternion->GetChildCount(), 4);
    const double q[4] = {0.1, 0.2, 0.3, 0.9};
    KFCurveNodeLayerInverse(quaternion, out, q);
    EXPECT_EQ(out[0], -0.1);
    EXPECT_EQ(out[3], 0.9);
    // Out-of-range layer types leave the output alone.
    KFCurveNode* odd = LayerVector(7, 0, 0, 0);
    out[0] = 42;
    KFCurveNodeLayerCombine(odd, out, five, two);
    EXPECT_EQ(out[0], 42.0);
    for (KFCurveNode* n : {scale, single, rotation, quaternion, odd}) delete n;
}

TEST(KFCurveToolsTest, AllKeysHave)
{
    KFCurveNode* node = LayerVector(eCurveNodeLayerTranslation, 0, 0, 0);
    EXPECT_FALSE(KFCurveNodeAllKeysHave(node, kFCurveInterpolationConstant, false));  // no keys at all
    Fill(*node->GetChild(0)->GetCurve(), {{0, 0, kFCurveInterpolationConstant, 0}});
    EXPECT_TRUE(KFCurveNodeAllKeysHave(node, kFCurveInterpolationConstant, false));
    Fill(*node->GetChild(1)->GetCurve(), {{0, 0, L, 0}});
    EXPECT_FALSE(KFCurveNodeAllKeysHave(node, kFCurveInterpolationConstant, false));
    EXPECT_TRUE(KFCurveNodeAllKeysHave(node, kFCurveInterpolationConstant | L, false));
    delete node;
}

TEST(KFCurveToolsTest, MergeLayersIntoTheBaseCurves)
{
    KFCurveNode* node = LayerVector(eCurveNodeLayerTranslation, 0, 0, 0);
    Fill(*node->GetChild(0)->GetCurve(), {{0, 0, L, 0}, {1, 10, L, 0}});
    ASSERT_TRUE(node->CreateLayer(1));
    KFCurveNode* layer = node->GetLayer();
    for (int i = 0; i < 3; ++i) layer->GetChild(i)->GetCurve()->SetDefaultValue(static_cast<float>(i + 1));

    EXPECT_FALSE(KFCurveNodeMergeLayers(node, nullptr, 0, 0, kFCurveMergeReplaceCurves, Sec(0), Sec(1), KTime(0),
                                        nullptr, nullptr, true));
    ASSERT_TRUE(KFCurveNodeMergeLayers(node, nullptr, 0, 0, kFCurveMergeReplaceCurves, Sec(0), Sec(1),
                                       KFCurveGetDefaultPeriod(), nullptr, nullptr, true));
    KFCurve* x = node->GetChild(0)->GetCurve();
    // Samples at 0, 1/30, ... 1 s, and the first one after the stop.
    EXPECT_EQ(x->KeyGetCount(), 32);
    EXPECT_NEAR(x->Evaluate(Sec(0.5)), 6.0, 1e-4);
    EXPECT_NEAR(node->GetChild(2)->GetCurve()->Evaluate(Sec(0.2)), 3.0, 1e-5);
    delete node;
}

// A chain of three layers (ids 0, 1, 2) of one type, each channel of layer i
// at values[i].
KFCurveNode* Chain(int layerType, const float (&values)[3])
{
    KFCurveNode* node = LayerVector(layerType, values[0], values[0], values[0]);
    EXPECT_TRUE(node->InsertLayer(1));
    EXPECT_TRUE(node->InsertLayer(2));
    int i = 0;
    for (KFCurveNode* n = node; n; n = n->GetLayer(), ++i)
        for (int c = 0; c < 3; ++c) n->GetChild(c)->GetCurve()->SetDefaultValue(values[i]);
    return node;
}

TEST(KFCurveToolsTest, LayerListsAddAndRemoveLayersByType)
{
    const struct {
        int type;
        float layers[3];
        double start;
        double expected;   // start, with layers 0 and 2 added and 1 removed
    } cases[] = {
        {eCurveNodeLayerTranslation, {1, 2, 4}, 10, 10 + 1 - 2 + 4},
        {eCurveNodeLayerScaling, {2, 4, 5}, 3, 3 * 2 / 4.0 * 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        KFCurveNode* node = Chain(c.type, c.layers);
        double values[8] = {c.start, c.start, c.start};
        const int added[] = {0, 2}, removed[] = {1};
        KFCurveNodeEvaluateLayerLists(node, values, Sec(0), added, 2, removed, 1);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(values[i], c.expected, 1e-12);
        KFCurveNodeEvaluateLayerLists(node, values, Sec(0), nullptr, 0, nullptr, 0);
        EXPECT_NEAR(values[0], c.expected, 1e-12);
        delete node;
    }
}

TEST(KFCurveToolsTest, MergeWithAReferenceLayerFlattensTheWholeChain)
{
    const struct {
        std::vector<int> list;   // empty: no list
        float expected;
    } cases[] = {
        {{}, 1 + 2 + 4},
        {{0, 2}, 1 + 4},   // the reference's own layer left out
        {{1, 2}, 2 + 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.list.size());
        const float layers[3] = {1, 2, 4};
        KFCurveNode* node = Chain(eCurveNodeLayerTranslation, layers);
        KFCurveNode* reference = node->GetLayer();   // layer 1
        ASSERT_TRUE(KFCurveNodeMergeLayers(node, c.list.empty() ? nullptr : c.list.data(),
                                           static_cast<int>(c.list.size()), 0, kFCurveMergeReplaceCurves, Sec(0),
                                           Sec(1), KFCurveGetDefaultPeriod(), nullptr, reference, false));
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(node->GetChild(i)->GetCurve()->Evaluate(Sec(0.5)), c.expected, 1e-5);
        delete node;
    }
}

TEST(KFCurveToolsTest, MergeOptionsConstantChainGivesConstantKeysAtItsKeyTimes)
{
    constexpr std::uint32_t C = kFCurveInterpolationConstant;
    KFCurveNode* node = LayerVector(eCurveNodeLayerTranslation, 0, 0, 0);
    Fill(*node->GetChild(0)->GetCurve(), {{0, 1, C, 0}, {1, 2, C, 0}, {2, 3, C, 0}});
    ASSERT_TRUE(node->CreateLayer(1));
    Fill(*node->GetLayer()->GetChild(0)->GetCurve(), {{0.5, 10, C, 0}, {1.5, 20, C, 0}});
    // The chain's value, step by step, before the merge.
    std::vector<double> before;
    for (int i = 0; i <= 40; ++i) {
        double v[8] = {};
        node->GetNeutralValues(v);
        KFCurveNodeEvaluateLayersToDepth(node, v, Sec(i / 20.0), nullptr, 0);
        before.push_back(v[0]);
    }
    KFCurveMergeOptions options;
    options.mergeConstant = true;
    ASSERT_TRUE(KFCurveNodeMergeLayers(node, nullptr, 0, 0, kFCurveMergeReplaceCurves, Sec(0), Sec(2),
                                       KFCurveGetDefaultPeriod(), nullptr, nullptr, false, &options));
    const KFCurve* x = node->GetChild(0)->GetCurve();
    ASSERT_EQ(x->KeyGetCount(), 5);  // 0, 0.5, 1, 1.5, 2 s
    for (int k = 0; k < 5; ++k) EXPECT_EQ(x->KeyGetInterpolation(k), C);
    for (int i = 0; i <= 40; ++i) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(x->Evaluate(Sec(i / 20.0)), before[i], 1e-5);
    }
    delete node;
}

TEST(KFCurveToolsTest, MergeOptionsKeyTimesResultStaysNearTheSampledChain)
{
    KFCurveNode* node = LayerVector(eCurveNodeLayerTranslation, 0, 0, 0);
    Fill(*node->GetChild(0)->GetCurve(), {{0, 0}, {1, 10}, {2, 0}});
    ASSERT_TRUE(node->CreateLayer(1));
    Fill(*node->GetLayer()->GetChild(0)->GetCurve(), {{0, 0}, {0.7, 3}, {2, 0}});
    std::vector<double> before;
    for (int i = 0; i <= 60; ++i) {
        double v[8] = {};
        node->GetNeutralValues(v);
        KFCurveNodeEvaluateLayersToDepth(node, v, Sec(i / 30.0), nullptr, 0);
        before.push_back(v[0]);
    }
    KFCurveMergeOptions options;
    options.fitTangents = true;
    options.refine = true;
    options.tolerance = 0.01;
    options.timeOffset = Sec(1.0 / 120.0);
    options.keyTimesResult = true;
    ASSERT_TRUE(KFCurveNodeMergeLayers(node, nullptr, 0, 0, kFCurveMergeReplaceCurves, Sec(0), Sec(2),
                                       KFCurveGetDefaultPeriod(), nullptr, nullptr, false, &options));
    const KFCurve* x = node->GetChild(0)->GetCurve();
    // Keys at the layers' key times (0, 0.7, 1, 2 s) and where refinement asked; far fewer than samples.
    EXPECT_GE(x->KeyGetCount(), 4);
    EXPECT_LT(x->KeyGetCount(), 30);
    for (double t : {0.0, 0.7, 1.0, 2.0}) {
        const double p = x->KeyFind(Sec(t));
        EXPECT_EQ(x->KeyGetTime(static_cast<int>(std::lround(p))), Sec(t));
    }
    double worst = 0.0;
    for (int i = 0; i <= 60; ++i) worst = std::max(worst, std::fabs(x->Evaluate(Sec(i / 30.0)) - before[i]));
    EXPECT_LT(worst, 0.05);
    delete node;
}

TEST(KFCurveToolsTest, SettingsStartWithTheirDefaults)
{
    EXPECT_EQ(KFCurveGetDefaultPeriod().Get(), 1539538600);
    EXPECT_EQ(KFCurveGetRotationFilterChoice(), 2);
    EXPECT_TRUE(KFCurveGetApplyRotationFilterOnRead());
    EXPECT_EQ(KFCurveGetUnrollSetting(), 0.25);
    EXPECT_FALSE(KFCurveGetUnrollFlag());
    KFCurveNode* node = KFCurveNodeCreate("R");
    EXPECT_FALSE(KFCurveApplyRotationFilter(node, Sec(0), Sec(1)));  // not a rotation node
    static int calls = 0;
    KFCurveSetRotationFilterHandler([](int choice, KFCurveNode*, KTime, KTime) {
        calls += choice;
        return true;
    });
    EXPECT_TRUE(KFCurveApplyRotationFilter(node, Sec(0), Sec(1)));
    EXPECT_EQ(calls, 2);
    KFCurveSetRotationFilterHandler(nullptr);
    delete node;
}

}  // namespace
}  // namespace duzsdk
