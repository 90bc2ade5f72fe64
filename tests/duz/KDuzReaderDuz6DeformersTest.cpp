// "Deformer", "Cache" and "GeometryWeightedMap" records, joined to a mesh
// through the connections, and what hostile values in them come to.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "duz/KDuzReaderDuz6TestFixture.h"
#include "sdk/base/KgeMath.h"
#include "sdk/geometry/KDuzCache.h"
#include "sdk/geometry/KDuzCluster.h"
#include "sdk/geometry/KDuzGeometryWeightedMap.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzSkin.h"
#include "sdk/geometry/KDuzVertexCacheDeformer.h"
#include "sdk/scene/KDuzNode.h"

using namespace duzsdk;

namespace {

const char* const kIdentity = "1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1";

// A four-point mesh on a node, two bones, and the given object records and
// connections on top.
std::string SkinnedScene(const std::string& records, const std::string& connections) {
    return std::string("Definitions:  {\n"
                       "    ObjectType: \"Model\"\n"
                       "    ObjectType: \"Geometry\"\n"
                       "    ObjectType: \"Deformer\"\n"
                       "    ObjectType: \"Cache\"\n"
                       "    ObjectType: \"GeometryWeightedMap\"\n"
                       "}\n"
                       "Objects:  {\n"
                       "    Model: \"Model::Body\", \"Mesh\" {\n"
                       "        Version: 232\n"
                       "    }\n"
                       "    Model: \"Model::Bone1\", \"Null\" {\n"
                       "        Version: 232\n"
                       "    }\n"
                       "    Model: \"Model::Bone2\", \"Null\" {\n"
                       "        Version: 232\n"
                       "    }\n"
                       "    Geometry: \"Geometry::Body\", \"Mesh\" {\n"
                       "        Vertices: 0,0,0,1,0,0,1,1,0,0,1,0\n"
                       "        PolygonVertexIndex: 0,1,2,-4\n"
                       "    }\n") +
           records +
           "}\n"
           "Connections:  {\n"
           "    Connect: \"OO\", \"Model::Body\", \"Model::Scene\"\n"
           "    Connect: \"OO\", \"Model::Bone1\", \"Model::Scene\"\n"
           "    Connect: \"OO\", \"Model::Bone2\", \"Model::Scene\"\n"
           "    Connect: \"OO\", \"Geometry::Body\", \"Model::Body\"\n" +
           connections + "}\n";
}

}  // namespace

