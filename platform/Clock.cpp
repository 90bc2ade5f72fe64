#include "platform/Clock.h"

#include <chrono>
#include <ctime>
#include <mutex>

namespace duzplatform {

namespace {

struct FixedTime {
    std::mutex lock;
    bool isSet = false;
    LocalDateTime when;
};

FixedTime& Fixed()
{
    static FixedTime fixed;
    return fixed;
}

using SteadyClock = std::chrono::steady_clock;

// Counts from the first use so the 32-bit millisecond timer starts low.
SteadyClock::time_point Origin()
{
    static const SteadyClock::time_point origin = SteadyClock::now();
    return origin;
}

} // namespace

LocalDateTime GetLocalDateTime()
{
    {
        FixedTime& fixed = Fixed();
        std::lock_guard<std::mutex> guard(fixed.lock);
        if (fixed.isSet)
            return fixed.when;
    }

    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm parts{};
    localtime_r(&seconds, &parts);
    const auto sinceEpoch = now.time_since_epoch();
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count() % 1000;

    LocalDateTime result;
    result.year = parts.tm_year + 1900;
    result.month = parts.tm_mon + 1;
    result.day = parts.tm_mday;
    result.hour = parts.tm_hour;
    result.minute = parts.tm_min;
    result.second = parts.tm_sec;
    result.millisecond = static_cast<int>(millis < 0 ? millis + 1000 : millis);
    result.dayOfWeek = parts.tm_wday;
    return result;
}

void SetFixedLocalDateTime(const LocalDateTime& when)
{
    FixedTime& fixed = Fixed();
    std::lock_guard<std::mutex> guard(fixed.lock);
    fixed.isSet = true;
    fixed.when = when;
}

void ClearFixedLocalDateTime()
{
    FixedTime& fixed = Fixed();
    std::lock_guard<std::mutex> guard(fixed.lock);
    fixed.isSet = false;
}

bool HasFixedLocalDateTime()
{
    FixedTime& fixed = Fixed();
    std::lock_guard<std::mutex> guard(fixed.lock);
    return fixed.isSet;
}

ScopedFixedLocalDateTime::ScopedFixedLocalDateTime(const LocalDateTime& when)
{
    FixedTime& fixed = Fixed();
    std::lock_guard<std::mutex> guard(fixed.lock);
    mHadPrevious = fixed.isSet;
    mPrevious = fixed.when;
    fixed.isSet = true;
    fixed.when = when;
}

ScopedFixedLocalDateTime::~ScopedFixedLocalDateTime()
{
    FixedTime& fixed = Fixed();
    std::lock_guard<std::mutex> guard(fixed.lock);
    fixed.isSet = mHadPrevious;
    fixed.when = mPrevious;
}

int64_t GetHighResolutionCounter()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(SteadyClock::now() - Origin())
        .count();
}

int64_t GetHighResolutionFrequency()
{
    return 1000000000;
}

uint32_t GetMillisecondTimer()
{
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - Origin());
    return static_cast<uint32_t>(static_cast<uint64_t>(elapsed.count()));
}

} // namespace duzplatform
