#include "platform/http_abort.h"

#include <algorithm>

namespace platform {

// The flag is set before the wakers are called: a request that starts
// watching later sees it at its first look.
void HttpAbort::abort() {
    aborted_.store(true);
    std::lock_guard lock(mutex_);
    for (Waker* waker : watching_) waker->wake();
}

void HttpAbort::watch(Waker& waker) const {
    std::lock_guard lock(mutex_);
    watching_.push_back(&waker);
}

// Under the lock, so abort() never wakes a request that has gone.
void HttpAbort::unwatch(Waker& waker) const {
    std::lock_guard lock(mutex_);
    watching_.erase(std::remove(watching_.begin(), watching_.end(), &waker), watching_.end());
}

} // namespace platform
