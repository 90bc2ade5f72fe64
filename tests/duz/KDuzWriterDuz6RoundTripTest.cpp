#include <gtest/gtest.h>

#include "KDuzWriterDuz6TestSupport.h"
#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzLayerElement.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/scene/KDuzNode.h"

using namespace duzsdk;
using namespace duztest;

namespace {

class Duz6RoundTrip : public WriterTestBase, public ::testing::WithParamInterface<int> {};

}  // namespace

TEST_P(Duz6RoundTrip, Smoke) {
    KDuzNode* node = KDuzNode::Create(manager, "Cube");
    scene->GetRootNode()->AddChild(node);
    node->SetLclTranslation(duzVectorTemplate3<double>(1, 2, 3));
    KDuzMesh* mesh = KDuzMesh::Create(manager, "");
    mesh->InitControlPoints(4);
    for (int i = 0; i < 4; ++i) mesh->GetControlPoints()[i] = KgeTVector(i, i * 2, i * 3, 1);
    mesh->BeginPolygon();
    for (int i = 0; i < 3; ++i) mesh->AddPolygon(i);
    mesh->EndPolygon();
    node->SetNodeAttribute(mesh);
    KDuzScene* read = RoundTrip(scene, GetParam());
    ASSERT_NE(read, nullptr);
    KDuzNode* cube = read->FindNode("Cube");
    ASSERT_NE(cube, nullptr);
    EXPECT_DOUBLE_EQ(cube->GetLclTranslation()[2], 3.0);
    auto* readMesh = dynamic_cast<KDuzMesh*>(cube->GetMesh());
    ASSERT_NE(readMesh, nullptr);
    EXPECT_EQ(readMesh->GetControlPointsCount(), 4);
    EXPECT_EQ(readMesh->GetPolygonCount(), 1);
}

INSTANTIATE_TEST_SUITE_P(Formats, Duz6RoundTrip, ::testing::Values(kBinary, kAscii, kEnciphered),
                         [](const ::testing::TestParamInfo<int>& info) { return std::string(FormatName(info.param)); });
