#include "sdk/io/KDuzStreamOptions.h"

#include "sdk/base/KTimeModes.h"
#include "sdk/io/KDuzStreamOptionsDuz.h"
#include "sdk/io/KDuzStreamOptionsFormats.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/PropertyDataTypeMap.h"
#include "sdk/scene/KDuzSceneInfo.h"
#include "sdk/scene/KDuzThumbnail.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace duzsdk {
namespace {

class KDuzStreamOptionsTest : public testing::Test {
protected:
    void SetUp() override {
        manager = KDuzSdkManager::Create();
        ASSERT_NE(manager, nullptr);
    }
    void TearDown() override {
        if (manager != nullptr) manager->Destroy();
    }

    static std::vector<std::string> OptionNames(const KDuzStreamOptions& set) {
        std::vector<std::string> names;
        for (int i = 0; i < set.GetOptionCount(); ++i) names.emplace_back(set.GetPropertyAt(i).GetName());
        return names;
    }

    KDuzSdkManager* manager = nullptr;
};

TEST_F(KDuzStreamOptionsTest, DuzReaderSetHasItsOptionsInOrderWithDefaults) {
    KDuzStreamOptionsDuzReader* set = KDuzStreamOptionsDuzReader::Create(manager, "in");
    ASSERT_NE(set, nullptr);
    EXPECT_TRUE(set->Is(KDuzClassIdOf(eDuzClassStreamOptions)));
    const std::vector<std::string> expected = {
        "PASSWORD", "PASSWORD ENABLE", "MODEL", "TEXTURE", "MATERIAL", "MEDIA", "LINK", "SHAPE",
        "GOBO", "ANIMATION", "CHARACTER", "GLOBAL SETTINGS", "PIVOT", "TEMPLATE",
        "MERGE LAYER AND TIMEWARP", "CONSTRAINT", "MODEL COUNT", "DEVICE COUNT", "CHARACTER COUNT",
        "ACTOR COUNT", "CONSTRAINT_COUNT", "MEDIA COUNT", "CURRENT TAKE NAME"};
    EXPECT_EQ(OptionNames(*set), expected);

    EXPECT_STREQ(set->GetOption("PASSWORD").GetDataType().GetName(), "KString");
    EXPECT_STREQ(set->GetOption("MERGE LAYER AND TIMEWARP").GetLabel().Buffer(),
                 "DUZ Reader Merge Layer and Timewarp Option");
    EXPECT_STREQ(set->GetOption("MEDIA COUNT").GetLabel().Buffer(), "DUZ Reader Constraint Count");
    EXPECT_STREQ(set->GetOption("MODEL COUNT").GetDataType().GetName(), "Integer");

    EXPECT_TRUE(set->GetBoolOption("PASSWORD ENABLE"));
    EXPECT_TRUE(set->GetBoolOption("MODEL"));
    EXPECT_TRUE(set->GetBoolOption("CONSTRAINT"));
    EXPECT_FALSE(set->GetBoolOption("TEMPLATE", true));
    EXPECT_FALSE(set->GetBoolOption("MERGE LAYER AND TIMEWARP", true));
    EXPECT_EQ(set->GetIntOption("MODEL COUNT", -1), 0);
    EXPECT_STREQ(set->GetStringOption("PASSWORD", "x").Buffer(), "");
    EXPECT_EQ(set->GetTakeDescriptionCount(), 0);
    EXPECT_EQ(set->GetSceneInfo(), nullptr);
}

TEST_F(KDuzStreamOptionsTest, DuzWriterSetKeepsEmbeddedAndTemplateOffAndReaderLabels) {
    KDuzStreamOptionsDuzWriter* set = KDuzStreamOptionsDuzWriter::Create(manager, "out");
    ASSERT_NE(set, nullptr);
    ASSERT_EQ(set->GetOptionCount(), 23);
    EXPECT_STREQ(set->GetPropertyAt(13).GetName(), "EMBEDDED");
    EXPECT_STREQ(set->GetPropertyAt(15).GetName(), "TEMPLATE");
    EXPECT_FALSE(set->GetBoolOption("EMBEDDED", true));
    EXPECT_FALSE(set->GetBoolOption("TEMPLATE", true));
    EXPECT_TRUE(set->GetBoolOption("ANIMATION"));
    EXPECT_STREQ(set->GetOption("PASSWORD").GetLabel().Buffer(), "DUZ Writer Password Option");
    EXPECT_STREQ(set->GetOption("CURRENT TAKE NAME").GetLabel().Buffer(),
                 "DUZ Reader Current Take Name");
}

TEST_F(KDuzStreamOptionsTest, LookupIsCaseSensitiveAndSettersCheckTheKind) {
    KDuzStreamOptionsDuzReader* set = KDuzStreamOptionsDuzReader::Create(manager, "in");
    ASSERT_NE(set, nullptr);
    EXPECT_FALSE(set->GetOption("password").IsValid());
    EXPECT_FALSE(set->GetOption(nullptr).IsValid());
    EXPECT_FALSE(set->SetBoolOption("password enable", false));

    ASSERT_TRUE(set->SetStringOption("PASSWORD", "secret"));
    EXPECT_FALSE(set->SetBoolOption("PASSWORD", true));
    EXPECT_STREQ(set->GetStringOption("PASSWORD").Buffer(), "secret");

    EXPECT_TRUE(set->SetBoolOption("MODEL", false));
    EXPECT_FALSE(set->GetBoolOption("MODEL", true));
    EXPECT_FALSE(set->SetIntOption("MODEL", 3));
    EXPECT_EQ(set->GetIntOption("MODEL", 7), 7);
}

TEST_F(KDuzStreamOptionsTest, CopyOptionValueCopiesOnlyTheSameKind) {
    KDuzStreamOptionsDuzReader* set = KDuzStreamOptionsDuzReader::Create(manager, "in");
    ASSERT_NE(set, nullptr);
    const int modelCount = 16;   // "MODEL COUNT"
    ASSERT_STREQ(set->GetPropertyAt(modelCount).GetName(), "MODEL COUNT");

    KDuzProperty text(manager, "t", PropertyDataTypeFromName("KString"));
    const KString value("12");
    ASSERT_TRUE(text.SetValue(&value, eValueKindString));
    EXPECT_FALSE(set->CopyOptionValue(modelCount, text));
    EXPECT_EQ(set->GetIntOption("MODEL COUNT"), 0);

    KDuzProperty number(manager, "n", PropertyDataTypeFromName("Integer"));
    const int twelve = 12;
    ASSERT_TRUE(number.SetValue(&twelve, eValueKindInt));
    EXPECT_TRUE(set->CopyOptionValue(modelCount, number));
    EXPECT_EQ(set->GetIntOption("MODEL COUNT"), 12);

    EXPECT_FALSE(set->CopyOptionValue(-1, number));
    EXPECT_FALSE(set->CopyOptionValue(set->GetOptionCount(), number));
    EXPECT_FALSE(set->CopyOptionValue(modelCount, KDuzProperty()));
    text.DestroyProperty();
    number.DestroyProperty();
}

TEST_F(KDuzStreamOptionsTest, ResetDeletesTakesForgetsSummaryAndRestoresDefaults) {
    KDuzStreamOptionsDuzReader* set = KDuzStreamOptionsDuzReader::Create(manager, "in");
    KDuzSceneInfo* info = KDuzSceneInfo::Create(manager, "info");
    ASSERT_NE(set, nullptr);
    ASSERT_NE(info, nullptr);
    auto* take = new KDuzTakeDescription;
    take->name = "Walk";
    ASSERT_TRUE(set->AddTakeDescription(take));
    EXPECT_FALSE(set->AddTakeDescription(nullptr));
    set->SetSceneInfo(info);
    set->SetBoolOption("TEMPLATE", true);
    set->SetBoolOption("MODEL", false);
    set->SetIntOption("MODEL COUNT", 5);
    set->SetStringOption("CURRENT TAKE NAME", "Walk");

    set->Reset();
    EXPECT_EQ(set->GetTakeDescriptionCount(), 0);
    EXPECT_EQ(set->GetSceneInfo(), nullptr);
    EXPECT_FALSE(set->GetBoolOption("TEMPLATE", true));
    EXPECT_TRUE(set->GetBoolOption("MODEL"));
    EXPECT_EQ(set->GetIntOption("MODEL COUNT"), 0);
    EXPECT_STREQ(set->GetStringOption("CURRENT TAKE NAME").Buffer(), "");
    // The summary is not the set's: it survives the reset.
    EXPECT_EQ(manager->GetObjectCount(KDuzSceneInfo::ClassId()), 1);
}

TEST_F(KDuzStreamOptionsTest, CloneCopiesOptionsAndOwnsItsOwnTakeRecords) {
    KDuzStreamOptionsDuzReader* set = KDuzStreamOptionsDuzReader::Create(manager, "in");
    KDuzSceneInfo* info = KDuzSceneInfo::Create(manager, "info");
    KDuzThumbnail* thumbnail = KDuzThumbnail::Create(manager, "thumb");
    ASSERT_NE(set, nullptr);
    auto* take = new KDuzTakeDescription;
    take->name = "Run";
    take->localStop = KTime(100);
    take->SetThumbnail(thumbnail);
    set->AddTakeDescription(take);
    set->SetSceneInfo(info);
    set->SetIntOption("MODEL COUNT", 3);
    set->SetBoolOption("LINK", false);

    EXPECT_EQ(set->Clone(0), nullptr);
    EXPECT_EQ(set->Clone(1), nullptr);
    auto* copy = dynamic_cast<KDuzStreamOptionsDuzReader*>(set->Clone(2));
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy->GetName(), "in");
    EXPECT_EQ(copy->GetIntOption("MODEL COUNT"), 3);
    EXPECT_FALSE(copy->GetBoolOption("LINK", true));
    EXPECT_EQ(copy->GetSceneInfo(), info);
    ASSERT_EQ(copy->GetTakeDescriptionCount(), 1);
    EXPECT_NE(copy->GetTakeDescription(0), take);
    EXPECT_STREQ(copy->GetTakeDescription(0)->name.Buffer(), "Run");
    EXPECT_EQ(copy->GetTakeDescription(0)->localStop.Get(), 100);
    EXPECT_EQ(copy->GetTakeDescription(0)->thumbnail, thumbnail);

