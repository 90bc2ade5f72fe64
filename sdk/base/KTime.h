#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>

#include "sdk/base/KString.h"
#include "sdk/base/KTimeModes.h"

namespace duzsdk {

// The SDK's time value: a signed count of ticks, 46186158000 to the second.
// The largest value stands for plus infinity; the two smallest for minus
// infinity. Arithmetic that would leave the 64-bit range stops at the
// infinity values instead of wrapping.
class KTime {
public:
    static constexpr int64_t kTicksPerSecond = 46186158000;
    static constexpr int64_t kInfiniteTicks = INT64_MAX;
    static constexpr int64_t kMinusInfiniteTicks = INT64_MIN + 1;
    // Room for the longest text GetTimeString writes, terminator included.
    static constexpr size_t kTimeStringCapacity = 40;

    // What the text forms show (the `type` of GetTimeString).
    enum ETimeStringType : int {
        eHours = 1,
        eHoursMinutes = 2,
        eHoursMinutesSeconds = 3,
        eFrames = 4,              // the whole time down to frames
        eFramesMarked = 5,        // as eFrames, "*" when a part of a frame remains
        eFramesResidual = 6,      // as eFrames, then the hundredths of a frame "(nn)"
    };

    constexpr KTime() = default;
    constexpr explicit KTime(int64_t ticks) : ticks_(ticks) {}

    constexpr int64_t Get() const { return ticks_; }
    constexpr void Set(int64_t ticks) { ticks_ = ticks; }

    // Saturating 64-bit arithmetic. Divide by a zero time gives zero.
    KTime Add(KTime other) const;
    KTime Subtract(KTime other) const;
    KTime MultiplyInt(int32_t factor) const;
    KTime Multiply(KTime other) const;
    KTime Divide(KTime other) const;

    constexpr bool IsLessThan(KTime other) const { return ticks_ < other.ticks_; }

    double GetSecondDouble() const;
    // Truncates toward zero; NaN gives 0, values beyond the range saturate.
    void SetSecondDouble(double seconds);

    // Sets the time from clock parts in `mode` (0 meaning the default mode).
    // False, and the time unchanged, for an unknown mode.
    bool SetTime(int hours, int minutes, int seconds, int frames, int fields = 0,
                 int mode = eDefaultMode);
    // As SetTime, plus `residual` hundredths of a frame.
    bool SetTimeWithResidual(int hours, int minutes, int seconds, int frames, int fields,
                             int residual, int mode = eDefaultMode);
    // Splits the time into clock parts. Hours are floored, so a negative time
    // has negative hours and non-negative other parts. Residual is in
    // hundredths of a frame. False, and all parts 0, for an unknown mode.
    bool GetTime(int& hours, int& minutes, int& seconds, int& frames, int& fields, int& residual,
                 int mode = eDefaultMode) const;
    // With `total`, the number of whole frames (truncated toward zero);
    // otherwise the frame within its second. 0 for an unknown mode.
    int64_t GetFrame(bool total, int mode = eDefaultMode) const;
    int GetResidual(int mode = eDefaultMode) const;

    // Writes the text form into `buffer` (at most `size` bytes, always
    // terminated when size > 0) and returns `buffer`. `type` is an
    // ETimeStringType; other types give "". `format` is an ETimeStringFormat.
    char* GetTimeString(char* buffer, size_t size, int type, int mode = eDefaultMode,
                        int format = eDefaultTimeFormat) const;
    // The same text as a string.
    KString GetTimeString(int type, int mode = eDefaultMode, int format = eDefaultTimeFormat) const;
    // Reads a text form of 1 to 18 characters. False, and the time unchanged,
    // when the text has another length or cannot be read.
    bool SetTimeString(const char* text, int mode = eDefaultMode, int format = eDefaultTimeFormat);

    constexpr auto operator<=>(const KTime&) const = default;

    KTime operator+(KTime other) const { return Add(other); }
    KTime operator-(KTime other) const { return Subtract(other); }
    KTime operator*(KTime other) const { return Multiply(other); }
    KTime operator*(int32_t factor) const { return MultiplyInt(factor); }
    KTime operator/(KTime other) const { return Divide(other); }
    KTime operator-() const { return KTime().Subtract(*this); }
    KTime& operator+=(KTime other) { return *this = Add(other); }
    KTime& operator-=(KTime other) { return *this = Subtract(other); }

private:
    int64_t ticks_ = 0;
};

inline constexpr KTime kTimeZero{0};
inline constexpr KTime kTimeInfinite{KTime::kInfiniteTicks};
inline constexpr KTime kTimeMinusInfinite{KTime::kMinusInfiniteTicks};
inline constexpr KTime kTimeOneSecond{KTime::kTicksPerSecond};

// Absolute value; the most negative time gives the largest one.
KTime KTimeAbs(KTime time);
// True when `first` is later than `second`.
constexpr bool KTimeIsGreater(KTime first, KTime second)
{
    return second.IsLessThan(first);
}
// Stores the earlier of `first` and `second` into `record`.
inline void KTimeMin(KTime& record, KTime first, KTime second)
{
    record = second.IsLessThan(first) ? second : first;
}

}  // namespace duzsdk
