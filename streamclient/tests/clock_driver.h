// Moves a manual clock only while the code under test waits on it.
#pragma once

#include <chrono>
#include <functional>
#include <future>

#include "platform/clock.h"

namespace ostrel::test {

// Runs call on a thread of its own and, whenever a thread waits on the
// clock, moves it on by stepMs, until call returns; returns its result.
template <class Call>
auto callWhileAdvancing(platform::ManualClock& clock, int stepMs, Call call) {
    auto result = std::async(std::launch::async, std::move(call));
    while (result.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready) {
        if (clock.awaitWaiters(1, 20)) clock.advanceMs(stepMs);
    }
    return result.get();
}

// Moves the clock on by stepMs whenever a thread waits on it, until done()
// holds; false when it did not within realTimeoutMs (a safety net only).
inline bool advanceUntil(platform::ManualClock& clock, int stepMs, const std::function<bool()>& done,
                         int realTimeoutMs = 10000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(realTimeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        if (clock.awaitWaiters(1, 20)) clock.advanceMs(stepMs);
    }
    return true;
}

} // namespace ostrel::test
