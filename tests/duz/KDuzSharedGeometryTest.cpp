// A geometry shared by several models (an instanced mesh, as 3DS scenes
// make) keeps the scene's nodes, their parents and their polygons through
// both writers; version 6 keeps the sharing itself.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "KDuzWriterDuzTestSupport.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzPatch.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNull.h"
#include "sdk/scene/KDuzScene.h"

using namespace duzsdk;
using namespace duztest;

namespace {

struct SceneShape {
    int nodes = 0;
    int polygons = 0;  // summed over the nodes, a shared mesh once per node
    int controlPoints = 0;
    std::map<std::string, std::string> parents;
};

// The node tree below the root.
void Walk(KDuzNode* parent, const std::string& parentName, SceneShape& shape) {
    for (int i = 0; i < parent->GetChildCount(); ++i) {
        KDuzNode* node = parent->GetChild(i);
        ++shape.nodes;
        shape.parents[node->GetName()] = parentName;
        if (auto* mesh = dynamic_cast<KDuzMesh*>(node->GetNodeAttribute())) {
            shape.polygons += mesh->GetPolygonCount();
            shape.controlPoints += mesh->GetControlPointsCount();
        }
        if (auto* patch = dynamic_cast<KDuzPatch*>(node->GetNodeAttribute()))
            shape.controlPoints += patch->GetControlPointsCount();
        Walk(node, node->GetName(), shape);
    }
}

SceneShape ShapeOf(KDuzScene& scene) {
    SceneShape shape;
    Walk(scene.GetRootNode(), "(root)", shape);
    return shape;
}

class SharedGeometry : public Duz5WriterTestBase {
protected:
    KDuzNode* Add(KDuzNode* parent, const char* name, KDuzObject* attribute) {
        KDuzNode* node = KDuzNode::Create(manager, name);
        parent->AddChild(node);
        if (attribute != nullptr) node->SetNodeAttribute(attribute);
        return node;
    }

    // A box mesh on three models, two of them children of other models; a
    // patch on two; a mesh of its own on one.
    void Build() {
        KDuzMesh* box = KDuzMesh::Create(manager, "");
        box->InitControlPoints(4);
        for (int i = 0; i < 4; ++i) box->GetControlPoints()[i] = KgeTVector(i, i * 2.0, -i, 1);
        for (int p = 0; p < 3; ++p) {
            box->BeginPolygon();
            for (int c = 0; c < 3; ++c) box->AddPolygon((p + c) % 4);
            box->EndPolygon();
        }
        KDuzMesh* own = KDuzMesh::Create(manager, "");
        own->InitControlPoints(3);
        own->BeginPolygon();
        for (int c = 0; c < 3; ++c) own->AddPolygon(c);
        own->EndPolygon();
        KDuzPatch* patch = KDuzPatch::Create(manager, "");
        ASSERT_TRUE(patch->InitControlPoints(4, ePatchBezier, 2, ePatchBSpline));
        for (int i = 0; i < 8; ++i) patch->GetControlPoints()[i] = KgeTVector(i, 1, i * i, 1);

        KDuzNode* root = scene->GetRootNode();
        KDuzNode* first = Add(root, "BoxA", box);
        KDuzNode* group = Add(root, "Group", KDuzNull::Create(manager, ""));
        Add(group, "BoxB", box);
        Add(first, "BoxC", box);
        Add(root, "Single", own);
        Add(group, "PatchA", patch);
        Add(root, "PatchB", patch);
    }
};

}  // namespace

TEST_F(SharedGeometry, NodesParentsAndPolygonsSurviveEveryWriter) {
    Build();
    const SceneShape expected = ShapeOf(*scene);
    ASSERT_EQ(expected.nodes, 7);
    ASSERT_EQ(expected.polygons, 10);
    struct Row {
        const char* name;
        bool version6;
        int mode;  // registry format (version 6) or file mode (version 5)
        bool keepsSharing;
    };
    // Version 5 model records each hold their own geometry: the sharing is
    // not kept, every model gets a copy.
    const Row rows[] = {
        {"duz6 binary", true, kBinary, true},          {"duz6 ascii", true, kAscii, true},
        {"duz6 enciphered", true, kEnciphered, true},  {"duz5 binary", false, KDuzWriterDuz::eBinary, false},
        {"duz5 ascii", false, KDuzWriterDuz::eAscii, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        KDuzScene* read = row.version6 ? RoundTrip(scene, row.mode, WriteOptions()) : WriteAndRead(scene, row.mode);
        ASSERT_NE(read, nullptr);
        const SceneShape back = ShapeOf(*read);
        EXPECT_EQ(back.nodes, expected.nodes);
        EXPECT_EQ(back.polygons, expected.polygons);
        EXPECT_EQ(back.controlPoints, expected.controlPoints);
        EXPECT_EQ(back.parents, expected.parents);
        KDuzNode* a = read->FindNode("BoxA");
        KDuzNode* b = read->FindNode("BoxB");
        KDuzNode* c = read->FindNode("BoxC");
        ASSERT_TRUE(a != nullptr && b != nullptr && c != nullptr);
        ASSERT_NE(a->GetNodeAttribute(), nullptr);
        EXPECT_EQ(a->GetNodeAttributeCount(), 1);
        EXPECT_EQ(b->GetNodeAttributeCount(), 1);
        if (row.keepsSharing) {
            EXPECT_EQ(a->GetNodeAttribute(), b->GetNodeAttribute());
            EXPECT_EQ(a->GetNodeAttribute(), c->GetNodeAttribute());
            EXPECT_EQ(read->FindNode("PatchA")->GetNodeAttribute(), read->FindNode("PatchB")->GetNodeAttribute());
        }
        // Written again, the read scene is the same once more.
        KDuzScene* again = row.version6 ? RoundTrip(read, row.mode, WriteOptions()) : WriteAndRead(read, row.mode);
        ASSERT_NE(again, nullptr);
        const SceneShape twice = ShapeOf(*again);
        EXPECT_EQ(twice.nodes, expected.nodes);
        EXPECT_EQ(twice.polygons, expected.polygons);
        EXPECT_EQ(twice.parents, expected.parents);
    }
}
