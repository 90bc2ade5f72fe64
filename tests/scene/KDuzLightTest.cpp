#include "sdk/scene/KDuzLight.h"

#include "KDuzAttributeTestSupport.h"

namespace duzsdk {
namespace {

using testing_attribute::AsFloat;
using testing_attribute::AttributeTest;

class LightTest : public AttributeTest {
protected:
    KDuzLight* Light() {
        KDuzLight* light = KDuzLight::Create(manager, "light");
        EXPECT_NE(light, nullptr);
        return light;
    }
};

TEST_F(LightTest, NewLightDefaults) {
    KDuzLight* light = Light();
    const KDuzRGBAColor color = light->GetColor();
    EXPECT_DOUBLE_EQ(color.mRed, 1.0);
    EXPECT_DOUBLE_EQ(color.mGreen, 1.0);
    EXPECT_DOUBLE_EQ(color.mBlue, 1.0);
    EXPECT_DOUBLE_EQ(light->GetIntensity(), 100.0);
    EXPECT_DOUBLE_EQ(light->GetConeAngle(), 45.0);
    EXPECT_DOUBLE_EQ(light->GetFog(), 50.0);
    EXPECT_EQ(light->GetLightType(), KDuzLight::ePoint);
    EXPECT_EQ(light->GetFileName(), nullptr);
    EXPECT_TRUE(light->GetCastLight());
    EXPECT_TRUE(light->GetGroundProjection());
    EXPECT_TRUE(light->GetVolumetricLight());
    EXPECT_FALSE(light->GetFrontVolumetricLight());
    EXPECT_STREQ(KDuzLight::LightTypeName(1), "Infinite Light");
    EXPECT_EQ(KDuzLight::LightTypeName(3), nullptr);

    EXPECT_TRUE(light->SetFileName("gobo.tif"));
    EXPECT_STREQ(light->GetFileName(), "gobo.tif");
    EXPECT_TRUE(light->SetFileName(""));
    EXPECT_EQ(light->GetFileName(), nullptr);
}

TEST_F(LightTest, DynamicPropertiesAndTheirDefaults) {
    struct Row {
        const char* name;
        double value;
    };
    constexpr Row kRows[] = {
        {"DecayType", 0.0},           {"DecayStart", 1.0},         {"EnableNearAttenuation", 0.0},
        {"NearAttenuationStart", 0.0}, {"NearAttenuationEnd", 0.0}, {"EnableFarAttenuation", 0.0},
        {"FarAttenuationStart", 0.0}, {"FarAttenuationEnd", 0.0},  {"CastShadows", 0.0},
    };
    KDuzLight* light = Light();
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        KDuzProperty property = light->FindProperty(row.name);
        ASSERT_TRUE(property.IsValid());
        EXPECT_DOUBLE_EQ(property.GetDouble(), row.value);
    }
    double shadow[4] = {};
    ASSERT_TRUE(light->FindProperty("ShadowColor").GetDouble4(shadow));
    EXPECT_DOUBLE_EQ(shadow[0], 0.0);
    EXPECT_DOUBLE_EQ(shadow[3], 1.0);

    EXPECT_TRUE(light->SetDecayType(2));
    EXPECT_TRUE(light->SetDecayStart(3.5));
    EXPECT_TRUE(light->SetCastShadows(true));
    EXPECT_TRUE(light->SetShadowColor(KDuzRGBAColor(0.5, 0.25, 0.0, 1.0)));
    EXPECT_EQ(static_cast<int>(light->FindProperty("DecayType").GetDouble()), 2);
    EXPECT_DOUBLE_EQ(light->FindProperty("DecayStart").GetDouble(), 3.5);
    ASSERT_TRUE(light->FindProperty("ShadowColor").GetDouble4(shadow));
    EXPECT_DOUBLE_EQ(shadow[1], 0.25);

    light->ResetDynamicProperties();
    EXPECT_DOUBLE_EQ(light->FindProperty("DecayStart").GetDouble(), 1.0);
    EXPECT_DOUBLE_EQ(light->FindProperty("CastShadows").GetDouble(), 0.0);

    // A missing property makes the setter fail.
    KDuzProperty decay = light->FindProperty("DecayType");
    decay.DestroyProperty();
    EXPECT_FALSE(light->SetDecayType(1));
}

TEST_F(LightTest, AttachedChannelsLiveInTheDefaultTake) {
    KDuzNode* node = Node();
    ASSERT_NE(node->CreateTakeNode("Take 001"), nullptr);
    KDuzLight* light = Light();
    ASSERT_TRUE(node->AddNodeAttribute(light));

    KDuzTakeNode* take = node->GetTakeNodeAt(1);
    ASSERT_NE(take, nullptr);
    struct Row {
        const char* name;
        const char* child;
        float value;
    };
    constexpr Row kRows[] = {{"Color", "X", 1.0f},    {"Color", "Y", 1.0f}, {"Color", "Z", 1.0f},
                             {"Intensity", nullptr, 100.0f}, {"Cone angle", nullptr, 45.0f},
                             {"Fog", nullptr, 50.0f}};
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        KFCurve* curve = Curve(take, row.name, row.child);
        ASSERT_NE(curve, nullptr);
        EXPECT_FLOAT_EQ(curve->GetDefaultValue(), row.value);
    }
    // The take's own typed look-ups find the channels.
    EXPECT_NE(node->GetDefaultTakeNode()->GetIntensityCurve(), nullptr);
    EXPECT_NE(node->GetDefaultTakeNode()->GetColorYCurve(), nullptr);
    const float* intensityColor = Curve(take, "Intensity")->GetColor();
    EXPECT_FLOAT_EQ(intensityColor[0], 0.97f);
    EXPECT_FLOAT_EQ(intensityColor[2], 0.11f);