TEST_F(Duz6ReaderTest, SkinAndClustersJoinTheMeshThroughConnections) {
    const std::string records = std::string(
                                    "    Deformer: \"Deformer::Skin\", \"Skin\" {\n"
                                    "        Version: 100\n"
                                    "        MultiLayer: 1\n"
                                    "        Link_DeformAcuracy: 25\n"
                                    "    }\n"
                                    "    Deformer: \"SubDeformer::C1\", \"Cluster\" {\n"
                                    "        Mode: \"total1\"\n"
                                    "        UserData: \"uid\", \"udata\"\n"
                                    "        Indexes: 0,1,3\n"
                                    "        Weights: 0.5,0.25,1\n"
                                    // Translation 1,2,3 with a shear in row 1.
                                    "        Transform: 1,0,0,0,0.5,1,0,0,0,0,1,0,1,2,3,1\n"
                                    "        TransformLink: 1,0,0,0,0,1,0,0,0,0,1,0,10,0,0,1\n"
                                    "        AssociateModel:  {\n"
                                    "            Transform: 2,0,0,0,0,2,0,0,0,0,2,0,0,5,0,1\n"
                                    "        }\n"
                                    "        TransformParent: ") +
                                kIdentity +
                                "\n"
                                "    }\n"
                                "    Deformer: \"SubDeformer::C2\", \"Cluster\" {\n"
                                "        Indexes: 2,3\n"
                                "        Weights: 1\n"
                                "    }\n"
                                "    Deformer: \"Deformer::Other\", \"Wrap\" {\n"
                                "    }\n";
    const std::string connections = "    Connect: \"OO\", \"Deformer::Skin\", \"Model::Body\"\n"
                                    "    Connect: \"OO\", \"SubDeformer::C1\", \"Deformer::Skin\"\n"
                                    "    Connect: \"OO\", \"SubDeformer::C2\", \"Deformer::Skin\"\n"
                                    "    Connect: \"OO\", \"Model::Bone1\", \"SubDeformer::C1\"\n"
                                    "    Connect: \"OO\", \"Model::Bone2\", \"SubDeformer::C2\"\n"
                                    "    Connect: \"OP\", \"Model::Bone2\", \"SubDeformer::C1\", \"SrcModelReference\"\n";
    ASSERT_TRUE(Load(SkinnedScene(records, connections)));
    auto* mesh = dynamic_cast<KDuzMesh*>(reader->FindObjectByName("Geometry::Body"));
    ASSERT_NE(mesh, nullptr);
    ASSERT_EQ(mesh->GetDeformerCount(), 1);
    auto* skin = dynamic_cast<KDuzSkin*>(mesh->GetDeformer(0));
    ASSERT_NE(skin, nullptr);
    EXPECT_STREQ(skin->GetName(), "Skin");
    EXPECT_TRUE(skin->GetMultiLayer());
    EXPECT_DOUBLE_EQ(skin->GetDeformAccuracy(), 25.0);
    ASSERT_EQ(skin->GetClusterCount(), 2);

    KDuzCluster* first = skin->GetCluster(0);
    EXPECT_EQ(first->GetLinkMode(), KDuzCluster::eTotalOne);
    EXPECT_STREQ(first->GetUserDataID().Buffer(), "uid");
    EXPECT_STREQ(first->GetLink()->GetName(), "Bone1");
    ASSERT_NE(first->GetAssociateModel(), nullptr);
    EXPECT_STREQ(first->GetAssociateModel()->GetName(), "Bone2");
    ASSERT_EQ(first->GetControlPointIndicesCount(), 3);
    EXPECT_DOUBLE_EQ(first->GetControlPointWeights()[2], 1.0);
    // Both matrices rebuilt without shear, then the link's applied after the
    // transform: the translations add up.
    const double* transform = first->GetStoredTransformMatrix().Data();
    EXPECT_DOUBLE_EQ(transform[4], 0.0);
    EXPECT_DOUBLE_EQ(transform[12], 11.0);
    EXPECT_DOUBLE_EQ(transform[13], 2.0);
    const double* associate = first->GetStoredTransformAssociateModelMatrix().Data();
    EXPECT_DOUBLE_EQ(associate[0], 2.0);
    EXPECT_DOUBLE_EQ(associate[12], 10.0);
    EXPECT_DOUBLE_EQ(associate[13], 5.0);
    EXPECT_TRUE(first->IsTransformParentSet());

    // The index without a weight is dropped; a missing "Mode" is mode 0.
    KDuzCluster* second = skin->GetCluster(1);
    EXPECT_EQ(second->GetLinkMode(), KDuzCluster::eNormalize);
    ASSERT_EQ(second->GetControlPointIndicesCount(), 1);
    EXPECT_EQ(second->GetControlPointIndices()[0], 2);
    EXPECT_FALSE(second->IsTransformParentSet());

    // Another deformer kind is an object of a class made for it.
    KDuzObject* other = reader->FindObjectByName("Deformer::Other");
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(dynamic_cast<KDuzDeformer*>(other), nullptr);
}

