// A manual-reset event: stays set until reset, wakes every waiter.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>

namespace platform {

class ManualResetEvent {
public:
    explicit ManualResetEvent(bool initiallySet = false) : set_(initiallySet) {}
    ManualResetEvent(const ManualResetEvent&) = delete;
    ManualResetEvent& operator=(const ManualResetEvent&) = delete;

    void set();
    void reset();
    bool isSet() const;
    // Waits until set or until timeoutMs passed (negative: no limit). True when set.
    bool wait(int timeoutMs) const;
    // Waits until set or until giveUp() answers true; giveUp is asked again
    // whenever wakeWaiters() is called. True when set.
    bool waitUntil(const std::function<bool()>& giveUp) const;
    // Makes waitUntil callers ask their giveUp again, without setting.
    void wakeWaiters() const;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable cv_;
    bool set_;
};

} // namespace platform
