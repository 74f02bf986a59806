#include "platform/timed_mutex.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

using platform::TimedMutex;
using Clock = std::chrono::steady_clock;

TEST(TimedMutexTest, LockUntilGivesUpAtTheDeadlineWhileAnotherHoldsIt) {
    TimedMutex m;
    std::unique_lock held(m);
    std::atomic<bool> got{true};
    double waited = 0;
    std::thread other([&] {
        const auto start = Clock::now();
        std::unique_lock<TimedMutex> lock(m, Clock::now() + std::chrono::milliseconds(150));
        waited = std::chrono::duration<double>(Clock::now() - start).count();
        got = lock.owns_lock();
    });
    other.join();
    EXPECT_FALSE(got);
    EXPECT_GE(waited, 0.14);
    EXPECT_LT(waited, 3.0);
    EXPECT_FALSE(m.try_lock());
}

TEST(TimedMutexTest, LockUntilTakesItOnceReleased) {
    TimedMutex m;
    m.lock();
    std::atomic<bool> got{false};
    std::thread other([&] {
        std::unique_lock<TimedMutex> lock(m, Clock::now() + std::chrono::seconds(10));
        got = lock.owns_lock();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    m.unlock();
    other.join();
    EXPECT_TRUE(got);
    EXPECT_TRUE(m.try_lock());
    m.unlock();
}

TEST(TimedMutexTest, KeepsOneHolderAtATime) {
    TimedMutex m;
    int counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) {
                if (i % 2 == 0) {
                    std::lock_guard lock(m);
                    ++counter;
                } else {
                    std::unique_lock<TimedMutex> lock(m, Clock::now() + std::chrono::seconds(10));
                    if (lock.owns_lock()) ++counter;
                }
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(counter, 8000);
}

} // namespace
