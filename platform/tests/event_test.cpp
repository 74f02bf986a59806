#include "platform/event.h"
#include "platform/clock.h"

#include <gtest/gtest.h>

#include <chrono>
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

TEST(ManualClockTest, WaitEndsOnlyWhenTheClockReachesItsTime) {
    platform::ManualClock clock;
    platform::ManualResetEvent never;
    bool set = true;
    std::thread waiter([&] { set = clock.waitFor(never, 10000); });
    ASSERT_TRUE(clock.awaitWaiters(1));
    clock.advanceMs(9999);
    // Still short of its time: the waiter stays.
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(clock.waiterCount(), 1);
    clock.advanceMs(1);
    waiter.join();
    EXPECT_FALSE(set);
    EXPECT_EQ(clock.waiterCount(), 0);
}

TEST(ManualClockTest, SetEventReleasesItsWaiterWithoutMovingTheClock) {
    platform::ManualClock clock;
    platform::ManualResetEvent event;
    platform::ManualResetEvent other;
    bool set = false;
    bool otherSet = true;
    std::thread waiter([&] { set = clock.waitFor(event, 90000); });
    std::thread unbounded([&] { otherSet = clock.waitFor(other, -1); });
    ASSERT_TRUE(clock.awaitWaiters(2));
    event.set();
    waiter.join();
    EXPECT_TRUE(set);
    // A wait without a limit outlives any move of the clock.
    clock.advanceMs(1'000'000);
    EXPECT_EQ(clock.waiterCount(), 1);
    other.set();
    unbounded.join();
    EXPECT_TRUE(otherSet);
    EXPECT_EQ(clock.nowMs(), 1000 + 1'000'000);
}

TEST(ManualClockTest, ZeroWaitOnlyLooks) {
    platform::ManualClock clock;
    platform::ManualResetEvent event;
    EXPECT_FALSE(clock.waitFor(event, 0));
    event.set();
    EXPECT_TRUE(clock.waitFor(event, 0));
}

TEST(SystemClockTest, WaitForIsTheEventsOwnWait) {
    platform::ManualResetEvent event;
    auto& clock = platform::SystemClock::instance();
    const int64_t start = clock.nowMs();
    EXPECT_FALSE(clock.waitFor(event, 30));
    EXPECT_GE(clock.nowMs() - start, 30);
    event.set();
    EXPECT_TRUE(clock.waitFor(event, -1));
}

} // namespace
