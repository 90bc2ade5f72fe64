#include <gtest/gtest.h>

#include <string>

#include "sdk/io/IDuzObject.h"
#include "sdk/io/KDuzFormatRegistry.h"
#include "sdk/io/KDuzImporter.h"
#include "sdk/io/KDuzReader.h"
#include "sdk/io/KDuzStreamOptionsDuz.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzScene.h"
#include "sdk/scene/KDuzSceneInfo.h"
#include "tests/io/DuzTestSupport.h"

using namespace duzsdk;

namespace {

// What the fake reader of the test format does; reset by every test.
struct FakeScript {
    bool makeReader = true;
    bool openResult = true;
    int openError = -1;
    int major = 6, minor = 1, revision = 0;
    bool resolution = false;
    bool readResult = true;
    int readError = -1;
    int takeCount = 2;
    bool withSummary = true;
    int optionCalls = 0;
    int readCalls = 0;
    int lastReadTakeCount = -1;
    KDuzStreamOptions* lastReadOptions = nullptr;
};
FakeScript gScript;

class FakeReader : public KDuzReader {
public:
    using KDuzReader::KDuzReader;
    void GetVersion(int& major, int& minor, int& revision) override {
        major = gScript.major;
        minor = gScript.minor;
        revision = gScript.revision;
    }
    bool FileOpen(const char*) override {
        if (gScript.openResult) return true;
        mError.SetLastErrorWithText(gScript.openError, "reader says no");
        return false;
    }
    bool FileClose() override { return true; }
    bool IsFileOpen() override { return true; }
    KDuzStreamOptions* GetReadOptions(bool) override {
        ++gScript.optionCalls;
        auto* options = KDuzStreamOptionsDuzReader::Create(mManager, "");
        for (int i = 0; i < gScript.takeCount; ++i) {
            auto* take = new KDuzTakeDescription;
            take->name = KStringConcatInt(KString("Take "), i);
            options->AddTakeDescription(take);
        }
        options->SetStringOption("CURRENT TAKE NAME", "Take 1");
        if (gScript.withSummary) {
            mSummary = KDuzSceneInfo::Create(mManager, "");
            mSummary->title = "From file";
            options->SetSceneInfo(mSummary);
        }
        return options;
    }
    bool Read(KDuzScene*, KDuzStreamOptions* options) override {
        ++gScript.readCalls;
        gScript.lastReadOptions = options;
        auto* duz = dynamic_cast<KDuzStreamOptionsDuzReader*>(options);
        gScript.lastReadTakeCount = duz != nullptr ? duz->GetTakeDescriptionCount() : -1;
        mMessageText = "read note";
        if (!gScript.readResult) mError.SetLastError(gScript.readError);
        return gScript.readResult;
    }
    bool GetDefaultRenderResolution(KString& camera, KString& mode, double& width,
                                    double& height) override {
        if (!gScript.resolution) return false;
        camera = "Producer Perspective";
        mode = "Fixed Resolution";
        width = 640.0;
        height = 480.0;
        return true;
    }

private:
    KDuzSceneInfo* mSummary = nullptr;
};

KDuzReader* FakeFactory(KDuzSdkManager* manager, KDuzImporter*, int) {
    return gScript.makeReader ? new FakeReader(manager) : nullptr;
}

const void* FakeInfo(int request, int) {
    static const char* const extensions[] = {"fake", nullptr};
    static const char* const descriptions[] = {"Fake (*.fake)", nullptr};
    static const unsigned char flag = 1;
    switch (request) {
        case eDuzFormatInfoExtensions: return extensions;
        case eDuzFormatInfoDescriptions: return descriptions;
        case eDuzFormatInfoFlag: return &flag;
        default: return nullptr;
    }
}

class ImporterTest : public ::testing::Test {
protected:
    void SetUp() override {
        gScript = FakeScript();
        manager = KDuzSdkManager::Create();
        KDuzFormatRegistry* registry = KDuzFormatRegistry::Get();
        ASSERT_NE(registry, nullptr);
        savedFirst = registry->GetFirstDuzReaderIndex();
        int first = -1;
        ASSERT_TRUE(registry->RegisterReaders(&FakeFactory, &FakeInfo, &first, nullptr));
        registry->SetFirstDuzReaderIndex(first);
        importer = KDuzImporter::Create(manager, "");
        ASSERT_NE(importer, nullptr);
        scene = KDuzScene::Create(manager, "");
    }
    void TearDown() override {
        KDuzFormatRegistry::Get()->SetFirstDuzReaderIndex(savedFirst);
        manager->Destroy();
    }

