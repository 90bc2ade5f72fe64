// Skins with their clusters, vertex caches with their caches, shapes and
// weighted maps written by the DUZ 6 writer and read back.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "KDuzWriterDuz6TestSupport.h"
#include "sdk/base/KgeMath.h"
#include "sdk/geometry/KDuzCache.h"
#include "sdk/geometry/KDuzCluster.h"
#include "sdk/geometry/KDuzGeometryWeightedMap.h"
#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzLayerElement.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzShape.h"
#include "sdk/geometry/KDuzSkin.h"
#include "sdk/geometry/KDuzVertexCacheDeformer.h"
#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/scene/KDuzNode.h"
#include "tests/support/SceneDump.h"

using namespace duzsdk;
using namespace duztest;

namespace {

KgeMatrix Trs(double tx, double ty, double tz, double rx, double ry, double rz, double scale) {
    const double t[3] = {tx, ty, tz}, r[3] = {rx, ry, rz}, s[3] = {scale, scale, scale};
    KgeMatrix m;
    KgeMatrixComposeTRS(m.Data(), t, r, s);
    return m;
}

// Marks that every read leaves and that say nothing of the data: the reader's
// flag on the properties it read, the initial name (a read object starts
// under the name the export gave it), and the mesh's own name (a mesh is
// written inside its node's record, under the node's name).
std::string WithoutReadMarks(std::string line) {
    const size_t mesh = line.find("KDuzMesh \"");
    if (mesh != std::string::npos) {
        const size_t close = line.find('"', mesh + 10);
        if (close != std::string::npos) line.erase(mesh + 8, close + 1 - (mesh + 8));
    }
    for (const std::string mark : {" pflags=0x8"}) {
        const size_t at = line.find(mark);
        if (at != std::string::npos) line.erase(at, mark.size());
    }
    const size_t initial = line.find(" initial=\"");
    if (line.find("  name current=") != std::string::npos && initial != std::string::npos) {
        const size_t end = line.find("\" extra=", initial);
        if (end != std::string::npos) line.erase(initial, end + 1 - initial);
    }
    return line;
}

// The blocks of the dump that describe the objects of these classes.
std::string DumpOf(KDuzScene& scene, std::initializer_list<const char*> classes) {
    std::istringstream in(DumpScene(scene));
    std::string line, out;
    bool keep = false;
    bool mesh = false;
    while (std::getline(in, line)) {
        if (line.rfind("object ", 0) == 0) {
            keep = false;
            for (const char* name : classes)
                if (line.rfind(std::string("object ") + name + " ", 0) == 0) keep = true;
            mesh = line.rfind("object KDuzMesh ", 0) == 0;
        } else if (line == "end") {
            keep = false;
        } else if (mesh && line.rfind("  name current=", 0) == 0) {
            continue;
        }
        if (keep) out += WithoutReadMarks(line) + "\n";
    }
    return out;
}

class DeformerWriteTest : public WriterTestBase {
protected:
    // A quad mesh on the node "Body" with normals per point, two bones, a
    // skin of three clusters (one per link mode), a shape, a weighted map
    // and a vertex cache with its cache.
    void BuildSkinnedScene() {
        KDuzNode* root = scene->GetRootNode();
        mesh = KDuzMesh::Create(manager, "");
        KDuzNode* body = KDuzNode::Create(manager, "Body");
        root->AddChild(body);
        body->SetNodeAttribute(mesh);
        mesh->InitControlPoints(4);
        const double corners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
        for (int i = 0; i < 4; ++i) mesh->GetControlPoints()[i] = KgeTVector(corners[i][0], corners[i][1], 0, 1);
        mesh->BeginPolygon();
        for (int i = 0; i < 4; ++i) mesh->AddPolygon(i);
        mesh->EndPolygon();
        mesh->InitNormals();
        for (int i = 0; i < 4; ++i) mesh->GetNormals()[i] = KgeTVector(0, 0, 1, 0);

        KDuzNode* bones[2] = {KDuzNode::Create(manager, "Bone1"), KDuzNode::Create(manager, "Bone2")};
        for (KDuzNode* bone : bones) root->AddChild(bone);
        const int modes[3] = {KDuzCluster::eNormalize, KDuzCluster::eAdditive, KDuzCluster::eTotalOne};
        for (int c = 0; c < 3; ++c) {
            KDuzCluster* cluster = KDuzCluster::Create(manager, c == 2 ? "Named" : "");
            cluster->SetLink(bones[c % 2]);
            cluster->SetLinkMode(modes[c]);
            cluster->SetUserData("id", c == 1 ? "data" : "");
            for (int i = c; i < 4; ++i) cluster->AddControlPointIndex(i, 0.25 * (i + 1));
            cluster->SetTransformMatrix(Trs(1, 2, 3, 10, 20, 30, 1));
            cluster->SetTransformLinkMatrix(Trs(-1, c, 0.5, 0, 45, 90, 2));
            if (c == 0) {
                cluster->SetAssociateModel(bones[1]);
                cluster->SetTransformAssociateModelMatrix(Trs(0, 5, 0, 0, 0, 15, 0.5));
            }
            if (c == 1) cluster->SetTransformParentMatrix(Trs(7, 0, 0, 90, 0, 0, 3));
            ASSERT_GE(mesh->AddClusterToSkin(cluster), 0);
        }
        auto* skin = dynamic_cast<KDuzSkin*>(mesh->GetDeformer(0));
        skin->SetDeformAccuracy(30.0);
        skin->SetMultiLayer(true);

        KDuzShape* shape = KDuzShape::Create(manager, "");
        shape->CopyFrom(static_cast<const KDuzGeometryBase&>(*mesh));
        shape->GetControlPoints()[1] = KgeTVector(1.5, -0.25, 2, 1);
        // Point 2 keeps its place; only its normal turns.
        shape->GetNormals()[2] = KgeTVector(0, 1, 0, 1);
        shape->GetNormals()[1] = KgeTVector(0.6, 0, 0.8, 1);
        ASSERT_EQ(mesh->AddShape(shape, "Smile"), 0);

        KDuzGeometryWeightedMap* map = KDuzGeometryWeightedMap::Create(manager, "Map");
        auto mapping = std::make_unique<KSparseWeightMatrix>(4, 3);
        mapping->Add(0, 2, 0.5);
        mapping->Add(0, 1, 0.5);
        mapping->Add(3, 0, 1.0);
        map->SetMapping(std::move(mapping));
        ASSERT_TRUE(mesh->ConnectSrcObject(map));

        KDuzVertexCacheDeformer* vertexCache = KDuzVertexCacheDeformer::Create(manager, "");
        vertexCache->SetCacheChannel("points");
        vertexCache->SetActive(false);
        KDuzCache* cache = KDuzCache::Create(manager, "PointCache");
        cache->SetCacheFileName("points.mc", "/no/such/folder/points.mc");
        cache->SetCacheFileType(1);
        vertexCache->SetCache(cache);
        ASSERT_EQ(mesh->AddDeformer(vertexCache), 1);
    }

