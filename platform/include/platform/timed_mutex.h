// A mutex whose lock can give up at a deadline, built on std::mutex and a
// condition variable so that thread checkers see every hand-over (the
// standard timed mutex waits in a call they do not follow). Works with
// std::unique_lock, std::lock_guard and std::scoped_lock.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace platform {

class TimedMutex {
public:
    TimedMutex() = default;
    TimedMutex(const TimedMutex&) = delete;
    TimedMutex& operator=(const TimedMutex&) = delete;

    void lock() {
        std::unique_lock guard(state_);
        released_.wait(guard, [this] { return !held_; });
        held_ = true;
    }

    bool try_lock() {
        std::lock_guard guard(state_);
        if (held_) return false;
        held_ = true;
        return true;
    }

    template <class Clock, class Duration>
    bool try_lock_until(const std::chrono::time_point<Clock, Duration>& deadline) {
        std::unique_lock guard(state_);
        if (!released_.wait_until(guard, deadline, [this] { return !held_; })) return false;
        held_ = true;
        return true;
    }

    template <class Rep, class Period>
    bool try_lock_for(const std::chrono::duration<Rep, Period>& wait) {
        return try_lock_until(std::chrono::steady_clock::now() + wait);
    }

    void unlock() {
        {
            std::lock_guard guard(state_);
            held_ = false;
        }
        released_.notify_one();
    }

private:
    std::mutex state_;
    std::condition_variable released_;
    bool held_ = false;
};

} // namespace platform
