#include "tavolin/reconnect_schedule.h"

#include <algorithm>

namespace tavolin {

void ReconnectSchedule::failed() {
    lastDelayMs_ = nextDelayMs_;
    attemptAtMs_ = clock_->nowMs() + nextDelayMs_;
    nextDelayMs_ = std::min(nextDelayMs_ * 2, kLongestDelayMs);
}

void ReconnectSchedule::pictureShown() { nextDelayMs_ = kFirstDelayMs; }

int64_t ReconnectSchedule::msUntilAttempt() const {
    if (attemptAtMs_ == INT64_MIN) return 0;
    return std::max<int64_t>(0, attemptAtMs_ - clock_->nowMs());
}

int ReconnectSchedule::secondsUntilAttempt() const { return static_cast<int>((msUntilAttempt() + 999) / 1000); }

} // namespace tavolin