    KDuzMesh* mesh = nullptr;
};

const std::initializer_list<const char*> kDeformerClasses = {"KDuzSkin", "KDuzCluster", "KDuzVertexCacheDeformer",
                                                             "KDuzCache", "KDuzGeometryWeightedMap", "KDuzMesh"};

TEST_F(DeformerWriteTest, SkinnedMeshComesBackEqualInBinaryAndAscii) {
    BuildSkinnedScene();
    for (int format : {kBinary, kAscii}) {
        SCOPED_TRACE(FormatName(format));
        KDuzScene* read = RoundTrip(scene, format);
        ASSERT_NE(read, nullptr);
        // The export names unnamed deformers after their nodes; the scene
        // keeps those names, so it is dumped afterwards.
        const std::string expected = DumpOf(*scene, kDeformerClasses);
        const std::string actual = DumpOf(*read, kDeformerClasses);
        EXPECT_NE(expected.find("cluster mode=2"), std::string::npos);
        EXPECT_NE(expected.find("sn 2 (0 1 0)"), std::string::npos);
        EXPECT_EQ(DiffDumps(expected, actual), "");
        read->Destroy();
    }
}

TEST_F(DeformerWriteTest, RecordsAndRelationsInTheFile) {
    BuildSkinnedScene();
    const std::string path = PathOf("skinned.duz");
    ASSERT_TRUE(Export(scene, path, kAscii));
    const std::string text = ReadFileBytes(path);
    for (const char* expected : {
             "ObjectType: \"Deformer\" {\n        Count: 5",
             "ObjectType: \"Cache\" {\n        Count: 1",
             "ObjectType: \"GeometryWeightedMap\" {\n        Count: 1",
             "Deformer: \"Deformer::Skin Body\", \"Skin\"",
             "Deformer: \"SubDeformer::Cluster Bone1\", \"Cluster\"",
             "Deformer: \"SubDeformer::Named_2\", \"Cluster\"",
             "Deformer: \"Deformer::VertexCache Body\", \"VertexCacheDeformer\"",
             "Link_DeformAcuracy: 30",
             "Mode: \"Total1\"",
             "Cache: \"Cache::PointCache\"",
             "IndexMapping: 0,2,2,0.5,1,0.5",
             "Shape: \"Smile\"",
             "Connect: \"OO\", \"Deformer::Skin Body\", \"Model::Body\"",
             "Connect: \"OP\", \"Model::Bone2\", \"SubDeformer::Cluster Bone1\", \"SrcModelReference\"",
         })
        EXPECT_NE(text.find(expected), std::string::npos) << expected;
    // Link mode 0 writes no "Mode".
    EXPECT_EQ(text.find("Mode: \"Normalize\""), std::string::npos);
}

TEST_F(DeformerWriteTest, AnimatedShapeWeightIsWrittenUnderItsChannelName) {
    BuildSkinnedScene();
    KDuzNode* body = mesh->GetNode();
    ASSERT_NE(body, nullptr);
    KDuzTakeNode* walk = body->CreateTakeNode("Walk");
    ASSERT_NE(walk, nullptr);
    KFCurve* weight = mesh->GetShapeChannel(walk, 0);
    ASSERT_NE(weight, nullptr);
    weight->KeySetValue(weight->KeyAdd(KTime(0)), 0.25f);
    weight->KeySetValue(weight->KeyAdd(KTime(KTime::kTicksPerSecond)), 0.75f);

    const std::string path = PathOf("smile.duz");
    ASSERT_TRUE(Export(scene, path, kAscii));
    const std::string text = ReadFileBytes(path);
    EXPECT_NE(text.find("Channel: \"Smile (Shape)\""), std::string::npos);
    EXPECT_EQ(text.find("Channel: \"Smile\""), std::string::npos);
    // The scene keeps its own names.
    EXPECT_STREQ(mesh->GetShapeName(0), "Smile");
    ASSERT_NE(mesh->GetShapeChannel(walk, 0), nullptr);
    EXPECT_EQ(mesh->GetShapeChannel(walk, 0)->KeyGetCount(), 2);
}

TEST_F(DeformerWriteTest, WithoutLinkNoDeformerIsWritten) {
    BuildSkinnedScene();
    auto* options = WriteOptions();
    options->SetBoolOption("LINK", false);
    const std::string path = PathOf("unlinked.duz");
    ASSERT_TRUE(Export(scene, path, kAscii, options));
    options->Destroy();
    const std::string text = ReadFileBytes(path);
    // Neither records nor announcements, and no connection names them.
    EXPECT_EQ(text.find("\n    Deformer: "), std::string::npos);
    EXPECT_EQ(text.find("\n    Cache: "), std::string::npos);
    EXPECT_EQ(text.find("ObjectType: \"Deformer\""), std::string::npos);
    EXPECT_EQ(text.find("\"Deformer::"), std::string::npos);
    EXPECT_EQ(text.find("\"SubDeformer::"), std::string::npos);
    EXPECT_EQ(text.find("\"Cache::"), std::string::npos);
    // The shape and the weighted map belong to the geometry.
    EXPECT_NE(text.find("Shape: \"Smile\""), std::string::npos);
    EXPECT_NE(text.find("GeometryWeightedMap:"), std::string::npos);
}

}  // namespace
