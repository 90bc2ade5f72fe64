#include <gtest/gtest.h>

#include <string>

#include "sdk/base/KTemporaryFileManager.h"
#include "sdk/io/IDuzObject.h"
#include "sdk/object/KDuzObject.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/KProperty.h"
#include "sdk/base/KStringList.h"
#include "tests/io/DuzTestSupport.h"

using namespace duzsdk;
using duztest::TempFolder;
using duztest::WriteText;

namespace {

class IDuzObjectTest : public ::testing::Test {
protected:
    void SetUp() override {
        manager = KDuzSdkManager::Create();
        file = IDuzObject::Create();
        ASSERT_NE(file, nullptr);
    }
    void TearDown() override {
        file->Destroy();
        manager->Destroy();
    }

    KDuzObject* MakeObject(const char* name) { return KDuzObject::Create(manager, name); }

    // Opens a file holding "Obj: { <body> }" and enters the block.
    void OpenBody(const std::string& body) {
        const std::string path = folder.File("props.duz");
        WriteText(path, "; DUZ 6.1.0 project file\nObj:  {\n" + body + "}\n");
        ASSERT_TRUE(file->ProjectOpen(path.c_str())) << file->GetLastErrorString();
        ASSERT_TRUE(file->FieldReadBegin("Obj"));
        ASSERT_TRUE(file->FieldReadBlockBegin());
    }

    KProperty* Internal(KDuzObject* object, const char* name) {
        return object->GetInternalObject()->FindPropertyByName(name);
    }

