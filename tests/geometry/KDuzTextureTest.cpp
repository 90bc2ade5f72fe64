#include "sdk/geometry/KDuzTexture.h"

#include "sdk/animation/KFCurve.h"
#include "sdk/animation/KFCurveNode.h"
#include "sdk/geometry/KDuzVideo.h"
#include "sdk/object/KDuzSdkManager.h"

#include <gtest/gtest.h>

#include <string>

namespace duzsdk {
namespace {

// Curve defaults are floats.
double AsFloat(double value) { return static_cast<double>(static_cast<float>(value)); }

class KDuzTextureTest : public ::testing::Test {
protected:
    void SetUp() override { manager = KDuzSdkManager::Create(); }
    void TearDown() override { manager->Destroy(); }

    KDuzTexture* Make(const char* name = "texture") {
        KDuzTexture* texture = KDuzTexture::Create(manager, name);
        EXPECT_NE(texture, nullptr);
        return texture;
    }

    KDuzSdkManager* manager = nullptr;
};

TEST_F(KDuzTextureTest, NewTextureHasItsDefaults) {
    KDuzTexture* texture = Make();
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->GetMappingType(), KDuzTexture::eMappingUV);
    EXPECT_EQ(texture->GetCurrentMappingType(), eUnifiedMappingUV);
    EXPECT_EQ(texture->GetBlendMode(), eBlendAdditive);
    EXPECT_EQ(texture->GetWrapModeU(), eWrapRepeat);
    EXPECT_EQ(texture->GetWrapModeV(), eWrapRepeat);
    EXPECT_EQ(texture->GetScaleU(), 1.0);
    EXPECT_EQ(texture->GetScaleV(), 1.0);
    EXPECT_EQ(texture->GetDefaultS()[2], 1.0);
    EXPECT_EQ(texture->GetTranslationU(), 0.0);
    EXPECT_EQ(texture->GetDefaultAlpha(), 1.0);
    EXPECT_EQ(texture->GetMaterialMode(), 1);
    EXPECT_EQ(texture->GetTextureUse(), KDuzTexture::eTextureUseStandard);
    EXPECT_FALSE(texture->GetSwapUV());
    EXPECT_EQ(texture->GetAlphaSource(), KDuzTexture::eAlphaNone);
    EXPECT_EQ(texture->GetPlanarMappingNormal(), KDuzTexture::ePlanarNormalX);
    EXPECT_STREQ(texture->GetTextureType(), "TextureVideoClip");
    EXPECT_STREQ(texture->GetTypeName().Buffer(), "TextureVideoClip");
    EXPECT_STREQ(texture->GetFileName(), "");
    EXPECT_STREQ(texture->GetRelativeFileName(), "");
    double u = 0, v = 0;
    texture->GetModelUVScaling(u, v);
    EXPECT_EQ(u, 1.0);
    EXPECT_EQ(v, 1.0);
    texture->GetModelUVTranslation(u, v);
    EXPECT_EQ(u, 0.0);
    EXPECT_EQ(v, 0.0);
    EXPECT_EQ(texture->GetNameKind(), 2);
    EXPECT_EQ(manager->FindTexture("texture"), texture);
}

TEST_F(KDuzTextureTest, PublicPropertiesCarryTheInternalValuesAndEnumTexts) {
    KDuzTexture* texture = Make();
    ASSERT_NE(texture, nullptr);
    static constexpr const char* kNames[] = {
        "Translation", "Rotation",   "Scaling",   "Texture alpha", "TextureTypeUse",
        "CurrentTextureBlendMode", "UseMaterial", "UseMipMap", "CurrentMappingType", "UVSwap",
        "WrapModeU",   "WrapModeV",  "TextureRotationPivot", "TextureScalingPivot", "VideoProperty"};
    for (const char* name : kNames) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(texture->FindProperty(name).IsValid());
    }
    KDuzProperty blend = texture->FindProperty("CurrentTextureBlendMode");
    EXPECT_STREQ(blend.GetEnumValue(1), "Additive");
    int mode = -1;
    EXPECT_TRUE(blend.GetValue(&mode, eValueKindEnum));
    EXPECT_EQ(mode, 1);
    texture->SetBlendMode(eBlendModulate);
    EXPECT_TRUE(blend.GetValue(&mode, eValueKindEnum));
    EXPECT_EQ(mode, 2);
    // Written through the public property, read by the texture.
    const int clamp = eWrapClamp;
    EXPECT_TRUE(texture->FindProperty("WrapModeV").SetValue(&clamp, eValueKindEnum));
    EXPECT_EQ(texture->GetWrapModeV(), eWrapClamp);
    EXPECT_STREQ(texture->FindProperty("CurrentMappingType").GetEnumValue(10), "None");
    EXPECT_TRUE(texture->FindProperty("Translation").GetFlag(kDuzPropertyAnimatable));
    EXPECT_FALSE(texture->FindProperty("UVSwap").GetFlag(kDuzPropertyAnimatable));
}

