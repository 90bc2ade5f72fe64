#include "sdk/base/KTime.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <limits>

#include "TimeTestTicks.h"

namespace duzsdk {
namespace {

using test::kFrame30;
using test::kFrameNtsc;
using test::kMax;
using test::kMinusInf;
using test::kSecond;
constexpr int64_t kFrameFilm = 1926349600;  // mode 13

// ---- arithmetic ------------------------------------------------------------

TEST(KTime, ArithmeticSaturatesInsteadOfWrapping)
{
    enum Op { Add, Sub, Mul, Div };
    struct Case {
        Op op;
        int64_t a;
        int64_t b;
        int64_t expected;
    };
    const Case cases[] = {
        {Add, 5, 7, 12},
        {Add, -5, 3, -2},
        {Add, kMax, 1, kMax},
        {Add, kMax - 1, 1, kMax},
        {Add, INT64_MIN, -1, kMinusInf},
        {Add, kMax, INT64_MIN, -1},
        {Sub, 5, 7, -2},
        {Sub, INT64_MIN, 1, kMinusInf},
        {Sub, 0, INT64_MIN, kMax},  // 2^63 does not fit
        {Sub, kMax, -1, kMax},
        {Mul, kSecond, 3, 3 * kSecond},
        {Mul, -kSecond, kSecond, kMinusInf},  // about -2.1e21
        {Mul, kSecond, kSecond, kMax},
        {Mul, INT64_MIN, -1, kMax},
        {Mul, 1LL << 31, 1LL << 31, 1LL << 62},
        {Div, 7 * kSecond, kSecond, 7},
        {Div, -7, 2, -3},  // truncated toward zero
        {Div, 7, 0, 0},    // a zero divisor gives zero
        {Div, INT64_MIN, -1, kMax},
        {Div, INT64_MIN, 1, INT64_MIN},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.op << ": " << c.a << ", " << c.b);
        const KTime a(c.a);
        const KTime b(c.b);
        KTime result;
        switch (c.op) {
        case Add: result = a.Add(b); EXPECT_EQ((a + b).Get(), c.expected); break;
        case Sub: result = a.Subtract(b); EXPECT_EQ((a - b).Get(), c.expected); break;
        case Mul: result = a.Multiply(b); EXPECT_EQ((a * b).Get(), c.expected); break;
        case Div: result = a.Divide(b); EXPECT_EQ((a / b).Get(), c.expected); break;
        }
        EXPECT_EQ(result.Get(), c.expected);
    }
}

TEST(KTime, MultiplyIntAndAbs)
{
    EXPECT_EQ(KTime(kFrame30).MultiplyInt(30).Get(), kSecond);
    EXPECT_EQ(KTime(kFrame30).MultiplyInt(-2).Get(), -2 * kFrame30);
    EXPECT_EQ((KTime(kFrame30) * INT32_MAX).Get(), kFrame30 * int64_t(INT32_MAX));
    EXPECT_EQ(KTime(kMax / 2).MultiplyInt(3).Get(), kMax);
    EXPECT_EQ(KTime(kMax).MultiplyInt(INT32_MIN).Get(), kMinusInf);

    EXPECT_EQ(KTimeAbs(KTime(-5)).Get(), 5);
    EXPECT_EQ(KTimeAbs(KTime(5)).Get(), 5);
    EXPECT_EQ(KTimeAbs(KTime(INT64_MIN)).Get(), kMax);
    EXPECT_EQ((-KTime(INT64_MIN)).Get(), kMax);

    KTime sum(10);
    sum += KTime(5);
    sum -= KTime(20);
    EXPECT_EQ(sum.Get(), -5);
}

TEST(KTime, ComparisonsAreSigned)
{
    const KTime early(-1);
    const KTime late(1);
    EXPECT_TRUE(early.IsLessThan(late));
    EXPECT_FALSE(late.IsLessThan(early));
    EXPECT_FALSE(late.IsLessThan(late));
    EXPECT_TRUE(KTimeIsGreater(late, early));
    EXPECT_FALSE(KTimeIsGreater(early, late));
    EXPECT_FALSE(KTimeIsGreater(late, late));
    EXPECT_TRUE(kTimeMinusInfinite < kTimeZero);
    EXPECT_TRUE(kTimeInfinite > kTimeOneSecond);

    KTime record(99);
    KTimeMin(record, late, early);
    EXPECT_EQ(record, early);
    KTimeMin(record, kTimeMinusInfinite, late);
    EXPECT_EQ(record, kTimeMinusInfinite);
}

// ---- seconds ---------------------------------------------------------------

TEST(KTime, Seconds)
{
    EXPECT_DOUBLE_EQ(KTime(kSecond).GetSecondDouble(), 1.0);
    EXPECT_DOUBLE_EQ(KTime(-kSecond / 2).GetSecondDouble(), -0.5);

    struct Case {
        double seconds;
        int64_t ticks;
    };
    const Case cases[] = {
        {1.0, kSecond},
        {0.03333333333333333, kFrame30},  // the writers' sampling period
        {-1.5, -69279237000},             // 1.5 x 46186158000
        {1e-11, 0},                       // 0.46 ticks, truncated toward zero
        {-1e-11, 0},
        {2.5e-11, 1},                     // 1.15 ticks
        {-2.5e-11, -1},
        {2e8, kMax},                      // 9.24e18 ticks is beyond 2^63
        {-2e8, kMinusInf},
        {1e300, kMax},
        {std::numeric_limits<double>::infinity(), kMax},
        {-std::numeric_limits<double>::infinity(), kMinusInf},
        {std::numeric_limits<double>::quiet_NaN(), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.seconds);
        KTime time(123);
        time.SetSecondDouble(c.seconds);
        EXPECT_EQ(time.Get(), c.ticks);
    }
}

// ---- clock parts -----------------------------------------------------------

struct Parts {
    int h, m, s, f, d, residual;
};

struct SplitCase {
    int mode;
    int64_t ticks;
    Parts parts;
};

// Expected parts worked out by hand from the frame lengths above.
constexpr SplitCase kSplits[] = {
    {6, 0, {0, 0, 0, 0, 0, 0}},
    // One frame before zero: floored hours, everything else positive.
    {6, -kFrame30, {-1, 59, 59, 29, 0, 0}},
    // 1.25 frames: quarter frame = 384884650 ticks, less than a field.
    {6, kFrame30 + kFrame30 / 4, {0, 0, 0, 1, 0, 25}},
    // 1.5 frames: field 1 counts 50 hundredths.
    {6, kFrame30 + kFrame30 / 2, {0, 0, 0, 1, 1, 50}},
    // 1.75 frames: field 1, then a quarter frame.
    {6, kFrame30 + 3 * kFrame30 / 4, {0, 0, 0, 1, 1, 75}},
    // 1 h 2 min 3 s frame 4 at 120 fps: 3723 s + 4 x 384884650.
    {1, 3723 * kSecond + 4 * 384884650, {1, 2, 3, 4, 0, 0}},
    // 24 fps has no fields: 1.5 frames is frame 1, residual 50, field 0.
    {11, 1924423250LL + 962211625, {0, 0, 0, 1, 0, 50}},
    // 1000 per second: 1001 frames of 46186158 ticks.
    {12, 1001LL * 46186158, {0, 0, 1, 1, 0, 0}},
    // PAL: 25 frames of 1847446320 per second; frame 24 field 1.
    {10, 24 * 1847446320LL + 923723160, {0, 0, 0, 24, 1, 50}},
    // NTSC Full counts 30 frames a second, 1800 a minute, 108000 an hour.
    {9, 1800 * kFrameNtsc, {0, 1, 0, 0, 0, 0}},
    {9, 108000 * kFrameNtsc + 31 * kFrameNtsc, {1, 0, 1, 1, 0, 0}},
    // NTSC Drop: frame 1800 is 00:01:00;02 (numbers 0 and 1 are dropped).
    {8, 1799 * kFrameNtsc, {0, 0, 59, 29, 0, 0}},
    {8, 1800 * kFrameNtsc, {0, 1, 0, 2, 0, 0}},
    // 1800 + 28 frames: 00:01:01;00.
    {8, 1828 * kFrameNtsc, {0, 1, 1, 0, 0, 0}},
    // 1800 + 1798 = 3598: 00:02:00;02.
    {8, 3598 * kFrameNtsc, {0, 2, 0, 2, 0, 0}},
    // Last frame of the ten minutes, then the tenth minute keeps frame 0.
    {8, 17981 * kFrameNtsc, {0, 9, 59, 29, 0, 0}},
    {8, 17982 * kFrameNtsc, {0, 10, 0, 0, 0, 0}},
    // 17982 + 1800 = 19782: 00:11:00;02.
    {8, 19782 * kFrameNtsc, {0, 11, 0, 2, 0, 0}},
    // An hour is 6 x 17982 = 107892 frames.
    {8, 107892 * kFrameNtsc, {1, 0, 0, 0, 0, 0}},
    {8, -kFrameNtsc, {-1, 59, 59, 29, 0, 0}},
    {7, 1800 * kFrame30 + kFrame30 / 2, {0, 1, 0, 2, 1, 50}},
    // 23.976: a minute is 1440 frames, a short one 1438, ten minutes 14382.
    {13, 1440 * kFrameFilm, {0, 1, 0, 2, 0, 0}},
    {13, 14381 * kFrameFilm, {0, 9, 59, 23, 0, 0}},
    {13, 14382 * kFrameFilm, {0, 10, 0, 0, 0, 0}},
    {13, 86292 * kFrameFilm, {1, 0, 0, 0, 0, 0}},
};

TEST(KTime, GetTimeSplitsIntoClockParts)
{
    for (const SplitCase& c : kSplits) {
        SCOPED_TRACE(::testing::Message() << "mode " << c.mode << " ticks " << c.ticks);
        const KTime time(c.ticks);
        int h = -7, m = -7, s = -7, f = -7, d = -7, r = -7;
        ASSERT_TRUE(time.GetTime(h, m, s, f, d, r, c.mode));
        EXPECT_EQ(h, c.parts.h);
        EXPECT_EQ(m, c.parts.m);
        EXPECT_EQ(s, c.parts.s);
        EXPECT_EQ(f, c.parts.f);
        EXPECT_EQ(d, c.parts.d);
        EXPECT_EQ(r, c.parts.residual);
        EXPECT_EQ(time.GetFrame(false, c.mode), c.parts.f);
        EXPECT_EQ(time.GetResidual(c.mode), c.parts.residual);

        // The parts compose back to the same time.
        KTime back;
        ASSERT_TRUE(back.SetTimeWithResidual(c.parts.h, c.parts.m, c.parts.s, c.parts.f, 0,
                                             c.parts.residual, c.mode));
        EXPECT_EQ(back.Get(), c.ticks);
    }
}

TEST(KTime, DropFrameSetTimeSkipsDroppedNumbers)
{
    struct Case {
        int mode;
        int h, m, s, f, d;
        int64_t frames;   // expected time in whole frames
        int64_t fields;   // plus this many half frames
    };
    const Case cases[] = {
        // In mode 8 frames 0 and 1 of 00:01:00 are the same time as frame 2.
        {8, 0, 1, 0, 0, 0, 1800, 0},
        {8, 0, 1, 0, 1, 0, 1800, 0},
        {8, 0, 1, 0, 2, 0, 1800, 0},
        {8, 0, 1, 0, 3, 0, 1801, 0},
        // 1800 + 30 - 2 + 0.
        {8, 0, 1, 1, 0, 0, 1828, 0},
        // 1800 + 8 x 1798 + 59 x 30 - 2 + 29.
        {8, 0, 9, 59, 29, 0, 17981, 0},
        {8, 0, 10, 0, 0, 0, 17982, 0},
        {8, 0, 0, 0, 0, 1, 0, 1},
        {8, 2, 0, 0, 0, 0, 2 * 107892, 0},
        {7, 0, 10, 0, 0, 0, 17982, 0},
        {7, 0, 1, 0, 0, 1, 1800, 1},
        // 1440 + 8 x 1438 + 59 x 24 - 2 + 23.
        {13, 0, 9, 59, 23, 0, 14381, 0},
        {13, 0, 1, 0, 1, 0, 1440, 0},
        {13, 0, 20, 0, 0, 0, 2 * 14382, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "mode " << c.mode << " " << c.h << ":" << c.m << ":"
                                          << c.s << ";" << c.f << "." << c.d);
        const int64_t frame = c.mode == 8 ? kFrameNtsc : c.mode == 7 ? kFrame30 : kFrameFilm;
        KTime time;
        ASSERT_TRUE(time.SetTime(c.h, c.m, c.s, c.f, c.d, c.mode));
        EXPECT_EQ(time.Get(), c.frames * frame + c.fields * (frame / 2));
        EXPECT_EQ(time.GetFrame(true, c.mode), c.frames);
    }
}

TEST(KTime, SetTimeIsLinearInNonDropModes)
{
    // ((h x 60 + m) x 60 + s) seconds plus frames plus fields.
    KTime time;
    ASSERT_TRUE(time.SetTime(1, 2, 3, 4, 1, eFrames30));
    EXPECT_EQ(time.Get(), 3723 * kSecond + 4 * kFrame30 + kFrame30 / 2);
    // Fields are ignored where the mode has none.
    ASSERT_TRUE(time.SetTime(0, 0, 2, 5, 1, eFrames24));
    EXPECT_EQ(time.Get(), 2 * kSecond + 5 * 1924423250LL);
    // Parts need not be normalised: 90 s and -1 frame.
    ASSERT_TRUE(time.SetTime(0, 0, 90, -1, 0, eFrames60));
    EXPECT_EQ(time.Get(), 90 * kSecond - 769769300);
    ASSERT_TRUE(time.SetTime(-1, 0, 0, 0, 0, ePal));
    EXPECT_EQ(time.Get(), -3600 * kSecond);
}

TEST(KTime, SetTimeSaturatesHugeParts)
{
    KTime time;
    ASSERT_TRUE(time.SetTime(INT_MAX, INT_MAX, INT_MAX, INT_MAX, INT_MAX, eFrames30));
    EXPECT_EQ(time.Get(), kMax);
    ASSERT_TRUE(time.SetTime(INT_MIN, INT_MIN, INT_MIN, INT_MIN, INT_MIN, eNtscDrop));
    EXPECT_EQ(time.Get(), kMinusInf);
    ASSERT_TRUE(time.SetTimeWithResidual(0, 0, 0, 0, 0, INT_MAX, eFrames1000));
    // INT_MAX hundredths of 46186158 ticks: 2147483647 x 46186158 / 100, rounded up.
    EXPECT_EQ(time.Get(), (2147483647LL * 46186158 + 99) / 100);
}

TEST(KTime, ResidualRoundsAwayFromZero)
{
    struct Case {
        int mode;
        int residual;
        int64_t ticks;
    };
    const Case cases[] = {
        {6, 50, kFrame30 / 2},
        {6, -50, -kFrame30 / 2},  // minus half a frame exactly, not one tick short
        {6, 100, kFrame30},
        // 1541078334 / 100 = 15410783.34, rounded up to 15410784.
        {8, 1, 15410784},
        {8, -1, -15410784},
        {12, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "mode " << c.mode << " residual " << c.residual);
        KTime time;
        ASSERT_TRUE(time.SetTimeWithResidual(0, 0, 0, 0, 0, c.residual, c.mode));
        EXPECT_EQ(time.Get(), c.ticks);
    }
}

TEST(KTime, GetFrameAndUnknownModes)
{
    // Total frames truncate toward zero: -1.5 frames is frame -1.
    EXPECT_EQ(KTime(-kFrame30 - kFrame30 / 2).GetFrame(true, eFrames30), -1);
    EXPECT_EQ(KTime(kSecond).GetFrame(true, eFrames1000), 1000);
    EXPECT_EQ(KTime(kSecond).GetFrame(true, eDefaultMode), 30);
    // Frame within its second: 95 frames at 30 fps is 3 s frame 5.
    EXPECT_EQ(KTime(95 * kFrame30).GetFrame(false, eDefaultMode), 5);

    const KTime time(12345 * kFrame30);
    EXPECT_EQ(time.GetFrame(true, 14), 0);
    EXPECT_EQ(time.GetFrame(false, 14), 0);
    EXPECT_EQ(time.GetResidual(-3), 0);
    int h = 1, m = 1, s = 1, f = 1, d = 1, r = 1;
    EXPECT_FALSE(time.GetTime(h, m, s, f, d, r, 14));
    EXPECT_EQ(h + m + s + f + d + r, 0);
}

TEST(KTime, ExtremeTimesSplitWithoutOverflow)
{
    // An hour of 30 fps is 3600 x 46186158000 = 166270168800000 ticks;
    // 2^63 / that is 55471.7, so hours stay far inside an int.
    for (int mode = 1; mode <= 13; ++mode) {
        for (int64_t ticks : {kMax, INT64_MIN, kMinusInf}) {
            SCOPED_TRACE(::testing::Message() << "mode " << mode << " ticks " << ticks);
            int h, m, s, f, d, r;
            ASSERT_TRUE(KTime(ticks).GetTime(h, m, s, f, d, r, mode));
            EXPECT_GT(std::abs(h), 50000);
            EXPECT_LT(std::abs(h), 60000);
            EXPECT_GE(m, 0);
            EXPECT_LT(m, 60);
            EXPECT_GE(s, 0);
            EXPECT_LT(s, 60);
            EXPECT_GE(r, 0);
            EXPECT_LT(r, 100);
        }
    }
}

}  // namespace
}  // namespace duzsdk
