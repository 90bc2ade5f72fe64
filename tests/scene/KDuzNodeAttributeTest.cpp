#include "sdk/object/KDuzClassTree.h"
#include "sdk/scene/KDuzCamera.h"
#include "sdk/scene/KDuzCameraSwitcher.h"
#include "sdk/scene/KDuzLight.h"
#include "sdk/scene/KDuzMarker.h"
#include "sdk/scene/KDuzNodeAttribute.h"
#include "sdk/scene/KDuzNull.h"
#include "sdk/scene/KDuzOpticalReference.h"
#include "sdk/scene/KDuzSkeleton.h"

#include "KDuzAttributeTestSupport.h"

#include <string>

namespace duzsdk {
namespace {

using testing_attribute::AsFloat;
using testing_attribute::AttributeTest;

struct AttributeClassRow {
    EDuzClass classId;
    int typeCode;
    const char* typeName;
    const char* typeFlags;   // items joined with "~"; "" for none
    bool hasColor;
    double red, green, blue;  // "Color" of a new object
};

constexpr AttributeClassRow kAttributeClasses[] = {
    {eDuzClassNodeAttribute, 0, "NodeAttribute", "", false, 0, 0, 0},
    {eDuzClassNull, 1, "Null", "Null", true, 0.8, 0.8, 0.8},
    {eDuzClassMarker, 2, "Marker", "Marker", true, 1.0, 0.0, 0.0},
    {eDuzClassSkeleton, 3, "Root", "Null~Skeleton~Root", true, 0.8, 0.8, 0.8},
    {eDuzClassCamera, 7, "Camera", "Camera", true, 0.8, 0.8, 0.8},
    {eDuzClassCameraSwitcher, 8, "CameraSwitcher", "", true, 0.8, 0.8, 0.8},
    {eDuzClassLight, 9, "Light", "Light", true, 1.0, 1.0, 1.0},
    {eDuzClassOpticalReference, 10, "Optical", "Marker", true, 0.8, 0.8, 0.8},
};

std::string Joined(const KStringList& list) {
    std::string text;
    for (int i = 0; i < list.GetCount(); ++i) {
        if (i > 0) text += "~";
        text += list.GetStringAt(i);
    }
    return text;
}

TEST_F(AttributeTest, EveryAttributeClassReportsItsKind) {
    for (const AttributeClassRow& row : kAttributeClasses) {
        SCOPED_TRACE(row.typeName);
        auto* attribute = dynamic_cast<KDuzNodeAttribute*>(manager->CreateObject(KDuzClassIdOf(row.classId), "a"));
        ASSERT_NE(attribute, nullptr);
        EXPECT_TRUE(attribute->GetClassId().Is(KDuzClassIdOf(row.classId)));
        EXPECT_EQ(attribute->GetAttributeType(), row.typeCode);
        EXPECT_STREQ(attribute->GetTypeName().Buffer(), row.typeName);
        EXPECT_EQ(Joined(attribute->GetTypeFlags()), row.typeFlags);
        EXPECT_EQ(attribute->GetNode(), nullptr);
        EXPECT_EQ(attribute->Clone(1), nullptr);
        EXPECT_EQ(attribute->Clone(0), nullptr);

        attribute->SetName("thing", true);
        EXPECT_STREQ(attribute->GetName(), "Geometry::thing");

        KDuzProperty color = attribute->FindProperty("Color");
        ASSERT_EQ(color.IsValid(), row.hasColor);
        if (!row.hasColor) continue;
        EXPECT_TRUE(color.GetFlag(kDuzPropertyAnimatable));
        const duzVectorTemplate3<double> value = color.GetDouble3();
        EXPECT_DOUBLE_EQ(value[0], row.red);
        EXPECT_DOUBLE_EQ(value[1], row.green);
        EXPECT_DOUBLE_EQ(value[2], row.blue);
    }
}

TEST_F(AttributeTest, BackLinkFollowsConnections) {
    KDuzNode* node = Node();
    KDuzNull* null = KDuzNull::Create(manager, "null");
    ASSERT_NE(null, nullptr);
    EXPECT_EQ(null->GetTakeNodeContainer(), nullptr);

    ASSERT_TRUE(node->AddNodeAttribute(null));
    EXPECT_EQ(null->GetNode(), node);
    EXPECT_EQ(null->GetTakeNodeContainer(), node);
    EXPECT_TRUE(node->DisconnectSrcObject(null));
    EXPECT_EQ(null->GetNode(), nullptr);

    // An object that is not a node gives no back-link.
    KDuzObject* plain = KDuzObject::Create(manager, "plain");
    ASSERT_NE(plain, nullptr);
    ASSERT_TRUE(plain->ConnectSrcObject(null));
    EXPECT_EQ(null->GetNode(), nullptr);
}

TEST_F(AttributeTest, AttachingFillsEveryTakeOfTheNode) {
    KDuzNode* node = Node();
    ASSERT_NE(node->CreateTakeNode("Take 001"), nullptr);
    ASSERT_NE(node->CreateTakeNode("Take 002"), nullptr);
    KDuzLight* light = KDuzLight::Create(manager, "light");
    ASSERT_TRUE(node->AddNodeAttribute(light));
    ASSERT_EQ(node->GetTakeNodeCount(), 3);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        KDuzTakeNode* take = node->GetTakeNodeAt(i);
        for (const char* name : {"Color", "Intensity", "Cone angle", "Fog"}) EXPECT_TRUE(HasChannel(take, name)) << name;
    }
}

TEST_F(AttributeTest, SharedAttributeKeepsChannelsOfTheNodeItIsLinkedTo) {
    KDuzNode* first = Node("first");
    KDuzNode* second = Node("second");
    KDuzLight* light = KDuzLight::Create(manager, "light");
    ASSERT_TRUE(first->AddNodeAttribute(light));
    ASSERT_TRUE(second->AddNodeAttribute(light));
    EXPECT_EQ(light->GetNode(), second);

    // Letting go on the first node must not strip the second node's takes.
    EXPECT_TRUE(first->DisconnectSrcObject(light));
    EXPECT_EQ(light->GetNode(), second);
    EXPECT_TRUE(HasChannel(second->GetDefaultTakeNode(), "Intensity"));
    light->SetIntensity(20.0);
    EXPECT_FLOAT_EQ(Curve(second->GetDefaultTakeNode(), "Intensity")->GetDefaultValue(), 20.0f);

    EXPECT_TRUE(second->DisconnectSrcObject(light));
    EXPECT_EQ(light->GetNode(), nullptr);
    EXPECT_FALSE(HasChannel(second->GetDefaultTakeNode(), "Intensity"));
}

TEST_F(AttributeTest, DestroyingTheNodeTakesItsAttributes) {
    KDuzNode* node = Node();
    KDuzCamera* camera = KDuzCamera::Create(manager, "camera");
    ASSERT_TRUE(node->AddNodeAttribute(camera));
    const int before = manager->GetObjectCount(KDuzCamera::ClassId());
    node->Destroy();
    EXPECT_EQ(manager->GetObjectCount(KDuzCamera::ClassId()), before - 1);
}

}  // namespace
}  // namespace duzsdk
