// A millisecond clock that tests can replace, so that long time-outs
// (keep-alive, loss detection) are tested without waiting for them.
#pragma once

#include <atomic>
#include <cstdint>

namespace platform {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds on a monotonic scale; only differences are meaningful.
    virtual int64_t nowMs() const = 0;
};

// The real monotonic clock.
class SystemClock final : public Clock {
public:
    int64_t nowMs() const override;
    // One shared instance: it has no state, so sharing it is harmless.
    static SystemClock& instance();
};

// A clock that moves only when told to.
class ManualClock final : public Clock {
public:
    explicit ManualClock(int64_t startMs = 1000) : now_(startMs) {}
    int64_t nowMs() const override { return now_.load(); }
    void advanceMs(int64_t ms) { now_.fetch_add(ms); }
    void setMs(int64_t ms) { now_.store(ms); }

private:
    std::atomic<int64_t> now_;
};

} // namespace platform
