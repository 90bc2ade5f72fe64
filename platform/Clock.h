#pragma once

#include <cstdint>

namespace duzplatform {

// Calendar time as the file headers record it.
struct LocalDateTime {
    int year = 0;
    int month = 0;        // 1 .. 12
    int day = 0;          // 1 .. 31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    int dayOfWeek = 0;    // 0 = Sunday
};

// The local time now, or the fixed time while one is set. Every writer that
// stamps a file takes its time from here, so a test can fix the clock and
// compare written files byte for byte.
LocalDateTime GetLocalDateTime();

// Makes GetLocalDateTime return the given time until cleared.
void SetFixedLocalDateTime(const LocalDateTime& when);
void ClearFixedLocalDateTime();
bool HasFixedLocalDateTime();

// Fixes the local time for the life of the object and restores the previous state.
class ScopedFixedLocalDateTime {
public:
    explicit ScopedFixedLocalDateTime(const LocalDateTime& when);
    ~ScopedFixedLocalDateTime();
    ScopedFixedLocalDateTime(const ScopedFixedLocalDateTime&) = delete;
    ScopedFixedLocalDateTime& operator=(const ScopedFixedLocalDateTime&) = delete;

private:
    bool mHadPrevious;
    LocalDateTime mPrevious;
};

// High-resolution counter: ticks of a steady clock and the number of ticks per second.
int64_t GetHighResolutionCounter();
int64_t GetHighResolutionFrequency();

// Milliseconds of a steady clock; wraps around like a 32-bit millisecond timer.
uint32_t GetMillisecondTimer();

} // namespace duzplatform
