#include "platform/clock.h"

#include <algorithm>
#include <chrono>
#include <cstdint>

namespace platform {

int64_t SystemClock::nowMs() const {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

SystemClock& SystemClock::instance() {
    static SystemClock clock;
    return clock;
}

bool ManualClock::waitFor(const ManualResetEvent& event, int timeoutMs) const {
    if (timeoutMs == 0) return event.isSet();
    const int64_t deadline = now_.load() + timeoutMs;
    const Waiter self{&event, timeoutMs > 0 ? deadline : INT64_MAX};
    {
        std::lock_guard lock(mutex_);
        waiters_.push_back(self);
    }
    waitersChanged_.notify_all();
    const bool set = event.waitUntil([&] { return timeoutMs > 0 && now_.load() >= deadline; });
    {
        std::lock_guard lock(mutex_);
        waiters_.erase(std::find_if(waiters_.begin(), waiters_.end(), [&](const Waiter& w) {
            return w.event == self.event && w.deadlineMs == self.deadlineMs;
        }));
    }
    waitersChanged_.notify_all();
    return set;
}

void ManualClock::advanceMs(int64_t ms) {
    now_.fetch_add(ms);
    wakeWaiters();
}

void ManualClock::setMs(int64_t ms) {
    now_.store(ms);
    wakeWaiters();
}

void ManualClock::wakeWaiters() {
    // Under the list's lock, so no waiter leaves (and its event goes) while
    // it is being woken.
    std::lock_guard lock(mutex_);
    for (const Waiter& waiter : waiters_) waiter.event->wakeWaiters();
}

int ManualClock::waiterCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(waiters_.size());
}

bool ManualClock::awaitWaiters(int count, int realTimeoutMs) const {
    std::unique_lock lock(mutex_);
    return waitersChanged_.wait_for(lock, std::chrono::milliseconds(realTimeoutMs),
                                    [&] { return static_cast<int>(waiters_.size()) >= count; });
}

std::optional<int64_t> ManualClock::awaitNextWake(int realTimeoutMs) const {
    int64_t next = INT64_MAX;
    std::unique_lock lock(mutex_);
    const bool found = waitersChanged_.wait_for(lock, std::chrono::milliseconds(realTimeoutMs), [&] {
        next = INT64_MAX;
        for (const Waiter& w : waiters_) {
            if (w.deadlineMs > now_.load()) next = std::min(next, w.deadlineMs);
        }
        return next != INT64_MAX;
    });
    if (!found) return std::nullopt;
    return next;
}

bool ManualClock::advanceToNextWake(int realTimeoutMs) {
    const std::optional<int64_t> next = awaitNextWake(realTimeoutMs);
    if (!next) return false;
    setMs(*next);
    return true;
}

} // namespace platform
