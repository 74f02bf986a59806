#include "platform/event.h"

#include <chrono>

namespace platform {

void ManualResetEvent::set() {
    std::lock_guard lock(mutex_);
    set_ = true;
    cv_.notify_all();
}

void ManualResetEvent::reset() {
    std::lock_guard lock(mutex_);
    set_ = false;
}

bool ManualResetEvent::isSet() const {
    std::lock_guard lock(mutex_);
    return set_;
}

bool ManualResetEvent::wait(int timeoutMs) const {
    std::unique_lock lock(mutex_);
    if (timeoutMs < 0) {
        cv_.wait(lock, [this] { return set_; });
        return true;
    }
    return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return set_; });
}

bool ManualResetEvent::waitUntil(const std::function<bool()>& giveUp) const {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [&] { return set_ || giveUp(); });
    return set_;
}

void ManualResetEvent::wakeWaiters() const {
    // Taking the lock orders this wake after a waiter's last look at giveUp,
    // so the wake cannot fall between that look and the wait.
    std::lock_guard lock(mutex_);
    cv_.notify_all();
}

} // namespace platform
