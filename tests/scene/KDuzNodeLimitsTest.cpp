#include "sdk/scene/KDuzNodeLimits.h"

#include "KDuzNodeTestSupport.h"
#include "sdk/scene/KDuzNodeTransform.h"

namespace duzsdk {
namespace {

using testing_node::NodeTest;

TEST(KDuzLimitRecordApplyTest, ClampsPerAxis) {
    struct Case {
        const char* what;
        int flags;
        double min[3];
        double max[3];
        double in[3];
        double out[3];
    };
    const Case cases[] = {
        {"only x minimum", kDuzLimitMinX, {1, 0, 0}, {0, 0, 0}, {0, 0, 0}, {1, 0, 0}},
        {"minimum above maximum gives the maximum",
         kDuzLimitMinX | kDuzLimitMaxX,
         {5, 0, 0},
         {2, 0, 0},
         {3, 0, 0},
         {2, 0, 0}},
        {"active bit alone passes", kDuzLimitActive, {9, 9, 9}, {-9, -9, -9}, {1, 2, 3}, {1, 2, 3}},
        {"z maximum", kDuzLimitMaxZ, {0, 0, 0}, {0, 0, 4}, {8, 8, 8}, {8, 8, 4}},
        {"inside the range", kDuzLimitMinY | kDuzLimitMaxY, {0, -1, 0}, {0, 1, 0}, {0, 0.5, 0}, {0, 0.5, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        KDuzNodeLimitRecord record;
        record.flags = c.flags;
        for (int i = 0; i < 3; ++i) {
            record.min[i] = c.min[i];
            record.max[i] = c.max[i];
        }
        double out[3];
        KDuzLimitRecordApply(record, c.in, out);
        for (int i = 0; i < 3; ++i) EXPECT_DOUBLE_EQ(out[i], c.out[i]);
    }
}

TEST(KDuzLimitsTest, OwnedRecordAndKinds) {
    KDuzLimits translation(nullptr, eDuzLimitTranslation);
    EXPECT_FALSE(translation.IsLimited());
    translation.SetMinActive(true, false, true);
    bool x, y, z;
    translation.GetMinActive(x, y, z);
    EXPECT_TRUE(x);
    EXPECT_FALSE(y);
    EXPECT_TRUE(z);
    EXPECT_TRUE(translation.IsLimited());
    translation.SetMax(KgeTVector(1, 2, 3, 0));
    EXPECT_DOUBLE_EQ(translation.GetMax()[2], 3.0);
    // The evaluation record keeps rotation first; kind 0 is translation.
    EXPECT_EQ(translation.GetRecord()->translationLimits.flags, kDuzLimitMinX | kDuzLimitMinZ);
    EXPECT_EQ(translation.GetRecord()->rotationLimits.flags, 0);

    KDuzLimits bad(nullptr, 5);
    bad.SetMinActive(true, true, true);
    EXPECT_FALSE(bad.IsLimited());
    EXPECT_DOUBLE_EQ(bad.GetMin()[0], 0.0);

    KDuzLimits copy(nullptr, eDuzLimitTranslation);
    copy.CopyRecord(translation);
    EXPECT_DOUBLE_EQ(copy.GetMax()[1], 2.0);
    EXPECT_TRUE(copy.IsLimited());
}

TEST_F(NodeTest, NodeLimitsStartClearedWithScalingAtOne) {
    KDuzNode* node = Node();
    KDuzNodeLimits* limits = node->GetLimits();
    ASSERT_NE(limits, nullptr);
    EXPECT_EQ(limits->GetNode(), node);
    EXPECT_FALSE(limits->GetTranslationActive());
    EXPECT_FALSE(limits->GetScalingLimits().IsLimited());
    EXPECT_DOUBLE_EQ(limits->GetScalingLimits().GetMin()[0], 1.0);
    EXPECT_DOUBLE_EQ(limits->GetScalingLimits().GetMax()[2], 1.0);
    EXPECT_DOUBLE_EQ(node->FindProperty("ScalingMin").GetDouble3()[0], 0.0);

    limits->SetScalingActive(true);
    EXPECT_TRUE(limits->GetScalingActive());
    EXPECT_EQ(node->GetTransformEvaluationRecord().scalingLimits.flags, kDuzLimitActive);
    EXPECT_EQ(limits->GetLimits(3), nullptr);
}

}  // namespace
}  // namespace duzsdk
