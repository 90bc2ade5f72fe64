#include "sdk/scene/KDuzCameraSwitcher.h"

#include "KDuzAttributeTestSupport.h"

namespace duzsdk {
namespace {

using testing_attribute::AttributeTest;

TEST_F(AttributeTest, CameraSwitcherNames) {
    KDuzCameraSwitcher* switcher = KDuzCameraSwitcher::Create(manager, "switcher");
    ASSERT_NE(switcher, nullptr);
    EXPECT_EQ(switcher->GetCameraNameCount(), 0);
    EXPECT_EQ(switcher->GetCameraName(0), nullptr);
    switcher->AddCameraName("Producer Perspective");
    switcher->AddCameraName("shot");
    EXPECT_EQ(switcher->GetCameraNameCount(), 2);
    EXPECT_STREQ(switcher->GetCameraName(1), "shot");
    EXPECT_EQ(switcher->GetCameraName(2), nullptr);
    EXPECT_EQ(switcher->GetCameraName(-1), nullptr);

    auto* clone = dynamic_cast<KDuzCameraSwitcher*>(switcher->Clone(2));
    ASSERT_NE(clone, nullptr);
    ASSERT_EQ(clone->GetCameraNameCount(), 2);
    EXPECT_STREQ(clone->GetCameraName(0), "Producer Perspective");
    EXPECT_NE(clone->GetCameraName(0), switcher->GetCameraName(0));
}

TEST_F(AttributeTest, CameraIndexDetachedAndAttached) {
    KDuzCameraSwitcher* switcher = KDuzCameraSwitcher::Create(manager, "switcher");
    ASSERT_NE(switcher, nullptr);
    KDuzProperty index = switcher->FindProperty("Camera Index");
    ASSERT_TRUE(index.IsValid());
    EXPECT_TRUE(index.GetFlag(kDuzPropertyAnimatable));
    EXPECT_EQ(switcher->GetDefaultCameraIndex(), 100);
    switcher->SetDefaultCameraIndex(4);
    EXPECT_EQ(switcher->GetDefaultCameraIndex(), 4);

    KDuzNode* node = Node();
    ASSERT_TRUE(node->AddNodeAttribute(switcher));
    KFCurve* curve = node->GetDefaultTakeNode()->GetCameraIndexCurve();
    ASSERT_NE(curve, nullptr);
    // The curve starts from the property's value once attached.
    EXPECT_FLOAT_EQ(curve->GetDefaultValue(), 4.0f);
    switcher->SetDefaultCameraIndex(3);
    EXPECT_EQ(switcher->GetDefaultCameraIndex(), 3);
    EXPECT_FLOAT_EQ(curve->GetDefaultValue(), 3.0f);

    ASSERT_TRUE(node->DisconnectSrcObject(switcher));
    EXPECT_FALSE(HasChannel(node->GetDefaultTakeNode(), "Camera Index"));
    EXPECT_EQ(switcher->GetDefaultCameraIndex(), 3);
}

}  // namespace
}  // namespace duzsdk
