#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "sdk/duz/KDuzReaderDuz.h"
#include "sdk/formats/KDuzBuiltinFormats.h"
#include "sdk/io/KDuzFormatRegistry.h"
#include "sdk/io/KDuzImporter.h"
#include "sdk/io/KDuzReader.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"
#include "tests/io/DuzTestSupport.h"

using namespace duzsdk;

namespace {

class BuiltinFormatsTest : public ::testing::Test {
protected:
    void SetUp() override {
        manager = KDuzSdkManager::Create();
        registry = KDuzFormatRegistry::Get();
        ASSERT_NE(registry, nullptr);
        importer = KDuzImporter::Create(manager, "");
        ASSERT_NE(importer, nullptr);
    }
    void TearDown() override { manager->Destroy(); }

    // The reader the registry makes for a file of this name.
    KDuzReader* ReaderFor(const std::string& path) {
        importer->KDuzIO::Initialize(path.c_str());
        return registry->CreateReader(manager, importer, registry->GetFirstDuzReaderIndex());
    }

    duztest::TempFolder folder;
    KDuzSdkManager* manager = nullptr;
    KDuzFormatRegistry* registry = nullptr;
    KDuzImporter* importer = nullptr;
};

TEST_F(BuiltinFormatsTest, TablesInTheirFixedOrder) {
    struct Row {
        const char* extension;
        const char* description;
        unsigned char flag;
    };
    const Row readers[] = {{"duz", "DUZ (*.duz)", 1},
                           {"dxf", "Autocad DXF (*.dxf)", 0},
                           {"3ds", "3D Studio 3DS (*.3ds)", 0},
                           {"obj", "Wavefront OBJ (*.obj)", 0},
                           {"dae", "Collada DAE (*.dae)", 0}};
    const Row writers[] = {{"duz", "DUZ binary (*.duz)", 1},     {"duz", "DUZ ascii (*.duz)", 1},
                           {"duz", "DUZ encrypted (*.duz)", 1},  {"duz", "DUZ 5.0 binary (*.duz)", 1},
                           {"duz", "DUZ 5.0 ascii (*.duz)", 1},  {"dxf", "Autocad DXF (*.dxf)", 0},
                           {"3ds", "3D Studio 3DS (*.3ds)", 0},  {"obj", "Wavefront OBJ (*.obj)", 0},
                           {"dae", "Collada DAE (*.dae)", 0}};
    ASSERT_EQ(registry->GetReaderCount(), 5);
    ASSERT_EQ(registry->GetWriterCount(), 9);
    EXPECT_EQ(registry->GetFirstDuzReaderIndex(), 0);
    EXPECT_EQ(registry->GetFirstDuzWriterIndex(), 0);
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        const auto* entry = registry->GetReaderEntry(i);
        EXPECT_STREQ(entry->extension, readers[i].extension);
        EXPECT_STREQ(entry->description, readers[i].description);
        EXPECT_EQ(entry->flag, readers[i].flag);
    }
    for (int i = 0; i < 9; ++i) {
        SCOPED_TRACE(i);
        const auto* entry = registry->GetWriterEntry(i);
        EXPECT_STREQ(entry->extension, writers[i].extension);
        EXPECT_STREQ(entry->description, writers[i].description);
        EXPECT_EQ(entry->flag, writers[i].flag);
        EXPECT_EQ(entry->baseIndex, i < 5 ? 0 : i);
    }
    ASSERT_NE(registry->GetWriterEntry(0)->versions, nullptr);
    EXPECT_STREQ(registry->GetWriterEntry(2)->versions[0], "DUZ200611");
    EXPECT_STREQ(registry->GetWriterEntry(2)->versions[4], "DUZ60_MB60");
    EXPECT_EQ(registry->GetWriterEntry(2)->versions[5], nullptr);
    EXPECT_STREQ(registry->GetWriterEntry(3)->versions[0], "DUZ53_MB55");
    EXPECT_EQ(registry->GetWriterEntry(5)->versions, nullptr);

