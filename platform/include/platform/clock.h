// A millisecond clock that tests can replace, so that long time-outs
// (keep-alive, loss detection) are tested without waiting for them.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/event.h"

namespace platform {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds on a monotonic scale; only differences are meaningful.
    virtual int64_t nowMs() const = 0;
    // Waits until the event is set or timeoutMs passed on this clock
    // (negative: no limit). True when the event was set.
    virtual bool waitFor(const ManualResetEvent& event, int timeoutMs) const = 0;
};

// The real monotonic clock.
class SystemClock final : public Clock {
public:
    int64_t nowMs() const override;
    bool waitFor(const ManualResetEvent& event, int timeoutMs) const override { return event.wait(timeoutMs); }
    // One shared instance: it has no state, so sharing it is harmless.
    static SystemClock& instance();
};

// A clock that moves only when told to. Moving it releases the waiters whose
// time is up; a set event releases its waiter at once, as on the real clock.
class ManualClock final : public Clock {
public:
    explicit ManualClock(int64_t startMs = 1000) : now_(startMs) {}
    int64_t nowMs() const override { return now_.load(); }
    bool waitFor(const ManualResetEvent& event, int timeoutMs) const override;

    void advanceMs(int64_t ms);
    void setMs(int64_t ms);

    // How many threads are inside waitFor right now.
    int waiterCount() const;
    // Waits (in real time, at most realTimeoutMs) until at least `count`
    // threads are inside waitFor, so a test moves the clock only after the
    // code under test started its wait. True when they are.
    bool awaitWaiters(int count, int realTimeoutMs = 5000) const;
    // Waits (in real time, at most realTimeoutMs) until a thread waits for a
    // moment still to come, and gives the earliest such moment; nothing when
    // nobody started such a wait. A test that reads what the code did now
    // reads all it did before that wait.
    std::optional<int64_t> awaitNextWake(int realTimeoutMs = 5000) const;
    // awaitNextWake, then moves the clock there: code that paces itself runs
    // step by step, each wait ending exactly when it asked to. False when
    // nobody started such a wait.
    bool advanceToNextWake(int realTimeoutMs = 5000);

private:
    struct Waiter {
        const ManualResetEvent* event;
        int64_t deadlineMs; // INT64_MAX: no limit
    };
    void wakeWaiters();

    std::atomic<int64_t> now_;
    mutable std::mutex mutex_;
    mutable std::condition_variable waitersChanged_;
    mutable std::vector<Waiter> waiters_;
};

} // namespace platform