TEST(KDuzTextureEnumNameTest, TextsOfEveryEnumeration) {
    struct Row {
        int enumeration;
        int value;
        const char* text;
    };
    static constexpr Row kRows[] = {
        {eDuzTextureEnumTextureUse, 0, "Color"},
        {eDuzTextureEnumTextureUse, 1, "Spherical Reflection Map"},
        {eDuzTextureEnumTextureUse, 2, "Sphere Map"},
        {eDuzTextureEnumTextureUse, 3, "Shadow Map"},
        {eDuzTextureEnumTextureUse, 4, "Light Map"},
        {eDuzTextureEnumTextureUse, 5, "Bump Map (NormalMap)"},
        {eDuzTextureEnumTextureUse, 6, nullptr},
        {eDuzTextureEnumBlendMode, 0, "Translucent"},
        {eDuzTextureEnumBlendMode, 1, "Additive"},
        {eDuzTextureEnumBlendMode, 2, "Modulate"},
        {eDuzTextureEnumBlendMode, 3, "Modulate2"},
        {eDuzTextureEnumBlendMode, 4, nullptr},
        {eDuzTextureEnumMappingType, 0, "UV"},
        {eDuzTextureEnumMappingType, 1, "Z"},
        {eDuzTextureEnumMappingType, 2, "X"},
        {eDuzTextureEnumMappingType, 3, "Y"},
        {eDuzTextureEnumMappingType, 4, "Spherical"},
        {eDuzTextureEnumMappingType, 5, "Cylindrical"},
        {eDuzTextureEnumMappingType, 6, "Environment"},
        {eDuzTextureEnumMappingType, 7, "Projection"},
        {eDuzTextureEnumMappingType, 8, "Box"},
        {eDuzTextureEnumMappingType, 9, "Face"},
        {eDuzTextureEnumMappingType, 10, "None"},
        {eDuzTextureEnumMappingType, 11, nullptr},
        {eDuzTextureEnumMappingType, -1, nullptr},
        {eDuzTextureEnumWrapMode, 0, "Repeat"},
        {eDuzTextureEnumWrapMode, 1, "Clamp"},
        {eDuzTextureEnumWrapMode, 2, nullptr},
        {7, 0, nullptr},
    };
    for (const Row& row : kRows) {
        SCOPED_TRACE(::testing::Message() << row.enumeration << "/" << row.value);
        const char* text = KDuzTextureEnumName(row.enumeration, row.value);
        if (row.text == nullptr) {
            EXPECT_EQ(text, nullptr);
        } else {
            EXPECT_STREQ(text, row.text);
        }
    }
}

TEST_F(KDuzTextureTest, CroppingIsStoredWithTheMiddlePairSwapped) {
    KDuzTexture* texture = Make();
    ASSERT_NE(texture, nullptr);
    texture->SetCropping(1, 2, 3, 4);
    EXPECT_EQ(texture->GetFirstCropping(), 1);
    EXPECT_EQ(texture->GetSecondCropping(), 3);
    EXPECT_EQ(texture->GetThirdCropping(), 2);
    EXPECT_EQ(texture->GetFourthCropping(), 4);
}

