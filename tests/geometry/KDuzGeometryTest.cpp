#include "sdk/geometry/KDuzGeometry.h"

#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/animation/KFCurveNode.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzShape.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"

#include <gtest/gtest.h>

#include <cmath>

namespace duzsdk {
namespace {

class GeometryTest : public ::testing::Test {
protected:
    void SetUp() override {
        manager = KDuzSdkManager::Create();
        ASSERT_NE(manager, nullptr);
        geometry = dynamic_cast<KDuzGeometry*>(manager->CreateObject(KDuzGeometry::ClassId(), "geo"));
        ASSERT_NE(geometry, nullptr);
    }
    void TearDown() override { manager->Destroy(); }

    // Shape i, made on first use.
    KDuzShape* Shape(int i) {
        if (shapes[i] == nullptr) shapes[i] = KDuzShape::Create(manager, "");
        return shapes[i];
    }

    KDuzSdkManager* manager = nullptr;
    KDuzGeometry* geometry = nullptr;
    KDuzShape* shapes[32] = {};
};

TEST_F(GeometryTest, AddShapeChecksInOrder) {
    struct Case {
        int shape;   // -1: null
        const char* name;
        int result;
        int error;
    };
    const Case cases[] = {
        {-1, "a", -1, KDuzGeometry::eParameterIsNull},
        {0, "smile", 0, -1},
        {0, "other", -1, KDuzGeometry::eShapeAlreadyAdded},
        {1, "", -1, KDuzGeometry::eShapeNameIsInvalid},
        {1, nullptr, -1, KDuzGeometry::eShapeNameIsInvalid},
        {1, "smile", -1, KDuzGeometry::eShapeNameIsAlreadyUsed},
        {1, "Smile", 1, -1},   // names compare byte for byte
        {2, "   ", 2, -1},     // blanks are a name
        {3, "a/b", -1, KDuzGeometry::eShapeNameIsInvalid},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name != nullptr ? c.name : "(null)");
        geometry->GetError().ClearError();
        EXPECT_EQ(geometry->AddShape(c.shape < 0 ? nullptr : Shape(c.shape), c.name), c.result);
        EXPECT_EQ(geometry->GetError().GetLastErrorIndex(), c.error);
    }
    EXPECT_EQ(geometry->GetShapeCount(), 3);
    EXPECT_EQ(geometry->GetShape(1), Shape(1));
    EXPECT_STREQ(geometry->GetShapeName(2), "   ");

    geometry->GetError().ClearError();
    EXPECT_EQ(geometry->GetShape(-1), nullptr);
    EXPECT_EQ(geometry->GetError().GetLastErrorIndex(), KDuzGeometry::eParameterOutOfRange);
    EXPECT_EQ(geometry->GetShapeName(3), nullptr);
    EXPECT_STREQ(geometry->GetLastErrorString(), "Parameter out of range.");