    // Only the default take drives the light.
    Curve(take, "Intensity")->SetDefaultValue(7.0f);
    EXPECT_DOUBLE_EQ(light->GetIntensity(), 100.0);
    Curve(node->GetDefaultTakeNode(), "Intensity")->SetDefaultValue(7.0f);
    EXPECT_DOUBLE_EQ(light->GetIntensity(), 7.0);
    EXPECT_DOUBLE_EQ(light->FindProperty("Intensity").GetDouble(), 7.0);
    Curve(node->GetDefaultTakeNode(), "Color", "Y")->SetDefaultValue(0.5f);
    EXPECT_DOUBLE_EQ(light->FindProperty("Color").GetDouble3()[1], 0.5);

    light->SetIntensity(0.1);
    EXPECT_DOUBLE_EQ(light->GetIntensity(), AsFloat(0.1));
    light->SetColor(KDuzRGBAColor(0.25, 0.5, 0.75, 1.0));
    EXPECT_FLOAT_EQ(Curve(node->GetDefaultTakeNode(), "Color", "Z")->GetDefaultValue(), 0.75f);
    EXPECT_DOUBLE_EQ(light->GetColor().mGreen, 0.5);
}

TEST_F(LightTest, ValuesSetWhileDetachedSurviveAttaching) {
    KDuzLight* light = Light();
    light->SetIntensity(30.0);
    light->SetConeAngle(20.0);
    light->SetColor(KDuzRGBAColor(0.5, 0.0, 0.25, 1.0));
    KDuzNode* node = Node();
    ASSERT_TRUE(node->AddNodeAttribute(light));
    EXPECT_DOUBLE_EQ(light->GetIntensity(), 30.0);
    EXPECT_DOUBLE_EQ(light->GetConeAngle(), 20.0);
    EXPECT_DOUBLE_EQ(light->GetFog(), 50.0);
    EXPECT_DOUBLE_EQ(light->GetColor().mBlue, 0.25);
}

TEST_F(LightTest, DetachingRemovesTheChannelsFromEveryTake) {
    KDuzNode* node = Node();
    ASSERT_NE(node->CreateTakeNode("Take 001"), nullptr);
    KDuzLight* light = Light();
    ASSERT_TRUE(node->AddNodeAttribute(light));
    light->SetIntensity(12.0);
    ASSERT_TRUE(node->DisconnectSrcObject(light));
    for (int i = 0; i < node->GetTakeNodeCount(); ++i) {
        SCOPED_TRACE(i);
        for (const char* name : {"Color", "Intensity", "Cone angle", "Fog"})
            EXPECT_FALSE(HasChannel(node->GetTakeNodeAt(i), name)) << name;
    }
    // Detached, the light reads its own properties again.
    EXPECT_DOUBLE_EQ(light->GetIntensity(), 12.0);
    light->SetFog(5.0);
    EXPECT_DOUBLE_EQ(light->GetFog(), 5.0);
}

TEST_F(LightTest, CloneCopiesSettingsButNotAnimatedValues) {
    KDuzLight* light = Light();
    light->SetLightType(KDuzLight::eSpot);
    light->SetCastLight(false);
    light->SetGroundProjection(false);
    light->SetVolumetricLight(false);
    light->SetFrontVolumetricLight(true);
    light->SetFileName("gobo.tif");
    light->SetIntensity(10.0);

    auto* clone = dynamic_cast<KDuzLight*>(light->Clone(2));
    ASSERT_NE(clone, nullptr);
    EXPECT_NE(clone, light);
    EXPECT_STREQ(clone->GetName(), "");
    EXPECT_EQ(clone->GetLightType(), KDuzLight::eSpot);
    EXPECT_FALSE(clone->GetCastLight());
    EXPECT_FALSE(clone->GetGroundProjection());
    EXPECT_FALSE(clone->GetVolumetricLight());
    EXPECT_TRUE(clone->GetFrontVolumetricLight());
    EXPECT_STREQ(clone->GetFileName(), "gobo.tif");
    EXPECT_DOUBLE_EQ(clone->GetIntensity(), 100.0);
}

}  // namespace
}  // namespace duzsdk

namespace duzsdk {
namespace {

TEST_F(LightTest, DestroyingAnAttachedLightLeavesTheNodeSound) {
    KDuzNode* node = Node();
    KDuzLight* light = Light();
    ASSERT_TRUE(node->AddNodeAttribute(light));
    light->Destroy();
    EXPECT_EQ(node->GetNodeAttributeCount(), 0);
    // Whatever is left in the take is no longer tied to the light.
    if (KFCurve* curve = Curve(node->GetDefaultTakeNode(), "Intensity")) curve->SetDefaultValue(3.0f);
    EXPECT_FALSE(HasChannel(node->GetDefaultTakeNode(), "Intensity"));
}

}  // namespace
}  // namespace duzsdk
