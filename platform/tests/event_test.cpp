#include "platform/event.h"
#include "platform/clock.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

TEST(ManualResetEventTest, StaysSetUntilReset) {
    platform::ManualResetEvent event;
    EXPECT_FALSE(event.wait(0));
    event.set();
    EXPECT_TRUE(event.wait(0));
    EXPECT_TRUE(event.wait(0)); // a manual-reset event is not consumed by a wait
    event.reset();
    EXPECT_FALSE(event.isSet());
    EXPECT_FALSE(event.wait(10));
}

TEST(ManualResetEventTest, SetFromAnotherThreadWakesEveryWaiter) {
    platform::ManualResetEvent event;
    bool woke[2] = {false, false};
    std::thread a([&] { woke[0] = event.wait(-1); });
    std::thread b([&] { woke[1] = event.wait(10000); });
    event.set();
    a.join();
    b.join();
    EXPECT_TRUE(woke[0]);
    EXPECT_TRUE(woke[1]);
}

TEST(ManualClockTest, MovesOnlyWhenAdvanced) {
    platform::ManualClock clock(500);
    EXPECT_EQ(clock.nowMs(), 500);
    clock.advanceMs(90000);
    EXPECT_EQ(clock.nowMs(), 90500);
}

} // namespace