    geometry->ClearShape();
    EXPECT_EQ(geometry->GetShapeCount(), 0);
}

TEST_F(GeometryTest, ShapeChannelsLiveInEveryTakeOfTheNode) {
    KDuzNode* node = KDuzNode::Create(manager, "node");
    ASSERT_NE(node, nullptr);
    node->CreateTakeNode("second");
    node->SetNodeAttribute(geometry);
    ASSERT_EQ(geometry->GetNode(), node);

    for (int i = 0; i < 22; ++i) {
        const std::string name = "shape" + std::to_string(i);
        ASSERT_EQ(geometry->AddShape(Shape(i), name.c_str()), i);
    }
    EXPECT_TRUE(geometry->FindProperty("shape3").IsValid());
    ASSERT_GE(node->GetTakeNodeCount(), 2);
    for (int t = 0; t < node->GetTakeNodeCount(); ++t) {
        KDuzTakeNode* take = node->GetTakeNodeAt(t);
        SCOPED_TRACE(take->GetName());
        KFCurve* curve = geometry->GetShapeChannel(take, 21);
        ASSERT_NE(curve, nullptr);
        EXPECT_GE(take->GetCurveNode()->FindChildIndexByName("shape21"), 0);
        // Colours repeat every 20 shapes: shape 21 is green like shape 1.
        EXPECT_EQ(curve->GetColor()[0], 0.0f);
        EXPECT_EQ(curve->GetColor()[1], 1.0f);
        EXPECT_EQ(curve->GetColor()[2], 0.0f);
        EXPECT_EQ(geometry->GetShapeChannel(take, 6)->GetColor()[0], 0.47f);
    }
    EXPECT_EQ(geometry->GetShapeChannelValue(0), 0.0);

    geometry->GetError().ClearError();
    EXPECT_EQ(geometry->FindShapeChannelCurveNode(nullptr, 0), nullptr);
    EXPECT_EQ(geometry->GetError().GetLastErrorIndex(), KDuzGeometry::eParameterIsNull);
    EXPECT_EQ(geometry->FindShapeChannelCurveNode(node->GetDefaultTakeNode(), -1), nullptr);
    EXPECT_EQ(geometry->GetError().GetLastErrorIndex(), KDuzGeometry::eParameterOutOfRange);

    KDuzTakeNode* take = node->GetDefaultTakeNode();
    const int children = take->GetCurveNode()->GetChildCount();
    geometry->ClearShape();
    EXPECT_EQ(take->GetCurveNode()->GetChildCount(), children - 22);
    EXPECT_EQ(geometry->GetNode(), node);
}

// Long lists are checked through an index: the same answers, kept right
// through destroyed shapes, cleared lists and names swapped for a write.
TEST_F(GeometryTest, LongShapeListsRefuseTheSameDuplicates) {
    std::vector<KDuzShape*> many;
    auto fill = [&](int count) {
        many.clear();
        for (int i = 0; i < count; ++i) {
            many.push_back(KDuzShape::Create(manager, ""));
            ASSERT_EQ(geometry->AddShape(many.back(), ("n" + std::to_string(i)).c_str()), i);
        }
    };
    auto refusal = [&](KDuzShape* shape, const char* name) {
        geometry->GetError().ClearError();
        const int index = geometry->AddShape(shape, name);
        return index >= 0 ? -1 : geometry->GetError().GetLastErrorIndex();
    };
    fill(100);
    EXPECT_EQ(refusal(many[7], "fresh"), KDuzGeometry::eShapeAlreadyAdded);
    EXPECT_EQ(refusal(many[7], "n7"), KDuzGeometry::eShapeAlreadyAdded);
    EXPECT_EQ(refusal(Shape(0), "n99"), KDuzGeometry::eShapeNameIsAlreadyUsed);
    EXPECT_EQ(refusal(Shape(0), "a/b"), KDuzGeometry::eShapeNameIsInvalid);

    // A destroyed shape's name is free; its address may come back as a new shape.
    many[50]->Destroy();
    KDuzShape* fresh = KDuzShape::Create(manager, "");
    EXPECT_EQ(geometry->AddShape(fresh, "n50"), 99);
    EXPECT_EQ(refusal(fresh, "other"), KDuzGeometry::eShapeAlreadyAdded);

    // The write gives the shapes file names for a while, then puts them back.
    KDuzNode* node = KDuzNode::Create(manager, "node");
    node->SetNodeAttribute(geometry);
    KDuzTakeNode* take = node->GetDefaultTakeNode();
    geometry->PrepareShapeChannelsForWrite(take);
    EXPECT_EQ(refusal(Shape(1), "n3"), -1);
    geometry->RestoreShapeChannelsAfterWrite(take);
    geometry->ClearShapeChannelNames();
    EXPECT_EQ(refusal(Shape(2), "n4"), KDuzGeometry::eShapeNameIsAlreadyUsed);

    geometry->ClearShape();
    fill(40);
    EXPECT_EQ(geometry->GetShapeCount(), 40);
}

TEST_F(GeometryTest, DestroyedShapeLeavesTheListAndItsChannel) {
    KDuzNode* node = KDuzNode::Create(manager, "node");
    node->SetNodeAttribute(geometry);
    KDuzTakeNode* take = node->GetDefaultTakeNode();
    ASSERT_NE(take, nullptr);
    for (int i = 0; i < 3; ++i) {
        Shape(i)->InitControlPoints(1);
        ASSERT_EQ(geometry->AddShape(Shape(i), ("s" + std::to_string(i)).c_str()), i);
    }
    Shape(1)->Destroy();
    KgeMatrix pivot;
    pivot.SetElement(3, 0, 2.0);
    geometry->SetPivot(pivot);
    // Walks the shapes: must not reach the destroyed one.
    geometry->ApplyPivot();

    ASSERT_EQ(geometry->GetShapeCount(), 2);
    EXPECT_EQ(geometry->GetShape(0), Shape(0));
    EXPECT_EQ(geometry->GetShape(1), Shape(2));
    EXPECT_STREQ(geometry->GetShapeName(1), "s2");
    EXPECT_EQ(Shape(2)->GetControlPoints()[0][0], 2.0);
    EXPECT_LT(take->GetCurveNode()->FindChildIndexByName("s1"), 0);
    EXPECT_NE(geometry->GetShapeChannel(take, 1), nullptr);
    // The name is free again.
    KDuzShape* fresh = KDuzShape::Create(manager, "");
    EXPECT_EQ(geometry->AddShape(fresh, "s1"), 2);
}

TEST_F(GeometryTest, ShapeNamedLikeATransformChannelFindsOnlyItsOwn) {
    KDuzNode* node = KDuzNode::Create(manager, "node");
    node->SetNodeAttribute(geometry);
    KDuzTakeNode* take = node->GetDefaultTakeNode();
    ASSERT_NE(take, nullptr);
    ASSERT_EQ(geometry->AddShape(Shape(0), "X"), 0);
    KFCurveNode* channel = geometry->FindShapeChannelCurveNode(take, 0);
    ASSERT_NE(channel, nullptr);
    EXPECT_EQ(channel->GetParent(), take->GetCurveNode());
}

TEST_F(GeometryTest, NoChannelMeansError9) {
    ASSERT_EQ(geometry->AddShape(Shape(0), "s"), 0);
    KDuzTakeNode take("Default");
    geometry->GetError().ClearError();
    EXPECT_EQ(geometry->GetShapeChannel(&take, 0), nullptr);
    EXPECT_EQ(geometry->GetError().GetLastErrorIndex(), KDuzGeometry::eNoShapeCurveFound);
    EXPECT_TRUE(geometry->AddShapeChannelToTake(&take, 0));
    EXPECT_NE(geometry->GetShapeChannel(&take, 0), nullptr);
    geometry->RemoveShapeChannelFromTake(&take, 0);
    EXPECT_EQ(geometry->GetShapeChannel(&take, 0), nullptr);
}

TEST_F(GeometryTest, ApplyPivotMovesPointsAndTurnsNormalsOfEveryLayer) {
    geometry->InitControlPoints(1);
    geometry->GetControlPoints()[0] = KgeTVector(1, 0, 0, 1);
    geometry->InitNormals(1);
    geometry->GetNormals()[0] = KgeTVector(1, 0, 0, 0);
    geometry->CreateLayer();
    KDuzLayerElementNormal* second = geometry->GetLayer(1)->SetNormals(KDuzCreateLayerElementNormal(manager, ""));
    second->GetDirectArray().Add(KgeTVector(1, 0, 0, 0));

    KgeMatrix pivot = KgeMatrix::FromEulerXYZ(0, 0, 90);
    pivot.SetElement(3, 0, 5.0);   // translation x
    geometry->SetPivot(pivot);
    geometry->ApplyPivot();

    const KgeTVector point = geometry->GetControlPoints()[0];
    const KgeTVector expectedPoint = pivot.TransformPoint(KgeTVector(1, 0, 0, 1));
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(point[i], expectedPoint[i], 1e-12);
    EXPECT_EQ(point[3], 1.0);
    for (const KgeTVector& normal : {geometry->GetNormals()[0], second->GetDirectArray()[0]}) {
        // The rotation alone: no translation reaches a direction.
        EXPECT_NEAR(normal.Length(), 1.0, 1e-12);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(normal[i], expectedPoint[i] - (i == 0 ? 5.0 : 0.0), 1e-12);
    }
    KgeMatrix kept;
    geometry->GetPivot(kept);
    EXPECT_TRUE(kept.IsEqual(pivot));
}

TEST_F(GeometryTest, PivotConversionMovesTheGeometricTransformIntoThePoints) {
    KDuzMesh* mesh = KDuzMesh::Create(manager, "mesh");
    ASSERT_NE(mesh, nullptr);
    mesh->InitControlPoints(1);
    mesh->GetControlPoints()[0] = KgeTVector(1, 0, 0, 1);
    ASSERT_EQ(mesh->AddShape(Shape(0), "s"), 0);
    Shape(0)->InitControlPoints(1);
    Shape(0)->GetControlPoints()[0] = KgeTVector(2, 0, 0, 1);
    KDuzNode* node = KDuzNode::Create(manager, "node");
    node->SetNodeAttribute(mesh);
    node->SetGeometricTranslation(0, KgeTVector(0, 5, 0, 1));
    node->SetGeometricScaling(0, KgeTVector(3, 3, 3, 1));
    node->SetPivotState(0, 0);

    ASSERT_TRUE(node->ConvertPivotAnimation(30.0, 0));
    KgeMatrix pivot;
    mesh->GetPivot(pivot);
    EXPECT_NEAR(pivot.GetElement(3, 1), 5.0, 1e-12);
    const struct {
        KgeTVector point;
        KgeTVector expected;
    } cases[] = {
        {mesh->GetControlPoints()[0], KgeTVector(3, 5, 0, 1)},
        {Shape(0)->GetControlPoints()[0], KgeTVector(6, 5, 0, 1)},
    };
    for (const auto& c : cases)
        for (int i = 0; i < 4; ++i) EXPECT_NEAR(c.point[i], c.expected[i], 1e-12) << i;
    // The geometric values now live in the geometry: set 0 is reset.
    EXPECT_EQ(node->GetGeometricTranslation(0)[1], 0.0);
}

TEST_F(GeometryTest, CopyTakesLayersPointsAndPivot) {
    geometry->InitControlPoints(2);
    geometry->GetControlPoints()[1] = KgeTVector(0, 3, 0, 1);
    geometry->InitNormals();
    KgeMatrix pivot;
    pivot.SetElement(3, 1, 2.0);
    geometry->SetPivot(pivot);

    auto* copy = dynamic_cast<KDuzGeometry*>(manager->CreateObject(KDuzGeometry::ClassId(), "copy"));
    ASSERT_NE(copy, nullptr);
    ASSERT_TRUE(copy->CopyFrom(*geometry));
    EXPECT_EQ(copy->GetControlPointsCount(), 2);
    EXPECT_EQ(copy->GetControlPoints()[1][1], 3.0);
    ASSERT_EQ(copy->GetLayerCount(), 1);
    EXPECT_NE(copy->GetLayer(0)->GetNormals(), geometry->GetLayer(0)->GetNormals());
    KgeMatrix copied;
    copy->GetPivot(copied);
    EXPECT_EQ(copied.GetElement(3, 1), 2.0);
}

}  // namespace
}  // namespace duzsdk

