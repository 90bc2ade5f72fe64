#include "KDuzNodeTestSupport.h"
#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/scene/KDuzNodePivotConversion.h"
#include "sdk/base/KgeMath.h"

#include <cmath>

#include <vector>

namespace duzsdk {
namespace {

using testing_node::NodeTest;
using testing_node::TypedAttribute;

// What the filter was asked to do, one record per application.
std::vector<KDuzPivotConversionFilter> gApplied;
std::vector<KgeMatrix> gGeometryFactors;

class PivotTest : public NodeTest {
protected:
    void SetUp() override {
        NodeTest::SetUp();
        gApplied.clear();
        gGeometryFactors.clear();
        KDuzSetPivotFilterApplier(
            [](const KDuzPivotConversionFilter& filter, KFCurveNode*) { gApplied.push_back(filter); });
        KDuzSetGeometryPivotAdjuster(
            [](KDuzObject*, const KgeMatrix& factor) { gGeometryFactors.push_back(factor); });
    }
    void TearDown() override {
        KDuzSetPivotFilterApplier(nullptr);
        KDuzSetGeometryPivotAdjuster(nullptr);
        NodeTest::TearDown();
    }
};

TEST_F(PivotTest, RotationOffsetShiftsEveryTranslationKeyOfEveryTake) {
    KDuzNode* node = Node();
    ASSERT_TRUE(node->SetLclTranslation(duzVectorTemplate3<double>(1, 0, 0)));
    KDuzTakeNode* walk = node->CreateTakeNode("Walk");
    ASSERT_NE(walk, nullptr);
    KFCurve* x = walk->GetTranslationXCurve();
    x->KeySetValue(x->KeyAdd(KTime(0)), 2.0f);
    x->KeySetValue(x->KeyAdd(KTime(100)), 4.0f);
    node->SetRotationOffset(0, KgeTVector(10, 0, 0, 1));
    node->SetPivotState(0, 0);

    ASSERT_TRUE(node->ConvertPivotAnimation(30.0, 0));
    EXPECT_FLOAT_EQ(x->KeyGetValue(0), 12.0f);
    EXPECT_FLOAT_EQ(x->KeyGetValue(1), 14.0f);
    EXPECT_FLOAT_EQ(x->GetDefaultValue(), 11.0f);
    EXPECT_FLOAT_EQ(node->GetDefaultTakeNode()->GetTranslationXCurve()->GetDefaultValue(), 11.0f);
    // Counted once in the property.
    EXPECT_DOUBLE_EQ(node->GetLclTranslation()[0], 11.0);
    // Only an offset: nothing for the filter; set 0 left reset.
    EXPECT_TRUE(gApplied.empty());
    EXPECT_DOUBLE_EQ(node->GetRotationOffset(0)[0], 0.0);
}

TEST_F(PivotTest, SetsThatDoNotTakePartChangeNothing) {
    KDuzNode* node = Node();
    node->SetRotationPivot(0, KgeTVector(5, 5, 5, 1));  // state 1: does not take part
    node->SetRotationOffset(0, KgeTVector(3, 0, 0, 1));
    ASSERT_TRUE(node->ConvertPivotAnimation(24.0, 1));
    EXPECT_TRUE(gApplied.empty());
    EXPECT_DOUBLE_EQ(node->GetLclTranslation()[0], 0.0);
}

TEST_F(PivotTest, PivotsAndOrdersFillTheFilter) {
    KDuzNode* root = Node("root");
    KDuzNode* child = Node("child");
    ASSERT_TRUE(root->AddChild(child));
    child->SetRotationPivot(0, KgeTVector(1, 2, 3, 1));
    child->SetScalingOffset(0, KgeTVector(0, 4, 0, 1));
    child->SetRotationOrder(0, eEulerZXY);
    child->SetPivotState(0, 0);
    ASSERT_TRUE(child->CreateTakeNode("Walk") != nullptr);

    ASSERT_TRUE(root->ConvertPivotAnimation(25.0, 1));
    // Applied once per take of the child (two), never for the root.
    ASSERT_EQ(gApplied.size(), 2u);
    const KDuzPivotConversionFilter& filter = gApplied[0];
    EXPECT_TRUE(filter.slotSet[eDuzPivotSlotRotationPivot]);
    EXPECT_DOUBLE_EQ(filter.slots[eDuzPivotSlotRotationPivot].GetElement(3, 2), 3.0);
    EXPECT_TRUE(filter.slotSet[eDuzPivotSlotScalingOffset]);
    EXPECT_FALSE(filter.slotSet[eDuzPivotSlotScalingPivot]);
    EXPECT_EQ(filter.sourceRotationOrder, 8);
    EXPECT_EQ(filter.destinationRotationOrder, 0);
    EXPECT_TRUE(filter.convertRotation);
    EXPECT_EQ(filter.settings[2], 1);
    EXPECT_NEAR(filter.samplingPeriod.GetSecondDouble(), 1.0 / 25.0, 1e-9);
    int order = -1;
    child->GetRotationOrder(0, order);
    EXPECT_EQ(order, 0);
}

TEST_F(PivotTest, EqualPreRotationsStillFillSlot9) {
    KDuzNode* node = Node();
    node->SetRotationActive(true);
    node->SetPreRotation(0, KgeTVector(0, 0, 30, 1));
    node->SetPreRotation(1, KgeTVector(0, 0, 30, 1));
    node->SetPivotState(0, 0);
    node->SetPivotState(1, 0);
    // Direct conversion between two equal sets: no filter work.
    ASSERT_TRUE(node->ConvertPivotAnimationRecursive(1, 30.0, 0));
    EXPECT_TRUE(gApplied.empty());

    // Make the orders differ to see the record the filter gets.
    node->SetRotationOrder(1, eEulerYXZ);
    ASSERT_TRUE(node->ConvertPivotAnimationRecursive(1, 30.0, 0));
    ASSERT_FALSE(gApplied.empty());
    EXPECT_TRUE(gApplied.back().slotSet[eDuzPivotSlotSourcePreRotation]);
    EXPECT_FALSE(gApplied.back().slotSet[eDuzPivotSlotPreRotation]);
}

TEST_F(PivotTest, GeometryPivotGetsTheGeometricDifference) {
    KDuzNode* node = Node();
    ASSERT_EQ(node->SetNodeAttribute(TypedAttribute::Make(manager, "mesh", eMesh)), nullptr);
    node->SetGeometricTranslation(0, KgeTVector(0, 0, 7, 1));
    node->SetPivotState(0, 0);
    ASSERT_TRUE(node->ConvertPivotAnimation(30.0, 0));
    ASSERT_EQ(gGeometryFactors.size(), 1u);
    EXPECT_DOUBLE_EQ(gGeometryFactors[0].GetElement(3, 2), 7.0);
}

TEST_F(PivotTest, ZeroFrameRateIsRefused) {
    KDuzNode* node = Node();
    node->SetRotationOffset(0, KgeTVector(1, 0, 0, 1));
    node->SetPivotState(0, 0);
    EXPECT_FALSE(node->ConvertPivotAnimation(0.0, 0));
    EXPECT_FALSE(node->ConvertPivotAnimationRecursive(1, -5.0, 0));
    EXPECT_DOUBLE_EQ(node->GetRotationOffset(0)[0], 1.0);  // untouched
}

// Without a hook of its own the conversion runs the matrix-converter filter:
// a pre-rotation is baked into the rotation curves, giving at every frame the
// rotation the node had (its rotation, then the pre-rotation).
TEST_F(NodeTest, PivotConversionBakesThePreRotationThroughTheRealFilter) {
    KDuzNode* node = Node();
    node->SetRotationActive(true);
    node->SetPreRotation(0, KgeTVector(0, 0, 90, 1));
    node->SetPivotState(0, 0);
    KDuzTakeNode* walk = node->CreateTakeNode("Walk");
    ASSERT_NE(walk, nullptr);
    KFCurve* rx = walk->GetRotationXCurve();
    KFCurve* tx = walk->GetTranslationXCurve();
    ASSERT_TRUE(rx != nullptr && tx != nullptr);
    KTime second;
    second.SetSecondDouble(1.0);
    rx->KeySet(0, KTime(0), 0.0f);
    rx->KeySet(1, second, 60.0f);
    tx->KeySet(0, KTime(0), 1.0f);
    tx->KeySet(1, second, 3.0f);
    std::vector<double> before[2];
    for (int f = 0; f <= 30; ++f) {
        KTime t;
        t.SetSecondDouble(f / 30.0);
        double r[16] = {}, pre[16] = {}, m[16] = {};
        KgeEulerXYZToMatrix(r, rx->Evaluate(t), 0.0, 0.0);
        KgeEulerXYZToMatrix(pre, 0.0, 0.0, 90.0);
        KgeMatrixMultiply3x3(m, pre, r);  // r first, then the pre-rotation
        before[0].insert(before[0].end(), m, m + 11);
        before[1].push_back(tx->Evaluate(t));
    }

    ASSERT_TRUE(node->ConvertPivotAnimation(30.0, 0));
    KFCurve* curves[3] = {walk->GetRotationXCurve(), walk->GetRotationYCurve(), walk->GetRotationZCurve()};
    EXPECT_GT(walk->GetRotationZCurve()->KeyGetCount(), 0);
    for (int f = 0; f <= 30; ++f) {
        SCOPED_TRACE(f);
        KTime t;
        t.SetSecondDouble(f / 30.0);
        double m[16] = {};
        KgeEulerXYZToMatrix(m, curves[0]->Evaluate(t), curves[1]->Evaluate(t), curves[2]->Evaluate(t));
        for (int i : {0, 1, 2, 4, 5, 6, 8, 9, 10}) EXPECT_NEAR(m[i], before[0][11 * f + i], 1e-4);
        EXPECT_NEAR(walk->GetTranslationXCurve()->Evaluate(t), before[1][f], 1e-4);
    }
    EXPECT_DOUBLE_EQ(node->GetPreRotation(0)[2], 0.0);  // set 0 left reset
}

}  // namespace
}  // namespace duzsdk
