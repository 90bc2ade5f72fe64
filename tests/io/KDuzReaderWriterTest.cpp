#include <gtest/gtest.h>

#include "sdk/io/IDuzObject.h"
#include "sdk/io/KDuzExporter.h"
#include "sdk/io/KDuzReader.h"
#include "sdk/io/KDuzStreamOptions.h"
#include "sdk/io/KDuzWriter.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

using namespace duzsdk;

namespace {

class StubReader : public KDuzReader {
public:
    using KDuzReader::KDuzReader;
    bool FileOpen(const char*) override { return false; }
    bool FileClose() override { return false; }
    bool IsFileOpen() override { return false; }
    KDuzStreamOptions* GetReadOptions(bool) override { return nullptr; }
    bool Read(KDuzScene*, KDuzStreamOptions*) override { return false; }
};

class StubWriter : public KDuzWriter {
public:
    using KDuzWriter::KDuzWriter;
    bool FileCreate(const char*) override { return false; }
    bool FileClose() override { return false; }
    bool IsFileOpen() override { return false; }
    KDuzStreamOptions* GetWriteOptions() override { return nullptr; }
    bool Write(KDuzScene*, KDuzStreamOptions*) override { return false; }
    bool PreprocessScene(KDuzScene*) override { return true; }
    bool PostprocessScene(KDuzScene*) override { return true; }
};

class ReaderWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        manager = KDuzSdkManager::Create();
        scene = KDuzScene::Create(manager, "");
    }
    void TearDown() override { manager->Destroy(); }

    KDuzNode* Add(KDuzNode* parent, const char* name) {
        KDuzNode* node = KDuzNode::Create(manager, name);
        parent->AddChild(node);
        return node;
    }

    KDuzSdkManager* manager = nullptr;
    KDuzScene* scene = nullptr;
};

TEST_F(ReaderWriterTest, ReaderBaseDefaults) {
    StubReader reader(manager);
    int major = 9, minor = 9, revision = 9;
    reader.GetVersion(major, minor, revision);
    EXPECT_EQ(major + minor + revision, 0);
    EXPECT_EQ(reader.GetLastErrorID(), -1);
    reader.GetError().SetLastError(KDuzReader::eWrongPassword);
    EXPECT_STREQ(reader.GetLastErrorString(), "Wrong password");
    KString camera("x");
    KString mode;
    double width = 1.0, height = 2.0;
    EXPECT_FALSE(reader.GetDefaultRenderResolution(camera, mode, width, height));
    EXPECT_STREQ(camera.Buffer(), "x");
}

TEST_F(ReaderWriterTest, DuplicateNodeNamesReportedOnceInOrder) {
    KDuzNode* root = scene->GetRootNode();
    KDuzNode* a = Add(root, "A");
    Add(a, "B");
    Add(root, "A");
    Add(root, "B");
    Add(root, "B");
    Add(root, "C");
    StubReader reader(manager);
    KString report("start");
    EXPECT_FALSE(reader.CheckDuplicateNodeNames(root, report));
    EXPECT_STREQ(report.Buffer(), "start\n    A\n    B");
}

TEST_F(ReaderWriterTest, NoDuplicatesLeavesReportAlone) {
    KDuzNode* root = scene->GetRootNode();
    Add(Add(root, "A"), "B");
    StubReader reader(manager);
    KString report("same");
    EXPECT_TRUE(reader.CheckDuplicateNodeNames(root, report));
    EXPECT_STREQ(report.Buffer(), "same");
}

TEST_F(ReaderWriterTest, FlaggedNodeOnlyInSingleChildChain) {
    KDuzNode* root = scene->GetRootNode();
    StubWriter writer(manager);
    EXPECT_EQ(writer.FindFlaggedNodeInChain(nullptr), nullptr);
    EXPECT_EQ(writer.FindFlaggedNodeInChain(scene), nullptr);   // no child at all

    KDuzNode* a = Add(root, "A");
    KDuzNode* b = Add(a, "B");
    b->SetFlagged(true);
    EXPECT_EQ(writer.FindFlaggedNodeInChain(scene), b);

    // A fork below B ends the chain after B; a flag further down is not seen.
    b->SetFlagged(false);
    Add(b, "C1")->SetFlagged(true);
    Add(b, "C2");
    EXPECT_EQ(writer.FindFlaggedNodeInChain(scene), nullptr);

    // Two children under the root: no chain even with a flagged child.
    a->SetFlagged(true);
    Add(root, "D");
    EXPECT_EQ(writer.FindFlaggedNodeInChain(scene), nullptr);
}

TEST_F(ReaderWriterTest, NodeNamesWithWhiteSpace) {
    KDuzNode* root = scene->GetRootNode();
    KDuzNode* spaced = Add(root, "two words");
    Add(spaced, "tab\there");
    Add(spaced, "fine");
    Add(root, "line\nbreak");
    StubWriter writer(manager);
    KString report;
    EXPECT_FALSE(writer.CheckNodeNames(root, report));
    EXPECT_STREQ(report.Buffer(), "\n    two words\n    tab\there\n    line\nbreak");

    KString clean;
    EXPECT_TRUE(writer.CheckNodeNames(spaced->GetChild(1), clean));
    EXPECT_TRUE(clean.IsEmpty());
    EXPECT_STREQ(KDuzWriter::kErrorTexts[KDuzWriter::eUnidentifiedError], "Unidentified error");
}

TEST_F(ReaderWriterTest, ConnectObjectToSceneNeedsBoth) {
    KDuzNode* node = KDuzNode::Create(manager, "N");
    EXPECT_FALSE(KDuzConnectObjectToScene(nullptr, node));
    EXPECT_FALSE(KDuzConnectObjectToScene(scene, nullptr));
    EXPECT_TRUE(KDuzConnectObjectToScene(scene, node));
}

TEST_F(ReaderWriterTest, ExporterNestedWriteErrors) {
    KDuzExporter* exporter = KDuzExporter::Create(manager, "");
    ASSERT_NE(exporter, nullptr);
    EXPECT_TRUE(exporter->Initialize("out.duz"));
    EXPECT_STREQ(exporter->GetFileName().Buffer(), "out.duz");
    EXPECT_EQ(exporter->GetWriter(), nullptr);

    KDuzStreamOptions* options = KDuzStreamOptions::Create(manager, "");
    IDuzObject* file = IDuzObject::Create();
    struct Case {
        KDuzStreamOptions* options;
        IDuzObject* file;
        int error;
        const char* text;
    } cases[] = {
        {nullptr, file, KDuzIO::eStreamOptionsNotSet, "Stream options not set"},
        {options, nullptr, KDuzIO::eFileNotCreated, "File not created"},
        // Options of another kind than the writers' are refused as missing.
        {options, file, KDuzIO::eStreamOptionsNotSet, "Stream options not set"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        EXPECT_FALSE(exporter->WriteWithDuz5Writer(scene, c.options, c.file));
        EXPECT_EQ(exporter->GetLastErrorID(), c.error);
        EXPECT_STREQ(exporter->GetLastErrorString(), c.text);
        EXPECT_EQ(exporter->GetActiveOptions(), nullptr);
    }
    file->Destroy();
}

}  // namespace
