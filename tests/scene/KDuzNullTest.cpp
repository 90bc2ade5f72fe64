#include "sdk/scene/KDuzNull.h"
#include "sdk/scene/KDuzOpticalReference.h"

#include "KDuzAttributeTestSupport.h"

namespace duzsdk {
namespace {

using testing_attribute::AttributeTest;

TEST_F(AttributeTest, NullSizeAndLook) {
    KDuzNull* null = KDuzNull::Create(manager, "null");
    ASSERT_NE(null, nullptr);
    EXPECT_EQ(null->GetLook(), KDuzNull::eCross);
    EXPECT_DOUBLE_EQ(null->GetSize(), KDuzNull::GetDefaultSize());
    EXPECT_FALSE(null->IsSizeSet());
    // Setting marks the size as set even when the value stays.
    null->SetSize(100.0);
    EXPECT_TRUE(null->IsSizeSet());

    null->SetLook(KDuzNull::eNone);
    null->SetSize(5.0);
    auto* clone = dynamic_cast<KDuzNull*>(null->Clone(2));
    ASSERT_NE(clone, nullptr);
    EXPECT_STREQ(clone->GetName(), "null");
    EXPECT_EQ(clone->GetLook(), KDuzNull::eNone);
    EXPECT_DOUBLE_EQ(clone->GetSize(), 5.0);
    EXPECT_TRUE(clone->IsSizeSet());

    null->Reset();
    EXPECT_FALSE(null->IsSizeSet());
    EXPECT_EQ(null->GetLook(), KDuzNull::eCross);
}

TEST_F(AttributeTest, NullCloneKeepsAnUnsetSize) {
    KDuzNull* null = KDuzNull::Create(manager, "null");
    auto* clone = dynamic_cast<KDuzNull*>(null->Clone(2));
    ASSERT_NE(clone, nullptr);
    EXPECT_FALSE(clone->IsSizeSet());
}

TEST_F(AttributeTest, OpticalReferenceClonesEmpty) {
    KDuzOpticalReference* reference = KDuzOpticalReference::Create(manager, "ref");
    ASSERT_NE(reference, nullptr);
    auto* clone = dynamic_cast<KDuzOpticalReference*>(reference->Clone(2));
    ASSERT_NE(clone, nullptr);
    EXPECT_STREQ(clone->GetName(), "");
    EXPECT_EQ(clone->GetAttributeType(), KDuzNodeAttribute::eOpticalReference);
}

}  // namespace
}  // namespace duzsdk
