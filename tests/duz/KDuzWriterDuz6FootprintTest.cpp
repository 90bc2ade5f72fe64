// Writing a scene reads every property without making handles or internal
// properties for it, and reading a file makes only what the file changes:
// a written or read scene costs what a scene made in code does.
#include "KDuzWriterDuz6TestSupport.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/object/KDuzProperty.h"
#include "sdk/object/KProperty.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNodeInternal.h"
#include "sdk/scene/KDuzNull.h"
#include "support/SceneDump.h"

#include <algorithm>
#include <string>
#include <vector>

namespace duzsdk {
namespace {

using Vector3 = duzVectorTemplate3<double>;

// Per property of the node: whether its handle is made, and whether its
// internal property is.
std::string MadeMap(const KDuzNode* node) {
    std::string map;
    const KObject* internal = node->GetNodeInternal();
    for (int i = 0; i < node->GetPropertyCount(); ++i) {
        map += node->IsPropertyHandleMade(i) ? 'H' : '-';
        map += i < internal->GetPropertyCount() && internal->PeekProperty(i) != nullptr ? 'P' : '-';
    }
    return map;
}

std::vector<std::string> MadeNames(const KDuzNode* node) {
    std::vector<std::string> names;
    for (int i = 0; i < node->GetPropertyCount(); ++i)
        if (node->IsPropertyHandleMade(i)) names.emplace_back(node->GetPropertyNameAt(i));
    return names;
}

class PropertyFootprint : public duztest::WriterTestBase, public ::testing::WithParamInterface<int> {
protected:
    KDuzNode* AddNull(const char* name) {
        KDuzNode* node = KDuzNode::Create(manager, name);
        node->SetNodeAttribute(KDuzNull::Create(manager, ""));
        scene->GetRootNode()->AddChild(node);
        return node;
    }

