#include "sdk/geometry/KDuzNurb.h"
#include "sdk/geometry/KDuzNurbsSurface.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzLight.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

#include <gtest/gtest.h>

#include "scene/SceneTestFixture.h"

namespace duzsdk {
namespace {

class SceneNurbsPassTest : public SceneTestFixture {};

TEST_F(SceneNurbsPassTest, EveryNurbsSurfaceNodeGetsAnEquivalentNurb) {
    KDuzNode* nodes[2] = {};
    for (int i = 0; i < 2; ++i) {
        KDuzNurbsSurface* surface = KDuzNurbsSurface::Create(manager, i == 0 ? "first" : "second");
        surface->SetOrder(2, 3);
        ASSERT_TRUE(surface->InitControlPoints(2, eNurbOpen, 3, eNurbOpen));
        surface->SetFlipNormals(i == 0);
        nodes[i] = KDuzNode::Create(manager, "node");
        ASSERT_TRUE(scene->GetRootNode()->AddChild(nodes[i]));
        nodes[i]->SetNodeAttribute(surface);
    }
    KDuzNode* lightNode = KDuzNode::Create(manager, "light");
    ASSERT_TRUE(scene->GetRootNode()->AddChild(lightNode));
    KDuzLight* light = KDuzLight::Create(manager, "");
    lightNode->SetNodeAttribute(light);

    EXPECT_TRUE(scene->ConvertNurbsSurfacesToNurbs());
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        auto* nurb = dynamic_cast<KDuzNurb*>(nodes[i]->GetNodeAttribute());
        ASSERT_NE(nurb, nullptr);
        EXPECT_STREQ(nurb->GetName(), i == 0 ? "first" : "second");
        // Surfaces without flip-normals arrive with U and V swapped.
        EXPECT_EQ(nurb->GetUCount(), i == 0 ? 2 : 3);
    }
    EXPECT_EQ(lightNode->GetNodeAttribute(), light);
    // No surface left: nothing to do, still a success.
    EXPECT_TRUE(scene->ConvertNurbsSurfacesToNurbs());
}

}  // namespace
}  // namespace duzsdk