    // Resetting the source leaves the clone's records intact (ASan would
    // report a shared record here).
    set->Reset();
    ASSERT_EQ(copy->GetTakeDescriptionCount(), 1);
    EXPECT_STREQ(copy->GetTakeDescription(0)->name.Buffer(), "Run");
    copy->Destroy();
}

TEST_F(KDuzStreamOptionsTest, BaseSetHasNoOptionsAndClonesOnlyType2) {
    KDuzStreamOptions* set = KDuzStreamOptions::Create(manager, "plain");
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(set->GetOptionCount(), 0);
    EXPECT_EQ(set->Clone(3), nullptr);
    KDuzObject* copy = set->Clone(2);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->GetClassId(), KDuzStreamOptions::ClassId());
}

TEST_F(KDuzStreamOptionsTest, BaseResetZeroesEveryKnownType) {
    KDuzStreamOptions* set = KDuzStreamOptions::Create(manager, "plain");
    ASSERT_NE(set, nullptr);
    set->AddOption("b", "Bool", "");
    set->AddOption("f", "Float", "");
    set->AddOption("d", "Number", "");
    set->AddOption("t", "Time", "");
    set->AddOption("v", "Vector", "");
    set->SetBoolOption("b", true);
    const float f = 2.5f;
    set->GetOption("f").SetValue(&f, eValueKindFloat);
    set->SetDoubleOption("d", 4.0);
    set->SetTimeOption("t", KTime(77));
    const duzVectorTemplate3<double> v(1.0, 2.0, 3.0);
    set->GetOption("v").SetValue(&v, eValueKindDouble3);

    set->Reset();
    EXPECT_FALSE(set->GetBoolOption("b", true));
    EXPECT_EQ(set->GetOption("f").GetDouble(), 0.0);
    EXPECT_EQ(set->GetDoubleOption("d", 1.0), 0.0);
    EXPECT_EQ(set->GetTimeOption("t").Get(), 0);
    // A type the reset does not know keeps its value.
    EXPECT_EQ(set->GetOption("v").GetDouble3()[1], 2.0);
}

