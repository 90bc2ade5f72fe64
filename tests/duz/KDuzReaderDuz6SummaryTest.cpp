// Scene information, thumbnails, the "Summary" section and the summary
// update, and the file-event hook of the password check.
#include <gtest/gtest.h>

#include <string>

#include "duz/KDuzReaderDuz6TestFixture.h"
#include "sdk/io/KDuz.h"
#include "sdk/io/KDuzFileEvent.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzSceneInfo.h"
#include "sdk/scene/KDuzThumbnail.h"

using namespace duzsdk;

namespace {

// A thumbnail whose bytes count up from the seed.
KDuzThumbnail* MakeThumbnail(KDuzSdkManager* manager, int format, int size, int seed) {
    KDuzThumbnail* thumbnail = KDuzThumbnail::Create(manager, "");
    thumbnail->SetDataFormat(format);
    thumbnail->SetSize(size);
    unsigned char* image = thumbnail->GetThumbnailImage();
    for (int i = 0; i < thumbnail->GetSizeInBytes(); ++i) image[i] = static_cast<unsigned char>(seed + i);
    return thumbnail;
}

bool SameImage(const KDuzThumbnail* a, const KDuzThumbnail* b) {
    if (a == nullptr || b == nullptr || a->GetSize() != b->GetSize() || a->GetDataFormat() != b->GetDataFormat())
        return false;
    return std::equal(a->GetThumbnailImage(), a->GetThumbnailImage() + a->GetSizeInBytes(), b->GetThumbnailImage());
}

class Duz6SummaryTest : public Duz6ReaderTest {
protected:
    // A binary file with one model in its main section and, when options are
    // given, a summary written from them in a section of its own.
    void WriteBinary(const KDuzStreamOptionsDuzReader* summary) {
        KDuz duz;
        ASSERT_TRUE(duz.ProjectCreateFile(path.c_str(), true, false));
        duz.FieldWriteBegin("Model");
        duz.FieldWriteString("Model::Main");
        duz.FieldWriteString("Null");
        duz.FieldWriteEnd();
        duz.FinishBeforeClose();
        if (summary != nullptr) {
            ASSERT_TRUE(KDuzReaderDuz6::WriteSummary(duz, *summary, false));
        }
        ASSERT_EQ(duz.GetLastErrorID(), -1) << duz.GetLastErrorString();
        duz.ProjectClose();
    }

    KDuzStreamOptionsDuzReader* FullSummary() {
        auto* summary = KDuzStreamOptionsDuzReader::Create(manager, "");
        summary->SetBoolOption("TEMPLATE", true);
        summary->SetBoolOption("PASSWORD ENABLE", false);
        summary->SetIntOption("MODEL COUNT", 3);
        summary->SetIntOption("DEVICE COUNT", 4);
        summary->SetIntOption("CHARACTER COUNT", 5);
        summary->SetIntOption("ACTOR COUNT", 6);
        summary->SetIntOption("CONSTRAINT_COUNT", 7);
        summary->SetIntOption("MEDIA COUNT", 8);
        summary->SetStringOption("CURRENT TAKE NAME", "Run");
        KDuzSceneInfo* info = KDuzSceneInfo::Create(manager, "");
        info->title = "Title";
        info->subject = "Subject";
        info->author = "Author";
        info->keywords = "Keys";
        info->revision = "2";
        info->comment = "Comment";
        info->SetSceneThumbnail(MakeThumbnail(manager, KDuzThumbnail::eRGBA_32, KDuzThumbnail::e64x64, 3));
        summary->SetSceneInfo(info);
        const char* names[] = {"Walk", "Run", "Jump"};
        const char* comments[] = {"slow", "", "high"};
        for (int i = 0; i < 3; ++i) {
            auto* take = new KDuzTakeDescription();
            take->name = names[i];
            take->comments = comments[i];
            take->localStart = KTime(10 * i);
            take->localStop = KTime(10 * i + 5);
            take->referenceStart = KTime(-i);
            take->referenceStop = KTime(100 + i);
            if (i == 2) take->SetThumbnail(MakeThumbnail(manager, KDuzThumbnail::eRGB_24, KDuzThumbnail::e128x128, 9));
            summary->AddTakeDescription(take);
        }
        return summary;
    }
};

}  // namespace

