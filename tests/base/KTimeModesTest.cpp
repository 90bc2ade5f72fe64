#include "sdk/base/KTime.h"
#include "sdk/base/KTimeModes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "TimeTestTicks.h"

namespace duzsdk {
namespace {

using test::kSecond;

// Independent copy of the mode tables. Ticks per frame are the second divided
// by the rate (120 x 384884650 = 46186158000, and so on); the 29.97 modes use
// 1541078334, whose rate 46186158000 / 1541078334 is 29.97002617.
struct ModeRow {
    int mode;
    int64_t ticksPerFrame;
    int64_t ticksPerField;  // 0: fields are ignored
    double rate;
    const char* shortName;  // "" when the mode has no named row
    const char* longName;
    int code;
};

constexpr ModeRow kModes[] = {
    {1, 384884650, 0, 120.0, "120", "120 fps", 8},
    {2, 461861580, 0, 100.0, "100", "100 fps", 7},
    {3, 769769300, 0, 60.0, "60", "60 fps", 6},
    {4, 923723160, 0, 50.0, "50", "50 fps", 5},
    {5, 962211625, 0, 48.0, "48", "48 fps", 3},
    {6, 1539538600, 769769300, 30.0, "30", "30 fps", 3},
    {7, 1539538600, 769769300, 30.0, "30 Drop", "30 Drop", 10},
    {8, 1541078334, 770539167, 29.97002617, "29.97 drop", "NTSC Drop", 4},
    {9, 1541078334, 770539167, 29.97002617, "29.97 full", "NTSC Full", 9},
    {10, 1847446320, 923723160, 25.0, "25", "PAL", 2},
    {11, 1924423250, 0, 24.0, "24", "24 fps", 1},
    {12, 46186158, 0, 30.0, "", "", 3},  // no named row: rate reads as 30
    {13, 1926349600, 963174800, 23.976, "23.976", "23.976 fps", 10},
};

TEST(KTimeModes, EveryModeMatchesItsRow)
{
    for (const ModeRow& row : kModes) {
        SCOPED_TRACE(row.mode);
        EXPECT_NEAR(KTimeGetFrameRate(row.mode), row.rate, 1e-8);
        EXPECT_STREQ(KTimeModeToName(row.mode), row.shortName);
        EXPECT_EQ(KTimeModeToCode(row.mode), row.code);

        KTime frame;
        ASSERT_TRUE(frame.SetTime(0, 0, 0, 1, 0, row.mode));
        EXPECT_EQ(frame.Get(), row.ticksPerFrame);
        KTime field;
        ASSERT_TRUE(field.SetTime(0, 0, 0, 0, 1, row.mode));
        EXPECT_EQ(field.Get(), row.ticksPerField);
    }
}

TEST(KTimeModes, WholeRatesDivideTheSecond)
{
    // Every mode but the 29.97 and 23.976 ones has an exact number of frames
    // per second, so one clock second is exactly 46186158000 ticks.
    for (int mode : {1, 2, 3, 4, 5, 6, 7, 10, 11, 12}) {
        SCOPED_TRACE(mode);
        KTime second;
        ASSERT_TRUE(second.SetTime(0, 0, 1, 0, 0, mode));
        EXPECT_EQ(second.Get(), kSecond);
    }
    // 30 frames of 1541078334 ticks: 46232350020.
    KTime ntsc;
    ntsc.SetTime(0, 0, 1, 0, 0, eNtscFull);
    EXPECT_EQ(ntsc.Get(), 46232350020);
    // 24 frames of 1926349600 ticks: 46232390400.
    KTime film;
    film.SetTime(0, 0, 1, 0, 0, eFilmDrop);
    EXPECT_EQ(film.Get(), 46232390400);
}

TEST(KTimeModes, DefaultAndUnknownModes)
{
    EXPECT_EQ(KTimeGetGlobalTimeMode(), eFrames30);
    EXPECT_EQ(KTimeGetGlobalTimeStringFormat(), eFrameCount);
    EXPECT_EQ(KTimeGetFrameRate(0), 30.0);
    for (int mode : {-1, 14, 1000}) {
        SCOPED_TRACE(mode);
        EXPECT_EQ(KTimeGetFrameRate(mode), 30.0);
        EXPECT_STREQ(KTimeModeToName(mode), "");
        EXPECT_EQ(KTimeModeToCode(mode), 3);
        EXPECT_EQ(KTimeModeGetClock(mode), nullptr);
        KTime time(77);
        EXPECT_FALSE(time.SetTime(1, 2, 3, 4, 0, mode));
        EXPECT_FALSE(time.SetTimeWithResidual(1, 2, 3, 4, 0, 50, mode));
        EXPECT_EQ(time.Get(), 77);
    }
    KTime frame;
    frame.SetTime(0, 0, 0, 1, 0, eDefaultMode);
    EXPECT_EQ(frame.Get(), 1539538600);
}

TEST(KTimeModes, FromName)
{
    struct Case {
        const char* name;
        int mode;
    };
    const Case cases[] = {
        {"120", 1}, {"120 fps", 1}, {"100", 2}, {"60 fps", 3}, {"50", 4}, {"48", 5},
        {"30", 6}, {"30 fps", 6}, {"29.97 drop", 8}, {"NTSC Drop", 8}, {"29.97 full", 9},
        {"NTSC Full", 9}, {"25", 10}, {"PAL", 10}, {"24", 11}, {"24 fps", 11},
        {"30 Drop", 7}, {"23.976", 13}, {"23.976 fps", 13},
        // Case-sensitive, whole names only; unknown names give 30 fps.
        {"pal", 6}, {"PAL ", 6}, {"", 6}, {"1000", 6}, {"12", 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(KTimeModeFromName(c.name), c.mode);
    }
    EXPECT_EQ(KTimeModeFromName(nullptr), 6);
}

TEST(KTimeModes, FromCodePrefersTheMarkedRow)
{
    struct Case {
        int code;
        int mode;
    };
    const Case cases[] = {
        {8, 1}, {7, 2}, {6, 3}, {5, 4},
        {3, 6},   // 48 fps shares code 3 but is not preferred
        {4, 8}, {9, 9}, {2, 10}, {1, 11},
        {10, 7},  // 23.976 shares code 10 but is not preferred
        {0, 6}, {11, 6}, {-1, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(KTimeModeFromCode(c.code), c.mode);
    }
}

TEST(KTimeModes, FromFrameRate)
{
    struct Case {
        double rate;
        double tolerance;
        int mode;
    };
    const Case cases[] = {
        {30.0, 0.01, 6},      // 6 comes before 7 and before 12 (which reads as 30)
        {29.97, 0.01, 8},     // first of the two 29.97 modes
        {23.976, 0.0001, 13},
        {24.0, 0.0, 11},
        {25.0, 0.0, 10},
        {48.0, 0.0, 5},
        {119.5, 0.5, 1},      // bounds are inclusive
        {31.0, 1.0, 6},
        {1000.0, 1.0, 0},     // mode 12 has no rate of its own
        {30.0, -1.0, 0},
        {0.0, 0.0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rate);
        EXPECT_EQ(KTimeModeFromFrameRate(c.rate, c.tolerance), c.mode);
    }
}

}  // namespace
}  // namespace duzsdk
