#include "sdk/scene/KDuzMarker.h"

#include "KDuzAttributeTestSupport.h"

namespace duzsdk {
namespace {

using testing_attribute::AsFloat;
using testing_attribute::AttributeTest;

class MarkerTest : public AttributeTest {
protected:
    KDuzMarker* Marker() {
        KDuzMarker* marker = KDuzMarker::Create(manager, "marker");
        EXPECT_NE(marker, nullptr);
        return marker;
    }
};

TEST_F(MarkerTest, NewMarkerIsARedCube) {
    KDuzMarker* marker = Marker();
    EXPECT_EQ(marker->GetType(), KDuzMarker::eStandard);
    EXPECT_EQ(marker->GetLook(), KDuzMarker::eCube);
    EXPECT_DOUBLE_EQ(marker->GetSize(), 100.0);
    EXPECT_FALSE(marker->GetShowLabel());
    const KDuzRGBAColor color = marker->GetColor();
    EXPECT_DOUBLE_EQ(color.mRed, 1.0);
    EXPECT_DOUBLE_EQ(color.mGreen, 0.0);
    EXPECT_DOUBLE_EQ(color.mAlpha, 1.0);
    const KgeTVector pivot = marker->GetIKPivot();
    EXPECT_DOUBLE_EQ(pivot[0], 0.0);
    EXPECT_DOUBLE_EQ(pivot[3], 1.0);
    KProperty* look = marker->FindProperty("Look").GetBoundProperty();
    ASSERT_NE(look, nullptr);
    EXPECT_STREQ(look->GetEnumItem(3), "Sphere");
}

TEST_F(MarkerTest, TypeNames) {
    struct Row {
        int type;
        const char* name;
    };
    constexpr Row kRows[] = {{0, "Marker"}, {1, "OpticalMarker"}, {2, "IKEffector"}, {3, "FKEffector"}, {7, "Marker"}};
    KDuzMarker* marker = Marker();
    for (const Row& row : kRows) {
        marker->SetType(static_cast<KDuzMarker::EType>(row.type));
        EXPECT_STREQ(marker->GetTypeName().Buffer(), row.name) << row.type;
        EXPECT_STREQ(marker->GetTypeFlags().GetStringAt(0), "Marker");
    }
}

TEST_F(MarkerTest, TypeChangeRebuildsTheChannelsOfEveryTake) {
    KDuzNode* node = Node();
    ASSERT_NE(node->CreateTakeNode("Take 001"), nullptr);
    KDuzMarker* marker = Marker();
    marker->SetType(KDuzMarker::eOptical);
    ASSERT_TRUE(node->AddNodeAttribute(marker));
    for (int i = 0; i < 2; ++i) {
        KDuzTakeNode* take = node->GetTakeNodeAt(i);
        ASSERT_NE(Curve(take, "Occlusion"), nullptr) << i;
        EXPECT_FLOAT_EQ(Curve(take, "Occlusion")->GetDefaultValue(), 0.0f);
        EXPECT_FLOAT_EQ(Curve(take, "Occlusion")->GetColor()[0], 0.75f);
    }

    marker->SetType(KDuzMarker::eIKEffector);
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        KDuzTakeNode* take = node->GetTakeNodeAt(i);
        EXPECT_FALSE(HasChannel(take, "Occlusion"));
        EXPECT_TRUE(HasChannel(take, "IK Reach Translation"));
        EXPECT_TRUE(HasChannel(take, "IK Reach Rotation"));
        EXPECT_NE(take->GetIKReachRotationCurve(), nullptr);
    }

    marker->SetDefaultIKReachTranslation(0.3);
    marker->SetDefaultIKReachRotation(75.0);
    EXPECT_DOUBLE_EQ(marker->GetDefaultIKReachTranslation(), AsFloat(0.3));
    EXPECT_DOUBLE_EQ(marker->GetDefaultIKReachRotation(), 75.0);

    marker->SetType(KDuzMarker::eStandard);
    EXPECT_FALSE(HasChannel(node->GetDefaultTakeNode(), "IK Reach Translation"));
    EXPECT_FALSE(HasChannel(node->GetTakeNodeAt(1), "IK Reach Rotation"));
}

TEST_F(MarkerTest, IKReachIsForAttachedEffectorsOnly) {
    KDuzMarker* marker = Marker();
    marker->SetType(KDuzMarker::eIKEffector);
    // Detached: nothing to write to, nothing read.
    marker->SetDefaultIKReachTranslation(0.5);
    EXPECT_DOUBLE_EQ(marker->GetDefaultIKReachTranslation(), 0.0);

    KDuzNode* node = Node();
    marker->SetType(KDuzMarker::eOptical);
    ASSERT_TRUE(node->AddNodeAttribute(marker));
    marker->SetDefaultIKReachTranslation(0.5);
    EXPECT_DOUBLE_EQ(marker->GetDefaultIKReachTranslation(), 0.0);
    EXPECT_FALSE(HasChannel(node->GetDefaultTakeNode(), "IK Reach Translation"));
}

TEST_F(MarkerTest, CloneCopiesAllButTheIKPivot) {
    KDuzMarker* marker = Marker();
    marker->SetType(KDuzMarker::eFKEffector);
    marker->SetLook(KDuzMarker::eSphere);
    marker->SetSize(12.0);
    marker->SetColor(KDuzRGBAColor(0.0, 0.5, 1.0, 0.2));
    marker->SetShowLabel(true);
    marker->SetIKPivot(KgeTVector(1.0, 2.0, 3.0, 9.0));
    EXPECT_DOUBLE_EQ(marker->GetIKPivot()[2], 3.0);
    EXPECT_DOUBLE_EQ(marker->GetIKPivot()[3], 1.0);

    auto* clone = dynamic_cast<KDuzMarker*>(marker->Clone(2));
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(clone->GetType(), KDuzMarker::eFKEffector);
    EXPECT_EQ(clone->GetLook(), KDuzMarker::eSphere);
    EXPECT_DOUBLE_EQ(clone->GetSize(), 12.0);
    EXPECT_DOUBLE_EQ(clone->GetColor().mGreen, 0.5);
    EXPECT_DOUBLE_EQ(clone->GetColor().mAlpha, 1.0);
    EXPECT_TRUE(clone->GetShowLabel());
    EXPECT_DOUBLE_EQ(clone->GetIKPivot()[0], 0.0);
}

}  // namespace
}  // namespace duzsdk