// ---- the other formats ---------------------------------------------------------

struct Expectation {
    const char* option;
    bool value;
};

TEST_F(KDuzStreamOptionsTest, ThreeDsSetsDifferOnlyInTheEleventhOption) {
    auto* reader = KDuzStreamOptions3dsReader::Create(manager, "r");
    auto* writer = KDuzStreamOptions3dsWriter::Create(manager, "w");
    ASSERT_NE(reader, nullptr);
    ASSERT_NE(writer, nullptr);
    ASSERT_EQ(reader->GetOptionCount(), 15);
    ASSERT_EQ(writer->GetOptionCount(), 15);
    EXPECT_STREQ(reader->GetPropertyAt(10).GetName(), "SMOOTHGROUP");
    EXPECT_STREQ(writer->GetPropertyAt(10).GetName(), "TEXUVBYPOLY");
    for (const Expectation& e : {Expectation{"REFERENCENODE", false}, {"FILTER", false},
                                 {"SMOOTHGROUP", true}, {"MATERIAL", true}, {"AMBIENT LIGHT", true}})
        EXPECT_EQ(reader->GetBoolOption(e.option, !e.value), e.value) << e.option;
    EXPECT_TRUE(writer->GetBoolOption("TEXUVBYPOLY"));
    EXPECT_STREQ(writer->GetOption("AMBIENT LIGHT").GetLabel().Buffer(),
                 "3ds Writer Ambiant Light Option");
}