namespace duzsdk {
namespace {

TEST(ShapeChannelNameTest, FileNamesOfChannels) {
    EXPECT_STREQ(KDuzGeometry::MakeDefaultShapeChannelName(0).Buffer(), "Shape 01 (Shape)");
    EXPECT_STREQ(KDuzGeometry::MakeDefaultShapeChannelName(11).Buffer(), "Shape 12 (Shape)");
    EXPECT_STREQ(KDuzGeometry::MakeDefaultShapeChannelName(-1).Buffer(), "");
    const char* cases[][2] = {
        {"smile", "smile (Shape)"},
        {"smile \t ", "smile (Shape)"},
        {"smile (Shape)", "smile (Shape)"},
        {"smile (Shape)  ", "smile (Shape)"},
        {"", " (Shape)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c[0]);
        EXPECT_STREQ(KDuzGeometry::MakeShapeChannelName(c[0]).Buffer(), c[1]);
    }
}

class ShapeWriteTest : public GeometryTest {
protected:
    bool HasChannel(KDuzTakeNode* take, const char* name) {
        return take->GetCurveNode()->FindChildIndexByName(name) >= 0;
    }
};

TEST_F(ShapeWriteTest, NamesGoToTheFileAndComeBackForEveryTake) {
    KDuzNode* node = KDuzNode::Create(manager, "node");
    node->CreateTakeNode("second");
    node->SetNodeAttribute(geometry);
    geometry->AddShape(Shape(0), "smile");
    geometry->AddShape(Shape(1), "frown");
    geometry->GetShapeChannel(node->GetTakeNodeAt(1), 0)->SetDefaultValue(0.5f);
    const int takes = node->GetTakeNodeCount();
    ASSERT_GE(takes, 2);

    for (int t = 0; t < takes; ++t) geometry->PrepareShapeChannelsForWrite(node->GetTakeNodeAt(t));
    EXPECT_STREQ(geometry->GetShapeName(0), "Shape 01");
    EXPECT_STREQ(geometry->GetShapeName(1), "Shape 02");
    for (int t = 0; t < takes; ++t) {
        KDuzTakeNode* take = node->GetTakeNodeAt(t);
        SCOPED_TRACE(take->GetName());
        EXPECT_TRUE(HasChannel(take, "Shape 01 (Shape)"));
        EXPECT_TRUE(HasChannel(take, "Shape 02 (Shape)"));
        EXPECT_FALSE(HasChannel(take, "smile"));
    }

    for (int t = 0; t < takes; ++t) geometry->RestoreShapeChannelsAfterWrite(node->GetTakeNodeAt(t));
    geometry->ClearShapeChannelNames();
    EXPECT_STREQ(geometry->GetShapeName(0), "smile");
    EXPECT_STREQ(geometry->GetShapeName(1), "frown");
    for (int t = 0; t < takes; ++t) {
        KDuzTakeNode* take = node->GetTakeNodeAt(t);
        SCOPED_TRACE(take->GetName());
        EXPECT_TRUE(HasChannel(take, "smile"));
        EXPECT_FALSE(HasChannel(take, "Shape 01 (Shape)"));
    }
    // The animation went through the renames with its channel.
    EXPECT_EQ(geometry->GetShapeChannel(node->GetTakeNodeAt(1), 0)->GetDefaultValue(), 0.5f);
}

TEST_F(ShapeWriteTest, MeshShapesKeepTheirNamesInFiles) {
    KDuzMesh* mesh = KDuzMesh::Create(manager, "mesh");
    KDuzNode* node = KDuzNode::Create(manager, "node");
    node->SetNodeAttribute(mesh);
    KDuzTakeNode* take = node->GetDefaultTakeNode();
    mesh->AddShape(Shape(0), "smile ");
    mesh->PrepareShapeChannelsForWrite(take);
    EXPECT_STREQ(mesh->GetShapeName(0), "smile ");
    EXPECT_TRUE(HasChannel(take, "smile (Shape)"));
    mesh->RestoreShapeChannelsAfterWrite(take);
    EXPECT_TRUE(HasChannel(take, "smile "));
    EXPECT_FALSE(HasChannel(take, "smile (Shape)"));
}

TEST_F(ShapeWriteTest, ReadChannelMovesUnderTheShapeName) {
    KDuzNode* node = KDuzNode::Create(manager, "node");
    node->SetNodeAttribute(geometry);
    KDuzTakeNode* take = node->GetDefaultTakeNode();
    // As a reader leaves it: the file's channel beside the shape's own.
    KFCurveNode* read = KFCurveNodeCreate("Shape 01 (Shape)");
    read->SetCurve(KFCurveCreate());
    read->GetCurve()->SetDefaultValue(0.25f);
    take->GetCurveNode()->AddChild(read);
    geometry->AddShape(Shape(0), "smile");

    geometry->ConvertShapeChannelNames(take);
    EXPECT_FALSE(HasChannel(take, "Shape 01 (Shape)"));
    ASSERT_TRUE(HasChannel(take, "smile"));
    EXPECT_EQ(geometry->GetShapeChannel(take, 0)->GetDefaultValue(), 0.25f);
}

}  // namespace
}  // namespace duzsdk
