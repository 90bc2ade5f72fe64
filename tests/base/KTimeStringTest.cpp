#include "sdk/base/KTime.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "TimeTestTicks.h"

namespace duzsdk {
namespace {

using test::kFrame30;
using test::kFrameNtsc;
using test::kMax;
using test::kMinusInf;
using test::kSecond;
constexpr int64_t kUnchanged = 424242;      // the time before a parse that must fail

constexpr int kFrameCount = eFrameCount;
constexpr int kTimeCode = eTimeCode;

std::string Format(int64_t ticks, int type, int mode, int format)
{
    char buffer[KTime::kTimeStringCapacity];
    std::memset(buffer, 'x', sizeof(buffer));
    const char* text = KTime(ticks).GetTimeString(buffer, sizeof(buffer), type, mode, format);
    EXPECT_EQ(text, buffer);
    return text;
}

struct FormatCase {
    int64_t ticks;
    int type;
    int mode;
    int format;
    const char* text;
};

constexpr FormatCase kFormats[] = {
    // Frame counts. Time zero is "0".
    {0, 4, 6, kFrameCount, "0"},
    {0, 5, 6, kFrameCount, "0"},
    {0, 6, 6, kFrameCount, "0 (00)"},
    {0, 4, 0, eDefaultTimeFormat, "0"},  // default mode and format
    // 1.5 frames at 30 fps.
    {kFrame30 + kFrame30 / 2, 6, 6, kFrameCount, "1 (50)"},
    {kFrame30 + kFrame30 / 2, 5, 6, kFrameCount, "1*"},
    {kFrame30 + kFrame30 / 2, 1, 6, kFrameCount, "1"},
    {kFrame30 + kFrame30 / 2, 6, 0, eDefaultTimeFormat, "1 (50)"},
    // Negative times in sign and magnitude: -1.25 frames.
    {-kFrame30 - kFrame30 / 4, 6, 6, kFrameCount, "- 1 (25)"},
    {-kFrame30 - kFrame30 / 4, 5, 6, kFrameCount, "- 1*"},
    {-kFrame30 - kFrame30 / 4, 4, 6, kFrameCount, "- 1"},
    {-2 * kFrame30, 5, 6, kFrameCount, "-2"},
    {-2 * kFrame30, 6, 6, kFrameCount, "- 2 (00)"},
    {-kFrame30 / 2, 6, 6, kFrameCount, "- 0 (50)"},
    // One second: 1000 frames in mode 12; 24 and a bit in mode 13
    // (46186158000 / 1926349600 = 23.976, residual 97).
    {kSecond, 4, 12, kFrameCount, "1000"},
    {kSecond, 6, 13, kFrameCount, "23 (97)"},
    // Infinities.
    {kMax, 1, 6, kFrameCount, "---"},
    {kMax, 4, 6, kFrameCount, "---"},
    {kMax, 5, 6, kFrameCount, "  ---"},
    {kMax, 6, 6, kFrameCount, "  --- (--)"},
    {kMinusInf, 4, 6, kFrameCount, "---"},
    {kMinusInf, 5, 6, kFrameCount, "- ---"},
    {kMinusInf, 6, 6, kFrameCount, "- --- (--)"},
    {INT64_MIN, 6, 6, kFrameCount, "- --- (--)"},
    // Only types 1 to 6 exist.
    {0, 0, 6, kFrameCount, ""},
    {0, 7, 6, kTimeCode, ""},

    // Time code: 1 h 2 min 3 s frame 4.
    {3723 * kSecond + 4 * kFrame30, 1, 6, kTimeCode, "001"},
    {3723 * kSecond + 4 * kFrame30, 2, 6, kTimeCode, "001:02"},
    {3723 * kSecond + 4 * kFrame30, 3, 6, kTimeCode, "001:02:03"},
    {3723 * kSecond + 4 * kFrame30, 4, 6, kTimeCode, "001:02:03.04"},
    {3723 * kSecond + 4 * kFrame30, 5, 6, kTimeCode, "001:02:03.04"},
    {3723 * kSecond + 4 * kFrame30, 6, 6, kTimeCode, "001:02:03.04 (00)"},
    {kFrame30 + kFrame30 / 2, 5, 6, kTimeCode, "000:00:00.01*"},
    {kFrame30 + kFrame30 / 2, 6, 6, kTimeCode, "000:00:00.01 (50)"},
    // Negative time codes keep floored hours: one frame before zero.
    {-kFrame30, 4, 6, kTimeCode, "-01:59:59.29"},
    {-kFrame30, 6, 6, kTimeCode, "-01:59:59.29 (00)"},
    // Frame 1800 in NTSC Drop is 00:01:00;02.
    {1800 * kFrameNtsc, 4, 8, kTimeCode, "000:01:00.02"},
    {1800 * kFrameNtsc, 4, 9, kTimeCode, "000:01:00.00"},
    {kMax, 5, 6, kTimeCode, "---:--:--.--"},
    {kMax, 6, 6, kTimeCode, "---:--:--.-- (--)"},
    {kMinusInf, 5, 6, kTimeCode, "- ---:--:--.--"},
    {kMinusInf, 6, 6, kTimeCode, "- ---:--:--.-- (--)"},
    // An unknown mode writes nothing in time code.
    {kSecond, 4, 14, kTimeCode, ""},
};

TEST(KTimeString, Format)
{
    for (const FormatCase& c : kFormats) {
        SCOPED_TRACE(::testing::Message() << c.ticks << " type " << c.type << " mode " << c.mode
                                          << " format " << c.format);
        EXPECT_EQ(Format(c.ticks, c.type, c.mode, c.format), c.text);
    }
}

TEST(KTimeString, FormatRespectsTheBufferSize)
{
    const KTime time(3723 * kSecond + 4 * kFrame30);
    char small[4] = {'x', 'x', 'x', 'x'};
    EXPECT_STREQ(time.GetTimeString(small, sizeof(small), 4, 6, kTimeCode), "001");

    char one[1] = {'x'};
    EXPECT_STREQ(KTime(-kFrame30).GetTimeString(one, sizeof(one), 4, 6, kTimeCode), "");

    char untouched[2] = {'x', 'y'};
    EXPECT_EQ(time.GetTimeString(untouched, 0, 4, 6, kTimeCode), untouched);
    EXPECT_EQ(untouched[0], 'x');
    EXPECT_EQ(time.GetTimeString(nullptr, 10, 4, 6, kTimeCode), nullptr);
}

TEST(KTimeString, FormatAsString)
{
    const KTime time(-kFrame30 - kFrame30 / 4);
    EXPECT_STREQ(time.GetTimeString(6, 6, kFrameCount).Buffer(), "- 1 (25)");
    EXPECT_STREQ(time.GetTimeString(9).Buffer(), "");
}

TEST(KTimeString, LongestTextsFit)
{
    // The widest texts: time codes of the extreme times with a residual, and
    // frame counts of the extreme times at 1000 frames per second.
    for (int64_t ticks : {kMax - 1, INT64_MIN + 2}) {
        for (int mode = 1; mode <= 13; ++mode) {
            for (int format : {kFrameCount, kTimeCode}) {
                char buffer[256];
                KTime(ticks).GetTimeString(buffer, sizeof(buffer), 6, mode, format);
                EXPECT_LT(std::strlen(buffer), KTime::kTimeStringCapacity) << buffer;
            }
        }
    }
}

struct ParseCase {
    const char* text;
    int mode;
    int format;
    int64_t ticks;  // kUnchanged when the text must be refused
};

constexpr ParseCase kParses[] = {
    // Frame counts.
    {"0", 6, kFrameCount, 0},
    {"12", 6, kFrameCount, 12 * kFrame30},
    {"12", 0, eDefaultTimeFormat, 12 * kFrame30},
    {" +3", 6, kFrameCount, 3 * kFrame30},
    {"12*", 6, kFrameCount, 12 * kFrame30},
    {"1 (50)", 6, kFrameCount, kFrame30 + kFrame30 / 2},
    {"1.5", 6, kFrameCount, kFrame30 + kFrame30 / 2},
    {".5", 6, kFrameCount, kFrame30 / 2},
    {"(50)", 6, kFrameCount, kFrame30 / 2},
    {"7.", 6, kFrameCount, 7 * kFrame30},
    // Fractions go by their digits: ".05" is 5 hundredths, ".123" is 12.
    // 5 x 1539538600 / 100 = 76976930; 12 x 1539538600 / 100 = 184744632.
    {"1.05", 6, kFrameCount, kFrame30 + 76976930},
    {"1.123", 6, kFrameCount, kFrame30 + 184744632},
    // A residual beyond a frame is taken as it is.
    {"1 (150)", 6, kFrameCount, kFrame30 * 5 / 2},
    // 1541078334 / 100 rounded up is 15410784.
    {"1 (1)", 8, kFrameCount, kFrameNtsc + 15410784},
    // The sign applies to frames and residual together.
    {"-0.5", 6, kFrameCount, -kFrame30 / 2},
    {"-1.5", 6, kFrameCount, -kFrame30 - kFrame30 / 2},
    {"- 1 (25)", 6, kFrameCount, -kFrame30 - kFrame30 / 4},
    {"-(50)", 6, kFrameCount, -kFrame30 / 2},
    {"-2", 6, kFrameCount, -2 * kFrame30},
    {"- 2", 6, kFrameCount, -2 * kFrame30},
    // 18 digits of frames go beyond the range and saturate.
    {"123456789012345678", 6, kFrameCount, kMax},
    {"-123456789012345678", 6, kFrameCount, kUnchanged},  // 19 characters
    {"", 6, kFrameCount, kUnchanged},
    {"abc", 6, kFrameCount, kUnchanged},
    {"---", 6, kFrameCount, kUnchanged},
    {"- ---", 6, kFrameCount, kUnchanged},
    {"  --- (--)", 6, kFrameCount, kUnchanged},
    {"--5", 6, kFrameCount, kUnchanged},
    {"1 (x)", 6, kFrameCount, kUnchanged},
    {"1.x", 6, kFrameCount, kUnchanged},
    {"5", 14, kFrameCount, kUnchanged},

    // Time codes: "5" is 5 seconds, "1:2" one minute two seconds.
    {"5", 6, kTimeCode, 5 * kSecond},
    {"1:2", 6, kTimeCode, 62 * kSecond},
    {"1;2", 6, kTimeCode, 62 * kSecond},
    {"01:02:03.04", 6, kTimeCode, 3723 * kSecond + 4 * kFrame30},
    {"001:02:03.04*", 6, kTimeCode, 3723 * kSecond + 4 * kFrame30},
    {"01:02:03.04 (50)", 6, kTimeCode, 3723 * kSecond + 4 * kFrame30 + kFrame30 / 2},
    // A single dot separates seconds and frames; a leading one means frames.
    {"1.5", 6, kTimeCode, kSecond + 5 * kFrame30},
    {".5", 6, kTimeCode, 5 * kFrame30},
    // A third dot brings a fraction of a frame: ".5" is 50 hundredths.
    {"0:0:0.1.5", 6, kTimeCode, kFrame30 + kFrame30 / 2},
    {"0:0:0.1.25 (25)", 6, kTimeCode, kFrame30 + kFrame30 / 2},
    {"-01:59:59.29", 6, kTimeCode, -kFrame30},
    {"-5", 6, kTimeCode, -5 * kSecond},
    // NTSC Drop: frames 0 and 1 of minute 1 do not exist and read as frame 2.
    {"00:01:00.00", 8, kTimeCode, 1800 * kFrameNtsc},
    {"00:10:00.00", 8, kTimeCode, 17982 * kFrameNtsc},
    // Colon-separated frames are not frames: only dots count them, so the
    // text below is hours 0, minutes 0, seconds 0 and nothing more.
    {"0:0:0:5:0", 6, kTimeCode, 0},
    {"999999999:0:0", 6, kTimeCode, kMax},
    {"000000000000000005", 6, kTimeCode, 5 * kSecond},
    {"---:--:--.--", 6, kTimeCode, kUnchanged},
    {"a:b", 6, kTimeCode, kUnchanged},
    {"1:2 (zz)", 6, kTimeCode, kUnchanged},
    {"1234567890123456789", 6, kTimeCode, kUnchanged},
    {"5", 0, kTimeCode, 5 * kSecond},
    {"5", -1, kTimeCode, kUnchanged},
};

TEST(KTimeString, Parse)
{
    for (const ParseCase& c : kParses) {
        SCOPED_TRACE(::testing::Message() << "'" << c.text << "' mode " << c.mode << " format "
                                          << c.format);
        KTime time(kUnchanged);
        const bool parsed = time.SetTimeString(c.text, c.mode, c.format);
        EXPECT_EQ(parsed, c.ticks != kUnchanged);
        EXPECT_EQ(time.Get(), c.ticks);
    }
    KTime time(kUnchanged);
    EXPECT_FALSE(time.SetTimeString(nullptr, 6, kFrameCount));
    EXPECT_EQ(time.Get(), kUnchanged);
}

TEST(KTimeString, WrittenTextsReadBack)
{
    // Whole frames (and half frames where the mode has fields) around the
    // points where drop-frame counting skips numbers, in every mode, both
    // signs, both formats. Type 6 carries the residual.
    const int64_t frameCounts[] = {0, 1, 29, 30, 1799, 1800, 1801, 17981, 17982, 107891,
                                   107892, 123456};
    for (int mode = 1; mode <= 13; ++mode) {
        KTime oneFrame;
        ASSERT_TRUE(oneFrame.SetTime(0, 0, 0, 1, 0, mode));
        KTime oneField;
        oneField.SetTime(0, 0, 0, 0, 1, mode);
        for (int64_t frames : frameCounts) {
            for (int sign : {1, -1}) {
                for (int64_t halves : {int64_t(0), oneField.Get()}) {
                    const KTime time((frames * oneFrame.Get() + halves) * sign);
                    for (int format : {kFrameCount, kTimeCode}) {
                        char text[KTime::kTimeStringCapacity];
                        time.GetTimeString(text, sizeof(text), 6, mode, format);
                        SCOPED_TRACE(::testing::Message() << "mode " << mode << " '" << text << "'");
                        KTime back(kUnchanged);
                        ASSERT_TRUE(back.SetTimeString(text, mode, format));
                        EXPECT_EQ(back.Get(), time.Get());
                    }
                }
            }
        }
    }
}

}  // namespace
}  // namespace duzsdk
