#include <gtest/gtest.h>

#include <memory>

#include "sdk/geometry/KDuzGeometryWeightedMap.h"
#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzLayerElement.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzShape.h"
#include "sdk/geometry/KSparseWeightMatrix.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzScene.h"

namespace duzsdk {
namespace {

class ShapeTest : public ::testing::Test {
protected:
    void SetUp() override { manager = KDuzSdkManager::Create(); }
    void TearDown() override { manager->Destroy(); }

    KDuzShape* MakeShape(double lift) {
        KDuzShape* shape = KDuzShape::Create(manager, "shape");
        shape->InitControlPoints(4);
        for (int i = 0; i < 4; ++i) shape->GetControlPoints()[i] = KgeTVector(i, lift, 0, 1);
        shape->InitNormals();
        shape->GetNormals()[3] = KgeTVector(0, 0, 1, 1);
        return shape;
    }

    KDuzSdkManager* manager = nullptr;
};

TEST_F(ShapeTest, CloneCopiesPointsAndLayers) {
    KDuzShape* shape = MakeShape(2.0);
    EXPECT_EQ(shape->Clone(0), nullptr);
    auto* clone = dynamic_cast<KDuzShape*>(shape->Clone(2));
    ASSERT_NE(clone, nullptr);
    EXPECT_STREQ(clone->GetName(), "");
    ASSERT_EQ(clone->GetControlPointsCount(), 4);
    EXPECT_DOUBLE_EQ(clone->GetControlPoints()[3][0], 3.0);
    EXPECT_DOUBLE_EQ(clone->GetControlPoints()[3][1], 2.0);
    ASSERT_NE(clone->GetNormals(), nullptr);
    EXPECT_DOUBLE_EQ(clone->GetNormals()[3][2], 1.0);
    // A deep copy: changing the clone leaves the source.
    clone->GetControlPoints()[0][0] = 9.0;
    EXPECT_DOUBLE_EQ(shape->GetControlPoints()[0][0], 0.0);
}

TEST_F(ShapeTest, GeometryCopiesGetTheirOwnShapes) {
    KDuzMesh* mesh = KDuzMesh::Create(manager, "mesh");
    mesh->InitControlPoints(4);
    ASSERT_EQ(mesh->AddShape(MakeShape(1.0), "Smile"), 0);
    ASSERT_EQ(mesh->AddShape(MakeShape(2.0), "Frown"), 1);

    auto* clone = dynamic_cast<KDuzMesh*>(mesh->Clone(2));
    ASSERT_NE(clone, nullptr);
    ASSERT_EQ(clone->GetShapeCount(), 2);
    EXPECT_STREQ(clone->GetShapeName(1), "Frown");
    EXPECT_NE(clone->GetShape(1), mesh->GetShape(1));
    EXPECT_DOUBLE_EQ(clone->GetShape(1)->GetControlPoints()[2][1], 2.0);

    // Copying twice replaces the shapes rather than adding to them. (The
    // old shape's address may come back for a new one: not compared.)
    ASSERT_TRUE(clone->CopyShapes(*mesh));
    ASSERT_EQ(clone->GetShapeCount(), 2);
    EXPECT_NE(clone->GetShape(0), mesh->GetShape(0));
    EXPECT_STREQ(clone->GetShapeName(0), "Smile");
}

TEST_F(ShapeTest, ShapesJoinTheGeometrysScene) {
    KDuzScene* scene = KDuzScene::Create(manager, "");
    KDuzMesh* early = KDuzMesh::Create(manager, "early");
    KDuzShape* before = MakeShape(1.0);
    early->AddShape(before, "before");
    scene->ConnectSrcObject(early);
    KDuzShape* after = MakeShape(2.0);
    early->AddShape(after, "after");
    EXPECT_TRUE(scene->IsConnectedSrcObject(before));
    EXPECT_TRUE(scene->IsConnectedSrcObject(after));
}

TEST_F(ShapeTest, ApplyPivotMovesTheShapesWithThePoints) {
    KDuzMesh* mesh = KDuzMesh::Create(manager, "mesh");
    mesh->InitControlPoints(4);
    KDuzShape* shape = MakeShape(1.0);
    mesh->AddShape(shape, "s");
    KgeMatrix pivot;
    pivot.Data()[12] = 10.0;
    mesh->SetPivot(pivot);
    mesh->ApplyPivot();
    EXPECT_DOUBLE_EQ(mesh->GetControlPoints()[1][0], 10.0);
    EXPECT_DOUBLE_EQ(shape->GetControlPoints()[1][0], 11.0);
    EXPECT_DOUBLE_EQ(shape->GetControlPoints()[1][1], 1.0);
}

TEST_F(ShapeTest, WeightedMapCopiesItsMapping) {
    KDuzGeometryWeightedMap* map = KDuzGeometryWeightedMap::Create(manager, "map");
    ASSERT_NE(map, nullptr);
    EXPECT_STREQ(map->GetNameWithPrefix().Buffer(), "GeometryWeightedMap::map");
    EXPECT_EQ(map->GetMapping(), nullptr);
    // Without a mapping a clone has none either.
    auto* empty = dynamic_cast<KDuzGeometryWeightedMap*>(map->Clone(2));
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->GetMapping(), nullptr);

