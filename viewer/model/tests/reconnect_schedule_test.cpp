// The reconnect back-off on a manual clock (the wall's tests cover the reset
// after a picture).
#include <gtest/gtest.h>

#include "tavolin/reconnect_schedule.h"

namespace tavolin {
namespace {

TEST(ReconnectScheduleTest, WaitsDoubleUpToThirtySecondsAndNeverEndEarly) {
    platform::ManualClock clock;
    ReconnectSchedule schedule(clock);
    EXPECT_TRUE(schedule.due());
    for (int expectedMs : {1000, 2000, 4000, 8000, 16000, 30000, 30000}) {
        schedule.failed();
        EXPECT_EQ(schedule.lastDelayMs(), expectedMs);
        EXPECT_EQ(schedule.secondsUntilAttempt(), expectedMs / 1000);
        clock.advanceMs(expectedMs - 1);
        EXPECT_FALSE(schedule.due()) << expectedMs;
        EXPECT_EQ(schedule.secondsUntilAttempt(), 1) << "rounded up";
        clock.advanceMs(1);
        EXPECT_TRUE(schedule.due()) << expectedMs;
    }
}

} // namespace
} // namespace tavolin