    EXPECT_EQ(registry->CreateReader(manager, importer, 5), nullptr);
    EXPECT_EQ(registry->CreateReader(manager, importer, -1), nullptr);
    EXPECT_EQ(registry->GetReaderFlag(5), 0);
}

TEST_F(BuiltinFormatsTest, ReaderChosenByFileVersion) {
    const std::string v6 = folder.File("six.duz");
    const std::string v5 = folder.File("five.duz");
    duztest::WriteText(v6, "; DUZ 6.1.0 project file\nA: 1\n");
    duztest::WriteText(v5, "; DUZ 5.8 project file\nA: 1\n");

    KDuzReader* reader = ReaderFor(v6);
    ASSERT_NE(reader, nullptr);
    EXPECT_FALSE(reader->IsFileOpen());   // the probe closed its copy
    delete reader;

    // Files before version 6 get the version 5 reader.
    reader = ReaderFor(v5);
    ASSERT_NE(reader, nullptr);
    EXPECT_NE(dynamic_cast<KDuzReaderDuz*>(reader), nullptr);
    EXPECT_FALSE(reader->IsFileOpen());
    delete reader;
    // A file no reader opens still gets the version 6 reader, whose own open
    // then says why.
    reader = ReaderFor(folder.File("missing.duz"));
    ASSERT_NE(reader, nullptr);
    EXPECT_FALSE(reader->FileOpen(folder.File("missing.duz").c_str()));
    EXPECT_EQ(reader->GetLastErrorID(), KDuzReader::eFileNotOpened);
    delete reader;

    // No name: the version 6 reader, without touching any file.
    reader = ReaderFor("");
    ASSERT_NE(reader, nullptr);
    delete reader;
}

TEST_F(BuiltinFormatsTest, ImportsAVersion6File) {
    const std::string path = folder.File("scene.duz");
    duztest::WriteText(path,
                       "; DUZ 6.1.0 project file\n"
                       "Definitions:  {\n"
                       "    ObjectType: \"Model\" {\n"
                       "    }\n"
                       "}\n"
                       "Objects:  {\n"
                       "    Model: \"Model::Box\", \"Null\" {\n"
                       "        Version: 232\n"
                       "    }\n"
                       "}\n"
                       "Connections:  {\n"
                       "    Connect: \"OO\", \"Model::Box\", \"Model::Scene\"\n"
                       "}\n");
    ASSERT_TRUE(importer->Initialize(path.c_str())) << importer->GetLastErrorString();
    int major = 0, minor = 0, revision = 0;
    importer->GetFileVersion(major, minor, revision);
    EXPECT_EQ(major, 6);
    EXPECT_EQ(minor, 1);
    KDuzScene* scene = KDuzScene::Create(manager, "");
    ASSERT_TRUE(importer->Import(scene)) << importer->GetLastErrorString();
    KDuzNode* root = scene->GetRootNode();
    ASSERT_NE(root, nullptr);
    ASSERT_EQ(root->GetChildCount(), 1);
    EXPECT_STREQ(root->GetChild(0)->GetName(), "Box");
}

TEST_F(BuiltinFormatsTest, VersionSevenFileIsRefusedWithItsVersion) {
    const std::string path = folder.File("future.duz");
    duztest::WriteText(path, "; DUZ 7.0.0 project file\nA: 1\n");
    EXPECT_FALSE(importer->Initialize(path.c_str()));
    EXPECT_EQ(importer->GetLastErrorID(), KDuzIO::eFileVersionNotSupportedYet);
    EXPECT_STREQ(importer->GetLastErrorString(), "DUZ File version 7 is not supported in this product");
    EXPECT_EQ(importer->GetReader(), nullptr);
}

TEST_F(BuiltinFormatsTest, CorruptedFileFailsImport) {
    const std::string path = folder.File("junk.duz");
    duztest::WriteText(path, "this is not a field file at all\n");
    EXPECT_FALSE(importer->Initialize(path.c_str()));
    EXPECT_EQ(importer->GetReader(), nullptr);
    EXPECT_EQ(importer->GetLastErrorID(), KDuzIO::eFileCorrupted);
}

}  // namespace
