#include "sdk/object/KDuzObjectName.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace duzsdk {
namespace {

TEST(KDuzObjectNameTest, NamesAndCopies) {
    KDuzObjectName name("Model::Cube");
    EXPECT_STREQ(name.GetInitialName(), "Model::Cube");
    EXPECT_STREQ(name.GetCurrentName(), "Model::Cube");
    EXPECT_STREQ(name.GetExtraName(), "");

    name.SetCurrentName("Model::Cube_ncl1_1");
    name.SetExtraName("Rig");
    EXPECT_STREQ(name.GetInitialName(), "Model::Cube");
    EXPECT_STREQ(name.GetCurrentName(), "Model::Cube_ncl1_1");
    EXPECT_STREQ(name.GetExtraName(), "Rig");

    // A copy takes both names but not the name space.
    KDuzObjectName copy(name);
    EXPECT_STREQ(copy.GetInitialName(), "Model::Cube");
    EXPECT_STREQ(copy.GetCurrentName(), "Model::Cube_ncl1_1");
    EXPECT_STREQ(copy.GetExtraName(), "");

    // Assigning keeps the target's own name space.
    KDuzObjectName target("Material::Wood");
    target.SetExtraName("Lib");
    target.AssignNames(name);
    EXPECT_STREQ(target.GetInitialName(), "Model::Cube");
    EXPECT_STREQ(target.GetCurrentName(), "Model::Cube_ncl1_1");
    EXPECT_STREQ(target.GetExtraName(), "Lib");

    target.SetName("Model::Sphere");
    EXPECT_STREQ(target.GetInitialName(), "Model::Sphere");
    EXPECT_STREQ(target.GetCurrentName(), "Model::Sphere");

    KDuzObjectName empty(nullptr);
    EXPECT_STREQ(empty.GetCurrentName(), "");
    empty.SetName(nullptr);
    empty.SetCurrentName(nullptr);
    empty.SetExtraName(nullptr);
    EXPECT_STREQ(empty.GetInitialName(), "");
    EXPECT_STREQ(empty.GetExtraName(), "");
}

TEST(KDuzObjectNameTest, SplitNameSpaceGivesComponentsLastFirst) {
    struct Case { const char* extra; char separator; std::vector<std::string> expected; };
    const Case cases[] = {
        {"a:b:c", ':', {"c", "b", "a"}},
        {"", ':', {}},
        {"Rig", ':', {"Rig"}},
        {"a::b", ':', {"b", "", "a"}},
        {":a", ':', {"a", ""}},
        {"a:", ':', {"", "a"}},
        {"a.b:c", '.', {"b:c", "a"}},
    };
    KStringList list;
    list.Append("stale");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.extra);
        KDuzObjectName name("Model::Hand");
        name.SetExtraName(c.extra);
        EXPECT_EQ(name.SplitNameSpace(c.separator, list), static_cast<int>(c.expected.size()));
        ASSERT_EQ(list.Count(), static_cast<int>(c.expected.size()));
        for (int i = 0; i < list.Count(); ++i) EXPECT_EQ(list.GetStringAt(i), c.expected[i]);
    }
}

}  // namespace
}  // namespace duzsdk
