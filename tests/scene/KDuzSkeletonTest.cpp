#include "sdk/scene/KDuzSkeleton.h"

#include "sdk/object/KProperty.h"

#include "KDuzAttributeTestSupport.h"

#include <string>

namespace duzsdk {
namespace {

using testing_attribute::AttributeTest;

class SkeletonTest : public AttributeTest {
protected:
    KDuzSkeleton* Skeleton() {
        KDuzSkeleton* skeleton = KDuzSkeleton::Create(manager, "bone");
        EXPECT_NE(skeleton, nullptr);
        return skeleton;
    }
    static bool ColorFlag(KDuzSkeleton* skeleton) {
        KProperty* color = skeleton->FindProperty("Color").GetBoundProperty();
        return color != nullptr && color->TestFlags(KDuzSkeleton::kColorFlagNotLimb);
    }
};

TEST_F(SkeletonTest, NewSkeletonIsAnUnsetRoot) {
    KDuzSkeleton* skeleton = Skeleton();
    EXPECT_EQ(skeleton->GetSkeletonType(), KDuzSkeleton::eRoot);
    EXPECT_DOUBLE_EQ(skeleton->GetSize(), 100.0);
    EXPECT_DOUBLE_EQ(skeleton->GetLimbLength(), KDuzSkeleton::GetLimbLengthDefault());
    EXPECT_DOUBLE_EQ(skeleton->GetLimbNodeColor().mRed, 0.8);
    EXPECT_DOUBLE_EQ(KDuzSkeleton::GetLimbNodeColorDefault().mAlpha, 1.0);
    EXPECT_TRUE(ColorFlag(skeleton));
    EXPECT_FALSE(skeleton->GetSkeletonTypeIsSet());
    EXPECT_FALSE(skeleton->GetSizeIsSet());
    EXPECT_FALSE(skeleton->GetLimbLengthIsSet());
    EXPECT_FALSE(skeleton->GetLimbNodeColorIsSet());
}

TEST_F(SkeletonTest, TypeDecidesNamesFlagAndWhatMayBeSet) {
    struct Row {
        int type;
        const char* name;
        const char* flags;
        bool colorFlag;
        bool limbLength;
        bool color;
    };
    constexpr Row kRows[] = {
        {0, "Root", "Null~Skeleton~Root", true, false, false},
        {1, "Limb", "Skeleton", false, true, true},
        {2, "LimbNode", "Skeleton", false, false, true},
        {3, "Root", "Null~Skeleton~Root", true, false, false},
        {9, "", "", true, false, false},
    };
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.type);
        KDuzSkeleton* skeleton = Skeleton();
        skeleton->SetSkeletonType(static_cast<KDuzSkeleton::ESkeletonType>(row.type));
        EXPECT_TRUE(skeleton->GetSkeletonTypeIsSet());
        EXPECT_STREQ(skeleton->GetTypeName().Buffer(), row.name);
        std::string flags;
        KStringList list = skeleton->GetTypeFlags();
        for (int i = 0; i < list.GetCount(); ++i) flags += (i > 0 ? "~" : "") + std::string(list.GetStringAt(i));
        EXPECT_EQ(flags, row.flags);
        EXPECT_EQ(ColorFlag(skeleton), row.colorFlag);

        EXPECT_EQ(skeleton->SetLimbLength(4.0), row.limbLength);
        EXPECT_EQ(skeleton->GetLimbLengthIsSet(), row.limbLength);
        EXPECT_DOUBLE_EQ(skeleton->GetLimbLength(), row.limbLength ? 4.0 : 1.0);
        EXPECT_EQ(skeleton->SetLimbNodeColor(KDuzRGBAColor(0.1, 0.2, 0.3, 1.0)), row.color);
        EXPECT_EQ(skeleton->GetLimbNodeColorIsSet(), row.color);
        EXPECT_DOUBLE_EQ(skeleton->GetLimbNodeColor().mBlue, row.color ? 0.3 : 0.8);
        EXPECT_TRUE(skeleton->SetSize(7.0));
        EXPECT_TRUE(skeleton->GetSizeIsSet());
    }
}

TEST_F(SkeletonTest, CloneKeepsValuesAndSetFlags) {
    KDuzSkeleton* skeleton = Skeleton();
    skeleton->SetSkeletonType(KDuzSkeleton::eLimb);
    skeleton->SetLimbLength(3.0);
    skeleton->SetLimbNodeColor(KDuzRGBAColor(0.5, 0.5, 0.0, 1.0));

    auto* clone = dynamic_cast<KDuzSkeleton*>(skeleton->Clone(2));
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(clone->GetSkeletonType(), KDuzSkeleton::eLimb);
    EXPECT_DOUBLE_EQ(clone->GetLimbLength(), 3.0);
    EXPECT_DOUBLE_EQ(clone->GetLimbNodeColor().mBlue, 0.0);
    EXPECT_DOUBLE_EQ(clone->GetSize(), 100.0);
    // Copying sets the size, but the flags come from the source.
    EXPECT_FALSE(clone->GetSizeIsSet());
    EXPECT_TRUE(clone->GetLimbLengthIsSet());
    EXPECT_TRUE(clone->GetLimbNodeColorIsSet());
    EXPECT_TRUE(clone->GetSkeletonTypeIsSet());
    EXPECT_FALSE(ColorFlag(clone));
}

}  // namespace
}  // namespace duzsdk
