// Shaped geometries written by the DUZ writers and read back: the file names
// the weight channels after the shapes' file names, the scene after the shapes.
#include <gtest/gtest.h>

#include <algorithm>

#include <string>

#include "KDuzWriterDuzTestSupport.h"
#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzNurbsSurface.h"
#include "sdk/geometry/KDuzPatch.h"
#include "sdk/scene/KDuzNodeAttribute.h"
#include "sdk/geometry/KDuzShape.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

using namespace duzsdk;
using namespace duztest;

namespace {

class ShapeChannelReadTest : public Duz5WriterTestBase {
protected:
    // A node of the given geometry with one shape whose weight is keyed in
    // the take "Walk" from 0.25 to 0.75.
    void AddShapedNode(const char* nodeName, KDuzGeometry* geometry, const char* shapeName) {
        KDuzNode* node = KDuzNode::Create(manager, nodeName);
        node->SetNodeAttribute(geometry);
        scene->GetRootNode()->AddChild(node);
        KDuzShape* shape = KDuzShape::Create(manager, "");
        shape->CopyFrom(*geometry);
        ASSERT_EQ(geometry->AddShape(shape, shapeName), 0);
        KDuzTakeNode* walk = node->CreateTakeNode("Walk");
        KFCurve* weight = geometry->GetShapeChannel(walk, 0);
        ASSERT_NE(weight, nullptr);
        weight->KeySetValue(weight->KeyAdd(KTime(0)), 0.25f);
        weight->KeySetValue(weight->KeyAdd(KTime(KTime::kTicksPerSecond)), 0.75f);
    }

    void BuildScene() {
        KDuzMesh* mesh = KDuzMesh::Create(manager, "");
        mesh->InitControlPoints(3);
        for (int i = 0; i < 3; ++i) mesh->GetControlPoints()[i] = KgeTVector(i, i % 2, 0, 1);
        mesh->BeginPolygon();
        for (int i = 0; i < 3; ++i) mesh->AddPolygon(i);
        mesh->EndPolygon();
        AddShapedNode("Face", mesh, "Smile");

        KDuzPatch* patch = KDuzPatch::Create(manager, "");
        ASSERT_TRUE(patch->InitControlPoints(4, ePatchBezier, 4, ePatchBezier));
        for (int v = 0; v < 4; ++v)
            for (int u = 0; u < 4; ++u) patch->GetControlPoints()[v * 4 + u] = KgeTVector(u, v, u * v, 1);
        AddShapedNode("Sheet", patch, "Bulge");

        KDuzNurbsSurface* surface = KDuzNurbsSurface::Create(manager, "");
        surface->SetOrder(2, 2);
        surface->SetStep(1, 1);
        ASSERT_TRUE(surface->InitControlPoints(2, eNurbOpen, 2, eNurbOpen));
        const double knots[] = {0, 0, 1, 1};
        std::copy(knots, knots + 4, surface->GetUKnotVector());
        std::copy(knots, knots + 4, surface->GetVKnotVector());
        for (int i = 0; i < 4; ++i) surface->GetControlPoints()[i] = KgeTVector(i % 2, i / 2, 3.0, 1);
        AddShapedNode("Hull", surface, "Dent");
    }

    // The node's weight curve of its first shape in the take "Walk".
    static void ExpectKeyedWeight(KDuzScene* read, const char* nodeName) {
        SCOPED_TRACE(nodeName);
        KDuzNode* node = read->GetRootNode()->FindChild(nodeName);
        ASSERT_NE(node, nullptr);
        auto* geometry = dynamic_cast<KDuzGeometry*>(node->GetNodeAttribute());
        ASSERT_NE(geometry, nullptr);
        ASSERT_EQ(geometry->GetShapeCount(), 1);
        KDuzTakeNode* walk = nullptr;
        for (int t = 0; t < node->GetTakeNodeCount(); ++t)
            if (std::string(node->GetTakeNodeAt(t)->GetName()) == "Walk") walk = node->GetTakeNodeAt(t);
        ASSERT_NE(walk, nullptr);
        KFCurve* weight = geometry->GetShapeChannel(walk, 0);
        ASSERT_NE(weight, nullptr) << "shape " << geometry->GetShapeName(0);
        ASSERT_EQ(weight->KeyGetCount(), 2) << "shape " << geometry->GetShapeName(0);
        EXPECT_FLOAT_EQ(weight->KeyGetValue(0), 0.25f);
        EXPECT_FLOAT_EQ(weight->KeyGetValue(1), 0.75f);
    }
};

TEST_F(ShapeChannelReadTest, ShapedGeometriesComeBackWithTheirWeightCurves) {
    BuildScene();
    struct Case {
        const char* name;
        int version;
        int mode;
    };
    const Case cases[] = {
        {"version 6 binary", 6, kBinary},
        {"version 6 ascii", 6, kAscii},
        {"version 5 binary", 5, KDuzWriterDuz::eBinary},
        {"version 5 ascii", 5, KDuzWriterDuz::eAscii},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KDuzScene* read = c.version == 6 ? RoundTrip(scene, c.mode) : WriteAndRead(scene, c.mode);
        ASSERT_NE(read, nullptr);
        ExpectKeyedWeight(read, "Face");
        ExpectKeyedWeight(read, "Sheet");
        // Version 5 has no NURBS surface record: the surface comes back as
        // the equivalent NURB, points and all.
        ExpectKeyedWeight(read, "Hull");
        KDuzNode* hull = read->GetRootNode()->FindChild("Hull");
        auto* geometry = hull != nullptr ? dynamic_cast<KDuzGeometry*>(hull->GetNodeAttribute()) : nullptr;
        ASSERT_NE(geometry, nullptr);
        EXPECT_EQ(KDuzNode::GetAttributeTypeOf(geometry),
                  c.version == 5 ? KDuzNodeAttribute::eNurb : KDuzNodeAttribute::eNurbsSurface);
        ASSERT_EQ(geometry->GetControlPointsCount(), 4);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(geometry->GetControlPoints()[i][2], 3.0) << i;
        read->Destroy();
    }
}

}  // namespace