    // Plain: nothing set. Moved: one channel changed. Hidden: visibility
    // changed and a property that is not animatable made so.
    void BuildScene() {
        AddNull("Plain");
        AddNull("Moved")->SetLclTranslation(Vector3(1.0, -2.0, 3.5));
        KDuzNode* hidden = AddNull("Hidden");
        hidden->SetVisibility(false);
        hidden->FindProperty("Show").ModifyFlag(kDuzPropertyAnimatable, true);
    }
};

TEST_P(PropertyFootprint, WritingMakesNothingAndWritesWhatHandlesWould) {
    BuildScene();
    std::vector<std::string> before;
    for (int i = 0; i < scene->GetRootNode()->GetChildCount(); ++i)
        before.push_back(MadeMap(scene->GetRootNode()->GetChild(i)));
    const std::string lean = PathOf("lean.duz");
    ASSERT_TRUE(Export(scene, lean, GetParam())) << lastExportError;
    for (int i = 0; i < scene->GetRootNode()->GetChildCount(); ++i)
        EXPECT_EQ(MadeMap(scene->GetRootNode()->GetChild(i)), before[static_cast<size_t>(i)]) << i;

    // The same scene with every handle made writes the same scene.
    for (int i = 0; i < scene->GetRootNode()->GetChildCount(); ++i) {
        KDuzNode* node = scene->GetRootNode()->GetChild(i);
        for (int p = 0; p < node->GetPropertyCount(); ++p) ASSERT_TRUE(node->GetPropertyAt(p).IsValid());
    }
    const std::string full = PathOf("full.duz");
    ASSERT_TRUE(Export(scene, full, GetParam())) << lastExportError;
    KDuzScene* leanRead = Import(lean);
    KDuzScene* fullRead = Import(full);
    ASSERT_NE(leanRead, nullptr);
    ASSERT_NE(fullRead, nullptr);
    EXPECT_EQ(duztest::DumpScene(*leanRead), duztest::DumpScene(*fullRead));
}

// A node read back has the handles a node made in code the same way has,
// and those of the properties the file changes; nothing else.
TEST_P(PropertyFootprint, ReadingMakesOnlyWhatTheFileChanges) {
    BuildScene();
    KDuzNode* made = AddNull("MadeInCode");
    const std::vector<std::string> baseline = MadeNames(made);
    made->Destroy();
    KDuzScene* read = RoundTrip(scene, GetParam());
    ASSERT_NE(read, nullptr);
    KDuzNode* root = read->GetRootNode();
    struct Case {
        const char* node;
        std::vector<std::string> changed;
    };
    const Case cases[] = {
        {"Plain", {}},
        {"Moved", {"Lcl Translation"}},
        // A property turning animatable fills the node's take, which makes
        // the channels' handles.
        {"Hidden", {"Lcl Rotation", "Lcl Scaling", "Lcl Translation", "Show", "Visibility"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.node);
        KDuzNode* node = root->FindChild(c.node, false);
        ASSERT_NE(node, nullptr);
        std::vector<std::string> expected = baseline;
        expected.insert(expected.end(), c.changed.begin(), c.changed.end());
        std::sort(expected.begin(), expected.end());
        expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
        std::vector<std::string> handles = MadeNames(node);
        std::sort(handles.begin(), handles.end());
        EXPECT_EQ(handles, expected);
    }
    // The values and flags the file holds arrived.
    const Vector3 moved = root->FindChild("Moved", false)->GetLclTranslation();
    EXPECT_EQ(moved[0], 1.0);
    EXPECT_EQ(moved[1], -2.0);
    EXPECT_EQ(moved[2], 3.5);
    KDuzNode* hidden = root->FindChild("Hidden", false);
    EXPECT_FALSE(hidden->GetVisibility());
    EXPECT_TRUE(hidden->FindProperty("Show").GetFlag(kDuzPropertyAnimatable));
    EXPECT_FALSE(root->FindChild("Plain", false)->FindProperty("Show").GetFlag(kDuzPropertyAnimatable));
}

// A mesh without shapes has no shape channels to rename for the write:
// its node's default take stays unfilled, and its channels without handles.
TEST_P(PropertyFootprint, WritingAMeshWithoutShapesLeavesTheTakeUnfilled) {
    KDuzNode* node = KDuzNode::Create(manager, "Quad");
    KDuzMesh* mesh = KDuzMesh::Create(manager, "");
    mesh->InitControlPoints(4);
    mesh->BeginPolygon();
    for (int corner = 0; corner < 4; ++corner) mesh->AddPolygon(corner);
    mesh->EndPolygon();
    node->SetNodeAttribute(mesh);
    scene->GetRootNode()->AddChild(node);
    ASSERT_TRUE(node->IsTakeContentPending());
    const std::string before = MadeMap(node);
    ASSERT_TRUE(Export(scene, PathOf("quad.duz"), GetParam())) << lastExportError;
    EXPECT_TRUE(node->IsTakeContentPending());
    EXPECT_EQ(MadeMap(node), before);
}

INSTANTIATE_TEST_SUITE_P(Formats, PropertyFootprint, ::testing::Values(duztest::kBinary, duztest::kAscii),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(duztest::FormatName(info.param));
                         });

// A shared slot made only to be read goes back to unmade; one something
// holds stays.
TEST(PropertySlotRelease, OnlyWhatNothingHoldsIsReleased) {
    KDuzSdkManager* manager = KDuzSdkManager::Create();
    KDuzNode* node = KDuzNode::Create(manager, "node");
    KDuzNode_internal* internal = node->GetNodeInternal();
    const int slot = 0;
    ASSERT_EQ(internal->PeekProperty(slot), nullptr);

    // Peeking makes nothing that stays.
    std::string seen;
    node->PeekPropertyAt(slot, [&](KDuzProperty& property) { seen = property.GetName(); });
    EXPECT_EQ(seen, node->GetPropertyNameAt(slot));
    EXPECT_EQ(internal->PeekProperty(slot), nullptr);
    EXPECT_FALSE(node->IsPropertyHandleMade(slot));

    // Made and connected: held, so it stays.
    KProperty* property = internal->GetProperty(slot);
    ASSERT_NE(property, nullptr);
    KPlug other;
    ASSERT_TRUE(property->ConnectSource(&other));
    EXPECT_FALSE(internal->ReleaseSlot(slot));
    EXPECT_EQ(internal->PeekProperty(slot), property);
    property->DisconnectSource(&other);
    // Still listed without a handle by the node: it waits for its handle.
    EXPECT_FALSE(internal->ReleaseSlot(slot));
    EXPECT_EQ(internal->PeekProperty(slot), property);
    node->Destroy();
    manager->Destroy();
}

}  // namespace
}  // namespace duzsdk