TEST_F(KDuzStreamOptionsTest, DxfSetsGetTheirDefaultsOnlyFromReset) {
    auto* reader = KDuzStreamOptionsDxfReader::Create(manager, "r");
    auto* writer = KDuzStreamOptionsDxfWriter::Create(manager, "w");
    ASSERT_NE(reader, nullptr);
    ASSERT_NE(writer, nullptr);
    EXPECT_FALSE(reader->GetBoolOption("REFERENCENODE", true));
    EXPECT_FALSE(writer->GetBoolOption("TRIANGULATE", true));
    reader->SetIntOption("OBJECT DERIVATION", 2);
    EXPECT_EQ(reader->GetObjectDerivation(), 2);

    reader->Reset();
    writer->Reset();
    EXPECT_TRUE(reader->GetBoolOption("REFERENCENODE"));
    EXPECT_TRUE(reader->GetBoolOption("WELD VERTICES"));
    EXPECT_FALSE(reader->GetBoolOption("OBJECT DERIVATION LABEL", true));
    EXPECT_EQ(reader->GetObjectDerivation(), 0);
    EXPECT_TRUE(writer->GetBoolOption("TRIANGULATE"));
    EXPECT_TRUE(writer->GetBoolOption("DEFORMATION"));
}

TEST_F(KDuzStreamOptionsTest, ObjSetsDefaults) {
    auto* reader = KDuzStreamOptionsObjReader::Create(manager, "r");
    auto* writer = KDuzStreamOptionsObjWriter::Create(manager, "w");
    ASSERT_NE(reader, nullptr);
    ASSERT_NE(writer, nullptr);
    EXPECT_TRUE(reader->GetBoolOption("REFERENCENODE"));
    EXPECT_FALSE(writer->GetBoolOption("TRIANGULATE", true));
    EXPECT_TRUE(writer->GetBoolOption("DEFORMATION"));
    EXPECT_STREQ(writer->GetOption("TRIANGULATE").GetLabel().Buffer(), "Object Writer Triangulate Option");
}

TEST_F(KDuzStreamOptionsTest, ClonesKeepTheirClassAndOptionValues) {
    KDuzStreamOptions* sets[] = {
        KDuzStreamOptionsMotionReader::Create(manager, "a"), KDuzStreamOptionsMotionWriter::Create(manager, "b"),
        KDuzStreamOptions3dsReader::Create(manager, "c"),    KDuzStreamOptions3dsWriter::Create(manager, "d"),
        KDuzStreamOptionsDxfReader::Create(manager, "e"),    KDuzStreamOptionsDxfWriter::Create(manager, "f"),
        KDuzStreamOptionsObjReader::Create(manager, "g"),    KDuzStreamOptionsObjWriter::Create(manager, "h"),
        KDuzStreamOptionsColladaReader::Create(manager, "i"), KDuzStreamOptionsColladaWriter::Create(manager, "j"),
    };
    for (KDuzStreamOptions* set : sets) {
        ASSERT_NE(set, nullptr);
        SCOPED_TRACE(set->GetName());
        // Flip the first option so that the copy shows it was copied.
        KDuzProperty first = set->GetPropertyAt(0);
        if (first.GetValueKind() == eValueKindBool) {
            set->SetBoolOption(first.GetName(), !set->GetBoolOption(first.GetName()));
        } else {
            set->SetStringOption(first.GetName(), "take");
        }
        EXPECT_EQ(set->Clone(1), nullptr);
        KDuzObject* object = set->Clone(2);
        ASSERT_NE(object, nullptr);
        auto* copy = dynamic_cast<KDuzStreamOptions*>(object);
        ASSERT_NE(copy, nullptr);
        EXPECT_EQ(copy->GetClassId(), set->GetClassId());
        EXPECT_STREQ(copy->GetName(), set->GetName());
        ASSERT_EQ(copy->GetOptionCount(), set->GetOptionCount());
        for (int i = 0; i < set->GetOptionCount(); ++i)
            EXPECT_TRUE(copy->GetPropertyAt(i).ValueEquals(set->GetPropertyAt(i))) << i;
    }
}