TEST_F(KDuzTextureTest, MappingTypeSetsTheCurrentMappingType) {
    KDuzTexture* texture = Make();
    ASSERT_NE(texture, nullptr);
    struct Row {
        int mappingType;
        int current;
    };
    static constexpr Row kRows[] = {
        {KDuzTexture::eMappingSpherical, eUnifiedMappingSpherical},
        {KDuzTexture::eMappingCylindrical, eUnifiedMappingCylindrical},
        {KDuzTexture::eMappingBox, eUnifiedMappingBox},
        {KDuzTexture::eMappingFace, eUnifiedMappingFace},
        {KDuzTexture::eMappingUV, eUnifiedMappingUV},
        {KDuzTexture::eMappingEnvironment, eUnifiedMappingEnvironment},
        {KDuzTexture::eMappingNone, eUnifiedMappingNone},
        {42, eUnifiedMappingNone},
    };
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.mappingType);
        texture->SetMappingType(row.mappingType);
        EXPECT_EQ(texture->GetMappingType(), row.mappingType);
        EXPECT_EQ(texture->GetCurrentMappingType(), row.current);
    }

    // Planar: by the normal, now and whenever the normal changes.
    texture->SetPlanarMappingNormal(KDuzTexture::ePlanarNormalZ);
    EXPECT_EQ(texture->GetCurrentMappingType(), eUnifiedMappingNone);   // not planar yet
    texture->SetMappingType(KDuzTexture::eMappingPlanar);
    EXPECT_EQ(texture->GetCurrentMappingType(), eUnifiedMappingZ);
    texture->SetPlanarMappingNormal(KDuzTexture::ePlanarNormalX);
    EXPECT_EQ(texture->GetCurrentMappingType(), eUnifiedMappingX);
    texture->SetPlanarMappingNormal(KDuzTexture::ePlanarNormalY);
    EXPECT_EQ(texture->GetCurrentMappingType(), eUnifiedMappingY);
    texture->SetPlanarMappingNormal(9);   // any other normal leaves it
    EXPECT_EQ(texture->GetCurrentMappingType(), eUnifiedMappingY);
    EXPECT_EQ(texture->GetPlanarMappingNormal(), 9);
}

TEST_F(KDuzTextureTest, TextureUseIsTranslatedBothWays) {
    KDuzTexture* texture = Make();
    ASSERT_NE(texture, nullptr);
    KDuzProperty use = texture->FindProperty("TextureTypeUse");
    static constexpr int kStored[] = {0, 3, 4, 1, 2, 5};
    for (int publicUse = 0; publicUse <= 5; ++publicUse) {
        SCOPED_TRACE(publicUse);
        texture->SetTextureUse(publicUse);
        int stored = -1;
        EXPECT_TRUE(use.GetValue(&stored, eValueKindEnum));
        EXPECT_EQ(stored, kStored[publicUse]);
        EXPECT_EQ(texture->GetTextureUse(), publicUse);
    }
    texture->SetTextureUse(9);
    EXPECT_EQ(texture->GetTextureUse(), 0);
    const int outside = 17;
    use.SetValue(&outside, eValueKindEnum);
    EXPECT_EQ(texture->GetTextureUse(), 0);
}

TEST_F(KDuzTextureTest, MaterialModeIsTheInverseOfUseMaterial) {
    KDuzTexture* texture = Make();
    ASSERT_NE(texture, nullptr);
    texture->SetMaterialMode(0);
    EXPECT_EQ(texture->GetMaterialMode(), 0);
    bool useMaterial = false;
    EXPECT_TRUE(texture->FindProperty("UseMaterial").GetValue(&useMaterial, eValueKindBool));
    EXPECT_TRUE(useMaterial);
    texture->SetMaterialMode(1);
    EXPECT_EQ(texture->GetMaterialMode(), 1);
}

TEST_F(KDuzTextureTest, FileNamesRefuseEmptyText) {
    KDuzTexture* texture = Make();
    ASSERT_NE(texture, nullptr);
    EXPECT_TRUE(texture->SetFileName("maps/wood.bmp"));
    EXPECT_TRUE(texture->SetRelativeFileName("wood.bmp"));
    EXPECT_FALSE(texture->SetFileName(""));
    EXPECT_FALSE(texture->SetFileName(nullptr));
    EXPECT_FALSE(texture->SetRelativeFileName(""));
    EXPECT_STREQ(texture->GetFileName(), "maps/wood.bmp");
    EXPECT_STREQ(texture->GetRelativeFileName(), "wood.bmp");
    texture->SetMediaName("Video::wood");
    EXPECT_STREQ(texture->GetMediaName(), "Video::wood");
}