    TempFolder folder;
    KDuzSdkManager* manager = nullptr;
    IDuzObject* file = nullptr;
};

TEST_F(IDuzObjectTest, InterfacesAndHeldObject) {
    EXPECT_EQ(file->GetInterface(0), static_cast<void*>(static_cast<IKObject*>(file)));
    EXPECT_EQ(file->GetInterface(1002), file->GetInterface(0));
    EXPECT_EQ(file->GetInterface(51), static_cast<void*>(static_cast<IFBObjectHolder*>(file)));
    EXPECT_EQ(file->GetInterface(7), nullptr);
    EXPECT_FALSE(file->GetPropertyFormatFlag());
    file->SetPropertyFormatFlag(true);
    EXPECT_TRUE(file->GetPropertyFormatFlag());

    // An owned held object goes with its holder; a borrowed one stays.
    IDuzObject* owned = IDuzObject::Create();
    IDuzObject* borrowed = IDuzObject::Create();
    file->SetHeldObject(owned, true);
    EXPECT_EQ(file->GetHeldObject(), owned);
    file->SetHeldObject(borrowed, false);   // releases and destroys `owned`
    EXPECT_EQ(file->GetHeldObject(), borrowed);
    file->SetHeldObject(nullptr, false);
    borrowed->Destroy();
}

TEST_F(IDuzObjectTest, NameMapSuffixShortNameAndCase) {
    KDuzObject* cube = MakeObject("Cube");
    KDuzObject* ball = MakeObject("Ball");
    file->MapObjectName("Model::Cube", cube);
    file->MapObjectName("Model::Ball&1.2&", ball);
    file->MapObjectName("Plain", ball);

    struct Case {
        const char* name;
        KDuzObject* expected;
    } cases[] = {
        {"Model::Cube", cube},       {"Cube", cube},        {"model::cube", nullptr},
        {"Model::Ball", ball},       {"Model::Ball&9.9&", ball}, {"Ball", ball},
        {"Model::Ball&1.2&x", nullptr}, {"Plain", ball},    {"Plain&1.2&", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(file->FindObjectByName(c.name), c.expected);
    }
    // The first object mapped under a name keeps it.
    file->MapObjectName("Model::Cube", ball);
    EXPECT_EQ(file->FindObjectByName("Model::Cube"), cube);

    EXPECT_TRUE(file->UnmapObjectName("Model::Cube"));
    EXPECT_FALSE(file->UnmapObjectName("Model::Cube"));
    EXPECT_EQ(file->FindObjectByName("Model::Cube"), nullptr);
    EXPECT_EQ(file->FindObjectByName(nullptr), nullptr);
    file->MapObjectName(nullptr, cube);
}

TEST_F(IDuzObjectTest, SuffixRuleNeedsSeparatorAndShape) {
    KString stripped;
    EXPECT_TRUE(KDuzStripObjectNameSuffix("A::B&123&", stripped));
    EXPECT_STREQ(stripped.Buffer(), "A::B");
    for (const char* name : std::initializer_list<const char*>{"AB&123&", "A::B&12&", "A::B&1234", "&12&", nullptr}) {
        SCOPED_TRACE(name != nullptr ? name : "null");
        EXPECT_FALSE(KDuzStripObjectNameSuffix(name, stripped));
    }
}

TEST_F(IDuzObjectTest, Properties60CreatesAndFillsProperties) {
    KDuzObject* object = MakeObject("Thing");
    OpenBody(
        "    Properties60:  {\n"
        "        Property: \"Count\", \"int\", \"\", 7\n"
        "        Property: \"Scale\", \"double\", \"+\", 2.5\n"
        "        Property: \"Label\", \"KString\", \"\", \"hello\"\n"
        "        Property: \"Tint\", \"ColorRGB\", \"\", 0.1, 0.2, 0.3\n"
        "        Property: \"Flag\", \"bool\", \"\", 5\n"
        "        Property: \"Speed\", \"Number\", \"A\", 4.5\n"
        "        Property: \"Limit\", \"double\", \"U\", 1.5, -1, 10\n"
        "        Property: \"Mode\", \"enum\", \"U\", 1, \"Alpha\"\n"
        "        Property: \"Bogus\", \"NoSuchType\", \"\", 1\n"
        "    }\n");
    EXPECT_TRUE(file->ReadProperties(object));

    KProperty* count = Internal(object, "Count");
    ASSERT_NE(count, nullptr);
    EXPECT_EQ(count->GetInt(), 7);
    EXPECT_TRUE(count->TestFlags(128));   // made for the block, not a user property

    KProperty* scale = Internal(object, "Scale");
    ASSERT_NE(scale, nullptr);
    EXPECT_DOUBLE_EQ(scale->GetDouble(), 2.5);
    EXPECT_TRUE(scale->TestFlags(8));

    KProperty* label = Internal(object, "Label");
    ASSERT_NE(label, nullptr);
    EXPECT_STREQ(label->ToString().Buffer(), "hello");

    KProperty* tint = Internal(object, "Tint");
    ASSERT_NE(tint, nullptr);
    double rgb[4] = {};
    ASSERT_TRUE(tint->GetDoubles(rgb));
    EXPECT_DOUBLE_EQ(rgb[0], 0.1);
    EXPECT_DOUBLE_EQ(rgb[2], 0.3);

    KProperty* flag = Internal(object, "Flag");
    ASSERT_NE(flag, nullptr);
    EXPECT_EQ(flag->GetInt(), 1);

    KProperty* speed = Internal(object, "Speed");
    ASSERT_NE(speed, nullptr);
    EXPECT_TRUE(speed->TestInfoFlag2());
    EXPECT_DOUBLE_EQ(speed->GetDouble(), 4.5);

    KProperty* limit = Internal(object, "Limit");
    ASSERT_NE(limit, nullptr);
    EXPECT_TRUE(limit->TestInfoFlag64());
    EXPECT_FALSE(limit->TestFlags(128));
    EXPECT_DOUBLE_EQ(limit->GetMin(), -1.0);
    EXPECT_DOUBLE_EQ(limit->GetMax(), 10.0);

    KProperty* mode = Internal(object, "Mode");
    ASSERT_NE(mode, nullptr);
    EXPECT_EQ(mode->GetInt(), 1);
    EXPECT_STREQ(mode->GetEnumItem(0), "Alpha");

    // An unknown type makes no property, and the block goes on past it.
    EXPECT_EQ(Internal(object, "Bogus"), nullptr);
    // The public object sees the new properties.
    EXPECT_TRUE(object->FindProperty("Count").IsValid());
}

TEST_F(IDuzObjectTest, Properties60WithoutPropertyFieldsTakesEachField) {
    KDuzObject* object = MakeObject("Thing");
    OpenBody(
        "    Properties60:  {\n"
        "        Width: \"double\", \"\", 3.25\n"
        "        Steps: \"int\", \"\", 12\n"
        "    }\n");
    EXPECT_TRUE(file->ReadProperties(object));
    ASSERT_NE(Internal(object, "Width"), nullptr);
    EXPECT_DOUBLE_EQ(Internal(object, "Width")->GetDouble(), 3.25);
    ASSERT_NE(Internal(object, "Steps"), nullptr);
    EXPECT_EQ(Internal(object, "Steps")->GetInt(), 12);
}

TEST_F(IDuzObjectTest, Properties60ToleratesShortAndRepeatedEntries) {
    KDuzObject* object = MakeObject("Thing");
    const int before = object->GetInternalObject()->GetPropertyCount();
    OpenBody(
        "    Properties60:  {\n"
        "        Property: \n"
        "        Property: \"\", \"int\", \"\", 3\n"
        "        Property: \"OnlyName\"\n"
        "        Property: \"NoValue\", \"double\", \"\"\n"
        "        Property: \"Twice\", \"int\", \"\", 1\n"
        "        Property: \"Twice\", \"int\", \"\", 2\n"
        "        Property: \"Ranged\", \"double\", \"U\", 1\n"
        "    }\n");
    EXPECT_TRUE(file->ReadProperties(object));
    ASSERT_NE(Internal(object, "Twice"), nullptr);
    EXPECT_EQ(Internal(object, "Twice")->GetInt(), 2);
    EXPECT_EQ(Internal(object, "Twice 0"), nullptr);
    ASSERT_NE(Internal(object, "NoValue"), nullptr);
    EXPECT_NE(Internal(object, "Ranged"), nullptr);
    // Nameless entries and one without a type make nothing.
    EXPECT_EQ(object->GetInternalObject()->GetPropertyCount(), before + 3);
}

TEST_F(IDuzObjectTest, MissingBlockIsNoError) {
    KDuzObject* object = MakeObject("Thing");
    OpenBody("    Other: 1\n");
    const int before = object->GetInternalObject()->GetPropertyCount();
    EXPECT_TRUE(file->ReadProperties(object));
    file->SetPropertyFormatFlag(true);
    EXPECT_TRUE(file->ReadProperties(object));
    EXPECT_EQ(object->GetInternalObject()->GetPropertyCount(), before);
    EXPECT_FALSE(file->ReadProperties(nullptr));
}

TEST_F(IDuzObjectTest, Version5BlockReadsListedPropertiesOnly) {
    KDuzObject* object = MakeObject("Thing");
    KObject* internal = object->GetInternalObject();
    KProperty* count = internal->CreateProperty("Count", eKPropInt, nullptr, false, false, nullptr, false);
    KProperty* size = internal->CreateProperty("Size", eKPropDouble, nullptr, false, false, nullptr, false);
    KProperty* skipped = internal->CreateProperty("Skipped", eKPropInt, nullptr, false, false, nullptr, false);
    KProperty* matrix = internal->CreateProperty("M", eKPropMatrix, nullptr, false, false, nullptr, false);
    ASSERT_TRUE(count && size && skipped && matrix);
    skipped->SetFlags(16, true);
    file->SetPropertyFormatFlag(true);
    OpenBody(
        "    Properties:  {\n"
        "        Version: 100\n"
        "        Count: 42\n"
        "        Size: 0.5\n"
        "        Skipped: 9\n"
        "        M: 1\n"
        "    }\n");
    EXPECT_TRUE(file->ReadProperties({count, size, skipped, matrix}, internal));
    EXPECT_EQ(count->GetInt(), 42);
    EXPECT_DOUBLE_EQ(size->GetDouble(), 0.5);
    EXPECT_EQ(skipped->GetInt(), 0);
    // A type the layout cannot hold is reported, not read.
    EXPECT_NE(file->GetLastDiagnostic().Find("Unsupported property type: 18"), -1);
}

TEST_F(IDuzObjectTest, Version5BlockBelowVersion100IsIgnored) {
    KDuzObject* object = MakeObject("Thing");
    KObject* internal = object->GetInternalObject();
    KProperty* count = internal->CreateProperty("Count", eKPropInt, nullptr, false, false, nullptr, false);
    file->SetPropertyFormatFlag(true);
    OpenBody("    Properties:  {\n        Version: 99\n        Count: 42\n    }\n");
    EXPECT_TRUE(file->ReadProperties({count}, internal));
    EXPECT_EQ(count->GetInt(), 0);
}

}  // namespace

namespace {

TEST(IDuzObjectMedia, ExtractedFileIsListedAsTemporary) {
    TempFolder folder;
    WriteText(folder.File("tex.png"), "image bytes");
    const std::string path = folder.File("media.duz");
    {
        KDuz duz;
        ASSERT_TRUE(duz.ProjectCreateFile(path.c_str(), true, false));
        duz.FieldWriteBegin("Media");
        duz.FieldWriteString("tex.png");
        ASSERT_TRUE(duz.FieldWriteEmbeddedFile(folder.File("tex.png").c_str(), "tex.png"));
        duz.FieldWriteEnd();
        duz.ProjectClose();
    }
    IDuzObject* file = IDuzObject::Create();
    ASSERT_TRUE(file->ProjectOpen(path.c_str())) << file->GetLastErrorString();
    ASSERT_TRUE(file->FieldReadBegin("Media"));
    KString fileName = folder.File(file->FieldReadString()).c_str();
    KString relative;
    bool extracted = false;
    KDuz* asFieldFile = file;   // through the field file's own slot
    ASSERT_TRUE(asFieldFile->FieldReadEmbeddedFile(fileName, relative, nullptr, &extracted));
    file->FieldReadEnd();
    EXPECT_TRUE(extracted);

    KTemporaryFileManager* files = KTemporaryFileManager::GetInstance();
    bool listed = false;
    for (int i = 0; i < files->GetFileCount(); ++i) {
        if (files->GetFile(i)->path.EqualsString(fileName)) listed = true;
    }
    EXPECT_TRUE(listed);
    file->Destroy();
}

}  // namespace