TEST_F(KDuzStreamOptionsTest, MotionResetDestroysAnOwnedSceneOnly) {
    auto* set = KDuzStreamOptionsMotionReader::Create(manager, "m");
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(set->GetOptionCount(), 19);
    EXPECT_EQ(set->GetTimeMode(), KTimeGetGlobalTimeMode());
    EXPECT_EQ(set->GetDoubleOption("FRAME RATE"), KTimeGetFrameRate(KTimeGetGlobalTimeMode()));

    const KClassId thumbnails = KDuzThumbnail::ClassId();
    KDuzThumbnail* kept = KDuzThumbnail::Create(manager, "kept");
    set->SetAsfScene(kept);
    set->Reset();
    EXPECT_EQ(set->GetAsfScene(), nullptr);
    EXPECT_EQ(manager->GetObjectCount(thumbnails), 1);

    set->SetAsfScene(KDuzThumbnail::Create(manager, "owned"));
    set->SetBoolOption("ASF SCENE OWNED", true);
    set->SetTimeMode(ePal);
    set->Reset();
    EXPECT_EQ(manager->GetObjectCount(thumbnails), 1);
    EXPECT_FALSE(set->GetBoolOption("ASF SCENE OWNED", true));
    EXPECT_EQ(set->GetTimeMode(), KTimeGetGlobalTimeMode());

    // Owned and null: nothing to destroy.
    set->SetBoolOption("ASF SCENE OWNED", true);
    set->Reset();
    EXPECT_EQ(manager->GetObjectCount(thumbnails), 1);
}

TEST_F(KDuzStreamOptionsTest, MotionCloneSharesTheSceneWithoutOwningIt) {
    auto* set = KDuzStreamOptionsMotionWriter::Create(manager, "m");
    ASSERT_NE(set, nullptr);
    set->SetAsfScene(KDuzThumbnail::Create(manager, "asf"));
    set->SetBoolOption("ASF SCENE OWNED", true);
    set->SetTimeMode(ePal);
    auto* copy = dynamic_cast<KDuzStreamOptionsMotionWriter*>(set->Clone(2));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->GetAsfScene(), set->GetAsfScene());
    EXPECT_EQ(copy->GetTimeMode(), static_cast<int>(ePal));
    EXPECT_FALSE(copy->GetBoolOption("ASF SCENE OWNED", true));
    copy->Reset();
    EXPECT_EQ(manager->GetObjectCount(KDuzThumbnail::ClassId()), 1);
    set->Reset();
    EXPECT_EQ(manager->GetObjectCount(KDuzThumbnail::ClassId()), 0);
}

TEST_F(KDuzStreamOptionsTest, ColladaReaderSetTimeMode) {
    auto* set = KDuzStreamOptionsColladaReader::Create(manager, "c");
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(set->GetDoubleOption("FRAME RATE"), 30.0);
    EXPECT_EQ(set->GetTimeMode(), static_cast<int>(KTimeModeFromFrameRate(30.0, 0.001)));

    struct Case {
        int mode;
        double rate;
        int expectedMode;
        double expectedRate;
    };
    const Case cases[] = {
        {0, 24.0, eFrames24, 24.0},
        {0, 17.0, 0, 17.0},
        {ePal, 99.0, ePal, 25.0},
        {0, 0.0, KTimeGetGlobalTimeMode(), KTimeGetFrameRate(KTimeGetGlobalTimeMode())},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(set->SetTimeMode(c.mode, c.rate));
        EXPECT_EQ(set->GetTimeMode(), c.expectedMode) << c.rate;
        EXPECT_DOUBLE_EQ(set->GetDoubleOption("FRAME RATE"), c.expectedRate) << c.rate;
    }
}

TEST_F(KDuzStreamOptionsTest, ColladaWriterFramePeriod) {
    auto* set = KDuzStreamOptionsColladaWriter::Create(manager, "c");
    ASSERT_NE(set, nullptr);
    // A new set runs at 30 frames a second.
    EXPECT_EQ(set->GetFramePeriod().Get(), KTime::kTicksPerSecond / 30);
    set->SetTimeMode(ePal);
    EXPECT_EQ(set->GetFramePeriod().Get(), KTime::kTicksPerSecond / 25);

    set->SetTimeMode(0);
    set->SetDoubleOption("FRAME RATE", 17.0);
    KTime expected;
    expected.SetSecondDouble(1.0 / 17.0);
    EXPECT_EQ(set->GetFramePeriod().Get(), expected.Get());

    // Unusable rates fall back to 30 frames a second.
    KTime thirtieth;
    thirtieth.SetSecondDouble(1.0 / 30.0);
    for (double rate : {0.0, -5.0}) {
        set->SetDoubleOption("FRAME RATE", rate);
        EXPECT_EQ(set->GetFramePeriod().Get(), thirtieth.Get()) << rate;
    }
}

}  // namespace
}  // namespace duzsdk