TEST_F(KDuzTextureTest, AnimatedValuesLiveInTheDefaultTake) {
    KDuzTexture* texture = Make();
    ASSERT_NE(texture, nullptr);
    KDuzTakeNode* take = texture->GetDefaultTakeNode();
    ASSERT_NE(take, nullptr);
    KFCurveNode* root = take->GetCurveNode();
    ASSERT_NE(root, nullptr);
    static constexpr const char* kChannels[] = {"Translation", "Rotation", "Scaling"};
    static constexpr float kColors[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (const char* channel : kChannels) {
        SCOPED_TRACE(channel);
        KFCurveNode* node = root->GetChild(root->FindChildIndexByName(channel));
        ASSERT_NE(node, nullptr);
        ASSERT_EQ(node->GetChildCount(), 3);
        for (int axis = 0; axis < 3; ++axis) {
            KFCurve* curve = node->GetChild(axis)->GetCurve();
            ASSERT_NE(curve, nullptr);
            for (int c = 0; c < 3; ++c) EXPECT_EQ(curve->GetColor()[c], kColors[axis][c]);
        }
    }
    KFCurve* alpha = take->GetCurve("Alpha");
    ASSERT_NE(alpha, nullptr);
    EXPECT_FLOAT_EQ(alpha->GetColor()[0], 0.75f);
    EXPECT_EQ(alpha->GetDefaultValue(), 1.0f);

    texture->SetTranslation(0.1, 0.2);
    EXPECT_EQ(texture->GetTranslationU(), AsFloat(0.1));
    EXPECT_EQ(texture->GetTranslationV(), AsFloat(0.2));
    EXPECT_EQ(take->GetCurve("Translation", "X")->GetDefaultValue(), 0.1f);
    EXPECT_EQ(texture->FindProperty("Translation").GetDouble3()[0], 0.1);
    texture->SetRotation(10, 20, 30);
    EXPECT_EQ(texture->GetRotationW(), 30.0);
    texture->SetScale(2, 3);
    EXPECT_EQ(texture->GetScaleU(), 2.0);
    EXPECT_EQ(texture->GetScaleV(), 3.0);
    EXPECT_EQ(texture->GetDefaultS()[2], 1.0);
    texture->SetDefaultAlpha(0.5);
    EXPECT_EQ(alpha->GetDefaultValue(), 0.5f);
    EXPECT_EQ(texture->GetDefaultAlpha(), 0.5);
}

TEST_F(KDuzTextureTest, CloneCopiesEveryValueAndEqualsItsSource) {
    KDuzTexture* texture = Make("wood");
    ASSERT_NE(texture, nullptr);
    texture->SetFileName("maps/wood.bmp");
    texture->SetRelativeFileName("wood.bmp");
    texture->SetMediaName("Video::wood");
    texture->SetCropping(1, 2, 3, 4);
    texture->SetSwapUV(true);
    texture->SetAlphaSource(KDuzTexture::eAlphaBlack);
    texture->SetPlanarMappingNormal(KDuzTexture::ePlanarNormalZ);
    texture->SetMappingType(KDuzTexture::eMappingPlanar);
    texture->SetMaterialMode(0);
    texture->SetTextureUse(KDuzTexture::eTextureUseLightMap);
    texture->SetBlendMode(eBlendModulate2);
    texture->SetWrapMode(eWrapClamp, eWrapRepeat);
    texture->SetModelUVScaling(2, 4);
    texture->SetModelUVTranslation(0.5, 0.25);
    texture->SetTranslation(0.1, 0.2);
    texture->SetDefaultAlpha(0.5);

    EXPECT_EQ(texture->Clone(0), nullptr);
    auto* clone = dynamic_cast<KDuzTexture*>(texture->Clone(2));
    ASSERT_NE(clone, nullptr);
    EXPECT_STREQ(clone->GetName(), "wood");
    EXPECT_STREQ(clone->GetFileName(), "maps/wood.bmp");
    EXPECT_STREQ(clone->GetRelativeFileName(), "wood.bmp");
    EXPECT_EQ(clone->GetFirstCropping(), 1);
    EXPECT_EQ(clone->GetSecondCropping(), 3);
    EXPECT_EQ(clone->GetThirdCropping(), 2);
    EXPECT_EQ(clone->GetCurrentMappingType(), eUnifiedMappingZ);
    EXPECT_EQ(clone->GetTextureUse(), KDuzTexture::eTextureUseLightMap);
    EXPECT_EQ(clone->GetBlendMode(), eBlendModulate2);
    EXPECT_EQ(clone->GetWrapModeU(), eWrapClamp);
    EXPECT_EQ(clone->GetDefaultAlpha(), 0.5);
    EXPECT_EQ(clone->GetTranslationU(), AsFloat(0.1));
    EXPECT_TRUE(texture->IsEqual(*clone));
    EXPECT_TRUE(clone->IsEqual(*texture));

    // One differing value is enough.
    clone->SetBlendMode(eBlendAdditive);   // blend mode is not compared
    EXPECT_TRUE(texture->IsEqual(*clone));
    clone->SetAlphaSource(KDuzTexture::eAlphaNone);
    EXPECT_FALSE(texture->IsEqual(*clone));
}

TEST_F(KDuzTextureTest, IsEqualIgnoresTrailingNumbersOfNames) {
    struct Row {
        const char* a;
        const char* b;
        bool equal;
    };
    static constexpr Row kRows[] = {
        {"Wood 01", "Wood2", true},
        {"Wood", "Wood 7 ", true},
        {"12 34", "", true},
        {"Wood1", "Stone1", false},
        {"Wood1", "wood1", false},
    };
    for (const Row& row : kRows) {
        SCOPED_TRACE(std::string(row.a) + " / " + row.b);
        KDuzTexture* a = Make(row.a);
        KDuzTexture* b = Make(row.b);
        ASSERT_NE(a, nullptr);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(a->IsEqual(*b), row.equal);
        EXPECT_EQ(b->IsEqual(*a), row.equal);
    }
}

TEST_F(KDuzTextureTest, IsEqualComparesEachPlacementValue) {
    // One case per compared value: each change alone makes the pair unequal.
    using Change = void (*)(KDuzTexture*);
    static constexpr Change kChanges[] = {
        [](KDuzTexture* t) { t->SetTranslation(0, 1); },
        [](KDuzTexture* t) { t->SetRotation(1, 0, 0); },
        [](KDuzTexture* t) { t->SetScale(1, 2); },
        [](KDuzTexture* t) { t->SetDefaultAlpha(0.25); },
        [](KDuzTexture* t) { t->SetCropping(0, 0, 0, 1); },
        [](KDuzTexture* t) { t->SetMappingType(KDuzTexture::eMappingBox); },
        [](KDuzTexture* t) { t->SetPlanarMappingNormal(2); },
        [](KDuzTexture* t) { t->SetMaterialMode(0); },
        [](KDuzTexture* t) { t->SetTextureUse(3); },
        [](KDuzTexture* t) { t->SetSwapUV(true); },
        [](KDuzTexture* t) { t->SetFileName("other.bmp"); },
        [](KDuzTexture* t) { t->SetMediaName("other"); },
        [](KDuzTexture* t) { t->SetTextureType("Other"); },
        [](KDuzTexture* t) { t->SetModelUVScaling(1, 3); },
        [](KDuzTexture* t) { t->SetModelUVTranslation(0, 3); },
    };
    int index = 0;
    for (Change change : kChanges) {
        SCOPED_TRACE(index++);
        KDuzTexture* a = Make("same");
        KDuzTexture* b = Make("same");
        ASSERT_TRUE(a->IsEqual(*b));
        change(b);
        EXPECT_FALSE(a->IsEqual(*b));
    }
}

}  // namespace
}  // namespace duzsdk
