#include "sdk/scene/KDuzTakeDescription.h"

#include <gtest/gtest.h>

namespace duzsdk {
namespace {

TEST(KDuzTakeDescriptionTest, NewRecordHasBothFlagsAndEmptySpans) {
    KDuzTakeDescription take;
    EXPECT_TRUE(take.name.IsEmpty());
    EXPECT_TRUE(take.importName.IsEmpty());
    EXPECT_TRUE(take.comments.IsEmpty());
    EXPECT_TRUE(take.select);
    EXPECT_TRUE(take.secondFlag);
    EXPECT_EQ(take.localStart.Get(), 0);
    EXPECT_EQ(take.localStop.Get(), 0);
    EXPECT_EQ(take.referenceStart.Get(), 0);
    EXPECT_EQ(take.referenceStop.Get(), 0);
    EXPECT_EQ(take.reserved, 0);
    EXPECT_EQ(take.thumbnail, nullptr);
}

TEST(KDuzTakeDescriptionTest, CopiesCarryEveryFieldAndShareTheThumbnail) {
    // The thumbnail is never dereferenced here; any address stands for it.
    int image = 0;
    auto* thumbnail = reinterpret_cast<KDuzThumbnail*>(&image);

    KDuzTakeDescription source;
    source.name = "Walk";
    source.importName = "Walk";
    source.comments = "first pass";
    source.select = false;
    source.localStart = KTime(1);
    source.localStop = KTime(KTime::kTicksPerSecond * 4);
    source.referenceStart = KTime(-3);
    source.referenceStop = KTime(INT64_MAX);
    source.reserved = INT64_MIN;
    source.secondFlag = false;
    source.SetThumbnail(thumbnail);

    auto* copy = new KDuzTakeDescription(source);
    KDuzTakeDescription assigned;
    assigned.comments = "old";
    assigned.Assign(source);
    for (const KDuzTakeDescription* take : {static_cast<const KDuzTakeDescription*>(copy),
                                            static_cast<const KDuzTakeDescription*>(&assigned)}) {
        EXPECT_STREQ(take->name.Buffer(), "Walk");
        EXPECT_STREQ(take->importName.Buffer(), "Walk");
        EXPECT_STREQ(take->comments.Buffer(), "first pass");
        EXPECT_FALSE(take->select);
        EXPECT_EQ(take->localStart.Get(), 1);
        EXPECT_EQ(take->localStop.Get(), KTime::kTicksPerSecond * 4);
        EXPECT_EQ(take->referenceStart.Get(), -3);
        EXPECT_EQ(take->referenceStop.Get(), INT64_MAX);
        EXPECT_EQ(take->reserved, INT64_MIN);
        EXPECT_FALSE(take->secondFlag);
        EXPECT_EQ(take->thumbnail, thumbnail);
    }
    delete copy;
    EXPECT_EQ(source.thumbnail, thumbnail);
    // Texts are owned per record.
    assigned.name = "Run";
    EXPECT_STREQ(source.name.Buffer(), "Walk");
}

TEST(KDuzTakeDescriptionTest, ArrayDeleteAllFreesEveryRecord) {
    KPointerArray<KDuzTakeDescription> takes;
    for (const char* name : {"Take 001", "Take 002", "Take 003"}) {
        auto* take = new KDuzTakeDescription;
        take->name = name;
        takes.Add(take);
    }
    KDuzTakeDescriptionArrayDeleteAll(takes);
    EXPECT_EQ(takes.Count(), 0);
    KDuzTakeDescriptionArrayDeleteAll(takes);   // an empty array stays empty
    EXPECT_EQ(takes.Count(), 0);
}

}  // namespace
}  // namespace duzsdk