TEST_F(Duz6ReaderTest, HostileClusterValuesGiveACleanSkip) {
    struct Case {
        const char* what;
        const char* body;
        std::vector<int> indices;   // what the cluster keeps
    };
    const Case cases[] = {
        {"index past the points", "Indexes: 0,4,1,2147483647\nWeights: 1,1,1,1\n", {0, 1}},
        {"negative index", "Indexes: -5,3\nWeights: 1,1\n", {3}},
        {"fewer weights than indices", "Indexes: 0,1,2\nWeights: 0.5\n", {0}},
        {"weights without indices", "Weights: 1,2,3\n", {}},
        {"empty fields", "Indexes: \nWeights: \nTransform: 1,2\nTransformLink: \n", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        reader = std::make_unique<KDuzReaderDuz6>(manager, nullptr);
        const std::string records = std::string("    Deformer: \"Deformer::Skin\", \"Skin\" {\n    }\n"
                                                "    Deformer: \"SubDeformer::C\", \"Cluster\" {\n") +
                                    c.body + "    }\n";
        const std::string connections = "    Connect: \"OO\", \"Deformer::Skin\", \"Model::Body\"\n"
                                        "    Connect: \"OO\", \"SubDeformer::C\", \"Deformer::Skin\"\n";
        ASSERT_TRUE(Load(SkinnedScene(records, connections)));
        auto* cluster = dynamic_cast<KDuzCluster*>(reader->FindObjectByName("SubDeformer::C"));
        ASSERT_NE(cluster, nullptr);
        std::vector<int> kept(cluster->GetControlPointIndices(),
                              cluster->GetControlPointIndices() + cluster->GetControlPointIndicesCount());
        EXPECT_EQ(kept, c.indices);
        // A matrix field too short to hold a matrix leaves identity.
        EXPECT_EQ(KgeMatrixCompareFull(cluster->GetStoredTransformLinkMatrix().Data(), KgeMatrix().Data(), 0.0), 0);
        ASSERT_TRUE(reader->FileClose());
    }
}

TEST_F(Duz6ReaderTest, LinkIndicesPastThePointsAreDropped) {
    const std::string mesh = "Definitions:  {\n    ObjectType: \"Geometry\"\n}\n"
                             "Objects:  {\n"
                             "    Geometry: \"Geometry::Tri\", \"Mesh\" {\n"
                             "        Vertices: 0,0,0,1,0,0,0,1,0\n"
                             "        PolygonVertexIndex: 0,1,-3\n"
                             "        Link: \"Model::Bone\" {\n"
                             "            Indexes: 2,3,1000000\n"
                             "            Weights: 1,1,1\n"
                             "        }\n"
                             "    }\n"
                             "}\n";
    options->SetBoolOption("LINK", true);
    ASSERT_TRUE(Load(mesh));
    auto* tri = dynamic_cast<KDuzMesh*>(reader->FindObjectByName("Geometry::Tri"));
    ASSERT_NE(tri, nullptr);
    ASSERT_EQ(tri->GetDeformerCountOfType(1), 1);
    KDuzCluster* cluster = dynamic_cast<KDuzSkin*>(tri->GetDeformer(0))->GetCluster(0);
    ASSERT_EQ(cluster->GetControlPointIndicesCount(), 1);
    EXPECT_EQ(cluster->GetControlPointIndices()[0], 2);
}

TEST_F(Duz6ReaderTest, VertexCacheDeformerAndCacheRecords) {
    // The cache file is found beside the scene when its absolute name is gone.
    std::ofstream((folder / "points.mc").string()) << "cache";
    const std::string records = "    Deformer: \"Deformer::Points\", \"VertexCacheDeformer\" {\n"
                                "        Version: 100\n"
                                "        Properties60:  {\n"
                                "            Property: \"ChannelName\", \"KString\", \"\", \"shape1\"\n"
                                "            Property: \"Active\", \"bool\", \"\",0\n"
                                "        }\n"
                                "    }\n"
                                "    Cache: \"Cache::Points\", \"\" {\n"
                                "        Version: 100\n"
                                "        Properties60:  {\n"
                                "            Property: \"CacheFileName\", \"KString\", \"\", \"points.mc\"\n"
                                "            Property: \"CacheAbsoluteFileName\", \"KString\", \"\", "
                                "\"/no/such/folder/points.mc\"\n"
                                "            Property: \"CacheFileType\", \"enum\", \"\",1\n"
                                "        }\n"
                                "    }\n";
    const std::string connections = "    Connect: \"OO\", \"Deformer::Points\", \"Model::Body\"\n"
                                    "    Connect: \"OO\", \"Cache::Points\", \"Deformer::Points\"\n";
    ASSERT_TRUE(Load(SkinnedScene(records, connections)));
    auto* mesh = dynamic_cast<KDuzMesh*>(reader->FindObjectByName("Geometry::Body"));
    ASSERT_NE(mesh, nullptr);
    auto* deformer = dynamic_cast<KDuzVertexCacheDeformer*>(mesh->GetDeformerOfType(0, 2));
    ASSERT_NE(deformer, nullptr);
    EXPECT_STREQ(deformer->GetCacheChannel().Buffer(), "shape1");
    EXPECT_FALSE(deformer->IsActive());
    KDuzCache* cache = deformer->GetCache();
    ASSERT_NE(cache, nullptr);
    KString relative, absolute;
    cache->GetCacheFileName(relative, absolute);
    EXPECT_STREQ(relative.Buffer(), "points.mc");
    EXPECT_EQ(std::filesystem::path(absolute.Buffer()), folder / "points.mc");
    EXPECT_EQ(cache->GetCacheFileType(), 1);
}

TEST_F(Duz6ReaderTest, WeightedMapRecordsKeepOnlyEntriesInRange) {
    const std::string records = "    GeometryWeightedMap: \"GeometryWeightedMap::Map\", \"\" {\n"
                                "        Version: 100\n"
                                "        SourceCount: 2\n"
                                "        DestinationCount: 3\n"
                                "        IndexMapping: 0,2,1,0.5,2,0.25\n"
                                // Claims five pairs, holds one.
                                "        IndexMapping: 1,5,0,1\n"
                                // No such source, no such destination.
                                "        IndexMapping: 7,1,0,1\n"
                                "        IndexMapping: 1,1,9,1\n"
                                "        IndexMapping: 1,-3\n"
                                "    }\n"
                                "    GeometryWeightedMap: \"GeometryWeightedMap::Huge\", \"\" {\n"
                                "        SourceCount: -1\n"
                                "        DestinationCount: 2000000000\n"
                                "    }\n";
    const std::string connections = "    Connect: \"OO\", \"GeometryWeightedMap::Map\", \"Model::Body\"\n";
    ASSERT_TRUE(Load(SkinnedScene(records, connections)));
    auto* map = dynamic_cast<KDuzGeometryWeightedMap*>(reader->FindObjectByName("GeometryWeightedMap::Map"));
    ASSERT_NE(map, nullptr);
    auto* mesh = dynamic_cast<KDuzMesh*>(reader->FindObjectByName("Geometry::Body"));
    EXPECT_TRUE(mesh->IsConnectedSrcObject(map));
    const KSparseWeightMatrix* mapping = map->GetMapping();
    ASSERT_NE(mapping, nullptr);
    EXPECT_EQ(mapping->GetRowCount(0), 2);
    EXPECT_EQ(mapping->GetRowCount(1), 3);
    ASSERT_EQ(mapping->GetEntryCount(0, 0), 2);
    EXPECT_EQ(mapping->GetEntry(0, 0, 1)->index, 2);
    EXPECT_DOUBLE_EQ(mapping->GetEntry(0, 0, 1)->value, 0.25);
    ASSERT_EQ(mapping->GetEntryCount(0, 1), 1);
    EXPECT_EQ(mapping->GetEntry(0, 1, 0)->index, 0);
    auto* huge = dynamic_cast<KDuzGeometryWeightedMap*>(reader->FindObjectByName("GeometryWeightedMap::Huge"));
    ASSERT_NE(huge, nullptr);
    EXPECT_EQ(huge->GetMapping(), nullptr);
}
