#include "KDuzNodeTestSupport.h"
#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/base/KgeMath.h"
#include "sdk/scene/KDuzNodeLimits.h"

namespace duzsdk {
namespace {

using testing_node::ExpectNoNaN;
using testing_node::ExpectRow;
using testing_node::NodeTest;
using Vector3 = duzVectorTemplate3<double>;

// Curve defaults are single precision.
constexpr double kFloatTolerance = 1e-5;

class TransformTest : public NodeTest {
protected:
    KDuzNode* Trs(const char* name, Vector3 t, Vector3 r, Vector3 s) {
        KDuzNode* node = Node(name);
        EXPECT_TRUE(node->SetLclTranslation(t));
        EXPECT_TRUE(node->SetLclRotation(r));
        EXPECT_TRUE(node->SetLclScaling(s));
        return node;
    }
    static KgeTVector Apply(const KgeMatrix& m, double x, double y, double z) {
        double p[3] = {x, y, z};
        KgeMatrixTransformPoint(p, m.Data(), p);
        return KgeTVector(p[0], p[1], p[2], 1.0);
    }
};

TEST_F(TransformTest, RootTranslationRotationScaling) {
    KDuzNode* node = Trs("root", Vector3(1, 2, 3), Vector3(0, 0, 90), Vector3(2, 2, 2));
    const KgeMatrix& g = node->GetGlobalTransform();
    ExpectRow(g, 0, 0, 2, 0, 0, kFloatTolerance);
    ExpectRow(g, 1, -2, 0, 0, 0, kFloatTolerance);
    ExpectRow(g, 2, 0, 0, 2, 0, kFloatTolerance);
    ExpectRow(g, 3, 1, 2, 3, 1, kFloatTolerance);
}

TEST_F(TransformTest, ChildCombinesWithParentAndCachesIt) {
    KDuzNode* parent = Trs("parent", Vector3(10, 0, 0), Vector3(0, 0, 90), Vector3(1, 1, 1));
    KDuzNode* child = Trs("child", Vector3(1, 0, 0), Vector3(0, 0, 0), Vector3(1, 1, 1));
    ASSERT_TRUE(parent->AddChild(child));
    // Asked first, the child computes the parent's transform too.
    const KgeMatrix& g = child->GetGlobalTransform();
    ExpectRow(g, 3, 10, 1, 0, 1, kFloatTolerance);
    ExpectRow(g, 0, 0, 1, 0, 0, kFloatTolerance);
    const KgeMatrix* parentG = &parent->GetGlobalTransform();
    ExpectRow(*parentG, 3, 10, 0, 0, 1, kFloatTolerance);
}

TEST_F(TransformTest, EditsAreSeenWithoutChangingTake) {
    KDuzNode* parent = Trs("parent", Vector3(0, 0, 0), Vector3(0, 0, 0), Vector3(1, 1, 1));
    KDuzNode* child = Trs("child", Vector3(1, 0, 0), Vector3(0, 0, 0), Vector3(1, 1, 1));
    ASSERT_TRUE(parent->AddChild(child));
    ExpectRow(child->GetGlobalTransform(), 3, 1, 0, 0, 1, kFloatTolerance);
    ASSERT_TRUE(parent->SetLclTranslation(Vector3(5, 0, 0)));
    ExpectRow(child->GetGlobalTransform(), 3, 6, 0, 0, 1, kFloatTolerance);
    // A curve default edited directly reaches the property and the transform.
    child->GetDefaultTakeNode()->GetTranslationYCurve()->SetDefaultValue(2.0f);
    ExpectRow(child->GetGlobalTransform(), 3, 6, 2, 0, 1, kFloatTolerance);
    parent->RemoveChild(child);
    ExpectRow(child->GetGlobalTransform(), 3, 1, 2, 0, 1, kFloatTolerance);
}

TEST_F(TransformTest, Set1RightAfterSet0ReturnsTheCachedMatrix) {
    KDuzNode* node = Trs("node", Vector3(1, 0, 0), Vector3(0, 0, 0), Vector3(1, 1, 1));
    node->SetRotationOffset(1, KgeTVector(100, 0, 0, 1));
    const KgeMatrix& set0 = node->GetGlobalTransform(0);
    const KgeMatrix& set1 = node->GetGlobalTransform(1);
    EXPECT_EQ(&set0, &set1);
    ExpectRow(set1, 3, 1, 0, 0, 1, kFloatTolerance);
    // With a fresh cache, set 1 is evaluated with its own offset, and set 0
    // is selected again afterwards.
    node->DropTransformCaches();
    ExpectRow(node->GetGlobalTransform(1), 3, 101, 0, 0, 1, kFloatTolerance);
    EXPECT_EQ(node->GetTransformEvaluationRecord().flags & kDuzEvalRotationOffset, 0);
}

TEST_F(TransformTest, RotationPivotStaysFixed) {
    KDuzNode* node = Trs("node", Vector3(0, 0, 0), Vector3(0, 0, 90), Vector3(1, 1, 1));
    node->SetRotationPivot(0, KgeTVector(3, 4, 5, 1));
    const KgeTVector p = Apply(node->GetGlobalTransform(), 3, 4, 5);
    EXPECT_NEAR(p[0], 3, kFloatTolerance);
    EXPECT_NEAR(p[1], 4, kFloatTolerance);
    EXPECT_NEAR(p[2], 5, kFloatTolerance);
}

TEST_F(TransformTest, ScalingPivotAndOffsets) {
    KDuzNode* node = Trs("node", Vector3(0, 0, 0), Vector3(0, 0, 0), Vector3(2, 2, 2));
    node->SetScalingPivot(0, KgeTVector(1, 1, 1, 1));
    // The scaling pivot stays fixed under the scaling.
    KgeTVector p = Apply(node->GetGlobalTransform(), 1, 1, 1);
    EXPECT_NEAR(p[0], 1, kFloatTolerance);
    node->SetScalingPivot(0, KgeTVector(0, 0, 0, 1));
    node->SetRotationOffset(0, KgeTVector(0, 7, 0, 1));
    node->SetScalingOffset(0, KgeTVector(0, 0, 3, 1));
    p = Apply(node->GetGlobalTransform(), 0, 0, 0);
    EXPECT_NEAR(p[1], 7, kFloatTolerance);
    EXPECT_NEAR(p[2], 3, kFloatTolerance);
}

TEST_F(TransformTest, PrePostRotationAndOrderOnlyWhileRotationIsActive) {
    KDuzNode* plain = Trs("plain", Vector3(0, 0, 0), Vector3(30, 40, 0), Vector3(1, 1, 1));
    KDuzNode* node = Trs("node", Vector3(0, 0, 0), Vector3(30, 40, 0), Vector3(1, 1, 1));
    node->SetPreRotation(0, KgeTVector(0, 0, 90, 1));
    node->SetRotationOrder(0, eEulerZYX);
    const KgeMatrix expected = plain->GetGlobalTransform();
    EXPECT_EQ(KgeMatrixCompare(node->GetGlobalTransform().Data(), expected.Data(), 1e-9), 0);

    node->SetRotationActive(true);
    KgeMatrix active = node->GetGlobalTransform();
    EXPECT_NE(KgeMatrixCompare(active.Data(), expected.Data(), 1e-3), 0);
    // Rotation is R_order(angles), then the pre-rotation.
    KgeMatrix r;
    KgeRotationOrder(2 * eEulerZYX).EulerToMatrix(r, KgeTVector(30, 40, 0, 0));
    KgeMatrix pre = KgeMatrix::FromEulerXYZ(0, 0, 90);
    KgeMatrix product;
    KgeMatrixMultiply4x4(product.Data(), r.Data(), pre.Data());
    EXPECT_EQ(KgeMatrixCompare(active.Data(), product.Data(), kFloatTolerance), 0);
}

TEST_F(TransformTest, SphericOrderGoesThroughQuaternions) {
    KDuzNode* xyz = Trs("xyz", Vector3(0, 0, 0), Vector3(20, 30, 40), Vector3(1, 1, 1));
    KDuzNode* spheric = Trs("spheric", Vector3(0, 0, 0), Vector3(20, 30, 40), Vector3(1, 1, 1));
    spheric->SetRotationOrder(0, eSphericXYZ);
    spheric->SetRotationActive(true);
    EXPECT_EQ(spheric->GetTransformEvaluationRecord().prePost.rotationOrder.GetOrderIndex(), 12);
    const KgeMatrix& g = spheric->GetGlobalTransform();
    ExpectNoNaN(g);
    // A rotation: orthonormal rows.
    for (int row = 0; row < 3; ++row) {
        const double length = std::sqrt(g.GetElement(row, 0) * g.GetElement(row, 0) +
                                        g.GetElement(row, 1) * g.GetElement(row, 1) +
                                        g.GetElement(row, 2) * g.GetElement(row, 2));
        EXPECT_NEAR(length, 1.0, kFloatTolerance);
    }
    (void)xyz;
}

TEST_F(TransformTest, InheritTypes) {
    // A parent rotated 45 degrees with non-uniform scaling gives its
    // global scaling off-diagonal terms only through type 1.
    struct Case {
        int inheritType;
        bool expectSheared;
    };
    const Case cases[] = {{0, false}, {1, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.inheritType);
        KDuzNode* grandparent = Trs("gp", Vector3(0, 0, 0), Vector3(0, 0, 0), Vector3(2, 1, 1));
        KDuzNode* parent = Trs("p", Vector3(0, 0, 0), Vector3(0, 0, 45), Vector3(1, 1, 1));
        KDuzNode* child = Trs("c", Vector3(0, 0, 0), Vector3(0, 0, 0), Vector3(1, 1, 1));
        ASSERT_TRUE(grandparent->AddChild(parent));
        ASSERT_TRUE(parent->AddChild(child));
        parent->SetTransformationInheritType(1);
        child->SetTransformationInheritType(c.inheritType);
        const KgeMatrix& g = child->GetGlobalTransform();
        ExpectNoNaN(g);
        // Type 0 keeps rows as scaled rotation rows: perpendicular rows.
        const double dot = g.GetElement(0, 0) * g.GetElement(1, 0) + g.GetElement(0, 1) * g.GetElement(1, 1);
        if (c.expectSheared)
            EXPECT_GT(std::fabs(dot), 1e-3);
        else
            EXPECT_NEAR(dot, 0.0, kFloatTolerance);
    }
}

TEST_F(TransformTest, InheritType2WithAZeroParentScaleGivesNoNaN) {
    KDuzNode* parent = Trs("p", Vector3(0, 0, 0), Vector3(0, 0, 0), Vector3(0, 2, 2));
    KDuzNode* child = Trs("c", Vector3(1, 1, 1), Vector3(0, 0, 0), Vector3(3, 3, 3));
    ASSERT_TRUE(parent->AddChild(child));
    child->SetTransformationInheritType(2);
    const KgeMatrix& g = child->GetGlobalTransform();
    ExpectNoNaN(g);
    // The parent's own scaling is divided out: y keeps the child's 3.
    EXPECT_NEAR(g.GetElement(1, 1), 3.0, kFloatTolerance);
    EXPECT_NEAR(g.GetElement(0, 0), 0.0, kFloatTolerance);
}

TEST_F(TransformTest, UnknownInheritTypeActsAsType0) {
    KDuzNode* node = Trs("n", Vector3(1, 2, 3), Vector3(0, 0, 90), Vector3(2, 2, 2));
    node->SetTransformationInheritType(7);
    const KgeMatrix& g = node->GetGlobalTransform();
    ExpectRow(g, 0, 0, 2, 0, 0, kFloatTolerance);
    ExpectRow(g, 3, 1, 2, 3, 1, kFloatTolerance);
}

TEST_F(TransformTest, LimitsClampTheLocalValues) {
    KDuzNode* node = Trs("n", Vector3(-5, 50, 0), Vector3(0, 0, 120), Vector3(1, 1, 1));
    KDuzNodeLimits* limits = node->GetLimits();
    limits->GetTranslationLimits().SetMinActive(true, false, false);
    limits->GetTranslationLimits().SetMaxActive(false, true, false);
    limits->GetTranslationLimits().SetMin(KgeTVector(0, 0, 0, 1));
    limits->GetTranslationLimits().SetMax(KgeTVector(0, 10, 0, 1));
    limits->GetRotationLimits().SetMaxActive(false, false, true);
    limits->GetRotationLimits().SetMax(KgeTVector(0, 0, 90, 1));
    EXPECT_NEAR(node->GetDefaultT()[0], 0.0, kFloatTolerance);
    EXPECT_NEAR(node->GetDefaultT()[1], 10.0, kFloatTolerance);
    EXPECT_NEAR(node->GetDefaultR()[2], 90.0, kFloatTolerance);
    node->DropTransformCaches();
    EXPECT_NEAR(node->GetDefaultT(false)[0], -5.0, kFloatTolerance);
}

TEST_F(TransformTest, RotationLimitsInRotationSpace) {
    // 270 about z is -90 in the canonical Euler form: a z maximum of 0
    // clamps the angle as given, but not the rotation it stands for.
    KDuzNode* node = Trs("n", Vector3(0, 0, 0), Vector3(0, 0, 270), Vector3(1, 1, 1));
    KDuzLimits& rotation = node->GetLimits()->GetRotationLimits();
    rotation.SetMaxActive(false, false, true);
    rotation.SetMax(KgeTVector(0, 0, 0, 1));
    EXPECT_NEAR(node->GetDefaultR()[2], 0.0, kFloatTolerance);

    node->SetRotationSpaceForLimitOnly(0, true);
    node->DropTransformCaches();
    const KgeTVector limited = node->GetDefaultR();
    EXPECT_NEAR(limited[2], -90.0, kFloatTolerance);
    KgeMatrix m = KgeMatrix::FromEulerXYZ(limited[0], limited[1], limited[2]);
    KgeMatrix expected = KgeMatrix::FromEulerXYZ(0, 0, 270);
    EXPECT_EQ(KgeMatrixCompare(m.Data(), expected.Data(), 1e-4), 0);
}

TEST_F(TransformTest, CurrentTakeAtATime) {
    KDuzNode* node = Trs("n", Vector3(1, 0, 0), Vector3(0, 0, 0), Vector3(1, 1, 1));
    KDuzTakeNode* take = node->CreateTakeNode("Walk");
    ASSERT_NE(take, nullptr);
    KFCurve* x = take->GetTranslationXCurve();
    ASSERT_NE(x, nullptr);
    x->KeySetValue(x->KeyAdd(KTime(0)), 0.0f);
    x->KeySetValue(x->KeyAdd(KTime(1000)), 10.0f);
    x->KeySetInterpolation(0, kFCurveInterpolationLinear);
    ASSERT_TRUE(node->SetCurrentTakeNodeByName("Walk"));
    ExpectRow(node->GetGlobalTransformAtTime(KTime(500)), 3, 5, 0, 0, 1, 1e-4);
    ExpectRow(node->GetGlobalTransformAtTime(KTime(1000)), 3, 10, 0, 0, 1, 1e-4);
    // The default transform keeps reading the default take.
    ExpectRow(node->GetGlobalTransform(), 3, 1, 0, 0, 1, kFloatTolerance);
}

TEST_F(TransformTest, DecomposedTransformIsStored) {
    KDuzNode* node = Node();
    KgeMatrix m = KgeMatrix::FromEulerXYZ(0, 0, 90);
    const double scale[3] = {2, 3, 4};
    KgeMatrixScaleRows(m.Data(), m.Data(), scale);
    m.SetElement(3, 0, 7);
    node->SetDecomposedTransform(m);
    const KDuzDecomposedTransform& record = node->GetDecomposedTransform(1);
    EXPECT_DOUBLE_EQ(record.vector[0], 7.0);
    EXPECT_NEAR(record.scale.GetElement(2, 2), 4.0, 1e-12);
    EXPECT_NEAR(record.rotation.GetElement(0, 1), 1.0, 1e-12);
    EXPECT_EQ(node->GetDecomposedTransform(0).index, -1);
}

}  // namespace
}  // namespace duzsdk