TEST_F(Duz6SummaryTest, SummaryWrittenFromOptionsReadsBackWhole) {
    KDuzStreamOptionsDuzReader* written = FullSummary();
    WriteBinary(written);
    ASSERT_TRUE(reader->FileOpen(path.c_str())) << reader->GetLastErrorString();
    auto* read = dynamic_cast<KDuzStreamOptionsDuzReader*>(reader->GetReadOptions(false));
    ASSERT_NE(read, nullptr);
    EXPECT_TRUE(read->GetBoolOption("TEMPLATE"));
    EXPECT_FALSE(read->GetBoolOption("PASSWORD ENABLE"));
    const char* counts[] = {"MODEL COUNT", "DEVICE COUNT", "CHARACTER COUNT", "ACTOR COUNT", "CONSTRAINT_COUNT",
                            "MEDIA COUNT"};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(read->GetIntOption(counts[i]), 3 + i) << counts[i];
    EXPECT_STREQ(read->GetStringOption("CURRENT TAKE NAME").Buffer(), "Run");

    const KDuzSceneInfo* info = read->GetSceneInfo();
    ASSERT_NE(info, nullptr);
    EXPECT_STREQ(info->title.Buffer(), "Title");
    EXPECT_STREQ(info->keywords.Buffer(), "Keys");
    EXPECT_STREQ(info->comment.Buffer(), "Comment");
    EXPECT_TRUE(SameImage(info->GetSceneThumbnail(), written->GetSceneInfo()->GetSceneThumbnail()));

    ASSERT_EQ(read->GetTakeDescriptionCount(), 3);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const KDuzTakeDescription* expected = written->GetTakeDescription(i);
        const KDuzTakeDescription* take = read->GetTakeDescription(i);
        EXPECT_EQ(take->name, expected->name);
        EXPECT_EQ(take->comments, expected->comments);
        EXPECT_EQ(take->localStart.Get(), expected->localStart.Get());
        EXPECT_EQ(take->localStop.Get(), expected->localStop.Get());
        EXPECT_EQ(take->referenceStart.Get(), expected->referenceStart.Get());
        EXPECT_EQ(take->referenceStop.Get(), expected->referenceStop.Get());
        EXPECT_EQ(take->thumbnail != nullptr, i == 2);
    }
    EXPECT_TRUE(SameImage(read->GetTakeDescription(2)->thumbnail, written->GetTakeDescription(2)->thumbnail));
    read->Destroy();
    ASSERT_TRUE(reader->FileClose());

    // The layout as written: "ContentCount" says its version as text, and
    // a take without comments has no "Comments".
    KDuz duz;
    ASSERT_TRUE(duz.ProjectOpen(path.c_str(), true, false));
    ASSERT_TRUE(duz.ProjectOpenExtraSection(duz.GetExtraSectionCount() - 1));
    ASSERT_TRUE(duz.FieldReadBegin("Summary"));
    ASSERT_TRUE(duz.FieldReadBlockBegin());
    ASSERT_TRUE(duz.FieldReadBegin("ContentCount"));
    ASSERT_TRUE(duz.FieldReadBlockBegin());
    ASSERT_TRUE(duz.FieldReadBegin("Version"));
    EXPECT_EQ(duz.FieldReadGetNextValueType(), 'S');
    EXPECT_STREQ(duz.FieldReadString(), "100");
    duz.FieldReadEnd();
    duz.FieldReadBlockEnd();
    duz.FieldReadEnd();
    ASSERT_TRUE(duz.FieldReadBegin("Takes"));
    ASSERT_TRUE(duz.FieldReadBlockBegin());
    ASSERT_TRUE(duz.FieldReadBeginInstance("Take", 1));
    ASSERT_TRUE(duz.FieldReadBlockBegin());
    EXPECT_EQ(duz.FieldGetInstanceCount("Comments"), 0);
    EXPECT_EQ(duz.FieldGetInstanceCount("LocalTime"), 1);
    duz.ProjectClose();
    written->Destroy();
}

TEST_F(Duz6SummaryTest, SummaryOfVersion100CarriesNoSceneInformation) {
    KDuz duz;
    ASSERT_TRUE(duz.ProjectCreateFile(path.c_str(), true, false));
    duz.FinishBeforeClose();
    ASSERT_TRUE(duz.ProjectCreateSection(false));
    duz.FieldWriteBegin("Summary");
    duz.FieldWriteBlockBegin();
    duz.FieldWriteBegin("Version");
    duz.FieldWriteInt(100);
    duz.FieldWriteEnd();
    KDuzSceneInfo* info = KDuzSceneInfo::Create(manager, "");
    info->title = "Ignored";
    KDuzReaderDuz6::WriteSceneInfo(duz, info);
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
    duz.FinishBeforeClose();
    duz.ProjectClose();
    ASSERT_TRUE(reader->FileOpen(path.c_str()));
    KDuzStreamOptions* read = reader->GetReadOptions(false);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(dynamic_cast<KDuzStreamOptionsDuzReader*>(read)->GetSceneInfo(), nullptr);
    read->Destroy();
}

