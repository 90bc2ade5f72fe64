#include "sdk/geometry/KDuzSurfaceMaterial.h"

#include "sdk/animation/KFCurve.h"
#include "sdk/animation/KFCurveNode.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/KObject.h"
#include "sdk/object/PropertyDataTypeMap.h"
#include "sdk/scene/KDuzRGBAColor.h"

#include <gtest/gtest.h>

#include <string>

namespace duzsdk {
namespace {

using Vector3 = duzVectorTemplate3<double>;

class KDuzSurfaceMaterialTest : public ::testing::Test {
protected:
    void SetUp() override { manager = KDuzSdkManager::Create(); }
    void TearDown() override { manager->Destroy(); }

    static double Number(const KDuzObject& object, const char* name) {
        return object.FindProperty(name).GetDouble();
    }
    static std::string Text(const KDuzObject& object, const char* name) {
        KString text;
        object.FindProperty(name).GetValue(&text, eValueKindString);
        return text.Buffer();
    }

    KDuzSdkManager* manager = nullptr;
};

// Walks one table of built-in properties against the object's property list.
void ExpectRows(const KDuzObject& material, int first, const KDuzMaterialPropertyRow* rows, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const KDuzMaterialPropertyRow& row = rows[i];
        SCOPED_TRACE(row.name);
        KDuzProperty property = material.GetPropertyAt(first + static_cast<int>(i));
        ASSERT_TRUE(property.IsValid());
        EXPECT_STREQ(property.GetName(), row.name);
        EXPECT_EQ(property.GetDataType(), PropertyDataTypeFromName(row.dataType));
        if (property.GetValueKind() == eValueKindDouble3) {
            const Vector3 value = property.GetDouble3();
            for (int c = 0; c < 3; ++c) EXPECT_EQ(value[c], row.value[c]);
        } else {
            EXPECT_EQ(property.GetDouble(), row.value[0]);
        }
        EXPECT_TRUE(property.GetFlag(kDuzPropertyBuiltIn));
    }
}

TEST_F(KDuzSurfaceMaterialTest, NewMaterialsListTheirBuiltInPropertiesInOrderWithDefaults) {
    KDuzSurfaceMaterial* plain = KDuzSurfaceMaterial::Create(manager, "plain");
    KDuzSurfaceLambert* lambert = KDuzSurfaceLambert::Create(manager, "lambert");
    KDuzSurfacePhong* phong = KDuzSurfacePhong::Create(manager, "phong");
    ASSERT_NE(plain, nullptr);
    ASSERT_NE(lambert, nullptr);
    ASSERT_NE(phong, nullptr);

    EXPECT_EQ(plain->GetPropertyCount(), 2);
    EXPECT_EQ(Text(*plain, "ShadingModel"), "unknown");
    EXPECT_EQ(Text(*lambert, "ShadingModel"), "Lambert");
    EXPECT_EQ(Text(*phong, "ShadingModel"), "Phong");

    for (KDuzSurfaceMaterial* material : {plain, static_cast<KDuzSurfaceMaterial*>(lambert),
                                          static_cast<KDuzSurfaceMaterial*>(phong)}) {
        EXPECT_STREQ(material->GetPropertyAt(0).GetName(), "ShadingModel");
        EXPECT_STREQ(material->GetPropertyAt(1).GetName(), "MultiLayer");
        bool multiLayer = true;
        EXPECT_TRUE(material->GetMultiLayer().GetValue(&multiLayer, eValueKindBool));
        EXPECT_FALSE(multiLayer);
        EXPECT_STREQ(material->GetPropertyAt(1).GetDataType().GetName(), "Bool");
    }
    ExpectRows(*lambert, 2, kDuzLambertProperties, std::size(kDuzLambertProperties));
    ExpectRows(*phong, 2, kDuzLambertProperties, std::size(kDuzLambertProperties));
    ExpectRows(*phong, 11, kDuzPhongProperties, std::size(kDuzPhongProperties));
    EXPECT_EQ(lambert->GetPropertyCount(), 11);
    EXPECT_EQ(phong->GetPropertyCount(), 16);
}

TEST_F(KDuzSurfaceMaterialTest, AccessorsReadAndWriteTheMemberProperties) {
    KDuzSurfacePhong* phong = KDuzSurfacePhong::Create(manager, "phong");
    ASSERT_NE(phong, nullptr);
    // The game's road: diffuse colour and factor, shininess.
    const Vector3 red(1.0, 0.0, 0.0);
    EXPECT_TRUE(phong->GetDiffuseColor().SetValue(&red, eValueKindDouble3));
    EXPECT_EQ(phong->FindProperty("DiffuseColor").GetDouble3()[0], 1.0);
    const double shininess = 64.0;
    EXPECT_TRUE(phong->GetShininessExponent().SetValue(&shininess, eValueKindDouble));
    EXPECT_EQ(Number(*phong, "ShininessExponent"), 64.0);
    // Stored unchanged: no limits on colours or factors.
    const Vector3 bright(2.5, -1.0, 0.5);
    EXPECT_TRUE(phong->GetSpecularColor().SetValue(&bright, eValueKindDouble3));
    EXPECT_EQ(phong->GetSpecularColor().GetDouble3()[0], 2.5);
    EXPECT_EQ(phong->GetSpecularColor().GetDouble3()[1], -1.0);
    EXPECT_EQ(phong->GetTransparencyFactor().GetDouble(), 0.0);
    EXPECT_EQ(phong->GetReflectionFactor().GetDouble(), 1.0);
    EXPECT_TRUE(phong->FindProperty("Bump").IsValid());
}

TEST_F(KDuzSurfaceMaterialTest, PhongIsNotALambertByClassId) {
    KDuzSurfacePhong* phong = KDuzSurfacePhong::Create(manager, "phong");
    KDuzSurfaceLambert* lambert = KDuzSurfaceLambert::Create(manager, "lambert");
    ASSERT_NE(phong, nullptr);
    ASSERT_NE(lambert, nullptr);
    EXPECT_FALSE(phong->Is(KDuzSurfaceLambert::ClassId()));
    EXPECT_TRUE(phong->Is(KDuzSurfacePhong::ClassId()));
    EXPECT_TRUE(phong->Is(KDuzSurfaceMaterial::ClassId()));
    EXPECT_TRUE(lambert->Is(KDuzSurfaceMaterial::ClassId()));
    EXPECT_FALSE(lambert->Is(KDuzSurfacePhong::ClassId()));
    EXPECT_EQ(manager->GetObjectCount(KDuzSurfaceMaterial::ClassId()), 2);
    EXPECT_EQ(manager->GetObjectCount(KDuzSurfaceLambert::ClassId()), 1);
    EXPECT_EQ(manager->FindSurfaceMaterial("phong"), phong);
}

TEST_F(KDuzSurfaceMaterialTest, NamesTakeTheMaterialPrefix) {
    KDuzSurfaceLambert* lambert = KDuzSurfaceLambert::Create(manager, "wood");
    ASSERT_NE(lambert, nullptr);
    EXPECT_EQ(lambert->GetNameKind(), 3);
    lambert->SetName("wood", true);
    EXPECT_STREQ(lambert->GetName(), "Material::wood");
    EXPECT_TRUE(lambert->GetTypeName().IsEmpty());
}

TEST_F(KDuzSurfaceMaterialTest, CloneGivesAnEqualObjectOfTheSameClass) {
    KDuzSurfacePhong* phong = KDuzSurfacePhong::Create(manager, "shiny");
    ASSERT_NE(phong, nullptr);
    const Vector3 ambient(0.1, 0.2, 0.3);
    phong->GetAmbientColor().SetValue(&ambient, eValueKindDouble3);
    const double shininess = 7.5;
    phong->GetShininessExponent().SetValue(&shininess, eValueKindDouble);

    EXPECT_EQ(phong->Clone(0), nullptr);
    EXPECT_EQ(phong->Clone(1), nullptr);
    auto* clone = dynamic_cast<KDuzSurfacePhong*>(phong->Clone(2));
    ASSERT_NE(clone, nullptr);
    EXPECT_NE(clone, phong);
    EXPECT_EQ(clone->GetClassId(), KDuzSurfacePhong::ClassId());
    EXPECT_STREQ(clone->GetName(), phong->GetName());
    EXPECT_EQ(clone->GetAmbientColor().GetDouble3()[2], 0.3);
    EXPECT_EQ(clone->GetShininessExponent().GetDouble(), 7.5);
    EXPECT_TRUE(phong->IsEqual(*clone));
    EXPECT_TRUE(clone->IsEqual(*phong));
    EXPECT_EQ(clone->GetPropertyCount(), phong->GetPropertyCount());

    KDuzSurfaceMaterial* plain = KDuzSurfaceMaterial::Create(manager, "plain");
    auto* plainClone = dynamic_cast<KDuzSurfaceMaterial*>(plain->Clone(2));
    ASSERT_NE(plainClone, nullptr);
    EXPECT_EQ(plainClone->GetClassId(), KDuzSurfaceMaterial::ClassId());
    EXPECT_EQ(Text(*plainClone, "ShadingModel"), "unknown");
}

TEST_F(KDuzSurfaceMaterialTest, CopyAddsUserPropertiesByNameAndType) {
    KDuzSurfaceLambert* source = KDuzSurfaceLambert::Create(manager, "source");
    KDuzSurfaceLambert* target = KDuzSurfaceLambert::Create(manager, "target");
    ASSERT_NE(source, nullptr);
    ASSERT_NE(target, nullptr);
    KDuzProperty glow = KDuzProperty::Create(source, "Glow", PropertyDataTypeFromName("Number"));
    const double value = 0.25;
    glow.SetValue(&value, eValueKindDouble);
    // The target's "Glow" has another type: it stays, and one of the
    // source's type is made beside it.
    KDuzProperty other = KDuzProperty::Create(target, "Glow", PropertyDataTypeFromName("Bool"));
    const bool on = true;
    other.SetValue(&on, eValueKindBool);
    const Vector3 diffuse(0.5, 0.6, 0.7);
    source->GetDiffuseColor().SetValue(&diffuse, eValueKindDouble3);

    const int before = target->GetPropertyCount();
    target->CopyFrom(*source);
    EXPECT_EQ(target->GetPropertyCount(), before + 1);
    KDuzProperty copied = target->FindPropertyOfType("Glow", PropertyDataTypeFromName("Number"));
    ASSERT_TRUE(copied.IsValid());
    EXPECT_EQ(copied.GetDouble(), 0.25);
    bool kept = false;
    EXPECT_TRUE(target->FindPropertyOfType("Glow", PropertyDataTypeFromName("Bool")).GetValue(&kept, eValueKindBool));
    EXPECT_TRUE(kept);
    EXPECT_EQ(target->GetDiffuseColor().GetDouble3()[1], 0.6);
    // The name comes along with the take nodes.
    EXPECT_STREQ(target->GetName(), "source");
}

// Copies and clones go value to value: neither side makes a built-in
// handle, every built-in arrives (text and flag included), and a built-in
// the target lacks still becomes a property of its own.
TEST_F(KDuzSurfaceMaterialTest, CopyAndCloneMakeNoBuiltInHandles) {
    KDuzSurfacePhong* phong = KDuzSurfacePhong::Create(manager, "shiny");
    ASSERT_NE(phong, nullptr);
    phong->SetShadingModelText(KString("Custom"));
    phong->SetMultiLayerValue(true);
    for (int id = eMaterialEmissiveColor; id < eMaterialPropertyCount; ++id) {
        const auto which = static_cast<EDuzMaterialProperty>(id);
        phong->SetBuiltInDouble(which, 0.125 * id);
        phong->SetBuiltInDouble3(which, Vector3(0.5 * id, -1.0, 0.25));
    }
    const std::string unmade(2 * eMaterialPropertyCount, '-');
    auto made = [](const KDuzSurfaceMaterial* material) {
        std::string map;
        for (int i = 0; i < material->GetPropertyCount(); ++i) {
            const int slot = material->GetInternalSlotAt(i);
            if (slot < 0) continue;
            map += material->IsPropertyHandleMade(i) ? 'H' : '-';
            map += material->GetInternalObject()->PeekProperty(slot) != nullptr ? 'P' : '-';
        }
        return map;
    };
    ASSERT_EQ(made(phong), unmade);

    auto* clone = dynamic_cast<KDuzSurfacePhong*>(phong->Clone(2));
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(made(phong), unmade);
    EXPECT_EQ(made(clone), unmade);
    EXPECT_STREQ(clone->GetShadingModelText().Buffer(), "Custom");
    EXPECT_TRUE(clone->GetMultiLayerValue());
    for (int id = eMaterialEmissiveColor; id < eMaterialPropertyCount; ++id) {
        const auto which = static_cast<EDuzMaterialProperty>(id);
        SCOPED_TRACE(id);
        EXPECT_EQ(clone->GetBuiltInDouble(which), phong->GetBuiltInDouble(which));
        EXPECT_EQ(clone->GetBuiltInDouble3(which)[0], phong->GetBuiltInDouble3(which)[0]);
    }
    EXPECT_TRUE(phong->IsEqual(*clone));

    // Into a Lambert: the Phong-only built-ins become properties of the target.
    KDuzSurfaceLambert* lambert = KDuzSurfaceLambert::Create(manager, "matte");
    lambert->CopyFrom(*phong);
    EXPECT_EQ(made(phong), unmade);
    EXPECT_EQ(made(lambert), std::string(2 * kDuzLambertBuiltInCount, '-'));
    EXPECT_EQ(lambert->GetBuiltInDouble3(eMaterialDiffuseColor)[0], 3.0);
    EXPECT_EQ(Number(*lambert, "ShininessExponent"), 0.125 * static_cast<int>(eMaterialShininessExponent));
    // The same as through the handles of a target that has them all.
    KDuzSurfacePhong* handled = KDuzSurfacePhong::Create(manager, "handled");
    for (int i = 0; i < handled->GetPropertyCount(); ++i) handled->GetPropertyAt(i);
    handled->CopyFrom(*phong);
    EXPECT_TRUE(handled->IsEqual(*clone));
    EXPECT_TRUE(clone->IsEqual(*handled));
}

TEST_F(KDuzSurfaceMaterialTest, IsEqualLooksOnlyAtThisMaterialsProperties) {
    KDuzSurfaceLambert* small = KDuzSurfaceLambert::Create(manager, "small");
    KDuzSurfaceLambert* large = KDuzSurfaceLambert::Create(manager, "large");
    ASSERT_NE(small, nullptr);
    ASSERT_NE(large, nullptr);
    EXPECT_TRUE(small->IsEqual(*large));
    KDuzProperty::Create(large, "Extra", PropertyDataTypeFromName("Number"));
    EXPECT_TRUE(small->IsEqual(*large));
    EXPECT_FALSE(large->IsEqual(*small));

    const double factor = 0.5;
    small->GetDiffuseFactor().SetValue(&factor, eValueKindDouble);
    EXPECT_FALSE(small->IsEqual(*large));

    // A Lambert against a Phong: the Lambert's properties all exist in the
    // Phong, but "ShadingModel" differs.
    KDuzSurfacePhong* phong = KDuzSurfacePhong::Create(manager, "phong");
    KDuzSurfaceLambert* fresh = KDuzSurfaceLambert::Create(manager, "fresh");
    EXPECT_FALSE(fresh->IsEqual(*phong));
}

// Comparing reads both sides without making their handles, and finds the
// other's property by name and data type as a look-up by name would.
TEST_F(KDuzSurfaceMaterialTest, IsEqualMakesNoHandles) {
    KDuzSurfacePhong* a = KDuzSurfacePhong::Create(manager, "a");
    KDuzSurfacePhong* b = KDuzSurfacePhong::Create(manager, "b");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    auto handles = [](const KDuzObject* material) {
        int made = 0;
        for (int i = 0; i < material->GetPropertyCount(); ++i) made += material->IsPropertyHandleMade(i) ? 1 : 0;
        return made;
    };
    EXPECT_TRUE(a->IsEqual(*b));
    EXPECT_TRUE(a->IsEqual(*a));
    b->SetMultiLayerValue(true);
    EXPECT_FALSE(a->IsEqual(*b));
    EXPECT_FALSE(b->IsEqual(*a));
    EXPECT_EQ(handles(a), 0);
    EXPECT_EQ(handles(b), 0);
    EXPECT_TRUE(b->GetMultiLayerValue());

    // A property of the same name but another type in front does not hide
    // the one of the right type.
    b->SetMultiLayerValue(false);
    KDuzProperty::Create(a, "Glow", PropertyDataTypeFromName("Number"));
    KDuzProperty::Create(b, "Glow", PropertyDataTypeFromName("Bool"));
    EXPECT_FALSE(a->IsEqual(*b));
    KDuzProperty::Create(b, "Glow", PropertyDataTypeFromName("Number"), "", true);
    EXPECT_TRUE(a->IsEqual(*b));
}

// Removing a built-in from the middle takes the others out of their shared
// slots; handles made for them afterwards still look as they always did.
TEST_F(KDuzSurfaceMaterialTest, BuiltInsKeepTheirSettingsWhenOneIsRemoved) {
    KDuzSurfacePhong* phong = KDuzSurfacePhong::Create(manager, "phong");
    ASSERT_NE(phong, nullptr);
    const Vector3 red(1.0, 0.0, 0.0);
    ASSERT_TRUE(phong->GetSpecularColor().SetValue(&red, eValueKindDouble3));
    phong->GetEmissiveColor().DestroyProperty();
    EXPECT_FALSE(phong->FindProperty("EmissiveColor").IsValid());
    EXPECT_EQ(phong->GetPropertyCount(), 15);
    for (int i = 0; i < phong->GetPropertyCount(); ++i) {
        const KDuzProperty property = phong->GetPropertyAt(i);
        SCOPED_TRACE(property.GetName());
        EXPECT_EQ(property.GetFlags(), kDuzPropertyBuiltIn);
        EXPECT_LT(property.GetMinLimit(), -1e300);
        EXPECT_GT(property.GetMaxLimit(), 1e300);
    }
    EXPECT_EQ(phong->GetSpecularColor().GetDouble3()[0], 1.0);
    EXPECT_EQ(phong->GetBuiltInDouble3(eMaterialSpecularColor)[0], 1.0);
    const double factor = 0.25;
    ASSERT_TRUE(phong->GetDiffuseFactor().SetValue(&factor, eValueKindDouble));
    EXPECT_EQ(phong->GetBuiltInDouble(eMaterialDiffuseFactor), 0.25);
}

TEST_F(KDuzSurfaceMaterialTest, CopyKeepsAnimatedChannelsLinkedToTheCopiedTake) {
    KDuzSurfaceLambert* source = KDuzSurfaceLambert::Create(manager, "source");
    KDuzSurfaceLambert* target = KDuzSurfaceLambert::Create(manager, "target");
    ASSERT_NE(source, nullptr);
    ASSERT_NE(target, nullptr);
    for (KDuzSurfaceLambert* material : {source, target}) {
        KDuzProperty glow(material->GetSdkManager(), "Glow", PropertyDataTypeFromName("Number"));
        glow.ModifyFlag(kDuzPropertyAnimatable, true);
        material->AddProperty(glow);
    }
    ASSERT_GT(target->GetCurveLinkCount(), 0);
    const double value = 3.0;
    source->FindProperty("Glow").SetValue(&value, eValueKindDouble);

    // The target's old links pointed into take nodes the copy destroys; the
    // copied default take is linked instead.
    target->CopyFrom(*source);
    source->Destroy();
    KFCurveNode* node = KDuzTakeNodeContainer::FindPropertyCurveNode(target->GetDefaultTakeNode(), "Glow");
    ASSERT_NE(node, nullptr);
    ASSERT_NE(node->GetCurve(), nullptr);
    EXPECT_FLOAT_EQ(node->GetCurve()->GetDefaultValue(), 3.0f);
    node->GetCurve()->SetDefaultValue(5.0f);
    EXPECT_EQ(target->FindProperty("Glow").GetDouble(), 5.0);
}

TEST(KDuzRGBAColorTest, SettersClampEachComponent) {
    const KDuzRGBAColor white;
    EXPECT_EQ(white, KDuzRGBAColor(1.0, 1.0, 1.0, 1.0));
    const KDuzRGBAColor clamped(1.5, -0.2, 0.5, 2.0);
    EXPECT_EQ(clamped.mRed, 1.0);
    EXPECT_EQ(clamped.mGreen, 0.0);
    EXPECT_EQ(clamped.mBlue, 0.5);
    EXPECT_EQ(clamped.mAlpha, 1.0);
    KDuzRGBAColor raw;
    raw.mRed = 3.0;   // a raw record copied in comes out clamped
    KDuzRGBAColor assigned;
    assigned.Assign(raw);
    EXPECT_EQ(assigned.mRed, 1.0);
    EXPECT_EQ(KDuzClampDouble(-5.0, 0.0, 10.0), 0.0);
    EXPECT_EQ(KDuzClampDouble(15.0, 0.0, 10.0), 10.0);
    EXPECT_EQ(KDuzClampDouble(5.0, 0.0, 10.0), 5.0);
}

}  // namespace
}  // namespace duzsdk