    auto mapping = std::make_unique<KSparseWeightMatrix>(3, 2);
    EXPECT_TRUE(mapping->Add(0, 1, 0.25));
    EXPECT_TRUE(mapping->Add(2, 0, 1.0));
    EXPECT_FALSE(mapping->Add(3, 0, 1.0));
    EXPECT_FALSE(mapping->Add(0, -1, 1.0));
    map->SetMapping(std::move(mapping));
    EXPECT_EQ(map->Clone(1), nullptr);
    auto* clone = dynamic_cast<KDuzGeometryWeightedMap*>(map->Clone(2));
    ASSERT_NE(clone, nullptr);
    ASSERT_NE(clone->GetMapping(), nullptr);
    EXPECT_NE(clone->GetMapping(), map->GetMapping());
    EXPECT_EQ(clone->GetMapping()->GetRowCount(0), 3);
    EXPECT_EQ(clone->GetMapping()->GetRowCount(1), 2);
    ASSERT_EQ(clone->GetMapping()->GetEntryCount(1, 0), 1);
    EXPECT_EQ(clone->GetMapping()->GetEntry(1, 0, 0)->index, 2);
    EXPECT_DOUBLE_EQ(clone->GetMapping()->GetEntry(0, 0, 0)->value, 0.25);

    // Destroying a map with or without a mapping leaves the others.
    map->Destroy();
    empty->Destroy();
    EXPECT_EQ(clone->GetMapping()->GetEntryCount(0, 2), 1);
}

TEST(SparseWeightMatrixTest, RowsSumAndNormaliseOnBothSides) {
    KSparseWeightMatrix matrix(2, 3);
    matrix.Add(0, 0, 1.0);
    matrix.Add(0, 2, -3.0);
    matrix.Add(1, 2, 2.0);
    EXPECT_DOUBLE_EQ(matrix.SumRow(0, 0, false), -2.0);
    EXPECT_DOUBLE_EQ(matrix.SumRow(0, 0, true), 4.0);
    EXPECT_EQ(matrix.FindEntry(0, 0, 2), 1);
    EXPECT_EQ(matrix.FindEntry(0, 0, 1), -1);
    EXPECT_EQ(matrix.FindEntry(0, 5, 0), -1);
    EXPECT_EQ(matrix.GetEntry(1, 2, 2), nullptr);
    EXPECT_EQ(matrix.GetEntryCount(2, 0), 0);
    // Normalised by absolute sums, the entries become absolute.
    matrix.NormalizeRows(0, true);
    EXPECT_DOUBLE_EQ(matrix.GetEntry(0, 0, 1)->value, 0.75);
    // The twin entry on side 1 follows.
    EXPECT_DOUBLE_EQ(matrix.GetEntry(1, 2, 0)->value, 0.75);
    EXPECT_DOUBLE_EQ(matrix.GetEntry(1, 2, 1)->value, 1.0);

    // Rows cost nothing until an entry reaches them.
    KSparseWeightMatrix huge(1 << 30, 1 << 30);
    EXPECT_EQ(huge.GetRowCount(0), 1 << 30);
    EXPECT_TRUE(huge.Add(5, 7, 0.5));
    EXPECT_EQ(huge.GetEntryCount(1, 7), 1);
    EXPECT_EQ(huge.GetEntryCount(0, (1 << 30) - 1), 0);
}

}  // namespace
}  // namespace duzsdk