    KDuzSdkManager* manager = nullptr;
    KDuzImporter* importer = nullptr;
    KDuzScene* scene = nullptr;
    int savedFirst = -1;
};

TEST_F(ImporterTest, NeedsAFileName) {
    EXPECT_FALSE(importer->Import(scene));
    EXPECT_EQ(importer->GetLastErrorID(), KDuzIO::eUninitializedFilename);
    EXPECT_FALSE(importer->Initialize(""));
    EXPECT_EQ(importer->GetLastErrorID(), KDuzIO::eUninitializedFilename);
    EXPECT_STREQ(importer->GetLastErrorString(),
                 "Uninitialized filename, use method Initialize(char* pFilename) first");
}

TEST_F(ImporterTest, OpenFailureMapsReaderErrors) {
    struct Case {
        int readerError;
        int importerError;
    } cases[] = {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {5, 7}, {7, 7}};
    // The file is there: the reader's error and text stand.
    duztest::TempFolder folder;
    const std::string path = folder.File("scene.fake");
    duztest::WriteText(path, "x");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.readerError);
        gScript.openResult = false;
        gScript.openError = c.readerError;
        EXPECT_FALSE(importer->Initialize(path.c_str()));
        EXPECT_EQ(importer->GetLastErrorID(), c.importerError);
        EXPECT_STREQ(importer->GetLastErrorString(), "reader says no");
        EXPECT_EQ(importer->GetReader(), nullptr);
    }
}

TEST_F(ImporterTest, NoReaderSetsNoError) {
    gScript.makeReader = false;
    EXPECT_FALSE(importer->Initialize("does-not-exist.fake"));
    EXPECT_EQ(importer->GetLastErrorID(), -1);
}

TEST_F(ImporterTest, NewerMajorVersionIsRefused) {
    gScript.major = 7;
    EXPECT_FALSE(importer->Initialize("scene.fake"));
    EXPECT_EQ(importer->GetLastErrorID(), KDuzIO::eFileVersionNotSupportedYet);
    EXPECT_STREQ(importer->GetLastErrorString(), "DUZ File version 7 is not supported in this product");
    EXPECT_EQ(importer->GetReader(), nullptr);
}

TEST_F(ImporterTest, NewerFileRefusedBeforeAnyReaderIsNamed) {
    // The field file itself refuses a version 7 file, so no reader is made;
    // the caller still learns why.
    duztest::TempFolder folder;
    const std::string path = folder.File("future.duz");
    duztest::WriteText(path, "; DUZ 7.0.0 project file\nA: 1\n");
    gScript.makeReader = false;
    EXPECT_FALSE(importer->Initialize(path.c_str()));
    EXPECT_EQ(importer->GetLastErrorID(), KDuzIO::eFileVersionNotSupportedYet);
    EXPECT_STREQ(importer->GetLastErrorString(), "DUZ File version 7 is not supported in this product");

    // A version 6 file that no reader takes gets no error index.
    duztest::WriteText(path, "; DUZ 6.1.0 project file\nA: 1\n");
    importer->GetError().ClearError();
    EXPECT_FALSE(importer->Initialize(path.c_str()));
    EXPECT_EQ(importer->GetLastErrorID(), -1);
}

TEST_F(ImporterTest, VersionAndRenderResolution) {
    gScript.major = 5;
    gScript.minor = 8;
    gScript.resolution = true;
    ASSERT_TRUE(importer->Initialize("scene.fake"));
    int major = 0, minor = 0, revision = -1;
    importer->GetFileVersion(major, minor, revision);
    EXPECT_EQ(major, 5);
    EXPECT_EQ(minor, 8);
    EXPECT_EQ(revision, 0);
    KString camera, mode;
    double width = 0, height = 0;
    ASSERT_TRUE(importer->GetDefaultRenderResolution(camera, mode, width, height));
    EXPECT_STREQ(camera.Buffer(), "Producer Perspective");
    EXPECT_EQ(width, 640.0);

    gScript.resolution = false;
    ASSERT_TRUE(importer->Initialize("scene.fake"));
    EXPECT_FALSE(importer->GetDefaultRenderResolution(camera, mode, width, height));
}

