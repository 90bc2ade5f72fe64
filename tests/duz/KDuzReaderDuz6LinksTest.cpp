// The "Link" and "Shape" tails of mesh records, under the read options
// "LINK" and "SHAPE".
#include <gtest/gtest.h>

#include <string>

#include "duz/KDuzReaderDuz6TestFixture.h"
#include "sdk/geometry/KDuzCluster.h"
#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzLayerElement.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzShape.h"
#include "sdk/geometry/KDuzSkin.h"

using namespace duzsdk;

namespace {

// A triangle mesh record with normals and the given tail fields.
std::string MeshRecord(const std::string& tail) {
    return "Definitions:  {\n    ObjectType: \"Geometry\"\n}\n"
           "Objects:  {\n"
           "    Geometry: \"Geometry::Tri\", \"Mesh\" {\n"
           "        Vertices: 0,0,0,1,0,0,0,1,0\n"
           "        PolygonVertexIndex: 0,1,-3\n"
           "        LayerElementNormal: 0 {\n"
           "            MappingInformationType: \"ByVertice\"\n"
           "            ReferenceInformationType: \"Direct\"\n"
           "            Normals: 0,0,1,0,0,1,0,0,1\n"
           "        }\n"
           "        Layer: 0 {\n"
           "            LayerElement:  {\n"
           "                Type: \"LayerElementNormal\"\n"
           "                TypedIndex: 0\n"
           "            }\n"
           "        }\n" +
           tail +
           "    }\n"
           "}\n";
}

KDuzSkin* SkinOf(KDuzMesh* mesh) { return dynamic_cast<KDuzSkin*>(mesh->GetSrcObject(KDuzSkin::ClassId(), 0)); }

const char* const kThreeLinks = "        Link: \"Model::Bone1\" {\n"
                                "            Mode: \"additive\"\n"
                                "            UserData: \"id\", \"data\"\n"
                                "            Indexes: 0,2,-1\n"
                                "            Weights: 0.5,0.25,1,9\n"
                                "            Transform: 1,0,0,0,0,1,0,0,0,0,1,0,1,2,3,1\n"
                                "            TransformLink: 1,0,0,0,0,1,0,0,0,0,1,0,10,0,0,1\n"
                                "            TransformParent: 2,0,0,0,0,2,0,0,0,0,2,0,0,0,0,1\n"
                                "        }\n"
                                "        Link: \"Model::Bone2\" {\n"
                                "            Mode: \"Total1\"\n"
                                "            Weights: 1\n"
                                "        }\n"
                                "        Link: \"Model::Bone3\" {\n"
                                "        }\n";

}  // namespace

TEST_F(Duz6ReaderTest, LinksFillOneSkinOnlyUnderTheirOption) {
    for (bool on : {false, true}) {
        SCOPED_TRACE(on);
        options->SetBoolOption("LINK", on);
        ASSERT_TRUE(Load(MeshRecord(kThreeLinks)));
        auto* mesh = dynamic_cast<KDuzMesh*>(reader->FindObjectByName("Geometry::Tri"));
        ASSERT_NE(mesh, nullptr);
        KDuzSkin* skin = SkinOf(mesh);
        ASSERT_EQ(skin != nullptr, on);
        ASSERT_TRUE(reader->FileClose());
        if (!on) continue;
        EXPECT_EQ(mesh->GetSrcObjectCount(KDuzSkin::ClassId()), 1);
        ASSERT_EQ(skin->GetClusterCount(), 3);
        KDuzCluster* first = skin->GetCluster(0);
        EXPECT_STREQ(first->GetLinkName().Buffer(), "Model::Bone1");
        EXPECT_EQ(first->GetLinkMode(), KDuzCluster::eAdditive);
        EXPECT_STREQ(first->GetUserDataID().Buffer(), "id");
        EXPECT_STREQ(first->GetUserData().Buffer(), "data");
        // A negative index is dropped with its weight; weights beyond the
        // indices are not read.
        ASSERT_EQ(first->GetControlPointIndicesCount(), 2);
        EXPECT_EQ(first->GetControlPointIndices()[1], 2);
        EXPECT_DOUBLE_EQ(first->GetControlPointWeights()[1], 0.25);
        // The transform is the link's times the one read: both translations.
        EXPECT_DOUBLE_EQ(first->GetStoredTransformMatrix().Data()[12], 11.0);
        EXPECT_DOUBLE_EQ(first->GetStoredTransformMatrix().Data()[13], 2.0);
        EXPECT_DOUBLE_EQ(first->GetStoredTransformLinkMatrix().Data()[12], 10.0);
        EXPECT_TRUE(first->IsTransformParentSet());
        EXPECT_EQ(skin->GetCluster(1)->GetLinkMode(), KDuzCluster::eTotalOne);
        // Without "Indexes" no weight is read.
        EXPECT_EQ(skin->GetCluster(1)->GetControlPointIndicesCount(), 0);
        EXPECT_EQ(skin->GetCluster(2)->GetLinkMode(), KDuzCluster::eNormalize);
        EXPECT_FALSE(skin->GetCluster(2)->IsTransformParentSet());
    }
}

