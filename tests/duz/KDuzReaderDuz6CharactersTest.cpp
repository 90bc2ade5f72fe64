#include "sdk/character/KDuzCharacter.h"
#include "sdk/character/KDuzConstraintParent.h"
#include "sdk/scene/KDuzNode.h"

#include "duz/KDuzReaderDuz6TestFixture.h"

namespace duzsdk {
namespace {

const char* const kCharacterDefinitions =
    "Definitions:  {\n"
    "    ObjectType: \"Model\" {\n"
    "    }\n"
    "    ObjectType: \"Constraint\" {\n"
    "    }\n"
    "}\n";

std::string ParentRecord(const char* name, int version) {
    return std::string("    Constraint: \"Constraint::") + name + "\", \"Parent-Child\" {\n" +
           "        Type: \"Parent-Child\"\n" +
           "        Version: " + std::to_string(version) + "\n" +
           "        Properties60:  {\n"
           "            Property: \"Arm.Offset T\", \"Vector3D\", \"\",0,0,0\n"
           "            Property: \"Arm.Offset R\", \"Vector3D\", \"\",0,0,0\n"
           "            Property: \"Leg.Offset T\", \"Vector3D\", \"\",0,0,0\n"
           "            Property: \"Leg.Offset R\", \"Vector3D\", \"\",0,0,0\n"
           "        }\n"
           "        Offset: 1,2,3,4,5,6\n"
           "        Offset: 7,8,9,10,11,12\n"
           "    }\n";
}

duzVectorTemplate3<double> VectorOf(const KDuzObject* object, const char* name) {
    duzVectorTemplate3<double> value(-1, -1, -1);
    EXPECT_TRUE(object->FindProperty(name).GetValue(&value, eValueKindDouble3)) << name;
    return value;
}

TEST_F(Duz6ReaderTest, ParentConstraintOffsetsOfVersion101) {
    const std::string body = std::string(kCharacterDefinitions) + "Objects:  {\n" + ParentRecord("New", 101) +
                             ParentRecord("Old", 100) + "}\n";
    ASSERT_TRUE(Load(body));
    auto* parent = dynamic_cast<KDuzConstraintParent*>(reader->FindObjectByName("Constraint::New"));
    ASSERT_NE(parent, nullptr);
    // One "Offset" per rotation property, in property order: rotation first, then translation.
    EXPECT_DOUBLE_EQ(VectorOf(parent, "Arm.Offset R")[2], 3.0);
    EXPECT_DOUBLE_EQ(VectorOf(parent, "Arm.Offset T")[0], 4.0);
    EXPECT_DOUBLE_EQ(VectorOf(parent, "Leg.Offset R")[0], 7.0);
    EXPECT_DOUBLE_EQ(VectorOf(parent, "Leg.Offset T")[2], 12.0);
    // The offsets read are the ones the getters find for a source of that name.
    KDuzNode* arm = KDuzNode::Create(manager, "Arm");
    EXPECT_DOUBLE_EQ(parent->GetTranslationOffset(arm).GetElement(1), 5.0);
    EXPECT_DOUBLE_EQ(parent->GetRotationOffset(arm).GetElement(1), 2.0);

    auto* old = dynamic_cast<KDuzConstraintParent*>(reader->FindObjectByName("Constraint::Old"));
    ASSERT_NE(old, nullptr);
    EXPECT_DOUBLE_EQ(VectorOf(old, "Arm.Offset R")[0], 0.0);
    EXPECT_DOUBLE_EQ(VectorOf(old, "Leg.Offset T")[2], 0.0);
}

// Fewer "Offset" fields than offset properties: the properties left over
// keep the values their "Properties60" gave them instead of becoming zero.
TEST_F(Duz6ReaderTest, ParentConstraintOffsetsStopAtTheLastOffsetField) {
    std::string record = ParentRecord("Short", 101);
    record.erase(record.find("        Offset: 7,8,9"), std::string("        Offset: 7,8,9,10,11,12\n").size());
    record.replace(record.find("\"Leg.Offset R\", \"Vector3D\", \"\",0,0,0"),
                   std::string("\"Leg.Offset R\", \"Vector3D\", \"\",0,0,0").size(),
                   "\"Leg.Offset R\", \"Vector3D\", \"\",15,25,35");
    ASSERT_TRUE(Load(std::string(kCharacterDefinitions) + "Objects:  {\n" + record + "}\n"));
    KDuzObject* parent = reader->FindObjectByName("Constraint::Short");
    ASSERT_NE(parent, nullptr);
    EXPECT_DOUBLE_EQ(VectorOf(parent, "Arm.Offset R")[0], 1.0);
    EXPECT_DOUBLE_EQ(VectorOf(parent, "Leg.Offset R")[1], 25.0);
}

TEST_F(Duz6ReaderTest, CharacterLinksByNameByPositionAndSingle) {
    std::string spine;
    for (int i = 0; i < 11; ++i)   // two more than the spine group holds
        spine += "            LINK: \"\" {\n                NAME: \"S" + std::to_string(i) + "\"\n                TOFFSETX: " +
                 std::to_string(i + 1) + "\n            }\n";
    const std::string body = std::string(kCharacterDefinitions) +
                             "Objects:  {\n"
                             "    Model: \"Model::HipsNode\", \"Null\" {\n"
                             "        Version: 232\n"
                             "    }\n"
                             "    Constraint: \"Constraint::Hero\", \"Character\" {\n"
                             "        Properties60:  {\n"
                             "            Property: \"PullIterationCount\", \"double\", \"\",20\n"
                             "        }\n"
                             "        REFERENCE:  {\n"
                             "            NAME: \"RefTemplate\"\n"
                             "            ROTATIONSPACE:  {\n"
                             "                PRE: 10,20,30\n"
                             "                ORDER: 2\n"
                             "                YMAXENABLE: 1\n"
                             "                MAX: 0,45,0\n"
                             "            }\n"
                             "        }\n"
                             "        BASE:  {\n"
                             "            LINK: \"Hips\" {\n"
                             "                SOFFSETY: 2\n"
                             "            }\n"
                             "            LINK: \"Spine1\" {\n"   // a spine node: not in the groups up to BASE
                             "                TOFFSETX: 9\n"
                             "            }\n"
                             "            LINK: \"Model::Head\" {\n"
                             "                NAME: \"HeadTemplate\"\n"
                             "                ROFFSETZ: 5\n"
                             "            }\n"
                             "        }\n"
                             "        SPINE:  {\n" +
                             spine +
                             "        }\n"
                             "    }\n"
                             "}\n"
                             "Connections:  {\n"
                             "    Connect: \"OP\", \"Model::HipsNode\", \"Constraint::Hero\", \"HipsLink\"\n"
                             "}\n";
    ASSERT_TRUE(Load(body));
    auto* character = dynamic_cast<KDuzCharacter*>(reader->FindObjectByName("Constraint::Hero"));
    ASSERT_NE(character, nullptr);
    EXPECT_EQ(scene->GetCharacterCount(), 1);
    EXPECT_DOUBLE_EQ(character->FindProperty("PullIterationCount").GetDouble(), 20.0);
    EXPECT_DOUBLE_EQ(character->GetSolverParameters()->GetValue(0), 20.0);

    KDuzCharacterLink link;
    ASSERT_TRUE(character->GetCharacterLink(67, &link));
    EXPECT_STREQ(link.mTemplateName.Buffer(), "RefTemplate");
    EXPECT_TRUE(link.mHasRotSpace);
    EXPECT_DOUBLE_EQ(link.mPreRotation.GetElement(1), 20.0);
    EXPECT_EQ(link.mRotOrder, 2);
    EXPECT_TRUE(link.mRLimits.maxActive[1]);
    EXPECT_FALSE(link.mRLimits.maxActive[0]);
    EXPECT_DOUBLE_EQ(link.mRLimits.max.GetElement(1), 45.0);

    ASSERT_TRUE(character->GetCharacterLink(0, &link));   // "Hips", and its node from the connection
    EXPECT_EQ(link.mNode, reader->FindNodeByName("HipsNode"));
    EXPECT_DOUBLE_EQ(link.mOffsetS.GetElement(0), 1.0);   // missing scaling offset: 1
    EXPECT_DOUBLE_EQ(link.mOffsetS.GetElement(1), 2.0);
    EXPECT_FALSE(link.mHasRotSpace);
    ASSERT_TRUE(character->GetCharacterLink(20, &link));   // "Head" after its prefix
    EXPECT_DOUBLE_EQ(link.mOffsetR.GetElement(2), 5.0);

    // A link with neither node nor template name counts as unset.
    EXPECT_FALSE(character->GetCharacterLink(1));
    // The unnamed spine links fill the group in order; the extra two are dropped.
    const int spineIds[9] = {10, 29, 30, 31, 32, 33, 34, 35, 36};
    for (int i = 0; i < 9; ++i) {
        ASSERT_TRUE(character->GetCharacterLink(spineIds[i], &link)) << i;
        EXPECT_DOUBLE_EQ(link.mOffsetT.GetElement(0), i + 1.0) << i;
    }
    EXPECT_DOUBLE_EQ(link.mOffsetT.GetElement(0), 9.0);   // not overwritten by "Spine1" of BASE
    ASSERT_TRUE(character->GetCharacterLink(10, &link));
    EXPECT_DOUBLE_EQ(link.mOffsetT.GetElement(0), 1.0);
}

}  // namespace
}  // namespace duzsdk