TEST_F(ImporterTest, ImportGathersTakesOnceAndCopiesSummary) {
    ASSERT_TRUE(importer->Initialize("scene.fake"));
    ASSERT_TRUE(importer->Import(scene));
    EXPECT_EQ(gScript.optionCalls, 1);
    EXPECT_EQ(gScript.lastReadTakeCount, 2);
    ASSERT_EQ(importer->GetTakeDescriptionCount(), 2);
    EXPECT_STREQ(importer->GetTakeDescription(1)->name.Buffer(), "Take 1");
    EXPECT_STREQ(importer->GetCurrentTakeName().Buffer(), "Take 1");
    EXPECT_STREQ(importer->GetMessageText().Buffer(), "read note");
    ASSERT_NE(scene->GetSceneInfo(), nullptr);
    EXPECT_STREQ(scene->GetSceneInfo()->title.Buffer(), "From file");

    // The second import reuses the takes and asks the reader for nothing,
    // and the set it makes for the read does not stay behind.
    const int objectsBefore = manager->GetObjectCount();
    ASSERT_TRUE(importer->Import(scene));
    EXPECT_EQ(gScript.optionCalls, 1);
    EXPECT_EQ(gScript.readCalls, 2);
    EXPECT_EQ(gScript.lastReadTakeCount, 2);
    EXPECT_EQ(manager->GetObjectCount(), objectsBefore);
}

TEST_F(ImporterTest, GivenOptionsGetTheTakesOnlyWhenTheyAreDuzReaderOptions) {
    ASSERT_TRUE(importer->Initialize("scene.fake"));
    KDuzStreamOptions* fetched = importer->GetImportOptions();
    ASSERT_NE(fetched, nullptr);
    fetched->Destroy();

    auto* duzOptions = KDuzStreamOptionsDuzReader::Create(manager, "");
    ASSERT_TRUE(importer->Import(scene, duzOptions));
    EXPECT_EQ(gScript.lastReadOptions, duzOptions);
    EXPECT_EQ(duzOptions->GetTakeDescriptionCount(), 2);

    KDuzStreamOptions* plain = KDuzStreamOptions::Create(manager, "");
    const int optionCount = plain->GetOptionCount();
    ASSERT_TRUE(importer->Import(scene, plain));
    EXPECT_EQ(gScript.lastReadOptions, plain);
    EXPECT_EQ(gScript.lastReadTakeCount, -1);
    EXPECT_EQ(plain->GetOptionCount(), optionCount);
}

TEST_F(ImporterTest, ReadFailureErrors) {
    ASSERT_TRUE(importer->Initialize("scene.fake"));
    gScript.readResult = false;
    gScript.readError = KDuzReader::eWrongPassword;
    EXPECT_FALSE(importer->Import(scene));
    EXPECT_EQ(importer->GetLastErrorID(), KDuzIO::ePasswordError);
    EXPECT_STREQ(importer->GetLastErrorString(),
                 "File is password protected and the provided password is wrong.");

    gScript.readError = KDuzReader::eFileCorrupted;
    EXPECT_FALSE(importer->Import(scene));
    EXPECT_EQ(importer->GetLastErrorID(), KDuzIO::eUnidentifiedError);
    // The reader's reason goes with the error.
    EXPECT_STREQ(importer->GetLastErrorString(), "File is corrupted");
    EXPECT_EQ(scene->GetSceneInfo(), nullptr);   // no summary after a failed read
}

TEST_F(ImporterTest, NestedDuz5HelpersReportTheirErrors) {
    IDuzObject* file = IDuzObject::Create();
    KDuzStreamOptions* options = KDuzStreamOptions::Create(manager, "");
    EXPECT_EQ(importer->GetOptionsWithDuz5Reader(nullptr), nullptr);
    EXPECT_EQ(importer->GetLastErrorID(), KDuzIO::eFileNotCreated);
    EXPECT_FALSE(importer->ReadWithDuz5Reader(scene, nullptr, file));
    EXPECT_EQ(importer->GetLastErrorID(), KDuzIO::eStreamOptionsNotSet);
    EXPECT_FALSE(importer->ReadWithDuz5Reader(scene, options, nullptr));
    EXPECT_EQ(importer->GetLastErrorID(), KDuzIO::eFileNotCreated);
    file->Destroy();
}

TEST_F(ImporterTest, ProgressStatusChangesNothing) {
    importer->SetProgressStatus(0, "Storing models", "detail", 50.0f);
    importer->SetProgressStatus(0, nullptr, nullptr, 0.0f);
    EXPECT_EQ(importer->GetLastErrorID(), -1);
    EXPECT_TRUE(importer->GetMessageText().IsEmpty());
}

TEST(ImporterRegistry, WithoutManagerThereIsNoRegistry) {
    EXPECT_EQ(KDuzFormatRegistry::Get(), nullptr);
    KDuzSdkManager* first = KDuzSdkManager::Create();
    KDuzSdkManager* second = KDuzSdkManager::Create();
    first->Destroy();
    EXPECT_NE(KDuzFormatRegistry::Get(), nullptr);
    second->Destroy();
    EXPECT_EQ(KDuzFormatRegistry::Get(), nullptr);
}

}  // namespace
