#include "sdk/scene/KDuzGenericNode.h"

#include "sdk/object/PropertyDataTypeMap.h"

#include "KDuzAttributeTestSupport.h"

namespace duzsdk {
namespace {

using testing_attribute::AttributeTest;

TEST_F(AttributeTest, GenericNodeHasADefaultTake) {
    KDuzGenericNode* generic = KDuzGenericNode::Create(manager, "holder");
    ASSERT_NE(generic, nullptr);
    EXPECT_EQ(generic->GetTakeNodeCount(), 1);
    EXPECT_STREQ(generic->GetTakeNodeName(0), "Default");
    EXPECT_STREQ(generic->GetTypeName().Buffer(), "GenericNode");
    EXPECT_STREQ(generic->GetTypeFlags().GetStringAt(0), "GenericNode");
    generic->SetName("holder", true);
    EXPECT_STREQ(generic->GetName(), "holder");
    EXPECT_EQ(generic->Clone(1), nullptr);
}

TEST_F(AttributeTest, GenericNodeCloneCopiesTakesWithItsOwnTwin) {
    KDuzGenericNode* generic = KDuzGenericNode::Create(manager, "holder");
    ASSERT_NE(generic, nullptr);
    KDuzProperty weight(generic, "Weight", PropertyDataTypeFromName("Number"));
    weight.ModifyFlag(kDuzPropertyAnimatable, true);
    double value = 0.25;
    weight.SetValue(&value, 4);
    generic->AddPropertyToTakeNodes(weight, nullptr);
    ASSERT_NE(generic->CreateTakeNode("Take 001"), nullptr);
    generic->GetError().SetLastError(0);

    auto* clone = dynamic_cast<KDuzGenericNode*>(generic->Clone(2));
    ASSERT_NE(clone, nullptr);
    EXPECT_STREQ(clone->GetName(), "holder");
    ASSERT_EQ(clone->GetTakeNodeCount(), 2);
    EXPECT_STREQ(clone->GetTakeNodeName(1), "Take 001");
    KFCurve* curve = Curve(clone->GetTakeNodeAt(1), "Weight");
    ASSERT_NE(curve, nullptr);
    EXPECT_FLOAT_EQ(curve->GetDefaultValue(), 0.25f);
    EXPECT_NE(clone->GetInternalObject(), generic->GetInternalObject());
    EXPECT_EQ(clone->GetError().GetLastErrorIndex(), 0);
    EXPECT_STREQ(clone->GetError().GetLastErrorString(), "Error");
}

}  // namespace
}  // namespace duzsdk
