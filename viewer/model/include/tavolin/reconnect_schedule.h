// When to try a camera again after a failed attempt or a lost connection:
// 1, 2, 4, ... seconds, then every 30 s, each wait counted from the failure,
// so attempts never come faster than that (a camera that locks a user out
// after a few quick logins stays reachable). A picture resets the schedule.
#pragma once

#include <cstdint>

#include "platform/clock.h"

namespace tavolin {

class ReconnectSchedule {
public:
    static constexpr int kFirstDelayMs = 1000;
    static constexpr int kLongestDelayMs = 30000;

    explicit ReconnectSchedule(const platform::Clock& clock) : clock_(&clock) {}

    // An attempt failed or the connection was lost: the next attempt waits for
    // the current delay from now, and the delay after it doubles.
    void failed();
    // A picture came: the next failure starts from the first delay again.
    void pictureShown();

    // True when an attempt may start now.
    bool due() const { return msUntilAttempt() == 0; }
    int64_t msUntilAttempt() const;
    // Whole seconds to wait, rounded up, for "Reconnecting in N s".
    int secondsUntilAttempt() const;
    // What the last failure made the wait; 0 before any.
    int lastDelayMs() const { return lastDelayMs_; }

private:
    const platform::Clock* clock_;
    int nextDelayMs_ = kFirstDelayMs;
    int lastDelayMs_ = 0;
    int64_t attemptAtMs_ = INT64_MIN;
};

} // namespace tavolin