// "SceneInfo" records of "Objects" become the scene's information; only the
// "UserData" type (any case) makes one, and a thumbnail is kept only when
// its encoding, format and size are known.
TEST_F(Duz6SummaryTest, SceneInfoRecordsAndThumbnails) {
    struct Case {
        const char* name;
        const char* type;
        const char* thumbnail;
        bool info;
        bool thumbnailKept;
    };
    const char* const image = "            ImageData: 1,2,259\n";
    const Case cases[] = {
        {"user data, lower case", "userdata", "Format: 0\n            Size: 64\n", true, true},
        {"other type", "Other", "Format: 0\n            Size: 64\n", false, false},
        {"encoded image", "UserData", "Format: 0\n            Size: 64\n            ImageEncoding: 1\n", true,
         false},
        {"unknown size", "UserData", "Format: 0\n            Size: 7\n", true, false},
        {"unknown format", "UserData", "Format: 5\n            Size: 64\n", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string body = std::string("Definitions:  {\n    ObjectType: \"SceneInfo\"\n}\n"
                                             "Objects:  {\n"
                                             "    SceneInfo: \"SceneInfo::GlobalInfo\", \"UserData\" {\n"
                                             "        Type: \"") +
                                 c.type +
                                 "\"\n"
                                 "        Thumbnail:  {\n"
                                 "            " +
                                 c.thumbnail + image +
                                 "        }\n"
                                 "        MetaData:  {\n"
                                 "            Title: \"T\"\n"
                                 "            Author: \"A\"\n"
                                 "        }\n"
                                 "    }\n"
                                 "}\n";
        ASSERT_TRUE(Load(body));
        KDuzSceneInfo* info = scene->GetSceneInfo();
        ASSERT_EQ(info != nullptr, c.info);
        // Not registered: connections cannot name it.
        EXPECT_EQ(reader->FindObjectByName("SceneInfo::GlobalInfo"), nullptr);
        if (info != nullptr) {
            EXPECT_STREQ(info->title.Buffer(), "T");
            EXPECT_STREQ(info->author.Buffer(), "A");
            EXPECT_STREQ(info->subject.Buffer(), "");
            const KDuzThumbnail* thumbnail = info->GetSceneThumbnail();
            ASSERT_EQ(thumbnail != nullptr, c.thumbnailKept);
            if (thumbnail != nullptr) {
                // Three values for 12288 bytes: the rest stays zero; each
                // value keeps its low eight bits.
                ASSERT_EQ(thumbnail->GetSizeInBytes(), 64 * 64 * 3);
                EXPECT_EQ(thumbnail->GetThumbnailImage()[0], 1);
                EXPECT_EQ(thumbnail->GetThumbnailImage()[2], 3);
                EXPECT_EQ(thumbnail->GetThumbnailImage()[3], 0);
            }
        }
        ASSERT_TRUE(reader->FileClose());
    }
}

TEST_F(Duz6SummaryTest, TakeThumbnailsFromTakeBlocksAndTakes) {
    const std::string body = "Definitions:  {\n    ObjectType: \"Model\"\n}\n"
                             "Objects:  {\n    Model: \"Model::Cube\", \"Null\" {\n    }\n}\n"
                             "Takes:  {\n"
                             "    Current: \"Run\"\n"
                             "    Take: \"Run\" {\n"
                             "        Model: \"Model::Cube\" {\n        }\n"
                             "        LocalTime: 0,100\n"
                             "        Thumbnail:  {\n"
                             "            Format: 1\n"
                             "            Size: 64\n"
                             "            ImageData: 7\n"
                             "        }\n"
                             "    }\n"
                             "}\n";
    Write(body);
    ASSERT_TRUE(reader->FileOpen(path.c_str()));
    auto* read = dynamic_cast<KDuzStreamOptionsDuzReader*>(reader->GetReadOptions(true));
    ASSERT_NE(read, nullptr);
    ASSERT_EQ(read->GetTakeDescriptionCount(), 1);
    const KDuzThumbnail* thumbnail = read->GetTakeDescription(0)->thumbnail;
    ASSERT_NE(thumbnail, nullptr);
    EXPECT_EQ(thumbnail->GetDataFormat(), KDuzThumbnail::eRGBA_32);
    EXPECT_EQ(thumbnail->GetThumbnailImage()[0], 7);

    // The read takes the take's thumbnail into the scene's description.
    read->GetTakeDescription(0)->SetThumbnail(nullptr);
    ASSERT_TRUE(reader->Read(scene, read));
    ASSERT_EQ(scene->GetTakeDescriptionCount(), 1);
    ASSERT_NE(scene->GetTakeDescriptionAt(0)->thumbnail, nullptr);
    EXPECT_EQ(scene->GetTakeDescriptionAt(0)->thumbnail->GetThumbnailImage()[0], 7);
    read->Destroy();
}

// The file being read is never written: the updated summary is kept by the
// reader and answers the next request for options, every given take
// description included.
TEST_F(Duz6SummaryTest, UpdatedSummaryIsKeptInMemory) {
    auto* original = KDuzStreamOptionsDuzReader::Create(manager, "");
    auto* take = new KDuzTakeDescription();
    take->name = "Only";
    original->AddTakeDescription(take);
    WriteBinary(original);
    const std::string before = FileText();

    ASSERT_TRUE(reader->FileOpen(path.c_str()));
    KDuzStreamOptionsDuzReader* given = FullSummary();
    EXPECT_TRUE(reader->UpdateFileSummary(given));
    EXPECT_EQ(FileText(), before);
    auto* read = dynamic_cast<KDuzStreamOptionsDuzReader*>(reader->GetReadOptions(false));
    ASSERT_NE(read, nullptr);
    ASSERT_EQ(read->GetTakeDescriptionCount(), 3);
    EXPECT_STREQ(read->GetTakeDescription(0)->name.Buffer(), "Walk");
    EXPECT_STREQ(read->GetTakeDescription(2)->name.Buffer(), "Jump");
    ASSERT_NE(read->GetSceneInfo(), nullptr);
    EXPECT_NE(read->GetSceneInfo(), given->GetSceneInfo());
    EXPECT_STREQ(read->GetSceneInfo()->title.Buffer(), "Title");
    read->Destroy();
    // The counts still come from the file.
    KDuzStreamOptions* again = reader->GetReadOptions(false);
    EXPECT_EQ(again->GetIntOption("MODEL COUNT"), 0);
    again->Destroy();
    ASSERT_TRUE(reader->FileClose());

    // Reopened, the file says what it said before.
    ASSERT_TRUE(reader->FileOpen(path.c_str()));
    read = dynamic_cast<KDuzStreamOptionsDuzReader*>(reader->GetReadOptions(false));
    ASSERT_EQ(read->GetTakeDescriptionCount(), 1);
    read->Destroy();
    ASSERT_TRUE(reader->FileClose());

    // A file without a summary has nothing to update.
    WriteBinary(nullptr);
    ASSERT_TRUE(reader->FileOpen(path.c_str()));
    EXPECT_FALSE(reader->UpdateFileSummary(given));
    given->Destroy();
    original->Destroy();
}

namespace {

struct HookRecord {
    int calls = 0;
    int event = 0;
    IDuzObject* file = nullptr;
    const char* unlockWith = nullptr;
};

void RecordingHook(IDuzObject* file, int event, void* userData) {
    auto* record = static_cast<HookRecord*>(userData);
    ++record->calls;
    record->event = event;
    record->file = file;
    if (record->unlockWith != nullptr) file->CheckPassword(record->unlockWith);
}

}  // namespace

// A refused password goes to the application's hook, which may unlock the
// file; without a hook, or when it does not, the read fails.
TEST_F(Duz6SummaryTest, WrongPasswordGoesThroughTheFileEventHook) {
    {
        KDuz duz;
        ASSERT_TRUE(duz.ProjectCreateFile(path.c_str(), true, false));
        ASSERT_TRUE(duz.WritePasswordField("secret"));
        duz.FinishBeforeClose();
        duz.ProjectClose();
    }
    options->SetStringOption("PASSWORD", "wrong");
    struct Case {
        const char* unlockWith;
        bool read;
    };
    for (const Case& c : {Case{nullptr, false}, Case{"wrong too", false}, Case{"secret", true}}) {
        SCOPED_TRACE(c.unlockWith != nullptr ? c.unlockWith : "no unlock");
        HookRecord record;
        record.unlockWith = c.unlockWith;
        KDuzSetFileEventHook(&RecordingHook, &record);
        ASSERT_TRUE(reader->FileOpen(path.c_str()));
        EXPECT_EQ(reader->Read(scene, options), c.read);
        if (!c.read) {
            EXPECT_EQ(reader->GetLastErrorID(), KDuzReader::eWrongPassword);
        }
        EXPECT_EQ(record.calls, 1);
        EXPECT_EQ(record.event, eDuzFileEventWrongPassword);
        EXPECT_EQ(record.file, reader->GetFileObject());
        ASSERT_TRUE(reader->FileClose());
    }
    KDuzSetFileEventHook(nullptr, nullptr);
    ASSERT_TRUE(reader->FileOpen(path.c_str()));
    EXPECT_FALSE(reader->Read(scene, options));
}