TEST_F(Duz6ReaderTest, ShapesAddTheirOffsetsUnderTheirOption) {
    const std::string shapes = "        Shape: \"Shape::Smile\" {\n"
                               // Index 7 is no point of the mesh; the third
                               // index has no triple.
                               "            Indexes: 1,7,2\n"
                               "            Vertices: 0,1,0,5,5,5\n"
                               "            Normals: 1,0,0\n"
                               "        }\n"
                               "        Shape: \"Shape::Flat\" {\n"
                               "            Vertices: 0,0,0\n"
                               "        }\n"
                               "        Shape: \"Shape::Smile\" {\n"
                               "        }\n";
    for (bool on : {false, true}) {
        SCOPED_TRACE(on);
        options->SetBoolOption("SHAPE", on);
        ASSERT_TRUE(Load(MeshRecord(shapes)));
        auto* mesh = dynamic_cast<KDuzMesh*>(reader->FindObjectByName("Geometry::Tri"));
        ASSERT_NE(mesh, nullptr);
        ASSERT_TRUE(reader->FileClose());
        if (!on) {
            EXPECT_EQ(mesh->GetShapeCount(), 0);
            continue;
        }
        // The second "Smile" is refused by the mesh.
        ASSERT_EQ(mesh->GetShapeCount(), 2);
        EXPECT_STREQ(mesh->GetShapeName(0), "Smile");
        KDuzShape* smile = mesh->GetShape(0);
        ASSERT_EQ(smile->GetControlPointsCount(), 3);
        EXPECT_DOUBLE_EQ(smile->GetControlPoints()[1][0], 1.0);
        EXPECT_DOUBLE_EQ(smile->GetControlPoints()[1][1], 1.0);
        EXPECT_DOUBLE_EQ(smile->GetControlPoints()[2][1], 1.0);   // unchanged
        const KDuzLayerElementNormal* normals = smile->GetLayer(0)->GetNormals();
        ASSERT_NE(normals, nullptr);
        EXPECT_EQ(normals->GetMappingMode(), KDuzLayerElement::eByControlPoint);
        ASSERT_EQ(normals->GetDirectArray().Count(), 3);
        EXPECT_DOUBLE_EQ(normals->GetDirectArray()[1][0], 1.0);
        EXPECT_DOUBLE_EQ(normals->GetDirectArray()[0][0], 0.0);
        // All-zero offsets give the mesh's own points.
        KDuzShape* flat = mesh->GetShape(1);
        for (int i = 0; i < 3; ++i)
            for (int c = 0; c < 3; ++c)
                EXPECT_DOUBLE_EQ(flat->GetControlPoints()[i][c], mesh->GetControlPoints()[i][c]);
    }
}
