#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace duzplatform;

TEST(Clock, FixedLocalTimeIsReturnedAndRestored)
{
    const LocalDateTime when{2007, 3, 5, 14, 7, 9, 123, 1};
    EXPECT_FALSE(HasFixedLocalDateTime());
    {
        ScopedFixedLocalDateTime fixed(when);
        const LocalDateTime got = GetLocalDateTime();
        EXPECT_EQ(got.year, 2007);
        EXPECT_EQ(got.month, 3);
        EXPECT_EQ(got.day, 5);
        EXPECT_EQ(got.hour, 14);
        EXPECT_EQ(got.minute, 7);
        EXPECT_EQ(got.second, 9);
        EXPECT_EQ(got.millisecond, 123);
        {
            ScopedFixedLocalDateTime inner(LocalDateTime{2001, 1, 1, 0, 0, 0, 0, 1});
            EXPECT_EQ(GetLocalDateTime().year, 2001);
        }
        EXPECT_EQ(GetLocalDateTime().year, 2007);
    }
    EXPECT_FALSE(HasFixedLocalDateTime());

    const LocalDateTime now = GetLocalDateTime();
    EXPECT_GE(now.year, 2020);
    EXPECT_TRUE(now.month >= 1 && now.month <= 12);
    EXPECT_TRUE(now.day >= 1 && now.day <= 31);
    EXPECT_TRUE(now.millisecond >= 0 && now.millisecond <= 999);
    EXPECT_TRUE(now.dayOfWeek >= 0 && now.dayOfWeek <= 6);
}

TEST(Clock, SteadyCountersAdvance)
{
    const int64_t counter = GetHighResolutionCounter();
    const uint32_t millis = GetMillisecondTimer();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const int64_t elapsedTicks = GetHighResolutionCounter() - counter;
    const double seconds = static_cast<double>(elapsedTicks) / GetHighResolutionFrequency();
    EXPECT_GE(seconds, 0.019);
    EXPECT_LT(seconds, 5.0);
    EXPECT_GE(GetMillisecondTimer() - millis, 19u);
}
