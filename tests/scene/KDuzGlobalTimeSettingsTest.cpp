#include "sdk/scene/KDuzGlobalTimeSettings.h"

#include "sdk/base/KTimeModes.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace duzsdk {
namespace {

KDuzTimeMarker Marker(const char* name, int64_t ticks, bool loop) {
    KDuzTimeMarker marker;
    marker.mName = name;
    marker.mTime = KTime(ticks);
    marker.mLoop = loop;
    return marker;
}

TEST(KDuzGlobalTimeSettingsTest, Defaults) {
    KDuzGlobalTimeSettings settings;
    EXPECT_EQ(settings.GetTimeMode(), eFrames30);
    EXPECT_EQ(settings.GetTimeFormat(), eFrameCount);
    EXPECT_EQ(settings.GetSnapOnFrames(), 0);
    EXPECT_EQ(settings.GetTimeMarkerCount(), 0);
    EXPECT_EQ(settings.GetCurrentTimeMarker(), -1);
    const KDuzTimeSpan span = settings.GetTimelineDefaultTimeSpan();
    EXPECT_EQ(span.mStart.Get(), 0);
    EXPECT_EQ(span.mStop.Get(), 46186158000LL);

    const KDuzTimeMarker fresh;
    EXPECT_STREQ(fresh.mName.Buffer(), "");
    EXPECT_EQ(fresh.mTime.Get(), 0);
    EXPECT_FALSE(fresh.mLoop);
}

// Stored "default" codes read through the process-wide settings.
TEST(KDuzGlobalTimeSettingsTest, ModeAndFormatFallBackToTheProcessDefaults) {
    KDuzGlobalTimeSettings settings;
    settings.SetTimeMode(eDefaultMode);
    const int globalMode = KTimeGetGlobalTimeMode();
    EXPECT_EQ(settings.GetTimeMode(), globalMode != eDefaultMode ? globalMode : eFrames30);
    settings.SetTimeMode(eFrames60);
    EXPECT_EQ(settings.GetTimeMode(), eFrames60);

    settings.SetTimeFormat(eDefaultTimeFormat);
    const int globalFormat = KTimeGetGlobalTimeStringFormat();
    EXPECT_EQ(settings.GetTimeFormat(), globalFormat != eDefaultTimeFormat ? globalFormat : eFrameCount);
    settings.SetTimeFormat(eTimeCode);
    EXPECT_EQ(settings.GetTimeFormat(), eTimeCode);

    settings.SetSnapOnFrames(2);
    EXPECT_EQ(settings.GetSnapOnFrames(), 2);
}

TEST(KDuzGlobalTimeSettingsTest, TimeMarkersAreCopiedAndOwned) {
    KDuzGlobalTimeSettings settings;
    KDuzTimeMarker source = Marker("Start", 100, true);
    ASSERT_TRUE(settings.AddTimeMarker(source));
    source.mName = "changed";   // the settings hold their own copy
    for (int i = 0; i < 20; ++i) ASSERT_TRUE(settings.AddTimeMarker(Marker("m", i, false)));
    ASSERT_EQ(settings.GetTimeMarkerCount(), 21);

    const KDuzTimeMarker* first = settings.GetTimeMarker(0);
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(first->mName.Buffer(), "Start");
    EXPECT_EQ(first->mTime.Get(), 100);
    EXPECT_TRUE(first->mLoop);
    EXPECT_EQ(settings.GetTimeMarker(20)->mTime.Get(), 19);

    EXPECT_TRUE(settings.SetCurrentTimeMarker(20));
    EXPECT_EQ(settings.GetCurrentTimeMarker(), 20);
    settings.RemoveAllTimeMarkers();
    EXPECT_EQ(settings.GetTimeMarkerCount(), 0);
    EXPECT_EQ(settings.GetCurrentTimeMarker(), -1);
}

TEST(KDuzGlobalTimeSettingsTest, IndicesOutOfRangeAreRefused) {
    KDuzGlobalTimeSettings settings;
    EXPECT_FALSE(settings.SetCurrentTimeMarker(0));   // empty list
    EXPECT_EQ(settings.GetError().GetLastErrorIndex(), KDuzGlobalTimeSettings::eIndexOutOfRange);
    EXPECT_STREQ(settings.GetError().GetLastErrorString(), "Index out of range.");
    EXPECT_EQ(settings.GetCurrentTimeMarker(), -1);

    settings.AddTimeMarker(Marker("a", 0, false));
    ASSERT_TRUE(settings.SetCurrentTimeMarker(0));
    for (int index : {1, -1, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()}) {
        SCOPED_TRACE(index);
        settings.GetError().ClearError();
        EXPECT_FALSE(settings.SetCurrentTimeMarker(index));
        EXPECT_EQ(settings.GetCurrentTimeMarker(), 0);   // a failed set keeps the value
        EXPECT_EQ(settings.GetTimeMarker(index), nullptr);
        EXPECT_EQ(settings.GetError().GetLastErrorIndex(), KDuzGlobalTimeSettings::eIndexOutOfRange);
    }
}

TEST(KDuzGlobalTimeSettingsTest, RestoreKeepsTheTimelineSpan) {
    KDuzGlobalTimeSettings settings;
    settings.SetTimeMode(ePal);
    settings.SetTimeFormat(eTimeCode);
    settings.SetSnapOnFrames(1);
    settings.AddTimeMarker(Marker("a", 5, false));
    settings.SetCurrentTimeMarker(0);
    settings.SetTimelineDefaultTimeSpan(KDuzTimeSpan{KTime(-10), KTime(500)});

    settings.RestoreDefaultSettings();
    EXPECT_EQ(settings.GetTimeMode(), eFrames30);
    EXPECT_EQ(settings.GetTimeFormat(), eFrameCount);
    EXPECT_EQ(settings.GetSnapOnFrames(), 0);
    EXPECT_EQ(settings.GetTimeMarkerCount(), 0);
    EXPECT_EQ(settings.GetCurrentTimeMarker(), -1);
    KDuzTimeSpan span;
    settings.GetTimelineDefaultTimeSpan(span);
    EXPECT_EQ(span.mStart.Get(), -10);
    EXPECT_EQ(span.mStop.Get(), 500);
}

}  // namespace
}  // namespace duzsdk
